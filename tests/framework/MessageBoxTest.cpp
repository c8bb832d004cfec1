// Message boxes from any thread: a box raised off the UI thread waits for its answer while the
// UI keeps working; captions default to the application title.
#include "framework/MessageBox.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

TEST(MessageBox, CaptionDefaultsToTheApplicationTitle)
{
    fw::test::Sinks sinks;
    EXPECT_EQ(fw::MessageBox(fw::WindowHandle{0}, "text"), fw::IDOK);
    fw::MessageBox(fw::WindowHandle{0}, "stop", std::string_view("リセット"), fw::MsgIcon::Stop);
    const auto boxes = sinks.boxes->boxes();
    ASSERT_EQ(boxes.size(), 2u);
    // The executable's base name: this test program's, not the program's usual one.
    EXPECT_EQ(boxes[0].caption, program_invocation_short_name);
    EXPECT_EQ(boxes[0].icon, fw::MsgIcon::None);
    EXPECT_TRUE(boxes[0].fromUiThread);
    EXPECT_EQ(boxes[1].caption, "リセット");
    EXPECT_EQ(boxes[1].icon, fw::MsgIcon::Stop);
}

TEST(MessageBox, BoxFromAnotherThreadLeavesTheUiWorking)
{
    fw::test::Sinks sinks;
    sinks.boxes->setHold(true); // the user does not answer yet
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        fw::MessageBox(fw::WindowHandle{0}, "from a worker", std::nullopt,
                       fw::MsgIcon::Exclamation);
        returned = true;
    });
    ASSERT_TRUE(fw::test::WaitUntil([&] { return sinks.boxes->heldCount() == 1; }));
    // The UI thread still runs queued work while the box is open.
    bool ranOnUi = false;
    fw::PostToUi([&] { ranOnUi = true; });
    ASSERT_TRUE(fw::test::WaitUntil([&] { return ranOnUi; }));
    EXPECT_FALSE(returned);

    sinks.boxes->releaseAll();
    ASSERT_TRUE(fw::test::WaitUntil([&] { return returned.load(); }));
    worker.join();
    const auto boxes = sinks.boxes->boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(boxes[0].fromUiThread);
    EXPECT_EQ(boxes[0].text, "from a worker");
}

TEST(MessageBox, UiThreadBoxReturnsWhenAnsweredFromAnotherThread)
{
    fw::test::Sinks sinks;
    fw::test::NotifiedWakesOnly wakes;
    sinks.boxes->setHold(true);
    std::thread user([&] { // answers the box the UI thread is waiting in
        while (sinks.boxes->heldCount() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        sinks.boxes->releaseAll();
    });
    EXPECT_EQ(fw::MessageBox(fw::WindowHandle{0}, "on the UI thread"), fw::IDOK);
    user.join();
    EXPECT_FALSE(wakes.watchdogFired());
}
