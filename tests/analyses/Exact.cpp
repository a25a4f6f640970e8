#include "Exact.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace atest {

long double Pow10(int k) {
    long double p = 1;
    for (int i = 0; i < k; ++i) p *= 10;
    return p;
}

ExactStats Exact(const std::vector<long long>& N, int scale, const std::vector<long long>& weights) {
    ExactStats e;
    auto wt = [&](std::size_t i) { return weights.empty() ? 1LL : weights[i]; };
    Int128 W = 0, T = 0, Q = 0;
    long long mn = N.at(0), mx = N.at(0);
    for (std::size_t i = 0; i < N.size(); ++i) {
        W += wt(i);
        T += static_cast<Int128>(wt(i)) * N[i];
        Q += static_cast<Int128>(wt(i)) * N[i] * N[i];
        mn = std::min(mn, N[i]);
        mx = std::max(mx, N[i]);
    }
    // A_k = Σ w (W·N − T)^k, so that Σ w (x − mean)^k = A_k / (W^k · 10^(k·scale)).
    Int128 A2 = 0, A3 = 0, A4 = 0;
    long double bound = 0; // Σ w·|d|^4 must stay below 2^127 (1.7e38)
    for (std::size_t i = 0; i < N.size(); ++i) {
        Int128 d = W * N[i] - T;
        long double a = std::fabs(static_cast<long double>(d));
        bound += static_cast<long double>(wt(i)) * a * a * a * a;
        if (bound > 1.5e38L) e.exact = false;
        A2 += wt(i) * d * d;
        A3 += wt(i) * d * d * d;
        A4 += wt(i) * d * d * d * d;
    }
    const long double w = static_cast<long double>(W);
    const long double s = Pow10(scale);
    e.W = static_cast<long long>(W);
    e.mean = static_cast<long double>(T) / (w * s);
    e.sum = static_cast<long double>(T) / s;
    e.sumSquares = static_cast<long double>(Q) / (s * s);
    e.m2 = static_cast<long double>(A2) / (w * w * s * s);
    long double m3 = static_cast<long double>(A3) / (w * w * w * s * s * s);
    long double m4 = static_cast<long double>(A4) / (w * w * w * w * s * s * s * s);
    e.varN = e.m2 / w;
    e.varN1 = w > 1 ? e.m2 / (w - 1) : 0;
    if (w > 2 && e.varN1 > 0) e.skewness = w * m3 / ((w - 1) * (w - 2) * e.varN1 * std::sqrt(e.varN1));
    if (w > 3 && e.varN1 > 0)
        e.kurtosis = w * (w + 1) * m4 / ((w - 1) * (w - 2) * (w - 3) * e.varN1 * e.varN1) -
                     3 * (w - 1) * (w - 1) / ((w - 2) * (w - 3));
    e.min = mn / s;
    e.max = mx / s;
    return e;
}

long double ExactPercentile(std::vector<long long> N, int scale, int i, int d) {
    std::sort(N.begin(), N.end());
    long long n = static_cast<long long>(N.size());
    // position (n − 1)·i/d + 1 = num / d
    long long num = (n - 1) * i + d;
    long long lo = num / d, rem = num % d;
    long long a = N[static_cast<std::size_t>(lo - 1)];
    if (rem == 0) return a / Pow10(scale);
    long long b = N[static_cast<std::size_t>(lo)];
    return (static_cast<long double>(a) * d + static_cast<long double>(b - a) * rem) / (d * Pow10(scale));
}

long double ExactWeightedPercentile(std::vector<long long> N, std::vector<long long> w, int scale, int i, int d) {
    std::vector<std::size_t> idx(N.size());
    std::iota(idx.begin(), idx.end(), 0);
    std::stable_sort(idx.begin(), idx.end(), [&](std::size_t a, std::size_t b) { return N[a] < N[b]; });
    long long W = std::accumulate(w.begin(), w.end(), 0LL);
    long long cum = 0;
    for (std::size_t k : idx) {
        cum += w[k];
        if (cum * d >= W * i) return N[k] / Pow10(scale);
    }
    return N[idx.back()] / Pow10(scale);
}

} // namespace atest
