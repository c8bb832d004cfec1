#include "OpsFixture.h"

namespace opstest {
namespace {

void NoHook(uint32_t, uint32_t, uint32_t, uint32_t, void *) {}
void NoEvent(int32_t) {}

// How many leading arguments are values; the rest are pointers into the program, which differ
// from run to run.
int ValueArguments(const SimCall &c)
{
    switch (c.op) {
    case SIM_OP_IoReadLong:
    case SIM_OP_IoReadShort:
        return 1;
    case SIM_OP_FrameMemoryRead:
    case SIM_OP_FrameMemoryWrite:
        return 3;
    case SIM_OP_DspDownload:
    case SIM_OP_ErrorInfoGet:
    case SIM_OP_OperationInfoGet:
        return 0;
    default:
        return c.argCount;
    }
}

std::string Line(const SimCall &c)
{
    std::string line = SimOpName(c.op);
    const int count = ValueArguments(c);
    for (int a = 0; a < count; ++a) {
        if (c.op == SIM_OP_ImageRequest && a == 0)
            line += c.args[0] == 0 ? " null" : " buffer";
        else
            line += " " + std::to_string(c.args[a]);
    }
    return line;
}

} // namespace

std::vector<std::string> Calls()
{
    std::vector<std::string> lines;
    SimCall c;
    for (size_t i = 0; i < SimJournalCount(); ++i)
        if (SimJournalEntry(i, &c) == 0)
            lines.push_back(Line(c));
    return lines;
}

std::vector<std::string> CallsOf(int op)
{
    std::vector<std::string> lines;
    SimCall c;
    for (size_t i = 0; i < SimJournalCount(); ++i)
        if (SimJournalEntry(i, &c) == 0 && c.op == op)
            lines.push_back(Line(c));
    return lines;
}

void OpsTest::SetUp()
{
    watchdog_ = std::make_unique<testing_support::Watchdog>("a board operation to end",
                                                            testing_support::kTestWatchdogSeconds);
    Reopen();
}

void OpsTest::TearDown()
{
    SimReset();
    watchdog_.reset();
}

void OpsTest::Reopen()
{
    SimReset();
    uint32_t error = 0;
    void *second = nullptr;
    board = BoardOpen(0, NoHook, NoEvent, NoEvent, NoEvent, &window, &second, &error);
    ASSERT_NE(board, BOARD_INVALID_HANDLE) << "error " << error;
    SimJournalClear();
}

} // namespace opstest
