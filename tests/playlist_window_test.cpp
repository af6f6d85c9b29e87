// The playlist window: adding, dropping, removing, opening and saving rows.
#include <QBuffer>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>

#include "player_support.h"

using namespace player_test;

namespace {

class Playlist : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        WriteAutomaticPlaylist({});
        Start();
    }
};

TEST_F(Playlist, ListHasItsTwoColumnsAndHint) {
    QTreeView *view = List().ListView1;
    EXPECT_EQ(view->objectName(), "ListView1");
    EXPECT_EQ(view->model()->headerData(0, Qt::Horizontal).toString(), "Title");
    EXPECT_EQ(view->model()->headerData(1, Qt::Horizontal).toString(), "Filename");
    EXPECT_EQ(view->header()->sectionSize(0), 410);
    EXPECT_EQ(view->toolTip(), "DoubleClick the song to play");
    EXPECT_EQ(view->selectionMode(), QAbstractItemView::SingleSelection);
}

TEST_F(Playlist, DroppedFilesAreCheckedOneByOne) {
    WriteWav(Path("a.mp3"), 1.0);
    WriteText(Path("notes.txt"), "x");
    QFile::copy(ShortModule(), Path("b.xm"));
    List().WMDropFiles({Path("a.mp3"), Path("notes.txt"), Path("b.xm")});
    ASSERT_EQ(List().RowCount(), 2);
    EXPECT_EQ(List().FileName(0), Path("a.mp3"));
    EXPECT_EQ(List().FileName(1), Path("b.xm"));
    EXPECT_TRUE(List().Caption(1).startsWith("2. "));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "The dropped file is not a valid music file!...");
    EXPECT_EQ(dialogs.messages[0].icon, mirvane::MsgIcon::Error);
    // Dropping only appends: nothing plays.
    EXPECT_EQ(TheEngine().CurrentChannel(), 0u);

    // No extension: refused; a part of a known extension (".mp"): taken.
    List().WMDropFiles({Path("noextension"), Path("odd.mp")});
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(List().RowCount(), 3);
}

TEST_F(Playlist, FilesDroppedFromTheFileManagerArriveAsUrls) {
    WriteWav(Path("dropped.wav"), 1.0);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Path("dropped.wav")), QUrl::fromLocalFile(Path("x.doc"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&List(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&List(), &drop);
    ASSERT_EQ(List().RowCount(), 1);
    EXPECT_EQ(List().FileName(0), Path("dropped.wav"));
    EXPECT_EQ(dialogs.messages.size(), 1u);
}

TEST_F(Playlist, CaptionsNumberRowsAtTheTimeOfAdding) {
    WriteWav(Path("Song.Name.wav"), 1.0);
    List().AppendEntry(Path("Song.Name.wav"));
    // A file without a tag: its bare name as the artist, an empty title.
    EXPECT_EQ(List().Caption(0), "1. Song.Name - ");
    for (int i = 0; i < 4; ++i) {
        List().AppendEntry(Path("Song.Name.wav"));
    }
    List().AppendEntry(Path("Song.Name.wav"));
    EXPECT_TRUE(List().Caption(5).startsWith("6. "));
}

TEST_F(Playlist, AddFileAsksWithItsFiltersAndAppendsTheChosenFile) {
    WriteWav(Path("chosen.wav"), 1.0);
    dialogs.fileAnswers = {Path("chosen.wav")};
    List().AddFileClick();
    ASSERT_EQ(List().RowCount(), 1);
    EXPECT_EQ(List().FileName(0), Path("chosen.wav"));
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].title, "Add File to Playlist");
    ASSERT_EQ(dialogs.questions[0].filters.size(), 3);
    EXPECT_TRUE(dialogs.questions[0].filters[0].startsWith("Mirvane Playable Files"));
    EXPECT_FALSE(dialogs.questions[0].filters[0].contains("*.it"));
    EXPECT_TRUE(dialogs.questions[0].filters[2].startsWith("MOD Music"));
    List().AddFileClick(); // cancelled
    EXPECT_EQ(List().RowCount(), 1);
}

