#include "analyses/nonparametric/CNonParamMannKruskalKS.h"

#include "analyses/nonparametric/CNonParamWald.h"
#include "engine/CZValue.h"
#include "engine/Moments.h"
#include "engine/SortStage.h"
#include "engine/modStatsGeneral.h"
#include "scenario/CMelvarsScenario.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

using namespace dao;

namespace {

// The staged rows: Mann-Whitney reads a data field one sample at a time
// (sample, value, weight); Kruskal-Wallis reads all samples of a field in
// the order of their values (value, sample, weight).
SortStage::Shape pairShape() {
    SortStage::Shape s;
    s.columns = {"GroupFld", "Data", "Weight"};
    s.keys = 2;
    s.parts = true;
    s.memoryLimit = SortStage::RowsIn(SortStage::RankMemory, 3);
    s.packed = true;
    return s;
}

// A sample's rows read in runs of equal values: their rows, weights and
// whole weights summed in the order read.
struct ValueRun {
    double x = 0, whole = 0, weight = 0;
    std::int64_t rows = 0;
};
constexpr std::size_t HeldRuns = std::size_t(1) << 16;

class CursorRuns {
public:
    explicit CursorRuns(SortStage::Cursor& c) : m_c(c), m_r(c.Next() ? c.Row() : nullptr) {}
    bool Next(ValueRun& run) {
        if (!m_r) return false;
        run = ValueRun{};
        run.x = m_r[1];
        for (; m_r && m_r[1] == run.x; m_r = m_c.Next() ? m_c.Row() : nullptr) {
            run.rows += 1;
            run.weight += m_r[2];
            run.whole += std::floor(m_r[2]);
        }
        return true;
    }

private:
    SortStage::Cursor& m_c;
    const double* m_r;
};

struct HeldRunsOf {
    const std::vector<ValueRun>& runs;
    std::size_t at = 0;
    bool Next(ValueRun& run) {
        if (at == runs.size()) return false;
        run = runs[at++];
        return true;
    }
};

SortStage::Shape allSamplesShape() {
    SortStage::Shape s;
    s.columns = {"Data", "GroupFld", "Weight"};
    s.memoryLimit = SortStage::RowsIn(SortStage::RankMemory, 3);
    s.packed = true;
    return s;
}

std::string oneCompareField(const AnalysisSettings& base) {
    if (base.nC == 0) return "At least one Compare field must be assigned";
    if (base.nC > 1) return "Only one Compare field may be assigned";
    return {};
}

} // namespace

CNonParamMannKruskalKS::CNonParamMannKruskalKS(const Settings& settings)
    : AnalysisRoad(settings, "Quorb_MannKSKruskal", settings.KruskalWallis ? "Kruskal-Wallis" : "Mann-Whitney"),
      m_s(settings) {}

CNonParamMannKruskalKS::~CNonParamMannKruskalKS() = default;

std::string CNonParamMannKruskalKS::FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base,
                                                 RunContext& cx, AnalysisType::Settings& out) {
    std::string msg = oneCompareField(base);
    if (!msg.empty()) return msg;
    if (NamesEqual(s.CalcType(), "N Sample")) {
        NewSettings<Settings>(base, out).KruskalWallis = true;
    } else if (NamesEqual(s.NPTwoType(), "Wald")) {
        return CNonParamWald::FromScenario(s, base, cx, out);
    } else if (NamesEqual(s.NPTwoType(), "Mann")) {
        Settings& a = NewSettings<Settings>(base, out);
        a.OutputTable2 = "";
        a.MannWhitney = true;
        a.KolmogorovSmirnov = true;
    } else {
        return "Unknown two-sample test type: " + s.NPTwoType();
    }
    return {};
}

template <>
std::string RunAnalysis<CNonParamMannKruskalKS>(AnalysisSettings& settings, RunContext& cx) {
    if (dynamic_cast<CNonParamWald::Settings*>(&settings)) return RunAnalysis<CNonParamWald>(settings, cx);
    CNonParamMannKruskalKS analysis(static_cast<const CNonParamMannKruskalKS::Settings&>(settings));
    return analysis.Run(cx);
}

