#include "db/Decimal.h"

#include "db/DaoError.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace dao {

namespace {

using u128 = Decimal::Mantissa_t;

constexpr long DivisionByZero = 11;
constexpr long InvalidCall = 5;

[[noreturn]] void throwOverflow() { throw DaoError(err::Overflow, "Overflow"); }

// Unsigned 256-bit integer, enough for every intermediate value: a 96-bit
// mantissa times 10^28 needs 190 bits, the product of two mantissas 192.
struct U256 {
    std::array<std::uint64_t, 4> w{}; // little-endian limbs

    U256() = default;
    explicit U256(u128 v) {
        w[0] = static_cast<std::uint64_t>(v);
        w[1] = static_cast<std::uint64_t>(v >> 64);
    }

    bool isZero() const { return (w[0] | w[1] | w[2] | w[3]) == 0; }
    bool fits96() const { return w[3] == 0 && w[2] == 0 && (w[1] >> 32) == 0; }
    bool fits128() const { return w[3] == 0 && w[2] == 0; }
    u128 low128() const { return (static_cast<u128>(w[1]) << 64) | w[0]; }

    void mulSmall(std::uint64_t m) {
        u128 carry = 0;
        for (auto& limb : w) {
            u128 t = static_cast<u128>(limb) * m + carry;
            limb = static_cast<std::uint64_t>(t);
            carry = t >> 64;
        }
        if (carry != 0)
            throwOverflow(); // never reached with the sizes used here
    }
    // Divides in place and returns the remainder.
    std::uint64_t divSmall(std::uint64_t d) {
        u128 rem = 0;
        for (int i = 3; i >= 0; --i) {
            u128 cur = (rem << 64) | w[static_cast<std::size_t>(i)];
            w[static_cast<std::size_t>(i)] = static_cast<std::uint64_t>(cur / d);
            rem = cur % d;
        }
        return static_cast<std::uint64_t>(rem);
    }
    void add(const U256& o) {
        u128 carry = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            u128 t = static_cast<u128>(w[i]) + o.w[i] + carry;
            w[i] = static_cast<std::uint64_t>(t);
            carry = t >> 64;
        }
        if (carry != 0)
            throwOverflow();
    }
    // Requires *this >= o.
    void sub(const U256& o) {
        std::uint64_t borrow = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            std::uint64_t a = w[i];
            std::uint64_t r = a - o.w[i] - borrow;
            borrow = (a < o.w[i] || (a == o.w[i] && borrow)) ? 1 : 0;
            w[i] = r;
        }
    }
    void addOne() { add(U256(u128{1})); }
    bool odd() const { return (w[0] & 1U) != 0; }
    int bitLength() const {
        for (int i = 3; i >= 0; --i) {
            std::uint64_t v = w[static_cast<std::size_t>(i)];
            if (v != 0)
                return i * 64 + 64 - __builtin_clzll(v);
        }
        return 0;
    }
    bool bit(int n) const { return (w[static_cast<std::size_t>(n / 64)] >> (n % 64)) & 1U; }
    void shl1() {
        for (int i = 3; i > 0; --i)
            w[static_cast<std::size_t>(i)] =
                (w[static_cast<std::size_t>(i)] << 1) | (w[static_cast<std::size_t>(i - 1)] >> 63);
        w[0] <<= 1;
    }
    void setBit0() { w[0] |= 1U; }

    friend std::strong_ordering operator<=>(const U256& a, const U256& b) {
        for (int i = 3; i >= 0; --i) {
            auto c = a.w[static_cast<std::size_t>(i)] <=> b.w[static_cast<std::size_t>(i)];
            if (c != 0)
                return c;
        }
        return std::strong_ordering::equal;
    }
    friend bool operator==(const U256&, const U256&) = default;
};

U256 mulPow10(U256 v, int n) {
    while (n >= 19) {
        v.mulSmall(10000000000000000000ULL);
        n -= 19;
    }
    std::uint64_t p = 1;
    while (n-- > 0)
        p *= 10;
    if (p != 1)
        v.mulSmall(p);
    return v;
}

