// The shared moments accumulator against statistics derived exactly from
// integer-scaled data.
#include "Exact.h"
#include "engine/Moments.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <string>
#include <vector>

using namespace atest;

namespace {

// Agreement to `digits` significant digits; a value expected to be 0 (the
// skewness of symmetric data) is held to the same digits of 1.
::testing::AssertionResult Agrees(long double expected, double actual, int digits, bool zeroScaleOne = false) {
    long double scale = std::fabs(expected);
    if (zeroScaleOne && scale < 1) scale = 1;
    long double tol = std::pow(10.0L, -digits) * scale;
    if (std::fabs(expected - static_cast<long double>(actual)) <= tol) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::setprecision(18) << "expected " << expected << ", got " << actual
                                         << " (" << digits << " digits)";
}

struct DataSet {
    std::string name;
    std::vector<long long> N; // values N / 10^scale
    int scale;
    std::vector<long long> w; // empty: unweighted
    int meanDigits, spreadDigits, shapeDigits;
};

// Test names and failure messages show the data set by its name.
void PrintTo(const DataSet& d, std::ostream* os) { *os << d.name; }

std::vector<long long> arithmetic(long long first, long long step, int count) {
    std::vector<long long> v;
    for (int i = 0; i < count; ++i) v.push_back(first + step * i);
    return v;
}

// Squares of 0 .. count-1 (skewed) added to a large base.
std::vector<long long> skewed(long long base, int count) {
    std::vector<long long> v;
    for (long long i = 0; i < count; ++i) v.push_back(base + i * i);
    return v;
}

std::vector<DataSet> dataSets() {
    std::vector<DataSet> sets;
    // 1000000.1, 1000000.2, ..., 1000100.1: the data on which raw power sums
    // lose the standard deviation entirely.
    sets.push_back({"MillionPointOneSteps", arithmetic(10000001, 1, 1001), 1, {}, 12, 12, 9});
    // Mean 10^8 times the spread: 100000000.001 + k/1000.
    sets.push_back({"MeanHundredMillionTimesSpread", arithmetic(100000000001LL, 1, 1001), 3, {}, 12, 10, 7});
    // Skewed data far from 0: 12345678.9 + k²/10.
    sets.push_back({"SkewedLargeOffset", skewed(123456789, 300), 1, {}, 12, 11, 8});
    // The first value lies far out: the provisional mean is no guide.
    {
        std::vector<long long> v = arithmetic(1000000, 1, 400);
        v.insert(v.begin(), 0);
        sets.push_back({"FirstValueFarOut", v, 0, {}, 12, 11, 8});
    }
    // Integer weights on a skewed set.
    sets.push_back({"Weighted", {10000001, 10000002, 10000003, 10000007, 10000020}, 1, {3, 1, 4, 1, 5}, 12, 12, 9});
    // Negative values and a mean near zero.
    sets.push_back({"AroundZero", {-35, -12, 0, 4, 4, 9, 31, 75}, 2, {}, 12, 12, 10});
    return sets;
}

} // namespace

class MomentsTest : public ::testing::TestWithParam<DataSet> {};

TEST_P(MomentsTest, AgreesWithExactArithmetic) {
    const DataSet& d = GetParam();
    ExactStats e = Exact(d.N, d.scale, d.w);
    ASSERT_TRUE(e.exact);
    Moments m;
    const double s = static_cast<double>(Pow10(d.scale));
    for (std::size_t i = 0; i < d.N.size(); ++i)
        m.Add(static_cast<double>(d.N[i]) / s, d.w.empty() ? 1.0 : static_cast<double>(d.w[i]));

    EXPECT_EQ(m.Count(), static_cast<int>(d.N.size()));
    EXPECT_EQ(m.SumW(), static_cast<double>(e.W));
    EXPECT_TRUE(Agrees(e.mean, m.Mean(), d.meanDigits));
    EXPECT_TRUE(Agrees(e.sum, m.Sum(), 12));
    EXPECT_TRUE(Agrees(e.sumSquares, m.SumSquares(), 12));
    EXPECT_TRUE(Agrees(e.m2, m.M2(), d.spreadDigits));
    EXPECT_TRUE(Agrees(e.varN1, m.Variance("N-1"), d.spreadDigits));
    EXPECT_TRUE(Agrees(e.varN, m.Variance("N"), d.spreadDigits));
    EXPECT_TRUE(Agrees(std::sqrt(e.varN1), m.StdDev("N-1"), d.spreadDigits));
    ASSERT_TRUE(m.Skewness().has_value());
    ASSERT_TRUE(m.Kurtosis().has_value());
    EXPECT_TRUE(Agrees(e.skewness, *m.Skewness(), d.shapeDigits, true));
    EXPECT_TRUE(Agrees(e.kurtosis, *m.Kurtosis(), d.shapeDigits, true));
    EXPECT_EQ(m.Min(), static_cast<double>(e.min));
    EXPECT_EQ(m.Max(), static_cast<double>(e.max));
}

