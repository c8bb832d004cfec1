// Frame memory: the range rules of both directions, one transfer per read or fill, and each
// failing step's result.
#include "OpsFixture.h"

#include "ops/FrameMemory.h"

using namespace opstest;

namespace {

class FrameMemoryTest : public OpsTest {};

TEST_F(FrameMemoryTest, RangeRulesGiveTheToolsBoxesInTheirOrder)
{
    const std::string readCaption = "フレームメモリリード パラメータエラー";
    const std::string writeCaption = "フレームメモリライト パラメータエラー";
    const struct {
        ops::FrameRange range;
        const char *read;
        const char *write;
    } cases[] = {
        {{4, 2, 0}, "Bank番号が不正です（有効範囲 0-3 ）。", "Bank番号が不正です（有効範囲 0-3 ）。"},
        {{0, 2, 0}, "Offsetは4byteバウンダリで指定してください。", "Offsetは4byteバウンダリで指定してください。"},
        {{0, 0, 0}, "サイズが０です。", "サイズが０です。"},
        {{0, 0, 6}, "Sizeは4byte単位で指定してください。", "Sizeは4byte単位で指定してください。"},
        {{0, 0, 0x100004}, "リード可能サイズはMAX 1MBです。", "ライト可能サイズはMAX 1MBです。"},
        {{3, 0x1FFFFFC, 8},
         "指定したオフセットとサイズではターゲットアクセスのフレームメモリ領域を超えてしまいます。",
         "指定したオフセットとサイズではフレームメモリ領域を超えてしまいます。"},
        // An offset near 4 GB must not wrap around the bank's end.
        {{0, 0xFFFFFFFC, 4},
         "指定したオフセットとサイズではターゲットアクセスのフレームメモリ領域を超えてしまいます。",
         "指定したオフセットとサイズではフレームメモリ領域を超えてしまいます。"},
    };
    for (const auto &c : cases) {
        const ops::FrameRead read = ops::ReadFrameMemory(board, c.range);
        const ops::Result fill = ops::FillFrameMemory(board, c.range, 0x5A);
        EXPECT_EQ(read.result.step, "parameter");
        EXPECT_EQ(read.result.message, c.read);
        EXPECT_EQ(read.result.caption, readCaption);
        EXPECT_EQ(read.result.icon, ops::Icon::Stop);
        EXPECT_EQ(fill.step, "parameter");
        EXPECT_EQ(fill.message, c.write);
        EXPECT_EQ(fill.caption, writeCaption);
        EXPECT_EQ(fill.icon, ops::Icon::Stop);
    }
    EXPECT_EQ(SimJournalCount(), 0u);
    // The last range that fits: a whole transfer at the end of bank 3.
    EXPECT_TRUE(ops::CheckFrameRange(ops::FrameDirection::Read, {3, 0x1F00000, 0x100000}).ok());
}

TEST_F(FrameMemoryTest, FillThenReadOneTransferEach)
{
    const ops::Result fill = ops::FillFrameMemory(board, {2, 0x1000, 16}, 0xA5);
    ASSERT_TRUE(fill.ok());
    EXPECT_TRUE(fill.message.empty());
    const ops::FrameRead read = ops::ReadFrameMemory(board, {2, 0xFFC, 24});
    ASSERT_TRUE(read.result.ok());
    EXPECT_EQ(Calls(), (std::vector<std::string>{"FrameMemoryWrite 2 4096 16", "FrameMemoryRead 2 4092 24"}));
    ASSERT_EQ(read.data.size(), ops::kFrameTransfer);
    for (uint32_t i = 0; i < 24; ++i)
        EXPECT_EQ(read.data[i], i >= 4 && i < 20 ? 0xA5 : 0x00) << i;
}

TEST_F(FrameMemoryTest, BoardFailuresNameTheCall)
{
    SimInjectResultAt(SIM_OP_FrameMemoryRead, 1, 3, 1);
    const ops::FrameRead read = ops::ReadFrameMemory(board, {1, 0, 4});
    EXPECT_EQ(read.result.step, "FrameMemoryRead");
    EXPECT_EQ(read.result.status, 3);
    EXPECT_EQ(read.result.message, "フレームメモリリードが失敗しました。");
    EXPECT_EQ(read.result.icon, ops::Icon::None);
    EXPECT_TRUE(read.data.empty());

    SimInjectResult(SIM_OP_FrameMemoryWrite, 2, 1);
    const ops::Result fill = ops::FillFrameMemory(board, {0, 0, 4}, 1);
    EXPECT_EQ(fill.step, "FrameMemoryWrite");
    EXPECT_EQ(fill.status, 2);
    EXPECT_EQ(fill.message, "フレームメモリライトが失敗しました。");
    EXPECT_EQ(fill.icon, ops::Icon::None);

    const ops::Result none = ops::NoTransferBuffer();
    EXPECT_EQ(none.step, "buffer");
    EXPECT_EQ(none.message, "作業用メモリ(1MB)を確保できませんでした。");
    EXPECT_EQ(none.icon, ops::Icon::Stop);
}

} // namespace
