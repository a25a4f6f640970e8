// The linear solver on small systems whose solutions and inverses are known
// exactly (worked by hand in fractions), on singular systems, and at the
// pivot tolerance. Every update goes through the decimal type, which keeps
// 15 significant digits, so results agree with the exact values to about
// 1e-14 of their size.
#include "engine/CMatrix.h"
#include "errors/CErr_ZUR.h"
#include "errors/ErrorGlobals.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

using Array2D = CMatrix::Array2D;

namespace {

constexpr double kTol = 1e-13;

// 1-based rows and columns from a list of rows; row 0 and column 0 stay 0.
// The array is at least `width` columns wide.
Array2D rows(std::initializer_list<std::initializer_list<double>> data, int width = 0) {
    const int n = static_cast<int>(data.size());
    int m = 0;
    for (const auto& r : data)
        m = std::max(m, static_cast<int>(r.size()));
    Array2D a(n, std::max(m, width));
    int i = 1;
    for (const auto& r : data) {
        int j = 1;
        for (double v : r)
            a(i, j++) = v;
        ++i;
    }
    return a;
}

// Identity in columns 1..n of rows 1..n, `cols` columns wide.
Array2D identity(int n, int cols) {
    Array2D b(n, cols);
    for (int i = 1; i <= n; ++i)
        b(i, i) = 1.0;
    return b;
}

void expectBlock(const Array2D& b, const std::vector<std::vector<double>>& expected, const std::string& what) {
    for (std::size_t i = 0; i < expected.size(); ++i)
        for (std::size_t j = 0; j < expected[i].size(); ++j)
            EXPECT_NEAR(b(static_cast<int>(i) + 1, static_cast<int>(j) + 1), expected[i][j], kTol)
                << what << " (" << i + 1 << "," << j + 1 << ")";
}

void expectSolution(const Array2D& a, int m, const std::vector<double>& x, const std::string& what) {
    for (std::size_t i = 0; i < x.size(); ++i)
        EXPECT_NEAR(a(static_cast<int>(i) + 1, m), x[i], kTol) << what << " x" << i + 1;
}

// Installs a fresh engine error handler that cancels its report, so that
// the solver's error block can be observed; puts the old one back after.
class EngineHandler {
public:
    EngineHandler() : m_old(gEngineErr) {
        gEngineErr = std::make_shared<CErr_ZUR>();
        gEngineErr->SetDisplayError(false);
        gEngineErr->SetDestinationPath(m_dir.file("error.log"));
        m_sub = gEngineErr->OnBeforeHandlerCalled([](bool& cancel) { cancel = true; });
    }
    ~EngineHandler() { gEngineErr = m_old; }
    CErr_ZUR& handler() { return *gEngineErr; }

private:
    vtest::TempDir m_dir;
    std::shared_ptr<CErr_ZUR> m_old;
    CErr_ZUR::Subscription m_sub;
};

// The solver on these rows (the right-hand side in the last column m): n
// equations (every row unless given), B the identity m columns wide (or
// bCols). `ok` is the solver's result.
struct Solve {
    Array2D a, b;
    bool ok;
    Solve(std::initializer_list<std::initializer_list<double>> data, int n = 0, int bCols = 0)
        : a(rows(data)), b(identity(a.UBound1(), bCols ? bCols : a.UBound2())),
          ok(CMatrix().Quorb_GaussJordan_b(static_cast<std::int16_t>(n ? n : a.UBound1()),
                                           static_cast<std::int16_t>(a.UBound2()), a, b, nullptr)) {}
};

} // namespace

TEST(CMatrix, TwoByTwoSolutionAndInverse) {
    Solve s({{2, 1, 5}, {1, 3, 10}});
    ASSERT_TRUE(s.ok);
    expectSolution(s.a, 3, {1, 3}, "2x2");
    expectBlock(s.b, {{0.6, -0.2}, {-0.2, 0.4}}, "inverse");
    expectBlock(s.a, {{1, 0}, {0, 1}}, "reduced block");
}

TEST(CMatrix, ZeroPivotExchangesRows) {
    Solve s({{0, 1, 2}, {1, 0, 3}});
    ASSERT_TRUE(s.ok);
    expectSolution(s.a, 3, {3, 2}, "exchanged");
    expectBlock(s.b, {{0, 1}, {1, 0}}, "inverse");
}

