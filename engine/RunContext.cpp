#include "engine/RunContext.h"

#include "engine/Varnello.h"

#include "engine/OutputTableRules.h"
#include "engine/WorkFolder.h"
#include "errors/RunTimeError.h"
#include "engine/modStatsGeneral.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iterator>

using namespace dao;

std::string RunContext::Quorb_InitDataTable(const std::string& table, const FieldList& fields, std::int16_t nSort,
                                          std::vector<long>& types, std::vector<long>& sizes, bool sortFirstData) {
    ProcGuard proc(gEngineErr, "Quorb_InitDataTable");
    std::string msg;
    try {
        int n = static_cast<int>(fields.size()) - 1;
        std::string sql = "SELECT ";
        for (int i = 1; i <= n; ++i) {
            if (i > 1) sql += ", ";
            sql += BracketName(fields[static_cast<std::size_t>(i)]);
        }
        sql += " FROM " + BracketName(table);
        int k = nSort == n ? n : sortFirstData ? nSort + 1 : nSort;
        for (int i = 1; i <= k; ++i) {
            sql += i > 1 ? "," : " ORDER BY ";
            // Group values are sorted as they are stored (a group may be a text),
            // a Yes/No field as it is read; the values of a number field as numbers.
            const std::string& f = fields[static_cast<std::size_t>(i)];
            sql += i > nSort ? SortTerm(table, f) : GroupTerm(table, f);
        }
        msg = OpenDataRecordset(sql);
        if (!msg.empty()) return msg;
        if (m_dataRs->RecordCount() < 1) return "No records found in " + table;
        Quorb_InitFieldTypes(table, *m_dataRs, static_cast<std::int16_t>(n), fields, types, sizes);
    } catch (...) {
        // The input could not be made: the run fails with the cause, and no
        // analysis goes on to read a recordset that was never opened.
        proc.HandleError();
        msg = UnexpectedErrorMessage(proc.Handler(), "The data of " + table + " could not be read.");
    }
    return msg;
}

std::string RunContext::SortTerm(const std::string& table, const std::string& field) const {
    // A column of texts (region names) is sorted as its texts.
    return NumberTerm(table, field, BracketName(field));
}

namespace {

// A Yes/No field is read as True (-1) for any number but 0 and as False (0)
// for 0 and Null; another program stores True as 1, and SQL would sum,
// compare, group and sort what is stored. A text or a blob another program
// stored there ("false", "No") is no Yes/No value: it stays as it is, a
// group of its own whose value fails the run where it is read, not one
// more True (SQL takes any text for more than 0). Nor is a text that reads
// as a number ("&H0", "0d0"): SQL compares it as a text, greater than every
// number, so only a number stored as one lies within the doubles' range.
std::string yesNoTerm(const std::string& term) {
    return "IIf(IsNull(" + term + ") Or (" + term + " >= -1.7976931348623157E+308 And " + term +
           " <= 1.7976931348623157E+308), IIf(" + term + " <> 0, -1, 0), " + term + ")";
}

// A date column may hold a date as the day number this program writes and as
// the texts other programs write ("2003-01-02", "1/2/2003 10:30 AM"): the
// term is the day number either way.
std::string dateTerm(const std::string& term) { return "CVDate(" + term + ")"; }

// Field types whose values are texts or bytes, never numbers.
bool isTextType(long type) {
    switch (type) {
    case dbText: case dbMemo: case dbBinary: case dbLongBinary: case dbGUID: return true;
    default: return false;
    }
}

} // namespace

long RunContext::SourceFieldType(const std::string& table, const std::string& field) const {
    if (!m_frame.source) return 0;
    try {
        RecordsetPtr rs = m_frame.source->OpenRecordset(
            "SELECT " + BracketName(field) + " FROM " + BracketName(table) + " WHERE 1 = 0;", dbOpenSnapshot);
        const long type = rs->Fields(0)->Type();
        switch (type) {
        case dbBoolean: case dbDate: case dbText: case dbMemo: case dbBinary: case dbLongBinary: case dbGUID: return type;
        default:
            if (ComputedText(table, field)) return dbText;
            // A saved query's column that it computes as a date (CVDate)
            // declares no type in its view: the query's field tells.
            if (dao::QueryDefPtr q = m_frame.source->QueryDefs().Find(table)) {
                if (dao::FieldPtr f = q->Fields().Find(field); f && f->Type() == dbDate) return dbDate;
            }
            return type;
        }
    } catch (const DaoError&) {
        return 0;
    }
}

