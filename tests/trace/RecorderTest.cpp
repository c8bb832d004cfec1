// The recorder in front of the simulated board, recording pelora2-check runs: the trace holds
// every call the simulated board journalled (PELORA_SIM_TRACE) with the same arguments and
// results apart from addresses, the pixels it kept are the board's, and a run killed mid-way
// leaves a trace that reads up to its last complete block.
#include "TraceTestSupport.h"
#include "board/pel2ctl.h"
#include "ops/FrameContent.h"
#include "simctl.h"
#include "trace/format/TraceFile.h"
#include "trace/recorder/HookPace.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

namespace fs = std::filesystem;
using tracetest::Ran;
using tracetest::readFile;
using tracetest::run;

struct Case {
    const char *name;
    std::vector<std::string> checkArgs;
    uint32_t pixels, lines, bytes; // of the first scan's frames; 0: no scan
};

TEST(Recorder, RecordsCheckerRunsAsTheBoardAnsweredThem)
{
    const std::vector<Case> cases = {
        {"frame units into the library's buffer", {"scan", "--frames", "3", "--pixels", "256", "--lines", "128"}, 256, 128, 1},
        {"16-bit line runs into a program buffer",
         {"scan", "--frames", "2", "--pixels", "200", "--lines", "96", "--pixel-size", "16", "--unit", "line",
          "--line-interval", "32", "--buffer", "program"},
         200, 96, 2},
        {"frame memory written and read", {"memory", "--banks", "1", "--patterns", "address"}, 0, 0, 0},
    };
    const std::string dir = fs::temp_directory_path() / ("trace-rec-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string tracePath = dir + "/run.trace";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // Every pixel kept (a slow build's hook calls may come back to back).
        std::vector<std::string> argv = {PELORA2_TRACE_PATH, "record", "-o", tracePath, "--hook-budget", "0",
                                         "--", PELORA2_CHECK_PATH};
        argv.insert(argv.end(), c.checkArgs.begin(), c.checkArgs.end());
        const Ran rec = run(argv, {"PELORA_SIM_TRACE=1", "PELORA_SIM_SCENARIO="});
        ASSERT_EQ(rec.status, 0) << rec.out << rec.err;

        const Ran dump = run({PELORA2_TRACE_PATH, "dump", tracePath}, {});
        ASSERT_EQ(dump.status, 0) << dump.err;
        // Lines two threads of the board printed mixed are not compared.
        size_t mixed = 0;
        std::vector<tracetest::Call> board = tracetest::callsIn(rec.err, R"(\[sim\] )", &mixed),
                                     traced = tracetest::callsIn(dump.out, R"(#\d+ \S+ t\d+ )");
        ASSERT_FALSE(board.empty());
        // Same calls, arguments and results; the order between threads may differ by a hair
        // (the board journals a call before the recorder does).
        for (auto *calls : {&board, &traced}) {
            std::transform(calls->begin(), calls->end(), calls->begin(), tracetest::withoutAddresses);
            std::sort(calls->begin(), calls->end());
        }
        std::vector<tracetest::Call> onlyBoard, onlyTrace;
        std::set_difference(board.begin(), board.end(), traced.begin(), traced.end(), std::back_inserter(onlyBoard));
        std::set_difference(traced.begin(), traced.end(), board.begin(), board.end(), std::back_inserter(onlyTrace));
        EXPECT_TRUE(onlyBoard.empty() && onlyTrace.size() <= 2 * mixed)
            << onlyBoard.size() << " calls only on the board, first: "
            << (onlyBoard.empty() ? "" : std::get<0>(onlyBoard[0])) << "; " << onlyTrace.size()
            << " only in the trace, first: " << (onlyTrace.empty() ? "" : std::get<0>(onlyTrace[0]));

        // Everything kept: info finds nothing to report. A trace equals itself; a cut of it
        // lacks the rest, which diff names.
        const Ran info = run({PELORA2_TRACE_PATH, "info", tracePath}, {});
        EXPECT_EQ(info.status, 0) << info.out << info.err;
        EXPECT_EQ(run({PELORA2_TRACE_PATH, "diff", tracePath, tracePath}, {}).status, 0);
        const std::string cutPath = dir + "/cut.trace";
        EXPECT_EQ(run({PELORA2_TRACE_PATH, "cut", tracePath, "--from", "0", "--to", "9", "-o", cutPath}, {}).status, 0);
        const Ran cutDiff = run({PELORA2_TRACE_PATH, "diff", tracePath, cutPath}, {});
        EXPECT_EQ(cutDiff.status, 1);
        EXPECT_NE(cutDiff.out.find("only in A"), std::string::npos) << cutDiff.out;

        trace::Reader reader(tracePath);
        trace::Record r;
        uint64_t frameBytes = 0;
        while (reader.next(&r))
            if (r.dataKind == trace::DataKind::FrameWrite || r.dataKind == trace::DataKind::FrameRead)
                frameBytes += r.data.size();
        EXPECT_FALSE(reader.truncated()) << reader.error();
        if (c.pixels == 0) {
            EXPECT_EQ(frameBytes, 2u * FRAME_MEMORY_BANK_SIZE); // the bank written once, read once
            continue;
        }
        // The first frame the trace kept is the first frame of the first scan, pixel for pixel.
        const std::string frames = dir + "/frames";
        fs::remove_all(frames);
        const Ran exported = run({PELORA2_TRACE_PATH, "frames", tracePath, "--out", frames}, {});
        EXPECT_EQ(exported.status, 0) << exported.out << exported.err;
        ops::Picture picture;
        std::string error;
        ASSERT_TRUE(ops::ReadGreyPng(frames + "/frame-000001.png", picture, error)) << error;
        ASSERT_EQ(picture.pixels, c.pixels);
        ASSERT_EQ(picture.lines, c.lines);
        uint64_t wrong = 0;
        for (uint32_t y = 0; y < c.lines; ++y)
            for (uint32_t x = 0; x < c.pixels; ++x)
                if (picture.View().At(x, y) != SimAreaPixel(x, y, c.pixels, c.lines, c.bytes, 0) && wrong++ < 3)
                    ADD_FAILURE() << "pixel " << x << "," << y << ": " << picture.View().At(x, y);
        EXPECT_EQ(wrong, 0u);
    }

    // Killed while it scans: the trace reads up to its last complete block, and says so.
    const std::string killedPath = dir + "/killed.trace";
    const Ran killed = run({PELORA2_CHECK_PATH, "scan", "--frames", "1000000", "--pixels", "256", "--lines", "64"},
                           {"LD_PRELOAD=" PELORA_TRACE_RECORDER, "PELORA_TRACE_OUT=" + killedPath,
                            "ASAN_OPTIONS=verify_asan_link_order=0"},
                           1500);
    EXPECT_EQ(killed.status, 128 + SIGKILL);
    trace::Reader reader(killedPath);
    ASSERT_TRUE(reader.ok()) << reader.error();
    trace::Record r;
    uint64_t records = 0, hooks = 0;
    while (reader.next(&r)) {
        ++records;
        if (r.dataKind == trace::DataKind::Lines && r.dataKept) {
            ++hooks;
            EXPECT_EQ(r.data.size(), trace::pixelBytes(r)); // the lines alone, where they lay apart
            EXPECT_EQ(trace::laidOut(r).size(), r.dataSize);
        }
    }
    EXPECT_TRUE(reader.truncated());
    EXPECT_GT(records, 0u);
    EXPECT_GT(hooks, 0u);

    // Destinations that are not a new name in a writable folder or an earlier trace, and a budget
    // that is not a percentage, are refused before the command runs or anything is written; the
    // file there is left as it was.
    const std::string other = dir + "/notes.txt";
    std::ofstream(other) << "keep me";
    const struct {
        std::vector<std::string> args;
        const char *why;
    } refused[] = {
        {{"record", "-o", other, "--", "/bin/true"}, "exists and is not a trace file"},
        {{"record", "-o", dir, "--", "/bin/true"}, "is not a regular file"},
        {{"record", "-o", dir + "/none/x.trace", "--", "/bin/true"}, "in a folder that does not exist"},
        {{"record", "-o", dir + "/x.trace", "--hook-budget", "5%", "--", "/bin/true"}, "a percentage from 0 to 100"},
        {{"cut", killedPath, "--from", "0", "-o", killedPath}, "is also the trace read"},
        {{"cut", killedPath, "--from", "0", "-o", other}, "exists and is not a trace file"},
    };
    for (const auto &c : refused) {
        std::vector<std::string> argv = {PELORA2_TRACE_PATH};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const Ran r = run(argv, {});
        EXPECT_EQ(r.status, 2) << c.why;
        EXPECT_NE(r.err.find(c.why), std::string::npos) << r.err;
    }
    EXPECT_EQ(readFile(other), "keep me");
    EXPECT_TRUE(trace::Reader(killedPath).ok());
    fs::remove_all(dir);
}

