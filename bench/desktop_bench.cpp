// The remote control's cost: a client in another process asks the playing player for its
// Position 100 times a second over a private session bus. Measured as CPU time of the player's
// process (all its threads) and of the two threads that serve the bus (the GUI thread and the
// bus library's own thread), each minus the same window without the client; also the bus
// daemon's CPU for the record. Goal: the player's share below 0.1% of one core.
// Run from the build folder:
//   QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy ./bench/desktop_bench
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <vector>

#include "app/startup.h"
#include "desktop/mpris_service.h"
#include "playback/engine.h"
#include "private_bus.h"

namespace {

constexpr int kQueriesPerSecond = 100;
constexpr int kWindowSeconds = 6;
constexpr int kRounds = 3;

// The client: kQueriesPerSecond queries a second for `seconds`; prints how many were
// answered. "position" asks for the Position property; "ping" sends the bus's Peer.Ping,
// which the bus library answers on its own thread: the floor of any call into the player.
int RunClient(const QString &address, int seconds, const QByteArray &kind) {
    QDBusConnection bus = QDBusConnection::connectToBus(address, "bench-client");
    if (!bus.isConnected()) {
        std::fprintf(stderr, "client: no bus\n");
        return 1;
    }
    QDBusMessage get =
        QDBusMessage::createMethodCall("org.mpris.MediaPlayer2.mirvane", "/org/mpris/MediaPlayer2",
                                       "org.freedesktop.DBus.Properties", "Get");
    get << QString("org.mpris.MediaPlayer2.Player") << QString("Position");
    if (kind == "ping") {
        get = QDBusMessage::createMethodCall("org.mpris.MediaPlayer2.mirvane",
                                             "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Peer",
                                             "Ping");
    }
    QElapsedTimer clock;
    clock.start();
    int answered = 0;
    for (int i = 0; i < seconds * kQueriesPerSecond; ++i) {
        // Paced by the clock, not by the answers, so slow answers do not lower the rate.
        const qint64 due = qint64(i) * 1000 / kQueriesPerSecond;
        if (const qint64 wait = due - clock.elapsed(); wait > 0) {
            QThread::msleep(static_cast<unsigned long>(wait));
        }
        if (bus.call(get).type() == QDBusMessage::ReplyMessage) {
            ++answered;
        }
    }
    std::printf("%d\n", answered);
    return 0;
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Nanoseconds on the CPU from /proc/<pid>/task/<tid>/schedstat (exact, unlike the tick
// counts of stat).
double TaskCpuSeconds(const QString &task) {
    QFile f(task + "/schedstat");
    if (!f.open(QIODevice::ReadOnly)) {
        return 0.0;
    }
    return f.readAll().split(' ').value(0).toDouble() / 1e9;
}

// The GUI thread (gui) or the bus library's thread (!gui) of this process.
double ThreadCpuSeconds(bool gui) {
    const QString self = QString("/proc/%1/task").arg(QCoreApplication::applicationPid());
    double sum = 0.0;
    for (const QString &tid : QDir(self).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(self + "/" + tid + "/comm");
        comm.open(QIODevice::ReadOnly);
        const QByteArray name = comm.readAll().trimmed();
        const bool isGui = tid.toLongLong() == QCoreApplication::applicationPid();
        if (gui ? isGui : name == "QDBusConnection") {
            sum += TaskCpuSeconds(self + "/" + tid);
        }
    }
    return sum;
}

double DaemonCpuSeconds(pid_t pid) {
    return TaskCpuSeconds(QString("/proc/%1").arg(pid));
}

void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Sample {
    double process = 0, gui = 0, busThread = 0, daemon = 0, wall = 0;
};

Sample Measure(const std::function<void()> &during, pid_t daemon) {
    Sample s;
    QElapsedTimer clock;
    clock.start();
    const double p0 = ProcessCpuSeconds(), g0 = ThreadCpuSeconds(true),
                 b0 = ThreadCpuSeconds(false), d0 = DaemonCpuSeconds(daemon);
    during();
    s.process = ProcessCpuSeconds() - p0;
    s.gui = ThreadCpuSeconds(true) - g0;
    s.busThread = ThreadCpuSeconds(false) - b0;
    s.daemon = DaemonCpuSeconds(daemon) - d0;
    s.wall = clock.elapsed() / 1000.0;
    return s;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    if (argc >= 4 && QByteArray(argv[1]) == "--client") {
        QCoreApplication app(argc, argv);
        return RunClient(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt(),
                         argc >= 5 ? QByteArray(argv[4]) : QByteArray("position"));
    }
    const desktop_test::PrivateBus &bus = desktop_test::PrivateBus::Instance();
    if (bus.address().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(bus.failure()));
        return 1;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
    mirvane::Application app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QTemporaryDir home;
    qputenv("MIRVANE_HOME", home.path().toUtf8());
    qputenv("MIRVANE_SETTINGS", (home.path() + "/settings.conf").toUtf8());

    // A silent track long enough for every window.
    const QString track = home.path() + "/long.wav";
    if (QProcess::execute(
            "sox", {"-n", "-r", "22050", "-c", "2", "-b", "16", track, "trim", "0", "300"}) != 0) {
        std::fprintf(stderr, "sox could not make the track (Debian package sox)\n");
        return 1;
    }
    QFile list(home.path() + "/playlist.m3u");
    list.open(QIODevice::WriteOnly);
    list.write("#EXTM3U\r\n#EXTINF:300,1. Long\r\n" + track.toUtf8() + "\r\n");
    list.close();

    std::unique_ptr<mirvane::Program> program = mirvane::StartProgram({});
    if (!program->mpris) {
        std::fprintf(stderr, "the remote control did not start\n");
        return 1;
    }
    program->engine->PlayEntry(0);
    RunFor(1000);

    // Each round: a window without a client, then one with it; the figures are the
    // difference, in shares of one core.
    const auto run = [&](const char *kind) {
        std::vector<double> process, gui, busThread, daemon;
        for (int round = 0; round < kRounds; ++round) {
            const Sample idle = Measure([] { RunFor(kWindowSeconds * 1000); }, bus.pid());
            QProcess client;
            int answered = 0;
            const Sample busy = Measure(
                [&] {
                    client.start(QCoreApplication::applicationFilePath(),
                                 {"--client", bus.address(), QString::number(kWindowSeconds),
                                  QString::fromLatin1(kind)});
                    while (client.state() != QProcess::NotRunning) {
                        RunFor(20);
                    }
                    answered = client.readAllStandardOutput().trimmed().toInt();
                },
                bus.pid());
            const auto share = [&](double Sample::*field) {
                return busy.*field / busy.wall - idle.*field / idle.wall;
            };
            process.push_back(share(&Sample::process));
            gui.push_back(share(&Sample::gui));
            busThread.push_back(share(&Sample::busThread));
            daemon.push_back(share(&Sample::daemon));
            std::printf("  %s round %d: %d answers in %.2f s\n", kind, round + 1, answered,
                        busy.wall);
        }
        const double perQuery = Median(process) / kQueriesPerSecond;
        std::printf("%s, %d a second (median of %d rounds): player process %.3f%% of a core "
                    "(%.0f us a query): GUI thread %.3f%%, bus library thread %.3f%%; "
                    "bus daemon %.3f%%\n",
                    kind, kQueriesPerSecond, kRounds, 100 * Median(process), 1e6 * perQuery,
                    100 * Median(gui), 100 * Median(busThread), 100 * Median(daemon));
        return Median(process);
    };
    const double position = run("position");
    run("ping");
    std::printf("goal: Position queries below 0.1%% of a core: %s\n",
                position < 0.001 ? "met" : "NOT met");
    program.reset();
    return 0;
}
