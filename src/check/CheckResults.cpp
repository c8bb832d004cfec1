#include "check/CheckResults.h"

#include <cmath>
#include <cstdio>

namespace check {

void CaseResult::Set(const std::string &key, double value) { Set(key, FormatNumber(value)); }

void CaseResult::SetHex(const std::string &key, uint32_t value) { Set(key, Hex(value)); }

void CaseResult::Fail(std::string why)
{
    if (why.empty())
        return;
    passed = false;
    if (diagnosis.empty())
        diagnosis = std::move(why);
    else if (!why.empty())
        diagnosis += "、" + why;
}

int RunResults::passed() const
{
    int n = 0;
    for (const CaseResult &c : cases)
        n += c.passed ? 1 : 0;
    return n;
}

int RunResults::failed() const { return static_cast<int>(cases.size()) - passed(); }

std::string FormatNumber(double value)
{
    if (!std::isfinite(value))
        return "0";
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", value);
    std::string s = text;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return s == "-0" ? "0" : s;
}

std::string Hex(uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

} // namespace check
