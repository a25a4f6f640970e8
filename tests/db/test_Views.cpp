// The file's own views (SQLite's saved queries, made by other programs) are
// queries of the layer: listed, read-only, with their fields; union and
// crosstab queries have their own types, and a query the layer cannot read
// says so.
#include "DaoTestTables.h"
#include "db/Dao.h"
#include "support/OtherProgram.h"

#include <gtest/gtest.h>

#include <functional>

using namespace dao;

namespace {

class ViewsTest : public daotest::FreshEngine {
protected:
    void SetUp() override {
        FreshEngine::SetUp();
        path = tmp.file("views.db");
        db = DBEngine().CreateDatabase(path, dbLangGeneral);
        daotest::MakeTable(*db, "Data", {{"G", dbText, 5}, {"X", dbDouble}});
        for (const char* row : {"('a', 1)", "('a', 2)", "('b', 4)"})
            db->Execute(std::string("INSERT INTO Data (G, X) VALUES ") + row);
        db->CreateQueryDef("qSelect", "SELECT G, X FROM Data WHERE X > 1");
        db->CreateQueryDef("qUnion", "SELECT G FROM Data UNION SELECT G FROM Data");
        db->CreateQueryDef("qCross", "TRANSFORM Sum(X) SELECT G FROM Data GROUP BY G PIVOT X");
        db->CreateQueryDef("qUnknown", "SELECT NoSuchFunction(X) FROM Data");
        db->CreateQueryDef("qPurge", "DELETE * FROM Data WHERE X < 0");
    }
    void TearDown() override {
        if (db) db->Close();
        FreshEngine::TearDown();
    }
    std::string path;
    DatabasePtr db;
};

} // namespace

TEST_F(ViewsTest, AViewAnotherProgramMadeIsAReadOnlySelectQueryWithItsFields) {
    {
        // Made while the database is open here.
        vtest::OtherProgram other(path);
        other.Exec("CREATE VIEW vTheirs AS SELECT G, X * 2 AS Twice FROM Data WHERE X >= 2");
    }
    const struct {
        const char* name;
        int type;
        bool view, readable;
        const char* why;
    } cases[] = {
        {"vTheirs", dbQSelect, true, true, "the other program's view"},
        {"qSelect", dbQSelect, false, true, "a select query of this layer (also a view in the file, listed once)"},
        {"qUnion", dbQSetOperation, false, true, "a union query"},
        {"qCross", dbQCrosstab, false, false, "a crosstab query, which the layer does not read"},
        {"qUnknown", dbQSelect, false, false, "a select query the layer cannot read"},
        {"qPurge", dbQDelete, false, false, "an action query: no records to read"},
    };
    QueryDefs& queries = db->QueryDefs();
    EXPECT_EQ(queries.Count(), static_cast<int>(std::size(cases)));
    for (const auto& c : cases) {
        QueryDefPtr q = queries.Find(c.name);
        ASSERT_NE(q, nullptr) << c.why;
        EXPECT_EQ(q->Type(), c.type) << c.why;
        EXPECT_EQ(q->IsView(), c.view) << c.why;
        EXPECT_EQ(q->Readable(), c.readable) << c.why;
    }
    // The view's fields, and its records through a recordset.
    QueryDefPtr v = queries("vTheirs");
    ASSERT_EQ(v->Fields().Count(), 2);
    EXPECT_EQ(v->Fields()(0)->Name(), "G");
    EXPECT_EQ(v->Fields()(0)->Type(), dbText);
    EXPECT_EQ(v->Fields()(1)->Name(), "Twice");
    EXPECT_EQ(v->Fields()(1)->Type(), dbDouble);
    std::string read;
    for (auto rs = db->OpenRecordset("vTheirs", dbOpenSnapshot); !rs->EOF_(); rs->MoveNext())
        read += rs->Fields("G")->Value().ToString() + rs->Fields("Twice")->Value().ToString() + " ";
    EXPECT_EQ(read, "a4 b8 ");
}

