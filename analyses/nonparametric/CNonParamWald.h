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
#include "db/Dao.h"
#include "engine/AnalysisArgs.h"

#include <cstdint>
#include <string>
#include <vector>

class ProcGuard;
class RunContext;

class CNonParamWald {
public:
    // The run; the outcome comes back in `message`: empty on success, else
    // the reason the run stopped.
    void Quorb_NonParametricRuns(std::string OutputTable1, std::string Table, FieldList& Fields,
                                 std::int16_t CompareIndex, std::int16_t nX, bool bWeighted, bool bStatistics,
                                 RunContext& Engine, std::string& message);

    // The distinct values of fields(CompareIndex) in `values` (1-based) and
    // their number; types and sizes receive the types of fields
    // 1 .. CompareIndex. 0 when the table cannot be read or holds no value.
    std::int64_t Quorb_QueryGroups(const std::string& Table, const FieldList& Fields, std::int16_t CompareIndex,
                                   std::vector<long>& types, std::vector<long>& sizes, std::vector<dao::Variant>& values,
                                   RunContext& Engine);

private:
    // Z and the one-sided probability of a runs count: below 50 cases
    // |r − mean| shrinks by 0.5 (never past 0).
    static void CalcWald(double N1, double N2, double mean, double sd, double runs, double& Z, double& prob);
    std::string GetDataSet(const std::string& dataField);
    std::string CreateOutput();
    void InitData();
    void ReadRecords(std::int16_t k);
    void CalcData();
    void CalcRun(bool write);
    void WriteData(const std::vector<dao::Variant>& groupValues);

    void Fail(ProcGuard& proc);
    bool Failed() const { return !m_error.empty(); }

    RunContext* m_Engine = nullptr;
    std::string m_error;
    std::string m_out, m_table;
    FieldList m_fields;
    std::int16_t m_c = 0, m_nX = 0;
    bool m_bWeighted = false, m_stats = true;
    std::vector<long> m_types, m_sizes;
    std::vector<dao::Variant> m_values; // the two compare values, 1-based
    std::int16_t m_k = 0;               // the data field being read (1 .. nX)

    // Fields of the data recordset.
    dao::FieldPtr m_fData, m_fCompare, m_fWeight;

    double m_prev = 0;
    int m_minMark = 0, m_maxMark = 0;
    // Per group.
    std::int64_t m_valid = 0, m_rows = 0;
    double m_cases[3] = {0, 0, 0};
    bool m_present[3] = {false, false, false};
    double m_block[3] = {0, 0, 0};
    std::int64_t m_minRuns = 0, m_maxRuns = 0, m_tiedBlocks = 0, m_tiedCases = 0;
};
