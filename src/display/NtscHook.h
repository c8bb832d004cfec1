// Frame arrival for the live NTSC display: the hook's NTSC branch, and how the board library's
// callback threads reach the display. A callback counts itself in before it reads
// g_pNtscViewDlg and out when it has finished with the dialog; the close sequence clears the
// pointer and then waits until the count is 0 before it releases buffers and surface.
#pragma once

#include <cstdint>

class CNtscViewDlg;

// Board library callback thread: one delivery while the NTSC display is open.
void NtscFrameArrived(std::uint32_t flags, std::uint32_t startLine, std::uint32_t lineCount,
                      std::uint32_t bufferKind, void *data);

// Scope of one callback's visit to the NTSC display (any thread).
class NtscToolVisit {
public:
    NtscToolVisit();
    ~NtscToolVisit();
    NtscToolVisit(const NtscToolVisit &) = delete;
    NtscToolVisit &operator=(const NtscToolVisit &) = delete;

    CNtscViewDlg *dialog() const { return dialog_; }

private:
    CNtscViewDlg *dialog_;
};

// True while any callback is inside the NTSC display (any thread).
bool NtscToolBusy();