U256 multiply(u128 a, u128 b) {
    U256 lo(a);
    lo.mulSmall(static_cast<std::uint64_t>(b));
    U256 hi(a);
    hi.mulSmall(static_cast<std::uint64_t>(b >> 64));
    // shift hi by one limb
    U256 shifted;
    shifted.w[1] = hi.w[0];
    shifted.w[2] = hi.w[1];
    shifted.w[3] = hi.w[2];
    lo.add(shifted);
    return lo;
}

// Quotient and remainder of two 256-bit values, by shift and subtract.
void divMod(const U256& n, const U256& d, U256& q, U256& r) {
    q = U256();
    r = U256();
    for (int i = n.bitLength() - 1; i >= 0; --i) {
        r.shl1();
        if (n.bit(i))
            r.setBit0();
        q.shl1();
        if (r >= d) {
            r.sub(d);
            q.setBit0();
        }
    }
}

// Brings an exact value (m / 10^scale) into range: at most 28 decimal places
// and a mantissa below 2^96, dropping digits with round-half-even. Throws
// Overflow when even scale 0 does not fit.
void reduce(U256& m, int& scale, bool belowLastDigit = false) {
    bool sticky = belowLastDigit;
    for (;;) {
        bool dropped = false;
        std::uint64_t last = 0;
        while (scale > Decimal::MaxScale || !m.fits96()) {
            if (scale == 0)
                throwOverflow();
            if (dropped && last != 0)
                sticky = true;
            last = m.divSmall(10);
            --scale;
            dropped = true;
        }
        if (!dropped)
            return;
        if (last > 5 || (last == 5 && (sticky || m.odd()))) {
            m.addOne();
            if (!m.fits96())
                continue; // 2^96 exactly: drop one more digit
        }
        return;
    }
}

std::string u128ToString(u128 v) {
    if (v == 0)
        return "0";
    char buf[48];
    char* p = buf + sizeof buf;
    // Nineteen digits at a time: one 128-bit division a chunk, the digits of
    // a chunk by 64-bit arithmetic.
    constexpr std::uint64_t chunk = 10000000000000000000ULL;
    while (v != 0) {
        std::uint64_t part;
        const bool more = v >= chunk;
        if (more) {
            part = static_cast<std::uint64_t>(v % chunk);
            v /= chunk;
        } else {
            part = static_cast<std::uint64_t>(v);
            v = 0;
        }
        int written = 0;
        while (part != 0 || (more && written < 19)) {
            *--p = static_cast<char>('0' + static_cast<int>(part % 10));
            part /= 10;
            ++written;
        }
    }
    return std::string(p, buf + sizeof buf);
}

constexpr std::uint64_t kPow10U64[] = {1ULL,
                                        10ULL,
                                        100ULL,
                                        1000ULL,
                                        10000ULL,
                                        100000ULL,
                                        1000000ULL,
                                        10000000ULL,
                                        100000000ULL,
                                        1000000000ULL,
                                        10000000000ULL,
                                        100000000000ULL,
                                        1000000000000ULL,
                                        10000000000000ULL,
                                        100000000000000ULL,
                                        1000000000000000ULL,
                                        10000000000000000ULL,
                                        100000000000000000ULL,
                                        1000000000000000000ULL,
                                        10000000000000000000ULL};

// The whole part of 0 <= v < 2^64, without a call to the library.
double wholePart(double v) { return static_cast<double>(static_cast<std::uint64_t>(v)); }

} // namespace

