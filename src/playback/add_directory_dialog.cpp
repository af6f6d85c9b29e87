#include "playback/add_directory_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWindow>

#include "playback/playlist_model.h"

using mirvane::FoundSong;
using mirvane::PlaylistRow;

namespace {

QString FinishedText(int foldersSkipped) {
    QString text = "Finished!";
    if (foldersSkipped == 1) {
        text += " 1 folder could not be read.";
    } else if (foldersSkipped > 1) {
        text += " " + QString::number(foldersSkipped) + " folders could not be read.";
    }
    return text;
}

} // namespace

AddDirectoryDialog::AddDirectoryDialog(QWidget &owner, mirvane::PlaylistModel &rows,
                                       QString &lastFolder)
    : QWidget(&owner, Qt::Tool | Qt::FramelessWindowHint), rows_(rows), lastFolder_(lastFolder),
      search_(
          *this, [this](std::vector<FoundSong> &&batch) { AddFound(std::move(batch)); },
          [this](const mirvane::WalkSummary &summary) { SearchEnded(summary); }) {
    setObjectName("diradd");
    setWindowTitle("Add Directory");
    setToolTip("Drag to move me");
    BuildControls();
    setMinimumSize(397, 290);
    resize(419, 325);
    const QRect ownerArea = owner.frameGeometry();
    move(ownerArea.center() - rect().center());

    // FormCreate: the application-wide error rule is start-up's already; the tree opens where
    // the last search was.
    const QString start = lastFolder_.isEmpty() ? QDir::homePath() : lastFolder_;
    SelectFolder(start);
}

AddDirectoryDialog::~AddDirectoryDialog() = default; // search_ stops and joins its worker

