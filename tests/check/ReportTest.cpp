// The reports read back with parsers hold the same results as the terminal: JUnit (one suite per
// group, the diagnosis as the failure, error or skip message, a warning as a property, figures as
// properties), JSON (every case with its outcome and figure), and the self-contained HTML page.
#include "CheckFixture.h"

#include "check/Interrupt.h"
#include "simctl.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

namespace checktest {
namespace {

// What a case looks like from any of the three reports.
struct Seen {
    std::string suite;
    std::string outcome = "pass";
    std::string reason;
    std::map<std::string, std::string> properties;
    bool operator==(const Seen &) const = default;
};

std::map<std::string, Seen> FromTerminal(const std::string &out)
{
    std::map<std::string, Seen> cases;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t dots = line.find(" ... ");
        if (dots == std::string::npos)
            continue;
        Seen s;
        const std::string name = line.substr(0, dots);
        s.suite = name.substr(0, name.find('/'));
        std::string rest = line.substr(dots + 5);
        for (const char *o : {"WARN", "FAIL", "SKIP", "ERROR"})
            if (rest.rfind(std::string(o) + ": ", 0) == 0) {
                s.outcome = QString(o).toLower().toStdString();
                rest = rest.substr(std::strlen(o) + 2);
                s.reason = s.outcome == "warn" ? rest.substr(0, rest.rfind(" (")) : rest; // less the note
            }
        cases[name] = s;
    }
    return cases;
}

std::map<std::string, Seen> FromJunit(const std::string &xmlText, int &suites)
{
    std::map<std::string, Seen> cases;
    QXmlStreamReader xml(QString::fromStdString(xmlText));
    std::string suite, name;
    suites = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto attr = [&](const char *a) { return xml.attributes().value(a).toString().toStdString(); };
        if (xml.name() == u"testsuite") {
            suite = attr("name");
            name.clear(); // the suite's own properties come before its first case
            ++suites;
        } else if (xml.name() == u"testcase") {
            name = attr("name");
            cases[name].suite = suite;
        } else if (xml.name() == u"property" && attr("name") == "warning") {
            cases[name].outcome = "warn";
            cases[name].reason = attr("value");
        } else if (xml.name() == u"property" && attr("name") != "note" && !name.empty()) {
            cases[name].properties[attr("name")] = attr("value");
        } else if (xml.name() == u"failure" || xml.name() == u"error" || xml.name() == u"skipped") {
            cases[name].outcome = xml.name() == u"failure" ? "fail" : xml.name() == u"error" ? "error" : "skip";
            cases[name].reason = attr("message");
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return cases;
}

std::map<std::string, Seen> FromJson(const QJsonObject &root)
{
    std::map<std::string, Seen> cases;
    for (const QJsonValue &v : root["cases"].toArray()) {
        const QJsonObject c = v.toObject();
        Seen s;
        s.suite = c["group"].toString().toStdString();
        s.outcome = c["outcome"].toString().toStdString();
        s.reason = c["reason"].toString().toStdString();
        EXPECT_EQ(c.keys().size(), 11) << "the same keys whatever the outcome";
        const QJsonObject p = c["properties"].toObject();
        for (auto it = p.begin(); it != p.end(); ++it) // figures are numbers, the rest text
            s.properties[it.key().toStdString()] =
                (it.value().isDouble() ? it.value().toVariant().toString() : it.value().toString()).toStdString();
        cases[c["name"].toString().toStdString()] = s;
    }
    return cases;
}

class ReportTest : public CheckTest {};

TEST_F(ReportTest, JunitJsonAndTerminalHoldTheSameResults)
{
    // The read-only board ID register makes one write test fail; a jitter limit no run keeps makes
    // the scan warn; the checks not asked for are skipped.
    const std::string xml = Scratch("r.xml"), json = Scratch("r.json"), html = Scratch("r.html");
    const std::string plan = Scratch("plan.json");
    std::ofstream(plan) << R"({"scan": {"frames": 5, "maxJitterMs": 0.001, "minFps": 0}})";
    SimSetFrameRate(0);
    const Outcome o = RunInProcess({"open", "registers", "scan", "--write-registers", "0x00,0x50", "--plan", plan,
                                    "--junit", xml, "--json", json, "--html", html});
    ASSERT_EQ(o.status, 1) << o.out << o.err;

    std::map<std::string, Seen> terminal = FromTerminal(o.out);
    int suites = 0;
    const std::map<std::string, Seen> junit = FromJunit(ReadFile(xml), suites);
    QJsonParseError error{};
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(json)), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    const std::map<std::string, Seen> fromJson = FromJson(root);

    EXPECT_EQ(terminal.size(), 16u);
    EXPECT_EQ(suites, 8); // the scan check's cases include the exclusive and scandata groups
    EXPECT_EQ(terminal["registers/write-0x000"].outcome, "fail");
    EXPECT_EQ(terminal["scan/area"].outcome, "warn");
    EXPECT_EQ(terminal["memory"].outcome, "skip");
    // The terminal shows no figures; the two files hold the same ones.
    EXPECT_EQ(junit, fromJson);
    std::map<std::string, Seen> bare = fromJson;
    for (auto &[name, seen] : bare)
        seen.properties.clear();
    EXPECT_EQ(terminal, bare);
    EXPECT_EQ(fromJson.at("registers/read32").properties.at("0x000"), "0x50454C32");
    EXPECT_EQ(root["total"].toInt(), 16);
    EXPECT_EQ(root["failed"].toInt(), 1);
    EXPECT_EQ(root["exitStatus"].toInt(), 1);
    // Every report records what repeats the run; the figures are numbers.
    const QJsonObject run = root["run"].toObject();
    EXPECT_EQ(QStringList(run.keys()), QStringList({"boardId", "commandLine", "host", "loops", "plan", "revision", "tier", "version"}));
    EXPECT_EQ(run["boardId"].toInteger(), 0x50454C32);
    EXPECT_EQ(run["plan"]["scan"]["maxJitterMs"].toDouble(), 0.001);
    EXPECT_TRUE(root["cases"][0]["properties"]["errorCode"].isDouble());
    EXPECT_NE(ReadFile(xml).find("<property name=\"commandLine\" value=\"pelora2-check open registers"), std::string::npos);
    const std::string totals = "total 16, passed 11, warned 1, failed 1, skipped 3, errors 0";
    EXPECT_NE(o.out.find(totals), std::string::npos) << o.out;
    EXPECT_NE(ReadFile(xml).find("tests=\"16\" failures=\"1\" errors=\"0\" skipped=\"3\""), std::string::npos);

    // One page with nothing fetched from elsewhere.
    const std::string page = ReadFile(html);
    EXPECT_NE(page.find("registers/write-0x000"), std::string::npos);
    EXPECT_NE(page.find(totals), std::string::npos);
    // The failure and the warning come first, then every case from the open on.
    EXPECT_LT(page.find("registers/write-0x000"), page.find("scan/area"));
    EXPECT_LT(page.find("scan/area"), page.find("open/board"));
    EXPECT_NE(page.find("<th>version</th><td><code>"), std::string::npos);
    EXPECT_EQ(page.find("src=\"http"), std::string::npos);
    EXPECT_EQ(page.find("<link"), std::string::npos);
    EXPECT_EQ(page.find("<script"), std::string::npos);
}

// Warnings pass unless --strict; a check that cannot run is an error, apart from a failure.
TEST_F(ReportTest, ExitStatusCountsWarningsOnlyWhenStrictAndErrorsAlways)
{
    const std::string plan = Scratch("plan.json"), xml = Scratch("r.xml");
    std::ofstream(plan) << R"({"scan": {"frames": 5, "maxJitterMs": 0.001, "minFps": 0}})";
    const struct {
        const char *scenario;
        std::vector<std::string> extra;
        int status;
        const char *line;
        const char *junitTotals;
    } cases[] = {
        {"", {}, 0, "scan/area ... WARN: 到着間隔のジッタが", "failures=\"0\" errors=\"0\" skipped=\"5\""},
        {"", {"--strict"}, 1, "scan/area ... WARN: ", "failures=\"0\" errors=\"0\" skipped=\"5\""},
        {"errorinfo-fails", {}, 1, "scan/area ... ERROR: エラー情報取得が失敗しました。",
         "failures=\"0\" errors=\"1\" skipped=\"8\""}, // the depth sweeps skipped after scan/area
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.scenario) + (c.extra.empty() ? "" : " --strict"));
        SimReset();
        SimSetFrameRate(0);
        if (*c.scenario) {
            ASSERT_EQ(SimApplyScenario(c.scenario), 0);
        }
        std::vector<std::string> args = {"scan", "--plan", plan, "--junit", xml};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const Outcome o = RunInProcess(args);
        EXPECT_EQ(o.status, c.status) << o.out;
        EXPECT_NE(o.out.find(c.line), std::string::npos) << o.out;
        EXPECT_NE(ReadFile(xml).find(c.junitTotals), std::string::npos) << ReadFile(xml);
    }
}

TEST_F(ReportTest, InterruptedRunClosesTheBoardAndReportsWhatRan)
{
    const std::string json = Scratch("r.json");
    check::RequestInterrupt(); // as if Ctrl+C came while the board was being opened
    const Outcome o = RunInProcess({"open", "registers", "--json", json});
    EXPECT_EQ(o.status, 130);
    EXPECT_EQ(SimOpenBoards(), 0u);
    EXPECT_NE(o.out.find("open/board ... ok"), std::string::npos);
    EXPECT_NE(o.out.find("registers ... SKIP: 中断されたため実行していません"), std::string::npos)
        << "no check starts after the interrupt";
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(json))).object();
    EXPECT_TRUE(root["interrupted"].toBool());
    EXPECT_EQ(root["exitStatus"].toInt(), 130);
    EXPECT_EQ(root["total"].toInt(), 6);
}

} // namespace
} // namespace checktest
