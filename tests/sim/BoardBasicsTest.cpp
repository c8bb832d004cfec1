// Opening and closing boards, the register window, reset, injection and the journal.
#include "SimFixture.h"

using namespace simtest;

TEST(SimOpen, StatusValuesAndHandles)
{
    SimReset();
    void *first = nullptr, *second = nullptr;
    uint32_t error = 0;
    EXPECT_EQ(BoardOpen(1, Hook, BufferFree, DspInterrupt, ScanEnd, &first, &second, &error),
              BOARD_INVALID_HANDLE);
    EXPECT_EQ(error, 17u);

    const BoardHandle h =
        BoardOpen(0, Hook, BufferFree, DspInterrupt, ScanEnd, &first, &second, &error);
    ASSERT_NE(h, BOARD_INVALID_HANDLE);
    EXPECT_NE(h, 0u);
    EXPECT_EQ(error, 0u);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    // The memory window is writable over 32 MiB.
    std::memset(first, 0x5A, 0x2000000);
    EXPECT_EQ(static_cast<uint8_t *>(first)[0x1FFFFFF], 0x5A);

    EXPECT_EQ(BoardOpen(0, Hook, BufferFree, DspInterrupt, ScanEnd, &first, &second, &error),
              BOARD_INVALID_HANDLE);
    EXPECT_EQ(error, 16u);
    EXPECT_EQ(SimOpenBoards(), 1u);

    SimSetInstalled(1, 1);
    SimSetDuplicated(1, 1);
    EXPECT_EQ(BoardOpen(1, Hook, BufferFree, DspInterrupt, ScanEnd, &first, &second, &error),
              BOARD_INVALID_HANDLE);
    EXPECT_EQ(error, 18u);
    SimSetDuplicated(1, 0);
    const BoardHandle h1 =
        BoardOpen(1, Hook, BufferFree, DspInterrupt, ScanEnd, &first, &second, &error);
    ASSERT_NE(h1, BOARD_INVALID_HANDLE);
    EXPECT_NE(h1, h);
    uint32_t value = 0;
    EXPECT_EQ(IoReadLong(h1, SIM_REG_BOARD_INDEX, &value), 0);
    EXPECT_EQ(value, 1u);

    EXPECT_EQ(BoardClose(h), 0);
    EXPECT_NE(BoardClose(h), 0);
    EXPECT_NE(IoReadLong(h, 0x44, &value), 0);
    EXPECT_NE(ImageRequest(h, nullptr, 0), 0);
    EXPECT_NE(IoReadLong(0, 0x44, &value), 0);
    // A new open of the same board never reuses the closed handle.
    const BoardHandle again =
        BoardOpen(0, Hook, BufferFree, DspInterrupt, ScanEnd, &first, &second, &error);
    ASSERT_NE(again, BOARD_INVALID_HANDLE);
    EXPECT_NE(again, h);
    EXPECT_EQ(SimOpenBoards(), 2u);
    SimReset();
    EXPECT_EQ(SimOpenBoards(), 0u);
}

