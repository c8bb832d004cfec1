// Sessions of pelora2-check, and of the program's scan tool driven through its dialogs
// (driver/scan_session_driver.cpp), recorded with `pelora2-trace record` in front of the
// simulated board and replayed with `pelora2-trace replay` on a simulated board without a
// scenario: the same verdicts, the same board calls apart from addresses, the same pictures
// byte for byte and the same transfer log; a run that deviates is told where; a trace cut short
// replays up to its last complete record.
#include "../TraceTestSupport.h"
#include "TraceFile.h"
#include "common/Watchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using tracetest::Call;
using tracetest::Ran;
using tracetest::readFile;
using Command = std::vector<std::string>;

// A program and its arguments, written as on a command line (the path stays whole).
Command command(const std::string &program, const std::string &arguments)
{
    Command c = {program};
    std::istringstream words(arguments);
    for (std::string w; words >> w;)
        c.push_back(w);
    return c;
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

    // Runs pelora2-trace in the test's folder with the environment given (and no scenario, no
    // replay, no panel otherwise).
    static Ran run(const std::string &scenario, Command args)
    {
        args.insert(args.begin(), PELORA2_TRACE_PATH);
        return tracetest::run(args, {"PELORA_SIM_SCENARIO=" + scenario, "PELORA_SIM_REPLAY=",
                                     "PELORA_SIM_PANEL=", "PELORA_SIM_TRACE=1"},
                              240000, dir());
    }
    static std::string record(const std::string &trace, const std::string &scenario,
                              const Command &program, Ran *recorded)
    {
        // Every pixel kept: a slow (sanitizer) build's deliveries may come back to back against
        // its hook, and pixels given up for the hook's time would part the replay's pictures.
        Command args = {"record", "-o", trace, "--hook-budget", "0", "--library", PELORA_SIM_LIBRARY, "--"};
        args.insert(args.end(), program.begin(), program.end());
        *recorded = run(scenario, args);
        return (dir() / trace).string();
    }
    static Ran replay(const std::string &trace, const Command &program)
    {
        Command args = {"replay", trace, "--"};
        args.insert(args.end(), program.begin(), program.end());
        return run("", args);
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

// The simulator's journal as PELORA_SIM_TRACE prints it, addresses marked alike.
std::vector<Call> journal(const std::string &err)
{
    std::vector<Call> calls = tracetest::callsIn(err, R"(\[sim\] )");
    std::transform(calls.begin(), calls.end(), calls.begin(), tracetest::withoutAddresses);
    return calls;
}

// The index of the first replayed call that is not the recorded one, or -1 when the journals
// agree. Calls that two threads raced to make may come in another order, as the replay allows:
// each replayed call is one of the next 8 recorded calls not yet matched.
long firstDifference(std::vector<Call> recorded, const std::vector<Call> &replayed)
{
    for (size_t i = 0; i < replayed.size(); ++i) {
        const size_t n = std::min<size_t>(8, recorded.size());
        size_t k = 0;
        while (k < n && recorded[k] != replayed[i])
            ++k;
        if (k == n)
            return static_cast<long>(i);
        recorded.erase(recorded.begin() + static_cast<long>(k));
    }
    return recorded.empty() ? -1 : static_cast<long>(replayed.size());
}

TEST_F(ReplaySession, ReplaysGiveTheRecordedSession)
{
    auto check = [](const std::string &args) { return command(PELORA2_CHECK_PATH, args); };
    const std::string scan = "scan --frames 3 --timeout 1000 --plan plan.json";
    // The scan tool's picture and its log without times, written into the test's folder.
    auto tool = [](const std::string &args) {
        return command(PELORA_SCAN_DRIVER_PATH, "--out . --frames 4 --buffer " + args);
    };
    const std::string sleepy = "library --hook-sleep 50 --frames 8"; // the board loses frames
    const std::vector<std::string> pic = {"pic.png"}, toolFiles = {"picture.raw", "log.txt"};
    struct Case {
        const char *name;
        const char *scenario; // while recording
        Command check;    // the command recorded
        Command replayed; // the command replayed (another run deviates)
        bool cut;             // the trace is cut in the middle of a block before replaying
        std::vector<std::string> outputs; // files both runs write, equal byte for byte
        const char *done = "total "; // the recorded run's output says that it ran to its end
    };
    const Case cases[] = {
        {"frame memory under frame-fault", "frame-fault",
         check("memory --banks 0 --patterns checker-55"),
         check("memory --banks 0 --patterns checker-55"), false, {}},
        {"scans", "", check(scan + " --save-reference pic.png"),
         check(scan + " --save-reference pic.png"), false, pic},
        {"scans with another geometry", "", check(scan), check(scan + " --pixels 512"), false, {}},
        {"scans cut mid-write", "", check(scan), check(scan), true, {}},
        {"scan tool, library's buffer", "", tool("library"), tool("library"), false, toolFiles,
         "scan ended"},
        {"scan tool, its own buffer re-requested by the hook", "", tool("program"),
         tool("program"), false, toolFiles, "scan ended"},
        {"scan tool, frames lost while its hook sleeps", "", tool(sleepy), tool(sleepy), false,
         toolFiles, "scan ended"},
        {"scan tool with another geometry", "", tool("program"),
         tool("program --lines 128"), false, {}, "scan ended"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // A command that hangs (waiting for a delivery that never comes) ends the test run.
        testing_support::Watchdog watchdog(std::string("recording and replaying ") + c.name, 300);
        for (const std::string &f : c.outputs)
            fs::remove(dir() / f);
        Ran recorded;
        const std::string trace =
            record("session.ptrace", c.scenario, c.check, &recorded);
        ASSERT_NE(recorded.out.find(c.done), std::string::npos) << recorded.out << recorded.err;
        for (const std::string &f : c.outputs)
            fs::rename(dir() / f, dir() / ("recorded-" + f));

        // Where the replay must part from the recording: at the first geometry write; or, for a
        // trace cut short, after its last callback (a call made inside a callback the cut left
        // out cannot be answered) and at the latest at its end; nowhere else.
        bool diverges = c.cut;
        uint64_t earliest = 0, latest = 0;
        {
            if (c.cut) {
                const auto size = fs::file_size(trace);
                fs::resize_file(trace, size / 2 + 13);
            }
            trace::Reader reader(trace);
            ASSERT_TRUE(reader.ok()) << reader.error();
            trace::Record r;
            while (reader.next(&r)) {
                if (c.cut && r.kind == trace::Kind::Callback)
                    earliest = r.number + 1;
                if (c.check != c.replayed && !diverges && r.kind == trace::Kind::Call &&
                    r.op == 5 /* IoWriteLong */ && r.args.at(0) == 0x44) {
                    diverges = true;
                    earliest = latest = r.number;
                }
                if (c.cut)
                    latest = r.number + 1;
            }
            EXPECT_EQ(reader.truncated(), c.cut);
        }

        const Ran replayed = replay("session.ptrace", c.replayed);
        if (!diverges) {
            EXPECT_EQ(replayed.err.find("divergence"), std::string::npos) << replayed.err;
            EXPECT_EQ(replayed.status, recorded.status);
            EXPECT_EQ(failures(replayed.out), failures(recorded.out)) << replayed.out;
            const auto a = journal(recorded.err), b = journal(replayed.err);
            EXPECT_FALSE(a.empty());
            EXPECT_EQ(firstDifference(a, b), -1) << "first differing journal entry";
        } else {
            // Said by the simulated board and again by the tool, at the same record.
            static const std::regex said(R"(first divergence at record (\d+):)");
            std::vector<uint64_t> at;
            for (std::sregex_iterator it(replayed.err.begin(), replayed.err.end(), said), end; it != end; ++it)
                at.push_back(std::stoull((*it)[1]));
            ASSERT_EQ(at.size(), 2u) << replayed.err << replayed.out;
            EXPECT_EQ(at[0], at[1]);
            EXPECT_TRUE(at[0] >= earliest && at[0] <= latest)
                << "diverged at record " << at[0] << ", expected " << earliest << " to " << latest;
        }
        for (const std::string &f : c.outputs) {
            const std::string a = readFile(dir() / ("recorded-" + f)), b = readFile(dir() / f);
            EXPECT_FALSE(a.empty()) << f;
            EXPECT_TRUE(a == b) << "the replayed " << f << " differs from the recorded one";
        }
    }
}

} // namespace
