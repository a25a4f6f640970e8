// Runs on a file that another program, a crash or a copy left damaged: a run
// that meets the damage half-way fails, names the file and the cause, and
// keeps the output of the run before.
#include "AnalysisFixture.h"
#include "support/OtherProgram.h"

#include <filesystem>
#include <fstream>

using namespace dao;
using namespace atest;

namespace {

class DamagedFileTest : public AnalysisTest {
protected:
    long pages() {
        vtest::OtherProgram other(tmp.file("data.db"));
        return std::stol(other.Text("PRAGMA page_count"));
    }
    long pageSize() {
        vtest::OtherProgram other(tmp.file("data.db"));
        return std::stol(other.Text("PRAGMA page_size"));
    }
    // Every row of a table as one text, in the order stored.
    std::vector<std::string> rowsOf(const std::string& table) {
        std::vector<std::string> out;
        for (const auto& r : ReadTable(table)) {
            std::string line;
            for (const auto& [column, v] : r.values) line += column + "=" + (v.IsNull() ? "Null" : v.ToString()) + ";";
            out.push_back(line);
        }
        return out;
    }
};

} // namespace

TEST_F(DamagedFileTest, ARunMeetingADamagedPageOfItsSourceFailsNamingTheFileWhateverTheAnalysisMadeOfIt) {
    // The table Data fills the pages the file grows by when it is made; one
    // of them, in the middle, is then overwritten with bytes no page holds.
    db->Close();
    const long first = pages() + 1;
    db = DBEngine().OpenDatabase(tmp.file("data.db"));
    std::vector<Row> rows;
    for (int i = 0; i < 6000; ++i)
        rows.push_back({Variant("g" + std::to_string(i % 3)), Variant(double(i % 2)), Variant(double(i))});
    MakeTable("Data", {{"G", dbText, 10}, {"C", dbDouble}, {"X", dbDouble}}, rows);

    struct Case {
        vtest::ScenarioSpec spec;
        const char* why;
    };
    auto on = [](const char* group, const char* type, const std::string& out, const std::string& out2 = {}) {
        return vtest::ScenarioOn(group, type, "Data", out, out2);
    };
    std::vector<Case> cases;
    {
        auto s = on("P", "Describe", "OutDescribe");
        s.options = {{"Mean", true}};
        s.fields = {{"G", "G"}, {"X", "X"}};
        cases.push_back({s, "Describe"});
    }
    {
        auto s = on("N", "N Sample", "OutKruskal");
        s.fields = {{"G", "C"}, {"X", "X"}};
        cases.push_back({s, "N Sample: the compare values are read first"});
    }
    {
        auto s = on("N", "2 Sample", "OutMann");
        s.options = {{"NPTwoType", "Mann"}};
        s.fields = {{"C", "C"}, {"X", "X"}};
        cases.push_back({s, "2 Sample, Mann-Whitney"});
    }
    {
        auto s = on("N", "2 Sample", "OutWald");
        s.options = {{"NPTwoType", "Wald"}};
        s.fields = {{"C", "C"}, {"X", "X"}};
        cases.push_back({s, "2 Sample, Wald-Wolfowitz"});
    }
    std::vector<std::int32_t> ids;
    std::vector<std::vector<std::string>> before;
    for (const auto& c : cases) {
        std::string err;
        ids.push_back(Store(c.spec));
        ASSERT_TRUE(Run(ids.back(), &err)) << c.why << ": " << err;
        before.push_back(rowsOf(c.spec.outputTable1));
        ASSERT_FALSE(before.back().empty()) << c.why;
    }
    db->Close();
    const long last = pages();
    const long size = pageSize();
    ASSERT_GT(last - first, 10);
    {
        std::fstream file(tmp.file("data.db"), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(((first + last) / 2 - 1) * size));
        const std::string garbage(static_cast<std::size_t>(size), '\xA5');
        file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
    }
    {
        vtest::OtherProgram other(tmp.file("data.db"));
        ASSERT_NE(other.Text("PRAGMA quick_check"), "ok") << "the damage missed the table";
    }
    const std::string damaged = vtest::ReadFileBytes(tmp.file("data.db"));
    db = DBEngine().OpenDatabase(tmp.file("data.db"));
    const std::string expected = "Cannot open database '" + tmp.file("data.db") +
                                 "'. It may not be a database, or the file may be corrupt.";
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].why);
        std::string err;
        EXPECT_FALSE(Run(ids[i], &err));
        EXPECT_EQ(err, expected);
        EXPECT_EQ(rowsOf(cases[i].spec.outputTable1), before[i]) << "the output of the run before";
    }
    db->Close();
    EXPECT_TRUE(vtest::ReadFileBytes(tmp.file("data.db")) == damaged) << "the damaged file was changed";
    db = DBEngine().OpenDatabase(tmp.file("data.db"));
}
