#pragma once
// The station file iradio.ini: one section per station (the section name is the station's
// name), keys Bitrate and URL. Reading uses the profile reader; writing keeps every section
// and key the user wrote byte for byte, drops the sections of removed stations and appends
// the added ones. Pure functions plus one file replacement; callable from any thread.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace mirvane::radio {

struct Station {
    QString name;
    QString bitrate; // free text, e.g. "128"; "?" for stations the user added
    QString url;
};

// The stations of a station file in section order; a missing key gives an empty text.
std::vector<Station> ReadStations(const QByteArray &fileBytes);

// True for an address the connection may use: http:// or https:// followed by a host, at most
// 2048 characters, no blanks or control characters.
bool IsStationAddress(const QString &address);

// The new file: `original` with the sections whose names (compared without regard to case) are
// not among `stations` taken out, then a section for each station that has none yet. Line
// endings follow the original ("\r\n" for a new file).
QByteArray RenderStations(const QByteArray &original, const std::vector<Station> &stations);

// Writes bytes to path through a temporary file renamed over it: the old file stays whole when
// writing fails. False with a readable reason in `error`.
bool WriteFileReplacing(const QString &path, const QByteArray &bytes, QString *error);

} // namespace mirvane::radio
