#include "db/Connection.h"

#include "db/DaoConstants.h"
#include "db/DaoError.h"
#include "db/JetFunctions.h"
#include "db/LockWait.h"
#include "db/Savepoint.h"
#include "db/TranslatedSql.h"
#include "db/Workgroup.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace dao {

namespace {

std::string afterColon(const std::string& msg) {
    auto p = msg.find(": ");
    return p == std::string::npos ? std::string() : msg.substr(p + 2);
}

std::string upper(std::string s) { return ToUpperAscii(s); }

// The folder SQLite makes its own temporary files in (a large sort spills
// there), chosen as SQLite chooses it: the first of these that is a folder
// it may write in.
std::string sqliteTempFolder() {
    const char* candidates[] = {sqlite3_temp_directory, std::getenv("SQLITE_TMPDIR"), std::getenv("TMPDIR"),
                                "/var/tmp", "/usr/tmp", "/tmp", "."};
    for (const char* dir : candidates) {
        struct stat st {};
        if (dir && *dir && ::stat(dir, &st) == 0 && S_ISDIR(st.st_mode) && ::access(dir, W_OK | X_OK) == 0)
            return dir;
    }
    return {};
}

// What a full disk stopped: the file, and SQLite's temporary files when
// they lie on another file system (a sort that spills there fails as the
// file's statement does).
std::string fullDiskText(const std::string& path) {
    if (path.empty()) return "Not enough space on disk.";
    std::string text = "Not enough space on disk for '" + path + "'";
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    const std::string temp = sqliteTempFolder();
    struct stat file {}, spill {};
    if (!temp.empty() && ::stat(folder.empty() ? "." : folder.c_str(), &file) == 0 &&
        ::stat(temp.c_str(), &spill) == 0 && file.st_dev != spill.st_dev)
        text += " or for the temporary files in '" + temp + "'";
    return text + ".";
}

} // namespace

int OpenSqlite(const std::string& path, int flags, sqlite3** db) {
    // Refused (and harmless) once SQLite has started, as when a program
    // opened a file through SQLite itself first.
    static const int configured = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    (void)configured;
    return sqlite3_open_v2(path.c_str(), db, flags, nullptr);
}

std::string QuoteIdent(std::string_view name) {
    std::string r = "\"";
    for (char c : name) {
        if (c == '"') r += '"';
        r += c;
    }
    r += '"';
    return r;
}

std::string QuoteText(std::string_view text) {
    std::string r = "'";
    for (char c : text) {
        if (c == '\'') r += '\'';
        r += c;
    }
    r += '\'';
    return r;
}

// --- field definitions ---------------------------------------------------------

Variant EvaluateDefault(const FieldInfo& f, bool* timeDependent) {
    if (timeDependent) *timeDependent = false;
    auto trimmed = [](std::string t) {
        while (!t.empty() && t.front() == ' ') t.erase(0, 1);
        while (!t.empty() && t.back() == ' ') t.pop_back();
        return t;
    };
    std::string d = trimmed(f.defaultValue);
    if (d.empty()) return f.type == dbBoolean ? Variant(false) : Variant::Null();
    if (d.front() == '=') d = trimmed(d.substr(1));
    std::string lower = ToLowerAscii(d);
    if (lower == "now()" || lower == "now" || lower == "date()" || lower == "date") {
        if (timeDependent) *timeDependent = true;
        double now = Now();
        return Variant::Date(lower.rfind("now", 0) == 0 ? now : std::floor(now));
    }
    if (lower == "null") return Variant::Null();
    if (f.type == dbText || f.type == dbMemo || f.type == dbGUID) {
        if (d.size() >= 2 && (d.front() == '"' || d.front() == '\'') && d.back() == d.front()) d = d.substr(1, d.size() - 2);
        return Variant(d);
    }
    if (f.type == dbBoolean) {
        if (lower == "true" || lower == "yes" || lower == "on") return Variant(true);
        if (lower == "false" || lower == "no" || lower == "off") return Variant(false);
        if (IsNumeric(d)) return Variant(Val(d) != 0.0);
        return Variant(false);
    }
    if (IsNumeric(d)) return Variant(Val(d));
    return Variant::Null();
}

long DefaultFieldSize(int type) {
    switch (type) {
    case dbBoolean: return 1;
    case dbByte: return 1;
    case dbInteger: return 2;
    case dbLong: return 4;
    case dbCurrency: return 8;
    case dbSingle: return 4;
    case dbDouble: return 8;
    case dbDate: return 8;
    case dbText: return 50;
    case dbGUID: return 16;
    case dbBigInt: return 8;
    case dbDecimal: return 16;
    default: return 0;
    }
}

std::string SqliteDeclaredType(const FieldInfo& f) {
    switch (f.type) {
    case dbBoolean: return "BOOLEAN";
    case dbByte: return "TINYINT";
    case dbInteger: return "SMALLINT";
    case dbLong: return "INTEGER";
    case dbBigInt: return "BIGINT";
    case dbCurrency: return "CURRENCY";
    case dbSingle: return "FLOAT";
    case dbDouble: return "DOUBLE";
    case dbDate: return "DATETIME";
    // Only collations every SQLite knows: the file stays readable, checkable
    // and writable by other programs. The case-blind GENERAL order is applied
    // by the queries this layer writes.
    case dbText: return "VARCHAR(" + std::to_string(f.size > 0 ? f.size : 255) + ") COLLATE NOCASE";
    case dbMemo: return "TEXT COLLATE NOCASE";
    case dbGUID: return "GUID";
    case dbBinary: return "VARBINARY(" + std::to_string(f.size > 0 ? f.size : 255) + ")";
    case dbLongBinary: return "BLOB";
    case dbDecimal: return "DECIMAL";
    default: return "";
    }
}

