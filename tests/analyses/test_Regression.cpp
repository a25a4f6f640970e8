// "Regression" scenarios (simple, multiple, polynomial) through the engine on
// real database files: every column of the statistics and residual tables
// against the weighted least-squares answer worked out in exact rational
// arithmetic here (normal equations solved over the rationals), and the
// probabilities against closed forms of Student's t and F for whole degrees
// of freedom; the faults mended each have a test named after them.
#include "Exact.h"
#include "RegressionFixture.h"

#include <cmath>
#include <functional>
#include <algorithm>
#include <numeric>

using namespace dao;
using namespace atest;

namespace {

// ---- exact arithmetic -----------------------------------------------------------------------

struct Q {
    Int128 n = 0, d = 1;
    Q() = default;
    Q(long long v) : n(v) {} // NOLINT: an integer is a rational
    Q(Int128 a, Int128 b) : n(a), d(b) { norm(); }
    void norm() {
        if (d < 0) n = -n, d = -d;
        Int128 a = n < 0 ? -n : n, b = d;
        while (b) a %= b, std::swap(a, b);
        if (a > 1) n /= a, d /= a;
    }
    double D() const { return static_cast<double>(static_cast<long double>(n) / static_cast<long double>(d)); }
    friend Q operator+(Q a, Q b) { return {a.n * b.d + b.n * a.d, a.d * b.d}; }
    friend Q operator-(Q a, Q b) { return {a.n * b.d - b.n * a.d, a.d * b.d}; }
    friend Q operator*(Q a, Q b) { return {a.n * b.n, a.d * b.d}; }
    friend Q operator/(Q a, Q b) { return {a.n * b.d, a.d * b.n}; }
};

// Weighted least squares of y on the columns of X (and a constant first when
// yint), solved exactly. b[0] is the intercept (0 without one), b[j] slope j.
struct ExactFit {
    std::vector<Q> b, v; // coefficients and their variance factors (diagonal of the inverse)
    Q sse, sst, n;
    std::vector<Q> ssx;  // per slope: its sum of squares (centred with an intercept)
    int p = 0;
    bool yint = true;
    double df() const { return n.D() - p - (yint ? 1 : 0); }
    double se(std::size_t j) const { return std::sqrt(v[j].D() * sse.D() / df()); }
    Q fitted(const std::vector<Q>& x) const { // at the regressors x
        Q f = b[0];
        for (std::size_t j = 1; j <= x.size(); ++j) f = f + b[j] * x[j - 1];
        return f;
    }
};

std::vector<Q> solve(std::vector<std::vector<Q>> A, std::vector<Q> r) {
    const std::size_t m = r.size();
    for (std::size_t i = 0; i < m; ++i) {
        std::size_t piv = i;
        while (A[piv][i].n == 0) ++piv;
        std::swap(A[i], A[piv]);
        std::swap(r[i], r[piv]);
        for (std::size_t k = 0; k < m; ++k) {
            if (k == i || A[k][i].n == 0) continue;
            Q f = A[k][i] / A[i][i];
            for (std::size_t j = 0; j < m; ++j) A[k][j] = A[k][j] - f * A[i][j];
            r[k] = r[k] - f * r[i];
        }
    }
    for (std::size_t i = 0; i < m; ++i) r[i] = r[i] / A[i][i];
    return r;
}

ExactFit exactFit(const std::vector<std::vector<Q>>& X, const std::vector<Q>& y, const std::vector<Q>& w, bool yint) {
    ExactFit F;
    F.p = static_cast<int>(X[0].size());
    F.yint = yint;
    const std::size_t m = X[0].size() + (yint ? 1 : 0);
    auto row = [&](std::size_t r) {
        std::vector<Q> v;
        if (yint) v.push_back(1);
        for (const Q& x : X[r]) v.push_back(x);
        return v;
    };
    std::vector<std::vector<Q>> A(m, std::vector<Q>(m));
    std::vector<Q> rhs(m);
    Q sy, syy;
    for (std::size_t r = 0; r < y.size(); ++r) {
        auto v = row(r);
        for (std::size_t i = 0; i < m; ++i) {
            for (std::size_t j = 0; j < m; ++j) A[i][j] = A[i][j] + w[r] * v[i] * v[j];
            rhs[i] = rhs[i] + w[r] * v[i] * y[r];
        }
        F.n = F.n + w[r];
        sy = sy + w[r] * y[r];
        syy = syy + w[r] * y[r] * y[r];
    }
    auto c = solve(A, rhs);
    F.b.assign(static_cast<std::size_t>(F.p) + 1, Q());
    F.v.assign(static_cast<std::size_t>(F.p) + 1, Q());
    for (std::size_t i = 0; i < m; ++i) {
        std::vector<Q> e(m);
        e[i] = 1;
        const std::size_t k = yint ? i : i + 1;
        F.b[k] = c[i];
        F.v[k] = solve(A, e)[i];
    }
    for (std::size_t r = 0; r < y.size(); ++r) {
        auto v = row(r);
        Q fit;
        for (std::size_t i = 0; i < m; ++i) fit = fit + c[i] * v[i];
        F.sse = F.sse + w[r] * (y[r] - fit) * (y[r] - fit);
    }
    F.sst = yint ? syy - sy * sy / F.n : syy;
    for (int j = 0; j < F.p; ++j) {
        Q s, s2;
        for (std::size_t r = 0; r < y.size(); ++r) {
            s = s + w[r] * X[r][static_cast<std::size_t>(j)];
            s2 = s2 + w[r] * X[r][static_cast<std::size_t>(j)] * X[r][static_cast<std::size_t>(j)];
        }
        F.ssx.push_back(yint ? s2 - s * s / F.n : s2);
    }
    return F;
}
// Unweighted, with an intercept.
ExactFit exactFit(const std::vector<std::vector<Q>>& X, const std::vector<Q>& y) {
    return exactFit(X, y, std::vector<Q>(y.size(), Q(1)), true);
}

// Two-tailed P(|T| >= t) for whole degrees of freedom (Abramowitz and Stegun 26.7.3 and 26.7.4).
double tTwoTailed(double t, int df) {
    const long double pi = 3.14159265358979323846264338327950288L;
    const long double th = std::atan(std::fabs(t) / std::sqrt(static_cast<long double>(df)));
    const long double c = std::cos(th), s = std::sin(th);
    long double A;
    if (df % 2 == 1) {
        long double sum = 0, term = c;
        for (int k = 1; k <= (df - 3) / 2 + 1 && df > 1; ++k) {
            sum += term;
            term *= c * c * (2.0L * k) / (2.0L * k + 1);
        }
        A = 2 / pi * (th + s * sum);
    } else {
        long double sum = 0, term = 1;
        for (int k = 1; k <= df / 2; ++k) {
            sum += term;
            term *= c * c * (2.0L * k - 1) / (2.0L * k);
        }
        A = s * sum;
    }
    return static_cast<double>(1 - A);
}

// Upper tail of F with 1 or 2 numerator degrees of freedom.
double fUpper(double f, int d1, int d2) {
    if (d1 == 1) return tTwoTailed(std::sqrt(f), d2);
    return std::pow(d2 / (d2 + 2.0 * f), d2 / 2.0); // d1 = 2
}

double pow10(int e) { return std::stod("1e" + std::to_string(e)); }

// Checks one statistics row against the exact fit; `xNames` names the X
// fields of a multiple regression. Data scaled by powers of ten (X j by
// 10^eX[j − 1], Y by 10^eY) have the fit of the integers with each
// coefficient and standard error times 10^(eY − eX) (the intercept's times
// 10^eY), the sums of squares times 10^(2·eY) (0 below the smallest double),
// and every ratio (t, its probability, β, R², F) the integers' own.
void checkRow(const OutRow& r, const ExactFit& F, const std::string& kind, const std::vector<std::string>& xNames,
              const std::string& what, const std::vector<int>& eX = {}, int eY = 0) {
    SCOPED_TRACE(what);
    const double df = F.df(), sse = F.sse.D(), sst = F.sst.D();
    const int p = F.p;
    for (int j = F.yint ? 0 : 1; j <= p; ++j) {
        const std::size_t J = static_cast<std::size_t>(j);
        const std::string x = kind == "M" && j > 0 ? xNames[J - 1] : "";
        const double unit = pow10(eY - (j > 0 && !eX.empty() ? eX[J - 1] : 0));
        const double b = F.b[J].D(), se = F.se(J);
        EXPECT_TRUE(AgreesTo(b * unit, r.Num(CoefColumn(kind, "Coef", j, x)), 12)) << j;
        EXPECT_TRUE(AgreesTo(se * unit, r.Num(CoefColumn(kind, "SE", j, x)), 12)) << j;
        EXPECT_TRUE(AgreesTo(b / se, r.Num(CoefColumn(kind, "t-Value", j, x)), 12)) << j;
        EXPECT_TRUE(AgreesTo(tTwoTailed(b / se, static_cast<int>(df)), r.Num(CoefColumn(kind, "Prob", j, x)), 8)) << j;
        if (j > 0) {
            EXPECT_TRUE(AgreesTo(b * std::sqrt(F.ssx[J - 1].D() / sst), r.Num(CoefColumn(kind, "Beta", j, x)), 12)) << j;
        }
    }
    const double r2 = 1 - sse / sst, n = F.n.D();
    EXPECT_TRUE(AgreesTo(r2, r.Num("R-Square"), 12));
    EXPECT_TRUE(AgreesTo(std::sqrt(r2), r.Num("Multiple_R"), 12));
    EXPECT_TRUE(AgreesTo(r2 - (1 - r2) * p / (n - p - 1), r.Num("Adj_R-Square"), 12));
    EXPECT_TRUE(AgreesTo(std::sqrt(sse / df) * pow10(eY), r.Num("StdError_of_Estimate"), 12));
    EXPECT_EQ(r.Num("Regression_DF"), p);
    EXPECT_EQ(r.Num("Residual_DF"), df);
    EXPECT_EQ(r.Num("Total_DF"), df + p);
    const struct {
        const char* column;
        double value; // of the integers
    } sums[] = {{"Regression_SS", sst - sse}, {"Residual_SS", sse}, {"Total_SS", sst}, {"Residual_MS", sse / df}};
    for (const auto& s : sums) {
        if (eY < 0) {
            EXPECT_EQ(r.Num(s.column), 0.0) << s.column; // about 1e-600
        } else {
            EXPECT_TRUE(AgreesTo(s.value * pow10(2 * eY), r.Num(s.column), 12)) << s.column;
        }
    }
    const double F_ = ((sst - sse) / p) / (sse / df);
    EXPECT_TRUE(AgreesTo(F_, r.Num("F-Value"), 12));
    if (p <= 2) {
        EXPECT_TRUE(AgreesTo(fUpper(F_, p, static_cast<int>(df)), r.Num("Prob"), 8));
    }
}

std::vector<std::vector<Q>> column(const std::vector<long long>& v) {
    std::vector<std::vector<Q>> X;
    for (long long x : v) X.push_back({Q(x)});
    return X;
}
std::vector<Q> qs(const std::vector<long long>& v) { return {v.begin(), v.end()}; }

Variant num(long long v) { return Variant(static_cast<double>(v)); }

// The fields X1 (X1 and X2 in a multiple regression), Y and then `more`.
std::vector<vtest::ScenarioFieldRow> xy(const std::string& kind, std::vector<vtest::ScenarioFieldRow> more = {}) {
    std::vector<vtest::ScenarioFieldRow> f = {{"X1", "X"}};
    if (kind == "M") f.push_back({"X2", "X"});
    f.push_back({"Y", "Y"});
    f.insert(f.end(), more.begin(), more.end());
    return f;
}

// The eight records of several fits below: X1, X2 and Y.
const std::vector<long long> kX1 = {1, 2, 3, 4, 5, 6, 7, 8}, kX2 = {3, 1, 4, 1, 5, 9, 2, 6};
const std::vector<long long> kY = {4, 3, 9, 8, 13, 21, 10, 19};

// The scenario of `r` with the missing-value code -99 (rule "Equal").
vtest::ScenarioSpec withMissingCode(const RegressionSpec& r) {
    vtest::ScenarioSpec s = RegressionTest::Scenario(r);
    s.missingType = "1";
    s.missingEqual = -99.0;
    return s;
}

} // namespace

