#include "analyses/group/CAnova.h"

#include "db/JetFunctions.h"
#include "engine/CMatrix.h"
#include "engine/CZValue.h"
#include "engine/RunContext.h"
#include "engine/modStatsGeneral.h"
#include "errors/RunTimeError.h"
#include "scenario/CMelvarsScenario.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <numeric>

using namespace dao;

namespace {

constexpr const char* kParameterQuery = "The selected query expects parameters and cannot be used by Pelloran.";

std::size_t sz(int i) { return static_cast<std::size_t>(i); }

bool isWhole(const Variant& v) {
    switch (v.Type()) {
    case vbInteger: case vbLong: case vbBoolean: case vbByte: case vbLongLong: return true;
    default: return false;
    }
}

// A number's value to order groups by: whole numbers exactly, also beyond
// the 53 bits of a double (two 64-bit keys a unit apart).
long double exactNumber(const Variant& v) {
    return isWhole(v) ? static_cast<long double>(v.RawInt()) : static_cast<long double>(v.ToDouble());
}

// The finished sums of one level (a group, or a cell of two factors).
struct Level {
    double w = 0;   // weight
    double dev = 0; // mean − the data field's reference value
    double m2 = 0;  // Σw(x − mean)²
};

// Union-find over the levels of two factors: the cells connect them.
int findRoot(std::vector<int>& parent, int i) {
    while (parent[sz(i)] != i) {
        parent[sz(i)] = parent[sz(parent[sz(i)])];
        i = parent[sz(i)];
    }
    return i;
}

} // namespace

double CAnova::MeanDev(const Moments& m, double k0) {
    if (!(m.SumW() > 0)) return 0.0;
    return Moments::DecimalDifference(m.ProvisionalMean(), k0) + m.SumDeviations() / m.SumW();
}

// ---- the entry ------------------------------------------------------------------------

CAnova::CAnova(const Settings& settings)
    : AnalysisRoad(settings, "Quorb_ANOVA", "ANOVA"), m_s(settings), m_fields(settings.fields), m_nG(settings.nG),
      m_nC(settings.nC), m_nX(settings.nX) {}

std::string CAnova::FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext&,
                                 AnalysisType::Settings& out) {
    Settings& a = NewSettings<Settings>(base, out);
    a.Kind.assign(1, dao::ToUpperAscii(s.CalcType()) == "TWO SAMPLE T-TEST" ? 'T' : 'A');
    a.KeepBlankCompare = !s.GroupIgnoreBlanks();
    return {};
}

std::string CAnova::Steps() {
    m_type = ToUpperAscii(m_s.Kind) == "T" ? "T" : "A";
    // Refused before any table is touched: the t-test compares the groups
    // of one compare field and names the data fields after it.
    if (m_nC < 1) return "At least one Compare field must be assigned";
    if (m_type == "T" && m_nC != 1) return "The Two Sample t-Test takes exactly one Compare field";
    if (m_nX < 1) return "At least one X field must be assigned";
    if (!m_s.OutputTable2.empty() && NamesEqual(m_s.OutputTable1, m_s.OutputTable2))
        return "The group detail table needs a name other than the output table's";

    Progress("Analyzing comparison fields");
    std::string msg = AnovaGroups();
    if (Going(msg)) {
        Progress("Retrieving and sorting data");
        msg = m_s.KeepBlankCompare ? OpenSource(static_cast<std::int16_t>(m_nG + m_nC))
                                   : OpenSourceBy([this] { return OpenNonBlankSource(); });
    }
    if (Going(msg)) {
        Progress("Creating output table");
        msg = m_type == "T" ? CreateTTest() : CreateAnova();
        if (Going(msg) && !m_s.OutputTable2.empty()) msg = CreateDetail();
    }
    if (Going(msg)) {
        m_lastGroup.assign(sz(m_nC) + 1, 0);
        m_recordGroup.assign(sz(m_nC) + 1, 0);
        m_recordSlot.assign(sz(m_nC) + 1, 0);
        AnalyzeGroups(m_nG);
    }
    return msg;
}

// ---- groups and source -----------------------------------------------------------------

// The groups of each compare field are found while the records are read:
// each new value becomes the next group, and the writers take the groups in
// the order of their values, as the database sorts them.
std::string CAnova::AnovaGroups() {
    m_groups.assign(sz(m_nC) + 1, std::vector<Variant>(1, Variant::Null()));
    m_groupIndex.assign(sz(m_nC) + 1, {});
    m_sawText.assign(sz(m_nC) + 1, 0);
    m_sawOther.assign(sz(m_nC) + 1, 0);
    m_present.assign(sz(m_nC) + 1, {});
    m_slot.assign(sz(m_nC) + 1, std::vector<int>(1, -1));
    m_pairs.clear();
    for (int a = 1; a < m_nC; ++a)
        for (int b = a + 1; b <= m_nC; ++b) m_pairs.push_back({a, b});
    return {};
}

