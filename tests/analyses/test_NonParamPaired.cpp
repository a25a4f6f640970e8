// "Paired Fields" scenarios: means, counts and Pearson's r from sums worked
// by hand; the sign test Z = ((m − n/2) − 0.5) / (0.5·√n); Wilcoxon's signed
// ranks by hand with Z = (T − n(n+1)/4) / √(n(n+1)(2n+1)/24); Spearman's rho
// from squared rank differences and, with ties, as Pearson's r of the
// mid-ranks; Kendall's tau-a, tau-b and the variance of S with ties from the
// textbook (Kendall 1970); Student's t tails in closed form for 2 and 3
// degrees of freedom, normal tails as erfc(|z|/√2).
#include "AnalysisFixture.h"
#include "OutputCells.h"

#include "analyses/nonparametric/CNonParametric.h"
#include "support/AnalysisSeam.h"

#include <cmath>
#include <random>

using namespace dao;
using namespace atest;
using namespace cells;

namespace {

const double pi = 3.14159265358979323846;

// Two-sided Student's t tail for 2 and 3 degrees of freedom.
double tTail(double t, int df) {
    t = std::fabs(t);
    if (df == 2) return 1 - t / std::sqrt(2 + t * t);
    const double u = t / std::sqrt(3.0);
    return 1 - 2 / pi * (std::atan(u) + u / (1 + u * u));
}
double normalTwoSided(double z) { return std::erfc(std::fabs(z) / std::sqrt(2.0)); }

vtest::ScenarioSpec pairedScenario(bool weighted) {
    vtest::ScenarioSpec s = vtest::ScenarioOn("N", "Paired Fields", "Data", "Out");
    s.options = {{"NPPair_Sign", true}, {"NPPair_Wilcoxon", true}, {"NPPair_Spearman", true}};
    s.fields = {{"X", "X"}, {"Y", "Y"}};
    if (weighted) s.fields.push_back({"W", "W"});
    return s;
}

class PairedTest : public CellsTest {
protected:
    // Runs the scenario; `all` also turns on Kendall's tau and the chi-square,
    // which only a caller of the analysis itself can ask for.
    std::vector<OutRow> run(const std::vector<Row>& rows, bool weighted = false, bool all = false) {
        Replace("Data", {{"X"}, {"Y"}, {"W"}}, rows);
        VarnelloCore eng;
        eng.SetScenarioDatabase(db);
        if (all) {
            vtest::AnalysisOf<PairedFieldsSettings>(eng, "Paired Fields") = [](PairedFieldsSettings& a, RunContext& e) {
                a.Tau = true;
                a.ChiSquare = true;
                return RunAnalysis<CNonParametric>(a, e);
            };
        }
        EXPECT_TRUE(eng.RunScenario(Store(pairedScenario(weighted)))) << eng.ErrorInfo();
        return ReadTable("Out");
    }
};

} // namespace

TEST_F(PairedTest, MeansCountsSignWilcoxonAndSpearmanWithoutTies) {
    // x 1..5, y 2 1 4 3 5: d = −1 1 −1 1 0.
    auto out = run({{1.0, 2.0}, {2.0, 1.0}, {3.0, 4.0}, {4.0, 3.0}, {5.0, 5.0}});
    ASSERT_EQ(out.size(), 1u);
    const auto& r = out[0];
    // Four |d| = 1 share ranks 1..4 (2.5 each): T = 5 = n(n+1)/4.
    ExpectCells(r, {{"Count_of_Y", 5}, {"Mean", 3}, {"MeanY", 3}, {"MeanDiff", 0}, {"Count<Y", 2}, {"Count=Y", 1},
                    {"Count>Y", 2}, {"Wilcoxon_Neg_SumRank", 5}, {"Wilcoxon_Pos_SumRank", 5},
                    {"Wilcoxon_Neg_MeanRank", 2.5}, {"Wilcoxon_Z", 0}, {"TiedGroups_X", 0}});
    EXPECT_DOUBLE_EQ(r.Num("SignZ"), -0.5); // ((2 − 2) − 0.5) / (0.5·2)
    // Pearson: Sxy 8, Sxx = Syy = 10. Spearman: D = 4, rho = 1 − 24/120; t = rho·√(3 / (1 − rho²)).
    const double t = 0.8 * std::sqrt(3 / 0.36);
    ExpectCellsNear(r, {{"Pearson's_R", 0.8}, {"Spearman", 0.8}, {"Spearman_(ties)", 0.8}}, 1e-15);
    ExpectCellsNear(r, {{"Wilcoxon_Prob", 1.0}, {"Spearman_t", t}}, 1e-12);
    ExpectCellsNear(r, {{"SignProb", normalTwoSided(0.5)}, {"Spearman_Prob", tTail(t, 3)}}, 1e-6);
    // The same pairs shifted by 10^9: the means move, r and the tests stay.
    const double o = 1e9;
    out = run({{o + 1, o + 2}, {o + 2, o + 1}, {o + 3, o + 4}, {o + 4, o + 3}, {o + 5, o + 5}});
    ASSERT_EQ(out.size(), 1u);
    ExpectCells(out[0], {{"Mean", o + 3}, {"MeanDiff", 0}, {"Wilcoxon_Pos_SumRank", 5}}, "shifted");
    ExpectCellsNear(out[0], {{"Pearson's_R", 0.8}, {"Spearman", 0.8}}, 1e-15, "shifted");
}

