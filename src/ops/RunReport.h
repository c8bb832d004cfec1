// What a window-less run found, in words: the findings of a scan run and of a live video run, in
// Japanese, one line each; empty when all is well.
#pragma once

#include <string>

namespace ops {

struct ScanRunReport;
struct VideoRunReport;

// Frames and lines against what was asked for (framesAsked 0: an endless run, not judged), the
// end reason, lost images in the board's counters, size errors, lost or disordered runs, lines
// claimed but not written (each run with its frame) and frames that repeat the one before.
std::string DiagnoseScanRun(const ScanRunReport &report, unsigned framesAsked);

// Frame rate against 29.97, gaps between frames, lost images in the board's counters.
std::string DiagnoseVideoRun(const VideoRunReport &report);

} // namespace ops
