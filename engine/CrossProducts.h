#pragma once
// CrossProducts: weighted sums and cross-products of a vector of m variables
// (for a regression, the X values and then Y), accumulated about the first
// vector added and kept in double-double precision.
//
// Raw sums such as Σx² − (Σx)²/n lose every digit when the mean is large
// against the spread. Here the first vector becomes the origin a, every later
// vector enters as z = v − a (exact when v and a are close), and the products
// w·z_i·z_j are summed in DoubleDouble (each product exact before it is
// added). From these the sums about the means (for a fit with an intercept)
// and the sums about zero (for a fit through the origin) are recovered with
// about 1e-30 relative error, so that even a nearly singular system keeps
// the digits a stable solver needs.
//
// Memory is fixed by m; nothing grows with the number of vectors.
#include "engine/DoubleDouble.h"

#include <cstdint>
#include <vector>

class CrossProducts {
public:
    CrossProducts() = default;
    explicit CrossProducts(int m) { Reset(m); }

    // Forgets every vector and sets the number of variables.
    void Reset(int m);
    // Forgets every vector (the number of variables stays).
    void Clear();

    // Adds the vector v (m values) with the weight w (> 0).
    void Add(const double* v, double w);

    int Variables() const noexcept { return m_m; }
    std::int64_t Count() const noexcept { return m_count; }
    // n = Σw.
    const DoubleDouble& SumW() const noexcept { return m_n; }
    // The origin a (the first vector; zeros while empty).
    double Origin(int i) const { return m_origin[static_cast<std::size_t>(i)]; }
    // Σw·z_i and Σw·z_i·z_j about the origin.
    const DoubleDouble& SumAboutOrigin(int i) const { return m_s[static_cast<std::size_t>(i)]; }
    const DoubleDouble& ProductAboutOrigin(int i, int j) const;
    // The weighted mean of z_i = v_i − a_i, and of v_i itself.
    DoubleDouble MeanAboutOrigin(int i) const;
    DoubleDouble Mean(int i) const;
    // Σw(v_i − mean_i)(v_j − mean_j).
    DoubleDouble Centred(int i, int j) const;
    // Σw·v_i·v_j and Σw·v_i (about zero).
    DoubleDouble Raw(int i, int j) const;
    DoubleDouble RawSum(int i) const;
    // False when a sum overflowed (values too large to square).
    bool AllFinite() const;

private:
    std::size_t tri(int i, int j) const;

    int m_m = 0;
    std::int64_t m_count = 0;
    DoubleDouble m_n;
    std::vector<double> m_origin;
    std::vector<DoubleDouble> m_s;    // Σw·z_i
    std::vector<DoubleDouble> m_ss;   // Σw·z_i·z_j, i <= j, row by row
    std::vector<double> m_z;          // the current vector's deviations
    std::vector<DoubleDouble> m_wz;   // and their weighted values
};
