// Player benchmarks: start-up with a long automatic playlist, reading a long playlist,
// quitting with a long list, CPU while playing with the spectrum, memory with 10,000 rows.
// Start-up is timed twice: without a session bus, and with one (a private dbus-daemon), where
// the remote control joins the bus during start-up as it does on every desktop.
// Run from the build folder (it needs the skins beside the executable):
//   QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy ./bench/player_bench [startup]
// "startup" times start-up alone, with more runs.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

#include "app/player_window.h"
#include "app/startup.h"
#include "common/dialogs.h"
#include "playback/engine.h"
#include "playback/playlist_model.h"
#include "playback/playlist_window.h"
#include "private_bus.h"

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void WriteWav(const QString &path, double seconds) {
    const quint32 bytes = static_cast<quint32>(seconds * 8000) * 2;
    QByteArray out("RIFF");
    const auto u32 = [&out](quint32 x) { out.append(reinterpret_cast<const char *>(&x), 4); };
    const auto u16 = [&out](quint16 x) { out.append(reinterpret_cast<const char *>(&x), 2); };
    u32(36 + bytes);
    out.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(8000);
    u32(16000);
    u16(2);
    u16(16);
    out.append("data");
    u32(bytes);
    out.append(QByteArray(bytes, '\0'));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(out);
}

// A program folder with the build's skins and an automatic playlist of `rows` rows over
// `files` distinct small WAVs.
void Prepare(const QString &home, int rows, int files) {
    const QString build = QCoreApplication::applicationDirPath() + "/..";
    QFile::copy(build + "/Skins.ini", home + "/Skins.ini");
    QProcess::execute("cp", {"-r", build + "/Skins", home + "/Skins"});
    QDir().mkpath(home + "/music");
    for (int i = 0; i < files; ++i) {
        WriteWav(home + QString("/music/%1.wav").arg(i), 0.2);
    }
    QByteArray text = "#EXTM3U\r\n";
    for (int i = 0; i < rows; ++i) {
        text += "#EXTINF:-1," + QByteArray::number(i + 1) + ". Artist " + QByteArray::number(i) +
                " - Title of the song\r\n" +
                (home + QString("/music/%1.wav").arg(i % files)).toUtf8() + "\r\n";
    }
    QFile f(home + "/playlist.m3u");
    f.open(QIODevice::WriteOnly);
    f.write(text);
}

