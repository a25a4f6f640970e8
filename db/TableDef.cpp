#include "db/TableDef.h"

#include "db/Connection.h"
#include "db/DaoConstants.h"
#include "db/DaoError.h"
#include "db/JetSqlTranslator.h"
#include "db/Savepoint.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <unordered_set>

namespace dao {

namespace {

bool isText(int t) { return t == dbText || t == dbMemo; }

// SQLite reads every view of the file again when a table is renamed or loses
// a column, and refuses the change for one it cannot read: a saved query
// that asks for a parameter (its view names it as a column), or one that
// reads a table not there. Such views are set aside for the change and made
// again as they were after it; inside the change's savepoint, a failure
// brings them back with everything else.
class UnreadableViewsAside {
public:
    explicit UnreadableViewsAside(Connection& c) : m_conn(c) {
        std::vector<std::pair<std::string, std::string>> views; // name, its CREATE VIEW text
        {
            StmtHandle st = c.Prepare(SystemSql("SELECT name, sql FROM sqlite_master WHERE type = 'view' AND sql IS NOT NULL"));
            while (sqlite3_step(st.get()) == SQLITE_ROW)
                views.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)),
                                   reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1)));
        }
        for (auto& view : views) {
            const std::string probe = "SELECT * FROM " + QuoteIdent(view.first);
            sqlite3_stmt* raw = nullptr;
            const int rc = sqlite3_prepare_v2(c.handle(), probe.c_str(), static_cast<int>(probe.size()), &raw, nullptr);
            StmtHandle st(raw);
            if (rc != SQLITE_OK) m_views.push_back(std::move(view));
        }
        for (const auto& view : m_views) c.Exec(SystemSql("DROP VIEW " + QuoteIdent(view.first)));
    }
    void Restore() {
        for (const auto& view : m_views) m_conn.Exec(SystemSql(view.second));
        m_views.clear();
    }

private:
    Connection& m_conn;
    std::vector<std::pair<std::string, std::string>> m_views;
};

