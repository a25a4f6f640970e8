#pragma once
// CNonParamWald: the Wald-Wolfowitz runs test of whether two samples, told
// apart by the two values of a compare field, come from one distribution.
// For every data field and every group of the group fields the values are
// read in ascending order; because tied values can be arranged either way,
// the test reports the fewest and the most runs the ties allow, each with
// its Z value and one-sided probability.
//
// A row belongs to sample 1 when its compare value equals the first value of
// the compare field's distinct values (text compared without regard to case,
// Null matching Null); every other row belongs to sample 2.
//
// Quorb_QueryGroups lists the distinct values of a compare field (ascending,
// Null first); the Mann-Whitney and Kruskal-Wallis analysis uses it too.
#include "engine/AnalysisCatalogue.h"
#include "engine/AnalysisRoad.h"
#include "engine/modStatsGeneral.h"

#include <cstdint>
#include <string>
#include <vector>

struct RunsSettings : AnalysisSettings {
    // Creates and fills the statistic columns (the scenario run always does).
    bool Statistics = true;
};

class CNonParamWald : public AnalysisRoad {
public:
    using Settings = RunsSettings;
    explicit CNonParamWald(const Settings& settings);

    // The settings of a "2 Sample" scenario whose two-sample type is "Wald"
    // (the compare field already checked).
    static std::string FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,
                                    AnalysisType::Settings& out);

    // The distinct values of fields(CompareIndex) in `values` (1-based) and
    // their number; types and sizes receive the types of fields
    // 1 .. CompareIndex. 0 when the table cannot be read or holds no value.
    static std::int64_t Quorb_QueryGroups(const std::string& Table, const FieldList& Fields, std::int16_t CompareIndex,
                                          std::vector<long>& types, std::vector<long>& sizes,
                                          std::vector<dao::Variant>& values, RunContext& Engine);

private:
    std::string Steps() override;
    void InitData() override;
    void CalcData() override;
    void WriteData() override;
    // Z and the one-sided probability of a runs count: below 50 cases
    // |r − mean| shrinks by 0.5 (never past 0).
    static void CalcWald(double N1, double N2, double mean, double sd, double runs, double& Z, double& prob);
    std::string GetDataSet();
    std::string CreateOutput();
    void CalcRun(bool write);

    const Settings& m_s;
    std::int16_t m_c = 0;               // the compare field's position
    FieldList m_work;                   // group fields, the compare field, the data field, the weight field
    std::vector<dao::Variant> m_values; // the two compare values, 1-based

    double m_prev = 0;
    int m_minMark = 0, m_maxMark = 0;
    // Per group.
    std::int64_t m_valid = 0;
    double m_cases[3] = {0, 0, 0};
    bool m_present[3] = {false, false, false};
    double m_block[3] = {0, 0, 0};
    std::int64_t m_minRuns = 0, m_maxRuns = 0, m_tiedBlocks = 0, m_tiedCases = 0;
    LeadColumns m_outColumns; // the output row's columns, found once
};
