// The same input gives the same output, bit for bit, every run: records the
// sorted read finds equal (same group, same first data value) come in the
// order of their place in the source, however the database sorts them (a
// large sort runs on helper threads, which return equal keys in any order).
#include "AnalysisFixture.h"

#include <string>

using namespace dao;
using namespace atest;

namespace {

class SameOutputTest : public AnalysisTest {
protected:
    // Group names long enough that the sort of the whole table spills to
    // several sorted runs merged on helper threads. Within a group X1 takes
    // two values only, so most records tie in the read order; X2 and Y are
    // values whose running mean, and whose fitted line, depend in their last
    // bits on the order they are taken in; Y also numbers the records.
    static std::vector<Row> rows(int groups, int perGroup, int firstGroup = 0) {
        std::vector<Row> out;
        for (int g = firstGroup; g < firstGroup + groups; ++g) {
            const std::string name = "group " + std::to_string(1000 + g) + std::string(200, 'x');
            for (int k = 0; k < perGroup; ++k) {
                const double x2 = (k % 7) * 0.1 + (k % 3) * 1e8 + (k % 11) * 1e-3;
                out.push_back({Variant(name), Variant(double(k % 2)), Variant(x2), Variant(double(g * perGroup + k))});
            }
        }
        return out;
    }
    void makeTable(const std::string& name, const std::vector<Row>& data) {
        MakeTable(name, {{"G", dbText, 255}, {"X1"}, {"X2"}, {"Y"}}, data);
    }
    // Every row of the table as text, doubles in hexadecimal.
    std::vector<std::string> bytes(const std::string& table) {
        std::vector<std::string> out;
        for (const auto& r : ReadTable(table)) {
            std::string line;
            for (const auto& [col, v] : r.values) {
                char b[64];
                if (v.IsNull()) std::snprintf(b, sizeof b, "null");
                else if (v.IsString()) std::snprintf(b, sizeof b, "%zu", v.ToString().size());
                else std::snprintf(b, sizeof b, "%a", v.ToDouble());
                line += col + "=" + b + ";";
            }
            out.push_back(line);
        }
        return out;
    }
    vtest::ScenarioSpec spec(const char* type, const std::string& table, const std::string& out,
                             const std::string& out2 = {}) {
        vtest::ScenarioSpec s = vtest::ScenarioOn("P", type, table, out, out2);
        if (std::string(type) == "Describe") {
            s.options = {{"Mean", true}, {"VarStd", true}, {"VarNRadio", "N-1"}, {"Skew", true}};
            s.fields = {{"G", "G"}, {"X1", "X"}, {"X2", "X"}};
        } else {
            s.options = {{"RegressType", "S"}, {"RYInt", true}};
            s.fields = {{"G", "G"}, {"X1", "X"}, {"Y", "Y"}};
        }
        return s;
    }
};

} // namespace

TEST_F(SameOutputTest, TiesInTheSortedReadComeInSourceOrderEveryRun) {
    const int groups = 6, perGroup = 12000;
    makeTable("Big", rows(groups, perGroup));
    db->CreateQueryDef("qBig", "SELECT G, X1, X2, Y FROM Big WHERE Y >= 0");
    // The records of one group alone: a sort too small to spill keeps them in
    // their order, which the whole table's read must give them too.
    makeTable("One", rows(1, perGroup, 3));
    struct Case {
        const char* type;
        const char* source;
        const char* why;
    } cases[] = {{"Describe", "Big", "means and deviations of X2, taken in the read order"},
                 {"Regression", "Big", "residual rows in source order, and the fit"},
                 {"Describe", "qBig", "a saved query: its ties in the query's own order"}};
    int k = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string t = std::string(c.type) + std::to_string(++k) + "_";
        std::string err;
        for (const auto& [source, n] : {std::pair<std::string, std::string>{c.source, "1"}, {c.source, "2"}, {"One", "3"}})
            ASSERT_TRUE(Run(Store(spec(c.type, source, t + n, t + "R" + n)), &err)) << err;
        const auto all = bytes(t + "1"), again = bytes(t + "2"), one = bytes(t + "3");
        ASSERT_EQ(all.size(), again.size());
        for (std::size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i], again[i]) << "two runs differ in row " << i;
        // Group 3's rows of the whole table are those of the group alone.
        const std::size_t per = all.size() / groups;
        ASSERT_EQ(one.size(), per);
        for (std::size_t i = 0; i < per; ++i) EXPECT_EQ(all[3 * per + i], one[i]) << "row " << i;
        if (c.type == std::string("Regression")) {
            const auto r1 = bytes(t + "R1"), r2 = bytes(t + "R2");
            ASSERT_EQ(r1.size(), r2.size());
            std::size_t differ = 0;
            for (std::size_t i = 0; i < r1.size(); ++i) differ += r1[i] == r2[i] ? 0 : 1;
            EXPECT_EQ(differ, 0u) << "two runs' residual rows differ";
            // Within a group and an X1 value the residual rows keep the
            // source order: Y numbers the records.
            const auto res = ReadTable(t + "R1");
            ASSERT_EQ(res.size(), std::size_t(groups * perGroup));
            for (std::size_t i = 1; i < res.size(); ++i) {
                const bool tie = res[i]["G"].ToString() == res[i - 1]["G"].ToString() &&
                                 res[i].Num("X_Value") == res[i - 1].Num("X_Value");
                if (tie) {
                    ASSERT_LT(res[i - 1].Num("Y:Y"), res[i].Num("Y:Y")) << "row " << i;
                }
            }
        }
    }
}
