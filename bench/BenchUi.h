// The program's UI as a benchmark needs it: a QApplication on the offscreen platform (unless one
// is named), the UI thread, the templates and recording sinks for boxes and file dialogs; and the
// scan tool opened on the simulated board in step mode.
#pragma once

#include "common/BoardSession.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"
#include "res/Resources.h"
#include "res/Templates.h"
#include "scan/RectScanDlg.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace benchsupport {

struct OffscreenFirst {
    OffscreenFirst()
    {
        if (qgetenv("QT_QPA_PLATFORM").isEmpty())
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }
};

class UiBench : OffscreenFirst {
    QApplication app_; // first made, last gone

public:
    UiBench(int &argc, char **argv) : app_(argc, argv)
    {
        fw::initUiThread();
        res::RegisterTemplates(); // the framework knows no template of its own
    }
    ~UiBench() { fw::shutdownUiThread(); }
    UiBench(const UiBench &) = delete;
    UiBench &operator=(const UiBench &) = delete;

    fw::test::Sinks sinks;
};

// main() of a Google Benchmark program that needs the UI.
inline int RunGoogleBenchmarks(int argc, char **argv)
{
    UiBench ui(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The scan tool on board in step mode: unit 0 frame, 1 line; the hook re-issues nothing; started.
inline void StartStepScan(CRectScanDlg &scan, const testing_support::BoardSession &board, int unit)
{
    using namespace res::rectscan;
    SimSetStepMode(1);
    scan.m_hBoard = board.handle();
    scan.Create();
    fw::test::SelectIndex(scan, IDC_SCAN_UNIT, unit);
    fw::test::Click(scan, IDC_HOOK_ISSUE_OFF);
    fw::test::Click(scan, IDC_START);
}

// A library buffer of 1024 lines at the library's pitch, with a pattern in it.
inline std::vector<std::uint8_t> PatternedLibraryBuffer()
{
    std::vector<std::uint8_t> library(std::size_t(1024) * BOARD_LINE_PITCH);
    for (std::size_t i = 0; i < library.size(); ++i)
        library[i] = std::uint8_t(i * 7);
    return library;
}

} // namespace benchsupport