bool indexNameTaken(Connection& c, const std::string& name) {
    StmtHandle st = c.Prepare(SystemSql("SELECT 1 FROM sqlite_master WHERE name = ?1 COLLATE NOCASE"));
    sqlite3_bind_text(st.get(), 1, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    return sqlite3_step(st.get()) == SQLITE_ROW;
}

// True when a saved query (a row of MSysQueries) or another program's view
// holds the name.
bool queryNamed(Connection& c, const std::string& name) {
    if (c.HasView(name)) return true;
    if (!c.HasCatalog()) return false;
    StmtHandle saved = c.Prepare(SystemSql("SELECT 1 FROM MSysQueries WHERE Name = ?1"));
    sqlite3_bind_text(saved.get(), 1, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    return sqlite3_step(saved.get()) == SQLITE_ROW;
}

// The layer's own catalogue: every table's definitions, the saved queries
// and the password live in these tables. Dropped or renamed, they would
// take all of that with them (without MSysDb the file no longer opens).
bool isCatalogTable(std::string_view name) {
    for (const char* t : {"MSysColumns", "MSysIndexes", "MSysQueries", "MSysProperties", "MSysDb"})
        if (NamesEqual(name, t)) return true;
    return false;
}

DaoError noPermission(const std::string& name) {
    return DaoError(3033, "You do not have the necessary permissions to use the '" + name +
                              "' object. Have your system administrator or the person who created this object "
                              "establish the appropriate permissions for you.");
}

// A default value as a literal of the column's type; empty when none applies
// (none, or one that changes with the clock: the layer fills those in itself).
std::string defaultLiteral(const FieldInfo& f) {
    bool timed = false;
    Variant v = EvaluateDefault(f, &timed);
    if (timed || v.IsNull()) return {};
    if (v.IsString()) return QuoteText(v.RawString());
    if (v.Type() == vbBoolean) return v.RawInt() ? "-1" : "0";
    return FormatDoubleRoundTrip(v.ToDouble());
}

// A field validation rule as a condition on the column: a rule that starts with
// an operator (">0", "Is Null Or >0", "Between 1 And 5", "In (...)") applies to
// the field itself.
std::string validationCondition(const FieldInfo& f) {
    const std::string& rule = f.validationRule;
    if (rule.empty()) return {};
    std::string out;
    // Split at top-level " Or " / " And " and give every part that starts with an operator the column.
    std::vector<std::string> parts;
    std::vector<std::string> joins;
    int depth = 0;
    bool inQuote = false;
    char quote = 0;
    std::size_t start = 0;
    std::string lower = ToLowerAscii(rule);
    for (std::size_t i = 0; i < rule.size(); ++i) {
        char c = rule[i];
        if (inQuote) {
            if (c == quote) inQuote = false;
            continue;
        }
        if (c == '"' || c == '\'') { inQuote = true; quote = c; continue; }
        if (c == '(') ++depth;
        if (c == ')') --depth;
        if (depth == 0) {
            for (const char* j : {" or ", " and "}) {
                std::size_t len = std::char_traits<char>::length(j);
                if (lower.compare(i, len, j) == 0) {
                    // "Between x And y" keeps its And.
                    std::string before = lower.substr(start, i - start);
                    if (std::string(j) == " and " && before.find("between") != std::string::npos &&
                        before.find(" and ") == std::string::npos)
                        continue;
                    parts.push_back(rule.substr(start, i - start));
                    joins.push_back(std::string(j) == " or " ? " Or " : " And ");
                    start = i + len;
                    i = start - 1;
                    break;
                }
            }
        }
    }
    parts.push_back(rule.substr(start));
    for (std::size_t k = 0; k < parts.size(); ++k) {
        std::string p = parts[k];
        while (!p.empty() && p.front() == ' ') p.erase(0, 1);
        std::string pl = ToLowerAscii(p);
        bool operatorFirst = !p.empty() && (p[0] == '<' || p[0] == '>' || p[0] == '=' ||
                                            pl.rfind("is ", 0) == 0 || pl.rfind("between ", 0) == 0 ||
                                            pl.rfind("in ", 0) == 0 || pl.rfind("in(", 0) == 0 ||
                                            pl.rfind("like ", 0) == 0 || pl.rfind("not ", 0) == 0);
        if (k) out += joins[k - 1];
        out += "(" + (operatorFirst ? JetSqlTranslator::BracketName(f.name) + " " + p : p) + ")";
    }
    return JetSqlTranslator::TranslateExpression(out).text();
}

// A catalogue row of an index that the file still holds (another program
// may have dropped it); an index on the row key has no SQLite index.
constexpr const char* kIndexStillThere =
    "(coalesce(SqliteName, '') = '' OR SqliteName IN (SELECT name FROM sqlite_master WHERE type = 'index'))";

// The checks of a column's values: a text's size and zero length, and the
// field's validation rule.
std::string columnChecks(const FieldInfo& f) {
    std::string checks;
    if (f.type == dbText)
        checks += " CONSTRAINT " + QuoteIdent("sz:" + f.name) + " CHECK (length(" + QuoteIdent(f.name) +
                  ") <= " + std::to_string(f.size) + ")";
    if (isText(f.type) && !f.allowZeroLength)
        checks += " CONSTRAINT " + QuoteIdent("zl:" + f.name) + " CHECK (" + QuoteIdent(f.name) + " <> '')";
    std::string rule = validationCondition(f);
    if (!rule.empty()) checks += " CONSTRAINT " + QuoteIdent("vr:" + f.name) + " CHECK (" + rule + ")";
    return checks;
}

// Makes the index in the file (a unique one refuses a table whose rows
// already repeat its key) and records it in the catalogue. An index on the
// auto-increment row key alone is that key: it is only recorded.
void storeIndex(Connection& c, const std::string& table, const Index& idx, const std::string& rowidField, int seq,
                const std::function<bool(const std::string&)>& hasField) {
    if (idx.Fields().Count() == 0) throw DaoError(3264, "No field defined--cannot append TableDef or Index.");
    std::string names, cols;
    for (const auto& f : idx.Fields()) {
        if (!hasField(f->Name())) throw DaoError(err::ItemNotFound, "Item not found in this collection.");
        if (!names.empty()) { names += '\x1f'; cols += ", "; }
        names += f->Name();
        cols += QuoteIdent(f->Name()) + ((f->Attributes() & 1) ? " DESC" : "");
    }
    bool onRowid = !rowidField.empty() && idx.Fields().Count() == 1 && NamesEqual(idx.Fields()(0)->Name(), rowidField);
    std::string sqliteName;
    if (!onRowid) {
        sqliteName = table + "." + idx.Name();
        // A table another program renamed keeps its indexes' names: the
        // new table's index takes a name of its own.
        for (int n = 2; indexNameTaken(c, sqliteName); ++n)
            sqliteName = table + "." + idx.Name() + "~" + std::to_string(n);
        c.Exec(SystemSql(std::string("CREATE ") + (idx.Unique() ? "UNIQUE " : "") + "INDEX " + QuoteIdent(sqliteName) +
                         " ON " + QuoteIdent(table) + " (" + cols + ")"));
    }
    c.ExecBound(SystemSql("INSERT INTO MSysIndexes (TableName, Name, Fields, IsPrimary, IsUnique, IsRequired, IgnoreNulls,"
                          " SqliteName, Seq) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)"),
                {Variant(table), Variant(idx.Name()), Variant(names), Variant(idx.Primary()), Variant(idx.Unique()),
                 Variant(idx.Required()), Variant(idx.IgnoreNulls()), Variant(sqliteName), Variant(seq)});
}

} // namespace

TableDef::TableDef(std::string name, long attributes) : m_name(std::move(name)), m_attributes(attributes) {}

void TableDef::SetName(const std::string& name) {
    if (m_stored) {
        auto c = conn();
        if (NamesEqual(name, m_name)) return;
        if (isCatalogTable(m_name)) throw noPermission(m_name);
        // The new name must be free and valid, as a new table's is.
        if (const std::string fault = TableDefs::NameFault(name); !fault.empty()) throw DaoError(3125, fault);
        if (c->HasView(name, true) || queryNamed(*c, name))
            throw DaoError(err::ObjectExists, "Object '" + name + "' already exists.");
        Savepoint sp(*c, "dao_ddl");
        UnreadableViewsAside aside(*c);
        c->Exec(SystemSql("ALTER TABLE " + QuoteIdent(m_name) + " RENAME TO " + QuoteIdent(name)));
        aside.Restore();
        if (c->HasCatalog()) {
            for (const char* t : {"MSysColumns", "MSysIndexes"})
                c->ExecBound(SystemSql(std::string("UPDATE ") + t + " SET TableName = ?1 WHERE TableName = ?2"),
                             {Variant(name), Variant(m_name)});
            c->ExecBound(SystemSql("UPDATE MSysProperties SET ObjectName = ?1 WHERE ObjectName = ?2"),
                         {Variant(name), Variant(m_name)});
        }
        sp.Release();
        c->InvalidateCatalog();
    }
    m_name = name;
}

std::shared_ptr<Connection> TableDef::conn() const {
    auto c = m_conn.lock();
    if (!c || !c->IsOpen()) throw DaoError(err::ObjectClosed, "Object invalid or no longer set.");
    return c;
}

FieldPtr TableDef::CreateField(const std::string& name, int type, long size) const {
    auto f = std::make_shared<Field>();
    f->m_info.name = name;
    if (type) f->SetType(type);
    if (size) f->SetSize(size);
    return f;
}

IndexPtr TableDef::CreateIndex(const std::string& name) const { return std::make_shared<Index>(name); }

PropertyPtr TableDef::CreateProperty(const std::string& name, int type, const Variant& value) const {
    return std::make_shared<Property>(name, type, value);
}

dao::Fields& TableDef::Fields() {
    if (!m_fieldsLoaded) loadFields();
    return m_fields;
}

dao::Indexes& TableDef::Indexes() {
    if (!m_indexesLoaded) loadIndexes();
    return m_indexes;
}

dao::Properties& TableDef::Properties() {
    if (!m_propertiesLoaded) loadProperties();
    return m_properties;
}

long TableDef::RecordCount() const {
    if (!m_stored) return 0;
    auto c = conn();
    StmtHandle st = c->Prepare(SystemSql("SELECT count(*) FROM " + QuoteIdent(m_name)));
    if (sqlite3_step(st.get()) != SQLITE_ROW) c->Fail(sqlite3_extended_errcode(c->handle()), m_name);
    return static_cast<long>(sqlite3_column_int64(st.get(), 0));
}

// Installs the storage hooks of a stored table: properties of the table and of
// its fields go to the catalogue, fields appended later become new columns.
void TableDef::attach(const std::shared_ptr<Connection>& c) {
    m_conn = c;
    m_stored = true;
    m_fieldsLoaded = false;
    m_indexesLoaded = false;
    m_propertiesLoaded = false;
    m_fields.clear();
    m_indexes.clear();
    m_properties.clear();
}

namespace {
void storeProperty(const std::shared_ptr<Connection>& c, const std::string& object, const std::string& field,
                   const Property& p) {
    c->EnsureCatalog();
    Variant value = p.Value();
    c->ExecBound(SystemSql("INSERT OR REPLACE INTO MSysProperties (ObjectName, FieldName, Name, Type, Value) "
                           "VALUES (?1, ?2, ?3, ?4, ?5)"),
                 {Variant(object), Variant(field), Variant(p.Name()), Variant(p.Type()), value});
    c->InvalidateCatalog();
}

void removeProperty(const std::shared_ptr<Connection>& c, const std::string& object, const std::string& field,
                    const std::string& name) {
    if (c->ReadOnly()) throw DaoError(err::ReadOnly, c->ReadOnlyText());
    if (!c->HasCatalog()) return;
    c->ExecBound(SystemSql("DELETE FROM MSysProperties WHERE ObjectName = ?1 AND FieldName = ?2 AND Name = ?3"),
                 {Variant(object), Variant(field), Variant(name)});
    c->InvalidateCatalog();
}
} // namespace

void TableDef::loadFields() {
    auto c = conn();
    m_fields.clear();
    std::weak_ptr<Connection> weak = c;
    std::string table = m_name;
    for (const FieldInfo& info : c->TableFields(m_name)) {
        auto f = std::make_shared<Field>(info);
        f->m_attached = true;
        std::string fieldName = info.name;
        f->m_properties.onStore = [weak, table, fieldName](const Property& p) {
            if (auto cc = weak.lock()) storeProperty(cc, table, fieldName, p);
        };
        f->m_properties.onDelete = [weak, table, fieldName](const std::string& name) {
            if (auto cc = weak.lock()) removeProperty(cc, table, fieldName, name);
        };
        if (info.hasDescription)
            f->m_properties.appendLoaded(std::make_shared<Property>("Description", dbText, Variant(info.description)));
        m_fields.appendLoaded(f);
    }
    m_fields.onAppend = [this](const FieldPtr& f) {
        auto cc = conn();
        FieldInfo info = f->Info();
        if (info.ordinalPosition == 0) info.ordinalPosition = m_fields.Count();
        cc->EnsureCatalog();
        Savepoint sp(*cc, "dao_ddl");
        if (info.type == dbText && (info.size < 1 || info.size > 255)) throw DaoError(3001, "Invalid argument.");
        std::string decl = QuoteIdent(info.name) + " " + SqliteDeclaredType(info);
        std::string def = defaultLiteral(info);
        if (!def.empty()) decl += " DEFAULT " + def;
        // The column keeps what a new table's would: the rows there take the
        // default, so a value is required only where there is one.
        if ((info.required || info.type == dbBoolean) && !def.empty()) decl += " NOT NULL";
        decl += columnChecks(info);
        cc->Exec(SystemSql("ALTER TABLE " + QuoteIdent(m_name) + " ADD COLUMN " + decl));
        cc->ExecBound(SystemSql("INSERT OR REPLACE INTO MSysColumns (TableName, Name, Type, Size, Attributes, AllowZeroLength,"
                                " Required, DefaultValue, ValidationRule, ValidationText, OrdinalPosition, CollatingOrder)"
                                " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, 1033)"),
                      {Variant(m_name), Variant(info.name), Variant(info.type), Variant(info.size),
                       Variant(info.attributes), Variant(info.allowZeroLength), Variant(info.required),
                       Variant(info.defaultValue), Variant(info.validationRule), Variant(info.validationText),
                       Variant(info.ordinalPosition)});
        sp.Release();
        cc->InvalidateCatalog();
        f->m_attached = true;
    };
    m_fields.onDelete = [this](const std::string& name) {
        auto cc = conn();
        Savepoint sp(*cc, "dao_ddl");
        UnreadableViewsAside aside(*cc);
        cc->Exec(SystemSql("ALTER TABLE " + QuoteIdent(m_name) + " DROP COLUMN " + QuoteIdent(name)));
        aside.Restore();
        if (cc->HasCatalog())
            cc->ExecBound(SystemSql("DELETE FROM MSysColumns WHERE TableName = ?1 AND Name = ?2"),
                          {Variant(m_name), Variant(name)});
        sp.Release();
        cc->InvalidateCatalog();
    };
    m_fieldsLoaded = true;
}

void TableDef::loadIndexes() {
    auto c = conn();
    m_indexes.clear();
    bool fromCatalog = false;
    if (c->HasCatalog()) {
        StmtHandle st = c->Prepare(SystemSql("SELECT Name, Fields, IsPrimary, IsUnique, IsRequired, IgnoreNulls FROM "
                                             "MSysIndexes WHERE TableName = ?1 AND " + std::string(kIndexStillThere) + " ORDER BY Seq"));
        sqlite3_bind_text(st.get(), 1, m_name.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st.get()) == SQLITE_ROW) {
            fromCatalog = true;
            auto idx = std::make_shared<Index>(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
            std::string fields = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1));
            std::size_t p = 0;
            while (p <= fields.size()) {
                std::size_t q = fields.find('\x1f', p);
                std::string name = fields.substr(p, q == std::string::npos ? std::string::npos : q - p);
                if (!name.empty()) {
                    FieldInfo fi;
                    fi.name = name;
                    idx->m_fields.appendLoaded(std::make_shared<Field>(fi));
                }
                if (q == std::string::npos) break;
                p = q + 1;
            }
            idx->SetPrimary(sqlite3_column_int(st.get(), 2) != 0);
            idx->SetUnique(sqlite3_column_int(st.get(), 3) != 0);
            idx->SetRequired(sqlite3_column_int(st.get(), 4) != 0);
            idx->SetIgnoreNulls(sqlite3_column_int(st.get(), 5) != 0);
            m_indexes.appendLoaded(idx);
        }
    }
    if (!fromCatalog)
        for (auto& [idx, sqliteName] : fileIndexes(*c, m_name)) m_indexes.appendLoaded(idx);
    m_indexes.onAppend = [this](const IndexPtr& idx) { appendIndex(idx); };
    m_indexes.onDelete = [this](const std::string& name) { deleteIndex(name); };
    m_indexesLoaded = true;
}

