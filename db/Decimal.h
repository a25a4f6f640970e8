#pragma once
// The scaled decimal type of the data-access layer: a 96-bit unsigned integer
// mantissa, a sign and a scale of 0 to 28 decimal places
// (value = mantissa / 10^scale). It is exact for sums and differences of up
// to 28-29 significant digits, which is why numerically sensitive differences
// (n*Sxx - Sx*Sx, distribution terms, elimination steps) are taken in it.
//
// Conversion from a double keeps 15 significant digits (0.1 becomes exactly
// 0.1, 1/3 becomes 0.333333333333333); conversion back gives the nearest
// double. When a result needs more than 96 bits of mantissa its scale is
// reduced with round-half-even; a result that does not fit at scale 0 throws
// DaoError 6 "Overflow". Division by zero throws DaoError 11.
#include <compare>
#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace dao {

class Decimal {
public:
    __extension__ typedef unsigned __int128 Mantissa_t;

    static constexpr int MaxScale = 28;

    Decimal() = default;                  // 0
    // Any integer, exactly.
    template <std::integral T>
    explicit Decimal(T value) {
        if constexpr (std::is_signed_v<T>)
            SetInteger(value < 0, value < 0 ? 0U - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value));
        else
            SetInteger(false, static_cast<std::uint64_t>(value));
    }
    // Rounded to 15 significant digits (half-even on the exact binary value),
    // then to at most 28 decimal places. Infinity, NaN and magnitudes of 2^96
    // and above throw Overflow.
    explicit Decimal(double value);

    // mantissa must be below 2^96 and scale within 0..28 (DaoError 5 otherwise).
    static Decimal FromParts(Mantissa_t mantissa, int scale, bool negative);
    // Plain decimal notation with an optional sign and an optional exponent
    // ("-12.5", "1e-3"); digits beyond what fits are rounded half-even.
    // Bad syntax throws DaoError 13 "Type mismatch", too large a value Overflow.
    static Decimal Parse(std::string_view text);
    static Decimal MaxValue();            // 79228162514264337593543950335

    double ToDouble() const;              // the correctly rounded nearest double
    std::string ToString() const;         // plain notation, no trailing zeros

    Mantissa_t Mantissa() const noexcept { return m_mant; }
    int Scale() const noexcept { return m_scale; }
    bool IsNegative() const noexcept { return m_neg; }
    bool IsZero() const noexcept { return m_mant == 0; }
    Decimal Abs() const noexcept;

    Decimal operator-() const noexcept;
    Decimal& operator+=(const Decimal& other);
    Decimal& operator-=(const Decimal& other);
    Decimal& operator*=(const Decimal& other);
    Decimal& operator/=(const Decimal& other);

    friend Decimal operator+(Decimal a, const Decimal& b) { return a += b; }
    friend Decimal operator-(Decimal a, const Decimal& b) { return a -= b; }
    friend Decimal operator*(Decimal a, const Decimal& b) { return a *= b; }
    friend Decimal operator/(Decimal a, const Decimal& b) { return a /= b; }

    // Compares values: 1.5 == 1.50, and zero has no sign.
    friend bool operator==(const Decimal& a, const Decimal& b) noexcept;
    friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) noexcept;

private:
    void SetInteger(bool negative, std::uint64_t magnitude) noexcept;

    Mantissa_t m_mant = 0;
    std::uint8_t m_scale = 0;
    bool m_neg = false;
};

// The powers of ten a double holds exactly, 10^0 to 10^22.
inline constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr int kMaxExactPow10 = 22;

// The fifteen significant digits of 1e-8 <= magnitude < 1e15, as the
// conversion from double takes them: magnitude rounded half-even (on its
// exact binary value) to digits * 10^(exp10 - 14), 10^14 <= digits < 10^15.
// False outside that range.
bool FifteenDigits(double magnitude, std::uint64_t& digits, int& exp10);

// "Convert both, operate in decimal, convert back": the pattern of every
// decimal step in the engine.
double DecAdd(double a, double b);
double DecSub(double a, double b);
double DecMul(double a, double b);
double DecDiv(double a, double b);
// |DecSub(a, b)| < bound, the test of convergence of the decimal steps,
// taken in double where the decimal difference cannot decide otherwise.
bool DecDiffBelow(double a, double b, double bound);

} // namespace dao
