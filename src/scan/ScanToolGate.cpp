#include "scan/ScanToolGate.h"

#include "framework/UiThread.h"

std::atomic<CRectScanDlg *> g_pRectScanDlg{nullptr};
std::atomic<std::uint32_t> g_nHookLineTotal{0};

namespace {
// Callbacks between their count-in and count-out. Counted in before the pointer is read, so a
// close that has cleared the pointer and then sees 0 knows that no callback holds the dialog.
std::atomic<int> g_callbacksInside{0};
} // namespace

ScanToolVisit::ScanToolVisit()
{
    g_callbacksInside.fetch_add(1, std::memory_order_seq_cst);
    dialog_ = g_pRectScanDlg.load(std::memory_order_seq_cst);
}

ScanToolVisit::~ScanToolVisit()
{
    g_callbacksInside.fetch_sub(1, std::memory_order_seq_cst);
    fw::NotifyUiWaiters(); // a closing dialog may be waiting for the count to reach 0
}

bool ScanToolBusy()
{
    return g_callbacksInside.load(std::memory_order_seq_cst) != 0;
}
