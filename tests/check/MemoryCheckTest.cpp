// The memory check on the simulated board: the planted faults give exactly their diagnosis, a
// healthy bank passes, --preserve leaves memory as found, --seed replays, the cap limits records
// and not totals, and a failing transfer names its step.
#include "CheckFixture.h"

#include "board/pel2ctl.h"
#include "check/CommandLine.h"
#include "check/MemoryCheck.h"
#include "check/Runner.h"
#include "simctl.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>
#include <set>
#include <sstream>

namespace checktest {
namespace {

class MemoryCheckTest : public CheckTest {};

QJsonArray Findings(const std::string &jsonPath)
{
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(jsonPath))).object();
    return root["memory"].toObject()["findings"].toArray();
}

std::vector<std::string> FailedNames(const std::string &out)
{
    std::vector<std::string> names;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (const size_t at = line.find(" ... FAIL: "); at != std::string::npos)
            names.push_back(line.substr(0, at));
    return names;
}

TEST_F(MemoryCheckTest, FrameFaultGivesExactlyThePlantedOffsetsAndStuckBits)
{
    ASSERT_EQ(SimApplyScenario("frame-fault"), 0);
    const std::string json = Scratch("r.json");
    const Outcome o = RunInProcess({"memory", "--seed", "7", "--json", json});
    EXPECT_EQ(o.status, 1);

    // Only banks 0 and 1 fail; bank 1's lines name both stuck bits.
    for (const std::string &name : FailedNames(o.out))
        EXPECT_TRUE(name.rfind("memory/bank0/", 0) == 0 || name.rfind("memory/bank1/", 0) == 0) << name;
    EXPECT_NE(o.out.find("memory/bank1/checker-55 ... FAIL: BankNo = 1  データビット0が0に固着"), std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find("データビット7が1に固着"), std::string::npos);
    EXPECT_NE(o.out.find("memory/bank2/checker-55 ... ok"), std::string::npos);

    std::set<uint32_t> bank0Offsets;
    uint8_t bank1StuckZero = 0, bank1StuckOne = 0;
    int findings = 0;
    for (const QJsonValue &v : Findings(json)) {
        const QJsonObject f = v.toObject();
        ++findings;
        const int bank = f["bank"].toInt();
        if (bank == 0)
            for (const QJsonValue &r : f["records"].toArray())
                bank0Offsets.insert(static_cast<uint32_t>(r.toObject()["offset"].toDouble()));
        if (bank == 1) {
            bank1StuckZero |= static_cast<uint8_t>(f["stuckAtZero"].toInt());
            bank1StuckOne |= static_cast<uint8_t>(f["stuckAtOne"].toInt());
            // Byte 7 of every 4 KiB block of the first MiB, and nowhere else.
            for (const QJsonValue &b : f["blockErrors"].toArray())
                EXPECT_LT(b.toArray()[0].toInt(), 256);
        }
        if (bank >= 2) {
            EXPECT_EQ(f["errors"].toDouble(), 0) << f["pattern"].toString().toStdString();
        }
    }
    EXPECT_EQ(findings, static_cast<int>(4 * check::MemoryPatternNames().size()));
    // Bytes, and the words of address-in-address that hold them.
    for (uint32_t offset : bank0Offsets)
        EXPECT_TRUE(offset == 0x10 || offset == 0x1234 || offset == 0xFFFFF || offset == 0xFFFFC) << offset;
    EXPECT_TRUE(bank0Offsets.count(0x10) && bank0Offsets.count(0x1234) && bank0Offsets.count(0xFFFFF));
    EXPECT_EQ(bank1StuckZero, 0x01);
    EXPECT_EQ(bank1StuckOne, 0x80);
}

TEST_F(MemoryCheckTest, SeedReplaysAndCapLimitsRecordsNotTotals)
{
    ASSERT_EQ(SimApplyScenario("frame-fault"), 0);
    const std::string first = Scratch("first.json"), second = Scratch("second.json");
    const std::vector<std::string> args = {"memory", "--banks", "1", "--patterns", "random", "--seed", "0x99",
                                           "--record-cap", "5"};
    std::vector<std::string> a = args, b = args;
    a.insert(a.end(), {"--json", first});
    b.insert(b.end(), {"--json", second});
    const Outcome one = RunInProcess(a);
    const Outcome two = RunInProcess(b);
    EXPECT_NE(one.out.find("（シード 153）"), std::string::npos) << one.out;
    // The rerun lines differ only by the report names.
    EXPECT_EQ(one.out.substr(0, one.out.rfind("rerun: ")), two.out.substr(0, two.out.rfind("rerun: ")));
    const QJsonArray x = Findings(first), y = Findings(second);
    ASSERT_EQ(x.size(), 1);
    EXPECT_EQ(x, y);
    const QJsonObject f = x[0].toObject();
    EXPECT_EQ(f["records"].toArray().size(), 5);
    EXPECT_TRUE(f["capped"].toBool());
    EXPECT_GT(f["errors"].toDouble(), 5);
}

// Words of a POSIX shell line as the rerun line writes them: plain, single-quoted, \-escaped.
std::vector<std::string> ShellWords(const std::string &line)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char ch = line[i];
        if (ch == '\'')
            quoted = !quoted;
        else if (ch == '\\' && !quoted && i + 1 < line.size())
            word += line[++i];
        else if (ch == ' ' && !quoted) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
            continue;
        } else
            word += ch;
        inWord = true;
    }
    if (inWord)
        words.push_back(word);
    return words;
}