// The fifteen significant digits of mag and the power of ten of the first,
// rounded half-even on the exact binary value, as formatting with fourteen
// places after the point gives them, without the formatting: for
// 1e-8 <= mag < 1e15, mag * 10^k (10^k exact, k = 14 - exp10) is taken
// exactly as hi + lo (an error-free product) and rounded to a whole number.
// Returns false where that does not apply.
bool FifteenDigits(double mag, std::uint64_t& digits, int& exp10) {
    if (!(mag >= 1e-8 && mag < 1e15))
        return false;
    // A whole number has its own digits.
    if (mag >= 1.0 && mag == wholePart(mag)) {
        auto n = static_cast<std::uint64_t>(mag);
        int e = 0;
        for (std::uint64_t t = n; t >= 10; t /= 10)
            ++e;
        digits = n * kPow10U64[14 - e];
        exp10 = e;
        return true;
    }
    // mag lies in [2^b, 2^(b+1)): its power of ten is this or the next.
    // (the first guess only; the tests below correct it by one either way)
    std::uint64_t bits = 0;
    std::memcpy(&bits, &mag, sizeof bits);
    const int binary = static_cast<int>((bits >> 52) & 0x7ff) - 1023; // mag is normal here
    int e = (binary * 1233) >> 12;                                   // floor(binary * log10(2))
    if (e < -8)
        e = -8; // the guess one below for mag < 2^-26, whose power is -8 all the same
    for (int tries = 0; tries < 3; ++tries) {
        const int k = 14 - e;
        if (k < 0 || k > kMaxExactPow10)
            return false;
        const double p = kExactPow10[k];
        const double hi = mag * p;               // below 2^51 where used: whole part and fraction exact
        const double lo = std::fma(mag, p, -hi); // mag * p == hi + lo exactly, |lo| <= ulp(hi) / 2
        // The power is right when 10^14 <= mag * 10^k < 10^15, exactly.
        if (hi < 1e14 || (hi == 1e14 && lo < 0.0)) {
            --e;
            continue;
        }
        if (hi > 1e15 || (hi == 1e15 && lo >= 0.0)) {
            ++e;
            continue;
        }
        const double whole = wholePart(hi);
        // hi - whole and its difference from a half are multiples of ulp(hi),
        // exact, and where not zero larger than |lo|: only a tie in hi leaves
        // the decision to lo, and only an exact tie to the even neighbour.
        const double fromHalf = (hi - whole) - 0.5;
        bool up;
        if (fromHalf != 0.0)
            up = fromHalf > 0.0;
        else if (lo != 0.0)
            up = lo > 0.0;
        else
            up = (static_cast<std::uint64_t>(whole) & 1U) != 0;
        const std::uint64_t d = static_cast<std::uint64_t>(whole) + (up ? 1U : 0U);
        // Rounded up to the next power of ten: 1.00000000000000 of it.
        if (d == 1000000000000000ULL) {
            digits = 100000000000000ULL;
            exp10 = e + 1;
        } else {
            digits = d;
            exp10 = e;
        }
        return true;
    }
    return false;
}

namespace {

// Bit length of 10^k.
constexpr int kPow10Bits[] = {1, 4, 7, 10, 14, 17, 20, 24, 27, 30, 34, 37, 40, 44, 47, 50, 54, 57, 60, 64};

int bitLength128(u128 v) {
    const auto hi = static_cast<std::uint64_t>(v >> 64);
    if (hi != 0)
        return 128 - __builtin_clzll(hi);
    const auto lo = static_cast<std::uint64_t>(v);
    return lo != 0 ? 64 - __builtin_clzll(lo) : 0;
}

// How many decimal digits of a long division can be taken in one step: at
// most `room` and 19, with remainder * 10^k below 2^128 and (quotient + 1)
// * 10^k at most 2^96.
int digitsAtOnce(u128 remainder, u128 quotient, int room) {
    const int rb = bitLength128(remainder);
    const int qb = bitLength128(quotient);
    int k = room < 19 ? room : 19;
    while (k > 1 && (rb + kPow10Bits[k] > 128 || qb + kPow10Bits[k] > 96))
        --k;
    return k;
}

} // namespace

void Decimal::SetInteger(bool negative, std::uint64_t magnitude) noexcept {
    m_mant = magnitude;
    m_scale = 0;
    m_neg = negative && magnitude != 0;
}

