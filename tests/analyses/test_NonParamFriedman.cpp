// "N Fields" scenarios (the Friedman test): ranks within each record by
// hand, χ² = 12/(b·k(k+1))·ΣR² − 3b(k+1) without a correction for ties, and
// the chi-square tail in closed form (exp(−x/2) for 2 degrees of freedom,
// erfc(√(x/2)) for 1, e^(−x/2)(1 + x/2) for 4).
#include "AnalysisFixture.h"
#include "OutputCells.h"

#include "analyses/nonparametric/CNonParamFriedman.h"

#include <cmath>

using namespace dao;
using namespace atest;
using namespace cells;

namespace {

vtest::ScenarioSpec friedmanScenario(int k, bool weighted, const std::string& out2 = "Det") {
    vtest::ScenarioSpec s = vtest::ScenarioOn("N", "N Fields", "Data", "Sum", out2);
    s.fields = {{"G", "G"}};
    const char* names[] = {"A", "B", "C"};
    for (int i = 0; i < k; ++i) s.fields.push_back({names[i], "X"});
    if (weighted) s.fields.push_back({"W", "W"});
    return s;
}

double chiTail(double x, int df) {
    switch (df) {
    case 1: return std::erfc(std::sqrt(x / 2));
    case 2: return std::exp(-x / 2);
    default: return std::nan("");
    }
}

class FriedmanTest : public CellsTest {
protected:
    // The summary rows of a run on `rows` (G, A, B, C, W).
    std::vector<OutRow> run(const std::vector<Row>& rows, const vtest::ScenarioSpec& s) {
        Replace("Data", {{"G", dbText, 5}, {"A"}, {"B"}, {"C"}, {"W"}}, rows);
        return RunAndRead(s, "Sum");
    }
};

} // namespace

TEST_F(FriedmanTest, RankSumsAndStatisticWithAndWithoutTies) {
    const struct {
        std::vector<Row> rows; // G, A, B, C, W
        int k;
        bool weighted;
        double b, R[3], missing;
        const char* why;
    } cases[] = {
        {{{"g", 1.0, 2.0, 3.0, 1.0}, {"g", 4.0, 5.0, 6.0, 1.0}}, 3, false, 2, {2, 4, 6}, 0,
         "two records ranked 1, 2, 3: S = 56, χ² = 28 − 24 = 4"},
        {{{"g", 5.0, 5.0, 7.0, 1.0}, {"g", 2.0, 1.0, 2.0, 1.0}, {"g", 3.0, 9.0, 1.0, 1.0}}, 3, false, 3,
         {1.5 + 2.5 + 2, 1.5 + 1 + 3, 3 + 2.5 + 1}, 0, "ties in a record share ranks: 5, 5, 7 give 1.5, 1.5, 3"},
        {{{"g", 1.0, 2.0, Variant::Null(), 2.0}, {"g", 3.0, 1.0, Variant::Null(), 1.0},
          {"g", Variant::Null(), 1.0, Variant::Null(), 1.0}, {"g", 1.0, 2.0, Variant::Null(), 0.0}},
         2, true, 3, {2 * 1 + 1 * 2, 2 * 2 + 1 * 1, 0}, 2,
         "two fields, weights 2 and 1: a Null value or weight 0 leaves the record out"},
    };
    for (const auto& c : cases) {
        auto sum = run(c.rows, friedmanScenario(c.k, c.weighted));
        ASSERT_EQ(sum.size(), 1u) << c.why;
        double S = 0;
        for (int j = 0; j < c.k; ++j) S += c.R[j] * c.R[j];
        const double chi = 12 / (c.b * c.k * (c.k + 1)) * S - 3 * c.b * (c.k + 1);
        ExpectCells(sum[0], {{"Count", c.b}, {"Missing", c.missing}, {"DF", c.k - 1.0}, {"Fields", double(c.k)}}, c.why);
        EXPECT_EQ(sum[0].Has("Observations"), c.weighted) << c.why;
        EXPECT_NEAR(sum[0].Num("Chi-Squared"), chi, 1e-12) << c.why;
        EXPECT_NEAR(sum[0].Num("Friedman_Prob"), chiTail(chi, c.k - 1), 1e-6) << c.why;
        // FriedmanWithTwoFieldsWritesEveryDetailRow: one detail row per field, also for k = 2.
        auto det = ReadTable("Det");
        ASSERT_EQ(det.size(), std::size_t(c.k)) << c.why;
        for (int j = 0; j < c.k; ++j) {
            EXPECT_EQ(det[std::size_t(j)].Num("SumRanks"), c.R[j]) << c.why;
            EXPECT_DOUBLE_EQ(det[std::size_t(j)].Num("MeanRank"), c.R[j] / c.b) << c.why;
        }
    }
}

