// A file the system has written stays a plain SQLite file: the stock sqlite3
// tool checks, vacuums, sorts and writes it, and files of earlier versions
// (text declared with a collation only this program knows) are repaired when
// opened.
#include "db/Dao.h"
#include "support/ScenarioFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <cstdio>

using namespace dao;

namespace {

// Runs the sqlite3 tool on the file; its output (both streams) and exit code.
std::pair<std::string, int> sqliteTool(const std::string& file, const std::string& sql) {
    std::string cmd = "sqlite3 -batch '" + file + "' \"" + sql + "\" 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    std::string out;
    std::array<char, 256> buf{};
    while (p && std::fgets(buf.data(), buf.size(), p)) out += buf.data();
    int rc = p ? ::pclose(p) : -1;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return {out, rc};
}

class PlainFileTest : public ::testing::Test {
protected:
    void SetUp() override { DBEngine().Reset(); }
    void TearDown() override { DBEngine().Reset(); }
    vtest::TempDir tmp;
};

TEST_F(PlainFileTest, TheSqliteToolChecksVacuumsSortsAndWritesAFileTheSystemWrote) {
    const std::string path = tmp.file("plain.db");
    {
        auto db = DBEngine().CreateDatabase(path, dbLangGeneral);
        ASSERT_TRUE(vtest::CreateScenarioTablesIn(db));
        auto td = db->CreateTableDef("Names");
        td->Fields().Append(td->CreateField("Name", dbText, 20));
        td->Fields().Append(td->CreateField("Note", dbMemo));
        auto ix = td->CreateIndex("ByName");
        ix->Fields().Append(ix->CreateField("Name"));
        td->Indexes().Append(ix);
        db->TableDefs().Append(td);
        for (const char* n : {"b", "A", "c"}) db->Execute(std::string("INSERT INTO Names (Name) VALUES ('") + n + "')");
        db->CreateQueryDef("qNames", "SELECT Name FROM Names ORDER BY Name");
        vtest::ScenarioSpec s;
        s.inputTable = "Names";
        s.outputTable1 = "Out";
        s.fields = {{"Name", "X"}};
        vtest::StoreScenario(*db, s);
        db->Close();
    }
    const struct {
        std::string sql, expected;
        const char* why;
    } cases[] = {
        {"PRAGMA integrity_check", "ok", "the check reads every index"},
        {"VACUUM", "", "vacuum rebuilds every table and index"},
        {"SELECT Name FROM Names WHERE Name > 'a' ORDER BY Name", "b\nc", "text compared and sorted case-blind"},
        {"SELECT Scenario_Input_Table_Name FROM usysQuorbScenarios ORDER BY Scenario_Description",
         "Names", "the scenario tables"},
        {"INSERT INTO usysQuorbFields (Scenario_ID, FieldDef_Name, FieldDef_Choice) VALUES (1, 'Note', 'X')", "",
         "another program adds a field row"},
        {"PRAGMA integrity_check", "ok", "and the file is still sound"},
    };
    for (const auto& c : cases) {
        auto [out, rc] = sqliteTool(path, c.sql);
        EXPECT_EQ(rc, 0) << c.why << ": " << out;
        EXPECT_EQ(out, c.expected) << c.why;
    }
    // And the system reads what the other program wrote.
    auto db = DBEngine().OpenDatabase(path);
    auto rs = db->OpenRecordset("SELECT Count(*) AS n FROM usysQuorbFields WHERE FieldDef_Name = 'NOTE'");
    EXPECT_EQ(rs->Fields("n")->Value().ToDouble(), 1.0);
}

int compareFolded(void*, int n1, const void* p1, int n2, const void* p2) {
    return sqlite3_strnicmp(static_cast<const char*>(p1), static_cast<const char*>(p2), std::min(n1, n2)) != 0
               ? sqlite3_strnicmp(static_cast<const char*>(p1), static_cast<const char*>(p2), std::min(n1, n2))
               : n1 - n2;
}

TEST_F(PlainFileTest, AFileOfAnEarlierVersionIsRepairedWhenOpened) {
    // Written the earlier way: text declared COLLATE GENERAL, a unique index on it.
    const std::string path = tmp.file("old.db");
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    sqlite3_create_collation(raw, "GENERAL", SQLITE_UTF8, nullptr, compareFolded);
    ASSERT_EQ(sqlite3_exec(raw,
                           "CREATE TABLE T (Name VARCHAR(20) COLLATE GENERAL, Note TEXT COLLATE GENERAL);"
                           "CREATE UNIQUE INDEX \"T.ByName\" ON T (Name);"
                           "INSERT INTO T VALUES ('b', 'x'), ('A', 'y'), ('c', 'z');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    EXPECT_NE(sqliteTool(path, "PRAGMA integrity_check").second, 0) << "the old file is checkable already";

    auto names = [](Database& d) {
        std::string out;
        for (auto rs = d.OpenRecordset("SELECT Name FROM T ORDER BY Name", dbOpenSnapshot); !rs->EOF_(); rs->MoveNext())
            out += rs->Fields("Name")->Value().ToString();
        return out;
    };
    {
        // While another program holds the write lock the file opens unrepaired.
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        auto locked = DBEngine().OpenDatabase(path);
        EXPECT_EQ(names(*locked), "Abc");
        locked->Close();
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
    }
    auto db = DBEngine().OpenDatabase(path);
    EXPECT_EQ(names(*db), "Abc");
    // The unique index still refuses a name that differs in case only.
    EXPECT_THROW(db->Execute("INSERT INTO T (Name) VALUES ('B')"), DaoError);
    db->Close();

    EXPECT_EQ(sqliteTool(path, "PRAGMA integrity_check"), std::make_pair(std::string("ok"), 0));
    EXPECT_EQ(sqliteTool(path, "VACUUM"), std::make_pair(std::string(), 0));
    EXPECT_EQ(sqliteTool(path, "SELECT count(*) FROM sqlite_master WHERE sql LIKE '%GENERAL%'").first, "0");
}

} // namespace
