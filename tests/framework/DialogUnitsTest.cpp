#include "framework/DialogUnits.h"

#include <gtest/gtest.h>

using namespace fw;

TEST(DialogUnits, MulDivRoundsHalfAwayFromZero)
{
    EXPECT_EQ(MulDiv(45, 12, 8), 68);  // 67.5
    EXPECT_EQ(MulDiv(73, 6, 4), 110);  // 109.5
    EXPECT_EQ(MulDiv(7, 6, 4), 11);    // 10.5
    EXPECT_EQ(MulDiv(5, 6, 4), 8);     // 7.5
    EXPECT_EQ(MulDiv(-5, 6, 4), -8);   // -7.5
    EXPECT_EQ(MulDiv(21, 12, 8), 32);  // 31.5
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

TEST(DialogUnits, EachEdgeConvertedOnItsOwn)
{
    // The start-up dialog's Start button: 30, 45, 73, 24 dialog units.
    const QRect r = DialogUnitsToPixels(30, 45, 73, 24);
    EXPECT_EQ(r, QRect(45, 68, 110, 36));
    // Width is converted by itself, not as right edge minus left edge.
    const QRect odd = DialogUnitsToPixels(1, 1, 1, 1);
    EXPECT_EQ(odd, QRect(2, 2, 2, 2));
    EXPECT_EQ(DialogClientSize(135, 97), QSize(203, 146)); // 202.5 -> 203, 145.5 -> 146
}

TEST(DialogUnits, BaseUnitsFollowDpi)
{
    EXPECT_EQ(BaseUnitsForDpi(96).x, 6);
    EXPECT_EQ(BaseUnitsForDpi(96).y, 12);
    EXPECT_EQ(BaseUnitsForDpi(192).x, 12);
    EXPECT_EQ(BaseUnitsForDpi(192).y, 24);
    EXPECT_EQ(BaseUnitsForDpi(0).x, 6);
}
