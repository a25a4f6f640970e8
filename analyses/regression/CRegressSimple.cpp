#include "analyses/regression/CRegressSimple.h"

#include "engine/modStatsGeneral.h"

using namespace dao;

CRegressSimple::CRegressSimple(const Settings& settings) : RegressionRun(settings, "Quorb_RegressSimple") {}

std::vector<RegressionRun::CoefficientColumns> CRegressSimple::CoefficientColumnNames() const {
    std::vector<CoefficientColumns> cols;
    if (m_s.YIntercept) cols.push_back(CoefficientColumns::Intercept(false));
    cols.push_back({"Coef_of_X", "SE_of_X", "Beta_of_X", "t-Value_of_X", "Prob_of_X", "X_", ""});
    return cols;
}

void CRegressSimple::AddResidualXColumns(const TableDefPtr& td, std::int16_t& ord) {
    AddTableField(td, "X_Value", dbDouble, ord, 0);
}

void CRegressSimple::InitData() {
    Guard("InitData", [&] { m_sums.assign(static_cast<std::size_t>(m_s.nX) + 1, CrossProducts(2)); });
}

void CRegressSimple::AddRecord() {
    if (!(m_w > 0) || !m_yOk) return;
    for (std::size_t i = 1; i <= static_cast<std::size_t>(m_s.nX); ++i) {
        if (!m_xOk[i]) continue;
        const double v[2] = {m_x[i], m_y};
        m_sums[i].Add(v, m_w);
    }
}

void CRegressSimple::WriteStatisticsRows() {
    const std::vector<CoefficientColumns>& cols = OutputCoefficientColumns();
    m_fits.assign(static_cast<std::size_t>(m_s.nX) + 1, FitResult());
    for (std::int16_t i = 1; i <= m_s.nX; ++i) {
        const CrossProducts& cp = m_sums[static_cast<std::size_t>(i)];
        const double n = cp.SumW().ToDouble();
        WriteStatisticsLead(*m_out, XIndex(i), n, static_cast<long>(cp.Count()));
        const double df = n - (m_s.YIntercept ? 2 : 1);
        if (df > 0 && cp.ScaledCentred(0, 0).hi > 0 && cp.ScaledCentred(1, 1).hi > 0) {
            FitResult fit =
                Fit(ModelOf(cp, m_s.YIntercept), {XName(i)}, "The regression of " + YName() + " on " + XName(i));
            if (fit.solved) {
                WriteStatistics(*m_out, fit, cols, true);
                fit.origin = {m_s.YIntercept ? cp.Origin(0) : 0.0};
                if (m_residual) m_fits[static_cast<std::size_t>(i)] = std::move(fit);
            }
        }
        m_out->Update();
    }
}

void CRegressSimple::WriteResidualRows() {
    for (std::size_t i = 1; i <= static_cast<std::size_t>(m_s.nX); ++i) {
        const FitResult& fit = m_fits[i];
        if (!m_xOk[i] || !fit.solved) continue;
        BeginResidualRow(XIndex(static_cast<int>(i)));
        if (!m_xValue) m_xValue = m_res->Fields("X_Value");
        m_xValue->SetValue(m_x[i]);
        EndResidualRow(Fitted(fit, {DoubleDouble(m_x[i] - fit.origin[0])}));
    }
}
