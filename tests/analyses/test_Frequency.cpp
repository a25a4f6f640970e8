// "Frequency" scenarios through the engine: interval rows, counts and
// cumulative fractions against counts worked out by hand from the border
// rules, and the refusals of an unusable interval layout.
#include "AnalysisFixture.h"
#include "OutputCells.h"
#include "analyses/descriptive/CFrequency.h"
#include "support/AnalysisSeam.h"
#include "support/OtherProgram.h"

using namespace dao;
using namespace atest;
using cells::ExpectCells;

namespace {

using Options = std::vector<std::pair<std::string, Variant>>;

vtest::ScenarioSpec frequencySpec(const Options& options, const std::vector<vtest::ScenarioFieldRow>& fields,
                                  const std::string& out) {
    vtest::ScenarioSpec s = vtest::ScenarioOn("P", "Frequency", "Data", out);
    s.options = options;
    s.fields = fields;
    return s;
}

// Intervals of the data's own span, `n` of them, with the border rule given.
Options defaultIntervals(std::int16_t n, const char* border) {
    return {{"InterV", n}, {"FreqGroupRadio", "Default"}, {"FreqIncRadio", border}};
}

Options userIntervals(double start, double width, std::int16_t n, const char* border, bool sum = false) {
    return {{"InterV", n},          {"FreqGroupRadio", "Specified"}, {"FreqInit", start},
            {"FreqWidth", width},   {"FreqIncRadio", border},        {"FreqSum", sum}};
}

using FrequencyTest = cells::CellsTest;

} // namespace

TEST_F(FrequencyTest, CountsFollowTheBorderRule) {
    // Start 0, width 10, three intervals; cells: below, [0,10), [10,20),
    // [20,30), above with the lower border in the interval; below, (0,10],
    // (10,20], (20,30], above with the upper border in it.
    MakeTable("Data", {{"X", dbDouble}}, {{-5.0}, {0.0}, {5.0}, {10.0}, {25.0}, {30.0}, {35.0}});
    struct Case {
        const char* border;
        std::vector<double> counts; // cells 0 .. 4, derived by hand from the rule
        const char* low;
        const char* high;
    };
    const Case cases[] = {
        // -5 | 0 5 | 10 | 25 | 30 35
        {"Lower", {1, 2, 1, 1, 2}, "Low<=Range", "Range<High"},
        // -5 0 | 5 10 | - | 25 30 | 35
        {"Upper", {2, 2, 0, 2, 1}, "Low<Range", "Range<=High"},
    };
    for (const auto& c : cases) {
        std::string out = Numbered("Out");
        auto rows = RunAndRead(frequencySpec(userIntervals(0, 10, 3, c.border), {{"X", "X"}}, out));
        EXPECT_EQ(ColumnNames(out), (std::vector<std::string>{"DataField", "Interval", c.low, c.high, "Count",
                                                              "Cumulative", "Count%", "Cumulative%"}));
        ASSERT_EQ(rows.size(), 5u) << c.border;
        double cum = 0;
        for (std::size_t i = 0; i < 5; ++i) {
            const auto& r = rows[i];
            cum += c.counts[i];
            EXPECT_EQ(r["DataField"].ToString(), "X");
            const std::string cell = std::string(c.border) + " cell " + std::to_string(i);
            ExpectCells(r, {{"Interval", static_cast<double>(i + 1)}, {"Count", c.counts[i]}, {"Cumulative", cum},
                            {"Count%", c.counts[i] / 7}, {"Cumulative%", cum / 7}}, cell);
            // The outer rows carry only their inner border.
            EXPECT_EQ(r.IsNull(c.low), i == 0) << cell;
            EXPECT_EQ(r.IsNull(c.high), i == 4) << cell;
            if (i > 0) {
                EXPECT_EQ(r.Num(c.low), 10.0 * (static_cast<double>(i) - 1)) << c.border;
            }
            if (i < 4) {
                EXPECT_EQ(r.Num(c.high), 10.0 * static_cast<double>(i)) << c.border;
            }
        }
    }
}