namespace {

// A look at what a field of a table or view holds, made once a run: `look`
// runs the first time the field is asked for (a failure caches nothing).
template <class T, class Look>
const T& lookedOnce(std::map<std::string, T>& cache, const std::string& table, const std::string& field, Look look) {
    const std::string key = ToLowerAscii(table) + "\x1f" + ToLowerAscii(field);
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.emplace(key, look()).first;
    return it->second;
}

} // namespace

std::optional<Database::NonNumber> RunContext::ComputedText(const std::string& table, const std::string& field) const {
    // A view's computed column ("IIf([K] > 2, 'z', [K])", "coalesce(Code,
    // 'none')") declares no type: a recordset types it by its first value,
    // a number, and a later text would fail the run as no number in a
    // number field. Holding texts that are no numbers, it is a Text field,
    // as a column of another program's table without a declared type is.
    return lookedOnce(m_computedLooked, table, field, [&] {
        std::optional<Database::NonNumber> text;
        try {
            if (m_frame.source && m_frame.source->ComputedWithoutType(table, field)) {
                text = m_frame.source->FirstNonNumber(table, field);
                if (text && text->value.IsBytes()) text.reset(); // bytes stay no number in a number field
            }
        } catch (const DaoError&) {
            text.reset(); // a view that cannot be read fails where the run reads it
        }
        if (text) m_computedTexts.insert(ToLowerAscii(field));
        return text;
    });
}

std::string RunContext::NumberTerm(const std::string& table, const std::string& field, const std::string& term) const {
    if (!m_frame.source) return term;
    return numberTerm(SourceFieldType(table, field), table, field, term);
}

std::string RunContext::numberTerm(long type, const std::string& table, const std::string& field,
                                   const std::string& term) const {
    if (type == dbBoolean) return yesNoTerm(term);
    // A date another program stored as a text is the day number it is read as
    // (SQL would take "2003-01-02" for 2003 against a bound).
    if (type == dbDate) return dateTerm(term);
    if (type == 0 || isTextType(type) || !m_frame.source->DeclaresNoType(table, field)) return term;
    return term + "+0";
}

std::string RunContext::AsDouble(const std::string& numberTerm) { return "(" + numberTerm + ") * 1.0"; }

std::string RunContext::RuleTerm(const std::string& table, const std::string& field, const std::string& term) const {
    if (!m_frame.source) return AsDouble(term);
    const long type = SourceFieldType(table, field);
    return isTextType(type) ? term : AsDouble(numberTerm(type, table, field, term));
}

bool RunContext::HoldsNumbers(const std::string& table, const std::string& field) const {
    return !m_frame.source || !isTextType(SourceFieldType(table, field));
}

std::string RunContext::GroupTerm(const std::string& table, const std::string& field) const {
    // Another program stores True as 1, this one as -1, and a Yes/No column
    // another program added may hold Nulls: sorted as stored, the records of
    // True (or of False) would come in two runs, each a group of its own.
    // A date column may hold one date as the day number this program writes
    // and as the texts other programs write ("2003-01-02", "1/2/2003",
    // "2003-01-02T10:30:00"): sorted as stored, numbers before texts and
    // texts letter by letter, one date would come in several runs, each a
    // group of its own, and the groups out of their order in time.
    // A column without a declared type may hold one number as a number and as
    // a text ("1" beside 1, "02" beside 2), which the group break takes for one
    // value: sorted as stored, numbers before texts, its records would come in
    // two runs, each a group of its own, and a text could join the group of
    // the number before it. Such a column is sorted and grouped by the value
    // of its numbers and number texts; other texts stay as they are.
    // One that also holds texts that are no numbers is a Text field, read as
    // texts: "02" is not "2" there, and its values are sorted as stored.
    const std::string term = BracketName(field);
    if (!m_frame.source) return term;
    const long type = SourceFieldType(table, field);
    switch (type) {
    case dbBoolean: return yesNoTerm(term);
    case dbDate: return dateTerm(term);
    default: break;
    }
    if (isTextType(type)) {
        // A text column may hold some of its values as bytes (a blob), which
        // the field reads as the texts they spell: sorted as stored, bytes
        // after every text and letter by letter, "A" in bytes would come as
        // a group of its own after the texts' "a". They are sorted and
        // grouped as their texts. (A column of no declared type keeps its
        // numbers as numbers.)
        if (type == dbText || type == dbMemo) {
            try {
                const bool bytes = lookedOnce(m_bytesLooked, table, field, [&] {
                    return !m_frame.source->DeclaresNoType(table, field) && !KeepsDeclaredType(table, field) &&
                           m_frame.source->HoldsBytes(table, field);
                });
                if (bytes) return "IIf(IsNull(" + term + "), " + term + ", CStr(" + term + "))";
            } catch (const DaoError&) {
            }
        }
        return term;
    }
    try {
        if (m_frame.source->DeclaresNoType(table, field))
            return "IIf(IsNumeric(" + term + "), " + term + "+0, " + term + ")";
    } catch (const DaoError&) {
    }
    return term;
}

