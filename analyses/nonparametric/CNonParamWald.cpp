#include "analyses/nonparametric/CNonParamWald.h"

#include "engine/CZValue.h"
#include "engine/Moments.h"
#include "engine/RunContext.h"
#include "engine/modStatsGeneral.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"

#include <cmath>

using namespace dao;

void CNonParamWald::Fail(ProcGuard& proc) {
    proc.HandleError();
    if (m_error.empty()) m_error = RunContext::UnexpectedErrorMessage(proc.Handler(), "Unexpected error in the runs test");
}

std::int64_t CNonParamWald::Quorb_QueryGroups(const std::string& Table, const FieldList& Fields,
                                              std::int16_t CompareIndex, std::vector<long>& types,
                                              std::vector<long>& sizes, std::vector<Variant>& values,
                                              RunContext& Engine) {
    m_Engine = &Engine;
    ProcGuard proc(gEngineErr, "Quorb_QueryGroups");
    std::int64_t count = 0;
    try {
        values.assign(1, Variant::Null());
        const std::string field = BracketName(Fields[static_cast<std::size_t>(CompareIndex)]);
        RecordsetPtr rs;
        try {
            // Ascending, Null first: the order in which every caller numbers the values.
            rs = Engine.SourceDatabase()->OpenRecordset(
                "SELECT DISTINCT " + field + " FROM " + BracketName(Table) + " ORDER BY " + field + ";", dbOpenSnapshot);
        } catch (const DaoError&) {
            return 0;
        }
        FieldPtr f = rs->Fields(0);
        while (!rs->EOF_()) {
            values.push_back(f->Value());
            rs->MoveNext();
        }
        rs->Close();
        count = static_cast<std::int64_t>(values.size()) - 1;
        if (count > 0) {
            RecordsetPtr t = Engine.SourceDatabase()->OpenRecordset("SELECT * FROM " + BracketName(Table) + ";",
                                                                    dbOpenSnapshot);
            Engine.Quorb_InitFieldTypes(*t, CompareIndex, Fields, types, sizes);
            t->Close();
        }
    } catch (...) {
        proc.HandleError();
        return 0;
    }
    return count;
}

void CNonParamWald::Quorb_NonParametricRuns(std::string OutputTable1, std::string Table, FieldList& Fields,
                                            std::int16_t CompareIndex, std::int16_t nX, bool bWeighted,
                                            bool bStatistics, RunContext& Engine, std::string& message) {
    message.clear();
    m_Engine = &Engine;
    ProcGuard proc(gEngineErr, "Quorb_NonParametricRuns");
    bool outputMade = false;
    try {
        m_out = OutputTable1;
        m_table = Table;
        m_fields = Fields;
        m_c = CompareIndex;
        m_nX = nX;
        m_bWeighted = bWeighted;
        m_stats = bStatistics;

        Engine.Quorb_Msg(0, true, "Retrieving comparison values");
        std::int64_t count = Quorb_QueryGroups(m_table, m_fields, m_c, m_types, m_sizes, m_values, Engine);
        if (count == 0) {
            message = "Problem with input query";
        } else if (count == 1) {
            message = "Compare Field has 1 value.\r\nTwo values are required.";
        } else if (count != 2) {
            message = "Compare Field has " + std::to_string(count) + " values.\r\nOnly two values are permitted.";
        }
        if (message.empty() && !Failed()) {
            Engine.Quorb_Msg(0, true, "Creating output table");
            message = CreateOutput();
            outputMade = message.empty() && !Failed();
        }
        for (std::int16_t k = 1; k <= m_nX && message.empty() && !Failed(); ++k) {
            const std::string field = m_fields[static_cast<std::size_t>(m_c + k)];
            Engine.Quorb_Msg(0, true, "Retrieving and sorting [" + field + "] data");
            // A field whose data cannot be read ends the run with its message.
            message = GetDataSet(field);
            if (message.empty() && !Failed()) {
                ReadInKeptTransaction([&] { ReadRecords(k); });
            }
            if (auto rs = Engine.DataRecordset()) rs->Close();
        }
    } catch (...) {
        Fail(proc);
    }
    try {
        if (auto rs = Engine.DataRecordset()) rs->Close();
        if (outputMade)
            if (auto rs = Engine.OutputRecordset()) rs->Close();
    } catch (...) {
        Fail(proc);
    }
    if (message.empty() && Failed()) message = m_error;
    m_Engine = nullptr;
}

