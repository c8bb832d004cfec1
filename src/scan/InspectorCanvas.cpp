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

// A grid line on a pixel of grey g: apart from it whatever g is.
inline QRgb GridOn(std::uint8_t g)
{
    const int v = g < 128 ? g + 72 : g - 72;
    return qRgb(v, v, v);
}

// Lines the frame did not deliver: diagonal stripes of two colours no grey (r = g = b) can have,
// fixed to the view so that they read as a mark, not as picture.
inline QRgb UndeliveredAt(int x, int y)
{
    return ((x + y) / 6) % 2 == 0 ? InspectorCanvas::kUndelivered : InspectorCanvas::kUndeliveredDark;
}

} // namespace

InspectorCanvas::InspectorCanvas(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(160, 120);
}

void InspectorCanvas::SetFrame(std::shared_ptr<const ScanFrame> frame)
{
    const bool sameShape = frame_ && frame && frame_->Pixels() == frame->Pixels() &&
                           frame_->Lines() == frame->Lines() &&
                           frame_->PixelBytes() == frame->PixelBytes();
    const bool sameSize = frame_ && frame && frame_->PixelBytes() == frame->PixelBytes();
    frame_ = std::move(frame);
    if (!sameSize)
        RebuildLut();
    if (!sameShape) {
        if (region_)
            SetRegion(std::nullopt);
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
    // Which image pixel each view column shows (its centre's), worked out once per redraw; from
    // kValueZoom up, the first column of each pixel carries the grid.
    const std::uint32_t pixelBytes = frame_->PixelBytes();
    const bool grid = zoom_ >= kValueZoom;
    std::vector<std::int64_t> columnByte(static_cast<std::size_t>(w));
    std::vector<char> gridColumn(static_cast<std::size_t>(w), 0);
    double lastSx = -2;
    for (int x = 0; x < w; ++x) {
        const double sx = std::floor(origin_.x() + (x + 0.5) / zoom_);
        const bool inside = sx >= 0 && sx < frame_->Pixels();
        columnByte[std::size_t(x)] = inside ? std::int64_t(sx) * pixelBytes : -1;
        gridColumn[std::size_t(x)] = grid && inside && sx != lastSx;
        lastSx = sx;
    }
    double lastSy = -2;
    int sameAs = -1; // a row already converted from the same line without the grid, or -1
    auto fill = [&](auto sampleAt) {
        for (int y = 0; y < h; ++y) {
            auto *out = reinterpret_cast<QRgb *>(target.scanLine(y));
            const double sy = std::floor(origin_.y() + (y + 0.5) / zoom_);
            const bool newLine = sy != lastSy;
            const bool gridRow = grid && newLine;
            lastSy = sy;
            if (newLine)
                sameAs = -1;
            if (sy < 0 || sy >= frame_->Lines()) {
                std::fill(out, out + w, kOutside);
                continue;
            }
            if (!frame_->Delivered(std::uint32_t(sy))) {
                for (int x = 0; x < w; ++x)
                    out[x] = columnByte[std::size_t(x)] < 0 ? kOutside : UndeliveredAt(x, y);
                continue;
            }
            if (sameAs >= 0 && !gridRow) { // zoomed in: the rows of one line are alike
                std::copy_n(reinterpret_cast<const QRgb *>(target.constScanLine(sameAs)), w, out);
                continue;
            }
            const std::uint8_t *line = frame_->Line(std::uint32_t(sy));
            for (int x = 0; x < w; ++x) {
                const std::int64_t at = columnByte[std::size_t(x)];
                if (at < 0) {
                    out[x] = kOutside;
                    continue;
                }
                const std::uint8_t g = GreyOf(sampleAt(line + at));
                out[x] = gridRow || gridColumn[std::size_t(x)] ? GridOn(g) : qRgb(g, g, g);
            }
            if (!gridRow)
                sameAs = y;
        }
    };
    if (pixelBytes == 1)
        fill([](const std::uint8_t *p) { return std::uint32_t(*p); });
    else if (pixelBytes == 2)
        fill([](const std::uint8_t *p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; });
    else
        fill([](const std::uint8_t *p) { return ReadSample(p, 4); });
}

void InspectorCanvas::paintEvent(QPaintEvent *)
{
    Render(rendered_);
    const std::vector<DrawnValue> values = ValuesShown();
    if (!values.empty()) {
        // One size for all: the longest value of the pixel size fits a pixel.
        glyphs_.Prepare(font(),
                        int(ValueText(frame_->MaxSample(), frame_->PixelBytes(), hex_).size()),
                        int(zoom_));
        for (const DrawnValue &v : values) {
            const QRect cell(int(std::floor(v.cell.left())), int(std::floor(v.cell.top())),
                             int(std::lround(v.cell.width())), int(std::lround(v.cell.height())));
            glyphs_.Draw(rendered_, cell, v.text, v.ink);
        }
    }
    QPainter painter(this);
    // In strips, as the scan tool paints its picture: one large conversion would run on Qt's
    // worker threads.
    for (int y = 0; y < rendered_.height(); y += kStrip)
        painter.drawImage(QPoint(0, y), rendered_, QRect(0, y, rendered_.width(), kStrip));
    if (region_) {
        const QPointF a = (QPointF(region_->pixel, region_->line) - origin_) * zoom_;
        const QPointF b = (QPointF(double(region_->pixel) + region_->pixels,
                                   double(region_->line) + region_->lines) - origin_) * zoom_;
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(255, 220, 0), 1, Qt::DashLine));
        painter.drawRect(QRectF(a, b).adjusted(0, 0, -1, -1));
    }
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
    setFocus(Qt::MouseFocusReason);
    if (event->modifiers() & Qt::ControlModifier) {
        regionFrom_ = PixelAt(event->position());
        if (regionFrom_)
            SetRegion(RectBetween(*regionFrom_, *regionFrom_));
        return;
    }
    pressAt_ = event->position();
    pressOrigin_ = origin_;
    dragged_ = false;
}

void InspectorCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (regionFrom_ && (event->buttons() & Qt::LeftButton) && frame_ && !frame_->Empty()) {
        const QPointF p = origin_ + event->position() / zoom_;
        const ImagePixel to{std::uint32_t(std::clamp(std::floor(p.y()), 0.0, frame_->Lines() - 1.0)),
                            std::uint32_t(std::clamp(std::floor(p.x()), 0.0, frame_->Pixels() - 1.0))};
        region_ = RectBetween(*regionFrom_, to);
        update();
    }
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
    if (event->button() == Qt::LeftButton && regionFrom_) {
        regionFrom_.reset();
        SetRegion(region_); // tells the owner
        return;
    }
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