std::string RunContext::OpenDataRecordset(const std::string& sql) {
    std::string text = sql;
    if (text.empty() || text.back() != ';') text += ";";
    try {
        m_dataRs = m_frame.source->OpenRecordset(text, dbOpenDynaset, dbReadOnly | dbSeeChanges);
        // A number field that holds no number (another program stored a
        // text or a blob there) fails the run at that record.
        std::weak_ptr<Recordset> read = m_dataRs;
        m_dataRs->SetNumberGuard([this, read](const Variant& value, const std::string& field) {
            if (m_computedTexts.count(ToLowerAscii(field))) return; // read as texts
            notANumber(value, field, read.lock().get());
        });
    } catch (const DaoError& e) {
        m_dataRs.reset();
        if (e.Number() == err::ParametersExpected) return ParametersExpectedText;
        return e.Description();
    } catch (const std::exception& e) {
        m_dataRs.reset();
        return e.what();
    }
    return {};
}

void RunContext::Quorb_InitFieldTypes(const std::string& table, Recordset& rs, std::int16_t n, const FieldList& fields,
                                      std::vector<long>& types, std::vector<long>& sizes) {
    ProcGuard proc(gEngineErr, "Quorb_InitFieldTypes");
    try {
        types.assign(static_cast<std::size_t>(n) + 1, 0);
        sizes.assign(static_cast<std::size_t>(n) + 1, 0);
        for (int i = 1; i <= n; ++i) {
            auto f = rs.Fields(fields[static_cast<std::size_t>(i)]);
            RunFieldType(table, *f, types[static_cast<std::size_t>(i)], sizes[static_cast<std::size_t>(i)]);
        }
        m_binaryCompare = n > 0 && rs.Fields(0)->CollatingOrder() != dbSortGeneral;
    } catch (...) {
        proc.HandleError();
    }
}

namespace {
// The most characters a Text field holds.
constexpr long kLongestTextField = 255;
} // namespace

bool RunContext::KeepsDeclaredType(const std::string& table, const std::string& field) const {
    if (!m_frame.source) return false;
    return lookedOnce(m_typeKept, table, field, [&] {
        try {
            return m_frame.source->KeepsDeclaredType(table, field);
        } catch (const DaoError&) {
            return false;
        }
    });
}

