// The layer reads what another program stored, whatever the column declares:
// whole numbers beyond the declared range, reals in full precision, texts
// that are no number and blobs, each as it is.
#include "DaoTestTables.h"
#include "db/Dao.h"
#include "support/OtherProgram.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace dao;
using vtest::Stored;

namespace {

// Another program's table: one column of each declared type it may use.
const char* kTheirsTable =
    "CREATE TABLE Theirs (K INTEGER PRIMARY KEY, Small SMALLINT, Tiny TINYINT, Whole INTEGER, Single10 FLOAT(10),"
    " Dbl DOUBLE, Money CURRENCY, Dec DECIMAL(20, 4), Flag BOOLEAN, Day DATETIME, Str STRING)";

// Each test writes its file as another program would, then reads it
// through the layer.
class StoredValues : public ::testing::Test {
protected:
    void SetUp() override { DBEngine().Reset(); }
    void TearDown() override {
        if (db) db->Close();
        DBEngine().Reset();
    }
    // A table `table` (K, Day DATETIME) with one row a value, K from 0.
    void WriteDays(const std::string& path, const std::string& table, const std::vector<Stored>& days) {
        vtest::OtherProgram other(path);
        other.Exec("CREATE TABLE " + table + " (K INTEGER PRIMARY KEY, Day DATETIME)");
        for (std::size_t i = 0; i < days.size(); ++i)
            other.Exec("INSERT INTO " + table + " VALUES (" + std::to_string(i) + ", ?1)", days[i]);
    }

    // The Day values of a table "Days" written as above into `file`, read
    // back in order through the layer (which opens the file as `db`).
    std::vector<Variant> DaysReadBack(const std::string& file, const std::vector<Stored>& days) {
        const std::string path = tmp.file(file);
        WriteDays(path, "Days", days);
        db = DBEngine().OpenDatabase(path);
        std::vector<Variant> values;
        RecordsetPtr rs = db->OpenRecordset("SELECT Day FROM Days ORDER BY K", dbOpenDynaset, dbReadOnly);
        for (; !rs->EOF_(); rs->MoveNext()) values.push_back(rs->Fields(0)->Value());
        rs->Close();
        return values;
    }

    // Writes `file` as another program would, one statement after another,
    // and opens it as `db`.
    void OpenTheirs(const std::string& file, std::initializer_list<const char*> statements) {
        {
            vtest::OtherProgram other(tmp.file(file));
            for (const char* sql : statements) other.Exec(sql);
        }
        db = DBEngine().OpenDatabase(tmp.file(file));
    }

