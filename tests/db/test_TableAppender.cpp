// The batch appender and the rowid-range reader on real files: where rows
// land, in which transaction, and that any other statement sees the rows a
// pending writer keeps back.
#include "DaoTestTables.h"
#include "db/Connection.h"
#include "db/Dao.h"
#include "db/TableAppender.h"
#include "db/TableRowReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

using namespace dao;

namespace {

class AppenderTest : public daotest::FreshEngine {
protected:
    void SetUp() override {
        FreshEngine::SetUp();
        db = DBEngine().Workspaces(0)->CreateDatabase(tmp.file("a.db"), dbLangGeneral);
        daotest::MakeTable(*db, "W", {{"F", dbInteger}, {"X", dbDouble}});
    }

    long count(Database& d, const std::string& where = "") {
        auto rs = d.OpenRecordset("SELECT Count(*) AS N FROM W" + where, dbOpenSnapshot);
        return rs->Fields("N")->Value().ToLong();
    }
    // Rows first .. last read back as F * 1000 + X.
    std::vector<double> read(std::int64_t first, std::int64_t last) {
        std::vector<double> out;
        TableRowReader r(db, "W", {"F", "X"}, first, last);
        while (r.Next()) out.push_back(r.Double(0) * 1000 + r.Double(1));
        return out;
    }

    DatabasePtr db;
};

} // namespace

TEST_F(AppenderTest, RowsLandInOrderAfterTheLargestRowidAndReadBackByRange) {
    db->Execute("INSERT INTO W (F, X) VALUES (9, 9)");
    // 150 rows: two full batches of 64 and a tail of 22.
    TableAppender a(db, "W", {"F", "X"});
    EXPECT_EQ(a.NextRowId(), 2);
    for (int i = 0; i < 150; ++i) a.Append({i % 3, 0.5 * i});
    EXPECT_EQ(a.NextRowId(), 152);
    a.Flush();
    EXPECT_EQ(count(*db), 151);
    // Whole numbers stay whole, halves stay halves.
    EXPECT_EQ(count(*db, " WHERE F = 2 AND X = 2.5"), 1);
    struct Case {
        std::int64_t first, last;
        std::vector<double> expected; // row r (r >= 2) holds F = (r-2) % 3, X = (r-2) / 2
        const char* why;
    } cases[] = {
        {1, 3, {9009, 0, 1000.5}, "the row before the appender, then its first two"},
        {66, 67, {1032, 2032.5}, "across the first batch's end"},
        {151, 200, {2074.5}, "the last row of the tail"},
        {152, 160, {}, "past the end"},
    };
    for (const Case& c : cases) EXPECT_EQ(read(c.first, c.last), c.expected) << c.why;
}

TEST_F(AppenderTest, WithoutATransactionRowsAreCommittedAtFlushAndDroppedWithoutIt) {
    auto other = [&] {
        // A second connection sees only what was committed.
        auto d = DBEngine().Workspaces(0)->OpenDatabase(tmp.file("a.db"));
        long n = count(*d);
        d->Close();
        return n;
    };
    {
        TableAppender a(db, "W", {"F", "X"});
        for (int i = 0; i < 100; ++i) a.Append({1, 1.0 * i});
        a.Flush();
    }
    EXPECT_EQ(other(), 100);
    {
        TableAppender a(db, "W", {"F", "X"});
        for (int i = 0; i < 100; ++i) a.Append({1, 1.0 * i}); // a batch of 64 already written
    }
    EXPECT_EQ(other(), 100) << "rows not flushed are rolled back";
    EXPECT_EQ(count(*db), 100);
}

TEST_F(AppenderTest, InsideAWorkspaceTransactionRowsFollowItsRollback) {
    auto ws = DBEngine().Workspaces(0);
    ws->BeginTrans();
    {
        TableAppender a(db, "W", {"F", "X"});
        for (int i = 0; i < 70; ++i) a.Append({1, 1.0 * i});
        a.Flush();
    }
    EXPECT_EQ(count(*db), 70);
    ws->Rollback();
    EXPECT_EQ(count(*db), 0);
}

TEST_F(AppenderTest, ARowOfTheWrongWidthOrAMissingTableIsRefused) {
    TableAppender a(db, "W", {"F", "X"});
    EXPECT_EQ(daotest::ErrorNumberOf([&] { a.Append({1, 2.0, 3.0}); }), 3001) << "three values for two columns";
    EXPECT_THROW(TableAppender(db, "Missing", {"F"}), DaoError);
}

namespace {
// Keeps rows back and writes them when the connection asks.
class Held : public PendingWriter {
public:
    explicit Held(DatabasePtr d) : db(std::move(d)) {}
    void WritePending() override {
        ++asked;
        for (double x : held) db->Execute("INSERT INTO W (F, X) VALUES (1, " + std::to_string(x) + ")");
        held.clear();
    }
    DatabasePtr db;
    std::vector<double> held;
    int asked = 0;
};
} // namespace