void RunContext::RunFieldType(const std::string& table, Field& f, long& type, long& size) const {
    type = f.Type();
    size = f.Size();
    // A computed column typed by its first value, a number, that
    // holds texts too: its values are texts, its output column Text.
    const long sourceType = isTextType(f.Type()) ? 0 : SourceFieldType(table, f.Name());
    if (isTextType(sourceType)) {
        type = dbText;
        size = 255;
    } else if (sourceType == dbDate && (f.Type() == dbLong || f.Type() == dbDouble)) {
        // A saved query's date computed by CVDate: its values are dates.
        type = dbDate;
        size = 8;
    } else if (m_frame.source) {
        const bool computed = (f.Type() == dbLong || f.Type() == dbDouble) && m_frame.source->ComputedWithoutType(table, f.Name());
        // Another program may store a real in a column declared whole
        // (3.7 in an INTEGER column) or one of more than four decimals in a
        // currency column (1.23456 in a MONEY column): it is a value of its
        // own, and a column of the declared type would round it onto
        // another (4, 1.2346).
        // (A column of a table this layer made holds only what the layer
        // wrote there, each value of the field's type.)
        const bool theirs = !computed && !KeepsDeclaredType(table, f.Name());
        const bool whole = theirs && (f.Type() == dbByte || f.Type() == dbInteger || f.Type() == dbLong || f.Type() == dbBigInt);
        const bool currency = theirs && f.Type() == dbCurrency;
        // And it may store whole numbers no double holds (2^53 and 2^53 + 1,
        // as keys) in a column read as Double (NUMERIC, DECIMAL or none):
        // a Double column would write both as 2^53. A REAL column (DOUBLE,
        // FLOAT) holds none: SQLite makes every number put there a real.
        const bool real = theirs && (f.Type() == dbDouble || f.Type() == dbDecimal) &&
                          !m_frame.source->StoresNumbersAsReals(table, f.Name());
        // Nor need a value fit the declared width: 40000 in a SMALLINT
        // column, 300 or -1 in a TINYINT one, 1e300 in a FLOAT(10) one. It
        // is read as it is, and its output column is as wide as it.
        const bool single = theirs && f.Type() == dbSingle;
        // A computed column is typed by its first value. Typed Long
        // by a whole number, it may hold reals too (1, then 2.5): an
        // output column of its values is Double, which rounds none
        // of them. Typed Double by a whole number beyond 32 bits, it
        // may hold only whole numbers (2^53 and 2^53 + 1): the column
        // is BigInt, as a table's BIGINT column is, and keeps every
        // digit.
        if (computed || whole || currency || real || single) try {
            // Looked at once a run: the field is typed again for each table
            // of output made from it.
            const Database::StoredNumbers held = lookedOnce(m_numbersHeld, table, f.Name(), [&] {
                Database::StoredNumbers numbers;
                // A currency field's reals count where they are finer than a currency value.
                if (currency) numbers.real = m_frame.source->HoldsRealsFinerThanCurrency(table, f.Name());
                else numbers = m_frame.source->NumbersStored(table, f.Name());
                return numbers;
            });
            if (single) {
                if (held.beyondSingle) {
                    type = dbDouble;
                    size = 8;
                }
            } else if (!real && held.real) {
                type = dbDouble;
                size = 8;
            } else if (!held.real && (computed ? held.wide : real && held.beyondDouble)) {
                type = dbBigInt;
                size = 8;
            } else if (whole && (f.Type() == dbByte ? held.beyondByte : f.Type() == dbInteger && held.beyondInteger)) {
                type = held.beyondInteger ? dbLong : dbInteger;
                size = held.beyondInteger ? 4 : 2;
            }
        } catch (const DaoError&) {
            // Not to be looked into: the column keeps its type.
        }
    }
    if (type == dbText && m_frame.source && !KeepsDeclaredType(table, f.Name())) {
        // Another program's VARCHAR(3) may hold "Straße", its TEXT a text of
        // 300 characters: an output column of the field's values is as
        // long as its longest text, a memo beyond what a Text field holds.
        try {
            const long longest =
                lookedOnce(m_longestTexts, table, f.Name(), [&] { return m_frame.source->LongestText(table, f.Name(), size); });
            if (longest > kLongestTextField) {
                type = dbMemo;
                size = 0;
            } else if (longest > size) {
                size = longest;
            }
        } catch (const DaoError&) {
            // Not to be looked into: the field keeps its size.
        }
    }
}

std::string RunContext::Quorb_DataWhere(const std::string& f) const {
    // Bounds are written in the invariant round-trip form, so that the SQL
    // reads back exactly the double the rule holds, whatever the locale.
    auto num = [](double v) { return FormatDoubleRoundTrip(v); };
    if (NamesEqual(m_missingRule, "Equal")) return "(" + f + " <> " + num(m_missingEqual) + ")";
    if (NamesEqual(m_missingRule, "Low")) return "(" + f + " >= " + num(m_missingLow) + ")";
    if (NamesEqual(m_missingRule, "High")) return "(" + f + " <= " + num(m_missingHigh) + ")";
    if (NamesEqual(m_missingRule, "Both"))
        return "(" + f + " Between " + num(m_missingLow) + " And " + num(m_missingHigh) + ")";
    return {};
}

bool RunContext::Quorb_DataOk_b(double x, bool bEqualOnly) const {
    if (bEqualOnly) return !(NamesEqual(m_missingRule, "Equal") && x == m_missingEqual);
    if (NamesEqual(m_missingRule, "Equal")) return x != m_missingEqual;
    if (NamesEqual(m_missingRule, "Low")) return x >= m_missingLow;
    if (NamesEqual(m_missingRule, "High")) return x <= m_missingHigh;
    if (NamesEqual(m_missingRule, "Both")) return m_missingLow <= x && x <= m_missingHigh;
    return true;
}

