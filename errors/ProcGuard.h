#pragma once
// Pushes a procedure name on an error handler for the lifetime of a scope and
// pops it on every exit, so that each procedure needs one line:
//
//     ProcGuard proc(gEngineErr, "Varnello:RunOneScenario");
//
// The guard keeps its own reference to the handler, so the name is popped from
// the handler it was pushed on even when the global is replaced meanwhile.
// A null handler makes the guard do nothing.
#include <memory>
#include <string>

#include "errors/CErr_ZUR.h"

class ProcGuard {
public:
    ProcGuard(std::shared_ptr<CErr_ZUR> handler, const std::string& name);
    ProcGuard(CErr_ZUR& handler, const std::string& name);
    ~ProcGuard();
    ProcGuard(const ProcGuard&) = delete;
    ProcGuard& operator=(const ProcGuard&) = delete;

    CErr_ZUR* Handler() const noexcept { return m_handler; }

    // Hands the exception being handled to the handler (call inside a catch
    // block). Does nothing without a handler.
    void HandleError();

private:
    std::shared_ptr<CErr_ZUR> m_owner;
    CErr_ZUR* m_handler = nullptr;
};
