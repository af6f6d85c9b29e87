#pragma once
// Shared by the visualisation tests: the offscreen application, scoped environment values, a
// recording fed from a file through SDL2's disk driver, and plugin folders.

#include "bass_vis.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace vistest {

inline QApplication &App() {
    static int argc = 1;
    static char name[] = "vis_test";
    static char *argv[] = {name, nullptr};
    // Never deleted: the pages' windows may outlive a test's scope until exit.
    static QApplication *app = new QApplication(argc, argv);
    return *app;
}

class ScopedEnv {
  public:
    ScopedEnv(const char *name, const std::string &value) : name_(name) {
        if (const char *old = std::getenv(name))
            old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char *name_;
    std::optional<std::string> old_;
};

// Lets the event loop run for ms milliseconds (timers fire).
inline void RunFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        App().processEvents(QEventLoop::AllEvents, 5);
}

// Lets the event loop run until done() holds or ms pass; returns done().
template <typename Done> bool RunUntil(Done done, int ms = 3000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        App().processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// Writes seconds of a 16-bit stereo 44.1 kHz sine of hz at half scale, raw, for the disk
// driver's capture (SDL_DISKAUDIOFILEIN).
inline QString WriteSineRaw(const QString &path, double hz, double seconds) {
    const int frames = int(44100 * seconds);
    QByteArray raw(frames * 4, 0);
    auto *s = reinterpret_cast<int16_t *>(raw.data());
    for (int i = 0; i < frames; ++i)
        s[2 * i] = s[2 * i + 1] = int16_t(16384 * std::sin(2 * M_PI * hz * i / 44100.0));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(raw);
    return path;
}

// The sound of a file through the disk driver, for the lifetime of the object.
class DiskCapture {
  public:
    explicit DiskCapture(const QString &raw)
        : driver_("SDL_AUDIODRIVER", "disk"), in_("SDL_DISKAUDIOFILEIN", raw.toStdString()),
          out_("SDL_DISKAUDIOFILE", "/dev/null") {}

  private:
    ScopedEnv driver_, in_, out_;
};

// Panel plugins in the helper process (true) or in this one.
inline void UseHelper(bool on) {
    BASS_VIS_SetHelper(on ? VIS_HELPER : "");
}

inline QString PluginDir() {
    return QStringLiteral(VIS_PLUGIN_DIR);
}
inline QString BadPluginDir() {
    return QStringLiteral(VIS_BAD_PLUGIN_DIR);
}
inline QString SpectrumPlugin() {
    return PluginDir() + "/spectrum_peaks.svp";
}
inline QString ScopePlugin() {
    return PluginDir() + "/scope_trails.svp";
}
inline QString ModuleFile() {
    return PluginDir() + "/vis_mirvane.so";
}

// Copies file into dir (made as needed) and returns the copy's path.
inline QString CopyInto(const QString &file, const QString &dir, const QString &name = {}) {
    QDir().mkpath(dir);
    const QString to = dir + "/" + (name.isEmpty() ? QFileInfo(file).fileName() : name);
    QFile::remove(to);
    QFile::copy(file, to);
    return to;
}

inline void WriteBytes(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}

// How many pixels differ from the top-left corner's colour.
inline int PixelsUnlike(const uint32_t *px, int w, int h, int pitch, uint32_t like) {
    int n = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            n += (px[y * pitch + x] & 0xFFFFFF) != (like & 0xFFFFFF);
    return n;
}

} // namespace vistest
