// "Two Sample t-Test", "ANOVA" and "Two way ANOVA" scenarios through the
// engine, row by row. Expected values come by routes of their own: sums of
// squares by two passes over the data in long double (or exactly, in
// integers, for the data far from zero), the adjusted main effects of
// unbalanced designs by least squares on dummy variables, probabilities by
// closed forms or by integrating the t density.
#include "AnalysisFixture.h"

#include "analyses/group/CAnova.h"

#include <cmath>
#include <map>
#include <numeric>

using namespace dao;
using namespace atest;

namespace {

struct Rec {
    std::string g; // group field ("" when the table has none in use)
    std::string a; // first compare field
    int b = 0;     // second compare field
    double y = 0;
    double w = 1;
};

// P(|T| >= t) for Student's t with df degrees of freedom (df need not be
// whole): 1 − 2∫₀^|t| f(u) du by Simpson's rule on the density.
double tTwoTail(double t, double df) {
    t = std::fabs(t);
    const double c = std::exp(std::lgamma((df + 1) / 2) - std::lgamma(df / 2)) / std::sqrt(df * M_PI);
    auto f = [&](double u) { return c * std::pow(1 + u * u / df, -(df + 1) / 2); };
    const int n = 20000;
    const double h = t / n;
    double s = f(0) + f(t);
    for (int i = 1; i < n; ++i) s += f(i * h) * (i % 2 ? 4 : 2);
    return 1 - 2 * s * h / 3;
}

// Upper tail of F: df1 = 1 through t, df1 = 2 in closed form.
double fTail(double F, double df1, double df2) {
    if (df1 == 1) return tTwoTail(std::sqrt(F), df2);
    if (df1 == 2) return std::pow(1 + 2 * F / df2, -df2 / 2);
    return std::nan("");
}

// Weighted mean and sum of squares about it, two passes.
struct Sums {
    long double n = 0, mean = 0, ss = 0;
};
Sums sums(const std::vector<Rec>& rs) {
    Sums s;
    long double t = 0;
    for (const auto& r : rs) {
        s.n += r.w;
        t += r.w * r.y;
    }
    s.mean = s.n > 0 ? t / s.n : 0;
    for (const auto& r : rs) s.ss += r.w * (r.y - s.mean) * (r.y - s.mean);
    return s;
}

template <class Key>
std::map<Key, std::vector<Rec>> split(const std::vector<Rec>& rs, Key (*key)(const Rec&)) {
    std::map<Key, std::vector<Rec>> m;
    for (const auto& r : rs) m[key(r)].push_back(r);
    return m;
}
std::string byA(const Rec& r) { return r.a; }
int byB(const Rec& r) { return r.b; }
std::pair<std::string, int> byAB(const Rec& r) { return {r.a, r.b}; }

// Between-groups sum of squares.
template <class Key>
long double between(const std::vector<Rec>& rs, Key (*key)(const Rec&)) {
    const long double m = sums(rs).mean;
    long double s = 0;
    for (const auto& [k, g] : split(rs, key)) {
        Sums gs = sums(g);
        s += gs.n * (gs.mean - m) * (gs.mean - m);
    }
    return s;
}

// Residual sum of squares of the additive model y = μ + α(a) + β(b) by
// weighted least squares on dummy variables (normal equations, Gaussian
// elimination with partial pivoting).
long double additiveRss(const std::vector<Rec>& rs) {
    std::map<std::string, int> as;
    std::map<int, int> bs;
    for (const auto& r : rs) {
        as.emplace(r.a, 0);
        bs.emplace(r.b, 0);
    }
    int p = 1;
    for (auto it = std::next(as.begin()); it != as.end(); ++it) it->second = p++;
    for (auto it = std::next(bs.begin()); it != bs.end(); ++it) it->second = p++;
    std::vector<std::vector<long double>> M(p, std::vector<long double>(p + 1, 0));
    auto row = [&](const Rec& r) {
        std::vector<long double> x(p, 0);
        x[0] = 1;
        if (as[r.a]) x[as[r.a]] = 1;
        if (bs[r.b]) x[bs[r.b]] = 1;
        return x;
    };
    for (const auto& r : rs) {
        auto x = row(r);
        for (int i = 0; i < p; ++i) {
            for (int j = 0; j < p; ++j) M[i][j] += r.w * x[i] * x[j];
            M[i][p] += r.w * x[i] * r.y;
        }
    }
    for (int c = 0; c < p; ++c) {
        int piv = c;
        for (int i = c + 1; i < p; ++i)
            if (std::fabs(M[i][c]) > std::fabs(M[piv][c])) piv = i;
        std::swap(M[c], M[piv]);
        for (int i = 0; i < p; ++i) {
            if (i == c) continue;
            long double f = M[i][c] / M[c][c];
            for (int j = c; j <= p; ++j) M[i][j] -= f * M[c][j];
        }
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

vtest::ScenarioSpec groupSpec(const std::string& type, const std::vector<vtest::ScenarioFieldRow>& fields,
                              const std::string& detail = "") {
    vtest::ScenarioSpec s;
    s.analysisType = "G";
    s.subType = type;
    s.inputTable = "Data";
    s.outputTable1 = "Out";
    s.outputTable2 = detail;
    s.options = {{"GroupIgnoreBlanks", true}, {"GroupDetail", !detail.empty()}};
    s.fields = fields;
    return s;
}

// One expected analysis-of-variance row; NaN: Null.
struct AnovaRow {
    std::string label;
    double ss, df, F; // F NaN: no F value
};

class AnovaTest : public AnalysisTest {
protected:
    void makeData(const std::vector<Rec>& rs) {
        std::vector<Row> rows;
        for (const auto& r : rs) rows.push_back({r.g.empty() ? Variant::Null() : Variant(r.g), r.a.empty() ? Variant::Null() : Variant(r.a), Variant(r.b), Variant(r.y), Variant(r.w)});
        MakeTable("Data", {{"G", dbText, 10}, {"A", dbText, 10}, {"B", dbLong}, {"Y", dbDouble}, {"W", dbDouble}},
                  rows);
    }
    std::vector<OutRow> run(const vtest::ScenarioSpec& spec, const std::string& table = "Out") {
        std::string err;
        EXPECT_TRUE(Run(Store(spec), &err)) << err;
        return ReadTable(table);
    }
    // Rows against the expectation; F's probability from the closed forms.
    static void checkAnova(const std::vector<OutRow>& out, std::size_t first, const std::vector<AnovaRow>& want,
                           double dfE, int digits = 12) {
        ASSERT_GE(out.size(), first + want.size());
        for (std::size_t i = 0; i < want.size(); ++i) {
            const OutRow& r = out[first + i];
            const AnovaRow& w = want[i];
            SCOPED_TRACE(w.label);
            EXPECT_EQ(r["Source_of_Variation"].ToString(), w.label);
            EXPECT_EQ(r.Num("Index"), static_cast<double>(i + 1));
            EXPECT_EQ(r.Num("DF"), w.df);
            if (std::isnan(w.ss)) {
                EXPECT_TRUE(r.IsNull("Sum_of_Squares"));
                EXPECT_TRUE(r.IsNull("Mean_Square"));
            } else {
                EXPECT_TRUE(std::fabs(w.ss) < 1e-9 ? std::fabs(r.Num("Sum_of_Squares")) < 1e-9
                                                   : AgreesTo(w.ss, r.Num("Sum_of_Squares"), digits));
                if (w.df > 0) {
                    EXPECT_TRUE(AgreesTo(w.ss / w.df, r.Num("Mean_Square"), digits) || std::fabs(w.ss) < 1e-9);
                }
                else EXPECT_TRUE(r.IsNull("Mean_Square"));
            }
            if (std::isnan(w.F)) {
                EXPECT_TRUE(r.IsNull("F-Value"));
                EXPECT_TRUE(r.IsNull("Prob"));
            } else {
                EXPECT_TRUE(AgreesTo(w.F, r.Num("F-Value"), digits));
                // Probabilities where a closed form is at hand (numerator DF 1 or 2).
                const double p = fTail(w.F, w.df, dfE);
                if (!std::isnan(p)) {
                    EXPECT_TRUE(AgreesTo(p, r.Num("Prob"), 6));
                }
            }
        }
    }
};

const double kNone = std::nan("");

} // namespace

// ---- one-way --------------------------------------------------------------------------------

TEST_F(AnovaTest, OneWayTableAndGroupDetailOfThreeGroupsOfTwoThreeAndFour) {
    // A: 2, 4; B: 3, 5, 7; C: 6, 8, 9, 13.
    std::vector<Rec> rs = {{"", "A", 0, 2},  {"", "B", 0, 3},  {"", "C", 0, 6}, {"", "A", 0, 4}, {"", "B", 0, 5},
                           {"", "C", 0, 8},  {"", "B", 0, 7},  {"", "C", 0, 9}, {"", "C", 0, 13}};
    makeData(rs);
    auto out = run(groupSpec("ANOVA", {{"A", "C"}, {"Y", "X"}}, "Det"));
    EXPECT_EQ(ColumnNames("Out"), (std::vector<std::string>{"DataField", "Index", "Source_of_Variation", "Sum_of_Squares",
                                                             "DF", "Mean_Square", "F-Value", "Prob"}));
    const double ssb = static_cast<double>(between(rs, byA)), sst = static_cast<double>(sums(rs).ss);
    const double sse = sst - ssb, F = (ssb / 2) / (sse / 6);
    ASSERT_EQ(out.size(), 4u);
    checkAnova(out, 0, {{"Main Effects", ssb, 2, F}, {"Main: [A]", ssb, 2, F}, {"Residual", sse, 6, kNone},
                        {"Total", sst, 8, kNone}},
               6);
    EXPECT_EQ(out[0]["DataField"].ToString(), "Y");

    EXPECT_EQ(ColumnNames("Det"), (std::vector<std::string>{"A", "DataField", "Count", "Mean", "Minimum", "Maximum",
                                                             "Range", "Sum", "Variance", "CoeffOfVariance",
                                                             "StdDeviation", "StdError"}));
    auto det = ReadTable("Det");
    ASSERT_EQ(det.size(), 3u);
    // Per group: n, mean, min, max, sum, Σ(x − mean)², by hand.
    const struct {
        const char* g;
        double n, mean, lo, hi, sum, ss;
    } want[] = {{"A", 2, 3, 2, 4, 6, 2}, {"B", 3, 5, 3, 7, 15, 8}, {"C", 4, 9, 6, 13, 36, 26}};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& w = want[i];
        const OutRow& r = det[i];
        SCOPED_TRACE(w.g);
        EXPECT_EQ(r["A"].ToString(), w.g);
        const double var = w.ss / (w.n - 1);
        for (auto [col, v] : std::vector<std::pair<const char*, double>>{
                 {"Count", w.n}, {"Mean", w.mean}, {"Minimum", w.lo}, {"Maximum", w.hi}, {"Range", w.hi - w.lo},
                 {"Sum", w.sum}, {"Variance", var}, {"StdDeviation", std::sqrt(var)},
                 {"CoeffOfVariance", std::sqrt(var) / w.mean}, {"StdError", std::sqrt(var / w.n)}})
            EXPECT_TRUE(AgreesTo(v, r.Num(col), 14)) << col;
    }
}

TEST_F(AnovaTest, OneWaySumsOfSquaresKeepTheirDigitsFarFromZero) {
    // Group means 10^12 and more above a spread of about 1: values
    // offset + k with k small integers. Exact sums from the integers k alone
    // (the offset drops out of every sum of squares).
    const struct {
        double offset;
        const char* why;
    } cases[] = {{1e12, "means 10^12 times the spread"}, {4.5e11, "half-integer offset"}, {0, "no offset"}};
    const std::vector<std::pair<std::string, std::vector<long long>>> groups = {
        {"A", {1, 2, 3, 4}}, {"B", {2, 4, 5}}, {"C", {7, 8, 9, 9, 10}}};
    int run_ = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<Rec> rs;
        for (const auto& [g, ks] : groups)
            for (long long k : ks) rs.push_back({"", g, 0, c.offset + static_cast<double>(k)});
        const std::string table = "Data" + std::to_string(run_), out = "Out" + std::to_string(run_++);
        std::vector<Row> rows;
        for (const auto& r : rs) rows.push_back({Variant(r.a), Variant(r.y)});
        MakeTable(table, {{"A", dbText, 5}, {"Y", dbDouble}}, rows);
        // Exact: N·SS = N·Σk² − (Σk)², per group and in total, as integers.
        long long N = 0, S = 0, Q = 0;
        long double within = 0;
        for (const auto& [g, ks] : groups) {
            long long n = 0, s = 0, q = 0;
            for (long long k : ks) {
                ++n;
                s += k;
                q += k * k;
            }
            within += static_cast<long double>(n * q - s * s) / n;
            N += n;
            S += s;
            Q += q;
        }
        const long double total = static_cast<long double>(N * Q - S * S) / N;
        const double ssb = static_cast<double>(total - within), sse = static_cast<double>(within);
        const double dfE = static_cast<double>(N - 3);
        auto spec = groupSpec("ANOVA", {{"A", "C"}, {"Y", "X"}});
        spec.inputTable = table;
        spec.outputTable1 = out;
        auto rows_ = run(spec, out);
        ASSERT_EQ(rows_.size(), 4u);
        checkAnova(rows_, 0, {{"Main Effects", ssb, 2, (ssb / 2) / (sse / dfE)},
                              {"Main: [A]", ssb, 2, (ssb / 2) / (sse / dfE)},
                              {"Residual", sse, dfE, kNone},
                              {"Total", static_cast<double>(total), static_cast<double>(N - 1), kNone}},
                   dfE, 9);
    }
}