    vtest::TempDir tmp;
    DatabasePtr db;
};

struct Case {
    const char* column;
    Stored stored;
    int varType;           // the Variant type read back
    std::int64_t whole;    // for whole-number types
    double real;           // for real and date types
    std::string bytes;     // for texts and blobs
    const char* why;
};

TEST_F(StoredValues, NumberColumnsReadWhatAnotherProgramStoredExactlyAndANumberReadOfTextOrBytesFails) {
    const std::string path = tmp.file("foreign.db");
    const std::vector<Case> cases = {
        {"Small", Stored::Int(40000), vbLong, 40000, 0, "", "beyond SMALLINT: not wrapped to -25536"},
        {"Small", Stored::Int(-32768), vbInteger, -32768, 0, "", "the end of the range keeps the Integer type"},
        {"Tiny", Stored::Int(300), vbLong, 300, 0, "", "beyond TINYINT: not wrapped to 44"},
        {"Tiny", Stored::Int(255), vbByte, 255, 0, "", "within TINYINT: a Byte"},
        {"Small", Stored::Real(2.5), vbDouble, 0, 2.5, "", "a fraction in a SMALLINT column: not cut to 2"},
        {"Whole", Stored::Int(1700000000123LL), vbLongLong, 1700000000123LL, 0, "", "a time stamp in milliseconds"},
        {"Whole", Stored::Int(INT64_MAX), vbLongLong, INT64_MAX, 0, "", "the largest 64-bit value"},
        {"Single10", Stored::Real(0.1), vbDouble, 0, 0.1, "", "FLOAT(10) keeps all 8 bytes: not 0.10000000149"},
        {"Single10", Stored::Real(1e300), vbDouble, 0, 1e300, "", "beyond single precision: not infinite"},
        {"Money", Stored::Real(0.123456), vbDouble, 0, 0.123456, "", "more decimals than Currency: not 0.1235"},
        {"Money", Stored::Real(12.5), vbCurrency, 0, 12.5, "", "a Currency value keeps its type"},
        {"Dec", Stored::Int(9007199254740993LL), vbLongLong, 9007199254740993LL, 0, "", "2^53 + 1: no double holds it"},
        {"Dbl", Stored::Real(0.30000000000000004), vbDouble, 0, 0.30000000000000004, "", "all 17 digits"},
        {"Small", Stored::Text("12abc"), vbString, 0, 0, "12abc", "a text that starts with digits: not 12"},
        {"Small", Stored::Text("abc"), vbString, 0, 0, "abc", "a text that is no number: not 0"},
        {"Whole", Stored::Blob("12"), vbByteArray, 0, 0, "12", "a blob spelling digits: bytes, not 12"},
        {"Dbl", Stored::Text("+-5"), vbString, 0, 0, "+-5", "a plus and then a minus: no number, not -5"},
        {"Small", Stored::Text("+-12"), vbString, 0, 0, "+-12", "the same in a SMALLINT column: not -12"},
        {"Dbl", Stored::Blob(std::string("\x01\x00\x02", 3)), vbByteArray, 0, 0, std::string("\x01\x00\x02", 3),
         "a blob in a DOUBLE column"},
        {"Flag", Stored::Text("maybe"), vbString, 0, 0, "maybe", "a text that is no Yes/No"},
        {"Flag", Stored::Text("yes"), vbString, 0, 0, "yes", "a text in a Yes/No column, even \"yes\": not True"},
        {"Flag", Stored::Int(1), vbBoolean, -1, 0, "", "1 is True, as other programs write it"},
        {"Flag", Stored::Blob("\x01"), vbByteArray, 0, 0, "\x01", "a blob that is no Yes/No"},
        {"Day", Stored::Blob("x"), vbByteArray, 0, 0, "x", "a blob that is no date"},
        // STRING is a text field here, but SQLite gives it number affinity: it keeps reals as reals.
        {"Str", Stored::Real(0.30000000000000004), vbString, 0, 0, "0.30000000000000004",
         "a real in a text column: every digit that tells it from 0.3"},
        {"Str", Stored::Real(0.5), vbString, 0, 0, "0.5", "a real that 15 digits give back"},
    };
    {
        vtest::OtherProgram other(path);
        other.Exec(kTheirsTable);
        for (std::size_t i = 0; i < cases.size(); ++i)
            other.Exec("INSERT INTO Theirs (K, " + std::string(cases[i].column) + ") VALUES (" + std::to_string(i) +
                           ", ?1)",
                       cases[i].stored);
    }
    db = DBEngine().OpenDatabase(path);
    // The forward read (as a run reads its data) and a table recordset.
    for (const char* source : {"SELECT * FROM Theirs ORDER BY K", "Theirs"}) {
        SCOPED_TRACE(source);
        RecordsetPtr rs = db->OpenRecordset(source, source[0] == 'S' ? dbOpenDynaset : 0,
                                            source[0] == 'S' ? dbReadOnly : 0);
        for (const Case& c : cases) {
            ASSERT_FALSE(rs->EOF_()) << c.why;
            // A number read gives the number, and fails for a text or a blob
            // (never the digits they spell).
            double x = 0;
            const bool failed =
                daotest::ErrorNumberOf([&] { (void)rs->Fields(c.column)->ValueAsDouble(x); }) == err::TypeMismatch;
            if (std::string(c.column) != "Str") { // a text field, whose texts may be numbers
                EXPECT_EQ(failed, c.varType == vbString || c.varType == vbByteArray) << c.why;
            }
            const Variant v = rs->Fields(c.column)->Value();
            EXPECT_EQ(v.Type(), c.varType) << c.why;
            switch (c.varType) {
            case vbByte: case vbInteger: case vbLong: case vbLongLong: case vbBoolean:
                EXPECT_EQ(v.RawInt(), c.whole) << c.why;
                break;
            case vbString: case vbByteArray:
                EXPECT_EQ(v.RawString(), c.bytes) << c.why;
                break;
            default:
                EXPECT_EQ(v.RawDouble(), c.real) << c.why;
            }
            rs->MoveNext();
        }
        rs->Close();
    }
}


TEST_F(StoredValues, ADateTextAnotherProgramWroteIsReadWithItsTimeOrStaysTextWhenItIsNoDate) {
    // Days since 1899-12-30 worked out by Python's datetime (2024-01-15 is
    // day 45306, 2024-02-29 day 45351), the time as a fraction of 86400 s;
    // 0 expects the text itself.
    const struct {
        const char* text;
        double day;
        const char* why;
    } cases[] = {
        {"2024-01-15T12:00:00", 45306.5, "the ISO form with a T: not midnight"},
        {"2024-01-15 12:00:00", 45306.5, "the ISO form with a blank"},
        {"2024-01-15 12:00:00.500000", 45306 + 43200.5 / 86400, "Python's microseconds: not dropped"},
        {"2024-01-15T12:00:00.000Z", 45306.5, "a JavaScript time stamp: the time as written"},
        {"1/15/2024 3:30:00 PM", 45306 + 15.5 / 24, "PM: 15:30, not 03:30"},
        {"2024-02-29", 45351, "a leap day"},
        {"2024-02-31", 0, "a day February does not have: not 2024-03-02"},
        {"2023-02-29", 0, "no leap day in 2023"},
        {"2024-01-15xyz", 0, "a date followed by other text"},
        {"2024-01-15 12:00:00 noon", 0, "a time followed by other text"},
        // Before the base day the whole days count down and the time adds on
        // (29 Dec 1899 is day -1, 1 Jan 1800 day -36522: 100 years with 24
        // leap days back to 1 Jan 1900, which is day 2).
        {"1899-12-29 06:00:00", -1.25, "a time before the base day: not -0.75, 30 Dec 1899 18:00"},
        {"12/29/1899 6:00:00 PM", -1.75, "an evening before the base day: not -0.25"},
        {"1800-01-01 12:00", -36522.5, "noon long before the base day: not the day before's noon"},
        {"1899-12-30 06:00", 0.25, "the base day itself counts up"},
        // ADateTextInAFormADateLiteralTakesIsReadAsThatDateNotKeptAsText:
        // #2003/01/02#, #1-2-2003# and #6:00# are dates in a query, but the
        // same texts stored by another program in a date column stayed
        // texts, and a run failed on them as no date. 2003-01-02 is day 37623
        // (1 Jan 1900 is day 2; 103 years with 25 leap days: 2 + 103 * 365 +
        // 25 = 37622 is 1 Jan 2003); a time alone is a time of the base day.
        {"2003/01/02", 37623, "a date literal's form: year first with slashes"},
        {"2003/1/2 10:30", 37623 + 10.5 / 24, "a date literal's form: year first with slashes and a time"},
        {"1-2-2003", 37623, "a date literal's form: month first with dashes"},
        {"1-2-03", 37623, "a date literal's form: month first with dashes and a two-digit year"},
        {"6:00", 0.25, "a date literal's form: a time alone"},
        {"12:30:15 PM", (12 * 3600 + 30 * 60 + 15) / 86400.0, "a date literal's form: a time alone with seconds and PM"},
        {"2003-01-02", 37623, "a date literal's form: the ISO form, read alike before"},
        {"1/2/2003", 37623, "a date literal's form: month first with slashes, read alike before"},
    };
    std::vector<Stored> days;
    for (const auto& c : cases) days.push_back(Stored::Text(c.text));
    const std::vector<Variant> read = DaysReadBack("dates.db", days);
    ASSERT_EQ(read.size(), std::size(cases));
    for (std::size_t i = 0; i < read.size(); ++i) {
        const auto& c = cases[i];
        const Variant& v = read[i];
        if (c.day == 0) {
            EXPECT_EQ(v.Type(), vbString) << c.why;
            EXPECT_EQ(v.RawString(), c.text) << c.why;
        } else {
            EXPECT_EQ(v.Type(), vbDate) << c.why;
            EXPECT_DOUBLE_EQ(v.RawDouble(), c.day) << c.why;
            // The reader of date literals reads the text as the same day.
            double day = 0;
            EXPECT_TRUE(ParseDate(c.text, day)) << c.why;
            EXPECT_DOUBLE_EQ(day, c.day) << c.why;
        }
    }
}


TEST_F(StoredValues, ATimeWithinASecondOfTheEndOfTheLastOrFirstDayIsReadAsADateNotAsADayNumberBeyondThem) {
    // The dates run from 1 Jan 100 (day -657434) to 31 Dec 9999 (day
    // 2958465). A time a microsecond before the end of either day came to
    // the day number that ends it (2958466, -657435), which no date has:
    // the value was read and shown as that number.
    const struct {
        const char* text;
        const char* shown; // to the nearest second, as every date is shown
        const char* why;
    } cases[] = {
        {"9999-12-31 23:59:59.999999", "9999-12-31 23:59:59", "the last day keeps its last second"},
        {"9999-12-31T23:59:59.9999999999Z", "9999-12-31 23:59:59", "more digits than a double holds"},
        {"0100-01-01 23:59:59.999999", "0100-01-02", "the first day's end rounds to the next day, as other days do"},
        {"9999-12-31 23:59:59", "9999-12-31 23:59:59", "the last whole second, read alike before"},
        {"2024-01-15 23:59:59.999999", "2024-01-16", "an ordinary day rounds to the next one, read alike before"},
    };
    std::vector<Stored> days;
    for (const auto& c : cases) days.push_back(Stored::Text(c.text));
    const std::vector<Variant> read = DaysReadBack("ends.db", days);
    ASSERT_EQ(read.size(), std::size(cases));
    for (std::size_t i = 0; i < read.size(); ++i) {
        SCOPED_TRACE(cases[i].why);
        EXPECT_EQ(read[i].Type(), vbDate);
        EXPECT_EQ(read[i].ToString(), cases[i].shown);
        double day = 0;
        ASSERT_TRUE(ParseDate(cases[i].text, day));
        EXPECT_GT(day, -657435.0);
        EXPECT_LT(day, 2958466.0);
    }
}

TEST_F(StoredValues, ADayNumberBeforeTheBaseDayIsShownAsTheDayAndTimeItStandsFor) {
    // The whole part counts the days back from 30 Dec 1899, the fraction is
    // the time of that day (as a date literal #12/29/1899 6:00# is -1.25).
    const struct {
        double day;
        const char* text;
        const char* why;
    } cases[] = {
        {-1.25, "1899-12-29 06:00:00", "not 28 Dec 18:00"},
        {-0.5, "1899-12-30 12:00:00", "a fraction alone: a time of the base day, not 29 Dec 12:00"},
        {-36522.5, "1800-01-01 12:00:00", "noon long before the base day"},
        {-657434.5, "0100-01-01 12:00:00", "noon of the first day of the year 100"},
        {-2.9999999, "1899-12-29", "within half a second of midnight: the next calendar day, 29 Dec"},
        {-3, "1899-12-27", "a whole day"},
        {2.25, "1900-01-01 06:00:00", "after the base day"},
    };
    std::vector<Stored> days;
    for (const auto& c : cases) days.push_back(Stored::Real(c.day));
    const std::vector<Variant> read = DaysReadBack("early.db", days);
    ASSERT_EQ(read.size(), std::size(cases));
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].Type(), vbDate) << cases[i].why;
        EXPECT_EQ(read[i].ToString(), cases[i].text) << cases[i].why;
    }
}


