// "Describe" scenarios run through the engine on real database files, their
// output rows checked against values derived independently: exact integer
// arithmetic (Exact.h), published critical values and closed forms.
#include "AnalysisFixture.h"
#include "Exact.h"
#include "OutputCells.h"
#include "engine/SortStage.h"
#include "support/UserLocale.h"
#include "support/TempDir.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numeric>

using namespace dao;
using namespace atest;
using cells::ExpectAgrees;
using cells::ExpectCells;
using cells::ExpectCellsNear;

namespace {

using Options = std::vector<std::pair<std::string, Variant>>;

vtest::ScenarioSpec describeSpec(const Options& options, const std::vector<vtest::ScenarioFieldRow>& fields,
                                 const std::string& table = "Data", const std::string& out = "Out") {
    vtest::ScenarioSpec s = vtest::ScenarioOn("P", "Describe", table, out);
    s.options = options;
    s.fields = fields;
    return s;
}

// Only the statistics a test asks for: every switch of the options row off.
Options allOff() {
    return {{"Range", false}, {"VarStd", false}, {"Sum", false},        {"Mean", false},  {"Skew", false},
            {"Mode", false},  {"CI", false},     {"Percentile", false}, {"FreqN", false}, {"FreqP", false},
            {"TTestMean", false}};
}

Options with(Options base, const Options& more) {
    for (const auto& [k, v] : more) {
        bool found = false;
        for (auto& [bk, bv] : base)
            if (bk == k) {
                bv = v;
                found = true;
            }
        if (!found) base.emplace_back(k, v);
    }
    return base;
}
Options only(const Options& on) { return with(allOff(), on); }

// Frequency counts in `intervals` intervals of `width` from `init`.
Options specifiedIntervals(std::int16_t intervals, double init, const Variant& width, const Options& more = {}) {
    return with(only({{"FreqN", true}, {"InterV", intervals}, {"FreqGroupRadio", "Specified"}, {"FreqInit", init},
                      {"FreqWidth", width}}),
                more);
}

// Two-tailed probability of Student's t with 7 degrees of freedom, in closed
// form (odd degrees of freedom: Abramowitz and Stegun 26.7.3).
long double studentTwoTailed7(long double t) {
    long double th = std::atan(std::fabs(t) / std::sqrt(7.0L));
    long double c = std::cos(th), s = std::sin(th);
    long double A = 2 / 3.14159265358979323846264338327950288L *
                    (th + s * c * (1 + 2.0L / 3 * c * c + 8.0L / 15 * c * c * c * c));
    return 1 - A;
}

// Published critical values.
constexpr double kT975_7 = 2.364624252; // t(0.975; 7)
constexpr double kT95_7 = 1.894578605;  // t(0.95; 7)
constexpr double kZ975 = 1.959963984540054;   // z(0.975)

std::vector<Row> valuesAsRows(const std::vector<long long>& N, int scale) {
    std::vector<Row> rows;
    for (long long n : N) rows.push_back({Variant(static_cast<double>(n) / static_cast<double>(Pow10(scale)))});
    return rows;
}

class DescribeTest : public cells::CellsTest {
protected:
    // Describe of `fields` with the options given, into `out`.
    std::vector<OutRow> describe(const Options& o, const std::vector<vtest::ScenarioFieldRow>& fields,
                                 const std::string& out = "Out", const std::string& table = "Data") {
        return RunAndRead(describeSpec(o, fields, table, out));
    }
};

// A group column holds the value given (text in any letter case), or Null.
void expectGroupValue(const OutRow& r, const char* column, const Variant& v, std::size_t i) {
    EXPECT_EQ(r.IsNull(column), v.IsNull()) << i << " " << column;
    if (v.IsString()) {
        EXPECT_TRUE(NamesEqual(r[column].ToString(), v.ToString())) << i;
    } else if (!v.IsNull()) {
        EXPECT_EQ(r.Num(column), v.ToDouble()) << i;
    }
}

} // namespace

TEST_F(DescribeTest, EveryStatisticOfOneGroupAgreesWithExactValues) {
    const std::vector<long long> N = {25, 31, 47, 47, 60, 84, 99, 123}; // 2.5 .. 12.3
    const std::vector<long long> shuffled = {60, 25, 123, 47, 31, 99, 47, 84};
    MakeTable("Data", {{"X", dbDouble}}, valuesAsRows(shuffled, 1));
    Options o = only({{"Range", true}, {"VarStd", true}, {"VarNRadio", "N-1"}, {"Sum", true}, {"Mean", true},
                      {"Skew", true}, {"Mode", true}, {"Percentile", true}, {"PercentileRadio", "Quartiles"},
                      {"CI", true}, {"CITypeRadio", "t-Test"}, {"CI95", true}, {"CIUser", std::int16_t(90)},
                      {"TTestMean", true}, {"TTestValue", 5.0}});
    auto rows = describe(o, {{"X", "X"}});
    ASSERT_EQ(rows.size(), 1u);
    const OutRow& r = rows[0];

    const std::vector<std::string> columns = {
        "DataField",     "Count",         "Missing",       "Mean",         "Minimum",       "Maximum",
        "Range",         "Variance",      "CoeffOfVariance", "StdDeviation", "StdError",      "Sum",
        "SumSquared",    "AdjSumSquared", "GeometricMean", "HarmonicMean", "RMS",           "Skewness",
        "SE_Skewness",   "Kurtosis",      "SE_Kurtosis",   "Mode",         "ModeCount",     "95%_t_Band",
        "95%_Lower",     "95%_Upper",     "90%_t_Band",    "90%_Lower",    "90%_Upper",     "Population_Mean",
        "t-Value",       "Prob_(1-Tail)", "Prob_(2-Tail)", "25_Percentile", "50_Percentile", "75_Percentile",
        "Quartile_Range"};
    EXPECT_EQ(ColumnNames("Out"), columns);

    ExactStats e = Exact(N, 1);
    const long double n = 8, sd = std::sqrt(e.varN1);
    long double lnSum = 0, invSum = 0;
    for (long long v : N) {
        lnSum += std::log(v / 10.0L);
        invSum += 10.0L / v;
    }
    const long double t = (e.mean - 5) * std::sqrt(n) / sd;
    const long double p = studentTwoTailed7(t);
    const long double seSkew = std::sqrt(6 * n * (n - 1) / ((n - 2) * (n + 1) * (n + 3)));
    const long double q1 = ExactPercentile(N, 1, 1, 4), q3 = ExactPercentile(N, 1, 3, 4);

    EXPECT_EQ(r["DataField"].ToString(), "X");
    ExpectAgrees(r, {
        {"Count", 8, 15}, {"Missing", 0, 15}, {"Mean", e.mean, 14}, {"Minimum", 2.5, 15}, {"Maximum", 12.3, 15},
        {"Range", 9.8, 14}, {"Variance", e.varN1, 13}, {"CoeffOfVariance", sd / e.mean, 13},
        {"StdDeviation", sd, 13}, {"StdError", sd / std::sqrt(n), 13}, {"Sum", e.sum, 14},
        {"SumSquared", e.sumSquares, 14}, {"AdjSumSquared", e.m2, 13}, {"GeometricMean", std::exp(lnSum / n), 13},
        {"HarmonicMean", n / invSum, 13}, {"RMS", std::sqrt(e.sumSquares / n), 13}, {"Skewness", e.skewness, 12},
        {"SE_Skewness", seSkew, 14}, {"Kurtosis", e.kurtosis, 12},
        {"SE_Kurtosis", std::sqrt(4 * (n * n - 1) * seSkew * seSkew / ((n - 3) * (n + 5))), 14}, {"Mode", 4.7, 15},
        {"ModeCount", 2, 15}, {"95%_t_Band", kT975_7 * sd / std::sqrt(n), 8},
        {"95%_Lower", e.mean - kT975_7 * sd / std::sqrt(n), 8},
        {"95%_Upper", e.mean + kT975_7 * sd / std::sqrt(n), 8}, {"90%_t_Band", kT95_7 * sd / std::sqrt(n), 8},
        {"90%_Lower", e.mean - kT95_7 * sd / std::sqrt(n), 8},
        {"90%_Upper", e.mean + kT95_7 * sd / std::sqrt(n), 8}, {"Population_Mean", 5, 15}, {"t-Value", t, 12},
        {"Prob_(1-Tail)", p / 2, 8}, {"Prob_(2-Tail)", p, 8}, {"25_Percentile", q1, 14},
        {"50_Percentile", ExactPercentile(N, 1, 2, 4), 14}, {"75_Percentile", q3, 14},
        {"Quartile_Range", q3 - q1, 13},
    });
}

