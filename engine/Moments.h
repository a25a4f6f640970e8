#pragma once
// Moments: weighted moments of a stream of values about a provisional mean,
// the accumulator behind every mean, variance, skewness and kurtosis the
// analyses write.
//
// Raw power sums (W·Q − S² and its higher relatives) lose every digit when
// the mean is large against the spread: for 1000000.1, 1000000.2, ... the
// standard deviation from raw sums is wrong in its first digit. Here the
// first value added becomes the provisional mean K, and every later value x
// enters as its deviation x − K, taken exactly on the values' decimal forms
// (the 15 significant digits the scaled decimal type keeps, which recover
// data typed as decimals exactly: 1000000.3 − 1000000.1 is 0.2) and only then
// rounded to a double; a value that its 15-digit form does not give back is
// a binary value and enters by its own double difference. The
// deviations are folded in with updating formulas for the central sums
// M2 = Σw(x − m)², M3 = Σw(x − m)³ and M4 = Σw(x − m)⁴, which stay accurate
// whatever the order of the values and wherever K lies.
//
// The statistics keep the usual textbook definitions (W the weight sum):
//   mean        m = Σwx / W
//   variance    "N": M2 / W;  any other method ("N-1"): M2 / (W − 1)
//   skewness    W·M3 / ((W − 1)(W − 2)·s³), s² the "N-1" variance
//   kurtosis    W(W + 1)·M4 / ((W − 1)(W − 2)(W − 3)·s⁴) − 3(W − 1)² / ((W − 2)(W − 3))
// Integer weights give the same results as repeating the values.
#include <cstdint>
#include <optional>
#include <string>

class Moments {
public:
    // Weights and weight sums up to this size, and weights from its
    // reciprocal up, are ordinary: their squares and products stay far
    // within a double's range, and the formulas take them as written.
    // Beyond, they are taken on shares and quotients of the weights.
    static constexpr double kOrdinaryWeight = 1e100;
    Moments() = default;

    // Forgets every value.
    void Clear() noexcept;

    // Adds the value x with the weight w. A weight that is not above 0, and
    // a value or weight that is not finite, add nothing.
    void Add(double x, double w = 1.0);

    // Number of values added.
    std::int32_t Count() const noexcept { return m_count; }
    // W, the sum of the weights.
    double SumW() const noexcept { return m_w; }
    // Smallest and largest value added (0 while empty).
    double Min() const noexcept { return m_min; }
    double Max() const noexcept { return m_max; }
    // K, the first value added (0 while empty).
    double ProvisionalMean() const noexcept { return m_k; }
    // Σw(x − K).
    double SumDeviations() const noexcept;
    // Σwx and Σwx², summed with compensation.
    double Sum() const noexcept { return m_sum + m_sumC; }
    double SumSquares() const noexcept;
    // √(Σwx² / W), also where Σwx² itself is beyond a double's range.
    double RootMeanSquare() const noexcept;

    // The weighted mean (0 while W is 0).
    double Mean() const noexcept;
    // The central sums M2, M3, M4 (0 where they are below a double's range).
    double M2() const noexcept;
    double M3() const noexcept;
    double M4() const noexcept;
    // M2 in the unit 2^(2·e): Σw(x − m)² / 4^e, for sums of squares whose
    // own value is beyond a double's range (values near 1e-300).
    double M2InUnit(int e) const noexcept;
    // The e of that unit for values spread over `span`: 0 for ordinary
    // spreads, the exponent of the spread where its squares are beyond a
    // double's range (near 1e-300 or 1e300).
    static int SpreadUnit(double span) noexcept;
    // Whether the values differ (M2 > 0, even where M2 itself underflows).
    bool Varies() const noexcept;

    // Variance by method: "N" (compared as written) M2 / W, any other text
    // M2 / (W − 1). 0 when W is not above 0, when M2 is 0, and for the sample
    // form when W is not above 1.
    double Variance(const std::string& method) const noexcept;
    // The square root of Variance (0 when that is 0), worked out on the
    // scaled sums: a standard deviation near 1e-300, whose variance a double
    // cannot hold, still comes out.
    double StdDev(const std::string& method) const noexcept;
    // Sample skewness; none unless W > 2 and the sample variance is above 0.
    std::optional<double> Skewness() const noexcept;
    // Sample excess kurtosis; none unless W > 3 and the sample variance is above 0.
    std::optional<double> Kurtosis() const noexcept;

    // x − k, taken exactly on the 15-significant-digit decimal forms of x and
    // k and rounded once to a double, when both forms give their values back;
    // otherwise (and beyond the decimal type's range, below 1e-14 or from
    // 7.9e28 in magnitude) the doubles' own difference.
    static double DecimalDifference(double x, double k);
    // x − k as DecimalDifference takes it, and beyond the decimal type's
    // range on the 15-significant-digit forms of x and k at any magnitude,
    // rounded once, where both give their values back: differences of
    // values typed as 7e-300 and 5e-300, or 9e154 and 7e154, are equal where
    // their decimal digits are, as differences that are ranked need.
    static double TypedDifference(double x, double k);

    // The value's 15-significant-digit decimal form x = mant · 10^-scale
    // (0 <= scale <= 22) when it gives x back exactly and the quick route can
    // find it (magnitudes from 1e-8 to below 1e15, and 0); false otherwise.
    static bool DecimalForm(double x, std::int64_t& mant, int& scale);

    // A provisional mean K whose decimal form is worked out once, so that
    // many deviations x − K (DecimalDifference) cost one form each.
    class Origin {
    public:
        Origin() = default;
        explicit Origin(double k) { Set(k); }
        void Set(double k);
        double Value() const noexcept { return m_k; }
        // x − K as DecimalDifference(x, K) takes it.
        double Deviation(double x) const;
        // (x − K)/2, exact where x − K is beyond a double's range.
        double HalfDeviation(double x) const noexcept { return x * 0.5 - m_k * 0.5; }

    private:
        double m_k = 0;
        int m_form = 0;
        std::int64_t m_mant = 0;
        int m_scale = 0;
    };

private:
    double scaledVariance(const std::string& method) const noexcept;

    std::int32_t m_count = 0;
    double m_w = 0;
    // The deviations and their sums are held in the unit 2^m_scaleExp (its
    // powers for M2, M3, M4), Σwx² in the unit 2^(2·m_sqScaleExp).
    int m_scaleExp = 0;
    bool m_scaleSet = false;
    int m_sqScaleExp = 0;
    bool m_sqScaleSet = false;
    double m_min = 0, m_max = 0;
    double m_k = 0;
    double m_meanDev = 0; // mean of the deviations x − K, scaled
    double m_m2 = 0, m_m3 = 0, m_m4 = 0; // scaled
    double m_sum = 0, m_sumC = 0;     // Σwx and its compensation
    double m_sumSq = 0, m_sumSqC = 0; // Σwx² and its compensation
    // How K enters the deviations, with its decimal form K = m_kMant · 10^-m_kScale.
    int m_kForm = 0;
    std::int64_t m_kMant = 0;
    int m_kScale = 0;
};
