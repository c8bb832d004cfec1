// A thread the program starts for one job (the inspector's feed, the live display's request
// thread, the scan tool's exclusive-right worker, a board call run while the UI pumps), with a
// stop that may be re-entered.
//
// A stop on the UI thread waits pumping events, and a handler run by that wait may stop the same
// thread again (a window closed while another close waits). The run goes through three states:
// Running (from construction), Stopping (a stop has asked the body to return), Joined (one stop
// has joined it). Only the first stop asks the body to quit; every stop waits until the body
// has returned; only the first stop to get past that wait joins, the others return. No stop
// ever joins twice.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace fw {

class WorkerThread {
public:
    enum class State { Running, Stopping, Joined };

    // Starts body on a thread of its own at once; throws std::system_error when no thread can
    // be had. requestQuit makes body return soon (it sets the event or flag body waits for); the
    // first stop runs it, on the stopping thread. Declare the helper after everything body uses,
    // so that it is stopped before those go.
    WorkerThread(std::function<void()> body, std::function<void()> requestQuit);
    ~WorkerThread(); // Stop()
    WorkerThread(const WorkerThread &) = delete;
    WorkerThread &operator=(const WorkerThread &) = delete;

    // Owner's thread (the UI thread: the wait pumps events there; elsewhere it blocks). Asks
    // body to quit, waits until it has returned, joins. May be called again at any point, also
    // from a handler run by its own wait; returns once body has returned.
    void Stop();

    // Any thread.
    State state() const;
    bool Finished() const; // body has returned

private:
    // One run, shared with the thread and with every stop under way, so that a stop whose wait
    // outlives the helper (a nested stop destroyed its owner) still finds it.
    struct Run {
        mutable std::mutex lock; // guards state, finished and thread
        std::condition_variable finishedCv; // for waits off the UI thread
        State state = State::Running;
        bool finished = false; // body has returned
        std::thread thread;    // moved out by the stop that joins it
        std::function<void()> requestQuit; // run by the first stop only
    };
    static void WaitFinished(const std::shared_ptr<Run> &run);

    const std::shared_ptr<Run> run_;
};

} // namespace fw
