#include "engine/OutputTransaction.h"

#include "db/Connection.h"

using namespace dao;

namespace {
const char* kName = "vrl_output";

// Turns every commit on the connection into a rollback while the run holds
// its output.
int refuseCommit(void*) { return 1; }
} // namespace

void OutputTransaction::release(Connection& c) noexcept {
    if (c.IsOpen()) sqlite3_commit_hook(c.handle(), nullptr, nullptr);
}

void OutputTransaction::Begin(const DatabasePtr& db) {
    Rollback();
    if (!db || !db->Updatable()) return;
    auto c = db->conn();
    // The run takes the file's write lock before it reads: two programs
    // running scenarios on one file then take turns (the second waits for
    // the first), where two that read first and then both want to write
    // could not both go on, and one would fail at once.
    m_began = sqlite3_get_autocommit(c->handle()) != 0;
    if (m_began) c->Exec(SystemSql("BEGIN IMMEDIATE"));
    try {
        c->Exec(SystemSql(std::string("SAVEPOINT ") + kName));
    } catch (...) {
        if (m_began) endOuter(*c, false);
        m_began = false;
        throw;
    }
    sqlite3_commit_hook(c->handle(), &refuseCommit, nullptr);
    m_conn = std::move(c);
}

void OutputTransaction::endOuter(Connection& c, bool commit) {
    if (!commit) {
        try {
            c.Exec(SystemSql("ROLLBACK"));
        } catch (...) {
        }
        return;
    }
    try {
        c.Exec(SystemSql("COMMIT"));
    } catch (...) {
        // A commit that could not take the file (readers kept it past the
        // wait) leaves the transaction open: it is undone.
        try {
            c.Exec(SystemSql("ROLLBACK"));
        } catch (...) {
        }
        throw;
    }
}

void OutputTransaction::Commit() {
    if (!m_conn) return;
    auto c = std::move(m_conn);
    m_conn.reset();
    const bool began = m_began;
    m_began = false;
    if (!c->IsOpen()) return;
    release(*c);
    try {
        // The database cancelled the transaction (a full disk): what the run
        // wrote is gone, and nothing of it may be taken for its results.
        if (sqlite3_get_autocommit(c->handle()))
            throw DaoError(3026, "An earlier error (a full disk, say) cancelled what the run wrote; no output table was written.");
        c->Exec(SystemSql(std::string("RELEASE ") + kName));
        if (began) endOuter(*c, true);
    } catch (...) {
        try {
            if (!sqlite3_get_autocommit(c->handle())) {
                c->Exec(SystemSql(std::string("ROLLBACK TO ") + kName));
                c->Exec(SystemSql(std::string("RELEASE ") + kName));
                if (began) endOuter(*c, false);
            }
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
    const bool began = m_began;
    m_began = false;
    release(*c);
    try {
        if (c->IsOpen()) {
            c->Exec(SystemSql(std::string("ROLLBACK TO ") + kName));
            c->Exec(SystemSql(std::string("RELEASE ") + kName));
            if (began) endOuter(*c, false);
        }
    } catch (...) {
    }
    c->InvalidateCatalog();
}

void SourceReadTransaction::Begin(const DatabasePtr& source, const DatabasePtr& output) {
    End();
    if (!source || !source->IsOpen()) return;
    auto c = source->conn();
    if (output && output->IsOpen() && output->conn() == c) return;
    if (!sqlite3_get_autocommit(c->handle())) return;
    c->Exec(SystemSql("BEGIN"));
    m_conn = std::move(c);
}

void SourceReadTransaction::End() noexcept {
    if (!m_conn) return;
    auto c = std::move(m_conn);
    m_conn.reset();
    try {
        if (c->IsOpen() && !sqlite3_get_autocommit(c->handle())) c->Exec(SystemSql("COMMIT"));
    } catch (...) {
        try {
            c->Exec(SystemSql("ROLLBACK"));
        } catch (...) {
        }
    }
}
