// Which board library answered: the terminal's first line and every report name it and say it is
// the simulated board; --require-board (the plan's requireBoard) then ends the run with exit 3
// and one line before any board call.
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

TEST_F(BoardLibraryTest, RunsNameTheSimulatedBoardAndRequireBoardRefusesIt)
{
    char simulator[PATH_MAX] = PELORA_SIM_LIBRARY;
    EXPECT_NE(realpath(PELORA_SIM_LIBRARY, simulator), nullptr);
    const std::string path = simulator, json = Scratch("r.json"), xml = Scratch("r.xml"), html = Scratch("r.html");
    const std::string plan = Scratch("plan.json");
    std::ofstream(plan) << "{\"checks\": [\"open\"], \"requireBoard\": true}";
    const std::vector<std::string> reports = {"--json", json, "--junit", xml, "--html", html};
    const struct {
        std::vector<std::string> args;
        bool child;
        int status;
    } runs[] = {
        {{"open"}, false, 0}, {{"open"}, true, 0}, {{"--require-board", "--all"}, false, 3},
        {{"--plan", plan}, false, 3}, {{"--require-board", "open"}, true, 3},
    };
    for (const auto &run : runs) {
        SCOPED_TRACE(run.args.front() + (run.child ? " (executable)" : ""));
        std::vector<std::string> args = run.args;
        args.insert(args.end(), reports.begin(), reports.end());
        SimJournalClear();
        const Outcome o = run.child ? RunExecutable(args, "", 20) : RunInProcess(args);
        EXPECT_EQ(o.status, run.status) << o.out << o.err;
        const std::string firstLine = "ボードライブラリ: " + path + "（シミュレーションボード）\n";
        EXPECT_EQ(o.out.substr(0, firstLine.size()), firstLine);
        const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(json))).object();
        EXPECT_EQ(root["boardLibrary"].toObject()["path"].toString().toStdString(), path);
        EXPECT_TRUE(root["boardLibrary"].toObject()["simulated"].toBool());
        EXPECT_NE(ReadFile(html).find("ボードライブラリ " + path + "（シミュレーションボード）"), std::string::npos);
        if (run.status == 0) {
            const std::string junit = ReadFile(xml);
            EXPECT_NE(junit.find("<property name=\"boardLibrary\" value=\"" + path + "\"/>"), std::string::npos);
            EXPECT_NE(junit.find("<property name=\"simulatedBoard\" value=\"true\"/>"), std::string::npos);
            continue;
        }
        EXPECT_EQ(o.out, firstLine) << "no check ran";
        EXPECT_EQ(o.err, "pelora2-check: シミュレーションボードのライブラリです（" + path
                             + "）。--require-board のため検査しません\n");
        EXPECT_EQ(root["exitStatus"].toInt(), 3);
        if (!run.child) {
            EXPECT_EQ(SimJournalCount(), 0u) << "no board call";
        }
    }
}

} // namespace
} // namespace checktest
