// Dialog units to pixels, the way the classic window system maps them: each of x, y, width and
// height converted on its own with MulDiv rounding, from fixed base units (6 x 12 for the 9-point
// Gothic fonts at 96 DPI) scaled by the screen's DPI.
#pragma once

#include <QRect>

namespace fw {

int MulDiv(int number, int numerator, int denominator); // rounded to nearest, like the system's

struct BaseUnits {
    int x = 6;
    int y = 12;
};

BaseUnits BaseUnitsForDpi(double logicalDpi);
QRect DialogUnitsToPixels(int x, int y, int cx, int cy, BaseUnits base = {});
QSize DialogClientSize(int cx, int cy, BaseUnits base = {});

} // namespace fw
