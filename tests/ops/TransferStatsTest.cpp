// The delivery recorder: what it counts for each kind of delivery, the interval figures and
// rates, the bounded ring, a reset asked for from another thread, and a reader running beside
// the recording thread. No board needed: deliveries are recorded with chosen time stamps.
#include "ops/IntervalFigures.h"
#include "ops/TransferStats.h"

#include "board/pel2ctl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using Clock = ops::TransferStats::Clock;
using std::chrono::microseconds;

const Clock::time_point t0 = Clock::time_point{} + std::chrono::hours(1);

TEST(IntervalFigures, NearestRankOfTheSet)
{
    const ops::IntervalFigures none = ops::ComputeIntervalFigures({});
    EXPECT_EQ(none.count, 0u);
    EXPECT_EQ(none.maxUs, 0);

    std::vector<double> v;
    for (int i = 100; i >= 1; --i) // unsorted on purpose
        v.push_back(i);
    const ops::IntervalFigures f = ops::ComputeIntervalFigures(v);
    EXPECT_EQ(f.count, 100u);
    EXPECT_EQ(f.minUs, 1);
    EXPECT_EQ(f.medianUs, 50);
    EXPECT_EQ(f.p99Us, 99);
    EXPECT_EQ(f.maxUs, 100);

    const ops::IntervalFigures one = ops::ComputeIntervalFigures({7.5});
    EXPECT_EQ(one.minUs, 7.5);
    EXPECT_EQ(one.medianUs, 7.5);
    EXPECT_EQ(one.p99Us, 7.5);
}

TEST(TransferStats, CountsEachKindOfDelivery)
{
    ops::TransferStats stats;
    // Frame-unit frames 1 ms apart, 1024 lines of 1000 bytes each.
    for (int i = 0; i < 5; ++i)
        stats.Record(HOOK_FLAG_FRAME, 1024, 1024000, t0 + microseconds(1000 * i));
    // A line run, then the run that ends a frame 2 ms after the last frame.
    stats.Record(HOOK_FLAG_LINES, 16, 16000, t0 + microseconds(4500));
    stats.Record(HOOK_FLAG_LINES | HOOK_FLAG_FRAME, 16, 16000, t0 + microseconds(6000));
    // A request too small: nothing written. A lost run reported: no lines.
    stats.Record(HOOK_FLAG_AREA_SIZE, 1024, 1024000, t0 + microseconds(6100));
    stats.Record(HOOK_FLAG_LINE_OVERRUN, 0, 0, t0 + microseconds(6200));

    const ops::TransferStats::Figures f = stats.Snapshot();
    EXPECT_EQ(f.deliveries, 9u);
    EXPECT_EQ(f.frames, 6u);
    EXPECT_EQ(f.lines, 5u * 1024 + 32);
    EXPECT_EQ(f.bytes, 5u * 1024000 + 32000);
    EXPECT_EQ(f.sizeErrors, 1u);
    EXPECT_EQ(f.lostRuns, 1u);
    EXPECT_EQ(f.intervals.count, 5u);
    EXPECT_EQ(f.recentUs, (std::vector<double>{1000, 1000, 1000, 1000, 2000}));
    EXPECT_EQ(f.intervals.minUs, 1000);
    EXPECT_EQ(f.intervals.medianUs, 1000);
    EXPECT_EQ(f.intervals.maxUs, 2000);
    // 5 intervals in 6 ms; the bytes after the first delivery over the 6.2 ms span.
    EXPECT_NEAR(f.framesPerSecond, 5 / 0.006, 1e-6);
    EXPECT_NEAR(f.seconds, 0.0062, 1e-12);
    EXPECT_NEAR(f.mbPerSecond, (4 * 1024000 + 32000) / 0.0062 / 1e6, 1e-6);
}

TEST(TransferStats, KeepsTheLatestIntervalsAndTheWholeRunsExtremes)
{
    ops::TransferStats stats;
    const int frames = int(ops::TransferStats::kRingSize) + 1000;
    Clock::time_point t = t0;
    for (int i = 0; i < frames; ++i) {
        // Frame i comes 10 + i us after frame i - 1, except frame 1 (1 us): the shortest
        // interval has left the ring by the end, the longest is the latest.
        t += microseconds(i == 1 ? 1 : 10 + i);
        stats.Record(HOOK_FLAG_FRAME, 1, 1, t);
    }
    const ops::TransferStats::Figures f = stats.Snapshot();
    ASSERT_EQ(f.recentUs.size(), ops::TransferStats::kRingSize);
    EXPECT_EQ(f.intervals.count, uint64_t(frames - 1));
    EXPECT_EQ(f.recentUs.front(), 10 + 1000);         // oldest kept: frame 1000
    EXPECT_EQ(f.recentUs.back(), 10 + frames - 1);    // newest
    EXPECT_EQ(f.intervals.minUs, 1);                  // frame 1, long gone from the ring
    EXPECT_EQ(f.intervals.maxUs, 10 + frames - 1);
    EXPECT_GE(f.intervals.medianUs, f.recentUs.front());
    // Each kept frame's time stamp, numbered within the run.
    ASSERT_EQ(f.recentFrames.size(), ops::TransferStats::kRingSize);
    EXPECT_EQ(f.firstRecentFrame, uint64_t(frames) - ops::TransferStats::kRingSize + 1);
    EXPECT_EQ(f.recentFrames.back(), t);
    for (std::size_t i = 1; i < f.recentFrames.size(); ++i)
        ASSERT_EQ(f.recentFrames[i] - f.recentFrames[i - 1],
                  microseconds(std::int64_t(f.recentUs[i])));
    EXPECT_EQ(f.firstDelivery, t0 + microseconds(10));
}

