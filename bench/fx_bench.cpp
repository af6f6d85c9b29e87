// Processing cost of all twelve effects plus a six-band equalizer on one 44.1 kHz stereo
// channel, as a share of real time on one core: once straight through the effect classes,
// once through a decode-only stream (decoding included, minus the same stream without them).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

#include <unistd.h>

#include "bass.h"
#include "bass_fx.h"
#include "dsp/effects.h"
#include "dsp/peak_eq.h"

using namespace mirvane::fx;

// CPU time of this thread: the machine may be shared, and waiting for a core is not our cost.
struct Clock {
    struct time_point {
        double s;
    };
    static time_point now() {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return {static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9};
    }
};
double seconds(Clock::time_point a, Clock::time_point b) {
    return b.s - a.s;
}

namespace {

constexpr unsigned kRate = 44100, kChans = 2;
constexpr double kSeconds = 60;
constexpr float kCentres[6] = {80, 125, 310, 1000, 8000, 14000};
constexpr int kTwelve[] = {0, 1, 2, 3, 6, 7, 8, 9, 11, 12, 13, 15};

std::vector<float> program() {
    // Noise plus a few tones: every filter and feedback path has something to work on.
    std::vector<float> x(static_cast<std::size_t>(kSeconds * kRate) * kChans);
    std::mt19937 gen(1);
    std::uniform_real_distribution<float> d(-0.2f, 0.2f);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = d(gen) + 0.2f * static_cast<float>(std::sin(0.0627 * static_cast<double>(i / 2)));
    return x;
}

// Effect numbers in the order of the breakdown's names; the equalizer last.
constexpr int kChain[] = {0, 1, 2, 3, 6, 7, 8, 9, 11, 12, 13, 15, 5};

std::vector<std::unique_ptr<Effect>> chain() {
    std::vector<std::unique_ptr<Effect>> c;
    for (int number : kChain)
        c.push_back(makeEffect(number, kRate, kChans));
    auto *eq = static_cast<PeakEq *>(c.back().get());
    for (int b = 0; b < 6; ++b)
        eq->setBand({b, kRate, 2.5f, 0, kCentres[b], b % 2 ? 6.0f : -6.0f});
    return c;
}

double direct() {
    std::vector<float> x = program();
    auto fx = chain();
    const auto t0 = Clock::now();
    for (std::size_t f = 0; f < x.size() / kChans; f += 1024) {
        const std::size_t n = std::min<std::size_t>(1024, x.size() / kChans - f);
        for (auto &e : fx)
            e->process(x.data() + f * kChans, n);
    }
    return seconds(t0, Clock::now());
}

double streamed(const std::filesystem::path &wav, bool withFx) {
    const DWORD h = BASS_StreamCreateFile(FALSE, wav.c_str(), 0, 0, BASS_STREAM_DECODE);
    if (!h)
        return -1;
    if (withFx) {
        for (int dsp : kTwelve)
            BASS_FX_DSP_Set(h, dsp, 1);
        BASS_FX_DSP_Set(h, BASS_FX_DSPFX_PEAKEQ, 0);
        for (int b = 0; b < 6; ++b) {
            BASS_FX_DSPPEAKEQ p{b, kRate, 2.5f, 0, kCentres[b], b % 2 ? 6.0f : -6.0f};
            BASS_FX_DSP_SetParameters(h, BASS_FX_DSPFX_PEAKEQ, &p);
        }
    }
    std::vector<std::int16_t> buf(8192);
    const auto t0 = Clock::now();
    while (BASS_ChannelGetData(h, buf.data(), DWORD(buf.size() * 2)) != DWORD(-1)) {
    }
    const double s = seconds(t0, Clock::now());
    BASS_StreamFree(h);
    return s;
}

} // namespace

// Each effect alone on 10 s, to see where the time goes.
void breakdown() {
    const char *names[] = {"swap",     "rotate",   "echo",       "flanger",  "reverb",
                           "low-pass", "cutter",   "flanger v2", "dyn. amp", "auto-wah",
                           "echo 2.0", "echo 2.1", "eq 6 bands"};
    auto fx = chain();
    const std::vector<float> source = program();
    const std::size_t frames = 10 * kRate;
    for (std::size_t k = 0; k < fx.size(); ++k) {
        std::vector<float> x(source.begin(), source.begin() + frames * kChans);
        const auto t0 = Clock::now();
        for (std::size_t f = 0; f < frames; f += 1024)
            fx[k]->process(x.data() + f * kChans, std::min<std::size_t>(1024, frames - f));
        const double s = seconds(t0, Clock::now());
        std::printf("  %-11s %.3f%%\n", names[k], 100.0 * s / 10);
    }
}

int main() {
    breakdown();
    double best = 1e9;
    for (int i = 0; i < 3; ++i)
        best = std::min(best, direct());
    std::printf("effect classes: %.1f ms for %.0f s of audio: %.2f%% of one core\n", best * 1e3,
                kSeconds, 100.0 * best / kSeconds);

    const auto wav = std::filesystem::temp_directory_path() /
                     ("mirvane_fx_bench_" + std::to_string(::getpid()) + ".wav");
    {
        const std::vector<float> x = program();
        std::ofstream f(wav, std::ios::binary);
        auto u32 = [&](std::uint32_t v) { f.write(reinterpret_cast<const char *>(&v), 4); };
        auto u16 = [&](std::uint16_t v) { f.write(reinterpret_cast<const char *>(&v), 2); };
        const auto bytes = static_cast<std::uint32_t>(x.size() * 4);
        f.write("RIFF", 4);
        u32(36 + bytes);
        f.write("WAVEfmt ", 8);
        u32(16);
        u16(3); // IEEE float
        u16(kChans);
        u32(kRate);
        u32(kRate * kChans * 4);
        u16(kChans * 4);
        u16(32);
        f.write("data", 4);
        u32(bytes);
        f.write(reinterpret_cast<const char *>(x.data()), bytes);
    }
    double plain = 1e9, full = 1e9;
    for (int i = 0; i < 3; ++i) {
        plain = std::min(plain, streamed(wav, false));
        full = std::min(full, streamed(wav, true));
    }
    std::filesystem::remove(wav);
    BASS_FX_Free();
    std::printf("decode-only stream: %.1f ms plain, %.1f ms with the effects: %.2f%% of one core "
                "for the effects\n",
                plain * 1e3, full * 1e3, 100.0 * (full - plain) / kSeconds);
}
