// The live display's frame path: frame arrival on the board library's callback thread, and the
// picture and overlay drawing on the UI thread.
#include "display/NtscViewDlg.h"

#include "display/BgrPixels.h"
#include "display/NtscOverlay.h"
#include "framework/UiThread.h"
#include "res/Resources.h"

#include <QPaintEngine>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cmath>

using namespace res::ntsc;

namespace {

constexpr int kRepaintIntervalMs = 16; // bitmap repaints at most at screen rate
constexpr int kOverlayOffsetX = 13;    // overlay position from the client origin
constexpr int kOverlayOffsetY = 26;

// UI thread, inside a paint: converts the part of `frame` that `shown` (widget pixels; the frame's
// top left at shown's) covers straight into the painter's image, where the painter draws into a
// 32-bit image unscaled and unclipped by us; false (nothing drawn) otherwise. Only the parts of
// the window being painted are written.
bool ConvertIntoDevice(QPainter &painter, const std::uint8_t *frame, std::uint32_t frameWidth,
                       const QRect &shown)
{
    QPaintEngine *engine = painter.paintEngine();
    if (engine == nullptr || engine->type() != QPaintEngine::Raster || painter.hasClipping() ||
        painter.opacity() != 1.0 || painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return false;
    QPaintDevice *device = engine->paintDevice();
    if (device == nullptr || device->devType() != QInternal::Image)
        return false;
    const QImage &image = *static_cast<const QImage *>(device);
    const QImage::Format format = image.format();
    if (image.devicePixelRatio() != 1.0 ||
        (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
         format != QImage::Format_ARGB32_Premultiplied))
        return false;
    const QTransform &toDevice = painter.deviceTransform();
    if (toDevice.type() > QTransform::TxTranslate || toDevice.dx() != std::floor(toDevice.dx()) ||
        toDevice.dy() != std::floor(toDevice.dy()))
        return false;
    const QPoint offset(int(toDevice.dx()), int(toDevice.dy()));
    const QRect target = shown.translated(offset) & image.rect();
    QRegion region = engine->systemClip();
    region = region.isEmpty() ? QRegion(target) : region & target;
    const QPoint origin = shown.topLeft() + offset; // the frame's pixel (0, 0) in the image
    for (const QRect &r : region)
        for (int y = r.top(); y <= r.bottom(); ++y) {
            // The engine writes into the same pixels without a detach; so does this.
            auto *row = reinterpret_cast<std::uint32_t *>(const_cast<uchar *>(image.constScanLine(y)));
            const std::size_t at = std::size_t(y - origin.y()) * frameWidth + std::size_t(r.left() - origin.x());
            display::BgrToRgb32(frame + at * 3, row + r.left(), std::size_t(r.width()));
        }
    return true;
}

std::int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

// ---- Frame arrival (board library callback thread, inside its NtscToolLink) ----

void CNtscViewDlg::OnFrameArrived(std::uint32_t flags, std::uint32_t bufferKind,
                                  const std::uint8_t *data)
{
    m_capture.Deliver(flags, bufferKind, data, ops::LiveCapture::Clock::now());
}

// Inside the capture's delivery: the request thread issues the request.
void CNtscViewDlg::Reissue()
{
    if (fw::AutoResetEvent *frameEvent = m_hFrameEvent.load())
        frameEvent->Set();
}

// Inside the capture's delivery, which keeps `frame` (the display buffer) from other writers; it
// is released only after every callback has left the dialog.
void CNtscViewDlg::Show(const std::uint8_t *frame)
{
    if (m_bOverlay) {
        // The key fields as last typed (mirrored by the UI thread), low 8 bits each.
        m_nKeyRed = m_keyField[0].load() & 0xFF;
        m_nKeyGreen = m_keyField[1].load() & 0xFF;
        m_nKeyBlue = m_keyField[2].load() & 0xFF;
        fw::NotifyUiWaitersOnExit wake; // after the unlock: the UI thread may wait for the lock
        std::lock_guard<std::mutex> lock(g_overlayLock);
        PresentOverlayLocked(frame, OverlayPosition(),
                             OverlayKey{m_nKeyRed.load(), m_nKeyGreen.load(), m_nKeyBlue.load()});
        m_capture.CountShown();
        return;
    }
    // Bitmap mode: the UI thread draws the display buffer; one wake queued at a time.
    m_frameWake.Post(m_capture.FramesCopied());
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
    // Taken before the repaint reads the buffer, so a later frame always brings another wake.
    m_frameWake.Take();
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
        m_capture.CountShown();
    }
}

// The part of the picture frame the coming paint covers with the picture (bitmap mode, a frame).
QRect CNtscViewDlg::OpaquePaintRect() const
{
    if (m_bOverlay || !m_capture.HasFrame())
        return {};
    const QRect target = PictureRect();
    return target & QRect(target.topLeft(), QSize(int(kFrameWidth), int(kFrameHeight)));
}

void CNtscViewDlg::OnPaint(QPainter &painter)
{
    // Unscaled, from the top left inside the frame's border; what does not fit is cut off, so
    // only what fits is converted.
    const QRect target = PictureRect();
    const QSize shown = target.size().boundedTo(QSize(int(kFrameWidth), int(kFrameHeight)));
    bool converted = false;
    const bool framed = m_capture.WithFrame([&](const std::uint8_t *frame) {
        if (m_bOverlay) {
            // The key as last stored. A callback presenting right now shows the newer frame
            // anyway, and a paint must not wait for it.
            std::unique_lock<std::mutex> overlay(g_overlayLock, std::try_to_lock);
            if (overlay.owns_lock())
                PresentOverlayLocked(
                    frame, OverlayPosition(),
                    OverlayKey{m_nKeyRed.load(), m_nKeyGreen.load(), m_nKeyBlue.load()});
            return;
        }
        if (shown.isEmpty())
            return;
        // Only the conversion under the capture's lock (about as quick as a copy), so the
        // callback thread is never kept from the next frame by the drawing: straight into the
        // window's image where the painter allows, else into the picture drawn below.
        if (ConvertIntoDevice(painter, frame, kFrameWidth, QRect(target.topLeft(), shown)))
            return;
        ToPicture(frame, m_picture, shown);
        converted = true;
    });
    if (!framed || !converted)
        return; // nothing before the first Start, shown through the overlay or drawn already
    painter.save();
    painter.setClipRect(target);
    painter.drawImage(target.topLeft(), m_picture, QRect(QPoint(0, 0), shown));
    painter.restore();
}

// B G R bytes to 32-bit pixels here rather than in Qt, whose conversion of a picture this size
// runs on pool threads. Only the top left `shown` part of the picture is converted.
void CNtscViewDlg::ToPicture(const std::uint8_t *frame, QImage &picture, QSize shown)
{
    if (picture.width() != int(kFrameWidth) || picture.height() != int(kFrameHeight) ||
        picture.format() != QImage::Format_RGB32)
        picture = QImage(int(kFrameWidth), int(kFrameHeight), QImage::Format_RGB32);
    shown = shown.boundedTo(picture.size());
    if (shown.isEmpty())
        return;
    for (int y = 0; y < shown.height(); ++y)
        display::BgrToRgb32(frame + std::size_t(y) * kFrameWidth * 3,
                            reinterpret_cast<std::uint32_t *>(picture.scanLine(y)),
                            std::size_t(shown.width()));
}
