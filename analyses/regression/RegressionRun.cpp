#include "analyses/regression/RegressionRun.h"

#include "analyses/regression/CRegressMulti.h"
#include "analyses/regression/CRegressPoly.h"
#include "analyses/regression/CRegressSimple.h"
#include "db/NumberText.h"
#include "engine/CZValue.h"
#include "engine/CrossProducts.h"
#include "engine/LeastSquares.h"
#include "engine/RunContext.h"
#include "engine/ValueSpool.h"
#include "engine/modStatsGeneral.h"
#include "scenario/CMelvarsScenario.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

using namespace dao;

namespace {

using DD = DoubleDouble;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kEps = 2.220446049250313e-16;
// The agreement a reported coefficient must have with the exact least-squares
// answer, relative to the larger of its size and its standard error.
constexpr double kDigits = 1e-9;

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

RegressionRun::RegressionRun(const Settings& settings, const char* entryName)
    : AnalysisRoad(settings, entryName, "Regression"), m_s(settings) {}

RegressionRun::~RegressionRun() = default;

std::string RegressionRun::FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext&,
                                        AnalysisType::Settings& out) {
    std::string type = ToUpperAscii(s.RegressType());
    if (type != "S" && type != "M" && type != "P") return "Unknown regression type: " + s.RegressType();
    Settings& a = NewSettings<Settings>(base, out);
    a.Kind = type[0];
    a.Anova = s.RAnova();
    a.YIntercept = s.RYInt();
    a.ConfidenceLevel = 0;
    if (a.Kind == 'P') a.PolyOrder = s.RPoly();
    return {};
}

template <>
std::string RunAnalysis<RegressionRun>(AnalysisSettings& settings, RunContext& cx) {
    switch (static_cast<RegressionSettings&>(settings).Kind) {
    case 'S': return RunAnalysis<CRegressSimple>(settings, cx);
    case 'M': return RunAnalysis<CRegressMulti>(settings, cx);
    case 'P': return RunAnalysis<CRegressPoly>(settings, cx);
    default: return "Unknown regression type: " + std::string(1, static_cast<RegressionSettings&>(settings).Kind);
    }
}

std::string RegressionRun::GroupText() const {
    std::string s;
    for (std::size_t i = 1; i <= static_cast<std::size_t>(m_s.nG); ++i) {
        if (i > 1) s += ", ";
        const Variant& v = GroupValues()[i];
        s += m_s.fields[i] + " = " + (v.IsNull() ? std::string("Null") : v.ToString());
    }
    return s;
}

std::string RegressionRun::Steps() {
    m_residual = !m_s.OutputTable2.empty();
    std::string msg = CheckOptions();
    if (msg.empty() && m_residual && NamesEqual(m_s.OutputTable1, m_s.OutputTable2))
        msg = "The residual table needs a name of its own: " + m_s.OutputTable2 + " is also the statistics table.";
    if (!msg.empty()) return msg;
    msg = OpenAndCreate(m_s.nG, true, [this] { return CreateOutput(); });
    if (Going(msg) && m_residual) msg = CreateResidual();
    if (Going(msg) && m_residual) {
        const std::size_t nX = static_cast<std::size_t>(m_s.nX);
        m_kept = std::make_unique<ValueSpool>(Cx(), 2 + 2 * nX);
        m_keptRecord.assign(2 + 2 * nX, 0.0);
    }
    if (Going(msg)) {
        const std::size_t nX = static_cast<std::size_t>(m_s.nX);
        m_x.assign(nX + 1, 0.0);
        m_xOk.assign(nX + 1, 0);
        AnalyzeGroups(m_s.nG);
    }
    if (Going(msg) && m_residual) {
        Progress("Performing residual analysis");
        const std::string text = "Residual analysis record: " + std::to_string(m_residualCount);
        // The multiple regression passes its count, the others 0 (which adds "...").
        Cx().Quorb_Msg(WithDataField() ? 0 : m_residualCount, true, text);
    }
    return msg;
}

void RegressionRun::CloseOwn() {
    if (m_kept) m_kept->Close();
    m_kept.reset();
    m_res.reset();
    m_out.reset();
    m_statColumns.Clear();
}

