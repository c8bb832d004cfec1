// The delivery object of one open board, with no window: which receiver a delivery goes to, that
// an unregistering returns only after the calls inside have left, when a retired request buffer
// may go, the board's close, and hook calls that overlap. Hook calls run on threads of their own
// and are held inside their receiver until the case lets them go.
#include "common/Watchdog.h"
#include "ops/BoardDelivery.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr BoardHandle kBoard = 7;

// Runs the steps of one case and writes what happens into a log.
class Harness {
public:
    ~Harness()
    {
        for (auto &[name, t] : threads_) {
            Release(name);
            t.join();
        }
    }

    // A receiver in a slot: logs "<slot><name>>" when a call comes in and "<<name>" when it
    // leaves, held inside until released.
    class Holder : public ops::DeliveryReceiver {
    public:
        Holder(Harness &h, char slot) : h_(h), slot_(slot) {}
        uint32_t OnDelivery(const ops::Delivered &d) override
        {
            const char name = char(d.startLine);
            h_.Log({slot_, name, '>'});
            h_.WaitReleased(name);
            h_.Log({'<', name});
            return uint32_t(slot_);
        }

    private:
        Harness &h_;
        const char slot_;
    };

    void Run(const std::string &w)
    {
        const char arg = w.back();
        if (w == "retire") {
            auto token = std::make_shared<int>(0);
            tokens_.push_back(token);
            delivery_.Retire(ops::HeldBuffer(std::move(token), 4096));
        } else if (w == "clear") {
            delivery_.RequestsDropped();
        } else if (w == "close") {
            delivery_.BoardClosed();
        } else if (w.rfind("reg:", 0) == 0) {
            delivery_.Register(arg - '0', &holders_[arg - '0']);
        } else if (w.rfind("unreg:", 0) == 0) { // shut here, waits on a thread of its own
            delivery_.Withdraw(arg - '0', &holders_[arg - '0']);
            Start(w, [this, arg] {
                delivery_.Unregister(arg - '0', &holders_[arg - '0']);
                Log({'u', arg});
            });
        } else if (w.rfind("begin:", 0) == 0) { // a hook call, in once it is logged
            Start(std::string(1, arg), [this, arg] {
                const auto outcome = delivery_.Deliver(ops::Delivered{0, uint32_t(arg), 1, 0, nullptr});
                if (!outcome.served)
                    Log({'-', arg});
            });
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return log_.find(arg) != std::string::npos; });
        } else if (w.rfind("end:", 0) == 0 || w.rfind("join:", 0) == 0) {
            const std::string name = w.substr(w.find(':') + 1);
            if (w[0] == 'e')
                Release(arg);
            threads_.at(name).join();
            threads_.erase(name);
        }
    }

    // Retired buffers not freed yet (the object's own count must agree).
    size_t Kept()
    {
        size_t n = 0;
        for (auto &t : tokens_)
            n += t.use_count() > 1 ? 1 : 0;
        EXPECT_EQ(delivery_.RetiredCount(), n);
        return n;
    }
    std::string log()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return log_;
    }
    uint64_t overlaps() const { return delivery_.OverlappingHookCalls(); }

private:
    void Start(const std::string &name, std::function<void()> fn) { threads_[name] = std::thread(fn); }
    void Log(const std::string &s)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        log_ += log_.empty() ? s : " " + s;
        changed_.notify_all();
    }
    void Release(char name)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        released_.insert(name);
        changed_.notify_all();
    }
    void Release(const std::string &name) { Release(name.back()); }
    void WaitReleased(char name)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return released_.count(name) != 0; });
    }

    ops::BoardDelivery delivery_{kBoard};
    Holder holders_[2] = {{*this, '0'}, {*this, '1'}};
    std::vector<std::shared_ptr<int>> tokens_;
    std::map<std::string, std::thread> threads_;
    std::mutex mutex_; // guards log_ and released_
    std::condition_variable changed_;
    std::string log_;
    std::set<char> released_;
};

struct Step {
    std::string what; // retire, clear, close, reg:S, unreg:S, begin:N, end:N, join:unreg:S
    size_t kept;      // retired buffers still kept afterwards
};

struct Case {
    const char *name;
    std::vector<Step> steps;
    std::string log;   // what the receivers and unregisterings saw, in order
    uint64_t overlaps; // hook calls that began while another was inside
};

