// A criteria expression translated and evaluated on every row of a tiny
// in-memory table, through the functions RegisterJetFunctions installs:
// numbers and dates held as text, Nulls, Like patterns, Mid/Left/InStr with
// odd arguments. Errors of the functions and of the translator are the
// ordinary outcome; a crash, a sanitizer report or a hang is a fault.
#include "FuzzDatabase.h"
#include "db/DaoError.h"
#include "db/JetSqlTranslator.h"

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace {

sqlite3* Db() {
    static sqlite3* db = [] {
        sqlite3* d = fuzz::OpenDatabase("CREATE TABLE t(a TEXT, n REAL, i INTEGER, d TEXT, b BLOB);"
                                        "INSERT INTO t VALUES('abc', 1.5, 3, '12/31/1999', x'00ff');"
                                        "INSERT INTO t VALUES(' 12.5e3 ', -0.0, -2147483648, '2000-02-29 23:59:59', NULL);"
                                        "INSERT INTO t VALUES(NULL, NULL, NULL, NULL, x'');"
                                        "INSERT INTO t VALUES('&H7FFFFFFF', 1e308, 9223372036854775807, 'Jan 1, 100', 'text');"
                                        "INSERT INTO t VALUES('[a-z]*#?', 4.9e-324, 0, '99999', 1);");
        // Expressions are bounded: a statement runs at most this many steps.
        sqlite3_progress_handler(
            d, 100000, [](void*) { return 1; }, nullptr);
        return d;
    }();
    return db;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string sql;
    try {
        sql = "SELECT " + dao::JetSqlTranslator::TranslateExpression(text).text() + " FROM t";
    } catch (const dao::DaoError&) {
        return 0;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(Db(), sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                const unsigned char* s = sqlite3_column_text(stmt, c);
                (void)s;
            }
        }
        // An error message must be one the system can read.
        (void)dao::JetFunctionErrorNumber(sqlite3_errmsg(Db()));
    }
    sqlite3_finalize(stmt);
    return 0;
}