double RunContext::Quorb_WeightCalc(bool bWeight, const FieldList& fields, std::int16_t weightIndex) {
    ProcGuard proc(gEngineErr, "Quorb_WeightCalc");
    double w = 0;
    try {
        if (!bWeight) return 1.0;
        w = WeightOf(m_dataRs->Fields(fields[static_cast<std::size_t>(weightIndex)])->Value());
    } catch (...) {
        proc.HandleError();
    }
    return w;
}

double RunContext::WeightOf(const Variant& v) const {
    if (v.IsNull()) return 0.0;
    double d = v.ToDouble();
    if (NamesEqual(m_missingRule, "Equal") && d == m_missingEqual) return 0.0;
    return d > 0 ? d : 0.0;
}

bool RunContext::Quorb_SameRecords_b(std::int16_t n, bool bCompare, std::vector<Variant>& previous,
                                   const std::vector<Variant>& current) const {
    if (!bCompare) {
        for (int i = 1; i <= n; ++i) previous[static_cast<std::size_t>(i)] = current[static_cast<std::size_t>(i)];
        return false;
    }
    for (int i = 1; i <= n; ++i) {
        const Variant& p = previous[static_cast<std::size_t>(i)];
        const Variant& c = current[static_cast<std::size_t>(i)];
        if (p.IsNull() != c.IsNull()) return true;
        if (p.IsNull()) continue;
        if (p.IsString() && m_binaryCompare) {
            if (!c.IsString() || p.RawString() != c.RawString()) return true;
            continue;
        }
        // The same text is the same value under any comparison: the records
        // of one group, read in a row, mostly need no more than this.
        if (p.IsString() && c.IsString() && p.RawString() == c.RawString()) continue;
        if (!p.Equals(c, true)) return true;
    }
    return false;
}

void RunContext::HoldOutput(bool hold) noexcept {
    {
        std::lock_guard lock(m_holdMutex);
        m_outputHeld = hold;
    }
    m_holdReleased.notify_all();
}

void RunContext::WaitWhileOutputHeld() {
    std::unique_lock lock(m_holdMutex);
    m_holdReleased.wait(lock, [this] { return !m_outputHeld; });
}

bool RunContext::Quorb_SameValue(const Variant& a, const Variant& b, bool bTextCompare) const {
    if (a.IsNull() && b.IsNull()) return true;
    if (a.IsNull() || b.IsNull()) return false;
    if (!a.IsString()) return a.Equals(b, false);
    if (bTextCompare) return a.Equals(b, true);
    if (m_binaryCompare) return b.IsString() && a.RawString() == b.RawString();
    return a.Equals(b, true);
}

void RunContext::Quorb_Msg(long r, bool bForce, const std::string& m) {
    // A stop asked for from another thread ends the analysis here, at the
    // record it counts: run-time error 18, which the run turns into its
    // stopped message without an error report.
    if (m_stopRequested.load(std::memory_order_relaxed)) throw RunTimeError(18);
    // A step's text names the step an unexpected error report shows.
    if (r == 0 && m_frame.handler) m_frame.handler->SetCurrentOperation(m);
    if (!m_frame.showStatus || !m_frame.events) return;
    // The text is built in the run's own buffer: the count every fifth record
    // allocates nothing.
    std::string& text = m_statusText;
    if (r == 0) {
        text.assign(m).append("...");
    } else if (r % 5 == 0 || bForce) {
        if (m.empty()) {
            char digits[24];
            text.assign("Analyzing record: ").append(digits, std::to_chars(digits, std::end(digits), r).ptr);
        } else {
            text.assign(m);
        }
    } else {
        return;
    }
    raiseStatStatus(text);
}

