// The scaled decimal type. Expected values are written out by hand from exact
// decimal arithmetic; doubles on the expected side are compiler literals,
// which are the correctly rounded nearest doubles.
#include "DaoTestTables.h"
#include "db/DaoError.h"
#include "db/Decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

using dao::DaoError;
using dao::Decimal;

namespace {

Decimal D(const char* text) { return Decimal::Parse(text); }

using daotest::ErrorNumberOf;

} // namespace

struct FromDoubleCase {
    double value;
    const char* text;
};

TEST(Decimal, FromDoubleKeepsFifteenSignificantDigits) {
    const FromDoubleCase cases[] = {
        {0.1, "0.1"},
        {0.2, "0.2"},
        {1000000.1, "1000000.1"},
        {1.0 / 3.0, "0.333333333333333"},
        {2.0 / 3.0, "0.666666666666667"},
        {-2.5, "-2.5"},
        {1e15, "1000000000000000"},
        {123456789012345678.0, "123456789012346000"},
        {0.1 + 0.2, "0.3"},                         // 0.30000000000000004 as a double
        {1000000.1 - 1000000.0, "0.0999999999767169"}, // 0.09999999997671694 as a double
        {1e-28, "0.0000000000000000000000000001"},
        {6e-29, "0.0000000000000000000000000001"},
        {4e-29, "0"},
        {1.23456789012345e-20, "0.0000000000000000000123456789"},
        {7.92281625142643e28, "79228162514264300000000000000"},
        {-7.92281625142643e28, "-79228162514264300000000000000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Decimal(c.value).ToString(), c.text) << c.value;
}

TEST(Decimal, FromDoubleRoundsExactTiesToEven) {
    // Both are exact doubles with sixteen digits; the sixteenth is a 5.
    EXPECT_EQ(Decimal(1000000000000005.0).ToString(), "1000000000000000");
    EXPECT_EQ(Decimal(1000000000000015.0).ToString(), "1000000000000020");
    EXPECT_EQ(Decimal(1000000000000025.0).ToString(), "1000000000000020");
}

TEST(Decimal, FromDoubleHoldsTheShortestMantissa) {
    Decimal d(0.1);
    EXPECT_EQ(static_cast<std::uint64_t>(d.Mantissa()), 1U);
    EXPECT_EQ(d.Scale(), 1);
    Decimal e(1e15);
    EXPECT_EQ(static_cast<std::uint64_t>(e.Mantissa()), 1000000000000000U);
    EXPECT_EQ(e.Scale(), 0);
}

TEST(Decimal, FromDoubleOverflow) {
    const double cases[] = {7.92281625142644e28, 1e29, -1e29, 1e300,
                            std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN()};
    for (double v : cases)
        EXPECT_EQ(ErrorNumberOf([&] { (void)Decimal(v); }), dao::err::Overflow) << v;
}

TEST(Decimal, ConversionBackIsTheNearestDouble) {
    struct Case {
        const char* text;
        double expected;
    };
    const Case cases[] = {
        {"0.1", 0.1},
        {"0.3", 0.3},
        {"-1000000.1", -1000000.1},
        {"9007199254740993", 9007199254740992.0},  // tie: even neighbour 2^53
        {"9007199254740995", 9007199254740996.0},  // tie: even neighbour above
        {"9007199254740993.000000000001", 9007199254740994.0}, // just above the tie
        {"79228162514264337593543950335", 79228162514264337593543950336.0}, // 2^96
        {"0.0000000000000000000000000001", 1e-28},
        {"0.333333333333333", 0.333333333333333},
    };
    for (const auto& c : cases)
        EXPECT_EQ(D(c.text).ToDouble(), c.expected) << c.text;
}

// Conversions both ways against the C library's correctly rounded
// formatting, over many values of every size the engine meets: fifteen
// digits of a double as "%.14e" writes them. Ties are made on purpose: whole
// numbers of fifteen digits plus a half.
TEST(Decimal, ConversionsAgreeWithTheLibrarysFormattingAndParsing) {
    std::mt19937_64 gen(20261209);
    std::uniform_real_distribution<double> unit(1.0, 10.0);
    std::uniform_int_distribution<int> power(-12, 18);
    auto fromText = [](double v) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.14e", v);
        return Decimal::Parse(buf).ToString();
    };
    std::vector<double> values;
    for (int i = 0; i < 100000; ++i)
        values.push_back(unit(gen) * std::pow(10.0, power(gen)) * (i % 2 ? -1.0 : 1.0));
    for (double whole = 100000000000000.0; whole < 100000000000100.0; whole += 1.0)
        values.push_back(whole + 0.5); // a tie at the fifteenth digit
    // Whole numbers of one to fifteen digits, and the first beyond them.
    for (double whole = 1.0; whole < 1e16; whole = whole * 7.0 + 3.0) {
        values.push_back(whole);
        values.push_back(-whole);
    }
    for (double whole : {1.0, 9.0, 10.0, 100.0, 999999999999999.0, 1e15, 1e15 + 2.0})
        values.push_back(whole);
    for (int k = -8; k <= 16; ++k) {
        const double p = std::pow(10.0, k); // around a change of the first digit's power
        values.push_back(p);
        values.push_back(std::nextafter(p, 0.0));
        values.push_back(std::nextafter(p, 1e300));
        values.push_back(p * 0.999999999999999);
        values.push_back(p * 0.9999999999999995);
    }
    for (double v : values)
        ASSERT_EQ(Decimal(v).ToString(), fromText(v)) << v;
}

// And back: the nearest double to a decimal as strtod reads it, for
// mantissas of every width up to 96 bits (as products and quotients of the
// decimal type leave them) at every scale up to 28. Ties are made on
// purpose: whole numbers halfway between two doubles, and one unit either
// side, over powers of ten, and multiplied by them where that keeps them
// ties (whole numbers of tenths, hundredths and so on).
TEST(Decimal, ConversionBackAgreesWithTheLibraryForEveryWidth) {
    using U = Decimal::Mantissa_t;
    auto nearest = [](const Decimal& d) { return std::strtod(d.ToString().c_str(), nullptr); };
    std::mt19937_64 gen(961209);
    std::uniform_int_distribution<std::uint64_t> word;
    std::uniform_int_distribution<int> scale(0, 28);
    const struct {
        int fewest, most, count;
    } widths[] = {{1, 64, 100000}, {65, 96, 200000}};
    for (const auto& w : widths) {
        std::uniform_int_distribution<int> bits(w.fewest, w.most);
        for (int i = 0; i < w.count; ++i) {
            const int b = bits(gen);
            const U low = b >= 64 ? word(gen) : word(gen) >> (64 - b);
            const U m = b > 64 ? (static_cast<U>(word(gen) >> (128 - b)) << 64 | low) | (static_cast<U>(1) << (b - 1))
                               : low;
            const Decimal d = Decimal::FromParts(m, scale(gen), i % 2 == 1);
            ASSERT_EQ(d.ToDouble(), nearest(d)) << d.ToString();
        }
    }
    const U most = (static_cast<U>(1) << 96) - 1;
    for (int e : {53, 57, 63, 64, 67, 70, 73, 76, 79, 82, 85, 88, 91, 94})
        for (std::uint64_t k = 0; k < 64; ++k) {
            // 2^e + (2k + 1)·2^(e - 53): halfway between two doubles of 53 bits.
            const U tie = (static_cast<U>(1) << e) + ((static_cast<U>(2 * k + 1)) << (e - 53));
            for (int off : {-1, 0, 1}) {
                const U m = tie + static_cast<U>(static_cast<std::int64_t>(off));
                for (int s : {0, 3, 19}) {
                    const Decimal d = Decimal::FromParts(m, s, false);
                    ASSERT_EQ(d.ToDouble(), nearest(d)) << d.ToString();
                }
                U scaled = m;
                for (int s = 1; s <= 5 && scaled <= most / 10; ++s) {
                    scaled *= 10;
                    const Decimal d = Decimal::FromParts(scaled, s, false);
                    ASSERT_EQ(d.ToDouble(), nearest(d)) << d.ToString();
                }
            }
        }
}

// Division against its definition, worked out digit by digit: the exact
// quotient to as many places (at most 28) as keep the mantissa below 2^96,
// then rounded half-even. Mantissas of every length, so that the quotient's
// digits come one at a time near 2^96 and many at once far below it.
TEST(Decimal, DivisionGivesTheDigitsOfLongDivisionRoundedHalfEven) {
    using u128 = Decimal::Mantissa_t;
    const u128 limit96 = static_cast<u128>(1) << 96;
    auto pow10 = [](int k) {
        u128 p = 1;
        while (k-- > 0) p *= 10;
        return p;
    };
    std::mt19937_64 gen(96);
    std::uniform_int_distribution<std::uint64_t> mantissa;
    std::uniform_int_distribution<int> bits(1, 64), scale(0, 28);
    int checked = 0;
    for (int i = 0; i < 200000; ++i) {
        const int ab = bits(gen), bb = bits(gen), as = scale(gen), bs = scale(gen);
        const std::uint64_t am = ab == 64 ? mantissa(gen) : mantissa(gen) >> (64 - ab);
        const std::uint64_t bm = (bb == 64 ? mantissa(gen) : mantissa(gen) >> (64 - bb)) | 1U;
        // n / d = (am / 10^as) / (bm / 10^bs), where both fit in 128 bits.
        if (64 + 3.33 * bs >= 127 || 64 + 3.33 * as >= 123) continue;
        const u128 n = static_cast<u128>(am) * pow10(bs), d = static_cast<u128>(bm) * pow10(as);
        u128 q = n / d, r = n % d;
        if (q >= limit96) continue;
        int places = 0;
        while (r != 0 && places < 28) {
            const u128 next = q * 10 + r * 10 / d;
            if (next >= limit96) break;
            q = next;
            r = r * 10 % d;
            ++places;
        }
        if (r != 0 && (2 * r > d || (2 * r == d && (q & 1U) != 0))) ++q;
        if (q >= limit96) continue; // rounded up to 2^96: another digit dropped
        const Decimal got = Decimal::FromParts(am, as, false) / Decimal::FromParts(bm, bs, i % 2 == 1);
        const Decimal want = Decimal::FromParts(q, places, i % 2 == 1);
        ASSERT_TRUE(got.Mantissa() == want.Mantissa() && got.Scale() == want.Scale() &&
                    got.IsNegative() == want.IsNegative())
            << am << "e-" << as << " / " << bm << "e-" << bs << ": " << got.ToString() << " for "
            << want.ToString() << " (scales " << got.Scale() << ", " << want.Scale() << ")";
        ++checked;
    }
    EXPECT_GT(checked, 50000);
}

TEST(Decimal, ConvenienceOperationsRoundTripThroughDecimal) {
    EXPECT_EQ(dao::DecAdd(0.1, 0.2), 0.3);
    EXPECT_EQ(dao::DecSub(0.3, 0.1), 0.2);
    EXPECT_EQ(dao::DecSub(1000000.1, 1000000.0), 0.1);
    EXPECT_EQ(dao::DecSub(1.0, 0.9), 0.1);
    EXPECT_EQ(dao::DecMul(0.1, 3.0), 0.3);
    EXPECT_EQ(dao::DecDiv(1.0, 4.0), 0.25);
    EXPECT_EQ(dao::DecDiv(1.0, 3.0), 0.3333333333333333); // 28 threes, nearest double
}

TEST(Decimal, ParseAndToString) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"12.50", "12.5"},     {"-0.000", "0"},     {"1e3", "1000"},
        {"  7 ", "7"},         {"+0.25", "0.25"},   {"2.5E-3", "0.0025"},
        {"-.5", "-0.5"},       {"1.", "1"},
        {"0.00000000000000000000000000005", "0"}, // half of the last step: even
        {"0.00000000000000000000000000015", "0.0000000000000000000000000002"},
        {"0.000000000000000000000000000050000000000000000000000000000000000000001",
         "0.0000000000000000000000000001"},
        {"79228162514264337593543950335", "79228162514264337593543950335"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(D(c.in).ToString(), c.out) << c.in;

    const char* bad[] = {"", "abc", "1.2.3", "1e", "--1", "1 2"};
    for (const char* b : bad)
        EXPECT_EQ(ErrorNumberOf([&] { (void)D(b); }), dao::err::TypeMismatch) << b;
    EXPECT_EQ(ErrorNumberOf([] { (void)D("79228162514264337593543950336"); }), dao::err::Overflow);
}

