#pragma once
// CNonParamChiSquare: the "Chi-Square" analysis, a goodness-of-fit test of
// equal frequencies. For each compare field it counts how often each distinct
// value (category) occurs per group of the group fields (the weight sum with
// a weight field) and tests whether the categories are equally frequent. One
// summary row per group and field goes into output table 1; on request one
// row per category into the detail table (output table 2).
//
// With "all categories" every group is tested against the full category list
// of the field: a category absent from a group has the observed value 0 and
// adds its expected value to the statistic. Both the category list and the
// grouped counts are read in the order of the same columns, so the walk that
// matches them is reliable. Records whose weight is Null, 0 or below (or the
// "Equal" missing value) count nowhere, as everywhere in the engine.
#include "db/Dao.h"
#include "engine/AnalysisArgs.h"

#include <cstdint>
#include <string>
#include <vector>

class ProcGuard;
class RunContext;

class CNonParamChiSquare {
public:
    // The run. The outcome comes back in `message`: empty on success, else
    // the reason the run stopped.
    void Quorb_ChiSquare(std::string OutputTable1, std::string OutputTable2, std::string Table, FieldList& Fields,
                         std::int16_t nG, std::int16_t nC, bool bWeighted, bool ChiDetail, bool IncludeBlanks,
                         bool ChiAll, RunContext& Engine, std::string& message);

private:
    // One row of the grouped counts: its key (group values, then the category) and O.
    struct SummaryRow {
        std::vector<dao::Variant> key;
        double observed = 0;
    };

    std::string WhereCondition();
    std::string GetWhereClause(const std::string& bracketedField, long fieldType);
    std::string AllGroups(const std::string& where);
    std::string ChiSummary(const std::string& where);
    std::string CreateOutput();
    std::string CreateDetail();
    void ReadRecords();
    void ProcessGroup(std::vector<SummaryRow>& rows);
    void CalcData(const SummaryRow& row);
    void WriteData(const std::vector<dao::Variant>& groupKey);
    void WriteDetail(const std::vector<dao::Variant>& key, const dao::Variant& category, double observed);

    void Fail(ProcGuard& proc);
    bool Failed() const { return !m_error.empty(); }

    RunContext* m_Engine = nullptr;
    std::string m_error;
    std::string m_out1, m_out2, m_table;
    FieldList m_fields;
    FieldList m_names; // group fields, the analysed field, the weight field
    std::int16_t m_nG = 0, m_nC = 0;
    bool m_bWeighted = false, m_detail = false, m_includeBlanks = false, m_all = false;
    std::string m_field; // the compare field being analysed
    std::string m_where; // its condition

    std::vector<dao::Variant> m_list; // the full category list of the field
    std::vector<long> m_types, m_sizes;
    dao::RecordsetPtr m_detailRs;

    // Per group.
    double m_total = 0, m_expected = 0, m_chi = 0, m_cumulative = 0;
    std::int32_t m_present = 0;
    std::int32_t m_records = 0; // summary rows read for the field, for progress
};
