// The distribution calculator against values derived independently: closed
// forms evaluated in the test (normal area from erf, t with 1 and 2 degrees
// of freedom, chi-square with even degrees of freedom, F with an even
// numerator, binomial and Poisson terms from their definitions) and
// published table values to 15 significant digits.
//
// Tolerances follow from the routines' convergence limits: the normal series
// stops below a term of 1e-13 but loses digits to cancellation for large x;
// the incomplete gamma series and continued fraction stop at a relative step
// of 3e-7; the incomplete beta continued fraction at 1e-10, with ln Gamma
// good to about 2e-10.
#include "engine/CZValue.h"
#include "errors/RunTimeError.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;

double normalArea(double x) { return std::erf(x / std::sqrt(2.0)); }

// P(|T| >= t) for 1 and 2 degrees of freedom.
double tTail1(double t) { return 1.0 - 2.0 / kPi * std::atan(std::fabs(t)); }
double tTail2(double t) { return 1.0 - std::fabs(t) / std::sqrt(2.0 + t * t); }

// Upper chi-square tail for even df: e^(-x/2) * sum_{k < df/2} (x/2)^k / k!,
// summed in long double from logarithms.
double chiTailEven(double x, int df) {
    const long double h = x / 2.0L;
    long double sum = 0.0L;
    long double lnTerm = -h; // k = 0
    for (int k = 0; k < df / 2; ++k) {
        if (k > 0)
            lnTerm += std::log(h) - std::log(static_cast<long double>(k));
        sum += std::exp(lnTerm);
    }
    return static_cast<double>(sum);
}
double chiTail1(double x) { return std::erfc(std::sqrt(x / 2.0)); }

// Upper F tail for an even numerator d1 = 2m:
// y^(n/2) * sum_{k < m} C(n/2 + k - 1, k) (1 - y)^k, y = n / (n + d1 f).
double fTailEvenNumerator(double f, int d1, double n) {
    const long double y = n / (n + d1 * std::fabs(f));
    long double term = 1.0L; // k = 0
    long double sum = 1.0L;
    for (int k = 1; k < d1 / 2; ++k) {
        term *= (n / 2.0L + k - 1) / k * (1.0L - y);
        sum += term;
    }
    return static_cast<double>(std::pow(y, n / 2.0L) * sum);
}

// Kolmogorov's limiting tail, 2 * sum_{k >= 1} (-1)^(k-1) e^(-2 k^2 z^2).
double ksTail(double z) {
    long double s = 0.0L;
    for (int k = 1; k <= 200; ++k)
        s += (k % 2 ? 1.0L : -1.0L) * std::exp(-2.0L * k * k * z * z);
    return static_cast<double>(2.0L * s);
}

long double lnFactorial(int n) {
    long double s = 0.0L;
    for (int j = 2; j <= n; ++j)
        s += std::log(static_cast<long double>(j));
    return s;
}

void expectRel(double actual, double expected, double rel, const std::string& what) {
    EXPECT_NEAR(actual, expected, std::fabs(expected) * rel) << what;
}

// "F 2.000000 df 4.000000,10.000000": a case's arguments for its failure message.
std::string args(const std::string& code, double x, double df1, double df2) {
    return code + " " + std::to_string(x) + " df " + std::to_string(df1) + "," + std::to_string(df2);
}

// Regularised incomplete beta I_x(a, b) by the hypergeometric series
// x^a (1-x)^b / (a B(a, b)) * sum_n prod_{k<n} (a+b+k)/(a+1+k) x^n, whose
// terms are all positive (no continued fraction, ln Gamma from the library),
// in long double; for the tails below x is small and it converges fast.
long double betaSeries(long double a, long double b, long double x) {
    const long double lnFront = a * std::log(x) + b * std::log1p(-x) - std::log(a) -
                                (std::lgamma(a) + std::lgamma(b) - std::lgamma(a + b));
    long double term = 1.0L;
    long double sum = 1.0L;
    for (int n = 0; n < 100000 && term > sum * 1e-21L; ++n) {
        term *= (a + b + n) / (a + 1 + n) * x;
        sum += term;
    }
    return std::exp(lnFront) * sum;
}

// Upper tails far out, each by a route of its own.
long double tTailFar(long double t, double df) { return betaSeries(df / 2.0L, 0.5L, df / (df + t * t)); }
long double fTailFar(long double f, double d1, double d2) {
    return betaSeries(d2 / 2.0L, d1 / 2.0L, d2 / (d2 + d1 * f));
}
// Chi-square, whole degrees of freedom: for even df the Poisson sum
// e^(-h) sum_{k < df/2} h^k / k!, for odd df
// erfc(sqrt(h)) + e^(-h) sum_{j=1}^{(df-1)/2} h^(j-1/2) / Gamma(j + 1/2), h = x/2.
long double chiTailWhole(long double x, int df) {
    const long double h = x / 2.0L;
    const long double lnH = std::log(h);
    long double sum = 0.0L;
    if (df % 2 == 0) {
        long double lnTerm = -h; // k = 0
        for (int k = 0; k < df / 2; ++k) {
            if (k > 0)
                lnTerm += lnH - std::log(static_cast<long double>(k));
            sum += std::exp(lnTerm);
        }
        return sum;
    }
    sum = std::erfc(std::sqrt(h));
    long double lnTerm = -h + 0.5L * lnH - std::lgamma(1.5L); // j = 1
    for (int j = 1; j <= (df - 1) / 2; ++j) {
        if (j > 1)
            lnTerm += lnH - std::log(j - 0.5L);
        sum += std::exp(lnTerm);
    }
    return sum;
}

