// The data-access layer against real database files in a temporary folder.
#include "DaoTestTables.h"
#include "db/Dao.h"
#include "support/OtherProgram.h"
#include "support/ReadOnlyPath.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

using namespace dao;

namespace {

class DaoTest : public daotest::FreshEngine {
protected:
    DatabasePtr newDb(const std::string& name = "test.db") { return DBEngine().CreateDatabase(tmp.file(name), dbLangGeneral); }

    // A new database with a table of one column of each common type.
    DatabasePtr typesDb() {
        auto db = newDb();
        auto td = daotest::NewTableDef(*db, "Types",
                                       {{"ID", dbLong}, {"B", dbBoolean}, {"I", dbInteger}, {"L", dbLong}, {"D", dbDouble},
                                        {"S", dbSingle}, {"C", dbCurrency}, {"Dt", dbDate}, {"T", dbText, 5}, {"M", dbMemo}});
        td->Fields()("ID")->SetAttributes(dbAutoIncrField);
        td->Fields()("T")->SetAllowZeroLength(false);
        daotest::AddIndex(*td, "PrimaryKey", {"ID"}, true);
        db->TableDefs().Append(td);
        return db;
    }

    static void makeIntTable(Database& db, const std::string& name, int type = dbLong) {
        daotest::MakeTable(db, name, {{"V", type}});
    }

    static long expectError(const std::function<void()>& f) { return daotest::ErrorNumberOf(f); }
};

TEST_F(DaoTest, TableDefinitionReadsBackWithTypesSizesOrderAndProperties) {
    auto db = newDb();
    auto td = db->CreateTableDef("usysThing");
    struct Col { const char* name; int type; long size; int ordinal; };
    const Col cols[] = {{"Scenario_ID", dbLong, 0, 0}, {"Flag", dbBoolean, 0, 1}, {"Small", dbInteger, 0, 2},
                        {"Name", dbText, 64, 3}, {"Value", dbDouble, 0, 5}, {"When", dbDate, 0, 6}};
    for (const auto& c : cols) {
        auto f = td->CreateField(c.name, c.type);
        f->SetOrdinalPosition(c.ordinal);
        if (c.size) f->SetSize(c.size);
        td->Fields().Append(f);
    }
    td->Fields()("Scenario_ID")->SetAttributes(dbAutoIncrField);
    td->Fields()("Flag")->SetDefaultValue("True");
    td->Fields()("Name")->SetDefaultValue("N-1");
    td->Fields()("Value")->SetValidationRule("Is Null Or >0");
    td->Fields()("Value")->SetValidationText("Interval Width must be greater than zero");
    daotest::AddIndex(*td, "PrimaryKey", {"Scenario_ID"}, true);
    daotest::AddIndex(*td, "IX_Name", {"Name", "Small"});
    db->TableDefs().Append(td);

    auto back = db->TableDefs()("USYSTHING"); // names match without regard to case
    back->Fields()("name")->Properties().Append(back->Fields()("name")->CreateProperty("Description", dbText, "Field Name"));
    db->Close();

    auto db2 = DBEngine().OpenDatabase(tmp.file("test.db"));
    auto t = db2->TableDefs()("usysThing");
    ASSERT_EQ(t->Fields().Count(), 6);
    const long sizes[] = {4, 1, 2, 64, 8, 8};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(t->Fields()(i)->Name(), cols[i].name);
        EXPECT_EQ(t->Fields()(i)->Type(), cols[i].type);
        EXPECT_EQ(t->Fields()(i)->Size(), sizes[i]) << cols[i].name;
        EXPECT_EQ(t->Fields()(i)->OrdinalPosition(), cols[i].ordinal); // the gap at 4 stays
        EXPECT_EQ(t->Fields()(i)->CollatingOrder(), 1033);
    }
    EXPECT_TRUE(t->Fields()("Scenario_ID")->Attributes() & dbAutoIncrField);
    EXPECT_EQ(t->Fields()("Flag")->DefaultValue(), "True");
    EXPECT_EQ(t->Fields()("Value")->ValidationRule(), "Is Null Or >0");
    EXPECT_EQ(t->Fields()("Name")->Properties()("Description")->Value().ToString(), "Field Name");
    EXPECT_EQ(expectError([&] { t->Fields()("Flag")->Properties()("Description"); }), 3270);
    ASSERT_EQ(t->Indexes().Count(), 2);
    EXPECT_EQ(t->Indexes()(0)->Name(), "PrimaryKey");
    EXPECT_TRUE(t->Indexes()(0)->Primary());
    EXPECT_EQ(t->Indexes()(1)->Fields().Count(), 2);
    EXPECT_EQ(t->Indexes()(1)->Fields()(1)->Name(), "Small");
    EXPECT_FALSE(t->Indexes()(1)->Unique());

    // Defaults and validation apply to new rows.
    auto rs = db2->OpenRecordset("usysThing");
    rs->AddNew();
    EXPECT_EQ(rs->Fields("Flag")->Value().RawInt(), -1);
    EXPECT_EQ(rs->Fields("Name")->Value().ToString(), "N-1");
    rs->Update();
    rs->AddNew();
    rs->Fields("Value")->SetValue(-1.0);
    EXPECT_EQ(expectError([&] { rs->Update(); }), err::FieldValidation);
}

TEST_F(DaoTest, APropertyOfAStoredTableOrFieldDeletedStaysDeletedAndOneTheFileRefusesKeepsItsValue) {
    daotest::MakeTable(*newDb("p.db"), "T", {{"S", dbText, 10}});
    auto open = [&] { return DBEngine().OpenDatabase(tmp.file("p.db")); };
    // Where the property lives: the table itself, or one of its fields.
    const struct {
        std::function<Properties&(TableDef&)> of;
        const char* why;
    } owners[] = {
        {[](TableDef& t) -> Properties& { return t.Properties(); }, "the table's"},
        {[](TableDef& t) -> Properties& { return t.Fields()("S")->Properties(); }, "a field's"},
    };
    for (const auto& o : owners) {
        {
            auto db = open();
            auto t = db->TableDefs()("T");
            o.of(*t).Append(t->CreateProperty("Description", dbText, Variant("kept")));
            db->Close();
        }
        {
            // Opened read-only, the file refuses a new value: the property keeps the one it has.
            auto db = DBEngine().OpenDatabase(tmp.file("p.db"), false, true);
            auto property = o.of(*db->TableDefs()("T"))("Description");
            EXPECT_EQ(expectError([&] { property->SetValue(Variant("changed")); }), err::ReadOnly) << o.why;
            EXPECT_EQ(property->Value().ToString(), "kept") << o.why;
            db->Close();
        }
        {
            auto db = open();
            auto t = db->TableDefs()("T");
            EXPECT_EQ(o.of(*t)("Description")->Value().ToString(), "kept") << o.why;
            o.of(*t).Delete("Description");
            db->Close();
        }
        auto db = open();
        EXPECT_EQ(expectError([&] { o.of(*db->TableDefs()("T"))("Description"); }), 3270) << o.why;
        db->Close();
    }
}