std::string RegressionRun::CreateOutput() {
    return Guard("CreateOutput", [&] {
        m_countColumn = Left64("Count_of_" + YName());
        TableDefPtr td = NewTable(m_s.OutputTable1);
        std::int16_t ord = CreateLeadFields(td, m_s.nG, m_s.fields, m_types, m_sizes, WithDataField(), 0, 0, m_s.bW,
                                            m_countColumn, "Missing");
        // Column groups in order: coefficients, standard errors, betas,
        // t-values, probabilities, confidence intervals, partial F.
        m_coefficientColumns = CoefficientColumnNames();
        const std::vector<CoefficientColumns>& cols = m_coefficientColumns;
        for (auto member : {&CoefficientColumns::coef, &CoefficientColumns::se, &CoefficientColumns::beta,
                            &CoefficientColumns::t, &CoefficientColumns::prob})
            for (const auto& c : cols)
                if (!(c.*member).empty()) AddTableField(td, c.*member, dbDouble, ord, 0);
        if (m_s.ConfidenceLevel > 0) {
            const std::string ci = std::to_string(m_s.ConfidenceLevel);
            for (const auto& c : cols)
                for (const char* suffix : {"%_CI_Interval", "%_CI_Low", "%_CI_High"})
                    AddTableField(td, c.ciPrefix + ci + suffix, dbDouble, ord, 0);
            for (const auto& c : cols)
                if (!c.partialF.empty()) AddTableField(td, c.partialF, dbDouble, ord, 0);
        }
        CreateRegressionSummaryFields(td, m_s.Anova, ord);
        std::string msg = PlaceOutput(td, true);
        if (msg.empty()) m_out = Cx().OutputRecordset();
        return msg;
    });
}

std::string RegressionRun::CreateResidual() {
    return Guard("CreateResidual", [&] {
        m_yResidualColumn = Left64("Y:" + YName());
        TableDefPtr td = NewTable(m_s.OutputTable2);
        std::int16_t ord =
            CreateLeadFields(td, m_s.nG, m_s.fields, m_types, m_sizes, WithDataField(), 0, 0, m_s.bW, "", "");
        AddResidualXColumns(td, ord);
        AddTableField(td, m_yResidualColumn, dbDouble, ord, 0);
        AddTableField(td, "Estimated_Y", dbDouble, ord, 0);
        AddTableField(td, "Residual", dbDouble, ord, 0);
        std::string msg = PlaceOutput(td, false);
        if (msg.empty()) {
            m_res = Cx().OutputDatabase()->OpenRecordset(m_s.OutputTable2, dbOpenDynaset, dbAppendOnly);
            Cx().SetOutputRecordset2(m_res);
        }
        return msg;
    });
}

void RegressionRun::ReadValues() {
    m_w = Weight();
    m_yOk = Number(m_s.YPosition(), m_y);
    const std::size_t first = m_s.XPosition();
    for (std::size_t i = 1; i <= static_cast<std::size_t>(m_s.nX); ++i) m_xOk[i] = Number(first + i - 1, m_x[i]);
}

void RegressionRun::CalcData() {
    Guard("CalcData", [&] {
        ReadValues();
        AddRecord();
        if (m_residual) KeepRecord();
    });
}

void RegressionRun::KeepRecord() {
    if (!(m_w > 0) || !m_yOk) return;
    double* r = m_keptRecord.data();
    r[0] = m_w;
    r[1] = m_y;
    for (std::size_t i = 1; i <= static_cast<std::size_t>(m_s.nX); ++i) {
        r[2 * i] = m_x[i];
        r[2 * i + 1] = m_xOk[i] ? 1.0 : 0.0;
    }
    m_kept->Add(r);
}

void RegressionRun::WriteData() {
    Guard("WriteData", [&] { WriteStatisticsRows(); });
    if (!m_residual || Failed()) return;
    // Each usable record of the group again, with its residual rows.
    Guard("CalcResiduals", [&] {
        m_kept->ReplayRecords([&](const double* r) {
            if (Failed()) return;
            m_w = r[0];
            m_y = r[1];
            m_yOk = true;
            for (std::size_t i = 1; i <= static_cast<std::size_t>(m_s.nX); ++i) {
                m_x[i] = r[2 * i];
                m_xOk[i] = r[2 * i + 1] != 0;
            }
            WriteResidualRows();
        });
        m_kept->BeginGroup();
    });
}