namespace {

// The field type of a declared type; false when the type's name names no
// kind of value this program knows (UUID, JSON), taken as a Double field.
bool mapDeclared(const std::string& declared, int& type, long& size) {
    std::string d = upper(declared);
    // Drop a COLLATE clause and the like: only the type name and its size count.
    auto paren = d.find('(');
    long declaredSize = 0;
    if (paren != std::string::npos) declaredSize = std::atol(d.c_str() + paren + 1);
    auto has = [&](const char* word) { return d.find(word) != std::string::npos; };
    if (d.empty()) { type = dbDouble; size = 8; return true; }
    if (has("BOOL") || has("BIT") || has("YESNO")) { type = dbBoolean; size = 1; return true; }
    if (has("TINYINT") || has("BYTE")) { type = dbByte; size = 1; return true; }
    // LONG and SHORT name texts and bytes too ("LONG VARCHAR", "SHORT TEXT",
    // "LONG VARBINARY", "LONG RAW"): SQLite keeps them there as they are
    // put, and so does the field.
    const bool textWord = has("CHAR") || has("TEXT") || has("CLOB");
    const bool bytesWord = has("BINARY") || has("BLOB") || has("RAW");
    if (has("SMALLINT") || has("INT2") || (has("SHORT") && !textWord)) { type = dbInteger; size = 2; return true; }
    if (has("BIGINT") || has("INT8") || has("LONGLONG")) { type = dbBigInt; size = 8; return true; }
    if (has("INT") || has("COUNTER") || has("AUTOINCREMENT") || has("LONG")) {
        if (has("LONGTEXT") || has("LONGCHAR") || has("LONGBINARY") || (!has("INT") && (textWord || bytesWord))) {
            // handled below
        } else { type = dbLong; size = 4; return true; }
    }
    if (has("CURRENCY") || has("MONEY")) { type = dbCurrency; size = 8; return true; }
    if (has("GUID") || has("UNIQUEIDENTIFIER")) { type = dbGUID; size = 16; return true; }
    if (has("DATE") || has("TIME")) { type = dbDate; size = 8; return true; }
    if (has("FLOAT") && !has("DOUBLE")) {
        // FLOAT(n) with n <= 24 is single precision; a bare FLOAT is SQLite's double.
        if (declaredSize > 0 && declaredSize <= 24) { type = dbSingle; size = 4; return true; }
        type = dbDouble; size = 8; return true;
    }
    if (has("SINGLE") || has("REAL4")) { type = dbSingle; size = 4; return true; }
    if (has("REAL") || has("DOUB") || has("FLOA")) { type = dbDouble; size = 8; return true; }
    if (has("DECIMAL") || has("NUMERIC") || has("NUMBER")) { type = dbDouble; size = 8; return true; }
    if (has("BLOB") || has("LONGBINARY") || has("IMAGE") || has("OLE") || (has("LONG") && bytesWord)) { type = dbLongBinary; size = 0; return true; }
    if (has("BINARY")) { type = dbBinary; size = declaredSize > 0 ? declaredSize : 255; return true; }
    if (has("CLOB") || has("MEMO") || has("LONGTEXT") || has("LONGCHAR") || (has("LONG") && textWord)) {
        type = dbMemo; size = 0; return true;
    }
    if (has("CHAR") || has("TEXT") || has("STRING")) {
        if (declaredSize > 0 && declaredSize <= 255) { type = dbText; size = declaredSize; return true; }
        if (declaredSize > 255) { type = dbMemo; size = 0; return true; }
        type = dbText; size = 255; return true;
    }
    type = dbDouble; size = 8; // NUMERIC affinity
    return false;
}

} // namespace

void MapDeclaredType(const std::string& declared, int& type, long& size) { mapDeclared(declared, type, size); }

bool KeepsValuesAsPut(const std::string& declared) {
    std::string d = upper(declared);
    while (!d.empty() && std::isspace(static_cast<unsigned char>(d.back()))) d.pop_back();
    while (!d.empty() && std::isspace(static_cast<unsigned char>(d.front()))) d.erase(0, 1);
    if (d.empty() || d == "ANY") return true;
    int type = 0;
    long size = 0;
    return !mapDeclared(d, type, size);
}

char SqliteAffinity(const std::string& declared) {
    const std::string d = ToUpperAscii(declared);
    auto has = [&](const char* w) { return d.find(w) != std::string::npos; };
    if (has("INT")) return 'I';
    if (has("CHAR") || has("CLOB") || has("TEXT")) return 'T';
    if (has("BLOB") || d.empty()) return 'B';
    if (has("REAL") || has("FLOA") || has("DOUB")) return 'R';
    return 'N';
}

// --- waiting for locks -------------------------------------------------------------

namespace {

std::atomic<long long> g_lockWaitMs{10000};
thread_local LockWaitListener t_lockWaitListener;
thread_local LockWaitStop t_lockWaitStop;

} // namespace

void SetLockWaitLimit(std::chrono::milliseconds limit) noexcept { g_lockWaitMs = limit.count(); }
std::chrono::milliseconds LockWaitLimit() noexcept { return std::chrono::milliseconds(g_lockWaitMs.load()); }

LockWaitScope::LockWaitScope(LockWaitListener listener, LockWaitStop stop)
    : m_previous(std::move(t_lockWaitListener)), m_previousStop(std::move(t_lockWaitStop)) {
    t_lockWaitListener = std::move(listener);
    t_lockWaitStop = std::move(stop);
}

LockWaitScope::~LockWaitScope() {
    t_lockWaitListener = std::move(m_previous);
    t_lockWaitStop = std::move(m_previousStop);
}

void Connection::WaitForLocksOfOthers() noexcept {
    if (!m_db) return;
    sqlite3_busy_handler(
        m_db.get(), [](void* c, int attempt) { return static_cast<Connection*>(c)->WaitForLock(attempt) ? 1 : 0; },
        this);
}

bool Connection::WaitForLock(int attempt) noexcept {
    using namespace std::chrono;
    if (!m_waitForLocks) return false;
    // Whoever waits may have been told to stop waiting (Stop pressed during a
    // run): the next pause is not waited.
    try {
        if (t_lockWaitStop && t_lockWaitStop()) return false;
    } catch (...) {
    }
    const auto now = steady_clock::now();
    if (attempt == 0) {
        m_waitStart = now;
        m_waitTold = milliseconds(-1);
    }
    const auto waited = duration_cast<milliseconds>(now - m_waitStart);
    const auto limit = LockWaitLimit();
    if (waited >= limit) return false;
    // Short waits first: most locks are held for a moment only.
    static constexpr int kSteps[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
    constexpr int kSteps_n = static_cast<int>(sizeof kSteps / sizeof kSteps[0]);
    milliseconds pause(attempt < kSteps_n ? kSteps[attempt] : 100);
    if (waited + pause > limit) pause = limit - waited;
    // The listener hears of a wait that a user notices, then once a second.
    if (t_lockWaitListener && waited >= milliseconds(200) &&
        (m_waitTold < milliseconds(0) || waited - m_waitTold >= seconds(1))) {
        m_waitTold = waited;
        try {
            // The file waited for: this database or one read through IN.
            t_lockWaitListener(failedFile(SQLITE_BUSY), waited, limit);
        } catch (...) {
        }
    }
    std::this_thread::sleep_for(pause);
    return true;
}

// --- connection ----------------------------------------------------------------

Connection::Connection(SqliteHandle db, std::string path, bool readOnly)
    : m_db(std::move(db)), m_path(std::move(path)), m_readOnly(readOnly) {}

Connection::~Connection() { Close(); }

void Connection::Close() noexcept {
    m_pendingWriters.clear();
    m_fieldCache.clear();
    m_db.reset();
}

sqlite3* Connection::handle() const {
    if (!m_db) throw DaoError(err::ObjectClosed, "Object invalid or no longer set.");
    return m_db.get();
}

std::string Connection::ReadOnlyText() const {
    if (m_path.empty()) return "Cannot update. Database or object is read-only.";
    return "Cannot update. The database '" + m_path + "' is read-only.";
}

namespace {

// Whether another program keeps the file from being read (an exclusive
// lock) or, with `write`, from being written; asked on a connection of its
// own that waits for nothing.
bool lockedByOthers(const std::string& path, bool write) {
    sqlite3* raw = nullptr;
    const int rc = OpenSqlite(path, write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY, &raw);
    SqliteHandle probe(raw);
    if (rc != SQLITE_OK) return false;
    const char* sql = write ? "BEGIN IMMEDIATE" : "SELECT count(*) FROM sqlite_master";
    sqlite3_stmt* st = nullptr;
    int step = sqlite3_prepare_v2(raw, sql, -1, &st, nullptr);
    if (step == SQLITE_OK) step = sqlite3_step(st);
    sqlite3_finalize(st);
    if (write) sqlite3_exec(raw, "ROLLBACK", nullptr, nullptr, nullptr);
    return (step & 0xff) == SQLITE_BUSY || (step & 0xff) == SQLITE_LOCKED;
}

// Fails as Fail does when the connection's last error is another
// program's lock held past the wait; any other error is left to the caller.
void failIfLocked(const Connection& c, const char* sql) {
    const int rc = sqlite3_extended_errcode(c.handle());
    if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) c.Fail(rc, sql);
}

} // namespace

