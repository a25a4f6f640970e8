#include "db/Variant.h"

#include "db/DaoError.h"
#include "db/JetFunctions.h"
#include "db/NumberText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>

namespace dao {

namespace {

[[noreturn]] void throwNull() { throw DaoError(err::InvalidUseOfNull, "Invalid use of Null"); }
[[noreturn]] void throwMismatch() { throw DaoError(err::TypeMismatch, "Type mismatch"); }
[[noreturn]] void throwOverflow() { throw DaoError(err::Overflow, "Overflow"); }

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// The value of a digit of &H (base 16) or &O (base 8) numbers; -1 when c is
// none of that base.
int radixDigit(char c, int base) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return -1;
    return d < base ? d : -1;
}

// Length of the leading number of s (after optional blanks and sign); 0 when none.
std::size_t scanNumber(std::string_view s, bool allowTrailingJunk, double& value) {
    std::size_t i = 0;
    auto skipBlanks = [&] { while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i; };
    skipBlanks();
    if (i + 1 < s.size() && s[i] == '&' && (s[i + 1] == 'H' || s[i + 1] == 'h' || s[i + 1] == 'O' || s[i + 1] == 'o')) {
        int base = (s[i + 1] == 'H' || s[i + 1] == 'h') ? 16 : 8;
        std::size_t j = i + 2;
        std::int64_t v = 0;
        std::size_t start = j;
        while (j < s.size()) {
            const int d = radixDigit(s[j], base);
            if (d < 0) break;
            // Beyond a signed 64-bit number the digits spell no number here
            // (the sum would overflow into another).
            if (v > (std::numeric_limits<std::int64_t>::max() - d) / base) return 0;
            v = v * base + d;
            ++j;
        }
        if (j == start) return 0;
        value = static_cast<double>(v);
        return j;
    }
    std::string buf;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) buf += s[i++];
    std::size_t digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) { buf += s[i++]; ++digits; }
    if (i < s.size() && s[i] == '.') {
        buf += s[i++];
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) { buf += s[i++]; ++digits; }
    }
    if (digits == 0) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        std::size_t j = i + 1;
        std::string exp = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exp += s[j++];
        std::size_t expDigits = 0;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) { exp += s[j++]; ++expDigits; }
        if (expDigits > 0) { buf += exp; i = j; }
        else if (!allowTrailingJunk) return 0;
    }
    value = StrToDoubleC(buf.c_str());
    return i;
}

bool textToNumber(std::string_view text, double& out, bool* beyond = nullptr) {
    if (beyond) *beyond = false;
    std::string_view t = trim(text);
    if (t.empty()) return false;
    double v = 0;
    std::size_t n = scanNumber(t, false, v);
    if (n == 0 || n != t.size()) return false;
    if (!std::isfinite(v)) {
        if (beyond) *beyond = true;
        return false;
    }
    out = v;
    return true;
}

int daysFromCivil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int>(doe) - 719468;
}

void civilFromDays(int z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

const int kOleEpochDays = daysFromCivil(1899, 12, 30);

} // namespace

// --- Variant -----------------------------------------------------------------

Variant::Variant(long long v) {
    if (v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max())
        m_type = vbLong;
    else
        m_type = vbLongLong;
    m_int = v;
}

Variant Variant::Date(double oleDate) {
    Variant v(oleDate);
    v.m_type = vbDate;
    return v;
}

Variant Variant::Bytes(std::string bytes) {
    Variant v(std::move(bytes));
    v.m_type = vbByteArray;
    return v;
}

Variant Variant::Currency(double value) {
    Variant v(RoundHalfEvenTo(value, 4));
    v.m_type = vbCurrency;
    return v;
}

bool Variant::IsNumber() const noexcept {
    switch (m_type) {
    case vbInteger: case vbLong: case vbSingle: case vbDouble: case vbCurrency:
    case vbDate: case vbBoolean: case vbDecimal: case vbByte: case vbLongLong:
        return true;
    default:
        return false;
    }
}

double Variant::ToDouble() const {
    switch (m_type) {
    case vbEmpty: return 0.0;
    case vbNull: throwNull();
    case vbInteger: case vbLong: case vbBoolean: case vbByte: case vbLongLong:
        return static_cast<double>(m_int);
    case vbSingle: case vbDouble: case vbCurrency: case vbDate: case vbDecimal:
        return m_dbl;
    case vbString: {
        double v;
        if (!textToNumber(m_str, v)) throwMismatch();
        return v;
    }
    default: throwMismatch();
    }
}

