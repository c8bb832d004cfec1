#include "display/NtscHook.h"

#include "display/NtscViewDlg.h"
#include "framework/UiThread.h"

std::atomic<CNtscViewDlg *> g_pNtscViewDlg{nullptr};

namespace {
// Callbacks between their count-in and count-out. Counted in before the pointer is read, so a
// close that has cleared the pointer and then sees 0 knows that no callback holds the dialog.
std::atomic<int> g_callbacksInside{0};
} // namespace

NtscToolVisit::NtscToolVisit()
{
    g_callbacksInside.fetch_add(1, std::memory_order_seq_cst);
    dialog_ = g_pNtscViewDlg.load(std::memory_order_seq_cst);
}

NtscToolVisit::~NtscToolVisit()
{
    g_callbacksInside.fetch_sub(1, std::memory_order_seq_cst);
    fw::NotifyUiWaiters(); // a closing display may be waiting for the count to reach 0
}

bool NtscToolBusy()
{
    return g_callbacksInside.load(std::memory_order_seq_cst) != 0;
}

// Board library callback thread. A display that closed after the dispatch saw it gets nothing.
void NtscFrameArrived(std::uint32_t flags, std::uint32_t, std::uint32_t, std::uint32_t bufferKind,
                      void *data)
{
    NtscToolVisit visit;
    if (CNtscViewDlg *dlg = visit.dialog())
        dlg->OnFrameArrived(flags, bufferKind, static_cast<const std::uint8_t *>(data));
}
