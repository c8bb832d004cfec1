#include "framework/Event.h"

#include <gtest/gtest.h>

#include <thread>

using fw::AutoResetEvent;
using fw::WaitForAny;

TEST(AutoResetEvent, SignalIsConsumedByOneWait)
{
    AutoResetEvent e;
    EXPECT_FALSE(e.Wait(0));
    e.Set();
    e.Set(); // not counted: one signal
    EXPECT_TRUE(e.Wait(0));
    EXPECT_FALSE(e.Wait(10));
    e.Set();
    e.Reset();
    EXPECT_FALSE(e.Wait(0));
}

TEST(AutoResetEvent, WaitForAnyPicksTheLowestSignalledAndWakesAcrossThreads)
{
    AutoResetEvent a, b, c;
    b.Set();
    c.Set();
    EXPECT_EQ(WaitForAny({&a, &b, &c}, 0), 1);
    EXPECT_EQ(WaitForAny({&a, &b, &c}, 0), 2);
    EXPECT_EQ(WaitForAny({&a, &b, &c}, 5), -1);

    std::thread setter([&] { c.Set(); });
    EXPECT_EQ(WaitForAny({&a, &b, &c}, 5000), 2);
    setter.join();
}
