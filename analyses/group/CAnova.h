#pragma once
// CAnova: the group comparisons "Two Sample t-Test", "ANOVA" and "Two way
// ANOVA". The data fields are compared across the groups formed by the
// distinct values of one or more compare fields, within each group of the
// group fields (the output group).
//
// The t-test writes one row per pair of groups of its one compare field with
// the pooled-variance and the separate-variance (Welch-Satterthwaite) test.
// The analysis of variance writes per data field the rows "Main Effects",
// "Main: [field]" per compare field, with several compare fields the
// two-factor interactions (fitting constants for unequal and empty cells),
// "Explained", "Residual" and "Total". An optional detail table lists count,
// mean and spread of every group.
//
// Every cell keeps its values' moments about a provisional mean (Moments),
// and every sum of squares is formed from deviations about group, cell and
// grand means, never as Q − S²/N: data whose means lie far from zero against
// their spread keep their digits.
//
// The analysis runs on the shared road (AnalysisRoad): its source, output
// tables, record pass and error path are the road's.
#include "db/Dao.h"
#include "engine/AnalysisCatalogue.h"
#include "engine/AnalysisRoad.h"
#include "engine/Moments.h"
#include "engine/modStatsGeneral.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

struct AnovaSettings : AnalysisSettings {
    std::string Kind;               // "T" two-sample t-test, "A" analysis of variance
    bool KeepBlankCompare = false;  // a Null compare value is a group of its own
};

class CAnova : public AnalysisRoad {
public:
    using Settings = AnovaSettings;
    explicit CAnova(const Settings& settings);

    static std::string FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,
                                    AnalysisType::Settings& out);

    // The reduction in the sum of squares due to fitting the main effects of
    // two factors together (the method of fitting constants), from the cells'
    // totals and weights: cells[(a, b)] for level a of the first factor and
    // level b of the second, both counted from 0. The totals must be of the
    // data's deviations from their grand mean, so that the result is the
    // corrected sum of squares of the two main effects. Levels without weight
    // take no part. Nothing when the reduced system is singular (a design
    // whose cells do not connect the levels).
    struct PairCell {
        int a = 0, b = 0;
        double total = 0, weight = 0;
    };
    static std::optional<double> CalcTwoWayAdjust(int levelsA, int levelsB, const std::vector<PairCell>& cells,
                                                  RunContext* engine);

private:
    struct Pair {
        int a = 0, b = 0; // compare fields, 1-based
    };

    std::string Steps() override;
    void InitData() override;
    void CalcData() override;
    void WriteData() override;

    std::string AnovaGroups();
    std::vector<int> GroupOrder(int i) const;
    // The records whose compare fields all hold a value, sorted by the group
    // fields and the first compare field.
    std::string OpenNonBlankSource();
    std::string CreateTTest();
    std::string CreateAnova();
    std::string CreateDetail();
    void WriteTTest(int x);
    void WriteAnova(int x);
    void WriteDetail(int x);
    void WriteAnovaRow(int x, int& index, const std::string& label, std::optional<double> ss, double df, double mse,
                       double dfE, bool withF);

    // The mean of a cell as its deviation from k0, taken without rounding
    // k0 away (the provisional means differ exactly, the rest is small).
    static double MeanDev(const Moments& m, double k0);

    const Settings& m_s;
    std::string m_type;
    // The scenario's fields and counts (from the settings).
    const FieldList& m_fields;
    const std::int16_t m_nG, m_nC, m_nX;
    long m_commonType = 0, m_commonSize = 0;

    // The groups of each compare field (1 .. nC), values 1 .. count, in the
    // order in which they were met.
    std::vector<std::vector<dao::Variant>> m_groups;
    std::vector<Pair> m_pairs;

    // The columns of the output rows and of the detail rows, found once.
    LeadColumns m_outColumns, m_detailColumns;
    // The sums of squares of the data field being written are held in the
    // unit 2^(2·m_ssExp): 0 for ordinary data, the exponent of the values'
    // spread where their squares are beyond a double's range.
    int m_ssExp = 0;
    std::vector<int> m_lastGroup;   // per compare field, the group the previous record matched
    std::vector<int> m_recordGroup; // per compare field, the group of the current record
    std::vector<int> m_recordSlot;  // per compare field, the slot of that group in the current group of records

    // Finding a record's group costs the same however many groups there are:
    // per compare field, each group's index under the key of its value
    // (ValueKey), and whether the field has held both texts and other
    // values (a text may then equal a number, and the groups are compared
    // one by one instead).
    std::string ValueKey(const dao::Variant& v) const;
    std::vector<std::unordered_map<std::string, int>> m_groupIndex;
    std::vector<char> m_sawText, m_sawOther;

    // The groups met in the current group of records, so that its work and
    // its output cost what its own records do: per compare field, the group
    // of each slot (in the order met) and the slot of each group (-1: none).
    std::vector<std::vector<int>> m_present;
    std::vector<std::vector<int>> m_slot;
    // The groups met, ascending (the order in which the groups were first met in the run).
    std::vector<int> PresentGroups(int i) const;
    // The sums of group j of compare field i for data field x (empty when not met).
    const Moments& Cell(int x, int i, int j) const;

    // m_cells[x][i][s]: data field x, compare field i, slot s.
    std::vector<std::vector<std::vector<Moments>>> m_cells;
    // m_pairCells[x][p]: the cells of pair p, keyed by group a · 2^32 + group b.
    std::vector<std::vector<std::unordered_map<std::int64_t, Moments>>> m_pairCells;
};
