#pragma once
// CNonParamMannKruskalKS: tests of the samples a compare field splits a table
// into, per group of the group fields and per data field.
//
// "2 Sample" (type "Mann"): for every pair of compare values, the
// Mann-Whitney U test (rank sums, U, W, Z with and without the correction
// for ties) and the two-sample Kolmogorov-Smirnov test (largest differences
// of the two empirical distribution functions, Z and its tail probability).
// "N Sample": the Kruskal-Wallis H test over all compare values, with the
// correction for ties, and on request a detail table of rank sums.
//
// The compare values are the distinct values of the whole table, numbered in
// ascending order (Null first). A group's usable values are staged with their
// sample and weight (SortStage) and read back in ascending order: a pair of
// samples is ranked by merging the two samples' values, holding what that
// one pair needs while its row is written; Kruskal-Wallis ranks each data
// field's values over all samples at once. A value occupies as many rank
// positions as the whole part of its weight; counts and means use the weight
// itself.
#include "engine/AnalysisCatalogue.h"
#include "engine/AnalysisRoad.h"
#include "engine/modStatsGeneral.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SortStage;

struct MannKruskalSettings : AnalysisSettings {
    bool MannWhitney = false, KolmogorovSmirnov = false; // "2 Sample", type "Mann"
    bool KruskalWallis = false;                          // "N Sample"
};

class CNonParamMannKruskalKS : public AnalysisRoad {
public:
    using Settings = MannKruskalSettings;
    explicit CNonParamMannKruskalKS(const Settings& settings);
    ~CNonParamMannKruskalKS() override;

    // "N Sample" scenarios, and "2 Sample" scenarios of type "Mann"; those of
    // type "Wald" get the runs test's settings (CNonParamWald).
    static std::string FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,
                                    AnalysisType::Settings& out);

private:
    std::string Steps() override;
    void InitData() override;
    void CalcData() override;
    void WriteData() override;
    void CloseOwn() override;
    std::string CreateOutput();
    std::string CreateKruskalDetail();
    std::string CreateKruskalWallis();
    bool FindGroup(const dao::Variant& value, std::int64_t& index);
    void WriteMannKS(std::int16_t f);
    void WriteKruskalWallis(std::int16_t f);

    // A sample's usable values of a data field in the group.
    struct Cell {
        std::int64_t count = 0; // records
        double weight = 0;      // their weight
    };
    Cell& cell(std::int64_t g, std::int16_t f) {
        return m_cells[static_cast<std::size_t>(g) * static_cast<std::size_t>(m_s.nX + 1) + static_cast<std::size_t>(f)];
    }

    // The rows of one sample within one run of equal values.
    struct RunPart {
        double whole = 0;  // whole weights
        double weight = 0; // weights
        std::int64_t rows = 0;
    };

    const Settings& m_s;
    std::int16_t m_c = 0; // position of the compare field
    std::vector<dao::Variant> m_values; // distinct compare values, 1-based
    std::int64_t m_count = 0;
    std::int64_t m_groupIndex = 0;
    std::int64_t m_unmatched = 0;
    std::vector<Cell> m_cells;                  // by (sample, data field)
    std::vector<std::vector<std::int64_t>> m_active; // by data field: the samples with a value in the group
    std::unique_ptr<SortStage> m_stage;
    // Kruskal-Wallis, per sample: rows, whole weights and rank sum of a field, and of the run being read.
    std::vector<std::int64_t> m_rowCount;
    std::vector<double> m_weightTotal, m_rankSum;
    std::vector<RunPart> m_run;
    LeadColumns m_lead, m_leadDetail; // the lead columns of the output rows and the detail rows, found once
};

// "N Sample" and "2 Sample": the runs test for the runs test's settings, else
// this class.
template <>
std::string RunAnalysis<CNonParamMannKruskalKS>(AnalysisSettings& settings, RunContext& cx);
