// The latest-value mailbox: one queued wake however many values come before it runs, the wake
// takes the newest, a value after the take wakes again, and a closed box wakes nobody.
#include "ops/LatestMailbox.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

TEST(LatestMailboxTest, OneWakeCarriesTheNewestValue)
{
    std::vector<std::function<void()>> queued; // the owner's queue, run by hand
    std::vector<int> taken;
    ops::LatestMailbox<int> box;
    box.Open([&](std::function<void()> fn) { queued.push_back(std::move(fn)); },
             [&] { taken.push_back(box.Take().value_or(-1)); });
    auto runQueued = [&] {
        std::vector<std::function<void()>> now;
        now.swap(queued);
        for (auto &fn : now)
            fn();
    };

    EXPECT_TRUE(box.Put(1));
    EXPECT_TRUE(box.Put(2));
    EXPECT_TRUE(box.Put(3));
    EXPECT_EQ(queued.size(), 1u) << "one wake while one is on its way";
    runQueued();
    EXPECT_EQ(taken, std::vector<int>({3}));
    EXPECT_FALSE(box.Take().has_value()) << "a value is taken once";

    EXPECT_TRUE(box.Put(4)); // after the take: another wake
    EXPECT_EQ(queued.size(), 1u);
    runQueued();
    EXPECT_EQ(taken, std::vector<int>({3, 4}));

    EXPECT_TRUE(box.Put(5));
    box.Close(); // the queued wake finds nobody, the value is gone, later puts are dropped
    runQueued();
    EXPECT_EQ(taken, std::vector<int>({3, 4}));
    EXPECT_FALSE(box.Put(6));
    EXPECT_TRUE(queued.empty());
    EXPECT_FALSE(box.Take().has_value());
}

} // namespace
