#include "check/CheckOptions.h"

#include "check/CheckResults.h"
#include "check/PlanWriter.h"
#include "ops/CheckedFile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

namespace check {
namespace {

constexpr std::array<const char *, 6> kNames = {"open", "registers", "dsp", "memory", "scan", "video"};

std::string ReadableFileError(const std::string &path, const char *what)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return std::string(what) + "がフォルダです: " + path;
    // A FIFO or a device would block or never end the read.
    if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec))
        return std::string(what) + "が通常のファイルではありません: " + path;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::string(what) + "を読めません: " + path;
    return {};
}

// A report is written whole through a temporary beside it: the destination must be a regular
// file or a new name, in a folder where a file can really be made.
std::string WritableFileError(const std::string &path, const char *what)
{
    if (path.empty())
        return {};
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return std::string(what) + "の出力先がフォルダです: " + path;
    switch (ops::CheckTarget(path)) {
    case ops::TargetProblem::None: return {};
    case ops::TargetProblem::NotRegular:
        return std::string(what) + "の出力先が通常のファイルではありません: " + path;
    case ops::TargetProblem::Empty: return std::string(what) + "のファイル名が空です";
    case ops::TargetProblem::FolderNotWritable: break;
    }
    return std::string(what) + "の出力先に書き込めません: " + path;
}

// No two reports into one file, and no report over the plan or the DSP program it was asked by.
std::string SharedFileError(const CheckOptions &o)
{
    const std::string plan = ResolvedPlanPath(o);
    const std::pair<const std::string *, const char *> outputs[] = {
        {&o.junitFile, "JUnitレポート"}, {&o.jsonFile, "JSONレポート"}, {&o.htmlFile, "HTMLレポート"},
        {&plan, "実行計画ファイル"}, {&o.scan.saveReferenceFile, "保存する参照画像"}};
    const std::pair<const std::string *, const char *> inputs[] = {{&o.planFile, "計画ファイル"},
                                                                   {&o.dspFile, "DSPプログラムファイル"},
                                                                   {&o.scan.referenceFile, "参照画像"}};
    for (size_t i = 0; i < std::size(outputs); ++i) {
        const std::string &path = *outputs[i].first;
        if (path.empty())
            continue;
        for (size_t j = 0; j < i; ++j)
            if (!outputs[j].first->empty() && ops::SameFile(*outputs[j].first, path))
                return std::string(outputs[j].second) + "と" + outputs[i].second + "の出力先が同じファイルです: " + path;
        for (const auto &[input, name] : inputs)
            if (!input->empty() && ops::SameFile(*input, path))
                return std::string(outputs[i].second) + "の出力先が" + name + "と同じファイルです: " + path;
    }
    return {};
}

std::string RangeError(const char *what, uint64_t value, uint64_t low, uint64_t high)
{
    return std::string(what) + "が範囲外です: " + std::to_string(value) + "（" + std::to_string(low)
           + "〜" + std::to_string(high) + "）";
}

// The reference is read here, before the board is opened: a file that cannot serve, or a picture
// of another size than the scan's, would only fail the scan after the whole run.
std::string ReferenceError(CheckOptions &o)
{
    const ScanSettings &s = o.scan;
    if (s.referenceTolerance > kMaxReferenceTolerance)
        return RangeError("参照画像の許容差", s.referenceTolerance, 0, kMaxReferenceTolerance);
    if (s.referenceMaxShare > 1)
        return "参照画像と違ってよい画素の割合が範囲外です: " + FormatNumber(s.referenceMaxShare) + "（0〜1）";
    if (!s.saveReferenceFile.empty() && s.pixelBits == 32)
        return "32 ビット画素のフレームは参照画像として保存できません（8, 16 ビット）";
    if (s.referenceFile.empty())
        return {};
    if (std::string e = ReadableFileError(s.referenceFile, "参照画像"); !e.empty())
        return e;
    std::string error;
    o.reference = {};
    if (!ops::ReadGreyPng(s.referenceFile, o.reference, error))
        return error;
    if (o.reference.pixels != s.pixels || o.reference.lines != s.lines)
        return "参照画像の大きさ " + std::to_string(o.reference.pixels) + " x " + std::to_string(o.reference.lines)
               + " がスキャンの " + std::to_string(s.pixels) + " x " + std::to_string(s.lines) + " と違います: "
               + s.referenceFile;
    if (o.reference.pixelBytes * 8 != s.pixelBits)
        return "参照画像の画素サイズ " + std::to_string(o.reference.pixelBytes * 8) + " ビットがスキャンの "
               + std::to_string(s.pixelBits) + " ビットと違います: " + s.referenceFile;
    return {};
}

} // namespace

const char *CheckName(CheckId id) { return kNames[static_cast<size_t>(id)]; }

std::optional<CheckId> CheckByName(const std::string &name)
{
    for (size_t i = 0; i < kNames.size(); ++i)
        if (name == kNames[i])
            return static_cast<CheckId>(i);
    return std::nullopt;
}

const std::vector<CheckId> &AllChecks()
{
    static const std::vector<CheckId> all = {CheckId::Open, CheckId::Registers, CheckId::Dsp,
                                             CheckId::Memory, CheckId::Scan, CheckId::Video};
    return all;
}

