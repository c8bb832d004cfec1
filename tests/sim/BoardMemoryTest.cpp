// Frame memory, the exclusive right, DSP download and the scan data set loop.
#include "SimFixture.h"

#include <fstream>
#include <random>

using namespace simtest;

TEST_F(SimTest, FrameMemoryRoundTripsChecksRangesAndShowsPlantedFaults)
{
    std::vector<uint8_t> out(FRAME_MEMORY_MAX_TRANSFER), in(FRAME_MEMORY_MAX_TRANSFER);
    std::mt19937 random(3);
    for (auto &b : out)
        b = static_cast<uint8_t>(random());
    const uint32_t offset = FRAME_MEMORY_BANK_SIZE - FRAME_MEMORY_MAX_TRANSFER;
    for (uint32_t bank = 0; bank < 4; ++bank) {
        ASSERT_EQ(FrameMemoryWrite(h, bank, offset, FRAME_MEMORY_MAX_TRANSFER, out.data()), 0);
        ASSERT_EQ(FrameMemoryRead(h, bank, offset, FRAME_MEMORY_MAX_TRANSFER, in.data()), 0);
        EXPECT_EQ(in, out);
    }
    // Banks are separate: bank 1 at 0 was never written.
    ASSERT_EQ(FrameMemoryRead(h, 1, 0, 16, in.data()), 0);
    EXPECT_TRUE(std::all_of(in.begin(), in.begin() + 16, [](uint8_t b) { return b == 0; }));

    EXPECT_NE(FrameMemoryRead(h, 4, 0, 16, in.data()), 0);
    EXPECT_NE(FrameMemoryRead(h, 0, 0, 0, in.data()), 0);
    EXPECT_NE(FrameMemoryRead(h, 0, 0, FRAME_MEMORY_MAX_TRANSFER + 1, in.data()), 0);
    EXPECT_NE(FrameMemoryWrite(h, 0, offset + 1, FRAME_MEMORY_MAX_TRANSFER, out.data()), 0);
    EXPECT_NE(FrameMemoryRead(h, 0, 0xFFFFFFF0, 0x20, in.data()), 0);
    EXPECT_NE(FrameMemoryRead(h, 0, 0, 16, nullptr), 0);

    SimPlantFrameByte(2, offset + 5, 0x00);
    SimPlantStuckBits(2, offset + 9, 0x0F, 0x80);
    ASSERT_EQ(FrameMemoryRead(h, 2, offset, 16, in.data()), 0);
    EXPECT_EQ(in[5], 0x00);
    EXPECT_EQ(in[9], (out[9] & 0x0F) | 0x80);
    EXPECT_EQ(in[8], out[8]);
    // Reads that start after a fault or on another bank are clean.
    ASSERT_EQ(FrameMemoryRead(h, 3, offset, 16, in.data()), 0);
    EXPECT_TRUE(std::equal(in.begin(), in.begin() + 16, out.begin()));
    SimClearFrameFaults();
    ASSERT_EQ(FrameMemoryRead(h, 2, offset, 16, in.data()), 0);
    EXPECT_TRUE(std::equal(in.begin(), in.begin() + 16, out.begin()));

    // Contents survive a close and open, not a reset of the simulator.
    BoardClose(h);
    uint32_t error = 0;
    h = BoardOpen(0, Hook, BufferFree, DspInterrupt, ScanEnd, &window, &second, &error);
    ASSERT_EQ(FrameMemoryRead(h, 2, offset, 16, in.data()), 0);
    EXPECT_TRUE(std::equal(in.begin(), in.begin() + 16, out.begin()));
    SimReset();
    h = BoardOpen(0, Hook, BufferFree, DspInterrupt, ScanEnd, &window, &second, &error);
    ASSERT_EQ(FrameMemoryRead(h, 2, offset, 16, in.data()), 0);
    EXPECT_TRUE(std::all_of(in.begin(), in.begin() + 16, [](uint8_t b) { return b == 0; }));
}