TEST_F(PairedTest, PearsonOfFieldsNear1e300IsNotLeftNull) {
    // x 1..5 and y 2 1 4 3 5 as above, one of them times 1e-300: the squares
    // of its deviations (about 1e-600) vanished in the sums and Pearson's r
    // was left Null. r = 0.8 whatever the scale (Sxy 8, Sxx = Syy = 10); the
    // small field's mean is 3·1e-300.
    const double x[] = {1, 2, 3, 4, 5}, y[] = {2, 1, 4, 3, 5};
    for (const double sx : {1.0, 1e-300}) {
        const double sy = sx == 1.0 ? 1e-300 : 1.0;
        std::vector<Row> rows;
        for (std::size_t i = 0; i < 5; ++i) rows.push_back({x[i] * sx, y[i] * sy});
        auto out = run(rows);
        ASSERT_EQ(out.size(), 1u) << sx;
        EXPECT_NEAR(out[0].Num("Pearson's_R"), 0.8, 1e-15) << sx;
        EXPECT_TRUE(AgreesTo(3 * sx, out[0].Num("Mean"), 15)) << sx;
        EXPECT_TRUE(AgreesTo(3 * sy, out[0].Num("MeanY"), 15)) << sx;
    }
}

TEST_F(PairedTest, SpearmanAndKendallWithTies) {
    // x 1 1 2 3, y 1 2 2 3: mid-ranks x 1.5 1.5 3 4, y 1 2.5 2.5 4, D = 1.5.
    auto out = run({{1.0, 1.0}, {1.0, 2.0}, {2.0, 2.0}, {3.0, 3.0}}, false, true);
    ASSERT_EQ(out.size(), 1u);
    const auto& r = out[0];
    // Pearson's r of the mid-ranks: 3.75 / √(4.5·4.5).
    const double rhoT = 3.75 / 4.5, tT = rhoT * std::sqrt(2 / (1 - rhoT * rhoT));
    // Four concordant pairs, two tied, none discordant: S = 4, tau-a = 8/12,
    // tau-b = 4 / √((6 − 1)(6 − 1)); Var S = (4·3·13 − 18 − 18)/18 + 2·2/(2·12).
    const double z = 4 / std::sqrt(13.0 * 12 / 18), zT = 4 / std::sqrt(120.0 / 18 + 4.0 / 24);
    // Chi-square of x against y: (1 − 1)²/1 + (1 − 2)²/2 + 0 + 0 = 0.5 on 3 df.
    ExpectCells(r, {{"TiedGroups_X", 1}, {"TiedGroups_Y", 1}, {"Tau_Score", 4}, {"Chi-DF", 3}});
    EXPECT_DOUBLE_EQ(r.Num("Chi-Square"), 0.5);
    ExpectCellsNear(r, {{"Spearman", 1 - 6 * 1.5 / 60}, {"Tau", 8.0 / 12}, {"Tau_(ties)", 0.8},
                        {"Phi-Coefficient", std::sqrt(0.5 / 4)}, {"Coef_of_Contingency", std::sqrt(0.5 / 4.5)}}, 1e-15);
    ExpectCellsNear(r, {{"Spearman_(ties)", rhoT}, {"Spearman_t_(ties)", tT}, {"Tau_Z", z}, {"Tau_Z_(ties)", zT}}, 1e-12);
    ExpectCellsNear(r, {{"Spearman_Prob_(ties)", tTail(tT, 2)}, {"Tau_Prob", normalTwoSided(z)},
                        {"Tau_Prob_(ties)", normalTwoSided(zT)}}, 1e-6);
}

