#include "framework/DialogUnits.h"

#include <cmath>
#include <cstdint>

namespace fw {

int MulDiv(int number, int numerator, int denominator)
{
    if (denominator == 0)
        return -1;
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    // Round half away from zero, as the system's MulDiv does.
    const std::int64_t half = (denominator < 0 ? -denominator : denominator) / 2;
    std::int64_t result;
    if ((product < 0) != (denominator < 0))
        result = (product - (product < 0 ? half : -half)) / denominator;
    else
        result = (product + (product < 0 ? -half : half)) / denominator;
    return static_cast<int>(result);
}

BaseUnits BaseUnitsForDpi(double logicalDpi)
{
    if (logicalDpi <= 0)
        logicalDpi = 96;
    BaseUnits base;
    base.x = static_cast<int>(std::lround(6 * logicalDpi / 96.0));
    base.y = static_cast<int>(std::lround(12 * logicalDpi / 96.0));
    return base;
}

QRect DialogUnitsToPixels(int x, int y, int cx, int cy, BaseUnits base)
{
    return QRect(MulDiv(x, base.x, 4), MulDiv(y, base.y, 8), MulDiv(cx, base.x, 4),
                 MulDiv(cy, base.y, 8));
}

QSize DialogClientSize(int cx, int cy, BaseUnits base)
{
    return QSize(MulDiv(cx, base.x, 4), MulDiv(cy, base.y, 8));
}

} // namespace fw
