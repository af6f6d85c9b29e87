// The add-directory dialog in a started program: opened from the playlist's menu, driven by
// the names of its controls, adding into the real list while a row plays.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <filesystem>

#include "adddir_support.h"
#include "playback/add_directory_dialog.h"
#include "playback/folder_search.h"
#include "player_support.h"

using namespace player_test;

namespace {

class AddDirectory : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        WriteWav(Path("one.wav"), 3.0);
        WriteWav(Path("two.wav"), 3.0);
        WriteAutomaticPlaylist({{"1. one", Path("one.wav")}, {"2. two", Path("two.wav")}});
        Start();
        ASSERT_EQ(List().RowCount(), 2);
        List().show();
        QDir().mkpath(Path("music/sub"));
    }

    void Mp3(const QString &name, const std::string &artist = {}, const std::string &title = {}) {
        ASSERT_TRUE(adddir_test::WriteTaggedMp3(Path(name).toStdString(), artist, title));
    }

    // "Add Directory" from the playlist's add menu; the dialog it opened.
    AddDirectoryDialog *OpenFromMenu() {
        for (QAction *action : List().AddMenu->findChildren<QAction *>()) {
            if (action->text() == "Add Directory") {
                action->trigger();
                break;
            }
        }
        return List().findChild<AddDirectoryDialog *>("diradd");
    }

    template <typename T> T *Control(AddDirectoryDialog *dialog, const char *name) {
        T *control = dialog->findChild<T *>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    QString Stats(AddDirectoryDialog *dialog) { return Control<QLabel>(dialog, "stats")->text(); }

    bool WaitForSearchEnd(AddDirectoryDialog *dialog) {
        return WaitFor([dialog] { return !dialog->Searching(); }, 20000);
    }
};

} // namespace

TEST_F(AddDirectory, FolderIsAddedInNaturalOrderWithTagCaptionsWhileTheRowPlaysOn) {
    Mp3("music/Track10.mp3", "Band", "Ten");
    Mp3("music/track2.MP3", "Band", "Two");
    Mp3("music/plain.mp3"); // no tag: its bare name
    WriteWav(Path("music/notes.ogg"), 0.1);
    Mp3("music/sub/d.mp3", "Deep", "Down");

    List().SelectRow(1);
    List().PlayEntry(1);
    ASSERT_EQ(TheEngine().State(), mirvane::PlaybackEngine::Status::Playing);
    const DWORD playing = TheEngine().CurrentChannel();

    AddDirectoryDialog *dialog = OpenFromMenu();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), "Add Directory");
    EXPECT_EQ(Stats(dialog), "NOT searching");
    EXPECT_EQ(dialog->Masks(), QStringList{"*.mp3"});
    EXPECT_TRUE(Control<QCheckBox>(dialog, "subs1")->isChecked());
    EXPECT_FALSE(Control<QPushButton>(dialog, "cancel1")->isEnabled());

    dialog->SelectFolder(Path("music"));
    ASSERT_EQ(dialog->SelectedFolder(), Path("music"));
    Control<QPushButton>(dialog, "JvXPButton1")->click();
    // The search runs on: the dialog says so and its Cancel is live.
    EXPECT_TRUE(dialog->Searching());
    EXPECT_EQ(Stats(dialog), "Busy, Searching...");
    EXPECT_TRUE(Control<QPushButton>(dialog, "cancel1")->isEnabled());
    EXPECT_FALSE(Control<QPushButton>(dialog, "JvXPButton1")->isEnabled());

    ASSERT_TRUE(WaitForSearchEnd(dialog));
    EXPECT_EQ(Stats(dialog), "Finished!");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->FilesFound(), 4);
    ASSERT_EQ(List().RowCount(), 6);
    EXPECT_EQ(List().Caption(2), "3. plain - ");
    EXPECT_EQ(List().Caption(3), "4. Band - Two");
    EXPECT_EQ(List().Caption(4), "5. Band - Ten");
    EXPECT_EQ(List().Caption(5), "6. Deep - Down");
    EXPECT_EQ(List().FileName(2), Path("music/plain.mp3"));
    EXPECT_EQ(List().FileName(5), Path("music/sub/d.mp3"));
    EXPECT_EQ(List().LastAddedDir, Path("music"));

    // What plays and what plays next stay as they were.
    EXPECT_EQ(TheEngine().CurrentIndex(), 1);
    EXPECT_EQ(TheEngine().CurrentChannel(), playing);
    EXPECT_EQ(TheEngine().State(), mirvane::PlaybackEngine::Status::Playing);
    EXPECT_EQ(List().Rows().stateIndex(1), mirvane::PlaylistModel::kPlayingMark);
    EXPECT_EQ(List().SelectedRow(), 1);

    // The next choice makes a fresh dialog at the folder searched last, boxes at their
    // defaults; without sub-folders and with OGG ticked it takes the four files of the folder.
    QPointer<AddDirectoryDialog> first = dialog;
    dialog = OpenFromMenu();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(dialog->SelectedFolder(), Path("music"));
    EXPECT_EQ(dialog->Masks(), QStringList{"*.mp3"});
    Control<QCheckBox>(dialog, "subs1")->setChecked(false);
    Control<QCheckBox>(dialog, "oggchk")->setChecked(true);
    EXPECT_EQ(dialog->Masks(), (QStringList{"*.mp3", "*.ogg"}));
    Control<QPushButton>(dialog, "JvXPButton1")->click();
    ASSERT_TRUE(WaitForSearchEnd(dialog));
    ASSERT_EQ(List().RowCount(), 10);
    EXPECT_EQ(List().Caption(6), "7. notes - ");
    EXPECT_EQ(List().Caption(9), "10. Band - Ten");
    EXPECT_EQ(TheEngine().CurrentIndex(), 1);
}

