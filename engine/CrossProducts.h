#pragma once
// CrossProducts: weighted sums and cross-products of m variables about an
// origin, kept in double-double precision: the accumulator behind every
// covariance, correlation, paired difference and regression the analyses
// write.
//
// Raw sums such as Σx² − (Σx)²/n lose every digit when the mean is large
// against the spread. Here every vector enters by its deviations z from an
// origin a: the first vector added (Add; z = v − a is exact when v and a are
// close), or origins the caller keeps (AddDeviations; Compare and Matrix take
// them on the values' decimal forms). The products w·z_i·z_j are summed in
// DoubleDouble (each product exact before it is added), so that the sums
// about the means (for a fit with an intercept, a covariance or a
// correlation) and about zero (for a fit through the origin) come back with
// about 1e-30 relative error: a nearly singular system keeps the digits a
// stable solver needs, and two nearly equal fields keep the digits of their
// difference.
//
// Each variable is held in units of its own power of two 2^Scale(i), the
// binary exponent of its largest deviation so far (when a larger one comes
// the sums are brought to the new unit, exactly), so that the products of
// deviations near 1e-300, which lie far below the smallest double, and of
// deviations near 1e300, which overflow, are still summed. Powers of two
// scale exactly: the scaled sums are the sums themselves times
// 2^-(Scale(i) + Scale(j)) to the last bit wherever those are within a
// double's range, and what is worked out from the scaled sums comes out as
// it would from the sums, also where the sums themselves do not.
//
// AddDeviations with a mask of the present values sums each pair of
// variables over the vectors in which both are present (pairwise complete,
// as Matrix has it): the sums of every vector in which a variable is present,
// less those of the vectors that lack the pair's other variable (summed
// apart, only for vectors with a missing value). The listwise views below
// (ScaledCentred, Centred, ...) are for accumulators that never had a
// missing value; Pair serves both.
//
// Memory is fixed by m (m² sums once a vector with a missing value came);
// nothing grows with the number of vectors.
#include "engine/DoubleDouble.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

class CrossProducts {
public:
    class Pair;

    CrossProducts() = default;
    explicit CrossProducts(int m) { Reset(m); }

    // Forgets every vector and sets the number of variables.
    void Reset(int m);
    // Forgets every vector (the number of variables stays).
    void Clear();

    // Adds the vector v (m values) with the weight w (> 0). The first vector
    // added becomes the origin, and adds nothing to the sums about it.
    void Add(const double* v, double w);
    // Adds the vector given by its deviations z (m values) from origins the
    // caller keeps (Origin() stays 0), with the weight w (> 0). A deviation
    // beyond a double's range (values on either side of 0 near the largest
    // doubles, -1.5e308 from 1.7e308) comes as an infinite z[i] with its
    // half, which a double holds, in halves[i].
    void AddDeviations(const double* z, double w, const double* halves = nullptr);
    // The same for a vector of which only the variables with present[i] != 0
    // are known; a vector with none adds nothing.
    void AddDeviations(const double* z, const unsigned char* present, double w, const double* halves = nullptr);

    int Variables() const noexcept { return m_m; }
    // Vectors added, and n = Σw over them.
    std::int64_t Count() const noexcept { return m_count; }
    const DoubleDouble& SumW() const noexcept { return m_n; }
    // The origin a_i (the first vector of Add; 0 for AddDeviations).
    double Origin(int i) const { return m_origin[static_cast<std::size_t>(i)]; }

    // --- listwise, in the variables' units: variable i in 2^Scale(i) --------------------
    int Scale(int i) const { return m_exp[static_cast<std::size_t>(i)]; }
    // a_i·2^-Scale(i).
    double ScaledOrigin(int i) const;
    // Σw·z_i·z_j, the weighted mean of z_i, and Σw(v_i − mean_i)(v_j − mean_j).
    const DoubleDouble& ScaledProduct(int i, int j) const { return m_ss[tri(i, j)]; }
    DoubleDouble ScaledMeanAboutOrigin(int i) const;
    DoubleDouble ScaledCentred(int i, int j) const;
    // Σw·v_i·v_j (about zero).
    DoubleDouble ScaledRaw(int i, int j) const;

    // --- listwise, in the data's own units (0 where below a double's range) ------------
    // The weighted mean of v_i, and Σw(v_i − mean_i)(v_j − mean_j).
    DoubleDouble Mean(int i) const;
    DoubleDouble Centred(int i, int j) const;
    // False when a sum overflowed (a value or weight that is not finite).
    bool AllFinite() const;

