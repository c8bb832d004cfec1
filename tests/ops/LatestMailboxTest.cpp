// The latest-value mailbox: when a post asks for the wake, what a take returns, a wake that
// could not be queued, closing; and producers racing one consumer without a wake lost.
#include "common/Watchdog.h"
#include "ops/LatestMailbox.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

TEST(LatestMailbox, OneWakeForTheLatestValue)
{
    enum Step { kPost, kTake, kWakeFailed, kClose, kOpen };
    struct Action {
        Step step;
        int value;  // posted, or expected from a take
        bool wake;  // a post: whether it asks for the wake
    };
    const Action script[] = {
        {kTake, 0, false},                        // nothing yet
        {kPost, 1, true}, {kPost, 2, false},      // one wake for both
        {kTake, 2, false}, {kTake, 0, false},     // the latest, once
        {kPost, 3, true}, {kWakeFailed, 0, false},
        {kPost, 4, true},                         // the failed wake is asked for again
        {kClose, 0, false}, {kTake, 0, false},    // closing drops the value
        {kPost, 5, false}, {kTake, 0, false},     // and refuses posts
        {kOpen, 0, false}, {kPost, 6, true}, {kTake, 6, false},
    };
    ops::LatestMailbox<int> box;
    int i = 0;
    for (const Action &a : script) {
        SCOPED_TRACE(i++);
        switch (a.step) {
        case kPost: EXPECT_EQ(box.Post(a.value), a.wake); break;
        case kTake: EXPECT_EQ(box.Take(), a.value); break;
        case kWakeFailed: box.WakeFailed(); break;
        case kClose: box.Close(); break;
        case kOpen: box.Open(); break;
        }
    }
    // A value that owns memory goes with the close.
    ops::LatestMailbox<std::shared_ptr<int>> shared;
    auto value = std::make_shared<int>(7);
    EXPECT_TRUE(shared.Post(value));
    shared.Close();
    EXPECT_EQ(value.use_count(), 1);
}

// No value is left behind without a wake on its way: once the producers have finished and every
// wake they asked for has been taken, the mailbox is empty.
TEST(LatestMailbox, NoWakeLostBetweenProducersAndTheConsumer)
{
    testing_support::Watchdog watchdog("the consumer to take the producers' wakes");
    constexpr int kProducers = 3, kPosts = 20000;
    ops::LatestMailbox<int> box;
    std::mutex lock; // guards wakes and done
    std::condition_variable cv;
    int wakes = 0, done = 0;
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p)
        producers.emplace_back([&] {
            for (int i = 1; i <= kPosts; ++i)
                if (box.Post(i)) {
                    std::lock_guard<std::mutex> g(lock);
                    ++wakes;
                    cv.notify_one();
                }
            std::lock_guard<std::mutex> g(lock);
            ++done;
            cv.notify_one();
        });
    int taken = 0;
    for (;;) {
        std::unique_lock<std::mutex> g(lock);
        cv.wait(g, [&] { return wakes > 0 || done == kProducers; });
        if (wakes == 0)
            break;
        --wakes;
        g.unlock();
        taken += box.Take() != 0 ? 1 : 0;
    }
    for (std::thread &t : producers)
        t.join();
    EXPECT_FALSE(box.HasValue());
    EXPECT_GT(taken, 0);
}

} // namespace
