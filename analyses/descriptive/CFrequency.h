#pragma once
// CFrequency: the "Frequency" analysis. For each group of records and each
// analysed field it counts how much weight falls into each of InterV
// equal-width intervals from Start, and writes one row per interval: its
// borders, its count, the running count, both as fractions of the field's
// total weight, and optionally the weighted value sums.
//
// Cells: 0 below the first interval, 1 .. InterV the intervals, InterV + 1
// above the last. With the lower-border switch an interval holds its low
// border and not its high one; otherwise its high border and not its low
// one. The outer cells are written only with user intervals, but their
// weight always counts in the field's total.
//
// Options: three characters, any case: "S" keeps the value sums; "Y" in
// the second place includes the lower border; "Y" in the third place marks
// user intervals (Start and Width from the scenario). A width that is not
// above 0, fewer than one interval, or user intervals more than the Integer
// "Interval" column can number with their two outer rows (32765) are refused
// before anything is written.
#include "engine/AnalysisCatalogue.h"
#include "engine/AnalysisRoad.h"
#include "engine/modStatsGeneral.h"

#include <cstdint>
#include <string>
#include <vector>

struct FrequencySettings : AnalysisSettings {
    std::string FreqCode;           // three characters
    std::int16_t Intervals = 0;
    double Start = 0, Width = 0;
};

class CFrequency : public AnalysisRoad {
public:
    using Settings = FrequencySettings;
    explicit CFrequency(const Settings& settings);

    static std::string FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,
                                    AnalysisType::Settings& out);

    // The default intervals of the fields nG + 1 .. nG + nX of `fields` in
    // `table` (Describe's and Frequency's when the scenario leaves them to
    // the data): one scan finds every field's smallest and largest valid
    // value; the start and width come from the range over all fields. "No
    // data found" when no field holds a valid value.
    static std::string DescFreqInit_ZUR(RunContext& cx, bool bRoundWidth, std::int16_t intervals, bool lowerIncluded,
                                        const std::string& table, const FieldList& fields, std::int16_t nG,
                                        std::int16_t nX, double& start, double& width);

    // Whether the intervals' start, width and last border are all numbers a
    // double holds.
    static bool BordersAreNumbers(double start, double width, std::int16_t intervals);
    // The refusal of intervals whose last border is beyond a double's range.
    static std::string BordersBeyondDoublesMessage(double start, double width, std::int16_t intervals);

    // The cell (0 .. interV + 1) of the value x: the whole part of
    // (x − start)/width taken on the values' decimal forms, so that a value
    // on a border lands on it.
    static std::int32_t CellOf(double x, double start, double width, std::int16_t interV, bool lowerIncluded);

private:
    std::string Steps() override;
    std::string CreateOutput();
    void InitData() override;
    void CalcData() override;
    void WriteData() override;

    const Settings& m_s;
    std::int16_t m_interV = 0;
    double m_start = 0, m_width = 0;
    bool m_sum = false, m_lower = false, m_user = false;
    std::string m_lowName, m_highName;

    std::vector<double> m_total;              // W_j
    std::vector<std::vector<double>> m_cells; // C(c, j), indexed [j][c]
    std::vector<std::vector<double>> m_sums;  // T(c, j)
    LeadColumns m_lead; // the output row's lead columns, found once
};