TEST(BoardDeliveryTest, DispatchRegistrationAndRetiredBuffers)
{
    const std::vector<Case> cases = {
        {"the first slot takes every delivery; else the next; else none",
         {{"begin:a", 0}, {"end:a", 0}, {"reg:1", 0}, {"begin:b", 0}, {"end:b", 0}, {"reg:0", 0},
          {"begin:c", 0}, {"end:c", 0}, {"unreg:0", 0}, {"join:unreg:0", 0}, {"begin:d", 0},
          {"end:d", 0}},
         "-a 1b> <b 0c> <c u0 1d> <d", 0},
        {"an unregistering returns only after the call inside has left",
         {{"reg:0", 0}, {"begin:a", 0}, {"unreg:0", 0}, {"begin:b", 0}, {"end:b", 0}, {"end:a", 0},
          {"join:unreg:0", 0}},
         "0a> -b <a u0", 1},
        {"a call held inside past a newer call's end keeps a covered buffer to the close",
         {{"reg:0", 0}, {"begin:a", 0}, {"retire", 1}, {"clear", 1}, {"begin:b", 1}, {"end:b", 1},
          {"end:a", 1}, {"close", 0}},
         "0a> 0b> <b <a", 1},
        {"a call that began before the clear frees nothing",
         {{"reg:0", 0}, {"begin:a", 0}, {"retire", 1}, {"clear", 1}, {"end:a", 1}, {"begin:b", 1},
          {"end:b", 0}},
         "0a> <a 0b> <b", 0},
        {"a delivery on its way survives any number of clears; a call with no tool counts",
         {{"retire", 1}, {"clear", 1}, {"clear", 1}, {"begin:a", 0}, {"end:a", 0}}, "-a", 0},
        {"nothing goes without a clear, and a clear before the retirement does not cover it",
         {{"clear", 0}, {"retire", 1}, {"begin:a", 1}, {"end:a", 1}, {"clear", 1}, {"begin:b", 0},
          {"end:b", 0}},
         "-a -b", 0},
        {"the board's close frees everything, a call still inside",
         {{"reg:1", 0}, {"begin:a", 0}, {"retire", 1}, {"retire", 2}, {"close", 0}, {"end:a", 0}},
         "1a> <a", 0},
        {"after overlapping calls retired buffers wait for the close",
         {{"reg:0", 0}, {"retire", 1}, {"clear", 1}, {"begin:a", 1}, {"begin:b", 1}, {"end:a", 1},
          {"end:b", 1}, {"retire", 2}, {"clear", 2}, {"begin:c", 2}, {"end:c", 2}, {"close", 0}},
         "0a> 0b> <a <b 0c> <c", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::Watchdog watchdog(std::string("the case to end: ") + c.name);
        Harness h;
        for (const Step &step : c.steps) {
            SCOPED_TRACE(step.what);
            h.Run(step.what);
            EXPECT_EQ(h.Kept(), step.kept);
        }
        EXPECT_EQ(h.log(), c.log);
        EXPECT_EQ(h.overlaps(), c.overlaps);
    }
}

// Registering and unregistering while a thread delivers without pause: no call reaches a
// receiver after its Unregister has returned, and every delivery is taken while one is in.
TEST(BoardDeliveryTest, RegistrationWhileDeliveriesArrive)
{
    class Counting : public ops::DeliveryReceiver {
    public:
        uint32_t OnDelivery(const ops::Delivered &) override
        {
            calls.fetch_add(1);
            if (gone.load())
                late.fetch_add(1);
            return 0;
        }
        std::atomic<int> calls{0}, late{0};
        std::atomic<bool> gone{false};
    };
    for (const int slot : {0, 2}) {
        SCOPED_TRACE(slot);
        testing_support::Watchdog watchdog("the deliveries to end");
        ops::BoardDelivery delivery(kBoard);
        Counting always; // in the last slot for the whole case: nothing goes unserved
        delivery.Register(ops::BoardDelivery::kSlots - 1, &always);
        std::atomic<bool> stop{false};
        std::atomic<int> unserved{0};
        std::thread hook([&] {
            while (!stop.load())
                if (!delivery.Deliver(ops::Delivered{}).served)
                    unserved.fetch_add(1);
        });
        int late = 0;
        for (int i = 0; i < 100; ++i) {
            Counting r;
            delivery.Register(slot, &r);
            while (r.calls.load() == 0)
                std::this_thread::yield();
            delivery.Unregister(slot, &r);
            r.gone = true;
            std::this_thread::yield();
            late += r.late.load();
        }
        stop = true;
        hook.join();
        EXPECT_EQ(late, 0);
        EXPECT_EQ(unserved.load(), 0);
        EXPECT_EQ(delivery.OverlappingHookCalls(), 0u);
    }
}

} // namespace
