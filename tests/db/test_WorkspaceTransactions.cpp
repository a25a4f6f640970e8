// Workspace transactions on real files: what joins them and what a rollback
// undoes.
#include "DaoTestTables.h"
#include "db/Dao.h"

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

} // namespace
