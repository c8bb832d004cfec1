// How the board library's callback threads reach one kind of tool, and how the tool's close
// keeps them out before it releases anything.
//
// A callback counts itself in before it reads the tool's process-wide pointer and out when it
// has finished with the tool (a Visit). The close clears the pointer first, then waits, pumping
// UI events (a callback may be waiting for the UI thread in a box or a send), until no callback
// is inside; only then may the tool release its buffers, surfaces and workers.
#pragma once

#include "framework/UiThread.h"

#include <atomic>

namespace session {

template <class Tool>
class ToolGate {
public:
    explicit ToolGate(std::atomic<Tool *> &pointer) : pointer_(pointer) {}
    ToolGate(const ToolGate &) = delete;
    ToolGate &operator=(const ToolGate &) = delete;

    // Scope of one callback's visit (any thread). tool() is null when no tool is open.
    class Visit {
    public:
        explicit Visit(ToolGate &gate) : gate_(gate)
        {
            gate_.inside_.fetch_add(1, std::memory_order_seq_cst);
            tool_ = gate_.pointer_.load(std::memory_order_seq_cst);
        }
        ~Visit()
        {
            // Only a close waits for the count, and only after it has shut the gate: the last
            // callback out of a shut gate wakes it. Waking the UI thread on every callback would
            // cost the hook dearly while the UI waits for anything else.
            const int left = gate_.inside_.fetch_sub(1, std::memory_order_seq_cst) - 1;
            if (left == 0 && gate_.pointer_.load(std::memory_order_seq_cst) == nullptr)
                fw::NotifyUiWaiters();
        }
        Visit(const Visit &) = delete;
        Visit &operator=(const Visit &) = delete;
        Tool *tool() const { return tool_; }

    private:
        ToolGate &gate_;
        Tool *tool_;
    };

    // UI thread, at the end of the tool's initialisation: callbacks find it from now on.
    void Open(Tool *tool) { pointer_.store(tool, std::memory_order_seq_cst); }

    // UI thread, the close's first step: no callback finds the tool any more (a pointer to
    // another tool is left alone).
    void Shut(Tool *tool)
    {
        Tool *expected = tool;
        pointer_.compare_exchange_strong(expected, nullptr, std::memory_order_seq_cst);
    }
    // UI thread, after Shut: returns once no callback is inside, pumping UI events meanwhile.
    void WaitUntilNoneInside()
    {
        fw::PumpingWaitUntil([this] { return !Busy(); });
    }

    // True while any callback is inside (any thread).
    bool Busy() const { return inside_.load(std::memory_order_seq_cst) != 0; }

private:
    std::atomic<Tool *> &pointer_;
    std::atomic<int> inside_{0};
};

} // namespace session
