#pragma once
// The settings of the analyses not yet on the shared road, as their runners
// fill them from a scenario's options. Field lists are indexed from 1 (position 0 unused), in
// the order group, compare, X, Y, weight; Double and Boolean arrays likewise
// hold their values at positions 1 .. n.
#include "engine/AnalysisSettings.h"

#include <cstdint>
#include <string>
#include <vector>

struct RegressionArgs : AnalysisSettings {
    char Kind = 'S';                // 'S' simple, 'M' multiple, 'P' polynomial
    bool Anova = false, YIntercept = false;
    double ConfidenceLevel = 0;
    std::int16_t PolyOrder = 0;     // 'P' only
};

struct XtabArgs : AnalysisSettings {
    std::string CellFunction;       // one character
    std::string Switches;           // six "Y"/"N"
};

struct AnovaArgs : AnalysisSettings {
    std::string Kind;               // "T" two-sample t-test, "A" analysis of variance
    bool KeepBlankCompare = false;
};

struct ChiSquareArgs : AnalysisSettings {
    bool Detail = false, KeepBlanks = false, AllCategories = false;
};

struct SignFitArgs : AnalysisSettings {
    bool Fit = false;
    std::vector<bool> Distributions = std::vector<bool>(4, false); // 1 uniform, 2 normal, 3 Poisson
    bool AgainstMean = false, AgainstMedian = false, AgainstCustom = false;
    double CustomValue = 0;
};

struct RunsArgs : AnalysisSettings {
    std::int16_t nGroupFields = 0;  // group fields plus the one compare field
    bool Flag = true;
};

struct FriedmanArgs : AnalysisSettings {
};
