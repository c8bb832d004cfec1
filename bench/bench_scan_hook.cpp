// Service time of the transfer hook's scan branch (sleep 0, no box): copy, log account, picture
// update and count, called from a thread of its own as the board library calls it, while the
// UI thread takes what the hook hands over.
#include "BenchSupport.h"
#include "BenchUi.h"

#include "app/BoardCallbacks.h"
#include "common/BoardSession.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"
#include "res/Resources.h"
#include "res/Templates.h"
#include "scan/RectScanDlg.h"

#include <QApplication>

#include <atomic>
#include <thread>

using namespace res::rectscan;
using benchsupport::Micros;

namespace {

struct Run {
    const char *name;
    int unit;              // list index: 0 frame unit, 1 line unit
    std::uint32_t lines;   // lines per delivery
    int deliveries;
};

void Measure(const Run &run)
{
    testing_support::BoardSession board;
    CRectScanDlg scan;
    benchsupport::StartStepScan(scan, board, run.unit);
    std::vector<std::uint8_t> library = benchsupport::PatternedLibraryBuffer();
    std::vector<double> times;
    std::atomic<bool> done{false};
    std::thread hookThread([&] {
        std::uint32_t start = 0;
        for (int i = 0; i < run.deliveries; ++i) {
            const std::uint32_t flags =
                run.unit == 0 ? HOOK_FLAG_FRAME
                              : HOOK_FLAG_LINES | (start + run.lines == 1024 ? HOOK_FLAG_FRAME : 0);
            const auto t0 = std::chrono::steady_clock::now();
            ImageTransferHook(flags, start, run.lines, HOOK_BUFFER_LIBRARY, library.data());
            times.push_back(Micros(t0, std::chrono::steady_clock::now()));
            start = (start + run.lines) % 1024;
        }
        done = true;
        fw::NotifyUiWaiters();
    });
    const auto t0 = std::chrono::steady_clock::now();
    fw::PumpingWaitUntil([&] { return done.load(); });
    const double totalMs = Micros(t0, std::chrono::steady_clock::now()) / 1000;
    hookThread.join();
    fw::PumpEventsFor(50);
    benchsupport::Print(run.name, times);
    std::printf("%-58s %.0f deliveries/s, hook count shown %s\n", "", run.deliveries / totalMs * 1000,
                scan.GetDlgItemText(IDC_HOOK_CALLS).c_str());
    scan.WindDown();
}

} // namespace

int main(int argc, char **argv)
{
    benchsupport::UiBench ui(argc, argv);
    Measure({"frame unit 1024 x 1024 x 8-bit, library buffer", 0, 1024, 300});
    Measure({"line unit 16-line runs of 1024 x 8-bit, library buffer", 1, 16, 6400});
    return 0;
}
