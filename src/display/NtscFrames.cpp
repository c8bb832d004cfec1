// The live display's frame path: frame arrival on the board library's callback thread, and the
// picture and overlay drawing on the UI thread.
#include "display/NtscViewDlg.h"

#include "display/NtscOverlay.h"
#include "framework/UiThread.h"
#include "res/Resources.h"

#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstring>

using namespace res::ntsc;

namespace {

constexpr int kRepaintIntervalMs = 16; // bitmap repaints at most at screen rate
constexpr int kOverlayOffsetX = 13;    // overlay position from the client origin
constexpr int kOverlayOffsetY = 26;

std::int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

// ---- Frame arrival (board library callback thread, inside its NtscToolLink) ----

// Bytes that may be read from a delivery: a whole frame from the library's own buffer; from one
// of our request buffers no more than was requested; nothing from a buffer we do not know.
// m_frameLock held.
std::uint32_t CNtscViewDlg::DeliveryExtent(std::uint32_t bufferKind,
                                           const std::uint8_t *data) const
{
    if (data == nullptr)
        return 0;
    if (bufferKind == HOOK_BUFFER_LIBRARY)
        return kFrameBytes;
    for (const fw::ZeroBlock *block : {&m_pBufferA, &m_pBufferB})
        if (*block && data == block->data())
            return std::min<std::uint32_t>(m_dwRequestedSize, std::uint32_t(block->size()));
    return 0;
}

void CNtscViewDlg::OnFrameArrived(std::uint32_t flags, std::uint32_t bufferKind,
                                  const std::uint8_t *data)
{
    const bool frame = (flags & HOOK_FLAG_FRAME) != 0 && (flags & HOOK_FLAG_AREA_SIZE) == 0;
    m_pTransferStats->Record(flags, frame ? kFrameHeight : 0, frame ? kFrameBytes : 0,
                             ops::TransferStats::Clock::now());
    if (flags == HOOK_FLAG_AREA_SIZE || !m_bRunning)
        return;
    // One more request for every delivered frame, before the copy.
    if (fw::AutoResetEvent *frameEvent = m_hFrameEvent.load())
        frameEvent->Set();

    std::lock_guard<std::mutex> hook(m_hookLock);
    const std::uint8_t *display = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        if (!m_pDisplayBuffer)
            return;
        // A delivery shorter than a frame replaces only what it brought.
        const std::uint32_t bytes = std::min(DeliveryExtent(bufferKind, data), kFrameBytes);
        if (bytes == 0)
            return;
        std::memcpy(m_pDisplayBuffer.data(), data, bytes);
        display = m_pDisplayBuffer.data();
    }
    m_nFramesCopied.fetch_add(1);

    if (m_bOverlay) {
        // The key fields as last typed (mirrored by the UI thread), low 8 bits each.
        m_nKeyRed = m_keyField[0].load() & 0xFF;
        m_nKeyGreen = m_keyField[1].load() & 0xFF;
        m_nKeyBlue = m_keyField[2].load() & 0xFF;
        // The display buffer has no other writer while m_hookLock is held, and is released
        // only after every callback has left the dialog.
        fw::NotifyUiWaitersOnExit wake; // after the unlock: the UI thread may wait for the lock
        std::lock_guard<std::mutex> lock(g_overlayLock);
        PresentOverlayLocked(display, OverlayPosition(),
                             OverlayKey{m_nKeyRed.load(), m_nKeyGreen.load(), m_nKeyBlue.load()});
        m_nFramesShown.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    // Bitmap mode: the UI thread draws the display buffer; one wake queued at a time.
    if (!m_bWakePending.exchange(true) &&
        !fw::Dialog::PostMessage(m_hWnd.load(), WM_NTSC_FRAME, 0, 0))
        m_bWakePending = false;
}

QPoint CNtscViewDlg::OverlayPosition() const
{
    return UnpackScreenPoint(m_screenOrigin.load()) + QPoint(kOverlayOffsetX, kOverlayOffsetY);
}

// ---- Drawing (UI thread) ----

QRect CNtscViewDlg::PictureRect() const
{
    return DlgItemRect(IDC_PICTURE).adjusted(1, 1, -1, -1);
}

void CNtscViewDlg::OnFrameWake()
{
    // Cleared before the repaint reads the buffer, so a later frame always brings another.
    m_bWakePending = false;
    ScheduleRepaint();
}

void CNtscViewDlg::ScheduleRepaint()
{
    if (!m_repaintTimer)
        return;
    const std::int64_t since = NowMs() - m_lastRepaintMs;
    if (since >= kRepaintIntervalMs)
        RepaintPicture();
    else if (!m_repaintTimer->isActive())
        m_repaintTimer->start(int(kRepaintIntervalMs - since));
}

void CNtscViewDlg::RepaintPicture()
{
    m_lastRepaintMs = NowMs();
    if (QWidget *w = widget()) {
        w->update(PictureRect());
        m_nFramesShown.fetch_add(1, std::memory_order_relaxed);
    }
}

void CNtscViewDlg::OnPaint(QPainter &painter)
{
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        if (!m_pDisplayBuffer)
            return; // nothing before the first Start
        if (m_bOverlay) {
            // The key as last stored. A callback presenting right now shows the newer frame
            // anyway, and a paint must not wait for it.
            std::unique_lock<std::mutex> overlay(g_overlayLock, std::try_to_lock);
            if (overlay.owns_lock())
                PresentOverlayLocked(
                    m_pDisplayBuffer.data(), OverlayPosition(),
                    OverlayKey{m_nKeyRed.load(), m_nKeyGreen.load(), m_nKeyBlue.load()});
            return;
        }
        // Only a copy under the lock, so the callback thread is never kept from the next frame
        // by the drawing.
        m_paintCopy.assign(m_pDisplayBuffer.data(), m_pDisplayBuffer.data() + kFrameBytes);
    }
    // Unscaled, from the top left inside the frame's border; what does not fit is cut off.
    ToPicture(m_paintCopy.data(), m_picture);
    const QRect target = PictureRect();
    painter.save();
    painter.setClipRect(target);
    painter.drawImage(target.topLeft(), m_picture);
    painter.restore();
}

// B G R bytes to 32-bit pixels here rather than in Qt, whose conversion of a picture this size
// runs on pool threads.
void CNtscViewDlg::ToPicture(const std::uint8_t *frame, QImage &picture)
{
    if (picture.width() != int(kFrameWidth) || picture.height() != int(kFrameHeight) ||
        picture.format() != QImage::Format_RGB32)
        picture = QImage(int(kFrameWidth), int(kFrameHeight), QImage::Format_RGB32);
    for (std::uint32_t y = 0; y < kFrameHeight; ++y) {
        const std::uint8_t *src = frame + std::size_t(y) * kFrameWidth * 3;
        auto *dst = reinterpret_cast<QRgb *>(picture.scanLine(int(y)));
        for (std::uint32_t x = 0; x < kFrameWidth; ++x, src += 3)
            dst[x] = qRgb(src[2], src[1], src[0]);
    }
}