TEST_F(SimTest, RegisterWindowBoundsWidthsAndReadOnlyRegisters)
{
    uint32_t v = 0;
    EXPECT_EQ(IoWriteLong(h, 0x11C, 0xA1B2C3D4), 0);
    EXPECT_EQ(IoReadLong(h, 0x11C, &v), 0);
    EXPECT_EQ(v, 0xA1B2C3D4u);
    EXPECT_NE(IoReadLong(h, 0x11D, &v), 0);
    EXPECT_NE(IoWriteLong(h, 0x120, 1), 0);
    EXPECT_NE(IoReadLong(h, 0xFFFFFFFE, &v), 0); // no wrap-around of offset + width
    EXPECT_EQ(IoReadShort(h, 0x11E, &v), 0);
    EXPECT_EQ(v, 0xA1B2u);
    EXPECT_NE(IoReadShort(h, 0x11F, &v), 0);
    EXPECT_NE(IoReadLong(h, 0x44, nullptr), 0);

    // Unaligned accesses see the bytes of their neighbours, little-endian.
    EXPECT_EQ(IoWriteLong(h, 0x50, 0x11223344), 0);
    EXPECT_EQ(IoWriteLong(h, 0x54, 0x55667788), 0);
    EXPECT_EQ(IoReadLong(h, 0x52, &v), 0);
    EXPECT_EQ(v, 0x77881122u);
    EXPECT_EQ(IoWriteShort(h, 0x53, 0xFFFF0000 | 0xBEEF), 0); // high half ignored
    EXPECT_EQ(IoReadLong(h, 0x50, &v), 0);
    EXPECT_EQ(v, 0xEF223344u);
    EXPECT_EQ(IoReadLong(h, 0x54, &v), 0);
    EXPECT_EQ(v, 0x556677BEu);

    // Geometry and mode registers keep what is written.
    for (uint32_t reg :
         {REG_MAC_H_UDTCSR, REG_MAC_L_UDTCSR, REG_DIO_L_UDTCSR, REG_DIO_IMG_GETMODE}) {
        ASSERT_EQ(IoWriteLong(h, reg, 0x04000400), 0);
        ASSERT_EQ(IoReadLong(h, reg, &v), 0);
        EXPECT_EQ(v, 0x04000400u) << reg;
    }
    // Identification registers are read-only.
    EXPECT_EQ(IoWriteLong(h, SIM_REG_BOARD_ID, 0), 0);
    EXPECT_EQ(IoReadLong(h, SIM_REG_BOARD_ID, &v), 0);
    EXPECT_EQ(v, 0x50454C32u);
    EXPECT_EQ(IoReadLong(h, SIM_REG_REVISION, &v), 0);
    EXPECT_EQ(v, 0x00020001u);

    // The indirect pair writes DSP memory.
    dspWrite(DSP_PARAM_BLOCK + 7, 0x7000);
    EXPECT_EQ(SimReadDspMemory(DSP_PARAM_BLOCK + 7), 0x7000u);

    // ScanPrepare shows in the status register; reset forgets it and clears the registers.
    ASSERT_EQ(ScanPrepare(h, 1, 1, 1, 0), 0);
    EXPECT_EQ(IoReadLong(h, SIM_REG_STATUS, &v), 0);
    EXPECT_TRUE(v & SIM_STATUS_PREPARED);
    EXPECT_EQ(BoardReset(h), 0);
    EXPECT_EQ(SimReadRegister(REG_MAC_H_UDTCSR), 0u);
    EXPECT_EQ(SimReadRegister(0x54), 0u);
    EXPECT_EQ(SimReadRegister(SIM_REG_STATUS) & SIM_STATUS_PREPARED, 0u);
    EXPECT_EQ(SimReadDspMemory(DSP_PARAM_BLOCK + 7), 0u);
    EXPECT_EQ(SimReadRegister(SIM_REG_BOARD_ID), 0x50454C32u);
}

TEST_F(SimTest, ScanPrepareChecksItsArguments)
{
    EXPECT_EQ(ScanPrepare(h, 1, 1, 1, 0), 0);
    EXPECT_EQ(ScanPrepare(h, 2, 0, 2, 0), 0);
    EXPECT_EQ(ScanPrepare(h, 1, 0x80000001, 4, 256), 0);
    EXPECT_EQ(ScanPrepare(h, 1, 1, 3, 0), 0);
    EXPECT_EQ(ScanPrepare(h, 0, 1, 1, 0), SIM_ERR_PARAM);
    EXPECT_EQ(ScanPrepare(h, 3, 1, 1, 0), SIM_ERR_PARAM);
    EXPECT_EQ(ScanPrepare(h, 1, 2, 1, 0), SIM_ERR_PARAM);
    EXPECT_EQ(ScanPrepare(h, 1, 1, 0, 0), SIM_ERR_PARAM);
    EXPECT_EQ(ScanPrepare(h, 1, 1, 5, 0), SIM_ERR_PARAM);
    EXPECT_EQ(ScanPrepare(h, 1, 0, 1, 0x10000), SIM_ERR_PARAM);
    EXPECT_EQ(ImageRequest(h, window, 0), SIM_ERR_PARAM);
    int32_t a = 0;
    EXPECT_NE(ErrorInfoGet(h, &a, nullptr), 0);
    EXPECT_NE(ScanCancel(h, 3, 0), 0);
}