std::string Connection::failedFile(int rc) const {
    const int primary = rc & 0xff;
    if (!m_attaching.empty()) return m_attaching;
    if (m_attached.empty() || !m_db) return m_path;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
        // Read locks first: another program's exclusive lock stops every
        // statement that reads the file. Then write locks, on the files this
        // connection has not begun to write itself.
        std::vector<std::pair<std::string, std::string>> files{{m_path, "main"}};
        for (const auto& [path, alias] : m_attached) files.emplace_back(path, alias);
        for (bool write : {false, true}) {
            std::vector<std::string> locked;
            for (const auto& [path, schema] : files) {
                if (write && sqlite3_txn_state(m_db.get(), schema.c_str()) == SQLITE_TXN_WRITE) continue;
                if (lockedByOthers(path, write)) locked.push_back(path);
            }
            // This database's lock (the first asked) is the one named when it
            // is one of them.
            if (!locked.empty()) return locked.front();
        }
        return m_path;
    }
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT) {
        for (const auto& [path, alias] : m_attached) {
            sqlite3_stmt* st = nullptr;
            const std::string check = "PRAGMA " + QuoteIdent(alias) + ".quick_check(1)";
            int step = sqlite3_prepare_v2(m_db.get(), check.c_str(), -1, &st, nullptr);
            std::string answer;
            if (step == SQLITE_OK && (step = sqlite3_step(st)) == SQLITE_ROW && sqlite3_column_text(st, 0))
                answer = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            sqlite3_finalize(st);
            const int p = step & 0xff;
            if (p == SQLITE_NOTADB || p == SQLITE_CORRUPT || (step == SQLITE_ROW && answer != "ok")) return path;
        }
    }
    return m_path;
}

void Connection::Fail(int rc, const std::string& sql) const { Fail(rc, sql, failedFile(rc)); }

void Connection::Fail(int rc, const std::string& sql, const std::string& failed) const {
    int primary = rc & 0xff;
    std::string msg = m_db ? sqlite3_errmsg(m_db.get()) : sqlite3_errstr(rc);
    switch (primary) {
    case SQLITE_CONSTRAINT: {
        if (rc == SQLITE_CONSTRAINT_COMMITHOOK)
            throw DaoError(err::ValidationRule,
                           "The change was not kept: an earlier error (a full disk, say) cancelled the transaction it "
                           "belonged to.",
                           rc, sql);
        if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY)
            throw DaoError(err::DuplicateKey,
                           "The changes you requested to the table were not successful because they would create "
                           "duplicate values in the index, primary key, or relationship.",
                           rc, sql);
        if (rc == SQLITE_CONSTRAINT_NOTNULL)
            throw DaoError(err::NullNotAllowed, "The field '" + afterColon(msg) + "' cannot contain a Null value.", rc, sql);
        if (rc == SQLITE_CONSTRAINT_CHECK) {
            // The layer names its column checks "sz:<field>", "zl:<field>" and "vr:<field>".
            std::string name = afterColon(msg);
            std::string field = name.size() > 3 ? name.substr(3) : name;
            if (name.rfind("sz:", 0) == 0)
                throw DaoError(err::FieldTooSmall, "The field '" + field +
                                   "' is too small to accept the amount of data you attempted to add.", rc, sql);
            if (name.rfind("zl:", 0) == 0)
                throw DaoError(err::ZeroLengthNotAllowed, "Field '" + field + "' cannot be a zero-length string.", rc, sql);
            std::string text;
            if (name.rfind("vr:", 0) == 0 && m_db) {
                sqlite3_stmt* raw = nullptr;
                if (sqlite3_prepare_v2(m_db.get(), "SELECT ValidationText FROM MSysColumns WHERE Name = ?1 AND "
                                                   "ValidationText <> '' LIMIT 1", -1, &raw, nullptr) == SQLITE_OK) {
                    StmtHandle st(raw);
                    sqlite3_bind_text(raw, 1, field.c_str(), -1, SQLITE_TRANSIENT);
                    if (sqlite3_step(raw) == SQLITE_ROW) text = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
                } else {
                    sqlite3_finalize(raw);
                }
            }
            if (text.empty())
                text = "One or more values are prohibited by the validation rule set for '" + field + "'.";
            throw DaoError(err::FieldValidation, text, rc, sql);
        }
        throw DaoError(err::ValidationRule, msg, rc, sql);
    }
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw DaoError(err::FileLocked, "Could not use '" + failed + "'; file already in use.", rc, sql);
    case SQLITE_NOTADB:
        m_damageText = "Unrecognized database format '" + failed + "'.";
        ++m_damageMet;
        throw DaoError(err::NotADatabase, m_damageText, rc, sql);
    case SQLITE_CORRUPT:
        m_damageText = "Cannot open database '" + failed + "'. It may not be a database, or the file may be corrupt.";
        ++m_damageMet;
        throw DaoError(3049, m_damageText, rc, sql);
    case SQLITE_CANTOPEN: {
        // The database is there, but a change needs a journal file beside
        // it, and its folder may not be written: the file is read-only to
        // us, not missing.
        std::error_code ec;
        const std::filesystem::path file(m_path);
        if (!m_path.empty() && std::filesystem::is_regular_file(file, ec) &&
            ::access(file.parent_path().empty() ? "." : file.parent_path().c_str(), W_OK) != 0)
            throw DaoError(err::ReadOnly,
                           "Cannot update. The database '" + m_path +
                               "' is read-only: no file may be made in its folder for the change.",
                           rc, sql);
        throw DaoError(err::FileNotFound, "Couldn't find file '" + m_path + "'.", rc, sql);
    }
    case SQLITE_READONLY:
        throw DaoError(err::ReadOnly, ReadOnlyText(), rc, sql);
    case SQLITE_FULL:
        throw DaoError(3026, fullDiskText(m_path), rc, sql);
    case SQLITE_IOERR: {
        // The file, and what the system said of its last failed read or
        // write ("File too large" for a file at the largest size it may
        // have). A lock that was busy earlier leaves its own number there:
        // that is no cause of this error.
        auto writeCause = [](int e) {
            return e == EAGAIN || e == EACCES || e == EBUSY || e == EINTR || e == ENOLCK || e == EPERM ? 0 : e;
        };
        int cause = 0;
        if (m_db && sqlite3_file_control(m_db.get(), "main", SQLITE_FCNTL_LAST_ERRNO, &cause) != SQLITE_OK) cause = 0;
        cause = writeCause(cause);
        if (cause == 0 && m_db) cause = writeCause(sqlite3_system_errno(m_db.get()));
        std::string text = "Disk or network error";
        if (!m_path.empty()) text += " on '" + m_path + "'";
        if (cause != 0) text += std::string(": ") + std::strerror(cause);
        throw DaoError(3043, text + ".", rc, sql);
    }
    case SQLITE_TOOBIG:
        throw DaoError(err::FieldTooSmall, "The field is too small to accept the amount of data you attempted to add.", rc, sql);
    case SQLITE_RANGE:
    case SQLITE_MISMATCH:
        throw DaoError(3464, "Data type mismatch in criteria expression.", rc, sql);
    default:
        break;
    }
    if (msg.rfind("no such table: ", 0) == 0) {
        std::string name = afterColon(msg);
        // SQLite names the table a view reads with its schema ("main.Gone"),
        // an attached file's with its alias ("ext1.Sales"): the table is
        // named as it was named.
        auto dot = name.find('.');
        if (dot != std::string::npos && (name.compare(0, 3, "ext") == 0 || name.compare(0, dot, "main") == 0 ||
                                         name.compare(0, dot, "temp") == 0))
            name = name.substr(dot + 1);
        throw DaoError(err::InputTableNotFound,
                       "The database engine cannot find the input table or query '" + name +
                           "'. Make sure it exists and that its name is spelled correctly.",
                       rc, sql);
    }
    if (msg.rfind("no such column: ", 0) == 0)
        throw DaoError(err::ParametersExpected, "Too few parameters. Expected 1.", rc, sql);
    if (msg.rfind("table ", 0) == 0 && msg.find(" already exists") != std::string::npos) {
        std::string name = msg.substr(6, msg.find(" already exists") - 6);
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
        throw DaoError(err::TableExists, "Table '" + name + "' already exists.", rc, sql);
    }
    if (msg.find("syntax error") != std::string::npos || msg.rfind("near ", 0) == 0 ||
        msg.find("incomplete input") != std::string::npos)
        throw DaoError(err::SyntaxError, "Syntax error in query: " + msg + ".", rc, sql);
    if (msg.find("misuse of aggregate") != std::string::npos || msg.find("GROUP BY") != std::string::npos)
        throw DaoError(3122, "You tried to execute a query that does not include the specified expression as part of an aggregate function (" + msg + ").", rc, sql);
    if (msg.rfind("no such function: ", 0) == 0)
        throw DaoError(3085, "Undefined function '" + afterColon(msg) + "' in expression.", rc, sql);
    throw DaoError(3000 + 146, "Query failed: " + msg + ".", rc, sql);
}

