// CPU of live video for the whole process, simulated board included: the live display opened on
// the simulated board (30 frames per second), started in bitmap mode and left running; prints
// utime + stime from /proc/self/stat over the run as a share of one core, and the frames copied
// and shown. Usage: bench_live_cpu [seconds (default 20) [PNG]]: with PNG, the window as it shows
// the last frame after Stop is saved there. Runs on the offscreen platform unless QT_QPA_PLATFORM
// names another (e.g. xcb under Xvfb).
#include "BenchUi.h"
#include "common/BoardSession.h"
#include "display/NtscViewDlg.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"
#include "res/Resources.h"

#include <QWidget>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

using namespace res::ntsc;

namespace {

// Process CPU time in seconds: fields 14 and 15 of /proc/self/stat (after the command's ")").
double ProcessCpuSeconds()
{
    std::ifstream in("/proc/self/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::strtoull(field.c_str(), nullptr, 10);
        if (i == 15)
            stime = std::strtoull(field.c_str(), nullptr, 10);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char **argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
    benchsupport::UiBench ui(argc, argv);
    auto session = std::make_unique<testing_support::BoardSession>();
    CNtscViewDlg dlg;
    dlg.m_hBoard = session->handle();
    dlg.Create();
    dlg.ShowWindow(true);
    fw::test::Type(dlg, IDC_BUFFER_SIZE, "0");
    fw::test::Click(dlg, IDC_START);
    fw::PumpEventsFor(1000); // settle: the first frames and the first paints

    const std::uint64_t copied0 = dlg.Capture().FramesCopied();
    const std::uint64_t shown0 = dlg.Capture().FramesShown();
    const double cpu0 = ProcessCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    fw::PumpEventsFor(int(seconds * 1000));
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    const double cpu = ProcessCpuSeconds() - cpu0;
    const std::uint64_t copied = dlg.Capture().FramesCopied() - copied0;
    const std::uint64_t shown = dlg.Capture().FramesShown() - shown0;

    fw::test::Click(dlg, IDC_STOP);
    if (argc > 2) {
        fw::PumpEventsFor(200);
        dlg.widget()->grab().save(QString::fromLocal8Bit(argv[2]), "png");
    }
    fw::test::PressEscape(dlg);
    dlg.DestroyWindow();
    session.reset();
    std::printf("live video: %.2f %% of a core (%.2f s CPU over %.2f s), %.1f frames/s copied, "
                "%.1f shown/s\n",
                100.0 * cpu / wall, cpu, wall, double(copied) / wall, double(shown) / wall);
    return 0;
}
