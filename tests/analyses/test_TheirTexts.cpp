// Runs over texts another program wrote into a SQLite file: texts longer
// than their column declares, letter case, blanks, odd bytes. Each analysis
// must write every group and compare value as it is stored, with the
// statistics of the records that hold it.
#include "AnalysisFixture.h"
#include "OutputCells.h"
#include "support/OtherProgram.h"

#include <string>
#include <vector>

using namespace dao;
using namespace atest;
using vtest::Stored;

namespace {

class TheirTextsTest : public AnalysisTest {
protected:
    // Runs `spec` and finds, in the output table `table`, the row whose
    // `label` column holds exactly `value`; checks its cells.
    void ExpectRowOf(const vtest::ScenarioSpec& spec, const std::string& table, const std::string& label,
                     const std::string& value, const std::vector<cells::Cell>& expected, const std::string& why) {
        std::string err;
        ASSERT_TRUE(Run(Store(spec), &err)) << why << ": " << err;
        const auto rows = ReadTable(table);
        const OutRow* found = nullptr;
        for (const auto& r : rows)
            if (!r[label].IsNull() && r[label].ToString() == value) {
                found = &r;
                break;
            }
        ASSERT_NE(found, nullptr) << why << ": no row of " << table << " with " << label << " = " << value;
        cells::ExpectCells(*found, expected, why, cells::Match::Ulps);
    }
};

std::string repeated(const std::string& piece, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) s += piece;
    return s;
}

// An analysis of table T into Out (and Out2), and where its row of the long
// text stands: the output table, its label column and the row's cells.
struct LongTextRun {
    const char* group;
    const char* type;
    std::vector<vtest::ScenarioFieldRow> fields;
    std::vector<std::pair<std::string, Variant>> options;
    const char* table;
    const char* label;
    std::vector<cells::Cell> cells;
};

// T: G and C of the declared type, K 'p'/'q', X numbers and Y = X:
//   G    C    K  X
//   L    L    p  1
//   L    ab   q  3
//   ab   L    p  4
//   ab   ab   q  8
// so the records of G = L hold X 1 and 3 (mean 2), those of C = L hold X 1
// and 4 (mean 2.5, ranks 1 and 3 of 1 3 4 8).
const std::vector<LongTextRun>& longTextRuns() {
    static const std::vector<LongTextRun> runs = {
        {"P", "Describe", {{"G", "G"}, {"X", "X"}}, {{"Mean", true}}, "Out", "G", {{"Count", 2}, {"Mean", 2}}},
        {"P", "Percentiles", {{"G", "G"}, {"X", "X"}}, {{"PercentileRadio", "Median"}}, "Out", "G",
         {{"Percentile", 0}, {"Value", 1}}},
        {"P", "Frequency", {{"G", "G"}, {"X", "X"}},
         {{"InterV", std::int16_t(2)}, {"FreqGroupRadio", "Specified"}, {"FreqInit", 0.0}, {"FreqWidth", 2.0}},
         "Out", "G", {{"Interval", 1}, {"Count", 0}}},
        {"P", "Compare", {{"G", "G"}, {"X", "X"}, {"Y", "Y"}}, {}, "Out", "G", {{"Count=Y", 2}}},
        {"P", "Crosstab", {{"G", "G"}, {"K", "C"}, {"X", "X"}}, {{"XType", "S"}}, "Out", "G", {{"p", 1}, {"q", 3}}},
        {"G", "Two Sample t-Test", {{"C", "C"}, {"X", "X"}}, {}, "Out2", "C", {{"Count", 2}, {"Mean", 2.5}}},
        {"G", "ANOVA", {{"C", "C"}, {"X", "X"}}, {}, "Out2", "C", {{"Count", 2}, {"Mean", 2.5}}},
        {"G", "Two way ANOVA", {{"G", "C"}, {"C", "C"}, {"X", "X"}}, {}, "Out2", "Compare_Value",
         {{"Count", 2}, {"Mean", 2}}},
        {"N", "Chi-Square", {{"C", "C"}}, {{"ChiAll", true}, {"ChiDetail", true}}, "Out2", "C", {{"Observed", 2}}},
        {"N", "2 Sample", {{"C", "C"}, {"X", "X"}}, {{"NPTwoType", "Mann"}}, "Out", "C-2",
         {{"Cases-1", 2}, {"Cases-2", 2}}},
        {"N", "2 Sample", {{"C", "C"}, {"X", "X"}}, {{"NPTwoType", "Wald"}}, "Out", "C-2",
         {{"Cases-1", 2}, {"Cases-2", 2}}},
        {"N", "N Sample", {{"C", "C"}, {"X", "X"}}, {}, "Out2", "C", {{"Count", 2}, {"SumRanks", 4}}},
    };
    return runs;
}

