// Reset and operation information: their calls and their boxes.
#include "OpsFixture.h"

#include "ops/BoardResetOp.h"
#include "ops/OperationInfo.h"

#include <memory>

using namespace opstest;

namespace {

class BoardStateTest : public OpsTest {};

TEST_F(BoardStateTest, ResetCarriesItsBoxEitherWay)
{
    ops::Result r = ops::ResetBoard(board);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.message, "リセットが完了しました。");
    EXPECT_EQ(r.caption, "リセット");
    EXPECT_EQ(r.icon, ops::Icon::None);

    SimInjectResult(SIM_OP_BoardReset, 4, 1);
    r = ops::ResetBoard(board);
    EXPECT_EQ(r.step, "BoardReset");
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.message, "リセットが失敗しました。");
    EXPECT_EQ(r.caption, "リセット");
    EXPECT_EQ(r.icon, ops::Icon::Stop);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"BoardReset", "BoardReset"}));
}

TEST_F(BoardStateTest, OperationInfoReadsCountersThenHistory)
{
    auto history = std::make_unique<ops::OperationHistory>();
    ASSERT_EQ(IoWriteLong(board, 0x44, 1), 0); // something for the history to hold
    SimJournalClear();
    const ops::OperationInfoRead read = ops::ReadOperationInfo(board, *history);
    EXPECT_TRUE(read.result.ok());
    EXPECT_TRUE(read.result.message.empty());
    EXPECT_EQ(Calls(), (std::vector<std::string>{"ErrorInfoGet", "OperationInfoGet"}));

    const std::string lines = ops::FormatHistory(*history);
    EXPECT_EQ(lines.size(), OPERATION_HISTORY_LENGTH * 11u);
    EXPECT_EQ(lines.substr(0, 11), std::string("   0:") + lines.substr(5, 4) + "\r\n");
    EXPECT_EQ(lines.substr(lines.size() - 11, 5), "1023:");
}

TEST_F(BoardStateTest, FailingCountersStopBeforeTheHistory)
{
    auto history = std::make_unique<ops::OperationHistory>();
    history->pairs[0].index = 77; // what an earlier reading left
    SimInjectResult(SIM_OP_ErrorInfoGet, 2, 1);
    const ops::OperationInfoRead read = ops::ReadOperationInfo(board, *history);
    EXPECT_EQ(read.result.step, "ErrorInfoGet");
    EXPECT_EQ(read.result.status, 2);
    EXPECT_EQ(read.result.message, "エラー情報取得が失敗しました。");
    EXPECT_EQ(read.result.icon, ops::Icon::Stop);
    EXPECT_EQ(Calls(), std::vector<std::string>{"ErrorInfoGet"});
    EXPECT_EQ(history->pairs[0].index, 77u);

    // A failing OperationInfoGet is not judged: the history keeps what it held.
    SimInjectResult(SIM_OP_OperationInfoGet, 2, 1);
    EXPECT_TRUE(ops::ReadOperationInfo(board, *history).result.ok());
    EXPECT_EQ(history->pairs[0].index, 77u);
}

} // namespace
