#pragma once
// CCommandArgs: splits a string of switches ("/WG <file>/UID <user>/PWD
// <password>") into key and value pairs.
//
// Each switch starts with the delimiter; its key runs from after the
// delimiter to the first blank, its value is the trimmed rest; a switch
// without a value takes its key as value; text before the first delimiter is
// ignored. Values written by EscapeValue come back unescaped, so that any
// path or name, even one holding the delimiter "/", survives the round trip.
#include <string>
#include <vector>

class CCommandArgs {
public:
    int Count() const noexcept { return m_count; }

    const std::string& Delim() const noexcept { return m_delim; }
    void SetDelim(std::string delim) { m_delim = std::move(delim); }

    const std::string& TestString() const noexcept { return m_testString; }
    void SetTestString(std::string text) { m_testString = std::move(text); }

    // The value of pair 1 to Count; empty outside that range.
    std::string Item(double position);
    std::string Item(int position) { return Item(static_cast<double>(position)); }
    // A text that reads as a number is a position; any other text a key,
    // compared without regard to letter case (first match). Empty when none.
    std::string Item(const std::string& keyOrPosition);
    std::string Item(const char* keyOrPosition) { return Item(std::string(keyOrPosition)); }

    // Key and value of pair index, 0 to Count (pair 0 is always empty);
    // another index raises error 9 (Subscript out of range).
    std::string Key(int index) const;
    std::string Value(int index) const;

    // Replaces the pairs with those found in TestString. An empty Delim or
    // TestString keeps the previous pairs.
    void Parse();

    // Escaping of a switch value: "%" becomes "%25", "/" "%2F", and blanks at
    // the start or end "%20", so that the value holds no delimiter and keeps
    // its blanks. Unescape reverses exactly these three sequences (in either
    // letter case) and leaves any other text alone.
    static std::string EscapeValue(const std::string& value);
    static std::string UnescapeValue(const std::string& value);

private:
    struct Pair {
        std::string key;
        std::string value;
    };
    std::string m_testString;
    std::string m_delim;
    int m_count = 0;
    std::vector<Pair> m_pairs{Pair{}};
};
