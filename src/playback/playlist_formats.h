#pragma once
// Playlist files other people's programs write: PLS and XSPF beside M3U and M3U8 (m3u.h holds
// the M3U text itself). Pure: bytes in, rows out, and rows in, bytes out; no window, no
// library. Callable from any thread.
//
// Reading is tolerant of hostile files: text that is not a playlist, binary garbage, a broken
// XML document or a million lines give the rows that could be read before the damage, and
// never an exception. Rows whose file name holds a control character (a line break encoded in
// an XSPF location) are skipped: no list file could keep them.

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "playback/m3u.h"

namespace mirvane::playlists {

enum class Format {
    M3u,  // extended M3U, ".m3u" (written as UTF-8 all the same)
    M3u8, // the same text, ".m3u8", always UTF-8
    Pls,  // "[playlist]" with FileN=, TitleN=, LengthN=
    Xspf, // XML Shareable Playlist Format, version 1
};

// The format a file name's extension names (in any letter case): ".m3u", ".m3u8", ".pls",
// ".xspf". Outcome: nothing for any other extension or none.
std::optional<Format> FormatOfName(const QString &fileName);

// The format the bytes are written in, whatever the file is called: "[playlist]" as the first
// text is PLS, "<" is XSPF, anything else is read as M3U.
Format SniffFormat(const QByteArray &bytes);

// The rows of a PLS text. Entries are taken in the order of their numbers; an entry without a
// FileN line is skipped; a missing TitleN gives the file's name without folder and extension.
// LengthN (seconds; -1 for a stream) becomes Entry::seconds. Relative file names resolve
// against baseDir (the current directory when empty); URLs are kept.
std::vector<m3u::Entry> ParsePls(const QByteArray &bytes, const QString &baseDir = {});

// The rows of an XSPF document, one per <track> with a <location>: file: URLs become local
// paths, other URLs are kept, relative references resolve against baseDir. The caption is
// "<creator> - <title>", or whichever of the two there is, or the file's name. <duration>
// (milliseconds) becomes Entry::seconds. Reading stops at the first XML error.
std::vector<m3u::Entry> ParseXspf(const QByteArray &bytes, const QString &baseDir = {});

// The rows of bytes in the given format.
std::vector<m3u::Entry> Parse(Format format, const QByteArray &bytes, const QString &baseDir = {});

// Reads a playlist file of any of the formats, chosen by the file's content (the extension
// may lie, e.g. a PLS list saved as ".m3u"). Relative names resolve against the file's
// folder. Outcome: nothing when the file cannot be opened or read whole.
std::optional<std::vector<m3u::Entry>> TryReadFile(const QString &fileName);

// The whole text of a list in the format, ready to be written: M3U and M3U8 as m3u.h writes
// them, PLS version 2, XSPF version 1 as UTF-8 XML. Entry::seconds is the length in whole
// seconds (-1 or kNoSeconds: unknown, left out where the format allows).
QByteArray Render(Format format, const std::vector<m3u::Entry> &entries);

} // namespace mirvane::playlists
