// The DSP of a board: its word-addressed memory (program, command word, parameter block), the
// downloaded program and the last status it raised. What a command starts is the board's
// business (Board::dspCommandLocked). Has no lock of its own: the board lock guards it.
#pragma once

#include "DspProgram.h"

#include <cstdint>
#include <map>
#include <optional>

namespace sim {

// DSP status values passed to DspInterruptCallback.
constexpr uint32_t kDspCommandRejected = 0x8000; // | command
constexpr uint32_t kDspCommandAccepted = 0x0100; // | command (only when announcing)
constexpr uint32_t kDspLoopDone = 0x0400;        // | command: the off-board loop ran dry
constexpr uint32_t kDspFault = 0xC000;           // | command: planted DSP fault

class Dsp {
public:
    // An area scan as the parameter block describes it.
    struct AreaBlock {
        uint32_t pixels, lines, startCount, clkoutWait;
    };

    uint32_t read(uint32_t address) const;
    void write(uint32_t address, uint32_t value) { memory_[address] = value; }
    // Word n of the parameter block (0x80006020 + n).
    uint32_t param(uint32_t n) const;
    // The block's area scan, when pixels and lines are 1..65535 and the pixel size code 0..2.
    std::optional<AreaBlock> areaBlock() const;

    // A valid download: its words are stored and the program counts as loaded.
    void load(const DspProgram &program);
    // A broken download leaves no program behind (the words stay in memory).
    void unload() { loaded_ = false; }
    bool loaded() const { return loaded_; }
    uint32_t autoStartCount() const { return autoStartCount_; }

    uint32_t status() const { return status_; }
    void setStatus(uint32_t status) { status_ = status; }

    // Power-on: memory cleared, no program, status 0.
    void reset();

private:
    std::map<uint32_t, uint32_t> memory_; // address -> word; absent words read 0
    bool loaded_ = false;
    uint32_t autoStartCount_ = 0; // start count of the scan the program starts by itself
    uint32_t status_ = 0;         // the last value given to DspInterruptCallback
};

} // namespace sim