std::vector<int> CAnova::PresentGroups(int i) const {
    std::vector<int> ids = m_present[sz(i)];
    std::sort(ids.begin(), ids.end());
    return ids;
}

const Moments& CAnova::Cell(int x, int i, int j) const {
    static const Moments none;
    const auto& slots = m_slot[sz(i)];
    if (j < 0 || sz(j) >= slots.size() || slots[sz(j)] < 0) return none;
    return m_cells[sz(x)][sz(i)][sz(slots[sz(j)])];
}

std::string CAnova::ValueKey(const Variant& v) const {
    // The key under which Quorb_SameValue finds two values equal: Nulls
    // together; texts as they are (byte for byte under a binary collating
    // order) or with letters in one case, as the queries' text order folds
    // them; other values by their number.
    if (v.IsNull()) return "N";
    if (v.IsString()) return Cx().BinaryCompare() ? "B" + v.RawString() : "T" + GeneralKey(v.RawString());
    if (isWhole(v) && static_cast<long double>(v.ToDouble()) != exactNumber(v)) {
        // A whole number no double holds equals no other number: its own key.
        const long long n = v.RawInt();
        std::string key(1 + sizeof n, 'I');
        std::memcpy(key.data() + 1, &n, sizeof n);
        return key;
    }
    double d = v.ToDouble();
    if (d == 0) d = 0; // -0 and 0 are one value
    std::string key(1 + sizeof d, 'D');
    std::memcpy(key.data() + 1, &d, sizeof d);
    return key;
}

// The groups of the current group of records, by value (only the groups
// met in it take part in its output).
std::vector<int> CAnova::GroupOrder(int i) const {
    const auto& g = m_groups[sz(i)];
    std::vector<int> order = PresentGroups(i);
    // Null first, then numbers by value, then texts in the database's order.
    auto rank = [](const Variant& v) { return v.IsNull() ? 0 : v.IsString() ? 2 : 1; };
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
        const Variant &a = g[sz(x)], &b = g[sz(y)];
        if (rank(a) != rank(b)) return rank(a) < rank(b);
        if (a.IsNull()) return false;
        if (a.IsString()) return CompareGeneral(a.RawString(), b.RawString()) < 0;
        return exactNumber(a) < exactNumber(b);
    });
    return order;
}

std::string CAnova::OpenNonBlankSource() {
    return Guard("OpenSource", [&]() -> std::string {
        RunContext& eng = Cx();
        const int n = static_cast<int>(m_fields.size()) - 1;
        std::string sql = "SELECT ";
        for (int i = 1; i <= n; ++i) sql += (i > 1 ? ", " : "") + BracketName(m_fields[sz(i)]);
        sql += " FROM " + BracketName(m_s.Table) + " WHERE (";
        for (int i = 1; i <= m_nC; ++i)
            sql += (i > 1 ? " AND " : "") + std::string("(") + BracketName(m_fields[sz(m_nG + i)]) + " Is Not Null)";
        sql += ") ORDER BY ";
        for (int i = 1; i <= m_nG + 1; ++i) sql += (i > 1 ? "," : "") + eng.GroupTerm(m_s.Table, m_fields[sz(i)]);
        std::string msg = eng.OpenDataRecordset(sql);
        if (!msg.empty()) return msg;
        if (eng.DataRecordset()->RecordCount() < 1)
            return "No records with non-blank Compare Fields found in " + m_s.Table + ".";
        eng.Quorb_InitFieldTypes(m_s.Table, *eng.DataRecordset(), static_cast<std::int16_t>(n), m_fields, m_types, m_sizes);
        return {};
    });
}

// ---- output tables ----------------------------------------------------------------------

std::string CAnova::CreateTTest() {
    return Guard("CreateTTest", [&] {
        TableDefPtr td = NewTable(m_s.OutputTable1);
        std::int16_t ord = CreateLeadFields(td, m_nG, m_fields, m_types, m_sizes, true, 0,
                                            static_cast<std::int16_t>(m_nG + 1), false, "", "");
        for (const char* name : {"Count-1", "Count-2", "Mean-1", "Mean-2", "Mean_Diff", "StdDeviation-1",
                                 "StdDeviation-2", "StdError-1", "StdError-2", "DF_Pooled", "t-Value_Pooled",
                                 "Prob_(2-tail)_Pooled", "DF_Separate", "t-Value_Separate", "Prob_(2-tail)_Separate"})
            AddTableField(td, name, dbDouble, ord, 0);
        return PlaceOutput(td, true);
    });
}

std::string CAnova::CreateAnova() {
    return Guard("CreateAnova", [&] {
        TableDefPtr td = NewTable(m_s.OutputTable1);
        std::int16_t ord = CreateLeadFields(td, m_nG, m_fields, m_types, m_sizes, true, 0, 0, false, "", "");
        AddTableField(td, "Index", dbInteger, ord, 0);
        // Wide enough for the label of a pair of the longest field names.
        AddTableField(td, "Source_of_Variation", dbText, ord, 255);
        AddTableField(td, "Sum_of_Squares", dbDouble, ord, 0);
        AddTableField(td, "DF", dbLong, ord, 0);
        for (const char* name : {"Mean_Square", "F-Value", "Prob"}) AddTableField(td, name, dbDouble, ord, 0);
        return PlaceOutput(td, true);
    });
}

