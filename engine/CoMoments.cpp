#include "engine/CoMoments.h"

#include <cmath>

double CoMoments::MeanDifference(const Moments::Origin& kx, const Moments::Origin& ky) const {
    return Moments::DecimalDifference(kx.Value(), ky.Value()) + std::ldexp(m_mx - m_my, m_scaleExp);
}
