// "Compare" scenarios through the engine: the paired comparison of each X
// field with the Y field against the textbook formulas taken exactly in the
// test (Exact.h) and the closed-form t probabilities for few degrees of freedom.
#include "AnalysisFixture.h"
#include "Exact.h"
#include "analyses/descriptive/CCompare.h"
#include "support/AnalysisSeam.h"

#include <cmath>

using namespace dao;
using namespace atest;

namespace {

vtest::ScenarioSpec compareSpec(const std::vector<vtest::ScenarioFieldRow>& fields, const std::string& out,
                                const std::string& table = "Data") {
    vtest::ScenarioSpec s;
    s.subType = "Compare";
    s.inputTable = table;
    s.outputTable1 = out;
    s.options = {{"CountXY", true}, {"MeanXY", true}, {"CorrXY", true}, {"TTest", true}};
    s.fields = fields;
    return s;
}

class CompareTest : public AnalysisTest {};

// Checks every statistic column of a row against the exact pair statistics.
void expectPair(const OutRow& r, const ExactPairStats& e, int df, int digits, const std::string& what) {
    EXPECT_TRUE(AgreesTo(static_cast<double>(e.meanX), r.Num("MeanX"), digits)) << what;
    EXPECT_TRUE(AgreesTo(static_cast<double>(e.meanY), r.Num("MeanY"), digits)) << what;
    EXPECT_TRUE(AgreesTo(static_cast<double>(e.meanDiff), r.Num("MeanDiff"), digits)) << what;
    EXPECT_TRUE(AgreesTo(static_cast<double>(std::sqrt(e.varDiff)), r.Num("StdDevDiff"), digits)) << what;
    EXPECT_TRUE(AgreesTo(static_cast<double>(e.covariance), r.Num("Covariance"), digits)) << what;
    EXPECT_TRUE(AgreesTo(static_cast<double>(e.correlation), r.Num("Correlation"), digits)) << what;
    EXPECT_TRUE(AgreesTo(static_cast<double>(e.rSquare), r.Num("R-Square"), digits)) << what;
    EXPECT_EQ(r.Num("T-DF"), static_cast<double>(e.W - 1)) << what;
    EXPECT_TRUE(AgreesTo(static_cast<double>(e.t), r.Num("Paired_t-Value"), digits)) << what;
    if (df <= 3) {
        const double p = static_cast<double>(TTwoTailed(e.t, df));
        EXPECT_TRUE(AgreesTo(p, r.Num("Prob_(2-tail)"), 9)) << what;
        EXPECT_TRUE(AgreesTo(p / 2, r.Num("Prob_(1-tail)"), 9)) << what;
    }
}

} // namespace

TEST_F(CompareTest, PairedStatisticsPerGroupAndField) {
    // Group a, X1 against Y: (3,1) (5,2) (10,4): MeanDiff 11/3, Cov 11/2,
    // r² 363/364, t = 11/√13, p(2 df) = 1 − 11/√147. X2 = 2·Y − 1 in group a
    // except one Null. Group b has three records, one with a Null Y.
    MakeTable("Data", {{"G", dbText, 4}, {"X1", dbDouble}, {"X2", dbDouble}, {"Y", dbDouble}},
              {{"a", 3.0, 1.0, 1.0},
               {"a", 5.0, 3.0, 2.0},
               {"a", 10.0, Variant::Null(), 4.0},
               {"a", 2.0, 9.0, 3.0},
               {"b", 7.0, 1.0, 5.0},
               {"b", 4.0, 2.0, Variant::Null()},
               {"b", 8.0, 3.0, 2.0}});
    auto rows = RunAndRead(compareSpec({{"G", "G"}, {"X1", "X"}, {"X2", "X"}, {"Y", "Y"}}, "Out"));
    EXPECT_EQ(ColumnNames("Out"),
              (std::vector<std::string>{"G", "DataField", "Count_of_Y", "Missing", "Count<Y", "Count=Y", "Count>Y",
                                        "MeanX", "MeanY", "MeanDiff", "StdDevDiff", "Covariance", "Correlation",
                                        "R-Square", "T-DF", "Paired_t-Value", "Prob_(1-tail)", "Prob_(2-tail)"}));
    struct Case {
        std::size_t row;
        const char* field;
        std::vector<long long> x, y;
        double missing, below, equal, above;
    };
    const Case cases[] = {
        {0, "X1", {3, 5, 10, 2}, {1, 2, 4, 3}, 0, 1, 0, 3},
        {1, "X2", {1, 3, 9}, {1, 2, 3}, 1, 0, 1, 2}, // the Null X counts as missing for X2 only
        {2, "X1", {7, 8}, {5, 2}, 1, 0, 0, 2},       // the Null Y is missing for every X
        {3, "X2", {1, 3}, {5, 2}, 1, 1, 0, 1},
    };
    ASSERT_EQ(rows.size(), 4u);
    for (const auto& c : cases) {
        const OutRow& r = rows[c.row];
        std::string what = std::string(c.field) + " row " + std::to_string(c.row);
        EXPECT_EQ(r["DataField"].ToString(), c.field);
        EXPECT_EQ(r.Num("Count_of_Y"), static_cast<double>(c.x.size())) << what;
        EXPECT_EQ(r.Num("Missing"), c.missing) << what;
        EXPECT_EQ(r.Num("Count<Y"), c.below) << what;
        EXPECT_EQ(r.Num("Count=Y"), c.equal) << what;
        EXPECT_EQ(r.Num("Count>Y"), c.above) << what;
        expectPair(r, ExactPair(c.x, c.y, 0), static_cast<int>(c.x.size()) - 1, 13, what);
    }
}

