#include "engine/Moments.h"

#include "db/Decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

bool ordinaryWeights(double w, double total) {
    return w >= 1 / Moments::kOrdinaryWeight && total <= Moments::kOrdinaryWeight;
}

using dao::kExactPow10;
using dao::kMaxExactPow10;

__extension__ typedef __int128 Int128;

// How a value enters a deviation.
enum class Form {
    Quick,  // its 15-digit decimal form mant · 10^-scale was found and gives the value back
    Binary, // its 15-digit decimal form does not give it back: the binary value itself counts
    Slow,   // out of the quick route's range: ask the decimal type
};

// The decimal form of x rounded to 15 significant digits, as the scaled
// decimal type takes a double: x = mant · 10^-scale with 0 <= scale <= 22.
Form quickDecimal(double x, std::int64_t& mant, int& scale) {
    const double a = std::fabs(x);
    std::uint64_t digits = 0;
    int exp10 = 0;
    if (!dao::FifteenDigits(a, digits, exp10)) return Form::Slow;
    const int q = 14 - exp10;
    if (q > kMaxExactPow10) return Form::Slow;
    if (q < 0) return Form::Binary; // rounded up to 10^15 from below it
    // digits < 2^53 and 10^q are exact, so the quotient is the correctly
    // rounded double of the decimal form.
    if (static_cast<double>(digits) / kExactPow10[q] != a) return Form::Binary;
    mant = static_cast<std::int64_t>(digits);
    if (x < 0) mant = -mant;
    scale = q;
    return Form::Quick;
}

// Magnitudes whose 15 digits the decimal type holds: below 1e-14 digits
// would fall beyond its 28 decimal places, from 2^96 it overflows.
bool decimalRange(double x) {
    double a = std::fabs(x);
    return a >= 1e-14 && a < 7.9e28;
}

// The decimal form of x by the decimal type, when it gives x back.
bool exactDecimal(double x, dao::Decimal& d) {
    if (!decimalRange(x)) return false;
    d = dao::Decimal(x);
    return d.ToDouble() == x;
}

// The 15-significant-digit decimal form of x at any magnitude,
// x = mant · 10^exp10 with |mant| < 10^15, when it gives x back (7e-300,
// 5.25e154); false for a binary value that form does not recover.
bool wideDecimal(double x, std::int64_t& mant, int& exp10) {
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 14);
    double back = 0;
    std::from_chars(buf, res.ptr, back);
    if (back != x) return false;
    const char* c = buf;
    const bool negative = *c == '-';
    if (negative) ++c;
    std::int64_t digits = 0;
    for (; *c != 'e'; ++c)
        if (*c != '.') digits = digits * 10 + (*c - '0');
    ++c;
    if (*c == '+') ++c;
    int e = 0;
    std::from_chars(c, res.ptr, e);
    mant = negative ? -digits : digits;
    exp10 = e - 14;
    return true;
}

// D · 10^e rounded once to a double, through its decimal text.
double scaledInteger(Int128 D, int e) {
    if (D == 0) return 0.0;
    const bool negative = D < 0;
    Int128 u = negative ? -D : D; // |D| < 10^38, far from the ends of the type
    char digits[48];
    int n = 0;
    while (u > 0) {
        digits[n++] = static_cast<char>('0' + static_cast<int>(u % 10));
        u /= 10;
    }
    std::string text = negative ? "-" : "";
    while (n > 0) text += digits[--n];
    text += "e" + std::to_string(e);
    return std::strtod(text.c_str(), nullptr);
}

// x − k on the wide decimal forms of both, rounded once; false when either
// has none, or when their exponents lie too far apart to be aligned in 128
// bits (the smaller then leaves no trace in the difference's digits anyway).
bool wideDifference(double x, double k, double& d) {
    std::int64_t xm = 0, km = 0;
    int xe = 0, ke = 0;
    if (!wideDecimal(x, xm, xe) || !wideDecimal(k, km, ke) || std::abs(xe - ke) > 22) return false;
    const int e = std::min(xe, ke);
    auto shift = [](Int128 v, int places) {
        while (places-- > 0) v *= 10;
        return v;
    };
    d = scaledInteger(shift(xm, xe - e) - shift(km, ke - e), e);
    return true;
}

// x − k: on the decimal forms when both give their values back (data typed
// as decimals), else on the binary values.
double deviation(double x, double k, Form kForm, std::int64_t kMant, int kScale) {
    if (x == k) return 0.0;
    if (x == 0.0 || k == 0.0) return x - k; // exact
    std::int64_t xMant = 0;
    int xScale = 0;
    Form xForm = quickDecimal(x, xMant, xScale);
    if (xForm == Form::Binary || kForm == Form::Binary) return x - k;
    if (xForm == Form::Quick && kForm == Form::Quick) {
        int scale = xScale > kScale ? xScale : kScale;
        // Both mantissas are below 10^15, so a shift of up to 22 places fits in 128 bits.
        static constexpr std::int64_t p10[] = {1,
                                               10,
                                               100,
                                               1000,
                                               10000,
                                               100000,
                                               1000000,
                                               10000000,
                                               100000000,
                                               1000000000,
                                               10000000000LL,
                                               100000000000LL,
                                               1000000000000LL,
                                               10000000000000LL,
                                               100000000000000LL,
                                               1000000000000000LL,
                                               10000000000000000LL,
                                               100000000000000000LL,
                                               1000000000000000000LL};
        auto shift = [](Int128 v, int places) {
            while (places > 18) {
                v *= p10[18];
                places -= 18;
            }
            return v * p10[places];
        };
        Int128 xs = shift(static_cast<Int128>(xMant), scale - xScale);
        Int128 ks = shift(static_cast<Int128>(kMant), scale - kScale);
        return static_cast<double>(xs - ks) / kExactPow10[scale];
    }
    dao::Decimal dx, dk;
    if (exactDecimal(x, dx) && exactDecimal(k, dk)) return (dx - dk).ToDouble();
    return x - k;
}

