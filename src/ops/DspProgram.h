// DSP program download from a file the library reads itself.
#pragma once

#include "board/pel2ctl.h"
#include "ops/Result.h"

#include <string>

namespace ops {

// Step "path": no file named. Success without a box.
Result CheckDspPath(const std::string &path);
// Steps: "path", "DspDownload" (a fault during the download, or any other failure). Success
// carries the completion box. May run on any thread: one DspDownload call.
Result DownloadDspProgram(BoardHandle board, const std::string &path);

} // namespace ops