void Connection::AddPendingWriter(PendingWriter* w) {
    if (std::find(m_pendingWriters.begin(), m_pendingWriters.end(), w) == m_pendingWriters.end())
        m_pendingWriters.push_back(w);
}

void Connection::RemovePendingWriter(PendingWriter* w) noexcept {
    m_pendingWriters.erase(std::remove(m_pendingWriters.begin(), m_pendingWriters.end(), w), m_pendingWriters.end());
}

void Connection::writePending() {
    // The writers' own statements come back here: they run as they are.
    if (m_pendingWriters.empty() || m_writingPending) return;
    struct Flag {
        bool& f;
        explicit Flag(bool& b) : f(b) { f = true; }
        ~Flag() { f = false; }
    } flag(m_writingPending);
    const auto writers = m_pendingWriters;
    for (PendingWriter* w : writers) w->WritePending();
}

StmtHandle Connection::Prepare(const SystemSql& sql) {
    writePending();
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(handle(), sql.text().c_str(), static_cast<int>(sql.text().size()), &st, nullptr);
    StmtHandle h(st);
    if (rc != SQLITE_OK) Fail(rc, sql.text());
    return h;
}

StmtHandle Connection::Prepare(const TranslatedSql& sql) {
    writePending();
    for (const auto& a : sql.attachments()) {
        // The connection gives each path its own alias; once attached it stays attached.
        if (m_attached.count(a.path)) continue;
        if (!std::filesystem::exists(a.path))
            throw DaoError(err::FileNotFound, "Couldn't find file '" + a.path + "'.", 0, sql.original());
        StmtHandle attach = Prepare(SystemSql("ATTACH DATABASE ?1 AS " + QuoteIdent(a.alias)));
        sqlite3_bind_text(attach.get(), 1, a.path.c_str(), static_cast<int>(a.path.size()), SQLITE_TRANSIENT);
        // A wait or a failure while the file is attached and its password
        // read is one of that file.
        struct Attaching {
            std::string& path;
            ~Attaching() { path.clear(); }
        } attaching{m_attaching = a.path};
        int arc = sqlite3_step(attach.get());
        if (arc != SQLITE_DONE) Fail(sqlite3_extended_errcode(m_db.get()), sql.original(), a.path);
        attach.reset();
        // A database with a password is reached through IN only with that
        // password, as a direct open needs it. A password that cannot be
        // read (a damaged page, another program's lock) fails the statement,
        // and the file is not kept attached.
        bool matches = false;
        try {
            matches = ExternalPasswordMatches(a.alias, a.password, a.hasPassword);
        } catch (...) {
            sqlite3_exec(m_db.get(), ("DETACH DATABASE " + QuoteIdent(a.alias)).c_str(), nullptr, nullptr, nullptr);
            throw;
        }
        if (!matches) {
            Exec(SystemSql("DETACH DATABASE " + QuoteIdent(a.alias)));
            throw DaoError(err::NotValidPassword, "Not a valid password.", 0, sql.original());
        }
        m_attached[a.path] = a.alias;
    }
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(handle(), sql.text().c_str(), static_cast<int>(sql.text().size()), &st, nullptr);
    StmtHandle h(st);
    if (rc != SQLITE_OK) Fail(rc, sql.original());
    return h;
}

void Connection::Exec(const SystemSql& sql) {
    writePending();
    char* errmsg = nullptr;
    int rc = sqlite3_exec(handle(), sql.text().c_str(), nullptr, nullptr, &errmsg);
    sqlite3_free(errmsg);
    if (rc != SQLITE_OK) Fail(sqlite3_extended_errcode(m_db.get()), sql.text());
}

int Connection::ExecBound(const SystemSql& sql, const std::vector<Variant>& values) {
    StmtHandle st = Prepare(sql);
    for (std::size_t i = 0; i < values.size(); ++i) BindVariant(st.get(), static_cast<int>(i + 1), values[i]);
    int rc = sqlite3_step(st.get());
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) Fail(sqlite3_extended_errcode(m_db.get()), sql.text());
    return sqlite3_changes(m_db.get());
}

bool Connection::ReadPassword(const std::string& schema, std::string& salt, std::string& hash) {
    salt.clear();
    hash.clear();
    auto value = [&](const char* name, std::string& out) {
        StmtHandle st = Prepare(SystemSql("SELECT Value FROM " + QuoteIdent(schema) + ".MSysDb WHERE Name = '" + name + "'"));
        const int rc = sqlite3_step(st.get());
        // A row that cannot be read fails: it is not taken for no password.
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) Fail(sqlite3_extended_errcode(m_db.get()), "MSysDb");
        if (rc != SQLITE_ROW) return false;
        out.assign(static_cast<const char*>(sqlite3_column_blob(st.get(), 0)),
                   static_cast<std::size_t>(sqlite3_column_bytes(st.get(), 0)));
        return true;
    };
    if (!value("PasswordSalt", salt)) return false;
    value("PasswordHash", hash);
    return true;
}

