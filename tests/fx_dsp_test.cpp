// The effects' signal processing measured without the audio library: generated signals are
// fed straight into the effect classes, block by block as the DSP hook would.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <thread>

#include "dsp/effects.h"
#include "dsp/handover.h"
#include "dsp/peak_eq.h"
#include "fx_support.h"

using namespace mirvane::fx;
using namespace fxtest;

// Counts the allocations of the calling thread while switched on, so a test can show that the
// processing path allocates nothing.
namespace {
thread_local bool t_counting = false;
thread_local int t_allocations = 0;
} // namespace

// The replacements pair malloc with free; GCC cannot tell once it inlines them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void *operator new(std::size_t n) {
    if (t_counting)
        ++t_allocations;
    if (void *p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept {
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop

namespace {

void run(Effect &e, Signal &s, std::size_t block = 1024) {
    for (std::size_t f = 0; f < s.frames(); f += block)
        e.process(s.data.data() + f * s.chans, std::min(block, s.frames() - f));
}

std::unique_ptr<Effect> make(int number, unsigned rate, unsigned chans) {
    auto e = makeEffect(number, rate, chans);
    if (number == kPeakEq) {
        // Six bands at full boost and cut, alternating.
        auto *eq = static_cast<PeakEq *>(e.get());
        const float centres[] = {80, 125, 310, 1000, 8000, 14000};
        for (int b = 0; b < 6; ++b)
            EXPECT_TRUE(eq->setBand({b, rate, 2.5f, 0, centres[b], b % 2 ? 15.0f : -15.0f}));
    }
    return e;
}

constexpr int kAllNumbers[] = {kSwap,   kRotate,   kEcho,   kFlanger, kPeakEq, kReverb, kLowPass,
                               kCutter, kFlanger2, kDynAmp, kAutoWah, kEcho2,  kEcho21};

} // namespace

// --- hand-over ----------------------------------------------------------------------------

TEST(TripleBuffer, ReaderGetsNewestRecordOnce) {
    struct P {
        int a, b;
    };
    TripleBuffer<P> box(P{0, 0});
    P out{};
    EXPECT_FALSE(box.read(out));
    box.write({1, 1});
    box.write({2, 2});
    ASSERT_TRUE(box.read(out));
    EXPECT_EQ(out.a, 2);
    EXPECT_FALSE(box.read(out));
}

TEST(TripleBuffer, ConcurrentReaderNeverSeesTornOrOlderRecord) {
    struct P {
        int a, b;
    };
    TripleBuffer<P> box(P{0, 0});
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 1; i <= 200000; ++i)
            box.write({i, -i});
        done = true;
    });
    int last = 0;
    P out{};
    while (!done.load()) {
        if (box.read(out)) {
            ASSERT_EQ(out.a, -out.b);
            ASSERT_GT(out.a, last);
            last = out.a;
        }
    }
    writer.join();
    if (box.read(out))
        last = out.a;
    EXPECT_EQ(last, 200000);
}

namespace {
struct Counted {
    static inline std::atomic<int> alive{0};
    int value;
    Counted *retiredNext = nullptr;
    explicit Counted(int v) : value(v) { ++alive; }
    ~Counted() { --alive; }
};
} // namespace

TEST(ObjectHandover, UnreadAndRetiredObjectsAreDeletedByTheControlSide) {
    {
        ObjectHandover<Counted> h;
        h.publish(new Counted(1));
        h.publish(new Counted(2)); // replaces 1 before the reader saw it
        EXPECT_EQ(Counted::alive, 1);
        Counted *got = h.take();
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(got->value, 2);
        EXPECT_EQ(h.take(), nullptr);
        h.retire(got);
        EXPECT_EQ(Counted::alive, 1);
        h.collect();
        EXPECT_EQ(Counted::alive, 0);
        h.publish(new Counted(3));
    }
    EXPECT_EQ(Counted::alive, 0);
}

TEST(ObjectHandover, ConcurrentPublishAndTakeLoseNothing) {
    {
        ObjectHandover<Counted> h;
        std::atomic<bool> done{false};
        std::thread reader([&] {
            Counted *cur = nullptr;
            while (!done.load()) {
                if (Counted *n = h.take()) {
                    if (cur) {
                        EXPECT_GT(n->value, cur->value);
                        h.retire(cur);
                    }
                    cur = n;
                }
            }
            if (cur)
                h.retire(cur);
        });
        for (int i = 0; i < 20000; ++i)
            h.publish(new Counted(i));
        done = true;
        reader.join();
    }
    EXPECT_EQ(Counted::alive, 0);
}