// A failing run ends with the command that repeats it, fresh seed included, and a report path
// with spaces and quotes survives the quoting: run again, it gives the same output.
TEST_F(MemoryCheckTest, RerunLineRepeatsTheFailingRun)
{
    ASSERT_EQ(SimApplyScenario("frame-fault"), 0);
    const std::string json = Scratch("it's a \"report\".json");
    const Outcome one = RunInProcess({"memory", "--banks", "1", "--patterns", "random", "--json", json});
    ASSERT_EQ(one.status, 1);
    const size_t at = one.out.rfind("rerun: ");
    ASSERT_NE(at, std::string::npos) << one.out;
    std::vector<std::string> words = ShellWords(one.out.substr(at + 7, one.out.size() - at - 8));
    ASSERT_EQ(words.at(0), "pelora2-check");
    ASSERT_TRUE(std::filesystem::remove(json));
    ASSERT_EQ(SimApplyScenario("frame-fault"), 0);
    const Outcome two = RunInProcess(std::vector<std::string>(words.begin() + 1, words.end()));
    EXPECT_EQ(two.out, one.out);
    EXPECT_TRUE(std::filesystem::exists(json)) << two.err;
}

// The plan written beside the reports repeats the run through --plan: the same cases and the same
// plan again, the drawn seed included.
TEST_F(MemoryCheckTest, WrittenPlanRepeatsTheRun)
{
    ASSERT_EQ(SimApplyScenario("frame-fault"), 0);
    const Outcome one = RunInProcess({"memory", "--banks", "1,2", "--patterns", "random,zeros", "--strict",
                                      "--timeout", "700", "--record-cap", "3", "--json", Scratch("a.json")});
    ASSERT_EQ(SimApplyScenario("frame-fault"), 0);
    const Outcome two = RunInProcess({"--plan", Scratch("a.plan.json"), "--junit", Scratch("b.xml")});
    EXPECT_EQ(two.status, one.status);
    EXPECT_EQ(two.out.substr(0, two.out.rfind("rerun: ")), one.out.substr(0, one.out.rfind("rerun: ")));
    EXPECT_EQ(ReadFile(Scratch("b.plan.json")), ReadFile(Scratch("a.plan.json")));
}

// A stuck data line under a large cap per case: the records kept over the whole run stop at the
// run's budget, shared by the banks; the error counts stay exact.
TEST_F(MemoryCheckTest, RecordsKeptOverTheRunStayWithinItsBudget)
{
    struct Kept {
        uint64_t records = 0, errors = 0;
    };
    auto run = [this](uint64_t budget) {
        SimReset();
        EXPECT_EQ(SimApplyScenario("frame-fault"), 0); // 256 stuck bytes in bank 1 per pattern
        check::CheckOptions options;
        EXPECT_EQ(check::ParseCommandLine({"memory", "--banks", "0,1", "--patterns", "zeros,ones,random", "--seed",
                                           "7", "--record-cap", "1000000", "--json", Scratch("r.json")},
                                          options),
                  "");
        EXPECT_EQ(check::ValidateOptions(options, check::MemoryPatternNames()), "");
        options.recordBudget = budget;
        check::RunResults results;
        std::FILE *out = std::tmpfile();
        EXPECT_EQ(check::RunChecks(options, results, out, out), 1);
        std::fclose(out);
        Kept kept;
        for (const QJsonValue &v : Findings(Scratch("r.json"))) {
            kept.records += v.toObject()["records"].toArray().size();
            kept.errors += static_cast<uint64_t>(v.toObject()["errors"].toDouble());
        }
        return kept;
    };
    const Kept all = run(1000000), bounded = run(300);
    EXPECT_GT(all.records, 300u);
    EXPECT_LE(bounded.records, 300u);
    EXPECT_GE(bounded.records, 150u) << "the first pattern keeps its banks' share";
    EXPECT_EQ(bounded.errors, all.errors) << "the counts stay exact";
}

TEST_F(MemoryCheckTest, PreserveLeavesMemoryAsFound)
{
    // Something to find again: a marker in bank 2, written through a board of our own.
    uint32_t error = 0;
    void *a = nullptr, *b = nullptr;
    BoardHandle h = BoardOpen(0, nullptr, nullptr, nullptr, nullptr, &a, &b, &error);
    ASSERT_NE(h, BOARD_INVALID_HANDLE);
    std::vector<uint8_t> marker(4096);
    for (size_t i = 0; i < marker.size(); ++i)
        marker[i] = static_cast<uint8_t>(i * 7 + 3);
    ASSERT_EQ(FrameMemoryWrite(h, 2, 0x123000, static_cast<uint32_t>(marker.size()), marker.data()), 0);
    ASSERT_EQ(BoardClose(h), 0);

    const Outcome o = RunInProcess({"memory", "--banks", "2", "--patterns", "ones,random", "--preserve"});
    EXPECT_EQ(o.status, 0) << o.out;

    h = BoardOpen(0, nullptr, nullptr, nullptr, nullptr, &a, &b, &error);
    ASSERT_NE(h, BOARD_INVALID_HANDLE);
    std::vector<uint8_t> after(marker.size());
    ASSERT_EQ(FrameMemoryRead(h, 2, 0x123000, static_cast<uint32_t>(after.size()), after.data()), 0);
    EXPECT_EQ(after, marker);
    ASSERT_EQ(BoardClose(h), 0);
}

TEST_F(MemoryCheckTest, FailingTransferFailsEveryBankOfThePatternWithItsStep)
{
    ASSERT_EQ(SimApplyScenario("frame-read-fails"), 0);
    const Outcome o = RunInProcess({"memory", "--banks", "0,3", "--patterns", "zeros"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(FailedNames(o.out), (std::vector<std::string>{"memory/bank0/zeros", "memory/bank3/zeros"}));
    EXPECT_NE(o.out.find("FrameMemoryRead、ステータス 3"), std::string::npos) << o.out;
}

} // namespace
} // namespace checktest