// Neumaier's compensated addition of v to sum.
inline void compensatedAdd(double& sum, double& comp, double v) {
    double t = sum + v;
    if (std::fabs(sum) >= std::fabs(v)) comp += (sum - t) + v;
    else comp += (v - t) + sum;
    sum = t;
}

} // namespace

double Moments::DecimalDifference(double x, double k) {
    std::int64_t kMant = 0;
    int kScale = 0;
    Form kForm = quickDecimal(k, kMant, kScale);
    return deviation(x, k, kForm, kMant, kScale);
}

double Moments::TypedDifference(double x, double k) {
    // Beyond the decimal type's range (1e-300, 1e154): on the 15-digit forms
    // themselves, so that 7e-300 − 5e-300 is 9e-300 − 7e-300.
    if (x != k && x != 0.0 && k != 0.0 && (!decimalRange(x) || !decimalRange(k))) {
        double d = 0;
        if (wideDifference(x, k, d)) return d;
    }
    return DecimalDifference(x, k);
}

bool Moments::DecimalForm(double x, std::int64_t& mant, int& scale) {
    if (x == 0.0) {
        mant = 0;
        scale = 0;
        return true;
    }
    return quickDecimal(x, mant, scale) == Form::Quick;
}

void Moments::Origin::Set(double k) {
    m_k = k;
    m_form = static_cast<int>(quickDecimal(k, m_mant, m_scale));
}

double Moments::Origin::Deviation(double x) const {
    return deviation(x, m_k, static_cast<Form>(m_form), m_mant, m_scale);
}

void Moments::Clear() noexcept { *this = Moments(); }

void Moments::Add(double x, double w) {
    if (!(w > 0) || !std::isfinite(w) || !std::isfinite(x)) return;
    if (m_count == 0) {
        m_k = x;
        m_min = m_max = x;
        m_kForm = static_cast<int>(quickDecimal(x, m_kMant, m_kScale));
    } else {
        if (x < m_min) m_min = x;
        if (x > m_max) m_max = x;
    }
    ++m_count;
    compensatedAdd(m_sum, m_sumC, w * x);
    // Σwx² in the unit 2^(2·s), s the exponent of the largest |x| so far.
    if (x != 0) {
        const int e = std::ilogb(x);
        if (!m_sqScaleSet) {
            m_sqScaleExp = e;
            m_sqScaleSet = true;
        } else if (e > m_sqScaleExp) {
            m_sumSq = std::ldexp(m_sumSq, 2 * (m_sqScaleExp - e));
            m_sumSqC = std::ldexp(m_sumSqC, 2 * (m_sqScaleExp - e));
            m_sqScaleExp = e;
        }
        const double xs = std::ldexp(x, -m_sqScaleExp);
        compensatedAdd(m_sumSq, m_sumSqC, w * (xs * xs));
    }

    // The updating formulas for adding one point of weight w to a set of
    // weight Wa, on the deviations d = x − K (Chan, Golub and LeVeque; Pébay).
    // The deviations enter scaled by 2^-e, e the binary exponent of the
    // largest deviation so far, so that their squares and fourth powers
    // neither underflow (values near 1e-300) nor overflow (near 1e300);
    // scaling by a power of two is exact, so nothing else changes.
    double d = deviation(x, m_k, static_cast<Form>(m_kForm), m_kMant, m_kScale);
    // Values on either side of 0 near the largest doubles (−1e308 and 1e308)
    // lie further apart than a double reaches: the deviation is taken in
    // halves, which is exact, and enters one binary exponent up.
    int halved = 0;
    if (!std::isfinite(d)) {
        d = x * 0.5 - m_k * 0.5;
        halved = 1;
    }
    if (d != 0) {
        const int e = std::ilogb(d) + halved;
        if (!m_scaleSet) {
            m_scaleExp = e;
            m_scaleSet = true;
        } else if (e > m_scaleExp) {
            const int up = m_scaleExp - e; // the sums so far, in the new unit
            m_meanDev = std::ldexp(m_meanDev, up);
            m_m2 = std::ldexp(m_m2, 2 * up);
            m_m3 = std::ldexp(m_m3, 3 * up);
            m_m4 = std::ldexp(m_m4, 4 * up);
            m_scaleExp = e;
        }
        d = std::ldexp(d, halved - m_scaleExp);
    }
    double wa = m_w;
    double wn = wa + w;
    double delta = d - m_meanDev;
    if (ordinaryWeights(w, wn)) {
        double deltaN = delta / wn;           // δ/W
        double deltaN2 = deltaN * deltaN;
        double term = delta * deltaN * wa * w; // δ²·Wa·w/W
        m_m4 += term * deltaN2 * (wa * wa - wa * w + w * w) + 6.0 * deltaN2 * w * w * m_m2 - 4.0 * deltaN * w * m_m3;
        m_m3 += term * deltaN * (wa - w) - 3.0 * deltaN * w * m_m2;
        m_m2 += term;
        m_meanDev += deltaN * w;
    } else {
        // The weights enter as their shares a = Wa/W and b = w/W of the new
        // weight sum, both at most 1: weights near 1e200 or 1e-300 would
        // square beyond a double's range (and δ/W square to 0 or to infinity).
        double a = wa / wn, b = w / wn;
        double deltaB = delta * b;             // δ·w/W
        double term = delta * deltaB * wa;     // δ²·Wa·w/W
        m_m4 += term * delta * delta * (a * a - a * b + b * b) + 6.0 * deltaB * deltaB * m_m2 - 4.0 * deltaB * m_m3;
        m_m3 += term * delta * (a - b) - 3.0 * deltaB * m_m2;
        m_m2 += term;
        m_meanDev += deltaB;
    }
    m_w = wn;
}

