#include "tags/title_lookup.h"

#include "tags/id3v2.h"

#include <QFile>
#include <QFileInfo>

QString BareSongName(const QString &fileName) {
    const QString name = QFileInfo(fileName.trimmed()).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

QString BoxText(const std::string &latin1) {
    const size_t nul = latin1.find('\0');
    const size_t len = nul == std::string::npos ? latin1.size() : nul;
    return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(len));
}

std::string TagUtf8(const QString &text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::string TagFileName(const QString &fileName) {
    const QByteArray bytes = QFile::encodeName(fileName);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

SongInfo SongInfoFromTag(Id3v2Tag &tag, uint16_t status, const QString &fileName) {
    SongInfo info;
    if (status > 0xFF) {
        info.artist = BareSongName(fileName);
        return info;
    }
    const std::pair<const char *, QString *> fields[] = {
        {"TIT2", &info.title}, {"TPE1", &info.artist}, {"TALB", &info.album},
        {"TYER", &info.year},  {"TCON", &info.genre},  {"TRCK", &info.track}};
    for (const auto &[frame, field] : fields) {
        std::string text;
        tag.GetTextFrameUtf8(frame, text); // an unreadable frame leaves text empty
        *field = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    std::string comment;
    tag.GetCommentTextUtf8(comment);
    info.comment = QString::fromUtf8(comment.data(), static_cast<qsizetype>(comment.size()));
    return info;
}

SongInfo GetSongInfo(Id3v2Tag &lookupTag, const QString &fileName) {
    const uint16_t status = lookupTag.LoadTag(TagFileName(fileName), 0);
    return SongInfoFromTag(lookupTag, status, fileName);
}
