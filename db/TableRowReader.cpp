#include "db/TableRowReader.h"

#include "db/Database.h"

namespace dao {

TableRowReader::TableRowReader(const std::shared_ptr<Database>& db, const std::string& table,
                               const std::vector<std::string>& columns, std::int64_t first, std::int64_t last)
    : m_conn(db->conn()) {
    m_sql = "SELECT ";
    for (std::size_t c = 0; c < columns.size(); ++c) m_sql += (c ? ", " : "") + QuoteIdent(columns[c]);
    m_sql += " FROM " + QuoteIdent(table) + " WHERE rowid BETWEEN ?1 AND ?2 ORDER BY rowid";
    m_st = m_conn->Prepare(SystemSql(m_sql));
    sqlite3_bind_int64(m_st.get(), 1, first);
    sqlite3_bind_int64(m_st.get(), 2, last);
}

void TableRowReader::Rewind(std::int64_t first, std::int64_t last) {
    sqlite3_reset(m_st.get());
    sqlite3_bind_int64(m_st.get(), 1, first);
    sqlite3_bind_int64(m_st.get(), 2, last);
}

bool TableRowReader::Next() {
    int rc = sqlite3_step(m_st.get());
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) m_conn->Fail(sqlite3_extended_errcode(m_conn->handle()), m_sql);
    return false;
}

} // namespace dao
