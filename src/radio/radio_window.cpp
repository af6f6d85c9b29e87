#include "radio/radio_window.h"

#include "common/dialogs.h"
#include "common/paths.h"
#include "radio/icy_text.h"
#include "radio/radio_connection.h"
#include "radio/station_file.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTreeWidget>
#include <QWindow>

using mirvane::radio::RadioConnection;
using mirvane::radio::StationHeaders;

namespace {

// An installed program reads a shipped list until the user changes it, then its own copy.
QString stationFileToRead() {
    return mirvane::ReadableCopy(mirvane::CurrentLayout(), "iradio.ini");
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, QRect geometry,
                  const QString &style = "color: white;") {
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText); // station texts come from the network
    label->setGeometry(geometry);
    label->setStyleSheet(style);
    return label;
}

// A click on the red "X".
class ClickLabel : public QLabel {
  public:
    ClickLabel(RadioWindow *w) : QLabel(w), window_(w) {}
    void mouseReleaseEvent(QMouseEvent *) override { window_->Label2Click(); }
    RadioWindow *window_;
};

} // namespace

RadioWindow::RadioWindow(QWidget *parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
    setObjectName("form3");
    setWindowTitle("Internet radio");
    setToolTip("Drag to move me");
    setFixedSize(628 + 4, 392 + 4); // client area plus the 2-pixel border

    Label1 = makeLabel(this, "Label1", "Internet radio", QRect(10, 6, 300, 18),
                       "color: yellow; font-weight: bold;");
    auto *close = new ClickLabel(this);
    close->setObjectName("Label2");
    close->setText("X");
    close->setGeometry(612, 4, 14, 18);
    close->setStyleSheet("color: red; font-weight: bold;");
    close->setCursor(Qt::PointingHandCursor);
    Label2 = close;

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Bevel1->setGeometry(10, 28, 612, 92);
    Label4 = makeLabel(this, "Label4", "Status:", QRect(18, 34, 90, 18));
    Statuslbl = makeLabel(this, "Statuslbl", QString(), QRect(110, 34, 500, 18));
    Label6 = makeLabel(this, "Label6", "Channel:", QRect(18, 54, 90, 18));
    Channellbl = makeLabel(this, "Channellbl", QString(), QRect(110, 54, 500, 18));
    Label8 = makeLabel(this, "Label8", "Title:", QRect(18, 74, 90, 18));
    Label3 = makeLabel(this, "Label3", QString(), QRect(110, 74, 500, 18));
    Label7 = makeLabel(this, "Label7", "Bitrate:", QRect(18, 94, 90, 18));
    Label5 = makeLabel(this, "Label5", QString(), QRect(110, 94, 500, 18));

    chanlist = new QTreeWidget(this);
    chanlist->setObjectName("chanlist");
    chanlist->setGeometry(10, 128, 612, 200);
    chanlist->setColumnCount(3);
    chanlist->setHeaderLabels({"Channel name", "Bitrate", "Adress"});
    chanlist->setColumnWidth(0, 335);
    chanlist->setColumnWidth(1, 42);
    chanlist->setColumnWidth(2, 213);
    chanlist->setRootIsDecorated(false);
    chanlist->setSelectionBehavior(QAbstractItemView::SelectRows);
    chanlist->setSelectionMode(QAbstractItemView::ExtendedSelection);
    chanlist->setStyleSheet("QTreeWidget { background: #808080; color: white; }");

    Label10 = makeLabel(this, "Label10", "Total channels:", QRect(10, 334, 100, 18));
    nrchans = makeLabel(this, "nrchans", QString(), QRect(112, 334, 80, 18));
    Label9 = makeLabel(this, "Label9", "Adress to add", QRect(10, 364, 100, 18));
    caddr = new QLineEdit(this);
    caddr->setObjectName("caddr");
    caddr->setGeometry(112, 361, 330, 24);
    caddr->setToolTip("Write the adress to add here, including http://");
    caddr->setStyleSheet("QLineEdit { color: lime; background: black; }");
    JvXPButton1 = new QPushButton("Add", this);
    JvXPButton1->setObjectName("JvXPButton1");
    JvXPButton1->setGeometry(452, 360, 80, 26);
    JvXPButton2 = new QPushButton("Remove", this);
    JvXPButton2->setObjectName("JvXPButton2");
    JvXPButton2->setGeometry(542, 360, 80, 26);
    tchans = new QComboBox(this);
    tchans->setObjectName("tchans");
    tchans->setVisible(false);

    connection_ = new RadioConnection(this);
    connect(JvXPButton1, &QPushButton::clicked, this, &RadioWindow::JvXPButton1Click);
    connect(JvXPButton2, &QPushButton::clicked, this, &RadioWindow::JvXPButton2Click);
    connect(chanlist, &QTreeWidget::itemDoubleClicked, this, &RadioWindow::chanlistDblClick);
    connect(connection_, &RadioConnection::statusText, this, &RadioWindow::onStatus);
    connect(connection_, &RadioConnection::streamStarted, this, &RadioWindow::onStarted);
    connect(connection_, &RadioConnection::metadata, this, &RadioWindow::onMeta);
    connect(connection_, &RadioConnection::failed, this, &RadioWindow::onFailed);
    connect(connection_, &RadioConnection::ended, this, &RadioWindow::onEnded);

    FormCreate();
}

