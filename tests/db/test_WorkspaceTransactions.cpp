// Workspace transactions on real files: what joins them and what a rollback
// undoes.
#include "db/Dao.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>

using namespace dao;

namespace {

class TransactionTest : public ::testing::Test {
protected:
    void SetUp() override {
        DBEngine().Reset();
        ws = DBEngine().Workspaces(0);
        db = ws->CreateDatabase(tmp.file("t.db"), dbLangGeneral);
        makeTable(*db);
    }
    void TearDown() override { DBEngine().Reset(); }

    // Table T with the values 1, 2, 3.
    static void makeTable(Database& d) {
        auto td = d.CreateTableDef("T");
        td->Fields().Append(td->CreateField("X", dbDouble));
        d.TableDefs().Append(td);
        for (int v : {1, 2, 3}) d.Execute("INSERT INTO T (X) VALUES (" + std::to_string(v) + ")");
    }
    static std::vector<double> values(Database& d) {
        std::vector<double> out;
        for (auto rs = d.OpenRecordset("SELECT X FROM T ORDER BY X", dbOpenSnapshot); !rs->EOF_(); rs->MoveNext())
            out.push_back(rs->Fields("X")->Value().ToDouble());
        return out;
    }

    vtest::TempDir tmp;
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
    auto td = db->CreateTableDef("New");
    td->Fields().Append(td->CreateField("Y", dbText, 10));
    db->TableDefs().Append(td);
    ASSERT_TRUE(db->TableDefs().Find("New"));
    ws->Rollback();
    // No Refresh: the collection itself must know the table is gone.
    EXPECT_FALSE(db->TableDefs().Find("New"));
    EXPECT_THROW(db->OpenRecordset("New"), DaoError);
    auto again = db->CreateTableDef("New");
    again->Fields().Append(again->CreateField("Y", dbText, 10));
    EXPECT_NO_THROW(db->TableDefs().Append(again));
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