TEST_F(AnovaTest, FIsNotComputedForARowWithoutDegreesOfFreedom) {
    // Output group "x" has only compare group A: the main effect has DF 0.
    makeData({{"x", "A", 0, 1}, {"x", "A", 0, 3}, {"y", "A", 0, 1}, {"y", "B", 0, 5}, {"y", "B", 0, 7}});
    auto out = run(groupSpec("ANOVA", {{"G", "G"}, {"A", "C"}, {"Y", "X"}}));
    ASSERT_EQ(out.size(), 8u);
    checkAnova(out, 0, {{"Main Effects", 0, 0, kNone}, {"Main: [A]", 0, 0, kNone}, {"Residual", 2, 1, kNone},
                        {"Total", 2, 1, kNone}},
               1);
    // y: means 1 and 6 (n 1 and 2), grand 13/3: SSB = 1·(10/3)² + 2·(5/3)² = 50/3, SSE = 2.
    checkAnova(out, 4, {{"Main Effects", 50.0 / 3, 1, (50.0 / 3) / 2}, {"Main: [A]", 50.0 / 3, 1, (50.0 / 3) / 2},
                        {"Residual", 2, 1, kNone}, {"Total", 50.0 / 3 + 2, 2, kNone}},
               1);
}

// ---- two-way --------------------------------------------------------------------------------

