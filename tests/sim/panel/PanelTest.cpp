// The simulator's panel (PELORA_SIM_PANEL=1) driven by its controls: what its switches, its
// failing operation and its rates make the board answer; its texts; and that it is absent, and
// ends cleanly with the program, in child runs of this test program.
#include "PanelDriver.h"
#include "SimFixture.h"

#include "overlayctl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <algorithm>
#include <cstdlib>

using namespace simtest;
using namespace paneltest;

namespace {

class PanelTest : public SimTest {
protected:
    void SetUp() override
    {
        setenv("PELORA_SIM_PANEL", "1", 1);
        SimTest::SetUp(); // opens board 0, which brings the panel up (again)
        flushQueued();
        panel = findPanel();
        ASSERT_NE(panel, nullptr);
        ASSERT_TRUE(panel->isVisible());
    }
    void TearDown() override
    {
        OverlaySimReset();
        SimTest::TearDown();
        unsetenv("PELORA_SIM_PANEL");
    }
    template <typename T> T *get(const char *name)
    {
        T *w = panel->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QAbstractButton *button(const char *name) { return get<QAbstractButton>(name); }
    QString status() { return get<QLabel>("panelStatus")->text(); }
    void chooseOp(const char *op)
    {
        auto *ops = get<QComboBox>("failOp");
        ops->setCurrentIndex(ops->findText(QString::fromLatin1(op)));
        ASSERT_EQ(ops->currentText(), QString::fromLatin1(op));
    }

    QWidget *panel = nullptr;
};

} // namespace

TEST_F(PanelTest, ScenarioSwitchesChangeWhatTheBoardAnswers)
{
    // request-fails, as a user would switch it before pressing Start.
    QAbstractButton *requestFails = button("scenario:request-fails");
    ASSERT_FALSE(requestFails->isChecked());
    requestFails->click();
    EXPECT_TRUE(requestFails->isChecked());
    EXPECT_EQ(ImageRequest(h, nullptr, 0), SIM_ERR_STATE);
    EXPECT_TRUE(status().contains("request-fails"));
    requestFails->click();
    EXPECT_FALSE(requestFails->isChecked());
    EXPECT_EQ(ImageRequest(h, nullptr, 0), 0);

    // A once-only fault: its switch goes off by itself once the call used it.
    QAbstractButton *closeFails = button("scenario:close-fails");
    closeFails->click();
    EXPECT_EQ(BoardClose(h), SIM_ERR_STATE);
    EXPECT_TRUE(pumpUntil([&] { return !closeFails->isChecked(); }))
        << "the used-up fault still shows as on";

    // A rate scenario shows in the rate fields too.
    button("scenario:slow-scan")->click();
    EXPECT_EQ(get<QDoubleSpinBox>("frameRate")->value(), 2.0);
    button("scenario:slow-scan")->click();
    EXPECT_EQ(get<QDoubleSpinBox>("frameRate")->value(), 30.0);

    // Switched from elsewhere (a test, the environment), the panel follows.
    ASSERT_EQ(SimSetScenario("dsp-reject", 1), 0);
    EXPECT_TRUE(pumpUntil([&] { return button("scenario:dsp-reject")->isChecked(); }));

    // The overlay stand-in's own scenario.
    button("scenario:overlay-fails")->click();
    OverlayInit();
    const OverlaySurfaceSize size{640, 480};
    uint32_t reserved = 0;
    EXPECT_EQ(OverlayCreateSurface(&size, &reserved), 0u);
    button("scenario:overlay-fails")->click();
    const OverlaySurface surface = OverlayCreateSurface(&size, &reserved);
    EXPECT_NE(surface, 0u);
    OverlayDestroySurface(surface);
    OverlayTerm();
}

TEST_F(PanelTest, FailingOperationByName)
{
    // The panel outlives each test: its fields start as an earlier test may have left them.
    get<QAbstractButton>("failForever")->setChecked(false);
    // A number of times.
    chooseOp("IoReadLong");
    get<QLineEdit>("failResult")->setText("0x31");
    get<QSpinBox>("failTimes")->setValue(2);
    button("failApply")->click();
    uint32_t value = 0;
    EXPECT_EQ(IoReadLong(h, SIM_REG_BOARD_ID, &value), SIM_ERR_FILE);
    EXPECT_EQ(IoReadLong(h, SIM_REG_BOARD_ID, &value), SIM_ERR_FILE);
    EXPECT_EQ(IoReadLong(h, SIM_REG_BOARD_ID, &value), 0);
    EXPECT_EQ(value, 0x50454C32u);

    // For ever, until put back; a scenario on the same operation shows as switched.
    chooseOp("BoardReset");
    get<QLineEdit>("failResult")->setText("3");
    button("failForever")->setChecked(true);
    EXPECT_FALSE(get<QSpinBox>("failTimes")->isEnabled());
    button("failApply")->click();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(BoardReset(h), SIM_ERR_STATE);
    EXPECT_TRUE(button("scenario:reset-fails")->isChecked());
    EXPECT_TRUE(status().contains("BoardReset"));
    button("failClear")->click();
    EXPECT_EQ(BoardReset(h), 0);
    EXPECT_FALSE(button("scenario:reset-fails")->isChecked());

    // A value that is not a number sets nothing and says so.
    chooseOp("IoReadShort");
    get<QLineEdit>("failResult")->setText("3x");
    button("failApply")->click();
    EXPECT_TRUE(status().contains("読めません"));
    uint32_t half = 0;
    EXPECT_EQ(IoReadShort(h, SIM_REG_BOARD_ID, &half), 0);
}

TEST_F(PanelTest, RateChangesAreSeenAsDeliveries)
{
    // At these rates the first image would be due in 100 seconds: only the panel's change
    // brings the scan's three frames, and then the live video's frame.
    SimSetFrameRate(0.01);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    startArea(64, 8, 1, true, 0, 3);
    get<QDoubleSpinBox>("frameRate")->setValue(1000.0);
    button("ratesApply")->click();
    // The end notification may come before the last hook has been recorded: both are awaited.
    EXPECT_TRUE(recorder().waitFor(
        [] { return recorder().ends.size() == 1 && recorder().hooks.size() == 3; }));
    EXPECT_EQ(recorder().hookCount(), 3u);

    SimSetVideoRate(0.01);
    ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    ASSERT_EQ(ScanPrepare(h, 1, 1, 3, 0), 0);
    ASSERT_EQ(IoWriteLong(h, REG_DIO_IMG_GETMODE, 3), 0);
    get<QDoubleSpinBox>("videoRate")->setValue(200.0);
    button("ratesApply")->click();
    EXPECT_TRUE(recorder().waitFor([] { return recorder().hooks.size() == 4; }));

    // Line units at a rate of their own, then following the frames again.
    button("lineFollows")->click();
    get<QDoubleSpinBox>("lineRate")->setValue(5000.0);
    button("ratesApply")->click();
    double lines = 0;
    SimGetRates(nullptr, &lines, nullptr);
    EXPECT_EQ(lines, 5000.0);
    button("lineFollows")->click();
    button("ratesApply")->click();
    SimGetRates(nullptr, &lines, nullptr);
    EXPECT_EQ(lines, -1.0);
}

TEST_F(PanelTest, TextsAreJapaneseAndFit)
{
    std::vector<std::string> names{"overlay-fails"};
    for (int i = 0; i < SimScenarioCount(); ++i)
        names.emplace_back(SimScenarioName(i));
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        QAbstractButton *box = button(("scenario:" + name).c_str());
        ASSERT_NE(box, nullptr);
        const QLabel *text = nullptr;
        for (const QLabel *label : panel->findChildren<QLabel *>())
            if (label->buddy() == box)
                text = label;
        ASSERT_NE(text, nullptr);
        // Japanese, not the simulator's English fallback.
        const QString words = text->text();
        EXPECT_TRUE(std::any_of(words.begin(), words.end(),
                                [](QChar c) { return c.unicode() >= 0x3000; }))
            << words.toStdString();
    }
    // Every text gets the room it asks for.
    for (QWidget *w : panel->findChildren<QWidget *>()) {
        if (!w->isVisible() || (qobject_cast<QLabel *>(w) == nullptr &&
                                qobject_cast<QAbstractButton *>(w) == nullptr &&
                                qobject_cast<QGroupBox *>(w) == nullptr))
            continue;
        EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
        EXPECT_GE(w->height(), w->minimumSizeHint().height()) << w->objectName().toStdString();
    }
    // For the documentation: SIM_PANEL_SCREENSHOT=<file> keeps a picture of the panel.
    if (const char *file = std::getenv("SIM_PANEL_SCREENSHOT")) {
        button("scenario:request-fails")->click();
        EXPECT_TRUE(panel->grab().save(QString::fromLocal8Bit(file)));
        button("scenario:request-fails")->click();
    }
}

TEST(PanelProcess, AbsentWithoutTheVariable)
{
    EXPECT_EQ(runChild("absent"), 0);
    EXPECT_EQ(runChild("zero"), 0);
    EXPECT_EQ(runChild("no-application"), 0);
}

TEST(PanelProcess, ProgramEndsCleanlyWithThePanelOpen)
{
    EXPECT_EQ(runChild("close"), 0);
}
