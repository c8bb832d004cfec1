// The scan's last frame against a picture of a known target, and that frame kept as such a
// picture. Main thread, after the scan run is over.
#pragma once

#include "check/CheckContext.h"
#include "ops/ScanRun.h"

#include <string>

namespace check {

// Compares the run's last frame with the reference read by ValidateOptions: the figures go to
// the case, a mismatch fails it naming the box of the differing pixels and the worst one; the
// difference picture goes to the results for the HTML report.
void JudgeReference(CaseResult &c, const ops::ScanRunReport &r, const CheckOptions &o, RunResults &results);

// Writes the run's last frame as a grey PNG (8 or 16 bit, as the scan's pixels) through a
// checked file, only when the case passed: a picture of a failing scan is no reference.
void SaveReference(CaseResult &c, const ops::ScanRunReport &r, const std::string &path);

// The PNG's bytes of a frame of little-endian pixels of 1 or 2 bytes; empty when it cannot be made.
std::string GreyPngBytes(const ops::PictureView &frame);

} // namespace check
