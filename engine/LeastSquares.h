#pragma once
// LeastSquares: solves the normal equations G·c = g of a least-squares fit
// of y on p regressors, given their cross-products (about the means for a
// fit with an intercept, about zero for one through the origin), in
// double-double precision, and says how far the answer can be trusted.
//
// The system is scaled to unit diagonal (a correlation-like matrix Ĉ) and
// factored by Cholesky's method with diagonal pivoting: at each step the
// regressor with the largest remaining variance (the largest part not
// explained by the regressors already taken) is taken next. When that part
// is at the noise level of the sums the remaining regressors are linear
// combinations of those taken: the system is singular, and Dependency()
// names the combination.
//
// With Ĉ factored, its inverse is formed (for the standard errors) and its
// condition number κ = ‖Ĉ‖₁‖Ĉ⁻¹‖₁ gives a bound on the error of the solution:
// the sums carry a relative error of about ε = 1.2e-32 times the number of
// records times ρ, the ratio of the sums about the origin to the centred sums
// (the digits that centring cancels), and the solve adds about p²ε; the
// standardized coefficients θ̃ (c_j·√(G_jj/gyy)) are then off by at most
// ErrorBound()·(‖θ̃‖₁ + 1).
#include "engine/DoubleDouble.h"

#include <cstdint>
#include <vector>

class LeastSquares {
public:
    enum class Status { Solved, Singular };

    // G is p×p, row by row; g has p entries; gyy = the y cross-product; rho
    // holds p + 1 ratios (the regressors', then y's), each at least 1;
    // records is the number of records summed.
    Status Solve(int p, const std::vector<DoubleDouble>& G, const std::vector<DoubleDouble>& g, const DoubleDouble& gyy,
                 const std::vector<double>& rho, std::int64_t records);

    Status GetStatus() const noexcept { return m_status; }
    int Regressors() const noexcept { return m_p; }
    // The coefficients c (p entries).
    const std::vector<DoubleDouble>& Coefficients() const noexcept { return m_c; }
    // (G⁻¹)_ij.
    DoubleDouble Inverse(int i, int j) const;
    // gyy − c·g, the residual sum of squares (not clamped).
    const DoubleDouble& SSE() const noexcept { return m_sse; }
    // The bound described above, and the condition number.
    double ErrorBound() const noexcept { return m_eta; }
    double Condition() const noexcept { return m_kappa; }
    // ‖θ̃‖₁ of the standardized coefficients.
    double StandardizedNorm() const noexcept { return m_thetaNorm; }
    // A bound on the error of SSE.
    double SSEError() const noexcept { return m_sseError; }

    // The regressor that is (nearly) a linear combination of others: when
    // Singular, the first found; when solved, the one taken last (the least
    // independent). -1 when there is none (p = 0).
    int Dependent() const noexcept { return m_dependent; }
    // The regressors that combination uses, in their own order.
    const std::vector<int>& DependsOn() const noexcept { return m_dependsOn; }

private:
    void findDependency(int k);

    int m_p = 0;
    Status m_status = Status::Singular;
    std::vector<DoubleDouble> m_scaled; // Ĉ, p×p
    std::vector<DoubleDouble> m_L;      // the pivoted factor, p×p (in pivot order)
    std::vector<int> m_perm;
    std::vector<double> m_s;            // √G_ii
    std::vector<DoubleDouble> m_inv;    // Ĉ⁻¹ in the regressors' order
    std::vector<DoubleDouble> m_c;
    DoubleDouble m_sse;
    double m_eta = 0, m_kappa = 0, m_thetaNorm = 0, m_sseError = 0;
    int m_dependent = -1;
    std::vector<int> m_dependsOn;
};
