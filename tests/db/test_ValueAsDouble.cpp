// Reading a number as a double without a Variant gives what Value().ToDouble()
// gives, on the forward read that takes the short way and on the others.
#include "DaoTestTables.h"
#include "db/Dao.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

using namespace dao;

TEST(ValueAsDouble, NumbersNullsAndOtherColumnTypesReadAsValueToDoubleReadsThem) {
    DBEngine().Reset();
    vtest::TempDir tmp;
    auto db = DBEngine().CreateDatabase(tmp.file("v.db"), dbLangGeneral);
    daotest::MakeTable(*db, "T", {{"K", dbLong}, {"D", dbDouble}, {"L", dbLong}});
    struct Row {
        const char* d;   // the double column's literal
        const char* l;   // the long column's literal
        bool dHas, lHas; // a value (not Null)
        double dExp, lExp;
        const char* why;
    };
    const std::vector<Row> rows = {
        {"2.5", "7", true, true, 2.5, 7.0, "a fraction and a whole number"},
        {"Null", "Null", false, false, 0, 0, "Null in both: no value, x untouched"},
        {"-1e300", "-2147483648", true, true, -1e300, -2147483648.0, "the ends of the ranges"},
        {"7", "0", true, true, 7.0, 0.0, "a whole number in the double column"},
        {"0.1", "12", true, true, 0.1, 12.0, "a decimal the binary value only approximates"},
    };
    for (std::size_t i = 0; i < rows.size(); ++i)
        db->Execute("INSERT INTO T (K, D, L) VALUES (" + std::to_string(i) + ", " + rows[i].d + ", " + rows[i].l + ")");

    // The forward read (read-only query), a snapshot and an updatable dynaset.
    const std::vector<std::pair<int, int>> opens = {
        {dbOpenDynaset, dbReadOnly}, {dbOpenSnapshot, 0}, {dbOpenDynaset, 0}};
    for (const auto& [type, options] : opens) {
        SCOPED_TRACE(std::to_string(type) + "/" + std::to_string(options));
        auto rs = db->OpenRecordset("SELECT D, L FROM T ORDER BY K;", type, options);
        auto d = rs->Fields("D"), l = rs->Fields("L");
        for (const Row& r : rows) {
            ASSERT_FALSE(rs->EOF_()) << r.why;
            const double untouched = std::numeric_limits<double>::quiet_NaN();
            double x = untouched, y = untouched;
            EXPECT_EQ(d->ValueAsDouble(x), r.dHas) << r.why;
            EXPECT_EQ(l->ValueAsDouble(y), r.lHas) << r.why;
            if (r.dHas) EXPECT_EQ(x, r.dExp) << r.why;
            else EXPECT_TRUE(x != x) << r.why;
            if (r.lHas) EXPECT_EQ(y, r.lExp) << r.why;
            else EXPECT_TRUE(y != y) << r.why;
            rs->MoveNext();
        }
        // Past the end there is no current record, as for Value().
        double x = 0;
        EXPECT_THROW(d->ValueAsDouble(x), DaoError);
        rs->Close();
    }
    db->Close();
    DBEngine().Reset();
}

TEST(ValueAsDouble, AHexadecimalTextBeyondSixtyFourBitsIsNoNumberInsteadOfAWrappedSum) {
    // Another program's text "&H..." in a number column is read as the whole
    // number it spells; the sum of more digits than a signed 64-bit number
    // holds overflowed (and came out as some other number).
    const struct {
        const char* text;
        bool numeric;
        double value; // 16^k worked out by hand
        const char* why;
    } cases[] = {
        {"&H1F", true, 31.0, "a small one"},
        {"&H7FFFFFFFFFFFFFFF", true, 9223372036854775807.0, "the largest signed 64-bit number"},
        {"&H8000000000000000", false, 0, "one more: beyond it"},
        {"&H10000000000000000", false, 0, "seventeen digits: 16^16 wrapped to 0"},
        {"&H1000000000000001F", false, 0, "seventeen digits: wrapped to 31"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(IsNumeric(c.text), c.numeric);
        if (c.numeric)
            EXPECT_EQ(Variant(std::string(c.text)).ToDouble(), c.value);
        else
            EXPECT_THROW(Variant(std::string(c.text)).ToDouble(), DaoError);
    }
}
