// A scan frame as a PNG save request: 8-bit data as 8-bit grey, 16-bit data as 16-bit grey, and
// of 32-bit data the high 16 bits as 16-bit grey (the raw dump keeps all 32; the file type the
// save dialog shows says so).
#pragma once

#include "scan/ScanFrame.h"
#include "tools/PngFile.h"

#include <memory>

// The request reads only the frame it is given (shared, so the helper thread may outlive the
// caller's copy). Empty layout (width 0) for an empty frame.
pngfile::SaveRequest ScanPngRequest(std::shared_ptr<const ScanFrame> frame);
