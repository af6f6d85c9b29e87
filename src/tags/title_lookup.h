#pragma once
// The title lookup: GetSongInfo reads a file's tag with the lookup tag object and returns its
// seven fields; callers caption a playlist row from Artist and Title ("n. Artist - Title").
// It never touches the tag editor, so what the editor shows and saves stays the user's.
//
// Any thread, each with its own tag object. Nothing is reported: a file without a usable tag gives
// its bare name (no folder, no extension) as Artist and leaves the other fields empty.

#include <QString>
#include <cstdint>
#include <string>

class Id3v2Tag;

// The fields the editor's seven boxes show, as texts: the whole text of each frame, whatever
// its encoding (Latin-1, UTF-16, UTF-8), up to its terminator.
struct SongInfo {
    QString title, artist, album, year, genre, comment, track;
    bool operator==(const SongInfo &) const = default;
};

SongInfo GetSongInfo(Id3v2Tag &lookupTag, const QString &fileName);

// The fields of the tag that a load of fileName left in tag (status is that load's); shared
// with the editor's Load button.
SongInfo SongInfoFromTag(Id3v2Tag &tag, uint16_t status, const QString &fileName);

// The file's name without folder and without extension (from the last dot on), taken from
// the trimmed path: "/a/Song.Name.mp3" gives "Song.Name".
QString BareSongName(const QString &fileName);

// A Latin-1 tag text (GetTextFrame's) as a box shows it: up to the first NUL, each byte one
// character.
QString BoxText(const std::string &latin1);

// A box's text as the tag library's Unicode calls take it (UTF-8).
std::string TagUtf8(const QString &text);

// A file name as the tag library takes it (the file system's encoding, UTF-8).
std::string TagFileName(const QString &fileName);