void AddDirectoryDialog::BuildControls() {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 6, 10, 8); // inside the 2-pixel border
    layout->setSpacing(6);

    auto *top = new QHBoxLayout;
    Label2 = new QLabel("Add drive/directory", this);
    Label2->setObjectName("Label2");
    Label2->setStyleSheet("color: yellow; font-weight: bold;");
    Label3 = new QLabel("X", this);
    Label3->setObjectName("Label3");
    Label3->setStyleSheet("color: red; font-weight: bold;");
    Label3->setCursor(Qt::PointingHandCursor);
    Label3->setToolTip("Close");
    Label3->installEventFilter(this);
    top->addWidget(Label2);
    top->addStretch(1);
    top->addWidget(Label3);
    layout->addLayout(top);

    auto *middle = new QHBoxLayout;
    stv1Model = new QFileSystemModel(this);
    stv1Model->setObjectName("stv1Model");
    stv1Model->setFilter(QDir::AllDirs | QDir::Drives | QDir::Hidden | QDir::NoDotAndDotDot);
    stv1Model->setRootPath(QDir::rootPath()); // watched, so the tree follows changes on disk
    stv1 = new QTreeView(this);
    stv1->setObjectName("stv1");
    stv1->setModel(stv1Model);
    stv1->setHeaderHidden(true);
    for (int column = 1; column < stv1Model->columnCount(); ++column) {
        stv1->hideColumn(column);
    }
    stv1->setSelectionMode(QAbstractItemView::SingleSelection);
    stv1->setStyleSheet("QTreeView { background: #101010; color: #e0e0e0; }");
    // Folders are listed and sorted in the background, and each arrival moves the rows: the
    // tree keeps the selected folder in view until the user takes the tree in hand.
    const auto follow = [this] {
        if (!treeTouched_) {
            ShowSelected();
        }
    };
    connect(stv1Model, &QFileSystemModel::directoryLoaded, this, follow, Qt::QueuedConnection);
    connect(stv1Model, &QAbstractItemModel::rowsInserted, this, follow, Qt::QueuedConnection);
    connect(stv1Model, &QAbstractItemModel::layoutChanged, this, follow, Qt::QueuedConnection);
    stv1->installEventFilter(this);
    stv1->viewport()->installEventFilter(this);
    middle->addWidget(stv1, 1);

    auto *side = new QVBoxLayout;
    GroupBox1 = new QGroupBox("Add files of type:", this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setStyleSheet("QGroupBox { color: white; } QCheckBox { color: white; }");
    auto *types = new QGridLayout(GroupBox1);
    types->setContentsMargins(6, 4, 6, 4);
    types->setVerticalSpacing(2);
    const auto makeBox = [this, types](const char *name, const QString &text, const QString &hint,
                                       int index) {
        auto *box = new QCheckBox(text, GroupBox1);
        box->setObjectName(name);
        box->setToolTip(hint);
        types->addWidget(box, index % 5, index / 5);
        return box;
    };
    mp1chk = makeBox("mp1chk", "MP1", "Add files of MP1 type", 0);
    mp2chk = makeBox("mp2chk", "MP2", "Add files of MP2 type", 1);
    mp3chk = makeBox("mp3chk", "MP3", "Add files of MP3 type", 2);
    oggchk = makeBox("oggchk", "OGG", "Add files of OGG Vorbis type", 3);
    wavchk1 = makeBox("wavchk1", "WAV", "Add files of WAV type", 4);
    modchk = makeBox("modchk", "MOD", "Add files of MOD type", 5);
    mtmchk = makeBox("mtmchk", "MTM", "Add files of MTM type", 6);
    xmchk = makeBox("xmchk", "XM", "Add files of XM type", 7);
    itchk = makeBox("itchk", "IT", "Add files of IT type", 8);
    s3mchk = makeBox("s3mchk", "S3M", "Add files of S3M type", 9);
    mp3chk->setChecked(true);
    side->addWidget(GroupBox1);

    subs1 = new QCheckBox("Include Subdirectories", this);
    subs1->setObjectName("subs1");
    subs1->setStyleSheet("color: lime;");
    subs1->setToolTip("Include subdirectories in search");
    subs1->setChecked(true);
    side->addWidget(subs1);
    side->addStretch(1);

    JvXPButton1 = new QPushButton("Add directory", this);
    JvXPButton1->setObjectName("JvXPButton1");
    JvXPButton1->setToolTip("Add selected directory");
    cancel1 = new QPushButton("Cancel", this);
    cancel1->setObjectName("cancel1");
    cancel1->setToolTip("Cancel search");
    cancel1->setEnabled(false); // live only while a search runs
    for (QPushButton *b : {JvXPButton1, cancel1}) {
        b->setStyleSheet("QPushButton { background: #202020; color: white; border: 1px solid "
                         "#808080; padding: 3px; } QPushButton:hover { border-color: red; } "
                         "QPushButton:disabled { color: #707070; }");
        side->addWidget(b);
    }
    middle->addLayout(side);
    layout->addLayout(middle, 1);

    auto *bottom = new QHBoxLayout;
    Label4 = new QLabel("Status:", this);
    Label4->setObjectName("Label4");
    stats = new QLabel("NOT searching", this);
    stats->setObjectName("stats");
    stats->setTextFormat(Qt::PlainText);
    for (QLabel *l : {Label4, stats}) {
        l->setStyleSheet("color: white;");
    }
    bottom->addWidget(Label4);
    bottom->addWidget(stats, 1);
    layout->addLayout(bottom);

    connect(JvXPButton1, &QPushButton::clicked, this, &AddDirectoryDialog::JvXPButton1Click);
    connect(cancel1, &QPushButton::clicked, this, &AddDirectoryDialog::cancel1Click);
}

QString AddDirectoryDialog::SelectedFolder() const {
    const QModelIndex index = stv1->currentIndex();
    return index.isValid() ? stv1Model->filePath(index) : QString();
}

void AddDirectoryDialog::SelectFolder(const QString &path) {
    if (!QFileInfo(path).isDir()) {
        return;
    }
    const QModelIndex index = stv1Model->index(QFileInfo(path).absoluteFilePath());
    if (index.isValid()) {
        stv1->setCurrentIndex(index);
        treeTouched_ = false;
        ShowSelected();
    }
}

void AddDirectoryDialog::ShowSelected() {
    const QModelIndex index = stv1->currentIndex();
    if (!index.isValid()) {
        return;
    }
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) {
        stv1->expand(up);
    }
    stv1->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

