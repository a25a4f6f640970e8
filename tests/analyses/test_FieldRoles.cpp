// The scenario's fields against its source, before any output table is
// written: a field the source lacks and a text field in a role that takes
// numbers are refused with the field and its role named; columns named
// after fields keep whole characters.
#include "AnalysisFixture.h"

#include <algorithm>
#include <map>

using namespace dao;
using namespace atest;

namespace {
class FieldRolesTest : public AnalysisTest {
protected:
    // The scenario on Data is refused with `message`, and writes no table `out`.
    void expectRefused(const char* type, const std::vector<vtest::ScenarioFieldRow>& fields, const std::string& out,
                       const std::string& message, const std::vector<std::pair<std::string, Variant>>& options = {}) {
        vtest::ScenarioSpec s = vtest::ScenarioOn("P", type, "Data", out);
        s.fields = fields;
        s.options = options;
        std::string err;
        EXPECT_FALSE(Run(Store(s), &err)) << type << ": " << message;
        EXPECT_EQ(err, message) << type;
        EXPECT_FALSE(TableExists(out)) << type << ": " << message;
    }
};
} // namespace

TEST_F(FieldRolesTest, AMissingFieldOrATextFieldInANumericRoleIsNamedBeforeWriting) {
    MakeTable("Data", {{"G", dbText, 4}, {"Name", dbText, 10}, {"X", dbDouble}, {"Y", dbDouble}, {"Wt", dbDouble}},
              {{"a", "n", 1.0, 2.0, 1.0}, {"a", "m", 2.0, 3.0, 1.0}});
    struct Case {
        const char* type;
        std::vector<vtest::ScenarioFieldRow> fields;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"Describe", {{"G", "G"}, {"Nope", "X"}}, "The X field Nope is not a field of Data."},
        {"Matrix", {{"Lost", "G"}, {"X", "X"}}, "The group field Lost is not a field of Data."},
        {"Describe", {{"Name", "X"}}, "The X field Name does not hold numbers and cannot be used in that role."},
        {"Frequency", {{"X", "X"}, {"Name", "W"}}, "The weight field Name does not hold numbers and cannot be used in that role."},
        {"Compare", {{"X", "X"}, {"Name", "Y"}}, "The Y field Name does not hold numbers and cannot be used in that role."},
        {"Compare", {{"X", "X"}, {"Y", "Y"}, {"Gone", "W"}}, "The weight field Gone is not a field of Data."},
        {"Percentiles", {{"Name", "X"}}, "The X field Name does not hold numbers and cannot be used in that role."},
    };
    int k = 0;
    for (const auto& c : cases) expectRefused(c.type, c.fields, "Out" + std::to_string(++k), c.message);
    // A text group field is fine.
    vtest::ScenarioSpec ok = vtest::ScenarioOn("P", "Describe", "Data", "Fine");
    ok.fields = {{"Name", "G"}, {"X", "X"}};
    EXPECT_EQ(RunAndRead(ok).size(), 2u);
}

TEST_F(FieldRolesTest, AGroupFieldNamedLikeAColumnOfTheAnalysisIsRefused) {
    MakeTable("Data", {{"Count", dbText, 4}, {"Count_of_Y", dbText, 4}, {"X", dbDouble}, {"Y", dbDouble}},
              {{"a", "b", 1.0, 2.0}, {"a", "b", 2.0, 3.0}});
    struct Case {
        const char* type;
        std::vector<vtest::ScenarioFieldRow> fields;
        const char* column;
    };
    const Case cases[] = {
        {"Frequency", {{"Count", "G"}, {"X", "X"}}, "Count"},                     // a fixed column
        {"Compare", {{"Count_of_Y", "G"}, {"X", "X"}, {"Y", "Y"}}, "Count_of_Y"}, // the count column of Y
    };
    int k = 0;
    for (const auto& c : cases)
        expectRefused(c.type, c.fields, "Out" + std::to_string(++k),
                      std::string("The output table cannot hold two columns named \"") + c.column +
                          "\": rename the source field or choose other options.",
                      {{"FreqGroupRadio", "Specified"}, {"FreqInit", 0.0}, {"FreqWidth", 1.0}});
}

