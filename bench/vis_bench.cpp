// Visualisation plugins.
//
//   vis_bench [seconds]   CPU of the whole process (user + system, % of one core) while the
//                         Sonique window draws "Mirvane Spectrum Peaks" at 40 fps (25 ms) in
//                         242 x 283 (goal: under 3 %), then while the window is hidden (goal:
//                         nothing from the host), and the time per frame of every sample plugin.
//   vis_bench --show PLUGIN [seconds]
//                         opens the window of PLUGIN (spectrum, scope, or bars, dots, fire for
//                         the three modules) and keeps it open, for screenshots.
//   vis_bench --pages [seconds]   the two configuration pages, scanned, for screenshots.
//
// Panel plugins run in mirvane-vis-helper when MIRVANE_VIS_HELPER names it (this program does
// not lie beside it); the figures are then this process's alone, the helper's time per frame
// is the plugin's (the lines "time per frame").
//
// The sound is the recording of the SDL2 driver in use: with SDL_AUDIODRIVER=disk and
// SDL_DISKAUDIOFILEIN=music.raw (16-bit stereo 44.1 kHz) the plugins show that music.

#include "bass_vis.h"
#include "vis/sonique_page.h"
#include "vis/sonique_window.h"
#include "vis/vis_canvas.h"
#include "vis/winamp_page.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

using namespace mirvane::vis;

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for ms, sleeping between events as the program does.
void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU share of one core over ms of running the event loop.
double Share(int ms) {
    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    RunFor(ms);
    return 100.0 * (CpuSeconds() - cpu0) / (double(wall.nsecsElapsed()) / 1e9);
}

QString ProgramDir() {
    return QStringLiteral(VIS_PLUGIN_DIR "/../");
}

int SelectPanel(SoniquePage &page, const char *name) {
    page.JvXPButton5Click();
    for (int i = 0; i < page.ListPlugs->topLevelItemCount(); ++i)
        if (page.ListPlugs->topLevelItem(i)->text(0).contains(name, Qt::CaseInsensitive)) {
            page.ListPlugs->setCurrentItem(page.ListPlugs->topLevelItem(i));
            return i;
        }
    return -1;
}

double MicrosPerPanelFrame(const QString &file) {
    const HVIS h = BASS_SONIQUEVIS_CreateVis(file.toUtf8(), "", 0, 242, 264);
    std::vector<uint32_t> px(242 * 264);
    BASS_VIS_CANVAS c{px.data(), 242, 264, 242};
    QElapsedTimer t;
    t.start();
    const int frames = 400;
    for (int i = 0; i < frames; ++i)
        BASS_SONIQUEVIS_Render(h, 0, &c);
    const double us = double(t.nsecsElapsed()) / 1e3 / frames;
    BASS_SONIQUEVIS_Free(h);
    return us;
}

double MicrosPerModuleFrame(const QString &file, int module) {
    const HVIS h = BASS_WINAMPVIS_CreateVis(file.toUtf8(), module, 0);
    QElapsedTimer t;
    t.start();
    const int frames = 400;
    for (int i = 0; i < frames; ++i)
        BASS_WINAMPVIS_Render(h, 0);
    const double us = double(t.nsecsElapsed()) / 1e3 / frames;
    BASS_WINAMPVIS_Free(h);
    return us;
}

int Show(const char *which, int seconds) {
    SoniquePage sonique(ProgramDir());
    WinampPage winamp(ProgramDir());
    if (SelectPanel(sonique, which) >= 0) {
        sonique.button3Click();
    } else {
        winamp.JvXPButton1Click();
        const auto found = winamp.waplugz->findItems(which, Qt::MatchContains);
        if (found.isEmpty()) {
            std::fprintf(stderr, "no plugin named like %s\n", which);
            return 1;
        }
        winamp.waplugz->setCurrentItem(found.first());
        winamp.JvXPButton6Click();
        winamp.visWindow->move(40, 40);
        winamp.visWindow->resize(winamp.visWindow->size() * 2);
    }
    RunFor(seconds * 1000);
    return 0;
}

// Both pages, scanned, side by side, for a look at their layout.
int Pages(int seconds) {
    QWidget host;
    host.resize(540, 175);
    host.move(20, 20);
    SoniquePage sonique(ProgramDir(), &host);
    WinampPage winamp(ProgramDir(), &host);
    sonique.move(8, 8);
    winamp.move(274, 8);
    sonique.JvXPButton5Click();
    winamp.JvXPButton1Click();
    sonique.ListPlugs->setCurrentItem(sonique.ListPlugs->topLevelItem(1));
    winamp.waplugz->setCurrentRow(0);
    host.show();
    RunFor(seconds * 1000);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "--pages") == 0)
        return Pages(argc >= 3 ? std::atoi(argv[2]) : 30);
    if (argc >= 3 && std::strcmp(argv[1], "--show") == 0)
        return Show(argv[2], argc >= 4 ? std::atoi(argv[3]) : 30);
    const int seconds = argc >= 2 ? std::atoi(argv[1]) : 10;

    SoniquePage page(ProgramDir());
    if (SelectPanel(page, "spectrum") < 0) {
        std::fprintf(stderr, "the sample plugins are not in %s\n", qPrintable(ProgramDir()));
        return 1;
    }
    page.button3Click();
    SoniqueWindow *w = page.Window();
    RunFor(1000); // settle
    int frames0 = w->FramesDrawn();
    const double shown = Share(seconds * 1000);
    const double fps = double(w->FramesDrawn() - frames0) / seconds;
    std::printf("spectrum window 242 x 283, timer 25 ms: %.1f fps, whole process %.2f %% of a "
                "core (goal < 3 %%)\n",
                fps, shown);
    w->hide();
    frames0 = w->FramesDrawn();
    const double hidden = Share(seconds * 1000);
    std::printf("window hidden: %d frames drawn, whole process %.2f %% of a core (the host: "
                "timer off)\n",
                w->FramesDrawn() - frames0, hidden);
    page.button4Click();
    const double idle = Share(seconds * 1000);
    std::printf("after Stop (no recording): whole process %.2f %% of a core\n", idle);

    const QString dir = QStringLiteral(VIS_PLUGIN_DIR);
    std::printf("time per frame, 242 x 264: spectrum %.0f us, scope %.0f us\n",
                MicrosPerPanelFrame(dir + "/spectrum_peaks.svp"),
                MicrosPerPanelFrame(dir + "/scope_trails.svp"));
    std::printf("time per frame, modules: bars %.0f us, dots %.0f us, fire %.0f us\n",
                MicrosPerModuleFrame(dir + "/vis_mirvane.so", 0),
                MicrosPerModuleFrame(dir + "/vis_mirvane.so", 1),
                MicrosPerModuleFrame(dir + "/vis_mirvane.so", 2));
    return 0;
}
