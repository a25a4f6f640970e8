// "Chi-Square" scenarios through the engine: summary and detail tables row
// by row against counts worked out by hand and the chi-square tail in
// closed form.
#include "AnalysisFixture.h"

#include <cmath>
#include <tuple>

using namespace dao;
using namespace atest;

namespace {

// Upper tail of chi-square for 1 to 4 degrees of freedom, in closed form.
double chiTail(double x, int df) {
    const double pi = 3.14159265358979323846;
    switch (df) {
    case 1: return std::erfc(std::sqrt(x / 2));
    case 2: return std::exp(-x / 2);
    case 3: return std::erfc(std::sqrt(x / 2)) + std::sqrt(2 * x / pi) * std::exp(-x / 2);
    case 4: return std::exp(-x / 2) * (1 + x / 2);
    default: return std::nan("");
    }
}

vtest::ScenarioSpec chiSpec(const std::vector<vtest::ScenarioFieldRow>& fields, bool all, bool detail,
                            bool ignoreBlanks, const std::string& out1 = "Sum", const std::string& out2 = "Det") {
    vtest::ScenarioSpec s = vtest::ScenarioOn("N", "Chi-Square", "Data", out1, out2);
    s.options = {{"ChiAll", all}, {"ChiDetail", detail}, {"ChiIgnoreBlanks", ignoreBlanks}};
    s.fields = fields;
    return s;
}

struct Summary {
    Variant group;
    double count, groups, expected, chi, df;
};

struct Detail {
    Variant category;
    double observed, expected, total, cumulative;
};

class ChiSquareTest : public AnalysisTest {
protected:
    bool run(const vtest::ScenarioSpec& spec) {
        std::string err;
        bool ok = Run(Store(spec), &err);
        EXPECT_TRUE(ok) << err;
        return ok;
    }

    static void checkSummary(const OutRow& r, const Summary& x, const std::string& what) {
        if (!x.group.IsEmpty()) {
            EXPECT_TRUE(NamesEqual(r["G"].ToString(), x.group.ToString())) << what;
        }
        EXPECT_DOUBLE_EQ(r.Num("Count"), x.count) << what;
        EXPECT_EQ(r.Num("Groups"), x.groups) << what;
        EXPECT_DOUBLE_EQ(r.Num("Expected"), x.expected) << what;
        EXPECT_NEAR(r.Num("Chi-Square"), x.chi, 1e-12) << what;
        EXPECT_EQ(r.Num("DF"), x.df) << what;
        if (x.df > 0) {
            EXPECT_TRUE(AgreesTo(chiTail(x.chi, static_cast<int>(x.df)), r.Num("Prob"), 6)) << what;
        } else {
            EXPECT_TRUE(r.IsNull("Prob")) << what;
        }
    }

    static void checkDetail(const OutRow& r, const std::string& categoryColumn, const Detail& x, const std::string& what) {
        if (x.category.IsNull()) {
            EXPECT_TRUE(r.IsNull(categoryColumn)) << what;
        } else {
            EXPECT_TRUE(NamesEqual(r[categoryColumn].ToString(), x.category.ToString()))
                << what << ": " << r[categoryColumn].ToString();
        }
        const double O = x.observed, E = x.expected, T = x.total;
        EXPECT_DOUBLE_EQ(r.Num("Observed"), O) << what;
        EXPECT_DOUBLE_EQ(r.Num("Expected"), E) << what;
        EXPECT_NEAR(r.Num("Difference"), O - E, 1e-12) << what;
        EXPECT_NEAR(r.Num("Chi-Square"), (O - E) * (O - E) / E, 1e-12) << what;
        EXPECT_NEAR(r.Num("Observed_Pcnt"), O / T, 1e-12) << what;
        EXPECT_NEAR(r.Num("Expected_Pcnt"), E / T, 1e-12) << what;
        EXPECT_NEAR(r.Num("Pcnt_Diff"), (O - E) / T, 1e-12) << what;
        EXPECT_DOUBLE_EQ(r.Num("Cumulative"), x.cumulative) << what;
        EXPECT_NEAR(r.Num("Cumulative_Pcnt"), x.cumulative / T, 1e-12) << what;
    }
};

std::vector<Row> pairs(const std::vector<std::pair<Variant, Variant>>& v) {
    std::vector<Row> rows;
    for (const auto& [a, b] : v) rows.push_back({a, b});
    return rows;
}

// Records of group g and category c, n of each.
std::vector<Row> repeated(const std::vector<std::tuple<const char*, const char*, int>>& counts) {
    std::vector<Row> rows;
    for (const auto& [g, c, n] : counts)
        for (int i = 0; i < n; ++i) rows.push_back({Variant(g), Variant(c)});
    return rows;
}

} // namespace

