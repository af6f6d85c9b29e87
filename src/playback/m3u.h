#pragma once
// Extended M3U playlist files: the text format, without any window or library.
//
// Files are written as UTF-8 without a byte order mark, every line ended by CR LF:
//   #EXTM3U
//   #EXTINF:<seconds as "#000">,<caption>
//   <file name>
// Reading is tolerant: CR, LF or both end a line, NUL bytes are skipped, a leading byte order
// mark is dropped, text that is not valid UTF-8 is taken as Latin-1, and titles and file
// lines are paired by their order in the file.

#include <QByteArray>
#include <QString>
#include <climits>
#include <optional>
#include <vector>

class QIODevice;

namespace mirvane::m3u {

struct Entry {
    QString title;    // caption of the row
    QString fileName; // full path or URL
    // The number the "#EXTINF:" line gives, or kNoSeconds. Only a hint: the automatic
    // playlist's own numbers spare measuring unchanged files again at exit.
    static constexpr int kNoSeconds = INT_MIN;
    int seconds = kNoSeconds;
    friend bool operator==(const Entry &, const Entry &) = default;
};

// A length in whole seconds for an "#EXTINF:" line: rounded halves to even (2.5 -> 2,
// 3.5 -> 4); a length the library could not give (NaN, infinite, beyond int) is -1, the
// format's "unknown".
int EntrySeconds(double value);

// The "#000" pattern: at least three digits, a minus sign before them (5 -> "005",
// 3600 -> "3600", -1 -> "-001").
QString FormatSeconds(int seconds);

// Minutes ":" seconds, both truncated, without leading zeros (125.4 -> "2:5"), as the time
// label and the banner show a time; a time the library could not give (negative) is "0:0".
QString MinutesSeconds(float seconds);

// The stored form of a file line: trimmed; URLs ("http://", "ftp://" in any case) are kept as
// they are; a relative path is made absolute against baseDir (the playlist's own folder; the
// current directory when empty). Absolute paths are kept, also when nothing exists there.
QString NormaliseEntryPath(const QString &line, const QString &baseDir = {});

// The rows a playlist text gives: one per "#EXTINF:" title that has a file line at the same
// position. Blank lines are not file lines (a hand-edited file with blank lines keeps its
// pairing); titles without a file line are dropped.
std::vector<Entry> ParsePlaylist(const QByteArray &bytes, const QString &baseDir = {});

// Reads a playlist file; relative file lines resolve against the file's folder. A file that
// cannot be read gives no rows.
std::vector<Entry> ReadPlaylistFile(const QString &fileName);
// The same, but a file that cannot be opened or read whole gives nothing at all, so that the
// caller can tell it from an empty list.
std::optional<std::vector<Entry>> TryReadPlaylistFile(const QString &fileName);

// Reads a file whole (mapped when it can be) and hands its bytes and its folder to parse.
// Outcome: parse's rows; nothing when the file cannot be opened or read whole.
using PlaylistParser = std::vector<Entry> (*)(const QByteArray &bytes, const QString &baseDir);
std::optional<std::vector<Entry>> ReadFileWith(const QString &fileName, PlaylistParser parse);

// The header line and the two lines of one row, each with its CR LF.
QByteArray HeaderLine();
QByteArray EntryLines(int seconds, const QString &caption, const QString &fileName);

} // namespace mirvane::m3u
