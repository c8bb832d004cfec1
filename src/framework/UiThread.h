// Reaching the UI thread from other threads, and waiting on the UI thread without freezing it.
// Work is handed over through a mutex-guarded queue; a Qt event only wakes the UI thread.
#pragma once

#include <chrono>
#include <functional>

namespace fw {

// Call once on the UI thread after the QApplication exists.
void initUiThread();
bool IsUiThread();

// Any thread: queue fn to run on the UI thread. False once the UI queue has shut down.
bool PostToUi(std::function<void()> fn);
// Any thread: run fn on the UI thread and wait until it has returned (inline on the UI thread).
// False when it could not run (the UI queue has shut down).
bool SendToUi(std::function<void()> fn);

// UI thread: process events (and the UI queue) until done() is true or timeoutMs passes
// (-1: no limit). Returns done(). Between looks at done() the thread sleeps until an event
// arrives or NotifyUiWaiters is called; a change that nobody notifies is seen after a short
// safety interval.
bool PumpingWaitUntil(const std::function<bool()> &done, int timeoutMs = -1);
// Any thread: wakes the pumping waits of the UI thread to look at their conditions now. Call it
// after changing what a wait may be waiting for (a flag, a count, a released lock). Cheap when
// nobody waits.
void NotifyUiWaiters();
// Calls NotifyUiWaiters when the scope ends; declared before a lock or counter guard, it wakes
// the waiter after that has been released.
struct NotifyUiWaitersOnExit {
    NotifyUiWaitersOnExit() = default;
    NotifyUiWaitersOnExit(const NotifyUiWaitersOnExit &) = delete;
    NotifyUiWaitersOnExit &operator=(const NotifyUiWaitersOnExit &) = delete;
    ~NotifyUiWaitersOnExit() { NotifyUiWaiters(); }
};

// Runs fn to its end. On the UI thread fn runs on a helper thread while the UI thread keeps
// processing events: for calls that wait on other threads which may themselves need the UI thread
// (closing the board waits for its callbacks, and a callback may be showing a message box).
void RunWhilePumping(const std::function<void()> &fn);
// UI thread: process events until the given time (to the millisecond), or for about ms.
void PumpEventsUntil(std::chrono::steady_clock::time_point until);
void PumpEventsFor(int ms);
// UI thread: run what is queued for the UI thread now.
void DrainUiQueue();

// The longest a pumping wait sleeps before it looks at its condition unasked (50 ms). Returns
// the previous value. Tests make it long to see that notifications alone wake a wait.
int setPumpingWaitSafetyMs(int ms);

// Ends the UI queue: later posts and sends fail at once. Called when the program ends.
void shutdownUiThread();

} // namespace fw
