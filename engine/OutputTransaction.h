#pragma once
// The transaction that holds a run's changes to its output database: output
// tables are dropped, emptied, created and filled inside it, so that the
// tables of the previous run stay whole until the new ones are complete. A
// run that fails, or a process that dies, leaves them as they were (the
// database rolls an unfinished transaction back when the file is next
// opened).
//
// It is a savepoint of its own on the output database's connection, outside
// whatever transactions the analysis begins and ends on the workspace; when
// no transaction is open on the connection it begins one that takes the
// file's write lock at once (waiting for another program that holds it).
//
// While it is held nothing else commits on that connection. A full disk (or
// a failed write) can make the database cancel the whole transaction at
// once; a statement the analysis still runs after that would otherwise be
// committed on its own, into the previous output the cancelled transaction
// gave back. Such a statement fails instead, and its change is undone.
#include "db/Dao.h"

#include <memory>

namespace dao {
class Connection;
}

class OutputTransaction {
public:
    OutputTransaction() = default;
    ~OutputTransaction() { Rollback(); }
    OutputTransaction(const OutputTransaction&) = delete;
    OutputTransaction& operator=(const OutputTransaction&) = delete;

    // Begins on `db` (nothing for a read-only or missing database).
    void Begin(const dao::DatabasePtr& db);
    bool Active() const noexcept { return static_cast<bool>(m_conn); }
    // Makes the changes lasting; throws dao::DaoError (a full disk, a lock).
    // The transaction is over either way.
    void Commit();
    // Undoes every change since Begin.
    void Rollback() noexcept;

private:
    static void endOuter(dao::Connection& c, bool commit);
    // Lets commits through on the connection again.
    static void release(dao::Connection& c) noexcept;
    std::shared_ptr<dao::Connection> m_conn;
    bool m_began = false; // the transaction around the savepoint is this object's
};

// The read transaction that holds a run's view of its source when the source
// is a file (or a connection) of its own: every query of the run (the bounds
// of the default intervals, the numbers checked, the sums taken in SQL, the
// record pass) reads the source as it stood at the first of them, while
// another program that changes it waits for the run. A source on the
// output's connection is held by the output transaction already, and one
// inside a transaction the caller began is left to that transaction.
class SourceReadTransaction {
public:
    SourceReadTransaction() = default;
    ~SourceReadTransaction() { End(); }
    SourceReadTransaction(const SourceReadTransaction&) = delete;
    SourceReadTransaction& operator=(const SourceReadTransaction&) = delete;

    void Begin(const dao::DatabasePtr& source, const dao::DatabasePtr& output);
    // Ends it (it changed nothing). Never throws.
    void End() noexcept;

private:
    std::shared_ptr<dao::Connection> m_conn;
};
