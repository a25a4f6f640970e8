// Rows added through a recordset: what a caller reads back of them (the row
// by LastModified, bookmarks, walking, editing and deleting them), whatever
// keys SQLite gave them, and the key list that holds no memory for rows
// added one after another.
#include "DaoTestTables.h"
#include "db/Dao.h"
#include "db/RowKeys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using namespace dao;

namespace {

// ---- the key list --------------------------------------------------------------------

// The keys of a table filled in order, then of rows added, as positions read
// them: rows added one after another cost no run of their own, and keys
// scattered so that runs would take more room are held one by one.
TEST(RowKeys, AddedKeysReadBackByPositionAndConsecutiveKeysHoldOneRun) {
    auto range = [](std::int64_t from, std::int64_t count, std::int64_t by = 1) {
        std::vector<std::int64_t> v;
        for (std::int64_t i = 0; i < count; ++i)
            v.push_back(from + i * by);
        return v;
    };
    auto join = [](std::vector<std::vector<std::int64_t>> parts) {
        std::vector<std::int64_t> v;
        for (auto& p : parts)
            v.insert(v.end(), p.begin(), p.end());
        return v;
    };
    auto pairsAndSingles = [] {
        std::vector<std::int64_t> v;
        for (std::int64_t i = 0; i < 50; ++i)
            v.insert(v.end(), {6 * i + 1, 6 * i + 2, 6 * i + 4});
        return v;
    };
    struct Case {
        const char* why;
        std::vector<std::int64_t> keys;
        std::size_t runs; // 0: one by one
    };
    const Case cases[] = {
        {"a table filled in order, then 100000 rows added", range(1, 200000), 1},
        {"rows added after a hole that deletes left", join({range(1, 10), range(50, 100000)}), 2},
        {"a key set by hand between added rows", join({range(1, 3), {1000}, range(1001, 5), {7}}), 3},
        {"keys that go down", join({range(10, 3), range(1, 3)}), 2},
        {"one key", {42}, 1},
        {"every other key: runs would take twice the room", range(1, 1000, 2), 0},
        {"scattered, then many added in order", join({range(1, 40, 3), range(200, 100000)}), 0},
        {"runs of two and one in turn", pairsAndSingles(), 0},
        {"negative and large keys", join({{-5, -4, -3}, {INT64_MAX - 1, INT64_MAX}}), 2},
    };
    for (const Case& c : cases) {
        RowKeys keys;
        for (std::int64_t k : c.keys)
            keys.push_back(k);
        ASSERT_EQ(keys.size(), c.keys.size()) << c.why;
        for (std::size_t i = 0; i < c.keys.size(); ++i)
            ASSERT_EQ(keys[i], c.keys[i]) << c.why << " at " << i;
        EXPECT_EQ(keys.Runs(), c.runs) << c.why;
    }
}

// ---- recordsets ------------------------------------------------------------------------

class RowsAdded : public daotest::FreshEngine {
protected:
    void SetUp() override {
        FreshEngine::SetUp();
        db = DBEngine().CreateDatabase(tmp.file("added.db"), dbLangGeneral);
        auto td = daotest::NewTableDef(*db, "T", {{"ID", dbLong}, {"V", dbLong}});
        td->Fields()("ID")->SetAttributes(dbAutoIncrField);
        daotest::AddIndex(*td, "PrimaryKey", {"ID"}, true);
        db->TableDefs().Append(td);
    }
    void TearDown() override {
        db->Close();
        FreshEngine::TearDown();
    }

    // The V values as the recordset walks them from the first row.
    static std::vector<long> walk(Recordset& rs) {
        std::vector<long> seen;
        if (rs.RecordCount() == 0)
            return seen;
        rs.MoveFirst();
        for (; !rs.EOF_(); rs.MoveNext())
            seen.push_back(rs.Fields("V")->Value().ToLong());
        return seen;
    }

    static void add(Recordset& rs, long v, long id = 0) {
        rs.AddNew();
        if (id)
            rs.Fields("ID")->SetValue(id);
        rs.Fields("V")->SetValue(v);
        rs.Update();
    }

