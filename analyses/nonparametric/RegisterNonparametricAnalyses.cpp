// The non-parametric tests.
#include "analyses/AnalysisRegistry.h"

#include "analyses/nonparametric/CNonParamMannKruskalKS.h"
#include "analyses/nonparametric/CNonParametric.h"
#include "analyses/nonparametric/CNonParamWald.h"
#include "scenario/CMelvarsScenario.h"

namespace {

template <class Args>
std::unique_ptr<Args> from(const AnalysisSettings& base) {
    auto a = std::make_unique<Args>();
    static_cast<AnalysisSettings&>(*a) = base;
    return a;
}

std::string oneCompareField(const AnalysisSettings& base) {
    if (base.nC == 0) return "At least one Compare field must be assigned";
    if (base.nC > 1) return "Only one Compare field may be assigned";
    return {};
}

} // namespace

std::string PairedFromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext&,
                               AnalysisType::Settings& out) {
    if (!base.bY) return "Y Field not assigned";
    auto a = from<NonParametricArgs>(base);
    a->Zero = 0;
    a->Zeros.assign(static_cast<std::size_t>(a->nX) + 1, 0.0);
    a->Sign = s.NPPair_Sign();
    a->Wilcoxon = s.NPPair_Wilcoxon();
    a->Spearman = s.NPPair_Spearman();
    a->Tau = false;
    a->ChiSquare = false;
    out = std::move(a);
    return {};
}

std::string PairedRun(AnalysisSettings& settings, RunContext& engine) {
    auto& a = static_cast<NonParametricArgs&>(settings);
    CNonParametric analysis;
    std::string message;
    analysis.Quorb_NonParametric(a.OutputTable1, a.Table, a.fields, a.nG, a.nX,
                                 static_cast<std::int16_t>(a.YPosition()), a.bW, false, a.Zeros, a.Sign, a.Wilcoxon,
                                 a.Spearman, a.Tau, a.ChiSquare, engine, message);
    return message;
}

// "2 Sample": the runs test or Mann-Whitney with the two-sample K-S, by the
// scenario's choice; the settings say which.
std::string TwoSampleFromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,
                                  AnalysisType::Settings& out) {
    std::string msg = oneCompareField(base);
    if (!msg.empty()) return msg;
    if (dao::NamesEqual(s.NPTwoType(), "Wald")) {
        return CNonParamWald::FromScenario(s, base, cx, out);
    } else if (dao::NamesEqual(s.NPTwoType(), "Mann")) {
        auto a = from<MannKSKruskalArgs>(base);
        a->OutputTable2 = "";
        a->nGroupFields = static_cast<std::int16_t>(base.nG + 1);
        a->MannWhitney = true;
        a->KolmogorovSmirnov = true;
        a->KruskalWallis = false;
        out = std::move(a);
    } else {
        return "Unknown two-sample test type: " + s.NPTwoType();
    }
    return {};
}

std::string MannKSKruskalRun(AnalysisSettings& settings, RunContext& engine) {
    auto& a = static_cast<MannKSKruskalArgs&>(settings);
    CNonParamMannKruskalKS analysis;
    return analysis.Quorb_MannKSKruskal(a.OutputTable1, a.OutputTable2, a.Table, a.fields, a.nGroupFields, a.nX, a.bW,
                                        a.MannWhitney, a.KolmogorovSmirnov, a.KruskalWallis, engine);
}

std::string TwoSampleRun(AnalysisSettings& settings, RunContext& engine) {
    if (dynamic_cast<CNonParamWald::Settings*>(&settings)) return RunAnalysis<CNonParamWald>(settings, engine);
    return MannKSKruskalRun(settings, engine);
}

std::string NSampleFromScenario(const CMelvarsScenario&, const AnalysisSettings& base, RunContext&,
                                AnalysisType::Settings& out) {
    std::string msg = oneCompareField(base);
    if (!msg.empty()) return msg;
    auto a = from<MannKSKruskalArgs>(base);
    a->nGroupFields = static_cast<std::int16_t>(base.nG + 1);
    a->MannWhitney = false;
    a->KolmogorovSmirnov = false;
    a->KruskalWallis = true;
    out = std::move(a);
    return {};
}
