#pragma once
// Side-by-side timing for the benchmarks: every side is timed once per
// round, the order rotating from round to round, so that all sides see the
// same load on a shared machine. Figures are taken from the rounds (best and
// median), never from a single timing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace ondex::bench {

// The count given as argument `index`, `fallback` when there is none; below
// `least` the program ends with its usage line and 2.
inline int CountArgument(int argc, char** argv, int index, int fallback, int least, const char* usage) {
    const int count = argc > index ? std::atoi(argv[index]) : fallback;
    if (count >= least) return count;
    std::fprintf(stderr, "usage: %s\n", usage);
    std::exit(2);
}

// Seconds taken by one call of `work`.
inline double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// For each side, its time in every round.
inline std::vector<std::vector<double>> AlternatingRounds(const std::vector<std::function<void()>>& sides,
                                                         int rounds) {
    std::vector<std::vector<double>> times(sides.size());
    for (int round = 0; round < rounds; ++round)
        for (size_t k = 0; k < sides.size(); ++k) {
            const size_t side = (k + static_cast<size_t>(round)) % sides.size();
            times[side].push_back(Seconds(sides[side]));
        }
    return times;
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline double Best(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

// The median of the rounds' own ratios a/b.
inline double MedianRatio(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> ratios;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) ratios.push_back(a[i] / b[i]);
    return Median(ratios);
}

}  // namespace ondex::bench
