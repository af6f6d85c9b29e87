// The effects as the player runs them: a 44.1 kHz stereo file played by the engine (SDL2's
// dummy driver, real time), the equalizer window and the "DSP effects" page created as the
// program creates them, every box ticked and the equalizer on.
//
// 1. Cost: two probe DSPs bracket the whole chain on the channel (one runs before everything,
//    one after everything) and add up the decode thread's own CPU time between them, so the
//    figure is what the effects, the equalizer and their fades cost, on the thread that pays
//    it, whatever else the shared machine runs. Reported as a share of one core.
// 2. Reaction to a slider: a 1 kHz tone plays with the equalizer flat; vsEQmid is moved to
//    the bottom (+10 dB). The probe after the chain notes when the first louder block was
//    made (the chain's reaction) and where that block lies in the track compared with what
//    was being heard at the moment of the move (when it is heard).
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <vector>

#include "bass.h"
#include "controls/bitmap_slider.h"
#include "effects/dsp_effects_page.h"
#include "effects/equalizer_window.h"
#include "playback/engine.h"

namespace {

constexpr int kRate = 44100;

void WriteTone(const QString &path, double seconds, double hz, double amp) {
    std::ofstream f(path.toStdString(), std::ios::binary);
    auto u32 = [&](std::uint32_t v) { f.write(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { f.write(reinterpret_cast<const char *>(&v), 2); };
    const auto frames = static_cast<std::uint32_t>(seconds * kRate);
    f.write("RIFF", 4);
    u32(36 + frames * 4);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(2);
    u32(kRate);
    u32(kRate * 4);
    u16(4);
    u16(16);
    f.write("data", 4);
    u32(frames * 4);
    for (std::uint32_t i = 0; i < frames; ++i) {
        // A tone plus a little noise-like second partial, so filters have work in every band.
        const double v = amp * std::sin(2 * M_PI * hz * i / kRate) +
                         0.05 * std::sin(2 * M_PI * 7919.0 * i / kRate + std::sin(i * 0.001));
        const auto q = static_cast<std::int16_t>(std::lround(v * 32767));
        f.write(reinterpret_cast<const char *>(&q), 2);
        f.write(reinterpret_cast<const char *>(&q), 2);
    }
}

double ThreadCpu() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Probe {
    double started = 0;          // decode thread only
    std::atomic<double> busy{0}; // CPU seconds inside the chain
    std::atomic<std::uint64_t> frames{0};
    // Reaction: the first block after `armed` whose peak exceeds `threshold`.
    std::atomic<bool> armed{false};
    float threshold = 1;
    std::atomic<double> reactedAt{0};
    std::atomic<std::uint64_t> reactedFrame{0};
};

void Before(HDSP, DWORD, float *, DWORD, DWORD, DWORD, void *user) {
    static_cast<Probe *>(user)->started = ThreadCpu();
}

void After(HDSP, DWORD, float *buf, DWORD frames, DWORD chans, DWORD, void *user) {
    auto *p = static_cast<Probe *>(user);
    p->busy = p->busy + (ThreadCpu() - p->started);
    if (p->armed && p->reactedAt == 0) {
        float peak = 0;
        for (DWORD i = 0; i < frames * chans; ++i)
            peak = std::max(peak, std::abs(buf[i]));
        if (peak > p->threshold) {
            p->reactedAt = Now();
            p->reactedFrame = p->frames.load();
        }
    }
    p->frames += frames;
}

void Run(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
}

struct Player {
    explicit Player(const QString &file) {
        engine.StartAudioLibrary(BASS_GetVersion(), [](const QString &) {});
        engine.SetVolume(100);
        engine.Rows().append(mirvane::PlaylistRow{"bench", file});
    }
    ~Player() { BASS_Free(); }
    mirvane::PlaybackEngine engine;
    EqualizerWindow window{engine};
    DspEffectsPage page{engine};
};

// Share of one core spent in the chain while `seconds` of the file play.
double ChainCost(const QString &file, int seconds, bool effects) {
    Player p(file);
    if (effects) {
        for (QCheckBox *box : p.page.Boxes)
            box->click();
        if (!p.window.chkEqualizer->isChecked()) // the stored state of an earlier run
            p.window.chkEqualizer->click();
    }
    p.engine.PlayEntry(0);
    Probe probe;
    const DWORD ch = p.engine.CurrentChannel();
    BASS_ChannelSetDSP(ch, &Before, &probe, 100);
    BASS_ChannelSetDSP(ch, &After, &probe, -100);
    Run(seconds * 1000);
    const double busy = probe.busy;
    const double audio = double(probe.frames) / kRate;
    BASS_Free();
    return audio > 0 ? busy / audio : -1;
}

void SliderReaction(const QString &file, const QString &capture) {
    // Played on the disk driver, so what is heard can be read back.
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", capture.toUtf8());
    QWORD heard = 0;
    double made = -1;
    {
        Player p(file);
        for (BitmapSlider *s : p.window.Sliders)
            s->setValue(10); // flat
        if (!p.window.chkEqualizer->isChecked())
            p.window.chkEqualizer->click();
        p.engine.PlayEntry(0);
        Probe probe;
        probe.threshold = 0.4f; // tone 0.2 (+ 0.05): +10 dB makes it 0.68
        const DWORD ch = p.engine.CurrentChannel();
        BASS_ChannelSetDSP(ch, &Before, &probe, 100);
        BASS_ChannelSetDSP(ch, &After, &probe, -100);
        Run(2000);
        heard = BASS_ChannelGetPosition(ch);
        const double movedAt = Now();
        probe.armed = true;
        p.window.Sliders[3]->setValue(0);
        Run(1500);
        if (probe.reactedAt != 0)
            made = (probe.reactedAt - movedAt) * 1000;
    }
    qputenv("SDL_AUDIODRIVER", "dummy");
    std::vector<float> samples;
    {
        std::ifstream raw(capture.toStdString(), std::ios::binary);
        float v[2];
        while (raw.read(reinterpret_cast<char *>(v), sizeof v))
            samples.push_back(v[0]);
    }
    std::size_t start = 0;
    while (start < samples.size() && std::abs(samples[start]) < 2e-4f)
        ++start;
    const std::size_t movedFrame = start + std::size_t(heard / 4);
    std::size_t louder = movedFrame;
    while (louder < samples.size() && std::abs(samples[louder]) < 0.4f)
        ++louder;
    std::printf("slider to sound: the chain makes louder sound %.1f ms after the move; it is "
                "heard %.0f ms after the move\n",
                made, double(louder - movedFrame) * 1000.0 / kRate);
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    qputenv("SDL_AUDIODRIVER", "dummy");
    QTemporaryDir dir;
    qputenv("MIRVANE_SETTINGS", dir.filePath("s.conf").toUtf8());
    const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 10;
    const QString file = dir.filePath("tone.wav");
    WriteTone(file, seconds + 5, 1000, 0.2);

    const double dry = ChainCost(file, seconds, false);
    const double wet = ChainCost(file, seconds, true);
    std::printf("chain, nothing on:          %.3f%% of one core\n", 100 * dry);
    std::printf("chain, 12 effects + eq on:  %.3f%% of one core (goal < 3%%)\n", 100 * wet);
    SliderReaction(file, dir.filePath("out.raw"));
    return 0;
}
