#include "engine/CrossProducts.h"

#include "engine/Moments.h"
#include "engine/ScaleUnit.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace {

using DD = DoubleDouble;

// Whether a centred sum stands above the rounding of the sums about the
// origin it was made from (`about`, of n vectors): every DoubleDouble step
// errs by a few units of 2^-106 of what it adds, so that a variable constant
// over the vectors but away from its origin leaves a few such units, not 0.
bool aboveRounding(const DD& centred, double about, std::int64_t n) {
    return centred.hi > 16.0 * static_cast<double>(n + 1) * DD::Epsilon * about;
}

} // namespace

void CrossProducts::Reset(int m) {
    m_m = m < 0 ? 0 : m;
    const std::size_t M = static_cast<std::size_t>(m_m);
    m_origin.assign(M, 0.0);
    m_exp.assign(M, 0);
    m_factor.assign(M, 1.0);
    m_limit.assign(M, ScaleUnit::Unset);
    m_s.assign(M, DD());
    m_ss.assign(M * (M + 1) / 2, DD());
    m_z.assign(M, 0.0);
    m_wz.assign(M, DD());
    m_partial = false;
    m_count = 0;
    m_n = DD();
}

void CrossProducts::Clear() { Reset(m_m); }

std::size_t CrossProducts::tri(int i, int j) const {
    if (i > j) std::swap(i, j);
    const std::size_t I = static_cast<std::size_t>(i), J = static_cast<std::size_t>(j), M = static_cast<std::size_t>(m_m);
    return I * M - I * (I - 1) / 2 + (J - I);
}

void CrossProducts::grow(std::size_t i, double z) {
    if (std::isnan(z)) return; // it makes every sum it enters NaN, whatever the unit
    growTo(i, ScaleUnit::ExponentOf(z));
}

double CrossProducts::scaledHalf(std::size_t i, double h) {
    if (std::isnan(h) || std::isinf(h)) return scaled(i, h * 2);
    // The deviation 2h has the exponent of h plus one: 1024 at most.
    const int e = std::ilogb(h) + 1;
    if (m_limit[i] == ScaleUnit::Unset || e > m_exp[i]) growTo(i, e);
    return std::ldexp(h, 1 - m_exp[i]);
}

void CrossProducts::growTo(std::size_t i, int e) {
    // Until the unit is first set every sum of the variable is 0; after, the
    // unit only grows (up < 0), and the sums follow it exactly.
    const int up = m_exp[i] - e;
    if (up != 0) {
        const int ii = static_cast<int>(i);
        m_s[i] = Ldexp(m_s[i], up);
        for (int j = 0; j < m_m; ++j) {
            DD& s = m_ss[tri(ii, j)];
            s = Ldexp(s, j == ii ? 2 * up : up);
        }
        if (m_partial) {
            const std::size_t M = static_cast<std::size_t>(m_m);
            for (std::size_t j = 0; j < M; ++j) {
                m_pS[i * M + j] = Ldexp(m_pS[i * M + j], up);
                m_pSS[i * M + j] = Ldexp(m_pSS[i * M + j], 2 * up);
            }
        }
    }
    m_exp[i] = e;
    m_factor[i] = std::ldexp(1.0, -e);
    m_limit[i] = ScaleUnit::LimitOf(e);
}

void CrossProducts::addWeight(double w) {
    // A whole count is kept exactly in the high part alone: adding 1 to it
    // gives what the general addition gives, at a fraction of its work.
    if (w == 1.0 && m_n.lo == 0 && m_n.hi < 9007199254740992.0) m_n.hi += 1;
    else m_n += DD(w);
}

void CrossProducts::addScaled(double w) {
    const std::size_t M = static_cast<std::size_t>(m_m);
    if (w == 1.0) {
        for (std::size_t i = 0; i < M; ++i) m_wz[i] = DD(m_z[i]);
    } else {
        for (std::size_t i = 0; i < M; ++i) m_wz[i] = DD::TwoProd(w, m_z[i]);
    }
    std::size_t k = 0;
    for (std::size_t i = 0; i < M; ++i) {
        const DD wz = m_wz[i];
        m_s[i] += wz;
        if (wz.hi == 0) {
            k += M - i;
            continue;
        }
        for (std::size_t j = i; j < M; ++j, ++k) m_ss[k] += wz * m_z[j];
    }
}

void CrossProducts::Add(const double* v, double w) {
    const std::size_t M = static_cast<std::size_t>(m_m);
    if (m_count++ == 0) {
        for (std::size_t i = 0; i < M; ++i) m_origin[i] = v[i];
        m_n = DD(w);
        return;
    }
    addWeight(w);
    for (std::size_t i = 0; i < M; ++i) {
        const double z = v[i] - m_origin[i];
        // Beyond a double's range (-1.5e308 from 1.7e308) by its half, exact.
        m_z[i] = std::isinf(z) && std::isfinite(v[i]) ? scaledHalf(i, v[i] * 0.5 - m_origin[i] * 0.5) : scaled(i, z);
    }
    addScaled(w);
}

