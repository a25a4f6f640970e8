#include "engine/LeastSquares.h"

#include <algorithm>
#include <cmath>

namespace {
using DD = DoubleDouble;
} // namespace

DoubleDouble LeastSquares::Inverse(int i, int j) const {
    const std::size_t P = static_cast<std::size_t>(m_p);
    const std::size_t I = static_cast<std::size_t>(i), J = static_cast<std::size_t>(j);
    return m_inv[I * P + J] / (DD::TwoProd(m_s[I], m_s[J]));
}

LeastSquares::Status LeastSquares::Solve(int p, const std::vector<DoubleDouble>& G, const std::vector<DoubleDouble>& g,
                                         const DoubleDouble& gyy, const std::vector<double>& rho, std::int64_t records) {
    m_p = p;
    m_status = Status::Singular;
    m_dependent = -1;
    m_dependsOn.clear();
    m_c.assign(static_cast<std::size_t>(p), DD());
    m_eta = m_kappa = m_thetaNorm = m_sseError = 0;
    m_sse = gyy;
    const std::size_t P = static_cast<std::size_t>(p);
    if (p <= 0) {
        m_status = Status::Solved;
        return m_status;
    }

    double rhoMax = 1;
    for (double r : rho)
        if (r > rhoMax) rhoMax = r;
    // (The scale factors are doubles, so Ĉ_ii is 1 only to about 1e-16: the
    // factors are exact divisors, and Ĉ keeps the full precision of G.)
    // Relative error of the scaled sums, and the level below which a
    // remaining variance is noise.
    const double sumsError = DD::Epsilon * (static_cast<double>(records) + 10.0) * rhoMax;
    const double noise = 64.0 * sumsError * static_cast<double>(p);

    m_s.assign(P, 0.0);
    for (std::size_t i = 0; i < P; ++i) {
        const DD gii = G[i * P + i];
        m_s[i] = gii.hi > 0 ? std::sqrt(gii.ToDouble()) : 0.0;
    }
    // A regressor without spread depends on the constant alone.
    for (std::size_t i = 0; i < P; ++i)
        if (!(m_s[i] > 0)) {
            m_dependent = static_cast<int>(i);
            return m_status;
        }
    const double sy = gyy.hi > 0 ? std::sqrt(gyy.ToDouble()) : 1.0;

    m_scaled.assign(P * P, DD());
    std::vector<DD> rhs(P);
    for (std::size_t i = 0; i < P; ++i) {
        for (std::size_t j = 0; j < P; ++j) m_scaled[i * P + j] = G[i * P + j] / DD::TwoProd(m_s[i], m_s[j]);
        rhs[i] = g[i] / DD::TwoProd(m_s[i], sy);
    }

    // Cholesky with diagonal pivoting on a working copy.
    std::vector<DD> A = m_scaled;
    m_perm.resize(P);
    for (std::size_t i = 0; i < P; ++i) m_perm[i] = static_cast<int>(i);
    m_L.assign(P * P, DD());
    for (std::size_t k = 0; k < P; ++k) {
        std::size_t best = k;
        for (std::size_t j = k + 1; j < P; ++j)
            if (A[j * P + j] > A[best * P + best]) best = j;
        if (best != k) {
            std::swap(m_perm[k], m_perm[best]);
            for (std::size_t j = 0; j < P; ++j) std::swap(A[k * P + j], A[best * P + j]);
            for (std::size_t j = 0; j < P; ++j) std::swap(A[j * P + k], A[j * P + best]);
            for (std::size_t j = 0; j < k; ++j) std::swap(m_L[k * P + j], m_L[best * P + j]);
        }
        const DD d = A[k * P + k];
        if (!(d.hi > noise)) {
            // Every remaining regressor is explained by those taken: name the
            // first of them in the regressors' own order.
            std::size_t first = k;
            for (std::size_t j = k + 1; j < P; ++j)
                if (m_perm[j] < m_perm[first]) first = j;
            if (first != k) {
                std::swap(m_perm[k], m_perm[first]);
                for (std::size_t j = 0; j < k; ++j) std::swap(m_L[k * P + j], m_L[first * P + j]);
            }
            findDependency(static_cast<int>(k));
            return m_status;
        }
        const DD l = Sqrt(d);
        m_L[k * P + k] = l;
        for (std::size_t i = k + 1; i < P; ++i) m_L[i * P + k] = A[i * P + k] / l;
        for (std::size_t i = k + 1; i < P; ++i)
            for (std::size_t j = k + 1; j <= i; ++j) {
                A[i * P + j] -= m_L[i * P + k] * m_L[j * P + k];
                A[j * P + i] = A[i * P + j];
            }
    }

    // L⁻¹ (lower triangular), then Ĉ⁻¹ = P·(L⁻¹)ᵀL⁻¹·Pᵀ.
    std::vector<DD> Li(P * P, DD());
    for (std::size_t j = 0; j < P; ++j) {
        Li[j * P + j] = DD(1.0) / m_L[j * P + j];
        for (std::size_t i = j + 1; i < P; ++i) {
            DD s;
            for (std::size_t t = j; t < i; ++t) s += m_L[i * P + t] * Li[t * P + j];
            Li[i * P + j] = -s / m_L[i * P + i];
        }
    }
    m_inv.assign(P * P, DD());
    for (std::size_t a = 0; a < P; ++a)
        for (std::size_t b = 0; b <= a; ++b) {
            DD s;
            for (std::size_t t = a; t < P; ++t) s += Li[t * P + a] * Li[t * P + b];
            const std::size_t i = static_cast<std::size_t>(m_perm[a]), j = static_cast<std::size_t>(m_perm[b]);
            m_inv[i * P + j] = s;
            m_inv[j * P + i] = s;
        }

    // Condition number in the 1-norm.
    double normA = 0, normInv = 0;
    for (std::size_t j = 0; j < P; ++j) {
        double ca = 0, ci = 0;
        for (std::size_t i = 0; i < P; ++i) {
            ca += std::fabs(m_scaled[i * P + j].hi);
            ci += std::fabs(m_inv[i * P + j].hi);
        }
        normA = std::max(normA, ca);
        normInv = std::max(normInv, ci);
    }
    m_kappa = normA * normInv;

    // θ̃ = Ĉ⁻¹·ĉ, c_j = θ̃_j·sy/s_j, SSE = gyy·(1 − ĉ·θ̃).
    std::vector<DD> theta(P);
    DD explained;
    for (std::size_t i = 0; i < P; ++i) {
        DD s;
        for (std::size_t j = 0; j < P; ++j) s += m_inv[i * P + j] * rhs[j];
        theta[i] = s;
        m_thetaNorm += std::fabs(s.hi);
    }
    for (std::size_t i = 0; i < P; ++i) {
        explained += rhs[i] * theta[i];
        m_c[i] = theta[i] * sy / DD(m_s[i]);
    }
    // explained = gᵀG⁻¹g / sy² exactly as sy is, so SSE = gyy − sy²·explained.
    m_sse = gyy - DD::TwoProd(sy, sy) * explained;

    m_eta = m_kappa * (sumsError * static_cast<double>(p) + 4.0 * DD::Epsilon * static_cast<double>(p * p));
    // δSSE ≈ gyy·(2‖ĉ‖‖δθ̃‖ + ‖θ̃‖²·‖δĈ‖): bounded with the same ingredients.
    m_sseError = (gyy.hi > 0 ? gyy.ToDouble() : 0.0) *
                 (m_eta * (m_thetaNorm + 1) * (2.0 + m_thetaNorm) + sumsError * (m_thetaNorm + 1) * (m_thetaNorm + 1));
    m_status = Status::Solved;
    findDependency(p - 1);
    return m_status;
}

