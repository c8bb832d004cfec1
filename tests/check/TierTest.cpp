// Tiers, loops and soak: what each tier sets and what overrides it, usage errors, the worst
// outcome over loops, the resolved plan and rerun line that repeat them, --list, -v / -vv, and
// JUnit totals and times that add up.
#include "CheckFixture.h"

#include "check/CaseList.h"
#include "check/CommandLine.h"
#include "check/Loops.h"
#include "check/MemoryCheck.h"
#include "check/Plan.h"
#include "check/PlanWriter.h"
#include "simctl.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <fstream>
#include <map>

namespace checktest {
namespace {

class TierTest : public CheckTest {};

TEST_F(TierTest, TierSetsParametersThatThePlanAndCommandLineOverride)
{
    const std::string plan = Scratch("p.json");
    std::ofstream(plan) << R"({"tier": "quick", "scan": {"frames": 40}, "loops": 2})";
    const std::vector<std::string> quick = check::QuickPatterns(), all;
    struct Row {
        std::vector<std::string> args;
        std::string error; // a part of the usage error, or empty
        check::Tier tier;
        uint32_t frames, seconds, loops;
        std::vector<std::string> patterns;
        uint64_t duration;
    };
    const Row rows[] = {
        {{"--all"}, "", check::Tier::Full, 100, 10, 1, all, 0},
        {{"--tier", "quick"}, "", check::Tier::Quick, 10, 2, 1, quick, 0},
        {{"--frames", "50", "--tier=quick", "--loops", "3"}, "", check::Tier::Quick, 50, 2, 3, quick, 0},
        {{"--tier", "soak", "--duration", "10m"}, "", check::Tier::Soak, 100, 10, 1, all, 600},
        {{"--tier", "soak", "--duration", "2h"}, "", check::Tier::Soak, 100, 10, 1, all, 7200},
        {{"--tier", "soak", "--duration", "90"}, "", check::Tier::Soak, 100, 10, 1, all, 90},
        {{"--plan", plan}, "", check::Tier::Quick, 40, 2, 2, quick, 0},
        {{"--plan", plan, "--tier", "full"}, "", check::Tier::Full, 40, 10, 2, all, 0},
        {{"--tier", "soak"}, "--duration", check::Tier::Soak, 0, 0, 0, {}, 0},
        {{"--all", "--duration", "90s"}, "--tier soak", check::Tier::Full, 0, 0, 0, {}, 0},
        {{"--tier", "soak", "--duration", "1m", "--loops", "2"}, "--loops", check::Tier::Soak, 0, 0, 0, {}, 0},
        {{"--all", "--loops", "0"}, "繰り返し回数", check::Tier::Full, 0, 0, 0, {}, 0},
        {{"--tier", "soak", "--duration", "0s"}, "時間の指定", check::Tier::Soak, 0, 0, 0, {}, 0},
        {{"--tier", "soak", "--duration", "-5m"}, "時間の指定", check::Tier::Soak, 0, 0, 0, {}, 0},
        {{"--tier", "soak", "--duration", "31d"}, "時間の指定", check::Tier::Soak, 0, 0, 0, {}, 0},
        {{"--tier", "slow"}, "quick, full, soak", check::Tier::Full, 0, 0, 0, {}, 0},
    };
    for (const Row &row : rows) {
        std::string line;
        for (const std::string &a : row.args)
            line += a + " ";
        SCOPED_TRACE(line);
        check::CheckOptions o;
        std::string error = check::ParseCommandLine(row.args, o);
        if (error.empty())
            error = check::ValidateOptions(o, check::MemoryPatternNames());
        if (!row.error.empty()) {
            EXPECT_NE(error.find(row.error), std::string::npos) << error;
            continue;
        }
        ASSERT_EQ(error, "");
        EXPECT_EQ(o.tier, row.tier);
        EXPECT_EQ(o.checks.size(), check::AllChecks().size() - 1); // all but dsp (no program)
        EXPECT_EQ(o.scan.frames, row.frames);
        EXPECT_EQ(o.videoSeconds, row.seconds);
        EXPECT_EQ(o.loops, row.loops);
        EXPECT_EQ(o.patterns, row.patterns);
        EXPECT_EQ(o.durationSeconds, row.duration);
        // The resolved plan read back gives the same run.
        check::CheckOptions again;
        ASSERT_EQ(check::ReadPlanText(check::ResolvedPlanText(o, std::nullopt), again), "");
        ASSERT_EQ(check::ValidateOptions(again, check::MemoryPatternNames()), "");
        EXPECT_EQ(check::CaseListText(again), check::CaseListText(o)); // tier, loops, duration, parameters
    }
}

TEST_F(TierTest, CaseOutcomeOverLoopsIsItsWorst)
{
    using O = check::Outcome;
    const struct {
        std::vector<O> loops;
        O worst;
        std::string reason, outcomes; // the worst loop's figure is its reason's letter
    } rows[] = {
        {{O::Pass, O::Fail, O::Pass}, O::Fail, "ループ 2: b", "pass,fail,pass"},
        {{O::Fail, O::Error, O::Fail}, O::Error, "ループ 2: b", "fail,error,fail"},
        {{O::Warn, O::Skip}, O::Warn, "ループ 1: a", "warn,skip"},
        {{O::Pass, O::Fail, O::Fail}, O::Fail, "ループ 2: b（3 ループ中 2 ループ）", "pass,fail,fail"},
        {{O::Pass, O::Pass}, O::Pass, "", "pass,pass"},
        {{O::Fail}, O::Fail, "a", ""},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.outcomes + " " + row.reason);
        std::vector<std::vector<check::CaseResult>> loops;
        for (size_t i = 0; i < row.loops.size(); ++i) {
            check::CaseResult c;
            c.name = "memory/bank0/zeros";
            c.seconds = 0.25;
            const std::string why(1, static_cast<char>('a' + i));
            c.Set("which", why);
            c.outcome = row.loops[i];
            (row.loops[i] == O::Warn ? c.warning : c.diagnosis) = row.loops[i] == O::Pass ? "" : why;
            loops.push_back({c});
        }
        const std::vector<check::CaseResult> merged = check::MergeLoops(loops);
        ASSERT_EQ(merged.size(), 1u);
        EXPECT_EQ(merged[0].outcome, row.worst);
        EXPECT_EQ(merged[0].reason(), row.reason);
        EXPECT_DOUBLE_EQ(merged[0].seconds, 0.25 * row.loops.size());
        std::map<std::string, std::string> figures(merged[0].properties.begin(), merged[0].properties.end());
        EXPECT_EQ(figures["loopOutcomes"], row.outcomes);
        EXPECT_EQ(figures["which"], row.reason.find("2:") != std::string::npos ? "b" : "a");
    }
}

// Loops and soak on the simulated board: a line per loop, the folded cases, the count in the
// reports, and a rerun line and plan that repeat them.
TEST_F(TierTest, LoopsAndSoakReportEachLoopAndRepeat)
{
    ASSERT_EQ(SimApplyScenario("frame-fault"), 0);
    const std::string xml = Scratch("l.xml");
    const Outcome looped = RunInProcess({"memory", "--banks", "1,2", "--patterns", "checker-55", "--loops", "3",
                                         "--junit", xml});
    EXPECT_EQ(looped.status, 1);
    for (const char *line : {"[loop 1] memory/bank1/checker-55 ... FAIL: ", "[loop 3] memory/bank1/checker-55 ... FAIL: ",
                             "loop 2/3: total ", "memory/bank1/checker-55 ... FAIL: ループ 1: BankNo = 1",
                             "（3 ループ中 3 ループ）", "memory/bank2/checker-55 ... ok\n", ", loops 3\n",
                             "--loops 3"})
        EXPECT_NE(looped.out.find(line), std::string::npos) << line << "\n" << looped.out;
    EXPECT_EQ(looped.out.find("[loop 2] memory/bank2"), std::string::npos); // passes show once, folded
    const std::string junit = ReadFile(xml);
    EXPECT_NE(junit.find("<property name=\"loopOutcomes\" value=\"fail,fail,fail\"/>"), std::string::npos);
    EXPECT_NE(junit.find("<property name=\"loops\" value=\"3\"/>"), std::string::npos);
    EXPECT_NE(ReadFile(Scratch("l.plan.json")).find("\"loops\": 3"), std::string::npos);

    const Outcome soak = RunInProcess({"memory", "--banks", "2", "--patterns", "zeros", "--tier", "soak",
                                       "--duration", "1s", "--junit", xml});
    EXPECT_EQ(soak.status, 0) << soak.out;
    EXPECT_NE(soak.out.find("loop 1: total "), std::string::npos) << soak.out;
    EXPECT_NE(soak.out.find(" of 1 s)"), std::string::npos) << soak.out;
    const std::string plan = ReadFile(Scratch("l.plan.json"));
    EXPECT_NE(plan.find("\"tier\": \"soak\""), std::string::npos) << plan;
    EXPECT_NE(plan.find("\"duration\": \"1s\""), std::string::npos) << plan;
}

// Every case and its resolved parameters, and the step lines of -v and -vv.
TEST_F(TierTest, ListAndVerboseOutput)
{
    const std::string plan = Scratch("p.json");
    std::ofstream(plan) << R"({"scan": {"minFps": 5}, "video": {"seconds": 4}})";
    struct Row {
        std::vector<std::string> args;
        std::vector<std::string> present, absent;
    };
    const Row rows[] = {
        {{"--list", "--tier", "quick"},
         {"tier quick, loops 1", "scan/area                     --frames 10 ", "video/live                    --seconds 2;",
          "memory/bank3/random", "scan/depth/line", "minMBps 20.972"},
         {"memory/bank0/zeros", "dsp/download"}},
        {{"--list", "--tier", "quick", "--frames", "7", "--plan", plan},
         {"--frames 7 ", "minFps 5,", "--seconds 4;"}, {}},
        {{"--list", "memory", "--banks", "2", "--patterns", "bit-flip,block-sequential"},
         {"memory/bank2/bit-flip         16 パス", "memory/bank2/block-sequential 8 パス"},
         {"scan/area ", "memory/bank0/"}},
        {{"memory", "--banks", "0", "--patterns", "bit-spread", "-v"},
         {"  memory/bank0/bit-spread: パス 12/12 書き込みと照合、不一致 0\n"}, {"    errors = 0"}},
        {{"memory", "--banks", "0", "--patterns", "bit-spread", "-vv"},
         {"  memory/bank0/bit-spread: パス 1/12 ", "memory/bank0/bit-spread ... ok\n    bank = 0\n", "    passes = 12\n"}, {}},
        {{"memory", "--banks", "0", "--patterns", "bit-spread"}, {"memory/bank0/bit-spread ... ok\n"}, {"パス", "bank = "}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.args.back());
        const Outcome o = RunInProcess(row.args);
        EXPECT_EQ(o.status, 0) << o.err;
        for (const std::string &p : row.present)
            EXPECT_NE(o.out.find(p), std::string::npos) << p << "\n" << o.out;
        for (const std::string &a : row.absent)
            EXPECT_EQ(o.out.find(a), std::string::npos) << a;
    }
}

// The root's totals, including errors and skips, are the suites' sums, and each suite's time is
// the sum of its cases' times to the digit.
TEST_F(TierTest, JunitTotalsAndTimesAddUp)
{
    ASSERT_EQ(SimApplyScenario("frame-fault"), 0);
    const std::string xml = Scratch("r.xml");
    RunInProcess({"registers", "memory", "--banks", "0,1,2", "--patterns", "zeros,checker-55,bit-flip", "--junit", xml});
    QXmlStreamReader reader(QByteArray::fromStdString(ReadFile(xml)));
    std::map<std::string, long> root, sums;
    std::vector<long> suiteMs, casesMs; // per suite; the root's first
    int skippedWithMessage = 0, figuresInOutput = 0;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = reader.attributes();
        const long ms = std::lround(a.value("time").toDouble() * 1000);
        if (reader.name() == u"testsuites" || reader.name() == u"testsuite") {
            for (const char *k : {"tests", "failures", "errors", "skipped"})
                (reader.name() == u"testsuites" ? root : sums)[k] += a.value(k).toLong();
            suiteMs.push_back(ms);
            casesMs.push_back(0);
        } else if (reader.name() == u"testcase") {
            casesMs.front() += ms;
            casesMs.back() += ms;
        }
        skippedWithMessage += reader.name() == u"skipped" && !a.value("message").isEmpty() ? 1 : 0;
        if (reader.name() == u"system-out")
            figuresInOutput += reader.readElementText().contains("checked = ") ? 1 : 0;
    }
    ASSERT_FALSE(reader.hasError());
    EXPECT_EQ(root, sums);
    EXPECT_EQ(root["failures"], 6); // banks 0 and 1, every pattern
    EXPECT_EQ(skippedWithMessage, 4);
    EXPECT_EQ(suiteMs, casesMs);
    EXPECT_EQ(figuresInOutput, 9);
}

} // namespace
} // namespace checktest
