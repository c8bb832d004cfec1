// The latest-value mailbox: which posts queue a wake, what a take returns, what closing drops
// (wakes still queued included); and producers racing one consumer without a wake lost.
#include "common/Watchdog.h"
#include "ops/LatestMailbox.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

TEST(LatestMailbox, OneWakeForTheLatestValue)
{
    enum Step { kPost, kRunWakes, kClose, kOpen };
    struct Action {
        Step step;
        int value;  // a post: its value; running the wakes: the values the wakes took
        int queued; // wakes queued after the step
    };
    const Action script[] = {
        {kPost, 1, 0},                                 // closed until opened
        {kOpen, 0, 0},
        {kPost, 1, 1}, {kPost, 2, 1},                  // one wake for both
        {kRunWakes, 2, 0},                             // which takes the latest
        {kPost, 3, 1}, {kRunWakes, 3, 0},
        {kPost, 4, 1}, {kClose, 0, 1},                 // closing drops the value
        {kRunWakes, -1, 0},                            // and the queued wake finds nothing
        {kPost, 5, 0},                                 // posts are refused
        {kOpen, 0, 0}, {kPost, 6, 1}, {kRunWakes, 6, 0},
    };
    ops::LatestMailbox<int> box;
    std::vector<std::function<void()>> queue;
    int taken = -1; // what the last wake took; -1 when no wake ran
    auto open = [&] {
        box.Open([&](std::function<void()> wake) { queue.push_back(std::move(wake)); },
                 [&] { taken = box.Take(); });
    };
    int i = 0;
    for (const Action &a : script) {
        SCOPED_TRACE(i++);
        switch (a.step) {
        case kPost: EXPECT_EQ(box.Post(a.value), a.queued != 0); break;
        case kRunWakes: {
            taken = -1;
            auto wakes = std::move(queue);
            queue.clear();
            for (auto &wake : wakes)
                wake();
            EXPECT_EQ(taken, a.value);
            EXPECT_FALSE(box.HasValue());
            break;
        }
        case kClose: box.Close(); break;
        case kOpen: open(); break;
        }
        EXPECT_EQ(int(queue.size()), a.queued);
    }
    // A value that owns memory goes with the close.
    ops::LatestMailbox<std::shared_ptr<int>> shared;
    shared.Open([](std::function<void()>) {}, [] {});
    auto value = std::make_shared<int>(7);
    EXPECT_TRUE(shared.Post(value));
    shared.Close();
    EXPECT_EQ(value.use_count(), 1);
}

// No value is left behind without a wake on its way: once the producers have finished and every
// wake they queued has run, the mailbox is empty.
TEST(LatestMailbox, NoWakeLostBetweenProducersAndTheConsumer)
{
    testing_support::Watchdog watchdog("the consumer to run the producers' wakes");
    constexpr int kProducers = 3, kPosts = 20000;
    ops::LatestMailbox<int> box;
    std::mutex lock; // guards wakes and done
    std::condition_variable cv;
    std::deque<std::function<void()>> wakes;
    int done = 0, taken = 0;
    box.Open(
        [&](std::function<void()> wake) {
            std::lock_guard<std::mutex> g(lock);
            wakes.push_back(std::move(wake));
            cv.notify_one();
        },
        [&] { taken += box.Take() != 0 ? 1 : 0; });
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p)
        producers.emplace_back([&] {
            for (int i = 1; i <= kPosts; ++i)
                box.Post(i);
            std::lock_guard<std::mutex> g(lock);
            ++done;
            cv.notify_one();
        });
    for (;;) {
        std::unique_lock<std::mutex> g(lock);
        cv.wait(g, [&] { return !wakes.empty() || done == kProducers; });
        if (wakes.empty())
            break;
        std::function<void()> wake = std::move(wakes.front());
        wakes.pop_front();
        g.unlock();
        wake();
    }
    for (std::thread &t : producers)
        t.join();
    EXPECT_FALSE(box.HasValue());
    EXPECT_GT(taken, 0);
}

} // namespace
