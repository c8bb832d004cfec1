// Operation information view on the simulated board.
#include "ToolTestSupport.h"

#include "app/OperationInfoDlg.h"
#include "res/Resources.h"

#include <cstdio>
#include <sstream>

using namespace testing_support;

namespace {

// Control and template IDs from the resources.
using res::IDD_OPERATION_INFO;
using namespace res::opinfo;

struct Shown {
    std::string history, noRequest, hookBusy, index;
};

Shown RunView(BoardHandle board)
{
    Shown shown;
    fw::test::WhenShown(IDD_OPERATION_INFO, [&](fw::Dialog &dlg) {
        shown.history = dlg.GetDlgItemText(IDC_HISTORY);
        shown.noRequest = dlg.GetDlgItemText(IDC_NO_REQUEST_COUNT);
        shown.hookBusy = dlg.GetDlgItemText(IDC_HOOK_BUSY_COUNT);
        shown.index = dlg.GetDlgItemText(IDC_HISTORY_INDEX);
        fw::test::PressEnter(dlg);
    });
    COperationInfoDlg view;
    view.m_hBoard = board;
    RunModal(view, "the operation information view");
    return shown;
}

using OperationInfoDlgTest = DialogTest;

TEST_F(OperationInfoDlgTest, ShowsCountsAndFullHistory)
{
    const Shown shown = RunView(board->handle());
    EXPECT_TRUE(sinks.boxes->boxes().empty());
    ASSERT_EQ(JournalOf(SIM_OP_ErrorInfoGet).size(), 1u);
    ASSERT_EQ(JournalOf(SIM_OP_OperationInfoGet).size(), 1u);

    // The same values the library gives now (an idle board does not change them).
    int32_t noRequest = -1, hookBusy = -1;
    ASSERT_EQ(ErrorInfoGet(board->handle(), &noRequest, &hookBusy), 0);
    static uint32_t first, histories[4][OPERATION_HISTORY_LENGTH], indices[4];
    OperationInfoGet(board->handle(), &first, histories[0], &indices[0], histories[1], &indices[1],
                     histories[2], &indices[2], histories[3], &indices[3]);
    EXPECT_EQ(shown.noRequest, std::to_string(noRequest));
    EXPECT_EQ(shown.hookBusy, std::to_string(hookBusy));
    EXPECT_EQ(shown.index, std::to_string(static_cast<int32_t>(indices[0])));

    std::string expected;
    char line[32];
    for (uint32_t i = 0; i < OPERATION_HISTORY_LENGTH; ++i) {
        std::snprintf(line, sizeof line, "%4d:%4d\r\n", static_cast<int>(i),
                      static_cast<int32_t>(histories[0][i]));
        expected += line;
    }
    EXPECT_EQ(shown.history, expected);
    EXPECT_EQ(shown.history.substr(0, 5), "   0:");
}

TEST_F(OperationInfoDlgTest, FailingErrorReadLeavesViewEmpty)
{
    SimInjectResult(SIM_OP_ErrorInfoGet, 3, 1);
    const Shown shown = RunView(board->handle());
    ASSERT_EQ(sinks.boxes->count(), 1u);
    const auto box = sinks.boxes->boxes()[0];
    EXPECT_EQ(box.text, "エラー情報取得が失敗しました。");
    EXPECT_EQ(box.caption, fw::AppTitle());
    EXPECT_EQ(box.icon, fw::MsgIcon::Stop);
    EXPECT_TRUE(JournalOf(SIM_OP_OperationInfoGet).empty());
    EXPECT_EQ(shown.history, "");
    EXPECT_EQ(shown.noRequest, "");
    EXPECT_EQ(shown.hookBusy, "");
    EXPECT_EQ(shown.index, "");
}

} // namespace