TEST_F(TheirTextsTest, TextLongerThanItsColumnDeclaresIsWrittenWhole) {
    struct Case {
        const char* declared;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"TEXT", repeated("Longer than a text field ", 12)}, // 300 characters
        {"VARCHAR(3)", "Straße"},
        {"VARCHAR(5)", repeated("Éé", 10)},
        {"NVARCHAR(5)", "ÉÉÉÉÉ"}, // five characters of two bytes each: it fits
    };
    for (const auto& c : cases) {
        {
            vtest::OtherProgram other(tmp.file("data.db"));
            other.Exec("DROP TABLE IF EXISTS T");
            other.Exec(std::string("CREATE TABLE T (G ") + c.declared + ", C " + c.declared + ", K TEXT, X DOUBLE, Y DOUBLE)");
            other.Exec("INSERT INTO T VALUES (?1, ?1, 'p', 1, 1)", Stored::Text(c.text));
            other.Exec("INSERT INTO T VALUES (?1, 'ab', 'q', 3, 3)", Stored::Text(c.text));
            other.Exec("INSERT INTO T VALUES ('ab', ?1, 'p', 4, 4)", Stored::Text(c.text));
            other.Exec("INSERT INTO T VALUES ('ab', 'ab', 'q', 8, 8)");
        }
        for (const auto& r : longTextRuns()) {
            auto spec = vtest::ScenarioOn(r.group, r.type, "T", "Out", "Out2");
            spec.fields = r.fields;
            spec.options = r.options;
            ExpectRowOf(spec, r.table, r.label, c.text, r.cells, std::string(r.type) + " on " + c.declared);
        }
    }
}

} // namespace

