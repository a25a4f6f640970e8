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
#include "engine/AnalysisCatalogue.h"
#include "engine/AnalysisRoad.h"
#include "engine/modStatsGeneral.h"

#include <cstdint>
#include <string>
#include <vector>

struct ChiSquareSettings : AnalysisSettings {
    bool Detail = false, KeepBlanks = false, AllCategories = false;
};

class CNonParamChiSquare : public AnalysisRoad {
public:
    using Settings = ChiSquareSettings;
    explicit CNonParamChiSquare(const Settings& settings);

    static std::string FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,
                                    AnalysisType::Settings& out);

private:
    // One category of the group being read and its observed value O.
    struct Category {
        dao::Variant value;
        double observed = 0;
    };

    std::string Steps() override;
    void InitData() override;
    void CalcData() override;
    void WriteData() override;
    std::string WhereCondition();
    std::string GetWhereClause(const std::string& bracketedField, long fieldType);
    std::string AllGroups(const std::string& where);
    std::string ChiSummary(const std::string& where);
    std::string CreateOutput();
    std::string CreateDetail();
    void ProcessGroup();
    void CalcData(const Category& row);
    void WriteSummary();
    void WriteDetail(const dao::Variant& category, double observed);

    const Settings& m_s;
    FieldList m_names; // group fields, the analysed field, the weight field
    FieldList m_keys;  // group fields and the analysed field: the columns of the grouped counts
    std::string m_field; // the compare field being analysed
    std::string m_where; // its condition
    std::string m_progress;
    dao::FieldPtr m_observed;

    // The full category list of the field (kept with "all categories"), and its length.
    std::vector<dao::Variant> m_list;
    std::int64_t m_listCount = 0;

    // Per group.
    std::vector<Category> m_group;
    double m_total = 0, m_expected = 0, m_chi = 0, m_cumulative = 0;
    std::int32_t m_present = 0;
    // The columns of the output rows and of the second table's rows, found once.
    LeadColumns m_outColumns, m_detailColumns;
};
