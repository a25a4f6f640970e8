#include "util/modZURSTAT.h"

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
