#pragma once
// CNonParamFriedman: the Friedman test of k related data fields. Every
// complete record is a block; its k values are ranked against each other
// (ties share the mean of their ranks) and the weighted rank sums R of the
// fields are compared: χ² = 12/(b·k(k+1))·ΣR² − 3b(k+1) with b the weight sum
// of the complete records, on k − 1 degrees of freedom. One summary row per
// group of the group fields goes into output table 1; when output table 2 is
// named, one row per data field with its rank sum goes there.
//
// A block is one record, so its values are ranked as the record is read and
// each field's weighted rank sum grows record by record (compensated
// summation): what the run holds does not grow with the number of records,
// and nothing is staged in the temporary database.
// Quorb_RankTable ranks the records of a recordset the same way, block by
// block, for callers that keep their values in a table.
#include "db/Dao.h"
#include "engine/AnalysisCatalogue.h"
#include "engine/AnalysisRoad.h"
#include "engine/modStatsGeneral.h"

#include <cstdint>
#include <string>
#include <vector>

struct FriedmanSettings : AnalysisSettings {};

class CNonParamFriedman : public AnalysisRoad {
public:
    using Settings = FriedmanSettings;
    explicit CNonParamFriedman(const Settings& settings);

    static std::string FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,
                                    AnalysisType::Settings& out);

    // Writes into the rank column of every record its rank within its block
    // (records ordered by block, then value ascending); tied values share the
    // mean of the positions they occupy. Leaves the recordset at its end.
    static void Quorb_RankTable(dao::Recordset& rs, const std::string& blockColumn, const std::string& valueColumn,
                                const std::string& rankColumn);

    // The mid-ranks of `values` (1 .. k) among themselves into ranks (1 .. k):
    // a run of t equal values from position p gets p + (t − 1)/2. `order`
    // is working space.
    static void RankWithin(const std::vector<double>& values, std::vector<double>& ranks,
                           std::vector<std::size_t>& order);

private:
    std::string Steps() override;
    void InitData() override;
    void CalcData() override;
    void WriteData() override;
    std::string CreateDetail();
    std::string CreateOutput();

    const Settings& m_s;
    bool m_detail = false;
    // Per group: complete records and their weight sum b; each field's
    // weighted rank sum as a compensated sum (sum and its lost low part).
    std::int64_t m_complete = 0;
    double m_b = 0;
    std::vector<double> m_R, m_Rlow;
    // The current record's values and ranks, and the ranking's working space.
    std::vector<double> m_row, m_rank;
    std::vector<std::size_t> m_order;
    // The columns of the output rows and of the second table's rows, found once.
    LeadColumns m_outColumns, m_detailColumns;
};
