// "Percentiles" scenarios through the engine: the percentile table row by
// row against the textbook rules computed exactly in the test.
#include "AnalysisFixture.h"
#include "Exact.h"
#include "OutputCells.h"
#include "engine/SortStage.h"

#include <algorithm>
#include <map>

using namespace dao;
using namespace atest;

namespace {

vtest::ScenarioSpec percentileSpec(const std::string& radio, const std::vector<vtest::ScenarioFieldRow>& fields,
                                   const std::string& out = "Out", const std::string& table = "Data") {
    vtest::ScenarioSpec s = vtest::ScenarioOn("P", "Percentiles", table, out);
    s.options = {{"PercentileRadio", radio}};
    s.fields = fields;
    return s;
}

// One row per value, in a column of its own (and the weight beside it where given).
std::vector<Row> rowsOf(const std::vector<double>& values, const std::vector<long long>& weights = {}) {
    std::vector<Row> rows;
    for (std::size_t i = 0; i < values.size(); ++i)
        rows.push_back(weights.empty() ? Row{Variant(values[i])}
                                       : Row{Variant(values[i]), Variant(static_cast<double>(weights[i]))});
    return rows;
}

using PercentilesTest = cells::CellsTest;

} // namespace

TEST_F(PercentilesTest, QuartilesOfFourValuesAreInterpolated) {
    MakeTable("Data", {{"X", dbDouble}}, {{4.0}, {2.0}, {1.0}, {3.0}});
    auto rows = RunAndRead(percentileSpec("Quartiles", {{"X", "X"}}));
    EXPECT_EQ(ColumnNames("Out"), (std::vector<std::string>{"DataField", "Percentile", "Value"}));
    const double pct[] = {0, 25, 50, 75, 100};
    const double value[] = {1, 1.75, 2.5, 3.25, 4};
    ASSERT_EQ(rows.size(), 5u);
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(rows[k]["DataField"].ToString(), "X");
        EXPECT_EQ(rows[k].Num("Percentile"), pct[k]);
        EXPECT_EQ(rows[k].Num("Value"), value[k]);
    }
}

TEST_F(PercentilesTest, EveryTypeLetterGivesItsPoints) {
    const std::vector<long long> N = {314, 159, 265, 358, 979, 323, 846, 264, 338, 327, 950, 288, 419};
    std::vector<double> values;
    for (long long n : N) values.push_back(n / 100.0);
    MakeTable("Data", {{"X", dbDouble}}, rowsOf(values));
    struct Case {
        const char* radio;
        int d;
    };
    // "quartiles" in lower case: the letter is taken without regard to case.
    const Case cases[] = {{"Median", 2}, {"Quartiles", 4}, {"quartiles", 4}, {"5", 5}, {"Deciles", 10}, {"Percentiles", 100}};
    for (const auto& c : cases) {
        auto rows = RunAndRead(percentileSpec(c.radio, {{"X", "X"}}, Numbered("Out")));
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(c.d + 1)) << c.radio;
        for (int i = 0; i <= c.d; ++i) {
            const auto& r = rows[static_cast<std::size_t>(i)];
            EXPECT_EQ(r.Num("Percentile"), 100.0 / c.d * i) << c.radio << " " << i;
            long double expected = i == 0 ? 1.59L : i == c.d ? 9.79L : ExactPercentile(N, 2, i, c.d);
            EXPECT_TRUE(AgreesTo(static_cast<double>(expected), r.Num("Value"), 14)) << c.radio << " " << i;
        }
    }
}

TEST_F(PercentilesTest, TextbookEdgeCases) {
    const double two52 = 4503599627370496.0;
    struct Case {
        const char* name;
        std::vector<double> values;
        const char* radio;
        std::vector<double> expected; // points 0 .. d
    };
    const std::vector<Case> cases = {
        {"two values, median", {20, 10}, "Median", {10, 15, 20}},
        {"five values, whole positions", {5, 1, 4, 2, 3}, "Quartiles", {1, 2, 3, 4, 5}},
        {"equal neighbours", {7, 7, 7, 9}, "Median", {7, 7, 9}},
        {"one value", {6.5}, "Quartiles", {6.5, 6.5, 6.5, 6.5, 6.5}},
        // A point between values of more than fifteen digits lies between
        // them, not between their fifteen-digit forms. By hand: a point at
        // position p lies at lo + (hi − lo)·(p − ⌊p⌋); each expected value is
        // a multiple of the spacing of doubles there (0.125 near 1e15, 1 near
        // 2^52), so it is held exactly.
        {"1e15 in steps of 0.5: positions 1.75, 2.5, 3.25",
         {1e15 + 1.5, 1e15, 1e15 + 1, 1e15 + 0.5},
         "Quartiles",
         {1e15, 1e15 + 0.375, 1e15 + 0.75, 1e15 + 1.125, 1e15 + 1.5}},
        {"2^52 + 0, 4, 8, 12: 3, 6 and 9 above 2^52", {two52 + 12, two52 + 4, two52, two52 + 8}, "Quartiles",
         {two52, two52 + 3, two52 + 6, two52 + 9, two52 + 12}},
        {"median of 1e15 + 2 and 1e15 + 3", {1e15 + 3, 1e15 + 2}, "Median", {1e15 + 2, 1e15 + 2.5, 1e15 + 3}},
        // 1e308 − (−1e308) lies beyond a double; the points between do not:
        // a quarter, a half and three quarters of the way, each 1e308 times a
        // power of two (the run failed on an infinite point).
        {"-1e308 and 1e308: points between values 2e308 apart", {1e308, -1e308}, "Quartiles",
         {-1e308, -1e308 * 0.5, 0, 1e308 * 0.5, 1e308}},
    };
    for (const auto& c : cases) {
        std::string table = Numbered("Data");
        MakeTable(table, {{"X", dbDouble}}, rowsOf(c.values));
        auto rows = RunAndRead(percentileSpec(c.radio, {{"X", "X"}}, Numbered("Out"), table));
        ASSERT_EQ(rows.size(), c.expected.size()) << c.name;
        for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].Num("Value"), c.expected[i]) << c.name << " " << i;
    }
}

