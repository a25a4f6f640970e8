#include "db/Recordset.h"

#include "db/DaoConstants.h"
#include "db/DaoError.h"
#include "db/JetSqlTranslator.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_set>

namespace dao {

namespace {

DaoError noCurrentRecord() { return DaoError(err::NoCurrentRecord, "No current record."); }
DaoError notUpdatable() { return DaoError(err::NotUpdatable, "Database or object is read-only."); }

bool isTextType(int t) { return t == dbText || t == dbMemo || t == dbGUID; }

// Field types whose values are numbers (dates and Booleans included).
bool holdsNumbers(int t) { return !isTextType(t) && t != dbBinary && t != dbLongBinary; }

std::string originOf(sqlite3_stmt* st, int col) {
    const char* o = sqlite3_column_origin_name(st, col);
    return o ? o : "";
}

} // namespace

// --- opening -----------------------------------------------------------------------

Recordset::Recordset(std::shared_ptr<Connection> conn, Source source)
    : m_conn(std::move(conn)), m_name(source.name), m_table(source.table), m_sql(std::move(source.sql)),
      m_type(source.type), m_options(source.options) {
    bool readOnly = (m_options & dbReadOnly) || m_type == dbOpenSnapshot || m_type == dbOpenForwardOnly ||
                    m_conn->ReadOnly();
    m_appendOnly = (m_options & dbAppendOnly) != 0;
    if (!m_table.empty() && !readOnly) {
        m_updatable = true;
        openKeyset();
    } else if (!m_table.empty()) {
        m_sql.reset();
        // A read-only recordset on a table streams its rows in key order.
        auto t = JetSqlTranslator::Translate("SELECT * FROM " + JetSqlTranslator::BracketName(m_table));
        m_sql = std::move(t);
        m_table.clear();
        openStream();
    } else if (m_sql && m_sql->hasRowid() && !readOnly) {
        m_updatable = true;
        m_table = m_sql->baseTable();
        openCached();
    } else {
        openStream();
    }
    initFields();
}

Recordset::~Recordset() { Close(); }

void Recordset::Close() noexcept {
    m_closed = true;
    m_stmt.reset();
    m_fetch.reset();
    m_inserts.clear();
}

void Recordset::checkOpen() const {
    if (m_closed || !m_conn || !m_conn->IsOpen())
        throw DaoError(err::ObjectClosed, "Object invalid or no longer set.");
}

void Recordset::describeColumns(sqlite3_stmt* st, bool firstRowReady) {
    int n = sqlite3_column_count(st);
    m_columns.clear();
    m_baseColumn.clear();
    for (int c = m_offset; c < n; ++c) {
        FieldInfo f;
        f.name = sqlite3_column_name(st, c);
        const char* table = sqlite3_column_table_name(st, c);
        const char* schema = sqlite3_column_database_name(st, c);
        std::string origin = originOf(st, c);
        bool known = false;
        if (table && schema && !origin.empty()) {
            try {
                if (auto info = m_conn->ColumnInfo(schema, table, origin)) {
                    std::string shownName = f.name;
                    f = *info;
                    f.name = shownName;
                    f.sourceTable = table;
                    f.sourceField = origin;
                    known = true;
                }
            } catch (const DaoError&) {
            }
        }
        if (!known) {
            const char* decl = sqlite3_column_decltype(st, c);
            const bool date = m_sql && std::any_of(m_sql->dateColumns().begin(), m_sql->dateColumns().end(),
                                                   [&](const std::string& name) { return NamesEqual(name, f.name); });
            if (date) {
                f.type = dbDate;
                f.size = 8;
            } else if (decl && *decl) {
                MapDeclaredType(decl, f.type, f.size);
            } else {
                int storage = firstRowReady ? sqlite3_column_type(st, c) : SQLITE_NULL;
                switch (storage) {
                case SQLITE_INTEGER: {
                    sqlite3_int64 v = sqlite3_column_int64(st, c);
                    if (v >= INT32_MIN && v <= INT32_MAX) { f.type = dbLong; f.size = 4; }
                    else { f.type = dbDouble; f.size = 8; }
                    break;
                }
                case SQLITE_TEXT: f.type = dbText; f.size = 255; break;
                case SQLITE_BLOB: f.type = dbLongBinary; f.size = 0; break;
                default: f.type = dbDouble; f.size = 8; break;
                }
            }
            f.attributes = isTextType(f.type) ? dbVariableField : dbFixedField;
            f.allowZeroLength = true;
        }
        f.ordinalPosition = c - m_offset;
        f.collatingOrder = dbSortGeneral;
        m_columns.push_back(f);
        bool fromBase = m_updatable && table && !origin.empty() && NamesEqual(table, m_table) &&
                        schema && std::string(schema) == "main" && !f.generated;
        m_baseColumn.push_back(fromBase ? origin : std::string());
    }
}

void Recordset::openStream() {
    m_mode = Mode::Stream;
    m_stmt = m_conn->Prepare(*m_sql);
    int rc = sqlite3_step(m_stmt.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) m_conn->Fail(sqlite3_extended_errcode(m_conn->handle()), m_sql->original());
    m_empty = rc == SQLITE_DONE;
    m_streamDone = m_empty;
    describeColumns(m_stmt.get(), !m_empty);
    m_pos = 0;
}

void Recordset::openKeyset() {
    m_mode = Mode::Keyset;
    m_baseFields = m_conn->TableFields(m_table);
    if (m_baseFields.empty())
        throw DaoError(err::InputTableNotFound, "The database engine cannot find the input table or query '" + m_table +
                                                    "'. Make sure it exists and that its name is spelled correctly.");
    m_columns = m_baseFields;
    m_baseColumn.clear();
    std::string cols;
    for (const auto& f : m_columns) {
        // A column the file computes is read with the row, never written.
        m_baseColumn.push_back(f.generated ? std::string() : f.name);
        if (!cols.empty()) cols += ", ";
        cols += QuoteIdent(f.name);
    }
    if (!m_appendOnly) {
        StmtHandle keys = m_conn->Prepare(SystemSql("SELECT rowid FROM " + QuoteIdent(m_table) + " ORDER BY rowid"));
        int rc;
        while ((rc = sqlite3_step(keys.get())) == SQLITE_ROW) m_keys.push_back(sqlite3_column_int64(keys.get(), 0));
        if (rc != SQLITE_DONE) m_conn->Fail(sqlite3_extended_errcode(m_conn->handle()), m_table);
    }
    m_deleted.assign(m_keys.size(), 0);
    m_fetch = m_conn->Prepare(SystemSql("SELECT " + cols + " FROM " + QuoteIdent(m_table) + " WHERE rowid = ?1"));
    m_empty = m_keys.empty();
    m_pos = 0;
}

void Recordset::loadAllRows(sqlite3_stmt* st) {
    int rc = SQLITE_ROW;
    bool first = true;
    while (true) {
        if (!first || rc == SQLITE_ROW) {
            if (!first) rc = sqlite3_step(st);
        }
        first = false;
        if (rc != SQLITE_ROW) break;
        std::vector<Variant> row;
        row.reserve(m_columns.size());
        for (std::size_t c = 0; c < m_columns.size(); ++c)
            row.push_back(ReadColumn(st, static_cast<int>(c) + m_offset, m_columns[c].type));
        if (m_offset) m_keys.push_back(sqlite3_column_int64(st, 0));
        m_rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) m_conn->Fail(sqlite3_extended_errcode(m_conn->handle()), m_sql ? m_sql->original() : m_name);
    m_deleted.assign(m_rows.size(), 0);
}

void Recordset::openCached() {
    m_mode = Mode::Cached;
    m_offset = m_sql->hasRowid() ? 1 : 0;
    m_baseFields = m_conn->TableFields(m_table);
    StmtHandle st = m_conn->Prepare(*m_sql);
    int rc = sqlite3_step(st.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) m_conn->Fail(sqlite3_extended_errcode(m_conn->handle()), m_sql->original());
    describeColumns(st.get(), rc == SQLITE_ROW);
    if (rc == SQLITE_ROW) loadAllRows(st.get());
    m_empty = m_rows.empty();
    m_pos = 0;
}

void Recordset::materialize() {
    if (m_mode != Mode::Stream) return;
    checkOpen();
    long pos = m_pos;
    m_stmt.reset();
    StmtHandle st = m_conn->Prepare(*m_sql);
    int rc = sqlite3_step(st.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) m_conn->Fail(sqlite3_extended_errcode(m_conn->handle()), m_sql->original());
    if (rc == SQLITE_ROW) loadAllRows(st.get());
    m_mode = Mode::Cached;
    m_empty = m_rows.empty();
    m_pos = std::min<long>(pos, static_cast<long>(m_rows.size()));
}

RecordsetPtr Recordset::Open(std::shared_ptr<Connection> conn, Source source) {
    auto rs = std::make_shared<Recordset>(std::move(conn), std::move(source));
    for (const auto& f : rs->m_fields) f->m_recordset = rs;
    return rs;
}

void Recordset::initFields() {
    m_fields.clear();
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        auto f = std::make_shared<Field>(m_columns[c]);
        f->m_column = static_cast<int>(c);
        f->m_attached = true;
        m_fields.appendLoaded(f);
    }
}