bool Connection::ExternalPasswordMatches(const std::string& alias, const std::string& password, bool given) {
    {
        StmtHandle has = Prepare(SystemSql("SELECT 1 FROM " + QuoteIdent(alias) +
                                           ".sqlite_master WHERE type = 'table' AND name = 'MSysDb'"));
        const int rc = sqlite3_step(has.get());
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) Fail(sqlite3_extended_errcode(m_db.get()), "sqlite_master");
        if (rc != SQLITE_ROW) return true; // no catalogue: no password
    }
    std::string salt, hash;
    if (!ReadPassword(alias, salt, hash)) return true;
    return given && Workgroup::Hash(password, salt) == hash;
}

std::string Connection::AliasFor(const std::string& path) {
    auto it = m_aliases.find(path);
    if (it != m_aliases.end()) return it->second;
    std::string alias = "ext" + std::to_string(m_aliases.size() + 1);
    m_aliases[path] = alias;
    return alias;
}

// --- catalogue -------------------------------------------------------------------

bool Connection::HasView(const std::string& name, bool orTable) {
    StmtHandle st = Prepare(SystemSql(std::string("SELECT 1 FROM sqlite_master WHERE ") +
                                      (orTable ? "type IN ('table', 'view')" : "type = 'view'") +
                                      " AND name = ?1 COLLATE NOCASE"));
    sqlite3_bind_text(st.get(), 1, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    return sqlite3_step(st.get()) == SQLITE_ROW;
}

bool Connection::HasCatalog() {
    if (m_hasCatalog) return *m_hasCatalog;
    // All five of its tables: a file holding only some of them (made by an
    // earlier version killed while it made them one by one) has none yet,
    // and gets the others at the first thing made in it.
    StmtHandle st = Prepare(SystemSql("SELECT count(*) FROM sqlite_master WHERE type='table' AND name IN "
                                      "('MSysColumns', 'MSysIndexes', 'MSysQueries', 'MSysProperties', 'MSysDb')"));
    int rc = sqlite3_step(st.get());
    if (rc != SQLITE_ROW) Fail(sqlite3_extended_errcode(m_db.get()), "SELECT FROM sqlite_master");
    m_hasCatalog = sqlite3_column_int(st.get(), 0) == 5;
    return *m_hasCatalog;
}

void Connection::EnsureCatalog() {
    if (HasCatalog()) return;
    if (m_readOnly) throw DaoError(err::ReadOnly, ReadOnlyText());
    // The five tables in one transaction: a process killed while it makes
    // them leaves all or none.
    Savepoint sp(*this, "dao_catalog");
    Exec(SystemSql(
        "CREATE TABLE IF NOT EXISTS MSysColumns ("
        " TableName TEXT NOT NULL COLLATE NOCASE, Name TEXT NOT NULL COLLATE NOCASE,"
        " Type INTEGER NOT NULL, Size INTEGER NOT NULL DEFAULT 0, Attributes INTEGER NOT NULL DEFAULT 2,"
        " AllowZeroLength INTEGER NOT NULL DEFAULT 0, Required INTEGER NOT NULL DEFAULT 0,"
        " DefaultValue TEXT, ValidationRule TEXT, ValidationText TEXT,"
        " OrdinalPosition INTEGER NOT NULL DEFAULT 0, CollatingOrder INTEGER NOT NULL DEFAULT 1033,"
        " PRIMARY KEY (TableName, Name));"
        "CREATE TABLE IF NOT EXISTS MSysIndexes ("
        " TableName TEXT NOT NULL COLLATE NOCASE, Name TEXT NOT NULL COLLATE NOCASE, Fields TEXT NOT NULL,"
        " IsPrimary INTEGER NOT NULL DEFAULT 0, IsUnique INTEGER NOT NULL DEFAULT 0,"
        " IsRequired INTEGER NOT NULL DEFAULT 0, IgnoreNulls INTEGER NOT NULL DEFAULT 0,"
        " SqliteName TEXT, Seq INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (TableName, Name));"
        "CREATE TABLE IF NOT EXISTS MSysQueries ("
        " Name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE, SQL TEXT NOT NULL, Type INTEGER NOT NULL DEFAULT 0);"
        "CREATE TABLE IF NOT EXISTS MSysProperties ("
        " ObjectName TEXT NOT NULL COLLATE NOCASE, FieldName TEXT NOT NULL COLLATE NOCASE,"
        " Name TEXT NOT NULL COLLATE NOCASE, Type INTEGER NOT NULL, Value,"
        " PRIMARY KEY (ObjectName, FieldName, Name));"
        "CREATE TABLE IF NOT EXISTS MSysDb (Name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE, Value);"));
    sp.Release();
    m_hasCatalog = true;
}

void Connection::ForgetMissingTables() noexcept {
    if (!m_db || m_readOnly) return;
    static const char* kGone = "(SELECT name FROM sqlite_master WHERE type = 'table')";
    bool begun = false;
    const bool wait = m_waitForLocks;
    try {
        if (!HasCatalog()) return;
        {
            // Only when there is something to forget: an open writes nothing otherwise.
            StmtHandle st = Prepare(SystemSql(std::string("SELECT 1 FROM MSysColumns WHERE TableName NOT IN ") + kGone +
                                              " UNION ALL SELECT 1 FROM MSysIndexes WHERE TableName NOT IN " + kGone +
                                              " UNION ALL SELECT 1 FROM MSysProperties WHERE ObjectName NOT IN " +
                                              kGone + " LIMIT 1"));
            if (sqlite3_step(st.get()) != SQLITE_ROW) return;
        }
        m_waitForLocks = false;
        Exec(SystemSql("SAVEPOINT dao_forget"));
        begun = true;
        Exec(SystemSql(std::string("DELETE FROM MSysColumns WHERE TableName NOT IN ") + kGone + ";" +
                       "DELETE FROM MSysIndexes WHERE TableName NOT IN " + kGone + ";" +
                       "DELETE FROM MSysProperties WHERE ObjectName NOT IN " + kGone));
        Exec(SystemSql("RELEASE dao_forget"));
        begun = false;
    } catch (...) {
        // Locked or read-only on disk: the rows stay until a table of their
        // name is made, and are not read meanwhile.
        if (begun) {
            try {
                Exec(SystemSql("ROLLBACK TO dao_forget"));
                Exec(SystemSql("RELEASE dao_forget"));
            } catch (...) {
            }
        }
    }
    m_waitForLocks = wait;
    InvalidateCatalog();
}

void Connection::ForgetTable(const std::string& table) {
    if (!HasCatalog()) return;
    ExecBound(SystemSql("DELETE FROM MSysColumns WHERE TableName = ?1"), {Variant(table)});
    ExecBound(SystemSql("DELETE FROM MSysIndexes WHERE TableName = ?1"), {Variant(table)});
    ExecBound(SystemSql("DELETE FROM MSysProperties WHERE ObjectName = ?1"), {Variant(table)});
}

void Connection::NoticeSchemaChange() {
    if (!m_db) return;
    sqlite3_stmt* raw = nullptr;
    const int prepared = sqlite3_prepare_v2(m_db.get(), "PRAGMA schema_version", -1, &raw, nullptr);
    StmtHandle st(raw);
    if (prepared != SQLITE_OK || sqlite3_step(st.get()) != SQLITE_ROW) {
        // A file another program holds locked past the wait fails here: taken
        // for a schema unchanged, every lookup that follows waited as long
        // again before the statement failed after all.
        failIfLocked(*this, "PRAGMA schema_version");
        return;
    }
    const std::int64_t version = sqlite3_column_int64(st.get(), 0);
    if (m_schemaVersion != -1 && version != m_schemaVersion) InvalidateCatalog();
    m_schemaVersion = version;
}

std::int64_t Connection::DataVersion() {
    StmtHandle st = Prepare(SystemSql("PRAGMA data_version"));
    if (sqlite3_step(st.get()) != SQLITE_ROW) Fail(sqlite3_extended_errcode(handle()), "PRAGMA data_version");
    return sqlite3_column_int64(st.get(), 0);
}

void Connection::InvalidateCatalog() noexcept {
    m_fieldCache.clear();
    m_hasCatalog.reset();
    ++m_generation;
}

const std::vector<FieldInfo>& Connection::TableFields(const std::string& table, const std::string& schema) {
    return cachedTable(table, schema).fields;
}

const Connection::CachedTable& Connection::cachedTable(const std::string& table, const std::string& schema) {
    std::string key = ToLowerAscii(schema) + "\x1f" + ToLowerAscii(table);
    auto it = m_fieldCache.find(key);
    if (it != m_fieldCache.end()) return it->second;

    std::vector<FieldInfo> fields;
    std::vector<std::string> declared; // each column's declared type
    std::vector<int> pkCols;
    {
        StmtHandle st = Prepare(SystemSql("SELECT cid, name, type, \"notnull\", pk, hidden FROM pragma_table_xinfo(" +
                                          QuoteText(table) + ", " + QuoteText(schema) + ")"));
        int rc;
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
            // A virtual table's hidden columns are no fields; a column the file
            // computes (GENERATED ALWAYS AS, VIRTUAL 2 or STORED 3) is one that
            // is read and never written.
            const int hidden = sqlite3_column_int(st.get(), 5);
            if (hidden != 0 && hidden != 2 && hidden != 3) continue;
            FieldInfo f;
            f.generated = hidden != 0;
            f.ordinalPosition = sqlite3_column_int(st.get(), 0);
            f.name = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1));
            const unsigned char* decl = sqlite3_column_text(st.get(), 2);
            MapDeclaredType(decl ? reinterpret_cast<const char*>(decl) : "", f.type, f.size);
            f.required = sqlite3_column_int(st.get(), 3) != 0;
            f.allowZeroLength = true;
            f.attributes = (f.type == dbText || f.type == dbMemo || f.type == dbBinary || f.type == dbLongBinary) ? dbVariableField : dbFixedField;
            int pk = sqlite3_column_int(st.get(), 4);
            if (pk > 0) pkCols.push_back(static_cast<int>(fields.size()));
            std::string d = decl ? ToUpperAscii(reinterpret_cast<const char*>(decl)) : "";
            if (pk > 0 && d == "INTEGER") f.rowidAlias = true;
            fields.push_back(std::move(f));
            declared.push_back(d);
        }
        if (rc != SQLITE_DONE) Fail(sqlite3_extended_errcode(m_db.get()), "PRAGMA table_xinfo");
    }
    // A column of a table that declares no type, ANY or a type of a name that
    // names no kind of value (another program's "CREATE TABLE T (Region, X)",
    // "Id UUID") holds what was put in it: it is a number field
    // unless it holds a text that is no number anywhere, not only in its
    // first value: codes such as 1, 2, "a", "B" are a Text field, read as
    // they are, where a number field would refuse "a" as no number. One pass
    // over the table looks at all such columns; SQL passes over numbers and
    // blobs, only texts are read here, and the look ends once every column
    // has shown a text that is no number. The condition is one list, not a
    // chain of ORs: a table may have more columns than SQLite takes terms
    // in a chain (1000).
    bool isTable = false;
    if (std::any_of(declared.begin(), declared.end(), [](const std::string& d) { return KeepsValuesAsPut(d); })) {
        StmtHandle st = Prepare(SystemSql("SELECT 1 FROM " + QuoteIdent(schema) +
                                          ".sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE"));
        sqlite3_bind_text(st.get(), 1, table.c_str(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
        isTable = sqlite3_step(st.get()) == SQLITE_ROW;
    }
    std::vector<std::size_t> untyped;
    std::string columns, anyText;
    for (std::size_t i = 0; isTable && i < fields.size(); ++i) {
        if (!KeepsValuesAsPut(declared[i])) continue;
        const std::string column = QuoteIdent(fields[i].name);
        columns += (untyped.empty() ? "" : ", ") + column;
        anyText += (untyped.empty() ? "" : ", ") + ("typeof(" + column + ")");
        untyped.push_back(i);
    }
    if (!untyped.empty()) {
        StmtHandle st = Prepare(SystemSql("SELECT " + columns + " FROM " + QuoteIdent(schema) + "." + QuoteIdent(table) +
                                          " WHERE 'text' IN (" + anyText + ")"));
        std::size_t open = untyped.size(); // columns not yet found to hold a text that is no number
        std::vector<char> text(untyped.size(), 0);
        int rc = SQLITE_ROW;
        while (open > 0 && (rc = sqlite3_step(st.get())) == SQLITE_ROW) {
            for (std::size_t k = 0; k < untyped.size(); ++k) {
                const int c = static_cast<int>(k);
                if (text[k] || sqlite3_column_type(st.get(), c) != SQLITE_TEXT) continue;
                double d = 0;
                const std::string_view value(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), c)),
                                             static_cast<std::size_t>(sqlite3_column_bytes(st.get(), c)));
                if (ParseDouble(value, d) && std::isfinite(d)) continue;
                text[k] = 1;
                --open;
                FieldInfo& f = fields[untyped[k]];
                f.type = dbText;
                f.size = 255;
                f.attributes = dbVariableField;
            }
        }
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) Fail(sqlite3_extended_errcode(m_db.get()), table);
    }
    // Each name's first column, for the catalogue's rows below and for lookups.
    std::unordered_map<std::string, std::size_t, detail::NameHash, detail::NameEqual> byName;
    byName.reserve(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) byName.try_emplace(fields[i].name, i);
    // A key SQLite keeps in an index of its own (a WITHOUT ROWID table's, an
    // INTEGER PRIMARY KEY DESC) is an ordinary key, not the row number.
    bool keyIndexed = false;
    if (pkCols.size() == 1 && fields[static_cast<std::size_t>(pkCols[0])].rowidAlias) {
        StmtHandle st = Prepare(SystemSql("SELECT 1 FROM pragma_index_list(" + QuoteText(table) + ", " + QuoteText(schema) +
                                          ") WHERE origin = 'pk'"));
        keyIndexed = sqlite3_step(st.get()) == SQLITE_ROW;
    }
    if (pkCols.size() != 1 || keyIndexed)
        for (auto& f : fields) f.rowidAlias = false;
    else if (fields[static_cast<std::size_t>(pkCols[0])].rowidAlias)
        fields[static_cast<std::size_t>(pkCols[0])].attributes = dbFixedField | dbAutoIncrField;

    // The catalogue of this schema, when it has one, knows the exact definitions.
    bool schemaHasCatalog = false;
    {
        StmtHandle st = Prepare(SystemSql("SELECT 1 FROM " + QuoteIdent(schema) +
                                          ".sqlite_master WHERE type='table' AND name='MSysColumns'"));
        schemaHasCatalog = sqlite3_step(st.get()) == SQLITE_ROW;
    }
    if (schemaHasCatalog) {
        StmtHandle st = Prepare(SystemSql(
            "SELECT Name, Type, Size, Attributes, AllowZeroLength, Required, DefaultValue, ValidationRule,"
            " ValidationText, OrdinalPosition, CollatingOrder FROM " + QuoteIdent(schema) +
            ".MSysColumns WHERE TableName = ?1"));
        sqlite3_bind_text(st.get(), 1, table.c_str(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(st.get()) == SQLITE_ROW) {
            std::string name = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
            auto at = byName.find(name);
            FieldInfo row;
            row.type = sqlite3_column_int(st.get(), 1);
            row.size = sqlite3_column_int(st.get(), 2);
            // A row whose column is stored otherwise than the layer declares
            // its type is left from an earlier table of that name (another
            // program dropped it and made a new one): the file holds what it
            // declares now.
            if (at != byName.end() && SqliteAffinity(declared[at->second]) == SqliteAffinity(SqliteDeclaredType(row))) {
                FieldInfo& f = fields[at->second];
                f.type = row.type;
                f.size = row.size;
                f.attributes = sqlite3_column_int(st.get(), 3);
                f.allowZeroLength = sqlite3_column_int(st.get(), 4) != 0;
                f.required = sqlite3_column_int(st.get(), 5) != 0;
                auto text = [&](int c) {
                    const unsigned char* t = sqlite3_column_text(st.get(), c);
                    return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
                };
                f.defaultValue = text(6);
                f.validationRule = text(7);
                f.validationText = text(8);
                f.ordinalPosition = sqlite3_column_int(st.get(), 9);
                f.collatingOrder = sqlite3_column_int(st.get(), 10);
            }
        }
        StmtHandle pr = Prepare(SystemSql("SELECT FieldName, Value FROM " + QuoteIdent(schema) +
                                          ".MSysProperties WHERE ObjectName = ?1 AND Name = 'Description'"));
        sqlite3_bind_text(pr.get(), 1, table.c_str(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(pr.get()) == SQLITE_ROW) {
            std::string fname = reinterpret_cast<const char*>(sqlite3_column_text(pr.get(), 0));
            const unsigned char* v = sqlite3_column_text(pr.get(), 1);
            if (auto at = byName.find(fname); at != byName.end()) {
                FieldInfo& f = fields[at->second];
                f.description = v ? reinterpret_cast<const char*>(v) : "";
                f.hasDescription = true;
            }
        }
    }
    std::stable_sort(fields.begin(), fields.end(),
                     [](const FieldInfo& a, const FieldInfo& b) { return a.ordinalPosition < b.ordinalPosition; });
    CachedTable cached;
    cached.byName.reserve(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        fields[i].sourceTable = table;
        fields[i].sourceField = fields[i].name;
        cached.byName.try_emplace(fields[i].name, i);
    }
    cached.fields = std::move(fields);
    return m_fieldCache.emplace(key, std::move(cached)).first->second;
}

bool Connection::HasRowid(const std::string& table) {
    // Asked for "rowid", SQLite describes the row key of a table that has
    // one, and a column of that name where the table has such a column.
    const int rc = sqlite3_table_column_metadata(handle(), "main", table.c_str(), "rowid", nullptr, nullptr, nullptr,
                                                 nullptr, nullptr);
    if (rc == SQLITE_ERROR) return false;
    // The schema could not be read (another program's lock held too long):
    // that fails, rather than passing for a table without a row key.
    if (rc != SQLITE_OK) Fail(sqlite3_extended_errcode(m_db.get()), table);
    for (const FieldInfo& f : TableFields(table))
        if (NamesEqual(f.name, "rowid")) return false;
    return true;
}

bool Connection::NumberColumn(const std::string& table, const std::string& column) {
    const char* declared = nullptr;
    if (sqlite3_table_column_metadata(handle(), "main", table.c_str(), column.c_str(), &declared, nullptr, nullptr,
                                      nullptr, nullptr) != SQLITE_OK)
        return false;
    // Whole numbers or reals by SQLite's affinity; a NUMERIC, DECIMAL or
    // DATETIME column (or one of no type) may keep texts.
    const char affinity = SqliteAffinity(declared ? declared : "");
    return affinity == 'I' || affinity == 'R';
}

bool Connection::YesNoColumn(const std::string& table, const std::string& column) {
    const char* declared = nullptr;
    const int rc = sqlite3_table_column_metadata(handle(), "main", table.c_str(), column.c_str(), &declared, nullptr,
                                                 nullptr, nullptr, nullptr);
    int type = 0;
    long size = 0;
    if (rc == SQLITE_OK) {
        MapDeclaredType(declared ? declared : "", type, size);
        return type == dbBoolean;
    }
    // Not a table's column: a view's takes the declared type of the column it
    // shows.
    try {
        if (!HasView(table)) return false;
        const auto info = ColumnInfo("main", table, column);
        return info && info->type == dbBoolean;
    } catch (const DaoError&) {
        return false;
    }
}

namespace {

// The columns of `table` in `schema` of `c` with whether each is declared
// a Yes/No field. A file another program holds locked past the wait fails
// (rather than showing no columns, after which the statement waited again).
std::vector<JetSqlTranslator::Options::Column> declaredYesNo(Connection& c, const std::string& schema, const std::string& table) {
    std::vector<JetSqlTranslator::Options::Column> out;
    sqlite3* db = c.handle();
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name, type FROM pragma_table_xinfo(?1, ?2) WHERE hidden IN (0, 2, 3)", -1, &raw,
                           nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        failIfLocked(c, "pragma_table_xinfo");
        return out;
    }
    StmtHandle st(raw);
    sqlite3_bind_text(st.get(), 1, table.c_str(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(st.get(), 2, schema.c_str(), static_cast<int>(schema.size()), SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
        const auto* declared = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1));
        int type = 0;
        long size = 0;
        MapDeclaredType(declared ? declared : "", type, size);
        out.push_back({name ? name : "", type == dbBoolean});
    }
    if (rc != SQLITE_DONE) failIfLocked(c, "pragma_table_xinfo");
    return out;
}

} // namespace

