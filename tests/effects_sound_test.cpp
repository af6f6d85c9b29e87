// The effects heard: a file played by the engine through the real libraries on SDL2's disk
// driver, the boxes and sliders worked while it plays, and the written output measured.
//
// Ticking an effect on is heard after the decode-ahead (about half a second); later changes
// after the effects' lead, set long here (250 ms) so that a busy machine never leaves gaps that
// the measures would take for the effects' doing. Each test leaves every state on for well
// over a second and measures well inside those stretches.
#include <QCheckBox>
#include <QFile>

#include "controls/bitmap_slider.h"
#include "effects/dsp_effects_page.h"
#include "effects/effect_chain.h"
#include "effects/equalizer_window.h"
#include "effects_support.h"

using namespace effects_test;

namespace {

// Plays one generated file on the disk driver; Finish gives what was written, from the
// track's first sample on.
class DiskPlayer {
  public:
    explicit DiskPlayer(const Stereo &signal)
        : settings_("MIRVANE_SETTINGS", dir_.filePath("s.conf")),
          driver_("SDL_AUDIODRIVER", "disk"),
          target_("SDL_DISKAUDIOFILE", dir_.filePath("out.raw")) {
        App();
        WriteWav(dir_.filePath("in.wav"), signal);
        engine = std::make_unique<mirvane::PlaybackEngine>();
        engine->StartAudioLibrary(BASS_GetVersion(), [](const QString &) {});
        BASS_SetConfig(BASS_CONFIG_DSP_LEAD, 250);
        engine->SetVolume(100);
        window = std::make_unique<EqualizerWindow>(*engine);
        page = std::make_unique<DspEffectsPage>(*engine);
        engine->Rows().append(mirvane::PlaylistRow{"t", dir_.filePath("in.wav")});
    }
    ~DiskPlayer() {
        BASS_Free();
        page.reset();
        window.reset();
    }
    void Play() { engine->PlayEntry(0); }
    QCheckBox *Box(const char *name) { return page->findChild<QCheckBox *>(name); }
    BitmapSlider *Slider(const char *name) { return window->findChild<BitmapSlider *>(name); }

    Stereo Finish() {
        BASS_Free(); // closes the device and its file
        QFile f(dir_.filePath("out.raw"));
        Stereo out;
        if (!f.open(QIODevice::ReadOnly))
            return out;
        const QByteArray bytes = f.readAll();
        const auto *v = reinterpret_cast<const float *>(bytes.constData());
        const std::size_t frames = std::size_t(bytes.size()) / 8;
        std::size_t start = 0;
        while (start < frames && std::abs(v[2 * start]) < 2e-4f &&
               std::abs(v[2 * start + 1]) < 2e-4f)
            ++start;
        start = start > 0 ? start - 1 : 0; // the signal's first sample is 0
        for (std::size_t i = start; i < frames; ++i) {
            out.left.push_back(v[2 * i]);
            out.right.push_back(v[2 * i + 1]);
        }
        return out;
    }

    std::unique_ptr<mirvane::PlaybackEngine> engine;
    std::unique_ptr<EqualizerWindow> window;
    std::unique_ptr<DspEffectsPage> page;

  private:
    QTemporaryDir dir_;
    ScopedEnv settings_, driver_, target_;
};

// Level at hz of x around `at` seconds (a 8192-sample FFT), in dB.
double LevelAt(const std::vector<float> &x, double hz, double at) {
    return Db(FftAmplitude(x, hz, At(at), 8192));
}

} // namespace