// Simple regression per group and X field, with weights, a Null and a
// missing-value code, and the residual table: every statistics column and
// every residual row against the exact fit. The residual rows come from the
// group's records kept until its fits are known.
TEST_F(RegressionTest, StraightLinesByGroupAndFieldAgreeWithExactArithmetic) {
    const Variant N = Variant::Null();
    // G, X1, X2, Y, W. In group "a": X2 = -99 is missing (the scenario's code),
    // one Y is Null, one weight is 0; group "b" has too few records for X2.
    MakeData({"G", "X1", "X2", "Y", "W"},
             {{"a", num(1), num(2), num(3), num(1)},   {"a", num(2), num(1), num(5), num(2)},
              {"a", num(3), num(5), num(4), num(1)},   {"a", num(4), num(3), num(8), num(3)},
              {"a", num(5), num(-99), num(9), num(1)}, {"a", num(6), num(4), N, num(1)},
              {"a", num(7), num(6), num(11), num(0)},  {"a", num(8), num(7), num(10), num(2)},
              {"b", num(1), num(4), num(2), num(1)},   {"b", num(3), N, num(7), num(1)},
              {"b", num(4), num(2), num(6), num(2)},   {"b", num(6), num(5), num(13), num(1)}});
    const std::vector<vtest::ScenarioFieldRow> fields = {{"G", "G"}, {"X1", "X"}, {"X2", "X"}, {"Y", "Y"}, {"W", "W"}};
    auto rows = RunAndRead(withMissingCode(RegressionOf("S", fields, 2, "Resid")));
    ASSERT_EQ(rows.size(), 4u);

    // Records that enter each fit (x, y, w), worked out by hand from the rules.
    struct Fit {
        const char* group;
        const char* field;
        std::vector<long long> x, y, w;
        long records, missing;
    } fits[] = {
        {"a", "X1", {1, 2, 3, 4, 5, 8}, {3, 5, 4, 8, 9, 10}, {1, 2, 1, 3, 1, 2}, 6, 2},
        {"a", "X2", {2, 1, 5, 3, 7}, {3, 5, 4, 8, 10}, {1, 2, 1, 3, 2}, 5, 3},
        {"b", "X1", {1, 3, 4, 6}, {2, 7, 6, 13}, {1, 1, 2, 1}, 4, 0},
        {"b", "X2", {4, 2, 5}, {2, 6, 13}, {1, 2, 1}, 3, 1},
    };
    std::vector<ExactFit> exact;
    for (std::size_t k = 0; k < 4; ++k) {
        const auto& f = fits[k];
        const OutRow& r = rows[k];
        EXPECT_EQ(r["G"].ToString(), f.group);
        EXPECT_EQ(r["DataField"].ToString(), f.field);
        const ExactFit F = exactFit(column(f.x), qs(f.y), qs(f.w), true);
        exact.push_back(F);
        EXPECT_EQ(r.Num("Count_of_Y"), F.n.D()) << k;
        EXPECT_EQ(r.Num("Observations"), f.records) << k;
        EXPECT_EQ(r.Num("Missing"), f.missing) << k;
        checkRow(r, F, "S", {}, std::string(f.group) + " " + f.field);
    }

    // Residual rows: one per record and X field that entered a fit, in the
    // order of the records; "Observations" holds the record's weight.
    auto res = ReadTable("Resid");
    std::size_t at = 0;
    std::size_t seen[4] = {0, 0, 0, 0};
    for (const auto& row : res) {
        const std::size_t k = (row["G"].ToString() == "a" ? 0 : 2) + (row["DataField"].ToString() == "X1" ? 0 : 1);
        const auto& f = fits[k];
        const std::size_t i = seen[k]++;
        ASSERT_LT(i, f.x.size());
        EXPECT_EQ(row.Num("X_Value"), f.x[i]);
        EXPECT_EQ(row.Num("Y:Y"), f.y[i]);
        EXPECT_EQ(row.Num("Observations"), f.w[i]);
        const Q fitted = exact[k].fitted({Q(f.x[i])});
        EXPECT_TRUE(AgreesTo(fitted.D(), row.Num("Estimated_Y"), 14)) << at;
        EXPECT_NEAR((Q(f.y[i]) - fitted).D(), row.Num("Residual"), 1e-14) << at;
        ++at;
    }
    EXPECT_EQ(at, 6u + 5 + 4 + 3);
}

