// The board's event notifications: a scan buffer became free, a DSP interrupt, a scan end.
// All three run on threads of the board library and keep no state of their own.
#include "app/BoardCallbacks.h"
#include "framework/MessageBox.h"
#include "scan/RectScanDlg.h"
#include "scan/ScanToolGate.h"

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
    const char *text = nullptr;
    switch (reason) {
    case SCAN_END_NORMAL:
        text = "Scan終了\r\n";
        break;
    case SCAN_END_FRAME_CANCEL:
        text = "フレームキャンセルによりScan終了\r\n";
        break;
    case SCAN_END_LINE_CANCEL:
        text = "ラインキャンセルによりScan終了\r\n";
        break;
    case SCAN_END_TIMEOUT:
        text = "Scan中止タイムアウト\r\n";
        break;
    default:
        return;
    }
    ScanToolVisit visit;
    if (CRectScanDlg *dlg = visit.dialog())
        dlg->OnScanEnded(text);
}