// --- equalizer ----------------------------------------------------------------------------

TEST(PeakEqDsp, ZeroGainBandIsBitExactAndBoostIsMeasured) {
    PeakEq eq(44100, 2);
    ASSERT_TRUE(eq.setBand({0, 44100, 2.5f, 0, 1000, 0}));
    const Signal in = noise(0.2, 0.5);
    Signal out = in;
    run(eq, out);
    EXPECT_EQ(out.data, in.data);

    ASSERT_TRUE(eq.setBand({0, 44100, 2.5f, 0, 1000, 10}));
    Signal tone = sine(1000, 0.1, 0.5);
    run(eq, tone);
    EXPECT_NEAR(levelDbAt(tone.channel(0), 44100, 1000, 0.2, 0.25) - toDb(0.1), 10.0, 0.1);

    // Back to 0 dB: once the filter's memory has died away the output is the input again.
    ASSERT_TRUE(eq.setBand({0, 44100, 2.5f, 0, 1000, 0}));
    Signal settle = noise(0.3, 0.5, 44100, 2, 3);
    run(eq, settle);
    Signal again = noise(0.2, 0.5, 44100, 2, 4);
    const Signal ref = again;
    run(eq, again);
    EXPECT_EQ(again.data, ref.data);
}

TEST(PeakEqDsp, GainChangeGlidesWithoutClick) {
    PeakEq eq(44100, 1);
    ASSERT_TRUE(eq.setBand({0, 44100, 2.5f, 0, 80, -15}));
    Signal s = sine(80, 0.5, 1.0, 44100, 1);
    const float smooth = largestSecondDifference(s.channel(0), 0, s.frames());
    for (std::size_t f = 0, k = 0; f < s.frames(); f += 512, ++k) {
        if (k % 8 == 4) {
            ASSERT_TRUE(eq.setBand({0, 44100, 2.5f, 0, 80, k % 16 == 4 ? 15.0f : -15.0f}));
        }
        eq.process(s.data.data() + f, std::min<std::size_t>(512, s.frames() - f));
    }
    // A step in the output would give a second difference of the order of the signal itself.
    EXPECT_LT(largestSecondDifference(s.channel(0), 100, s.frames()), 12 * smooth + 1e-3f);
    EXPECT_TRUE(allFinite(s.data));
}

TEST(PeakEqDsp, BandsAreKeptByIndexAndRejectedWhenUnusable) {
    PeakEq eq(22050, 2);
    EXPECT_FALSE(eq.setBand({-1, 0, 2.5f, 0, 100, 3}));
    EXPECT_FALSE(eq.setBand({0, 0, 0, 0, 100, 3}));
    EXPECT_FALSE(eq.setBand({0, 0, 2.5f, 0, 0, 3}));
    EXPECT_FALSE(eq.setBand({0, 0, 2.5f, 0, 100, NAN}));
    ASSERT_TRUE(eq.setBand({7, 44100, 1.0f, 0, 500, 40}));
    EqBand b;
    b.band = 7;
    ASSERT_TRUE(eq.getBand(b));
    EXPECT_EQ(b.gain, 15.0f);
    EXPECT_EQ(b.centre, 500.0f);
    EXPECT_EQ(b.freq, 22050u);
    b.band = 3;
    EXPECT_FALSE(eq.getBand(b));
}

TEST(PeakEqDsp, BandAboveHalfTheRateLeavesTheSoundAlone) {
    PeakEq eq(22050, 2);
    ASSERT_TRUE(eq.setBand({5, 22050, 2.5f, 0, 14000, 10}));
    const Signal in = noise(0.1, 0.5, 22050);
    Signal out = in;
    run(eq, out);
    EXPECT_EQ(out.data, in.data);
}

// --- every effect -------------------------------------------------------------------------

class EveryEffect : public ::testing::TestWithParam<int> {};

