#include "errors/ErrorGlobals.h"

thread_local std::shared_ptr<CErr_ZUR> gEngineErr;
std::shared_ptr<CErr_ZUR> gErr;

EngineErrScope*& EngineErrScope::innermost() noexcept {
    static thread_local EngineErrScope* scope = nullptr;
    return scope;
}
