// The engine functions, aggregates and the GENERAL collation as registered
// on a SQLite connection, run on a real database file.
#include "DaoTestTables.h"
#include "JetSqliteFile.h"
#include "db/Connection.h"
#include "db/DaoError.h"
#include "db/JetFunctions.h"
#include "db/Variant.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// The one value of a query as "i:<int>", "r:<number>", "t:<text>" or "NULL";
// a failure as "error <number>" (the engine's number of the message).
std::string evaluate(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
        return std::string("prepare failed: ") + sqlite3_errmsg(db);
    dao::StmtHandle guard(st);
    int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW) {
        std::string msg = sqlite3_errmsg(db);
        return "error " + std::to_string(dao::JetFunctionErrorNumber(msg)) + " (" + msg + ")";
    }
    switch (sqlite3_column_type(st, 0)) {
    case SQLITE_NULL: return "NULL";
    case SQLITE_INTEGER: return "i:" + std::to_string(sqlite3_column_int64(st, 0));
    case SQLITE_FLOAT: return "r:" + dao::JetNumberText(sqlite3_column_double(st, 0));
    default: return std::string("t:") + reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    }
}

std::string errorText(long number, const char* message) {
    return "error " + std::to_string(number) + " (" + message + ")";
}

const std::string kNull = errorText(94, "Invalid use of Null");
const std::string kMismatch = errorText(13, "Type mismatch");
const std::string kOverflow = errorText(6, "Overflow");
const std::string kDivZero = errorText(11, "Division by zero");
const std::string kBadCall = errorText(5, "Invalid procedure call or argument");

class JetFunctionsOnFile : public ::testing::Test {
protected:
    vtest::TempDir dir;
    jettest::SqliteFile db{dir.file("f.db")};
};

struct Call {
    const char* sql;     // an SQLite expression
    std::string expected;
};

