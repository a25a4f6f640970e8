// "Two Sample t-Test", "ANOVA" and "Two way ANOVA" scenarios through the
// engine. Expected values by routes of their own: sums of squares by two
// passes over the data in long double, on the data without the large base
// the table adds to them (so that data far from zero are checked against
// exact sums);
// adjusted main effects by least squares on dummy variables; probabilities
// by closed forms or by integrating the t density.
#include "AnalysisFixture.h"

#include <bit>
#include <cmath>
#include <limits>
#include <map>

using namespace dao;
using namespace atest;

namespace {

const double kNone = std::nan("");

struct Rec {
    std::string g, a; // group field, first compare field ("" is Null)
    int b = 0;         // second compare field
    double y = 0, w = 1;
    double base = 0;   // the table holds base + y; the expected values come from y
};

// P(|T| >= t), Student's t with df (need not be whole): Simpson's rule on the density.
double tTwoTail(double t, double df) {
    t = std::fabs(t);
    const double c = std::exp(std::lgamma((df + 1) / 2) - std::lgamma(df / 2)) / std::sqrt(df * M_PI);
    auto f = [&](double u) { return c * std::pow(1 + u * u / df, -(df + 1) / 2); };
    const int n = 20000;
    double s = f(0) + f(t);
    for (int i = 1; i < n; ++i) s += f(i * t / n) * (i % 2 ? 4 : 2);
    return 1 - 2 * s * (t / n) / 3;
}

// Upper tail of F where a closed form is at hand: numerator DF 1 (through t) or 2.
double fTail(double F, double df1, double df2) {
    if (df1 == 1) return tTwoTail(std::sqrt(F), df2);
    if (df1 == 2) return std::pow(1 + 2 * F / df2, -df2 / 2);
    return kNone;
}

struct Sums {
    long double n = 0, mean = 0, ss = 0; // weight, mean, Σw(y − mean)²
};
Sums sums(const std::vector<Rec>& rs) {
    Sums s;
    long double t = 0;
    for (const auto& r : rs) s.n += r.w, t += r.w * r.y;
    s.mean = t / s.n;
    for (const auto& r : rs) s.ss += r.w * (r.y - s.mean) * (r.y - s.mean);
    return s;
}

using Key = std::pair<std::string, int>;
std::map<Key, std::vector<Rec>> split(const std::vector<Rec>& rs, int by) { // 1: a, 2: b, 3: both
    std::map<Key, std::vector<Rec>> m;
    for (const auto& r : rs) m[{by & 1 ? r.a : "", by & 2 ? r.b : 0}].push_back(r);
    return m;
}
long double between(const std::vector<Rec>& rs, int by) {
    const long double m = sums(rs).mean;
    long double s = 0;
    for (const auto& [k, g] : split(rs, by)) {
        Sums gs = sums(g);
        s += gs.n * (gs.mean - m) * (gs.mean - m);
    }
    return s;
}

// Residual of y = μ + α(a) + β(b) by weighted least squares on dummy variables.
long double additiveRss(const std::vector<Rec>& rs) {
    std::map<std::string, int> as;
    std::map<int, int> bs;
    for (const auto& r : rs) as[r.a], bs[r.b];
    int p = 1;
    for (auto it = std::next(as.begin()); it != as.end(); ++it) it->second = p++;
    for (auto it = std::next(bs.begin()); it != bs.end(); ++it) it->second = p++;
    auto row = [&](const Rec& r) {
        std::vector<long double> x(p, 0);
        x[0] = 1, x[as[r.a]] = 1, x[bs[r.b]] = 1;
        return x;
    };
    std::vector<std::vector<long double>> M(p, std::vector<long double>(p + 1, 0));
    for (const auto& r : rs) {
        auto x = row(r);
        for (int i = 0; i < p; ++i) {
            for (int j = 0; j < p; ++j) M[i][j] += r.w * x[i] * x[j];
            M[i][p] += r.w * x[i] * r.y;
        }
    }
    for (int c = 0; c < p; ++c) // Gauss-Jordan with partial pivoting
        for (int i = 0, piv = c; i < p; ++i) {
            if (i == 0) {
                for (int k = c + 1; k < p; ++k) piv = std::fabs(M[k][c]) > std::fabs(M[piv][c]) ? k : piv;
                std::swap(M[c], M[piv]);
            }
            if (i == c) continue;
            long double f = M[i][c] / M[c][c];
            for (int j = c; j <= p; ++j) M[i][j] -= f * M[c][j];
        }
    long double rss = 0;
    for (const auto& r : rs) {
        auto x = row(r);
        long double fit = 0;
        for (int i = 0; i < p; ++i) fit += x[i] * M[i][p] / M[i][i];
        rss += r.w * (r.y - fit) * (r.y - fit);
    }
    return rss;
}

struct AnovaRow {
    std::string label;
    double ss, df, F; // NaN: Null
};

// The expected table of one or two compare fields (A, then B).
std::vector<AnovaRow> expected(const std::vector<Rec>& rs, bool twoWay, double& dfE) {
    const Sums all = sums(rs);
    const long double sst = all.ss, ssA = between(rs, 1), ssB = between(rs, 2);
    const double N = double(all.n), ka = double(split(rs, 1).size()), kb = double(split(rs, 2).size());
    if (!twoWay) {
        dfE = N - ka;
        const double sse = double(sst - ssA), F = double(ssA) / (ka - 1) / (sse / dfE);
        return {{"Main Effects", double(ssA), ka - 1, F}, {"Main: [A]", double(ssA), ka - 1, F},
                {"Residual", sse, dfE, kNone}, {"Total", double(sst), N - 1, kNone}};
    }
    const long double cells = between(rs, 3), red = sst - additiveRss(rs);
    bool replicated = false;
    for (const auto& [k, g] : split(rs, 3)) replicated |= g.size() > 1;
    const double m = double(split(rs, 3).size());
    const double dfI = replicated ? (ka - 1) * (kb - 1) - (ka * kb - m) : 0;
    dfE = N - 1 - (ka - 1) - (kb - 1) - dfI;
    const long double sse = replicated ? sst - cells : sst - red, ssI = replicated ? cells - red : 0;
    auto F = [&](long double ss, double df) { return double(ss / df / (sse / dfE)); };
    std::vector<AnovaRow> want = {{"Main Effects", double(red), ka + kb - 2, F(red, ka + kb - 2)},
                                  {"Main: [A]", double(red - ssB), ka - 1, F(red - ssB, ka - 1)},
                                  {"Main: [B]", double(red - ssA), kb - 1, F(red - ssA, kb - 1)}};
    if (dfI > 0) want.push_back({"[A] & [B]", double(ssI), dfI, F(ssI, dfI)});
    want.push_back({"Explained", double(sst - sse), N - 1 - dfE, F(sst - sse, N - 1 - dfE)});
    want.push_back({"Residual", double(sse), dfE, kNone});
    want.push_back({"Total", double(sst), N - 1, kNone});
    return want;
}

class AnovaTest : public AnalysisTest {
protected:
    // A table of the records and a scenario on it (fields: roles of G, A, B, Y, W).
    std::vector<OutRow> runOn(const std::vector<Rec>& rs, const std::string& type,
                              const std::vector<vtest::ScenarioFieldRow>& fields, const std::string& detail = "",
                              bool ignoreBlanks = true) {
        const std::string n = std::to_string(m_runs++);
        std::vector<Row> rows;
        auto text = [](const std::string& s) { return s.empty() ? Variant::Null() : Variant(s); };
        for (const auto& r : rs) rows.push_back({text(r.g), text(r.a), Variant(r.b), Variant(r.base + r.y), Variant(r.w)});
        MakeTable("D" + n, {{"G", dbText, 10}, {"A", dbText, 10}, {"B", dbLong}, {"Y", dbDouble}, {"W", dbDouble}}, rows);
        vtest::ScenarioSpec s;
        s.analysisType = "G";
        s.subType = type;
        s.inputTable = "D" + n;
        s.outputTable1 = "Out" + n;
        s.outputTable2 = detail;
        s.options = {{"GroupIgnoreBlanks", ignoreBlanks}, {"GroupDetail", !detail.empty()}};
        s.fields = fields;
        std::string err;
        EXPECT_TRUE(Run(Store(s), &err)) << err;
        return ReadTable("Out" + n);
    }
    static void checkAnova(const std::vector<OutRow>& out, std::size_t first, const std::vector<AnovaRow>& want,
                           double dfE, int digits = 11) {
        ASSERT_GE(out.size(), first + want.size());
        for (std::size_t i = 0; i < want.size(); ++i) {
            const OutRow& r = out[first + i];
            const AnovaRow& w = want[i];
            SCOPED_TRACE(w.label);
            EXPECT_EQ(r["Source_of_Variation"].ToString(), w.label);
            EXPECT_EQ(r.Num("Index"), double(i + 1));
            EXPECT_EQ(r.Num("DF"), w.df);
            if (std::isnan(w.ss)) EXPECT_TRUE(r.IsNull("Sum_of_Squares") && r.IsNull("Mean_Square"));
            else if (std::fabs(w.ss) < 1e-9) EXPECT_LT(std::fabs(r.Num("Sum_of_Squares")), 1e-9);
            else EXPECT_TRUE(AgreesTo(w.ss, r.Num("Sum_of_Squares"), digits));
            EXPECT_TRUE(w.df > 0 || r.IsNull("Mean_Square"));
            if (std::isnan(w.F)) {
                EXPECT_TRUE(r.IsNull("F-Value") && r.IsNull("Prob"));
                continue;
            }
            EXPECT_TRUE(AgreesTo(w.F, r.Num("F-Value"), digits));
            const double p = fTail(w.F, w.df, dfE);
            EXPECT_TRUE(std::isnan(p) || AgreesTo(p, r.Num("Prob"), 6)) << "Prob " << r.Num("Prob") << " want " << p;
        }
    }
    // The whole table against the expected table of the records.
    static void checkExpected(const std::vector<OutRow>& out, const std::vector<Rec>& rs, bool twoWay, int digits = 11) {
        double dfE = 0;
        const auto want = expected(rs, twoWay, dfE);
        ASSERT_EQ(out.size(), want.size());
        checkAnova(out, 0, want, dfE, digits);
    }
    int m_runs = 0;
};

// The records on a base, their values scaled, and weighted 1, 2, 3, 1, ...
std::vector<Rec> onBase(std::vector<Rec> rs, double base, double scale = 1, bool weighted = false) {
    for (std::size_t i = 0; i < rs.size(); ++i) {
        rs[i].base = base;
        rs[i].y *= scale;
        if (weighted) rs[i].w = 1 + double(i % 3);
    }
    return rs;
}

// A: 2, 4; B: 3, 5, 7; C: 6, 8, 9, 13.
const std::vector<Rec> kThreeGroups = {{"", "A", 0, 2}, {"", "B", 0, 3}, {"", "C", 0, 6},  {"", "A", 0, 4}, {"", "B", 0, 5},
                                       {"", "C", 0, 8}, {"", "B", 0, 7}, {"", "C", 0, 9}, {"", "C", 0, 13}};

// Cells of A (P, Q) by B (1, 2, 3).
std::vector<Rec> grid(const std::vector<std::vector<std::vector<double>>>& cells) {
    std::vector<Rec> rs;
    for (std::size_t i = 0; i < cells.size(); ++i)
        for (std::size_t j = 0; j < cells[i].size(); ++j)
            for (double y : cells[i][j]) rs.push_back({"", std::string(1, char('P' + i)), int(j + 1), y});
    return rs;
}

} // namespace

