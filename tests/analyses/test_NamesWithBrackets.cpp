// Field names holding "[" and "]" (legal in SQLite, and in files other
// programs write): every analysis type runs on them end to end and writes
// what it writes for the same data under plain names, with the names
// themselves carried into the output unchanged.
#include "AnalysisFixture.h"

#include <algorithm>

using namespace dao;
using namespace atest;

namespace {

// The same columns under plain names and under names with brackets.
const std::vector<std::pair<std::string, std::string>> kNames = {
    {"G", "G[r]"}, {"C", "C]"}, {"D", "[D"}, {"X1", "X[1]"}, {"X2", "X]]2"}, {"Y", "[Y]"}, {"W", "W[]"},
};

std::string odd(const std::string& plain) {
    for (const auto& [p, o] : kNames)
        if (p == plain) return o;
    return plain;
}

// The odd names in a text of the odd run's output put back to the plain ones.
std::string toPlain(std::string text) {
    std::vector<std::pair<std::string, std::string>> names = kNames;
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return a.second.size() > b.second.size(); });
    for (const auto& [p, o] : names)
        for (std::size_t at = text.find(o); at != std::string::npos; at = text.find(o, at + p.size()))
            text.replace(at, o.size(), p);
    return text;
}

struct Case {
    const char* analysisType;
    const char* subType;
    std::vector<std::pair<std::string, Variant>> options;
    std::vector<vtest::ScenarioFieldRow> fields; // plain names
    bool second;                                 // a second output table
};

class BracketNamesTest : public AnalysisTest {
protected:
    void SetUp() override {
        AnalysisTest::SetUp();
        std::vector<Row> rows;
        const double x1[] = {1, 4, 2, 8, 5, 7, 3, 6, 9, 2, 4, 5};
        const double x2[] = {2, 3, 5, 7, 1, 4, 6, 8, 2, 9, 3, 1};
        const double y[] = {3, 5, 4, 9, 6, 8, 2, 7, 9, 4, 5, 6};
        for (int i = 0; i < 12; ++i)
            rows.push_back({Variant(i < 6 ? "a" : "b"), Variant(i % 2 ? "u" : "v"), Variant(i % 3 ? "p" : "q"),
                            Variant(x1[i]), Variant(x2[i]), Variant(y[i]), Variant(double(1 + i % 3))});
        for (const bool oddNames : {false, true}) {
            std::vector<Column> cols;
            for (const auto& [p, o] : kNames) {
                const std::string name = oddNames ? o : p;
                const bool text = p == "G" || p == "C" || p == "D";
                cols.push_back({name, text ? dbText : dbDouble, text ? 5 : 0});
            }
            MakeTable(oddNames ? "Odd" : "Plain", cols, rows);
        }
    }

    // Runs the case on one table; the output tables are named after it.
    void runOn(const Case& c, bool oddNames, const std::string& out1, const std::string& out2) {
        vtest::ScenarioSpec s =
            vtest::ScenarioOn(c.analysisType, c.subType, oddNames ? "Odd" : "Plain", out1, c.second ? out2 : std::string());
        s.options = c.options;
        for (const auto& f : c.fields) s.fields.push_back({oddNames ? odd(f.name) : f.name, f.choice});
        std::string err;
        ASSERT_TRUE(Run(Store(s), &err)) << c.subType << (oddNames ? " (brackets)" : " (plain)") << ": " << err;
    }

    // The odd run's table, its column names and texts put back to plain names,
    // equals the plain run's table.
    void expectSame(const std::string& plainTable, const std::string& oddTable, const std::string& why) {
        std::vector<std::string> plainCols = ColumnNames(plainTable), oddCols = ColumnNames(oddTable);
        for (auto& c : oddCols) c = toPlain(c);
        EXPECT_EQ(oddCols, plainCols) << why;
        const auto a = ReadTable(plainTable), b = ReadTable(oddTable);
        ASSERT_EQ(a.size(), b.size()) << why;
        EXPECT_FALSE(a.empty()) << why << ": no rows written";
        for (std::size_t r = 0; r < a.size(); ++r)
            for (const auto& [col, value] : b[r].values) {
                const std::string plainCol = toPlain(col);
                ASSERT_TRUE(a[r].Has(plainCol)) << why << ": " << col;
                const Variant& expected = a[r][plainCol];
                if (value.IsString()) EXPECT_EQ(toPlain(value.ToString()), expected.ToString()) << why << " row " << r << " " << col;
                else if (value.IsNull()) EXPECT_TRUE(expected.IsNull()) << why << " row " << r << " " << col;
                else EXPECT_EQ(value.ToDouble(), expected.ToDouble()) << why << " row " << r << " " << col;
            }
    }
};

} // namespace

