#include "db/Database.h"

#include "db/Connection.h"
#include "db/DaoConstants.h"
#include "db/DaoError.h"
#include "db/JetFunctions.h"
#include "db/JetSqlTranslator.h"
#include "db/Recordset.h"
#include "db/Savepoint.h"
#include "db/Workgroup.h"
#include "db/Workspace.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace dao {

Database::Database(std::shared_ptr<Connection> conn, std::string path, std::weak_ptr<Workspace> ws)
    : m_conn(std::move(conn)), m_name(std::move(path)), m_workspace(std::move(ws)) {}

Database::~Database() {
    if (m_conn) m_conn->Close();
}

void Database::init() {
    if (m_initialised) return;
    m_tableDefs.m_conn = m_conn;
    m_queryDefs.m_db = weak_from_this();
    m_initialised = true;
}

bool Database::IsOpen() const noexcept { return m_conn && m_conn->IsOpen(); }
bool Database::Updatable() const noexcept { return IsOpen() && !m_conn->ReadOnly(); }

int Database::ColumnLimit() const { return sqlite3_limit(conn()->handle(), SQLITE_LIMIT_COLUMN, -1); }

std::shared_ptr<Connection> Database::conn() const {
    if (!IsOpen()) throw DaoError(err::ObjectClosed, "Object invalid or no longer set.");
    return m_conn;
}

Database::Damage Database::DamageMet() const {
    if (!IsOpen()) return {};
    return {m_conn->DamageMet(), m_conn->DamageText()};
}

dao::TableDefs& Database::TableDefs() {
    conn();
    init();
    return m_tableDefs;
}

dao::QueryDefs& Database::QueryDefs() {
    conn();
    init();
    return m_queryDefs;
}

TableDefPtr Database::CreateTableDef(const std::string& name, long attributes) const {
    return std::make_shared<TableDef>(name, attributes);
}

QueryDefPtr Database::CreateQueryDef(const std::string& name, const std::string& sql) {
    auto q = std::make_shared<QueryDef>(name, sql);
    q->m_db = weak_from_this();
    if (!name.empty()) QueryDefs().Append(q);
    return q;
}

namespace {

bool looksLikeSql(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && (std::isspace(static_cast<unsigned char>(s[i])) || s[i] == '(')) ++i;
    std::string word;
    while (i < s.size() && std::isalpha(static_cast<unsigned char>(s[i]))) word += static_cast<char>(std::toupper(static_cast<unsigned char>(s[i++])));
    return word == "SELECT" || word == "TRANSFORM" || word == "PARAMETERS" || word == "WITH";
}

} // namespace

std::string Database::queryWithoutView(const std::shared_ptr<Connection>& c, const std::string& name) {
    // A select query is read through its view. One that reads a table of
    // another database file has none (a view reads its own file only): SQL
    // that names it reads its statement instead.
    if (!c || m_tableDefs.Find(name)) return {};
    QueryDefPtr q = m_queryDefs.Find(name);
    if (!q || (q->Type() != dbQSelect && q->Type() != dbQSetOperation)) return {};
    if (c->HasView(name)) return {};
    return q->SQL();
}

