#pragma once

#include <string>

namespace dao {

class Connection;

// A savepoint over changes that belong together (a catalogue row and the
// object it describes): they are rolled back when it goes out of scope
// unreleased, by an exception or an early return, so the file never keeps
// one without the other.
class Savepoint {
public:
    Savepoint(Connection& c, std::string name);
    ~Savepoint();
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;

    // Keeps the changes.
    void Release();

private:
    Connection& m_conn;
    std::string m_name;
    bool m_active = true;
};

// The file's write lock taken before anything is read for a change (BEGIN
// IMMEDIATE, waiting for another program that holds it as every statement
// waits), unless the file is read-only or a transaction is open on it
// already: true when this call began the transaction.
bool BeginWriteLock(Connection& c);
// Ends a transaction BeginWriteLock began: commits it, or rolls it back. A
// commit that could not take the file (readers kept it past the wait) is
// rolled back and its error thrown. The catalogue is read afresh after a
// rollback.
void EndWriteLock(Connection& c, bool commit);

// BeginWriteLock for a scope: rolled back when it ends uncommitted.
class WriteLockScope {
public:
    explicit WriteLockScope(Connection& c) : m_conn(c), m_held(BeginWriteLock(c)) {}
    ~WriteLockScope();
    WriteLockScope(const WriteLockScope&) = delete;
    WriteLockScope& operator=(const WriteLockScope&) = delete;

    void Commit();

private:
    Connection& m_conn;
    bool m_held;
};

} // namespace dao
