// Scenarios switched on and off while a board is open (SimSetScenario): the board answers as the
// scenario says while it is on, as before once it is off, and keeps what was set after it.
#include "SimFixture.h"

#include <string>
#include <thread>

using namespace simtest;

namespace {

uint8_t FrameByte(BoardHandle h, uint32_t bank, uint32_t offset)
{
    uint8_t b = 0x5A;
    EXPECT_EQ(FrameMemoryRead(h, bank, offset, 1, &b), 0);
    return b;
}

} // namespace

TEST_F(SimTest, EveryScenarioSwitchesOnAndOffAgain)
{
    for (int i = 0; i < SimScenarioCount(); ++i) {
        const std::string name = SimScenarioName(i);
        SCOPED_TRACE(name);
        EXPECT_EQ(SimScenarioActive(name.c_str()), 0);
        ASSERT_EQ(SimSetScenario(name.c_str(), 1), 0);
        EXPECT_EQ(SimScenarioActive(name.c_str()), 1);
        ASSERT_EQ(SimSetScenario(name.c_str(), 0), 0);
        EXPECT_EQ(SimScenarioActive(name.c_str()), 0);
    }
    EXPECT_EQ(SimSetScenario("no-such-scenario", 1), -1);
    EXPECT_EQ(SimScenarioActive("no-such-scenario"), -1);
    EXPECT_EQ(SimScenarioActive(nullptr), -1);

    // Nothing of them is left: the board and the machine answer as after a reset.
    EXPECT_EQ(BoardReset(h), 0);
    EXPECT_EQ(ExclusiveAcquire(h, 0), 0);
    EXPECT_EQ(ExclusiveRelease(h), 0);
    EXPECT_EQ(FrameByte(h, 0, 0x10), 0);
    EXPECT_EQ(FrameByte(h, 1, 7), 0);
    double frames = 0, lines = 0, video = 0;
    SimGetRates(&frames, &lines, &video);
    EXPECT_EQ(frames, 30.0);
    EXPECT_EQ(lines, -1.0);
    EXPECT_NEAR(video, 29.97, 0.01);
    ASSERT_EQ(BoardClose(h), 0);
    void *first = nullptr, *second2 = nullptr;
    uint32_t error = 0;
    h = BoardOpen(0, Hook, BufferFree, DspInterrupt, ScanEnd, &first, &second2, &error);
    EXPECT_NE(h, BOARD_INVALID_HANDLE) << "error " << error;
    EXPECT_EQ(BoardOpen(1, Hook, BufferFree, DspInterrupt, ScanEnd, &first, &second2, &error),
              BOARD_INVALID_HANDLE);
    EXPECT_EQ(error, 17u); // board 1 is not installed again
}

TEST_F(SimTest, SwitchedScenarioChangesWhatAnOpenBoardAnswers)
{
    // An injected failure.
    ASSERT_EQ(SimSetScenario("request-fails", 1), 0);
    EXPECT_EQ(ImageRequest(h, nullptr, 0), SIM_ERR_STATE);
    ASSERT_EQ(SimSetScenario("request-fails", 0), 0);
    EXPECT_EQ(ImageRequest(h, nullptr, 0), 0);

    // A planted fault of the frame memory.
    ASSERT_EQ(SimSetScenario("frame-fault", 1), 0);
    EXPECT_EQ(FrameByte(h, 0, 0x10), 0xA5);
    ASSERT_EQ(SimSetScenario("frame-fault", 0), 0);
    EXPECT_EQ(FrameByte(h, 0, 0x10), 0);

    // Another program holding the right: an acquire that waits gets it once the scenario goes.
    ASSERT_EQ(SimSetScenario("exclusive-held", 1), 0);
    EXPECT_EQ(ExclusiveAcquire(h, 0), SIM_ERR_TIMEOUT);
    int32_t waited = -1;
    std::thread waiter([&] { waited = ExclusiveAcquire(h, 10000); });
    ASSERT_EQ(SimSetScenario("exclusive-held", 0), 0);
    waiter.join();
    EXPECT_EQ(waited, 0);

    // A once-only fault is used up by its call and armed again by switching it on.
    ASSERT_EQ(SimSetScenario("close-fails", 1), 0);
    EXPECT_EQ(BoardClose(h), SIM_ERR_STATE);
    EXPECT_EQ(SimScenarioActive("close-fails"), 0);
    ASSERT_EQ(SimSetScenario("close-fails", 1), 0);
    EXPECT_EQ(SimScenarioActive("close-fails"), 1);
    ASSERT_EQ(SimSetScenario("close-fails", 0), 0);
    EXPECT_EQ(BoardClose(h), 0);
}

