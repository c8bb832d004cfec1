#include "Injector.h"

#include <algorithm>

namespace sim {

Injector &Injector::instance()
{
    static Injector injector;
    return injector;
}

void Injector::add(int op, bool match, uint32_t firstArg, int32_t result, int32_t times)
{
    std::lock_guard lock(mutex_);
    // A new rule for the same operation and match replaces the old one.
    std::erase_if(rules_, [&](const Rule &r) {
        return r.op == op && r.match == match && (!match || r.firstArg == firstArg);
    });
    if (times != 0)
        rules_.push_back(Rule{op, match, firstArg, result, times});
}

void Injector::clear()
{
    std::lock_guard lock(mutex_);
    rules_.clear();
}

bool Injector::has(int op, int32_t result)
{
    std::lock_guard lock(mutex_);
    return std::any_of(rules_.begin(), rules_.end(), [&](const Rule &r) {
        return r.op == op && !r.match && r.result == result;
    });
}

void Injector::removeIf(int op, int32_t result)
{
    std::lock_guard lock(mutex_);
    std::erase_if(rules_,
                  [&](const Rule &r) { return r.op == op && !r.match && r.result == result; });
}

std::optional<int32_t> Injector::take(int op, uint32_t firstArg)
{
    std::lock_guard lock(mutex_);
    // Rules narrowed to an argument win over rules for the whole operation.
    auto pick = [&](bool match) -> std::optional<int32_t> {
        for (auto it = rules_.begin(); it != rules_.end(); ++it) {
            if (it->op != op || it->match != match || (match && it->firstArg != firstArg))
                continue;
            const int32_t result = it->result;
            if (it->remaining > 0 && --it->remaining == 0)
                rules_.erase(it);
            return result;
        }
        return std::nullopt;
    };
    if (auto r = pick(true))
        return r;
    return pick(false);
}

} // namespace sim
