// The table routines of the shared form module, on a real database file.
#include "util/modZURSTAT.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace dao;

TEST(TableRoutines, TableOrQueryKindAndTableDefExists) {
    vtest::TempDir tmp;
    DBEngine().Reset();
    auto db = DBEngine().CreateDatabase(tmp.file("t.db"), dbLangGeneral);
    auto td = db->CreateTableDef("Sales");
    td->Fields().Append(td->CreateField("Amount", dbDouble));
    db->TableDefs().Append(td);
    db->CreateQueryDef("qSales", "SELECT * FROM Sales");

    struct Case { const char* name; std::int32_t kind; bool table; };
    const Case cases[] = {{"Sales", 0, true}, {"SALES", 0, true}, {"qSales", 1, false}, {"Nothing", -99, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(TableOrQueryKind(db, c.name), c.kind) << c.name;
        EXPECT_EQ(TableDefExists(db, c.name), c.table) << c.name;
    }
    // A closed database: the table lookup fails with another error, which counts as a table.
    db->Close();
    EXPECT_EQ(TableOrQueryKind(db, "Nothing"), 0);
    EXPECT_FALSE(TableDefExists(db, "Sales"));
    EXPECT_EQ(TableOrQueryKind(nullptr, "Sales"), -99);
    DBEngine().Reset();
}
