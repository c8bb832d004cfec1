// Frame arrival for the live NTSC display: the hook's NTSC branch, and how the board library's
// callback threads reach the display. A callback counts itself in before it reads
// g_pNtscViewDlg and out when it has finished with the dialog; the close sequence clears the
// pointer and then waits until the count is 0 before it releases buffers and surface.
#pragma once

#include "session/ToolGate.h"

#include <atomic>
#include <cstdint>

class CNtscViewDlg;

// Board library callback thread: one delivery while the NTSC display is open.
void NtscFrameArrived(std::uint32_t flags, std::uint32_t startLine, std::uint32_t lineCount,
                      std::uint32_t bufferKind, void *data);

// The live display's gate: callbacks visit through it, the close shuts it and waits.
extern session::ToolGate<CNtscViewDlg> g_ntscToolGate;

// Scope of one callback's visit to the NTSC display (any thread).
class NtscToolVisit : public session::ToolGate<CNtscViewDlg>::Visit {
public:
    NtscToolVisit() : Visit(g_ntscToolGate) {}
    CNtscViewDlg *dialog() const { return tool(); }
};

// True while any callback is inside the NTSC display (any thread).
inline bool NtscToolBusy()
{
    return g_ntscToolGate.Busy();
}
