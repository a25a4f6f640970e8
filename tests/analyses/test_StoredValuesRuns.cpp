// Runs over a table another program wrote: every analysis reads each number
// exactly as stored, and a value that is no number (a text or a blob in a
// number column) fails the run naming the value, its field and its record.
#include "AnalysisFixture.h"
#include "OutputCells.h"
#include "support/OtherProgram.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

using namespace dao;
using namespace atest;
using vtest::Stored;

namespace {

struct LabelledRun;

class StoredValuesRunTest : public AnalysisTest {
protected:
    // Runs each of `runs` on `table` and checks the rows it writes: their
    // cells and the label their label column reads; with `allRows`, that
    // it writes those rows and no more.
    void ExpectLabelledRuns(const std::string& table, const std::vector<LabelledRun>& runs, bool allRows = false);
    // Theirs: K 1..6, C a a a b b b, X 1..5 and `x6`, Y 2 1 4 3 6 5, W 1 (and `w6` in the last row).
    void makeTheirs(const Stored& x6, const Stored& w6 = Stored::Real(1)) {
        WriteTheirs({"DROP TABLE IF EXISTS Theirs",
                     "CREATE TABLE Theirs (K INTEGER PRIMARY KEY, C VARCHAR(5), X SMALLINT, Y DOUBLE, W DOUBLE)",
                     "INSERT INTO Theirs VALUES (1, 'a', 1, 2, 1), (2, 'a', 2, 1, 1), (3, 'a', 3, 4, 1),"
                     " (4, 'b', 4, 3, 1), (5, 'b', 5, 6, 1)"},
                    "INSERT INTO Theirs VALUES (6, 'b', ?1, 5, 1)", x6);
        WriteTheirs({}, "UPDATE Theirs SET W = ?1 WHERE K = 6", w6);
    }
    // Writes data.db as another program would, one statement after another;
    // with `bound`, that statement last with `value` bound to its ?1.
    void WriteTheirs(const std::vector<std::string>& statements, const std::string& bound = "",
                     const Stored& value = Stored::Null()) {
        vtest::OtherProgram other(tmp.file("data.db"));
        for (const std::string& sql : statements) other.Exec(sql);
        if (!bound.empty()) other.Exec(bound, value);
    }
    // Flags: F another program's BOOLEAN, True stored as 1 (and this
    // program's -1), Null where it had no value: True holds X 3 and 7,
    // False (0 and the Nulls) X 1, 5 and 9.
    void WriteFlags() {
        WriteTheirs({"CREATE TABLE Flags (K INTEGER PRIMARY KEY, F BOOLEAN, C VARCHAR(5), X DOUBLE)",
                     "INSERT INTO Flags VALUES (1, NULL, 'a', 1), (2, 1, 'b', 3), (3, 0, 'a', 5), (4, -1, 'a', 7),"
                     " (5, NULL, 'b', 9)"});
    }
    // Runs `spec` into "Out" and checks its first rows against `rows`; the
    // rows read, for more checks.
    std::vector<OutRow> RunAndExpectRows(const vtest::ScenarioSpec& spec, const std::vector<std::vector<cells::Cell>>& rows,
                                         const std::string& why, cells::Match match = cells::Match::Ulps) {
        std::string err;
        EXPECT_TRUE(Run(Store(spec), &err)) << why << ": " << err;
        auto out = ReadTable("Out");
        EXPECT_GE(out.size(), rows.size()) << why;
        for (std::size_t r = 0; r < rows.size() && r < out.size(); ++r) cells::ExpectCells(out[r], rows[r], why, match);
        return out;
    }
    // Runs `spec` into "Out" and reads back its rows, or only those whose
    // `onlyColumn` reads `onlyValue`; none when the run fails.
    std::vector<OutRow> RunAndKeep(const vtest::ScenarioSpec& spec, const std::string& why, const char* onlyColumn = nullptr,
                                   const char* onlyValue = nullptr) {
        std::string err;
        if (!Run(Store(spec), &err)) {
            ADD_FAILURE() << why << ": " << err;
            return {};
        }
        std::vector<OutRow> out;
        for (const OutRow& r : ReadTable("Out"))
            if (!onlyColumn || (!r.IsNull(onlyColumn) && r[onlyColumn].ToString() == onlyValue)) out.push_back(r);
        return out;
    }
    // As many rows as `rows`, each with its {column, value} pairs: a number
    // compared exactly, a text with the cell's text.
    template <class Rows>
    static void ExpectEachRow(const std::vector<OutRow>& out, const Rows& rows, const std::string& why) {
        ASSERT_EQ(out.size(), rows.size()) << why;
        for (std::size_t i = 0; i < out.size(); ++i)
            for (const auto& [column, value] : rows[i]) {
                if constexpr (std::is_arithmetic_v<std::decay_t<decltype(value)>>) {
                    EXPECT_EQ(out[i].Num(column), value) << why << ", row " << i << ", " << column;
                } else {
                    EXPECT_EQ(out[i][column].ToString(), std::string(value)) << why << ", row " << i << ", " << column;
                }
            }
    }
};

struct Analysis {
    const char* group;
    const char* type;
    std::vector<vtest::ScenarioFieldRow> fields;
    std::vector<std::pair<std::string, Variant>> options;
    bool readsX = true; // it reads X (else only C and the weight W)
};

// Every analysis, each with a weight field W.
const std::vector<Analysis>& everyAnalysis() {
    static const std::vector<Analysis> all = {
        {"P", "Describe", {{"X", "X"}, {"W", "W"}}, {{"Mean", true}}},
        {"P", "Percentiles", {{"X", "X"}, {"W", "W"}}, {{"PercentileRadio", "Median"}}},
        {"P", "Frequency", {{"X", "X"}, {"W", "W"}},
         {{"InterV", std::int16_t(4)}, {"FreqGroupRadio", "Specified"}, {"FreqInit", 0.0}, {"FreqWidth", 2.0}}},
        {"P", "Compare", {{"X", "X"}, {"Y", "Y"}, {"W", "W"}}, {}},
        {"P", "Matrix", {{"X", "X"}, {"Y", "X"}, {"W", "W"}}, {}},
        {"P", "Regression", {{"X", "X"}, {"Y", "Y"}, {"W", "W"}}, {}},
        {"P", "Crosstab", {{"K", "G"}, {"C", "C"}, {"X", "X"}, {"W", "W"}}, {{"XType", "S"}}},
        {"G", "Two Sample t-Test", {{"C", "C"}, {"X", "X"}, {"W", "W"}}, {}},
        {"G", "ANOVA", {{"C", "C"}, {"X", "X"}, {"W", "W"}}, {}},
        {"N", "Sign Test", {{"X", "X"}, {"W", "W"}}, {{"SignMean", true}}},
        {"N", "K-S Fit", {{"X", "X"}, {"W", "W"}}, {{"FitUniform", true}}},
        {"N", "2 Sample", {{"C", "C"}, {"X", "X"}, {"W", "W"}}, {{"NPTwoType", "Mann"}}},
        {"N", "N Sample", {{"C", "C"}, {"X", "X"}, {"W", "W"}}, {}},
        {"N", "Paired Fields", {{"X", "X"}, {"Y", "Y"}, {"W", "W"}}, {}},
        {"N", "N Fields", {{"X", "X"}, {"Y", "X"}, {"W", "W"}}, {}},
        {"N", "Chi-Square", {{"C", "C"}, {"W", "W"}}, {{"ChiAll", false}, {"ChiDetail", false}}, false},
    };
    return all;
}

// The analysis on `table` into "Out".
vtest::ScenarioSpec scenarioOf(const Analysis& a, const std::string& table = "Theirs") {
    vtest::ScenarioSpec s = vtest::ScenarioOn(a.group, a.type, table, "Out");
    s.fields = a.fields;
    s.options = a.options;
    return s;
}

// A run, the first rows it must write, and its missing value rule: "1"
// leaves out the values equal to `missingValue`, "2" those below it.
struct RunRows {
    Analysis analysis;
    std::vector<std::vector<cells::Cell>> rows;
    const char* why;
    const char* missingType = "0";
    double missingValue = 0;
};

// A run and the rows it writes: the label its `labelColumn` reads and its cells.
struct LabelledRun {
    Analysis analysis;
    const char* labelColumn;
    std::vector<std::pair<std::string, std::vector<cells::Cell>>> rows;
    const char* why;
};

void StoredValuesRunTest::ExpectLabelledRuns(const std::string& table, const std::vector<LabelledRun>& runs, bool allRows) {
    for (const auto& c : runs) {
        std::vector<std::vector<cells::Cell>> expected;
        for (const auto& row : c.rows) expected.push_back(row.second);
        const auto out = RunAndExpectRows(scenarioOf(c.analysis, table), expected, c.why);
        if (allRows) {
            EXPECT_EQ(out.size(), c.rows.size()) << c.why;
        }
        for (std::size_t r = 0; r < c.rows.size() && r < out.size(); ++r)
            EXPECT_EQ(out[r][c.labelColumn].ToString(), c.rows[r].first) << c.why;
    }
}

// A value another program stored in record 6 of Theirs that is no number to
// any analysis, and the start of the message that must name it.
struct NoNumber {
    Stored x6;
    std::string naming;
    const char* why;
    Stored w6 = Stored::Real(1);
    const char* table = "Theirs";
};

// Every analysis run on each of `values`, and what its failure must say.
struct EveryAnalysisFails {
    const char* name; // the fault the cases are kept for
    std::vector<NoNumber> values;
    // The message goes on with the record's place: in the table for the
    // crosstab and the chi-square, which sum in SQL, else in the order read.
    bool placed;
    const char* also = nullptr; // a further text the message holds
    bool skipsCrosstab = false;
};

const std::vector<EveryAnalysisFails>& everyAnalysisFails() {
    const double inf = std::numeric_limits<double>::infinity();
    const Stored heavy = Stored::Text("heavy");
    static const std::vector<EveryAnalysisFails> all = {
        // Record 6 comes last in every order an analysis reads in: by C, by X
        // (numbers before texts and blobs) or by K. A failure in an engine
        // service (the weight) comes as the unexpected-error text around it.
        {"AValueThatIsNoNumberFailsEveryAnalysisNamingItsValueFieldAndRecord",
         {{Stored::Text("abc"), "Type mismatch: the value 'abc' in field X (record 6 ", "a text in a SMALLINT column, not read as 0"},
          {Stored::Text("12abc"), "Type mismatch: the value '12abc' in field X (record 6 ",
           "a text that starts with digits, not read as 12"},
          {Stored::Blob("12"), "Type mismatch: the value X'3132' in field X (record 6 ", "a blob spelling 12"},
          {Stored::Int(6), "Type mismatch: the value 'heavy' in field W (record 6 ", "a text as a weight", heavy},
          // The message box shows some lines of its text: a value of 300
          // characters pushed the field and the record out of sight.
          {Stored::Text("Straße " + std::string(293, 'x')),
           "Type mismatch: the value 'Straße " + std::string(33, 'x') + "...' in field X (record 6 ",
           "a long text, shown by its first 40 characters"},
          {Stored::Text("caf\xE9"), "Type mismatch: the value 'caf\xC3\xA9' in field X (record 6 ",
           "a legacy program's Latin-1 text, named as the word it spells"}},
         true},
        // No field type of this program holds an infinity; another program's
        // REAL column can. Describe counted it as missing in its moments but
        // took it into its range and percentiles, Compare and Matrix stopped at
        // a bare "Numeric field overflow.", the t-test wrote a mean of Infinity.
        // Every analysis now names it, as the crosstab's spreads do. The
        // crosstab sums in SQL (its own test); the chi-square reads no X.
        {"AnInfinityAnotherProgramStoredFailsEveryAnalysisNamingItInsteadOfCountingItMissingOrOverflowing",
         {{Stored::Real(inf), "Overflow: the value Infinity in field X (record ", "inf"},
          {Stored::Real(-inf), "Overflow: the value -Infinity in field X (record ", "-inf"}},
         false, "is not a finite number.", true},
        // The analyses that sum their weights in SQL, where such a text counts
        // as 0, check the source first: the check finds the table under any case
        // of its name, and "NaN" or "inf" is no number to it either.
        {"AWeightThatIsNoNumberFailsEveryAnalysisAlsoWhenTheTableIsNamedInAnotherCaseOrTheTextSpellsNaN",
         {{Stored::Int(6), "Type mismatch: the value 'heavy' in field W (record 6 ", "the table named in capitals", heavy, "THEIRS"},
          {Stored::Int(6), "Type mismatch: the value 'NaN' in field W (record 6 ", "a missing mark a CSV import left",
           Stored::Text("NaN")},
          {Stored::Int(6), "Type mismatch: the value 'inf' in field W (record 6 ", "infinity spelled out, the table in small letters",
           Stored::Text("inf"), "theirs"}},
         false},
    };
    return all;
}

class EveryAnalysisFailsTest : public StoredValuesRunTest, public ::testing::WithParamInterface<EveryAnalysisFails> {};

// Runs over a table another program wrote, each checked by the first rows
// it writes.
struct TheirTableRuns {
    const char* name;                    // the fault the runs are kept for
    std::vector<std::string> statements; // how the other program wrote data.db
    const char* table;
    cells::Match match;
    std::vector<RunRows> runs;
};

const std::vector<TheirTableRuns>& theirTableRuns() {
    const Analysis stamped{"P", "Crosstab", {{"R", "G"}, {"C", "C"}, {"D", "X"}}, {}};
    auto byLetter = [&](const char* letter, double a, double b) {
        Analysis crosstab = stamped;
        crosstab.options = {{"XType", letter}};
        return RunRows{crosstab, {{{"a", a}, {"b", b}}}, letter, "2", 37623.0};
    };
    const Analysis crosstab{"P", "Crosstab", {{"G", "G"}, {"C", "C"}, {"X", "X"}}, {{"XType", "S"}}};
    const Analysis weighted{"P", "Crosstab", {{"G", "G"}, {"C", "C"}, {"X", "X"}, {"W", "W"}}, {{"XType", "S"}}};
    const Analysis chi{"N", "Chi-Square", {{"G", "C"}, {"W", "W"}}, {{"ChiAll", false}, {"ChiDetail", false}}};
    const double two63 = 9223372036854775808.0, sentinel = 99999999999999999.0;
    // 2^60 + 1 in the Double column of a cell: the double nearest to it, 2^60.
    const double key1 = static_cast<double>(std::int64_t{1152921504606846977});
    static const std::vector<TheirTableRuns> all = {
        // Dates as day numbers (37623 is 2003-01-02) and as another program's
        // texts; the rule "below 37623 is missing" leaves out the two records of
        // 2002-12-31. Read so, column a holds 37624 and 37623, column b 37624.
        // In SQL "2003-01-02" was 2003, below the bound (a Count of 1 and none),
        // and the sums refused it as no number.
        {"ADateStoredAsATextIsItsDayNumberToTheCrosstabsMissingValueRuleAndSums",
         {"CREATE TABLE Stamped (K INTEGER PRIMARY KEY, R VARCHAR(5), C VARCHAR(5), D TIMESTAMP)",
          "INSERT INTO Stamped VALUES (1, 'r', 'a', 37624.0), (2, 'r', 'a', '2003-01-02'), (3, 'r', 'b', '2003-01-03'),"
          " (4, 'r', 'a', '2002-12-31 10:30:00'), (5, 'r', 'b', 37621.5)"},
         "Stamped", cells::Match::Ulps,
         {byLetter("C", 2, 1), byLetter("S", 75247, 37624), byLetter("A", 37623.5, 37624), byLetter("1", 37624, 37624),
          byLetter("M", 37623, 37624)}},
        // The crosstab and the chi-square sum in SQL, where a text is greater
        // than any number: "3" passed the rule "Low" 5, "9" the rule "Equal" 9,
        // and a weight "-1" counted as above 0. Texts in a column of no type:
        // a: X 3, 9, 20 with W 1, 2, -1; b: X 100, 9 with W 1, 1.
        {"TheMissingValueAndWeightRulesOfSumsInSqlCompareNumbersStoredAsTextsAsNumbers",
         {"CREATE TABLE Texts (K INTEGER PRIMARY KEY, G VARCHAR(5), C VARCHAR(5), X, W)",
          "INSERT INTO Texts VALUES (1, 'a', 'u', '3', '1'), (2, 'a', 'u', '9', '2'), (3, 'a', 'u', '20', '-1'),"
          " (4, 'b', 'u', '100', '1'), (5, 'b', 'u', '9', '1')"},
         "Texts", cells::Match::Ulps,
         {
             {crosstab, {{{"u", 29}}, {{"u", 2}}, {{"u", 109}}, {{"u", 2}}}, "3 is below 5: a sums 9 + 20", "2", 5.0},
             {crosstab, {{{"u", 23}}, {{"u", 2}}, {{"u", 100}}, {{"u", 1}}}, "the 9s are missing", "1", 9.0},
             {weighted, {{{"u", 21}}, {{"u", 3}}, {{"u", 109}}, {{"u", 2}}}, "the weight -1 counts 0: 3·1 + 9·2"},
             // a 1 + 2, b 1 + 1: expected 2.5 each, (0.25 + 0.25)/2.5.
             {chi, {{{"Count", 5}, {"Groups", 2}, {"Expected", 2.5}, {"Chi-Square", 0.2}}}, "the weight -1 counts 0"},
         }},
        // BIGINT values of another program: a holds X 2^62 twice (weights 2^62
        // twice), b holds X 1 (weight 1). 2^62 + 2^62 = 2^63, one past the
        // largest 64-bit integer; a double holds it exactly, as Describe sums it.
        {"SumsInSqlOfWholeNumbersNearThe64BitLimitsAddUpInsteadOfFailingWithIntegerOverflow",
         {"CREATE TABLE Big (K INTEGER PRIMARY KEY, G VARCHAR(5), C VARCHAR(5), X BIGINT, W BIGINT)",
          "INSERT INTO Big VALUES (1, 'a', 'u', 4611686018427387904, 4611686018427387904),"
          " (2, 'a', 'u', 4611686018427387904, 4611686018427387904), (3, 'b', 'u', 1, 1)"},
         "Big", cells::Match::Exact,
         {
             {{"P", "Crosstab", {{"G", "G"}, {"C", "C"}, {"X", "X"}}, {{"XType", "S"}}},
              {{{"u", two63}}, {{"u", 2}}, {{"u", 1}}, {{"u", 1}}},
              "a's sum 2^63"},
             {{"P", "Crosstab", {{"G", "G"}, {"C", "C"}, {"X", "X"}}, {{"XType", "A"}}},
              {{{"u", two63 / 2}}, {{"u", 2}}, {{"u", 1}}, {{"u", 1}}},
              "a's average 2^62, from the sum 2^63"},
             {{"P", "Crosstab", {{"G", "G"}, {"C", "C"}, {"X", "X"}, {"W", "W"}}, {{"XType", "C"}}},
              {{{"u", two63}}, {{"u", 1}}},
              "a's count is the sum of its weights, 2^63"},
             // Counts a 2^63, b 1: their sum 2^63 + 1 is 2^63 in a double.
             {{"N", "Chi-Square", {{"G", "C"}, {"W", "W"}}, {{"ChiAll", false}, {"ChiDetail", false}}},
              {{{"Count", two63}, {"Groups", 2}}},
              "the weights of a sum to 2^63"},
         }},
        // Another program's BOOLEAN: True stored as 1 (and 2), Null where it
        // had no value. Read, any value but 0 is True (-1), 0 and Null are
        // False (0): a holds -1, 0, 0 and b -1, -1. In SQL the stored 1 summed
        // to +1 and the Null went uncounted; a chi-square group counted its Null
        // and its 0 as two categories against a list of one.
        {"AYesNoFieldAnotherProgramStoredAsOneIsSummedAndCountedInSqlAsItIsRead",
         {"CREATE TABLE Flags (K INTEGER PRIMARY KEY, G VARCHAR(5), C VARCHAR(5), F BOOLEAN, X DOUBLE)",
          "INSERT INTO Flags VALUES (1, 'a', 'u', 1, 1), (2, 'a', 'u', 0, 2), (3, 'a', 'u', NULL, 3),"
          " (4, 'b', 'u', 2, 4), (5, 'b', 'u', 1, 5)"},
         "Flags", cells::Match::Ulps,
         {
             {{"P", "Describe", {{"G", "G"}, {"F", "X"}}, {{"Sum", true}}},
              {{{"Sum", -1}, {"Count", 3}}, {{"Sum", -2}, {"Count", 2}}},
              "read record by record"},
             {{"P", "Crosstab", {{"G", "G"}, {"C", "C"}, {"F", "X"}}, {{"XType", "S"}}},
              {{{"u", -1}}, {{"u", 3}}, {{"u", -2}}, {{"u", 2}}},
              "summed in SQL (sums, then counts)"},
             {{"P", "Crosstab", {{"G", "G"}, {"C", "C"}, {"F", "X"}}, {{"XType", "A"}}},
              {{{"u", -1.0 / 3}}, {{"u", 3}}, {{"u", -1}}, {{"u", 2}}},
              "averaged in SQL"},
             // True (-1) before False (0): X 1, 4, 5 and then 2, 3.
             {{"P", "Crosstab", {{"F", "G"}, {"C", "C"}, {"X", "X"}}, {{"XType", "S"}}},
              {{{"F", -1}, {"u", 10}}, {{"F", -1}, {"u", 3}}, {{"F", 0}, {"u", 5}}, {{"F", 0}, {"u", 2}}},
              "a row field of the crosstab"},
             {{"N", "Chi-Square", {{"F", "G"}, {"C", "C"}}, {{"ChiAll", true}, {"ChiDetail", false}}},
              {{{"F", -1}, {"Count", 3}, {"Groups", 1}, {"MissingGroups", 0}},
               {{"F", 0}, {"Count", 2}, {"Groups", 1}, {"MissingGroups", 0}}},
              "a group field of the chi-square"},
         }},
        // Another program's sentinel 99999999999999999 in a BIGINT column, and the
        // same 17 digits as the "Equal" missing value: a double holds both as
        // 1e17, so Describe leaves the value out. SQL compared the whole number
        // with the double exactly: the crosstab and the chi-square counted it,
        // and the default frequency intervals reached up to it.
        {"AMissingValueOf17DigitsLeavesOutTheWholeNumberItStandsForInSumsInSqlToo",
         {"CREATE TABLE Sentinel (K INTEGER PRIMARY KEY, G VARCHAR(5), C VARCHAR(5), X BIGINT)",
          "INSERT INTO Sentinel VALUES (1, 'a', 'u', 1), (2, 'a', 'u', 2), (3, 'a', 'u', 99999999999999999)"},
         "Sentinel", cells::Match::Exact,
         {
             {{"P", "Describe", {{"X", "X"}}, {{"Mean", true}}}, {{{"Count", 2}, {"Mean", 1.5}}}, "Describe", "1", sentinel},
             {{"P", "Crosstab", {{"G", "G"}, {"C", "C"}, {"X", "X"}}, {{"XType", "C"}}}, {{{"u", 2}}}, "Crosstab", "1", sentinel},
             {{"N", "Chi-Square", {{"X", "C"}}, {{"ChiAll", false}, {"ChiDetail", false}}},
              {{{"Count", 2}, {"Groups", 2}}},
              "Chi-Square", "1", sentinel},
             // Default intervals over 1 and 2 alone (width 0.51 from 1), not up to 1e17.
             {{"P", "Frequency", {{"X", "X"}}, {{"InterV", std::int16_t(2)}, {"FreqGroupRadio", "Default"}}},
              {{{"Count", 1}, {"Low<=Range", 1}}, {{"Count", 1}}},
              "Frequency", "1", sentinel},
         }},
        // 64-bit keys in a BIGINT column: 2^60 + 1, + 2 and + 3 are three values,
        // which a double holds all as 2^60 (its steps there are 256 apart). The
        // crosstab counted one distinct value among them, and the mode of 7, 7
        // and the three keys was the one double they share, counted three times.
        // Row r: column u holds +1, +2, +3, +1; column v 7, 7, +1, +2, +3.
        {"ACrosstabsUniqueCountAndModeTellWholeNumbersBeyond53BitsApart",
         {"CREATE TABLE Keys (K INTEGER PRIMARY KEY, R VARCHAR(5), C VARCHAR(5), B BIGINT)",
          "INSERT INTO Keys VALUES (1, 'r', 'u', 1152921504606846977), (2, 'r', 'u', 1152921504606846978),"
          " (3, 'r', 'u', 1152921504606846979), (4, 'r', 'u', 1152921504606846977), (5, 'r', 'v', 7), (6, 'r', 'v', 7),"
          " (7, 'r', 'v', 1152921504606846977), (8, 'r', 'v', 1152921504606846978), (9, 'r', 'v', 1152921504606846979)"},
         "Keys", cells::Match::Exact,
         {
             // Distinct values: u {+1, +2, +3}, v {7, +1, +2, +3}, the row all four.
             {{"P", "Crosstab", {{"R", "G"}, {"C", "C"}, {"B", "X"}}, {{"XType", "U"}}},
              {{{"u", 3}, {"v", 4}, {"RowSummary", 4}}},
              "unique counts"},
             // u: +1 twice; v: 7 twice, each key once; the row: +1 three times.
             {{"P", "Crosstab", {{"R", "G"}, {"C", "C"}, {"B", "X"}}, {{"XType", "O"}}},
              {{{"u", key1}, {"v", 7}, {"RowSummary", key1}}},
              "modes"},
         }},
    };
    return all;
}

class TheirTableRunsTest : public StoredValuesRunTest, public ::testing::WithParamInterface<TheirTableRuns> {};

// A row of a parameterized test is printed as the fault it is kept for.
void PrintTo(const EveryAnalysisFails& row, std::ostream* os) { *os << row.name; }
void PrintTo(const TheirTableRuns& row, std::ostream* os) { *os << row.name; }

} // namespace

