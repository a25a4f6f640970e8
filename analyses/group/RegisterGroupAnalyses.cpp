// The group comparisons: crosstab, t-test and analysis of variance.
#include "analyses/AnalysisRegistry.h"

#include "analyses/group/CAnova.h"
#include "analyses/group/CXTab.h"
#include "scenario/CMelvarsScenario.h"

std::string AnovaFromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext&,
                              AnalysisType::Settings& out) {
    auto a = std::make_unique<AnovaArgs>();
    static_cast<AnalysisSettings&>(*a) = base;
    a->Kind.assign(1, dao::ToUpperAscii(s.CalcType()) == "TWO SAMPLE T-TEST" ? 'T' : 'A');
    a->KeepBlankCompare = !s.GroupIgnoreBlanks();
    out = std::move(a);
    return {};
}

std::string AnovaRun(AnalysisSettings& settings, RunContext& engine) {
    auto& a = static_cast<AnovaArgs&>(settings);
    CAnova analysis;
    return analysis.Quorb_ANOVA(a.Kind, a.KeepBlankCompare, a.OutputTable1, a.OutputTable2, a.Table, a.fields, a.nG,
                                a.nC, a.nX, a.bW, engine);
}

std::string XtabFromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext&,
                             AnalysisType::Settings& out) {
    if (base.nG < 1) return "At least one row field must be assigned";
    auto a = std::make_unique<XtabArgs>();
    static_cast<AnalysisSettings&>(*a) = base;
    auto yn = [](bool v) { return v ? "Y" : "N"; };
    a->CellFunction = s.XType();
    a->Switches = std::string(yn(s.XRowPCnt())) + yn(s.XColPcnt()) + yn(s.XTotPcnt()) + yn(s.XExpectPcnt()) +
                  yn(s.XExpect()) + yn(s.XChi());
    out = std::move(a);
    return {};
}

std::string XtabRun(AnalysisSettings& settings, RunContext& engine) {
    auto& a = static_cast<XtabArgs&>(settings);
    CXTab analysis;
    return analysis.Quorb_Xtab(a.OutputTable1, a.OutputTable2, a.Table, a.fields, a.nG, a.nX, a.bW, a.CellFunction,
                               a.Switches, engine);
}
