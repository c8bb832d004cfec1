#include "scan/ValueGlyphs.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {
constexpr char kChars[] = "0123456789ABCDEF";
}

int ValueGlyphs::IndexOf(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return 10 + (u - u'A');
    return -1;
}

void ValueGlyphs::Prepare(const QFont &font, int perRow, int rows, int cell)
{
    if (perRow == perRow_ && rows == rows_ && cell == cell_ && font.family() == font_.family())
        return;
    font_ = font;
    perRow_ = perRow, rows_ = rows, cell_ = cell;
    const auto widest = [](const QFontMetrics &metrics) {
        int advance = 1;
        for (int i = 0; i < 16; ++i)
            advance = std::max(advance, metrics.horizontalAdvance(QLatin1Char(kChars[i])));
        return advance;
    };
    // From a line height of 80 % of the cell down, until the text leaves a tenth of the width.
    for (int size = std::max(4, cell * 4 / (5 * std::max(rows, 1)));; --size) {
        font_.setPixelSize(size);
        const QFontMetrics metrics(font_);
        advance_ = widest(metrics);
        height_ = std::max(1, metrics.height());
        if (size == 4 || (10 * advance_ * perRow <= 9 * cell && height_ * rows <= cell))
            break;
    }
    for (int i = 0; i < 16; ++i) {
        QImage glyph(advance_, height_, QImage::Format_Alpha8);
        glyph.fill(0);
        QPainter painter(&glyph);
        painter.setFont(font_);
        painter.setPen(Qt::black);
        painter.drawText(QRect(0, 0, advance_, height_), Qt::AlignCenter,
                         QString(QLatin1Char(kChars[i])));
        painter.end();
        glyphs_[std::size_t(i)] = std::move(glyph);
    }
}

void ValueGlyphs::Draw(QImage &target, const QRect &cell, QStringView text, QRgb ink) const
{
    if (cell_ == 0)
        return;
    const int inkR = qRed(ink), inkG = qGreen(ink), inkB = qBlue(ink);
    const qsizetype rows = text.count(u'\n') + 1;
    int top = cell.top() + (cell.height() - int(rows) * height_) / 2;
    const QRect clip = target.rect();
    qsizetype from = 0;
    for (qsizetype row = 0; row < rows; ++row, top += height_) {
        qsizetype to = text.indexOf(u'\n', from);
        if (to < 0)
            to = text.size();
        const QStringView line = text.mid(from, to - from);
        from = to + 1;
        int left = cell.left() + (cell.width() - int(line.size()) * advance_) / 2;
        for (qsizetype k = 0; k < line.size(); ++k, left += advance_) {
            const int index = IndexOf(line[k]);
            if (index < 0)
                continue;
            const QImage &glyph = glyphs_[std::size_t(index)];
            const QRect place = QRect(left, top, advance_, height_).intersected(clip);
            for (int y = place.top(); y <= place.bottom(); ++y) {
                const uchar *coverage = glyph.constScanLine(y - top) + (place.left() - left);
                auto *out = reinterpret_cast<QRgb *>(target.scanLine(y)) + place.left();
                for (int x = 0; x < place.width(); ++x) {
                    const int a = coverage[x];
                    if (a == 0)
                        continue;
                    const QRgb under = out[x];
                    const auto mix = [a](int over, int base) {
                        return (over * a + base * (255 - a) + 127) / 255;
                    };
                    out[x] = qRgb(mix(inkR, qRed(under)), mix(inkG, qGreen(under)),
                                  mix(inkB, qBlue(under)));
                }
            }
        }
    }
}
