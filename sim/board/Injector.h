// Injected results: makes an operation answer a chosen status without doing its work.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace sim {

class Injector {
public:
    static Injector &instance();

    // Any thread. times < 0: always; times == 0 removes matching rules.
    void add(int op, bool match, uint32_t firstArg, int32_t result, int32_t times);
    void clear();
    // A rule for the whole operation answering `result` is in place / is removed (a rule that
    // answers something else was set after it and stays).
    bool has(int op, int32_t result);
    void removeIf(int op, int32_t result);
    // The result to answer instead of doing the work, if a rule applies (consumes one use).
    std::optional<int32_t> take(int op, uint32_t firstArg);

private:
    struct Rule {
        int op;
        bool match; // only when the first argument after the handle equals firstArg
        uint32_t firstArg;
        int32_t result;
        int32_t remaining; // < 0: always
    };
    std::mutex mutex_; // guards rules_
    std::vector<Rule> rules_;
};

} // namespace sim
