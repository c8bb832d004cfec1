#include "framework/WorkerThread.h"

#include "framework/UiThread.h"

namespace fw {

WorkerThread::WorkerThread(std::function<void()> body, std::function<void()> requestQuit)
    : run_(std::make_shared<Run>())
{
    run_->requestQuit = std::move(requestQuit);
    std::lock_guard<std::mutex> lock(run_->lock);
    // The worker thread: the body, then the announcement that it has returned. It holds the run,
    // never the helper, which may be gone by then.
    run_->thread = std::thread([run = run_, body = std::move(body)] {
        body();
        {
            std::lock_guard<std::mutex> lock(run->lock);
            run->finished = true;
        }
        run->finishedCv.notify_all();
        NotifyUiWaiters();
    });
}

WorkerThread::~WorkerThread()
{
    Stop();
}

void WorkerThread::Stop()
{
    const std::shared_ptr<Run> run = run_; // a nested stop may destroy this helper meanwhile
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(run->lock);
        if (run->state == State::Joined)
            return;
        first = run->state == State::Running;
        run->state = State::Stopping;
    }
    if (first && run->requestQuit)
        run->requestQuit();
    WaitFinished(run);
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(run->lock);
        if (run->state == State::Joined)
            return; // a stop run by the wait above has joined it
        thread = std::move(run->thread);
        run->state = State::Joined;
    }
    thread.join(); // body has returned: only the thread's last steps remain
}

WorkerThread::State WorkerThread::state() const
{
    std::lock_guard<std::mutex> lock(run_->lock);
    return run_->state;
}

bool WorkerThread::Finished() const
{
    std::lock_guard<std::mutex> lock(run_->lock);
    return run_->finished;
}

void WorkerThread::WaitFinished(const std::shared_ptr<Run> &run)
{
    if (IsUiThread()) {
        PumpingWaitUntil([run] {
            std::lock_guard<std::mutex> lock(run->lock);
            return run->finished;
        });
        return;
    }
    std::unique_lock<std::mutex> lock(run->lock);
    run->finishedCv.wait(lock, [&] { return run->finished; });
}

} // namespace fw