std::vector<JetSqlTranslator::Options::Column> Connection::YesNoColumns(const std::string& path, const std::string& table) {
    if (path.empty()) {
        std::vector<JetSqlTranslator::Options::Column> out;
        try {
            for (const FieldInfo& f : TableFields(table)) out.push_back({f.name, YesNoColumn(table, f.name)});
        } catch (const DaoError&) {
            return {};
        }
        return out;
    }
    if (auto at = m_attached.find(path); at != m_attached.end()) return declaredYesNo(*this, at->second, table);
    // Not attached yet: the file is read on a connection of its own, which
    // waits for another program's lock as every connection does (a reading
    // that failed at once would find no columns, and no Yes/No field).
    sqlite3* raw = nullptr;
    const int rc = OpenSqlite(path, SQLITE_OPEN_READONLY, &raw);
    Connection other(SqliteHandle(raw), path, true);
    if (rc != SQLITE_OK) return {};
    other.SetWaitForLocks(m_waitForLocks);
    other.WaitForLocksOfOthers();
    return declaredYesNo(other, "main", table);
}

std::optional<FieldInfo> Connection::ColumnInfo(const std::string& schema, const std::string& table,
                                                const std::string& column) {
    const CachedTable& t = cachedTable(table, schema);
    auto at = t.byName.find(column);
    if (at == t.byName.end()) return std::nullopt;
    return t.fields[at->second];
}

