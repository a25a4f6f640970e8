#pragma once
// An open database file: its table and query definitions, recordsets on
// tables, queries or SQL, and action queries.
#include "db/QueryDef.h"
#include "db/TableDef.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dao {

class Connection;
class Workspace;
class Recordset;
using RecordsetPtr = std::shared_ptr<Recordset>;

class Database : public std::enable_shared_from_this<Database> {
public:
    Database(std::shared_ptr<Connection> conn, std::string path, std::weak_ptr<Workspace> ws);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const std::string& Name() const noexcept { return m_name; }
    bool IsOpen() const noexcept;
    bool Updatable() const noexcept;
    long CollatingOrder() const noexcept { return 1033; }
    std::string Version() const { return "3.0"; }
    // The most columns a table of this database can have.
    int ColumnLimit() const;

    dao::TableDefs& TableDefs();
    dao::QueryDefs& QueryDefs();

    TableDefPtr CreateTableDef(const std::string& name = {}, long attributes = 0) const;
    // With a name the query is stored at once, as the object model does.
    QueryDefPtr CreateQueryDef(const std::string& name = {}, const std::string& sql = {});

    // source: a table name, a stored query name, or an SQL text.
    // type 0 picks the default: table-type for a stored table, dynaset otherwise.
    RecordsetPtr OpenRecordset(const std::string& source, int type = 0, int options = 0, int lockEdit = 0);
    // Runs an action query (DELETE, INSERT, UPDATE, SELECT … INTO, DDL).
    void Execute(const std::string& sql, int options = 0);
    long RecordsAffected() const noexcept { return m_recordsAffected; }

    // The stored tables that reading `source` (a table name, a saved query or
    // a SELECT text) touches, each with the full path of the file it lives in:
    // saved queries are followed to the tables they read, in this file or in
    // an external one. Empty when the source cannot be read.
    struct TableRef {
        std::string file;
        std::string table;
    };
    std::vector<TableRef> TablesRead(const std::string& source);

    // The first value of `field` in the table or view `source` that is no
    // number (a text or a blob another program stored in a number column),
    // with the record's place (from 1) in the order the source holds its
    // records. None when every value is a number or Null, or when `source`
    // is no table or view of this file. With `dates` (a date field) a text
    // that spells a date is the day number it is read as, not a non-number.
    struct NonNumber {
        Variant value;
        long record = 0;
    };
    std::optional<NonNumber> FirstNonNumber(const std::string& source, const std::string& field, bool dates = false);

    // True when `field` of the table or view `source` has no declared type
    // (a table another program made without types, a STRICT table's ANY
    // column, a type whose name names no kind of value, a view's computed
    // column). Such a column holds what was written, numbers written as
    // texts too, and SQLite sorts those as texts ("100" before "9"). False
    // when the column has a type or cannot be found.
    bool DeclaresNoType(const std::string& source, const std::string& field);
    // True when `field` of the view `source` is one the view computes (no
    // column of a table stands behind it) without a declared type: such a
    // column has the type of the value each record holds, and its first
    // value may be a number where later ones are texts.
    bool ComputedWithoutType(const std::string& source, const std::string& field);
    // What kinds of numbers `field` of the table or view `source` holds: a
    // real (2.5), a whole number beyond 32 bits, a whole number no double
    // holds (2^53 + 1). A column without a declared type is typed by its
    // first value, which need not tell; another program stores what it
    // likes whatever the declared type.
    struct StoredNumbers {
        bool real = false;
        bool wide = false;
        bool beyondDouble = false;
        bool beyondByte = false;    // a whole number below 0 or above 255
        bool beyondInteger = false; // a whole number beyond 16 bits
        bool beyondSingle = false;  // a real no single-precision number holds (1e300)
    };
    StoredNumbers NumbersStored(const std::string& source, const std::string& field);
    // Whether `field` holds a real of more than four decimals (1.23456,
    // which a currency value rounds).
    bool HoldsRealsFinerThanCurrency(const std::string& source, const std::string& field);
    // Whether SQLite stores every number put in `field` as a real (its
    // declared type is REAL, DOUBLE, FLOAT): it holds no whole number a
    // double does not.
    bool StoresNumbersAsReals(const std::string& source, const std::string& field);
    // The length in characters of the longest text (or blob, by its bytes
    // read as a text) that `field` of the table or view `source` holds, when
    // it is longer than `size`; else `size`. SQLite keeps a text whole
    // whatever length its column declares: VARCHAR(3) may hold "Straße", and
    // TEXT (a Text field of 255) a text of 300 characters.
    long LongestText(const std::string& source, const std::string& field, long size);
    // True when `field` of the table or view `source` holds a blob: another
    // program may store a text column's values as the bytes they spell.
    bool HoldsBytes(const std::string& source, const std::string& field);
    // True when a column of a table this layer made and describes stands
    // behind `field` of the table or view `source`: every value the layer
    // writes there has the field's type and fits its size, so there is
    // nothing another program's column may hold beyond them to look for.
    bool KeepsDeclaredType(const std::string& source, const std::string& field);

    // Sets or clears (empty text) the database password; needs the old one.
    void NewPassword(const std::string& oldPassword, const std::string& newPassword);

    void Close() noexcept;

    // The workspace that opened the database (its transactions span it), or
    // null when that workspace is gone.
    std::shared_ptr<Workspace> OwningWorkspace() const noexcept { return m_workspace.lock(); }

    std::shared_ptr<Connection> conn() const; // throws 3420 when closed

    // How many times a statement on this file found it damaged (a page that
    // is no page of a database, a file cut short), whoever caught the error,
    // with the error's description the last time; none once closed.
    struct Damage {
        std::uint64_t count = 0;
        std::string text;
    };
    Damage DamageMet() const;

private:
    std::shared_ptr<Connection> m_conn;
    std::string m_name;
    std::weak_ptr<Workspace> m_workspace;
    dao::TableDefs m_tableDefs;
    dao::QueryDefs m_queryDefs;
    long m_recordsAffected = 0;
    bool m_initialised = false;
    void init();
    // The SQL of the select query `name` when the file holds no view of it.
    std::string queryWithoutView(const std::shared_ptr<Connection>& c, const std::string& name);
    friend class Workspace;
};
using DatabasePtr = std::shared_ptr<Database>;

} // namespace dao