TEST_F(JetFunctionsOnFile, ScalarFunctions) {
    const Call cases[] = {
        // Concatenation: Null counts as empty text, numbers as the engine writes them.
        {"jet_concat('a', NULL, 1, 2.5)", "t:a12.5"},
        {"jet_concat(NULL, NULL)", "NULL"},
        {"jet_concat(NULL, '')", "t:"},
        {"jet_concat(1e20)", "t:1E+20"},
        {"jet_concat(0.1 + 0.2)", "t:0.3"},
        // + where a text may stand: two texts join, anything else adds.
        {"jet_add('a', 'b')", "t:ab"},
        {"jet_add('1', '2')", "t:12"},
        {"jet_add('a', NULL)", "NULL"},
        {"jet_add('3', 4)", "r:7"},
        {"jet_add(2, 3)", "i:5"},
        {"jet_add(9223372036854775807, 1)", "r:9.22337203685478E+18"},   // past the whole numbers: real
        {"jet_add('x', 1)", kMismatch},
        // Power.
        {"jet_pow(2, 10)", "r:1024"},
        {"jet_pow(-2, 3)", "r:-8"},
        {"jet_pow(4, 0.5)", "r:2"},
        {"jet_pow(NULL, 2)", "NULL"},
        {"jet_pow(-8, 1.0 / 3)", kBadCall},
        {"jet_pow(0, -1)", kBadCall},
        {"jet_pow(10, 400)", kOverflow},
        // Division, whole division and Mod.
        {"jet_div(1, 4)", "r:0.25"},
        {"jet_div(7, 2)", "r:3.5"},
        {"jet_div('6', ' 4 ')", "r:1.5"},
        {"jet_div(1, NULL)", "NULL"},
        {"jet_div(1, 0)", kDivZero},
        {"jet_div(0, 0)", kOverflow},
        {"jet_div('x', 1)", kMismatch},
        {"jet_idiv(7, 2)", "i:3"},
        {"jet_idiv(-7, 2)", "i:-3"},
        {"jet_idiv(7.5, 2)", "i:4"},     // 7.5 rounds to 8
        {"jet_idiv(2.5, 1)", "i:2"},     // 2.5 rounds to 2
        {"jet_idiv(1, 0.4)", kDivZero},  // 0.4 rounds to 0
        {"jet_mod(10, 3)", "i:1"},
        {"jet_mod(-10, 3)", "i:-1"},
        {"jet_mod(10, -3)", "i:1"},
        {"jet_mod(10.5, 3)", "i:1"},     // 10.5 rounds to 10
        {"jet_mod(11.5, 3)", "i:0"},     // 11.5 rounds to 12
        {"jet_mod(5, 0)", kDivZero},
        {"jet_mod(NULL, 0)", "NULL"},
        // Val.
        {"jet_val('  1 2 3 abc')", "r:123"},
        {"jet_val('-1.5e2x')", "r:-150"},
        {"jet_val('1d3')", "r:1000"},
        {"jet_val('1e')", "r:1"},
        {"jet_val('.5')", "r:0.5"},
        {"jet_val('&HFF')", "r:255"},
        {"jet_val('&HFFFF')", "r:-1"},
        {"jet_val('&O17')", "r:15"},
        {"jet_val('abc')", "r:0"},
        {"jet_val('')", "r:0"},
        {"jet_val(42)", "r:42"},
        {"jet_val(NULL)", kNull},
        // Text functions count characters, not bytes.
        {"jet_len('abc')", "i:3"},
        {"jet_len('')", "i:0"},
        {"jet_len(12.5)", "i:4"},
        {"jet_len('\xC3\xA9t\xC3\xA9')", "i:3"},
        {"jet_len(NULL)", "NULL"},
        {"jet_left('abcdef', 3)", "t:abc"},
        {"jet_left('ab', 5)", "t:ab"},
        {"jet_left('\xC3\xA9t\xC3\xA9', 2)", "t:\xC3\xA9t"},
        {"jet_left(NULL, 2)", "NULL"},
        {"jet_left('ab', -1)", kBadCall},
        {"jet_left('ab', NULL)", kNull},
        {"jet_right('abcdef', 2)", "t:ef"},
        {"jet_right('\xC3\xA9t\xC3\xA9', 1)", "t:\xC3\xA9"},
        {"jet_right('ab', 9)", "t:ab"},
        {"jet_mid('abcdef', 3)", "t:cdef"},
        {"jet_mid('abcdef', 3, 2)", "t:cd"},
        {"jet_mid('abcdef', 5, 10)", "t:ef"},
        {"jet_mid('abc', 5)", "t:"},
        {"jet_mid('abc', 0)", kBadCall},
        {"jet_mid('abc', 1, -1)", kBadCall},
        {"jet_ucase('\xC3\xA4" "bc \xC3\xBF')", "t:\xC3\x84" "BC \xC5\xB8"},   // äbc ÿ → ÄBC Ÿ
        {"jet_lcase('\xC3\x80\xC3\x89\xC3\x8E X')", "t:\xC3\xA0\xC3\xA9\xC3\xAE x"},
        {"jet_ucase(NULL)", "NULL"},
        // Letters beyond Latin-1 and basic Greek and Cyrillic: s comma below,
        // ghe with upturn, alpha with tonos, a with dot below.
        {"jet_ucase('\xC8\x99tefan \xD2\x91\xD0\xB0 \xCE\xAC \xE1\xBA\xA1n')",
         "t:\xC8\x98TEFAN \xD2\x90\xD0\x90 \xCE\x86 \xE1\xBA\xA0N"},
        {"jet_trim('  a b  ')", "t:a b"},
        {"jet_ltrim('  a b  ')", "t:a b  "},
        {"jet_rtrim('  a b  ')", "t:  a b"},
        {"jet_trim(char(9) || 'a')", "t:\ta"},   // only blanks are trimmed
        // Numbers.
        {"jet_int(-2.5)", "r:-3"},
        {"jet_fix(-2.5)", "r:-2"},
        {"jet_int(2.5)", "r:2"},
        {"jet_int(7)", "i:7"},
        {"jet_int('3.7')", "r:3"},
        {"jet_int(NULL)", "NULL"},
        {"jet_int('x')", kMismatch},
        {"jet_abs(-3)", "i:3"},
        {"jet_abs(-2.5)", "r:2.5"},
        {"jet_abs(NULL)", "NULL"},
        {"jet_sqr(16)", "r:4"},
        {"jet_sqr(-1)", kBadCall},
        {"jet_sqr(NULL)", kNull},
        {"jet_log(1)", "r:0"},
        {"jet_log(0)", kBadCall},
        {"jet_exp(0)", "r:1"},
        {"jet_exp(1000)", kOverflow},
        {"jet_sgn(-5)", "i:-1"},
        {"jet_sgn(0)", "i:0"},
        {"jet_sgn(0.1)", "i:1"},
        {"jet_sgn(NULL)", kNull},
        // Conversions.
        {"jet_cstr(2.5)", "t:2.5"},
        {"jet_cstr(1.0 / 3)", "t:0.333333333333333"},
        {"jet_cstr(0.0001)", "t:0.0001"},
        {"jet_cstr(0.00001)", "t:1E-05"},
        {"jet_cstr(100000000000000000000.0)", "t:1E+20"},
        {"jet_cstr(17)", "t:17"},
        {"jet_cstr(NULL)", kNull},
        {"jet_cdbl(' 2.5 ')", "r:2.5"},
        {"jet_cdbl('abc')", kMismatch},
        {"jet_cdbl('')", kMismatch},
        {"jet_cdbl('&H7FFFFFFFFFFFFFFF')", "r:9.22337203685478E+18"}, // the largest signed 64-bit number
        {"jet_cdbl('&H10000000000000000')", kMismatch}, // seventeen digits: read as the largest unsigned one
        {"jet_cdbl(NULL)", kNull},
        {"jet_clng(2.5)", "i:2"},
        {"jet_clng(3.5)", "i:4"},
        {"jet_clng('-2.5')", "i:-2"},
        {"jet_clng(2147483647.4)", "i:2147483647"},
        {"jet_clng(2147483647.5)", kOverflow},
        {"jet_cint(32767.5)", kOverflow},
        {"jet_cint(-32768.5)", "i:-32768"},
        {"jet_cint(NULL)", kNull},
        {"jet_csng(0.1)", "r:0.100000001490116"},
        {"jet_cbool(5)", "i:-1"},
        {"jet_cbool(0)", "i:0"},
        {"jet_cbool('True')", "i:-1"},
        {"jet_cbool(' false ')", "i:0"},
        {"jet_cbool(NULL)", kNull},
        {"jet_cvdate(37623)", "r:37623"},                       // a day number is its date
        {"jet_cvdate('2003-01-02T10:30:00')", "r:37623.4375"},  // another program's text: 2003-01-02 is 37623
        {"jet_cvdate('1/2/2003 10:30 PM')", "r:37623.9375"},
        {"jet_cvdate('2003-02-30')", "t:2003-02-30"},           // no date: left as it is
        {"jet_cvdate(NULL)", "NULL"},
        {"jet_isnumeric(' 02 ')", "i:-1"},                      // a text CDbl reads as 2
        {"jet_isnumeric(1.5)", "i:-1"},
        {"jet_isnumeric('12abc')", "i:0"},                      // CDbl fails on it
        {"jet_isnumeric('1e400')", "i:0"},                      // beyond a double: CDbl overflows
        {"jet_isnumeric(x'31')", "i:0"},                        // bytes are no number
        {"jet_isnumeric(NULL)", "i:0"},
        {"jet_round(2.5)", "r:2"},
        {"jet_round(3.5)", "r:4"},
        {"jet_round(1.2345, 2)", "r:1.23"},
        {"jet_round(-1.5)", "r:-2"},
        {"jet_round(NULL)", "NULL"},
        {"jet_round(1.5, -1)", kBadCall},
        {"jet_str(5)", "t: 5"},
        {"jet_str(-5)", "t:-5"},
        {"jet_str(0.5)", "t: 0.5"},
        {"jet_str(NULL)", "NULL"},
        {"jet_instr('abcabc', 'C')", "i:3"},
        {"jet_instr(4, 'abcabc', 'c')", "i:6"},
        {"jet_instr(1, 'abc', 'C', 0)", "i:0"},
        {"jet_instr(1, 'abc', 'C', 1)", "i:3"},
        {"jet_instr('abc', '')", "i:1"},
        {"jet_instr(NULL, 'a')", "NULL"},
        {"jet_instr(0, 'a', 'a')", kBadCall},
        // Like.
        {"jet_like('Describe', 'd*E')", "i:1"},
        {"jet_like('abc', NULL)", "NULL"},
        {"jet_like(12.5, '1?.#')", "i:1"},
        {"jet_like('b', '[c-a]')", errorText(3075, "Invalid pattern string")},
    };
    for (const auto& c : cases) EXPECT_EQ(evaluate(db.get(), std::string("SELECT ") + c.sql), c.expected) << c.sql;
}

