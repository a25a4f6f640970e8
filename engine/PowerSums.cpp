#include "engine/PowerSums.h"

#include "engine/ScaleUnit.h"

#include <algorithm>
#include <cmath>
#include <limits>

void PowerSums::Reset(int order, bool aboutFirst) {
    m_k = order < 0 ? 0 : order;
    m_aboutFirst = aboutFirst;
    Clear();
}

void PowerSums::Clear() {
    m_z.assign(static_cast<std::size_t>(2 * m_k + 1), DoubleDouble());
    m_zy.assign(static_cast<std::size_t>(m_k + 1), DoubleDouble());
    m_yy = DoubleDouble();
    m_count = 0;
    m_a = m_b = 0;
    m_xs = m_ys = 0;
    m_xFactor = m_yFactor = 1;
    m_xLimit = m_yLimit = ScaleUnit::Unset;
}

void PowerSums::growX(double z) {
    if (std::isnan(z)) return; // it makes every sum it enters NaN, whatever the unit
    const int e = ScaleUnit::ExponentOf(z), up = m_xs - e;
    // Until the unit is first set every sum of z is 0; after, it only grows.
    for (std::size_t m = 1; m < m_z.size(); ++m) m_z[m] = Ldexp(m_z[m], static_cast<int>(m) * up);
    for (std::size_t m = 1; m < m_zy.size(); ++m) m_zy[m] = Ldexp(m_zy[m], static_cast<int>(m) * up);
    m_xs = e;
    m_xFactor = std::ldexp(1.0, -e);
    m_xLimit = ScaleUnit::LimitOf(e);
}

void PowerSums::growY(double yd) {
    if (std::isnan(yd)) return;
    // Y's unit stays at most 1: a fit whose sums of squares of Y lie beyond
    // a double could not write them, and is refused as overflowing.
    const int e = std::min(ScaleUnit::ExponentOf(yd), 0), up = m_ys - e;
    for (auto& s : m_zy) s = Ldexp(s, up);
    m_yy = Ldexp(m_yy, 2 * up);
    m_ys = e;
    m_yFactor = std::ldexp(1.0, -e);
    m_yLimit = e >= 0 ? std::numeric_limits<double>::infinity() : ScaleUnit::LimitOf(e);
}

void PowerSums::Add(double x, double y, double w) {
    if (m_count++ == 0) {
        m_xMin = m_xMax = x;
        m_yMin = m_yMax = y;
        if (m_aboutFirst) {
            m_a = x;
            m_b = y;
        }
    } else {
        m_xMin = std::min(m_xMin, x);
        m_xMax = std::max(m_xMax, x);
        m_yMin = std::min(m_yMin, y);
        m_yMax = std::max(m_yMax, y);
    }
    double z = x - m_a, yd = y - m_b;
    if (!(std::fabs(z) < m_xLimit)) growX(z);
    if (!(std::fabs(yd) < m_yLimit)) growY(yd);
    z *= m_xFactor;
    yd *= m_yFactor;
    const std::size_t K = static_cast<std::size_t>(m_k);
    DoubleDouble p(w); // w·z^m
    m_z[0] += p;
    const DoubleDouble wy = DoubleDouble::TwoProd(w, yd);
    m_zy[0] += wy;
    m_yy += wy * yd;
    if (z == 0) return;
    for (std::size_t m = 1; m <= 2 * K; ++m) {
        p = p * z;
        m_z[m] += p;
        if (m <= K) m_zy[m] += p * yd;
    }
}

bool PowerSums::AllFinite() const {
    if (!m_yy.IsFinite()) return false;
    for (const auto& s : m_z)
        if (!s.IsFinite()) return false;
    for (const auto& s : m_zy)
        if (!s.IsFinite()) return false;
    return true;
}
