#include "check/CommandLine.h"

#include "check/Plan.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <map>

namespace check {
namespace {

// Every part, empty ones too ("0," is two parts, "" one): an empty part is refused alike.
std::vector<std::string> Split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    size_t begin = 0;
    for (size_t at; (at = text.find(separator, begin)) != std::string::npos; begin = at + 1)
        parts.push_back(text.substr(begin, at - begin));
    parts.push_back(text.substr(begin));
    return parts;
}

// Stores a parsed value; answers an error line or empty.
using Setter = std::function<std::string(CheckOptions &, const std::string &)>;

std::string RangeText(const char *what, const std::string &value, const char *range)
{
    return std::string(what) + "が範囲外です: " + value + "（" + range + "）";
}

// A whole number for a 32-bit field; `range` is the one --list states, for the message.
std::string ToU32(const std::string &v, const char *what, const char *range, uint32_t &out)
{
    const NumberText n = ParseNumberText(v);
    if (!n.value && !n.outOfRange)
        return std::string(what) + "が数値ではありません: " + v;
    if (!n.value || *n.value > 0xFFFFFFFFu)
        return RangeText(what, v, range);
    out = static_cast<uint32_t>(*n.value);
    return {};
}

Setter Unsigned(uint32_t CheckOptions::*field, const char *what, const char *range)
{
    return [field, what, range](CheckOptions &o, const std::string &v) { return ToU32(v, what, range, o.*field); };
}

Setter ScanUnsigned(uint32_t ScanSettings::*field, const char *what, const char *range)
{
    return [field, what, range](CheckOptions &o, const std::string &v) {
        return ToU32(v, what, range, o.scan.*field);
    };
}

// A report's file: an empty name would silently write nothing.
Setter ReportPath(std::string CheckOptions::*field, const char *what)
{
    return [field, what](CheckOptions &o, const std::string &v) -> std::string {
        if (v.empty())
            return std::string(what) + "のファイル名が空です";
        o.*field = v;
        return {};
    };
}

Setter Text(std::string CheckOptions::*field)
{
    return [field](CheckOptions &o, const std::string &v) -> std::string {
        o.*field = v;
        return {};
    };
}

Setter NumberList(std::vector<uint32_t> CheckOptions::*field, const char *what, const char *range)
{
    return [field, what, range](CheckOptions &o, const std::string &v) -> std::string {
        std::vector<uint32_t> list;
        for (const std::string &part : Split(v, ',')) {
            if (part.empty())
                return std::string(what) + "の並びに空の項目があります: " + v;
            uint32_t n = 0;
            if (std::string e = ToU32(part, what, range, n); !e.empty())
                return e;
            list.push_back(n);
        }
        o.*field = std::move(list);
        return {};
    };
}

// Options that take a value.
const std::map<std::string, Setter> &ValueOptions()
{
    static const std::map<std::string, Setter> options = {
        {"--board", Unsigned(&CheckOptions::board, "ボード番号", "0〜4294967295")},
        {"--write-registers", NumberList(&CheckOptions::writeRegisters, "レジスタのオフセット", "4の倍数で 0x000〜0x11C")},
        {"--dsp", Text(&CheckOptions::dspFile)},
        {"--banks", NumberList(&CheckOptions::banks, "バンク番号", "0〜3")},
        {"--patterns", [](CheckOptions &o, const std::string &v) -> std::string {
             std::vector<std::string> names = Split(v, ',');
             if (std::find(names.begin(), names.end(), std::string()) != names.end())
                 return "パターン名の並びに空の項目があります: " + v;
             o.patterns = std::move(names);
             return {};
         }},
        {"--seed", [](CheckOptions &o, const std::string &v) -> std::string {
             const NumberText n = ParseNumberText(v);
             if (n.outOfRange)
                 return RangeText("シード", v, "0〜18446744073709551615");
             if (!n.value)
                 return "シードが数値ではありません: " + v;
             o.seed = *n.value;
             return {};
         }},
        {"--record-cap", Unsigned(&CheckOptions::recordCap, "記録数の上限", "0〜1000000")},
        {"--frames", ScanUnsigned(&ScanSettings::frames, "フレーム数", "1〜1000000")},
        {"--pixels", ScanUnsigned(&ScanSettings::pixels, "画素数", "1〜8192")},
        {"--lines", ScanUnsigned(&ScanSettings::lines, "ライン数", "1〜4096")},
        {"--pixel-size", ScanUnsigned(&ScanSettings::pixelBits, "画素サイズ", "8, 16, 32 ビット")},
        {"--line-interval", ScanUnsigned(&ScanSettings::lineInterval, "LineInt間隔", "0〜4096")},
        {"--unit", [](CheckOptions &o, const std::string &v) -> std::string {
             if (v != "frame" && v != "line")
                 return "転送単位は frame か line です: " + v;
             o.scan.lineUnit = v == "line";
             return {};
         }},
        {"--buffer", [](CheckOptions &o, const std::string &v) -> std::string {
             if (v != "driver" && v != "program")
                 return "バッファは driver か program です: " + v;
             o.scan.programBuffer = v == "program";
             return {};
         }},
        {"--seconds", Unsigned(&CheckOptions::videoSeconds, "ビデオの秒数", "1〜3600")},
        {"--timeout", Unsigned(&CheckOptions::timeoutMs, "タイムアウト（ms）", "100〜600000")},
        {"--junit", ReportPath(&CheckOptions::junitFile, "JUnitレポート")},
        {"--json", ReportPath(&CheckOptions::jsonFile, "JSONレポート")},
        {"--html", ReportPath(&CheckOptions::htmlFile, "HTMLレポート")},
        {"--plan", Text(&CheckOptions::planFile)},
        {"--reference", [](CheckOptions &o, const std::string &v) -> std::string {
             if (v.empty())
                 return "参照画像のファイル名が空です";
             o.scan.referenceFile = v;
             return {};
         }},
        {"--save-reference", [](CheckOptions &o, const std::string &v) -> std::string {
             if (v.empty())
                 return "保存する参照画像のファイル名が空です";
             o.scan.saveReferenceFile = v;
             return {};
         }},
        {"--tier", [](CheckOptions &, const std::string &) { return std::string(); }}, // read first
        {"--loops", Unsigned(&CheckOptions::loops, "繰り返し回数", "1〜1000000")},
        {"--duration", [](CheckOptions &o, const std::string &v) -> std::string {
             const std::optional<uint64_t> seconds = ParseDuration(v);
             if (!seconds)
                 return "時間の指定が不正です: " + v + "（例 90s, 10m, 2h。1秒〜30日）";
             o.durationSeconds = *seconds;
             return {};
         }},
    };
    return options;
}

const std::map<std::string, std::function<void(CheckOptions &)>> &Flags()
{
    static const std::map<std::string, std::function<void(CheckOptions &)>> flags = {
        {"--all", [](CheckOptions &o) { o.all = true; }},
        {"--list", [](CheckOptions &o) { o.list = true; }},
        {"--help", [](CheckOptions &o) { o.help = true; }},
        {"-h", [](CheckOptions &o) { o.help = true; }},
        {"--preserve", [](CheckOptions &o) { o.preserve = true; }},
        {"--strict", [](CheckOptions &o) { o.strict = true; }},
        {"--require-board", [](CheckOptions &o) { o.requireBoard = true; }},
        {"--progress", [](CheckOptions &o) { o.progress = true; }},
        {"--no-progress", [](CheckOptions &o) { o.progress = false; }},
        {"-v", [](CheckOptions &o) { o.verbosity = std::max(o.verbosity, 1); }},
        {"-vv", [](CheckOptions &o) { o.verbosity = 2; }},
    };
    return flags;
}

} // namespace