// --- values ----------------------------------------------------------------------

void BindVariant(sqlite3_stmt* st, int index, const Variant& v) {
    switch (v.Type()) {
    case vbEmpty:
    case vbNull:
        sqlite3_bind_null(st, index);
        break;
    case vbBoolean: case vbInteger: case vbLong: case vbByte: case vbLongLong:
        sqlite3_bind_int64(st, index, v.RawInt());
        break;
    case vbSingle: case vbDouble: case vbCurrency: case vbDate: case vbDecimal:
        sqlite3_bind_double(st, index, v.RawDouble());
        break;
    case vbString:
        sqlite3_bind_text(st, index, v.RawString().data(), static_cast<int>(v.RawString().size()), SQLITE_TRANSIENT);
        break;
    case vbByteArray:
        sqlite3_bind_blob(st, index, v.RawString().data(), static_cast<int>(v.RawString().size()), SQLITE_TRANSIENT);
        break;
    default:
        throw DaoError(err::TypeMismatch, "Type mismatch");
    }
}

void BindWrittenVariant(sqlite3_stmt* st, int index, const Variant& v) {
    if (v.Type() == vbString && !IsValidUtf8(v.RawString())) {
        const std::string text = ValidUtf8(v.RawString());
        sqlite3_bind_text(st, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return;
    }
    BindVariant(st, index, v);
}

namespace {

// The bytes of the column as they are stored (a text's or a blob's).
std::string columnBytes(sqlite3_stmt* st, int col, int storage) {
    const void* p = storage == SQLITE_BLOB ? sqlite3_column_blob(st, col)
                                           : static_cast<const void*>(sqlite3_column_text(st, col));
    return std::string(static_cast<const char*>(p), static_cast<std::size_t>(sqlite3_column_bytes(st, col)));
}

// The column's bytes read as a text. A legacy program may have stored
// Latin-1 bytes ("\xC9" for "É") that are not UTF-8; such a byte is read as
// the character the text order already takes it for, so that a text groups,
// is written and is shown as one and the same word. UTF-8 stays as stored.
std::string textOf(sqlite3_stmt* st, int col, int storage) { return ValidUtf8(columnBytes(st, col, storage)); }

// A whole number as the field type's own value when it is within the type's
// range, else as the exact 64-bit value it is.
Variant wholeNumber(std::int64_t v, int daoType) {
    if (daoType == dbByte && v >= 0 && v <= 255) return Variant(static_cast<std::uint8_t>(v));
    if (daoType == dbInteger && v >= -32768 && v <= 32767) return Variant(static_cast<std::int16_t>(v));
    if (daoType == dbSingle && v >= -(1LL << 24) && v <= (1LL << 24)) return Variant(static_cast<float>(v));
    if (daoType == dbCurrency && v >= -922337203685477LL && v <= 922337203685477LL)
        return Variant::Currency(static_cast<double>(v));
    if ((daoType == dbDouble || daoType == dbDecimal) && v >= -(1LL << 53) && v <= (1LL << 53))
        return Variant(static_cast<double>(v));
    return Variant(static_cast<long long>(v));
}

// A real number as the field type's own value when that holds it exactly,
// else as the double it is.
Variant realNumber(double d, int daoType) {
    switch (daoType) {
    case dbSingle:
        if (std::isfinite(d) && std::fabs(d) <= 3.4028234663852886e38 && static_cast<double>(static_cast<float>(d)) == d)
            return Variant(static_cast<float>(d));
        return Variant(d);
    case dbCurrency:
        if (std::fabs(d) <= 922337203685477.0 && RoundHalfEvenTo(d, 4) == d) return Variant::Currency(d);
        return Variant(d);
    case dbDate:
        return Variant::Date(d);
    default:
        return Variant(d);
    }
}

bool isNumberType(int daoType) {
    switch (daoType) {
    case dbByte: case dbInteger: case dbLong: case dbBigInt: case dbCurrency: case dbSingle:
    case dbDouble: case dbDecimal:
        return true;
    default:
        return false;
    }
}

// A double as a text column shows it: 15 significant digits when they give
// the value back, else as many as it needs.
std::string numberText(double d) {
    std::string s = FormatDouble(d);
    double back = 0;
    if (!std::isfinite(d) || (ParseDouble(s, back) && back == d)) return s;
    return FormatDoubleRoundTrip(d);
}

} // namespace

Variant ReadColumn(sqlite3_stmt* st, int col, int daoType) {
    // SQLite keeps the value, not the declared type: what another program
    // stored is read as it is. A number keeps every digit (a whole number
    // beyond the field type's range is read as the 64-bit value it is); a
    // text that is not a number stays a text and a blob stays bytes, so that
    // nothing is read as 0 or as the digits a text begins with.
    int storage = sqlite3_column_type(st, col);
    if (daoType == dbBoolean) {
        switch (storage) {
        case SQLITE_NULL: return Variant(false);
        case SQLITE_INTEGER: return Variant(sqlite3_column_int64(st, col) != 0);
        case SQLITE_FLOAT: return Variant(sqlite3_column_double(st, col) != 0.0);
        case SQLITE_BLOB: return Variant::Bytes(columnBytes(st, col, storage));
        default: return Variant(textOf(st, col, storage)); // even "Yes": the reader decides
        }
    }
    if (storage == SQLITE_NULL) return Variant::Null();
    if (isNumberType(daoType) || daoType == dbDate) {
        switch (storage) {
        case SQLITE_INTEGER:
            if (daoType == dbDate) return Variant::Date(sqlite3_column_double(st, col));
            return wholeNumber(sqlite3_column_int64(st, col), daoType);
        case SQLITE_FLOAT:
            return realNumber(sqlite3_column_double(st, col), daoType);
        case SQLITE_BLOB:
            return Variant::Bytes(columnBytes(st, col, storage));
        default: {
            std::string t = textOf(st, col, storage);
            double d = 0;
            if (daoType == dbDate) {
                if (ParseDate(t, d)) return Variant::Date(d);
                return Variant(std::move(t));
            }
            if (ParseDouble(t, d) && std::isfinite(d)) return realNumber(d, daoType);
            return Variant(std::move(t));
        }
        }
    }
    switch (daoType) {
    case dbText:
    case dbMemo:
    case dbGUID:
        if (storage == SQLITE_FLOAT) return Variant(numberText(sqlite3_column_double(st, col)));
        return Variant(textOf(st, col, storage == SQLITE_BLOB ? SQLITE_BLOB : SQLITE_TEXT));
    case dbBinary:
    case dbLongBinary:
        return Variant(columnBytes(st, col, SQLITE_BLOB));
    default:
        break;
    }
    switch (storage) {
    case SQLITE_INTEGER: return Variant(static_cast<long long>(sqlite3_column_int64(st, col)));
    case SQLITE_FLOAT: return Variant(sqlite3_column_double(st, col));
    case SQLITE_TEXT: return Variant(textOf(st, col, SQLITE_TEXT));
    default: return Variant(columnBytes(st, col, SQLITE_BLOB));
    }
}

} // namespace dao
