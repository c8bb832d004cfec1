#include "framework/UiThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace fw {
namespace {

constexpr QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::User + 101);

// Lives on the UI thread; a wake event makes it run what is queued.
class Waker : public QObject {
public:
    bool event(QEvent *e) override
    {
        if (e->type() == kWakeEvent) {
            DrainUiQueue();
            return true;
        }
        return QObject::event(e);
    }
};

struct UiQueue {
    std::mutex mutex; // guards items, wakePending, shut, waker
    std::condition_variable posted; // tells a pumping wait that something arrived
    std::deque<std::function<void()>> items;
    bool wakePending = false;
    bool shut = false;
    Waker *waker = nullptr;
};

UiQueue &queue()
{
    static UiQueue q;
    return q;
}

std::atomic<const void *> g_uiThreadId{nullptr}; // the QThread object of the UI thread

// Signals a waiting SendToUi caller when the queued call is done or dropped unrun.
struct SendCompletion {
    std::mutex mutex; // guards finished, ran
    std::condition_variable condition;
    bool finished = false;
    bool ran = false;
};

struct SendNotifier {
    std::shared_ptr<SendCompletion> state;
    bool ran = false;
    ~SendNotifier()
    {
        {
            std::lock_guard lock(state->mutex);
            state->finished = true;
            state->ran = ran;
        }
        state->condition.notify_all();
    }
};

} // namespace

void initUiThread()
{
    UiQueue &q = queue();
    std::lock_guard lock(q.mutex);
    if (!q.waker)
        q.waker = new Waker; // lives until the process ends
    q.shut = false;
    g_uiThreadId.store(QThread::currentThread());
}

bool IsUiThread()
{
    return g_uiThreadId.load() == QThread::currentThread();
}

bool PostToUi(std::function<void()> fn)
{
    UiQueue &q = queue();
    bool wake = false;
    {
        std::lock_guard lock(q.mutex);
        if (q.shut || !q.waker)
            return false;
        q.items.push_back(std::move(fn));
        if (!q.wakePending) {
            q.wakePending = true;
            wake = true;
        }
        if (wake)
            QCoreApplication::postEvent(q.waker, new QEvent(kWakeEvent));
    }
    q.posted.notify_all();
    return true;
}

bool SendToUi(std::function<void()> fn)
{
    if (IsUiThread()) {
        fn();
        return true;
    }
    auto state = std::make_shared<SendCompletion>();
    auto notifier = std::make_shared<SendNotifier>();
    notifier->state = state;
    const bool queued = PostToUi([notifier, &fn]() {
        fn();
        notifier->ran = true;
    });
    notifier.reset(); // from here the queued call owns the only notifier
    if (!queued)
        return false;
    std::unique_lock lock(state->mutex);
    state->condition.wait(lock, [&] { return state->finished; });
    return state->ran;
}

void DrainUiQueue()
{
    UiQueue &q = queue();
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(q.mutex);
            if (q.items.empty()) {
                q.wakePending = false;
                return;
            }
            fn = std::move(q.items.front());
            q.items.pop_front();
            // If fn runs a nested event loop, what is queued behind it (or arrives meanwhile)
            // must still be woken for, so keep a wake event pending while items remain.
            q.wakePending = !q.items.empty();
            if (q.wakePending)
                QCoreApplication::postEvent(q.waker, new QEvent(kWakeEvent));
        }
        // One at a time, so a call that runs a nested event loop keeps later calls in order.
        fn();
    }
}

bool PumpingWaitUntil(const std::function<bool()> &done, int timeoutMs)
{
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    UiQueue &q = queue();
    for (;;) {
        if (done())
            return true;
        if (timeoutMs >= 0 && clock::now() >= deadline)
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        DrainUiQueue();
        if (done())
            return true;
        std::unique_lock lock(q.mutex);
        if (q.items.empty())
            q.posted.wait_for(lock, std::chrono::milliseconds(2));
    }
}

void RunWhilePumping(const std::function<void()> &fn)
{
    if (!IsUiThread()) {
        fn();
        return;
    }
    std::atomic<bool> done{false};
    std::thread helper([&] { // helper thread: runs fn for the waiting UI thread
        fn();
        done = true;
    });
    PumpingWaitUntil([&] { return done.load(); });
    helper.join();
}

void PumpEventsFor(int ms)
{
    const auto start = std::chrono::steady_clock::now();
    PumpingWaitUntil(
        [&] { return std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(ms); },
        ms);
}

void shutdownUiThread()
{
    std::deque<std::function<void()>> dropped;
    {
        UiQueue &q = queue();
        std::lock_guard lock(q.mutex);
        q.shut = true;
        dropped.swap(q.items);
        q.wakePending = false;
    }
    // Destroying the dropped calls releases any sender still waiting for them.
}

} // namespace fw
