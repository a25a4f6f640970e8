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
// (CrossProducts, over the records in which both fields of a pair are
// present). Every statistic beyond the two counts needs two records for
// the pair; those that divide by (W − 1)·W also need a weight above 1.
#include "db/Dao.h"
#include "engine/AnalysisCatalogue.h"
#include "engine/AnalysisRoad.h"
#include "engine/modStatsGeneral.h"
#include "engine/CrossProducts.h"
#include "engine/Moments.h"

#include <cstdint>
#include <string>
#include <vector>

struct MatrixSettings : AnalysisSettings {
    std::string ProbTail;           // one character
    std::string Switches;           // nine "Y"/"N"
};

class CCorrMatrix : public AnalysisRoad {
public:
    using Settings = MatrixSettings;
    explicit CCorrMatrix(const Settings& settings);

    static std::string FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,
                                    AnalysisType::Settings& out);

    // The label of statistic k (1 .. 9) in the "CalcType" column.
    static std::string Label(int k, const std::string& tail);

private:
    std::string Steps() override;
    std::string CreateOutput();
    void InitData() override;
    void CalcData() override;
    void WriteData() override;

    const Settings& m_s;
    const std::string& m_options;
    const std::string& m_tail;
    std::vector<std::string> m_columns; // 1 .. nX: the output column of each X field
    CrossProducts m_sums;               // the X fields' deviations, 0 .. nX − 1
    std::vector<CrossProducts::Pair> m_pairView; // the group's pairs (WriteData)
    std::vector<Moments::Origin> m_origin;
    std::vector<char> m_originSet;
    std::vector<unsigned char> m_present; // 0 .. nX − 1, as m_dev
    std::vector<double> m_dev;
    std::vector<double> m_half; // the halves of m_dev, for those beyond a double
    LeadColumns m_lead; // the output row's lead columns, found once
};
