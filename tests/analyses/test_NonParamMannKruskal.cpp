// "2 Sample" (type "Mann") and "N Sample" scenarios: Mann-Whitney, the
// two-sample Kolmogorov-Smirnov test and Kruskal-Wallis on samples small
// enough to rank by hand. U, Z and H follow the textbook large-sample forms:
// Z = (U − n1·n2/2) / √(n1·n2/(N(N−1)) · ((N³−N)/12 − Σ(t³−t)/12)),
// H = 12/(N(N+1))·ΣR²/n − 3(N+1), divided by 1 − Σ(t³−t)/(N³−N) for ties;
// two-sided normal probabilities as erfc(|Z|/√2), chi-square tails in
// closed form for 1 and 2 degrees of freedom.
#include "AnalysisFixture.h"
#include "OutputCells.h"

#include <cmath>

using namespace dao;
using namespace atest;
using namespace cells;

namespace {

vtest::ScenarioSpec scenario(const std::string& type, bool weighted, const std::string& out2 = "") {
    vtest::ScenarioSpec s = vtest::ScenarioOn("N", type, "Data", "Out", out2);
    s.options = {{"NPTwoType", "Mann"}};
    s.fields = {{"S", "C"}, {"X", "X"}};
    if (weighted) s.fields.push_back({"W", "W"});
    return s;
}

std::vector<Row> samples(const std::vector<std::pair<const char*, std::vector<double>>>& groups) {
    std::vector<Row> rows;
    for (const auto& [name, xs] : groups)
        for (double x : xs) rows.push_back({name, x, 1.0});
    return rows;
}

double twoSided(double z) { return std::erfc(std::fabs(z) / std::sqrt(2.0)); }

class MannKruskalTest : public CellsTest {
protected:
    std::vector<OutRow> run(const std::vector<Row>& rows, const vtest::ScenarioSpec& s) {
        Replace("Data", {{"S", dbText, 5}, {"X"}, {"W"}}, rows);
        return RunAndRead(s, "Out");
    }
};

} // namespace

TEST_F(MannKruskalTest, MannWhitneyAndKolmogorovSmirnovForEveryPair) {
    const struct {
        std::vector<Row> rows;
        const char *v1, *v2;
        double n1, n2, R1, R2, ties, tiedGroups, sumTies, U, W, Z, Zt, Dpos, Dneg;
        const char* why;
    } cases[] = {
        {samples({{"a", {1, 2, 3}}, {"b", {4, 5}}}), "a", "b", 3, 2, 6, 9, 0, 0, 0, 0, 9, -3 / std::sqrt(3.0),
         -3 / std::sqrt(3.0), 1, 0, "no ties: U = 0, V0 = 10"},
        {samples({{"a", {1, 2, 2}}, {"b", {2, 3}}}), "a", "b", 3, 2, 7, 8, 3, 1, 2, 1, 8, -2 / std::sqrt(3.0),
         -2 / std::sqrt(2.4), 0.5, 0, "three 2s share rank 3; SumTies (27 - 3) / 12"},
        {samples({{"a", {5, 5}}, {"b", {5}}}), "a", "b", 2, 1, 4, 2, 3, 1, 2, 1, 2, 0, NAN, 0, 0,
         "all values equal: no tie-corrected Z"},
        {{{"a", 1.0, 2.7}, {"b", 2.0, 1.0}}, "a", "b", 2.7, 1, 3, 3, 1, 1, 0.5, NAN, NAN, NAN, NAN, 1, 0,
         "weight 2.7 takes two rank positions (a tie of 2) but counts 2.7"},
    };
    for (const auto& c : cases) {
        auto out = run(c.rows, scenario("2 Sample", true));
        ASSERT_EQ(out.size(), 1u) << c.why;
        const auto& r = out[0];
        EXPECT_EQ(r["S-1"].ToString(), c.v1) << c.why;
        EXPECT_EQ(r["S-2"].ToString(), c.v2) << c.why;
        ExpectCells(r, {{"Count", c.n1 + c.n2}, {"Cases-1", c.n1}, {"Cases-2", c.n2}, {"SumRank-1", c.R1},
                        {"SumRank-2", c.R2}, {"MeanRank-1", c.R1 / c.n1}, {"SumTies", c.sumTies}}, c.why, Match::Ulps);
        ExpectCells(r, {{"Ties", c.ties}, {"TiedGroups", c.tiedGroups}}, c.why);
        if (!std::isnan(c.U)) {
            ExpectCells(r, {{"MW_U", c.U}, {"MW_U_Prime", c.n1 * c.n2 - c.U}, {"MW_W", c.W}}, c.why, Match::Ulps);
            EXPECT_NEAR(r.Num("MW_Z"), c.Z, 1e-12) << c.why;
            EXPECT_NEAR(r.Num("MW_Prob"), twoSided(c.Z), 1e-6) << c.why;
        }
        if (std::isnan(c.Zt)) {
            if (!std::isnan(c.U)) {
                EXPECT_TRUE(r.IsNull("MW_Z_(ties)")) << c.why;
            }
        } else {
            EXPECT_NEAR(r.Num("MW_Z_(ties)"), c.Zt, 1e-12) << c.why;
            EXPECT_NEAR(r.Num("MW_Prob_(ties)"), twoSided(c.Zt), 1e-6) << c.why;
        }
        const double D = std::max(c.Dpos, -c.Dneg), z = D * std::sqrt(c.n1 * c.n2 / (c.n1 + c.n2));
        ExpectCellsNear(r, {{"KS_MaxPosDiff", c.Dpos}, {"KS_MaxNegDiff", c.Dneg}, {"KS_MaxAbsoluteDiff", D}, {"KS_Z", z}},
                        1e-12, c.why);
    }
}