TEST_F(AnovaTest, TwoWayTables) {
    // Each case: records (a, b, y, w), and the expected rows worked out from
    // the cells (balanced) or by least squares (unbalanced).
    struct Case {
        const char* why;
        std::vector<Rec> recs;
        bool pairRow;
    };
    auto grid = [](std::vector<std::vector<std::vector<double>>> cells) {
        std::vector<Rec> rs;
        for (std::size_t i = 0; i < cells.size(); ++i)
            for (std::size_t j = 0; j < cells[i].size(); ++j)
                for (double y : cells[i][j]) rs.push_back({"", std::string(1, char('P' + i)), int(j + 1), y});
        return rs;
    };
    std::vector<Case> cases = {
        {"balanced 2 x 3 with two records per cell",
         grid({{{4, 6}, {8, 10}, {5, 9}}, {{7, 7}, {12, 16}, {3, 1}}}), true},
        {"unbalanced 2 x 3 with replication",
         grid({{{4, 6, 5}, {8}, {5, 9}}, {{7, 7}, {12, 16, 14, 11}, {3, 1}}}), true},
        {"an empty cell", grid({{{4, 6, 5}, {8, 9}, {}}, {{7, 7}, {12, 16, 14}, {3, 1}}}), true},
        {"one record per cell", grid({{{4}, {8}, {5}}, {{7}, {12}, {3}}}), false},
        {"one record per cell, weighted", {}, false},
    };
    cases[4].recs = cases[3].recs;
    for (std::size_t i = 0; i < cases[4].recs.size(); ++i) cases[4].recs[i].w = 1 + static_cast<double>(i % 3);

    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string table = "Data" + std::to_string(n), outName = "Out" + std::to_string(n++);
        std::vector<Row> rows;
        for (const auto& r : c.recs) rows.push_back({Variant(r.a), Variant(r.b), Variant(r.y), Variant(r.w)});
        MakeTable(table, {{"A", dbText, 5}, {"B", dbLong}, {"Y", dbDouble}, {"W", dbDouble}}, rows);
        auto spec = groupSpec("Two way ANOVA", {{"A", "C"}, {"B", "C"}, {"Y", "X"}, {"W", "W"}});
        spec.inputTable = table;
        spec.outputTable1 = outName;
        auto out = run(spec, outName);

        const Sums all = sums(c.recs);
        const long double sst = all.ss, ssA = between(c.recs, byA), ssB = between(c.recs, byB);
        const long double cells = between(c.recs, byAB);
        const long double reduction = sst - additiveRss(c.recs); // main effects fitted together
        const double ka = static_cast<double>(split(c.recs, byA).size()), kb = static_cast<double>(split(c.recs, byB).size());
        const double m = static_cast<double>(split(c.recs, byAB).size());
        const double dfA = ka - 1, dfB = kb - 1, dfI = c.pairRow ? (ka - 1) * (kb - 1) - (ka * kb - m) : 0;
        const double N = static_cast<double>(all.n);
        const double dfE = N - 1 - dfA - dfB - dfI;
        const long double sse = c.pairRow ? sst - cells : sst - reduction;
        const long double ssI = c.pairRow ? cells - reduction : 0;
        const double mse = static_cast<double>(sse) / dfE;
        auto F = [&](long double ss, double df) { return static_cast<double>(ss) / df / mse; };
        std::vector<AnovaRow> want = {{"Main Effects", double(reduction), dfA + dfB, F(reduction, dfA + dfB)},
                                      {"Main: [A]", double(reduction - ssB), dfA, F(reduction - ssB, dfA)},
                                      {"Main: [B]", double(reduction - ssA), dfB, F(reduction - ssA, dfB)}};
        if (c.pairRow) want.push_back({"[A] & [B]", double(ssI), dfI, F(ssI, dfI)});
        want.push_back({"Explained", double(sst - sse), N - 1 - dfE, F(sst - sse, N - 1 - dfE)});
        want.push_back({"Residual", double(sse), dfE, kNone});
        want.push_back({"Total", double(sst), N - 1, kNone});
        ASSERT_EQ(out.size(), want.size());
        checkAnova(out, 0, want, dfE, 11);
    }
}