TEST_F(FrequencyTest, AValueOnADecimalBorderLandsOnIt) {
    // 0.45 is three widths of 0.15 from 0: the lower-border rule puts it in
    // interval 4 (the above-range cell with three intervals), the upper-border
    // rule in interval 3. 0.3 likewise is two widths.
    MakeTable("Data", {{"X", dbDouble}}, {{0.45}, {0.3}});
    struct Case {
        const char* border;
        std::vector<double> counts; // cells 0 .. 4
    };
    const Case cases[] = {{"Lower", {0, 0, 0, 1, 1}}, {"Upper", {0, 0, 1, 1, 0}}};
    for (const auto& c : cases) {
        auto rows = RunAndRead(frequencySpec(userIntervals(0, 0.15, 3, c.border), {{"X", "X"}}, Numbered("Out")));
        ASSERT_EQ(rows.size(), 5u);
        for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(rows[i].Num("Count"), c.counts[i]) << c.border << " cell " << i;
    }
}

TEST_F(FrequencyTest, DefaultIntervalsSpanTheDataAndSkipTheOuterCells) {
    // Two fields, min 2 and max 12 over both: r = 10, pad r/10 = 1, width
    // (10 + 1)/5 = 2.2; Start = 2 with the lower border, 2 − 1 = 1 with the
    // upper. X: 2, 4.2, 12 → (x − 2)/2.2 = 0, 1, 4.54 → intervals 1, 2, 5.
    // Z: 3 → interval 1. With the upper border, X: (x − 1)/2.2 = 0.45, 1.45,
    // 5 (whole) → 1, 2, 5.
    MakeTable("Data", {{"X", dbDouble}, {"Z", dbDouble}}, {{2.0, 3.0}, {4.2, Variant::Null()}, {12.0, Variant::Null()}});
    struct Case {
        const char* border;
        double start;
        std::vector<double> x, z; // counts of intervals 1 .. 5
    };
    const Case cases[] = {{"Lower", 2, {1, 1, 0, 0, 1}, {1, 0, 0, 0, 0}}, {"Upper", 1, {1, 1, 0, 0, 1}, {1, 0, 0, 0, 0}}};
    for (const auto& c : cases) {
        std::string out = Numbered("Out");
        auto rows = RunAndRead(frequencySpec(defaultIntervals(5, c.border), {{"X", "X"}, {"Z", "X"}}, out));
        ASSERT_EQ(rows.size(), 10u) << c.border;
        std::string low = ColumnNames(out)[2];
        for (std::size_t i = 0; i < 10; ++i) {
            const auto& r = rows[i];
            const std::size_t cell = i % 5;
            EXPECT_EQ(r["DataField"].ToString(), i < 5 ? "X" : "Z");
            EXPECT_EQ(r.Num("Interval"), static_cast<double>(cell + 1));
            EXPECT_TRUE(AgreesTo(c.start + 2.2 * static_cast<double>(cell), r.Num(low), 14)) << c.border << " " << i;
            EXPECT_EQ(r.Num("Count"), i < 5 ? c.x[cell] : c.z[cell]) << c.border << " " << i;
        }
        EXPECT_EQ(rows[4].Num("Cumulative%"), 1.0);
    }
}

