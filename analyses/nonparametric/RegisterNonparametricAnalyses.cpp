// The non-parametric tests.
#include "analyses/AnalysisRegistry.h"

#include "analyses/nonparametric/CNonParamChiSquare.h"
#include "analyses/nonparametric/CNonParamFriedman.h"
#include "analyses/nonparametric/CNonParamMannKruskalKS.h"
#include "analyses/nonparametric/CNonParamSign.h"
#include "analyses/nonparametric/CNonParametric.h"
#include "analyses/nonparametric/CNonParamWald.h"

void RegisterNonparametricAnalyses(AnalysisEntries& entries) {
    entries.ChiSquare = [](ChiSquareArgs& a, VarnelloCore& engine) {
        CNonParamChiSquare analysis;
        std::string message;
        analysis.Quorb_ChiSquare(a.OutputTable1, a.OutputTable2, a.Table, a.fields, a.nG, a.nC, a.bW, a.Detail,
                                 a.KeepBlanks, a.AllCategories, engine, message);
        return message;
    };
    entries.Runs = [](RunsArgs& a, VarnelloCore& engine) {
        CNonParamWald analysis;
        std::string message;
        analysis.Quorb_NonParametricRuns(a.OutputTable1, a.Table, a.fields, a.nGroupFields, a.nX, a.bW, a.Flag, engine,
                                         message);
        return message;
    };
    entries.SignFit = [](SignFitArgs& a, VarnelloCore& engine) {
        CNonParamSign analysis;
        return analysis.Quorb_SignFitTest(a.OutputTable1, a.Table, a.fields, a.nG, a.nX, a.bW, a.Fit, a.Distributions,
                                          a.AgainstMean, a.AgainstMedian, a.AgainstCustom, a.CustomValue, engine);
    };
    entries.MannKSKruskal = [](MannKSKruskalArgs& a, VarnelloCore& engine) {
        CNonParamMannKruskalKS analysis;
        return analysis.Quorb_MannKSKruskal(a.OutputTable1, a.OutputTable2, a.Table, a.fields, a.nGroupFields, a.nX,
                                            a.bW, a.MannWhitney, a.KolmogorovSmirnov, a.KruskalWallis, engine);
    };
    entries.Friedman = [](FriedmanArgs& a, VarnelloCore& engine) {
        CNonParamFriedman analysis;
        std::string message;
        analysis.Quorb_NonParamFriedman(a.OutputTable1, a.OutputTable2, a.Table, a.fields, a.nG, a.nX, a.bW, engine,
                                        message);
        return message;
    };
    entries.NonParametric = [](NonParametricArgs& a, VarnelloCore& engine) {
        CNonParametric analysis;
        std::string message;
        analysis.Quorb_NonParametric(a.OutputTable1, a.Table, a.fields, a.nG, a.nX, a.YPosition, a.bW, false, a.Zeros,
                                     a.Sign, a.Wilcoxon, a.Spearman, a.Tau, a.ChiSquare, engine, message);
        return message;
    };
}