RadioWindow::~RadioWindow() = default;

bool RadioWindow::RadioInUse() const {
    return !Statuslbl->text().isEmpty();
}

void RadioWindow::FormCreate() {
    QFile file(stationFileToRead());
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    const auto stations = mirvane::radio::ReadStations(bytes);
    tchans->clear();
    chanlist->clear();
    for (const auto &s : stations)
        tchans->addItem(s.name);
    for (const auto &s : stations)
        addRow(s.name, s.bitrate, s.url);
    nrchans->setText(stations.empty() ? QString() : QString::number(stations.size()));
}

void RadioWindow::addRow(const QString &name, const QString &bitrate, const QString &url) {
    auto *item = new QTreeWidgetItem(chanlist, QStringList{name, bitrate, url});
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
}

void RadioWindow::JvXPButton1Click() {
    const QString address = caddr->text().trimmed();
    if (!mirvane::radio::IsStationAddress(address)) {
        mirvane::ShowMessage(this, "Write the adress to add here, including http://",
                             "Internet radio", mirvane::MsgIcon::Warning);
        return;
    }
    addRow(address, "?", address);
    nrchans->setText(QString::number(chanlist->topLevelItemCount()));
    saveStations();
}

void RadioWindow::JvXPButton2Click() {
    const auto selected = chanlist->selectedItems();
    if (selected.isEmpty())
        return;
    qDeleteAll(selected);
    nrchans->setText(QString::number(chanlist->topLevelItemCount()));
    saveStations();
}

void RadioWindow::saveStations() {
    std::vector<mirvane::radio::Station> stations;
    for (int i = 0; i < chanlist->topLevelItemCount(); ++i) {
        const auto *item = chanlist->topLevelItem(i);
        stations.push_back({item->text(0), item->text(1), item->text(2)});
    }
    const QString path = mirvane::WritableCopy(mirvane::CurrentLayout(), "iradio.ini");
    if (path.isEmpty()) {
        mirvane::ShowMessage(this,
                             mirvane::CurrentLayout().writableDir +
                                 "iradio.ini: the folder cannot be written to",
                             "Write-Error", mirvane::MsgIcon::Error);
        return;
    }
    // Start from the file as it is now, so what the user wrote there meanwhile stays.
    QFile file(path);
    QByteArray original;
    if (file.open(QIODevice::ReadOnly))
        original = file.readAll();
    file.close();
    QString error;
    if (!mirvane::radio::WriteFileReplacing(
            path, mirvane::radio::RenderStations(original, stations), &error))
        mirvane::ShowMessage(this, path + ": " + error, "Write-Error", mirvane::MsgIcon::Error);
}

void RadioWindow::chanlistDblClick() {
    if (connection_->connecting()) {
        QApplication::beep();
        return;
    }
    const auto selected = chanlist->selectedItems();
    if (selected.isEmpty())
        return;
    Statuslbl->setText("Connecting...");
    Label3->clear();
    connection_->start(selected.first()->text(2));
}

void RadioWindow::Label2Click() {
    hide();
}

void RadioWindow::EngineStopped() {
    connection_->cancel();
    Statuslbl->clear();
    Label3->clear();
    Channellbl->clear();
    Label5->clear();
}

void RadioWindow::onStatus(const QString &text) {
    Statuslbl->setText(text);
}

void RadioWindow::onStarted(DWORD channel, const StationHeaders &headers, const QByteArray &meta,
                            bool hasMeta) {
    if (headers.name)
        Channellbl->setText(*headers.name);
    if (headers.bitrate)
        Label5->setText(*headers.bitrate);
    emit streamStarted(channel);
    if (hasMeta)
        onMeta(meta);
}

void RadioWindow::onMeta(const QByteArray &meta) {
    const auto title = mirvane::radio::ParseStreamTitle(meta);
    if (!title)
        return;
    const QString text = mirvane::radio::DecodeStationText(*title);
    Label3->setText(text);
    emit titleChanged(text);
}

void RadioWindow::onFailed(int error) {
    Statuslbl->setText("Not playing");
    emit stopped();
    mirvane::ShowMessage(
        this, QString("Can't play the stream") + "\r\n(error code: " + QString::number(error) + ")",
        "Error", mirvane::MsgIcon::Error);
}

void RadioWindow::onEnded() {
    // The station is gone for good: say so where "Reconnecting…" stood, and let the engine
    // stop rather than show a channel that plays nothing.
    connection_->cancel();
    Statuslbl->setText("Not playing");
    Label3->clear();
    emit stopped();
}

void RadioWindow::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const int s = (height() + 255) / 256;
    for (int i = 0; i < 256; ++i)
        p.fillRect(0, i * s, width(), s, QColor(i, 32, 25));
}

void RadioWindow::mousePressEvent(QMouseEvent *) {
    if (windowHandle())
        windowHandle()->startSystemMove();
}
