#include "analyses/group/CXTab.h"

#include "db/JetFunctions.h"
#include "db/TableAppender.h"
#include "db/TableRowReader.h"
#include "engine/CZValue.h"
#include "engine/Moments.h"
#include "engine/RunContext.h"
#include "engine/modStatsGeneral.h"
#include "scenario/CMelvarsScenario.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <set>
#include <tuple>

using namespace dao;

namespace {

constexpr const char* kAllRecords = "Calc All Records";
constexpr const char* kParameterQuery = "The selected query expects parameters and cannot be used by Pelloran.";

// The staging table of a group's cells in the work database: the data field,
// the row value, the column, the row's number in the group, and the cell.
constexpr const char* kStage = "statTemp1";
const std::vector<std::string>& stageColumns() {
    static const std::vector<std::string> columns = {"FieldID_ZUR", "GroupID_ZUR", "ColumnID_ZUR", "RowNo_ZUR",
                                                     "Records",     "N",           "SumX",         "M2",
                                                     "K",           "Dev",         "High",         "Low",
                                                     "FirstLast",   "M2Exp"};
    return columns;
}

std::size_t g_stageLimit = CXTab::DefaultStageLimit;
constexpr const char* kNullKey = "\x01<NULL>"; // the Null column's key: no text equals it

std::size_t sz(int i) { return static_cast<std::size_t>(i); }

std::string trimmed(const std::string& s) {
    std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    std::size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

// A column value as its column shows it. A whole number of 16 digits or
// more read as a double is written out in full, as the same number read as
// a whole number is: a computed column is typed by its first value, and the
// list of columns and the records may read one stored number each way.
std::string valueText(const Variant& v) {
    if (v.Type() == vbDouble || v.Type() == vbSingle || v.Type() == vbCurrency) {
        const double d = v.ToDouble();
        if (std::isfinite(d) && std::fabs(d) >= 1e15 && std::fabs(d) < 9.2e18 && d == std::trunc(d))
            return std::to_string(static_cast<long long>(d));
    }
    return v.ToString();
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

// a·b/c: the product first where a double holds it (counts then give their
// expected values exactly), else a·(b/c), as for totals of weights near
// 1e200, whose products lie beyond a double's range (or near 1e-300, below it).
double productOver(double a, double b, double c) {
    const double p = a * b;
    if (std::isfinite(p) && (std::fabs(p) >= std::numeric_limits<double>::min() || a == 0 || b == 0)) return p / c;
    return a * (b / c);
}

} // namespace

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
        for (const Tallied& t : c.Tally)
            if (!mode || t.weight > best) {
                mode = t.value;
                best = t.weight;
            }
        return mode;
    }
    default: break;
    }
    if (!isVarianceLetter(letter) || !(c.N > 1)) return std::nullopt;
    // Cells of values lying further apart than a double reaches (−1e308 and
    // 1e308) merge into a sum of squares that is no number: no spread is
    // known, which is not a spread of 0. The cell stays (its row is written)
    // and its value is left Null like any beyond a double's range.
    if (std::isnan(c.M2)) return std::numeric_limits<double>::quiet_NaN();
    // The sum of squares about the cell's mean (its moments, merged exactly),
    // in the cell's unit.
    const double var = c.M2 > 0 ? c.M2 / (c.N - 1) : 0.0;
    switch (letter) {
    case 'V': return std::ldexp(var, 2 * c.M2Exp);
    case 'D': return std::ldexp(std::sqrt(var), c.M2Exp);
    case 'E': return std::ldexp(std::sqrt(var / c.N), c.M2Exp);
    default:
        // The coefficient of variation has no value for a mean of 0.
        if (c.SumX == 0) return std::nullopt;
        return std::ldexp(std::sqrt(var), c.M2Exp) * c.N / c.SumX;
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
            // Both sums in the larger unit.
            const int e = std::max(into.M2Exp, from.M2Exp);
            const double du = std::ldexp(delta, -e);
            // Na·Nb/W; beyond ordinary weights as (Na/W)·Nb, whose product
            // of the two weights would overflow near 1e200.
            const double k = Moments::kOrdinaryWeight;
            const bool ordinary = w <= k && into.N >= 1 / k && from.N >= 1 / k;
            const double cross = ordinary ? du * du * into.N * from.N / w : du * du * (into.N / w) * from.N;
            into.M2 = std::ldexp(into.M2, 2 * (into.M2Exp - e)) + (std::ldexp(from.M2, 2 * (from.M2Exp - e)) + cross);
            into.M2Exp = e;
            into.Dev += delta * from.N / w;
        } else {
            into.K = from.K;
            into.Dev = from.Dev;
            into.M2 = from.M2;
            into.M2Exp = from.M2Exp;
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
    std::sort(t.begin(), t.end(), [](const Tallied& a, const Tallied& b) { return a.Before(b); });
    std::size_t out = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (out > 0 && t[out - 1].SameValue(t[i])) t[out - 1].weight += t[i].weight;
        else t[out++] = t[i];
    }
    t.resize(out);
    c.TallyMerged = false;
}