TEST_F(ChiSquareTest, SummaryAndDetailOfGroupedCounts) {
    MakeTable("Data", {{"G", dbText, 5}, {"C", dbText, 10}},
              repeated({{"a", "red", 5}, {"b", "green", 2}, {"a", "green", 3}, {"c", "blue", 4}, {"a", "blue", 1},
                        {"b", "red", 2}}));
    ASSERT_TRUE(run(chiSpec({{"G", "G"}, {"C", "C"}}, false, true, false)));

    EXPECT_EQ(ColumnNames("Sum"),
              (std::vector<std::string>{"G", "DataField", "Count", "Groups", "Expected", "Chi-Square", "DF", "Prob"}));
    auto sum = ReadTable("Sum");
    ASSERT_EQ(sum.size(), 3u);
    checkSummary(sum[0], {"a", 9, 3, 3, 8.0 / 3, 2}, "a");
    checkSummary(sum[1], {"b", 4, 2, 2, 0, 1}, "b");
    checkSummary(sum[2], {"c", 4, 1, 4, 0, 0}, "c: one category");
    EXPECT_EQ(sum[0]["DataField"].ToString(), "C");

    EXPECT_EQ(ColumnNames("Det"),
              (std::vector<std::string>{"G", "C", "Observed", "Expected", "Difference", "Chi-Square", "Observed_Pcnt",
                                        "Expected_Pcnt", "Pcnt_Diff", "Cumulative", "Cumulative_Pcnt"}));
    auto det = ReadTable("Det");
    ASSERT_EQ(det.size(), 6u);
    const Detail expected[] = {{"blue", 1, 3, 9, 1}, {"green", 3, 3, 9, 4}, {"red", 5, 3, 9, 9},
                               {"green", 2, 2, 4, 2}, {"red", 2, 2, 4, 4}, {"blue", 4, 4, 4, 4}};
    const char* groups[] = {"a", "a", "a", "b", "b", "c"};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(det[i]["G"].ToString(), groups[i]);
        checkDetail(det[i], "C", expected[i], "detail " + std::to_string(i));
    }
}

TEST_F(ChiSquareTest, AbsentCategoriesAddTheirExpectedValueToTheStatistic) {
    // Five categories over the table; group y has only A (4), C (1) and E (1).
    MakeTable("Data", {{"G", dbText, 5}, {"C", dbText, 5}},
              repeated({{"x", "A", 2}, {"x", "B", 2}, {"x", "C", 2}, {"x", "D", 2}, {"x", "E", 2}, {"y", "A", 4},
                        {"y", "C", 1}, {"y", "E", 1}}));

    // E = 6/5; present: (1.2 − 4)² + 2·0.2² over 1.2 = 6.6; absent B and D add 1.2 each.
    for (bool detail : {true, false}) {
        ASSERT_TRUE(run(chiSpec({{"G", "G"}, {"C", "C"}}, true, detail, false)));
        EXPECT_EQ(ColumnNames("Sum"), (std::vector<std::string>{"G", "DataField", "Count", "Groups", "MissingGroups",
                                                                 "Expected", "Chi-Square", "DF", "Prob"}));
        auto sum = ReadTable("Sum");
        ASSERT_EQ(sum.size(), 2u);
        const std::string what = detail ? "with detail" : "without detail";
        checkSummary(sum[0], {"x", 10, 5, 2, 0, 4}, "x " + what);
        checkSummary(sum[1], {"y", 6, 5, 1.2, 9.0, 4}, "y " + what);
        EXPECT_EQ(sum[0].Num("MissingGroups"), 0.0);
        EXPECT_EQ(sum[1].Num("MissingGroups"), 2.0);
    }
    auto det = ReadTable("Det"); // from the run with the detail table
    ASSERT_EQ(det.size(), 10u);
    const Detail y[] = {{"A", 4, 1.2, 6, 4}, {"B", 0, 1.2, 6, 4}, {"C", 1, 1.2, 6, 5}, {"D", 0, 1.2, 6, 5},
                        {"E", 1, 1.2, 6, 6}};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(det[5 + i]["G"].ToString(), "y");
        checkDetail(det[5 + i], "C", y[i], "y " + std::to_string(i));
    }
}