TEST_F(AnovaTest, OneWayTables) {
    const struct {
        const char* why;
        std::vector<Rec> recs;
    } cases[] = {
        {"three groups of two, three and four", kThreeGroups},
        {"group means 10^12 times the spread", onBase(kThreeGroups, 1e12)},
        {"tenths on 10^12, as typed decimals", onBase(kThreeGroups, 1e12, 0.1)},
        {"a half-integer base", onBase(kThreeGroups, 4.5e11 + 0.5)},
        {"weighted, far from zero", onBase(kThreeGroups, 1e10, 1, true)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        checkExpected(runOn(c.recs, "ANOVA", {{"A", "C"}, {"Y", "X"}, {"W", "W"}}), c.recs, false, 9);
    }
    EXPECT_EQ(ColumnNames("Out0"), (std::vector<std::string>{"DataField", "Index", "Source_of_Variation",
                                                              "Sum_of_Squares", "DF", "Mean_Square", "F-Value", "Prob"}));
}

TEST_F(AnovaTest, CompareValuesDifferingOnlyInTheCaseOfALetterBeyondAsciiAreOneGroup) {
    // Levels P and Q of A spelt with a capital and a small letter by turns;
    // A is the second factor, so its records come in no order: the table of
    // P and Q, its rows of the two factors in the other order.
    const std::vector<Rec> rs = grid({{{4, 6, 5}, {8}, {5, 9}}, {{7, 7}, {12, 16, 14, 11}, {3, 1}}});
    std::vector<Rec> spelt = rs;
    for (std::size_t i = 0; i < spelt.size(); ++i)
        spelt[i].a = spelt[i].a == "P" ? (i % 2 ? "\u00E9" : "\u00C9") : (i % 2 ? "\u03C9" : "\u03A9");
    double dfE = 0;
    auto want = expected(rs, true, dfE);
    std::swap(want[1], want[2]);
    want[3].label = "[B] & [A]";
    auto out = runOn(spelt, "Two way ANOVA", {{"B", "C"}, {"A", "C"}, {"Y", "X"}});
    ASSERT_EQ(out.size(), want.size());
    checkAnova(out, 0, want, dfE);
}

TEST_F(AnovaTest, GroupDetailOfOneCompareField) {
    runOn(kThreeGroups, "ANOVA", {{"A", "C"}, {"Y", "X"}}, "Det");
    EXPECT_EQ(ColumnNames("Det"), (std::vector<std::string>{"A", "DataField", "Count", "Mean", "Minimum", "Maximum",
                                                             "Range", "Sum", "Variance", "CoeffOfVariance",
                                                             "StdDeviation", "StdError"}));
    auto det = ReadTable("Det");
    // Per group by hand: n, mean, min, max, sum, Σ(x − mean)².
    const struct {
        const char* g;
        double n, mean, lo, hi, sum, ss;
    } want[] = {{"A", 2, 3, 2, 4, 6, 2}, {"B", 3, 5, 3, 7, 15, 8}, {"C", 4, 9, 6, 13, 36, 26}};
    ASSERT_EQ(det.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& w = want[i];
        const double var = w.ss / (w.n - 1);
        EXPECT_EQ(det[i]["A"].ToString(), w.g);
        for (auto [col, v] : std::vector<std::pair<const char*, double>>{
                 {"Count", w.n}, {"Mean", w.mean}, {"Minimum", w.lo}, {"Maximum", w.hi}, {"Range", w.hi - w.lo},
                 {"Sum", w.sum}, {"Variance", var}, {"StdDeviation", std::sqrt(var)},
                 {"CoeffOfVariance", std::sqrt(var) / w.mean}, {"StdError", std::sqrt(var / w.n)}})
            EXPECT_TRUE(AgreesTo(v, det[i].Num(col), 14)) << w.g << " " << col;
    }
}

TEST_F(AnovaTest, FIsNotComputedForARowWithoutDegreesOfFreedom) {
    // Output group "x" has only compare group A: the main effect has DF 0.
    auto out = runOn({{"x", "A", 0, 1}, {"x", "A", 0, 3}, {"y", "A", 0, 1}, {"y", "B", 0, 5}, {"y", "B", 0, 7}},
                     "ANOVA", {{"G", "G"}, {"A", "C"}, {"Y", "X"}});
    ASSERT_EQ(out.size(), 8u);
    checkAnova(out, 0, {{"Main Effects", 0, 0, kNone}, {"Main: [A]", 0, 0, kNone}}, 1);
    // y: means 1 and 6 (n 1 and 2), grand 13/3: SSB = (10/3)² + 2·(5/3)² = 50/3, SSE = 2.
    checkAnova(out, 4, {{"Main Effects", 50.0 / 3, 1, 25.0 / 3}, {"Main: [A]", 50.0 / 3, 1, 25.0 / 3}}, 1);
}

TEST_F(AnovaTest, BlanksFormAGroupUnlessIgnored) {
    // A, B: means 2 and 7, grand 4.5: SSB = 4·2.5² = 25. With the Null
    // group (mean 21) too, grand 10: SSB = 2·(11² + 8² + 3²) = 388.
    const std::vector<Rec> rs = {{"", "A", 0, 1}, {"", "A", 0, 3}, {"", "B", 0, 6}, {"", "B", 0, 8},
                                 {"", "", 0, 20}, {"", "", 0, 22}};
    for (auto [ignore, ssb, df] : {std::tuple{true, 25.0, 1.0}, std::tuple{false, 388.0, 2.0}}) {
        auto out = runOn(rs, "ANOVA", {{"A", "C"}, {"Y", "X"}}, "Det", ignore);
        ASSERT_EQ(out.size(), 4u);
        EXPECT_DOUBLE_EQ(out[1].Num("Sum_of_Squares"), ssb);
        EXPECT_EQ(out[1].Num("DF"), df);
        auto det = ReadTable("Det");
        ASSERT_EQ(det.size(), ignore ? 2u : 3u);
        EXPECT_EQ(det[0].IsNull("A"), !ignore); // Null sorts first
    }
}

TEST_F(AnovaTest, TwoWayTables) {
    std::vector<Rec> onePerCell = grid({{{4}, {8}, {5}}, {{7}, {12}, {3}}});
    const struct {
        const char* why;
        std::vector<Rec> recs;
    } cases[] = {
        {"balanced with two records per cell", grid({{{4, 6}, {8, 10}, {5, 9}}, {{7, 7}, {12, 16}, {3, 1}}})},
        {"unbalanced with replication", grid({{{4, 6, 5}, {8}, {5, 9}}, {{7, 7}, {12, 16, 14, 11}, {3, 1}}})},
        {"an empty cell", grid({{{4, 6, 5}, {8, 9}, {}}, {{7, 7}, {12, 16, 14}, {3, 1}}})},
        {"one record per cell", onePerCell},
        {"one record per cell, weighted", onBase(onePerCell, 0, 1, true)},
        {"weighted with replication", onBase(grid({{{4, 6, 5}, {8}, {5, 9}}, {{7, 7}, {12, 16}, {3}}}), 0, 1, true)},
        {"cell means 10^12 times the spread", onBase(grid({{{4, 6, 5}, {8}, {5, 9}}, {{7, 7}, {12, 16, 14}, {3, 1}}}), 1e12)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        checkExpected(runOn(c.recs, "Two way ANOVA", {{"A", "C"}, {"B", "C"}, {"Y", "X"}, {"W", "W"}}), c.recs, true, 9);
    }
}

TEST_F(AnovaTest, FOfValuesScaledNear1eMinus300Or1e154IsThatOfTheUnscaledValues) {
    // Every F, its degrees of freedom and probability are those of the
    // unscaled values, which the tables above check:
    // - multiplying every value by 10^-300 multiplies each sum of squares by
    //   10^-600, below a double's range (written as 0); F was left Null as if
    //   the values did not vary;
    // - multiplying every value by 10^154 multiplies each sum of squares and
    //   mean square by 10^308: these tables' (77.8, 40.5, 118.3 and the like)
    //   lie beyond a double and are left Null, also in the group detail
    //   table, whose group variances lie beyond a double too. The run failed
    //   on writing the first sum of squares ("Numeric field overflow.").
    const struct {
        const char* why;
        const char* type;
        std::vector<Rec> recs;
        std::vector<vtest::ScenarioFieldRow> fields;
    } cases[] = {
        {"one way", "ANOVA", kThreeGroups, {{"A", "C"}, {"Y", "X"}}},
        {"two way, unbalanced", "Two way ANOVA", grid({{{4, 6, 5}, {8}, {5, 9}}, {{7, 7}, {12, 16, 14, 11}, {3, 1}}}),
         {{"A", "C"}, {"B", "C"}, {"Y", "X"}}},
    };
    for (const double scale : {1e-300, 1e154}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.why) + (scale < 1 ? ", 1e-300" : ", 1e154"));
            auto plain = runOn(c.recs, c.type, c.fields);
            auto scaled = runOn(onBase(c.recs, 0, scale), c.type, c.fields,
                                scale > 1 ? "Detail" + std::to_string(m_runs) : std::string());
            ASSERT_EQ(scaled.size(), plain.size());
            for (std::size_t i = 0; i < plain.size(); ++i) {
                const std::string row = plain[i]["Source_of_Variation"].ToString();
                EXPECT_EQ(scaled[i].Num("DF"), plain[i].Num("DF")) << row;
                const double ss = plain[i].Num("Sum_of_Squares");
                if (scale < 1) {
                    EXPECT_EQ(scaled[i].Num("Sum_of_Squares"), 0.0) << row;
                } else if (ss * scale * scale > std::numeric_limits<double>::max()) {
                    EXPECT_TRUE(scaled[i].IsNull("Sum_of_Squares")) << row;
                }
                EXPECT_EQ(scaled[i].IsNull("F-Value"), plain[i].IsNull("F-Value")) << row;
                if (plain[i].IsNull("F-Value")) continue;
                EXPECT_TRUE(AgreesTo(plain[i].Num("F-Value"), scaled[i].Num("F-Value"), 12)) << row;
                EXPECT_TRUE(AgreesTo(plain[i].Num("Prob"), scaled[i].Num("Prob"), 12)) << row;
            }
        }
    }
}

