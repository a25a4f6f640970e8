#include "analyses/nonparametric/CNonParamChiSquare.h"

#include "engine/CZValue.h"
#include "engine/Moments.h"
#include "engine/VarnelloCore.h"
#include "engine/modStatsGeneral.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"

using namespace dao;

namespace {

// Database types that take the missing-value rule: byte, integer, long,
// currency, single and double.
bool isNumericType(long type) { return type >= dbByte && type <= dbDouble; }

} // namespace

void CNonParamChiSquare::Fail(ProcGuard& proc) {
    proc.HandleError();
    if (m_error.empty()) m_error = VarnelloCore::UnexpectedErrorMessage(proc.Handler(), "Unexpected error in Chi-Square");
}

void CNonParamChiSquare::Quorb_ChiSquare(std::string OutputTable1, std::string OutputTable2, std::string Table,
                                         FieldList& Fields, std::int16_t nG, std::int16_t nC, bool bWeighted,
                                         bool ChiDetail, bool IncludeBlanks, bool ChiAll, VarnelloCore& Engine,
                                         std::string& message) {
    message.clear();
    m_Engine = &Engine;
    ProcGuard proc(gEngineErr, "Quorb_ChiSquare");
    bool summaryMade = false;
    try {
        m_out1 = OutputTable1;
        m_out2 = OutputTable2;
        m_table = Table;
        m_fields = Fields;
        m_nG = nG;
        m_nC = nC;
        m_bWeighted = bWeighted;
        m_detail = ChiDetail;
        m_includeBlanks = IncludeBlanks;
        m_all = ChiAll;

        if (m_detail) message = CreateDetail();
        if (message.empty() && !Failed()) {
            const std::size_t G = static_cast<std::size_t>(m_nG);
            m_names.assign(G + (m_bWeighted ? 3 : 2), std::string());
            for (std::size_t i = 1; i <= G; ++i) m_names[i] = m_fields[i];
            if (m_bWeighted) m_names[G + 2] = m_fields[G + static_cast<std::size_t>(m_nC) + 1];

            for (std::int16_t k = 1; k <= m_nC && message.empty() && !Failed(); ++k) {
                m_field = m_fields[G + static_cast<std::size_t>(k)];
                Engine.Quorb_Msg(0, true, "Retrieving and sorting [" + m_field + "] data");
                m_names[G + 1] = m_field;
                try {
                    m_where = WhereCondition();
                } catch (const DaoError& e) {
                    // The source cannot be opened (a query with parameters, a missing field).
                    message = e.Number() == err::ParametersExpected
                                  ? "The selected query expects parameters and cannot be used by Pelloran."
                                  : e.Description();
                    break;
                }
                message = AllGroups(m_where);
                if (!message.empty() || Failed()) break;
                // A field whose counts cannot be read stops the run with its
                // message: the next field must not turn it into a success.
                message = ChiSummary(m_where);
                if (message.empty() && !Failed()) {
                    if (k == 1) {
                        Engine.Quorb_Msg(0, true, "Creating output table");
                        message = CreateOutput();
                        if (!message.empty() || Failed()) break;
                        summaryMade = true;
                    }
                    RecordsetPtr rs = Engine.InputRecordset();
                    if (rs && !rs->EOF_()) {
                        ReadInKeptTransaction([&] { ReadRecords(); });
                    }
                }
                if (auto rs = Engine.DataRecordset()) rs->Close();
            }
        }
    } catch (...) {
        Fail(proc);
    }
    try {
        if (m_detailRs) m_detailRs->Close();
        m_detailRs.reset();
        if (auto rs = Engine.DataRecordset()) rs->Close();
        if (summaryMade)
            if (auto rs = Engine.OutputRecordset()) rs->Close();
    } catch (...) {
        Fail(proc);
    }
    if (message.empty() && Failed()) message = m_error;
    m_Engine = nullptr;
}

// ---- conditions and queries ---------------------------------------------------------------

std::string CNonParamChiSquare::GetWhereClause(const std::string& bracketedField, long fieldType) {
    ProcGuard proc(gEngineErr, "GetWhereClause");
    std::string where;
    try {
        where = "(" + bracketedField + " Is Not Null) ";
        if (isNumericType(fieldType)) {
            std::string missing = m_Engine->Quorb_DataWhere(bracketedField);
            if (!missing.empty()) where = "(" + missing + ") ";
        }
    } catch (...) {
        Fail(proc);
    }
    return where;
}

