#include "db/TableAppender.h"

#include "db/Database.h"
#include "db/DaoError.h"

#include <algorithm>

namespace dao {

namespace {
constexpr std::size_t BatchRows = 64;

std::string insertSql(const std::string& table, const std::vector<std::string>& columns, std::size_t rows) {
    std::string sql = "INSERT INTO " + QuoteIdent(table) + " (";
    for (std::size_t c = 0; c < columns.size(); ++c) sql += (c ? ", " : "") + QuoteIdent(columns[c]);
    sql += ") VALUES ";
    std::string one = "(";
    for (std::size_t c = 0; c < columns.size(); ++c) one += c ? ", ?" : "?";
    one += ")";
    for (std::size_t r = 0; r < rows; ++r) {
        if (r) sql += ", ";
        sql += one;
    }
    return sql;
}
} // namespace

TableAppender::TableAppender(const std::shared_ptr<Database>& db, const std::string& table,
                             const std::vector<std::string>& columns, std::size_t rowsPerStatement)
    : m_conn(db->conn()), m_table(table), m_columns(columns), m_width(columns.size()),
      m_batchRows(std::max<std::size_t>(1, std::min(rowsPerStatement, BatchRows))) {
    const std::string sql = "SELECT max(rowid) FROM " + QuoteIdent(table);
    StmtHandle st = m_conn->Prepare(SystemSql(sql));
    int rc = sqlite3_step(st.get());
    if (rc != SQLITE_ROW) m_conn->Fail(sqlite3_extended_errcode(m_conn->handle()), sql);
    m_nextRowId = sqlite3_column_int64(st.get(), 0) + 1;
    m_kept.reserve(m_batchRows * m_width);
}

TableAppender::~TableAppender() {
    // Rows not flushed are dropped with the transaction the appender began.
    if (m_conn->IsOpen()) end(false);
}

void TableAppender::Append(std::initializer_list<Number> row) {
    if (row.size() != m_width || !m_blobs.empty())
        throw DaoError(err::InvalidArgument, "Invalid argument: a row of " + std::to_string(row.size()) +
                                                 " values for " + std::to_string(m_width) + " columns.");
    for (const Number& n : row) keep(n);
    kept();
}

void TableAppender::Append(std::initializer_list<Number> numbers, const void* data, std::size_t size) {
    if (numbers.size() + 1 != m_width || m_blobs.size() != m_keptRows)
        throw DaoError(err::InvalidArgument, "Invalid argument: a row of " + std::to_string(numbers.size()) +
                                                 " values and a blob for " + std::to_string(m_width) + " columns.");
    for (const Number& n : numbers) keep(n);
    m_kept.push_back(Number(0.0)); // the blob's place
    const auto* bytes = static_cast<const unsigned char*>(data);
    m_blobs.emplace_back(m_bytes.size(), size);
    m_bytes.insert(m_bytes.end(), bytes, bytes + size);
    kept();
}

void TableAppender::keep(const Number& n) {
    m_kept.push_back(n);
    if (n.value) {
        // The value is kept here: the caller's goes at the end of the call.
        m_keptValues.push_back(*n.value);
        m_kept.back().i = static_cast<std::int64_t>(m_keptValues.size() - 1);
    }
}

void TableAppender::kept() {
    ++m_keptRows;
    ++m_nextRowId;
    if (m_keptRows == m_batchRows) {
        try {
            begin();
            writeKept();
        } catch (...) {
            end(false);
            throw;
        }
    }
}

void TableAppender::begin() {
    if (m_ownTransaction || !sqlite3_get_autocommit(m_conn->handle())) return;
    m_conn->Exec(SystemSql("BEGIN"));
    m_ownTransaction = true;
}

void TableAppender::end(bool commit) noexcept {
    if (!m_ownTransaction) return;
    m_ownTransaction = false;
    if (!commit || sqlite3_exec(m_conn->handle(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        sqlite3_exec(m_conn->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void TableAppender::writeKept() {
    const std::size_t rows = m_keptRows;
    StmtHandle single;
    sqlite3_stmt* st;
    if (rows == m_batchRows) {
        if (!m_batch) m_batch = m_conn->Prepare(SystemSql(insertSql(m_table, m_columns, m_batchRows)));
        st = m_batch.get();
    } else {
        single = m_conn->Prepare(SystemSql(insertSql(m_table, m_columns, rows)));
        st = single.get();
    }
    int p = 1;
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < m_width; ++c) {
            const Number& n = m_kept[r * m_width + c];
            if (c + 1 == m_width && !m_blobs.empty()) {
                const auto& [offset, size] = m_blobs[r];
                sqlite3_bind_blob64(st, p++, m_bytes.data() + offset, size, SQLITE_STATIC);
            } else if (n.value) {
                BindWrittenVariant(st, p++, m_keptValues[static_cast<std::size_t>(n.i)]);
            } else if (n.integer) {
                sqlite3_bind_int64(st, p++, n.i);
            } else {
                sqlite3_bind_double(st, p++, n.d);
            }
        }
    }
    int rc = sqlite3_step(st);
    sqlite3_reset(st);
    if (rc != SQLITE_DONE) m_conn->Fail(sqlite3_extended_errcode(m_conn->handle()), "INSERT INTO " + m_table);
    // SQLite gives each row the rowid after the largest: the rows are where
    // the appender said they would be unless another writer came between.
    if (sqlite3_last_insert_rowid(m_conn->handle()) != m_nextRowId - 1)
        throw DaoError(3146, "Query failed: rows were added to " + m_table + " while they were being appended.", 0,
                       "INSERT INTO " + m_table);
    m_kept.clear();
    m_bytes.clear();
    m_blobs.clear();
    m_keptValues.clear();
    m_keptRows = 0;
}

void TableAppender::Flush() {
    try {
        if (m_keptRows) {
            begin();
            writeKept();
        }
        if (m_ownTransaction) {
            m_ownTransaction = false;
            m_conn->Exec(SystemSql("COMMIT"));
        }
    } catch (...) {
        end(false);
        throw;
    }
}

} // namespace dao