TEST_F(AnovaTest, ALevelWithoutWeightInAnOutputGroupIsDroppedFromTheFit) {
    // B has levels 1, 2, 3 over the table; output group "y" has no level 3.
    std::vector<Rec> y = {{"y", "P", 1, 4},  {"y", "P", 1, 6},  {"y", "P", 2, 8},  {"y", "Q", 1, 7},
                          {"y", "Q", 2, 12}, {"y", "Q", 2, 16}, {"y", "Q", 2, 13}, {"y", "P", 2, 11}};
    std::vector<Rec> all = {{"x", "P", 1, 4}, {"x", "P", 3, 1}, {"x", "Q", 3, 2}, {"x", "Q", 1, 5}};
    all.insert(all.end(), y.begin(), y.end());
    auto out = runOn(all, "Two way ANOVA", {{"G", "G"}, {"A", "C"}, {"B", "C"}, {"Y", "X"}});
    std::vector<OutRow> ys;
    for (const auto& r : out)
        if (r["G"].ToString() == "y") ys.push_back(r);
    checkExpected(ys, y, true);
}

TEST_F(AnovaTest, DisconnectedCellsStillGiveTheJointAndAdjustedMainEffects) {
    // Cells that do not connect every level of one factor with every level of
    // the other make the reduced system singular; the reduction due to both
    // factors is still defined: each connected part fits its own levels. By
    // hand, from cell means (two records a cell where replicated):
    // 1. Cells (P, 1) = {1, 3} and (Q, 2) = {6, 10} only: A and B cannot be
    //    told apart. SST = 46, within cells 2 + 8 = 10 (DF 2), both factors
    //    together explain 36; each adjusted for the other explains 0. No pair
    //    row (DF 1 − 2 < 0). F = (36/2)/5 and, for "Explained", 36/5.
    // 2. Two blocks, {P, Q} × {1, 2} and {R, S} × {3, 4}, cell means 2, 5, 6,
    //    11 and 1, 2, 4, 9: grand mean 5, SST = 592 − 16·25 = 192, within 16
    //    (DF 8), cells explain 176, interaction 4·2·(½)² + 4·2·1² = 10, so both
    //    factors together 166; ss(A) = 4·(1.5² + 3.5² + 3.5² + 1.5²) = 116,
    //    ss(B) = 4·(1² + 3² + 2.5² + .5²) = 66, adjusted A 166 − 66, B 166 − 116.
    //    Pair DF (4 − 1)(4 − 1) − (16 − 8) = 1; MSE 16/8 = 2.
    const struct {
        const char* why;
        std::vector<Rec> recs;
        std::vector<AnovaRow> want;
        double dfE;
    } cases[] = {
        {"one cell per level: the factors coincide",
         {{"", "P", 1, 1}, {"", "P", 1, 3}, {"", "Q", 2, 6}, {"", "Q", 2, 10}},
         {{"Main Effects", 36, 2, 3.6}, {"Main: [A]", 0, 1, kNone}, {"Main: [B]", 0, 1, kNone},
          {"Explained", 36, 1, 7.2}, {"Residual", 10, 2, kNone}, {"Total", 46, 3, kNone}},
         2},
        {"two blocks of two by two levels",
         {{"", "P", 1, 1}, {"", "P", 1, 3}, {"", "P", 2, 4}, {"", "P", 2, 6}, {"", "Q", 1, 5}, {"", "Q", 1, 7},
          {"", "Q", 2, 10}, {"", "Q", 2, 12}, {"", "R", 3, 0}, {"", "R", 3, 2}, {"", "R", 4, 1}, {"", "R", 4, 3},
          {"", "S", 3, 3}, {"", "S", 3, 5}, {"", "S", 4, 8}, {"", "S", 4, 10}},
         {{"Main Effects", 166, 6, 166.0 / 6 / 2}, {"Main: [A]", 100, 3, 100.0 / 3 / 2},
          {"Main: [B]", 50, 3, 50.0 / 3 / 2}, {"[A] & [B]", 10, 1, 5}, {"Explained", 176, 7, 176.0 / 7 / 2},
          {"Residual", 16, 8, kNone}, {"Total", 192, 15, kNone}},
         8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto out = runOn(c.recs, "Two way ANOVA", {{"A", "C"}, {"B", "C"}, {"Y", "X"}});
        ASSERT_EQ(out.size(), c.want.size());
        checkAnova(out, 0, c.want, c.dfE);
    }
}

TEST_F(AnovaTest, SourceOfVariationHoldsLongLabelsAndThreeFactorsAddAnInteractionsRow) {
    const std::string a(64, 'a');
    std::vector<Row> rows;
    for (int i = 0; i < 16; ++i) rows.push_back({Variant(i % 2), Variant(i / 2 % 2), Variant(i / 4 % 2), Variant(double(i * 7 % 11))});
    MakeTable("Data", {{a, dbLong}, {"B", dbLong}, {"C", dbLong}, {"Y", dbDouble}}, rows);
    vtest::ScenarioSpec s = vtest::ScenarioOn("G", "Two way ANOVA", "Data", "Out");
    s.fields = {{a, "C"}, {"B", "C"}, {"C", "C"}, {"Y", "X"}};
    std::string err;
    ASSERT_TRUE(Run(Store(s), &err)) << err;
    auto out = ReadTable("Out");
    std::vector<std::string> labels;
    for (const auto& r : out) labels.push_back(r["Source_of_Variation"].ToString());
    const std::string A = "[" + a + "]";
    EXPECT_EQ(labels, (std::vector<std::string>{"Main Effects", "Main: " + A, "Main: [B]", "Main: [C]", "Interactions",
                                                A + " & [B]", A + " & [C]", "[B] & [C]", "Explained", "Residual", "Total"}));
    EXPECT_NEAR(out[4].Num("Sum_of_Squares"),
                out[5].Num("Sum_of_Squares") + out[6].Num("Sum_of_Squares") + out[7].Num("Sum_of_Squares"), 1e-9);
    EXPECT_EQ(out[4].Num("DF"), 3.0);
}

TEST_F(AnovaTest, DetailTableOfSeveralCompareFieldsListsEveryFieldsGroups) {
    // Weighted: Count is the weight sum, Observations the records; the text
    // and the number field share a text column.
    runOn({{"", "P", 1, 2, 1}, {"", "P", 2, 4, 3}, {"", "Q", 1, 6, 1}, {"", "Q", 2, 8, 1}, {"", "Q", 2, 10, 2}},
          "Two way ANOVA", {{"A", "C"}, {"B", "C"}, {"Y", "X"}, {"W", "W"}}, "Det");
    EXPECT_EQ(ColumnNames("Det"),
              (std::vector<std::string>{"DataField", "Observations", "Compare_Field", "Compare_Value", "Count", "Mean",
                                        "Minimum", "Maximum", "Range", "Sum", "Variance", "CoeffOfVariance",
                                        "StdDeviation", "StdError"}));
    auto det = ReadTable("Det");
    const struct {
        const char *field, *value;
        double count, obs, mean;
    } want[] = {{"A", "P", 4, 2, 14.0 / 4}, {"A", "Q", 4, 3, 34.0 / 4}, {"B", "1", 2, 2, 4}, {"B", "2", 6, 3, 40.0 / 6}};
    ASSERT_EQ(det.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(det[i]["Compare_Field"].ToString() + det[i]["Compare_Value"].ToString(),
                  std::string(want[i].field) + want[i].value);
        EXPECT_EQ(det[i].Num("Count"), want[i].count);
        EXPECT_EQ(det[i].Num("Observations"), want[i].obs);
        EXPECT_TRUE(AgreesTo(want[i].mean, det[i].Num("Mean"), 14));
    }
}

TEST_F(AnovaTest, TTestPooledAndSeparateForEveryPairOfGroups) {
    const std::vector<Rec> base = {{"", "A", 0, 1}, {"", "A", 0, 2}, {"", "A", 0, 4}, {"", "B", 0, 3},  {"", "B", 0, 7},
                                   {"", "C", 0, 2}, {"", "C", 0, 9}, {"", "C", 0, 8}, {"", "C", 0, 12}, {"", "A", 0, 5}};
    const struct {
        const char* why;
        std::vector<Rec> recs;
    } cases[] = {{"plain", base}, {"means 10^12 times the spread", onBase(base, 1e12)},
                 {"weighted", onBase(base, 0, 1, true)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto out = runOn(c.recs, "Two Sample t-Test", {{"A", "C"}, {"Y", "X"}, {"W", "W"}});
        auto g = split(c.recs, 1);
        const char* pairs[][2] = {{"A", "B"}, {"A", "C"}, {"B", "C"}};
        ASSERT_EQ(out.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            const OutRow& r = out[i];
            const Sums A = sums(g[{pairs[i][0], 0}]), B = sums(g[{pairs[i][1], 0}]);
            EXPECT_EQ(r["A-1"].ToString() + r["A-2"].ToString(), std::string(pairs[i][0]) + pairs[i][1]);
            const double nA = double(A.n), nB = double(B.n), vA = double(A.ss / (A.n - 1)), vB = double(B.ss / (B.n - 1));
            const double diff = double(A.mean - B.mean), sp2 = double((A.ss + B.ss) / (A.n + B.n - 2));
            const double tP = diff / std::sqrt(sp2 / nA + sp2 / nB), q = vA / nA + vB / nB, tS = diff / std::sqrt(q);
            const double dfS = q * q / ((vA / nA) * (vA / nA) / (nA - 1) + (vB / nB) * (vB / nB) / (nB - 1));
            for (auto [col, v] : std::vector<std::pair<const char*, double>>{
                     {"Count-1", nA}, {"Count-2", nB}, {"Mean-1", double(A.mean) + c.recs[0].base}, {"Mean_Diff", diff},
                     {"StdDeviation-1", std::sqrt(vA)}, {"StdDeviation-2", std::sqrt(vB)},
                     {"StdError-1", std::sqrt(vA / nA)}, {"StdError-2", std::sqrt(vB / nB)},
                     {"DF_Pooled", nA + nB - 2}, {"t-Value_Pooled", tP}, {"DF_Separate", dfS}, {"t-Value_Separate", tS}})
                EXPECT_TRUE(AgreesTo(v, r.Num(col), 10)) << pairs[i][0] << pairs[i][1] << " " << col;
            EXPECT_TRUE(AgreesTo(tTwoTail(tP, nA + nB - 2), r.Num("Prob_(2-tail)_Pooled"), 6));
            EXPECT_TRUE(AgreesTo(tTwoTail(tS, dfS), r.Num("Prob_(2-tail)_Separate"), 6));
        }
    }
    EXPECT_EQ(ColumnNames("Out0"),
              (std::vector<std::string>{"DataField", "A-1", "A-2", "Count-1", "Count-2", "Mean-1", "Mean-2",
                                        "Mean_Diff", "StdDeviation-1", "StdDeviation-2", "StdError-1", "StdError-2",
                                        "DF_Pooled", "t-Value_Pooled", "Prob_(2-tail)_Pooled", "DF_Separate",
                                        "t-Value_Separate", "Prob_(2-tail)_Separate"}));
}

TEST_F(AnovaTest, TTestOfValuesNear1eMinus300Or1e300IsNotLeftWithoutT) {
    // Multiplying every value by 10^k multiplies the means, standard
    // deviations and errors by it and leaves t, its degrees of freedom and
    // probabilities as they are. Expected: the sums of the unscaled values.
    // Near 1e-300 a variance is below a double's range (near 1e300 above it).
    const std::vector<Rec> recs = {{"", "A", 0, 1}, {"", "A", 0, 2}, {"", "A", 0, 4}, {"", "A", 0, 5}, {"", "B", 0, 3},
                                   {"", "B", 0, 7}, {"", "B", 0, 9}, {"", "B", 0, 8}, {"", "B", 0, 12}};
    auto g = split(recs, 1);
    const Sums A = sums(g[{"A", 0}]), B = sums(g[{"B", 0}]);
    const double nA = double(A.n), nB = double(B.n), vA = double(A.ss / (A.n - 1)), vB = double(B.ss / (B.n - 1));
    const double diff = double(A.mean - B.mean), sp2 = double((A.ss + B.ss) / (A.n + B.n - 2));
    const double tP = diff / std::sqrt(sp2 / nA + sp2 / nB), q = vA / nA + vB / nB, tS = diff / std::sqrt(q);
    const double dfS = q * q / ((vA / nA) * (vA / nA) / (nA - 1) + (vB / nB) * (vB / nB) / (nB - 1));
    for (double scale : {1e-300, 1e300}) {
        SCOPED_TRACE(scale);
        auto out = runOn(onBase(recs, 0, scale), "Two Sample t-Test", {{"A", "C"}, {"Y", "X"}});
        ASSERT_EQ(out.size(), 1u);
        for (auto [col, v] : std::vector<std::pair<const char*, double>>{
                 {"Mean_Diff", diff * scale}, {"StdDeviation-1", std::sqrt(vA) * scale},
                 {"StdDeviation-2", std::sqrt(vB) * scale}, {"StdError-2", std::sqrt(vB / nB) * scale},
                 {"DF_Pooled", nA + nB - 2}, {"t-Value_Pooled", tP}, {"DF_Separate", dfS}, {"t-Value_Separate", tS}})
            EXPECT_TRUE(AgreesTo(v, out[0].Num(col), 10)) << col;
        EXPECT_TRUE(AgreesTo(tTwoTail(tP, nA + nB - 2), out[0].Num("Prob_(2-tail)_Pooled"), 6));
        EXPECT_TRUE(AgreesTo(tTwoTail(tS, dfS), out[0].Num("Prob_(2-tail)_Separate"), 6));
    }
}

TEST_F(AnovaTest, EachOutputGroupTakesOnlyTheCompareGroupsItsOwnRecordsMeet) {
    // The compare groups differ from one output group to the next; each
    // output group's table is that of its own records alone. "b" and "B" are
    // one compare group (the first spelling met names it), also when the
    // record before is of another group.
    const std::vector<Rec> g1 = {{"g1", "C", 0, 5}, {"g1", "C", 0, 7}, {"g1", "D", 0, 1}, {"g1", "D", 0, 2}};
    const std::vector<Rec> g2 = {{"g2", "D", 0, 1}, {"g2", "D", 0, 2}, {"g2", "D", 0, 4}, {"g2", "b", 0, 3}, {"g2", "b", 0, 7}};
    const std::vector<Rec> g3 = {{"g3", "B", 0, 2}, {"g3", "B", 0, 9}, {"g3", "C", 0, 8}, {"g3", "C", 0, 12}, {"g3", "C", 0, 5}};
    std::vector<Rec> all = g1;
    all.insert(all.end(), g2.begin(), g2.end());
    all.insert(all.end(), g3.begin(), g3.end());
    const std::vector<vtest::ScenarioFieldRow> fields = {{"G", "G"}, {"A", "C"}, {"Y", "X"}};
    auto anova = runOn(all, "ANOVA", fields);
    ASSERT_EQ(anova.size(), 12u);
    std::size_t first = 0;
    for (const auto* g : {&g1, &g2, &g3}) {
        SCOPED_TRACE((*g)[0].g);
        double dfE = 0;
        checkAnova(anova, first, expected(*g, false, dfE), dfE);
        for (std::size_t i = first; i < first + 4; ++i) EXPECT_EQ(anova[i]["G"].ToString(), (*g)[0].g);
        first += 4;
    }
    // One pair per output group in the order of the values (case aside).
    // Mean differences by hand: C 6 − D 1.5; b 5 − D 7/3; b (2, 9) 5.5 − C 25/3.
    auto t = runOn(all, "Two Sample t-Test", fields);
    ASSERT_EQ(t.size(), 3u);
    const struct {
        const char *g, *first, *second;
        double n1, n2, diff;
    } want[] = {{"g1", "C", "D", 2, 2, 4.5}, {"g2", "b", "D", 2, 3, 8.0 / 3}, {"g3", "b", "C", 2, 3, 5.5 - 25.0 / 3}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(t[i]["G"].ToString(), want[i].g);
        EXPECT_EQ(t[i]["A-1"].ToString(), want[i].first) << want[i].g;
        EXPECT_EQ(t[i]["A-2"].ToString(), want[i].second) << want[i].g;
        EXPECT_EQ(t[i].Num("Count-1"), want[i].n1) << want[i].g;
        EXPECT_EQ(t[i].Num("Count-2"), want[i].n2) << want[i].g;
        EXPECT_TRUE(AgreesTo(want[i].diff, t[i].Num("Mean_Diff"), 14)) << want[i].g;
    }
}

TEST_F(AnovaTest, TTestLeavesOutGroupsOfWeightOneAndNullsTestsOfConstantGroups) {
    // B: two records of weight 0.5 (n = 1): no pair. A and C: constant values.
    auto out = runOn({{"", "A", 0, 3, 1}, {"", "A", 0, 3, 2}, {"", "B", 0, 1, 0.5}, {"", "B", 0, 9, 0.5},
                      {"", "C", 0, 5, 1}, {"", "C", 0, 5, 1}},
                     "Two Sample t-Test", {{"A", "C"}, {"Y", "X"}, {"W", "W"}});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0]["A-1"].ToString() + out[0]["A-2"].ToString(), "AC");
    EXPECT_EQ(out[0].Num("Count-1"), 3.0);
    EXPECT_EQ(out[0].Num("Mean_Diff"), -2.0);
    EXPECT_EQ(out[0].Num("StdDeviation-1"), 0.0);
    for (const char* col : {"DF_Pooled", "t-Value_Pooled", "Prob_(2-tail)_Pooled", "DF_Separate", "t-Value_Separate",
                            "Prob_(2-tail)_Separate"})
        EXPECT_TRUE(out[0].IsNull(col)) << col;
}

