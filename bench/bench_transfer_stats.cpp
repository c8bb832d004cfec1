// What recording a delivery in ops::TransferStats adds to the scan tool's hook service time
// (sleep 0, no box): the hook as the board library calls it, from a thread of its own, with and
// without one more Record (time stamp included) after it, alternating call by call so that both
// see the same machine. (The scan hook records every delivery itself; the difference is the cost
// of one recording.) Also the cost of Record alone in a tight loop.
#include "BenchSupport.h"
#include "BenchUi.h"

#include "app/BoardCallbacks.h"
#include "common/BoardSession.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"
#include "ops/TransferStats.h"
#include "res/Resources.h"
#include "res/Templates.h"
#include "scan/RectScanDlg.h"

#include <QApplication>

#include <atomic>
#include <thread>

using namespace res::rectscan;
using benchsupport::Micros;
using Clock = std::chrono::steady_clock;

namespace {

struct Run {
    const char *name;
    int unit;            // list index: 0 frame unit, 1 line unit
    std::uint32_t lines; // lines per delivery
    int deliveries;      // of each kind, with and without recording
};

void Measure(const Run &run, double recordNs)
{
    testing_support::BoardSession board;
    CRectScanDlg scan;
    benchsupport::StartStepScan(scan, board, run.unit);
    std::vector<std::uint8_t> library = benchsupport::PatternedLibraryBuffer();
    ops::TransferStats stats;
    std::vector<double> plain, recorded;
    std::atomic<bool> done{false};
    std::thread hookThread([&] {
        std::uint32_t start = 0;
        for (int i = 0; i < 2 * run.deliveries; ++i) {
            const std::uint32_t flags =
                run.unit == 0 ? HOOK_FLAG_FRAME
                              : HOOK_FLAG_LINES | (start + run.lines == 1024 ? HOOK_FLAG_FRAME : 0);
            const bool record = i % 2 == 1;
            const auto t0 = Clock::now();
            ImageTransferHook(flags, start, run.lines, HOOK_BUFFER_LIBRARY, library.data());
            if (record)
                stats.Record(flags, run.lines, std::uint64_t(run.lines) * 1024, Clock::now());
            (record ? recorded : plain).push_back(Micros(t0, Clock::now()));
            start = (start + run.lines) % 1024;
        }
        done = true;
        fw::NotifyUiWaiters();
    });
    fw::PumpingWaitUntil([&] { return done.load(); });
    hookThread.join();
    fw::PumpEventsFor(50);
    benchsupport::Print((std::string(run.name) + ", hook").c_str(), plain);
    benchsupport::Print((std::string(run.name) + ", hook + one more Record").c_str(), recorded);
    const double base = benchsupport::Percentile(plain, 0.5);
    const double with = benchsupport::Percentile(recorded, 0.5);
    std::printf("%-58s median overhead %+.2f %%; Record alone / median hook %.2f %% (%llu frames)\n",
                "", (with - base) / base * 100, recordNs / 1000 / base * 100,
                static_cast<unsigned long long>(stats.Snapshot().frames));
    scan.WindDown();
}

// Record alone, with its time stamp: the fixed cost the hook pays per delivery.
double RecordNanoseconds()
{
    ops::TransferStats stats;
    constexpr int kCalls = 2000000;
    const auto t0 = Clock::now();
    for (int i = 0; i < kCalls; ++i)
        stats.Record(HOOK_FLAG_FRAME, 1024, 1 << 20, Clock::now());
    return Micros(t0, Clock::now()) * 1000 / kCalls;
}

// The time stamp alone, the larger share of the above on most machines.
double ClockNanoseconds()
{
    constexpr int kCalls = 2000000;
    std::int64_t sum = 0;
    const auto t0 = Clock::now();
    for (int i = 0; i < kCalls; ++i)
        sum += Clock::now().time_since_epoch().count();
    const double ns = Micros(t0, Clock::now()) * 1000 / kCalls;
    return sum == 42 ? 0 : ns; // keeps the loop
}

} // namespace

int main(int argc, char **argv)
{
    benchsupport::UiBench ui(argc, argv);
    const double recordNs = RecordNanoseconds();
    std::printf("%-58s %.1f ns per call (time stamp included)\n", "Record alone", recordNs);
    std::printf("%-58s %.1f ns per call\n", "steady_clock::now alone", ClockNanoseconds());
    Measure({"frame unit 1024 x 1024 x 8-bit, library buffer", 0, 1024, 300}, recordNs);
    Measure({"line unit 16-line runs of 1024 x 8-bit, library buffer", 1, 16, 6400}, recordNs);
    return 0;
}