TEST(HeardEffect, EchoAddsADelayedCopyOnlyWhileTicked) {
    // A 30 ms 1 kHz burst every second.
    Stereo s = Tones(8.0, 0, 0, 0, 0);
    for (int k = 0; k < 8; ++k) {
        const std::size_t from = At(0.05 + k);
        const std::size_t n = At(0.03);
        for (std::size_t i = 0; i < n; ++i) {
            const double w = 0.5 - 0.5 * std::cos(2 * kPi * double(i) / double(n));
            s.left[from + i] = s.right[from + i] =
                float(0.5 * w * std::sin(2 * kPi * 1000 * double(i) / kRate));
        }
    }
    // A lone sample at the start marks where the track begins in the output.
    s.left[1] = s.right[1] = 0.3f;
    DiskPlayer p(s);
    p.Play();
    Wait(1500);
    p.Box("checkbox2")->click();
    Wait(3100);
    p.Box("checkbox2")->click();
    Wait(3600);
    const Stereo out = p.Finish();
    ASSERT_GE(out.frames(), At(7.5));

    const auto echoDb = [&](int k) {
        return RmsDb(out.left, At(0.05 + k + 0.25), At(0.03)) -
               RmsDb(out.left, At(0.05 + k), At(0.03));
    };
    EXPECT_LT(echoDb(0), -40);
    EXPECT_LT(echoDb(1), -40);
    for (int k : {3, 4}) {
        // The first repeat: wet 0.5, so 6 dB down, and a copy of the burst 250 ms later.
        EXPECT_NEAR(echoDb(k), -6.0, 1.0) << k;
        double best = -1;
        std::size_t bestLag = 0;
        for (std::size_t lag = At(0.2); lag < At(0.3); ++lag) {
            double c = 0;
            for (std::size_t i = At(0.05 + k); i < At(0.08 + k); ++i)
                c += double(out.left[i]) * out.left[i + lag];
            if (c > best) {
                best = c;
                bestLag = lag;
            }
        }
        EXPECT_NEAR(double(bestLag), double(At(0.25)), 2.0) << k;
    }
    EXPECT_LT(echoDb(6), -40); // off again: no repeat, and no tail left over
    EXPECT_LT(echoDb(7), -40);
}

TEST(HeardEffect, LowPassTakesAwayWhatLiesAboveItsCutOffOnlyWhileTicked) {
    Stereo s = Tones(6.0, 200, 0.3, 200, 0.3);
    const Stereo high = Tones(6.0, 5000, 0.3, 5000, 0.3);
    for (std::size_t i = 0; i < s.frames(); ++i) {
        s.left[i] += high.left[i];
        s.right[i] += high.right[i];
    }
    DiskPlayer p(s);
    p.Play();
    Wait(1000);
    p.Box("vrcheckled4")->click();
    Wait(2200);
    p.Box("vrcheckled4")->click();
    Wait(2800);
    const Stereo out = p.Finish();
    ASSERT_GE(out.frames(), At(5.5));
    const double dryHigh = LevelAt(out.left, 5000, 0.3), dryLow = LevelAt(out.left, 200, 0.3);
    EXPECT_NEAR(dryHigh, Db(0.3), 1.5);
    for (double at : {2.2, 2.6}) {
        EXPECT_LT(LevelAt(out.left, 5000, at), dryHigh - 40) << at;
        EXPECT_LT(LevelAt(out.right, 5000, at), dryHigh - 40) << at;
        EXPECT_NEAR(LevelAt(out.left, 200, at), dryLow, 0.5) << at;
    }
    EXPECT_NEAR(LevelAt(out.left, 5000, 5.0), dryHigh, 0.3);
    EXPECT_NEAR(LevelAt(out.left, 200, 5.0), dryLow, 0.3);
}

TEST(HeardEffect, SwapPutsLeftOnTheRightAndBackWhenUnticked) {
    DiskPlayer p(Tones(6.0, 440, 0.4, 660, 0.4));
    p.Play();
    Wait(1000);
    p.Box("vrcheckled2")->click();
    Wait(2200);
    p.Box("vrcheckled2")->click();
    Wait(2800);
    const Stereo out = p.Finish();
    ASSERT_GE(out.frames(), At(5.5));
    // Each tone compared with itself: the two fall differently between FFT bins.
    const double dry = LevelAt(out.left, 440, 0.3), dry660 = LevelAt(out.right, 660, 0.3);
    EXPECT_NEAR(dry, Db(0.4), 1.5);
    EXPECT_LT(LevelAt(out.left, 660, 0.3), dry - 60);
    for (double at : {2.2, 2.6}) {
        EXPECT_NEAR(LevelAt(out.left, 660, at), dry660, 0.2) << at;
        EXPECT_NEAR(LevelAt(out.right, 440, at), dry, 0.2) << at;
        EXPECT_LT(LevelAt(out.left, 440, at), dry - 60) << at;
        EXPECT_LT(LevelAt(out.right, 660, at), dry - 60) << at;
    }
    EXPECT_NEAR(LevelAt(out.left, 440, 5.0), dry, 0.2);
    EXPECT_LT(LevelAt(out.left, 660, 5.0), dry - 60);
}

