#include "playback/playlist_window.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWindow>

#include "app/program.h"
#include "bass_fx.h"
#include "common/dialogs.h"
#include "common/paths.h"
#include "common/rounding.h"
#include "playback/add_directory_dialog.h"
#include "playback/m3u.h"
#include "playback/playlist_formats.h"
#include "radio/radio_window.h"
#include "tags/id3v2.h"
#include "tags/title_lookup.h"

using mirvane::PlaylistModel;
using mirvane::PlaylistRow;

namespace {

// Extensions a command-line file may have (lower case, with the dot).
const QStringList kCommandLineExtensions = {".mp1", ".mp2", ".mp3", ".xm",  ".it",
                                            ".s3m", ".mod", ".mtm", ".ogg", ".wav"};
// The playlist file formats the open and save dialogs offer.
const QStringList kPlaylistFilters = {"M3U Playlist (*.m3u)", "M3U8 Playlist (*.m3u8)",
                                      "PLS Playlist (*.pls)", "XSPF Playlist (*.xspf)"};
// Dropped files: the upper-cased extension must occur inside one of these.
const QStringList kDropExtensions = {".MP1", ".MP2", ".MP3", ".OGG", ".WAV",
                                     ".MOD", ".MTM", ".S3M", ".IT",  ".XM"};

// The extension with its dot, from the last dot of the name part; "" when there is none.
QString ExtractFileExt(const QString &name) {
    const qsizetype slash = name.lastIndexOf('/');
    const qsizetype dot = name.lastIndexOf('.');
    return dot > slash ? name.mid(dot) : QString();
}

QByteArray LibraryPath(const QString &fileName) {
    return fileName.toUtf8();
}

} // namespace

PlaylistWindow::PlaylistWindow(mirvane::Program &program)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), program_(program),
      engine_(*program.engine) {
    setObjectName("Form2");
    setWindowTitle("Mirvane PlayList");
    setAcceptDrops(true);
    BuildControls();
    resize(370, 474);
    setMinimumSize(40, 30);

    // The title bar follows the list, the selection and the playing state.
    const auto caption = [this] { UpdatePlaylistCaption(); };
    connect(&Rows(), &QAbstractItemModel::rowsInserted, this, caption);
    connect(&Rows(), &QAbstractItemModel::rowsRemoved, this, caption);
    connect(&Rows(), &QAbstractItemModel::modelReset, this, caption);
    connect(&engine_.Selection(), &QItemSelectionModel::selectionChanged, this, caption);
    connect(&engine_, &mirvane::PlaybackEngine::stateChanged, this, caption);
    connect(&engine_, &mirvane::PlaybackEngine::rowShown, this,
            [this](int row) { ListView1->scrollTo(Rows().index(row, 0)); });

    // Library start; without the right library version there are no rows and no playback.
    audioStarted_ = StartAudioLibrary();
    if (!audioStarted_) {
        return;
    }
    PlayCommandLineFile(mirvane::CommandLineFile(program_.commandLine));
    AddAutomaticPlaylist();
    mirvane::ProcessPendingEvents();
    UpdatePlaylistCaption();
}

void PlaylistWindow::PlayCommandLineFile(const QString &file) {
    const QFileInfo info(file);
    if (!file.isEmpty() && info.exists() &&
        kCommandLineExtensions.contains(ExtractFileExt(file).trimmed().toLower())) {
        AppendEntry(info.absoluteFilePath());
        PlayEntry(RowCount() - 1);
    }
}

PlaylistWindow::~PlaylistWindow() {
    BASS_FX_Free();
}

