// The replay engine over records held in memory: which calls count as the recorded ones, where
// the first divergence is reported, when callbacks fall due; and the simulated board answering
// a program from such records, then going on live.
#include "ReplayPlayer.h"
#include "ReplayScript.h"

#include "board/pel2ctl.h"
#include "simctl.h"

#include "common/Watchdog.h"

#include <gtest/gtest.h>

#include <array>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <tuple>

namespace {

using trace::Record;

Record call(int op, std::vector<uint64_t> args, int32_t result = 0, uint64_t timeNs = 0)
{
    Record r;
    r.kind = trace::Kind::Call;
    r.op = op;
    r.args = std::move(args);
    r.result = result;
    r.timeNs = timeNs;
    return r;
}

std::vector<Record> numbered(std::vector<Record> records)
{
    for (size_t i = 0; i < records.size(); ++i)
        records[i].number = i;
    return records;
}

// A scan set-up: open, geometry, a request, the frame delivered 34 ms after it, a status read,
// a frame memory read, close.
std::vector<Record> session()
{
    Record hook;
    hook.kind = trace::Kind::Callback;
    hook.op = trace::kImageTransferHook;
    hook.args = {HOOK_FLAG_FRAME, 0, 1, HOOK_BUFFER_PROGRAM, 0x7000};
    hook.timeNs = 34'000'000;
    hook.dataKind = trace::DataKind::Lines;
    hook.dataOffset = 8;
    hook.data = {'l', 'i', 'n', 'e', 's', '!'};
    hook.dataSize = hook.data.size();
    Record read = call(SIM_OP_FrameMemoryRead, {1, 0x100, 4, 0x9000}, 0, 40'000'000);
    read.dataKind = trace::DataKind::FrameRead;
    read.data = {1, 2, 3, 4};
    Record status = call(SIM_OP_IoReadLong, {0x0C, 0x8000}, 0, 35'000'000);
    status.outputs = {0x1234};
    Record open = call(SIM_OP_BoardOpen, {0, 1, 2, 3, 4, 5, 6, 7}, 7, 0);
    open.outputs = {0, 0, 0};
    return numbered({open, call(SIM_OP_IoWriteLong, {0x44, 0x00010040}, 0, 500),
                     call(SIM_OP_ImageRequest, {0x7000, 64}, 0, 1'000), hook, status, read,
                     call(SIM_OP_BoardClose, {}, 0, 50'000'000)});
}

TEST(ReplayScript, MatchesCallsAndReportsTheFirstDivergence)
{
    using Calls = std::vector<std::pair<int, std::vector<uint64_t>>>;
    const Calls same{{SIM_OP_BoardOpen, {0, 9, 9, 9, 9, 9, 9, 9}},
                     {SIM_OP_IoWriteLong, {0x44, 0x00010040}},
                     {SIM_OP_ImageRequest, {0xBEEF, 64}}, // another address: the same request
                     {SIM_OP_IoReadLong, {0x0C, 0}},
                     {SIM_OP_FrameMemoryRead, {1, 0x100, 4, 0}},
                     {SIM_OP_BoardClose, {}}};
    auto with = [&](size_t at, std::pair<int, std::vector<uint64_t>> c) {
        Calls v = same;
        v[at] = std::move(c);
        return v;
    };
    Calls raced = same; // the status read of another thread came first
    std::swap(raced[1], raced[3]);
    Calls extra = same;
    extra.push_back({SIM_OP_IoReadLong, {0x0C, 0}});
    struct Case {
        const char *name;
        Calls calls;
        int64_t divergesAt; // record number, -1: follows the recording to its end
        const char *expected;
    };
    const Case cases[] = {
        {"the recorded calls", same, -1, ""},
        {"calls of two threads in another order", raced, -1, ""},
        {"another geometry", with(1, {SIM_OP_IoWriteLong, {0x44, 0x00020080}}), 1,
         "IoWriteLong(0x44, 0x10040)"},
        {"the library's buffer", with(2, {SIM_OP_ImageRequest, {0, 64}}), 2,
         "ImageRequest(buffer, 0x40)"},
        {"another register", with(3, {SIM_OP_IoReadLong, {0x10, 0}}), 4, "IoReadLong(0xc, *)"},
        {"another operation", with(5, {SIM_OP_BoardReset, {}}), 6, "BoardClose()"},
        {"a call past the end", extra, 7, "the end of the recording"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const double speed : {1.0, 10.0}) {
            sim::ReplayScript script(std::make_unique<sim::MemorySource>(session()), speed, 0);
            using Lane = sim::ReplayScript::Lane;
            sim::Divergence d;
            int64_t diverged = -1;
            uint64_t now = 1'000'000'000;
            for (const auto &[op, args] : c.calls) {
                now += 1'000;
                if (op == SIM_OP_ImageRequest) {
                    EXPECT_EQ(script.peek(Lane::Delivery), nullptr); // waits for its request
                }
                if (!script.takeCall(op, args, now, &d)) {
                    diverged = static_cast<int64_t>(d.record);
                    break;
                }
                if (op == SIM_OP_ImageRequest && diverged < 0) {
                    // Due at the recorded distance from the request, scaled by the speed.
                    const auto *hook = script.peek(Lane::Delivery);
                    ASSERT_NE(hook, nullptr);
                    EXPECT_EQ(*hook->dueNs, now + uint64_t(33'999'000 / speed));
                    EXPECT_EQ(script.pop(Lane::Delivery).record.data.size(), 6u);
                }
            }
            EXPECT_EQ(diverged, c.divergesAt);
            if (diverged >= 0) {
                EXPECT_NE(d.text().find(c.expected), std::string::npos) << d.text();
                EXPECT_EQ(script.peek(Lane::Delivery), nullptr); // nothing scripted after it
            }
        }
    }
}

TEST(ReplayScript, FrameMemoryWritesMatchByTheirBytesWhereKept)
{
    Record write = call(SIM_OP_FrameMemoryWrite, {0, 0x10, 4, 0x9000});
    write.dataKind = trace::DataKind::FrameWrite;
    write.data = {1, 2, 3, 4};
    Record unkept = write; // the recorder could not keep these: any bytes match
    unkept.dataKept = false;
    unkept.data.clear();
    const uint8_t same[] = {1, 2, 3, 4}, other[] = {1, 2, 3, 5};
    const std::vector<uint64_t> args{0, 0x10, 4, 0x1234};
    for (const auto &[recorded, bytes, matches] :
         {std::tuple{write, same, true}, {write, other, false}, {unkept, other, true}}) {
        sim::ReplayScript script(std::make_unique<sim::MemorySource>(numbered({recorded})), 1, 0);
        sim::Divergence d;
        EXPECT_EQ(script.takeCall(SIM_OP_FrameMemoryWrite, args, 0, &d, std::nullopt,
                                  sim::ReplayScript::Written{bytes, 4})
                      .has_value(),
                  matches);
        if (!matches) {
            EXPECT_EQ(d.text(), "first divergence at record 0: the program called "
                                "FrameMemoryWrite(0x0, 0x10, 0x4, *) writing other bytes, the "
                                "recording has FrameMemoryWrite(0x0, 0x10, 0x4, *)");
        }
    }
}

// The program's side: plain callbacks, filled on the replay's delivery lane.
struct Hooked {
    std::mutex mutex; // guards the members below
    std::condition_variable cv;
    std::vector<std::array<uint32_t, 4>> calls;
    void *data = nullptr;
} hooked;

void onHook(uint32_t flags, uint32_t start, uint32_t count, uint32_t kind, void *data)
{
    std::lock_guard lock(hooked.mutex);
    hooked.calls.push_back({flags, start, count, kind});
    hooked.data = data;
    hooked.cv.notify_all();
}

TEST(ReplayPlayer, AnswersFromTheRecordingThenGoesOnLive)
{
    testing_support::Watchdog watchdog("a replayed board session"); // a close that never returns
    SimReset();
    sim::ReplayPlayer::instance().start(std::make_unique<sim::MemorySource>(session()), 0, "memory");
    void *window = nullptr, *second = nullptr;
    uint32_t error = 99;
    const BoardHandle h = BoardOpen(0, onHook, nullptr, nullptr, nullptr, &window, &second, &error);
    EXPECT_EQ(h, 7u); // the recorded handle
    EXPECT_EQ(error, 0u);
    EXPECT_NE(window, nullptr); // the live board's memory window
    EXPECT_EQ(IoWriteLong(h, 0x44, 0x00010040), 0);

    std::array<uint8_t, 64> buffer{};
    EXPECT_EQ(ImageRequest(h, buffer.data(), buffer.size()), 0);
    {
        std::unique_lock lock(hooked.mutex);
        ASSERT_TRUE(hooked.cv.wait_for(lock, std::chrono::seconds(10),
                                       [] { return !hooked.calls.empty(); }));
        EXPECT_EQ(hooked.calls[0], (std::array<uint32_t, 4>{HOOK_FLAG_FRAME, 0, 1, 0}));
        EXPECT_EQ(hooked.data, buffer.data());
    }
    EXPECT_EQ(std::memcmp(buffer.data() + 8, "lines!", 6), 0);
    uint32_t value = 0;
    EXPECT_EQ(IoReadLong(h, 0x0C, &value), 0);
    EXPECT_EQ(value, 0x1234u);
    std::array<uint8_t, 4> bytes{};
    EXPECT_EQ(FrameMemoryRead(h, 1, 0x100, 4, bytes.data()), 0);
    EXPECT_EQ(bytes, (std::array<uint8_t, 4>{1, 2, 3, 4}));

    // Not in the recording: reported once, in the journal too, and the live board answers.
    EXPECT_EQ(IoReadLong(h, SIM_REG_BOARD_ID, &value), 0);
    EXPECT_EQ(value, 0x50454C32u);
    uint64_t record = 0;
    char text[512];
    EXPECT_EQ(SimReplayDivergence(&record, text, sizeof text), 1);
    EXPECT_EQ(record, 6u);
    EXPECT_STREQ(text, "first divergence at record 6: the program called IoReadLong(0x0, *), "
                       "the recording has BoardClose()");
    SimCall entry{};
    ASSERT_EQ(SimJournalEntry(SimJournalCount() - 2, &entry), 0);
    EXPECT_EQ(entry.op, SIM_JOURNAL_REPLAY_DIVERGENCE);
    EXPECT_EQ(entry.args[0], 6u);
    EXPECT_EQ(BoardClose(h), 0);
    EXPECT_EQ(SimOpenBoards(), 0u);
    SimReset();
    EXPECT_EQ(SimReplayStatus(nullptr), -1);
}

} // namespace
