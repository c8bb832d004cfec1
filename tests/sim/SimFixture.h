// Shared helpers of the simulator tests: a reset simulator with board 0 open and a recorder of
// every callback. The recorder is filled on the library's threads.
#pragma once

#include "board/pel2ctl.h"
#include "simctl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace simtest {

struct HookCall {
    uint32_t flags, startLine, lineCount, bufferKind;
    void *data;
    std::vector<uint8_t> copy; // what the hook saw, when a copy was asked for
};

// Process-wide recorder: the callbacks are plain functions.
struct Recorder {
    std::mutex mutex; // guards everything below
    std::condition_variable cv;
    std::vector<HookCall> hooks;
    std::vector<int32_t> ends, bufferFree, dsp;
    size_t copyBytes = 0;                         // bytes of each delivery to keep (0: none)
    std::function<void(const HookCall &)> inHook; // runs inside the hook, without the lock

    void clear()
    {
        std::lock_guard lock(mutex);
        hooks.clear();
        ends.clear();
        bufferFree.clear();
        dsp.clear();
        copyBytes = 0;
        inHook = nullptr;
    }
    // Waits (bounded) until pred() holds under the lock.
    bool waitFor(const std::function<bool()> &pred, int ms = 5000)
    {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, std::chrono::milliseconds(ms), pred);
    }
    size_t hookCount()
    {
        std::lock_guard lock(mutex);
        return hooks.size();
    }
};

Recorder &recorder();
// Copies of what the callbacks recorded so far (any thread).
std::vector<HookCall> hooks();
std::vector<int32_t> ends();

void Hook(uint32_t flags, uint32_t startLine, uint32_t lineCount, uint32_t bufferKind, void *data);
void BufferFree(int32_t bank);
void DspInterrupt(int32_t status);
void ScanEnd(int32_t reason);

// A test with a freshly reset simulator and board 0 open with the recorder's callbacks.
class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void dspWrite(uint32_t address, uint32_t value);
    // Geometry registers, requests already issued by the caller, ScanPrepare and DSP start.
    void startArea(uint32_t pixels, uint32_t lines, uint32_t bytesPerPixel, bool frameUnit,
                   uint32_t lineInt, uint32_t startCount);

    BoardHandle h = 0;
    void *window = nullptr;
    void *second = nullptr;
};

std::filesystem::path samplesDir();

} // namespace simtest
