#include "param_eq.h"

#include <algorithm>
#include <cmath>

namespace mirvane::audio {

void ParamEq::set(const ParamEqParams &p, int rate) {
    params_ = p;
    rate_ = rate;
    const double nyquist = rate / 2.0;
    const double f0 = std::clamp(double(p.center), 1.0, nyquist * 0.98);
    const double w0 = 2.0 * M_PI * f0 / rate;
    const double octaves = p.bandwidth / 12.0;
    const double sw = std::sin(w0);
    // Near half the rate sin(w0) goes to 0 and the sinh's argument grows without bound; past
    // 30 the band is flat anyway, and beyond it the coefficients would overflow to NaN.
    const double alpha = sw * std::sinh(std::min(std::log(2.0) / 2.0 * octaves * w0 / sw, 30.0));
    const double A = std::pow(10.0, p.gain / 40.0);
    const double a0 = 1.0 + alpha / A;
    b0_ = (1.0 + alpha * A) / a0;
    b1_ = -2.0 * std::cos(w0) / a0;
    b2_ = (1.0 - alpha * A) / a0;
    a1_ = b1_;
    a2_ = (1.0 - alpha / A) / a0;
}

void ParamEq::reset() {
    std::fill(state_.begin(), state_.end(), 0.0);
}

void ParamEq::process(float *buffer, unsigned frames, unsigned chans, int rate) {
    if (params_.gain == 0.0f)
        return;
    if (rate != rate_)
        set(params_, rate);
    if (state_.size() != size_t(chans) * 4)
        state_.assign(size_t(chans) * 4, 0.0);
    for (unsigned c = 0; c < chans; ++c) {
        double *s = &state_[size_t(c) * 4];
        double x1 = s[0], x2 = s[1], y1 = s[2], y2 = s[3];
        for (unsigned i = 0; i < frames; ++i) {
            float &v = buffer[size_t(i) * chans + c];
            const double x = v;
            const double y = b0_ * x + b1_ * x1 + b2_ * x2 - a1_ * y1 - a2_ * y2;
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            v = float(y);
        }
        if (!std::isfinite(x1 + x2 + y1 + y2)) {
            // A sample that was not a number (or infinite) came in: once in the feedback it
            // would stay for ever. Silence what it touched and start afresh.
            for (unsigned i = 0; i < frames; ++i) {
                float &v = buffer[size_t(i) * chans + c];
                if (!std::isfinite(v))
                    v = 0.0f;
            }
            x1 = x2 = y1 = y2 = 0.0;
        }
        s[0] = x1, s[1] = x2, s[2] = y1, s[3] = y2;
    }
}

} // namespace mirvane::audio
