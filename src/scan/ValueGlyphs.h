// Sample values written on the inspector's pixels at high zoom. The glyphs a value can hold (the
// digits and A-F) are rendered by Qt once per text size; each redraw then lays them into the
// converted picture with a loop of its own. Qt's text layout for the few hundred values on screen
// cost more than all the rest of a redraw. UI thread only.
#pragma once

#include <QFont>
#include <QImage>
#include <QRect>
#include <QStringView>

#include <array>

class ValueGlyphs {
public:
    // Glyphs in the family of `font`, as large as lets a value of `length` characters fit a
    // square `cell` pixels wide with a gap to its neighbours, on one line or broken in two;
    // rendered again only when these change.
    void Prepare(const QFont &font, int length, int cell);
    // Writes text centred in cell (on two lines if Rows() says so), each glyph's coverage
    // blended over what target holds in ink; clipped to target, which must be a 32-bit RGB
    // image. A character without a glyph leaves a gap.
    void Draw(QImage &target, const QRect &cell, QStringView text, QRgb ink) const;

    int Rows() const { return rows_; }
    int Advance() const { return advance_; }
    int LineHeight() const { return height_; }

private:
    struct Fit {
        int size = 4, advance = 1, height = 1;
    };
    static Fit FitIn(const QFont &font, int perRow, int rows, int cell);
    static int IndexOf(QChar c); // the glyph of c, or -1

    QFont font_;
    int length_ = 0, cell_ = 0;
    int rows_ = 1;
    int advance_ = 0; // every glyph's cell: the widest advance, so that values line up
    int height_ = 0;
    std::array<QImage, 16> glyphs_; // coverage (Alpha8), advance_ x height_
};