QStringList AddDirectoryDialog::Masks() const {
    const std::pair<const QCheckBox *, const char *> table[] = {
        {wavchk1, "*.wav"}, {mp1chk, "*.mp1"}, {mp2chk, "*.mp2"}, {mp3chk, "*.mp3"},
        {modchk, "*.mod"},  {itchk, "*.it"},   {xmchk, "*.xm"},   {mtmchk, "*.mtm"},
        {s3mchk, "*.s3m"},  {oggchk, "*.ogg"}};
    QStringList masks;
    for (const auto &[box, mask] : table) {
        if (box->isChecked()) {
            masks << QString::fromLatin1(mask);
        }
    }
    return masks;
}

// ---- The search ------------------------------------------------------------------------------

void AddDirectoryDialog::JvXPButton1Click() {
    const QString root = SelectedFolder();
    if (search_.Running() || root.isEmpty()) {
        return;
    }
    setCursor(Qt::BusyCursor); // this dialog is busy; the rest of the program is not
    JvXPButton1->setEnabled(false);
    cancel1->setEnabled(true);
    stats->setText("Busy, Searching...");
    if (!subs1->isChecked()) {
        depth_ = 1;
    }
    mirvane::WalkOptions options;
    options.root = QFile::encodeName(root).toStdString();
    options.maxDepth = depth_;
    for (const QString &mask : Masks()) {
        options.masks.push_back(mask.toStdString());
    }
    filesFound_ = 0;
    foldersSkipped_ = 0;
    lastFolder_ = root;
    search_.Start(std::move(options));
}

void AddDirectoryDialog::AddFound(std::vector<FoundSong> &&batch) {
    mirvane::PlaylistModel &rows = rows_;
    std::vector<PlaylistRow> added;
    added.reserve(batch.size());
    int number = rows.count();
    for (FoundSong &song : batch) {
        added.push_back(
            PlaylistRow{QString::number(++number) + ". " + song.artist + " - " + song.title,
                        std::move(song.fileName)});
    }
    // One insertion per batch keeps the list view's work per batch small and bounded.
    rows.append(std::move(added));
    filesFound_ += static_cast<int>(batch.size());
    stats->setText(QString::number(filesFound_) + " files found, wait...");
}

void AddDirectoryDialog::SearchEnded(const mirvane::WalkSummary &summary) {
    foldersSkipped_ = static_cast<int>(summary.foldersSkipped);
    stats->setText(FinishedText(foldersSkipped_));
    cancel1->setEnabled(false);
    unsetCursor();
    // Unread folders are news the user must be able to read; otherwise the dialog is done.
    if (foldersSkipped_ == 0) {
        hide();
    }
    emit searchEnded();
}

void AddDirectoryDialog::StopSearch() {
    search_.Stop();
    cancel1->setEnabled(false);
    unsetCursor();
}

void AddDirectoryDialog::cancel1Click() {
    if (!search_.Running()) {
        return;
    }
    stats->setText("Aborting search...");
    StopSearch();
    hide();
}

void AddDirectoryDialog::Label3Click() {
    StopSearch();
    hide();
}

// ---- Window ------------------------------------------------------------------------------------

void AddDirectoryDialog::closeEvent(QCloseEvent *event) {
    StopSearch();
    JvXPButton1->setEnabled(true);
    event->accept();
}

void AddDirectoryDialog::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    // Only a laid-out tree knows where the selected folder is.
    QTimer::singleShot(0, this, [this] { ShowSelected(); });
}

void AddDirectoryDialog::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const int band = (height() + 205) / 256;
    for (int i = 0; i < 256; ++i) {
        p.fillRect(0, i * band, width(), band, QColor(i, 32, 25));
    }
    // Below the smallest heights the bands end short of the bottom; the last colour goes on.
    if (256 * band < height()) {
        p.fillRect(0, 256 * band, width(), height() - 256 * band, QColor(255, 32, 25));
    }
}

void AddDirectoryDialog::mousePressEvent(QMouseEvent *) {
    if (windowHandle()) {
        windowHandle()->startSystemMove();
    }
}

bool AddDirectoryDialog::eventFilter(QObject *watched, QEvent *event) {
    if ((watched == stv1 || watched == stv1->viewport()) &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::Wheel ||
         event->type() == QEvent::KeyPress)) {
        treeTouched_ = true;
    }
    if (watched == Label3 && event->type() == QEvent::MouseButtonRelease) {
        Label3Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