TEST_F(AppenderTest, APendingWriterWritesBeforeAnyOtherStatementAndIsNotAskedFromItsOwn) {
    Held w(db);
    db->conn()->AddPendingWriter(&w);
    // Each statement finds the held 1 and 2 written, once: the writer's own
    // inserts do not ask it again (that would write them over and over).
    const std::vector<std::pair<std::function<void()>, const char*>> statements = {
        {[&] { EXPECT_EQ(count(*db), 2); }, "a query through a recordset"},
        {[&] { db->Execute("DELETE * FROM W WHERE X = 2"); }, "an action query (1, 1 left)"},
        {[&] { db->TableDefs().Refresh(); }, "the catalogue (1, 1, 1, 2)"},
    };
    for (const auto& [run, why] : statements) {
        w.held = {1, 2};
        run();
        EXPECT_TRUE(w.held.empty()) << why;
    }
    EXPECT_EQ(count(*db), 4);
    db->conn()->RemovePendingWriter(&w);
    w.held = {5};
    const int asked = w.asked;
    EXPECT_EQ(count(*db), 4) << "a removed writer is not asked";
    EXPECT_EQ(w.asked, asked);
}

TEST_F(AppenderTest, RowsWithABlobLandWholeAndAReaderMovesToAnotherStretch) {
    daotest::MakeTable(*db, "B", {{"F", dbInteger}, {"R", dbLongBinary}});
    // Row i (1 .. 100) holds F = i and a blob of i doubles i + k/8 (k < i),
    // the source buffer overwritten after each append.
    for (std::size_t perStatement : {std::size_t(1), std::size_t(64)}) {
        db->Execute("DELETE FROM B");
        TableAppender a(db, "B", {"F", "R"}, perStatement);
        std::vector<double> buffer;
        for (int i = 1; i <= 100; ++i) {
            buffer.clear();
            for (int k = 0; k < i; ++k) buffer.push_back(i + k / 8.0);
            a.Append({i}, buffer.data(), buffer.size() * sizeof(double));
            std::fill(buffer.begin(), buffer.end(), -1.0);
        }
        a.Flush();
        // Each blob read back whole: its length and its last value.
        auto blobs = [&](TableRowReader& r) {
            std::vector<std::pair<double, double>> out;
            while (r.Next()) {
                const int n = r.Bytes(1) / static_cast<int>(sizeof(double));
                double last = 0;
                std::memcpy(&last, r.Blob(1) + (n - 1) * sizeof(double), sizeof(double));
                out.push_back({r.Double(0) * 1000 + n, last});
            }
            return out;
        };
        TableRowReader r(db, "B", {"F", "R"}, 1, 2);
        EXPECT_EQ(blobs(r), (std::vector<std::pair<double, double>>{{1001, 1}, {2002, 2.125}})) << perStatement;
        r.Rewind(99, 120);
        EXPECT_EQ(blobs(r), (std::vector<std::pair<double, double>>{{99099, 99 + 98 / 8.0}, {100100, 100 + 99 / 8.0}}))
            << perStatement << ": the same reader on another stretch";
        // Numbers and a blob for more columns than the table's are refused.
        EXPECT_THROW(a.Append({1, 2}, buffer.data(), 8), DaoError);
    }
}

TEST_F(AppenderTest, AStoredValueBesideABlobIsKeptPastTheCall) {
    daotest::MakeTable(*db, "VB", {{"T", dbMemo}, {"R", dbLongBinary}});
    TableAppender a(db, "VB", {"T", "R"});
    const double one = 1.5;
    for (int i = 0; i < 3; ++i) {
        const Variant text("text " + std::to_string(i)); // gone when the call returns
        a.Append({text}, &one, sizeof one);
    }
    a.Flush();
    TableRowReader r(db, "VB", {"T", "R"}, 1, 3);
    std::vector<std::string> got;
    while (r.Next()) {
        EXPECT_EQ(r.Bytes(1), static_cast<int>(sizeof(double)));
        got.push_back(r.Value(0, dbText).ToString());
    }
    EXPECT_EQ(got, (std::vector<std::string>{"text 0", "text 1", "text 2"}));
}

TEST_F(AppenderTest, StoredValuesBesideNumbersComeBackAsARecordsetReadsThem) {
    auto td = daotest::NewTableDef(*db, "V", {{"F", dbInteger}, {"T", dbMemo}});
    td->Fields()("T")->SetAllowZeroLength(true);
    db->TableDefs().Append(td);
    // value, why
    const struct {
        Variant v;
        const char* why;
    } cases[] = {
        {Variant("row a"), "a text"},
        {Variant::Null(), "Null stays Null"},
        {Variant(std::string(300, 'x')), "a long text kept whole"},
        {Variant(""), "an empty text is no Null"},
        {Variant("Ünïcode"), "bytes kept as they are"},
    };
    // 70 rows: the values cross the end of the first batch of 64.
    TableAppender a(db, "V", {"F", "T"});
    for (int i = 0; i < 70; ++i) a.Append({i, cases[static_cast<std::size_t>(i) % 5].v});
    a.Flush();
    TableRowReader r(db, "V", {"F", "T"}, 1, 70);
    int i = 0;
    for (; r.Next(); ++i) {
        const auto& c = cases[static_cast<std::size_t>(i) % 5];
        SCOPED_TRACE(c.why);
        EXPECT_EQ(r.Double(0), i);
        const Variant got = r.Value(1, dbText);
        EXPECT_EQ(got.IsNull(), c.v.IsNull());
        if (!c.v.IsNull()) {
            EXPECT_EQ(got.ToString(), c.v.ToString());
        }
    }
    EXPECT_EQ(i, 70);
}
