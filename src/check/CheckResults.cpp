#include "check/CheckResults.h"

#include <cmath>
#include <cstdio>

namespace check {

void CaseResult::Set(const std::string &key, double value) { Set(key, FormatNumber(value)); }

void CaseResult::SetHex(const std::string &key, uint32_t value) { Set(key, Hex(value)); }

namespace {

void Append(std::string &text, std::string why)
{
    if (text.empty())
        text = std::move(why);
    else
        text += "、" + why;
}

} // namespace

const char *OutcomeName(Outcome o)
{
    switch (o) {
    case Outcome::Pass: return "pass";
    case Outcome::Warn: return "warn";
    case Outcome::Fail: return "fail";
    case Outcome::Skip: return "skip";
    case Outcome::Error: return "error";
    }
    return "error";
}

const char *SkipKindName(SkipKind k)
{
    switch (k) {
    case SkipKind::None: return "";
    case SkipKind::NotAsked: return "not-asked";
    case SkipKind::NotSupported: return "not-supported";
    case SkipKind::EarlierFailure: return "earlier-failure";
    case SkipKind::Interrupted: return "interrupted";
    }
    return "";
}

void CaseResult::Fail(std::string why)
{
    if (why.empty())
        return;
    if (outcome != Outcome::Error)
        outcome = Outcome::Fail;
    Append(diagnosis, std::move(why));
}

void CaseResult::Error(std::string why)
{
    if (why.empty())
        return;
    outcome = Outcome::Error;
    Append(diagnosis, std::move(why));
}

void CaseResult::Warn(std::string why)
{
    if (why.empty())
        return;
    if (outcome == Outcome::Pass)
        outcome = Outcome::Warn;
    Append(warning, std::move(why));
}

void CaseResult::Skip(SkipKind kind, std::string why)
{
    outcome = Outcome::Skip;
    skipKind = kind;
    diagnosis = std::move(why);
}

CaseResult SkippedCase(std::string name, SkipKind kind, std::string why)
{
    CaseResult c;
    c.name = std::move(name);
    c.Skip(kind, std::move(why));
    return c;
}

int RunResults::count(Outcome o) const
{
    int n = 0;
    for (const CaseResult &c : cases)
        n += c.outcome == o ? 1 : 0;
    return n;
}

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