// A group's records wait for its fit in memory, and a large group's in the
// work database, between small groups held in memory: every residual row
// must still carry its own group's record and the fit of that group. Run
// with every group in memory, and with groups of more than five usable
// records through the work table ("b" and "d").
TEST_F(RegressionTest, ResidualsOfGroupsKeptInTheWorkDatabaseComeFromTheirOwnRecords) {
    const struct Group {
        const char* name;
        long long records;
    } groups[] = {{"a", 3}, {"b", 400}, {"c", 4}, {"d", 1234}, {"e", 3}};
    // In group g (0-based): x = 1000·g + k, y = (g + 2)·x + g + (1 for odd k, else -1).
    auto yOf = [](long long g, long long x) { return (g + 2) * x + g + ((x - 1000 * g) % 2 ? 1 : -1); };
    std::vector<Row> data;
    for (long long g = 0; g < 5; ++g)
        for (long long k = 1; k <= groups[g].records; ++k)
            data.push_back({Variant(groups[g].name), num(1000 * g + k), num(yOf(g, 1000 * g + k))});
    // Stored interleaved, so that the groups come together only in the sorted reading.
    std::vector<Row> mixed;
    for (std::size_t step = 0; step < 7; ++step)
        for (std::size_t i = step; i < data.size(); i += 7) mixed.push_back(data[i]);
    MakeData({"G", "X", "Y"}, mixed);

    // Each group's line by the closed form of least squares, in whole numbers.
    std::vector<Q> b0(5), b1(5);
    for (long long g = 0; g < 5; ++g) {
        Int128 n = groups[g].records, sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (long long k = 1; k <= groups[g].records; ++k) {
            const Int128 x = 1000 * g + k, y = yOf(g, 1000 * g + k);
            sx += x, sy += y, sxx += x * x, sxy += x * y;
        }
        b1[g] = Q(n * sxy - sx * sy, n * sxx - sx * sx);
        b0[g] = (Q(sy) - b1[g] * Q(sx)) / Q(n);
    }

    for (std::size_t limit : {std::size_t{0}, std::size_t{5}}) {
        SCOPED_TRACE("records held in memory: " + std::to_string(limit));
        SpoolLimit spool(limit);
        RegressionSpec r;
        r.fields = {{"G", "G"}, {"X", "X"}, {"Y", "Y"}};
        r.out2 = "Resid";
        auto stats = RunAndRead(r);
        ASSERT_EQ(stats.size(), 5u);
        for (long long g = 0; g < 5; ++g) {
            EXPECT_EQ(stats[g]["G"].ToString(), groups[g].name);
            EXPECT_TRUE(AgreesTo(b1[g].D(), stats[g].Num("Coef_of_X"), 12)) << g;
            EXPECT_TRUE(AgreesTo(b0[g].D(), stats[g].Num("Y-Intercept"), 12)) << g;
        }
        auto res = ReadTable("Resid");
        ASSERT_EQ(res.size(), data.size());
        std::size_t at = 0;
        for (long long g = 0; g < 5; ++g) {
            std::vector<long long> xs;
            for (long long k = 0; k < groups[g].records; ++k, ++at) {
                const OutRow& row = res[at];
                ASSERT_EQ(row["G"].ToString(), groups[g].name) << at;
                const long long x = static_cast<long long>(row.Num("X_Value"));
                xs.push_back(x);
                EXPECT_EQ(row.Num("Y:Y"), yOf(g, x)) << at;
                const Q fitted = b0[g] + b1[g] * Q(x);
                EXPECT_TRUE(AgreesTo(fitted.D(), row.Num("Estimated_Y"), 12)) << at;
                EXPECT_NEAR((Q(yOf(g, x)) - fitted).D(), row.Num("Residual"), 1e-9) << at;
            }
            // Every record of the group once.
            std::sort(xs.begin(), xs.end());
            for (long long k = 0; k < groups[g].records; ++k)
                ASSERT_EQ(xs[static_cast<std::size_t>(k)], 1000 * g + k + 1);
        }
    }
}

// Multiple and polynomial regression with weights, with and without the
// intercept: coefficients, standard errors, betas, t and its probability,
// R², ANOVA and F against the exact fit.
TEST_F(RegressionTest, MultipleAndPolynomialFitsAgreeWithExactArithmetic) {
    const std::vector<long long>& x1 = kX1;
    const std::vector<long long>& x2 = kX2;
    const std::vector<long long>& y = kY;
    const std::vector<long long> w = {1, 2, 1, 1, 3, 1, 2, 1};
    std::vector<Row> data;
    for (std::size_t i = 0; i < y.size(); ++i) data.push_back({num(x1[i]), num(x2[i]), num(y[i]), num(w[i])});
    MakeData({"X1", "X2", "Y", "W"}, data);
    std::vector<std::vector<Q>> both, powers;
    for (std::size_t i = 0; i < y.size(); ++i) {
        both.push_back({Q(x1[i]), Q(x2[i])});
        powers.push_back({Q(x1[i]), Q(x1[i] * x1[i])});
    }
    struct Case {
        const char* what;
        std::string kind;
        bool yint;
        std::vector<std::vector<Q>> X;
    } cases[] = {
        {"multiple with intercept", "M", true, both},
        {"multiple through the origin", "M", false, both},
        {"quadratic with intercept", "P", true, powers},
        {"quadratic through the origin", "P", false, powers},
    };
    for (const Case& c : cases) {
        RegressionSpec r = RegressionOf(c.kind, xy(c.kind, {{"W", "W"}}));
        r.yint = c.yint;
        auto rows = RunAndRead(r);
        ASSERT_EQ(rows.size(), 1u) << c.what;
        ExactFit F = exactFit(c.X, qs(y), qs(w), c.yint);
        checkRow(rows[0], F, c.kind, {"X1", "X2"}, c.what);
        EXPECT_EQ(rows[0].Has("Y-Intercept"), c.yint) << c.what;
    }
}