void RegressionRun::Explain(const std::string& text) {
    // A record number with the text forced: the text is raised as it stands.
    Cx().Quorb_Msg(RunRecords() > 0 ? RunRecords() : 1, true, text);
}

void RegressionRun::BeginResidualRow(std::int16_t dataField) {
    if (!m_resY) {
        m_resGroup.assign(static_cast<std::size_t>(m_s.nG) + 1, nullptr);
        for (std::size_t i = 1; i <= static_cast<std::size_t>(m_s.nG); ++i) m_resGroup[i] = m_res->Fields(m_s.fields[i]);
        if (WithDataField()) m_resDataField = m_res->Fields("DataField");
        if (m_s.bW) m_resObservations = m_res->Fields("Observations");
        m_resY = m_res->Fields(m_yResidualColumn);
        m_resFitted = m_res->Fields("Estimated_Y");
        m_resResidual = m_res->Fields("Residual");
    }
    m_res->AddNew();
    for (std::size_t i = 1; i <= static_cast<std::size_t>(m_s.nG); ++i)
        if (!GroupValues()[i].IsNull()) m_resGroup[i]->SetValue(GroupValues()[i]);
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
    // Shown every fifth row; the text is made only then, and only when shown.
    if (m_residualCount % 5 == 0 && Cx().ShowStatus())
        Cx().Quorb_Msg(m_residualCount, false, "Residual analysis record: " + std::to_string(m_residualCount));
}

DoubleDouble RegressionRun::Fitted(const FitResult& fit, const std::vector<DoubleDouble>& f, bool inUnits) {
    // In the fit's units, and brought back to Y's at the end.
    DD s = fit.intercept ? fit.yMean : DD();
    for (std::size_t j = 0; j < fit.c.size(); ++j) {
        const DD fj = inUnits ? f[j] : Ldexp(f[j], -fit.scale[j]);
        s += fit.c[j] * (fit.intercept ? fj - fit.mean[j] : fj);
    }
    return Ldexp(s, fit.yScale);
}

void RegressionRun::WriteStatisticsLead(Recordset& out, std::int16_t dataField, double n, long observations) {
    out.AddNew();
    WriteLeadFields(out, m_s.nG, m_s.fields, GroupValues(), dataField, m_countColumn, "Missing", m_s.bW, n,
                    GroupRecords(), observations, 0, Variant::Null(), Variant::Null());
}

