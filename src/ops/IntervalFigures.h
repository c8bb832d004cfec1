// Summary figures of a set of intervals (between frame completions, say): how many, the
// shortest, the median, the 99th percentile and the longest, in microseconds. Shared by the
// transfer statistics, the window-less runs and their reports.
#pragma once

#include <cstdint>
#include <vector>

namespace ops {

struct IntervalFigures {
    uint64_t count = 0;
    double minUs = 0;
    double medianUs = 0;
    double p99Us = 0;
    double maxUs = 0;
};

// Nearest-rank percentiles, so every figure is an interval that was seen; all zero for none.
// Takes the intervals by value: it sorts its own copy.
IntervalFigures ComputeIntervalFigures(std::vector<double> intervalsUs);

// The jitter of intervals: their sample standard deviation in microseconds; 0 for fewer than two.
double IntervalJitterUs(const std::vector<double> &intervalsUs);

// The nearest-rank percentile p (0..1) of intervals already sorted ascending; 0 for none.
double SortedPercentile(const std::vector<double> &sortedUs, double p);

} // namespace ops
