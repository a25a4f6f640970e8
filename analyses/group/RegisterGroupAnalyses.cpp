// The group comparisons: crosstab, t-test and analysis of variance.
#include "analyses/AnalysisRegistry.h"

#include "analyses/group/CAnova.h"
#include "analyses/group/CXTab.h"

void RegisterGroupAnalyses(AnalysisEntries& entries) {
    entries.ANOVA = [](AnovaArgs& a, VarnelloCore& engine) {
        CAnova analysis;
        return analysis.Quorb_ANOVA(a.Kind, a.KeepBlankCompare, a.OutputTable1, a.OutputTable2, a.Table, a.fields, a.nG,
                                    a.nC, a.nX, a.bW, engine);
    };
    entries.Xtab = [](XtabArgs& a, VarnelloCore& engine) {
        CXTab analysis;
        return analysis.Quorb_Xtab(a.OutputTable1, a.OutputTable2, a.Table, a.fields, a.nG, a.nX, a.bW, a.CellFunction,
                                   a.Switches, engine);
    };
}
