// The compare result map of the frame memory tool: offered on the log's context menu once a
// compare has finished, its counts against the log's records, exact totals beyond the log's
// cap, a clean compare, and the window going cleanly however it goes.
#include "ToolTestSupport.h"

#include "framework/TestDriver.h"
#include "res/Resources.h"
#include "tools/CompareMapDlg.h"
#include "tools/BlockMapView.h"
#include "tools/FrameMemoryDlg.h"
#include "tools/ReadResultDlg.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>

#include <cstdio>
#include <map>
#include <sstream>

using namespace testing_support;
using fw::test::Click;
using fw::test::Type;

namespace {

using namespace res::framemem;
const char *const kEntry = "コンペア結果マップ...";

// (bank, 4 KiB block) -> records the log shows there.
std::map<std::pair<uint32_t, uint32_t>, uint32_t> LoggedBlocks(const std::string &log)
{
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> blocks;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        unsigned bank = 0, offset = 0;
        if (std::sscanf(line.c_str(), "   BankNo = %u  Offset = %XH", &bank, &offset) == 2)
            ++blocks[{bank, offset / 0x1000}];
    }
    return blocks;
}

std::string LabelText(QWidget *window, const char *name)
{
    auto *label = window->findChild<QLabel *>(QString::fromUtf8(name));
    return label ? label->text().toStdString() : std::string("(no label ") + name + ")";
}

class CompareMapDlgTest : public DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        CFrameMemoryDlg::SetComparePauseMs(0);
    }
    void TearDown() override
    {
        CFrameMemoryDlg::SetComparePauseMs(10);
        DialogTest::TearDown();
    }
    static bool EntryEnabled(fw::Dialog &dlg)
    {
        for (const fw::ContextMenuEntry &e : fw::test::ContextMenu(dlg, IDC_LOG))
            if (e.text == kEntry)
                return e.enabled;
        ADD_FAILURE() << "no " << kEntry << " entry";
        return false;
    }
};

TEST_F(CompareMapDlgTest, MapCountsMatchTheLogAndNameTheStuckBits)
{
    ASSERT_EQ(SimApplyScenario("frame-fault"), 0);
    CFrameMemoryDlg dlg;
    dlg.m_hBoard = board->handle();
    ASSERT_TRUE(dlg.Create());
    EXPECT_FALSE(EntryEnabled(dlg)); // nothing to show before a compare
    EXPECT_FALSE(fw::test::ChooseContextMenu(dlg, IDC_LOG, kEntry));

    Type(dlg, IDC_FILL, "5A");
    Click(dlg, IDC_COMPARE);
    const std::string log = dlg.GetDlgItemText(IDC_LOG);
    ASSERT_TRUE(EntryEnabled(dlg));
    ASSERT_TRUE(fw::test::ChooseContextMenu(dlg, IDC_LOG, kEntry));
    CCompareMapDlg *map = dlg.CompareMap();
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->isVisible());
    EXPECT_EQ(map->windowTitle().toStdString(), "コンペア結果マップ");

    // Every block's count is the number of records the log shows in it (none was capped).
    const auto logged = LoggedBlocks(log);
    ASSERT_EQ(map->Banks().size(), 4u);
    uint64_t mapped = 0;
    for (const ops::BankTally &bank : map->Banks()) {
        for (uint32_t block = 0; block < bank.blockErrors.size(); ++block) {
            const auto it = logged.find({bank.bank, block});
            EXPECT_EQ(bank.blockErrors[block], it == logged.end() ? 0u : it->second)
                << "bank " << bank.bank << " block " << block;
            const QColor shown = map->Map(bank.bank).pixelColor(block % 128, block / 128);
            EXPECT_EQ(shown, CCompareMapDlg::BlockColour(bank.blockErrors[block]));
        }
        mapped += bank.errors;
    }
    EXPECT_EQ(mapped, 3u + 256u);
    EXPECT_NE(CCompareMapDlg::BlockColour(1), CCompareMapDlg::BlockColour(0));

    EXPECT_EQ(LabelText(map, "summary"), "チェック = 134217728バイト  エラー = 259バイト");
    EXPECT_EQ(LabelText(map, "bank0.errors"), "エラー = 3バイト");
    // Bank 1 held 5B: bit 0 read 0 and bit 7 read 1 in each of its 256 bad bytes, never the
    // other way, so both show as stuck.
    EXPECT_EQ(LabelText(map, "bank1.errors"), "エラー = 256バイト");
    EXPECT_EQ(LabelText(map, "bank1.bit0.read0"), "256");
    EXPECT_EQ(LabelText(map, "bank1.bit0.read1"), "0");
    EXPECT_EQ(LabelText(map, "bank1.bit0.stuck"), "0固着");
    EXPECT_EQ(LabelText(map, "bank1.bit7.read1"), "256");
    EXPECT_EQ(LabelText(map, "bank1.bit7.stuck"), "1固着");
    for (int b = 1; b < 7; ++b)
        EXPECT_EQ(LabelText(map, ("bank1.bit" + std::to_string(b) + ".stuck").c_str()), "") << b;
    // Bank 0's three bad bytes failed every bit one way or the other: no bit is called stuck.
    EXPECT_EQ(LabelText(map, "bank0.bit0.read1"), "2");
    for (int b = 0; b < 8; ++b)
        EXPECT_EQ(LabelText(map, ("bank0.bit" + std::to_string(b) + ".stuck").c_str()), "") << b;

    // Closing the map frees it; the tool can open it again, and takes it along when it goes.
    QPointer<CCompareMapDlg> watch(map);
    map->close();
    {
        Watchdog watchdog("the closed map to be deleted");
        while (watch)
            fw::PumpEventsFor(10);
    }
    EXPECT_EQ(dlg.CompareMap(), nullptr);
    ASSERT_TRUE(fw::test::ChooseContextMenu(dlg, IDC_LOG, kEntry));
    watch = dlg.CompareMap();
    ASSERT_TRUE(watch);
    dlg.DestroyWindow();
    EXPECT_FALSE(watch);
}