TEST(CMatrix, DependentRowsAreSingular) {
    Solve s({{1, 2, 3}, {2, 4, 6}});
    EXPECT_FALSE(s.ok);
    // the second row was eliminated to zeros before the pivot test failed
    EXPECT_EQ(s.a(2, 1), 0.0);
    EXPECT_EQ(s.a(2, 2), 0.0);
    EXPECT_EQ(s.a(2, 3), 0.0);
    EXPECT_FALSE(Solve({{1, 2, 3, 1}, {4, 5, 6, 2}, {7, 8, 9, 3}}).ok);
}

TEST(CMatrix, ThreeByThreeWithExchange) {
    Solve s({{0, 1, 1, 5}, {1, 1, 0, 2}, {2, 0, 1, 3}});
    ASSERT_TRUE(s.ok);
    expectSolution(s.a, 4, {0, 2, 3}, "3x3");
    expectBlock(s.b, {{-1.0 / 3, 1.0 / 3, 1.0 / 3}, {1.0 / 3, 2.0 / 3, -1.0 / 3}, {2.0 / 3, -2.0 / 3, 1.0 / 3}}, "inverse");
}

TEST(CMatrix, FourByFourKnownInverse) {
    // M = [[0,2,1,0],[1,0,0,2],[3,1,0,1],[0,1,2,1]]; worked in fractions,
    // M^-1 = 1/14 [[-4,-4,6,2],[10,3,-1,-5],[-6,-6,2,10],[2,9,-3,-1]], and
    // the right-hand side (-1, 2, 1.5, 4.5) is M (1, -2, 3, 0.5).
    const double m[4][4] = {{0, 2, 1, 0}, {1, 0, 0, 2}, {3, 1, 0, 1}, {0, 1, 2, 1}};
    Solve s({{0, 2, 1, 0, -1}, {1, 0, 0, 2, 2}, {3, 1, 0, 1, 1.5}, {0, 1, 2, 1, 4.5}});
    ASSERT_TRUE(s.ok);
    expectSolution(s.a, 5, {1, -2, 3, 0.5}, "4x4");
    const std::vector<std::vector<double>> inv = {{-4.0 / 14, -4.0 / 14, 6.0 / 14, 2.0 / 14},
                                                  {10.0 / 14, 3.0 / 14, -1.0 / 14, -5.0 / 14},
                                                  {-6.0 / 14, -6.0 / 14, 2.0 / 14, 10.0 / 14},
                                                  {2.0 / 14, 9.0 / 14, -3.0 / 14, -1.0 / 14}};
    expectBlock(s.b, inv, "inverse");
    // and M times the result is the identity
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += m[i][k] * s.b(k + 1, j + 1);
            EXPECT_NEAR(sum, i == j ? 1.0 : 0.0, kTol) << i << "," << j;
        }
}

TEST(CMatrix, PivotToleranceEdges) {
    {   // a diagonal entry of exactly 1e-14 is a pivot
        Solve s({{1e-14, 0, 1e-14}, {0, 1, 2}});
        ASSERT_TRUE(s.ok);
        expectSolution(s.a, 3, {1, 2}, "pivot 1e-14");
    }
    // just below it, with nothing usable underneath: singular
    EXPECT_FALSE(Solve({{9.9e-15, 0, 1}, {0, 1, 2}}).ok);
    {   // a candidate row of exactly 1e-14 is not taken for an exchange
        Solve s({{0, 1, 1}, {1e-14, 0, 1e-14}});
        EXPECT_FALSE(s.ok);
        EXPECT_EQ(s.a(1, 2), 1.0); // no exchange happened
    }
    {   // one a little above is
        Solve s({{0, 1, 1}, {2e-14, 0, 2e-14}});
        ASSERT_TRUE(s.ok);
        expectSolution(s.a, 3, {1, 1}, "exchange at 2e-14");
    }
    {   // two candidate rows below a zero pivot
        Solve s({{0, 1, 1, 3}, {1, 0, 1, 2}, {5, 1, 0, 7}});
        ASSERT_TRUE(s.ok);
        expectSolution(s.a, 4, {1, 2, 1}, "two candidates");
    }
}