RecordsetPtr Database::OpenRecordset(const std::string& source, int type, int options, int /*lockEdit*/) {
    auto c = conn();
    init();
    Recordset::Source src;
    src.name = source;
    src.options = options;
    std::string sql;
    // A name is a name: a table called "Select Summary" or "[Old]" is looked
    // up as it is written before the text is taken for SQL.
    TableDefPtr td = m_tableDefs.Find(source);
    QueryDefPtr q = td ? nullptr : m_queryDefs.Find(source);
    if (td) {
        src.type = type ? type : dbOpenTable;
        if (src.type == dbOpenTable || src.type == dbOpenDynaset) {
            src.table = td->Name();
            // Rows without a row key (another program's WITHOUT ROWID table)
            // are read, but cannot be told apart to be edited.
            if (!c->HasRowid(td->Name())) src.options |= dbReadOnly;
            return Recordset::Open(c, std::move(src));
        }
        sql = "SELECT * FROM " + JetSqlTranslator::BracketName(td->Name());
    } else if (q) {
        if (type == dbOpenTable) throw DaoError(err::InvalidOperation, "Invalid operation.");
        src.type = type ? type : dbOpenDynaset;
        sql = q->SQL();
    } else if (looksLikeSql(source)) {
        if (type == dbOpenTable) throw DaoError(err::InvalidOperation, "Invalid operation.");
        src.type = type ? type : dbOpenDynaset;
        sql = source;
    } else {
        throw DaoError(err::InputTableNotFound, "The database engine cannot find the input table or query '" + source +
                                                    "'. Make sure it exists and that its name is spelled correctly.");
    }
    JetSqlTranslator::Options opts;
    std::weak_ptr<Connection> weak = c;
    opts.aliasFor = [weak](const std::string& path) {
        auto cc = weak.lock();
        return cc ? cc->AliasFor(path) : std::string("ext1");
    };
    opts.storedQuery = [this, weak](const std::string& name) { return queryWithoutView(weak.lock(), name); };
    AskColumnsOf([weak] { return weak.lock(); }, opts);
    bool readOnly = (options & dbReadOnly) || src.type == dbOpenSnapshot || src.type == dbOpenForwardOnly || c->ReadOnly();
    opts.keyset = !readOnly;
    // Records an ORDER BY finds equal come in the order of their place in
    // the source, so that every read of the same file gives the same order.
    opts.ties = JetSqlTranslator::Options::Ties::Rowid;
    TranslatedSql t = JetSqlTranslator::Translate(sql, opts);
    // A keyset and the ties need a stored table's row key; a view (a saved
    // query) or a table made WITHOUT ROWID has none: its ties follow its
    // rows' own order.
    if (!t.baseTable().empty() && (!m_tableDefs.Find(t.baseTable()) || !c->HasRowid(t.baseTable()))) {
        opts.keyset = false;
        opts.ties = JetSqlTranslator::Options::Ties::RowNumber;
        t = JetSqlTranslator::Translate(sql, opts);
    }
    if (!t.parameters().empty())
        throw DaoError(err::ParametersExpected,
                       "Too few parameters. Expected " + std::to_string(t.parameters().size()) + ".", 0, sql);
    if (t.kind() != TranslatedSql::Kind::Select)
        throw DaoError(3065, "Cannot execute a select query.", 0, sql);
    src.sql = std::move(t);
    return Recordset::Open(c, std::move(src));
}

void Database::Execute(const std::string& sql, int options) {
    auto c = conn();
    init();
    // A statement that fails changes nothing: the count of the one before
    // it is no longer the last one's.
    m_recordsAffected = 0;
    JetSqlTranslator::Options opts;
    opts.aliasFor = [c](const std::string& path) { return c->AliasFor(path); };
    AskColumnsOf([c] { return c; }, opts);
    TranslatedSql t = JetSqlTranslator::Translate(sql, opts);
    if (t.kind() == TranslatedSql::Kind::Select) throw DaoError(3065, "Cannot execute a select query.", 0, sql);
    bool failOnError = (options & dbFailOnError) != 0;
    (void)failOnError; // every statement here is atomic: it either applies whole or fails
    if (t.kind() == TranslatedSql::Kind::MakeTable) {
        // A table under a saved query's name would hide the query (one that
        // writes, or reads another file, has no view to stand in the
        // table's way).
        if (t.makeTableDatabase().empty() && m_queryDefs.Find(t.makeTableTarget()))
            throw DaoError(err::ObjectExists, "Object '" + t.makeTableTarget() + "' already exists.", 0, sql);
        std::string target = (t.makeTableDatabase().empty() ? std::string() : QuoteIdent(t.makeTableDatabase()) + ".") +
                             QuoteIdent(t.makeTableTarget());
        // Prepare through the translated statement first, so that its attachments are in place.
        StmtHandle probe = c->Prepare(t);
        probe.reset();
        c->Exec(SystemSql("CREATE TABLE " + target + " AS " + t.text()));
        m_recordsAffected = sqlite3_changes(c->handle());
        StmtHandle count = c->Prepare(SystemSql("SELECT count(*) FROM " + target));
        if (sqlite3_step(count.get()) == SQLITE_ROW) m_recordsAffected = static_cast<long>(sqlite3_column_int64(count.get(), 0));
        c->InvalidateCatalog();
        return;
    }
    StmtHandle st = c->Prepare(t);
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) c->Fail(sqlite3_extended_errcode(c->handle()), sql);
    m_recordsAffected = sqlite3_changes(c->handle());
    if (t.kind() == TranslatedSql::Kind::Other) c->InvalidateCatalog();
}

