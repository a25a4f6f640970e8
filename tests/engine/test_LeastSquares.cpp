// The regressions' numerical pieces: the exact building blocks of
// DoubleDouble, the pivoted solver on integer systems whose solutions are
// known exactly (Pascal matrices, symmetric with determinant 1 and condition
// numbers up to about 1e15), its naming of a dependent regressor, and the
// accumulators' recovery of centred sums where raw sums lose every digit.
#include "engine/CrossProducts.h"
#include "engine/DoubleDouble.h"
#include "engine/LeastSquares.h"
#include "engine/PowerSums.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using DD = DoubleDouble;

// (2^27 + 1)² = 2^54 + 2^28 + 1: the product's last bit is lost in a double
// and kept in the low part. 0.1 + 0.2 in binary: the error of the double sum
// is the low part exactly (by Sterbenz, 0.30000000000000004 − 0.1 − 0.2 is
// representable).
TEST(DoubleDouble, ProductAndSumAreExact) {
    const double a = 134217729.0; // 2^27 + 1
    DD p = DD::TwoProd(a, a);
    EXPECT_EQ(p.hi, 18014398777917440.0); // 2^54 + 2^28
    EXPECT_EQ(p.lo, 1.0);
    DD s = DD::TwoSum(0.1, 0.2);
    EXPECT_EQ(s.hi, 0.1 + 0.2);
    EXPECT_EQ(s.lo, -2.7755575615628914e-17); // 0.1 + 0.2 − fl(0.1 + 0.2), worked out by hand in binary
    // 1/3 to 32 digits, and its square root times itself.
    DD third = DD(1.0) / DD(3.0);
    EXPECT_LT(std::fabs((third * DD(3.0) - DD(1.0)).ToDouble()), 1e-31);
    DD r = Sqrt(DD(2.0));
    EXPECT_LT(std::fabs((r * r - DD(2.0)).ToDouble()), 1e-31);
}

// Pascal's matrix P_ij = C(i + j, i) (i, j from 0) is symmetric positive
// definite with determinant 1; with x = (1, …, 1) the right-hand side is the
// row sums C(i + n, i + 1), integers. Condition numbers grow from about 1e3
// (n = 5) to about 1e15 (n = 13).
TEST(LeastSquares, PascalSystemsAreSolvedToFullPrecision) {
    for (int n : {5, 8, 11, 13}) {
        SCOPED_TRACE(n);
        std::vector<std::vector<double>> C(2 * static_cast<std::size_t>(n) + 1);
        for (std::size_t i = 0; i < C.size(); ++i) {
            C[i].assign(i + 1, 1.0);
            for (std::size_t j = 1; j < i; ++j) C[i][j] = C[i - 1][j - 1] + C[i - 1][j];
        }
        const std::size_t N = static_cast<std::size_t>(n);
        std::vector<DD> G(N * N), g(N);
        for (std::size_t i = 0; i < N; ++i) {
            for (std::size_t j = 0; j < N; ++j) G[i * N + j] = DD(C[i + j][i]);
            g[i] = DD(C[i + N][i + 1]);
        }
        LeastSquares ls;
        ASSERT_EQ(ls.Solve(n, G, g, DD(1e30), std::vector<double>(N + 1, 1.0), 1), LeastSquares::Status::Solved);
        double worst = 0;
        for (const auto& c : ls.Coefficients()) worst = std::max(worst, std::fabs(c.ToDouble() - 1.0));
        EXPECT_LT(worst, 1e-15);
        EXPECT_GT(ls.Condition(), 1.0);
        // The inverse has integer entries; its (0, 0) entry is n.
        EXPECT_NEAR(ls.Inverse(0, 0).ToDouble(), n, 1e-12 * n);
    }
}

// Regressor 2 = regressor 0 + 2·regressor 1 exactly: singular, and the
// message's pieces name 2 as the combination of 0 and 1 (or, the pivoting
// having taken the larger ones first, whichever is left).
TEST(LeastSquares, ExactDependenceIsFoundAndNamed) {
    CrossProducts cp(4);
    const double rows[][3] = {{1, 2, 7}, {2, 1, 3}, {3, 5, 4}, {4, 4, 9}, {6, 1, 2}};
    for (const auto& r : rows) {
        const double v[4] = {r[0], r[1], r[0] + 2 * r[1], r[2]};
        cp.Add(v, 1.0);
    }
    std::vector<DD> G(9), g(3);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) G[static_cast<std::size_t>(i * 3 + j)] = cp.Centred(i, j);
        g[static_cast<std::size_t>(i)] = cp.Centred(i, 3);
    }
    LeastSquares ls;
    EXPECT_EQ(ls.Solve(3, G, g, cp.Centred(3, 3), {1, 1, 1, 1}, 5), LeastSquares::Status::Singular);
    std::vector<int> all = ls.DependsOn();
    all.push_back(ls.Dependent());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<int>{0, 1, 2}));
}

// Values 1e9 + 0.1·k: raw sums in double lose the spread entirely; the sums
// about the first value give Σ(x − x̄)² = 0.01·Σ(k − k̄)² exactly
// (k = 0 .. 9: 82.5·0.01 = 0.825), with weights 2 counted twice.
TEST(CrossProducts, CentredSumsSurviveALargeMean) {
    CrossProducts cp(2);
    PowerSums ps;
    ps.Reset(2, true);
    for (int k = 0; k < 10; ++k) {
        const double x = 1e9 + 0.1 * k, y = 3.0 * k;
        const double v[2] = {x, y};
        cp.Add(v, 2.0);
        ps.Add(x, y, 2.0);
    }
    // x − x0 is taken in double: 0.1·k to within the spacing of doubles near 1e9 (1.2e-7).
    EXPECT_NEAR(cp.Centred(0, 0).ToDouble(), 2 * 0.825, 2 * 10 * 2 * 1.2e-7 * 0.5);
    EXPECT_NEAR(cp.Centred(1, 1).ToDouble(), 2 * 9 * 82.5, 1e-9);
    EXPECT_NEAR(cp.Mean(1).ToDouble(), 13.5, 1e-12);
    EXPECT_EQ(cp.SumW().ToDouble(), 20.0);
    EXPECT_EQ(ps.SumW().ToDouble(), 20.0);
    EXPECT_NEAR(ps.Z(2).ToDouble() - ps.Z(1).ToDouble() * ps.Z(1).ToDouble() / 20, 2 * 0.825, 1e-5);
    EXPECT_TRUE(ps.XVaries());
    EXPECT_TRUE(cp.AllFinite());
}

} // namespace
