// The board's event notifications: a scan buffer became free, a DSP interrupt, a scan end.
// All three run on threads of the board library and keep no state of their own.
#include "app/BoardCallbacks.h"
#include "framework/MessageBox.h"
#include "session/RequestBuffers.h"

#include <cstdio>

// Board library callback thread: an owner-less box that blocks only this thread.
void ScanBufferFreeCallback(std::int32_t bankId)
{
    char text[256] = {};
    std::snprintf(text, sizeof text, "バンクID：%d", bankId);
    fw::MessageBox(fw::WindowHandle{0}, text, "走査バッファ空き発生");
}

// Board library callback thread.
void DspInterruptCallback(std::int32_t status)
{
    char text[256] = {};
    std::snprintf(text, sizeof text, "ステータスレジスタ：%x(H)", static_cast<unsigned>(status));
    fw::MessageBox(fw::WindowHandle{0}, text, "DSP割込み発生");
}

// Board library callback thread: one line in the scan tool's log, if the tool is open, which
// also makes its Start available again; waits until the line is in.
void ScanEndCallback(std::int32_t reason)
{
    if (ops::BoardDelivery *delivery = session::HookDelivery())
        delivery->ScanEnded(session::kRectScanSlot, reason);
}
