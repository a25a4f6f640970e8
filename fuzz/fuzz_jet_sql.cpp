// The SQL translator on any text: whole statements (first byte even) and
// criteria expressions (first byte odd). Malformed text must end in
// dao::DaoError; anything else escaping, a sanitizer report or a hang is a
// fault. A translation that SQLite accepts must be one statement: text left
// over after it would be a second statement smuggled through the translator.
#include "FuzzDatabase.h"
#include "db/DaoError.h"
#include "db/JetSqlTranslator.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

sqlite3* Db() {
    static sqlite3* db = fuzz::OpenDatabase("CREATE TABLE t(a TEXT, n REAL, y INTEGER, d TEXT);"
                                            "CREATE TABLE u(a TEXT, k INTEGER);"
                                            "INSERT INTO t VALUES('x', 1.5, -1, '1/2/2000'), ('Y', NULL, 0, NULL);");
    return db;
}

bool OnlyBlanks(const char* tail) {
    for (; *tail; ++tail)
        if (!std::isspace(static_cast<unsigned char>(*tail))) return false;
    return true;
}

void CheckOneStatement(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(Db(), sql.c_str(), -1, &stmt, &tail) == SQLITE_OK && tail && !OnlyBlanks(tail)) {
        std::fprintf(stderr, "translation holds more than one statement: %s\n", sql.c_str());
        std::abort();
    }
    sqlite3_finalize(stmt);
}

dao::JetSqlTranslator::Options MakeOptions(std::uint8_t flags) {
    dao::JetSqlTranslator::Options o;
    o.keyset = flags & 2;
    o.ties = (flags & 4) ? dao::JetSqlTranslator::Options::Ties::Rowid
                         : ((flags & 8) ? dao::JetSqlTranslator::Options::Ties::RowNumber
                                        : dao::JetSqlTranslator::Options::Ties::Unordered);
    if (flags & 16) {
        o.numberColumn = [](const std::string&, const std::string& c) { return !c.empty() && (c[0] == 'n' || c[0] == 'k'); };
        o.yesNoColumn = [](const std::string&, const std::string& c) { return !c.empty() && c[0] == 'y'; };
        o.columns = [](const std::string&, const std::string& table) {
            std::vector<dao::JetSqlTranslator::Options::Column> cols;
            if (table == "t") cols = {{"a", false}, {"n", false}, {"y", true}, {"d", false}};
            if (table == "u") cols = {{"a", false}, {"k", false}};
            return cols;
        };
    }
    if (flags & 32)
        o.storedQuery = [](const std::string& name) { return name == "q" ? std::string("SELECT a, y FROM t") : std::string(); };
    return o;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t flags = data[0];
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        if (flags & 1) {
            dao::TranslatedSql t = dao::JetSqlTranslator::TranslateExpression(text);
            CheckOneStatement("SELECT 1 FROM t WHERE " + t.text());
        } else {
            dao::TranslatedSql t = dao::JetSqlTranslator::Translate(text, MakeOptions(flags));
            if (t.attachments().empty()) CheckOneStatement(t.text());
        }
    } catch (const dao::DaoError&) {
    }
    return 0;
}
