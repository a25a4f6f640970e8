#include "analyses/nonparametric/CNonParamFriedman.h"

#include "engine/CZValue.h"
#include "engine/Moments.h"
#include "engine/modStatsGeneral.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"

#include <algorithm>
#include <cmath>

using namespace dao;

namespace {

// The rank of a run of t values from position p: the mean of p .. p + t − 1.
double midRank(std::int64_t p, std::int64_t t) {
    return t == 1 ? static_cast<double>(p) : static_cast<double>((t - 1 + 2 * p) * t) / 2 / static_cast<double>(t);
}

// Adds x to the compensated sum (sum, low): the low part keeps what the
// rounding of the sum lost.
void addCompensated(double& sum, double& low, double x) {
    const double t = sum + x;
    low += std::fabs(sum) >= std::fabs(x) ? (sum - t) + x : (x - t) + sum;
    sum = t;
}

} // namespace

CNonParamFriedman::CNonParamFriedman(const Settings& settings)
    : AnalysisRoad(settings, "Quorb_NonParamFriedman", "Friedman"), m_s(settings) {}

std::string CNonParamFriedman::FromScenario(const CMelvarsScenario&, const AnalysisSettings& base, RunContext&,
                                            AnalysisType::Settings& out) {
    NewSettings<Settings>(base, out);
    return {};
}

void CNonParamFriedman::Quorb_RankTable(Recordset& rs, const std::string& blockColumn, const std::string& valueColumn,
                                        const std::string& rankColumn) {
    ProcGuard proc(gEngineErr, "Quorb_RankTable");
    if (rs.EOF_() && rs.BOF()) return;
    rs.MoveFirst();
    FieldPtr block = rs.Fields(blockColumn), value = rs.Fields(valueColumn), rank = rs.Fields(rankColumn);
    std::int64_t p = 0;
    while (!rs.EOF_()) {
        const double g = block->Value().ToDouble(), x = value->Value().ToDouble();
        std::int64_t t = 1;
        p += 1;
        long moves = 1;
        rs.MoveNext();
        while (!rs.EOF_() && block->Value().ToDouble() == g && value->Value().ToDouble() == x) {
            ++t;
            ++moves;
            rs.MoveNext();
        }
        const double r = midRank(p, t);
        p += t - 1;
        rs.Move(-moves);
        for (std::int64_t i = 0; i < t; ++i) {
            rs.Edit();
            rank->SetValue(r);
            rs.Update();
            rs.MoveNext();
        }
        if (!rs.EOF_() && block->Value().ToDouble() != g) p = 0;
    }
}

void CNonParamFriedman::RankWithin(const std::vector<double>& values, std::vector<double>& ranks,
                                   std::vector<std::size_t>& order) {
    const std::size_t k = values.size() - 1;
    order.resize(k);
    for (std::size_t j = 0; j < k; ++j) order[j] = j + 1;
    std::stable_sort(order.begin(), order.end(), [&values](std::size_t a, std::size_t b) { return values[a] < values[b]; });
    ranks.resize(k + 1);
    for (std::size_t i = 0; i < k;) {
        std::size_t e = i + 1;
        while (e < k && values[order[e]] == values[order[i]]) ++e;
        const double r = midRank(static_cast<std::int64_t>(i) + 1, static_cast<std::int64_t>(e - i));
        for (std::size_t m = i; m < e; ++m) ranks[order[m]] = r;
        i = e;
    }
}

std::string CNonParamFriedman::Steps() {
    // Ranks within a record need at least two values.
    if (m_s.nX < 2) return "The Friedman test needs at least two data fields.";
    m_detail = !m_s.OutputTable2.empty();
    std::string msg;
    Progress("Retrieving and sorting data");
    // Sorted by the group fields only: ranks within a record need no order of records.
    msg = OpenSource(m_s.nG, false);
    if (Going(msg)) {
        Progress("Creating output table");
        if (m_detail) msg = CreateDetail();
    }
    if (Going(msg)) msg = CreateOutput();
    if (Going(msg)) {
        const std::size_t k = static_cast<std::size_t>(m_s.nX);
        m_row.assign(k + 1, 0.0);
        m_rank.assign(k + 1, 0.0);
        AnalyzeGroups(m_s.nG);
    }
    return msg;
}

std::string CNonParamFriedman::CreateDetail() {
    return Guard("CreateDetail", [&] {
        TableDefPtr td = NewTable(m_s.OutputTable2);
        std::int16_t ord = 0;
        for (std::size_t i = 1; i <= static_cast<std::size_t>(m_s.nG); ++i)
            AddTableField(td, m_s.fields[i], static_cast<int>(m_types[i]), ord, m_sizes[i]);
        AddTableField(td, "DataField", dbText, ord, 64);
        for (const char* name : {"Count", "SumRanks", "MeanRank"}) AddTableField(td, name, dbDouble, ord, 0);
        return PlaceSecondOutput(td);
    });
}

