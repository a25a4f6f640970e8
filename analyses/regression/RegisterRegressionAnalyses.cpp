// The regressions: simple, multiple and polynomial.
#include "analyses/AnalysisRegistry.h"

#include "analyses/regression/CRegressMulti.h"
#include "analyses/regression/CRegressPoly.h"
#include "analyses/regression/CRegressSimple.h"
#include "scenario/CMelvarsScenario.h"

std::string RegressionFromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext&,
                                   AnalysisType::Settings& out) {
    std::string type = dao::ToUpperAscii(s.RegressType());
    if (type != "S" && type != "M" && type != "P") return "Unknown regression type: " + s.RegressType();
    auto a = std::make_unique<RegressionArgs>();
    static_cast<AnalysisSettings&>(*a) = base;
    a->Kind = type[0];
    a->Anova = s.RAnova();
    a->YIntercept = s.RYInt();
    a->ConfidenceLevel = 0;
    if (a->Kind == 'P') a->PolyOrder = s.RPoly();
    out = std::move(a);
    return {};
}

std::string RegressionRun(AnalysisSettings& settings, RunContext& engine) {
    auto& a = static_cast<RegressionArgs&>(settings);
    const auto CI = static_cast<std::int16_t>(a.ConfidenceLevel);
    switch (a.Kind) {
    case 'S': {
        CRegressSimple analysis;
        return analysis.Quorb_RegressSimple(a.OutputTable1, a.OutputTable2, a.Table, a.fields, a.nG, a.nX, a.bW,
                                            a.Anova, a.YIntercept, CI, engine);
    }
    case 'M': {
        CRegressMulti analysis;
        return analysis.Quorb_RegressMulti(a.OutputTable1, a.OutputTable2, a.Table, a.fields, a.nG, a.nX, a.bW,
                                           a.Anova, a.YIntercept, CI, engine);
    }
    case 'P': {
        CRegressPoly analysis;
        return analysis.Quorb_RegressPoly(a.OutputTable1, a.OutputTable2, a.Table, a.fields, a.nG, a.nX, a.bW,
                                          a.Anova, a.YIntercept, CI, a.PolyOrder, engine);
    }
    default: return "Unknown regression type: " + std::string(1, a.Kind);
    }
}