// The x > 0 where a falling tail equals p, to 1e-14: doubling, then halving
// on a geometric scale.
template <typename Tail>
double quantileOf(Tail tail, long double p) {
    long double lo = 0.0L, hi = 1.0L;
    while (tail(hi) > p) {
        lo = hi;
        hi *= 2.0L;
    }
    for (int i = 0; i < 300 && hi - lo > hi * 1e-14L; ++i) {
        const long double mid = lo > 0.0L ? std::sqrt(lo * hi) : hi / 2.0L;
        (tail(mid) > p ? lo : hi) = mid;
    }
    return static_cast<double>((lo + hi) / 2.0L);
}

} // namespace

// ---- normal ---------------------------------------------------------------

TEST(CZValue, NormalCentralAreaAgainstErf) {
    struct Case {
        double x;
        double tol; // absolute
    };
    // The alternating series loses digits twice: each power x^(2n+1) is
    // exp((2n+1) ln x), relatively off by about (2n+1) ln x ulps, and the
    // sum cancels terms far larger than the result. The bound is the largest
    // term times its exponent times an ulp: below 1e-13 up to x = 3, 3e-13 at
    // 4, 3e-11 at 5, 1e-8 at 6 (where the result is also clipped to 1).
    const Case cases[] = {{0.001, 1e-15}, {0.5, 1e-13}, {1.0, 1e-13}, {1.96, 1e-13}, {2.0, 1e-13},
                          {3.0, 1e-13},   {4.0, 1e-12}, {5.0, 1e-10}, {6.0, 1e-8},   {6.3, 1e-7}};
    CZValue z;
    for (const auto& c : cases)
        EXPECT_NEAR(z.Quorb_CalcProb("Z", c.x, 0, 0), normalArea(c.x), c.tol) << c.x;
}

TEST(CZValue, NormalPublishedTableValues) {
    CZValue z;
    EXPECT_NEAR(z.Quorb_CalcProb("Z", 1.96, 0, 0), 0.9500042, 5e-8);
    EXPECT_NEAR(z.Quorb_CalcProb("Z", 1.0, 0, 0), 0.6826895, 5e-8);
    EXPECT_NEAR(z.Quorb_CalcProb("Z", 2.5758293035489, 0, 0), 0.99, 1e-13);
    EXPECT_NEAR(z.Quorb_CalcProb("Z", 1.64485362695147, 0, 0), 0.90, 1e-13);
}

TEST(CZValue, NormalEdges) {
    CZValue z;
    EXPECT_EQ(z.Quorb_CalcProb("Z", 0.0, 0, 0), 0.0);
    EXPECT_EQ(z.Quorb_CalcProb("Z", 6.31, 0, 0), 1.0);
    EXPECT_EQ(z.Quorb_CalcProb("Z", 40.0, 0, 0), 1.0);
    EXPECT_NEAR(z.Quorb_CalcProb("z", 1.96, 0, 0), 0.9500042, 5e-8); // lower-case code
    EXPECT_LT(z.Quorb_CalcProb("Z", 6.3, 0, 0), 1.0);                // 6.3 itself uses the series
    EXPECT_EQ(z.Quorb_CalcProb("Z", std::numeric_limits<double>::quiet_NaN(), 0, 0), 0.0);
}

TEST(CZValue, NegativeZTookLogOfNegativeNumberAndGaveZeroArea) {
    CZValue z;
    const double xs[] = {0.25, 1.0, 1.96, 3.0};
    for (double x : xs)
        EXPECT_NEAR(z.Quorb_CalcProb("Z", -x, 0, 0), normalArea(x), 1e-13) << -x;
    EXPECT_EQ(z.Quorb_CalcProb("Z", -6.31, 0, 0), 1.0);
}

// ---- Student's t ---------------------------------------------------------------

TEST(CZValue, TTwoTailedProbabilities) {
    struct Case { double t, df, expected; };
    const Case cases[] = {
        {1.0, 1, tTail1(1.0)},
        {12.7062047361747, 1, 0.05},
        {0.3, 1, tTail1(0.3)},
        {1.5, 2, tTail2(1.5)},
        {4.30265272974946, 2, 0.05},
        {2.0, 3, 0.139325968558843},
        {0.5, 10, 0.627893605742973},
        {2.5, 10, 0.0314468442366088},
        {2.22813885198627, 10, 0.05},
        {2.0, 100, 0.0482121787311337},
        {3.0, 1000, 0.00276670904423819},
        {1.96233908082641, 1000, 0.05},
        // t^2 beyond a double (the tail was 0): for one degree of freedom
        // 2/pi atan(1/t), that is 2/(pi t); for 0.01 and 0.5 the regularised
        // incomplete beta evaluated to 40 digits
        {1e300, 1, 2 / (kPi * 1e300)},
        {1e160, 0.01, 0.024378525263998519},
        {1e200, 0.5, 6.4140195082844581e-101},
        // A tail was above 1 (1.00002) with 1e-10 degrees of freedom; the
        // incomplete beta to 40 digits
        {0.5, 1e-10, 0.99999999884870745},
    };
    CZValue z;
    for (const auto& c : cases) {
        const std::string what = args("t", c.t, c.df, 0);
        expectRel(z.Quorb_CalcProb("T", c.t, c.df, 0), c.expected, 1e-8, what);
        expectRel(z.Quorb_CalcProb("T", -c.t, c.df, 0), c.expected, 1e-8, what + " negative");
    }
    EXPECT_EQ(z.Quorb_CalcProb("T", 0.0, 10, 0), 1.0);
    EXPECT_NEAR(z.Quorb_CalcProb("t", 2.228139, 10, 0), 0.05, 1e-7);
    EXPECT_EQ(z.Quorb_CalcProb("T", 2.0, 0, 0), 0.0);
    EXPECT_EQ(z.Quorb_CalcProb("T", 2.0, -4, 0), 0.0);
}

// ---- chi-square ------------------------------------------------------------