TEST_F(FriedmanTest, EqualRankSumsGiveAChiSquaredOfZeroNotANegativeOne) {
    // Every field with the same rank sum makes 12/(b·k(k + 1))·ΣR² equal to
    // 3b(k + 1) exactly (ΣR = b·k(k + 1)/2); with fractional weights their
    // rounding left "Chi-Squared" at −4.4e-16 and the like. χ² = 0, tail 1.
    const struct {
        std::vector<Row> rows; // G, A, B, C, W
        const char* why;
    } cases[] = {
        {{{"g", 1.0, 1.0, 1.0, 0.1}, {"g", 2.0, 2.0, 2.0, 0.1}}, "every record tied, weights 0.1, 0.1"},
        {{{"g", 1.0, 1.0, 1.0, 0.1}, {"g", 5.0, 5.0, 5.0, 0.3}}, "every record tied, weights 0.1, 0.3"},
        {{{"g", 1.0, 1.0, 1.0, 0.7}, {"g", 5.0, 5.0, 5.0, 0.1}}, "every record tied, weights 0.7, 0.1"},
    };
    for (const auto& c : cases) {
        auto sum = run(c.rows, friedmanScenario(3, true));
        ASSERT_EQ(sum.size(), 1u) << c.why;
        ExpectCells(sum[0], {{"Chi-Squared", 0}, {"Friedman_Prob", 1}}, c.why);
    }
}

TEST_F(FriedmanTest, GroupWithoutCompleteRecordAndFewerThanTwoFields) {
    auto sum = run({{"a", 1.0, 2.0, 3.0, 1.0}, {"a", 3.0, 2.0, 1.0, 1.0}, {"b", Variant::Null(), 2.0, 3.0, 1.0}},
                   friedmanScenario(3, false, ""));
    ASSERT_EQ(sum.size(), 2u);
    EXPECT_EQ(sum[0].Num("Chi-Squared"), 0.0); // R = 4, 4, 4
    ExpectCells(sum[1], {{"Count", 0}, {"Missing", 1}, {"Chi-Squared", NAN}}, "b");
    EXPECT_FALSE(TableExists("Det"));
    // FriedmanRefusesOneField: no ranking within a record of one value.
    std::string err;
    EXPECT_FALSE(Run(Store(friedmanScenario(1, false)), &err));
    EXPECT_EQ(err, "The Friedman test needs at least two data fields.");
}

// The weight rule's "Equal" missing value: a record whose weight is the
// missing value is left out like one of weight 0 (the weighted ranks by hand).
TEST_F(FriedmanTest, WeightEqualToTheMissingValueLeavesTheRecordOut) {
    vtest::ScenarioSpec s = friedmanScenario(3, true);
    s.missingType = "1";
    s.missingEqual = 3.0;
    auto sum = run({{"g", 1.0, 2.0, 4.0, 2.0}, {"g", 5.0, 4.0, 1.0, 1.0}, {"g", 2.0, 1.0, 4.0, 3.0}}, s);
    // Ranks 1, 2, 3 (weight 2) and 3, 2, 1 (weight 1): R = 5, 6, 7, b = 3,
    // S = 110, χ² = 12/(3·3·4)·110 − 3·3·4 = 2/3.
    ASSERT_EQ(sum.size(), 1u);
    ExpectCells(sum[0], {{"Count", 3}, {"Observations", 2}, {"Missing", 1}});
    EXPECT_NEAR(sum[0].Num("Chi-Squared"), 2.0 / 3.0, 1e-12);
    EXPECT_NEAR(sum[0].Num("Friedman_Prob"), std::exp(-1.0 / 3.0), 1e-6);
    auto det = ReadTable("Det");
    ASSERT_EQ(det.size(), 3u);
    const double R[] = {5, 6, 7};
    for (std::size_t j = 0; j < 3; ++j) EXPECT_EQ(det[j].Num("SumRanks"), R[j]) << j;
}