// Fields hold a weak reference to their recordset, which only exists once the
// recordset is owned by a shared_ptr; Database::OpenRecordset binds them.
int Recordset::columnIndex(std::string_view name) const {
    // The fields stand in the columns' order: the field's place is the column.
    const int c = m_fields.IndexOf(name);
    if (c < 0) throw DaoError(err::ItemNotFound, "Item not found in this collection.");
    return c;
}

// --- position ------------------------------------------------------------------------

long Recordset::rowCount() const {
    return m_mode == Mode::Keyset ? static_cast<long>(m_keys.size()) : static_cast<long>(m_rows.size());
}

bool Recordset::isDeleted(long pos) const {
    return pos >= 0 && pos < static_cast<long>(m_deleted.size()) && m_deleted[static_cast<std::size_t>(pos)];
}

bool Recordset::EOF_() const {
    checkOpen();
    if (m_mode == Mode::Stream) return m_empty || m_streamDone;
    // Only the position counts: after deleting the last remaining record the
    // recordset stays on it until the next move.
    return m_pos >= rowCount() || rowCount() == 0;
}

bool Recordset::BOF() const {
    checkOpen();
    if (m_mode == Mode::Stream) return m_empty || m_pos < 0;
    return m_pos < 0 || rowCount() == 0;
}