TEST_F(SimTest, SwitchingOffKeepsWhatWasSetAfterwards)
{
    // Two scenarios on one operation: the later one holds, the earlier is no longer in effect
    // and switching it off takes nothing away.
    ASSERT_EQ(SimSetScenario("scan-fifo-error", 1), 0);
    ASSERT_EQ(SimSetScenario("prepare-fails", 1), 0);
    EXPECT_EQ(SimScenarioActive("scan-fifo-error"), 0);
    ASSERT_EQ(SimSetScenario("scan-fifo-error", 0), 0);
    EXPECT_EQ(ScanPrepare(h, SCAN_KIND_AREA, SCAN_UNIT_FRAME, 1, 0), SIM_ERR_STATE);
    // An injection by hand after the scenario survives it.
    SimInjectResult(SIM_OP_ScanPrepare, SIM_ERR_BUSY, -1);
    ASSERT_EQ(SimSetScenario("prepare-fails", 0), 0);
    EXPECT_EQ(ScanPrepare(h, SCAN_KIND_AREA, SCAN_UNIT_FRAME, 1, 0), SIM_ERR_BUSY);
    // So does a rate set after a rate scenario.
    ASSERT_EQ(SimSetScenario("slow-scan", 1), 0);
    SimSetFrameRate(10.0);
    ASSERT_EQ(SimSetScenario("slow-scan", 0), 0);
    double frames = 0;
    SimGetRates(&frames, nullptr, nullptr);
    EXPECT_EQ(frames, 10.0);
}

TEST_F(SimTest, RateChangeReachesAScanAndVideoThatRun)
{
    // At these rates the first image would be due in 100 seconds: only the change brings it.
    SimSetFrameRate(0.01);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    startArea(64, 8, 1, true, 0, 3);
    SimSetFrameRate(1000.0);
    EXPECT_TRUE(recorder().waitFor([] { return recorder().ends.size() == 1; }))
        << "the scan kept the old rate";
    EXPECT_EQ(recorder().hookCount(), 3u);

    SimSetVideoRate(0.01);
    ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    ASSERT_EQ(ScanPrepare(h, 1, 1, 3, 0), 0);
    ASSERT_EQ(IoWriteLong(h, REG_DIO_IMG_GETMODE, 3), 0);
    SimSetVideoRate(1000.0);
    EXPECT_TRUE(recorder().waitFor([] { return recorder().hooks.size() == 4; }))
        << "the live video kept the old rate";
    double video = 0;
    SimGetRates(nullptr, nullptr, &video);
    EXPECT_EQ(video, 1000.0);
    SimSetVideoRate(0);
    SimGetRates(nullptr, nullptr, &video);
    EXPECT_NEAR(video, 29.97, 0.01);
}

TEST_F(SimTest, SwitchingWhileAScanRunsIsSafe)
{
    // The hook keeps the scan supplied with requests while another thread switches scenarios
    // that the engine, the hook's calls and the exclusive right all look at.
    {
        std::lock_guard lock(recorder().mutex);
        recorder().inHook = [this](const HookCall &) { ImageRequest(h, nullptr, 0); };
    }
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    startArea(64, 64, 1, false, 8, 0);
    const char *names[] = {"request-fails", "slow-scan", "fast-scan", "dsp-reject",
                           "exclusive-held", "frame-fault", "cancel-timeout"};
    std::thread switcher([&] {
        for (int round = 0; round < 50; ++round)
            for (const char *name : names)
                SimSetScenario(name, round % 2 == 0);
    });
    for (int round = 0; round < 50; ++round) {
        ExclusiveAcquire(h, 0);
        ExclusiveRelease(h);
        SimScenarioActive("request-fails");
    }
    switcher.join();
    for (const char *name : names) {
        ASSERT_EQ(SimSetScenario(name, 0), 0);
        EXPECT_EQ(SimScenarioActive(name), 0) << name;
    }
    const size_t before = recorder().hookCount();
    ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
    EXPECT_TRUE(recorder().waitFor([&] { return recorder().hooks.size() > before; }))
        << "the scan stopped delivering";
}
