// Sessions of pelora2-check, and of the program's scan tool driven through its dialogs
// (driver/scan_session_driver.cpp), recorded with `pelora2-trace record` in front of the
// simulated board and replayed with `pelora2-trace replay` on a simulated board without a
// scenario: the same verdicts, the same board calls apart from addresses, the same pictures
// byte for byte and the same transfer log; a run that deviates is told where; a trace cut short
// replays up to its last complete record.
#include "TraceFile.h"
#include "common/Watchdog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string slurp(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ReplaySession : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir() = fs::temp_directory_path() / ("pelora2-replay-test-" + std::to_string(::getpid()));
        fs::create_directories(dir());
        // The depth sweeps stop at a wall-time limit, which a replay in a slow (sanitizer) build
        // may reach at another depth than its recording did: far off here, so both run them all.
        std::ofstream(dir() / "plan.json") << R"({"scan": {"depthSeconds": 600}})";
    }
    static void TearDownTestSuite() { fs::remove_all(dir()); }
    static fs::path &dir()
    {
        static fs::path d;
        return d;
    }

    // Runs `tool args` in the test's folder with the environment given (and no scenario, no
    // replay, no panel otherwise).
    static Outcome run(const std::string &env, const std::string &args)
    {
        static int n = 0;
        const fs::path out = dir() / ("out" + std::to_string(++n)),
                       err = dir() / ("err" + std::to_string(n));
        const std::string command = "cd '" + dir().string() +
                                    "' && env PELORA_SIM_SCENARIO= PELORA_SIM_REPLAY= "
                                    "PELORA_SIM_PANEL= " +
                                    env + " '" PELORA2_TRACE_PATH "' " + args + " >'" +
                                    out.string() + "' 2>'" + err.string() + "'";
        Outcome r;
        const int status = std::system(command.c_str());
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = slurp(out);
        r.err = slurp(err);
        return r;
    }
    // command: the program and its arguments.
    static std::string record(const std::string &trace, const std::string &env,
                              const std::string &command, Outcome *recorded)
    {
        *recorded = run(env + " PELORA_SIM_TRACE=1",
                        "record -o " + trace + " --library '" PELORA_SIM_LIBRARY "' -- " + command);
        return (dir() / trace).string();
    }
    static Outcome replay(const std::string &trace, const std::string &command)
    {
        return run("PELORA_SIM_TRACE=1", "replay " + trace + " -- " + command);
    }
};

// The cases that failed or could not run, with their verdict, from the checker's terminal lines
// ("scan/area ... FAIL: ..."). Warnings come from host timing and may differ from run to run.
std::map<std::string, std::string> failures(const std::string &out)
{
    std::map<std::string, std::string> v;
    static const std::regex line(R"((\S+) \.\.\. (FAIL|ERROR))");
    for (std::sregex_iterator it(out.begin(), out.end(), line), end; it != end; ++it)
        v[(*it)[1]] = (*it)[2];
    return v;
}

// The simulator's journal as PELORA_SIM_TRACE prints it: (operation, arguments, result).
using Call = std::tuple<std::string, std::vector<uint64_t>, long>;
std::vector<Call> journal(const std::string &err)
{
    std::vector<Call> calls;
    static const std::regex line(R"(\[sim\] (\w+)\(([^)]*)\) = (-?\d+))");
    for (std::sregex_iterator it(err.begin(), err.end(), line), end; it != end; ++it) {
        std::vector<uint64_t> args;
        std::stringstream list((*it)[2].str());
        for (std::string a; std::getline(list, a, ',');)
            args.push_back(std::stoull(a, nullptr, 16));
        calls.emplace_back((*it)[1], args, std::stol((*it)[3]));
    }
    return calls;
}

// Equal apart from addresses: an address (a 64-bit pointer of the process) may differ from
// another address, but not from null or from a value.
bool sameApartFromAddresses(const Call &a, const Call &b)
{
    const auto &[opA, argsA, resultA] = a;
    const auto &[opB, argsB, resultB] = b;
    if (opA != opB || resultA != resultB || argsA.size() != argsB.size())
        return false;
    for (size_t i = 0; i < argsA.size(); ++i)
        if (argsA[i] != argsB[i] && (argsA[i] <= 0xFFFFFFFFu || argsB[i] <= 0xFFFFFFFFu))
            return false;
    return true;
}

// The index of the first replayed call that is not the recorded one, or -1 when the journals
// agree. Calls that two threads raced to make may come in another order, as the replay allows:
// each replayed call is one of the next 8 recorded calls not yet matched.
long firstDifference(std::vector<Call> recorded, const std::vector<Call> &replayed)
{
    for (size_t i = 0; i < replayed.size(); ++i) {
        const size_t n = std::min<size_t>(8, recorded.size());
        size_t k = 0;
        while (k < n && !sameApartFromAddresses(recorded[k], replayed[i]))
            ++k;
        if (k == n)
            return static_cast<long>(i);
        recorded.erase(recorded.begin() + static_cast<long>(k));
    }
    return recorded.empty() ? -1 : static_cast<long>(replayed.size());
}