double Moments::Mean() const noexcept {
    if (!(m_w > 0)) return 0.0;
    const double mean = m_k + std::ldexp(m_meanDev, m_scaleExp);
    if (std::isfinite(mean)) return mean;
    // A mean deviation beyond a double's range (values spanning −1e308 to
    // 1e308): the mean itself is within it, taken in halves.
    return 2 * (m_k * 0.5 + std::ldexp(m_meanDev, m_scaleExp - 1));
}

double Moments::SumDeviations() const noexcept { return std::ldexp(m_meanDev * m_w, m_scaleExp); }

double Moments::SumSquares() const noexcept { return std::ldexp(m_sumSq + m_sumSqC, 2 * m_sqScaleExp); }

double Moments::RootMeanSquare() const noexcept {
    if (!(m_w > 0)) return 0.0;
    const double q = (m_sumSq + m_sumSqC) / m_w;
    return q > 0 ? std::ldexp(std::sqrt(q), m_sqScaleExp) : 0.0;
}

double Moments::M2() const noexcept { return std::ldexp(m_m2, 2 * m_scaleExp); }
double Moments::M2InUnit(int e) const noexcept { return std::ldexp(m_m2, 2 * (m_scaleExp - e)); }
int Moments::SpreadUnit(double span) noexcept {
    return span > 0 && std::isfinite(span) && std::abs(std::ilogb(span)) > 250 ? std::ilogb(span) : 0;
}
double Moments::M3() const noexcept { return std::ldexp(m_m3, 3 * m_scaleExp); }
double Moments::M4() const noexcept { return std::ldexp(m_m4, 4 * m_scaleExp); }

bool Moments::Varies() const noexcept { return m_m2 > 0; }

double Moments::scaledVariance(const std::string& method) const noexcept {
    if (!(m_w > 0) || m_m2 <= 0) return 0.0;
    if (method == "N") return m_m2 / m_w;
    if (m_w <= 1) return 0.0;
    return m_m2 / (m_w - 1);
}

double Moments::Variance(const std::string& method) const noexcept {
    return std::ldexp(scaledVariance(method), 2 * m_scaleExp);
}

double Moments::StdDev(const std::string& method) const noexcept {
    double v = scaledVariance(method);
    return v > 0 ? std::ldexp(std::sqrt(v), m_scaleExp) : 0.0;
}

std::optional<double> Moments::Skewness() const noexcept {
    if (!(m_w > 2)) return std::nullopt;
    double v = scaledVariance("N-1");
    if (!(v > 0)) return std::nullopt;
    double s = std::sqrt(v);
    if (m_w <= kOrdinaryWeight) return m_w * m_m3 / ((m_w - 1) * (m_w - 2) * v * s);
    // W/((W − 1)(W − 2)) taken as a quotient of quotients: W² overflows for
    // weight sums near 1e200.
    return m_w / (m_w - 1) * (m_m3 / (m_w - 2)) / (v * s);
}

std::optional<double> Moments::Kurtosis() const noexcept {
    if (!(m_w > 3)) return std::nullopt;
    double v = scaledVariance("N-1");
    if (!(v > 0)) return std::nullopt;
    double W = m_w;
    if (W <= kOrdinaryWeight)
        return W * (W + 1) * m_m4 / (v * v * (W - 1) * (W - 2) * (W - 3)) - 3 * (W - 1) * (W - 1) / ((W - 2) * (W - 3));
    // As quotients of quotients: the products of the weight sums overflow
    // for sums near 1e200.
    return W / (W - 1) * ((W + 1) / (W - 2)) * (m_m4 / (W - 3)) / (v * v) -
           3 * ((W - 1) / (W - 2)) * ((W - 1) / (W - 3));
}
