#include "analyses/regression/CRegressMulti.h"

#include "engine/modStatsGeneral.h"

using namespace dao;

CRegressMulti::CRegressMulti(const Settings& settings) : RegressionRun(settings, "Quorb_RegressMulti") {}

std::vector<RegressionRun::CoefficientColumns> CRegressMulti::CoefficientColumnNames() const {
    std::vector<CoefficientColumns> cols;
    if (m_s.YIntercept) cols.push_back(CoefficientColumns::Intercept(true));
    for (int i = 1; i <= m_s.nX; ++i) {
        const std::string tail = std::to_string(i) + ": " + XName(i);
        const std::string x = "X" + std::to_string(i);
        cols.push_back({Left64("Coef_of_X" + tail), Left64("SE_of_X" + tail), Left64("Beta_of_X" + tail),
                        Left64("t-Value_of_X" + tail), Left64("Prob_of_X" + tail), x + "_", x + "_PartialF"});
    }
    return cols;
}

void CRegressMulti::AddResidualXColumns(const TableDefPtr& td, std::int16_t& ord) {
    m_residualX.assign(static_cast<std::size_t>(m_s.nX) + 1, std::string());
    for (int i = 1; i <= m_s.nX; ++i) {
        m_residualX[static_cast<std::size_t>(i)] = Left64("X" + std::to_string(i) + ":" + XName(i));
        AddTableField(td, m_residualX[static_cast<std::size_t>(i)], dbDouble, ord, 0);
    }
}

void CRegressMulti::InitData() {
    Guard("InitData", [&] {
        if (m_sums.Variables() != m_s.nX + 1) m_sums.Reset(m_s.nX + 1);
        else m_sums.Clear();
        m_v.assign(static_cast<std::size_t>(m_s.nX) + 1, 0.0);
    });
}

void CRegressMulti::AddRecord() {
    if (!(m_w > 0) || !m_yOk) return;
    const std::size_t p = static_cast<std::size_t>(m_s.nX);
    for (std::size_t i = 1; i <= p; ++i) {
        if (!m_xOk[i]) return; // listwise: one unusable X and the record adds nothing
        m_v[i - 1] = m_x[i];
    }
    m_v[p] = m_y;
    m_sums.Add(m_v.data(), m_w);
}

void CRegressMulti::WriteStatisticsRows() {
    const int p = m_s.nX;
    const double n = m_sums.SumW().ToDouble();
    WriteStatisticsLead(*m_out, 0, n, static_cast<long>(m_sums.Count()));
    const double df = n - p - (m_s.YIntercept ? 1 : 0);
    bool ok = df > 0 && m_sums.ScaledCentred(p, p).hi > 0;
    for (int i = 0; ok && i < p; ++i) ok = m_sums.ScaledCentred(i, i).hi > 0;
    m_fit = FitResult();
    if (ok) {
        std::vector<std::string> names;
        for (int i = 1; i <= p; ++i) names.push_back(XName(i));
        FitResult fit = Fit(ModelOf(m_sums, m_s.YIntercept), names, "The multiple regression of " + YName());
        if (fit.solved) {
            WriteStatistics(*m_out, fit, OutputCoefficientColumns(), false);
            fit.origin.assign(static_cast<std::size_t>(p), 0.0);
            if (m_s.YIntercept)
                for (int i = 0; i < p; ++i) fit.origin[static_cast<std::size_t>(i)] = m_sums.Origin(i);
            if (m_residual) m_fit = std::move(fit);
        }
    }
    m_out->Update();
}

void CRegressMulti::WriteResidualRows() {
    if (!m_fit.solved) return;
    const std::size_t p = static_cast<std::size_t>(m_s.nX);
    for (std::size_t i = 1; i <= p; ++i)
        if (!m_xOk[i]) return;
    m_f.resize(p);
    if (m_xColumns.empty()) {
        m_xColumns.assign(p + 1, nullptr);
        for (std::size_t i = 1; i <= p; ++i) m_xColumns[i] = m_res->Fields(m_residualX[i]);
    }
    BeginResidualRow(0);
    for (std::size_t i = 1; i <= p; ++i) {
        m_xColumns[i]->SetValue(m_x[i]);
        m_f[i - 1] = DoubleDouble(m_x[i] - m_fit.origin[i - 1]);
    }
    EndResidualRow(Fitted(m_fit, m_f));
}
