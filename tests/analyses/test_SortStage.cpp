// The staging of a group's values: in memory up to the limit, in the sort
// table of the engine's temporary database beyond it, with the table's life
// cycle between groups.
#include "AnalysisFixture.h"
#include "analyses/descriptive/CDescribe.h"
#include "engine/SortStage.h"
#include "support/AnalysisSeam.h"

#include <algorithm>
#include <array>
#include <vector>

using namespace dao;
using namespace atest;

namespace {

std::vector<std::pair<double, double>> scan(SortStage& st, std::int16_t field) {
    std::vector<std::pair<double, double>> out;
    st.Scan(field, [&](double x, double w) { out.emplace_back(x, w); });
    return out;
}

using ByField = std::array<std::vector<std::pair<double, double>>, 3>; // indexed by field 1 .. 2

// Adds `n` values to fields 1 and 2 of the stage's group (value i goes to
// fieldOf(i) as valueOf(i), weighing 1, or 1 + i mod 4 where weighted) and
// gives them back by field, as added.
template <class FieldOf, class ValueOf>
ByField addValues(SortStage& st, int n, bool weighted, FieldOf fieldOf, ValueOf valueOf) {
    ByField added;
    for (int i = 0; i < n; ++i) {
        const auto f = static_cast<std::int16_t>(fieldOf(i));
        const double x = valueOf(i);
        const double w = weighted ? 1 + i % 4 : 1;
        st.Add(f, x, w);
        added[static_cast<std::size_t>(f)].emplace_back(x, w);
    }
    return added;
}

// Each field of a stage comes back ordered by value and holding exactly the
// (value, weight) pairs added to it.
void expectEachFieldSortedAsAdded(SortStage& st, ByField& added, const char* why) {
    for (std::int16_t f = 1; f <= 2; ++f) {
        auto got = scan(st, f);
        EXPECT_TRUE(std::is_sorted(got.begin(), got.end(),
                                   [](const auto& a, const auto& b) { return a.first < b.first; }))
            << why << ", field " << f;
        std::sort(got.begin(), got.end());
        std::sort(added[static_cast<std::size_t>(f)].begin(), added[static_cast<std::size_t>(f)].end());
        EXPECT_EQ(got, added[static_cast<std::size_t>(f)]) << why << ", field " << f;
    }
}

bool tempTableExists(RunContext& eng) {
    eng.TempDatabase()->TableDefs().Refresh();
    return eng.TempDatabase()->TableDefs().Find("statTemp1") != nullptr;
}

long tableRows(RunContext& eng) {
    auto rs = eng.TempDatabase()->OpenRecordset("SELECT Count(*) AS N FROM statTemp1;", dbOpenSnapshot);
    return rs->Fields("N")->Value().ToLong();
}

// A run on the test's database with its temporary database made, where the
// stages keep their tables.
class SortStageTest : public AnalysisTest {
protected:
    void SetUp() override {
        AnalysisTest::SetUp();
        vtest::BeginRun(eng, db);
        ASSERT_TRUE(eng.Quorb_UTIL_MakeTempDB());
    }
    RunContext eng;
};

} // namespace

TEST_F(SortStageTest, SortStageKeepsSmallGroupsInMemoryAndMovesLargeOnesToTheTable) {
    std::size_t old = SortStage::SetMemoryLimit(4);
    // As in the analyses, the staging runs inside a transaction.
    auto ws = DBEngine().Workspaces(0);
    ws->BeginTrans();
    {
        SortStage st(eng, 2);
        struct Group {
            std::vector<std::pair<std::int16_t, double>> values; // field, value (weight = value / 10)
            bool inTable;
            bool tableAfter; // the table exists once the group is staged
        };
        std::vector<Group> groups = {
            {{{1, 3}, {2, 9}, {1, 1}}, false, false},                         // fits in memory
            {{{1, 5}, {1, 2}, {2, 7}, {1, 8}, {2, 1}, {1, 4}}, true, true},   // moves to the table
            {{{2, 6}, {1, 2}}, false, true},                                  // emptied table stays
        };
        Group big{{}, true, true}; // 600 values: the table is dropped after this group
        for (int i = 0; i < 600; ++i) big.values.push_back({1, static_cast<double>((i * 7) % 600)});
        groups.push_back(big);
        groups.push_back({{{1, 1}}, false, false});
        for (const auto& g : groups) {
            st.BeginGroup();
            for (const auto& [f, x] : g.values) st.Add(f, x, x / 10);
            EXPECT_EQ(st.InTable(), g.inTable);
            EXPECT_EQ(st.Rows(), static_cast<std::int32_t>(g.values.size()));
            EXPECT_EQ(tempTableExists(eng), g.tableAfter);
            if (g.inTable) {
                EXPECT_EQ(tableRows(eng), static_cast<long>(g.values.size()));
            }
            for (std::int16_t f = 1; f <= 2; ++f) {
                std::vector<std::pair<double, double>> expected;
                for (const auto& [vf, x] : g.values)
                    if (vf == f) expected.emplace_back(x, x / 10);
                std::sort(expected.begin(), expected.end());
                EXPECT_EQ(scan(st, f), expected) << "field " << f;
            }
        }
        st.Close();
        EXPECT_FALSE(tempTableExists(eng));
    }
    ws->CommitTrans();
    SortStage::SetMemoryLimit(old);
}