TEST_F(StoredValues, ATableWithoutARowKeyIsReadInEveryWayAndRefusesEditsInsteadOfAskingForAParameter) {
    // A WITHOUT ROWID table keeps its rows in key order, and a column
    // named rowid hides the row key from SQL: "rowid" names no row key
    // of either.
    OpenTheirs("keys.db", {"CREATE TABLE Keyed (K TEXT PRIMARY KEY, X DOUBLE) WITHOUT ROWID",
                           "CREATE TABLE Shadow (rowid INTEGER, K TEXT, X DOUBLE)",
                           "INSERT INTO Keyed VALUES ('c', 2), ('a', 3), ('b', 2)",
                           "INSERT INTO Shadow VALUES (7, 'a', 3), (7, 'b', 2), (7, 'c', 2)"});
    const struct {
        std::string source;
        int type, options;
        const char* keys; // K in the order read
        const char* why;
    } cases[] = {
        {"Keyed", 0, 0, "abc", "a table-type recordset: in key order"},
        {"Keyed", dbOpenDynaset, 0, "abc", "a dynaset on the table"},
        {"Keyed", dbOpenSnapshot, 0, "abc", "a snapshot"},
        {"SELECT K FROM Keyed ORDER BY X", dbOpenDynaset, 0, "bca", "ties in the table's order, as a run sorts"},
        {"SELECT K FROM Keyed ORDER BY X", dbOpenDynaset, dbReadOnly, "bca", "read-only, as a run reads"},
        {"Shadow", 0, 0, "abc", "a column named rowid"},
        {"SELECT K FROM Shadow ORDER BY X", dbOpenDynaset, 0, "bca", "ties not ordered by that column"},
    };
    for (const auto& c : cases) {
        RecordsetPtr rs;
        const auto error = daotest::ErrorOf([&] { rs = db->OpenRecordset(c.source, c.type, c.options); });
        if (error) {
            ADD_FAILURE() << c.why << ": " << error->Description();
            continue;
        }
        std::string keys;
        for (; !rs->EOF_(); rs->MoveNext()) keys += rs->Fields("K")->Value().ToString();
        EXPECT_EQ(keys, c.keys) << c.why;
        // Rows that cannot be told apart are not edited (or deleted) by guess.
        EXPECT_FALSE(rs->Updatable()) << c.why;
        EXPECT_EQ(daotest::ErrorNumberOf([&] { rs->AddNew(); }), err::NotUpdatable) << c.why;
        rs->Close();
    }
}