TEST_P(EveryAnalysisFailsTest, NamingTheValueItsFieldAndItsRecord) {
    const EveryAnalysisFails& p = GetParam();
    for (const NoNumber& v : p.values) {
        makeTheirs(v.x6, v.w6);
        for (const Analysis& a : everyAnalysis()) {
            const std::string type = a.type;
            if ((!a.readsX && v.naming.find("field X") != std::string::npos) || (p.skipsCrosstab && type == "Crosstab")) continue;
            const bool sums = type == "Crosstab" || type == "Chi-Square";
            const char* place = sums ? "of Theirs) is not a number." : "in the order the analysis reads the data) is not a number.";
            std::string err;
            EXPECT_FALSE(Run(Store(scenarioOf(a, v.table)), &err)) << type << ": " << v.why;
            EXPECT_NE(err.find(v.naming + (p.placed ? place : "")), std::string::npos) << type << ": " << v.why << "\n" << err;
            if (p.also) {
                EXPECT_NE(err.find(p.also), std::string::npos) << type << ": " << v.why << "\n" << err;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(StoredValues, EveryAnalysisFailsTest, ::testing::ValuesIn(everyAnalysisFails()), RowName());

TEST_F(StoredValuesRunTest, AnInfinityInACrosstabOfSpreadsFailsTheRunNamingItInsteadOfTheSpreadOfTheOtherValues) {
    // Cell (r, v) holds 5, 6 and the infinity of record 6: a spread over it
    // overflows, as its sum does. Taken over 5 and 6 with the cell's count
    // of 3 it came out as a variance of 0.5 / 2 = 0.25. The crosstab reads
    // a cell's values in order: +inf comes 6th, -inf 4th.
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double x6;
        const char* letter;
        const char* shown;
        int record;
    } cases[] = {
        {inf, "V", "Infinity", 6}, {-inf, "V", "-Infinity", 4}, {inf, "D", "Infinity", 6},
        {-inf, "E", "-Infinity", 4}, {inf, "F", "Infinity", 6},
    };
    for (const auto& c : cases) {
        WriteTheirs({"DROP TABLE IF EXISTS Spread",
                     "CREATE TABLE Spread (K INTEGER PRIMARY KEY, R VARCHAR(5), C VARCHAR(5), X DOUBLE)",
                     "INSERT INTO Spread VALUES (1, 'r', 'u', 1), (2, 'r', 'u', 2), (3, 'r', 'u', 4), (4, 'r', 'v', 5),"
                     " (5, 'r', 'v', 6)"},
                    "INSERT INTO Spread VALUES (6, 'r', 'v', ?1)", Stored::Real(c.x6));
        std::string err;
        EXPECT_FALSE(Run(Store(scenarioOf({"P", "Crosstab", {{"R", "G"}, {"C", "C"}, {"X", "X"}}, {{"XType", c.letter}}},
                                          "Spread")),
                         &err))
            << c.letter << " " << c.shown;
        EXPECT_NE(err.find(std::string("Overflow: the value ") + c.shown + " in field X (record " + std::to_string(c.record) +
                           " in the order the analysis reads the data) is not a finite number."),
                  std::string::npos)
            << c.letter << "\n" << err;
    }
}

TEST_F(StoredValuesRunTest, NumbersBeyondTheDeclaredRangeOrPrecisionAreReadAsStored) {
    WriteTheirs({"CREATE TABLE Wide (K INTEGER PRIMARY KEY, Small SMALLINT, Tiny TINYINT, Whole INTEGER, F10 FLOAT(10))",
                 "INSERT INTO Wide VALUES (1, 40000, 300, 1700000000123, 0.1), (2, -32768, 0, -5, 1e300)"});
    const auto out = RunAndRead(scenarioOf(
        {"P", "Describe", {{"Small", "X"}, {"Tiny", "X"}, {"Whole", "X"}, {"F10", "X"}},
         {{"Range", true}, {"VarStd", false}, {"Sum", false}, {"Mean", false}, {"Skew", false}, {"Mode", false},
          {"CI", false}, {"Percentile", false}, {"FreqN", false}, {"FreqP", false}, {"TTestMean", false}}},
        "Wide"));
    // The values as the other program wrote them.
    const struct {
        const char* field;
        double minimum, maximum;
        const char* why;
    } cases[] = {
        {"Small", -32768, 40000, "40000 in a SMALLINT column, not -25536"},
        {"Tiny", 0, 300, "300 in a TINYINT column, not 44"},
        {"Whole", -5, 1700000000123.0, "a time stamp beyond 2^31"},
        {"F10", 0.1, 1e300, "FLOAT(10): 0.1 not 0.10000000149, 1e300 not counted missing"},
    };
    ASSERT_EQ(out.size(), std::size(cases));
    for (std::size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i]["DataField"].ToString(), cases[i].field) << cases[i].why;
        cells::ExpectCells(out[i], {{"Minimum", cases[i].minimum}, {"Maximum", cases[i].maximum}, {"Count", 2},
                                    {"Missing", 0}}, cases[i].why);
    }
}

TEST_F(StoredValuesRunTest, GroupValuesBeyond32BitsAndEmptyTextsAreCopiedExactlyIntoTheOutput) {
    WriteTheirs({"CREATE TABLE Stamps (K INTEGER PRIMARY KEY, Stamp INTEGER, Label VARCHAR(10), Small SMALLINT,"
                     " Big BIGINT, X DOUBLE)",
                 "INSERT INTO Stamps VALUES (1, 1700000000123, '', 40000, 9007199254740993, 1),"
                     " (2, 1700000000123, 'a', 1, 9007199254740992, 3), (3, 4102444800000, '', 2, 9007199254740993, 5),"
                     " (4, -4102444800000, 'a', 3, 9007199254740992, 7)"});
    auto describe = [](const char* group) {
        return scenarioOf({"P", "Describe", {{group, "G"}, {"X", "X"}}, {{"Sum", true}}}, "Stamps");
    };
    // Each group's value as written, and the sum of its X.
    const struct {
        const char* group;
        std::vector<std::pair<Variant, double>> rows;
        const char* why;
    } cases[] = {
        {"Stamp", {{Variant(-4102444800000LL), 7}, {Variant(1700000000123LL), 4}, {Variant(4102444800000LL), 5}},
         "64-bit time stamps, not \"Numeric field overflow\""},
        {"Label", {{Variant(""), 6}, {Variant("a"), 10}}, "an empty text is a group, not \"cannot be a zero-length string\""},
        {"Big", {{Variant(9007199254740992LL), 10}, {Variant(9007199254740993LL), 6}},
         "2^53 and 2^53 + 1, one double apart from none: two groups"},
    };
    for (const auto& c : cases) {
        const auto out = RunAndRead(describe(c.group));
        ASSERT_EQ(out.size(), c.rows.size()) << c.why;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const Variant& v = out[i][c.group];
            EXPECT_EQ(v.Type(), c.rows[i].first.Type()) << c.why;
            EXPECT_TRUE(v.Equals(c.rows[i].first, false)) << c.why << ": " << v.ToString();
            EXPECT_EQ(out[i].Num("Sum"), c.rows[i].second) << c.why;
        }
    }
    // A t-test's pair of compare values: the empty one is a value of its own.
    const auto pairs = RunAndRead(scenarioOf({"G", "Two Sample t-Test", {{"Label", "C"}, {"X", "X"}}, {}}, "Stamps"));
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0]["Label-1"].ToString() + "|" + pairs[0]["Label-2"].ToString(), "|a");
}

