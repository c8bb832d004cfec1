// pelora2-trace record -o FILE [--library PATH] [--hook-budget PERCENT] -- COMMAND [ARGS...]
// Runs COMMAND with the recording board library in front of the board library it would load
// (or the one --library names) and leaves the session in FILE. The exit status is COMMAND's.
#include "Tool.h"

#include "trace/format/TraceFile.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace tool {
namespace {

namespace fs = std::filesystem;

// The recording library: PELORA_TRACE_RECORDER, beside this program (the build folder), or
// where `cmake --install` puts it.
std::string findRecorder()
{
    if (const char *env = std::getenv("PELORA_TRACE_RECORDER"); env && *env)
        return env;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec).parent_path();
    for (const fs::path &p : {self / "libpelora2-trace-recorder.so",
                              self / "../lib/pelora2/libpelora2-trace-recorder.so"})
        if (fs::exists(p, ec))
            return fs::weakly_canonical(p, ec).string();
    return {};
}

pid_t g_child = 0; // the recorded command, for the signal forwarder

// A share of the program hook's time from 0 to 100 % (fractions allowed), as the recorder reads
// PELORA_TRACE_HOOK_BUDGET.
bool budgetOk(const std::string &text)
{
    char *end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && errno == 0 && v >= 0 && v <= 100;
}

void forward(int sig)
{
    if (g_child > 0)
        ::kill(g_child, sig);
}

int record(const std::vector<std::string> &args)
{
    std::string out, library, budget;
    size_t i = 0;
    for (; i < args.size(); ++i) {
        if (args[i] == "--")
            break;
        if ((args[i] == "-o" || args[i] == "--library") && i + 1 < args.size()) {
            (args[i] == "-o" ? out : library) = args[i + 1];
            ++i;
        } else if (args[i] == "--hook-budget" && i + 1 < args.size()) {
            budget = args[++i];
            if (!budgetOk(budget))
                return usageError("record", "--hook-budget takes a percentage from 0 to 100, not " +
                                                budget);
        } else {
            return usageError("record", "unknown argument " + args[i]);
        }
    }
    if (out.empty())
        return usageError("record", "-o FILE is missing");
    if (i + 1 >= args.size())
        return usageError("record", "the command to record is missing (after --)");
    if (!traceDestinationOk("record", out))
        return kUsage;
    const std::string recorder = findRecorder();
    if (recorder.empty()) {
        std::fprintf(stderr, "pelora2-trace record: the recording library is not installed "
                             "(set PELORA_TRACE_RECORDER)\n");
        return kCannotRun;
    }
    std::error_code ec;
    const std::string outPath = fs::absolute(out, ec).string();
    // The recorder claims the file by creating it: an old trace goes first (anything else was
    // refused above).
    if (fs::exists(outPath, ec) && !fs::remove(outPath, ec)) {
        std::fprintf(stderr, "pelora2-trace record: cannot replace %s: %s\n", outPath.c_str(),
                     ec.message().c_str());
        return kCannotRun;
    }
    setenv("PELORA_TRACE_OUT", outPath.c_str(), 1);
    if (!budget.empty())
        setenv("PELORA_TRACE_HOOK_BUDGET", budget.c_str(), 1);
    prependToList("LD_PRELOAD", recorder);
    // An AddressSanitizer build of the command would refuse a preloaded library that comes
    // before its runtime; the runtime is loaded with the command all the same.
    const char *asan = std::getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS",
           (std::string(asan && *asan ? std::string(asan) + ":" : "") + "verify_asan_link_order=0").c_str(), 1);
    if (!library.empty()) {
        if (!fs::exists(library, ec)) {
            std::fprintf(stderr, "pelora2-trace record: %s does not exist\n", library.c_str());
            return kCannotRun;
        }
        const fs::path lib = fs::canonical(library, ec);
        setenv("PELORA_TRACE_LIBRARY", lib.c_str(), 1);
        // The command's own link to the board library finds the same file: one copy loaded.
        prependToList("LD_LIBRARY_PATH", lib.parent_path().string());
    } else {
        unsetenv("PELORA_TRACE_LIBRARY");
    }

    std::vector<char *> argv;
    for (size_t k = i + 1; k < args.size(); ++k)
        argv.push_back(const_cast<char *>(args[k].c_str()));
    argv.push_back(nullptr);
    // Ctrl+C reaches the command itself (same process group); this process waits for it.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGQUIT, SIG_IGN);
    std::signal(SIGTERM, forward);
    std::signal(SIGHUP, forward);
    g_child = ::fork();
    if (g_child < 0) {
        std::perror("pelora2-trace record: fork");
        return kCannotRun;
    }
    if (g_child == 0) {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGQUIT, SIG_DFL);
        ::execvp(argv[0], argv.data());
        std::fprintf(stderr, "pelora2-trace record: cannot run %s: %s\n", argv[0], std::strerror(errno));
        std::_Exit(127);
    }
    int status = 0;
    while (::waitpid(g_child, &status, 0) < 0 && errno == EINTR) {
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (WIFEXITED(status) && code == 127 && !fs::exists(outPath, ec))
        return kCannotRun;

    trace::Reader reader(outPath);
    if (!reader.ok()) {
        std::fprintf(stderr, "pelora2-trace record: no trace written (%s): the command made no "
                             "board call\n", reader.error().c_str());
        return code != 0 ? code : kFinding;
    }
    reader.setSkipData(true);
    trace::Record r;
    uint64_t records = 0, deliveries = 0, notKept = 0, overBudget = 0;
    while (reader.next(&r)) {
        ++records;
        if (r.kind == trace::Kind::Note && r.outputs.size() >= 12)
            overBudget = r.outputs[9];
        if (r.kind == trace::Kind::Callback && r.dataKind == trace::DataKind::Lines) {
            ++deliveries;
            notKept += r.dataKept ? 0 : 1;
        }
    }
    std::fprintf(stderr, "pelora2-trace: %s: %llu records, %llu deliveries, pixels of %llu not kept "
                         "(%llu for the hook's time budget)%s\n",
                 outPath.c_str(), static_cast<unsigned long long>(records),
                 static_cast<unsigned long long>(deliveries),
                 static_cast<unsigned long long>(notKept), static_cast<unsigned long long>(overBudget),
                 reader.truncated() ? " (truncated: the command ended without finishing it)" : "");
    if (overBudget > 0)
        std::fprintf(stderr, "pelora2-trace: deliveries came back to back faster than their pixels "
                             "could be copied within the hook's time budget; --hook-budget 0 keeps "
                             "every pixel, at the cost of the callback thread's time\n");
    return code;
}

const Registration reg({"record", "-o FILE [--library PATH] [--hook-budget PERCENT] -- COMMAND [ARGS...]",
                        "run COMMAND with the recorder in front of its board library", record});

} // namespace
} // namespace tool
