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

ExactPairStats ExactPair(const std::vector<long long>& x, const std::vector<long long>& y, int scale,
                         const std::vector<long long>& weights) {
    auto wt = [&](std::size_t i) { return weights.empty() ? 1LL : weights[i]; };
    Int128 W = 0, Sx = 0, Sy = 0, Sxx = 0, Syy = 0, Sxy = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const Int128 w = wt(i);
        W += w;
        Sx += w * x[i];
        Sy += w * y[i];
        Sxx += w * x[i] * x[i];
        Syy += w * y[i] * y[i];
        Sxy += w * x[i] * y[i];
    }
    const Int128 Dx = W * Sxx - Sx * Sx, Dy = W * Syy - Sy * Sy, Dxy = W * Sxy - Sx * Sy;
    const Int128 Dd = Dx + Dy - 2 * Dxy;
    const long double w = static_cast<long double>(W), s = Pow10(scale);
    ExactPairStats e;
    e.W = static_cast<long long>(W);
    e.meanX = static_cast<long double>(Sx) / w / s;
    e.meanY = static_cast<long double>(Sy) / w / s;
    e.meanDiff = static_cast<long double>(Sx - Sy) / w / s;
    e.covariance = static_cast<long double>(Dxy) / ((w - 1) * w) / (s * s);
    e.correlation = static_cast<long double>(Dxy) / std::sqrt(static_cast<long double>(Dx) * static_cast<long double>(Dy));
    e.rSquare = static_cast<long double>(Dxy) * static_cast<long double>(Dxy) /
                (static_cast<long double>(Dx) * static_cast<long double>(Dy));
    e.varDiff = static_cast<long double>(Dd) / ((w - 1) * w) / (s * s);
    e.t = e.meanDiff / std::sqrt(e.varDiff / w);
    return e;
}

long double TTwoTailed(long double t, int df) {
    const long double pi = 3.141592653589793238462643383279502884L;
    const long double a = std::fabs(t);
    if (df == 1) return 1 - 2 / pi * std::atan(a);
    if (df == 2) return 1 - a / std::sqrt(a * a + 2);
    if (df == 4) return 1 - a * (a * a + 6) / std::pow(a * a + 4, 1.5L);
    const long double th = std::atan(a / std::sqrt(3.0L));
    return 1 - 2 / pi * (th + std::sin(th) * std::cos(th));
}

} // namespace atest