TEST_P(EveryEffect, SilenceInSilenceOutAtEveryRateAndWidth) {
    for (unsigned rate : {8000u, 44100u, 96000u}) {
        for (unsigned chans : {1u, 2u, 6u}) {
            auto e = make(GetParam(), rate, chans);
            Signal s = silence(0.3, rate, chans);
            run(*e, s, 333);
            EXPECT_TRUE(allFinite(s.data));
            EXPECT_EQ(peak(s.data), 0.0f) << rate << " Hz, " << chans << " channels";
        }
    }
}

TEST_P(EveryEffect, FullScaleSquareStaysFiniteAndBounded) {
    for (unsigned rate : {8000u, 44100u, 96000u}) {
        for (unsigned chans : {1u, 2u}) {
            auto e = make(GetParam(), rate, chans);
            Signal s = square(55, 1.0, rate, chans);
            run(*e, s, 4096);
            ASSERT_TRUE(allFinite(s.data)) << rate << " Hz, " << chans << " channels";
            // Feedback is bounded below 1, so nothing grows without limit.
            EXPECT_LT(peak(s.data), 16.0f);
        }
    }
}

TEST_P(EveryEffect, OneSampleBlocksAndBigBlocksAgree) {
    auto a = make(GetParam(), 44100, 2);
    auto b = make(GetParam(), 44100, 2);
    Signal x = noise(0.25, 0.5);
    Signal y = x;
    run(*a, x, 1);
    run(*b, y, 8192);
    ASSERT_EQ(x.data.size(), y.data.size());
    // The equalizer and the low-pass glide per block; with fixed settings both paths are one
    // filter, so only rounding may differ.
    for (std::size_t i = 0; i < x.data.size(); ++i)
        ASSERT_NEAR(x.data[i], y.data[i], 1e-4) << i;
}

INSTANTIATE_TEST_SUITE_P(Numbers, EveryEffect, ::testing::ValuesIn(kAllNumbers),
                         [](const auto &info) { return "Dsp" + std::to_string(info.param); });

TEST_P(EveryEffect, ProcessingAllocatesNothingEvenAcrossParameterChanges) {
    auto e = make(GetParam(), 44100, 2);
    Signal s = noise(0.2, 0.5);
    int allocations = 0;
    for (std::size_t f = 0, k = 0; f < s.frames(); f += 512, ++k) {
        if (k % 4 == 2) {
            // Control side, allowed to allocate: new settings for the next block.
            if (auto *eq = dynamic_cast<PeakEq *>(e.get()))
                eq->setBand({int(k % 9), 44100, 2.5f, 0, 200.0f + 100 * k, float(k % 7) - 3});
            else if (auto *echo = dynamic_cast<Echo *>(e.get()))
                echo->setParams({50.0f + 10 * k, 0.5f, 0.5f, 1, 0});
            else if (auto *lp = dynamic_cast<LowPass *>(e.get()))
                lp->setParams({300.0f + 100 * k});
        }
        t_counting = true;
        t_allocations = 0;
        e->process(s.data.data() + f * 2, std::min<std::size_t>(512, s.frames() - f));
        allocations += t_allocations;
        t_counting = false;
    }
    EXPECT_EQ(allocations, 0);
}

TEST(EffectParams, NotANumberIsRefusedAndRangesAreClamped) {
    Echo echo(44100, 2, echoDefaults(kEcho), false);
    EXPECT_FALSE(echo.setParams({NAN, 0.5f, 0.5f, 1, 0}));
    EXPECT_EQ(echo.params().delayMs, 250.0f);
    ASSERT_TRUE(echo.setParams({5000, 3, 0.5f, 1, 0}));
    EXPECT_EQ(echo.params().delayMs, kMaxEchoDelayMs);
    EXPECT_EQ(echo.params().feedback, 0.95f);
    LowPass lp(8000, 1);
    ASSERT_TRUE(lp.setParams({20000}));
    EXPECT_EQ(lp.params().cutoff, 3600.0f);
}