TEST_F(DescribeTest, IntegerWeightsGiveTheStatisticsOfTheRepeatedRows) {
    const std::vector<long long> N = {12, 15, 15, 21, 30, 44};
    const std::vector<long long> w = {2, 1, 2, 1, 4, 2};
    std::vector<Row> weighted, repeated;
    std::vector<long long> expanded;
    for (std::size_t i = 0; i < N.size(); ++i) {
        weighted.push_back({Variant(N[i] / 10.0), Variant(static_cast<double>(w[i]))});
        for (long long k = 0; k < w[i]; ++k) {
            repeated.push_back({Variant(N[i] / 10.0)});
            expanded.push_back(N[i]);
        }
    }
    // A record of weight 0 and one with a Null weight count nowhere but in "Missing".
    weighted.push_back({Variant(99.0), Variant(0.0)});
    weighted.push_back({Variant(77.0), Variant::Null()});
    MakeTable("Weighted", {{"X", dbDouble}, {"Wt", dbDouble}}, weighted);
    MakeTable("Repeated", {{"X", dbDouble}}, repeated);
    Options o = only({{"Range", true}, {"VarStd", true}, {"VarNRadio", "N-1"}, {"Sum", true}, {"Skew", true},
                      {"Mode", true}});
    auto wr = describe(o, {{"X", "X"}, {"Wt", "W"}}, "Out", "Weighted");
    auto rr = describe(o, {{"X", "X"}}, "Out", "Repeated");
    ASSERT_EQ(wr.size(), 1u);
    ASSERT_EQ(rr.size(), 1u);

    ExactStats e = Exact(expanded, 1);
    const long double W = static_cast<long double>(expanded.size());
    EXPECT_EQ(wr[0].Num("Count"), 12.0);
    EXPECT_EQ(wr[0].Num("Observations"), 6.0); // the records whose values were accepted
    EXPECT_EQ(wr[0].Num("Missing"), 2.0);
    EXPECT_FALSE(rr[0].Has("Observations"));
    EXPECT_EQ(rr[0].Num("Count"), 12.0);
    for (const OutRow* r : {&wr[0], &rr[0]}) {
        ExpectAgrees(*r, {{"Mean", e.mean, 14}, {"Variance", e.varN1, 13}, {"StdError", std::sqrt(e.varN1) / std::sqrt(W), 13},
                          {"Sum", e.sum, 14}, {"SumSquared", e.sumSquares, 14}, {"Skewness", e.skewness, 12},
                          {"Kurtosis", e.kurtosis, 12}});
        ExpectCells(*r, {{"Mode", 3.0}, {"ModeCount", 4.0}, {"Minimum", 1.2}, {"Maximum", 4.4}}); // mode: weight 4
    }
}

TEST_F(DescribeTest, GroupsByOneAndByTwoFieldsWithNullGroupValues) {
    // Region (text), Year (long), X. Group values are written from the group
    // just finished; a Null group value forms its own group, sorted first.
    MakeTable("Data", {{"Region", dbText, 10}, {"Year", dbLong}, {"X", dbDouble}},
              {{"north", 2021, 4.0},
               {"south", 2020, 10.0},
               {"North", 2020, 1.0}, // same group as "north" by text comparison
               {"north", 2020, 3.0},
               {Variant::Null(), 2020, 7.0},
               {"south", 2020, 20.0},
               {"north", Variant::Null(), 5.0},
               {Variant::Null(), 2020, 9.0}});
    Options o = only({{"Range", true}, {"Sum", true}});

    struct Expect {
        Variant region;
        double count, mean, min, max, sum;
    };
    auto one = describe(o, {{"Region", "G"}, {"X", "X"}});
    const Expect byRegion[] = {{Variant::Null(), 2, 8, 7, 9, 16}, {"north", 4, 3.25, 1, 5, 13}, {"south", 2, 15, 10, 20, 30}};
    ASSERT_EQ(one.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& x = byRegion[i];
        expectGroupValue(one[i], "Region", x.region, i);
        ExpectCells(one[i], {{"Count", x.count}, {"Mean", x.mean}, {"Minimum", x.min}, {"Maximum", x.max}, {"Sum", x.sum}},
                    std::to_string(i));
    }

    auto rows = describe(o, {{"Region", "G"}, {"Year", "G"}, {"X", "X"}}, "Out2");
    struct Expect2 {
        Variant region, year;
        double count, mean;
    };
    const Expect2 byBoth[] = {{Variant::Null(), 2020, 2, 8},
                              {"north", Variant::Null(), 1, 5},
                              {"north", 2020, 2, 2},
                              {"north", 2021, 1, 4},
                              {"south", 2020, 2, 15}};
    ASSERT_EQ(rows.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        const auto& x = byBoth[i];
        expectGroupValue(rows[i], "Region", x.region, i);
        expectGroupValue(rows[i], "Year", x.year, i);
        ExpectCells(rows[i], {{"Count", x.count}, {"Mean", x.mean}}, std::to_string(i));
    }
    // The group columns take the source fields' types.
    auto td = db->TableDefs()("Out2");
    EXPECT_EQ(td->Fields()("Region")->Type(), dbText);
    EXPECT_EQ(td->Fields()("Region")->Size(), 10);
    EXPECT_EQ(td->Fields()("Year")->Type(), dbLong);
}

TEST_F(DescribeTest, TextsDifferingOnlyInTheCaseOfALetterBeyondAsciiFormOneGroup) {
    // The source sorts the two spellings together, in the order of their
    // records: the group is read interleaved, one spelling after the other,
    // and is one group under the first record's spelling. "a" sorts first.
    const struct {
        const char* first;
        const char* second;
        const char* why;
    } cases[] = {
        {"\u00C9mile", "\u00E9mile", "Latin-1: E acute"},
        {"\u00C4pfel", "\u00E4pfel", "Latin-1: A umlaut"},
        {"\u0141\u00F3d\u017A", "\u0142\u00F3d\u017A", "Latin Extended-A: L stroke"},
        {"\u03A9mega", "\u03C9mega", "Greek: omega"},
        {"\u0414\u043E\u043C", "\u0434\u043E\u043C", "Cyrillic: de"},
        {"\u0218tefan", "\u0219tefan", "Latin Extended-B: S comma below (Romanian)"},
        {"\u0490\u0430\u043D\u043D\u0430", "\u0491\u0430\u043D\u043D\u0430", "Cyrillic: ghe with upturn (Ukrainian)"},
        {"\u0386\u03B8\u03B7\u03BD\u03B1", "\u03AC\u03B8\u03B7\u03BD\u03B1", "Greek: alpha with tonos"},
        {"\u1EA0n", "\u1EA1n", "Latin Extended Additional: A dot below (Vietnamese)"},
        {"\u0531\u0580\u0561\u0574", "\u0561\u0580\u0561\u0574", "Armenian: ayb"},
        {"\uFF21\uFF22", "\uFF41\uFF42", "Fullwidth: A B"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string table = Numbered("Data");
        Replace(table, {{"G", dbText, 20}, {"X", dbDouble}},
                {{c.first, 1.0}, {c.second, 2.0}, {"a", 4.0}, {c.first, 3.0}, {c.second, 5.0}});
        auto rows = describe(only({{"Sum", true}}), {{"G", "G"}, {"X", "X"}}, Numbered("Out"), table);
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0]["G"].ToString(), "a");
        EXPECT_EQ(rows[1]["G"].ToString(), c.first);
        ExpectCells(rows[1], {{"Count", 4}, {"Sum", 11}}); // 1 + 2 + 3 + 5
    }
}

