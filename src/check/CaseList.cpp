#include "check/CaseList.h"

#include "check/CheckResults.h"
#include "check/MemoryCheck.h"
#include "ops/MemoryPattern.h"

#include <algorithm>

namespace check {
namespace {

std::string Row(const std::string &name, const std::string &what)
{
    std::string line = name;
    line.resize(std::max<size_t>(line.size() + 1, 30), ' ');
    return line + what + "\n";
}

std::string N(uint64_t n) { return std::to_string(n); }

} // namespace

std::string CaseListText(const CheckOptions &o)
{
    std::vector<CheckId> checks = o.checks;
    if (o.all || o.tierGiven || checks.empty())
        for (CheckId id : AllChecks())
            if (id != CheckId::Dsp || !o.dspFile.empty())
                checks.push_back(id);
    auto runs = [&](CheckId id) { return std::find(checks.begin(), checks.end(), id) != checks.end(); };

    std::string text = "tier " + std::string(TierName(o.tier));
    if (o.tier == Tier::Soak)
        text += ", duration " + (o.durationSeconds != 0 ? DurationText(o.durationSeconds) : std::string("（未指定）"));
    else
        text += ", loops " + N(o.loops);
    text += ", --timeout " + N(o.timeoutMs) + " ms" + (o.strict ? ", --strict" : "") + "\n";
    text += Row("open/board", "--board " + N(o.board));
    if (runs(CheckId::Registers)) {
        text += Row("registers/read32", "レジスタ窓全体を32ビットで読み出し");
        text += Row("registers/read16", "レジスタ窓全体を16ビットで読み出し");
        for (uint32_t offset : o.writeRegisters)
            text += Row("registers/write-" + Hex(offset, 3), "--write-registers: 書き込んで読み戻し、元の値に戻す");
    }
    if (runs(CheckId::Dsp))
        text += Row("dsp/download", "--dsp " + (o.dspFile.empty() ? std::string("（未指定）") : o.dspFile));
    if (runs(CheckId::Memory)) {
        const std::string seed = std::string(", --seed ") + (o.seed ? N(*o.seed) : "（実行時に決定）");
        const std::string common = ", --record-cap " + N(o.recordCap) + (o.preserve ? ", --preserve" : "");
        const std::vector<std::string> patterns = o.patterns.empty() ? MemoryPatternNames() : o.patterns;
        for (const std::string &p : MemoryPatternNames()) {
            if (std::find(patterns.begin(), patterns.end(), p) == patterns.end())
                continue;
            const auto pattern = ops::ParsePattern(p);
            const uint32_t passes = pattern ? ops::PatternPasses(*pattern) : 1;
            for (uint32_t bank : o.banks)
                text += Row("memory/bank" + N(bank) + "/" + p,
                            N(passes) + " パス、32 MiB" + common
                                + (p == "random" || p == "sequential-increment" ? seed : std::string()));
        }
    }
    if (runs(CheckId::Scan)) {
        const ScanSettings &s = o.scan;
        const double frameMB = double(s.pixels) * s.lines * (s.pixelBits / 8) / 1e6;
        text += Row("scan/area", "--frames " + N(s.frames) + " --pixels " + N(s.pixels) + " --lines " + N(s.lines)
                                     + " --unit " + (s.lineUnit ? "line" : "frame") + " --pixel-size " + N(s.pixelBits)
                                     + " --buffer " + (s.programBuffer ? "program" : "driver")
                                     + (s.lineUnit ? " --line-interval " + N(s.lineInterval) : "") + "; minFps "
                                     + FormatNumber(s.limits.minFps) + ", minMBps "
                                     + FormatNumber(s.limits.minMBps.value_or(s.limits.minFps * frameMB))
                                     + ", maxJitterMs " + FormatNumber(s.limits.maxJitterMs)
                                     + (s.referenceFile.empty() ? "" : "; --reference " + s.referenceFile
                                            + ", referenceTolerance " + N(s.referenceTolerance)
                                            + ", referenceMaxShare " + FormatNumber(s.referenceMaxShare))
                                     + (s.saveReferenceFile.empty() ? "" : "; --save-reference " + s.saveReferenceFile));
        text += Row("scan/cycles", "開始・中止・再開 3 回");
        text += Row("scan/queued-stop", "要求 8 件を残して中止");
        for (const char *depth : {"driver", "program", "line"})
            text += Row(std::string("scan/depth/") + depth, "256 x 64、要求 1〜89 件で各 3 フレーム（上限 " + N(s.depthSeconds) + " s）");
        text += Row("exclusive/right", "排他権の取得と解放");
        text += Row("scandata/sequence", "走査データセット試験");
    }
    if (runs(CheckId::Video))
        text += Row("video/live", "--seconds " + N(o.videoSeconds) + "; minFps " + FormatNumber(o.videoLimits.minFps)
                                      + ", maxJitterMs " + FormatNumber(o.videoLimits.maxJitterMs));
    return text;
}

} // namespace check