void Recordset::seek(long pos, int direction) {
    long n = rowCount();
    while (pos >= 0 && pos < n && isDeleted(pos)) pos += direction >= 0 ? 1 : -1;
    if (pos < -1) pos = -1;
    if (pos > n) pos = n;
    m_pos = pos;
    m_currentLoaded = -1;
}

void Recordset::MoveNext() {
    checkOpen();
    if (m_editMode) CancelUpdate();
    if (m_mode == Mode::Stream) {
        if (m_streamDone) throw noCurrentRecord();
        int rc = sqlite3_step(m_stmt.get());
        if (rc == SQLITE_ROW) { ++m_pos; return; }
        if (rc != SQLITE_DONE) m_conn->Fail(sqlite3_extended_errcode(m_conn->handle()), m_sql->original());
        ++m_pos;
        m_streamDone = true;
        return;
    }
    if (EOF_()) throw noCurrentRecord();
    seek(m_pos + 1, 1);
}

void Recordset::MovePrevious() {
    checkOpen();
    materialize();
    if (m_editMode) CancelUpdate();
    if (BOF()) throw noCurrentRecord();
    seek(m_pos - 1, -1);
}

void Recordset::MoveFirst() {
    checkOpen();
    if (m_editMode) CancelUpdate();
    if (m_mode == Mode::Stream && m_pos == 0 && !m_streamDone) return;
    materialize();
    if (rowCount() - m_deletedCount == 0) throw noCurrentRecord();
    seek(0, 1);
}

void Recordset::MoveLast() {
    checkOpen();
    materialize();
    if (m_editMode) CancelUpdate();
    if (rowCount() - m_deletedCount == 0) throw noCurrentRecord();
    seek(rowCount() - 1, -1);
}

void Recordset::Move(long rows) {
    checkOpen();
    if (rows == 0) { requireCurrent(); return; }
    if (m_mode == Mode::Stream && rows > 0) {
        // As in memory: only a move that starts at the end of file fails; one
        // that runs past the last record stops at the end of file.
        if (m_streamDone) throw noCurrentRecord();
        for (long i = 0; i < rows && !m_streamDone; ++i) MoveNext();
        return;
    }
    materialize();
    if (m_editMode) CancelUpdate();
    // Count live rows from the current position, skipping deleted ones.
    long pos = m_pos;
    long n = rowCount();
    long step = rows > 0 ? 1 : -1;
    long remaining = rows > 0 ? rows : -rows;
    if ((rows > 0 && pos >= n) || (rows < 0 && pos < 0)) throw noCurrentRecord();
    while (remaining > 0) {
        pos += step;
        if (pos < 0 || pos >= n) break;
        if (!isDeleted(pos)) --remaining;
    }
    if (pos < 0) pos = -1;
    if (pos >= n) pos = n;
    m_pos = pos;
    m_currentLoaded = -1;
}

long Recordset::RecordCount() const {
    checkOpen();
    if (m_mode == Mode::Stream) {
        if (m_empty) return 0;
        return m_streamDone ? m_pos : m_pos + 1;
    }
    return rowCount() - m_deletedCount;
}

long Recordset::AbsolutePosition() {
    // A forward read counts its records as it goes: no need to load them.
    if (m_mode == Mode::Stream) {
        checkOpen();
        return (m_empty || m_streamDone) ? -1 : m_pos;
    }
    materialize();
    if (EOF_() || BOF()) return -1;
    long live = 0;
    for (long i = 0; i < m_pos; ++i)
        if (!isDeleted(i)) ++live;
    return live;
}

