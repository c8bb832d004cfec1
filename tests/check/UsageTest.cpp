// Bad input ends with one line and exit status 2 before any board call; plans and the command
// line give the same options; --list prints the checks.
#include "CheckFixture.h"

#include "check/CheckOptions.h"
#include "check/CommandLine.h"
#include "check/Plan.h"
#include "simctl.h"

#include <algorithm>
#include <fstream>

namespace checktest {
namespace {

class UsageTest : public CheckTest {};

TEST_F(UsageTest, BadInputExitsTwoWithOneLineAndNoBoardCall)
{
    const std::string plan = Scratch("bad-plan.json");
    std::ofstream(plan) << "{\"checks\": [\"memory\"], \"memory\": {\"bankz\": [1]}}";
    const std::string notJson = Scratch("not-json.json");
    std::ofstream(notJson) << "{checks: memory";
    const std::vector<std::vector<std::string>> cases = {
        {"memmory"},
        {},
        {"--all", "--frobnicate"},
        {"scan", "--frames", "0"},
        {"scan", "--frames", "ten"},
        {"scan", "--pixels", "8193"},
        {"scan", "--pixel-size", "16", "--pixels", "4097"},
        {"scan", "--lines", "4097"},
        {"scan", "--pixel-size", "12"},
        {"scan", "--unit", "column"},
        {"scan", "--buffer", "user"},
        {"video", "--seconds", "0"},
        {"memory", "--banks", "0,4"},
        {"memory", "--banks", "1,1"},
        {"memory", "--patterns", "zeros,stripes"},
        {"registers", "--write-registers", "0x51"},
        {"registers", "--write-registers", "0x120"},
        {"dsp"},
        {"dsp", "--dsp", Scratch("missing.idm")},
        {"dsp", "--dsp", Scratch("")},
        {"--plan", Scratch("missing.json")},
        {"--plan", plan},
        {"--plan", notJson},
        {"open", "--json", Scratch("no-such-folder/r.json")},
        {"open", "--board"},
    };
    for (const auto &args : cases) {
        std::string shown;
        for (const std::string &a : args)
            shown += a + " ";
        SCOPED_TRACE(shown);
        SimJournalClear();
        const Outcome o = RunInProcess(args);
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(SimJournalCount(), 0u);
        EXPECT_EQ(o.out, "");
        // One clear line, naming the program.
        EXPECT_EQ(o.err.rfind("pelora2-check: ", 0), 0u) << o.err;
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    }
}

TEST_F(UsageTest, ListNamesEveryCheckAndPatternWithoutTouchingTheBoard)
{
    const Outcome o = RunInProcess({"--list"});
    EXPECT_EQ(o.status, 0);
    for (const char *name : {"open", "registers", "dsp", "memory", "scan", "video", "--seed", "--frames"})
        EXPECT_NE(o.out.find(name), std::string::npos) << name;
    EXPECT_EQ(SimJournalCount(), 0u);
}

TEST_F(UsageTest, ChecksRunInTheFixedOrderWhateverTheOrderAsked)
{
    check::CheckOptions o;
    ASSERT_EQ(check::ParseCommandLine({"video", "memory", "open", "memory"}, o), "");
    ASSERT_EQ(check::ValidateOptions(o, {"zeros"}), "");
    EXPECT_EQ(o.checks, (std::vector<check::CheckId>{check::CheckId::Open, check::CheckId::Memory,
                                                     check::CheckId::Video}));

    // --all takes the DSP download only when a program is named.
    check::CheckOptions all;
    ASSERT_EQ(check::ParseCommandLine({"--all"}, all), "");
    ASSERT_EQ(check::ValidateOptions(all, {"zeros"}), "");
    EXPECT_EQ(all.checks.size(), 5u);
    check::CheckOptions withDsp;
    ASSERT_EQ(check::ParseCommandLine({"--all", "--dsp=" + SampleFile("area_scan.idm")}, withDsp), "");
    ASSERT_EQ(check::ValidateOptions(withDsp, {"zeros"}), "");
    EXPECT_EQ(withDsp.checks.size(), 6u);
}

TEST_F(UsageTest, PlanGivesTheSameOptionsAsTheCommandLineWhichWinsOverIt)
{
    const std::string plan = Scratch("plan.json");
    std::ofstream(plan) << R"({"checks": ["scan", "memory"], "board": 0,
        "memory": {"banks": [1, 2], "patterns": ["zeros"], "seed": "0x1234", "preserve": true, "recordCap": 7},
        "scan": {"frames": 12, "pixels": 512, "lines": 256, "unit": "line", "pixelSize": 16,
                 "buffer": "program", "lineInterval": 64},
        "video": {"seconds": 3}, "timeoutMs": 900, "reports": {"json": "r.json"}})";
    check::CheckOptions fromPlan;
    ASSERT_EQ(check::ParseCommandLine({"--plan", plan}, fromPlan), "");
    check::CheckOptions fromArgs;
    ASSERT_EQ(check::ParseCommandLine({"scan", "memory", "--banks", "1,2", "--patterns", "zeros", "--seed",
                                       "4660", "--preserve", "--record-cap", "7", "--frames", "12",
                                       "--pixels=512", "--lines", "256", "--unit", "line", "--pixel-size",
                                       "16", "--buffer", "program", "--line-interval", "64", "--seconds",
                                       "3", "--timeout", "900", "--json", "r.json"},
                                      fromArgs),
              "");
    for (check::CheckOptions *o : {&fromPlan, &fromArgs}) {
        EXPECT_EQ(o->checks, (std::vector<check::CheckId>{check::CheckId::Scan, check::CheckId::Memory}));
        EXPECT_EQ(o->banks, (std::vector<uint32_t>{1, 2}));
        EXPECT_EQ(o->patterns, (std::vector<std::string>{"zeros"}));
        EXPECT_EQ(o->seed, 0x1234u);
        EXPECT_TRUE(o->preserve);
        EXPECT_EQ(o->recordCap, 7u);
        EXPECT_EQ(o->scan.frames, 12u);
        EXPECT_EQ(o->scan.pixels, 512u);
        EXPECT_EQ(o->scan.lines, 256u);
        EXPECT_TRUE(o->scan.lineUnit);
        EXPECT_EQ(o->scan.pixelBits, 16u);
        EXPECT_TRUE(o->scan.programBuffer);
        EXPECT_EQ(o->scan.lineInterval, 64u);
        EXPECT_EQ(o->videoSeconds, 3u);
        EXPECT_EQ(o->timeoutMs, 900u);
        EXPECT_EQ(o->jsonFile, "r.json");
    }

