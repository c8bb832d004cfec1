// Per-frame service time of the live display's frame arrival (the hook's NTSC branch, run here
// on the benchmark thread as the library's callback thread would run it), in bitmap mode from
// the library's buffer and from a request buffer, and in overlay mode; and the UI thread's
// repaint of the picture. A frame comes every 33.4 ms at 29.97 frames per second.
#include "BenchUi.h"
#include "common/BoardSession.h"
#include "display/NtscHook.h"
#include "display/NtscViewDlg.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"
#include "overlayctl.h"
#include "res/Resources.h"
#include "res/Templates.h"

#include <QApplication>
#include <QWidget>
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

using namespace res::ntsc;

namespace {

enum Mode { kLibraryBuffer = 0, kRequestBuffer = 1, kOverlay = 2 };

// A running display on the simulated board, which delivers nothing by itself (step mode).
struct RunningDisplay {
    explicit RunningDisplay(Mode mode)
    {
        OverlaySimReset();
        session = std::make_unique<testing_support::BoardSession>();
        SimSetStepMode(1);
        dlg.m_hBoard = session->handle();
        dlg.Create();
        fw::test::Type(dlg, IDC_BUFFER_SIZE, mode == kRequestBuffer ? "E1000" : "0");
        fw::test::Click(dlg, IDC_START);
        if (mode == kOverlay)
            fw::test::Click(dlg, IDC_OVERLAY);
    }
    ~RunningDisplay()
    {
        fw::test::PressEscape(dlg);
        dlg.DestroyWindow();
        SimSetStepMode(0);
        session.reset();
        OverlaySimReset();
    }
    // Outside the timing: lets the UI thread repaint and keeps the request queue short.
    void Housekeeping()
    {
        fw::PumpEventsFor(1);
        ImageRequestClear(dlg.m_hBoard);
    }
    std::unique_ptr<testing_support::BoardSession> session;
    CNtscViewDlg dlg;
};

void BM_FrameArrival(benchmark::State &state)
{
    const Mode mode = static_cast<Mode>(state.range(0));
    RunningDisplay display(mode);
    std::vector<std::uint8_t> library(CNtscViewDlg::kFrameBytes);
    for (std::size_t i = 0; i < library.size(); ++i)
        library[i] = static_cast<std::uint8_t>(i * 7);
    std::uint8_t *data = mode == kRequestBuffer ? display.dlg.Capture().RequestBufferA()
                                                : library.data();
    if (mode == kRequestBuffer)
        std::copy(library.begin(), library.end(), data);
    const std::uint32_t kind = mode == kRequestBuffer ? HOOK_BUFFER_PROGRAM : HOOK_BUFFER_LIBRARY;
    std::int64_t n = 0;
    for (auto _ : state) {
        NtscFrameArrived(HOOK_FLAG_FRAME, 0, 480, kind, data);
        if (++n % 64 == 0) {
            state.PauseTiming();
            display.Housekeeping();
            state.ResumeTiming();
        }
    }
    if (display.dlg.Capture().FramesCopied() == 0)
        state.SkipWithError("no frame was taken");
    state.SetBytesProcessed(state.iterations() * std::int64_t(CNtscViewDlg::kFrameBytes));
}
BENCHMARK(BM_FrameArrival)
    ->ArgName("mode(0=bmp_library,1=bmp_request,2=overlay)")
    ->Arg(kLibraryBuffer)
    ->Arg(kRequestBuffer)
    ->Arg(kOverlay)
    ->Unit(benchmark::kMicrosecond);

// The UI thread's share in bitmap mode: one paint of the picture from the display buffer.
void BM_PicturePaint(benchmark::State &state)
{
    RunningDisplay display(kLibraryBuffer);
    std::vector<std::uint8_t> frame(CNtscViewDlg::kFrameBytes, 0x80);
    NtscFrameArrived(HOOK_FLAG_FRAME, 0, 480, HOOK_BUFFER_LIBRARY, frame.data());
    QWidget *window = display.dlg.widget();
    const QRect picture = display.dlg.DlgItemRect(IDC_PICTURE);
    for (auto _ : state)
        benchmark::DoNotOptimize(window->grab(picture));
}
BENCHMARK(BM_PicturePaint)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    return benchsupport::RunGoogleBenchmarks(argc, argv);
}