RegressionRun::FitModel RegressionRun::ModelOf(const CrossProducts& cp, bool intercept) {
    FitModel M;
    const int p = cp.Variables() - 1;
    const std::size_t P = static_cast<std::size_t>(p), Q = P + 1;
    M.p = p;
    M.intercept = intercept;
    M.n = cp.SumW();
    M.records = cp.Count();
    M.scale.resize(P);
    for (int i = 0; i < p; ++i) M.scale[static_cast<std::size_t>(i)] = cp.Scale(i);
    M.yScale = cp.Scale(p);
    M.G.resize(P * P);
    M.g.resize(P);
    M.rho.assign(Q, 1.0);
    M.ssx.assign(Q, 0.0);
    M.T.assign(Q * Q, DD());
    for (std::size_t j = 1; j < Q; ++j) M.T[j * Q + j] = DD(1.0);
    auto sumOf = [&](int i, int j) { return intercept ? cp.ScaledCentred(i, j) : cp.ScaledRaw(i, j); };
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
        const double about = cp.ScaledProduct(i, i).ToDouble();
        const double used = sumOf(i, i).ToDouble();
        const double mag =
            intercept ? about : std::pow(std::sqrt(about) + std::fabs(cp.ScaledOrigin(i)) * std::sqrt(n), 2);
        if (used > 0 && mag > used) M.rho[static_cast<std::size_t>(i)] = mag / used;
    }
    if (intercept) {
        M.mean.resize(P);
        for (int i = 0; i < p; ++i) {
            M.mean[static_cast<std::size_t>(i)] = cp.ScaledMeanAboutOrigin(i);
            M.T[static_cast<std::size_t>(i) + 1] = DD(-cp.ScaledOrigin(i)); // b0 = θ0 − Σ a_i θ_i
        }
        M.T[0] = DD(1.0);
        M.yMean = cp.ScaledMeanAboutOrigin(p) + DD(cp.ScaledOrigin(p));
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
        Explain(what + " cannot be computed" + where + ": its sums of squares overflow the numbers of the machine.");
        return R;
    }

    LeastSquares ls;
    if (ls.Solve(p, M.G, M.g, M.gyy, M.rho, M.records) == LeastSquares::Status::Singular) {
        Explain(what + " cannot be computed" + where + ": " + names[static_cast<std::size_t>(ls.Dependent())] +
                (ls.DependsOn().empty() ? std::string(" does not vary")
                                        : " is a linear combination of " + joinNames(names, ls.DependsOn())) +
                " (collinear regressors).");
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
        Explain(what + " cannot be computed" + where + ": the residual sum of squares is lost to rounding (" +
                names[static_cast<std::size_t>(ls.Dependent())] + " is nearly collinear with the other regressors).");
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
    // A coefficient or standard error that no double holds is no number to
    // write (a standard error of 0 would read as a perfect fit).
    auto beyondDouble = [&] {
        Explain(what + " cannot be computed" + where +
                ": its coefficients or their standard errors lie beyond the numbers of the machine.");
        return FitResult();
    };
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
        if (!std::isfinite(R.b[r]) || !std::isfinite(vf)) {
            // A variance factor beyond a double (NaN from its products) is no
            // standard error of 0.
            return beyondDouble();
        }
        R.se[r] = vf > 0 ? std::sqrt(vf * s2) : 0.0; // guarded for every coefficient
        const double seScale = R.perfect ? 1e-8 * std::sqrt(std::max(vf, 0.0) * gyy / std::max(R.df, 1.0)) : R.se[r];
        if (err > kDigits * std::max(std::fabs(R.b[r]), seScale)) {
            char kappa[32];
            FormatC(kappa, sizeof kappa, "%.3g", ls.Condition());
            const std::string& dep = names[static_cast<std::size_t>(ls.Dependent())];
            Explain(what + " cannot be computed to 9 significant digits" + where + ": " +
                    (ls.DependsOn().empty()
                         ? dep + " varies too little for its size"
                         : dep + " is nearly a linear combination of " + joinNames(names, ls.DependsOn())) +
                    " (collinear regressors; condition number " + kappa + ").");
            return R;
        }
    }
    for (std::size_t j = 1; j < Q; ++j) {
        const double ratio = M.ssy > 0 ? M.ssx[j] / M.ssy : 0.0;
        if (ratio > 0) R.beta[j] = R.b[j] * std::sqrt(ratio);
    }
    // Back to the data's own units: coefficient j is in Y's unit per
    // regressor j's, the intercept in Y's.
    auto unit = [&](std::size_t j) { return j < M.scale.size() ? M.scale[j] : 0; };
    for (std::size_t r = first; r < Q; ++r) {
        const int e = M.yScale - (r > 0 ? unit(r - 1) : 0);
        const double b = R.b[r], se = R.se[r];
        R.b[r] = std::ldexp(b, e);
        R.se[r] = std::ldexp(se, e);
        // Beyond a double at either end: infinite, or lost below its least
        // normal number (a standard error of 0 would read as a perfect fit).
        auto lost = [](double scaled, double v) { return scaled != 0 && !(std::fabs(v) >= DBL_MIN); };
        if (!std::isfinite(R.b[r]) || !std::isfinite(R.se[r]) || lost(b, R.b[r]) || lost(se, R.se[r])) {
            return beyondDouble();
        }
    }
    R.sse = sse;
    R.sst = gyy;
    R.yScale = M.yScale;
    R.scale.resize(P);
    for (std::size_t j = 0; j < P; ++j) R.scale[j] = unit(j);
    R.c = c;
    R.mean = M.mean;
    R.yMean = M.yMean;
    R.solved = true;
    return R;
}