// The indexes of a table another tool made, as SQLite keeps them, each with
// its name there: the primary key first.
std::vector<std::pair<IndexPtr, std::string>> TableDef::fileIndexes(Connection& c, const std::string& table) {
    std::vector<std::pair<IndexPtr, std::string>> found;
    StmtHandle st = c.Prepare(SystemSql("SELECT name, \"unique\", origin FROM pragma_index_list(" + QuoteText(table) + ")"));
    while (sqlite3_step(st.get()) == SQLITE_ROW) {
        std::string name = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
        std::string origin = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 2));
        auto idx = std::make_shared<Index>(origin == "pk" ? "PrimaryKey" : name);
        idx->SetUnique(sqlite3_column_int(st.get(), 1) != 0);
        idx->SetPrimary(origin == "pk");
        StmtHandle cols = c.Prepare(SystemSql("SELECT name FROM pragma_index_info(" + QuoteText(name) + ") ORDER BY seqno"));
        while (sqlite3_step(cols.get()) == SQLITE_ROW) {
            const unsigned char* n = sqlite3_column_text(cols.get(), 0);
            FieldInfo fi;
            fi.name = n ? reinterpret_cast<const char*>(n) : "";
            idx->m_fields.appendLoaded(std::make_shared<Field>(fi));
        }
        found.emplace_back(std::move(idx), std::move(name));
    }
    for (const auto& f : c.TableFields(table))
        if (f.rowidAlias) {
            auto idx = std::make_shared<Index>("PrimaryKey");
            idx->SetPrimary(true);
            FieldInfo fi;
            fi.name = f.name;
            idx->m_fields.appendLoaded(std::make_shared<Field>(fi));
            found.insert(found.begin(), {std::move(idx), std::string()});
        }
    return found;
}

