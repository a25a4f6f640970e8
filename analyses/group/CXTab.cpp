#include "analyses/group/CXTab.h"

#include "db/JetFunctions.h"
#include "engine/CZValue.h"
#include "engine/Moments.h"
#include "engine/VarnelloCore.h"
#include "engine/modStatsGeneral.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "errors/RunTimeError.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <set>
#include <tuple>

using namespace dao;

namespace {

constexpr const char* kAllRecords = "Calc All Records";
constexpr const char* kNullKey = "\x01<NULL>"; // the Null column's key: no text equals it

std::size_t sz(int i) { return static_cast<std::size_t>(i); }

std::string trimmed(const std::string& s) {
    std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    std::size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

// A number in SQL: whole numbers as written, others in their round-trip
// form; the decimal point is '.' whatever the locale.
std::string numText(double v) {
    if (std::fabs(v) < 1e15 && v == std::floor(v)) return std::to_string(static_cast<long long>(v));
    return FormatDoubleRoundTrip(v);
}

const char* labelOf(char letter) {
    switch (letter) {
    case 'C': return "Count";
    case 'U': return "UniqueCount";
    case 'S': return "Sum";
    case 'A': return "Average";
    case 'M': return "Min";
    case 'X': return "Max";
    case 'R': return "Range";
    case 'O': return "Mode";
    case 'V': return "Var";
    case 'F': return "CoefVar";
    case 'D': return "StDev";
    case 'E': return "StError";
    case '1': return "First";
    case 'L': return "Last";
    default: return nullptr;
    }
}

bool isVarianceLetter(char l) { return l == 'V' || l == 'F' || l == 'D' || l == 'E'; }

} // namespace

void CXTab::Fail(ProcGuard& proc) {
    proc.HandleError();
    if (m_error.empty()) m_error = VarnelloCore::UnexpectedErrorMessage(proc.Handler(), "Unexpected error in Crosstab");
}

// ---- cell values ------------------------------------------------------------------------

std::optional<double> CXTab::CalcValue(char letter, const Cell& c) {
    if (!(c.N > 0)) return std::nullopt;
    switch (letter) {
    case 'C':
    case 'S': return c.SumX;
    case 'A': return c.SumX / c.N;
    case 'M': return c.Low;
    case 'X': return c.High;
    case 'R': return Moments::DecimalDifference(c.High, c.Low);
    case '1':
    case 'L': return c.FirstLast;
    case 'U': return static_cast<double>(c.Tally.size());
    case 'O': {
        // The value of the largest weight; on a tie the smaller value.
        std::optional<double> mode;
        double best = 0;
        for (const auto& [v, w] : c.Tally)
            if (!mode || w > best) {
                mode = v;
                best = w;
            }
        return mode;
    }
    default: break;
    }
    if (!isVarianceLetter(letter) || !(c.N > 1)) return std::nullopt;
    // The sum of squares about the cell's mean (its moments, merged exactly).
    const double var = c.M2 > 0 ? c.M2 / (c.N - 1) : 0.0;
    switch (letter) {
    case 'V': return var;
    case 'D': return std::sqrt(var);
    case 'E': return std::sqrt(var / c.N);
    default:
        // The coefficient of variation has no value for a mean of 0.
        if (c.SumX == 0) return std::nullopt;
        return std::sqrt(var) * c.N / c.SumX;
    }
}

void CXTab::Merge(Cell& into, const Cell& from) const {
    if (from.Records <= 0) return;
    if (into.Records == 0) {
        into.High = from.High;
        into.Low = from.Low;
        into.FirstLast = from.FirstLast;
    } else {
        into.High = std::max(into.High, from.High);
        into.Low = std::min(into.Low, from.Low);
        if (m_letter == 'L') into.FirstLast = from.FirstLast; // the later cell
    }
    if (isVarianceLetter(m_letter)) {
        // Chan's update on the means' deviations from this cell's reference.
        const double w = into.N + from.N;
        if (into.N > 0 && w > 0) {
            const double d2 = Moments::DecimalDifference(from.K, into.K) + from.Dev;
            const double delta = d2 - into.Dev;
            into.M2 += from.M2 + delta * delta * into.N * from.N / w;
            into.Dev += delta * from.N / w;
        } else {
            into.K = from.K;
            into.Dev = from.Dev;
            into.M2 = from.M2;
        }
    }
    into.Records += from.Records;
    into.N += from.N;
    into.SumX += from.SumX;
    // The values are gathered here and put in order once, by Normalize.
    if (!from.Tally.empty()) {
        into.Tally.insert(into.Tally.end(), from.Tally.begin(), from.Tally.end());
        into.TallyMerged = true;
    }
}

void CXTab::Normalize(Cell& c) {
    if (!c.TallyMerged) return;
    auto& t = c.Tally;
    std::sort(t.begin(), t.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::size_t out = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (out > 0 && t[out - 1].first == t[i].first) t[out - 1].second += t[i].second;
        else t[out++] = t[i];
    }
    t.resize(out);
    c.TallyMerged = false;
}

// ---- missing values in SQL ----------------------------------------------------------------

std::string CXTab::DataOk_Str(const std::string& f, bool bEqualOnly, const std::string& sIn,
                              const std::string& sOut) const {
    const VarnelloCore& eng = *m_Engine;
    const std::string& rule = eng.MissingRule();
    std::string c;
    if (NamesEqual(rule, "Equal")) c = f + "<>" + numText(eng.MissingEqualValue());
    else if (!bEqualOnly && NamesEqual(rule, "Low")) c = numText(eng.MissingLowValue()) + "<=" + f;
    else if (!bEqualOnly && NamesEqual(rule, "High")) c = f + "<=" + numText(eng.MissingHighValue());
    else if (!bEqualOnly && NamesEqual(rule, "Both"))
        c = "(" + numText(eng.MissingLowValue()) + "<=" + f + ") And (" + f + "<= " + numText(eng.MissingHighValue()) + ")";
    if (c.empty()) return sIn;
    return "IIf(" + c + "," + sIn + ", " + sOut + ")";
}

std::string CXTab::NullOrData_Str(const std::string& f, bool bEqualOnly, const std::string& sIn,
                                  const std::string& sOut) const {
    return "IIf(IsNull(" + f + "), Null, " + DataOk_Str(f, bEqualOnly, sIn, sOut) + ")";
}

// ---- column names ---------------------------------------------------------------------------

std::vector<std::string> CXTab::ColumnNames(const std::vector<std::string>& texts, bool bNull,
                                            std::vector<std::string> taken) {
    std::set<std::string> used;
    for (const auto& t : taken) used.insert(ToUpperAscii(t));
    std::vector<std::string> names;
    for (std::size_t k = 0; k < texts.size(); ++k) {
        std::string base = (k == 0 && bNull) ? "<NULL>" : texts[k].empty() ? "<BLANK>" : texts[k];
        // A bracket could not be named in the database's SQL.
        for (char& ch : base) {
            if (ch == '[') ch = '(';
            if (ch == ']') ch = ')';
        }
        base = base.substr(0, 64);
        std::string name = base;
        for (int n = 2; used.count(ToUpperAscii(name)); ++n) {
            const std::string suffix = "~" + std::to_string(n);
            name = base.substr(0, 64 - suffix.size()) + suffix;
        }
        used.insert(ToUpperAscii(name));
        names.push_back(name);
    }
    return names;
}

// ---- the entry ---------------------------------------------------------------------------

std::string CXTab::Quorb_Xtab(std::string OutputTable1, std::string OutputTable2, std::string Table, FieldList& Fields,
                              std::int16_t nG, std::int16_t nX, bool bWeight, std::string XType, std::string Switches,
                              VarnelloCore& Engine) {
    m_Engine = &Engine;
    ProcGuard proc(gEngineErr, "Quorb_Xtab");
    std::string msg;
    bool outputMade = false;
    try {
        m_out1 = OutputTable1;
        m_out2 = OutputTable2;
        m_table = Table;
        m_fields = Fields;
        m_nG = nG;
        m_nX = nX;
        m_bWeight = bWeight;
        m_iCol = static_cast<std::int16_t>(nG + 1);
        std::string letter = ToUpperAscii(trimmed(XType)).substr(0, 1);
        m_letter = letter.empty() ? 'C' : letter[0];
        m_switches = Switches;
        m_switches.resize(6, 'N');
        for (char& ch : m_switches) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        m_chi = m_switches[5] == 'Y' && (m_letter == 'C' || m_letter == 'S') && !trimmed(m_out2).empty();
        // Expected values belong to counts and sums only.
        if (m_letter != 'C' && m_letter != 'S') m_switches = m_switches.substr(0, 3) + "NNN";
        m_grouped = std::string("CS1LA").find(m_letter) != std::string::npos;
        const char* label = labelOf(m_letter);

        const std::size_t expected = sz(m_iCol + m_nX) + (m_bWeight ? 1 : 0);
        bool allRecords = false;
        for (int j = 1; j <= m_nX && sz(m_iCol + j) < m_fields.size(); ++j)
            if (m_fields[sz(m_iCol + j)] == "*") allRecords = true;
        if (m_nG < 1) msg = "At least one row field must be assigned";
        else if (m_fields.size() != expected + 1) msg = "Exactly one column field must be assigned";
        else if (!label) msg = "Unknown crosstab cell function: " + XType;
        else if (allRecords && m_letter != 'C') msg = "At least one X field must be assigned";
        else if (m_chi && NamesEqual(m_out1, m_out2)) msg = "The chi-square table needs a name other than the output table's";
        if (msg.empty()) m_label = label;

        if (msg.empty()) {
            Engine.Quorb_Msg(0, true, "Retrieving and sorting data");
            msg = OpenSource();
        }
        // The records are read first: the column values are found on the way
        // (no pass of their own over the table), and the groups' cells are kept.
        if (msg.empty() && !Failed()) {
            Engine.Quorb_Msg(0, true, "Analyzing records");
            ReadRecords();
            if (m_nCols == 0 && !Failed()) msg = "Column field must have at least one value";
        }
        if (msg.empty() && !Failed()) {
            SortColumns();
            if (auto rs = Engine.DataRecordset()) rs->Close();
            Engine.SetDataRecordset(nullptr);
            Engine.Quorb_Msg(0, true, "Creating output table");
            msg = CreateOutput_b();
            if (msg.empty() && !Failed()) outputMade = true;
        }
        if (msg.empty() && !Failed() && m_chi) msg = CreateChi_b();
        if (msg.empty() && !Failed()) {
            TransactionGuard tx(*DBEngine().Workspaces(0));
            for (auto& g : m_groupBuffer) {
                if (Failed()) break;
                m_prev = std::move(g.lead);
                m_rowValues = std::move(g.rowValues);
                m_staged = std::move(g.staged);
                WriteData();
            }
            tx.Commit();
        }
    } catch (...) {
        Fail(proc);
    }
    try {
        if (m_chiRs) m_chiRs->Close();
        m_chiRs.reset();
        if (outputMade)
            if (auto rs = Engine.OutputRecordset()) rs->Close();
        if (auto rs = Engine.DataRecordset()) rs->Close();
    } catch (...) {
        Fail(proc);
    }
    if (msg.empty() && Failed()) msg = m_error;
    m_Engine = nullptr;
    return msg;
}

// ---- columns and source -------------------------------------------------------------------

// The column values in the order the database sorts them: Null first, then
// numbers by value, then texts without regard to case.
void CXTab::SortColumns() {
    std::vector<int> order(sz(m_nCols));
    for (int k = 0; k < m_nCols; ++k) order[sz(k)] = k + 1;
    auto rank = [](const Variant& v) { return v.IsNull() ? 0 : v.IsString() ? 2 : 1; };
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
        const Variant &a = m_colValues[sz(x)], &b = m_colValues[sz(y)];
        if (rank(a) != rank(b)) return rank(a) < rank(b);
        if (a.IsNull()) return false;
        if (a.IsString()) return CompareGeneral(a.RawString(), b.RawString()) < 0;
        return a.ToDouble() < b.ToDouble();
    });
    std::vector<int> position(sz(m_nCols) + 1);
    std::vector<std::string> cols(1);
    for (int k = 0; k < m_nCols; ++k) {
        position[sz(order[sz(k)])] = k + 1;
        cols.push_back(m_cols[sz(order[sz(k)])]);
    }
    m_cols = cols;
    m_bNull = m_nCols > 0 && m_colValues[sz(order[0])].IsNull();
    for (auto& g : m_groupBuffer) {
        for (auto& st : g.staged) st.column = position[sz(st.column)];
        std::stable_sort(g.staged.begin(), g.staged.end(), [](const Staged& a, const Staged& b) {
            return std::tie(a.row, a.field, a.column) < std::tie(b.row, b.field, b.column);
        });
    }
}

