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

#include <filesystem>

#include <sys/stat.h>
#include <zlib.h>

using namespace tagtest;
using namespace id3v2;

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

Bytes Zlib(const Bytes &plain) {
    uLongf len = compressBound(static_cast<uLong>(plain.size()));
    Bytes out(len);
    compress2(out.data(), &len, plain.data(), static_cast<uLong>(plain.size()), 6);
    out.resize(len);
    return out;
}

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

TEST_F(EditorTest, CancelledLoadChangesNothing) {
    editor.Title->setText("something");
    editor.LoadButtonClick();
    EXPECT_EQ(editor.Title->text(), "something"); // what the user typed is not thrown away
    EXPECT_TRUE(editor.Tag.FileName.empty());
    EXPECT_FALSE(editor.savebutton->isEnabled());
}

TEST_F(EditorTest, ClearingGenreAndSavingRemovesTconOnly) {
    WriteFile(dir.file("all.mp3"), Cat({SevenFrames(), Audio(1000)}));
    dialogs.fileAnswers << Path("all.mp3");
    editor.LoadButtonClick();
    editor.Genre->clear();
    editor.SaveButtonClick();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(editor.Title->text(), "Title"); // the boxes keep showing what was saved
    EXPECT_EQ(editor.StatusLine->text(), "Tag saved.");
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
    EXPECT_EQ(c.Language, "eng"); // only the edited field was written
    EXPECT_EQ(check.Frames.Count(), 6);
}