std::int32_t Variant::ToLong() const {
    if (m_type == vbLong || m_type == vbInteger || m_type == vbBoolean || m_type == vbByte)
        return static_cast<std::int32_t>(m_int);
    double r = RoundHalfEven(ToDouble());
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) throwOverflow();
    return static_cast<std::int32_t>(r);
}

std::int16_t Variant::ToInteger() const {
    double r = RoundHalfEven(ToDouble());
    if (!(r >= -32768.0 && r <= 32767.0)) throwOverflow();
    return static_cast<std::int16_t>(r);
}

bool Variant::ToBool() const {
    if (m_type == vbString) {
        std::string t = ToLowerAscii(trim(m_str));
        if (t == "true" || t == "yes" || t == "on") return true;
        if (t == "false" || t == "no" || t == "off") return false;
    }
    return ToDouble() != 0.0;
}

std::string Variant::ToString() const {
    switch (m_type) {
    case vbEmpty: return {};
    case vbNull: throwNull();
    case vbBoolean: return m_int ? "True" : "False";
    case vbInteger: case vbLong: case vbByte: case vbLongLong: return std::to_string(m_int);
    case vbSingle: {
        char buf[32];
        FormatC(buf, sizeof buf, "%.7G", m_dbl);
        return FormatDouble(StrToDoubleC(buf));
    }
    case vbDouble: case vbCurrency: case vbDecimal: return FormatDouble(m_dbl);
    case vbDate: return FormatDate(m_dbl);
    case vbString: case vbByteArray: return m_str;
    default: throwMismatch();
    }
}

bool Variant::Equals(const Variant& other, bool textCompare) const {
    if (IsNull() || other.IsNull()) return IsNull() && other.IsNull();
    if (IsBytes() || other.IsBytes()) return IsBytes() && other.IsBytes() && m_str == other.m_str;
    if (IsString() && other.IsString()) {
        if (textCompare) return CompareGeneral(m_str, other.m_str) == 0;
        return m_str == other.m_str;
    }
    if (IsString() || other.IsString()) {
        double a, b;
        const Variant& s = IsString() ? *this : other;
        const Variant& n = IsString() ? other : *this;
        if (n.IsEmpty()) return s.m_str.empty();
        if (!textToNumber(s.m_str, a)) return false;
        b = n.ToDouble();
        return a == b;
    }
    // Whole numbers are compared exactly, also beyond the 53 bits of a double
    // (two 64-bit keys a unit apart are two keys).
    auto whole = [](const Variant& v) {
        switch (v.m_type) {
        case vbInteger: case vbLong: case vbBoolean: case vbByte: case vbLongLong: return true;
        default: return false;
        }
    };
    if (whole(*this) && whole(other)) return m_int == other.m_int;
    if (whole(*this) || whole(other)) {
        const long double a = whole(*this) ? static_cast<long double>(m_int) : static_cast<long double>(ToDouble());
        const long double b = whole(other) ? static_cast<long double>(other.m_int) : static_cast<long double>(other.ToDouble());
        return a == b;
    }
    return ToDouble() == other.ToDouble();
}

// --- Free conversions --------------------------------------------------------

double RoundHalfEven(double x) {
    if (!std::isfinite(x)) return x;
    return std::nearbyint(x); // default rounding mode is to nearest, ties to even
}

double RoundHalfEvenTo(double x, int digits) {
    if (!std::isfinite(x) || digits < 0) return x;
    // Go through the decimal text so that 2.675 rounds as written, not as stored.
    char buf[64];
    FormatC(buf, sizeof buf, "%.15g", x);
    double exact = StrToDoubleC(buf);
    double scale = std::pow(10.0, digits);
    double scaled = exact * scale;
    double r = std::nearbyint(scaled);
    if (std::fabs(std::fabs(scaled - std::trunc(scaled)) - 0.5) < 1e-9) {
        double lower = std::floor(scaled);
        r = std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
    }
    return r / scale;
}

