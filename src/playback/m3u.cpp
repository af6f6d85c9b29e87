#include "playback/m3u.h"

#include "common/heap_warmup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstring>

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

namespace {

bool IsAbsolute(QStringView path) {
#ifdef Q_OS_WIN
    return QDir::isAbsolutePath(path.toString());
#else
    return path.startsWith(u'/'); // the common case of a long list, without a file-system call
#endif
}

// `t` is trimmed already.
QString NormaliseTrimmed(QString t, const QString &baseDir) {
    if (t.startsWith(u'/')) { // the common case of a long list, decided by its first character
        return t;
    }
    if (t.startsWith(u"http://", Qt::CaseInsensitive) ||
        t.startsWith(u"ftp://", Qt::CaseInsensitive) || t.isEmpty() || IsAbsolute(t)) {
        return t;
    }
    const QDir base(baseDir.isEmpty() ? QDir::currentPath() : baseDir);
    return QDir::cleanPath(base.absoluteFilePath(t));
}

// The seconds of an "#EXTINF:" line: an optional sign and decimal digits that fit an int,
// nothing else. Hand-written because the general number parser dominates a long list's read.
std::optional<int> LineNumber(QByteArrayView text) {
    bool negative = false;
    if (!text.isEmpty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text = text.sliced(1);
    }
    if (text.isEmpty()) {
        return std::nullopt;
    }
    qint64 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > qint64(INT_MAX) + 1) {
            return std::nullopt;
        }
    }
    value = negative ? -value : value;
    if (value > INT_MAX) {
        return std::nullopt;
    }
    return int(value);
}

} // namespace

QString NormaliseEntryPath(const QString &line, const QString &baseDir) {
    return NormaliseTrimmed(line.trimmed(), baseDir);
}

std::vector<Entry> ParsePlaylist(const QByteArray &input, const QString &baseDir) {
    // The bytes are split into lines as they are and only the titles and file names are
    // decoded: a long list is read without a second, decoded copy of the whole text.
    QByteArrayView bytes(input);
    QByteArray withoutNul;
    if (bytes.contains('\0')) {
        withoutNul = input;
        withoutNul.replace('\0', QByteArray());
        bytes = withoutNul;
    }
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes = bytes.sliced(3);
    }
    const bool utf8 = bytes.isValidUtf8();
    const auto decode = [utf8](QByteArrayView piece) {
        return utf8 ? QString::fromUtf8(piece) : QString::fromLatin1(piece);
    };
    std::vector<QString> titles;
    std::vector<int> seconds;
    std::vector<QString> files;
    const qsizetype guess = bytes.size() / 80;
    titles.reserve(guess);
    seconds.reserve(guess);
    files.reserve(guess);
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    while (p <= end) {
        // Lines end in LF, CR LF or a lone CR; memchr finds either at vector speed.
        const char *eol = static_cast<const char *>(std::memchr(p, '\n', end - p));
        if (!eol) {
            eol = end;
        }
        if (const void *cr = std::memchr(p, '\r', eol - p)) {
            eol = static_cast<const char *>(cr);
        }
        const QByteArrayView line(p, eol - p);
        p = eol + 1;
        const QByteArrayView trimmed = line.trimmed();
        if (trimmed.isEmpty()) {
            continue;
        }
        if (trimmed.front() != '#') {
            files.push_back(NormaliseTrimmed(decode(trimmed), baseDir));
        } else if (trimmed.size() >= 8 &&
                   QByteArrayView(trimmed.first(8)).compare("#EXTINF:", Qt::CaseInsensitive) == 0) {
            const qsizetype comma = line.indexOf(',');
            titles.push_back(decode(comma >= 0 ? line.sliced(comma + 1) : line));
            const qsizetype numberEnd = trimmed.indexOf(',');
            const std::optional<int> number =
                numberEnd > 8 ? LineNumber(trimmed.sliced(8, numberEnd - 8).trimmed())
                              : std::nullopt;
            seconds.push_back(number.value_or(Entry::kNoSeconds));
        }
    }
    std::vector<Entry> entries;
    const size_t count = std::min(titles.size(), files.size());
    entries.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        entries.push_back(Entry{std::move(titles[i]), std::move(files[i]), seconds[i]});
    }
    return entries;
}

std::optional<std::vector<Entry>> TryReadPlaylistFile(const QString &fileName) {
    return ReadFileWith(fileName, [](const QByteArray &bytes, const QString &baseDir) {
        return ParsePlaylist(bytes, baseDir);
    });
}

std::optional<std::vector<Entry>> ReadFileWith(const QString &fileName, PlaylistParser parse) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QString folder = QFileInfo(fileName).absolutePath();
    // A mapped file is read straight from the page cache, without a copy of a long list.
    if (const qint64 size = file.size(); size > 0) {
        if (const uchar *mapped = file.map(0, size)) {
            const QByteArray view = QByteArray::fromRawData(reinterpret_cast<const char *>(mapped),
                                                            static_cast<qsizetype>(size));
            // Its rows take about three times its bytes: UTF-16 text and the blocks' headers.
            WarmHeapFor(std::size_t(size) * 3);
            auto rows = parse(view, folder);
            HeapWarmupDone();
            return rows;
        }
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return parse(bytes, folder);
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
