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

    QProcess player;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MIRVANE_HOME", home.path());
    env.insert("MIRVANE_SETTINGS", home.filePath("settings.conf"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SDL_AUDIODRIVER", "dummy");
    player.setProcessEnvironment(env);
    player.start(exe, {});
    ASSERT_TRUE(player.waitForStarted(10000));
    // Give start-up time to read the list and enter the event loop.
    QThread::msleep(1500);

    // One player per user: the second start gives its file to the first and ends.
    const QString second = QString(MIRVANE_TEST_DATA) + "/audio/wav_u8_mono_22050.wav";
    QProcess again;
    again.setProcessEnvironment(env);
    again.start(exe, {second});
    ASSERT_TRUE(again.waitForFinished(20000)) << "the second start did not end";
    EXPECT_EQ(again.exitCode(), 0);
    QThread::msleep(500);

    ::kill(static_cast<pid_t>(player.processId()), SIGTERM);
    ASSERT_TRUE(player.waitForFinished(20000)) << "the program did not end on SIGTERM";
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);

    const QByteArray written = ReadAll(list);
    EXPECT_FALSE(written.contains("Gone row")) << written.constData();
    EXPECT_TRUE(written.contains(",1. Kept row\r\n" + wav.toUtf8())) << written.constData();
    EXPECT_TRUE(written.contains(second.toUtf8())) << written.constData();
}

} // namespace
