// Every non-parametric analysis fails its run with a message when an
// unexpected error stops it (here a data value that is no number), instead
// of reporting success over half-written tables.
#include "AnalysisFixture.h"

#include <cstdlib>
#include <filesystem>

using namespace dao;
using namespace atest;

namespace {

class NonParamFailureTest : public AnalysisTest {};

// A non-parametric analysis of Data into Out.
struct Case {
    const char* type;
    std::vector<vtest::ScenarioFieldRow> fields;
    std::vector<std::pair<std::string, Variant>> options;

    vtest::ScenarioSpec Spec() const {
        vtest::ScenarioSpec s = vtest::ScenarioOn("N", type, "Data", "Out");
        s.fields = fields;
        s.options = options;
        return s;
    }
};

} // namespace

TEST_F(NonParamFailureTest, UnexpectedErrorFailsTheRun) {
    MakeTable("Data", {{"S", dbText, 5}, {"A", dbText, 10}, {"B", dbText, 10}},
              {{"a", "1", "2"}, {"b", "abc", "3"}, {"a", "2", "1"}, {"b", "3", "4"}});
    const Case cases[] = {
        {"2 Sample", {{"S", "C"}, {"A", "X"}}, {{"NPTwoType", "Wald"}}},
        {"2 Sample", {{"S", "C"}, {"A", "X"}}, {{"NPTwoType", "Mann"}}},
        {"N Sample", {{"S", "C"}, {"A", "X"}}, {}},
        {"Sign Test", {{"A", "X"}}, {{"SignMean", true}}},
        {"K-S Fit", {{"A", "X"}}, {{"FitUniform", true}}},
        {"Paired Fields", {{"A", "X"}, {"B", "Y"}}, {}},
        {"N Fields", {{"A", "X"}, {"B", "X"}}, {}},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_FALSE(Run(Store(c.Spec()), &err)) << c.type;
        EXPECT_FALSE(err.empty()) << c.type;
    }
}

TEST_F(NonParamFailureTest, TempPathWithQuoteIsNotSplicedIntoSql) {
    // The work database lives in a folder whose name holds a quote: the staged
    // values are read through that database, never by naming its file in SQL.
    const std::filesystem::path folder = tmp.path() / "it's here";
    std::filesystem::create_directories(folder);
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    ::setenv("TMPDIR", folder.c_str(), 1);
    MakeTable("Data", {{"S", dbText, 5}, {"A"}, {"B"}}, {{"a", 1.0, 2.0}, {"b", 3.0, 1.0}, {"a", 2.0, 2.5}, {"b", 4.0, 5.0}});
    const Case cases[] = {
        {"2 Sample", {{"S", "C"}, {"A", "X"}}, {{"NPTwoType", "Mann"}}},
        {"N Sample", {{"S", "C"}, {"A", "X"}}, {}},
        {"Paired Fields", {{"A", "X"}, {"B", "Y"}}, {}},
        {"N Fields", {{"A", "X"}, {"B", "X"}}, {}},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_TRUE(Run(Store(c.Spec()), &err)) << c.type << ": " << err;
        EXPECT_EQ(ReadTable("Out").size(), 1u) << c.type;
    }
    if (old) ::setenv("TMPDIR", saved.c_str(), 1);
    else ::unsetenv("TMPDIR");
}

TEST_F(NonParamFailureTest, AWeightBeyondTheWholeNumbersOfItsCountsFailsWithOverflowInsteadOfANegativeCount) {
    // Two tied values 1 of weight 1e19 (one in each sample): their counts of
    // weights are past 2^53, where a double keeps no whole number. The sign
    // test wrote -9223372036854775808 as its "Count=Test", the runs test a
    // tie of 0 cases and 2 runs.
    MakeTable("Data", {{"S", dbText, 5}, {"A"}, {"Wt"}}, {{"a", 1.0, 1e19}, {"b", 1.0, 1e19}, {"a", 3.0, 1.0}, {"b", 4.0, 1.0}});
    const Case cases[] = {
        {"Sign Test", {{"A", "X"}, {"Wt", "W"}}, {{"SignMean", true}}},
        {"2 Sample", {{"S", "C"}, {"A", "X"}, {"Wt", "W"}}, {{"NPTwoType", "Wald"}}},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_FALSE(Run(Store(c.Spec()), &err)) << c.type;
        EXPECT_EQ(err, "Overflow") << c.type;
    }
}
