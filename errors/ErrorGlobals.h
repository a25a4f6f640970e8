#pragma once
// The two error handlers of the process.
#include <memory>

#include "errors/CErr_ZUR.h"

// The engine's handler: every new engine object creates a fresh one and
// stores it here, replacing the previous one; the engine's procedures and
// every analysis report to it. Null until the first engine is created.
extern std::shared_ptr<CErr_ZUR> gEngineErr;

// The application's handler, created at start-up and kept for the life of
// the process. Null until then.
extern std::shared_ptr<CErr_ZUR> gErr;