std::string CNonParamFriedman::CreateOutput() {
    return Guard("CreateOutput", [&] {
        TableDefPtr td = NewTable(m_s.OutputTable1);
        std::int16_t ord =
            CreateLeadFields(td, m_s.nG, m_s.fields, m_types, m_sizes, false, 0, 0, m_s.bW, "Count", "Missing");
        for (const char* name : {"DF", "Fields", "Chi-Squared", "Friedman_Prob"}) AddTableField(td, name, dbDouble, ord, 0);
        return PlaceOutput(td, true);
    });
}

void CNonParamFriedman::InitData() {
    m_complete = 0;
    m_b = 0;
    m_R.assign(static_cast<std::size_t>(m_s.nX) + 1, 0.0);
    m_Rlow.assign(m_R.size(), 0.0);
}

// A record counts only with a weight and every field present (listwise).
void CNonParamFriedman::CalcData() {
    Guard("CalcData", [&] {
        const double w = Weight();
        if (!(w > 0)) return;
        const std::size_t first = m_s.XPosition(), k = static_cast<std::size_t>(m_s.nX);
        for (std::size_t j = 1; j <= k; ++j)
            if (!Number(first + j - 1, m_row[j])) return;
        m_b += w;
        ++m_complete;
        RankWithin(m_row, m_rank, m_order);
        for (std::size_t j = 1; j <= k; ++j) addCompensated(m_R[j], m_Rlow[j], w * m_rank[j]);
    });
}

void CNonParamFriedman::WriteData() {
    Guard("WriteData", [&] {
        const std::size_t k = static_cast<std::size_t>(m_s.nX);
        // ΣR², or for weights beyond the ordinary Σ(R/b)², the squares of the
        // mean ranks: the rank sums' own squares overflow for weights near
        // 1e200 and vanish for weights near 1e-300.
        const bool ordinary = m_b <= Moments::kOrdinaryWeight && m_b >= 1 / Moments::kOrdinaryWeight;
        double S = 0;
        RecordsetPtr det = Cx().OutputRecordset2();
        for (std::size_t j = 1; j <= k && m_complete > 0; ++j) {
            const double r = m_R[j] + m_Rlow[j];
            const double term = ordinary ? r : r / m_b;
            S += term * term;
            if (m_detail) {
                det->AddNew();
                m_detailColumns.Write(det, m_s.nG, m_s.fields, GroupValues(), static_cast<std::int16_t>(m_s.XPosition() + j - 1), "", "",
                                false, 0, 0, 0, 0, Variant::Null(), Variant::Null());
                m_detailColumns.Column(det, "Count")->SetValue(m_b);
                m_detailColumns.Column(det, "SumRanks")->SetValue(r);
                m_detailColumns.Column(det, "MeanRank")->SetValue(r / m_b);
                det->Update();
            }
        }
        RecordsetPtr out = Cx().OutputRecordset();
        out->AddNew();
        m_outColumns.Write(out, m_s.nG, m_s.fields, GroupValues(), 0, "Count", "Missing", m_s.bW, m_b,
                        static_cast<long>(GroupRecords()), static_cast<long>(m_complete), 0, Variant::Null(),
                        Variant::Null());
        const double kk = static_cast<double>(m_s.nX);
        m_outColumns.Column(out, "DF")->SetValue(kk - 1);
        m_outColumns.Column(out, "Fields")->SetValue(kk);
        if (m_b > 0) {
            // 12/(b·k(k + 1))·ΣR² − 3b(k + 1), beyond ordinary weights taken
            // as b times 12/(k(k + 1))·Σ(R/b)² − 3(k + 1).
            const double A = ordinary ? 12 / (m_b * kk * (kk + 1)) * S : 12 / (kk * (kk + 1)) * S;
            const double B = ordinary ? 3 * m_b * (kk + 1) : 3 * (kk + 1);
            // A sum of squares is never below 0: where every field has the same
            // rank sum A equals B, and their rounding (fractional weights) could
            // leave the difference a few units of the last place below 0.
            const double chi = (ordinary ? 1.0 : m_b) * std::max(0.0, Moments::DecimalDifference(A, B));
            CZValue zv;
            m_outColumns.Column(out, "Chi-Squared")->SetValue(chi);
            m_outColumns.Column(out, "Friedman_Prob")->SetValue(zv.Quorb_CalcProb("C", chi, kk - 1, 0));
        }
        out->Update();
    });
}
