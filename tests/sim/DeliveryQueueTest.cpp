// The simulated board's delivery queue on its own: the order of hook calls and scan ends, and
// the room the engine sees, which decides whether an image is delivered or counted lost.
#include "../../sim/board/DeliveryQueue.h"

#include "board/pel2ctl.h"

#include <gtest/gtest.h>

using namespace sim;

namespace {

uint8_t g_buffer[16];

ImageDelivery image(uint32_t startLine)
{
    return ImageDelivery{HOOK_FLAG_LINES, startLine, 4, HOOK_BUFFER_PROGRAM, g_buffer, -1, false};
}

// The start line of a hook call, or -reason for a scan end.
int64_t next(DeliveryQueue &q)
{
    const auto d = q.pop();
    if (!d)
        return INT64_MIN;
    q.hookReturned();
    if (const auto *end = std::get_if<ScanEnd>(&*d))
        return -end->reason;
    return hookArgs(*d)->startLine;
}

} // namespace

TEST(SimDeliveryQueue, AScanEndWaitsForTheDeliveryBeingFilledAndSurvivesDrops)
{
    DeliveryQueue q;
    q.pushHook(image(0));
    q.beginFill(); // the engine fills the next run outside the lock
    q.pushEnd(SCAN_END_TIMEOUT);
    q.pushHook(image(4));
    q.endFill();
    EXPECT_EQ(next(q), 0);
    EXPECT_EQ(next(q), 4);
    EXPECT_EQ(next(q), -SCAN_END_TIMEOUT);
    EXPECT_TRUE(q.empty());

    // A fill given up (its request was dropped) lets the end go too; a close forgets it.
    q.beginFill();
    q.pushEnd(SCAN_END_FRAME_CANCEL);
    EXPECT_TRUE(q.empty());
    q.endFill();
    EXPECT_EQ(next(q), -SCAN_END_FRAME_CANCEL);
    q.beginFill();
    q.pushEnd(SCAN_END_NORMAL);
    q.clear();
    q.endFill();
    EXPECT_TRUE(q.empty());

    // A clear drops every hook call not handed over, and keeps the ends in their order.
    q.pushHook(image(0));
    q.pushEnd(SCAN_END_NORMAL);
    q.pushHook(SizeReport{0, 8, HOOK_BUFFER_LIBRARY, nullptr, true});
    EXPECT_TRUE(q.pushLostRun(LostRun{8, HOOK_BUFFER_LIBRARY, false}));
    q.pushEnd(SCAN_END_LINE_CANCEL);
    const auto dropped = q.dropHooks();
    EXPECT_EQ(dropped.size(), 3u);
    EXPECT_TRUE(stepCounted(dropped[1]));
    EXPECT_TRUE(q.hasRoom());
    EXPECT_FALSE(q.lostRunWaiting());
    EXPECT_EQ(next(q), -SCAN_END_NORMAL);
    EXPECT_EQ(next(q), -SCAN_END_LINE_CANCEL);
    EXPECT_TRUE(q.empty());
}

TEST(SimDeliveryQueue, RoomCountsWaitingImagesButNotTheLostRunReport)
{
    DeliveryQueue q;
    EXPECT_TRUE(q.hookIdle());
    q.pushHook(image(0));
    EXPECT_TRUE(q.pushLostRun(LostRun{4, HOOK_BUFFER_PROGRAM, false}));
    EXPECT_FALSE(q.pushLostRun(LostRun{8, HOOK_BUFFER_PROGRAM, false})); // one report at a time
    EXPECT_TRUE(q.hasRoom());
    q.pushHook(SizeReport{8, 4, HOOK_BUFFER_PROGRAM, g_buffer, false});
    EXPECT_FALSE(q.hasRoom());
    EXPECT_EQ(q.backlog(), 2u);
    EXPECT_EQ(q.namedIn(g_buffer, sizeof g_buffer), 2u);

    // The image in the hook still counts as backlog, no longer against the room.
    ASSERT_TRUE(q.pop());
    EXPECT_TRUE(q.hasRoom());
    EXPECT_EQ(q.backlog(), 2u);
    q.hookReturned();
    // The lost run report frees its place for the next one, not room for images.
    const auto report = q.pop();
    ASSERT_TRUE(report && std::holds_alternative<LostRun>(*report));
    EXPECT_FALSE(q.lostRunWaiting());
    EXPECT_EQ(hookArgs(*report)->flags, HOOK_FLAG_LINE_OVERRUN);
    EXPECT_EQ(hookArgs(*report)->data, nullptr);
    EXPECT_EQ(q.backlog(), 2u);
    q.hookReturned();
    EXPECT_EQ(q.backlog(), 1u);
    EXPECT_EQ(next(q), 8);
    EXPECT_TRUE(q.hookIdle());
}
