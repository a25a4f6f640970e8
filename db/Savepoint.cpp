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

} // namespace dao
