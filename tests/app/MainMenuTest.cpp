// The main menu: modal and modeless tools, the close message, reset, and winding down open tools
// when the menu ends.
#include "app/MainMenuDlg.h"
#include "session/ToolProtocol.h"
#include "common/BoardSession.h"
#include "common/ModalRun.h"
#include "framework/TestDriver.h"
#include "res/Resources.h"
#include "tools/ToolTestSupport.h"

#include <QTimer>

#include <gtest/gtest.h>

using namespace testing_support;
using namespace res::mainmenu;
using fw::test::Click;
using fw::test::FindDialog;
using fw::test::WhenShown;

namespace {

class MainMenu : public DialogTest {
protected:
    // Runs the menu modally; `inside` acts while it runs, then the menu is closed with Escape.
    void run(const std::function<void(CMainMenuDlg &)> &inside)
    {
        CMainMenuDlg menu;
        menu.m_hBoard = board->handle();
        tools_test::SessionGuard session(board->firstAddress());
        session.session().m_hBoard = board->handle();
        menu.m_pSession = &session.session();
        WhenShown(res::IDD_MAIN_MENU, [&](fw::Dialog &) {
            inside(menu);
            if (menu.IsWindow())
                fw::test::PressEscape(menu);
        });
        RunModal(menu, "the main menu");
    }
};

} // namespace

TEST_F(MainMenu, ModelessToolDisablesItsButtonUntilItsCloseMessage)
{
    struct Tool {
        int button;
        int templateId;
        unsigned code;
    };
    const Tool tools[] = {{IDC_RECT_SCAN, res::IDD_RECT_SCAN, TOOL_RECTSCAN},
                          {IDC_REGISTER, res::IDD_REGISTER, TOOL_REGISTER},
                          {IDC_SCAN_DATA_SET, res::IDD_SCAN_DATA_SET, TOOL_SCANDATASET}};
    run([&](CMainMenuDlg &menu) {
        for (const Tool &t : tools) {
            SCOPED_TRACE(t.templateId);
            ASSERT_TRUE(Click(menu, t.button));
            EXPECT_FALSE(menu.IsDlgItemEnabled(t.button));
            fw::Dialog *tool = FindDialog(t.templateId);
            ASSERT_NE(tool, nullptr);
            EXPECT_TRUE(tool->IsWindowVisible());
            const fw::WindowHandle firstWindow = tool->GetSafeHwnd();
            // Its own close button (ID 1) closes it and posts the close message.
            ASSERT_TRUE(Click(*tool, fw::IDOK));
            ASSERT_TRUE(fw::test::WaitUntil([&] { return menu.IsDlgItemEnabled(t.button); }));
            EXPECT_EQ(FindDialog(t.templateId), nullptr);
            // Reopening gives a fresh window on the same object.
            ASSERT_TRUE(Click(menu, t.button));
            fw::Dialog *again = FindDialog(t.templateId);
            ASSERT_EQ(again, tool);
            EXPECT_NE(again->GetSafeHwnd(), firstWindow);
            Click(*again, fw::IDOK);
            ASSERT_TRUE(fw::test::WaitUntil([&] { return menu.IsDlgItemEnabled(t.button); }));
        }
    });
}

TEST_F(MainMenu, ToolClosedWithUnknownCodesChangesNothingAndAnswersOne)
{
    run([&](CMainMenuDlg &menu) {
        Click(menu, IDC_REGISTER);
        ASSERT_FALSE(menu.IsDlgItemEnabled(IDC_REGISTER));
        for (std::uintptr_t code : {0u, 4u})
            EXPECT_EQ(menu.DispatchMessage(WM_TOOL_CLOSED, code, 0), 1);
        EXPECT_FALSE(menu.IsDlgItemEnabled(IDC_REGISTER));
        EXPECT_TRUE(menu.IsDlgItemEnabled(IDC_RECT_SCAN));
        EXPECT_EQ(menu.DispatchMessage(WM_TOOL_CLOSED, TOOL_REGISTER, 77), 1);
        EXPECT_TRUE(menu.IsDlgItemEnabled(IDC_REGISTER));
    });
}

