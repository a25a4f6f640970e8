// "Matrix" scenarios through the engine: each cell against the textbook
// formulas taken exactly on the pair's complete records (Exact.h), the
// closed-form t probabilities, weights, and the refusal of column names
// that cannot be told apart.
#include "AnalysisFixture.h"
#include "Exact.h"
#include "analyses/descriptive/CCorrMatrix.h"
#include "support/AnalysisSeam.h"

#include <cmath>

using namespace dao;
using namespace atest;

namespace {

const char* kStats[] = {"MCnt", "MMis", "MMean", "MDev", "MCov", "MCor", "MR2", "MT", "MProb"};

vtest::ScenarioSpec matrixSpec(const std::vector<vtest::ScenarioFieldRow>& fields, const std::string& out,
                               const std::string& tail = "2-tail", const std::string& table = "Data") {
    vtest::ScenarioSpec s;
    s.subType = "Matrix";
    s.inputTable = table;
    s.outputTable1 = out;
    for (const char* k : kStats) s.options.push_back({k, true});
    s.options.push_back({"MProbTail", tail});
    s.fields = fields;
    return s;
}

// The values of two columns over the records where both are present.
struct Pairwise {
    std::vector<long long> x, y, w;
};
Pairwise complete(const std::vector<std::vector<long long>>& cols, std::size_t i, std::size_t j,
                  const std::vector<long long>& w, long long absent) {
    Pairwise p;
    for (std::size_t r = 0; r < cols[i].size(); ++r) {
        if (cols[i][r] == absent || cols[j][r] == absent || (!w.empty() && w[r] == 0)) continue;
        p.x.push_back(cols[i][r]);
        p.y.push_back(cols[j][r]);
        p.w.push_back(w.empty() ? 1 : w[r]);
    }
    return p;
}

const double kNull = std::nan("");

// A cell of column B: its row, the row's label and the value (kNull: Null).
struct CellOfB {
    std::size_t row;
    const char* label;
    double value;
};
// Each cell to `digits` significant digits (0 exactly).
void checkCellsOfB(const std::vector<OutRow>& rows, const std::vector<CellOfB>& cells, int digits) {
    for (const auto& c : cells) {
        const OutRow& r = rows[c.row];
        ASSERT_EQ(r["CalcType"].ToString(), c.label);
        if (std::isnan(c.value)) {
            EXPECT_TRUE(r.IsNull("B")) << c.label << " " << r.Num("B");
        } else if (c.value == 0) {
            EXPECT_EQ(r.Num("B"), 0.0) << c.label;
        } else {
            EXPECT_TRUE(AgreesTo(c.value, r.Num("B"), digits)) << c.label;
        }
    }
}

const long long N = -999999; // absent

class MatrixTest : public AnalysisTest {
protected:
    // Runs a three-field matrix over integer data scaled by 10^scale (absent:
    // Null) and checks every cell of the 27 rows against the exact pair statistics.
    void checkMatrix(const std::vector<std::vector<long long>>& cols, const std::vector<long long>& w, int scale,
                     double offset, int digits, const std::string& tail, const std::string& out) {
        const long long absent = N;
        const char* names[] = {"A", "B", "C"};
        std::vector<Row> data;
        for (std::size_t r = 0; r < cols[0].size(); ++r) {
            Row row;
            for (std::size_t f = 0; f < 3; ++f)
                row.push_back(cols[f][r] == absent ? Variant::Null()
                                                   : Variant(offset + static_cast<double>(cols[f][r]) / static_cast<double>(Pow10(scale))));
            row.push_back(w.empty() ? Variant(1.0) : Variant(static_cast<double>(w[r])));
            data.push_back(row);
        }
        MakeTable(out + "Data", {{"A", dbDouble}, {"B", dbDouble}, {"C", dbDouble}, {"Wt", dbDouble}}, data);
        std::vector<vtest::ScenarioFieldRow> fields = {{"A", "X"}, {"B", "X"}, {"C", "X"}};
        if (!w.empty()) fields.push_back({"Wt", "W"});
        auto rows = RunAndRead(matrixSpec(fields, out, tail, out + "Data"));
        EXPECT_EQ(ColumnNames(out), (std::vector<std::string>{"DataField", "CalcType", "A", "B", "C"}));
        ASSERT_EQ(rows.size(), 27u);
        const std::string probLabel = "Prob (" + tail.substr(0, 1) + "-tail)";
        const char* labels[] = {"Count", "Missing", "MeanDiff", "StdDevDiff", "Covariance", "Correlation", "R-Square", "t-Value", probLabel.c_str()};
        for (std::size_t k = 0; k < 9; ++k) {
            for (std::size_t i = 0; i < 3; ++i) {
                const OutRow& r = rows[k * 3 + i];
                EXPECT_EQ(r["DataField"].ToString(), names[i]);
                EXPECT_EQ(r["CalcType"].ToString(), labels[k]);
                for (std::size_t j = 0; j < 3; ++j) {
                    std::string what = std::string(labels[k]) + " " + names[i] + "," + names[j];
                    Pairwise p = complete(cols, i, j, w, absent);
                    long long W = 0;
                    for (long long v : p.w) W += v;
                    const double cell = r.Num(names[j]);
                    if (k == 0) {
                        EXPECT_EQ(cell, static_cast<double>(W)) << what;
                        continue;
                    }
                    if (k == 1) {
                        EXPECT_EQ(cell, static_cast<double>(cols[0].size() - p.x.size())) << what;
                        continue;
                    }
                    ExactPairStats e = ExactPair(p.x, p.y, scale, p.w);
                    const bool spread = e.varDiff > 0; // the diagonal has none
                    long double expected = 0;
                    switch (k) {
                    case 2: expected = e.meanDiff; break;
                    case 3: expected = std::sqrt(e.varDiff); break;
                    case 4: expected = e.covariance; break;
                    case 5: expected = e.correlation; break;
                    case 6: expected = e.rSquare; break;
                    case 7: expected = e.t; break;
                    default: expected = TTwoTailed(e.t, static_cast<int>(W - 1)) / (tail[0] == '1' ? 2 : 1);
                    }
                    if (!spread && (k == 3 || k == 7 || k == 8)) {
                        EXPECT_TRUE(std::isnan(cell)) << what;
                    } else if (i == j && (k == 2 || k == 5 || k == 6)) {
                        EXPECT_EQ(cell, k == 2 ? 0.0 : 1.0) << what; // exactly, on the diagonal
                    } else {
                        EXPECT_TRUE(AgreesTo(static_cast<double>(expected), cell, k == 8 ? std::min(digits, 9) : digits)) << what;
                    }
                }
            }
        }
    }
};

} // namespace

