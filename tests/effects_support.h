// Helpers of the effects tests: the application, a temporary settings file, WAV files made on
// the spot, the playback engine started on a chosen SDL driver, and spectrum measurements.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "bass.h"
#include "playback/engine.h"

namespace effects_test {

inline constexpr double kPi = std::numbers::pi;
inline constexpr int kRate = 44100;

inline QApplication &App() {
    static int argc = 1;
    static char name[] = "effects_test";
    static char *argv[] = {name, nullptr};
    // Never destroyed: Qt's own globals may be gone at exit.
    static QApplication *app = new QApplication(argc, argv);
    return *app;
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char *name, const QString &value) : name_(name) {
        if (const char *old = std::getenv(name)) {
            had_ = true;
            old_ = old;
        }
        qputenv(name, value.toUtf8());
    }
    ~ScopedEnv() {
        if (had_)
            qputenv(name_.c_str(), QByteArray(old_.c_str()));
        else
            qunsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

  private:
    std::string name_, old_;
    bool had_ = false;
};

// Stereo 44.1 kHz signal, one vector per channel, -1..1.
struct Stereo {
    std::vector<float> left, right;
    std::size_t frames() const { return left.size(); }
};

inline Stereo Tones(double seconds, double leftHz, double leftAmp, double rightHz,
                    double rightAmp) {
    Stereo s;
    const auto n = static_cast<std::size_t>(seconds * kRate);
    s.left.resize(n);
    s.right.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        s.left[i] = float(leftAmp * std::sin(2 * kPi * leftHz * double(i) / kRate));
        s.right[i] = float(rightAmp * std::sin(2 * kPi * rightHz * double(i) / kRate));
    }
    return s;
}

// 16-bit stereo PCM WAV.
inline void WriteWav(const QString &path, const Stereo &s) {
    std::ofstream f(path.toStdString(), std::ios::binary);
    auto u32 = [&](std::uint32_t v) { f.write(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { f.write(reinterpret_cast<const char *>(&v), 2); };
    const auto bytes = static_cast<std::uint32_t>(s.frames() * 4);
    f.write("RIFF", 4);
    u32(36 + bytes);
    f.write("WAVEfmt ", 8);
    u32(16);        // fmt chunk size
    u16(1);         // PCM
    u16(2);         // stereo
    u32(kRate);     // frames per second
    u32(kRate * 4); // bytes per second
    u16(4);         // block align
    u16(16);        // bits per sample
    f.write("data", 4);
    u32(bytes);
    for (std::size_t i = 0; i < s.frames(); ++i) {
        for (float v : {s.left[i], s.right[i]}) {
            const auto q = static_cast<std::int16_t>(
                std::lround(std::clamp(double(v) * 32767.0, -32768.0, 32767.0)));
            f.write(reinterpret_cast<const char *>(&q), 2);
        }
    }
}

// Runs the GUI thread's events for `ms` milliseconds of wall time.
inline void Wait(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
}

// Amplitude of the component at hz in x[from, from + n), measured with a Hann-windowed FFT
// (n rounded down to a power of two): the largest bin within two bins of hz, corrected for the
// window's gain.
inline double FftAmplitude(const std::vector<float> &x, double hz, std::size_t from,
                           std::size_t n) {
    std::size_t size = 1;
    while (size * 2 <= n)
        size *= 2;
    std::vector<std::complex<double>> a(size);
    for (std::size_t i = 0; i < size; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * kPi * double(i) / double(size));
        a[i] = from + i < x.size() ? w * x[from + i] : 0.0;
    }
    // Iterative radix-2 FFT.
    for (std::size_t i = 1, j = 0; i < size; ++i) {
        std::size_t bit = size >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= size; len <<= 1) {
        const std::complex<double> wl = std::polar(1.0, -2 * kPi / double(len));
        for (std::size_t i = 0; i < size; i += len) {
            std::complex<double> w = 1;
            for (std::size_t k = 0; k < len / 2; ++k) {
                const auto u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= wl;
            }
        }
    }
    const auto centre = static_cast<long>(std::lround(hz * double(size) / kRate));
    double best = 0;
    for (long k = std::max(1L, centre - 2); k <= centre + 2 && k < long(size / 2); ++k)
        best = std::max(best, std::abs(a[std::size_t(k)]));
    return 2.0 * best / (0.5 * double(size)); // the Hann window's mean is one half
}

inline double Db(double v) {
    return 20.0 * std::log10(std::max(v, 1e-12));
}

inline double RmsDb(const std::vector<float> &x, std::size_t from, std::size_t n) {
    double acc = 0;
    std::size_t k = 0;
    for (std::size_t i = from; i < from + n && i < x.size(); ++i, ++k)
        acc += double(x[i]) * x[i];
    return Db(k ? std::sqrt(acc / double(k)) : 0.0);
}

// Largest step between neighbouring samples in x[from, to).
inline float LargestStep(const std::vector<float> &x, std::size_t from, std::size_t to) {
    float m = 0;
    for (std::size_t i = std::max<std::size_t>(from, 1); i < to && i < x.size(); ++i)
        m = std::max(m, std::abs(x[i] - x[i - 1]));
    return m;
}

inline std::size_t At(double seconds) {
    return static_cast<std::size_t>(seconds * kRate);
}

} // namespace effects_test