Decimal::Decimal(double value) {
    if (!std::isfinite(value))
        throwOverflow();
    if (value == 0.0)
        return; // zero, whatever its sign
    const bool neg = std::signbit(value);
    const double mag = std::fabs(value);

    // A whole number of up to 15 digits is its own mantissa, at scale 0.
    if (mag >= 1.0 && mag < 1e15 && mag == wholePart(mag)) {
        m_mant = static_cast<std::uint64_t>(mag);
        m_neg = neg;
        return;
    }

    // 15 significant digits: d.dddddddddddddde+XX
    std::uint64_t digits = 0;
    int exp10 = 0;
    char buf[64];
    std::to_chars_result res{buf, {}};
    if (!FifteenDigits(mag, digits, exp10)) {
        res = std::to_chars(buf, buf + sizeof buf, mag, std::chars_format::scientific, 14);
        const char* p = buf;
        for (; p < res.ptr && *p != 'e'; ++p)
            if (*p >= '0' && *p <= '9')
                digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
        std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), res.ptr, exp10);
    }

    U256 m(static_cast<u128>(digits));
    int scale = 14 - exp10;
    if (scale < 0) {
        m = mulPow10(m, -scale);
        scale = 0;
        if (!m.fits96())
            throwOverflow();
    } else if (scale > MaxScale) {
        // Fewer than 15 digits fit in 28 places: round the exact binary value
        // to 28 places instead of rounding twice.
        res = std::to_chars(buf, buf + sizeof buf, mag, std::chars_format::fixed, MaxScale);
        u128 v = 0;
        for (const char* q = buf; q < res.ptr; ++q)
            if (*q >= '0' && *q <= '9')
                v = v * 10 + static_cast<u128>(*q - '0');
        m = U256(v);
        scale = MaxScale;
    }
    // Strip trailing zeros so that 0.1 is held as 1 / 10^1.
    u128 mant = m.low128();
    if (mant <= std::numeric_limits<std::uint64_t>::max()) {
        // in 64 bits, where a division by ten is a multiplication; eight,
        // four and two zeros at a time first (at most fifteen digits here)
        auto small = static_cast<std::uint64_t>(mant);
        const auto strip = [&](int k, std::uint64_t tenToK) { // constant divisors: multiplications
            if (scale >= k && small != 0 && small % tenToK == 0) {
                small /= tenToK;
                scale -= k;
            }
        };
        strip(8, 100000000);
        strip(4, 10000);
        strip(2, 100);
        while (scale > 0 && small != 0 && small % 10 == 0) {
            small /= 10;
            --scale;
        }
        mant = small;
    } else {
        while (scale > 0 && mant % 10 == 0) {
            mant /= 10;
            --scale;
        }
    }
    m_mant = mant;
    m_scale = static_cast<std::uint8_t>(scale);
    m_neg = neg && mant != 0;
}

Decimal Decimal::FromParts(Mantissa_t mantissa, int scale, bool negative) {
    if (scale < 0 || scale > MaxScale || !U256(mantissa).fits96())
        throw DaoError(InvalidCall, "Invalid procedure call or argument");
    Decimal d;
    d.m_mant = mantissa;
    d.m_scale = static_cast<std::uint8_t>(scale);
    d.m_neg = negative && mantissa != 0;
    return d;
}

Decimal Decimal::MaxValue() {
    return FromParts((static_cast<u128>(1) << 96) - 1, 0, false);
}

Decimal Decimal::Parse(std::string_view text) {
    auto mismatch = [] { return DaoError(err::TypeMismatch, "Type mismatch"); };
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool neg = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        neg = text[i++] == '-';

    U256 m;
    long exp10 = 0;
    bool anyDigit = false;
    bool tail = false; // a non-zero digit was dropped after the 60 kept ones
    bool seenPoint = false;
    const U256 limit = mulPow10(U256(u128{1}), 60);
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '.' && !seenPoint) {
            seenPoint = true;
            continue;
        }
        if (c < '0' || c > '9')
            break;
        anyDigit = true;
        if (m < limit) {
            m.mulSmall(10);
            m.add(U256(static_cast<u128>(c - '0')));
            if (seenPoint)
                --exp10;
        } else {
            // Far more digits than a result can hold: they only decide ties.
            if (c != '0')
                tail = true;
            if (!seenPoint)
                ++exp10;
        }
    }
    if (!anyDigit)
        throw mismatch();
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        long e = 0;
        auto r = std::from_chars(text.data() + i + (i < text.size() && text[i] == '+' ? 1 : 0),
                                 text.data() + text.size(), e);
        if (r.ec != std::errc())
            throw mismatch();
        i = static_cast<std::size_t>(r.ptr - text.data());
        exp10 += e;
    }
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (i != text.size())
        throw mismatch();

    if (m.isZero())
        return Decimal();
    int scale = 0;
    if (exp10 > 0) {
        if (exp10 > 40)
            throwOverflow();
        m = mulPow10(m, static_cast<int>(exp10));
    } else {
        if (-exp10 > 200)
            return Decimal(); // far below the smallest step of 10^-28
        scale = static_cast<int>(-exp10);
    }
    reduce(m, scale, tail);
    Decimal d;
    d.m_mant = m.low128();
    d.m_scale = static_cast<std::uint8_t>(scale);
    d.m_neg = neg && d.m_mant != 0;
    return d;
}

