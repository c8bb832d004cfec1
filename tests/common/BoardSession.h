// Test fixture helpers: a clean simulated board opened with the program's callbacks, and the
// recording message box / file dialog sinks installed.
#pragma once

#include "board/pel2ctl.h"
#include "framework/TestDriver.h"
#include "simctl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testing_support {

// Opens board 0 on a freshly reset simulator, registering the program's four callbacks.
// Closes it (and resets the simulator) on destruction.
class BoardSession {
public:
    BoardSession();
    ~BoardSession();
    BoardSession(const BoardSession &) = delete;
    BoardSession &operator=(const BoardSession &) = delete;

    BoardHandle handle() const { return handle_; }
    void *firstAddress() const { return first_; }
    void *secondAddress() const { return second_; }
    void close(); // BoardClose now (idempotent)

private:
    BoardHandle handle_ = 0;
    void *first_ = nullptr;
    void *second_ = nullptr;
};

// Journal entries of one operation, oldest first.
std::vector<SimCall> JournalOf(int op);
// The whole journal.
std::vector<SimCall> Journal();

// Base fixture for dialog tests: recorder sinks, simulator reset, board 0 open.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    fw::test::Sinks sinks;
    std::unique_ptr<BoardSession> board;
};

} // namespace testing_support