TEST_F(StoredValues, ANumberNoCalendarDayHasInADateColumnIsShownAsThatNumberNotAsAYearOfMillions) {
    const std::string path = tmp.file("stamps.db");
    const struct {
        Stored stored;
        const char* shown;
        const char* why;
    } cases[] = {
        {Stored::Int(1700000000123LL), "1700000000123", "a time stamp in milliseconds"},
        {Stored::Real(1e308), "1E+308", "the largest magnitudes"},
        {Stored::Real(-657435), "-657435", "the day before the year 100 begins"},
        {Stored::Real(-657434), "0100-01-01", "the first day of the year 100"},
        {Stored::Real(2958465.5), "9999-12-31 12:00:00", "noon of the last day of 9999"},
        {Stored::Real(2958466), "2958466", "the day after it"},
        // A time rounds to its nearest second, also into the next day.
        {Stored::Real(45306 + 86399.6 / 86400), "2024-01-16", "0.4 s before midnight: the next day, not 23:59:59"},
        {Stored::Real(45306 + 86399.4 / 86400), "2024-01-15 23:59:59", "0.6 s before midnight: the day's last second"},
        {Stored::Real(45306 + 43199.6 / 86400), "2024-01-15 12:00:00", "0.4 s before noon: noon"},
        {Stored::Real(2958465 + 86399.6 / 86400), "9999-12-31 23:59:59", "the last moment of 9999, which has no next day"},
    };
    std::vector<Stored> days;
    for (const auto& c : cases) days.push_back(c.stored);
    WriteDays(path, "Stamps", days);
    db = DBEngine().OpenDatabase(path);
    RecordsetPtr rs = db->OpenRecordset("SELECT Day FROM Stamps ORDER BY K", dbOpenSnapshot);
    for (const auto& c : cases) {
        ASSERT_FALSE(rs->EOF_());
        EXPECT_EQ(rs->Fields(0)->Value().ToString(), c.shown) << c.why;
        rs->MoveNext();
    }
    rs->Close();
}

} // namespace