TEST_F(FrequencyTest, DefaultIntervalsWithTheUpperBorderIncludedCountTheLargestValueInTheLastInterval) {
    // Values 1, 5, 8: range 7, pad 7/10 = 0.7, start 1 − 0.7 = 0.3, width
    // 7.7/n; the last border, 0.3 + n · 7.7/n = 8, is the largest value,
    // which the upper border rule counts in the last interval. Value v lies
    // in interval k = ceil((v − 0.3) · n / 7.7) = ceil((10v − 3) · n / 77).
    // In doubles the quotient (8 − 0.3) / (7.7/n) comes out a little above
    // n, and 8 went to the cell beyond the last interval, which default
    // intervals do not write.
    MakeTable("Data", {{"X", dbDouble}}, {{1.0}, {5.0}, {8.0}});
    const struct {
        std::int16_t n;
        const char* why;
    } cases[] = {
        {2, "width 3.85"},
        {3, "width 2.5666..."},
        {4, "width 1.925"},
        {7, "width 1.1"},
    };
    auto interval = [](int v, int n) { return ((10 * v - 3) * n + 76) / 77; }; // the ceiling, in integers
    for (const auto& c : cases) {
        const std::string out = Numbered("Out");
        const auto rows = RunAndRead(frequencySpec(defaultIntervals(c.n, "Upper"), {{"X", "X"}}, out));
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(c.n)) << c.why;
        const std::string low = ColumnNames(out)[2];
        for (int k = 1; k <= c.n; ++k) {
            const auto& r = rows[static_cast<std::size_t>(k - 1)];
            EXPECT_TRUE(AgreesTo(0.3 + 7.7 * (k - 1) / c.n, r.Num(low), 14)) << c.why << " " << k;
            double count = 0;
            for (int v : {1, 5, 8}) count += interval(v, c.n) == k ? 1 : 0;
            EXPECT_EQ(r.Num("Count"), count) << c.why << " " << k;
        }
        EXPECT_EQ(rows.back().Num("Cumulative%"), 1.0) << c.why;
    }
}

TEST_F(FrequencyTest, DefaultIntervalsOfEqualValuesWithTheUpperBorderIncludedCountThemInsteadOfBelowTheFirstInterval) {
    // All values 5: no range and no pad, width 1. With the lower border the
    // intervals start at 5, [5, 6) holding the three values; with the upper
    // border they start at 4, (4, 5] holding them. They started at 5 too, so
    // 5 lay below (5, 6], in the cell that default intervals do not write:
    // every row counted 0.
    MakeTable("Data", {{"X", dbDouble}}, {{5.0}, {5.0}, {5.0}});
    const struct {
        const char* border;
        double start;
    } cases[] = {{"Lower", 5}, {"Upper", 4}};
    for (const auto& c : cases) {
        const std::string out = Numbered("Out");
        const auto rows = RunAndRead(frequencySpec(defaultIntervals(3, c.border), {{"X", "X"}}, out));
        ASSERT_EQ(rows.size(), 3u) << c.border;
        const std::string low = ColumnNames(out)[2], high = ColumnNames(out)[3];
        for (std::size_t i = 0; i < 3; ++i) {
            const double lo = c.start + static_cast<double>(i);
            ExpectCells(rows[i], {{low, lo}, {high, lo + 1}, {"Count", i == 0 ? 3.0 : 0.0}, {"Cumulative%", 1}},
                        std::string(c.border) + " " + std::to_string(i));
        }
    }
}

TEST_F(FrequencyTest, DefaultIntervalsOfATinyRangeAreWorkedOutNotOverflow) {
    // Values 1 .. 5 · 10^-s: range r = 4·10^-s, pad = 10^(log10 r − 2) =
    // r/100, width (r + r/100)/5 = 0.808·10^-s raised to two digits: 0.81·10^-s;
    // start = min. Each value then falls in its own interval.
    for (const int scale : {3, 30, 300}) {
        const std::string e = "e-" + std::to_string(scale);
        std::vector<Row> rows;
        for (int k = 1; k <= 5; ++k) rows.push_back({std::stod(std::to_string(k) + e)});
        Replace("Data", {{"X", dbDouble}}, rows);
        const std::string out = "Tiny" + std::to_string(scale);
        auto got = RunAndRead(frequencySpec(defaultIntervals(5, "Lower"), {{"X", "X"}}, out));
        ASSERT_EQ(got.size(), 5u) << scale;
        const std::string low = ColumnNames(out)[2];
        for (std::size_t i = 0; i < 5; ++i) {
            EXPECT_TRUE(AgreesTo(std::stod("1" + e) + std::stod("0.81" + e) * static_cast<double>(i), got[i].Num(low), 14))
                << scale << " " << i;
            EXPECT_EQ(got[i].Num("Count"), 1.0) << scale << " " << i;
        }
    }
}

