#include "BoardSession.h"

#include "app/BoardCallbacks.h"
#include "common/Watchdog.h"
#include "framework/UiThread.h"
#include "session/RequestBuffers.h"

namespace testing_support {

BoardSession::BoardSession()
{
    SimReset();
    uint32_t error = 0;
    handle_ = BoardOpen(0, ImageTransferHook, ScanBufferFreeCallback, DspInterruptCallback,
                        ScanEndCallback, &first_, &second_, &error);
    if (handle_ == BOARD_INVALID_HANDLE) {
        ADD_FAILURE() << "BoardOpen failed with error " << error;
        handle_ = 0;
    } else {
        session::BoardOpened(handle_);
    }
}

BoardSession::~BoardSession()
{
    close();
    SimReset();
}

void BoardSession::close()
{
    if (handle_ != 0) {
        // As the start-up dialog does: BoardClose waits until no callback runs, and a callback
        // may be waiting for the UI thread (a box from a delivery that found no tool), so the UI
        // thread keeps processing events meanwhile.
        std::int32_t result = 0;
        const BoardHandle handle = handle_;
        fw::RunWhilePumping([&] { result = BoardClose(handle); });
        if (result == 0)
            session::BoardClosed(handle);
        handle_ = 0;
    }
}

std::vector<SimCall> Journal()
{
    std::vector<SimCall> calls;
    const size_t n = SimJournalCount();
    for (size_t i = 0; i < n; ++i) {
        SimCall c{};
        if (SimJournalEntry(i, &c) == 0)
            calls.push_back(c);
    }
    return calls;
}

std::vector<SimCall> JournalOf(int op)
{
    std::vector<SimCall> calls;
    for (const SimCall &c : Journal())
        if (c.op == op)
            calls.push_back(c);
    return calls;
}

void DialogTest::SetUp()
{
    board = std::make_unique<BoardSession>();
    SimJournalClear();
}

void DialogTest::TearDown()
{
    // The close waits for callbacks still inside the program (a held box, a blocked send).
    Watchdog watchdog("the board to close and the simulator to reset after the test");
    fw::test::ClearWhenShown();
    fw::DrainUiQueue();
    board.reset();
}

} // namespace testing_support