namespace {

// Another program may store a text column's values as bytes (a blob), as a
// program that binds byte strings does; the field reads them as the texts
// they spell, and groups them as texts, letter case aside.
TEST_F(TheirTextsTest, BytesStoredInATextColumnAreGroupedAsTheTextsTheySpell) {
    struct Case {
        std::vector<Stored> g; // G of records 1..4, X = 1, 2, 4, 8
        const char* why;
    };
    const std::vector<Case> cases = {
        {{Stored::Blob("a"), Stored::Blob("A"), Stored::Blob("b"), Stored::Blob("a")}, "all bytes"},
        {{Stored::Text("a"), Stored::Blob("A"), Stored::Text("b"), Stored::Blob("a")}, "texts and bytes"},
        {{Stored::Blob("a"), Stored::Text("A"), Stored::Blob("b"), Stored::Text("a")}, "bytes and texts"},
    };
    const double xs[] = {1, 2, 4, 8};
    for (const auto& c : cases) {
        {
            vtest::OtherProgram other(tmp.file("data.db"));
            other.Exec("DROP TABLE IF EXISTS T");
            other.Exec("CREATE TABLE T (G TEXT, X DOUBLE)");
            for (int i = 0; i < 4; ++i)
                other.Exec("INSERT INTO T VALUES (?1, " + std::to_string(xs[i]) + ")", c.g[static_cast<std::size_t>(i)]);
        }
        // Groups "a" (records 1, 2, 4: X 1, 2, 8) and "b" (record 3: X 4).
        auto describe = vtest::ScenarioOn("P", "Describe", "T", "Out");
        describe.fields = {{"G", "G"}, {"X", "X"}};
        describe.options = {{"Sum", true}};
        std::string err;
        ASSERT_TRUE(Run(Store(describe), &err)) << c.why << ": " << err;
        auto rows = ReadTable("Out");
        ASSERT_EQ(rows.size(), 2u) << c.why;
        EXPECT_TRUE(NamesEqual(rows[0]["G"].ToString(), "a")) << c.why;
        cells::ExpectCells(rows[0], {{"Count", 3}, {"Sum", 1 + 2 + 8}}, std::string("Describe, ") + c.why);
        EXPECT_EQ(rows[1]["G"].ToString(), "b") << c.why;
        cells::ExpectCells(rows[1], {{"Count", 1}, {"Sum", 4}}, std::string("Describe, ") + c.why);

        // Two categories, observed 3 and 1 of 4: expected 2 each, chi-square
        // (3 - 2)^2 / 2 + (1 - 2)^2 / 2 = 1 on 1 degree of freedom.
        auto chi = vtest::ScenarioOn("N", "Chi-Square", "T", "Out", "Out2");
        chi.fields = {{"G", "C"}};
        chi.options = {{"ChiAll", true}, {"ChiDetail", true}};
        ASSERT_TRUE(Run(Store(chi), &err)) << c.why << ": " << err;
        rows = ReadTable("Out");
        ASSERT_EQ(rows.size(), 1u) << c.why;
        cells::ExpectCells(rows[0], {{"Groups", 2}, {"DF", 1}, {"Count", 4}, {"Expected", 2}, {"Chi-Square", 1}},
                           std::string("Chi-Square, ") + c.why);
        rows = ReadTable("Out2");
        ASSERT_EQ(rows.size(), 2u) << c.why;
        cells::ExpectCells(rows[0], {{"Observed", 3}}, std::string("Chi-Square detail, ") + c.why);
        cells::ExpectCells(rows[1], {{"Observed", 1}}, std::string("Chi-Square detail, ") + c.why);

        // G as the compare field of two samples: "a" holds X 1, 2, 8, "b" X 4.
        auto two = vtest::ScenarioOn("N", "2 Sample", "T", "Out");
        two.fields = {{"G", "C"}, {"X", "X"}};
        two.options = {{"NPTwoType", "Mann"}};
        ASSERT_TRUE(Run(Store(two), &err)) << c.why << ": " << err;
        rows = ReadTable("Out");
        ASSERT_EQ(rows.size(), 1u) << c.why;
        cells::ExpectCells(rows[0], {{"Cases-1", 3}, {"Cases-2", 1}}, std::string("2 Sample, ") + c.why);
    }
}

} // namespace

