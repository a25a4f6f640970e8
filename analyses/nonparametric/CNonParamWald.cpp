#include "analyses/nonparametric/CNonParamWald.h"

#include "engine/CZValue.h"
#include "engine/Moments.h"
#include "engine/modStatsGeneral.h"
#include "scenario/CMelvarsScenario.h"

#include <cmath>

using namespace dao;

CNonParamWald::CNonParamWald(const Settings& settings)
    : AnalysisRoad(settings, "Quorb_NonParametricRuns", "the runs test"), m_s(settings) {}

std::string CNonParamWald::FromScenario(const CMelvarsScenario&, const AnalysisSettings& base, RunContext&,
                                        AnalysisType::Settings& out) {
    Settings& a = NewSettings<Settings>(base, out);
    a.Statistics = true;
    return {};
}

std::int64_t CNonParamWald::Quorb_QueryGroups(const std::string& Table, const FieldList& Fields,
                                              std::int16_t CompareIndex, std::vector<long>& types,
                                              std::vector<long>& sizes, std::vector<Variant>& values,
                                              RunContext& Engine) {
    ProcGuard proc(gEngineErr, "Quorb_QueryGroups");
    std::int64_t count = 0;
    try {
        values.assign(1, Variant::Null());
        const std::string field = BracketName(Fields[static_cast<std::size_t>(CompareIndex)]);
        RecordsetPtr rs;
        try {
            // Ascending, Null first: the order in which every caller numbers the values.
            // A Yes/No field's values are the True and False it is read as.
            const std::string term = Engine.GroupTerm(Table, Fields[static_cast<std::size_t>(CompareIndex)]);
            rs = Engine.SourceDatabase()->OpenRecordset((term == field ? "SELECT DISTINCT " : "SELECT ") + field +
                                                            " FROM " + BracketName(Table) +
                                                            (term == field ? "" : " GROUP BY " + term) + " ORDER BY " +
                                                            term + ";",
                                                        dbOpenSnapshot);
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
            Engine.Quorb_InitFieldTypes(Table, *t, CompareIndex, Fields, types, sizes);
            t->Close();
        }
    } catch (...) {
        proc.HandleError();
        return 0;
    }
    return count;
}

std::string CNonParamWald::Steps() {
    m_c = static_cast<std::int16_t>(m_s.ComparePosition());
    const std::size_t c = static_cast<std::size_t>(m_c);
    m_work.assign(c + (m_s.bW ? 3 : 2), std::string());
    for (std::size_t i = 1; i <= c; ++i) m_work[i] = m_s.fields[i];
    if (m_s.bW) m_work[c + 2] = m_s.fields[static_cast<std::size_t>(m_c + m_s.nX + 1)];
    ReadFields(m_work, m_s.bW ? c + 2 : 0);

    std::string msg;
    Progress("Retrieving comparison values");
    const std::int64_t count = Quorb_QueryGroups(m_s.Table, m_s.fields, m_c, m_types, m_sizes, m_values, Cx());
    if (count == 0) {
        msg = "Problem with input query";
    } else if (count == 1) {
        msg = "Compare Field has 1 value.\r\nTwo values are required.";
    } else if (count != 2) {
        msg = "Compare Field has " + std::to_string(count) + " values.\r\nOnly two values are permitted.";
    }
    if (Going(msg)) {
        Progress("Creating output table");
        msg = CreateOutput();
    }
    for (std::int16_t k = 1; k <= m_s.nX && Going(msg); ++k) {
        m_work[c + 1] = m_s.fields[static_cast<std::size_t>(m_c + k)];
        Progress("Retrieving and sorting [" + m_work[c + 1] + "] data");
        // A field whose data cannot be read ends the run with its message.
        msg = OpenSourceBy([this] { return GetDataSet(); });
        if (Going(msg)) {
            RecordProgress("Field [" + m_work[c + 1] + "], analyzing record: ");
            Kept([this] { ReadGroups(m_s.nG); });
        }
        if (auto rs = Cx().DataRecordset()) rs->Close();
    }
    return msg;
}

