// Reading a long automatic playlist, as start-up does: the first read in a fresh process, which
// is what a user waits for. Usage: m3u_read_bench [FILE]; without FILE a 100,000-line list of
// 50,000 rows is written to a temporary folder first.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "playback/m3u.h"

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QString file = argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath("long.m3u");
    if (argc <= 1) {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly)) {
            return 1;
        }
        out.write("#EXTM3U\r\n");
        for (int i = 0; i < 50000; ++i) {
            out.write(QStringLiteral("#EXTINF:%1,%2. Some Artist - A Song Title %2\r\n"
                                     "/home/user/Music/Some Artist/Album/%2 A Song Title.mp3\r\n")
                          .arg(180 + i % 120)
                          .arg(i + 1)
                          .toUtf8());
        }
    }
    QElapsedTimer clock;
    clock.start();
    const auto rows = mirvane::m3u::ReadPlaylistFile(file);
    const double first = clock.nsecsElapsed() / 1e6;
    clock.restart();
    const auto again = mirvane::m3u::ReadPlaylistFile(file);
    const double second = clock.nsecsElapsed() / 1e6;
    std::printf("ReadPlaylistFile, %zu rows: first read %.1f ms, second %.1f ms\n", rows.size(),
                first, second);
    return rows.size() == again.size() ? 0 : 1;
}
