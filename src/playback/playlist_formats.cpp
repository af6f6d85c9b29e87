#include "playback/playlist_formats.h"

#include <QFileInfo>
#include <QUrl>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <map>

namespace mirvane::playlists {
namespace {

using m3u::Entry;

bool HasControl(const QString &s) {
    for (const QChar c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            return true;
        }
    }
    return false;
}

// Captions are one line in the list and in every list file.
QString OneLine(QString s) {
    for (QChar &c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            c = u' ';
        }
    }
    return s;
}

QString NameOnly(const QString &fileName) {
    const QString base = QFileInfo(fileName).completeBaseName();
    return base.isEmpty() ? fileName : base;
}

bool IsUrl(const QString &s) {
    const qsizetype colon = s.indexOf(u"://");
    if (colon <= 0) {
        return false;
    }
    for (qsizetype i = 0; i < colon; ++i) {
        if (!s[i].isLetterOrNumber() && s[i] != u'+' && s[i] != u'-' && s[i] != u'.') {
            return false;
        }
    }
    return true;
}

QString Resolve(const QString &path, const QString &baseDir) {
    if (path.isEmpty() || IsUrl(path)) {
        return path;
    }
    return m3u::NormaliseEntryPath(path, baseDir);
}

QByteArrayView WithoutBom(QByteArrayView bytes) {
    return bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes;
}

// Adds an entry unless its file name could not be kept in a list file.
void Keep(std::vector<Entry> &out, QString file, QString title, int seconds) {
    if (file.isEmpty() || HasControl(file)) {
        return;
    }
    if (title.isEmpty()) {
        title = NameOnly(file);
    }
    out.push_back(Entry{OneLine(std::move(title)), std::move(file), seconds});
}

// "File12" -> 12 when the key is prefix followed by a positive number.
int NumberAfter(QByteArrayView key, QByteArrayView prefix) {
    if (key.size() <= prefix.size() ||
        key.first(prefix.size()).compare(prefix, Qt::CaseInsensitive)) {
        return 0;
    }
    bool ok = false;
    const int n = key.sliced(prefix.size()).toInt(&ok);
    return ok && n > 0 ? n : 0;
}

QString XspfLocation(const QString &text, const QString &baseDir) {
    const QString t = text.trimmed();
    const QUrl url(t, QUrl::TolerantMode);
    if (!url.isValid()) {
        return {};
    }
    if (url.isLocalFile()) {
        return url.toLocalFile();
    }
    if (url.isRelative()) {
        return Resolve(QUrl::fromPercentEncoding(t.toUtf8()), baseDir);
    }
    return t;
}

QString XspfReference(const QString &fileName) {
    return IsUrl(fileName) ? fileName
                           : QString::fromUtf8(QUrl::fromLocalFile(fileName).toEncoded());
}

} // namespace

std::optional<Format> FormatOfName(const QString &fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"m3u") {
        return Format::M3u;
    }
    if (suffix == u"m3u8") {
        return Format::M3u8;
    }
    if (suffix == u"pls") {
        return Format::Pls;
    }
    if (suffix == u"xspf") {
        return Format::Xspf;
    }
    return std::nullopt;
}

Format SniffFormat(const QByteArray &input) {
    const QByteArrayView bytes = WithoutBom(input).trimmed();
    if (bytes.size() >= 10 && bytes.first(10).compare("[playlist]", Qt::CaseInsensitive) == 0) {
        return Format::Pls;
    }
    if (bytes.startsWith('<')) {
        return Format::Xspf;
    }
    return Format::M3u;
}

std::vector<Entry> ParsePls(const QByteArray &input, const QString &baseDir) {
    const QByteArrayView bytes = WithoutBom(input);
    const bool utf8 = bytes.isValidUtf8();
    const auto decode = [utf8](QByteArrayView piece) {
        return utf8 ? QString::fromUtf8(piece) : QString::fromLatin1(piece);
    };
    struct Partial {
        QString file;
        QString title;
        int seconds = Entry::kNoSeconds;
    };
    std::map<int, Partial> byNumber;
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    while (p < end) {
        const char *eol = p;
        while (eol < end && *eol != '\r' && *eol != '\n') {
            ++eol;
        }
        const QByteArrayView line = QByteArrayView(p, eol - p).trimmed();
        p = eol + 1;
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) {
            continue;
        }
        const QByteArrayView key = line.first(eq).trimmed();
        const QByteArrayView value = line.sliced(eq + 1).trimmed();
        if (const int n = NumberAfter(key, "file")) {
            byNumber[n].file = Resolve(decode(value), baseDir);
        } else if (const int n = NumberAfter(key, "title")) {
            byNumber[n].title = decode(value);
        } else if (const int n = NumberAfter(key, "length")) {
            bool ok = false;
            const int seconds = value.toInt(&ok);
            byNumber[n].seconds = ok ? seconds : Entry::kNoSeconds;
        }
    }
    std::vector<Entry> entries;
    entries.reserve(byNumber.size());
    for (auto &[n, e] : byNumber) {
        Keep(entries, std::move(e.file), std::move(e.title), e.seconds);
    }
    return entries;
}

