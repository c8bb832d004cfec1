#include "ops/IntervalFigures.h"

#include <algorithm>
#include <cmath>

namespace ops {

double SortedPercentile(const std::vector<double> &sortedUs, double p)
{
    if (sortedUs.empty())
        return 0;
    // Nearest rank: the smallest value with at least p of the set at or below it.
    const double rank = std::ceil(std::clamp(p, 0.0, 1.0) * double(sortedUs.size()));
    const std::size_t index = rank < 1 ? 0 : std::size_t(rank) - 1;
    return sortedUs[std::min(index, sortedUs.size() - 1)];
}

IntervalFigures ComputeIntervalFigures(std::vector<double> intervalsUs)
{
    IntervalFigures f;
    if (intervalsUs.empty())
        return f;
    std::sort(intervalsUs.begin(), intervalsUs.end());
    f.count = intervalsUs.size();
    f.minUs = intervalsUs.front();
    f.medianUs = SortedPercentile(intervalsUs, 0.5);
    f.p99Us = SortedPercentile(intervalsUs, 0.99);
    f.maxUs = intervalsUs.back();
    return f;
}

double IntervalJitterUs(const std::vector<double> &v)
{
    if (v.size() < 2)
        return 0;
    double mean = 0;
    for (double x : v)
        mean += x;
    mean /= double(v.size());
    double sum = 0;
    for (double x : v)
        sum += (x - mean) * (x - mean);
    return std::sqrt(sum / double(v.size() - 1));
}

} // namespace ops