namespace {

struct ReadCollector {
    std::vector<std::pair<std::string, std::string>> reads; // schema, table
};

int collectReads(void* user, int action, const char* table, const char*, const char* schema, const char*) {
    if (action == SQLITE_READ && table && schema) {
        auto* c = static_cast<ReadCollector*>(user);
        std::pair<std::string, std::string> r{schema, table};
        if (std::find(c->reads.begin(), c->reads.end(), r) == c->reads.end()) c->reads.push_back(std::move(r));
    }
    return SQLITE_OK;
}

} // namespace

std::vector<Database::TableRef> Database::TablesRead(const std::string& source) {
    auto c = conn();
    init();
    if (auto td = m_tableDefs.Find(source)) return {{m_name, td->Name()}};
    std::string sql;
    if (auto q = m_queryDefs.Find(source)) sql = q->SQL();
    else if (looksLikeSql(source)) sql = source;
    else return {};
    JetSqlTranslator::Options opts;
    opts.aliasFor = [c](const std::string& path) { return c->AliasFor(path); };
    ReadCollector collector;
    try {
        TranslatedSql t = JetSqlTranslator::Translate(sql, opts);
        sqlite3_set_authorizer(c->handle(), collectReads, &collector);
        try {
            StmtHandle st = c->Prepare(t);
        } catch (...) {
            sqlite3_set_authorizer(c->handle(), nullptr, nullptr);
            throw;
        }
        sqlite3_set_authorizer(c->handle(), nullptr, nullptr);
    } catch (const DaoError&) {
        return {};
    }
    std::vector<TableRef> out;
    for (const auto& [schema, table] : collector.reads) {
        if (ToLowerAscii(table).rfind("sqlite_", 0) == 0) continue;
        const char* file = sqlite3_db_filename(c->handle(), schema.c_str());
        out.push_back({file ? std::string(file) : std::string(), table});
    }
    return out;
}

std::optional<Database::NonNumber> Database::FirstNonNumber(const std::string& source, const std::string& field,
                                                            bool dates) {
    auto c = conn();
    // Names are found whatever their case, as the statements that read the source find them.
    if (!c->HasView(source, true)) return std::nullopt;
    StmtHandle st = c->Prepare(SystemSql("SELECT v, n FROM (SELECT " + QuoteIdent(field) + " AS v, row_number() OVER () AS n FROM " +
                                         QuoteIdent(source) + ") WHERE typeof(v) IN ('text', 'blob')"));
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        const long record = static_cast<long>(sqlite3_column_int64(st.get(), 1));
        // A text is read as UTF-8 whatever the file's encoding (a UTF-16
        // file's own bytes would spell "1" as "1\0"); a blob as its bytes.
        const bool blob = sqlite3_column_type(st.get(), 0) == SQLITE_BLOB;
        const auto* p = blob ? static_cast<const char*>(sqlite3_column_blob(st.get(), 0))
                             : reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
        std::string bytes(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(st.get(), 0)));
        if (blob) return NonNumber{Variant::Bytes(std::move(bytes)), record};
        double d = 0;
        // A date field's text that spells a date is read as its day number.
        if (dates && ParseDate(bytes, d)) continue;
        // A text that spells a whole number is one (a column without affinity keeps it as text);
        // "NaN" or "inf" is none: SQL reads it as 0.
        // Named as a text is read: a legacy program's Latin-1 "caf\xE9" as "café".
        if (!ParseDouble(bytes, d) || !std::isfinite(d)) return NonNumber{Variant(ValidUtf8(std::move(bytes))), record};
    }
    if (rc != SQLITE_DONE) c->Fail(sqlite3_extended_errcode(c->handle()), "FirstNonNumber");
    return std::nullopt;
}

namespace {

// Whether `field` of the table or view `source` has no declared type, and
// whether a table's column stands behind it; none when it cannot be found.
struct ColumnOrigin {
    bool untyped = false, fromTable = false;
    bool realAffinity = false; // SQLite stores every number put in it as a real
};
std::optional<ColumnOrigin> columnOrigin(Connection& c, const std::string& source, const std::string& field) {
    StmtHandle st;
    try {
        st = c.Prepare(SystemSql("SELECT " + QuoteIdent(field) + " FROM " + QuoteIdent(source)));
    } catch (const DaoError&) {
        return std::nullopt;
    }
    const char* declared = sqlite3_column_decltype(st.get(), 0);
    return ColumnOrigin{declared == nullptr || KeepsValuesAsPut(declared), sqlite3_column_table_name(st.get(), 0) != nullptr,
                        declared != nullptr && SqliteAffinity(declared) == 'R'};
}

} // namespace

