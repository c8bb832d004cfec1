// How the board library's callback threads reach the rectangle-area scan tool.
// A callback counts itself in before it reads g_pRectScanDlg and out when it has finished with
// the dialog; the close sequence clears the pointer first and then waits until the count is 0,
// so no callback can still be using the dialog's buffers when they are released.
#pragma once

#include "session/ToolGate.h"

#include <atomic>

class CRectScanDlg;

// The open scan dialog, null while none is open. Set at the end of the dialog's initialisation
// (UI thread), cleared as the first step of its close sequence (UI thread), read by the board
// library's callback threads through ScanToolVisit.
extern std::atomic<CRectScanDlg *> g_pRectScanDlg;

// The scan tool's gate: callbacks visit through it, the close shuts it and waits.
extern session::ToolGate<CRectScanDlg> g_scanToolGate;

// Scope of one callback's visit to the scan tool (any thread).
class ScanToolVisit : public session::ToolGate<CRectScanDlg>::Visit {
public:
    ScanToolVisit() : Visit(g_scanToolGate) {}
    CRectScanDlg *dialog() const { return tool(); }
};

// True while any callback is inside the scan tool (any thread).
inline bool ScanToolBusy()
{
    return g_scanToolGate.Busy();
}

#include <cstdint>

// Running line total of the current frame of a line-unit scan; a delivery that starts at line 0
// restarts it. Touched by the hook only (board library callback threads).
extern std::atomic<std::uint32_t> g_nHookLineTotal;