// ---- missing values in SQL ----------------------------------------------------------------

std::string CXTab::DataOk_Str(const std::string& f, bool bEqualOnly, const std::string& sIn,
                              const std::string& sOut) const {
    const RunContext& eng = Cx();
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
        std::string base = (k == 0 && bNull) ? "<NULL>" : texts[k];
        // A bracket could not be named in the database's SQL, nor a NUL
        // (another program's text may hold one): it ends the statement.
        for (char& ch : base) {
            if (ch == '[') ch = '(';
            if (ch == ']') ch = ')';
            if (ch == '\0') ch = ' ';
        }
        base = trimmed(base);
        if (base.empty()) base = "<BLANK>";
        base = LeftChars(base, 64);
        std::string name = base;
        for (int n = 2; used.count(ToUpperAscii(name)); ++n) {
            const std::string suffix = "~" + std::to_string(n);
            name = LeftChars(base, 64 - suffix.size()) + suffix;
        }
        used.insert(ToUpperAscii(name));
        names.push_back(name);
    }
    return names;
}

// ---- the entry ---------------------------------------------------------------------------

std::size_t CXTab::SetStageLimit(std::size_t cells) {
    const std::size_t previous = g_stageLimit;
    g_stageLimit = cells ? cells : DefaultStageLimit;
    return previous;
}

CXTab::CXTab(const Settings& settings) : AnalysisRoad(settings, "Quorb_Xtab", "Crosstab"), m_s(settings) {}

CXTab::~CXTab() = default;

std::string CXTab::FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext&,
                                AnalysisType::Settings& out) {
    if (base.nG < 1) return "At least one row field must be assigned";
    Settings& a = NewSettings<Settings>(base, out);
    a.CellFunction = s.XType();
    a.Switches = std::string(BoolToYN(s.XRowPCnt())) + BoolToYN(s.XColPcnt()) + BoolToYN(s.XTotPcnt()) + BoolToYN(s.XExpectPcnt()) +
                  BoolToYN(s.XExpect()) + BoolToYN(s.XChi());
    return {};
}

std::string CXTab::Steps() {
    m_fields = m_s.fields;
    m_nG = m_s.nG;
    m_nX = m_s.nX;
    m_iCol = static_cast<std::int16_t>(m_nG + 1);
    m_stageLimit = g_stageLimit;
    std::string letter = ToUpperAscii(trimmed(m_s.CellFunction)).substr(0, 1);
    m_letter = letter.empty() ? 'C' : letter[0];
    m_switches = m_s.Switches;
    m_switches.resize(6, 'N');
    for (char& ch : m_switches) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    m_chi = m_switches[5] == 'Y' && (m_letter == 'C' || m_letter == 'S') && !trimmed(m_s.OutputTable2).empty();
    // Expected values belong to counts and sums only.
    if (m_letter != 'C' && m_letter != 'S') m_switches = m_switches.substr(0, 3) + "NNN";
    m_grouped = std::string("CS1LA").find(m_letter) != std::string::npos;
    const char* label = labelOf(m_letter);

    const std::size_t expected = sz(m_iCol + m_nX) + (m_s.bW ? 1 : 0);
    bool allRecords = false;
    for (int j = 1; j <= m_nX && sz(m_iCol + j) < m_fields.size(); ++j)
        if (m_fields[sz(m_iCol + j)] == "*") allRecords = true;
    if (m_nG < 1) return "At least one row field must be assigned";
    if (m_fields.size() != expected + 1) return "Exactly one column field must be assigned";
    if (!label) return "Unknown crosstab cell function: " + m_s.CellFunction;
    if (allRecords && m_letter != 'C') return "At least one X field must be assigned";
    if (m_chi && NamesEqual(m_s.OutputTable1, m_s.OutputTable2))
        return "The chi-square table needs a name other than the output table's";
    m_label = label;

    Progress("Retrieving and sorting data");
    std::string msg = CreateColumns();
    if (Going(msg)) msg = OpenSourceBy([this] { return OpenXtabSource(); });
    if (Going(msg)) {
        Progress("Creating output table");
        msg = CreateOutput_b();
    }
    if (Going(msg)) msg = MakeWorkDatabase();
    if (Going(msg)) msg = CreateTemp_b();
    if (Going(msg) && m_chi) msg = CreateChi_b();
    if (Going(msg)) {
        Progress("Analyzing records");
        // The columns the pass reads: the leading fields and the data fields,
        // then the grouped query's counts or the plain query's weight.
        m_read.assign(m_fields.begin(), m_fields.begin() + static_cast<std::ptrdiff_t>(m_iCol + m_nX) + 1);
        m_countPos = 0;
        std::size_t weight = 0;
        if (m_grouped && m_letter != 'C') {
            m_countPos = m_read.size();
            for (int j = 1; j <= m_nX; ++j) m_read.push_back("ZUR_Count_" + std::to_string(j));
        } else if (!m_grouped && m_s.bW) {
            weight = m_read.size();
            m_read.push_back(m_fields[sz(m_iCol + m_nX + 1)]);
        }
        ReadFields(m_read, weight);
        // A group break writes the group; its count goes out only at the end.
        RecordProgress("Analyzing record: ");
        Kept([this] { ReadGroups(static_cast<std::int16_t>(m_nG - 1)); });
    }
    return msg;
}