TEST_F(FrequencyTest, WeightsCountAndSumsFollowTheValues) {
    // Group a: values 1 (w 2), 3 (w 0.5), 5 (w 0: counts nowhere), 12 (w 1)
    // in intervals of width 4 from 0; W = 3.5, S = 2 + 1.5 + 12 = 15.5.
    // Group b: values -2 and 2 of weight 1: S = 0, so the sum fractions stay Null.
    MakeTable("Data", {{"G", dbText, 4}, {"X", dbDouble}, {"Wt", dbDouble}},
              {{"a", 1.0, 2.0}, {"a", 3.0, 0.5}, {"a", 5.0, 0.0}, {"a", 12.0, 1.0}, {"b", -2.0, 1.0}, {"b", 2.0, 1.0}});
    auto rows = RunAndRead(frequencySpec(userIntervals(0, 4, 2, "Lower", true), {{"G", "G"}, {"X", "X"}, {"Wt", "W"}}, "Out"));
    ASSERT_EQ(rows.size(), 8u);
    struct Expect {
        double count, cumulative, sum, cumulativeSum;
    };
    // Cells: below 0, [0,4), [4,8), 8 and above.
    const Expect a[] = {{0, 0, 0, 0}, {2.5, 2.5, 3.5, 3.5}, {0, 2.5, 0, 3.5}, {1, 3.5, 12, 15.5}};
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& r = rows[i];
        EXPECT_EQ(r["G"].ToString(), "a");
        ExpectCells(r, {{"Count", a[i].count}, {"Cumulative", a[i].cumulative}, {"Count%", a[i].count / 3.5},
                        {"Sum", a[i].sum}, {"CumulativeSum", a[i].cumulativeSum}, {"Sum%", a[i].sum / 15.5},
                        {"CumulativeSum%", a[i].cumulativeSum / 15.5}}, "a " + std::to_string(i));
    }
    const double bCounts[] = {1, 1, 0, 0}; // -2 below, 2 in [0,4)
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& r = rows[4 + i];
        EXPECT_EQ(r["G"].ToString(), "b");
        ExpectCells(r, {{"Count", bCounts[i]}, {"Sum%", NAN}, {"CumulativeSum%", NAN}}, "b " + std::to_string(i));
    }
}

TEST_F(FrequencyTest, FractionalWeightsEndTheCumulativeFractionsAtExactlyOne) {
    // The records are read in the order of the first X field; the second
    // one's values come as 1 (w 0.1), 5 (w 0.2), 1 (w 0.6). Added in that
    // order its weights make 0.9 and its sums 1.7000000000000002, in the
    // order of the cells 0.7 + 0.2 = 0.8999999999999999 and 0.7 + 1 = 1.7:
    // its last "Cumulative%" and "CumulativeSum%" read 0.9999999999999999.
    MakeTable("Data", {{"X", dbDouble}, {"Z", dbDouble}, {"Wt", dbDouble}}, {{1.0, 1.0, 0.1}, {2.0, 5.0, 0.2}, {3.0, 1.0, 0.6}});
    for (const char* border : {"Lower", "Upper"}) {
        auto rows = RunAndRead(
            frequencySpec(userIntervals(0, 4, 2, border, true), {{"X", "X"}, {"Z", "X"}, {"Wt", "W"}}, Numbered("Out")));
        ASSERT_EQ(rows.size(), 8u) << border;
        for (std::size_t field : {0u, 4u}) {
            EXPECT_EQ(rows[field + 3].Num("Cumulative%"), 1.0) << border << " " << field;
            EXPECT_EQ(rows[field + 3].Num("CumulativeSum%"), 1.0) << border << " " << field;
        }
        // Z: the fractions of its cells add up to the last cumulative one.
        EXPECT_DOUBLE_EQ(rows[5].Num("Count%"), 7.0 / 9) << border;
        EXPECT_DOUBLE_EQ(rows[6].Num("Count%"), 2.0 / 9) << border;
        EXPECT_DOUBLE_EQ(rows[5].Num("Sum%"), 0.7 / 1.7) << border;
    }
}