INSTANTIATE_TEST_SUITE_P(DataSets, MomentsTest, ::testing::ValuesIn(dataSets()),
                         [](const ::testing::TestParamInfo<DataSet>& i) { return i.param.name; });

TEST(Moments, IntegerWeightsEqualRepeatedValues) {
    const std::vector<double> x = {1000000.25, 1000000.5, 1000001.75, 1000003.0};
    const std::vector<int> w = {2, 5, 1, 3};
    Moments weighted, repeated;
    for (std::size_t i = 0; i < x.size(); ++i) {
        weighted.Add(x[i], w[i]);
        for (int k = 0; k < w[i]; ++k) repeated.Add(x[i]);
    }
    EXPECT_EQ(weighted.SumW(), repeated.SumW());
    EXPECT_DOUBLE_EQ(weighted.Mean(), repeated.Mean());
    EXPECT_NEAR(weighted.Variance("N-1"), repeated.Variance("N-1"), 1e-12 * repeated.Variance("N-1"));
    EXPECT_NEAR(*weighted.Skewness(), *repeated.Skewness(), 1e-10);
    EXPECT_NEAR(*weighted.Kurtosis(), *repeated.Kurtosis(), 1e-10);
}

TEST(Moments, GuardsOnWeightAndVariance) {
    struct Case {
        const char* name;
        std::vector<double> x;
        std::vector<double> w;
        double varN1, varN;
        bool skew, kurt;
    };
    const Case cases[] = {
        {"empty", {}, {}, 0, 0, false, false},
        {"one value", {7.5}, {1}, 0, 0, false, false},
        {"two values", {1, 3}, {1, 1}, 2, 1, false, false},
        {"three values", {1, 2, 6}, {1, 1, 1}, 7, 14.0 / 3, true, false},
        {"constant", {4, 4, 4, 4, 4}, {1, 1, 1, 1, 1}, 0, 0, false, false},
        // Four values of weight 0.5: W = 2, so no skewness.
        {"half weights", {1, 2, 3, 4}, {0.5, 0.5, 0.5, 0.5}, 2.5, 1.25, false, false},
        // Weights of 0 and below add nothing.
        {"zero weights", {1, 100, 2, -50, 3}, {1, 0, 1, -2, 1}, 1, 2.0 / 3, true, false},
    };
    for (const auto& c : cases) {
        Moments m;
        for (std::size_t i = 0; i < c.x.size(); ++i) m.Add(c.x[i], c.w[i]);
        EXPECT_DOUBLE_EQ(m.Variance("N-1"), c.varN1) << c.name;
        EXPECT_DOUBLE_EQ(m.Variance("N"), c.varN) << c.name;
        EXPECT_EQ(m.Skewness().has_value(), c.skew) << c.name;
        EXPECT_EQ(m.Kurtosis().has_value(), c.kurt) << c.name;
    }
}

TEST(Moments, DecimalDifferenceTakesTheValuesAsTyped) {
    struct Case {
        double x, k, expected;
    };
    const Case cases[] = {
        {1000000.3, 1000000.1, 0.2},              // the decimal difference, not the binary one
        {100000000.001, 100000000.0, 0.001},
        {12345.678, 12345.6789, -0.0009},
        {0.3, 0.1, 0.2},
        {-2.5, 1.25, -3.75},
        {99.9, 100.1, -0.2},                       // different decades
        {1e-20, 3e-20, 1e-20 - 3e-20},             // beyond the decimal places: the doubles' difference
        {1e30, 1e29, 1e30 - 1e29},                 // beyond the decimal range
        {1e15 + 0.125, 1e15, 0.125},               // needs more than 15 digits: the binary values count
        {5.0, 0.0, 5.0},
    };
    for (const auto& c : cases) EXPECT_EQ(Moments::DecimalDifference(c.x, c.k), c.expected) << c.x << " - " << c.k;
}
