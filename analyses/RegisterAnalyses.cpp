#include "analyses/AnalysisRegistry.h"

void RegisterBuiltinAnalyses(AnalysisEntries& entries) {
    RegisterDescriptiveAnalyses(entries);
    RegisterGroupAnalyses(entries);
    RegisterRegressionAnalyses(entries);
    RegisterNonparametricAnalyses(entries);
}
