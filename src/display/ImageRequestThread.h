// The NTSC display's request thread: keeps one image request queued for every delivered frame.
// The dialog starts it with Start and ends it with Stop (the stop event, then a pumping wait
// until the thread has ended, then the join); destruction stops too.
#pragma once

#include "board/pel2ctl.h"
#include "framework/Event.h"
#include "framework/Messages.h"
#include "framework/WorkerThread.h"

#include <atomic>
#include <cstdint>

class ImageRequestThread {
public:
    struct Setup {
        BoardHandle board = 0;
        std::uint32_t size = 0;             // request size; 0: requests without a buffer
        std::uint8_t *bufferA = nullptr;    // the two request buffers, used alternately
        std::uint8_t *bufferB = nullptr;
        fw::WindowHandle owner = 0;         // owner of the thread's message boxes
    };

    // Starts the thread at once; throws std::system_error when it cannot. The events belong to
    // the dialog and outlive the thread; the thread publishes the frame event in `published`
    // while it waits for frames, and clears it before it ends.
    ImageRequestThread(const Setup &setup, fw::AutoResetEvent &frameEvent,
                       fw::AutoResetEvent &stopEvent,
                       std::atomic<fw::AutoResetEvent *> &published);
    ImageRequestThread(const ImageRequestThread &) = delete;
    ImageRequestThread &operator=(const ImageRequestThread &) = delete;

    // UI thread: sets the stop event and waits, pumping (the thread may be showing a message
    // box), until the thread has ended. May be re-entered from its own wait.
    void Stop() { thread_.Stop(); }
    bool Finished() const { return thread_.Finished(); } // any thread

private:
    void Run(); // the request thread

    Setup setup_;
    fw::AutoResetEvent &frameEvent_;
    fw::AutoResetEvent &stopEvent_;
    std::atomic<fw::AutoResetEvent *> &published_;
    fw::WorkerThread thread_; // last: started once everything above exists, stopped first
};
