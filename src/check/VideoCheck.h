// The video check: live NTSC capture for some seconds: frames received, the frame rate against
// 29.97, gaps (an interval over 1.5 frame times is a drop), jitter and one snapshot.
#pragma once

#include "check/CheckContext.h"

namespace check {

void RunVideoCheck(CheckContext &ctx);

} // namespace check