void LeastSquares::findDependency(int k) {
    // The regressor at pivot position k regressed on those before it:
    // (L_k L_kᵀ)·β = Ĉ(taken, dependent), by forward and back substitution.
    const std::size_t P = static_cast<std::size_t>(m_p), K = static_cast<std::size_t>(k);
    m_dependent = m_perm[K];
    m_dependsOn.clear();
    if (K == 0) return;
    std::vector<DD> y(K);
    for (std::size_t i = 0; i < K; ++i) {
        DD s = m_scaled[static_cast<std::size_t>(m_perm[i]) * P + static_cast<std::size_t>(m_dependent)];
        for (std::size_t t = 0; t < i; ++t) s -= m_L[i * P + t] * y[t];
        y[i] = s / m_L[i * P + i];
    }
    std::vector<DD> beta(K);
    for (std::size_t ii = K; ii-- > 0;) {
        DD s = y[ii];
        for (std::size_t t = ii + 1; t < K; ++t) s -= m_L[t * P + ii] * beta[t];
        beta[ii] = s / m_L[ii * P + ii];
    }
    double biggest = 0;
    for (const auto& b : beta) biggest = std::max(biggest, std::fabs(b.hi));
    for (std::size_t i = 0; i < K; ++i)
        if (std::fabs(beta[i].hi) > 1e-8 * biggest) m_dependsOn.push_back(m_perm[i]);
    std::sort(m_dependsOn.begin(), m_dependsOn.end());
}