TEST_F(DescribeTest, EachMissingValueRuleLeavesOutItsValues) {
    // Values 1..5, -99 and a Null of weight 1, and 6 of weight 5: under the
    // rule "Equal" with the value 5 that weight is missing as well.
    MakeTable("Data", {{"X", dbDouble}, {"Wt", dbDouble}},
              {{1.0, 1.0}, {2.0, 1.0}, {3.0, 1.0}, {4.0, 1.0}, {5.0, 1.0}, {-99.0, 1.0}, {Variant::Null(), 1.0},
               {6.0, 5.0}});
    struct Case {
        const char* name;
        std::string type;
        Variant equal, low, high;
        double count, observations, mean;
    };
    const Case cases[] = {
        {"none", "0", Variant(), Variant(), Variant(), 11, 7, (15.0 - 99 + 30) / 11},
        {"equal", "1", 5.0, Variant(), Variant(), 5, 5, (10.0 - 99) / 5},
        {"low", "2", Variant(), 2.0, Variant(), 9, 5, (14.0 + 30) / 9},
        {"high", "2", Variant(), Variant(), 4.0, 5, 5, (10.0 - 99) / 5},
        {"both", "2", Variant(), 2.0, 4.0, 3, 3, 3},
        {"both bounds Null", "2", Variant(), Variant(), Variant(), 11, 7, (15.0 - 99 + 30) / 11},
    };
    for (const auto& c : cases) {
        vtest::ScenarioSpec s = describeSpec(allOff(), {{"X", "X"}, {"Wt", "W"}}, "Data", Numbered("Out"));
        s.missingType = c.type;
        s.missingEqual = c.equal;
        s.missingLow = c.low;
        s.missingHigh = c.high;
        auto rows = RunAndRead(s);
        ASSERT_EQ(rows.size(), 1u) << c.name;
        ExpectCells(rows[0], {{"Count", c.count}, {"Observations", c.observations}, {"Missing", 8 - c.observations}}, c.name);
        EXPECT_NEAR(rows[0].Num("Mean"), c.mean, 1e-13) << c.name;
    }
}

TEST_F(DescribeTest, ASingleRecord) {
    MakeTable("Data", {{"X", dbDouble}}, {{Variant(4.0)}});
    struct Case {
        const char* method;
        bool variance;
    };
    Options base = only({{"VarStd", true}, {"Skew", true}, {"Percentile", true}, {"CI", true},
                         {"CI95", true}, {"TTestMean", true}, {"TTestValue", 1.0}});
    for (const Case& c : {Case{"N-1", false}, Case{"N", true}}) {
        for (const char* ci : {"t-Test", "Normal"}) {
            auto rows = describe(with(base, {{"VarNRadio", c.method}, {"CITypeRadio", ci}, {"CIStdDev", 2.0}}),
                                 {{"X", "X"}}, Numbered("Out"));
            ASSERT_EQ(rows.size(), 1u);
            const OutRow& r = rows[0];
            const std::string what = std::string(c.method) + " " + ci;
            const double spread = c.variance ? 0.0 : NAN; // N: 0; N-1: Null
            ExpectCells(r, {{"Mean", 4.0}, {"Variance", spread}, {"StdDeviation", spread}, {"StdError", spread},
                            {"CoeffOfVariance", spread}, {"Skewness", NAN}, {"SE_Skewness", NAN}, {"Kurtosis", NAN},
                            {"Median", NAN}, {"t-Value", NAN}, {"Prob_(2-Tail)", NAN}}, what);
            if (std::string(ci) == "t-Test") {
                EXPECT_TRUE(r.IsNull("95%_t_Band")) << what;
            } else {
                EXPECT_EQ(r.Num("Population_StdDev"), 2.0) << what;
                ExpectAgrees(r, {{"95%_N_Band", 2 * kZ975, 8}, {"95%_Lower", 4 - 2 * kZ975, 8},
                                 {"95%_Upper", 4 + 2 * kZ975, 8}}, what);
            }
        }
    }
}

TEST_F(DescribeTest, ATBandWhoseCriticalValueIsBeyondTheDoublesIsLeftNullNotWrittenOfWidthZero) {
    // Weights just above 1 in all: W − 1 degrees of freedom far below 1, for
    // which t(0.975) exceeds every double (P(|T| > t) falls like t^−df). The
    // values 1 and 3 still have a standard error, so a band of width 0 around
    // the mean was no band at all.
    const struct {
        double w1, w2;
        const char* why;
    } cases[] = {
        {0.5, 0.5000001, "W − 1 = 1e-7"},
        {0.5, 0.501, "W − 1 = 0.001"},
    };
    for (const auto& c : cases) {
        const std::string table = Numbered("Data");
        MakeTable(table, {{"X", dbDouble}, {"Wt", dbDouble}}, {{1.0, c.w1}, {3.0, c.w2}});
        auto rows = describe(only({{"VarStd", true}, {"CI", true}, {"CITypeRadio", "t-Test"}, {"CI95", true},
                                   {"CIUser", std::int16_t(99)}}),
                             {{"X", "X"}, {"Wt", "W"}}, Numbered("Out"), table);
        ASSERT_EQ(rows.size(), 1u) << c.why;
        EXPECT_GT(rows[0].Num("StdError"), 0) << c.why;
        ExpectCells(rows[0], {{"95%_t_Band", NAN}, {"95%_Lower", NAN}, {"95%_Upper", NAN}, {"99%_t_Band", NAN},
                              {"99%_Lower", NAN}, {"99%_Upper", NAN}},
                    c.why);
    }
}

