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

#include <cstdint>

class CoMoments {
public:
    void Clear() noexcept { *this = CoMoments(); }

    // Adds one pair given by its deviations dx = x − Kx and dy = y − Ky from
    // the two provisional means, with the weight w (> 0).
    void Add(double dx, double dy, double w) noexcept {
        ++m_count;
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
    double MeanDx() const noexcept { return m_mx; }
    double MeanDy() const noexcept { return m_my; }
    double Cxx() const noexcept { return m_cxx; }
    double Cyy() const noexcept { return m_cyy; }
    double Cxy() const noexcept { return m_cxy; }
    double Cdd() const noexcept { return m_cdd; }

    // x̄ − ȳ for the provisional means kx and ky: (Kx − Ky) taken on the
    // decimal forms, plus the difference of the mean deviations.
    double MeanDifference(const Moments::Origin& kx, const Moments::Origin& ky) const;

private:
    std::int32_t m_count = 0;
    double m_w = 0;
    double m_mx = 0, m_my = 0;
    double m_cxx = 0, m_cyy = 0, m_cxy = 0, m_cdd = 0;
};
