#pragma once

// The arithmetic the benchmarks share: medians of rounds, and how a time
// grows with the size of the work.

#include <QVector>
#include <algorithm>
#include <cmath>

inline double medianOf(QVector<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const int n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The exponent k of time ∝ size^k that fits the measured points best (least
// squares on their logarithms): 1 for linear growth, 2 for quadratic.
inline double growthExponent(const QVector<double>& sizes, const QVector<double>& times)
{
    const int n = std::min(sizes.size(), times.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int i = 0; i < n; ++i) {
        const double x = std::log(sizes[i]);
        const double y = std::log(std::max(times[i], 1e-6));
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    const double denominator = n * sxx - sx * sx;
    return n < 2 || denominator == 0 ? 0 : (n * sxy - sx * sy) / denominator;
}