// Runs of one Describe on a table of its own, whose one row is checked cell
// by cell (exactly, NaN expecting Null) and to digits, and its columns in
// order where given; each case traced by the test it is kept for.
TEST_F(DescribeTest, OneRowOfEachTableAgreesWithValuesWorkedOutByHand) {
    // Two degrees of freedom: P(|T| > t) = 1 − t/√(t² + 2), so t(0.975; 2) = √(0.9025·2/0.0975).
    const long double t975 = std::sqrt(0.9025L * 2 / 0.0975L);
    const long double band = t975 * std::sqrt(7.0L / 3) * 1e154L / std::sqrt(3.0L);
    const long double s = std::sqrt(7.13L / 3);
    const struct {
        const char* name;
        const char* table;
        std::vector<Column> columns;
        std::vector<vtest::ScenarioFieldRow> fields;
        std::vector<Row> data;
        Options options;
        std::vector<cells::Cell> cells;
        std::vector<cells::Digits> agrees;
        std::vector<std::string> columnNames; // empty: not checked
    } cases[] = {
        {"ConstantData", "Data", {{"X", dbDouble}}, {{"X", "X"}}, {{7.25}, {7.25}, {7.25}, {7.25}, {7.25}},
         only({{"VarStd", true}, {"VarNRadio", "N-1"}, {"Skew", true}, {"Mode", true},
               {"Percentile", true}, {"PercentileRadio", "Quartiles"}, {"CI", true},
               {"CITypeRadio", "t-Test"}, {"CI95", true}, {"TTestMean", true}, {"TTestValue", 7.0}}),
         {{"Mean", 7.25}, {"Variance", 0}, {"StdDeviation", 0}, {"CoeffOfVariance", 0},
          {"Skewness", NAN}, {"SE_Skewness", NAN}, {"Kurtosis", NAN}, {"SE_Kurtosis", NAN},
          {"t-Value", NAN}, {"Population_Mean", NAN}, {"95%_t_Band", 0}, {"95%_Lower", 7.25},
          {"95%_Upper", 7.25}, {"Mode", 7.25}, {"ModeCount", 5}, {"25_Percentile", 7.25},
          {"50_Percentile", 7.25}, {"75_Percentile", 7.25}, {"Quartile_Range", 0}}, {}, {}},
        // min 0, max 20: range 20, pad 2, four intervals of (20 + 2) / 4 = 5.5
        // from 0 (lower border included); labels cut to whole numbers.
        {"DefaultFrequencyIntervalsFromTheData", "Data", {{"X", dbDouble}}, {{"X", "X"}},
         {{0.0}, {5.0}, {10.0}, {20.0}, {Variant::Null()}},
         only({{"FreqN", true}, {"InterV", std::int16_t(4)}, {"FreqGroupRadio", "Default"},
               {"FreqIncRadio", "Lower"}, {"FreqDispRadio", "Count"}}),
         {{"0<=N<5", 2}, {"5<=N<11", 1}, {"11<=N<16", 0}, {"16<=N<22", 1}}, {},
         {"DataField", "Count", "Missing", "Mean", "0<=N<5", "5<=N<11", "11<=N<16", "16<=N<22"}},
        {"FrequencyLabelsOfNarrowIntervals", "Data", {{"X", dbDouble}}, {{"X", "X"}}, {{0.3}, {0.8}, {1.0}},
         specifiedIntervals(2, 0.25, 0.5, {{"FreqIncRadio", "Lower"}, {"FreqDispRadio", "Count"}}),
         {{"0.25<=N<0.75", 1.0}, {"0.75<=N<1.25", 2.0}}, {},
         {"DataField", "Count", "Missing", "Mean", "N<0.25", "0.25<=N<0.75", "0.75<=N<1.25", "1.25<=N"}},
        // 1, 2, 4 times 10^154: by hand the mean is 7/3, the sample variance
        // (16/9 + 1/9 + 25/9)/2 = 7/3, Σx² = 21 and Σ(x − m)² = 14/3, each times
        // 10^154 or its square. The variance, Σx² and Σ(x − m)² (near 2.3e308,
        // 2.1e309 and 4.7e308) lie beyond a double; the deviation √(7/3)·10^154,
        // its error and the RMS √7·10^154 do not. The run failed on writing the
        // variance ("Numeric field overflow.").
        {"StatisticsBeyondADoubleAreLeftNullNotFailingTheRun", "Big", {{"X", dbDouble}}, {{"X", "X"}},
         {{1e154}, {2e154}, {4e154}}, only({{"VarStd", true}, {"VarNRadio", "N-1"}, {"Sum", true}, {"Mean", true}}),
         {{"Variance", NAN}, {"SumSquared", NAN}, {"AdjSumSquared", NAN}},
         {{"Mean", 7.0L / 3 * 1e154L, 14},
          {"StdDeviation", std::sqrt(7.0L / 3) * 1e154L, 13},
          {"StdError", std::sqrt(7.0L / 9) * 1e154L, 13},
          {"CoeffOfVariance", std::sqrt(7.0L / 3) / (7.0L / 3), 13},
          {"Sum", 7e154L, 14},
          {"RMS", std::sqrt(7.0L) * 1e154L, 13},
          {"HarmonicMean", 12.0L / 7 * 1e154L, 13}}, {}},
        // 1, 2, 4 times 10^154: the variance 7/3·10^308 is beyond a double, the
        // deviation s = √(7/3)·10^154 is not, nor is the 95% t band
        // t(0.975; 2)·s/√3. The band was taken from the variance and left Null.
        {"TheBandAndTOfValuesNear1e300AreWrittenWhereTheyAreDoubles", "Big", {{"X", dbDouble}}, {{"X", "X"}},
         {{1e154}, {2e154}, {4e154}},
         only({{"VarStd", true}, {"VarNRadio", "N-1"}, {"CI", true}, {"CITypeRadio", "t-Test"}, {"CI95", true}}), {},
         {{"95%_t_Band", band, 9}, {"95%_Upper", 7.0L / 3 * 1e154L + band, 9}}, {}},
        // 1, 2, 4 times 10^300 with weights 10^200 each: W = 3·10^200, the
        // sample variance the population one, 14/9·10^600, and t against 0
        // (7/3)/√(14/9)·√W = 7·√(3/14)·10^100, though (x̄ − 0)·√W alone
        // (7e400) is beyond a double; it was left Null.
        {"TheBandAndTOfValuesNear1e300AreWrittenWhereTheyAreDoubles", "Heavy", {{"X", dbDouble}, {"Wt", dbDouble}},
         {{"X", "X"}, {"Wt", "W"}}, {{1e300, 1e200}, {2e300, 1e200}, {4e300, 1e200}},
         only({{"TTestMean", true}, {"TTestValue", 0.0}}), {}, {{"t-Value", 7 * std::sqrt(3.0L / 14) * 1e100L, 13}}, {}},
        // 1, 2, 3, 4 with weights 10^307 each: W = 4·10^307, decile i is the
        // first value whose cumulative weight k·10^307 reaches W·i/10 = 0.4·i·10^307,
        // the value ⌈0.4·i⌉: 1, 1, 2, 2, 2, 3, 3, 4, 4. The products W·i and
        // cumulative weight times 10 lay beyond a double, compared as infinities
        // they made every decile reached at once: every one was 1.
        {"WeightedDecilesOfWeightsNear1e307AreTheValuesTheCumulativeWeightReaches", "Heavy",
         {{"X", dbDouble}, {"Wt", dbDouble}}, {{"X", "X"}, {"Wt", "W"}},
         {{1.0, 1e307}, {2.0, 1e307}, {3.0, 1e307}, {4.0, 1e307}},
         only({{"Percentile", true}, {"PercentileRadio", "Deciles"}}),
         {{"10_Percentile", 1}, {"20_Percentile", 1}, {"30_Percentile", 2}, {"40_Percentile", 2}, {"50_Percentile", 2},
          {"60_Percentile", 3}, {"70_Percentile", 3}, {"80_Percentile", 4}, {"90_Percentile", 4}}, {}, {}},
        // −1.5, −1, 1, 1.7 times 10^308: their deviations from the first value
        // (up to 3.2·10^308) lie beyond a double, their statistics do not. By
        // hand (unit 10^308): mean 0.2/4 = 0.05, deviations −1.55, −1.05, 0.95,
        // 1.65, Σd² = 7.13, Σd³ = 0.468, so s = √(7.13/3), skewness
        // 4·0.468/(3·2·s³); the median (−1 + 1)/2 = 0. The mean was left Null and
        // the standard deviation written as 0, the median left Null.
        {"ValuesSpanningBeyondADoubleKeepTheirMeanDeviationShapeAndMedian", "Ends", {{"X", dbDouble}}, {{"X", "X"}},
         {{-1.5e308}, {-1e308}, {1e308}, {1.7e308}},
         only({{"VarStd", true}, {"VarNRadio", "N-1"}, {"Skew", true}, {"Percentile", true}, {"PercentileRadio", "Median"}}),
         {{"Median", 0.0}, {"Variance", NAN}},
         {{"Mean", 0.05L * 1e308L, 12},
          {"StdDeviation", s * 1e308L, 13},
          {"StdError", s / 2 * 1e308L, 13},
          {"Skewness", 4 * 0.468L / (6 * s * s * s), 12}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Replace(c.table, c.columns, c.data);
        const std::string out = Numbered("Out");
        auto rows = describe(c.options, c.fields, out, c.table);
        ASSERT_EQ(rows.size(), 1u);
        if (!c.columnNames.empty()) {
            EXPECT_EQ(ColumnNames(out), c.columnNames);
        }
        ExpectCells(rows[0], c.cells, c.name);
        ExpectAgrees(rows[0], c.agrees, c.name);
    }
}

TEST_F(DescribeTest, NullValuesAndAFieldWithoutValuesInAGroup) {
    MakeTable("Data", {{"G", dbText, 5}, {"X", dbDouble}, {"Y", dbDouble}},
              {{"a", 1.0, Variant::Null()}, {"a", Variant::Null(), Variant::Null()}, {"a", 3.0, Variant::Null()},
               {"b", 2.0, 8.0}});
    auto rows = describe(only({{"Range", true}}), {{"G", "G"}, {"X", "X"}, {"Y", "X"}});
    ASSERT_EQ(rows.size(), 4u);
    // Group a: X has two values, Y none; the row of Y carries only the lead columns.
    EXPECT_EQ(rows[0]["DataField"].ToString(), "X");
    ExpectCells(rows[0], {{"Count", 2}, {"Missing", 1}, {"Mean", 2}}, "a X");
    EXPECT_EQ(rows[1]["DataField"].ToString(), "Y");
    ExpectCells(rows[1], {{"Count", 0}, {"Missing", 3}, {"Mean", NAN}, {"Minimum", NAN}}, "a Y");
    EXPECT_EQ(rows[3]["G"].ToString(), "b");
    EXPECT_EQ(rows[3].Num("Mean"), 8.0);
}

TEST_F(DescribeTest, PercentilesInterpolatedWithoutWeightsAndByCumulativeWeightWithThem) {
    // Deciles and quintiles of 11 values, unweighted, and the cumulative rule
    // with weights.
    const std::vector<long long> N = {3, 141, 59, 26, 53, 58, 97, 93, 23, 84, 62};
    const std::vector<long long> w = {1, 3, 2, 1, 4, 1, 2, 1, 1, 2, 3};
    std::vector<Row> rows;
    for (std::size_t i = 0; i < N.size(); ++i) rows.push_back({Variant(N[i] / 100.0), Variant(static_cast<double>(w[i]))});
    MakeTable("Data", {{"X", dbDouble}, {"Wt", dbDouble}}, rows);
    struct Case {
        const char* radio;
        int d;
        bool weighted;
    };
    const Case cases[] = {{"Deciles", 10, false}, {"5", 5, false}, {"Median", 2, false},
                          {"Deciles", 10, true},  {"5", 5, true},  {"Median", 2, true}};
    for (const auto& c : cases) {
        std::vector<vtest::ScenarioFieldRow> fields = {{"X", "X"}};
        if (c.weighted) fields.push_back({"Wt", "W"});
        auto out = describe(only({{"Percentile", true}, {"PercentileRadio", c.radio}}), fields, Numbered("Out"));
        ASSERT_EQ(out.size(), 1u);
        for (int i = 1; i < c.d; ++i) {
            std::string col = c.d == 2 ? "Median" : std::to_string(100 / c.d * i) + "_Percentile";
            long double expected = c.weighted ? ExactWeightedPercentile(N, w, 2, i, c.d) : ExactPercentile(N, 2, i, c.d);
            EXPECT_TRUE(AgreesTo(static_cast<double>(expected), out[0].Num(col), 14)) << c.radio << " " << col;
        }
    }
}

TEST_F(DescribeTest, ModeWithTiesHasItsCountButNoValue) {
    MakeTable("Data", {{"G", dbText, 5}, {"X", dbDouble}, {"Wt", dbDouble}},
              {{"tie", 1.0, 1.0}, {"tie", 2.0, 1.0}, {"tie", 2.0, 1.0}, {"tie", 3.0, 1.0}, {"tie", 3.0, 1.0},
               {"uniq", 5.0, 1.0}, {"uniq", 6.0, 1.0}, {"uniq", 6.0, 1.0},
               // weighted: 8 has weight 3 on one record, 9 weight 1 + 1
               {"wt", 8.0, 3.0}, {"wt", 9.0, 1.0}, {"wt", 9.0, 1.0},
               // weighted: 1 has weight 0.1 + 0.2 = 0.3, as much as 2 (in
               // doubles 0.1 + 0.2 lies just above 0.3)
               {"wtie", 1.0, 0.1}, {"wtie", 1.0, 0.2}, {"wtie", 2.0, 0.3},
               // weighted: whole weights 10^15 + 1 and 10^15 differ only in their
               // sixteenth digit, but differ
               {"zbig", 3.0, 1e15}, {"zbig", 4.0, 1e15 + 1}});
    auto plain = describe(only({{"Mode", true}}), {{"G", "G"}, {"X", "X"}});
    ASSERT_EQ(plain.size(), 5u);
    ExpectCells(plain[0], {{"Mode", NAN}, {"ModeCount", 2}}, "tie");
    ExpectCells(plain[1], {{"Mode", 6}, {"ModeCount", 2}}, "uniq");
    ExpectCells(plain[2], {{"Mode", 9}, {"ModeCount", 2}}, "wt unweighted");
    auto weighted = describe(only({{"Mode", true}}), {{"G", "G"}, {"X", "X"}, {"Wt", "W"}}, "OutW");
    ASSERT_EQ(weighted.size(), 5u);
    ExpectCells(weighted[2], {{"Mode", 8}, {"ModeCount", 3}}, "wt weighted");
    ExpectCellsNear(weighted[3], {{"Mode", NAN}, {"ModeCount", 0.3}}, 1e-15, "fractional weights tied");
    ExpectCells(weighted[4], {{"Mode", 4}, {"ModeCount", 1e15 + 1}}, "whole weights one apart");
}

TEST_F(DescribeTest, SpecifiedFrequencyIntervalsWithEitherBorder) {
    MakeTable("Data", {{"X", dbDouble}}, {{-1.0}, {0.0}, {9.99}, {10.0}, {29.99}, {30.0}, {45.0}});
    struct Case {
        const char* border;
        const char* display;
        std::vector<std::string> names;
        std::vector<double> counts;
    };
    const Case cases[] = {
        {"Lower", "Count", {"N<0", "0<=N<10", "10<=N<20", "20<=N<30", "30<=N"}, {1, 2, 1, 1, 2}},
        {"Upper", "Count", {"N<=0", "0<N<=10", "10<N<=20", "20<N<=30", "30<N"}, {2, 2, 0, 2, 1}},
        {"Lower", "Cumulative", {"N<0", "0<=N<10", "10<=N<20", "20<=N<30", "30<=N"}, {1, 3, 4, 5, 7}},
    };
    for (const auto& c : cases) {
        const std::string out = Numbered("Out");
        auto rows = describe(specifiedIntervals(3, 0.0, 10.0, {{"FreqP", true}, {"FreqIncRadio", c.border},
                                                               {"FreqDispRadio", c.display}}),
                             {{"X", "X"}}, out);
        ASSERT_EQ(rows.size(), 1u);
        std::vector<std::string> expectColumns = {"DataField", "Count", "Missing", "Mean"};
        for (const auto& n : c.names) expectColumns.push_back(n);
        for (const auto& n : c.names) {
            std::string pct = n;
            pct.replace(pct.find('N'), 1, "%");
            expectColumns.push_back(pct);
        }
        EXPECT_EQ(ColumnNames(out), expectColumns) << c.border << " " << c.display;
        for (std::size_t i = 0; i < c.names.size(); ++i) {
            EXPECT_EQ(rows[0].Num(c.names[i]), c.counts[i]) << c.names[i];
            EXPECT_EQ(rows[0].Num(expectColumns[4 + c.names.size() + i]), c.counts[i] / 7) << c.names[i];
        }
    }
}

TEST_F(DescribeTest, FractionalWeightsEndTheCumulativeFrequencyPercentagesAtExactlyOne) {
    // The records are read in the order of the first X field; Z's values
    // come as 1 (w 0.1), 5 (w 0.2), 1 (w 0.6). Added in that order its
    // weights make 0.9, in the order of the cells 0.7 + 0.2 =
    // 0.8999999999999999: the last cumulative percentage read
    // 0.9999999999999999.
    MakeTable("Data", {{"X", dbDouble}, {"Z", dbDouble}, {"Wt", dbDouble}},
              {{1.0, 1.0, 0.1}, {2.0, 5.0, 0.2}, {3.0, 1.0, 0.6}});
    auto rows = describe(specifiedIntervals(2, 0.0, 4.0, {{"FreqP", true}, {"FreqIncRadio", "Lower"},
                                                          {"FreqDispRadio", "Cumulative"}}),
                         {{"X", "X"}, {"Z", "X"}, {"Wt", "W"}});
    ASSERT_EQ(rows.size(), 2u);
    for (const auto& r : rows) EXPECT_EQ(r.Num("8<=%"), 1.0) << r["DataField"].ToString();
    EXPECT_DOUBLE_EQ(rows[1].Num("0<=%<4"), 7.0 / 9);
    EXPECT_DOUBLE_EQ(rows[1].Num("4<=%<8"), 1.0);
}

// A program that uses the engine and takes the user's language for the C
// library's numbers (as every Qt program does) had a German locale's decimal
// comma in the run: the intervals 0.25 wide were labelled "0,25<=N<0,75"
// and the counts of the interval from 10 went under "1,<=N<2,". The run
// writes its numbers as in any other program.
TEST_F(DescribeTest, ARunInAProgramWhoseNumbersHaveADecimalCommaWritesItsIntervalsAndMeanAsAnyOther) {
    VTEST_USER_LOCALE(german, "de_DE");

    MakeTable("Data", {{"X", dbDouble}}, {{0.3}, {0.8}, {1.0}, {10.0}, {12.5}});
    auto narrow = describe(specifiedIntervals(2, 0.25, 0.5, {{"FreqIncRadio", "Lower"}, {"FreqDispRadio", "Count"},
                                                            {"Mean", true}}),
                           {{"X", "X"}});
    ASSERT_EQ(narrow.size(), 1u);
    EXPECT_EQ(ColumnNames("Out"),
              (std::vector<std::string>{"DataField", "Count", "Missing", "Mean", "GeometricMean", "HarmonicMean", "RMS",
                                        "N<0.25", "0.25<=N<0.75", "0.75<=N<1.25", "1.25<=N"}));
    EXPECT_EQ(narrow[0].Num("0.25<=N<0.75"), 1.0);
    EXPECT_EQ(narrow[0].Num("0.75<=N<1.25"), 2.0);
    EXPECT_EQ(narrow[0].Num("1.25<=N"), 2.0);
    EXPECT_NEAR(narrow[0].Num("Mean"), 24.6 / 5, 1e-12);

    auto wide = describe(specifiedIntervals(2, 0.0, 10.0, {{"FreqIncRadio", "Lower"}, {"FreqDispRadio", "Count"}}),
                         {{"X", "X"}}, "OutWide");
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(ColumnNames("OutWide"), (std::vector<std::string>{"DataField", "Count", "Missing", "Mean", "N<0",
                                                                 "0<=N<10", "10<=N<20", "20<=N"}));
    EXPECT_EQ(wide[0].Num("0<=N<10"), 3.0);
    EXPECT_EQ(wide[0].Num("10<=N<20"), 2.0);
}

TEST_F(DescribeTest, SpreadOfDataWithALargeMeanKeepsItsDigits) {
    // 1001 values 1000000.1, 1000000.2, ..., and data whose mean is 10^8
    // times their spread: raw power sums (W·Q − S²) lose every digit here.
    // The range and the quartile range are differences of values typed as
    // decimals: the doubles' own difference of 1000000000.9 and 1000000000.2
    // is 0.69999993.
    struct Case {
        const char* name;
        std::vector<long long> N;
        int scale;
    };
    std::vector<Case> cases;
    {
        std::vector<long long> a, b, c;
        for (long long k = 1; k <= 1001; ++k) a.push_back(10000000 + k);          // 1000000.1 ...
        for (long long k = 0; k <= 1000; ++k) b.push_back(100000000000LL + k);    // 100000000.000 ...
        for (long long k = 0; k < 400; ++k) c.push_back(1234567890000LL + k * k); // skewed, 12345678.9 + k²/10^5
        cases.push_back({"MillionPointOne", a, 1});
        cases.push_back({"HundredMillion", b, 3});
        cases.push_back({"Skewed", c, 5});
        cases.push_back({"BillionPointTwo", {10000000002LL, 10000000004LL, 10000000009LL, 10000000003LL}, 1});
    }
    for (const auto& c : cases) {
        std::string table = Numbered("Data");
        MakeTable(table, {{"X", dbDouble}}, valuesAsRows(c.N, c.scale));
        auto rows = describe(only({{"Range", true}, {"VarStd", true}, {"VarNRadio", "N-1"}, {"Skew", true},
                                   {"Percentile", true}, {"PercentileRadio", "Quartiles"}}),
                             {{"X", "X"}}, Numbered("Out"), table);
        ASSERT_EQ(rows.size(), 1u);
        ExactStats e = Exact(c.N, c.scale);
        ASSERT_TRUE(e.exact);
        ExpectAgrees(rows[0], {{"Mean", e.mean, 9}, {"StdDeviation", std::sqrt(e.varN1), 9}, {"Variance", e.varN1, 9}},
                     c.name);
        // Both ranges from the integers less their smallest: small exact numbers.
        const long long lowest = *std::min_element(c.N.begin(), c.N.end());
        std::vector<long long> shifted;
        for (long long n : c.N) shifted.push_back(n - lowest);
        const long double range = *std::max_element(shifted.begin(), shifted.end()) / Pow10(c.scale);
        const long double quartiles = ExactPercentile(shifted, c.scale, 3, 4) - ExactPercentile(shifted, c.scale, 1, 4);
        ExpectAgrees(rows[0], {{"Range", range, 15}, {"Quartile_Range", quartiles, 15}}, c.name);
        if (e.skewness != 0) {
            EXPECT_TRUE(AgreesTo(static_cast<double>(e.skewness), rows[0].Num("Skewness"), 6)) << c.name;
        } else {
            EXPECT_NEAR(rows[0].Num("Skewness"), 0.0, 1e-6) << c.name;
        }
        EXPECT_TRUE(AgreesTo(static_cast<double>(e.kurtosis), rows[0].Num("Kurtosis"), 6)) << c.name;
    }
}

TEST_F(DescribeTest, GeometricAndHarmonicMeansAreNullWhenAValueIsNotPositive) {
    MakeTable("Data", {{"G", dbText, 5}, {"X", dbDouble}},
              {{"mixed", -2.0}, {"mixed", 0.0}, {"mixed", 4.0}, {"mixed", 8.0}, {"pos", 1.0}, {"pos", 2.0}, {"pos", 4.0}});
    auto rows = describe(only({{"Mean", true}}), {{"G", "G"}, {"X", "X"}});
    ASSERT_EQ(rows.size(), 2u);
    // RMS of mixed: √((4 + 0 + 16 + 64) / 4).
    ExpectCells(rows[0], {{"GeometricMean", NAN}, {"HarmonicMean", NAN}, {"RMS", std::sqrt(21.0)}}, "mixed",
                cells::Match::Ulps);
    ExpectCells(rows[1], {{"GeometricMean", 2}, {"HarmonicMean", 12.0 / 7}, {"RMS", std::sqrt(7.0)}}, "pos",
                cells::Match::Ulps);
}

TEST_F(DescribeTest, ValuesNearTheEndsOfTheDoubleRangeKeepTheirDeviationAndShape) {
    // StdDeviationOfValuesNear1e300IsNotZero: the deviations of values near
    // 1e-300 square to far below the smallest double; the moments are held
    // scaled, so every statistic a double can hold comes out. Expected values
    // from the integers N in exact arithmetic (Exact.h), the data being
    // N · 10^-scale; a variance below the double range is 0. Reciprocals
    // summing beyond the doubles still give the harmonic mean.
    struct Case {
        std::vector<long long> N;
        int scale;
        bool varianceUnderflows;
        const char* why;
    } cases[] = {
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 300, true, "k·1e-300, k = 1 .. 10: sd √(55/6)·1e-300 = 3.03e-300"},
        {{1, 2, 3, 5}, 200, true, "1, 2, 3, 5 · 1e-200: skewness and kurtosis of 1, 2, 3, 5"},
        {{3, 3, 3, 4}, 290, true, "one value apart"},
        {{10, 20, 40}, 150, false, "a variance still within range"},
        {{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 3}, 307, true,
         "eighteen 1e-307, 2e-307, 3e-307: reciprocals summing beyond the doubles, harmonic mean 120/113·1e-307"},
    };
    for (const auto& c : cases) {
        std::vector<Row> rows;
        for (long long n : c.N) rows.push_back({std::stod(std::to_string(n) + "e-" + std::to_string(c.scale))});
        const std::string table = Numbered("Tiny");
        MakeTable(table, {{"X", dbDouble}}, rows);
        auto out = describe(only({{"VarStd", true}, {"VarNRadio", "N-1"}, {"Skew", true}, {"Mean", true}}),
                            {{"X", "X"}}, "Out", table);
        ASSERT_EQ(out.size(), 1u) << c.why;
        const ExactStats e = Exact(c.N, c.scale);
        const double sd = static_cast<double>(std::sqrt(e.varN1));
        // Harmonic mean W / Σ(1/x) = W·10^-scale / Σ(1/N), the sum in long double's range.
        long double inverses = 0;
        for (long long n : c.N) inverses += 1.0L / n;
        const long double harmonic = e.W / inverses / Pow10(c.scale);
        ExpectAgrees(out[0], {{"StdDeviation", sd, 13}, {"StdError", sd / std::sqrt(static_cast<double>(e.W)), 13},
                              {"Mean", e.mean, 14}, {"HarmonicMean", harmonic, 13}}, c.why);
        if (c.varianceUnderflows) {
            EXPECT_EQ(out[0].Num("Variance"), 0.0) << c.why;
        } else {
            EXPECT_TRUE(AgreesTo(static_cast<double>(e.varN1), out[0].Num("Variance"), 13)) << c.why;
        }
        if (e.W > 2) {
            // A symmetric sample's skewness is 0: to rounding, not to digits.
            if (e.skewness == 0) EXPECT_NEAR(out[0].Num("Skewness"), 0.0, 1e-12) << c.why;
            else EXPECT_TRUE(AgreesTo(static_cast<double>(e.skewness), out[0].Num("Skewness"), 12)) << c.why;
        }
        if (e.W > 3) {
            EXPECT_TRUE(AgreesTo(static_cast<double>(e.kurtosis), out[0].Num("Kurtosis"), 12)) << c.why;
        }
    }
}

TEST_F(DescribeTest, FrequencyIntervalWidthOfZeroOrFewerThanOneIntervalIsRefusedBeforeAnyTableIsWritten) {
    MakeTable("Data", {{"X", dbDouble}}, {{1.0}, {2.0}});
    // An output table of an earlier run must stay as it was.
    MakeTable("Out", {{"Marker", dbText, 10}}, {{"earlier"}});
    struct Case {
        const char* name;
        std::int16_t intervals;
        Variant width;
        std::string message;
    };
    const Case cases[] = {
        {"width Null (0)", 3, Variant::Null(), "The frequency interval width must be greater than 0."},
        {"no interval", 0, 1.0, "The number of frequency intervals must be at least 1."},
        {"negative count", -2, 1.0, "The number of frequency intervals must be at least 1."},
        // Three widths of 1e308 from 0 end at 3e308, beyond the largest double:
        // the column names and counts ran into an infinite border.
        {"last border beyond the doubles", 3, 1e308,
         "The frequency intervals end beyond the range of a double: 3 intervals of 1E+308 from 0."},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_FALSE(Run(Store(describeSpec(specifiedIntervals(c.intervals, 0.0, c.width), {{"X", "X"}})), &err)) << c.name;
        EXPECT_EQ(err, c.message) << c.name;
        EXPECT_EQ(ColumnNames("Out"), std::vector<std::string>{"Marker"}) << c.name;
    }
}

TEST_F(DescribeTest, RunTimeErrorInsideTheAnalysisFailsTheRunAndKeepsThePreviousOutput) {
    // A number field; after a first run another program writes a text into
    // the second group: the field passes the check of the roles, the value
    // fails the second run.
    MakeTable("Data", {{"G", dbText, 5}, {"X", dbDouble}}, {{"a", 1.0}, {"a", 3.0}, {"b", 4.0}, {"b", 5.0}});
    auto spec = describeSpec(allOff(), {{"G", "G"}, {"X", "X"}});
    auto before = RunAndRead(spec);
    ASSERT_EQ(before.size(), 2u);
    PutTextInNumberColumn("Data", "X", "abc", "X = 5");
    std::string err;
    EXPECT_FALSE(Run(Store(spec), &err));
    // Read by group, the text last in its group and in the table: a 1, a 3, b 4, b abc.
    EXPECT_EQ(err, "Type mismatch: the value 'abc' in field X (record 4 in the order the analysis reads the data) is not a number.");
    // The rows of the failed run are gone with it; the first run's are whole.
    auto rows = ReadTable("Out");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]["G"].ToString(), "a");
    EXPECT_EQ(rows[0].Num("Mean"), 2.0);    // (1 + 3) / 2
    EXPECT_EQ(rows[1].Num("Mean"), 4.5);    // (5 + 4) / 2
}