// Val of a number beyond the largest double (a box of the designer takes
// any run of digits) is an overflow, in a query and in the program alike,
// never Infinity handed on as a number.
TEST_F(JetFunctionsOnFile, ValBeyondTheLargestDoubleIsAnOverflowNotInfinity) {
    const struct {
        std::string text;
        const char* why;
    } cases[] = {
        {std::string(400, '9'), "400 nines: about 1E+400"},
        {"-" + std::string(310, '9'), "a negative one"},
        {"1e400", "an exponent beyond 308"},
        {"  12" + std::string(320, '0') + "abc", "blanks, then digits, then other text"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(evaluate(db.get(), "SELECT jet_val('" + c.text + "')"), kOverflow) << c.why;
        try {
            const double v = dao::Val(c.text);
            ADD_FAILURE() << c.why << ": gave " << v;
        } catch (const dao::DaoError& e) {
            EXPECT_EQ(e.Number(), dao::err::Overflow) << c.why;
        }
    }
    // The largest double itself is still a number.
    EXPECT_EQ(dao::Val("1.7976931348623157e308"), 1.7976931348623157e308);
}

// Val of a hexadecimal or octal text is the signed number of 16 bits (up to
// four hex or six octal digits) or else of 32 bits, in a query and in the
// program alike: the program's Val read "&HFFFF" as 65535 where the query's
// gave -1.
TEST_F(JetFunctionsOnFile, ValOfAHexOrOctalTextIsTheSameSignedNumberInTheProgramAsInAQuery) {
    const struct {
        const char* text;
        double value; // two's complement worked out by hand
        bool overflow;
    } cases[] = {
        {"&HFF", 255, false},
        {"&H7FFF", 32767, false},
        {"&H8000", 32768.0 - 65536.0, false},
        {"&HFFFF", 65535.0 - 65536.0, false},
        {"&hffff", -1, false},
        {"&H10000", 65536, false},                   // five digits: 32 bits
        {"&H7FFFFFFF", 2147483647.0, false},
        {"&H80000000", 2147483648.0 - 4294967296.0, false},
        {"&HFFFFFFFF", -1, false},
        {"&O17", 15, false},
        {"&O177777", 65535.0 - 65536.0, false},      // 8^6 - 1
        {"&O100000", 32768.0 - 65536.0, false},
        {"&O200000", 65536, false},                  // beyond 16 bits
        {"&H100000000", 0, true},                    // beyond 32 bits
        {"&H7FFFFFFFFFFFFFFF", 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string query = evaluate(db.get(), std::string("SELECT jet_val('") + c.text + "')");
        if (c.overflow) {
            EXPECT_EQ(query, kOverflow);
            try {
                const double v = dao::Val(c.text);
                ADD_FAILURE() << "gave " << v;
            } catch (const dao::DaoError& e) {
                EXPECT_EQ(e.Number(), dao::err::Overflow);
            }
        } else {
            EXPECT_EQ(query, "r:" + dao::JetNumberText(c.value));
            EXPECT_EQ(dao::Val(c.text), c.value);
        }
    }
}

// A text is a number to IsNumeric and CDbl in a query exactly when it is one
// to the program's IsNumeric and CDbl, and the same number: the query
// refused octal "&O17" and exponents written with D ("1d5") that the
// program reads as 15 and 100000, and took "&H+5" and "&H 5" that it refuses.
TEST_F(JetFunctionsOnFile, ATextIsTheSameNumberOrNoNumberToIsNumericAndCDblInAQueryAsInTheProgram) {
    const struct {
        std::string text;
        bool numeric;
        double value; // worked out by hand
        const char* why;
    } cases[] = {
        {"&O17", true, 15, "octal: 8 + 7"},
        {"&o7", true, 7, "octal in small letters"},
        {" &O777 ", true, 511, "octal between blanks: 7 * 64 + 7 * 8 + 7"},
        {"1d5", true, 100000, "an exponent written with D"},
        {"1D-2", true, 0.01, "a negative exponent written with D"},
        {"-2.5d+1", true, -25, "sign, fraction and D exponent"},
        {"5\n", true, 5, "a line feed after it, a blank as the tab is"},
        {"&HFF", true, 255, "hexadecimal, read alike before"},
        {"1e5", true, 100000, "an exponent written with E, read alike before"},
        {" -0.125 ", true, -0.125, "an ordinary number between blanks"},
        {"&H+5", false, 0, "a sign after &H"},
        {"&H 5", false, 0, "a blank after &H"},
        {"&H-1", false, 0, "a minus after &H"},
        {"&O8", false, 0, "no octal digit"},
        {"1d", false, 0, "D without exponent digits"},
        {"1,000", false, 0, "a thousands separator"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string quoted = "'" + c.text + "'";
        EXPECT_EQ(dao::IsNumeric(c.text), c.numeric);
        EXPECT_EQ(evaluate(db.get(), "SELECT jet_isnumeric(" + quoted + ")"), c.numeric ? "i:-1" : "i:0");
        if (c.numeric) {
            EXPECT_EQ(dao::Variant(c.text).ToDouble(), c.value);
            EXPECT_EQ(evaluate(db.get(), "SELECT jet_cdbl(" + quoted + ")"), "r:" + dao::JetNumberText(c.value));
        } else {
            EXPECT_THROW((void)dao::Variant(c.text).ToDouble(), dao::DaoError);
            EXPECT_EQ(evaluate(db.get(), "SELECT jet_cdbl(" + quoted + ")"), kMismatch);
        }
    }
}

TEST_F(JetFunctionsOnFile, Aggregates) {
    db.raw("CREATE TABLE t (g INTEGER, x)");
    db.raw("INSERT INTO t VALUES (1, 3), (1, NULL), (1, '5'), (1, 10), (2, 'abc'), (3, NULL)");
    const Call cases[] = {
        {"SELECT jet_first(x) FROM t WHERE g = 1", "i:3"},
        {"SELECT jet_last(x) FROM t WHERE g = 1", "i:10"},
        {"SELECT jet_first(x) FROM t WHERE g = 3", "NULL"},
        {"SELECT jet_first(x) FROM t WHERE g = 99", "NULL"},
        // 3, 5, 10: mean 6, squared deviations 9 + 1 + 16 = 26.
        {"SELECT jet_var(x) FROM t WHERE g = 1", "r:13"},
        {"SELECT jet_varp(x) * 3 FROM t WHERE g = 1", "r:26"},
        {"SELECT jet_stdev(x) * jet_stdev(x) FROM t WHERE g = 1", "r:13"},
        {"SELECT jet_stdevp(x) FROM t WHERE g = 3", "NULL"},
        {"SELECT jet_var(x) FROM t WHERE g = 2", kMismatch},
    };
    for (const auto& c : cases) EXPECT_EQ(evaluate(db.get(), c.sql), c.expected) << c.sql;
}

// Welford's update keeps the digits that the sum of squares would lose:
// 1e9 + 4, 7, 13, 16 have the sample variance 30 like 4, 7, 13, 16.
TEST_F(JetFunctionsOnFile, VarianceFarFromZero) {
    db.raw("CREATE TABLE t (x REAL)");
    for (double off : {1e6, 1e9, 1e12}) {
        db.raw("DELETE FROM t");
        for (int v : {4, 7, 13, 16}) db.raw("INSERT INTO t VALUES (" + std::to_string(off + v) + ")");
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db.get(), "SELECT jet_var(x), jet_varp(x) FROM t", -1, &st, nullptr), SQLITE_OK);
        ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
        EXPECT_NEAR(sqlite3_column_double(st, 0), 30.0, 1e-6) << off;
        EXPECT_NEAR(sqlite3_column_double(st, 1), 22.5, 1e-6) << off;
        sqlite3_finalize(st);
    }
}

struct Order {
    const char* a;
    const char* b;
    int sign;
};

const Order kOrders[] = {
    {"abc", "ABC", 0},
    {"a", "b", -1},
    {"B", "a", 1},
    {"", "", 0},
    {"", "a", -1},
    {"abc", "abd", -1},
    {"ab", "abc", -1},
    {"Zebra", "apple", 1},
    {"[", "A", -1},                        // letters fold down: '[' sorts before 'A' and 'a'
    {"_", "a", -1},
    {"\xC3\x89", "\xC3\xA9", 0},           // É = é
    {"\xC3\xA9", "f", 1},                  // é after f
    {"\xC3\xA9", "z", 1},
    {"\xC5\xB8", "\xC3\xBF", 0},           // Ÿ = ÿ
    {"\xC5\x92uvre", "\xC5\x93UVRE", 0},   // Œuvre = œUVRE
    {"\xCE\x91\xCE\x92\xCE\x93", "\xCE\xB1\xCE\xB2\xCE\xB3", 0},   // ΑΒΓ = αβγ
    {"\xD0\x96", "\xD0\xB6", 0},           // Ж = ж
    {"stra\xC3\x9F" "e", "STRASSE", 1},    // ß is a letter of its own, after s
    {"a\xFF", "a\xC3\xBF", 0},             // a stray byte stands for its Latin-1 letter
    {"Ab1", "aB2", -1},
    {"x", "X ", -1},
};

TEST(CompareGeneral, OrderTable) {
    for (const auto& o : kOrders) {
        int s = dao::CompareGeneral(o.a, o.b);
        EXPECT_EQ((s > 0) - (s < 0), o.sign) << o.a << " vs " << o.b;
        int r = dao::CompareGeneral(o.b, o.a);
        EXPECT_EQ((r > 0) - (r < 0), -o.sign) << o.b << " vs " << o.a;
        EXPECT_EQ(dao::GeneralKey(o.a) == dao::GeneralKey(o.b), o.sign == 0) << o.a << " / " << o.b;
    }
}

TEST(CompareGeneral, KeysAreTheFoldedText) {
    EXPECT_EQ(dao::GeneralKey("AbC"), "abc");
    EXPECT_EQ(dao::GeneralKey("\xC3\x80\xC3\x89"), "\xC3\xA0\xC3\xA9");
    EXPECT_EQ(dao::GeneralKey(""), "");
}

// A text with bytes that are not UTF-8 (a legacy program's Latin-1) read as
// the characters the case-blind order takes them for; UTF-8 as it is.
TEST(CompareGeneral, Latin1BytesAreReadAsTheLettersTheOrderTakesThemFor) {
    struct Case {
        std::string stored, text;
    };
    const std::vector<Case> cases = {
        {"", ""},
        {"plain", "plain"},
        {"\xC3\x89t\xC3\xA9", "\xC3\x89t\xC3\xA9"},          // "Été" in UTF-8 stays
        {"\xE2\x82\xAC \xF0\x9F\x98\x80", "\xE2\x82\xAC \xF0\x9F\x98\x80"}, // three and four bytes stay
        {"\xC9t\xE9", "\xC3\x89t\xC3\xA9"},                    // Latin-1 "Été"
        {"caf\xE9", "caf\xC3\xA9"},                             // the stray byte last
        {"\xC3", "\xC3\x83"},                                    // a sequence cut short: its byte is "Ã"
        {"\xC0\x80", "\xC3\x80\xC2\x80"},                       // an overlong form: two bytes of their own
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},          // a surrogate: three bytes of their own
        {"\xFF\xC3\xA9", "\xC3\xBF\xC3\xA9"},                    // a stray byte before a valid letter
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dao::ValidUtf8(c.stored), c.text) << c.stored;
        EXPECT_EQ(dao::CompareGeneral(c.stored, c.text), 0) << c.stored;
    }
}

