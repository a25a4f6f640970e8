#include "util/CCommandArgs.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "db/NumberText.h"
#include "errors/RunTimeError.h"

namespace {

char lowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerChar(a[i]) != lowerChar(b[i])) return false;
    return true;
}

// Position of needle in text from position from on, without regard to case;
// npos when absent.
size_t findNoCase(const std::string& text, const std::string& needle, size_t from) {
    if (needle.empty() || needle.size() > text.size()) return std::string::npos;
    for (size_t i = from; i + needle.size() <= text.size(); ++i) {
        bool match = true;
        for (size_t j = 0; j < needle.size() && match; ++j) match = lowerChar(text[i + j]) == lowerChar(needle[j]);
        if (match) return i;
    }
    return std::string::npos;
}

// Leading and trailing blanks removed (blanks only, as the platform trims).
std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

// Whether a text reads as a number: blanks around it, a sign, digits with a
// decimal point and an exponent, or "&H"/"&O" followed by hexadecimal/octal
// digits. Gives the number read.
bool readsAsNumber(const std::string& text, double& value) {
    std::string t = trim(text);
    if (t.empty()) return false;
    if (t.size() > 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h' || t[1] == 'O' || t[1] == 'o')) {
        const int base = (t[1] == 'H' || t[1] == 'h') ? 16 : 8;
        char* end = nullptr;
        long long n = std::strtoll(t.c_str() + 2, &end, base);
        if (!end || *end != '\0') return false;
        value = static_cast<double>(n);
        return true;
    }
    size_t i = 0;
    if (t[i] == '+' || t[i] == '-') ++i;
    size_t digits = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    if (i != t.size()) return false;
    value = dao::StrToDoubleC(t.c_str());
    return true;
}

} // namespace

std::string CCommandArgs::EscapeValue(const std::string& value) {
    std::string out;
    const size_t first = value.find_first_not_of(' ');
    const size_t last = value.find_last_not_of(' ');
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '%')
            out += "%25";
        else if (c == '/')
            out += "%2F";
        else if (c == ' ' && (first == std::string::npos || i < first || i > last))
            out += "%20";
        else
            out += c;
    }
    return out;
}

std::string CCommandArgs::UnescapeValue(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size()) {
            const char a = value[i + 1], b = lowerChar(value[i + 2]);
            if (a == '2' && (b == '5' || b == 'f' || b == '0')) {
                out += b == '5' ? '%' : (b == 'f' ? '/' : ' ');
                i += 2;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

void CCommandArgs::Parse() {
    try {
        if (m_delim.empty() || m_testString.empty()) return;
        m_pairs.assign(1, Pair{});
        m_count = 0;
        const std::string& text = m_testString;
        const size_t d = m_delim.size();
        size_t p = 0;
        for (;;) {
            const size_t s = findNoCase(text, m_delim, p);
            if (s == std::string::npos) break;
            const size_t t = findNoCase(text, m_delim, s + 1);
            const bool last = t == std::string::npos;
            const std::string piece = last ? text.substr(s) : text.substr(s, t - s);

            const std::string padded = piece + " ";
            size_t b = padded.find(' ', d); // the first blank after the delimiter
            Pair pair;
            pair.key = trim(padded.substr(d, b - d + 1));
            pair.value = b + 1 <= piece.size() ? trim(piece.substr(b + 1)) : std::string();
            if (pair.value.empty())
                pair.value = pair.key;
            else
                pair.value = UnescapeValue(pair.value);
            m_pairs.push_back(std::move(pair));
            ++m_count;

            if (last) break;
            p = t;
        }
    } catch (...) {
        ShowRoutineError("Parse");
    }
}

std::string CCommandArgs::Item(double position) {
    try {
        if (position > 0 && position <= m_count) {
            const double whole = std::nearbyint(position); // half to even
            return m_pairs[static_cast<size_t>(whole)].value;
        }
    } catch (...) {
        ShowRoutineError("Item");
    }
    return {};
}

std::string CCommandArgs::Item(const std::string& keyOrPosition) {
    try {
        double position = 0;
        if (readsAsNumber(keyOrPosition, position)) return Item(position);
        for (int i = 1; i <= m_count; ++i)
            if (equalNoCase(m_pairs[static_cast<size_t>(i)].key, keyOrPosition))
                return m_pairs[static_cast<size_t>(i)].value;
    } catch (...) {
        ShowRoutineError("Item");
    }
    return {};
}

std::string CCommandArgs::Key(int index) const {
    if (index < 0 || index > m_count) throw RunTimeError(rterr::SubscriptOutOfRange);
    return m_pairs[static_cast<size_t>(index)].key;
}

std::string CCommandArgs::Value(int index) const {
    if (index < 0 || index > m_count) throw RunTimeError(rterr::SubscriptOutOfRange);
    return m_pairs[static_cast<size_t>(index)].value;
}