TEST_F(ViewsTest, AViewIsNeitherChangedRenamedNorDeletedThroughTheLayer) {
    {
        vtest::OtherProgram other(path);
        other.Exec("CREATE VIEW vTheirs AS SELECT G FROM Data");
    }
    QueryDefPtr v = db->QueryDefs()("vTheirs");
    const struct {
        std::function<void()> act;
        const char* why;
    } cases[] = {
        {[&] { v->SetSQL("SELECT X FROM Data"); }, "its SQL"},
        {[&] { v->SetName("vMine"); }, "its name"},
        {[&] { db->QueryDefs().Delete("vTheirs"); }, "deleting it"},
    };
    for (const auto& c : cases) EXPECT_EQ(daotest::ErrorNumberOf(c.act), err::ReadOnly) << c.why;
    vtest::OtherProgram other(path);
    EXPECT_EQ(other.Text("SELECT sql FROM sqlite_master WHERE name = 'vTheirs'"), "CREATE VIEW vTheirs AS SELECT G FROM Data");
    EXPECT_EQ(db->QueryDefs()("vTheirs")->SQL(), "SELECT * FROM [vTheirs]");
}

TEST_F(ViewsTest, ASavedQueryThatCannotBeReadYetLeavesEveryTableFreeToBeRenamedAndItsFieldsDeleted) {
    const struct {
        const char* sql;
        long openError; // what opening the query, or reading it from other SQL, reports
        const char* why;
    } cases[] = {
        {"SELECT G FROM Data WHERE X > [Lowest X]", err::ParametersExpected, "a parameter"},
        {"SELECT * FROM NotYetMade", err::InputTableNotFound, "a table not there"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string name = "Other" + std::to_string(++n);
        daotest::MakeTable(*db, name, {{"A", dbLong}, {"B", dbLong}});
        db->CreateQueryDef("qWaiting", c.sql);
        auto td = db->TableDefs()(name);
        EXPECT_EQ(daotest::ErrorNumberOf([&] { td->Fields().Delete("B"); }), 0) << c.why;
        EXPECT_EQ(daotest::ErrorNumberOf([&] { td->SetName(name + "x"); }), 0) << c.why;
        db->TableDefs().Refresh();
        EXPECT_EQ(db->TableDefs()(name + "x")->Fields().Count(), 1) << c.why;
        EXPECT_EQ(daotest::ErrorNumberOf([&] { db->OpenRecordset("qWaiting"); }), c.openError) << c.why;
        EXPECT_EQ(daotest::ErrorNumberOf([&] { db->OpenRecordset("SELECT * FROM [qWaiting]"); }), c.openError) << c.why;
        db->QueryDefs().Delete("qWaiting");
    }
}

TEST_F(ViewsTest, AViewsComputedColumnIsNotTypedByItsFirstValueAlone) {
    // Another program's "CREATE VIEW vCalc AS SELECT K, IIf(...) AS V": V
    // declares no type. Typed by its first value, 1 then 2.5 was a Long
    // field, 1 then 'a' a Long field too, where a run reads the first as
    // reals (Double) and the second as texts (Text).
    const struct {
        const char* values; // V of the rows, in the order of K
        int type;
        const char* why;
    } cases[] = {
        {"(1, 1), (2, 2)", dbLong, "whole numbers only"},
        {"(1, 1), (2, 2.5)", dbDouble, "a whole number first, a real later"},
        {"(1, 1), (2, 'a')", dbText, "a number first, a text that is no number later"},
        {"(1, 1), (2, 3000000000)", dbBigInt, "a whole number beyond 32 bits later"},
        {"(1, 'north'), (2, 'south')", dbText, "texts only"},
        {"(1, 2.5), (2, 1)", dbDouble, "a real first"},
    };
    for (const auto& c : cases) {
        db->Close();
        {
            vtest::OtherProgram other(path);
            other.Exec("DROP VIEW IF EXISTS vCalc");
            other.Exec("DROP TABLE IF EXISTS Src");
            other.Exec("CREATE TABLE Src (K INTEGER PRIMARY KEY, Raw)");
            other.Exec(std::string("INSERT INTO Src (K, Raw) VALUES ") + c.values);
            other.Exec("CREATE VIEW vCalc AS SELECT K, coalesce(Raw, 0) AS V FROM Src ORDER BY K");
        }
        db = DBEngine().OpenDatabase(path);
        QueryDefPtr v = db->QueryDefs()("vCalc");
        EXPECT_EQ(v->Fields()("V")->Type(), c.type) << c.why;
    }
}

TEST_F(ViewsTest, AColumnACVDateOrADateLiteralComputesIsADateFieldNotADoubleOfDayNumbers) {
    // CVDate turns another program's date texts into dates; the column it
    // computes declares no type and was typed by its first value, a real:
    // a Double field showing 37623 for 2 Jan 2003 (1 Jan 1900 is day 2,
    // 1 Jan 2003 day 2 + 103 * 365 + 25 leap days = 37622).
    db->Close();
    {
        vtest::OtherProgram other(path);
        other.Exec("CREATE TABLE Stamps (K INTEGER PRIMARY KEY, S TEXT, N REAL)");
        other.Exec("INSERT INTO Stamps VALUES (1, '2003-01-02', 2.5), (2, '1/3/2003 10:30', 37624.5)");
    }
    db = DBEngine().OpenDatabase(path);
    db->CreateQueryDef("qDates", "SELECT K, CVDate(S) AS Day, CVDate(N) AS FromNumber, #1/2/2003# AS Fixed, "
                                 "CVDate(S) + 1 AS DayNumber FROM Stamps ORDER BY K");
    const struct {
        const char* field;
        int type;
        const char* first;  // the first row's value as it is shown
        const char* second;
        const char* why;
    } cases[] = {
        {"Day", dbDate, "2003-01-02", "2003-01-03 10:30:00", "date texts made dates"},
        {"FromNumber", dbDate, "1900-01-01 12:00:00", "2003-01-03 12:00:00", "day numbers made dates"},
        {"Fixed", dbDate, "2003-01-02", "2003-01-02", "a date literal"},
        {"DayNumber", dbDouble, "37624", "37625.4375", "arithmetic on a date: a number, as it was"},
    };
    QueryDefPtr q = db->QueryDefs()("qDates");
    for (const char* source : {"qDates", "SELECT K, CVDate(S) AS Day, CVDate(N) AS FromNumber, #1/2/2003# AS Fixed, "
                                         "CVDate(S) + 1 AS DayNumber FROM Stamps ORDER BY K;"}) {
        SCOPED_TRACE(source);
        RecordsetPtr rs = db->OpenRecordset(source, dbOpenSnapshot);
        for (const auto& c : cases) {
            SCOPED_TRACE(c.why);
            EXPECT_EQ(q->Fields()(c.field)->Type(), c.type);
            EXPECT_EQ(rs->Fields(c.field)->Type(), c.type);
        }
        for (int row = 0; row < 2; ++row, rs->MoveNext()) {
            ASSERT_FALSE(rs->EOF_());
            for (const auto& c : cases)
                EXPECT_EQ(rs->Fields(c.field)->Value().ToString(), row == 0 ? c.first : c.second) << c.why;
        }
        rs->Close();
    }
}

TEST_F(ViewsTest, ASavedQuerysViewMadeByAnEarlierTranslationIsMadeAgainWhenTheFileIsOpened) {
    // A saved query is read through its view, made from its statement when
    // it was saved. A view an earlier build made compared two text columns
    // with their letter case ("é" did not join "É"), and kept doing so
    // after the translation was mended, until the query was saved again.
    daotest::MakeTable(*db, "Names", {{"G", dbText, 5}, {"Label", dbText, 10}});
    db->Execute("INSERT INTO Names (G, Label) VALUES ('\xC3\x89', 'first')"); // É
    for (const char* row : {"('\xC3\xA9', 10)", "('\xC3\xA9', 20)"})     // é
        db->Execute(std::string("INSERT INTO Data (G, X) VALUES ") + row);
    db->CreateQueryDef("qJoined", "SELECT Data.X, Names.Label FROM Data INNER JOIN Names ON Data.G = Names.G");
    db->Close();
    db.reset();
    {
        // The view as the earlier build wrote it: the join's keys compared as stored.
        vtest::OtherProgram other(path);
        other.Exec("DROP VIEW qJoined");
        other.Exec("CREATE VIEW \"qJoined\" AS SELECT \"Data\".\"X\", \"Names\".\"Label\" FROM \"Data\" INNER JOIN \"Names\" "
                   "ON \"Data\".\"G\" = \"Names\".\"G\"");
    }
    db = DBEngine().OpenDatabase(path);
    RecordsetPtr rs = db->OpenRecordset("SELECT Sum(X) AS Total, Count(*) AS N FROM qJoined", dbOpenSnapshot);
    EXPECT_EQ(rs->Fields("N")->Value().ToDouble(), 2); // both é join É
    EXPECT_EQ(rs->Fields("Total")->Value().ToDouble(), 30);
    rs->Close();
    EXPECT_EQ(db->QueryDefs()("qJoined")->SQL(),
              "SELECT Data.X, Names.Label FROM Data INNER JOIN Names ON Data.G = Names.G");
}