TEST_F(Playlist, SavedPlaylistHoldsExistingFilesWithTheirLengths) {
    WriteWav(Path("long.wav"), 245.6);
    WriteWav(Path("short.wav"), 4.6);
    QFile::copy(ShortModule(), Path("tune.mod"));
    List().Rows().append(mirvane::PlaylistRow{"1. Long - one, two", Path("long.wav")});
    List().Rows().append(mirvane::PlaylistRow{"2. Radio", "http://radio.example/x"});
    List().Rows().append(mirvane::PlaylistRow{"3. Short", Path("short.wav")});
    List().Rows().append(mirvane::PlaylistRow{"4. Tune", Path("tune.mod")});
    dialogs.fileAnswers = {Path("saved.m3u")};
    List().SavePlaylistClick();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].title, "Save Playlist");
    EXPECT_TRUE(dialogs.questions[0].confirmOverwrite);
    EXPECT_EQ(ReadAll(Path("saved.m3u")),
              "#EXTM3U\r\n#EXTINF:246,1. Long - one, two\r\n" + Path("long.wav").toUtf8() +
                  "\r\n#EXTINF:005,3. Short\r\n" + Path("short.wav").toUtf8() +
                  "\r\n#EXTINF:-001,4. Tune\r\n" + Path("tune.mod").toUtf8() + "\r\n");

    // Reading it back appends the same rows, whatever the numbers say.
    dialogs.fileAnswers = {Path("saved.m3u"), Path("saved.m3u")};
    List().RemoveAllClick();
    List().OpenPlaylistClick();
    ASSERT_EQ(List().RowCount(), 3);
    EXPECT_EQ(List().Caption(0), "1. Long - one, two");
    EXPECT_EQ(List().FileName(2), Path("tune.mod"));
    List().OpenPlaylistClick(); // twice: appended twice
    EXPECT_EQ(List().RowCount(), 6);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Playlist, SavingWritesTheListUnderTheNameGiven) {
    WriteWav(Path("a.wav"), 1.0);
    List().AppendEntry(Path("a.wav"));
    WriteText(Path("list.txt"), "old content");
    dialogs.fileAnswers = {Path("list.txt"), Path("bare")};
    List().SavePlaylistClick();
    EXPECT_TRUE(ReadAll(Path("list.txt")).endsWith(Path("a.wav").toUtf8() + "\r\n"));
    List().SavePlaylistClick(); // no extension at all: ".m3u" is added
    EXPECT_FALSE(QFileInfo::exists(Path("bare")));
    EXPECT_EQ(ReadAll(Path("bare.m3u")), ReadAll(Path("list.txt")));
}

TEST_F(Playlist, DroppedListsBringTheirEntriesAndSavingFollowsTheExtension) {
    WriteWav(Path("a.wav"), 2.0);
    WriteWav(Path("b.wav"), 3.0);
    WriteText(Path("one.pls"), "[playlist]\nFile1=a.wav\nTitle1=From PLS\n");
    WriteText(Path("two.xspf"), "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">"
                                "<trackList><track><location>b.wav</location>"
                                "<title>From XSPF</title></track></trackList></playlist>");
    WriteText(Path("three.m3u8"), "#EXTM3U\n#EXTINF:2,From M3U8\na.wav\n");
    // Lists and a music file dropped together: entries in order, the lists never as tracks.
    List().WMDropFiles({Path("one.pls"), Path("b.wav"), Path("two.xspf"), Path("three.m3u8")});
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_EQ(List().RowCount(), 4);
    EXPECT_EQ(List().Caption(0), "From PLS");
    EXPECT_EQ(List().FileName(0), Path("a.wav"));
    EXPECT_EQ(List().FileName(1), Path("b.wav"));
    EXPECT_EQ(List().Caption(2), "From XSPF");
    EXPECT_EQ(List().FileName(2), Path("b.wav"));
    EXPECT_EQ(List().Caption(3), "From M3U8");

    // The save dialog offers the formats; the extension of the name chosen picks one.
    dialogs.fileAnswers = {Path("out.pls"), Path("out.xspf"), Path("out.m3u8")};
    List().SavePlaylistClick();
    List().SavePlaylistClick();
    List().SavePlaylistClick();
    ASSERT_EQ(dialogs.questions.size(), 3u);
    EXPECT_EQ(dialogs.questions[0].filters,
              (QStringList{"M3U Playlist (*.m3u)", "M3U8 Playlist (*.m3u8)", "PLS Playlist (*.pls)",
                           "XSPF Playlist (*.xspf)"}));
    EXPECT_TRUE(ReadAll(Path("out.pls"))
                    .startsWith("[playlist]\nFile1=" + Path("a.wav").toUtf8() +
                                "\nTitle1=From PLS\nLength1=2\n"));
    EXPECT_TRUE(ReadAll(Path("out.xspf")).contains("<duration>3000</duration>"));
    EXPECT_TRUE(ReadAll(Path("out.m3u8")).startsWith("#EXTM3U\r\n#EXTINF:002,From PLS\r\n"));

    // Opening each again gives the same rows back.
    List().RemoveAllClick();
    dialogs.fileAnswers = {Path("out.pls"), Path("out.xspf"), Path("out.m3u8")};
    List().OpenPlaylistClick();
    List().OpenPlaylistClick();
    List().OpenPlaylistClick();
    ASSERT_EQ(List().RowCount(), 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(List().FileName(i), Path(i % 4 == 1 || i % 4 == 2 ? "b.wav" : "a.wav")) << i;
    }
    EXPECT_EQ(List().Caption(4), "From PLS");
    EXPECT_EQ(List().Caption(11), "From M3U8");
    EXPECT_TRUE(dialogs.questions[3].filters[0].contains("*.xspf"));
}

