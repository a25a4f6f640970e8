#include "analyses/regression/CRegressSimple.h"

#include "engine/RunContext.h"
#include "engine/modStatsGeneral.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"

using namespace dao;

std::string CRegressSimple::Quorb_RegressSimple(std::string OutputTable1, std::string OutputTable2, std::string Table,
                                                FieldList& Fields, std::int16_t nGroup, std::int16_t nX, bool bWeight,
                                                bool bAnova, bool bYInt, std::int16_t CI, RunContext& Engine) {
    Settings s{OutputTable1, OutputTable2, Table, Fields, nGroup, nX, bWeight, bAnova, bYInt, CI};
    return RunEntry("Quorb_RegressSimple", s, Engine);
}

std::vector<RegressionRun::CoefficientColumns> CRegressSimple::CoefficientColumnNames() const {
    std::vector<CoefficientColumns> cols;
    if (m_s.bYInt) cols.push_back(CoefficientColumns::Intercept(false));
    cols.push_back({"Coef_of_X", "SE_of_X", "Beta_of_X", "t-Value_of_X", "Prob_of_X", "X_", ""});
    return cols;
}

void CRegressSimple::AddResidualXColumns(const TableDefPtr& td, std::int16_t& ord) {
    AddTableField(td, "X_Value", dbDouble, ord, 0);
}

void CRegressSimple::InitData() {
    ProcGuard proc(gEngineErr, "InitData");
    try {
        m_sums.assign(static_cast<std::size_t>(m_s.nX) + 1, CrossProducts(2));
    } catch (...) {
        Fail(proc);
    }
}

void CRegressSimple::CalcData() {
    ProcGuard proc(gEngineErr, "CalcData");
    try {
        if (!(m_w > 0) || !m_yOk) return;
        for (std::size_t i = 1; i <= static_cast<std::size_t>(m_s.nX); ++i) {
            if (!m_xOk[i]) continue;
            const double v[2] = {m_x[i], m_y};
            m_sums[i].Add(v, m_w);
        }
    } catch (...) {
        Fail(proc);
    }
}

void CRegressSimple::WriteData() {
    ProcGuard proc(gEngineErr, "WriteData");
    try {
        const std::vector<CoefficientColumns> cols = CoefficientColumnNames();
        std::vector<FitResult> fits(static_cast<std::size_t>(m_s.nX) + 1);
        for (std::int16_t i = 1; i <= m_s.nX; ++i) {
            const CrossProducts& cp = m_sums[static_cast<std::size_t>(i)];
            const double n = cp.SumW().ToDouble();
            WriteStatisticsLead(*m_out, static_cast<std::int16_t>(m_s.nG + i), n, static_cast<long>(cp.Count()));
            const double df = n - (m_s.bYInt ? 2 : 1);
            if (df > 0 && cp.Centred(0, 0).hi > 0 && cp.Centred(1, 1).hi > 0) {
                FitResult fit = Fit(ModelOf(cp, m_s.bYInt), {XName(i)},
                                    "The regression of " + YName() + " on " + XName(i));
                if (fit.solved) {
                    WriteStatistics(*m_out, fit, cols, true);
                    fit.origin = {m_s.bYInt ? cp.Origin(0) : 0.0};
                    fits[static_cast<std::size_t>(i)] = std::move(fit);
                }
            }
            m_out->Update();
        }
        if (m_residual) m_fits.push_back(std::move(fits));
    } catch (...) {
        Fail(proc);
    }
}

void CRegressSimple::WriteResidualRows(std::size_t group) {
    if (group >= m_fits.size()) return;
    for (std::size_t i = 1; i <= static_cast<std::size_t>(m_s.nX); ++i) {
        const FitResult& fit = m_fits[group][i];
        if (!m_xOk[i] || !fit.solved) continue;
        BeginResidualRow(static_cast<std::int16_t>(m_s.nG + static_cast<int>(i)));
        if (!m_xValue) m_xValue = m_res->Fields("X_Value");
        m_xValue->SetValue(m_x[i]);
        EndResidualRow(Fitted(fit, {DoubleDouble(m_x[i] - fit.origin[0])}));
    }
}