TEST_F(ChiSquareTest, ZeroAndNegativeWeightsAreLeftOutOfTheCounts) {
    MakeTable("Data", {{"C", dbText, 10}, {"Wt", dbDouble}},
              {{"red", 2.5}, {"red", 1.5}, {"green", 4.0}, {"blue", 0.0}, {"blue", -3.0}, {"yellow", Variant::Null()},
               {"green", 0.0}});
    ASSERT_TRUE(run(chiSpec({{"C", "C"}, {"Wt", "W"}}, true, true, false)));
    auto sum = ReadTable("Sum");
    ASSERT_EQ(sum.size(), 1u);
    checkSummary(sum[0], {Variant(), 8, 2, 4, 0, 1}, "weighted");
    EXPECT_EQ(sum[0].Num("MissingGroups"), 0.0); // blue and yellow are no categories
    auto det = ReadTable("Det");
    ASSERT_EQ(det.size(), 2u);
    checkDetail(det[0], "C", {"green", 4, 4, 8, 4}, "green");
    checkDetail(det[1], "C", {"red", 4, 4, 8, 8}, "red");

    // Under the rule "Equal" a weight equal to the missing value counts nowhere either.
    vtest::ScenarioSpec s = chiSpec({{"C", "C"}, {"Wt", "W"}}, false, false, false, "Sum2");
    s.missingType = "1";
    s.missingEqual = 4.0;
    ASSERT_TRUE(run(s));
    auto eq = ReadTable("Sum2");
    ASSERT_EQ(eq.size(), 1u);
    checkSummary(eq[0], {Variant(), 4, 1, 4, 0, 0}, "equal rule");
}

TEST_F(ChiSquareTest, BlanksFormACategoryUnlessIgnored) {
    MakeTable("Data", {{"C", dbText, 10}},
              {{Variant("x")}, {Variant::Null()}, {Variant("y")}, {Variant::Null()}, {Variant("x")}, {Variant::Null()}});
    ASSERT_TRUE(run(chiSpec({{"C", "C"}}, false, true, false)));
    auto sum = ReadTable("Sum");
    ASSERT_EQ(sum.size(), 1u);
    checkSummary(sum[0], {Variant(), 6, 3, 2, 1, 2}, "blanks included");
    auto det = ReadTable("Det");
    ASSERT_EQ(det.size(), 3u);
    checkDetail(det[0], "C", {Variant::Null(), 3, 2, 6, 3}, "Null");
    checkDetail(det[1], "C", {"x", 2, 2, 6, 5}, "x");
    checkDetail(det[2], "C", {"y", 1, 2, 6, 6}, "y");

    ASSERT_TRUE(run(chiSpec({{"C", "C"}}, false, true, true, "Sum2", "Det2")));
    auto ignored = ReadTable("Sum2");
    ASSERT_EQ(ignored.size(), 1u);
    checkSummary(ignored[0], {Variant(), 3, 2, 1.5, 1.0 / 3, 1}, "blanks ignored");
    EXPECT_EQ(ReadTable("Det2").size(), 2u);
}

