// How the board library's callbacks reach the rectangle-area scan tool: the tool registers a
// receiver in its board's delivery object (session/RequestBuffers.h) at the end of its
// initialisation and unregisters it in its close sequence, which returns only once no callback
// is inside the dialog, so none can still be using the dialog's buffers when they are released.
#pragma once

#include "session/ToolLink.h"

#include <atomic>
#include <cstdint>

class CRectScanDlg;

// The open scan dialog, null while none is open: set when it registers, cleared as the first
// step of its close sequence (UI thread). It names which tool is open; callbacks reach the
// dialog through its receiver only.
extern std::atomic<CRectScanDlg *> g_pRectScanDlg;

// The scan tool's place in its board's deliveries (one per dialog).
class ScanToolLink final : public session::ToolLink<CRectScanDlg> {
public:
    explicit ScanToolLink(CRectScanDlg &dlg)
        : ToolLink(dlg, session::kRectScanSlot, g_pRectScanDlg)
    {
    }
    // Board library callback threads, inside the gate.
    std::uint32_t OnDelivery(const ops::Delivered &d) override;
    void OnScanEnd(std::int32_t reason) override;
};

// True while any callback is inside the scan tool of the open board (any thread).
inline bool ScanToolBusy()
{
    return session::ToolBusy(session::kRectScanSlot);
}

// Running line total of the current frame of a line-unit scan; a delivery that starts at line 0
// restarts it. Touched by the hook only (board library callback threads).
extern std::atomic<std::uint32_t> g_nHookLineTotal;
