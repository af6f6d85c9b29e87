// The effects library measured end to end: generated signals are written to WAV files,
// decoded through decode-only streams of the audio library with the effects attached, and the
// 16-bit PCM that comes out is measured.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>

#include <unistd.h>

#include "bass.h"
#include "bass_fx.h"
#include "fx_support.h"

using namespace fxtest;
namespace fs = std::filesystem;

namespace {

class TempDir {
  public:
    TempDir() {
        path_ = fs::temp_directory_path() /
                ("mirvane_fx_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    fs::path file(const std::string &name) const { return path_ / name; }

  private:
    static inline int counter_ = 0;
    fs::path path_;
};

// 32-bit float WAV: the decoder hands the very same floats to the effects.
void writeWav(const fs::path &path, const Signal &s) {
    std::ofstream f(path, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { f.write(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { f.write(reinterpret_cast<const char *>(&v), 2); };
    const auto bytes = static_cast<std::uint32_t>(s.data.size() * 4);
    f.write("RIFF", 4);
    u32(36 + bytes);
    f.write("WAVEfmt ", 8);
    u32(16); // fmt chunk size
    u16(3);  // IEEE float
    u16(static_cast<std::uint16_t>(s.chans));
    u32(s.rate);
    u32(s.rate * s.chans * 4);                    // bytes per second
    u16(static_cast<std::uint16_t>(s.chans * 4)); // block align
    u16(32);                                      // bits per sample
    f.write("data", 4);
    u32(bytes);
    f.write(reinterpret_cast<const char *>(s.data.data()), bytes);
}

class Stream {
  public:
    Stream(const TempDir &dir, const Signal &s) : rate_(s.rate), chans_(s.chans) {
        const fs::path p = dir.file("in" + std::to_string(count_++) + ".wav");
        writeWav(p, s);
        handle_ = BASS_StreamCreateFile(FALSE, p.c_str(), 0, 0, BASS_STREAM_DECODE);
    }
    ~Stream() {
        if (handle_)
            BASS_StreamFree(handle_);
    }
    Stream(const Stream &) = delete;
    Stream &operator=(const Stream &) = delete;
    DWORD handle() const { return handle_; }
    void release() {
        BASS_StreamFree(handle_);
        handle_ = 0;
    }

    // Decodes up to `frames` further frames (all that is left when 0).
    Signal pull(std::size_t frames = 0) {
        Signal out{rate_, chans_, {}};
        std::vector<std::int16_t> buf(4096 * chans_);
        std::size_t got = 0;
        while (frames == 0 || got < frames) {
            std::size_t want = 4096;
            if (frames)
                want = std::min(want, frames - got);
            const DWORD n = BASS_ChannelGetData(handle_, buf.data(), DWORD(want * chans_ * 2));
            if (n == DWORD(-1) || n == 0)
                break;
            for (std::size_t i = 0; i < n / 2; ++i)
                out.data.push_back(buf[i] / 32768.0f);
            got += n / 2 / chans_;
        }
        return out;
    }

  private:
    static inline int count_ = 0;
    unsigned rate_, chans_;
    DWORD handle_ = 0;
};

class Fx : public ::testing::Test {
  protected:
    void TearDown() override { BASS_FX_Free(); }

    // The signal through a decode-only stream, after `setup` has attached effects.
    Signal through(const Signal &in, const std::function<void(DWORD)> &setup) {
        Stream s(dir_, in);
        EXPECT_NE(s.handle(), 0u) << "decode-only stream, error " << BASS_ErrorGetCode();
        setup(s.handle());
        return s.pull();
    }
    Signal through(const Signal &in, int dsp) {
        return through(in, [&](DWORD h) { ASSERT_TRUE(BASS_FX_DSP_Set(h, dsp, 1)); });
    }
    Signal dry(const Signal &in) {
        return through(in, [](DWORD) {});
    }

    TempDir dir_;
};

// Independent model of a cookbook peaking band, for the expected response.
double peakResponseDb(double f, double rate, double centre, double gain, double octaves) {
    const double a = std::pow(10.0, gain / 40), w0 = 2 * kPi * centre / rate;
    const double alpha = std::sin(w0) * std::sinh(std::log(2.0) / 2 * octaves * w0 / std::sin(w0));
    const std::complex<double> z = std::polar(1.0, -2 * kPi * f / rate);
    const auto num = (1 + alpha * a) - 2 * std::cos(w0) * z + (1 - alpha * a) * z * z;
    const auto den = (1 + alpha / a) - 2 * std::cos(w0) * z + (1 - alpha / a) * z * z;
    return 20 * std::log10(std::abs(num / den));
}

void setBand(DWORD h, int band, DWORD rate, float centre, float gain) {
    BASS_FX_DSPPEAKEQ p{band, rate, 2.5f, 0.0f, centre, gain};
    ASSERT_TRUE(BASS_FX_DSP_SetParameters(h, BASS_FX_DSPFX_PEAKEQ, &p))
        << "error " << BASS_FX_ErrorGetCode();
}

constexpr float kEqCentres[6] = {80, 125, 310, 1000, 8000, 14000};

} // namespace

// --- equalizer ----------------------------------------------------------------------------

TEST_F(Fx, EqualizerGivesTheBandsGainAtItsCentre) {
    const Signal in = sine(1000, 0.1, 0.5);
    for (float gain : {-9.0f, 2.0f, 10.0f}) {
        const Signal out = through(in, [&](DWORD h) {
            ASSERT_TRUE(BASS_FX_DSP_Set(h, BASS_FX_DSPFX_PEAKEQ, 0));
            setBand(h, 0, 44100, 1000, gain);
        });
        for (unsigned c = 0; c < 2; ++c)
            EXPECT_NEAR(levelDbAt(out.channel(c), 44100, 1000, 0.2, 0.25) - toDb(0.1), gain, 0.5)
                << gain << " dB, channel " << c;
    }
}

TEST_F(Fx, EqualizerBandAtZeroDbIsBitForBit) {
    const Signal in = noise(0.3, 0.7);
    const Signal ref = dry(in);
    const Signal out = through(in, [&](DWORD h) {
        ASSERT_TRUE(BASS_FX_DSP_Set(h, BASS_FX_DSPFX_PEAKEQ, 0));
        for (int b = 0; b < 6; ++b)
            setBand(h, b, 44100, kEqCentres[b], 0);
    });
    EXPECT_EQ(out.data, ref.data);
}

TEST_F(Fx, EqualizerBarelyTouchesFourOctavesAway) {
    // 62.5 Hz and 16 kHz are four octaves from 1 kHz.
    Signal in = sine(62.5, 0.1, 0.8);
    const Signal hi = sine(16000, 0.1, 0.8);
    for (std::size_t i = 0; i < in.data.size(); ++i)
        in.data[i] += hi.data[i];
    for (float gain : {-9.0f, 10.0f}) {
        const Signal out = through(in, [&](DWORD h) {
            ASSERT_TRUE(BASS_FX_DSP_Set(h, BASS_FX_DSPFX_PEAKEQ, 0));
            setBand(h, 0, 44100, 1000, gain);
        });
        const auto l = out.channel(0);
        EXPECT_LT(std::abs(levelDbAt(l, 44100, 62.5, 0.3, 0.45) - toDb(0.1)), 1.0) << gain;
        EXPECT_LT(std::abs(levelDbAt(l, 44100, 16000, 0.3, 0.45) - toDb(0.1)), 1.0) << gain;
    }
}

TEST_F(Fx, EqualizerReturnsTheBandInForce) {
    Stream s(dir_, sine(440, 0.1, 0.1, 22050, 1));
    ASSERT_TRUE(BASS_FX_DSP_Set(s.handle(), BASS_FX_DSPFX_PEAKEQ, 0));
    BASS_FX_DSPPEAKEQ set{3, 22050, 2.5f, 0.0f, 1000.0f, -4.5f};
    ASSERT_TRUE(BASS_FX_DSP_SetParameters(s.handle(), BASS_FX_DSPFX_PEAKEQ, &set));
    BASS_FX_DSPPEAKEQ get{3, 0, 0, 0, 0, 0};
    ASSERT_TRUE(BASS_FX_DSP_GetParameters(s.handle(), BASS_FX_DSPFX_PEAKEQ, &get));
    EXPECT_EQ(get.lBand, 3);
    EXPECT_EQ(get.lFreq, 22050u);
    EXPECT_EQ(get.fBandwidth, 2.5f);
    EXPECT_EQ(get.fQ, 0.0f);
    EXPECT_EQ(get.fCenter, 1000.0f);
    EXPECT_EQ(get.fGain, -4.5f);
    // Out-of-range gain is clamped; an unknown band is refused and its record left alone.
    set.fGain = 40;
    ASSERT_TRUE(BASS_FX_DSP_SetParameters(s.handle(), BASS_FX_DSPFX_PEAKEQ, &set));
    ASSERT_TRUE(BASS_FX_DSP_GetParameters(s.handle(), BASS_FX_DSPFX_PEAKEQ, &get));
    EXPECT_EQ(get.fGain, 15.0f);
    BASS_FX_DSPPEAKEQ unknown{4, 7, 7, 7, 7, 7};
    EXPECT_FALSE(BASS_FX_DSP_GetParameters(s.handle(), BASS_FX_DSPFX_PEAKEQ, &unknown));
    EXPECT_EQ(BASS_FX_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_EQ(unknown.lFreq, 7u);
}

TEST_F(Fx, EqualizerWindowCallOrderSetsSixBands) {
    // The equalizer window attaches DSP 5 six times, sends every band at 0 dB, then reads each
    // band back and sends it with the slider's gain.
    const float gains[6] = {10, -9, 2, 2, -9, 10};
    Signal in = silence(0.8);
    for (float f : {80.0f, 125.0f, 200.0f, 310.0f, 550.0f, 1000.0f, 3000.0f, 8000.0f, 14000.0f}) {
        const Signal part = sine(f, 0.03, 0.8);
        for (std::size_t i = 0; i < in.data.size(); ++i)
            in.data[i] += part.data[i];
    }
    const Signal out = through(in, [&](DWORD h) {
        DWORD freq = 0;
        ASSERT_TRUE(BASS_ChannelGetAttributes(h, &freq, nullptr, nullptr));
        for (int i = 0; i < 6; ++i)
            ASSERT_TRUE(BASS_FX_DSP_Set(h, BASS_FX_DSPFX_PEAKEQ, 0));
        BASS_FX_DSPPEAKEQ rec{0, freq, 2.5f, 0.0f, 80.0f, 0.0f};
        for (int b = 0; b < 6; ++b) {
            rec.lBand = b;
            rec.fCenter = kEqCentres[b];
            BASS_FX_DSP_SetParameters(h, BASS_FX_DSPFX_PEAKEQ, &rec);
        }
        for (int b = 0; b < 6; ++b) {
            BASS_FX_DSPPEAKEQ p{};
            p.lBand = b;
            ASSERT_TRUE(BASS_FX_DSP_GetParameters(h, BASS_FX_DSPFX_PEAKEQ, &p));
            p.fGain = gains[b];
            ASSERT_TRUE(BASS_FX_DSP_SetParameters(h, BASS_FX_DSPFX_PEAKEQ, &p));
        }
    });
    EXPECT_EQ(BASS_FX_CountEffects(), 0u) << "one equalizer, gone with its channel";
    const auto l = out.channel(0);
    for (float f : {80.0f, 125.0f, 200.0f, 310.0f, 550.0f, 1000.0f, 3000.0f, 8000.0f, 14000.0f}) {
        double expected = 0;
        for (int b = 0; b < 6; ++b)
            expected += peakResponseDb(f, 44100, kEqCentres[b], gains[b], 2.5);
        EXPECT_NEAR(levelDbAt(l, 44100, f, 0.3, 0.45) - toDb(0.03), expected, 0.5) << f << " Hz";
    }
}

TEST_F(Fx, EqualizerParametersNeedTheEqualizerAttached) {
    Stream s(dir_, sine(440, 0.1, 0.1));
    BASS_FX_DSPPEAKEQ p{0, 44100, 2.5f, 0, 1000, 3};
    EXPECT_FALSE(BASS_FX_DSP_SetParameters(s.handle(), BASS_FX_DSPFX_PEAKEQ, &p));
    EXPECT_EQ(BASS_FX_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    EXPECT_FALSE(BASS_FX_DSP_GetParameters(s.handle(), BASS_FX_DSPFX_PEAKEQ, &p));
}

// --- the twelve effects -------------------------------------------------------------------

TEST_F(Fx, SwapChannelsIsExact) {
    Signal in = noise(0.3, 0.8);
    const Signal tone = sine(300, 0.5, 0.3);
    for (std::size_t i = 0; i < in.frames(); ++i)
        in.at(i, 0) = tone.at(i, 0);
    const Signal ref = dry(in);
    const Signal out = through(in, BASS_FX_DSPFX_SWAP);
    EXPECT_EQ(out.channel(0), ref.channel(1));
    EXPECT_EQ(out.channel(1), ref.channel(0));
}

TEST_F(Fx, LowPassIsThreeDbDownAtItsCutOffAtEveryRate) {
    for (unsigned rate : {8000u, 44100u, 96000u}) {
        const unsigned chans = rate == 8000 ? 1 : 2;
        // 900 and 1100 Hz bracket the documented 1000 Hz by 10%; 4000 Hz is two octaves above.
        Signal in = silence(0.5, rate, chans);
        for (double f : {900.0, 1100.0, 3900.0, 100.0}) {
            const Signal part = sine(f, 0.2, 0.5, rate, chans);
            for (std::size_t i = 0; i < in.data.size(); ++i)
                in.data[i] += part.data[i];
        }
        const Signal out = through(in, BASS_FX_DSPFX_LPF);
        for (unsigned c = 0; c < chans; ++c) {
            const auto x = out.channel(c);
            auto rel = [&](double f) { return levelDbAt(x, rate, f, 0.2, 0.28) - toDb(0.2); };
            EXPECT_GT(rel(900), -3.0) << rate;
            EXPECT_LT(rel(1100), -3.0) << rate;
            EXPECT_LT(rel(3900), -20.0) << rate;
            EXPECT_NEAR(rel(100), 0.0, 0.2) << rate;
        }
    }
}

namespace {
// Level of the burst copy starting at `at` seconds, relative to `ref` dB.
double burstDb(const std::vector<float> &x, unsigned rate, double hz, double at, double len) {
    return levelDbAt(x, rate, hz, at, len);
}
} // namespace

TEST_F(Fx, EchoRepeatsAtItsDelayAndDecay) {
    Signal in = silence(1.3);
    addBurst(in, 0.05, 500, 0.5, 0.02);
    const Signal out = through(in, BASS_FX_DSPFX_ECHO);
    const auto l = out.channel(0);
    const double direct = burstDb(l, 44100, 500, 0.05, 0.02);
    // 250 ms apart, wet 0.5 then feedback 0.45 each.
    const double expected[] = {-6.02, -12.96, -19.89, -26.83};
    for (int k = 1; k <= 4; ++k) {
        EXPECT_NEAR(burstDb(l, 44100, 500, 0.05 + 0.25 * k, 0.02) - direct, expected[k - 1], 0.5)
            << "repeat " << k;
        EXPECT_LT(rmsDb(l, 44100, 0.05 + 0.25 * k - 0.1, 0.05), -70) << "quiet before repeat " << k;
    }
    EXPECT_EQ(out.channel(0), out.channel(1));
}

TEST_F(Fx, PingPongEchoAlternatesSides) {
    Signal in = silence(1.7);
    addBurst(in, 0.05, 500, 0.5, 0.02, 1); // left only: the mid signal is half of it
    const Signal out = through(in, BASS_FX_DSPFX_ECHO2);
    const auto l = out.channel(0), r = out.channel(1);
    const double direct = burstDb(l, 44100, 500, 0.05, 0.02);
    // Repeats of the mid (-6 dB) every 375 ms, left first, each 6 dB below the one before.
    for (int k = 1; k <= 4; ++k) {
        const double at = 0.05 + 0.375 * k;
        const auto &hot = k % 2 ? l : r;
        const auto &cold = k % 2 ? r : l;
        const double expected = toDb(0.5 * 0.6) + (k - 1) * toDb(0.5);
        EXPECT_NEAR(burstDb(hot, 44100, 500, at, 0.02) - direct, expected, 0.5) << "repeat " << k;
        EXPECT_LT(burstDb(cold, 44100, 500, at, 0.02) - direct, -60) << "repeat " << k;
    }
}

TEST_F(Fx, TapeEchoRepeatsLaterAndGrowsDarker) {
    Signal in = silence(1.8);
    addBurst(in, 0.05, 500, 0.4, 0.02, 1);
    addBurst(in, 0.05, 6000, 0.4, 0.02, 2);
    const Signal out = through(in, BASS_FX_DSPFX_ECHO21);
    const auto low = out.channel(0), high = out.channel(1);
    const double lowDirect = burstDb(low, 44100, 500, 0.05, 0.02);
    const double highDirect = burstDb(high, 44100, 6000, 0.05, 0.02);
    for (int k = 1; k <= 3; ++k) {
        const double at = 0.05 + 0.5 * k;
        // wet 0.5, feedback 0.6; the 2.5 kHz damping costs a 500 Hz repeat about 0.17 dB a pass.
        EXPECT_NEAR(burstDb(low, 44100, 500, at, 0.02) - lowDirect,
                    toDb(0.5) + (k - 1) * toDb(0.6) - 0.17 * k, 0.5)
            << "repeat " << k;
        // ... and a 6 kHz one several dB a pass.
        EXPECT_LT(burstDb(high, 44100, 6000, at, 0.02) - highDirect,
                  toDb(0.5) + (k - 1) * toDb(0.6) - 5.0 * k)
            << "repeat " << k;
    }
    EXPECT_LT(rmsDb(low, 44100, 0.3, 0.15), -70) << "nothing at the plain echo's 250 ms";
}

TEST_F(Fx, ReverbTailDecaysInItsDocumentedTime) {
    Signal in = sine(500, 0.5, 0.4);
    in.data.resize(static_cast<std::size_t>(2.6 * 44100) * 2, 0.0f);
    const Signal out = through(in, BASS_FX_DSPFX_REVERB);
    const auto l = out.channel(0);
    // Least-squares slope of the level in 20 ms windows from 0.1 s to 1.3 s after the tone.
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int n = 0;
    for (double t = 0.5; t < 1.7; t += 0.02, ++n) {
        const double db = rmsDb(l, 44100, t, 0.02);
        sx += t;
        sy += db;
        sxx += t * t;
        sxy += t * db;
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    const double rt60 = -60.0 / slope;
    EXPECT_NEAR(rt60, 1.8, 0.36);
    EXPECT_GT(rmsDb(l, 44100, 0.5, 0.05), -30) << "there is a tail";
}

TEST_F(Fx, RotateMovesACentredSoundRightThenLeftEveryTwoSeconds) {
    const Signal out = through(sine(1000, 0.5, 2.2), BASS_FX_DSPFX_ROTATE);
    const auto l = out.channel(0), r = out.channel(1);
    auto side = [&](double t) {
        return rmsDb(r, 44100, t - 0.01, 0.02) - rmsDb(l, 44100, t - 0.01, 0.02);
    };
    EXPECT_NEAR(side(0.02), 0, 1.0) << "starts centred";
    EXPECT_GT(side(0.5), 20) << "right after a quarter period";
    EXPECT_NEAR(side(1.0), 0, 1.0) << "centre after half";
    EXPECT_LT(side(1.5), -20) << "left after three quarters";
    EXPECT_NEAR(side(2.0), 0, 1.0) << "centre again after a period";
    // Energy is kept: the total stays that of the input.
    for (double t : {0.3, 0.5, 1.2, 1.5})
        EXPECT_NEAR(toDb(std::hypot(rms(l, t * 44100, 882), rms(r, t * 44100, 882))), toDb(0.5),
                    0.3);
}

TEST_F(Fx, RotateLeavesMonoAlone) {
    const Signal in = noise(0.2, 0.5, 22050, 1);
    EXPECT_EQ(through(in, BASS_FX_DSPFX_ROTATE).data, dry(in).data);
}

TEST_F(Fx, DynAmpBringsQuietSoundToTargetAndNeverClips) {
    Signal in = sine(440, std::pow(10.0, -30 / 20.0), 3.5);
    const Signal loud = square(440, 1.0);
    in.data.insert(in.data.end(), loud.data.begin(), loud.data.end());
    const Signal out = through(in, BASS_FX_DSPFX_DAMP);
    const auto l = out.channel(0);
    EXPECT_NEAR(rmsDb(l, 44100, 2.5, 1.0), -16.0, 1.5) << "at the target after 2.5 s";
    EXPECT_LT(rmsDb(l, 44100, 0.0, 0.05), -25.0) << "the gain rises slowly";
    // The gain is high (about +20 dB) when the full-scale square arrives.
    EXPECT_LE(peak(out.data), 0.945f);
    EXPECT_NEAR(rmsDb(l, 44100, 4.0, 0.4), -16.0, 2.0) << "brought down to the target";
}

TEST_F(Fx, CutterGatesEveryEighthOfASecondHalfOpen) {
    const Signal out = through(sine(1000, 0.5, 1.0), BASS_FX_DSPFX_CUTTER);
    const auto l = out.channel(0);
    for (int k = 0; k < 8; ++k) {
        const double start = 0.125 * k;
        EXPECT_NEAR(rmsDb(l, 44100, start + 0.005, 0.055), toDb(0.5 / std::sqrt(2.0)), 0.2) << k;
        EXPECT_LT(rmsDb(l, 44100, start + 0.0645, 0.058), -90) << k;
    }
}

TEST_F(Fx, FlangerSweepsItsNotchesSlowlyWithASine) {
    // A 1 kHz tone is notched where the delay is 0.5 ms (start) and 4.5 ms (at 1.96 s), and
    // boosted by the comb's peak (+4 dB) where it is 5 ms (at 2.5 s).
    const Signal out = through(sine(1000, 0.3, 2.7), BASS_FX_DSPFX_FLANGER);
    const double in = toDb(0.3 / std::sqrt(2.0));
    for (unsigned c = 0; c < 2; ++c) {
        const auto x = out.channel(c);
        EXPECT_LT(rmsDb(x, 44100, 0.01, 0.04) - in, -20) << "notch at the start";
        EXPECT_NEAR(rmsDb(x, 44100, 2.48, 0.04) - in, toDb(1.6), 0.5) << "peak at 2.5 s";
        double best = 0, bestT = 0;
        for (double t = 1.85; t < 2.05; t += 0.002) {
            const double db = rmsDb(x, 44100, t - 0.005, 0.01) - in;
            if (db < best)
                best = db, bestT = t;
        }
        EXPECT_LT(best, -15);
        EXPECT_NEAR(bestT, 1.959, 0.02);
    }
}

TEST_F(Fx, FlangerV2SweepsFasterWithTheRightAQuarterCycleAhead) {
    // Triangle sweep 1..8 ms in 1 s: a 500 Hz tone is notched whenever the delay is an odd
    // number of milliseconds. The right channel's sweep starts a quarter cycle (4.5 ms) later.
    const Signal out = through(sine(500, 0.3, 2.1), BASS_FX_DSPFX_FLANGER2);
    const double in = toDb(0.3 / std::sqrt(2.0));
    auto delayAt = [](double cycles) {
        const double ph = cycles - std::floor(cycles);
        return 1.0 + 7.0 * (1.0 - std::abs(1.0 - 2.0 * ph));
    };
    for (unsigned c = 0; c < 2; ++c) {
        const auto x = out.channel(c);
        int notches = 0;
        for (double t = 0.1; t < 2.0; t += 0.001) {
            const double d = delayAt(0.5 * t + 0.25 * c);
            const double frac = std::abs(d / 2.0 - std::floor(d / 2.0) - 0.5); // 0 at odd ms
            if (frac < 0.0025) { // a notch is predicted here
                EXPECT_LT(rmsDb(x, 44100, t - 0.002, 0.004) - in, -12)
                    << "channel " << c << " t " << t;
                ++notches;
                t += 0.05;
            } else if (std::abs(frac - 0.5) < 0.0025) { // a peak: +3.1 dB
                EXPECT_NEAR(rmsDb(x, 44100, t - 0.002, 0.004) - in, 3.1, 1.0)
                    << "channel " << c << " t " << t;
                t += 0.05;
            }
        }
        EXPECT_GE(notches, 6) << "channel " << c;
    }
}

TEST_F(Fx, AutoWahSweepsItsPeakBetween350And2800HzOncePerSecond) {
    Signal in = sine(350, 0.2, 1.1);
    const Signal hi = sine(2800, 0.2, 1.1);
    for (std::size_t i = 0; i < in.data.size(); ++i)
        in.data[i] += hi.data[i];
    const Signal out = through(in, BASS_FX_DSPFX_AUTOWAH);
    const auto l = out.channel(0);
    auto rel = [&](double f, double t) {
        return levelDbAt(l, 44100, f, t - 0.02, 0.04) - toDb(0.2);
    };
    // At the centre the band-pass adds to the dry 0.3: 1.3; far from it about 0.3.
    EXPECT_NEAR(rel(350, 0.03), toDb(1.3), 1.0);
    EXPECT_NEAR(rel(2800, 0.03), toDb(0.3), 1.5);
    EXPECT_NEAR(rel(350, 0.5), toDb(0.3), 1.5);
    EXPECT_NEAR(rel(2800, 0.5), toDb(1.3), 1.0);
    EXPECT_NEAR(rel(350, 1.0), toDb(1.3), 1.0);
}

// --- attaching, detaching and the channel's end -------------------------------------------

namespace {
constexpr int kTwelve[] = {0, 1, 2, 3, 6, 7, 8, 9, 11, 12, 13, 15};
}

TEST_F(Fx, UnknownOrZeroHandleFailsAndChangesNothing) {
    for (DWORD h : {0u, 0x7fff1234u}) {
        EXPECT_FALSE(BASS_FX_DSP_Set(h, BASS_FX_DSPFX_ECHO, 1));
        EXPECT_EQ(BASS_FX_ErrorGetCode(), BASS_ERROR_HANDLE);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
        EXPECT_FALSE(BASS_FX_DSP_Remove(h, BASS_FX_DSPFX_ECHO));
        EXPECT_EQ(BASS_FX_ErrorGetCode(), BASS_ERROR_HANDLE);
        BASS_FX_DSPECHO p{};
        EXPECT_FALSE(BASS_FX_DSP_SetParameters(h, BASS_FX_DSPFX_ECHO, &p));
        EXPECT_FALSE(BASS_FX_DSP_GetParameters(h, BASS_FX_DSPFX_ECHO, &p));
        EXPECT_EQ(BASS_FX_ErrorGetCode(), BASS_ERROR_HANDLE);
    }
    EXPECT_EQ(BASS_FX_CountEffects(), 0u);
}

TEST_F(Fx, UnknownEffectNumbersAreRefused) {
    Stream s(dir_, sine(440, 0.1, 0.1));
    for (int dsp : {4, 10, 14, 16, -1}) {
        EXPECT_FALSE(BASS_FX_DSP_Set(s.handle(), dsp, 1)) << dsp;
        EXPECT_EQ(BASS_FX_ErrorGetCode(), BASS_ERROR_ILLTYPE);
    }
    EXPECT_EQ(BASS_FX_CountEffects(), 0u);
}

TEST_F(Fx, SettingTwiceAttachesOnceAndRemovingTheAbsentIsHarmless) {
    Signal in = silence(0.7);
    addBurst(in, 0.05, 500, 0.5, 0.02);
    const Signal out = through(in, [&](DWORD h) {
        EXPECT_FALSE(BASS_FX_DSP_Remove(h, BASS_FX_DSPFX_ECHO));
        EXPECT_EQ(BASS_FX_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
        ASSERT_TRUE(BASS_FX_DSP_Set(h, BASS_FX_DSPFX_ECHO, 1));
        ASSERT_TRUE(BASS_FX_DSP_Set(h, BASS_FX_DSPFX_ECHO, 1));
        EXPECT_EQ(BASS_FX_CountEffects(), 1u);
        EXPECT_FALSE(BASS_FX_DSP_Remove(h, BASS_FX_DSPFX_REVERB));
    });
    const auto l = out.channel(0);
    // One echo: the first repeat 6 dB down, not a doubled one, and no second direct copy.
    EXPECT_NEAR(burstDb(l, 44100, 500, 0.3, 0.02) - burstDb(l, 44100, 500, 0.05, 0.02), -6.02, 0.5);
}

TEST_F(Fx, HigherPriorityProcessesFirst) {
    // Ping-pong sends its first repeat left. Swapped before it: still left; after it: right.
    Signal in = silence(0.6);
    addBurst(in, 0.05, 500, 0.5, 0.02);
    for (int swapPriority : {2, 0}) {
        const Signal out = through(in, [&](DWORD h) {
            ASSERT_TRUE(BASS_FX_DSP_Set(h, BASS_FX_DSPFX_ECHO2, 1));
            ASSERT_TRUE(BASS_FX_DSP_Set(h, BASS_FX_DSPFX_SWAP, swapPriority));
        });
        const double left = rmsDb(out.channel(0), 44100, 0.425, 0.02);
        const double right = rmsDb(out.channel(1), 44100, 0.425, 0.02);
        if (swapPriority == 2)
            EXPECT_GT(left - right, 40);
        else
            EXPECT_GT(right - left, 40);
    }
}

TEST_F(Fx, AllEffectsRemovedInAnyOrderLeaveTheDrySignal) {
    const Signal in = noise(1.0, 0.3);
    const Signal ref = dry(in);
    Stream s(dir_, in);
    for (int dsp : kTwelve)
        ASSERT_TRUE(BASS_FX_DSP_Set(s.handle(), dsp, 1)) << dsp;
    ASSERT_TRUE(BASS_FX_DSP_Set(s.handle(), BASS_FX_DSPFX_PEAKEQ, 0));
    setBand(s.handle(), 0, 44100, 1000, 6);
    EXPECT_EQ(BASS_FX_CountEffects(), 13u);
    const Signal wet = s.pull(22050);
    EXPECT_NE(std::vector<float>(ref.data.begin(), ref.data.begin() + wet.data.size()), wet.data);
    std::vector<int> order(std::begin(kTwelve), std::end(kTwelve));
    order.push_back(BASS_FX_DSPFX_PEAKEQ);
    std::shuffle(order.begin(), order.end(), std::mt19937(42));
    for (int dsp : order)
        EXPECT_TRUE(BASS_FX_DSP_Remove(s.handle(), dsp)) << dsp;
    EXPECT_EQ(BASS_FX_CountEffects(), 0u);
    // Detached at the next block the channel decodes (what it decoded ahead went through the
    // effects already); even the echoes' tails are gone.
    const Signal rest = s.pull();
    const std::size_t ahead = 4096 * 2;
    ASSERT_GT(rest.data.size(), ahead);
    EXPECT_EQ(std::vector<float>(rest.data.begin() + ahead, rest.data.end()),
              std::vector<float>(ref.data.begin() + wet.data.size() + ahead, ref.data.end()));
}

TEST_F(Fx, FreedChannelTakesItsEffectsAlong) {
    {
        Stream s(dir_, noise(0.3, 0.5));
        for (int dsp : kTwelve)
            ASSERT_TRUE(BASS_FX_DSP_Set(s.handle(), dsp, 1));
        ASSERT_TRUE(BASS_FX_DSP_Set(s.handle(), BASS_FX_DSPFX_PEAKEQ, 0));
        s.pull(4410);
        EXPECT_EQ(BASS_FX_CountEffects(), 13u);
        const DWORD h = s.handle();
        s.release();
        EXPECT_FALSE(BASS_FX_DSP_Set(h, BASS_FX_DSPFX_ECHO, 1));
        EXPECT_EQ(BASS_FX_ErrorGetCode(), BASS_ERROR_HANDLE);
    }
    EXPECT_EQ(BASS_FX_CountEffects(), 0u);
}

TEST_F(Fx, FreeDetachesEverythingAndTheLibraryWorksAfterwards) {
    const Signal in = noise(0.4, 0.5);
    const Signal ref = dry(in);
    Stream a(dir_, in), b(dir_, in);
    for (int dsp : kTwelve) {
        ASSERT_TRUE(BASS_FX_DSP_Set(a.handle(), dsp, 1));
        ASSERT_TRUE(BASS_FX_DSP_Set(b.handle(), dsp, 1));
    }
    ASSERT_TRUE(BASS_FX_Free());
    EXPECT_EQ(BASS_FX_CountEffects(), 0u);
    EXPECT_EQ(a.pull().data, ref.data);
    ASSERT_TRUE(BASS_FX_DSP_Set(b.handle(), BASS_FX_DSPFX_SWAP, 1));
    const Signal swapped = b.pull();
    EXPECT_EQ(swapped.channel(0), ref.channel(1));
}

TEST_F(Fx, ParametersOfEveryEffectRoundTrip) {
    Stream s(dir_, sine(440, 0.1, 0.1));
    for (int dsp : kTwelve)
        ASSERT_TRUE(BASS_FX_DSP_Set(s.handle(), dsp, 1));
    BASS_FX_DSPECHO echo{};
    ASSERT_TRUE(BASS_FX_DSP_GetParameters(s.handle(), BASS_FX_DSPFX_ECHO21, &echo));
    EXPECT_EQ(echo.fDelay, 500.0f);
    EXPECT_EQ(echo.fDamp, 2500.0f);
    echo.fDelay = 120;
    ASSERT_TRUE(BASS_FX_DSP_SetParameters(s.handle(), BASS_FX_DSPFX_ECHO21, &echo));
    BASS_FX_DSPECHO back{};
    ASSERT_TRUE(BASS_FX_DSP_GetParameters(s.handle(), BASS_FX_DSPFX_ECHO21, &back));
    EXPECT_EQ(back.fDelay, 120.0f);
    BASS_FX_DSPFLANGER fl{};
    ASSERT_TRUE(BASS_FX_DSP_GetParameters(s.handle(), BASS_FX_DSPFX_FLANGER2, &fl));
    EXPECT_EQ(fl.fRate, 0.5f);
    EXPECT_EQ(fl.fPhase, 90.0f);
    BASS_FX_DSPLPF lpf{std::nanf("")};
    EXPECT_FALSE(BASS_FX_DSP_SetParameters(s.handle(), BASS_FX_DSPFX_LPF, &lpf));
    EXPECT_EQ(BASS_FX_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    ASSERT_TRUE(BASS_FX_DSP_GetParameters(s.handle(), BASS_FX_DSPFX_LPF, &lpf));
    EXPECT_EQ(lpf.fCutOff, 1000.0f);
    EXPECT_FALSE(BASS_FX_DSP_SetParameters(s.handle(), BASS_FX_DSPFX_SWAP, &lpf));
    EXPECT_FALSE(BASS_FX_DSP_SetParameters(s.handle(), BASS_FX_DSPFX_LPF, nullptr));
}

TEST_F(Fx, EveryEffectSurvivesSilenceAndFullScaleSquares) {
    for (unsigned chans : {1u, 2u}) {
        Signal in = silence(0.3, 44100, chans);
        const Signal sq = square(60, 0.7, 44100, chans);
        in.data.insert(in.data.end(), sq.data.begin(), sq.data.end());
        in.data.resize(in.data.size() + 44100 / 2 * chans, 0.0f);
        const Signal out = through(in, [&](DWORD h) {
            for (int dsp : kTwelve)
                ASSERT_TRUE(BASS_FX_DSP_Set(h, dsp, 1));
            ASSERT_TRUE(BASS_FX_DSP_Set(h, BASS_FX_DSPFX_PEAKEQ, 0));
            for (int b = 0; b < 6; ++b)
                setBand(h, b, 44100, kEqCentres[b], 15);
        });
        ASSERT_EQ(out.data.size(), in.data.size());
        EXPECT_EQ(
            peak(std::vector<float>(out.data.begin(), out.data.begin() + 0.3 * 44100 * chans)),
            0.0f)
            << "silence stays silent";
        EXPECT_GT(peak(out.data), 0.1f);
    }
}

TEST_F(Fx, PlayingChannelTakesParameterChangesWhileItPlaysAndEndsWithItsEffects) {
    // The "no sound" device plays in real time: the effects run on the decode-ahead thread
    // while this thread keeps changing their settings, attaching and detaching.
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
    const fs::path p = dir_.file("play.wav");
    writeWav(p, noise(3.0, 0.5));
    const DWORD h = BASS_StreamCreateFile(FALSE, p.c_str(), 0, 0, 0);
    ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    for (int dsp : kTwelve)
        ASSERT_TRUE(BASS_FX_DSP_Set(h, dsp, 1));
    ASSERT_TRUE(BASS_FX_DSP_Set(h, BASS_FX_DSPFX_PEAKEQ, 0));
    for (int i = 0; i < 150; ++i) {
        setBand(h, i % 6, 44100, kEqCentres[i % 6], static_cast<float>(i % 31 - 15));
        BASS_FX_DSPECHO echo{static_cast<float>(50 + 10 * (i % 40)), 0.5f, 0.5f, 1.0f, 0.0f};
        ASSERT_TRUE(BASS_FX_DSP_SetParameters(h, BASS_FX_DSPFX_ECHO, &echo));
        BASS_FX_DSPLPF lpf{static_cast<float>(200 + 100 * (i % 50))};
        ASSERT_TRUE(BASS_FX_DSP_SetParameters(h, BASS_FX_DSPFX_LPF, &lpf));
        if (i % 10 == 5) {
            ASSERT_TRUE(BASS_FX_DSP_Remove(h, BASS_FX_DSPFX_REVERB));
        }
        if (i % 10 == 9) {
            ASSERT_TRUE(BASS_FX_DSP_Set(h, BASS_FX_DSPFX_REVERB, 1));
        }
        usleep(2000);
    }
    EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_EQ(BASS_FX_CountEffects(), 13u);
    ASSERT_TRUE(BASS_StreamFree(h));
    EXPECT_EQ(BASS_FX_CountEffects(), 0u);
    BASS_Free();
}

namespace {
// A DSP run ahead of the effects that hands them samples that are not numbers, once.
void poisonOnce(HDSP, DWORD, float *buffer, DWORD frames, DWORD chans, DWORD, void *user) {
    auto *left = static_cast<std::atomic<int> *>(user);
    if (left->load() > 0) {
        --*left;
        for (DWORD i = 0; i < frames * chans; ++i)
            buffer[i] = i % 2 ? std::nanf("") : INFINITY;
    }
}
} // namespace

TEST_F(Fx, NoEffectEmitsNanWhateverItsSettingsOrInput) {
    // A huge band centred just below half the rate, then samples that are not numbers: the
    // output stays finite, and with sane values set again the equalizer filters as before.
    const Signal in = sine(1000, 0.25, 1.0);
    const Signal ref = dry(in);
    std::atomic<int> poison{1};
    Stream s(dir_, in);
    ASSERT_NE(BASS_ChannelSetDSP(s.handle(), poisonOnce, &poison, 10), 0u);
    for (int dsp : kTwelve)
        ASSERT_TRUE(BASS_FX_DSP_Set(s.handle(), dsp, 1));
    ASSERT_TRUE(BASS_FX_DSP_Set(s.handle(), BASS_FX_DSPFX_PEAKEQ, 0));
    for (int b = 0; b < 3; ++b) {
        BASS_FX_DSPPEAKEQ wide{b, 44100, 1e9f, 0.0f, 22049.0f - float(b), 15.0f};
        ASSERT_TRUE(BASS_FX_DSP_SetParameters(s.handle(), BASS_FX_DSPFX_PEAKEQ, &wide));
    }
    BASS_FX_DSPPEAKEQ back{};
    back.lBand = 0;
    ASSERT_TRUE(BASS_FX_DSP_GetParameters(s.handle(), BASS_FX_DSPFX_PEAKEQ, &back));
    EXPECT_LE(back.fBandwidth, 10.0f) << "clamped to its documented range";
    s.pull(8192);
    EXPECT_EQ(poison.load(), 0);
    for (int dsp : kTwelve)
        ASSERT_TRUE(BASS_FX_DSP_Remove(s.handle(), dsp));
    for (int b = 0; b < 3; ++b)
        setBand(s.handle(), b, 44100, 1000, b == 0 ? -12.0f : 0.0f);
    const Signal out = s.pull();
    ASSERT_GT(out.frames(), 22050u);
    const auto tail = std::vector<float>(out.data.end() - 22050 * 2, out.data.end());
    const auto refTail = std::vector<float>(ref.data.end() - 22050 * 2, ref.data.end());
    EXPECT_NEAR(toDb(rms(tail, 0, tail.size()) / rms(refTail, 0, refTail.size())), -12.0, 0.5);
}

TEST_F(Fx, FreeingChannelsWhileTheirEffectsRunIsSafe) {
    // Channels are freed while their effects run, on decode-only channels (pulled on another
    // thread) and on played ones (the decode-ahead thread), while a third thread keeps making
    // the effects library release the state of channels that are gone. Run under ASan or TSan
    // (MIRVANE_TSAN) this is what shows a use after free.
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
    const fs::path p = dir_.file("stress.wav");
    writeWav(p, noise(4.0, 0.5));
    std::atomic<bool> stop{false};
    std::thread purger([&] {
        while (!stop.load())
            BASS_FX_CountEffects();
    });
    for (int round = 0; round < 40; ++round) {
        const DWORD dec = BASS_StreamCreateFile(FALSE, p.c_str(), 0, 0, BASS_STREAM_DECODE);
        const DWORD played = BASS_StreamCreateFile(FALSE, p.c_str(), 0, 0, 0);
        ASSERT_NE(dec, 0u);
        ASSERT_NE(played, 0u);
        for (DWORD h : {dec, played}) {
            for (int dsp : {BASS_FX_DSPFX_LPF, BASS_FX_DSPFX_ECHO, BASS_FX_DSPFX_REVERB})
                ASSERT_TRUE(BASS_FX_DSP_Set(h, dsp, 1));
            ASSERT_TRUE(BASS_FX_DSP_Set(h, BASS_FX_DSPFX_PEAKEQ, 0));
            setBand(h, 0, 44100, 1000, 6);
        }
        ASSERT_TRUE(BASS_ChannelPlay(played, FALSE));
        std::atomic<bool> started{false};
        std::thread puller([&] {
            std::vector<std::int16_t> buf(512);
            while (BASS_ChannelGetData(dec, buf.data(), DWORD(buf.size() * 2)) != DWORD(-1))
                started = true;
        });
        while (!started.load())
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::microseconds(300 * (round % 5)));
        EXPECT_TRUE(BASS_StreamFree(dec));
        EXPECT_TRUE(BASS_StreamFree(played));
        puller.join();
    }
    stop = true;
    purger.join();
    EXPECT_EQ(BASS_FX_CountEffects(), 0u);
    BASS_Free();
}
