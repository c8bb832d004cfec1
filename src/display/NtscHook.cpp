#include "display/NtscHook.h"

#include "display/NtscViewDlg.h"

std::atomic<CNtscViewDlg *> g_pNtscViewDlg{nullptr};

session::ToolGate<CNtscViewDlg> g_ntscToolGate{g_pNtscViewDlg};

// Board library callback thread. A display that closed after the dispatch saw it gets nothing.
void NtscFrameArrived(std::uint32_t flags, std::uint32_t, std::uint32_t, std::uint32_t bufferKind,
                      void *data)
{
    NtscToolVisit visit;
    if (CNtscViewDlg *dlg = visit.dialog())
        dlg->OnFrameArrived(flags, bufferKind, static_cast<const std::uint8_t *>(data));
}
