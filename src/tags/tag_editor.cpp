#include "tags/tag_editor.h"

#include "common/dialogs.h"
#include "tags/title_lookup.h"

#include <QFileInfo>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QWindow>

#include <algorithm>
#include <tuple>

namespace {

QLabel *MakeLabel(QWidget *parent, const char *name, const QString &text, int x, int y) {
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(QFont(QStringLiteral("Verdana"), 8));
    label->move(x, y);
    label->adjustSize();
    return label;
}

QLineEdit *MakeEdit(QWidget *parent, const char *name, int x, int y, int width) {
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(x, y, width, 21);
    return edit;
}

} // namespace

TagEditor::TagEditor(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("id32"));
    setWindowTitle(QStringLiteral("ID3 Information"));
    resize(389, 223);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    Label1 = MakeLabel(this, "Label1", QStringLiteral("Artist:"), 8, 3);
    Artist = MakeEdit(this, "Artist", 8, 19, 137);
    Label2 = MakeLabel(this, "Label2", QStringLiteral("Title:"), 8, 43);
    Title = MakeEdit(this, "Title", 8, 59, 137);
    Label3 = MakeLabel(this, "Label3", QStringLiteral("Album:"), 8, 83);
    Album = MakeEdit(this, "Album", 8, 99, 137);
    Label4 = MakeLabel(this, "Label4", QStringLiteral("Year:"), 184, 3);
    // Wide enough for four digits in the box's own font.
    Year = MakeEdit(this, "Year", 184, 19, 33);
    Year->setFixedWidth(
        std::max(33, Year->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 14));
    Label5 = MakeLabel(this, "Label5", QStringLiteral("Genre:"), 184, 43);
    Genre = MakeEdit(this, "Genre", 184, 59, 121);
    Label6 = MakeLabel(this, "Label6", QStringLiteral("Comment:"), 184, 83);
    Comment = MakeEdit(this, "Comment", 184, 99, 185);
    Label7 = MakeLabel(this, "Label7", QStringLiteral("Track"), 8, 123);
    Track = MakeEdit(this, "Track", 8, 139, 33);
    Filename = MakeLabel(this, "Filename", QString(), 184, 139);
    Filename->setFixedWidth(180);
    StatusLine = MakeLabel(this, "StatusLine", QString(), 100, 173);
    StatusLine->setFixedWidth(172);

    LoadButton = new QPushButton(QStringLiteral("Load"), this);
    LoadButton->setObjectName(QStringLiteral("LoadButton"));
    LoadButton->setGeometry(16, 168, 75, 25);
    savebutton = new QPushButton(QStringLiteral("Save"), this);
    savebutton->setObjectName(QStringLiteral("savebutton"));
    savebutton->setGeometry(280, 168, 81, 25);

    CloseLabel = MakeLabel(this, "CloseLabel", QStringLiteral("X"), 376, 2);
    QPalette red = CloseLabel->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    CloseLabel->setPalette(red);
    CloseLabel->setCursor(Qt::PointingHandCursor);
    CloseLabel->installEventFilter(this);

    // Tab order: Title, Artist, Comment, Album, Genre, Year, Track, then the buttons.
    QWidget *order[] = {Title, Artist, Comment, Album, Genre, Year, Track, LoadButton, savebutton};
    for (size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(order[i], order[i + 1]);
    }

    connect(LoadButton, &QPushButton::clicked, this, &TagEditor::LoadButtonClick);
    connect(savebutton, &QPushButton::clicked, this, &TagEditor::SaveButtonClick);
    savebutton->setEnabled(false); // nothing loaded yet
    hide();
}

void TagEditor::ClearBoxes() {
    for (QLineEdit *box : {Artist, Title, Album, Year, Genre, Comment, Track}) {
        box->clear();
    }
}

void TagEditor::LoadButtonClick() {
    const QString file = mirvane::AskOpenFileName(this, mirvane::FileQuestion{});
    if (file.isEmpty()) {
        return;
    }
    LoadFile(file);
}