TEST_F(PairedTest, DegenerateFieldsLeaveUndefinedStatisticsNull) {
    const struct {
        std::vector<Row> rows;
        std::vector<Cell> values; // NaN: Null
        const char* why;
    } cases[] = {
        {{{1.0, 1.0}, {2.0, 2.0}, {3.0, 3.0}, {4.0, 4.0}},
         {{"Spearman", 1}, {"Spearman_t", NAN}, {"Spearman_Prob", 0}, {"SignZ", NAN}, {"SignProb", NAN},
          {"Wilcoxon_Z", NAN}, {"Wilcoxon_Neg_MeanRank", NAN}, {"Tau_Score", 6}, {"Tau", 1}},
         "SpearmanPerfectAgreementHasProbabilityZero, SignTestWithoutDifferencesIsNull"},
        {{{1.0, 2.0}, {2.0, 1.0}},
         {{"Spearman", -1}, {"Spearman_t", NAN}, {"Spearman_Prob", NAN}, {"Tau_Score", -1}, {"Tau_Z", NAN},
          {"Tau_Prob", NAN}},
         "SpearmanWithoutDegreesOfFreedomIsNull, KendallWithTwoPairsHasNoZ"},
        {{{5.0, 1.0}, {5.0, 2.0}, {5.0, 3.0}},
         {{"Pearson's_R", NAN}, {"Tau_Score", 0}, {"Tau_(ties)", NAN}, {"Tau_Z", 0}},
         "constant x: no Pearson's r, no tau-b"},
        // SpearmanWithAConstantFieldIsNull: one field constant (or both) has no
        // rank variance, so rho and everything made from it is undefined.
        {{{5.0, 1.0}, {5.0, 2.0}, {5.0, 3.0}, {5.0, 4.0}},
         {{"Spearman", NAN}, {"Spearman_t", NAN}, {"Spearman_Prob", NAN}, {"Spearman_(ties)", NAN},
          {"Spearman_t_(ties)", NAN}, {"Spearman_Prob_(ties)", NAN}, {"TiedGroups_X", 1}, {"TiedGroups_Y", 0}},
         "constant x, y varying: rho undefined"},
        {{{1.0, 7.0}, {2.0, 7.0}, {3.0, 7.0}, {4.0, 7.0}, {5.0, 7.0}},
         {{"Spearman", NAN}, {"Spearman_t", NAN}, {"Spearman_Prob", NAN}, {"Spearman_(ties)", NAN},
          {"Spearman_t_(ties)", NAN}, {"Spearman_Prob_(ties)", NAN}},
         "constant y, x varying: rho undefined"},
        {{{3.0, 3.0}, {3.0, 3.0}, {3.0, 3.0}},
         {{"Spearman", NAN}, {"Spearman_t", NAN}, {"Spearman_Prob", NAN}, {"Spearman_(ties)", NAN},
          {"Spearman_Prob_(ties)", NAN}, {"TiedGroups_X", 1}, {"TiedGroups_Y", 1}},
         "both constant: rho undefined"},
    };
    for (const auto& c : cases) {
        auto out = run(c.rows, false, true);
        ASSERT_EQ(out.size(), 1u) << c.why;
        ExpectCellsNear(out[0], c.values, 1e-12, c.why);
    }
}

