#include "check/JsonReport.h"

#include "check/CommandLine.h"
#include "check/Interrupt.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>

namespace check {
namespace {

QString Q(const std::string &s) { return QString::fromStdString(s); }

// One value as compact JSON text (Qt escapes the strings).
std::string Compact(const QJsonObject &o) { return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString(); }

std::string Text(const std::string &s)
{
    const std::string array = QJsonDocument(QJsonArray{Q(s)}).toJson(QJsonDocument::Compact).toStdString();
    return array.substr(1, array.size() - 2);
}

std::string Number(double v)
{
    if (!std::isfinite(v))
        return "null";
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

std::string Number(uint64_t v) { return std::to_string(v); }

// Written piece by piece: a run's records and intervals never stand whole in memory twice.
void Numbers(const TextSink &out, const std::vector<double> &values)
{
    out("[");
    for (size_t i = 0; i < values.size(); ++i)
        out((i == 0 ? "" : ",") + Number(values[i]));
    out("]");
}

void Finding(const TextSink &out, const MemoryFinding &f)
{
    out("{\"bank\":" + Number(uint64_t(f.bank)) + ",\"pattern\":" + Text(f.pattern) + ",\"checked\":"
        + Number(f.checked) + ",\"errors\":" + Number(f.errors) + ",\"stuckAtZero\":" + Number(uint64_t(f.stuckAtZero))
        + ",\"stuckAtOne\":" + Number(uint64_t(f.stuckAtOne)) + ",\"addressBitsDiffer\":"
        + Number(uint64_t(f.addressBitsDiffer)) + ",\"capped\":" + (f.capped ? "true" : "false") + ",\n\"records\":[");
    std::string chunk;
    for (size_t i = 0; i < f.records.size(); ++i) {
        const MemoryRecord &r = f.records[i];
        chunk += (i == 0 ? "" : ",") + std::string("{\"offset\":") + Number(uint64_t(r.offset)) + ",\"wrote\":"
                 + Number(uint64_t(r.wrote)) + ",\"read\":" + Number(uint64_t(r.read)) + "}";
        if (chunk.size() > 32768) {
            out(chunk);
            chunk.clear();
        }
    }
    out(chunk + "],\n\"blockErrors\":[");
    // Only the blocks with errors, as [block, errors] pairs: a clean bank writes nothing.
    bool first = true;
    for (size_t b = 0; b < f.blockErrors.size(); ++b)
        if (f.blockErrors[b] != 0) {
            out((first ? "[" : ",[") + Number(uint64_t(b)) + "," + Number(uint64_t(f.blockErrors[b])) + "]");
            first = false;
        }
    out("]}");
}

// A figure as a JSON number when its text is one exactly (decimal, at most 15 digits, written
// the shortest way), so readers get numbers; hex words, names and 64-bit seeds stay text.
QJsonValue Figure(const std::string &text)
{
    size_t digits = 0, at = text.size() > 1 && text[0] == '-' ? 1 : 0;
    const size_t point = text.find('.');
    for (size_t i = at; i < text.size(); ++i) {
        if (i == point)
            continue;
        if (text[i] < '0' || text[i] > '9')
            return Q(text);
        ++digits;
    }
    const bool leadingZero = text.size() > at + 1 && text[at] == '0' && point != at + 1;
    const bool shortest = point == std::string::npos || (point > at && point + 1 < text.size() && text.back() != '0');
    if (digits == 0 || digits > 15 || leadingZero || !shortest)
        return Q(text);
    return std::stod(text);
}

// What repeats the run: texts as given, the board's identification as numbers, the plan inline.
QJsonObject RunObject(const RunResults &r)
{
    QJsonObject run;
    for (const auto &[key, value] : r.replay) {
        const std::optional<uint64_t> n = key == "boardId" || key == "revision" ? ParseNumber(value) : std::nullopt;
        run[Q(key)] = n ? QJsonValue(static_cast<qint64>(*n)) : QJsonValue(Q(value));
    }
    run["plan"] = QJsonDocument::fromJson(QByteArray::fromStdString(r.plan)).object();
    return run;
}

} // namespace

void StreamJsonReport(const RunResults &r, int exitStatus, const TextSink &out)
{
    // The run's figures one per line, as the earlier indented document had them.
    out("{\n    \"tool\": \"pelora2-check\",\n    \"format\": 2,\n    \"boardLibrary\": {\"path\":" + Text(r.boardLibrary)
        + ",\"simulated\":" + (r.simulatedBoard ? "true" : "false") + "},\n    \"run\": " + Compact(RunObject(r)) + ",\n    \"startedAt\": " + Text(r.startedAt)
        + ",\n    \"seconds\": " + Number(r.seconds) + ",\n    \"interrupted\": " + (r.interrupted ? "true" : "false"));
    if (r.signal != 0)
        out(",\n    \"signal\": " + Text(SignalName(r.signal)));
    out(",\n    \"exitStatus\": " + std::to_string(exitStatus) + ",\n    \"total\": " + std::to_string(r.cases.size())
        + ",\n    \"passed\": " + std::to_string(r.count(Outcome::Pass)) + ",\n    \"warned\": "
        + std::to_string(r.count(Outcome::Warn)) + ",\n    \"failed\": " + std::to_string(r.count(Outcome::Fail))
        + ",\n    \"skipped\": " + std::to_string(r.count(Outcome::Skip)) + ",\n    \"errors\": "
        + std::to_string(r.count(Outcome::Error)) + ",\n    \"cases\": [");
    for (size_t i = 0; i < r.cases.size(); ++i) {
        const CaseResult &c = r.cases[i];
        QJsonObject o;
        o["name"] = Q(c.name);
        o["group"] = Q(c.group());
        // The same keys whatever the outcome. "passed" (a warning passes) and "diagnosis" stay for
        // readers of earlier reports.
        o["outcome"] = OutcomeName(c.outcome);
        o["passed"] = c.passed();
        o["reason"] = Q(c.reason());
        o["skipReason"] = SkipKindName(c.skipKind);
        o["diagnosis"] = Q(c.diagnosis);
        o["warning"] = Q(c.warning);
        o["note"] = Q(c.note);
        o["seconds"] = c.seconds;
        QJsonObject properties;
        for (const auto &[key, value] : c.properties)
            properties[Q(key)] = Figure(value);
        o["properties"] = properties;
        out((i == 0 ? "\n" : ",\n") + Compact(o));
    }
    out("]");
    if (r.memoryRan) {
        out(",\n    \"memory\": {\"seed\":" + Text(std::to_string(r.memorySeed)) + ",\"findings\":[");
        for (size_t i = 0; i < r.memory.size(); ++i) {
            out(i == 0 ? "\n" : ",\n");
            Finding(out, r.memory[i]);
        }
        out("]}");
    }
    if (!r.scanIntervalsUs.empty()) {
        out(",\n    \"scan\": {\"intervalsUs\":");
        Numbers(out, r.scanIntervalsUs);
        out("}");
    }
    if (!r.videoIntervalsUs.empty()) {
        out(",\n    \"video\": {\"intervalsUs\":");
        Numbers(out, r.videoIntervalsUs);
        out("}");
    }
    out("}\n");
}

std::string JsonReportText(const RunResults &r, int exitStatus)
{
    std::string text;
    StreamJsonReport(r, exitStatus, [&text](std::string_view piece) { text += piece; });
    return text;
}

} // namespace check
