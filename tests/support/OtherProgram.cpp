#include "support/OtherProgram.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace vtest {

OtherProgram::OtherProgram(const std::string& path) {
    EXPECT_EQ(sqlite3_open(path.c_str(), &m_db), SQLITE_OK) << path;
    sqlite3_busy_timeout(m_db, 5000);
}

OtherProgram::~OtherProgram() { sqlite3_close(m_db); }

void OtherProgram::Exec(const std::string& sql) {
    char* msg = nullptr;
    EXPECT_EQ(sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &msg), SQLITE_OK) << sql << ": " << (msg ? msg : "");
    sqlite3_free(msg);
}

void OtherProgram::Exec(const std::string& sql, const Stored& value) {
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(m_db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql << ": " << sqlite3_errmsg(m_db);
    switch (value.kind) {
    case Stored::Kind::Null: sqlite3_bind_null(st, 1); break;
    case Stored::Kind::Integer: sqlite3_bind_int64(st, 1, value.integer); break;
    case Stored::Kind::Real: sqlite3_bind_double(st, 1, value.real); break;
    case Stored::Kind::Text:
        sqlite3_bind_text(st, 1, value.bytes.data(), static_cast<int>(value.bytes.size()), SQLITE_TRANSIENT);
        break;
    case Stored::Kind::Blob:
        sqlite3_bind_blob(st, 1, value.bytes.data(), static_cast<int>(value.bytes.size()), SQLITE_TRANSIENT);
        break;
    }
    EXPECT_EQ(sqlite3_step(st), SQLITE_DONE) << sql << ": " << sqlite3_errmsg(m_db);
    sqlite3_finalize(st);
}

std::string OtherProgram::Text(const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    std::string out;
    EXPECT_EQ(sqlite3_prepare_v2(m_db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql << ": " << sqlite3_errmsg(m_db);
    if (st && sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL)
        out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    return out;
}

void WriteLatin1Table(const std::string& path, const std::string& columns, const std::string& rows) {
    OtherProgram other(path);
    other.Exec("CREATE TABLE \"Donn\xE9" "es\" (" + columns + ")");
    if (!rows.empty()) other.Exec("INSERT INTO \"Donn\xE9" "es\" VALUES " + rows);
}

} // namespace vtest