NumberText ParseNumberText(const std::string &text)
{
    // Digits only: no sign, no white space anywhere, so " 5", "\t5" and "\n-1" are all refused.
    size_t at = 0;
    const bool negative = text.size() > 1 && text[0] == '-';
    at += negative ? 1 : 0;
    const bool hex = text.size() > at + 2 && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X');
    at += hex ? 2 : 0;
    if (at >= text.size())
        return {};
    bool overflow = false;
    uint64_t n = 0;
    for (; at < text.size(); ++at) {
        const char ch = text[at];
        unsigned digit;
        if (ch >= '0' && ch <= '9')
            digit = unsigned(ch - '0');
        else if (hex && ch >= 'a' && ch <= 'f')
            digit = unsigned(ch - 'a' + 10);
        else if (hex && ch >= 'A' && ch <= 'F')
            digit = unsigned(ch - 'A' + 10);
        else
            return {};
        const unsigned base = hex ? 16 : 10;
        if (n > (UINT64_MAX - digit) / base)
            overflow = true;
        n = n * base + digit;
    }
    if (overflow || (negative && n != 0))
        return {std::nullopt, true};
    return {n, false};
}

std::optional<uint64_t> ParseNumber(const std::string &text) { return ParseNumberText(text).value; }

std::string ParseCommandLine(const std::vector<std::string> &args, CheckOptions &options)
{
    // The tier gives the base, a plan goes over it, and what the command line says wins.
    for (size_t i = 0; i < args.size(); ++i) {
        std::string tier;
        if (args[i] == "--tier" && i + 1 < args.size())
            tier = args[++i];
        else if (args[i].rfind("--tier=", 0) == 0)
            tier = args[i].substr(7);
        else if (args[i] == "--tier")
            return "オプション --tier に値がありません";
        else
            continue;
        const std::optional<Tier> t = TierByName(tier);
        if (!t)
            return "段階は quick, full, soak のいずれかです: " + tier;
        ApplyTier(*t, options);
    }
    for (size_t i = 0; i < args.size(); ++i) {
        std::string plan;
        if (args[i] == "--plan" && i + 1 < args.size())
            plan = args[i + 1];
        else if (args[i].rfind("--plan=", 0) == 0)
            plan = args[i].substr(7);
        else
            continue;
        if (std::string e = ReadPlanFile(plan, options); !e.empty())
            return e;
        options.planFile = plan;
    }
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> value;
        if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        if (const auto flag = Flags().find(arg); flag != Flags().end()) {
            if (value)
                return "オプション " + arg + " は値を取りません";
            flag->second(options);
            continue;
        }
        if (const auto opt = ValueOptions().find(arg); opt != ValueOptions().end()) {
            if (!value) {
                if (i + 1 >= args.size())
                    return "オプション " + arg + " に値がありません";
                value = args[++i];
            }
            if (arg == "--plan")
                continue; // read above
            if (std::string e = opt->second(options, *value); !e.empty())
                return e;
            continue;
        }
        if (arg.rfind("-", 0) == 0)
            return "不明なオプションです: " + arg;
        const auto id = CheckByName(arg);
        if (!id)
            return "不明な検査名です: " + arg + "（--list で一覧を表示します）";
        options.checks.push_back(*id);
    }
    return {};
}

