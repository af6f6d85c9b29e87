#include "common/dialogs.h"
#include "common/paths.h"
#include "common/screen_fit.h"

#include <QApplication>
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