std::string CNonParamMannKruskalKS::Steps() {
    m_c = static_cast<std::int16_t>(m_s.ComparePosition());
    const bool twoSample = m_s.MannWhitney || m_s.KolmogorovSmirnov;
    Progress("Retrieving comparison values");
    {
        std::vector<long> types, sizes;
        m_count = CNonParamWald::Quorb_QueryGroups(m_s.Table, m_s.fields, m_c, types, sizes, m_values, Cx());
    }
    if (m_count < 1) return "Problem with input table";
    Progress("Retrieving and sorting data");
    // The records of a group come by compare value (most of them then find
    // their sample at once); the stage orders the values.
    std::string msg = OpenSource(m_c, false);
    if (Going(msg)) {
        Progress("Creating output table");
        if (twoSample) {
            msg = CreateOutput();
        } else if (m_s.KruskalWallis) {
            if (!m_s.OutputTable2.empty()) msg = CreateKruskalDetail();
            if (Going(msg)) msg = CreateKruskalWallis();
        }
    }
    if (Going(msg)) msg = MakeWorkDatabase();
    if (Going(msg)) {
        Progress("Analyzing records");
        m_stage = std::make_unique<SortStage>(Cx(), m_s.nX, twoSample ? pairShape() : allSamplesShape());
        m_cells.assign(static_cast<std::size_t>(m_count + 1) * static_cast<std::size_t>(m_s.nX + 1), Cell{});
        m_active.assign(static_cast<std::size_t>(m_s.nX) + 1, {});
        // The staged rows of a group and its result rows are kept together.
        Kept([this] { ReadGroups(m_s.nG); });
        if (m_unmatched > 0)
            Progress(std::to_string(m_unmatched) +
                     " records with a compare value outside the list of values were counted as missing");
    }
    return msg;
}

void CNonParamMannKruskalKS::CloseOwn() {
    if (m_stage) m_stage->Close();
    m_stage.reset();
    m_lead.Clear();
    m_leadDetail.Clear();
}

std::string CNonParamMannKruskalKS::CreateOutput() {
    return Guard("CreateOutput", [&] {
        TableDefPtr td = NewTable(m_s.OutputTable1);
        std::int16_t ord = CreateLeadFields(td, m_s.nG, m_s.fields, m_types, m_sizes, true, 0, m_c, false, "Count", "");
        AddTableField(td, "Cases-1", dbDouble, ord, 0);
        AddTableField(td, "Cases-2", dbDouble, ord, 0);
        if (m_s.MannWhitney)
            for (const char* name : {"SumRank-1", "SumRank-2", "MeanRank-1", "MeanRank-2", "Ties", "TiedGroups",
                                     "SumTies", "MW_U", "MW_U_Prime", "MW_W", "MW_Z", "MW_Prob", "MW_Z_(ties)",
                                     "MW_Prob_(ties)"})
                AddTableField(td, name, dbDouble, ord, 0);
        if (m_s.KolmogorovSmirnov)
            for (const char* name : {"KS_MaxAbsoluteDiff", "KS_MaxPosDiff", "KS_MaxNegDiff", "KS_Z", "KS_Prob"})
                AddTableField(td, name, dbDouble, ord, 0);
        return PlaceOutput(td, true);
    });
}

std::string CNonParamMannKruskalKS::CreateKruskalDetail() {
    return Guard("CreateKruskalDetail", [&] {
        TableDefPtr td = NewTable(m_s.OutputTable2);
        std::int16_t ord = CreateLeadFields(td, m_c, m_s.fields, m_types, m_sizes, true, 0, 0, m_s.bW, "Count", "");
        AddTableField(td, "SumRanks", dbDouble, ord, 0);
        AddTableField(td, "MeanRank", dbDouble, ord, 0);
        return PlaceSecondOutput(td);
    });
}

std::string CNonParamMannKruskalKS::CreateKruskalWallis() {
    return Guard("CreateKruskalWallis", [&] {
        TableDefPtr td = NewTable(m_s.OutputTable1);
        std::int16_t ord =
            CreateLeadFields(td, m_s.nG, m_s.fields, m_types, m_sizes, true, 0, 0, m_s.bW, "Count", "Missing");
        for (const char* name : {"Groups", "Ties", "TiedGroups", "SumTies", "H", "Prob", "H_(ties)", "Prob_(ties)"})
            AddTableField(td, name, dbDouble, ord, 0);
        return PlaceOutput(td, true);
    });
}