TEST_F(PairedTest, WeightsAndMissingValues) {
    // Weight 2.7 below y: the count rounds once to 3, the Wilcoxon ranking takes 2 positions (1, 2);
    // weight 1 above with |d| 2: position 3. A Null y, a Null x and a weight of 0 are missing.
    auto out = run({{1.0, 2.0, 2.7}, {5.0, 3.0, 1.0}, {1.0, Variant::Null(), 1.0}, {Variant::Null(), 1.0, 1.0},
                    {4.0, 1.0, 0.0}},
                   true);
    ASSERT_EQ(out.size(), 1u);
    ExpectCells(out[0], {{"Count_of_Y", 3.7}, {"Mean", (2.7 + 5) / 3.7}}, "", Match::Ulps);
    ExpectCells(out[0], {{"Observations", 2}, {"Missing", 3}, {"Count<Y", 3}, {"Count>Y", 1}, {"Wilcoxon_Neg_SumRank", 3},
                         {"Wilcoxon_Pos_SumRank", 3}, {"Wilcoxon_Neg_MeanRank", 1.5}});
    // WholeWeightsSummingToZeroLeaveRanksNull: weights 0.5 and 0.6 take no rank position.
    out = run({{1.0, 2.0, 0.5}, {3.0, 1.0, 0.6}}, true);
    ASSERT_EQ(out.size(), 1u);
    ExpectCells(out[0], {{"Count_of_Y", 1.1}, {"Spearman", NAN}, {"Spearman_t", NAN}, {"Spearman_Prob", NAN},
                         {"TiedGroups_X", NAN}, {"Wilcoxon_Z", NAN}}, "fractional weights", Match::Ulps);
    // TwoRankPositionsGiveSpearmanTZeroNotProbabilityZero: weights 1.5 and 1.5
    // take one rank position each, so rho is −1 as for any two pairs, but the
    // weight sum 3 leaves n − 2 = 1 degree of freedom. t = 0 with two
    // positions; the two-sided t tail at 0 is 1, where a probability of 0 was
    // written as for a perfect agreement of three or more.
    out = run({{1.0, 2.0, 1.5}, {3.0, 1.0, 1.5}}, true);
    ASSERT_EQ(out.size(), 1u);
    ExpectCells(out[0], {{"Count_of_Y", 3}, {"Spearman", -1}, {"Spearman_t", 0}, {"Spearman_Prob", 1},
                         {"Spearman_(ties)", -1}, {"Spearman_t_(ties)", 0}, {"Spearman_Prob_(ties)", 1}},
                "two rank positions");
}

TEST(KendallScore, NLogNCountMatchesThePairLoopWithTiesAndWeights) {
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> v(1, 6), w(1, 3);
    for (int round = 0; round < 20; ++round) {
        std::vector<CNonParametric::Ranked> rows;
        for (int i = 0; i < 40; ++i) rows.push_back({double(v(gen)), double(v(gen)), double(w(gen))});
        double S = 0;
        for (std::size_t a = 0; a < rows.size(); ++a)
            for (std::size_t b = a + 1; b < rows.size(); ++b) {
                const double s = (rows[b].x - rows[a].x) * (rows[b].y - rows[a].y);
                if (s > 0) S += rows[a].w * rows[b].w;
                if (s < 0) S -= rows[a].w * rows[b].w;
            }
        // In memory, and counted in chunks of a few pairs at a time.
        for (std::size_t chunk : {std::size_t(0), std::size_t(1), std::size_t(3), std::size_t(7), std::size_t(64)})
            EXPECT_EQ(CNonParametric::KendallScore(rows, chunk), S) << round << ", chunks of " << chunk;
    }
}

TEST_F(PairedTest, WilcoxonZAndWeightsBeyondSixteenBits) {
    // d = 1, 2, 3, −4: ranks 1..4, T = 4 (negative side), Z = (4 − 5) / √(4·5·9/24).
    auto out = run({{2.0, 1.0}, {4.0, 2.0}, {6.0, 3.0}, {0.0, 4.0}});
    ASSERT_EQ(out.size(), 1u);
    ExpectCells(out[0], {{"Wilcoxon_Pos_SumRank", 6}, {"Wilcoxon_Neg_SumRank", 4}});
    EXPECT_NEAR(out[0].Num("Wilcoxon_Z"), -1 / std::sqrt(7.5), 1e-12);
    EXPECT_NEAR(out[0].Num("Wilcoxon_Prob"), normalTwoSided(1 / std::sqrt(7.5)), 1e-6);
    // KendallPairProductsBeyondSixteenBits: whole weights 300, 300 and 40000; pair products
    // 90000 and 12000000 pass 16 bits.
    out = run({{1.0, 1.0, 300.0}, {2.0, 2.0, 300.0}, {3.0, 4.0, 40000.0}}, true, true);
    ASSERT_EQ(out.size(), 1u);
    // S = 300·300 + 300·40000 + 300·40000 = 24090000 (every pair of different rows concordant).
    EXPECT_EQ(out[0].Num("Tau_Score"), 24090000.0);
    const double n = 40600, q = n * n - n;
    EXPECT_NEAR(out[0].Num("Tau"), 2 * 24090000.0 / q, 1e-15);
    ExpectCells(out[0], {{"Count<Y", 40000}, {"Count=Y", 600}});
}

