#include "util/modZURSTAT.h"

#include "db/JetFunctions.h"

bool TableDefExists(const dao::DatabasePtr& db, const std::string& tableName) {
    try {
        if (!db) return false;
        (void)db->TableDefs()(tableName)->Name();
        return true;
    } catch (...) {
        return false;
    }
}

std::int32_t TableOrQueryKind(const dao::DatabasePtr& db, const std::string& name) {
    auto notFound = [](const std::exception_ptr& e) {
        try {
            std::rethrow_exception(e);
        } catch (const dao::DaoError& d) {
            return d.Number() == dao::err::ItemNotFound;
        } catch (...) {
            return false;
        }
    };
    try {
        if (!db) return -99;
        (void)db->TableDefs()(name);
        return 0;
    } catch (...) {
        if (!notFound(std::current_exception())) return 0;
    }
    try {
        (void)db->QueryDefs()(name);
        return 1;
    } catch (...) {
        return notFound(std::current_exception()) ? -99 : 1;
    }
}

namespace {

// Whether `name` has a letter beyond ASCII: only such a name can be the word
// a Latin-1 name spells (its other bytes read as they are).
bool beyondAscii(const std::string& name) {
    for (unsigned char c : name)
        if (c >= 0x80) return true;
    return false;
}

// The item of `items` whose name reads as `name`, as stored; empty for none.
template <class Items>
std::string storedNameIn(Items& items, const std::string& word) {
    for (const auto& item : items)
        if (dao::NamesEqual(dao::ValidUtf8(item->Name()), word)) return item->Name();
    return {};
}

} // namespace

std::string StoredTableName(const dao::DatabasePtr& db, const std::string& name) {
    try {
        if (!db || !beyondAscii(name) || db->TableDefs().Find(name) || db->QueryDefs().Find(name)) return name;
        const std::string word = dao::ValidUtf8(name);
        if (std::string stored = storedNameIn(db->TableDefs(), word); !stored.empty()) return stored;
        if (std::string stored = storedNameIn(db->QueryDefs(), word); !stored.empty()) return stored;
    } catch (...) {
    }
    return name;
}

std::string StoredFieldName(const dao::DatabasePtr& db, const std::string& table, const std::string& name) {
    try {
        // A plain name is found as it is (a query's fields are not read for it).
        if (!db || !beyondAscii(name)) return name;
        dao::Fields* fields = nullptr;
        if (auto td = db->TableDefs().Find(table)) fields = &td->Fields();
        else if (auto qd = db->QueryDefs().Find(table)) fields = &qd->Fields();
        if (!fields || fields->Find(name)) return name;
        if (std::string stored = storedNameIn(*fields, dao::ValidUtf8(name)); !stored.empty()) return stored;
    } catch (...) {
    }
    return name;
}
