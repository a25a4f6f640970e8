// The readers of numbers and dates held as text: ParseDate, ParseDouble,
// Val, IsNumeric, Decimal::Parse and the text forms written back from what
// they read. Checks, beyond crashes and sanitizer reports:
//  - a date read back from the text FormatDate writes for it is the same
//    date to the second;
//  - a number read back from FormatDoubleRoundTrip is the same double;
//  - a Decimal read back from its ToString is the same value;
//  - a date text that ParseDate reads and that the SQL translator also takes
//    as a date literal (#text#) is the same day number in both;
//  - the case-blind text order (CompareGeneral) and its keys (GeneralKey)
//    agree.
#include "db/DaoError.h"
#include "db/Decimal.h"
#include "db/JetFunctions.h"
#include "db/JetSqlTranslator.h"
#include "db/Variant.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void Fail(const char* what, std::string_view input, const std::string& detail) {
    std::fprintf(stderr, "%s: input \"%.*s\" %s\n", what, static_cast<int>(input.size()), input.data(), detail.c_str());
    std::abort();
}

// A day number as a straight time line: before the base day the whole part
// counts down while the fraction still counts up the time of that day.
double Linear(double day) {
    const double whole = std::trunc(day);
    return whole + std::fabs(day - whole);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    double date = 0;
    // (A time within a microsecond of the end of 9999 rounds to day 2958466,
    // past the last day a date text can name: left out.)
    if (dao::ParseDate(text, date) && date < 2958466.0) {
        if (!std::isfinite(date)) Fail("ParseDate gave no finite date", text, "");
        const std::string written = dao::FormatDate(date);
        double back = 0;
        if (!dao::ParseDate(written, back)) Fail("FormatDate wrote a text ParseDate refuses", text, written);
        // Times round to the second; the last second of 9999 has no next day to round to.
        const double slack = (date >= 2958465.0 ? 1.0 : 0.5) / 86400.0 + 1e-9;
        if (std::fabs(Linear(back) - Linear(date)) > slack)
            Fail("date changed on the way back", text, written);
        if (text.find('#') == std::string_view::npos) {
            try {
                const std::string literal =
                    dao::JetSqlTranslator::TranslateExpression("#" + std::string(text) + "#").text();
                char* end = nullptr;
                const double inSql = std::strtod(literal.c_str(), &end);
                if (*end == '\0' && std::fabs(inSql - date) > 1e-9)
                    Fail("date literal and date text read as different days", text, literal);
            } catch (const dao::DaoError&) {
            }
        }
    }

    double number = 0;
    if (dao::ParseDouble(text, number) && !std::isnan(number)) {
        const std::string written = dao::FormatDoubleRoundTrip(number);
        double back = 0;
        if (!dao::ParseDouble(written, back) || back != number)
            Fail("number changed on the way back", text, written);
        (void)dao::FormatDouble(number);
        (void)dao::JetNumberText(number);
    }

    try {
        (void)dao::Val(text); // Overflow beyond the doubles
    } catch (const dao::DaoError& e) {
        if (e.Number() != dao::err::Overflow) throw;
    }
    (void)dao::IsNumeric(text);
    (void)dao::CharLength(text);
    (void)dao::LeftChars(text, size / 2);
    {
        // The case-blind order and its keys agree: equal exactly when the
        // keys are equal, and the order is antisymmetric.
        const std::string_view a = text.substr(0, size / 2), b = text.substr(size / 2);
        const int ab = dao::CompareGeneral(a, b), ba = dao::CompareGeneral(b, a);
        if ((ab == 0) != (dao::GeneralKey(a) == dao::GeneralKey(b)))
            Fail("case-blind order and its keys disagree", text, std::to_string(ab));
        if ((ab < 0) != (ba > 0) || (ab == 0) != (ba == 0)) Fail("case-blind order not antisymmetric", text, "");
    }
    (void)dao::ValidUtf8(std::string(text));

    try {
        dao::Decimal d = dao::Decimal::Parse(text);
        const std::string written = d.ToString();
        dao::Decimal back = dao::Decimal::Parse(written);
        if (!(back == d)) Fail("decimal changed on the way back", text, written);
        (void)d.ToDouble();
    } catch (const dao::DaoError&) {
    }

    // The bytes as a double, through the writers.
    if (size >= 8) {
        double raw = 0;
        std::memcpy(&raw, data, 8);
        (void)dao::FormatDouble(raw);
        (void)dao::JetNumberText(raw);
        (void)dao::FormatDate(raw);
        if (std::isfinite(raw)) {
            double back = 0;
            const std::string written = dao::FormatDoubleRoundTrip(raw);
            if (!dao::ParseDouble(written, back) || back != raw) Fail("double changed on the way back", written, "");
            try {
                dao::Decimal d(raw);
                (void)d.ToString();
            } catch (const dao::DaoError&) {
            }
        }
    }
    return 0;
}