// The columns of both tables, in order, for each kind and option.
TEST_F(RegressionTest, ColumnsOfTheStatisticsAndResidualTables) {
    MakeData({"G", "X1", "X2", "Y", "W"}, {{"a", num(1), num(2), num(3), num(1)}});
    const std::vector<std::string> summary = {"Multiple_R", "R-Square", "Adj_R-Square", "StdError_of_Estimate"};
    const std::vector<std::string> anova = {"Regression_DF", "Residual_DF", "Total_DF", "Regression_SS", "Residual_SS",
                                            "Total_SS", "Regression_MS", "Residual_MS", "F-Value", "Prob"};
    auto join = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    struct Case {
        const char* what;
        RegressionSpec spec;
        std::vector<std::string> stats, resid;
    } cases[] = {
        {"simple, intercept, ANOVA, weight",
         {"S", true, true, 2, {{"G", "G"}, {"X1", "X"}, {"Y", "Y"}, {"W", "W"}}, "R", "Data"},
         join(join({"G", "DataField", "Count_of_Y", "Observations", "Missing", "Y-Intercept", "Coef_of_X",
                    "SE_of_Y-Intercept", "SE_of_X", "Beta_of_X", "t-Value_of_Y-Intercept", "t-Value_of_X",
                    "Prob_of_Y-Intercept", "Prob_of_X"},
                   summary),
              anova),
         {"G", "DataField", "Observations", "X_Value", "Y:Y", "Estimated_Y", "Residual"}},
        {"simple through the origin, no ANOVA",
         {"S", false, false, 2, {{"X1", "X"}, {"Y", "Y"}}, "R", "Data"},
         join({"DataField", "Count_of_Y", "Missing", "Coef_of_X", "SE_of_X", "Beta_of_X", "t-Value_of_X", "Prob_of_X"},
              summary),
         {"DataField", "X_Value", "Y:Y", "Estimated_Y", "Residual"}},
        {"multiple, intercept",
         {"M", true, false, 2, {{"X1", "X"}, {"X2", "X"}, {"Y", "Y"}}, "R", "Data"},
         join({"Count_of_Y", "Missing", "Y-Intercept", "Coef_of_X1: X1", "Coef_of_X2: X2", "SE_of_Y-Intercept",
               "SE_of_X1: X1", "SE_of_X2: X2", "Beta_of_X1: X1", "Beta_of_X2: X2", "t-Value_of_Y-Intercept",
               "t-Value_of_X1: X1", "t-Value_of_X2: X2", "Prob_of_Y-Intercept", "Prob_of_X1: X1", "Prob_of_X2: X2"},
              summary),
         {"X1:X1", "X2:X2", "Y:Y", "Estimated_Y", "Residual"}},
        {"polynomial of order 2 through the origin",
         {"P", false, false, 2, {{"X1", "X"}, {"Y", "Y"}}, "R", "Data"},
         join({"DataField", "Count_of_Y", "Missing", "Coef_of_X^1", "Coef_of_X^2", "SE_of_X^1", "SE_of_X^2",
               "Beta_of_X^1", "Beta_of_X^2", "t-Value_of_X^1", "t-Value_of_X^2", "Prob_of_X^1", "Prob_of_X^2"},
              summary),
         {"DataField", "X_Value", "Y:Y", "Estimated_Y", "Residual"}},
    };
    for (const Case& c : cases) {
        std::string err;
        RunRegression(c.spec, &err); // one record: every fit falls to its guards
        EXPECT_EQ(ColumnNames("Stats"), c.stats) << c.what;
        EXPECT_EQ(ColumnNames("R"), c.resid) << c.what;
    }
}

// Fits without a residual degree of freedom, or without spread in X or Y,
// keep their lead values only; the run succeeds and their records have no
// residual rows.
TEST_F(RegressionTest, GuardsLeaveLeadValuesOnly) {
    const Variant N = Variant::Null();
    MakeData({"G", "X1", "Y"}, {{"df0", num(1), num(2)},  {"df0", num(2), num(5)},  // two records: df = 0
                                {"flatx", num(3), num(1)}, {"flatx", num(3), num(2)}, {"flatx", num(3), num(4)},
                                {"flaty", num(1), num(7)}, {"flaty", num(2), num(7)}, {"flaty", num(5), num(7)},
                                {"noy", num(1), N},       {"noy", num(2), N},       {"ok", num(1), num(1)},
                                {"ok", num(2), num(3)},    {"ok", num(4), num(4)}});
    for (const std::string kind : {"S", "M", "P"}) {
        auto rows = RunAndRead(RegressionOf(kind, {{"G", "G"}, {"X1", "X"}, {"Y", "Y"}}, 1, "Resid"));
        ASSERT_EQ(rows.size(), 5u) << kind;
        const double counts[] = {2, 3, 3, 0, 3}, missing[] = {0, 0, 0, 2, 0};
        for (std::size_t k = 0; k < 5; ++k) {
            EXPECT_EQ(rows[k].Num("Count_of_Y"), counts[k]) << kind << k;
            EXPECT_EQ(rows[k].Num("Missing"), missing[k]) << kind << k;
            EXPECT_EQ(rows[k].IsNull("R-Square"), k < 4) << kind << k;
            EXPECT_EQ(rows[k].IsNull(CoefColumn(kind, "Coef", 1, "X1")), k < 4) << kind << k;
        }
        auto res = ReadTable("Resid");
        ASSERT_EQ(res.size(), 3u) << kind;
        for (const auto& row : res) EXPECT_EQ(row["G"].ToString(), "ok") << kind;
    }
}

// A perfect fit has standard errors 0: t, its probability and partial F have
// no value (they were written as 0 and 1), as F and its probability.
TEST_F(RegressionTest, PerfectFitLeavesTItsProbabilityAndPartialFNull) {
    MakeData({"X1", "X2", "Y"}, {{num(1), num(4), num(3)}, {num(2), num(1), num(5)}, {num(3), num(7), num(7)},
                                 {num(4), num(2), num(9)}, {num(6), num(3), num(13)}}); // Y = 1 + 2·X1
    for (const std::string kind : {"S", "M", "P"}) {
        auto rows = RunAndRead(RegressionOf(kind, xy(kind)));
        const OutRow& row = rows.at(0);
        const int p = kind == "S" ? 1 : 2;
        const double b[] = {1, 2, 0};
        for (int j = 0; j <= p; ++j) {
            const std::string x = j == 1 ? "X1" : "X2";
            EXPECT_NEAR(row.Num(CoefColumn(kind, "Coef", j, x)), b[j], 1e-13) << kind << j;
            EXPECT_EQ(row.Num(CoefColumn(kind, "SE", j, x)), 0.0) << kind << j;
            EXPECT_TRUE(row.IsNull(CoefColumn(kind, "t-Value", j, x))) << kind << j;
            EXPECT_TRUE(row.IsNull(CoefColumn(kind, "Prob", j, x))) << kind << j;
        }
        EXPECT_EQ(row.Num("R-Square"), 1.0) << kind;
        EXPECT_TRUE(row.IsNull("F-Value")) << kind;
    }
    // Partial F (a confidence level, which only a direct call passes).
    ASSERT_EQ(RunDirect('M', "CI", {"X1", "X2"}, true, true, 95), "");
    auto ci = ReadTable("CI");
    for (const char* col : {"Y-Int_PartialF", "X1_PartialF", "X2_PartialF"}) EXPECT_TRUE(ci.at(0).IsNull(col)) << col;
    EXPECT_EQ(ci.at(0).Num("X1_95%_CI_Low"), ci.at(0).Num("Coef_of_X1: X1"));
}

