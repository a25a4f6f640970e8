// Runs whose output database fills up or cannot be written: the run fails,
// says why and names the file, and the output of the previous run stays as
// it was.
#include "AnalysisFixture.h"
#include "db/Connection.h"
#include "analyses/descriptive/CDescribe.h"
#include "support/AnalysisSeam.h"
#include "support/ReadOnlyPath.h"

#include <memory>

#include <sqlite3.h>

#include <string>
#include <vector>

using namespace dao;
using namespace atest;

namespace {

class FullDiskTest : public AnalysisTest {
protected:
    // Pages the file holds now.
    long pageCount() {
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db->conn()->handle(), "PRAGMA page_count", -1, &st, nullptr), SQLITE_OK);
        long n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : -1;
        sqlite3_finalize(st);
        return n;
    }
    // The file may grow by `pages` pages from now on, as on a disk that has
    // that much room left.
    void roomFor(long pages) {
        db->conn()->Exec(SystemSql("PRAGMA max_page_count = " + std::to_string(pageCount() + pages)));
    }
    void noLimit() { db->conn()->Exec(SystemSql("PRAGMA max_page_count = 1073741823")); }

    // Every row of the table as one text, in the order stored.
    std::vector<std::string> rowsOf(const std::string& table) {
        std::vector<std::string> out;
        for (const auto& r : ReadTable(table)) {
            std::string line;
            for (const auto& [column, v] : r.values)
                line += column + "=" + (v.IsNull() ? std::string("Null") : v.ToString()) + ";";
            out.push_back(line);
        }
        return out;
    }

    // Small: one group "a" of 8 records; Big: 3000 groups of 4, far more
    // output rows than the file has room for.
    void makeTables() {
        const std::vector<Column> columns = {{"G", dbText, 10}, {"C", dbText, 5}, {"D", dbText, 5}, {"A"}, {"B"}};
        std::vector<Row> small, big;
        for (int k = 0; k < 8; ++k)
            small.push_back({Variant("a"), Variant(k % 2 ? "p" : "q"), Variant(k % 4 < 2 ? "r" : "s"),
                             Variant(double(k)), Variant(double(k * k % 5))});
        for (int g = 0; g < 3000; ++g)
            for (int k = 0; k < 4; ++k)
                big.push_back({Variant("g" + std::to_string(100000 + g)), Variant(k % 2 ? "p" : "q"),
                               Variant(k % 2 ? "r" : "s"), Variant(double(g % 7 + k * 1.5)),
                               Variant(double((g * k) % 5 + 0.25 * k))});
        MakeTable("Small", columns, small);
        MakeTable("Big", columns, big);
    }
};

struct Case {
    const char* group;
    const char* type;
    std::vector<vtest::ScenarioFieldRow> fields;
    std::vector<std::pair<std::string, Variant>> options;
    const char* detail; // the second output table, when the type writes one
};

} // namespace

