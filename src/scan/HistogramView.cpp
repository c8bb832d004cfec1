#include "scan/HistogramView.h"

#include "scan/InspectorCanvas.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kMargin = 4;
constexpr int kLine = 16; // a text line
}

HistogramView::HistogramView(QWidget *parent)
    : QWidget(parent), title_(QStringLiteral("ヒストグラム（度数は対数）"))
{
    setMinimumSize(264, 190);
    setMouseTracking(true);
}

void HistogramView::SetTitle(const QString &title)
{
    title_ = title;
    update();
}

void HistogramView::SetHistogram(std::vector<std::uint64_t> bins, std::uint32_t maxSample)
{
    bins_ = std::move(bins);
    maxSample_ = maxSample;
    update();
}

void HistogramView::SetFigures(std::optional<SampleStats> stats, std::uint32_t pixelBytes, bool hex)
{
    figures_.clear();
    if (stats && stats->count != 0)
        figures_ = QStringLiteral("画素数 %1　最小 %2　最大 %3\n平均 %4　σ %5")
                       .arg(stats->count)
                       .arg(InspectorCanvas::ValueText(stats->min, pixelBytes, hex),
                            InspectorCanvas::ValueText(stats->max, pixelBytes, hex))
                       .arg(stats->mean, 0, 'f', 2)
                       .arg(stats->sigma, 0, 'f', 2);
    if (stats && stats->undeliveredLines != 0) {
        if (!figures_.isEmpty())
            figures_ += QLatin1Char('\n');
        figures_ +=
            QStringLiteral("未転送の %1 ラインは数えていません").arg(stats->undeliveredLines);
    }
    update();
}

void HistogramView::SetWindow(std::optional<GreyWindow> w)
{
    window_ = w;
    update();
}

int HistogramView::FigureLines() const
{
    return std::max<int>(2, int(figures_.count(QLatin1Char('\n'))) + 1);
}

QRect HistogramView::Plot() const
{
    const int top = (1 + FigureLines()) * kLine + 2;
    return QRect(kMargin, top, width() - 2 * kMargin, height() - top - 2 * kLine - 4);
}

std::uint32_t HistogramView::ValueAt(int x) const
{
    const QRect plot = Plot();
    const double f = std::clamp(double(x - plot.left()) / std::max(1, plot.width()), 0.0, 1.0);
    return std::uint32_t(std::min<double>(maxSample_, std::floor(f * (double(maxSample_) + 1))));
}

int HistogramView::XOf(std::uint32_t v) const
{
    const QRect plot = Plot();
    return plot.left() + int(std::lround(double(v) / (double(maxSample_) + 1) * plot.width()));
}

std::optional<int> HistogramView::BinAt(int x) const
{
    const QRect plot = Plot();
    if (bins_.empty() || x < plot.left() || x > plot.right())
        return std::nullopt;
    return std::min<int>(int(bins_.size()) - 1, (x - plot.left()) * int(bins_.size()) / plot.width());
}

void HistogramView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const int w = width() - 2 * kMargin;
    painter.drawText(QRect(kMargin, 1, w, kLine), Qt::AlignVCenter | Qt::AlignLeft, title_);
    painter.drawText(QRect(kMargin, 1 + kLine, w, FigureLines() * kLine),
                     Qt::AlignVCenter | Qt::AlignLeft, figures_);
    const QRect plot = Plot();
    const QRect axis(kMargin, plot.bottom() + 2, plot.width(), kLine);
    painter.drawText(axis, Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("0"));
    painter.drawText(axis, Qt::AlignVCenter | Qt::AlignRight, QString::number(maxSample_));
    painter.drawText(QRect(kMargin, axis.bottom() + 1, w, kLine), Qt::AlignVCenter | Qt::AlignLeft,
                     cursorText_);
    if (bins_.empty() || plot.width() <= 0 || plot.height() <= 0)
        return;
    painter.fillRect(plot, QColor(0xF4, 0xF4, 0xF4));
    const std::uint64_t most = *std::max_element(bins_.begin(), bins_.end());
    const double top = std::log1p(double(most));
    const int n = int(bins_.size());
    for (int b = 0; most != 0 && b < n; ++b) {
        if (bins_[std::size_t(b)] == 0)
            continue;
        const int x0 = plot.left() + b * plot.width() / n;
        const int x1 = std::max(x0 + 1, plot.left() + (b + 1) * plot.width() / n);
        const int h = std::max(1, int(std::log1p(double(bins_[std::size_t(b)])) / top * plot.height()));
        painter.fillRect(QRect(x0, plot.bottom() - h + 1, x1 - x0, h), QColor(0, 0, 160));
    }
    std::optional<GreyWindow> shown = window_;
    if (dragFrom_ && dragTo_)
        shown = GreyWindow{ValueAt(std::min(*dragFrom_, *dragTo_)), ValueAt(std::max(*dragFrom_, *dragTo_))};
    if (shown) {
        const int a = XOf(shown->lo), b = XOf(shown->hi);
        painter.fillRect(QRect(QPoint(a, plot.top()), QPoint(b, plot.bottom())), QColor(255, 160, 0, 48));
        painter.setPen(QColor(220, 100, 0));
        painter.drawLine(a, plot.top(), a, plot.bottom());
        painter.drawLine(b, plot.top(), b, plot.bottom());
    }
}

void HistogramView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && onWindowDragged && Plot().contains(event->position().toPoint()))
        dragFrom_ = int(event->position().x());
}

void HistogramView::mouseMoveEvent(QMouseEvent *event)
{
    const int x = int(event->position().x());
    if (dragFrom_)
        dragTo_ = x;
    const std::optional<int> bin = BinAt(x);
    if (!bin) {
        cursorText_.clear();
    } else {
        const std::uint64_t per = (std::uint64_t(maxSample_) + 1) / bins_.size();
        cursorText_ = QStringLiteral("値 %1～%2：%3 個")
                          .arg(std::uint64_t(*bin) * per)
                          .arg(std::uint64_t(*bin + 1) * per - 1)
                          .arg(bins_[std::size_t(*bin)]);
    }
    update();
}

void HistogramView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !dragFrom_)
        return;
    const int from = *dragFrom_, to = int(event->position().x());
    dragFrom_.reset();
    dragTo_.reset();
    update();
    if (std::abs(to - from) >= 2 && onWindowDragged)
        onWindowDragged(GreyWindow{ValueAt(std::min(from, to)), ValueAt(std::max(from, to))});
}

void HistogramView::leaveEvent(QEvent *)
{
    cursorText_.clear();
    update();
}
