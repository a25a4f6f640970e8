#pragma once
// TableRowReader: reads numbers back from a stretch of a table's rows in the
// order of their rowids (the order a TableAppender wrote them), straight from
// the statement: no recordset (a Variant only where a value is asked for).
#include "db/Connection.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dao {

class Database;

class TableRowReader {
public:
    // The rows whose rowid lies in first .. last, columns in the given order.
    TableRowReader(const std::shared_ptr<Database>& db, const std::string& table,
                   const std::vector<std::string>& columns, std::int64_t first, std::int64_t last);
    TableRowReader(TableRowReader&&) noexcept = default;
    TableRowReader& operator=(TableRowReader&&) noexcept = default;

    // Moves to the next row (the first at the first call); False past the last.
    bool Next();
    // Reads the rows whose rowid lies in first .. last from the next call of
    // Next on, with the statement already made.
    void Rewind(std::int64_t first, std::int64_t last);
    // A column of the current row as a double (0 for Null).
    double Double(int column) const { return sqlite3_column_double(m_st.get(), column); }
    bool IsNull(int column) const { return sqlite3_column_type(m_st.get(), column) == SQLITE_NULL; }
    // A blob column of the current row: its bytes (valid until the next
    // call of Next) and their number.
    const unsigned char* Blob(int column) const {
        return static_cast<const unsigned char*>(sqlite3_column_blob(m_st.get(), column));
    }
    int Bytes(int column) const { return sqlite3_column_bytes(m_st.get(), column); }
    // A column of the current row as a recordset reads a field of that type.
    Variant Value(int column, int daoType) const { return ReadColumn(m_st.get(), column, daoType); }

private:
    std::shared_ptr<Connection> m_conn;
    StmtHandle m_st;
    std::string m_sql;
};

} // namespace dao
