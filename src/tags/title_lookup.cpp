#include "tags/title_lookup.h"

#include "tags/id3v2.h"
#include "tags/tag_editor.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

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

std::string TagText(const QString &text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::string TagFileName(const QString &fileName) {
    const QByteArray bytes = QFile::encodeName(fileName);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void ShowTagInBoxes(TagEditor &editor, Id3v2Tag &tag, uint16_t status, const QString &fileName) {
    if (status > 0xFF) {
        editor.Artist->setText(BareSongName(fileName));
        return;
    }
    struct Box {
        const char *frame;
        QLineEdit *edit;
    };
    const Box boxes[] = {{"TIT2", editor.Title}, {"TPE1", editor.Artist}, {"TALB", editor.Album},
                         {"TYER", editor.Year},  {"TCON", editor.Genre},  {"TRCK", editor.Track}};
    for (const Box &box : boxes) {
        std::string text;
        tag.GetTextFrame(box.frame, text); // an unreadable frame leaves text empty
        box.edit->setText(BoxText(text));
    }
    COMM comment;
    tag.GetCommentFrame(comment, "", "None");
    editor.Comment->setText(BoxText(comment.Text));
}

void GetSongInfo(TagEditor &editor, Id3v2Tag &lookupTag, const QString &fileName) {
    editor.ClearBoxes();
    const uint16_t status = lookupTag.LoadTag(TagFileName(fileName), 0);
    ShowTagInBoxes(editor, lookupTag, status, fileName);
}
