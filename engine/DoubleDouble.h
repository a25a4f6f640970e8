#pragma once
// DoubleDouble: a number held as the unevaluated sum hi + lo of two doubles
// (|lo| <= half an ulp of hi), about 106 significant bits, with the error-free
// transformations of Dekker and Knuth. The regressions keep their sums of
// cross-products and solve their normal equations in it, so that the digits
// that cancel when the sums are centred or the system is ill-conditioned are
// still there: a relative error of about 1e-32 per operation instead of 1e-16.
//
// The building blocks are exact: TwoSum(a, b) gives a + b = s + e exactly and
// TwoProd(a, b) gives a·b = p + e exactly (with the fused multiply-add where
// the target has it, by Dekker's splitting otherwise).
#include <cmath>

class DoubleDouble {
public:
    constexpr DoubleDouble() = default;
    constexpr DoubleDouble(double x) : hi(x) {} // NOLINT: a double is a DoubleDouble
    constexpr DoubleDouble(double h, double l) : hi(h), lo(l) {}

    double hi = 0;
    double lo = 0;

    double ToDouble() const noexcept { return hi + lo; }
    bool IsFinite() const noexcept { return std::isfinite(hi) && std::isfinite(lo); }

    // s + e = a + b exactly.
    static DoubleDouble TwoSum(double a, double b) noexcept {
        double s = a + b;
        double bb = s - a;
        double e = (a - (s - bb)) + (b - bb);
        return {s, e};
    }
    // s + e = a + b exactly, given |a| >= |b|.
    static DoubleDouble QuickTwoSum(double a, double b) noexcept {
        double s = a + b;
        double e = b - (s - a);
        return {s, e};
    }
#if !defined(__FP_FAST_FMA)
    // Dekker's split of v into a high half of 26 bits and the rest, v = hi + lo.
    // Beyond 2^995 the product with the splitting constant would overflow
    // (weights near 1e300): such a v is split a power of two lower, which
    // is exact.
    static void Split(double v, double& hi, double& lo) noexcept {
        constexpr double split = 134217729.0; // 2^27 + 1
        if (std::fabs(v) > 0x1p995) {
            const double s = v * 0x1p-28;
            const double t = split * s;
            hi = (t - (t - s)) * 0x1p28;
        } else {
            const double t = split * v;
            hi = t - (t - v);
        }
        lo = v - hi;
    }
#endif
    // p + e = a·b exactly (barring overflow and underflow).
    static DoubleDouble TwoProd(double a, double b) noexcept {
        double p = a * b;
#if defined(__FP_FAST_FMA)
        double e = std::fma(a, b, -p);
#else
        double ah = 0, al = 0, bh = 0, bl = 0;
        Split(a, ah, al);
        Split(b, bh, bl);
        double e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
#endif
        return {p, e};
    }

    friend DoubleDouble operator+(const DoubleDouble& a, const DoubleDouble& b) noexcept {
        DoubleDouble s = TwoSum(a.hi, b.hi);
        DoubleDouble t = TwoSum(a.lo, b.lo);
        s.lo += t.hi;
        s = QuickTwoSum(s.hi, s.lo);
        s.lo += t.lo;
        return QuickTwoSum(s.hi, s.lo);
    }
    friend DoubleDouble operator-(const DoubleDouble& a) noexcept { return {-a.hi, -a.lo}; }
    friend DoubleDouble operator-(const DoubleDouble& a, const DoubleDouble& b) noexcept { return a + (-b); }
    friend DoubleDouble operator*(const DoubleDouble& a, double b) noexcept {
        DoubleDouble p = TwoProd(a.hi, b);
        p.lo += a.lo * b;
        return QuickTwoSum(p.hi, p.lo);
    }
    friend DoubleDouble operator*(const DoubleDouble& a, const DoubleDouble& b) noexcept {
        DoubleDouble p = TwoProd(a.hi, b.hi);
        p.lo += a.hi * b.lo + a.lo * b.hi;
        return QuickTwoSum(p.hi, p.lo);
    }
    friend DoubleDouble operator/(const DoubleDouble& a, const DoubleDouble& b) noexcept {
        double q1 = a.hi / b.hi;
        DoubleDouble r = a - b * q1;
        double q2 = r.hi / b.hi;
        r = r - b * q2;
        double q3 = r.hi / b.hi;
        return QuickTwoSum(q1, q2) + DoubleDouble(q3);
    }
    DoubleDouble& operator+=(const DoubleDouble& b) noexcept { return *this = *this + b; }
    DoubleDouble& operator-=(const DoubleDouble& b) noexcept { return *this = *this - b; }
    DoubleDouble& operator*=(const DoubleDouble& b) noexcept { return *this = *this * b; }

    friend bool operator<(const DoubleDouble& a, const DoubleDouble& b) noexcept {
        return a.hi < b.hi || (a.hi == b.hi && a.lo < b.lo);
    }
    friend bool operator>(const DoubleDouble& a, const DoubleDouble& b) noexcept { return b < a; }
    friend bool operator<=(const DoubleDouble& a, const DoubleDouble& b) noexcept { return !(b < a); }
    friend bool operator>=(const DoubleDouble& a, const DoubleDouble& b) noexcept { return !(a < b); }

    friend DoubleDouble Abs(const DoubleDouble& a) noexcept { return a.hi < 0 ? -a : a; }
    // a·2^e, exact while both parts stay within a double's normal range.
    friend DoubleDouble Ldexp(const DoubleDouble& a, int e) noexcept { return {std::ldexp(a.hi, e), std::ldexp(a.lo, e)}; }
    // The square root, 0 for a number that is not above 0.
    friend DoubleDouble Sqrt(const DoubleDouble& a) noexcept {
        if (!(a.hi > 0)) return {};
        double x = std::sqrt(a.hi);
        DoubleDouble r = a - TwoProd(x, x);
        return QuickTwoSum(x, r.hi / (2 * x));
    }

    // Unit roundoff of the representation.
    static constexpr double Epsilon = 1.2325951644078309e-32; // 2^-106
};