std::string CAnova::CreateDetail() {
    return Guard("CreateDetail", [&] {
        TableDefPtr td = NewTable(m_s.OutputTable2);
        std::int16_t ord;
        if (m_nC == 1) {
            ord = CreateLeadFields(td, static_cast<std::int16_t>(m_nG + 1), m_fields, m_types, m_sizes, true, 0, 0,
                                   m_s.bW, "Count", "");
        } else {
            ord = CreateLeadFields(td, m_nG, m_fields, m_types, m_sizes, true, 0, 0, m_s.bW, "", "");
            CommonFieldType(m_nG, m_nC, m_types, m_sizes, m_commonType, m_commonSize);
            WidenToHoldEveryValue(m_nG, m_nC, m_types, m_commonType, m_commonSize);
            AddTableField(td, "Compare_Field", dbText, ord, 64);
            AddTableField(td, "Compare_Value", static_cast<int>(m_commonType), ord, m_commonSize);
            AddTableField(td, "Count", dbDouble, ord, 0);
        }
        for (const char* name : {"Mean", "Minimum", "Maximum", "Range", "Sum", "Variance", "CoeffOfVariance",
                                 "StdDeviation", "StdError"})
            AddTableField(td, name, dbDouble, ord, 0);
        return PlaceSecondOutput(td);
    });
}

// ---- the record loop ----------------------------------------------------------------------

void CAnova::InitData() {
    // Only the groups the last group of records met are forgotten: the work
    // of a group of records is that of its own records.
    for (int i = 1; i <= m_nC; ++i) {
        for (int j : m_present[sz(i)]) m_slot[sz(i)][sz(j)] = -1;
        m_present[sz(i)].clear();
    }
    m_cells.assign(sz(m_nX) + 1, {});
    m_pairCells.assign(sz(m_nX) + 1, {});
    for (int x = 1; x <= m_nX; ++x) {
        m_cells[sz(x)].assign(sz(m_nC) + 1, {});
        m_pairCells[sz(x)].assign(m_pairs.size(), {});
    }
}

void CAnova::CalcData() {
    Guard("CalcData", [&] {
        RunContext& eng = Cx();
        const double w = Weight();
        if (!(w > 0)) return;
        // The record's group in each compare field: the previous record's
        // group first, then a search of the field's values (0 when none matches).
        for (int i = 1; i <= m_nC; ++i) {
            const Variant v = Column(sz(m_nG + i))->Value();
            const auto& g = m_groups[sz(i)];
            int& last = m_lastGroup[sz(i)];
            int j = 0;
            if (last > 0 && eng.Quorb_SameValue(g[sz(last)], v, false)) {
                j = last;
            } else {
                if (v.IsString()) m_sawText[sz(i)] = 1;
                else if (!v.IsNull()) m_sawOther[sz(i)] = 1;
                auto& index = m_groupIndex[sz(i)];
                const std::string key = ValueKey(v);
                if (m_sawText[sz(i)] && m_sawOther[sz(i)]) {
                    for (int k = 1; k < static_cast<int>(g.size()); ++k)
                        if (eng.Quorb_SameValue(g[sz(k)], v, false)) {
                            j = k;
                            break;
                        }
                } else if (auto it = index.find(key); it != index.end()) {
                    j = it->second;
                }
                if (j == 0) {
                    // A value not seen before: a new group.
                    m_groups[sz(i)].push_back(v);
                    j = static_cast<int>(m_groups[sz(i)].size()) - 1;
                    index.emplace(key, j);
                    m_slot[sz(i)].push_back(-1);
                }
                last = j;
            }
            m_recordGroup[sz(i)] = j;
            int& slot = m_slot[sz(i)][sz(j)];
            if (slot < 0) {
                slot = static_cast<int>(m_present[sz(i)].size());
                m_present[sz(i)].push_back(j);
                for (int x = 1; x <= m_nX; ++x) m_cells[sz(x)][sz(i)].emplace_back();
            }
            m_recordSlot[sz(i)] = slot;
        }
        for (int x = 1; x <= m_nX; ++x) {
            double d = 0;
            if (!Number(m_s.XPosition() + sz(x) - 1, d)) continue;
            for (int i = 1; i <= m_nC; ++i) m_cells[sz(x)][sz(i)][sz(m_recordSlot[sz(i)])].Add(d, w);
            for (std::size_t p = 0; p < m_pairs.size(); ++p) {
                const int ja = m_recordGroup[sz(m_pairs[p].a)], jb = m_recordGroup[sz(m_pairs[p].b)];
                const std::int64_t key = (static_cast<std::int64_t>(ja) << 32) | jb;
                m_pairCells[sz(x)][p][key].Add(d, w);
            }
        }
    });
}

