// The image transfer completion hook: dispatches each delivery to the tool that receives images.
#include "app/BoardCallbacks.h"
#include "display/NtscHook.h"
#include "display/NtscViewDlg.h"
#include "framework/Clock.h"
#include "framework/MessageBox.h"
#include "scan/RectScanDlg.h"
#include "scan/ScanToolGate.h"

// Board library callback thread. The live display, when open, takes every delivery; else the
// scan tool; with neither open the hook only says that it was called.
void ImageTransferHook(std::uint32_t flags, std::uint32_t startLine, std::uint32_t lineCount,
                       std::uint32_t bufferKind, void *data)
{
    if (g_pNtscViewDlg.load() != nullptr) {
        NtscFrameArrived(flags, startLine, lineCount, bufferKind, data);
        return;
    }
    std::uint32_t sleepMs = 0;
    bool served = false;
    {
        ScanToolVisit visit;
        if (CRectScanDlg *dlg = visit.dialog()) {
            sleepMs = dlg->OnImageTransfer(flags, startLine, lineCount, bufferKind,
                                           static_cast<const std::uint8_t *>(data));
            served = true;
        }
    }
    if (served) {
        // The configured sleep slows the library's thread down, but outside the dialog, so a
        // close never waits for it.
        if (sleepMs != 0)
            fw::Sleep(sleepMs);
        return;
    }
    fw::MessageBox(fw::WindowHandle{0}, "画像転送完了用Hook関数Call");
}
