// The non-parametric tests.
#include "analyses/AnalysisRegistry.h"

#include "analyses/nonparametric/CNonParamChiSquare.h"
#include "analyses/nonparametric/CNonParamFriedman.h"
#include "analyses/nonparametric/CNonParamMannKruskalKS.h"
#include "analyses/nonparametric/CNonParamSign.h"
#include "analyses/nonparametric/CNonParamWald.h"
#include "scenario/CMelvarsScenario.h"

namespace {

double doubleOr0(const dao::Variant& v) { return (v.IsNull() || v.IsEmpty()) ? 0.0 : v.ToDouble(); }

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

std::string ChiSquareFromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext&,
                                  AnalysisType::Settings& out) {
    auto a = from<ChiSquareArgs>(base);
    a->Detail = s.ChiDetail();
    a->KeepBlanks = !s.ChiIgnoreBlanks();
    a->AllCategories = s.ChiAll();
    out = std::move(a);
    return {};
}

std::string ChiSquareRun(AnalysisSettings& settings, RunContext& engine) {
    auto& a = static_cast<ChiSquareArgs&>(settings);
    CNonParamChiSquare analysis;
    std::string message;
    analysis.Quorb_ChiSquare(a.OutputTable1, a.OutputTable2, a.Table, a.fields, a.nG, a.nC, a.bW, a.Detail,
                             a.KeepBlanks, a.AllCategories, engine, message);
    return message;
}

static std::string signFit(bool fit, const CMelvarsScenario& s, const AnalysisSettings& base,
                           AnalysisType::Settings& out) {
    auto a = from<SignFitArgs>(base);
    a->Fit = fit;
    a->Distributions.assign(4, false);
    if (fit) {
        a->Distributions[1] = s.FitUniform();
        a->Distributions[2] = s.FitNormal();
        a->Distributions[3] = s.FitPoisson();
    } else {
        a->AgainstMean = s.SignMean();
        a->AgainstMedian = s.SignMedian();
        a->AgainstCustom = s.SignCustom();
        a->CustomValue = doubleOr0(s.SignValue());
    }
    out = std::move(a);
    return {};
}

std::string SignFromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext&,
                             AnalysisType::Settings& out) {
    return signFit(false, s, base, out);
}

std::string FitFromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext&,
                            AnalysisType::Settings& out) {
    return signFit(true, s, base, out);
}

std::string SignFitRun(AnalysisSettings& settings, RunContext& engine) {
    auto& a = static_cast<SignFitArgs&>(settings);
    CNonParamSign analysis;
    return analysis.Quorb_SignFitTest(a.OutputTable1, a.Table, a.fields, a.nG, a.nX, a.bW, a.Fit, a.Distributions,
                                      a.AgainstMean, a.AgainstMedian, a.AgainstCustom, a.CustomValue, engine);
}

// "2 Sample": the runs test or Mann-Whitney with the two-sample K-S, by the
// scenario's choice; the settings say which.
std::string TwoSampleFromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,
                                  AnalysisType::Settings& out) {
    std::string msg = oneCompareField(base);
    if (!msg.empty()) return msg;
    if (dao::NamesEqual(s.NPTwoType(), "Wald")) {
        auto a = from<RunsArgs>(base);
        a->nGroupFields = static_cast<std::int16_t>(base.nG + 1);
        a->Flag = true;
        out = std::move(a);
        return {};
    }
    return CNonParamMannKruskalKS::FromScenario(s, base, cx, out);
}

std::string TwoSampleRun(AnalysisSettings& settings, RunContext& engine) {
    if (auto* runs = dynamic_cast<RunsArgs*>(&settings)) {
        CNonParamWald analysis;
        std::string message;
        analysis.Quorb_NonParametricRuns(runs->OutputTable1, runs->Table, runs->fields, runs->nGroupFields, runs->nX,
                                         runs->bW, runs->Flag, engine, message);
        return message;
    }
    return RunAnalysis<CNonParamMannKruskalKS>(settings, engine);
}

std::string FriedmanFromScenario(const CMelvarsScenario&, const AnalysisSettings& base, RunContext&,
                                 AnalysisType::Settings& out) {
    out = from<FriedmanArgs>(base);
    return {};
}

std::string FriedmanRun(AnalysisSettings& settings, RunContext& engine) {
    auto& a = static_cast<FriedmanArgs&>(settings);
    CNonParamFriedman analysis;
    std::string message;
    analysis.Quorb_NonParamFriedman(a.OutputTable1, a.OutputTable2, a.Table, a.fields, a.nG, a.nX, a.bW, engine,
                                    message);
    return message;
}
