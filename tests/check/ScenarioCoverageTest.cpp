// Walks the checker's table in docs/simulator.md: each of the simulator's scenarios, applied on a
// fresh board, makes the named case end as documented with the documented words; and every
// scenario of the simulator's own table has a row there.
#include "CheckFixture.h"

#include "simctl.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace checktest {
namespace {

struct Row {
    std::vector<std::string> args;
    std::string caseName, ends, words;
};

std::vector<std::string> Cells(const std::string &line)
{
    std::vector<std::string> cells;
    std::stringstream in(line.substr(1));
    for (std::string cell; std::getline(in, cell, '|');) {
        const size_t b = cell.find_first_not_of(' '), e = cell.find_last_not_of(' ');
        cells.push_back(b == std::string::npos ? "" : cell.substr(b, e - b + 1));
    }
    return cells;
}

std::string Unquoted(const std::string &cell)
{
    return cell.size() >= 2 && cell.front() == '`' ? cell.substr(1, cell.size() - 2) : cell;
}

// The rows of the table whose header starts with `header`, by the first column's names.
std::map<std::string, std::vector<std::string>> Table(const std::string &header)
{
    std::ifstream in(std::filesystem::path(PELORA_SOURCE_DIR) / "docs" / "simulator.md");
    std::map<std::string, std::vector<std::string>> rows;
    bool inTable = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(header, 0) == 0) {
            inTable = true;
            continue;
        }
        if (!inTable || line.rfind("|---", 0) == 0)
            continue;
        if (line.empty() || line[0] != '|')
            break;
        const std::vector<std::string> cells = Cells(line);
        std::stringstream names(cells[0]);
        for (std::string name; std::getline(names, name, ',');)
            rows[Unquoted(name.substr(name.find('`')))] = cells;
    }
    return rows;
}

Row ReadRow(const std::vector<std::string> &cells)
{
    Row r;
    std::stringstream args(Unquoted(cells.at(1)));
    for (std::string a; args >> a;)
        r.args.push_back(a.rfind("sim/samples/", 0) == 0 ? std::string(PELORA_SOURCE_DIR) + "/" + a : a);
    r.caseName = Unquoted(cells.at(2));
    r.ends = cells.at(3);
    r.words = cells.size() > 4 ? cells[4] : "";
    return r;
}

class ScenarioCoverageTest : public CheckTest {};

TEST_F(ScenarioCoverageTest, EveryScenarioEndsItsCaseWithTheDocumentedWords)
{
    const auto scenarios = Table("| Scenario |");
    const auto checker = Table("| Checker scenario |");
    ASSERT_GT(scenarios.size(), 30u);
    for (const auto &[name, cells] : scenarios)
        EXPECT_TRUE(checker.count(name)) << name << ": no row in the checker's table of docs/simulator.md";
    for (const auto &[name, cells] : checker) {
        SCOPED_TRACE(name);
        Rearm(name);
        const Row row = ReadRow(cells);
        SimReset();
        // A scenario of another library (the overlay's) leaves the board healthy.
        if (SimSetScenario(name.c_str(), 1) != 0) {
            EXPECT_EQ(row.ends, "ok");
        }
        const Outcome o = RunInProcess(row.args);
        const size_t at = o.out.find("\n" + row.caseName + " ... ");
        const size_t first = o.out.rfind(row.caseName + " ... ", 0);
        if (at == std::string::npos && first != 0) {
            ADD_FAILURE() << row.caseName << " did not run:\n" << o.out;
            continue;
        }
        const size_t begin = first == 0 ? 0 : at + 1;
        const std::string line = o.out.substr(begin, o.out.find('\n', begin) - begin);
        const std::string head = row.caseName + " ... ";
        if (row.ends == "ok") { // passed; a warning of the host's timing passes too
            EXPECT_TRUE(line.rfind(head + "ok", 0) == 0 || line.rfind(head + "WARN: ", 0) == 0) << line;
            continue;
        }
        EXPECT_EQ(line.rfind(head + row.ends + ": ", 0), 0u) << line;
        EXPECT_NE(line.find(row.words), std::string::npos) << line;
        EXPECT_EQ(o.status, row.caseName == "open/board" ? 3 : 1) << o.out;
    }
    SimReset();
}

} // namespace
} // namespace checktest
