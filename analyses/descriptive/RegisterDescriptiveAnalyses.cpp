// The descriptive analyses: describe, percentiles, frequency, compare, matrix.
#include "analyses/AnalysisRegistry.h"

#include "analyses/descriptive/CCompare.h"
#include "analyses/descriptive/CCorrMatrix.h"
#include "analyses/descriptive/CDescribe.h"
#include "analyses/descriptive/CFrequency.h"
#include "analyses/descriptive/CPercentiles.h"

void RegisterDescriptiveAnalyses(AnalysisEntries& entries) {
    entries.Describe = [](DescribeArgs& a, VarnelloCore& engine) {
        CDescribe analysis;
        return analysis.Quorb_Describe(a.OutputTable1, a.Table, a.fields, a.nG, a.nX, a.bW, a.Range, a.VarMethod,
                                       a.Sum, a.Mean, a.Skew, a.Mode, a.PercentileLetter, a.IntervalLetter, a.CI95,
                                       a.CIUser, a.CIStdDev, a.TTestMean, a.TTestValues, a.FreqCode, a.Intervals,
                                       a.Start, a.Width, engine);
    };
    entries.Percentile = [](PercentileArgs& a, VarnelloCore& engine) {
        CPercentiles analysis;
        return analysis.Quorb_Percentile(a.OutputTable1, a.Table, a.fields, a.nG, a.nX, a.bW, a.PercentileLetter,
                                         engine);
    };
    entries.Frequency = [](FrequencyArgs& a, VarnelloCore& engine) {
        CFrequency analysis;
        return analysis.Quorb_Frequency(a.OutputTable1, a.Table, a.fields, a.nG, a.nX, a.bW, a.FreqCode, a.Intervals,
                                        a.Start, a.Width, engine);
    };
    entries.Compare = [](CompareArgs& a, VarnelloCore& engine) {
        CCompare analysis;
        return analysis.Quorb_Compare(a.OutputTable1, a.Table, a.fields, a.nG, a.nX, a.bW, a.Switches, engine);
    };
    entries.Matrix = [](MatrixArgs& a, VarnelloCore& engine) {
        CCorrMatrix analysis;
        return analysis.Quorb_Matrix(a.OutputTable1, a.Table, a.fields, a.nG, a.nX, a.bW, a.ProbTail, a.Switches,
                                     engine);
    };
}
