#include "engine/OutputTransaction.h"

#include "db/Connection.h"

using namespace dao;

namespace {
const char* kName = "vrl_output";
}

void OutputTransaction::Begin(const DatabasePtr& db) {
    Rollback();
    if (!db || !db->Updatable()) return;
    auto c = db->conn();
    c->Exec(SystemSql(std::string("SAVEPOINT ") + kName));
    m_conn = std::move(c);
}

void OutputTransaction::Commit() {
    if (!m_conn) return;
    auto c = std::move(m_conn);
    m_conn.reset();
    if (!c->IsOpen()) return;
    try {
        c->Exec(SystemSql(std::string("RELEASE ") + kName));
    } catch (...) {
        try {
            c->Exec(SystemSql(std::string("ROLLBACK TO ") + kName));
            c->Exec(SystemSql(std::string("RELEASE ") + kName));
        } catch (...) {
        }
        c->InvalidateCatalog();
        throw;
    }
}

void OutputTransaction::Rollback() noexcept {
    if (!m_conn) return;
    auto c = std::move(m_conn);
    m_conn.reset();
    try {
        if (c->IsOpen()) {
            c->Exec(SystemSql(std::string("ROLLBACK TO ") + kName));
            c->Exec(SystemSql(std::string("RELEASE ") + kName));
        }
    } catch (...) {
    }
    c->InvalidateCatalog();
}