std::string CXTab::OpenSource() {
    if (m_grouped) return InitXtabDataTable();
    return m_Engine->Quorb_InitDataTable(m_table, m_fields, m_iCol, m_types, m_sizes);
}

std::string CXTab::InitXtabDataTable() {
    ProcGuard proc(gEngineErr, "InitXtabDataTable");
    std::string msg;
    try {
        VarnelloCore& eng = *m_Engine;
        const std::string T = BracketName(m_table);
        const bool weighted = m_bWeight && std::string("CSA").find(m_letter) != std::string::npos;
        std::string w;
        if (m_bWeight) {
            // The weight rule: above 0 and not the "Equal" missing value, else 0.
            const std::string W = T + "." + BracketName(m_fields[sz(m_iCol + m_nX + 1)]);
            std::string cond = W + " > 0";
            if (NamesEqual(eng.MissingRule(), "Equal")) cond += " And " + W + "<>" + numText(eng.MissingEqualValue());
            w = "IIf(IsNull(" + W + "), 0, IIf(" + cond + ", " + W + ", 0))";
        }
        // The sums are made in SQL, where a text counts as 0: a value that is
        // no number fails the run first.
        std::vector<std::string> numbers;
        for (int j = 1; j <= m_nX && m_letter != 'C'; ++j)
            if (m_fields[sz(m_iCol + j)] != "*") numbers.push_back(m_fields[sz(m_iCol + j)]);
        if (m_bWeight) numbers.push_back(m_fields[sz(m_iCol + m_nX + 1)]);
        msg = eng.CheckNumbers(m_table, numbers);
        if (!msg.empty()) return msg;
        const std::string A = m_letter == 'C' ? "Count" : m_letter == '1' ? "First" : m_letter == 'L' ? "Last" : "Sum";
        std::string lead;
        for (int i = 1; i <= m_iCol; ++i) lead += (i > 1 ? ", " : "") + BracketName(m_fields[sz(i)]);
        std::string sql = "SELECT " + lead + ", ";
        for (int j = 1; j <= m_nX; ++j) {
            const std::string& name = m_fields[sz(m_iCol + j)];
            const bool all = name == "*";
            const std::string X = all ? std::string() : T + "." + BracketName(name);
            const std::string alias = BracketName(all ? kAllRecords : name);
            if (j > 1) sql += ", ";
            if (weighted) {
                std::string v = all ? std::string("1")
                                    : NullOrData_Str(X, false, m_letter == 'C' ? std::string("1") : X, "0");
                sql += "Sum(" + v + " * " + w + ") AS " + alias;
            } else if (all) {
                sql += A + "(*) as " + alias;
            } else {
                sql += A + "(" + NullOrData_Str(X, false, m_letter == 'C' ? std::string("1") : X, "Null") + ") AS " + alias;
            }
        }
        for (int j = 1; j <= m_nX && m_letter != 'C'; ++j) {
            const std::string X = T + "." + BracketName(m_fields[sz(m_iCol + j)]);
            const std::string js = std::to_string(j);
            if (m_bWeight) sql += ", SUM(" + NullOrData_Str(X, false, "1", "0") + " * " + w + ") as [ZUR_Count_" + js + "]";
            else sql += ", Count(" + NullOrData_Str(X, false, X, "Null") + ") as [ZUR_Count_" + js + "]";
        }
        // The record loop needs the rows in the order of the leading fields.
        sql += " FROM " + T + " GROUP BY " + lead + " ORDER BY " + lead + ";";
        msg = eng.OpenDataRecordset(sql);
        if (!msg.empty()) return msg;
        for (int j = 1; j <= m_nX; ++j)
            if (m_fields[sz(m_iCol + j)] == "*") m_fields[sz(m_iCol + j)] = kAllRecords;
        eng.Quorb_InitFieldTypes(*eng.DataRecordset(), static_cast<std::int16_t>(m_iCol + m_nX), m_fields, m_types,
                                 m_sizes);
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

// ---- output tables --------------------------------------------------------------------------

std::string CXTab::CreateOutput_b() {
    ProcGuard proc(gEngineErr, "CreateOutput_b");
    std::string msg;
    try {
        VarnelloCore& eng = *m_Engine;
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_out1);
        std::int16_t ord = 0;
        std::vector<std::string> taken;
        auto lead = [&](int i) {
            AddTableField(td, m_fields[sz(i)], static_cast<int>(m_types[sz(i)]), ord, m_sizes[sz(i)]);
            taken.push_back(m_fields[sz(i)]);
        };
        for (int i = 1; i < m_nG; ++i) lead(i);
        AddTableField(td, "DataField", dbText, ord, 64);
        lead(m_nG);
        AddTableField(td, "DataType", dbText, ord, 17);
        AddTableField(td, "RowSummary", dbDouble, ord, 0);
        for (const char* n : {"DataField", "DataType", "RowSummary"}) taken.push_back(n);
        m_colNames = ColumnNames(std::vector<std::string>(m_cols.begin() + 1, m_cols.end()), m_bNull, taken);
        m_colNames.insert(m_colNames.begin(), std::string());
        for (int k = 1; k <= m_nCols; ++k) AddTableField(td, m_colNames[sz(k)], dbDouble, ord, 0);
        msg = eng.ReplaceOutputTable(td, true, [&] { return OpenSource(); }, m_table);
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

std::string CXTab::CreateChi_b() {
    ProcGuard proc(gEngineErr, "CreateChi_b");
    std::string msg;
    try {
        VarnelloCore& eng = *m_Engine;
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_out2);
        std::int16_t ord = 0;
        for (int i = 1; i < m_nG; ++i)
            AddTableField(td, m_fields[sz(i)], static_cast<int>(m_types[sz(i)]), ord, m_sizes[sz(i)]);
        AddTableField(td, "DataField", dbText, ord, 64);
        for (const char* n : {"Count", "MinExpected", "MaxExpected"}) AddTableField(td, n, dbDouble, ord, 0);
        for (const char* n : {"Columns", "Rows", "DF"}) AddTableField(td, n, dbInteger, ord, 0);
        for (const char* n : {"Chi-Square", "Prob", "Phi-Coefficient", "Coeff_of_Contingency", "Cramer's_V"})
            AddTableField(td, n, dbDouble, ord, 0);
        msg = eng.ReplaceOutputTable(td, false, [&] { return OpenSource(); }, m_table);
        if (msg.empty()) m_chiRs = eng.OutputDatabase()->OpenRecordset(m_out2, dbOpenDynaset);
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

// ---- the record loop ------------------------------------------------------------------------

int CXTab::ColumnOf(const Variant& v) {
    // Records come sorted by the column value within a row value: most
    // often the value is exactly the previous record's.
    if (m_colCache > 0 && v.Type() == m_lastColumn.Type() && (v.IsNull() || m_lastColumn.Equals(v, false)))
        return m_colCache;
    m_lastColumn = v;
    // Values that differ only in letter case or blanks share a column.
    const std::string key = v.IsNull() ? std::string(kNullKey) : ToUpperAscii(trimmed(v.ToString()));
    auto it = m_colIndex.find(key);
    if (it != m_colIndex.end()) return m_colCache = it->second;
    m_cols.push_back(v.IsNull() ? std::string() : trimmed(v.ToString()));
    m_colValues.push_back(v);
    m_nCols = static_cast<int>(m_cols.size()) - 1;
    m_rowCells.resize(sz(m_nCols) * sz(m_nX));
    return m_colCache = m_colIndex[key] = m_nCols;
}

void CXTab::ReadRecords() {
    ProcGuard proc(gEngineErr, "ReadRecords");
    try {
        VarnelloCore& eng = *m_Engine;
        RecordsetPtr rs = eng.InputRecordset();
        m_leadCols.assign(sz(m_iCol) + 1, nullptr);
        m_dataCols.assign(sz(m_nX) + 1, nullptr);
        m_countCols.assign(sz(m_nX) + 1, nullptr);
        for (int i = 1; i <= m_iCol; ++i) m_leadCols[sz(i)] = rs->Fields(m_fields[sz(i)]);
        for (int j = 1; j <= m_nX; ++j) {
            m_dataCols[sz(j)] = rs->Fields(m_fields[sz(m_iCol + j)]);
            const std::string js = std::to_string(j);
            if (m_grouped && m_letter != 'C') m_countCols[sz(j)] = rs->Fields("ZUR_Count_" + js);
        }
        m_prev.assign(sz(m_iCol) + 1, Variant::Null());
        m_cur.assign(sz(m_iCol) + 1, Variant::Null());
        m_cols.assign(1, std::string());
        m_colValues.assign(1, Variant::Null());
        m_colIndex.clear();
        m_nCols = 0;
        m_rowCells.clear();
        m_touched.clear();
        m_groupBuffer.clear();
        m_rowValues.clear();
        m_staged.clear();
        m_colCache = 0;

        std::int32_t runCount = 0;
        while (!rs->EOF_() && !Failed()) {
            for (int i = 1; i <= m_iCol; ++i) m_cur[sz(i)] = m_leadCols[sz(i)]->Value();
            bool newRow = runCount == 0;
            if (runCount > 0) {
                if (eng.Quorb_SameRecords_b(static_cast<std::int16_t>(m_nG - 1), true, m_prev, m_cur)) {
                    // A new group: the finished one is kept.
                    SaveGroup();
                    newRow = true;
                } else if (!eng.Quorb_SameValue(m_prev[sz(m_nG)], m_cur[sz(m_nG)], false)) {
                    FlushRow();
                    newRow = true;
                }
            }
            if (newRow) m_rowValues.push_back(m_cur[sz(m_nG)]);
            for (int i = 1; i <= m_iCol; ++i) m_prev[sz(i)] = m_cur[sz(i)];
            CalcData();
            if (runCount == std::numeric_limits<std::int32_t>::max()) throw RunTimeError(rterr::Overflow);
            ++runCount;
            eng.Quorb_Msg(runCount, false, "");
            rs->MoveNext();
        }
        eng.Quorb_Msg(runCount, true, "");
        if (runCount > 0 && !Failed()) SaveGroup();
    } catch (...) {
        Fail(proc);
    }
}

void CXTab::CalcData() {
    ProcGuard proc(gEngineErr, "CalcData");
    try {
        VarnelloCore& eng = *m_Engine;
        const int k = ColumnOf(m_cur[sz(m_iCol)]);
        if (k == 0) return;
        double w = 1;
        if (!m_grouped) {
            w = eng.Quorb_WeightCalc(m_bWeight, m_fields, static_cast<std::int16_t>(m_iCol + m_nX + 1));
            if (!(w > 0)) return;
        }
        for (int j = 1; j <= m_nX; ++j) {
            const Variant v = m_dataCols[sz(j)]->Value();
            if (v.IsNull()) continue;
            const double x = v.ToDouble();
            if (m_letter == 'C' && x == 0) continue;
            if (!m_grouped && !eng.Quorb_DataOk_b(x, false)) continue;
            const int idx = (k - 1) * m_nX + (j - 1);
            Cell& c = m_rowCells[sz(idx)];
            if (c.Records == 0) {
                m_touched.push_back(idx);
                c.Low = c.High = c.FirstLast = x;
            } else {
                c.Low = std::min(c.Low, x);
                c.High = std::max(c.High, x);
            }
            ++c.Records;
            if (m_letter == 'C') {
                c.N += x;
            } else if (!m_grouped) {
                c.N += w;
                if (m_letter == 'U' || m_letter == 'O') {
                    // Kept sorted; the first data field arrives in order.
                    auto& t = c.Tally;
                    if (t.empty() || x > t.back().first) {
                        t.push_back({x, w});
                    } else {
                        auto it = std::lower_bound(t.begin(), t.end(), x,
                                                   [](const std::pair<double, double>& e, double value) { return e.first < value; });
                        if (it->first == x) it->second += w;
                        else t.insert(it, {x, w});
                    }
                }
            } else {
                const Variant n = m_countCols[sz(j)]->Value();
                c.N += n.IsNull() ? 0.0 : n.ToDouble();
            }
            if (isVarianceLetter(m_letter)) c.Moments.Add(x, w);
            c.SumX += x;
        }
    } catch (...) {
        Fail(proc);
    }
}

// Stages the cells of the row value just read, in the order field, column.
void CXTab::FlushRow() {
    if (m_touched.empty()) return;
    std::sort(m_touched.begin(), m_touched.end());
    const int row = static_cast<int>(m_rowValues.size()) - 1;
    for (int idx : m_touched) {
        Cell& c = m_rowCells[sz(idx)];
        if (isVarianceLetter(m_letter) && c.Moments.SumW() > 0) {
            c.K = c.Moments.ProvisionalMean();
            c.Dev = c.Moments.SumDeviations() / c.Moments.SumW();
            c.M2 = c.Moments.M2();
        }
        m_staged.push_back({row, idx % m_nX + 1, idx / m_nX + 1, std::move(c)});
        c = Cell();
    }
    m_touched.clear();
}

void CXTab::SaveGroup() {
    FlushRow();
    m_groupBuffer.push_back({m_prev, std::move(m_rowValues), std::move(m_staged)});
    m_rowValues.clear();
    m_staged.clear();
}

// ---- one group's rows -------------------------------------------------------------------------

void CXTab::WriteOneRow(const std::string& dataType, int i, bool withRowValue,
                        const std::vector<std::optional<double>>& values, std::optional<double> summary) {
    RecordsetPtr out = m_Engine->OutputRecordset();
    out->AddNew();
    WriteLeadFields(*out, static_cast<std::int16_t>(withRowValue ? m_nG : m_nG - 1), m_fields, m_prev,
                    static_cast<std::int16_t>(m_iCol + i), "", "", false, 0, 0, 0, 0, Variant::Null(), Variant::Null());
    if (NamesEqual(m_fields[sz(m_iCol + i)], kAllRecords)) out->Fields("DataField")->SetValue("-");
    out->Fields("DataType")->SetValue(dataType);
    for (int k = 1; k <= m_nCols; ++k)
        if (values[sz(k)]) out->Fields(m_colNames[sz(k)])->SetValue(*values[sz(k)]);
    if (summary) out->Fields("RowSummary")->SetValue(*summary);
    out->Update();
}

void CXTab::WritePercent(const std::string& prefix, int i, bool withRowValue,
                         const std::vector<std::optional<double>>& rowValues, std::optional<double> rowSum,
                         const std::vector<std::optional<double>>& colValues, std::optional<double> all) {
    static const char* kinds[] = {"% Row", "% Col", "% Total", "% Expected", "Expected"};
    for (int r = 0; r < 5; ++r) {
        if (m_switches[sz(r)] != 'Y') continue;
        std::vector<std::optional<double>> v(sz(m_nCols) + 1);
        std::optional<double> summary;
        const bool allOk = all && *all != 0;
        for (int k = 1; k <= m_nCols; ++k) {
            const auto& rv = rowValues[sz(k)];
            const auto& cv = colValues[sz(k)];
            switch (r) {
            case 0:
                if (rv && rowSum && *rowSum != 0) v[sz(k)] = *rv / *rowSum;
                break;
            case 1:
                if (rv && cv && *cv != 0) v[sz(k)] = *rv / *cv;
                break;
            case 2:
                if (rv && allOk) v[sz(k)] = *rv / *all;
                break;
            case 3:
                if (cv && allOk && rowSum) v[sz(k)] = *cv * *rowSum / (*all * *all);
                break;
            default:
                if (cv && allOk && rowSum) v[sz(k)] = *cv * *rowSum / *all;
                break;
            }
        }
        if (r == 0) {
            if (rowSum && *rowSum != 0) summary = 1.0;
        } else if (r == 4) {
            summary = rowSum;
        } else if (rowSum && all && *all > 0) {
            summary = *rowSum / *all;
        }
        WriteOneRow(prefix + kinds[r], i, withRowValue, v, summary);
    }
}

void CXTab::CalcChiSq(const std::vector<std::optional<double>>& rowValues, std::optional<double> rowSum,
                      const std::vector<std::optional<double>>& colValues, double all, ChiSums& s) {
    if (!(all > 0) || !rowSum || !(*rowSum > 0)) return;
    ++s.rows;
    for (int k = 1; k <= m_nCols; ++k) {
        if (!colValues[sz(k)]) continue;
        const double E = *colValues[sz(k)] * *rowSum / all;
        // A cell without records is observed 0 times: it adds (0 − E)²/E = E.
        const double O = rowValues[sz(k)] ? *rowValues[sz(k)] : 0.0;
        if (E != 0) {
            const double d = Moments::DecimalDifference(O, E);
            s.chi += d * d / E;
        } else if (O != 0) {
            s.valid = false;
        }
        s.minExpected = std::min(s.minExpected, E);
        s.maxExpected = std::max(s.maxExpected, E);
    }
}

void CXTab::WriteChi(int i, double all, int columns, const ChiSums& s) {
    RecordsetPtr rs = m_chiRs;
    const int df = (s.rows - 1) * (columns - 1);
    rs->AddNew();
    WriteLeadFields(*rs, static_cast<std::int16_t>(m_nG - 1), m_fields, m_prev, static_cast<std::int16_t>(m_iCol + i),
                    "Count", "", false, all, 0, 0, 0, Variant::Null(), Variant::Null());
    if (NamesEqual(m_fields[sz(m_iCol + i)], kAllRecords)) rs->Fields("DataField")->SetValue("-");
    rs->Fields("Columns")->SetValue(static_cast<std::int16_t>(columns));
    rs->Fields("Rows")->SetValue(static_cast<std::int16_t>(s.rows));
    rs->Fields("DF")->SetValue(static_cast<std::int16_t>(df));
    if (s.rows >= 2 && columns >= 2 && s.valid) {
        CZValue z;
        const double m = std::min(s.rows, columns);
        rs->Fields("MinExpected")->SetValue(s.minExpected);
        rs->Fields("MaxExpected")->SetValue(s.maxExpected);
        rs->Fields("Chi-Square")->SetValue(s.chi);
        rs->Fields("Prob")->SetValue(z.Quorb_CalcProb("C", s.chi, df, 0));
        rs->Fields("Phi-Coefficient")->SetValue(std::sqrt(s.chi / all));
        rs->Fields("Coeff_of_Contingency")->SetValue(std::sqrt(s.chi / (s.chi + all)));
        rs->Fields("Cramer's_V")->SetValue(std::sqrt(s.chi / (all * (m - 1))));
    }
    rs->Update();
}

void CXTab::WriteData() {
    ProcGuard proc(gEngineErr, "WriteData");
    try {
        using Values = std::vector<std::optional<double>>;
        const std::size_t width = sz(m_nCols) + 1;
        std::vector<Variant> rowLead = m_prev;
        for (int i = 1; i <= m_nX && !Failed(); ++i) {
            // The group's totals per column, the rows merged in their order.
            std::vector<Cell> colCells(width);
            for (const auto& st : m_staged)
                if (st.field == i) Merge(colCells[sz(st.column)], st.cell);
            Values colValues(width);
            std::vector<double> colCounts(width, 0);
            for (int k = 1; k <= m_nCols; ++k) {
                Normalize(colCells[sz(k)]);
                colValues[sz(k)] = CalcValue(m_letter, colCells[sz(k)]);
                if (colCells[sz(k)].N > 0) colCounts[sz(k)] = colCells[sz(k)].N;
            }
            // The whole group, its cells merged in the order of rows and columns.
            Cell group;
            for (const auto& st : m_staged)
                if (st.field == i && st.cell.N > 0) Merge(group, st.cell);
            if (group.Records == 0) continue;
            Normalize(group);
            const std::optional<double> all = CalcValue(m_letter, group);
            ChiSums chi;
            chi.minExpected = (all ? *all : 0) + 1;

            // The rows, in the order of their values.
            std::size_t p = 0;
            while (p < m_staged.size()) {
                const int row = m_staged[p].row;
                Values rowValues(width);
                std::vector<double> rowCounts(width, 0);
                Cell rowCell;
                for (; p < m_staged.size() && m_staged[p].row == row; ++p) {
                    const Staged& st = m_staged[p];
                    if (st.field != i || !(st.cell.N > 0)) continue;
                    rowCounts[sz(st.column)] = st.cell.N;
                    rowValues[sz(st.column)] = CalcValue(m_letter, st.cell);
                    Merge(rowCell, st.cell);
                }
                if (!(rowCell.N > 0)) continue;
                Normalize(rowCell);
                const std::optional<double> rowSum = CalcValue(m_letter, rowCell);
                if (!rowSum) continue;
                m_prev[sz(m_nG)] = m_rowValues[sz(row)];
                WriteOneRow("Data: " + m_label, i, true, rowValues, rowSum);
                if (m_letter != 'C') {
                    Values counts(width);
                    for (int k = 1; k <= m_nCols; ++k)
                        if (rowValues[sz(k)]) counts[sz(k)] = rowCounts[sz(k)];
                    WriteOneRow("Count", i, true, counts, rowCell.N);
                }
                WritePercent("", i, true, rowValues, rowSum, colValues, all);
                if (m_chi) CalcChiSq(rowValues, rowSum, colValues, all ? *all : 0, chi);
            }
            m_prev = rowLead;

            WriteOneRow("GROUP Total", i, false, colValues, all);
            if (m_letter != 'C') {
                Values counts(width);
                for (int k = 1; k <= m_nCols; ++k)
                    if (colValues[sz(k)]) counts[sz(k)] = colCounts[sz(k)];
                WriteOneRow("GROUP Count", i, false, counts, group.N);
            }
            WritePercent("GROUP ", i, false, colValues, all, colValues, all);
            if (m_chi) {
                int columns = 0;
                for (int k = 1; k <= m_nCols; ++k)
                    if (colValues[sz(k)] && *colValues[sz(k)] > 0) ++columns;
                WriteChi(i, all ? *all : 0, columns, chi);
            }
        }
        m_prev = rowLead;
    } catch (...) {
        Fail(proc);
    }
}
