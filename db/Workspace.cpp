#include "db/Workspace.h"

#include "db/Connection.h"
#include "db/DaoConstants.h"
#include "db/DaoError.h"
#include "db/JetFunctions.h"
#include "db/QueryDef.h"
#include "db/RepairHook.h"
#include "db/Savepoint.h"
#include "db/Workgroup.h"

#include <algorithm>
#include <filesystem>

namespace dao {

namespace {

std::string fullPath(const std::string& path) {
    std::error_code ec;
    auto p = std::filesystem::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

// The password of a connect text ";pwd=<password>": everything after "pwd=" up to the next ";".
ConnectOptions parseConnect(const std::string& connect) {
    ConnectOptions o;
    std::string lower = ToLowerAscii(connect);
    std::size_t p = lower.find("pwd=");
    if (p == std::string::npos) return o;
    std::size_t start = p + 4;
    std::size_t end = connect.find(';', start);
    o.password = connect.substr(start, end == std::string::npos ? std::string::npos : end - start);
    o.hasPassword = true;
    return o;
}

RepairStepHook& repairHook() {
    static RepairStepHook hook;
    return hook;
}

// Earlier versions declared text columns with the collation GENERAL, which
// only this program registers: other programs could neither check, vacuum
// nor sort such a file. Their declarations are changed to the built-in NOCASE
// and the indexes rebuilt in that order, all in one transaction: a repair
// that fails, or a process killed during it, leaves the file as it was (the
// next open repairs it). True when the file was repaired.
bool repairCollations(Connection& c) {
    {
        StmtHandle st = c.Prepare(SystemSql("SELECT 1 FROM sqlite_master WHERE type IN ('table', 'index') AND "
                                            "sql LIKE '%COLLATE GENERAL%' LIMIT 1"));
        if (sqlite3_step(st.get()) != SQLITE_ROW) return false;
    }
    // A file another program is writing opens as it is, at once: this
    // program still knows the old collation.
    c.SetWaitForLocks(false);
    int step = 0;
    auto next = [&step] {
        if (repairHook()) repairHook()(++step);
    };
    bool begun = false;
    try {
        next();
        c.Exec(SystemSql("BEGIN IMMEDIATE"));
        begun = true;
        int version = 0;
        next();
        {
            StmtHandle st = c.Prepare(SystemSql("PRAGMA schema_version"));
            if (sqlite3_step(st.get()) == SQLITE_ROW) version = sqlite3_column_int(st.get(), 0);
        }
        next();
        c.Exec(SystemSql("PRAGMA writable_schema = ON"));
        next();
        c.Exec(SystemSql("UPDATE sqlite_master SET sql = replace(sql, 'COLLATE GENERAL', 'COLLATE NOCASE') "
                         "WHERE type IN ('table', 'index') AND sql LIKE '%COLLATE GENERAL%'"));
        next();
        c.Exec(SystemSql("PRAGMA schema_version = " + std::to_string(version + 1)));
        // The connection reads the new declarations inside the transaction,
        // so that the indexes are rebuilt in the new order before anything
        // is committed.
        next();
        c.Exec(SystemSql("PRAGMA writable_schema = RESET"));
        next();
        c.Exec(SystemSql("REINDEX NOCASE"));
        next();
        {
            StmtHandle st = c.Prepare(SystemSql("PRAGMA integrity_check(1)"));
            const unsigned char* r = sqlite3_step(st.get()) == SQLITE_ROW ? sqlite3_column_text(st.get(), 0) : nullptr;
            if (!r || std::string(reinterpret_cast<const char*>(r)) != "ok")
                throw DaoError(3049, "The repaired file '" + c.Path() + "' does not check out; it is left as it was.");
        }
        next();
        c.Exec(SystemSql("COMMIT"));
        begun = false;
        if (repairHook()) repairHook()(0);
    } catch (...) {
        // A file that cannot be written (read-only on disk, locked, full)
        // opens as it is: this program still knows the old collation.
        if (begun) {
            try {
                c.Exec(SystemSql("ROLLBACK"));
            } catch (...) {
            }
        }
        try {
            c.Exec(SystemSql("PRAGMA writable_schema = RESET"));
        } catch (...) {
        }
        c.SetWaitForLocks(true);
        c.InvalidateCatalog();
        return false;
    }
    c.SetWaitForLocks(true);
    c.InvalidateCatalog();
    return true;
}

// Helper threads SQLite may use for one sort.
constexpr int kSorterThreads = 3;
// The page cache of a database the user opens, in KiB. SQLite's sorter sizes
// what it fills in memory before it writes a sorted run from the same
// number (with a floor of 250 pages), on each of its threads: a large sorted
// or grouped read of a table then takes a few MiB whatever its number of
// records. A work file keeps SQLite's own cache for its writes.
constexpr int kCacheKiB = 1024;

std::shared_ptr<Connection> openConnection(const std::string& path, bool create, bool exclusive, bool readOnly,
                                           bool workFile = false, int pageSize = 0) {
    sqlite3* raw = nullptr;
    int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (create) flags |= SQLITE_OPEN_CREATE;
    if (workFile) flags |= SQLITE_OPEN_NOMUTEX;
    int rc = OpenSqlite(path, flags, &raw);
    SqliteHandle h(raw);
    auto conn = std::make_shared<Connection>(std::move(h), path, readOnly);
    if (rc != SQLITE_OK) {
        if ((rc & 0xff) == SQLITE_CANTOPEN && std::filesystem::exists(path))
            throw DaoError(3051, "The database engine cannot open the file '" + path +
                                     "'. It is already opened exclusively by another user, or you need permission to view its data.", rc);
        conn->Fail(rc, {});
    }
    // Takes effect only while the file holds nothing.
    if (pageSize > 0) conn->Exec(SystemSql("PRAGMA page_size = " + std::to_string(pageSize)));
    // A work file is this run's scratch, deleted after it (with its journal):
    // its journal file is kept from one transaction to the next instead of
    // made and removed for each (a run of many small groups commits once a
    // group), and its lock is held for the run. The journal stays on disk,
    // so a large table dropped or emptied costs no memory.
    if (workFile) {
        conn->Exec(SystemSql("PRAGMA synchronous = OFF"));
        conn->Exec(SystemSql("PRAGMA journal_mode = PERSIST"));
        conn->Exec(SystemSql("PRAGMA locking_mode = EXCLUSIVE"));
    }
    // Another program's lock is waited for as long as a user would wait.
    conn->WaitForLocksOfOthers();
    sqlite3_extended_result_codes(raw, 1);
    // A large ORDER BY (the analyses' sorted reads) may sort on helper threads.
    // The connection keeps SQLite's own mutex: a database object may be
    // handed to another thread (the desktop's run uses the window's scenario
    // database on its worker), so it is not opened for one thread only.
    sqlite3_limit(raw, SQLITE_LIMIT_WORKER_THREADS, kSorterThreads);
    RegisterJetFunctions(raw);
    if (exclusive && !readOnly) {
        conn->Exec(SystemSql("PRAGMA locking_mode = EXCLUSIVE"));
        conn->Exec(SystemSql("BEGIN EXCLUSIVE"));
        conn->Exec(SystemSql("COMMIT"));
    }
    // Touch the schema: a file that is no database, or one locked by another
    // process, fails here rather than at the first query.
    try {
        StmtHandle st = conn->Prepare(SystemSql("SELECT count(*) FROM sqlite_master"));
        rc = sqlite3_step(st.get());
        if (rc != SQLITE_ROW) conn->Fail(sqlite3_extended_errcode(raw), {});
    } catch (const DaoError& e) {
        // A file in WAL mode is read through a shared-memory file beside it:
        // in a folder that may not be written it cannot be opened at all.
        if ((e.SqliteCode() & 0xff) == SQLITE_CANTOPEN)
            throw DaoError(3051, "The database engine cannot open the file '" + path +
                                     "'. It is already opened exclusively by another user, or you need permission to view its data.",
                           e.SqliteCode());
        throw;
    }
    if (!workFile) conn->Exec(SystemSql("PRAGMA cache_size = " + std::to_string(-kCacheKiB)));
    if (!readOnly) repairCollations(*conn);
    return conn;
}

void checkDatabasePassword(Connection& c, const ConnectOptions& options) {
    if (!c.HasCatalog()) return;
    std::string salt, hash;
    if (!c.ReadPassword("main", salt, hash)) return; // no password: any given one is ignored
    if (!options.hasPassword || Workgroup::Hash(options.password, salt) != hash)
        throw DaoError(err::NotValidPassword, "Not a valid password.");
}

} // namespace

void SetRepairStepHook(RepairStepHook hook) { repairHook() = std::move(hook); }

Workspace::Workspace(std::string name, std::string userName) : m_name(std::move(name)), m_userName(std::move(userName)) {}

Workspace::~Workspace() { Close(); }

DatabasePtr Workspace::OpenDatabase(const std::string& path, bool exclusive, bool readOnly, const std::string& connect) {
    return OpenDatabase(path, exclusive, readOnly, parseConnect(connect));
}

DatabasePtr Workspace::OpenDatabase(const std::string& path, bool exclusive, bool readOnly, const ConnectOptions& options) {
    if (path.empty()) throw DaoError(3001, "Invalid argument.");
    std::string full = fullPath(path);
    std::error_code ec;
    if (!std::filesystem::exists(full, ec) || std::filesystem::is_directory(full, ec))
        throw DaoError(err::FileNotFound, "Couldn't find file '" + full + "'.");
    auto conn = openConnection(full, false, exclusive, readOnly, options.workFile, options.pageSize);
    checkDatabasePassword(*conn, options);
    if (!options.workFile) {
        conn->ForgetMissingTables();
        QueryDefs::RemakeStaleViews(*conn);
    }
    for (int level = 1; level <= m_txDepth; ++level)
        conn->Exec(SystemSql("SAVEPOINT vtx" + std::to_string(level)));
    conn->SetTransactionDepth(m_txDepth);
    auto db = std::make_shared<Database>(conn, full, weak_from_this());
    std::lock_guard<std::mutex> lock(m_mutex);
    m_databases.push_back(db);
    return db;
}

DatabasePtr Workspace::CreateDatabase(const std::string& path, const std::string& locale, int /*options*/) {
    if (path.empty()) throw DaoError(3001, "Invalid argument.");
    std::string full = fullPath(path);
    if (std::filesystem::exists(full)) throw DaoError(3204, "Database already exists.");
    auto conn = openConnection(full, true, false, false);
    conn->EnsureCatalog();
    conn->ExecBound(SystemSql("INSERT OR REPLACE INTO MSysDb (Name, Value) VALUES ('Locale', ?1)"), {Variant(locale)});
    for (int level = 1; level <= m_txDepth; ++level)
        conn->Exec(SystemSql("SAVEPOINT vtx" + std::to_string(level)));
    conn->SetTransactionDepth(m_txDepth);
    auto db = std::make_shared<Database>(conn, full, weak_from_this());
    std::lock_guard<std::mutex> lock(m_mutex);
    m_databases.push_back(db);
    return db;
}

std::vector<DatabasePtr> Workspace::Databases() {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<DatabasePtr> open;
    for (auto& w : m_databases)
        if (auto d = w.lock(); d && d->IsOpen()) open.push_back(d);
    return open;
}

void Workspace::forget(const Database* db) noexcept {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_databases.erase(std::remove_if(m_databases.begin(), m_databases.end(),
                                     [db](const std::weak_ptr<Database>& w) {
                                         auto d = w.lock();
                                         return !d || d.get() == db;
                                     }),
                      m_databases.end());
}

void Workspace::BeginTrans() {
    ++m_txDepth;
    for (const auto& db : Databases()) {
        auto c = db->conn();
        c->Exec(SystemSql("SAVEPOINT vtx" + std::to_string(m_txDepth)));
        c->SetTransactionDepth(m_txDepth);
    }
}

void Workspace::CommitTrans() {
    if (m_txDepth == 0)
        throw DaoError(3034, "You tried to commit or rollback a transaction without first beginning a transaction.");
    for (const auto& db : Databases()) {
        auto c = db->conn();
        if (c->TransactionDepth() >= m_txDepth) {
            c->Exec(SystemSql("RELEASE vtx" + std::to_string(m_txDepth)));
            c->SetTransactionDepth(m_txDepth - 1);
        }
    }
    --m_txDepth;
}

void Workspace::Rollback() {
    if (m_txDepth == 0)
        throw DaoError(3034, "You tried to commit or rollback a transaction without first beginning a transaction.");
    for (const auto& db : Databases()) {
        auto c = db->conn();
        if (c->TransactionDepth() >= m_txDepth) {
            // A full disk or a failed write may have made the database end
            // the whole transaction itself: nothing is left to roll back,
            // and the workspace's level must go down with it (else every
            // database opened later began inside a transaction never ended).
            if (sqlite3_get_autocommit(c->handle())) {
                c->SetTransactionDepth(m_txDepth - 1);
                c->InvalidateCatalog();
                continue;
            }
            c->Exec(SystemSql("ROLLBACK TO vtx" + std::to_string(m_txDepth)));
            try {
                c->Exec(SystemSql("RELEASE vtx" + std::to_string(m_txDepth)));
            } catch (const DaoError&) {
                // Releasing the savepoint that began the file's transaction
                // commits it, which needs the file: after a commit that
                // another program's reading kept from it, the release fails
                // the same way and would leave the transaction open, holding
                // the file against every other program and every later
                // change of this one uncommitted. Nothing is left to keep.
                if (sqlite3_get_autocommit(c->handle())) throw;
                c->Exec(SystemSql("ROLLBACK"));
            }
            c->SetTransactionDepth(m_txDepth - 1);
            c->InvalidateCatalog();
        }
    }
    --m_txDepth;
}

TransactionGuard::TransactionGuard(Workspace& ws, Database& writes) : m_ws(&ws) {
    auto c = writes.conn();
    if (BeginWriteLock(*c)) m_locked = std::move(c);
    try {
        ws.BeginTrans();
    } catch (...) {
        endLock(false);
        throw;
    }
}

TransactionGuard::~TransactionGuard() {
    if (m_ws) {
        try {
            m_ws->Rollback();
        } catch (...) {
        }
    }
    endLock(false);
}

void TransactionGuard::Commit() {
    m_ws->CommitTrans();
    m_ws = nullptr;
    endLock(true);
}

void TransactionGuard::endLock(bool commit) {
    if (!m_locked) return;
    auto c = std::move(m_locked);
    m_locked.reset();
    EndWriteLock(*c, commit);
}

void Workspace::Close() noexcept {
    std::vector<std::weak_ptr<Database>> databases;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        databases.swap(m_databases);
    }
    for (auto& w : databases) {
        if (auto d = w.lock()) {
            try {
                if (m_txDepth > 0 && d->IsOpen()) {
                    auto c = d->conn();
                    while (c->TransactionDepth() > 0) {
                        int lvl = c->TransactionDepth();
                        c->Exec(SystemSql("ROLLBACK TO vtx" + std::to_string(lvl)));
                        c->Exec(SystemSql("RELEASE vtx" + std::to_string(lvl)));
                        c->SetTransactionDepth(lvl - 1);
                    }
                }
            } catch (...) {
            }
            if (d->m_conn) d->m_conn->Close();
        }
    }
    m_txDepth = 0;
}

} // namespace dao
