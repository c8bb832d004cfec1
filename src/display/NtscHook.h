// Frame arrival for the live NTSC display: the hook's NTSC branch.
#pragma once

#include <cstdint>

// Board library callback thread: one delivery while the NTSC display is open.
void NtscFrameArrived(std::uint32_t flags, std::uint32_t startLine, std::uint32_t lineCount,
                      std::uint32_t bufferKind, void *data);
