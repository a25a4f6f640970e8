#pragma once
// The power-of-two unit a running sum keeps a variable's deviations in, so
// that their powers and products stay doubles for data near 1e-300 or
// 1e300: a deviation z is held as z·2^-e, e its binary exponent. When a
// deviation reaches 2^(e + 1) the unit grows to it, and the sums already
// made follow exactly (Ldexp). CrossProducts and PowerSums keep their
// units this way.
#include <algorithm>
#include <cmath>
#include <limits>

struct ScaleUnit {
    // The exponents a unit may take: 2^-e and 2^(e + 1) are doubles for these.
    static constexpr int LeastExp = -1022, MostExp = 1023;
    // The limit of a unit not yet set: only a deviation of 0 stays below it.
    static constexpr double Unset = std::numeric_limits<double>::denorm_min();

    // The exponent of the unit of deviation z (not NaN).
    static int ExponentOf(double z) { return std::clamp(std::isinf(z) ? MostExp : std::ilogb(z), LeastExp, MostExp); }
    // What a deviation in the unit 2^e must stay below.
    static double LimitOf(int e) { return e >= MostExp ? std::numeric_limits<double>::infinity() : std::ldexp(1.0, e + 1); }
};
