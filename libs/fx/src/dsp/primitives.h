// Small signal-processing building blocks shared by the effects. Processing-thread code: nothing
// here allocates after construction.
#pragma once

#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

namespace mirvane::fx {

inline constexpr double kTwoPi = 2.0 * std::numbers::pi;

inline float dbToGain(float db) {
    return std::pow(10.0f, db / 20.0f);
}

// Normalised biquad coefficients (a0 == 1).
struct BiquadCoeffs {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    bool operator==(const BiquadCoeffs &) const = default;
    bool isIdentity() const { return b0 == 1 && b1 == a1 && b2 == a2; }
};

// Cookbook peaking filter. `q` > 0 selects Q; otherwise `octaves` is the bandwidth between the
// half-gain points. A gain of 0 dB yields exactly the identity (b == a).
BiquadCoeffs peakingCoeffs(double rate, double centre, double gainDb, double octaves, double q);
// Cookbook low-pass with the given Q (0.7071 is Butterworth for one section).
BiquadCoeffs lowPassCoeffs(double rate, double cutoff, double q);

// Direct form I, so that the history of an identity filter equals its input history and a
// bypassed filter can be brought in without a step.
struct BiquadState {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double run(const BiquadCoeffs &c, double x) {
        const double y = c.b0 * x + c.b1 * x1 + c.b2 * x2 - c.a1 * y1 - c.a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// Power-of-two ring of past samples for one audio channel.
class DelayLine {
  public:
    DelayLine() = default;
    explicit DelayLine(std::size_t maxDelay) {
        std::size_t n = 1;
        while (n < maxDelay + 2)
            n <<= 1;
        buf_.assign(n, 0.0f);
        mask_ = n - 1;
    }
    std::size_t capacity() const { return buf_.size() - 2; }
    void write(float v) {
        buf_[pos_] = v;
        pos_ = (pos_ + 1) & mask_;
    }
    // The sample written `delay` writes ago (delay >= 1).
    float read(std::size_t delay) const { return buf_[(pos_ - delay) & mask_]; }
    // Linear interpolation between whole-sample taps; `delay` >= 1.
    float readFrac(double delay) const {
        const auto whole = static_cast<std::size_t>(delay);
        const float frac = static_cast<float>(delay - static_cast<double>(whole));
        const float a = read(whole);
        const float b = read(whole + 1);
        return a + (b - a) * frac;
    }

  private:
    std::vector<float> buf_;
    std::size_t mask_ = 0;
    std::size_t pos_ = 0;
};

// One-pole low-pass used both as a tone control and as a parameter smoother.
struct OnePole {
    float k = 1.0f; // 1 passes the input through
    float z = 0.0f;
    void setCutoff(double rate, double hz) {
        k = hz >= rate * 0.49 ? 1.0f : static_cast<float>(1.0 - std::exp(-kTwoPi * hz / rate));
    }
    void setTime(double rate, double seconds) {
        k = static_cast<float>(1.0 - std::exp(-1.0 / (seconds * rate)));
    }
    float run(float x) { return z += k * (x - z); }
};

// Topology-preserving state-variable filter (stable while its cut-off moves every sample).
struct SvfBandPass {
    // Coefficients for g = tan(pi * f / rate) and k = 1 / Q, shared by all channels.
    struct Tuning {
        float g = 0, k = 1, a1 = 1;
        void set(float gIn, float kIn) {
            g = gIn;
            k = kIn;
            a1 = 1.0f / (1.0f + g * (g + k));
        }
    };
    float ic1 = 0, ic2 = 0;
    // Returns the band-pass output with unity peak gain.
    float run(float x, const Tuning &t) {
        const float v3 = x - ic2;
        const float v1 = t.a1 * (ic1 + t.g * v3);
        const float v2 = ic2 + t.g * v1;
        ic1 = 2.0f * v1 - ic1;
        ic2 = 2.0f * v2 - ic2;
        return t.k * v1;
    }
};

} // namespace mirvane::fx