    // The variables i (x) and j (y) over the vectors in which both are present.
    Pair PairOf(int i, int j) const;

private:
    std::size_t tri(int i, int j) const;
    // z in the unit of variable i, bringing its sums to a larger unit first
    // when |z| has outgrown the present one.
    double scaled(std::size_t i, double z) {
        if (!(std::fabs(z) < m_limit[i])) grow(i, z);
        return z * m_factor[i];
    }
    void grow(std::size_t i, double z);
    void growTo(std::size_t i, int e);
    // z[i] in the unit of variable i; an infinite z[i] is taken from its
    // half, in a unit up to 2^1024, which the sums and what is worked out
    // from them follow as they follow any other.
    double scaledAt(std::size_t i, const double* z, const double* halves) {
        if (halves && std::isinf(z[i])) return scaledHalf(i, halves[i]);
        return scaled(i, z[i]);
    }
    double scaledHalf(std::size_t i, double h);
    void addWeight(double w);
    // Adds m_z (deviations in the variables' units) with the weight w.
    void addScaled(double w);

    int m_m = 0;
    std::int64_t m_count = 0;
    DoubleDouble m_n;
    std::vector<double> m_origin;
    std::vector<int> m_exp;           // the unit of each variable: 2^m_exp
    std::vector<double> m_factor;     // 2^-m_exp
    std::vector<double> m_limit;      // 2^(m_exp + 1): a deviation this large outgrows the unit
    std::vector<DoubleDouble> m_s;    // Σw·z_i (over the vectors in which i is present)
    std::vector<DoubleDouble> m_ss;   // Σw·z_i·z_j, i <= j, row by row (both present)
    std::vector<double> m_z;          // the current vector's deviations
    std::vector<DoubleDouble> m_wz;   // and their weighted values

    // The vectors with a missing value: for variable j missing, Σw and the
    // count (m_lackW, m_lackN); for i present and j missing (at i·m + j),
    // Σw, the count, Σw·z_i and Σw·z_i² (m_pW, m_pN, m_pS, m_pSS).
    bool m_partial = false;
    std::vector<DoubleDouble> m_lackW, m_pW, m_pS, m_pSS;
    std::vector<std::int64_t> m_lackN, m_pN;
};

// Two variables x and y over the vectors in which both are present: their
// weight, means, sums of squares and cross-products about their means, and
// those of the difference d = x − y. Sums within the accumulator's rounding
// of 0 (a variable that is constant over the pair's vectors, though not
// equal to its origin) count as 0.
class CrossProducts::Pair {
public:
    std::int64_t Count() const noexcept { return m_count; }
    // W, the weight sum.
    double SumW() const noexcept { return m_w.ToDouble(); }
    // The means x̄ and ȳ, given the origins Kx and Ky.
    double MeanX(double originX) const noexcept;
    double MeanY(double originY) const noexcept;
    // x̄ − ȳ, given Kx − Ky (the caller's, taken as it takes its deviations).
    double MeanDifference(double originDifference) const noexcept;
    // Σw(x − x̄)(y − ȳ) (0 where below a double's range).
    double Cxy() const noexcept;
    // Cxy / divisor, divided before it is brought back to the data's unit:
    // the covariance of values near 1e154, whose Cxy is beyond a double's
    // range while the covariance is not.
    double Cxy(double divisor) const noexcept;
    // Pearson's r = Cxy / √(Cxx·Cyy), none unless both vary (within −1 .. 1).
    std::optional<double> Correlation() const noexcept;
    // Whether x − y varies: Cdd = Σw(d − d̄)² > 0.
    bool DiffVaries() const noexcept { return m_cdd.hi > 0; }
    // √(Cdd / divisor): the standard deviation of the difference for the
    // divisor W − 1, its standard error for the divisor (W − 1)·W; and
    // √(Cdd / divisor1 / divisor2), divided in that order. Worked out on the
    // scaled sums, so that a deviation whose square a double cannot hold
    // still comes out.
    double DiffRoot(double divisor) const noexcept;
    double DiffRoot(double divisor1, double divisor2) const noexcept;

private:
    friend class CrossProducts;
    std::int64_t m_count = 0;
    DoubleDouble m_w;
    // In the units 2^m_ex and 2^m_ey (the sums in their products); Cdd in
    // the larger of the two units, 2^m_ed.
    int m_ex = 0, m_ey = 0, m_ed = 0;
    DoubleDouble m_mx, m_my, m_cxx, m_cyy, m_cxy, m_cdd;
};