void TagEditor::LoadFile(const QString &fileName) {
    const std::string name = TagFileName(fileName);
    id3v2::RemoveStaleSaveFiles(name);
    const uint16_t status = Tag.LoadTag(name, 0);
    Filename->setText(QFileInfo(fileName).fileName());
    Filename->setToolTip(fileName);
    // A readable file without a tag is an empty tag to fill in.
    const bool untagged = status == id3v2::kNoTag && Tag.LoadStatus == 0;
    if (status > 0xFF && !untagged) {
        ClearBoxes();
        fileFields_ = SongInfo{};
        savebutton->setEnabled(false);
        StatusLine->setText(QStringLiteral("Cannot read this file's tag (#%1).").arg(status));
        return;
    }
    fileFields_ = untagged ? SongInfo{} : SongInfoFromTag(Tag, status, fileName);
    ShowSongInfo(fileFields_);
    savebutton->setEnabled(true);
    StatusLine->setText(untagged ? QStringLiteral("No tag yet: Save adds one.") : QString());
}

void TagEditor::ShowSongInfo(const SongInfo &info) {
    Title->setText(info.title);
    Artist->setText(info.artist);
    Album->setText(info.album);
    Year->setText(info.year);
    Genre->setText(info.genre);
    Track->setText(info.track);
    Comment->setText(info.comment);
}

SongInfo TagEditor::BoxFields() const {
    SongInfo info;
    info.title = Title->text();
    info.artist = Artist->text();
    info.album = Album->text();
    info.year = Year->text();
    info.genre = Genre->text();
    info.track = Track->text();
    info.comment = Comment->text();
    return info;
}

namespace {

QString SaveFailureText(uint16_t status) {
    switch (status & 0xFF00) {
    case id3v2::kReadOnly:
        return QStringLiteral("The file is write-protected.");
    case id3v2::kCannotReplace:
        return QStringLiteral("The file has other links or its folder is write-protected.");
    case id3v2::kWriteError:
        return QStringLiteral("The file could not be written; it is unchanged.");
    case id3v2::kNoFrames:
        return QStringLiteral("A tag needs at least one field.");
    default:
        return QStringLiteral("The file is unchanged.");
    }
}

} // namespace

void TagEditor::SaveButtonClick() {
    const SongInfo typed = BoxFields();
    const std::tuple<const char *, const QString &, const QString &> texts[] = {
        {"TIT2", typed.title, fileFields_.title}, {"TPE1", typed.artist, fileFields_.artist},
        {"TALB", typed.album, fileFields_.album}, {"TYER", typed.year, fileFields_.year},
        {"TCON", typed.genre, fileFields_.genre}, {"TRCK", typed.track, fileFields_.track}};
    // Only edited fields are written: a frame shown partly or not at all stays as it is.
    for (const auto &[frame, now, before] : texts) {
        if (now != before) {
            Tag.SetTextFrameUtf8(frame, TagUtf8(now));
        }
    }
    if (typed.comment != fileFields_.comment) {
        Tag.SetCommentTextUtf8(TagUtf8(typed.comment));
    }
    const uint16_t status = Tag.SaveTag("=", 0xFF, 0xFF, -1);
    if (status <= 0xFF) {
        fileFields_ = typed;
        StatusLine->setText(QStringLiteral("Tag saved."));
        return;
    }
    // The file is unchanged: bring the tag object back to it, so that the edits are applied
    // afresh by the next Save. The boxes keep what the user typed.
    const std::string file = Tag.FileName; // LoadTag forgets the name first
    if (!file.empty() && Tag.LoadTag(file, 0) > 0xFF && Tag.LoadStatus != 0) {
        savebutton->setEnabled(false);
    }
    StatusLine->setText(SaveFailureText(status));
    mirvane::ShowMessage(this, QStringLiteral("Error #%1! Could not save Tag!").arg(status),
                         QStringLiteral("Mirvane Player"), mirvane::MsgIcon::None);
}

void TagEditor::mousePressEvent(QMouseEvent *event) {
    // Frameless: a press on the window's own surface moves it.
    if (event->button() == Qt::LeftButton && windowHandle()) {
        windowHandle()->startSystemMove();
    }
    QWidget::mousePressEvent(event);
}

void TagEditor::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TagEditor::eventFilter(QObject *watched, QEvent *event) {
    if (watched == CloseLabel && event->type() == QEvent::MouseButtonRelease) {
        hide();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
