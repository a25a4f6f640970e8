#include "engine/CZValue.h"

#include "db/Decimal.h"
#include "errors/RunTimeError.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <numbers>
#include <type_traits>

using dao::DecAdd;
using dao::DecDiffBelow;
using dao::DecSub;
using dao::Decimal;

namespace {

// C++ does not trap floating-point faults, so every operation that can fail
// is checked here and raises the run-time error the caller's handling expects.
double Chk(double v) {
    if (!std::isfinite(v))
        throw RunTimeError(rterr::Overflow);
    return v;
}

double Ln(double x) {
    if (!(x > 0.0))
        throw RunTimeError(rterr::InvalidProcedureCall);
    return Chk(std::log(x)); // log of +inf
}

double Exp(double x) {
    if (std::isnan(x))
        throw RunTimeError(rterr::InvalidProcedureCall);
    return Chk(std::exp(x));
}

double Div(double a, double b) {
    if (b == 0.0)
        throw RunTimeError(rterr::DivisionByZero);
    return Chk(a / b);
}

double Mul(double a, double b) { return Chk(a * b); }

double Pow(double x, double y) { return Chk(std::pow(x, y)); }

int Sign(double v) { return (v > 0.0) - (v < 0.0); }

std::string Upper(const std::string& s) {
    std::string u = s;
    for (char& c : u)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

// The one place where a run-time error caught by a probability operation
// ends up. The operation answers 0 and shows nothing, so the error is only
// absorbed here.
void AbsorbRunTimeError() noexcept {}

constexpr double kPi = 3.14159265358979; // as the reflection formula uses it

// Beyond this x the normal central area is taken as 1.
constexpr double kNormalCutOff = 6.3;

// The inverse's search takes its steps in the decimal type from this p on,
// in double below it.
constexpr double kDecimalSearchFloor = 1e-10;
// A root below this x is searched in double too, with a relative tolerance.
constexpr double kSmallRoot = 1e-6;

// From this shape of the incomplete beta on (the t with 2,000,000 degrees of
// freedom and more, an F whose either side has as many), ln Gamma of the
// shape is too large a number to keep the digits its differences need: the t
// tail at 10,000,000,000 degrees of freedom kept three digits, and at 10^13
// none.
constexpr double kLargeShape = 1e6;

// From this shape of the incomplete gamma on (chi-square with 20,000 degrees
// of freedom and more) the upper tail is taken from Temme's uniform
// expansion. The series and the continued fraction need some sqrt(a) steps
// near the centre and stop at 1,000: at 10^6 degrees of freedom the tail at
// the mean came out 0.578 instead of 0.4998, at 10^8 0.94.
constexpr double kLargeGammaShape = 1e4;

// ln(1 + d) - d without the cancellation near d = 0.
double log1pMinusX(double d) {
    if (std::fabs(d) >= 0.5)
        return std::log1p(d) - d;
    double sum = 0.0;
    double power = d * d;
    for (int k = 2; k < 200; ++k) {
        const double term = (k % 2 == 0 ? -power : power) / k;
        sum += term;
        if (std::fabs(term) <= 1e-17 * std::fabs(sum))
            break;
        power *= d;
    }
    return sum;
}

// Q(a, x) = erfc(eta sqrt(a / 2)) / 2 + e^(-a eta^2 / 2) / sqrt(2 pi a) (C0(eta) + C1(eta) / a),
// lambda = x / a, eta^2 / 2 = lambda - 1 - ln lambda, eta of the sign of
// lambda - 1 (Temme, 1979). The next term is below 1e-11 of the tail for
// a of 10^4 and falls as a^-2. Near eta = 0, where C0 and C1 are
// differences of large terms, their Taylor series.
double gammaQLargeShape(double a, double x) {
    const double d = (x - a) / a; // lambda - 1
    const double phi = -log1pMinusX(d);
    const double eta = std::copysign(std::sqrt(2.0 * phi), d);
    double c0 = 0.0;
    double c1 = 0.0;
    if (std::fabs(eta) < 0.1) {
        static constexpr double k0[] = {-1.0 / 3,          1.0 / 12,          -2.0 / 135,
                                        1.0 / 864,         1.0 / 2835,        -139.0 / 777600,
                                        1.0 / 25515,       -571.0 / 261273600, -281.0 / 151559100,
                                        163879.0 / 197522841600};
        static constexpr double k1[] = {-1.0 / 540,   -1.0 / 288,      1.0 / 378,
                                        -77.0 / 77760, 1.0 / 4860,     -1.0 / 2488320,
                                        -2743.0 / 151559100, 41969.0 / 5486745600};
        for (int k = static_cast<int>(std::size(k0)) - 1; k >= 0; --k)
            c0 = c0 * eta + k0[k];
        for (int k = static_cast<int>(std::size(k1)) - 1; k >= 0; --k)
            c1 = c1 * eta + k1[k];
    } else {
        c0 = 1.0 / d - 1.0 / eta;
        c1 = 1.0 / (eta * eta * eta) - 1.0 / (d * d * d) - 1.0 / (d * d) - 1.0 / (12.0 * d);
    }
    const double rest = std::exp(-a * phi) / std::sqrt(2.0 * std::numbers::pi * a) * (c0 + c1 / a);
    return Chk(0.5 * std::erfc(eta * std::sqrt(a / 2.0)) + rest);
}

// From this shape on, with the other shape 1/2 (the t with 10^10 degrees of
// freedom and more, F with one such side and 1 on the other), the continued
// fraction takes more steps than it is given and its decimal terms outgrow
// the decimal type: the two-tailed t of 2 came out 0.04544 instead of 0.04550
// at 10^13 degrees of freedom, 0 from some 5 * 10^14 on (the 5 % value
// 1.75 instead of 1.96).
constexpr double kHugeShape = 5e9;

// I_x(a, 1/2) for a of kHugeShape and more. With v = -ln x,
// 1 - I_x(a, b) = P(b, (a + (b - 1) / 2) v) (1 + O(b v^2) + O(a^-2)), the
// regularised lower incomplete gamma, and P(1/2, w) = erf(sqrt(w)); v is
// below 1e-7 wherever the tail is not below the smallest double. I_x(1/2, b)
// is 1 - I_y(b, 1/2) the same way.
double betaIHalfAndHugeShape(double a, double b, double x, double y) {
    // -ln x and -ln y from whichever of x, y is exact
    const double vx = y < 0.5 ? -std::log1p(-y) : -std::log(x);
    const double vy = x < 0.5 ? -std::log1p(-x) : -std::log(y);
    if (b == 0.5)
        return Chk(std::erfc(std::sqrt((a - 0.25) * vx)));
    return Chk(std::erf(std::sqrt((b - 0.25) * vy)));
}

// ln Gamma(z) - ((z - 1/2) ln z - z + ln(2 pi) / 2): Stirling's series, for
// z of 10 and more (good to 1e-12 there, better as z grows).
double stirlingRest(double z) {
    const double r = 1.0 / (z * z);
    return (1.0 / 12 - r * (1.0 / 360 - r * (1.0 / 1260 - r / 1680))) / z;
}

// ln(x^a y^b / B(a, b)), y = 1 - x, for a >= kLargeShape and b <= a:
// the ln Gamma differences taken from Stirling's series, so that no term is
// of the size of a ln a, and ln x, ln y from whichever of x, y is exact.
// lnGammaB is ln Gamma(b), needed only for b below 10.
double lnBetaFactorLargeA(double a, double b, double x, double y, double lnGammaB) {
    const double lnx = x < 0.5 ? std::log(x) : std::log1p(-y);
    const double lny = y < 0.5 ? std::log(y) : std::log1p(-x);
    if (b >= 10.0) {
        // x0 = a / (a + b), y0 = b / (a + b):
        // a ln(x / x0) + b ln(y / y0) + ln(a b / (2 pi (a + b))) / 2 + the rests.
        const double s = a + b;
        const double d = x * b - y * a; // x s - a, which is b - y s
        // Near the mode from d, where ln x - ln x0 would cancel; far from it
        // (where the factor is 0 in a double anyway) from the logarithms.
        const double rx = d / a, ry = -d / b;
        const double lx = std::fabs(rx) < 0.5 ? std::log1p(rx) : lnx - std::log(a / s);
        const double ly = std::fabs(ry) < 0.5 ? std::log1p(ry) : lny - std::log(b / s);
        return a * lx + b * ly +
               0.5 * std::log(a * b / (2.0 * std::numbers::pi * s)) + stirlingRest(s) - stirlingRest(a) -
               stirlingRest(b);
    }
    // ln Gamma(a + b) - ln Gamma(a) = (a - 1/2) ln(1 + b / a) + b ln(a + b) - b + the rests.
    return (a - 0.5) * std::log1p(b / a) - b + stirlingRest(a + b) - stirlingRest(a) - lnGammaB + a * lnx +
           b * (std::log(a + b) + lny);
}



// Tails and ln Gamma once worked out are remembered, a table for each
// thread: an analysis asks for the same ones again and again (groups of
// one size share their degrees of freedom, small groups their statistics),
// and each is a function of its arguments alone. An argument is told by its
// bits; a slot keeps the last key that fell on it, so the tables stay small.
std::uint64_t bitsOf(double v) {
    std::uint64_t b = 0;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

std::uint64_t mixBits(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

struct ProbKey {
    char code = 0;
    std::uint64_t x = 0, df1 = 0, df2 = 0;
    bool operator==(const ProbKey&) const = default;
};

// A slot never used holds code 0, which no key asked for has.
struct ProbSlot {
    ProbKey key;
    double value = 0;
};

// This thread's table of `count` slots (a power of two). It starts as
// zeroed memory, an unused slot being all zeros, so that its pages are only
// taken as slots are used: a run with few probabilities does not pay for the
// whole table.
template <class Slot, std::size_t count>
Slot* slotsOfThisThread() {
    static_assert((count & (count - 1)) == 0);
    static_assert(std::is_trivially_copyable_v<Slot> && std::is_aggregate_v<Slot>);
    struct Free {
        void operator()(Slot* p) const noexcept { std::free(p); }
    };
    thread_local std::unique_ptr<Slot[], Free> slots(static_cast<Slot*>(std::calloc(count, sizeof(Slot))));
    if (!slots) throw std::bad_alloc();
    return slots.get();
}

constexpr std::size_t kProbSlots = 16384;

std::size_t slotOf(const ProbKey& k) {
    std::uint64_t h = mixBits(k.x ^ static_cast<std::uint64_t>(static_cast<unsigned char>(k.code)));
    h = mixBits(h ^ k.df1);
    h = mixBits(h ^ k.df2);
    return static_cast<std::size_t>(h & (kProbSlots - 1));
}

struct GammaSlot {
    std::uint64_t x = 0;
    double value = 0;
    bool used = false;
};

constexpr std::size_t kGammaSlots = 256;

} // namespace

// ---- public -------------------------------------------------------------

double CZValue::Quorb_Binomial(std::int32_t n, std::int32_t k) {
    const std::int64_t nk = static_cast<std::int64_t>(n) - k;
    if (nk < INT32_MIN || nk > INT32_MAX)
        throw RunTimeError(rterr::Overflow);
    const double fk = FactLn(k);
    const double fnk = FactLn(static_cast<std::int32_t>(nk));
    const double fn = FactLn(n);
    const double e = (Decimal(fn) - Decimal(fk) - Decimal(fnk)).ToDouble();
    return Exp(e);
}

double CZValue::Quorb_CalcKSProb(double z) {
    try {
        if (std::isnan(z))
            throw RunTimeError(rterr::InvalidProcedureCall);
        if (z < 0.27)
            return 1.0;
        if (z < 1.0) {
            const double v = Exp(Div(-1.233701, Mul(z, z)));
            const double s = Chk(v + Pow(v, 9) + Pow(v, 25));
            return DecSub(1.0, Div(Mul(2.506628, s), z));
        }
        if (z < 3.1) {
            const double q = Exp(Mul(-2.0, Mul(z, z)));
            const Decimal sum = Decimal(q) - Decimal(Pow(q, 4)) + Decimal(Pow(q, 9)) - Decimal(Pow(q, 16));
            return (Decimal(2) * sum).ToDouble();
        }
        return 0.0;
    } catch (...) {
        AbsorbRunTimeError();
        return 0.0;
    }
}

double CZValue::Quorb_CalcProb(const std::string& code, double x, double df1, double df2) {
    // The whole code names the distribution, in either case.
    const char c = code.size() == 1 ? static_cast<char>(std::toupper(static_cast<unsigned char>(code[0]))) : '\0';
    if (c != 'Z' && c != 'T' && c != 'C' && c != 'F')
        return 0.0;
    const ProbKey key{c, bitsOf(x), bitsOf(df1), bitsOf(df2)};
    ProbSlot& slot = slotsOfThisThread<ProbSlot, kProbSlots>()[slotOf(key)];
    if (slot.key == key)
        return slot.value;
    const double p = CalcProb(c, x, df1, df2);
    slot = ProbSlot{key, p};
    return p;
}

double CZValue::CalcProb(char c, double x, double df1, double df2) {
    // A tail taken as 1 minus a small part, or from a continued fraction at
    // the edge of its range, can come out a little beyond 0 or 1 (the t of
    // 0.5 with 1e-10 degrees of freedom gave 1.00002): a probability is
    // neither.
    auto probability = [](double p) { return p > 1.0 ? 1.0 : p < 0.0 ? 0.0 : p; };
    try {
        if (c == 'Z')
            return NormalArea(x);
        if (c == 'T') {
            if (df1 <= 0.0)
                return 0.0;
            if (std::isfinite(x) && !std::isfinite(x * x))
                return FarTTail(std::fabs(x), df1);
            const double sum = Chk(df1 + Mul(x, x));
            return probability(BetaI(df1 / 2.0, 0.5, Div(df1, sum), Div(Mul(x, x), sum)));
        }
        if (c == 'C') {
            if (df1 <= 0.0)
                return 0.0;
            return probability(GammaQ(df1 / 2.0, x / 2.0));
        }
        if (c == 'F') {
            if (df1 <= 0.0 || df2 <= 0.0)
                return 0.0;
            const double sum = Chk(df2 + Mul(df1, std::fabs(x)));
            return probability(BetaI(df2 / 2.0, df1 / 2.0, Div(df2, sum), Div(Mul(df1, std::fabs(x)), sum)));
        }
        return 0.0;
    } catch (...) {
        AbsorbRunTimeError();
        return 0.0;
    }
}

void CZValue::Quorb_FactorialInit() {
    m_factTable.assign(34, 0.0);
    m_factTable[1] = 0.0;
    m_factCount = 0;
}

double CZValue::Quorb_FindValue(const std::string& code, double p, double df1, double df2, bool strict) {
    try {
        const std::string c = Upper(code);
        // A probability outside (0, 1) has no root to find, and F without
        // positive degrees of freedom gives 0 everywhere: the interval search
        // below would never end.
        if (!(p > 0.0 && p < 1.0))
            return 0.0;
        // Below the smallest normal double a probability keeps too few bits
        // to find its value by: 5e-324 (one bit) took chi-square's 1472 for
        // 1481.
        if (p < std::numeric_limits<double>::min())
            return 0.0;
        if (c == "F" && !(df1 > 0.0 && df2 > 0.0))
            return 0.0;

        double tol = strict ? 2e-15 : 1e-12;
        long iteration = 1;
        double lo = 0.0;
        double hi = 0.0;
        auto prob = [&](double v) { return Quorb_CalcProb(c, v, df1, df2); };
        // The central area is taken as 1 beyond its cut-off (6.3): an area
        // above the one there belongs to no value, and the search would
        // settle on the jump (6.3, or 7 where p rounds to 1 in fifteen
        // digits) as if it were the root.
        if (c == "Z" && p > prob(kNormalCutOff))
            return 0.0;

        // While the root lies beyond hi (the tail there still above p, or
        // the central area of "Z", which grows with x, still below it), hi
        // becomes lo and goes on by a step that doubles each time. Steps of
        // one (as the interval was once widened) cost one probability per
        // unit between the start and the root: thousands for chi-square
        // with many degrees of freedom, millions for F with few in the far
        // tail, where the search ran for seconds and gave up. An interval
        // left short of the root (t with few degrees of freedom, far out)
        // sent the interpolation beyond it, to values below zero and on.
        auto beyond = [&](double v) { return c == "Z" ? prob(v) < p : prob(v) > p; };
        auto raiseHi = [&]() {
            double step = 1.0;
            for (long n = 0; beyond(hi); ++n) {
                if (n >= MaxIntervalSteps || !std::isfinite(hi + step))
                    return false;
                lo = hi;
                hi = hi + step;
                step = step * 2.0;
            }
            return true;
        };
        if (c == "T") {
            hi = 3.0;
        } else if (c == "Z") {
            hi = 4.0;
        } else if (c == "C") {
            hi = df1;
        } else if (c == "F") {
            for (long step = 0; prob(lo) < p; ++step) {
                if (step >= MaxIntervalSteps)
                    return 0.0;
                lo = lo + (df1 + df2) / 10.0;
            }
            hi = Div(df1, df2);
        }
        if (!raiseHi())
            return 0.0;

        // The decimal type keeps 28 places: for a p far out in a tail the
        // differences from p, and their products with the ends of the
        // interval, kept a digit or none (chi-square with 30 degrees of
        // freedom at 1e-30 came out 285 instead of 219.6, t with 10 at
        // 1e-28 1840 instead of 1734, and 1e-30 was not found at all).
        // There the steps are taken in double.
        // So are they for a root below kSmallRoot, whose points the decimal
        // type cannot tell apart, and there the tolerance on x is relative
        // to the point: as an absolute one any point near 0 passed
        // (chi-square with 0.01 degrees of freedom at 0.5 gave 1.9e-19 for
        // 7e-61, with 0.1 at 0.9 6.4e-18 for 1.2e-20).
        const bool smallRoot = c == "Z" ? prob(kSmallRoot) > p : prob(kSmallRoot) < p;
        const bool decimalSteps = p >= kDecimalSearchFloor && !smallRoot;
        auto sub = [&](double a, double b) { return decimalSteps ? DecSub(a, b) : Chk(a - b); };
        auto xtol = [&](double v) { return smallRoot ? tol * std::fabs(v) / kSmallRoot : tol; };
        double Flo = sub(prob(lo), p);
        double Fhi = sub(prob(hi), p);
        double side = 0.0;
        double rold = 0.0;
        for (long pass = 0; pass < MaxSearchPasses; ++pass) {
            double r = 0.0;
            if (decimalSteps) {
                const Decimal num = Decimal(Mul(lo, Fhi)) - Decimal(Mul(hi, Flo));
                const Decimal den = Decimal(Fhi) - Decimal(Flo);
                r = (num / den).ToDouble();
            } else {
                r = Div(Chk(Mul(lo, Fhi) - Mul(hi, Flo)), Chk(Fhi - Flo));
            }
            double Fr = sub(prob(r), p);
            // The probability is close enough within tol, or within a
            // millionth of p where that is less: for a p near tol (or
            // below it) any point far enough out in the tail would pass.
            const double ptol = std::min(tol, p * 1e-6);
            if (std::fabs(Fr) <= ptol)
                return r;
            // Once the root lies between lo and hi, a point the interpolation
            // puts on an end (within the last digits the decimal sums keep)
            // whose probability is far from p halves the interval instead:
            // far out in a tail with a wide interval, where the one end's
            // tail is many times nearer p than the other's, the point rounds
            // onto that end and the tests below took it for convergence.
            if (Sign(Flo) * Sign(Fhi) < 0) {
                const double near = 1e-13 * std::max(std::fabs(lo), std::fabs(hi));
                auto onEnd = [&](double end, double Fend) {
                    return std::fabs(r - end) <= near && std::fabs(Fend) > 1e-3 * p;
                };
                if ((onEnd(lo, Flo) || onEnd(hi, Fhi)) && std::fabs(hi - lo) > 4.0 * near) {
                    const double a = std::min(lo, hi);
                    const double b = std::max(lo, hi);
                    r = a + (b - a) / 2.0;
                    Fr = sub(prob(r), p);
                    if (std::fabs(Fr) <= ptol)
                        return r;
                }
            }
            // An unchanged value only means convergence where the point has
            // reached hi: far out in a flat tail (F with large degrees of
            // freedom, where both probabilities are below 1e-17) the values
            // agree too, and stopping there would return a point nowhere
            // near the root.
            if (std::fabs(sub(Fr, Fhi)) <= ptol && std::fabs(sub(r, hi)) <= xtol(r))
                return r;
            if (rold != 0.0 && std::fabs(sub(rold, r)) <= xtol(r))
                return r;
            // By the signs, not by products: far out in a tail two values of
            // 1e-300 multiply to 0, which ended the search on a point with
            // the probability 0.
            const int sign = Sign(Fr) * Sign(Flo);
            const bool finish = sign == 0;
            if (sign < 0) {
                hi = r;
                Fhi = Fr;
                if (Sign(side) * Sign(Fr) > 0)
                    Flo = Flo / 2.0;
            } else if (sign > 0) {
                lo = r;
                Flo = Fr;
                if (Sign(side) * Sign(Fr) > 0)
                    Fhi = Fhi / 2.0;
            }
            side = Fr;
            rold = r;
            iteration = iteration + 1;
            if (strict && iteration > 1000)
                tol = 1e-12;
            if (finish)
                return r;
        }
        return 0.0; // the search did not settle
    } catch (...) {
        AbsorbRunTimeError();
        return 0.0;
    }
}

double CZValue::Quorb_Poisson(double lambda, double lnLambda, std::int32_t k) {
    const double klnl = Mul(static_cast<double>(k), lnLambda);
    const double fk = FactLn(k);
    const double e = (Decimal(klnl) - Decimal(lambda) - Decimal(fk)).ToDouble();
    return Exp(e);
}

// ---- private ------------------------------------------------------------

double CZValue::FarTTail(double x, double df) {
    // x^2 is beyond a double, and so was the tail's argument df / (df + x^2):
    // the tail came out 0 (t of 1e160 with 0.01 degrees of freedom has 0.024),
    // and the inverse for a small p settled where the tail turned 0 (t with
    // one degree of freedom at 1e-300 gave 1.3e154, not 6.4e299). Here
    // u = df / x^2 is below 1e-298, so that I_u(a, 1/2) is
    // u^a (1 - u)^(1/2) / (a B(a, 1/2)) times a continued fraction of 1 + O(u),
    // both 1 in a double; taken in logarithms, u being too small for one.
    // With more degrees of freedom the tail is far below the smallest double.
    if (df > 1e10)
        return 0.0;
    const double a = df / 2.0;
    const double e = GammaLn(a + 0.5) - GammaLn(a) - GammaLn(0.5) + a * (Ln(df) - 2.0 * Ln(x)) - Ln(a);
    return e > -2000.0 ? Exp(e) : 0.0;
}

double CZValue::BetaCF(double a, double b, double x, int maxSteps) {
    const double qab = DecAdd(a, b);
    const double qap = DecAdd(a, 1.0);
    const double qam = DecSub(a, 1.0);
    double am = 1.0;
    double bm = 1.0;
    double az = 1.0;
    double bz = DecSub(1.0, Div(Mul(qab, x), qap));
    const Decimal bDec(b), xDec(x);
    int m = 0;
    for (;;) {
        ++m;
        const double em = m;
        const double tem = em + em;
        // d = m (b - m) x / ((a + tem)(qam + tem)), numerator and quotient in decimal
        const Decimal bMinusM = bDec - Decimal(em);
        const double den = Mul(a + tem, qam + tem);
        if (den == 0.0)
            throw RunTimeError(rterr::DivisionByZero);
        double d = (Decimal(em) * bMinusM * xDec / Decimal(den)).ToDouble();
        const double ap = Chk(az + d * am);
        const double bp = Chk(bz + d * bm);
        d = Div(Mul(Mul(-(a + em), qab + em), x), Mul(a + tem, qap + tem));
        const double app = Chk(ap + d * az);
        const double bpp = Chk(bp + d * bz);
        const double aold = az;
        am = Div(ap, bpp);
        bm = Div(bp, bpp);
        az = Div(app, bpp);
        bz = 1.0;
        if (m == maxSteps || DecDiffBelow(az, aold, std::fabs(az) * 1e-10))
            break;
    }
    return az;
}

double CZValue::BetaI(double a, double b, double x, double y) {
    if ((a == 0.5 || b == 0.5) && std::max(a, b) >= kHugeShape)
        return betaIHalfAndHugeShape(a, b, x, y);
    const bool large = std::max(a, b) >= kLargeShape;
    double bt = 0.0;
    if (large && x != 0.0 && y != 0.0) {
        const double small = std::min(a, b);
        const double lnGammaSmall = small < 10.0 ? GammaLn(small) : 0.0;
        const double e = Chk(a >= b ? lnBetaFactorLargeA(a, b, x, y, lnGammaSmall)
                                    : lnBetaFactorLargeA(b, a, y, x, lnGammaSmall));
        bt = e > -2000.0 ? Exp(e) : 0.0;
    } else if (!large && x != 0.0 && y != 0.0) {
        const double ga = GammaLn(a);
        const double gb = GammaLn(b);
        const double gab = GammaLn(a + b);
        const Decimal e = Decimal(gab) - Decimal(ga) - Decimal(gb) + Decimal(Mul(a, Ln(x))) +
                          Decimal(Mul(b, Ln(y)));
        const double ed = e.ToDouble();
        bt = ed > -2000.0 ? Exp(ed) : 0.0;
    }
    // Near the mode the fraction takes steps of the order of the square root
    // of the larger shape (some 4,000 for two shapes of 10^9).
    const int steps = large ? 1000 + static_cast<int>(4.0 * std::sqrt(std::min(std::max(a, b), 1e12))) : 1000;
    if (x < Div(a + 1.0, a + b + 2.0))
        return Div(Mul(BetaCF(a, b, x, steps), bt), a);
    return DecSub(1.0, Div(Mul(BetaCF(b, a, y, steps), bt), b));
}

double CZValue::GammaLn(double xx) {
    const std::uint64_t key = bitsOf(xx);
    GammaSlot& slot = slotsOfThisThread<GammaSlot, kGammaSlots>()[static_cast<std::size_t>(mixBits(key) & (kGammaSlots - 1))];
    if (slot.used && slot.x == key)
        return slot.value;
    const double g = GammaLnOf(xx); // an error leaves the slot as it was
    slot = GammaSlot{key, g, true};
    return g;
}

double CZValue::GammaLnOf(double xx) {
    if (xx >= 1.0) {
        const double x = DecSub(xx, 1.0);
        double tmp = x + 5.5;
        tmp = DecSub(Mul(x + 0.5, Ln(tmp)), tmp);
        // The first two terms in double precision, the rest in decimal.
        Decimal ser(Chk(1.0 + Div(76.18009173, x + 1.0)));
        ser -= Decimal(Div(86.50532033, x + 2.0));
        ser += Decimal(Div(24.01409822, x + 3.0));
        ser -= Decimal(Div(1.231739516, x + 4.0));
        ser += Decimal(Div(0.00120858003, x + 5.0));
        ser -= Decimal(Div(5.36382e-06, x + 6.0));
        return Chk(Ln(Mul(2.50662827465, ser.ToDouble())) + tmp);
    }
    // Reflection: ln Gamma(xx) = ln(pi z) - ln Gamma(1 + z) - ln sin(pi z), z = 1 - xx
    const double z = DecSub(1.0, xx);
    const double a = Ln(Mul(kPi, z));
    const double g = GammaLn(1.0 + z);
    const double s = Ln(std::sin(Mul(kPi, z)));
    return (Decimal(a) - Decimal(g) - Decimal(s)).ToDouble();
}

double CZValue::GammaQ(double a, double x) {
    if (a >= kLargeGammaShape && x > 0.0)
        return gammaQLargeShape(a, x);
    if (x < a + 1.0)
        return DecSub(1.0, GammaSer(a, x));
    return GammaCF(a, x);
}

double CZValue::GammaCF(double a, double x) {
    const double gln = GammaLn(a);
    double gold = 0.0;
    double a0 = 1.0;
    double a1 = x;
    double b0 = 0.0;
    double b1 = 1.0;
    double fac = 1.0;
    double g = 0.0;
    for (int n = 1; n <= 1000; ++n) {
        const double an = n;
        const double ana = DecSub(an, a);
        a0 = Mul(Chk(a1 + a0 * ana), fac);
        b0 = Mul(Chk(b1 + b0 * ana), fac);
        const double anf = an * fac;
        a1 = Chk(x * a0 + anf * a1);
        b1 = Chk(x * b0 + anf * b1);
        if (a1 != 0.0) {
            fac = 1.0 / a1;
            g = Mul(b1, fac);
            // |(g - gold) / g| < 3e-7, in decimal
            const Decimal rel = (Decimal(g) - Decimal(gold)) / Decimal(g);
            if (rel.Abs().ToDouble() < 3e-7)
                break;
            gold = g;
        }
    }
    const double e = (Decimal(-x) + Decimal(Mul(a, Ln(x))) - Decimal(gln)).ToDouble();
    return e > -2000.0 ? Mul(Exp(e), g) : 0.0;
}

double CZValue::GammaSer(double a, double x) {
    const double gln = GammaLn(a);
    if (x <= 0.0)
        return 0.0;
    double ap = a;
    double sum = Div(1.0, a);
    double del = sum;
    for (int n = 1; n <= 1000; ++n) {
        ap = ap + 1.0;
        del = Div(Mul(del, x), ap);
        sum = Chk(sum + del);
        if (std::fabs(del) < std::fabs(sum) * 3e-7)
            break;
    }
    const double e = (Decimal(-x) + Decimal(Mul(a, Ln(x))) - Decimal(gln)).ToDouble();
    return e > -2000.0 ? Mul(Exp(e), sum) : 0.0;
}

double CZValue::FactLn(std::int32_t n) {
    if (n < 0)
        return 0.0;
    if (m_factTable.empty())
        throw RunTimeError(rterr::SubscriptOutOfRange); // Quorb_FactorialInit not called
    if (n <= m_factCount)
        return m_factTable[static_cast<std::size_t>(n) + 1];
    if (n < 33) {
        for (int j = m_factCount + 1; j <= n; ++j)
            m_factTable[static_cast<std::size_t>(j) + 1] =
                Ln(std::exp(m_factTable[static_cast<std::size_t>(j)]) * j);
        m_factCount = static_cast<std::int16_t>(n);
        return m_factTable[static_cast<std::size_t>(n) + 1];
    }
    return GammaLn(static_cast<double>(n) + 1.0);
}

double CZValue::NormalArea(double x) {
    // The area between -x and x is the same for -x: a negative x is taken by
    // its absolute value rather than failing on its logarithm.
    x = std::fabs(x);
    if (std::isnan(x))
        throw RunTimeError(rterr::InvalidProcedureCall);
    if (x == 0.0)
        return 0.0;
    if (x > kNormalCutOff)
        return 1.0;
    // The series x − x³/(2·3) + x⁵/(2²·2!·5) − … summed term by term cancels
    // terms up to e^(x²/2) times larger than its result, so that beyond
    // x ≈ 4 the area kept too few digits for the tail 1 − area: at x = 6 the
    // tail came out several times too large, or 0. The series sums to
    // erf(x/√2)·√(π/2), so the area is erf(x/√2), taken without the cancellation.
    double result = std::erf(x / std::sqrt(2.0));
    if (result > 1.0)
        result = 1.0;
    return result;
}
