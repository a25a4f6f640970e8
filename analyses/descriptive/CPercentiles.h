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
#include "db/Dao.h"
#include "engine/AnalysisArgs.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ProcGuard;
class SortStage;
class VarnelloCore;

class CPercentiles {
public:
    CPercentiles();
    ~CPercentiles();
    CPercentiles(const CPercentiles&) = delete;
    CPercentiles& operator=(const CPercentiles&) = delete;

    // The run; the empty text on success, else the message that stopped it.
    std::string Quorb_Percentile(std::string OutputTable1, std::string Table, FieldList& Fields, std::int16_t nG,
                                 std::int16_t nX, bool bWeight, std::string PercentileType, VarnelloCore& Engine);

private:
    std::string CreateOutput();
    void InitData();
    void ReadRecords();
    void CalcData();
    void WriteData();

    void Fail(ProcGuard& proc);
    bool Failed() const { return !m_error.empty(); }

    VarnelloCore* m_Engine = nullptr;
    std::string m_error;
    std::string m_outTable, m_table, m_type;
    FieldList m_fields;
    std::int16_t m_nG = 0, m_nX = 0;
    bool m_bWeight = false;
    std::int16_t m_d = 0;
    std::vector<long> m_types, m_sizes;
    std::vector<dao::Variant> m_prev, m_cur;
    std::vector<dao::FieldPtr> m_groupCols, m_dataCols;
    std::vector<std::int32_t> m_count; // valid values per field (1 .. nX)
    std::vector<double> m_weight;      // their weight sum
    std::unique_ptr<SortStage> m_stage;
};