TEST_F(ChiSquareTest, MissingValueRuleAppliesToNumericFieldsAndTextFieldsLoseOnlyNulls) {
    // Two compare fields, no group field: one summary row per field, and the
    // detail table names the field and holds the category as text.
    MakeTable("Data", {{"N", dbDouble}, {"T", dbText, 10}},
              {{1.0, "a"}, {1.0, "a"}, {2.0, "b"}, {-9.0, "-9"}, {-9.0, Variant::Null()}, {Variant::Null(), "a"}});
    vtest::ScenarioSpec s = chiSpec({{"N", "C"}, {"T", "C"}}, false, true, false);
    s.missingType = "1";
    s.missingEqual = -9.0;
    ASSERT_TRUE(run(s));
    auto sum = ReadTable("Sum");
    ASSERT_EQ(sum.size(), 2u);
    EXPECT_EQ(sum[0]["DataField"].ToString(), "N");
    checkSummary(sum[0], {Variant(), 3, 2, 1.5, 1.0 / 3, 1}, "N");
    EXPECT_EQ(sum[1]["DataField"].ToString(), "T");
    // "-9", "a" (3) and "b": the text "-9" is no missing value.
    checkSummary(sum[1], {Variant(), 5, 3, 5.0 / 3, (4.0 / 9 + 16.0 / 9 + 4.0 / 9) / (5.0 / 3), 2}, "T");

    EXPECT_EQ(ColumnNames("Det"),
              (std::vector<std::string>{"Compare_Field", "Compare_Value", "Observed", "Expected", "Difference",
                                        "Chi-Square", "Observed_Pcnt", "Expected_Pcnt", "Pcnt_Diff", "Cumulative",
                                        "Cumulative_Pcnt"}));
    auto td = db->TableDefs()("Det");
    EXPECT_EQ(td->Fields()("Compare_Value")->Type(), dbText); // a number and a text field: text
    EXPECT_EQ(td->Fields()("Compare_Value")->Size(), 25);
    auto det = ReadTable("Det");
    ASSERT_EQ(det.size(), 5u);
    const char* field[] = {"N", "N", "T", "T", "T"};
    const char* value[] = {"1", "2", "-9", "a", "b"};
    const double observed[] = {2, 1, 1, 3, 1};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(det[i]["Compare_Field"].ToString(), field[i]) << i;
        EXPECT_EQ(det[i]["Compare_Value"].ToString(), value[i]) << i;
        EXPECT_EQ(det[i].Num("Observed"), observed[i]) << i;
    }
}

TEST_F(ChiSquareTest, A64BitWholeNumberFieldLosesItsMissingValuesAsEveryNumberFieldDoes) {
    // 1, 1, 2, 9, 9 under the rule "Equal" 9: the 9s are missing in a field of
    // every number type, as Describe and the crosstab leave them out;
    // categories 1 (2) and 2 (1), expected 1.5, chi-square (0.25 + 0.25) / 1.5.
    const struct {
        int type;
        const char* why;
    } cases[] = {
        {dbByte, "byte"}, {dbInteger, "integer"}, {dbLong, "long"},
        {dbBigInt, "64-bit whole numbers (another program's BIGINT)"}, {dbCurrency, "currency"},
        {dbSingle, "single"}, {dbDouble, "double"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string table = "Data" + std::to_string(++n), out = "Sum" + std::to_string(n);
        MakeTable(table, {{"N", c.type}}, {{Variant(1.0)}, {Variant(1.0)}, {Variant(2.0)}, {Variant(9.0)}, {Variant(9.0)}});
        vtest::ScenarioSpec s = chiSpec({{"N", "C"}}, false, false, false, out);
        s.inputTable = table;
        s.missingType = "1";
        s.missingEqual = 9.0;
        ASSERT_TRUE(run(s)) << c.why;
        auto sum = ReadTable(out);
        ASSERT_EQ(sum.size(), 1u) << c.why;
        checkSummary(sum[0], {Variant(), 3, 2, 1.5, 1.0 / 3, 1}, c.why);
    }
}

TEST_F(ChiSquareTest, CategoryListAndCountsFollowOneExplicitOrder) {
    // Categories entered out of order and in mixed letter case: every group's
    // detail follows the one ordered category list, and categories that
    // differ only in case are one.
    MakeTable("Data", {{"G", dbText, 5}, {"C", dbText, 10}},
              pairs({{"g2", "kiwi"}, {"g1", "pear"}, {"g1", "Apple"}, {"g2", "FIG"}, {"g1", "fig"}, {"g1", "apple"}}));
    ASSERT_TRUE(run(chiSpec({{"G", "G"}, {"C", "C"}}, true, true, false)));
    auto sum = ReadTable("Sum");
    ASSERT_EQ(sum.size(), 2u);
    checkSummary(sum[0], {"g1", 4, 4, 1, 2, 3}, "g1");
    checkSummary(sum[1], {"g2", 2, 4, 0.5, 2, 3}, "g2");
    auto det = ReadTable("Det");
    ASSERT_EQ(det.size(), 8u);
    const Detail expected[] = {{"apple", 2, 1, 4, 2},   {"fig", 1, 1, 4, 3},    {"kiwi", 0, 1, 4, 3},
                               {"pear", 1, 1, 4, 4},    {"apple", 0, 0.5, 2, 0}, {"fig", 1, 0.5, 2, 1},
                               {"kiwi", 1, 0.5, 2, 2},  {"pear", 0, 0.5, 2, 2}};
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(det[i]["G"].ToString(), i < 4 ? "g1" : "g2") << i;
        checkDetail(det[i], "C", expected[i], "detail " + std::to_string(i));
    }
}

