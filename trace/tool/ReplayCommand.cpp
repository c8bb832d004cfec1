// pelora2-trace replay FILE [--speed X] -- COMMAND [ARGS...]
// Runs COMMAND on the simulated board in replay mode (docs/trace.md, "Replay"). The exit status
// is COMMAND's (128 + the signal that ended it); 2 for bad usage or a file that is not a readable
// trace, 3 when the simulated board is not found or COMMAND cannot be started.
#include "Tool.h"

#include <fcntl.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tool {

namespace {

constexpr const char *kUsageText =
    "usage: pelora2-trace replay FILE [--speed X] -- COMMAND [ARGS...]\n"
    "  runs COMMAND on the simulated board, which answers from the recording FILE;\n"
    "  --speed X divides the recorded times (10: ten times as fast, 0: no waits)\n";

int usage(const std::string &why)
{
    std::fprintf(stderr, "pelora2-trace replay: %s\n%s", why.c_str(), kUsageText);
    return kUsage;
}

// The simulated board's folder: beside the tool in the build tree, or where it is installed.
std::string simulatorFolder()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    std::vector<fs::path> candidates;
    if (!ec) {
        candidates.push_back(exe.parent_path().parent_path() / "sim");
        candidates.push_back(exe.parent_path().parent_path() / PELORA_SIM_INSTALL_DIR);
    }
    for (const fs::path &dir : candidates)
        if (fs::exists(dir / "libPEL2CTL.so", ec))
            return fs::weakly_canonical(dir, ec).string();
    return {};
}

volatile std::sig_atomic_t child = 0;

// Signal handler: a hang-up or termination meant for the tool ends the command too, which
// then closes the board as it would.
void forward(int signal)
{
    if (child > 0)
        ::kill(static_cast<pid_t>(child), signal);
}

int replayCommand(const std::vector<std::string> &args)
{
    std::string file;
    std::string speed; // as given

    size_t i = 0;
    for (; i < args.size() && args[i] != "--"; ++i) {
        if (args[i] == "--speed") {
            if (++i == args.size())
                return usage("--speed needs a number");
            char *end = nullptr;
            const double value = std::strtod(args[i].c_str(), &end);
            if (args[i].empty() || *end != '\0' || !(value >= 0) || value > 1e6)
                return usage("--speed " + args[i] + ": not a speed (a number, 0 for no waits)");
            speed = args[i];
        } else if (!args[i].empty() && args[i][0] == '-') {
            return usage("unknown option " + args[i]);
        } else if (file.empty()) {
            file = args[i];
        } else {
            return usage("one trace only (the command follows --)");
        }
    }
    if (file.empty())
        return usage("no trace given");
    if (i + 1 >= args.size())
        return usage("no command given after --");

    {
        const auto reader = openTrace("replay", file);
        if (!reader)
            return kUsage;
        // Pixels the recorder did not keep cannot be replayed: said before the program runs, so
        // that verdicts on those pictures are read for what they are.
        reader->setSkipData(true);
        trace::Record r;
        unsigned long long deliveries = 0, notKept = 0;
        while (reader->next(&r))
            if (r.kind == trace::Kind::Callback && r.dataKind == trace::DataKind::Lines) {
                ++deliveries;
                notKept += r.dataKept ? 0 : 1;
            }
        if (notKept > 0)
            std::fprintf(stderr,
                         "pelora2-trace replay: the pixels of %llu of %llu deliveries were not kept "
                         "when %s was recorded: their lines are not written, and the program finds "
                         "them as its buffers held them (record with --hook-budget 0 to keep every "
                         "pixel)\n",
                         notKept, deliveries, file.c_str());
    }
    const std::string folder = simulatorFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "pelora2-trace replay: the simulated board (libPEL2CTL.so) is not "
                             "beside the tool\n");
        return kCannotRun;
    }
    std::error_code ec;
    char reportPath[] = "/tmp/pelora2-replay-XXXXXX";
    const int reportFd = ::mkstemp(reportPath);
    if (reportFd >= 0)
        ::close(reportFd);

    prependToList("LD_LIBRARY_PATH", folder);
    ::setenv("PELORA_SIM_REPLAY", fs::absolute(file, ec).c_str(), 1);
    if (!speed.empty())
        ::setenv("PELORA_SIM_REPLAY_SPEED", speed.c_str(), 1);
    else
        ::unsetenv("PELORA_SIM_REPLAY_SPEED");
    if (reportFd >= 0)
        ::setenv("PELORA_SIM_REPLAY_REPORT", reportPath, 1);

    std::vector<char *> argv;
    for (size_t k = i + 1; k < args.size(); ++k)
        argv.push_back(const_cast<char *>(args[k].c_str()));
    argv.push_back(nullptr);

    // The child says through this pipe (closed by a successful exec) why it could not start.
    int failed[2];
    if (::pipe2(failed, O_CLOEXEC) != 0) {
        std::perror("pelora2-trace replay: pipe");
        return kCannotRun;
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        std::perror("pelora2-trace replay: fork");
        return kCannotRun;
    }
    if (pid == 0) {
        ::close(failed[0]);
        ::execvp(argv[0], argv.data());
        const int why = errno;
        [[maybe_unused]] const ssize_t n = ::write(failed[1], &why, sizeof why);
        std::_Exit(127);
    }
    ::close(failed[1]);
    int why = 0;
    const bool notStarted = ::read(failed[0], &why, sizeof why) == static_cast<ssize_t>(sizeof why);
    ::close(failed[0]);
    // Ctrl+C reaches the whole process group, the command included: the tool waits for it.
    child = pid;
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGQUIT, SIG_IGN);
    std::signal(SIGTERM, forward);
    std::signal(SIGHUP, forward);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    child = 0;
    if (notStarted) {
        std::fprintf(stderr, "pelora2-trace replay: cannot start %s: %s\n", argv[0],
                     std::strerror(why));
        ::unlink(reportPath);
        return kCannotRun;
    }

    if (reportFd >= 0) {
        std::ifstream in(reportPath);
        std::stringstream text;
        text << in.rdbuf();
        std::string said = text.str();
        if (!said.empty() && said.back() != '\n')
            said += '\n'; // the report file holds the line without its end
        if (said.size() > 1)
            std::fprintf(stderr, "pelora2-trace replay: %s", said.c_str());
        ::unlink(reportPath);
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return 1;
}

const Registration reg({"replay", "FILE [--speed X] -- COMMAND [ARGS...]",
                        "runs COMMAND on the simulated board answering from the trace",
                        replayCommand});

} // namespace

} // namespace tool
