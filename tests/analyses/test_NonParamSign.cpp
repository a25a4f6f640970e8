// "Sign Test" and "K-S Fit" scenarios. Sign probabilities: binomial sums
// from Pascal's triangle in whole numbers (n <= 25) and the normal tail
// 0.5·erfc(−z/√2) with the 0.5 correction above. Fit differences: the
// textbook D+ = max(S(x) − F(x)), D− = min(S(x⁻) − F(x)) over the distinct
// values, with F from erfc, exp and lgamma; the tail probability from the
// Kolmogorov series 2·Σ(−1)^(j−1)·exp(−2j²z²).
#include "AnalysisFixture.h"
#include "OutputCells.h"

#include "analyses/nonparametric/CNonParamSign.h"
#include "engine/ValueSpool.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

using namespace dao;
using namespace atest;
using namespace cells;

namespace {

double binomialLowerTail(int n, int k) {
    if (n == 0) return 1;
    std::vector<std::vector<long long>> c(n + 1);
    for (int i = 0; i <= n; ++i) {
        c[i].assign(i + 1, 1);
        for (int j = 1; j < i; ++j) c[i][j] = c[i - 1][j - 1] + c[i - 1][j];
    }
    long long s = 0;
    for (int i = 0; i <= k && i <= n; ++i) s += c[n][i];
    return double(s) / double(1LL << n);
}

double signProb(int n, int k) {
    if (n <= 25) return binomialLowerTail(n, k);
    const double z = (k + 0.5 - n / 2.0) / (0.5 * std::sqrt(double(n)));
    return 0.5 * std::erfc(-z / std::sqrt(2.0));
}

double kolmogorovQ(double z) {
    if (z <= 0) return 1;
    double s = 0;
    for (int j = 1; j <= 200; ++j) s += (j % 2 ? 2 : -2) * std::exp(-2.0 * j * j * z * z);
    return std::min(1.0, s);
}

// Every group in memory, and every group of more than two values through the table.
constexpr std::size_t kSpoolLimits[] = {0, 2};

vtest::ScenarioSpec scenario(const std::string& type, bool weighted, std::vector<std::pair<std::string, Variant>> options) {
    vtest::ScenarioSpec s = vtest::ScenarioOn("N", type, "Data", "Out");
    s.options = std::move(options);
    s.fields = {{"X", "X"}};
    if (weighted) s.fields.push_back({"W", "W"});
    return s;
}

class SignFitTest : public CellsTest {
protected:
    std::vector<OutRow> run(const std::vector<Row>& rows, const vtest::ScenarioSpec& s) {
        Replace("Data", {{"X"}, {"W"}}, rows);
        return RunAndRead(s, "Out");
    }
    static std::vector<Row> plain(const std::vector<double>& xs) {
        std::vector<Row> r;
        for (double x : xs) r.push_back({x, 1.0});
        return r;
    }
};

} // namespace