TEST_F(FrequencyTest, AnUnusableIntervalLayoutIsRefusedBeforeWriting) {
    // The scenario tables' own rules keep such values out of stored
    // scenarios, so the entry is called directly, as any caller may.
    MakeTable("Data", {{"X", dbDouble}}, {{1.0}, {2.0}});
    struct Case {
        double width;
        std::int16_t intervals;
        const char* message;
    };
    const Case cases[] = {
        {0, 3, "The frequency interval width must be greater than 0."},  // every value would divide by 0
        {-1, 3, "The frequency interval width must be greater than 0."}, // borders would run backwards
        {1, 0, "The number of frequency intervals must be at least 1."}, // no row to write
        // Three widths of 1e308 from 0 end at 3e308, beyond the largest double:
        // the rows' borders were written as infinities.
        {1e308, 3, "The frequency intervals end beyond the range of a double: 3 intervals of 1E+308 from 0."},
    };
    RunContext cx;
    vtest::BeginRun(cx, db);
    for (const auto& c : cases) {
        FrequencySettings a;
        a.OutputTable1 = "Out";
        a.Table = "Data";
        a.fields = {"", "X"};
        a.nX = 1;
        a.FreqCode = "-YY";
        a.Intervals = c.intervals;
        a.Width = c.width;
        EXPECT_EQ(RunAnalysis<CFrequency>(a, cx), c.message);
        EXPECT_FALSE(TableExists("Out")) << c.message;
    }
}

TEST_F(FrequencyTest, DefaultIntervalsOfNumbersStoredAsTextsInAColumnOfNoTypeSpanTheNumbersNotTheTexts) {
    // Another program's table without types holds 9, 100, 20, 3, 45, 7, 9,
    // 1000 as texts; as texts "100" is the smallest and "9" the largest, and
    // the run failed with a width below 0. As numbers: min 3, max 1000,
    // r = 997, pad r/10 = 99.7, width (997 + 99.7)/4 = 274.175 from 3. Under
    // the rule "Low" with bound 5 the 3 is missing: min 7, r = 993, pad 99.3,
    // width (993 + 99.3)/4 = 273.075 from 7 (and "3" is a text greater than
    // any number to SQL, so the bound must be applied to the number).
    {
        vtest::OtherProgram other(tmp.file("data.db"));
        other.Exec("CREATE TABLE Data (K INTEGER PRIMARY KEY, X)");
        other.Exec("INSERT INTO Data (X) VALUES ('9'), ('100'), ('20'), ('3'), ('45'), ('7'), ('9'), ('1000')");
    }
    const struct {
        Variant low; // the rule "Low" with this bound; Empty: no rule
        double start, width;
        std::vector<double> counts; // intervals 1 .. 4
    } cases[] = {
        {Variant(), 3, 274.175, {7, 0, 0, 1}},
        {Variant(5.0), 7, 273.075, {6, 0, 0, 1}},
    };
    for (const auto& c : cases) {
        const std::string out = Numbered("Out");
        vtest::ScenarioSpec s = frequencySpec(defaultIntervals(4, "Lower"), {{"X", "X"}}, out);
        if (!c.low.IsEmpty()) {
            s.missingType = "2";
            s.missingLow = c.low;
        }
        std::string err;
        ASSERT_TRUE(Run(Store(s), &err)) << err;
        const auto rows = ReadTable(out);
        ASSERT_EQ(rows.size(), 4u);
        const std::string low = ColumnNames(out)[2];
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_TRUE(AgreesTo(c.start + c.width * static_cast<double>(i), rows[i].Num(low), 14)) << c.start << " " << i;
            EXPECT_EQ(rows[i].Num("Count"), c.counts[i]) << c.start << " " << i;
        }
    }
}