// The group fields and the compare field, the data field and the weight,
// ordered by the group fields, the data field and the compare field. No
// condition: Null values, missing values and weights are judged per row.
std::string CNonParamWald::GetDataSet() {
    return Guard("GetDataSet", [&] {
        const std::size_t c = static_cast<std::size_t>(m_c);
        std::string sql = "SELECT ";
        for (std::size_t i = 1; i < m_work.size(); ++i) {
            if (i > 1) sql += ", ";
            sql += BracketName(m_work[i]);
        }
        sql += " FROM " + BracketName(m_s.Table) + " ORDER BY ";
        for (std::size_t i = 1; i < c; ++i) sql += Cx().GroupTerm(m_s.Table, m_work[i]) + ", ";
        sql += Cx().SortTerm(m_s.Table, m_work[c + 1]) + ", " + BracketName(m_work[c]);
        return Cx().OpenDataRecordset(sql);
    });
}

std::string CNonParamWald::CreateOutput() {
    return Guard("CreateOutput", [&] {
        TableDefPtr td = NewTable(m_s.OutputTable1);
        std::int16_t ord = CreateLeadFields(td, static_cast<std::int16_t>(m_c - 1), m_s.fields, m_types, m_sizes, true,
                                            0, m_c, false, "Count", "Missing");
        AddTableField(td, "Cases-1", dbDouble, ord, 0);
        AddTableField(td, "Cases-2", dbDouble, ord, 0);
        if (m_s.Statistics)
            for (const char* name : {"Wald_Mean", "Wald_StdDev", "Ties", "TiedGroups", "Wald_Min_Runs", "Wald_Min_Z",
                                     "Wald_Min_Prob", "Wald_Max_Runs", "Wald_Max_Z", "Wald_Max_Prob"})
                AddTableField(td, name, dbDouble, ord, 0);
        return PlaceOutput(td, true);
    });
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

void CNonParamWald::CalcData() {
    Guard("CalcData", [&] {
        const double w = Weight();
        if (!(w > 0)) return;
        double x = 0;
        if (!Number(static_cast<std::size_t>(m_c) + 1, x)) return;
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
        const int s = Cx().Quorb_SameValue(m_values[1], Column(static_cast<std::size_t>(m_c))->Value(), true) ? 1 : 2;
        m_present[s] = true;
        m_cases[s] += w;
        m_block[s] += w;
    });
}

void CNonParamWald::CalcRun(bool write) {
    if (m_minRuns + m_maxRuns == 0) m_minMark = m_maxMark = 0;
    if (m_present[1] && m_present[2]) {
        const std::int64_t a = WholeCount(m_block[1]), b = WholeCount(m_block[2]);
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
        m_tiedCases += WholeCount(m_block[1], true) + WholeCount(m_block[2], true);
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

void CNonParamWald::WriteData() {
    Guard("WriteData", [&] {
        // The group's last tie block closes before its row is written.
        CalcRun(true);
        RecordsetPtr out = Cx().OutputRecordset();
        const double N1 = std::nearbyint(m_cases[1]), N2 = std::nearbyint(m_cases[2]), N = N1 + N2;
        out->AddNew();
        m_outColumns.Write(out, static_cast<std::int16_t>(m_c - 1), m_work, GroupValues(), static_cast<std::int16_t>(m_c + 1),
                        "Count", "Missing", false, N, static_cast<long>(GroupRecords()), static_cast<long>(m_valid), m_c,
                        m_values[1], m_values[2]);
        if (m_s.Statistics && N > 1) {
            const double P = 2 * N1 * N2;
            const double mean = P / N + 1;
            const double var = P * (P - N1 - N2) / (N * N * (N - 1));
            const double sd = var > 0 ? std::sqrt(var) : 0.0;
            m_outColumns.Column(out, "Cases-1")->SetValue(N1);
            m_outColumns.Column(out, "Cases-2")->SetValue(N2);
            m_outColumns.Column(out, "Wald_Mean")->SetValue(mean);
            m_outColumns.Column(out, "Wald_StdDev")->SetValue(sd);
            m_outColumns.Column(out, "Ties")->SetValue(static_cast<double>(m_tiedCases));
            m_outColumns.Column(out, "TiedGroups")->SetValue(static_cast<double>(m_tiedBlocks));
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
    });
}
