#pragma once
// The settings and run functions of the analyses the catalogue names that
// are not yet classes on the shared road (analyses/AnalysisCatalogue.cpp
// puts them in their entries).
#include "engine/AnalysisArgs.h"
#include "engine/AnalysisCatalogue.h"
#include "engine/RunContext.h"

#define VARNELLO_LEGACY_ANALYSIS(Name)                                                                                \
    std::string Name##FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,             \
                                   AnalysisType::Settings& out)

VARNELLO_LEGACY_ANALYSIS(Paired);
VARNELLO_LEGACY_ANALYSIS(TwoSample);
VARNELLO_LEGACY_ANALYSIS(NSample);
#undef VARNELLO_LEGACY_ANALYSIS

std::string PairedRun(AnalysisSettings& settings, RunContext& engine);
std::string TwoSampleRun(AnalysisSettings& settings, RunContext& engine);
std::string MannKSKruskalRun(AnalysisSettings& settings, RunContext& engine);