std::string CNonParamWald::GetDataSet(const std::string& dataField) {
    ProcGuard proc(gEngineErr, "GetDataSet");
    std::string msg;
    try {
        std::string sql = "SELECT ";
        for (std::int16_t i = 1; i <= m_c; ++i) sql += BracketName(m_fields[static_cast<std::size_t>(i)]) + ", ";
        sql += BracketName(dataField);
        if (m_bWeighted) sql += ", " + BracketName(m_fields[static_cast<std::size_t>(m_c + m_nX + 1)]);
        sql += " FROM " + BracketName(m_table) + " ORDER BY ";
        for (std::int16_t i = 1; i < m_c; ++i) sql += BracketName(m_fields[static_cast<std::size_t>(i)]) + ", ";
        sql += BracketName(dataField) + ", " + BracketName(m_fields[static_cast<std::size_t>(m_c)]);
        msg = m_Engine->OpenDataRecordset(sql);
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

std::string CNonParamWald::CreateOutput() {
    ProcGuard proc(gEngineErr, "CreateOutput");
    std::string msg;
    try {
        RunContext& eng = *m_Engine;
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_out);
        std::int16_t ord = CreateLeadFields(td, static_cast<std::int16_t>(m_c - 1), m_fields, m_types, m_sizes, true, 0,
                                            m_c, false, "Count", "Missing");
        AddTableField(td, "Cases-1", dbDouble, ord, 0);
        AddTableField(td, "Cases-2", dbDouble, ord, 0);
        if (m_stats)
            for (const char* name : {"Wald_Mean", "Wald_StdDev", "Ties", "TiedGroups", "Wald_Min_Runs", "Wald_Min_Z",
                                     "Wald_Min_Prob", "Wald_Max_Runs", "Wald_Max_Z", "Wald_Max_Prob"})
                AddTableField(td, name, dbDouble, ord, 0);
        msg = eng.ReplaceOutputTable(td, true, nullptr, m_table);
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

void CNonParamWald::InitData() {
    m_valid = 0;
    for (int s = 0; s < 3; ++s) {
        m_cases[s] = 0;
        m_present[s] = false;
        m_block[s] = 0;
    }
    m_minRuns = m_maxRuns = m_tiedBlocks = m_tiedCases = 0;
}

void CNonParamWald::ReadRecords(std::int16_t k) {
    ProcGuard proc(gEngineErr, "ReadRecords");
    try {
        RunContext& eng = *m_Engine;
        m_k = k;
        RecordsetPtr rs = eng.InputRecordset();
        const std::string field = m_fields[static_cast<std::size_t>(m_c + k)];
        const std::string progress = "Field [" + field + "], analyzing record: ";
        const std::size_t c = static_cast<std::size_t>(m_c);
        std::vector<FieldPtr> keys(c + 1);
        for (std::size_t i = 1; i <= c; ++i) keys[i] = rs->Fields(m_fields[i]);
        m_fData = rs->Fields(field);
        m_fCompare = keys[c];
        m_fWeight = m_bWeighted ? rs->Fields(m_fields[static_cast<std::size_t>(m_c + m_nX + 1)]) : nullptr;
        InitData();
        m_rows = 0;
        std::int64_t counter = 0;
        std::vector<Variant> stored(c + 1, Variant::Null()), key(c + 1, Variant::Null());
        while (!rs->EOF_() && !Failed()) {
            for (std::size_t i = 1; i <= c; ++i) key[i] = keys[i]->Value();
            if (eng.Quorb_SameRecords_b(static_cast<std::int16_t>(m_c - 1), counter != 0, stored, key)) {
                CalcRun(true);
                WriteData(stored);
                stored = key;
                InitData();
                m_rows = 0;
            }
            CalcData();
            ++m_rows;
            ++counter;
            eng.Quorb_Msg(static_cast<long>(counter), false, progress + std::to_string(counter));
            rs->MoveNext();
        }
        if (Failed()) return;
        eng.Quorb_Msg(static_cast<long>(counter), true, progress + std::to_string(counter));
        if (counter > 0) {
            CalcRun(true);
            WriteData(stored);
        }
    } catch (...) {
        Fail(proc);
    }
}

void CNonParamWald::CalcData() {
    ProcGuard proc(gEngineErr, "CalcData");
    try {
        RunContext& eng = *m_Engine;
        double w = 1;
        if (m_bWeighted) {
            // The weight rule of the engine: not Null, above 0, not the "Equal" missing value.
            Variant v = m_fWeight->Value();
            w = v.IsNull() ? 0.0 : v.ToDouble();
            if (NamesEqual(eng.MissingRule(), "Equal") && w == eng.MissingEqualValue()) w = 0;
        }
        if (!(w > 0)) return;
        Variant v = m_fData->Value();
        if (v.IsNull()) return;
        const double x = v.ToDouble();
        if (!eng.Quorb_DataOk_b(x, false)) return;
        if (m_valid > 0 && x != m_prev) {
            m_prev = x;
            CalcRun(false);
            m_block[1] = m_block[2] = 0;
        } else if (m_valid == 0) {
            m_prev = x;
            m_block[1] = m_block[2] = 0;
        }
        ++m_valid;
        // Sample 1 is the first distinct value: Null matches Null, text ignores case.
        const int s = eng.Quorb_SameValue(m_values[1], m_fCompare->Value(), true) ? 1 : 2;
        m_present[s] = true;
        m_cases[s] += w;
        m_block[s] += w;
    } catch (...) {
        Fail(proc);
    }
}

void CNonParamWald::CalcRun(bool write) {
    if (m_minRuns + m_maxRuns == 0) m_minMark = m_maxMark = 0;
    if (m_present[1] && m_present[2]) {
        const auto a = static_cast<std::int64_t>(std::nearbyint(m_block[1]));
        const auto b = static_cast<std::int64_t>(std::nearbyint(m_block[2]));
        if (a == b) {
            m_maxRuns += a + b;
        } else if (a < b) {
            m_maxRuns += 2 * a + (m_maxMark == 2 ? 0 : 1);
            m_maxMark = 2;
        } else {
            m_maxRuns += 2 * b + (m_maxMark == 1 ? 0 : 1);
            m_maxMark = 1;
        }
        m_minRuns += 1;
        if (m_minMark == 0) {
            if (write) m_minRuns += 1;
        } else {
            m_minMark = m_minMark == 1 ? 2 : 1;
        }
        m_tiedBlocks += 1;
        m_tiedCases += static_cast<std::int64_t>(std::floor(m_block[1])) + static_cast<std::int64_t>(std::floor(m_block[2]));
    } else if (m_present[1] || m_present[2]) {
        const int s = m_present[1] ? 1 : 2;
        if (m_minMark != s) m_minRuns += 1;
        if (m_maxMark != s) m_maxRuns += 1;
        m_minMark = m_maxMark = s;
    }
    m_present[1] = m_present[2] = false;
}

void CNonParamWald::CalcWald(double N1, double N2, double mean, double sd, double runs, double& Z, double& prob) {
    double diff = Moments::DecimalDifference(runs, mean);
    if (N1 + N2 < 50) {
        // The continuity correction brings the count half a run towards the mean.
        if (diff >= 0.5) diff = Moments::DecimalDifference(diff, 0.5);
        else if (diff <= -0.5) diff = Moments::DecimalDifference(diff, -0.5);
        else diff = 0;
    }
    Z = diff / sd;
    CZValue zv;
    prob = Moments::DecimalDifference(0.5, zv.Quorb_CalcProb("Z", std::fabs(Z), 0, 0) / 2);
}

void CNonParamWald::WriteData(const std::vector<Variant>& groupValues) {
    ProcGuard proc(gEngineErr, "WriteData");
    try {
        RecordsetPtr out = m_Engine->OutputRecordset();
        const double N1 = std::nearbyint(m_cases[1]), N2 = std::nearbyint(m_cases[2]), N = N1 + N2;
        out->AddNew();
        WriteLeadFields(*out, static_cast<std::int16_t>(m_c - 1), m_fields, groupValues,
                        static_cast<std::int16_t>(m_c + m_k), "Count", "Missing", false, N, static_cast<long>(m_rows),
                        static_cast<long>(m_valid), m_c, m_values[1], m_values[2]);
        if (m_stats && N > 1) {
            const double P = 2 * N1 * N2;
            const double mean = P / N + 1;
            const double var = P * (P - N1 - N2) / (N * N * (N - 1));
            const double sd = var > 0 ? std::sqrt(var) : 0.0;
            out->Fields("Cases-1")->SetValue(N1);
            out->Fields("Cases-2")->SetValue(N2);
            out->Fields("Wald_Mean")->SetValue(mean);
            out->Fields("Wald_StdDev")->SetValue(sd);
            out->Fields("Ties")->SetValue(static_cast<double>(m_tiedCases));
            out->Fields("TiedGroups")->SetValue(static_cast<double>(m_tiedBlocks));
            const struct {
                const char *runs, *z, *p;
                std::int64_t r;
            } sides[] = {{"Wald_Min_Runs", "Wald_Min_Z", "Wald_Min_Prob", m_minRuns},
                         {"Wald_Max_Runs", "Wald_Max_Z", "Wald_Max_Prob", m_maxRuns}};
            for (const auto& side : sides) {
                out->Fields(side.runs)->SetValue(static_cast<double>(side.r));
                // Without spread (one sample only) Z has no value: the columns stay Null.
                if (sd > 0) {
                    double Z = 0, prob = 0;
                    CalcWald(N1, N2, mean, sd, static_cast<double>(side.r), Z, prob);
                    out->Fields(side.z)->SetValue(Z);
                    out->Fields(side.p)->SetValue(prob);
                }
            }
        }
        out->Update();
    } catch (...) {
        Fail(proc);
    }
}
