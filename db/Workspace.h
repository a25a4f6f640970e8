#pragma once
// A session of one user: the databases it opened and the transactions that
// span all of them.
#include "db/Collection.h"
#include "db/Database.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace dao {

// Connection options given apart from the connect text, so that a password
// never travels inside a text that a quote or ";" in it could break.
struct ConnectOptions {
    std::string password;
    bool hasPassword = false;
    // A run's own work file: nothing but its opener reaches it, and nothing
    // in it need outlive a crash. SQLite's locking of each call and its waits
    // for the disk are left out.
    bool workFile = false;
    // For a file that holds nothing yet: the size of its pages in bytes (0:
    // SQLite's default). Large pages suit large work tables.
    int pageSize = 0;
};

class Workspace : public std::enable_shared_from_this<Workspace> {
public:
    Workspace(std::string name, std::string userName);
    ~Workspace();

    const std::string& Name() const noexcept { return m_name; }
    const std::string& UserName() const noexcept { return m_userName; }

    // connect: ";pwd=<password>" (the rest of the text after "pwd=" up to the next ";").
    DatabasePtr OpenDatabase(const std::string& path, bool exclusive = false, bool readOnly = false,
                             const std::string& connect = {});
    DatabasePtr OpenDatabase(const std::string& path, bool exclusive, bool readOnly, const ConnectOptions& options);
    // Creates a new database file; error 3204 when the file exists.
    DatabasePtr CreateDatabase(const std::string& path, const std::string& locale = {}, int options = 0);

    // The open databases of this workspace (a copy: safe to walk while
    // another thread opens or closes one).
    std::vector<DatabasePtr> Databases();

    void BeginTrans();
    void CommitTrans();
    void Rollback();
    int TransactionLevel() const noexcept { return m_txDepth.load(); }

    void Close() noexcept;

private:
    friend class Database;
    void forget(const Database* db) noexcept;
    std::string m_name;
    std::string m_userName;
    std::mutex m_mutex; // guards the list of databases
    std::vector<std::weak_ptr<Database>> m_databases;
    std::atomic<int> m_txDepth{0};
};
using WorkspacePtr = std::shared_ptr<Workspace>;

// Rolls back the workspace's transaction unless committed (exception safety).
//
// Given the database the transaction is to change, it takes that file's
// write lock as it begins, before anything is read (waiting for another
// program that holds it, as every statement waits), unless a transaction is
// open on the file already. A transaction that has read the file cannot wait
// for another program's write lock (the other program may be waiting for
// its read to end): its first change would fail at once with the file in
// use, while another program writes the file for a moment.
class TransactionGuard {
public:
    explicit TransactionGuard(Workspace& ws) : m_ws(&ws) { ws.BeginTrans(); }
    TransactionGuard(Workspace& ws, Database& writes);
    ~TransactionGuard();
    void Commit();
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;

private:
    void endLock(bool commit);
    Workspace* m_ws;
    std::shared_ptr<Connection> m_locked; // the file whose write lock this guard took
};

} // namespace dao