TEST_F(AnovaTest, ALevelWithoutWeightInAnOutputGroupIsDroppedFromTheFit) {
    // B has levels 1, 2, 3 over the table; output group "y" has no record of
    // level 3. Its rows must equal those of a table holding group y alone.
    std::vector<Rec> x = {{"x", "P", 1, 4}, {"x", "P", 2, 8}, {"x", "P", 3, 1}, {"x", "Q", 1, 5},
                          {"x", "Q", 2, 9}, {"x", "Q", 3, 2}, {"x", "P", 1, 6}};
    std::vector<Rec> y = {{"y", "P", 1, 4}, {"y", "P", 1, 6}, {"y", "P", 2, 8},  {"y", "Q", 1, 7},
                          {"y", "Q", 2, 12}, {"y", "Q", 2, 16}, {"y", "Q", 2, 13}, {"y", "P", 2, 11}};
    std::vector<Rec> both = x;
    both.insert(both.end(), y.begin(), y.end());
    makeData(both);
    auto out = run(groupSpec("Two way ANOVA", {{"G", "G"}, {"A", "C"}, {"B", "C"}, {"Y", "X"}}));
    std::vector<OutRow> ys;
    for (const auto& r : out)
        if (r["G"].ToString() == "y") ys.push_back(r);
    const long double sst = sums(y).ss, cells = between(y, byAB), red = sst - additiveRss(y);
    const long double ssA = between(y, byA), ssB = between(y, byB), sse = sst - cells;
    const double dfE = 8 - 1 - 1 - 1 - 1;
    auto F = [&](long double ss, double df) { return static_cast<double>(ss / df / (sse / dfE)); };
    ASSERT_EQ(ys.size(), 7u);
    checkAnova(ys, 0, {{"Main Effects", double(red), 2, F(red, 2)}, {"Main: [A]", double(red - ssB), 1, F(red - ssB, 1)},
                       {"Main: [B]", double(red - ssA), 1, F(red - ssA, 1)},
                       {"[A] & [B]", double(cells - red), 1, F(cells - red, 1)}},
               dfE, 11);
}

