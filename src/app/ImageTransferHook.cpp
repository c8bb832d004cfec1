// The image transfer completion hook: hands each delivery to the open board's delivery object,
// which gives it to the tool that receives images (session/RequestBuffers.h has the order).
#include "app/BoardCallbacks.h"
#include "framework/Clock.h"
#include "framework/MessageBox.h"
#include "session/RequestBuffers.h"

// Board library callback thread. With no tool open the hook only says that it was called.
void ImageTransferHook(std::uint32_t flags, std::uint32_t startLine, std::uint32_t lineCount,
                       std::uint32_t bufferKind, void *data)
{
    ops::BoardDelivery::Outcome done;
    if (ops::BoardDelivery *delivery = session::HookDelivery())
        done = delivery->Deliver(ops::Delivered{flags, startLine, lineCount, bufferKind, data});
    if (!done.served) {
        fw::MessageBox(fw::WindowHandle{0}, "画像転送完了用Hook関数Call");
        return;
    }
    // The configured sleep slows the library's thread down, but outside the dialog, so a close
    // never waits for it.
    if (done.pauseMs != 0)
        fw::Sleep(done.pauseMs);
}
