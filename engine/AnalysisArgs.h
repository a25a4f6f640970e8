#pragma once
// The argument lists of the analysis entries, as the runners marshal them from
// a scenario's options. Field lists are indexed from 1 (position 0 unused), in
// the order group, compare, X, Y, weight; Double and Boolean arrays likewise
// hold their values at positions 1 .. n.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class VarnelloCore;

using FieldList = std::vector<std::string>;

struct DescribeArgs {
    std::string OutputTable1, Table;
    FieldList fields;
    std::int16_t nG = 0, nX = 0;
    bool bW = false;
    bool Range = false;
    std::string VarMethod;          // "N", "N-1" or empty when no variance is wanted
    bool Sum = false, Mean = false, Skew = false, Mode = false;
    std::string PercentileLetter;   // "-" for none
    std::string IntervalLetter;     // "-" for none
    bool CI95 = false;
    std::int16_t CIUser = 0;
    std::vector<double> CIStdDev;   // 0 .. nX
    bool TTestMean = false;
    std::vector<double> TTestValues; // 0 .. nX
    std::string FreqCode;           // "-" or five characters
    std::int16_t Intervals = 0;
    double Start = 0, Width = 0;
};

struct FrequencyArgs {
    std::string OutputTable1, Table;
    FieldList fields;
    std::int16_t nG = 0, nX = 0;
    bool bW = false;
    std::string FreqCode;           // three characters
    std::int16_t Intervals = 0;
    double Start = 0, Width = 0;
};

struct PercentileArgs {
    std::string OutputTable1, Table;
    FieldList fields;
    std::int16_t nG = 0, nX = 0;
    bool bW = false;
    std::string PercentileLetter;
};

struct CompareArgs {
    std::string OutputTable1, Table;
    FieldList fields;
    std::int16_t nG = 0, nX = 0;
    bool bW = false;
    std::string Switches;           // five "Y"/"N"
};

struct MatrixArgs {
    std::string OutputTable1, Table;
    FieldList fields;
    std::int16_t nG = 0, nX = 0;
    bool bW = false;
    std::string ProbTail;           // one character
    std::string Switches;           // nine "Y"/"N"
};

struct RegressionArgs {
    char Kind = 'S';                // 'S' simple, 'M' multiple, 'P' polynomial
    std::string OutputTable1, OutputTable2, Table;
    FieldList fields;
    std::int16_t nG = 0, nX = 0;
    bool bW = false;
    bool Anova = false, YIntercept = false;
    double ConfidenceLevel = 0;
    std::int16_t PolyOrder = 0;     // 'P' only
};

struct XtabArgs {
    std::string OutputTable1, OutputTable2, Table;
    FieldList fields;
    std::int16_t nG = 0, nX = 0;
    bool bW = false;
    std::string CellFunction;       // one character
    std::string Switches;           // six "Y"/"N"
};

struct AnovaArgs {
    std::string Kind;               // "T" two-sample t-test, "A" analysis of variance
    bool KeepBlankCompare = false;
    std::string OutputTable1, OutputTable2, Table;
    FieldList fields;
    std::int16_t nG = 0, nC = 0, nX = 0;
    bool bW = false;
};

struct ChiSquareArgs {
    std::string OutputTable1, OutputTable2, Table;
    FieldList fields;
    std::int16_t nG = 0, nC = 0;
    bool bW = false;
    bool Detail = false, KeepBlanks = false, AllCategories = false;
};

struct SignFitArgs {
    std::string OutputTable1, Table;
    FieldList fields;
    std::int16_t nG = 0, nX = 0;
    bool bW = false;
    bool Fit = false;
    std::vector<bool> Distributions = std::vector<bool>(4, false); // 1 uniform, 2 normal, 3 Poisson
    bool AgainstMean = false, AgainstMedian = false, AgainstCustom = false;
    double CustomValue = 0;
};

struct NonParametricArgs {
    std::string OutputTable1, Table;
    FieldList fields;
    std::int16_t nG = 0, nX = 0;
    std::int16_t YPosition = 0;
    bool bW = false;
    double Zero = 0;
    std::vector<double> Zeros;      // 0 .. nX
    bool Sign = false, Wilcoxon = false, Spearman = false, Tau = false, ChiSquare = false;
};

struct RunsArgs {
    std::string OutputTable1, Table;
    FieldList fields;
    std::int16_t nGroupFields = 0;  // group fields plus the one compare field
    std::int16_t nX = 0;
    bool bW = false;
    bool Flag = true;
};

struct MannKSKruskalArgs {
    std::string OutputTable1, OutputTable2, Table;
    FieldList fields;
    std::int16_t nGroupFields = 0;  // group fields plus the one compare field
    std::int16_t nX = 0;
    bool bW = false;
    bool MannWhitney = false, KolmogorovSmirnov = false, KruskalWallis = false;
};

struct FriedmanArgs {
    std::string OutputTable1, OutputTable2, Table;
    FieldList fields;
    std::int16_t nG = 0, nX = 0;
    bool bW = false;
};

// One entry point per analysis. An entry returns the empty text on success,
// else the reason for its failure.
struct AnalysisEntries {
    std::function<std::string(AnovaArgs&, VarnelloCore&)> ANOVA;
    std::function<std::string(DescribeArgs&, VarnelloCore&)> Describe;
    std::function<std::string(FrequencyArgs&, VarnelloCore&)> Frequency;
    std::function<std::string(PercentileArgs&, VarnelloCore&)> Percentile;
    std::function<std::string(CompareArgs&, VarnelloCore&)> Compare;
    std::function<std::string(MatrixArgs&, VarnelloCore&)> Matrix;
    std::function<std::string(RegressionArgs&, VarnelloCore&)> Regression;
    std::function<std::string(XtabArgs&, VarnelloCore&)> Xtab;
    std::function<std::string(ChiSquareArgs&, VarnelloCore&)> ChiSquare;
    std::function<std::string(SignFitArgs&, VarnelloCore&)> SignFit;
    std::function<std::string(NonParametricArgs&, VarnelloCore&)> NonParametric;
    std::function<std::string(RunsArgs&, VarnelloCore&)> Runs;
    std::function<std::string(MannKSKruskalArgs&, VarnelloCore&)> MannKSKruskal;
    std::function<std::string(FriedmanArgs&, VarnelloCore&)> Friedman;

    // The entries of the analyses built into this library; an analysis that
    // is not available answers "Analysis not available: " and its type name.
    static AnalysisEntries Builtin();
};

// Puts the entries of the analyses this library holds into `entries`
// (defined in analyses/, which registers each folder's analyses).
void RegisterBuiltinAnalyses(AnalysisEntries& entries);
