#include "display/NtscHook.h"

#include "display/NtscViewDlg.h"

std::atomic<CNtscViewDlg *> g_pNtscViewDlg{nullptr};

void NtscFrameArrived(std::uint32_t flags, std::uint32_t startLine, std::uint32_t lineCount,
                      std::uint32_t bufferKind, void *data)
{
    if (ops::BoardDelivery *delivery = session::HookDelivery())
        delivery->DeliverTo(session::kNtscDisplaySlot,
                            ops::Delivered{flags, startLine, lineCount, bufferKind, data});
}

// Board library callback thread.
std::uint32_t NtscToolLink::OnDelivery(const ops::Delivered &d)
{
    tool_.OnFrameArrived(d.flags, d.bufferKind, static_cast<const std::uint8_t *>(d.data));
    return 0;
}