TEST_F(StoredValuesRunTest, GroupValuesBeyondTheirColumnsDeclaredWidthAreWrittenAsTheyAreNotFailingTheRun) {
    // Another program's SMALLINT holding 40000, TINYINT holding 300 or -1,
    // FLOAT(10) holding 1e300: read, each value is what it is, but its
    // output column, of the declared type, could not take it, and the run
    // failed with "The value 40000 of the field Small does not fit its
    // column" (while an INTEGER column's 64-bit time stamps were written).
    // The output column is now as wide as the values.
    WriteTheirs({"CREATE TABLE Widths (K INTEGER PRIMARY KEY, Small SMALLINT, Tiny TINYINT, F10 FLOAT(10), X DOUBLE)",
                 "INSERT INTO Widths VALUES (1, 40000, 300, 1e300, 1), (2, 1, -1, 0.5, 3), (3, 2, 7, 0.5, 5),"
                     " (4, -40000, 7, -1e300, 7)"});
    const struct {
        const char* group;
        std::vector<std::pair<double, double>> rows; // the group's value, the sum of its X
        int type;
    } cases[] = {
        {"Small", {{-40000, 7}, {1, 3}, {2, 5}, {40000, 1}}, dbLong},
        {"Tiny", {{-1, 3}, {7, 12}, {300, 1}}, dbInteger},
        {"F10", {{-1e300, 7}, {0.5, 8}, {1e300, 1}}, dbDouble},
    };
    for (const auto& c : cases) {
        const auto out = RunAndRead(scenarioOf({"P", "Describe", {{c.group, "G"}, {"X", "X"}}, {{"Sum", true}}}, "Widths"));
        ASSERT_EQ(out.size(), c.rows.size()) << c.group;
        for (std::size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(out[i][c.group].ToDouble(), c.rows[i].first) << c.group;
            EXPECT_EQ(out[i].Num("Sum"), c.rows[i].second) << c.group;
        }
        db->TableDefs().Refresh();
        EXPECT_EQ(db->TableDefs()("Out")->Fields()(c.group)->Type(), c.type) << c.group;
    }
}

TEST_F(StoredValuesRunTest, AYesNoGroupStoredAs1OrNullBesideMinus1And0IsOneGroupPerValue) {
    // Another program's True is 1 and a Yes/No column it added holds Nulls;
    // this program's True is -1. Read, 1 and -1 are True, 0 and Null False:
    // True holds X 3 and 7, False X 1, 5 and 9, True first (-1 before 0).
    WriteFlags();
    const auto out = RunAndRead(scenarioOf({"P", "Describe", {{"F", "G"}, {"X", "X"}}, {{"Sum", true}}}, "Flags"));
    ASSERT_EQ(out.size(), 2u);
    cells::ExpectCells(out[0], {{"Count", 2}, {"Sum", 10}}, "True");
    cells::ExpectCells(out[1], {{"Count", 3}, {"Sum", 15}}, "False");
    // Every analysis writes the rows of True, then those of False.
    const Analysis byFlag[] = {
        {"P", "Describe", {{"F", "G"}, {"X", "X"}}, {{"Sum", true}}},
        {"G", "ANOVA", {{"F", "G"}, {"C", "C"}, {"X", "X"}}, {{"GroupIgnoreBlanks", true}}},
        {"N", "2 Sample", {{"F", "G"}, {"C", "C"}, {"X", "X"}}, {{"NPTwoType", "Wald"}}},
        {"N", "2 Sample", {{"F", "G"}, {"C", "C"}, {"X", "X"}}, {{"NPTwoType", "Mann"}}},
        {"P", "Crosstab", {{"F", "G"}, {"C", "G"}, {"K", "C"}, {"X", "X"}}, {{"XType", "M"}}},
        {"N", "Chi-Square", {{"F", "G"}, {"C", "C"}}, {{"ChiDetail", false}}},
        {"P", "Crosstab", {{"F", "G"}, {"C", "G"}, {"K", "C"}, {"X", "X"}}, {{"XType", "S"}}},
    };
    for (const Analysis& a : byFlag) {
        std::string groups;
        for (const auto& r : RunAndRead(scenarioOf(a, "Flags"))) {
            const std::string g = r.IsNull("F") ? "Null" : r["F"].ToString();
            if (groups.size() < g.size() || groups.compare(groups.size() - g.size(), g.size(), g) != 0)
                groups += (groups.empty() ? "" : " ") + g;
        }
        EXPECT_EQ(groups, "True False") << a.type;
    }
    // As categories: True 2 records, False 3; E = 2.5, chi-square 2 · 0.25 / 2.5 = 0.2 on 1 DF.
    auto chi = scenarioOf({"N", "Chi-Square", {{"F", "C"}}, {{"ChiAll", true}, {"ChiDetail", false}}}, "Flags");
    const auto categories = RunAndRead(chi);
    ASSERT_EQ(categories.size(), 1u);
    cells::ExpectCells(categories[0], {{"Count", 5}, {"Groups", 2}, {"MissingGroups", 0}, {"DF", 1}, {"Chi-Square", 0.2}},
                       "Chi-Square", cells::Match::Ulps);
    // As the two samples of the runs test: True first (X 3, 7), then False (X 1, 5, 9).
    const auto samples = RunAndRead(scenarioOf({"N", "2 Sample", {{"F", "C"}, {"X", "X"}}, {{"NPTwoType", "Wald"}}}, "Flags"));
    ASSERT_EQ(samples.size(), 1u);
    EXPECT_EQ(samples[0]["F-1"].ToString() + " " + samples[0]["F-2"].ToString(), "True False");
    cells::ExpectCells(samples[0], {{"Cases-1", 2}, {"Cases-2", 3}}, "2 Sample");
}

TEST_F(StoredValuesRunTest, ASavedQuerySelectingAYesNoFieldStoredAs1OrNullByTrueOrFalseIsReadWithThoseRecords) {
    // A saved query as the run's source, on another program's table: True
    // stored as 1 (and this program's -1) holds X 3 and 7, False (0 and the
    // Nulls) X 1, 5 and 9. Each way of writing the criterion selects them.
    WriteFlags();
    const struct {
        const char* where;
        double count, sum;
    } criteria[] = {
        {"[F] = True", 2, 3 + 7},    {"[F] = -1", 2, 3 + 7},       {"[F]", 2, 3 + 7},
        {"[F] = False", 3, 1 + 5 + 9}, {"Not [F]", 3, 1 + 5 + 9}, {"[F] <> True", 3, 1 + 5 + 9},
    };
    int n = 0;
    for (const auto& c : criteria) {
        const std::string query = "Picked" + std::to_string(++n);
        db->CreateQueryDef(query, std::string("SELECT * FROM Flags WHERE ") + c.where);
        const auto out = RunAndRead(scenarioOf({"P", "Describe", {{"X", "X"}}, {{"Sum", true}}}, query));
        ASSERT_EQ(out.size(), 1u) << c.where;
        cells::ExpectCells(out[0], {{"Count", c.count}, {"Sum", c.sum}}, c.where);
    }
}

TEST_F(StoredValuesRunTest, AGroupTestIgnoringBlankCompareValuesKeepsTheNullsAnotherProgramLeftInAYesNoFieldAsFalse) {
    // A Yes/No field is never blank: the Nulls another program left in one
    // are the False they are read as, kept when blank compare values are
    // not. True holds X 3 and 7, False X 1, 5 and 9 (mean 5 each).
    WriteFlags();
    const auto t = RunAndRead(
        scenarioOf({"G", "Two Sample t-Test", {{"F", "C"}, {"X", "X"}}, {{"GroupIgnoreBlanks", true}}}, "Flags"));
    ASSERT_EQ(t.size(), 1u);
    cells::ExpectCells(t[0], {{"Count-1", 2}, {"Count-2", 3}, {"Mean-1", 5}, {"Mean-2", 5}}, "Two Sample t-Test");
    // Total sum of squares about the mean 5: 16 + 4 + 0 + 4 + 16 = 40 on 4 DF.
    const auto anova =
        RunAndRead(scenarioOf({"G", "ANOVA", {{"F", "C"}, {"X", "X"}}, {{"GroupIgnoreBlanks", true}}}, "Flags"));
    ASSERT_EQ(anova.size(), 4u);
    cells::ExpectCells(anova[3], {{"DF", 4}, {"Sum_of_Squares", 40}}, "ANOVA total");
}

