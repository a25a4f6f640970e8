// The analyses built into the engine library: each one that exists replaces
// its "not available" entry here.
#include "engine/AnalysisArgs.h"

#include "analyses/descriptive/CDescribe.h"
#include "analyses/descriptive/CPercentiles.h"
#include "analyses/nonparametric/CNonParamChiSquare.h"

void RegisterBuiltinAnalyses(AnalysisEntries& entries) {
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
    entries.ChiSquare = [](ChiSquareArgs& a, Varnello& engine) {
        CNonParamChiSquare analysis;
        std::string message;
        analysis.Quorb_ChiSquare(a.OutputTable1, a.OutputTable2, a.Table, a.fields, a.nG, a.nC, a.bW, a.Detail,
                                 a.KeepBlanks, a.AllCategories, engine, message);
        return message;
    };
}
