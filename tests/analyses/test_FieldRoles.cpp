// The scenario's fields against its source, before any output table is
// written: a field the source lacks and a text field in a role that takes
// numbers are refused with the field and its role named.
#include "AnalysisFixture.h"

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