// An index appended to a stored table is made in the file at once.
void TableDef::appendIndex(const IndexPtr& idx) {
    auto c = conn();
    if (c->ReadOnly()) throw DaoError(err::ReadOnly, c->ReadOnlyText());
    if (idx->Primary())
        for (const auto& other : m_indexes)
            if (other->Primary()) throw DaoError(3283, "Primary key already exists.");
    const std::vector<FieldInfo> columns = c->TableFields(m_name);
    std::string rowidField;
    for (const FieldInfo& f : columns)
        if (f.rowidAlias) rowidField = f.name;
    auto hasField = [&columns](const std::string& name) {
        return std::any_of(columns.begin(), columns.end(), [&](const FieldInfo& f) { return NamesEqual(f.name, name); });
    };
    const bool catalogued = c->HasCatalog() && [&] {
        StmtHandle st = c->Prepare(SystemSql("SELECT 1 FROM MSysIndexes WHERE TableName = ?1 AND " + std::string(kIndexStillThere)));
        sqlite3_bind_text(st.get(), 1, m_name.c_str(), -1, SQLITE_TRANSIENT);
        return sqlite3_step(st.get()) == SQLITE_ROW;
    }();
    c->EnsureCatalog();
    Savepoint sp(*c, "dao_ddl");
    int seq = 0;
    if (catalogued) {
        StmtHandle st = c->Prepare(SystemSql("SELECT coalesce(max(Seq), -1) + 1 FROM MSysIndexes WHERE TableName = ?1"));
        sqlite3_bind_text(st.get(), 1, m_name.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st.get()) == SQLITE_ROW) seq = sqlite3_column_int(st.get(), 0);
    } else {
        // The catalogue lists a table's indexes once it lists one: the
        // indexes the file holds already are recorded first, under the
        // names SQLite knows them by.
        for (const auto& [old, sqliteName] : fileIndexes(*c, m_name)) {
            std::string names;
            for (const auto& f : old->Fields()) names += (names.empty() ? "" : "\x1f") + f->Name();
            c->ExecBound(SystemSql("INSERT INTO MSysIndexes (TableName, Name, Fields, IsPrimary, IsUnique, IsRequired,"
                                   " IgnoreNulls, SqliteName, Seq) VALUES (?1, ?2, ?3, ?4, ?5, ?6, 0, ?7, ?8)"),
                         {Variant(m_name), Variant(old->Name()), Variant(names), Variant(old->Primary()),
                          Variant(old->Unique()), Variant(old->Required()), Variant(sqliteName), Variant(seq++)});
        }
    }
    // A row left from an index of this name that another program dropped.
    c->ExecBound(SystemSql("DELETE FROM MSysIndexes WHERE TableName = ?1 AND Name = ?2"), {Variant(m_name), Variant(idx->Name())});
    storeIndex(*c, m_name, *idx, rowidField, seq, hasField);
    sp.Release();
    c->InvalidateCatalog();
}