TEST_F(MannKruskalTest, AValueWhoseWeightTakesNoRankLeavesMannWhitneyNullInsteadOfANegativeU) {
    // A weight below 1 takes no rank position (its whole part is 0) but
    // counts in the cases, so the rank sums no longer belong to the cases:
    // U came out below 0 (−0.375 and −0.875 here) with a probability as if
    // valid. Kolmogorov-Smirnov takes the weights as they are and stays.
    const struct {
        std::vector<Row> rows;
        double n1, n2, Dpos;
        const char* why;
    } cases[] = {
        {{{"a", 1.0, 0.5}, {"b", 3.0, 0.5}}, 0.5, 0.5, 1, "both values of weight 0.5"},
        {{{"a", 1.0, 1.0}, {"a", 2.0, 0.5}, {"b", 3.0, 1.0}, {"b", 4.0, 1.0}}, 1.5, 2, 1,
         "one value of weight 0.5 among whole weights"},
        {{{"a", 3.0, 0.5}, {"b", 3.0, 1.0}, {"b", 4.0, 1.0}}, 0.5, 2, 0.5,
         "the sample's only value, of weight 0.5, tied with a whole one: no rank position of its own"},
    };
    for (const auto& c : cases) {
        auto out = run(c.rows, scenario("2 Sample", true));
        ASSERT_EQ(out.size(), 1u) << c.why;
        ExpectCells(out[0], {{"Cases-1", c.n1}, {"Cases-2", c.n2}, {"KS_MaxPosDiff", c.Dpos},
                             {"KS_Z", c.Dpos * std::sqrt(c.n1 * c.n2 / (c.n1 + c.n2))}},
                    c.why, Match::Ulps);
        for (const char* col : {"SumRank-1", "SumRank-2", "MeanRank-1", "MeanRank-2", "MW_U", "MW_U_Prime", "MW_W",
                                "MW_Z", "MW_Prob", "MW_Z_(ties)", "MW_Prob_(ties)"})
            EXPECT_TRUE(out[0].IsNull(col)) << c.why << ": " << col;
    }
}