TEST_F(StoredValues, NumbersStoredAsTextsInAUtf16FileAreNumbersToTheCheckBeforeASumInSqlNotTextsWithZeroBytes) {
    // The check that runs before sums made in SQL (crosstab, chi-square
    // weights) reads each stored text as the layer reads it, in either of
    // the encodings another program may give its file.
    const struct {
        const char* encoding;
        std::vector<const char*> texts; // column X, records 1, 2, ...
        const char* firstNonNumber;     // nullptr: every text is a number
        long record;
        const char* why;
    } cases[] = {
        {"UTF-16le", {"1", "2.5", "-10"}, nullptr, 0, "UTF-16: \"1\" is a number, not \"1\\0\""},
        {"UTF-16be", {"1", "Größe", "3"}, "Größe", 2, "UTF-16: the text that is no number, spelled as written"},
        {"UTF-8", {"1", "Größe", "3"}, "Größe", 2, "UTF-8 as before"},
    };
    for (const auto& c : cases) {
        const std::string path = tmp.file(std::string("enc-") + c.encoding + ".db");
        {
            vtest::OtherProgram other(path);
            other.Exec(std::string("PRAGMA encoding = '") + c.encoding + "'");
            other.Exec("CREATE TABLE Texts (K INTEGER PRIMARY KEY, X)");
            for (const char* t : c.texts) other.Exec("INSERT INTO Texts (X) VALUES (?1)", Stored::Text(t));
        }
        db = DBEngine().OpenDatabase(path);
        const auto found = db->FirstNonNumber("Texts", "X");
        const std::string got = found ? found->value.ToString() + " in record " + std::to_string(found->record) : "none";
        EXPECT_EQ(got, c.firstNonNumber ? c.firstNonNumber + std::string(" in record ") + std::to_string(c.record) : "none")
            << c.why;
        db->Close();
        db.reset();
    }
}

TEST_F(StoredValues, AColumnWithoutADeclaredTypeIsATextFieldWhenAnyOfItsValuesIsATextThatIsNoNumber) {
    // Another program's "CREATE TABLE Loose (K INTEGER PRIMARY KEY, N)": the
    // field type is what the values allow. A single text that is no number,
    // wherever it stands, makes N a Text field (a number field refuses it).
    const struct {
        const char* values; // N of the rows, in the order stored
        int type;
        const char* why;
    } cases[] = {
        {"(1), (2), (2.5)", dbDouble, "numbers only"},
        {"('1'), ('02'), (2.5)", dbDouble, "numbers stored as texts, as a CSV import writes them"},
        {"(NULL), (NULL)", dbDouble, "Nulls only"},
        {"(1), (X'61')", dbDouble, "a blob is no text: a number field refuses it when it is read"},
        {"('north'), ('south')", dbText, "texts only"},
        {"(NULL), ('a'), (1)", dbText, "the first value a text"},
        {"(1), (2), ('a'), ('B'), (1.0), ('A')", dbText, "codes of both kinds, numbers first"},
        {"(1), ('12abc')", dbText, "a text that only begins with digits"},
        {"(1), ('NaN')", dbText, "NaN is no number the reader takes"},
        {"(1), ('1e-400')", dbDouble, "a number below the smallest double: 0, as SQL and IsNumeric read it"},
        {"(1), ('-2.5E-999')", dbDouble, "a negative one: 0 too"},
    };
    const std::string path = tmp.file("loose.db");
    for (const auto& c : cases) {
        {
            vtest::OtherProgram other(path);
            other.Exec("DROP TABLE IF EXISTS Loose");
            other.Exec("CREATE TABLE Loose (K INTEGER PRIMARY KEY, N)");
            other.Exec(std::string("INSERT INTO Loose (N) VALUES ") + c.values);
        }
        db = DBEngine().OpenDatabase(path);
        EXPECT_EQ(db->TableDefs()("Loose")->Fields()("N")->Type(), c.type) << c.why;
        // A query reading the column types it as the table does.
        EXPECT_EQ(db->OpenRecordset("SELECT N FROM Loose", dbOpenSnapshot)->Fields("N")->Type(), c.type) << c.why;
        db->Close();
        db.reset();
    }
}

