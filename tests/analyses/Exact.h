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

// The paired statistics of x and y (integers scaled by 10^scale, integer
// weights) from the textbook raw-sum formulas taken in exact integers:
// n·Σwxy − Σwx·Σwy and its relatives are whole numbers before the last division.
struct ExactPairStats {
    long long W = 0;
    long double meanX = 0, meanY = 0, meanDiff = 0;
    long double covariance = 0;  // (W·Σwxy − ΣwxΣwy) / ((W − 1)·W)
    long double correlation = 0; // Dxy / √(Dx·Dy)
    long double rSquare = 0;     // Dxy² / (Dx·Dy), exact ratio
    long double varDiff = 0;     // variance of x − y, divisor W − 1
    long double t = 0;           // meanDiff / √(varDiff / W)
};
ExactPairStats ExactPair(const std::vector<long long>& x, const std::vector<long long>& y, int scale,
                         const std::vector<long long>& weights = {});

// Two-tailed probability of Student's t by the closed forms for 1 to 4
// degrees of freedom (Cauchy; 1 − t/√(t² + 2); the atan form for 3;
// 1 − t(t² + 6)/(t² + 4)^(3/2) for 4).
long double TTwoTailed(long double t, int df);

} // namespace atest
