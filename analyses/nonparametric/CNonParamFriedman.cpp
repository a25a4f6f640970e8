#include "analyses/nonparametric/CNonParamFriedman.h"

#include "engine/CZValue.h"
#include "engine/Moments.h"
#include "engine/RunContext.h"
#include "engine/modStatsGeneral.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"

using namespace dao;

namespace {
constexpr const char* StageTable = "statTemp1";
}

void CNonParamFriedman::Fail(ProcGuard& proc) {
    proc.HandleError();
    if (m_error.empty()) m_error = RunContext::UnexpectedErrorMessage(proc.Handler(), "Unexpected error in Friedman");
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
        const double r = t == 1 ? static_cast<double>(p) : static_cast<double>((t - 1 + 2 * p) * t) / 2 / static_cast<double>(t);
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

void CNonParamFriedman::Quorb_NonParamFriedman(std::string OutputTable1, std::string OutputTable2, std::string Table,
                                               FieldList& Fields, std::int16_t nG, std::int16_t k, bool bWeighted,
                                               RunContext& Engine, std::string& message) {
    message.clear();
    m_Engine = &Engine;
    ProcGuard proc(gEngineErr, "Quorb_NonParamFriedman");
    bool outputMade = false;
    try {
        m_out1 = OutputTable1;
        m_out2 = OutputTable2;
        m_table = Table;
        m_fields = Fields;
        m_nG = nG;
        m_k = k;
        m_bWeighted = bWeighted;
        m_detail = !OutputTable2.empty();
        // Ranks within a record need at least two values.
        if (m_k < 2) message = "The Friedman test needs at least two data fields.";
        if (message.empty()) {
            Engine.Quorb_Msg(0, true, "Retrieving and sorting data");
            message = OpenData();
        }
        if (message.empty() && !Failed()) {
            Engine.Quorb_Msg(0, true, "Creating output table");
            if (m_detail) message = CreateDetail();
        }
        if (message.empty() && !Failed()) {
            message = CreateOutput();
            outputMade = message.empty() && !Failed();
            if (outputMade) {
                if (!Engine.Quorb_UTIL_MakeTempDB() || !Engine.TempDatabase()) {
                    message = "Temp database could not be created";
                } else {
                    Engine.Quorb_Msg(0, true, "Analyzing records");
                    ReadRecords();
                }
            }
        }
    } catch (...) {
        Fail(proc);
    }
    try {
        if (m_stageRS) m_stageRS->Close();
        m_stageRS.reset();
        if (m_tableExists) Engine.Quorb_DeleteTable(true, StageTable);
        if (auto rs = Engine.DataRecordset()) rs->Close();
        if (outputMade)
            if (auto rs = Engine.OutputRecordset()) rs->Close();
        if (m_detailRS) m_detailRS->Close();
        m_detailRS.reset();
    } catch (...) {
        Fail(proc);
    }
    if (message.empty() && Failed()) message = m_error;
    m_Engine = nullptr;
}

std::string CNonParamFriedman::OpenData() {
    return m_Engine->Quorb_InitDataTable(m_table, m_fields, m_nG, m_types, m_sizes);
}

std::string CNonParamFriedman::CreateDetail() {
    ProcGuard proc(gEngineErr, "CreateDetail");
    std::string msg;
    try {
        RunContext& eng = *m_Engine;
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_out2);
        std::int16_t ord = 0;
        for (std::int16_t i = 1; i <= m_nG; ++i)
            AddTableField(td, m_fields[static_cast<std::size_t>(i)], static_cast<int>(m_types[static_cast<std::size_t>(i)]),
                          ord, m_sizes[static_cast<std::size_t>(i)]);
        AddTableField(td, "DataField", dbText, ord, 64);
        for (const char* name : {"Count", "SumRanks", "MeanRank"}) AddTableField(td, name, dbDouble, ord, 0);
        msg = eng.ReplaceOutputTable(td, false, [this] { return OpenData(); }, m_table);
        if (msg.empty()) m_detailRS = eng.OutputDatabase()->OpenRecordset(m_out2, dbOpenDynaset);
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

std::string CNonParamFriedman::CreateOutput() {
    ProcGuard proc(gEngineErr, "CreateOutput");
    std::string msg;
    try {
        RunContext& eng = *m_Engine;
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_out1);
        std::int16_t ord =
            CreateLeadFields(td, m_nG, m_fields, m_types, m_sizes, false, 0, 0, m_bWeighted, "Count", "Missing");
        for (const char* name : {"DF", "Fields", "Chi-Squared", "Friedman_Prob"}) AddTableField(td, name, dbDouble, ord, 0);
        msg = eng.ReplaceOutputTable(td, true, [this] { return OpenData(); }, m_table);
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

void CNonParamFriedman::CreateRankTemp() {
    RunContext& eng = *m_Engine;
    CreateWorkTable(eng.TempDatabase(), StageTable,
                    {{"Record", dbLong}, {"Field", dbLong}, {"Data", dbDouble}, {"Weight", dbDouble}, {"Rank", dbDouble}});
    m_tableExists = true;
}

// A new group: zero the counters and make the staging table ready (emptied
// after up to 500 rows, made afresh after more).
void CNonParamFriedman::InitData() {
    RunContext& eng = *m_Engine;
    m_records = m_complete = m_staged = 0;
    m_b = 0;
    if (m_stageRS) {
        m_stageRS->Close();
        m_stageRS.reset();
    }
    if (!m_tableExists || m_lastStaged > 500) CreateRankTemp();
    else if (m_lastStaged > 0) eng.Quorb_EmptyTable(true, StageTable, static_cast<long>(m_lastStaged), eng.OutputDatabase());
    m_stageRS = eng.TempDatabase()->OpenRecordset(StageTable, dbOpenTable, dbAppendOnly);
    m_sRecord = m_stageRS->Fields("Record");
    m_sField = m_stageRS->Fields("Field");
    m_sData = m_stageRS->Fields("Data");
    m_sWeight = m_stageRS->Fields("Weight");
}

void CNonParamFriedman::ReadRecords() {
    ProcGuard proc(gEngineErr, "ReadRecords");
    int txOpen = 0;
    try {
        RunContext& eng = *m_Engine;
        RecordsetPtr rs = eng.InputRecordset();
        const std::size_t G = static_cast<std::size_t>(m_nG), K = static_cast<std::size_t>(m_k);
        std::vector<FieldPtr> keys(G + 1);
        for (std::size_t i = 1; i <= G; ++i) keys[i] = rs->Fields(m_fields[i]);
        m_dataCols.assign(K + 1, nullptr);
        for (std::size_t j = 1; j <= K; ++j) m_dataCols[j] = rs->Fields(m_fields[G + j]);
        m_weightCol = m_bWeighted ? rs->Fields(m_fields[G + K + 1]) : nullptr;
        m_row.assign(K + 1, 0.0);
        std::vector<Variant> stored(G + 1, Variant::Null()), key(G + 1, Variant::Null());
        auto ws = DBEngine().Workspaces(0);
        m_lastStaged = 0;
        InitData();
        ws->BeginTrans();
        ++txOpen;
        std::int64_t counter = 0;
        while (!rs->EOF_() && !Failed()) {
            for (std::size_t i = 1; i <= G; ++i) key[i] = keys[i]->Value();
            if (eng.Quorb_SameRecords_b(m_nG, counter != 0, stored, key)) {
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
            ++m_records;
            eng.Quorb_Msg(static_cast<long>(counter), false, "");
            rs->MoveNext();
        }
        eng.Quorb_Msg(static_cast<long>(counter), true, "");
        if (!Failed() && counter > 0) WriteData(stored);
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

void CNonParamFriedman::CalcData() {
    ProcGuard proc(gEngineErr, "CalcData");
    try {
        RunContext& eng = *m_Engine;
        double w = 1;
        if (m_bWeighted) {
            Variant v = m_weightCol->Value();
            w = v.IsNull() ? 0.0 : v.ToDouble();
            if (NamesEqual(eng.MissingRule(), "Equal") && w == eng.MissingEqualValue()) w = 0;
        }
        if (!(w > 0)) return;
        // A record counts only with every field present (listwise).
        for (std::int16_t j = 1; j <= m_k; ++j) {
            Variant v = m_dataCols[static_cast<std::size_t>(j)]->Value();
            if (v.IsNull()) return;
            const double x = v.ToDouble();
            if (!eng.Quorb_DataOk_b(x, false)) return;
            m_row[static_cast<std::size_t>(j)] = x;
        }
        m_b += w;
        ++m_complete;
        for (std::int16_t j = 1; j <= m_k; ++j) {
            m_stageRS->AddNew();
            m_sRecord->SetValue(static_cast<std::int32_t>(m_complete));
            m_sField->SetValue(static_cast<std::int32_t>(j));
            m_sData->SetValue(m_row[static_cast<std::size_t>(j)]);
            m_sWeight->SetValue(w);
            m_stageRS->Update();
        }
        m_staged += m_k;
    } catch (...) {
        Fail(proc);
    }
}

void CNonParamFriedman::WriteData(const std::vector<Variant>& groupValues) {
    ProcGuard proc(gEngineErr, "WriteData");
    try {
        RunContext& eng = *m_Engine;
        if (m_stageRS) {
            m_stageRS->Close();
            m_stageRS.reset();
        }
        // Ranks within each record, then the weighted rank sum of each field,
        // both on the work database itself.
        std::vector<double> R(static_cast<std::size_t>(m_k) + 1, 0.0);
        if (m_complete > 0) {
            RecordsetPtr rs = eng.TempDatabase()->OpenRecordset(
                "SELECT * FROM " + std::string(StageTable) + " ORDER BY [Record], [Data];", dbOpenDynaset);
            Quorb_RankTable(*rs, "Record", "Data", "Rank");
            rs->Close();
            RecordsetPtr sums = eng.TempDatabase()->OpenRecordset(
                "SELECT [Field], Sum([Weight]*[Rank]) AS [SumRanks] FROM " + std::string(StageTable) +
                    " GROUP BY [Field] ORDER BY [Field];",
                dbOpenSnapshot);
            while (!sums->EOF_()) {
                const std::int64_t f = sums->Fields("Field")->Value().ToLong();
                if (f >= 1 && f <= m_k) R[static_cast<std::size_t>(f)] = sums->Fields("SumRanks")->Value().ToDouble();
                sums->MoveNext();
            }
            sums->Close();
        }
        double S = 0;
        const FieldList& F = m_fields;
        for (std::int16_t j = 1; j <= m_k && m_complete > 0; ++j) {
            const double r = R[static_cast<std::size_t>(j)];
            S += r * r;
            if (m_detail) {
                m_detailRS->AddNew();
                WriteLeadFields(*m_detailRS, m_nG, F, groupValues, static_cast<std::int16_t>(m_nG + j), "", "", false, 0,
                                0, 0, 0, Variant::Null(), Variant::Null());
                m_detailRS->Fields("Count")->SetValue(m_b);
                m_detailRS->Fields("SumRanks")->SetValue(r);
                m_detailRS->Fields("MeanRank")->SetValue(r / m_b);
                m_detailRS->Update();
            }
        }
        RecordsetPtr out = eng.OutputRecordset();
        out->AddNew();
        WriteLeadFields(*out, m_nG, F, groupValues, 0, "Count", "Missing", m_bWeighted, m_b,
                        static_cast<long>(m_records), static_cast<long>(m_complete), 0, Variant::Null(), Variant::Null());
        out->Fields("DF")->SetValue(static_cast<double>(m_k - 1));
        out->Fields("Fields")->SetValue(static_cast<double>(m_k));
        if (m_b > 0) {
            const double k = m_k;
            const double A = 12 / (m_b * k * (k + 1)) * S, B = 3 * m_b * (k + 1);
            const double chi = Moments::DecimalDifference(A, B);
            CZValue zv;
            out->Fields("Chi-Squared")->SetValue(chi);
            out->Fields("Friedman_Prob")->SetValue(zv.Quorb_CalcProb("C", chi, k - 1, 0));
        }
        out->Update();
    } catch (...) {
        Fail(proc);
    }
}
