// The 288-byte register window of a board: byte storage, the read-only registers at 0x00..0x17
// (their live values come from the board) and the frame counter. Has no lock of its own: the
// board lock guards it, because a register write can start or stop the engine (see Board.h).
#pragma once

#include "pel2ctl.h"

#include <array>
#include <cstdint>

namespace sim {

// Read-only registers of the window (documented in docs/simulator.md).
constexpr uint32_t kRegBoardId = 0x00;    // 0x50454C32 "PEL2"
constexpr uint32_t kRegRevision = 0x04;   // hardware and firmware revision
constexpr uint32_t kRegStatus = 0x08;     // live status bits
constexpr uint32_t kRegFrameCount = 0x0C; // frames captured since open or reset
constexpr uint32_t kRegDspStatus = 0x10;  // last DSP status (what DspInterruptCallback got)
constexpr uint32_t kRegBoardIndex = 0x14; // the board's index
constexpr uint32_t kBoardIdValue = 0x50454C32;
constexpr uint32_t kRevisionValue = 0x00020001;

// Status register bits.
constexpr uint32_t kStatusPrepared = 1u << 0;
constexpr uint32_t kStatusScanning = 1u << 1;
constexpr uint32_t kStatusLive = 1u << 2;
constexpr uint32_t kStatusLoop = 1u << 3;
constexpr uint32_t kStatusCancelling = 1u << 4;
constexpr uint32_t kStatusDspLoaded = 1u << 5;
constexpr uint32_t kStatusExclusive = 1u << 6;

class RegisterFile {
public:
    // Values of the read-only registers, in offset order (board ID ... board index).
    using LiveValues = std::array<uint32_t, 6>;

    // An access of `bytes` at `offset` lies inside the window.
    static bool inWindow(uint32_t offset, unsigned bytes);
    // The access [offset, offset + bytes) touches the 32-bit register at `reg`.
    static bool touches(uint32_t offset, unsigned bytes, uint32_t reg);

    // Little-endian read; the read-only bytes come from `live`.
    uint32_t read(uint32_t offset, unsigned bytes, const LiveValues &live) const;
    // Stores the bytes of `value`; writes to read-only bytes are ignored.
    void write(uint32_t offset, unsigned bytes, uint32_t value);
    // The stored 32-bit word at `reg` (a writable register).
    uint32_t word(uint32_t reg) const;

    uint32_t frameCount() const { return frameCount_; }
    void countFrame() { ++frameCount_; }

    // Power-on values: every stored byte 0, the frame counter too.
    void reset();

private:
    std::array<uint8_t, BOARD_REGISTER_WINDOW> bytes_{};
    uint32_t frameCount_ = 0; // frames captured since open or reset
};

} // namespace sim
