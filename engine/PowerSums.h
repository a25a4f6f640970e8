#pragma once
// PowerSums: the weighted sums a polynomial fit of order k needs, in
// double-double precision: Σw·z^m for m = 0 .. 2k, Σw·y'·z^m for m = 0 .. k
// and Σw·y'², where z = x − a and y' = y − b. The origin (a, b) is the first
// pair added (for a fit with an intercept, whose every basis can be shifted)
// or (0, 0) (for a fit through the origin, whose powers must be those of x
// itself). The normal equations of every polynomial basis are made of these
// sums (they form a Hankel matrix), so 3k + 3 numbers per field hold the
// whole fit, and the powers, formed in DoubleDouble, keep the digits that
// the powers of a large, clustered x would lose in double precision.
#include "engine/DoubleDouble.h"

#include <cstdint>
#include <vector>

class PowerSums {
public:
    PowerSums() = default;

    void Reset(int order, bool aboutFirst);
    void Clear();
    void Add(double x, double y, double w);

    int Order() const noexcept { return m_k; }
    std::int64_t Count() const noexcept { return m_count; }
    const DoubleDouble& SumW() const noexcept { return m_z[0]; }
    double OriginX() const noexcept { return m_a; }
    double OriginY() const noexcept { return m_b; }
    // Σw·z^m (m = 0 .. 2k), Σw·y'·z^m (m = 0 .. k), Σw·y'².
    const DoubleDouble& Z(int m) const { return m_z[static_cast<std::size_t>(m)]; }
    const DoubleDouble& ZY(int m) const { return m_zy[static_cast<std::size_t>(m)]; }
    const DoubleDouble& YY() const noexcept { return m_yy; }
    // Whether x and y took more than one value.
    bool XVaries() const noexcept { return m_count > 0 && m_xMin < m_xMax; }
    bool YVaries() const noexcept { return m_count > 0 && m_yMin < m_yMax; }
    bool AllFinite() const;

private:
    int m_k = 0;
    bool m_aboutFirst = true;
    std::int64_t m_count = 0;
    double m_a = 0, m_b = 0;
    double m_xMin = 0, m_xMax = 0, m_yMin = 0, m_yMax = 0;
    std::vector<DoubleDouble> m_z, m_zy;
    DoubleDouble m_yy;
};