void CXTab::CloseOwn() {
    m_appender.reset();
    if (m_tempMade) Cx().Quorb_DeleteTable(true, kStage);
    m_tempMade = false;
}

// ---- columns and source -------------------------------------------------------------------

// The column values: one column per value of the column field (texts that
// differ only in letter case or blanks share one), in the order the database
// sorts them: Null first, then numbers by value, then texts without regard
// to case.
std::string CXTab::CreateColumns() {
    return Guard("CreateColumns", [&]() -> std::string {
        // The values of a number, Yes/No or date field are put in order as
        // numbers: one that is none (a blob another program stored there)
        // fails the run by name before the list is made. (A column of a
        // table this layer made holds none.)
        const std::string& field = m_fields[sz(m_iCol)];
        if (Cx().HoldsNumbers(m_s.Table, field) && !Cx().KeepsDeclaredType(m_s.Table, field))
            if (std::string bad = Cx().CheckNumbers(m_s.Table, {field}); !bad.empty()) return bad;
        const std::string sql =
            "SELECT DISTINCT " + BracketName(m_fields[sz(m_iCol)]) + " FROM " + BracketName(m_s.Table) + ";";
        RecordsetPtr rs;
        try {
            rs = Cx().SourceDatabase()->OpenRecordset(sql, dbOpenDynaset, dbReadOnly);
        } catch (const DaoError& e) {
            if (e.Number() == err::ParametersExpected) return kParameterQuery;
            return e.Description();
        }
        std::vector<std::string> texts;
        std::vector<Variant> values;
        std::unordered_map<std::string, int> index;
        for (FieldPtr f = rs->Fields(0); !rs->EOF_(); rs->MoveNext()) {
            const Variant v = f->Value();
            const std::string key = v.IsNull() ? std::string(kNullKey) : GeneralKey(trimmed(valueText(v)));
            if (!index.emplace(key, static_cast<int>(values.size())).second) continue;
            texts.push_back(v.IsNull() ? std::string() : trimmed(valueText(v)));
            values.push_back(v);
        }
        rs->Close();
        if (values.empty()) return "Column field must have at least one value";

        std::vector<int> order(values.size());
        for (std::size_t k = 0; k < order.size(); ++k) order[k] = static_cast<int>(k);
        auto rank = [](const Variant& v) { return v.IsNull() ? 0 : v.IsString() ? 2 : 1; };
        std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
            const Variant &a = values[sz(x)], &b = values[sz(y)];
            if (rank(a) != rank(b)) return rank(a) < rank(b);
            if (a.IsNull()) return false;
            if (a.IsString()) return CompareGeneral(a.RawString(), b.RawString()) < 0;
            return a.ToDouble() < b.ToDouble();
        });
        m_nCols = static_cast<int>(values.size());
        m_cols.assign(1, std::string());
        m_colValues.assign(1, Variant::Null());
        std::vector<int> position(values.size());
        for (int k = 0; k < m_nCols; ++k) {
            position[sz(order[sz(k)])] = k + 1;
            m_cols.push_back(texts[sz(order[sz(k)])]);
            m_colValues.push_back(values[sz(order[sz(k)])]);
        }
        m_colIndex.clear();
        for (auto& [key, k] : index) m_colIndex.emplace(key, position[sz(k)]);
        m_bNull = m_colValues[1].IsNull();
        m_colCache = 0;
        m_rowCells.assign(sz(m_nCols) * sz(m_nX), Cell());
        return {};
    });
}

std::string CXTab::OpenXtabSource() {
    if (m_grouped) return InitXtabDataTable();
    m_fields = m_s.fields;
    return Cx().Quorb_InitDataTable(m_s.Table, m_fields, m_iCol, m_types, m_sizes);
}