// An index deleted from a stored table is dropped from the file at once.
void TableDef::deleteIndex(const std::string& name) {
    auto c = conn();
    if (c->ReadOnly()) throw DaoError(err::ReadOnly, c->ReadOnlyText());
    std::optional<std::string> sqliteName;
    if (c->HasCatalog()) {
        StmtHandle st = c->Prepare(SystemSql("SELECT coalesce(SqliteName, '') FROM MSysIndexes WHERE TableName = ?1 AND Name = ?2"));
        sqlite3_bind_text(st.get(), 1, m_name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st.get(), 2, name.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st.get()) == SQLITE_ROW) sqliteName = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
    }
    Savepoint sp(*c, "dao_ddl");
    if (sqliteName) {
        c->ExecBound(SystemSql("DELETE FROM MSysIndexes WHERE TableName = ?1 AND Name = ?2"), {Variant(m_name), Variant(name)});
    } else {
        // Another tool's index, listed under its own name: a key the table
        // declares (its primary key, a UNIQUE column) cannot be dropped alone.
        sqliteName = name;
        StmtHandle st = c->Prepare(SystemSql("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?1 AND sql IS NOT NULL"));
        sqlite3_bind_text(st.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st.get()) != SQLITE_ROW) throw DaoError(err::InvalidOperation, "Invalid operation.");
    }
    if (!sqliteName->empty()) c->Exec(SystemSql("DROP INDEX IF EXISTS " + QuoteIdent(*sqliteName)));
    sp.Release();
    c->InvalidateCatalog();
}