TEST_F(AnovaTest, WholeNumbersBeyond2To53ThatDifferByOneAreTwoGroups) {
    // Another program's 64-bit keys 2^53 and 2^53 + 1 (one double): groups
    // 1, 2 and 5, 6; means 1.5 and 5.5, grand 3.5: SSB = 4·2² = 16, SSE = 4·¼ = 1.
    const long long k = 9007199254740992LL;
    MakeTable("Data", {{"K", dbBigInt}, {"Y", dbDouble}},
              {{Variant(k), Variant(1.0)}, {Variant(k + 1), Variant(5.0)}, {Variant(k), Variant(2.0)},
               {Variant(k + 1), Variant(6.0)}});
    vtest::ScenarioSpec s = vtest::ScenarioOn("G", "ANOVA", "Data", "Out", "Det");
    s.options = {{"GroupDetail", true}};
    s.fields = {{"K", "C"}, {"Y", "X"}};
    std::string err;
    ASSERT_TRUE(Run(Store(s), &err)) << err;
    checkAnova(ReadTable("Out"), 0,
               {{"Main Effects", 16, 1, 32}, {"Main: [K]", 16, 1, 32}, {"Residual", 1, 2, kNone}, {"Total", 17, 3, kNone}},
               2);
    auto det = ReadTable("Det");
    ASSERT_EQ(det.size(), 2u);
    EXPECT_EQ(det[0]["K"].ToString(), "9007199254740992");
    EXPECT_EQ(det[1]["K"].ToString(), "9007199254740993");
}