TEST_F(Playlist, HostileListsOpenedOrDroppedBringTheirGoodRowsOnlyAndTheProgramGoesOn) {
    WriteWav(Path("a.wav"), 1.0);
    // A million lines: half a million rows.
    QByteArray big = "#EXTM3U\n";
    big.reserve(40 * 1000000);
    for (int i = 0; i < 500000; ++i) {
        big += "#EXTINF:1,t" + QByteArray::number(i) + "\n/m/" + QByteArray::number(i) + ".mp3\n";
    }
    WriteText(Path("big.m3u"), big);
    // A mebibyte of binary garbage under every list name.
    QByteArray garbage;
    quint32 x = 2463534242u;
    for (int i = 0; i < 1 << 20; ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5; // xorshift: the same bytes on every run
        garbage += static_cast<char>(x & 0xFF);
    }
    const QStringList junk = {Path("junk.m3u"), Path("junk.m3u8"), Path("junk.pls"),
                              Path("junk.xspf")};
    for (const QString &name : junk) {
        WriteText(name, garbage);
    }
    // Locations holding line breaks between two good tracks, then the document breaks off.
    WriteText(Path("breaks.xspf"),
              "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\"><trackList>"
              "<track><location>a.wav</location><title>good one</title></track>"
              "<track><location>file:///m/b%0A%23EXTINF:1,evil%0A.mp3</location></track>"
              "<track><location>b%0D.wav</location></track>"
              "<track><location>a.wav</location><title>good\ntwo</title></track>"
              "<track><location>file:///m/cut");
    // A list whose own name holds a line break.
    const QString oddName = Path("two\nlines.pls");
    WriteText(oddName, "[playlist]\nFile1=a.wav\nTitle1=Odd name\n");

    for (const bool drop : {false, true}) {
        SCOPED_TRACE(drop ? "dropped" : "opened");
        const auto load = [&](const QString &name) {
            if (drop) {
                List().WMDropFiles({name});
            } else {
                dialogs.fileAnswers = {name};
                List().OpenPlaylistClick();
            }
        };
        List().RemoveAllClick();
        load(Path("big.m3u"));
        ASSERT_EQ(List().RowCount(), 500000);
        EXPECT_EQ(List().FileName(499999), "/m/499999.mp3");

        List().RemoveAllClick();
        for (const QString &name : junk) {
            load(name);
            EXPECT_EQ(List().RowCount(), 0) << name.toStdString();
        }
        load(Path("breaks.xspf"));
        load(oddName);
        ASSERT_EQ(List().RowCount(), 3);
        EXPECT_EQ(List().Caption(0), "good one");
        EXPECT_EQ(List().Caption(1), "good two");
        EXPECT_EQ(List().Caption(2), "Odd name");
        for (int row = 0; row < 3; ++row) {
            EXPECT_EQ(List().FileName(row), Path("a.wav")) << row;
        }
        EXPECT_TRUE(dialogs.messages.empty());
    }

    // A music file whose name holds a line break is a row, but no list file could keep it:
    // the saved list holds the others, one row each, and reads back whole.
    const QString broken = Path("line\nbreak.wav");
    WriteWav(broken, 1.0);
    List().WMDropFiles({broken});
    ASSERT_EQ(List().RowCount(), 4);
    EXPECT_EQ(List().FileName(3), broken);
    dialogs.fileAnswers = {Path("saved.m3u")};
    List().SavePlaylistClick();
    EXPECT_TRUE(dialogs.messages.empty());
    List().RemoveAllClick();
    dialogs.fileAnswers = {Path("saved.m3u")};
    List().OpenPlaylistClick();
    ASSERT_EQ(List().RowCount(), 3);
    EXPECT_EQ(List().FileName(2), Path("a.wav"));

    // Still a player: a row read from the oddly named list plays.
    List().SelectRow(2);
    List().ListView1DblClick();
    EXPECT_EQ(TheEngine().State(), mirvane::PlaybackEngine::Status::Playing);
}

