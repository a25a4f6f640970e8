#pragma once
// The SQLite connection behind one open database, shared by the database
// object and everything opened from it (recordsets, table definitions), so
// that they can tell when the database has been closed under them.
#include "db/Collection.h"
#include "db/FieldInfo.h"
#include "db/JetSqlTranslator.h"
#include "db/Variant.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace dao {

class TranslatedSql;

struct SqliteCloser {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct StmtFinalizer {
    void operator()(sqlite3_stmt* st) const noexcept { sqlite3_finalize(st); }
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;
using StmtHandle = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

// Opens a file through SQLite as sqlite3_open_v2 does. The first call sets
// SQLite up for the process: it keeps no count of the memory it takes.
// Nothing here reads that count, and keeping it takes a process-wide lock on
// every allocation, paid for by every row written and by a sort's helper
// threads, which allocate side by side.
int OpenSqlite(const std::string& path, int flags, sqlite3** db);

// SQL written by the layer itself against its own catalogue; the only other
// text that reaches SQLite is what the Jet translator produced.
class SystemSql {
public:
    explicit SystemSql(std::string text) : m_text(std::move(text)) {}
    const std::string& text() const noexcept { return m_text; }

private:
    std::string m_text;
};

// A writer that keeps rows back to write them in batches. The connection
// has it write them before any other statement runs, so that every reader of
// the database sees them.
class PendingWriter {
public:
    virtual void WritePending() = 0;

protected:
    virtual ~PendingWriter() = default;
};

class Connection {
public:
    Connection(SqliteHandle db, std::string path, bool readOnly);
    ~Connection();

    sqlite3* handle() const;        // throws 3420 once closed
    bool IsOpen() const noexcept { return static_cast<bool>(m_db); }
    const std::string& Path() const noexcept { return m_path; }
    bool ReadOnly() const noexcept { return m_readOnly; }
    // The message of a change refused because the file cannot be written,
    // naming the file.
    std::string ReadOnlyText() const;
    void Close() noexcept;

    StmtHandle Prepare(const SystemSql& sql);
    StmtHandle Prepare(const TranslatedSql& sql);
    // Runs statements without results.
    void Exec(const SystemSql& sql);
    // Runs one statement with bound values and returns the changes count.
    int ExecBound(const SystemSql& sql, const std::vector<Variant>& values);

    // Writers whose kept-back rows are written before the next statement.
    void AddPendingWriter(PendingWriter* w);
    void RemovePendingWriter(PendingWriter* w) noexcept;

    // Turns a SQLite failure into the layer's error with the platform numbers.
    // A lock or damage met in a file the statement read through IN '<path>'
    // names that file.
    [[noreturn]] void Fail(int rc, const std::string& sql) const;
    // The same for a failure met in the file `failed`.
    [[noreturn]] void Fail(int rc, const std::string& sql, const std::string& failed) const;
    // How many times a statement found the file damaged (a page that is no
    // page of a database, a file cut short), whoever caught the error, and
    // the error's description the last time.
    std::uint64_t DamageMet() const noexcept { return m_damageMet; }
    const std::string& DamageText() const noexcept { return m_damageText; }

    // --- catalogue -----------------------------------------------------------
    bool HasCatalog();              // the MSys tables exist
    // Whether the file holds a view of that name (with `orTable`, a table or
    // a view), the name found whatever its case.
    bool HasView(const std::string& name, bool orTable = false);
    void EnsureCatalog();           // creates them (writable files only)
    // Field definitions of a table (or view) in schema `schema`, in ordinal order.
    const std::vector<FieldInfo>& TableFields(const std::string& table, const std::string& schema = "main");
    std::optional<FieldInfo> ColumnInfo(const std::string& schema, const std::string& table, const std::string& column);
    // Whether SQL's "rowid" names the row key of `table`: not for a table
    // made WITHOUT ROWID, nor for one with a column of that name.
    bool HasRowid(const std::string& table);
    // Whether `column` of `table` (or of a view) is declared to hold whole
    // numbers or reals, by SQLite's reading of its declared type; false for
    // any other type and for names not found.
    bool NumberColumn(const std::string& table, const std::string& column);
    // Whether `column` of `table` (or of a view) is a Yes/No field, by its
    // declared type (BOOLEAN, BIT, YESNO ...); false for names not found.
    bool YesNoColumn(const std::string& table, const std::string& column);
    // The columns of a table or view, in order, each with whether it is a
    // Yes/No field by its declared type: of this database when `path` is
    // empty, else of that database file (read, not attached); none for a
    // name or file not found.
    std::vector<JetSqlTranslator::Options::Column> YesNoColumns(const std::string& path, const std::string& table);
    // A number that changes whenever another connection (another program)
    // has committed a change to the file since this one last asked; this
    // connection's own changes leave it as it is. Throws when the file
    // cannot be read.
    std::int64_t DataVersion();
    void InvalidateCatalog() noexcept;
    std::uint64_t SchemaGeneration() const noexcept { return m_generation; }
    // Notices a schema change made through another connection (another
    // program adding a table, say) and then invalidates the catalogue.
    // Throws when another program holds the file locked past the wait.
    void NoticeSchemaChange();

