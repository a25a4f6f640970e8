#pragma once
// How the analyses plug into the engine: each folder of analyses puts the
// entries of its classes into the engine's table of entry points, and
// RegisterBuiltinAnalyses (declared with the table) calls every folder's
// function. The engine includes no analysis header; a new analysis is one
// class in its folder and one line in that folder's registration function.
#include "engine/AnalysisArgs.h"

void RegisterDescriptiveAnalyses(AnalysisEntries& entries);
void RegisterGroupAnalyses(AnalysisEntries& entries);
void RegisterRegressionAnalyses(AnalysisEntries& entries);
void RegisterNonparametricAnalyses(AnalysisEntries& entries);
