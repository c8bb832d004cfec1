#include "tools/BlockMapView.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>

namespace {
constexpr int kShownRecords = 4; // mismatches a hover lists
}

BlockMapView::BlockMapView(const ops::BankTally &bank, QImage map, int columns, int zoom, QWidget *parent)
    : QWidget(parent), bank_(bank), map_(std::move(map)), columns_(columns), zoom_(0)
{
    setMouseTracking(true);
    SetZoom(zoom);
}

void BlockMapView::SetZoom(int zoom)
{
    zoom = std::clamp(zoom, 1, kMaxZoom);
    if (zoom == zoom_)
        return;
    zoom_ = zoom;
    setFixedSize(map_.size() * zoom_);
    update();
}

std::optional<std::uint32_t> BlockMapView::BlockAt(QPoint p) const
{
    if (p.x() < 0 || p.y() < 0)
        return std::nullopt;
    const std::uint64_t x = std::uint64_t(p.x()) / std::uint64_t(zoom_), y = std::uint64_t(p.y()) / std::uint64_t(zoom_);
    const std::uint64_t block = y * std::uint64_t(columns_) + x;
    if (x >= std::uint64_t(columns_) || block >= bank_.blockErrors.size())
        return std::nullopt;
    return std::uint32_t(block);
}

QPoint BlockMapView::CentreOf(std::uint32_t block) const
{
    return QPoint(int(block % std::uint32_t(columns_)) * zoom_ + zoom_ / 2,
                  int(block / std::uint32_t(columns_)) * zoom_ + zoom_ / 2);
}

QString BlockMapView::BlockText(std::uint32_t block) const
{
    const std::uint32_t first = block * kBlockBytes, last = first + kBlockBytes - 1;
    const std::uint32_t errors = block < bank_.blockErrors.size() ? bank_.blockErrors[block] : 0;
    char head[96];
    std::snprintf(head, sizeof head, "BankNo = %u  %08XH～%08XH  エラー = %u", bank_.bank, first, last, errors);
    QString text = QString::fromUtf8(head);
    int listed = 0;
    for (const ops::MismatchRecord &r : bank_.records) {
        if (r.offset < first || r.offset > last)
            continue;
        if (listed++ == kShownRecords) {
            text += QStringLiteral("\n…");
            break;
        }
        const int digits = r.wrote > 0xFF || r.read > 0xFF ? 8 : 2;
        char line[80];
        std::snprintf(line, sizeof line, "\n%08XH  書込 %0*XH  読出 %0*XH", r.offset, digits, r.wrote, digits, r.read);
        text += QString::fromUtf8(line);
    }
    if (errors != 0)
        text += QStringLiteral("\nクリック：このブロックを読み出して表示");
    return text;
}

void BlockMapView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(rect(), map_);
    // Markers over the plain cells, so that a neighbour's cell never hides one.
    const int side = std::max(kMinMarker, zoom_);
    painter.setPen(QPen(Qt::black, 1));
    for (std::size_t i = 0; i < bank_.blockErrors.size(); ++i) {
        if (bank_.blockErrors[i] == 0)
            continue;
        // Kept inside the map at its edges.
        const int x = std::clamp(int(i % std::size_t(columns_)) * zoom_ + (zoom_ - side) / 2, 0, width() - side);
        const int y = std::clamp(int(i / std::size_t(columns_)) * zoom_ + (zoom_ - side) / 2, 0, height() - side);
        painter.setBrush(map_.pixelColor(int(i % std::size_t(columns_)), int(i / std::size_t(columns_))));
        painter.drawRect(QRect(x, y, side - 1, side - 1));
    }
}

bool BlockMapView::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        if (const std::optional<std::uint32_t> block = BlockAt(help->pos()))
            QToolTip::showText(help->globalPos(), BlockText(*block), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void BlockMapView::mouseReleaseEvent(QMouseEvent *event)
{
    const std::optional<std::uint32_t> block = BlockAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !block || !onBlockChosen)
        return;
    const std::function<void(std::uint32_t, std::uint32_t)> chosen = onBlockChosen; // may outlive us
    chosen(bank_.bank, *block * kBlockBytes);
}

void BlockMapView::wheelEvent(QWheelEvent *event)
{
    const int notches = event->angleDelta().y() / 120;
    if (notches == 0)
        return;
    SetZoom(zoom_ + notches);
    event->accept();
}