TEST_F(DescribeTest, ProgressTextsEveryFifthRecordAndAtTheEnd) {
    std::vector<Row> data;
    for (int i = 0; i < 12; ++i) data.push_back({Variant(static_cast<double>(i))});
    MakeTable("Data", {{"X", dbDouble}}, data);
    cells::StatusLog log;
    std::string err;
    ASSERT_TRUE(Run(Store(describeSpec(allOff(), {{"X", "X"}})), &err, &log)) << err;
    EXPECT_EQ(log.texts, (std::vector<std::string>{"Retrieving and sorting data...", "Creating output table...",
                                                   "Analyzing records...", "Analyzing record: 5",
                                                   "Analyzing record: 10", "Analyzing record: 12"}));
}

TEST_F(DescribeTest, NoRecordsEndsTheRunBeforeTheOutputTable) {
    MakeTable("Data", {{"X", dbDouble}}, {});
    std::string err;
    EXPECT_FALSE(Run(Store(describeSpec(allOff(), {{"X", "X"}})), &err));
    EXPECT_EQ(err, "No records found in Data");
    EXPECT_FALSE(TableExists("Out"));
}

TEST_F(DescribeTest, RerunReplacesTheOutputTableAlsoWhenItsColumnsChange) {
    MakeTable("Data", {{"X", dbDouble}}, {{1.0}, {3.0}});
    auto first = describe(only({{"Sum", true}}), {{"X", "X"}});
    ASSERT_EQ(first.size(), 1u);
    auto same = describe(only({{"Sum", true}}), {{"X", "X"}});
    ASSERT_EQ(same.size(), 1u);
    EXPECT_EQ(same[0].Num("Sum"), 4.0);
    auto other = describe(only({{"Range", true}}), {{"X", "X"}});
    ASSERT_EQ(other.size(), 1u);
    EXPECT_FALSE(other[0].Has("Sum"));
    EXPECT_EQ(other[0].Num("Range"), 2.0);
}

