#pragma once
// Helpers of the player tests: the application with the program's error rule, a whole program
// started in a temporary program folder with its own settings file and recorded dialogs, and
// small audio files made on the spot.

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "app/player_window.h"
#include "app/startup.h"
#include "common/dialogs.h"
#include "common/paths.h"
#include "playback/engine.h"
#include "playback/playlist_window.h"

namespace player_test {

inline mirvane::Application &App() {
    static int argc = 1;
    static char name[] = "player_test";
    static char *argv[] = {name, nullptr};
    // Never destroyed: at exit Qt's own globals may already be gone, and destroying the
    // application after them crashes.
    static mirvane::Application *app = [] {
        auto *a = new mirvane::Application(argc, argv);
        a->setQuitOnLastWindowClosed(false);
        return a;
    }();
    return *app;
}

// A silent 16-bit mono WAV of the given length (8000 frames a second, so lengths in tenths of
// a second are exact).
inline void WriteWav(const QString &path, double seconds, int rate = 8000) {
    const quint32 frames = static_cast<quint32>(seconds * rate + 0.5);
    const quint32 bytes = frames * 2;
    QByteArray out;
    const auto u32 = [&out](quint32 v) {
        for (int i = 0; i < 4; ++i)
            out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    const auto u16 = [&out](quint16 v) {
        out.append(static_cast<char>(v & 0xFF));
        out.append(static_cast<char>(v >> 8));
    };
    out.append("RIFF");
    u32(36 + bytes);
    out.append("WAVEfmt ");
    u32(16);
    u16(1); // PCM
    u16(1); // mono
    u32(static_cast<quint32>(rate));
    u32(static_cast<quint32>(rate) * 2);
    u16(2);  // block align
    u16(16); // bits
    out.append("data");
    u32(bytes);
    out.append(QByteArray(static_cast<qsizetype>(bytes), '\0'));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(out);
}

inline void WriteText(const QString &path, const QByteArray &text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

inline QByteArray ReadAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QString ShortModule() {
    return QStringLiteral(MIRVANE_TEST_DATA "/player/short.mod");
}

// Runs events until `done` holds or the time is up; true when it held.
inline bool WaitFor(const std::function<bool()> &done, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

// A program folder of its own, a settings file of its own and recorded dialogs.
class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        ASSERT_TRUE(home.isValid());
        qputenv("MIRVANE_HOME", home.path().toUtf8());
        qputenv("MIRVANE_SETTINGS", (home.path() + "/settings.conf").toUtf8());
    }
    void TearDown() override {
        program.reset();
        qunsetenv("MIRVANE_HOME");
        qunsetenv("MIRVANE_SETTINGS");
    }

    QString Path(const QString &name) const { return home.path() + "/" + name; }
    // The raw command line the program gets for `file` ("" for none).
    static QString CommandLine(const QString &file) {
        QString line = '"' + QCoreApplication::applicationFilePath() + '"';
        return file.isEmpty() ? line : line + ' ' + file;
    }
    void Start(const QString &file = {}, DWORD (*version)() = &BASS_GetVersion) {
        mirvane::StartOptions options;
        options.commandLine = CommandLine(file);
        options.getAudioVersion = version;
        program = mirvane::StartProgram(options);
    }
    // An automatic playlist of the given rows (caption, file).
    void WriteAutomaticPlaylist(const std::vector<std::pair<QString, QString>> &rows) {
        QByteArray text = "#EXTM3U\r\n";
        for (const auto &[caption, file] : rows) {
            text += "#EXTINF:1," + caption.toUtf8() + "\r\n" + file.toUtf8() + "\r\n";
        }
        WriteText(Path("playlist.m3u"), text);
    }
    // The shipped Skins.ini and skin folders, copied into the program folder.
    void CopySkins() {
        const QString from = QStringLiteral(MIRVANE_SOURCE_DIR "/data");
        QFile::copy(from + "/Skins.ini", Path("Skins.ini"));
        QDirIterator it(from + "/Skins", QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString target = Path(file.mid(from.size() + 1));
            QDir().mkpath(QFileInfo(target).absolutePath());
            QFile::copy(file, target);
        }
    }
    PlayerWindow &Player() { return *program->player; }
    PlaylistWindow &List() { return *program->playlist; }
    mirvane::PlaybackEngine &TheEngine() { return *program->engine; }

    QTemporaryDir home;
    mirvane::RecordingDialogs dialogs;
    std::unique_ptr<mirvane::Program> program;
};

} // namespace player_test