void CrossProducts::AddDeviations(const double* z, double w, const double* halves) {
    const std::size_t M = static_cast<std::size_t>(m_m);
    ++m_count;
    addWeight(w);
    for (std::size_t i = 0; i < M; ++i) m_z[i] = scaledAt(i, z, halves);
    addScaled(w);
}

void CrossProducts::AddDeviations(const double* z, const unsigned char* present, double w, const double* halves) {
    const std::size_t M = static_cast<std::size_t>(m_m);
    std::size_t have = 0;
    for (std::size_t i = 0; i < M; ++i) have += present[i] != 0;
    if (have == M) {
        AddDeviations(z, w, halves);
        return;
    }
    if (have == 0) return;
    if (!m_partial) {
        m_lackW.assign(M, DD());
        m_lackN.assign(M, 0);
        m_pW.assign(M * M, DD());
        m_pN.assign(M * M, 0);
        m_pS.assign(M * M, DD());
        m_pSS.assign(M * M, DD());
        m_partial = true;
    }
    ++m_count;
    addWeight(w);
    // A missing variable enters as 0, which adds nothing to any sum.
    for (std::size_t i = 0; i < M; ++i) m_z[i] = present[i] ? scaledAt(i, z, halves) : 0.0;
    addScaled(w);
    const DD W(w);
    for (std::size_t j = 0; j < M; ++j) {
        if (present[j]) continue;
        m_lackW[j] += W;
        ++m_lackN[j];
        for (std::size_t i = 0; i < M; ++i) {
            if (!present[i]) continue;
            const std::size_t at = i * M + j;
            m_pW[at] += W;
            ++m_pN[at];
            m_pS[at] += m_wz[i];
            m_pSS[at] += m_wz[i] * m_z[i];
        }
    }
}

double CrossProducts::ScaledOrigin(int i) const { return std::ldexp(Origin(i), -Scale(i)); }

DoubleDouble CrossProducts::ScaledMeanAboutOrigin(int i) const {
    if (!(m_n.hi > 0)) return {};
    return m_s[static_cast<std::size_t>(i)] / m_n;
}

namespace {
// A weight sum whose square stays far within a double's range, and whose
// sums of scaled values (at most twice the weight sum) multiply without
// overflow or underflow.
bool ordinarySum(const DoubleDouble& w) {
    return w.hi <= Moments::kOrdinaryWeight && w.hi >= 1 / Moments::kOrdinaryWeight;
}
} // namespace

DoubleDouble CrossProducts::ScaledCentred(int i, int j) const {
    if (!(m_n.hi > 0)) return {};
    const DoubleDouble& si = m_s[static_cast<std::size_t>(i)];
    const DoubleDouble& sj = m_s[static_cast<std::size_t>(j)];
    // Beyond ordinary weight sums Σz_i·(Σz_j / W): the product of the two
    // sums first would overflow for weight sums near 1e200.
    return ScaledProduct(i, j) - (ordinarySum(m_n) ? si * sj / m_n : si * (sj / m_n));
}

DoubleDouble CrossProducts::ScaledRaw(int i, int j) const {
    const double ai = ScaledOrigin(i), aj = ScaledOrigin(j);
    // Σ(z_i + a_i)(z_j + a_j) = Σz_i z_j + a_j Σz_i + a_i Σz_j + a_i a_j n
    return ScaledProduct(i, j) + m_s[static_cast<std::size_t>(i)] * aj + m_s[static_cast<std::size_t>(j)] * ai +
           m_n * DD::TwoProd(ai, aj);
}

DoubleDouble CrossProducts::Mean(int i) const { return Ldexp(ScaledMeanAboutOrigin(i), Scale(i)) + DD(Origin(i)); }

DoubleDouble CrossProducts::Centred(int i, int j) const { return Ldexp(ScaledCentred(i, j), Scale(i) + Scale(j)); }

bool CrossProducts::AllFinite() const {
    auto finite = [](const std::vector<DD>& v) {
        return std::all_of(v.begin(), v.end(), [](const DD& s) { return s.IsFinite(); });
    };
    return m_n.IsFinite() && finite(m_s) && finite(m_ss) && (!m_partial || (finite(m_pS) && finite(m_pSS)));
}

