#include "check/Plan.h"

#include "check/CommandLine.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace check {
namespace {

constexpr size_t kMaxPlanBytes = 1024 * 1024; // a plan is a page of settings

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

    // A whole number; `range` is the allowed one, for the message when the value is outside it.
    std::optional<uint64_t> Number(const QJsonValue &value, const std::string &key, const char *range)
    {
        if (!error.empty())
            return std::nullopt;
        NumberText n;
        std::string shown;
        if (value.isDouble()) {
            const double d = value.toDouble();
            char text[40];
            std::snprintf(text, sizeof text, "%.15g", d);
            shown = text;
            if (std::floor(d) != d) {
                error = "計画の " + key + " が整数ではありません: " + shown;
                return std::nullopt;
            }
            if (d >= 0 && d <= 9007199254740992.0)
                n.value = static_cast<uint64_t>(d);
            else
                n.outOfRange = true;
        } else if (value.isString()) {
            shown = value.toString().toStdString();
            n = ParseNumberText(shown);
        }
        if (n.outOfRange)
            error = "計画の " + key + " が範囲外です: " + shown + "（" + range + "）";
        else if (!n.value)
            error = "計画の " + key + " が数値ではありません";
        return n.value;
    }

    void U32(const QJsonObject &o, const char *key, uint32_t &out, const std::string &where, const char *range)
    {
        if (!o.contains(key))
            return;
        const auto n = Number(o.value(key), where + key, range);
        if (n && *n > 0xFFFFFFFFu)
            error = "計画の " + where + key + " が範囲外です: " + std::to_string(*n) + "（" + range + "）";
        else if (n)
            out = static_cast<uint32_t>(*n);
    }