TEST(Decimal, IntegerConstruction) {
    EXPECT_EQ(Decimal(std::numeric_limits<std::int64_t>::min()).ToString(), "-9223372036854775808");
    EXPECT_EQ(Decimal(std::numeric_limits<std::int64_t>::max()).ToString(), "9223372036854775807");
    EXPECT_EQ(Decimal(-3).ToString(), "-3");
    EXPECT_EQ(Decimal(-7LL).ToString(), "-7");
    EXPECT_EQ(Decimal(std::numeric_limits<std::uint64_t>::max()).ToString(), "18446744073709551615");
    EXPECT_EQ(Decimal(short{-12}).ToString(), "-12");
}

struct BinaryCase {
    const char* a;
    char op;
    const char* b;
    const char* result;
};

TEST(Decimal, ArithmeticIsExactOrRoundedHalfEven) {
    const BinaryCase cases[] = {
        // exact within 28-29 digits
        {"0.1", '+', "0.2", "0.3"},
        {"1000000.1", '-', "1000000", "0.1"},
        {"0.0000000000000000000000000001", '+', "1", "1.0000000000000000000000000001"},
        {"79228162514264337593543950334", '+', "1", "79228162514264337593543950335"},
        {"-5", '+', "3", "-2"},
        {"3", '-', "5", "-2"},
        {"-3", '-', "-5", "2"},
        // too many digits for 96 bits: scale reduced, half-even
        {"8000000000000000000000000000", '+', "0.5", "8000000000000000000000000000"},
        {"8000000000000000000000000001", '+', "0.5", "8000000000000000000000000002"},
        {"8000000000000000000000000000", '+', "0.51", "8000000000000000000000000001"},
        {"8000000000000000000000000002", '-', "0.5", "8000000000000000000000000002"},
        {"1000000000000000000000000000", '+', "0.05", "1000000000000000000000000000"},
        {"1000000000000000000000000000", '+', "0.15", "1000000000000000000000000000.2"},
        {"79228162514264337593543950335", '+', "0.4", "79228162514264337593543950335"},
        // aligned to 126 bits, past 96 once added: rounded at scale 0
        {"79228162514264337593543950335", '-', "0.000000001", "79228162514264337593543950335"},
        {"79228162514264337593543950334", '+', "0.999999999", "79228162514264337593543950335"},
        {"34028236692093846346337460744", '+', "0.0000000001", "34028236692093846346337460744"}, // 2^128 aligned
        // products
        {"1.5", '*', "1.5", "2.25"},
        {"-0.1", '*', "0.1", "-0.01"},
        {"0.0000000000000000000000000003", '*', "0.5", "0.0000000000000000000000000002"},
        {"0.0000000000000000000000000001", '*', "0.5", "0"},
        {"0.0000000000000000000000000001", '*', "0.51", "0.0000000000000000000000000001"},
        {"0.00000000000001", '*', "0.00000000000001", "0.0000000000000000000000000001"},
        {"3.9614081257132168796771975168", '*', "2", "7.922816251426433759354395034"}, // 2^96 / 10^28
        // (2^48 - 1)^2 = 2^96 - 2^49 + 1 fits; (2^48 - 1)(2^48 + 1) = 2^96 - 1 needs 97 bits of operands
        {"2814749767.10655", '*', "28147497671.0655", "79228162514263774643.590529025"},
        {"281474976710655", '*', "281474976710657", "79228162514264337593543950335"},
        {"2814749767106.57", '*', "2814749767106.57", "7922816251426490054349737.165"}, // (2^48 + 1)^2
        {"5629499534213.11", '*', "2814749767106.55", "15845632502852783076215776.87"}, // 49 + 48 bits, product 97
        {"0.000000000000001", '*', "0.00000000000001", "0"}, // 29 places
        {"0.000000000000006", '*', "0.00000000000001", "0.0000000000000000000000000001"},
        // quotients
        {"1", '/', "3", "0.3333333333333333333333333333"},
        {"2", '/', "3", "0.6666666666666666666666666667"},
        {"10", '/', "4", "2.5"},
        {"-1", '/', "8", "-0.125"},
        {"79228162514264337593543950335", '/', "10", "7922816251426433759354395033.5"},
        {"0.0000000000000000000000000001", '/', "2", "0"},
        {"0.0000000000000000000000000003", '/', "2", "0.0000000000000000000000000002"},
        {"1", '/', "0.0000000000000000000000000001", "10000000000000000000000000000"},
        // operands scaled beyond 128 bits
        {"1.000000000000000000000000000", '/', "7.9228162514264337593543950335",
         "0.1262177448353618888658765704"},
        {"79228162514264337593543950335", '/', "7.9228162514264337593543950335",
         "10000000000000000000000000000"},
    };
    for (const auto& c : cases) {
        Decimal a = D(c.a), b = D(c.b), r;
        switch (c.op) {
        case '+': r = a + b; break;
        case '-': r = a - b; break;
        case '*': r = a * b; break;
        default: r = a / b; break;
        }
        EXPECT_EQ(r.ToString(), c.result) << c.a << ' ' << c.op << ' ' << c.b;
    }
}

