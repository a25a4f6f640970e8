#pragma once
// CNonParamSign: two one-sample analyses of every data field, per group of
// the group fields.
//
// The sign test ("Sign Test") counts the values below, on and above a test
// value (the group's weighted mean, its median, or a custom value) and gives
// the binomial probability of so few values on either side: exact up to 25
// values off the test value, the normal approximation with the 0.5
// correction above.
//
// The Kolmogorov-Smirnov fit ("K-S Fit") compares the weighted empirical
// distribution function with a uniform (over the observed range), normal
// (with the group's mean and standard deviation) or Poisson (with the group's
// mean) distribution function at every distinct value, and turns the largest
// difference into Z = √W·D and its asymptotic tail probability.
//
// Both read the values of a field sorted by group and value. A group's usable
// values are spooled as they are read (ValueSpool: in memory up to a limit,
// then in the work table) and walked again for the comparisons, so memory
// does not grow with the number of records.
#include "engine/AnalysisCatalogue.h"
#include "engine/AnalysisRoad.h"
#include "engine/CZValue.h"
#include "engine/modStatsGeneral.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ValueSpool;

struct SignFitSettings : AnalysisSettings {
    bool Fit = false;                                              // "K-S Fit"
    std::vector<bool> Distributions = std::vector<bool>(4, false); // 1 uniform, 2 normal, 3 Poisson
    bool AgainstMean = false, AgainstMedian = false, AgainstCustom = false;
    double CustomValue = 0;
};

class CNonParamSign : public AnalysisRoad {
public:
    using Settings = SignFitSettings;
    explicit CNonParamSign(const Settings& settings);
    ~CNonParamSign() override;

    // "Sign Test" and "K-S Fit" (by the scenario's type).
    static std::string FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,
                                    AnalysisType::Settings& out);

    // P(X <= k) for X binomial with n trials and p = 1/2; exact (integer
    // arithmetic) for n <= 25, the corrected normal approximation above.
    double SignTest(std::int64_t n, std::int64_t k);

    // The fit's tail probability of K-S Z: 1 up to 0.27, 1 − (2.506628 / z)·Q(z)
    // up to 1, 2·Q(z) up to 3.1, 0 above; Q is CalcQProb.
    static double FitProb(double z);
    // The series: v + v^9 + v^25 with v = exp(−1.233701 / z²) for 0 <= z <= 1,
    // q − q^4 + q^9 − q^16 with q = exp(−2z²) for 1 < z <= 3.1, else 0.
    static double CalcQProb(double z);

private:
    std::string Steps() override;
    void InitData() override;
    void CalcData() override;
    void WriteData() override;
    void CloseOwn() override;
    std::string CreateOutput();
    std::string CreateOutputFit();
    void WriteSign();
    void WriteFit();
    void ExplainNoPoissonFit(double mean);
    // f is the unit the deviations, meanDev and sd are taken in: 1, or 1/4
    // for values spanning beyond a double's range.
    void CalcCompareFit(double mean, double meanDev, double sd, double f, bool& normalOk, bool& poissonOk, double pos[4],
                        double neg[4]);

    const Settings& m_s;
    CZValue m_ZValue;
    FieldList m_work; // group fields, the data field, the weight field
    std::vector<bool> m_fitTypes;
    bool m_mean = false, m_median = false, m_custom = false;
    std::unique_ptr<ValueSpool> m_spool;

    // Per group: usable values, their weight sum, Σw·x, Σw·(x − K)
    // from the first usable value K, the smallest and largest usable value.
    std::int64_t m_used = 0;
    double m_W = 0, m_first = 0, m_dev = 0, m_last = 0;
    // The running weighted mean of (x − first)/4, each quarter exact: the
    // mean where the deviations' sum is beyond a double's range (values
    // spanning -1.5e308 to 1.7e308).
    double m_devQuarter = 0;
    bool m_poisson = true;
    LeadColumns m_outColumns; // the output row's columns, found once
};