double Decimal::ToDouble() const {
    if (m_mant == 0)
        return 0.0;
    // A mantissa and a power of ten both exact as doubles: one correctly
    // rounded division is the nearest double.
    if (m_mant <= (static_cast<u128>(1) << 53) && m_scale <= kMaxExactPow10) {
        const double v = static_cast<double>(m_mant) / kExactPow10[m_scale];
        return m_neg ? -v : v;
    }
    // A mantissa of up to 64 bits in the 64-bit significand of a long
    // double, over a power of ten (exact there to 10^27): rounded once to 64
    // bits, then to 53. That second rounding errs only when the first landed
    // exactly halfway between two doubles, which is checked.
    if constexpr (std::numeric_limits<long double>::digits == 64) {
        static constexpr long double pow10L[] = {
            1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
            1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L, 1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};
        if (m_mant <= std::numeric_limits<std::uint64_t>::max() && m_scale <= 27) {
            const long double q = static_cast<long double>(static_cast<std::uint64_t>(m_mant)) / pow10L[m_scale];
            const double v = static_cast<double>(q);
            const long double back = v;
            bool sure = back == q;
            if (!sure) {
                const long double other = std::nextafter(v, q > back ? HUGE_VAL : -HUGE_VAL);
                sure = q != (back + other) / 2;
            }
            if (sure)
                return m_neg ? -v : v;
        }
        // Any other mantissa (a product or quotient of up to 28 digits, or
        // 28 places) lies between the 64-bit significands around it. Each
        // over the power of ten (10^28 as 10^27 and then 10), moved outwards
        // after each division by more than its rounding, bounds the
        // quotient: when both bounds round to one double, so does every
        // number between them.
        long double below = 0, above = 0;
        if (m_mant <= std::numeric_limits<std::uint64_t>::max()) {
            below = above = static_cast<long double>(static_cast<std::uint64_t>(m_mant));
        } else {
            const int shift = bitLength128(m_mant >> 64); // the bits above the 64 kept
            const auto top = static_cast<std::uint64_t>(m_mant >> shift);
            const bool whole = (static_cast<u128>(top) << shift) == m_mant;
            const auto twoToShift = static_cast<long double>(std::uint64_t{1} << shift); // shift <= 32
            below = static_cast<long double>(top) * twoToShift;
            above = whole ? below
                    : top == std::numeric_limits<std::uint64_t>::max()
                        ? 0x1p64L * twoToShift
                        : static_cast<long double>(top + 1) * twoToShift;
        }
        // A quotient rounded to nearest is within 2^-64 of itself (relative);
        // scaled by 1 -+ 2^-62 and rounded again it is still beyond the exact
        // one, on the side it was moved to.
        constexpr long double down = 1.0L - 0x1p-62L, up = 1.0L + 0x1p-62L;
        const long double p = pow10L[m_scale <= 27 ? m_scale : 27];
        below = below / p * down;
        above = above / p * up;
        if (m_scale > 27) {
            below = below / 10.0L * down;
            above = above / 10.0L * up;
        }
        const double low = static_cast<double>(below), high = static_cast<double>(above);
        if (low == high)
            return m_neg ? -low : low;
    }
    std::string s = u128ToString(m_mant);
    s += "e-";
    s += std::to_string(m_scale);
    double v = 0.0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return m_neg ? -v : v;
}

std::string Decimal::ToString() const {
    u128 mant = m_mant;
    int scale = m_scale;
    while (scale > 0 && mant % 10 == 0) {
        mant /= 10;
        --scale;
    }
    std::string digits = u128ToString(mant);
    std::string out = (m_neg && mant != 0) ? "-" : "";
    if (scale == 0)
        return out + digits;
    if (static_cast<int>(digits.size()) <= scale)
        digits.insert(0, static_cast<std::size_t>(scale) + 1 - digits.size(), '0');
    digits.insert(digits.size() - static_cast<std::size_t>(scale), 1, '.');
    return out + digits;
}

Decimal Decimal::Abs() const noexcept {
    Decimal d = *this;
    d.m_neg = false;
    return d;
}

Decimal Decimal::operator-() const noexcept {
    Decimal d = *this;
    d.m_neg = !m_neg && m_mant != 0;
    return d;
}

