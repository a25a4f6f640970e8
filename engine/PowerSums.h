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
//
// z is held in the unit 2^XScale() and y' in 2^YScale(), the binary
// exponents of their largest deviations so far, y's at most 0 (when a
// larger one comes the sums are brought to the new unit, exactly):
// Σw·z^m is in 2^(m·XScale()), Σw·y'·z^m in 2^(m·XScale() + YScale()),
// Σw·y'² in 2^(2·YScale()). So the powers of x and the squares of small
// y, which lie below or beyond a double (x near 1e-80 or 1e80, y near
// 1e-160), are still summed to their full precision.
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
    int XScale() const noexcept { return m_xs; }
    int YScale() const noexcept { return m_ys; }
    // Σw·z^m (m = 0 .. 2k), Σw·y'·z^m (m = 0 .. k), Σw·y'², in the units
    // above; and in the data's own (0 or infinite beyond a double's range).
    const DoubleDouble& ScaledZ(int m) const { return m_z[static_cast<std::size_t>(m)]; }
    const DoubleDouble& ScaledZY(int m) const { return m_zy[static_cast<std::size_t>(m)]; }
    const DoubleDouble& ScaledYY() const noexcept { return m_yy; }
    DoubleDouble Z(int m) const { return Ldexp(ScaledZ(m), m * m_xs); }
    DoubleDouble ZY(int m) const { return Ldexp(ScaledZY(m), m * m_xs + m_ys); }
    DoubleDouble YY() const noexcept { return Ldexp(m_yy, 2 * m_ys); }
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
    // The units of z and y': 2^m_xs and 2^m_ys; a deviation as large as the
    // limit outgrows its unit.
    int m_xs = 0, m_ys = 0;
    double m_xFactor = 1, m_yFactor = 1, m_xLimit = 0, m_yLimit = 0;
    void growX(double z);
    void growY(double yd);
};
