#include "tools/IntervalChart.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// 1, 2 or 5 times a power of ten, at least v.
double NiceStep(double v)
{
    const double power = std::pow(10.0, std::floor(std::log10(std::max(v, 1e-9))));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= v)
            return m * power;
    return 10 * power;
}

} // namespace

IntervalChart::IntervalChart(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(360, 140);
}

void IntervalChart::SetIntervals(std::vector<double> intervalsUs)
{
    intervals_ = std::move(intervalsUs);
    update();
}

QString IntervalChart::DurationText(double us)
{
    if (us >= 1e6)
        return QStringLiteral("%1 s").arg(us / 1e6, 0, 'g', 3);
    if (us >= 1e3)
        return QStringLiteral("%1 ms").arg(us / 1e3, 0, 'g', 3);
    return QStringLiteral("%1 us").arg(us, 0, 'g', 3);
}

QRect IntervalChart::Plot() const
{
    const QFontMetrics metrics = fontMetrics();
    const int axis = metrics.horizontalAdvance(QStringLiteral("999 ms")) + 8;
    return QRect(axis, metrics.height() + 8, width() - axis - 10, height() - 2 * metrics.height() - 14);
}

std::size_t IntervalChart::Shown() const
{
    return std::min<std::size_t>(intervals_.size(), std::size_t(std::max(0, Plot().width())));
}

double IntervalChart::Top() const
{
    const std::size_t shown = Shown();
    if (shown == 0)
        return 1.0;
    return std::max(*std::max_element(intervals_.end() - std::ptrdiff_t(shown), intervals_.end()), 1.0);
}

std::vector<IntervalChart::Tick> IntervalChart::ValueTicks() const
{
    std::vector<Tick> ticks;
    const QRect plot = Plot();
    if (Shown() == 0 || plot.height() <= 0)
        return ticks;
    const double top = Top(), step = NiceStep(top / 3);
    for (double v = 0; v <= top * 1.0000001; v += step)
        ticks.push_back({plot.bottom() + 1 - v / top * plot.height(), DurationText(v)});
    return ticks;
}

// The bars have one width whatever their length, so the time axis is marked where the summed
// intervals, counted back from the latest frame, pass each step.
std::vector<IntervalChart::Tick> IntervalChart::TimeTicks() const
{
    std::vector<Tick> ticks;
    const QRect plot = Plot();
    const std::size_t shown = Shown();
    if (shown == 0 || plot.width() <= 0)
        return ticks;
    const auto first = intervals_.end() - std::ptrdiff_t(shown);
    double total = 0;
    for (auto it = first; it != intervals_.end(); ++it)
        total += std::max(*it, 0.0);
    const double step = NiceStep(total / 4);
    const double barWidth = double(plot.width()) / double(shown);
    ticks.push_back({double(plot.left() + plot.width()), QStringLiteral("0")});
    double back = 0; // time from the latest frame back to the end of bar i - 1
    double next = step;
    for (std::size_t i = shown; i-- > 0 && next <= total;) {
        const double v = std::max(first[std::ptrdiff_t(i)], 0.0);
        while (next <= back + v && next <= total) {
            // Within bar i, at the share of it that lies past `next`.
            const double into = v > 0 ? (back + v - next) / v : 0;
            ticks.push_back({plot.left() + barWidth * (double(i) + into), "-" + DurationText(next)});
            next += step;
        }
        back += v;
    }
    return ticks;
}

void IntervalChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(frame);
    const QRect plot = Plot();
    const std::size_t shown = Shown();
    if (shown == 0 || plot.height() <= 0) {
        painter.drawText(frame.adjusted(4, 2, -4, -2), Qt::AlignLeft | Qt::AlignTop, "間隔: なし");
        return;
    }
    const auto first = intervals_.end() - std::ptrdiff_t(shown);
    const double top = Top();
    painter.drawText(frame.adjusted(4, 2, -4, -2), Qt::AlignLeft | Qt::AlignTop,
                     QString("フレーム間隔（最大 %1 us、横軸は最新フレームからの時間）").arg(top, 0, 'f', 1));
    painter.fillRect(plot, QColor(0xF6, 0xF6, 0xF6));
    const int textHeight = painter.fontMetrics().height();
    for (const Tick &t : ValueTicks()) {
        painter.setPen(QColor(0xD0, 0xD0, 0xD0));
        painter.drawLine(QPointF(plot.left(), t.at), QPointF(plot.right(), t.at));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(2, t.at - textHeight / 2.0, plot.left() - 6, textHeight),
                         Qt::AlignRight | Qt::AlignVCenter, t.text);
    }
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
    painter.setPen(Qt::black);
    const QFontMetrics metrics = painter.fontMetrics();
    int lastRight = plot.right() + 10; // labels are placed right to left, never overlapping
    for (const Tick &t : TimeTicks()) {
        painter.drawLine(QPointF(t.at, plot.bottom() + 1), QPointF(t.at, plot.bottom() + 4));
        const int w = metrics.horizontalAdvance(t.text);
        const int left = std::clamp(int(t.at) - w / 2, 2, width() - w - 2);
        if (left + w + 4 > lastRight)
            continue;
        painter.drawText(QRect(left, plot.bottom() + 4, w, textHeight), Qt::AlignCenter, t.text);
        lastRight = left;
    }
}
