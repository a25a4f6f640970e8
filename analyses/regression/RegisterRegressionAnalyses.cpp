// The regressions: simple, multiple and polynomial.
#include "analyses/AnalysisRegistry.h"

void RegisterRegressionAnalyses(AnalysisEntries& /*entries*/) {}
