// Numbers to and from text in the data layer under a user's regional settings:
// a client program may have set the process's C locale to one that writes a
// decimal comma (German), and the data layer must read and write "2.5" as it
// does under the C locale.
#include "DaoTestTables.h"
#include "db/Dao.h"
#include "support/UserLocale.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dao;

// Under de_DE the C library reads "2.5" as 2 (it stops at the point) and
// writes 2.5 as "2,5", which the formatting of doubles then turned into
// "2.,5"; a number put into a Text field was stored so.
TEST(UserLocale, NumbersAndTextsConvertUnderADecimalCommaLocaleAsUnderC) {
    VTEST_USER_LOCALE(german, "de_DE");
    struct Row {
        const char* text;   // a number written as every program writes it
        double value;       // its value
        const char* shown;  // the value as the data layer writes it
    };
    const std::vector<Row> rows = {
        {"2.5", 2.5, "2.5"},
        {"-0.125", -0.125, "-0.125"},
        {"1.5E+20", 1.5e20, "1.5E+20"},
        {"3.25e-20", 3.25e-20, "3.25E-20"},
        {"0.000325", 0.000325, "0.000325"},
        {"1234567.75", 1234567.75, "1234567.75"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(Variant(r.text).ToDouble(), r.value);
        EXPECT_EQ(Val(r.text), r.value);
        EXPECT_TRUE(IsNumeric(r.text));
        EXPECT_EQ(FormatDouble(r.value), r.shown);
        EXPECT_EQ(Variant(r.value).ToString(), r.shown);
    }
    // Single precision: 2.5 and 0.375 are exact in a float.
    EXPECT_EQ(Variant(2.5f).ToString(), "2.5");
    EXPECT_EQ(Variant(0.375f).ToString(), "0.375");
    // Rounding to decimals goes through the decimal text: 2.675 to 2.68 as written.
    EXPECT_EQ(RoundHalfEvenTo(2.675, 2), 2.68);
    EXPECT_EQ(RoundHalfEvenTo(1.25, 1), 1.2);
    // Fractions of a second in a date text: 12:00:00.75 is 0.5 days plus 0.75 s.
    double date = 0;
    ASSERT_TRUE(ParseDate("1900-01-01 12:00:00.75", date));
    EXPECT_DOUBLE_EQ(date, 2.0 + 0.5 + 0.75 / 86400.0);
}

// A number stored into a Text field is kept as its text with a decimal point,
// and reads back as the number.
TEST(UserLocale, NumberStoredInATextFieldKeepsItsDecimalPointUnderADecimalCommaLocale) {
    VTEST_USER_LOCALE(german, "de_DE");
    DBEngine().Reset();
    vtest::TempDir tmp;
    auto db = DBEngine().CreateDatabase(tmp.file("t.db"), dbLangGeneral);
    daotest::MakeTable(*db, "T", {{"K", dbLong}, {"S", dbText, 20}});
    auto rs = db->OpenRecordset("T", dbOpenDynaset);
    rs->AddNew();
    rs->Fields("K")->SetValue(Variant(1));
    rs->Fields("S")->SetValue(Variant(2.5));
    rs->Update();
    rs->Close();
    auto back = db->OpenRecordset("SELECT S FROM T;", dbOpenSnapshot);
    ASSERT_FALSE(back->EOF_());
    EXPECT_EQ(back->Fields("S")->Value().ToString(), "2.5");
    EXPECT_EQ(back->Fields("S")->Value().ToDouble(), 2.5);
    back->Close();
    db->Close();
}

// The functions of the SQL a user or the engine writes: under de_DE the text
// '2.5' was no number to IsNumeric and CDbl (the C library stopped at the
// point), Val read it as 2, Str and CStr wrote 2.5 as "2,5", and a numeric
// literal beyond the doubles went on as the number its digits before the
// point make.
TEST(UserLocale, SqlFunctionsReadAndWriteNumbersUnderADecimalCommaLocaleAsUnderC) {
    VTEST_USER_LOCALE(german, "de_DE");
    DBEngine().Reset();
    vtest::TempDir tmp;
    auto db = DBEngine().CreateDatabase(tmp.file("f.db"), dbLangGeneral);
    daotest::MakeTable(*db, "T", {{"K", dbLong}});
    db->Execute("INSERT INTO T (K) VALUES (1);");
    struct Row {
        const char* expression;
        const char* expected; // the value as text
    };
    const std::vector<Row> rows = {
        {"IsNumeric('2.5')", "-1"},
        {"IsNumeric(' -0.125 ')", "-1"},
        {"CDbl('2.5')", "2.5"},
        {"CDbl('1.5E+20') / 1E+20", "1.5"},
        {"Val('2.5')", "2.5"},
        {"Val(' 7.25xyz')", "7.25"},
        {"Str(2.5)", " 2.5"},
        {"CStr(-0.125)", "-0.125"},
        {"'2.5' + 1", "3.5"},
        {"'2.5' * 2", "5"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.expression);
        auto rs = db->OpenRecordset(std::string("SELECT ") + r.expression + " AS V FROM T;", dbOpenSnapshot);
        ASSERT_FALSE(rs->EOF_());
        const Variant v = rs->Fields("V")->Value();
        EXPECT_EQ(v.ToString(), r.expected);
        rs->Close();
    }
    // A literal beyond the doubles is refused as under C, not read as 1.5.
    try {
        db->OpenRecordset("SELECT 1.5E+400 AS V FROM T;", dbOpenSnapshot);
        ADD_FAILURE() << "a literal beyond the doubles was taken";
    } catch (const DaoError& e) {
        EXPECT_NE(e.Description().find("out of range"), std::string::npos) << e.Description();
    }
    db->Close();
}

// Under a Turkish locale the C library's case mapping leaves the ASCII "I"
// and "i" as they are (their pairs are the dotless and the dotted i), so
// "IN" was not the keyword "in", "IsNull" not the function "isnull" and "ID"
// not the name "id": SQL that runs under every other locale failed.
TEST(UserLocale, SqlKeywordsFunctionsAndNamesWithAnIUnderATurkishLocale) {
    VTEST_USER_LOCALE(turkish, "tr_TR");
    DBEngine().Reset();
    vtest::TempDir tmp;
    auto db = DBEngine().CreateDatabase(tmp.file("i.db"), dbLangGeneral);
    daotest::MakeTable(*db, "File", {{"ID", dbLong}, {"Info", dbText, 20}, {"Size", dbDouble}});
    db->Execute("insert into file (id, info, size) values (1, 'a', 2.5);");
    db->Execute("INSERT INTO FILE (ID, INFO, SIZE) VALUES (2, Null, 4);");
    db->Execute("Insert Into File (Id, Info, Size) Values (3, 'c', 8);");
    struct Row {
        const char* sql;
        double expected; // the one value the query gives
    };
    const std::vector<Row> rows = {
        {"SELECT Count(*) FROM File WHERE ID IN (1, 3);", 2},
        {"SELECT Count(*) FROM file WHERE id in (1, 3);", 2},
        {"SELECT Sum(Size) FROM FILE WHERE INFO IS NULL;", 4},
        {"SELECT Sum(SIZE) FROM File WHERE Info Is Not Null;", 10.5},
        {"SELECT Sum(IIf(IsNull(Info), 1, 0)) FROM File;", 1},
        {"SELECT Sum(IIF(ISNULL(INFO) OR ISNUMERIC(INFO), 100, 1)) FROM FILE;", 102},
        {"SELECT Count(*) FROM (SELECT DISTINCT Info FROM File WHERE Info LIKE '[ac]');", 2},
        {"SELECT Max(f.ID) FROM File AS f INNER JOIN File AS g ON f.ID = g.ID WHERE g.Size BETWEEN 2 AND 5;", 2},
        {"SELECT Min(Size) FROM File WHERE EXISTS (SELECT * FROM File AS i WHERE i.ID = File.ID + 1);", 2.5},
        {"SELECT First(Size) FROM File WHERE Info = 'c' ORDER BY ID;", 8},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.sql);
        try {
            auto rs = db->OpenRecordset(r.sql, dbOpenSnapshot);
            ASSERT_FALSE(rs->EOF_());
            EXPECT_EQ(rs->Fields(0)->Value().ToDouble(), r.expected);
            rs->Close();
        } catch (const DaoError& e) {
            ADD_FAILURE() << e.Description();
        }
    }
    // A stored action query written in small letters is one.
    auto q = db->CreateQueryDef("AddOne", "insert into file (id, size) values (4, 16);");
    EXPECT_EQ(q->Type(), dbQAppend);
    db->Close();
}