bool RunContext::Quorb_UTIL_MakeTempDB() {
    ProcGuard proc(gEngineErr, "Quorb_UTIL_MakeTempDB");
    try {
        if (m_tempDb && m_tempDb->IsOpen()) {
            try {
                m_tempDb->Close();
            } catch (...) {
            }
        }
        m_tempDb.reset();
        if (!m_tempDbPath.empty()) {
            std::error_code ec;
            std::filesystem::remove(m_tempDbPath + "-journal", ec);
            std::filesystem::remove(m_tempDbPath, ec);
            if (ec) {
                m_tempDbError = "The old work database " + m_tempDbPath + " cannot be deleted: " + ec.message();
                return false;
            }
            m_tempDbPath.clear();
        }
        // A file of this run's own, made private before the database opens it.
        m_tempDbPath = WorkFolder::NewFile("vrl");
        ConnectOptions own;
        own.workFile = true;
        own.pageSize = 65536;
        m_tempDb = DBEngine().Workspaces(0)->OpenDatabase(m_tempDbPath, false, false, own);
        // Its tables are written in sequence and read back run by run: a small
        // page cache serves them (a page a reader stands on stays whatever
        // the size), and the run's memory does not grow with its tables.
        m_tempDb->conn()->Exec(SystemSql("PRAGMA cache_size = -512"));
        return true;
    } catch (const RunTimeError& e) {
        m_tempDbError = e.Description();
    } catch (const DaoError& e) {
        m_tempDbError = "The temporary work database cannot be made in " +
                        std::filesystem::path(m_tempDbPath).parent_path().string() + ": " + e.Description();
    } catch (const std::exception& e) {
        m_tempDbError = std::string("The temporary work database cannot be made: ") + e.what();
    }
    return false;
}

std::string RunContext::Quorb_CreateTable(const TableDefPtr& td, bool bOpen) {
    std::string msg;
    try {
        if (!m_frame.output) return "No output database is open for the table " + (td ? td->Name() : std::string()) + ".";
        m_frame.output->TableDefs().Append(td);
    } catch (const DaoError& e) {
        return e.Description();
    } catch (const std::exception& e) {
        return e.what();
    }
    // A table that was made but cannot be opened fails the step: no analysis
    // may go on without its output recordset.
    if (bOpen) {
        try {
            m_outputRs = m_frame.output->OpenRecordset(td->Name(), dbOpenDynaset);
        } catch (const DaoError& e) {
            m_outputRs.reset();
            msg = e.Description();
        } catch (const std::exception& e) {
            m_outputRs.reset();
            msg = e.what();
        }
        if (msg.empty() && !m_outputRs) msg = "The output table " + td->Name() + " could not be opened.";
    }
    return msg;
}

void RunContext::Quorb_DeleteTable(bool bTemp, const std::string& table) {
    try {
        DatabasePtr db = bTemp ? m_tempDb : m_frame.output;
        if (db) db->TableDefs().Delete(table);
    } catch (...) {
    }
}

void RunContext::Quorb_EmptyTable(bool bTemp, const std::string& table, long rows, const DatabasePtr& db) {
    ProcGuard proc(gEngineErr, "Quorb_EmptyTable");
    try {
        if (rows <= 0) return;
        DatabasePtr target = bTemp ? m_tempDb : db;
        if (rows >= 100) target->Execute("DELETE DISTINCTROW * FROM " + BracketName(table));
        else EmptyTable2(bTemp, table, db);
    } catch (...) {
        proc.HandleError();
    }
}

void RunContext::EmptyTable2(bool bTemp, const std::string& table, const DatabasePtr& db) {
    ProcGuard proc(gEngineErr, "EmptyTable2");
    try {
        DatabasePtr target = bTemp ? m_tempDb : db;
        RecordsetPtr rs = bTemp ? target->OpenRecordset(table, dbOpenTable) : target->OpenRecordset(table);
        TransactionGuard tx(*DBEngine().Workspaces(0));
        while (!rs->EOF_()) {
            rs->Delete();
            rs->MoveNext();
        }
        tx.Commit();
        rs->Close();
        // The database belongs to the caller: it stays open.
    } catch (...) {
        proc.HandleError();
    }
}

bool RunContext::Util_FieldExists(const std::string& table, const std::string& field, const DatabasePtr& db) {
    ProcGuard proc(gEngineErr, "Util_FieldExists");
    TableDefPtr td;
    try {
        td = db->TableDefs()(table);
    } catch (...) {
        proc.HandleError();
        return false;
    }
    try {
        (void)td->Fields()(field)->Name();
        return true;
    } catch (...) {
        return false;
    }
}

// --- output tables ---------------------------------------------------------------------


