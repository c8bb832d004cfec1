#include "Journal.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace sim {

Journal &Journal::instance()
{
    static Journal journal;
    return journal;
}

uint64_t Journal::now()
{
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

void Journal::record(int op, std::initializer_list<uint64_t> args, int32_t result, uint64_t timeNs)
{
    SimCall call{};
    call.op = op;
    for (uint64_t a : args) {
        if (call.argCount == 10)
            break;
        call.args[call.argCount++] = a;
    }
    call.result = result;
    call.timeNs = timeNs;
    // PELORA_SIM_TRACE=1 prints every call, for developers watching the program by hand.
    static const bool trace = [] {
        const char *v = std::getenv("PELORA_SIM_TRACE");
        return v != nullptr && *v != '\0' && *v != '0';
    }();
    if (trace) {
        // One write per line: calls of several threads must not interleave within a line.
        char line[512];
        int n = std::snprintf(line, sizeof line, "[sim] %s(", SimOpName(op));
        for (int i = 0; i < call.argCount; ++i)
            n += std::snprintf(line + n, sizeof line - n, i == 0 ? "0x%llx" : ", 0x%llx",
                               static_cast<unsigned long long>(call.args[i]));
        std::snprintf(line + n, sizeof line - n, ") = %d\n", static_cast<int>(result));
        std::fputs(line, stderr);
    }
    std::lock_guard lock(mutex_);
    if (calls_.size() == kCapacity)
        calls_.pop_front();
    calls_.push_back(call);
}

size_t Journal::count()
{
    std::lock_guard lock(mutex_);
    return calls_.size();
}

bool Journal::entry(size_t index, SimCall *out)
{
    std::lock_guard lock(mutex_);
    if (out == nullptr || index >= calls_.size())
        return false;
    *out = calls_[index];
    return true;
}

void Journal::clear()
{
    std::lock_guard lock(mutex_);
    calls_.clear();
}

} // namespace sim
