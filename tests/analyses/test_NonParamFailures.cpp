// Every non-parametric analysis fails its run with a message when an
// unexpected error stops it (here a data value that is no number), instead
// of reporting success over half-written tables.
#include "AnalysisFixture.h"

using namespace dao;
using namespace atest;

namespace {

class NonParamFailureTest : public AnalysisTest {};

} // namespace

TEST_F(NonParamFailureTest, UnexpectedErrorFailsTheRun) {
    MakeTable("Data", {{"S", dbText, 5}, {"A", dbText, 10}, {"B", dbText, 10}},
              {{"a", "1", "2"}, {"b", "abc", "3"}, {"a", "2", "1"}, {"b", "3", "4"}});
    const struct {
        const char* type;
        std::vector<vtest::ScenarioFieldRow> fields;
        std::vector<std::pair<std::string, Variant>> options;
    } cases[] = {
        {"2 Sample", {{"S", "C"}, {"A", "X"}}, {{"NPTwoType", "Wald"}}},
        {"2 Sample", {{"S", "C"}, {"A", "X"}}, {{"NPTwoType", "Mann"}}},
        {"N Sample", {{"S", "C"}, {"A", "X"}}, {}},
        {"Sign Test", {{"A", "X"}}, {{"SignMean", true}}},
        {"K-S Fit", {{"A", "X"}}, {{"FitUniform", true}}},
        {"Paired Fields", {{"A", "X"}, {"B", "Y"}}, {}},
        {"N Fields", {{"A", "X"}, {"B", "X"}}, {}},
    };
    for (const auto& c : cases) {
        vtest::ScenarioSpec s;
        s.analysisType = "N";
        s.subType = c.type;
        s.inputTable = "Data";
        s.outputTable1 = "Out";
        s.fields = c.fields;
        s.options = c.options;
        std::string err;
        EXPECT_FALSE(Run(Store(s), &err)) << c.type;
        EXPECT_FALSE(err.empty()) << c.type;
    }
}