// A new group of records: its cells emptied, the stage ready.
void CNonParamMannKruskalKS::InitData() {
    Guard("InitData", [&] {
        for (std::int16_t f = 1; f <= m_s.nX; ++f) {
            auto& active = m_active[static_cast<std::size_t>(f)];
            for (std::int64_t g : active) cell(g, f) = Cell{};
            active.clear();
        }
        m_stage->BeginGroup();
        m_groupIndex = 0;
    });
}

bool CNonParamMannKruskalKS::FindGroup(const Variant& value, std::int64_t& index) {
    RunContext& cx = Cx();
    // The sorted records bring the same value or the next one most of the time.
    if (index > 0) {
        if (cx.Quorb_SameValue(m_values[static_cast<std::size_t>(index)], value, false)) return true;
        if (index < m_count && cx.Quorb_SameValue(m_values[static_cast<std::size_t>(index + 1)], value, false)) {
            ++index;
            return true;
        }
    }
    for (std::int64_t i = 1; i <= m_count; ++i) {
        if (cx.Quorb_SameValue(m_values[static_cast<std::size_t>(i)], value, false)) {
            index = i;
            return true;
        }
    }
    return false;
}

void CNonParamMannKruskalKS::CalcData() {
    Guard("CalcData", [&] {
        const double w = Weight();
        if (!(w > 0)) return;
        if (!FindGroup(Column(static_cast<std::size_t>(m_c))->Value(), m_groupIndex)) {
            // Counted as missing; the run reports how many once, at its end.
            ++m_unmatched;
            return;
        }
        const double g = static_cast<double>(m_groupIndex);
        const bool twoSample = m_s.MannWhitney || m_s.KolmogorovSmirnov;
        for (std::int16_t i = 1; i <= m_s.nX; ++i) {
            double x = 0;
            if (!Number(static_cast<std::size_t>(m_c + i), x)) continue;
            Cell& c = cell(m_groupIndex, i);
            if (c.count == 0) m_active[static_cast<std::size_t>(i)].push_back(m_groupIndex);
            c.count += 1;
            c.weight += w;
            if (twoSample) m_stage->Add(i, {g, x, w});
            else m_stage->Add(i, {x, g, w});
        }
    });
}

void CNonParamMannKruskalKS::WriteData() {
    Guard("WriteData", [&] {
        for (std::int16_t f = 1; f <= m_s.nX && !Failed(); ++f) {
            auto& active = m_active[static_cast<std::size_t>(f)];
            std::sort(active.begin(), active.end());
            if (m_s.KruskalWallis) WriteKruskalWallis(f);
            else if (m_s.MannWhitney || m_s.KolmogorovSmirnov) WriteMannKS(f);
        }
    });
}