TEST(CZValue, ChiSquareUpperTail) {
    struct Case { double x, df, expected, rel; };
    // The gamma series and continued fraction stop at a relative step of
    // 3e-7. Near the centre of a large-df distribution the series terms shrink
    // by a ratio close to 1, so the neglected tail is several such steps: the
    // df 1000 row at its centre gets 5e-6.
    const Case cases[] = {
        {1.0, 1, chiTail1(1.0), 1e-6},
        {3.0, 1, chiTail1(3.0), 1e-6},
        {3.84145882069413, 1, 0.05, 1e-6},
        {2.0, 2, chiTailEven(2.0, 2), 1e-6},
        {5.99146454710798, 2, 0.05, 1e-6},
        {3.0, 4, chiTailEven(3.0, 4), 1e-6},
        {2.0, 3, 0.57240670447088, 1e-6},
        {0.5, 5, 0.99212329323263, 1e-6},
        {11.0705, 5, 0.0499999554280437, 1e-6},
        {20.0, 10, chiTailEven(20.0, 10), 1e-6},
        {18.3070380532751, 10, 0.05, 1e-6},
        {90.0, 100, chiTailEven(90.0, 100), 1e-6},
        {124.342113404004, 100, 0.05, 1e-6},
        {1000.0, 1000, chiTailEven(1000.0, 1000), 5e-6},
        {1100.0, 1000, chiTailEven(1100.0, 1000), 1e-6},
        {1074.67944880344, 1000, 0.05, 1e-6},
        // From 20,000 degrees of freedom on, at the mean and two standard
        // deviations either side, against the regularised upper incomplete
        // gamma evaluated to 40 digits: the series and the continued fraction
        // stopped at 1,000 steps, some sqrt(df) too few (at 10^6 the mean's
        // tail was 0.578, at 10^8 0.944, at 10^10 0.994).
        {30000.0, 30000, 0.49891421623813359, 1e-9},
        {997171.5728752539, 1e6, 0.97732627674167104, 1e-9},
        {1e6, 1e6, 0.4998119368033945, 1e-9},
        {1002828.4271247461, 1e6, 0.022826432656559023, 1e-9},
        {1e8, 1e8, 0.49998119368054632, 1e-9},
        {9999717157.287525, 1e10, 0.97725063160486859, 1e-9},
        {1e10, 1e10, 0.49999811936805484, 1e-9},
        {10000282842.712475, 1e10, 0.02275089549027306, 1e-9},
    };
    CZValue z;
    for (const auto& c : cases)
        expectRel(z.Quorb_CalcProb("C", c.x, c.df, 0), c.expected, c.rel, args("C", c.x, c.df, 0));
}

TEST(CZValue, ChiSquareEdges) {
    CZValue z;
    EXPECT_EQ(z.Quorb_CalcProb("C", 0.0, 4, 0), 1.0);  // series branch with x <= 0
    EXPECT_EQ(z.Quorb_CalcProb("C", -3.0, 4, 0), 1.0);
    EXPECT_EQ(z.Quorb_CalcProb("C", 3.0, 0, 0), 0.0);
    EXPECT_EQ(z.Quorb_CalcProb("c", 1e6, 2, 0), 0.0);  // e^(-x/2) below e^-2000 counts as 0
}

// ---- F -----------------------------------------------------------------------

TEST(CZValue, FUpperTail) {
    struct Case { double f, d1, d2, expected; };
    const Case cases[] = {
        {4.1028, 2, 10, fTailEvenNumerator(4.1028, 2, 10)},
        {4.1028210151304, 2, 10, 0.05},
        {1.0, 1, 1, 0.5},
        {161.447638797588, 1, 1, 0.05},
        {0.5, 4, 6, 0.73828125},
        {3.0, 4, 20, fTailEvenNumerator(3.0, 4, 20)},
        {2.0, 10, 100, fTailEvenNumerator(2.0, 10, 100)},
        {3.0, 5, 7, 0.0922465610205496},
        {1.2, 100, 100, fTailEvenNumerator(1.2, 100, 100)},
        {1.10968829024299, 1000, 1000, 0.05},
        {3.00472463557785, 2, 1000, fTailEvenNumerator(3.00472463557785, 2, 1000)},
    };
    CZValue z;
    for (const auto& c : cases) {
        const std::string what = args("F", c.f, c.d1, c.d2);
        expectRel(z.Quorb_CalcProb("F", c.f, c.d1, c.d2), c.expected, 1e-8, what);
        // the F tail is taken at |x|
        expectRel(z.Quorb_CalcProb("F", -c.f, c.d1, c.d2), c.expected, 1e-8, what + " negative");
    }
    EXPECT_EQ(z.Quorb_CalcProb("F", 0.0, 3, 7), 1.0);
    EXPECT_EQ(z.Quorb_CalcProb("F", 2.0, 5, 0), 0.0);
    EXPECT_EQ(z.Quorb_CalcProb("F", 2.0, 0, 5), 0.0);
}

