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

// The largest text size at which `rows` lines of `perRow` glyphs fit a square cell, leaving a
// tenth of its width between neighbouring values; its glyph advance and line height.
ValueGlyphs::Fit ValueGlyphs::FitIn(const QFont &font, int perRow, int rows, int cell)
{
    QFont sized = font;
    Fit fit;
    for (fit.size = std::max(4, cell * 4 / (5 * rows));; --fit.size) {
        sized.setPixelSize(fit.size);
        const QFontMetrics metrics(sized);
        fit.advance = 1;
        for (int i = 0; i < 16; ++i)
            fit.advance = std::max(fit.advance, metrics.horizontalAdvance(QLatin1Char(kChars[i])));
        fit.height = std::max(1, metrics.height());
        if (fit.size == 4 || (10 * fit.advance * perRow <= 9 * cell && fit.height * rows <= cell))
            return fit;
    }
}

void ValueGlyphs::Prepare(const QFont &font, int length, int cell)
{
    if (length == length_ && cell == cell_ && font.family() == font_.family())
        return;
    font_ = font;
    length_ = length, cell_ = cell;
    // One line, or two where that lets the text be a quarter larger (long values, small cells).
    const Fit one = FitIn(font, length, 1, cell);
    const Fit two = length > 1 ? FitIn(font, (length + 1) / 2, 2, cell) : one;
    rows_ = 4 * two.size >= 5 * one.size ? 2 : 1;
    const Fit &fit = rows_ == 2 ? two : one;
    font_.setPixelSize(fit.size);
    advance_ = fit.advance;
    height_ = fit.height;
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
    const qsizetype perRow = rows_ == 2 ? (length_ + 1) / 2 : length_;
    const int rows = text.size() > perRow ? 2 : 1; // a short value stays on one line
    const qsizetype cut = rows == 2 ? (text.size() + 1) / 2 : text.size();
    int top = cell.top() + (cell.height() - rows * height_) / 2;
    const QRect clip = target.rect();
    for (int row = 0; row < rows; ++row, top += height_) {
        const QStringView line = row == 0 ? text.first(cut) : text.sliced(cut);
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
