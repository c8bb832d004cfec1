#include "scan/HistogramView.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kMargin = 4;
constexpr int kTitleHeight = 16;
constexpr int kAxisHeight = 14;
}

HistogramView::HistogramView(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(264, 130);
}

void HistogramView::SetHistogram(std::vector<std::uint64_t> bins, std::uint32_t maxSample)
{
    bins_ = std::move(bins);
    maxSample_ = maxSample;
    update();
}

void HistogramView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.drawText(QRect(kMargin, 1, width() - 2 * kMargin, kTitleHeight),
                     Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("ヒストグラム（度数は対数）"));
    const QRect plot(kMargin, kTitleHeight + 2, width() - 2 * kMargin,
                     height() - kTitleHeight - kAxisHeight - 4);
    const QRect axis(kMargin, plot.bottom() + 2, plot.width(), kAxisHeight);
    painter.drawText(axis, Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("0"));
    painter.drawText(axis, Qt::AlignVCenter | Qt::AlignRight, QString::number(maxSample_));
    if (bins_.empty() || plot.width() <= 0 || plot.height() <= 0)
        return;
    const std::uint64_t most = *std::max_element(bins_.begin(), bins_.end());
    if (most == 0)
        return;
    painter.fillRect(plot, QColor(0xF4, 0xF4, 0xF4));
    const double top = std::log1p(double(most));
    const int n = int(bins_.size());
    for (int b = 0; b < n; ++b) {
        if (bins_[std::size_t(b)] == 0)
            continue;
        const int x0 = plot.left() + b * plot.width() / n;
        const int x1 = std::max(x0 + 1, plot.left() + (b + 1) * plot.width() / n);
        const int h = std::max(1, int(std::log1p(double(bins_[std::size_t(b)])) / top * plot.height()));
        painter.fillRect(QRect(x0, plot.bottom() - h + 1, x1 - x0, h), QColor(0, 0, 160));
    }
}
