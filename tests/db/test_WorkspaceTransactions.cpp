// Workspace transactions on real files: what joins them and what a rollback
// undoes.
#include "DaoTestTables.h"
#include "db/Dao.h"
#include "support/LockWait.h"
#include "support/OtherProgram.h"

#include <gtest/gtest.h>

#include <functional>

using namespace dao;

namespace {

class TransactionTest : public daotest::FreshEngine {
protected:
    void SetUp() override {
        FreshEngine::SetUp();
        ws = DBEngine().Workspaces(0);
        db = ws->CreateDatabase(tmp.file("t.db"), dbLangGeneral);
        makeTable(*db);
    }

    // Table T with the values 1, 2, 3.
    static void makeTable(Database& d) {
        daotest::MakeTable(d, "T", {{"X", dbDouble}});
        for (int v : {1, 2, 3}) d.Execute("INSERT INTO T (X) VALUES (" + std::to_string(v) + ")");
    }
    static std::vector<double> values(Database& d) { return daotest::ColumnOf<double>(d, "SELECT X FROM T ORDER BY X"); }

    WorkspacePtr ws;
    DatabasePtr db;
};

TEST_F(TransactionTest, ADatabaseOpenedInsideAnOpenTransactionJoinsIt) {
    {
        auto other = ws->CreateDatabase(tmp.file("other.db"), dbLangGeneral);
        makeTable(*other);
        other->Close();
    }
    ws->BeginTrans();
    auto other = ws->OpenDatabase(tmp.file("other.db"));
    other->Execute("DELETE FROM T");
    db->Execute("DELETE FROM T");
    ws->Rollback();
    EXPECT_EQ(values(*other), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(values(*db), (std::vector<double>{1, 2, 3}));
}

TEST_F(TransactionTest, ARolledBackTableCreationLeavesNoTableInTheCatalogue) {
    ws->BeginTrans();
    daotest::MakeTable(*db, "New", {{"Y", dbText, 10}});
    ASSERT_TRUE(db->TableDefs().Find("New"));
    ws->Rollback();
    // No Refresh: the collection itself must know the table is gone.
    EXPECT_FALSE(db->TableDefs().Find("New"));
    EXPECT_THROW(db->OpenRecordset("New"), DaoError);
    EXPECT_NO_THROW(daotest::MakeTable(*db, "New", {{"Y", dbText, 10}}));
}

TEST_F(TransactionTest, WritesThroughARecordsetAreRolledBack) {
    const struct {
        const char* what;
        std::function<void(Recordset&)> write;
    } cases[] = {
        {"AddNew", [](Recordset& rs) { rs.AddNew(); rs.Fields("X")->SetValue(4.0); rs.Update(); }},
        {"Edit", [](Recordset& rs) { rs.Edit(); rs.Fields("X")->SetValue(10.0); rs.Update(); }},
        {"Delete", [](Recordset& rs) { rs.Delete(); }},
    };
    for (const auto& c : cases) {
        for (int type : {int(dbOpenTable), int(dbOpenDynaset)}) {
            ws->BeginTrans();
            auto rs = db->OpenRecordset("T", type);
            c.write(*rs);
            rs->Close();
            ASSERT_NE(values(*db), (std::vector<double>{1, 2, 3})) << c.what << ": nothing was written";
            ws->Rollback();
            EXPECT_EQ(values(*db), (std::vector<double>{1, 2, 3})) << c.what << " type " << type;
        }
    }
}

TEST_F(TransactionTest, ACommitThatAReaderKeepsFromTheFileIsRolledBackAndReleasesTheFile) {
    // Another program reads the file for longer than a commit waits for it.
    vtest::LockWaitLimitScope shortWait(std::chrono::milliseconds(200));
    const struct {
        const char* how;
        std::function<void()> end; // ends the transaction whose commit failed
    } cases[] = {
        {"Rollback after the failed CommitTrans", [this] { ws->Rollback(); }},
        {"a guard that was to commit", [this] {
             TransactionGuard tx(*ws);
             db->Execute("INSERT INTO T (X) VALUES (5)");
             EXPECT_EQ(daotest::ErrorNumberOf([&] { tx.Commit(); }), 3045);
         }},
        {"a guard that took the file's write lock first", [this] {
             TransactionGuard tx(*ws, *db);
             db->Execute("INSERT INTO T (X) VALUES (6)");
             EXPECT_EQ(daotest::ErrorNumberOf([&] { tx.Commit(); }), 3045);
         }},
    };
    for (const auto& c : cases) {
        vtest::OtherProgram other(tmp.file("t.db"));
        other.Exec("BEGIN");
        ASSERT_EQ(other.Text("SELECT count(*) FROM T"), "3");
        if (c.how[0] == 'R') {
            ws->BeginTrans();
            db->Execute("INSERT INTO T (X) VALUES (4)");
            EXPECT_EQ(daotest::ErrorNumberOf([&] { ws->CommitTrans(); }), 3045) << c.how;
        }
        EXPECT_NO_THROW(c.end()) << c.how;
        EXPECT_EQ(ws->TransactionLevel(), 0) << c.how;
        other.Exec("COMMIT");
        // The file is free again: another program may write it, and what
        // this program writes from now on is committed, not held in a
        // transaction that the close would roll back.
        other.Exec("BEGIN IMMEDIATE; INSERT INTO T (X) VALUES (7); COMMIT");
        db->Execute("DELETE FROM T WHERE X = 7");
        EXPECT_EQ(other.Text("SELECT group_concat(X, ' ') FROM (SELECT X FROM T ORDER BY X)"), "1.0 2.0 3.0") << c.how;
    }
}

TEST_F(TransactionTest, ATransactionAFullDiskEndedIsOverForTheWorkspaceToo) {
    // The file may grow by a few pages only: the inserts fill it, and the
    // database ends the whole transaction.
    db->conn()->Exec(SystemSql("PRAGMA max_page_count = 8"));
    ws->BeginTrans();
    EXPECT_EQ(daotest::ErrorNumberOf([&] {
                  for (int i = 0; i < 20; ++i) db->Execute("INSERT INTO T (X) SELECT X FROM T");
              }),
              3026); // "Not enough space on disk."
    EXPECT_NO_THROW(ws->Rollback());
    EXPECT_EQ(ws->TransactionLevel(), 0);
    EXPECT_EQ(values(*db), (std::vector<double>{1, 2, 3}));
    // A database opened afterwards is in no transaction: what it writes is
    // kept when it closes.
    auto later = ws->CreateDatabase(tmp.file("later.db"), dbLangGeneral);
    makeTable(*later);
    later->Close();
    later = ws->OpenDatabase(tmp.file("later.db"));
    EXPECT_EQ(values(*later), (std::vector<double>{1, 2, 3}));
}

} // namespace