TEST_F(SortStageTest, PercentilesFromTheSortTableByBothRules) {
    SortStage::CreateSortTemp(eng, "statTemp1");
    auto rs = eng.TempDatabase()->OpenRecordset("statTemp1", dbOpenTable, dbAppendOnly);
    // Field 1: 4, 1, 3, 2 (weight 1); field 2: 3 (weight 2), 1 (1), 2 (1).
    const double rows[][3] = {{1, 4, 1}, {2, 3, 2}, {1, 1, 1}, {2, 1, 1}, {1, 3, 1}, {2, 2, 1}, {1, 2, 1}};
    for (const auto& r : rows) {
        rs->AddNew();
        rs->Fields("Field")->SetValue(static_cast<std::int16_t>(r[0]));
        rs->Fields("Data")->SetValue(r[1]);
        rs->Fields("Weight")->SetValue(r[2]);
        rs->Update();
    }
    rs->Close();
    std::vector<double> q;
    CDescribe::Quorb_CalcPcntiles(1, false, 4, 4.0, q, eng);
    EXPECT_EQ(q, (std::vector<double>{1, 1.75, 2.5, 3.25, 4}));
    std::vector<double> m;
    CDescribe::Quorb_CalcPcntiles(2, true, 2, 4.0, m, eng);
    EXPECT_EQ(m, (std::vector<double>{1, 2, 3}));
    // A field without rows leaves the array as it was.
    std::vector<double> none = {9, 9, 9};
    CDescribe::Quorb_CalcPcntiles(3, false, 2, 0.0, none, eng);
    EXPECT_EQ(none, (std::vector<double>{9, 9, 9}));
    EXPECT_NO_THROW(CDescribe::Quorb_CalcPcntiles(3, false, 2, 0.0, none, eng)); // a failure would throw
}

// Values over two fields, ((i * 7919) mod d, less d / 2) / 8 with d
// distinct values (many ties where d is small), weights 1 or, in the
// weighted rows, 1 + i mod 4; the stage of rows with a limit set on it, or
// the stage of values under its own memory (packed runs beyond it).
// Expected: each field's (value, weight) pairs as added, ordered by value;
// among equal values the stage may give the weights in any order, so both
// sides are compared with ties broken by weight.
TEST_F(SortStageTest, SortStageGivesEveryValueInOrderHeldSpiltOrPacked) {
    struct Case {
        bool values;       // the stage of values, under its own memory
        std::size_t limit; // rows held by the stage of rows (0: its default)
        int n, distinct;
        bool weighted, inTable;
        const char* why;
    };
    const Case cases[] = {
        {false, 0, 3000, 101, false, false, "the default limit: in memory, several blocks per field"},
        {false, 0, 3000, 101, true, false, "the same with weights"},
        {false, 1, 3000, 101, false, true, "a run after every value"},
        {false, 7, 3000, 101, true, true, "short runs with weights"},
        {false, 1000, 3000, 101, false, true, "three runs and a remainder"},
        {true, 0, 20000, 50021, false, false, "10,000 values a field: held"},
        {true, 0, 200000, 50021, false, true, "100,000 a field (1,000,000 records in 10 groups): several packed runs"},
        {true, 0, 800000, 50021, false, true, "400,000 a field (4,000,000 records in 10 groups): many packed runs"},
        {true, 0, 200000, 50021, true, true, "weighted: the weights go with their values"},
    };
    for (const Case& c : cases) {
        const std::size_t old = SortStage::SetMemoryLimit(c.limit);
        SortStage st = c.values ? SortStage(eng, 2, SortStage::Values()) : SortStage(eng, 2);
        st.BeginGroup();
        ByField expected = addValues(st, c.n, c.weighted, [](int i) { return 1 + i % 2; }, [&c](int i) {
            return static_cast<double>((static_cast<long long>(i) * 7919) % c.distinct - c.distinct / 2) / 8;
        });
        EXPECT_EQ(st.InTable(), c.inTable) << c.why;
        expectEachFieldSortedAsAdded(st, expected, c.why);
        if (c.inTable && !c.values) {
            EXPECT_EQ(tableRows(eng), c.n) << c.why;
        }
        st.Close();
        SortStage::SetMemoryLimit(old);
    }
}

