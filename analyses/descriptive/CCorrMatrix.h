#pragma once
// CCorrMatrix: the "Matrix" analysis. Within each group of records it takes
// the X fields as the rows and columns of a square matrix and computes, for
// every pair over the records in which both fields are present (pairwise
// complete): the weight, the records missing for the pair, the mean
// difference (row minus column) and its standard deviation, the covariance,
// correlation and r², the paired t-value and its probability. One output row
// per group, chosen statistic and X field, with one column per X field named
// after the field.
//
// Field list: group fields, X fields, then the weight field. Options: nine
// switches by position ("Y" in any case is on): count, missing, mean
// difference, its standard deviation, covariance, correlation, r², t-value,
// probability; the tail letter "1" halves the probability.
//
// Sums of squares and cross-products are taken about provisional means
// (CoMoments). Every statistic beyond the two counts needs two records for
// the pair; those that divide by (W − 1)·W also need a weight above 1.
#include "db/Dao.h"
#include "engine/AnalysisArgs.h"
#include "engine/CoMoments.h"
#include "engine/Moments.h"

#include <cstdint>
#include <string>
#include <vector>

class ProcGuard;
class VarnelloCore;

class CCorrMatrix {
public:
    CCorrMatrix() = default;
    CCorrMatrix(const CCorrMatrix&) = delete;
    CCorrMatrix& operator=(const CCorrMatrix&) = delete;

    std::string Quorb_Matrix(std::string OutTableName, std::string strUserTable, FieldList& strFields,
                             std::int16_t intGroupFields, std::int16_t intNumFields, bool intWeightField_b,
                             std::string strTTestTail, std::string strOptions, VarnelloCore& engine);

    // The label of statistic k (1 .. 9) in the "CalcType" column.
    static std::string Label(int k, const std::string& tail);

private:
    std::string CreateOutput();
    void ReadRecords();
    void InitData();
    void CalcData();
    void WriteData();

    void Fail(ProcGuard& proc);
    bool Failed() const { return !m_error.empty(); }
    // The pair of fields a >= b (1-based) in the lower triangle.
    CoMoments& pair(std::size_t a, std::size_t b) { return m_pairs[a * (a - 1) / 2 + b - 1]; }

    VarnelloCore* m_Engine = nullptr;
    std::string m_error;
    std::string m_outTable, m_table, m_options, m_tail;
    FieldList m_fields;
    std::int16_t m_nG = 0, m_nX = 0;
    bool m_bWeight = false;

    std::vector<long> m_types, m_sizes;
    std::vector<dao::Variant> m_prev, m_cur;
    std::vector<dao::FieldPtr> m_groupCols, m_dataCols;
    dao::FieldPtr m_weightCol;
    std::vector<std::string> m_columns; // 1 .. nX: the output column of each X field
    std::vector<CoMoments> m_pairs;     // the lower triangle with its diagonal
    std::vector<Moments::Origin> m_origin;
    std::vector<char> m_originSet, m_present;
    std::vector<double> m_dev;
    std::int32_t m_groupCount = 0;
};