void TableDef::loadProperties() {
    auto c = conn();
    m_properties.clear();
    std::weak_ptr<Connection> weak = c;
    std::string table = m_name;
    m_properties.onStore = [weak, table](const Property& p) {
        if (auto cc = weak.lock()) storeProperty(cc, table, "", p);
    };
    m_properties.onDelete = [weak, table](const std::string& name) {
        if (auto cc = weak.lock()) removeProperty(cc, table, "", name);
    };
    if (c->HasCatalog()) {
        StmtHandle st = c->Prepare(SystemSql("SELECT Name, Type, Value FROM MSysProperties WHERE ObjectName = ?1 AND FieldName = ''"));
        sqlite3_bind_text(st.get(), 1, m_name.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st.get()) == SQLITE_ROW) {
            int type = sqlite3_column_int(st.get(), 1);
            m_properties.appendLoaded(std::make_shared<Property>(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)),
                                                                  type, ReadColumn(st.get(), 2, type)));
        }
    }
    m_propertiesLoaded = true;
}

// --- TableDefs ----------------------------------------------------------------------

void TableDefs::ensure() {
    auto c = m_conn.lock();
    if (!c || !c->IsOpen()) throw DaoError(err::ObjectClosed, "Object invalid or no longer set.");
    c->NoticeSchemaChange();
    if (m_generation == c->SchemaGeneration()) return;
    Refresh();
}

