// The tag editor window and the title lookup, under the offscreen platform.

#include "common/dialogs.h"
#include "tags/id3v2.h"
#include "tags/tag_editor.h"
#include "tags/title_lookup.h"
#include "tags_test_util.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <sys/stat.h>

using namespace tagtest;

// fontconfig keeps its caches until the process ends; the labels' font lookup reaches it.
extern "C" const char *__lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {

class EditorTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!QApplication::instance()) {
            static int argc = 1;
            static char name[] = "tags_test";
            static char *argv[] = {name, nullptr};
            new QApplication(argc, argv); // lives for the whole test program
        }
    }

    // The caption the playlist builds for row 1 after a lookup.
    QString Caption(const QString &file) {
        const SongInfo info = GetSongInfo(lookup, file);
        return QStringLiteral("1. ") + info.artist + QStringLiteral(" - ") + info.title;
    }

    QString Path(const std::string &name) { return QString::fromStdString(dir.file(name)); }

    TempDir dir;
    TagEditor editor;
    Id3v2Tag lookup;
    mirvane::RecordingDialogs dialogs;
};

Bytes SevenFrames() {
    return Tag(3, 0,
               Cat({Frame3("TIT2", Latin1Text("Title")), Frame3("TPE1", Latin1Text("Artist")),
                    Frame3("TALB", Latin1Text("Album")), Frame3("TYER", Latin1Text("1999")),
                    Frame3("TCON", Latin1Text("(17)Rock")), Frame3("TRCK", Latin1Text("4/12")),
                    Frame3("COMM", Cat({{0}, Str("eng"), {0}, Str("Comment")}))}),
               100);
}

} // namespace

