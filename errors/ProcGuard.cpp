#include "errors/ProcGuard.h"

ProcGuard::ProcGuard(std::shared_ptr<CErr_ZUR> handler, const std::string& name)
    : m_owner(std::move(handler)), m_handler(m_owner.get()) {
    if (m_handler) m_handler->Push(name);
}

ProcGuard::ProcGuard(CErr_ZUR& handler, const std::string& name) : m_handler(&handler) {
    m_handler->Push(name);
}

ProcGuard::~ProcGuard() {
    if (m_handler) m_handler->Pop();
}

void ProcGuard::HandleError() {
    if (m_handler) m_handler->HandleError();
}
