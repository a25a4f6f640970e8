// The group comparisons: crosstab, t-test and analysis of variance.
#include "analyses/AnalysisRegistry.h"

#include "analyses/group/CAnova.h"

void RegisterGroupAnalyses(AnalysisEntries& entries) {
    entries.ANOVA = [](AnovaArgs& a, Varnello& engine) {
        CAnova analysis;
        return analysis.Quorb_ANOVA(a.Kind, a.KeepBlankCompare, a.OutputTable1, a.OutputTable2, a.Table, a.fields, a.nG,
                                    a.nC, a.nX, a.bW, engine);
    };
}