TEST_F(BracketNamesTest, EveryAnalysisRunsOnFieldNamesWithBracketsAsOnPlainNames) {
    const std::vector<Case> cases = {
        {"P", "Describe",
         {{"Range", true}, {"VarStd", true}, {"VarNRadio", "N-1"}, {"Mean", true}, {"Sum", true}, {"Skew", true},
          {"Percentile", true}, {"PercentileRadio", "Quartiles"}, {"FreqN", true}, {"InterV", std::int16_t(3)},
          {"FreqGroupRadio", "Default"}, {"FreqIncRadio", "Lower"}, {"FreqDispRadio", "Count"}},
         {{"G", "G"}, {"X1", "X"}, {"X2", "X"}, {"W", "W"}}, false},
        {"P", "Frequency", {{"InterV", std::int16_t(4)}, {"FreqGroupRadio", "Default"}, {"FreqIncRadio", "Lower"}},
         {{"G", "G"}, {"X1", "X"}, {"X2", "X"}}, false},
        {"P", "Percentiles", {{"PercentileRadio", "Quartiles"}}, {{"G", "G"}, {"X1", "X"}, {"W", "W"}}, false},
        {"P", "Compare", {{"CountXY", true}, {"MeanXY", true}, {"CorrXY", true}, {"TTest", true}},
         {{"G", "G"}, {"X1", "X"}, {"X2", "X"}, {"Y", "Y"}}, false},
        {"P", "Matrix",
         {{"MCnt", true}, {"MMis", true}, {"MMean", true}, {"MDev", true}, {"MCov", true}, {"MCor", true}, {"MR2", true},
          {"MT", true}, {"MProb", true}, {"MProbTail", "2"}},
         {{"G", "G"}, {"X1", "X"}, {"X2", "X"}, {"Y", "X"}}, false},
        {"P", "Regression", {{"RegressType", "S"}, {"RYInt", true}, {"RAnova", true}},
         {{"G", "G"}, {"X1", "X"}, {"Y", "Y"}, {"W", "W"}}, true},
        {"P", "Regression", {{"RegressType", "M"}, {"RYInt", true}, {"RAnova", true}},
         {{"X1", "X"}, {"X2", "X"}, {"Y", "Y"}}, true},
        {"P", "Regression", {{"RegressType", "P"}, {"RYInt", true}, {"RAnova", true}, {"RPoly", std::int16_t(2)}},
         {{"X1", "X"}, {"Y", "Y"}}, true},
        {"P", "Crosstab", {{"XType", "S"}, {"XRowPCnt", true}, {"XExpect", true}, {"XChi", true}},
         {{"G", "G"}, {"C", "C"}, {"X1", "X"}}, true},
        {"P", "Crosstab", {{"XType", "A"}, {"XChi", true}}, {{"G", "G"}, {"C", "C"}, {"X1", "X"}, {"W", "W"}}, true},
        {"G", "Two Sample t-Test", {{"GroupDetail", true}}, {{"G", "G"}, {"C", "C"}, {"X1", "X"}}, true},
        {"G", "ANOVA", {{"GroupDetail", true}}, {{"D", "C"}, {"X1", "X"}, {"X2", "X"}}, true},
        {"G", "Two way ANOVA", {{"GroupDetail", true}}, {{"C", "C"}, {"D", "C"}, {"X1", "X"}}, true},
        {"N", "Chi-Square", {{"ChiDetail", true}, {"ChiAll", true}}, {{"G", "G"}, {"C", "C"}, {"W", "W"}}, true},
        {"N", "Sign Test", {{"SignMean", true}, {"SignMedian", true}}, {{"G", "G"}, {"X1", "X"}}, false},
        {"N", "K-S Fit", {{"FitUniform", true}, {"FitNormal", true}, {"FitPoisson", true}},
         {{"G", "G"}, {"X1", "X"}, {"W", "W"}}, false},
        {"N", "2 Sample", {{"NPTwoType", "Mann"}}, {{"C", "C"}, {"X1", "X"}, {"X2", "X"}}, false},
        {"N", "2 Sample", {{"NPTwoType", "Wald"}}, {{"G", "G"}, {"C", "C"}, {"X1", "X"}}, false},
        {"N", "N Sample", {{"NPKruskalDetail", true}}, {{"D", "C"}, {"X1", "X"}}, true},
        {"N", "Paired Fields", {{"NPPair_Sign", true}, {"NPPair_Wilcoxon", true}, {"NPPair_Spearman", true}},
         {{"G", "G"}, {"X1", "X"}, {"X2", "X"}, {"Y", "Y"}, {"W", "W"}}, false},
        {"N", "N Fields", {{"NPFriedmanDetail", true}}, {{"G", "G"}, {"X1", "X"}, {"X2", "X"}, {"Y", "X"}}, true},
    };
    int k = 0;
    for (const auto& c : cases) {
        const std::string why = std::string(c.subType) + " #" + std::to_string(++k);
        const std::string n = std::to_string(k);
        runOn(c, false, "P" + n, "PP" + n);
        runOn(c, true, "O" + n, "OO" + n);
        expectSame("P" + n, "O" + n, why);
        if (c.second && TableExists("PP" + n)) expectSame("PP" + n, "OO" + n, why + " (second table)");
    }
    // The names reach the output as they are: group a's X[1] holds
    // 1, 4, 2, 8, 5, 7 with weights 1, 2, 3, 1, 2, 3: mean (1 + 8 + 6 + 8 + 10 + 21) / 12.
    const auto described = ReadTable("O1");
    ASSERT_FALSE(described.empty());
    EXPECT_EQ(described[0]["G[r]"].ToString(), "a");
    EXPECT_EQ(described[0]["DataField"].ToString(), "X[1]");
    EXPECT_DOUBLE_EQ(described[0].Num("Mean"), 54.0 / 12);
}
