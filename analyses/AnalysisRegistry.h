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

VARNELLO_LEGACY_ANALYSIS(Anova);
VARNELLO_LEGACY_ANALYSIS(Xtab);
VARNELLO_LEGACY_ANALYSIS(Regression);
VARNELLO_LEGACY_ANALYSIS(ChiSquare);
VARNELLO_LEGACY_ANALYSIS(Sign);
VARNELLO_LEGACY_ANALYSIS(Fit);
VARNELLO_LEGACY_ANALYSIS(TwoSample);
VARNELLO_LEGACY_ANALYSIS(Friedman);
#undef VARNELLO_LEGACY_ANALYSIS

std::string AnovaRun(AnalysisSettings& settings, RunContext& engine);
std::string XtabRun(AnalysisSettings& settings, RunContext& engine);
std::string RegressionRun(AnalysisSettings& settings, RunContext& engine);
std::string ChiSquareRun(AnalysisSettings& settings, RunContext& engine);
std::string SignFitRun(AnalysisSettings& settings, RunContext& engine);
std::string TwoSampleRun(AnalysisSettings& settings, RunContext& engine);
std::string FriedmanRun(AnalysisSettings& settings, RunContext& engine);