TEST_F(EditorTest, WindowIsNamedFramelessAndHidden) {
    EXPECT_EQ(editor.objectName(), "id32");
    EXPECT_EQ(editor.windowTitle(), "ID3 Information");
    EXPECT_TRUE(editor.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(editor.size(), QSize(389, 223));
    for (const char *name : {"Artist", "Title", "Album", "Year", "Genre", "Comment", "Track"}) {
        EXPECT_NE(editor.findChild<QLineEdit *>(name), nullptr) << name;
    }
    EXPECT_EQ(editor.findChild<QPushButton *>("LoadButton")->text(), "Load");
    EXPECT_EQ(editor.findChild<QPushButton *>("savebutton")->text(), "Save");
    EXPECT_EQ(editor.findChild<QLabel *>("Label6")->text(), "Comment:");
    EXPECT_EQ(editor.findChild<QLabel *>("Label7")->text(), "Track");
    EXPECT_EQ(editor.findChild<QLabel *>("Filename")->text(), "");
    EXPECT_EQ(editor.Year->geometry().topLeft(), QPoint(184, 19));
    EXPECT_EQ(editor.Comment->width(), 185);
}

TEST_F(EditorTest, TabOrderIsTitleArtistCommentAlbumGenreYearTrack) {
    QWidget *w = editor.Title;
    QStringList order;
    for (int i = 0; i < 7; ++i) {
        order << w->objectName();
        w = w->nextInFocusChain();
        while (w && !(w->focusPolicy() & Qt::TabFocus)) {
            w = w->nextInFocusChain();
        }
    }
    EXPECT_EQ(order.join(','), "Title,Artist,Comment,Album,Genre,Year,Track");
}

TEST_F(EditorTest, UntaggedDottedFileGivesItsBareName) {
    const std::string file = dir.file("Song.Name.mp3");
    WriteFile(file, Audio(300));
    EXPECT_EQ(Caption(QString::fromStdString(file)), "1. Song.Name - ");
    EXPECT_EQ(editor.Title->text(), "");
    EXPECT_EQ(editor.Comment->text(), "");
}

TEST_F(EditorTest, MissingFileAndNameWithoutDot) {
    EXPECT_EQ(Caption(Path("README")), "1. README - ");
    EXPECT_EQ(BareSongName(QStringLiteral("  /x/y.z/track.01.ogg  ")), "track.01");
}

TEST_F(EditorTest, ArtistAndTitleMakeTheCaption) {
    WriteFile(
        dir.file("ab.mp3"),
        Tag(3, 0, Cat({Frame3("TPE1", Latin1Text("A")), Frame3("TIT2", Latin1Text("B"))}), 10));
    EXPECT_EQ(Caption(Path("ab.mp3")), "1. A - B");
    WriteFile(dir.file("b.mp3"), Tag(3, 0, Frame3("TIT2", Latin1Text("B")), 10));
    EXPECT_EQ(Caption(Path("b.mp3")), "1.  - B");
}

TEST_F(EditorTest, LookupFillsAllSevenBoxes) {
    WriteFile(dir.file("all.mp3"), SevenFrames());
    editor.Genre->setText("typed by the user");
    editor.ShowSongInfo(GetSongInfo(lookup, Path("all.mp3")));
    EXPECT_EQ(editor.Title->text(), "Title");
    EXPECT_EQ(editor.Artist->text(), "Artist");
    EXPECT_EQ(editor.Album->text(), "Album");
    EXPECT_EQ(editor.Year->text(), "1999");
    EXPECT_EQ(editor.Genre->text(), "(17)Rock"); // as the frame stands, no genre translation
    EXPECT_EQ(editor.Track->text(), "4/12");
    EXPECT_EQ(editor.Comment->text(), "Comment");
}

TEST_F(EditorTest, Latin1TextsShowFaithfullyUpToTheFirstNul) {
    // TIT2 "Caf\xE9 \xFF" + NUL + "hidden"; TPE1 "<b>Bold</b>" stays literal text.
    WriteFile(dir.file("l1.mp3"),
              Tag(3, 0,
                  Cat({Frame3("TIT2", Cat({Latin1Text("Caf\xE9 \xFF"), {0}, Str("hidden")})),
                       Frame3("TPE1", Latin1Text("<b>Bold</b>"))}),
                  10));
    editor.ShowSongInfo(GetSongInfo(lookup, Path("l1.mp3")));
    EXPECT_EQ(editor.Title->text(), QString::fromUtf8("Caf\u00e9 \u00ff"));
    EXPECT_EQ(editor.Artist->text(), "<b>Bold</b>");
}

TEST_F(EditorTest, LoadShowsTheChosenFilesTag) {
    WriteFile(dir.file("all.mp3"), SevenFrames());
    dialogs.fileAnswers << Path("all.mp3");
    editor.LoadButtonClick();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_TRUE(dialogs.questions[0].filters.isEmpty());
    EXPECT_TRUE(dialogs.questions[0].title.isEmpty());
    EXPECT_EQ(editor.Album->text(), "Album");
    EXPECT_EQ(editor.Tag.FileName, dir.file("all.mp3"));
}

TEST_F(EditorTest, CancelledLoadOnlyEmptiesTheBoxes) {
    editor.Title->setText("something");
    editor.LoadButtonClick();
    EXPECT_EQ(editor.Title->text(), "");
    EXPECT_TRUE(editor.Tag.FileName.empty());
}

TEST_F(EditorTest, ClearingGenreAndSavingRemovesTconOnly) {
    WriteFile(dir.file("all.mp3"), Cat({SevenFrames(), Audio(1000)}));
    dialogs.fileAnswers << Path("all.mp3");
    editor.LoadButtonClick();
    editor.Genre->clear();
    editor.SaveButtonClick();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(editor.Title->text(), ""); // the boxes are emptied after a save
    Id3v2Tag check;
    ASSERT_EQ(check.LoadTag(dir.file("all.mp3"), 0), 0);
    std::string text;
    EXPECT_EQ(check.GetTextFrame("TCON", text), id3v2::kNoSuchFrame);
    EXPECT_EQ(check.GetTextFrame("TIT2", text), 0);
    EXPECT_EQ(text, "Title");
    EXPECT_EQ(check.GetTextFrame("TRCK", text), 0);
    EXPECT_EQ(text, "4/12");
    COMM c;
    EXPECT_EQ(check.GetCommentFrame(c, "", "None"), 0);
    EXPECT_EQ(c.Text, "Comment");
    EXPECT_EQ(c.Language, "ENG"); // the comment was rewritten by Save
    EXPECT_EQ(check.Frames.Count(), 6);
}

TEST_F(EditorTest, TypedLatin1TextIsSaved) {
    WriteFile(dir.file("t.mp3"), Audio(100));
    dialogs.fileAnswers << Path("t.mp3");
    editor.LoadButtonClick();
    EXPECT_EQ(editor.Artist->text(), "t"); // untagged: the bare name
    editor.Title->setText(QString::fromUtf8("D\u00e9j\u00e0 vu"));
    editor.SaveButtonClick();
    ASSERT_TRUE(dialogs.messages.empty());
    editor.ShowSongInfo(GetSongInfo(lookup, Path("t.mp3")));
    EXPECT_EQ(editor.Title->text(), QString::fromUtf8("D\u00e9j\u00e0 vu"));
    EXPECT_EQ(editor.Artist->text(), "t");
}

TEST_F(EditorTest, SavingSevenEmptyBoxesFailsWith64768AndKeepsTheTag) {
    const Bytes original = Cat({SevenFrames(), Audio(1000)});
    WriteFile(dir.file("all.mp3"), original);
    dialogs.fileAnswers << Path("all.mp3");
    editor.LoadButtonClick();
    editor.ClearBoxes();
    editor.SaveButtonClick();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Error #64768! Could not save Tag!");
    EXPECT_EQ(ReadFile(dir.file("all.mp3")), original);
}

TEST_F(EditorTest, SavingWithoutLoadFailsWith256) {
    editor.Title->setText("x");
    editor.SaveButtonClick();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Error #256! Could not save Tag!");
    EXPECT_EQ(editor.Title->text(), "");
}

TEST_F(EditorTest, SavingEmptyBoxesWithoutLoadFailsWith256) {
    editor.SaveButtonClick();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Error #256! Could not save Tag!");
}

TEST_F(EditorTest, SavingReadOnlyFileFailsWith512) {
    WriteFile(dir.file("ro.mp3"), SevenFrames());
    ::chmod(dir.file("ro.mp3").c_str(), 0444);
    dialogs.fileAnswers << Path("ro.mp3");
    editor.LoadButtonClick();
    editor.SaveButtonClick();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Error #512! Could not save Tag!");
}

TEST_F(EditorTest, SaveWritesTheLoadedFileNotTheLastLookedUp) {
    WriteFile(dir.file("loaded.mp3"), SevenFrames());
    WriteFile(dir.file("looked.mp3"), Tag(3, 0, Frame3("TIT2", Latin1Text("Other")), 10));
    const Bytes lookedBefore = ReadFile(dir.file("looked.mp3"));
    dialogs.fileAnswers << Path("loaded.mp3");
    editor.LoadButtonClick();
    const SongInfo looked = GetSongInfo(lookup, Path("looked.mp3"));
    EXPECT_EQ(looked.title, "Other");
    editor.SaveButtonClick();
    EXPECT_EQ(ReadFile(dir.file("looked.mp3")), lookedBefore);
    Id3v2Tag check;
    ASSERT_EQ(check.LoadTag(dir.file("loaded.mp3"), 0), 0);
    std::string text;
    check.GetTextFrame("TIT2", text);
    EXPECT_EQ(text, "Title"); // the loaded file keeps its own fields
}

TEST_F(EditorTest, ButtonsAreInvokableByName) {
    EXPECT_TRUE(QMetaObject::invokeMethod(&editor, "SaveButtonClick"));
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(QMetaObject::invokeMethod(&editor, "LoadButtonClick"));
}
