// The reports read back with parsers hold the same results as the terminal: JUnit (one suite per
// group, the diagnosis as the failure message, figures as properties), JSON (every case and
// figure), and the self-contained HTML page.
#include "CheckFixture.h"

#include "check/Interrupt.h"
#include "simctl.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>

#include <map>
#include <sstream>

namespace checktest {
namespace {

// What a case looks like from any of the three reports.
struct Seen {
    std::string suite;
    bool passed = true;
    std::string diagnosis;
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
        const std::string rest = line.substr(dots + 5);
        s.passed = rest.rfind("ok", 0) == 0;
        if (!s.passed)
            s.diagnosis = rest.substr(std::string("FAIL: ").size());
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
            ++suites;
        } else if (xml.name() == u"testcase") {
            name = attr("name");
            cases[name].suite = suite;
        } else if (xml.name() == u"property" && attr("name") != "note") {
            cases[name].properties[attr("name")] = attr("value");
        } else if (xml.name() == u"failure") {
            cases[name].passed = false;
            cases[name].diagnosis = attr("message");
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
        s.passed = c["passed"].toBool();
        s.diagnosis = c["diagnosis"].toString().toStdString();
        const QJsonObject p = c["properties"].toObject();
        for (auto it = p.begin(); it != p.end(); ++it)
            s.properties[it.key().toStdString()] = it.value().toString().toStdString();
        cases[c["name"].toString().toStdString()] = s;
    }
    return cases;
}

class ReportTest : public CheckTest {};

TEST_F(ReportTest, JunitJsonAndTerminalHoldTheSameResults)
{
    // The read-only board ID register makes one write test fail.
    const std::string xml = Scratch("r.xml"), json = Scratch("r.json"), html = Scratch("r.html");
    const Outcome o = RunInProcess({"open", "registers", "--write-registers", "0x00,0x50", "--junit", xml,
                                    "--json", json, "--html", html});
    ASSERT_EQ(o.status, 1) << o.out << o.err;

    std::map<std::string, Seen> terminal = FromTerminal(o.out);
    int suites = 0;
    const std::map<std::string, Seen> junit = FromJunit(ReadFile(xml), suites);
    QJsonParseError error{};
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(json)), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    const std::map<std::string, Seen> fromJson = FromJson(root);

    EXPECT_EQ(terminal.size(), 5u);
    EXPECT_EQ(suites, 2) << "open and registers";
    EXPECT_FALSE(terminal["registers/write-0x000"].passed);
    // The terminal shows no figures; the two files hold the same ones.
    EXPECT_EQ(junit, fromJson);
    std::map<std::string, Seen> bare = fromJson;
    for (auto &[name, seen] : bare)
        seen.properties.clear();
    EXPECT_EQ(terminal, bare);
    EXPECT_EQ(fromJson.at("registers/read32").properties.at("0x000"), "0x50454C32");
    EXPECT_EQ(root["total"].toInt(), 5);
    EXPECT_EQ(root["failed"].toInt(), 1);
    EXPECT_EQ(root["exitStatus"].toInt(), 1);
    EXPECT_NE(o.out.find("total 5, passed 4, failed 1"), std::string::npos);

    // One page with nothing fetched from elsewhere.
    const std::string page = ReadFile(html);
    EXPECT_NE(page.find("registers/write-0x000"), std::string::npos);
    EXPECT_NE(page.find("total 5, passed 4, failed 1"), std::string::npos);
    EXPECT_EQ(page.find("src=\"http"), std::string::npos);
    EXPECT_EQ(page.find("<link"), std::string::npos);
    EXPECT_EQ(page.find("<script"), std::string::npos);
}

TEST_F(ReportTest, InterruptedRunClosesTheBoardAndReportsWhatRan)
{
    const std::string json = Scratch("r.json");
    check::RequestInterrupt(); // as if Ctrl+C came while the board was being opened
    const Outcome o = RunInProcess({"open", "registers", "--json", json});
    EXPECT_EQ(o.status, 130);
    EXPECT_EQ(SimOpenBoards(), 0u);
    EXPECT_NE(o.out.find("open/board ... ok"), std::string::npos);
    EXPECT_EQ(o.out.find("registers/"), std::string::npos) << "no check starts after the interrupt";
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(json))).object();
    EXPECT_TRUE(root["interrupted"].toBool());
    EXPECT_EQ(root["exitStatus"].toInt(), 130);
    EXPECT_EQ(root["total"].toInt(), 1);
}

} // namespace
} // namespace checktest