TEST_F(AnovaTest, TTestWithMoreThanOneCompareFieldIsRefused) {
    MakeTable("Data", {{"A", dbText, 5}, {"B", dbLong}, {"Y", dbDouble}}, {{Variant("a"), Variant(1), Variant(2.0)}});
    vtest::ScenarioSpec s = vtest::ScenarioOn("G", "Two Sample t-Test", "Data", "Out");
    s.fields = {{"A", "C"}, {"B", "C"}, {"Y", "X"}};
    std::string err;
    EXPECT_FALSE(Run(Store(s), &err));
    EXPECT_EQ(err, "The Two Sample t-Test takes exactly one Compare field");
    EXPECT_FALSE(TableExists("Out"));
}

TEST_F(AnovaTest, TTestWithHugeWeightsKeepsTheSeparateDegreesOfFreedom) {
    // Group A: 2, 4, 9 with weights 1, 2, 1 times c; group B: 3, 5, 6, 8 with
    // weights 2, 1, 1, 2 times c. The textbook forms, taken in long double
    // (whose range holds c² and c⁻²): v = M2/(W − 1), pooled
    // sp² = (M2a + M2b)/(Wa + Wb − 2), separate df (Welch)
    // (qa + qb)²/(qa²/(Wa − 1) + qb²/(Wb − 1)) with q = v/W. With c = 1e200
    // the squares qa² (near 1e-400) underflowed to 0, the separate degrees of
    // freedom came out 0/0, and the run failed ("Numeric field overflow.").
    const struct {
        const char* group;
        double y, k;
    } data[] = {{"A", 2, 1}, {"A", 4, 2}, {"A", 9, 1}, {"B", 3, 2}, {"B", 5, 1}, {"B", 6, 1}, {"B", 8, 2}};
    for (const double c : {1e200, 1e300}) {
        SCOPED_TRACE(c);
        std::vector<Rec> rs;
        long double W[2] = {0, 0}, S[2] = {0, 0};
        for (const auto& d : data) {
            rs.push_back({"", d.group, 0, d.y, d.k * c});
            const int g = d.group[0] - 'A';
            W[g] += d.k * static_cast<long double>(c);
            S[g] += d.k * static_cast<long double>(c) * d.y;
        }
        long double mean[2] = {S[0] / W[0], S[1] / W[1]}, M2[2] = {0, 0};
        for (const auto& d : data) {
            const int g = d.group[0] - 'A';
            M2[g] += d.k * static_cast<long double>(c) * (d.y - mean[g]) * (d.y - mean[g]);
        }
        const long double vA = M2[0] / (W[0] - 1), vB = M2[1] / (W[1] - 1);
        const long double sp2 = (M2[0] + M2[1]) / (W[0] + W[1] - 2);
        const long double diff = mean[0] - mean[1];
        const long double qa = vA / W[0], qb = vB / W[1];
        const long double dfS = (qa + qb) * (qa + qb) / (qa * qa / (W[0] - 1) + qb * qb / (W[1] - 1));
        auto out = runOn(rs, "Two Sample t-Test", {{"A", "C"}, {"Y", "X"}, {"W", "W"}});
        ASSERT_EQ(out.size(), 1u);
        const OutRow& r = out[0];
        auto agrees = [&](const char* column, long double want, int digits) {
            EXPECT_TRUE(AgreesTo(static_cast<double>(want), r.Num(column), digits)) << column;
        };
        agrees("Mean_Diff", diff, 14);
        agrees("StdDeviation-1", std::sqrt(vA), 13);
        agrees("StdDeviation-2", std::sqrt(vB), 13);
        agrees("StdError-2", std::sqrt(vB / W[1]), 13);
        agrees("DF_Pooled", W[0] + W[1] - 2, 14);
        agrees("t-Value_Pooled", diff / std::sqrt(sp2 / W[0] + sp2 / W[1]), 13);
        agrees("DF_Separate", dfS, 13);
        agrees("t-Value_Separate", diff / std::sqrt(qa + qb), 13);
    }
}

