#include "db/NumberText.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <locale.h>

namespace dao {

namespace {

// The C locale, made once for the life of the process.
locale_t cLocale() noexcept {
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

// The C locale for the calling thread while the object lives (uselocale
// changes the thread's own locale only, not the process's).
class ThreadCLocale {
public:
    ThreadCLocale() noexcept : m_old(cLocale() != static_cast<locale_t>(0) ? ::uselocale(cLocale()) : static_cast<locale_t>(0)) {}
    ~ThreadCLocale() {
        if (m_old != static_cast<locale_t>(0)) ::uselocale(m_old);
    }
    ThreadCLocale(const ThreadCLocale&) = delete;
    ThreadCLocale& operator=(const ThreadCLocale&) = delete;

private:
    locale_t m_old;
};

} // namespace

double StrToDoubleC(const char* text, char** end) noexcept {
    const locale_t c = cLocale();
    if (c != static_cast<locale_t>(0)) return ::strtod_l(text, end, c);
    return std::strtod(text, end);
}

int FormatC(char* buffer, std::size_t size, const char* format, ...) noexcept {
    ThreadCLocale scope;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, size, format, args);
    va_end(args);
    return n;
}

PointNumbersScope::PointNumbersScope() noexcept {
    if (const char* radix = ::nl_langinfo(RADIXCHAR); radix && std::strcmp(radix, ".") == 0) return;
    locale_t base = ::duplocale(::uselocale(static_cast<locale_t>(0)));
    if (base == static_cast<locale_t>(0)) return;
    m_own = ::newlocale(LC_NUMERIC_MASK, "C", base);
    if (m_own == static_cast<locale_t>(0)) {
        ::freelocale(base);
        return;
    }
    m_previous = ::uselocale(m_own);
}

PointNumbersScope::~PointNumbersScope() {
    if (m_own == static_cast<locale_t>(0)) return;
    ::uselocale(m_previous);
    ::freelocale(m_own);
}

} // namespace dao
