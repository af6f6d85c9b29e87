// The equalizer window and the "DSP effects" page as the user meets them: their controls, the
// stored equalizer values, and what the engine's channels get attached (dummy output driver).
#include <QCheckBox>
#include <QLabel>
#include <QPainter>

#include "bass_fx.h"
#include "controls/bitmap_slider.h"
#include "effects/dsp_effects_page.h"
#include "effects/effect_chain.h"
#include "effects/equalizer_window.h"
#include "effects_support.h"
#include "prefs/settings.h"

using namespace effects_test;
namespace settings = mirvane::settings;

namespace {

// An engine on the dummy driver (real time, no sound card) with its own settings file.
class Player : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        ASSERT_TRUE(dir_.isValid());
        settingsEnv_ = std::make_unique<ScopedEnv>("MIRVANE_SETTINGS", dir_.filePath("s.conf"));
    }
    void TearDown() override {
        page_.reset();
        window_.reset();
        BASS_Free();
        engine_.reset();
    }
    void Start() {
        engine_ = std::make_unique<mirvane::PlaybackEngine>();
        engine_->StartAudioLibrary(BASS_GetVersion(), [](const QString &) {});
        window_ = std::make_unique<EqualizerWindow>(*engine_);
        page_ = std::make_unique<DspEffectsPage>(*engine_);
    }
    QString File(const QString &name, double seconds = 20) {
        const QString path = dir_.filePath(name);
        WriteWav(path, Tones(seconds, 440, 0.3, 660, 0.3));
        return path;
    }
    void Play(const QString &path) {
        engine_->Rows().append(mirvane::PlaylistRow{"t", path});
        engine_->PlayEntry(engine_->RowCount() - 1);
    }
    mirvane::EffectChain &Chain() { return mirvane::EffectChain::Of(*engine_); }
    bool WaitIdle() {
        QElapsedTimer t;
        t.start();
        while (!Chain().Idle() && t.elapsed() < 3000)
            Wait(10);
        return Chain().Idle();
    }
    QCheckBox *Box(const char *name) { return page_->findChild<QCheckBox *>(name); }
    BitmapSlider *Slider(const char *name) { return window_->findChild<BitmapSlider *>(name); }
    float BandGain(int band) {
        BASS_FX_DSPPEAKEQ r{};
        r.lBand = band;
        if (!BASS_FX_DSP_GetParameters(engine_->CurrentChannel(), BASS_FX_DSPFX_PEAKEQ, &r))
            return -100;
        return r.fGain;
    }

    QTemporaryDir dir_;
    std::unique_ptr<ScopedEnv> settingsEnv_;
    std::unique_ptr<mirvane::PlaybackEngine> engine_;
    std::unique_ptr<EqualizerWindow> window_;
    std::unique_ptr<DspEffectsPage> page_;
};

// The next widget in the tab chain that is not a part of w (a slider's thumb is its child).
QWidget *NextTabStop(QWidget *w) {
    QWidget *next = w->nextInFocusChain();
    while (next != w && w->isAncestorOf(next))
        next = next->nextInFocusChain();
    return next;
}

QImage Render(QWidget *w) {
    QImage img(w->size(), QImage::Format_RGB32);
    img.fill(Qt::magenta);
    w->render(&img);
    return img;
}

} // namespace