    DatabasePtr db;
};

// However the keys of the rows fall (one after another, after rows another
// program deleted, set by hand, interleaved with rows another program
// added), a recordset reads the rows it added back by LastModified, by a
// bookmark and by walking, edits and deletes them, and counts them.
TEST_F(RowsAdded, RowsAddedReadBackByBookmarkWalkEditAndDelete) {
    struct Case {
        const char* why;
        std::vector<long> before;   // V of rows in the table before opening
        std::vector<long> deleted;  // of those, V of rows deleted before opening
        std::vector<long> added;    // V added through the recordset
        long byHandAt;              // index into added whose ID is set by hand, above all others (-1: none)
        long otherAt;               // after this index another program adds V = 999 (-1: none)
    };
    const Case cases[] = {
        {"empty table, rows one after another", {}, {}, {1, 2, 3, 4, 5, 6}, -1, -1},
        {"rows after rows with holes", {10, 11, 12, 13, 14, 15}, {11, 13}, {1, 2, 3}, -1, -1},
        {"a row with its key set by hand", {10}, {}, {1, 2, 3, 4}, 1, -1},
        {"rows interleaved with another program's", {}, {}, {1, 2, 3, 4}, -1, 1},
    };
    for (int type : {int(dbOpenDynaset), int(dbOpenTable)}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.why) + (type == dbOpenTable ? " (table)" : " (dynaset)"));
            db->Execute("DELETE * FROM T");
            for (long v : c.before)
                db->Execute("INSERT INTO T (V) VALUES (" + std::to_string(v) + ")");
            for (long v : c.deleted)
                db->Execute("DELETE * FROM T WHERE V = " + std::to_string(v));
            std::vector<long> expected;
            for (long v : c.before)
                if (std::find(c.deleted.begin(), c.deleted.end(), v) == c.deleted.end())
                    expected.push_back(v);

            auto rs = db->OpenRecordset("T", type);
            Recordset::Bookmark second;
            for (std::size_t i = 0; i < c.added.size(); ++i) {
                add(*rs, c.added[i], static_cast<long>(i) == c.byHandAt ? (type == dbOpenTable ? 200000L : 100000L) : 0);
                expected.push_back(c.added[i]);
                rs->SetBookmark(rs->LastModified());
                EXPECT_EQ(rs->Fields("V")->Value().ToLong(), c.added[i]) << "LastModified after " << i;
                if (i == 1)
                    second = rs->GetBookmark();
                if (static_cast<long>(i) == c.otherAt)
                    db->Execute("INSERT INTO T (V) VALUES (999)"); // not in this recordset
            }
            EXPECT_EQ(walk(*rs), expected);
            EXPECT_EQ(rs->RecordCount(), static_cast<long>(expected.size()));

            // Back to the second row added by its bookmark; edit it.
            rs->MoveFirst();
            rs->SetBookmark(second);
            EXPECT_EQ(rs->Fields("V")->Value().ToLong(), c.added[1]);
            rs->Edit();
            rs->Fields("V")->SetValue(-2);
            rs->Update();
            // Delete the last row added.
            rs->SetBookmark(rs->LastModified());
            EXPECT_EQ(rs->Fields("V")->Value().ToLong(), -2);
            rs->MoveLast();
            rs->Delete();
            std::vector<long> after = expected;
            after[after.size() - c.added.size() + 1] = -2;
            after.pop_back();
            EXPECT_EQ(walk(*rs), after);
            rs->Close();

            // The file holds what the recordset says (and the other program's row).
            EXPECT_EQ(daotest::ColumnOf(*db, "SELECT V FROM T WHERE V <> 999 ORDER BY ID"), after);
        }
    }
}

} // namespace

namespace {

// A writer that fills a different set of columns on different rows (ten
// sets in turn, more than the inserts a recordset keeps prepared): every
// row holds exactly the values set on it and Null elsewhere, whichever
// prepared insert wrote it.
TEST_F(RowsAdded, RowsFillingDifferentColumnsInTurnKeepEachValueInItsColumn) {
    daotest::MakeTable(*db, "W", {{"A", dbLong}, {"B", dbLong}, {"C", dbLong}, {"D", dbLong}});
    // Set k fills column c when bit c of (k + 1) is set: ten different sets.
    auto fills = [](int k, int c) { return ((k % 10 + 1) >> c) & 1; };
    auto rs = db->OpenRecordset("W", dbOpenDynaset, dbAppendOnly);
    for (int k = 0; k < 40; ++k) {
        rs->AddNew();
        for (int c = 0; c < 4; ++c)
            if (fills(k, c)) rs->Fields(std::string(1, static_cast<char>('A' + c)))->SetValue(100 * k + c);
        rs->Update();
    }
    rs->Close();
    auto read = db->OpenRecordset("SELECT A, B, C, D FROM W ORDER BY rowid", dbOpenSnapshot);
    int k = 0;
    for (; !read->EOF_(); read->MoveNext(), ++k) {
        for (int c = 0; c < 4; ++c) {
            const Variant v = read->Fields(c)->Value();
            if (fills(k, c))
                EXPECT_EQ(v.ToLong(), 100 * k + c) << "row " << k << " column " << c;
            else
                EXPECT_TRUE(v.IsNull()) << "row " << k << " column " << c;
        }
    }
    EXPECT_EQ(k, 40);
}

} // namespace
