// The engine's probability operations: the letter rule, the messages and the
// "Z" two-tailed turn, against closed forms and published table values.
#include "engine/ProbabilityFront.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

using ProbabilityFront::Probability;
using ProbabilityFront::ProbInverse;

namespace {

struct Shown { std::string text, title; };

class RecordingSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text, const std::string& title) override { shown.push_back({text, title}); }
    void Beep() override { ++beeps; }
    std::vector<Shown> shown;
    int beeps = 0;
};

double twoTailedNormal(double x) { return std::erfc(std::fabs(x) / std::sqrt(2.0)); }

const std::string kInverseError = "Inverse Probability Calculation Syntax Error\r\n\r\n";

} // namespace

TEST(ProbabilityFront, ProbabilityByLetter) {
    struct Case { const char* type; double value, df1, df2, expected, rel; };
    const double f = 4.102821;
    const Case cases[] = {
        {"Z", 1.96, 0, 0, twoTailedNormal(1.96), 1e-11},
        {"z", 1.0, 0, 0, twoTailedNormal(1.0), 1e-11},
        {"Zed", 2.5, 0, 0, twoTailedNormal(2.5), 1e-11},
        {"T", 2.22813885198627, 10, 0, 0.05, 1e-8},
        {"t", 12.7062047361747, 1, 0, 0.05, 1e-8},
        {"C", 11.0704976935164, 5, 0, 0.05, 1e-6},
        {"chi", 3.84145882069413, 1, 0, 0.05, 1e-6}, // only the first letter counts
        {"F", f, 2, 10, std::pow(1 + 2 * f / 10, -5.0), 1e-8},
        {"f", 161.447638797588, 1, 1, 0.05, 1e-8},
    };
    RecordingSink sink;
    for (const auto& c : cases)
        EXPECT_NEAR(Probability(c.type, c.value, c.df1, c.df2, &sink), c.expected, c.expected * c.rel) << c.type;
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_EQ(sink.beeps, 0);
    // published: P(|Z| > 1.96) = 0.0499958
    EXPECT_NEAR(Probability("Z", 1.96, 0, 0, &sink), 0.0499958, 5e-8);
}

TEST(ProbabilityFront, NegativeZGaveProbabilityOne) {
    RecordingSink sink;
    EXPECT_NEAR(Probability("Z", -1.96, 0, 0, &sink), twoTailedNormal(1.96), 1e-13);
    EXPECT_NEAR(Probability("Z", -0.5, 0, 0, &sink), twoTailedNormal(0.5), 1e-13);
    EXPECT_TRUE(sink.shown.empty());
}

TEST(ProbabilityFront, ProbabilityRejectsOtherLetters) {
    RecordingSink sink;
    EXPECT_EQ(Probability("Normal", 1.0, 0, 0, &sink), 0.0);
    ASSERT_EQ(sink.shown.size(), 1U);
    EXPECT_EQ(sink.shown[0].text, "Probability Calculation Syntax Error\r\n\r\nProbability type: Normal not expected");
    EXPECT_EQ(sink.shown[0].title, "Pelloran");
    EXPECT_EQ(sink.beeps, 1);

    // no sink: nothing shown, still 0
    EXPECT_EQ(Probability("Q", 1.0, 0, 0, nullptr), 0.0);
}

TEST(ProbabilityFront, EmptyTypePassesTheLetterTestAndGivesZero) {
    RecordingSink sink;
    EXPECT_EQ(Probability("", 1.0, 3, 3, &sink), 0.0);
    EXPECT_EQ(ProbInverse("", 0.5, 3, 3, &sink), 0.0);
    EXPECT_TRUE(sink.shown.empty());
}

TEST(ProbabilityFront, InverseByLetter) {
    struct Case { const char* type; double p, df1, df2, expected, rel; };
    const Case cases[] = {
        {"Z", 0.05, 0, 0, 1.95996398454005, 1e-10},
        {"z", 0.01, 0, 0, 2.5758293035489, 1e-10},
        {"T", 0.05, 10, 0, 2.22813885198627, 1e-8},
        {"t", 0.05, 1, 0, std::tan(std::numbers::pi / 2 * 0.95), 1e-8},
        {"C", 0.05, 5, 0, 11.0704976935164, 1e-6},
        {"Chi-square", 0.05, 1, 0, 3.84145882069413, 1e-6},
        {"F", 0.05, 2, 10, 5 * (std::pow(0.05, -0.2) - 1), 1e-8},
    };
    RecordingSink sink;
    for (const auto& c : cases)
        EXPECT_NEAR(ProbInverse(c.type, c.p, c.df1, c.df2, &sink), c.expected, c.expected * c.rel) << c.type;
    EXPECT_TRUE(sink.shown.empty());
}

