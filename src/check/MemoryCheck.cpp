#include "check/MemoryCheck.h"

#include "ops/MemoryPattern.h"
#include "ops/MemoryTest.h"
#include "ops/MismatchTally.h"

#include <algorithm>
#include <random>

namespace check {
namespace {

using ops::MemoryPattern;

constexpr auto &kPatterns = ops::kAllMemoryPatterns;

uint64_t FreshSeed()
{
    std::random_device device;
    return (uint64_t(device()) << 32) | device();
}

MemoryFinding Finding(const ops::BankTally &t, const std::string &pattern)
{
    MemoryFinding f;
    f.bank = t.bank;
    f.pattern = pattern;
    f.checked = t.checked;
    f.errors = t.errors;
    f.stuckAtZero = t.stuckAtZero();
    f.stuckAtOne = t.stuckAtOne();
    f.addressBitsDiffer = t.addressBitsDiffer;
    f.capped = t.capped;
    for (const ops::MismatchRecord &r : t.records)
        f.records.push_back({r.offset, r.wrote, r.read});
    if (t.errors != 0)
        f.blockErrors.assign(t.blockErrors.begin(), t.blockErrors.end());
    return f;
}

// A case for every bank the pattern was to test, when the pattern ended before it could judge
// them (a board call failed: Fail; Ctrl+C: Error) or never began (Skip).
void EveryBank(CheckContext &ctx, const std::string &pattern, Outcome outcome, const std::string &why, double seconds)
{
    for (uint32_t bank : ctx.options.banks) {
        CaseResult c;
        c.name = "memory/bank" + std::to_string(bank) + "/" + pattern;
        if (outcome == Outcome::Skip)
            c.Skip(SkipKind::Interrupted, why);
        else if (outcome == Outcome::Error)
            c.Error(why);
        else
            c.Fail(why);
        c.seconds = seconds;
        ctx.Add(std::move(c));
    }
}

// The patterns from `first` on, which an interruption left unrun.
void SkipRest(CheckContext &ctx, const std::vector<MemoryPattern> &patterns, size_t first)
{
    for (size_t i = first; i < patterns.size(); ++i)
        EveryBank(ctx, std::string(ops::PatternName(patterns[i])), Outcome::Skip, "中断されたため実行していません", 0);
}

} // namespace

std::vector<std::string> MemoryPatternNames()
{
    std::vector<std::string> names;
    for (MemoryPattern p : kPatterns)
        names.emplace_back(ops::PatternName(p));
    return names;
}

void RunMemoryCheck(CheckContext &ctx)
{
    const CheckOptions &o = ctx.options;
    // One seed for the run: every loop writes the same random pattern, and --seed replays them all.
    const uint64_t seed = ctx.results.memoryRan ? ctx.results.memorySeed : o.seed.value_or(FreshSeed());
    ctx.results.memorySeed = seed;
    ctx.results.memoryRan = true;
    std::vector<MemoryPattern> patterns;
    for (MemoryPattern p : kPatterns)
        if (o.patterns.empty()
            || std::find(o.patterns.begin(), o.patterns.end(), std::string(ops::PatternName(p))) != o.patterns.end())
            patterns.push_back(p);

    uint64_t kept = 0; // mismatch records kept so far in this run
    for (size_t i = 0; i < patterns.size(); ++i) {
        if (ctx.cancelled()) {
            SkipRest(ctx, patterns, i);
            return;
        }
        const std::string name(ops::PatternName(patterns[i]));
        const std::string seedText = "シード " + std::to_string(seed);
        ops::MemoryTestOptions options;
        options.banks = o.banks;
        options.seed = seed;
        options.preserve = o.preserve;
        // What is left of the run's budget, shared by this pattern's banks; the counts stay exact.
        const uint64_t share = (o.recordBudget - std::min(o.recordBudget, kept)) / std::max<size_t>(1, o.banks.size());
        options.recordCap = static_cast<uint32_t>(std::min<uint64_t>(o.recordCap, share));
        options.cancelled = [&ctx] { return ctx.cancelled(); };
        options.progress = [&ctx](double fraction) { ctx.progress.Update(fraction); };
        const uint32_t passes = ops::PatternPasses(patterns[i]);
        options.passChecked = [&ctx, &name, passes](uint32_t bank, uint32_t pass, uint64_t errors) {
            ctx.terminal.PrintStep("memory/bank" + std::to_string(bank) + "/" + name + ": パス " + std::to_string(pass + 1)
                                   + "/" + std::to_string(passes) + " 書き込みと照合、不一致 " + std::to_string(errors));
        };
        ctx.progress.Begin("memory/" + name);
        const ops::MemoryPatternReport report = ops::RunMemoryPattern(ctx.board(), patterns[i], options);
        if (ctx.cancelled()) {
            EveryBank(ctx, name, Outcome::Error, "中断されました", report.seconds);
            SkipRest(ctx, patterns, i + 1);
            return;
        }
        if (!report.result.ok()) {
            // No work memory: the check could not run; any other step is the board's failure.
            EveryBank(ctx, name, report.result.step == "buffer" ? Outcome::Error : Outcome::Fail,
                      report.result.message + "（" + report.result.step + "、" + StatusText(report.result.status) + "）",
                      report.seconds);
            continue;
        }
        for (const ops::BankTally &tally : report.banks) {
            CaseResult c;
            c.name = "memory/bank" + std::to_string(tally.bank) + "/" + name;
            c.seconds = report.seconds / std::max<size_t>(1, report.banks.size());
            c.Set("bank", tally.bank);
            c.Set("pattern", name);
            c.Set("passes", ops::PatternPasses(patterns[i]));
            c.Set("checked", tally.checked);
            c.Set("errors", tally.errors);
            c.SetHex("stuckAtZero", tally.stuckAtZero());
            c.SetHex("stuckAtOne", tally.stuckAtOne());
            c.SetHex("addressBitsDiffer", tally.addressBitsDiffer);
            c.Set("records", static_cast<uint64_t>(tally.records.size()));
            c.Set("capped", tally.capped ? "true" : "false");
            if (patterns[i] == MemoryPattern::Random) {
                c.Set("seed", seed);
                c.note = seedText;
            }
            if (tally.errors != 0) {
                std::string why = ops::DescribeBank(tally, patterns[i]);
                if (why.empty())
                    why = "不一致 " + std::to_string(tally.errors) + " 件";
                c.Fail(patterns[i] == MemoryPattern::Random ? why + "（" + seedText + "）" : why);
            }
            kept += tally.records.size();
            ctx.results.memory.push_back(Finding(tally, name));
            ctx.Add(std::move(c));
        }
    }
}

} // namespace check