void RegressionRun::WriteStatistics(Recordset& out, const FitResult& fit, const std::vector<CoefficientColumns>& columns,
                                    bool simpleMultipleR) {
    if (!m_z) m_z = std::make_unique<CZValue>();
    // The columns of the statistics table are found by name once a run.
    const bool kept = m_out && &out == m_out.get();
    auto field = [&](const std::string& name) -> FieldPtr {
        return kept ? m_statColumns.Column(m_out, name) : out.Fields(name);
    };
    auto set = [&](const std::string& column, double v) {
        if (!column.empty() && std::isfinite(v)) field(column)->SetValue(v);
    };
    const double df = fit.df, n = fit.n, sse = fit.sse, sst = fit.sst;
    const int p = static_cast<int>(fit.b.size()) - 1;
    // The sums of squares are in the unit 2^(2·ys): what is made of their
    // ratios needs nothing, the rest is brought back (0 where below a
    // double's range; the root before it is brought back).
    const int ys = fit.yScale;
    const double r2 = (DD(1.0) - DD(sse) / DD(sst)).ToDouble();
    field("R-Square")->SetValue(r2);
    if (simpleMultipleR ? r2 >= 0 : r2 > 0) field("Multiple_R")->SetValue(std::sqrt(r2));
    if (n > p + 1) field("Adj_R-Square")->SetValue(r2 - (1 - r2) * p / (n - p - 1));
    // Brought back beyond a double's range (data near 1e154 square to above
    // 1e308), a sum of squares is left Null like a coefficient that is: the
    // fit, R² and F are made of their ratios and stand.
    set("StdError_of_Estimate", std::ldexp(std::sqrt(sse / df), ys));
    if (m_s.Anova) {
        field("Regression_DF")->SetValue(static_cast<double>(p));
        field("Residual_DF")->SetValue(df);
        field("Total_DF")->SetValue(df + p);
        set("Regression_SS", std::ldexp(sst - sse, 2 * ys));
        set("Residual_SS", std::ldexp(sse, 2 * ys));
        set("Total_SS", std::ldexp(sst, 2 * ys));
        set("Regression_MS", std::ldexp((sst - sse) / p, 2 * ys));
        set("Residual_MS", std::ldexp(sse / df, 2 * ys));
        if (sse > 0) {
            const double F = ((sst - sse) / p) / (sse / df);
            field("F-Value")->SetValue(F);
            field("Prob")->SetValue(m_z->Quorb_CalcProb("F", F, p, df));
        }
    }
    double tc = 0;
    if (m_s.ConfidenceLevel > 0) {
        // Groups of one size share their critical value: searched for once.
        auto it = m_tCritical.find(df);
        if (it == m_tCritical.end())
            it = m_tCritical.emplace(df, m_z->Quorb_FindValue("T", 1.0 - m_s.ConfidenceLevel / 100.0, df, 0, false)).first;
        tc = it->second;
    }
    const std::size_t first = fit.intercept ? 0 : 1;
    for (std::size_t r = first; r < fit.b.size(); ++r) {
        const CoefficientColumns& col = columns[r - first];
        const double b = fit.b[r], se = fit.se[r];
        set(col.coef, b);
        set(col.se, se);
        set(col.beta, fit.beta[r]);
        // With SE = 0 there is no t: it, its probability and partial F stay Null.
        const double t = se > 0 ? b / se : kNaN;
        set(col.t, t);
        if (std::isfinite(t)) set(col.prob, m_z->Quorb_CalcProb("T", t, df, 0));
        if (m_s.ConfidenceLevel > 0) {
            const std::string ci = std::to_string(m_s.ConfidenceLevel);
            const double h = tc * se;
            set(col.ciPrefix + ci + "%_CI_Interval", h);
            set(col.ciPrefix + ci + "%_CI_Low", b - h);
            set(col.ciPrefix + ci + "%_CI_High", b + h);
            if (std::isfinite(t)) set(col.partialF, t * t);
        }
    }
}
