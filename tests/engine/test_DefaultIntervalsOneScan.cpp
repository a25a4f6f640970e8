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
