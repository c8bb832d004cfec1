// The interval chart's axes: time marks where the summed intervals, counted back from the latest
// frame, pass each step, even when the bars are of unequal length.
#include "tools/IntervalChart.h"

#include <gtest/gtest.h>

TEST(IntervalChartAxes, TimeMarksFallWhereTheIntervalsAddUp)
{
    struct Case {
        std::vector<double> us;
        std::vector<std::pair<double, std::string>> marks; // bars from the left, label
        std::string topValue;
    } cases[] = {
        {std::vector<double>(10, 100000), {{10, "0"}, {5, "-500 ms"}, {0, "-1 s"}}, "100 ms"},
        {{100, 300, 100}, {{3, "0"}, {1 + 2 / 3.0, "-200 us"}, {1, "-400 us"}}, "300 us"},
        {{2e6, 1e6}, {{2, "0"}, {1, "-1 s"}, {0.5, "-2 s"}, {0, "-3 s"}}, "2 s"},
    };
    for (const Case &c : cases) {
        IntervalChart chart;
        chart.resize(400, 160);
        chart.SetIntervals(c.us);
        const std::vector<IntervalChart::Tick> ticks = chart.TimeTicks();
        ASSERT_EQ(ticks.size(), c.marks.size()) << c.us.size();
        // The first mark is the plot's right edge, at the last bar's end: the bar width follows.
        const double barWidth = (ticks[0].at - ticks.back().at) / (c.marks[0].first - c.marks.back().first);
        const double origin = ticks[0].at - barWidth * c.marks[0].first;
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            EXPECT_EQ(ticks[i].text.toStdString(), c.marks[i].second);
            EXPECT_NEAR(ticks[i].at, origin + barWidth * c.marks[i].first, 1e-6);
        }
        const std::vector<IntervalChart::Tick> values = chart.ValueTicks();
        ASSERT_GE(values.size(), 2u);
        EXPECT_EQ(values.front().text.toStdString(), "0 us");
        EXPECT_EQ(values.back().text.toStdString(), c.topValue);
        EXPECT_LT(values.back().at, values.front().at); // upwards
    }
}
