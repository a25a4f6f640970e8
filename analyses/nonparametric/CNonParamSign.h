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
// Both read the values of a field sorted by group and value; a group's usable
// values are kept for its second look (the mean, median and fit comparisons).
#include "db/Dao.h"
#include "engine/AnalysisArgs.h"
#include "engine/CZValue.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class ProcGuard;
class RunContext;

class CNonParamSign {
public:
    // The run: the empty text on success, else the reason it stopped.
    // FitTypes(1 .. 3): uniform, normal, Poisson.
    std::string Quorb_SignFitTest(std::string OutputTable1, std::string Table, FieldList& Fields, std::int16_t nG,
                                  std::int16_t nData, bool bWeighted, bool bFit, const std::vector<bool>& FitTypes,
                                  bool SignMean, bool SignMedian, bool SignCustom, double SignValue, RunContext& Engine);

    // P(X <= k) for X binomial with n trials and p = 1/2; exact (integer
    // arithmetic) for n <= 25, the corrected normal approximation above.
    double SignTest(std::int64_t n, std::int64_t k);

private:
    std::string CreateOutput();
    std::string CreateOutputFit();
    std::string OpenData();
    void ReadRecords();
    void CalcData();
    void WriteData(const std::vector<dao::Variant>& groupValues);
    void WriteDataFit(const std::vector<dao::Variant>& groupValues);
    void ExplainNoPoissonFit(const std::vector<dao::Variant>& groupValues, double mean);
    void CalcCompareFit(double mean, double meanDev, double sd, bool& normalOk, bool& poissonOk, double pos[4], double neg[4]);

    void Fail(ProcGuard& proc);
    bool Failed() const { return !m_error.empty(); }

    RunContext* m_Engine = nullptr;
    CZValue m_ZValue;
    std::string m_error;
    std::string m_out, m_table;
    FieldList m_fields;
    FieldList m_work; // group fields, the data field, the weight field
    std::int16_t m_k = 0, m_nData = 0;
    bool m_bWeighted = false, m_fit = false;
    std::vector<bool> m_fitTypes;
    bool m_mean = false, m_median = false, m_custom = false;
    double m_customValue = 0;
    std::vector<long> m_types, m_sizes;

    dao::FieldPtr m_fData, m_fWeight;
    // Per group.
    std::int64_t m_groupRecords = 0;
    std::vector<std::pair<double, double>> m_values; // usable (value, weight), ascending
    double m_W = 0, m_sum = 0, m_sumSq = 0;
    bool m_poisson = true;
};