TEST(ProbabilityFront, InverseUndoesProbability) {
    struct Case { const char* type; double p, df1, df2; };
    const Case cases[] = {{"Z", 0.2, 0, 0}, {"T", 0.1, 7, 0}, {"C", 0.3, 12, 0}, {"F", 0.025, 4, 9}};
    for (const auto& c : cases) {
        const double x = ProbInverse(c.type, c.p, c.df1, c.df2, nullptr);
        EXPECT_NEAR(Probability(c.type, x, c.df1, c.df2, nullptr), c.p, 1e-9) << c.type;
    }
}

// The probability calculator's inverse far out in the tails: chi-square at
// 1e-8 with 120 degrees of freedom took seconds, F with few degrees of
// freedom gave up with 0. Probability undoes ProbInverse to a millionth of
// p (the gamma routines are good to 3e-7), "Z" as far as its area is below
// 1 (its series stops at 6.3).
TEST(ProbabilityFront, InverseUndoesProbabilityFarInTheTails) {
    struct Case { const char* type; double df1, df2; };
    const Case cases[] = {{"Z", 0, 0},   {"T", 1, 0},    {"T", 4, 0},      {"T", 120, 0},     {"C", 1, 0},
                          {"C", 120, 0}, {"C", 5000, 0}, {"F", 1, 1},      {"F", 3, 2},       {"F", 120, 120},
                          {"F", 2, 1000}, {"F", 1000, 5}};
    const double ps[] = {0.5, 0.05, 1e-4, 1e-8, 1e-12};
    for (const auto& c : cases) {
        for (double p : ps) {
            if (c.type[0] == 'Z' && p < 1e-8)
                continue;
            const double x = ProbInverse(c.type, p, c.df1, c.df2, nullptr);
            SCOPED_TRACE(::testing::Message() << c.type << " df " << c.df1 << "," << c.df2 << " p " << p);
            EXPECT_GT(x, 0.0);
            EXPECT_NEAR(Probability(c.type, x, c.df1, c.df2, nullptr), p, p * 1e-6) << " x " << x;
        }
    }
}

TEST(ProbabilityFront, InverseRejectsOtherLetters) {
    RecordingSink sink;
    EXPECT_EQ(ProbInverse("Q", 0.05, 1, 1, &sink), 0.0);
    EXPECT_EQ(ProbInverse("q-type", 7.0, 1, 1, &sink), 0.0); // the letter is checked first
    ASSERT_EQ(sink.shown.size(), 2U);
    EXPECT_EQ(sink.shown[0].text, kInverseError + "Probability type: Q not expected.");
    EXPECT_EQ(sink.shown[1].text, kInverseError + "Probability type: q-type not expected.");
    EXPECT_EQ(sink.shown[0].title, "Pelloran");
    EXPECT_EQ(sink.beeps, 0);
}

TEST(ProbabilityFront, InverseRejectsProbabilitiesOutsideZeroOne) {
    const double bad[] = {1.0, 0.0, -0.5, 1.5, std::numeric_limits<double>::quiet_NaN()};
    for (double p : bad) {
        RecordingSink sink;
        EXPECT_EQ(ProbInverse("T", p, 10, 0, &sink), 0.0) << p;
        ASSERT_EQ(sink.shown.size(), 1U) << p;
        EXPECT_EQ(sink.shown[0].text, kInverseError + "Probability value must greater than 0 and less than 1.");
        EXPECT_EQ(sink.shown[0].title, "Pelloran");
    }
}

TEST(ProbabilityFront, InverseFWithoutDegreesOfFreedomEndsWithZero) {
    RecordingSink sink;
    EXPECT_EQ(ProbInverse("F", 0.05, 0, 10, &sink), 0.0);
    EXPECT_EQ(ProbInverse("F", 0.05, 3, -1, &sink), 0.0);
    EXPECT_TRUE(sink.shown.empty());
}