TEST_F(CompareTest, EdgeCasesLeaveTheUndefinedColumnsNull) {
    struct Case {
        const char* name;
        std::vector<Row> data; // X, Y, weight
        double count, covariance, tdf;
        bool sdNull, corrNull, tNull, meanNull;
        double correlation;
    };
    const double nan = std::nan("");
    const std::vector<Case> cases = {
        // X identical to Y: no spread of the difference; Cov = variance of X = 1, r = 1.
        {"identical", {{1.0, 1.0, 1.0}, {2.0, 2.0, 1.0}, {3.0, 3.0, 1.0}}, 3, 1, 2, true, false, true, false, 1},
        // Constant X: Dx = 0, so no correlation, covariance 0.
        {"constant x", {{4.0, 1.0, 1.0}, {4.0, 2.0, 1.0}, {4.0, 6.0, 1.0}}, 3, 0, 2, false, true, false, false, nan},
        // One record of weight 1: counts and means only.
        {"one record", {{4.0, 1.0, 1.0}}, 1, nan, nan, true, true, true, false, nan},
        // No usable record: weight 0 and a Null Y: everything Null.
        {"nothing usable", {{4.0, 1.0, 0.0}, {4.0, Variant::Null(), 1.0}}, 0, nan, nan, true, true, true, true, nan},
    };
    int k = 0;
    for (const auto& c : cases) {
        std::string table = "Data" + std::to_string(++k), out = "Out" + std::to_string(k);
        MakeTable(table, {{"X", dbDouble}, {"Y", dbDouble}, {"Wt", dbDouble}}, c.data);
        auto rows = RunAndRead(compareSpec({{"X", "X"}, {"Y", "Y"}, {"Wt", "W"}}, out, table));
        ASSERT_EQ(rows.size(), 1u) << c.name;
        const OutRow& r = rows[0];
        EXPECT_EQ(r.Num("Count_of_Y"), c.count) << c.name;
        EXPECT_EQ(r.Num("Missing"), static_cast<double>(c.data.size()) - r.Num("Observations")) << c.name;
        EXPECT_EQ(r.IsNull("MeanX"), c.meanNull) << c.name;
        EXPECT_EQ(r.IsNull("StdDevDiff"), c.sdNull) << c.name;
        EXPECT_EQ(r.IsNull("Correlation"), c.corrNull) << c.name;
        EXPECT_EQ(r.IsNull("R-Square"), c.corrNull) << c.name;
        EXPECT_EQ(r.IsNull("Paired_t-Value"), c.tNull) << c.name;
        EXPECT_EQ(r.IsNull("Prob_(2-tail)"), c.tNull) << c.name;
        // Exactly the value, or Null where it is NaN.
        for (auto [col, v] : std::vector<std::pair<const char*, double>>{
                 {"Covariance", c.covariance}, {"T-DF", c.tdf}, {"Correlation", c.correlation}}) {
            if (std::isnan(v)) {
                EXPECT_TRUE(r.IsNull(col)) << c.name << " " << col;
            } else {
                EXPECT_EQ(r.Num(col), v) << c.name << " " << col;
            }
        }
    }
}

