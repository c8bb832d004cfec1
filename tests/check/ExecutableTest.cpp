// The real pelora2-check as a child process with a scenario in its environment, under a deadline:
// exit statuses, what the terminal shows, and the board calls it makes (PELORA_SIM_TRACE).
#include "CheckFixture.h"

#include <algorithm>

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

} // namespace
} // namespace checktest
