// `cmake --install` into a temporary prefix: the files a desktop needs, valid by the desktop's
// own validators, and an installed program that reads its data from the prefix and writes its
// files under the user's XDG folders.
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <signal.h>

namespace {

QString BuildDir() {
    const QString set = qEnvironmentVariable("MIRVANE_BUILD_DIR");
    return set.isEmpty() ? QDir::currentPath() : set;
}

struct ToolRun {
    int exitCode = -1;
    QString output;
};

ToolRun RunTool(const QString &program, const QStringList &arguments) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    ToolRun r;
    if (!p.waitForStarted(10000)) {
        r.output = program + ": " + p.errorString();
        return r;
    }
    p.waitForFinished(120000);
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = QString::fromLocal8Bit(p.readAll());
    return r;
}

// The installed program's own listening socket appears in TMPDIR once start-up has finished
// and the player window is shown; a message box during start-up (a skin not found) would
// keep it from ever appearing.
bool WaitForSocket(const QString &tmpDir, QProcess &program, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs && program.state() == QProcess::Running) {
        if (!QDir(tmpDir).entryList({"mirvane-*"}, QDir::System | QDir::Files).isEmpty()) {
            return true;
        }
        QThread::msleep(20);
    }
    return false;
}

class Install : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        prefix = root.path() + "/prefix";
        const ToolRun r = RunTool(MIRVANE_CMAKE, {"--install", BuildDir(), "--prefix", prefix});
        ASSERT_EQ(r.exitCode, 0) << r.output.toStdString();
    }
    QString Installed(const QString &relative) const { return prefix + "/" + relative; }

    QTemporaryDir root;
    QString prefix;
};

TEST(InstallTools, ValidatorsArePresent) {
    // Without them the checks below could not run; deps.sh installs them.
    EXPECT_FALSE(QStandardPaths::findExecutable("desktop-file-validate").isEmpty());
    EXPECT_FALSE(QStandardPaths::findExecutable("appstreamcli").isEmpty());
}

TEST_F(Install, PutsProgramDataIconsAndDesktopFilesUnderThePrefix) {
    EXPECT_TRUE(QFileInfo(Installed("bin/mirvane")).isExecutable());
    EXPECT_TRUE(QFileInfo(Installed("lib/mirvane/mirvane-vis-helper")).isExecutable());
    EXPECT_TRUE(QFileInfo::exists(Installed("share/mirvane/Skins.ini")));
    EXPECT_TRUE(QFileInfo::exists(Installed("share/mirvane/Skins/Steel/Steel.png")));
    EXPECT_TRUE(QFileInfo::exists(Installed("share/mirvane/demo/demo.m3u")));
    EXPECT_FALSE(QFileInfo::exists(Installed("share/mirvane/icons")));
    for (const char *size : {"16x16", "32x32", "48x48", "256x256"}) {
        EXPECT_TRUE(QFileInfo::exists(Installed(
            QString("share/icons/hicolor/%1/apps/mirvane.png").arg(QString::fromLatin1(size)))))
            << size;
    }
    EXPECT_TRUE(QFileInfo::exists(Installed("share/icons/hicolor/scalable/apps/mirvane.svg")));
    // Nothing is written beside the program by installing it.
    EXPECT_FALSE(QFileInfo::exists(Installed("bin/Skins.ini")));

    const QString desktop = Installed("share/applications/mirvane.desktop");
    const QString metainfo = Installed("share/metainfo/org.halvorn.Mirvane.metainfo.xml");
    ASSERT_TRUE(QFileInfo::exists(desktop));
    ASSERT_TRUE(QFileInfo::exists(metainfo));
    const ToolRun d = RunTool("desktop-file-validate", {desktop});
    EXPECT_EQ(d.exitCode, 0) << d.output.toStdString();
    EXPECT_TRUE(d.output.trimmed().isEmpty()) << d.output.toStdString();
    const ToolRun a = RunTool("appstreamcli", {"validate", "--no-net", metainfo});
    EXPECT_EQ(a.exitCode, 0) << a.output.toStdString();
}

TEST_F(Install, InstalledProgramReadsItsSkinAndWritesTheAutomaticPlaylistUnderXdg) {
    const QString home = root.path() + "/home";
    const QString tmp = root.path() + "/tmp";
    ASSERT_TRUE(QDir().mkpath(home));
    ASSERT_TRUE(QDir().mkpath(tmp));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("MIRVANE_HOME");
    env.remove("MIRVANE_SETTINGS");
    env.insert("HOME", home);
    env.insert("XDG_DATA_HOME", home + "/data");
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_CACHE_HOME", home + "/cache");
    env.insert("XDG_RUNTIME_DIR", tmp);
    env.insert("TMPDIR", tmp);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SDL_AUDIODRIVER", "dummy");

    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(home);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(Installed("bin/mirvane"), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    const bool started = WaitForSocket(tmp, program, 60000);
    if (started) {
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM); // closes the player window
    } else {
        program.kill();
    }
    ASSERT_TRUE(program.waitForFinished(30000));
    const QString output = QString::fromLocal8Bit(program.readAll());
    ASSERT_TRUE(started) << "start-up did not finish (a message box waiting?): "
                         << output.toStdString();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << output.toStdString();

    // The first start offers the shipped demo tracks, found in the installed data folder; at
    // exit the list is kept in the user's data folder and nowhere beside the program.
    QFile list(home + "/data/mirvane/playlist.m3u");
    ASSERT_TRUE(list.open(QIODevice::ReadOnly)) << output.toStdString();
    const QByteArray text = list.readAll();
    EXPECT_TRUE(text.startsWith("#EXTM3U"));
    EXPECT_TRUE(text.contains(Installed("share/mirvane/demo/").toUtf8())) << text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Installed("bin/playlist.m3u")));
    EXPECT_FALSE(QFileInfo::exists(Installed("share/mirvane/playlist.m3u")));
    // The skin was read from the installed data: a skin that is not found stops start-up
    // with a message box, which never lets the socket above appear.
}

} // namespace