void Recordset::SetAbsolutePosition(long position) {
    checkOpen();
    materialize();
    long live = -1;
    for (long i = 0; i < rowCount(); ++i) {
        if (isDeleted(i)) continue;
        if (++live == position) {
            // Moving drops a change not yet written, which Update would
            // otherwise write onto the record moved to.
            if (m_editMode) CancelUpdate();
            seek(i, 1);
            return;
        }
    }
    throw DaoError(err::InvalidArgument, "Invalid argument.");
}

Recordset::Bookmark Recordset::GetBookmark() {
    checkOpen();
    materialize();
    requireCurrent();
    return Bookmark{m_pos, this, m_generation};
}

void Recordset::SetBookmark(const Bookmark& bm) {
    checkOpen();
    materialize();
    if (bm.owner != this || bm.generation != m_generation || bm.position < 0 || bm.position >= rowCount() ||
        isDeleted(bm.position))
        throw DaoError(3159, "Not a valid bookmark.");
    if (m_editMode) CancelUpdate();
    m_pos = bm.position;
    m_currentLoaded = -1;
}

Recordset::Bookmark Recordset::LastModified() const {
    if (m_lastModified < 0) throw DaoError(3159, "Not a valid bookmark.");
    return Bookmark{m_lastModified, this, m_generation};
}

void Recordset::requireCurrent() const {
    checkOpen();
    if (m_mode == Mode::Stream) {
        if (m_empty || m_streamDone || m_pos < 0) throw noCurrentRecord();
        return;
    }
    if (m_pos < 0 || m_pos >= rowCount()) throw noCurrentRecord();
    if (isDeleted(m_pos)) throw DaoError(3167, "Record is deleted.");
}

void Recordset::loadCurrent() const {
    if (m_mode != Mode::Keyset || m_currentLoaded == m_pos) return;
    sqlite3_stmt* st = m_fetch.get();
    sqlite3_reset(st);
    sqlite3_bind_int64(st, 1, m_keys[static_cast<std::size_t>(m_pos)]);
    int rc = sqlite3_step(st);
    m_current.clear();
    if (rc == SQLITE_ROW) {
        for (std::size_t c = 0; c < m_columns.size(); ++c)
            m_current.push_back(ReadColumn(st, static_cast<int>(c), m_columns[c].type));
    } else if (rc == SQLITE_DONE) {
        throw DaoError(3167, "Record is deleted.");
    } else {
        m_conn->Fail(sqlite3_extended_errcode(m_conn->handle()), m_table);
    }
    sqlite3_reset(st);
    m_currentLoaded = m_pos;
}

// --- values --------------------------------------------------------------------------

Variant Recordset::GetValue(int column) const {
    if (column < 0 || column >= static_cast<int>(m_columns.size()))
        throw DaoError(err::ItemNotFound, "Item not found in this collection.");
    if (m_editMode) {
        // A closed recordset (or one of a closed database) hands out no pending value.
        checkOpen();
        return m_buffer[static_cast<std::size_t>(column)];
    }
    requireCurrent();
    Variant v;
    switch (m_mode) {
    case Mode::Stream:
        v = ReadColumn(m_stmt.get(), column + m_offset, m_columns[static_cast<std::size_t>(column)].type);
        break;
    case Mode::Cached:
        v = m_rows[static_cast<std::size_t>(m_pos)][static_cast<std::size_t>(column)];
        break;
    case Mode::Keyset:
        loadCurrent();
        v = m_current[static_cast<std::size_t>(column)];
        break;
    }
    if (m_numberGuard && (v.IsString() || v.IsBytes()) && holdsNumbers(m_columns[static_cast<std::size_t>(column)].type))
        m_numberGuard(v, m_columns[static_cast<std::size_t>(column)].name);
    return v;
}

bool Recordset::GetDouble(int column, double& x) const {
    if (!m_editMode && m_mode == Mode::Stream && column >= 0 && column < static_cast<int>(m_columns.size()) &&
        m_columns[static_cast<std::size_t>(column)].type == dbDouble) {
        requireCurrent();
        // As ReadColumn reads a double column: text goes the Variant's way.
        // The column's value is read once (one pass through the connection's
        // mutex); only this recordset's thread steps its statement.
        sqlite3_value* v = sqlite3_column_value(m_stmt.get(), column + m_offset);
        const int storage = sqlite3_value_type(v);
        if (storage == SQLITE_NULL) return false;
        if (storage == SQLITE_FLOAT) {
            x = sqlite3_value_double(v);
            return true;
        }
        if (storage == SQLITE_INTEGER) {
            const sqlite3_int64 i = sqlite3_value_int64(v);
            x = static_cast<double>(i);
            return true;
        }
    }
    Variant v = GetValue(column);
    if (v.IsNull()) return false;
    x = v.ToDouble();
    return true;
}

