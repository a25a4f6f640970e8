// Output tables of thousands of columns: their columns are added in time
// linear in their number, and a table of more columns than the database
// holds is refused, naming the cause, before any table is touched.
#include "AnalysisFixture.h"

#include <cstdint>

using namespace dao;
using namespace atest;

namespace {

class WideOutputTest : public AnalysisTest {};

} // namespace

TEST_F(WideOutputTest, ATableOfMoreColumnsThanTheDatabaseHoldsFailsBeforeAnythingIsWritten) {
    // 60 records for the polynomial (x = 1..60, y = 2x + 1); 2,100 for the
    // crosstab, each with a column value of its own.
    std::vector<Row> few, many;
    for (int i = 1; i <= 60; ++i) few.push_back({Variant(double(i)), Variant(2.0 * i + 1)});
    for (int i = 1; i <= 2100; ++i) many.push_back({Variant(double(i % 3)), Variant(double(i)), Variant("r" + std::to_string(i))});
    MakeTable("Few", {{"X", dbDouble}, {"Y", dbDouble}}, few);
    MakeTable("Many", {{"G", dbDouble}, {"Y", dbDouble}, {"R", dbText, 10}}, many);
    MakeTable("Out", {{"Old", dbDouble}}, {{7.0}});
    vtest::ScenarioSpec poly = vtest::ScenarioOn("P", "Regression", "Few", "Out");
    poly.options = {{"RegressType", Variant("P")}, {"RPoly", std::int16_t(32767)}, {"RYInt", true}};
    poly.fields = {{"X", "X"}, {"Y", "Y"}};
    vtest::ScenarioSpec xtab = vtest::ScenarioOn("P", "Crosstab", "Many", "Out");
    xtab.options = {{"XType", "S"}};
    xtab.fields = {{"G", "G"}, {"R", "C"}, {"Y", "X"}};
    const struct {
        vtest::ScenarioSpec scenario;
        std::string columns; // the count the message names; empty: not checked
        const char* why;
    } cases[] = {
        {poly, "", "a polynomial of order 32767: columns for every term"},
        // DataField, G, DataType, RowSummary and one column per value of R.
        {xtab, "2104", "a crosstab of 2,100 column values"},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_FALSE(Run(Store(c.scenario), &err)) << c.why;
        EXPECT_EQ(err.rfind("The output table Out would have " + c.columns, 0), 0u) << c.why << ": " << err;
        EXPECT_NE(err.find(" columns, more than the 2000 a table can hold"), std::string::npos) << c.why << ": " << err;
        const auto old = ReadTable("Out");
        ASSERT_EQ(old.size(), 1u) << c.why;
        EXPECT_EQ(old[0].Num("Old"), 7.0) << c.why << ": the previous output is untouched";
    }
}