namespace {

// The same columns, in the same order, with the same types and text sizes.

bool sameLayout(TableDef& existing, TableDef& wanted) {
    if (existing.Indexes().Count() != 0) return false;
    Fields& a = existing.Fields();
    Fields& b = wanted.Fields();
    if (a.Count() != b.Count()) return false;
    // The definition's fields sorted by their ordinal positions, as the table stores them.
    std::vector<FieldPtr> want;
    for (int i = 0; i < b.Count(); ++i) want.push_back(b(i));
    std::stable_sort(want.begin(), want.end(),
                     [](const FieldPtr& x, const FieldPtr& y) { return x->OrdinalPosition() < y->OrdinalPosition(); });
    for (int i = 0; i < a.Count(); ++i) {
        const FieldPtr& have = a(i);
        const FieldPtr& need = want[static_cast<std::size_t>(i)];
        if (have->Name() != need->Name() || have->Type() != need->Type()) return false;
        if (need->Type() == dbText && have->Size() != need->Size()) return false;
        // A table of an earlier version refuses the empty text the new one takes.
        if (need->AllowZeroLength() && !have->AllowZeroLength()) return false;
        if (have->Attributes() & dbAutoIncrField) return false;
    }
    return true;
}

} // namespace

std::string RunContext::OutputNameRefusal(const std::string& name, const std::string& sourceTable) const {
    OutputTableRules::Context cx;
    cx.output = m_frame.output;
    cx.source = m_frame.source;
    cx.sourceTable = sourceTable;
    cx.scenarioTables = m_frame.scenarioTables;
    return OutputTableRules::Refusal(name, cx);
}

std::string RunContext::ReplaceOutputTable(const TableDefPtr& td, bool open, const std::function<std::string()>& reopen,
                                         const std::string& sourceTable) {
    DatabasePtr out = OutputDatabase();
    if (!td) return "The output table has no definition.";
    if (!out) return "No output database is open for the table " + td->Name() + ".";
    std::string refusal = OutputNameRefusal(td->Name(), sourceTable);
    if (!refusal.empty()) return refusal;
    // A table the database cannot hold is refused before anything is touched.
    try {
        const int columns = td->Fields().Count();
        const int limit = out->ColumnLimit();
        if (columns > limit)
            return "The output table " + td->Name() + " would have " + std::to_string(columns) +
                   " columns, more than the " + std::to_string(limit) +
                   " a table can hold: choose fewer fields or options that make fewer columns.";
    } catch (const DaoError& e) {
        return "The output table " + td->Name() + " could not be made: " + e.Description();
    }
    for (const auto& done : m_runOutputs)
        if (NamesEqual(done, td->Name()))
            return "Both output tables are named " + td->Name() + "; give them different names.";
    const std::string name = td->Name();
    TableDefPtr existing;
    try {
        out->TableDefs().Refresh();
        existing = out->TableDefs().Find(name);
    } catch (const DaoError& e) {
        return "The output table " + name + " could not be looked up: " + e.Description();
    }
    if (existing && sameLayout(*existing, *td)) {
        try {
            out->Execute("DELETE FROM " + BracketName(existing->Name()));
            if (open) SetOutputRecordset(out->OpenRecordset(existing->Name(), dbOpenDynaset));
            m_runOutputs.push_back(name);
            return {};
        } catch (const DaoError& e) {
            return "The output table " + name + " could not be emptied: " + e.Description();
        }
    }
    if (existing) {
        // The table cannot be dropped while a query on the same file is being read.
        bool hadData = false;
        if (auto rs = m_dataRs) {
            rs->Close();
            SetDataRecordset(nullptr);
            hadData = true;
        }
        try {
            out->TableDefs().Delete(existing->Name());
        } catch (const DaoError& e) {
            return "The output table " + name + " could not be replaced: " + e.Description();
        }
        if (hadData && reopen) {
            std::string msg = reopen();
            if (!msg.empty()) return msg;
        }
    }
    std::string msg = Quorb_CreateTable(td, open);
    if (msg.empty()) m_runOutputs.push_back(name);
    return msg;
}

double RunContext::DataValue(const Variant& value, const std::string& field) {
    try {
        return value.ToDouble();
    } catch (const std::exception&) {
    }
    notANumber(value, field, m_dataRs.get());
}

std::string RunContext::recordText(Recordset* read) {
    try {
        if (read && read->AbsolutePosition() >= 0)
            return " (record " + std::to_string(read->AbsolutePosition() + 1) + " in the order the analysis reads the data)";
    } catch (...) {
    }
    return {};
}

