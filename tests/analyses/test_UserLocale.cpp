// Runs from a client program whose C locale is the user's: German (decimal
// comma) or Turkish (where the C library's case mapping leaves the ASCII I
// and i alone). The results must be those of a run under the C locale.
#include "AnalysisFixture.h"
#include "RegressionFixture.h"

#include "support/OtherProgram.h"
#include "support/UserLocale.h"

#include <cmath>

using namespace dao;
using namespace atest;

namespace {

class UserLocaleRunTest : public AnalysisTest {};

// A one-way ANOVA reads its groups through a join, and the SQL translator
// did not know "JOIN" under tr_TR: every such run failed with "Characters
// found after end of SQL statement". Groups a = {1, 2, 3} (mean 2) and
// b = {4, 5, 6} (mean 5) around the grand mean 3.5: between 3·1.5² · 2 =
// 13.5 on 1 degree of freedom, within 2 + 2 = 4 on 4, total 17.5 on 5, F 13.5.
TEST_F(UserLocaleRunTest, AnovaRunsUnderATurkishLocale) {
    VTEST_USER_LOCALE(turkish, "tr_TR");
    MakeTable("Data", {{"Grp", dbText, 5}, {"Y", dbDouble}},
              {{"a", 1.0}, {"a", 2.0}, {"a", 3.0}, {"b", 4.0}, {"b", 5.0}, {"b", 6.0}});
    vtest::ScenarioSpec s = vtest::ScenarioOn("G", "ANOVA", "Data", "Out");
    s.fields = {{"Grp", "C"}, {"Y", "X"}};
    const auto rows = RunAndRead(s);
    const struct {
        double df, ss;
    } want[] = {{1, 13.5}, {4, 4}, {5, 17.5}};
    for (const auto& w : want) {
        SCOPED_TRACE(w.df);
        const OutRow* found = nullptr;
        for (const auto& r : rows)
            if (r.Num("DF") == w.df) found = &r;
        ASSERT_NE(found, nullptr);
        EXPECT_TRUE(AgreesTo(w.ss, found->Num("Sum_of_Squares"), 14));
        if (w.df == 1) {
            EXPECT_TRUE(AgreesTo(13.5, found->Num("F-Value"), 14));
        }
    }
}

// Interval labels name their borders with a decimal point: under de_DE they
// read "0.2,5<=N<0.7,5". Borders 0.25, 0.75 and 1.25 (from 0.25 by 0.5):
// 0.3 in the first interval, 0.8 and 1.0 in the second.
TEST_F(UserLocaleRunTest, FrequencyIntervalLabelsUnderADecimalCommaLocale) {
    VTEST_USER_LOCALE(german, "de_DE");
    MakeTable("Data", {{"X", dbDouble}}, {{0.3}, {0.8}, {1.0}});
    vtest::ScenarioSpec s = vtest::ScenarioOn("P", "Describe", "Data", "Out");
    s.options = {{"Range", false}, {"VarStd", false}, {"Sum", false},  {"FreqN", true},
                 {"InterV", std::int16_t(2)}, {"FreqGroupRadio", "Specified"}, {"FreqInit", 0.25},
                 {"FreqWidth", 0.5}, {"FreqIncRadio", "Lower"}, {"FreqDispRadio", "Count"}};
    s.fields = {{"X", "X"}};
    const auto rows = RunAndRead(s);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(ColumnNames("Out"), (std::vector<std::string>{"DataField", "Count", "Missing", "Mean", "N<0.25",
                                                             "0.25<=N<0.75", "0.75<=N<1.25", "1.25<=N"}));
    EXPECT_EQ(rows[0].Num("Count"), 3.0);
    EXPECT_EQ(rows[0].Num("0.25<=N<0.75"), 1.0);
    EXPECT_EQ(rows[0].Num("0.75<=N<1.25"), 2.0);
}

// A column without a type where another program stored a code once as the
// number 2.5 and once as the text '2.5': one group, as under the C locale.
// Under de_DE the text was no number to IsNumeric, and the code made two
// groups. Group 2.5: X = 1 and 3 (mean 2); group 7: X = 10.
TEST_F(UserLocaleRunTest, ACodeStoredAsNumberAndAsTextIsOneGroupUnderADecimalCommaLocale) {
    VTEST_USER_LOCALE(german, "de_DE");
    {
        vtest::OtherProgram other(tmp.file("data.db"));
        other.Exec("CREATE TABLE Data (K INTEGER PRIMARY KEY, G, X DOUBLE)");
        other.Exec("INSERT INTO Data (G, X) VALUES ('2.5', 1), (2.5, 3), (7, 10)");
    }
    vtest::ScenarioSpec s = vtest::ScenarioOn("P", "Describe", "Data", "Out");
    s.options = {{"Range", false}, {"VarStd", false}, {"Sum", true}};
    s.fields = {{"G", "G"}, {"X", "X"}};
    const auto rows = RunAndRead(s);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Num("Count"), 2.0);
    EXPECT_EQ(rows[0].Num("Mean"), 2.0);
    EXPECT_EQ(rows[1].Num("Count"), 1.0);
    EXPECT_EQ(rows[1].Num("Sum"), 10.0);
}

// The status text of a fit refused as too ill-conditioned for 9 digits
// gives its condition number as the system's other messages write numbers;
// under de_DE it read "condition number 1,36e+14". X2 = X1 + 1e-6 on the odd
// records makes X1 nearly a linear combination of X2.
class UserLocaleRegressionTest : public RegressionTest {};

TEST_F(UserLocaleRegressionTest, ConditionNumberInTheStatusTextHasADecimalPointUnderADecimalCommaLocale) {
    VTEST_USER_LOCALE(german, "de_DE");
    std::vector<Row> data;
    for (int i = 0; i < 10; ++i)
        data.push_back({Variant(double(i)), Variant(i + ((i % 2) ? 1e-6 : 0.0)), Variant(double(i + (i % 3)))});
    MakeData({"X1", "X2", "Y"}, data);
    std::string err;
    StatusTexts status;
    EXPECT_TRUE(RunRegression(RegressionOf("M", {{"X1", "X"}, {"X2", "X"}, {"Y", "Y"}}), &err, &status)) << err;
    ASSERT_EQ(status.Refusals().size(), 1u);
    const std::string said = status.Refusals()[0];
    const std::string lead = "condition number ";
    const std::size_t at = said.find(lead);
    ASSERT_NE(at, std::string::npos) << said;
    const std::size_t end = said.find(')', at);
    ASSERT_NE(end, std::string::npos) << said;
    double kappa = 0;
    EXPECT_TRUE(ParseDouble(said.substr(at + lead.size(), end - at - lead.size()), kappa)) << said;
    EXPECT_GT(kappa, 1e9) << said;
}

} // namespace