std::string CXTab::InitXtabDataTable() {
    return Guard("InitXtabDataTable", [&]() -> std::string {
        RunContext& eng = Cx();
        // Built from the scenario's names: opened again after an output
        // table was dropped, it reads the same.
        m_fields = m_s.fields;
        const std::string T = BracketName(m_s.Table);
        const bool weighted = m_s.bW && std::string("CSA").find(m_letter) != std::string::npos;
        std::string w;
        if (m_s.bW) {
            // The weight rule: above 0 and not the "Equal" missing value, else 0.
            const std::string& weightName = m_fields[sz(m_iCol + m_nX + 1)];
            const std::string W = T + "." + BracketName(weightName);
            const std::string Wn = eng.RuleTerm(m_s.Table, weightName, W);
            std::string cond = Wn + " > 0";
            if (NamesEqual(eng.MissingRule(), "Equal")) cond += " And " + Wn + "<>" + numText(eng.MissingEqualValue());
            w = "IIf(IsNull(" + W + "), 0, IIf(" + cond + ", " + W + ", 0))";
        }
        // The sums are made in SQL, where a text counts as 0: a value that is
        // no number fails the run first.
        std::vector<std::string> numbers;
        for (int j = 1; j <= m_nX && m_letter != 'C'; ++j)
            if (m_fields[sz(m_iCol + j)] != "*") numbers.push_back(m_fields[sz(m_iCol + j)]);
        if (m_s.bW) numbers.push_back(m_fields[sz(m_iCol + m_nX + 1)]);
        if (std::string bad = eng.CheckNumbers(m_s.Table, numbers); !bad.empty()) return bad;
        const std::string A = m_letter == 'C' ? "Count" : m_letter == '1' ? "First" : m_letter == 'L' ? "Last" : "Sum";
        // Sums are taken in double precision, as every statistic is: whole
        // numbers near the 64-bit limits (another program's BIGINT) then add
        // up instead of failing the run with "integer overflow".
        const char* const kAsReal = " * 1.0";
        std::string lead, leadTerms;
        for (int i = 1; i <= m_iCol; ++i) {
            lead += (i > 1 ? ", " : "") + BracketName(m_fields[sz(i)]);
            leadTerms += (i > 1 ? ", " : "") + eng.GroupTerm(m_s.Table, m_fields[sz(i)]);
        }
        std::string sql = "SELECT " + lead + ", ";
        // Each field's value as it is read (X: a Yes/No field's -1 or 0) and
        // its number in the missing-value rule (Xn), for the sums and again
        // for the counts.
        std::vector<std::string> terms(sz(m_nX + 1)), numberTerms(sz(m_nX + 1));
        std::vector<char> ruled(sz(m_nX + 1), 1);
        for (int j = 1; j <= m_nX; ++j) {
            const std::string& name = m_fields[sz(m_iCol + j)];
            if (name == "*") continue;
            const std::string stored = T + "." + BracketName(name);
            terms[sz(j)] = eng.NumberTerm(m_s.Table, name, stored);
            if (eng.HoldsNumbers(m_s.Table, name)) {
                numberTerms[sz(j)] = RunContext::AsDouble(terms[sz(j)]);
            } else {
                // A field of texts: a count of it loses only its Nulls, as the
                // chi-square's categories do, since a text is no number to
                // hold against the bounds; the other functions read its
                // texts as the numbers they were checked to be, and compare
                // those, not the texts ("3" is below 8).
                ruled[sz(j)] = m_letter != 'C';
                numberTerms[sz(j)] = m_letter == 'C' ? stored : "CDbl(" + stored + ")";
            }
        }
        // The value of field j for the record, or `sOut` when the rule leaves it out; Null for Null.
        auto valueOf = [&](int j, const std::string& sIn, const std::string& sOut) {
            const std::string& Xn = numberTerms[sz(j)];
            if (!ruled[sz(j)]) return "IIf(IsNull(" + Xn + "), Null, " + sIn + ")";
            return NullOrData_Str(Xn, false, sIn, sOut);
        };
        for (int j = 1; j <= m_nX; ++j) {
            const std::string& name = m_fields[sz(m_iCol + j)];
            const bool all = name == "*";
            const std::string X = all ? std::string() : terms[sz(j)];
            const std::string alias = BracketName(all ? kAllRecords : name);
            if (j > 1) sql += ", ";
            if (weighted) {
                std::string v = all ? std::string("1") : valueOf(j, m_letter == 'C' ? std::string("1") : X, "0");
                sql += "Sum(" + v + " * " + w + kAsReal + ") AS " + alias;
            } else if (all) {
                sql += A + "(*) as " + alias;
            } else {
                sql += A + "(" + valueOf(j, m_letter == 'C' ? std::string("1") : X, "Null") +
                       (A == "Sum" ? kAsReal : "") + ") AS " + alias;
            }
        }
        for (int j = 1; j <= m_nX && m_letter != 'C'; ++j) {
            const std::string& X = terms[sz(j)];
            const std::string js = std::to_string(j);
            if (m_s.bW) sql += ", SUM(" + valueOf(j, "1", "0") + " * " + w + kAsReal + ") as [ZUR_Count_" + js + "]";
            else sql += ", Count(" + valueOf(j, X, "Null") + ") as [ZUR_Count_" + js + "]";
        }
        // The record loop needs the rows in the order of the leading fields.
        sql += " FROM " + T + " GROUP BY " + leadTerms + " ORDER BY " + leadTerms + ";";
        std::string msg = eng.OpenDataRecordset(sql);
        if (!msg.empty()) return msg;
        for (int j = 1; j <= m_nX; ++j)
            if (m_fields[sz(m_iCol + j)] == "*") m_fields[sz(m_iCol + j)] = kAllRecords;
        eng.Quorb_InitFieldTypes(m_s.Table, *eng.DataRecordset(), static_cast<std::int16_t>(m_iCol + m_nX), m_fields, m_types,
                                 m_sizes);
        return std::string();
    });
}