TEST_F(MatrixTest, PairwiseCompleteCellsUnweighted) {
    // C is absent in the second record: the pairs with C have 3 records
    // (2 df), A with B has 4 (3 df).
    checkMatrix({{1, 2, 4, 6}, {2, 1, 3, 8}, {5, N, 1, 2}}, {}, 0, 0, 13, "2-tail", "Two");
}

TEST_F(MatrixTest, OneTailedProbabilityIsHalved) {
    checkMatrix({{1, 2, 4, 6}, {2, 1, 3, 8}, {5, N, 1, 2}}, {}, 0, 0, 13, "1-tail", "One");
}

TEST_F(MatrixTest, IntegerWeightsCountAsRepeatedRecords) {
    // Weights 1, 2, 0 (the record adds nothing and counts as missing), 1, 1:
    // W = 5 for A with B (4 df), 4 for the pairs with C (3 df).
    checkMatrix({{1, 2, 9, 4, 6}, {2, 1, 9, 3, 8}, {5, N, 9, 1, 2}}, {1, 2, 0, 1, 1}, 0, 0, 13, "2-tail", "Wtd");
}

TEST_F(MatrixTest, EachPairKeepsItsOwnRecordsWhicheverFieldIsMissing) {
    // Every field lacks a value somewhere, the first and the middle ones
    // too: each pair is summed over the records where both are present, with
    // weights, whichever of its two fields the others lack. W = 4 for A with
    // B and for B with C, 5 for A with C (the t tails in closed form).
    checkMatrix({{1, N, 4, 6, 3, 2}, {2, 1, N, 8, 5, 7}, {5, 3, 1, N, 2, 9}}, {1, 1, 2, 1, 1, 1}, 0, 0, 13, "2-tail",
                "Holes");
}