// The condition shared by the category list and the grouped counts.
std::string CNonParamChiSquare::WhereCondition() {
    std::string where;
    VarnelloCore& eng = *m_Engine;
    const std::string field = BracketName(m_field);
    if (!eng.MissingRule().empty() || !m_includeBlanks) {
        // The field's type decides whether the missing-value rule applies.
        RecordsetPtr rs = eng.SourceDatabase()->OpenRecordset("SELECT * FROM " + BracketName(m_table) + ";", dbOpenSnapshot);
        long type = rs->Fields(m_field)->Type();
        rs->Close();
        where = GetWhereClause(field, type);
    }
    if (m_bWeighted) {
        // The weight rule: a record counts only with a weight above 0 that is
        // not the "Equal" missing value (Null is not above 0).
        const std::string weight = BracketName(m_names[static_cast<std::size_t>(m_nG) + 2]);
        if (!where.empty()) where += "and ";
        where += "(" + weight + " > 0)";
        if (NamesEqual(eng.MissingRule(), "Equal")) where += " and " + eng.Quorb_DataWhere(weight);
    }
    return where;
}

std::string CNonParamChiSquare::AllGroups(const std::string& where) {
    ProcGuard proc(gEngineErr, "AllGroups");
    std::string msg;
    try {
        m_list.clear();
        const std::string field = BracketName(m_field);
        std::string sql = "SELECT DISTINCT " + field + " FROM " + BracketName(m_table);
        if (!where.empty()) sql += " WHERE " + where;
        sql += " ORDER BY " + field + ";";
        RecordsetPtr rs;
        try {
            rs = m_Engine->SourceDatabase()->OpenRecordset(sql, dbOpenSnapshot);
        } catch (const DaoError& e) {
            // The source cannot be read: the message the data services give.
            if (e.Number() == err::ParametersExpected)
                return "The selected query expects parameters and cannot be used by Pelloran.";
            return e.Description();
        }
        FieldPtr f = rs->Fields(0);
        while (!rs->EOF_()) {
            m_list.push_back(f->Value());
            rs->MoveNext();
        }
        rs->Close();
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

std::string CNonParamChiSquare::ChiSummary(const std::string& where) {
    ProcGuard proc(gEngineErr, "ChiSummary");
    std::string msg;
    try {
        const std::size_t n = static_cast<std::size_t>(m_nG) + 1;
        const std::string field = BracketName(m_field);
        std::string keys;
        for (std::size_t i = 1; i <= n; ++i) {
            if (i > 1) keys += ", ";
            keys += BracketName(m_names[i]);
        }
        // The weights are summed in SQL, where a text counts as 0: a weight
        // that is no number fails the run first.
        if (m_bWeighted) {
            msg = m_Engine->CheckNumbers(m_table, {m_names[n + 1]});
            if (!msg.empty()) return msg;
        }
        std::string sql = "SELECT DISTINCTROW " + keys + ", Sum(IIF(IsNull(" + field + "), 1, 1)) as Count1";
        if (m_bWeighted) sql += ", Sum(" + BracketName(m_names[n + 1]) + ") as Weight1";
        sql += " FROM " + BracketName(m_table) + " ";
        if (!where.empty()) sql += "WHERE " + where + " ";
        // The groups and, within a group, the categories come in the order of
        // the category list, which the walk of the detail rows relies on.
        sql += "GROUP BY " + keys + " ORDER BY " + keys + ";";
        msg = m_Engine->OpenDataRecordset(sql);
        if (msg.empty()) {
            m_Engine->Quorb_InitFieldTypes(*m_Engine->DataRecordset(), static_cast<std::int16_t>(n), m_names, m_types,
                                           m_sizes);
        }
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

// ---- output tables --------------------------------------------------------------------------

std::string CNonParamChiSquare::CreateOutput() {
    ProcGuard proc(gEngineErr, "CreateOutput");
    std::string msg;
    try {
        VarnelloCore& eng = *m_Engine;
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_out1);
        std::int16_t ord = CreateLeadFields(td, m_nG, m_names, m_types, m_sizes, true, 0, 0, false, "Count", "");
        AddTableField(td, "Groups", dbInteger, ord, 0);
        if (m_all) AddTableField(td, "MissingGroups", dbInteger, ord, 0);
        for (const char* name : {"Expected", "Chi-Square", "DF", "Prob"}) AddTableField(td, name, dbDouble, ord, 0);
        msg = eng.ReplaceOutputTable(td, true, [&] { return ChiSummary(m_where); }, m_table);
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

std::string CNonParamChiSquare::CreateDetail() {
    ProcGuard proc(gEngineErr, "CreateDetail");
    // The detail table is output table 2: without its name there is nothing
    // to create (the database would only answer "Invalid argument").
    if (m_out2.empty())
        return "The Chi-Square detail table needs a name: the scenario has no output table 2.";
    std::string msg;
    try {
        VarnelloCore& eng = *m_Engine;
        const int n = m_nG + m_nC;
        std::vector<long> types, sizes;
        try {
            RecordsetPtr rs = eng.SourceDatabase()->OpenRecordset(m_table);
            types.assign(static_cast<std::size_t>(n) + 1, 0);
            sizes.assign(static_cast<std::size_t>(n) + 1, 0);
            for (int i = 1; i <= n; ++i) {
                FieldPtr f = rs->Fields(m_fields[static_cast<std::size_t>(i)]);
                types[static_cast<std::size_t>(i)] = f->Type();
                sizes[static_cast<std::size_t>(i)] = f->Size();
            }
            rs->Close();
        } catch (const DaoError& e) {
            if (e.Number() == err::ParametersExpected)
                return "The selected query expects parameters and cannot be used by Pelloran.";
            return e.Description();
        }
        TableDefPtr td = eng.OutputDatabase()->CreateTableDef(m_out2);
        std::int16_t ord;
        if (m_nC == 1) {
            ord = CreateLeadFields(td, m_nG, m_fields, types, sizes, false, static_cast<std::int16_t>(m_nG + 1), 0,
                                   false, "", "");
        } else {
            ord = CreateLeadFields(td, m_nG, m_fields, types, sizes, false, 0, 0, false, "", "");
            long type = 0, size = 0;
            CommonFieldType(m_nG, m_nC, types, sizes, type, size);
            AddTableField(td, "Compare_Field", dbText, ord, 64);
            AddTableField(td, "Compare_Value", static_cast<int>(type), ord, size);
        }
        for (const char* name : {"Observed", "Expected", "Difference", "Chi-Square", "Observed_Pcnt", "Expected_Pcnt",
                                 "Pcnt_Diff", "Cumulative", "Cumulative_Pcnt"})
            AddTableField(td, name, dbDouble, ord, 0);
        msg = eng.ReplaceOutputTable(td, false, nullptr, m_table);
        if (msg.empty()) m_detailRs = eng.OutputDatabase()->OpenRecordset(m_out2, dbOpenDynaset);
    } catch (...) {
        Fail(proc);
    }
    return msg;
}

// ---- the group loop ------------------------------------------------------------------------

void CNonParamChiSquare::ReadRecords() {
    ProcGuard proc(gEngineErr, "ReadRecords");
    try {
        VarnelloCore& eng = *m_Engine;
        RecordsetPtr rs = eng.InputRecordset();
        const std::size_t n = static_cast<std::size_t>(m_nG) + 1;
        std::vector<FieldPtr> cols(n + 1);
        for (std::size_t i = 1; i <= n; ++i) cols[i] = rs->Fields(m_names[i]);
        FieldPtr observed = rs->Fields(m_bWeighted ? "Weight1" : "Count1");
        const std::string progress = "Field [" + m_field + "], analyzing record: ";

        std::vector<Variant> stored(n + 1, Variant::Null()), key(n + 1, Variant::Null());
        std::vector<SummaryRow> group;
        m_records = 0;
        while (!Failed()) {
            bool atEnd = rs->EOF_();
            if (!atEnd) {
                for (std::size_t i = 1; i <= n; ++i) key[i] = cols[i]->Value();
            }
            bool change = !atEnd && eng.Quorb_SameRecords_b(m_nG, !group.empty(), stored, key);
            if ((atEnd || change) && !group.empty()) {
                ProcessGroup(group);
                eng.Quorb_Msg(m_records, true, progress + std::to_string(m_records));
                WriteData(stored);
                group.clear();
                for (std::size_t i = 1; i <= n; ++i) stored[i] = key[i];
                if (Failed()) break;
            }
            if (atEnd) break;
            SummaryRow row;
            row.key = key;
            Variant o = observed->Value();
            row.observed = o.IsNull() ? 0.0 : o.ToDouble();
            group.push_back(std::move(row));
            ++m_records;
            rs->MoveNext();
        }
    } catch (...) {
        Fail(proc);
    }
}

// The finished group: expected value, statistic and detail rows.
void CNonParamChiSquare::ProcessGroup(std::vector<SummaryRow>& rows) {
    ProcGuard proc(gEngineErr, "ProcessGroup");
    try {
        VarnelloCore& eng = *m_Engine;
        const std::size_t cat = static_cast<std::size_t>(m_nG) + 1;
        m_total = 0;
        for (const auto& r : rows) m_total += r.observed;
        m_present = static_cast<std::int32_t>(rows.size());
        m_chi = 0;
        m_cumulative = 0;
        const std::int32_t full = static_cast<std::int32_t>(m_list.size());
        m_expected = m_all && full > 0 ? m_total / full : m_total / m_present;
        const std::string progress = "Field [" + m_field + "], analyzing record: ";

        std::size_t pos = 0; // the next category of the full list
        for (const auto& r : rows) {
            if (m_detail && m_all) {
                bool found = false;
                while (pos < m_list.size()) {
                    const Variant& c = m_list[pos++];
                    if (eng.Quorb_SameValue(c, r.key[cat], true)) {
                        found = true;
                        break;
                    }
                    WriteDetail(r.key, c, 0.0);
                }
                if (found) CalcData(r);
            } else {
                CalcData(r);
            }
            eng.Quorb_Msg(m_records, false, progress + std::to_string(m_records));
        }
        if (m_detail && m_all && !rows.empty())
            while (pos < m_list.size()) WriteDetail(rows.back().key, m_list[pos++], 0.0);
        // A category of the full list that the group lacks is observed 0
        // times and adds (E − 0)² / E = E to the statistic.
        if (m_all && full > m_present)
            for (std::int32_t i = m_present; i < full; ++i) m_chi += m_expected;
    } catch (...) {
        Fail(proc);
    }
}

void CNonParamChiSquare::CalcData(const SummaryRow& row) {
    ProcGuard proc(gEngineErr, "CalcData");
    try {
        if (row.observed > 0) {
            double diff = Moments::DecimalDifference(m_expected, row.observed);
            m_chi += diff * diff / m_expected;
        }
        if (m_detail) WriteDetail(row.key, row.key[static_cast<std::size_t>(m_nG) + 1], row.observed);
    } catch (...) {
        Fail(proc);
    }
}

void CNonParamChiSquare::WriteData(const std::vector<Variant>& groupKey) {
    ProcGuard proc(gEngineErr, "WriteData");
    try {
        VarnelloCore& eng = *m_Engine;
        RecordsetPtr out = eng.OutputRecordset();
        out->AddNew();
        WriteLeadFields(*out, m_nG, m_names, groupKey, static_cast<std::int16_t>(m_nG + 1), "Count", "", false, m_total,
                        0, 0, 0, Variant::Null(), Variant::Null());
        std::int32_t df;
        const std::int32_t full = static_cast<std::int32_t>(m_list.size());
        if (m_all) {
            out->Fields("MissingGroups")->SetValue(full - m_present);
            df = full - 1;
        } else {
            df = m_present - 1;
        }
        out->Fields("Groups")->SetValue(df + 1);
        out->Fields("Expected")->SetValue(m_expected);
        out->Fields("Chi-Square")->SetValue(m_chi);
        out->Fields("DF")->SetValue(static_cast<double>(df));
        if (df > 0) {
            CZValue z;
            out->Fields("Prob")->SetValue(z.Quorb_CalcProb("C", m_chi, df, 0));
        }
        out->Update();
    } catch (...) {
        Fail(proc);
    }
}

void CNonParamChiSquare::WriteDetail(const std::vector<Variant>& key, const Variant& category, double observed) {
    ProcGuard proc(gEngineErr, "WriteDetail");
    try {
        RecordsetPtr rs = m_detailRs;
        rs->AddNew();
        WriteLeadFields(*rs, m_nG, m_names, key, 0, "", "", false, 0, 0, 0, 0, Variant::Null(), Variant::Null());
        if (m_nC == 1) {
            rs->Fields(m_field)->SetValue(category);
        } else {
            rs->Fields("Compare_Field")->SetValue(m_field);
            rs->Fields("Compare_Value")->SetValue(category);
        }
        m_cumulative += observed;
        const double O = observed, E = m_expected, T = m_total;
        rs->Fields("Observed")->SetValue(O);
        rs->Fields("Expected")->SetValue(E);
        rs->Fields("Difference")->SetValue(O - E);
        rs->Fields("Chi-Square")->SetValue((O - E) * (O - E) / E);
        rs->Fields("Observed_Pcnt")->SetValue(O / T);
        rs->Fields("Expected_Pcnt")->SetValue(E / T);
        rs->Fields("Pcnt_Diff")->SetValue((O - E) / T);
        rs->Fields("Cumulative")->SetValue(m_cumulative);
        rs->Fields("Cumulative_Pcnt")->SetValue(m_cumulative / T);
        rs->Update();
    } catch (...) {
        Fail(proc);
    }
}