void Recordset::SetValue(int column, const Variant& v) {
    checkOpen();
    if (column < 0 || column >= static_cast<int>(m_columns.size()))
        throw DaoError(err::ItemNotFound, "Item not found in this collection.");
    if (!m_editMode) throw DaoError(err::UpdateWithoutAddNew, "Update or CancelUpdate without AddNew or Edit.");
    if (m_baseColumn[static_cast<std::size_t>(column)].empty())
        throw DaoError(3164, "Field '" + m_columns[static_cast<std::size_t>(column)].name + "' cannot be updated.");
    m_buffer[static_cast<std::size_t>(column)] = coerceForColumn(column, v);
    m_dirty[static_cast<std::size_t>(column)] = 1;
}

Variant Recordset::coerceForColumn(int column, const Variant& v) const {
    const FieldInfo& f = m_columns[static_cast<std::size_t>(column)];
    auto overflow = [&]() { return DaoError(3349, "Numeric field overflow."); };
    auto conversion = [&]() { return DaoError(3421, "Data type conversion error."); };
    if (v.IsNull() || v.IsEmpty()) {
        if (f.type == dbBoolean) return Variant(false);
        if (f.required && !(f.attributes & dbAutoIncrField))
            throw DaoError(err::NullNotAllowed, "The field '" + m_table + "." + f.name + "' cannot contain a Null value.");
        return Variant::Null();
    }
    auto number = [&]() -> double {
        if (v.IsBytes()) throw conversion();
        if (v.IsString()) {
            if (!IsNumeric(v.RawString())) throw conversion();
            return Variant(v.RawString()).ToDouble();
        }
        return v.ToDouble();
    };
    switch (f.type) {
    case dbBoolean:
        // A number, or a text of one or of True/False, Yes/No, On/Off.
        if (v.IsBytes()) throw conversion();
        try {
            return Variant(v.ToBool());
        } catch (const DaoError&) {
            throw conversion();
        }
    case dbByte: {
        double r = RoundHalfEven(number());
        if (!(r >= 0 && r <= 255)) throw overflow(); // NaN too
        return Variant(static_cast<std::uint8_t>(r));
    }
    case dbInteger: {
        double r = RoundHalfEven(number());
        if (!(r >= -32768 && r <= 32767)) throw overflow();
        return Variant(static_cast<std::int16_t>(r));
    }
    case dbLong: {
        // The column is SQLite's INTEGER: a whole number read from one (64
        // bits, a time stamp say) is written back as it is. Other values keep
        // the Long range.
        if (v.Type() == vbLongLong) return v;
        double r = RoundHalfEven(number());
        if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw overflow();
        return Variant(static_cast<int>(r));
    }
    case dbBigInt: {
        if (v.Type() == vbLong || v.Type() == vbLongLong || v.Type() == vbInteger) return Variant(v.RawInt());
        double r = RoundHalfEven(number());
        if (!(std::fabs(r) <= 9.2e18)) throw overflow();
        return Variant(static_cast<long long>(r));
    }
    case dbCurrency: {
        // Currency holds +-922,337,203,685,477.5807 (a 64-bit count of ten-thousandths).
        double d = RoundHalfEvenTo(number(), 4);
        if (!(std::fabs(d) <= 922337203685477.5807)) throw overflow();
        return Variant::Currency(d);
    }
    case dbSingle: {
        // SQLite keeps eight bytes for it: a value is kept as it is given.
        double d = number();
        if (!(std::fabs(d) <= 3.4028234663852886e38)) throw overflow();
        if (v.Type() == vbDouble && static_cast<double>(static_cast<float>(d)) != d) return Variant(d);
        return Variant(static_cast<float>(d));
    }
    case dbDouble:
    case dbDecimal: {
        double d = number();
        if (!std::isfinite(d)) throw overflow();
        return Variant(d);
    }
    case dbDate: {
        if (v.IsString()) {
            double d;
            if (ParseDate(v.RawString(), d)) return Variant::Date(d);
            throw conversion();
        }
        double d = v.ToDouble();
        if (!std::isfinite(d)) throw overflow();
        return Variant::Date(d);
    }
    case dbText:
    case dbMemo:
    case dbGUID: {
        std::string s = v.ToString();
        if (s.empty() && !f.allowZeroLength)
            throw DaoError(err::ZeroLengthNotAllowed, "Field '" + m_table + "." + f.name + "' cannot be a zero-length string.");
        if (f.type == dbText && f.size > 0 && static_cast<long>(CharLength(s)) > f.size)
            throw DaoError(err::FieldTooSmall,
                           "The field '" + f.name + "' is too small to accept the amount of data you attempted to add.");
        return Variant(std::move(s));
    }
    default:
        return v;
    }
}