TEST_F(MatrixTest, DataFarFromZeroKeepTheirDigits) {
    // Means 10^8 times the spread: 100000000 + N/10; every statistic but the
    // mean difference is shift-invariant, and that one cancels the shift.
    checkMatrix({{3, 5, 10, 2, 7}, {1, 2, 4, 3, 7}, {4, N, 6, 1, 9}}, {}, 1, 100000000.0, 9, "2-tail", "Far");
}

TEST_F(MatrixTest, AWeightOfAtMostOneLeavesTheDividingCellsNull) {
    // Two records of weights 0.25 and 0.5: n = 2 but W = 0.75, so (W − 1)·W < 0.
    // The weighted means (1·0.25 + 3·0.5)/0.75 = 7/3 and (2·0.25 + 1·0.5)/0.75
    // = 4/3 differ by 1; two points fall on a line of negative slope: r = −1.
    MakeTable("Data", {{"A", dbDouble}, {"B", dbDouble}, {"Wt", dbDouble}}, {{1.0, 2.0, 0.25}, {3.0, 1.0, 0.5}});
    auto rows = RunAndRead(matrixSpec({{"A", "X"}, {"B", "X"}, {"Wt", "W"}}, "Out"));
    ASSERT_EQ(rows.size(), 18u);
    checkCellsOfB(rows,
                  {{0, "Count", 0.75}, {2, "Missing", 0}, {4, "MeanDiff", 1}, {6, "StdDevDiff", kNull},
                   {8, "Covariance", kNull}, {10, "Correlation", -1}, {12, "R-Square", 1}, {14, "t-Value", kNull},
                   {16, "Prob (2-tail)", kNull}},
                  14);
}

TEST_F(MatrixTest, AFieldConstantOverAPairButNotAtItsOriginDoesNotVary) {
    // A is constant over the records where B is present; its other values
    // (B absent) lie apart: its first value (the origin of its deviations),
    // and in the second case larger values too, whose squares A's sums hold.
    // The pair's sums keep a few units of the rounding of A's whole sums:
    // that must read as no spread (no correlation, covariance 0), not as a
    // correlation of rounding (it was 0). The difference A − B has B's
    // spread. By hand:
    //  - A 7.1, B = 1, 2, 4: variance 7/3, mean difference 7.1 − 7/3 = 143/30,
    //    t = (143/30)/√(7/9) = 143/(10·√7);
    //  - A 1.4, B = 4, 1, 2, 3, 2: mean 2.4, variance 5.2/4 = 1.3, mean
    //    difference 1.4 − 2.4 = −1, t = −1/√(1.3/5).
    struct Case {
        const char* why;
        std::vector<Row> data; // A, B
        std::vector<CellOfB> cells;
    };
    const Variant none = Variant::Null();
    const std::vector<Case> cases = {
        {"origin apart", {{5.0, none}, {7.1, 1.0}, {7.1, 2.0}, {7.1, 4.0}},
         {{0, "Count", 3}, {2, "Missing", 1}, {4, "MeanDiff", 143.0 / 30}, {6, "StdDevDiff", std::sqrt(7.0 / 3)},
          {8, "Covariance", 0}, {10, "Correlation", kNull}, {12, "R-Square", kNull},
          {14, "t-Value", 143 / (10 * std::sqrt(7.0))}}},
        {"larger values apart", {{1.2, none}, {1.4, 4.0}, {1.4, 1.0}, {1.4, 2.0}, {1.4, 3.0}, {1.4, 2.0}, {18.2, none}, {29.3, none}},
         {{0, "Count", 5}, {2, "Missing", 3}, {4, "MeanDiff", -1}, {6, "StdDevDiff", std::sqrt(1.3)},
          {8, "Covariance", 0}, {10, "Correlation", kNull}, {12, "R-Square", kNull},
          {14, "t-Value", -1 / std::sqrt(0.26)}}},
    };
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string table = "Data" + std::to_string(++k), out = "Out" + std::to_string(k);
        MakeTable(table, {{"A", dbDouble}, {"B", dbDouble}}, c.data);
        auto rows = RunAndRead(matrixSpec({{"A", "X"}, {"B", "X"}}, out, "2-tail", table));
        ASSERT_EQ(rows.size(), 18u);
        checkCellsOfB(rows, c.cells, 13);
    }
}

