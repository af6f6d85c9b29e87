#include "radio/station_file.h"

#include "common/ini.h"

#include <QSaveFile>

namespace mirvane::radio {

std::vector<Station> ReadStations(const QByteArray &fileBytes) {
    const IniFile ini = IniFile::Parse(fileBytes);
    std::vector<Station> out;
    for (const QString &section : ini.sections())
        out.push_back(Station{section, ini.readString(section, "Bitrate", QString()),
                              ini.readString(section, "URL", QString())});
    return out;
}

bool IsStationAddress(const QString &address) {
    if (address.size() > 2048)
        return false;
    const bool http = address.startsWith("http://", Qt::CaseInsensitive);
    const bool https = address.startsWith("https://", Qt::CaseInsensitive);
    if (!http && !https)
        return false;
    if (address.size() <= (http ? 7 : 8))
        return false; // no host
    for (const QChar c : address)
        if (c.unicode() <= 0x20 || c.unicode() == 0x7F)
            return false;
    return true;
}

namespace {

// The name of a section header line "[name]", or a null string for any other line.
QString sectionName(const QByteArray &line) {
    const QByteArray t = line.trimmed();
    if (t.size() < 2 || t.front() != '[')
        return QString();
    // The last bracket, as the reader takes it: an address such as "http://[::1]:8000/" is a
    // whole name.
    const qsizetype close = t.lastIndexOf(']');
    if (close < 1)
        return QString();
    return QString::fromUtf8(t.mid(1, close - 1)).trimmed();
}

bool contains(const std::vector<Station> &stations, const QString &name) {
    for (const auto &s : stations)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

QByteArray RenderStations(const QByteArray &original, const std::vector<Station> &stations) {
    const QByteArray eol = original.isEmpty() || original.contains("\r\n") ? "\r\n" : "\n";
    QByteArray out;
    QStringList kept; // section names present in the output
    bool keep = true; // lines before the first section stay
    qsizetype at = 0;
    while (at < original.size()) {
        qsizetype end = original.indexOf('\n', at);
        end = end < 0 ? original.size() : end + 1;
        const QByteArray line = original.mid(at, end - at);
        at = end;
        const QString name = sectionName(line);
        if (!name.isNull()) {
            keep = contains(stations, name);
            if (keep)
                kept << name;
        }
        if (keep)
            out += line;
    }
    if (!out.isEmpty() && !out.endsWith('\n'))
        out += eol;
    for (const auto &s : stations) {
        bool present = false;
        for (const QString &k : kept)
            present = present || k.compare(s.name, Qt::CaseInsensitive) == 0;
        if (present)
            continue;
        kept << s.name;
        out += "[" + s.name.toUtf8() + "]" + eol;
        out += "Bitrate=" + s.bitrate.toUtf8() + eol;
        out += "URL=" + s.url.toUtf8() + eol;
    }
    return out;
}

bool WriteFileReplacing(const QString &path, const QByteArray &bytes, QString *error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace mirvane::radio
