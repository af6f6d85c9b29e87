#pragma once
// The title lookup: GetSongInfo loads a file's tag into the tag editor's seven
// boxes with the lookup tag object; callers then read editor.Artist->text() and
// editor.Title->text() to caption a playlist row ("n. Artist - Title").
//
// GUI thread only. Nothing is reported: a file without a usable tag shows its bare name (no
// folder, no extension) in Artist and leaves the other boxes empty.

#include <QString>
#include <cstdint>
#include <string>

class TagEditor;
class Id3v2Tag;

void GetSongInfo(TagEditor &editor, Id3v2Tag &lookupTag, const QString &fileName);

// Steps 3 to 5 of GetSongInfo, shared with the editor's Load button: shows the tag that a load
// of fileName left in tag (status is that load's) in the editor's boxes.
void ShowTagInBoxes(TagEditor &editor, Id3v2Tag &tag, uint16_t status, const QString &fileName);

// The file's name without folder and without extension (from the last dot on), taken from
// the trimmed path: "/a/Song.Name.mp3" gives "Song.Name".
QString BareSongName(const QString &fileName);

// A tag text (Latin-1) as a box shows it: up to the first NUL, each byte one character.
QString BoxText(const std::string &latin1);

// A box's text as a tag text: Latin-1, characters beyond it become '?'.
std::string TagText(const QString &text);

// A file name as the tag library takes it (the file system's encoding, UTF-8).
std::string TagFileName(const QString &fileName);
