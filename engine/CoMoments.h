#pragma once
// CoMoments: weighted sums of squares and cross-products of a pair of
// values about their running means, the accumulator behind every
// covariance, correlation and paired difference the analyses write.
//
// Raw sums (W·Σwxy − Σwx·Σwy) lose every digit when the means are large
// against the spread. Here each value enters as its deviation from a
// provisional mean (a Moments::Origin, usually the field's first value in
// the group, taken on the values' decimal forms), and the deviations are
// folded in with updating formulas, so that
//   Cxx = Σw(x − x̄)², Cyy = Σw(y − ȳ)², Cxy = Σw(x − x̄)(y − ȳ) and
//   Cdd = Σw(d − d̄)² for the difference d = x − y
// keep their digits wherever the data lie. Cdd is accumulated on its own
// (not as Cxx + Cyy − 2·Cxy), so that two nearly equal fields keep the
// digits of their difference.
//
// In the raw-sum notation of the output formulas: W·Σwx² − (Σwx)² = W·Cxx,
// W·Σwxy − Σwx·Σwy = W·Cxy.
#include "engine/Moments.h"

#include <cmath>
#include <cstdint>
#include <optional>

class CoMoments {
public:
    void Clear() noexcept { *this = CoMoments(); }

    // Adds one pair given by its deviations dx = x − Kx and dy = y − Ky from
    // the two provisional means, with the weight w (> 0).
    void Add(double dx, double dy, double w) noexcept {
        ++m_count;
        // Both deviations enter scaled by 2^-e, e the binary exponent of the
        // largest deviation so far, so that the products neither underflow
        // (data near 1e-300) nor overflow; powers of two scale exactly.
        const double big = std::fabs(dx) > std::fabs(dy) ? dx : dy;
        if (big != 0) {
            const int e = std::ilogb(big);
            if (!m_scaleSet) {
                m_scaleExp = e;
                m_scaleSet = true;
            } else if (e > m_scaleExp) {
                const int up = m_scaleExp - e;
                m_mx = std::ldexp(m_mx, up);
                m_my = std::ldexp(m_my, up);
                m_cxx = std::ldexp(m_cxx, 2 * up);
                m_cyy = std::ldexp(m_cyy, 2 * up);
                m_cxy = std::ldexp(m_cxy, 2 * up);
                m_cdd = std::ldexp(m_cdd, 2 * up);
                m_scaleExp = e;
            }
            dx = std::ldexp(dx, -m_scaleExp);
            dy = std::ldexp(dy, -m_scaleExp);
        }
        const double wa = m_w;
        const double wn = wa + w;
        const double ex = dx - m_mx, ey = dy - m_my;
        const double ed = (dx - dy) - (m_mx - m_my);
        const double f = w / wn;
        const double g = wa * f; // wa·w/wn
        m_cxx += g * ex * ex;
        m_cyy += g * ey * ey;
        m_cxy += g * ex * ey;
        m_cdd += g * ed * ed;
        m_mx += ex * f;
        m_my += ey * f;
        m_w = wn;
    }

    // Pairs added (unweighted).
    std::int32_t Count() const noexcept { return m_count; }
    // W, the weight sum.
    double SumW() const noexcept { return m_w; }
    // The mean deviations x̄ − Kx and ȳ − Ky.
    double MeanDx() const noexcept { return std::ldexp(m_mx, m_scaleExp); }
    double MeanDy() const noexcept { return std::ldexp(m_my, m_scaleExp); }
    // The sums (0 where they are below a double's range).
    double Cxx() const noexcept { return std::ldexp(m_cxx, 2 * m_scaleExp); }
    double Cyy() const noexcept { return std::ldexp(m_cyy, 2 * m_scaleExp); }
    double Cxy() const noexcept { return std::ldexp(m_cxy, 2 * m_scaleExp); }
    double Cdd() const noexcept { return std::ldexp(m_cdd, 2 * m_scaleExp); }

    // What is made of the sums, worked out on the scaled sums so that a
    // result a double holds comes out even where the sums themselves do not:
    // Pearson's r = Cxy / √(Cxx·Cyy), none unless both fields vary (clamped
    // to −1 .. 1);
    std::optional<double> Correlation() const noexcept {
        const double dxdy = m_cxx * m_cyy;
        if (!(dxdy > 0)) return std::nullopt;
        double r = m_cxy == 0 ? 0.0 : m_cxy / std::sqrt(dxdy);
        if (r > 1) r = 1;
        if (r < -1) r = -1;
        return r;
    }
    // whether the difference x − y varies (Cdd > 0);
    bool DiffVaries() const noexcept { return m_cdd > 0; }
    // √(Cdd / divisor): the standard deviation of the difference for the
    // divisor W − 1, its standard error for the divisor (W − 1)·W.
    double DiffRoot(double divisor) const noexcept {
        const double v = m_cdd / divisor;
        return v > 0 ? std::ldexp(std::sqrt(v), m_scaleExp) : 0.0;
    }
    // √(Cdd / divisor1 / divisor2), divided in that order.
    double DiffRoot(double divisor1, double divisor2) const noexcept {
        const double v = m_cdd / divisor1 / divisor2;
        return v > 0 ? std::ldexp(std::sqrt(v), m_scaleExp) : 0.0;
    }

    // x̄ − ȳ for the provisional means kx and ky: (Kx − Ky) taken on the
    // decimal forms, plus the difference of the mean deviations.
    double MeanDifference(const Moments::Origin& kx, const Moments::Origin& ky) const;

private:
    std::int32_t m_count = 0;
    double m_w = 0;
    // Scaled by 2^m_scaleExp (the sums by its square).
    int m_scaleExp = 0;
    bool m_scaleSet = false;
    double m_mx = 0, m_my = 0;
    double m_cxx = 0, m_cyy = 0, m_cxy = 0, m_cdd = 0;
};