TEST_F(CompareTest, ComparisonCountsAddFractionalWeightsUnrounded) {
    // Three records of weight 0.5 with X < Y add up to 1.5 (rounding after
    // each addition would leave 0); one of weight 1.5 with X = Y is 1.5, not 2.
    MakeTable("Data", {{"X", dbDouble}, {"Y", dbDouble}, {"Wt", dbDouble}},
              {{1.0, 2.0, 0.5}, {1.0, 3.0, 0.5}, {2.0, 5.0, 0.5}, {4.0, 4.0, 1.5}});
    auto rows = RunAndRead(compareSpec({{"X", "X"}, {"Y", "Y"}, {"Wt", "W"}}, "Out"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Num("Count<Y"), 1.5);
    EXPECT_EQ(rows[0].Num("Count=Y"), 1.5);
    EXPECT_EQ(rows[0].Num("Count>Y"), 0.0);
    EXPECT_EQ(rows[0].Num("Count_of_Y"), 3.0);
    EXPECT_EQ(rows[0].Num("Observations"), 4.0);
}

TEST_F(CompareTest, DataFarFromZeroKeepTheirDigits) {
    // Means 10^8 times the spread: X = 100000000 + x/10, Y = 100000000 + y/10.
    // Every statistic but the means is shift-invariant and is derived from
    // the small integers; the means add the shift exactly.
    const std::vector<long long> x = {3, 5, 10, 2, 7, 1}, y = {1, 2, 4, 3, 7, 2};
    std::vector<Row> data;
    for (std::size_t i = 0; i < x.size(); ++i)
        data.push_back({Variant(100000000.0 + static_cast<double>(x[i]) / 10), Variant(100000000.0 + static_cast<double>(y[i]) / 10)});
    MakeTable("Data", {{"X", dbDouble}, {"Y", dbDouble}}, data);
    auto rows = RunAndRead(compareSpec({{"X", "X"}, {"Y", "Y"}}, "Out"));
    ASSERT_EQ(rows.size(), 1u);
    ExactPairStats e = ExactPair(x, y, 1);
    e.meanX += 100000000;
    e.meanY += 100000000;
    expectPair(rows[0], e, 5, 9, "offset 1e8");
}

TEST_F(CompareTest, DataNear1e300KeepTheirDeviationCorrelationAndT) {
    // X = x·10^-300, Y = y·10^-300: every product of two deviations lies far
    // below the smallest double, yet the correlation, the deviation of the
    // difference and t are ordinary numbers, derived from the small integers.
    // The covariance itself (about 1e-600) is 0 in double precision.
    const std::vector<long long> x = {3, 5, 10, 2, 7, 1}, y = {1, 2, 4, 3, 7, 2};
    std::vector<Row> data;
    for (std::size_t i = 0; i < x.size(); ++i)
        data.push_back({Variant(std::stod(std::to_string(x[i]) + "e-300")), Variant(std::stod(std::to_string(y[i]) + "e-300"))});
    MakeTable("Data", {{"X", dbDouble}, {"Y", dbDouble}}, data);
    auto rows = RunAndRead(compareSpec({{"X", "X"}, {"Y", "Y"}}, "Out"));
    ASSERT_EQ(rows.size(), 1u);
    const ExactPairStats e = ExactPair(x, y, 300);
    const auto& r = rows[0];
    EXPECT_TRUE(AgreesTo(static_cast<double>(std::sqrt(e.varDiff)), r.Num("StdDevDiff"), 13));
    EXPECT_TRUE(AgreesTo(static_cast<double>(e.correlation), r.Num("Correlation"), 13));
    EXPECT_TRUE(AgreesTo(static_cast<double>(e.rSquare), r.Num("R-Square"), 13));
    EXPECT_TRUE(AgreesTo(static_cast<double>(e.t), r.Num("Paired_t-Value"), 13));
    EXPECT_TRUE(AgreesTo(static_cast<double>(e.meanDiff), r.Num("MeanDiff"), 13));
    EXPECT_EQ(r.Num("Covariance"), 0.0);
}

TEST_F(CompareTest, FieldsOfVeryDifferentSizesKeepTheirCorrelation) {
    // One field near 1, the other near 1e-300: the two were held in one unit,
    // in which the small field's squares vanished and the correlation was
    // left Null. The correlation and r² are those of the integers; the
    // covariance and the small field's mean are the integers' times 1e-300;
    // beside the large field the small one leaves no trace in the difference
    // (its share, 1e-300 of it, is far below the last digit).
    const std::vector<long long> x = {3, 5, 10, 2, 7, 1}, y = {1, 2, 4, 3, 7, 2}, none(x.size(), 0);
    struct Case {
        int ex, ey; // powers of ten of X and Y
    } cases[] = {{0, -300}, {-300, 0}};
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ex);
        std::vector<Row> data;
        for (std::size_t i = 0; i < x.size(); ++i)
            data.push_back({Variant(std::stod(std::to_string(x[i]) + "e" + std::to_string(c.ex))),
                            Variant(std::stod(std::to_string(y[i]) + "e" + std::to_string(c.ey)))});
        const std::string table = "Data" + std::to_string(++k), out = "Out" + std::to_string(k);
        MakeTable(table, {{"X", dbDouble}, {"Y", dbDouble}}, data);
        auto rows = RunAndRead(compareSpec({{"X", "X"}, {"Y", "Y"}}, out, table));
        ASSERT_EQ(rows.size(), 1u);
        const auto& r = rows[0];
        const ExactPairStats e = ExactPair(x, y, 0);
        // The difference is the large field's (less the small one: −Y when X is small).
        const ExactPairStats d = c.ex == 0 ? ExactPair(x, none, 0) : ExactPair(none, y, 0);
        const long double small = 1e-300L;
        EXPECT_TRUE(AgreesTo(static_cast<double>(e.correlation), r.Num("Correlation"), 13));
        EXPECT_TRUE(AgreesTo(static_cast<double>(e.rSquare), r.Num("R-Square"), 13));
        EXPECT_TRUE(AgreesTo(static_cast<double>(e.covariance * small), r.Num("Covariance"), 13));
        EXPECT_TRUE(AgreesTo(static_cast<double>(c.ex == 0 ? e.meanX : e.meanX * small), r.Num("MeanX"), 13));
        EXPECT_TRUE(AgreesTo(static_cast<double>(c.ey == 0 ? e.meanY : e.meanY * small), r.Num("MeanY"), 13));
        EXPECT_TRUE(AgreesTo(static_cast<double>(d.meanDiff), r.Num("MeanDiff"), 13));
        EXPECT_TRUE(AgreesTo(static_cast<double>(std::sqrt(d.varDiff)), r.Num("StdDevDiff"), 13));
        EXPECT_TRUE(AgreesTo(static_cast<double>(d.t), r.Num("Paired_t-Value"), 13));
    }
}