TEST_F(FrequencyTest, SpecifiedIntervalsBeyondWhatTheIntervalColumnNumbersAreRefusedNotNumberedBelowZero) {
    // Specified intervals get a row below and one above them, numbered from 1
    // in the Integer column "Interval": n intervals make n + 2 rows, so 32765
    // is the most whose last row is 32767. The value 2 lies in [2, 3), the
    // third interval, row 4. 32766 intervals numbered their last rows -32768
    // and -32767.
    MakeTable("Data", {{"X", dbDouble}}, {{2.0}});
    const struct {
        std::int16_t intervals;
        std::string message; // empty: the run succeeds
    } cases[] = {
        {32765, ""},
        {32766, "With specified intervals the number of frequency intervals must be at most 32765, not 32766."},
        {32767, "With specified intervals the number of frequency intervals must be at most 32765, not 32767."},
    };
    for (const auto& c : cases) {
        const std::string out = Numbered("Out");
        std::string err;
        EXPECT_EQ(Run(Store(frequencySpec(userIntervals(0, 1, c.intervals, "Lower"), {{"X", "X"}}, out)), &err),
                  c.message.empty());
        EXPECT_EQ(err, c.message);
        if (!c.message.empty()) {
            EXPECT_FALSE(TableExists(out)) << "refused before the table is made";
            continue;
        }
        const auto rows = ReadTable(out);
        ASSERT_EQ(rows.size(), 32767u);
        ExpectCells(rows[3], {{"Interval", 4}, {"Count", 1}});
        ExpectCells(rows.back(), {{"Interval", 32767}, {"Low<=Range", 32765}, {"Count", 0}, {"Cumulative", 1}});
    }
}

TEST_F(FrequencyTest, AParameterQueryWithDefaultIntervalsFailsNamingTheParameterQueryNotWithTheDatabasesText) {
    // The default intervals are worked out on the source before the entry
    // reads it: a query that asks for a parameter failed there with the
    // database's own "Too few parameters. Expected 1." as an unexpected error
    // (with an error report), where every other run on it names the
    // parameter query.
    MakeTable("Data", {{"X", dbDouble}}, {{1.0}, {5.0}, {9.0}});
    db->CreateQueryDef("Asking", "SELECT X FROM Data WHERE X > [Smallest X]");
    vtest::ScenarioSpec frequency = vtest::ScenarioOn("P", "Frequency", "Asking", "Out");
    frequency.options = defaultIntervals(4, "Lower");
    frequency.fields = {{"X", "X"}};
    vtest::ScenarioSpec describe = vtest::ScenarioOn("P", "Describe", "Asking", "Out");
    describe.options = {{"FreqN", true}, {"InterV", std::int16_t(4)}, {"FreqGroupRadio", "Default"}, {"FreqIncRadio", "Lower"}};
    describe.fields = {{"X", "X"}};
    const struct {
        vtest::ScenarioSpec spec;
        const char* why;
    } cases[] = {{frequency, "Frequency"}, {describe, "Describe with frequency counts"}};
    for (const auto& c : cases) {
        std::string err;
        EXPECT_FALSE(Run(Store(c.spec), &err)) << c.why;
        EXPECT_EQ(err, "The selected query expects parameters and cannot be used by Pelloran.") << c.why;
        EXPECT_FALSE(TableExists("Out")) << c.why;
    }
}

