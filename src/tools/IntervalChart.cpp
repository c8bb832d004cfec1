#include "tools/IntervalChart.h"

#include <QPainter>

#include <algorithm>

IntervalChart::IntervalChart(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(360, 110);
}

void IntervalChart::SetIntervals(std::vector<double> intervalsUs)
{
    intervals_ = std::move(intervalsUs);
    update();
}

void IntervalChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(frame);
    const QRect plot = frame.adjusted(2, painter.fontMetrics().height() + 2, -2, -2);
    if (intervals_.empty() || plot.width() <= 0 || plot.height() <= 0) {
        painter.drawText(frame.adjusted(4, 2, -4, -2), Qt::AlignLeft | Qt::AlignTop, "間隔: なし");
        return;
    }
    const std::size_t shown = std::min<std::size_t>(intervals_.size(), std::size_t(plot.width()));
    const auto first = intervals_.end() - std::ptrdiff_t(shown);
    const double top = std::max(*std::max_element(first, intervals_.end()), 1.0);
    painter.drawText(frame.adjusted(4, 2, -4, -2), Qt::AlignLeft | Qt::AlignTop,
                     QString("間隔 (最大 %1 us)").arg(top, 0, 'f', 1));
    // One column per interval when they are few, else one pixel each.
    const double step = double(plot.width()) / double(shown);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 128));
    for (std::size_t i = 0; i < shown; ++i) {
        const double v = first[std::ptrdiff_t(i)];
        const int h = std::max(1, int(v / top * plot.height()));
        const int x0 = plot.left() + int(i * step);
        const int x1 = std::max(x0 + 1, plot.left() + int((i + 1) * step) - (step >= 3 ? 1 : 0));
        painter.drawRect(QRect(x0, plot.bottom() - h + 1, x1 - x0, h));
    }
}