TEST_F(CompareTest, ChiSquareOfXAgainstYAsExpected) {
    // The runner never asks for it; a caller can. (3,1) (5,2) (10,4): Σ(x − y)²/y
    // = 4 + 4.5 + 9 = 17.5; (0,0) adds a cell without a contribution (m = 4);
    // (1,0) is left out.
    MakeTable("Data", {{"X", dbDouble}, {"Y", dbDouble}}, {{3.0, 1.0}, {5.0, 2.0}, {10.0, 4.0}, {0.0, 0.0}, {1.0, 0.0}});
    RunContext cx;
    vtest::BeginRun(cx, db);
    CompareSettings a;
    a.OutputTable1 = "Out";
    a.Table = "Data";
    a.fields = {"", "X", "Y"};
    a.nX = 1;
    a.bY = true;
    a.Switches = "nnnny";
    ASSERT_EQ(RunAnalysis<CCompare>(a, cx), "");
    auto rows = ReadTable("Out");
    ASSERT_EQ(rows.size(), 1u);
    const OutRow& r = rows[0];
    EXPECT_FALSE(r.Has("MeanX"));
    EXPECT_EQ(r.Num("Chi-DF"), 3.0);
    EXPECT_EQ(r.Num("Chi-Square"), 17.5);
    // 4 cells, 3 df: p = erfc(√(x/2)) + √(2x/π)·e^(−x/2) for χ² with 3 df; the
    // engine's incomplete gamma stops at a relative step of 3e-7.
    const double x = 17.5, pi = 3.14159265358979323846;
    EXPECT_TRUE(AgreesTo(std::erfc(std::sqrt(x / 2)) + std::sqrt(2 * x / pi) * std::exp(-x / 2), r.Num("Chi-Prob"), 6));
    EXPECT_TRUE(AgreesTo(std::sqrt(17.5 / 4), r.Num("Phi-Coeff"), 15));
    EXPECT_TRUE(AgreesTo(std::sqrt(17.5 / 21.5), r.Num("Coef_of_Contingency"), 15));
}