TEST_F(MainMenu, ResetReportsSuccessAndFailure)
{
    run([&](CMainMenuDlg &menu) {
        Click(menu, IDC_RESET);
        SimInjectResult(SIM_OP_BoardReset, 1, 1);
        Click(menu, IDC_RESET);
    });
    const auto boxes = sinks.boxes->boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "リセットが完了しました。");
    EXPECT_EQ(boxes[0].caption, "リセット");
    EXPECT_EQ(boxes[0].icon, fw::MsgIcon::None);
    EXPECT_EQ(boxes[1].text, "リセットが失敗しました。");
    EXPECT_EQ(boxes[1].caption, "リセット");
    EXPECT_EQ(boxes[1].icon, fw::MsgIcon::Stop);
    EXPECT_EQ(JournalOf(SIM_OP_BoardReset).size(), 2u);
}

TEST_F(MainMenu, ModalToolsRunWhileModelessToolsAreOpen)
{
    const std::pair<int, int> modal[] = {{IDC_DSP_DOWNLOAD, res::IDD_DSP_DOWNLOAD},
                                         {IDC_NTSC_VIEW, res::IDD_NTSC_VIEW},
                                         {IDC_FRAME_MEMORY, res::IDD_FRAME_MEMORY},
                                         {IDC_ERROR_INFO, res::IDD_OPERATION_INFO}};
    run([&](CMainMenuDlg &menu) {
        Click(menu, IDC_REGISTER);
        Click(menu, IDC_RECT_SCAN);
        for (const auto &[button, templateId] : modal) {
            SCOPED_TRACE(templateId);
            bool shown = false;
            WhenShown(templateId, [&](fw::Dialog &tool) {
                shown = tool.IsModalRunning();
                fw::test::PressEscape(tool);
            });
            ASSERT_TRUE(Click(menu, button));
            EXPECT_TRUE(shown);
            EXPECT_EQ(FindDialog(templateId), nullptr);
        }
        EXPECT_NE(FindDialog(res::IDD_REGISTER), nullptr);
        EXPECT_NE(FindDialog(res::IDD_RECT_SCAN), nullptr);
    });
}

TEST_F(MainMenu, EndingTheMenuWindsDownEveryOpenTool)
{
    run([&](CMainMenuDlg &menu) {
        Click(menu, IDC_REGISTER);
        Click(menu, IDC_RECT_SCAN);
        Click(menu, IDC_SCAN_DATA_SET);
        ASSERT_NE(FindDialog(res::IDD_RECT_SCAN), nullptr);
    });
    // The menu has gone; so have its tools' windows, before the board is closed.
    EXPECT_EQ(FindDialog(res::IDD_RECT_SCAN), nullptr);
    EXPECT_EQ(FindDialog(res::IDD_REGISTER), nullptr);
    EXPECT_EQ(FindDialog(res::IDD_SCAN_DATA_SET), nullptr);
    EXPECT_TRUE(JournalOf(SIM_OP_BoardClose).empty());
}

// Esc on the menu while the scan-data-set test waits without end: the menu's run cannot return
// before that wait does, so the menu winds its tools down as it ends, and the program goes.
TEST_F(MainMenu, EndingTheMenuDuringAnEndlessWaitEndsTheWaitToo)
{
    bool waited = false;
    bool stillOpen = false;
    QTimer rescue; // ends a wait still running after a while, so the test can report it
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, [&] {
        if (fw::Dialog *left = FindDialog(res::IDD_SCAN_DATA_SET)) {
            stillOpen = true;
            left->DestroyWindow();
        }
    });
    run([&](CMainMenuDlg &menu) {
        Click(menu, IDC_SCAN_DATA_SET);
        fw::Dialog *tool = FindDialog(res::IDD_SCAN_DATA_SET);
        ASSERT_NE(tool, nullptr);
        std::function<void()> escapeWhenWaiting = [&] {
            if (JournalOf(SIM_OP_ScanPrepare).empty()) {
                fw::PostToUi(escapeWhenWaiting);
                return;
            }
            waited = true;
            rescue.start(3000);
            fw::test::PressEscape(menu);
        };
        fw::PostToUi(escapeWhenWaiting);
        fw::test::Type(*tool, res::scandataset::IDC_WAIT, "4294967295");
        Click(*tool, res::scandataset::IDC_TEST);
    });
    EXPECT_TRUE(waited);
    EXPECT_FALSE(stillOpen) << "the test window stayed after the menu had ended";
    EXPECT_EQ(FindDialog(res::IDD_SCAN_DATA_SET), nullptr);
    EXPECT_EQ(JournalOf(SIM_OP_ScanDataSet).size(), 1u); // the second set never came
}
