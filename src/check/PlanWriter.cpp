#include "check/PlanWriter.h"

#include "check/MemoryCheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>

namespace check {
namespace {

QJsonArray Numbers(const std::vector<uint32_t> &values)
{
    QJsonArray list;
    for (uint32_t v : values)
        list.append(static_cast<qint64>(v));
    return list;
}

QJsonArray Texts(const std::vector<std::string> &values)
{
    QJsonArray list;
    for (const std::string &v : values)
        list.append(QString::fromStdString(v));
    return list;
}

} // namespace

std::string ResolvedPlanPath(const CheckOptions &o)
{
    for (const std::string *report : {&o.junitFile, &o.jsonFile, &o.htmlFile}) {
        if (report->empty())
            continue;
        const std::filesystem::path path(*report);
        // Only the name's extension goes: "out.d/report" keeps its folder's dot.
        std::filesystem::path base = path;
        if (path.has_extension())
            base.replace_extension();
        return base.string() + ".plan.json";
    }
    return {};
}

std::string ResolvedPlanText(const CheckOptions &o, std::optional<uint64_t> seed)
{
    std::vector<std::string> checks;
    for (CheckId id : o.checks)
        checks.push_back(CheckName(id));
    QJsonObject memory{{"banks", Numbers(o.banks)},
                       {"patterns", Texts(o.patterns.empty() ? MemoryPatternNames() : o.patterns)},
                       {"preserve", o.preserve},
                       {"recordCap", static_cast<qint64>(o.recordCap)}};
    if (seed) // as text: a JSON number keeps only 53 bits
        memory["seed"] = QString::number(*seed);
    QJsonObject scan{{"frames", static_cast<qint64>(o.scan.frames)},
                     {"pixels", static_cast<qint64>(o.scan.pixels)},
                     {"lines", static_cast<qint64>(o.scan.lines)},
                     {"unit", o.scan.lineUnit ? "line" : "frame"},
                     {"pixelSize", static_cast<qint64>(o.scan.pixelBits)},
                     {"buffer", o.scan.programBuffer ? "program" : "driver"},
                     {"lineInterval", static_cast<qint64>(o.scan.lineInterval)},
                     {"minFps", o.scan.limits.minFps},
                     {"maxJitterMs", o.scan.limits.maxJitterMs}};
    if (o.scan.limits.minMBps)
        scan["minMBps"] = *o.scan.limits.minMBps;
    if (!o.scan.referenceFile.empty())
        scan["reference"] = QString::fromStdString(o.scan.referenceFile);
    if (!o.scan.saveReferenceFile.empty())
        scan["saveReference"] = QString::fromStdString(o.scan.saveReferenceFile);
    if (!o.scan.referenceFile.empty() || !o.scan.saveReferenceFile.empty()) {
        scan["referenceTolerance"] = static_cast<qint64>(o.scan.referenceTolerance);
        scan["referenceMaxShare"] = o.scan.referenceMaxShare;
    }
    QJsonObject root{{"checks", Texts(checks)},
                     {"all", o.all},
                     {"board", static_cast<qint64>(o.board)},
                     {"registers", QJsonObject{{"write", Numbers(o.writeRegisters)}}},
                     {"memory", memory},
                     {"scan", scan},
                     {"video", QJsonObject{{"seconds", static_cast<qint64>(o.videoSeconds)},
                                           {"minFps", o.videoLimits.minFps},
                                           {"maxJitterMs", o.videoLimits.maxJitterMs}}},
                     {"timeoutMs", static_cast<qint64>(o.timeoutMs)},
                     {"strict", o.strict},
                     {"requireBoard", o.requireBoard},
                     {"tier", TierName(o.tier)},
                     {"loops", static_cast<qint64>(o.loops)}};
    if (o.durationSeconds != 0)
        root["duration"] = QString::fromStdString(DurationText(o.durationSeconds));
    if (!o.dspFile.empty())
        root["dsp"] = QJsonObject{{"file", QString::fromStdString(o.dspFile)}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

} // namespace check
