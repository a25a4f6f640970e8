// Tables added or dropped by another program while a database is open are
// seen at the next look at the table definitions, without reopening; the
// layer's own catalogue follows what the other program did.
#include "DaoTestTables.h"
#include "db/Dao.h"
#include "support/OtherProgram.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace dao;

namespace {

TEST(CatalogueChanges, ATableAnotherProgramAddsOrDropsIsSeenWithoutReopening) {
    vtest::TempDir tmp;
    const std::string path = tmp.file("shared.db");
    DBEngine().Reset();
    DatabasePtr db = DBEngine().CreateDatabase(path, dbLangGeneral);
    daotest::MakeTable(*db, "Gone", {{"V", dbLong}});
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
        vtest::OtherProgram(path).Exec(r.sql); // its own connection, closed again
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

// The table "Result" as a run makes it: a Double column with a description
// and an index on it.
void makeResult(Database& db) {
    auto td = daotest::NewTableDef(db, "Result", {{"Mean", dbDouble}, {"Label", dbText, 20}});
    daotest::AddIndex(*td, "ByMean", {"Mean"});
    db.TableDefs().Append(td);
    db.TableDefs()("Result")->Fields()("Mean")->Properties().Append(
        db.TableDefs()("Result")->Fields()("Mean")->CreateProperty("Description", dbText, Variant("the mean")));
}

// A new database at `path` on a fresh engine, holding the table "Result".
DatabasePtr newResultDb(const std::string& path) {
    DBEngine().Reset();
    DatabasePtr db = DBEngine().CreateDatabase(path, dbLangGeneral);
    makeResult(*db);
    return db;
}

TEST(CatalogueChanges, ATableAnotherProgramDroppedOrRenamedIsMadeAgainWithoutDuplicateValues) {
    struct Row {
        const char* sql;  // what the other program does to Result
        bool reopen;      // the database is opened again afterwards (else it stays open)
        const char* why;
    } rows[] = {
        {"DROP TABLE Result", false, "dropped while the file is open"},
        {"DROP TABLE Result", true, "dropped, then the file opened again"},
        {"ALTER TABLE Result RENAME TO Kept", false, "renamed while the file is open (its index keeps its name)"},
        {"ALTER TABLE Result RENAME TO Kept", true, "renamed, then the file opened again"},
    };
    for (const Row& r : rows) {
        vtest::TempDir tmp;
        const std::string path = tmp.file("shared.db");
        DatabasePtr db = newResultDb(path);
        vtest::OtherProgram other(path);
        other.Exec(r.sql);
        if (r.reopen) {
            db->Close();
            db = DBEngine().OpenDatabase(path);
            // Opening for writing removes the rows of the table that is gone.
            for (const char* t : {"MSysColumns", "MSysIndexes"})
                EXPECT_EQ(other.Text(std::string("SELECT count(*) FROM ") + t + " WHERE TableName = 'Result'"), "0")
                    << r.why << ": " << t;
            EXPECT_EQ(other.Text("SELECT count(*) FROM MSysProperties WHERE ObjectName = 'Result'"), "0") << r.why;
        }
        // The same table again: no "duplicate values in the index".
        EXPECT_NO_THROW(makeResult(*db)) << r.why;
        auto result = db->TableDefs().Find("Result");
        ASSERT_NE(result, nullptr) << r.why;
        EXPECT_EQ(result->Fields()("Label")->Size(), 20) << r.why;
        db->Execute("INSERT INTO Result (Mean, Label) VALUES (2.5, 'x')");
        EXPECT_EQ(other.Text("PRAGMA integrity_check"), "ok") << r.why;
        db->Close();
        DBEngine().Reset();
    }
}

TEST(CatalogueChanges, ATableAnotherProgramMadeAnewUnderAnOldNameIsReadAsItIsNow) {
    vtest::TempDir tmp;
    const std::string path = tmp.file("shared.db");
    DatabasePtr db = newResultDb(path);
    {
        vtest::OtherProgram other(path);
        other.Exec("DROP TABLE Result; CREATE TABLE Result (Mean TEXT, Label REAL); "
                   "INSERT INTO Result VALUES ('high', 0.5)");
    }
    // The old rows say Double and Text(20); the file now holds a text and a real.
    const struct {
        const char* field;
        int type;
        const char* value;
    } cases[] = {{"Mean", dbText, "high"}, {"Label", dbDouble, "0.5"}};
    RecordsetPtr rs = db->OpenRecordset("SELECT * FROM Result", dbOpenSnapshot);
    for (const auto& c : cases) {
        EXPECT_EQ(db->TableDefs()("Result")->Fields()(c.field)->Type(), c.type) << c.field;
        EXPECT_EQ(rs->Fields(c.field)->Value().ToString(), c.value) << c.field;
    }
    rs->Close();
    db->Close();
    DBEngine().Reset();
}

} // namespace
