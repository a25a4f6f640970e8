// The default frequency intervals take every field's bounds from one scan:
// each field's own missing-value rule decides which of its values count,
// whatever the other fields of the same record hold.
#include "db/Dao.h"
#include "analyses/descriptive/CFrequency.h"
#include "engine/VarnelloCore.h"
#include "support/TempDir.h"
#include "support/AnalysisSeam.h"

#include <gtest/gtest.h>

using namespace dao;

TEST(DefaultIntervals, EachFieldsRulePicksItsOwnValuesInTheOneScan) {
    DBEngine().Reset();
    vtest::TempDir tmp;
    auto db = DBEngine().CreateDatabase(tmp.file("r.db"), dbLangGeneral);
    auto td = db->CreateTableDef("R");
    td->Fields().Append(td->CreateField("A", dbDouble));
    td->Fields().Append(td->CreateField("B", dbDouble));
    db->TableDefs().Append(td);
    // Under "Low" 0.2, A counts 0.4 only and B counts 3 only: no record has
    // both fields at or above the bound.
    db->Execute("INSERT INTO R (A, B) VALUES (0.1, 3)");
    db->Execute("INSERT INTO R (A, B) VALUES (0.4, Null)");
    db->Execute("INSERT INTO R (A, B) VALUES (Null, 0.15)");
    VarnelloCore eng;
    vtest::BeginRun(eng.Run(), db);
    eng.Run().SetMissingRule("Low");
    eng.Run().SetMissingLowValue(0.2);
    FieldList f{"", "A", "B"};
    // Bounds 0.4 and 3: range 2.6, L = log10 2.6 > 0, pad 10^(L - 1) = 0.26;
    // width (3 + 0.26 - 0.4) / 10 = 0.286, below 1 without rounding: 1.
    struct Case { bool lowerIncluded; double start; const char* why; };
    const Case cases[] = {
        {true, 0.4, "the smallest counted value of either field"},
        {false, 0.4 - 0.26, "less the pad"},
    };
    for (const Case& c : cases) {
        double start = -1, width = -1;
        EXPECT_EQ(CFrequency::DescFreqInit_ZUR(eng.Run(), false, 10, c.lowerIncluded, "R", f, 0, 2, start, width), "") << c.why;
        EXPECT_NEAR(start, c.start, 1e-12) << c.why;
        EXPECT_DOUBLE_EQ(width, 1) << c.why;
    }
    db->Close();
    DBEngine().Reset();
}

// 1,200 fields ask for 2,400 bounds, more than one query returns (2,000
// columns): the bounds are taken in as many scans as that needs, and the
// smallest and largest values lie in fields past the first thousand.
TEST(DefaultIntervals, MoreFieldsThanOneQueryReturnsGiveTheBoundsOfEveryField) {
    DBEngine().Reset();
    vtest::TempDir tmp;
    auto db = DBEngine().CreateDatabase(tmp.file("w.db"), dbLangGeneral);
    const int n = 1200;
    auto td = db->CreateTableDef("W");
    FieldList f{""};
    for (int i = 1; i <= n; ++i) {
        td->Fields().Append(td->CreateField("F" + std::to_string(i), dbDouble));
        f.push_back("F" + std::to_string(i));
    }
    db->TableDefs().Append(td);
    // Every field holds 5 and 6; F1150 also holds 2 and F1190 also 42.
    db->Execute("INSERT INTO W (F1) VALUES (5)");
    db->Execute("UPDATE W SET " + [&] {
        std::string set;
        for (int i = 1; i <= n; ++i) set += (i > 1 ? ", F" : "F") + std::to_string(i) + " = 5";
        return set;
    }());
    db->Execute("INSERT INTO W (F1, F600, F1150, F1190) VALUES (6, 6, 2, 42)");
    VarnelloCore eng;
    vtest::BeginRun(eng.Run(), db);
    // Bounds 2 and 42: range 40, L = log10 40 > 0, pad 10^(L - 1) = 4;
    // width (42 + 4 - 2) / 10 = 4.4; start 2, or 2 - 4 = -2 without the
    // lower border.
    struct Case { bool lowerIncluded; double start; const char* why; };
    const Case cases[] = {
        {true, 2, "the smallest value, in F1150"},
        {false, -2, "less the pad"},
    };
    for (const Case& c : cases) {
        double start = -1, width = -1;
        EXPECT_EQ(CFrequency::DescFreqInit_ZUR(eng.Run(), false, 10, c.lowerIncluded, "W", f, 0, n, start, width), "") << c.why;
        EXPECT_NEAR(start, c.start, 1e-12) << c.why;
        EXPECT_NEAR(width, 4.4, 1e-12) << c.why;
    }
    db->Close();
    DBEngine().Reset();
}