namespace {

// How many rows of `table` hold exactly the bytes `bytes` in `column`, as
// the file holds them (read with the other program's own connection, so the
// count does not depend on how this system reads texts).
long rowsHoldingBytes(vtest::OtherProgram& other, const std::string& table, const std::string& column,
                      const std::string& bytes) {
    std::string hex;
    const char* digits = "0123456789ABCDEF";
    for (unsigned char b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return std::stol(other.Text("SELECT count(*) FROM \"" + table + "\" WHERE CAST(\"" + column +
                                "\" AS BLOB) = X'" + hex + "'"));
}

// A legacy program writes Latin-1 bytes into a TEXT column: "\xC9t\xE9" is
// "Été" to it. The run groups such a text with the same word stored as
// UTF-8, so the group must be written as that one word, whichever of its
// records comes first, never as bytes that are not UTF-8.
TEST_F(TheirTextsTest, Latin1TextIsWrittenAsTheWordItGroupsWith) {
    const std::string latin1 = "\xC9t\xE9";
    const std::string utf8 = "\xC3\x89t\xC3\xA9"; // "Été"
    struct Case {
        std::string first, second; // the word in records 1 and 2 (G) and 1 and 3 (C)
        const char* why;
    };
    const std::vector<Case> cases = {
        {latin1, utf8, "Latin-1 first"},
        {utf8, latin1, "UTF-8 first"},
        {latin1, latin1, "Latin-1 only"},
    };
    for (const auto& c : cases) {
        {
            vtest::OtherProgram other(tmp.file("data.db"));
            other.Exec("DROP TABLE IF EXISTS T");
            other.Exec("CREATE TABLE T (G TEXT, C TEXT, K TEXT, X DOUBLE, Y DOUBLE)");
            other.Exec("INSERT INTO T VALUES (?1, ?1, 'p', 1, 1)", Stored::Text(c.first));
            other.Exec("INSERT INTO T VALUES (?1, 'ab', 'q', 3, 3)", Stored::Text(c.second));
            other.Exec("INSERT INTO T VALUES ('ab', ?1, 'p', 4, 4)", Stored::Text(c.second));
            other.Exec("INSERT INTO T VALUES ('ab', 'ab', 'q', 8, 8)");
        }
        for (const auto& r : longTextRuns()) {
            const std::string why = std::string(r.type) + ", " + c.why;
            auto spec = vtest::ScenarioOn(r.group, r.type, "T", "Out", "Out2");
            spec.fields = r.fields;
            spec.options = r.options;
            ExpectRowOf(spec, r.table, r.label, utf8, r.cells, why);
            vtest::OtherProgram other(tmp.file("data.db"));
            EXPECT_GE(rowsHoldingBytes(other, r.table, r.label, utf8), 1) << why;
            EXPECT_EQ(rowsHoldingBytes(other, r.table, r.label, latin1), 0) << why;
        }
    }
}

} // namespace

namespace {

// Crosstab makes a column of each column value: "\xE9t\xE9" written by a
// legacy program and "été" in UTF-8 are one value to the run, so one column
// named "été" as UTF-8, holding the sum of both records.
TEST_F(TheirTextsTest, Latin1CrosstabValueNamesTheColumnOfItsWord) {
    const std::string latin1 = "\xE9t\xE9";
    const std::string utf8 = "\xC3\xA9t\xC3\xA9"; // "été"
    const std::vector<std::vector<std::string>> orders = {{latin1, utf8}, {utf8, latin1}, {latin1, latin1}};
    for (const auto& order : orders) {
        {
            vtest::OtherProgram other(tmp.file("data.db"));
            other.Exec("DROP TABLE IF EXISTS T");
            other.Exec("CREATE TABLE T (G TEXT, K TEXT, X DOUBLE)");
            other.Exec("INSERT INTO T VALUES ('a', ?1, 1)", Stored::Text(order[0]));
            other.Exec("INSERT INTO T VALUES ('a', ?1, 2)", Stored::Text(order[1]));
            other.Exec("INSERT INTO T VALUES ('a', 'b', 4)");
        }
        auto spec = vtest::ScenarioOn("P", "Crosstab", "T", "Out");
        spec.fields = {{"G", "G"}, {"K", "C"}, {"X", "X"}};
        spec.options = {{"XType", "S"}};
        const std::string why = order[0] == order[1] ? "Latin-1 only" : order[0] == latin1 ? "Latin-1 first" : "UTF-8 first";
        std::string err;
        ASSERT_TRUE(Run(Store(spec), &err)) << why << ": " << err;
        vtest::OtherProgram other(tmp.file("data.db"));
        // The column names as the file holds them, the word's and the other's.
        EXPECT_EQ(other.Text("SELECT count(*) FROM pragma_table_info('Out') WHERE CAST(name AS BLOB) = X'C3A974C3A9'"), "1")
            << why;
        EXPECT_EQ(other.Text("SELECT count(*) FROM pragma_table_info('Out') WHERE CAST(name AS BLOB) = X'E974E9'"), "0")
            << why;
        EXPECT_EQ(other.Text("SELECT count(*) FROM pragma_table_info('Out') WHERE name = 'b'"), "1") << why;
        // Its row of G = a: 1 + 2 under "été", 4 under "b".
        EXPECT_EQ(other.Text("SELECT \"" + utf8 + "\" FROM Out WHERE G = 'a' AND DataType LIKE 'Data%'"), "3.0") << why;
        EXPECT_EQ(other.Text("SELECT b FROM Out WHERE G = 'a' AND DataType LIKE 'Data%'"), "4.0") << why;
    }
}

} // namespace

namespace {

// A legacy program names its table "Donn\xE9es" and its fields "Cat\xE9gorie"
// and "Pr\xEEt" in Latin-1 bytes. The designer shows such names as the words
// they spell ("Données"), and a scenario names them so; a client program may
// also store the bytes as the file holds them. Either way the run reads
// that table and those fields.
TEST_F(TheirTextsTest, Latin1NamedTableAndFieldsAreFoundByTheWordsTheySpell) {
    vtest::WriteLatin1Table(tmp.file("data.db"), "\"Cat\xE9gorie\" TEXT, \"Pr\xEEt\" DOUBLE", "('a', 1), ('a', 2), ('b', 4)");
    struct Case {
        std::string table, group, x;
        const char* why;
    };
    const std::vector<Case> cases = {
        {"Donn\xC3\xA9" "es", "Cat\xC3\xA9gorie", "Pr\xC3\xAEt", "named by their words"},
        {"DONN\xC3\xA9" "ES", "cat\xC3\xA9gorie", "pr\xC3\xAEt", "their words in other letter case"},
        {"Donn\xE9" "es", "Cat\xE9gorie", "Pr\xEEt", "named by the bytes stored"},
    };
    for (const auto& c : cases) {
        auto spec = vtest::ScenarioOn("P", "Describe", c.table, "Out");
        spec.fields = {{c.group, "G"}, {c.x, "X"}};
        spec.options = {{"Sum", true}};
        std::string err;
        ASSERT_TRUE(Run(Store(spec), &err)) << c.why << ": " << err;
        // Groups a (1 + 2) and b (4), the sums of the records read.
        vtest::OtherProgram other(tmp.file("data.db"));
        EXPECT_EQ(other.Text("SELECT group_concat(Count || ':' || Sum, ' ') FROM (SELECT * FROM Out ORDER BY Sum)"),
                  "2.0:3.0 1.0:4.0")
            << c.why;
    }
}

} // namespace

namespace {

// Output columns that name a field by a value ("DataField", "Compare_Field")
// write a field a legacy program named in Latin-1 bytes ("Pr\xEEt") as the
// word it spells, as UTF-8, never as bytes that are not UTF-8.
TEST_F(TheirTextsTest, Latin1FieldNameIsWrittenAsItsWordWhereAColumnNamesTheField) {
    {
        vtest::OtherProgram other(tmp.file("data.db"));
        other.Exec("CREATE TABLE T (\"Cat\xE9gorie\" TEXT, \"R\xE9gion\" TEXT, \"Pr\xEEt\" DOUBLE)");
        other.Exec("INSERT INTO T VALUES ('a', 'n', 1), ('a', 's', 2), ('b', 'n', 4), ('b', 's', 8)");
    }
    const std::string category = "Cat\xC3\xA9gorie", region = "R\xC3\xA9gion", loan = "Pr\xC3\xAEt";
    struct Case {
        const char* group;
        const char* type;
        std::vector<vtest::ScenarioFieldRow> fields;
        std::vector<std::pair<std::string, Variant>> options;
        const char* table;
        const char* column;
        std::vector<std::string> words; // the fields it names, each in as many rows
    };
    const std::vector<Case> cases = {
        {"P", "Describe", {{category, "G"}, {loan, "X"}}, {{"Mean", true}}, "Out", "DataField", {loan}},
        {"G", "Two way ANOVA", {{category, "C"}, {region, "C"}, {loan, "X"}}, {}, "Out2", "Compare_Field",
         {category, region}},
        {"N", "Chi-Square", {{category, "C"}, {region, "C"}}, {{"ChiAll", true}, {"ChiDetail", true}}, "Out2",
         "Compare_Field", {category, region}},
    };
    for (const auto& c : cases) {
        auto spec = vtest::ScenarioOn(c.group, c.type, "T", "Out", "Out2");
        spec.fields = c.fields;
        spec.options = c.options;
        std::string err;
        ASSERT_TRUE(Run(Store(spec), &err)) << c.type << ": " << err;
        vtest::OtherProgram other(tmp.file("data.db"));
        ASSERT_EQ(other.Text(std::string("SELECT count(*) FROM pragma_table_info('") + c.table + "') WHERE name = '" +
                             c.column + "'"),
                  "1")
            << c.type;
        const long rows = std::stol(other.Text(std::string("SELECT count(*) FROM ") + c.table));
        long named = 0;
        for (const auto& word : c.words) {
            const long n = rowsHoldingBytes(other, c.table, c.column, word);
            EXPECT_GE(n, 1) << c.type << ", " << word;
            named += n;
        }
        EXPECT_EQ(named, rows) << c.type;
    }
}

} // namespace

namespace {

// An output table named by the word ("Données") a legacy program's Latin-1
// table name ("Donn\xE9es") spells is the table the analysis reads: made
// beside it, it would be what the scenario's input names from then on, and
// the next run would read the last run's output. It is refused as the input
// itself is.
TEST_F(TheirTextsTest, Latin1NamedInputIsRefusedAsOutputByTheWordItSpells) {
    vtest::WriteLatin1Table(tmp.file("data.db"), "G TEXT, X DOUBLE", "('a', 1), ('a', 2), ('b', 4)");
    for (const std::string output : {"Donn\xC3\xA9" "es", "DONN\xC3\xA9" "ES", "Donn\xE9" "es"}) {
        auto spec = vtest::ScenarioOn("P", "Describe", "Donn\xC3\xA9" "es", output);
        spec.fields = {{"G", "G"}, {"X", "X"}};
        std::string err;
        EXPECT_FALSE(Run(Store(spec), &err)) << output;
        EXPECT_NE(err.find("is the table the analysis reads"), std::string::npos) << output << ": " << err;
        vtest::OtherProgram other(tmp.file("data.db"));
        EXPECT_EQ(other.Text("SELECT group_concat(hex(name)) FROM sqlite_master WHERE type = 'table' AND name LIKE 'donn%'"),
                  "446F6E6EE96573")
            << output;
        EXPECT_EQ(other.Text("SELECT count(*) FROM \"Donn\xE9" "es\""), "3") << output;
    }
}

} // namespace

namespace {

// A run's message names a field and a table a legacy program named in
// Latin-1 bytes by the words they spell, as valid UTF-8.
TEST_F(TheirTextsTest, Latin1NamesAreToldByTheirWordsInARunsMessage) {
    vtest::WriteLatin1Table(tmp.file("data.db"), "G TEXT, K TEXT, \"Pr\xEEt\" DOUBLE", "('a', 'p', 1), ('a', 'q', 2), ('b', 'p', 'abc')");
    const std::string table = "Donn\xC3\xA9" "es", loan = "Pr\xC3\xAEt";
    const struct {
        const char* type;
        std::vector<vtest::ScenarioFieldRow> fields;
        std::string told;
    } cases[] = {
        {"Describe", {{"G", "G"}, {loan, "X"}},
         "Type mismatch: the value 'abc' in field " + loan + " (record 3 in the order the analysis reads the data) is not a number."},
        {"Crosstab", {{"G", "G"}, {"K", "C"}, {loan, "X"}},
         "Type mismatch: the value 'abc' in field " + loan + " (record 3 of " + table + ") is not a number."},
    };
    for (const auto& c : cases) {
        auto spec = vtest::ScenarioOn("P", c.type, table, "Out");
        spec.fields = c.fields;
        if (std::string(c.type) == "Crosstab") spec.options = {{"XType", "S"}};
        std::string err;
        EXPECT_FALSE(Run(Store(spec), &err)) << c.type;
        EXPECT_NE(err.find(c.told), std::string::npos) << c.type << ": " << err;
    }
}

} // namespace