TEST_F(FrequencyTest, DefaultIntervalsOfDataSpanningBeyondTheDoublesNameTheSpanNotAWidthOfZero) {
    // -1e308 and 1e308 are 2e308 apart, beyond the largest double (1.8e308):
    // the span, its pad and the width came out infinite, and the run failed
    // with "The frequency interval width must be greater than 0.". 0 and
    // 1.7e308 are 1.7e308 apart, but with the pad of a tenth the last border
    // lies at 1.87e308. Both for Frequency and for Describe's frequency
    // cells, which share the default intervals, and for either border rule.
    // 0 and 1e308 still fit: pad 1e307, width 1.1e308 / 10 = 1.1e307 from 0,
    // last border 1.1e308; 1e308 is 9.09 widths from 0, in the tenth interval.
    const struct {
        double lo, hi;
        const char* message; // empty: the run succeeds
    } data[] = {
        {-1e308, 1e308,
         "The values from -1E+308 to 1E+308 lie too far apart to be split into default frequency intervals: "
         "their borders would lie beyond the range of a double."},
        {0, 1.7e308,
         "The values from 0 to 1.7E+308 lie too far apart to be split into default frequency intervals: "
         "their borders would lie beyond the range of a double."},
        {0, 1e308, ""},
    };
    for (const auto& d : data) {
        Replace("Data", {{"X", dbDouble}}, {{d.lo}, {d.hi}});
        for (const char* type : {"Frequency", "Describe"}) {
            for (const char* border : {"Lower", "Upper"}) {
                const std::string label = std::string(type) + " " + border + " " + FormatDouble(d.hi);
                const std::string out = Numbered("Out");
                vtest::ScenarioSpec s = vtest::ScenarioOn("P", type, "Data", out);
                s.fields = {{"X", "X"}};
                if (std::string(type) == "Frequency") {
                    s.options = defaultIntervals(10, border);
                } else {
                    s.options = {{"Range", false}, {"VarStd", false}, {"Sum", false}, {"Mean", false},
                                 {"Skew", false}, {"Mode", false}, {"CI", false}, {"Percentile", false},
                                 {"TTestMean", false}, {"FreqN", true}, {"FreqP", false}, {"FreqDispRadio", "Count"},
                                 {"InterV", std::int16_t(10)}, {"FreqGroupRadio", "Default"}, {"FreqIncRadio", border}};
                }
                std::string err;
                EXPECT_EQ(Run(Store(s), &err), std::string(d.message).empty()) << label;
                EXPECT_EQ(err, d.message) << label;
                if (!std::string(d.message).empty()) {
                    EXPECT_FALSE(TableExists(out)) << label;
                    continue;
                }
                const auto rows = ReadTable(out);
                if (std::string(type) == "Frequency") {
                    ASSERT_EQ(rows.size(), 10u) << label;
                    const std::string low = ColumnNames(out)[2], high = ColumnNames(out)[3];
                    // With the upper border included the start lies a pad below the smallest value.
                    const double start = std::string(border) == "Lower" ? 0.0 : -1e307;
                    for (std::size_t i = 0; i < 10; ++i) {
                        EXPECT_TRUE(AgreesTo(start + 1.1e307 * static_cast<double>(i), rows[i].Num(low), 14)) << label << i;
                        EXPECT_EQ(rows[i].Num("Count"), (i == 0 || i == 9) ? 1.0 : 0.0) << label << " " << i;
                    }
                    EXPECT_TRUE(AgreesTo(start + 1.1e308, rows[9].Num(high), 14)) << label;
                } else {
                    ASSERT_EQ(rows.size(), 1u) << label;
                    const auto names = ColumnNames(out);
                    // The ten count columns follow the lead columns; the
                    // first and the last interval hold one value each.
                    double total = 0;
                    std::vector<double> counts;
                    for (const auto& n : names)
                        if (n.find("N") != std::string::npos && n.find("<") != std::string::npos) counts.push_back(rows[0].Num(n));
                    ASSERT_EQ(counts.size(), 10u) << label;
                    for (double c : counts) total += c;
                    EXPECT_EQ(counts.front(), 1.0) << label;
                    EXPECT_EQ(counts.back(), 1.0) << label;
                    EXPECT_EQ(total, 2.0) << label;
                }
            }
        }
    }
}

TEST_F(FrequencyTest, ASumBeyondADoubleIsLeftNullNotFailingTheRun) {
    // Intervals from 0 of width 1e308, one of them: cells below 0, [0, 1e308)
    // and 1e308 and above. The last holds 1e308 and 1.5e308, whose sum
    // 2.5e308 lies beyond a double: the run failed ("Numeric field
    // overflow."). It is left Null; the other cells' sums (-1e308, 5e307)
    // and the running sum up to them (-1e308, -5e307) are written.
    MakeTable("Data", {{"X", dbDouble}}, {{-1e308}, {5e307}, {1e308}, {1.5e308}});
    auto rows = RunAndRead(frequencySpec(userIntervals(0, 1e308, 1, "Lower", true), {{"X", "X"}}, "Out"));
    ASSERT_EQ(rows.size(), 3u);
    ExpectCells(rows[0], {{"Count", 1}, {"Sum", -1e308}, {"CumulativeSum", -1e308}}, "below");
    ExpectCells(rows[1], {{"Count", 1}, {"Sum", 5e307}}, "[0, 1e308)");
    EXPECT_TRUE(AgreesTo(-5e307, rows[1].Num("CumulativeSum"), 15));
    ExpectCells(rows[2], {{"Count", 2}, {"Sum", NAN}, {"CumulativeSum", NAN}}, "1e308 and above");
}