// ---- output tables --------------------------------------------------------------------------

std::string CXTab::CreateOutput_b() {
    return Guard("CreateOutput_b", [&] {
        TableDefPtr td = NewTable(m_s.OutputTable1);
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
        return PlaceOutput(td, true);
    });
}

std::string CXTab::CreateChi_b() {
    return Guard("CreateChi_b", [&] {
        TableDefPtr td = NewTable(m_s.OutputTable2);
        std::int16_t ord = 0;
        for (int i = 1; i < m_nG; ++i)
            AddTableField(td, m_fields[sz(i)], static_cast<int>(m_types[sz(i)]), ord, m_sizes[sz(i)]);
        AddTableField(td, "DataField", dbText, ord, 64);
        for (const char* n : {"Count", "MinExpected", "MaxExpected"}) AddTableField(td, n, dbDouble, ord, 0);
        // The columns are as many as a table can hold (a few thousand); the
        // row values and the degrees of freedom may pass 32767 (183 by 183
        // cells have 33124 degrees of freedom).
        AddTableField(td, "Columns", dbInteger, ord, 0);
        for (const char* n : {"Rows", "DF"}) AddTableField(td, n, dbLong, ord, 0);
        for (const char* n : {"Chi-Square", "Prob", "Phi-Coefficient", "Coeff_of_Contingency", "Cramer's_V"})
            AddTableField(td, n, dbDouble, ord, 0);
        return PlaceSecondOutput(td);
    });
}

// ---- the staging table ----------------------------------------------------------------------

std::string CXTab::CreateTemp_b() {
    return Guard("CreateTemp_b", [&] {
        const DatabasePtr& temp = Cx().TempDatabase();
        Cx().Quorb_DeleteTable(true, kStage);
        TableDefPtr td = temp->CreateTableDef(kStage);
        std::int16_t ord = 0;
        const auto& names = stageColumns();
        AddTableField(td, names[0], dbInteger, ord, 0);
        // The row value as stored: a text of any length (or none) in a long
        // text column, other values under their own type.
        const int rowType = static_cast<int>(m_types[sz(m_nG)]);
        const bool text = rowType == dbText || rowType == dbMemo;
        AddTableField(td, names[1], text ? dbMemo : rowType, ord, 0);
        if (text) td->Fields().Item(names[1])->SetAllowZeroLength(true);
        AddTableField(td, names[2], dbInteger, ord, 0);
        AddTableField(td, names[3], dbLong, ord, 0);
        for (std::size_t c = 4; c < names.size(); ++c) AddTableField(td, names[c], dbDouble, ord, 0);
        temp->TableDefs().Append(td);
        m_tempMade = true;
        return std::string();
    });
}

// Writes the staged cells held in memory to the staging table; from the first
// time on the group's cells are all read back from there.
void CXTab::SpillStaged() {
    if (!m_appender) {
        m_appender = std::make_unique<TableAppender>(Cx().TempDatabase(), kStage, stageColumns());
        m_firstRowId = m_appender->NextRowId();
    }
    m_spilled = true;
    for (const Staged& st : m_staged) {
        const Cell& c = st.cell;
        m_appender->Append({st.field, m_rowValues[sz(st.row)], st.column, m_tableRow + st.row, c.Records, c.N, c.SumX,
                            c.M2, c.K, c.Dev, c.High, c.Low, c.FirstLast, c.M2Exp});
    }
    m_tableRow += static_cast<int>(m_rowValues.size());
    m_staged.clear();
    m_rowValues.clear();
}

void CXTab::Stage(Staged&& st) { m_staged.push_back(std::move(st)); }