TEST_F(DescribeTest, GroupsLargerThanMemoryGoThroughTheSortTable) {
    // Groups of 600, 150 and 3 records with the memory limit at 2 values:
    // every group moves to the sort table (dropped after more than 500
    // rows, emptied after fewer).
    std::vector<Row> data;
    std::map<std::string, std::vector<long long>> values;
    auto add = [&](const std::string& g, int count, int mult) {
        for (int i = 0; i < count; ++i) {
            long long n = (i * mult) % 997;
            values[g].push_back(n);
            data.push_back({Variant(g), Variant(n / 10.0)});
        }
    };
    add("a", 600, 37);
    add("b", 150, 101);
    add("c", 3, 5);
    MakeTable("Data", {{"G", dbText, 5}, {"X", dbDouble}}, data);
    std::size_t old = SortStage::SetMemoryLimit(2);
    auto rows = describe(only({{"Percentile", true}, {"PercentileRadio", "Quartiles"}, {"Mode", true}}),
                         {{"G", "G"}, {"X", "X"}});
    SortStage::SetMemoryLimit(old);
    ASSERT_EQ(rows.size(), 3u);
    const char* groups[] = {"a", "b", "c"};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& N = values[groups[i]];
        EXPECT_EQ(rows[i]["G"].ToString(), groups[i]);
        for (int q = 1; q <= 3; ++q)
            EXPECT_TRUE(AgreesTo(static_cast<double>(ExactPercentile(N, 1, q, 4)),
                                 rows[i].Num(std::to_string(25 * q) + "_Percentile"), 14))
                << groups[i] << " " << q;
        std::map<long long, int> counts;
        for (long long n : N) ++counts[n];
        int best = 0, ties = 0;
        long long bestValue = 0;
        for (const auto& [v, c] : counts) {
            if (c > best) {
                best = c;
                bestValue = v;
                ties = 0;
            } else if (c == best) {
                ++ties;
            }
        }
        EXPECT_EQ(rows[i].Num("ModeCount"), best) << groups[i];
        if (ties == 0) {
            EXPECT_EQ(rows[i].Num("Mode"), bestValue / 10.0) << groups[i];
        } else {
            EXPECT_TRUE(rows[i].IsNull("Mode")) << groups[i];
        }
    }
}

