// The analyses built into the engine library: each one that exists replaces
// its "not available" entry here.
#include "engine/AnalysisArgs.h"

void RegisterBuiltinAnalyses(AnalysisEntries& /*entries*/) {}
