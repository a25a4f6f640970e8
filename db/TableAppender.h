#pragma once
// TableAppender: the fast way to fill a work table with numbers.
//
// Rows go into one table of an open database through prepared statements of
// up to 64 rows each, bound straight from the numbers (no recordset); a
// column may also take any value as a recordset stores it (a text, Null),
// and the last column a blob. Each row gets the next rowid after the largest
// the table held when the appender was made, so a caller can read a stretch
// of rows back in the order it wrote them (TableRowReader). Rows are kept back until 64
// are there or Flush is called. When no transaction is open on the database,
// the appender begins one at its first batch and commits it at Flush; rows
// not flushed when the appender goes are rolled back with it.
#include "db/Connection.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace dao {

class Database;

class TableAppender {
public:
    // A value of a row: a whole number (stored as an integer), a double, or
    // a value stored as a recordset stores it (only for the call of Append).
    struct Number {
        Number(double v) : d(v) {}
        Number(int v) : i(v), integer(true) {}
        Number(long long v) : i(v), integer(true) {}
        Number(const Variant& v) : value(&v) {}
        double d = 0;
        std::int64_t i = 0;
        bool integer = false;
        const Variant* value = nullptr;
    };

    // `rowsPerStatement`: rows kept back and written by one statement (64
    // for rows of numbers; 1 suits rows that carry a large blob).
    TableAppender(const std::shared_ptr<Database>& db, const std::string& table,
                  const std::vector<std::string>& columns, std::size_t rowsPerStatement = 64);
    // Rows not yet flushed are dropped.
    ~TableAppender();
    TableAppender(const TableAppender&) = delete;
    TableAppender& operator=(const TableAppender&) = delete;

    // One row: a value for each column, in the order of the constructor's list.
    void Append(std::initializer_list<Number> row);
    // One row whose last column is a blob of `size` bytes (copied at once),
    // the numbers before it.
    void Append(std::initializer_list<Number> numbers, const void* data, std::size_t size);
    // Writes the rows kept back.
    void Flush();
    // The rowid the next appended row gets.
    std::int64_t NextRowId() const noexcept { return m_nextRowId; }

private:
    // Keeps one value of a row back (a stored value copied).
    void keep(const Number& n);
    // Counts a row kept back and writes the batch when it is full.
    void kept();
    // Writes the rows kept back (a full batch, or fewer at Flush).
    void writeKept();
    void begin();
    void end(bool commit) noexcept;

    std::shared_ptr<Connection> m_conn;
    std::string m_table;
    std::vector<std::string> m_columns;
    std::size_t m_width;
    std::size_t m_batchRows;
    std::vector<Number> m_kept; // rows kept back, m_width values each (a blob: its place in m_bytes)
    std::vector<Variant> m_keptValues; // their stored values (a Number's i is the index)
    std::vector<unsigned char> m_bytes; // the kept rows' blobs
    std::vector<std::pair<std::size_t, std::size_t>> m_blobs; // per kept row with a blob: offset, size
    std::size_t m_keptRows = 0;
    std::int64_t m_nextRowId = 1;
    StmtHandle m_batch; // the statement for a full batch
    bool m_ownTransaction = false;
};

} // namespace dao