void Recordset::defaultsForNew(std::vector<Variant>& values) {
    // The defaults are worked out once; only those that follow the clock
    // are taken anew for every row.
    if (m_defaults.size() != m_columns.size()) {
        m_defaults.assign(m_columns.size(), Variant::Null());
        m_clockDefaults.clear();
        for (std::size_t c = 0; c < m_columns.size(); ++c) {
            const FieldInfo& f = m_columns[c];
            if (m_baseColumn[c].empty() || (f.attributes & dbAutoIncrField)) continue;
            bool timed = false;
            Variant d = EvaluateDefault(f, &timed);
            if (timed) m_clockDefaults.push_back(c);
            m_defaults[c] = d.IsNull() ? d : coerceForColumn(static_cast<int>(c), d);
        }
    }
    // Into the buffer the last row left (its room is used again).
    values.assign(m_defaults.begin(), m_defaults.end());
    for (std::size_t c : m_clockDefaults)
        values[c] = coerceForColumn(static_cast<int>(c), EvaluateDefault(m_columns[c]));
}

void Recordset::findColumnsNullSameAsOmitted() {
    m_nullSameAsOmitted.assign(m_columns.size(), 0);
    // The file's own account of the table: a default, a key (a rowid alias
    // numbers the row itself) or a computed column makes an omitted column
    // something else than Null. A table that cannot be looked at keeps every
    // omitted column omitted.
    std::map<std::string, bool> plain; // by the name in lower case
    try {
        StmtHandle info = m_conn->Prepare(
            SystemSql("SELECT name, dflt_value IS NULL AND pk = 0 AND hidden = 0 FROM main.pragma_table_xinfo(?1)"));
        sqlite3_bind_text(info.get(), 1, m_table.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(info.get()) == SQLITE_ROW) {
            const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 0));
            if (name) plain[ToLowerAscii(name)] = sqlite3_column_int(info.get(), 1) != 0;
        }
    } catch (const DaoError&) {
        return;
    }
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        const FieldInfo& f = m_columns[c];
        if (m_baseColumn[c].empty() || (f.attributes & dbAutoIncrField) || f.rowidAlias || f.generated) continue;
        auto found = plain.find(ToLowerAscii(m_baseColumn[c]));
        if (found != plain.end()) m_nullSameAsOmitted[c] = found->second;
    }
}

// --- editing -------------------------------------------------------------------------

void Recordset::AddNew() {
    checkOpen();
    if (!m_updatable) throw notUpdatable();
    defaultsForNew(m_buffer);
    m_dirty.assign(m_columns.size(), 0);
    for (std::size_t c = 0; c < m_columns.size(); ++c)
        if (!m_buffer[c].IsNull() || m_columns[c].type == dbBoolean) m_dirty[c] = 1;
    m_editMode = dbEditAdd;
}

void Recordset::Edit() {
    checkOpen();
    if (!m_updatable) throw notUpdatable();
    requireCurrent();
    m_buffer.clear();
    for (int c = 0; c < FieldCount(); ++c) m_buffer.push_back(GetValue(c));
    m_dirty.assign(m_columns.size(), 0);
    m_editMode = dbEditInProgress;
}

void Recordset::CancelUpdate() noexcept {
    m_editMode = dbEditNone;
    m_buffer.clear();
    m_dirty.clear();
}

