#include "common/dialogs.h"
#include "common/paths.h"
#include "common/screen_fit.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QApplication &App() {
    static int argc = 1;
    static char name[] = "common_test";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

TEST(Dialogs, RecordingHandlerTakesMessagesAndAnswersInOrder) {
    App();
    mirvane::RecordingDialogs dialogs;
    dialogs.fileAnswers = {"/tmp/a.m3u"};
    mirvane::ShowMessage(nullptr, "Can't write the chosen file...", "Write-Error",
                         mirvane::MsgIcon::Error, true);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, "Write-Error");
    EXPECT_TRUE(dialogs.messages[0].foreground);

    mirvane::FileQuestion q{"Open Playlist", {"M3U Playlist (*.m3u)"}, "m3u", false, {}};
    EXPECT_EQ(mirvane::AskOpenFileName(nullptr, q), "/tmp/a.m3u");
    // An empty queue answers as a cancelled dialog does.
    EXPECT_TRUE(mirvane::AskSaveFileName(nullptr, q).isEmpty());
    ASSERT_EQ(dialogs.questions.size(), 2u);
    EXPECT_EQ(dialogs.questions[0].title, "Open Playlist");
    EXPECT_FALSE(mirvane::AskColor(nullptr, Qt::red).has_value());
}

TEST(Dialogs, NestedRecordersRestoreThePreviousHandler) {
    App();
    mirvane::RecordingDialogs outer;
    {
        mirvane::RecordingDialogs inner;
        mirvane::ShowMessage(nullptr, "x", "y", mirvane::MsgIcon::None);
        EXPECT_EQ(inner.messages.size(), 1u);
    }
    mirvane::ShowMessage(nullptr, "x", "y", mirvane::MsgIcon::None);
    EXPECT_EQ(outer.messages.size(), 1u);
}

TEST(ProgramDir, HomeVariableWinsAndEndsWithSeparator) {
    App();
    QTemporaryDir dir;
    qputenv("MIRVANE_HOME", dir.path().toUtf8());
    EXPECT_EQ(mirvane::ProgramDir(), dir.path() + "/");
    qunsetenv("MIRVANE_HOME");
    EXPECT_TRUE(mirvane::ProgramDir().endsWith('/'));
}

TEST(FileLayout, ProgramFolderKeepsEverythingInstalledProgramWritesUnderUserFolders) {
    const auto own = mirvane::ChooseLayout("/build", true, true, "/p/share/mirvane",
                                           "/p/lib/mirvane", "/u/data", "/u/config");
    EXPECT_EQ(own.dataDir, "/build/");
    EXPECT_EQ(own.pluginRoot, "/build/");
    EXPECT_EQ(own.writableDir, "/build/");
    EXPECT_EQ(own.configDir, "/build/");
    // Installed: data read from the prefix, what is written kept apart from it.
    const auto installed = mirvane::ChooseLayout("/p/bin", false, true, "/p/share/mirvane",
                                                 "/p/lib/mirvane", "/u/data", "/u/config");
    EXPECT_EQ(installed.dataDir, "/p/share/mirvane/");
    EXPECT_EQ(installed.pluginRoot, "/p/lib/mirvane/");
    EXPECT_EQ(installed.writableDir, "/u/data/");
    EXPECT_EQ(installed.configDir, "/u/config/");
    // A program folder on a read-only medium reads its own data and writes under the user's.
    const auto readOnly = mirvane::ChooseLayout("/cd", true, false, "/p/share/mirvane",
                                                "/p/lib/mirvane", "/u/data", "/u/config");
    EXPECT_EQ(readOnly.dataDir, "/cd/");
    EXPECT_EQ(readOnly.writableDir, "/u/data/");
}

TEST(FileLayout, ShippedFileIsCopiedOnFirstWriteAndNeverChanged) {
    QTemporaryDir root;
    const QString shipped = root.path() + "/share/";
    const QString user = root.path() + "/user/data/";
    ASSERT_TRUE(QDir().mkpath(shipped));
    {
        QFile f(shipped + "iradio.ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Station]\r\nURL=http://radio.example/\r\n");
    }
    QFile::setPermissions(shipped + "iradio.ini", QFile::ReadOwner | QFile::ReadGroup);
    const auto layout =
        mirvane::ChooseLayout(root.path() + "/bin", false, false, shipped, shipped, user, user);

    // Read before any change: the shipped list.
    EXPECT_EQ(mirvane::ReadableCopy(layout, "iradio.ini"), shipped + "iradio.ini");
    // The first write gets a copy of it in the user's folder (made on the way), writable.
    const QString target = mirvane::WritableCopy(layout, "iradio.ini");
    ASSERT_EQ(target, user + "iradio.ini");
    QFile copy(target);
    ASSERT_TRUE(copy.open(QIODevice::Append));
    copy.write("[Another]\r\n");
    copy.close();
    // From now on the user's copy is read; the shipped file is as it was.
    EXPECT_EQ(mirvane::ReadableCopy(layout, "iradio.ini"), target);
    QFile original(shipped + "iradio.ini");
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(original.readAll(), "[Station]\r\nURL=http://radio.example/\r\n");
    // A file nothing ships starts empty in the user's folder.
    EXPECT_EQ(mirvane::WritableCopy(layout, "vis.ini"), user + "vis.ini");
    EXPECT_FALSE(QFileInfo::exists(user + "vis.ini"));
}

TEST(FitInto, WindowsOffTheScreenComeBackWholeOrTopLeftFirst) {
    const QRect screen(0, 0, 1280, 1024);
    // A playlist opened below a player at the bottom edge: lifted so its buttons show.
    EXPECT_EQ(mirvane::FitInto(QRect(100, 900, 370, 474), screen), QRect(100, 550, 370, 474));
    EXPECT_EQ(mirvane::FitInto(QRect(-50, -20, 200, 100), screen), QRect(0, 0, 200, 100));
    EXPECT_EQ(mirvane::FitInto(QRect(10, 10, 200, 100), screen), QRect(10, 10, 200, 100));
    // Larger than the screen: its top left corner stays reachable.
    EXPECT_EQ(mirvane::FitInto(QRect(500, 500, 2000, 2000), screen), QRect(0, 0, 2000, 2000));
}

} // namespace