// With billions of degrees of freedom: t from the first term of Fisher's
// expansion in 1/df, P(|T| >= t) = 2 Q(t) + 2 phi(t) (t^3 + t) / (4 df),
// whose next term is below 1e-12 of the tail here; F(2, n) exactly as
// (1 + 2 f / n)^(-n / 2), F(1, n) at t^2 as the t tail, F(d, d) at 1 as 1/2.
// The tails came from ln Gamma of numbers as large as the degrees of
// freedom, whose differences keep too few digits: at 10^10 the t tail was
// right to three digits, at 10^13 to none. Where the tail is small the
// continued fraction's own limit (1e-10 a step) shows beyond 10^8.
TEST(CZValue, TailsWithBillionsOfDegreesOfFreedomLostTheirDigitsToLnGammaDifferences) {
    const auto fisherT = [](double t, double df) {
        const double phi = std::exp(-t * t / 2) / std::sqrt(2 * kPi);
        return std::erfc(t / std::sqrt(2.0)) + 2 * phi * (t * t * t + t) / (4 * df);
    };
    const auto fTail2 = [](double f, double n) { return std::exp(-n / 2 * std::log1p(2 * f / n)); };
    struct Case { double x, df1, df2, expected, rel; };
    std::vector<Case> cases;
    for (double df : {1e7, 1e8, 1e10, 1e13}) {
        for (double t : {0.5, 1.0, 1.5}) cases.push_back({t, df, 0, fisherT(t, df), 1e-9});
        for (double f : {0.5, 1.0}) cases.push_back({f, 2, df, fTail2(f, df), 1e-9});
        cases.push_back({1.0, 1, df, fisherT(1.0, df), 1e-9});
    }
    for (double df : {1e7, 1e8}) {
        for (double t : {2.0, 3.0}) cases.push_back({t, df, 0, fisherT(t, df), 1e-8});
        cases.push_back({3.0, 2, df, fTail2(3.0, df), 1e-8});
    }
    cases.push_back({2.0, 1e10, 0, fisherT(2.0, 1e10), 1e-6});
    // Beyond 10^10 the fraction of the t tail ran out of steps, and from
    // some 5 * 10^14 on its decimal terms out of range: t of 2 was 0.04544
    // at 10^13, 0 at 10^15. Fisher's expansion is exact to a double there.
    for (double df : {1e13, 1e15, 1e300}) {
        for (double t : {0.5, 2.0, 3.0, 8.0}) cases.push_back({t, df, 0, fisherT(t, df), 1e-12});
        cases.push_back({4.0, 1, df, fisherT(2.0, df), 1e-12});
    }
    for (double d : {2e6, 1e8, 2e9}) cases.push_back({1.0, d, d, 0.5, 1e-9});
    CZValue z;
    for (const auto& c : cases) {
        const char* code = c.df2 == 0 ? "T" : "F";
        expectRel(z.Quorb_CalcProb(code, c.x, c.df1, c.df2), c.expected, c.rel, args(code, c.x, c.df1, c.df2));
    }
}

// Near t = 0 the two-sided tail is 1 - 2 t f(0) (1 - (df + 1) t^2 / (6 df)),
// f(0) = Gamma((df + 1) / 2) / (sqrt(df pi) Gamma(df / 2)): what is left of 1
// is of the size of t. The routine took it from 1 - df / (df + t^2), which
// keeps nothing of t^2 / (df + t^2) once that is below the last digit of 1:
// at t = 1e-6 and 10,000 degrees of freedom the tail was 0.99999881
// instead of 0.99999920, and the value with a tail of 0.999999 was 24% off.
TEST(CZValue, TailsOfATNearZeroWithManyDegreesOfFreedomLostWhatIsLeftOfOne) {
    const auto f0 = [](double df) {
        return std::exp(std::lgamma((df + 1) / 2) - std::lgamma(df / 2)) / std::sqrt(df * kPi);
    };
    const auto leftOfOne = [&](double t, double df) { return 2 * t * f0(df) * (1 - (df + 1) * t * t / (6 * df)); };
    CZValue z;
    for (double df : {1e3, 1e4, 1e5, 1e6}) {
        for (double t : {1e-8, 1e-6, 1e-4}) {
            const double p = z.Quorb_CalcProb("T", t, df, 0);
            expectRel(1 - p, leftOfOne(t, df), 1e-7, args("T", t, df, 0));
        }
        // and back: the value whose tail leaves 1e-6 of 1
        const double t = 1e-6 / (2 * f0(df)); // t^3 is below the last digit
        expectRel(z.Quorb_FindValue("T", 1 - 1e-6, df, 0, true), t, 1e-6, args("T inverse", 1 - 1e-6, df, 0));
    }
}

TEST(CZValue, UnknownCodesGiveZero) {
    CZValue z;
    EXPECT_EQ(z.Quorb_CalcProb("Q", 1.0, 1, 1), 0.0);
    EXPECT_EQ(z.Quorb_CalcProb("", 1.0, 1, 1), 0.0);
    EXPECT_EQ(z.Quorb_CalcProb("CHI", 3.0, 1, 0), 0.0); // the whole code counts here
    EXPECT_EQ(z.Quorb_FindValue("X", 0.05, 1, 1, true), 0.0);
    EXPECT_EQ(z.Quorb_FindValue("", 0.05, 1, 1, true), 0.0);
}

// ---- critical values ---------------------------------------------------------------

