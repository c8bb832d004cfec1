// The inspector canvas's values, grey window, region and keyboard probe. UI thread only.
#include "scan/InspectorCanvas.h"

#include <QCursor>
#include <QKeyEvent>

#include <algorithm>
#include <cmath>

void InspectorCanvas::SetWindow(GreyWindow w)
{
    if (!w.Shifted() && w.hi <= w.lo) { // never empty, never wrapping past the top
        if (w.lo == ~std::uint32_t(0))
            --w.lo;
        w.hi = w.lo + 1;
    }
    if (w == window_)
        return;
    window_ = w;
    RebuildLut();
    update();
}

// A table for 8 and 16 bits (64 KiB at most); 32-bit samples are mapped one by one.
void InspectorCanvas::RebuildLut()
{
    const std::uint32_t pixelBytes = frame_ ? frame_->PixelBytes() : 1;
    if (pixelBytes == 4) {
        lut_.clear();
        return;
    }
    lut_.resize(pixelBytes == 2 ? 65536 : 256);
    for (std::size_t v = 0; v < lut_.size(); ++v)
        lut_[v] = window_.Grey(std::uint32_t(v));
}

void InspectorCanvas::SetHexValues(bool hex)
{
    hex_ = hex;
    update();
}

QString InspectorCanvas::ValueText(std::uint32_t sample, std::uint32_t pixelBytes, bool hex)
{
    if (!hex)
        return QString::number(sample);
    return QStringLiteral("%1").arg(sample, int(pixelBytes * 2), 16, QLatin1Char('0')).toUpper();
}

std::vector<InspectorCanvas::DrawnValue> InspectorCanvas::ValuesShown() const
{
    std::vector<DrawnValue> values;
    if (!frame_ || frame_->Empty() || zoom_ < kValueZoom)
        return values;
    const auto first = [](double o) { return std::uint32_t(std::max(0.0, std::floor(o))); };
    const std::uint32_t x0 = first(origin_.x()), y0 = first(origin_.y());
    const std::uint32_t x1 = std::min<double>(frame_->Pixels(), std::ceil(origin_.x() + width() / zoom_));
    const std::uint32_t y1 = std::min<double>(frame_->Lines(), std::ceil(origin_.y() + height() / zoom_));
    for (std::uint32_t y = y0; y < y1; ++y)
        for (std::uint32_t x = x0; x < x1 && frame_->Delivered(y); ++x) { // hatched lines: no value
            const std::uint32_t v = frame_->Sample(y, x);
            const QPointF corner = (QPointF(x, y) - origin_) * zoom_;
            values.push_back({ImagePixel{y, x}, ValueText(v, frame_->PixelBytes(), hex_),
                              GreyOf(v) < 128 ? qRgb(255, 255, 255) : qRgb(0, 0, 0),
                              QRectF(corner, QSizeF(zoom_, zoom_))});
        }
    return values;
}

PixelRect InspectorCanvas::RectBetween(ImagePixel a, ImagePixel b) const
{
    return PixelRect{std::min(a.line, b.line), std::min(a.pixel, b.pixel),
                     std::max(a.line, b.line) - std::min(a.line, b.line) + 1,
                     std::max(a.pixel, b.pixel) - std::min(a.pixel, b.pixel) + 1};
}

void InspectorCanvas::SetRegion(std::optional<PixelRect> r)
{
    region_ = r;
    update();
    if (onRegion)
        onRegion(region_);
}

void InspectorCanvas::StepProbe(int lines, int pixels)
{
    if (!frame_ || frame_->Empty())
        return;
    std::optional<ImagePixel> from = pinned_;
    if (!from)
        from = PixelAt(mapFromGlobal(QCursor::pos()));
    const ImagePixel base = from.value_or(ImagePixel{});
    const auto step = [](std::uint32_t at, int by, std::uint32_t extent) {
        return std::uint32_t(std::clamp<std::int64_t>(std::int64_t(at) + by, 0, std::int64_t(extent) - 1));
    };
    const ImagePixel to{step(base.line, lines, frame_->Lines()), step(base.pixel, pixels, frame_->Pixels())};
    const QPointF at = ViewPointOf(to);
    if (!QRectF(rect()).adjusted(zoom_, zoom_, -zoom_, -zoom_).contains(at)) {
        origin_ = QPointF(to.pixel + 0.5, to.line + 0.5) - QPointF(width(), height()) / (2 * zoom_);
        ClampOrigin();
    }
    SetPinned(to);
}

void InspectorCanvas::keyPressEvent(QKeyEvent *event)
{
    const int by = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
    switch (event->key()) {
    case Qt::Key_Left: StepProbe(0, -by); break;
    case Qt::Key_Right: StepProbe(0, by); break;
    case Qt::Key_Up: StepProbe(-by, 0); break;
    case Qt::Key_Down: StepProbe(by, 0); break;
    case Qt::Key_Escape:
        if (!region_)
            return QWidget::keyPressEvent(event);
        SetRegion(std::nullopt);
        break;
    default:
        if (event->matches(QKeySequence::Copy) && onCopy) {
            onCopy();
            break;
        }
        return QWidget::keyPressEvent(event);
    }
    event->accept();
}