TEST_F(AnovaTest, ASingularDesignWritesNullWhereTheFitIsUndefined) {
    // Cells (P, 1) and (Q, 2) only: the two factors cannot be told apart.
    makeData({{"", "P", 1, 1}, {"", "P", 1, 3}, {"", "Q", 2, 6}, {"", "Q", 2, 10}});
    auto out = run(groupSpec("Two way ANOVA", {{"A", "C"}, {"B", "C"}, {"Y", "X"}}));
    // DF of the pair: 1·1 − (4 − 2) < 0, no row. Residual within cells: 2 + 8.
    ASSERT_EQ(out.size(), 6u);
    checkAnova(out, 0, {{"Main Effects", kNone, 2, kNone}, {"Main: [A]", kNone, 1, kNone},
                        {"Main: [B]", kNone, 1, kNone}},
               2);
    EXPECT_EQ(out[3]["Source_of_Variation"].ToString(), "Explained");
    EXPECT_EQ(out[4]["Source_of_Variation"].ToString(), "Residual");
    EXPECT_DOUBLE_EQ(out[4].Num("Sum_of_Squares"), 10.0);
    EXPECT_DOUBLE_EQ(out[5].Num("Sum_of_Squares"), 10.0 + 4 * 3.0 * 3.0);
}

TEST_F(AnovaTest, SourceOfVariationHoldsThePairLabelOfLongFieldNames) {
    const std::string a(64, 'a'), b(63, 'b');
    std::vector<Row> rows;
    for (int i = 0; i < 8; ++i) rows.push_back({Variant(i % 2), Variant(i / 4), Variant(double(i * i % 7))});
    MakeTable("Data", {{a, dbLong}, {b, dbLong}, {"Y", dbDouble}}, rows);
    auto out = run(groupSpec("Two way ANOVA", {{a, "C"}, {b, "C"}, {"Y", "X"}}));
    ASSERT_EQ(out.size(), 7u);
    EXPECT_EQ(out[3]["Source_of_Variation"].ToString(), "[" + a + "] & [" + b + "]");
    EXPECT_EQ(out[1]["Source_of_Variation"].ToString(), "Main: [" + a + "]");
}

