// The frame memory compare on the simulated board: the whole button handler, driven through the
// dialog. "prescribed" runs with the program's 10 ms pauses (2688 of them, 26.88 s); "no_pauses"
// shows what the transfers and byte checks alone cost.
#include "BenchUi.h"
#include "common/BoardSession.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"
#include "res/Templates.h"
#include "tools/FrameMemoryDlg.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <chrono>

namespace {

constexpr double kPrescribedPauseSeconds = 128 * 21 * 0.010;

double RunCompare(BoardHandle board)
{
    double seconds = 0;
    fw::test::WhenShown(136, [&](fw::Dialog &dlg) {
        fw::test::Type(dlg, 1004, "5A");
        const auto start = std::chrono::steady_clock::now();
        fw::test::Click(dlg, 1025);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        fw::test::PressEscape(dlg);
    });
    CFrameMemoryDlg dlg;
    dlg.m_hBoard = board;
    dlg.DoModal();
    return seconds;
}

void BM_Compare(benchmark::State &state, int pauseMs)
{
    fw::test::Sinks sinks;
    testing_support::BoardSession session;
    CFrameMemoryDlg::SetComparePauseMs(pauseMs);
    double last = 0;
    for (auto _ : state) {
        last = RunCompare(session.handle());
        state.SetIterationTime(last);
    }
    CFrameMemoryDlg::SetComparePauseMs(10);
    const double pauses = pauseMs == 10 ? kPrescribedPauseSeconds : 0.0;
    state.counters["seconds"] = last;
    state.counters["beyond_pauses_s"] = last - pauses;
    state.counters["boxes"] = static_cast<double>(sinks.boxes->count());
}

} // namespace

BENCHMARK_CAPTURE(BM_Compare, no_pauses, 0)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_Compare, prescribed, 10)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    return benchsupport::RunGoogleBenchmarks(argc, argv);
}
