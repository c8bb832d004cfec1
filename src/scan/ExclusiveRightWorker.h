// The scan tool's worker for the board's exclusive right: ExclusiveAcquire can block for up to
// five seconds, so the dialog hands acquire and release to this thread through auto-reset events.
#pragma once

#include "board/pel2ctl.h"
#include "framework/Event.h"

#include <atomic>
#include <thread>

class ExclusiveRightWorker {
public:
    static constexpr std::uint32_t kAcquireTimeoutMs = 5000;

    // Starts the thread at once. The events belong to the dialog and outlive the worker.
    ExclusiveRightWorker(BoardHandle board, fw::AutoResetEvent &acquire,
                         fw::AutoResetEvent &release, fw::AutoResetEvent &quit);
    // Joins the thread; the owner signals quit and waits for Finished() (pumping) first.
    ~ExclusiveRightWorker();
    ExclusiveRightWorker(const ExclusiveRightWorker &) = delete;
    ExclusiveRightWorker &operator=(const ExclusiveRightWorker &) = delete;

    bool Finished() const { return finished_.load(); } // any thread

private:
    void Run(); // the worker thread

    BoardHandle board_;
    fw::AutoResetEvent &acquire_;
    fw::AutoResetEvent &release_;
    fw::AutoResetEvent &quit_;
    std::atomic<bool> finished_{false};
    std::thread thread_;
};