// One row for every pair of samples with values of the field, in the order
// of the compare values. A pair is ranked by merging its two samples' values
// in ascending order, in runs of equal values.
void CNonParamMannKruskalKS::WriteMannKS(std::int16_t f) {
    Guard("WriteMannKS", [&] {
        const auto& active = m_active[static_cast<std::size_t>(f)];
        if (active.size() < 2) return;
        const bool mann = m_s.MannWhitney, ks = m_s.KolmogorovSmirnov;
        SortStage::Cursor one(*m_stage), two(*m_stage);
        // The first sample's runs of equal values are held while it meets the
        // samples after it, when it meets more than one and its runs are not
        // too many.
        std::vector<ValueRun> held;
        const std::size_t heldRuns = SortStage::HeldRows(HeldRuns);
        CZValue zv;
        RecordsetPtr out = Cx().OutputRecordset();
        // The row's columns, found once: "Cases-1", "Cases-2", then the
        // Mann-Whitney and the Kolmogorov-Smirnov columns in their order.
        static const char* const names[] = {"Cases-1", "Cases-2", "SumRank-1", "SumRank-2", "MeanRank-1",
                                            "MeanRank-2", "Ties", "TiedGroups", "SumTies", "MW_U", "MW_U_Prime",
                                            "MW_W", "MW_Z", "MW_Prob", "MW_Z_(ties)", "MW_Prob_(ties)",
                                            "KS_MaxAbsoluteDiff", "KS_MaxPosDiff", "KS_MaxNegDiff", "KS_Z", "KS_Prob"};
        enum {
            Cases1, Cases2, SumRank1, SumRank2, MeanRank1, MeanRank2, TiesCol, TiedGroupsCol, SumTiesCol, MwU, MwUPrime,
            MwW, MwZ, MwProb, MwZTies, MwProbTies, KsMaxAbs, KsMaxPos, KsMaxNeg, KsZ, KsProb
        };
        std::vector<FieldPtr> columns(std::size(names));
        auto column = [&](std::size_t i) -> const FieldPtr& {
            if (!columns[i]) columns[i] = out->Fields(names[i]);
            return columns[i];
        };
        for (std::size_t i = 0; i < active.size(); ++i) {
            const std::int64_t g1 = active[i];
            held.clear();
            bool holding = active.size() - i > 2;
            if (holding) {
                one.Open(f, static_cast<double>(g1));
                for (CursorRuns runs(one); holding;) {
                    ValueRun r;
                    if (!runs.Next(r)) break;
                    if (held.size() == heldRuns) holding = false;
                    else held.push_back(r);
                }
                if (!holding) held.clear();
            }
            for (std::size_t j = i + 1; j < active.size(); ++j) {
                const std::int64_t g2 = active[j];
                const double N1 = cell(g1, f).weight, N2 = cell(g2, f).weight;
                TieRanks ranks;
                double R1 = 0, R2 = 0, ties = 0, c1 = 0, c2 = 0, Dpos = 0, Dneg = 0;
                // The rank positions each sample takes: the whole parts of its weights.
                double n1 = 0, n2 = 0;
                // A value whose weights take no rank position (below 1) has no
                // mean rank: the rank sums and U are then undefined.
                bool unranked = false;
                // Runs of equal values of both samples, merged in ascending order.
                auto walk = [&](auto&& first, auto&& second) {
                    ValueRun a, b;
                    bool moreA = first.Next(a), moreB = second.Next(b);
                    while (moreA || moreB) {
                        const double x = !moreB || (moreA && a.x < b.x) ? a.x : b.x;
                        ValueRun r1, r2;
                        if (moreA && a.x == x) {
                            r1 = a;
                            moreA = first.Next(a);
                        }
                        if (moreB && b.x == x) {
                            r2 = b;
                            moreB = second.Next(b);
                        }
                        if (ks) {
                            c1 += r1.weight;
                            c2 += r2.weight;
                            const double D = Moments::DecimalDifference(c1 / N1, c2 / N2);
                            if (D > Dpos) Dpos = D;
                            if (D < Dneg) Dneg = D;
                        }
                        if (mann) {
                            // Weights below 1 take no rank position.
                            const double t = r1.whole + r2.whole;
                            if (t > 0) {
                                const double mean = ranks.Run(t);
                                if (t > 1) ties += static_cast<double>(r1.rows + r2.rows);
                                R1 += r1.whole * mean;
                                R2 += r2.whole * mean;
                                n1 += r1.whole;
                                n2 += r2.whole;
                            } else {
                                unranked = true;
                            }
                        }
                    }
                };
                two.Open(f, static_cast<double>(g2));
                if (holding) {
                    walk(HeldRunsOf{held}, CursorRuns(two));
                } else {
                    one.Open(f, static_cast<double>(g1));
                    walk(CursorRuns(one), CursorRuns(two));
                }
                out->AddNew();
                m_lead.Write(out, m_s.nG, m_s.fields, GroupValues(), static_cast<std::int16_t>(m_c + f), "Count", "",
                                false, N1 + N2, static_cast<long>(GroupRecords()),
                                static_cast<long>(cell(g1, f).count + cell(g2, f).count), m_c,
                                m_values[static_cast<std::size_t>(g1)], m_values[static_cast<std::size_t>(g2)]);
                column(Cases1)->SetValue(N1);
                column(Cases2)->SetValue(N2);
                // A sample none of whose weights takes a rank position has no rank statistics.
                if (n1 == 0 || n2 == 0) unranked = true;
                if (mann && !unranked) {
                    const double sumTies = ranks.cubeTerm / 12;
                    // U counts pairs of the rank positions: with fractional
                    // weights (2.7 takes 2 positions) the cases' weight sums
                    // would give U below 0 or beyond N1·N2.
                    const double P12 = n1 * n2;
                    double U = Moments::DecimalDifference(n1 * (n1 + 1) / 2 + P12, R1);
                    if (P12 / 2 < U) U = Moments::DecimalDifference(P12, U);
                    column(SumRank1)->SetValue(R1);
                    column(SumRank2)->SetValue(R2);
                    column(MeanRank1)->SetValue(R1 / N1);
                    column(MeanRank2)->SetValue(R2 / N2);
                    column(TiesCol)->SetValue(ties);
                    column(TiedGroupsCol)->SetValue(ranks.tiedGroups);
                    column(SumTiesCol)->SetValue(sumTies);
                    column(MwU)->SetValue(U);
                    column(MwUPrime)->SetValue(Moments::DecimalDifference(P12, U));
                    column(MwW)->SetValue(n1 <= n2 ? R1 : R2);
                    const double Nt = n1 + n2;
                    const double V0 = Moments::DecimalDifference(Nt * Nt * Nt, Nt) / 12;
                    const double f0 = (Nt - 1) * Nt > 0 ? P12 / ((Nt - 1) * Nt) : 0.0;
                    const double dev = Moments::DecimalDifference(U, P12 / 2);
                    // Fewer than two cases (fractional weights) leave the normal approximation undefined.
                    const double sd = std::sqrt(f0 * V0);
                    if (sd > 0) {
                        const double Z = dev / sd;
                        column(MwZ)->SetValue(Z);
                        column(MwProb)->SetValue(
                            Moments::DecimalDifference(1.0, zv.Quorb_CalcProb("Z", std::fabs(Z), 0, 0)));
                    }
                    if (V0 > sumTies) {
                        const double st = std::sqrt(f0 * Moments::DecimalDifference(V0, sumTies));
                        if (st > 0) {
                            const double Zt = dev / st;
                            column(MwZTies)->SetValue(Zt);
                            column(MwProbTies)->SetValue(
                                Moments::DecimalDifference(1.0, zv.Quorb_CalcProb("Z", std::fabs(Zt), 0, 0)));
                        }
                    }
                }
                if (ks) {
                    const double Dmax = std::fabs(Dneg) <= Dpos ? Dpos : std::fabs(Dneg);
                    const double Z = Dmax * std::sqrt(N1 * N2 / (N1 + N2));
                    column(KsMaxAbs)->SetValue(Dmax);
                    column(KsMaxPos)->SetValue(Dpos);
                    column(KsMaxNeg)->SetValue(Dneg);
                    column(KsZ)->SetValue(Z);
                    column(KsProb)->SetValue(zv.Quorb_CalcKSProb(Z));
                }
                out->Update();
            }
        }
    });
}

