#include "playback/playlist_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
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

#include "app/player_window.h"
#include "app/program.h"
#include "bass_fx.h"
#include "common/dialogs.h"
#include "common/paths.h"
#include "controls/bitmap_font_label.h"
#include "controls/bitmap_slider.h"
#include "effects/equalizer_window.h"
#include "playback/m3u.h"
#include "radio/radio_window.h"
#include "tags/id3v2.h"
#include "tags/tag_editor.h"
#include "tags/title_lookup.h"

using mirvane::PlaylistModel;
using mirvane::PlaylistRow;

namespace {

// Extensions a command-line file may have (lower case, with the dot).
const QStringList kCommandLineExtensions = {".mp1", ".mp2", ".mp3", ".xm",  ".it",
                                            ".s3m", ".mod", ".mtm", ".ogg", ".wav"};
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

using mirvane::m3u::MinutesSeconds;

} // namespace

PlaylistWindow::PlaylistWindow(mirvane::Program &program)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), program_(program) {
    setObjectName("Form2");
    setWindowTitle("Mirvane PlayList");
    setAcceptDrops(true);
    BuildControls();
    resize(370, 474);
    setMinimumSize(40, 30);

    // Library start; without the right library version there are no rows and no playback.
    audioStarted_ = StartAudioLibrary();
    if (!audioStarted_) {
        return;
    }
    const QString file =
        program_.player ? program_.player->GetCMDLineFile(program_.commandLine) : QString();
    const QFileInfo info(file);
    if (!file.isEmpty() && info.exists() &&
        kCommandLineExtensions.contains(ExtractFileExt(file).trimmed().toLower())) {
        AppendEntry(info.absoluteFilePath());
        PlayEntry(model_.count() - 1);
    }
    AddAutomaticPlaylist();
    mirvane::ProcessPendingEvents();
    UpdatePlaylistCaption();
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
    ListView1->setModel(&model_);
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

    if (program_.player && program_.player->ImageList1.size() > PlaylistModel::kPlayingMark) {
        model_.setMarkIcon(program_.player->ImageList1[PlaylistModel::kPlayingMark]);
    }
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
        if (watched == Image1 && program_.player) {
            program_.player->SetTimer(PlayerWindow::kGripTimer, 1);
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == Image1 && program_.player) {
            program_.player->KillTimer(PlayerWindow::kGripTimer);
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

int PlaylistWindow::SelectedRow() const {
    const QModelIndexList rows = ListView1->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void PlaylistWindow::SelectRow(int row) {
    if (!model_.isValidRow(row)) {
        return;
    }
    const QModelIndex index = model_.index(row, 0);
    ListView1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
    ListView1->scrollTo(index);
}

QString PlaylistWindow::Caption(int row) const {
    return model_.isValidRow(row) ? model_.row(row).caption : QString();
}

QString PlaylistWindow::FileName(int row) const {
    return model_.isValidRow(row) ? model_.row(row).fileName : QString();
}

void PlaylistWindow::SetMark(int row, bool on) {
    model_.setStateIndex(row, on ? PlaylistModel::kPlayingMark : -1);
}

std::pair<QString, QString> PlaylistWindow::LookUpTitle(const QString &fileName) {
    if (!program_.lookupTag) {
        return {QFileInfo(fileName).completeBaseName(), QString()};
    }
    const SongInfo info = GetSongInfo(*program_.lookupTag, fileName);
    return {info.artist, info.title};
}

void PlaylistWindow::AppendEntry(const QString &fileName) {
    const auto [artist, title] = LookUpTitle(fileName);
    model_.append(
        PlaylistRow{QString::number(model_.count() + 1) + ". " + artist + " - " + title, fileName});
}

void PlaylistWindow::UpdatePlaylistCaption() {
    Panel2->setText("Playlist - " + QString::number(SelectedRow() + 1) + " of " +
                    QString::number(model_.count()) + " Songs");
}

void PlaylistWindow::ReadPlaylist(const QString &fileName) {
    std::vector<mirvane::m3u::Entry> entries = mirvane::m3u::ReadPlaylistFile(fileName);
    std::vector<PlaylistRow> rows;
    rows.reserve(entries.size());
    for (auto &e : entries) {
        rows.push_back(PlaylistRow{std::move(e.title), std::move(e.fileName)});
    }
    model_.append(std::move(rows));
    mirvane::ProcessPendingEvents();
}

void PlaylistWindow::AddAutomaticPlaylist() {
    const QString automatic = mirvane::ProgramDir() + "playlist.m3u";
    const mirvane::FileStamp written = mirvane::StampOf(automatic);
    if (written.isFile) {
        // The numbers this program wrote are the lengths of files that have not changed since;
        // they spare measuring those files again at exit. Only hints: nothing is looked at now.
        const auto entries = mirvane::m3u::ReadPlaylistFile(automatic);
        std::vector<PlaylistRow> rows;
        rows.reserve(entries.size());
        for (const auto &e : entries) {
            if (e.seconds >= 0) {
                lengths_.AddHint(e.fileName, e.seconds, written.modifiedNs);
            }
            rows.push_back(PlaylistRow{e.title, e.fileName});
        }
        model_.append(std::move(rows));
        mirvane::ProcessPendingEvents();
    } else if (!QFileInfo::exists(automatic)) {
        // The very first start: a few short tracks of our own, so that there is something to
        // hear at once.
        ReadPlaylist(mirvane::ProgramDir() + "demo/demo.m3u");
    }
    playlistRead_ = true;
}

int PlaylistWindow::MeasureSeconds(const QString &fileName) {
    // A decode-only stream needs no output device, so lengths are right even without sound.
    const QByteArray path = LibraryPath(fileName);
    const HSTREAM h = BASS_StreamCreateFile(FALSE, path.constData(), 0, 0, BASS_STREAM_DECODE);
    if (h == 0) {
        return -1; // not a stream (tracker music, or a file the library rejects)
    }
    const int seconds =
        mirvane::m3u::RoundHalfEven(BASS_ChannelBytes2Seconds(h, BASS_StreamGetLength(h)));
    BASS_StreamFree(h);
    return seconds;
}

bool PlaylistWindow::WritePlaylist(QIODevice &file) {
    if (file.write(mirvane::m3u::HeaderLine()) < 0) {
        return false;
    }
    const auto measure = [this](const QString &name) { return MeasureSeconds(name); };
    for (int i = 0; i < model_.count(); ++i) {
        const PlaylistRow &row = model_.row(i);
        // A name with a line break could not be read back as one row.
        if (row.fileName.contains('\n') || row.fileName.contains('\r')) {
            continue;
        }
        const mirvane::FileStamp stamp = mirvane::StampOf(row.fileName);
        if (!stamp.isFile) {
            continue;
        }
        const int seconds = lengths_.SecondsOf(row.fileName, stamp, measure);
        if (file.write(mirvane::m3u::EntryLines(seconds, row.caption, row.fileName)) < 0) {
            return false;
        }
    }
    return true;
}

bool PlaylistWindow::SavePlaylistFile(const QString &fileName, bool requireM3u,
                                      QWidget *messageOwner) {
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
    bool ok = true;
    if (!requireM3u || ExtractFileExt(fileName).trimmed().toLower() == ".m3u") {
        ok = WritePlaylist(file);
    }
    // Only a complete list replaces the old file; after a failure the old one stays whole.
    ok = ok ? file.commit() : (file.cancelWriting(), false);
    QApplication::restoreOverrideCursor();
    if (!ok) {
        writeError();
    }
    return ok;
}

void PlaylistWindow::SaveAutomaticPlaylist() {
    // Without the audio library the automatic playlist was never read; writing then would
    // replace the user's list with an empty one.
    if (!playlistRead_) {
        return;
    }
    SavePlaylistFile(mirvane::ProgramDir() + "playlist.m3u", false, program_.player);
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
    // FIXME: the add-directory dialog comes with its own window; until then this item does
    // nothing.
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
    q.filters = {"M3U Playlist (*.m3u)"};
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
    q.filters = {"M3U Playlist (*.m3u)"};
    q.defaultSuffix = "m3u";
    q.confirmOverwrite = true;
    const QString chosen = mirvane::AskSaveFileName(this, q);
    if (!chosen.isEmpty()) {
        repaint();
        SavePlaylistFile(chosen, true, nullptr);
    }
    mirvane::ProcessPendingEvents();
}

void PlaylistWindow::RemoveAllClick() {
    model_.clear();
}

void PlaylistWindow::RemoveSelectedClick() {
    const int row = SelectedRow();
    if (row < 0) {
        return;
    }
    model_.removeAt(row);
    // The view would select a neighbour; a removal leaves nothing selected.
    ListView1->selectionModel()->clearSelection();
    // CurrentIndex keeps naming the row that plays: later rows move up by one; when the
    // playing row itself went, the row now in its place is the nearest.
    if (program_.player) {
        int &current = program_.player->CurrentIndex;
        if (row < current) {
            --current;
        } else if (row == current && current >= model_.count() && current > 0) {
            current = model_.count() - 1;
        }
    }
}

void PlaylistWindow::ListView1DblClick() {
    const int row = SelectedRow();
    if (row < 0 || !program_.player) {
        return;
    }
    // The mark of the row that played goes also while the radio holds the status text.
    SetMark(program_.player->CurrentIndex, false);
    PlayEntry(row);
    ListView1->setFocus();
}

void PlaylistWindow::Label1Click() {
    if (program_.player) {
        program_.player->PlbuttonClick();
    } else {
        hide();
    }
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
    if (program_.getAudioVersion() != 0x10002) {
        ShowAudioError("BASS version 2.1 was not loaded");
        return false;
    }
    if (!BASS_Init(1, 44100, 0, nullptr, nullptr)) {
        ShowAudioError("Can't initialize digital sound system");
    }
    BASS_Start();
    if (program_.player && program_.player->SliderVol) {
        BASS_SetVolume(static_cast<DWORD>(program_.player->SliderVol->Value()));
    }
    return true;
}

void PlaylistWindow::ShowAudioError(const QString &message) {
    const auto code = static_cast<quint32>(BASS_ErrorGetCode());
    mirvane::ShowMessage(this, message + "\r\n(error code: " + QString::number(code) + ")", "Error",
                         mirvane::MsgIcon::Error);
}

bool PlaylistWindow::RadioInUse() const {
    return program_.radio && program_.radio->Statuslbl &&
           !program_.radio->Statuslbl->text().isEmpty();
}

void PlaylistWindow::ClearRadioLabels() {
    if (!program_.radio) {
        return;
    }
    for (QLabel *label : {program_.radio->Statuslbl, program_.radio->Label3,
                          program_.radio->Channellbl, program_.radio->Label5}) {
        if (label) {
            label->clear();
        }
    }
}

QString PlaylistWindow::CurrentRowCaption() const {
    return program_.player ? Caption(program_.player->CurrentIndex) : QString();
}

void PlaylistWindow::PlayEntry(int row) {
    PlayerWindow *player = program_.player;
    StopPlayback();
    if (!model_.isValidRow(row) || !player) {
        return; // no row to go to: stay stopped
    }
    player->CurrentIndex = row;
    SelectRow(row);
    // A new row never starts paused.
    player->SetPaused(false);
    const QByteArray path = LibraryPath(model_.row(row).fileName);
    CurrentChannel = BASS_MusicLoad(FALSE, path.constData(), 0, 0, BASS_MUSIC_RAMP, 0);
    if (CurrentChannel != 0) {
        PlayMusic();
    } else {
        PlayStream(model_.row(row).fileName);
    }
}

void PlaylistWindow::PlayMusic() {
    PlayerWindow *player = program_.player;
    BASS_StreamFree(CurrentChannel);
    BASS_MusicFree(CurrentChannel);
    const QByteArray path = LibraryPath(FileName(player->CurrentIndex));
    CurrentChannel = BASS_MusicLoad(FALSE, path.constData(), 0, 0, BASS_MUSIC_RAMP, 0);
    const char *name = BASS_MusicGetName(CurrentChannel);
    const QString title = QString::fromLatin1(name ? name : "").left(255);
    player->SetBannerText(title + " " +
                          QString::number(BASS_MusicGetLength(CurrentChannel, FALSE)) + " ");
    EndSync = BASS_ChannelSetSync(CurrentChannel, BASS_SYNC_END, 0, &EndSyncProc, this);
    BASS_ChannelPlay(CurrentChannel, -1);
    player->SetTimer(PlayerWindow::kVisualTimer, 33);
    // Tracker music has no moving position display.
    player->KillTimer(PlayerWindow::kPositionTimer);
    player->SetBannerScrolling(true);
    player->SetStatusPicture(PlayerWindow::StatusPlaying);
    SetMark(player->CurrentIndex, true);
    if (program_.equalizer && program_.equalizer->chkEqualizer->isChecked()) {
        program_.equalizer->ApplyEqualizer();
    }
    UpdatePlaylistCaption();
}

void PlaylistWindow::PlayStream(const QString &fileName) {
    PlayerWindow *player = program_.player;
    LookUpTitle(fileName);
    if (BASS_ChannelIsActive(CurrentChannel) == BASS_ACTIVE_PLAYING) {
        BASS_StreamFree(CurrentChannel);
        BASS_MusicFree(CurrentChannel);
    }
    const QByteArray path = LibraryPath(fileName);
    CurrentChannel = BASS_StreamCreateFile(FALSE, path.constData(), 0, 0, BASS_STREAM_PRESCAN);
    EndSync = BASS_ChannelSetSync(CurrentChannel, BASS_SYNC_END, 0, &EndSyncProc, this);
    const float length =
        BASS_ChannelBytes2Seconds(CurrentChannel, BASS_StreamGetLength(CurrentChannel));
    player->SliderPos->setMaxValue(mirvane::m3u::RoundHalfEven(length));
    player->SetBannerText(CurrentRowCaption() + " " + MinutesSeconds(length) + " ");
    player->SetBannerScrolling(true);
    BASS_ChannelPlay(CurrentChannel, FALSE);
    for (int i = 0; i < 3; ++i) {
        BASS_ChannelSetFX(CurrentChannel, BASS_FX_PARAMEQ, 1);
    }
    if (program_.equalizer && program_.equalizer->chkEqualizer->isChecked()) {
        program_.equalizer->ApplyEqualizer();
    }
    player->SetTimer(PlayerWindow::kVisualTimer, 33);
    player->SetTimer(PlayerWindow::kPositionTimer, 90);
    player->SetStatusPicture(PlayerWindow::StatusPlaying);
    SetMark(player->CurrentIndex, true);
    UpdatePlaylistCaption();
}

void PlaylistWindow::StopPlayback() {
    PlayerWindow *player = program_.player;
    BASS_StreamFree(CurrentChannel);
    BASS_MusicFree(CurrentChannel);
    stoppedChannel_ = CurrentChannel;
    if (!player) {
        return;
    }
    player->SetStatusPicture(PlayerWindow::StatusStopped);
    player->KillTimer(PlayerWindow::kVisualTimer);
    player->KillTimer(PlayerWindow::kPositionTimer);
    if (!RadioInUse()) {
        SetMark(player->CurrentIndex, false);
    }
    player->SliderPos->setValue(0);
    player->Label1->setText("0:0");
    UpdatePlaylistCaption();
    player->SetBannerScrolling(false);
    player->SetBannerText("Stopped");
    ClearRadioLabels();
    BASS_ChannelRemoveSync(CurrentChannel, EndSync);
    mirvane::ProcessPendingEvents();
}

void PlaylistWindow::EndSyncProc(HSYNC, DWORD channel, DWORD, void *user) {
    // Library thread: nothing here may touch a window. The form outlives every sync (the
    // library is released before the windows go), and a call queued to a form that has gone
    // is dropped.
    auto *form = static_cast<PlaylistWindow *>(user);
    QMetaObject::invokeMethod(
        form, [form, channel] { form->TrackEnded(channel); }, Qt::QueuedConnection);
}

void PlaylistWindow::TrackEnded(DWORD channel) {
    // The end of a channel that was stopped or replaced meanwhile (the user pressed Stop or
    // started another row as the track ended, or the radio took over) changes nothing.
    if (channel != CurrentChannel || channel == stoppedChannel_) {
        return;
    }
    OnTrackEnd();
}

void PlaylistWindow::OnTrackEnd() {
    StopPlayback();
    const int count = model_.count();
    if (count >= 1 && SelectedRow() != count - 1 && program_.player) {
        program_.player->NextEntry();
    }
}