TEST_F(StoredValuesRunTest, ATextOrBlobInAYesNoGroupFailsTheRunNamingItInsteadOfCountingAsTrue) {
    // Another program's BOOLEAN column holds 1, 0, -1 and, in record 2, a
    // text or a blob, which no Yes/No value is. Read record by record it
    // failed the run by name; the crosstab and the chi-square group in SQL,
    // where anything but 0 was True: "false" went into True uncounted as an
    // error (the crosstab's True summed X 1 + 2 + 8).
    const struct {
        vtest::Stored f2;
        const char* shown;
    } values[] = {
        {vtest::Stored::Text("false"), "'false'"},
        {vtest::Stored::Text("No"), "'No'"},
        {vtest::Stored::Blob(std::string("\0", 1)), "X'00'"},
        // Texts IsNumeric reads as 0 (an exponent written with D, hex,
        // octal): no Yes/No value either, not one more True.
        {vtest::Stored::Text("0d0"), "'0d0'"},
        {vtest::Stored::Text("&H0"), "'&H0'"},
        {vtest::Stored::Text("&O0"), "'&O0'"},
    };
    const Analysis byFlag[] = {
        {"P", "Describe", {{"F", "G"}, {"X", "X"}}, {{"Sum", true}}},
        {"P", "Crosstab", {{"F", "G"}, {"C", "C"}, {"X", "X"}}, {{"XType", "S"}}},
        {"P", "Crosstab", {{"F", "G"}, {"C", "C"}, {"X", "X"}}, {{"XType", "M"}}},
        {"N", "Chi-Square", {{"F", "C"}}, {{"ChiAll", true}, {"ChiDetail", false}}},
        {"N", "Chi-Square", {{"F", "G"}, {"C", "C"}}, {{"ChiAll", true}, {"ChiDetail", false}}},
        {"G", "ANOVA", {{"F", "C"}, {"X", "X"}}, {}},
    };
    for (const auto& v : values) {
        WriteTheirs({"DROP TABLE IF EXISTS Flags",
                     "CREATE TABLE Flags (K INTEGER PRIMARY KEY, G VARCHAR(5), C VARCHAR(5), F BOOLEAN, X DOUBLE)",
                     "INSERT INTO Flags VALUES (1, 'a', 'u', 1, 1), (3, 'a', 'v', 0, 4), (4, 'a', 'v', -1, 8)"},
                    "INSERT INTO Flags VALUES (2, 'a', 'u', ?1, 2)", v.f2);
        for (const Analysis& a : byFlag) {
            std::string err;
            EXPECT_FALSE(Run(Store(scenarioOf(a, "Flags")), &err)) << a.type << ": " << v.shown;
            EXPECT_NE(err.find(std::string("Type mismatch: the value ") + v.shown + " in field F ("), std::string::npos)
                << a.type << ": " << v.shown << "\n" << err;
            EXPECT_NE(err.find(") is not a number."), std::string::npos) << a.type << ": " << v.shown << "\n" << err;
        }
    }
}

TEST_F(StoredValuesRunTest, ABlobInTheCrosstabsColumnFieldFailsTheRunNamingItsValueFieldAndRecord) {
    // The crosstab's columns are the values of its column field, put in
    // order as numbers; a blob another program stored in a number, Yes/No or
    // date column is none, and the run stopped at a bare "Type mismatch".
    // Record 3 holds it: C 1, 2, the blob, 1.
    for (const char* declared : {"INTEGER", "DOUBLE", "BOOLEAN", "DATETIME"}) {
        WriteTheirs({"DROP TABLE IF EXISTS Cols",
                     std::string("CREATE TABLE Cols (K INTEGER PRIMARY KEY, G VARCHAR(5), C ") + declared + ", X DOUBLE)",
                     "INSERT INTO Cols VALUES (1, 'a', 1, 1), (2, 'a', 2, 2), (4, 'a', 1, 8)"},
                    "INSERT INTO Cols VALUES (3, 'a', ?1, 4)", Stored::Blob("\x01\x02"));
        for (const char* letter : {"S", "C", "M"}) {
            std::string err;
            EXPECT_FALSE(Run(Store(scenarioOf({"P", "Crosstab", {{"G", "G"}, {"C", "C"}, {"X", "X"}}, {{"XType", letter}}}, "Cols")),
                             &err))
                << declared << " " << letter;
            EXPECT_EQ(err, "Type mismatch: the value X'0102' in field C (record 3 of Cols) is not a number.")
                << declared << " " << letter;
        }
    }
}

TEST_F(StoredValuesRunTest, ADateStoredAsItsDayNumberAndAsTextsOfEveryFormIsOneGroupInTheOrderOfTime) {
    // This program stores a date as its day number (37623 is 2003-01-02),
    // another program as a text. Sorted as stored (numbers first, texts
    // letter by letter) Jan 3 came before Jan 2 and 10:30 in three runs.
    // Read: Jan 2 holds X 2, 7; 10:30 X 4, 5, 8, 9; 11:00 X 6; Jan 3 X 1, 3.
    WriteTheirs({"CREATE TABLE Days (K INTEGER PRIMARY KEY, D DATE, X DOUBLE)",
                 "INSERT INTO Days VALUES (1, 37624.0, 1), (2, '2003-01-02', 2), (3, '2003-01-03', 3),"
                     " (4, '2003-01-02 10:30:00', 4), (5, '2003-01-02T10:30:00', 5), (6, '2003-01-02 11:00:00', 6),"
                     " (7, '1/2/2003', 7), (8, '2003-01-02 10:30:00.000', 8), (9, 37623.4375, 9)"});
    const char* const inTime = "2003-01-02 | 2003-01-02 10:30:00 | 2003-01-02 11:00:00 | 2003-01-03";
    const Analysis byDay[] = {
        {"P", "Describe", {{"D", "G"}, {"X", "X"}}, {{"Sum", true}}},
        {"P", "Crosstab", {{"D", "G"}, {"K", "C"}, {"X", "X"}}, {{"XType", "S"}}},
        {"P", "Percentiles", {{"D", "G"}, {"X", "X"}}, {{"PercentileRadio", "Median"}}},
    };
    for (const Analysis& a : byDay) {
        std::string groups;
        for (const auto& r : RunAndRead(scenarioOf(a, "Days"))) {
            if (r.IsNull("D")) continue; // the crosstab's total rows
            EXPECT_EQ(r["D"].Type(), vbDate) << a.type;
            const std::string g = r["D"].ToString();
            if (groups.size() < g.size() || groups.compare(groups.size() - g.size(), g.size(), g) != 0)
                groups += (groups.empty() ? "" : " | ") + g;
        }
        EXPECT_EQ(groups, inTime) << a.type;
    }
    const auto sums = RunAndRead(scenarioOf(byDay[0], "Days"));
    ASSERT_EQ(sums.size(), 4u);
    const double count[] = {2, 4, 1, 2}, sum[] = {9, 26, 6, 4};
    for (std::size_t i = 0; i < 4; ++i) cells::ExpectCells(sums[i], {{"Count", count[i]}, {"Sum", sum[i]}}, "Describe");
    // As categories: 2, 4, 1 and 2 records, E = 9/4: chi-square
    // (1/16 + 49/16 + 25/16 + 1/16) / (9/4) = 19/9 on 3 DF, not 0 on 8.
    const auto chi = RunAndRead(scenarioOf({"N", "Chi-Square", {{"D", "C"}}, {{"ChiDetail", false}}, false}, "Days"));
    ASSERT_EQ(chi.size(), 1u);
    cells::ExpectCells(chi[0], {{"Count", 9}, {"Groups", 4}, {"DF", 3}, {"Chi-Square", 19.0 / 9}}, "Chi-Square",
                       cells::Match::Ulps);
}

TEST_F(StoredValuesRunTest, ASavedQuerysCVDateGroupIsWrittenAsDatesNotAsDayNumbers) {
    // CVDate in a saved query makes another program's date texts dates; the
    // view's column declares no type, and the run wrote its groups into a
    // Double column as day numbers (37623 for 2003-01-02). Jan 2 holds X 1
    // and 4, Jan 3 10:30 X 2.
    WriteTheirs({"CREATE TABLE Stamps (K INTEGER PRIMARY KEY, S TEXT, X DOUBLE)",
                 "INSERT INTO Stamps VALUES (1, '2003-01-02', 1), (2, '1/3/2003 10:30', 2), (3, '1/2/2003', 4)"});
    db->CreateQueryDef("Dated", "SELECT K, CVDate(S) AS D, X FROM Stamps");
    const Analysis byDay[] = {
        {"P", "Describe", {{"D", "G"}, {"X", "X"}}, {{"Sum", true}}},
        {"P", "Percentiles", {{"D", "G"}, {"X", "X"}}, {{"PercentileRadio", "Median"}}},
    };
    for (const Analysis& a : byDay) {
        std::vector<std::string> groups;
        for (const auto& r : RunAndRead(scenarioOf(a, "Dated"))) {
            EXPECT_EQ(r["D"].Type(), vbDate) << a.type;
            if (groups.empty() || groups.back() != r["D"].ToString()) groups.push_back(r["D"].ToString());
        }
        EXPECT_EQ(groups, (std::vector<std::string>{"2003-01-02", "2003-01-03 10:30:00"})) << a.type;
    }
    const auto sums = RunAndRead(scenarioOf(byDay[0], "Dated"));
    ASSERT_EQ(sums.size(), 2u);
    cells::ExpectCells(sums[0], {{"Count", 2}, {"Sum", 5}}, "Describe");
    cells::ExpectCells(sums[1], {{"Count", 1}, {"Sum", 2}}, "Describe");
}

TEST_P(TheirTableRunsTest, WriteTheRowsWorkedOutByHand) {
    const TheirTableRuns& p = GetParam();
    WriteTheirs(p.statements);
    for (const RunRows& c : p.runs) {
        vtest::ScenarioSpec s = scenarioOf(c.analysis, p.table);
        s.missingType = c.missingType;
        if (s.missingType == "1") s.missingEqual = c.missingValue;
        if (s.missingType == "2") s.missingLow = c.missingValue;
        RunAndExpectRows(s, c.rows, c.why, p.match);
    }
}

INSTANTIATE_TEST_SUITE_P(StoredValues, TheirTableRunsTest, ::testing::ValuesIn(theirTableRuns()), RowName());

TEST_F(StoredValuesRunTest, NumbersAnotherProgramStoredAsTextsInColumnsOfNoTypeAreSortedAsNumbersByEveryAnalysis) {
    // A table written from a CSV file without declared types holds its
    // numbers as texts: "100" sorts before "9" as a text. Every analysis must
    // write what it writes for the same numbers stored as numbers.
    {
        vtest::OtherProgram other(tmp.file("data.db"));
        const char* rows = "(1, 'a', 9, 20, 1), (2, 'a', 100, 3, 2), (3, 'a', 20, 100, 1), (4, 'b', 3, 9, 1),"
                           " (5, 'b', 45, 7, 3), (6, 'b', 7, 45, 1), (7, 'a', 9, 8, 1), (8, 'b', 1000, 11, 2)";
        other.Exec("CREATE TABLE Typed (K INTEGER PRIMARY KEY, C VARCHAR(5), X DOUBLE, Y DOUBLE, W DOUBLE)");
        other.Exec(std::string("INSERT INTO Typed VALUES ") + rows);
        other.Exec("CREATE TABLE Texts (K INTEGER PRIMARY KEY, C VARCHAR(5), X, Y, W)");
        other.Exec(std::string("INSERT INTO Texts SELECT K, C, CAST(X AS TEXT), CAST(Y AS TEXT), CAST(W AS TEXT) FROM (SELECT "
                               "column1 AS K, column2 AS C, column3 AS X, column4 AS Y, column5 AS W FROM (VALUES ") +
                   rows + "))");
        // The same through a view whose class is computed: a text without a declared type.
        other.Exec("CREATE VIEW TextsView AS SELECT K, lower(C) AS C, X, Y, W FROM Texts");
    }
    std::vector<Analysis> analyses = everyAnalysis();
    analyses.push_back({"N", "2 Sample", {{"C", "C"}, {"X", "X"}, {"W", "W"}}, {{"NPTwoType", "Wald"}}});
    analyses.push_back({"N", "Sign Test", {{"X", "X"}}, {{"SignMedian", true}}});
    analyses.push_back({"P", "Describe", {{"C", "G"}, {"X", "X"}}, {{"Range", true}, {"Percentile", true}}});
    for (const Analysis& a : analyses) {
        SCOPED_TRACE(a.type);
        std::string err;
        ASSERT_TRUE(Run(Store(scenarioOf(a, "Typed")), &err)) << err;
        const auto typed = ReadTable("Out");
        for (const char* source : {"Texts", "TextsView"}) {
            SCOPED_TRACE(source);
            ASSERT_TRUE(Run(Store(scenarioOf(a, source)), &err)) << err;
            const auto texts = ReadTable("Out");
            ASSERT_EQ(texts.size(), typed.size());
            // Sums taken in another order may differ in the last digit.
            for (std::size_t r = 0; r < typed.size(); ++r)
                for (const auto& [name, value] : typed[r].values) {
                    const Variant& got = texts[r][name];
                    if (value.IsNumber() && got.IsNumber())
                        EXPECT_NEAR(got.ToDouble(), value.ToDouble(), 1e-12 * std::fabs(value.ToDouble()))
                            << "row " << r << " " << name;
                    else
                        EXPECT_TRUE(got.Equals(value, false)) << "row " << r << " " << name << ": " << got.ToString()
                                                              << " against " << value.ToString();
                }
        }
    }
}

