#include "engine/CrossProducts.h"

#include <cmath>
#include <utility>

void CrossProducts::Reset(int m) {
    m_m = m < 0 ? 0 : m;
    const std::size_t M = static_cast<std::size_t>(m_m);
    m_origin.assign(M, 0.0);
    m_s.assign(M, DoubleDouble());
    m_ss.assign(M * (M + 1) / 2, DoubleDouble());
    m_z.assign(M, 0.0);
    m_wz.assign(M, DoubleDouble());
    m_count = 0;
    m_n = DoubleDouble();
}

void CrossProducts::Clear() { Reset(m_m); }

std::size_t CrossProducts::tri(int i, int j) const {
    if (i > j) std::swap(i, j);
    const std::size_t I = static_cast<std::size_t>(i), J = static_cast<std::size_t>(j), M = static_cast<std::size_t>(m_m);
    return I * M - I * (I - 1) / 2 + (J - I);
}

const DoubleDouble& CrossProducts::ProductAboutOrigin(int i, int j) const { return m_ss[tri(i, j)]; }

void CrossProducts::Add(const double* v, double w) {
    const std::size_t M = static_cast<std::size_t>(m_m);
    if (m_count++ == 0) {
        for (std::size_t i = 0; i < M; ++i) m_origin[i] = v[i];
        m_n = DoubleDouble(w);
        return; // the origin itself adds nothing to the sums about it
    }
    m_n += DoubleDouble(w);
    for (std::size_t i = 0; i < M; ++i) m_z[i] = v[i] - m_origin[i];
    if (w == 1.0) {
        for (std::size_t i = 0; i < M; ++i) m_wz[i] = DoubleDouble(m_z[i]);
    } else {
        for (std::size_t i = 0; i < M; ++i) m_wz[i] = DoubleDouble::TwoProd(w, m_z[i]);
    }
    std::size_t k = 0;
    for (std::size_t i = 0; i < M; ++i) {
        const DoubleDouble wz = m_wz[i];
        m_s[i] += wz;
        if (wz.hi == 0) {
            k += M - i;
            continue;
        }
        for (std::size_t j = i; j < M; ++j, ++k) m_ss[k] += wz * m_z[j];
    }
}

DoubleDouble CrossProducts::MeanAboutOrigin(int i) const {
    if (!(m_n.hi > 0)) return {};
    return m_s[static_cast<std::size_t>(i)] / m_n;
}

DoubleDouble CrossProducts::Mean(int i) const { return MeanAboutOrigin(i) + DoubleDouble(Origin(i)); }

DoubleDouble CrossProducts::Centred(int i, int j) const {
    if (!(m_n.hi > 0)) return {};
    return ProductAboutOrigin(i, j) - m_s[static_cast<std::size_t>(i)] * m_s[static_cast<std::size_t>(j)] / m_n;
}

DoubleDouble CrossProducts::Raw(int i, int j) const {
    const double ai = Origin(i), aj = Origin(j);
    // Σ(z_i + a_i)(z_j + a_j) = Σz_i z_j + a_j Σz_i + a_i Σz_j + a_i a_j n
    return ProductAboutOrigin(i, j) + m_s[static_cast<std::size_t>(i)] * aj + m_s[static_cast<std::size_t>(j)] * ai +
           m_n * DoubleDouble::TwoProd(ai, aj);
}

DoubleDouble CrossProducts::RawSum(int i) const { return m_s[static_cast<std::size_t>(i)] + m_n * Origin(i); }

bool CrossProducts::AllFinite() const {
    if (!m_n.IsFinite()) return false;
    for (const auto& s : m_s)
        if (!s.IsFinite()) return false;
    for (const auto& s : m_ss)
        if (!s.IsFinite()) return false;
    return true;
}