// Each of bank 0's planted bad bytes: its block shows a marker of the minimum size at the
// smallest zoom, its hover names the block's range and the offset with what was written and
// read, and a click opens the read result at the block, holding the bad byte.
TEST_F(CompareMapDlgTest, BadBlocksAreMarkedNamedAndOpen)
{
    ASSERT_EQ(SimApplyScenario("frame-fault"), 0);
    CFrameMemoryDlg dlg;
    dlg.m_hBoard = board->handle();
    ASSERT_TRUE(dlg.Create());
    Type(dlg, IDC_FILL, "5A");
    Click(dlg, IDC_COMPARE);
    ASSERT_TRUE(fw::test::ChooseContextMenu(dlg, IDC_LOG, kEntry));
    auto *view = dlg.CompareMap()->findChild<BlockMapView *>(QStringLiteral("bank0.map"));
    ASSERT_NE(view, nullptr);
    view->SetZoom(1);
    const QImage shown = view->grab().toImage();
    const QColor clean = CCompareMapDlg::BlockColour(0);
    for (const uint32_t planted : {0x10u, 0x1234u, 0xFFFFFu}) {
        SCOPED_TRACE(planted);
        const uint32_t block = planted / 0x1000;
        const QPoint centre = view->CentreOf(block);
        for (const QPoint d : {QPoint(-2, -2), QPoint(2, 2), QPoint(-2, 2)}) {
            if (shown.rect().contains(centre + d)) {
                EXPECT_NE(shown.pixelColor(centre + d), clean) << "the marker is under the minimum size";
            }
        }
        const std::string text = view->BlockText(block).toStdString();
        char range[40], offset[40];
        std::snprintf(range, sizeof range, "%08XH～%08XH", block * 0x1000, block * 0x1000 + 0xFFF);
        std::snprintf(offset, sizeof offset, "\n%08XH  書込 5AH", planted);
        EXPECT_NE(text.find(range), std::string::npos) << text;
        EXPECT_NE(text.find(offset), std::string::npos) << text;

        bool opened = false;
        fw::test::WhenShown(res::IDD_READ_RESULT, [&](fw::Dialog &d) {
            auto &result = static_cast<CReadResultDlg &>(d);
            EXPECT_EQ(result.m_nBank, 0);
            EXPECT_EQ(result.m_dwOffset, block * 0x1000);
            EXPECT_EQ(result.m_dwSize, 0x1000u);
            EXPECT_NE(result.m_pData[planted % 0x1000], 0x5A);
            opened = true;
            fw::test::PressEnter(d);
        });
        {
            Watchdog watchdog("the read result opened from the map to close");
            QMouseEvent press(QEvent::MouseButtonPress, centre, view->mapToGlobal(centre), Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            QMouseEvent release(QEvent::MouseButtonRelease, centre, view->mapToGlobal(centre),
                                Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(view, &press);
            QApplication::sendEvent(view, &release);
        }
        fw::test::ClearWhenShown();
        EXPECT_TRUE(opened);
    }
    dlg.DestroyWindow();
}

TEST_F(CompareMapDlgTest, CleanCompareSaysNoErrorsAndTotalsStayExactBeyondTheLog)
{
    CFrameMemoryDlg dlg;
    dlg.m_hBoard = board->handle();
    ASSERT_TRUE(dlg.Create());
    Click(dlg, IDC_COMPARE);
    ASSERT_TRUE(fw::test::ChooseContextMenu(dlg, IDC_LOG, kEntry));
    QPointer<CCompareMapDlg> map(dlg.CompareMap());
    ASSERT_TRUE(map);
    EXPECT_EQ(LabelText(map, "summary"), "エラーなし");

    // A new compare takes the old map away; this one fills more of bank 2 than the log records.
    for (uint32_t i = 0; i < CFrameMemoryDlg::kMaxRecordsPerBank + 3; ++i)
        SimPlantFrameByte(2, 0x200000 + i, 0xEE);
    Click(dlg, IDC_COMPARE);
    EXPECT_FALSE(map);
    const std::string log = dlg.GetDlgItemText(IDC_LOG);
    EXPECT_NE(log.find("● BankNo = 2  記録を省略したエラー = 3件"), std::string::npos);
    ASSERT_TRUE(fw::test::ChooseContextMenu(dlg, IDC_LOG, kEntry));
    map = dlg.CompareMap();
    ASSERT_TRUE(map);
    EXPECT_EQ(LabelText(map, "bank2.errors"), "エラー = 4099バイト（ログに記録 4096件、省略 3件）");
    EXPECT_EQ(map->Banks()[2].blockErrors[0x201], 3u);

    // A compare that fails leaves nothing to map.
    SimInjectResult(SIM_OP_FrameMemoryRead, 6, 1);
    Click(dlg, IDC_COMPARE);
    EXPECT_FALSE(map);
    EXPECT_FALSE(EntryEnabled(dlg));
    dlg.DestroyWindow();
}

} // namespace