TEST_F(PercentilesTest, WeightedPointsFollowTheCumulativeWeight) {
    // Values 1, 2, 3 with weights 1, 1, 2 (W = 4): the median is the first
    // value whose cumulative weight reaches 2. A first value whose weight
    // alone reaches several points fills all of them.
    MakeTable("Data", {{"G", dbText, 5}, {"X", dbDouble}, {"Wt", dbDouble}},
              {{"a", 3.0, 2.0}, {"a", 1.0, 1.0}, {"a", 2.0, 1.0},
               {"b", 10.0, 7.0}, {"b", 20.0, 1.0}, {"b", 30.0, 2.0}, {"b", 99.0, 0.0}});
    auto median = RunAndRead(percentileSpec("Median", {{"G", "G"}, {"X", "X"}, {"Wt", "W"}}));
    ASSERT_EQ(median.size(), 6u);
    const double expectA[] = {1, 2, 3};
    for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(median[k].Num("Value"), expectA[k]) << k;
    auto deciles = RunAndRead(percentileSpec("Deciles", {{"G", "G"}, {"X", "X"}, {"Wt", "W"}}, "OutD"));
    ASSERT_EQ(deciles.size(), 22u);
    // Group b: W = 10, cumulative 7 at 10, 8 at 20, 10 at 30; the record of
    // weight 0 counts nowhere.
    const double expectB[] = {10, 10, 10, 10, 10, 10, 10, 10, 20, 30, 30};
    for (std::size_t k = 0; k < 11; ++k) {
        EXPECT_EQ(deciles[11 + k]["G"].ToString(), "b");
        EXPECT_EQ(deciles[11 + k].Num("Value"), expectB[k]) << k;
    }
    const std::vector<long long> N = {10, 20, 30}, w = {7, 1, 2};
    for (int i = 1; i < 10; ++i)
        EXPECT_EQ(deciles[11 + static_cast<std::size_t>(i)].Num("Value"),
                  static_cast<double>(ExactWeightedPercentile(N, w, 0, i, 10)))
            << i;
}

TEST_F(PercentilesTest, AFieldWithoutValidValuesInAGroupGetsNoRows) {
    MakeTable("Data", {{"G", dbText, 5}, {"X", dbDouble}, {"Y", dbDouble}},
              {{"a", 1.0, Variant::Null()}, {"a", 3.0, -99.0}, {"b", 5.0, 6.0}});
    vtest::ScenarioSpec s = percentileSpec("Median", {{"G", "G"}, {"X", "X"}, {"Y", "X"}});
    s.missingType = "1";
    s.missingEqual = -99.0;
    auto rows = RunAndRead(s);
    ASSERT_EQ(rows.size(), 9u); // a: X only; b: X and Y
    EXPECT_EQ(rows[0]["G"].ToString(), "a");
    EXPECT_EQ(rows[2]["DataField"].ToString(), "X");
    EXPECT_EQ(rows[1].Num("Value"), 2.0);
    EXPECT_EQ(rows[3]["G"].ToString(), "b");
    EXPECT_EQ(rows[6]["DataField"].ToString(), "Y");
    EXPECT_EQ(rows[7].Num("Value"), 6.0);
}

TEST_F(PercentilesTest, UnknownTypeIsRefusedBeforeAnyDataIsRead) {
    MakeTable("Data", {{"X", dbDouble}}, {{1.0}});
    std::string err;
    EXPECT_FALSE(Run(Store(percentileSpec("Xtiles", {{"X", "X"}})), &err));
    EXPECT_EQ(err, "Unknown percentile type: X");
    EXPECT_FALSE(TableExists("Out"));
}