void CAnova::WriteData() {
    Guard("WriteData", [&] {
        for (int x = 1; x <= m_nX && !Failed(); ++x) {
            if (m_type == "T") WriteTTest(x);
            else WriteAnova(x);
        }
    });
}

// ---- the t-test --------------------------------------------------------------------------

void CAnova::WriteTTest(int x) {
    Guard("WriteTTest", [&] {
        if (!m_s.OutputTable2.empty()) WriteDetail(x);
        RecordsetPtr out = Cx().OutputRecordset();
        const auto& values = m_groups[1];
        const std::vector<int> order = GroupOrder(1);
        const int G = static_cast<int>(order.size());
        CZValue z;
        for (int pa = 0; pa < G; ++pa) {
            const int ja = order[sz(pa)];
            const Moments& A = Cell(x, 1, ja);
            const double nA = A.SumW();
            if (!(nA > 1)) continue;
            const double sA = A.StdDev("N-1");
            for (int pb = pa + 1; pb < G; ++pb) {
                const int jb = order[sz(pb)];
                const Moments& B = Cell(x, 1, jb);
                const double nB = B.SumW();
                if (!(nB > 1)) continue;
                const double sB = B.StdDev("N-1");
                // The difference of the means about group A's provisional mean.
                const double diff = MeanDev(A, A.ProvisionalMean()) - MeanDev(B, A.ProvisionalMean());
                // Means on either side of 0 near the largest doubles (-1.5e308
                // and 1.5e308) lie further apart than a double reaches: the
                // difference is left Null, and t is taken on its half.
                const bool diffFinite = std::isfinite(diff);
                const double halfDiff = diffFinite ? 0.0 : A.Mean() * 0.5 - B.Mean() * 0.5;
                out->AddNew();
                m_outColumns.Write(out, m_nG, m_fields, GroupValues(), static_cast<std::int16_t>(m_nG + m_nC + x), "", "", false,
                                0, 0, 0, static_cast<std::int16_t>(m_nG + 1), values[sz(ja)], values[sz(jb)]);
                m_outColumns.Column(out, "Count-1")->SetValue(nA);
                m_outColumns.Column(out, "Count-2")->SetValue(nB);
                m_outColumns.Column(out, "Mean-1")->SetValue(A.Mean());
                m_outColumns.Column(out, "Mean-2")->SetValue(B.Mean());
                if (diffFinite) m_outColumns.Column(out, "Mean_Diff")->SetValue(diff);
                m_outColumns.Column(out, "StdDeviation-1")->SetValue(sA);
                m_outColumns.Column(out, "StdDeviation-2")->SetValue(sB);
                m_outColumns.Column(out, "StdError-1")->SetValue(sA / std::sqrt(nA));
                m_outColumns.Column(out, "StdError-2")->SetValue(sB / std::sqrt(nB));
                // The variances in the unit of the larger one: near 1e-300 (or
                // 1e300) a variance itself is beyond a double, t is not.
                const double s = std::max(sA, sB);
                const double varA = s > 0 ? (sA / s) * (sA / s) : 0.0, varB = s > 0 ? (sB / s) * (sB / s) : 0.0;
                const double d = !(s > 0) ? 0.0 : diffFinite ? diff / s : halfDiff / s * 2;
                // Pooled: (nA − 1)·varA is group A's sum of squares about its mean.
                const double sp2 = ((nA - 1) * varA + (nB - 1) * varB) / ((nA - 1) + (nB - 1));
                if (sp2 > 0) {
                    const double t = d / std::sqrt(sp2 / nA + sp2 / nB);
                    const double df = nA + nB - 2;
                    m_outColumns.Column(out, "DF_Pooled")->SetValue(df);
                    m_outColumns.Column(out, "t-Value_Pooled")->SetValue(t);
                    m_outColumns.Column(out, "Prob_(2-tail)_Pooled")->SetValue(z.Quorb_CalcProb("T", t, df, 0));
                }
                const double qa = varA / nA, qb = varB / nB, q = qa + qb;
                if (q > 0) {
                    const double t = d / std::sqrt(q);
                    // Welch's q²/(qa²/(nA − 1) + qb²/(nB − 1)) on the shares
                    // qa/q and qb/q: with weight sums near 1e200 the squares
                    // themselves fall below a double's range.
                    double df = q * q / (qb * qb / (nB - 1) + qa * qa / (nA - 1));
                    if (!std::isnormal(df)) {
                        const double sa = qa / q, sb = qb / q;
                        df = 1 / (sb * sb / (nB - 1) + sa * sa / (nA - 1));
                    }
                    m_outColumns.Column(out, "DF_Separate")->SetValue(df);
                    m_outColumns.Column(out, "t-Value_Separate")->SetValue(t);
                    m_outColumns.Column(out, "Prob_(2-tail)_Separate")->SetValue(z.Quorb_CalcProb("T", t, df, 0));
                }
                out->Update();
            }
        }
    });
}

// ---- the analysis of variance -----------------------------------------------------------

