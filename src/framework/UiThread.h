// Reaching the UI thread from other threads, and waiting on the UI thread without freezing it.
// Work is handed over through a mutex-guarded queue; a Qt event only wakes the UI thread.
#pragma once

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
// (-1: no limit). Returns done().
bool PumpingWaitUntil(const std::function<bool()> &done, int timeoutMs = -1);
// Runs fn to its end. On the UI thread fn runs on a helper thread while the UI thread keeps
// processing events: for calls that wait on other threads which may themselves need the UI thread
// (closing the board waits for its callbacks, and a callback may be showing a message box).
void RunWhilePumping(const std::function<void()> &fn);
// UI thread: process events for about ms milliseconds.
void PumpEventsFor(int ms);
// UI thread: run what is queued for the UI thread now.
void DrainUiQueue();

// Ends the UI queue: later posts and sends fail at once. Called when the program ends.
void shutdownUiThread();

} // namespace fw
