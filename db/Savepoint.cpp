#include "db/Savepoint.h"

#include "db/Connection.h"

namespace dao {

Savepoint::Savepoint(Connection& c, std::string name) : m_conn(c), m_name(std::move(name)) {
    m_conn.Exec(SystemSql("SAVEPOINT " + m_name));
}

Savepoint::~Savepoint() {
    if (!m_active) return;
    try {
        m_conn.Exec(SystemSql("ROLLBACK TO " + m_name));
        m_conn.Exec(SystemSql("RELEASE " + m_name));
    } catch (...) {
    }
}

void Savepoint::Release() {
    m_conn.Exec(SystemSql("RELEASE " + m_name));
    m_active = false;
}

bool BeginWriteLock(Connection& c) {
    if (c.ReadOnly() || !sqlite3_get_autocommit(c.handle())) return false;
    c.Exec(SystemSql("BEGIN IMMEDIATE"));
    return true;
}

void EndWriteLock(Connection& c, bool commit) {
    if (!c.IsOpen() || sqlite3_get_autocommit(c.handle())) return;
    if (commit) {
        try {
            c.Exec(SystemSql("COMMIT"));
            return;
        } catch (...) {
            try {
                c.Exec(SystemSql("ROLLBACK"));
            } catch (...) {
            }
            c.InvalidateCatalog();
            throw;
        }
    }
    try {
        c.Exec(SystemSql("ROLLBACK"));
    } catch (...) {
    }
    c.InvalidateCatalog();
}

WriteLockScope::~WriteLockScope() {
    if (!m_held) return;
    try {
        EndWriteLock(m_conn, false);
    } catch (...) {
    }
}

void WriteLockScope::Commit() {
    if (!m_held) return;
    m_held = false;
    EndWriteLock(m_conn, true);
}

} // namespace dao