Decimal& Decimal::operator+=(const Decimal& other) {
    const int scale = m_scale > other.m_scale ? m_scale : other.m_scale;
    // The usual case: the mantissa brought to the larger scale still fits
    // 127 bits, and the result 96, so native arithmetic gives it exactly and
    // there is nothing to round.
    {
        const bool mineMoves = m_scale < scale;
        const int k = scale - (mineMoves ? m_scale : other.m_scale);
        const u128 moving = mineMoves ? m_mant : other.m_mant;
        if (k <= 19 && bitLength128(moving) + kPow10Bits[k] <= 127) {
            const u128 aligned = moving * kPow10U64[k];
            const u128 a = mineMoves ? aligned : m_mant;
            const u128 b = mineMoves ? other.m_mant : aligned;
            bool neg = m_neg;
            u128 r;
            if (m_neg == other.m_neg) {
                r = a + b;
            } else if (a >= b) {
                r = a - b;
            } else {
                r = b - a;
                neg = other.m_neg;
            }
            if (r < (static_cast<u128>(1) << 96)) {
                m_mant = r;
                m_scale = static_cast<std::uint8_t>(scale);
                m_neg = neg && r != 0;
                return *this;
            }
        }
    }
    U256 a = mulPow10(U256(m_mant), scale - m_scale);
    U256 b = mulPow10(U256(other.m_mant), scale - other.m_scale);
    bool neg = m_neg;
    if (m_neg == other.m_neg) {
        a.add(b);
    } else if (a >= b) {
        a.sub(b);
    } else {
        b.sub(a);
        a = b;
        neg = other.m_neg;
    }
    int s = scale;
    reduce(a, s);
    m_mant = a.low128();
    m_scale = static_cast<std::uint8_t>(s);
    m_neg = neg && m_mant != 0;
    return *this;
}

Decimal& Decimal::operator-=(const Decimal& other) { return *this += -other; }

Decimal& Decimal::operator*=(const Decimal& other) {
    int s = m_scale + other.m_scale;
    const bool neg = m_neg != other.m_neg;
    // A product of at most 96 bits and 28 places is exact as it stands.
    if (s <= MaxScale && bitLength128(m_mant) + bitLength128(other.m_mant) <= 96) {
        m_mant *= other.m_mant;
        m_scale = static_cast<std::uint8_t>(s);
        m_neg = neg && m_mant != 0;
        return *this;
    }
    U256 p = multiply(m_mant, other.m_mant);
    reduce(p, s);
    m_mant = p.low128();
    m_scale = static_cast<std::uint8_t>(s);
    m_neg = neg && m_mant != 0;
    return *this;
}