void TableDefs::Refresh() {
    auto c = m_conn.lock();
    if (!c || !c->IsOpen()) throw DaoError(err::ObjectClosed, "Object invalid or no longer set.");
    std::vector<TableDefPtr> items;
    // SQLite's own tables are none of the file's; nor are the tables in which
    // a virtual table (a full-text index, an R-tree) keeps its data: they
    // are read through it, and one changed or deleted breaks it.
    StmtHandle st = c->Prepare(SystemSql("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
                                         "ESCAPE '\\' AND name NOT IN (SELECT name FROM pragma_table_list "
                                         "WHERE schema = 'main' AND type = 'shadow') ORDER BY name COLLATE NOCASE"));
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        std::string name = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
        // Keep the objects already handed out, so that a caller's reference stays current.
        TableDefPtr td = Collection<TableDef>::Find(name);
        if (td && !td->m_stored) td = nullptr;
        if (td) {
            td->m_fieldsLoaded = false;
            td->m_indexesLoaded = false;
            td->m_propertiesLoaded = false;
        } else {
            bool system = ToLowerAscii(name).rfind("msys", 0) == 0;
            td = std::make_shared<TableDef>(name, system ? static_cast<long>(dbSystemObject) : 0L);
            td->attach(c);
        }
        items.push_back(td);
    }
    if (rc != SQLITE_DONE) c->Fail(sqlite3_extended_errcode(c->handle()), "TableDefs");
    assignItems(std::move(items));
    m_generation = c->SchemaGeneration();
}

std::string TableDefs::NameFault(const std::string& n) {
    // The names the desktop engine refuses: brackets, ".", "!" and "`" would
    // end or split the name in every query that writes it. A name holds at
    // most 64 characters, however many bytes they take.
    bool bad = n.empty() || n.front() == ' ' || CharLength(n) > 64;
    for (unsigned char ch : n) bad = bad || ch < 0x20 || ch == '[' || ch == ']' || ch == '.' || ch == '!' || ch == '`';
    if (!bad) return {};
    return "'" + n + "' is not a valid name. Make sure that it does not include invalid characters "
                     "or punctuation and that it is not too long.";
}