TEST_F(StoredValuesRunTest, TextsInAColumnOfNoTypeGroupTheRunInsteadOfFailingAsNoNumber) {
    // "CREATE TABLE Sales (K, Region, Kind, X)", as a Python program writes
    // it: the region names are texts, and a group, row or compare field
    // takes them as they are.
    WriteTheirs({"CREATE TABLE Sales (K, Region, Kind, X)",
                 "INSERT INTO Sales VALUES (1, 'north', 'u', 1), (2, 'north', 'v', 2), (3, 'south', 'u', 4),"
                     " (4, 'north', 'u', 5), (5, 'south', 'v', 6)"});
    // Each output row: its region (and kind of row) and cells worked out by
    // hand: north holds X 1, 2, 5 (u: 1 + 5, v: 2), south 4, 6 (u: 4, v: 6).
    ExpectLabelledRuns("Sales", {
        {{"P", "Describe", {{"Region", "G"}, {"X", "X"}}, {{"Sum", true}}},
         "Region",
         {{"north", {{"Sum", 8}, {"Count", 3}}}, {"south", {{"Sum", 10}, {"Count", 2}}}},
         "a group field"},
        {{"P", "Crosstab", {{"Region", "G"}, {"Kind", "C"}, {"X", "X"}}, {{"XType", "S"}}},
         "Region",
         {{"north", {{"u", 6}, {"v", 2}, {"RowSummary", 8}}},
          {"north", {{"u", 2}, {"v", 1}, {"RowSummary", 3}}},
          {"south", {{"u", 4}, {"v", 6}, {"RowSummary", 10}}},
          {"south", {{"u", 1}, {"v", 1}, {"RowSummary", 2}}}},
         "a row field and a column field (sums, then counts)"},
        {{"G", "Two Sample t-Test", {{"Region", "C"}, {"X", "X"}}, {}},
         "Region-1",
         {{"north", {{"Count-1", 3}, {"Count-2", 2}, {"Mean-2", 5}, {"Mean_Diff", 8.0 / 3 - 5}}}},
         "a compare field: north's mean 8/3, south's 5"},
    });
    // As a number it is refused by name before anything is read.
    std::string err;
    EXPECT_FALSE(Run(Store(scenarioOf({"P", "Describe", {{"Region", "X"}}, {{"Sum", true}}}, "Sales")), &err));
    EXPECT_EQ(err, "The X field Region does not hold numbers and cannot be used in that role.");
}

TEST_F(StoredValuesRunTest, CodesOfNumbersAndTextsInAColumnWithoutTypeGroupEveryAnalysisInsteadOfFailingAsNoNumber) {
    // Another program's codes, numbers and texts in one column of no type.
    // Each code is a group: 1 (also 1.0) holds X 1, 16; 2 holds X 2, 64; a
    // (also A) X 4, 32; B (also b) X 8, 128. Numbers come first by value,
    // then texts, letter case ignored. Y: 1: 3, 4; 2: 1, 7; a: 2, 6; B: 5, 8.
    // P splits each code in two: u (K 1-4) and 1 (K 5-8). Two holds the
    // records of codes 1 and a only.
    // Computed is a view that computes the same codes in a column of no type:
    // typed by its first value, 1, a text came as no number in a number
    // field, and every run by it failed. It runs each case of Codes too.
    // Loose holds numbers only, some as texts: 1 as 1, "1" and 1.0, 2 as 2
    // and "02". Sorted as stored (numbers before texts) the text "1" came
    // after 2, a group of its own, and "02" joined the group of the 2 before
    // it. Read: 1 holds X 1, 8, 16; 2 holds X 2, 4.
    // Mixed holds texts too, so "02" is not "2" there: sorted as numbers but
    // compared as texts, 2 and "02" alternated and each record was a group
    // of its own. Read: 2 (also 2.0) holds X 1, 8, 32; 2.5 X 256; "02" X 2,
    // 16; a (also A) X 4, 64; B (also b) X 128, 512.
    WriteTheirs({"CREATE TABLE Codes (K INTEGER PRIMARY KEY, N, X DOUBLE, Y DOUBLE, P)",
                 "INSERT INTO Codes VALUES (1, 1, 1, 3, 'u'), (2, 2, 2, 1, 'u'), (3, 'a', 4, 2, 'u'), (4, 'B', 8, 5, 'u'),"
                 " (5, 1.0, 16, 4, 1), (6, 'A', 32, 6, 1), (7, 2, 64, 7, 1), (8, 'b', 128, 8, 1)",
                 "CREATE TABLE Two AS SELECT * FROM Codes WHERE K IN (1, 3, 5, 6)",
                 "CREATE TABLE Loose (K INTEGER PRIMARY KEY, N, X DOUBLE)",
                 "INSERT INTO Loose VALUES (1, 1, 1), (2, 2, 2), (3, '02', 4), (4, '1', 8), (5, 1.0, 16)",
                 "CREATE TABLE Mixed (K INTEGER PRIMARY KEY, N, X DOUBLE)",
                 "INSERT INTO Mixed VALUES (1, 2, 1), (2, '02', 2), (3, 'a', 4), (4, 2, 8), (5, '02', 16), (6, 2.0, 32),"
                 " (7, 'A', 64), (8, 'B', 128), (9, 2.5, 256), (10, 'b', 512)",
                 "CREATE VIEW Computed AS SELECT K, CASE WHEN typeof(N) = 'text' THEN N ELSE N * 1 END AS N, X, Y, P"
                 " FROM Codes"});
    struct Expected {
        const char* label; // the group value the row is written for (letter case ignored); null: not checked
        std::vector<cells::Cell> cells;
    };
    const struct {
        Analysis analysis;
        const char* table;
        const char* labelColumn;
        const char* onlyColumn; // only the rows whose `onlyColumn` reads `onlyValue` (null: every row)
        const char* onlyValue;
        std::vector<Expected> rows;
        const char* why;
    } cases[] = {
        {{"P", "Describe", {{"N", "G"}, {"X", "X"}}, {{"Sum", true}}}, "Codes", "N", nullptr, nullptr,
         {{"1", {{"Count", 2}, {"Sum", 17}}}, {"2", {{"Count", 2}, {"Sum", 66}}}, {"a", {{"Count", 2}, {"Sum", 36}}},
          {"B", {{"Count", 2}, {"Sum", 136}}}},
         "Describe: sums 1 + 16, 2 + 64, 4 + 32, 8 + 128"},
        {{"P", "Frequency", {{"N", "G"}, {"X", "X"}},
          {{"InterV", std::int16_t(4)}, {"FreqGroupRadio", "Specified"}, {"FreqInit", 0.0}, {"FreqWidth", 64.0}}},
         "Codes", "N", "Interval", "2",
         {{"1", {{"Count", 2}}}, {"2", {{"Count", 1}}}, {"a", {{"Count", 2}}}, {"B", {{"Count", 1}}}},
         "Frequency: X below 64 in each group"},
        {{"P", "Percentiles", {{"N", "G"}, {"X", "X"}}, {{"PercentileRadio", "Median"}}}, "Codes", "N", "Percentile", "50",
         {{"1", {{"Value", 8.5}}}, {"2", {{"Value", 33}}}, {"a", {{"Value", 18}}}, {"B", {{"Value", 68}}}},
         "Percentiles: the median of two values is their mean"},
        {{"P", "Compare", {{"N", "G"}, {"X", "X"}, {"Y", "Y"}}, {}}, "Codes", "N", nullptr, nullptr,
         {{"1", {{"MeanX", 8.5}, {"MeanY", 3.5}}}, {"2", {{"MeanX", 33}, {"MeanY", 4}}}, {"a", {{"MeanX", 18}, {"MeanY", 4}}},
          {"B", {{"MeanX", 68}, {"MeanY", 6.5}}}},
         "Compare"},
        {{"P", "Regression", {{"N", "G"}, {"X", "X"}, {"Y", "Y"}}, {}}, "Codes", "N", nullptr, nullptr,
         {{"1", {{"Count_of_Y", 2}}}, {"2", {{"Count_of_Y", 2}}}, {"a", {{"Count_of_Y", 2}}}, {"B", {{"Count_of_Y", 2}}}},
         "Regression"},
        {{"P", "Crosstab", {{"N", "G"}, {"K", "C"}, {"X", "X"}}, {{"XType", "S"}}}, "Codes", "N", "DataType", "Data: Sum",
         {{"1", {{"RowSummary", 17}}}, {"2", {{"RowSummary", 66}}}, {"a", {{"RowSummary", 36}}}, {"B", {{"RowSummary", 136}}}},
         "Crosstab: the codes as rows"},
        {{"P", "Crosstab", {{"K", "G"}, {"N", "C"}, {"X", "X"}}, {{"XType", "S"}}}, "Codes", nullptr, "DataType", "GROUP Total",
         {{nullptr, {{"1", 17}, {"2", 66}, {"a", 36}, {"B", 136}, {"RowSummary", 255}}}},
         "Crosstab: the codes as columns"},
        {{"G", "Two Sample t-Test", {{"N", "C"}, {"X", "X"}}, {}}, "Codes", "N-1", nullptr, nullptr,
         {{"1", {{"Mean-1", 8.5}, {"Mean-2", 33}}}, {"1", {{"Mean-1", 8.5}, {"Mean-2", 18}}}, {"1", {{"Mean-1", 8.5}, {"Mean-2", 68}}},
          {"2", {{"Mean-1", 33}, {"Mean-2", 18}}}, {"2", {{"Mean-1", 33}, {"Mean-2", 68}}}, {"a", {{"Mean-1", 18}, {"Mean-2", 68}}}},
         "t-test: every pair of codes"},
        // Between groups: 2 (8.5^2 + 33^2 + 18^2 + 68^2) - 255^2 / 8 = 4090.375.
        {{"G", "ANOVA", {{"N", "C"}, {"X", "X"}}, {}}, "Codes", nullptr, "Source_of_Variation", "Main: [N]",
         {{nullptr, {{"DF", 3}, {"Sum_of_Squares", 4090.375}}}},
         "ANOVA"},
        // P's groups: means 15/4 and 240/4 around 255/8, 4 records each: 2 * 4 * (225/8)^2.
        {{"G", "Two way ANOVA", {{"N", "C"}, {"P", "C"}, {"X", "X"}}, {}}, "Codes", nullptr, "Source_of_Variation", "Main: [P]",
         {{nullptr, {{"DF", 1}, {"Sum_of_Squares", 6328.125}}}},
         "two-way ANOVA"},
        {{"N", "Sign Test", {{"N", "G"}, {"X", "X"}}, {{"SignMean", true}}}, "Codes", "N", nullptr, nullptr,
         {{"1", {{"TestValue", 8.5}}}, {"2", {{"TestValue", 33}}}, {"a", {{"TestValue", 18}}}, {"B", {{"TestValue", 68}}}},
         "Sign test against each group's mean"},
        {{"N", "K-S Fit", {{"N", "G"}, {"X", "X"}}, {{"FitUniform", true}}}, "Codes", "N", "TestType", "Uniform",
         {{"1", {{"Minimum", 1}, {"Maximum", 16}}}, {"2", {{"Minimum", 2}, {"Maximum", 64}}},
          {"a", {{"Minimum", 4}, {"Maximum", 32}}}, {"B", {{"Minimum", 8}, {"Maximum", 128}}}},
         "K-S fit"},
        // Ranks of the pair's four X: the first code's sum 1 + 3, but 1 + 4 for 2 against a (2, 4, 32, 64).
        {{"N", "2 Sample", {{"N", "C"}, {"X", "X"}}, {{"NPTwoType", "Mann"}}}, "Codes", "N-1", nullptr, nullptr,
         {{"1", {{"SumRank-1", 4}}}, {"1", {{"SumRank-1", 4}}}, {"1", {{"SumRank-1", 4}}}, {"2", {{"SumRank-1", 5}}},
          {"2", {{"SumRank-1", 4}}}, {"a", {{"SumRank-1", 4}}}},
         "Mann-Whitney: every pair of codes"},
        // In the order of X: 1 (1), 4 (a), 16 (1), 32 (A): four runs.
        {{"N", "2 Sample", {{"N", "C"}, {"X", "X"}}, {{"NPTwoType", "Wald"}}}, "Two", "N-1", nullptr, nullptr,
         {{"1", {{"Cases-1", 2}, {"Cases-2", 2}, {"Wald_Min_Runs", 4}}}},
         "runs test"},
        // Rank sums 1 + 5, 2 + 7, 3 + 6, 4 + 8: H = 12 / 72 * (36 + 81 + 81 + 144) / 2 - 27.
        {{"N", "N Sample", {{"N", "C"}, {"X", "X"}}, {}}, "Codes", nullptr, nullptr, nullptr,
         {{nullptr, {{"Count", 8}, {"Groups", 4}, {"H", 1.5}}}},
         "Kruskal-Wallis"},
        {{"N", "Paired Fields", {{"N", "G"}, {"X", "X"}, {"Y", "Y"}}, {}}, "Codes", "N", nullptr, nullptr,
         {{"1", {{"MeanDiff", 5}}}, {"2", {{"MeanDiff", 29}}}, {"a", {{"MeanDiff", 14}}}, {"B", {{"MeanDiff", 61.5}}}},
         "paired fields: mean of X - Y"},
        // Friedman on X and Y: 1 has one pair each way (0), the others X above Y twice (2).
        {{"N", "N Fields", {{"N", "G"}, {"X", "X"}, {"Y", "X"}}, {}}, "Codes", "N", nullptr, nullptr,
         {{"1", {{"Chi-Squared", 0}}}, {"2", {{"Chi-Squared", 2}}}, {"a", {{"Chi-Squared", 2}}}, {"B", {{"Chi-Squared", 2}}}},
         "N fields"},
        {{"N", "Chi-Square", {{"N", "C"}}, {{"ChiAll", false}, {"ChiDetail", false}}, false}, "Codes", nullptr, nullptr, nullptr,
         {{nullptr, {{"Count", 8}, {"Groups", 4}, {"DF", 3}, {"Chi-Square", 0}}}},
         "chi-square: two records of each code"},
        {{"P", "Describe", {{"N", "G"}, {"X", "X"}}, {{"Sum", true}}}, "Loose", "N", nullptr, nullptr,
         {{"1", {{"Count", 3}, {"Sum", 25}}}, {"2", {{"Count", 2}, {"Sum", 6}}}},
         "numbers and number texts: one group per number"},
        {{"P", "Crosstab", {{"N", "G"}, {"K", "C"}, {"X", "X"}}, {{"XType", "S"}}}, "Loose", "N", "DataType", "Data: Sum",
         {{"1", {{"RowSummary", 25}}}, {"2", {{"RowSummary", 6}}}},
         "numbers and number texts as crosstab rows"},
        {{"P", "Percentiles", {{"N", "G"}, {"X", "X"}}, {{"PercentileRadio", "Median"}}}, "Loose", "N", "Percentile", "50",
         {{"1", {{"Value", 8}}}, {"2", {{"Value", 3}}}},
         "numbers and number texts: medians of 1, 8, 16 and of 2, 4"},
        // 3 and 2 records, E = 5/2: (1/4 + 1/4) / (5/2) = 1/5 on 1 DF, not 3/5 on 3.
        {{"N", "Chi-Square", {{"N", "C"}}, {{"ChiDetail", false}}, false}, "Loose", nullptr, nullptr, nullptr,
         {{nullptr, {{"Count", 5}, {"Groups", 2}, {"DF", 1}, {"Chi-Square", 0.2}}}},
         "numbers and number texts as categories"},
        {{"P", "Describe", {{"N", "G"}, {"X", "X"}}, {{"Sum", true}}}, "Mixed", "N", nullptr, nullptr,
         {{"2", {{"Count", 3}, {"Sum", 41}}}, {"2.5", {{"Count", 1}, {"Sum", 256}}}, {"02", {{"Count", 2}, {"Sum", 18}}},
          {"a", {{"Count", 2}, {"Sum", 68}}}, {"B", {{"Count", 2}, {"Sum", 640}}}},
         "a number spelled two ways among texts: one group per spelling, not per record"},
        // 3, 1, 2, 2, 2 of 10, E = 2: (1 + 1) / 2 = 1 on 4 DF.
        {{"N", "Chi-Square", {{"N", "C"}}, {{"ChiDetail", false}}, false}, "Mixed", nullptr, nullptr, nullptr,
         {{nullptr, {{"Count", 10}, {"Groups", 5}, {"DF", 4}, {"Chi-Square", 1.0}}}},
         "a number spelled two ways among texts as categories"},
    };
    auto lower = [](std::string s) {
        for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        return s;
    };
    for (const auto& c : cases) {
        for (const std::string& table : {std::string(c.table), std::string(std::string(c.table) == "Codes" ? "Computed" : "")}) {
            if (table.empty()) continue;
            const std::string why = table + ": " + c.why;
            const std::vector<OutRow> rows = RunAndKeep(scenarioOf(c.analysis, table), why, c.onlyColumn, c.onlyValue);
            ASSERT_EQ(rows.size(), c.rows.size()) << why;
            for (std::size_t i = 0; i < rows.size(); ++i) {
                if (c.rows[i].label) {
                    ASSERT_FALSE(rows[i].IsNull(c.labelColumn)) << why;
                    EXPECT_EQ(lower(rows[i][c.labelColumn].ToString()), lower(c.rows[i].label)) << why << ", row " << i;
                }
                cells::ExpectCells(rows[i], c.rows[i].cells, why, cells::Match::Ulps);
            }
        }
    }
    // As a number the column is refused at its first code that is no number,
    // by value, field and record, before anything is read.
    const struct {
        Analysis analysis;
        const char* why;
    } numeric[] = {
        {{"P", "Describe", {{"N", "X"}}, {{"Sum", true}}}, "an X field"},
        {{"P", "Compare", {{"X", "X"}, {"N", "Y"}}, {}}, "a Y field"},
        {{"G", "ANOVA", {{"P", "C"}, {"X", "X"}, {"N", "W"}}, {}}, "a weight field"},
    };
    for (const auto& c : numeric) {
        std::string err;
        EXPECT_FALSE(Run(Store(scenarioOf(c.analysis, "Codes")), &err)) << c.why;
        EXPECT_EQ(err, "Type mismatch: the value 'a' in field N (record 3 of Codes) is not a number.") << c.why;
        EXPECT_FALSE(Run(Store(scenarioOf(c.analysis, "Computed")), &err)) << c.why;
        EXPECT_EQ(err, "Type mismatch: the value 'a' in field N (record 3 of Computed) is not a number.") << c.why;
    }
}

