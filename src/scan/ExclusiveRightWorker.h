// The scan tool's worker for the board's exclusive right: ExclusiveAcquire can block for up to
// five seconds, so the dialog hands acquire and release to this thread through auto-reset events.
#pragma once

#include "board/pel2ctl.h"
#include "framework/Event.h"
#include "framework/WorkerThread.h"

class ExclusiveRightWorker {
public:
    static constexpr std::uint32_t kAcquireTimeoutMs = 5000;

    // Starts the thread at once. The events belong to the dialog and outlive the worker.
    ExclusiveRightWorker(BoardHandle board, fw::AutoResetEvent &acquire,
                         fw::AutoResetEvent &release, fw::AutoResetEvent &quit);
    ExclusiveRightWorker(const ExclusiveRightWorker &) = delete;
    ExclusiveRightWorker &operator=(const ExclusiveRightWorker &) = delete;

    // UI thread: signals quit and waits (pumping: the worker may be showing its time-out box)
    // until the thread has ended. May be re-entered; destruction stops too.
    void Stop() { thread_.Stop(); }

private:
    void Run(); // the worker thread

    BoardHandle board_;
    fw::AutoResetEvent &acquire_;
    fw::AutoResetEvent &release_;
    fw::AutoResetEvent &quit_;
    fw::WorkerThread thread_; // last: started once everything above exists, stopped first
};
