#include "analyses/nonparametric/CNonParamMannKruskalKS.h"

#include "analyses/nonparametric/CNonParamWald.h"
#include "engine/CZValue.h"
#include "engine/Moments.h"
#include "engine/RunContext.h"
#include "engine/modStatsGeneral.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"

#include <cmath>

using namespace dao;

namespace {

constexpr const char* StageTable = "statTemp1";

// One pair of samples while their merged values are walked in ascending order.
struct PairState {
    double p = 0;                    // last rank position used
    double R1 = 0, R2 = 0;           // rank sums
    double ties = 0, tiedGroups = 0, sumTies = 0;
    double c1 = 0, c2 = 0;           // cumulative weights
    double Dpos = 0, Dneg = 0;
};

// The run's values per sample within one run of equal values.
struct RunPart {
    double whole = 0;  // whole weights
    double weight = 0; // weights
    std::int64_t rows = 0;
};

} // namespace

void CNonParamMannKruskalKS::Fail(ProcGuard& proc) {
    proc.HandleError();
    if (m_error.empty())
        m_error = RunContext::UnexpectedErrorMessage(proc.Handler(), m_kruskal ? "Unexpected error in Kruskal-Wallis"
                                                                              : "Unexpected error in Mann-Whitney");
}

std::string CNonParamMannKruskalKS::Quorb_MannKSKruskal(std::string OutputTable1, std::string OutputTable2,
                                                        std::string Table, FieldList& Fields,
                                                        std::int16_t CompareIndex, std::int16_t nData, bool Weighted,
                                                        bool Mann, bool KS, bool Kruskal, RunContext& Engine) {
    ProcGuard proc(gEngineErr, "Quorb_MannKSKruskal");
    std::string result;
    m_Engine = &Engine;
    bool outputMade = false;
    try {
        m_out1 = OutputTable1;
        m_out2 = OutputTable2;
        m_table = Table;
        m_fields = Fields;
        m_c = CompareIndex;
        m_nData = nData;
        m_weighted = Weighted;
        m_mann = Mann;
        m_ks = KS;
        m_kruskal = Kruskal;
        m_detail = Kruskal && !OutputTable2.empty();

        Engine.Quorb_Msg(0, true, "Retrieving comparison values");
        std::vector<long> types, sizes;
        m_count = CNonParamWald::Quorb_QueryGroups(m_table, m_fields, m_c, types, sizes, m_values, Engine);
        if (m_count < 1) result = "Problem with input table";
        if (result.empty()) {
            Engine.Quorb_Msg(0, true, "Retrieving and sorting data");
            result = OpenData();
        }
        if (result.empty() && !Failed()) {
            Engine.Quorb_Msg(0, true, "Creating output table");
            if (m_mann || m_ks) {
                result = CreateOutput();
            } else if (m_kruskal) {
                if (m_detail) result = CreateKruskalDetail();
                if (result.empty() && !Failed()) result = CreateKruskalWallis();
            }
            outputMade = result.empty() && !Failed();
        }
        if (result.empty() && !Failed()) {
            if (!Engine.Quorb_UTIL_MakeTempDB() || !Engine.TempDatabase()) result = "Temp database could not be created";
        }
        if (result.empty() && !Failed()) {
            Engine.Quorb_Msg(0, true, "Analyzing records");
            ReadRecords();
            if (m_unmatched > 0)
                Engine.Quorb_Msg(0, true, std::to_string(m_unmatched) +
                                              " records with a compare value outside the list of values were counted "
                                              "as missing");
        }
    } catch (...) {
        Fail(proc);
    }
    try {
        if (m_tempRS) m_tempRS->Close();
        m_tempRS.reset();
        if (m_tableExists) Engine.Quorb_DeleteTable(true, StageTable);
        if (m_detailRS) m_detailRS->Close();
        m_detailRS.reset();
        if (auto rs = Engine.DataRecordset()) rs->Close();
        if (outputMade)
            if (auto rs = Engine.OutputRecordset()) rs->Close();
    } catch (...) {
        Fail(proc);
    }
    if (result.empty() && Failed()) result = m_error;
    m_Engine = nullptr;
    return result;
}

