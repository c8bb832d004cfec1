// The set-up both image captures share, the area scan's Start and the live display's Start: the
// geometry into the three area registers, the request clear, the requests issued before the
// start, and ScanPrepare. Each step fails with the box the calling tool shows.
#pragma once

#include "board/pel2ctl.h"
#include "ops/Result.h"

#include <cstdint>
#include <functional>
#include <string>

namespace ops {

struct CaptureSetup {
    uint32_t geometryH = 0;   // MAC H-UDTCSR: (lines << 16) | pixels
    uint32_t geometryL = 0;   // MAC L-UDTCSR
    uint32_t geometryDio = 0; // DIO L-UDTCSR
    // Drops every image request of the board (through the caller's bookkeeping of retired
    // buffers); answers the library's status. Unset: ImageRequestClear itself.
    std::function<int32_t()> clearRequests;
    std::string clearFailedText; // the tool's box when the clear fails
    // The requests issued between the clear and ScanPrepare (unset: none).
    std::function<void()> issueRequests;
    uint32_t scanKind = SCAN_KIND_AREA;
    uint32_t unitFlags = SCAN_UNIT_FRAME;
    uint32_t pixelBytes = 1;
    uint32_t lineInterval = 0;
};

// Steps "MAC H-UDTCSR", "MAC L-UDTCSR", "DIO L-UDTCSR", "ImageRequestClear", "ScanPrepare" (the
// scan FIFO initialisation error has a box of its own), each with a stop box; none on success.
Result PrepareCapture(BoardHandle board, const CaptureSetup &setup);

} // namespace ops