bool Database::DeclaresNoType(const std::string& source, const std::string& field) {
    const auto origin = columnOrigin(*conn(), source, field);
    return origin && origin->untyped;
}

bool Database::ComputedWithoutType(const std::string& source, const std::string& field) {
    const auto origin = columnOrigin(*conn(), source, field);
    return origin && origin->untyped && !origin->fromTable;
}

bool Database::KeepsDeclaredType(const std::string& source, const std::string& field) {
    auto c = conn();
    if (!c->HasCatalog()) return false;
    std::string table, column;
    {
        StmtHandle st;
        try {
            st = c->Prepare(SystemSql("SELECT " + QuoteIdent(field) + " FROM " + QuoteIdent(source)));
        } catch (const DaoError&) {
            return false;
        }
        const char* t = sqlite3_column_table_name(st.get(), 0);
        const char* o = sqlite3_column_origin_name(st.get(), 0);
        if (!t || !o) return false;
        table = t;
        column = o;
    }
    StmtHandle st = c->Prepare(SystemSql("SELECT 1 FROM MSysColumns WHERE TableName = ?1 AND Name = ?2"));
    sqlite3_bind_text(st.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st.get(), 2, column.c_str(), -1, SQLITE_TRANSIENT);
    return sqlite3_step(st.get()) == SQLITE_ROW;
}

bool Database::StoresNumbersAsReals(const std::string& source, const std::string& field) {
    const auto origin = columnOrigin(*conn(), source, field);
    return origin && origin->realAffinity;
}

Database::StoredNumbers Database::NumbersStored(const std::string& source, const std::string& field) {
    auto c = conn();
    const std::string values = "(SELECT " + QuoteIdent(field) + " AS v FROM " + QuoteIdent(source) + ")";
    StmtHandle st = c->Prepare(SystemSql("SELECT max(typeof(v) = 'real'), max(typeof(v) = 'integer' AND (v < -2147483648 OR v > 2147483647)),"
                                         " max(typeof(v) = 'integer' AND (v < -9007199254740992 OR v > 9007199254740992)),"
                                         " max(typeof(v) = 'integer' AND (v < 0 OR v > 255)),"
                                         " max(typeof(v) = 'integer' AND (v < -32768 OR v > 32767)),"
                                         " max(typeof(v) = 'real' AND abs(v) > 3.4028234663852886e38) FROM " +
                                         values));
    StoredNumbers kinds;
    bool beyond53 = false;
    const int rc = sqlite3_step(st.get());
    if (rc == SQLITE_ROW) {
        kinds.real = sqlite3_column_int(st.get(), 0) != 0;
        kinds.wide = sqlite3_column_int(st.get(), 1) != 0;
        beyond53 = sqlite3_column_int(st.get(), 2) != 0;
        kinds.beyondByte = sqlite3_column_int(st.get(), 3) != 0;
        kinds.beyondInteger = sqlite3_column_int(st.get(), 4) != 0;
        kinds.beyondSingle = sqlite3_column_int(st.get(), 5) != 0;
    } else if (rc != SQLITE_DONE) {
        c->Fail(sqlite3_extended_errcode(c->handle()), "NumbersStored");
    }
    st.reset();
    if (beyond53) {
        // Beyond 2^53 a double holds the even whole numbers, then every
        // fourth, ...: each of those whole numbers is looked at.
        StmtHandle whole = c->Prepare(SystemSql("SELECT v FROM " + values +
                                                " WHERE typeof(v) = 'integer' AND (v < -9007199254740992 OR v > 9007199254740992)"));
        int step;
        while ((step = sqlite3_step(whole.get())) == SQLITE_ROW) {
            const std::int64_t i = sqlite3_column_int64(whole.get(), 0);
            const double d = static_cast<double>(i);
            // 2^63 and beyond is no 64-bit whole number (the largest one rounds up to it).
            if (d >= 9223372036854775808.0 || static_cast<std::int64_t>(d) != i) {
                kinds.beyondDouble = true;
                break;
            }
        }
        if (step != SQLITE_ROW && step != SQLITE_DONE) c->Fail(sqlite3_extended_errcode(c->handle()), "NumbersStored");
    }
    return kinds;
}

