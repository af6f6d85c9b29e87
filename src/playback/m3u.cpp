#include "playback/m3u.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <cmath>

namespace mirvane::m3u {

int EntrySeconds(double value) {
    if (!std::isfinite(value)) {
        return -1;
    }
    // nearbyint rounds halves to even in the default rounding mode.
    const double r = std::nearbyint(value);
    if (r > 2147483647.0 || r < -2147483648.0) {
        return -1;
    }
    return static_cast<int>(r);
}

QString MinutesSeconds(float seconds) {
    if (!(seconds >= 0.0f)) {
        seconds = 0.0f;
    }
    const int m = static_cast<int>(seconds / 60.0f);
    const int s = static_cast<int>(seconds - static_cast<float>(m) * 60.0f);
    return QString::number(m) + ":" + QString::number(s);
}

QString FormatSeconds(int seconds) {
    const qint64 v = seconds;
    const QString digits = QString::number(v < 0 ? -v : v).rightJustified(3, '0');
    return v < 0 ? "-" + digits : digits;
}

QString NormaliseEntryPath(const QString &line, const QString &baseDir) {
    const QString t = line.trimmed();
    if (t.left(7).toUpper() == "HTTP://" || t.left(6).toUpper() == "FTP://") {
        return t;
    }
    if (t.isEmpty() || QDir::isAbsolutePath(t)) {
        return t;
    }
    const QDir base(baseDir.isEmpty() ? QDir::currentPath() : baseDir);
    return QDir::cleanPath(base.absoluteFilePath(t));
}

namespace {

QString DecodeText(QByteArray bytes) {
    if (bytes.contains('\0')) {
        bytes.replace('\0', QByteArray());
    }
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes.remove(0, 3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        text = QString::fromLatin1(bytes);
    }
    return text;
}

} // namespace

std::vector<Entry> ParsePlaylist(const QByteArray &bytes, const QString &baseDir) {
    const QString text = DecodeText(bytes);
    std::vector<QString> titles;
    std::vector<int> seconds;
    std::vector<QString> files;
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start <= n) {
        qsizetype end = start;
        while (end < n && text[end] != '\r' && text[end] != '\n') {
            ++end;
        }
        const QString line = text.mid(start, end - start);
        start = end + 1;
        const QString test = line.trimmed().toUpper();
        if (test.isEmpty()) {
            continue;
        }
        if (!test.startsWith('#')) {
            files.push_back(NormaliseEntryPath(line, baseDir));
        } else if (test.startsWith("#EXTINF:")) {
            const qsizetype comma = line.indexOf(',');
            titles.push_back(comma >= 0 ? line.mid(comma + 1) : line);
            const QString trimmed = line.trimmed();
            const qsizetype numberEnd = trimmed.indexOf(',');
            bool ok = false;
            const int number =
                numberEnd > 8 ? trimmed.mid(8, numberEnd - 8).trimmed().toInt(&ok) : 0;
            seconds.push_back(ok ? number : Entry::kNoSeconds);
        }
    }
    std::vector<Entry> entries;
    const size_t count = std::min(titles.size(), files.size());
    entries.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        entries.push_back(Entry{titles[i], files[i], seconds[i]});
    }
    return entries;
}

std::optional<std::vector<Entry>> TryReadPlaylistFile(const QString &fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return ParsePlaylist(bytes, QFileInfo(fileName).absolutePath());
}

std::vector<Entry> ReadPlaylistFile(const QString &fileName) {
    return TryReadPlaylistFile(fileName).value_or(std::vector<Entry>{});
}

QByteArray HeaderLine() {
    return "#EXTM3U\r\n";
}

QByteArray EntryLines(int seconds, const QString &caption, const QString &fileName) {
    QByteArray out = "#EXTINF:";
    out += FormatSeconds(seconds).toLatin1();
    out += ',';
    // A caption from a tag may hold a line break; written as it is, it would split the row.
    QString oneLine = caption;
    oneLine.replace('\r', ' ').replace('\n', ' ');
    out += oneLine.toUtf8();
    out += "\r\n";
    out += fileName.toUtf8();
    out += "\r\n";
    return out;
}

} // namespace mirvane::m3u