TEST_F(StoredValuesRunTest, AViewsComputedGroupOfAWholeNumberThenRealsKeepsTheRealsInsteadOfRoundingThem) {
    // S is computed by the view: 1 is stored as a whole number, 2.5 and 3.5
    // as reals. The column took the type of its first value, 1, a Long, and
    // the output wrote the groups 2.5 and 3.5 as 2 and 4.
    // X by S: 1 holds 1 and 16; 2.5 holds 2 and 8; 3.5 holds 4 and 32.
    WriteTheirs({"CREATE TABLE Sizes (K INTEGER PRIMARY KEY, S NUMERIC, X DOUBLE)",
                 "INSERT INTO Sizes VALUES (1, 1, 1), (2, 2.5, 2), (3, 3.5, 4), (4, 2.5, 8), (5, 1, 16), (6, 3.5, 32)",
                 "CREATE VIEW SizesView AS SELECT K, S * 1 AS S, X FROM Sizes"});
    const struct {
        Analysis analysis;
        const char* onlyColumn; // only the rows whose `onlyColumn` reads `onlyValue` (null: every row)
        const char* onlyValue;
        std::vector<std::vector<std::pair<const char*, double>>> rows; // per row: column, value
        const char* why;
    } cases[] = {
        {{"P", "Describe", {{"S", "G"}, {"X", "X"}}, {{"Sum", true}}}, nullptr, nullptr,
         {{{"S", 1}, {"Sum", 17}}, {{"S", 2.5}, {"Sum", 10}}, {{"S", 3.5}, {"Sum", 36}}},
         "Describe: one row per size"},
        {{"P", "Percentiles", {{"S", "G"}, {"X", "X"}}, {{"PercentileRadio", "Median"}}}, "Percentile", "50",
         {{{"S", 1}, {"Value", 8.5}}, {{"S", 2.5}, {"Value", 5}}, {{"S", 3.5}, {"Value", 18}}},
         "Percentiles: the median of each size, the mean of its two values"},
        {{"G", "Two Sample t-Test", {{"S", "C"}, {"X", "X"}}, {}}, nullptr, nullptr,
         {{{"S-1", 1}, {"S-2", 2.5}}, {{"S-1", 1}, {"S-2", 3.5}}, {{"S-1", 2.5}, {"S-2", 3.5}}},
         "t-test: every pair of sizes"},
        {{"P", "Crosstab", {{"S", "G"}, {"K", "C"}, {"X", "X"}}, {{"XType", "S"}}}, "DataType", "Data: Sum",
         {{{"S", 1}, {"RowSummary", 17}}, {{"S", 2.5}, {"RowSummary", 10}}, {{"S", 3.5}, {"RowSummary", 36}}},
         "Crosstab: the sizes as rows"},
    };
    for (const auto& c : cases)
        ExpectEachRow(RunAndKeep(scenarioOf(c.analysis, "SizesView"), c.why, c.onlyColumn, c.onlyValue), c.rows, c.why);
}

TEST_F(StoredValuesRunTest, AViewsComputedGroupOfWholeNumbersBeyond53BitsKeepsEveryDigitInTheOutput) {
    // B is computed by the view from a BIGINT column: 2^53 and 2^53 + 1. The
    // column took the type of its first value, a whole number beyond 32 bits,
    // as a Double, and the output wrote both groups as 2^53. Read from the
    // table itself they are two groups of their own values.
    // X by B: 2^53 holds 2 and 8; 2^53 + 1 holds 1 and 4.
    WriteTheirs({"CREATE TABLE Keys (K INTEGER PRIMARY KEY, B BIGINT, X DOUBLE)",
                 "INSERT INTO Keys VALUES (1, 9007199254740993, 1), (2, 9007199254740992, 2), (3, 9007199254740993, 4),"
                 " (4, 9007199254740992, 8)",
                 "CREATE VIEW KeysView AS SELECT K, B + 0 AS B, X FROM Keys"});
    const struct {
        Analysis analysis;
        std::vector<std::vector<std::pair<const char*, const char*>>> rows; // per row: column, value as text
        const char* why;
    } cases[] = {
        {{"P", "Describe", {{"B", "G"}, {"X", "X"}}, {{"Sum", true}}},
         {{{"B", "9007199254740992"}, {"Sum", "10"}}, {{"B", "9007199254740993"}, {"Sum", "5"}}},
         "Describe: one row per key"},
        {{"G", "Two Sample t-Test", {{"B", "C"}, {"X", "X"}}, {}},
         {{{"B-1", "9007199254740992"}, {"B-2", "9007199254740993"}}},
         "t-test: the pair of keys"},
    };
    for (const std::string table : {"Keys", "KeysView"})
        for (const auto& c : cases)
            ExpectEachRow(RunAndKeep(scenarioOf(c.analysis, table), table + ": " + c.why), c.rows, table + ": " + c.why);
}

TEST_F(StoredValuesRunTest, ARealInAWholeNumberOrCurrencyColumnIsAGroupOfItsOwnValueNotRoundedInTheOutput) {
    // Another program stored reals in columns declared whole (INTEGER,
    // SMALLINT, TINYINT, BIGINT) and one of five decimals in a MONEY column.
    // Each is a group of its own, but its output column took the declared
    // type and rounded it: 3.7 was written as 4 beside the group 4, 2.5 as 2,
    // 1.23456 as 1.2346 beside the group 1.2346.
    // X by each field: the smaller value holds 1 and 4, the larger 2 and 8.
    WriteTheirs({"CREATE TABLE Kept (K INTEGER PRIMARY KEY, I INTEGER, S SMALLINT, T TINYINT, B BIGINT, M MONEY,"
                 " X DOUBLE)",
                 "INSERT INTO Kept VALUES (1, 3.7, -0.5, 2.5, 3.7, 1.23456, 1), (2, 4, 0, 3, 4, 1.2346, 2),"
                 " (3, 3.7, -0.5, 2.5, 3.7, 1.23456, 4), (4, 4, 0, 3, 4, 1.2346, 8)"});
    const struct {
        const char* field;
        double low, high; // the two values as stored
    } fields[] = {
        {"I", 3.7, 4}, {"S", -0.5, 0}, {"T", 2.5, 3}, {"B", 3.7, 4}, {"M", 1.23456, 1.2346},
    };
    for (const auto& f : fields) {
        const std::string name = f.field, one = name + "-1", two = name + "-2";
        const struct {
            Analysis analysis;
            const char* onlyColumn; // only the rows whose `onlyColumn` reads `onlyValue` (null: every row)
            const char* onlyValue;
            std::vector<std::vector<std::pair<std::string, double>>> rows; // per row: column, value
            const char* why;
        } cases[] = {
            {{"P", "Describe", {{name, "G"}, {"X", "X"}}, {{"Sum", true}}}, nullptr, nullptr,
             {{{name, f.low}, {"Sum", 5}}, {{name, f.high}, {"Sum", 10}}},
             "Describe: one row per value"},
            {{"G", "Two Sample t-Test", {{name, "C"}, {"X", "X"}}, {}}, nullptr, nullptr,
             {{{one, f.low}, {two, f.high}, {"Mean-1", 2.5}, {"Mean-2", 5}}},
             "t-test: the pair of values"},
            {{"P", "Crosstab", {{name, "G"}, {"K", "C"}, {"X", "X"}}, {{"XType", "S"}}}, "DataType", "Data: Sum",
             {{{name, f.low}, {"RowSummary", 5}}, {{name, f.high}, {"RowSummary", 10}}},
             "Crosstab: the values as rows"},
            {{"N", "Chi-Square", {{name, "C"}, {"X", "W"}}, {{"ChiAll", true}, {"ChiDetail", true}}}, nullptr, nullptr,
             {{{"Count", 15}, {"Groups", 2}}},
             "Chi-Square: two categories weighted 5 and 10"},
            {{"N", "2 Sample", {{name, "C"}, {"X", "X"}}, {{"NPTwoType", "Mann"}}}, nullptr, nullptr,
             {{{one, f.low}, {two, f.high}}},
             "Mann-Whitney: the pair of samples"},
        };
        for (const auto& c : cases) {
            vtest::ScenarioSpec s = scenarioOf(c.analysis, "Kept");
            if (std::string(c.analysis.type) == "Chi-Square") s.outputTable2 = "Detail";
            ExpectEachRow(RunAndKeep(s, name + ", " + c.why, c.onlyColumn, c.onlyValue), c.rows, name + ", " + c.why);
            if (std::string(c.analysis.type) != "Chi-Square") continue;
            // Each category as stored, with the weights of its records.
            const std::vector<OutRow> detail = ReadTable("Detail");
            ASSERT_EQ(detail.size(), 2u) << name;
            EXPECT_EQ(detail[0].Num(name), f.low) << name;
            EXPECT_EQ(detail[0].Num("Observed"), 5) << name;
            EXPECT_EQ(detail[1].Num(name), f.high) << name;
            EXPECT_EQ(detail[1].Num("Observed"), 10) << name;
        }
    }
}

