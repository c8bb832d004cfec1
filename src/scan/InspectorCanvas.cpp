#include "scan/InspectorCanvas.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr QRgb kOutside = 0xFF303040; // around the image: darker than any grey it shows
constexpr int kDragThreshold = 3;     // pixels a press may move and still be a click
constexpr int kStrip = 16;            // rows per drawImage call (see Paint)

// The byte of a sample that gives its grey, as in the scan tool's picture.
std::uint32_t GreyByte(std::uint32_t pixelBytes)
{
    return pixelBytes == 4 ? 2 : 0;
}

} // namespace

InspectorCanvas::InspectorCanvas(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(160, 120);
}

void InspectorCanvas::SetFrame(std::shared_ptr<const ScanFrame> frame)
{
    const bool sameShape = frame_ && frame && frame_->Pixels() == frame->Pixels() &&
                           frame_->Lines() == frame->Lines() &&
                           frame_->PixelBytes() == frame->PixelBytes();
    frame_ = std::move(frame);
    if (!sameShape) {
        if (pinned_ && (!frame_ || pinned_->line >= frame_->Lines() ||
                        pinned_->pixel >= frame_->Pixels()))
            SetPinned(std::nullopt);
        fitted_ = true;
        Fit();
    }
    update();
}

double InspectorCanvas::FitZoom() const
{
    if (!frame_ || frame_->Empty() || width() <= 0 || height() <= 0)
        return 1.0;
    const double fit = std::min(double(width()) / frame_->Pixels(), double(height()) / frame_->Lines());
    return std::min(fit, kMaxZoom);
}

void InspectorCanvas::Fit()
{
    zoom_ = FitZoom();
    fitted_ = true;
    origin_ = QPointF(0, 0);
    ClampOrigin();
    update();
    if (onZoomChanged)
        onZoomChanged();
}

void InspectorCanvas::ZoomAt(double z, QPointF at)
{
    const double fit = FitZoom();
    z = std::clamp(z, fit, std::max(fit, kMaxZoom));
    const QPointF imagePoint = origin_ + at / zoom_;
    zoom_ = z;
    fitted_ = z <= fit;
    origin_ = imagePoint - at / zoom_;
    ClampOrigin();
    update();
    if (onZoomChanged)
        onZoomChanged();
}

void InspectorCanvas::ClampOrigin()
{
    if (!frame_ || frame_->Empty())
        return;
    auto clampAxis = [](double origin, double viewExtent, double imageExtent) {
        if (imageExtent <= viewExtent)
            return -(viewExtent - imageExtent) / 2; // centred
        return std::clamp(origin, 0.0, imageExtent - viewExtent);
    };
    origin_.setX(clampAxis(origin_.x(), width() / zoom_, frame_->Pixels()));
    origin_.setY(clampAxis(origin_.y(), height() / zoom_, frame_->Lines()));
}

std::optional<ImagePixel> InspectorCanvas::PixelAt(QPointF viewPoint) const
{
    if (!frame_ || frame_->Empty())
        return std::nullopt;
    const QPointF p = origin_ + viewPoint / zoom_;
    const double x = std::floor(p.x()), y = std::floor(p.y());
    if (x < 0 || y < 0 || x >= frame_->Pixels() || y >= frame_->Lines())
        return std::nullopt;
    return ImagePixel{std::uint32_t(y), std::uint32_t(x)};
}

QPointF InspectorCanvas::ViewPointOf(ImagePixel p) const
{
    return (QPointF(p.pixel + 0.5, p.line + 0.5) - origin_) * zoom_;
}

void InspectorCanvas::SetPinned(std::optional<ImagePixel> p)
{
    pinned_ = p;
    update();
    if (onPinned)
        onPinned(pinned_);
}

void InspectorCanvas::Render(QImage &target) const
{
    const int w = std::max(width(), 1), h = std::max(height(), 1);
    if (target.width() != w || target.height() != h)
        target = QImage(w, h, QImage::Format_ARGB32_Premultiplied); // opaque
    if (!frame_ || frame_->Empty()) {
        target.fill(kOutside);
        return;
    }
    // Which image pixel each view column shows (its centre's), worked out once per redraw.
    const std::uint32_t pixelBytes = frame_->PixelBytes();
    std::vector<std::int64_t> columnByte(static_cast<std::size_t>(w));
    for (int x = 0; x < w; ++x) {
        const double sx = std::floor(origin_.x() + (x + 0.5) / zoom_);
        columnByte[std::size_t(x)] = sx >= 0 && sx < frame_->Pixels()
                                         ? std::int64_t(sx) * pixelBytes + GreyByte(pixelBytes)
                                         : -1;
    }
    for (int y = 0; y < h; ++y) {
        auto *out = reinterpret_cast<QRgb *>(target.scanLine(y));
        const double sy = std::floor(origin_.y() + (y + 0.5) / zoom_);
        if (sy < 0 || sy >= frame_->Lines()) {
            std::fill(out, out + w, kOutside);
            continue;
        }
        const std::uint8_t *line = frame_->Line(std::uint32_t(sy));
        for (int x = 0; x < w; ++x) {
            const std::int64_t at = columnByte[std::size_t(x)];
            if (at < 0) {
                out[x] = kOutside;
            } else {
                const std::uint8_t g = line[at];
                out[x] = qRgb(g, g, g);
            }
        }
    }
}

void InspectorCanvas::paintEvent(QPaintEvent *)
{
    Render(rendered_);
    QPainter painter(this);
    // In strips, as the scan tool paints its picture: one large conversion would run on Qt's
    // worker threads.
    for (int y = 0; y < rendered_.height(); y += kStrip)
        painter.drawImage(QPoint(0, y), rendered_, QRect(0, y, rendered_.width(), kStrip));
    if (pinned_) {
        const QPointF c = ViewPointOf(*pinned_);
        const double half = std::max(zoom_ / 2, 4.0);
        painter.setPen(QPen(QColor(255, 48, 48), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(c.x() - half, c.y() - half, 2 * half, 2 * half));
    }
}

void InspectorCanvas::resizeEvent(QResizeEvent *)
{
    if (fitted_)
        Fit();
    else
        ClampOrigin();
}

void InspectorCanvas::wheelEvent(QWheelEvent *event)
{
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0)
        return;
    ZoomAt(zoom_ * std::pow(2.0, notches / 2), event->position()); // each notch: x 1.41
    event->accept();
}

void InspectorCanvas::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    pressAt_ = event->position();
    pressOrigin_ = origin_;
    dragged_ = false;
}

void InspectorCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (pressAt_ && (event->buttons() & Qt::LeftButton)) {
        const QPointF moved = event->position() - *pressAt_;
        if (std::abs(moved.x()) + std::abs(moved.y()) > kDragThreshold)
            dragged_ = true;
        if (dragged_) {
            origin_ = pressOrigin_ - moved / zoom_;
            ClampOrigin();
            update();
        }
    }
    if (onHover)
        onHover(PixelAt(event->position()));
}

void InspectorCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !pressAt_)
        return;
    pressAt_.reset();
    if (dragged_)
        return;
    // A click pins the probe to the pixel; a click on the pinned pixel lets it go.
    const std::optional<ImagePixel> p = PixelAt(event->position());
    SetPinned(p && pinned_ && *p == *pinned_ ? std::nullopt : p);
}

void InspectorCanvas::leaveEvent(QEvent *)
{
    if (onHover)
        onHover(std::nullopt);
}

void InspectorCanvas::contextMenuEvent(QContextMenuEvent *event)
{
    if (onContextMenu)
        onContextMenu(event->globalPos(), PixelAt(event->pos()));
}
