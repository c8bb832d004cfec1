// The real pelora2-check as a child process with a scenario in its environment, under a deadline:
// exit statuses, what the terminal shows, and the board calls it makes (PELORA_SIM_TRACE).
#include "CheckFixture.h"

#include "check/MemoryCheck.h"

#include <algorithm>
#include <sstream>

namespace checktest {
namespace {

class ExecutableTest : public CheckTest {};

int Count(const std::string &text, const std::string &what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST_F(ExecutableTest, ExitStatusTellsPassFailUsageAndNoBoard)
{
    const struct {
        std::vector<std::string> args;
        const char *scenario;
        int status;
    } cases[] = {
        {{"open", "registers"}, "", 0},
        {{"registers"}, "register-read-fails", 1},
        {{"dsp", "--dsp", SampleFile("area_scan.idm")}, "dsp-fault", 1},
        {{"open"}, "not-installed", 3},
        {{"--all"}, "open-fails", 3},
        {{"registers", "--board", "1"}, "", 3},
        {{"open", "--seconds", "-1"}, "", 2},
        {{"opne"}, "", 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.scenario);
        const Outcome o = RunExecutable(c.args, c.scenario, 20);
        EXPECT_FALSE(o.timedOut);
        EXPECT_EQ(o.status, c.status) << o.out << o.err;
    }
}

// A report that could not be written would lose the run's results: a destination that cannot
// be written is refused before any board call.
TEST_F(ExecutableTest, AnUnwritableReportIsRefusedBeforeTheRun)
{
    const std::string missingFolder = "/nonexistent-pelora2-check-folder/r.json";
    const Outcome o = RunExecutable({"open", "--json", missingFolder}, "", 20, {"PELORA_SIM_TRACE=1"});
    EXPECT_FALSE(o.timedOut);
    EXPECT_EQ(o.status, 2) << o.out << o.err;
    EXPECT_EQ(o.err.find("[sim]"), std::string::npos) << o.err;
    EXPECT_EQ(o.err, "pelora2-check: JSONレポートの出力先に書き込めません: " + missingFolder + "\n");
}

TEST_F(ExecutableTest, BadInputMakesNoBoardCall)
{
    const Outcome o = RunExecutable({"scan", "--lines", "100000"}, "", 20, {"PELORA_SIM_TRACE=1"});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err.find("[sim]"), std::string::npos) << o.err;
    EXPECT_EQ(o.err, "pelora2-check: ライン数が範囲外です: 100000（1〜4096）\n");
}

TEST_F(ExecutableTest, EveryRunClosesTheBoardOnce)
{
    const Outcome o = RunExecutable({"open", "registers"}, "", 20, {"PELORA_SIM_TRACE=1"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(Count(o.err, "[sim] BoardOpen("), 1);
    EXPECT_EQ(Count(o.err, "[sim] BoardClose() = 0"), 1);
}

TEST_F(ExecutableTest, ProgressBarOnlyWhenAskedOrOnATerminal)
{
    // The child's stdout is a file, so no bar unless forced; the lines are the same either way.
    const std::vector<std::string> args = {"memory", "--banks", "0,1", "--patterns", "zeros,ones", "--seed", "1"};
    const Outcome plain = RunExecutable(args, "", 20);
    EXPECT_EQ(plain.out.find('\r'), std::string::npos);
    std::vector<std::string> withBar = args;
    withBar.push_back("--progress");
    const Outcome forced = RunExecutable(withBar, "", 20);
    EXPECT_NE(forced.out.find("\rmemory/ones ["), std::string::npos);
    std::string cleaned = forced.out;
    // Erase what the bar drew: from each carriage return to the end of its erase sequence.
    for (size_t at; (at = cleaned.find('\r')) != std::string::npos;) {
        const size_t end = cleaned.find("\x1b[K", at);
        cleaned.erase(at, end == std::string::npos ? 1 : end + 3 - at);
    }
    EXPECT_EQ(cleaned, plain.out);
}

// Every check of --all on a healthy board, and the same run on a board with planted frame memory
// faults: only the memory cases of banks 0 and 1 fail, and the JUnit report names the stuck bits.
TEST_F(ExecutableTest, AllChecksPassOnAHealthyBoardAndFrameFaultNamesTheStuckBits)
{
    const std::string xml = Scratch("r.xml"), html = Scratch("r.html");
    // Banks 0 and 1 hold the planted faults; fewer banks and frames than the defaults keep the two
    // runs short in sanitizer builds.
    const std::vector<std::string> args = {"--all", "--dsp", SampleFile("area_scan.idm"), "--banks", "0,1",
                                           "--frames", "20", "--seconds", "2", "--junit", xml, "--html", html};
    // fast-scan: the board waits for the checker's requests, so no frame is lost to a busy machine.
    const Outcome healthy = RunExecutable(args, "fast-scan", 50);
    ASSERT_FALSE(healthy.timedOut);
    for (const char *name : {"open/board ... ok", "registers/read32 ... ok", "registers/read16 ... ok",
                             "dsp/download ... ok", "memory/bank1/random ... ok"})
        EXPECT_NE(healthy.out.find(name), std::string::npos) << name << "\n" << healthy.out;
    // A busy machine disturbs only the host's timing: at most warnings (the scan's jitter, say),
    // never a failure.
    EXPECT_TRUE(healthy.out.find("\nscan/area ... ok") != std::string::npos
                || healthy.out.find("\nscan/area ... WARN: ") != std::string::npos) << healthy.out;
    EXPECT_EQ(Count(healthy.out, "FAIL"), 0) << healthy.out;
    EXPECT_EQ(healthy.status, 0);
    EXPECT_NE(healthy.out.find("failed 0, skipped 0, errors 0"), std::string::npos) << healthy.out;
    EXPECT_NE(ReadFile(html).find("data:image/png;base64,"), std::string::npos);

    Rearm("pelora2-check --all on a board with planted frame memory faults");
    const Outcome faulty = RunExecutable(args, "fast-scan,frame-fault", 50);
    ASSERT_FALSE(faulty.timedOut);
    EXPECT_EQ(faulty.status, 1);
    int memoryFailures = 0;
    std::istringstream lines(faulty.out);
    for (std::string line; std::getline(lines, line);)
        if (line.find(" ... FAIL: ") != std::string::npos && line.rfind("video/", 0) != 0) {
            // Whether the drawn start of sequential increment meets bank 1's stuck bits is chance.
            memoryFailures += line.rfind("memory/bank1/sequential-increment", 0) == 0 ? 0 : 1;
            EXPECT_TRUE(line.rfind("memory/bank0/", 0) == 0 || line.rfind("memory/bank1/", 0) == 0) << line;
        }
    // Every pattern in bank 0; all but checker-aa (bit 7 set, bit 0 clear) in bank 1.
    EXPECT_EQ(memoryFailures, static_cast<int>(2 * check::MemoryPatternNames().size()) - 2);
    const std::string junit = ReadFile(xml);
    EXPECT_NE(junit.find("データビット0が0に固着"), std::string::npos);
    EXPECT_NE(junit.find("データビット7が1に固着"), std::string::npos);
    EXPECT_NE(junit.find("00001234H"), std::string::npos);
}

} // namespace
} // namespace checktest
