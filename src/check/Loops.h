// A run of several loops (--loops, soak): each loop's cases folded into one case per name, its
// outcome the worst of the loops, and the memory findings of the loops added up per bank and
// pattern.
#pragma once

#include "check/CheckResults.h"

#include <cstdint>
#include <string>
#include <vector>

namespace check {

// Pass < Skip < Warn < Fail < Error: a skip in one loop never hides another loop's warning.
int OutcomeRank(Outcome o);

// One case per name, in the order first run. A case of several loops keeps the figures of its
// worst loop (the first one when several are as bad), the sum of the loops' times, and says
// which loop its reason comes from; "loops" and "loopOutcomes" (e.g. "pass,fail,pass") are
// added to its figures.
std::vector<CaseResult> MergeLoops(const std::vector<std::vector<CaseResult>> &loops);

// Findings of one bank and pattern from several loops as one: counts added, the records up to
// the first finding's cap, the stuck bits those the loops agree on.
std::vector<MemoryFinding> MergeFindings(std::vector<MemoryFinding> findings);

// The line a loop ends with on the terminal, e.g.
//   loop 2/5: total 45, passed 44, ... (19.4 s)
//   loop 7: total 45, passed 44, ... (19.4 s, 133 of 600 s)      (soak)
std::string LoopLine(uint32_t loop, uint32_t loops, const std::vector<CaseResult> &cases, double seconds,
                     double elapsed, uint64_t durationSeconds);

} // namespace check