void Recordset::Update() {
    checkOpen();
    if (!m_editMode) throw DaoError(err::UpdateWithoutAddNew, "Update or CancelUpdate without AddNew or Edit.");
    sqlite3* db = m_conn->handle();
    // Required fields must have a value in a new row.
    if (m_editMode == dbEditAdd) {
        for (std::size_t c = 0; c < m_columns.size(); ++c) {
            const FieldInfo& f = m_columns[c];
            if (f.required && !(f.attributes & dbAutoIncrField) && m_buffer[c].IsNull() && !m_baseColumn[c].empty())
                throw DaoError(err::NullNotAllowed, "The field '" + m_table + "." + f.name + "' cannot contain a Null value.");
        }
        // A column left Null is written as Null where the file would give it
        // Null anyway: the rows of a writer that leaves different cells Null
        // (a matrix's diagonal) then share one statement, instead of one
        // prepared a row, whose cost grows with the square of the columns.
        if (m_nullSameAsOmitted.size() != m_columns.size()) findColumnsNullSameAsOmitted();
        std::vector<int>& cols = m_insertColumns;
        cols.clear();
        for (std::size_t c = 0; c < m_columns.size(); ++c)
            if ((m_dirty[c] || (m_nullSameAsOmitted[c] && m_buffer[c].IsNull())) && !m_baseColumn[c].empty())
                cols.push_back(static_cast<int>(c));
        // A writer that fills different columns on different rows (a
        // statistic left Null on some) keeps an insert for each set of
        // columns it has used lately instead of preparing one a row.
        auto found = std::find_if(m_inserts.begin(), m_inserts.end(),
                                  [&](const PreparedInsert& p) { return p.columns == cols; });
        if (found == m_inserts.end()) {
            std::string names, params;
            for (std::size_t i = 0; i < cols.size(); ++i) {
                if (i) { names += ", "; params += ", "; }
                names += QuoteIdent(m_baseColumn[static_cast<std::size_t>(cols[i])]);
                params += "?" + std::to_string(i + 1);
            }
            std::string sql = cols.empty() ? "INSERT INTO " + QuoteIdent(m_table) + " DEFAULT VALUES"
                                           : "INSERT INTO " + QuoteIdent(m_table) + " (" + names + ") VALUES (" + params + ")";
            if (m_inserts.size() >= kInsertsKept) m_inserts.erase(m_inserts.begin());
            m_inserts.push_back({cols, m_conn->Prepare(SystemSql(sql))});
            found = m_inserts.end() - 1;
        }
        sqlite3_stmt* st = found->statement.get();
        sqlite3_reset(st);
        for (std::size_t i = 0; i < cols.size(); ++i)
            BindWrittenVariant(st, static_cast<int>(i + 1), m_buffer[static_cast<std::size_t>(cols[i])]);
        int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE) {
            int ext = sqlite3_extended_errcode(db);
            sqlite3_reset(st);
            m_conn->Fail(ext, "INSERT INTO " + m_table);
        }
        sqlite3_reset(st);
        std::int64_t rowid = sqlite3_last_insert_rowid(db);
        for (std::size_t c = 0; c < m_columns.size(); ++c)
            if ((m_columns[c].attributes & dbAutoIncrField) && m_baseColumn[c].size())
                m_buffer[c] = Variant(static_cast<long long>(rowid));
        if (m_appendOnly) {
            // A writer: it keeps the row it added last (for LastModified) and
            // no other, so that memory does not grow with the rows it writes.
            m_keys.assign(1, rowid);
            m_deleted.assign(1, 0);
            if (m_mode == Mode::Cached) {
                m_rows.clear();
                m_rows.push_back(std::move(m_buffer));
            }
        } else {
            m_keys.push_back(rowid);
            m_deleted.push_back(0);
            if (m_mode == Mode::Cached) m_rows.push_back(std::move(m_buffer));
        }
        m_lastModified = static_cast<long>(m_keys.size()) - 1;
        if (m_empty) {
            // The recordset was empty: the new row does not become current.
            m_empty = false;
            m_pos = static_cast<long>(m_keys.size());
        }
    } else {
        std::vector<int> cols;
        for (std::size_t c = 0; c < m_columns.size(); ++c)
            if (m_dirty[c] && !m_baseColumn[c].empty()) cols.push_back(static_cast<int>(c));
        if (!cols.empty()) {
            std::string sets;
            for (std::size_t i = 0; i < cols.size(); ++i) {
                if (i) sets += ", ";
                sets += QuoteIdent(m_baseColumn[static_cast<std::size_t>(cols[i])]) + " = ?" + std::to_string(i + 1);
            }
            StmtHandle st = m_conn->Prepare(SystemSql("UPDATE " + QuoteIdent(m_table) + " SET " + sets +
                                                      " WHERE rowid = ?" + std::to_string(cols.size() + 1)));
            for (std::size_t i = 0; i < cols.size(); ++i)
                BindWrittenVariant(st.get(), static_cast<int>(i + 1), m_buffer[static_cast<std::size_t>(cols[i])]);
            sqlite3_bind_int64(st.get(), static_cast<int>(cols.size() + 1), m_keys[static_cast<std::size_t>(m_pos)]);
            if (sqlite3_step(st.get()) != SQLITE_DONE) m_conn->Fail(sqlite3_extended_errcode(db), "UPDATE " + m_table);
            // Another recordset or statement deleted the record since Edit:
            // nothing was written, which must not pass for a saved change.
            if (sqlite3_changes(db) == 0) throw DaoError(3167, "Record is deleted.");
        }
        if (m_mode == Mode::Cached) m_rows[static_cast<std::size_t>(m_pos)] = m_buffer;
        m_currentLoaded = -1;
        m_lastModified = m_pos;
    }
    m_editMode = dbEditNone;
    m_buffer.clear();
    m_dirty.clear();
}

