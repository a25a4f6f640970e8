#include "db/QueryDef.h"

#include "db/Connection.h"
#include "db/DaoConstants.h"
#include "db/DaoError.h"
#include "db/Database.h"
#include "db/JetSqlTranslator.h"
#include "db/Recordset.h"
#include "db/Savepoint.h"

#include <algorithm>
#include <optional>
#include <cctype>
#include <unordered_set>
#include <vector>

namespace dao {

namespace {

std::shared_ptr<Database> lockDb(const std::weak_ptr<Database>& w) {
    auto db = w.lock();
    if (!db || !db->IsOpen()) throw DaoError(err::ObjectClosed, "Object invalid or no longer set.");
    return db;
}

// The first word of a statement (after blanks and opening parentheses), in capitals.
std::string leadingWord(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && (std::isspace(static_cast<unsigned char>(s[i])) || s[i] == '(')) ++i;
    std::string word;
    while (i < s.size() && std::isalpha(static_cast<unsigned char>(s[i])))
        word += static_cast<char>(std::toupper(static_cast<unsigned char>(s[i++])));
    return word;
}

int typeOf(const std::string& sql) {
    // A crosstab query is not one the translator reads; its first word says what it is.
    if (leadingWord(sql) == "TRANSFORM") return dbQCrosstab;
    try {
        TranslatedSql t = JetSqlTranslator::Translate(sql);
        switch (t.kind()) {
        case TranslatedSql::Kind::Select: return t.compound() ? dbQSetOperation : dbQSelect;
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

// A stored select query is also a view, so that other SQL can read it like
// a table: the statement that makes it, none for a query that has no view.
std::optional<std::string> viewStatement(Connection& c, const std::string& name, const std::string& sql) {
    try {
        JetSqlTranslator::Options opts;
        AskColumnsOf([&c] { return &c; }, opts);
        TranslatedSql t = JetSqlTranslator::Translate(sql, opts);
        if (t.kind() != TranslatedSql::Kind::Select || !t.attachments().empty()) return std::nullopt;
        return "CREATE VIEW " + QuoteIdent(name) + " AS " + t.text();
    } catch (const DaoError&) {
        // A query that needs parameters has no view; opening it reports error 3061.
        return std::nullopt;
    }
}

void createView(Connection& c, const std::string& name, const std::string& sql) {
    if (const auto statement = viewStatement(c, name, sql)) {
        try {
            c.Exec(SystemSql(*statement));
        } catch (const DaoError&) {
        }
    }
}

// A column the view computes declares no type: the recordset types it by
// its first value. A run reads what the column holds: texts that are no
// numbers make it a Text field, a real a Double field, a whole number
// beyond 32 bits a BigInt field; the query's field says the same.
void typeComputed(Database& db, const std::string& view, FieldInfo& info) {
    if (info.type != dbLong && info.type != dbDouble) return;
    try {
        if (!db.ComputedWithoutType(view, info.name)) return;
        if (const auto text = db.FirstNonNumber(view, info.name); text && !text->value.IsBytes()) {
            info.type = dbText;
            info.size = 255;
            info.attributes = dbVariableField;
            return;
        }
        const Database::StoredNumbers held = db.NumbersStored(view, info.name);
        if (held.real) {
            info.type = dbDouble;
            info.size = 8;
        } else if (held.wide) {
            info.type = dbBigInt;
            info.size = 8;
        }
    } catch (const DaoError&) {
        // Not to be looked into: the field keeps the type of its first value.
    }
}

DaoError readOnlyView() { return DaoError(err::ReadOnly, "Cannot update. Database or object is read-only."); }

} // namespace

void QueryDef::SetName(const std::string& name) {
    if (m_view) throw readOnlyView();
    if (m_stored) {
        auto db = lockDb(m_db);
        auto c = db->conn();
        // Another table's or query's name would hide one of the two from
        // every lookup by that name; a change of case only is no other name.
        if (!NamesEqual(name, m_name)) {
            if (name.empty()) throw DaoError(3001, "Invalid argument.");
            if (db->TableDefs().Find(name) || db->QueryDefs().Find(name))
                throw DaoError(err::ObjectExists, "Object '" + name + "' already exists.");
        }
        Savepoint sp(*c, "dao_q");
        c->ExecBound(SystemSql("UPDATE MSysQueries SET Name = ?1 WHERE Name = ?2"), {Variant(name), Variant(m_name)});
        c->Exec(SystemSql("DROP VIEW IF EXISTS " + QuoteIdent(m_name)));
        createView(*c, name, m_sql);
        sp.Release();
        c->InvalidateCatalog();
    }
    m_name = name;
}

void QueryDef::SetSQL(const std::string& sql) {
    if (m_view) throw readOnlyView();
    if (m_stored) {
        auto db = lockDb(m_db);
        auto c = db->conn();
        // The statement and its view change together: a view left as it was
        // would be read by every run while the query showed its new SQL.
        Savepoint sp(*c, "dao_q");
        c->ExecBound(SystemSql("UPDATE MSysQueries SET SQL = ?1, Type = ?2 WHERE Name = ?3"),
                     {Variant(sql), Variant(typeOf(sql)), Variant(m_name)});
        c->Exec(SystemSql("DROP VIEW IF EXISTS " + QuoteIdent(m_name)));
        createView(*c, m_name, sql);
        sp.Release();
        c->InvalidateCatalog();
    }
    m_sql = sql;
    m_fields.clear();
}

int QueryDef::Type() const { return m_view ? dbQSelect : typeOf(m_sql); }

bool QueryDef::Readable() const {
    try {
        if (m_view) {
            auto db = lockDb(m_db);
            StmtHandle st = db->conn()->Prepare(SystemSql("SELECT * FROM " + QuoteIdent(m_name)));
            return true;
        }
        return JetSqlTranslator::Translate(m_sql).kind() == TranslatedSql::Kind::Select;
    } catch (const DaoError&) {
        return false;
    }
}

dao::Fields& QueryDef::Fields() {
    if (m_fields.Count() == 0 && Type() == dbQSelect) {
        auto db = lockDb(m_db);
        // A stored query is read through its view, which names each of its
        // columns once: a join whose tables share a column name ("SELECT A.X,
        // B.X ...") has the columns X and X:1 there, where its statement
        // names both X and the second could be neither listed nor read.
        std::string sql = m_sql;
        bool throughView = false;
        if (m_stored && !m_name.empty()) {
            throughView = db->conn()->HasView(m_name);
            if (throughView) sql = "SELECT * FROM " + JetSqlTranslator::BracketName(m_name);
        }
        RecordsetPtr rs = db->OpenRecordset(sql, dbOpenSnapshot);
        // The view declares no type for a column the statement computes as
        // a date (CVDate, a date literal); the statement tells.
        std::vector<std::string> dates;
        if (throughView) {
            try {
                JetSqlTranslator::Options opts;
                AskColumnsOf([c = db->conn()] { return c; }, opts);
                dates = JetSqlTranslator::Translate(m_sql, opts).dateColumns();
            } catch (const DaoError&) {
            }
        }
        for (const auto& f : rs->Fields()) {
            FieldInfo info = f->Info();
            if (throughView) typeComputed(*db, m_name, info);
            if ((info.type == dbLong || info.type == dbDouble) &&
                std::any_of(dates.begin(), dates.end(), [&](const std::string& name) { return NamesEqual(name, info.name); })) {
                info.type = dbDate;
                info.size = 8;
            }
            auto copy = std::make_shared<Field>(info);
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
    auto c = db->conn();
    c->NoticeSchemaChange(); // a view another program made while the file is open
    if (m_generation == c->SchemaGeneration()) return;
    Refresh();
}

void QueryDefs::Refresh() {
    auto db = lockDb(m_db);
    auto c = db->conn();
    std::vector<QueryDefPtr> items;
    if (c->HasCatalog()) {
        StmtHandle st = c->Prepare(SystemSql("SELECT Name, SQL FROM MSysQueries"));
        while (sqlite3_step(st.get()) == SQLITE_ROW) {
            auto q = std::make_shared<QueryDef>(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)),
                                                reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1)));
            q->m_stored = true;
            q->m_db = m_db;
            items.push_back(q);
        }
    }
    // The file's own views, but for those that stand for the queries above.
    {
        std::unordered_set<std::string_view, detail::NameHash, detail::NameEqual> ours;
        for (const auto& q : items) ours.insert(q->Name());
        std::vector<QueryDefPtr> views;
        StmtHandle st = c->Prepare(SystemSql("SELECT name FROM sqlite_master WHERE type = 'view'"));
        while (sqlite3_step(st.get()) == SQLITE_ROW) {
            std::string name = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
            if (ours.count(name)) continue;
            std::string sql;
            try {
                sql = "SELECT * FROM " + JetSqlTranslator::BracketName(name);
            } catch (const DaoError&) {
                continue; // a name no query text can hold
            }
            auto q = std::make_shared<QueryDef>(name, sql);
            q->m_stored = true;
            q->m_view = true;
            q->m_db = m_db;
            views.push_back(q);
        }
        for (auto& v : views) items.push_back(std::move(v));
    }
    std::stable_sort(items.begin(), items.end(), [](const QueryDefPtr& a, const QueryDefPtr& b) {
        return sqlite3_stricmp(a->Name().c_str(), b->Name().c_str()) < 0;
    });
    assignItems(std::move(items));
    m_generation = c->SchemaGeneration();
}

void QueryDefs::RemakeStaleViews(Connection& c) noexcept {
    // A saved query's view holds its statement as the build that saved it
    // translated it. One that translates it otherwise now (two text columns
    // compared without regard to case) makes the view again, so that a run
    // reads what the query says. A file that is locked or read-only keeps
    // its views until it can be written.
    if (c.ReadOnly()) return;
    const bool wait = c.WaitsForLocks();
    try {
        if (!c.HasCatalog()) return;
        std::vector<std::pair<std::string, std::string>> stale; // the view, the statement that makes it now
        {
            StmtHandle st = c.Prepare(SystemSql("SELECT q.Name, q.SQL, m.sql FROM MSysQueries q JOIN sqlite_master m "
                                                "ON m.type = 'view' AND m.name = q.Name"));
            while (sqlite3_step(st.get()) == SQLITE_ROW) {
                auto text = [&](int i) {
                    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), i));
                    return std::string(p ? p : "");
                };
                const std::string name = text(0);
                const auto statement = viewStatement(c, name, text(1));
                if (statement && *statement != text(2)) stale.emplace_back(name, *statement);
            }
        }
        if (stale.empty()) return;
        c.SetWaitForLocks(false);
        Savepoint sp(c, "dao_views");
        for (const auto& [name, statement] : stale) {
            c.Exec(SystemSql("DROP VIEW " + QuoteIdent(name)));
            c.Exec(SystemSql(statement));
        }
        sp.Release();
        c.InvalidateCatalog();
    } catch (...) {
        // Locked, or a view that cannot be made now: the file keeps its views.
    }
    c.SetWaitForLocks(wait);
}

