#pragma once
// CPercentiles: the "Percentiles" analysis. For each group of records and
// each analysed field it writes the minimum, a chosen set of percentile
// points and the maximum, one row per point: "M" median, "Q" quartiles,
// "5" quintiles, "D" deciles, "P" every percent (letters in any case).
//
// A group's valid values are staged (SortStage) and the points computed by
// CDescribe's Quorb_CalcPcntiles: interpolated between neighbours without a
// weight field, the first value whose cumulative weight reaches the point
// with one. Output columns: the group fields, "DataField", "Percentile"
// (0 for the minimum, 100 for the maximum) and "Value".
#include "engine/AnalysisCatalogue.h"
#include "engine/AnalysisRoad.h"
#include "engine/modStatsGeneral.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SortStage;

struct PercentileSettings : AnalysisSettings {
    std::string PercentileLetter;
};

class CPercentiles : public AnalysisRoad {
public:
    using Settings = PercentileSettings;
    explicit CPercentiles(const Settings& settings);
    ~CPercentiles() override;

    static std::string FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,
                                    AnalysisType::Settings& out);

private:
    std::string Steps() override;
    void InitData() override;
    void CalcData() override;
    void WriteData() override;
    void CloseOwn() override;
    std::string CreateOutput();

    const Settings& m_s;
    std::int16_t m_d = 0;
    std::vector<std::int32_t> m_count; // valid values per field (1 .. nX)
    std::vector<double> m_weight;      // their weight sum
    std::unique_ptr<SortStage> m_stage;
    LeadColumns m_lead; // the output row's lead columns, found once
};