TEST_F(AnovaTest, ThreeFactorsWriteAnInteractionsRowAndThreePairs) {
    std::vector<Row> rows;
    for (int i = 0; i < 16; ++i) rows.push_back({Variant(i % 2), Variant((i / 2) % 2), Variant((i / 4) % 2), Variant(double(i * 7 % 11))});
    MakeTable("Data", {{"A", dbLong}, {"B", dbLong}, {"C", dbLong}, {"Y", dbDouble}}, rows);
    auto out = run(groupSpec("Two way ANOVA", {{"A", "C"}, {"B", "C"}, {"C", "C"}, {"Y", "X"}}));
    std::vector<std::string> labels;
    for (const auto& r : out) labels.push_back(r["Source_of_Variation"].ToString());
    EXPECT_EQ(labels, (std::vector<std::string>{"Main Effects", "Main: [A]", "Main: [B]", "Main: [C]", "Interactions",
                                                "[A] & [B]", "[A] & [C]", "[B] & [C]", "Explained", "Residual",
                                                "Total"}));
    // Interactions carry the pairs' totals.
    EXPECT_NEAR(out[4].Num("Sum_of_Squares"),
                out[5].Num("Sum_of_Squares") + out[6].Num("Sum_of_Squares") + out[7].Num("Sum_of_Squares"), 1e-9);
    EXPECT_EQ(out[4].Num("DF"), 3.0);
}

// ---- t-test ---------------------------------------------------------------------------------

