#include "check/JunitReport.h"

#include <QXmlStreamWriter>

#include <algorithm>
#include <utility>
#include <vector>

namespace check {
namespace {

QString Q(const std::string &s) { return QString::fromStdString(s); }

// A case's time in whole milliseconds: the suites' and the root's times are sums of these, so the
// figures a reader adds up agree to the digit.
int64_t Millis(double seconds) { return seconds > 0 ? static_cast<int64_t>(seconds * 1000 + 0.5) : 0; }
QString MillisText(int64_t ms) { return Q(FormatNumber(static_cast<double>(ms) / 1000)); }

// The figures as lines of the case's output too: readers that drop a case's properties show it.
std::string FiguresText(const CaseResult &c)
{
    std::string text;
    if (c.outcome == Outcome::Warn)
        text += "WARN: " + c.warning + "\n";
    if (!c.note.empty())
        text += c.note + "\n";
    for (const auto &[key, value] : c.properties)
        text += key + " = " + value + "\n";
    return text;
}

} // namespace

std::string JunitReportText(const RunResults &r)
{
    // Groups in the order they ran.
    std::vector<std::string> groups;
    for (const CaseResult &c : r.cases)
        if (std::find(groups.begin(), groups.end(), c.group()) == groups.end())
            groups.push_back(c.group());

    QString text;
    QXmlStreamWriter xml(&text);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement("testsuites");
    xml.writeAttribute("name", "pelora2-check");
    xml.writeAttribute("tests", QString::number(r.cases.size()));
    xml.writeAttribute("failures", QString::number(r.count(Outcome::Fail)));
    xml.writeAttribute("errors", QString::number(r.count(Outcome::Error)));
    xml.writeAttribute("skipped", QString::number(r.count(Outcome::Skip)));
    int64_t totalMs = 0;
    for (const CaseResult &c : r.cases)
        totalMs += Millis(c.seconds);
    xml.writeAttribute("time", MillisText(totalMs));
    for (const std::string &group : groups) {
        int tests = 0;
        int failures = 0, errors = 0, skipped = 0;
        int64_t ms = 0;
        for (const CaseResult &c : r.cases)
            if (c.group() == group) {
                ++tests;
                failures += c.outcome == Outcome::Fail ? 1 : 0;
                errors += c.outcome == Outcome::Error ? 1 : 0;
                skipped += c.outcome == Outcome::Skip ? 1 : 0;
                ms += Millis(c.seconds);
            }
        xml.writeStartElement("testsuite");
        xml.writeAttribute("name", Q(group));
        xml.writeAttribute("tests", QString::number(tests));
        xml.writeAttribute("failures", QString::number(failures));
        xml.writeAttribute("errors", QString::number(errors));
        xml.writeAttribute("skipped", QString::number(skipped));
        xml.writeAttribute("time", MillisText(ms));
        xml.writeAttribute("timestamp", Q(r.startedAt));
        // The library that answered, on every suite: a reader may take any one of them alone.
        xml.writeStartElement("properties");
        std::vector<std::pair<std::string, std::string>> suite = {
            {"boardLibrary", r.boardLibrary}, {"simulatedBoard", r.simulatedBoard ? "true" : "false"},
            {"runSeconds", FormatNumber(r.seconds)}}; // the whole run, board open and close included
        suite.insert(suite.end(), r.replay.begin(), r.replay.end());
        suite.emplace_back("plan", r.plan);
        for (const auto &[name, value] : suite) {
            xml.writeStartElement("property");
            xml.writeAttribute("name", Q(name));
            xml.writeAttribute("value", Q(value));
            xml.writeEndElement();
        }
        xml.writeEndElement();
        for (const CaseResult &c : r.cases) {
            if (c.group() != group)
                continue;
            xml.writeStartElement("testcase");
            xml.writeAttribute("classname", Q("pelora2-check." + group));
            xml.writeAttribute("name", Q(c.name));
            xml.writeAttribute("time", MillisText(Millis(c.seconds)));
            // JUnit has no warning: a warned case passes and says so in a property and its output.
            const bool warned = c.outcome == Outcome::Warn;
            if (!c.properties.empty() || !c.note.empty() || warned) {
                xml.writeStartElement("properties");
                if (warned) {
                    xml.writeStartElement("property");
                    xml.writeAttribute("name", "warning");
                    xml.writeAttribute("value", Q(c.warning));
                    xml.writeEndElement();
                }
                if (!c.note.empty()) {
                    xml.writeStartElement("property");
                    xml.writeAttribute("name", "note");
                    xml.writeAttribute("value", Q(c.note));
                    xml.writeEndElement();
                }
                for (const auto &[key, value] : c.properties) {
                    xml.writeStartElement("property");
                    xml.writeAttribute("name", Q(key));
                    xml.writeAttribute("value", Q(value));
                    xml.writeEndElement();
                }
                xml.writeEndElement();
            }
            if (c.outcome == Outcome::Fail || c.outcome == Outcome::Error) {
                const bool failed = c.outcome == Outcome::Fail;
                xml.writeStartElement(failed ? "failure" : "error");
                xml.writeAttribute("message", Q(c.diagnosis));
                xml.writeAttribute("type", failed ? "CheckFailed" : "CheckError");
                xml.writeCharacters(Q(c.diagnosis));
                xml.writeEndElement();
            } else if (c.outcome == Outcome::Skip) {
                xml.writeStartElement("skipped");
                xml.writeAttribute("message", Q(c.diagnosis));
                xml.writeEndElement();
            }
            if (const std::string figures = FiguresText(c); !figures.empty())
                xml.writeTextElement("system-out", Q(figures));
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return text.toStdString();
}

} // namespace check