void QueryDefs::Append(const QueryDefPtr& qd) {
    auto db = lockDb(m_db);
    auto c = db->conn();
    if (!qd || qd->Name().empty()) throw DaoError(3001, "Invalid argument.");
    ensure();
    if (Collection<QueryDef>::Find(qd->Name()) || db->TableDefs().Find(qd->Name()))
        throw DaoError(err::ObjectExists, "Object '" + qd->Name() + "' already exists.");
    c->EnsureCatalog();
    Savepoint sp(*c, "dao_q");
    c->ExecBound(SystemSql("INSERT INTO MSysQueries (Name, SQL, Type) VALUES (?1, ?2, ?3)"),
                 {Variant(qd->Name()), Variant(qd->SQL()), Variant(typeOf(qd->SQL()))});
    createView(*c, qd->Name(), qd->SQL());
    sp.Release();
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
    if (q->m_view) throw readOnlyView();
    Savepoint sp(*c, "dao_q");
    c->ExecBound(SystemSql("DELETE FROM MSysQueries WHERE Name = ?1"), {Variant(q->Name())});
    c->Exec(SystemSql("DROP VIEW IF EXISTS " + QuoteIdent(q->Name())));
    sp.Release();
    c->InvalidateCatalog();
    q->m_stored = false;
    Refresh();
}

} // namespace dao
