// SpectrumAnalyser::Draw of 16 bands into a 169 x 57 target, as the player's visual timer does it:
// microseconds per frame (goal: under 100) and heap allocations per frame (goal: none).
// Allocations are counted by replacing the global operator new.
//
//   controls_bench [frames]      (default 20000)

#include "controls/spectrum_analyser.h"

#include <QGuiApplication>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

static std::atomic<long> g_allocations{0};

void *operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void *operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void *p) noexcept {
    std::free(p);
}
void operator delete[](void *p) noexcept {
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void *p, std::size_t) noexcept {
    std::free(p);
}

namespace {

// Levels that rise and fall like music, so bars and peaks both climb and decay.
void Levels(int frame, std::array<float, 16> &out) {
    for (int i = 0; i < 16; ++i)
        out[i] = float(30 + 28 * std::sin(frame * 0.07 + i * 0.6) * std::cos(frame * 0.013));
}

struct Result {
    double usPerFrame;
    double allocsPerFrame;
};

template <typename Body> Result Measure(int frames, Body body) {
    std::array<float, 16> levels{};
    for (int f = 0; f < 200; ++f) { // warm up
        Levels(f, levels);
        body(levels);
    }
    const long before = g_allocations.load();
    const auto t0 = std::chrono::steady_clock::now();
    for (int f = 0; f < frames; ++f) {
        Levels(f, levels);
        body(levels);
    }
    const auto t1 = std::chrono::steady_clock::now();
    const long allocs = g_allocations.load() - before;
    return {std::chrono::duration<double, std::micro>(t1 - t0).count() / frames,
            double(allocs) / frames};
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int frames = argc > 1 ? std::atoi(argv[1]) : 20000;

    SpectrumAnalyser spectrum(169, 57, 16);
    spectrum.LowLimit = 20;
    spectrum.MidLimit = 40;
    QImage target(169, 57, QImage::Format_RGB32);

    {
        QPainter painter(&target);
        const Result r = Measure(
            frames, [&](const std::array<float, 16> &levels) { spectrum.Draw(painter, levels); });
        std::printf(
            "SpectrumAnalyser::Draw 16 bands into 169x57:  %.2f us/frame, %.3f allocations/frame\n",
            r.usPerFrame, r.allocsPerFrame);
    }
    {
        const Result r =
            Measure(frames, [&](const std::array<float, 16> &levels) { spectrum.Frame(levels); });
        std::printf(
            "SpectrumAnalyser::Frame (back buffer only):   %.2f us/frame, %.3f allocations/frame\n",
            r.usPerFrame, r.allocsPerFrame);
    }
    {
        // What a paint handler adds: a fresh painter per frame (Qt's allocations, not ours).
        const Result r = Measure(frames, [&](const std::array<float, 16> &levels) {
            QPainter painter(&target);
            spectrum.Draw(painter, levels);
        });
        std::printf(
            "with a new QPainter each frame:        %.2f us/frame, %.3f allocations/frame\n",
            r.usPerFrame, r.allocsPerFrame);
    }
    {
        QImage wide(338, 114, QImage::Format_RGB32);
        wide.setDevicePixelRatio(2);
        QPainter painter(&wide);
        const Result r = Measure(
            frames, [&](const std::array<float, 16> &levels) { spectrum.Draw(painter, levels); });
        std::printf(
            "Draw at device pixel ratio 2:          %.2f us/frame, %.3f allocations/frame\n",
            r.usPerFrame, r.allocsPerFrame);
    }
    return 0;
}
