#include "analyses/nonparametric/CNonParamChiSquare.h"

#include "engine/CZValue.h"
#include "engine/Moments.h"
#include "engine/modStatsGeneral.h"
#include "errors/RunTimeError.h"
#include "scenario/CMelvarsScenario.h"

using namespace dao;

namespace {

// Database types that take the missing-value rule: byte, integer, long,
// currency, single and double, and the 64-bit whole numbers and decimals of
// another program's columns, as every analysis that reads record by record
// takes them.
bool isNumericType(long type) { return (type >= dbByte && type <= dbDouble) || type == dbBigInt || type == dbDecimal; }

const char* const ParametersText = "The selected query expects parameters and cannot be used by Pelloran.";

} // namespace

CNonParamChiSquare::CNonParamChiSquare(const Settings& settings)
    : AnalysisRoad(settings, "Quorb_ChiSquare", "Chi-Square"), m_s(settings) {}

std::string CNonParamChiSquare::FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext&,
                                             AnalysisType::Settings& out) {
    Settings& a = NewSettings<Settings>(base, out);
    a.Detail = s.ChiDetail();
    a.KeepBlanks = !s.ChiIgnoreBlanks();
    a.AllCategories = s.ChiAll();
    return {};
}

std::string CNonParamChiSquare::Steps() {
    std::string msg;
    if (m_s.Detail) msg = CreateDetail();
    if (!Going(msg)) return msg;
    const std::size_t G = static_cast<std::size_t>(m_s.nG);
    m_names.assign(G + (m_s.bW ? 3 : 2), std::string());
    for (std::size_t i = 1; i <= G; ++i) m_names[i] = m_s.fields[i];
    if (m_s.bW) m_names[G + 2] = m_s.fields[G + static_cast<std::size_t>(m_s.nC) + 1];
    m_keys.assign(G + 2, std::string());
    ReadFields(m_keys, 0);

    for (std::int16_t k = 1; k <= m_s.nC && Going(msg); ++k) {
        m_field = m_s.fields[G + static_cast<std::size_t>(k)];
        Progress("Retrieving and sorting [" + m_field + "] data");
        m_names[G + 1] = m_field;
        for (std::size_t i = 1; i <= G + 1; ++i) m_keys[i] = m_names[i];
        try {
            m_where = WhereCondition();
        } catch (const DaoError& e) {
            // The source cannot be opened (a query with parameters, a missing field).
            msg = e.Number() == err::ParametersExpected ? ParametersText : e.Description();
            break;
        }
        msg = AllGroups(m_where);
        if (!Going(msg)) break;
        // A field whose counts cannot be read stops the run with its
        // message: the next field must not turn it into a success.
        msg = OpenSourceBy([this] { return ChiSummary(m_where); });
        if (Going(msg)) {
            if (k == 1) {
                Progress("Creating output table");
                msg = CreateOutput();
                if (!Going(msg)) break;
            }
            RecordsetPtr rs = Cx().InputRecordset();
            if (rs && !rs->EOF_()) {
                m_observed = rs->Fields(m_s.bW ? "Weight1" : "Count1");
                m_progress = "Field [" + m_field + "], analyzing record: ";
                // The group's rows report their own progress as they are written.
                RecordProgress(m_progress, false);
                Kept([this] { ReadGroups(m_s.nG); });
            }
        }
        if (auto rs = Cx().DataRecordset()) rs->Close();
    }
    return msg;
}

// ---- conditions and queries ---------------------------------------------------------------

std::string CNonParamChiSquare::GetWhereClause(const std::string& bracketedField, long fieldType) {
    return Guard("GetWhereClause", [&] {
        std::string where = "(" + bracketedField + " Is Not Null) ";
        if (isNumericType(fieldType)) {
            std::string missing = Cx().Quorb_DataWhere(bracketedField);
            if (!missing.empty()) where = "(" + missing + ") ";
        }
        return where;
    });
}

