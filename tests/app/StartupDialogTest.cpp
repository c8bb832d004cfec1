// The start-up dialog as a user meets it: choosing a board, the open failures, the main menu run
// and the single close of the board at the end.
#include "app/Pelora2Dlg.h"
#include "common/BoardSession.h"
#include "common/ModalRun.h"
#include "framework/TestDriver.h"
#include "res/Resources.h"

#include <QTimer>
#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace testing_support;
using fw::test::Click;
using fw::test::FindDialog;
using fw::test::WhenShown;

namespace {

constexpr int kStart = res::startup::IDC_START;
constexpr int kBoardList = res::startup::IDC_BOARD_ID;

class StartupDialog : public ::testing::Test {
protected:
    void SetUp() override { SimReset(); }
    void TearDown() override
    {
        fw::test::ClearWhenShown();
        SimReset();
    }
    fw::test::Sinks sinks;
};

} // namespace

TEST_F(StartupDialog, ListsBothBoardsAndClosingBeforeAnyOpenClosesNothing)
{
    CPelora2Dlg dlg;
    WhenShown(res::IDD_PELORA2_DIALOG, [&](fw::Dialog &d) {
        EXPECT_EQ(d.ComboGetCount(kBoardList), 2);
        EXPECT_EQ(d.ComboGetItemText(kBoardList, 0), "0");
        EXPECT_EQ(d.ComboGetItemText(kBoardList, 1), "1");
        EXPECT_EQ(d.ComboGetCurSel(kBoardList), 0);
        EXPECT_EQ(dlg.m_session.m_hBoard, 0u);
        EXPECT_EQ(dlg.m_session.m_dwAreaOffset[3], 0x1800000u);
        EXPECT_EQ(dlg.m_session.m_dwAreaOffset[6], 0x1000000u);
        fw::test::PressCloseBox(d);
    });
    RunModal(dlg, "the start-up dialog (the main menu runs inside it)");
    EXPECT_TRUE(JournalOf(SIM_OP_BoardClose).empty());
    EXPECT_TRUE(JournalOf(SIM_OP_BoardOpen).empty());
}

TEST_F(StartupDialog, EachOpenFailureShowsItsMessageAndASecondStartSucceeds)
{
    struct Case {
        int32_t error;
        const char *text;
    };
    const Case cases[] = {{16, "指定された基板IDは既にオープン済みです。"},
                          {17, "指定された基板IDは実装されていません。"},
                          {18, "指定された基板IDが重複しています。"},
                          {99, "デバイス オープンが失敗しました。"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.error);
        sinks.boxes->clear();
        SimReset();
        SimInjectResult(SIM_OP_BoardOpen, c.error, 1);
        CPelora2Dlg dlg;
        bool menuSeen = false;
        WhenShown(res::IDD_PELORA2_DIALOG, [&](fw::Dialog &d) {
            Click(d, kStart); // fails
            EXPECT_TRUE(d.IsWindowVisible());
            EXPECT_EQ(dlg.m_session.m_hBoard, 0u);
            Click(d, kStart); // opens and runs the menu
        });
        WhenShown(res::IDD_MAIN_MENU, [&](fw::Dialog &menu) {
            menuSeen = true;
            EXPECT_FALSE(dlg.IsWindowVisible());
            EXPECT_NE(dlg.m_session.m_hBoard, 0u);
            fw::test::PressEscape(menu);
        });
        RunModal(dlg, "the start-up dialog (the main menu runs inside it)");
        EXPECT_TRUE(menuSeen);
        const auto boxes = sinks.boxes->boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, c.text);
        EXPECT_EQ(boxes[0].caption, fw::AppTitle());
        EXPECT_EQ(boxes[0].icon, fw::MsgIcon::Stop);
        EXPECT_EQ(JournalOf(SIM_OP_BoardOpen).size(), 2u);
        EXPECT_EQ(JournalOf(SIM_OP_BoardClose).size(), 1u);
    }
}

TEST_F(StartupDialog, BoardOneIsNotInstalledByDefault)
{
    CPelora2Dlg dlg;
    WhenShown(res::IDD_PELORA2_DIALOG, [&](fw::Dialog &d) {
        fw::test::SelectIndex(d, kBoardList, 1);
        Click(d, kStart);
        fw::test::PressEscape(d);
    });
    RunModal(dlg, "the start-up dialog (the main menu runs inside it)");
    const auto opens = JournalOf(SIM_OP_BoardOpen);
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].args[0], 1u); // board index 1 passed
    EXPECT_TRUE(sinks.boxes->contains("指定された基板IDは実装されていません。"));
    EXPECT_TRUE(JournalOf(SIM_OP_BoardClose).empty());
}