TEST_F(MatrixTest, ColumnNamesThatCannotBeToldApartAreRefused) {
    // Stored scenarios hold names of up to 64 characters, so the second case
    // calls the entry directly, as any caller may.
    const std::string long1 = std::string(64, 'L') + "1", long2 = std::string(64, 'L') + "2";
    MakeTable("Data", {{"CalcType", dbDouble}, {long1, dbDouble}, {long2, dbDouble}, {"X", dbDouble}},
              {{1.0, 2.0, 3.0, 4.0}});
    struct Case {
        FieldList fields;
        std::string column; // the name two columns would share
    };
    const Case cases[] = {
        {{"", "CalcType", "X"}, "CalcType"},        // a field named like the label column
        {{"", long1, long2}, std::string(64, 'L')}, // equal in their first 64 characters
    };
    std::string err;
    EXPECT_FALSE(Run(Store(matrixSpec({{"CalcType", "X"}, {"X", "X"}}, "Out")), &err));
    EXPECT_EQ(err, "The output table cannot hold two columns named \"CalcType\": rename the source field or choose other options.");
    RunContext cx;
    vtest::BeginRun(cx, db);
    for (auto c : cases) {
        MatrixSettings a;
        a.OutputTable1 = "Out";
        a.Table = "Data";
        a.fields = c.fields;
        a.nX = 2;
        a.ProbTail = "2";
        a.Switches = "YYYYYYYYY";
        EXPECT_EQ(RunAnalysis<CCorrMatrix>(a, cx),
                  "The output table cannot hold two columns named \"" + c.column +
                      "\": rename the source field or choose other options.");
        EXPECT_FALSE(TableExists("Out"));
    }
}

TEST_F(MatrixTest, ACovarianceNearOrBeyondTheLargestDoubleIsWrittenOrLeftNullNotFailingTheRun) {
    // A = 1 .. 6 and B = 2 1 4 3 7 5, both times a scale. By hand, unscaled:
    // Sab = 16, Saa = 35/2, Sbb = 70/3 over 5 degrees of freedom, so the
    // covariances are 16/5, 7/2 and 14/3 times the scale squared, and
    // r = 16/√(35/2 · 70/3) whatever the scale. The run failed ("Numeric
    // field overflow.") for both scales:
    // - 5·10^153: the covariances 8e307, 8.75e307 and 1.1667e308 are
    //   doubles, though Sab itself (4e308) is not; the sum was brought back
    //   before its division;
    // - 10^154: the covariances lie beyond a double and are left Null; the
    //   correlation stands.
    const double a[] = {1, 2, 3, 4, 5, 6}, b[] = {2, 1, 4, 3, 7, 5};
    for (const double scale : {5e153, 1e154}) {
        SCOPED_TRACE(scale);
        const std::string table = scale < 1e154 ? "BigData" : "HugeData";
        std::vector<Row> data;
        for (int i = 0; i < 6; ++i) data.push_back({a[i] * scale, b[i] * scale, Variant::Null(), 1.0});
        MakeTable(table, {{"A", dbDouble}, {"B", dbDouble}, {"C", dbDouble}, {"Wt", dbDouble}}, data);
        auto rows = RunAndRead(matrixSpec({{"A", "X"}, {"B", "X"}}, table + "Out", "2-tail", table));
        ASSERT_EQ(rows.size(), 18u);
        const OutRow& covA = rows[8];
        const OutRow& covB = rows[9];
        ASSERT_EQ(covA["CalcType"].ToString(), "Covariance");
        ASSERT_EQ(covB["CalcType"].ToString(), "Covariance");
        if (scale < 1e154) {
            EXPECT_TRUE(AgreesTo(16.0 / 5 * 2.5e307, covA.Num("B"), 13));
            EXPECT_TRUE(AgreesTo(16.0 / 5 * 2.5e307, covB.Num("A"), 13));
            EXPECT_TRUE(AgreesTo(7.0 / 2 * 2.5e307, covA.Num("A"), 13));
            EXPECT_TRUE(AgreesTo(14.0 / 3 * 2.5e307, covB.Num("B"), 13));
        } else {
            for (const OutRow* cov : {&covA, &covB}) {
                EXPECT_TRUE(cov->IsNull("A"));
                EXPECT_TRUE(cov->IsNull("B"));
            }
        }
        EXPECT_TRUE(AgreesTo(16 / std::sqrt(35.0 / 2 * 70.0 / 3), rows[10].Num("B"), 13));
    }
}

