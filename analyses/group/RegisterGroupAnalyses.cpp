// The group comparisons: crosstab, t-test and analysis of variance.
#include "analyses/AnalysisRegistry.h"

void RegisterGroupAnalyses(AnalysisEntries& /*entries*/) {}
