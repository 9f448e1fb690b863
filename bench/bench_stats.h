#pragma once
// Figures the benchmarks compute alike from their samples.

#include <algorithm>
#include <cstddef>
#include <vector>

// The sample at `fraction` (0.5 the median, 0.99 the 99th percentile) of the
// sorted samples: the one at index fraction x count, the last at most; 0 for
// no samples.
inline double Percentile(std::vector<double> samples, double fraction) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const auto at = static_cast<std::size_t>(fraction * static_cast<double>(samples.size()));
    return samples[std::min(samples.size() - 1, at)];
}
