// Playlist files in every format the player reads and writes, through real files: M3U and
// M3U8, PLS, XSPF, and files that are damaged, huge or not playlists at all.
#include "playback/playlist_formats.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using mirvane::m3u::Entry;
namespace playlists = mirvane::playlists;

namespace {

class PlaylistFile : public ::testing::Test {
  protected:
    QString Path(const QString &name) const { return dir.filePath(name); }
    QString Write(const QString &name, const QByteArray &bytes) const {
        QFile f(Path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
    std::vector<Entry> Read(const QString &name) const {
        const auto rows = playlists::TryReadFile(Path(name));
        EXPECT_TRUE(rows.has_value()) << name.toStdString();
        return rows.value_or(std::vector<Entry>{});
    }
    // Writes the rows in the format a file name's extension names and reads them back.
    std::vector<Entry> RoundTrip(const QString &name, const std::vector<Entry> &rows) const {
        const auto format = playlists::FormatOfName(name);
        EXPECT_TRUE(format.has_value());
        Write(name, playlists::Render(*format, rows));
        return Read(name);
    }
    QTemporaryDir dir;
};

TEST_F(PlaylistFile, M3u8KeepsUtf8NamesAndResolvesRelativeLinesAgainstItsFolder) {
    Write("list.m3u8", "\xEF\xBB\xBF#EXTM3U\n"
                       "#EXTINF:12,Sigur R\xC3\xB3s - \xC3\x81gaetis\n"
                       "m\xC3\xBAsica/track one.ogg\n"
                       "#EXTINF:-1,Radio\n"
                       "http://radio.example/stream\n");
    const auto rows = Read("list.m3u8");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].title, QString::fromUtf8("Sigur R\xC3\xB3s - \xC3\x81gaetis"));
    EXPECT_EQ(rows[0].fileName, dir.path() + QString::fromUtf8("/m\xC3\xBAsica/track one.ogg"));
    EXPECT_EQ(rows[1].fileName, "http://radio.example/stream");

    // Saved as ".m3u8" and as ".m3u": the same UTF-8 text, read back to the same rows.
    const std::vector<Entry> saved = {
        {QString::fromUtf8("1. \xC3\x89t\xC3\xA9"), "/music/a.mp3", 7}};
    EXPECT_EQ(RoundTrip("saved.m3u8", saved), saved);
    EXPECT_EQ(RoundTrip("saved.m3u", saved), saved);
}

TEST_F(PlaylistFile, PlsEntriesFollowTheirNumbersAndRoundTrip) {
    // As other players write it: CR LF, numbers out of order, a stream, a title missing, an
    // entry without a file, keys in any case.
    Write("list.pls", "[playlist]\r\n"
                      "NumberOfEntries=4\r\n"
                      "File2=http://radio.example:8000/live\r\n"
                      "Title2=Live radio\r\n"
                      "Length2=-1\r\n"
                      "File1=songs/a.mp3\r\n"
                      "Title1=Artist - A = one\r\n"
                      "Length1=245\r\n"
                      "title3=no file here\r\n"
                      "FILE4=/abs/b.ogg\r\n"
                      "Version=2\r\n");
    const auto rows = Read("list.pls");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (Entry{"Artist - A = one", dir.path() + "/songs/a.mp3", 245}));
    EXPECT_EQ(rows[1], (Entry{"Live radio", "http://radio.example:8000/live", -1}));
    EXPECT_EQ(rows[2].title, "b"); // the file's name stands in for a missing title
    EXPECT_EQ(rows[2].fileName, "/abs/b.ogg");

