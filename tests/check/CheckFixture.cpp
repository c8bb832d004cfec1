#include "CheckFixture.h"

#include "check/CheckMain.h"
#include "check/Interrupt.h"
#include "simctl.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace checktest {
namespace {

std::string ReadStream(std::FILE *f)
{
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    std::fclose(f);
    return text;
}

} // namespace

Outcome RunInProcess(const std::vector<std::string> &args, std::function<void()> afterDelivery)
{
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    Outcome o;
    o.status = check::CheckMain(args, out, err, std::move(afterDelivery));
    o.out = ReadStream(out);
    o.err = ReadStream(err);
    return o;
}

Outcome RunExecutable(const std::vector<std::string> &args, const std::string &scenario, int seconds,
                      const std::vector<std::string> &extraEnv,
                      const std::function<bool(pid_t, const std::string &)> &whileRunning, bool stdoutClosed)
{
    char outName[] = "/tmp/check-out-XXXXXX";
    char errName[] = "/tmp/check-err-XXXXXX";
    const int outFd = mkstemp(outName);
    const int errFd = mkstemp(errName);
    int closedPipe[2] = {-1, -1};
    if (stdoutClosed && pipe(closedPipe) == 0)
        close(closedPipe[0]); // no reader: every write to the child's stdout fails
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(stdoutClosed ? closedPipe[1] : outFd, 1);
        dup2(errFd, 2);
        setenv("PELORA_SIM_SCENARIO", scenario.c_str(), 1);
        for (const std::string &e : extraEnv)
            putenv(strdup(e.c_str()));
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(PELORA2_CHECK_PATH));
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(PELORA2_CHECK_PATH, argv.data());
        _exit(127);
    }
    Outcome o;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    bool watching = static_cast<bool>(whileRunning);
    int wstatus = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &wstatus, WNOHANG);
        if (done == pid)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            o.timedOut = true;
            break;
        }
        if (watching)
            watching = !whileRunning(pid, ReadFile(outName));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    close(outFd);
    close(errFd);
    if (closedPipe[1] >= 0)
        close(closedPipe[1]);
    o.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    o.out = ReadFile(outName);
    o.err = ReadFile(errName);
    unlink(outName);
    unlink(errName);
    return o;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string SampleFile(const std::string &name) { return std::string(PELORA_SAMPLES_DIR) + "/" + name; }

void CheckTest::SetUp()
{
    watchdog_ = std::make_unique<testing_support::Watchdog>("the checker to end",
                                                            testing_support::kTestWatchdogSeconds);
    SimReset();
    check::ClearInterrupt();
    char name[] = "/tmp/check-test-XXXXXX";
    dir_ = mkdtemp(name);
}

void CheckTest::TearDown()
{
    SimReset();
    check::ClearInterrupt();
    std::filesystem::remove_all(dir_);
    watchdog_.reset();
}

} // namespace checktest
