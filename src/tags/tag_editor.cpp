#include "tags/tag_editor.h"

#include "common/dialogs.h"
#include "tags/title_lookup.h"

#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QWindow>

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
    Year = MakeEdit(this, "Year", 184, 19, 33);
    Label5 = MakeLabel(this, "Label5", QStringLiteral("Genre:"), 184, 43);
    Genre = MakeEdit(this, "Genre", 184, 59, 121);
    Label6 = MakeLabel(this, "Label6", QStringLiteral("Comment:"), 184, 83);
    Comment = MakeEdit(this, "Comment", 184, 99, 185);
    Label7 = MakeLabel(this, "Label7", QStringLiteral("Track"), 8, 123);
    Track = MakeEdit(this, "Track", 8, 139, 33);
    Filename = MakeLabel(this, "Filename", QString(), 184, 139);

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
    hide();
}

void TagEditor::ClearBoxes() {
    for (QLineEdit *box : {Artist, Title, Album, Year, Genre, Comment, Track}) {
        box->clear();
    }
}

void TagEditor::LoadButtonClick() {
    ClearBoxes();
    const QString file = mirvane::AskOpenFileName(this, mirvane::FileQuestion{});
    if (file.isEmpty()) {
        return;
    }
    const uint16_t status = Tag.LoadTag(TagFileName(file), 0);
    ShowSongInfo(SongInfoFromTag(Tag, status, file));
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

void TagEditor::SaveButtonClick() {
    const std::pair<const char *, QLineEdit *> texts[] = {{"TIT2", Title}, {"TPE1", Artist},
                                                          {"TALB", Album}, {"TYER", Year},
                                                          {"TCON", Genre}, {"TRCK", Track}};
    for (const auto &[frame, box] : texts) {
        Tag.SetTextFrame(frame, TagText(box->text()));
    }
    COMM comment;
    comment.Encoding = 0;
    comment.Language = "ENG";
    comment.Text = TagText(Comment->text());
    Tag.SetCommentFrame(comment, "", "None");
    const uint16_t status = Tag.SaveTag("=", 0xFF, 0xFF, -1);
    ClearBoxes();
    if (status > 0xFF) {
        mirvane::ShowMessage(this, QStringLiteral("Error #%1! Could not save Tag!").arg(status),
                             QStringLiteral("Mirvane Player"), mirvane::MsgIcon::None);
    }
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