TEST_F(SimTest, InjectionsAnswerInsteadOfTheBoardAndTheJournalRecordsCalls)
{
    SimJournalClear();
    uint32_t v = 0;
    SimInjectResult(SIM_OP_IoReadLong, 7, 2);
    EXPECT_EQ(IoReadLong(h, 0x44, &v), 7);
    EXPECT_EQ(IoReadLong(h, 0x44, &v), 7);
    EXPECT_EQ(IoReadLong(h, 0x44, &v), 0);

    SimInjectResultAt(SIM_OP_IoWriteLong, REG_DIO_IMG_GETMODE, 9, -1);
    EXPECT_EQ(IoWriteLong(h, 0x44, 1), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(IoWriteLong(h, REG_DIO_IMG_GETMODE, 0), 9);
    SimInjectResult(SIM_OP_ScanPrepare, BOARD_STATUS_SCAN_FIFO_INIT, 1);
    EXPECT_EQ(ScanPrepare(h, 1, 1, 1, 0), BOARD_STATUS_SCAN_FIFO_INIT);
    EXPECT_EQ(ScanPrepare(h, 1, 1, 1, 0), 0);
    SimClearInjections();
    EXPECT_EQ(IoWriteLong(h, REG_DIO_IMG_GETMODE, 0), 0);

    SimInjectResult(SIM_OP_BoardOpen, 18, 1);
    uint32_t error = 0;
    void *a = nullptr, *b = nullptr;
    EXPECT_EQ(BoardOpen(0, Hook, BufferFree, DspInterrupt, ScanEnd, &a, &b, &error),
              BOARD_INVALID_HANDLE);
    EXPECT_EQ(error, 18u);
    SimInjectResult(SIM_OP_BoardClose, 1, 1);
    EXPECT_EQ(BoardClose(h), 1);
    EXPECT_EQ(SimOpenBoards(), 1u); // the injected failure did not close it

    ASSERT_GE(SimJournalCount(), 11u);
    SimCall call{};
    ASSERT_EQ(SimJournalEntry(0, &call), 0);
    EXPECT_EQ(call.op, SIM_OP_IoReadLong);
    EXPECT_EQ(call.args[0], 0x44u);
    EXPECT_EQ(call.args[1], reinterpret_cast<uintptr_t>(&v));
    EXPECT_EQ(call.argCount, 2);
    EXPECT_EQ(call.result, 7);
    ASSERT_EQ(SimJournalEntry(3, &call), 0);
    EXPECT_EQ(call.op, SIM_OP_IoWriteLong);
    EXPECT_EQ(call.args[1], 1u);
    EXPECT_NE(SimJournalEntry(100000, &call), 0);
    EXPECT_STREQ(SimOpName(SIM_OP_OperationInfoGet), "OperationInfoGet");
    SimJournalClear();
    EXPECT_EQ(SimJournalCount(), 0u);
}

TEST_F(SimTest, ScenariosAreKnownAndApplyTheirFaults)
{
    ASSERT_GT(SimScenarioCount(), 20);
    for (int i = 0; i < SimScenarioCount(); ++i) {
        EXPECT_EQ(SimApplyScenario(SimScenarioName(i)), 0) << SimScenarioName(i);
        EXPECT_STRNE(SimScenarioDescription(i), "");
        SimReset();
    }
    EXPECT_NE(SimApplyScenario("no-such-scenario"), 0);
    EXPECT_EQ(SimApplyScenario(""), 0);

    uint32_t error = 0;
    h = BoardOpen(0, Hook, BufferFree, DspInterrupt, ScanEnd, &window, &second, &error);
    ASSERT_NE(h, BOARD_INVALID_HANDLE);
    EXPECT_EQ(SimApplyScenario("scan-fifo-error, reset-fails"), 0);
    EXPECT_EQ(ScanPrepare(h, 1, 1, 1, 0), BOARD_STATUS_SCAN_FIFO_INIT);
    EXPECT_NE(BoardReset(h), 0);
    EXPECT_EQ(SimApplyScenario("fail:IoWriteLong@0x44=5"), 0);
    EXPECT_EQ(IoWriteLong(h, 0x44, 0), 5);
    EXPECT_EQ(IoWriteLong(h, 0x88, 0), 0);
    EXPECT_NE(SimApplyScenario("fail:NoSuchOperation"), 0);
    EXPECT_EQ(SimApplyScenario("open-busy"), 0);
    EXPECT_EQ(BoardOpen(0, Hook, BufferFree, DspInterrupt, ScanEnd, &window, &second, &error),
              BOARD_INVALID_HANDLE);
    EXPECT_EQ(error, 16u);
}