void PlaylistWindow::BuildControls() {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Panel2 = new QLabel(this);
    Panel2->setObjectName("Panel2");
    Panel2->setFixedHeight(17);
    Panel2->setText("Playlist");
    Panel2->setTextFormat(Qt::PlainText);
    Panel2->setAlignment(Qt::AlignCenter);
    Panel2->setAutoFillBackground(true);
    Panel2->setStyleSheet("background: black; color: red; font-weight: bold;");
    Panel2->installEventFilter(this);
    layout->addWidget(Panel2);

    Label1 = new QLabel("X", Panel2);
    Label1->setObjectName("Label1");
    Label1->setStyleSheet("color: yellow; font-weight: bold;");
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->setToolTip("Close");
    Label1->installEventFilter(this);

    ListView1 = new QTreeView(this);
    ListView1->setObjectName("ListView1");
    ListView1->setModel(&engine_.Rows());
    ListView1->setSelectionModel(&engine_.Selection());
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true); // keeps a list of 100,000 rows fast
    ListView1->setItemsExpandable(false);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setToolTip("DoubleClick the song to play");
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    ListView1->setIconSize(QSize(16, 16));
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setMinimumSectionSize(1);
    ListView1->header()->resizeSection(0, 410);
    ListView1->header()->resizeSection(1, 1);
    ListView1->setStyleSheet(
        "QTreeView { background: black; color: red; font-weight: bold; }"
        "QHeaderView::section { background: #202020; color: #c0c0c0; border: 0; padding-left: 3px; "
        "}"
        "QScrollBar { background: #181818; width: 12px; height: 12px; }"
        "QScrollBar::handle { background: #505050; min-width: 20px; min-height: 20px; }"
        "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: none; }");
    layout->addWidget(ListView1, 1);
    connect(ListView1, &QTreeView::doubleClicked, this, [this] { ListView1DblClick(); });
    connect(ListView1, &QWidget::customContextMenuRequested, this,
            [this] { RemoveMenu->popup(QCursor::pos()); });
    connect(ListView1->header(), &QHeaderView::sectionResized, this,
            [this](int section, int, int size) {
                if (section == 0 && size < 150) {
                    ListView1->header()->resizeSection(0, 150); // the Title column's minimum
                }
            });

    Panel3 = new QLabel(this);
    Panel3->setObjectName("Panel3");
    Panel3->setFixedHeight(33);
    Panel3->setAutoFillBackground(true);
    Panel3->setStyleSheet("background: black;");
    Panel3->installEventFilter(this);
    layout->addWidget(Panel3);

    const auto makeButton = [this](const char *name, const QString &text, int x) {
        auto *b = new QPushButton(text, Panel3);
        b->setObjectName(name);
        b->setGeometry(x, 8, 49, 17);
        b->setFocusPolicy(Qt::NoFocus);
        b->setStyleSheet("QPushButton { background: #202020; color: white; border: 1px solid "
                         "#808080; font-size: 10px; } QPushButton:hover { border-color: red; }");
        return b;
    };
    JvXPButton3 = makeButton("JvXPButton3", "Add", 8);
    JvXPButton2 = makeButton("JvXPButton2", "Del", 64);
    JvXPButton1 = makeButton("JvXPButton1", "Save", 120);

    Image1 = new QLabel(Panel3);
    Image1->setObjectName("Image1");
    Image1->setFixedSize(33, 33);
    Image1->setCursor(Qt::SizeFDiagCursor);
    Image1->setToolTip("Resize me");
    {
        QPixmap grip(33, 33);
        grip.fill(Qt::black);
        QPainter p(&grip);
        p.setPen(QColor(160, 160, 160));
        for (int i = 0; i < 4; ++i) {
            const int o = 10 + i * 6;
            p.drawLine(o, 31, 31, o);
        }
        Image1->setPixmap(grip);
    }
    Image1->installEventFilter(this);

    AddMenu = new QMenu(this);
    QMenu *addFiles = AddMenu->addMenu("Add File(s)");
    connect(addFiles->addAction("Add File"), &QAction::triggered, this,
            &PlaylistWindow::AddFileClick);
    connect(addFiles->addAction("Add Directory"), &QAction::triggered, this,
            &PlaylistWindow::AddDirectoryClick);
    connect(AddMenu->addAction("Add Internet stream"), &QAction::triggered, this,
            &PlaylistWindow::AddInternetStreamClick);
    connect(AddMenu->addAction("Open Playlist"), &QAction::triggered, this,
            &PlaylistWindow::OpenPlaylistClick);
    RemoveMenu = new QMenu(this);
    connect(RemoveMenu->addAction("Remove All"), &QAction::triggered, this,
            &PlaylistWindow::RemoveAllClick);
    connect(RemoveMenu->addAction("Remove Selected"), &QAction::triggered, this,
            &PlaylistWindow::RemoveSelectedClick);
    SaveMenu = new QMenu(this);
    connect(SaveMenu->addAction("Save Playlist"), &QAction::triggered, this,
            &PlaylistWindow::SavePlaylistClick);
    connect(JvXPButton3, &QPushButton::clicked, this, [this] { AddMenu->popup(QCursor::pos()); });
    connect(JvXPButton2, &QPushButton::clicked, this,
            [this] { RemoveMenu->popup(QCursor::pos()); });
    connect(JvXPButton1, &QPushButton::clicked, this, [this] { SaveMenu->popup(QCursor::pos()); });
}