double Val(std::string_view text) {
    // Val skips blanks anywhere and stops at the first character that cannot continue a number.
    std::string compact;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') compact += c;
    if (compact.size() >= 2 && compact[0] == '&' &&
        (compact[1] == 'H' || compact[1] == 'h' || compact[1] == 'O' || compact[1] == 'o')) {
        // &H / &O read hexadecimal / octal digits as a signed whole number:
        // of 16 bits up to four hex or six octal digits ("&HFFFF" is -1),
        // else of 32 bits ("&HFFFFFFFF" is -1 too); more is an overflow.
        const int base = (compact[1] == 'H' || compact[1] == 'h') ? 16 : 8;
        std::uint64_t v = 0;
        int digits = 0;
        for (std::size_t i = 2; i < compact.size(); ++i) {
            const int d = radixDigit(compact[i], base);
            if (d < 0) break;
            v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
            ++digits;
            if (v > 0xFFFFFFFFull) throwOverflow();
        }
        if (v <= 0xFFFF && digits <= (base == 16 ? 4 : 6)) return static_cast<double>(static_cast<std::int16_t>(v));
        return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
    }
    double v = 0;
    if (scanNumber(compact, true, v) == 0) return 0.0;
    // A number beyond the largest double is an overflow, as Val in a query
    // says, not an infinity handed on as a number.
    if (!std::isfinite(v)) throwOverflow();
    return v;
}

bool IsNumeric(std::string_view text) {
    double v;
    return textToNumber(text, v);
}

bool TextNumber(std::string_view text, double& value, bool* beyond) {
    return textToNumber(text, value, beyond);
}

bool IsNumericValue(const Variant& v) {
    if (v.IsNull()) return false;
    if (v.IsString()) return IsNumeric(std::string_view(v.RawString()));
    return v.IsNumber() || v.IsEmpty();
}

std::string FormatDouble(double value) {
    if (value == 0.0) return "0";
    if (!std::isfinite(value)) return std::isnan(value) ? "NaN" : (value > 0 ? "Infinity" : "-Infinity");
    char buf[64];
    FormatC(buf, sizeof buf, "%.14E", value);
    // buf: d.ddddddddddddddE±xx
    std::string s(buf);
    std::size_t e = s.find('E');
    int exp = std::atoi(s.c_str() + e + 1);
    std::string mant = s.substr(0, e);
    bool neg = mant[0] == '-';
    if (neg) mant.erase(0, 1);
    std::string digits;
    for (char c : mant) if (c != '.') digits += c;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string out;
    if (exp >= 15 || exp < -15) {
        out = digits.substr(0, 1);
        if (digits.size() > 1) out += "." + digits.substr(1);
        char eb[16];
        std::snprintf(eb, sizeof eb, "E%c%02d", exp < 0 ? '-' : '+', exp < 0 ? -exp : exp);
        out += eb;
    } else if (exp >= 0) {
        if (static_cast<int>(digits.size()) <= exp + 1) {
            out = digits + std::string(static_cast<std::size_t>(exp + 1) - digits.size(), '0');
        } else {
            out = digits.substr(0, static_cast<std::size_t>(exp + 1)) + "." + digits.substr(static_cast<std::size_t>(exp + 1));
        }
    } else {
        out = "0." + std::string(static_cast<std::size_t>(-exp - 1), '0') + digits;
    }
    return neg ? "-" + out : out;
}

std::string FormatDoubleRoundTrip(double value) {
    if (!std::isfinite(value)) throwOverflow();
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    std::string s(buf, res.ptr);
    // SQL readers want a decimal point or an exponent to see a real number.
    if (s.find_first_of(".eE") == std::string::npos) s += ".0";
    return s;
}

bool ParseDouble(std::string_view text, double& out) {
    std::string_view t = trim(text);
    if (t.empty()) return false;
    if (t.front() == '+') {
        t.remove_prefix(1);
        // One sign only: "+-5" is no number (from_chars would read the -5).
        if (!t.empty() && (t.front() == '-' || t.front() == '+')) return false;
    }
    // from_chars also reads "inf", "infinity" and "nan": no number written here.
    double d = 0;
    auto res = std::from_chars(t.data(), t.data() + t.size(), d);
    if (res.ec == std::errc::result_out_of_range && res.ptr == t.data() + t.size()) {
        // Too small for a double ("1e-400") is 0 (or the nearest one), as
        // SQL and IsNumeric read it; too large stays no number.
        d = StrToDoubleC(std::string(t).c_str());
        res.ec = std::errc();
    }
    if (res.ec != std::errc() || res.ptr != t.data() + t.size() || !std::isfinite(d)) return false;
    out = d;
    return true;
}