void CXTab::ScanStaged(int i, const std::function<void(const Variant&, int, int, const Cell&)>& fn) {
    if (!m_spilled) {
        for (const Staged& st : m_staged)
            if (st.field == i) fn(m_rowValues[sz(st.row)], st.row, st.column, st.cell);
        return;
    }
    const int rowType = static_cast<int>(m_types[sz(m_nG)]);
    TableRowReader r(Cx().TempDatabase(), kStage, stageColumns(), m_firstRowId, m_appender->NextRowId() - 1);
    Cell c;
    while (r.Next()) {
        if (static_cast<int>(r.Double(0)) != i) continue;
        c.Records = static_cast<std::int32_t>(r.Double(4));
        c.N = r.Double(5);
        c.SumX = r.Double(6);
        c.M2 = r.Double(7);
        c.K = r.Double(8);
        c.Dev = r.Double(9);
        c.High = r.Double(10);
        c.Low = r.Double(11);
        c.FirstLast = r.Double(12);
        c.M2Exp = static_cast<int>(r.Double(13));
        fn(r.Value(1, rowType), static_cast<int>(r.Double(3)), static_cast<int>(r.Double(2)), c);
    }
}

// Forgets the group's staged cells; a group that went to the table leaves
// it made anew (its rows dropped with it).
void CXTab::EndGroupStage() {
    m_staged.clear();
    m_rowValues.clear();
    m_tableRow = 0;
    if (!m_spilled) return;
    m_appender.reset();
    m_spilled = false;
    CreateTemp_b();
}

// ---- the record loop ------------------------------------------------------------------------

int CXTab::ColumnOf(const Variant& v) {
    // Records come sorted by the column value within a row value: most
    // often the value is exactly the previous record's.
    if (m_colCache > 0 && v.Type() == m_lastColumn.Type() && (v.IsNull() || m_lastColumn.Equals(v, false)))
        return m_colCache;
    m_lastColumn = v;
    // Values that differ only in letter case or blanks share a column.
    const std::string key = v.IsNull() ? std::string(kNullKey) : GeneralKey(trimmed(valueText(v)));
    auto it = m_colIndex.find(key);
    return m_colCache = it != m_colIndex.end() ? it->second : 0;
}

void CXTab::InitData() {
    Guard("InitData", [&] {
        EndGroupStage();
        for (int idx : m_totalsTouched) m_totals[sz(idx)] = Cell();
        m_totalsTouched.clear();
        if (m_totals.size() != sz(m_nCols) * sz(m_nX)) m_totals.assign(sz(m_nCols) * sz(m_nX), Cell());
        m_groupCells.assign(sz(m_nX) + 1, Cell());
        m_touched.clear();
        m_inRow = false;
        m_colCache = 0;
    });
}

std::int64_t CXTab::WholeOffset(std::size_t position, double x) const {
    // Below 2^53 a double holds every whole number: only beyond it is the
    // value looked at again.
    constexpr double exactUpTo = 9007199254740992.0, two63 = 9223372036854775808.0;
    if (!(std::fabs(x) > exactUpTo)) return 0;
    const Variant v = Column(position)->Value();
    if (v.Type() != vbLongLong) return 0;
    const std::int64_t whole = v.RawInt();
    // The largest whole numbers are read as 2^63, which no 64-bit whole number is.
    if (x >= two63) return whole - std::numeric_limits<std::int64_t>::max() - 1;
    return whole - static_cast<std::int64_t>(x);
}

void CXTab::CalcData() {
    Guard("CalcData", [&] {
        // A new row value: the cells of the last one are complete.
        const Variant rowValue = Column(sz(m_nG))->Value();
        if (!m_inRow || !Cx().Quorb_SameValue(m_rowValue, rowValue, false)) {
            FlushRow();
            m_rowValue = rowValue;
            m_inRow = true;
        }
        const int k = ColumnOf(Column(sz(m_iCol))->Value());
        if (k == 0) return;
        double w = 1;
        if (!m_grouped) {
            w = Weight();
            if (!(w > 0)) return;
        }
        for (int j = 1; j <= m_nX; ++j) {
            double x = 0;
            if (!Value(sz(m_iCol + j), x)) continue;
            if (m_letter == 'C' && x == 0) continue;
            if (!m_grouped && !Cx().Quorb_DataOk_b(x, false)) continue;
            // A spread with an infinity in it overflows, as a sum does: it is
            // not taken over the other values while the cell counts this one.
            if (isVarianceLetter(m_letter) && !std::isfinite(x)) NotFinite(sz(m_iCol + j), x);
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
                    const Tallied read{x, WholeOffset(sz(m_iCol + j), x), w};
                    auto& t = c.Tally;
                    if (t.empty() || t.back().Before(read)) {
                        t.push_back(read);
                    } else {
                        auto it = std::lower_bound(t.begin(), t.end(), read,
                                                   [](const Tallied& e, const Tallied& value) { return e.Before(value); });
                        if (it->SameValue(read)) it->weight += w;
                        else t.insert(it, read);
                    }
                }
            } else {
                const Variant n = Column(m_countPos + sz(j) - 1)->Value();
                c.N += n.IsNull() ? 0.0 : n.ToDouble();
            }
            if (isVarianceLetter(m_letter)) c.Moments.Add(x, w);
            // The grouped query's values carry their weights already (w is 1
            // there); a record read by itself counts w times.
            c.SumX += x * w;
        }
    });
}

