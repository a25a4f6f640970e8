// The analyses built into the engine library: each one that exists replaces
// its "not available" entry here.
#include "engine/AnalysisArgs.h"

#include "analyses/descriptive/CDescribe.h"

void RegisterBuiltinAnalyses(AnalysisEntries& entries) {
    entries.Describe = [](DescribeArgs& a, Varnello& engine) {
        CDescribe analysis;
        return analysis.Quorb_Describe(a.OutputTable1, a.Table, a.fields, a.nG, a.nX, a.bW, a.Range, a.VarMethod,
                                       a.Sum, a.Mean, a.Skew, a.Mode, a.PercentileLetter, a.IntervalLetter, a.CI95,
                                       a.CIUser, a.CIStdDev, a.TTestMean, a.TTestValues, a.FreqCode, a.Intervals,
                                       a.Start, a.Width, engine);
    };
}