// The field's values of all samples in ascending order, ranked in runs of
// equal values; each sample's rank sum, and a detail row per sample.
void CNonParamMannKruskalKS::WriteKruskalWallis(std::int16_t f) {
    Guard("WriteKruskalWallis", [&] {
        const auto& active = m_active[static_cast<std::size_t>(f)];
        // Per sample, for the samples of `active` (kept zero for the others).
        auto& rowCount = m_rowCount;
        auto& weightTotal = m_weightTotal;
        auto& rankSum = m_rankSum;
        auto& run = m_run;
        const std::size_t K = static_cast<std::size_t>(m_count) + 1;
        if (run.size() != K) {
            rowCount.assign(K, 0);
            weightTotal.assign(K, 0);
            rankSum.assign(K, 0);
            run.assign(K, {});
        }
        std::vector<std::size_t> present;
        TieRanks ranks;
        double ties = 0;
        auto closeRun = [&] {
            double t = 0;
            std::int64_t rows = 0;
            for (std::size_t g : present) {
                t += run[g].whole;
                rows += run[g].rows;
            }
            // Weights below 1 take no rank position.
            if (t > 0) {
                const double a = ranks.Run(t);
                if (t > 1) ties += static_cast<double>(rows);
                for (std::size_t g : present) {
                    if (run[g].whole > 0) {
                        rowCount[g] += run[g].rows;
                        weightTotal[g] += run[g].whole;
                        rankSum[g] += run[g].whole * a;
                    }
                }
            }
            for (std::size_t g : present) run[g] = RunPart{};
            present.clear();
        };
        SortStage::Cursor rows(*m_stage);
        rows.Open(f);
        bool first = true;
        double x = 0;
        while (rows.Next()) {
            const double* r = rows.Row();
            if (!first && r[0] != x) closeRun();
            first = false;
            x = r[0];
            const auto g = static_cast<std::size_t>(r[1]);
            if (run[g].rows == 0) present.push_back(g);
            run[g].rows += 1;
            run[g].whole += std::floor(r[2]);
        }
        if (!first) closeRun();

        double S = 0, N = 0;
        std::int64_t groups = 0, cases = 0;
        const std::size_t c = static_cast<std::size_t>(m_c);
        std::vector<Variant> lead = GroupValues();
        lead.resize(std::max(lead.size(), c + 1), Variant::Null());
        RecordsetPtr detail = Cx().OutputRecordset2();
        const FieldPtr sumRanks = detail ? m_leadDetail.Column(detail, "SumRanks") : nullptr;
        const FieldPtr meanRank = detail ? m_leadDetail.Column(detail, "MeanRank") : nullptr;
        for (std::int64_t g : active) {
            const auto gi = static_cast<std::size_t>(g);
            cases += cell(g, f).count;
            const double R = rankSum[gi], n = weightTotal[gi];
            if (!(R > 0)) continue;
            lead[c] = m_values[gi];
            if (detail) {
                detail->AddNew();
                m_leadDetail.Write(detail, m_c, m_s.fields, lead, static_cast<std::int16_t>(m_c + f), "Count", "",
                                m_s.bW, n, 0, static_cast<long>(rowCount[gi]), 0, Variant::Null(), Variant::Null());
                sumRanks->SetValue(R);
                meanRank->SetValue(R / n);
                detail->Update();
            }
            N += n;
            groups += 1;
            S += R * R / n;
        }
        for (std::int64_t g : active) {
            const auto gi = static_cast<std::size_t>(g);
            rowCount[gi] = 0;
            weightTotal[gi] = rankSum[gi] = 0;
        }
        const double sumTies = ranks.cubeTerm;
        RecordsetPtr out = Cx().OutputRecordset();
        out->AddNew();
        m_lead.Write(out, m_s.nG, m_s.fields, lead, static_cast<std::int16_t>(m_c + f), "Count", "Missing", m_s.bW,
                        N, static_cast<long>(GroupRecords()), static_cast<long>(cases), 0, Variant::Null(),
                        Variant::Null());
        m_lead.Column(out, "Groups")->SetValue(static_cast<double>(groups));
        m_lead.Column(out, "Ties")->SetValue(ties);
        m_lead.Column(out, "TiedGroups")->SetValue(ranks.tiedGroups);
        m_lead.Column(out, "SumTies")->SetValue(sumTies);
        if (N > 0 && groups > 1) {
            CZValue zv;
            const double H = Moments::DecimalDifference(12 * S / (N * (N + 1)), 3 * (N + 1));
            m_lead.Column(out, "H")->SetValue(H);
            m_lead.Column(out, "Prob")->SetValue(zv.Quorb_CalcProb("C", H, static_cast<double>(groups - 1), 0));
            const double N3 = Moments::DecimalDifference(N * N * N, N);
            if (N > 1 && sumTies != N3) {
                const double Ht = H / Moments::DecimalDifference(1.0, sumTies / N3);
                m_lead.Column(out, "H_(ties)")->SetValue(Ht);
                m_lead.Column(out, "Prob_(ties)")->SetValue(zv.Quorb_CalcProb("C", Ht, static_cast<double>(groups - 1), 0));
            }
        }
        out->Update();
    });
}