TEST_F(CompareTest, HugeWeightsKeepTheCovarianceCorrelationAndT) {
    // The pairs above with weights 1, 2, 1, 2, 1, 2 times c. The weight sum
    // W = 9c makes W − 1 = W in doubles, so the covariance is Dxy/W_k² and the
    // variance of the difference Dd/W_k² (W_k = 9, the integer weights'
    // sum), the correlation that of the integer weights, and t the mean
    // difference over √(Dd/W_k² / W). The squared weight sums overflowed:
    // with c = 1e200 the correlation, deviation and t were Null and the
    // covariance 0. With c = 1e300 the exact products of weights and
    // deviations overflowed in their split halves, and the run failed with
    // "Numeric field overflow.".
    const std::vector<long long> x = {3, 5, 10, 2, 7, 1}, y = {1, 2, 4, 3, 7, 2}, k = {1, 2, 1, 2, 1, 2};
    const ExactPairStats e = ExactPair(x, y, 0, k);
    ASSERT_EQ(e.W, 9);
    const long double popCov = e.covariance * (e.W - 1) / e.W, popVarDiff = e.varDiff * (e.W - 1) / e.W;
    int n = 0;
    for (const double c : {1e200, 1e300}) {
        SCOPED_TRACE(c);
        std::vector<Row> data;
        for (std::size_t i = 0; i < x.size(); ++i)
            data.push_back({Variant(static_cast<double>(x[i])), Variant(static_cast<double>(y[i])),
                            Variant(static_cast<double>(k[i]) * c)});
        const std::string table = "Heavy" + std::to_string(++n), out = "Out" + std::to_string(n);
        MakeTable(table, {{"X", dbDouble}, {"Y", dbDouble}, {"Wt", dbDouble}}, data);
        auto rows = RunAndRead(compareSpec({{"X", "X"}, {"Y", "Y"}, {"Wt", "W"}}, out, table));
        ASSERT_EQ(rows.size(), 1u);
        const auto& r = rows[0];
        const long double W = 9.0L * c;
        EXPECT_TRUE(AgreesTo(static_cast<double>(e.meanDiff), r.Num("MeanDiff"), 14));
        EXPECT_TRUE(AgreesTo(static_cast<double>(popCov), r.Num("Covariance"), 13));
        EXPECT_TRUE(AgreesTo(static_cast<double>(e.correlation), r.Num("Correlation"), 13));
        EXPECT_TRUE(AgreesTo(static_cast<double>(e.rSquare), r.Num("R-Square"), 13));
        EXPECT_TRUE(AgreesTo(static_cast<double>(std::sqrt(popVarDiff)), r.Num("StdDevDiff"), 13));
        EXPECT_TRUE(AgreesTo(static_cast<double>(W), r.Num("T-DF"), 14));
        EXPECT_TRUE(AgreesTo(static_cast<double>(e.meanDiff / std::sqrt(popVarDiff / W)), r.Num("Paired_t-Value"), 13));
        // t near 1e100: no probability a double holds above 0.
        EXPECT_EQ(r.Num("Prob_(2-tail)"), 0.0);
    }
}