// The row value just read is complete: its cells go into the group's column
// totals and whole cells, in the order field, column, and are staged.
void CXTab::FlushRow() {
    m_inRow = false;
    if (m_touched.empty()) return;
    std::sort(m_touched.begin(), m_touched.end(), [&](int a, int b) {
        return std::make_pair(a % m_nX, a / m_nX) < std::make_pair(b % m_nX, b / m_nX);
    });
    int row = -1;
    for (int idx : m_touched) {
        Cell& c = m_rowCells[sz(idx)];
        const int j = idx % m_nX + 1, k = idx / m_nX + 1;
        if (isVarianceLetter(m_letter) && c.Moments.SumW() > 0) {
            c.K = c.Moments.ProvisionalMean();
            c.Dev = c.Moments.SumDeviations() / c.Moments.SumW();
            // Ordinary values keep the unit 1; values whose squares are
            // beyond a double's range take a power of two near their spread.
            const double span = std::max(std::fabs(c.High - c.K), std::fabs(c.Low - c.K));
            c.M2Exp = Moments::SpreadUnit(span);
            c.M2 = c.Moments.M2InUnit(c.M2Exp);
        }
        const int total = (j - 1) * m_nCols + (k - 1);
        if (m_totals[sz(total)].Records == 0) m_totalsTouched.push_back(total);
        Merge(m_totals[sz(total)], c);
        if (c.N > 0) {
            Merge(m_groupCells[sz(j)], c);
            if (row < 0) {
                row = static_cast<int>(m_rowValues.size());
                m_rowValues.push_back(m_rowValue);
            }
            Stage({row, j, k, std::move(c)});
        }
        c = Cell();
    }
    m_touched.clear();
    // Tallies of distinct values do not fit the table's row of a cell.
    const bool tallies = m_letter == 'U' || m_letter == 'O';
    if (!tallies && (m_spilled || m_staged.size() + m_rowValues.size() > m_stageLimit)) SpillStaged();
}

// ---- one group's rows -------------------------------------------------------------------------

void CXTab::WriteOneRow(const std::string& dataType, int i, bool withRowValue,
                        const std::vector<std::optional<double>>& values, std::optional<double> summary) {
    RecordsetPtr out = Cx().OutputRecordset();
    out->AddNew();
    m_outColumns.Write(out, static_cast<std::int16_t>(withRowValue ? m_nG : m_nG - 1), m_fields, m_prev,
                    static_cast<std::int16_t>(m_iCol + i), "", "", false, 0, 0, 0, 0, Variant::Null(), Variant::Null());
    if (NamesEqual(m_fields[sz(m_iCol + i)], kAllRecords)) m_outColumns.Column(out, "DataField")->SetValue("-");
    m_outColumns.Column(out, "DataType")->SetValue(dataType);
    // A value beyond a double's range (the variance of values near 1e154)
    // has none to write: its cell is left Null, the others stand.
    for (int k = 1; k <= m_nCols; ++k)
        if (values[sz(k)] && std::isfinite(*values[sz(k)])) out->Fields(m_colNames[sz(k)])->SetValue(*values[sz(k)]);
    if (summary && std::isfinite(*summary)) m_outColumns.Column(out, "RowSummary")->SetValue(*summary);
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
                if (cv && allOk && rowSum) {
                    const double all2 = *all * *all;
                    v[sz(k)] = std::isfinite(all2) && all2 >= std::numeric_limits<double>::min()
                                   ? *cv * *rowSum / all2
                                   : productOver(*cv, *rowSum, *all) / *all;
                }
                break;
            default:
                if (cv && allOk && rowSum) v[sz(k)] = productOver(*cv, *rowSum, *all);
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
        const double E = productOver(*colValues[sz(k)], *rowSum, all);
        // A cell without records is observed 0 times: it adds (0 − E)²/E = E.
        const double O = rowValues[sz(k)] ? *rowValues[sz(k)] : 0.0;
        if (E < 0) {
            // A column of sums below 0: no expected frequency, and a negative
            // term would make chi-square (and phi, its root) no number.
            s.valid = false;
        } else if (E != 0) {
            const double d = Moments::DecimalDifference(O, E);
            s.chi += productOver(d, d, E);
        } else if (O != 0) {
            s.valid = false;
        }
        s.minExpected = std::min(s.minExpected, E);
        s.maxExpected = std::max(s.maxExpected, E);
    }
}

