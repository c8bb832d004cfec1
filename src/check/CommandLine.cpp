#include "check/CommandLine.h"

#include "check/Plan.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>

namespace check {
namespace {

std::vector<std::string> Split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    return parts;
}

// Stores a parsed value; answers an error line or empty.
using Setter = std::function<std::string(CheckOptions &, const std::string &)>;

Setter Unsigned(uint32_t CheckOptions::*field, const char *what)
{
    return [field, what](CheckOptions &o, const std::string &v) -> std::string {
        const auto n = ParseNumber(v);
        if (!n || *n > 0xFFFFFFFFu)
            return std::string(what) + "が数値ではありません: " + v;
        o.*field = static_cast<uint32_t>(*n);
        return {};
    };
}

Setter ScanUnsigned(uint32_t ScanSettings::*field, const char *what)
{
    return [field, what](CheckOptions &o, const std::string &v) -> std::string {
        const auto n = ParseNumber(v);
        if (!n || *n > 0xFFFFFFFFu)
            return std::string(what) + "が数値ではありません: " + v;
        o.scan.*field = static_cast<uint32_t>(*n);
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

Setter NumberList(std::vector<uint32_t> CheckOptions::*field, const char *what)
{
    return [field, what](CheckOptions &o, const std::string &v) -> std::string {
        const auto list = ParseNumberList(v);
        if (!list)
            return std::string(what) + "が数値の並びではありません: " + v;
        (o.*field).clear();
        for (uint64_t n : *list) {
            if (n > 0xFFFFFFFFu)
                return std::string(what) + "が大きすぎます: " + v;
            (o.*field).push_back(static_cast<uint32_t>(n));
        }
        return {};
    };
}

// Options that take a value.
const std::map<std::string, Setter> &ValueOptions()
{
    static const std::map<std::string, Setter> options = {
        {"--board", Unsigned(&CheckOptions::board, "ボード番号")},
        {"--write-registers", NumberList(&CheckOptions::writeRegisters, "レジスタのオフセット")},
        {"--dsp", Text(&CheckOptions::dspFile)},
        {"--banks", NumberList(&CheckOptions::banks, "バンク番号")},
        {"--patterns", [](CheckOptions &o, const std::string &v) -> std::string {
             o.patterns = Split(v, ',');
             return {};
         }},
        {"--seed", [](CheckOptions &o, const std::string &v) -> std::string {
             const auto n = ParseNumber(v);
             if (!n)
                 return "シードが数値ではありません: " + v;
             o.seed = *n;
             return {};
         }},
        {"--record-cap", Unsigned(&CheckOptions::recordCap, "記録数の上限")},
        {"--frames", ScanUnsigned(&ScanSettings::frames, "フレーム数")},
        {"--pixels", ScanUnsigned(&ScanSettings::pixels, "画素数")},
        {"--lines", ScanUnsigned(&ScanSettings::lines, "ライン数")},
        {"--pixel-size", ScanUnsigned(&ScanSettings::pixelBits, "画素サイズ")},
        {"--line-interval", ScanUnsigned(&ScanSettings::lineInterval, "LineInt間隔")},
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
        {"--seconds", Unsigned(&CheckOptions::videoSeconds, "ビデオの秒数")},
        {"--timeout", Unsigned(&CheckOptions::timeoutMs, "タイムアウト")},
        {"--junit", Text(&CheckOptions::junitFile)},
        {"--json", Text(&CheckOptions::jsonFile)},
        {"--html", Text(&CheckOptions::htmlFile)},
        {"--plan", Text(&CheckOptions::planFile)},
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
        {"--progress", [](CheckOptions &o) { o.progress = true; }},
        {"--no-progress", [](CheckOptions &o) { o.progress = false; }},
    };
    return flags;
}

} // namespace

std::optional<uint64_t> ParseNumber(const std::string &text)
{
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ')
        return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char *begin = text.c_str() + (hex ? 2 : 0);
    if (*begin == '\0' || *begin == '-' || *begin == '+' || *begin == ' ')
        return std::nullopt;
    char *end = nullptr;
    errno = 0;
    const unsigned long long n = std::strtoull(begin, &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0')
        return std::nullopt;
    return static_cast<uint64_t>(n);
}

std::optional<std::vector<uint64_t>> ParseNumberList(const std::string &text)
{
    std::vector<uint64_t> list;
    for (const std::string &part : Split(text, ',')) {
        const auto n = ParseNumber(part);
        if (!n)
            return std::nullopt;
        list.push_back(*n);
    }
    if (list.empty())
        return std::nullopt;
    return list;
}

std::string ParseCommandLine(const std::vector<std::string> &args, CheckOptions &options)
{
    // A plan gives the base; what the command line says on top of it wins.
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

std::string ListText(const std::vector<std::string> &patternNames)
{
    std::string patterns;
    for (const std::string &p : patternNames)
        patterns += (patterns.empty() ? "" : ",") + p;
    return "使い方: pelora2-check [検査名...] [--all] [オプション]\n"
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
           "              --frames N           フレーム数（既定 100、1〜1000000）\n"
           "              --pixels N --lines N 画素数 x ライン数（既定 1024 x 1024、ライン 1〜4096、\n"
           "                                   1ライン 8192 バイト以内）\n"
           "              --unit frame|line    転送単位（既定 frame）\n"
           "              --line-interval N    ライン単位の LineInt 間隔（既定 0 = 1フレーム）\n"
           "              --pixel-size 8|16|32 画素サイズ（既定 8 ビット）\n"
           "              --buffer driver|program  バッファ（既定 driver）\n"
           "  video       NTSCライブ取り込み\n"
           "              --seconds N          秒数（既定 10）\n"
           "\n"
           "共通: --timeout MS（転送待ちの上限、既定 5000）, --plan FILE（JSONの検査計画）,\n"
           "      --junit FILE, --json FILE, --html FILE, --progress / --no-progress, --list\n"
           "終了コード: 0 すべて合格, 1 不合格あり, 2 使い方・計画の誤り, 3 ボードをオープンできない,\n"
           "            130 中断（Ctrl+C）\n";
}

} // namespace check
