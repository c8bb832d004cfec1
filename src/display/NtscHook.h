// How the board library's callbacks reach the live NTSC display: the display registers its link
// in its board's deliveries at the end of its initialisation; the close sequence shuts it and
// waits until no callback is inside before it releases buffers and surface.
#pragma once

#include "session/ToolLink.h"

#include <atomic>
#include <cstdint>

class CNtscViewDlg;

// The open NTSC display, null while none is open (UI thread). It names which tool is open;
// callbacks reach the display through its link only.
extern std::atomic<CNtscViewDlg *> g_pNtscViewDlg;

// Board library callback thread: one delivery to the open board's live display, if open.
void NtscFrameArrived(std::uint32_t flags, std::uint32_t startLine, std::uint32_t lineCount,
                      std::uint32_t bufferKind, void *data);

// The live display's place in its board's deliveries (one per dialog).
class NtscToolLink final : public session::ToolLink<CNtscViewDlg> {
public:
    explicit NtscToolLink(CNtscViewDlg &dlg)
        : ToolLink(dlg, session::kNtscDisplaySlot, g_pNtscViewDlg)
    {
    }
    // Board library callback thread, inside the gate: one frame arrival.
    std::uint32_t OnDelivery(const ops::Delivered &d) override;
};

// True while any callback is inside the NTSC display of the open board (any thread).
inline bool NtscToolBusy()
{
    return session::ToolBusy(session::kNtscDisplaySlot);
}