TEST_F(FieldRolesTest, ColumnsNamedAfterANonAsciiFieldKeepWholeCharactersInsteadOfBeingCutInsideOne) {
    // Names of 60, 40 and 64 characters, each character after the first
    // taking two bytes: a cut at a byte count ends inside a character (a
    // name other programs cannot read) or short of the name.
    auto times = [](const std::string& s, int n) {
        std::string r;
        for (int i = 0; i < n; ++i) r += s;
        return r;
    };
    const std::string X = "x" + times("é", 59), Y = "y" + times("ü", 39), C = "c" + times("ö", 63);
    MakeTable("Data", {{C, dbText, 4}, {X, dbDouble}, {Y, dbDouble}},
              {{"a", 1.0, 2.0}, {"a", 2.0, 1.0}, {"a", 4.0, 5.0}, {"b", 3.0, 3.0}, {"b", 5.0, 7.0}, {"b", 6.0, 4.0}});
    struct Case {
        const char* group;
        const char* type;
        std::vector<vtest::ScenarioFieldRow> fields;
        std::vector<std::pair<std::string, Variant>> options;
        bool second; // the columns are in the second output table
        std::vector<std::string> columns;
    };
    const std::vector<Case> cases = {
        {"P", "Matrix", {{X, "X"}, {Y, "X"}}, {{"MCor", true}}, false, {X, Y}}, // whole names of 60 and 40
        {"P", "Compare", {{X, "X"}, {Y, "Y"}}, {{"CountXY", true}}, false, {"Count_of_" + Y}}, // 9 + 40
        {"N", "Paired Fields", {{X, "X"}, {Y, "Y"}}, {{"NPPair_Sign", true}}, false, {"Count_of_" + Y}},
        {"P", "Regression", {{X, "X"}, {Y, "Y"}}, {{"RegressType", "S"}}, false, {"Count_of_" + Y}},
        {"P", "Regression", {{X, "X"}, {Y, "Y"}}, {{"RegressType", "S"}}, true, {"Y:" + Y}}, // 2 + 40
        // "Coef_of_X1: " is 12 characters: 52 of X's 60 remain.
        {"P", "Regression", {{X, "X"}, {Y, "Y"}}, {{"RegressType", "M"}}, false, {"Coef_of_X1: x" + times("é", 51)}},
        {"P", "Regression", {{X, "X"}, {Y, "Y"}}, {{"RegressType", "M"}}, true, {"X1:" + X}}, // 3 + 60
        // The pair columns take the first 62 of C's 64 characters.
        {"G", "Two Sample t-Test", {{C, "C"}, {X, "X"}}, {}, false, {"c" + times("ö", 61) + "-1", "c" + times("ö", 61) + "-2"}},
        {"N", "2 Sample", {{C, "C"}, {X, "X"}}, {{"NPTwoType", "Mann"}}, false, {"c" + times("ö", 61) + "-1", "c" + times("ö", 61) + "-2"}},
    };
    int k = 0;
    for (const auto& c : cases) {
        const std::string out = "Out" + std::to_string(++k);
        vtest::ScenarioSpec s = vtest::ScenarioOn(c.group, c.type, "Data", out, out + "r");
        s.fields = c.fields;
        s.options = c.options;
        std::string err;
        ASSERT_TRUE(Run(Store(s), &err)) << c.type << ": " << err;
        const std::vector<std::string> names = ColumnNames(c.second ? out + "r" : out);
        for (const std::string& column : c.columns)
            EXPECT_NE(std::find(names.begin(), names.end(), column), names.end()) << c.type << ": no column " << column;
    }
}

TEST_F(FieldRolesTest, ACompareFieldOnAScenarioOfAnotherTypeNeitherShiftsNorReplacesItsXFields) {
    // A compare field left on a type that takes none (another program's
    // rows, or a type changed) comes before the X fields in the field list:
    // "DataField" and the matrix's columns took the names one place early,
    // and the sign test read the compare field's values in place of the
    // first X field's (and the first X field's in place of the second's).
    // By hand: the means of A (1, 2, 6) and B (3, 5, 4) are 3 and 4; K
    // (-10, -20, -30) is never read.
    MakeTable("Data", {{"K", dbDouble}, {"A", dbDouble}, {"B", dbDouble}, {"Y", dbDouble}},
              {{-10.0, 1.0, 3.0, 2.0}, {-20.0, 2.0, 5.0, 7.0}, {-30.0, 6.0, 4.0, 1.0}});
    struct Case {
        const char* group;
        const char* type;
        std::vector<std::pair<std::string, Variant>> options;
        bool second;       // the rows that name the fields are in the second output table
        bool withY;        // a Y field after the X fields
        const char* mean;  // a column holding each field's mean, or none
        std::vector<std::string> columns = {}; // the output table's columns, when checked
    };
    const std::vector<Case> cases = {
        {"P", "Describe", {{"Mean", true}}, false, false, "Mean"},
        {"P", "Compare", {{"MeanXY", true}}, false, true, "MeanX"},
        {"P", "Matrix", {{"MCnt", true}}, false, false, nullptr, {"DataField", "CalcType", "A", "B"}},
        {"P", "Frequency", {{"InterV", std::int16_t(2)}, {"FreqGroupRadio", "Specified"}, {"FreqInit", 0.0}, {"FreqWidth", 5.0}},
         false, false, nullptr},
        {"P", "Percentiles", {{"PercentileRadio", "Quartiles"}}, false, false, nullptr},
        {"N", "Sign Test", {{"SignMean", true}}, false, false, "TestValue"},
        {"N", "Paired Fields", {{"NPPair_Sign", true}}, false, true, nullptr},
        {"N", "N Fields", {{"NPFriedmanDetail", true}}, true, false, nullptr},
    };
    const std::map<std::string, double> means = {{"A", 3.0}, {"B", 4.0}};
    int k = 0;
    for (const auto& c : cases) {
        const std::string out = "Out" + std::to_string(++k);
        vtest::ScenarioSpec s = vtest::ScenarioOn(c.group, c.type, "Data", out, out + "d");
        s.fields = {{"K", "C"}, {"A", "X"}, {"B", "X"}};
        if (c.withY) s.fields.push_back({"Y", "Y"});
        s.options = c.options;
        const auto rows = RunAndRead(s, c.second ? out + "d" : out);
        ASSERT_FALSE(rows.empty()) << c.type;
        // Each field's rows together, A's before B's.
        std::vector<std::string> named;
        for (const auto& r : rows) {
            const std::string field = r["DataField"].ToString();
            if (named.empty() || named.back() != field) named.push_back(field);
            if (c.mean && means.count(field)) {
                EXPECT_EQ(r.Num(c.mean), means.at(field)) << c.type << " " << field;
            }
        }
        EXPECT_EQ(named, (std::vector<std::string>{"A", "B"})) << c.type;
        if (!c.columns.empty()) {
            EXPECT_EQ(ColumnNames(out), c.columns) << c.type;
        }
    }
}
