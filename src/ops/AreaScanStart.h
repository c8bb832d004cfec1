// The scan tool's Start as board calls: the area geometry, the request clear, the request batch
// before or after the start, ScanPrepare, the image-get mode, the DSP parameter block and its
// command, and the start delay. Plain C++ over the board interface; the caller reads its fields
// and owns the request bookkeeping, the widgets and the delay.
#pragma once

#include "board/pel2ctl.h"
#include "ops/Result.h"

#include <cstdint>
#include <functional>

namespace ops {

struct AreaScanParams {
    uint32_t lines = 1024;
    uint32_t pixels = 1024;       // above 65535 carries into the lines of the geometry word
    uint32_t scanKind = SCAN_KIND_AREA;
    uint32_t unitFlags = SCAN_UNIT_FRAME; // the unit, with SCAN_NO_MASK_OPEN_DELAY when asked
    uint32_t pixelBytes = 1;      // 1, 2 or 4
    uint32_t lineInterval = 1;    // ScanPrepare's line interrupt interval
    bool dspStart = true;         // started by the DSP command (the parameter block is written)
    uint32_t startCount = 1;
    uint32_t clkoutWait = 1;
    uint32_t startDelayMs = 0;
    bool autoIssue = true;        // a request batch is issued by Start at all
    bool issueBeforeStart = true; // before ScanPrepare; otherwise after the delay
    uint32_t requestCount = 1;    // 0: no batch
};

struct AreaScanHooks {
    // Drops every image request of the board through the caller's bookkeeping; answers the
    // library's status.
    std::function<int32_t()> clearRequests;
    // Issues the request batch of requestCount requests (see IssueRequestBatch).
    std::function<void(uint32_t count)> issueBatch;
    // ScanPrepare succeeded: the scan counts as running from here on, whatever follows.
    std::function<void()> prepared;
    // The start delay; it blocks the caller on purpose.
    std::function<void(uint32_t ms)> sleep;
};

// Steps "MAC H-UDTCSR", "MAC L-UDTCSR", "DIO L-UDTCSR", "ImageRequestClear", "ScanPrepare" (the
// FIFO initialisation error has a box of its own), "DIO_IMG_GETMODE_108"; each with the tool's
// stop box. The DSP writes' results are not looked at. No box on success.
Result StartAreaScan(BoardHandle board, const AreaScanParams &params, const AreaScanHooks &hooks);

// One request batch: `count` requests into the library's buffer (apBuffer null), or `count`
// equal shares of the program buffer, each handed to registerRequest before the library can
// deliver into it. A count of 0 issues nothing. Results are not looked at.
void IssueRequestBatch(BoardHandle board, uint32_t count, uint8_t *apBuffer, uint32_t apSize,
                       const std::function<void(const uint8_t *buffer, uint32_t size)> &registerRequest);

} // namespace ops