TEST_F(ChiSquareTest, AQueryWithParametersIsRefusedWithItsMessage) {
    MakeTable("Data", {{"C", dbText, 10}}, {{Variant("x")}, {Variant("y")}});
    db->CreateQueryDef("Asking", "PARAMETERS [Which] Text ( 255 ); SELECT * FROM Data WHERE C = [Which];");
    struct Case {
        const char* name;
        bool detail, ignoreBlanks;
    };
    const Case cases[] = {{"detail table first", true, false},
                          {"condition on the field first", false, true},
                          {"grouped counts first", false, false}};
    for (const auto& c : cases) {
        vtest::ScenarioSpec s = chiSpec({{"C", "C"}}, false, c.detail, c.ignoreBlanks);
        s.inputTable = "Asking";
        std::string err;
        EXPECT_FALSE(Run(Store(s), &err)) << c.name;
        EXPECT_EQ(err, "The selected query expects parameters and cannot be used by Pelloran.") << c.name;
    }
}

TEST_F(ChiSquareTest, ADetailTableWithoutAnOutputTable2NameIsRefusedWithAClearMessage) {
    MakeTable("Data", {{"C", dbText, 10}}, {{Variant("x")}, {Variant("y")}});
    std::string err;
    EXPECT_FALSE(Run(Store(chiSpec({{"C", "C"}}, false, true, false, "Sum", "")), &err));
    EXPECT_EQ(err, "The Chi-Square detail table needs a name: the scenario has no output table 2.");
    EXPECT_FALSE(TableExists("Sum")); // a failed run writes nothing
    // Without the detail table no second name is needed.
    EXPECT_TRUE(Run(Store(chiSpec({{"C", "C"}}, false, false, false, "Sum", "")), &err)) << err;
}