// The time budget on the hook: none while the callback thread has slack between deliveries, a
// share of the program hook's usual time while they come back to back; and in a recording, the
// deliveries whose pixels were given up for it are the ones the summary counts, and such a
// trace still replays.
TEST(Recorder, HookBudgetFollowsTheCallbackThreadsLoad)
{
    constexpr uint64_t us = 1000;
    const struct {
        const char *name;
        double percent;
        uint64_t hook, gap; // history: calls of `hook` ns, `gap` ns apart (one odd call below)
        uint64_t oddHook, oddGap, next; // the last call of the history; the gap to the call asked
        uint64_t budget;
    } rules[] = {
        {"nothing to go by", 5, 0, 0, 0, 0, 20 * us, 0},
        {"30 fps", 5, 200 * us, 33000 * us, 200 * us, 33000 * us, 33000 * us, 0},
        {"full rate", 5, 100 * us, 20 * us, 100 * us, 20 * us, 20 * us, 5 * us},
        {"full rate, no budget", 0, 100 * us, 20 * us, 100 * us, 20 * us, 20 * us, 0},
        {"full rate, one slow hook", 10, 100 * us, 20 * us, 9000 * us, 20 * us, 20 * us, 10 * us},
        {"full rate, a scheduler delay", 5, 100 * us, 20 * us, 100 * us, 20 * us, 1000 * us, 5 * us},
        {"full rate, then a pause", 5, 100 * us, 20 * us, 100 * us, 20 * us, 5000 * us, 0},
        {"30 fps, then back to back", 5, 200 * us, 33000 * us, 200 * us, 33000 * us, 50 * us, 10 * us},
        {"full rate, then 30 fps", 5, 100 * us, 20 * us, 100 * us, 20 * us, 33000 * us, 0},
        {"a tiny share is never none", 1e-9, 100 * us, 20 * us, 100 * us, 20 * us, 20 * us, 1},
    };
    for (const auto &c : rules) {
        SCOPED_TRACE(c.name);
        rec::HookPace pace;
        uint64_t t = 1'000'000'000;
        for (int i = 0; c.hook != 0 && i < 40; ++i) {
            const uint64_t hook = i == 39 ? c.oddHook : c.hook;
            pace.add(t, hook, t + hook + 3 * us);
            t += hook + 3 * us + (i == 38 ? c.oddGap : c.gap);
        }
        EXPECT_EQ(pace.budgetNs(t - (c.hook ? c.gap : 0) + c.next, c.percent), c.budget);
    }

    // Frames as fast as the hook takes them: with no budget every pixel is kept; with a budget
    // too small for any copy, the deliveries not kept are the summary's, all for the budget.
    const std::string dir = fs::temp_directory_path() / ("trace-budget-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string tracePath = dir + "/fast.trace";
    const std::vector<std::string> check = {"scan", "--frames", "30", "--pixels", "256", "--lines", "128"};
    for (const char *budget : {"0", "0.000001"}) {
        SCOPED_TRACE(std::string("budget ") + budget);
        std::vector<std::string> argv = {PELORA2_TRACE_PATH, "record", "-o", tracePath, "--hook-budget",
                                         budget, "--", PELORA2_CHECK_PATH};
        argv.insert(argv.end(), check.begin(), check.end());
        // A mistyped buffer size is said and the default used (taken as 0 MB, no pixel was kept).
        const bool mistyped = std::string(budget) == "0";
        const Ran rec = run(argv, {"PELORA_SIM_SCENARIO=fast-scan", "PELORA_TRACE_HOOK_BUDGET=5",
                                   std::string("PELORA_TRACE_BUFFER_MB=") + (mistyped ? "lots" : "")});
        ASSERT_EQ(rec.status, 0) << rec.out << rec.err;
        EXPECT_EQ(rec.err.find("PELORA_TRACE_BUFFER_MB=lots is not a number") != std::string::npos, mistyped);
        trace::Reader reader(tracePath);
        trace::Record r;
        std::vector<uint64_t> summary;
        uint64_t notKept = 0;
        while (reader.next(&r)) {
            notKept += r.dataKind == trace::DataKind::Lines && !r.dataKept ? 1 : 0;
            if (r.kind == trace::Kind::Note)
                summary = r.outputs;
        }
        ASSERT_EQ(summary.size(), 12u);
        EXPECT_EQ(summary[1], notKept);
        EXPECT_EQ(summary[9], notKept); // none for a full buffer
        if (std::string(budget) == "0") {
            EXPECT_EQ(notKept, 0u);
        }
        const Ran info = run({PELORA2_TRACE_PATH, "info", tracePath}, {});
        EXPECT_NE(info.out.find("not kept:   " + std::to_string(notKept) + " deliveries for the hook's time budget"),
                  std::string::npos) << info.out;
        // The lines not kept are not written; the replayed program may then see another picture
        // and part from the recording, but the replay runs to its end.
        argv = {PELORA2_TRACE_PATH, "replay", tracePath, "--", PELORA2_CHECK_PATH};
        argv.insert(argv.end(), check.begin(), check.end());
        const Ran replayed = run(argv, {});
        EXPECT_LT(replayed.status, 128) << replayed.err;
        EXPECT_EQ(replayed.err.find("deliveries were not kept when") != std::string::npos, notKept > 0)
            << replayed.err;
        EXPECT_NE(replayed.out.find("total "), std::string::npos) << replayed.out << replayed.err;
    }
    fs::remove_all(dir);
}

} // namespace
