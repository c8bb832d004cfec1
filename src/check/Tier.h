// Tiers and loops: how much of the board a run covers and how often. `quick` runs every check
// with smaller parameters (a short scan and video, the patterns that find stuck bits and address
// faults), `full` today's whole set with its defaults, `soak` repeats `full` until a duration has
// passed. --loops repeats the chosen set a number of times.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace check {

enum class Tier { Quick, Full, Soak };

const char *TierName(Tier tier); // "quick", "full", "soak"
std::optional<Tier> TierByName(const std::string &name);

// What quick changes; full and soak keep the defaults.
constexpr uint32_t kQuickScanFrames = 10;
constexpr uint32_t kQuickVideoSeconds = 2;
const std::vector<std::string> &QuickPatterns(); // checker-55, checker-aa, address, random

constexpr uint32_t kMaxLoops = 1000000;
constexpr uint64_t kMaxDurationSeconds = 30ull * 24 * 3600; // 30 days

// "90", "90s", "10m", "2h", "1d": whole seconds from 1 up to 30 days; empty when malformed or
// out of range.
std::optional<uint64_t> ParseDuration(const std::string &text);
// Seconds as the plan and the reports write them: "5400s".
std::string DurationText(uint64_t seconds);

} // namespace check