TEST(CZValue, CriticalValues) {
    struct Case { const char* code; double p, df1, df2, expected, rel; };
    const double q95 = 0.95, q99 = 0.99;
    // Closed forms: t(1) is Cauchy, t(2) has P = 1 - t / sqrt(2 + t^2),
    // chi-square(2) is exponential, F(2, n) has P = (1 + 2f/n)^(-n/2),
    // F(1, n) is the square of t(n).
    const double t1_05 = std::tan(kPi / 2 * q95);
    const double t1_01 = std::tan(kPi / 2 * q99);
    const double t2_05 = std::sqrt(2 * q95 * q95 / (1 - q95 * q95));
    const double t2_01 = std::sqrt(2 * q99 * q99 / (1 - q99 * q99));
    auto f2 = [](double p, double n) { return n / 2 * (std::pow(p, -2.0 / n) - 1); };
    // The beta routines are good to about 1e-9 relative; the gamma routines
    // to a few times 3e-7 in probability, which moves a chi-square quantile
    // by less than 1e-6 relative.
    const Case cases[] = {
        {"Z", 0.95, 0, 0, 1.95996398454005, 1e-10},
        {"Z", 0.99, 0, 0, 2.5758293035489, 1e-10},
        {"Z", 0.50, 0, 0, 0.674489750196082, 1e-10},
        {"T", 0.05, 1, 0, t1_05, 1e-8},
        {"T", 0.01, 1, 0, t1_01, 1e-8},
        {"T", 0.05, 2, 0, t2_05, 1e-8},
        {"T", 0.01, 2, 0, t2_01, 1e-8},
        {"T", 0.05, 5, 0, 2.57058183563632, 1e-8},
        {"T", 0.05, 10, 0, 2.22813885198627, 1e-8},
        {"T", 0.01, 10, 0, 3.16927267261695, 1e-8},
        {"T", 0.05, 30, 0, 2.04227245630124, 1e-8},
        {"T", 0.05, 100, 0, 1.98397151852355, 1e-8},
        {"T", 0.05, 1000, 0, 1.96233908082641, 1e-8},
        {"T", 0.01, 1000, 0, 2.58075469806595, 1e-8},
        {"T", 1e-300, 1, 0, 2 / (kPi * 1e-300), 1e-8}, // cot(pi p / 2), beyond the square of a double
        {"T", 0.05, 1e15, 0, 1.95996398454005, 1e-10},  // the normal's, to 1e-15 (was 1.75)
        {"C", 0.05, 1, 0, 3.84145882069413, 1e-6},
        {"C", 0.01, 1, 0, 6.63489660102122, 1e-6},
        {"C", 0.05, 2, 0, -2 * std::log(0.05), 1e-6},
        {"C", 0.05, 5, 0, 11.0704976935164, 1e-6},
        {"C", 0.05, 10, 0, 18.3070380532751, 1e-6},
        {"C", 0.01, 10, 0, 23.2092511589544, 1e-6},
        {"C", 0.05, 100, 0, 124.342113404004, 1e-6},
        {"C", 0.05, 1000, 0, 1074.67944880344, 1e-6},
        {"F", 0.05, 2, 10, f2(0.05, 10), 1e-8},
        {"F", 0.01, 2, 10, f2(0.01, 10), 1e-8},
        {"F", 0.05, 2, 1000, f2(0.05, 1000), 1e-8},
        {"F", 0.05, 1, 1, t1_05 * t1_05, 1e-8},
        {"F", 0.05, 1, 10, 2.22813885198627 * 2.22813885198627, 1e-8},
        {"F", 0.05, 5, 2, 19.2964096520173, 1e-8},
        {"F", 0.05, 10, 10, 2.97823701608232, 1e-8},
        {"F", 0.01, 3, 20, 4.93819338231054, 1e-8},
        {"F", 0.05, 5, 100, 2.30531824167523, 1e-8},
        {"F", 0.05, 100, 100, 1.39171955165522, 1e-8},
    };
    CZValue z;
    for (const auto& c : cases) {
        const std::string what = args(c.code, c.p, c.df1, c.df2);
        expectRel(z.Quorb_FindValue(c.code, c.p, c.df1, c.df2, true), c.expected, c.rel, what);
        // the looser tolerance of 1e-12 on the probability moves nothing
        // visible at these tolerances
        expectRel(z.Quorb_FindValue(c.code, c.p, c.df1, c.df2, false), c.expected, c.rel, what + " loose");
    }
    // Table values as printed
    EXPECT_NEAR(z.Quorb_FindValue("t", 0.05, 10, 0, true), 2.228139, 5e-7);
    EXPECT_NEAR(z.Quorb_FindValue("c", 0.05, 5, 0, true), 11.0705, 5e-5);
    EXPECT_NEAR(z.Quorb_FindValue("f", 0.05, 2, 10, true), 4.102821, 5e-7);
}

TEST(CZValue, FindValueFWithLargeDegreesOfFreedomStoppedInTheFlatTail) {
    // With both df large the first interpolation point lies where both tail
    // probabilities are below 1e-17: the values agree, and the search used to
    // stop there (F(1000, 1000) at 0.05 came out as 1.9).
    CZValue z;
    expectRel(z.Quorb_FindValue("F", 0.05, 1000, 1000, true), 1.10968829024299, 1e-8, "F(1000, 1000)");
    // For F(500, 500) the closed form for an even numerator must give 0.05
    // at the result.
    const double r = z.Quorb_FindValue("F", 0.05, 500, 500, true);
    EXPECT_NEAR(fTailEvenNumerator(r, 500, 500), 0.05, 1e-9) << r;
    const double r2 = z.Quorb_FindValue("F", 0.01, 800, 2000, true);
    EXPECT_NEAR(fTailEvenNumerator(r2, 800, 2000), 0.01, 1e-9) << r2;
}

TEST(CZValue, FindValueFWithBadDegreesOfFreedomOrProbabilityNeverEnded) {
    struct Case { const char* code; double p, df1, df2; };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"F", 0.05, 0, 10},  {"F", 0.05, 5, 0},   {"F", 0.05, -1, 10}, {"F", 0.05, 0, 0},
        {"F", 0.0, 2, 10},   {"F", 1.0, 2, 10},   {"F", 1.5, 2, 10},   {"F", -0.1, 2, 10},
        {"F", nan, 2, 10},   {"F", 0.05, nan, 10},
        {"C", -0.1, 5, 0},   {"C", 0.0, 5, 0},    {"C", 0.05, 0, 0},   {"C", 0.05, -2, 0},
        {"T", 0.05, 0, 0},   {"T", 0.05, -3, 0},  {"T", 1.0, 10, 0},   {"Z", 1.0, 0, 0},
        {"Z", 0.0, 0, 0},
    };
    CZValue z;
    for (const auto& c : cases) EXPECT_EQ(z.Quorb_FindValue(c.code, c.p, c.df1, c.df2, true), 0.0) << args(c.code, c.p, c.df1, c.df2);
}

