#include "analyses/regression/CRegressPoly.h"

#include "engine/modStatsGeneral.h"

#include <cmath>

using namespace dao;

namespace {
using DD = DoubleDouble;

// C(j, m) for 0 <= m <= j <= k, exact while below 2^106.
std::vector<std::vector<DD>> binomials(int k) {
    std::vector<std::vector<DD>> c(static_cast<std::size_t>(k) + 1);
    for (std::size_t j = 0; j <= static_cast<std::size_t>(k); ++j) {
        c[j].assign(j + 1, DD(1.0));
        for (std::size_t m = 1; m < j; ++m) c[j][m] = c[j - 1][m - 1] + c[j - 1][m];
    }
    return c;
}

// a^0 .. a^k in DoubleDouble.
std::vector<DD> powers(double a, int k) {
    std::vector<DD> p(static_cast<std::size_t>(k) + 1, DD(1.0));
    for (std::size_t j = 1; j <= static_cast<std::size_t>(k); ++j) p[j] = p[j - 1] * a;
    return p;
}
} // namespace

CRegressPoly::CRegressPoly(const Settings& settings)
    : RegressionRun(settings, "Quorb_RegressPoly"), m_k(settings.PolyOrder) {}

std::string CRegressPoly::CheckOptions() {
    if (m_k < 1)
        return "The order of a polynomial regression must be 1 or more; the scenario gives " + std::to_string(m_k) + ".";
    return {};
}

std::vector<RegressionRun::CoefficientColumns> CRegressPoly::CoefficientColumnNames() const {
    std::vector<CoefficientColumns> cols;
    if (m_s.YIntercept) cols.push_back(CoefficientColumns::Intercept(true));
    for (int j = 1; j <= m_k; ++j) {
        const std::string x = "X^" + std::to_string(j);
        cols.push_back({"Coef_of_" + x, "SE_of_" + x, "Beta_of_" + x, "t-Value_of_" + x, "Prob_of_" + x, x + "_",
                        x + "_PartialF"});
    }
    return cols;
}

void CRegressPoly::AddResidualXColumns(const TableDefPtr& td, std::int16_t& ord) {
    AddTableField(td, "X_Value", dbDouble, ord, 0);
}

void CRegressPoly::InitData() {
    Guard("InitData", [&] {
        if (m_sums.size() != static_cast<std::size_t>(m_s.nX) + 1) {
            m_sums.assign(static_cast<std::size_t>(m_s.nX) + 1, PowerSums());
            for (auto& s : m_sums) s.Reset(m_k, m_s.YIntercept);
        } else {
            for (auto& s : m_sums) s.Clear();
        }
    });
}

void CRegressPoly::AddRecord() {
    if (!(m_w > 0) || !m_yOk) return;
    for (std::size_t i = 1; i <= static_cast<std::size_t>(m_s.nX); ++i)
        if (m_xOk[i]) m_sums[i].Add(m_x[i], m_y, m_w);
}

