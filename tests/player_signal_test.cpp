// The real program as a process: a second start hands its file to the running player, and a
// termination signal still runs the close step.
#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

namespace {

QByteArray ReadAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(RealProgram, SecondStartHandsOverItsFileAndSignalStillWritesTheList) {
    const QString buildDir = qEnvironmentVariable("MIRVANE_BUILD_DIR");
    const QString exe = buildDir + "/mirvane";
    if (buildDir.isEmpty() || !QFile::exists(exe)) {
        GTEST_SKIP() << "the mirvane executable is not built beside this test";
    }
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString wav = QString(MIRVANE_TEST_DATA) + "/audio/wav_s16_stereo_44100.wav";
    ASSERT_TRUE(QFile::exists(wav));
    // The close step leaves out rows whose file is gone: seeing that row go proves the list
    // was written.
    const QString list = home.filePath("playlist.m3u");
    {
        QFile f(list);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#EXTM3U\r\n#EXTINF:1,1. Kept row\r\n" + wav.toUtf8() +
                "\r\n#EXTINF:5,2. Gone row\r\n" + home.filePath("gone.wav").toUtf8() + "\r\n");
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MIRVANE_HOME", home.path());
    env.insert("MIRVANE_SETTINGS", home.filePath("settings.conf"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SDL_AUDIODRIVER", "dummy");

    // One player per user, also for two started at the same moment: whichever comes second
    // gives its file (or nothing) to the other and ends.
    const QString second = QString(MIRVANE_TEST_DATA) + "/audio/wav_u8_mono_22050.wav";
    QProcess first, again;
    first.setProcessEnvironment(env);
    again.setProcessEnvironment(env);
    first.start(exe, {});
    again.start(exe, {second});
    ASSERT_TRUE(first.waitForStarted(10000));
    ASSERT_TRUE(again.waitForStarted(10000));
    QElapsedTimer clock;
    clock.start();
    while (first.state() != QProcess::NotRunning && again.state() != QProcess::NotRunning &&
           clock.elapsed() < 20000) {
        first.waitForFinished(50);
        again.waitForFinished(50);
    }
    QProcess &ended = first.state() == QProcess::NotRunning ? first : again;
    QProcess &player = &ended == &first ? again : first;
    ASSERT_EQ(ended.state(), QProcess::NotRunning) << "neither start handed over";
    EXPECT_EQ(ended.exitCode(), 0);
    QThread::msleep(1500);
    ASSERT_EQ(player.state(), QProcess::Running) << "the player that took over ended too";

    // A later start hands over to the player that runs.
    QProcess later;
    later.setProcessEnvironment(env);
    later.start(exe, {second});
    ASSERT_TRUE(later.waitForFinished(20000)) << "the later start did not end";
    EXPECT_EQ(later.exitCode(), 0);
    QThread::msleep(500);

    ::kill(static_cast<pid_t>(player.processId()), SIGTERM);
    ASSERT_TRUE(player.waitForFinished(20000)) << "the program did not end on SIGTERM";
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);

    const QByteArray written = ReadAll(list);
    EXPECT_FALSE(written.contains("Gone row")) << written.constData();
    // Its number depends on which start ran: a file named at start becomes row one.
    EXPECT_TRUE(written.contains(". Kept row\r\n" + wav.toUtf8())) << written.constData();
    EXPECT_TRUE(written.contains(second.toUtf8())) << written.constData();
}

} // namespace