double DateSerial(int year, int month, int day) {
    // Months outside 1..12 roll over into the neighbouring years, as the language allows.
    int y = year + (month - 1) / 12;
    int m = (month - 1) % 12;
    if (m < 0) { m += 12; --y; }
    return static_cast<double>(daysFromCivil(y, static_cast<unsigned>(m + 1), 1) - kOleEpochDays + day - 1);
}

double TimeSerial(int hour, int minute, int second) {
    return (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

std::string FormatDate(double oleDate) {
    // A number no calendar day has (beyond the years 100 to 9999; another
    // program's time stamp in seconds, say) is shown as the number it is.
    if (!(oleDate > -657435.0 && oleDate < 2958466.0)) return FormatDouble(oleDate);
    // The whole part is the day, the fraction the time of that day, also
    // before the base day, where the days count down while the time still
    // counts up: -1.25 is 29 Dec 1899 06:00.
    double days = std::trunc(oleDate);
    double frac = std::fabs(oleDate - days);
    long secs = std::lround(frac * 86400.0);
    if (secs >= 86400) {
        // Within half a second of midnight the time rounds to the next day,
        // as every time rounds to its nearest second; the last day of 9999
        // has no next day.
        if (days + 1 < 2958466.0) {
            days += 1;
            secs = 0;
        } else {
            secs = 86399;
        }
    }
    int y; unsigned m, d;
    civilFromDays(static_cast<int>(days) + kOleEpochDays, y, m, d);
    char buf[64];
    if (secs == 0)
        std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", y, m, d);
    else
        std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02ld:%02ld:%02ld", y, m, d, secs / 3600, (secs / 60) % 60, secs % 60);
    return buf;
}

namespace {

// Reads 1 to `most` digits at `i`; false when there is none.
bool readDigits(std::string_view s, std::size_t& i, std::size_t most, int& value) {
    std::size_t n = 0;
    value = 0;
    while (i < s.size() && n < most && s[i] >= '0' && s[i] <= '9') {
        value = value * 10 + (s[i++] - '0');
        ++n;
    }
    return n > 0 && !(i < s.size() && s[i] >= '0' && s[i] <= '9');
}

} // namespace

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

bool ParseDate(std::string_view text, double& oleDate) {
    // A date as a date literal of a query writes it: year first (yyyy-mm-dd,
    // yyyy/m/d) or month first (m/d/yyyy, m-d-yyyy; a two-digit year is
    // 1930-2029), then optionally a time h:nn[:ss[.fff]] after blanks or a
    // "T" (the ISO form other programs write), with AM or PM, and a zone
    // ("Z", "+02:00"): the time is read as written, the layer keeps no
    // zones. A time alone is a time of the base day. Any other text, or a
    // day the month does not have, is no date.
    const std::string_view t = trim(text);
    std::size_t i = 0;
    int a = 0, b = 0, c = 0;
    if (!readDigits(t, i, 4, a) || i >= t.size()) return false;
    int year = 1899, month = 12, day = 30;
    const bool timeOnly = t[i] == ':';
    if (timeOnly) {
        i = 0;
    } else {
        if (t[i] != '-' && t[i] != '/') return false;
        const char sep = t[i++];
        const bool yearFirst = i - 1 > 2;
        if (!readDigits(t, i, 2, b) || i >= t.size() || t[i++] != sep) return false;
        const std::size_t lastStart = i;
        if (!readDigits(t, i, 4, c)) return false;
        if (yearFirst) {
            if (i - lastStart > 2) return false;
            year = a, month = b, day = c;
        } else {
            month = a, day = b, year = c;
            if (i - lastStart <= 2) year += year < 30 ? 2000 : 1900;
        }
        if (i < t.size()) {
            if (t[i] == 'T' && sep == '-' && yearFirst) {
                ++i;
            } else if (t[i] == ' ' || t[i] == '\t') {
                while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
            } else {
                return false;
            }
        }
    }
    if (year < 100 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
    double seconds = 0;
    if (i < t.size()) {
        int h = 0, mi = 0, s = 0;
        if (!readDigits(t, i, 2, h) || i >= t.size() || t[i++] != ':' || !readDigits(t, i, 2, mi)) return false;
        double fraction = 0;
        if (i < t.size() && t[i] == ':') {
            ++i;
            if (!readDigits(t, i, 2, s)) return false;
            if (i < t.size() && t[i] == '.') {
                const std::size_t dot = i++;
                while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
                if (i == dot + 1) return false;
                fraction = StrToDoubleC(("0" + std::string(t.substr(dot, i - dot))).c_str());
            }
        }
        std::size_t j = i;
        while (j < t.size() && (t[j] == ' ' || t[j] == '\t')) ++j;
        const std::string_view half = t.substr(std::min(j, t.size()), 2);
        const bool am = NamesEqual(half, "AM"), pm = NamesEqual(half, "PM");
        if (am || pm) {
            if (h < 1 || h > 12) return false;
            h = h % 12 + (pm ? 12 : 0);
            i = j + 2;
        }
        if (i < t.size()) {
            if (t[i] == 'Z' || t[i] == 'z') {
                ++i;
            } else if (t[i] == '+' || t[i] == '-') {
                int zh = 0, zm = 0;
                ++i;
                if (!readDigits(t, i, 2, zh)) return false;
                if (i < t.size() && t[i] == ':') {
                    ++i;
                    if (!readDigits(t, i, 2, zm)) return false;
                } else if (i < t.size() && !readDigits(t, i, 2, zm)) {
                    return false;
                }
                if (zh > 23 || zm > 59) return false;
            }
        }
        if (i != t.size() || h > 23 || mi > 59 || s > 59) return false;
        seconds = h * 3600.0 + mi * 60.0 + s + fraction;
    }
    // Before the base day the day counts down and the time up (see FormatDate).
    const double whole = DateSerial(year, month, day);
    oleDate = whole >= 0 ? whole + seconds / 86400.0 : whole - seconds / 86400.0;
    // A time a fraction of a second before the end of the day may round to
    // the day number that ends it; the first and the last day end at a day
    // number no date has (-657435, 2958466): they keep their last instant.
    if (oleDate >= 2958466.0) oleDate = std::nextafter(2958466.0, 0.0);
    if (oleDate <= -657435.0) oleDate = std::nextafter(-657435.0, 0.0);
    return true;
}

double Now() {
    using namespace std::chrono;
    std::time_t t = system_clock::to_time_t(system_clock::now());
    std::tm tm{};
    localtime_r(&t, &tm);
    return DateSerial(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) + TimeSerial(tm.tm_hour, tm.tm_min, tm.tm_sec);
}

std::string ValueText(const Variant& v) {
    switch (v.Type()) {
    case vbNull: return "Null";
    case vbEmpty: return {};
    case vbByteArray: {
        static const char* hex = "0123456789ABCDEF";
        const std::string& b = v.RawString();
        const std::size_t shown = std::min<std::size_t>(b.size(), 16);
        std::string out = "X'";
        for (std::size_t i = 0; i < shown; ++i) {
            out += hex[static_cast<unsigned char>(b[i]) >> 4];
            out += hex[static_cast<unsigned char>(b[i]) & 15];
        }
        out += b.size() > shown ? "...'" : "'";
        return out;
    }
    case vbDouble: case vbSingle: {
        // As many digits as tell the value apart from its neighbours.
        std::string s = FormatDouble(v.RawDouble());
        double back = 0;
        if (!std::isfinite(v.RawDouble()) || (ParseDouble(s, back) && back == v.RawDouble())) return s;
        return FormatDoubleRoundTrip(v.RawDouble());
    }
    default: return v.ToString();
    }
}

bool NamesEqual(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(static_cast<unsigned char>(a[i])) != FoldAscii(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

std::string ToLowerAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = static_cast<char>(FoldAscii(static_cast<unsigned char>(c)));
    return r;
}

std::string ToUpperAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
    return r;
}

std::size_t CharLength(std::string_view utf8) noexcept {
    std::size_t n = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

std::string LeftChars(std::string_view utf8, std::size_t n) {
    std::size_t i = 0;
    for (std::size_t chars = 0; i < utf8.size(); ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) continue;
        if (chars++ == n) break;
    }
    return std::string(utf8.substr(0, i));
}

} // namespace dao
