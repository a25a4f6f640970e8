#include "errors/ErrorGlobals.h"

std::shared_ptr<CErr_ZUR> gEngineErr;
std::shared_ptr<CErr_ZUR> gErr;
