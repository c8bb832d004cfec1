#include "check/Tier.h"

#include "check/CheckOptions.h"
#include "check/CommandLine.h"

namespace check {

const char *TierName(Tier tier)
{
    switch (tier) {
    case Tier::Quick: return "quick";
    case Tier::Full: return "full";
    case Tier::Soak: return "soak";
    }
    return "full";
}

std::optional<Tier> TierByName(const std::string &name)
{
    for (Tier t : {Tier::Quick, Tier::Full, Tier::Soak})
        if (name == TierName(t))
            return t;
    return std::nullopt;
}

const std::vector<std::string> &QuickPatterns()
{
    // 55 and AA hold every data bit both ways; address and random find address faults.
    static const std::vector<std::string> patterns = {"checker-55", "checker-aa", "address", "random"};
    return patterns;
}

void ApplyTier(Tier tier, CheckOptions &o)
{
    o.tier = tier;
    o.tierGiven = true;
    if (tier != Tier::Quick)
        return;
    o.scan.frames = kQuickScanFrames;
    o.videoSeconds = kQuickVideoSeconds;
    o.patterns = QuickPatterns();
}

std::optional<uint64_t> ParseDuration(const std::string &text)
{
    if (text.empty())
        return std::nullopt;
    uint64_t unit = 1;
    std::string digits = text;
    switch (text.back()) {
    case 's': unit = 1; break;
    case 'm': unit = 60; break;
    case 'h': unit = 3600; break;
    case 'd': unit = 86400; break;
    default: digits += ' '; break; // no unit: seconds
    }
    digits.pop_back();
    // Plain decimal digits only: no sign, no hex, no white space.
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9)
        return std::nullopt;
    const std::optional<uint64_t> n = ParseNumber(digits);
    if (!n || *n == 0 || *n > kMaxDurationSeconds / unit)
        return std::nullopt;
    return *n * unit;
}

std::string DurationText(uint64_t seconds) { return std::to_string(seconds) + "s"; }

} // namespace check