// Confidence intervals and partial F of a direct call with a confidence level.
TEST_F(RegressionTest, ConfidenceIntervalsAndPartialF) {
    const std::vector<long long> x1 = {1, 2, 3, 4, 5, 6, 7}, x2 = {2, 1, 4, 3, 6, 5, 9}, y = {3, 4, 8, 7, 12, 10, 15};
    std::vector<Row> data;
    std::vector<std::vector<Q>> X;
    for (std::size_t i = 0; i < y.size(); ++i) {
        data.push_back({num(x1[i]), num(x2[i]), num(y[i])});
        X.push_back({Q(x1[i]), Q(x2[i])});
    }
    MakeData({"X1", "X2", "Y"}, data);
    ASSERT_EQ(RunDirect('M', "CI", {"X1", "X2"}, false, true, 95), "");
    const OutRow row = ReadTable("CI").at(0);
    const ExactFit F = exactFit(X, qs(y));
    constexpr double t975_4 = 2.776445105197793; // t(0.975; 4), published tables
    const char* prefix[] = {"Y-Int_", "X1_", "X2_"};
    for (int j = 0; j <= 2; ++j) {
        const double b = F.b[static_cast<std::size_t>(j)].D(), se = F.se(static_cast<std::size_t>(j)); // df 4
        const std::string p = prefix[j];
        EXPECT_TRUE(AgreesTo(t975_4 * se, row.Num(p + "95%_CI_Interval"), 8)) << j;
        EXPECT_TRUE(AgreesTo(b - t975_4 * se, row.Num(p + "95%_CI_Low"), 8)) << j;
        EXPECT_TRUE(AgreesTo(b + t975_4 * se, row.Num(p + "95%_CI_High"), 8)) << j;
        EXPECT_TRUE(AgreesTo(b * b / (se * se), row.Num(p + "PartialF"), 12)) << j;
    }
}

// The critical value of t is searched for once for each degrees of freedom:
// a group must get its own, not the one of the group before. Two groups of
// 4 and 6 records, each a straight line with noise, read in turns of size.
TEST_F(RegressionTest, CriticalValueOfAGroupTakenFromAGroupOfOtherSize) {
    struct Group {
        const char* name;
        std::vector<long long> x, y;
        double t975; // t(0.975; n - 2), published tables
    };
    const Group groups[] = {
        {"Ga", {1, 2, 3, 4}, {2, 5, 5, 9}, 4.302652729749464},               // df 2
        {"Gb", {1, 2, 3, 4, 5, 6}, {1, 4, 4, 8, 9, 13}, 2.776445105197793},  // df 4
        {"Gc", {1, 2, 3, 4}, {3, 3, 6, 7}, 4.302652729749464},               // df 2 again
    };
    std::vector<Row> data;
    for (const Group& g : groups)
        for (std::size_t i = 0; i < g.x.size(); ++i) data.push_back({Variant(std::string(g.name)), num(g.x[i]), num(g.y[i])});
    MakeData({"G", "X1", "Y"}, data);
    ASSERT_EQ(RunDirect('M', "CIG", {"X1"}, false, true, 95, 0, "G"), "");
    const auto rows = ReadTable("CIG");
    ASSERT_EQ(rows.size(), std::size(groups));
    for (std::size_t k = 0; k < std::size(groups); ++k) {
        const Group& g = groups[k];
        const double se = exactFit(column(g.x), qs(g.y)).se(1);
        EXPECT_TRUE(AgreesTo(g.t975 * se, rows.at(k).Num("X1_95%_CI_Interval"), 8)) << g.name;
    }
}

// Residual "Observations" holds the record's weight, not its whole-number part.
TEST_F(RegressionTest, ResidualObservationsHoldTheWeightNotItsWholePart) {
    MakeData({"X1", "X2", "Y", "W"}, {{num(1), num(2), num(3), 2.7}, {num(2), num(1), num(5), 0.5},
                                      {num(3), num(5), num(4), 1.0}, {num(4), num(3), num(8), 3.25},
                                      {num(5), num(4), num(9), 1.5}});
    for (const std::string kind : {"S", "M", "P"}) {
        RunAndRead(RegressionOf(kind, {{"X1", "X"}, {"X2", "X"}, {"Y", "Y"}, {"W", "W"}}, 1, "Resid"));
        auto res = ReadTable("Resid");
        ASSERT_GE(res.size(), 5u) << kind;
        const double w[] = {2.7, 0.5, 1.0, 3.25, 1.5};
        for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(res[kind == "M" ? i : 2 * i].Num("Observations"), w[i]) << kind;
    }
}

// More than 30 X fields: every coefficient is written and every residual
// computed (the coefficients were kept in a record of 30).
TEST_F(RegressionTest, MoreThanThirtyXFieldsAreFittedWithTheirResiduals) {
    const int p = 32, n = 45;
    std::vector<std::string> cols;
    RegressionSpec r = RegressionOf("M", {}, 2, "Resid");
    for (int i = 1; i <= p; ++i) {
        cols.push_back("X" + std::to_string(i));
        r.fields.push_back({cols.back(), "X"});
    }
    cols.push_back("Y");
    r.fields.push_back({"Y", "Y"});
    std::vector<Row> data;
    unsigned state = 12345;
    for (int k = 0; k < n; ++k) {
        Row row;
        long long y = 7; // Y = 7 + Σ i·X_i exactly
        for (int i = 1; i <= p; ++i) {
            state = state * 1103515245u + 12345u;
            const long long x = (state >> 16) % 100;
            row.push_back(num(x));
            y += i * x;
        }
        row.push_back(num(y));
        data.push_back(row);
    }
    MakeData(cols, data);
    auto rows = RunAndRead(r);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NEAR(rows[0].Num("Y-Intercept"), 7, 1e-9);
    for (int i = 1; i <= p; ++i) EXPECT_NEAR(rows[0].Num(CoefColumn("M", "Coef", i, cols[static_cast<std::size_t>(i - 1)])), i, 1e-10) << i;
    auto res = ReadTable("Resid");
    ASSERT_EQ(res.size(), static_cast<std::size_t>(n));
    for (const auto& row : res) EXPECT_NEAR(row.Num("Residual"), 0, 1e-9);
}

// The order of a polynomial is sized by the model (the coefficients were
// kept in a record of 30): 31 powers get their columns, and on 40 whole
// numbers from 0 their fit is refused as collinear rather than reported from
// digits that are not there (the row keeps its lead values and the status
// text says why); an order of 0 or below is refused before any table is
// touched.
TEST_F(RegressionTest, PolynomialOrderAboveThirtyIsSizedByTheModelAndZeroIsRefused) {
    std::vector<Row> data;
    for (int i = 0; i < 40; ++i) data.push_back({num(i), num(i * i % 17)});
    MakeData({"X1", "Y"}, data);
    RegressionSpec r = RegressionOf("P", xy("P"), 31);
    std::string err;
    StatusTexts status;
    EXPECT_TRUE(RunRegression(r, &err, &status)) << err;
    ASSERT_EQ(status.Refusals().size(), 1u);
    const std::string said = status.Refusals()[0];
    EXPECT_EQ(said.rfind("The polynomial of order 31 in X1 for Y cannot be computed", 0), 0u) << said;
    EXPECT_NE(said.find("(collinear regressors"), std::string::npos) << said;
    auto rows = ReadTable("Stats");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Num("Count_of_Y"), 40);
    EXPECT_TRUE(rows[0].Has("Coef_of_X^31"));
    EXPECT_TRUE(rows[0].IsNull("Coef_of_X^1"));
    EXPECT_TRUE(rows[0].IsNull("R-Square"));
    for (std::int16_t order : {std::int16_t(0), std::int16_t(-2)}) {
        r.order = order;
        ASSERT_FALSE(RunRegression(r, &err));
        EXPECT_EQ(err, "The order of a polynomial regression must be 1 or more; the scenario gives " +
                           std::to_string(order) + ".");
    }
}