TEST_F(StoredValues, AGeneratedColumnIsAFieldThatIsReadAndRefusesAValueWhileItsRowIsAddedAndEdited) {
    // Total is A + B (VIRTUAL), Twice A * 2 (STORED): the file computes them.
    // Writing one failed only at Update, with SQLite's own words.
    OpenTheirs("generated.db", {"CREATE TABLE Gen (K INTEGER PRIMARY KEY, A REAL, B REAL, Total REAL AS (A + B),"
                                 " Twice REAL GENERATED ALWAYS AS (A * 2) STORED)",
                                "INSERT INTO Gen (K, A, B) VALUES (1, 1, 2)"});
    RecordsetPtr rs = db->OpenRecordset("Gen");
    ASSERT_FALSE(rs->EOF_());
    EXPECT_EQ(rs->Fields("Total")->Value().ToDouble(), 3.0);
    EXPECT_EQ(rs->Fields("Twice")->Value().ToDouble(), 2.0);
    for (const char* field : {"Total", "Twice"}) {
        rs->Edit();
        EXPECT_EQ(daotest::ErrorNumberOf([&] { rs->Fields(field)->SetValue(Variant(9.0)); }), 3164) << field;
        rs->CancelUpdate();
        rs->AddNew();
        EXPECT_EQ(daotest::ErrorNumberOf([&] { rs->Fields(field)->SetValue(Variant(9.0)); }), 3164) << field;
        rs->CancelUpdate();
    }
    // A new row and an edit write the other columns; the file computes the rest.
    rs->AddNew();
    rs->Fields("K")->SetValue(Variant(2));
    rs->Fields("A")->SetValue(Variant(10.0));
    rs->Fields("B")->SetValue(Variant(5.0));
    rs->Update();
    rs->MoveFirst();
    rs->Edit();
    rs->Fields("A")->SetValue(Variant(4.0));
    rs->Update();
    rs->Close();
    rs = db->OpenRecordset("SELECT K, Total, Twice FROM Gen ORDER BY K", dbOpenSnapshot);
    EXPECT_EQ(rs->Fields("Total")->Value().ToDouble(), 6.0);
    EXPECT_EQ(rs->Fields("Twice")->Value().ToDouble(), 8.0);
    rs->MoveNext();
    EXPECT_EQ(rs->Fields("Total")->Value().ToDouble(), 15.0);
    EXPECT_EQ(rs->Fields("Twice")->Value().ToDouble(), 20.0);
}

TEST_F(StoredValues, ATableOfMoreThanAThousandColumnsWithoutADeclaredTypeListsItsFieldsInsteadOfFailingAsTooLarge) {
    // A wide matrix a Python program wrote without types: "CREATE TABLE
    // Matrix (Gene, S0, S1, ... S1199)". Looking for texts in its columns
    // asked SQLite for one condition per column joined by OR, deeper than
    // the 1000 it takes: its fields could not be listed, and every run and
    // the designer's field page failed with "Expression tree is too large".
    // S7 holds a text that is no number: a Text field; S1199 numbers only.
    const std::string path = tmp.file("matrix.db");
    {
        vtest::OtherProgram other(path);
        std::string create = "CREATE TABLE Matrix (Gene";
        for (int i = 0; i < 1200; ++i) create += ", S" + std::to_string(i);
        other.Exec(create + ")");
        other.Exec("INSERT INTO Matrix (Gene, S7, S1199) VALUES ('g1', 'n/a', 1.5), ('g2', 2, 2.5)");
    }
    db = DBEngine().OpenDatabase(path);
    TableDefPtr td = db->TableDefs()("Matrix");
    EXPECT_EQ(td->Fields().Count(), 1201);
    EXPECT_EQ(td->Fields()("Gene")->Type(), dbText);
    EXPECT_EQ(td->Fields()("S7")->Type(), dbText);
    EXPECT_EQ(td->Fields()("S1199")->Type(), dbDouble);
    EXPECT_EQ(td->Fields()("S0")->Type(), dbDouble); // Nulls only
}

