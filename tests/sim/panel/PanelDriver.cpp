#include "PanelDriver.h"

#include "common/Watchdog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <csignal>
#include <spawn.h>
#include <string>
#include <sys/wait.h>

extern char **environ;

namespace paneltest {

QWidget *findPanel()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("PeloraSimPanel"))
            return w;
    return nullptr;
}

void flushQueued()
{
    bool ran = false;
    QMetaObject::invokeMethod(qApp, [&ran] { ran = true; }, Qt::QueuedConnection);
    pumpUntil([&ran] { return ran; });
}

bool pumpUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

int runChild(const char *mode)
{
    const std::string self = "/proc/self/exe";
    const std::string flag = std::string("--panel-child=") + mode;
    char *argv[] = {const_cast<char *>(self.c_str()), const_cast<char *>(flag.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, environ) != 0)
        return -2;
    // A child that hangs is killed, so that the test fails by itself.
    testing_support::Watchdog watchdog(std::string("the child '") + mode + "' to end",
                                       testing_support::kWatchdogSeconds,
                                       [pid] { kill(pid, SIGKILL); });
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -3;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace paneltest
