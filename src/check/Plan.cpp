#include "check/Plan.h"

#include "check/CommandLine.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <fstream>
#include <optional>
#include <set>

namespace check {
namespace {

// Reads one member after another; the first error sticks and later reads do nothing.
class PlanReader {
public:
    std::string error;

    void Keys(const QJsonObject &object, const std::string &where, const std::set<QString> &known)
    {
        for (auto it = object.begin(); it != object.end() && error.empty(); ++it)
            if (!known.count(it.key()))
                error = "計画に不明な項目があります: " + where + it.key().toStdString();
    }

    std::optional<uint64_t> Number(const QJsonValue &value, const std::string &key)
    {
        if (!error.empty())
            return std::nullopt;
        if (value.isDouble()) {
            const double d = value.toDouble();
            if (d >= 0 && d <= 9007199254740992.0 && std::floor(d) == d)
                return static_cast<uint64_t>(d);
        } else if (value.isString()) {
            if (const auto n = ParseNumber(value.toString().toStdString()))
                return n;
        }
        error = "計画の " + key + " が数値ではありません";
        return std::nullopt;
    }

    void U32(const QJsonObject &o, const char *key, uint32_t &out, const std::string &where)
    {
        if (!o.contains(key))
            return;
        const auto n = Number(o.value(key), where + key);
        if (n && *n > 0xFFFFFFFFu)
            error = "計画の " + where + key + " が大きすぎます";
        else if (n)
            out = static_cast<uint32_t>(*n);
    }

    void Text(const QJsonObject &o, const char *key, std::string &out, const std::string &where)
    {
        if (!o.contains(key) || !error.empty())
            return;
        if (!o.value(key).isString())
            error = "計画の " + where + key + " が文字列ではありません";
        else
            out = o.value(key).toString().toStdString();
    }

    void Bool(const QJsonObject &o, const char *key, bool &out, const std::string &where)
    {
        if (!o.contains(key) || !error.empty())
            return;
        if (!o.value(key).isBool())
            error = "計画の " + where + key + " が true / false ではありません";
        else
            out = o.value(key).toBool();
    }

    void U32List(const QJsonObject &o, const char *key, std::vector<uint32_t> &out, const std::string &where)
    {
        if (!o.contains(key) || !error.empty())
            return;
        if (!o.value(key).isArray()) {
            error = "計画の " + where + key + " が配列ではありません";
            return;
        }
        out.clear();
        for (const QJsonValue &v : o.value(key).toArray()) {
            const auto n = Number(v, where + key);
            if (!n)
                return;
            if (*n > 0xFFFFFFFFu) {
                error = "計画の " + where + key + " が大きすぎます";
                return;
            }
            out.push_back(static_cast<uint32_t>(*n));
        }
    }

    QJsonObject Section(const QJsonObject &o, const char *key)
    {
        if (!o.contains(key) || !error.empty())
            return {};
        if (!o.value(key).isObject())
            error = std::string("計画の ") + key + " がオブジェクトではありません";
        return o.value(key).toObject();
    }
};

} // namespace

std::string ReadPlanFile(const std::string &path, CheckOptions &options)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return "計画ファイルを読めません: " + path;
    const QByteArray bytes = file.readAll();
    std::string e = ReadPlanText(bytes.toStdString(), options);
    return e.empty() ? e : e + "（" + path + "）";
}

std::string ReadPlanText(const std::string &json, CheckOptions &o)
{
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return "計画ファイルがJSONとして読めません: " + parseError.errorString().toStdString() + "（位置 "
               + std::to_string(parseError.offset) + "）";
    if (!doc.isObject())
        return "計画ファイルの最上位がオブジェクトではありません";
    const QJsonObject root = doc.object();
    PlanReader r;
    r.Keys(root, "", {"checks", "all", "board", "registers", "dsp", "memory", "scan", "video",
                      "timeoutMs", "reports"});
    if (root.contains("checks") && r.error.empty()) {
        if (!root.value("checks").isArray())
            return "計画の checks が配列ではありません";
        for (const QJsonValue &v : root.value("checks").toArray()) {
            const auto id = CheckByName(v.toString().toStdString());
            if (!v.isString() || !id)
                return "計画に不明な検査名があります: " + v.toVariant().toString().toStdString();
            o.checks.push_back(*id);
        }
    }
    r.Bool(root, "all", o.all, "");
    r.U32(root, "board", o.board, "");
    r.U32(root, "timeoutMs", o.timeoutMs, "");

    const QJsonObject registers = r.Section(root, "registers");
    r.Keys(registers, "registers.", {"write"});
    r.U32List(registers, "write", o.writeRegisters, "registers.");

    const QJsonObject dsp = r.Section(root, "dsp");
    r.Keys(dsp, "dsp.", {"file"});
    r.Text(dsp, "file", o.dspFile, "dsp.");

    const QJsonObject memory = r.Section(root, "memory");
    r.Keys(memory, "memory.", {"banks", "patterns", "seed", "preserve", "recordCap"});
    r.U32List(memory, "banks", o.banks, "memory.");
    if (memory.contains("patterns") && r.error.empty()) {
        if (!memory.value("patterns").isArray())
            return "計画の memory.patterns が配列ではありません";
        o.patterns.clear();
        for (const QJsonValue &v : memory.value("patterns").toArray())
            o.patterns.push_back(v.toString().toStdString());
    }
    if (memory.contains("seed"))
        if (const auto n = r.Number(memory.value("seed"), "memory.seed"))
            o.seed = *n;
    r.Bool(memory, "preserve", o.preserve, "memory.");
    r.U32(memory, "recordCap", o.recordCap, "memory.");

    const QJsonObject scan = r.Section(root, "scan");
    r.Keys(scan, "scan.", {"frames", "pixels", "lines", "unit", "pixelSize", "buffer", "lineInterval"});
    r.U32(scan, "frames", o.scan.frames, "scan.");
    r.U32(scan, "pixels", o.scan.pixels, "scan.");
    r.U32(scan, "lines", o.scan.lines, "scan.");
    r.U32(scan, "pixelSize", o.scan.pixelBits, "scan.");
    r.U32(scan, "lineInterval", o.scan.lineInterval, "scan.");
    std::string unit = o.scan.lineUnit ? "line" : "frame";
    std::string buffer = o.scan.programBuffer ? "program" : "driver";
    r.Text(scan, "unit", unit, "scan.");
    r.Text(scan, "buffer", buffer, "scan.");
    if (r.error.empty() && unit != "frame" && unit != "line")
        return "計画の scan.unit は frame か line です: " + unit;
    if (r.error.empty() && buffer != "driver" && buffer != "program")
        return "計画の scan.buffer は driver か program です: " + buffer;
    o.scan.lineUnit = unit == "line";
    o.scan.programBuffer = buffer == "program";

    const QJsonObject video = r.Section(root, "video");
    r.Keys(video, "video.", {"seconds"});
    r.U32(video, "seconds", o.videoSeconds, "video.");

    const QJsonObject reports = r.Section(root, "reports");
    r.Keys(reports, "reports.", {"junit", "json", "html"});
    r.Text(reports, "junit", o.junitFile, "reports.");
    r.Text(reports, "json", o.jsonFile, "reports.");
    r.Text(reports, "html", o.htmlFile, "reports.");
    return r.error;
}

} // namespace check