TEST_F(MannKruskalTest, FractionalWeightsAboveOneGiveUFromTheirRankPositionsNotFromTheCases) {
    // A weight of 2.7 takes 2 rank positions but counts 2.7 in the cases; U
    // taken with the cases (N1·(N1 + 1)/2 + N1·N2 − R1) came out −1.995 and
    // 0.625 here. By hand, U is the number of pairs of positions (a, b) with
    // b below a, ties counting one half; n1, n2 are the positions of each
    // sample, V0 = (N³ − N)/12 and Z = (U − n1·n2/2) / √(n1·n2/(N(N − 1))·V0).
    const struct {
        std::vector<Row> rows; // S, X, W
        double cases1, cases2, R1, R2, U, Uprime, W, Z, Zt;
        const char* why;
    } cases[] = {
        {{{"a", 1.0, 2.7}, {"b", 2.0, 1.0}}, 2.7, 1, 3, 3, 0, 2, 3, -1 / std::sqrt(2.0 / 3), -1 / std::sqrt(0.5),
         "a 1 1 below b 2: no pair with b below; n1 = 2, n2 = 1, V0 = 2, SumTies 0.5"},
        {{{"a", 1.0, 1.5}, {"a", 3.0, 1.0}, {"b", 2.0, 2.5}}, 2.5, 2.5, 5, 5, 2, 2, 5, 0, 0,
         "a 1, 3 around b 2 2: two pairs with b below; U = n1·n2/2"},
    };
    for (const auto& c : cases) {
        auto out = run(c.rows, scenario("2 Sample", true));
        ASSERT_EQ(out.size(), 1u) << c.why;
        ExpectCells(out[0], {{"Cases-1", c.cases1}, {"Cases-2", c.cases2}, {"SumRank-1", c.R1}, {"SumRank-2", c.R2},
                             {"MW_U", c.U}, {"MW_U_Prime", c.Uprime}, {"MW_W", c.W}},
                    c.why);
        ExpectCellsNear(out[0], {{"MW_Z", c.Z}, {"MW_Z_(ties)", c.Zt}}, 1e-12, c.why);
        ExpectCellsNear(out[0], {{"MW_Prob", twoSided(c.Z)}, {"MW_Prob_(ties)", twoSided(c.Zt)}}, 1e-6, c.why);
    }
}

TEST_F(MannKruskalTest, PairsComeInTheOrderOfTheCompareValues) {
    // Three samples of two values each, every pair without overlap: ranks 1..4 give R1 = 3, R2 = 7, U = 0.
    auto out = run(samples({{"c", {5, 6}}, {"a", {1, 2}}, {"b", {3, 4}}, {"d", {}}}), scenario("2 Sample", false));
    ASSERT_EQ(out.size(), 3u);
    const char* expected[][2] = {{"a", "b"}, {"a", "c"}, {"b", "c"}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(out[i]["S-1"].ToString(), expected[i][0]);
        EXPECT_EQ(out[i]["S-2"].ToString(), expected[i][1]);
        ExpectCells(out[i], {{"SumRank-1", 3}, {"SumRank-2", 7}, {"MW_U", 0}, {"KS_MaxPosDiff", 1}}, std::to_string(i));
    }
}

