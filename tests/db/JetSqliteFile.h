// A SQLite file opened with the engine functions registered, for the tests of
// those functions and of the SQL translator: setup text run as it is, and the
// rows of a query read back as texts.
#pragma once

#include "db/Connection.h"
#include "db/JetFunctions.h"

#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace jettest {

using Rows = std::vector<std::vector<std::string>>;

class SqliteFile {
public:
    explicit SqliteFile(const std::string& path, bool registerFunctions = true) {
        sqlite3* db = nullptr;
        if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot open " + path);
        m_db.reset(db);
        if (registerFunctions) dao::RegisterJetFunctions(db);
    }
    sqlite3* get() const { return m_db.get(); }

    // Setup text written directly in SQLite's dialect.
    void raw(const std::string& sql) {
        char* msg = nullptr;
        if (sqlite3_exec(get(), sql.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
            std::string m = msg ? msg : "";
            sqlite3_free(msg);
            throw std::runtime_error(m + " in " + sql);
        }
    }

    // The rows of a statement in SQLite's dialect as texts ("NULL" for Null,
    // numbers with up to 15 significant digits); `names` gets the columns'.
    Rows query(const std::string& sql, std::vector<std::string>* names = nullptr) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(get(), sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string(sqlite3_errmsg(get())) + " in " + sql);
        dao::StmtHandle guard(st);
        if (names) {
            names->clear();
            for (int c = 0; c < sqlite3_column_count(st); ++c) names->push_back(sqlite3_column_name(st, c));
        }
        Rows out;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                switch (sqlite3_column_type(st, c)) {
                case SQLITE_NULL: row.push_back("NULL"); break;
                case SQLITE_INTEGER: row.push_back(std::to_string(sqlite3_column_int64(st, c))); break;
                case SQLITE_FLOAT: row.push_back(dao::JetNumberText(sqlite3_column_double(st, c))); break;
                default: row.push_back(reinterpret_cast<const char*>(sqlite3_column_text(st, c)));
                }
            }
            out.push_back(std::move(row));
        }
        if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(get()));
        return out;
    }

private:
    dao::SqliteHandle m_db;
};

} // namespace jettest
