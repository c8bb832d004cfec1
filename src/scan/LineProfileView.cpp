#include "scan/LineProfileView.h"

#include "scan/InspectorCanvas.h"

#include <QPainter>

#include <algorithm>

namespace {
constexpr int kMargin = 4;
constexpr int kTitleHeight = 16;
}

LineProfileView::LineProfileView(Along along, QWidget *parent) : QWidget(parent), along_(along)
{
    setMinimumHeight(130);
}

void LineProfileView::SetLine(std::shared_ptr<const ScanFrame> frame,
                              std::optional<std::uint32_t> line,
                              std::optional<std::uint32_t> markedPixel)
{
    frame_ = std::move(frame);
    const std::uint32_t across = !frame_ ? 0 : along_ == Along::Line ? frame_->Lines() : frame_->Pixels();
    line_ = frame_ && line && *line < across ? line : std::nullopt;
    marked_ = markedPixel;
    update();
}

void LineProfileView::SetHexValues(bool hex)
{
    hex_ = hex;
    update();
}

std::uint32_t LineProfileView::Length() const
{
    return along_ == Along::Line ? frame_->Pixels() : frame_->Lines();
}

std::uint32_t LineProfileView::SampleAt(std::uint32_t i) const
{
    return along_ == Along::Line ? frame_->Sample(*line_, i) : frame_->Sample(i, *line_);
}

void LineProfileView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const QRect title(kMargin, 1, width() - 2 * kMargin, kTitleHeight);
    const bool byLine = along_ == Along::Line;
    if (!line_ || !frame_ || frame_->Empty()) {
        painter.drawText(title, Qt::AlignVCenter | Qt::AlignLeft,
                         byLine ? QStringLiteral("ラインプロファイル（画像上にカーソルを置いてください）")
                                : QStringLiteral("縦のプロファイル"));
        return;
    }
    const std::uint32_t length = Length();
    const std::uint32_t maxSample = frame_->MaxSample();
    const double max = maxSample;
    const bool lineMissing = byLine && !frame_->Delivered(*line_);
    painter.drawText(title, Qt::AlignVCenter | Qt::AlignLeft,
                     (byLine ? QStringLiteral("ラインプロファイル：ライン %1（%2画素）")
                             : QStringLiteral("縦のプロファイル：画素 %1（%2ライン）"))
                             .arg(*line_)
                             .arg(length) +
                         (lineMissing ? QStringLiteral("　未転送") : QString()));
    // The value axis: its figures in the inspector's notation, at 0, half and the top.
    const QFontMetrics metrics = painter.fontMetrics();
    const int axisWidth = metrics.horizontalAdvance(InspectorCanvas::ValueText(maxSample, frame_->PixelBytes(), hex_)) + 6;
    const QRect plot(kMargin + axisWidth, kTitleHeight + 8, width() - 2 * kMargin - axisWidth,
                     height() - kTitleHeight - 8 - kMargin - 4);
    if (plot.width() <= 0 || plot.height() <= 1)
        return;
    painter.fillRect(plot, QColor(0xF4, 0xF4, 0xF4));
    auto yOf = [&](std::uint32_t v) {
        return plot.bottom() - int(double(v) / max * (plot.height() - 1) + 0.5);
    };
    for (std::uint32_t v : {0u, maxSample / 2 + (maxSample & 1), maxSample}) {
        const int y = yOf(v);
        painter.setPen(QColor(0xC8, 0xC8, 0xC8));
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.setPen(Qt::black);
        painter.drawText(QRect(kMargin, y - 8, axisWidth - 4, 16), Qt::AlignVCenter | Qt::AlignRight,
                         InspectorCanvas::ValueText(v, frame_->PixelBytes(), hex_));
    }
    painter.setPen(QColor(0, 0, 160));
    for (int x = 0; x < plot.width(); ++x) {
        // The samples this column covers; at least one.
        const std::uint32_t first = std::uint32_t(std::uint64_t(x) * length / plot.width());
        const std::uint32_t end = std::max<std::uint32_t>(
            first + 1, std::uint32_t(std::uint64_t(x + 1) * length / plot.width()));
        std::uint32_t lo = ~0u, hi = 0;
        bool any = false;
        for (std::uint32_t i = first; i < end && i < length; ++i) {
            if (lineMissing || (!byLine && !frame_->Delivered(i)))
                continue; // not this frame's samples
            const std::uint32_t v = SampleAt(i);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            any = true;
        }
        if (any)
            painter.drawLine(plot.left() + x, yOf(lo), plot.left() + x, yOf(hi));
    }
    if (marked_ && *marked_ < length) {
        const int x = plot.left() + int((double(*marked_) + 0.5) * plot.width() / length);
        painter.setPen(QColor(255, 48, 48));
        painter.drawLine(x, plot.top(), x, plot.bottom());
    }
}