TEST(EffectParams, ExtremeSettingsStayFinite) {
    Signal s = square(100, 1.0);
    Echo echo(44100, 2, echoDefaults(kEcho21), false);
    ASSERT_TRUE(echo.setParams({1, 0.95f, 2, 2, 20}));
    Flanger fl(44100, 2, flangerDefaults(kFlanger), false);
    ASSERT_TRUE(fl.setParams({0.05f, 12.5f, 10, 0.9f, 2, 2, 360}));
    Reverb rv(44100, 2);
    ASSERT_TRUE(rv.setParams({20, 2, 2, 0, 0}));
    AutoWah aw(44100, 2);
    ASSERT_TRUE(aw.setParams({20, 20, 20000, 30, 2, 2}));
    for (Effect *e : std::initializer_list<Effect *>{&echo, &fl, &rv, &aw})
        run(*e, s, 777);
    EXPECT_TRUE(allFinite(s.data));
}

TEST(EffectParams, EchoDelayChangeCrossFadesWithoutClick) {
    Echo echo(44100, 1, {100, 0.5f, 1.0f, 0.0f, 0}, false);
    Signal s = sine(440, 0.5, 1.0, 44100, 1);
    const std::size_t half = s.frames() / 2;
    echo.process(s.data.data(), half);
    ASSERT_TRUE(echo.setParams({137, 0.5f, 1.0f, 0.0f, 0}));
    echo.process(s.data.data() + half, s.frames() - half);
    const std::vector<float> out = s.channel(0);
    const float steady = largestSecondDifference(out, half - 8000, half);
    EXPECT_LT(largestSecondDifference(out, half, half + 4000), 2 * steady);
}

TEST(EffectParams, ReverbPreDelayAndFlangerDelayChangesDoNotClick) {
    Reverb rv(44100, 1);
    Flanger fl(44100, 1, flangerDefaults(kFlanger), false);
    for (int which = 0; which < 2; ++which) {
        Effect &e = which ? static_cast<Effect &>(fl) : rv;
        Signal s = sine(440, 0.5, 1.0, 44100, 1);
        const std::size_t half = s.frames() / 2;
        e.process(s.data.data(), half);
        if (which)
            ASSERT_TRUE(fl.setParams({6, 2, 0.2f, 0.5f, 0.6f, 0.4f, 0}));
        else
            ASSERT_TRUE(rv.setParams({1.8f, 1.0f, 0.0f, 113, 5000}));
        e.process(s.data.data() + half, s.frames() - half);
        // A smooth 440 Hz wave of peak p has second differences up to p * w^2; a step would
        // be of the order of p itself.
        const std::vector<float> out = s.channel(0);
        const std::vector<float> after(out.begin() + half, out.begin() + half + 4000);
        const double w = 2 * kPi * 440 / 44100;
        // The flanger's gliding delay shifts the pitch a little while it moves.
        const double margin = which ? 2.0 : 1.3;
        EXPECT_LT(largestSecondDifference(after, 0, after.size()), margin * w * w * peak(after))
            << which;
    }
}

TEST(EffectParams, ReverbTailStartsAfterPreDelayAndShortestComb) {
    Reverb rv(44100, 2);
    ASSERT_TRUE(rv.setParams({1.8f, 1.0f, 0.0f, 20, 5000}));
    Signal s = silence(0.2);
    s.at(0, 0) = s.at(0, 1) = 1.0f;
    run(rv, s);
    const auto l = s.channel(0), r = s.channel(1);
    // 20 ms + 25.31 ms on the left; the right's combs are 0.52 ms longer.
    const auto first = [](const std::vector<float> &x) {
        // Sample 0 is the dry impulse.
        return std::find_if(x.begin() + 1, x.end(), [](float v) { return v != 0; }) - x.begin();
    };
    EXPECT_NEAR(first(l), (20 + 25.31) * 44.1, 2);
    EXPECT_NEAR(first(r), (20 + 25.31 + 0.52) * 44.1, 2);
}

TEST(EffectParams, LowPassCutOffJumpGlidesWithoutClick) {
    LowPass lp(44100, 1);
    Signal s = sine(300, 0.5, 0.5, 44100, 1);
    const std::size_t half = s.frames() / 2;
    lp.process(s.data.data(), half);
    ASSERT_TRUE(lp.setParams({100}));
    lp.process(s.data.data() + half, 512);
    lp.process(s.data.data() + half + 512, s.frames() - half - 512);
    const std::vector<float> out = s.channel(0);
    const float steady = largestSecondDifference(out, half - 4000, half);
    EXPECT_LT(largestSecondDifference(out, half, s.frames()), 1.5f * steady);
}
