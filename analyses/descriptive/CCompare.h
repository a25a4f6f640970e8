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
// (CrossProducts), so data far from zero keep their digits. The comparison
// counts are sums of weights (0.5 + 0.5 is 1), and the chi-square sums are
// unweighted.
#include "engine/AnalysisCatalogue.h"
#include "engine/AnalysisRoad.h"
#include "engine/CrossProducts.h"
#include "engine/Moments.h"
#include "engine/modStatsGeneral.h"

#include <cstdint>
#include <string>
#include <vector>

struct CompareSettings : AnalysisSettings {
    std::string Switches;           // five "Y"/"N"
};

class CCompare : public AnalysisRoad {
public:
    using Settings = CompareSettings;
    explicit CCompare(const Settings& settings);

    static std::string FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,
                                    AnalysisType::Settings& out);

private:
    struct PairSums {
        CrossProducts xy{2};            // the deviations of X and Y
        Moments::Origin kx;
        double below = 0, equal = 0, above = 0; // weight with X < Y, X = Y, X > Y
        double chiSum = 0, chiCells = 0;
    };

    std::string Steps() override;
    std::string CreateOutput();
    void InitData() override;
    void CalcData() override;
    void WriteData() override;

    const Settings& m_s;
    std::string m_countColumn;
    bool m_count = false, m_mean = false, m_corr = false, m_tTest = false, m_chi = false;

    std::vector<PairSums> m_pairs; // 1 .. nX
    Moments::Origin m_ky;
    bool m_kySet = false;
    LeadColumns m_outColumns; // the output row's columns, found once
};