TEST_F(MannKruskalTest, KruskalWallisWithTieCorrectionAndDetail) {
    const struct {
        std::vector<Row> rows;
        double N, S, ties, tiedGroups, sumTies, groups;
        std::vector<std::pair<double, double>> detail; // count, rank sum
        const char* why;
    } cases[] = {
        {samples({{"A", {1, 2}}, {"B", {3, 4}}, {"C", {5, 6}}}), 6, 89.5, 0, 0, 0, 3, {{2, 3}, {2, 7}, {2, 11}},
         "no ties: H = 32/7"},
        {samples({{"A", {1, 2, 2}}, {"B", {2, 3}}}), 5, 49.0 / 3 + 32, 3, 1, 24, 2, {{3, 7}, {2, 8}},
         "three 2s share rank 3: H = 4/3, corrected 5/3"},
    };
    for (const auto& c : cases) {
        auto out = run(c.rows, scenario("N Sample", false, "Det"));
        ASSERT_EQ(out.size(), 1u) << c.why;
        const auto& r = out[0];
        const double H = 12 * c.S / (c.N * (c.N + 1)) - 3 * (c.N + 1);
        const double Ht = H / (1 - c.sumTies / (c.N * c.N * c.N - c.N));
        const double df = c.groups - 1;
        auto tail = [&](double x) { return df == 1 ? std::erfc(std::sqrt(x / 2)) : std::exp(-x / 2); };
        ExpectCells(r, {{"Count", c.N}, {"Groups", c.groups}, {"Ties", c.ties}, {"TiedGroups", c.tiedGroups},
                        {"SumTies", c.sumTies}}, c.why);
        ExpectCellsNear(r, {{"H", H}, {"H_(ties)", Ht}}, 1e-12, c.why);
        ExpectCellsNear(r, {{"Prob", tail(H)}, {"Prob_(ties)", tail(Ht)}}, 1e-6, c.why);
        auto det = ReadTable("Det");
        ASSERT_EQ(det.size(), c.detail.size()) << c.why;
        for (std::size_t i = 0; i < det.size(); ++i) {
            ExpectCells(det[i], {{"Count", c.detail[i].first}, {"SumRanks", c.detail[i].second}}, c.why);
            EXPECT_DOUBLE_EQ(det[i].Num("MeanRank"), c.detail[i].second / c.detail[i].first) << c.why;
        }
    }
}

TEST_F(MannKruskalTest, KruskalWallisCountsWeightsAndMissingValues) {
    // Weight 3 counts 3 (and 1 observation); Null values, weight 0 and Null weights are missing.
    auto out = run({{"A", 1.0, 3.0}, {"B", 2.0, 1.0}, {"B", Variant::Null(), 1.0}, {"A", 4.0, 0.0},
                    {"B", 5.0, Variant::Null()}},
                   scenario("N Sample", true, "Det"));
    ASSERT_EQ(out.size(), 1u);
    ExpectCells(out[0], {{"Count", 4}, {"Observations", 2}, {"Missing", 3}});
    auto det = ReadTable("Det");
    ASSERT_EQ(det.size(), 2u);
    ExpectCells(det[0], {{"Count", 3}, {"Observations", 1}, {"SumRanks", 6}}, "detail"); // ranks: positions 1, 2, 3
    // A field with data in one sample only: Groups 1, no statistic.
    out = run(samples({{"A", {1, 2}}, {"B", {}}}), scenario("N Sample", false));
    ASSERT_EQ(out.size(), 1u);
    ExpectCells(out[0], {{"Groups", 1}, {"H", NAN}, {"H_(ties)", NAN}}, "one sample");
}

TEST_F(MannKruskalTest, MannWhitneyWIsTheRankSumOfTheSmallerSampleAndOfTheFirstWhenEqual) {
    // W is the rank sum of the smaller sample; of two samples of one size,
    // the first one's. Ranks by hand, no ties.
    const struct {
        std::vector<Row> rows;
        double R1, R2, W;
        const char* why;
    } cases[] = {
        {samples({{"a", {1, 5}}, {"b", {2, 3, 4}}}), 1 + 5, 2 + 3 + 4, 6, "first smaller: its own sum"},
        {samples({{"a", {1, 2, 4}}, {"b", {3, 5, 6}}}), 1 + 2 + 4, 3 + 5 + 6, 7, "equal sizes: the first sample's sum"},
        {samples({{"a", {3, 5, 6}}, {"b", {1, 2, 4}}}), 3 + 5 + 6, 1 + 2 + 4, 14, "equal sizes, first larger ranks"},
        {samples({{"a", {2, 3, 4}}, {"b", {1, 5}}}), 2 + 3 + 4, 1 + 5, 6, "second smaller: the second's sum"},
    };
    for (const auto& c : cases) {
        auto out = run(c.rows, scenario("2 Sample", false));
        ASSERT_EQ(out.size(), 1u) << c.why;
        ExpectCells(out[0], {{"SumRank-1", c.R1}, {"SumRank-2", c.R2}, {"MW_W", c.W}}, c.why);
    }
}