// ---- tails asked for again ---------------------------------------------------------

// Tails once worked out are remembered; a tail remembered for other
// arguments must never answer. The rows share x and the degrees of freedom
// across the codes (and the F rows swap theirs), and a sweep of other tails
// between the rounds pushes them out of the table: each round must give the
// closed forms, and every round the first round's bits.
TEST(CZValue, RememberedTailAnsweredForAnotherCodeOrDegreesOfFreedom) {
    struct Case { const char* code; double x, df1, df2, expected; };
    const Case cases[] = {
        {"Z", 2.0, 0, 0, normalArea(2.0)},
        {"T", 2.0, 1, 0, tTail1(2.0)},            // same x as the normal row
        {"T", 2.0, 2, 0, tTail2(2.0)},            // same x, other df
        {"T", -2.0, 2, 0, tTail2(2.0)},           // the sign of x
        {"C", 2.0, 2, 0, chiTailEven(2.0, 2)},    // same x and df as a t row
        {"C", 2.0, 4, 0, chiTailEven(2.0, 4)},
        {"c", 3.0, 1, 0, chiTail1(3.0)},          // lower-case code
        {"F", 2.0, 2, 10, fTailEvenNumerator(2.0, 2, 10)},
        {"F", 2.0, 4, 10, fTailEvenNumerator(2.0, 4, 10)},  // other df1
        {"F", 2.0, 2, 12, fTailEvenNumerator(2.0, 2, 12)},  // other df2
        // df swapped: I(y; 1, 5) with y = 2 / (2 + 10 * 2) is 1 - (1 - y)^5
        {"F", 2.0, 10, 2, 1.0 - std::pow(10.0 / 11.0, 5)},
    };
    std::vector<double> first;
    for (int round = 0; round < 3; ++round) {
        CZValue z; // a new calculator each round: the table belongs to the thread
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            const Case& c = round == 1 ? cases[std::size(cases) - 1 - i] : cases[i];
            const double p = z.Quorb_CalcProb(c.code, c.x, c.df1, c.df2);
            const std::string what = args(c.code, c.x, c.df1, c.df2) + " round " + std::to_string(round);
            expectRel(p, c.expected, 1e-6, what);
            if (round == 0) first.push_back(p);
            else EXPECT_EQ(p, first[round == 1 ? std::size(cases) - 1 - i : i]) << what;
        }
        for (int k = 1; k <= 20000; ++k) z.Quorb_CalcProb("T", k / 1000.0, 1 + k % 7, 0);
    }
}

// ---- Kolmogorov-Smirnov ---------------------------------------------------------

TEST(CZValue, KolmogorovSmirnovTail) {
    // Below 1 the small-z form uses pi^2/8 as 1.233701 (4.5e-7 too large)
    // and sqrt(2 pi) as 2.506628 (1.1e-7 too small, relatively): the
    // subtracted term 1 - Q is off by (4.5e-7 / z^2 + 1.1e-7) of itself.
    // From 1 on the four-term series with decimal sums is good to the 15
    // digits the decimal type keeps.
    const double small[] = {0.27, 0.3, 0.5, 0.8, 0.999};
    CZValue z;
    for (double x : small) {
        const double expected = ksTail(x);
        const double tol = (1.0 - expected) * (4.6e-7 / (x * x) + 1.2e-7) + 1e-15;
        EXPECT_NEAR(z.Quorb_CalcKSProb(x), expected, tol) << x;
    }
    struct Case { double z, tol; };
    const Case large[] = {{1.0, 1e-14}, {1.36, 1e-14}, {2.0, 1e-15}, {3.0999, 1e-20}};
    for (const auto& c : large)
        EXPECT_NEAR(z.Quorb_CalcKSProb(c.z), ksTail(c.z), c.tol) << c.z;
    // published: the 5 % point of the limiting distribution is 1.36
    EXPECT_NEAR(z.Quorb_CalcKSProb(1.36), 0.0495, 5e-5);
    // the cut-offs
    EXPECT_EQ(z.Quorb_CalcKSProb(0.2), 1.0);
    EXPECT_EQ(z.Quorb_CalcKSProb(0.2699999), 1.0);
    EXPECT_EQ(z.Quorb_CalcKSProb(-1.0), 1.0);
    EXPECT_EQ(z.Quorb_CalcKSProb(3.1), 0.0);
    EXPECT_EQ(z.Quorb_CalcKSProb(10.0), 0.0);
    EXPECT_LT(z.Quorb_CalcKSProb(0.27), 1.0);
}

// ---- factorials, binomial, Poisson -------------------------------------------------

TEST(CZValue, BinomialCoefficients) {
    struct Case { int n, k; double expected, rel; };
    // Up to 32! the table is exact to rounding; from 33 on ln Gamma (good to
    // about 2e-10) stands in.
    const Case cases[] = {
        {5, 2, 10, 1e-13},          {10, 0, 1, 1e-13},          {10, 10, 1, 1e-13},
        {1, 1, 1, 1e-13},           {20, 10, 184756, 1e-13},    {32, 16, 601080390, 1e-12},
        {30, 15, 155117520, 1e-12}, {33, 1, 33, 1e-8},          {40, 20, 137846528820.0, 1e-8},
        {52, 5, 2598960, 1e-8},     {100, 50, 100891344545564193334812497256.0, 1e-8},
    };
    CZValue z;
    z.Quorb_FactorialInit();
    for (const auto& c : cases)
        expectRel(z.Quorb_Binomial(c.n, c.k), c.expected, c.rel,
                  "C(" + std::to_string(c.n) + "," + std::to_string(c.k) + ")");
    // k above n: the negative factorial counts as ln 1, so C(3, 5) = 3!/5!
    expectRel(z.Quorb_Binomial(3, 5), 6.0 / 120.0, 1e-13, "C(3,5)");
}

