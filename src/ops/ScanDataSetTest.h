// Scan-data-set test: writes the scan data table into memory area 0, programs a one-line scan,
// starts the DSP's off-board loop, waits, and reports how the board answers a second scan data
// set while the scan runs.
#pragma once

#include "board/pel2ctl.h"
#include "ops/Result.h"

#include <cstdint>
#include <functional>

namespace ops {

// The scan data table: 512 entries of two little-endian 16-bit words, 0x8000 + 64 * i each.
constexpr uint32_t kScanTableEntries = 512;
constexpr uint32_t kScanTableBytes = kScanTableEntries * 4;

struct ScanDataSetSetup {
    bool haveAreas = false;    // the memory areas are known at all
    uint8_t *area0 = nullptr;  // start of memory area 0; nullptr when its address is 0
    // Drops every image request of the board (the caller's bookkeeping knows which buffers that
    // frees); answers the library's status.
    std::function<int32_t()> clearRequests;
    // Shows a failing DSP parameter row's box and answers whether the test goes on.
    Report report;
    // The wait after starting the loop; false when the test must end there (its window went).
    std::function<bool()> wait;
};

// Steps, in order: "StreamBufferSet", "area0", "ScanDataSet", a parameter row ("MAC_DSP_ADR_90" /
// "MAC_DSP_ADR_94", only when the report answered stop: the row's box was shown already),
// "MAC H-UDTCSR" .. "MAC L-DDTCSR", "ImageRequestClear", "ImageRequest", "ScanPrepare",
// "loop start", "wait" (no box), "ScanDataSet (running)". A queued answer to the second set is
// no failure: status 0x72 with its box.
Result RunScanDataSetTest(BoardHandle board, const ScanDataSetSetup &setup);

} // namespace ops