TEST_F(MatrixTest, ValuesSpanningBeyondADoubleKeepTheirStatistics) {
    // A from -1.5e308 to 1.7e308, B = 0.5 .. 2: the deviations of A from its
    // first value reach 3.2e308, beyond the largest double, and the run
    // failed ("Numeric field overflow."). By hand (long double, whose range
    // holds every sum): Ā − B̄ = 5e306 − 1.25, the covariance of A and B is
    // 2.9e308/3 (a double), A's own 7.13e616/3 is not and is left Null.
    const long double a[] = {-1.5e308L, -1e308L, 1e308L, 1.7e308L}, b[] = {0.5, 1, 1.5, 2};
    std::vector<Row> data;
    for (int i = 0; i < 4; ++i)
        data.push_back({static_cast<double>(a[i]), static_cast<double>(b[i]), Variant::Null(), 1.0});
    MakeTable("SpanData", {{"A", dbDouble}, {"B", dbDouble}, {"C", dbDouble}, {"Wt", dbDouble}}, data);
    long double ma = 0, mb = 0;
    for (int i = 0; i < 4; ++i) ma += a[i] / 4, mb += b[i] / 4;
    long double caa = 0, cab = 0, cbb = 0, cdd = 0;
    const long double md = ma - mb;
    for (int i = 0; i < 4; ++i) {
        caa += (a[i] - ma) * (a[i] - ma);
        cab += (a[i] - ma) * (b[i] - mb);
        cbb += (b[i] - mb) * (b[i] - mb);
        cdd += (a[i] - b[i] - md) * (a[i] - b[i] - md);
    }
    auto rows = RunAndRead(matrixSpec({{"A", "X"}, {"B", "X"}}, "Span", "2-tail", "SpanData"));
    ASSERT_EQ(rows.size(), 18u);
    // Row A, column B: A minus B.
    ASSERT_EQ(rows[4]["DataField"].ToString(), "A");
    EXPECT_TRUE(AgreesTo(static_cast<double>(md), rows[4].Num("B"), 14));
    EXPECT_TRUE(AgreesTo(static_cast<double>(std::sqrt(cdd / 3)), rows[6].Num("B"), 13));
    ASSERT_EQ(rows[8]["CalcType"].ToString(), "Covariance");
    EXPECT_TRUE(rows[8].IsNull("A"));
    EXPECT_TRUE(AgreesTo(static_cast<double>(cab / 3), rows[8].Num("B"), 13));
    EXPECT_TRUE(AgreesTo(static_cast<double>(cbb / 3), rows[9].Num("B"), 14));
    EXPECT_TRUE(AgreesTo(static_cast<double>(cab / std::sqrt(caa * cbb)), rows[10].Num("B"), 13));
    EXPECT_TRUE(AgreesTo(static_cast<double>(md / std::sqrt(cdd / 3 / 4)), rows[14].Num("B"), 13));
}