TEST_F(PercentilesTest, LargeGroupsGoThroughTheSortTable) {
    // With the memory limit at 2 values every group moves to the sort table:
    // 700 rows (dropped afterwards), 300 (emptied by one statement), 40
    // (emptied row by row), then 5.
    std::vector<Row> data;
    std::map<std::string, std::vector<long long>> values;
    auto add = [&](const std::string& g, int count, int mult) {
        for (int i = 0; i < count; ++i) {
            long long n = (i * mult + 11) % 1009;
            values[g].push_back(n);
            data.push_back({Variant(g), Variant(n / 100.0)});
        }
    };
    add("a", 700, 53);
    add("b", 300, 211);
    add("c", 40, 17);
    add("d", 5, 3);
    MakeTable("Data", {{"G", dbText, 5}, {"X", dbDouble}}, data);
    std::size_t old = SortStage::SetMemoryLimit(2);
    auto rows = RunAndRead(percentileSpec("Deciles", {{"G", "G"}, {"X", "X"}}));
    SortStage::SetMemoryLimit(old);
    ASSERT_EQ(rows.size(), 44u);
    const char* groups[] = {"a", "b", "c", "d"};
    for (std::size_t g = 0; g < 4; ++g) {
        auto N = values[groups[g]];
        std::sort(N.begin(), N.end());
        for (int i = 0; i <= 10; ++i) {
            const auto& r = rows[g * 11 + static_cast<std::size_t>(i)];
            EXPECT_EQ(r["G"].ToString(), groups[g]);
            long double expected = i == 0 ? N.front() / 100.0L : i == 10 ? N.back() / 100.0L : ExactPercentile(N, 2, i, 10);
            EXPECT_TRUE(AgreesTo(static_cast<double>(expected), r.Num("Value"), 14)) << groups[g] << " " << i;
        }
    }
}

TEST_F(PercentilesTest, RunTimeErrorInsideTheAnalysisFailsTheRunAndKeepsThePreviousOutput) {
    // A number field; after a first run another program writes a text into
    // group b: the field passes the check of the roles, the value fails.
    MakeTable("Data", {{"G", dbText, 5}, {"X", dbDouble}}, {{"a", 1.0}, {"a", 3.0}, {"b", 4.0}, {"b", 6.0}});
    auto spec = percentileSpec("Median", {{"G", "G"}, {"X", "X"}});
    std::string err;
    ASSERT_TRUE(Run(Store(spec), &err)) << err;
    ASSERT_EQ(ReadTable("Out").size(), 6u); // minimum, median and maximum of each group
    PutTextInNumberColumn("Data", "X", "abc", "X = 6");
    EXPECT_FALSE(Run(Store(spec), &err));
    // Sorted by group and value: a 1, a 3, b 4, b abc.
    EXPECT_EQ(err, "Type mismatch: the value 'abc' in field X (record 4 in the order the analysis reads the data) is not a number.");
    // The failed run's rows are gone with it; the first run's are whole.
    auto rows = ReadTable("Out");
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[1].Num("Value"), 2.0); // median of 1 and 3
    EXPECT_EQ(rows[4].Num("Value"), 5.0); // median of 4 and 6
}

TEST_F(PercentilesTest, AWeightedPointOnAnExactCumulativeWeightIsNotSkipped) {
    // Weight sums of 14 and 28 put points exactly on a cumulative weight
    // (14·50/100 = 7), where the rounded target (14/100)·50 = 7.000000000000001
    // lies just above it and would report the next value; and whole weights
    // that differ beyond fifteen digits still differ. Every percent of
    // Percentiles and of Describe against the cumulative rule in integers.
    struct Case {
        const char* name;
        std::vector<long long> N, w;
    };
    std::vector<long long> fourteen, ones14, twos14;
    for (long long v = 1; v <= 14; ++v) {
        fourteen.push_back(v * 3);
        ones14.push_back(1);
        twos14.push_back(2);
    }
    // Whole weights 5·10^14 and 5·10^14 + 1: the median's target, half of
    // 10^15 + 1, lies above the first value's weight only in the sixteenth digit.
    const Case cases[] = {{"W = 14", fourteen, ones14},
                          {"W = 28", fourteen, twos14},
                          {"W = 10^15 + 1", {1, 2}, {500000000000000LL, 500000000000001LL}}};
    for (const auto& c : cases) {
        std::string table = Numbered("Data");
        MakeTable(table, {{"X", dbDouble}, {"Wt", dbDouble}}, rowsOf(std::vector<double>(c.N.begin(), c.N.end()), c.w));
        vtest::ScenarioSpec p = percentileSpec("Percentiles", {{"X", "X"}, {"Wt", "W"}}, Numbered("P"), table);
        auto points = RunAndRead(p);
        vtest::ScenarioSpec d = p;
        d.subType = "Describe";
        d.outputTable1 = Numbered("D");
        d.options = {{"Percentile", true}, {"PercentileRadio", "Percentiles"}};
        auto described = RunAndRead(d);
        ASSERT_EQ(points.size(), 101u) << c.name;
        ASSERT_EQ(described.size(), 1u) << c.name;
        for (int i = 1; i < 100; ++i) {
            const double expected = static_cast<double>(ExactWeightedPercentile(c.N, c.w, 0, i, 100));
            EXPECT_EQ(points[static_cast<std::size_t>(i)].Num("Value"), expected) << c.name << " point " << i;
            EXPECT_EQ(described[0].Num(std::to_string(i) + "_Percentile"), expected) << c.name << " point " << i;
        }
    }
}