TEST(CZValue, FactorialTableReinitialised) {
    CZValue z;
    z.Quorb_FactorialInit();
    const double before = z.Quorb_Binomial(30, 15);
    z.Quorb_FactorialInit();
    const double small = z.Quorb_Binomial(6, 3); // fills only up to 6!
    const double after = z.Quorb_Binomial(30, 15);
    expectRel(small, 20, 1e-13, "C(6,3)");
    expectRel(before, 155117520, 1e-12, "before");
    expectRel(after, 155117520, 1e-12, "after");
}

TEST(CZValue, BinomialWithoutFactorialTableRaisesSubscriptError) {
    CZValue z;
    try {
        (void)z.Quorb_Binomial(5, 2);
        ADD_FAILURE() << "no error";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.Number(), rterr::SubscriptOutOfRange);
    }
}

TEST(CZValue, PoissonTerms) {
    struct Case { double lambda; int k; double rel; };
    const Case cases[] = {{2, 0, 1e-13},  {2, 1, 1e-13},    {2, 2, 1e-13},  {2, 6, 1e-13},
                          {0.5, 3, 1e-13}, {10, 10, 1e-12}, {3.7, 32, 1e-12}, {3.7, 40, 1e-8},
                          {50, 45, 1e-8}};
    CZValue z;
    z.Quorb_FactorialInit();
    for (const auto& c : cases) {
        const long double lnExpected = -static_cast<long double>(c.lambda) +
                                       c.k * std::log(static_cast<long double>(c.lambda)) - lnFactorial(c.k);
        const double expected = static_cast<double>(std::exp(lnExpected));
        expectRel(z.Quorb_Poisson(c.lambda, std::log(c.lambda), c.k), expected, c.rel,
                  "lambda " + std::to_string(c.lambda) + " k " + std::to_string(c.k));
    }
    EXPECT_EQ(z.Quorb_Poisson(2, std::log(2.0), 0), std::exp(-2.0));
}

// The term-by-term series cancelled terms far larger than its result, so the
// tail 1 − area of a large z lost its digits (at z = 6 it came out several
// times too large, or 0). Expected: the standard normal upper tail as
// tabulated, Q(z) = P(Z > z), the two-sided tail being 2·Q(z).
TEST(CZValue, NormalTailLostItsDigitsToSeriesCancellation) {
    const struct { double z, q; } cases[] = {
        {4.0, 3.167124183311992e-05},
        {5.0, 2.866515718791939e-07},
        {5.5, 1.898956246588772e-08},
        {6.0, 9.865876450376981e-10},
        {6.3, 1.488228221762309e-10},
    };
    CZValue zv;
    for (const auto& c : cases) {
        const double tail = 1.0 - zv.Quorb_CalcProb("Z", c.z, 0, 0);
        EXPECT_NEAR(tail, 2 * c.q, 2 * c.q * 1e-6) << c.z;
    }
}

// ---- inverses far out in the tails ------------------------------------------------------

// The interval for chi-square and F was widened one unit at a time from its
// start: thousands of probabilities for chi-square with many degrees of
// freedom, and for F with few the search gave up with 0 after a million
// steps (seconds). Found now in tens of steps; each value against the
// quantile of an independent tail (closed forms, a positive series), far out
// where the old search failed or took long.
TEST(CZValue, FindValueWidenedItsIntervalOneUnitAtATimeAndGaveUp) {
    struct Case { const char* code; double p, df1, df2; double expected; };
    auto chi = [](double p, int df) { return quantileOf([=](long double x) { return chiTailWhole(x, df); }, p); };
    auto t = [](double p, double df) { return quantileOf([=](long double x) { return tTailFar(x, df); }, p); };
    auto f = [](double p, double d1, double d2) {
        return quantileOf([=](long double x) { return fTailFar(x, d1, d2); }, p);
    };
    const Case cases[] = {
        {"C", 1e-8, 120, 0, chi(1e-8, 120)},
        {"C", 1e-8, 1, 0, chi(1e-8, 1)},
        {"C", 1e-12, 1000, 0, chi(1e-12, 1000)},
        {"C", 0.05, 100000, 0, chi(0.05, 100000)},
        {"C", 1e-6, 9999, 0, chi(1e-6, 9999)},
        {"T", 1e-8, 1, 0, 1.0 / std::tan(kPi / 2 * 1e-8)}, // Cauchy
        {"T", 1e-8, 120, 0, t(1e-8, 120)},
        {"T", 1e-12, 3, 0, t(1e-12, 3)},
        {"F", 1e-8, 1, 1, 1.0 / std::pow(std::tan(kPi / 2 * 1e-8), 2)}, // the square of the Cauchy
        {"F", 1e-8, 2, 2, 1.0 / 1e-8 - 1},                               // (1 + f)^-1
        {"F", 1e-4, 2, 1, 0.5 * (1.0 / (1e-4 * 1e-4) - 1)},            // (1 + 2f)^-1/2
        {"F", 1e-8, 1000, 2, f(1e-8, 1000, 2)},
        {"F", 1e-12, 10, 5, f(1e-12, 10, 5)},
        {"F", 1e-8, 120, 120, f(1e-8, 120, 120)},
    };
    // The gamma routines stop at a relative step of 3e-7 and the beta ones
    // at 1e-10; far out the search takes p to within a millionth: the
    // quantiles come out within 1e-6.
    CZValue z;
    for (const auto& c : cases)
        expectRel(z.Quorb_FindValue(c.code, c.p, c.df1, c.df2, true), c.expected, 1e-6, args(c.code, c.p, c.df1, c.df2));
}