// The condition shared by the category list and the grouped counts.
std::string CNonParamChiSquare::WhereCondition() {
    std::string where;
    RunContext& cx = Cx();
    const std::string field = BracketName(m_field);
    if (!cx.MissingRule().empty() || !m_s.KeepBlanks) {
        // The field's type decides whether the missing-value rule applies.
        // The rule compares numbers, also those another program stored as texts.
        where = GetWhereClause(cx.RuleTerm(m_s.Table, m_field, field), cx.SourceFieldType(m_s.Table, m_field));
    }
    if (m_s.bW) {
        // The weight rule: a record counts only with a weight above 0 that is
        // not the "Equal" missing value (Null is not above 0).
        const std::string& weightName = m_names[static_cast<std::size_t>(m_s.nG) + 2];
        const std::string weight = cx.RuleTerm(m_s.Table, weightName, BracketName(weightName));
        if (!where.empty()) where += "and ";
        where += "(" + weight + " > 0)";
        if (NamesEqual(cx.MissingRule(), "Equal")) where += " and " + cx.Quorb_DataWhere(weight);
    }
    return where;
}

std::string CNonParamChiSquare::AllGroups(const std::string& where) {
    return Guard("AllGroups", [&]() -> std::string {
        m_list.clear();
        m_listCount = 0;
        const std::string field = BracketName(m_field);
        // A Yes/No field's categories are its values as read: True and False.
        const std::string term = Cx().GroupTerm(m_s.Table, m_field);
        std::string sql = (term == field ? "SELECT DISTINCT " : "SELECT ") + field + " FROM " + BracketName(m_s.Table);
        if (!where.empty()) sql += " WHERE " + where;
        if (term != field) sql += " GROUP BY " + term;
        sql += " ORDER BY " + term + ";";
        RecordsetPtr rs;
        try {
            rs = Cx().SourceDatabase()->OpenRecordset(sql, dbOpenSnapshot);
        } catch (const DaoError& e) {
            // The source cannot be read: the message the data services give.
            if (e.Number() == err::ParametersExpected) return ParametersText;
            return e.Description();
        }
        // Only "all categories" needs the categories themselves; otherwise their number.
        FieldPtr f = rs->Fields(0);
        while (!rs->EOF_()) {
            if (m_s.AllCategories) m_list.push_back(f->Value());
            ++m_listCount;
            rs->MoveNext();
        }
        rs->Close();
        return {};
    });
}

std::string CNonParamChiSquare::ChiSummary(const std::string& where) {
    return Guard("ChiSummary", [&] {
        const std::size_t n = static_cast<std::size_t>(m_s.nG) + 1;
        const std::string field = BracketName(m_field);
        std::string keys, terms;
        for (std::size_t i = 1; i <= n; ++i) {
            if (i > 1) {
                keys += ", ";
                terms += ", ";
            }
            keys += BracketName(m_names[i]);
            terms += Cx().GroupTerm(m_s.Table, m_names[i]);
        }
        // The weights are summed in SQL, where a text counts as 0: a weight
        // that is no number fails the run first.
        if (m_s.bW) {
            if (std::string bad = Cx().CheckNumbers(m_s.Table, {m_names[n + 1]}); !bad.empty()) return bad;
        }
        std::string sql = "SELECT DISTINCTROW " + keys + ", Sum(IIF(IsNull(" + field + "), 1, 1)) as Count1";
        // In double precision, as every statistic: weights near the 64-bit
        // limits add up instead of failing with "integer overflow".
        if (m_s.bW) sql += ", Sum(" + BracketName(m_names[n + 1]) + " * 1.0) as Weight1";
        sql += " FROM " + BracketName(m_s.Table) + " ";
        if (!where.empty()) sql += "WHERE " + where + " ";
        // The groups and, within a group, the categories come in the order of
        // the category list, which the walk of the detail rows relies on.
        sql += "GROUP BY " + terms + " ORDER BY " + terms + ";";
        std::string msg = Cx().OpenDataRecordset(sql);
        if (msg.empty())
            Cx().Quorb_InitFieldTypes(m_s.Table, *Cx().DataRecordset(), static_cast<std::int16_t>(n), m_names, m_types, m_sizes);
        return msg;
    });
}

// ---- output tables --------------------------------------------------------------------------

std::string CNonParamChiSquare::CreateOutput() {
    return Guard("CreateOutput", [&] {
        TableDefPtr td = NewTable(m_s.OutputTable1);
        std::int16_t ord = CreateLeadFields(td, m_s.nG, m_names, m_types, m_sizes, true, 0, 0, false, "Count", "");
        AddTableField(td, "Groups", dbInteger, ord, 0);
        if (m_s.AllCategories) AddTableField(td, "MissingGroups", dbInteger, ord, 0);
        for (const char* name : {"Expected", "Chi-Square", "DF", "Prob"}) AddTableField(td, name, dbDouble, ord, 0);
        return PlaceOutput(td, true);
    });
}