void Recordset::Delete() {
    checkOpen();
    if (!m_updatable || m_appendOnly) throw notUpdatable();
    if (m_editMode) CancelUpdate();
    requireCurrent();
    StmtHandle st = m_conn->Prepare(SystemSql("DELETE FROM " + QuoteIdent(m_table) + " WHERE rowid = ?1"));
    sqlite3_bind_int64(st.get(), 1, m_keys[static_cast<std::size_t>(m_pos)]);
    if (sqlite3_step(st.get()) != SQLITE_DONE) m_conn->Fail(sqlite3_extended_errcode(m_conn->handle()), "DELETE FROM " + m_table);
    m_deleted.Set(static_cast<std::size_t>(m_pos));
    ++m_deletedCount;
    m_currentLoaded = -1;
}

void Recordset::Requery() {
    checkOpen();
    CancelUpdate();
    // The records are read anew, in places that need not be the old ones:
    // the bookmarks set before no longer hold.
    ++m_generation;
    m_rows.clear();
    m_keys.clear();
    m_deleted.clear();
    m_deletedCount = 0;
    m_lastModified = -1;
    m_currentLoaded = -1;
    m_streamDone = false;
    if (m_mode == Mode::Keyset) {
        m_fetch.reset();
        openKeyset();
    } else if (m_updatable) {
        openCached();
    } else {
        openStream();
    }
}

// --- searching -----------------------------------------------------------------------

void Recordset::findImpl(const std::string& criteria, long start, int direction) {
    checkOpen();
    materialize();
    // A search moves off the record: a change not yet written is dropped,
    // as by any move (the rows are searched, not the pending values, and a
    // later Update cannot write them onto the record found).
    if (m_editMode) CancelUpdate();
    TranslatedSql expr = JetSqlTranslator::TranslateExpression(criteria);
    // Evaluate the criteria against one row at a time, its values bound as a
    // one-row table whose columns carry the recordset's field names.
    std::string select;
    std::unordered_set<std::string_view, detail::NameHash, detail::NameEqual> seen;
    std::vector<int> bound;
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        if (!seen.insert(m_columns[c].name).second) continue;
        bound.push_back(static_cast<int>(c));
        if (!select.empty()) select += ", ";
        select += "?" + std::to_string(bound.size());
        select += " AS " + QuoteIdent(m_columns[c].name);
    }
    StmtHandle st = m_conn->Prepare(SystemSql("SELECT 1 FROM (SELECT " + (select.empty() ? std::string("1") : select) +
                                              ") WHERE " + expr.text()));
    long n = rowCount();
    long saved = m_pos;
    for (long pos = start; pos >= 0 && pos < n; pos += direction) {
        if (isDeleted(pos)) continue;
        m_pos = pos;
        m_currentLoaded = -1;
        sqlite3_reset(st.get());
        try {
            for (std::size_t i = 0; i < bound.size(); ++i) BindVariant(st.get(), static_cast<int>(i + 1), GetValue(bound[i]));
        } catch (const DaoError& e) {
            // A record another recordset or statement deleted is passed over.
            if (e.Number() == 3167) continue;
            m_pos = saved;
            m_currentLoaded = -1;
            throw;
        }
        int rc = sqlite3_step(st.get());
        if (rc == SQLITE_ROW) {
            m_noMatch = false;
            return;
        }
        if (rc != SQLITE_DONE) m_conn->Fail(sqlite3_extended_errcode(m_conn->handle()), criteria);
    }
    m_pos = saved;
    m_currentLoaded = -1;
    m_noMatch = true;
}

void Recordset::FindFirst(const std::string& criteria) { materialize(); findImpl(criteria, 0, 1); }
void Recordset::FindLast(const std::string& criteria) { materialize(); findImpl(criteria, rowCount() - 1, -1); }
void Recordset::FindNext(const std::string& criteria) { materialize(); findImpl(criteria, m_pos + 1, 1); }
void Recordset::FindPrevious(const std::string& criteria) { materialize(); findImpl(criteria, m_pos - 1, -1); }

// --- Field value access ------------------------------------------------------------

Variant Field::Value() const {
    auto rs = m_recordset.lock();
    if (!rs) {
        if (m_column >= 0) throw DaoError(err::ObjectClosed, "Object invalid or no longer set.");
        throw DaoError(3219, "Invalid operation.");
    }
    return rs->GetValue(m_column);
}

bool Field::ValueAsDouble(double& x) const {
    auto rs = m_recordset.lock();
    if (!rs) {
        if (m_column >= 0) throw DaoError(err::ObjectClosed, "Object invalid or no longer set.");
        throw DaoError(3219, "Invalid operation.");
    }
    return rs->GetDouble(m_column, x);
}

void Field::SetValue(const Variant& v) {
    auto rs = m_recordset.lock();
    if (!rs) {
        if (m_column >= 0) throw DaoError(err::ObjectClosed, "Object invalid or no longer set.");
        throw DaoError(3219, "Invalid operation.");
    }
    rs->SetValue(m_column, v);
}

} // namespace dao