// The collation sorts inside SQLite exactly as CompareGeneral says.
TEST_F(JetFunctionsOnFile, CollationInsideSqlite) {
    db.raw("CREATE TABLE w (s TEXT COLLATE GENERAL)");
    db.raw("INSERT INTO w VALUES ('b'), ('\xC3\xA9'), ('A'), ('z'), ('a'), ('B'), ('[')");
    EXPECT_EQ(db.query("SELECT s FROM w ORDER BY s, rowid"),
              (jettest::Rows{{"["}, {"A"}, {"a"}, {"b"}, {"B"}, {"z"}, {"\xC3\xA9"}}));
    EXPECT_EQ(evaluate(db.get(), "SELECT count(*) FROM w WHERE s = 'b'"), "i:2");
    EXPECT_EQ(evaluate(db.get(), "SELECT count(DISTINCT s) FROM w"), "i:5");
}

// A schema that declares the collation needs the registration before use.
TEST(RegisterJetFunctions, NeededForDeclaredCollation) {
    vtest::TempDir dir;
    {
        jettest::SqliteFile db(dir.file("c.db"));
        db.raw("CREATE TABLE w (s TEXT COLLATE GENERAL); INSERT INTO w VALUES ('x'), ('X')");
    }
    jettest::SqliteFile bare(dir.file("c.db"), false);
    EXPECT_NE(evaluate(bare.get(), "SELECT count(*) FROM w WHERE s = 'x'").find("prepare failed"), std::string::npos);
    jettest::SqliteFile db(dir.file("c.db"));
    EXPECT_EQ(evaluate(db.get(), "SELECT count(*) FROM w WHERE s = 'x'"), "i:2");
}