TEST_F(SortStageTest, SortStageGivesRowsOfEveryShapeInOrderHeldSpiltOrPacked) {
    // 4000 rows of three numbers over two streams: a part (0 .. 4), a value
    // with ties and a weight (1, or 1 .. 3 in the weighted cases). Expected:
    // each stream's rows (or a part's) as added, in the order of the keys;
    // rows of equal keys in any order, so both sides are compared sorted
    // whole as well.
    struct Case {
        int keys;
        bool parts, packed, weighted;
        std::size_t limit;
        const char* why;
    };
    const Case cases[] = {
        {2, false, false, false, 0, "two keys, held"},
        {2, false, false, true, 13, "two keys, runs of rows"},
        {2, false, true, true, 13, "two keys, packed runs"},
        {2, true, true, false, 0, "parts, held"},
        {2, true, false, true, 7, "parts, runs of rows"},
        {2, true, true, true, 300, "parts, packed runs"},
        {1, false, true, false, 1, "one key, a packed run after every row"},
        {1, false, true, true, 1500, "one key, runs of several packed rows"},
        {2, true, true, false, 3999, "parts of several packed rows"},
    };
    using Rowv = std::array<double, 3>;
    for (const Case& c : cases) {
        SortStage::Shape shape;
        shape.columns = {"P", "V", "Weight"};
        shape.keys = c.keys;
        shape.parts = c.parts;
        shape.packed = c.packed;
        const std::size_t old = SortStage::SetMemoryLimit(c.limit);
        SortStage st(eng, 2, shape);
        SortStage::SetMemoryLimit(old);
        st.BeginGroup();
        std::vector<Rowv> added[3];
        for (int i = 0; i < 4000; ++i) {
            const auto s = static_cast<std::int16_t>(1 + (i * 7) % 2);
            const Rowv r{double((i * 13) % 5), double((i * 37) % 101 - 50), c.weighted ? double(1 + i % 3) : 1.0};
            st.Add(s, {r[0], r[1], r[2]});
            added[s].push_back(r);
        }
        EXPECT_EQ(st.InTable(), c.limit != 0) << c.why;
        auto before = [&](const Rowv& a, const Rowv& b) { return a[0] < b[0] || (c.keys > 1 && a[0] == b[0] && a[1] < b[1]); };
        auto read = [&](SortStage::Cursor& cur) {
            std::vector<Rowv> got;
            while (cur.Next()) got.push_back({cur.Row()[0], cur.Row()[1], cur.Row()[2]});
            return got;
        };
        for (std::int16_t s = 1; s <= 2; ++s) {
            for (int part = c.parts ? 0 : -1; part < (c.parts ? 5 : 0); ++part) {
                std::vector<Rowv> expected;
                for (const Rowv& r : added[s])
                    if (part < 0 || r[0] == part) expected.push_back(r);
                // Two cursors on one stream see the same rows in the same order.
                SortStage::Cursor one(st), two(st);
                for (SortStage::Cursor* cur : {&one, &two}) part < 0 ? cur->Open(s) : cur->Open(s, part);
                std::vector<Rowv> got = read(one);
                EXPECT_EQ(read(two), got) << c.why;
                EXPECT_TRUE(std::is_sorted(got.begin(), got.end(), before)) << c.why << ", stream " << s;
                std::sort(got.begin(), got.end());
                std::sort(expected.begin(), expected.end());
                EXPECT_EQ(got, expected) << c.why << ", stream " << s << ", part " << part;
            }
        }
        st.Close();
    }
}

