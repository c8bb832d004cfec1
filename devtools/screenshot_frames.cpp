// Renders the picture inspector on frames as they arrive into PNG files, so their texts can be
// checked by eye:
//     screenshot_frames OUTPUT_DIR    -> inspector-undelivered.png, inspector-history.png,
//                                        inspector-bitshift.png
// A line-unit scan of 8 runs a frame under the stale-frame scenario: ten frames and 5 runs of the
// eleventh. The history stepped back one to the tenth frame, which repeats the ninth; then the
// eleventh with its last 3 runs undelivered (left out of the histogram), the probe pinned on one
// of their lines; then the same frame drawn by bits 11 .. 4.
#include "ScreenshotSupport.h"
#include "app/BoardCallbacks.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"
#include "res/Resources.h"
#include "res/Templates.h"
#include "scan/InspectorCanvas.h"
#include "scan/PictureInspector.h"
#include "scan/RectScanDlg.h"
#include "simctl.h"

#include <QApplication>
#include <QKeyEvent>

#include <cstdio>
#include <cstdlib>
#include <thread>
#include <atomic>

namespace {

using namespace res::rectscan;

// Lets one delivery happen and the inspector take a copy of what it left.
void StepAndFollow(CRectScanDlg &scan, PictureInspector *inspector)
{
    SimStep(1);
    std::atomic<bool> idle{false};
    std::thread waiter([&] {
        SimWaitIdle(10000);
        idle = true;
        fw::NotifyUiWaiters();
    });
    fw::PumpingWaitUntil([&] { return idle.load(); }, 12000);
    waiter.join();
    fw::PumpEventsFor(60);
    const std::uint64_t serial = scan.Image().Serial();
    if (inspector) {
        inspector->ImageChanged();
        fw::PumpingWaitUntil([&] { return inspector->Frame() && inspector->Frame()->serial >= serial; }, 5000);
    }
}

PictureInspector *OpenInspector(CRectScanDlg &scan)
{
    for (const fw::ContextMenuEntry &e : scan.ContextMenuEntries(IDC_PICTURE)) {
        if (e.text == "拡大表示..." && e.chosen)
            e.chosen();
    }
    PictureInspector *inspector = scan.Inspector();
    if (!inspector) {
        std::fprintf(stderr, "the inspector did not open (hook calls %llu, running %d); log:\n%s\n",
                     static_cast<unsigned long long>(SimHookCalls()), SimScanRunning(),
                     scan.GetDlgItemText(IDC_LOG).c_str());
        std::exit(1);
    }
    fw::PumpingWaitUntil([&] { return inspector->Frame() && !inspector->Frame()->Empty(); }, 5000);
    return inspector;
}

} // namespace

int main(int argc, char **argv)
{
    ScreenshotSession session(argc, argv);
    if (!session.ok())
        return 1;
    const QString &dir = session.dir;
    SimSetStepMode(1);
    SimSetScenario("stale-frame", 1);
    {
        CRectScanDlg scan;
        scan.m_hBoard = session.board;
        scan.Create();
        scan.widget()->show();
        fw::test::Type(scan, IDC_START_COUNT, "0");
        fw::test::Type(scan, IDC_PIXELS_PER_LINE, "640");
        fw::test::Type(scan, IDC_LINES_PER_FRAME, "512");
        fw::test::SelectIndex(scan, IDC_PIXEL_SIZE, 1);
        fw::test::SelectIndex(scan, IDC_SCAN_UNIT, 1);
        fw::test::Type(scan, IDC_LINE_INT_INTERVAL, "64");
        if (!fw::test::Click(scan, IDC_START))
            std::fprintf(stderr, "Start refused\n");
        StepAndFollow(scan, nullptr);
        PictureInspector *inspector = OpenInspector(scan);
        // Ten frames of 8 runs, then 5 runs of the eleventh.
        for (int run = 1; run < 10 * 8 + 5; ++run)
            StepAndFollow(scan, inspector);
        QKeyEvent back(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
        QApplication::sendEvent(inspector, &back);
        fw::PumpEventsFor(100);
        SaveShot(WithCaption(inspector), dir, "inspector-history");

        inspector->ShowNewest();
        inspector->Canvas()->SetPinned(ImagePixel{400, 320});
        fw::PumpEventsFor(100);
        SaveShot(WithCaption(inspector), dir, "inspector-undelivered");
        inspector->SetWindow(GreyWindow::Shift(4, 0xFFFF));
        inspector->Canvas()->SetPinned(ImagePixel{200, 320});
        fw::PumpEventsFor(100);
        SaveShot(WithCaption(inspector), dir, "inspector-bitshift");
        SimSetScenario("stale-frame", 0);
        SimInjectResult(SIM_OP_ScanCancel, 0, 1); // the running scan ends at once
        fw::test::Click(scan, IDC_FRAME_STOP);
        scan.WindDown();
    }
    return 0;
}