std::optional<double> CAnova::CalcTwoWayAdjust(int levelsA, int levelsB, const std::vector<PairCell>& cells,
                                               RunContext* engine) {
    // Level totals and weights of both factors.
    std::vector<long double> tA(sz(levelsA), 0), wA(sz(levelsA), 0), tB(sz(levelsB), 0), wB(sz(levelsB), 0);
    for (const auto& c : cells) {
        if (!(c.weight > 0)) continue;
        tA[sz(c.a)] += c.total;
        wA[sz(c.a)] += c.weight;
        tB[sz(c.b)] += c.total;
        wB[sz(c.b)] += c.weight;
    }
    // Only levels with weight take part: an empty level would make the system singular.
    std::vector<int> idxA(sz(levelsA), -1), idxB(sz(levelsB), -1);
    int nA = 0, nB = 0;
    for (int i = 0; i < levelsA; ++i)
        if (wA[sz(i)] > 0) idxA[sz(i)] = nA++;
    for (int j = 0; j < levelsB; ++j)
        if (wB[sz(j)] > 0) idxB[sz(j)] = nB++;
    if (nA == 0 || nB == 0) return 0.0;

    // The system is singular exactly when the cells do not connect every
    // level. The records of separate connected parts share no parameter but
    // the mean, which each part's own level totals already fit, so the
    // reduction is the sum of the reductions of the parts.
    std::vector<int> parent(sz(nA + nB));
    std::iota(parent.begin(), parent.end(), 0);
    for (const auto& c : cells) {
        if (!(c.weight > 0)) continue;
        int r1 = findRoot(parent, idxA[sz(c.a)]), r2 = findRoot(parent, nA + idxB[sz(c.b)]);
        if (r1 != r2) parent[sz(r1)] = r2;
    }
    const int root = findRoot(parent, 0);
    bool connected = true;
    for (int i = 1; i < nA + nB; ++i)
        if (findRoot(parent, i) != root) connected = false;
    if (!connected) {
        std::map<int, std::vector<PairCell>> parts;
        for (const auto& c : cells)
            if (c.weight > 0) parts[findRoot(parent, idxA[sz(c.a)])].push_back(c);
        double sum = 0;
        for (const auto& [part, partCells] : parts) {
            std::optional<double> r = CalcTwoWayAdjust(levelsA, levelsB, partCells, engine);
            if (!r) return std::nullopt;
            sum += *r;
        }
        return sum;
    }

    // The factor with fewer levels is solved, the other eliminated (B on a tie).
    const bool solveA = nA < nB;
    const int ns = solveA ? nA : nB, ne = solveA ? nB : nA;
    std::vector<long double> ts(sz(ns)), ws(sz(ns)), te(sz(ne)), we(sz(ne));
    std::vector<long double> n(sz(ns) * sz(ne), 0); // cell weight, eliminated level × solved level
    for (int i = 0; i < levelsA; ++i) {
        if (idxA[sz(i)] < 0) continue;
        auto& t = solveA ? ts : te;
        auto& w = solveA ? ws : we;
        t[sz(idxA[sz(i)])] = tA[sz(i)];
        w[sz(idxA[sz(i)])] = wA[sz(i)];
    }
    for (int j = 0; j < levelsB; ++j) {
        if (idxB[sz(j)] < 0) continue;
        auto& t = solveA ? te : ts;
        auto& w = solveA ? we : ws;
        t[sz(idxB[sz(j)])] = tB[sz(j)];
        w[sz(idxB[sz(j)])] = wB[sz(j)];
    }
    for (const auto& c : cells) {
        if (!(c.weight > 0)) continue;
        const int ia = idxA[sz(c.a)], ib = idxB[sz(c.b)];
        const int e = solveA ? ib : ia, s = solveA ? ia : ib;
        n[sz(e) * sz(ns) + sz(s)] += c.weight;
    }

    long double r = 0;
    for (int e = 0; e < ne; ++e) r += te[sz(e)] * te[sz(e)] / we[sz(e)];

    // The reduced normal equations of the solved factor, its last level left out.
    const int m = ns - 1;
    if (m < 1) return static_cast<double>(r);
    CMatrix::Array2D C(m, m), Inv(m, m);
    std::vector<long double> Q(sz(m) + 1, 0);
    for (int j = 1; j <= m; ++j) {
        long double q = ts[sz(j - 1)];
        for (int e = 0; e < ne; ++e) q -= n[sz(e) * sz(ns) + sz(j - 1)] * te[sz(e)] / we[sz(e)];
        Q[sz(j)] = q;
        for (int k = 1; k <= m; ++k) {
            long double c = j == k ? ws[sz(j - 1)] : 0;
            for (int e = 0; e < ne; ++e)
                c -= n[sz(e) * sz(ns) + sz(j - 1)] * n[sz(e) * sz(ns) + sz(k - 1)] / we[sz(e)];
            C(j, k) = static_cast<double>(c);
        }
        Inv(j, j) = 1.0;
    }
    CMatrix solver;
    if (!solver.Quorb_GaussJordan_b(static_cast<std::int16_t>(m), static_cast<std::int16_t>(m), C, Inv, engine))
        return std::nullopt;
    long double quad = 0;
    for (int j = 1; j <= m; ++j) {
        long double inner = 0;
        for (int k = 1; k <= m; ++k) inner += Q[sz(k)] * Inv(k, j);
        quad += Q[sz(j)] * inner;
    }
    return static_cast<double>(r + quad);
}