TEST_F(DaoTest, CatalogueTablesAreNamedMSysAndSQLitesOwnAreNeverListed) {
    auto db = typesDb();
    std::vector<std::string> names;
    for (const auto& td : db->TableDefs()) names.push_back(td->Name());
    for (const auto& n : names) EXPECT_TRUE(n == "Types" || n.rfind("MSys", 0) == 0) << n;
    for (const auto& n : names) EXPECT_NE(n.rfind("sqlite_", 0), 0u) << n;
    EXPECT_TRUE(db->TableDefs().Find("Types"));
}

TEST_F(DaoTest, TheCatalogueTablesCannotBeDeletedOrRenamedSoTheFileKeepsItsQueriesDefinitionsAndPassword) {
    {
        auto db = typesDb();
        db->CreateQueryDef("qKeep", "SELECT L FROM Types");
        db->TableDefs()("Types")->Fields()("T")->Properties().Append(
            db->TableDefs()("Types")->Fields()("T")->CreateProperty("Description", dbText, Variant("kept")));
        db->NewPassword("", "pw");
        const struct {
            std::function<void()> action;
            const char* why;
        } cases[] = {
            {[&] { db->TableDefs().Delete("msysdb"); }, "the password and the locale"},
            {[&] { db->TableDefs().Delete("MSysQueries"); }, "the saved queries"},
            {[&] { db->TableDefs().Delete("MSysColumns"); }, "the fields' definitions"},
            {[&] { db->TableDefs()("MSysProperties")->SetName("Mine"); }, "the descriptions, renamed away"},
            {[&] { db->TableDefs()("MSysIndexes")->SetName("MSysIndexes2"); }, "the indexes, renamed away"},
        };
        for (const auto& c : cases) EXPECT_EQ(expectError(c.action), 3033) << c.why;
        db->Close();
    }
    auto db = DBEngine().Workspaces(0)->OpenDatabase(tmp.file("test.db"), false, false, ";pwd=pw");
    EXPECT_TRUE(db->QueryDefs().Find("qKeep"));
    auto types = db->TableDefs()("Types");
    EXPECT_EQ(types->Fields()("T")->Size(), 5);
    EXPECT_EQ(types->Fields()("T")->Properties()("Description")->Value().ToString(), "kept");
    EXPECT_EQ(types->Indexes()("PrimaryKey")->Fields()(0)->Name(), "ID");
}