TEST_F(CompareTest, ACovarianceNearOrBeyondTheLargestDoubleIsWrittenOrLeftNullNotFailingTheRun) {
    // X = 1 .. 6 and Y = 2 1 4 3 7 5, both times a scale; the correlation is
    // that of the integers, 16/√(35/2 · 70/3), and the covariance Sxy/5 =
    // 16/5 times the scale squared. The run failed ("Numeric field
    // overflow.") for both scales:
    // - 5·10^153: the covariance 8e307 is a double, though Sxy (4e308) is not;
    // - 10^154: the covariance 16/5·10^308 lies beyond a double, left Null.
    const double x[] = {1, 2, 3, 4, 5, 6}, y[] = {2, 1, 4, 3, 7, 5};
    const double correlation = 16 / std::sqrt(35.0 / 2 * 70.0 / 3);
    for (const double scale : {5e153, 1e154}) {
        SCOPED_TRACE(scale);
        std::vector<Row> data;
        for (int i = 0; i < 6; ++i) data.push_back({Variant(x[i] * scale), Variant(y[i] * scale)});
        const std::string table = scale < 1e154 ? "BigData" : "HugeData";
        MakeTable(table, {{"X", dbDouble}, {"Y", dbDouble}}, data);
        auto rows = RunAndRead(compareSpec({{"X", "X"}, {"Y", "Y"}}, table + "Out", table));
        ASSERT_EQ(rows.size(), 1u);
        if (scale < 1e154) {
            EXPECT_TRUE(AgreesTo(16.0 / 5 * 2.5e307, rows[0].Num("Covariance"), 13));
        } else {
            EXPECT_TRUE(rows[0].IsNull("Covariance"));
        }
        EXPECT_TRUE(AgreesTo(correlation, rows[0].Num("Correlation"), 13));
    }
}

TEST_F(CompareTest, ValuesSpanningBeyondADoubleKeepTheirMeansCovarianceAndT) {
    // X from -1.5e308 to 1.7e308 against Y = 0.5 .. 2: the deviations of X from
    // its first value reach 3.2e308, beyond the largest double, and the run
    // failed ("Numeric field overflow."). By hand (long double, whose range
    // holds every sum): the mean of X is 5e306, Σ(x − x̄)(y − ȳ) = 2.9e308,
    // so the covariance is 2.9e308/3 and r = 2.9/√(7.13·1.25).
    const long double x[] = {-1.5e308L, -1e308L, 1e308L, 1.7e308L}, y[] = {0.5, 1, 1.5, 2};
    std::vector<Row> data;
    for (int i = 0; i < 4; ++i) data.push_back({Variant(static_cast<double>(x[i])), Variant(static_cast<double>(y[i]))});
    MakeTable("Span", {{"X", dbDouble}, {"Y", dbDouble}}, data);
    long double mx = 0, my = 0;
    for (int i = 0; i < 4; ++i) mx += x[i] / 4, my += y[i] / 4;
    long double cxy = 0, cyy = 0, cdd = 0;
    const long double md = mx - my;
    for (int i = 0; i < 4; ++i) {
        cxy += (x[i] - mx) * (y[i] - my);
        cyy += (y[i] - my) * (y[i] - my);
        cdd += (x[i] - y[i] - md) * (x[i] - y[i] - md);
    }
    long double cxx = 0;
    for (int i = 0; i < 4; ++i) cxx += (x[i] - mx) * (x[i] - mx);
    auto rows = RunAndRead(compareSpec({{"X", "X"}, {"Y", "Y"}}, "SpanOut", "Span"));
    ASSERT_EQ(rows.size(), 1u);
    const auto& r = rows[0];
    EXPECT_EQ(r.Num("Count<Y"), 2.0);
    EXPECT_EQ(r.Num("Count>Y"), 2.0);
    EXPECT_TRUE(AgreesTo(static_cast<double>(mx), r.Num("MeanX"), 14));
    EXPECT_TRUE(AgreesTo(1.25, r.Num("MeanY"), 15));
    EXPECT_TRUE(AgreesTo(static_cast<double>(md), r.Num("MeanDiff"), 14));
    EXPECT_TRUE(AgreesTo(static_cast<double>(std::sqrt(cdd / 3)), r.Num("StdDevDiff"), 13));
    EXPECT_TRUE(AgreesTo(static_cast<double>(cxy / 3), r.Num("Covariance"), 13));
    EXPECT_TRUE(AgreesTo(static_cast<double>(cxy / std::sqrt(cxx * cyy)), r.Num("Correlation"), 13));
    EXPECT_TRUE(AgreesTo(static_cast<double>(md / std::sqrt(cdd / 3 / 4)), r.Num("Paired_t-Value"), 13));
    EXPECT_EQ(r.Num("T-DF"), 3.0);
}
