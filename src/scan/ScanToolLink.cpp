#include "scan/ScanToolLink.h"

#include "scan/RectScanDlg.h"

std::atomic<CRectScanDlg *> g_pRectScanDlg{nullptr};
std::atomic<std::uint32_t> g_nHookLineTotal{0};

// Board library callback thread.
std::uint32_t ScanToolLink::OnDelivery(const ops::Delivered &d)
{
    return tool_.OnImageTransfer(d.flags, d.startLine, d.lineCount, d.bufferKind,
                                static_cast<const std::uint8_t *>(d.data));
}

// Board library callback thread: one line in the log, which also makes Start available again.
void ScanToolLink::OnScanEnd(std::int32_t reason)
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
    tool_.OnScanEnded(text);
}