std::string CNonParamMannKruskalKS::OpenData() {
    std::string msg = m_Engine->Quorb_InitDataTable(m_table, m_fields, m_c, m_types, m_sizes);
    return msg;
}

std::string CNonParamMannKruskalKS::CreateOutput() {
    ProcGuard proc(gEngineErr, "CreateOutput");
    std::string msg;
    try {
        RunContext& eng = *m_Engine;
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_out1);
        std::int16_t ord = CreateLeadFields(td, static_cast<std::int16_t>(m_c - 1), m_fields, m_types, m_sizes, true, 0,
                                            m_c, false, "Count", "");
        AddTableField(td, "Cases-1", dbDouble, ord, 0);
        AddTableField(td, "Cases-2", dbDouble, ord, 0);
        if (m_mann)
            for (const char* name : {"SumRank-1", "SumRank-2", "MeanRank-1", "MeanRank-2", "Ties", "TiedGroups",
                                     "SumTies", "MW_U", "MW_U_Prime", "MW_W", "MW_Z", "MW_Prob", "MW_Z_(ties)",
                                     "MW_Prob_(ties)"})
                AddTableField(td, name, dbDouble, ord, 0);
        if (m_ks)
            for (const char* name : {"KS_MaxAbsoluteDiff", "KS_MaxPosDiff", "KS_MaxNegDiff", "KS_Z", "KS_Prob"})
                AddTableField(td, name, dbDouble, ord, 0);
        msg = eng.ReplaceOutputTable(td, true, [this] { return OpenData(); }, m_table);
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

std::string CNonParamMannKruskalKS::CreateKruskalDetail() {
    ProcGuard proc(gEngineErr, "CreateKruskalDetail");
    std::string msg;
    try {
        RunContext& eng = *m_Engine;
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_out2);
        std::int16_t ord =
            CreateLeadFields(td, m_c, m_fields, m_types, m_sizes, true, 0, 0, m_weighted, "Count", "");
        AddTableField(td, "SumRanks", dbDouble, ord, 0);
        AddTableField(td, "MeanRank", dbDouble, ord, 0);
        msg = eng.ReplaceOutputTable(td, false, [this] { return OpenData(); }, m_table);
        if (msg.empty()) m_detailRS = eng.OutputDatabase()->OpenRecordset(m_out2, dbOpenDynaset);
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

std::string CNonParamMannKruskalKS::CreateKruskalWallis() {
    ProcGuard proc(gEngineErr, "CreateKruskalWallis");
    std::string msg;
    try {
        RunContext& eng = *m_Engine;
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_out1);
        std::int16_t ord = CreateLeadFields(td, static_cast<std::int16_t>(m_c - 1), m_fields, m_types, m_sizes, true, 0,
                                            0, m_weighted, "Count", "Missing");
        for (const char* name : {"Groups", "Ties", "TiedGroups", "SumTies", "H", "Prob", "H_(ties)", "Prob_(ties)"})
            AddTableField(td, name, dbDouble, ord, 0);
        msg = eng.ReplaceOutputTable(td, true, [this] { return OpenData(); }, m_table);
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

void CNonParamMannKruskalKS::CreateTempTable() {
    RunContext& eng = *m_Engine;
    CreateWorkTable(eng.TempDatabase(), StageTable,
                    {{"GroupFld", dbLong}, {"Field", dbLong}, {"Data", dbDouble}, {"Weight", dbDouble}});
    m_tableExists = true;
}

// A new group of records: zero the tables and make the staging table ready
// (emptied after up to 500 rows, made afresh after more).
void CNonParamMannKruskalKS::InitData() {
    RunContext& eng = *m_Engine;
    const std::size_t cells = static_cast<std::size_t>(m_count + 1) * static_cast<std::size_t>(m_nData + 1);
    m_countTable.assign(cells, 0);
    m_weightTable.assign(cells, 0.0);
    if (m_tempRS) {
        m_tempRS->Close();
        m_tempRS.reset();
    }
    if (!m_tableExists || m_lastStaged > 500) CreateTempTable();
    else if (m_lastStaged > 0) eng.Quorb_EmptyTable(true, StageTable, static_cast<long>(m_lastStaged), eng.OutputDatabase());
    m_tempRS = eng.TempDatabase()->OpenRecordset(StageTable, dbOpenTable, dbAppendOnly);
    m_tGroup = m_tempRS->Fields("GroupFld");
    m_tField = m_tempRS->Fields("Field");
    m_tData = m_tempRS->Fields("Data");
    m_tWeight = m_tempRS->Fields("Weight");
    m_groupIndex = 0;
    m_staged = 0;
    m_groupRecords = 0;
}

void CNonParamMannKruskalKS::ReadRecords() {
    ProcGuard proc(gEngineErr, "ReadRecords");
    int txOpen = 0;
    try {
        RunContext& eng = *m_Engine;
        RecordsetPtr rs = eng.InputRecordset();
        const std::size_t c = static_cast<std::size_t>(m_c);
        std::vector<FieldPtr> keys(c + 1);
        for (std::size_t i = 1; i <= c; ++i) keys[i] = rs->Fields(m_fields[i]);
        m_compareCol = keys[c];
        m_dataCols.assign(static_cast<std::size_t>(m_nData) + 1, nullptr);
        for (std::size_t i = 1; i <= static_cast<std::size_t>(m_nData); ++i) m_dataCols[i] = rs->Fields(m_fields[c + i]);
        m_weightCol = m_weighted ? rs->Fields(m_fields[c + static_cast<std::size_t>(m_nData) + 1]) : nullptr;
        std::vector<Variant> stored(c + 1, Variant::Null()), key(c + 1, Variant::Null());
        auto ws = DBEngine().Workspaces(0);
        m_lastStaged = 0;
        InitData();
        ws->BeginTrans();
        ++txOpen;
        std::int64_t counter = 0;
        while (!rs->EOF_() && !Failed()) {
            for (std::size_t i = 1; i <= c; ++i) key[i] = keys[i]->Value();
            if (eng.Quorb_SameRecords_b(static_cast<std::int16_t>(m_c - 1), counter != 0, stored, key)) {
                // The group's staged rows and its result rows are committed together.
                eng.Quorb_Msg(static_cast<long>(counter), true, "");
                WriteData(stored);
                --txOpen;
                ws->CommitTrans();
                stored = key;
                m_lastStaged = m_staged;
                InitData();
                ws->BeginTrans();
                ++txOpen;
            }
            CalcData();
            ++counter;
            ++m_groupRecords;
            eng.Quorb_Msg(static_cast<long>(counter), false, "");
            rs->MoveNext();
        }
        if (!Failed()) {
            eng.Quorb_Msg(static_cast<long>(counter), true, "");
            if (counter > 0) WriteData(stored);
        }
        --txOpen;
        ws->CommitTrans();
    } catch (...) {
        Fail(proc);
    }
    while (txOpen-- > 0) {
        try {
            DBEngine().Workspaces(0)->CommitTrans();
        } catch (...) {
        }
    }
}

bool CNonParamMannKruskalKS::FindGroup(const Variant& value, std::int64_t& index) {
    RunContext& eng = *m_Engine;
    // The sorted records bring the same value or the next one most of the time.
    if (index > 0) {
        if (eng.Quorb_SameValue(m_values[static_cast<std::size_t>(index)], value, false)) return true;
        if (index < m_count && eng.Quorb_SameValue(m_values[static_cast<std::size_t>(index + 1)], value, false)) {
            ++index;
            return true;
        }
    }
    for (std::int64_t i = 1; i <= m_count; ++i) {
        if (eng.Quorb_SameValue(m_values[static_cast<std::size_t>(i)], value, false)) {
            index = i;
            return true;
        }
    }
    return false;
}

void CNonParamMannKruskalKS::CalcData() {
    ProcGuard proc(gEngineErr, "CalcData");
    try {
        RunContext& eng = *m_Engine;
        double w = 1;
        if (m_weighted) {
            Variant v = m_weightCol->Value();
            w = v.IsNull() ? 0.0 : v.ToDouble();
            if (NamesEqual(eng.MissingRule(), "Equal") && w == eng.MissingEqualValue()) w = 0;
        }
        if (!(w > 0)) return;
        if (!FindGroup(m_compareCol->Value(), m_groupIndex)) {
            // Counted as missing; the run reports how many once, at its end.
            ++m_unmatched;
            return;
        }
        const std::size_t row = static_cast<std::size_t>(m_groupIndex) * static_cast<std::size_t>(m_nData + 1);
        for (std::int16_t i = 1; i <= m_nData; ++i) {
            Variant v = m_dataCols[static_cast<std::size_t>(i)]->Value();
            if (v.IsNull()) continue;
            const double x = v.ToDouble();
            if (!eng.Quorb_DataOk_b(x, false)) continue;
            m_countTable[row + static_cast<std::size_t>(i)] += 1;
            m_weightTable[row + static_cast<std::size_t>(i)] += w;
            m_tempRS->AddNew();
            m_tGroup->SetValue(static_cast<std::int32_t>(m_groupIndex));
            m_tField->SetValue(static_cast<std::int32_t>(i));
            m_tData->SetValue(x);
            m_tWeight->SetValue(w);
            m_tempRS->Update();
            ++m_staged;
        }
    } catch (...) {
        Fail(proc);
    }
}

// The staged values of one data field in ascending order, read through the
// temporary database itself (no file path in the statement).
RecordsetPtr CNonParamMannKruskalKS::OpenStaged(std::int64_t f) {
    return m_Engine->TempDatabase()->OpenRecordset("SELECT [GroupFld], [Data], [Weight] FROM " + std::string(StageTable) +
                                                       " WHERE ([Field] = " + std::to_string(f) + ") ORDER BY [Data];",
                                                   dbOpenSnapshot);
}

void CNonParamMannKruskalKS::WriteData(std::vector<Variant>& lead) {
    ProcGuard proc(gEngineErr, "WriteData");
    try {
        if (m_tempRS) {
            m_tempRS->Close();
            m_tempRS.reset();
        }
        for (std::int64_t f = 1; f <= m_nData && !Failed(); ++f) {
            if (m_kruskal) WriteKruskalWallis(lead, f);
            else if (m_mann || m_ks) WriteMannKS(lead, f);
        }
    } catch (...) {
        Fail(proc);
    }
}

void CNonParamMannKruskalKS::WriteMannKS(std::vector<Variant>& lead, std::int64_t f) {
    ProcGuard proc(gEngineErr, "WriteMannKS");
    try {
        const std::int64_t K = m_count;
        const std::size_t stride = static_cast<std::size_t>(m_nData + 1);
        auto N = [&](std::int64_t g) { return m_weightTable[static_cast<std::size_t>(g) * stride + static_cast<std::size_t>(f)]; };
        auto cnt = [&](std::int64_t g) { return m_countTable[static_cast<std::size_t>(g) * stride + static_cast<std::size_t>(f)]; };
        std::vector<std::int64_t> active; // samples with a usable value
        for (std::int64_t g = 1; g <= K; ++g)
            if (N(g) > 0) active.push_back(g);
        if (active.size() < 2) return;

        // Every pair of samples is ranked in the one walk over the merged values.
        const std::size_t A = active.size();
        std::vector<std::size_t> slot(static_cast<std::size_t>(K) + 1, A);
        for (std::size_t i = 0; i < A; ++i) slot[static_cast<std::size_t>(active[i])] = i;
        std::vector<PairState> pairs(A * A);
        std::vector<RunPart> run(A);
        std::vector<std::size_t> present;
        auto closeRun = [&] {
            for (std::size_t a : present) {
                for (std::size_t b = 0; b < A; ++b) {
                    if (b == a) continue;
                    // Pair (i, j) with i < j; a pair whose both samples are present is closed once.
                    const std::size_t i = a < b ? a : b, j = a < b ? b : a;
                    if (run[b].rows > 0 && b < a) continue;
                    PairState& s = pairs[i * A + j];
                    const RunPart &r1 = run[i], &r2 = run[j];
                    if (m_ks) {
                        s.c1 += r1.weight;
                        s.c2 += r2.weight;
                        const double D = Moments::DecimalDifference(s.c1 / N(active[i]), s.c2 / N(active[j]));
                        if (D > s.Dpos) s.Dpos = D;
                        if (D < s.Dneg) s.Dneg = D;
                    }
                    if (m_mann) {
                        const double t = r1.whole + r2.whole;
                        s.p += 1;
                        if (t > 0) {
                            const double sum = t == 1 ? s.p : (t - 1 + 2 * s.p) * t / 2;
                            if (t > 1) {
                                s.tiedGroups += 1;
                                s.ties += static_cast<double>(r1.rows + r2.rows);
                                s.sumTies += t * t * t - t;
                            }
                            s.p += t - 1;
                            const double mean = sum / t;
                            s.R1 += r1.whole * mean;
                            s.R2 += r2.whole * mean;
                        } else {
                            s.p -= 1; // weights below 1 take no rank position
                        }
                    }
                }
            }
            for (std::size_t a : present) run[a] = RunPart();
            present.clear();
        };

        RecordsetPtr rs = OpenStaged(f);
        FieldPtr fg = rs->Fields("GroupFld"), fd = rs->Fields("Data"), fw = rs->Fields("Weight");
        bool first = true;
        double x = 0;
        while (!rs->EOF_()) {
            const double d = fd->Value().ToDouble();
            if (!first && d != x) closeRun();
            first = false;
            x = d;
            const std::size_t a = slot[static_cast<std::size_t>(fg->Value().ToLong())];
            const double w = fw->Value().ToDouble();
            if (run[a].rows == 0) present.push_back(a);
            run[a].rows += 1;
            run[a].weight += w;
            run[a].whole += std::floor(w);
            rs->MoveNext();
        }
        if (!first) closeRun();
        rs->Close();

        CZValue zv;
        RecordsetPtr out = m_Engine->OutputRecordset();
        for (std::size_t i = 0; i < A; ++i) {
            for (std::size_t j = i + 1; j < A; ++j) {
                const std::int64_t g1 = active[i], g2 = active[j];
                const PairState& s = pairs[i * A + j];
                const double N1 = N(g1), N2 = N(g2);
                out->AddNew();
                WriteLeadFields(*out, static_cast<std::int16_t>(m_c - 1), m_fields, lead,
                                static_cast<std::int16_t>(m_c + f), "Count", "", false, N1 + N2,
                                static_cast<long>(m_groupRecords), static_cast<long>(cnt(g1) + cnt(g2)), m_c,
                                m_values[static_cast<std::size_t>(g1)], m_values[static_cast<std::size_t>(g2)]);
                out->Fields("Cases-1")->SetValue(N1);
                out->Fields("Cases-2")->SetValue(N2);
                if (m_mann) {
                    const double sumTies = s.sumTies / 12;
                    const double P12 = N1 * N2;
                    double U = Moments::DecimalDifference(N1 * (N1 + 1) / 2 + P12, s.R1);
                    if (P12 / 2 < U) U = Moments::DecimalDifference(P12, U);
                    out->Fields("SumRank-1")->SetValue(s.R1);
                    out->Fields("SumRank-2")->SetValue(s.R2);
                    out->Fields("MeanRank-1")->SetValue(s.R1 / N1);
                    out->Fields("MeanRank-2")->SetValue(s.R2 / N2);
                    out->Fields("Ties")->SetValue(s.ties);
                    out->Fields("TiedGroups")->SetValue(s.tiedGroups);
                    out->Fields("SumTies")->SetValue(sumTies);
                    out->Fields("MW_U")->SetValue(U);
                    out->Fields("MW_U_Prime")->SetValue(Moments::DecimalDifference(P12, U));
                    out->Fields("MW_W")->SetValue(N1 <= N2 ? s.R1 : s.R2);
                    const double Nt = N1 + N2;
                    const double V0 = Moments::DecimalDifference(Nt * Nt * Nt, Nt) / 12;
                    const double f0 = (Nt - 1) * Nt > 0 ? P12 / ((Nt - 1) * Nt) : 0.0;
                    const double dev = Moments::DecimalDifference(U, P12 / 2);
                    // Fewer than two cases (fractional weights) leave the normal approximation undefined.
                    const double sd = std::sqrt(f0 * V0);
                    if (sd > 0) {
                        const double Z = dev / sd;
                        out->Fields("MW_Z")->SetValue(Z);
                        out->Fields("MW_Prob")->SetValue(
                            Moments::DecimalDifference(1.0, zv.Quorb_CalcProb("Z", std::fabs(Z), 0, 0)));
                    }
                    if (V0 > sumTies) {
                        const double st = std::sqrt(f0 * Moments::DecimalDifference(V0, sumTies));
                        if (st > 0) {
                            const double Zt = dev / st;
                            out->Fields("MW_Z_(ties)")->SetValue(Zt);
                            out->Fields("MW_Prob_(ties)")->SetValue(
                                Moments::DecimalDifference(1.0, zv.Quorb_CalcProb("Z", std::fabs(Zt), 0, 0)));
                        }
                    }
                }
                if (m_ks) {
                    const double Dmax = std::fabs(s.Dneg) <= s.Dpos ? s.Dpos : std::fabs(s.Dneg);
                    const double Z = Dmax * std::sqrt(N1 * N2 / (N1 + N2));
                    out->Fields("KS_MaxAbsoluteDiff")->SetValue(Dmax);
                    out->Fields("KS_MaxPosDiff")->SetValue(s.Dpos);
                    out->Fields("KS_MaxNegDiff")->SetValue(s.Dneg);
                    out->Fields("KS_Z")->SetValue(Z);
                    out->Fields("KS_Prob")->SetValue(zv.Quorb_CalcKSProb(Z));
                }
                out->Update();
            }
        }
    } catch (...) {
        Fail(proc);
    }
}

void CNonParamMannKruskalKS::WriteKruskalWallis(std::vector<Variant>& lead, std::int64_t f) {
    ProcGuard proc(gEngineErr, "WriteKruskalWallis");
    try {
        const std::int64_t K = m_count;
        const std::size_t stride = static_cast<std::size_t>(m_nData + 1);
        std::vector<std::int64_t> rowCount(static_cast<std::size_t>(K) + 1, 0);
        std::vector<double> weightTotal(static_cast<std::size_t>(K) + 1, 0), rankSum(static_cast<std::size_t>(K) + 1, 0);
        std::vector<RunPart> run(static_cast<std::size_t>(K) + 1);
        std::vector<std::size_t> present;
        double ties = 0, tiedGroups = 0, sumTies = 0, p = 0;
        auto closeRun = [&] {
            double t = 0;
            std::int64_t rows = 0;
            for (std::size_t g : present) {
                t += run[g].whole;
                rows += run[g].rows;
            }
            p += 1;
            if (t > 0) {
                const double sum = t == 1 ? p : (t - 1 + 2 * p) * t / 2;
                if (t > 1) {
                    ties += static_cast<double>(rows);
                    tiedGroups += 1;
                    sumTies += t * t * t - t;
                }
                p += t - 1;
                const double a = sum / t;
                for (std::size_t g : present) {
                    if (run[g].whole > 0) {
                        rowCount[g] += run[g].rows;
                        weightTotal[g] += run[g].whole;
                        rankSum[g] += run[g].whole * a;
                    }
                }
            } else {
                p -= 1; // weights below 1 take no rank position
            }
            for (std::size_t g : present) run[g] = RunPart();
            present.clear();
        };
        RecordsetPtr rs = OpenStaged(f);
        FieldPtr fg = rs->Fields("GroupFld"), fd = rs->Fields("Data"), fw = rs->Fields("Weight");
        bool first = true;
        double x = 0;
        while (!rs->EOF_()) {
            const double d = fd->Value().ToDouble();
            if (!first && d != x) closeRun();
            first = false;
            x = d;
            const auto g = static_cast<std::size_t>(fg->Value().ToLong());
            if (run[g].rows == 0) present.push_back(g);
            run[g].rows += 1;
            run[g].whole += std::floor(fw->Value().ToDouble());
            rs->MoveNext();
        }
        if (!first) closeRun();
        rs->Close();

        double S = 0, N = 0;
        std::int64_t groups = 0, cases = 0;
        const std::size_t c = static_cast<std::size_t>(m_c);
        for (std::int64_t g = 1; g <= K; ++g) {
            const auto gi = static_cast<std::size_t>(g);
            cases += m_countTable[gi * stride + static_cast<std::size_t>(f)];
            const double R = rankSum[gi], n = weightTotal[gi];
            if (!(R > 0)) continue;
            lead[c] = m_values[gi];
            if (m_detail) {
                m_detailRS->AddNew();
                WriteLeadFields(*m_detailRS, m_c, m_fields, lead, static_cast<std::int16_t>(m_c + f), "Count", "",
                                m_weighted, n, 0, static_cast<long>(rowCount[gi]), 0, Variant::Null(), Variant::Null());
                m_detailRS->Fields("SumRanks")->SetValue(R);
                m_detailRS->Fields("MeanRank")->SetValue(R / n);
                m_detailRS->Update();
            }
            N += n;
            groups += 1;
            S += R * R / n;
        }
        RecordsetPtr out = m_Engine->OutputRecordset();
        out->AddNew();
        WriteLeadFields(*out, static_cast<std::int16_t>(m_c - 1), m_fields, lead, static_cast<std::int16_t>(m_c + f),
                        "Count", "Missing", m_weighted, N, static_cast<long>(m_groupRecords), static_cast<long>(cases),
                        0, Variant::Null(), Variant::Null());
        out->Fields("Groups")->SetValue(static_cast<double>(groups));
        out->Fields("Ties")->SetValue(ties);
        out->Fields("TiedGroups")->SetValue(tiedGroups);
        out->Fields("SumTies")->SetValue(sumTies);
        if (N > 0 && groups > 1) {
            CZValue zv;
            const double H = Moments::DecimalDifference(12 * S / (N * (N + 1)), 3 * (N + 1));
            out->Fields("H")->SetValue(H);
            out->Fields("Prob")->SetValue(zv.Quorb_CalcProb("C", H, static_cast<double>(groups - 1), 0));
            const double N3 = Moments::DecimalDifference(N * N * N, N);
            if (N > 1 && sumTies != N3) {
                const double Ht = H / Moments::DecimalDifference(1.0, sumTies / N3);
                out->Fields("H_(ties)")->SetValue(Ht);
                out->Fields("Prob_(ties)")->SetValue(zv.Quorb_CalcProb("C", Ht, static_cast<double>(groups - 1), 0));
            }
        }
        out->Update();
    } catch (...) {
        Fail(proc);
    }
}
