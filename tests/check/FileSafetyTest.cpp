// What the checker reads and writes never loses or damages a file: report destinations and plans
// are judged before the board is opened, and the one checked writer leaves either the old file
// or the whole new one.
#include "CheckFixture.h"

#include "ops/CheckedFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace checktest {
namespace {

class FileSafetyTest : public CheckTest {};

std::vector<std::string> FolderNames(const std::string &dir)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Each destination is refused with one line and status 2 before any board call, and whatever
// was there before is still there, unchanged.
TEST_F(FileSafetyTest, BadReportDestinationsAreRefusedBeforeTheBoard)
{
    const std::string fifo = Scratch("fifo"), device = Scratch("devnull"), plan = Scratch("plan.json"),
                      same = Scratch("s.out");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    }
    const std::string planText = R"({"checks": ["open"]})";
    std::ofstream(plan) << planText;
    std::ofstream(Scratch("q.plan.json")) << planText;
    const struct {
        std::vector<std::string> args;
        const char *line;
    } cases[] = {
        {{"open", "--junit", fifo}, "JUnitレポートの出力先が通常のファイルではありません: "},
        {{"open", "--junit", device}, "JUnitレポートの出力先が通常のファイルではありません: "},
        {{"open", "--junit", same, "--json", same, "--html", same}, "JUnitレポートとJSONレポートの出力先が同じファイルです: "},
        {{"open", "--json", same, "--html", Scratch("./s.out")}, "JSONレポートとHTMLレポートの出力先が同じファイルです: "},
        {{"--json", plan, "--plan", plan}, "JSONレポートの出力先が計画ファイルと同じファイルです: "},
        {{"open", "--json", "/proc/self/pelora2-check-report.json"}, "JSONレポートの出力先に書き込めません: "},
        {{"open", "--junit", ""}, "JUnitレポートのファイル名が空です"},
        {{"open", "--junit", Scratch("p.xml"), "--json", Scratch("p.plan.json")},
         "JSONレポートと実行計画ファイルの出力先が同じファイルです: "},
        {{"--json", Scratch("q.json"), "--plan", Scratch("q.plan.json")}, "実行計画ファイルの出力先が計画ファイルと同じファイルです: "},
    };
    for (const auto &c : cases) {
        if (!root && c.args[2] == device)
            continue; // making a device node takes root (CI runs as root)
        SCOPED_TRACE(c.args[1] + " " + c.args[2]);
        const Outcome o = RunExecutable(c.args, "", 20, {"PELORA_SIM_TRACE=1"});
        EXPECT_EQ(o.status, 2) << o.out << o.err;
        EXPECT_EQ(o.err.find("[sim]"), std::string::npos) << o.err;
        EXPECT_EQ(o.err.rfind(std::string("pelora2-check: ") + c.line, 0), 0u) << o.err;
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    }
    struct stat st{};
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    if (root) {
        ASSERT_EQ(stat(device.c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
    }
    EXPECT_EQ(ReadFile(plan), planText);
    EXPECT_FALSE(std::filesystem::exists(same));
}

// A folder that happens to carry the report's name plus ".part" is none of the writer's business,
// and a report written leaves nothing else behind.
TEST_F(FileSafetyTest, ReportsLeaveOnlyThemselvesBehind)
{
    std::filesystem::create_directory(Scratch("r.json.part"));
    const Outcome o = RunExecutable({"open", "--json", Scratch("r.json")}, "", 20);
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_EQ(FolderNames(Scratch("")), (std::vector<std::string>{"r.json", "r.json.part", "r.plan.json"}));
    EXPECT_NE(ReadFile(Scratch("r.json")).find("\"exitStatus\": 0"), std::string::npos);
}

TEST_F(FileSafetyTest, PlansThatCannotBeReadWholeAreRefused)
{
    const std::string fifo = Scratch("plan-fifo"), big = Scratch("big.json"), twice = Scratch("twice.json"),
                      notText = Scratch("patterns.json"), odd = Scratch("plan-\xff\xfe.json");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(big) << "{\"checks\": [\"open\"]" << std::string(1024 * 1024, ' ') << "}";
    std::ofstream(twice) << R"({"checks": ["open"], "scan": {"frames": 5, "frames": 7}})";
    std::ofstream(notText) << R"({"checks": ["memory"], "memory": {"patterns": [1]}})";
    std::ofstream(odd) << R"({"checks": ["open"]})";
    const struct {
        std::string plan;
        int status;
        const char *line;
    } cases[] = {
        {fifo, 2, "計画ファイルが通常のファイルではありません: "},
        {big, 2, "計画ファイルが大きすぎます: "},
        {twice, 2, "計画に同じ項目が二度あります: scan.frames"},
        {notText, 2, "計画の memory.patterns の項目が文字列ではありません: 1"},
        {odd, 0, "open/board ... ok"}, // any name the shell can give, as the reports take it
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.plan);
        // A deadline well inside the test's watchdog: a plan that blocks shows as timedOut.
        const Outcome o = RunExecutable({"--plan", c.plan}, "", 10, {"PELORA_SIM_TRACE=1"});
        EXPECT_FALSE(o.timedOut);
        EXPECT_EQ(o.status, c.status) << o.out << o.err;
        if (c.status == 2) {
            EXPECT_EQ(o.err.find("[sim]"), std::string::npos) << o.err;
            EXPECT_EQ(o.err.rfind(std::string("pelora2-check: ") + c.line, 0), 0u) << o.err;
        } else {
            EXPECT_NE(o.out.find(c.line), std::string::npos) << o.out << o.err;
        }
    }
}

// The writer itself: replace through a link keeps the link, two writers of one target never
// share a temporary, a failure leaves the old file and no temporary, in place writes the file the
// link names.
TEST_F(FileSafetyTest, CheckedWriterLeavesTheOldFileOrTheWholeNewOne)
{
    const std::string target = Scratch("t.txt"), link = Scratch("link.txt");
    std::ofstream(target) << "old";
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_TRUE(ops::WriteFileWhole(link, "through the link").ok());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(target), "through the link");

    ops::CheckedFile first, second;
    ASSERT_TRUE(first.Open(target));
    ASSERT_TRUE(second.Open(target));
    EXPECT_TRUE(first.Write("first") && second.Write("second"));
    EXPECT_TRUE(second.Commit());
    EXPECT_TRUE(first.Commit());
    EXPECT_EQ(ReadFile(target), "first");

    ops::CheckedFile abandoned;
    ASSERT_TRUE(abandoned.Open(target));
    abandoned.Write("half");
    abandoned.Abandon();
    EXPECT_EQ(ReadFile(target), "first");
    const ops::FileWriteOutcome missing = ops::WriteFileWhole(Scratch("no-folder/x.txt"), "x");
    EXPECT_EQ(missing.step, ops::CheckedFile::Step::Open);
    EXPECT_EQ(missing.text(), std::strerror(ENOENT));
    EXPECT_EQ(FolderNames(Scratch("")), (std::vector<std::string>{"link.txt", "t.txt"}));

    EXPECT_TRUE(ops::WriteFileWhole(link, "in place", ops::CheckedFile::Mode::InPlace).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(target), "in place");
}

} // namespace
} // namespace checktest
