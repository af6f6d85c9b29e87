// The playlist text format on its own: numbers, paths, reading and the written lines.
#include "playback/m3u.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using mirvane::m3u::Entry;
using mirvane::m3u::ParsePlaylist;

namespace {

TEST(EntrySeconds, HalvesGoToTheEvenNeighbourAndUnknownIsMinusOne) {
    EXPECT_EQ(mirvane::m3u::EntrySeconds(245.6), 246);
    EXPECT_EQ(mirvane::m3u::EntrySeconds(4.6), 5);
    EXPECT_EQ(mirvane::m3u::EntrySeconds(2.5), 2);
    EXPECT_EQ(mirvane::m3u::EntrySeconds(3.5), 4);
    EXPECT_EQ(mirvane::m3u::EntrySeconds(-0.5), 0);
    EXPECT_EQ(mirvane::m3u::EntrySeconds(-1.0), -1);
    EXPECT_EQ(mirvane::m3u::EntrySeconds(std::nan("")), -1);
}

TEST(FormatSeconds, AtLeastThreeDigitsSignBeforeThem) {
    EXPECT_EQ(mirvane::m3u::FormatSeconds(5), "005");
    EXPECT_EQ(mirvane::m3u::FormatSeconds(245), "245");
    EXPECT_EQ(mirvane::m3u::FormatSeconds(3600), "3600");
    EXPECT_EQ(mirvane::m3u::FormatSeconds(0), "000");
    EXPECT_EQ(mirvane::m3u::FormatSeconds(-1), "-001");
}

TEST(MinutesSeconds, TruncatedWithoutLeadingZerosAndZeroForFailures) {
    EXPECT_EQ(mirvane::m3u::MinutesSeconds(125.4f), "2:5");
    EXPECT_EQ(mirvane::m3u::MinutesSeconds(245.6f), "4:5");
    EXPECT_EQ(mirvane::m3u::MinutesSeconds(59.99f), "0:59");
    EXPECT_EQ(mirvane::m3u::MinutesSeconds(-1.0f), "0:0");
}

TEST(NormaliseEntryPath, UrlsInAnyCaseAreOnlyTrimmed) {
    EXPECT_EQ(mirvane::m3u::NormaliseEntryPath("  HtTp://radio.example/x  ", "/base"),
              "HtTp://radio.example/x");
    EXPECT_EQ(mirvane::m3u::NormaliseEntryPath("ftp://host/a.mp3", "/base"), "ftp://host/a.mp3");
}

TEST(NormaliseEntryPath, RelativeLinesResolveAgainstThePlaylistFolder) {
    EXPECT_EQ(mirvane::m3u::NormaliseEntryPath(" music/a.mp3\t", "/base/lists"),
              "/base/lists/music/a.mp3");
    EXPECT_EQ(mirvane::m3u::NormaliseEntryPath("../a.mp3", "/base/lists"), "/base/a.mp3");
    // Absolute paths stay as they are, whether or not anything lies there.
    EXPECT_EQ(mirvane::m3u::NormaliseEntryPath("/gone/a.mp3", "/base"), "/gone/a.mp3");
}

TEST(ParsePlaylist, PairsTitlesAndFileLinesByOrder) {
    const QByteArray text = "#EXTM3U\r\n"
                            "#EXTINF:246,1. Artist - Title\r\n"
                            "/music/a.mp3\r\n"
                            "#EXTINF:005,2. B - C\n" // LF alone
                            "/music/b.ogg\r"         // CR alone
                            "#EXTINF:-001,3. mod\r\n"
                            "/music/c.xm"; // no line end at all
    const auto rows = ParsePlaylist(text, "/x");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].title, "1. Artist - Title");
    EXPECT_EQ(rows[0].fileName, "/music/a.mp3");
    EXPECT_EQ(rows[0].seconds, 246);
    EXPECT_EQ(rows[1].title, "2. B - C");
    EXPECT_EQ(rows[1].fileName, "/music/b.ogg");
    EXPECT_EQ(rows[2].seconds, -1);
    EXPECT_EQ(rows[2].fileName, "/music/c.xm");
}

TEST(ParsePlaylist, TitleIsEverythingAfterTheFirstCommaUntrimmed) {
    const auto rows = ParsePlaylist("#EXTINF:12, Me, Myself,  and I \n/a.mp3\n");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].title, " Me, Myself,  and I ");
}

