// Placeholder until the NTSC display dialog is built: no display is ever open.
#include "display/NtscHook.h"
#include "display/NtscViewDlg.h"

std::atomic<CNtscViewDlg *> g_pNtscViewDlg{nullptr};

void NtscFrameArrived(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, void *) {}
