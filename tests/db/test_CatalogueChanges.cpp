// Tables added or dropped by another program while a database is open are
// seen at the next look at the table definitions, without reopening.
#include "db/Dao.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace dao;

namespace {

// Another program: its own SQLite connection, one statement.
void OtherProgramRuns(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

TEST(CatalogueChanges, ATableAnotherProgramAddsOrDropsIsSeenWithoutReopening) {
    vtest::TempDir tmp;
    const std::string path = tmp.file("shared.db");
    DBEngine().Reset();
    DatabasePtr db = DBEngine().CreateDatabase(path, dbLangGeneral);
    auto td = db->CreateTableDef("Gone");
    td->Fields().Append(td->CreateField("V", dbLong));
    db->TableDefs().Append(td);
    ASSERT_NE(db->TableDefs().Find("Gone"), nullptr); // the catalogue has been read
    struct Row {
        const char* sql;
        const char* table;
        bool present;
        const char* why;
    } rows[] = {
        {"CREATE TABLE Added (V INTEGER); INSERT INTO Added VALUES (7);", "Added", true, "a new table"},
        {"DROP TABLE Gone;", "Gone", false, "a dropped table"},
    };
    for (const Row& r : rows) {
        OtherProgramRuns(path, r.sql);
        EXPECT_EQ(db->TableDefs().Find(r.table) != nullptr, r.present) << r.why;
    }
    // The new table reads like any other.
    RecordsetPtr rs = db->OpenRecordset("SELECT V FROM Added", dbOpenSnapshot);
    ASSERT_FALSE(rs->EOF_());
    EXPECT_EQ(rs->GetValue(0).ToDouble(), 7.0);
    rs->Close();
    db->Close();
    DBEngine().Reset();
}

} // namespace