TEST_F(StoredValues, AnIntegerPrimaryKeyOfATableWithoutRowidIsNoAutoNumberAndItsKeyIsOneIndex) {
    // In a WITHOUT ROWID table (and for "INTEGER PRIMARY KEY DESC") an
    // INTEGER PRIMARY KEY is an ordinary key the writer must give, kept in
    // an index of its own, not SQLite's row number: it was taken for an
    // AutoNumber, and the table showed two indexes named PrimaryKey.
    OpenTheirs("keys.db", {"CREATE TABLE Keyed (Id INTEGER PRIMARY KEY, X DOUBLE) WITHOUT ROWID",
                           "CREATE TABLE Backward (Id INTEGER PRIMARY KEY DESC, X DOUBLE)",
                           "CREATE TABLE Counted (Id INTEGER PRIMARY KEY, X DOUBLE)"});
    const struct {
        const char* table;
        bool autoNumber;
        const char* why;
    } cases[] = {
        {"Keyed", false, "WITHOUT ROWID: a key of its own"},
        {"Backward", false, "DESC: SQLite keeps it in an index, not as the row number"},
        {"Counted", true, "the row number: an AutoNumber"},
    };
    for (const auto& c : cases) {
        TableDefPtr td = db->TableDefs()(c.table);
        EXPECT_EQ((td->Fields()("Id")->Attributes() & dbAutoIncrField) != 0, c.autoNumber) << c.why;
        ASSERT_EQ(td->Indexes().Count(), 1) << c.why;
        EXPECT_TRUE(td->Indexes()(0)->Primary()) << c.why;
        EXPECT_EQ(td->Indexes()(0)->Name(), "PrimaryKey") << c.why;
    }
}

TEST_F(StoredValues, TextAndBinaryTypesNamedLongOrShortAreNoNumbers) {
    // "LONG VARCHAR", "LONG TEXT" and "SHORT TEXT" are text types, and
    // SQLite keeps texts in them as texts; the words LONG and SHORT made
    // them Long and Integer fields, which refused every text as no number.
    // "LONG VARBINARY" and "LONG RAW" hold bytes: they were Long fields too,
    // offered for number roles.
    OpenTheirs("named.db", {"CREATE TABLE Named (K INTEGER PRIMARY KEY, LV LONG VARCHAR, LNV LONG NVARCHAR, LT LONG TEXT,"
                             " ST SHORT TEXT, L LONG, S SHORT, LVB LONG VARBINARY, LR LONG RAW)",
                            "INSERT INTO Named VALUES (1, 'north', 'east', 'a long note', 'short', 7, 8, x'0102', x'ff')"});
    const struct {
        const char* column;
        int type;
        Variant value;
        const char* why;
    } cases[] = {
        {"LV", dbMemo, Variant("north"), "LONG VARCHAR: a long text"},
        {"LNV", dbMemo, Variant("east"), "LONG NVARCHAR: a long text"},
        {"LT", dbMemo, Variant("a long note"), "LONG TEXT: a long text"},
        {"ST", dbText, Variant("short"), "SHORT TEXT: a text"},
        {"L", dbLong, Variant(7), "LONG alone stays a Long"},
        {"S", dbInteger, Variant(8), "SHORT alone stays an Integer"},
        {"LVB", dbLongBinary, Variant(std::string("\x01\x02", 2)), "LONG VARBINARY: bytes"},
        {"LR", dbLongBinary, Variant(std::string("\xff")), "LONG RAW: bytes"},
    };
    RecordsetPtr rs = db->OpenRecordset("SELECT * FROM Named", dbOpenSnapshot);
    for (const auto& c : cases) {
        EXPECT_EQ(db->TableDefs()("Named")->Fields()(c.column)->Type(), c.type) << c.why;
        const Variant v = rs->Fields(c.column)->Value();
        EXPECT_TRUE(v.Equals(c.value, false) && v.IsString() == c.value.IsString()) << c.why << ": " << v.ToString();
    }
}

