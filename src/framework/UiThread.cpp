#include "framework/UiThread.h"

#include "framework/WorkerThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>

namespace fw {
namespace {

constexpr QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::User + 101);

// Lives on the UI thread; a wake event makes it run what is queued. It also carries the timers
// that bound a pumping wait's sleep.
class Waker : public QObject {
public:
    bool event(QEvent *e) override
    {
        if (e->type() == kWakeEvent) {
            DrainUiQueue();
            return true;
        }
        if (e->type() == QEvent::Timer)
            return true; // only ends a pumping wait's sleep
        return QObject::event(e);
    }
};

struct UiQueue {
    std::mutex mutex; // guards items, wakePending, shut, waker, waiting
    std::deque<std::function<void()>> items;
    bool wakePending = false; // a wake event is on its way to the waker
    bool shut = false;
    Waker *waker = nullptr;
    int waiting = 0; // pumping waits in progress (nested ones count each)
};

UiQueue &queue()
{
    static UiQueue q;
    return q;
}

std::atomic<const void *> g_uiThreadId{nullptr}; // the QThread object of the UI thread
// Longest sleep of a pumping wait before it looks at its condition again unasked.
std::atomic<int> g_safetyWakeMs{50};

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

// q.mutex held: makes sure a wake event is on its way to the UI thread.
void PostWakeLocked(UiQueue &q)
{
    if (!q.wakePending) {
        q.wakePending = true;
        QCoreApplication::postEvent(q.waker, new QEvent(kWakeEvent));
    }
}

// Counts a pumping wait in for its whole length, so notifications know someone is waiting.
class WaitRegistration {
public:
    WaitRegistration()
    {
        std::lock_guard lock(queue().mutex);
        ++queue().waiting;
    }
    ~WaitRegistration()
    {
        std::lock_guard lock(queue().mutex);
        --queue().waiting;
    }
    WaitRegistration(const WaitRegistration &) = delete;
    WaitRegistration &operator=(const WaitRegistration &) = delete;
};

// UI thread: sleeps until an event arrives (a wake, input, a timer, a notification) or ms pass,
// then processes what came.
void SleepUntilEvent(int ms)
{
    Waker *waker = nullptr;
    {
        std::lock_guard lock(queue().mutex);
        waker = queue().waker;
    }
    if (!waker) { // no UI queue yet: nothing could wake the sleep early
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 2)));
        return;
    }
    const int timer = waker->startTimer(std::chrono::milliseconds(ms), Qt::PreciseTimer);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    if (timer != 0)
        waker->killTimer(timer);
}

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
    std::lock_guard lock(q.mutex);
    if (q.shut || !q.waker)
        return false;
    q.items.push_back(std::move(fn));
    PostWakeLocked(q);
    return true;
}

void NotifyUiWaiters()
{
    UiQueue &q = queue();
    std::lock_guard lock(q.mutex);
    // Nobody waiting: a wait that starts later looks at its condition before it sleeps.
    if (q.waiting > 0 && !q.shut && q.waker)
        PostWakeLocked(q);
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
    const bool bounded = timeoutMs >= 0;
    const auto deadline = clock::now() + std::chrono::milliseconds(bounded ? timeoutMs : 0);
    if (done())
        return true;
    // Counted in before the condition is looked at again: a change notified from here on wakes
    // the sleep below, and one notified earlier happened before the next look.
    WaitRegistration registered;
    for (;;) {
        if (bounded && clock::now() >= deadline)
            return done();
        // What is pending first, without sleeping: a wait for "one round" returns after it.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        DrainUiQueue();
        if (done())
            return true;
        int sleepMs = std::max(1, g_safetyWakeMs.load());
        if (bounded) {
            // Rounded up, so a wait does not spin through its last fraction of a millisecond.
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now());
            sleepMs = static_cast<int>(std::clamp<long long>(left.count(), 0, sleepMs));
        }
        // Until something happens: an event, a wake, a notification. A condition changed by
        // code that does not notify is still seen after the safety interval at the latest.
        if (sleepMs > 0)
            SleepUntilEvent(sleepMs);
        if (done())
            return true;
    }
}

void RunWhilePumping(const std::function<void()> &fn)
{
    if (!IsUiThread()) {
        fn();
        return;
    }
    // The helper thread runs fn for the waiting UI thread.
    WorkerThread helper([&fn] { fn(); }, nullptr);
    helper.Stop();
}

void PumpEventsUntil(std::chrono::steady_clock::time_point until)
{
    using clock = std::chrono::steady_clock;
    const auto leftMs = std::chrono::ceil<std::chrono::milliseconds>(until - clock::now()).count();
    const int timeoutMs =
        static_cast<int>(std::clamp<long long>(leftMs, 0, std::numeric_limits<int>::max()));
    PumpingWaitUntil([&] { return clock::now() >= until; }, timeoutMs);
}

void PumpEventsFor(int ms)
{
    PumpEventsUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
}

int setPumpingWaitSafetyMs(int ms)
{
    return g_safetyWakeMs.exchange(ms);
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
