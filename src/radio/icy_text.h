#pragma once
// Pure functions over what a station sends: its response header lines and its metadata
// text. No Qt event loop, no network; callable from any thread.

#include <QByteArray>
#include <QString>
#include <optional>

namespace mirvane::radio {

// What the response headers say about a station. A field stays unset when its line is absent.
struct StationHeaders {
    std::optional<QString> name;    // rest of the first line starting with "icy-name:"
    std::optional<QString> bitrate; // rest of the first line starting with "icy-br:"
};

// Walks header lines, each ended by '\0', until an empty one (or until `size` bytes).
// The names compare case-sensitively; the rest of the line is taken unchanged (a leading blank
// stays) and decoded with DecodeStationText. nullptr gives nothing.
StationHeaders ParseStationHeaders(const char *tags, size_t size);

// The value of StreamTitle in a metadata text such as "StreamTitle='Artist; Song';StreamUrl='';".
// The value is quoted ('...' or "..."): it ends at the quote that is followed by ';' or by the
// end of the text, so ';' and quotes inside a title are kept. An unquoted value ends at ';'.
// Nothing when the text has no "StreamTitle=".
std::optional<QByteArray> ParseStreamTitle(const QByteArray &meta);

// Text from a station in the charset it really uses: UTF-8 when the bytes are valid UTF-8,
// otherwise Windows-1251 or Windows-1252, whichever the bytes look more like (Cyrillic words
// are runs of bytes 0xC0..0xFF; Western accents sit between ASCII letters).
QString DecodeStationText(const QByteArray &bytes);

} // namespace mirvane::radio