std::vector<std::string> RerunArgs(const std::vector<std::string> &args, std::optional<uint64_t> seed)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        const std::string name = arg.rfind("--", 0) == 0 ? arg.substr(0, arg.find('=')) : arg;
        // A value option's separate value is copied with it, never read as an option itself.
        const bool separateValue = name == arg && ValueOptions().count(arg) != 0 && i + 1 < args.size();
        if (seed && name == "--seed") {
            i += separateValue ? 1 : 0;
            continue;
        }
        out.push_back(arg);
        if (separateValue)
            out.push_back(args[++i]);
    }
    if (seed) {
        out.push_back("--seed");
        out.push_back(std::to_string(*seed));
    }
    return out;
}

std::string ShellWord(const std::string &word)
{
    const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](unsigned char ch) {
        return std::isalnum(ch) || std::strchr("-_./=,:+@%", ch) != nullptr;
    });
    if (plain)
        return word;
    std::string quoted = "'";
    for (char ch : word)
        quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return quoted + "'";
}

std::string ListText(const std::vector<std::string> &patternNames)
{
    std::string patterns;
    for (const std::string &p : patternNames)
        patterns += (patterns.empty() ? "" : ",") + p;
    return "使い方: pelora2-check [検査名...] [--all | --tier quick|full|soak] [オプション]\n"
           "\n"
           "段階: --tier quick（すべての検査を短く: スキャン 10 フレーム、ビデオ 2 秒、パターン checker-55,\n"
           "      checker-aa,address,random）, full（既定: --all と同じ）, soak --duration D（full を D が過ぎるまで\n"
           "      繰り返す。例 90s, 10m, 2h）。--loops N 選んだ検査を N 回繰り返す（各検査の結果は最も悪い回）。\n"
           "      段階の値より計画、計画よりコマンドラインの値が優先します\n"
           "\n"
           "検査（--all はこの順にすべて実行。dsp は --dsp のあるときだけ）:\n"
           "  open        ボードオープンと識別レジスタの読み出し\n"
           "              --board N            ボード番号（既定 0）\n"
           "  registers   レジスタ窓全体を32/16ビットで読み出し\n"
           "              --write-registers L  書き込み試験をするオフセット（例 0x50,0x54）。元の値に戻す\n"
           "  dsp         DSPプログラムのダウンロード\n"
           "              --dsp FILE           プログラムファイル\n"
           "  memory      フレームメモリの全バンク・全バイトのパターン試験\n"
           "              --banks L            バンク（既定 0,1,2,3）\n"
           "              --patterns L         パターン（既定 すべて: " + patterns + "）\n"
           "              --seed N             random パターンのシード（既定 毎回新しく、レポートに表示）\n"
           "              --preserve           メモリの内容を元に戻す\n"
           "              --record-cap N       記録する不一致の上限（既定 1000、合計は常に正確）\n"
           "  scan        エリアスキャン\n"
           "              続けて 開始・中止・再開、要求を残した中止、排他権の取得と解放、走査データセット試験\n"
           "              --frames N           フレーム数（既定 100、1〜1000000）\n"
           "              --pixels N --lines N 画素数 x ライン数（既定 1024 x 1024、ライン 1〜4096、\n"
           "                                   1ライン 8192 バイト以内）\n"
           "              --unit frame|line    転送単位（既定 frame）\n"
           "              --line-interval N    ライン単位の LineInt 間隔（既定 0 = 1フレーム）\n"
           "              --pixel-size 8|16|32 画素サイズ（既定 8 ビット）\n"
           "              --buffer driver|program  バッファ（既定 driver）\n"
           "              --reference FILE     最後のフレームを参照画像（8/16 ビット グレーの PNG）と比べる\n"
           "              --save-reference FILE  最後のフレームを参照画像として保存（合格したときだけ）\n"
           "              どちらも同じ画像が続くフレームを不合格にしません。計画の scan.referenceTolerance\n"
           "              （既定 0）: 許容する画素値の差、scan.referenceMaxShare（既定 0）: 違ってよい画素の割合\n"
           "              計画の scan.minFps（既定 20）、scan.minMBps（既定 minFps x 1フレームのバイト数）:\n"
           "              下回れば不合格。scan.maxJitterMs（既定 10）: 到着間隔のジッタ、超えれば警告\n"
           "              scan.depthSeconds（既定 6）: 要求数を変える試験 3 つの時間の上限（秒）\n"
           "  video       NTSCライブ取り込み\n"
           "              --seconds N          秒数（既定 10）\n"
           "              計画の video.minFps（既定 27）: 下回れば不合格。video.maxJitterMs（既定 10）:\n"
           "              超えれば警告。抜けはボードの失われた画像カウンタで判定します\n"
           "\n"
           "共通: --timeout MS（転送待ちの上限、既定 5000、100〜600000）, --plan FILE（JSONの検査計画）,\n"
           "      --junit FILE, --json FILE, --html FILE, --progress / --no-progress,\n"
           "      --list（実行する検査を解決済みのパラメータと上限とともに一覧）,\n"
           "      -v（検査の各段階を1行ずつ表示）, -vv（さらに各検査の数値）,\n"
           "      --strict（警告も不合格として終了コードに数える。計画の strict）\n"
           "      --require-board（シミュレーションボードのライブラリなら検査せず終了コード 3。計画の requireBoard）\n"
           "結果: ok, WARN（合格、要注意）, FAIL, SKIP（未実行とその理由）, ERROR（検査を実行できない）\n"
           "終了コード: 0 すべて合格（警告・スキップのみを含む）, 1 不合格・エラーあり, 2 使い方・計画の誤り,\n"
           "            3 ボードをオープンできない（--require-board でシミュレーションボードのときも）,\n"
           "            128+シグナル番号 中断（130 Ctrl+C, 129 SIGHUP, 143 SIGTERM）\n";
}

} // namespace check
