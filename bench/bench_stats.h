// Rate and latency percentiles of a series of timed round trips.
#pragma once

#include <stdio.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace bench {

struct Stats {
    double perSecond, p50us, p99us;
};

inline Stats summarize(std::vector<double> us, double totalSeconds) {
    std::sort(us.begin(), us.end());
    auto at = [&](double q) { return us[std::min(us.size() - 1, (size_t)(q * (double)us.size()))]; };
    return {(double)us.size() / totalSeconds, at(0.50), at(0.99)};
}

// runs once() n times; once returns its own latency in microseconds
inline Stats run(int n, const std::function<double()> &once) {
    std::vector<double> us;
    us.reserve((size_t)n);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; i++) us.push_back(once());
    double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return summarize(us, total);
}

inline void print(const char *what, const Stats &s) {
    printf("%-46s %9.0f /s   p50 %8.1f us   p99 %8.1f us\n", what, s.perSecond, s.p50us, s.p99us);
}

}  // namespace bench