TEST_F(DaoTest, AFieldAppendedToAStoredTableKeepsItsSizeZeroLengthAndRuleAsOneMadeWithTheTable) {
    auto db = newDb();
    daotest::MakeTable(*db, "T", {{"V", dbLong}});
    db->Execute("INSERT INTO T (V) VALUES (1)"); // a row there before the fields
    auto td = db->TableDefs()("T");
    td->Fields().Append(td->CreateField("R", dbText, 3));
    auto z = td->CreateField("Z", dbText, 5);
    z->SetAllowZeroLength(false);
    td->Fields().Append(z);
    auto p = td->CreateField("P", dbDouble);
    p->SetValidationRule(">0");
    td->Fields().Append(p);
    struct Case {
        const char* values; // (V, R, Z, P)
        long error;
        const char* why;
    } cases[] = {
        {"(2, 'abcd', 'x', 1)", err::FieldTooSmall, "four characters in a field of three"},
        {"(3, 'x', '', 1)", err::ZeroLengthNotAllowed, "a zero-length text where none is allowed"},
        {"(4, 'x', 'x', -1)", err::FieldValidation, "breaks the rule"},
        {"(5, 'abc', 'abcde', 2)", 0, "every value fits"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(expectError([&] { db->Execute(std::string("INSERT INTO T (V, R, Z, P) VALUES ") + c.values); }), c.error)
            << c.why;
    EXPECT_EQ(daotest::ColumnOf(*db, "SELECT V FROM T ORDER BY V"), (std::vector<long>{1, 5}));
}

TEST_F(DaoTest, ValuesRoundTripWithTheirTypes) {
    auto db = typesDb();
    auto rs = db->OpenRecordset("Types", dbOpenDynaset);
    rs->AddNew();
    const std::pair<const char*, Variant> written[] = {
        {"B", Variant(true)}, {"I", Variant(-123)}, {"L", Variant(2000000000)}, {"D", Variant(1000000.1)},
        {"S", Variant(1.5)}, {"C", Variant(12.34565)},
        {"Dt", Variant::Date(DateSerial(2024, 2, 29) + TimeSerial(13, 5, 0))}, {"T", Variant("abcde")},
        {"M", Variant(std::string(1000, 'x'))}};
    for (const auto& [field, value] : written) rs->Fields(field)->SetValue(value);
    rs->Update();
    rs->Close();

    auto r2 = db->OpenRecordset("SELECT * FROM Types", dbOpenSnapshot);
    ASSERT_FALSE(r2->EOF_());
    EXPECT_EQ(r2->Fields("ID")->Value().ToLong(), 1);
    struct Expect { const char* name; int varType; int daoType; };
    const Expect ex[] = {{"B", vbBoolean, dbBoolean}, {"I", vbInteger, dbInteger}, {"L", vbLong, dbLong},
                         {"D", vbDouble, dbDouble}, {"S", vbSingle, dbSingle}, {"C", vbCurrency, dbCurrency},
                         {"Dt", vbDate, dbDate}, {"T", vbString, dbText}, {"M", vbString, dbMemo}};
    for (const auto& e : ex) {
        EXPECT_EQ(r2->Fields(e.name)->Value().Type(), e.varType) << e.name;
        EXPECT_EQ(r2->Fields(e.name)->Type(), e.daoType) << e.name;
    }
    EXPECT_EQ(r2->Fields("B")->Value().RawInt(), -1);
    EXPECT_EQ(r2->Fields("I")->Value().ToLong(), -123);
    EXPECT_EQ(r2->Fields("D")->Value().ToDouble(), 1000000.1);
    EXPECT_DOUBLE_EQ(r2->Fields("C")->Value().ToDouble(), 12.3456); // half to even at 4 decimals
    EXPECT_EQ(r2->Fields("Dt")->Value().ToString(), "2024-02-29 13:05:00");
    EXPECT_EQ(r2->Fields("T")->Value().ToString(), "abcde");
    EXPECT_EQ(r2->Fields("M")->Value().ToString().size(), 1000u);
}

TEST_F(DaoTest, WritesAreCoercedAndRefusedLikeTheDesktopEngine) {
    auto db = typesDb();
    auto rs = db->OpenRecordset("Types");
    struct Case { const char* field; Variant value; Variant stored; };
    const Case cases[] = {
        {"I", Variant(2.5), Variant(2)},          // half to even
        {"I", Variant(3.5), Variant(4)},
        {"I", Variant(-2.5), Variant(-2)},
        {"L", Variant(1234567.5), Variant(1234568)},
        {"L", Variant("42"), Variant(42)},        // numeric text converts
        {"B", Variant(7), Variant(true)},         // any non-zero is True (-1)
        {"B", Variant::Null(), Variant(false)},   // a Boolean is never Null
        {"T", Variant(12.5), Variant("12.5")},
        {"C", Variant(-922337203685477.0), Variant(-922337203685477.0)}, // within Currency's +-922,337,203,685,477.5807
    };
    for (const auto& c : cases) {
        rs->AddNew();
        rs->Fields(c.field)->SetValue(c.value);
        rs->Update();
        rs->SetBookmark(rs->LastModified());
        Variant got = rs->Fields(c.field)->Value();
        EXPECT_TRUE(got.Equals(c.stored, false)) << c.field << " got " << got.ToString();
    }
    // Refusals leave the row unwritten.
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    struct Bad { const char* field; Variant value; long error; };
    const Bad bad[] = {
        {"I", Variant(40000), 3349},                 // numeric field overflow
        {"T", Variant("abcdef"), err::FieldTooSmall},  // longer than the field's size
        {"T", Variant(""), err::ZeroLengthNotAllowed}, // AllowZeroLength False
        {"L", Variant("abc"), 3421},                 // not a number
        {"B", Variant("abc"), 3421},                 // no Boolean: was "Type mismatch" (13)
        {"I", Variant(kNaN), 3349},                  // NaN was stored as 0
        {"L", Variant(kNaN), 3349},                  // NaN was stored as -2147483648
        {"C", Variant(kNaN), 3349},                  // NaN was stored as Null
        {"C", Variant(1e15), 3349},                  // beyond Currency: was stored as it was
        {"Dt", Variant(-kInf), 3349},                // no date
    };
    long before = db->TableDefs()("Types")->RecordCount();
    for (const auto& b : bad) {
        rs->AddNew();
        EXPECT_EQ(expectError([&] { rs->Fields(b.field)->SetValue(b.value); }), b.error) << b.field;
        rs->CancelUpdate();
    }
    EXPECT_EQ(db->TableDefs()("Types")->RecordCount(), before);
    // A Null is accepted where AllowZeroLength is False.
    rs->AddNew();
    rs->Fields("T")->SetValue(Variant::Null());
    rs->Update();
    // The same rules hold for SQL written against the table.
    EXPECT_EQ(expectError([&] { db->Execute("INSERT INTO Types (T) VALUES ('')"); }), err::ZeroLengthNotAllowed);
    EXPECT_EQ(expectError([&] { db->Execute("INSERT INTO Types (T) VALUES ('toolong')"); }), err::FieldTooSmall);
}

TEST_F(DaoTest, AutoNumberIsReadThroughLastModifiedAndNeverReused) {
    auto db = typesDb();
    auto rs = db->OpenRecordset("Types", dbOpenDynaset);
    for (int i = 0; i < 3; ++i) {
        rs->AddNew();
        rs->Fields("L")->SetValue(i);
        rs->Update();
    }
    rs->SetBookmark(rs->LastModified());
    EXPECT_EQ(rs->Fields("ID")->Value().ToLong(), 3);
    rs->Delete();
    // An explicit value is accepted ...
    rs->AddNew();
    rs->Fields("ID")->SetValue(10);
    rs->Update();
    // ... and the next number follows the largest ever given; a deleted number is not reused.
    rs->AddNew();
    rs->Update();
    rs->SetBookmark(rs->LastModified());
    EXPECT_EQ(rs->Fields("ID")->Value().ToLong(), 11);
    db->Execute("DELETE * FROM Types WHERE ID >= 10");
    rs->AddNew();
    rs->Update();
    rs->SetBookmark(rs->LastModified());
    EXPECT_EQ(rs->Fields("ID")->Value().ToLong(), 12);
}

// An append-only recordset is a writer: every row it adds is in the table,
// LastModified finds the row written last, and it holds no other (it kept
// the key of every row written, memory growing with the rows).
TEST_F(DaoTest, AppendOnlyRecordsetKeepsOnlyTheRowItWroteLast) {
    auto db = newDb();
    makeIntTable(*db, "N");
    db->Execute("INSERT INTO N (V) VALUES (-1)");
    for (int type : {int(dbOpenDynaset), int(dbOpenTable)}) {
        SCOPED_TRACE(type);
        auto rs = db->OpenRecordset("N", type, dbAppendOnly);
        TransactionGuard tx(*DBEngine().Workspaces(0));
        for (int i = 1; i <= 1000; ++i) {
            rs->AddNew();
            rs->Fields("V")->SetValue(i);
            rs->Update();
        }
        tx.Commit();
        EXPECT_EQ(rs->RecordCount(), 1);
        rs->SetBookmark(rs->LastModified());
        EXPECT_EQ(rs->Fields("V")->Value().ToLong(), 1000);
        rs->Close();
        auto check = db->OpenRecordset("SELECT Count(*) AS C, Sum(V) AS S FROM N WHERE V > 0", dbOpenSnapshot);
        EXPECT_EQ(check->Fields("C")->Value().ToLong(), 1000);
        EXPECT_EQ(check->Fields("S")->Value().ToLong(), 500500);
        db->Execute("DELETE * FROM N WHERE V > 0");
    }
}

TEST_F(DaoTest, NavigationRecordCountAndMoveBackFromEOF) {
    auto db = newDb();
    makeIntTable(*db, "N");
    for (int i = 1; i <= 5; ++i) db->Execute("INSERT INTO N (V) VALUES (" + std::to_string(i) + ")");
    makeIntTable(*db, "E");

    // By SQL text and by table name, updatable and read-only.
    for (int type : {int(dbOpenDynaset), int(dbOpenSnapshot), int(dbOpenTable), -int(dbOpenSnapshot), -int(dbOpenDynaset)}) {
        SCOPED_TRACE(type);
        bool byName = type == dbOpenTable || type < 0;
        if (type < 0) type = -type;
        auto empty = byName ? db->OpenRecordset("E", type) : db->OpenRecordset("SELECT V FROM E", type);
        EXPECT_TRUE(empty->EOF_());
        EXPECT_TRUE(empty->BOF());
        EXPECT_EQ(empty->RecordCount(), 0);
        EXPECT_EQ(expectError([&] { empty->MoveNext(); }), err::NoCurrentRecord);

        // Moving past the last record stops at the end of file (a read-only
        // set still streaming failed on it); only a move from there fails.
        auto far = byName ? db->OpenRecordset("N", type) : db->OpenRecordset("SELECT V FROM N ORDER BY V", type);
        EXPECT_EQ(expectError([&] { far->Move(10); }), 0);
        EXPECT_TRUE(far->EOF_());
        EXPECT_EQ(expectError([&] { far->Move(1); }), err::NoCurrentRecord);

        auto rs = byName ? db->OpenRecordset("N", type) : db->OpenRecordset("SELECT V FROM N ORDER BY V", type);
        EXPECT_GE(rs->RecordCount(), 1);
        std::vector<long> seen;
        while (!rs->EOF_()) {
            seen.push_back(rs->Fields("V")->Value().ToLong());
            rs->MoveNext();
        }
        EXPECT_EQ(seen, (std::vector<long>{1, 2, 3, 4, 5}));
        rs->Move(-2); // back from the end of file
        EXPECT_EQ(rs->Fields("V")->Value().ToLong(), 4);
        rs->MoveLast();
        EXPECT_EQ(rs->RecordCount(), 5);
        EXPECT_EQ(rs->Fields(0)->Value().ToLong(), 5);
        rs->MovePrevious();
        rs->MovePrevious();
        EXPECT_EQ(rs->Fields(0)->Value().ToLong(), 3);
        auto bm = rs->GetBookmark();
        rs->MoveFirst();
        EXPECT_EQ(rs->Fields(0)->Value().ToLong(), 1);
        rs->MovePrevious();
        EXPECT_TRUE(rs->BOF());
        rs->SetBookmark(bm);
        EXPECT_EQ(rs->Fields(0)->Value().ToLong(), 3);
        rs->Move(10);
        EXPECT_TRUE(rs->EOF_());
    }
}

TEST_F(DaoTest, ABookmarkSetBeforeRequeryIsRefusedInsteadOfLandingOnAnotherRecord) {
    auto db = newDb();
    makeIntTable(*db, "N");
    struct Case { const char* source; int type; };
    const Case cases[] = {
        {"N", dbOpenDynaset},                           // keys of a table
        {"SELECT V FROM N ORDER BY V", dbOpenDynaset},  // rows of an SQL text
        {"SELECT V FROM N ORDER BY V", dbOpenSnapshot}, // read-only
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source + std::string(" ") + std::to_string(c.type));
        db->Execute("DELETE FROM N");
        for (int i = 1; i <= 3; ++i) db->Execute("INSERT INTO N (V) VALUES (" + std::to_string(i) + ")");
        auto rs = db->OpenRecordset(c.source, c.type);
        rs->MoveNext();
        auto onTwo = rs->GetBookmark();
        db->Execute("DELETE FROM N WHERE V = 1");
        rs->Requery(); // V = 2 is now the first record, where V = 3 was the second
        EXPECT_EQ(expectError([&] { rs->SetBookmark(onTwo); }), 3159);
        EXPECT_EQ(rs->Fields("V")->Value().ToLong(), 2); // still the first record
        rs->MoveNext();
        auto onThree = rs->GetBookmark();
        rs->MoveFirst();
        rs->SetBookmark(onThree);
        EXPECT_EQ(rs->Fields("V")->Value().ToLong(), 3);
    }
}

TEST_F(DaoTest, UpdatingARecordAnotherRecordsetDeletedFailsInsteadOfPassingForSaved) {
    auto db = newDb();
    makeIntTable(*db, "N");
    for (const char* source : {"N", "SELECT V FROM N ORDER BY V"}) {
        SCOPED_TRACE(source);
        db->Execute("DELETE FROM N");
        for (int i = 1; i <= 2; ++i) db->Execute("INSERT INTO N (V) VALUES (" + std::to_string(i) + ")");
        auto editor = db->OpenRecordset(source, dbOpenDynaset);
        auto other = db->OpenRecordset("N", dbOpenDynaset);
        editor->Edit();
        editor->Fields("V")->SetValue(10);
        other->Delete(); // the record being edited
        EXPECT_EQ(expectError([&] { editor->Update(); }), 3167);
        editor->CancelUpdate();
        editor->MoveNext();
        EXPECT_EQ(editor->Fields("V")->Value().ToLong(), 2);
        EXPECT_EQ(daotest::ColumnOf(*db, "SELECT V FROM N"), (std::vector<long>{2}));
    }
}

TEST_F(DaoTest, FindFirstAndNoMatch) {
    auto db = typesDb();
    auto rs = db->OpenRecordset("Types", dbOpenDynaset);
    const char* names[] = {"Alpha", "beta", "Gamma", "Beta"};
    for (int i = 0; i < 4; ++i) {
        rs->AddNew();
        rs->Fields("T")->SetValue(names[i]);
        rs->Fields("L")->SetValue(i * 10);
        rs->Update();
    }
    rs->MoveFirst();
    rs->FindFirst("T = 'BETA'"); // General order: case does not matter
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(rs->Fields("L")->Value().ToLong(), 10);
    rs->FindNext("[T] = \"beta\"");
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(rs->Fields("L")->Value().ToLong(), 30);
    rs->FindFirst("L > 15 And T Like 'G*'");
    EXPECT_EQ(rs->Fields("T")->Value().ToString(), "Gamma");
    rs->FindFirst("L = 99");
    EXPECT_TRUE(rs->NoMatch());
    EXPECT_EQ(rs->Fields("T")->Value().ToString(), "Gamma"); // position unchanged
    // A record deleted since the recordset was opened is passed over, not a failed search.
    db->Execute("DELETE FROM Types WHERE T = 'Alpha'");
    rs->FindFirst("L >= 0");
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(rs->Fields("T")->Value().ToString(), "beta");
}

TEST_F(DaoTest, ASearchOrPositionDuringAnEditDropsThePendingChangeInsteadOfWritingItOntoTheRecordFound) {
    auto db = newDb();
    makeIntTable(*db, "N");
    for (int i = 1; i <= 3; ++i) db->Execute("INSERT INTO N (V) VALUES (" + std::to_string(i) + ")");
    // The record at `start` is edited to V = 99 and not updated; then the move.
    struct Case { long start; std::function<void(Recordset&)> move; long current; bool noMatch; const char* why; };
    const Case cases[] = {
        {0, [](Recordset& r) { r.FindFirst("V = 1"); }, 1, false, "the record's own value is searched, not the pending 99"},
        {0, [](Recordset& r) { r.FindNext("V = 99"); }, 1, true, "only the pending value is 99"},
        {2, [](Recordset& r) { r.FindPrevious("V = 1"); }, 1, false, "backwards to the first"},
        {0, [](Recordset& r) { r.FindLast("V = 2"); }, 2, false, "from the end"},
        {0, [](Recordset& r) { r.SetAbsolutePosition(2); }, 3, false, "to the third record"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto rs = db->OpenRecordset("N", dbOpenDynaset);
        rs->SetAbsolutePosition(c.start);
        rs->Edit();
        rs->Fields("V")->SetValue(99);
        c.move(*rs);
        EXPECT_EQ(rs->NoMatch(), c.noMatch);
        EXPECT_EQ(rs->Fields("V")->Value().ToLong(), c.current);
        EXPECT_EQ(expectError([&] { rs->Update(); }), err::UpdateWithoutAddNew); // the change was dropped
        EXPECT_EQ(daotest::ColumnOf(*db, "SELECT V FROM N ORDER BY V"), (std::vector<long>{1, 2, 3}));
    }
}

TEST_F(DaoTest, EditAddAndDeleteWhileWalkingTheSameTable) {
    auto db = typesDb();
    {
        auto rs = db->OpenRecordset("Types");
        for (int i = 1; i <= 6; ++i) {
            rs->AddNew();
            rs->Fields("L")->SetValue(i);
            rs->Update();
        }
    }
    auto rs = db->OpenRecordset("Types");
    int visited = 0;
    while (!rs->EOF_()) {
        ++visited;
        long v = rs->Fields("L")->Value().ToLong();
        if (v < 0) {
            // a row added during this walk
        } else if (v % 2 == 0) {
            rs->Delete();
        } else {
            rs->Edit();
            rs->Fields("L")->SetValue(v * 100);
            rs->Update();
            rs->AddNew(); // rows added while walking go to the end
            rs->Fields("L")->SetValue(-v);
            rs->Update();
        }
        rs->MoveNext();
        if (visited > 20) break;
    }
    EXPECT_EQ(visited, 9); // rows added during the walk appear at its end
    EXPECT_EQ(daotest::ColumnOf(*db, "SELECT L FROM Types ORDER BY L"), (std::vector<long>{-5, -3, -1, 100, 300, 500}));
}

TEST_F(DaoTest, RecordsAffectedCountsTheLastStatementAndAFailedOneChangesNothing) {
    auto db = newDb();
    daotest::MakeTable(*db, "T", {{"V", dbLong}, {"S", dbText, 5}});
    db->CreateQueryDef("qAsk", "SELECT V FROM T WHERE V > [Lowest]");
    db->CreateQueryDef("qPurge", "DELETE FROM T WHERE V < 0");
    struct Case {
        const char* sql;
        long error;
        long affected; // counted by hand on the rows the statements before leave
        const char* reason;
    } cases[] = {
        {"INSERT INTO T (V, S) VALUES (1, 'a')", 0, 1, "one row added"},
        {"INSERT INTO T (V, S) SELECT V + 1, S FROM T", 0, 1, "one row copied: 1, 2"},
        {"INSERT INTO T (V, S) SELECT V + 2, S FROM T", 0, 2, "two rows copied: 1, 2, 3, 4"},
        {"UPDATE T SET V = V * 10 WHERE V > 1", 0, 3, "2, 3 and 4"},
        {"UPDATE T SET S = 'longer than five' WHERE V = 1", err::FieldTooSmall, 0, "refused: no row written"},
        {"DELETE FROM T WHERE V = 99", 0, 0, "no row matches"},
        {"SELECT V INTO T2 FROM T WHERE V >= 30", 0, 2, "30 and 40 into a new table"},
        {"SELECT V INTO T2 FROM T", err::TableExists, 0, "refused: the table exists"},
        {"SELECT V INTO qask FROM T", err::ObjectExists, 0, "refused: a saved query asking for a parameter has the name"},
        {"SELECT V INTO qPurge FROM T", err::ObjectExists, 0, "refused: a saved action query has the name"},
        {"DELETE FROM T WHERE V < 25", 0, 2, "1 and 20"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(expectError([&] { db->Execute(c.sql, dbFailOnError); }), c.error) << c.reason;
        EXPECT_EQ(db->RecordsAffected(), c.affected) << c.reason;
    }
    EXPECT_EQ(daotest::ColumnOf(*db, "SELECT V FROM T ORDER BY V"), (std::vector<long>{30, 40}));
    EXPECT_EQ(daotest::ColumnOf(*db, "SELECT V FROM T2 ORDER BY V"), (std::vector<long>{30, 40}));
    EXPECT_EQ(db->QueryDefs()("qPurge")->Type(), dbQDelete);
    EXPECT_EQ(expectError([&] { db->OpenRecordset("qAsk"); }), err::ParametersExpected);
}

TEST_F(DaoTest, TransactionsCoverEveryDatabaseAndRollBackWhole) {
    auto a = newDb("a.db");
    auto b = newDb("b.db");
    makeIntTable(*a, "T");
    makeIntTable(*b, "T");
    auto ws = DBEngine().Workspaces(0);
    ws->BeginTrans();
    a->Execute("INSERT INTO T (V) VALUES (1)");
    ws->BeginTrans(); // nested
    b->Execute("INSERT INTO T (V) VALUES (2)");
    ws->CommitTrans();
    ws->Rollback();
    EXPECT_EQ(a->TableDefs()("T")->RecordCount(), 0);
    EXPECT_EQ(b->TableDefs()("T")->RecordCount(), 0);

    {
        TransactionGuard guard(*ws);
        a->Execute("INSERT INTO T (V) VALUES (3)");
        b->Execute("INSERT INTO T (V) VALUES (4)");
        guard.Commit();
    }
    {
        TransactionGuard guard(*ws); // leaves without Commit: rolled back
        a->Execute("INSERT INTO T (V) VALUES (5)");
    }
    EXPECT_EQ(a->TableDefs()("T")->RecordCount(), 1);
    EXPECT_EQ(b->TableDefs()("T")->RecordCount(), 1);
    EXPECT_EQ(expectError([&] { ws->CommitTrans(); }), 3034);
}

TEST_F(DaoTest, LogOnAgainstTheWorkgroupFile) {
    std::string mdw = tmp.file("system.mdw");
    Workgroup::Create(mdw);
    // The password is stored as a salted hash, never in clear.
    Workgroup::SetUser(mdw, "Clerk", "s3cret;'\"x");
    std::ifstream in(mdw, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes.find("s3cret"), std::string::npos);

    DBEngine().SetSystemDB(mdw);
    EXPECT_EQ(DBEngine().CreateWorkspace("w", "Admin", "")->UserName(), "Admin");
    EXPECT_EQ(DBEngine().CreateWorkspace("w", "clerk", "s3cret;'\"x")->UserName(), "clerk");
    EXPECT_EQ(expectError([&] { DBEngine().CreateWorkspace("w", "Clerk", "wrong"); }), err::NoPermission);
    EXPECT_EQ(expectError([&] { DBEngine().CreateWorkspace("w", "Nobody", ""); }), err::NoPermission);
    DBEngine().SetSystemDB(tmp.file("missing.mdw"));
    EXPECT_EQ(expectError([&] { DBEngine().CreateWorkspace("w", "Admin", ""); }), err::CannotOpenWorkgroup);
    DBEngine().SetSystemDB("");
    EXPECT_NO_THROW(DBEngine().CreateWorkspace("w", "admin", ""));
}

TEST_F(DaoTest, DatabasePasswordThroughConnectOrItsOwnArgument) {
    {
        auto db = newDb("p.db");
        db->NewPassword("", "pa;ss'word");
    }
    auto ws = DBEngine().Workspaces(0);
    EXPECT_EQ(expectError([&] { ws->OpenDatabase(tmp.file("p.db")); }), err::NotValidPassword);
    EXPECT_EQ(expectError([&] { ws->OpenDatabase(tmp.file("p.db"), false, false, ";pwd=wrong"); }), err::NotValidPassword);
    ConnectOptions opts;
    opts.password = "pa;ss'word";
    opts.hasPassword = true;
    EXPECT_NO_THROW(ws->OpenDatabase(tmp.file("p.db"), false, false, opts));
    // A database without a password ignores one given.
    newDb("plain.db")->Close();
    EXPECT_NO_THROW(ws->OpenDatabase(tmp.file("plain.db"), false, false, ";pwd=anything"));
}

TEST_F(DaoTest, ANewPasswordThatFailsHalfWayLeavesTheOldOneNotAFileNoPasswordOpens) {
    // The old password's rows were deleted, and the new salt stored, each
    // at once: when storing the new hash failed, the file kept a salt
    // without a hash, and neither password opened it any more.
    newDb("p.db")->NewPassword("", "old");
    {
        vtest::OtherProgram other(tmp.file("p.db"));
        other.Exec("CREATE TRIGGER NoHash BEFORE INSERT ON MSysDb WHEN NEW.Name = 'PasswordHash' "
                   "BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    }
    auto ws = DBEngine().Workspaces(0);
    {
        auto db = ws->OpenDatabase(tmp.file("p.db"), false, false, ";pwd=old");
        EXPECT_NE(expectError([&] { db->NewPassword("old", "new"); }), 0);
    }
    EXPECT_NO_THROW(ws->OpenDatabase(tmp.file("p.db"), false, false, ";pwd=old")->Close());
    EXPECT_EQ(expectError([&] { ws->OpenDatabase(tmp.file("p.db"), false, false, ";pwd=new"); }), err::NotValidPassword);
}

TEST_F(DaoTest, BadInputGivesNumberedErrorsAndLeavesTheFileAsItWas) {
    auto ws = DBEngine().Workspaces(0);
    EXPECT_EQ(expectError([&] { ws->OpenDatabase(tmp.file("nope.db")); }), err::FileNotFound);
    {
        std::ofstream f(tmp.file("text.db"));
        f << "this is not a database, just some text that is long enough to look like a header........";
    }
    EXPECT_EQ(expectError([&] { ws->OpenDatabase(tmp.file("text.db")); }), err::NotADatabase);
    auto db = typesDb();
    EXPECT_EQ(expectError([&] { db->OpenRecordset("NoSuchTable"); }), err::InputTableNotFound);
    EXPECT_EQ(expectError([&] { db->OpenRecordset("SELECT * FROM NoSuchTable"); }), err::InputTableNotFound);
    EXPECT_EQ(expectError([&] { db->OpenRecordset("SELECT Nope FROM Types"); }), err::ParametersExpected);
    EXPECT_NE(expectError([&] { db->OpenRecordset("SELECT FROM WHERE"); }), 0);
    EXPECT_EQ(expectError([&] { db->TableDefs()("Nope"); }), err::ItemNotFound);
    EXPECT_EQ(expectError([&] { db->TableDefs().Delete("Nope"); }), err::ItemNotFound);
    auto dup = db->CreateTableDef("Types");
    dup->Fields().Append(dup->CreateField("X", dbLong));
    EXPECT_EQ(expectError([&] { db->TableDefs().Append(dup); }), err::TableExists);
    EXPECT_EQ(db->TableDefs()("Types")->Fields().Count(), 10); // unchanged
    auto rs = db->OpenRecordset("Types");
    EXPECT_EQ(expectError([&] { rs->Fields("Nope"); }), err::ItemNotFound);
}

TEST_F(DaoTest, AFileLockedByAnotherConnectionIsReported) {
    newDb("lock.db")->Close();
    auto first = DBEngine().Workspaces(0)->OpenDatabase(tmp.file("lock.db"), true);
    auto ws2 = DBEngine().CreateWorkspace("second", "admin", "");
    EXPECT_EQ(expectError([&] { ws2->OpenDatabase(tmp.file("lock.db")); }), err::FileLocked);
}

TEST_F(DaoTest, ADatabaseInAFolderNobodyMayWriteToIsReadOnlyOrCannotBeOpenedInsteadOfAFileThatCannotBeFound) {
    // A change needs a journal file beside the database, which that folder
    // refuses; the database itself is there.
    std::filesystem::create_directory(tmp.file("shelf"));
    const std::string path = tmp.file("shelf/kept.db");
    {
        auto db = DBEngine().CreateDatabase(path, dbLangGeneral);
        makeIntTable(*db, "Kept");
        db->Execute("INSERT INTO Kept (V) VALUES (7)");
        db->Close();
        // Another program's file in WAL mode, read through a shared-memory
        // file beside it that the folder then refuses.
        vtest::OtherProgram other(tmp.file("shelf/wal.db"));
        other.Exec("PRAGMA journal_mode = WAL");
        other.Exec("CREATE TABLE Kept (V INTEGER)");
    }
    vtest::ReadOnlyPath folder(tmp.file("shelf"));
    if (!folder.Effective()) GTEST_SKIP() << "this system cannot make a folder read-only";
    EXPECT_EQ(expectError([&] { DBEngine().Workspaces(0)->OpenDatabase(tmp.file("shelf/wal.db")); }), 3051)
        << "a file that cannot be opened, not one that cannot be found";
    auto db = DBEngine().Workspaces(0)->OpenDatabase(path);
    const struct {
        std::function<void()> act;
        const char* why;
    } cases[] = {
        {[&] { db->Execute("INSERT INTO Kept (V) VALUES (8)"); }, "an SQL statement"},
        {[&] { makeIntTable(*db, "More"); }, "a new table"},
        {[&] {
             auto rs = db->OpenRecordset("Kept", dbOpenDynaset);
             rs->AddNew();
             rs->Fields("V")->SetValue(Variant(9L));
             rs->Update();
         },
         "a recordset's new row"},
    };
    for (const auto& c : cases) EXPECT_EQ(expectError(c.act), err::ReadOnly) << c.why;
    // Read as before.
    auto rs = db->OpenRecordset("SELECT Count(*) AS n, Max(V) AS m FROM Kept", dbOpenSnapshot);
    EXPECT_EQ(rs->Fields("n")->Value().ToString() + " " + rs->Fields("m")->Value().ToString(), "1 7");
    rs->Close();
    db->Close();
}

TEST_F(DaoTest, AFileMadeByTheSqliteToolOpensWithMappedTypes) {
    std::string path = tmp.file("foreign.sqlite");
    vtest::OtherProgram(path).Exec(
        "CREATE TABLE sales (id INTEGER PRIMARY KEY, region TEXT, city VARCHAR(30), amount REAL, qty INT, note CLOB,"
        " sold DATE); INSERT INTO sales (region, city, amount, qty, note, sold) VALUES ('north', 'Oslo', 10.5, 2, 'x',"
        " '2021-03-04'), ('North', 'Bergen', 4.5, 1, NULL, NULL), ('south', 'Rome', 7.25, 3, NULL, NULL);");
    auto db = DBEngine().OpenDatabase(path);
    auto td = db->TableDefs()("SALES");
    const std::pair<const char*, int> types[] = {{"id", dbLong},     {"region", dbText}, {"amount", dbDouble},
                                                 {"qty", dbLong},    {"note", dbMemo},   {"sold", dbDate}};
    for (const auto& [field, type] : types) EXPECT_EQ(td->Fields()(field)->Type(), type) << field;
    EXPECT_TRUE(td->Fields()("id")->Attributes() & dbAutoIncrField);
    EXPECT_EQ(td->Fields()("city")->Size(), 30);
    // Grouping and sorting follow the General order there too: north and North are one group.
    auto rs = db->OpenRecordset("SELECT region, Sum(amount) AS total FROM sales GROUP BY region ORDER BY region", dbOpenSnapshot);
    ASSERT_FALSE(rs->EOF_());
    EXPECT_TRUE(NamesEqual(rs->Fields("region")->Value().ToString(), "north"));
    EXPECT_DOUBLE_EQ(rs->Fields("total")->Value().ToDouble(), 15.0);
    rs->MoveNext();
    EXPECT_EQ(rs->Fields("region")->Value().ToString(), "south");
    rs->MoveNext();
    EXPECT_TRUE(rs->EOF_());
    auto d = db->OpenRecordset("SELECT sold FROM sales WHERE city = 'oslo'", dbOpenSnapshot);
    EXPECT_EQ(d->Fields(0)->Value().Type(), vbDate);
    EXPECT_EQ(d->Fields(0)->Value().ToString(), "2021-03-04");
}

TEST_F(DaoTest, SavedQueriesAreSourcesLikeTablesAndParameterQueriesFail) {
    auto db = typesDb();
    db->Execute("INSERT INTO Types (L, D, T) VALUES (1, 2.5, 'a')");
    db->Execute("INSERT INTO Types (L, D, T) VALUES (2, 3.5, 'b')");
    db->CreateQueryDef("qBig", "SELECT [T], [D] * 2 AS Twice, L FROM Types WHERE L > 1;");
    db->CreateQueryDef("qAsk", "SELECT * FROM Types WHERE L > [Enter the minimum]");
    auto q = db->QueryDefs()("QBIG");
    EXPECT_EQ(q->Type(), dbQSelect);
    EXPECT_EQ(q->Fields()("T")->Type(), dbText);
    EXPECT_EQ(q->Fields()("L")->Type(), dbLong);
    auto rs = db->OpenRecordset("qBig");
    ASSERT_FALSE(rs->EOF_());
    EXPECT_DOUBLE_EQ(rs->Fields("Twice")->Value().ToDouble(), 7.0);
    // Other SQL can read the stored query like a table.
    auto rs2 = db->OpenRecordset("SELECT Count(*) AS n FROM qBig", dbOpenSnapshot);
    EXPECT_EQ(rs2->Fields(0)->Value().ToLong(), 1);
    EXPECT_EQ(expectError([&] { db->OpenRecordset("qAsk"); }), err::ParametersExpected);
    EXPECT_EQ(expectError([&] { db->OpenRecordset("qAsk", dbOpenDynaset, dbReadOnly | dbSeeChanges); }), err::ParametersExpected);
    db->QueryDefs().Delete("qBig");
    EXPECT_EQ(expectError([&] { db->OpenRecordset("qBig"); }), err::InputTableNotFound);
}

TEST_F(DaoTest, ExternalDatabaseClauseReadsAnotherFile) {
    auto other = newDb("other.db");
    makeIntTable(*other, "Src", dbDouble);
    other->Execute("INSERT INTO Src (V) VALUES (1.5)");
    other->Execute("INSERT INTO Src (V) VALUES (2.5)");
    auto db = newDb();
    auto rs = db->OpenRecordset("SELECT Sum(V) AS s FROM Src IN '" + tmp.file("other.db") + "'", dbOpenSnapshot);
    EXPECT_DOUBLE_EQ(rs->Fields("s")->Value().ToDouble(), 4.0);
}

TEST_F(DaoTest, TwoExternalDatabasesStayApartOnOneConnection) {
    for (const char* name : {"x.db", "y.db"}) {
        auto other = newDb(name);
        makeIntTable(*other, "Src");
        other->Execute(std::string("INSERT INTO Src (V) VALUES (") + (name[0] == 'x' ? "1" : "2") + ")");
    }
    auto db = newDb();
    auto fromX = db->OpenRecordset("SELECT V FROM Src IN '" + tmp.file("x.db") + "'", dbOpenSnapshot);
    auto fromY = db->OpenRecordset("SELECT V FROM Src IN '" + tmp.file("y.db") + "'", dbOpenSnapshot);
    auto againX = db->OpenRecordset("SELECT V FROM Src IN '" + tmp.file("x.db") + "'", dbOpenSnapshot);
    EXPECT_EQ(fromX->Fields(0)->Value().ToLong(), 1);
    EXPECT_EQ(fromY->Fields(0)->Value().ToLong(), 2);
    EXPECT_EQ(againX->Fields(0)->Value().ToLong(), 1);
}

TEST_F(DaoTest, ARecordsetOfAClosedDatabaseFailsCleanly) {
    auto db = typesDb();
    db->Execute("INSERT INTO Types (L) VALUES (1)");
    auto rs = db->OpenRecordset("SELECT * FROM Types", dbOpenSnapshot);
    auto field = rs->Fields("L");
    // Pending values: of a row being added in a recordset closed, of an edit in one whose database is closed.
    auto closed = db->OpenRecordset("Types", dbOpenDynaset);
    closed->AddNew();
    closed->Fields("L")->SetValue(5);
    closed->Close();
    auto editing = db->OpenRecordset("Types", dbOpenDynaset);
    editing->Edit();
    editing->Fields("L")->SetValue(5);
    db->Close();
    EXPECT_EQ(expectError([&] { rs->MoveNext(); }), err::ObjectClosed);
    EXPECT_EQ(expectError([&] { field->Value(); }), err::ObjectClosed);
    EXPECT_EQ(expectError([&] { closed->Fields("L")->Value(); }), err::ObjectClosed);
    EXPECT_EQ(expectError([&] { editing->Fields("L")->Value(); }), err::ObjectClosed);
    EXPECT_EQ(expectError([&] { db->TableDefs(); }), err::ObjectClosed);
}

TEST_F(DaoTest, DuplicateKeysAreRefused) {
    auto db = newDb();
    auto td = daotest::NewTableDef(*db, "F", {{"Scenario_ID", dbLong}, {"FieldDef_Name", dbText, 64}});
    daotest::AddIndex(*td, "PrimaryKey", {"Scenario_ID", "FieldDef_Name"}, true);
    db->TableDefs().Append(td);
    db->Execute("INSERT INTO F VALUES (1, 'x')");
    db->Execute("INSERT INTO F VALUES (2, 'x')");
    EXPECT_EQ(expectError([&] { db->Execute("INSERT INTO F VALUES (1, 'X')"); }), err::DuplicateKey);
}

TEST_F(DaoTest, AnIndexAppendedToOrDeletedFromAStoredTableChangesTheFileInsteadOfOnlyTheList) {
    const std::string path = tmp.file("idx.db");
    newDb("idx.db")->Close();
    // Another program's table, with a unique index of its own: V repeats, S does not.
    vtest::OtherProgram(path).Exec("CREATE TABLE T (V INT, S TEXT); CREATE UNIQUE INDEX own ON T (S);"
                                   "INSERT INTO T VALUES (1, 'a'), (1, 'b');");
    auto indexNames = [&] {
        std::string names;
        auto db = DBEngine().OpenDatabase(path);
        for (const auto& ix : db->TableDefs()("T")->Indexes()) names += ix->Name() + ";";
        db->Close();
        return names;
    };
    auto append = [&](const char* name, const char* field, bool unique, bool primary) {
        auto db = DBEngine().OpenDatabase(path);
        auto td = db->TableDefs()("T");
        auto ix = td->CreateIndex(name);
        ix->Fields().Append(ix->CreateField(field));
        ix->SetUnique(unique);
        ix->SetPrimary(primary);
        return expectError([&] { td->Indexes().Append(ix); });
    };
    struct Case {
        const char* name;
        const char* field;
        bool unique, primary;
        long error;
        const char* listed; // the indexes a reopened file lists
        const char* reason;
    } cases[] = {
        {"UV", "V", true, false, err::DuplicateKey, "own;", "V repeats: no unique index is made"},
        {"PV", "V", false, true, err::DuplicateKey, "own;", "a primary key is unique too"},
        {"IV", "V", false, false, 0, "own;IV;", "a plain index takes repeats; the other program's stays listed"},
        {"PS", "S", false, true, 0, "own;IV;PS;", "S repeats nothing"},
        {"P2", "V", false, true, 3283, "own;IV;PS;", "a second primary key"},
        {"X", "Nope", false, false, err::ItemNotFound, "own;IV;PS;", "no such field"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(append(c.name, c.field, c.unique, c.primary), c.error) << c.reason;
        EXPECT_EQ(indexNames(), c.listed) << c.reason;
    }
    auto db = DBEngine().OpenDatabase(path);
    EXPECT_EQ(expectError([&] { db->Execute("INSERT INTO T VALUES (2, 'b')"); }), err::DuplicateKey);
    db->TableDefs()("T")->Indexes().Delete("PS");
    db->TableDefs()("T")->Indexes().Delete("own");
    db->Execute("INSERT INTO T VALUES (2, 'b')"); // neither key holds any more
    db->Close();
    EXPECT_EQ(indexNames(), "IV;");
}

} // namespace
