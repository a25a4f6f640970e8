#pragma once
// A set of records from a table, a stored query or an SQL text, walked with a
// current record.
//
// Three ways of holding the records stand behind the one interface:
// - read-only recordsets stream straight from SQLite while they only move
//   forward (memory does not grow with the row count); the first backward
//   move, bookmark or search loads them into memory;
// - recordsets on a table keep the row keys only and read the current row by
//   key, so that rows can be added, edited and deleted while walking;
// - updatable recordsets on an SQL text keep keys and values in memory;
// - append-only recordsets read no rows and keep only the row they added
//   last (for LastModified): memory does not grow with the rows they write.
#include "db/Connection.h"
#include "db/Field.h"
#include "db/RowKeys.h"
#include "db/TranslatedSql.h"
#include "db/Variant.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dao {

class Database;

class Recordset : public std::enable_shared_from_this<Recordset> {
public:
    struct Bookmark {
        std::int64_t position = -1;
        const void* owner = nullptr;
        std::uint64_t generation = 0; // the owner's reading of its records (Requery begins a new one)
        bool operator==(const Bookmark& o) const noexcept {
            return position == o.position && owner == o.owner && generation == o.generation;
        }
        bool IsValid() const noexcept { return owner != nullptr && position >= 0; }
    };

    // How a recordset is opened; made by Database::OpenRecordset.
    struct Source {
        std::string name;          // table/query name or the SQL text, for messages
        std::string table;         // table-type or dynaset on a stored table
        std::optional<TranslatedSql> sql;
        int type = 2;
        int options = 0;
    };

    static std::shared_ptr<Recordset> Open(std::shared_ptr<Connection> conn, Source source);
    Recordset(std::shared_ptr<Connection> conn, Source source);
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    int Type() const noexcept { return m_type; }
    const std::string& Name() const noexcept { return m_name; }
    bool Updatable() const noexcept { return m_updatable; }

    bool EOF_() const;
    bool BOF() const;
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    // Moves n records from the current one (also back from the end of file).
    void Move(long rows);
    long RecordCount() const;
    long AbsolutePosition();
    void SetAbsolutePosition(long position);

    Bookmark GetBookmark();
    void SetBookmark(const Bookmark& bm);
    Bookmark LastModified() const;

    void FindFirst(const std::string& criteria);
    void FindNext(const std::string& criteria);
    void FindPrevious(const std::string& criteria);
    void FindLast(const std::string& criteria);
    bool NoMatch() const noexcept { return m_noMatch; }

    void AddNew();
    void Edit();
    void Update();
    void CancelUpdate() noexcept;
    void Delete();
    int EditMode() const noexcept { return m_editMode; }

    dao::Fields& Fields() { return m_fields; }
    FieldPtr Fields(int index) const { return m_fields(index); }
    FieldPtr Fields(std::string_view name) const { return m_fields(name); }
    Variant operator[](std::string_view name) const { return GetValue(columnIndex(name)); }
    Variant operator[](int index) const { return GetValue(index); }

    Variant GetValue(int column) const;
    // The value as GetValue(column).ToDouble() gives it, without building a
    // Variant for a double column of a forward read; false for Null.
    bool GetDouble(int column, double& x) const;
    void SetValue(int column, const Variant& v);
    int FieldCount() const noexcept { return static_cast<int>(m_columns.size()); }

    // Called with a value of a number field (dates and Booleans included)
    // that is no number (a text or the bytes of a blob another program
    // stored there) before the value is handed out, with the field's name;
    // a guard that throws fails the read. A run's data recordset thus fails
    // at the first such value, naming it, its field and its record.
    using NumberGuard = std::function<void(const Variant& value, const std::string& field)>;
    void SetNumberGuard(NumberGuard guard) { m_numberGuard = std::move(guard); }

    void Requery();
    void Close() noexcept;
    bool IsOpen() const noexcept { return !m_closed && m_conn && m_conn->IsOpen(); }

private:
    enum class Mode { Stream, Cached, Keyset };

    void checkOpen() const;
    void initFields();
    int columnIndex(std::string_view name) const;
    void openStream();
    void openKeyset();
    void openCached();
    void materialize();
    void loadAllRows(sqlite3_stmt* st);
    void describeColumns(sqlite3_stmt* st, bool firstRowReady);
    long rowCount() const;                 // rows known (cached/keyset), deleted included
    bool isDeleted(long pos) const;
    void seek(long pos, int direction);    // to pos, skipping deleted rows in direction
    void loadCurrent() const;
    void requireCurrent() const;
    Variant coerceForColumn(int column, const Variant& v) const;
    void defaultsForNew(std::vector<Variant>& values);
    void findImpl(const std::string& criteria, long start, int direction);

    std::shared_ptr<Connection> m_conn;
    std::string m_name;
    std::string m_table;           // base table for updates, empty when read-only
    std::optional<TranslatedSql> m_sql;
    int m_type;
    int m_options;
    bool m_updatable = false;
    bool m_appendOnly = false;
    bool m_closed = false;
    Mode m_mode = Mode::Stream;

    std::vector<FieldInfo> m_columns;
    std::vector<std::string> m_baseColumn;   // base-table column per field, empty when computed
    int m_offset = 0;                        // 1 when the statement carries the row key first
    std::vector<FieldInfo> m_baseFields;     // definitions of the base table

    // Stream mode
    StmtHandle m_stmt;
    bool m_streamDone = false;

    // Cached / keyset mode
    std::vector<std::vector<Variant>> m_rows;
    RowKeys m_keys;                          // by position; rows added cost nothing
    RowMarks m_deleted;
    long m_deletedCount = 0;
    StmtHandle m_fetch;                      // keyset: the row by key
    mutable std::vector<Variant> m_current;  // keyset: values of the current row
    mutable long m_currentLoaded = -1;

    long m_pos = 0;                          // current position; -1 before the first
    bool m_empty = false;

    // Editing
    std::vector<Variant> m_defaults;          // a new row's values, worked out once
    std::vector<std::size_t> m_clockDefaults; // columns whose default follows the clock
    int m_editMode = 0;
    std::vector<Variant> m_buffer;
    std::vector<char> m_dirty;
    long m_lastModified = -1;
    struct PreparedInsert {
        std::vector<int> columns; // the columns it writes
        StmtHandle statement;
    };
    static constexpr std::size_t kInsertsKept = 8;
    std::vector<PreparedInsert> m_inserts; // the latest last
    std::vector<int> m_insertColumns;      // the columns a new row writes (room kept between rows)
    // By column: a new row may write Null into it instead of leaving it out,
    // the same row either way (the file gives the column no default of its
    // own, nor a key or value of its own making). Worked out at the first new row.
    std::vector<char> m_nullSameAsOmitted;
    void findColumnsNullSameAsOmitted();
    bool m_noMatch = false;
    std::uint64_t m_generation = 0;        // counts the Requery calls: a bookmark holds for one reading

    dao::Fields m_fields;
    NumberGuard m_numberGuard;
    friend class Field;
};
using RecordsetPtr = std::shared_ptr<Recordset>;

} // namespace dao