// Mid-ranks within blocks, by hand: a run of t equal values from position p
// gets p + (t − 1)/2; blocks are ranked each from 1. Both the ranking of a
// recordset and the ranking of one record's values.
TEST_F(FriedmanTest, MidRanksWithinBlocks) {
    const struct {
        std::vector<std::pair<int, double>> rows; // block, value (in block and value order)
        std::vector<double> ranks;
        const char* why;
    } cases[] = {
        {{}, {}, "no record: nothing to rank"},
        {{{1, 4}}, {1}, "one record gets rank 1"},
        {{{1, 5}, {1, 5}, {1, 7}}, {1.5, 1.5, 3}, "5, 5, 7"},
        {{{1, 2}, {1, 2}, {1, 2}, {1, 2}}, {2.5, 2.5, 2.5, 2.5}, "a tie run to the last record"},
        {{{1, 3}, {1, 8}, {2, 3}, {2, 8}}, {1, 2, 1, 2}, "equal values in different blocks are no ties"},
    };
    for (const auto& c : cases) {
        std::vector<Row> rows;
        for (const auto& [block, x] : c.rows) rows.push_back({std::int32_t(block), x, Variant::Null()});
        Replace("Ranks", {{"Record", dbLong}, {"Data"}, {"Rank"}}, rows);
        auto rs = db->OpenRecordset("SELECT * FROM Ranks ORDER BY [Record], [Data];", dbOpenDynaset);
        CNonParamFriedman::Quorb_RankTable(*rs, "Record", "Data", "Rank");
        EXPECT_TRUE(rs->EOF_()) << c.why;
        rs->Close();
        auto out = ReadTable("Ranks");
        ASSERT_EQ(out.size(), c.ranks.size()) << c.why;
        for (std::size_t i = 0; i < out.size(); ++i) EXPECT_EQ(out[i].Num("Rank"), c.ranks[i]) << c.why << " #" << i;
        // One record's values (one block), in any order.
        if (c.rows.empty() || c.rows.back().first != 1) continue;
        std::vector<double> values(1, 0.0), ranks;
        std::vector<std::size_t> order;
        for (auto it = c.rows.rbegin(); it != c.rows.rend(); ++it) values.push_back(it->second);
        CNonParamFriedman::RankWithin(values, ranks, order);
        for (std::size_t i = 1; i < values.size(); ++i)
            EXPECT_EQ(ranks[i], c.ranks[c.ranks.size() - i]) << c.why << " within a record #" << i;
    }
}

TEST_F(FriedmanTest, HugeOrTinyWeightsScaleTheStatisticInsteadOfOverflowingOrVanishing) {
    // Ranks 1, 2, 3 with weight 2c and 3, 2, 1 with weight c: R = 5c, 6c, 7c,
    // b = 3c. χ² = 12/(b·k(k + 1))·ΣR² − 3b(k + 1) is c times its value for
    // c = 1, 12/36·110 − 36 = 2/3; the tail with 2 degrees of freedom is
    // exp(−χ²/2). ΣR² overflowed for c = 1e200 (the run failed with "Numeric
    // field overflow.") and underflowed to 0 for c = 1e-300, where χ² was
    // written as 0.
    for (const double c : {1e200, 1e300, 1e-300}) {
        SCOPED_TRACE(c);
        auto sum = run({{"g", 1.0, 2.0, 4.0, 2 * c}, {"g", 5.0, 4.0, 1.0, c}}, friedmanScenario(3, true));
        ASSERT_EQ(sum.size(), 1u);
        EXPECT_TRUE(AgreesTo(3 * c, sum[0].Num("Count"), 15));
        EXPECT_TRUE(AgreesTo(2.0 / 3.0 * c, sum[0].Num("Chi-Squared"), 13));
        EXPECT_TRUE(AgreesTo(std::exp(-c / 3.0), sum[0].Num("Friedman_Prob"), 6));
        auto det = ReadTable("Det");
        ASSERT_EQ(det.size(), 3u);
        for (std::size_t j = 0; j < 3; ++j) {
            EXPECT_TRUE(AgreesTo((5.0 + static_cast<double>(j)) * c, det[j].Num("SumRanks"), 15)) << j;
            EXPECT_TRUE(AgreesTo((5.0 + static_cast<double>(j)) / 3.0, det[j].Num("MeanRank"), 14)) << j;
        }
    }
}