TEST(Decimal, OverflowAndDivisionByZero) {
    const Decimal max = Decimal::MaxValue();
    EXPECT_EQ(max.ToString(), "79228162514264337593543950335");
    EXPECT_EQ(ErrorNumberOf([&] { (void)(max + D("1")); }), dao::err::Overflow);
    EXPECT_EQ(ErrorNumberOf([&] { (void)(max + D("0.5")); }), dao::err::Overflow); // ties up to 2^96
    EXPECT_EQ(ErrorNumberOf([&] { (void)(-max - D("1")); }), dao::err::Overflow);
    EXPECT_EQ(ErrorNumberOf([&] { (void)(max * D("1.1")); }), dao::err::Overflow);
    EXPECT_EQ(ErrorNumberOf([&] { (void)(max / D("0.5")); }), dao::err::Overflow);
    EXPECT_EQ(ErrorNumberOf([&] { (void)(D("1") / Decimal()); }), 11);
    EXPECT_EQ(ErrorNumberOf([] { (void)dao::DecDiv(1.0, 0.0); }), 11);
    EXPECT_EQ(ErrorNumberOf([] { (void)dao::DecAdd(5e28, 5e28); }), dao::err::Overflow);
}

TEST(Decimal, NegativeZero) {
    Decimal z(-0.0);
    EXPECT_FALSE(z.IsNegative());
    EXPECT_TRUE(z.IsZero());
    EXPECT_FALSE(std::signbit(z.ToDouble()));
    Decimal diff = D("-0.5") + D("0.5");
    EXPECT_FALSE(diff.IsNegative());
    EXPECT_EQ(diff.ToString(), "0");
    EXPECT_FALSE((-Decimal()).IsNegative());
    EXPECT_EQ(D("-0"), Decimal());
    EXPECT_FALSE((D("-0.0000000000000000000000000001") * D("0.1")).IsNegative());
    EXPECT_FALSE(std::signbit(dao::DecSub(0.1, 0.1)));
}

