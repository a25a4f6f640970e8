#include "analyses/regression/RegressionRun.h"

#include "engine/CZValue.h"
#include "engine/CrossProducts.h"
#include "engine/LeastSquares.h"
#include "engine/RunContext.h"
#include "engine/modStatsGeneral.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "errors/RunTimeError.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace dao;

namespace {

using DD = DoubleDouble;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kEps = 2.220446049250313e-16;
// The agreement a reported coefficient must have with the exact least-squares
// answer, relative to the larger of its size and its standard error.
constexpr double kDigits = 1e-9;

void setOrNull(Recordset& rs, const std::string& column, double v) {
    if (column.empty()) return;
    if (std::isfinite(v)) rs.Fields(column)->SetValue(v);
}

std::string joinNames(const std::vector<std::string>& names, const std::vector<int>& which) {
    std::string s;
    for (std::size_t i = 0; i < which.size(); ++i) {
        if (i) s += i + 1 == which.size() ? " and " : ", ";
        s += names[static_cast<std::size_t>(which[i])];
    }
    return s;
}

} // namespace

RegressionRun::CoefficientColumns RegressionRun::CoefficientColumns::Intercept(bool withPartialF) {
    return {"Y-Intercept", "SE_of_Y-Intercept", "", "t-Value_of_Y-Intercept", "Prob_of_Y-Intercept", "Y-Int_",
            withPartialF ? "Y-Int_PartialF" : ""};
}

std::size_t& RegressionRun::KeepLimit() {
    static std::size_t limit = std::size_t(1) << 23;
    return limit;
}

RegressionRun::RegressionRun() = default;
RegressionRun::~RegressionRun() = default;

void RegressionRun::Fail(ProcGuard& proc) {
    proc.HandleError();
    if (m_error.empty()) m_error = RunContext::UnexpectedErrorMessage(proc.Handler(), "Unexpected error in Regression");
}

std::string RegressionRun::GroupText() const {
    std::string s;
    for (std::size_t i = 1; i <= static_cast<std::size_t>(m_s.nG); ++i) {
        if (i > 1) s += ", ";
        const Variant& v = m_prev[i];
        s += m_s.fields[i] + " = " + (v.IsNull() ? std::string("Null") : v.ToString());
    }
    return s;
}

std::string RegressionRun::Reopen() { return m_Engine->Quorb_InitDataTable(m_s.table, m_s.fields, m_s.nG, m_types, m_sizes); }

std::string RegressionRun::RunEntry(const char* name, const Settings& settings, RunContext& Engine) {
    m_Engine = &Engine;
    ProcGuard proc(gEngineErr, name);
    std::string msg;
    bool queryOpened = false, outputMade = false;
    try {
        m_s = settings;
        m_residual = !m_s.out2.empty();
        m_missingRule = !Engine.MissingRule().empty();
        msg = CheckOptions();
        if (msg.empty() && m_residual && NamesEqual(m_s.out1, m_s.out2))
            msg = "The residual table needs a name of its own: " + m_s.out2 + " is also the statistics table.";
        if (msg.empty()) {
            Engine.Quorb_Msg(0, true, "Retrieving and sorting data");
            msg = Reopen();
            queryOpened = msg.empty();
        }
        if (msg.empty() && !Failed()) {
            Engine.Quorb_Msg(0, true, "Creating output table");
            msg = CreateOutput();
            outputMade = msg.empty() && !Failed();
        }
        if (msg.empty() && !Failed() && m_residual) msg = CreateResidual();
        if (msg.empty() && !Failed()) {
            Engine.Quorb_Msg(0, true, "Analyzing records");
            ReadInKeptTransaction([&] { ReadRecords(); });
        }
        if (msg.empty() && !Failed() && m_residual) {
            Engine.Quorb_Msg(0, true, "Performing residual analysis");
            if (m_deferFrom != kNone) {
                if (auto rs = Engine.DataRecordset()) rs->Close();
                msg = Reopen();
                if (msg.empty()) {
                    ReadInKeptTransaction([&] { CalcResiduals(); });
                }
            }
            if (msg.empty() && !Failed()) {
                const std::string text = "Residual analysis record: " + std::to_string(m_residualCount);
                // The multiple regression passes its count, the others 0 (which adds "...").
                Engine.Quorb_Msg(WithDataField() ? 0 : m_residualCount, true, text);
            }
        }
    } catch (...) {
        Fail(proc);
    }
    try {
        if (m_res) m_res->Close();
        m_res.reset();
        Engine.SetOutputRecordset2(nullptr);
        if (outputMade)
            if (auto rs = Engine.OutputRecordset()) rs->Close();
        if (queryOpened)
            if (auto rs = Engine.DataRecordset()) rs->Close();
    } catch (...) {
        Fail(proc);
    }
    if (msg.empty() && Failed()) msg = m_error;
    if (msg.empty()) msg = m_refusal;
    m_Engine = nullptr;
    return msg;
}

