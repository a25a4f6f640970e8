#pragma once
// Statistics derived exactly, for checking the analyses: the data are given
// as integers N scaled by 10^scale (the value is N / 10^scale) with integer
// weights, so that every sum and every central moment is an exact integer
// (or a ratio of two) before the last division.
#include <cstdint>
#include <vector>

namespace atest {

__extension__ typedef __int128 Int128;

struct ExactStats {
    long long W = 0;           // weight sum
    long double mean = 0;
    long double sum = 0;       // Σwx
    long double sumSquares = 0; // Σwx²
    long double m2 = 0;        // Σw(x − mean)², the corrected sum of squares
    long double varN = 0;      // m2 / W
    long double varN1 = 0;     // m2 / (W − 1)
    long double skewness = 0;  // W·M3 / ((W − 1)(W − 2) s³)
    long double kurtosis = 0;  // W(W + 1)M4 / ((W − 1)(W − 2)(W − 3) s⁴) − 3(W − 1)² / ((W − 2)(W − 3))
    long double min = 0, max = 0;
    bool exact = true;         // false when the integers would overflow 128 bits
};

// weights empty: every weight 1.
ExactStats Exact(const std::vector<long long>& N, int scale, const std::vector<long long>& weights = {});

// The unweighted percentile point i of d: the value at position (n − 1)·i/d + 1
// of the ascending values, interpolated between its two neighbours.
long double ExactPercentile(std::vector<long long> N, int scale, int i, int d);
// The weighted point: the first value (ascending) whose cumulative weight
// reaches W·i/d.
long double ExactWeightedPercentile(std::vector<long long> N, std::vector<long long> w, int scale, int i, int d);

long double Pow10(int k);

} // namespace atest
