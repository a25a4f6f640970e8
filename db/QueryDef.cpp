#include "db/QueryDef.h"

#include "db/Connection.h"
#include "db/DaoConstants.h"
#include "db/DaoError.h"
#include "db/Database.h"
#include "db/JetSqlTranslator.h"
#include "db/Recordset.h"

namespace dao {

namespace {

std::shared_ptr<Database> lockDb(const std::weak_ptr<Database>& w) {
    auto db = w.lock();
    if (!db || !db->IsOpen()) throw DaoError(err::ObjectClosed, "Object invalid or no longer set.");
    return db;
}

int typeOf(const std::string& sql) {
    try {
        TranslatedSql t = JetSqlTranslator::Translate(sql);
        switch (t.kind()) {
        case TranslatedSql::Kind::Select: return dbQSelect;
        case TranslatedSql::Kind::Delete: return dbQDelete;
        case TranslatedSql::Kind::Update: return dbQUpdate;
        case TranslatedSql::Kind::Insert: return dbQAppend;
        case TranslatedSql::Kind::MakeTable: return dbQMakeTable;
        default: return dbQDDL;
        }
    } catch (const DaoError&) {
        return dbQSelect;
    }
}

// A stored select query is also a view, so that other SQL can read it like a table.
void createView(Connection& c, const std::string& name, const std::string& sql) {
    try {
        TranslatedSql t = JetSqlTranslator::Translate(sql);
        if (t.kind() != TranslatedSql::Kind::Select || !t.attachments().empty()) return;
        c.Exec(SystemSql("CREATE VIEW " + QuoteIdent(name) + " AS " + t.text()));
    } catch (const DaoError&) {
        // A query that needs parameters has no view; opening it reports error 3061.
    }
}

} // namespace

void QueryDef::SetName(const std::string& name) {
    if (m_stored) {
        auto db = lockDb(m_db);
        auto c = db->conn();
        c->Exec(SystemSql("SAVEPOINT dao_q"));
        try {
            c->ExecBound(SystemSql("UPDATE MSysQueries SET Name = ?1 WHERE Name = ?2"), {Variant(name), Variant(m_name)});
            c->Exec(SystemSql("DROP VIEW IF EXISTS " + QuoteIdent(m_name)));
            createView(*c, name, m_sql);
            c->Exec(SystemSql("RELEASE dao_q"));
        } catch (...) {
            c->Exec(SystemSql("ROLLBACK TO dao_q"));
            c->Exec(SystemSql("RELEASE dao_q"));
            throw;
        }
        c->InvalidateCatalog();
    }
    m_name = name;
}

void QueryDef::SetSQL(const std::string& sql) {
    if (m_stored) {
        auto db = lockDb(m_db);
        auto c = db->conn();
        c->ExecBound(SystemSql("UPDATE MSysQueries SET SQL = ?1, Type = ?2 WHERE Name = ?3"),
                     {Variant(sql), Variant(typeOf(sql)), Variant(m_name)});
        c->Exec(SystemSql("DROP VIEW IF EXISTS " + QuoteIdent(m_name)));
        createView(*c, m_name, sql);
        c->InvalidateCatalog();
    }
    m_sql = sql;
    m_fields.clear();
}

int QueryDef::Type() const { return typeOf(m_sql); }

dao::Fields& QueryDef::Fields() {
    if (m_fields.Count() == 0 && Type() == dbQSelect) {
        auto db = lockDb(m_db);
        RecordsetPtr rs = db->OpenRecordset(m_sql, dbOpenSnapshot);
        for (const auto& f : rs->Fields()) {
            auto copy = std::make_shared<Field>(f->Info());
            copy->m_attached = true;
            m_fields.appendLoaded(copy);
        }
    }
    return m_fields;
}

RecordsetPtr QueryDef::OpenRecordset(int type, int options) {
    auto db = lockDb(m_db);
    if (type == dbOpenTable) throw DaoError(err::InvalidOperation, "Invalid operation.");
    return db->OpenRecordset(m_sql, type ? type : dbOpenDynaset, options);
}

void QueryDef::Execute(int options) {
    auto db = lockDb(m_db);
    db->Execute(m_sql, options);
}

// --- QueryDefs -----------------------------------------------------------------------

void QueryDefs::ensure() {
    auto db = lockDb(m_db);
    if (m_generation == db->conn()->SchemaGeneration()) return;
    Refresh();
}

void QueryDefs::Refresh() {
    auto db = lockDb(m_db);
    auto c = db->conn();
    std::vector<QueryDefPtr> items;
    if (c->HasCatalog()) {
        StmtHandle st = c->Prepare(SystemSql("SELECT Name, SQL FROM MSysQueries ORDER BY Name COLLATE NOCASE"));
        while (sqlite3_step(st.get()) == SQLITE_ROW) {
            auto q = std::make_shared<QueryDef>(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)),
                                                reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1)));
            q->m_stored = true;
            q->m_db = m_db;
            items.push_back(q);
        }
    }
    m_items = std::move(items);
    m_generation = c->SchemaGeneration();
}

void QueryDefs::Append(const QueryDefPtr& qd) {
    auto db = lockDb(m_db);
    auto c = db->conn();
    if (!qd || qd->Name().empty()) throw DaoError(3001, "Invalid argument.");
    ensure();
    if (Collection<QueryDef>::Find(qd->Name()) || db->TableDefs().Find(qd->Name()))
        throw DaoError(err::ObjectExists, "Object '" + qd->Name() + "' already exists.");
    c->EnsureCatalog();
    c->Exec(SystemSql("SAVEPOINT dao_q"));
    try {
        c->ExecBound(SystemSql("INSERT INTO MSysQueries (Name, SQL, Type) VALUES (?1, ?2, ?3)"),
                     {Variant(qd->Name()), Variant(qd->SQL()), Variant(typeOf(qd->SQL()))});
        createView(*c, qd->Name(), qd->SQL());
        c->Exec(SystemSql("RELEASE dao_q"));
    } catch (...) {
        c->Exec(SystemSql("ROLLBACK TO dao_q"));
        c->Exec(SystemSql("RELEASE dao_q"));
        throw;
    }
    c->InvalidateCatalog();
    qd->m_stored = true;
    qd->m_db = m_db;
    Refresh();
}

void QueryDefs::Delete(std::string_view name) {
    auto db = lockDb(m_db);
    auto c = db->conn();
    ensure();
    QueryDefPtr q = Collection<QueryDef>::Find(name);
    if (!q) throw notFound();
    c->ExecBound(SystemSql("DELETE FROM MSysQueries WHERE Name = ?1"), {Variant(q->Name())});
    c->Exec(SystemSql("DROP VIEW IF EXISTS " + QuoteIdent(q->Name())));
    c->InvalidateCatalog();
    q->m_stored = false;
    Refresh();
}

} // namespace dao