TEST_F(DescribeTest, TheSourceTableIsNeverReplacedByTheOutput) {
    MakeTable("Data", {{"X", dbDouble}}, {{1.0}, {2.0}});
    std::string err; // the output: the source, in other letter case
    EXPECT_FALSE(Run(Store(describeSpec(allOff(), {{"X", "X"}}, "Data", "data")), &err));
    EXPECT_EQ(err, "The output table data is the table the analysis reads; choose another output table name.");
    auto rows = ReadTable("Data");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].Num("X"), 2.0);
}

TEST_F(DescribeTest, ValuesOnIntervalBordersLandOnThem) {
    // Borders at 0, 0.15, 0.3, 0.45: the quotient 0.45 / 0.15 is 3 exactly,
    // though not in binary floating point.
    MakeTable("Data", {{"X", dbDouble}}, {{0.15}, {0.3}, {0.45}, {0.44999}});
    struct Case {
        const char* border;
        std::vector<std::string> names;
        std::vector<double> counts;
    };
    const Case cases[] = {
        {"Lower", {"N<0", "0<=N<0.15", "0.15<=N<0.3", "0.3<=N<0.45", "0.45<=N"}, {0, 0, 1, 2, 1}},
        {"Upper", {"N<=0", "0<N<=0.15", "0.15<N<=0.3", "0.3<N<=0.45", "0.45<N"}, {0, 1, 1, 2, 0}},
    };
    for (const auto& c : cases) {
        auto rows = describe(specifiedIntervals(3, 0.0, 0.15, {{"FreqIncRadio", c.border}, {"FreqDispRadio", "Count"}}),
                             {{"X", "X"}}, Numbered("Out"));
        ASSERT_EQ(rows.size(), 1u);
        for (std::size_t i = 0; i < c.names.size(); ++i) EXPECT_EQ(rows[0].Num(c.names[i]), c.counts[i]) << c.names[i];
    }
}