    // The catalogue follows the file: its rows about tables that another
    // program dropped or renamed are removed (when the file can be written
    // at once; nothing is waited for), so that a table of that name can be
    // made again.
    void ForgetMissingTables() noexcept;
    // Removes the catalogue's rows about `table`, which does not exist: they
    // are left from a table another program dropped or renamed.
    void ForgetTable(const std::string& table);

    // Waits for another program's lock, the `attempt`th time for this lock
    // (0 the first); false when the wait is over and the statement fails.
    bool WaitForLock(int attempt) noexcept;
    // Makes SQLite ask WaitForLock whenever the file is locked by another
    // program (the connection must outlive its handle's use).
    void WaitForLocksOfOthers() noexcept;
    // Whether statements wait for locks (they do unless switched off).
    void SetWaitForLocks(bool wait) noexcept { m_waitForLocks = wait; }
    bool WaitsForLocks() const noexcept { return m_waitForLocks; }

    // Transaction depth shared with the workspace.
    int TransactionDepth() const noexcept { return m_txDepth; }
    void SetTransactionDepth(int d) noexcept { m_txDepth = d; }

    // The lasting alias of an external database ("IN '<path>'") on this
    // connection: ext1, ext2, ... in the order paths are first named.
    std::string AliasFor(const std::string& path);
    // True when the database attached as `alias` has no password, or has
    // `password` (given says whether one was given at all).
    bool ExternalPasswordMatches(const std::string& alias, const std::string& password, bool given);
    // The database password stored in `schema` ("main" or an alias), its
    // salt and hash; false when none is stored. A password that cannot be
    // read (a damaged page, a lock held too long) fails, not passing for none.
    bool ReadPassword(const std::string& schema, std::string& salt, std::string& hash);

private:
    void writePending();
    // The file a lock or damage of the error `rc` was met in: this database,
    // or one attached for IN '<path>'.
    std::string failedFile(int rc) const;

    SqliteHandle m_db;
    std::string m_path;
    bool m_readOnly;
    int m_txDepth = 0;
    std::uint64_t m_generation = 1;
    mutable std::uint64_t m_damageMet = 0;
    mutable std::string m_damageText;
    std::int64_t m_schemaVersion = -1; // the file's schema version last seen
    std::optional<bool> m_hasCatalog;
    struct CachedTable {
        std::vector<FieldInfo> fields;
        std::unordered_map<std::string, std::size_t, detail::NameHash, detail::NameEqual> byName;
    };
    const CachedTable& cachedTable(const std::string& table, const std::string& schema);
    std::map<std::string, CachedTable> m_fieldCache; // key: schema + "\x1f" + lower(table)
    std::map<std::string, std::string> m_aliases;                // path → alias
    std::map<std::string, std::string> m_attached;               // path → alias, attached
    std::string m_attaching;                                     // the path being attached
    std::vector<PendingWriter*> m_pendingWriters;
    bool m_writingPending = false;
    bool m_waitForLocks = true;
    std::chrono::steady_clock::time_point m_waitStart;
    std::chrono::milliseconds m_waitTold{-1}; // when the listener was last told, in this wait
};

// Lets the translator ask a connection what the columns it meets are declared
// to hold (numbers, Yes/No) and which columns a table has. `get` gives the
// connection, or null once it is gone (a translation made later gets no
// answers then).
template <class GetConnection>
void AskColumnsOf(GetConnection get, JetSqlTranslator::Options& opts) {
    opts.numberColumn = [get](const std::string& table, const std::string& column) {
        auto c = get();
        return c && c->NumberColumn(table, column);
    };
    opts.yesNoColumn = [get](const std::string& table, const std::string& column) {
        auto c = get();
        return c && c->YesNoColumn(table, column);
    };
    opts.columns = [get](const std::string& path, const std::string& table) {
        auto c = get();
        return c ? c->YesNoColumns(path, table) : std::vector<JetSqlTranslator::Options::Column>{};
    };
}

// Binds a Variant to a statement parameter (1-based).
void BindVariant(sqlite3_stmt* st, int index, const Variant& v);
// As BindVariant, for a value written into a record: a text is written as
// valid UTF-8, a legacy program's Latin-1 byte in it (a field name such as
// "Pr\xEEt" written as a value) as the character texts are read as.
void BindWrittenVariant(sqlite3_stmt* st, int index, const Variant& v);
// Reads a column as a Variant of the given field type (0: by storage class).
Variant ReadColumn(sqlite3_stmt* st, int col, int daoType);

// Quoting for the layer's own statements.
std::string QuoteIdent(std::string_view name);
std::string QuoteText(std::string_view text);

} // namespace dao
