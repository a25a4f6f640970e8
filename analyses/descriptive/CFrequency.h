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
// above 0 or fewer than one interval is refused before anything is written.
#include "db/Dao.h"
#include "engine/AnalysisArgs.h"

#include <cstdint>
#include <string>
#include <vector>

class ProcGuard;
class VarnelloCore;

class CFrequency {
public:
    CFrequency() = default;
    CFrequency(const CFrequency&) = delete;
    CFrequency& operator=(const CFrequency&) = delete;

    std::string Quorb_Frequency(std::string OutputTable1, std::string Table, FieldList& Fields, std::int16_t nG,
                                std::int16_t nX, bool bWeight, std::string Options, std::int16_t InterV, double Start,
                                double Width, VarnelloCore& Engine);

    // The cell (0 .. interV + 1) of the value x: the whole part of
    // (x − start)/width taken on the values' decimal forms, so that a value
    // on a border lands on it.
    static std::int32_t CellOf(double x, double start, double width, std::int16_t interV, bool lowerIncluded);

private:
    std::string CreateOutput();
    void ReadRecords();
    void InitData();
    void CalcData();
    void WriteData();

    void Fail(ProcGuard& proc);
    bool Failed() const { return !m_error.empty(); }

    VarnelloCore* m_Engine = nullptr;
    std::string m_error;
    std::string m_outTable, m_table, m_options;
    FieldList m_fields;
    std::int16_t m_nG = 0, m_nX = 0, m_interV = 0;
    bool m_bWeight = false;
    double m_start = 0, m_width = 0;
    bool m_sum = false, m_lower = false, m_user = false;
    std::string m_lowName, m_highName;

    std::vector<long> m_types, m_sizes;
    std::vector<dao::Variant> m_prev, m_cur;
    std::vector<dao::FieldPtr> m_groupCols, m_dataCols;
    dao::FieldPtr m_weightCol;
    std::vector<double> m_total;              // W_j
    std::vector<double> m_valueSum;           // S_j
    std::vector<std::vector<double>> m_cells; // C(c, j), indexed [j][c]
    std::vector<std::vector<double>> m_sums;  // T(c, j)
};