TEST_F(Playlist, EmptyListIsSavedAsTheHeaderAlone) {
    dialogs.fileAnswers = {Path("empty.m3u")};
    List().SavePlaylistClick();
    EXPECT_EQ(ReadAll(Path("empty.m3u")), "#EXTM3U\r\n");
}

TEST_F(Playlist, FileThatCannotBeWrittenGivesWriteErrorAndKeepsWhatWasThere) {
    List().Rows().append(mirvane::PlaylistRow{"1. x", Path("a.wav")});
    dialogs.fileAnswers = {Path("no/such/folder/list.m3u")};
    List().SavePlaylistClick();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Can't write the chosen file...");
    EXPECT_EQ(dialogs.messages[0].caption, "Write-Error");
    EXPECT_EQ(dialogs.messages[0].owner, nullptr);
    EXPECT_TRUE(dialogs.messages[0].foreground);
    EXPECT_FALSE(QFileInfo::exists(Path("no")));

    // A writer that fails part-way: the old file stays whole.
    WriteText(Path("keep.m3u"), "#EXTM3U\r\n#EXTINF:1,kept\r\n/kept.wav\r\n");
    QBuffer broken;
    broken.open(QIODevice::ReadOnly); // every write fails
    EXPECT_FALSE(List().WritePlaylist(broken));
    EXPECT_EQ(ReadAll(Path("keep.m3u")), "#EXTM3U\r\n#EXTINF:1,kept\r\n/kept.wav\r\n");
}

TEST_F(Playlist, LengthsOfUnchangedFilesAreMeasuredOnce) {
    WriteWav(Path("a.wav"), 4.6);
    List().AppendEntry(Path("a.wav"));
    QBuffer first;
    first.open(QIODevice::WriteOnly);
    ASSERT_TRUE(List().WritePlaylist(first));
    EXPECT_TRUE(first.data().contains("#EXTINF:005,"));
    EXPECT_EQ(List().Lengths().size(), 1);
    // A changed file is measured again.
    QThread::msleep(20);
    WriteWav(Path("a.wav"), 10.0);
    QBuffer second;
    second.open(QIODevice::WriteOnly);
    ASSERT_TRUE(List().WritePlaylist(second));
    EXPECT_TRUE(second.data().contains("#EXTINF:010,"));
}

TEST_F(Playlist, DoubleClickPlaysTheSelectedRow) {
    WriteWav(Path("a.wav"), 30.0);
    WriteWav(Path("b.wav"), 30.0);
    List().AppendEntry(Path("a.wav"));
    List().AppendEntry(Path("b.wav"));
    List().ListView1DblClick(); // nothing selected: nothing
    EXPECT_EQ(TheEngine().CurrentChannel(), 0u);
    List().SelectRow(1);
    List().ListView1DblClick();
    EXPECT_EQ(TheEngine().CurrentIndex(), 1);
    EXPECT_EQ(BASS_ChannelIsActive(TheEngine().CurrentChannel()), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_EQ(List().Panel2->text(), "Playlist - 2 of 2 Songs");
}

TEST_F(Playlist, CloseLabelHidesTheWindow) {
    Player().PlbuttonClick();
    ASSERT_TRUE(List().isVisible());
    List().Label1Click();
    EXPECT_TRUE(WaitFor([this] { return !List().isVisible(); }));
}

} // namespace