TEST_F(ReplaySession, ReplaysGiveTheRecordedSession)
{
    const std::string check = "'" PELORA2_CHECK_PATH "' ";
    const std::string scan = check + "scan --frames 3 --timeout 1000 --plan plan.json";
    // The scan tool's picture and its log without times, written into the test's folder.
    const std::string tool = "'" PELORA_SCAN_DRIVER_PATH "' --out . --frames 4 --buffer ";
    const std::string sleepy = "library --hook-sleep 50 --frames 8"; // the board loses frames
    const std::vector<std::string> pic = {"pic.png"}, toolFiles = {"picture.raw", "log.txt"};
    struct Case {
        const char *name;
        const char *scenario; // while recording
        std::string check;    // the command recorded
        std::string replayed; // the command replayed (another run deviates)
        bool cut;             // the trace is cut in the middle of a block before replaying
        std::vector<std::string> outputs; // files both runs write, equal byte for byte
        const char *done = "total "; // the recorded run's output says that it ran to its end
    };
    const Case cases[] = {
        {"frame memory under frame-fault", "frame-fault",
         check + "memory --banks 0 --patterns checker-55",
         check + "memory --banks 0 --patterns checker-55", false, {}},
        {"scans", "", scan + " --save-reference pic.png", scan + " --save-reference pic.png",
         false, pic},
        {"scans with another geometry", "", scan, scan + " --pixels 512", false, {}},
        {"scans cut mid-write", "", scan, scan, true, {}},
        {"scan tool, library's buffer", "", tool + "library", tool + "library", false, toolFiles,
         "scan ended"},
        {"scan tool, its own buffer re-requested by the hook", "", tool + "program",
         tool + "program", false, toolFiles, "scan ended"},
        {"scan tool, frames lost while its hook sleeps", "", tool + sleepy, tool + sleepy, false,
         toolFiles, "scan ended"},
        {"scan tool with another geometry", "", tool + "program",
         tool + "program --lines 128", false, {}, "scan ended"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // A command that hangs (waiting for a delivery that never comes) ends the test run.
        testing_support::Watchdog watchdog(std::string("recording and replaying ") + c.name, 300);
        for (const std::string &f : c.outputs)
            fs::remove(dir() / f);
        Outcome recorded;
        const std::string trace =
            record("session.ptrace", std::string("PELORA_SIM_SCENARIO=") + c.scenario, c.check,
                   &recorded);
        ASSERT_NE(recorded.out.find(c.done), std::string::npos) << recorded.out << recorded.err;
        for (const std::string &f : c.outputs)
            fs::rename(dir() / f, dir() / ("recorded-" + f));

        // Where the replay must part from the recording: at the first geometry write, or at
        // the end of what a cut trace still holds; nowhere else.
        std::string divergence;
        {
            if (c.cut) {
                const auto size = fs::file_size(trace);
                fs::resize_file(trace, size / 2 + 13);
            }
            trace::Reader reader(trace);
            ASSERT_TRUE(reader.ok()) << reader.error();
            trace::Record r;
            uint64_t count = 0;
            while (reader.next(&r)) {
                ++count;
                if (c.check != c.replayed && divergence.empty() && r.kind == trace::Kind::Call &&
                    r.op == 5 /* IoWriteLong */ && r.args.at(0) == 0x44)
                    divergence = "first divergence at record " + std::to_string(r.number) + ":";
            }
            EXPECT_EQ(reader.truncated(), c.cut);
            if (c.cut)
                divergence = "first divergence at record " + std::to_string(count) + ":";
        }

        const Outcome replayed = replay("session.ptrace", c.replayed);
        if (divergence.empty()) {
            EXPECT_EQ(replayed.err.find("divergence"), std::string::npos) << replayed.err;
            EXPECT_EQ(replayed.status, recorded.status);
            EXPECT_EQ(failures(replayed.out), failures(recorded.out)) << replayed.out;
            const auto a = journal(recorded.err), b = journal(replayed.err);
            EXPECT_FALSE(a.empty());
            EXPECT_EQ(firstDifference(a, b), -1) << "first differing journal entry";
        } else {
            // Said by the simulated board and again by the tool.
            const auto first = replayed.err.find(divergence);
            ASSERT_NE(first, std::string::npos) << divergence << "\n" << replayed.err << replayed.out;
            EXPECT_NE(replayed.err.find(divergence, first + 1), std::string::npos);
        }
        for (const std::string &f : c.outputs) {
            const std::string a = slurp(dir() / ("recorded-" + f)), b = slurp(dir() / f);
            EXPECT_FALSE(a.empty()) << f;
            EXPECT_TRUE(a == b) << "the replayed " << f << " differs from the recorded one";
        }
    }
}

} // namespace