TEST_F(SignFitTest, SignTestAgainstMeanMedianAndCustomValue) {
    const struct {
        std::vector<Row> rows;
        bool weighted;
        double custom;
        // per type Mean, Median, Custom: test value, below, equal, above
        double expect[3][4];
        const char* why;
    } cases[] = {
        {plain({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), false, 3,
         {{5.5, 5, 0, 5}, {5.5, 5, 0, 5}, {3, 2, 1, 7}}, "ten values: median of an even count averages"},
        {plain({1, 2, 3}), false, 2, {{2, 1, 1, 1}, {2, 1, 1, 1}, {2, 1, 1, 1}}, "odd count: middle value"},
        {plain({1, 2, 3, 4}), true, 0, {{2.5, 2, 0, 2}, {2, 1, 1, 2}, {0, 0, 0, 4}},
         "weighted median: first value whose running weight reaches half"},
        {{{1.0, 0.5}, {2.0, 0.5}, {3.0, 0.5}, {9.0, 1.0}}, true, 5, {{4.8, 2, 0, 1}, {3, 1, 0, 1}, {5, 2, 0, 1}},
         "SignCountersRoundOnce: 0.5 + 0.5 + 0.5 = 1.5 counts 2, one 0.5 counts 0 (mean 12 / 2.5; median where 1.5 >= 1.25)"},
    };
    for (std::size_t limit : kSpoolLimits)
    for (const auto& c : cases) {
        // SignTestOfAGroupBeyondMemoryReadsItBackInOrder: the same with the values in the work table.
        SpoolLimit spool(limit);
        auto out = run(c.rows, scenario("Sign Test", c.weighted,
                                    {{"SignMean", true}, {"SignMedian", true}, {"SignCustom", true},
                                     {"SignValue", std::int16_t(c.custom)}}));
        ASSERT_EQ(out.size(), 3u) << c.why;
        const char* names[] = {"Mean", "Median", "Custom"};
        for (int t = 0; t < 3; ++t) {
            const auto& r = out[static_cast<std::size_t>(t)];
            const auto& e = c.expect[t];
            const std::string what = std::string(c.why) + " / " + names[t];
            EXPECT_EQ(r["TestType"].ToString(), names[t]) << what;
            ExpectCells(r, {{"Count<Test", e[1]}, {"Count=Test", e[2]}, {"Count>Test", e[3]}}, what);
            const int n = int(e[1] + e[3]);
            ExpectCells(r, {{"TestValue", e[0]}, {"Prob<=Test", signProb(n, int(e[1]))}, {"Prob>=Test", signProb(n, int(e[3]))}},
                        what, Match::Ulps);
        }
    }
}

TEST_F(SignFitTest, TheMeanOfValuesNear1e15KeepsTheirSpreadAndSplitsThemInHalves) {
    // 1e15 + 0, 1, ..., 9 repeated: the mean is 1e15 + 4.5 (a double holds
    // it), half the values lie below it and half above.
    const struct {
        int repeats;
        const char* why;
    } cases[] = {
        {2, "20 values: exact binomial probabilities"},
        {100, "1000 values: normal probabilities"},
    };
    for (const auto& c : cases) {
        std::vector<double> xs;
        for (int r = 0; r < c.repeats; ++r)
            for (int d = 0; d < 10; ++d) xs.push_back(1e15 + d);
        auto out = run(plain(xs), scenario("Sign Test", false, {{"SignMean", true}, {"SignMedian", false}}));
        ASSERT_EQ(out.size(), 1u) << c.why;
        const double half = 5.0 * c.repeats;
        ExpectCells(out[0], {{"TestValue", 1e15 + 4.5}, {"Count<Test", half}, {"Count=Test", 0}, {"Count>Test", half}},
                    c.why);
        ExpectCells(out[0], {{"Prob<=Test", signProb(10 * c.repeats, 5 * c.repeats)}, {"Prob>=Test", signProb(10 * c.repeats, 5 * c.repeats)}}, c.why,
                    Match::Ulps);
    }
}

TEST_F(SignFitTest, SignProbabilityExactUpTo25ThenNormal) {
    const struct {
        int below, above;
        double expected; // independently: the published value where there is one
        const char* why;
    } cases[] = {
        {2, 8, 56.0 / 1024, "n = 10, k = 2: (1 + 10 + 45) / 1024"},
        {8, 17, binomialLowerTail(25, 8), "n = 25 still exact"},
        {8, 18, 0.5 * std::erfc(4.5 / (0.5 * std::sqrt(26.0)) / std::sqrt(2.0)), "n = 26: z = -4.5 / (0.5·√26)"},
        {0, 0, 1.0, "every value on the test value: n = 0"},
    };
    for (const auto& c : cases) {
        std::vector<double> xs(static_cast<std::size_t>(c.below), 1.0); // below, above, and two on the test value
        xs.insert(xs.end(), static_cast<std::size_t>(c.above), 100.0);
        xs.insert(xs.end(), 2, 50.0);
        auto out = run(plain(xs), scenario("Sign Test", false, {{"SignMean", false}, {"SignCustom", true},
                                                            {"SignValue", std::int16_t(50)}}));
        ASSERT_EQ(out.size(), 1u) << c.why;
        EXPECT_NEAR(out[0].Num("Prob<=Test"), c.expected, 1e-12) << c.why;
    }
}

TEST_F(SignFitTest, GroupsWithWeightOneOrLessGetNoRowAndMissingCountsUnusedRecords) {
    auto out = run({{5.0, 1.0}, {Variant::Null(), 1.0}, {7.0, 0.0}, {8.0, Variant::Null()}, {9.0, 1.0}},
                   scenario("Sign Test", true, {{"SignMean", true}}));
    ASSERT_EQ(out.size(), 1u);
    ExpectCells(out[0], {{"Count", 2}, {"Observations", 2}, {"Missing", 3}});
    out = run({{5.0, 1.0}, {6.0, 0.0}}, scenario("Sign Test", true, {{"SignMean", true}, {"SignCustom", true}}));
    EXPECT_TRUE(out.empty());
}

TEST_F(SignFitTest, KolmogorovSmirnovFitToUniformNormalAndPoisson) {
    const struct {
        std::vector<double> xs;
        const char* why;
    } cases[] = {
        {{1, 2, 3, 4}, "four evenly spread values"},
        {{0, 1, 1, 2, 2, 2, 3, 5}, "counts with ties"},
        {{2, 3, 3, 7, 11, 12, 12, 12, 20}, "skewed counts"},
    };
    for (std::size_t limit : kSpoolLimits)
    for (const auto& c : cases) {
        // FitOfAGroupBeyondMemoryReadsItBackInOrder: the same with the values in the work table.
        SpoolLimit spool(limit);
        auto out = run(plain(c.xs), scenario("K-S Fit", false, {{"FitUniform", true}, {"FitNormal", true}, {"FitPoisson", true}}));
        ASSERT_EQ(out.size(), 3u) << c.why;
        const double n = double(c.xs.size());
        double sum = 0;
        for (double x : c.xs) sum += x;
        const double mean = sum / n;
        double ss = 0;
        for (double x : c.xs) ss += (x - mean) * (x - mean);
        const double sd = std::sqrt(ss / (n - 1)), mn = c.xs.front(), mx = c.xs.back();
        std::map<double, double> cum; // value -> share up to it
        for (std::size_t i = 0; i < c.xs.size(); ++i) cum[c.xs[i]] = double(i + 1) / n;
        auto poissonCdf = [&](double p) {
            double F = 0;
            for (int i = 0; i <= int(p); ++i) F += std::exp(i * std::log(mean) - mean - std::lgamma(i + 1.0));
            return F;
        };
        std::function<double(double)> F[3] = {[&](double p) { return (p - mn) / (mx - mn); },
                                              [&](double p) { return 0.5 * std::erfc(-(p - mean) / sd / std::sqrt(2.0)); },
                                              poissonCdf};
        for (int t = 0; t < 3; ++t) {
            double pos = 0, neg = 0, before = 0;
            for (const auto& [p, s] : cum) {
                const double f = F[t](p);
                if (t < 2) neg = std::min(neg, before - f); // continuous: also the share below p
                pos = std::max(pos, s - f);
                neg = std::min(neg, s - f);
                before = s;
            }
            const auto& r = out[static_cast<std::size_t>(t)];
            const std::string what = std::string(c.why) + " / " + r["TestType"].ToString();
            ExpectCellsNear(r, {{"Mean", mean}, {"StdDeviation", sd}}, 1e-12, what);
            EXPECT_EQ(r.Num("Range"), mx - mn) << what;
            const double d = std::max(pos, -neg);
            ExpectCellsNear(r, {{"Max_Positive", pos}, {"Max_Negative", neg}, {"Max_Absolute", d}, {"K-S_Z", std::sqrt(n) * d}},
                            1e-9, what);
            EXPECT_NEAR(r.Num("Prob"), kolmogorovQ(std::sqrt(n) * d), 2e-5) << what;
        }
    }
}

TEST_F(SignFitTest, FitOfConstantOrUnsuitableValuesLeavesTheTestEmpty) {
    // Constant values: uniform differences 0 and probability 1; no normal curve; mean 0 has no Poisson.
    auto out = run(plain({0, 0, 0}), scenario("K-S Fit", false, {{"FitUniform", true}, {"FitNormal", true}, {"FitPoisson", true}}));
    ASSERT_EQ(out.size(), 3u);
    ExpectCells(out[0], {{"Max_Absolute", 0}, {"Prob", 1}});
    EXPECT_TRUE(out[1].IsNull("K-S_Z"));
    EXPECT_TRUE(out[2].IsNull("K-S_Z"));
    // A fractional value rules out the Poisson fit; weights 1, 1 on 1 and 3: sd √2.
    out = run({{1.0, 1.0}, {3.0, 1.0}, {2.5, 0.0}}, scenario("K-S Fit", true, {{"FitUniform", false}, {"FitPoisson", true}}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_NEAR(out[0].Num("StdDeviation"), std::sqrt(2.0), 1e-15);
    EXPECT_FALSE(out[0].IsNull("K-S_Z")); // 2.5 has weight 0: not a value of the group
    out = run(plain({1, 2.5, 3}), scenario("K-S Fit", false, {{"FitUniform", false}, {"FitPoisson", true}}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_TRUE(out[0].IsNull("K-S_Z"));
    EXPECT_DOUBLE_EQ(out[0].Num("Mean"), 6.5 / 3);
}

TEST_F(SignFitTest, PoissonFitLeftBlankSaysWhyInTheStatusText) {
    const struct {
        std::vector<Row> rows; // G, X
        std::vector<std::string> expected;
        const char* why;
    } cases[] = {
        {{{"a", 1.0}, {"a", 2.5}, {"a", 3.0}, {"b", 1.0}, {"b", 2.0}},
         {"No Poisson fit for [X] in group a: its values are not all whole numbers of 0 or more"},
         "a fraction in one group; the other group is fitted"},
        {{{"a", -1.0}, {"a", 2.0}, {"b", 0.0}, {"b", 0.0}},
         {"No Poisson fit for [X] in group a: its values are not all whole numbers of 0 or more",
          "No Poisson fit for [X] in group b: the mean of its values is 0"},
         "a negative value; all zeros"},
        {{{"a", 1.0}, {"a", 4.0}}, {}, "whole numbers: nothing to explain"},
    };
    for (const auto& c : cases) {
        Replace("Data", {{"G", dbText, 5}, {"X"}}, c.rows);
        auto spec = scenario("K-S Fit", false, {{"FitUniform", false}, {"FitPoisson", true}});
        spec.fields = {{"G", "G"}, {"X", "X"}};
        StatusLog events;
        std::string err;
        ASSERT_TRUE(Run(Store(spec), &err, &events)) << c.why << ": " << err;
        std::vector<std::string> got;
        for (const auto& t : events.texts)
            if (t.rfind("No Poisson fit", 0) == 0) got.push_back(t);
        EXPECT_EQ(got, c.expected) << c.why;
        // The rows explained are the rows left blank.
        std::size_t blank = 0;
        for (const auto& r : ReadTable("Out")) blank += r.IsNull("K-S_Z") ? 1 : 0;
        EXPECT_EQ(blank, c.expected.size()) << c.why;
    }
}

TEST_F(SignFitTest, LargeOffsetLeavesTheFitUnchanged) {
    // Shifting every value by 10^9 moves the mean and the extremes only; the
    // differences, Z and probabilities of the uniform and normal fits stay.
    const vtest::ScenarioSpec s = scenario("K-S Fit", false, {{"FitUniform", true}, {"FitNormal", true}, {"FitPoisson", false}});
    auto base = run(plain({1, 2, 2, 3, 7, 8}), s);
    auto shifted = run(plain({1e9 + 1, 1e9 + 2, 1e9 + 2, 1e9 + 3, 1e9 + 7, 1e9 + 8}), s);
    ASSERT_EQ(base.size(), 2u);
    ASSERT_EQ(shifted.size(), 2u);
    for (std::size_t t = 0; t < 2; ++t) {
        EXPECT_DOUBLE_EQ(shifted[t].Num("Mean"), base[t].Num("Mean") + 1e9);
        for (const char* col : {"StdDeviation", "Range", "Max_Positive", "Max_Negative", "K-S_Z", "Prob"})
            EXPECT_NEAR(shifted[t].Num(col), base[t].Num(col), 1e-12) << col;
    }
}

TEST_F(SignFitTest, TheNormalFitOfValuesNear1eMinus300HasTheirSpread) {
    // Multiplying every value by 10^-300 multiplies the mean, standard
    // deviation and extremes by it and leaves the differences, Z and
    // probabilities of the fits; the squares of the deviations are below a
    // double's range, which left a standard deviation of 0 and no normal fit.
    const vtest::ScenarioSpec s = scenario("K-S Fit", false, {{"FitUniform", true}, {"FitNormal", true}, {"FitPoisson", false}});
    auto base = run(plain({1, 2, 2, 3, 7, 8}), s);
    auto tiny = run(plain({1e-300, 2e-300, 2e-300, 3e-300, 7e-300, 8e-300}), s);
    ASSERT_EQ(base.size(), 2u);
    ASSERT_EQ(tiny.size(), 2u);
    for (std::size_t t = 0; t < 2; ++t) {
        EXPECT_TRUE(AgreesTo(base[t].Num("StdDeviation") * 1e-300, tiny[t].Num("StdDeviation"), 14));
        for (const char* col : {"Max_Positive", "Max_Negative", "K-S_Z", "Prob"})
            EXPECT_NEAR(tiny[t].Num(col), base[t].Num(col), 1e-12) << t << " " << col;
    }
}

// The fit's tail probability by its ranges: 1 up to 0.27 (included), then
// 1 − (2.506628 / z)·(v + v^9 + v^25) with v = exp(−1.233701 / z²) up to 1
// (included), then 2·(q − q^4 + q^9 − q^16) with q = exp(−2z²) up to 3.1
// (included), then 0. Expected values from the series in long double.
TEST_F(SignFitTest, FitProbabilityFollowsItsSeriesAtAndAroundTheEdges) {
    auto low = [](long double z) {
        const long double v = std::exp(-1.233701L / (z * z));
        return 1 - (2.506628L / z) * (v + std::pow(v, 9) + std::pow(v, 25));
    };
    auto high = [](long double z) {
        const long double q = std::exp(-2 * z * z);
        return 2 * (q - std::pow(q, 4) + std::pow(q, 9) - std::pow(q, 16));
    };
    const double below027 = std::nextafter(0.27, 0.0), above027 = std::nextafter(0.27, 1.0);
    const double above1 = std::nextafter(1.0, 2.0), above31 = std::nextafter(3.1, 4.0);
    const struct {
        double z;
        long double expected;
        const char* why;
    } cases[] = {
        {0, 1, "no difference"},
        {below027, 1, "just below 0.27"},
        {0.27, 1, "0.27 itself is still 1"},
        {above027, low(above027), "just above 0.27: the series of the lower range"},
        {0.5, low(0.5), "about 0.963945"},
        {1, low(1), "1 itself belongs to the lower range"},
        {above1, high(above1), "just above 1: the series of the upper range"},
        {1.36, high(1.36), "about 0.049486"},
        {2, high(2), "about 0.000671"},
        {3.1, high(3.1), "3.1 itself belongs to the upper range"},
        {above31, 0, "above 3.1"},
        {5, 0, "far above"},
    };
    for (const auto& c : cases) {
        const double got = CNonParamSign::FitProb(c.z);
        EXPECT_NEAR(got, static_cast<double>(c.expected), 1e-15 + 1e-12 * std::fabs(static_cast<double>(c.expected)))
            << c.why << " (z = " << c.z << ")";
    }
    // Both series near 1 give about 0.27 from either side.
    EXPECT_NEAR(CNonParamSign::FitProb(1), 0.27, 0.0005);
    EXPECT_NEAR(CNonParamSign::FitProb(above1), 0.27, 0.0005);
    EXPECT_GT(CNonParamSign::FitProb(3.1), 0.0);
}

TEST_F(SignFitTest, TheFitOfHugeWeightsKeepsTheSpread) {
    // Values 1, 2, 3, 5 with weights 1, 2, 1, 3 times c: for c near 1e200
    // the sample deviation √(M2/(W − 1)) is the population one, by hand
    // (d = 7x − 23) √(854/7³), the mean 23/7. The sum of the weighted
    // deviations' rounding was squared (beyond a double), the deviation came
    // out 0 and the normal fit was left without its statistics.
    const vtest::ScenarioSpec s = scenario("K-S Fit", true, {{"FitUniform", false}, {"FitNormal", true}, {"FitPoisson", false}});
    for (const double c : {1e200, 1e300}) {
        SCOPED_TRACE(c);
        auto out = run({{1.0, c}, {2.0, 2 * c}, {3.0, c}, {5.0, 3 * c}}, s);
        ASSERT_EQ(out.size(), 1u);
        EXPECT_TRUE(AgreesTo(23.0 / 7, out[0].Num("Mean"), 14));
        EXPECT_TRUE(AgreesTo(std::sqrt(854.0 / 343), out[0].Num("StdDeviation"), 13));
        EXPECT_FALSE(out[0].IsNull("Max_Absolute"));
        EXPECT_FALSE(out[0].IsNull("K-S_Z"));
    }
}

TEST_F(SignFitTest, TheMeanAndMedianOfValuesSpanningBeyondADoubleAreTheirs) {
    // -1.5e308, 1e308, 1.6e308, 1.7e308: by hand the mean is 2.8e308/4 =
    // 7e307 (one value below it, three above) and the median
    // (1e308 + 1.6e308)/2 = 1.3e308 (two below, two above). The deviations
    // from the first value (up to 3.2e308) and the sum of the middle two lie
    // beyond a double: the run failed ("Numeric field overflow.").
    auto out = run(plain({-1.5e308, 1e308, 1.6e308, 1.7e308}),
                   scenario("Sign Test", false, {{"SignMean", true}, {"SignMedian", true}}));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0]["TestType"].ToString(), "Mean");
    EXPECT_TRUE(AgreesTo(7e307, out[0].Num("TestValue"), 14));
    ExpectCells(out[0], {{"Count<Test", 1}, {"Count=Test", 0}, {"Count>Test", 3}}, "mean");
    EXPECT_EQ(out[1]["TestType"].ToString(), "Median");
    EXPECT_TRUE(AgreesTo(1.3e308, out[1].Num("TestValue"), 15));
    ExpectCells(out[1], {{"Count<Test", 2}, {"Count=Test", 0}, {"Count>Test", 2}}, "median");
}

TEST_F(SignFitTest, TheFitOfValuesSpanningBeyondADoubleIsMadeAndItsRangeLeftNull) {
    // -1.5e308, 1e308, 1.6e308, 1.7e308: their range 3.2e308 lies beyond a
    // double (left Null), their mean 7e307 and deviation do not; the fit
    // compares the shares 1/4 .. 1 with F(p). By hand, uniform: F = 0,
    // 25/32, 31/32, 1, so D+ = 1/4 (at the first value) and D- = 1/4 − 25/32
    // = −17/32 (just below 1e308). The run failed ("Numeric field overflow.").
    const long double xs[] = {-1.5e308L, 1e308L, 1.6e308L, 1.7e308L};
    long double mean = 0, ss = 0;
    for (long double x : xs) mean += x / 4;
    for (long double x : xs) ss += (x - mean) * (x - mean);
    const long double sd = std::sqrt(ss / 3);
    std::vector<double> values;
    for (long double x : xs) values.push_back(static_cast<double>(x));
    auto out = run(plain(values), scenario("K-S Fit", false, {{"FitUniform", true}, {"FitNormal", true}, {"FitPoisson", false}}));
    ASSERT_EQ(out.size(), 2u);
    for (const auto& r : out) {
        EXPECT_TRUE(AgreesTo(static_cast<double>(mean), r.Num("Mean"), 14));
        EXPECT_TRUE(AgreesTo(static_cast<double>(sd), r.Num("StdDeviation"), 13));
        EXPECT_TRUE(r.IsNull("Range"));
    }
    ExpectCellsNear(out[0], {{"Max_Positive", 0.25}, {"Max_Negative", -17.0 / 32}, {"Max_Absolute", 17.0 / 32},
                             {"K-S_Z", 2 * 17.0 / 32}}, 1e-14, "uniform");
    // Normal: F = Φ((p − mean)/sd), worked out in long double.
    double pos = 0, neg = 0, before = 0;
    for (int i = 0; i < 4; ++i) {
        const double f = static_cast<double>(0.5L * std::erfc(-(xs[i] - mean) / sd / std::sqrt(2.0L)));
        const double s = (i + 1) / 4.0;
        neg = std::min({neg, before - f, s - f});
        pos = std::max(pos, s - f);
        before = s;
    }
    ExpectCellsNear(out[1], {{"Max_Positive", pos}, {"Max_Negative", neg}, {"K-S_Z", 2 * std::max(pos, -neg)}}, 1e-12,
                    "normal");
}