TEST(RegisterJetFunctions, DoubleQuotesNameColumnsOnly) {
    vtest::TempDir dir;
    jettest::SqliteFile db(dir.file("q.db"));
    db.raw("CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (1)");
    EXPECT_EQ(evaluate(db.get(), "SELECT \"a\" FROM t"), "i:1");
    EXPECT_NE(evaluate(db.get(), "SELECT \"b\" FROM t").find("prepare failed"), std::string::npos);
}

TEST(RegisterJetFunctions, RefusesAMissingConnection) {
    EXPECT_EQ(daotest::ErrorNumberOf([] { dao::RegisterJetFunctions(nullptr); }), dao::err::ObjectClosed);
}

TEST(JetNumberText, AsTheEngineWritesNumbers) {
    struct N {
        double value;
        const char* text;
    };
    const N cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {1, "1"},
        {100, "100"},
        {-2.5, "-2.5"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E+15"},
        {1234567890123456.0, "1.23456789012346E+15"},
        {0.0001, "0.0001"},
        {0.00001, "1E-05"},
        {1.5e-7, "1.5E-07"},
        {1e100, "1E+100"},
        {-1e-300, "-1E-300"},
    };
    for (const auto& c : cases) EXPECT_EQ(dao::JetNumberText(c.value), c.text) << c.value;
}

TEST(JetFunctionErrorNumber, FromTheMessages) {
    struct M {
        const char* message;
        long number;
    };
    const M cases[] = {
        {"Invalid use of Null", 94},
        {"Type mismatch", 13},
        {"Overflow", 6},
        {"Division by zero", 11},
        {"Invalid procedure call or argument", 5},
        {"Invalid pattern string", 3075},
        {"no such column: x", 0},
        {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(dao::JetFunctionErrorNumber(c.message), c.number) << c.message;
}

} // namespace