void PlaylistWindow::paintEvent(QPaintEvent *event) {
    QWidget::paintEvent(event);
    // Keep the close label at the right end of the title bar and the grip at the right end of
    // the bottom bar, whatever the width.
    Label1->setGeometry(Panel2->width() - 14, 1, 12, 15);
    Image1->move(Panel3->width() - Image1->width(), 0);
}

bool PlaylistWindow::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == Panel2 || watched == Panel3) {
            if (windowHandle()) {
                windowHandle()->startSystemMove();
            }
            return true;
        }
        if (watched == Image1) {
            emit gripPressed();
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == Image1) {
            emit gripReleased();
            return true;
        }
        if (watched == Label1) {
            Label1Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- Rows ------------------------------------------------------------------------------

std::pair<QString, QString> PlaylistWindow::LookUpTitle(const QString &fileName) {
    if (!program_.lookupTag) {
        return {QFileInfo(fileName).completeBaseName(), QString()};
    }
    const SongInfo info = GetSongInfo(*program_.lookupTag, fileName);
    return {info.artist, info.title};
}

void PlaylistWindow::AppendEntry(const QString &fileName) {
    const auto [artist, title] = LookUpTitle(fileName);
    Rows().append(
        PlaylistRow{QString::number(RowCount() + 1) + ". " + artist + " - " + title, fileName});
}

void PlaylistWindow::UpdatePlaylistCaption() {
    Panel2->setText("Playlist - " + QString::number(SelectedRow() + 1) + " of " +
                    QString::number(RowCount()) + " Songs");
}

void PlaylistWindow::ReadPlaylist(const QString &fileName) {
    std::vector<mirvane::m3u::Entry> entries =
        mirvane::playlists::TryReadFile(fileName).value_or(std::vector<mirvane::m3u::Entry>{});
    std::vector<PlaylistRow> rows;
    rows.reserve(entries.size());
    for (auto &e : entries) {
        rows.push_back(PlaylistRow{std::move(e.title), std::move(e.fileName)});
    }
    Rows().append(std::move(rows));
    mirvane::ProcessPendingEvents();
}

void PlaylistWindow::AddAutomaticPlaylist() {
    const QString automatic = mirvane::WritableDataDir() + "playlist.m3u";
    const mirvane::FileStamp written = mirvane::StampOf(automatic);
    if (written.isFile) {
        const auto entries = mirvane::m3u::TryReadPlaylistFile(automatic);
        if (!entries) {
            KeepUnreadablePlaylistAside(automatic);
            return;
        }
        // The numbers this program wrote are the lengths of files that have not changed since;
        // they spare measuring those files again at exit. Only hints: nothing is looked at now.
        std::vector<PlaylistRow> rows;
        rows.reserve(entries->size());
        for (const auto &e : *entries) {
            if (e.seconds >= 0) {
                lengths_.AddHint(e.fileName, e.seconds, written.modifiedNs);
            }
            rows.push_back(PlaylistRow{e.title, e.fileName});
        }
        Rows().append(std::move(rows));
        mirvane::ProcessPendingEvents();
    } else if (!QFileInfo::exists(automatic)) {
        // The very first start: a few short tracks of our own, so that there is something to
        // hear at once.
        ReadPlaylist(mirvane::DataDir() + "demo/demo.m3u");
    }
    playlistRead_ = true;
}

void PlaylistWindow::KeepUnreadablePlaylistAside(const QString &automatic) {
    // Writing the list at exit would replace the user's rows with the empty list read now.
    QString aside = automatic + ".unreadable";
    for (int n = 2; QFileInfo::exists(aside); ++n) {
        aside = automatic + ".unreadable-" + QString::number(n);
    }
    if (QFile::rename(automatic, aside)) {
        playlistRead_ = true; // a new list may be kept from now on
        mirvane::ShowMessage(this,
                             "The playlist could not be read. It was kept as\n" + aside +
                                 "\nand a new one is started.",
                             "Mirvane Player", mirvane::MsgIcon::Warning);
    } else {
        mirvane::ShowMessage(this,
                             "The playlist could not be read:\n" + automatic +
                                 "\nIt is left as it is; this session's list is not kept.",
                             "Mirvane Player", mirvane::MsgIcon::Warning);
    }
}

int PlaylistWindow::MeasureSeconds(const QString &fileName) {
    // A decode-only stream needs no output device, so lengths are right even without sound.
    const QByteArray path = LibraryPath(fileName);
    const HSTREAM h = BASS_StreamCreateFile(FALSE, path.constData(), 0, 0, BASS_STREAM_DECODE);
    if (h == 0) {
        return -1; // not a stream (tracker music, or a file the library rejects)
    }
    const int seconds =
        mirvane::m3u::EntrySeconds(BASS_ChannelBytes2Seconds(h, BASS_StreamGetLength(h)));
    BASS_StreamFree(h);
    return seconds;
}

std::vector<mirvane::m3u::Entry> PlaylistWindow::EntriesToSave() {
    std::vector<mirvane::m3u::Entry> entries;
    const auto measure = [this](const QString &name) { return MeasureSeconds(name); };
    for (int i = 0; i < RowCount(); ++i) {
        const PlaylistRow &row = Rows().row(i);
        // A name with a line break could not be read back as one row.
        if (row.fileName.contains('\n') || row.fileName.contains('\r')) {
            continue;
        }
        const mirvane::FileStamp stamp = mirvane::StampOf(row.fileName);
        if (!stamp.isFile) {
            continue;
        }
        const int seconds = lengths_.SecondsOf(row.fileName, stamp, measure);
        entries.push_back(mirvane::m3u::Entry{Rows().caption(i), row.fileName, seconds});
    }
    return entries;
}

bool PlaylistWindow::WritePlaylist(QIODevice &file, mirvane::playlists::Format format) {
    const QByteArray bytes = mirvane::playlists::Render(format, EntriesToSave());
    return file.write(bytes) == bytes.size();
}

bool PlaylistWindow::SavePlaylistFile(const QString &fileName, QWidget *messageOwner) {
    const auto writeError = [messageOwner] {
        mirvane::ShowMessage(messageOwner, "Can't write the chosen file...", "Write-Error",
                             mirvane::MsgIcon::Error, true);
    };
    QSaveFile file(QFileInfo(fileName).absoluteFilePath());
    if (!file.open(QIODevice::WriteOnly)) {
        writeError();
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The extension chooses the format; any other name gets M3U, the list's own format.
    bool ok = WritePlaylist(
        file, mirvane::playlists::FormatOfName(fileName).value_or(mirvane::playlists::Format::M3u));
    // Only a complete list replaces the old file; after a failure the old one stays whole.
    ok = ok ? file.commit() : (file.cancelWriting(), false);
    QApplication::restoreOverrideCursor();
    if (!ok) {
        writeError();
    }
    return ok;
}

void PlaylistWindow::SaveAutomaticPlaylist(QWidget *messageOwner) {
    // Without the audio library the automatic playlist was never read; writing then would
    // replace the user's list with an empty one.
    if (!playlistRead_) {
        return;
    }
    const QString dir = mirvane::WritableDataDir();
    QDir().mkpath(dir); // the user's data folder may not exist yet
    SavePlaylistFile(dir + "playlist.m3u", messageOwner);
}

// ---- Menus and buttons -------------------------------------------------------------------

void PlaylistWindow::AddFileClick() {
    mirvane::FileQuestion q;
    q.title = "Add File to Playlist";
    q.filters = {"Mirvane Playable Files (*.mp1 *.mp2 *.mp3 *.mod *.xm *.mtm *.s3m *.ogg *.wav)",
                 "File streams (*.mp1 *.mp2 *.mp3 *.ogg *.wav)",
                 "MOD Music (*.xm *.it *.mod *.mtm *.s3m)"};
    const QString chosen = mirvane::AskOpenFileName(this, q);
    if (!chosen.isEmpty()) {
        repaint();
        AppendEntry(QFileInfo(chosen).absoluteFilePath());
    }
    mirvane::ProcessPendingEvents();
}

void PlaylistWindow::AddDirectoryClick() {
    // One search at a time: while one runs, its dialog comes to the front. Otherwise a fresh
    // dialog replaces the last one instead of piling up hidden ones.
    if (addDirectory_ && addDirectory_->Searching()) {
        addDirectory_->show();
        addDirectory_->raise();
        return;
    }
    delete addDirectory_;
    addDirectory_ = new AddDirectoryDialog(*this, Rows(), LastAddedDir);
    addDirectory_->show();
}

void PlaylistWindow::AddInternetStreamClick() {
    if (program_.radio) {
        program_.radio->show();
        program_.radio->raise();
    }
}

void PlaylistWindow::OpenPlaylistClick() {
    mirvane::FileQuestion q;
    q.title = "Open Playlist";
    q.filters = QStringList{"Playlists (*.m3u *.m3u8 *.pls *.xspf)"} + kPlaylistFilters;
    q.defaultSuffix = "m3u";
    const QString chosen = mirvane::AskOpenFileName(this, q);
    if (!chosen.isEmpty()) {
        lastOpenedPlaylist_ = chosen;
        ReadPlaylist(chosen);
    }
}

void PlaylistWindow::SavePlaylistClick() {
    mirvane::FileQuestion q;
    q.title = "Save Playlist";
    q.filters = kPlaylistFilters;
    q.defaultSuffix = "m3u";
    q.confirmOverwrite = true;
    const QString chosen = mirvane::AskSaveFileName(this, q);
    if (!chosen.isEmpty()) {
        repaint();
        // The list goes under the name given; a name without any extension gets ".m3u".
        SavePlaylistFile(ExtractFileExt(chosen).isEmpty() ? chosen + ".m3u" : chosen, nullptr);
    }
    mirvane::ProcessPendingEvents();
}

void PlaylistWindow::RemoveAllClick() {
    Rows().clear();
}

void PlaylistWindow::RemoveSelectedClick() {
    const int row = SelectedRow();
    if (row < 0) {
        return;
    }
    // The engine keeps its playing index on the row it names.
    Rows().removeAt(row);
    // The view would select a neighbour; a removal leaves nothing selected.
    engine_.Selection().clearSelection();
}

void PlaylistWindow::ListView1DblClick() {
    const int row = SelectedRow();
    if (row < 0) {
        return;
    }
    // The mark of the row that played goes also while the radio holds the status text.
    engine_.SetMark(engine_.CurrentIndex(), false);
    PlayEntry(row);
    ListView1->setFocus();
}

void PlaylistWindow::Label1Click() {
    emit closeRequested();
}

void PlaylistWindow::ResizeToCursor() {
    const QPoint cursor = QCursor::pos();
    const int w = cursor.x() - x();
    const int h = cursor.y() - y();
    QSize size = this->size();
    if (w > 0) {
        size.setWidth(std::max(w, minimumWidth()));
    }
    if (h > 0) {
        size.setHeight(std::max(h, minimumHeight()));
    }
    resize(size);
}

// ---- Dropped files -------------------------------------------------------------------------

void PlaylistWindow::dragEnterEvent(QDragEnterEvent *event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void PlaylistWindow::dropEvent(QDropEvent *event) {
    QStringList names;
    for (const QUrl &url : event->mimeData()->urls()) {
        names << (url.isLocalFile() ? url.toLocalFile() : url.toString());
    }
    event->acceptProposedAction();
    WMDropFiles(names);
}

void PlaylistWindow::WMDropFiles(const QStringList &names) {
    for (const QString &name : names) {
        // A dropped list brings its entries, not itself as a track.
        if (mirvane::playlists::FormatOfName(name)) {
            ReadPlaylist(name);
            continue;
        }
        const QString ext = ExtractFileExt(name).toUpper();
        bool accepted = false;
        if (!ext.isEmpty()) {
            for (const QString &known : kDropExtensions) {
                accepted = accepted || known.contains(ext);
            }
        }
        if (!accepted) {
            mirvane::ShowMessage(this, "The dropped file is not a valid music file!...", "Error",
                                 mirvane::MsgIcon::Error);
            continue;
        }
        AppendEntry(name);
    }
    mirvane::ProcessPendingEvents();
}

// ---- Engine ----------------------------------------------------------------------------------

bool PlaylistWindow::StartAudioLibrary() {
    return engine_.StartAudioLibrary(program_.getAudioVersion(),
                                     [this](const QString &message) { ShowAudioError(message); });
}

void PlaylistWindow::ShowAudioError(const QString &message) {
    const auto code = static_cast<quint32>(BASS_ErrorGetCode());
    mirvane::ShowMessage(this, message + "\r\n(error code: " + QString::number(code) + ")", "Error",
                         mirvane::MsgIcon::Error);
}