Decimal& Decimal::operator/=(const Decimal& other) {
    if (other.m_mant == 0)
        throw DaoError(DivisionByZero, "Division by zero");
    const bool neg = m_neg != other.m_neg;
    // value = (a / 10^sa) / (b / 10^sb) = (a * 10^sb) / (b * 10^sa)
    // Everything fits in native 128-bit arithmetic in the usual case; the
    // bit lengths tell most of those without the wide products.
    U256 n, d;
    u128 nn = 0, dd = 0;
    bool native = m_scale <= 19 && other.m_scale <= 19 &&
                  bitLength128(m_mant) + kPow10Bits[other.m_scale] <= 128 &&
                  bitLength128(other.m_mant) + kPow10Bits[m_scale] <= 124;
    if (native) {
        nn = m_mant * kPow10U64[other.m_scale];
        dd = other.m_mant * kPow10U64[m_scale];
    } else {
        n = mulPow10(U256(m_mant), other.m_scale);
        d = mulPow10(U256(other.m_mant), m_scale);
        native = n.fits128() && d.fits128() && d.low128() < (static_cast<u128>(1) << 124);
        nn = n.low128();
        dd = d.low128();
    }
    const u128 limit96 = static_cast<u128>(1) << 96;
    int scale = 0;
    U256 q;
    bool roundUp = false;
    if (native) {
        u128 qq = nn / dd;
        u128 rr = nn % dd;
        if (qq >= limit96)
            throwOverflow();
        while (rr != 0 && scale < MaxScale) {
            // Several digits at once where the remainder times 10^k and the
            // quotient followed by k digits both still fit: the same digits
            // as one at a time, and every shorter quotient fits too.
            const int k = digitsAtOnce(rr, qq, MaxScale - scale);
            if (k > 1) {
                const u128 p = kPow10U64[k];
                const u128 t = rr * p;
                qq = qq * p + t / dd;
                rr = t % dd;
                scale += k;
                // Digit by digit the division ends at the first remainder of
                // zero, whose digit is never 0: drop the zeros after it.
                for (int extra = k - 1; rr == 0 && extra > 0 && qq % 10 == 0; --extra) {
                    qq /= 10;
                    --scale;
                }
                continue;
            }
            const u128 r10 = rr * 10;
            const u128 q10 = qq * 10 + r10 / dd;
            if (q10 >= limit96)
                break;
            qq = q10;
            rr = r10 % dd;
            ++scale;
        }
        roundUp = rr != 0 && (2 * rr > dd || (2 * rr == dd && (qq & 1U) != 0));
        q = U256(qq);
    } else {
        U256 r;
        divMod(n, d, q, r);
        if (!q.fits96())
            throwOverflow();
        // Long division digit by digit while the quotient still fits.
        while (!r.isZero() && scale < MaxScale) {
            U256 r10 = r;
            r10.mulSmall(10);
            std::uint64_t digit = 0;
            while (r10 >= d) {
                r10.sub(d);
                ++digit;
            }
            U256 q10 = q;
            q10.mulSmall(10);
            q10.add(U256(static_cast<u128>(digit)));
            if (!q10.fits96())
                break;
            q = q10;
            r = r10;
            ++scale;
        }
        if (!r.isZero()) {
            U256 twice = r;
            twice.mulSmall(2);
            const auto c = twice <=> d;
            roundUp = c > 0 || (c == 0 && q.odd());
        }
    }
    if (roundUp) {
        q.addOne();
        if (!q.fits96()) {
            if (scale == 0)
                throwOverflow();
            // q was 2^96 - 1 rounded up to 2^96, whose last digit is 6
            q.divSmall(10);
            --scale;
            q.addOne();
        }
    }
    m_mant = q.low128();
    m_scale = static_cast<std::uint8_t>(scale);
    m_neg = neg && m_mant != 0;
    return *this;
}

bool operator==(const Decimal& a, const Decimal& b) noexcept { return (a <=> b) == 0; }

std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) noexcept {
    const bool an = a.m_neg && a.m_mant != 0;
    const bool bn = b.m_neg && b.m_mant != 0;
    if (a.m_mant == 0 && b.m_mant == 0)
        return std::strong_ordering::equal;
    if (an != bn)
        return an ? std::strong_ordering::less : std::strong_ordering::greater;
    const int scale = a.m_scale > b.m_scale ? a.m_scale : b.m_scale;
    const U256 x = mulPow10(U256(a.m_mant), scale - a.m_scale);
    const U256 y = mulPow10(U256(b.m_mant), scale - b.m_scale);
    auto c = x <=> y;
    if (an)
        return 0 <=> c;
    return c;
}

double DecAdd(double a, double b) { return (Decimal(a) + Decimal(b)).ToDouble(); }
double DecSub(double a, double b) { return (Decimal(a) - Decimal(b)).ToDouble(); }
double DecMul(double a, double b) { return (Decimal(a) * Decimal(b)).ToDouble(); }
double DecDiv(double a, double b) { return (Decimal(a) / Decimal(b)).ToDouble(); }

// |DecSub(a, b)| < bound, as the decimal difference decides it, without the
// decimal where it cannot decide otherwise. Each value rounded to fifteen
// digits moves by at most 5e-15 of itself, 28 places cut off less than 1e-28
// and the conversions back round by less than 1e-15 of the difference; so a
// double difference farther from the bound than all that falls on the same
// side. Values the decimal type cannot hold keep its error.
bool DecDiffBelow(double a, double b, double bound) {
    const double ma = std::fabs(a), mb = std::fabs(b);
    if (ma < 1e27 && mb < 1e27) {
        const double diff = std::fabs(a - b);
        const double margin = 1e-14 * (ma + mb) + 1e-15 * (diff + std::fabs(bound)) + 1e-27;
        if (diff < bound - margin)
            return true;
        if (diff > bound + margin)
            return false;
    }
    return std::fabs(DecSub(a, b)) < bound;
}

} // namespace dao