// One bad group lost every table: a group whose regressors are collinear
// failed the run, and the failed run discarded the other groups' rows and
// the residual table. Now the collinear group's row keeps its lead values
// with Null statistics and has no residual rows, every other group is
// written whole (against the exact fit), the run succeeds, and the status
// text names the group and the collinear regressor.
TEST_F(RegressionTest, CollinearGroupBesideWholeGroups) {
    // Group a: X3 = X1 + X2. Group b: independent X, Y on them exactly (3 + X3 − X1 + X2/2).
    // Group c: X1 = X2 = X3 = x with x only 0 and 1 (so x² = x). Group d:
    // independent X and a Y off every line.
    std::vector<Row> data;
    std::vector<std::vector<long long>> recs; // G index, X1, X2, X3, Y (Y halved in b)
    for (long long x = 1; x <= 6; ++x) recs.push_back({0, x, x * x, x + x * x, 6 * x + 2});
    for (long long x = 1; x <= 6; ++x) recs.push_back({1, x, x * x % 7, x * x, 2 * (x * x - x + 3) + x * x % 7});
    for (long long x : {0, 1, 0, 1, 1}) recs.push_back({2, x, x, x, 2 * (x + 2)});
    const long long yd[] = {2, 7, 5, 11, 9, 14, 13};
    for (long long x = 1; x <= 7; ++x) recs.push_back({3, x, x * 3 % 5, x * x % 6, 2 * yd[x - 1]});
    const char* names[] = {"a", "b", "c", "d"};
    for (const auto& r : recs)
        data.push_back({names[r[0]], num(r[1]), num(r[2]), num(r[3]), Variant(static_cast<double>(r[4]) / 2)});
    MakeData({"G", "X1", "X2", "X3", "Y"}, data);
    struct Case {
        const char* what;
        RegressionSpec spec;
        std::vector<int> refused;       // groups without statistics
        std::vector<std::string> said;  // the status texts that say why
    } cases[] = {
        {"multiple",
         {"M", true, true, 2, {{"G", "G"}, {"X1", "X"}, {"X2", "X"}, {"X3", "X"}, {"Y", "Y"}}, "Resid", "Data"},
         {0, 2},
         {"The multiple regression of Y cannot be computed in the group G = a: X2 is a linear combination of X1 and "
          "X3 (collinear regressors).",
          "The multiple regression of Y cannot be computed in the group G = c: X2 is a linear combination of X1 "
          "(collinear regressors)."}},
        {"polynomial of order 2 on values 0 and 1",
         {"P", true, true, 2, {{"G", "G"}, {"X1", "X"}, {"Y", "Y"}}, "Resid", "Data"},
         {2},
         {"The polynomial of order 2 in X1 for Y cannot be computed in the group G = c: X1^2 is a linear combination "
          "of X1^1 (collinear regressors)."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string err;
        StatusTexts status;
        ASSERT_TRUE(RunRegression(c.spec, &err, &status)) << err;
        EXPECT_EQ(status.Refusals(), c.said);
        const auto rows = ReadTable("Stats");
        ASSERT_EQ(rows.size(), 4u);
        const auto res = ReadTable("Resid");
        std::size_t at = 0; // the next residual row
        for (int g = 0; g < 4; ++g) {
            SCOPED_TRACE(names[g]);
            const OutRow& row = rows[static_cast<std::size_t>(g)];
            // The group's records, as the fit takes them.
            std::vector<std::vector<Q>> X;
            std::vector<Q> y;
            for (const auto& r : recs) {
                if (r[0] != g) continue;
                if (c.spec.kind == "M") X.push_back({Q(r[1]), Q(r[2]), Q(r[3])});
                else X.push_back({Q(r[1]), Q(r[1] * r[1])});
                y.push_back(Q(r[4], 2));
            }
            EXPECT_EQ(row["G"].ToString(), names[g]);
            EXPECT_EQ(row.Num("Count_of_Y"), static_cast<double>(y.size()));
            EXPECT_EQ(row.Num("Missing"), 0.0);
            const bool refused = std::find(c.refused.begin(), c.refused.end(), g) != c.refused.end();
            EXPECT_EQ(row.IsNull("R-Square"), refused);
            EXPECT_EQ(row.IsNull(CoefColumn(c.spec.kind, "Coef", 1, "X1")), refused);
            EXPECT_EQ(row.IsNull("Y-Intercept"), refused);
            if (refused) continue;
            const ExactFit F = exactFit(X, y);
            if (F.sse.n != 0) {
                checkRow(row, F, c.spec.kind, {"X1", "X2", "X3"}, names[g]);
            } else {
                EXPECT_EQ(row.Num("R-Square"), 1.0); // the data lie on the fit
                for (int j = 0; j <= F.p; ++j) {
                    const std::string x = "X" + std::to_string(j);
                    EXPECT_NEAR(F.b[static_cast<std::size_t>(j)].D(), row.Num(CoefColumn(c.spec.kind, "Coef", j, x)),
                                1e-12) << j;
                }
            }
            // The group's residual rows: every record, in order, with its fitted value.
            for (std::size_t k = 0; k < y.size(); ++k, ++at) {
                ASSERT_LT(at, res.size());
                EXPECT_EQ(res[at]["G"].ToString(), names[g]);
                const Q fitted = F.fitted(X[k]);
                EXPECT_EQ(res[at].Num("Y:Y"), y[k].D());
                EXPECT_NEAR(fitted.D(), res[at].Num("Estimated_Y"), 1e-12) << k;
                EXPECT_NEAR((y[k] - fitted).D(), res[at].Num("Residual"), 1e-12) << k;
            }
        }
        EXPECT_EQ(at, res.size());
    }
}

// A multiple regression takes a record only when its Y and every X are
// usable (listwise): a Null X, or an X equal to the missing-value code, drops
// the whole record from the sums, counts it in "Missing" and gives it no
// residual row. (Turning that off, so that such a record entered the sums
// with some other X, passed every test.)
TEST_F(RegressionTest, MultipleRegressionDropsARecordWithAMissingX) {
    const Variant N = Variant::Null();
    // X1, X2, X3, Y; records 3 and 6 are incomplete and far off the plane
    // the others lie near.
    const long long all[10][4] = {{1, 4, 2, 9},  {2, 1, 5, 10}, {3, 5, 1, 12}, {4, 2, 0, 90}, {5, 6, 3, 20},
                                  {6, 3, 6, 19}, {7, 7, -99, -80}, {8, 2, 4, 25}, {9, 5, 2, 27}, {10, 8, 7, 33}};
    std::vector<Row> data;
    std::vector<std::vector<Q>> X;
    std::vector<Q> y;
    for (std::size_t r = 0; r < 10; ++r) {
        const long long* v = all[r];
        data.push_back({num(v[0]), r == 3 ? N : num(v[1]), num(v[2]), num(v[3])});
        if (r == 3 || r == 6) continue;
        X.push_back({Q(v[0]), Q(v[1]), Q(v[2])});
        y.push_back(Q(v[3]));
    }
    MakeData({"X1", "X2", "X3", "Y"}, data);
    const std::vector<vtest::ScenarioFieldRow> fields = {{"X1", "X"}, {"X2", "X"}, {"X3", "X"}, {"Y", "Y"}};
    const auto rows = RunAndRead(withMissingCode(RegressionOf("M", fields, 2, "Resid")));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Num("Count_of_Y"), 8);
    EXPECT_EQ(rows[0].Num("Missing"), 2);
    const ExactFit F = exactFit(X, y);
    checkRow(rows[0], F, "M", {"X1", "X2", "X3"}, "the eight complete records");
    const auto res = ReadTable("Resid");
    ASSERT_EQ(res.size(), y.size());
    for (std::size_t k = 0; k < y.size(); ++k) {
        EXPECT_EQ(res[k].Num("X1:X1"), X[k][0].D()) << k;
        EXPECT_NEAR(F.fitted(X[k]).D(), res[k].Num("Estimated_Y"), 1e-12) << k;
    }
}

// Data that are small integers times powers of ten (kX1, kX2, kY): X1 by
// 10^e1, X2 by 10^e2 and Y by 10^ey, each case traced by its fault.
TEST_F(RegressionTest, ScaledDataAreFittedOrRefusedAsTheirIntegersSay) {
    // Data near the ends of the double range: the products of their deviations
    // (near 1e-600, or 1e600), or a polynomial's powers of them, lie beyond or
    // below the full precision of a double, and such a fit was left with
    // its lead values ("does not vary") or refused (its sums overflowed). Every
    // value is a small integer times 10^e, so the fit is the integers' exact fit
    // scaled as checkRow says, and the fitted values are times 10^eY.
    const char* fitted = "DataNear1e300AreFittedNotLeftWithoutStatistics";
    // Fits whose coefficients or standard errors lie beyond a double, at either
    // end: the row kept its other columns beside a Null coefficient, or wrote a
    // coefficient and a standard error of 0 (read as a perfect fit) beside a
    // residual sum of squares. Such a fit is refused with its lead values only,
    // and the status text says why (X2 is 0 there, and no residual table).
    const char* refused = "CoefficientsBeyondADoubleAreRefusedNotWrittenInPart";
    const struct {
        const char* fault;
        const char* what;
        std::string kind;
        int e1, e2, ey;
    } cases[] = {
        {fitted, "k·1e-300 on k", "S", 0, 0, -300},
        {fitted, "k on k·1e-300", "S", -300, 0, 0},
        {fitted, "k·1e-300 on k·1e-300", "S", -300, 0, -300},
        {fitted, "k on k·1e300 (the squares overflow)", "S", 300, 0, 0},
        {fitted, "k·1e-300 on k·1e-300 and k", "M", -300, 0, -300},
        {fitted, "k·1e-200 on k, quadratic (the squares were lost)", "P", 0, 0, -200},
        {fitted, "k·1e-300 on k, quadratic", "P", 0, 0, -300},
        {fitted, "k on k·1e-80, quadratic (the fourth powers were lost)", "P", -80, 0, 0},
        {refused, "quadratic on k·1e-160: the coefficient of X^2 near 1e319", "P", -160, 0, 0},
        {refused, "k·1e-300 on k·1e300: the slope near 1e-600, written as 0", "S", 300, 0, -300},
    };
    auto scaled = [](long long k, int e) { return std::stod(std::to_string(k) + "e" + std::to_string(e)); };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fault) + ": " + c.what);
        const bool isRefused = c.fault == refused;
        const std::string table = "Data" + std::to_string(++n);
        std::vector<Row> data;
        std::vector<std::vector<Q>> X;
        for (std::size_t i = 0; i < kY.size(); ++i) {
            data.push_back({scaled(kX1[i], c.e1), isRefused ? num(0) : Variant(scaled(kX2[i], c.e2)), scaled(kY[i], c.ey)});
            X.push_back(c.kind == "M"   ? std::vector<Q>{Q(kX1[i]), Q(kX2[i])}
                        : c.kind == "P" ? std::vector<Q>{Q(kX1[i]), Q(kX1[i] * kX1[i])}
                                        : std::vector<Q>{Q(kX1[i])});
        }
        MakeData({"X1", "X2", "Y"}, data, table);
        RegressionSpec r = RegressionOf(c.kind, xy(c.kind), 2, isRefused ? "" : "Resid" + std::to_string(n));
        r.table = table;
        StatusTexts status;
        const auto rows = RunAndRead(r, &status);
        ASSERT_EQ(rows.size(), 1u);
        if (isRefused) {
            for (int j = 0; j <= (c.kind == "P" ? 2 : 1); ++j) {
                EXPECT_TRUE(rows[0].IsNull(CoefColumn(c.kind, "Coef", j))) << j;
                EXPECT_TRUE(rows[0].IsNull(CoefColumn(c.kind, "SE", j))) << j;
            }
            for (const char* column : {"R-Square", "Residual_SS", "StdError_of_Estimate"})
                EXPECT_TRUE(rows[0].IsNull(column)) << column;
            ASSERT_EQ(status.Refusals().size(), 1u);
            EXPECT_NE(status.Refusals()[0].find("beyond the numbers of the machine"), std::string::npos);
            continue;
        }
        const ExactFit F = exactFit(X, qs(kY));
        checkRow(rows[0], F, c.kind, {"X1", "X2"}, c.what, {c.e1, c.kind == "P" ? 2 * c.e1 : c.e2}, c.ey);
        const auto res = ReadTable(r.out2);
        ASSERT_EQ(res.size(), kY.size());
        for (std::size_t k = 0; k < kY.size(); ++k) {
            const Q fit = F.fitted(X[k]);
            EXPECT_TRUE(AgreesTo(fit.D() * pow10(c.ey), res[k].Num("Estimated_Y"), 12)) << k;
            EXPECT_NEAR((Q(kY[k]) - fit).D(), res[k].Num("Residual") / pow10(c.ey), 1e-12) << k;
        }
    }
}

