#include "engine/PowerSums.h"

#include <algorithm>

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
    const double z = x - m_a, yd = y - m_b;
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
