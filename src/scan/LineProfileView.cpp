#include "scan/LineProfileView.h"

#include <QPainter>

#include <algorithm>

namespace {
constexpr int kMargin = 4;
constexpr int kTitleHeight = 16;
}

LineProfileView::LineProfileView(QWidget *parent) : QWidget(parent)
{
    setMinimumHeight(110);
}

void LineProfileView::SetLine(std::shared_ptr<const ScanFrame> frame,
                              std::optional<std::uint32_t> line,
                              std::optional<std::uint32_t> markedPixel)
{
    frame_ = std::move(frame);
    line_ = frame_ && line && *line < frame_->Lines() ? line : std::nullopt;
    marked_ = markedPixel;
    update();
}

void LineProfileView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const QRect title(kMargin, 1, width() - 2 * kMargin, kTitleHeight);
    if (!line_ || !frame_ || frame_->Pixels() == 0) {
        painter.drawText(title, Qt::AlignVCenter | Qt::AlignLeft,
                         QStringLiteral("ラインプロファイル（画像上にカーソルを置いてください）"));
        return;
    }
    const std::uint32_t pixels = frame_->Pixels();
    const double max = frame_->MaxSample();
    painter.drawText(title, Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("ラインプロファイル：ライン %1（%2画素、縦軸 0～%3）")
                         .arg(*line_)
                         .arg(pixels)
                         .arg(std::uint64_t(max)));
    const QRect plot(kMargin, kTitleHeight + 2, width() - 2 * kMargin,
                     height() - kTitleHeight - 2 - kMargin);
    if (plot.width() <= 0 || plot.height() <= 1)
        return;
    painter.fillRect(plot, QColor(0xF4, 0xF4, 0xF4));
    const std::uint8_t *samples = frame_->Line(*line_);
    const std::uint32_t pixelBytes = frame_->PixelBytes();
    auto yOf = [&](std::uint32_t v) {
        return plot.bottom() - int(double(v) / max * (plot.height() - 1) + 0.5);
    };
    painter.setPen(QColor(0, 0, 160));
    for (int x = 0; x < plot.width(); ++x) {
        // The pixels this column covers; at least one.
        const std::uint32_t first = std::uint32_t(std::uint64_t(x) * pixels / plot.width());
        const std::uint32_t end = std::max<std::uint32_t>(
            first + 1, std::uint32_t(std::uint64_t(x + 1) * pixels / plot.width()));
        std::uint32_t lo = ~0u, hi = 0;
        for (std::uint32_t p = first; p < end && p < pixels; ++p) {
            const std::uint32_t v = ReadSample(samples + std::size_t(p) * pixelBytes, pixelBytes);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        painter.drawLine(plot.left() + x, yOf(lo), plot.left() + x, yOf(hi));
    }
    if (marked_ && *marked_ < pixels) {
        const int x = plot.left() + int((double(*marked_) + 0.5) * plot.width() / pixels);
        painter.setPen(QColor(255, 48, 48));
        painter.drawLine(x, plot.top(), x, plot.bottom());
    }
}
