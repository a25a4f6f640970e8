#pragma once
// CNonParamFriedman: the Friedman test of k related data fields. Every
// complete record is a block; its k values are ranked against each other
// (ties share the mean of their ranks) and the weighted rank sums R of the
// fields are compared: χ² = 12/(b·k(k+1))·ΣR² − 3b(k+1) with b the weight sum
// of the complete records, on k − 1 degrees of freedom. One summary row per
// group of the group fields goes into output table 1; when output table 2 is
// named, one row per data field with its rank sum goes there.
//
// The values are staged in the temporary work database ("statTemp1":
// Record, Field, Data, Weight, Rank), ranked there by Quorb_RankTable and
// summed per field by a query on the same database.
#include "db/Dao.h"
#include "engine/AnalysisArgs.h"

#include <cstdint>
#include <string>
#include <vector>

class ProcGuard;
class RunContext;

class CNonParamFriedman {
public:
    // The run. The outcome comes back in `message`: empty on success, else
    // the reason the run stopped. At least two data fields are needed.
    void Quorb_NonParamFriedman(std::string OutputTable1, std::string OutputTable2, std::string Table,
                                FieldList& Fields, std::int16_t nG, std::int16_t k, bool bWeighted, RunContext& Engine,
                                std::string& message);

    // Writes into the rank column of every record its rank within its block
    // (records ordered by block, then value ascending); tied values share the
    // mean of the positions they occupy. Leaves the recordset at its end.
    static void Quorb_RankTable(dao::Recordset& rs, const std::string& blockColumn, const std::string& valueColumn,
                                const std::string& rankColumn);

private:
    std::string OpenData();
    std::string CreateDetail();
    std::string CreateOutput();
    void CreateRankTemp();
    void InitData();
    void ReadRecords();
    void CalcData();
    void WriteData(const std::vector<dao::Variant>& groupValues);

    void Fail(ProcGuard& proc);
    bool Failed() const { return !m_error.empty(); }

    RunContext* m_Engine = nullptr;
    std::string m_error;
    std::string m_out1, m_out2, m_table;
    FieldList m_fields;
    std::int16_t m_nG = 0, m_k = 0;
    bool m_bWeighted = false, m_detail = false;
    std::vector<long> m_types, m_sizes;
    dao::RecordsetPtr m_detailRS, m_stageRS;
    dao::FieldPtr m_sRecord, m_sField, m_sData, m_sWeight;
    std::vector<dao::FieldPtr> m_dataCols;
    dao::FieldPtr m_weightCol;
    bool m_tableExists = false;
    // Per group.
    std::int64_t m_records = 0, m_complete = 0, m_staged = 0, m_lastStaged = 0;
    double m_b = 0;
    std::vector<double> m_row; // the current record's values
};
