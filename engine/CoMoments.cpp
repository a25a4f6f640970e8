#include "engine/CoMoments.h"

double CoMoments::MeanDifference(const Moments::Origin& kx, const Moments::Origin& ky) const {
    return Moments::DecimalDifference(kx.Value(), ky.Value()) + (m_mx - m_my);
}