std::string ValidateOptions(CheckOptions &o, const std::vector<std::string> &patternNames)
{
    // The run order is fixed whatever order the names came in; --all takes the DSP download only
    // when a program file is named.
    if (o.tierGiven && o.checks.empty())
        o.all = true; // a tier alone runs every check
    if (o.tier == Tier::Soak && o.durationSeconds == 0)
        return "--tier soak には --duration で時間を指定してください（例 90s, 10m, 2h）";
    if (o.tier != Tier::Soak && o.durationSeconds != 0)
        return "--duration は --tier soak のときだけ指定できます";
    if (o.tier == Tier::Soak && o.loops != 1)
        return "--tier soak は時間で繰り返します。--loops とは同時に指定できません";
    if (o.loops < 1 || o.loops > kMaxLoops)
        return RangeError("繰り返し回数", o.loops, 1, kMaxLoops);
    std::vector<CheckId> asked = o.checks;
    if (o.all)
        for (CheckId id : AllChecks())
            if (id != CheckId::Dsp || !o.dspFile.empty())
                asked.push_back(id);
    if (asked.empty())
        return "検査が指定されていません（検査名か --all を指定してください。--list で一覧を表示します）";
    o.checks.clear();
    for (CheckId id : AllChecks())
        if (std::find(asked.begin(), asked.end(), id) != asked.end())
            o.checks.push_back(id);
    auto runs = [&](CheckId id) { return std::find(o.checks.begin(), o.checks.end(), id) != o.checks.end(); };

    if (runs(CheckId::Registers))
        for (uint32_t offset : o.writeRegisters)
            if (offset % 4 != 0 || offset > 0x120 - 4)
                return "書き込むレジスタのオフセットが不正です: " + Hex(offset, 3)
                       + "（4の倍数で 0x000〜0x11C）";
    if (runs(CheckId::Dsp)) {
        if (o.dspFile.empty())
            return "dsp 検査には --dsp でプログラムファイルを指定してください";
        if (std::string e = ReadableFileError(o.dspFile, "DSPプログラムファイル"); !e.empty())
            return e;
    }
    if (runs(CheckId::Memory)) {
        if (o.banks.empty())
            return "検査するバンクがありません";
        for (size_t i = 0; i < o.banks.size(); ++i) {
            if (o.banks[i] > 3)
                return RangeError("バンク番号", o.banks[i], 0, 3);
            if (std::find(o.banks.begin(), o.banks.begin() + i, o.banks[i]) != o.banks.begin() + i)
                return "バンク番号が重複しています: " + std::to_string(o.banks[i]);
        }
        for (const std::string &p : o.patterns)
            if (std::find(patternNames.begin(), patternNames.end(), p) == patternNames.end())
                return "不明なパターン名です: " + p;
        if (o.recordCap > kMaxRecordCap)
            return RangeError("記録数の上限", o.recordCap, 0, kMaxRecordCap);
    }
    if (runs(CheckId::Scan)) {
        const ScanSettings &s = o.scan;
        if (s.frames < 1 || s.frames > kMaxFrames)
            return RangeError("フレーム数", s.frames, 1, kMaxFrames);
        if (s.pixelBits != 8 && s.pixelBits != 16 && s.pixelBits != 32)
            return "画素サイズが不正です: " + std::to_string(s.pixelBits) + "（8, 16, 32 ビット）";
        const uint32_t maxPixels = kLinePitch / (s.pixelBits / 8);
        if (s.pixels < 1 || s.pixels > maxPixels)
            return RangeError("画素数", s.pixels, 1, maxPixels);
        if (s.lines < 1 || s.lines > kMaxScanLines)
            return RangeError("ライン数", s.lines, 1, kMaxScanLines);
        if (s.lineUnit && s.lineInterval > s.lines)
            return RangeError("LineInt間隔", s.lineInterval, 0, s.lines);
        if (s.depthSeconds < 1 || s.depthSeconds > 3600)
            return RangeError("要求数の試験の時間の上限（秒）", s.depthSeconds, 1, 3600);
        if (std::string e = ReferenceError(o); !e.empty())
            return e;
    } else if (!o.scan.referenceFile.empty() || !o.scan.saveReferenceFile.empty()) {
        return "--reference と --save-reference は scan 検査のときだけ指定できます";
    }
    if (runs(CheckId::Video) && (o.videoSeconds < 1 || o.videoSeconds > kMaxVideoSeconds))
        return RangeError("ビデオの秒数", o.videoSeconds, 1, kMaxVideoSeconds);
    if (o.timeoutMs < kMinTimeoutMs || o.timeoutMs > kMaxTimeoutMs)
        return RangeError("タイムアウト（ms）", o.timeoutMs, kMinTimeoutMs, kMaxTimeoutMs)
               + "。1フレームの間隔より長くしてください";
    if (std::string e = WritableFileError(o.junitFile, "JUnitレポート"); !e.empty())
        return e;
    if (std::string e = WritableFileError(o.jsonFile, "JSONレポート"); !e.empty())
        return e;
    if (std::string e = WritableFileError(o.htmlFile, "HTMLレポート"); !e.empty())
        return e;
    if (std::string e = WritableFileError(ResolvedPlanPath(o), "実行計画ファイル"); !e.empty())
        return e;
    if (std::string e = WritableFileError(o.scan.saveReferenceFile, "保存する参照画像"); !e.empty())
        return e;
    return SharedFileError(o);
}

} // namespace check