std::string CNonParamChiSquare::CreateDetail() {
    // The detail table is output table 2: without its name there is nothing
    // to create (the database would only answer "Invalid argument").
    if (m_s.OutputTable2.empty()) return "The Chi-Square detail table needs a name: the scenario has no output table 2.";
    return Guard("CreateDetail", [&]() -> std::string {
        RunContext& cx = Cx();
        const int n = m_s.nG + m_s.nC;
        std::vector<long> types, sizes;
        try {
            RecordsetPtr rs = cx.SourceDatabase()->OpenRecordset(m_s.Table);
            types.assign(static_cast<std::size_t>(n) + 1, 0);
            sizes.assign(static_cast<std::size_t>(n) + 1, 0);
            // Typed as the run types them: a view's computed column is typed
            // by its first record, which need not type the categories.
            for (int i = 1; i <= n; ++i) {
                FieldPtr f = rs->Fields(m_s.fields[static_cast<std::size_t>(i)]);
                cx.RunFieldType(m_s.Table, *f, types[static_cast<std::size_t>(i)], sizes[static_cast<std::size_t>(i)]);
            }
            rs->Close();
        } catch (const DaoError& e) {
            if (e.Number() == err::ParametersExpected) return ParametersText;
            return e.Description();
        }
        TableDefPtr td = NewTable(m_s.OutputTable2);
        std::int16_t ord;
        if (m_s.nC == 1) {
            ord = CreateLeadFields(td, m_s.nG, m_s.fields, types, sizes, false, static_cast<std::int16_t>(m_s.nG + 1), 0,
                                   false, "", "");
        } else {
            ord = CreateLeadFields(td, m_s.nG, m_s.fields, types, sizes, false, 0, 0, false, "", "");
            long type = 0, size = 0;
            CommonFieldType(m_s.nG, m_s.nC, types, sizes, type, size);
            WidenToHoldEveryValue(m_s.nG, m_s.nC, types, type, size);
            AddTableField(td, "Compare_Field", dbText, ord, 64);
            AddTableField(td, "Compare_Value", static_cast<int>(type), ord, size);
        }
        for (const char* name : {"Observed", "Expected", "Difference", "Chi-Square", "Observed_Pcnt", "Expected_Pcnt",
                                 "Pcnt_Diff", "Cumulative", "Cumulative_Pcnt"})
            AddTableField(td, name, dbDouble, ord, 0);
        return PlaceSecondOutput(td);
    });
}

// ---- the groups ------------------------------------------------------------------------------

void CNonParamChiSquare::InitData() {
    m_group.clear();
    m_total = 0;
}

// One row of the grouped counts: a category of the group and its O.
void CNonParamChiSquare::CalcData() {
    Guard("ReadRecords", [&] {
        Variant o = m_observed->Value();
        Category row;
        row.value = Column(static_cast<std::size_t>(m_s.nG) + 1)->Value();
        row.observed = o.IsNull() ? 0.0 : o.ToDouble();
        m_total += row.observed;
        m_group.push_back(std::move(row));
    });
}

void CNonParamChiSquare::WriteData() {
    if (m_group.empty()) return;
    ProcessGroup();
    Cx().Quorb_Msg(RunRecords(), true, m_progress + std::to_string(RunRecords()));
    WriteSummary();
}

// The finished group: expected value, statistic and detail rows.
void CNonParamChiSquare::ProcessGroup() {
    Guard("ProcessGroup", [&] {
        RunContext& cx = Cx();
        m_present = static_cast<std::int32_t>(m_group.size());
        m_chi = 0;
        m_cumulative = 0;
        const auto full = static_cast<std::int32_t>(m_listCount);
        m_expected = m_s.AllCategories && full > 0 ? m_total / full : m_total / m_present;
        const bool walk = m_s.Detail && m_s.AllCategories;

        std::size_t pos = 0; // the next category of the full list
        for (const Category& r : m_group) {
            if (walk) {
                bool found = false;
                while (pos < m_list.size()) {
                    const Variant& c = m_list[pos++];
                    if (cx.Quorb_SameValue(c, r.value, true)) {
                        found = true;
                        break;
                    }
                    WriteDetail(c, 0.0);
                }
                if (found) CalcData(r);
            } else {
                CalcData(r);
            }
            if (cx.ShowStatus() && RunRecords() % 5 == 0)
                cx.Quorb_Msg(RunRecords(), false, m_progress + std::to_string(RunRecords()));
        }
        if (walk)
            while (pos < m_list.size()) WriteDetail(m_list[pos++], 0.0);
        // A category of the full list that the group lacks is observed 0
        // times and adds (E − 0)² / E = E to the statistic.
        if (m_s.AllCategories && full > m_present)
            for (std::int32_t i = m_present; i < full; ++i) m_chi += m_expected;
    });
}

