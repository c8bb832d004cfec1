// CPU spent by the UI thread while it waits and nothing happens: a real message box left open
// (its pumping wait), and a pumping wait for a condition another thread changes late. Figures
// are the process's CPU time over a few idle seconds, as a share of one core.
#include "framework/MessageBox.h"
#include "framework/UiThread.h"

#include <QApplication>
#include <QMessageBox>

#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

namespace {

constexpr int kIdleMs = 4000;

// CPU time of the whole process so far, in seconds (the scheduler's own account, finer than the
// clock ticks of /proc/self/stat).
double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Measures on its own thread while the UI thread waits; returns the share of one core in percent.
double MeasureWhile(const std::function<void()> &wait, const std::function<void()> &end)
{
    std::atomic<double> percent{0};
    std::thread meter([&] { // measuring thread: idle first, then ends the wait
        std::this_thread::sleep_for(std::chrono::milliseconds(500)); // let the wait settle
        const double cpu0 = ProcessCpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(kIdleMs));
        const double cpu1 = ProcessCpuSeconds();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        percent = 100.0 * (cpu1 - cpu0) / seconds;
        end();
    });
    wait();
    meter.join();
    return percent.load();
}

} // namespace

int main(int argc, char **argv)
{
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    fw::initUiThread();

    const double box = MeasureWhile(
        [] { fw::MessageBox(fw::WindowHandle{0}, "待機中の測定"); },
        [] {
            fw::PostToUi([] {
                for (QWidget *w : QApplication::topLevelWidgets())
                    if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible())
                        b->accept();
            });
        });
    std::printf("%-58s %6.2f %% of a core\n", "open message box, idle", box);

    std::atomic<bool> done{false};
    const double wait = MeasureWhile(
        [&] { fw::PumpingWaitUntil([&] { return done.load(); }); },
        [&] {
            done = true;
            fw::NotifyUiWaiters();
        });
    std::printf("%-58s %6.2f %% of a core\n", "pumping wait for another thread's flag, idle", wait);

    fw::shutdownUiThread();
    return 0;
}
