// Tables added or dropped by another program while a database is open are
// seen at the next look at the table definitions, without reopening; the
// layer's own catalogue follows what the other program did.
#include "DaoTestTables.h"
#include "db/Dao.h"
#include "db/Connection.h"
#include "support/OtherProgram.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

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

namespace {

// Ends the process at once inside the commit of the transaction whose number
// (1, 2, ...) it is on the connection, before that transaction is on disk.
int gKillAtCommit = 0;
int gCommits = 0;
int killAtCommit(void*) {
    if (++gCommits == gKillAtCommit) ::kill(::getpid(), SIGKILL);
    return 0;
}

} // namespace

// A file another program made (no catalogue of this system's yet) is given
// its catalogue at the first table, query or property made in it: the
// scenario tables the application offers to add, say. The catalogue's tables
// were made one transaction each, and whether a file had one was told by its
// first table alone: a program killed after that first one left a file that
// passed for catalogued without the others, and it no longer opened ("no
// such table: MSysDb"), nor could anything be made in it. Killed at any
// commit, the file now opens and takes new tables, queries and properties;
// so does a file that an earlier version left with the first of the
// catalogue's tables alone (commit 0 below).
TEST(CatalogueChanges, AProgramKilledWhileItMadeTheCatalogueOfAnotherProgramsFileLeavesAFileThatOpens) {
    vtest::TempDir tmp;
    for (int commit = 0; commit <= 6; ++commit) {
        SCOPED_TRACE("killed at commit " + std::to_string(commit));
        const std::string path = tmp.file("theirs" + std::to_string(commit) + ".db");
        vtest::OtherProgram(path).Exec("CREATE TABLE Theirs (V INTEGER); INSERT INTO Theirs VALUES (5);");
        if (commit == 0)
            vtest::OtherProgram(path).Exec(
                "CREATE TABLE MSysColumns ("
                " TableName TEXT NOT NULL COLLATE NOCASE, Name TEXT NOT NULL COLLATE NOCASE,"
                " Type INTEGER NOT NULL, Size INTEGER NOT NULL DEFAULT 0, Attributes INTEGER NOT NULL DEFAULT 2,"
                " AllowZeroLength INTEGER NOT NULL DEFAULT 0, Required INTEGER NOT NULL DEFAULT 0,"
                " DefaultValue TEXT, ValidationRule TEXT, ValidationText TEXT,"
                " OrdinalPosition INTEGER NOT NULL DEFAULT 0, CollatingOrder INTEGER NOT NULL DEFAULT 1033,"
                " PRIMARY KEY (TableName, Name));");
        DBEngine().Reset();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (commit == 0) ::_exit(0);
            DatabasePtr db = DBEngine().OpenDatabase(path);
            gKillAtCommit = commit;
            sqlite3_commit_hook(db->conn()->handle(), killAtCommit, nullptr);
            daotest::MakeTable(*db, "Mine", {{"W", dbLong}});
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        ASSERT_TRUE(killed || (WIFEXITED(status) && WEXITSTATUS(status) == 0));

        DatabasePtr db;
        try {
            db = DBEngine().OpenDatabase(path);
        } catch (const DaoError& e) {
            ADD_FAILURE() << "the file does not open: " << e.Description();
            continue;
        }
        EXPECT_NE(db->TableDefs().Find("Theirs"), nullptr);
        try {
            if (!db->TableDefs().Find("Mine")) daotest::MakeTable(*db, "Mine", {{"W", dbLong}});
            db->CreateQueryDef("qTheirs", "SELECT V FROM Theirs");
            FieldPtr w = db->TableDefs()("Mine")->Fields()("W");
            w->Properties().Append(w->CreateProperty("Description", dbText, Variant("mine")));
        } catch (const DaoError& e) {
            ADD_FAILURE() << "nothing can be made in the file: " << e.Description();
        }
        db->Close();
        DBEngine().Reset();
        // Everything made is there for the next program that opens it.
        try {
            db = DBEngine().OpenDatabase(path);
            EXPECT_NE(db->TableDefs().Find("Mine"), nullptr);
            RecordsetPtr rs = db->OpenRecordset("qTheirs", dbOpenSnapshot);
            ASSERT_FALSE(rs->EOF_());
            EXPECT_EQ(rs->GetValue(0).ToDouble(), 5.0);
            rs->Close();
            EXPECT_EQ(db->TableDefs()("Mine")->Fields()("W")->Properties()("Description")->Value().ToString(), "mine");
            db->Close();
        } catch (const DaoError& e) {
            ADD_FAILURE() << "the file does not open again: " << e.Description();
        }
        DBEngine().Reset();
    }
}