void TableDefs::Append(const TableDefPtr& td) {
    auto c = m_conn.lock();
    if (!c || !c->IsOpen()) throw DaoError(err::ObjectClosed, "Object invalid or no longer set.");
    if (!td || td->Name().empty()) throw DaoError(3001, "Invalid argument.");
    if (const std::string fault = NameFault(td->Name()); !fault.empty()) throw DaoError(3125, fault);
    if (td->m_stored) throw DaoError(err::ObjectExists, "Object '" + td->Name() + "' already exists.");
    if (c->ReadOnly()) throw DaoError(err::ReadOnly, c->ReadOnlyText());
    if (td->m_fields.Count() == 0) throw DaoError(3264, "No field defined--cannot append TableDef or Index.");
    {
        // A field renamed after it was appended may have taken another's name.
        std::unordered_set<std::string_view, detail::NameHash, detail::NameEqual> names;
        for (const auto& f : td->m_fields)
            if (!names.insert(f->Name()).second)
                throw DaoError(3191, "Cannot define field '" + f->Name() + "' more than once.");
    }
    if (td->m_fields.Count() > sqlite3_limit(c->handle(), SQLITE_LIMIT_COLUMN, -1))
        throw DaoError(3190, "Too many fields defined.");
    ensure();
    if (Collection<TableDef>::Find(td->Name())) throw DaoError(err::TableExists, "Table '" + td->Name() + "' already exists.");
    // A table under a query's name would hide the query from every lookup
    // by that name (a query that writes, or reads another file, has no view).
    if (queryNamed(*c, td->Name())) throw DaoError(err::ObjectExists, "Object '" + td->Name() + "' already exists.");
    c->EnsureCatalog();

    // Fields whose positions were never set take their places in the order they were appended.
    bool anyOrdinal = false;
    for (const auto& f : td->m_fields) anyOrdinal = anyOrdinal || f->OrdinalPosition() != 0;
    if (!anyOrdinal) {
        int i = 0;
        for (const auto& f : td->m_fields) f->m_info.ordinalPosition = i++;
    }
    std::vector<FieldPtr> fields(td->m_fields.begin(), td->m_fields.end());
    std::stable_sort(fields.begin(), fields.end(),
                     [](const FieldPtr& a, const FieldPtr& b) { return a->OrdinalPosition() < b->OrdinalPosition(); });

    // The first auto-increment Long becomes SQLite's rowid, which never reuses a number.
    const Field* rowidField = nullptr;
    for (const auto& f : fields)
        if ((f->Attributes() & dbAutoIncrField) && (f->Type() == dbLong) && !rowidField) rowidField = f.get();

    std::string ddl = "CREATE TABLE " + QuoteIdent(td->Name()) + " (";
    bool first = true;
    for (const auto& fp : fields) {
        const FieldInfo& f = fp->Info();
        if (f.type == dbText && (f.size < 1 || f.size > 255)) throw DaoError(3001, "Invalid argument.");
        if (!first) ddl += ", ";
        first = false;
        ddl += QuoteIdent(f.name) + " ";
        if (fp.get() == rowidField) {
            ddl += "INTEGER PRIMARY KEY AUTOINCREMENT";
            continue;
        }
        ddl += SqliteDeclaredType(f);
        if (f.required || f.type == dbBoolean) ddl += " NOT NULL";
        std::string def = defaultLiteral(f);
        if (!def.empty()) ddl += " DEFAULT " + def;
        ddl += columnChecks(f);
    }
    ddl += ")";

    Savepoint sp(*c, "dao_ddl");
    // Rows of an earlier table of this name, which another program dropped
    // or renamed, would collide with the new table's.
    c->ForgetTable(td->Name());
    c->Exec(SystemSql(ddl));
    int ordinal = 0;
    for (const auto& fp : fields) {
        const FieldInfo& f = fp->Info();
        long attributes = f.attributes;
        if (fp.get() == rowidField) attributes |= dbAutoIncrField;
        c->ExecBound(SystemSql("INSERT INTO MSysColumns (TableName, Name, Type, Size, Attributes, AllowZeroLength, Required,"
                               " DefaultValue, ValidationRule, ValidationText, OrdinalPosition, CollatingOrder)"
                               " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, 1033)"),
                     {Variant(td->Name()), Variant(f.name), Variant(f.type), Variant(f.size), Variant(attributes),
                      Variant(f.allowZeroLength), Variant(f.required), Variant(f.defaultValue),
                      Variant(f.validationRule), Variant(f.validationText), Variant(f.ordinalPosition)});
        for (const auto& p : fp->m_properties)
            storeProperty(c, td->Name(), f.name, *p);
        ++ordinal;
    }
    for (const auto& p : td->m_properties) storeProperty(c, td->Name(), "", *p);

    int seq = 0;
    const std::string rowidName = rowidField ? rowidField->Name() : std::string();
    for (const auto& idx : td->m_indexes)
        storeIndex(*c, td->Name(), *idx, rowidName, seq++, [&](const std::string& name) { return td->m_fields.Find(name) != nullptr; });
    sp.Release();
    c->InvalidateCatalog();
    td->attach(c);
    pushItem(td);
    Refresh();
}

void TableDefs::Delete(std::string_view name) {
    auto c = m_conn.lock();
    if (!c || !c->IsOpen()) throw DaoError(err::ObjectClosed, "Object invalid or no longer set.");
    ensure();
    TableDefPtr td = Collection<TableDef>::Find(name);
    if (!td) throw notFound();
    std::string real = td->Name();
    if (isCatalogTable(real)) throw noPermission(real);
    Savepoint sp(*c, "dao_ddl");
    c->Exec(SystemSql("DROP TABLE " + QuoteIdent(real)));
    if (c->HasCatalog()) {
        c->ExecBound(SystemSql("DELETE FROM MSysColumns WHERE TableName = ?1"), {Variant(real)});
        c->ExecBound(SystemSql("DELETE FROM MSysIndexes WHERE TableName = ?1"), {Variant(real)});
        c->ExecBound(SystemSql("DELETE FROM MSysProperties WHERE ObjectName = ?1"), {Variant(real)});
    }
    sp.Release();
    c->InvalidateCatalog();
    td->m_stored = false;
    Refresh();
}

} // namespace dao