TEST_F(AddDirectory, CancelStopsTheSearchAndNothingMoreIsAdded) {
    for (int i = 0; i < 300; ++i) {
        Mp3(QString("music/%1.mp3").arg(i), "A", "T");
    }
    AddDirectoryDialog *dialog = OpenFromMenu();
    ASSERT_NE(dialog, nullptr);
    dialog->SelectFolder(Path("music"));
    Control<QPushButton>(dialog, "JvXPButton1")->click();
    // No event has run yet, so whatever the worker found is still on its way.
    Control<QPushButton>(dialog, "cancel1")->click();
    EXPECT_EQ(Stats(dialog), "Aborting search...");
    EXPECT_FALSE(dialog->Searching());
    EXPECT_FALSE(dialog->isVisible());
    // The next choice of the menu waits for the old worker; what it had queued goes nowhere.
    OpenFromMenu();
    QCoreApplication::processEvents();
    EXPECT_EQ(List().RowCount(), 2);

    // The same holds below the dialog: batches queued before a stop are dropped, also when
    // their receiver lives on.
    QObject context;
    int batches = 0, ends = 0;
    {
        mirvane::FolderSearch search(
            context, [&](std::vector<mirvane::FoundSong> &&) { ++batches; },
            [&](const mirvane::WalkSummary &) { ++ends; });
        mirvane::WalkOptions options;
        options.root = Path("music").toStdString();
        search.Start(options);
        search.Stop();
    } // joined: nothing more can be queued
    QCoreApplication::sendPostedEvents(&context);
    EXPECT_EQ(batches, 0);
    EXPECT_EQ(ends, 0);
}

TEST_F(AddDirectory, FolderThatCannotBeReadIsToldAndTheDialogStays) {
    AddDirectoryDialog *dialog = OpenFromMenu();
    ASSERT_NE(dialog, nullptr);
    dialog->SelectFolder(Path("music/sub"));
    ASSERT_EQ(dialog->SelectedFolder(), Path("music/sub"));
    std::filesystem::remove_all(Path("music/sub").toStdString()); // gone since it was chosen
    Control<QPushButton>(dialog, "JvXPButton1")->click();
    ASSERT_TRUE(WaitForSearchEnd(dialog));
    EXPECT_EQ(Stats(dialog), "Finished! 1 folder could not be read.");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->FoldersSkipped(), 1);
    EXPECT_EQ(List().RowCount(), 2);

    // "X" hides it.
    QMetaObject::invokeMethod(dialog, "Label3Click");
    EXPECT_FALSE(dialog->isVisible());
}