TEST_F(AnovaTest, DegreesOfFreedomBeyondTheLongColumnAreLeftNullNotFailingTheRun) {
    // The three groups (nine records) with every weight 10^9 (a population's
    // counts): the sums of squares are 10^9 times the unweighted ones, the
    // residual has 9·10^9 − 3 degrees of freedom and the total 9·10^9 − 1,
    // beyond the Long column "DF" (2147483647): those two are left Null,
    // while the sums of squares and F, ((SSB·c)/2)/((SSW·c)/(9c − 3)), are
    // written.
    // The run failed ("Numeric field overflow.").
    const double c = 1e9;
    auto plain = runOn(kThreeGroups, "ANOVA", {{"A", "C"}, {"Y", "X"}});
    std::vector<Rec> heavy = kThreeGroups;
    for (auto& r : heavy) r.w = c;
    auto out = runOn(heavy, "ANOVA", {{"A", "C"}, {"Y", "X"}, {"W", "W"}});
    ASSERT_EQ(out.size(), 4u);
    ASSERT_EQ(plain.size(), 4u);
    const double ssb = plain[0].Num("Sum_of_Squares"), ssw = plain[2].Num("Sum_of_Squares");
    EXPECT_EQ(out[0].Num("DF"), 2.0);
    EXPECT_TRUE(AgreesTo(ssb * c, out[0].Num("Sum_of_Squares"), 12));
    EXPECT_TRUE(AgreesTo((ssb / 2) / (ssw / (9 * c - 3)), out[0].Num("F-Value"), 11));
    for (std::size_t i : {2u, 3u}) {
        EXPECT_TRUE(out[i].IsNull("DF")) << i;
        EXPECT_TRUE(AgreesTo(plain[i].Num("Sum_of_Squares") * c, out[i].Num("Sum_of_Squares"), 12)) << i;
    }
}