TEST(CMatrix, EliminationClearsEntriesBelowTolerance) {
    // Row 2 minus row 1 leaves 1e-17 in the right-hand side: cleared to
    // exactly 0, so y is 0 and x is exactly 0.001.
    Solve s({{1, 1, 0.001}, {1, 2, 0.00100000000000001}});
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.a(2, 3), 0.0);
    EXPECT_EQ(s.a(1, 3), 0.001);
}

TEST(CMatrix, SquareCallLeavesTheLastColumnCleared) {
    // m = n: column n is also the right-hand side; A = [[4,7],[2,6]],
    // inverse 1/10 [[6,-7],[-2,4]].
    Solve s({{4, 7}, {2, 6}});
    ASSERT_TRUE(s.ok);
    expectBlock(s.b, {{0.6, -0.7}, {-0.2, 0.4}}, "inverse");
    EXPECT_EQ(s.a(1, 2), 0.0);
    EXPECT_NEAR(s.a(2, 2), 1.0, kTol);
    EXPECT_NEAR(s.a(1, 1), 1.0, kTol);
}

TEST(CMatrix, RegressionWithoutInterceptSolvesTheFirstRowAlone) {
    // n = 1, m = 3: column 2 (the left-out intercept) only takes part in the
    // forward elimination; row 2 is not touched.
    Solve s({{2, 5, 8}, {7, 9, 11}}, 1);
    ASSERT_TRUE(s.ok);
    EXPECT_NEAR(s.a(1, 3), 4.0, kTol);
    EXPECT_NEAR(s.a(1, 2), 2.5, kTol);
    EXPECT_NEAR(s.b(1, 1), 0.5, kTol);
    EXPECT_EQ(s.a(2, 1), 7.0);
    EXPECT_EQ(s.a(2, 3), 11.0);
    EXPECT_EQ(s.b(2, 2), 1.0);
}

TEST(CMatrix, DecimalDifferencesGiveExactDecimalResults) {
    // 0.1 x + 0.2 y = 0.3 and 0.3 x + 0.4 y = 0.7 have the solution (1, 1);
    // the decimal differences land on it exactly.
    Solve s({{0.1, 0.2, 0.3}, {0.3, 0.4, 0.7}});
    ASSERT_TRUE(s.ok);
    EXPECT_NEAR(s.a(1, 3), 1.0, kTol);
    EXPECT_NEAR(s.a(2, 3), 1.0, kTol);
    // inverse of [[0.1,0.2],[0.3,0.4]] is [[-20,10],[15,-5]]
    EXPECT_NEAR(s.b(1, 1), -20.0, 20 * kTol);
    EXPECT_NEAR(s.b(1, 2), 10.0, 10 * kTol);
    EXPECT_NEAR(s.b(2, 1), 15.0, 15 * kTol);
    EXPECT_NEAR(s.b(2, 2), -5.0, 5 * kTol);
}

TEST(CMatrix, NarrowInverseArrayIsReportedToTheEngineHandler) {
    EngineHandler h;
    // B has only n columns but the exchange runs over m = 3 of them.
    EXPECT_FALSE(Solve({{0, 1, 2}, {1, 0, 3}}, 2, 2).ok);
    EXPECT_EQ(h.handler().ErrNumber(), 9);
    EXPECT_EQ(h.handler().ErrProcedure(), "CMatrix:Quorb_GaussJordan_b");
    EXPECT_EQ(h.handler().StackPointer(), 0); // popped on the way out
}

TEST(CMatrix, OverflowIsReportedToTheEngineHandler) {
    EngineHandler h;
    EXPECT_FALSE(Solve({{1e-10, 1e300, 1}, {1, 1, 1}}).ok);
    EXPECT_EQ(h.handler().ErrNumber(), 6);
}

TEST(CMatrix, ArrayBounds) {
    Array2D a(2, 3);
    EXPECT_EQ(a.UBound1(), 2);
    EXPECT_EQ(a.UBound2(), 3);
    EXPECT_EQ(a(2, 3), 0.0);
    EXPECT_THROW((void)a(3, 0), RunTimeError);
    EXPECT_THROW((void)a(0, -1), RunTimeError);
    a.ReDim(1, 1);
    EXPECT_EQ(a.UBound2(), 1);
    EXPECT_THROW((void)a(2, 1), RunTimeError);
}