void CXTab::WriteChi(int i, double all, int columns, const ChiSums& s) {
    RecordsetPtr rs = Cx().OutputRecordset2();
    // A table without a row or a column of positive total (sums of 0 or
    // below) has no degrees of freedom, not (0 − 1)·(0 − 1) = 1.
    const int df = s.rows > 0 && columns > 0 ? (s.rows - 1) * (columns - 1) : 0;
    rs->AddNew();
    m_detailColumns.Write(rs, static_cast<std::int16_t>(m_nG - 1), m_fields, m_prev, static_cast<std::int16_t>(m_iCol + i),
                    "Count", "", false, all, 0, 0, 0, Variant::Null(), Variant::Null());
    if (NamesEqual(m_fields[sz(m_iCol + i)], kAllRecords)) m_detailColumns.Column(rs, "DataField")->SetValue("-");
    m_detailColumns.Column(rs, "Columns")->SetValue(columns);
    m_detailColumns.Column(rs, "Rows")->SetValue(s.rows);
    m_detailColumns.Column(rs, "DF")->SetValue(df);
    if (s.rows >= 2 && columns >= 2 && s.valid) {
        CZValue z;
        const double m = std::min(s.rows, columns);
        m_detailColumns.Column(rs, "MinExpected")->SetValue(s.minExpected);
        m_detailColumns.Column(rs, "MaxExpected")->SetValue(s.maxExpected);
        m_detailColumns.Column(rs, "Chi-Square")->SetValue(s.chi);
        m_detailColumns.Column(rs, "Prob")->SetValue(z.Quorb_CalcProb("C", s.chi, df, 0));
        m_detailColumns.Column(rs, "Phi-Coefficient")->SetValue(std::sqrt(s.chi / all));
        m_detailColumns.Column(rs, "Coeff_of_Contingency")->SetValue(std::sqrt(s.chi / (s.chi + all)));
        m_detailColumns.Column(rs, "Cramer's_V")->SetValue(std::sqrt(s.chi / (all * (m - 1))));
    }
    rs->Update();
}

void CXTab::WriteData() {
    Guard("WriteData", [&] {
        using Values = std::vector<std::optional<double>>;
        FlushRow();
        if (m_spilled) {
            SpillStaged();
            m_appender->Flush();
        }
        m_prev = GroupValues();
        m_prev.resize(sz(m_nG) + 1, Variant::Null());
        const std::size_t width = sz(m_nCols) + 1;
        for (int i = 1; i <= m_nX && !Failed(); ++i) {
            // The group's totals per column, the rows merged in their order.
            Values colValues(width);
            std::vector<double> colCounts(width, 0);
            for (int k = 1; k <= m_nCols; ++k) {
                Cell& t = m_totals[sz((i - 1) * m_nCols + (k - 1))];
                Normalize(t);
                colValues[sz(k)] = CalcValue(m_letter, t);
                if (t.N > 0) colCounts[sz(k)] = t.N;
            }
            // The whole group, its cells merged in the order of rows and columns.
            Cell& group = m_groupCells[sz(i)];
            if (group.Records == 0) continue;
            Normalize(group);
            const std::optional<double> all = CalcValue(m_letter, group);
            ChiSums chi;
            chi.minExpected = (all ? *all : 0) + 1;

            // The rows, in the order of their values.
            Values rowValues(width);
            std::vector<double> rowCounts(width, 0);
            Cell rowCell;
            int row = -1;
            Variant rowValue;
            auto writeRow = [&] {
                if (row < 0 || !(rowCell.N > 0)) return;
                Normalize(rowCell);
                const std::optional<double> rowSum = CalcValue(m_letter, rowCell);
                if (!rowSum) return;
                m_prev[sz(m_nG)] = rowValue;
                WriteOneRow("Data: " + m_label, i, true, rowValues, rowSum);
                if (m_letter != 'C') {
                    Values counts(width);
                    for (int k = 1; k <= m_nCols; ++k)
                        if (rowValues[sz(k)]) counts[sz(k)] = rowCounts[sz(k)];
                    WriteOneRow("Count", i, true, counts, rowCell.N);
                }
                WritePercent("", i, true, rowValues, rowSum, colValues, all);
                if (m_chi) CalcChiSq(rowValues, rowSum, colValues, all ? *all : 0, chi);
            };
            ScanStaged(i, [&](const Variant& value, int r, int column, const Cell& c) {
                if (r != row) {
                    writeRow();
                    row = r;
                    rowValue = value;
                    std::fill(rowValues.begin(), rowValues.end(), std::nullopt);
                    std::fill(rowCounts.begin(), rowCounts.end(), 0.0);
                    rowCell = Cell();
                }
                rowCounts[sz(column)] = c.N;
                rowValues[sz(column)] = CalcValue(m_letter, c);
                Merge(rowCell, c);
            });
            writeRow();

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
    });
}