long RssKiB() {
    QFile f("/proc/self/status");
    f.open(QIODevice::ReadOnly);
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char **argv) {
    const bool startupOnly = argc > 1 && QByteArray(argv[1]) == "startup";
    const int runs = startupOnly ? 21 : 7;
    // Started before the application object, whose threads a fork should not copy.
    const desktop_test::PrivateBus &bus = desktop_test::PrivateBus::Instance();
    const QByteArray noBus = "unix:path=/nonexistent/mirvane-bench-bus";
    qputenv("DBUS_SESSION_BUS_ADDRESS", noBus);
    mirvane::Application app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    mirvane::RecordingDialogs dialogs;
    QTemporaryDir home;
    qputenv("MIRVANE_HOME", home.path().toUtf8());
    qputenv("MIRVANE_SETTINGS", (home.path() + "/settings.conf").toUtf8());
    mirvane::StartOptions options;
    options.commandLine = '"' + QCoreApplication::applicationFilePath() + '"';

    // 0. For comparison: start-up with an empty automatic playlist.
    Prepare(home.path(), 0, 0);
    {
        std::vector<double> empty;
        for (int run = 0; run < 5; ++run) {
            QElapsedTimer t;
            t.start();
            auto program = mirvane::StartProgram(options);
            QCoreApplication::processEvents();
            empty.push_back(t.nsecsElapsed() / 1e6);
            program.reset();
        }
        std::printf("start-up, empty list, to the player shown: median %.1f ms (of 5)\n",
                    Median(empty));
    }

    // 1. Start-up to the player shown, 10,000-row automatic playlist; then quitting. Wall
    // time and the process's CPU time (which a busy machine inflates less).
    Prepare(home.path(), 10000, 10000);
    const long rssBefore = RssKiB();
    long rssWith = 0;
    const auto startUp = [&](const char *label, bool withBus) {
        std::vector<double> start, cpu, quitFirst, quitAgain;
        for (int run = 0; run < runs; ++run) {
            const double cpu0 = CpuSeconds();
            QElapsedTimer t;
            t.start();
            auto program = mirvane::StartProgram(options);
            QCoreApplication::processEvents();
            start.push_back(t.nsecsElapsed() / 1e6);
            cpu.push_back((CpuSeconds() - cpu0) * 1e3);
            if (withBus != (program->mpris != nullptr)) {
                std::printf("  (the remote control %s)\n",
                            withBus ? "did not start" : "started without a bus");
            }
            rssWith = std::max(rssWith, RssKiB());
            // Quit: the close step writes the list; the lengths are known from the playlist
            // this program wrote, except on the very first run (the file had no numbers).
            t.restart();
            program->player->close();
            (quitFirst.empty() ? quitFirst : quitAgain).push_back(t.nsecsElapsed() / 1e6);
            program.reset();
        }
        std::printf("start-up, 10,000 rows, %s, to the player shown: median %.1f ms "
                    "(of %d; fastest %.1f ms), CPU median %.1f ms\n",
                    label, Median(start), runs, *std::min_element(start.begin(), start.end()),
                    Median(cpu));
        return std::pair{quitFirst, quitAgain};
    };
    const auto [quitFirst, quitAgain] = startUp("no session bus", false);
    if (bus.address().isEmpty()) {
        std::printf("start-up with a session bus: not run (%s)\n", qPrintable(bus.failure()));
    } else {
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
        startUp("session bus, remote control on it", true);
        qputenv("DBUS_SESSION_BUS_ADDRESS", noBus);
    }
    if (startupOnly) {
        return 0;
    }
    std::printf("quit, 10,000 rows never measured: %.1f ms\n", quitFirst[0]);
    std::printf("quit, 10,000 unchanged rows measured before: median %.1f ms (of %d)\n",
                Median(quitAgain), runs - 1);
    std::printf("resident memory: %ld KiB before, %ld KiB with 10,000 rows (+%ld KiB)\n", rssBefore,
                rssWith, rssWith - rssBefore);

    // 2. ReadPlaylist of a 100,000-line file (50,000 rows).
    {
        QByteArray text = "#EXTM3U\r\n";
        for (int i = 0; i < 50000; ++i) {
            text += "#EXTINF:100,Artist " + QByteArray::number(i) + " - A Title\r\n/music/" +
                    QByteArray::number(i) + ".mp3\r\n";
        }
        QFile f(home.path() + "/long.m3u");
        f.open(QIODevice::WriteOnly);
        f.write(text);
        f.close();
        QFile::remove(home.path() + "/playlist.m3u");
        std::vector<double> read;
        for (int run = 0; run < 5; ++run) {
            WriteWav(home.path() + "/x.wav", 0.1);
            QFile::remove(home.path() + "/playlist.m3u");
            QFile(home.path() + "/playlist.m3u").open(QIODevice::WriteOnly); // empty list
            auto program = mirvane::StartProgram(options);
            program->playlist->show();
            QCoreApplication::processEvents();
            QElapsedTimer t;
            t.start();
            program->playlist->ReadPlaylist(home.path() + "/long.m3u");
            QCoreApplication::processEvents();
            read.push_back(t.nsecsElapsed() / 1e6);
            QFile::remove(home.path() + "/playlist.m3u");
            program->playlist->Rows().clear();
            program.reset();
        }
        std::printf(
            "ReadPlaylist, 100,000 lines (50,000 rows, list shown): median %.1f ms (of 5)\n",
            Median(read));
    }

    // 3. CPU while playing an MP3 with the spectrum drawing every 33 ms.
    {
        const QString wav = home.path() + "/tone.wav";
        const QString mp3 = home.path() + "/tone.mp3";
        QProcess::execute("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "30",
                                  "pinknoise", "vol", "0.3"});
        QProcess::execute("lame", {"--quiet", "-b", "192", wav, mp3});
        QFile::remove(home.path() + "/playlist.m3u");
        QFile(home.path() + "/playlist.m3u").open(QIODevice::WriteOnly);
        mirvane::StartOptions play = options;
        play.commandLine += ' ' + mp3;
        auto program = mirvane::StartProgram(play);
        const bool spectrum = program->player->Skin().visual == "Spectrum";
        // Let it settle, then measure 10 s of playing.
        const auto runFor = [](int ms) {
            QEventLoop loop;
            QTimer::singleShot(ms, &loop, &QEventLoop::quit);
            loop.exec();
        };
        runFor(1000);
        const double cpu0 = CpuSeconds();
        QElapsedTimer t;
        t.start();
        runFor(10000);
        const double share = (CpuSeconds() - cpu0) / (t.elapsed() / 1000.0);
        std::printf("CPU playing a 192 kbit/s MP3%s: %.2f%% of one core (whole process)\n",
                    spectrum ? " with the spectrum every 33 ms" : " (no spectrum skin!)",
                    share * 100.0);
        program.reset();
    }

    // 4. Soak: 10,000 rapid Next presses through a real playlist of 200 short files.
    {
        Prepare(home.path(), 200, 200);
        auto program = mirvane::StartProgram(options);
        mirvane::PlaybackEngine &engine = *program->engine;
        const auto threads = [] {
            return QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
        };
        engine.SelectRow(0);
        engine.Play();
        QCoreApplication::processEvents();
        const long rss0 = RssKiB();
        const auto threads0 = threads();
        QElapsedTimer t;
        t.start();
        int playing = 0;
        for (int i = 0; i < 10000; ++i) {
            if (engine.SelectedRow() + 1 >= engine.RowCount()) {
                engine.SelectRow(0);
                engine.Play();
            } else {
                program->player->NextbtnClick();
            }
            if (i % 50 == 0) {
                QCoreApplication::processEvents();
            }
        }
        QCoreApplication::processEvents();
        const double ms = t.nsecsElapsed() / 1e6;
        for (int row = 0; row < engine.RowCount(); ++row) {
            playing += engine.Rows().stateIndex(row) == mirvane::PlaylistModel::kPlayingMark;
        }
        std::printf(
            "10,000 rapid Next: %.0f ms; %d row marked playing, channel %s; RSS %ld -> "
            "%ld KiB; threads %lld -> %lld\n",
            ms, playing,
            BASS_ChannelIsActive(engine.CurrentChannel()) == BASS_ACTIVE_PLAYING ? "playing"
                                                                                 : "NOT playing",
            rss0, RssKiB(), static_cast<long long>(threads0), static_cast<long long>(threads()));
        program.reset();
    }
    return 0;
}
