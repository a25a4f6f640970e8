#pragma once
// The value that crosses the data-access layer: it can be Empty or Null and it
// tells its type with the platform's numbers (VarType). Conversions follow the
// rules the rest of the system was written against: banker's rounding to
// integers, True = -1, 15 significant digits when a double becomes text.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace dao {

enum VarType : int {
    vbEmpty = 0,
    vbNull = 1,
    vbInteger = 2,
    vbLong = 3,
    vbSingle = 4,
    vbDouble = 5,
    vbCurrency = 6,
    vbDate = 7,
    vbString = 8,
    vbObject = 9,
    vbError = 10,
    vbBoolean = 11,
    vbVariant = 12,
    vbDecimal = 14,
    vbByte = 17,
    vbLongLong = 20,
    vbByteArray = 8209, // vbArray + vbByte: the bytes of a blob
};

class Variant {
public:
    Variant() = default;                       // Empty
    Variant(std::nullptr_t) : m_type(vbNull) {} // Null
    Variant(bool b) : m_type(vbBoolean), m_int(b ? -1 : 0) {}
    Variant(std::int16_t v) : m_type(vbInteger), m_int(v) {}
    Variant(int v) : m_type(vbLong), m_int(v) {}
    Variant(long v) : Variant(static_cast<long long>(v)) {}
    Variant(long long v);                      // Long when it fits, else LongLong
    Variant(std::uint8_t v) : m_type(vbByte), m_int(v) {}
    Variant(float v) : m_type(vbSingle), m_dbl(v) {}
    Variant(double v) : m_type(vbDouble), m_dbl(v) {}
    Variant(const char* s) : m_type(vbString), m_str(s) {}
    Variant(std::string s) : m_type(vbString), m_str(std::move(s)) {}
    Variant(std::string_view s) : m_type(vbString), m_str(s) {}

    static Variant Null() { return Variant(nullptr); }
    static Variant Date(double oleDate);
    static Variant Currency(double value);
    static Variant Integer(std::int16_t v) { return Variant(v); }
    static Variant Long(std::int32_t v) { return Variant(static_cast<int>(v)); }
    // The bytes of a blob stored where a number or a date belongs: no number
    // can be made of them.
    static Variant Bytes(std::string bytes);

    VarType Type() const noexcept { return m_type; }
    bool IsNull() const noexcept { return m_type == vbNull; }
    bool IsEmpty() const noexcept { return m_type == vbEmpty; }
    bool IsString() const noexcept { return m_type == vbString; }
    bool IsBytes() const noexcept { return m_type == vbByteArray; }
    bool IsNumber() const noexcept;      // any numeric type, Boolean and Date included

    // Raw access without conversion (valid only for the matching type).
    long long RawInt() const noexcept { return m_int; }
    double RawDouble() const noexcept { return m_dbl; }
    const std::string& RawString() const noexcept { return m_str; } // text, or the bytes of vbByteArray

    // Conversions as the language's CDbl/CLng/CInt/CStr/CBool do; Null raises
    // error 94 "Invalid use of Null", text that is not a number error 13.
    double ToDouble() const;
    std::int32_t ToLong() const;
    std::int16_t ToInteger() const;
    bool ToBool() const;
    std::string ToString() const;

    // Loose comparison used for group breaks and FindFirst-style tests:
    // numbers compare as numbers; strings, when asked, without regard to
    // case as the queries' text order has it (CompareGeneral: "É" is "é"),
    // so that the records a query sorts together are one group.
    bool Equals(const Variant& other, bool textCompare) const;

    friend bool operator==(const Variant& a, const Variant& b) { return a.Equals(b, false); }

private:
    VarType m_type = vbEmpty;
    long long m_int = 0;
    double m_dbl = 0.0;
    std::string m_str;
};

// --- Conversions of the language, used across the system -------------------

// Rounds to the nearest integer, halves to the even neighbour.
double RoundHalfEven(double x);
// Rounds to `digits` decimals, halves to even (Currency keeps 4).
double RoundHalfEvenTo(double x, int digits);

// Val: the leading number of a text ("12abc" → 12, "  -3.5e2x" → -350,
// "&H1F" → 31, "" → 0). &H / &O digits are a signed whole number of 16 bits
// up to four hex or six octal digits ("&HFFFF" → -1), else of 32 bits. A
// number beyond the doubles ("1e400"), or &H / &O digits beyond 32 bits,
// raises DaoError 6 (Overflow).
double Val(std::string_view text);
// IsNumeric: the whole text (blanks aside) is a number.
bool IsNumeric(std::string_view text);
// The number a whole text spells, as IsNumeric and CDbl read it (blanks
// around it, a sign, digits with a decimal point, an exponent written with
// E or D, or &H / &O digits): false when it spells none. `beyond`, when
// given, is set when the text spells a number beyond the doubles ("1e400").
// One reader for the program and for the functions of a query.
bool TextNumber(std::string_view text, double& value, bool* beyond = nullptr);
bool IsNumericValue(const Variant& v);
// A double as the language prints it: up to 15 significant digits, no
// trailing zeros, exponent form "1E+20" / "1E-05" outside the plain range.
std::string FormatDouble(double value);
// A double written so that any reader gets the same value back
// (shortest round-trip form, '.' as decimal separator in every locale).
std::string FormatDoubleRoundTrip(double value);
// Parses a number written in the invariant form ('.' decimal point); a
// finite one only ("inf", "nan" and numbers beyond the doubles are none).
bool ParseDouble(std::string_view text, double& out);

// Dates as days since 1899-12-30 with the time as the fraction; before that
// day the whole part counts down and the fraction still the time of that day
// (-1.25 is 1899-12-29 06:00).
double DateSerial(int year, int month, int day);
// Days the month has in the year (1 to 12; the Gregorian leap years).
int DaysInMonth(int year, int month);
double TimeSerial(int hour, int minute, int second);
// "yyyy-mm-dd hh:nn:ss" (time omitted at midnight); a number outside the
// years 100 to 9999 as FormatDouble writes it.
std::string FormatDate(double oleDate);
bool ParseDate(std::string_view text, double& oleDate);
double Now();

// A value as a message names it: a text as it is, the bytes of a blob as
// X'0A1B..', Null as Null, numbers and dates as ToString writes them.
std::string ValueText(const Variant& v);

// A byte with an ASCII capital letter made small; every other byte as it is,
// whatever the program's locale (names are UTF-8, and SQLite's NOCASE folds
// ASCII letters only).
constexpr unsigned char FoldAscii(unsigned char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// Case-insensitive equality of names (tables, fields, keys).
bool NamesEqual(std::string_view a, std::string_view b) noexcept;
std::string ToLowerAscii(std::string_view s);
std::string ToUpperAscii(std::string_view s);
// Number of characters of a UTF-8 text.
std::size_t CharLength(std::string_view utf8) noexcept;
// The first `n` characters of a UTF-8 text (never part of one).
std::string LeftChars(std::string_view utf8, std::size_t n);

} // namespace dao