TEST(ParsePlaylist, TitleLineWithoutCommaGivesTheWholeLine) {
    const auto rows = ParsePlaylist("#extinf:12 no comma\n/a.mp3\n");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].title, "#extinf:12 no comma");
    EXPECT_EQ(rows[0].seconds, Entry::kNoSeconds);
}

TEST(ParsePlaylist, TitlesAndFilesPairAcrossTheFile) {
    // All titles first, then all files: still paired by order.
    const auto rows = ParsePlaylist("#EXTINF:1,a\n#EXTINF:2,b\n#EXTM3U\n/1.mp3\n/2.mp3\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].title, "b");
    EXPECT_EQ(rows[1].fileName, "/2.mp3");
}

TEST(ParsePlaylist, OnlyPathLinesAddNothing) {
    EXPECT_TRUE(ParsePlaylist("/a.mp3\r\n/b.mp3\r\nhttp://x/y\r\n").empty());
}

TEST(ParsePlaylist, UnpairedTitlesAndFilesAreDropped) {
    EXPECT_EQ(ParsePlaylist("#EXTINF:1,a\n/1.mp3\n#EXTINF:2,b\n").size(), 1u);
    EXPECT_EQ(ParsePlaylist("#EXTINF:1,a\n/1.mp3\n/2.mp3\n").size(), 1u);
}

TEST(ParsePlaylist, BlankLinesDoNotShiftThePairing) {
    const auto rows = ParsePlaylist("#EXTINF:1,a\n\n   \n/1.mp3\n");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].fileName, "/1.mp3");
}

TEST(ParsePlaylist, NulBytesAreSkippedAndByteOrderMarkIsDropped) {
    // A stray NUL (a crash while writing, a disk error) must not cost the rows after it.
    const QByteArray text = QByteArray("\xEF\xBB\xBF#EXTINF:1,a\n/1.mp3\n", 22) +
                            QByteArray("\0#EXTINF:2,b\n/2.m\0p3\n", 21);
    const auto rows = ParsePlaylist(text);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].title, "a");
    EXPECT_EQ(rows[1].title, "b");
    EXPECT_EQ(rows[1].fileName, "/2.mp3");
}

TEST(ParsePlaylist, Latin1TextIsReadWhenNotUtf8) {
    const auto rows = ParsePlaylist("#EXTINF:1,Bj\xF6rk\n/\xE5.mp3\n");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].title, QString::fromUtf8("Bj\xC3\xB6rk"));
    EXPECT_EQ(rows[0].fileName, QString::fromUtf8("/\xC3\xA5.mp3"));
}

TEST(EntryLines, WrittenFormRoundTripsThroughTheReader) {
    const QString caption = QString::fromUtf8("1. \xC3\x85sa, Ann - S\xC3\xA5ng");
    QByteArray file = mirvane::m3u::HeaderLine();
    file += mirvane::m3u::EntryLines(246, caption, "/music/a b.mp3");
    EXPECT_EQ(file,
              QByteArray("#EXTM3U\r\n#EXTINF:246,") + caption.toUtf8() + "\r\n/music/a b.mp3\r\n");
    const auto rows = ParsePlaylist(file);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].title, caption);
    EXPECT_EQ(rows[0].fileName, "/music/a b.mp3");
}

TEST(EntryLines, LineBreakInACaptionCannotSplitTheRow) {
    const QByteArray lines = mirvane::m3u::EntryLines(5, "a\nb\r", "/x.mp3");
    EXPECT_EQ(lines, "#EXTINF:005,a b \r\n/x.mp3\r\n");
}

TEST(ReadPlaylistFile, RelativeLinesResolveAgainstTheFilesFolderAndMissingFileGivesNothing) {
    QTemporaryDir dir;
    QFile f(dir.filePath("list.m3u"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#EXTM3U\r\n#EXTINF:1,a\r\nsub/a.mp3\r\n");
    f.close();
    const auto rows = mirvane::m3u::ReadPlaylistFile(f.fileName());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].fileName, dir.path() + "/sub/a.mp3");
    EXPECT_TRUE(mirvane::m3u::ReadPlaylistFile(dir.filePath("none.m3u")).empty());
    EXPECT_TRUE(mirvane::m3u::ReadPlaylistFile(dir.path()).empty()); // a folder
}

} // namespace