void CAnova::WriteAnovaRow(int x, int& index, const std::string& label, std::optional<double> ss, double df,
                           double mse, double dfE, bool withF) {
    RecordsetPtr out = Cx().OutputRecordset();
    out->AddNew();
    m_outColumns.Write(out, m_nG, m_fields, GroupValues(), static_cast<std::int16_t>(m_nG + m_nC + x), "", "", false, 0, 0, 0, 0,
                    Variant::Null(), Variant::Null());
    m_outColumns.Column(out, "Index")->SetValue(static_cast<std::int16_t>(++index));
    m_outColumns.Column(out, "Source_of_Variation")->SetValue(label);
    // "DF" is a Long column: weight sums beyond it (population counts of
    // billions) leave it Null; F and its probability use the whole value.
    if (std::fabs(df) <= 2147483647.0) m_outColumns.Column(out, "DF")->SetValue(df);
    if (ss) {
        // Brought back beyond a double's range (values near 1e154 square to
        // above 1e308), a sum or mean square is left Null; F is made of
        // their ratio and stands.
        const double sum = std::ldexp(*ss, 2 * m_ssExp);
        if (std::isfinite(sum)) m_outColumns.Column(out, "Sum_of_Squares")->SetValue(sum);
        const double mean = df > 0 ? std::ldexp(*ss / df, 2 * m_ssExp) : 0.0;
        if (df > 0 && std::isfinite(mean)) m_outColumns.Column(out, "Mean_Square")->SetValue(mean);
        // F only where the row has degrees of freedom and a sum of squares.
        if (withF && mse != 0 && *ss > 0 && df > 0) {
            const double F = (*ss / df) / mse;
            CZValue z;
            m_outColumns.Column(out, "F-Value")->SetValue(F);
            m_outColumns.Column(out, "Prob")->SetValue(z.Quorb_CalcProb("F", F, df, dfE));
        }
    }
    out->Update();
}

