// Journal of every call of the board library with its arguments and result.
#pragma once

#include "simctl.h"

#include <cstddef>
#include <deque>
#include <initializer_list>
#include <mutex>

namespace sim {

class Journal {
public:
    static Journal &instance();

    // Any thread.
    void record(int op, std::initializer_list<uint64_t> args, int32_t result, uint64_t timeNs);
    static uint64_t now();
    size_t count();
    bool entry(size_t index, SimCall *out);
    void clear();

private:
    static constexpr size_t kCapacity = 100000; // oldest entries go first beyond this
    std::mutex mutex_;                          // guards calls_
    std::deque<SimCall> calls_;
};

// Argument helpers for the journal.
inline uint64_t arg(const void *p)
{
    return reinterpret_cast<uintptr_t>(p);
}
template <typename F> inline uint64_t argFn(F *f)
{
    return reinterpret_cast<uintptr_t>(f);
}

} // namespace sim
