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
// ascending order (Null first). A group's usable values are staged in the
// temporary work database ("statTemp1": GroupFld, Field, Data, Weight) and
// read back sorted by value, one pass per data field that ranks every pair
// (or every sample) at once. A value occupies as many rank positions as the
// whole part of its weight; counts and means use the weight itself.
#include "db/Dao.h"
#include "engine/AnalysisArgs.h"

#include <cstdint>
#include <string>
#include <vector>

class ProcGuard;
class RunContext;

class CNonParamMannKruskalKS {
public:
    // The run: the empty text on success, else the reason it stopped.
    std::string Quorb_MannKSKruskal(std::string OutputTable1, std::string OutputTable2, std::string Table,
                                    FieldList& Fields, std::int16_t CompareIndex, std::int16_t nData, bool Weighted,
                                    bool Mann, bool KS, bool Kruskal, RunContext& Engine);

private:
    std::string OpenData();
    std::string CreateOutput();
    std::string CreateKruskalDetail();
    std::string CreateKruskalWallis();
    void CreateTempTable();
    void InitData();
    void ReadRecords();
    void CalcData();
    void WriteData(std::vector<dao::Variant>& lead);
    void WriteMannKS(std::vector<dao::Variant>& lead, std::int64_t f);
    void WriteKruskalWallis(std::vector<dao::Variant>& lead, std::int64_t f);
    bool FindGroup(const dao::Variant& value, std::int64_t& index);
    dao::RecordsetPtr OpenStaged(std::int64_t f);

    void Fail(ProcGuard& proc);
    bool Failed() const { return !m_error.empty(); }

    RunContext* m_Engine = nullptr;
    std::string m_error;
    std::string m_out1, m_out2, m_table;
    FieldList m_fields;
    std::int16_t m_c = 0, m_nData = 0;
    bool m_weighted = false, m_mann = false, m_ks = false, m_kruskal = false, m_detail = false;
    std::vector<long> m_types, m_sizes;
    std::vector<dao::Variant> m_values; // distinct compare values, 1-based
    std::int64_t m_count = 0;

    dao::RecordsetPtr m_tempRS, m_detailRS;
    dao::FieldPtr m_tGroup, m_tField, m_tData, m_tWeight;
    std::vector<dao::FieldPtr> m_dataCols;
    dao::FieldPtr m_compareCol, m_weightCol;
    bool m_tableExists = false;
    std::int64_t m_staged = 0, m_lastStaged = 0;
    std::int64_t m_groupRecords = 0;
    std::int64_t m_groupIndex = 0;
    std::int64_t m_unmatched = 0;
    // Per group of records, by (compare value, data field): usable values and their weight.
    std::vector<std::int64_t> m_countTable;
    std::vector<double> m_weightTable;
};