std::string RegressionRun::CreateOutput() {
    ProcGuard proc(gEngineErr, "CreateOutput");
    std::string msg;
    try {
        RunContext& eng = *m_Engine;
        m_countColumn = Left64("Count_of_" + YName());
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_s.out1);
        std::int16_t ord = CreateLeadFields(td, m_s.nG, m_s.fields, m_types, m_sizes, WithDataField(), 0, 0,
                                            m_s.bWeight, m_countColumn, "Missing");
        // Column groups in order: coefficients, standard errors, betas,
        // t-values, probabilities, confidence intervals, partial F.
        const std::vector<CoefficientColumns> cols = CoefficientColumnNames();
        for (auto member : {&CoefficientColumns::coef, &CoefficientColumns::se, &CoefficientColumns::beta,
                            &CoefficientColumns::t, &CoefficientColumns::prob})
            for (const auto& c : cols)
                if (!(c.*member).empty()) AddTableField(td, c.*member, dbDouble, ord, 0);
        if (m_s.CI > 0) {
            const std::string ci = std::to_string(m_s.CI);
            for (const auto& c : cols)
                for (const char* suffix : {"%_CI_Interval", "%_CI_Low", "%_CI_High"})
                    AddTableField(td, c.ciPrefix + ci + suffix, dbDouble, ord, 0);
            for (const auto& c : cols)
                if (!c.partialF.empty()) AddTableField(td, c.partialF, dbDouble, ord, 0);
        }
        CreateRegressionSummaryFields(td, m_s.bAnova, ord);
        msg = eng.ReplaceOutputTable(td, true, [&] { return Reopen(); }, m_s.table);
        if (msg.empty()) m_out = eng.OutputRecordset();
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

std::string RegressionRun::CreateResidual() {
    ProcGuard proc(gEngineErr, "CreateResidual");
    std::string msg;
    try {
        RunContext& eng = *m_Engine;
        m_yResidualColumn = Left64("Y:" + YName());
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_s.out2);
        std::int16_t ord =
            CreateLeadFields(td, m_s.nG, m_s.fields, m_types, m_sizes, WithDataField(), 0, 0, m_s.bWeight, "", "");
        AddResidualXColumns(td, ord);
        AddTableField(td, m_yResidualColumn, dbDouble, ord, 0);
        AddTableField(td, "Estimated_Y", dbDouble, ord, 0);
        AddTableField(td, "Residual", dbDouble, ord, 0);
        msg = eng.ReplaceOutputTable(td, false, [&] { return Reopen(); }, m_s.table);
        if (msg.empty()) {
            m_res = eng.OutputDatabase()->OpenRecordset(m_s.out2, dbOpenDynaset, dbAppendOnly);
            eng.SetOutputRecordset2(m_res);
        }
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

void RegressionRun::ReadValues() {
    RunContext& eng = *m_Engine;
    m_w = m_s.bWeight ? eng.Quorb_WeightCalc(true, m_s.fields, static_cast<std::int16_t>(m_s.nG + m_s.nX + 2)) : 1.0;
    Variant v = m_yCol->Value();
    m_yOk = !v.IsNull();
    if (m_yOk) {
        m_y = v.ToDouble();
        m_yOk = !m_missingRule || eng.Quorb_DataOk_b(m_y, false);
    }
    for (std::size_t i = 1; i <= static_cast<std::size_t>(m_s.nX); ++i) {
        v = m_xCols[i]->Value();
        bool ok = !v.IsNull();
        if (ok) {
            m_x[i] = v.ToDouble();
            ok = !m_missingRule || eng.Quorb_DataOk_b(m_x[i], false);
        }
        m_xOk[i] = ok;
    }
}

void RegressionRun::ReadRecords() {
    ProcGuard proc(gEngineErr, "ReadRecords");
    try {
        RunContext& eng = *m_Engine;
        RecordsetPtr rs = eng.InputRecordset();
        const std::size_t nG = static_cast<std::size_t>(m_s.nG), nX = static_cast<std::size_t>(m_s.nX);
        m_prev.assign(nG + 1, Variant::Null());
        m_cur.assign(nG + 1, Variant::Null());
        m_groupCols.assign(nG + 1, nullptr);
        m_xCols.assign(nX + 1, nullptr);
        m_x.assign(nX + 1, 0.0);
        m_xOk.assign(nX + 1, 0);
        for (std::size_t i = 1; i <= nG; ++i) m_groupCols[i] = rs->Fields(m_s.fields[i]);
        for (std::size_t i = 1; i <= nX; ++i) m_xCols[i] = rs->Fields(m_s.fields[nG + i]);
        m_yCol = rs->Fields(m_s.fields[nG + nX + 1]);

        long runCount = 0;
        m_groupRecords = 0;
        std::size_t group = 0;
        InitData();
        while (!Failed()) {
            if (rs->EOF_()) {
                eng.Quorb_Msg(runCount, true, "");
                WriteData();
                FlushResiduals(group);
                break;
            }
            for (std::size_t i = 1; i <= nG; ++i) m_cur[i] = m_groupCols[i]->Value();
            if (eng.Quorb_SameRecords_b(m_s.nG, runCount != 0, m_prev, m_cur)) {
                eng.Quorb_Msg(runCount, true, "");
                WriteData();
                FlushResiduals(group);
                if (Failed()) break;
                for (std::size_t i = 1; i <= nG; ++i) m_prev[i] = m_cur[i];
                InitData();
                m_groupRecords = 0;
                ++group;
            }
            ReadValues();
            CalcData();
            if (m_residual && m_deferFrom == kNone && m_w > 0 && m_yOk) KeepForResiduals(group);
            if (runCount == std::numeric_limits<std::int32_t>::max()) throw RunTimeError(rterr::Overflow);
            ++runCount;
            ++m_groupRecords;
            eng.Quorb_Msg(runCount, false, "");
            rs->MoveNext();
        }
    } catch (...) {
        Fail(proc);
    }
}

void RegressionRun::KeepForResiduals(std::size_t group) {
    const std::size_t nX = static_cast<std::size_t>(m_s.nX);
    if (m_kept.size() + nX + 2 > KeepLimit()) {
        // The group is too large to hold: it and every later group get their
        // residual rows from a second reading of the records.
        m_deferFrom = group;
        m_kept.clear();
        m_keptOk.clear();
        return;
    }
    m_kept.push_back(m_w);
    m_kept.push_back(m_y);
    for (std::size_t i = 1; i <= nX; ++i) {
        m_kept.push_back(m_x[i]);
        m_keptOk.push_back(m_xOk[i]);
    }
}

void RegressionRun::FlushResiduals(std::size_t group) {
    if (!m_residual || Failed() || m_deferFrom != kNone) return;
    ProcGuard proc(gEngineErr, "CalcResiduals");
    try {
        const std::size_t nX = static_cast<std::size_t>(m_s.nX);
        for (std::size_t r = 0, k = 0; r < m_kept.size(); r += nX + 2) {
            m_w = m_kept[r];
            m_y = m_kept[r + 1];
            m_yOk = true;
            for (std::size_t i = 1; i <= nX; ++i, ++k) {
                m_x[i] = m_kept[r + 1 + i];
                m_xOk[i] = m_keptOk[k];
            }
            WriteResidualRows(group);
        }
    } catch (...) {
        Fail(proc);
    }
    m_kept.clear();
    m_keptOk.clear();
}

void RegressionRun::CalcResiduals() {
    ProcGuard proc(gEngineErr, "CalcResiduals");
    try {
        RunContext& eng = *m_Engine;
        RecordsetPtr rs = eng.InputRecordset();
        const std::size_t nG = static_cast<std::size_t>(m_s.nG), nX = static_cast<std::size_t>(m_s.nX);
        for (std::size_t i = 1; i <= nG; ++i) m_groupCols[i] = rs->Fields(m_s.fields[i]);
        for (std::size_t i = 1; i <= nX; ++i) m_xCols[i] = rs->Fields(m_s.fields[nG + i]);
        m_yCol = rs->Fields(m_s.fields[nG + nX + 1]);
        std::size_t group = 0;
        bool first = true;
        while (!Failed() && !rs->EOF_()) {
            for (std::size_t i = 1; i <= nG; ++i) m_cur[i] = m_groupCols[i]->Value();
            if (eng.Quorb_SameRecords_b(m_s.nG, !first, m_prev, m_cur)) {
                ++group;
                for (std::size_t i = 1; i <= nG; ++i) m_prev[i] = m_cur[i];
            }
            first = false;
            if (group >= m_deferFrom) {
                ReadValues();
                if (m_w > 0 && m_yOk) WriteResidualRows(group);
            }
            rs->MoveNext();
        }
    } catch (...) {
        Fail(proc);
    }
}

void RegressionRun::BeginResidualRow(std::int16_t dataField) {
    if (!m_resY) {
        m_resGroup.assign(static_cast<std::size_t>(m_s.nG) + 1, nullptr);
        for (std::size_t i = 1; i <= static_cast<std::size_t>(m_s.nG); ++i) m_resGroup[i] = m_res->Fields(m_s.fields[i]);
        if (WithDataField()) m_resDataField = m_res->Fields("DataField");
        if (m_s.bWeight) m_resObservations = m_res->Fields("Observations");
        m_resY = m_res->Fields(m_yResidualColumn);
        m_resFitted = m_res->Fields("Estimated_Y");
        m_resResidual = m_res->Fields("Residual");
    }
    m_res->AddNew();
    for (std::size_t i = 1; i <= static_cast<std::size_t>(m_s.nG); ++i)
        if (!m_prev[i].IsNull()) m_resGroup[i]->SetValue(m_prev[i]);
    if (m_resDataField && dataField > 0) m_resDataField->SetValue(m_s.fields[static_cast<std::size_t>(dataField)]);
    // The record's weight (not its whole-number part).
    if (m_resObservations) m_resObservations->SetValue(m_w);
    m_resY->SetValue(m_y);
}

void RegressionRun::EndResidualRow(const DoubleDouble& fitted) {
    m_resFitted->SetValue(fitted.ToDouble());
    m_resResidual->SetValue((DD(m_y) - fitted).ToDouble());
    m_res->Update();
    ++m_residualCount;
    // Shown every fifth row; the text is made only then.
    if (m_residualCount % 5 == 0)
        m_Engine->Quorb_Msg(m_residualCount, false, "Residual analysis record: " + std::to_string(m_residualCount));
}

DoubleDouble RegressionRun::Fitted(const FitResult& fit, const std::vector<DoubleDouble>& f) {
    DD s = fit.intercept ? fit.yMean : DD();
    for (std::size_t j = 0; j < fit.c.size(); ++j)
        s += fit.c[j] * (fit.intercept ? f[j] - fit.mean[j] : f[j]);
    return s;
}

void RegressionRun::WriteStatisticsLead(Recordset& out, std::int16_t dataField, double n, long observations) {
    out.AddNew();
    WriteLeadFields(out, m_s.nG, m_s.fields, m_prev, dataField, m_countColumn, "Missing", m_s.bWeight, n,
                    m_groupRecords, observations, 0, Variant::Null(), Variant::Null());
}

RegressionRun::FitModel RegressionRun::ModelOf(const CrossProducts& cp, bool intercept) {
    FitModel M;
    const int p = cp.Variables() - 1;
    const std::size_t P = static_cast<std::size_t>(p), Q = P + 1;
    M.p = p;
    M.intercept = intercept;
    M.n = cp.SumW();
    M.records = cp.Count();
    M.G.resize(P * P);
    M.g.resize(P);
    M.rho.assign(Q, 1.0);
    M.ssx.assign(Q, 0.0);
    M.T.assign(Q * Q, DD());
    for (std::size_t j = 1; j < Q; ++j) M.T[j * Q + j] = DD(1.0);
    auto sumOf = [&](int i, int j) { return intercept ? cp.Centred(i, j) : cp.Raw(i, j); };
    for (int i = 0; i < p; ++i) {
        const std::size_t I = static_cast<std::size_t>(i);
        for (int j = 0; j < p; ++j) M.G[I * P + static_cast<std::size_t>(j)] = sumOf(i, j);
        M.g[I] = sumOf(i, p);
        M.ssx[I + 1] = M.G[I * P + I].ToDouble();
    }
    M.gyy = sumOf(p, p);
    M.ssy = M.gyy.ToDouble();
    // How many times larger the summed magnitudes are than the sums used.
    const double n = M.n.ToDouble();
    for (int i = 0; i <= p; ++i) {
        const double about = cp.ProductAboutOrigin(i, i).ToDouble();
        const double used = sumOf(i, i).ToDouble();
        const double mag = intercept ? about : std::pow(std::sqrt(about) + std::fabs(cp.Origin(i)) * std::sqrt(n), 2);
        if (used > 0 && mag > used) M.rho[static_cast<std::size_t>(i)] = mag / used;
    }
    if (intercept) {
        M.mean.resize(P);
        for (int i = 0; i < p; ++i) {
            M.mean[static_cast<std::size_t>(i)] = cp.MeanAboutOrigin(i);
            M.T[static_cast<std::size_t>(i) + 1] = DD(-cp.Origin(i)); // b0 = θ0 − Σ a_i θ_i
        }
        M.T[0] = DD(1.0);
        M.yMean = cp.Mean(p);
    }
    return M;
}

RegressionRun::FitResult RegressionRun::Fit(const FitModel& M, const std::vector<std::string>& names,
                                            const std::string& what) {
    FitResult R;
    const int p = M.p;
    const std::size_t P = static_cast<std::size_t>(p), Q = P + 1;
    R.n = M.n.ToDouble();
    R.intercept = M.intercept;
    R.df = R.n - p - (M.intercept ? 1 : 0);
    std::string where = m_s.nG > 0 ? " in the group " + GroupText() : std::string();

    bool finite = M.n.IsFinite() && M.gyy.IsFinite();
    for (const auto& v : M.G) finite = finite && v.IsFinite();
    for (const auto& v : M.g) finite = finite && v.IsFinite();
    if (!finite) {
        if (m_refusal.empty())
            m_refusal = what + " cannot be computed" + where + ": its sums of squares overflow the numbers of the machine.";
        return R;
    }

    LeastSquares ls;
    if (ls.Solve(p, M.G, M.g, M.gyy, M.rho, M.records) == LeastSquares::Status::Singular) {
        if (m_refusal.empty()) {
            m_refusal = what + " cannot be computed" + where + ": " + names[static_cast<std::size_t>(ls.Dependent())] +
                        (ls.DependsOn().empty() ? std::string(" does not vary")
                                                : " is a linear combination of " + joinNames(names, ls.DependsOn())) +
                        " (collinear regressors).";
        }
        return R;
    }

    // θ = (intercept of the fit in f, slopes), with its covariance / σ².
    std::vector<DD> theta(Q);
    const auto& c = ls.Coefficients();
    for (std::size_t j = 0; j < P; ++j) theta[j + 1] = c[j];
    std::vector<DD> V(Q * Q);
    for (std::size_t i = 0; i < P; ++i)
        for (std::size_t j = 0; j < P; ++j) V[(i + 1) * Q + j + 1] = ls.Inverse(static_cast<int>(i), static_cast<int>(j));
    if (M.intercept) {
        DD c0 = M.yMean;
        for (std::size_t j = 0; j < P; ++j) c0 -= c[j] * M.mean[j];
        theta[0] = c0;
        DD v00 = DD(1.0) / M.n;
        for (std::size_t i = 0; i < P; ++i) {
            DD s; // (G⁻¹·mean)_i
            for (std::size_t j = 0; j < P; ++j) s += V[(i + 1) * Q + j + 1] * M.mean[j];
            V[i + 1] = -s;
            V[(i + 1) * Q] = -s;
            v00 += s * M.mean[i];
        }
        V[0] = v00;
    }

    // SSE, with whatever lies within its rounding noise taken as 0.
    const double gyy = M.gyy.ToDouble();
    double sse = ls.SSE().ToDouble();
    const double noise = std::max(ls.SSEError(), 4096.0 * kEps * kEps * gyy);
    // A fit is perfect only when its noise is too small to move R² from 1 in
    // the digits reported; a residual sum lost in a larger noise is unknown,
    // not 0, and must not be shown as a perfect fit.
    if (std::fabs(sse) <= noise && noise <= kDigits * gyy) {
        sse = 0;
        R.perfect = true;
    } else if (sse < 0 || std::fabs(sse) <= noise) {
        if (m_refusal.empty())
            m_refusal = what + " cannot be computed" + where + ": the residual sum of squares is lost to rounding (" +
                        names[static_cast<std::size_t>(ls.Dependent())] + " is nearly collinear with the other regressors).";
        return R;
    }

    // Reported coefficients b = T·θ, their variance factors diag(T·V·Tᵀ),
    // and the bound on their error from the solver's.
    const double sy = gyy > 0 ? std::sqrt(gyy) : 1.0;
    const double dTheta = ls.ErrorBound() * (ls.StandardizedNorm() + 1);
    std::vector<double> dc(Q, 0.0);
    for (std::size_t j = 0; j < P; ++j) {
        const double gjj = M.G[j * P + j].ToDouble();
        dc[j + 1] = dTheta * sy / std::sqrt(gjj);
        if (M.intercept) dc[0] += std::fabs(M.mean[j].ToDouble()) * dc[j + 1];
    }
    R.b.assign(Q, kNaN);
    R.se.assign(Q, kNaN);
    R.beta.assign(Q, kNaN);
    const double s2 = R.df > 0 ? sse / R.df : 0.0;
    const std::size_t first = M.intercept ? 0 : 1;
    for (std::size_t r = first; r < Q; ++r) {
        DD b, v;
        double err = 0, size = 0;
        for (std::size_t j = first; j < Q; ++j) {
            const DD t = M.T[r * Q + j];
            if (t.hi == 0) continue;
            b += t * theta[j];
            err += std::fabs(t.hi) * dc[j];
            size += std::fabs((t * theta[j]).hi);
            DD s;
            for (std::size_t l = first; l < Q; ++l) s += V[j * Q + l] * M.T[r * Q + l];
            v += t * s;
        }
        err += 16 * DD::Epsilon * size;
        R.b[r] = b.ToDouble();
        const double vf = v.ToDouble();
        R.se[r] = vf > 0 ? std::sqrt(vf * s2) : 0.0; // guarded for every coefficient
        const double seScale = R.perfect ? 1e-8 * std::sqrt(std::max(vf, 0.0) * gyy / std::max(R.df, 1.0)) : R.se[r];
        if (err > kDigits * std::max(std::fabs(R.b[r]), seScale)) {
            if (m_refusal.empty()) {
                char kappa[32];
                std::snprintf(kappa, sizeof kappa, "%.3g", ls.Condition());
                const std::string& dep = names[static_cast<std::size_t>(ls.Dependent())];
                m_refusal = what + " cannot be computed to 9 significant digits" + where + ": " +
                            (ls.DependsOn().empty() ? dep + " varies too little for its size"
                                                    : dep + " is nearly a linear combination of " +
                                                          joinNames(names, ls.DependsOn())) +
                            " (collinear regressors; condition number " + kappa + ").";
            }
            return R;
        }
    }
    for (std::size_t j = 1; j < Q; ++j) {
        const double ratio = M.ssy > 0 ? M.ssx[j] / M.ssy : 0.0;
        if (ratio > 0) R.beta[j] = R.b[j] * std::sqrt(ratio);
    }
    R.sse = sse;
    R.sst = gyy;
    R.c = c;
    R.mean = M.mean;
    R.yMean = M.yMean;
    R.solved = true;
    return R;
}

void RegressionRun::WriteStatistics(Recordset& out, const FitResult& fit, const std::vector<CoefficientColumns>& columns,
                                    bool simpleMultipleR) {
    if (!m_z) m_z = std::make_unique<CZValue>();
    const double df = fit.df, n = fit.n, sse = fit.sse, sst = fit.sst;
    const int p = static_cast<int>(fit.b.size()) - 1;
    const double r2 = (DD(1.0) - DD(sse) / DD(sst)).ToDouble();
    out.Fields("R-Square")->SetValue(r2);
    if (simpleMultipleR ? r2 >= 0 : r2 > 0) out.Fields("Multiple_R")->SetValue(std::sqrt(r2));
    if (n > p + 1) out.Fields("Adj_R-Square")->SetValue(r2 - (1 - r2) * p / (n - p - 1));
    out.Fields("StdError_of_Estimate")->SetValue(std::sqrt(sse / df));
    if (m_s.bAnova) {
        out.Fields("Regression_DF")->SetValue(static_cast<double>(p));
        out.Fields("Residual_DF")->SetValue(df);
        out.Fields("Total_DF")->SetValue(df + p);
        out.Fields("Regression_SS")->SetValue(sst - sse);
        out.Fields("Residual_SS")->SetValue(sse);
        out.Fields("Total_SS")->SetValue(sst);
        out.Fields("Regression_MS")->SetValue((sst - sse) / p);
        out.Fields("Residual_MS")->SetValue(sse / df);
        if (sse > 0) {
            const double F = ((sst - sse) / p) / (sse / df);
            out.Fields("F-Value")->SetValue(F);
            out.Fields("Prob")->SetValue(m_z->Quorb_CalcProb("F", F, p, df));
        }
    }
    double tc = 0;
    if (m_s.CI > 0) tc = m_z->Quorb_FindValue("T", 1.0 - m_s.CI / 100.0, df, 0, false);
    const std::size_t first = fit.intercept ? 0 : 1;
    for (std::size_t r = first; r < fit.b.size(); ++r) {
        const CoefficientColumns& col = columns[r - first];
        const double b = fit.b[r], se = fit.se[r];
        setOrNull(out, col.coef, b);
        setOrNull(out, col.se, se);
        setOrNull(out, col.beta, fit.beta[r]);
        // With SE = 0 there is no t: it, its probability and partial F stay Null.
        const double t = se > 0 ? b / se : kNaN;
        setOrNull(out, col.t, t);
        if (std::isfinite(t)) setOrNull(out, col.prob, m_z->Quorb_CalcProb("T", t, df, 0));
        if (m_s.CI > 0) {
            const std::string ci = std::to_string(m_s.CI);
            const double h = tc * se;
            setOrNull(out, col.ciPrefix + ci + "%_CI_Interval", h);
            setOrNull(out, col.ciPrefix + ci + "%_CI_Low", b - h);
            setOrNull(out, col.ciPrefix + ci + "%_CI_High", b + h);
            if (std::isfinite(t)) setOrNull(out, col.partialF, t * t);
        }
    }
}