TEST(TransferStats, ResetAndNewRunsStartAfreshWithoutSpanningTheGap)
{
    ops::TransferStats stats;
    stats.Record(HOOK_FLAG_FRAME, 8, 80, t0);
    stats.Record(HOOK_FLAG_FRAME, 8, 80, t0 + microseconds(100));
    std::thread([&] { stats.Reset(); }).join(); // asked from another thread
    // Until the next delivery the figures are those of an empty run.
    EXPECT_EQ(stats.Snapshot().deliveries, 0u);
    EXPECT_TRUE(stats.Snapshot().recentUs.empty());

    stats.Record(HOOK_FLAG_FRAME, 8, 80, t0 + microseconds(10000));
    stats.Record(HOOK_FLAG_FRAME, 8, 80, t0 + microseconds(10300));
    const ops::TransferStats::Figures f = stats.Snapshot();
    EXPECT_EQ(f.deliveries, 2u);
    EXPECT_EQ(f.frames, 2u);
    EXPECT_EQ(f.lines, 16u);
    EXPECT_EQ(f.recentUs, (std::vector<double>{300})); // not the 9.9 ms across the reset
    EXPECT_EQ(f.intervals.minUs, 300);
    EXPECT_EQ(f.intervals.maxUs, 300);
    EXPECT_EQ(f.totals.frames, 2u) << "the totals start again with a reset";

    // A new run (the next Start): its figures describe it alone, the totals go on.
    stats.BeginRun();
    EXPECT_EQ(stats.Snapshot().deliveries, 0u);
    EXPECT_EQ(stats.Snapshot().totals.deliveries, 2u);
    stats.Record(HOOK_FLAG_AREA_SIZE, 0, 0, t0 + microseconds(900000));
    stats.Record(HOOK_FLAG_FRAME | HOOK_FLAG_LINE_OVERRUN, 8, 80, t0 + microseconds(900100));
    stats.Record(HOOK_FLAG_FRAME, 8, 80, t0 + microseconds(900600));
    const ops::TransferStats::Figures run = stats.Snapshot();
    EXPECT_EQ(run.deliveries, 3u);
    EXPECT_EQ(run.frames, 2u);
    EXPECT_EQ(run.recentUs, (std::vector<double>{500})) << "the idle time before the run counted";
    EXPECT_EQ(run.intervals.maxUs, 500);
    EXPECT_NEAR(run.framesPerSecond, 2000, 1e-6);
    EXPECT_EQ(run.sizeErrors, 1u);
    EXPECT_EQ(run.lostRuns, 1u);
    const ops::TransferStats::Totals expected{2, 5, 4, 32, 320, 1, 1};
    EXPECT_EQ(run.totals.runs, expected.runs);
    EXPECT_EQ(run.totals.deliveries, expected.deliveries);
    EXPECT_EQ(run.totals.frames, expected.frames);
    EXPECT_EQ(run.totals.lines, expected.lines);
    EXPECT_EQ(run.totals.bytes, expected.bytes);
    EXPECT_EQ(run.totals.sizeErrors, expected.sizeErrors);
    EXPECT_EQ(run.totals.lostRuns, expected.lostRuns);
}

// A reader beside two recording threads whose deliveries overlap (a library may call back on
// more than one thread): no count goes back, and the final figures are exact.
TEST(TransferStats, ReaderBesideOverlappingRecorders)
{
    ops::TransferStats stats;
    constexpr int kDeliveries = 1000000;
    std::atomic<int> running{2};
    std::atomic<int> ready{0};
    auto record = [&](uint32_t flags, uint32_t lines) {
        ++ready;
        while (ready != 2) { // both start together, so their deliveries overlap
        }
        for (int i = 0; i < kDeliveries; ++i)
            stats.Record(flags, lines, lines * 10, t0 + microseconds(i));
        --running;
    };
    std::thread frames(record, HOOK_FLAG_FRAME, 2);
    std::thread partial(record, HOOK_FLAG_LINES, 3);
    uint64_t lastDeliveries = 0;
    while (running != 0) {
        const ops::TransferStats::Figures f = stats.Snapshot();
        ASSERT_GE(f.deliveries, lastDeliveries);
        ASSERT_LE(f.recentUs.size(), ops::TransferStats::kRingSize);
        lastDeliveries = f.deliveries;
    }
    frames.join();
    partial.join();
    const ops::TransferStats::Figures f = stats.Snapshot();
    EXPECT_EQ(f.deliveries, uint64_t(2 * kDeliveries));
    EXPECT_EQ(f.totals.deliveries, uint64_t(2 * kDeliveries));
    EXPECT_EQ(f.lines, uint64_t(5 * kDeliveries));
    EXPECT_EQ(f.bytes, uint64_t(50 * kDeliveries));
    EXPECT_EQ(f.intervals.count, uint64_t(kDeliveries - 1));
    EXPECT_EQ(f.intervals.maxUs, 1);
}

} // namespace
