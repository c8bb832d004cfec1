// Message boxes from any thread: a box raised off the UI thread waits for its answer while the
// UI keeps working; captions default to the application title.
#include "framework/MessageBox.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QProxyStyle>
#include <QStyleFactory>

#include "framework/Look.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

TEST(MessageBox, CaptionDefaultsToTheApplicationTitle)
{
    fw::test::Sinks sinks;
    EXPECT_EQ(fw::MessageBox(fw::WindowHandle{0}, "text"), fw::IDOK);
    fw::MessageBox(fw::WindowHandle{0}, "stop", std::string_view("リセット"), fw::MsgIcon::Stop);
    const auto boxes = sinks.boxes->boxes();
    ASSERT_EQ(boxes.size(), 2u);
    // The executable's base name: this test program's, not the program's usual one.
    EXPECT_EQ(boxes[0].caption, program_invocation_short_name);
    EXPECT_EQ(boxes[0].icon, fw::MsgIcon::None);
    EXPECT_TRUE(boxes[0].fromUiThread);
    EXPECT_EQ(boxes[1].caption, "リセット");
    EXPECT_EQ(boxes[1].icon, fw::MsgIcon::Stop);
}

TEST(MessageBox, BoxFromAnotherThreadLeavesTheUiWorking)
{
    fw::test::Sinks sinks;
    sinks.boxes->setHold(true); // the user does not answer yet
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        fw::MessageBox(fw::WindowHandle{0}, "from a worker", std::nullopt,
                       fw::MsgIcon::Exclamation);
        returned = true;
    });
    ASSERT_TRUE(fw::test::WaitUntil([&] { return sinks.boxes->heldCount() == 1; }));
    // The UI thread still runs queued work while the box is open.
    bool ranOnUi = false;
    fw::PostToUi([&] { ranOnUi = true; });
    ASSERT_TRUE(fw::test::WaitUntil([&] { return ranOnUi; }));
    EXPECT_FALSE(returned);

    sinks.boxes->releaseAll();
    ASSERT_TRUE(fw::test::WaitUntil([&] { return returned.load(); }));
    worker.join();
    const auto boxes = sinks.boxes->boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(boxes[0].fromUiThread);
    EXPECT_EQ(boxes[0].text, "from a worker");
}

TEST(MessageBox, UiThreadBoxReturnsWhenAnsweredFromAnotherThread)
{
    fw::test::Sinks sinks;
    fw::test::NotifiedWakesOnly wakes;
    sinks.boxes->setHold(true);
    std::thread user([&] { // answers the box the UI thread is waiting in
        while (sinks.boxes->heldCount() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        sinks.boxes->releaseAll();
    });
    EXPECT_EQ(fw::MessageBox(fw::WindowHandle{0}, "on the UI thread"), fw::IDOK);
    user.join();
    EXPECT_FALSE(wakes.watchdogFired());
}

// Boxes and dialog button rows show their buttons' texts alone, even where the platform's theme
// asks for icons on them (as some desktop themes do).
TEST(MessageBox, ButtonsCarryNoIconWhateverTheTheme)
{
    class IconsWanted : public QProxyStyle {
    public:
        IconsWanted() : QProxyStyle(QStyleFactory::create("Fusion")) {}
        int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                      QStyleHintReturn *data) const override
        {
            return hint == SH_DialogButtonBox_ButtonsHaveIcons ? 1
                                                               : QProxyStyle::styleHint(hint, option, widget, data);
        }
    };
    // Buttons take their icons from the application's style when they are made.
    const auto icons = [](QStyle *style) {
        QApplication::setStyle(style); // the application owns it
        QMessageBox box(QMessageBox::NoIcon, "Pelora2", "PNG形式で保存しました。", QMessageBox::Ok);
        QDialogButtonBox row(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        return !box.button(QMessageBox::Ok)->icon().isNull() ||
               !row.button(QDialogButtonBox::Cancel)->icon().isNull();
    };
    const bool standIn = icons(new IconsWanted);
    const bool classic = icons(fw::NewClassicStyle(new IconsWanted));
    fw::InitClassicLook(); // the look the other tests run with
    ASSERT_TRUE(standIn) << "the theme stand-in gives no icons: the test proves nothing";
    EXPECT_FALSE(classic);
}