TEST_F(AnovaTest, TTestPooledAndSeparateForEveryPairOfGroups) {
    const struct {
        const char* why;
        double offset;
        bool weighted;
    } cases[] = {{"plain", 0, false}, {"means 10^12 times the spread", 1e12, false}, {"weighted", 0, true}};
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<Rec> rs = {{"", "A", 0, 1}, {"", "A", 0, 2}, {"", "A", 0, 4}, {"", "B", 0, 3},  {"", "B", 0, 7},
                               {"", "C", 0, 2}, {"", "C", 0, 9}, {"", "C", 0, 8}, {"", "C", 0, 12}, {"", "A", 0, 5}};
        for (std::size_t i = 0; i < rs.size(); ++i) {
            rs[i].y += c.offset;
            if (c.weighted) rs[i].w = 0.5 + static_cast<double>(i % 3);
        }
        const std::string table = "Data" + std::to_string(n), outName = "Out" + std::to_string(n++);
        std::vector<Row> rows;
        for (const auto& r : rs) rows.push_back({Variant(r.a), Variant(r.y), Variant(r.w)});
        MakeTable(table, {{"A", dbText, 5}, {"Y", dbDouble}, {"W", dbDouble}}, rows);
        std::vector<vtest::ScenarioFieldRow> f = {{"A", "C"}, {"Y", "X"}};
        if (c.weighted) f.push_back({"W", "W"});
        auto spec = groupSpec("Two Sample t-Test", f);
        spec.inputTable = table;
        spec.outputTable1 = outName;
        auto out = run(spec, outName);
        EXPECT_EQ(ColumnNames(outName),
                  (std::vector<std::string>{"DataField", "A-1", "A-2", "Count-1", "Count-2", "Mean-1", "Mean-2",
                                            "Mean_Diff", "StdDeviation-1", "StdDeviation-2", "StdError-1",
                                            "StdError-2", "DF_Pooled", "t-Value_Pooled", "Prob_(2-tail)_Pooled",
                                            "DF_Separate", "t-Value_Separate", "Prob_(2-tail)_Separate"}));
        auto g = split(rs, byA);
        const std::pair<const char*, const char*> order[] = {{"A", "B"}, {"A", "C"}, {"B", "C"}};
        ASSERT_EQ(out.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(std::string(order[i].first) + order[i].second);
            const OutRow& r = out[i];
            // Means and sums of squares of the small parts (the offset taken off exactly).
            auto stats = [&](const char* k) {
                std::vector<Rec> v = g[k];
                for (auto& e : v) e.y -= c.offset;
                return sums(v);
            };
            const Sums A = stats(order[i].first), B = stats(order[i].second);
            EXPECT_EQ(r["A-1"].ToString(), order[i].first);
            EXPECT_EQ(r["A-2"].ToString(), order[i].second);
            const double nA = double(A.n), nB = double(B.n);
            const double vA = double(A.ss / (A.n - 1)), vB = double(B.ss / (B.n - 1));
            const double diff = double(A.mean - B.mean);
            const double sp2 = double((A.ss + B.ss) / (A.n + B.n - 2));
            const double tP = diff / std::sqrt(sp2 / nA + sp2 / nB), dfP = nA + nB - 2;
            const double q = vA / nA + vB / nB, tS = diff / std::sqrt(q);
            const double dfS = q * q / ((vA / nA) * (vA / nA) / (nA - 1) + (vB / nB) * (vB / nB) / (nB - 1));
            for (auto [col, v] : std::vector<std::pair<const char*, double>>{
                     {"Count-1", nA}, {"Count-2", nB}, {"Mean_Diff", diff}, {"StdDeviation-1", std::sqrt(vA)},
                     {"StdDeviation-2", std::sqrt(vB)}, {"StdError-1", std::sqrt(vA / nA)},
                     {"StdError-2", std::sqrt(vB / nB)}, {"DF_Pooled", dfP}, {"t-Value_Pooled", tP},
                     {"DF_Separate", dfS}, {"t-Value_Separate", tS}})
                EXPECT_TRUE(AgreesTo(v, r.Num(col), 10)) << col;
            EXPECT_TRUE(AgreesTo(double(A.mean) + c.offset, r.Num("Mean-1"), 14));
            EXPECT_TRUE(AgreesTo(tTwoTail(tP, dfP), r.Num("Prob_(2-tail)_Pooled"), 6));
            EXPECT_TRUE(AgreesTo(tTwoTail(tS, dfS), r.Num("Prob_(2-tail)_Separate"), 6));
        }
    }
}

TEST_F(AnovaTest, TTestLeavesOutGroupsOfWeightOneAndNullsTestsOfConstantGroups) {
    // B: two records of weight 0.5 (n = 1): no pair. A and C: constant values.
    makeData({{"", "A", 0, 3, 1}, {"", "A", 0, 3, 2}, {"", "B", 0, 1, 0.5}, {"", "B", 0, 9, 0.5},
              {"", "C", 0, 5, 1}, {"", "C", 0, 5, 1}});
    auto out = run(groupSpec("Two Sample t-Test", {{"A", "C"}, {"Y", "X"}, {"W", "W"}}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0]["A-1"].ToString(), "A");
    EXPECT_EQ(out[0]["A-2"].ToString(), "C");
    EXPECT_EQ(out[0].Num("Count-1"), 3.0);
    EXPECT_EQ(out[0].Num("Mean_Diff"), -2.0);
    EXPECT_EQ(out[0].Num("StdDeviation-1"), 0.0);
    for (const char* col : {"DF_Pooled", "t-Value_Pooled", "Prob_(2-tail)_Pooled", "DF_Separate", "t-Value_Separate",
                            "Prob_(2-tail)_Separate"})
        EXPECT_TRUE(out[0].IsNull(col)) << col;
}

TEST_F(AnovaTest, TTestWithMoreThanOneCompareFieldIsRefused) {
    makeData({{"", "A", 1, 3}, {"", "B", 2, 4}});
    std::string err;
    EXPECT_FALSE(Run(Store(groupSpec("Two Sample t-Test", {{"A", "C"}, {"B", "C"}, {"Y", "X"}})), &err));
    EXPECT_EQ(err, "The Two Sample t-Test takes exactly one Compare field");
    EXPECT_FALSE(TableExists("Out"));
}

// ---- the fitting constants alone ------------------------------------------------------------