TEST_F(EditorTest, TypedLatin1TextIsSaved) {
    WriteFile(dir.file("t.mp3"), Audio(100));
    dialogs.fileAnswers << Path("t.mp3");
    editor.LoadButtonClick();
    EXPECT_EQ(editor.Artist->text(), ""); // untagged: an empty tag to fill in
    EXPECT_TRUE(editor.savebutton->isEnabled());
    editor.Title->setText(QString::fromUtf8("D\u00e9j\u00e0 vu"));
    editor.SaveButtonClick();
    ASSERT_TRUE(dialogs.messages.empty());
    editor.ShowSongInfo(GetSongInfo(lookup, Path("t.mp3")));
    EXPECT_EQ(editor.Title->text(), QString::fromUtf8("D\u00e9j\u00e0 vu"));
    EXPECT_EQ(editor.Artist->text(), "");
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
    EXPECT_EQ(editor.Title->text(), "x"); // a failed save keeps what was typed
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

TEST_F(EditorTest, TypedUnicodeSurvivesSaveAndLoadInBothVersions) {
    const QString typed = QString::fromUtf8("A\u00e9\u20acB\u0416C\U0001F600");
    for (const uint8_t version : {uint8_t{3}, uint8_t{4}}) {
        const std::string name = "u" + std::to_string(version) + ".mp3";
        WriteFile(dir.file(name),
                  Cat({Tag(version, 0, Frame3("TPE1", Latin1Text("x")), 10), Audio(200)}));
        editor.LoadFile(Path(name));
        editor.Title->setText(typed);
        editor.Comment->setText(typed);
        editor.Album->setText(QString::fromUtf8("Caf\u00e9"));
        editor.SaveButtonClick();
        ASSERT_TRUE(dialogs.messages.empty());
        EXPECT_EQ(editor.Title->text(), typed);
        editor.ClearBoxes();
        editor.LoadFile(Path(name));
        EXPECT_EQ(editor.Title->text(), typed);
        EXPECT_EQ(editor.Comment->text(), typed);
        EXPECT_EQ(editor.Album->text(), QString::fromUtf8("Caf\u00e9"));
        EXPECT_EQ(Caption(Path(name)), QStringLiteral("1. x - ") + typed);
    }
}

TEST_F(EditorTest, SaveWritesOnlyEditedFieldsAndKeepsEveryOtherFrameByteForByte) {
    // A version-4 tag the editor cannot show whole or at all:
    const Bytes frames =
        Cat({// TIT2, UTF-16 with mark FF FE: U+0416 'Z'.
             Frame4("TIT2", {0x01, 0xFF, 0xFE, 0x16, 0x04, 'Z', 0x00}),
             // TPE1, UTF-8: U+20AC "uro".
             Frame4("TPE1", Cat({{0x03}, Str("\u20acuro")})),
             // COMM, UTF-16, "eng", empty description (mark + 00 00), text "hi".
             Frame4("COMM", {0x01, 'e', 'n', 'g', 0xFF, 0xFE, 0, 0, 0xFF, 0xFE, 'h', 0, 'i', 0}),
             // TALB compressed, data length indicator 3 while the data inflates to 13 bytes.
             Frame4("TALB", Zlib(Latin1Text("Longer album")), 0, kFmtCompression | kFmtDataLength,
                    SyncSafe(3)),
             // An unknown frame with the tag-alter flag, and a private one.
             Frame4("XYZW", {1, 2, 3}, 0x40), Frame4("PRIV", Cat({Str("me"), {0}, {9, 8}})),
             // TCON, Latin-1.
             Frame4("TCON", Latin1Text("Rock"))});
    WriteFile(dir.file("keep.mp3"), Cat({Tag(4, 0, frames, 100), Audio(5000)}));
    editor.LoadFile(Path("keep.mp3"));
    EXPECT_EQ(editor.Title->text(), QString::fromUtf8("\u0416Z"));
    EXPECT_EQ(editor.Artist->text(), QString::fromUtf8("\u20acuro"));
    EXPECT_EQ(editor.Comment->text(), "hi");
    EXPECT_EQ(editor.Album->text(), ""); // unreadable
    // No edit: every frame goes back as it stood.
    editor.SaveButtonClick();
    ASSERT_TRUE(dialogs.messages.empty());
    Bytes saved = ReadFile(dir.file("keep.mp3"));
    EXPECT_EQ(Bytes(saved.begin() + 10, saved.begin() + 10 + frames.size()), frames);
    // One edit: that frame changes in its place, the others stay as they were.
    editor.Genre->setText("Jazz");
    editor.SaveButtonClick();
    ASSERT_TRUE(dialogs.messages.empty());
    saved = ReadFile(dir.file("keep.mp3"));
    const size_t kept = frames.size() - Frame4("TCON", Latin1Text("Rock")).size();
    EXPECT_EQ(Bytes(saved.begin() + 10, saved.begin() + 10 + kept),
              Bytes(frames.begin(), frames.begin() + kept));
    EXPECT_EQ(Bytes(saved.begin() + 10 + kept, saved.begin() + 10 + kept + 15),
              Frame4("TCON", Latin1Text("Jazz")));
}

TEST_F(EditorTest, FailedLoadEmptiesTheEditorAndOnlyAReadableFileCanBeSaved) {
    WriteFile(dir.file("private.mp3"),
              Tag(3, 0,
                  Cat({Frame3("TIT2", Latin1Text("Mine")),
                       Frame3("TXXX", Cat({{0}, Str("key"), {0}, Str("secret")}))}),
                  10));
    // "ID3" v3 with a frame ID holding a hyphen: the tag cannot be read.
    const Bytes broken = Cat({Tag(3, 0, Frame3("TI-2", Latin1Text("x")), 10), Audio(300)});
    WriteFile(dir.file("broken.mp3"), broken);
    WriteFile(dir.file("plain.mp3"), Audio(300));

    editor.LoadFile(Path("private.mp3"));
    EXPECT_EQ(editor.Title->text(), "Mine");
    editor.LoadFile(Path("broken.mp3"));
    EXPECT_EQ(editor.Title->text(), "");
    EXPECT_FALSE(editor.savebutton->isEnabled());
    EXPECT_EQ(editor.Filename->text(), "broken.mp3");
    editor.Title->setText("typed");
    editor.SaveButtonClick(); // by name, as a script could
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(ReadFile(dir.file("broken.mp3")), broken);

    // A readable file without a tag gets one holding only what was typed.
    editor.LoadFile(Path("private.mp3"));
    editor.LoadFile(Path("plain.mp3"));
    EXPECT_TRUE(editor.savebutton->isEnabled());
    editor.Title->setText("New");
    editor.SaveButtonClick();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    Id3v2Tag check;
    ASSERT_EQ(check.LoadTag(dir.file("plain.mp3"), 0), 0);
    ASSERT_EQ(check.Frames.Count(), 1);
    EXPECT_EQ(check.Frames.GetFrameID(1), "TIT2");
}

TEST_F(EditorTest, LoadFileNamesTheFileAndAFailedSaveKeepsWhatWasTyped) {
    WriteFile(dir.file("all.mp3"), Cat({SevenFrames(), Audio(500)}));
    // What an interrupted save of this file left beside it goes at the load.
    WriteFile(dir.file(".all.mp3.mirvane-save-Ab12Cd"), {1});
    EXPECT_FALSE(editor.savebutton->isEnabled());
    editor.LoadFile(Path("all.mp3"));
    EXPECT_FALSE(std::filesystem::exists(dir.file(".all.mp3.mirvane-save-Ab12Cd")));
    EXPECT_EQ(editor.Filename->text(), "all.mp3");
    EXPECT_EQ(editor.Filename->toolTip(), Path("all.mp3"));
    EXPECT_TRUE(editor.savebutton->isEnabled());
    EXPECT_GE(editor.Year->width(),
              editor.Year->fontMetrics().horizontalAdvance(QStringLiteral("1999")) + 8);
    // A lookup of another file leaves the editor alone.
    editor.Genre->setText("typed by the user");
    WriteFile(dir.file("other.mp3"), Tag(3, 0, Frame3("TIT2", Latin1Text("Other")), 10));
    EXPECT_EQ(Caption(Path("other.mp3")), "1.  - Other");
    EXPECT_EQ(editor.Genre->text(), "typed by the user");
    EXPECT_EQ(editor.Title->text(), "Title");
    EXPECT_EQ(editor.Tag.FileName, dir.file("all.mp3"));

    ::chmod(dir.file("all.mp3").c_str(), 0444);
    const Bytes before = ReadFile(dir.file("all.mp3"));
    editor.Title->setText("New title");
    editor.SaveButtonClick();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Error #512! Could not save Tag!");
    EXPECT_EQ(editor.Title->text(), "New title");
    EXPECT_EQ(editor.Genre->text(), "typed by the user");
    EXPECT_EQ(ReadFile(dir.file("all.mp3")), before);
    // Writable again: the same edits are saved.
    ::chmod(dir.file("all.mp3").c_str(), 0644);
    editor.SaveButtonClick();
    ASSERT_EQ(dialogs.messages.size(), 1u) << dialogs.messages.back().text.toStdString();
    EXPECT_EQ(editor.StatusLine->text(), "Tag saved.");
    const SongInfo saved = GetSongInfo(lookup, Path("all.mp3"));
    EXPECT_EQ(saved.title, "New title");
    EXPECT_EQ(saved.genre, "typed by the user");
    EXPECT_EQ(saved.album, "Album");
}

TEST_F(EditorTest, LookupShowsWholeTextsInEveryEncoding) {
    WriteFile(
        dir.file("enc.mp3"),
        Tag(4, 0,
            Cat({// TIT2 UTF-16BE without mark: U+0416 'b'.
                 Frame4("TIT2", {0x02, 0x04, 0x16, 0x00, 'b'}),
                 // TPE1 UTF-16 FF FE: 'a', U+1F600 as a surrogate pair, NUL, "hidden".
                 Frame4("TPE1", {0x01, 0xFF, 0xFE, 'a', 0, 0x3D, 0xD8, 0x00, 0xDE, 0, 0, 'h', 0}),
                 // TALB UTF-8.
                 Frame4("TALB", Cat({{0x03}, Str("\u0416\u20ac")})),
                 // TCON Latin-1.
                 Frame4("TCON", Latin1Text("Caf\xE9"))}),
            10));
    const SongInfo info = GetSongInfo(lookup, Path("enc.mp3"));
    EXPECT_EQ(info.title, QString::fromUtf8("\u0416b"));
    EXPECT_EQ(info.artist, QString::fromUtf8("a\U0001F600"));
    EXPECT_EQ(info.album, QString::fromUtf8("\u0416\u20ac"));
    EXPECT_EQ(info.genre, QString::fromUtf8("Caf\u00e9"));
}