TEST_F(StoredValuesRunTest, AWholeNumberBeyond53BitsInANumericDecimalOrUntypedColumnIsAGroupOfEveryDigit) {
    // Keys of another program (2^53 and 2^53 + 1, -2^53 - 1 and -2^53 - 2)
    // in columns of a type read as Double: NUMERIC, DECIMAL(20, 0) and none.
    // SQLite keeps them whole; they were two groups, but their output column
    // was Double and wrote both as the same double.
    // X by each field: the smaller key holds 1 and 4, the larger 2 and 8.
    WriteTheirs({"CREATE TABLE Ids (K INTEGER PRIMARY KEY, N NUMERIC, D DECIMAL(20, 0), U, M NUMBER, X DOUBLE)",
                 "INSERT INTO Ids VALUES (1, 9007199254740992, 9007199254740992, 9007199254740992, -9007199254740994, 1),"
                 " (2, 9007199254740993, 9007199254740993, 9007199254740993, -9007199254740993, 2),"
                 " (3, 9007199254740992, 9007199254740992, 9007199254740992, -9007199254740994, 4),"
                 " (4, 9007199254740993, 9007199254740993, 9007199254740993, -9007199254740993, 8)"});
    const struct {
        const char* field;
        const char* low;
        const char* high; // the two keys as written
    } fields[] = {
        {"N", "9007199254740992", "9007199254740993"},
        {"D", "9007199254740992", "9007199254740993"},
        {"U", "9007199254740992", "9007199254740993"},
        {"M", "-9007199254740994", "-9007199254740993"},
    };
    for (const auto& f : fields) {
        const std::string name = f.field, one = name + "-1", two = name + "-2";
        const struct {
            Analysis analysis;
            std::vector<std::vector<std::pair<std::string, std::string>>> rows; // per row: column, value as text
            const char* why;
        } cases[] = {
            {{"P", "Describe", {{name, "G"}, {"X", "X"}}, {{"Sum", true}}},
             {{{name, f.low}, {"Sum", "5"}}, {{name, f.high}, {"Sum", "10"}}},
             "Describe: one row per key"},
            {{"G", "Two Sample t-Test", {{name, "C"}, {"X", "X"}}, {}},
             {{{one, f.low}, {two, f.high}, {"Mean-1", "2.5"}, {"Mean-2", "5"}}},
             "t-test: the pair of keys"},
            {{"N", "2 Sample", {{name, "C"}, {"X", "X"}}, {{"NPTwoType", "Mann"}}},
             {{{one, f.low}, {two, f.high}}},
             "Mann-Whitney: the pair of samples"},
        };
        for (const auto& c : cases)
            ExpectEachRow(RunAndKeep(scenarioOf(c.analysis, "Ids"), name + ", " + c.why), c.rows, name + ", " + c.why);
    }
}

TEST_F(StoredValuesRunTest, ASavedQueryOverATableOfAnotherFileRunsEveryAnalysisInsteadOfNotBeingFound) {
    // A saved query may read a table of another database file (IN '<path>').
    // The file holds no view of such a query, and every run on it failed
    // with "The database engine cannot find the input table or query
    // 'Elsewhere'", though the query is there and opens.
    // Theirs: K 1..6, C a a a b b b, X 1..6, Y 2 1 4 3 6 5, W 1. Over X and
    // Y: means 3.5, Sxx = Syy = 17.5, Sxy = 14.5: r = slope = 29/35,
    // intercept 3.5 - 3.5 * 29/35 = 0.6. C a holds X 1, 2, 3, b 4, 5, 6.
    {
        vtest::OtherProgram other(tmp.file("other.db"));
        other.Exec("CREATE TABLE Theirs (K INTEGER PRIMARY KEY, C VARCHAR(5), X SMALLINT, Y DOUBLE, W DOUBLE)");
        other.Exec("INSERT INTO Theirs VALUES (1, 'a', 1, 2, 1), (2, 'a', 2, 1, 1), (3, 'a', 3, 4, 1), (4, 'b', 4, 3, 1),"
                   " (5, 'b', 5, 6, 1), (6, 'b', 6, 5, 1)");
    }
    db->CreateQueryDef("Elsewhere", "SELECT * FROM Theirs IN '" + tmp.file("other.db") + "'");
    const double r = 29.0 / 35.0;
    const RunRows cases[] = {
        {{"P", "Describe", {{"X", "X"}, {"W", "W"}}, {{"Mean", true}}}, {{{"Count", 6}, {"Mean", 3.5}}}, "Describe"},
        {{"P", "Percentiles", {{"X", "X"}, {"W", "W"}}, {{"PercentileRadio", "Median"}}},
         {{{"Percentile", 0}, {"Value", 1}}},
         "Percentiles: the smallest value first"},
        // Intervals of 2 from 0: below 0, then [0, 2) holds 1, [2, 4) 2 and 3.
        {{"P", "Frequency", {{"X", "X"}, {"W", "W"}},
          {{"InterV", std::int16_t(4)}, {"FreqGroupRadio", "Specified"}, {"FreqInit", 0.0}, {"FreqWidth", 2.0}}},
         {{{"Count", 0}}, {{"Count", 1}}, {{"Count", 2}}},
         "Frequency"},
        {{"P", "Compare", {{"X", "X"}, {"Y", "Y"}, {"W", "W"}}, {}},
         {{{"MeanX", 3.5}, {"MeanY", 3.5}, {"Correlation", r}}},
         "Compare"},
        {{"P", "Matrix", {{"X", "X"}, {"Y", "X"}, {"W", "W"}}, {{"MCor", true}}}, {{{"X", 1}, {"Y", r}}}, "Matrix"},
        {{"P", "Regression", {{"X", "X"}, {"Y", "Y"}, {"W", "W"}}, {}},
         {{{"Coef_of_X", r}, {"Y-Intercept", 0.6}}},
         "Regression"},
        {{"P", "Crosstab", {{"K", "G"}, {"C", "C"}, {"X", "X"}, {"W", "W"}}, {{"XType", "S"}}},
         {{{"K", 1}, {"a", 1}, {"RowSummary", 1}}},
         "Crosstab: K 1's sum"},
        {{"G", "Two Sample t-Test", {{"C", "C"}, {"X", "X"}, {"W", "W"}}, {}},
         {{{"Mean-1", 2}, {"Mean-2", 5}, {"DF_Pooled", 4}}},
         "t-test"},
        // Between a and b: 3 (2 - 3.5)^2 + 3 (5 - 3.5)^2.
        {{"G", "ANOVA", {{"C", "C"}, {"X", "X"}, {"W", "W"}}, {}}, {{{"Sum_of_Squares", 13.5}, {"DF", 1}}}, "ANOVA"},
        {{"N", "Sign Test", {{"X", "X"}, {"W", "W"}}, {{"SignMean", true}}},
         {{{"TestValue", 3.5}, {"Count<Test", 3}, {"Count>Test", 3}}},
         "Sign test"},
        {{"N", "K-S Fit", {{"X", "X"}, {"W", "W"}}, {{"FitUniform", true}}}, {{{"Minimum", 1}, {"Maximum", 6}}}, "K-S fit"},
        {{"N", "2 Sample", {{"C", "C"}, {"X", "X"}, {"W", "W"}}, {{"NPTwoType", "Mann"}}},
         {{{"SumRank-1", 6}, {"SumRank-2", 15}, {"MW_U", 0}}},
         "Mann-Whitney"},
        // 12 / (6 * 7) * (6^2 / 3 + 15^2 / 3) - 3 * 7 = 27/7.
        {{"N", "N Sample", {{"C", "C"}, {"X", "X"}, {"W", "W"}}, {}}, {{{"Groups", 2}, {"H", 27.0 / 7.0}}}, "Kruskal-Wallis"},
        {{"N", "Paired Fields", {{"X", "X"}, {"Y", "Y"}, {"W", "W"}}, {}},
         {{{"MeanDiff", 0}, {"Pearson's_R", r}}},
         "paired fields"},
        // X below Y in records 1, 3, 5, above in 2, 4, 6: rank sums 9 and 9.
        {{"N", "N Fields", {{"X", "X"}, {"Y", "X"}, {"W", "W"}}, {}}, {{{"Chi-Squared", 0}, {"Fields", 2}}}, "N fields"},
        {{"N", "Chi-Square", {{"C", "C"}, {"W", "W"}}, {{"ChiAll", false}, {"ChiDetail", false}}},
         {{{"Count", 6}, {"Groups", 2}, {"Chi-Square", 0}}},
         "chi-square"},
    };
    for (const auto& c : cases) RunAndExpectRows(scenarioOf(c.analysis, "Elsewhere"), c.rows, c.why);
    // A saved query that cannot be read names what it cannot read.
    db->CreateQueryDef("Unreadable", "SELECT K, C, X, Y, W, Foo(X) AS Z FROM Theirs IN '" + tmp.file("other.db") + "'");
    std::string err;
    EXPECT_FALSE(Run(Store(scenarioOf(everyAnalysis()[0], "Unreadable")), &err));
    EXPECT_NE(err.find("Undefined function 'Foo'"), std::string::npos) << err;
}

TEST_F(StoredValuesRunTest, AViewOverATableThatIsGoneFailsNamingTheTableAsItWasNamedNotWithTheSchemaPrefix) {
    // Another program dropped the table its view reads. The run named the
    // missing table as SQLite does, 'main.Gone', a name no one gave it.
    WriteTheirs({"CREATE TABLE Gone (K INTEGER PRIMARY KEY, C VARCHAR(5), X DOUBLE, Y DOUBLE, W DOUBLE)",
                 "CREATE VIEW Orphan AS SELECT K, C, X, Y, W FROM Gone", "DROP TABLE Gone"});
    const std::string expected =
        "The database engine cannot find the input table or query 'Gone'. Make sure it exists and that its name is spelled correctly.";
    for (const Analysis& a : everyAnalysis()) {
        // The sample tests find no compare values and say so in their own words.
        const std::string type = a.type;
        if (type == "2 Sample" || type == "N Sample") continue;
        std::string err;
        EXPECT_FALSE(Run(Store(scenarioOf(a, "Orphan")), &err)) << a.type;
        EXPECT_EQ(err, expected) << a.type;
    }
}

TEST_F(StoredValuesRunTest, ASavedQueryJoiningTablesThatShareAColumnNameListsAndRunsEachOfTheirColumns) {
    // Both tables have a column X. The query's fields were X, X and C: the
    // designer could list only the first X, and a run on the second, X:1 as
    // the query's view names it, failed as no field of the query.
    // A holds X 1, 2 (C a) and 3, 4 (C b); B holds X 10, 20 and 30, 40.
    WriteTheirs({"CREATE TABLE A (K INTEGER PRIMARY KEY, X DOUBLE)", "CREATE TABLE B (K INTEGER PRIMARY KEY, X DOUBLE, C VARCHAR(4))",
                 "INSERT INTO A VALUES (1, 1), (2, 2), (3, 3), (4, 4)",
                 "INSERT INTO B VALUES (1, 10, 'a'), (2, 20, 'a'), (3, 30, 'b'), (4, 40, 'b')"});
    db->CreateQueryDef("Both", "SELECT A.X, B.X, B.C FROM A INNER JOIN B ON A.K = B.K");
    std::vector<std::string> names;
    Fields& fields = db->QueryDefs()("Both")->Fields();
    for (int i = 0; i < fields.Count(); ++i) names.push_back(fields(i)->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"X", "X:1", "C"}));
    const auto out = RunAndExpectRows(scenarioOf({"P", "Describe", {{"C", "G"}, {"X", "X"}, {"X:1", "X"}}, {{"Sum", true}}}, "Both"),
                                      {{{"Sum", 3}}, {{"Sum", 30}}, {{"Sum", 7}}, {{"Sum", 70}}}, "each X summed by C");
    ASSERT_EQ(out.size(), 4u);
    const char* labels[] = {"a X", "a X:1", "b X", "b X:1"};
    for (std::size_t i = 0; i < out.size(); ++i)
        EXPECT_EQ(out[i]["C"].ToString() + " " + out[i]["DataField"].ToString(), labels[i]);
}

TEST_F(StoredValuesRunTest, ASavedQueryJoiningTextKeysThatDifferInCaseCountsEveryJoinedRecord) {
    // The join compared its text keys by their bytes: only abc = abc was
    // joined, and the run counted 1 record where there are 4.
    // People: abc (X 1), Émile (X 2), zed (X 4). Visits: ABC (Y 10),
    // abc (Y 20), émile (Y 40), ZED (Y 80), none (Y 160). Joined without
    // regard to case: abc-ABC, abc-abc, Émile-émile, zed-ZED, so X sums to
    // 1 + 1 + 2 + 4 = 8 and Y to 10 + 20 + 40 + 80 = 150, 4 records each.
    WriteTheirs({"CREATE TABLE People (Code TEXT PRIMARY KEY, X DOUBLE)", "CREATE TABLE Visits (Code TEXT, Y DOUBLE)",
                 "INSERT INTO People VALUES ('abc', 1), ('\xC3\x89mile', 2), ('zed', 4)",
                 "INSERT INTO Visits VALUES ('ABC', 10), ('abc', 20), ('\xC3\xA9mile', 40), ('ZED', 80), ('none', 160)"});
    db->CreateQueryDef("Joined", "SELECT People.X, Visits.Y FROM People INNER JOIN Visits ON People.Code = Visits.Code");
    const auto out = RunAndExpectRows(scenarioOf({"P", "Describe", {{"X", "X"}, {"Y", "X"}}, {{"Sum", true}}}, "Joined"),
                                      {{{"Count", 4}, {"Sum", 8}}, {{"Count", 4}, {"Sum", 150}}}, "X and Y over the joined records",
                                      cells::Match::Exact);
    EXPECT_EQ(out.size(), 2u);
}