TEST_F(Player, EqualizerWindowHasSixBandSlidersOnAndClose) {
    Start();
    EqualizerWindow &w = *window_;
    EXPECT_EQ(w.objectName(), "eq2");
    EXPECT_EQ(w.windowTitle(), "Mirvane Eq");
    EXPECT_EQ(w.size(), QSize(255, 119));
    const char *names[] = {"vsEQdbass", "vsEQBass", "vsEQ310", "vsEQmid", "vsEQtreble", "vsEQ14"};
    const char *hints[] = {"80Hz", "125Hz", "310Hz", "1khz", "8Khz", "14Khz"};
    QWidget *previous = nullptr;
    for (int band = 0; band < 6; ++band) {
        BitmapSlider *s = Slider(names[band]);
        ASSERT_NE(s, nullptr) << names[band];
        EXPECT_EQ(s->toolTip(), hints[band]);
        EXPECT_EQ(s->geometry(), QRect(8 + 32 * band, 16, 25, 89));
        EXPECT_EQ(s->Orientation(), BitmapSlider::soVertical);
        EXPECT_EQ(s->MinValue(), 0);
        EXPECT_EQ(s->MaxValue(), 19);
        EXPECT_EQ(s->Value(), 8); // nothing stored: the design value
        EXPECT_EQ(s->Options().testFlag(BitmapSlider::soShowPoints), band != 0);
        EXPECT_EQ(s->Color(), QColor(Qt::black));
        if (previous) {
            EXPECT_EQ(NextTabStop(previous), s);
        }
        previous = s;
    }
    auto *on = w.findChild<QCheckBox *>("chkEqualizer");
    ASSERT_NE(on, nullptr);
    EXPECT_EQ(on->text(), "ON");
    EXPECT_EQ(on->geometry(), QRect(200, 32, 49, 17));
    EXPECT_FALSE(on->isChecked());
    EXPECT_EQ(NextTabStop(previous), on);
    auto *close = w.findChild<QLabel *>("Label2");
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->text(), "Close");
    EXPECT_EQ(close->pos(), QPoint(227, 0));

    // The ticks stand out from the sliders' black background, and the 80 Hz slider has none.
    const QImage mid = Render(Slider("vsEQmid"));
    const int origin = Slider("vsEQmid")->TickOrigin();
    int lit = 0;
    for (int y = 0; y < 89; ++y)
        lit += qGray(mid.pixel(origin, y)) > 100;
    EXPECT_EQ(lit, 20);
    const QImage bass = Render(Slider("vsEQdbass"));
    for (int y = 0; y < 89; ++y)
        EXPECT_EQ(bass.pixel(origin, y), qRgb(0, 0, 0)) << y;

    // Stripes from dark blue-green at the top to dark red at the bottom.
    const QImage bg = Render(&w);
    EXPECT_EQ(bg.pixel(250, 20), qRgb(20, 32, 25));
    EXPECT_EQ(bg.pixel(250, 118), qRgb(118, 32, 25));

    w.show();
    close->setAttribute(Qt::WA_UnderMouse);
    w.Label2Click();
    EXPECT_FALSE(w.isVisible());
}

TEST_F(Player, StoredEqualizerValuesAreClampedOrResetAndChangesAreWrittenSoon) {
    settings::WriteBool("eqstatus", true);
    settings::WriteInteger("eq80", 25);     // above the range: the top
    settings::WriteInteger("eq125", -3);    // below: the bottom
    settings::WriteString("eq310", "loud"); // not a number: the design value
    settings::WriteInteger("eq1000", 0);    // eq8000 and eq14000 missing: the design value
    Start();
    EXPECT_TRUE(window_->chkEqualizer->isChecked());
    EXPECT_TRUE(Chain().EqualizerOn());
    const int expected[] = {19, 0, 8, 0, 8, 8};
    for (int band = 0; band < 6; ++band) {
        EXPECT_EQ(window_->Sliders[band]->Value(), expected[band]) << band;
        EXPECT_EQ(Chain().BandValue(band), expected[band]) << band;
    }

    // A change reaches the store half a second later, not at once.
    Slider("vsEQ14")->setValue(3);
    EXPECT_EQ(settings::ReadInteger("eq14000"), std::nullopt);
    Wait(EqualizerWindow::kSaveDelayMs + 300);
    EXPECT_EQ(settings::ReadInteger("eq14000"), 3);
    EXPECT_EQ(settings::ReadInteger("eq80"), 19); // every value is written, clamped
    EXPECT_EQ(settings::ReadInteger("eq310"), 8);
    window_->chkEqualizer->click();
    Wait(EqualizerWindow::kSaveDelayMs + 300);
    EXPECT_EQ(settings::ReadBool("eqstatus"), false);

    // And when the window goes.
    Slider("vsEQ310")->setValue(12);
    window_.reset();
    EXPECT_EQ(settings::ReadInteger("eq310"), 12);
}

TEST_F(Player, DspPageHasTwelveBoxesAtTheirPlaces) {
    Start();
    struct Row {
        const char *name, *caption, *handler;
        int x, y;
    };
    const Row rows[] = {
        {"checkbox1", "Rotate", "checkbox1Click", 24, 8},
        {"checkbox2", "Echo", "checkbox2Click", 24, 32},
        {"echo2", "Echo 2.0", "echo2Click", 24, 56},
        {"echo21", "Echo 2.1", "echo21Click", 24, 80},
        {"vrcheckled4", "Low Pass Filter", "vrcheckled4Click", 24, 104},
        {"awah", "AutoWah", "awahClick", 24, 126},
        {"damp", "Dyn. Amp", "dampClick", 128, 126},
        {"vrcheckled5", "Reverb", "vrcheckled5Click", 128, 104},
        {"vrcheckled3", "Cutter", "vrcheckled3Click", 128, 80},
        {"vrcheckled2", "Swap channels", "vrcheckled2Click", 128, 56},
        {"vrcheckled1", "Flanger v2", "vrcheckled1Click", 128, 32},
        {"checkbox3", "Flanger", "checkbox3Click", 128, 8},
    };
    QWidget *previous = nullptr;
    for (const Row &r : rows) {
        QCheckBox *b = Box(r.name);
        ASSERT_NE(b, nullptr) << r.name;
        EXPECT_EQ(b->text(), r.caption);
        EXPECT_EQ(b->pos(), QPoint(r.x, r.y));
        EXPECT_EQ(b->height(), 17);
        EXPECT_FALSE(b->isChecked());
        EXPECT_GE(page_->metaObject()->indexOfSlot((std::string(r.handler) + "()").c_str()), 0);
        if (previous) {
            EXPECT_EQ(NextTabStop(previous), b);
        }
        previous = b;
    }
}