TEST_F(SimTest, ExclusiveRightWaitsTimesOutAndIsHandedOver)
{
    EXPECT_EQ(ExclusiveAcquire(h, 0), 0);
    EXPECT_EQ(ExclusiveAcquire(h, 0), 0); // already ours
    EXPECT_TRUE(SimReadRegister(SIM_REG_STATUS) & SIM_STATUS_EXCLUSIVE);
    EXPECT_EQ(ExclusiveRelease(h), 0);
    EXPECT_EQ(ExclusiveRelease(h), SIM_ERR_NOT_HELD);

    SimHoldExclusiveElsewhere(1);
    EXPECT_EQ(ExclusiveAcquire(h, 30), SIM_ERR_TIMEOUT);
    EXPECT_EQ(ExclusiveAcquire(h, 0), SIM_ERR_TIMEOUT);
    std::atomic<int32_t> result{-1};
    std::thread waiter([&] { result = ExclusiveAcquire(h, 5000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(result.load(), -1);
    SimHoldExclusiveElsewhere(0);
    waiter.join();
    EXPECT_EQ(result.load(), 0);

    // Closing the board gives the right back.
    EXPECT_EQ(BoardClose(h), 0);
    uint32_t error = 0;
    h = BoardOpen(0, Hook, BufferFree, DspInterrupt, ScanEnd, &window, &second, &error);
    EXPECT_EQ(ExclusiveAcquire(h, 0), 0);
}

TEST_F(SimTest, DspDownloadTellsValidDamagedAndMissingPrograms)
{
    const auto dir = samplesDir();
    EXPECT_EQ(DspDownload(h, (dir / "area_scan.idm").string().c_str()), 0);
    EXPECT_TRUE(SimReadRegister(SIM_REG_STATUS) & SIM_STATUS_DSP_LOADED);
    EXPECT_NE(SimReadDspMemory(0x80000000), 0u);
    EXPECT_EQ(DspDownload(h, (dir / "damaged.idm").string().c_str()),
              BOARD_STATUS_DSP_DOWNLOAD_FAULT);
    EXPECT_FALSE(SimReadRegister(SIM_REG_STATUS) & SIM_STATUS_DSP_LOADED);
    const int32_t missing = DspDownload(h, (dir / "no-such-file.idm").string().c_str());
    EXPECT_NE(missing, 0);
    EXPECT_NE(missing, BOARD_STATUS_DSP_DOWNLOAD_FAULT);
    EXPECT_NE(DspDownload(h, dir.string().c_str()), 0); // a folder
    EXPECT_NE(DspDownload(h, ""), 0);
    EXPECT_NE(DspDownload(h, nullptr), 0);

    const auto path = std::filesystem::temp_directory_path() / "pelora_sim_test.idm";
    for (const char *text : {"", "not a program\n", "IDM1 OTHER\n@80000000\n1\nCHECKSUM 1\n",
                             "IDM1 PEL2\nENTRY 80000000\n@80006000\n15\nCHECKSUM 15\n",
                             "IDM1 PEL2\nENTRY 80000000\n@80000000\n1 2\nCHECKSUM 3\n4\n"}) {
        std::ofstream(path) << text;
        EXPECT_EQ(DspDownload(h, path.string().c_str()), BOARD_STATUS_DSP_DOWNLOAD_FAULT) << text;
    }
    std::ofstream(path)
        << "IDM1 PEL2\r\nENTRY 80000010 ; start\r\n@80000010\r\n1 2 FFFFFFFF\r\nCHECKSUM 2\r\n";
    EXPECT_EQ(DspDownload(h, path.string().c_str()), 0);
    EXPECT_EQ(SimReadDspMemory(0x80000012), 0xFFFFFFFFu);
    std::filesystem::remove(path);
}

TEST_F(SimTest, DownloadedProgramStartsThePreparedScanAndTheDspReportsRejects)
{
    // Commands the DSP cannot carry out raise an interrupt instead.
    dspWrite(DSP_COMMAND_WORD, DSP_CMD_AREA_SCAN); // nothing prepared
    dspWrite(DSP_COMMAND_WORD, 0x77);
    ASSERT_TRUE(recorder().waitFor([] { return recorder().dsp.size() == 2; }));
    {
        std::lock_guard lock(recorder().mutex);
        EXPECT_EQ(recorder().dsp[0], SIM_DSP_REJECTED | DSP_CMD_AREA_SCAN);
        EXPECT_EQ(recorder().dsp[1], SIM_DSP_REJECTED | 0x77);
    }
    EXPECT_EQ(SimReadRegister(SIM_REG_DSP_STATUS), uint32_t{SIM_DSP_REJECTED | 0x77});

    // "DSP制御": the program starts the scan when the image get mode is written.
    ASSERT_EQ(DspDownload(h, (samplesDir() / "ten_frames.idm").string().c_str()), 0);
    SimSetStepMode(1);
    for (int i = 0; i < 12; ++i)
        ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    ASSERT_EQ(IoWriteLong(h, REG_MAC_H_UDTCSR, 20 << 16 | 30), 0);
    ASSERT_EQ(ScanPrepare(h, 1, 1 | SCAN_NO_MASK_OPEN_DELAY, 2, 0), 0);
    EXPECT_FALSE(SimScanRunning());
    ASSERT_EQ(IoWriteLong(h, REG_DIO_IMG_GETMODE, 0), 0);
    EXPECT_TRUE(SimScanRunning());
    SimStep(12);
    ASSERT_EQ(SimWaitIdle(10000), 0);
    ASSERT_TRUE(recorder().waitFor([] { return !recorder().ends.empty(); }));
    std::lock_guard lock(recorder().mutex);
    ASSERT_EQ(recorder().hooks.size(), 10u);
    EXPECT_EQ(recorder().hooks[0].lineCount, 20u);
    EXPECT_EQ(recorder().ends, std::vector<int32_t>{SCAN_END_NORMAL});
}

TEST_F(SimTest, ScanDataSetQueuesWhileTheOffBoardLoopRuns)
{
    // The table of the scan data set test: 512 entries of two equal words.
    auto writeTable = [&](uint16_t base) {
        uint16_t *table = static_cast<uint16_t *>(window);
        for (int i = 0; i < 512; ++i)
            table[2 * i] = table[2 * i + 1] = static_cast<uint16_t>(base + 64 * i);
    };
    writeTable(0x8000);
    EXPECT_EQ(ScanDataSet(h, 0, 2048), SIM_ERR_STATE); // no stream buffer yet
    EXPECT_NE(StreamBufferSet(h, 0, 0, 1, 1), 0);
    EXPECT_NE(StreamBufferSet(h, 4, 1, 1, 1), 0);
    ASSERT_EQ(StreamBufferSet(h, 0, 1, 1, 1), 0);
    EXPECT_NE(ScanDataSet(h, 0, 0), 0);
    EXPECT_NE(ScanDataSet(h, 0, 2047), 0);
    EXPECT_NE(ScanDataSet(h, 0xFFFFFF00, 2048), 0);
    static_cast<uint16_t *>(window)[3] = 0x1234; // entry 1 broken
    EXPECT_EQ(ScanDataSet(h, 0, 2048), SIM_ERR_DATA);
    writeTable(0x8000);
    ASSERT_EQ(ScanDataSet(h, 0, 2048), 0);

    SimSetStepMode(1);
    ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    ASSERT_EQ(ScanPrepare(h, SCAN_KIND_DATA_TEST, 0, 2, 0), 0);
    dspWrite(DSP_PARAM_BLOCK + 7, 0x7000);
    dspWrite(DSP_COMMAND_WORD, DSP_CMD_SCANDATA_LOOP);
    EXPECT_TRUE(SimReadRegister(SIM_REG_STATUS) & SIM_STATUS_LOOP);
    EXPECT_EQ(ScanDataSet(h, 0, 2048), BOARD_STATUS_SCANDATA_QUEUED);
    EXPECT_EQ(ScanDataSet(h, 0, 2048), BOARD_STATUS_SCANDATA_OVERFLOW);
    SimStep(1);
    ASSERT_TRUE(recorder().waitFor([] { return recorder().bufferFree.size() == 1; }));
    EXPECT_TRUE(SimScanRunning());
    SimStep(1);
    ASSERT_TRUE(recorder().waitFor([] { return recorder().bufferFree.size() == 2; }));
    ASSERT_EQ(SimWaitIdle(5000), 0);
    EXPECT_FALSE(SimScanRunning());
    EXPECT_EQ(ScanDataSet(h, 0, 2048), 0);
    {
        std::lock_guard lock(recorder().mutex);
        EXPECT_EQ(recorder().bufferFree, (std::vector<int32_t>{0, 1}));
        EXPECT_TRUE(recorder().hooks.empty()); // the loop delivers no images
    }

    // With no queue at all the second set overflows at once.
    SimSetScanDataQueueDepth(0);
    ASSERT_EQ(ScanPrepare(h, SCAN_KIND_DATA_TEST, 0, 2, 0), 0);
    dspWrite(DSP_COMMAND_WORD, DSP_CMD_SCANDATA_LOOP);
    EXPECT_EQ(ScanDataSet(h, 0, 2048), BOARD_STATUS_SCANDATA_OVERFLOW);
    // Without a table the loop does not start.
    ASSERT_EQ(BoardReset(h), 0);
    ASSERT_EQ(StreamBufferSet(h, 0, 1, 1, 1), 0);
    ASSERT_EQ(ScanPrepare(h, SCAN_KIND_DATA_TEST, 0, 2, 0), 0);
    dspWrite(DSP_COMMAND_WORD, DSP_CMD_SCANDATA_LOOP);
    EXPECT_FALSE(SimScanRunning());
    ASSERT_TRUE(recorder().waitFor([] { return !recorder().dsp.empty(); }));
}
