// File association: the desktop-entry and mimeapps.list texts (pure), and the XDG store in a
// temporary XDG tree.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "player_support.h"
#include "prefs/file_association.h"

namespace prefs = mirvane::prefs;

TEST(DesktopEntry, ExecQuotesPathsWithBlanksQuotesAndPercent) {
    EXPECT_EQ(prefs::QuoteExecArgument("/opt/mirvane/mirvane"), "/opt/mirvane/mirvane");
    EXPECT_EQ(prefs::QuoteExecArgument("/home/a b/mirvane"), "\"/home/a b/mirvane\"");
    EXPECT_EQ(prefs::QuoteExecArgument("/x/say \"hi\"/m"), "\"/x/say \\\"hi\\\"/m\"");
    EXPECT_EQ(prefs::QuoteExecArgument("/x/$HOME`/m"), "\"/x/\\$HOME\\`/m\"");
    EXPECT_EQ(prefs::QuoteExecArgument("/x/100%/m"), "/x/100%%/m");
    // A backslash is escaped by the quoting rule and again as a string value.
    const QString exec = prefs::EscapeDesktopString(prefs::QuoteExecArgument("/x/a\\b"));
    EXPECT_EQ(exec, "\"/x/a\\\\\\\\b\"");

    const QString text = prefs::DesktopEntryText("/home/a b/100%/mirvane", "mirvane");
    const QStringList lines = text.split('\n');
    EXPECT_EQ(lines.first(), "[Desktop Entry]");
    EXPECT_TRUE(lines.contains("Type=Application"));
    EXPECT_TRUE(lines.contains("Name=Mirvane Player"));
    EXPECT_TRUE(lines.contains("Exec=\"/home/a b/100%%/mirvane\" %f"));
    EXPECT_TRUE(lines.contains("Icon=mirvane"));
    QString mime;
    for (const QString &line : lines) {
        if (line.startsWith("MimeType=")) {
            mime = line.mid(9);
        }
    }
    EXPECT_TRUE(mime.endsWith(';'));
    for (const char *type : {"audio/mpeg", "audio/x-vorbis+ogg", "audio/x-wav", "audio/x-mod",
                             "audio/x-s3m", "audio/x-xm", "audio/x-it"}) {
        EXPECT_TRUE(mime.split(';').contains(QString::fromLatin1(type))) << type;
    }
}

TEST(MimeApps, OurDefaultGoesFirstAndRemovingItKeepsOtherPrograms) {
    const QString before = "# mine\n"
                           "[Default Applications]\n"
                           "audio/mpeg=other.desktop;\n"
                           "video/mp4=vlc.desktop;\n"
                           "\n"
                           "[Removed Associations]\n"
                           "audio/x-wav=bad.desktop;\n";
    const QString with = prefs::MimeAppsWithDefault(before, "audio/mpeg", "mirvane.desktop");
    EXPECT_EQ(prefs::DefaultHandlers(with, "audio/mpeg"),
              QStringList({"mirvane.desktop", "other.desktop"}));
    EXPECT_TRUE(with.contains("video/mp4=vlc.desktop;\n"));
    EXPECT_TRUE(with.contains("[Added Associations]\naudio/mpeg=mirvane.desktop;\n"));
    // Setting it twice lists it once.
    EXPECT_EQ(prefs::MimeAppsWithDefault(with, "audio/mpeg", "mirvane.desktop"), with);

    const QString without = prefs::MimeAppsWithout(with, "mirvane.desktop");
    EXPECT_EQ(prefs::DefaultHandlers(without, "audio/mpeg"), QStringList({"other.desktop"}));
    EXPECT_FALSE(without.contains("mirvane.desktop"));
    EXPECT_TRUE(without.startsWith("# mine\n[Default Applications]\naudio/mpeg=other.desktop;\n"
                                   "video/mp4=vlc.desktop;\n\n[Removed Associations]\n"
                                   "audio/x-wav=bad.desktop;\n"));

    // From nothing: both groups are made.
    const QString fresh = prefs::MimeAppsWithDefault({}, "audio/mpeg", "mirvane.desktop");
    EXPECT_EQ(fresh, "[Default Applications]\naudio/mpeg=mirvane.desktop;\n\n"
                     "[Added Associations]\naudio/mpeg=mirvane.desktop;\n");
}

TEST(XdgAssociation, RegisterThenUnregisterInATemporaryTreeTouchesOnlyOurs) {
    player_test::App();
    QTemporaryDir tree;
    ASSERT_TRUE(tree.isValid());
    qputenv("XDG_DATA_HOME", (tree.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (tree.path() + "/config").toUtf8());
    QDir().mkpath(tree.path() + "/data/applications");
    QDir().mkpath(tree.path() + "/config");
    player_test::WriteText(tree.path() + "/data/applications/other.desktop", "[Desktop Entry]\n");
    player_test::WriteText(tree.path() + "/config/mimeapps.list",
                           "[Default Applications]\naudio/x-wav=other.desktop;\n");

    prefs::XdgFileAssociation store;
    EXPECT_FALSE(store.IsRegistered());
    ASSERT_TRUE(store.Register("/opt/my player/mirvane", "mirvane"));
    EXPECT_TRUE(store.IsRegistered());
    const QByteArray entry =
        player_test::ReadAll(tree.path() + "/data/applications/mirvane.desktop");
    EXPECT_TRUE(entry.contains("Exec=\"/opt/my player/mirvane\" %f\n"));
    // The entry passes the desktop's own checker, and "Open with" learns of it at once.
    if (!QStandardPaths::findExecutable("desktop-file-validate").isEmpty()) {
        QProcess check;
        check.start("desktop-file-validate", {tree.path() + "/data/applications/mirvane.desktop"});
        ASSERT_TRUE(check.waitForFinished(10000));
        EXPECT_EQ(check.exitCode(), 0) << check.readAll().toStdString();
    }
    if (!QStandardPaths::findExecutable("update-desktop-database").isEmpty()) {
        EXPECT_TRUE(player_test::WaitFor([&] {
            return player_test::ReadAll(tree.path() + "/data/applications/mimeinfo.cache")
                .contains("audio/mpeg=mirvane.desktop;");
        }));
    }
    EXPECT_TRUE(QFile::exists(tree.path() + "/data/icons/hicolor/48x48/apps/mirvane.png"));
    EXPECT_TRUE(QFile::exists(tree.path() + "/data/icons/hicolor/scalable/apps/mirvane.svg"));
    const QString list =
        QString::fromUtf8(player_test::ReadAll(tree.path() + "/config/mimeapps.list"));
    EXPECT_EQ(prefs::DefaultHandlers(list, "audio/mpeg"), QStringList({"mirvane.desktop"}));
    EXPECT_EQ(prefs::DefaultHandlers(list, "audio/x-wav"), QStringList({"other.desktop"}));

    ASSERT_TRUE(store.Unregister());
    EXPECT_FALSE(store.IsRegistered());
    EXPECT_FALSE(QFile::exists(tree.path() + "/data/applications/mirvane.desktop"));
    EXPECT_FALSE(QFile::exists(tree.path() + "/data/icons/hicolor/48x48/apps/mirvane.png"));
    EXPECT_TRUE(QFile::exists(tree.path() + "/data/applications/other.desktop"));
    EXPECT_EQ(player_test::ReadAll(tree.path() + "/config/mimeapps.list"),
              "[Default Applications]\naudio/x-wav=other.desktop;\n\n[Added Associations]\n");
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_CONFIG_HOME");
}