namespace {
// A value that is no number as a message shows it: a text in quotes, the
// bytes of a blob as X'..'.
// A value as a message names it: a long text by its first 40 characters,
// so that the field and the record after it stay in sight (bytes are cut
// by ValueText).
std::string shownValue(const Variant& value) {
    if (value.IsBytes()) return ValueText(value);
    std::string text = ValueText(value);
    constexpr std::size_t kShown = 40;
    if (CharLength(text) > kShown) text = LeftChars(text, kShown) + "...";
    return "'" + text + "'";
}
} // namespace

void RunContext::notANumber(const Variant& value, const std::string& field, Recordset* read) {
    const std::string where = recordText(read);
    throw RunTimeError(13, "Type mismatch: the value " + shownValue(value) + " in field " + field + where + " is not a number.");
}

void RunContext::NotFinite(double value, const std::string& field) {
    throw RunTimeError(6, "Overflow: the value " + ValueText(Variant(value)) + " in field " + field +
                              recordText(m_dataRs.get()) + " is not a finite number.");
}

std::string RunContext::CheckNumbers(const std::string& table, const std::vector<std::string>& fields) {
    for (const std::string& field : fields) {
        std::optional<Database::NonNumber> bad;
        try {
            bad = m_frame.source->FirstNonNumber(table, field, SourceFieldType(table, field) == dbDate);
        } catch (const DaoError& e) {
            return e.Description();
        }
        if (bad) return NotANumberText(*bad, field, table);
    }
    return {};
}

std::string RunContext::NotANumberText(const Database::NonNumber& bad, const std::string& field, const std::string& table) {
    return "Type mismatch: the value " + shownValue(bad.value) + " in field " + field + " (record " + std::to_string(bad.record) + " of " +
           table + ") is not a number.";
}

dao::RecordsetPtr RunContext::InputRecordset() const {
    if (!m_dataRs) throw RunTimeError(91, "Object variable or With block variable not set: the input data was not opened.");
    return m_dataRs;
}

std::string RunContext::UnexpectedErrorMessage(const CErr_ZUR* handler, const std::string& fallback) {
    if (handler && !handler->ErrDescription().empty()) return handler->ErrDescription();
    return fallback;
}

// --- the run's frame -----------------------------------------------------------------------

RunContext::~RunContext() { End(); }

void RunContext::Begin(Frame frame) {
    End();
    m_frame = std::move(frame);
    m_runOutputs.clear();
    m_tempDbError.clear();
    m_binaryCompare = false;
    m_computedLooked.clear();
    m_computedTexts.clear();
    m_numbersHeld.clear();
    m_longestTexts.clear();
    m_bytesLooked.clear();
    m_typeKept.clear();
    m_missingRule.clear();
    m_missingEqual = m_missingLow = m_missingHigh = 0;
}

void RunContext::CloseRecordsets() noexcept {
    for (auto* rs : {&m_dataRs, &m_outputRs, &m_outputRs2}) {
        try {
            if (*rs) (*rs)->Close();
        } catch (...) {
        }
        rs->reset();
    }
}

void RunContext::End() noexcept {
    try {
        if (!m_tempDbPath.empty()) {
            if (m_tempDb) m_tempDb->Close();
            m_tempDb.reset();
            DBEngine().Idle(dbRefreshCache);
            std::error_code ec;
            std::filesystem::remove(m_tempDbPath, ec);
            std::filesystem::remove(m_tempDbPath + "-journal", ec);
            m_tempDbPath.clear();
        }
    } catch (...) {
    }
    CloseRecordsets();
}

void RunContext::ReportLockWait(const std::string& path, std::chrono::milliseconds waited,
                                std::chrono::milliseconds limit) {
    if (!m_frame.showStatus || !m_frame.events) return;
    auto seconds = [](std::chrono::milliseconds t) { return std::to_string((t.count() + 500) / 1000); };
    m_statusText = "Waiting for another program to release " + path + " (" + seconds(waited) + " of " +
                   seconds(limit) + " seconds)...";
    raiseStatStatus(m_statusText);
}

// The listener may change the text: each event fills it anew.
void RunContext::raiseStatStatus(std::string& msg) {
    if (m_frame.events) m_frame.events->StatStatus(msg);
}