TEST_F(FullDiskTest, AFullOutputDatabaseFailsTheRunAndAddsNoneOfItsRowsToThePreviousOutput) {
    // The database cancels its whole transaction when a write finds the disk
    // full. Rows the analysis went on writing after that (ANOVA's next group,
    // Chi-Square's next summary row) were each committed on their own, into
    // the previous output that the cancelled transaction had given back.
    makeTables();
    const Case cases[] = {
        {"P", "Describe", {{"G", "G"}, {"A", "X"}}, {{"Percentile", true}, {"Mode", true}}, ""},
        {"P", "Frequency", {{"G", "G"}, {"A", "X"}}, {}, ""},
        {"P", "Percentiles", {{"G", "G"}, {"A", "X"}}, {{"PercentileRadio", "Median"}}, ""},
        {"P", "Regression", {{"G", "G"}, {"A", "X"}, {"B", "Y"}}, {}, "Out2"},
        {"G", "Two Sample t-Test", {{"G", "G"}, {"C", "C"}, {"A", "X"}}, {}, "Out2"},
        {"G", "ANOVA", {{"G", "G"}, {"C", "C"}, {"A", "X"}}, {}, "Out2"},
        {"G", "Two way ANOVA", {{"G", "G"}, {"C", "C"}, {"D", "C"}, {"A", "X"}}, {}, "Out2"},
        {"N", "Chi-Square", {{"G", "G"}, {"C", "C"}}, {{"ChiDetail", true}}, "Out2"},
        {"N", "Sign Test", {{"G", "G"}, {"A", "X"}}, {{"SignMean", true}}, ""},
        {"N", "2 Sample", {{"G", "G"}, {"C", "C"}, {"A", "X"}}, {{"NPTwoType", "Mann"}}, ""},
        {"N", "N Sample", {{"G", "G"}, {"C", "C"}, {"A", "X"}}, {}, "Out2"},
        {"N", "Paired Fields", {{"G", "G"}, {"A", "X"}, {"B", "Y"}}, {}, ""},
        {"N", "N Fields", {{"G", "G"}, {"A", "X"}, {"B", "X"}}, {}, "Out2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        noLimit();
        vtest::ScenarioSpec spec = vtest::ScenarioOn(c.group, c.type, "Small", "Out", c.detail);
        spec.fields = c.fields;
        spec.options = c.options;
        std::string err;
        ASSERT_TRUE(Run(Store(spec), &err)) << err;
        const std::vector<std::string> before = rowsOf("Out");
        ASSERT_FALSE(before.empty());
        for (const auto& line : before) EXPECT_NE(line.find("G=a;"), std::string::npos) << line;
        const std::vector<std::string> detailBefore = *c.detail ? rowsOf(c.detail) : std::vector<std::string>{};
        spec.inputTable = "Big";
        const std::int32_t id = Store(spec);
        roomFor(3);
        EXPECT_FALSE(Run(id, &err));
        noLimit();
        EXPECT_NE(err.find("Not enough space on disk"), std::string::npos) << err;
        EXPECT_EQ(rowsOf("Out"), before);
        if (*c.detail) {
            EXPECT_EQ(rowsOf(c.detail), detailBefore);
        }
    }
}

TEST_F(FullDiskTest, AnAnalysisThatGoesOnAfterTheDiskIsFullNeitherSucceedsNorWritesIntoThePreviousOutput) {
    // An analysis that takes the full disk for a row it may skip, writes one
    // more row and reports success: that row went on its own into the
    // previous output (the database had cancelled the run's transaction and
    // given it back), and the run stood as a success with it.
    MakeTable("Small", {{"G", dbText, 10}, {"X"}}, {{"a", 1.0}, {"a", 3.0}});
    vtest::ScenarioSpec spec = vtest::ScenarioOn("P", "Describe", "Small", "Out");
    spec.options = {{"Mean", true}};
    spec.fields = {{"G", "G"}, {"X", "X"}};
    const std::int32_t id = Store(spec);
    std::string err;
    ASSERT_TRUE(Run(id, &err)) << err;
    const std::vector<std::string> before = rowsOf("Out");
    ASSERT_EQ(before.size(), 1u);
    EXPECT_NE(before[0].find("Mean=2;"), std::string::npos) << before[0]; // (1 + 3) / 2

    VarnelloCore eng;
    eng.SetScenarioDatabase(db);
    bool filled = false;
    vtest::AnalysisOf<DescribeSettings>(eng, "Describe") = [&](DescribeSettings&, RunContext& cx) -> std::string {
        DatabasePtr out = cx.OutputDatabase();
        out->TableDefs().Delete("Out");
        TableDefPtr td = out->CreateTableDef("Out");
        td->Fields().Append(td->CreateField("G", dbText, 10));
        td->Fields().Append(td->CreateField("Mean", dbDouble));
        out->TableDefs().Append(td);
        try {
            for (int i = 0; i < 100000; ++i)
                out->Execute("INSERT INTO [Out] ([G], [Mean]) VALUES ('g" + std::to_string(i) + "', " +
                             std::to_string(i) + ")");
        } catch (const DaoError&) {
            filled = true;
        }
        try {
            out->Execute("INSERT INTO [Out] ([G], [Mean]) VALUES ('late', -1)");
        } catch (const DaoError&) {
        }
        return {};
    };
    roomFor(3);
    EXPECT_FALSE(eng.RunScenario(id));
    noLimit();
    EXPECT_TRUE(filled);
    EXPECT_NE(eng.ErrorInfo().find(tmp.file("data.db")), std::string::npos) << eng.ErrorInfo();
    EXPECT_EQ(rowsOf("Out"), before);
}

TEST_F(FullDiskTest, AFullDiskNamesTheFileThatHadNoRoom) {
    // "Not enough space on disk." alone left the user to guess which disk:
    // the output database's, the scenario database's, or another one.
    MakeTable("Small", {{"G", dbText, 10}, {"X"}}, {{"a", 1.0}, {"a", 3.0}});
    std::vector<Row> big;
    for (int g = 0; g < 3000; ++g) big.push_back({Variant("g" + std::to_string(100000 + g)), Variant(double(g))});
    MakeTable("Big", {{"G", dbText, 10}, {"X"}}, big);
    vtest::ScenarioSpec spec = vtest::ScenarioOn("P", "Describe", "Big", "Out");
    spec.fields = {{"G", "G"}, {"X", "X"}};
    const std::int32_t id = Store(spec);
    const std::string file = tmp.file("data.db");

    // A run whose output rows fill the file.
    roomFor(3);
    std::string err;
    EXPECT_FALSE(Run(id, &err));
    EXPECT_NE(err.find("Not enough space on disk for '" + file + "'"), std::string::npos) << err;

    // Scenarios saved into the full file: the one that finds no room is not
    // saved, in part or whole, and its message names the file.
    roomFor(0);
    long saved = 0;
    std::string message;
    vtest::ScenarioSpec more = vtest::ScenarioOn("P", "Describe", "Small", "Out");
    more.fields = {{"G", "G"}, {"X", "X"}};
    for (int i = 0; i < 2000 && message.empty(); ++i) {
        try {
            Store(more);
            ++saved;
        } catch (const DaoError& e) {
            message = e.Description();
        }
    }
    noLimit();
    EXPECT_NE(message.find("Not enough space on disk for '" + file + "'"), std::string::npos) << message;
    auto rs = db->OpenRecordset("SELECT Count(*) AS n FROM [usysQuorbScenarios] WHERE [Scenario_Input_Table_Name] = 'Small'",
                                dbOpenSnapshot);
    EXPECT_EQ(rs->Fields("n")->Value().ToDouble(), double(saved));
    auto fields = db->OpenRecordset("SELECT Count(*) AS n FROM [usysQuorbFields] WHERE [Scenario_ID] > " +
                                        std::to_string(id), dbOpenSnapshot);
    EXPECT_EQ(fields->Fields("n")->Value().ToDouble(), 2.0 * saved);
}

TEST_F(FullDiskTest, AnOutputDatabaseThatCannotBeWrittenIsNamed) {
    // "Cannot update. Database or object is read-only." alone: the user was
    // not told which of the databases of the run could not be written.
    MakeTable("Small", {{"G", dbText, 10}, {"X"}}, {{"a", 1.0}, {"a", 3.0}});
    vtest::ScenarioSpec spec = vtest::ScenarioOn("P", "Describe", "Small", "Out");
    spec.fields = {{"G", "G"}, {"X", "X"}};
    const std::int32_t id = Store(spec);
    const std::string outFile = tmp.file("out.db");
    DBEngine().CreateDatabase(outFile, dbLangGeneral)->Close();
    struct Row {
        bool fileReadOnly; // the file may not be written (else: opened read-only)
        const char* why;
    } rows[] = {{false, "the output database opened read-only"},
                {true, "an output file that may not be written, opened for writing"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        std::unique_ptr<vtest::ReadOnlyPath> locked;
        if (r.fileReadOnly) {
            locked = std::make_unique<vtest::ReadOnlyPath>(outFile);
            if (!locked->Effective()) continue; // this system cannot make a file read-only
        }
        DatabasePtr out = DBEngine().OpenDatabase(outFile, false, !r.fileReadOnly);
        VarnelloCore eng;
        eng.SetScenarioDatabase(db);
        Varnello::RunScenarioArgs args;
        args.OutputDatabase = out;
        EXPECT_FALSE(eng.RunScenario(id, args));
        EXPECT_NE(eng.ErrorInfo().find("'" + outFile + "'"), std::string::npos) << eng.ErrorInfo();
        EXPECT_NE(eng.ErrorInfo().find("read-only"), std::string::npos) << eng.ErrorInfo();
        out->Close();
    }
}
