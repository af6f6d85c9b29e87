// Signals and measurements shared by the effects tests.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace fxtest {

inline constexpr double kPi = std::numbers::pi;

// Interleaved float samples.
struct Signal {
    unsigned rate = 44100;
    unsigned chans = 2;
    std::vector<float> data;
    std::size_t frames() const { return data.size() / chans; }
    float &at(std::size_t frame, unsigned ch) { return data[frame * chans + ch]; }
    float at(std::size_t frame, unsigned ch) const { return data[frame * chans + ch]; }
    std::vector<float> channel(unsigned ch) const {
        std::vector<float> out(frames());
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = at(i, ch);
        return out;
    }
};

inline Signal silence(double seconds, unsigned rate = 44100, unsigned chans = 2) {
    Signal s{rate, chans, {}};
    s.data.assign(static_cast<std::size_t>(seconds * rate) * chans, 0.0f);
    return s;
}

// The same sine on every channel.
inline Signal sine(double hz, double amp, double seconds, unsigned rate = 44100,
                   unsigned chans = 2) {
    Signal s = silence(seconds, rate, chans);
    for (std::size_t i = 0; i < s.frames(); ++i) {
        const auto v = static_cast<float>(amp * std::sin(2 * kPi * hz * i / rate));
        for (unsigned c = 0; c < chans; ++c)
            s.at(i, c) = v;
    }
    return s;
}

inline Signal square(double hz, double seconds, unsigned rate = 44100, unsigned chans = 2) {
    Signal s = silence(seconds, rate, chans);
    for (std::size_t i = 0; i < s.frames(); ++i) {
        const float v = std::fmod(hz * i / rate, 1.0) < 0.5 ? 1.0f : -1.0f;
        for (unsigned c = 0; c < chans; ++c)
            s.at(i, c) = v;
    }
    return s;
}

inline Signal noise(double seconds, double amp, unsigned rate = 44100, unsigned chans = 2,
                    unsigned seed = 7) {
    Signal s = silence(seconds, rate, chans);
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    for (float &v : s.data)
        v = static_cast<float>(amp) * dist(gen);
    return s;
}

// A short Hann-shaped tone burst at `at` seconds on the given channels (mask bit per channel).
inline void addBurst(Signal &s, double at, double hz, double amp, double length,
                     unsigned mask = ~0u) {
    const auto start = static_cast<std::size_t>(at * s.rate);
    const auto n = static_cast<std::size_t>(length * s.rate);
    for (std::size_t i = 0; i < n && start + i < s.frames(); ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * kPi * i / n);
        const auto v = static_cast<float>(amp * w * std::sin(2 * kPi * hz * i / s.rate));
        for (unsigned c = 0; c < s.chans; ++c)
            if (mask & (1u << c))
                s.at(start + i, c) += v;
    }
}

inline double toDb(double v) {
    return 20.0 * std::log10(std::max(v, 1e-12));
}

// Amplitude of the component at `hz` in x[from, from + n), Hann-windowed.
inline double amplitudeAt(const std::vector<float> &x, unsigned rate, double hz, std::size_t from,
                          std::size_t n) {
    std::complex<double> acc = 0;
    double wsum = 0;
    for (std::size_t i = 0; i < n && from + i < x.size(); ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * kPi * (i + 0.5) / n);
        acc += w * x[from + i] * std::polar(1.0, -2 * kPi * hz * i / rate);
        wsum += w;
    }
    return 2.0 * std::abs(acc) / wsum;
}

inline double levelDbAt(const std::vector<float> &x, unsigned rate, double hz, double fromSec,
                        double lengthSec) {
    return toDb(amplitudeAt(x, rate, hz, static_cast<std::size_t>(fromSec * rate),
                            static_cast<std::size_t>(lengthSec * rate)));
}

inline double rms(const std::vector<float> &x, std::size_t from, std::size_t n) {
    double acc = 0;
    std::size_t k = 0;
    for (std::size_t i = from; i < from + n && i < x.size(); ++i, ++k)
        acc += double(x[i]) * x[i];
    return k ? std::sqrt(acc / k) : 0.0;
}

inline double rmsDb(const std::vector<float> &x, unsigned rate, double fromSec, double lenSec) {
    return toDb(
        rms(x, static_cast<std::size_t>(fromSec * rate), static_cast<std::size_t>(lenSec * rate)));
}

inline bool allFinite(const std::vector<float> &x) {
    return std::all_of(x.begin(), x.end(), [](float v) { return std::isfinite(v); });
}

inline float peak(const std::vector<float> &x) {
    float p = 0;
    for (float v : x)
        p = std::max(p, std::abs(v));
    return p;
}

// Largest step between neighbouring samples after the sine itself is removed by a second
// difference: a click shows up as a spike far above what a smooth signal produces.
inline float largestSecondDifference(const std::vector<float> &x, std::size_t from,
                                     std::size_t to) {
    float m = 0;
    for (std::size_t i = std::max<std::size_t>(from, 2); i < to && i < x.size(); ++i)
        m = std::max(m, std::abs(x[i] - 2 * x[i - 1] + x[i - 2]));
    return m;
}

} // namespace fxtest