TEST_F(DescribeTest, AnOtherConfidenceLevelOf100IsRefusedInsteadOfABandOfWidthZero) {
    // A box value of 99.5 to 99.999 is stored in the whole-number column as
    // 100; a 100% interval is unbounded, and the quantile routines gave a
    // band of 0 around the mean.
    MakeTable("Data", {{"X", dbDouble}}, valuesAsRows({25, 31, 47}, 1));
    const struct {
        const char* method;
        std::int16_t level;
        bool refused;
    } cases[] = {{"t-Test", 100, true}, {"Normal", 100, true}, {"t-Test", 99, false}};
    for (const auto& c : cases) {
        Options o = only({{"CI", true}, {"CITypeRadio", c.method}, {"CIStdDev", 1.0}, {"CI95", false}, {"CIUser", c.level}});
        std::string error;
        EXPECT_EQ(Run(Store(describeSpec(o, {{"X", "X"}})), &error), !c.refused) << c.method << " " << c.level;
        if (c.refused) {
            EXPECT_NE(error.find("from 1 to 99 percent"), std::string::npos) << error;
            EXPECT_FALSE(TableExists("Out")) << "refused before any table is written";
        }
    }
}

TEST_F(DescribeTest, ANegativeStandardDeviationOfANormalBandIsRefusedNotWrittenWithItsLowerLimitAboveTheUpper) {
    // Another program's options row may hold a deviation below 0, which the
    // band σ·z/√W turned into a negative width: 95%_Lower above 95%_Upper.
    // Mean of 25, 31, 47: 103/3; band σ·z(0.975)/√3.
    MakeTable("Data", {{"X", dbDouble}}, valuesAsRows({25, 31, 47}, 0));
    const struct {
        double sigma;
        std::string message; // empty: the run succeeds
    } cases[] = {
        {-2, "The standard deviation of the normal confidence interval must not be below 0, not -2."},
        {-0.5, "The standard deviation of the normal confidence interval must not be below 0, not -0.5."},
        {0, ""},
        {2, ""},
    };
    for (const auto& c : cases) {
        const std::string out = Numbered("Out");
        Options o = only({{"CI", true}, {"CITypeRadio", "Normal"}, {"CIStdDev", c.sigma}, {"CI95", true}});
        std::string error;
        EXPECT_EQ(Run(Store(describeSpec(o, {{"X", "X"}}, "Data", out)), &error), c.message.empty()) << c.sigma;
        EXPECT_EQ(error, c.message);
        if (!c.message.empty()) {
            EXPECT_FALSE(TableExists(out)) << "refused before any table is written";
            continue;
        }
        const auto rows = ReadTable(out);
        ASSERT_EQ(rows.size(), 1u);
        const double b = c.sigma * kZ975 / std::sqrt(3.0);
        ExpectCells(rows[0], {{"Population_StdDev", c.sigma}});
        ExpectAgrees(rows[0], {{"95%_N_Band", b, 12}, {"95%_Lower", 103.0L / 3 - b, 12}, {"95%_Upper", 103.0L / 3 + b, 12}},
                     std::to_string(c.sigma));
    }
}

TEST_F(DescribeTest, HugeOrTinyWeightsKeepTheShapeAndItsStandardErrors) {
    // Values 1, 2, 3, 5 with weights k = 1, 2, 1, 3 times c. With W = 7c the
    // sample forms differ from the population forms by parts of 1/W only,
    // so for c = 1e200 or 1e300 they are (hand sums on d = 7x − 23, the
    // mean being 23/7): Σk·d² = 854, Σk·d³ = −378, Σk·d⁴ = 140882, and
    //   variance m2 = 854/7³, skewness m3/m2^1.5, kurtosis m4/m2² − 3
    // (m_r = Σk·d^r / (7·7^r)), SE of skewness √(6/W), of kurtosis √(24/W).
    // 6·W·(W − 1) overflowed at W = 7e200 (a Null SE_Skewness and
    // SE_Kurtosis), the fourth-moment update lost its terms in δ²/W² and
    // squared W, and the shape came out Null or 0. With c = 1e-300 (W below
    // 1) only the "N" variance m2 and its deviation are written.
    const long long k[] = {1, 2, 1, 3};
    const long long x[] = {1, 2, 3, 5};
    long long s2 = 0, s3 = 0, s4 = 0;
    for (int i = 0; i < 4; ++i) {
        const long long d = 7 * x[i] - 23;
        s2 += k[i] * d * d;
        s3 += k[i] * d * d * d;
        s4 += k[i] * d * d * d * d;
    }
    ASSERT_EQ(s2, 854);
    ASSERT_EQ(s3, -378);
    ASSERT_EQ(s4, 140882);
    const long double m2 = s2 / 343.0L, m3 = s3 / 2401.0L, m4 = s4 / 16807.0L;
    const struct {
        double c;
        const char* method;
    } cases[] = {{1e200, "N-1"}, {1e300, "N-1"}, {1e-300, "N"}};
    for (const auto& c : cases) {
        const std::string table = Numbered("Heavy");
        std::vector<Row> rows;
        for (int i = 0; i < 4; ++i) rows.push_back({Variant(static_cast<double>(x[i])), Variant(static_cast<double>(k[i]) * c.c)});
        MakeTable(table, {{"X", dbDouble}, {"Wt", dbDouble}}, rows);
        auto out = describe(only({{"VarStd", true}, {"VarNRadio", c.method}, {"Skew", true}, {"Sum", true}}),
                            {{"X", "X"}, {"Wt", "W"}}, Numbered("Out"), table);
        ASSERT_EQ(out.size(), 1u);
        const std::string label = FormatDouble(c.c);
        const long double W = 7.0L * c.c;
        ExpectAgrees(out[0], {{"Count", W, 14}, {"Mean", 23.0L / 7, 14}, {"Variance", m2, 13},
                              {"StdDeviation", std::sqrt(m2), 13}, {"StdError", std::sqrt(m2 / W), 13},
                              {"Sum", 23 * c.c, 14}, {"SumSquared", 93 * static_cast<long double>(c.c), 14},
                              {"AdjSumSquared", m2 * W, 13}},
                     label);
        if (W > 3) {
            ExpectAgrees(out[0], {{"Skewness", m3 / std::pow(m2, 1.5L), 12}, {"SE_Skewness", std::sqrt(6 / W), 13},
                                  {"Kurtosis", m4 / (m2 * m2) - 3, 12}, {"SE_Kurtosis", std::sqrt(24 / W), 13}},
                         label);
        } else {
            ExpectCells(out[0], {{"Skewness", NAN}, {"SE_Skewness", NAN}, {"Kurtosis", NAN}, {"SE_Kurtosis", NAN}},
                        label);
        }
    }
}
