// Shared pieces of the scan benchmarks: a timing summary and the scan tool opened on the
// simulated board (step mode: the board delivers nothing by itself).
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace benchsupport {

inline double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::size_t(p * double(v.size() - 1))];
}

inline void Print(const char *what, const std::vector<double> &us)
{
    std::printf("%-58s n=%-6zu median %9.1f us  p90 %9.1f us  max %9.1f us\n", what, us.size(),
                Percentile(us, 0.5), Percentile(us, 0.9), Percentile(us, 1.0));
}

inline double Micros(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b)
{
    return std::chrono::duration<double, std::micro>(b - a).count();
}

} // namespace benchsupport