    // A limit: a JSON number, 0 or more.
    void Limit(const QJsonObject &o, const char *key, double &out, const std::string &where)
    {
        if (!o.contains(key) || !error.empty())
            return;
        const QJsonValue v = o.value(key);
        if (!v.isDouble())
            error = "計画の " + where + key + " が数値ではありません";
        else if (!(v.toDouble() >= 0 && v.toDouble() <= 1e9)) {
            char shown[40];
            std::snprintf(shown, sizeof shown, "%.15g", v.toDouble());
            error = "計画の " + where + key + " が範囲外です: " + shown + "（0〜1000000000）";
        }
        else
            out = v.toDouble();
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

    void U32List(const QJsonObject &o, const char *key, std::vector<uint32_t> &out, const std::string &where,
                 const char *range)
    {
        if (!o.contains(key) || !error.empty())
            return;
        if (!o.value(key).isArray()) {
            error = "計画の " + where + key + " が配列ではありません";
            return;
        }
        out.clear();
        for (const QJsonValue &v : o.value(key).toArray()) {
            const auto n = Number(v, where + key, range);
            if (!n)
                return;
            if (*n > 0xFFFFFFFFu) {
                error = "計画の " + where + key + " が範囲外です: " + std::to_string(*n) + "（" + range + "）";
                return;
            }
            out.push_back(static_cast<uint32_t>(*n));
        }
    }

    // A report's file: an empty name would silently write nothing.
    void Path(const QJsonObject &o, const char *key, std::string &out, const std::string &where)
    {
        Text(o, key, out, where);
        if (error.empty() && o.contains(key) && out.empty())
            error = "計画の " + where + key + " が空です";
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

// The first key that appears twice in one object of well-formed JSON (the parser keeps only the
// last value), as "section.key"; empty when none.
std::string DuplicateKey(const std::string &json)
{
    struct Level {
        bool object;
        std::string name; // the key this value stands under
        std::set<std::string> keys;
    };
    std::vector<Level> levels;
    std::string lastKey;
    for (size_t i = 0; i < json.size(); ++i) {
        const char ch = json[i];
        if (ch == '{' || ch == '[') {
            levels.push_back({ch == '{', lastKey, {}});
            lastKey.clear();
        } else if ((ch == '}' || ch == ']') && !levels.empty()) {
            levels.pop_back();
        } else if (ch == '"') {
            const size_t begin = i;
            for (++i; i < json.size() && json[i] != '"'; ++i)
                i += json[i] == '\\' ? 1 : 0;
            size_t next = i + 1;
            while (next < json.size() && std::isspace(static_cast<unsigned char>(json[next])))
                ++next;
            if (levels.empty() || !levels.back().object || next >= json.size() || json[next] != ':')
                continue;
            // The key as the parser reads it, escapes decoded.
            const QJsonArray decoded =
                QJsonDocument::fromJson(QByteArray::fromStdString("[" + json.substr(begin, i + 1 - begin) + "]")).array();
            std::string key = decoded.isEmpty() ? json.substr(begin, i + 1 - begin) : decoded[0].toString().toStdString();
            for (auto level = levels.rbegin(); level != levels.rend(); ++level)
                if (!level->name.empty())
                    key = level->name + "." + key;
            if (!levels.back().keys.insert(key).second)
                return key;
            lastKey = decoded.isEmpty() ? std::string() : decoded[0].toString().toStdString();
        } else if (ch == ',') {
            lastKey.clear();
        }
    }
    return {};
}

} // namespace

std::string ReadPlanFile(const std::string &path, CheckOptions &options)
{
    // Opened without waiting (a FIFO would block the open) and judged before a byte is read; the
    // path's bytes go to the system as they are.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return "計画ファイルを読めません: " + path;
    struct stat st{};
    std::string problem;
    if (fstat(fd, &st) != 0)
        problem = "計画ファイルを読めません: " + path;
    else if (S_ISDIR(st.st_mode))
        problem = "計画ファイルがフォルダです: " + path;
    else if (!S_ISREG(st.st_mode))
        problem = "計画ファイルが通常のファイルではありません: " + path;
    std::string bytes;
    while (problem.empty()) {
        char buffer[65536];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            problem = "計画ファイルを読めません: " + path;
        if (n <= 0)
            break;
        bytes.append(buffer, static_cast<size_t>(n));
        if (bytes.size() > kMaxPlanBytes)
            problem = "計画ファイルが大きすぎます: " + path + "（1 MiB まで）";
    }
    close(fd);
    if (!problem.empty())
        return problem;
    std::string e = ReadPlanText(bytes, options);
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
    if (const std::string key = DuplicateKey(json); !key.empty())
        return "計画に同じ項目が二度あります: " + key;
    const QJsonObject root = doc.object();
    PlanReader r;
    r.Keys(root, "", {"checks", "all", "board", "registers", "dsp", "memory", "scan", "video",
                      "timeoutMs", "strict", "reports", "requireBoard", "tier", "loops", "duration"});
    // The tier first: the plan's own parameters go over it. A tier on the command line wins.
    std::string tier;
    r.Text(root, "tier", tier, "");
    if (r.error.empty() && root.contains("tier")) {
        const std::optional<Tier> t = TierByName(tier);
        if (!t)
            return "計画の tier は quick, full, soak のいずれかです: " + tier;
        if (!o.tierGiven)
            ApplyTier(*t, o);
    }
    r.U32(root, "loops", o.loops, "", "1〜1000000");
    std::string duration;
    r.Text(root, "duration", duration, "");
    if (r.error.empty() && root.contains("duration")) {
        const std::optional<uint64_t> seconds = ParseDuration(duration);
        if (!seconds)
            return "計画の duration が不正です: " + duration + "（例 90s, 10m, 2h。1秒〜30日）";
        o.durationSeconds = *seconds;
    }
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
    r.Bool(root, "strict", o.strict, "");
    r.Bool(root, "requireBoard", o.requireBoard, "");
    r.U32(root, "board", o.board, "", "0〜4294967295");
    r.U32(root, "timeoutMs", o.timeoutMs, "", "100〜600000");

    const QJsonObject registers = r.Section(root, "registers");
    r.Keys(registers, "registers.", {"write"});
    r.U32List(registers, "write", o.writeRegisters, "registers.", "4の倍数で 0x000〜0x11C");

    const QJsonObject dsp = r.Section(root, "dsp");
    r.Keys(dsp, "dsp.", {"file"});
    r.Text(dsp, "file", o.dspFile, "dsp.");

    const QJsonObject memory = r.Section(root, "memory");
    r.Keys(memory, "memory.", {"banks", "patterns", "seed", "preserve", "recordCap"});
    r.U32List(memory, "banks", o.banks, "memory.", "0〜3");
    if (memory.contains("patterns") && r.error.empty()) {
        if (!memory.value("patterns").isArray())
            return "計画の memory.patterns が配列ではありません";
        o.patterns.clear();
        for (const QJsonValue &v : memory.value("patterns").toArray()) {
            if (!v.isString())
            {
                const std::string item = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact).toStdString();
                return "計画の memory.patterns の項目が文字列ではありません: " + item.substr(1, item.size() - 2);
            }
            if (v.toString().isEmpty())
                return "計画の memory.patterns に空の項目があります";
            o.patterns.push_back(v.toString().toStdString());
        }
    }
    if (memory.contains("seed"))
        if (const auto n = r.Number(memory.value("seed"), "memory.seed", "0〜18446744073709551615"))
            o.seed = *n;
    r.Bool(memory, "preserve", o.preserve, "memory.");
    r.U32(memory, "recordCap", o.recordCap, "memory.", "0〜1000000");

    const QJsonObject scan = r.Section(root, "scan");
    r.Keys(scan, "scan.", {"frames", "pixels", "lines", "unit", "pixelSize", "buffer", "lineInterval", "minFps",
                           "minMBps", "maxJitterMs", "reference", "saveReference", "referenceTolerance",
                           "referenceMaxShare", "depthSeconds"});
    r.Limit(scan, "minFps", o.scan.limits.minFps, "scan.");
    if (scan.contains("minMBps")) {
        double mbps = 0;
        r.Limit(scan, "minMBps", mbps, "scan.");
        o.scan.limits.minMBps = mbps;
    }
    r.Limit(scan, "maxJitterMs", o.scan.limits.maxJitterMs, "scan.");
    r.U32(scan, "frames", o.scan.frames, "scan.", "1〜1000000");
    r.U32(scan, "pixels", o.scan.pixels, "scan.", "1〜8192");
    r.U32(scan, "lines", o.scan.lines, "scan.", "1〜4096");
    r.U32(scan, "pixelSize", o.scan.pixelBits, "scan.", "8, 16, 32 ビット");
    r.U32(scan, "lineInterval", o.scan.lineInterval, "scan.", "0〜4096");
    r.U32(scan, "depthSeconds", o.scan.depthSeconds, "scan.", "1〜3600");
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
    r.Path(scan, "reference", o.scan.referenceFile, "scan.");
    r.Path(scan, "saveReference", o.scan.saveReferenceFile, "scan.");
    r.U32(scan, "referenceTolerance", o.scan.referenceTolerance, "scan.", "0〜65535");
    r.Limit(scan, "referenceMaxShare", o.scan.referenceMaxShare, "scan.");

    const QJsonObject video = r.Section(root, "video");
    r.Keys(video, "video.", {"seconds", "minFps", "maxJitterMs"});
    r.Limit(video, "minFps", o.videoLimits.minFps, "video.");
    r.Limit(video, "maxJitterMs", o.videoLimits.maxJitterMs, "video.");
    r.U32(video, "seconds", o.videoSeconds, "video.", "1〜3600");

    const QJsonObject reports = r.Section(root, "reports");
    r.Keys(reports, "reports.", {"junit", "json", "html"});
    r.Path(reports, "junit", o.junitFile, "reports.");
    r.Path(reports, "json", o.jsonFile, "reports.");
    r.Path(reports, "html", o.htmlFile, "reports.");
    return r.error;
}

} // namespace check