CrossProducts::Pair CrossProducts::PairOf(int i, int j) const {
    const std::size_t I = static_cast<std::size_t>(i), J = static_cast<std::size_t>(j), M = static_cast<std::size_t>(m_m);
    Pair p;
    DD W = m_n;
    std::int64_t n = m_count;
    DD sx = m_s[I], sy = m_s[J], sxx = ScaledProduct(i, i), syy = ScaledProduct(j, j);
    const DD sxy = ScaledProduct(i, j);
    // The sums the pair's own are taken from, and how many vectors they
    // hold: a pair's sums are what is left of them once the vectors without
    // one of the two are taken out, and they keep the rounding of the whole
    // sums. A variable constant over the pair but far from that elsewhere
    // kept a few units of the large sums' rounding: a "spread" that gave a
    // correlation of 0 or 1e-17 where there is none.
    const double sxxAll = sxx.hi, syyAll = syy.hi;
    const std::int64_t nAll = m_count;
    if (m_partial) {
        // Less the vectors that lack x, and those that have x but lack y.
        const std::size_t ij = I * M + J, ji = J * M + I;
        W = W - m_lackW[I] - m_pW[ij];
        n -= m_lackN[I] + m_pN[ij];
        sx -= m_pS[ij];
        sy -= m_pS[ji];
        sxx -= m_pSS[ij];
        syy -= m_pSS[ji];
    }
    p.m_count = n;
    p.m_w = W;
    p.m_ex = m_exp[I];
    p.m_ey = m_exp[J];
    p.m_ed = std::max(p.m_ex, p.m_ey);
    if (!(W.hi > 0)) return p;
    p.m_mx = sx / W;
    p.m_my = sy / W;
    // Beyond ordinary weight sums each sum times the other's mean: the
    // product of two sums first overflows for weight sums near 1e200.
    const bool ordinary = ordinarySum(W);
    p.m_cxx = sxx - (ordinary ? sx * sx / W : sx * p.m_mx);
    if (!aboveRounding(p.m_cxx, sxxAll, nAll)) p.m_cxx = DD();
    p.m_cyy = syy - (ordinary ? sy * sy / W : sy * p.m_my);
    if (!aboveRounding(p.m_cyy, syyAll, nAll)) p.m_cyy = DD();
    // |Cxy| <= √(Cxx·Cyy): nothing when either is constant.
    if (p.m_cxx.hi > 0 && p.m_cyy.hi > 0) p.m_cxy = sxy - (ordinary ? sx * sy / W : sx * p.m_my);
    // Cdd = Cxx + Cyy − 2·Cxy, in the larger unit.
    const int tx = 2 * (p.m_ex - p.m_ed), ty = 2 * (p.m_ey - p.m_ed), txy = p.m_ex + p.m_ey - 2 * p.m_ed;
    p.m_cdd = Ldexp(p.m_cxx, tx) + Ldexp(p.m_cyy, ty) - Ldexp(p.m_cxy, txy) * 2.0;
    const double about = std::ldexp(sxxAll, tx) + std::ldexp(syyAll, ty) + 2 * std::fabs(std::ldexp(sxy.hi, txy));
    if (!aboveRounding(p.m_cdd, about, nAll)) p.m_cdd = DD();
    return p;
}

double CrossProducts::Pair::MeanX(double originX) const noexcept {
    return (DD(originX) + Ldexp(m_mx, m_ex)).ToDouble();
}

double CrossProducts::Pair::MeanY(double originY) const noexcept {
    return (DD(originY) + Ldexp(m_my, m_ey)).ToDouble();
}

double CrossProducts::Pair::MeanDifference(double originDifference) const noexcept {
    return (DD(originDifference) + Ldexp(m_mx, m_ex) - Ldexp(m_my, m_ey)).ToDouble();
}

double CrossProducts::Pair::Cxy() const noexcept { return std::ldexp(m_cxy.ToDouble(), m_ex + m_ey); }
double CrossProducts::Pair::Cxy(double divisor) const noexcept {
    return std::ldexp(m_cxy.ToDouble() / divisor, m_ex + m_ey);
}

std::optional<double> CrossProducts::Pair::Correlation() const noexcept {
    if (!(m_cxx.hi > 0 && m_cyy.hi > 0)) return std::nullopt;
    if (m_cxy.hi == 0) return 0.0;
    // Beyond ordinary weight sums over each root in turn: Cxx·Cyy overflows
    // for weight sums near 1e200.
    double r = (ordinarySum(m_w) ? m_cxy / Sqrt(m_cxx * m_cyy) : m_cxy / Sqrt(m_cxx) / Sqrt(m_cyy)).ToDouble();
    if (r > 1) r = 1;
    if (r < -1) r = -1;
    return r;
}

double CrossProducts::Pair::DiffRoot(double divisor) const noexcept {
    const double v = m_cdd.ToDouble() / divisor;
    return v > 0 ? std::ldexp(std::sqrt(v), m_ed) : 0.0;
}

double CrossProducts::Pair::DiffRoot(double divisor1, double divisor2) const noexcept {
    const double v = m_cdd.ToDouble() / divisor1 / divisor2;
    return v > 0 ? std::ldexp(std::sqrt(v), m_ed) : 0.0;
}