TEST_F(AnovaTest, TTestOfMeansFurtherApartThanADoubleReachesKeepsT) {
    // A: -1.7e308, -1.5e308, -1.2e308; B: 1e308, 1.4e308, 1.7e308. The
    // difference of the means, about -2.83e308, lies beyond a double and is
    // left Null; the deviations, errors, t and degrees of freedom do not.
    // The run failed ("Numeric field overflow."). Expected: long double
    // sums, whose range holds every one.
    const long double a[] = {-1.7e308L, -1.5e308L, -1.2e308L}, b[] = {1e308L, 1.4e308L, 1.7e308L};
    std::vector<Rec> recs;
    for (long double v : a) recs.push_back({"", "A", 0, static_cast<double>(v)});
    for (long double v : b) recs.push_back({"", "B", 0, static_cast<double>(v)});
    long double ma = 0, mb = 0, ssa = 0, ssb = 0;
    for (int i = 0; i < 3; ++i) ma += a[i] / 3, mb += b[i] / 3;
    for (int i = 0; i < 3; ++i) ssa += (a[i] - ma) * (a[i] - ma), ssb += (b[i] - mb) * (b[i] - mb);
    const long double va = ssa / 2, vb = ssb / 2, sp2 = (ssa + ssb) / 4;
    const long double tP = (ma - mb) / std::sqrt(sp2 / 3 + sp2 / 3), tS = (ma - mb) / std::sqrt(va / 3 + vb / 3);
    const long double q = va / 3 + vb / 3, dfS = q * q / ((va / 3) * (va / 3) / 2 + (vb / 3) * (vb / 3) / 2);
    auto out = runOn(recs, "Two Sample t-Test", {{"A", "C"}, {"Y", "X"}});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_TRUE(out[0].IsNull("Mean_Diff"));
    for (auto [col, v] : std::vector<std::pair<const char*, long double>>{
             {"Mean-1", ma}, {"Mean-2", mb}, {"StdDeviation-1", std::sqrt(va)}, {"StdDeviation-2", std::sqrt(vb)},
             {"DF_Pooled", 4}, {"t-Value_Pooled", tP}, {"DF_Separate", dfS}, {"t-Value_Separate", tS}})
        EXPECT_TRUE(AgreesTo(static_cast<double>(v), out[0].Num(col), 12)) << col;
    EXPECT_TRUE(AgreesTo(tTwoTail(static_cast<double>(tP), 4), out[0].Num("Prob_(2-tail)_Pooled"), 6));
}