TEST_F(StoredValuesRunTest, ACrosstabOverAViewsComputedColumnOfWholeNumbersBeyond15DigitsCountsEveryRecordInItsColumn) {
    // B is computed by the view: 1, 2^53 and 2^53 + 1. A computed column is
    // typed by its first value, so the list of columns (first value 1: whole
    // numbers) read 2^53 as the whole number 9007199254740992, and the
    // records (first value 2^53 + 1 in row a, beyond 32 bits: a Double) as
    // the double 9.00719925474099E+15: the records of 2^53 found no column
    // and were left out of every cell and total.
    // Row a holds B 2^53 + 1 (X 1); row b holds 2^53 (X 2, 8), 2^53 + 1 (X 4)
    // and 1 (X 16, 32).
    WriteTheirs({"CREATE TABLE Keys (K INTEGER PRIMARY KEY, B BIGINT, X DOUBLE)",
                 "INSERT INTO Keys VALUES (1, 9007199254740993, 1), (2, 9007199254740992, 2), (3, 9007199254740993, 4),"
                 " (4, 9007199254740992, 8), (5, 1, 16), (6, 1, 32)",
                 "CREATE VIEW KeysView AS SELECT K, CASE WHEN K = 1 THEN 'a' ELSE 'b' END AS R, B + 0 AS B, X FROM Keys"});
    const double none = std::numeric_limits<double>::quiet_NaN();
    RunAndExpectRows(scenarioOf({"P", "Crosstab", {{"R", "G"}, {"B", "C"}, {"X", "X"}}, {{"XType", "S"}}}, "KeysView"),
                     {{{"1", none}, {"9007199254740992", none}, {"9007199254740993", 1}, {"RowSummary", 1}},
                      {{"1", none}, {"9007199254740992", none}, {"9007199254740993", 1}, {"RowSummary", 1}},
                      {{"1", 48}, {"9007199254740992", 10}, {"9007199254740993", 4}, {"RowSummary", 62}},
                      {{"1", 2}, {"9007199254740992", 2}, {"9007199254740993", 1}, {"RowSummary", 5}}},
                     "rows a and b, sums then counts", cells::Match::Exact);
    EXPECT_EQ(ColumnNames("Out"), (std::vector<std::string>{"DataField", "R", "DataType", "RowSummary", "1", "9007199254740992",
                                                            "9007199254740993"}));
}

TEST_F(StoredValuesRunTest, AChiSquareDetailOverAViewsComputedCategoriesWritesEachCategoryAsItIs) {
    // The detail table took its category column's type from the view's
    // first record: S (1, then 2.5 and 3.5) was Long and wrote the categories
    // 2.5 and 3.5 as 2 and 4; B (2^53 + 1 first, then 2^53 and 1) was Double
    // and wrote 2^53 and 2^53 + 1 both as 9.00719925474099E+15.
    // Two records of each category: observed 2, expected 6 / 3 = 2.
    WriteTheirs({"CREATE TABLE Sizes (K INTEGER PRIMARY KEY, S NUMERIC, B BIGINT)",
                 "INSERT INTO Sizes VALUES (1, 1, 9007199254740993), (2, 2.5, 9007199254740992), (3, 3.5, 9007199254740993),"
                 " (4, 2.5, 9007199254740992), (5, 1, 1), (6, 3.5, 1)",
                 "CREATE VIEW SizesView AS SELECT K, S * 1 AS S, B + 0 AS B FROM Sizes"});
    const struct {
        const char* field;
        std::vector<std::string> categories;
    } cases[] = {
        {"S", {"1", "2.5", "3.5"}},
        {"B", {"1", "9007199254740992", "9007199254740993"}},
    };
    for (const auto& c : cases) {
        vtest::ScenarioSpec spec = vtest::ScenarioOn("N", "Chi-Square", "SizesView", "Out", "Detail");
        spec.fields = {{c.field, "C"}};
        spec.options = {{"ChiAll", false}, {"ChiDetail", true}};
        const auto detail = RunAndRead(spec, "Detail");
        ASSERT_EQ(detail.size(), c.categories.size()) << c.field;
        for (std::size_t i = 0; i < detail.size(); ++i) {
            EXPECT_EQ(detail[i][c.field].ToString(), c.categories[i]) << c.field << ", row " << i;
            EXPECT_EQ(detail[i].Num("Observed"), 2) << c.field << ", row " << i;
            EXPECT_EQ(detail[i].Num("Expected"), 2) << c.field << ", row " << i;
        }
    }
}

TEST_F(StoredValuesRunTest, GeneratedColumnsAnotherProgramDeclaredAreFieldsThatGroupAndCompareAndGiveNumbers) {
    // Another program's table with columns the file computes from others:
    // Total (A + B, VIRTUAL), Twice (A * 2, STORED) and Region (upper(R),
    // VIRTUAL). They were left out of the table's fields: the designer did
    // not list them and every run by them failed as "not a field of Gen".
    // a holds A 1, 3 and B 2, 4: Total 3, 7, Twice 2, 6; b holds A 5, 7 and
    // B 6, 8: Total 11, 15, Twice 10, 14.
    WriteTheirs({"CREATE TABLE Gen (K INTEGER PRIMARY KEY, R TEXT, A REAL, B REAL,"
                 " Total REAL GENERATED ALWAYS AS (A + B) VIRTUAL, Twice REAL AS (A * 2) STORED,"
                 " Region TEXT AS (upper(R)))",
                 "INSERT INTO Gen (K, R, A, B) VALUES (1, 'a', 1, 2), (2, 'a', 3, 4), (3, 'b', 5, 6), (4, 'b', 7, 8)"});
    db->TableDefs().Refresh();
    std::vector<std::string> names;
    for (int i = 0; i < db->TableDefs()("Gen")->Fields().Count(); ++i)
        names.push_back(db->TableDefs()("Gen")->Fields()(i)->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"K", "R", "A", "B", "Total", "Twice", "Region"}));
    ExpectLabelledRuns("Gen", {
        {{"P", "Describe", {{"R", "G"}, {"Total", "X"}}, {{"Sum", true}}},
         "R",
         {{"a", {{"Sum", 10}, {"Count", 2}}}, {"b", {{"Sum", 26}, {"Count", 2}}}},
         "a VIRTUAL column as X"},
        {{"P", "Describe", {{"R", "G"}, {"Twice", "X"}}, {{"Sum", true}}},
         "R",
         {{"a", {{"Sum", 8}, {"Count", 2}}}, {"b", {{"Sum", 24}, {"Count", 2}}}},
         "a STORED column as X"},
        {{"P", "Describe", {{"Region", "G"}, {"A", "X"}}, {{"Sum", true}}},
         "Region",
         {{"A", {{"Sum", 4}, {"Count", 2}}}, {"B", {{"Sum", 12}, {"Count", 2}}}},
         "a VIRTUAL text column as a group"},
        {{"P", "Crosstab", {{"Region", "G"}, {"K", "C"}, {"Twice", "X"}}, {{"XType", "S"}}},
         "Region",
         {{"A", {{"1", 2}, {"2", 6}, {"RowSummary", 8}}}},
         "a crosstab's row field and sums in SQL"},
        {{"G", "Two Sample t-Test", {{"Region", "C"}, {"Total", "X"}}, {}},
         "Region-1",
         {{"A", {{"Count-1", 2}, {"Count-2", 2}, {"Mean-1", 5}, {"Mean-2", 13}}}},
         "a compare field and a number"},
    });
}

TEST_F(StoredValuesRunTest, CodesInAStrictTablesAnyColumnGroupEveryAnalysisInsteadOfFailingAsNoNumber) {
    // "CREATE TABLE ... STRICT" allows a column of type ANY, which keeps what
    // was put in it, as a column of no type does. It was read as a number
    // field and every run grouped by its codes failed at the first text.
    // Codes 1 (X 2, 16), a (also A: X 1, 8) and b (X 4): numbers first, then
    // texts, letter case ignored. Numbers holds numbers only, some as texts:
    // 1 as 1, "1" and 1.0 (X 1, 8, 16), 2 as 2 and "02" (X 2, 4), one group each.
    WriteTheirs({"CREATE TABLE Coded (K INTEGER PRIMARY KEY, N ANY, X REAL) STRICT",
                 "INSERT INTO Coded VALUES (1, 'a', 1), (2, 1, 2), (3, 'b', 4), (4, 'A', 8), (5, 1, 16)",
                 "CREATE TABLE Numbers (K INTEGER PRIMARY KEY, N ANY, X REAL) STRICT",
                 "INSERT INTO Numbers VALUES (1, 1, 1), (2, 2, 2), (3, '02', 4), (4, '1', 8), (5, 1.0, 16)"});
    const struct {
        Analysis analysis;
        const char* table;
        const char* labelColumn; // null: not checked
        const char* onlyColumn;  // only the rows whose `onlyColumn` reads `onlyValue` (null: every row)
        const char* onlyValue;
        std::vector<std::pair<std::string, std::vector<cells::Cell>>> rows; // label and cells
        const char* why;
    } cases[] = {
        {{"P", "Describe", {{"N", "G"}, {"X", "X"}}, {{"Sum", true}}}, "Coded",
         "N", nullptr, nullptr,
         {{"1", {{"Sum", 18}, {"Count", 2}}}, {"a", {{"Sum", 9}, {"Count", 2}}}, {"b", {{"Sum", 4}, {"Count", 1}}}},
         "a group field"},
        {{"P", "Crosstab", {{"N", "G"}, {"K", "C"}, {"X", "X"}}, {{"XType", "S"}}}, "Coded",
         "N", "DataType", "Data: Sum",
         {{"1", {{"RowSummary", 18}}}, {"a", {{"RowSummary", 9}}}, {"b", {{"RowSummary", 4}}}},
         "a crosstab's row field"},
        {{"N", "Chi-Square", {{"N", "C"}}, {{"ChiAll", false}, {"ChiDetail", false}}, false}, "Coded",
         nullptr, nullptr, nullptr,
         // Expected 5/3 each: ((2 - 5/3)^2 * 2 + (1 - 5/3)^2) / (5/3) = 2/5.
         {{"", {{"Count", 5}, {"Groups", 3}, {"DF", 2}, {"Chi-Square", 0.4}}}},
         "a chi-square's categories"},
        {{"P", "Describe", {{"N", "G"}, {"X", "X"}}, {{"Sum", true}}}, "Numbers",
         "N", nullptr, nullptr,
         {{"1", {{"Sum", 25}, {"Count", 3}}}, {"2", {{"Sum", 6}, {"Count", 2}}}},
         "numbers and number texts: one group per number"},
    };
    for (const auto& c : cases) {
        const std::vector<OutRow> out = RunAndKeep(scenarioOf(c.analysis, c.table), c.why, c.onlyColumn, c.onlyValue);
        ASSERT_EQ(out.size(), c.rows.size()) << c.why;
        for (std::size_t r = 0; r < out.size(); ++r) {
            cells::ExpectCells(out[r], c.rows[r].second, c.why, cells::Match::Ulps);
            if (c.labelColumn) {
                EXPECT_TRUE(out[r][c.labelColumn].Equals(Variant(c.rows[r].first), true)) << c.why;
            }
        }
    }
}

TEST_F(StoredValuesRunTest, TextsInAColumnOfATypeNameThatNamesNoKindOfValueGroupInsteadOfFailingAsNoNumber) {
    // Other programs declare types this program has no word for: UUID,
    // JSON. SQLite keeps a text there as a text; the column was taken for a
    // number field, and a run grouped by its ids failed at the first one.
    // Such a column holding texts is a Text field; one holding only numbers
    // (Score) stays a number field.
    // u-1 holds X 1, 4 (Score 0.5, 2), u-2 X 2 (Score 1.5).
    WriteTheirs({"CREATE TABLE Ids (K INTEGER PRIMARY KEY, U UUID, J JSON, Score MEASURE, X REAL)",
                 "INSERT INTO Ids VALUES (1, 'u-1', '{\"a\": 1}', 0.5, 1), (2, 'u-2', '{\"a\": 2}', 1.5, 2),"
                 " (3, 'u-1', '{\"a\": 1}', 2, 4)"});
    ExpectLabelledRuns("Ids", {
        {{"P", "Describe", {{"U", "G"}, {"X", "X"}}, {{"Sum", true}}},
         "U",
         {{"u-1", {{"Sum", 5}, {"Count", 2}}}, {"u-2", {{"Sum", 2}, {"Count", 1}}}},
         "a UUID column as a group"},
        {{"P", "Describe", {{"J", "G"}, {"X", "X"}}, {{"Sum", true}}},
         "J",
         {{"{\"a\": 1}", {{"Sum", 5}, {"Count", 2}}}, {"{\"a\": 2}", {{"Sum", 2}, {"Count", 1}}}},
         "a JSON column as a group"},
        {{"P", "Describe", {{"U", "G"}, {"Score", "X"}}, {{"Sum", true}}},
         "U",
         {{"u-1", {{"Sum", 2.5}, {"Count", 2}}}, {"u-2", {{"Sum", 1.5}, {"Count", 1}}}},
         "a column of such a type holding numbers stays a number field"},
    }, true);
}