TEST_F(StartupDialog, SuccessfulStartKeepsAreaBasesAndEndsWithOneClose)
{
    CPelora2Dlg dlg;
    void *first = nullptr;
    WhenShown(res::IDD_PELORA2_DIALOG, [&](fw::Dialog &d) { Click(d, kStart); });
    WhenShown(res::IDD_MAIN_MENU, [&](fw::Dialog &menu) {
        first = dlg.m_session.m_pAreaBase[0];
        EXPECT_NE(first, nullptr);
        for (int i = 1; i < 4; ++i)
            EXPECT_EQ(dlg.m_session.m_pAreaBase[i], first);
        EXPECT_NE(dlg.m_session.m_pAreaBase[4], nullptr);
        EXPECT_EQ(dlg.m_session.m_pAreaBase[5], dlg.m_session.m_pAreaBase[4]);
        EXPECT_EQ(dlg.m_session.AreaStart(0), static_cast<std::uint8_t *>(first)); // area 0 at the base
        fw::test::PressCloseBox(menu);
    });
    RunModal(dlg, "the start-up dialog (the main menu runs inside it)");
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(dlg.m_session.m_hBoard, 0u);
    EXPECT_EQ(JournalOf(SIM_OP_BoardClose).size(), 1u);
    EXPECT_EQ(SimOpenBoards(), 0u);
    EXPECT_EQ(FindDialog(res::IDD_PELORA2_DIALOG), nullptr);
    EXPECT_TRUE(sinks.boxes->boxes().empty());
}

TEST_F(StartupDialog, FailedCloseAtTheEndIsReportedWithTheStopIcon)
{
    CPelora2Dlg dlg;
    WhenShown(res::IDD_PELORA2_DIALOG, [&](fw::Dialog &d) { Click(d, kStart); });
    WhenShown(res::IDD_MAIN_MENU, [&](fw::Dialog &menu) {
        SimInjectResult(SIM_OP_BoardClose, 5, 1);
        fw::test::PressEscape(menu);
    });
    RunModal(dlg, "the start-up dialog (the main menu runs inside it)");
    const auto boxes = sinks.boxes->boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "デバイス クローズが失敗しました。");
    EXPECT_EQ(boxes[0].icon, fw::MsgIcon::Stop);
    EXPECT_EQ(JournalOf(SIM_OP_BoardClose).size(), 1u);
}

TEST_F(StartupDialog, SystemMenuEndsWithTheVersionEntryWhichShowsTheVersionDialog)
{
    CPelora2Dlg dlg;
    bool versionShown = false;
    WhenShown(res::IDD_PELORA2_DIALOG, [&](fw::Dialog &d) {
        const auto &items = d.SystemMenuItems();
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0].command, res::IDM_ABOUTBOX);
        EXPECT_EQ(items[0].text, "Pelora2 のﾊﾞｰｼﾞｮﾝ情報(&A)...");
        d.DispatchSysCommand(res::IDM_ABOUTBOX | 0x3); // the low four bits are ignored
        EXPECT_TRUE(versionShown);
        fw::test::PressEscape(d);
    });
    WhenShown(res::IDD_ABOUTBOX, [&](fw::Dialog &about) {
        versionShown = about.IsModalRunning();
        // Below the described texts, the board library that answered: here the build's simulator.
        char simulator[PATH_MAX] = PELORA_SIM_LIBRARY;
        EXPECT_NE(realpath(PELORA_SIM_LIBRARY, simulator), nullptr);
        EXPECT_EQ(about.GetDlgItemText(res::about::IDC_BOARD_LIBRARY),
                  std::string("ボードライブラリ（シミュレーションボード）:\n") + simulator);
        fw::test::Click(about, fw::IDOK);
    });
    RunModal(dlg, "the start-up dialog (the main menu runs inside it)");
    EXPECT_TRUE(versionShown);
}

TEST_F(StartupDialog, ClosingTheBoardWhileANotificationWaitsInItsBoxDoesNotHang)
{
    // BoardClose waits for running callbacks; this one waits for the user to answer its box.
    sinks.boxes->setHold(true);
    CPelora2Dlg dlg;
    WhenShown(res::IDD_PELORA2_DIALOG, [&](fw::Dialog &d) { Click(d, kStart); });
    WhenShown(res::IDD_MAIN_MENU, [&](fw::Dialog &menu) {
        SimSetDspAnnounce(1);
        IoWriteLong(dlg.m_session.m_hBoard, REG_MAC_DSP_ADR_90, DSP_COMMAND_WORD);
        IoWriteLong(dlg.m_session.m_hBoard, REG_MAC_DSP_ADR_94, 0x99);
        ASSERT_TRUE(fw::test::WaitUntil([&] { return sinks.boxes->heldCount() == 1; }));
        // The user answers the box only while the board is being closed.
        QTimer::singleShot(300, [&] { sinks.boxes->releaseAll(); });
        fw::test::PressEscape(menu);
    });
    RunModal(dlg, "the start-up dialog (the main menu runs inside it)");
    EXPECT_EQ(JournalOf(SIM_OP_BoardClose).size(), 1u);
    EXPECT_EQ(SimOpenBoards(), 0u);
    const auto boxes = sinks.boxes->boxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes[0].caption, "DSP割込み発生");
    EXPECT_FALSE(boxes[0].fromUiThread);
}
