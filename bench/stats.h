#pragma once

#include <algorithm>
#include <vector>

// Median, 95th percentile and maximum of a benchmark's timings.
struct Stats {
    double median = 0;
    double p95 = 0;
    double max = 0;
};

inline Stats stats(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return {values[n / 2], values[std::min(n - 1, n * 95 / 100)], values.back()};
}
