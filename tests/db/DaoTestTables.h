// Arrangement shared by the data-access tests: a fixture with a fresh engine
// and a temporary folder, tables made from a list of fields, the number of
// the error an action raises, and a column of a query read back.
#pragma once

#include "db/Dao.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace daotest {

struct FieldSpec {
    const char* name;
    int type;
    long size = 0;
};

// A table definition of the given fields, not yet appended.
inline dao::TableDefPtr NewTableDef(dao::Database& db, const std::string& name, std::initializer_list<FieldSpec> fields) {
    auto td = db.CreateTableDef(name);
    for (const auto& f : fields) td->Fields().Append(td->CreateField(f.name, f.type, f.size));
    return td;
}

// The index `name` over the fields, appended to the definition.
inline void AddIndex(dao::TableDef& td, const std::string& name, std::initializer_list<const char*> fields,
                     bool primary = false) {
    auto ix = td.CreateIndex(name);
    for (const char* f : fields) ix->Fields().Append(ix->CreateField(f));
    if (primary) ix->SetPrimary(true);
    td.Indexes().Append(ix);
}

// The table made in the database.
inline void MakeTable(dao::Database& db, const std::string& name, std::initializer_list<FieldSpec> fields) {
    db.TableDefs().Append(NewTableDef(db, name, fields));
}

// The DaoError the action raises, if any.
inline std::optional<dao::DaoError> ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const dao::DaoError& e) {
        return e;
    }
    return std::nullopt;
}

// The number of the DaoError the action raises; 0 if it raises none.
inline long ErrorNumberOf(const std::function<void()>& action) {
    const auto e = ErrorOf(action);
    return e ? e->Number() : 0;
}

// The first column of a query, read through a snapshot.
template <typename T = long>
std::vector<T> ColumnOf(dao::Database& db, const std::string& sql) {
    std::vector<T> out;
    for (auto rs = db.OpenRecordset(sql, dao::dbOpenSnapshot); !rs->EOF_(); rs->MoveNext()) {
        if constexpr (std::is_same_v<T, double>)
            out.push_back(rs->Fields(0)->Value().ToDouble());
        else
            out.push_back(rs->Fields(0)->Value().ToLong());
    }
    return out;
}

// The engine reset before and after each test, files in a temporary folder.
class FreshEngine : public ::testing::Test {
protected:
    void SetUp() override { dao::DBEngine().Reset(); }
    void TearDown() override { dao::DBEngine().Reset(); }
    vtest::TempDir tmp;
};

} // namespace daotest
