#include "check/Loops.h"

#include "check/TerminalReport.h"

#include <algorithm>
#include <map>

namespace check {

int OutcomeRank(Outcome o)
{
    switch (o) {
    case Outcome::Pass: return 0;
    case Outcome::Skip: return 1;
    case Outcome::Warn: return 2;
    case Outcome::Fail: return 3;
    case Outcome::Error: return 4;
    }
    return 4;
}

std::vector<CaseResult> MergeLoops(const std::vector<std::vector<CaseResult>> &loops)
{
    std::vector<std::string> order;
    std::map<std::string, std::vector<const CaseResult *>> byName; // one slot per loop
    for (size_t loop = 0; loop < loops.size(); ++loop)
        for (const CaseResult &c : loops[loop]) {
            auto [it, added] = byName.try_emplace(c.name, loops.size(), nullptr);
            if (added)
                order.push_back(c.name);
            if (!it->second[loop]) // a name twice in one loop: the first stands
                it->second[loop] = &c;
        }
    std::vector<CaseResult> merged;
    for (const std::string &name : order) {
        const std::vector<const CaseResult *> &runs = byName[name];
        size_t worst = loops.size();
        double seconds = 0;
        std::string outcomes;
        for (size_t loop = 0; loop < runs.size(); ++loop) {
            outcomes += std::string(outcomes.empty() ? "" : ",") + (runs[loop] ? OutcomeName(runs[loop]->outcome) : "-");
            if (!runs[loop])
                continue;
            seconds += runs[loop]->seconds;
            if (worst == loops.size() || OutcomeRank(runs[loop]->outcome) > OutcomeRank(runs[worst]->outcome))
                worst = loop;
        }
        CaseResult c = *runs[worst];
        c.seconds = seconds;
        if (loops.size() > 1 && OutcomeRank(c.outcome) >= OutcomeRank(Outcome::Warn)) {
            const size_t same = std::count_if(runs.begin(), runs.end(), [&](const CaseResult *r) {
                return r && r->outcome == c.outcome;
            });
            std::string &reason = c.outcome == Outcome::Warn ? c.warning : c.diagnosis;
            reason = "ループ " + std::to_string(worst + 1) + ": " + reason;
            if (same > 1)
                reason += "（" + std::to_string(loops.size()) + " ループ中 " + std::to_string(same) + " ループ）";
        }
        if (loops.size() > 1) {
            c.Set("loops", static_cast<uint64_t>(loops.size()));
            c.Set("loopOutcomes", outcomes);
        }
        merged.push_back(std::move(c));
    }
    return merged;
}

std::vector<MemoryFinding> MergeFindings(std::vector<MemoryFinding> findings)
{
    std::vector<MemoryFinding> merged;
    for (MemoryFinding &f : findings) {
        auto same = std::find_if(merged.begin(), merged.end(), [&f](const MemoryFinding &m) {
            return m.bank == f.bank && m.pattern == f.pattern;
        });
        if (same == merged.end()) {
            merged.push_back(std::move(f));
            continue;
        }
        // A bit stuck in one failing loop and sound in another failing one is not stuck.
        if (same->errors == 0) {
            same->stuckAtZero = f.stuckAtZero;
            same->stuckAtOne = f.stuckAtOne;
        } else if (f.errors != 0) {
            same->stuckAtZero &= f.stuckAtZero;
            same->stuckAtOne &= f.stuckAtOne;
        }
        same->checked += f.checked;
        same->errors += f.errors;
        same->addressBitsDiffer |= f.addressBitsDiffer;
        const size_t cap = std::max(same->records.size(), f.records.size());
        for (const MemoryRecord &r : f.records)
            if (same->records.size() < cap)
                same->records.push_back(r);
        same->capped = same->capped || f.capped || same->records.size() < same->errors;
        if (same->blockErrors.size() < f.blockErrors.size())
            same->blockErrors.resize(f.blockErrors.size());
        for (size_t b = 0; b < f.blockErrors.size(); ++b)
            same->blockErrors[b] += f.blockErrors[b];
    }
    return merged;
}

std::string LoopLine(uint32_t loop, uint32_t loops, const std::vector<CaseResult> &cases, double seconds,
                     double elapsed, uint64_t durationSeconds)
{
    RunResults r;
    r.cases = cases;
    std::string line = "loop " + std::to_string(loop) + (durationSeconds != 0 ? "" : "/" + std::to_string(loops))
                       + ": " + TotalLine(r) + " (" + FormatNumber(seconds) + " s";
    if (durationSeconds != 0)
        line += ", " + FormatNumber(elapsed) + " of " + std::to_string(durationSeconds) + " s";
    return line + ")";
}

} // namespace check