// With p at or below the search's tolerance on the probability (2e-15, or
// 1e-12 when not strict) any point whose tail was near 0 passed: chi-square
// with 2 degrees of freedom at 1e-15 came out 70 instead of 69.08, and a
// wider interval would have passed 120. Far out the probability must now
// come within a millionth of p.
TEST(CZValue, FindValueTookAnyPointWhereTheTailWasWithinToleranceOfATinyP) {
    struct Case { const char* code; double p, df1, df2; bool strict; double expected; };
    const Case cases[] = {
        {"C", 1e-15, 2, 0, true, -2 * std::log(1e-15)}, // e^(-x/2)
        {"C", 1e-13, 2, 0, false, -2 * std::log(1e-13)},
        {"C", 1e-15, 7, 0, true, quantileOf([](long double x) { return chiTailWhole(x, 7); }, 1e-15)},
        {"T", 1e-15, 2, 0, true, std::sqrt(2 / (1e-15 * (2 - 1e-15))) * (1 - 1e-15)}, // 1 - t/sqrt(2 + t^2)
        {"F", 1e-15, 2, 40, true, 20 * std::expm1(std::log(1e-15) / -20)},           // (1 + 2f/40)^-20
        {"F", 1e-13, 2, 40, false, 20 * std::expm1(std::log(1e-13) / -20)},
    };
    CZValue z;
    for (const auto& c : cases)
        expectRel(z.Quorb_FindValue(c.code, c.p, c.df1, c.df2, c.strict), c.expected, 1e-6, args(c.code, c.p, c.df1, c.df2));
}

// Started short of the root (t with half a degree of freedom: the root lies
// far above 3), the interpolation went beyond it to the other side of zero
// and returned a negative critical value (-4113.96 at 0.01).
TEST(CZValue, FindValueInterpolatedBeyondItsIntervalToANegativeValue) {
    const double ps[] = {0.05, 0.01, 1e-4, 1e-8};
    CZValue z;
    for (double p : ps)
        expectRel(z.Quorb_FindValue("T", p, 0.5, 0, true),
                  quantileOf([](long double x) { return tTailFar(x, 0.5); }, p), 1e-6, "t(0.5) p " + std::to_string(p));
}

// Far out with a wide interval (F(1000, 120) at 1e-15: the interval runs to
// 8.33, whose tail is 4e-33), the interpolated point rounded onto the end
// and the search stopped there as if it had converged.
TEST(CZValue, FindValueStoppedOnTheEndOfAWideInterval) {
    struct Case { double p, d1, d2; };
    const Case cases[] = {{1e-15, 1000, 120}, {1e-15, 1000, 1000}, {1e-15, 100000, 120}, {1e-15, 120, 10000}};
    CZValue z;
    for (const auto& c : cases)
        expectRel(z.Quorb_FindValue("F", c.p, c.d1, c.d2, true),
                  quantileOf([&](long double x) { return fTailFar(x, c.d1, c.d2); }, c.p), 1e-6, args("F", c.p, c.d1, c.d2));
}

// Far out in a tail the search took its differences from p in the decimal
// type, which keeps 28 places: below about 1e-24 the values kept a digit or
// none (chi-square(30) at 1e-30 came out 285 instead of 219.6, t(10) at 1e-28
// 1840 instead of 1734, chi-square(1) at 1e-30 not at all), and where two
// such differences multiplied to 0 the search stopped on a point whose tail
// was 0 (chi-square(1) at 1e-300: 2048). Each value against a closed form or
// the quantile of an independent tail; a probability below the smallest
// normal double keeps too few bits to find a value by and gives 0.
TEST(CZValue, FindValueFarOutInATailOrNearZeroLostItsDigitsInTheDecimalSteps) {
    struct Case { const char* code; double p, df1, df2; double expected; };
    auto chi = [](double p, int df) { return quantileOf([=](long double x) { return chiTailWhole(x, df); }, p); };
    auto t = [](double p, double df) { return quantileOf([=](long double x) { return tTailFar(x, df); }, p); };
    const Case cases[] = {
        {"C", 1e-30, 2, 0, -2 * std::log(1e-30)}, // e^(-x/2)
        {"C", 1e-30, 30, 0, chi(1e-30, 30)},
        {"C", 1e-30, 1, 0, chi(1e-30, 1)},
        {"C", 1e-300, 1, 0, chi(1e-300, 1)},
        {"C", 1e-300, 100, 0, chi(1e-300, 100)},
        {"T", 1e-28, 10, 0, t(1e-28, 10)},
        {"T", 1e-100, 1, 0, 1.0 / std::tan(kPi / 2 * 1e-100)}, // Cauchy
        {"F", 1e-100, 2, 2, 1.0 / 1e-100 - 1},                  // (1 + f)^-1
        {"F", 1e-300, 2, 10, 5 * (std::pow(1e-300, -0.2) - 1)}, // (1 + 2f/10)^-5
        {"C", 4.9406564584124654e-324, 1, 0, 0},                // one bit
        {"T", 1e-310, 3, 0, 0},
        // A root far below 1 was searched with an absolute tolerance on x
        // (2e-15) and in decimal steps, which cannot tell such points apart:
        // any point near 0 passed (1.9e-19 for 7.0e-61, 6.4e-18 for
        // 1.2e-20). The regularised lower incomplete gamma to 40 digits.
        {"C", 0.5, 0.01, 0, 7.0166677652356113e-61},
        {"C", 0.9, 0.1, 0, 1.1689264114572977e-20},
        {"C", 0.5, 0.05, 0, 1.0422489235246959e-12},
    };
    CZValue z;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.code << " p " << c.p << " df " << c.df1 << "," << c.df2);
        const double x = z.Quorb_FindValue(c.code, c.p, c.df1, c.df2, true);
        if (c.expected == 0)
            EXPECT_EQ(x, 0.0);
        else
            EXPECT_NEAR(x, c.expected, c.expected * 1e-6);
    }
}

