#include "dsp/primitives.h"

#include <algorithm>
#include <numbers>

namespace mirvane::fx {

BiquadCoeffs peakingCoeffs(double rate, double centre, double gainDb, double octaves, double q) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w0 = kTwoPi * centre / rate;
    const double sw = std::sin(w0);
    // Near half the rate sin(w0) goes to 0 and the sinh's argument grows without bound; past
    // 30 the band is flat anyway, and beyond it the coefficients would overflow to NaN.
    const double alpha =
        q > 0 ? sw / (2.0 * q)
              : sw * std::sinh(std::min(std::numbers::ln2 / 2.0 * octaves * w0 / sw, 30.0));
    const double a0 = 1.0 + alpha / a;
    BiquadCoeffs c;
    c.b0 = (1.0 + alpha * a) / a0;
    c.b1 = -2.0 * std::cos(w0) / a0;
    c.b2 = (1.0 - alpha * a) / a0;
    c.a1 = c.b1;
    c.a2 = (1.0 - alpha / a) / a0;
    return c;
}

BiquadCoeffs lowPassCoeffs(double rate, double cutoff, double q) {
    const double w0 = kTwoPi * cutoff / rate;
    const double cw = std::cos(w0);
    const double alpha = std::sin(w0) / (2.0 * q);
    const double a0 = 1.0 + alpha;
    BiquadCoeffs c;
    c.b0 = (1.0 - cw) / 2.0 / a0;
    c.b1 = (1.0 - cw) / a0;
    c.b2 = c.b0;
    c.a1 = -2.0 * cw / a0;
    c.a2 = (1.0 - alpha) / a0;
    return c;
}

} // namespace mirvane::fx
