#pragma once
// CCompare: the "Compare" analysis. Within each group of records it pairs
// the one Y field with each X field, record by record, and writes one row
// per group and X field: how much weight has X below, equal to and above Y,
// the two means, the mean difference X − Y and its standard deviation, the
// covariance, correlation and r² of X and Y, a paired t-test of the
// difference and a chi-square of X against Y taken as the expected value.
//
// Field list: group fields, X fields, the Y field, then the weight field.
// Options: five switches by position ("Y" in any case is on): counts,
// means, correlation, t-test, chi-square.
//
// Sums of squares and cross-products are taken about provisional means
// (CoMoments), so data far from zero keep their digits. The comparison
// counts are sums of weights (0.5 + 0.5 is 1), and the chi-square sums are
// unweighted.
#include "db/Dao.h"
#include "engine/AnalysisArgs.h"
#include "engine/CoMoments.h"
#include "engine/Moments.h"

#include <cstdint>
#include <string>
#include <vector>

class ProcGuard;
class VarnelloCore;

class CCompare {
public:
    CCompare() = default;
    CCompare(const CCompare&) = delete;
    CCompare& operator=(const CCompare&) = delete;

    std::string Quorb_Compare(std::string OutTableName, std::string strUserTable, FieldList& strFields,
                              std::int16_t intGroupFields, std::int16_t intNumFields, bool fWeightField,
                              std::string strOptions, VarnelloCore& engine);

private:
    struct PairSums {
        CoMoments cm;
        Moments::Origin kx;
        double below = 0, equal = 0, above = 0; // weight with X < Y, X = Y, X > Y
        double chiSum = 0, chiCells = 0;
    };

    std::string CreateOutput();
    void ReadRecords();
    void InitData();
    void CalcData();
    void WriteData();

    void Fail(ProcGuard& proc);
    bool Failed() const { return !m_error.empty(); }

    VarnelloCore* m_Engine = nullptr;
    std::string m_error;
    std::string m_outTable, m_table, m_options, m_countColumn;
    FieldList m_fields;
    std::int16_t m_nG = 0, m_nX = 0;
    bool m_bWeight = false;
    bool m_count = false, m_mean = false, m_corr = false, m_tTest = false, m_chi = false;

    std::vector<long> m_types, m_sizes;
    std::vector<dao::Variant> m_prev, m_cur;
    std::vector<dao::FieldPtr> m_groupCols, m_dataCols;
    dao::FieldPtr m_yCol, m_weightCol;
    std::vector<PairSums> m_pairs; // 1 .. nX
    Moments::Origin m_ky;
    bool m_kySet = false;
    std::int32_t m_groupCount = 0;
};