TEST_F(Player, EveryNewChannelGetsTheEqualizerThenTheTickedEffectsInBoxOrder) {
    Start();
    // Ticked while nothing plays: kept for the next channel.
    Box("checkbox3")->click();   // Flanger, 3
    Box("vrcheckled2")->click(); // Swap channels, 0
    Box("checkbox2")->click();   // Echo, 2
    window_->chkEqualizer->click();
    Slider("vsEQmid")->setValue(0);
    Slider("vsEQ14")->setValue(19);
    EXPECT_TRUE(Chain().Attached().empty());

    Play(File("a.wav"));
    EXPECT_EQ(Chain().Attached(), (std::vector<int>{2, 0, 3, 5}));
    EXPECT_FLOAT_EQ(BandGain(3), 10.0f); // bottom: +10 dB
    EXPECT_FLOAT_EQ(BandGain(5), -9.0f); // top: -9 dB
    EXPECT_FLOAT_EQ(BandGain(0), 2.0f);  // design value 8: +2 dB
    Slider("vsEQ310")->setValue(13);
    EXPECT_FLOAT_EQ(BandGain(2), -3.0f);

    // The next track keeps what the boxes show.
    Play(File("b.wav"));
    EXPECT_EQ(Chain().Attached(), (std::vector<int>{2, 0, 3, 5}));
    EXPECT_FLOAT_EQ(BandGain(2), -3.0f);

    // Unticking fades the effect out, then it goes; the others come back in box order.
    Box("checkbox2")->click();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Chain().Attached(), (std::vector<int>{0, 3, 5}));
    Box("awah")->click(); // AutoWah, 12: between Echo and Swap in the table
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Chain().Attached(), (std::vector<int>{12, 0, 3, 5}));
    window_->chkEqualizer->click();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Chain().Attached(), (std::vector<int>{12, 0, 3}));
    EXPECT_EQ(BandGain(2), -100); // the equalizer is off the channel

    // Stopped: nothing to act on, nothing fails; the next start brings everything back.
    engine_->StopPlayback();
    Box("checkbox3")->click();
    EXPECT_TRUE(Chain().Attached().empty());
    Play(File("c.wav"));
    EXPECT_EQ(Chain().Attached(), (std::vector<int>{12, 0}));
}

// Not a check: with MIRVANE_EFFECTS_SHOW=<ms> the window and the page stay on screen that
// long, for a look (or a screenshot) on a real display.
TEST_F(Player, ShowWindowAndPageWhenAsked) {
    const int ms = qEnvironmentVariableIntValue("MIRVANE_EFFECTS_SHOW");
    if (ms <= 0)
        GTEST_SKIP() << "MIRVANE_EFFECTS_SHOW not set";
    Start();
    window_->move(20, 20);
    window_->show();
    Slider("vsEQdbass")->setValue(5);
    Slider("vsEQmid")->setValue(12);
    Slider("vsEQ14")->setValue(15);
    window_->chkEqualizer->setChecked(true);
    // The page on the configuration window's striped background.
    class Host : public QWidget {
        void paintEvent(QPaintEvent *) override {
            QPainter p(this);
            const int s = (height() + 205) / 256;
            for (int i = 0; i < 256; ++i)
                p.fillRect(0, i * s, width(), s, QColor(i, 32, 25));
        }
    } host;
    host.setWindowFlags(Qt::FramelessWindowHint);
    host.setGeometry(20, 200, DspEffectsPage::kWidth, DspEffectsPage::kHeight);
    page_->setParent(&host);
    page_->move(0, 0);
    Box("checkbox2")->setChecked(true);
    Box("vrcheckled2")->setChecked(true);
    host.show();
    Wait(ms);
    page_->setParent(nullptr);
}
