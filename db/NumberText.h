#pragma once
// Numbers to and from text in one fixed form ('.' as the decimal point, no
// digit grouping), whatever locale the process runs under: a client program
// may have set its C locale to the user's (setlocale(LC_ALL, "")), where the
// C library's strtod and printf read and write a decimal comma. Texts in
// files, SQL, stored options and messages must read back as the same number
// under every locale.
#include <cstddef>

#include <locale.h>

namespace dao {

// strtod as in the C locale (same results, errno and end pointer).
double StrToDoubleC(const char* text, char** end = nullptr) noexcept;

// snprintf as in the C locale.
int FormatC(char* buffer, std::size_t size, const char* format, ...) noexcept
    __attribute__((format(printf, 3, 4)));

// For its lifetime, the calling thread reads and writes numbers as in the C
// locale, keeping the rest of its locale (texts, dates); other threads are
// left as they are. Nothing is switched where numbers already have a point
// (the Scenario Designer sets them so at its start). For a whole run; a
// single conversion takes StrToDoubleC or FormatC.
class PointNumbersScope {
public:
    PointNumbersScope() noexcept;
    ~PointNumbersScope();
    PointNumbersScope(const PointNumbersScope&) = delete;
    PointNumbersScope& operator=(const PointNumbersScope&) = delete;

private:
    locale_t m_own = static_cast<locale_t>(nullptr);
    locale_t m_previous = static_cast<locale_t>(nullptr);
};

} // namespace dao