TEST(AnovaFit, TwoWayReductionAgainstLeastSquares) {
    // Centred cell totals of an unbalanced 3 x 2 design with one empty level
    // of A (level 1) that must not make the system singular.
    const struct {
        int a, b;
        double mean, w;
    } cells[] = {{0, 0, 1.5, 2}, {0, 1, -2, 3}, {2, 0, 4, 1}, {2, 1, 0.5, 4}, {3, 0, -1, 2}};
    std::vector<CAnova::PairCell> pc;
    std::vector<Rec> rs;
    long double tot = 0, wt = 0;
    for (const auto& c : cells) {
        tot += c.mean * c.w;
        wt += c.w;
    }
    const double grand = static_cast<double>(tot / wt);
    for (const auto& c : cells) {
        pc.push_back({c.a, c.b, (c.mean - grand) * c.w, c.w});
        rs.push_back({"", std::to_string(c.a), c.b, c.mean, c.w});
    }
    auto R = CAnova::CalcTwoWayAdjust(4, 2, pc, nullptr);
    ASSERT_TRUE(R.has_value());
    // The reduction: total SS of the cell means less the additive model's residual.
    EXPECT_TRUE(AgreesTo(static_cast<double>(sums(rs).ss - additiveRss(rs)), *R, 12));
}

TEST_F(AnovaTest, BlanksFormAGroupUnlessIgnored) {
    // A Null compare value: with blanks kept it is a group of its own.
    makeData({{"", "A", 0, 1}, {"", "A", 0, 3}, {"", "B", 0, 6}, {"", "B", 0, 8}, {"", "", 0, 20}, {"", "", 0, 22}});
    const struct {
        bool ignore;
        double ssb, dfMain, total;
    } cases[] = {
        // Groups A, B: means 2 and 7, grand 4.5: SSB = 4·2.5² = 25; SSE = 4.
        {true, 25, 1, 29},
        // Groups Null, A, B: means 21, 2, 7, grand 10: SSB = 2·(11² + 8² + 3²) = 388; SSE = 6.
        {false, 388, 2, 394},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ignore ? "blanks ignored" : "blanks kept");
        auto spec = groupSpec("ANOVA", {{"A", "C"}, {"Y", "X"}}, "Det");
        spec.options = {{"GroupIgnoreBlanks", c.ignore}, {"GroupDetail", true}};
        auto out = run(spec);
        ASSERT_EQ(out.size(), 4u);
        EXPECT_DOUBLE_EQ(out[1].Num("Sum_of_Squares"), c.ssb);
        EXPECT_EQ(out[1].Num("DF"), c.dfMain);
        EXPECT_DOUBLE_EQ(out[3].Num("Sum_of_Squares"), c.total);
        auto det = ReadTable("Det");
        ASSERT_EQ(det.size(), c.ignore ? 2u : 3u);
        if (!c.ignore) {
            EXPECT_TRUE(det[0].IsNull("A")); // Null sorts first
            EXPECT_EQ(det[0].Num("Mean"), 21.0);
        }
    }
}

TEST_F(AnovaTest, DetailTableOfSeveralCompareFieldsListsEveryFieldsGroups) {
    // Weighted: Count is the weight sum, Observations the records.
    makeData({{"", "P", 1, 2, 1}, {"", "P", 2, 4, 3}, {"", "Q", 1, 6, 1}, {"", "Q", 2, 8, 1}, {"", "Q", 2, 10, 2}});
    run(groupSpec("Two way ANOVA", {{"A", "C"}, {"B", "C"}, {"Y", "X"}, {"W", "W"}}, "Det"));
    EXPECT_EQ(ColumnNames("Det"),
              (std::vector<std::string>{"DataField", "Observations", "Compare_Field", "Compare_Value", "Count", "Mean",
                                        "Minimum", "Maximum", "Range", "Sum", "Variance", "CoeffOfVariance",
                                        "StdDeviation", "StdError"}));
    auto det = ReadTable("Det");
    // field, value (as text: a text and a number field share a text column), weight, records, mean
    const struct {
        const char* field;
        const char* value;
        double count, obs, mean;
    } want[] = {{"A", "P", 4, 2, 14.0 / 4}, {"A", "Q", 4, 3, 34.0 / 4}, {"B", "1", 2, 2, 4}, {"B", "2", 6, 3, 40.0 / 6}};
    ASSERT_EQ(det.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(det[i]["Compare_Field"].ToString(), want[i].field);
        EXPECT_EQ(det[i]["Compare_Value"].ToString(), want[i].value);
        EXPECT_EQ(det[i].Num("Count"), want[i].count);
        EXPECT_EQ(det[i].Num("Observations"), want[i].obs);
        EXPECT_TRUE(AgreesTo(want[i].mean, det[i].Num("Mean"), 14));
    }
}