TEST_F(PairedTest, WilcoxonOfTypedValuesBeyondTheDecimalRangeKeepsTheirTies) {
    // x 1..8 and y 2 1 4 3 7 5 9 6 typed with an exponent (5e-300, 7e-300):
    // d = −1 1 −1 1 −2 1 −2 2 in units of 10^e. Five |d| = 1 share ranks 1..5
    // (3 each), three |d| = 2 ranks 6..8 (7 each): negative rank sum
    // 3 + 3 + 7 + 7 = 20, positive 3 + 3 + 3 + 7 = 16, whatever the scale.
    // Beyond the decimal type's range the differences were taken on the
    // doubles, which differ in their last bits (7e-300 − 5e-300 is not
    // 9e-300 − 7e-300), and ties were split into ranks of their own.
    const int x[] = {1, 2, 3, 4, 5, 6, 7, 8}, y[] = {2, 1, 4, 3, 7, 5, 9, 6};
    for (const int e : {-300, -20, 154, 300}) {
        const std::string exp = "e" + std::to_string(e);
        std::vector<Row> rows;
        for (std::size_t i = 0; i < 8; ++i)
            rows.push_back({std::stod(std::to_string(x[i]) + exp), std::stod(std::to_string(y[i]) + exp)});
        auto out = run(rows);
        ASSERT_EQ(out.size(), 1u) << e;
        ExpectCells(out[0], {{"Wilcoxon_Neg_SumRank", 20}, {"Wilcoxon_Pos_SumRank", 16}, {"Wilcoxon_Neg_MeanRank", 5},
                             {"Wilcoxon_Pos_MeanRank", 4}},
                    exp);
    }
}

TEST_F(PairedTest, FieldsSpanningBeyondADoubleKeepTheirMeansAndTests) {
    // X = -1.5e308, -1e308, 1e308, 1.7e308 and Y = 0.5 .. 2: the deviations
    // of X from its first value (up to 3.2e308) lie beyond a double, and the
    // run failed ("Numeric field overflow."). By hand: the mean of X is
    // 5e306; X < Y twice and X > Y twice; |d| = 1e308 twice (ranks 1.5), then
    // 1.5e308 (3, negative) and 1.7e308 (4, positive): sums 4.5 and 5.5; both
    // fields rise together, Spearman 1. Pearson: long double sums.
    const long double x[] = {-1.5e308L, -1e308L, 1e308L, 1.7e308L}, y[] = {0.5, 1, 1.5, 2};
    std::vector<Row> rows;
    for (int i = 0; i < 4; ++i) rows.push_back({static_cast<double>(x[i]), static_cast<double>(y[i])});
    long double mx = 0, my = 0, cxx = 0, cyy = 0, cxy = 0;
    for (int i = 0; i < 4; ++i) mx += x[i] / 4, my += y[i] / 4;
    for (int i = 0; i < 4; ++i)
        cxx += (x[i] - mx) * (x[i] - mx), cyy += (y[i] - my) * (y[i] - my), cxy += (x[i] - mx) * (y[i] - my);
    auto out = run(rows);
    ASSERT_EQ(out.size(), 1u);
    const auto& r = out[0];
    EXPECT_TRUE(AgreesTo(static_cast<double>(mx), r.Num("Mean"), 14));
    EXPECT_TRUE(AgreesTo(1.25, r.Num("MeanY"), 15));
    EXPECT_TRUE(AgreesTo(static_cast<double>(mx - my), r.Num("MeanDiff"), 14));
    EXPECT_TRUE(AgreesTo(static_cast<double>(cxy / std::sqrt(cxx * cyy)), r.Num("Pearson's_R"), 13));
    ExpectCells(r, {{"Count<Y", 2}, {"Count=Y", 0}, {"Count>Y", 2}, {"Wilcoxon_Neg_SumRank", 4.5},
                    {"Wilcoxon_Pos_SumRank", 5.5}, {"Spearman", 1}});
}