    const std::vector<Entry> saved = {{"1. A - a", "/m/a.mp3", 3}, {"2. B - b", "/m/b c.wav", 4}};
    EXPECT_EQ(RoundTrip("saved.pls", saved), saved);
    QFile f(Path("saved.pls"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.startsWith("[playlist]\n"));
    EXPECT_TRUE(text.contains("NumberOfEntries=2\n"));
}

TEST_F(PlaylistFile, XspfLocationsAreUrisAndCaptionsComeFromCreatorAndTitle) {
    Write("list.xspf",
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">\n"
          "  <title>Not a track</title>\n"
          "  <trackList>\n"
          "    <track><location>file:///music/with%20space/%C3%A9t%C3%A9.mp3</location>\n"
          "      <creator>Band</creator><title>Song &amp; more</title>\n"
          "      <duration>245600</duration>\n"
          "      <extension application=\"x\"><track><location>file:///no</location></track>"
          "</extension>\n"
          "    </track>\n"
          "    <track><location>sub/rel%20ative.ogg</location></track>\n"
          "    <track><title>Only a title, no location</title></track>\n"
          "    <track><location>http://radio.example/s?a=1&amp;b=2</location>"
          "<title>Radio</title></track>\n"
          "  </trackList>\n"
          "</playlist>\n");
    const auto rows = Read("list.xspf");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (Entry{"Band - Song & more",
                              QString::fromUtf8("/music/with space/\xC3\xA9t\xC3\xA9.mp3"), 246}));
    EXPECT_EQ(rows[1].fileName, dir.path() + "/sub/rel ative.ogg");
    EXPECT_EQ(rows[1].title, "rel ative");
    EXPECT_EQ(rows[2].fileName, "http://radio.example/s?a=1&b=2");

    const std::vector<Entry> saved = {{"1. <A> & \"B\"", "/m/x y#z.mp3", 5},
                                      {"2. Radio", "http://radio.example/live", Entry::kNoSeconds}};
    EXPECT_EQ(RoundTrip("saved.xspf", saved), saved);
}

TEST_F(PlaylistFile, HostileFilesLoadWhatIsValidAndStopCleanly) {
    // A million lines: every pair is a row.
    QByteArray big = "#EXTM3U\n";
    big.reserve(40 * 1000000);
    for (int i = 0; i < 500000; ++i) {
        big += "#EXTINF:1,t" + QByteArray::number(i) + "\n/m/" + QByteArray::number(i) + ".mp3\n";
    }
    Write("big.m3u", big);
    const auto many = Read("big.m3u");
    ASSERT_EQ(many.size(), 500000u);
    EXPECT_EQ(many.back().fileName, "/m/499999.mp3");

    // Binary garbage under every playlist name, and as a PLS and an XSPF in disguise.
    QByteArray garbage;
    quint32 x = 2463534242u;
    for (int i = 0; i < 1 << 20; ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5; // xorshift: the same bytes on every run
        garbage += static_cast<char>(x & 0xFF);
    }
    for (const char *name : {"junk.m3u", "junk.m3u8", "junk.pls", "junk.xspf"}) {
        Write(name, garbage);
        EXPECT_NO_THROW(Read(name)) << name;
    }
    Write("junk2.pls", "[playlist]\n" + garbage + "\nFile99999999999=/x\nFile7=/ok.mp3\n");
    const auto pls = Read("junk2.pls");
    ASSERT_FALSE(pls.empty());
    EXPECT_EQ(pls.back().fileName, "/ok.mp3");
    Write("junk2.xspf", "<playlist><trackList>" + garbage);
    EXPECT_TRUE(Read("junk2.xspf").empty());

    // An XSPF whose second location holds a line break, then a track, then the document
    // breaks off: the good tracks before the damage stay, the one with the line break goes.
    Write("broken.xspf", "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\"><trackList>"
                         "<track><location>file:///m/a.mp3</location><title>a</title></track>"
                         "<track><location>file:///m/b%0A%23EXTINF:1,evil%0A.mp3</location></track>"
                         "<track><location>file:///m/c.mp3</location><title>c\nd</title></track>"
                         "<track><location>file:///m/cut");
    const auto xspf = Read("broken.xspf");
    ASSERT_EQ(xspf.size(), 2u);
    EXPECT_EQ(xspf[0].fileName, "/m/a.mp3");
    EXPECT_EQ(xspf[1], (Entry{"c d", "/m/c.mp3", Entry::kNoSeconds}));

    // A folder and a missing file are not lists: nothing at all.
    EXPECT_FALSE(playlists::TryReadFile(dir.path()).has_value());
    EXPECT_FALSE(playlists::TryReadFile(Path("none.pls")).has_value());
}

} // namespace