TEST(HeardEffect, EqualizerSliderAtTheBottomRaisesItsBandByTenDecibels) {
    DiskPlayer p(Tones(7.0, 1000, 0.1, 1000, 0.1));
    // Every band flat (value 10) but 1 kHz at the bottom (+10 dB).
    for (const char *name : {"vsEQdbass", "vsEQBass", "vsEQ310", "vsEQtreble", "vsEQ14"})
        p.Slider(name)->setValue(10);
    p.Slider("vsEQmid")->setValue(0);
    p.Play();
    Wait(1000);
    p.window->chkEqualizer->click();
    Wait(2000);
    p.Slider("vsEQmid")->setValue(7); // +3 dB
    Wait(1500);
    p.window->chkEqualizer->click();
    Wait(2300);
    const Stereo out = p.Finish();
    ASSERT_GE(out.frames(), At(6.5));
    const double dry = LevelAt(out.left, 1000, 0.3);
    EXPECT_NEAR(dry, Db(0.1), 1.5);
    EXPECT_NEAR(LevelAt(out.left, 1000, 2.3) - dry, 10.0, 0.5);
    EXPECT_NEAR(LevelAt(out.right, 1000, 2.3) - dry, 10.0, 0.5);
    EXPECT_NEAR(LevelAt(out.left, 1000, 3.9) - dry, 3.0, 0.5);
    EXPECT_NEAR(LevelAt(out.left, 1000, 6.2), dry, 0.2);
}

TEST(HeardEffect, SwitchingEffectsAndMovingBandsNeverJumps) {
    // Different tones left and right: swapping them abruptly would step by up to 0.8.
    DiskPlayer p(Tones(9.0, 220, 0.4, 330, 0.4));
    for (BitmapSlider *s : p.window->Sliders)
        s->setValue(10); // flat: the equalizer only ever cuts below
    p.Play();
    Wait(1000);
    p.Box("vrcheckled2")->click(); // swap on
    Wait(900);
    p.Box("vrcheckled4")->click(); // low pass on, swap stays
    Wait(700);
    p.Box("vrcheckled2")->click(); // swap off
    Wait(700);
    p.Box("vrcheckled4")->click(); // low pass off
    p.window->chkEqualizer->click();
    p.Slider("vsEQ310")->setValue(19); // -9 dB at 310 Hz
    Wait(900);
    p.Slider("vsEQBass")->setValue(19);
    p.Slider("vsEQ310")->setValue(12);
    Wait(700);
    p.window->chkEqualizer->click();
    Wait(4200); // a busy machine's sound thread writes a little slower than the clock
    const Stereo out = p.Finish();
    ASSERT_GE(out.frames(), At(8.5));

    // The switches were heard: swapped, then cut at 310 Hz.
    const double dry = LevelAt(out.right, 330, 0.5);
    // Between the swap (heard by 1.35 s) and the low pass (clicked at 1.9 s).
    EXPECT_NEAR(LevelAt(out.left, 330, 1.55), dry, 0.5);
    EXPECT_LT(LevelAt(out.right, 330, 4.6), dry - 4);

    const float dryStep =
        std::max(LargestStep(out.left, 0, At(1.2)), LargestStep(out.right, 0, At(1.2)));
    EXPECT_NEAR(dryStep, 0.4 * 2 * kPi * 330 / kRate, 0.001);
    const std::size_t end = At(8.5);
    EXPECT_LE(LargestStep(out.left, 0, end), dryStep * 1.05f);
    EXPECT_LE(LargestStep(out.right, 0, end), dryStep * 1.05f);
}
