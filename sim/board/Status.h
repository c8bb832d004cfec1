// Status values of the simulated board beyond the ones callers tell apart (pel2ctl.h).
#pragma once

#include <cstdint>

namespace sim {

constexpr int32_t kOk = 0;
constexpr int32_t kErrHandle = 0x01;  // unknown or closed handle
constexpr int32_t kErrParam = 0x02;   // an argument out of range or a null pointer
constexpr int32_t kErrState = 0x03;   // not possible in the board's present state
constexpr int32_t kErrBusy = 0x04;    // a scan, live video or loop is already running
constexpr int32_t kErrTimeout = 0x05; // ExclusiveAcquire time-out
constexpr int32_t kErrNotHeld = 0x06; // ExclusiveRelease without holding the right
constexpr int32_t kErrFile = 0x31;    // DspDownload: file missing or unreadable
constexpr int32_t kErrClosing = 0x07; // the board was closed while the call waited
constexpr int32_t kErrData = 0x08;    // ScanDataSet: the table in the memory window is invalid
constexpr int32_t kErrNotImplemented = 0x09;

} // namespace sim