std::vector<Entry> ParseXspf(const QByteArray &bytes, const QString &baseDir) {
    std::vector<Entry> entries;
    QXmlStreamReader xml(bytes);
    // Only <track> elements directly inside <trackList> are tracks; an extension may nest
    // elements of the same names.
    int depth = 0;
    int trackListDepth = -1;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (xml.name() == u"trackList" && trackListDepth < 0) {
                trackListDepth = depth;
            } else if (xml.name() == u"track" && depth == trackListDepth + 1) {
                QString location, title, creator;
                int seconds = Entry::kNoSeconds;
                while (xml.readNextStartElement()) {
                    const QStringView name = xml.name();
                    if (name == u"location" && location.isEmpty()) {
                        location = XspfLocation(xml.readElementText(), baseDir);
                    } else if (name == u"title") {
                        title = xml.readElementText().trimmed();
                    } else if (name == u"creator") {
                        creator = xml.readElementText().trimmed();
                    } else if (name == u"duration") {
                        bool ok = false;
                        const qlonglong ms = xml.readElementText().trimmed().toLongLong(&ok);
                        seconds = ok && ms >= 0
                                      ? m3u::EntrySeconds(static_cast<double>(ms) / 1000.0)
                                      : Entry::kNoSeconds;
                    } else {
                        xml.skipCurrentElement();
                    }
                }
                if (xml.hasError()) {
                    break; // a track cut off by damage is not kept
                }
                const QString caption = creator.isEmpty() ? title
                                        : title.isEmpty() ? creator
                                                          : creator + " - " + title;
                Keep(entries, std::move(location), caption, seconds);
                --depth; // readNextStartElement consumed the track's end
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth == trackListDepth) {
                trackListDepth = -1;
            }
            --depth;
        }
    }
    return entries;
}

std::vector<Entry> Parse(Format format, const QByteArray &bytes, const QString &baseDir) {
    switch (format) {
    case Format::Pls:
        return ParsePls(bytes, baseDir);
    case Format::Xspf:
        return ParseXspf(bytes, baseDir);
    case Format::M3u:
    case Format::M3u8:
        break;
    }
    return m3u::ParsePlaylist(bytes, baseDir);
}

std::optional<std::vector<Entry>> TryReadFile(const QString &fileName) {
    return m3u::ReadFileWith(fileName, [](const QByteArray &bytes, const QString &baseDir) {
        return Parse(SniffFormat(bytes), bytes, baseDir);
    });
}

QByteArray Render(Format format, const std::vector<Entry> &entries) {
    const auto known = [](int seconds) { return seconds != Entry::kNoSeconds; };
    QByteArray out;
    switch (format) {
    case Format::M3u:
    case Format::M3u8:
        out = m3u::HeaderLine();
        for (const Entry &e : entries) {
            out += m3u::EntryLines(known(e.seconds) ? e.seconds : -1, e.title, e.fileName);
        }
        break;
    case Format::Pls: {
        out = "[playlist]\n";
        int n = 0;
        for (const Entry &e : entries) {
            const QByteArray number = QByteArray::number(++n);
            out += "File" + number + '=' + e.fileName.toUtf8() + '\n';
            out += "Title" + number + '=' + OneLine(e.title).toUtf8() + '\n';
            out += "Length" + number + '=' + QByteArray::number(known(e.seconds) ? e.seconds : -1) +
                   '\n';
        }
        out += "NumberOfEntries=" + QByteArray::number(n) + "\nVersion=2\n";
        break;
    }
    case Format::Xspf: {
        QXmlStreamWriter xml(&out);
        xml.setAutoFormatting(true);
        xml.writeStartDocument();
        xml.writeDefaultNamespace("http://xspf.org/ns/0/");
        xml.writeStartElement("playlist");
        xml.writeAttribute("version", "1");
        xml.writeStartElement("trackList");
        for (const Entry &e : entries) {
            xml.writeStartElement("track");
            xml.writeTextElement("location", XspfReference(e.fileName));
            xml.writeTextElement("title", OneLine(e.title));
            if (known(e.seconds) && e.seconds >= 0) {
                xml.writeTextElement("duration", QString::number(qint64(e.seconds) * 1000));
            }
            xml.writeEndElement();
        }
        xml.writeEndElement();
        xml.writeEndElement();
        xml.writeEndDocument();
        break;
    }
    }
    return out;
}

} // namespace mirvane::playlists