TEST(Decimal, Comparison) {
    EXPECT_EQ(D("1.5"), D("1.50"));
    EXPECT_LT(D("-1"), D("0.5"));
    EXPECT_LT(D("-2"), D("-1"));
    EXPECT_GT(D("-0.1"), D("-0.10000000000000000000000001"));
    EXPECT_LT(D("0.1"), D("0.10000000000000000000000001"));
    EXPECT_LT(D("79228162514264337593543950334"), Decimal::MaxValue());
    EXPECT_EQ(D("-3").Abs(), D("3"));
    EXPECT_NE(D("0.3"), Decimal(0.1 + 0.2 + 1e-15));
}

// The convergence test of the decimal steps takes its difference in double
// where that cannot decide otherwise than the decimal one. Near the bound the
// two differ: a difference just below it in double can be the bound itself
// in fifteen digits, and one just above it can be below in decimal.
TEST(Decimal, ConvergenceTestDecidesAsTheDecimalDifference) {
    struct Case {
        double a, b, bound;
        bool below;
    };
    const Case cases[] = {
        {0.1000000000099999, 0.1, 1e-11, false},                 // double: below
        {2.5000000002499965, 2.5, 2.5e-10, false},               // double: below
        {0.12290127490640511, 0.12290127489411473, 1.2290127489411474e-11, true}, // double: above
        {0.853820178181698, 0.8538201780963156, 8.538201780963156e-11, true},    // double: above
        {0.5, 0.25, 0.3, true},
        {0.5, 0.25, 0.2, false},
        {-3.0, 3.0, 6.0, false},
        {1e-30, 2e-30, 1e-40, true}, // both 0 in 28 places; in double 1e-30 apart
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::fabs(dao::DecSub(c.a, c.b)) < c.bound, c.below) << c.a << " " << c.b; // the cases hold
        EXPECT_EQ(dao::DecDiffBelow(c.a, c.b, c.bound), c.below) << c.a << " " << c.b;
    }
    // Values the decimal type cannot hold fail as the decimal difference does.
    EXPECT_EQ(ErrorNumberOf([] { (void)dao::DecDiffBelow(1e29, 1.0, 1.0); }), dao::err::Overflow);
    EXPECT_EQ(ErrorNumberOf([] { (void)dao::DecDiffBelow(std::nan(""), 1.0, 1.0); }), dao::err::Overflow);
    // Differences around a tenth of a billionth, as the continued fractions
    // stop, at every magnitude, against the decimal difference itself.
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 200000; ++i) {
        const double a = (unit(rng) + 0.01) * std::pow(10.0, static_cast<int>(unit(rng) * 40) - 20);
        const double bound = a * 1e-10;
        const double b = a + bound * (1.0 + (unit(rng) - 0.5) * (i % 2 == 0 ? 1e-4 : 1e-2));
        ASSERT_EQ(dao::DecDiffBelow(a, b, bound), std::fabs(dao::DecSub(a, b)) < bound) << a << " " << b;
    }
}