TEST_F(StoredValues, TheShadowTablesOfAFullTextOrRTreeIndexAreNoTablesOfTheFile) {
    // Another program's full-text table Docs (FTS5) and R-tree Boxes keep
    // their index in tables of their own (Docs_data, Docs_idx, Boxes_node,
    // ...). Those were listed as the file's tables beside Docs and Boxes, for
    // a user to choose as a source, and could be deleted, which breaks
    // the index. Docs_archive is the user's own table, whatever its name.
    OpenTheirs("indexes.db", {"CREATE TABLE Data (K INTEGER PRIMARY KEY, X REAL)",
                              "CREATE VIRTUAL TABLE Docs USING fts5(Body)",
                              "INSERT INTO Docs (Body) VALUES ('north wind'), ('south wind')",
                              "CREATE VIRTUAL TABLE Boxes USING rtree(Id, MinX, MaxX)",
                              "INSERT INTO Boxes VALUES (1, 0, 2)",
                              "CREATE TABLE Docs_archive (K INTEGER PRIMARY KEY, Body TEXT)"});
    std::string names;
    for (const auto& td : db->TableDefs()) names += td->Name() + " ";
    EXPECT_EQ(names, "Boxes Data Docs Docs_archive ");
    EXPECT_EQ(db->TableDefs().Find("Docs_data"), nullptr);
    EXPECT_EQ(db->TableDefs().Find("Boxes_node"), nullptr);
    // The full-text table is read as a table.
    std::string read;
    for (auto rs = db->OpenRecordset("SELECT Body FROM Docs ORDER BY Body", dbOpenSnapshot); !rs->EOF_(); rs->MoveNext())
        read += rs->Fields("Body")->Value().ToString() + ";";
    EXPECT_EQ(read, "north wind;south wind;");
}

TEST_F(StoredValues, OnlyAColumnOfATableThisLayerMadeKeepsItsDeclaredType) {
    // A run looks at what another program's column holds beyond its
    // declared type (a real in an INTEGER column, a text longer than its
    // VARCHAR); a column of a table this layer made holds only what the
    // layer wrote there, and is not looked at.
    OpenTheirs("kept.db", {"CREATE TABLE Theirs (N INTEGER, T VARCHAR(5))",
                           "CREATE VIEW vOurs AS SELECT N, T, N * 2 AS Twice FROM Ours",
                           "CREATE VIEW vTheirs AS SELECT N FROM Theirs"});
    daotest::MakeTable(*db, "Ours", {{"N", dbLong}, {"T", dbText}});
    const struct {
        const char* source;
        const char* field;
        bool kept;
    } cases[] = {
        {"Ours", "N", true},     {"ours", "t", true},      {"vOurs", "N", true},  {"vOurs", "T", true},
        {"vOurs", "Twice", false}, {"Theirs", "N", false}, {"Theirs", "T", false}, {"vTheirs", "N", false},
        {"Nowhere", "N", false}, {"Ours", "Missing", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(db->KeepsDeclaredType(c.source, c.field), c.kept) << c.source << "." << c.field;
}

namespace {

// A legacy program's Latin-1 text ("\xC9t\xE9", "Été") is read as the word
// the case-blind order takes it for, as UTF-8, in every kind of recordset;
// a UTF-8 text as it is stored. A record edited in another field keeps the
// bytes its text was stored with.
TEST_F(StoredValues, Latin1TextIsReadAsItsWordAndKeptAsStoredWhenAnotherFieldIsEdited) {
    {
        vtest::OtherProgram other(tmp.file("latin1.db"));
        other.Exec("CREATE TABLE Legacy (K INTEGER PRIMARY KEY, S TEXT, M MEMO, U, X DOUBLE)");
        other.Exec("INSERT INTO Legacy VALUES (1, ?1, ?1, ?1, 1)", Stored::Text("\xC9t\xE9"));
        other.Exec("INSERT INTO Legacy VALUES (2, ?1, ?1, ?1, 2)", Stored::Text("\xC3\x89t\xC3\xA9"));
    }
    db = DBEngine().OpenDatabase(tmp.file("latin1.db"));
    const struct {
        std::string source;
        int type;
        const char* why;
    } cases[] = {
        {"Legacy", 0, "a table-type recordset"},
        {"Legacy", dbOpenDynaset, "a dynaset"},
        {"SELECT * FROM Legacy ORDER BY K", dbOpenSnapshot, "a snapshot"},
        {"SELECT * FROM Legacy ORDER BY K", dbOpenForwardOnly, "forward only"},
    };
    for (const auto& c : cases) {
        RecordsetPtr rs = db->OpenRecordset(c.source, c.type);
        int rows = 0;
        for (; !rs->EOF_(); rs->MoveNext(), ++rows)
            for (const char* column : {"S", "M", "U"})
                EXPECT_EQ(rs->Fields(column)->Value().ToString(), "\xC3\x89t\xC3\xA9") << c.why << ", " << column;
        EXPECT_EQ(rows, 2) << c.why;
        rs->Close();
    }
    RecordsetPtr rs = db->OpenRecordset("Legacy", dbOpenDynaset);
    rs->Edit();
    rs->Fields("X")->SetValue(Variant(10.0));
    rs->Update();
    rs->Close();
    db->Close();
    db.reset();
    vtest::OtherProgram other(tmp.file("latin1.db"));
    EXPECT_EQ(other.Text("SELECT hex(S) || hex(M) || hex(U) || ' ' || X FROM Legacy WHERE K = 1"),
              "C974E9C974E9C974E9 10.0");
}

} // namespace