bool Database::HoldsRealsFinerThanCurrency(const std::string& source, const std::string& field) {
    auto c = conn();
    // SQL finds the reals that may have more decimals; each is held to the
    // currency's own rounding, as a currency field reads it.
    StmtHandle st = c->Prepare(SystemSql("SELECT v FROM (SELECT " + QuoteIdent(field) + " AS v FROM " + QuoteIdent(source) +
                                         ") WHERE typeof(v) = 'real' AND v <> round(v, 4)"));
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        const double d = sqlite3_column_double(st.get(), 0);
        if (std::isfinite(d) && RoundHalfEvenTo(d, 4) != d) return true;
    }
    if (rc != SQLITE_DONE) c->Fail(sqlite3_extended_errcode(c->handle()), "HoldsRealsFinerThanCurrency");
    return false;
}

long Database::LongestText(const std::string& source, const std::string& field, long size) {
    auto c = conn();
    // A text's bytes are at least as many as its characters: only a text of
    // more bytes than `size` can be longer, and most columns hold none.
    // (SQL's length() stops at a NUL, so the characters are counted here.)
    StmtHandle st = c->Prepare(SystemSql("SELECT v FROM (SELECT " + QuoteIdent(field) + " AS v FROM " + QuoteIdent(source) +
                                         ") WHERE typeof(v) IN ('text', 'blob') AND length(CAST(v AS BLOB)) > ?1"));
    sqlite3_bind_int64(st.get(), 1, size);
    long longest = size;
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        const bool blob = sqlite3_column_type(st.get(), 0) == SQLITE_BLOB;
        const auto* p = blob ? static_cast<const char*>(sqlite3_column_blob(st.get(), 0))
                             : reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
        const std::string_view bytes(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(st.get(), 0)));
        longest = std::max(longest, static_cast<long>(CharLength(bytes)));
    }
    if (rc != SQLITE_DONE) c->Fail(sqlite3_extended_errcode(c->handle()), "LongestText");
    return longest;
}

bool Database::HoldsBytes(const std::string& source, const std::string& field) {
    auto c = conn();
    StmtHandle st = c->Prepare(SystemSql("SELECT 1 FROM (SELECT " + QuoteIdent(field) + " AS v FROM " + QuoteIdent(source) +
                                         ") WHERE typeof(v) = 'blob' LIMIT 1"));
    const int rc = sqlite3_step(st.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) c->Fail(sqlite3_extended_errcode(c->handle()), "HoldsBytes");
    return rc == SQLITE_ROW;
}

void Database::NewPassword(const std::string& oldPassword, const std::string& newPassword) {
    auto c = conn();
    c->EnsureCatalog();
    // The file's write lock before the stored password is read (unless a
    // transaction is open on the file already): another program changing
    // the password meanwhile is waited for, and the old password is checked
    // against the one its change left instead of being written over it.
    WriteLockScope lock(*c);
    // The old password must match the stored one (none stored: the old one must be empty).
    std::string salt, hash;
    if (c->ReadPassword("main", salt, hash)) {
        if (Workgroup::Hash(oldPassword, salt) != hash) throw DaoError(err::NotValidPassword, "Not a valid password.");
    } else if (!oldPassword.empty()) {
        throw DaoError(err::NotValidPassword, "Not a valid password.");
    }
    // The old password's rows and the new ones change together: a salt
    // kept without its hash would refuse every password.
    Savepoint sp(*c, "dao_password");
    c->Exec(SystemSql("DELETE FROM MSysDb WHERE Name IN ('PasswordSalt', 'PasswordHash')"));
    if (newPassword.empty()) {
        sp.Release();
        lock.Commit();
        return;
    }
    std::string newSalt = Workgroup::NewSalt();
    std::string newHash = Workgroup::Hash(newPassword, newSalt);
    for (auto [name, value] : {std::pair<const char*, std::string*>{"PasswordSalt", &newSalt}, {"PasswordHash", &newHash}}) {
        StmtHandle ins = c->Prepare(SystemSql("INSERT INTO MSysDb (Name, Value) VALUES (?1, ?2)"));
        sqlite3_bind_text(ins.get(), 1, name, -1, SQLITE_STATIC);
        sqlite3_bind_blob(ins.get(), 2, value->data(), static_cast<int>(value->size()), SQLITE_TRANSIENT);
        if (sqlite3_step(ins.get()) != SQLITE_DONE) c->Fail(sqlite3_extended_errcode(c->handle()), "NewPassword");
    }
    sp.Release();
    lock.Commit();
}

void Database::Close() noexcept {
    if (auto ws = m_workspace.lock()) ws->forget(this);
    if (m_conn) m_conn->Close();
}

} // namespace dao
