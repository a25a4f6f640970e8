// "2 Sample" scenarios of type "Wald" (the runs test): runs counted by hand
// on small samples; mean and variance from the textbook formulas
// 2·N1·N2/N + 1 and 2·N1·N2(2·N1·N2 − N) / (N²(N − 1)); probabilities as the
// upper normal tail 0.5·erfc(|Z|/√2).
#include "AnalysisFixture.h"
#include "OutputCells.h"

#include <cmath>

using namespace dao;
using namespace atest;
using namespace cells;

namespace {

vtest::ScenarioSpec runsScenario(bool weighted, bool grouped = false) {
    vtest::ScenarioSpec s = vtest::ScenarioOn("N", "2 Sample", "Data", "Runs");
    s.options = {{"NPTwoType", "Wald"}};
    if (grouped) s.fields.push_back({"G", "G"});
    s.fields.push_back({"S", "C"});
    s.fields.push_back({"X", "X"});
    if (weighted) s.fields.push_back({"W", "W"});
    return s;
}

struct Expect {
    double n1, n2;
    double minRuns, maxRuns, ties, tiedGroups, missing;
};

// The Z of a runs count: below 50 cases |r − mean| shrinks by 0.5 (not past 0).
double zOf(double r, double n1, double n2) {
    const double N = n1 + n2, P = 2 * n1 * n2;
    const double mean = P / N + 1, sd = std::sqrt(P * (P - N) / (N * N * (N - 1)));
    double d = r - mean;
    if (N < 50) d = d >= 0.5 ? d - 0.5 : d <= -0.5 ? d + 0.5 : 0.0;
    return d / sd;
}

// The compare field S, the values X and the weights W.
const std::vector<Column> kSXW = {{"S", dbText, 5}, {"X"}, {"W"}};

class RunsTest : public CellsTest {
protected:
    void data(const std::vector<Column>& cols, const std::vector<Row>& rows) { Replace("Data", cols, rows); }
    std::vector<OutRow> run(const vtest::ScenarioSpec& spec) { return RunAndRead(spec, "Runs"); }
    static void check(const OutRow& r, const Expect& x, const std::string& what) {
        const double N = x.n1 + x.n2, P = 2 * x.n1 * x.n2;
        ExpectCells(r, {{"Count", N}, {"Cases-1", x.n1}, {"Cases-2", x.n2}, {"Missing", x.missing},
                        {"Wald_Min_Runs", x.minRuns}, {"Wald_Max_Runs", x.maxRuns}, {"Ties", x.ties},
                        {"TiedGroups", x.tiedGroups}}, what);
        EXPECT_DOUBLE_EQ(r.Num("Wald_Mean"), P / N + 1) << what;
        EXPECT_NEAR(r.Num("Wald_StdDev"), std::sqrt(P * (P - N) / (N * N * (N - 1))), 1e-12) << what;
        const double zMin = zOf(x.minRuns, x.n1, x.n2), zMax = zOf(x.maxRuns, x.n1, x.n2);
        ExpectCellsNear(r, {{"Wald_Min_Z", zMin}, {"Wald_Max_Z", zMax}}, 1e-9, what);
        ExpectCellsNear(r, {{"Wald_Min_Prob", 0.5 * std::erfc(std::fabs(zMin) / std::sqrt(2.0))},
                            {"Wald_Max_Prob", 0.5 * std::erfc(std::fabs(zMax) / std::sqrt(2.0))}}, 1e-6, what);
    }
};

} // namespace

TEST_F(RunsTest, MinimumAndMaximumRunsOfHandCountedArrangements) {
    const struct {
        std::vector<Row> rows; // S, X, W
        Expect x;
        const char* why;
    } cases[] = {
        {{{"A", 1.0, 1.0}, {"B", 2.0, 1.0}, {"A", 3.0, 1.0}, {"A", 4.0, 1.0}, {"B", 5.0, 1.0}},
         {3, 2, 4, 4, 0, 0, 0}, "no ties: A|B|AA|B, both counts 4"},
        {{{"A", 7.0, 1.0}, {"B", 7.0, 1.0}, {"A", 7.0, 1.0}, {"B", 7.0, 1.0}, {"A", 7.0, 1.0}, {"B", 7.0, 1.0}},
         {3, 3, 2, 6, 6, 1, 0}, "one value shared by three of each: AAABBB or ABABAB"},
        {{{"A", 1.0, 1.0}, {"A", 2.0, 1.0}, {"A", 2.0, 1.0}, {"B", 2.0, 1.0}, {"A", 3.0, 1.0}},
         {4, 1, 3, 3, 3, 1, 0}, "block AAB between A runs: A|AAB|A and A|ABA|A both give 3 (the maximum adds 2, not 3)"},
        {{{"B", 1.0, 1.0}, {"A", 2.0, 1.0}, {"A", 2.0, 1.0}, {"B", 2.0, 1.0}, {"A", 3.0, 1.0}},
         {3, 2, 2, 4, 3, 1, 0}, "block AAB after B, before A: B|BAA|A gives 2, B|ABA|A gives 4"},
        {{{"A", 1.0, 2.6}, {"B", 2.0, 0.5}, {"B", 3.0, 1.0}, {"A", 4.0, Variant::Null()}, {"B", Variant::Null(), 1.0},
          {"A", 5.0, 0.0}},
         {3, 2, 2, 2, 0, 0, 3}, "weights 2.6 and 0.5+1 round to 3 and 2; Null, 0 and Null weight are missing"},
    };
    for (const auto& c : cases) {
        data(kSXW, c.rows);
        check(run(runsScenario(true)).at(0), c.x, c.why);
    }
}