RegressionRun::FitModel CRegressPoly::ModelOf(const PowerSums& ps) const {
    // Regressors f_j = z^j (j = 1 .. k), z = x − a: with an intercept a is
    // the first x and the sums are centred; without one a = 0.
    FitModel M;
    const int k = m_k;
    const std::size_t K = static_cast<std::size_t>(k), Q = K + 1;
    const bool yint = m_s.YIntercept;
    M.p = k;
    M.intercept = yint;
    M.n = ps.SumW();
    M.records = ps.Count();
    const DD n = M.n;
    // The sums are in the units 2^XScale() of z and 2^YScale() of y': z^j
    // is regressor j, in the unit 2^(j·XScale()), and so are the origins.
    M.yScale = ps.YScale();
    M.scale.resize(K);
    for (std::size_t j = 1; j <= K; ++j) M.scale[j - 1] = static_cast<int>(j) * ps.XScale();
    const double b = std::ldexp(ps.OriginY(), -ps.YScale());
    M.G.resize(K * K);
    M.g.resize(K);
    M.rho.assign(Q, 1.0);
    M.ssx.assign(Q, 0.0);
    for (std::size_t i = 1; i <= K; ++i) {
        for (std::size_t j = 1; j <= K; ++j) {
            DD s = ps.ScaledZ(static_cast<int>(i + j));
            if (yint) s -= ps.ScaledZ(static_cast<int>(i)) * ps.ScaledZ(static_cast<int>(j)) / n;
            M.G[(i - 1) * K + j - 1] = s;
        }
        // Without an intercept y' = y (b = 0); with one the y origin drops out.
        DD s = ps.ScaledZY(static_cast<int>(i));
        if (yint) s -= ps.ScaledZ(static_cast<int>(i)) * ps.ScaledZY(0) / n;
        M.g[i - 1] = s;
        const double used = M.G[(i - 1) * K + i - 1].ToDouble();
        const double about = ps.ScaledZ(static_cast<int>(2 * i)).ToDouble();
        if (used > 0 && about > used) M.rho[i - 1] = about / used;
    }
    M.gyy = yint ? ps.ScaledYY() - ps.ScaledZY(0) * ps.ScaledZY(0) / n : ps.ScaledYY();
    M.ssy = M.gyy.ToDouble();
    if (M.gyy.hi > 0 && ps.ScaledYY().ToDouble() > M.ssy) M.rho[K] = ps.ScaledYY().ToDouble() / M.ssy;

    M.T.assign(Q * Q, DD());
    if (yint) {
        const double a = std::ldexp(ps.OriginX(), -ps.XScale());
        const auto C = binomials(k);
        const auto pa = powers(a, k), pma = powers(-a, k);
        M.mean.resize(K);
        for (std::size_t j = 1; j <= K; ++j) M.mean[j - 1] = ps.ScaledZ(static_cast<int>(j)) / n;
        M.yMean = DD(b) + ps.ScaledZY(0) / n;
        // b_m = Σ_{j>=m} C(j, m)·(−a)^(j−m)·θ_j.
        for (std::size_t m = 0; m <= K; ++m)
            for (std::size_t j = m; j <= K; ++j) M.T[m * Q + j] = C[j][m] * pma[j - m];
        // x^j = Σ_l C(j, l)·a^(j−l)·z^l: its centred sum of squares is uᵀGu.
        for (std::size_t j = 1; j <= K; ++j) {
            DD ss;
            for (std::size_t l = 1; l <= j; ++l)
                for (std::size_t t = 1; t <= j; ++t)
                    ss += C[j][l] * pa[j - l] * (C[j][t] * pa[j - t]) * M.G[(l - 1) * K + t - 1];
            M.ssx[j] = ss.ToDouble();
        }
    } else {
        for (std::size_t j = 1; j <= K; ++j) {
            M.T[j * Q + j] = DD(1.0);
            M.ssx[j] = M.G[(j - 1) * K + j - 1].ToDouble();
        }
    }
    return M;
}

void CRegressPoly::WriteStatisticsRows() {
    const std::vector<CoefficientColumns>& cols = OutputCoefficientColumns();
    m_fits.assign(static_cast<std::size_t>(m_s.nX) + 1, FitResult());
    for (std::int16_t i = 1; i <= m_s.nX; ++i) {
        const PowerSums& ps = m_sums[static_cast<std::size_t>(i)];
        const double n = ps.SumW().ToDouble();
        WriteStatisticsLead(*m_out, XIndex(i), n, static_cast<long>(ps.Count()));
        const double df = n - m_k - (m_s.YIntercept ? 1 : 0);
        if (df > 0 && ps.XVaries() && ps.YVaries()) {
            std::vector<std::string> names;
            for (int j = 1; j <= m_k; ++j) names.push_back(XName(i) + "^" + std::to_string(j));
            const std::string what =
                "The polynomial of order " + std::to_string(m_k) + " in " + XName(i) + " for " + YName();
            FitResult fit = Fit(ModelOf(ps), names, what);
            if (fit.solved) {
                WriteStatistics(*m_out, fit, cols, false);
                fit.origin = {ps.OriginX()};
                if (m_residual) m_fits[static_cast<std::size_t>(i)] = std::move(fit);
            }
        }
        m_out->Update();
    }
}

void CRegressPoly::WriteResidualRows() {
    const std::size_t K = static_cast<std::size_t>(m_k);
    m_f.resize(K);
    for (std::size_t i = 1; i <= static_cast<std::size_t>(m_s.nX); ++i) {
        const FitResult& fit = m_fits[i];
        if (!m_xOk[i] || !fit.solved) continue;
        BeginResidualRow(XIndex(static_cast<int>(i)));
        if (!m_xValue) m_xValue = m_res->Fields("X_Value");
        m_xValue->SetValue(m_x[i]);
        // The powers in the regressors' units (those of z^j in the data's
        // own may lie beyond a double).
        const double z = std::ldexp(m_x[i] - fit.origin[0], -fit.scale[0]);
        DD p(1.0);
        for (std::size_t j = 0; j < K; ++j) m_f[j] = p = p * z;
        EndResidualRow(Fitted(fit, m_f, true));
    }
}