    check::CheckOptions overridden;
    ASSERT_EQ(check::ParseCommandLine({"--frames", "5", "--plan", plan}, overridden), "");
    EXPECT_EQ(overridden.scan.frames, 5u);
    EXPECT_EQ(overridden.scan.pixels, 512u);
}

TEST_F(UsageTest, NumbersAreWholeDecimalOrHexOnly)
{
    EXPECT_EQ(check::ParseNumber("0x1F"), 31u);
    EXPECT_EQ(check::ParseNumber("010"), 10u); // never octal
    EXPECT_EQ(check::ParseNumber("18446744073709551615"), UINT64_MAX);
    for (const char *bad : {"", "0x", "-1", "+1", " 1", "1 ", "\t1", "\n-1", "1k", "18446744073709551616"})
        EXPECT_FALSE(check::ParseNumber(bad)) << bad;
}

// Each message says what is wrong with the value as given (control characters shown, on one
// line) and, for a number out of range, the range allowed.
TEST_F(UsageTest, MessagesNameTheFaultAndTheRange)
{
    const std::string plan = Scratch("plan.json");
    std::ofstream(plan) << R"({"checks": ["scan"], "scan": {"frames": 1e300}})";
    const std::string limit = Scratch("limit.json");
    std::ofstream(limit) << R"({"checks": ["video"], "video": {"maxJitterMs": -1}})";
    const struct {
        std::vector<std::string> args;
        std::string line;
    } cases[] = {
        {{"scan", "--frames", "4294967296"}, "フレーム数が範囲外です: 4294967296（1〜1000000）"},
        {{"scan", "--frames", "-1"}, "フレーム数が範囲外です: -1（1〜1000000）"},
        {{"scan", "--frames", " 5"}, "フレーム数が数値ではありません:  5"},
        {{"scan", "--frames", "\t5"}, "フレーム数が数値ではありません: \\t5"},
        {{"memory", "--seed", "\n-1"}, "シードが数値ではありません: \\n-1"},
        {{"memory", "--banks", "0,"}, "バンク番号の並びに空の項目があります: 0,"},
        {{"memory", "--banks", ""}, "バンク番号の並びに空の項目があります: "},
        {{"memory", "--patterns", "zeros,"}, "パターン名の並びに空の項目があります: zeros,"},
        {{"--plan", plan}, "計画の scan.frames が範囲外です: 1e+300（1〜1000000）（" + plan + "）"},
        {{"--plan", limit}, "計画の video.maxJitterMs が範囲外です: -1（0〜1000000000）（" + limit + "）"},
        {{"scan", "--timeout", "10"}, "タイムアウト（ms）が範囲外です: 10（100〜600000）。1フレームの間隔より長くしてください"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        SimJournalClear();
        const Outcome o = RunInProcess(c.args);
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(SimJournalCount(), 0u);
        EXPECT_EQ(o.err, "pelora2-check: " + c.line + "\n");
    }
}

} // namespace
} // namespace checktest