TEST_F(RunsTest, ContinuityCorrectionShrinksTheDistanceToTheMean) {
    // 25 A below 24 or 25 B: two runs. N = 49 takes the correction, N = 50 does not.
    for (int nB : {24, 25}) {
        std::vector<Row> rows;
        for (int i = 0; i < 25; ++i) rows.push_back({"A", double(i), 1.0});
        for (int i = 0; i < nB; ++i) rows.push_back({"B", 100.0 + i, 1.0});
        data(kSXW, rows);
        auto out = run(runsScenario(false));
        ASSERT_EQ(out.size(), 1u);
        const double N = 25.0 + nB, P = 2 * 25.0 * nB, mean = P / N + 1;
        const double sd = std::sqrt(P * (P - N) / (N * N * (N - 1)));
        const double z = nB == 24 ? (2 - mean + 0.5) / sd : (2 - mean) / sd;
        EXPECT_NEAR(out[0].Num("Wald_Min_Z"), z, 1e-9) << N;
        EXPECT_LT(std::fabs(out[0].Num("Wald_Min_Z")), std::fabs((2 - mean) / sd) + 1e-12) << N;
    }
}

TEST_F(RunsTest, RunsWithOneSampleOnlyLeaveZAndProbabilityNull) {
    data({{"G", dbText, 5}, {"S", dbText, 5}, {"X"}},
              {{"g1", "A", 1.0}, {"g1", "A", 2.0}, {"g1", "A", 3.0}, {"g2", "B", 1.0}, {"g2", "A", 2.0}, {"g3", "B", 9.0}});
    auto out = run(runsScenario(false, true));
    ASSERT_EQ(out.size(), 3u);
    // g1: sd = 0 (N2 = 0): no Z, no probability.
    ExpectCells(out[0], {{"Wald_StdDev", 0}, {"Wald_Min_Runs", 1}, {"Wald_Min_Z", NAN}, {"Wald_Min_Prob", NAN},
                         {"Wald_Max_Z", NAN}, {"Wald_Max_Prob", NAN}}, "g1");
    // g2: B at 1, A at 2: two runs, N1 = N2 = 1; the pair columns name the two values.
    EXPECT_EQ(out[1].Num("Wald_Min_Runs"), 2.0);
    EXPECT_EQ(out[1]["S-1"].ToString(), "A");
    EXPECT_EQ(out[1]["S-2"].ToString(), "B");
    // g3: one case: lead columns only.
    ExpectCells(out[2], {{"Count", 1}, {"Wald_Mean", NAN}}, "g3");
}

TEST_F(RunsTest, NullFirstCompareValueIsSampleOne) {
    // Distinct values: Null, "B". Null rows are sample 1: N1 = 2, N2 = 1, runs Null|B|Null = 3.
    data(kSXW, {{Variant::Null(), 1.0, 1.0}, {"B", 2.0, 1.0}, {Variant::Null(), 3.0, 1.0}});
    auto out = run(runsScenario(false));
    ASSERT_EQ(out.size(), 1u);
    ExpectCells(out[0], {{"Cases-1", 2}, {"Cases-2", 1}, {"Wald_Max_Runs", 3}});
}

TEST_F(RunsTest, CompareFieldMustHoldExactlyTwoValues) {
    const struct {
        std::vector<Row> rows;
        const char* message;
    } cases[] = {
        {{{"A", 1.0, 1.0}}, "Compare Field has 1 value.\r\nTwo values are required."},
        {{{"A", 1.0, 1.0}, {"B", 1.0, 1.0}, {Variant::Null(), 1.0, 1.0}},
         "Compare Field has 3 values.\r\nOnly two values are permitted."},
    };
    for (const auto& c : cases) {
        data(kSXW, c.rows);
        std::string err;
        EXPECT_FALSE(Run(Store(runsScenario(false)), &err));
        EXPECT_EQ(err, c.message);
        EXPECT_FALSE(TableExists("Runs"));
    }
}