TEST_F(ChiSquareTest, DetailsOfCompareFieldsOfDifferentTypesHoldEveryValue) {
    // The chi-square's and the ANOVA's detail tables give "Compare_Value" the
    // compare fields' common type, a text column where they differ: a value
    // longer than the column the run chose failed the run with "The field
    // 'Compare_Value' is too small ...". Expected texts by hand: the value
    // itself, a double in 15 significant digits; every value counts twice.
    const std::string longText(40, 'm');
    const struct {
        Column b;          // the second compare field, beside the text field A
        Variant low, high; // its two values, in their order
        std::vector<std::string> values; // the detail's values: A's, then B's
        const char* why;
    } cases[] = {
        {{"B", dbMemo}, Variant(longText), Variant("short"), {"a", "b", longText, "short"},
         "a memo field's text of 40 characters beside a text field of 20"},
        {{"B", dbDouble}, Variant(-1.2345678901234567e-300), Variant(2.0), {"a", "b", "-1.23456789012346E-300", "2"},
         "a number of 22 characters beside a text field of 20"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string table = "Data" + std::to_string(++n);
        MakeTable(table, {{"A", dbText, 20}, c.b, {"Y", dbDouble}},
                  {{Variant("a"), c.low, Variant(1.0)},
                   {Variant("a"), c.high, Variant(2.0)},
                   {Variant("b"), c.low, Variant(3.0)},
                   {Variant("b"), c.high, Variant(5.0)}});
        vtest::ScenarioSpec chi = chiSpec({{"A", "C"}, {"B", "C"}}, false, true, false, "ChiOut" + std::to_string(n),
                                          "ChiDet" + std::to_string(n));
        vtest::ScenarioSpec anova = vtest::ScenarioOn("G", "Two way ANOVA", table, "AnovaOut" + std::to_string(n),
                                                      "AnovaDet" + std::to_string(n));
        anova.options = {{"GroupIgnoreBlanks", true}, {"GroupDetail", true}};
        anova.fields = {{"A", "C"}, {"B", "C"}, {"Y", "X"}};
        chi.inputTable = table;
        for (const auto& [spec, countColumn] : {std::pair{chi, "Observed"}, std::pair{anova, "Count"}}) {
            SCOPED_TRACE(std::string(c.why) + ", " + spec.subType);
            std::string err;
            ASSERT_TRUE(Run(Store(spec), &err)) << err;
            auto rows = ReadTable(spec.outputTable2);
            ASSERT_EQ(rows.size(), c.values.size());
            for (std::size_t i = 0; i < rows.size(); ++i) {
                EXPECT_EQ(rows[i]["Compare_Value"].ToString(), c.values[i]) << "row " << i;
                EXPECT_EQ(rows[i].Num(countColumn), 2.0) << "row " << i;
            }
        }
    }
}

// "Groups" is an Integer column: a group of more categories than it counts
// (32,767) fails the run naming the field and the count, and the previous
// output stays; one category fewer runs. Field K holds 0, 1, ... n − 1 once
// each: n categories, each observed once, the expected count 1, the
// statistic 0 and n − 1 degrees of freedom.
TEST_F(ChiSquareTest, MoreCategoriesThanTheGroupsColumnCountsFailNamingTheFieldAndTheCount) {
    const struct {
        int categories;
        const char* message; // empty: the run succeeds
    } cases[] = {
        {32767, ""},
        {32768, "Overflow: field K has 32768 categories in one group, more than the 32767 the column Groups of a "
                "chi-square table counts."},
    };
    for (const auto& c : cases) {
        const std::string table = "Data" + std::to_string(c.categories);
        std::vector<Row> rows;
        for (int i = 0; i < c.categories; ++i) rows.push_back({Variant(double(i))});
        MakeTable(table, {{"K", dbDouble}}, rows);
        const std::string out = "Out" + std::to_string(c.categories);
        MakeTable(out, {{"Old", dbDouble}}, {{7.0}});
        vtest::ScenarioSpec s = chiSpec({{"K", "C"}}, false, false, true, out);
        s.inputTable = table;
        std::string err;
        const bool ok = Run(Store(s), &err);
        const auto written = ReadTable(out);
        ASSERT_EQ(written.size(), 1u) << c.categories;
        if (*c.message) {
            EXPECT_FALSE(ok) << c.categories;
            EXPECT_EQ(err, c.message);
            EXPECT_EQ(written[0].Num("Old"), 7.0) << "the previous output stays";
        } else {
            EXPECT_TRUE(ok) << err;
            EXPECT_EQ(written[0].Num("Groups"), c.categories);
            EXPECT_EQ(written[0].Num("Count"), c.categories);
            EXPECT_EQ(written[0].Num("Expected"), 1.0);
            EXPECT_EQ(written[0].Num("Chi-Square"), 0.0);
            EXPECT_EQ(written[0].Num("DF"), c.categories - 1);
        }
    }
}
