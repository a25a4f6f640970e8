#pragma once
// The settings of the analyses not yet on the shared road, as their runners
// fill them from a scenario's options. Field lists are indexed from 1 (position 0 unused), in
// the order group, compare, X, Y, weight; Double and Boolean arrays likewise
// hold their values at positions 1 .. n.
#include "engine/AnalysisSettings.h"

#include <cstdint>
#include <string>
#include <vector>

struct NonParametricArgs : AnalysisSettings {
    double Zero = 0;
    std::vector<double> Zeros;      // 0 .. nX
    bool Sign = false, Wilcoxon = false, Spearman = false, Tau = false, ChiSquare = false;
};

struct MannKSKruskalArgs : AnalysisSettings {
    std::int16_t nGroupFields = 0;  // group fields plus the one compare field
    bool MannWhitney = false, KolmogorovSmirnov = false, KruskalWallis = false;
};