TEST_F(AnovaTest, FOfGroupsFurtherApartThanADoubleReachesIsWritten) {
    // A: -1.5e308, -1e308, -1.2e308; B: 1e308, 1.7e308, 1.4e308. The spread
    // of the values (3.2e308) lies beyond a double, and every F was left Null
    // though it is a ratio of ordinary size. By hand (long double, whose
    // range holds every sum): F = (SSB/1)/(SSW/4); the sums of squares
    // themselves stay beyond a double and Null.
    const long double a[] = {-1.5e308L, -1e308L, -1.2e308L}, b[] = {1e308L, 1.7e308L, 1.4e308L};
    std::vector<Rec> recs;
    for (long double v : a) recs.push_back({"", "A", 0, static_cast<double>(v)});
    for (long double v : b) recs.push_back({"", "B", 0, static_cast<double>(v)});
    long double ma = 0, mb = 0, ssw = 0;
    for (int i = 0; i < 3; ++i) ma += a[i] / 3, mb += b[i] / 3;
    for (int i = 0; i < 3; ++i) ssw += (a[i] - ma) * (a[i] - ma) + (b[i] - mb) * (b[i] - mb);
    const long double grand = (ma + mb) / 2, ssb = 3 * (ma - grand) * (ma - grand) + 3 * (mb - grand) * (mb - grand);
    const double F = static_cast<double>(ssb / (ssw / 4));
    auto out = runOn(recs, "ANOVA", {{"A", "C"}, {"Y", "X"}});
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0]["Source_of_Variation"].ToString(), "Main Effects");
    EXPECT_EQ(out[0].Num("DF"), 1.0);
    EXPECT_TRUE(out[0].IsNull("Sum_of_Squares"));
    EXPECT_TRUE(AgreesTo(F, out[0].Num("F-Value"), 12));
    EXPECT_TRUE(AgreesTo(fTail(F, 1, 4), out[0].Num("Prob"), 6));
}

// "Index" is an Integer column. Past two compare fields a data field's rows
// are "Main Effects", one main row per compare field, "Interactions", one
// row per pair of compare fields, "Explained", "Residual" and "Total":
// 5 + k + k(k − 1)/2 rows for k compare fields. 255 fields give
// 5 + 255 + 32385 = 32645 rows; 256 give 5 + 256 + 32640 = 32901, more than
// the column counts (32767): the run fails naming the cause, and the
// previous output stays. Each field holds 0 and 1, six of twelve patterns
// each, its pattern starting with 1 (so that no two are complements): any
// two fields meet in all four cells; every pattern is there 44 times, so
// every pair has a cell of more than one record and one degree of freedom,
// and the records (528) outnumber the groups of all compare fields (512),
// which a table needs to be written at all.
TEST_F(AnovaTest, MoreRowsThanTheIndexColumnCountsFailNamingTheCompareFieldsAndTheCount) {
    const struct {
        int fields;
        const char* message; // empty: the run succeeds
    } cases[] = {
        {255, ""},
        {256, "Overflow: 256 compare fields give data field Y 32901 rows in one group, more than the 32767 the "
              "column Index of an analysis-of-variance table counts."},
    };
    // Patterns of 12 bits with six set, the highest among them.
    std::vector<unsigned> patterns;
    for (unsigned p = 0; p < 4096 && patterns.size() < 256; ++p)
        if ((p & 2048u) && std::popcount(p) == 6) patterns.push_back(p);
    ASSERT_EQ(patterns.size(), 256u);
    for (const auto& c : cases) {
        const std::string n = std::to_string(c.fields);
        std::vector<Column> columns;
        vtest::ScenarioSpec s = vtest::ScenarioOn("G", "Two way ANOVA", "Data" + n, "Out" + n);
        for (int f = 0; f < c.fields; ++f) {
            columns.push_back({"C" + std::to_string(f), dbLong});
            s.fields.push_back({"C" + std::to_string(f), "C"});
        }
        columns.push_back({"Y", dbDouble});
        s.fields.push_back({"Y", "X"});
        std::vector<Row> rows;
        for (int r = 0; r < 528; ++r) {
            Row row;
            for (int f = 0; f < c.fields; ++f) row.push_back(Variant(std::int32_t((patterns[static_cast<std::size_t>(f)] >> (r % 12)) & 1u)));
            row.push_back(Variant(double(r * 7 % 11)));
            rows.push_back(row);
        }
        MakeTable("Data" + n, columns, rows);
        MakeTable("Out" + n, {{"Old", dbDouble}}, {{7.0}});
        std::string err;
        const bool ok = Run(Store(s), &err);
        const auto out = ReadTable("Out" + n);
        if (*c.message) {
            EXPECT_FALSE(ok) << c.fields;
            EXPECT_EQ(err, c.message);
            ASSERT_EQ(out.size(), 1u);
            EXPECT_EQ(out[0].Num("Old"), 7.0) << "the previous output stays";
        } else {
            ASSERT_TRUE(ok) << err;
            ASSERT_EQ(out.size(), 32645u);
            for (std::size_t i = 0; i < out.size(); ++i)
                if (out[i].Num("Index") != double(i + 1)) {
                    ADD_FAILURE() << "row " << i << " Index " << out[i].Num("Index");
                    break;
                }
            EXPECT_EQ(out.back()["Source_of_Variation"].ToString(), "Total");
            EXPECT_EQ(out.back().Num("DF"), 527.0);
        }
    }
}
