// The image transfer completion hook: dispatches each delivery to the tool that receives images.
#include "app/BoardCallbacks.h"
#include "display/NtscHook.h"
#include "display/NtscViewDlg.h"
#include "framework/Clock.h"
#include "framework/MessageBox.h"
#include "scan/RectScanDlg.h"
#include "scan/ScanToolGate.h"
#include "session/RequestBuffers.h"

namespace {

// What became of one delivery.
struct Dispatched {
    bool served = false;     // a tool took it
    std::uint32_t sleepMs = 0; // the scan tool's hook sleep, slept after the dispatch
};

// Board library callback thread. The live display, when open, takes every delivery; else the
// scan tool.
Dispatched Dispatch(std::uint32_t flags, std::uint32_t startLine, std::uint32_t lineCount,
                    std::uint32_t bufferKind, void *data)
{
    // Keeps any retired request buffer that data may point into until the tools are done with it.
    session::CallbackScope scope;
    if (g_pNtscViewDlg.load() != nullptr) {
        NtscFrameArrived(flags, startLine, lineCount, bufferKind, data);
        return {true, 0};
    }
    ScanToolVisit visit;
    if (CRectScanDlg *dlg = visit.dialog())
        return {true, dlg->OnImageTransfer(flags, startLine, lineCount, bufferKind,
                                           static_cast<const std::uint8_t *>(data))};
    return {};
}

} // namespace

// Board library callback thread. With no tool open the hook only says that it was called.
void ImageTransferHook(std::uint32_t flags, std::uint32_t startLine, std::uint32_t lineCount,
                       std::uint32_t bufferKind, void *data)
{
    const Dispatched done = Dispatch(flags, startLine, lineCount, bufferKind, data);
    if (!done.served) {
        fw::MessageBox(fw::WindowHandle{0}, "画像転送完了用Hook関数Call");
        return;
    }
    // The configured sleep slows the library's thread down, but outside the dialog, so a close
    // never waits for it.
    if (done.sleepMs != 0)
        fw::Sleep(done.sleepMs);
}