void CNonParamChiSquare::CalcData(const Category& row) {
    if (row.observed > 0) {
        double diff = Moments::DecimalDifference(m_expected, row.observed);
        m_chi += diff * diff / m_expected;
    }
    if (m_s.Detail) WriteDetail(row.value, row.observed);
}

void CNonParamChiSquare::WriteSummary() {
    Guard("WriteData", [&] {
        RecordsetPtr out = Cx().OutputRecordset();
        out->AddNew();
        m_outColumns.Write(out, m_s.nG, m_names, GroupValues(), static_cast<std::int16_t>(m_s.nG + 1), "Count", "", false,
                        m_total, 0, 0, 0, Variant::Null(), Variant::Null());
        std::int32_t df;
        const auto full = static_cast<std::int32_t>(m_listCount);
        // "Groups" and "MissingGroups" are Integer columns: a count beyond
        // them is said as such, not as the column's overflow.
        const std::int32_t groups = m_s.AllCategories ? full : m_present;
        if (groups > 32767)
            throw RunTimeError(rterr::Overflow, "Overflow: field " + m_field + " has " + std::to_string(groups) +
                                                    " categories in one group, more than the 32767 the column Groups "
                                                    "of a chi-square table counts.");
        if (m_s.AllCategories) {
            m_outColumns.Column(out, "MissingGroups")->SetValue(full - m_present);
            df = full - 1;
        } else {
            df = m_present - 1;
        }
        m_outColumns.Column(out, "Groups")->SetValue(df + 1);
        m_outColumns.Column(out, "Expected")->SetValue(m_expected);
        m_outColumns.Column(out, "Chi-Square")->SetValue(m_chi);
        m_outColumns.Column(out, "DF")->SetValue(static_cast<double>(df));
        if (df > 0) {
            CZValue z;
            m_outColumns.Column(out, "Prob")->SetValue(z.Quorb_CalcProb("C", m_chi, df, 0));
        }
        out->Update();
    });
}

void CNonParamChiSquare::WriteDetail(const Variant& category, double observed) {
    Guard("WriteDetail", [&] {
        RecordsetPtr rs = Cx().OutputRecordset2();
        rs->AddNew();
        m_detailColumns.Write(rs, m_s.nG, m_names, GroupValues(), 0, "", "", false, 0, 0, 0, 0, Variant::Null(),
                        Variant::Null());
        if (m_s.nC == 1) {
            rs->Fields(m_field)->SetValue(category);
        } else {
            m_detailColumns.Column(rs, "Compare_Field")->SetValue(m_field);
            m_detailColumns.Column(rs, "Compare_Value")->SetValue(category);
        }
        m_cumulative += observed;
        const double O = observed, E = m_expected, T = m_total;
        m_detailColumns.Column(rs, "Observed")->SetValue(O);
        m_detailColumns.Column(rs, "Expected")->SetValue(E);
        m_detailColumns.Column(rs, "Difference")->SetValue(O - E);
        m_detailColumns.Column(rs, "Chi-Square")->SetValue((O - E) * (O - E) / E);
        m_detailColumns.Column(rs, "Observed_Pcnt")->SetValue(O / T);
        m_detailColumns.Column(rs, "Expected_Pcnt")->SetValue(E / T);
        m_detailColumns.Column(rs, "Pcnt_Diff")->SetValue((O - E) / T);
        m_detailColumns.Column(rs, "Cumulative")->SetValue(m_cumulative);
        m_detailColumns.Column(rs, "Cumulative_Pcnt")->SetValue(m_cumulative / T);
        rs->Update();
    });
}
