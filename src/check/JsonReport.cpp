#include "check/JsonReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace check {
namespace {

QString Q(const std::string &s) { return QString::fromStdString(s); }

QJsonArray Numbers(const std::vector<double> &values)
{
    QJsonArray array;
    for (double v : values)
        array.append(v);
    return array;
}

QJsonObject Finding(const MemoryFinding &f)
{
    QJsonObject o;
    o["bank"] = static_cast<int>(f.bank);
    o["pattern"] = Q(f.pattern);
    o["checked"] = static_cast<double>(f.checked);
    o["errors"] = static_cast<double>(f.errors);
    o["stuckAtZero"] = f.stuckAtZero;
    o["stuckAtOne"] = f.stuckAtOne;
    o["addressBitsDiffer"] = static_cast<double>(f.addressBitsDiffer);
    o["capped"] = f.capped;
    QJsonArray records;
    for (const MemoryRecord &r : f.records)
        records.append(QJsonObject{{"offset", static_cast<double>(r.offset)},
                                   {"wrote", static_cast<double>(r.wrote)},
                                   {"read", static_cast<double>(r.read)}});
    o["records"] = records;
    // Only the blocks with errors, as [block, errors] pairs: a clean bank writes nothing.
    QJsonArray blocks;
    for (size_t b = 0; b < f.blockErrors.size(); ++b)
        if (f.blockErrors[b] != 0)
            blocks.append(QJsonArray{static_cast<double>(b), static_cast<double>(f.blockErrors[b])});
    o["blockErrors"] = blocks;
    return o;
}

} // namespace

std::string JsonReportText(const RunResults &r, int exitStatus)
{
    QJsonObject root;
    root["tool"] = "pelora2-check";
    root["format"] = 1;
    root["startedAt"] = Q(r.startedAt);
    root["seconds"] = r.seconds;
    root["interrupted"] = r.interrupted;
    root["exitStatus"] = exitStatus;
    root["total"] = static_cast<int>(r.cases.size());
    root["passed"] = r.passed();
    root["failed"] = r.failed();
    QJsonArray cases;
    for (const CaseResult &c : r.cases) {
        QJsonObject o;
        o["name"] = Q(c.name);
        o["group"] = Q(c.group());
        o["passed"] = c.passed;
        o["diagnosis"] = Q(c.diagnosis);
        o["note"] = Q(c.note);
        o["seconds"] = c.seconds;
        QJsonObject properties;
        for (const auto &[key, value] : c.properties)
            properties[Q(key)] = Q(value);
        o["properties"] = properties;
        cases.append(o);
    }
    root["cases"] = cases;
    if (r.memoryRan) {
        QJsonObject memory;
        memory["seed"] = Q(std::to_string(r.memorySeed));
        QJsonArray findings;
        for (const MemoryFinding &f : r.memory)
            findings.append(Finding(f));
        memory["findings"] = findings;
        root["memory"] = memory;
    }
    if (!r.scanIntervalsUs.empty())
        root["scan"] = QJsonObject{{"intervalsUs", Numbers(r.scanIntervalsUs)}};
    if (!r.videoIntervalsUs.empty())
        root["video"] = QJsonObject{{"intervalsUs", Numbers(r.videoIntervalsUs)}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

} // namespace check
