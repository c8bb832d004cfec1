// Register access: the window rules (an access must end inside the 0x120-byte window), the calls
// made for each width, and each failing step's result.
#include "OpsFixture.h"

#include "ops/RegisterAccess.h"

using namespace opstest;

namespace {

class RegisterAccessTest : public OpsTest {};

TEST_F(RegisterAccessTest, ReadsEachWidthAndFormatsTheValue)
{
    // The board identification register: 0x50454C32.
    ops::RegisterRead read = ops::ReadRegister(board, 0x00, ops::RegisterWidth::Long);
    ASSERT_TRUE(read.result.ok());
    EXPECT_EQ(read.value, 0x50454C32u);
    EXPECT_EQ(read.text, "50454C32");
    EXPECT_TRUE(read.result.message.empty());

    ASSERT_EQ(IoWriteShort(board, 0x90, 0xBEEF), 0);
    SimJournalClear();
    read = ops::ReadRegister(board, 0x90, ops::RegisterWidth::Short);
    ASSERT_TRUE(read.result.ok());
    EXPECT_EQ(read.text, "BEEF");
    EXPECT_EQ(Calls(), std::vector<std::string>{"IoReadShort 144"});
}

TEST_F(RegisterAccessTest, AccessesEndingOutsideTheWindowAreRefusedWithoutABoardCall)
{
    const struct {
        uint32_t offset;
        ops::RegisterWidth width;
        bool inside;
    } cases[] = {
        {0x11C, ops::RegisterWidth::Long, true},   {0x11D, ops::RegisterWidth::Long, false},
        {0x120, ops::RegisterWidth::Long, false},  {0x11E, ops::RegisterWidth::Short, true},
        {0x11F, ops::RegisterWidth::Short, false}, {0xFFFFFFFF, ops::RegisterWidth::Short, false},
    };
    for (const auto &c : cases) {
        SimJournalClear();
        const ops::RegisterRead read = ops::ReadRegister(board, c.offset, c.width);
        const ops::Result written = ops::WriteRegister(board, c.offset, 0, c.width);
        EXPECT_EQ(read.result.ok(), c.inside) << c.offset;
        EXPECT_EQ(written.ok(), c.inside) << c.offset;
        EXPECT_EQ(SimJournalCount(), c.inside ? 2u : 0u) << c.offset;
        if (c.inside)
            continue;
        for (const ops::Result *r : {&read.result, &written}) {
            EXPECT_EQ(r->step, "range");
            EXPECT_EQ(r->message, "オフセットが範囲を越えています。");
            EXPECT_EQ(r->caption, "I/O Map I/Oエラー");
            EXPECT_EQ(r->icon, ops::Icon::Stop);
        }
    }
}

TEST_F(RegisterAccessTest, WritesPassTheValueAsGivenAndCarryTheCompletionBox)
{
    ops::Result r = ops::WriteRegister(board, 0x44, 0x00010200, ops::RegisterWidth::Long);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.message, "レジスタライトが完了しました。");
    EXPECT_EQ(r.icon, ops::Icon::None);
    // The 16-bit write hands the high bits to the library as they are.
    r = ops::WriteRegister(board, 0x90, 0x12345678, ops::RegisterWidth::Short);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"IoWriteLong 68 66048",
                                                 "IoWriteShort 144 " + std::to_string(0x12345678)}));
}

TEST_F(RegisterAccessTest, BoardFailuresNameTheCallAndItsStatus)
{
    SimInjectResult(SIM_OP_IoReadLong, 5, 1);
    ops::RegisterRead read = ops::ReadRegister(board, 0x08, ops::RegisterWidth::Long);
    EXPECT_EQ(read.result.step, "IoReadLong");
    EXPECT_EQ(read.result.status, 5);
    EXPECT_EQ(read.result.message, "レジスタリードが失敗しました。");
    EXPECT_TRUE(read.result.caption.empty());
    EXPECT_EQ(read.result.icon, ops::Icon::None);
    EXPECT_TRUE(read.text.empty());

    SimInjectResultAt(SIM_OP_IoReadShort, 0x10, 3, 1);
    read = ops::ReadRegister(board, 0x10, ops::RegisterWidth::Short);
    EXPECT_EQ(read.result.step, "IoReadShort");
    EXPECT_EQ(read.result.status, 3);

    SimInjectResult(SIM_OP_IoWriteLong, 2, 1);
    SimInjectResult(SIM_OP_IoWriteShort, 4, 1);
    const ops::Result longWrite = ops::WriteRegister(board, 0x44, 1, ops::RegisterWidth::Long);
    const ops::Result shortWrite = ops::WriteRegister(board, 0x44, 1, ops::RegisterWidth::Short);
    EXPECT_EQ(longWrite.step, "IoWriteLong");
    EXPECT_EQ(longWrite.status, 2);
    EXPECT_EQ(shortWrite.step, "IoWriteShort");
    EXPECT_EQ(shortWrite.status, 4);
    for (const ops::Result *r : {&longWrite, &shortWrite}) {
        EXPECT_EQ(r->message, "レジスタライトが失敗しました。");
        EXPECT_EQ(r->icon, ops::Icon::None);
    }
}

} // namespace
