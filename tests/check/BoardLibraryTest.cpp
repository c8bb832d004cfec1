// Which board library answered: the terminal's first line and every report name it and say when
// it is the simulated board; --require-board (or the plan's requireBoard) refuses the simulated
// board with exit 3 before any board call.
#include "CheckFixture.h"

#include "simctl.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <climits>
#include <cstdlib>
#include <fstream>

namespace checktest {
namespace {

class BoardLibraryTest : public CheckTest {};

std::string SimulatorPath()
{
    char resolved[PATH_MAX];
    return realpath(PELORA_SIM_LIBRARY, resolved) != nullptr ? resolved : PELORA_SIM_LIBRARY;
}

std::string FirstLine(const std::string &text) { return text.substr(0, text.find('\n')); }

TEST_F(BoardLibraryTest, TerminalAndReportsNameTheSimulatedBoardLibrary)
{
    const std::string json = Scratch("r.json"), xml = Scratch("r.xml"), html = Scratch("r.html");
    const std::string named = SimulatorPath() + "（シミュレーションボード）";
    const std::vector<std::string> args = {"open", "--json", json, "--junit", xml, "--html", html};
    const struct {
        const char *how;
        bool child;
    } runs[] = {{"in this process", false}, {"as the executable", true}};
    for (const auto &run : runs) {
        SCOPED_TRACE(run.how);
        const Outcome o = run.child ? RunExecutable(args, "", 20) : RunInProcess(args);
        EXPECT_EQ(o.status, 0) << o.out << o.err;
        EXPECT_EQ(FirstLine(o.out), "ボードライブラリ: " + named);
        const QJsonObject lib = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(json)))
                                    .object()["boardLibrary"].toObject();
        EXPECT_EQ(lib["path"].toString().toStdString(), SimulatorPath());
        EXPECT_TRUE(lib["simulated"].toBool());
        const std::string junit = ReadFile(xml);
        EXPECT_NE(junit.find("<property name=\"boardLibrary\" value=\"" + SimulatorPath() + "\"/>"), std::string::npos);
        EXPECT_NE(junit.find("<property name=\"simulatedBoard\" value=\"true\"/>"), std::string::npos);
        EXPECT_NE(ReadFile(html).find("ボードライブラリ " + named), std::string::npos);
    }
}

TEST_F(BoardLibraryTest, RequireBoardRefusesTheSimulatedBoardWithoutABoardCall)
{
    const std::string plan = Scratch("plan.json");
    std::ofstream(plan) << "{\"checks\": [\"open\", \"registers\"], \"requireBoard\": true}";
    const std::string json = Scratch("r.json");
    const std::vector<std::vector<std::string>> cases = {
        {"--require-board", "open", "--json", json},
        {"--all", "--require-board", "--json", json},
        {"--plan", plan, "--json", json},
    };
    for (const auto &args : cases) {
        SCOPED_TRACE(args.front());
        std::remove(json.c_str());
        SimJournalClear();
        const Outcome o = RunInProcess(args);
        EXPECT_EQ(o.status, 3);
        EXPECT_EQ(SimJournalCount(), 0u);
        EXPECT_EQ(o.out, "ボードライブラリ: " + SimulatorPath() + "（シミュレーションボード）\n");
        EXPECT_EQ(o.err, "pelora2-check: シミュレーションボードのライブラリです（" + SimulatorPath()
                             + "）。--require-board のため検査しません\n");
        const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(json))).object();
        EXPECT_EQ(root["exitStatus"].toInt(), 3);
        EXPECT_EQ(root["total"].toInt(), 0);
    }
    const Outcome child = RunExecutable({"--all", "--require-board"}, "", 20, {"PELORA_SIM_TRACE=1"});
    EXPECT_EQ(child.status, 3) << child.out << child.err;
    EXPECT_EQ(child.err.find("[sim]"), std::string::npos) << child.err;
}

} // namespace
} // namespace checktest