void CAnova::WriteAnova(int x) {
    Guard("WriteAnova", [&] {
        // The groups of each compare field met in this group of records, in
        // the order in which the run first met them (group 0, no group
        // matched, stays empty in front).
        std::vector<std::vector<int>> present(sz(m_nC) + 1);
        for (int i = 1; i <= m_nC; ++i) present[sz(i)] = PresentGroups(i);
        // The reference value: the provisional mean of the first group with
        // weight; every mean enters as its deviation from it.
        double k0 = 0;
        for (int j : present[1])
            if (Cell(x, 1, j).SumW() > 0) {
                k0 = Cell(x, 1, j).ProvisionalMean();
                break;
            }
        // Values whose squares are beyond a double's range (near 1e-300)
        // are measured in a power of two near their spread, so that the F
        // ratios come out; a power of two changes no digit of the ratios.
        double span = 0;
        for (int i = 1; i <= m_nC; ++i)
            for (int j : present[sz(i)]) {
                const Moments& m = Cell(x, i, j);
                if (m.SumW() > 0) span = std::max({span, std::fabs(m.Max() - k0), std::fabs(m.Min() - k0)});
            }
        m_ssExp = Moments::SpreadUnit(span);
        // Values on either side of 0 near the largest doubles (-1.5e308 and
        // 1.7e308) lie further apart than a double reaches: their spread and
        // the means' deviations are taken in halves (exact), in a unit up to
        // 2^1024, so that F still comes out.
        const bool halves = !std::isfinite(span);
        if (halves) {
            double half = 0;
            for (int i = 1; i <= m_nC; ++i)
                for (int j : present[sz(i)]) {
                    const Moments& m = Cell(x, i, j);
                    if (m.SumW() > 0)
                        half = std::max({half, std::fabs(m.Max() * 0.5 - k0 * 0.5), std::fabs(m.Min() * 0.5 - k0 * 0.5)});
                }
            m_ssExp = std::ilogb(half) + 1;
        }
        auto dev = [&](const Moments& m) {
            const double d = MeanDev(m, k0);
            if (!halves || std::isfinite(d)) return std::ldexp(d, -m_ssExp);
            return std::ldexp(m.ProvisionalMean() * 0.5 - k0 * 0.5 + m.SumDeviations() / m.SumW() * 0.5, 1 - m_ssExp);
        };
        auto levels = [&](int i) {
            std::vector<Level> out;
            out.reserve(present[sz(i)].size() + 1);
            out.push_back({0, 0, 0});
            for (int j : present[sz(i)]) {
                const Moments& m = Cell(x, i, j);
                out.push_back({m.SumW(), dev(m), m.M2InUnit(m_ssExp)});
            }
            return out;
        };
        // Totals from the groups of the first compare field (group 0 included).
        const std::vector<Level> first = levels(1);
        double N = 0, sumDev = 0, within = 0;
        for (const auto& l : first) {
            N += l.w;
            sumDev += l.w * l.dev;
            within += l.m2;
        }
        if (!(N > 0)) return;
        const double grand = sumDev / N;
        auto between = [&](const std::vector<Level>& ls, std::size_t from) {
            double s = 0;
            for (std::size_t j = from; j < ls.size(); ++j)
                if (ls[j].w > 0) s += ls[j].w * (ls[j].dev - grand) * (ls[j].dev - grand);
            return s;
        };
        const double SST = within + between(first, 0);

        std::vector<double> ss(sz(m_nC) + 1, 0), df(sz(m_nC) + 1, 0);
        int K = 0;
        double sumSS = 0, sumDF = 0;
        for (int i = 1; i <= m_nC; ++i) {
            int k = 0;
            for (int j : present[sz(i)])
                if (Cell(x, i, j).SumW() > 0) ++k;
            K += k;
            ss[sz(i)] = between(levels(i), 1);
            df[sz(i)] = k - 1;
            sumSS += ss[sz(i)];
            sumDF += df[sz(i)];
        }
        if (K == 0 || K > N) return;
        if (!m_s.OutputTable2.empty()) WriteDetail(x);

        // One compare field: the residual is the sum of squares within the
        // groups (group 0, values matching no group, counts as one more).
        std::optional<double> SSE = within + first[0].w * (first[0].dev - grand) * (first[0].dev - grand);
        double dfE = N - 1 - sumDF;
        std::optional<double> SSI = 0.0, SSM = sumSS;
        double DFI = 0;
        struct PairResult {
            std::string label;
            std::optional<double> ss;
            double df = 0;
        };
        std::vector<PairResult> pairs;
        if (m_nC > 1) {
            bool exactTwo = false;
            std::optional<double> reduction; // of the one pair when there are two compare fields
            double withinCells = 0, cellSS = 0;
            for (std::size_t p = 0; p < m_pairs.size(); ++p) {
                const int a = m_pairs[p].a, b = m_pairs[p].b;
                // The levels are the groups met here, numbered from 1 in the
                // order of their groups (0 stays for no group matched).
                const int ka = static_cast<int>(present[sz(a)].size()) + 1, kb = static_cast<int>(present[sz(b)].size()) + 1;
                auto level = [&](int i, int j) {
                    const auto& ids = present[sz(i)];
                    return static_cast<int>(std::lower_bound(ids.begin(), ids.end(), j) - ids.begin()) + 1;
                };
                PairResult r;
                r.label = "[" + m_fields[sz(m_nG + a)] + "] & [" + m_fields[sz(m_nG + b)] + "]";
                std::vector<PairCell> pc;
                double cSS = 0, inside = 0;
                bool onePerCell = true;
                for (const auto& [key, m] : m_pairCells[sz(x)][p]) {
                    if (!(m.SumW() > 0)) continue;
                    const int ga = static_cast<int>(key >> 32), gb = static_cast<int>(key & 0xffffffff);
                    const double d = dev(m) - grand;
                    inside += m.M2InUnit(m_ssExp);
                    if (ga == 0 || gb == 0) continue;
                    pc.push_back({level(a, ga), level(b, gb), m.SumW() * d, m.SumW()});
                    cSS += m.SumW() * d * d;
                    if (m.Count() > 1) onePerCell = false;
                }
                const int cellsUsed = static_cast<int>(pc.size());
                std::optional<double> R = cellsUsed > 0 ? CalcTwoWayAdjust(ka, kb, pc, &Cx()) : 0.0;
                if (cellsUsed == 0 || onePerCell) {
                    // No cell, or every cell fitted exactly by its one record:
                    // no interaction can be told from the residual.
                    r.ss = 0.0;
                    r.df = 0;
                } else {
                    const double kA = df[sz(a)] + 1, kB = df[sz(b)] + 1;
                    r.df = (kA - 1) * (kB - 1) - (kA * kB - cellsUsed);
                    if (R) r.ss = cSS - *R;
                    else r.ss.reset();
                }
                if (r.ss && SSI) *SSI += *r.ss;
                else SSI.reset();
                DFI += r.df;
                if (m_nC == 2) {
                    exactTwo = cellsUsed > 0 && !onePerCell;
                    reduction = R;
                    withinCells = inside;
                    cellSS = cSS;
                }
                pairs.push_back(r);
            }
            dfE = N - 1 - sumDF - DFI;
            if (m_nC == 2) {
                // The main effects adjusted for each other: the reduction due
                // to both together.
                SSM = reduction;
                if (exactTwo && cellSS > 0) SSE = withinCells;
                else if (reduction) SSE = SST - *reduction;
                else SSE.reset();
            } else {
                SSM = sumSS;
                if (SSI) SSE = SST - sumSS - *SSI;
                else SSE.reset();
            }
        }

        double mse = 0;
        if (SSE && *SSE < 0) SSE = 0.0;
        if (SSE && dfE > 0) mse = *SSE / dfE;

        // "Index" is an Integer column: a data field of more rows than it
        // counts (five more than the compare fields and their pairs, from
        // 256 compare fields) is said as such before any of its rows.
        long rows = 3 + m_nC + (m_nC > 1 ? 1 : 0) + (m_nC > 2 ? 1 : 0);
        for (const auto& p : pairs)
            if (p.df > 0) ++rows;
        if (rows > 32767)
            throw RunTimeError(rterr::Overflow, "Overflow: " + std::to_string(m_nC) + " compare fields give data field " +
                                                    m_fields[sz(m_nG + m_nC + x)] + " " + std::to_string(rows) +
                                                    " rows in one group, more than the 32767 the column Index of an "
                                                    "analysis-of-variance table counts.");
        int index = 0;
        WriteAnovaRow(x, index, "Main Effects", SSM, sumDF, mse, dfE, true);
        for (int i = 1; i <= m_nC; ++i) {
            std::optional<double> main;
            if (m_nC == 1) main = ss[1];
            else if (SSM) main = *SSM - (sumSS - ss[sz(i)]);
            WriteAnovaRow(x, index, "Main: [" + m_fields[sz(m_nG + i)] + "]", main, df[sz(i)], mse, dfE, true);
        }
        if (m_nC > 2) WriteAnovaRow(x, index, "Interactions", DFI > 0 ? SSI : std::optional<double>(0.0), DFI, mse, dfE, true);
        for (const auto& p : pairs)
            if (p.df > 0) WriteAnovaRow(x, index, p.label, p.ss, p.df, mse, dfE, true);
        if (m_nC > 1) {
            std::optional<double> explained;
            if (SSE) explained = SST - *SSE;
            WriteAnovaRow(x, index, "Explained", explained, N - 1 - dfE, mse, dfE, true);
        }
        WriteAnovaRow(x, index, "Residual", SSE, dfE, mse, dfE, false);
        WriteAnovaRow(x, index, "Total", SST, N - 1, mse, dfE, false);
    });
}

