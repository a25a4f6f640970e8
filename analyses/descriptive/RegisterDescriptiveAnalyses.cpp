// The descriptive analyses: describe, percentiles, frequency, compare, matrix.
#include "analyses/AnalysisRegistry.h"

#include "analyses/descriptive/CDescribe.h"
#include "analyses/descriptive/CPercentiles.h"

void RegisterDescriptiveAnalyses(AnalysisEntries& entries) {
    entries.Describe = [](DescribeArgs& a, Varnello& engine) {
        CDescribe analysis;
        return analysis.Quorb_Describe(a.OutputTable1, a.Table, a.fields, a.nG, a.nX, a.bW, a.Range, a.VarMethod,
                                       a.Sum, a.Mean, a.Skew, a.Mode, a.PercentileLetter, a.IntervalLetter, a.CI95,
                                       a.CIUser, a.CIStdDev, a.TTestMean, a.TTestValues, a.FreqCode, a.Intervals,
                                       a.Start, a.Width, engine);
    };
    entries.Percentile = [](PercentileArgs& a, Varnello& engine) {
        CPercentiles analysis;
        return analysis.Quorb_Percentile(a.OutputTable1, a.Table, a.fields, a.nG, a.nX, a.bW, a.PercentileLetter,
                                         engine);
    };
}