// Which regressor a collinearity names, and the cut-off that decides that
// regressors are collinear. The regressors are built so that the exact
// dependency is known: the status text names the first regressor (in the
// scenario's order) that is a combination of those before it, and every
// regressor of the combination and no other; values that are a combination
// only to the last digit they are stored with are one; a true part of 2^-43
// is no combination, but one too near for 9 digits; a part of 2^-12 is
// fitted (against the exact fit).
TEST_F(RegressionTest, CollinearityNamesTheRegressorAndItsCombination) {
    // 16 records. s: ±1 in blocks of 2 (stored as 0 and 2), t: ±1 in turn,
    // u: 0 1 2 3 repeated; s, t orthogonal, u independent of both.
    std::vector<long long> s, t, u;
    for (int k = 0; k < 16; ++k) {
        s.push_back(k / 2 % 2 == 0 ? 0 : 2);
        t.push_back(k % 2 == 0 ? 0 : 2);
        u.push_back(k % 4 + (k / 8));
    }
    const double e = std::ldexp(1.0, -12), tiny = std::ldexp(1.0, -20);
    struct Case {
        const char* why;
        std::function<std::vector<double>(int)> x; // the X values of record k
        std::string named;                       // the regressor named as dependent (empty: any of `involved`)
        std::vector<std::string> involved;       // every regressor the text names (empty: solved)
        bool nearly = false;                     // refused as nearly one (`involved` unused)
    } cases[] = {
        {"X2 = 2·X1 and X3 = 3·X1: two remain, the first in order is named",
         [&](int k) { return std::vector<double>{double(s[k]), 2.0 * s[k], 3.0 * s[k], double(t[k])}; }, "X2",
         {"X1", "X2"}},
        {"X3 = X1 + 2^-20·X2: the small part is named too, X4 is not",
         [&](int k) {
             return std::vector<double>{double(s[k]), double(u[k]), s[k] + tiny * u[k], double(t[k] + u[k])};
         },
         "", {"X1", "X2", "X3"}},
        {"X3 = X1/10 + 3·X2/10 as stored (a combination to the last digit): collinear",
         [&](int k) {
             return std::vector<double>{double(s[k]), double(u[k]), s[k] / 10.0 + 3.0 * u[k] / 10.0, double(t[k])};
         },
         "", {"X1", "X2", "X3"}},
        {"X3 = X1 + X2 + 2^-43·t: a true part, too small for 9 digits",
         [&](int k) {
             const double x3 = s[k] + u[k] + std::ldexp(t[k], -43);
             return std::vector<double>{double(s[k]), double(u[k]), x3, double(t[k] * u[k])};
         },
         "", {"X3"}, true},
        {"X3 = X1 + X2 + 2^-12·t: a true part, fitted",
         [&](int k) {
             return std::vector<double>{double(s[k]), double(u[k]), s[k] + u[k] + e * t[k], double(t[k] * u[k])};
         },
         "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        if (TableExists("Data")) db->TableDefs().Delete("Data");
        std::vector<Row> data;
        std::vector<std::vector<Q>> X;
        std::vector<Q> y;
        for (int k = 0; k < 16; ++k) {
            const std::vector<double> x = c.x(k);
            const long long yk = 3 * s[k] - t[k] + u[k] * u[k] + k % 3;
            data.push_back({x[0], x[1], x[2], x[3], num(yk)});
            std::vector<Q> row;
            for (double v : x) {
                int exp2 = 0;
                const double m = std::frexp(v, &exp2); // v = m·2^exp2 exactly, m with 53 bits
                const long long mant = static_cast<long long>(std::ldexp(m, 53));
                row.push_back(exp2 >= 53 ? Q(mant) * Q(Int128(1) << (exp2 - 53)) : Q(mant, Int128(1) << (53 - exp2)));
            }
            X.push_back(row);
            y.push_back(Q(yk));
        }
        MakeData({"X1", "X2", "X3", "X4", "Y"}, data);
        StatusTexts status;
        const auto rows =
            RunAndRead(RegressionOf("M", {{"X1", "X"}, {"X2", "X"}, {"X3", "X"}, {"X4", "X"}, {"Y", "Y"}}), &status);
        ASSERT_EQ(rows.size(), 1u);
        if (c.involved.empty()) {
            EXPECT_TRUE(status.Refusals().empty());
            checkRow(rows[0], exactFit(X, y), "M", {"X1", "X2", "X3", "X4"}, c.why);
            continue;
        }
        EXPECT_TRUE(rows[0].IsNull("R-Square"));
        ASSERT_EQ(status.Refusals().size(), 1u);
        // "...: A is a linear combination of B, C and D (collinear regressors)."
        const std::string said = status.Refusals()[0];
        if (c.nearly) {
            // Not taken for a combination: the fit is refused as one too near
            // for the digits (its coefficients or its residual sum).
            EXPECT_EQ(said.rfind("The multiple regression of Y cannot be computed", 0), 0u) << said;
            EXPECT_NE(said.find(" nearly "), std::string::npos) << said;
            EXPECT_EQ(said.find(" is a linear combination of "), std::string::npos) << said;
            EXPECT_EQ(said.find("X4"), std::string::npos) << said;
            continue;
        }
        const std::string combination = " is a linear combination of ";
        const std::string head = "The multiple regression of Y cannot be computed: ";
        ASSERT_EQ(said.rfind(head, 0), 0u) << said;
        const std::size_t is = said.find(combination), end = said.find(" (collinear regressors).");
        ASSERT_NE(is, std::string::npos) << said;
        ASSERT_NE(end, std::string::npos) << said;
        const std::string dependent = said.substr(head.size(), is - head.size());
        if (!c.named.empty()) {
            EXPECT_EQ(dependent, c.named) << said;
        }
        std::vector<std::string> names = {dependent};
        std::string list = said.substr(is + combination.size(), end - is - combination.size());
        for (std::size_t at = 0; at != std::string::npos;) {
            const std::size_t comma = std::min(list.find(", ", at), list.find(" and ", at));
            names.push_back(list.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
            at = comma == std::string::npos ? comma : list.find(' ', comma + 1) + 1;
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, c.involved) << said;
    }
}

// The run's status texts with a residual table: the steps, the record count
// every fifth record and at each group's end, each group's residual rows
// counted every fifth row as soon as its fit is known, and the last count,
// which the multiple regression passes as it stands and the others as a
// step (with "...").
TEST_F(RegressionTest, ProgressTextsWithTheResidualTable) {
    std::vector<Row> data;
    for (int k = 0; k < 13; ++k) data.push_back({k < 7 ? "a" : "b", num(k % 5), num(k * k % 11)});
    MakeData({"G", "X1", "Y"}, data);
    const std::vector<std::string> steps = {"Retrieving and sorting data...", "Creating output table...",
                                            "Analyzing records...",           "Analyzing record: 5",
                                            "Analyzing record: 7",            "Residual analysis record: 5",
                                            "Analyzing record: 10",           "Analyzing record: 13",
                                            "Residual analysis record: 10",   "Performing residual analysis..."};
    const struct {
        const char* kind;
        const char* last;
    } cases[] = {{"S", "Residual analysis record: 13..."}, {"M", "Residual analysis record: 13"},
                 {"P", "Residual analysis record: 13..."}};
    for (const auto& c : cases) {
        StatusTexts status;
        RunAndRead(RegressionOf(c.kind, {{"G", "G"}, {"X1", "X"}, {"Y", "Y"}}, 1, "Resid"), &status);
        std::vector<std::string> expected = steps;
        expected.push_back(c.last);
        EXPECT_EQ(status.texts, expected) << c.kind;
    }
}

// The residual table may not be the statistics table.
TEST_F(RegressionTest, ResidualTableNamedLikeTheStatisticsTableIsRefused) {
    MakeData({"X1", "Y"}, {{num(1), num(2)}, {num(2), num(3)}, {num(3), num(5)}});
    std::string err;
    EXPECT_FALSE(RunRegression(RegressionOf("S", xy("S"), 2, "stats"), &err));
    EXPECT_EQ(err, "The residual table needs a name of its own: stats is also the statistics table.");
    EXPECT_FALSE(TableExists("Stats"));
}

TEST_F(RegressionTest, SumsOfSquaresBeyondADoubleAreLeftNullNotFailingTheFit) {
    // y = 2 1 4 3 7 5 on x = 1 .. 6, both times 10^154. Unscaled, by hand:
    // Sxx = 35/2, Sxy = 16, SST = 70/3, slope 32/35, intercept 11/3 − 16/5 =
    // 7/15, SSR = Sxy²/Sxx = 512/35, SSE = 914/105, R² = SSR/SST = 768/1225,
    // F = SSR/(SSE/4) = 21504/3199. Scaled, the slope, R² and F stay, the
    // intercept and the estimate's error take 10^154, and every sum of squares
    // and mean square 10^308 times a number above 1.8: beyond a double. The
    // run failed on writing them ("Numeric field overflow.").
    const double y[] = {2, 1, 4, 3, 7, 5};
    std::vector<Row> data;
    for (int i = 0; i < 6; ++i)
        data.push_back({std::stod(std::to_string(i + 1) + "e154"), std::stod(std::to_string(static_cast<int>(y[i])) + "e154")});
    MakeData({"X", "Y"}, data);
    auto rows = RunAndRead(RegressionOf("S", {{"X", "X"}, {"Y", "Y"}}));
    ASSERT_EQ(rows.size(), 1u);
    const auto& r = rows[0];
    EXPECT_TRUE(AgreesTo(32.0 / 35, r.Num("Coef_of_X"), 13));
    EXPECT_TRUE(AgreesTo(7.0 / 15 * 1e154, r.Num("Y-Intercept"), 12));
    EXPECT_TRUE(AgreesTo(768.0 / 1225, r.Num("R-Square"), 13));
    EXPECT_TRUE(AgreesTo(21504.0 / 3199, r.Num("F-Value"), 12));
    EXPECT_TRUE(AgreesTo(std::sqrt(914.0 / 105 / 4) * 1e154, r.Num("StdError_of_Estimate"), 13));
    for (const char* column : {"Regression_SS", "Residual_SS", "Total_SS", "Regression_MS", "Residual_MS"})
        EXPECT_TRUE(r.IsNull(column)) << column;
    EXPECT_EQ(r.Num("Residual_DF"), 4.0);
}