// ---- the group detail table ------------------------------------------------------------

void CAnova::WriteDetail(int x) {
    Guard("WriteDetail", [&] {
        RecordsetPtr rs = Cx().OutputRecordset2();
        if (!rs) return;
        const std::int16_t dataField = static_cast<std::int16_t>(m_nG + m_nC + x);
        std::vector<Variant> lead = GroupValues();
        lead.resize(sz(m_nG) + 2, Variant::Null());
        for (int i = 1; i <= m_nC; ++i) {
            for (int j : GroupOrder(i)) {
                const Moments& m = Cell(x, i, j);
                const double n = m.SumW();
                if (!(n > 0)) continue;
                const Variant& value = m_groups[sz(i)][sz(j)];
                rs->AddNew();
                if (m_nC == 1) {
                    lead[sz(m_nG) + 1] = value;
                    m_detailColumns.Write(rs, static_cast<std::int16_t>(m_nG + 1), m_fields, lead, dataField, "Count", "",
                                    m_s.bW, n, 0, m.Count(), 0, Variant::Null(), Variant::Null());
                } else {
                    m_detailColumns.Write(rs, m_nG, m_fields, GroupValues(), dataField, "", "", m_s.bW, 0, 0, m.Count(), 0,
                                    Variant::Null(), Variant::Null());
                    m_detailColumns.Column(rs, "Compare_Field")->SetValue(m_fields[sz(m_nG + i)]);
                    const bool asText = m_types[sz(m_nG + i)] != m_commonType;
                    if (!value.IsNull()) m_detailColumns.Column(rs, "Compare_Value")->SetValue(asText ? Variant(value.ToString()) : value);
                    m_detailColumns.Column(rs, "Count")->SetValue(n);
                }
                const double s = m.StdDev("N-1");
                const double mean = m.Mean();
                m_detailColumns.Column(rs, "Mean")->SetValue(mean);
                m_detailColumns.Column(rs, "Minimum")->SetValue(m.Min());
                m_detailColumns.Column(rs, "Maximum")->SetValue(m.Max());
                m_detailColumns.Column(rs, "Range")->SetValue(Moments::DecimalDifference(m.Max(), m.Min()));
                m_detailColumns.Column(rs, "Sum")->SetValue(m.Sum());
                // A group variance beyond a double's range (values near
                // 1e154) is left Null; its deviation stands.
                const double variance = m.Variance("N-1");
                if (std::isfinite(variance)) m_detailColumns.Column(rs, "Variance")->SetValue(variance);
                if (mean != 0) m_detailColumns.Column(rs, "CoeffOfVariance")->SetValue(s / mean);
                m_detailColumns.Column(rs, "StdDeviation")->SetValue(s);
                m_detailColumns.Column(rs, "StdError")->SetValue(s / std::sqrt(n));
                rs->Update();
            }
        }
    });
}
