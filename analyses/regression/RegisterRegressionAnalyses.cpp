// The regressions: simple, multiple and polynomial.
#include "analyses/AnalysisRegistry.h"

#include "analyses/regression/CRegressMulti.h"
#include "analyses/regression/CRegressPoly.h"
#include "analyses/regression/CRegressSimple.h"

void RegisterRegressionAnalyses(AnalysisEntries& entries) {
    entries.Regression = [](RegressionArgs& a, VarnelloCore& engine) -> std::string {
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
    };
}
