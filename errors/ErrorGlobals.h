#pragma once
// The two error handlers of the process.
#include <memory>

#include "errors/CErr_ZUR.h"

// The handler of the engine at work on this thread: an engine puts its own
// handler here for the length of each of its operations (see
// EngineErrScope) and puts the previous one back afterwards, so with several
// engines alive, or engines on several threads, the engine's procedures and
// every analysis it runs report to that engine's handler. Outside an
// operation it holds the handler of the engine last created on this thread.
extern thread_local std::shared_ptr<CErr_ZUR> gEngineErr;

// Makes `handler` the engine handler of this thread for the life of the
// scope, and puts the previous one back on every exit.
class EngineErrScope {
public:
    explicit EngineErrScope(std::shared_ptr<CErr_ZUR> handler) : m_previous(gEngineErr), m_outer(innermost()) {
        gEngineErr = std::move(handler);
        innermost() = this;
    }
    ~EngineErrScope() {
        innermost() = m_outer;
        gEngineErr = std::move(m_previous);
    }
    EngineErrScope(const EngineErrScope&) = delete;
    EngineErrScope& operator=(const EngineErrScope&) = delete;

    // A new engine's handler. Outside every scope it becomes this thread's
    // engine handler at once; while an engine's operation is under way here
    // (an engine made by a listener of its events) it does so only when the
    // outermost scope ends, so that the running operation keeps reporting
    // to its own engine.
    static void SetLastCreated(std::shared_ptr<CErr_ZUR> handler) {
        EngineErrScope* scope = innermost();
        if (!scope) {
            gEngineErr = std::move(handler);
            return;
        }
        while (scope->m_outer) scope = scope->m_outer;
        scope->m_previous = std::move(handler);
    }

private:
    // The innermost scope under way on this thread.
    static EngineErrScope*& innermost() noexcept;
    std::shared_ptr<CErr_ZUR> m_previous;
    EngineErrScope* m_outer;
};

// The application's handler, created at start-up and kept for the life of
// the process. Null until then.
extern std::shared_ptr<CErr_ZUR> gErr;
