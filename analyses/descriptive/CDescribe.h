#pragma once
// CDescribe: the "Describe" analysis. For every group of source records and
// every analysed field it writes one row of summary statistics (count, mean,
// range, variance and standard deviation, sums, geometric and harmonic means,
// skewness and kurtosis, mode, percentiles, confidence bands, a one-sample
// t-test and frequency cells) into one output table.
//
// The source is read once, sorted by the group fields. Means and spreads come
// from the shared Moments accumulator; percentiles and the mode need the
// values in order, which a group stages (SortStage: in memory, or in the sort
// table "statTemp1" of the engine's temporary database for a large group) and
// reads back sorted, once per field for both.
//
// Failure travels as the returned message, empty on success. An unexpected
// run-time error is reported to the engine's error handler and fails the run
// with its description; the rows written before it stay committed.
#include "engine/AnalysisCatalogue.h"
#include "engine/AnalysisRoad.h"
#include "engine/modStatsGeneral.h"
#include "engine/Moments.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class SortStage;

struct DescribeSettings : AnalysisSettings {
    bool Range = false;
    std::string VarMethod;          // "N", "N-1" or empty when no variance is wanted
    bool Sum = false, Mean = false, Skew = false, Mode = false;
    std::string PercentileLetter;   // "-" for none
    std::string IntervalLetter;     // "-" for none
    bool CI95 = false;
    std::int16_t CIUser = 0;
    std::vector<double> CIStdDev;   // 0 .. nX
    bool TTestMean = false;
    std::vector<double> TTestValues; // 0 .. nX
    std::string FreqCode;           // "-" or five characters
    std::int16_t Intervals = 0;
    double Start = 0, Width = 0;
};

class CDescribe : public AnalysisRoad {
public:
    using Settings = DescribeSettings;
    explicit CDescribe(const Settings& settings);
    ~CDescribe() override;

    static std::string FromScenario(const CMelvarsScenario& s, const AnalysisSettings& base, RunContext& cx,
                                    AnalysisType::Settings& out);

    // Fills dblPcntiles(0 .. intPcntGroups) from the rows of "statTemp1" whose
    // Field is intFieldNum: entry 0 the smallest value, the last entry the
    // largest, the others the percentile points. dblTotalRecs is the number
    // of values (unweighted rule: interpolation between neighbours) or the
    // total weight (weighted rule: the first value whose cumulative weight
    // reaches the point). The rows must be written and no recordset may hold
    // the table open for adding. No row leaves the array unchanged.
    static void Quorb_CalcPcntiles(std::int16_t intFieldNum, bool fWeightField, std::int16_t intPcntGroups,
                                   double dblTotalRecs, std::vector<double>& dblPcntiles, RunContext& cx);
    // The same from the values a SortStage holds for the field.
    static void Quorb_CalcPcntiles(SortStage& stage, std::int16_t intFieldNum, bool fWeightField,
                                   std::int16_t intPcntGroups, double dblTotalRecs, std::vector<double>& dblPcntiles);

    // The mode of a field: the value with the largest weight sum, that sum,
    // and whether no other value has the same sum.
    struct ModeResult {
        double value = 0;
        double weight = 0;
        bool unique = false;
    };

    // Position of the k-th of d points among n ordered values: (n − 1)/d·k + 1;
    // returns its whole part and tells whether it has a fraction.
    static std::int32_t NextPcntRec(double n, std::int16_t k, bool& bFraction, std::int16_t d);

    // "lo + (hi − lo)·fraction", the difference, product and sum in the scaled
    // decimal type when the values lie within its range.
    static double Interpolate(double lo, double hi, double fraction);

    // The whole part of (x − start)/width (the largest whole number not above
    // it) and whether the quotient is whole, taken in the scaled decimal type
    // for values typed as decimals, so that a value on a border lands on it.
    static double IntervalPosition(double x, double start, double width, bool& isWhole);

    // A number as the frequency column names show it: up to 15 significant
    // digits without trailing zeros (10, 2.5, -0.75).
    static std::string NumberText(double value);


private:
    // A value's decimal form (Moments::DecimalForm), worked out once.
    struct DecimalParts {
        bool ok = false;
        std::int64_t mant = 0;
        int scale = 0;
        static DecimalParts Of(double v);
    };
    static double intervalPosition(double x, double start, const DecimalParts& startParts, double width,
                                   const DecimalParts& widthParts, bool& isWhole);

    struct DescribeSums {
        Moments mom;
        double SumLnX = 0;    // Σ w·ln x over the values above 0
        double SumInvX = 0;   // Σ w/x over the values above 0, in the unit 2^InvUnit
        int InvUnit = 0;
        bool InvUnitSet = false;
        std::int32_t NotPositive = 0; // values of 0 or below
    };

    std::string Steps() override;
    std::string CheckOptions();
    std::string CreateOutput();
    void InitData() override;
    void CalcData() override;
    void WriteData() override;
    void CloseOwn() override;

    const Settings& m_s;
    // The options as the procedures use them.
    bool m_range = false, m_sum = false, m_means = false, m_skew = false, m_mode = false;
    std::string m_var, m_pcntiles, m_conInt;
    bool m_95 = false, m_tTest = false;
    std::int16_t m_ciUser = 0;
    std::vector<double> m_popDev, m_popMean;
    std::int16_t m_nI = 0;
    double m_freqStart = 0, m_freqWidth = 0;
    DecimalParts m_freqStartParts, m_freqWidthParts;

    bool m_bPercentiles = false;
    bool m_bSortTable = false;
    std::int16_t m_pcntDivisor = 0;
    double m_dblZ95 = 0, m_dblZUser = 0;
    std::map<double, double> m_t95, m_tUser; // critical values of t by degrees of freedom
    std::string m_strFreqDisplay;
    bool m_bFreq = false, m_bFreqCount = false, m_bFreqCumulative = false, m_bFreqLowerIncluded = false,
         m_bFreqOuterCells = false;
    std::vector<std::string> m_strFreqNames;
    std::unique_ptr<SortStage> m_stage;
    LeadColumns m_lead; // the output row's lead columns, found once

    std::vector<DescribeSums> m_sums;          // 0 .. nX
    std::vector<std::vector<double>> m_cells;  // (0 .. nX, 0 .. nI + 2)
};
