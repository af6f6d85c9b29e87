#include "prefs/config_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFontComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTreeView>
#include <QTreeWidget>
#include <QWindow>

#include "common/dialogs.h"
#include "common/paths.h"
#include "controls/credits_scroller.h"
#include "prefs/app_icon.h"
#include "prefs/settings.h"
#include "skin/skin_loader.h"

namespace {

namespace prefs = mirvane::prefs;

class ClickLabel : public QLabel {
  public:
    ClickLabel(const QString &text, ConfigWindow *form) : QLabel(text, form), form_(form) {}

  protected:
    void mouseReleaseEvent(QMouseEvent *) override { form_->Label7Click(); }

  private:
    ConfigWindow *form_;
};

constexpr const char *kVersion = "1.0 (build 14)";
constexpr const char *kMessageCaption = "Mirvane Player";

QCheckBox *NewBox(QWidget *page, const char *name, int x, int y) {
    for (const auto &box : prefs::kOptionBoxes) {
        if (qstrcmp(box.control, name) == 0) {
            auto *b = new QCheckBox(QString::fromLatin1(box.caption), page);
            b->setObjectName(QString::fromLatin1(name));
            b->setGeometry(x, y, 236, 17);
            return b;
        }
    }
    return nullptr;
}

// Sets a box from the stored value without running its click handler.
void SetQuietly(QCheckBox *box, bool on) {
    const bool blocked = box->blockSignals(true);
    box->setChecked(on);
    box->blockSignals(blocked);
}

} // namespace

ConfigWindow::ConfigWindow(ConfigLinks links, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), links_(std::move(links)) {
    setObjectName("Form5");
    setWindowTitle("Configuration");
    // Every window of the program, and the task bar, show the player's icon; this window is
    // the one that owns the program's look (the tray icon too).
    QGuiApplication::setWindowIcon(prefs::ApplicationIcon());
    setFixedSize(449, 197);
    QFont font = this->font();
    font.setPointSize(8);
    setFont(font);
    setStyleSheet("QCheckBox, QLabel { color: white; }");
    association_ = links_.association ? std::move(links_.association)
                                      : std::make_unique<prefs::XdgFileAssociation>();

    auto *title = new QLabel("Configuration", this);
    title->setObjectName("Label6");
    title->setGeometry(176, 4, 120, 16);
    title->setStyleSheet("color: yellow; font-weight: bold; font-size: 10pt;");
    auto *close = new ClickLabel("X", this);
    close->setObjectName("Label7");
    close->setGeometry(435, 4, 12, 16);
    close->setStyleSheet("color: red; font-weight: bold;");
    close->setCursor(Qt::PointingHandCursor);
    close->setToolTip("Close");

    BuildPages();
    BuildTree();
    if (links_.playlistView) {
        playlistBaseSheet_ = links_.playlistView->styleSheet();
    }
    ApplyStoredOptions();
    FillSkinList();
    SelectNode(prefs::kAboutNode);
}

ConfigWindow::~ConfigWindow() {
    RemoveTrayIcon();
}

// ---- Building -------------------------------------------------------------------------------

void ConfigWindow::BuildTree() {
    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName("TreeView1");
    TreeView1->setGeometry(16, 24, 145, 161);
    TreeView1->setHeaderHidden(true);
    TreeView1->setIndentation(12);
    std::vector<QTreeWidgetItem *> parents;
    for (const auto &node : prefs::kTree) {
        parents.resize(size_t(node.depth));
        QTreeWidgetItem *item =
            parents.empty() ? new QTreeWidgetItem(TreeView1) : new QTreeWidgetItem(parents.back());
        item->setText(0, QString::fromLatin1(node.caption));
        nodes_.push_back(item);
        parents.push_back(item);
    }
    TreeView1->expandAll();
    connect(TreeView1, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        for (size_t i = 0; i < nodes_.size(); ++i) {
            if (nodes_[i] == item) {
                selectedNode_ = int(i);
                pages_->setCurrentIndex(int(prefs::PageOfNode(int(i))));
            }
        }
    });
}

QWidget *ConfigWindow::NewPage(Page which) {
    auto *page = new QWidget(pages_);
    static const char *const names[prefs::kPageCount] = {
        "PageAbout",       "PageDspEffects",       "PageVuSpectrum",
        "PageSonique",     "PageWinamp",           "PageFileExtensions",
        "PageSettings",    "PageAppearancePlayer", "PageAppearancePlaylist",
        "PagePerformance", "PageSkinChooser",      "PageInfo"};
    page->setObjectName(QString::fromLatin1(names[int(which)]));
    pages_->insertWidget(int(which), page);
    pageWidgets_.push_back(page);
    return page;
}

void ConfigWindow::BuildPages() {
    pages_ = new QStackedWidget(this);
    pages_->setObjectName("PageControl1");
    pages_->setGeometry(174, 24, 260, 161);
    pages_->setFrameShape(QFrame::Box);
    pages_->setStyleSheet("QStackedWidget { border: 1px solid #808080; }");
    for (int i = 0; i < prefs::kPageCount; ++i) {
        QWidget *page = NewPage(Page(i));
        switch (Page(i)) {
        case Page::About: {
            MovieScroll1 = new CreditsScroller(page);
            MovieScroll1->setObjectName("MovieScroll1");
            MovieScroll1->setGeometry(1, 1, 258, 159);
            MovieScroll1->setBackColor(Qt::black);
            MovieScroll1->setDefaultFont(QFont("Verdana", 10));
            MovieScroll1->setDefaultFontColor(Qt::white);
            MovieScroll1->setLoop(true);
            MovieScroll1->setCompleteText("The End");
            MovieScroll1->setTimerInterval(40);
            MovieScroll1->setShadow(true);
            MovieScroll1->setShadowColor(QColor(128, 128, 128));
            MovieScroll1->setShadowOffset(2);
            MovieScroll1->setScrollText(prefs::CreditsText(QString::fromLatin1(kVersion)));
            break;
        }
        case Page::VuSpectrum: {
            checkbox5 = NewBox(page, "checkbox5", 16, 16);
            connect(checkbox5, &QCheckBox::clicked, this, &ConfigWindow::checkbox5Click);
            TrackBar1 = new QSlider(Qt::Horizontal, page);
            TrackBar1->setObjectName("TrackBar1");
            TrackBar1->setGeometry(16, 64, 225, 25);
            TrackBar1->setRange(1, 50);
            TrackBar1->setValue(1);
            connect(TrackBar1, &QSlider::valueChanged, this, &ConfigWindow::TrackBar1Change);
            auto *fast = new QLabel("Fast PC", page);
            fast->setGeometry(16, 92, 60, 14);
            auto *slow = new QLabel("Slow PC", page);
            slow->setGeometry(196, 92, 60, 14);
            break;
        }
        case Page::Settings:
            checkbox4 = NewBox(page, "checkbox4", 16, 16);
            connect(checkbox4, &QCheckBox::clicked, this, &ConfigWindow::checkbox4Click);
            vrcheckled9 = NewBox(page, "vrcheckled9", 16, 40);
            connect(vrcheckled9, &QCheckBox::clicked, this, &ConfigWindow::vrcheckled9Click);
            vrcheckled10 = NewBox(page, "vrcheckled10", 16, 64);
            connect(vrcheckled10, &QCheckBox::clicked, this, &ConfigWindow::vrcheckled10Click);
            break;
        case Page::AppearancePlayer:
            vrcheckled6 = NewBox(page, "vrcheckled6", 16, 16);
            connect(vrcheckled6, &QCheckBox::clicked, this, &ConfigWindow::vrcheckled6Click);
            break;
        case Page::AppearancePlaylist: {
            vrcheckled7 = NewBox(page, "vrcheckled7", 16, 16);
            connect(vrcheckled7, &QCheckBox::clicked, this, &ConfigWindow::vrcheckled7Click);
            vrcheckled8 = NewBox(page, "vrcheckled8", 16, 40);
            connect(vrcheckled8, &QCheckBox::clicked, this, &ConfigWindow::vrcheckled8Click);
            auto *fontLabel = new QLabel("Font:", page);
            fontLabel->setGeometry(16, 74, 36, 14);
            fbox = new QFontComboBox(page);
            fbox->setObjectName("fbox");
            fbox->setGeometry(56, 70, 185, 22);
            fbox->setCurrentFont(QFont("MS Sans Serif"));
            connect(fbox, &QFontComboBox::currentFontChanged, this, &ConfigWindow::fboxChange);
            JvXPButton2 = new QPushButton("Choose background color", page);
            JvXPButton2->setObjectName("JvXPButton2");
            JvXPButton2->setGeometry(16, 108, 169, 25);
            connect(JvXPButton2, &QPushButton::clicked, this, &ConfigWindow::JvXPButton2Click);
            break;
        }
        case Page::SkinChooser: {
            ComboBox1 = new QComboBox(page);
            ComboBox1->setObjectName("ComboBox1");
            ComboBox1->setEditable(true);
            ComboBox1->setInsertPolicy(QComboBox::NoInsert);
            ComboBox1->setGeometry(8, 48, 217, 22);
            connect(ComboBox1, &QComboBox::textActivated, this, &ConfigWindow::ComboBox1Change);
            connect(ComboBox1->lineEdit(), &QLineEdit::returnPressed, this,
                    &ConfigWindow::ComboBox1Change);
            RefreshBtn = new QPushButton("Refesh list", page);
            RefreshBtn->setObjectName("RefreshBtn");
            RefreshBtn->setGeometry(136, 96, 89, 17);
            connect(RefreshBtn, &QPushButton::clicked, this, &ConfigWindow::RefreshSkinListClick);
            break;
        }
        case Page::FileExtensions:
            JvXPButton4 = new QPushButton("Associate MP3 files with Mirvane", page);
            JvXPButton4->setObjectName("JvXPButton4");
            JvXPButton4->setGeometry(16, 64, 228, 25); // wider than designed: the caption fits
            connect(JvXPButton4, &QPushButton::clicked, this, &ConfigWindow::JvXPButton4Click);
            RemoveAssocBtn = new QPushButton("Remove the association", page);
            RemoveAssocBtn->setObjectName("RemoveAssocBtn");
            RemoveAssocBtn->setGeometry(16, 96, 228, 25);
            connect(RemoveAssocBtn, &QPushButton::clicked, this,
                    &ConfigWindow::RemoveAssociationClick);
            break;
        case Page::Info: {
            Label5 = new QLabel("Using device:", page);
            Label5->setObjectName("Label5");
            Label5->setGeometry(16, 16, 220, 14);
            QFont bold = Label5->font();
            bold.setBold(true);
            Label5->setFont(bold);
            Label3 = new QLabel(links_.deviceName, page);
            Label3->setObjectName("Label3");
            Label3->setTextFormat(Qt::PlainText); // the device's own words
            Label3->setGeometry(16, 36, 236, 14);
            break;
        }
        case Page::DspEffects:
        case Page::SoniquePlugins:
        case Page::Winamp:
        case Page::Performance:
            break; // empty until hosted (Performance stays empty)
        }
    }
}

void ConfigWindow::HostPage(Page which, QWidget *page) {
    const int index = int(which);
    if (!page || index < 0 || index >= prefs::kPageCount) {
        return;
    }
    QWidget *old = pageWidgets_[size_t(index)];
    const bool current = pages_->currentIndex() == index;
    page->setParent(pages_);
    pages_->insertWidget(index, page);
    pages_->removeWidget(old);
    old->deleteLater();
    pageWidgets_[size_t(index)] = page;
    if (current) {
        pages_->setCurrentIndex(index);
    }
}

QWidget *ConfigWindow::PageWidget(Page which) const {
    return pageWidgets_.at(size_t(which));
}

// ---- Showing --------------------------------------------------------------------------------

void ConfigWindow::SelectNode(int node) {
    if (node < 0 || node >= int(nodes_.size())) {
        node = prefs::kAboutNode;
    }
    TreeView1->setCurrentItem(nodes_[size_t(node)]);
    selectedNode_ = node;
    pages_->setCurrentIndex(int(prefs::PageOfNode(node)));
}

void ConfigWindow::ShowNode(int node) {
    SelectNode(node);
    show();
    raise();
}

ConfigWindow::Page ConfigWindow::ShownPage() const {
    return Page(pages_->currentIndex());
}

void ConfigWindow::Label7Click() {
    hide();
}

// ---- Stored options -------------------------------------------------------------------------

void ConfigWindow::ApplyStoredOptions() {
    const prefs::StoredOptions stored = prefs::ReadStoredOptions();
    SetQuietly(checkbox5, stored.VUEnabled);
    SetQuietly(vrcheckled6, stored.LedsVisible);
    SetQuietly(vrcheckled7, stored.FlatScroll);
    SetQuietly(vrcheckled8, stored.GridLines);
    SetQuietly(vrcheckled9, stored.Systray);
    SetQuietly(checkbox4, stored.ThreeD);
    SetQuietly(vrcheckled10, stored.Resume);

    // Each as its click would do it, without writing it again. An unticked VU box has nothing
    // to stop at start: the engine runs the visual timer only while something plays.
    if (stored.VUEnabled && links_.startVisualTimer) {
        links_.startVisualTimer(33);
    }
    if (links_.setBannerUpperCase) {
        links_.setBannerUpperCase(stored.LedsVisible);
    }
    look_.flatScrollBars = stored.FlatScroll;
    look_.gridLines = stored.GridLines;
    ApplyPlaylistLook();
    ShowTrayIcon(stored.Systray);
}

void ConfigWindow::checkbox5Click() {
    if (checkbox5->isChecked()) {
        if (links_.startVisualTimer) {
            links_.startVisualTimer(33);
        }
    } else if (links_.stopVisualTimer) {
        links_.stopVisualTimer();
    }
    mirvane::settings::WriteBool("VUEnabled", checkbox5->isChecked());
}

void ConfigWindow::TrackBar1Change() {
    if (links_.stopVisualTimer) {
        links_.stopVisualTimer();
    }
    if (links_.startVisualTimer) {
        links_.startVisualTimer(TrackBar1->value());
    }
}

void ConfigWindow::checkbox4Click() {
    mirvane::settings::WriteBool("3dSupport", checkbox4->isChecked());
}

void ConfigWindow::vrcheckled9Click() {
    const bool on = vrcheckled9->isChecked();
    // An unwritable store changes nothing, so the box and the next start agree.
    if (!mirvane::settings::WriteBool("Systray", on)) {
        SetQuietly(vrcheckled9, !on);
        return;
    }
    ShowTrayIcon(on);
}

void ConfigWindow::vrcheckled10Click() {
    // Only stored: the close step and the start read it (desktop/resume.h).
    mirvane::settings::WriteBool("Resume", vrcheckled10->isChecked());
}

void ConfigWindow::vrcheckled6Click() {
    if (links_.setBannerUpperCase) {
        links_.setBannerUpperCase(vrcheckled6->isChecked());
    }
    mirvane::settings::WriteBool("LedsVisible", vrcheckled6->isChecked());
}

void ConfigWindow::vrcheckled7Click() {
    look_.flatScrollBars = vrcheckled7->isChecked();
    ApplyPlaylistLook();
    mirvane::settings::WriteBool("FlatScroll", vrcheckled7->isChecked());
}

void ConfigWindow::vrcheckled8Click() {
    look_.gridLines = vrcheckled8->isChecked();
    ApplyPlaylistLook();
    mirvane::settings::WriteBool("GridLines", vrcheckled8->isChecked());
}

void ConfigWindow::JvXPButton2Click() {
    const QColor initial = look_.background.isValid() ? look_.background : QColor(Qt::black);
    if (const auto chosen = mirvane::AskColor(this, initial)) {
        look_.background = *chosen;
        ApplyPlaylistLook();
    }
}

void ConfigWindow::fboxChange() {
    look_.fontFace = fbox->currentFont().family();
    ApplyPlaylistLook();
}

void ConfigWindow::ApplyPlaylistLook() {
    if (links_.playlistView) {
        links_.playlistView->setStyleSheet(prefs::PlaylistStyleSheet(playlistBaseSheet_, look_));
    }
}

// ---- Tray icon ------------------------------------------------------------------------------

void ConfigWindow::ShowTrayIcon(bool on) {
    const bool available =
        links_.trayAvailable ? links_.trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
    if (on && available) {
        if (!tray_) {
            tray_ = new QSystemTrayIcon(prefs::ApplicationIcon(), this);
            tray_->setObjectName("TrayIcon");
            tray_->setToolTip("Mirvane Player");
            if (links_.trayMenu) {
                tray_->setContextMenu(links_.trayMenu);
            }
        }
        tray_->show();
    } else if (tray_) {
        tray_->hide();
        tray_->deleteLater();
        tray_ = nullptr;
    }
    if (links_.trayIconChanged) {
        links_.trayIconChanged(TrayIconShown());
    }
}

bool ConfigWindow::TrayIconShown() const {
    return tray_ && tray_->isVisible();
}

void ConfigWindow::RemoveTrayIcon() {
    if (tray_) {
        tray_->hide();
        delete tray_;
        tray_ = nullptr;
    }
}

// ---- Skins ----------------------------------------------------------------------------------

void ConfigWindow::FillSkinList() {
    ComboBox1->clear();
    ComboBox1->addItems(mirvane::SkinNames(mirvane::DataDir()));
    ComboBox1->setCurrentIndex(ComboBox1->count() > 0 ? 0 : -1);
}

void ConfigWindow::RefreshSkinListClick() {
    FillSkinList();
    ComboBox1->setEditText(QString());
}

void ConfigWindow::ComboBox1Change() {
    const QString name = ComboBox1->currentText().trimmed();
    const QString dir = mirvane::DataDir();
    if (!prefs::IsChoosableSkinName(name, mirvane::SkinNames(dir)) ||
        !QDir(dir + "Skins/" + name).exists()) {
        return;
    }
    if (links_.loadSkin) {
        try {
            links_.loadSkin(name);
        } catch (const std::exception &) {
            return; // a skin whose pictures cannot be read is not remembered
        }
    }
    mirvane::settings::WriteString("SkinName", name);
}

// ---- File association -----------------------------------------------------------------------

void ConfigWindow::JvXPButton4Click() {
    const bool ok = association_->Register(QCoreApplication::applicationFilePath(),
                                           prefs::IconForDesktopEntry());
    mirvane::ShowMessage(
        this, ok ? "Associations were sucessfully made." : "Associations could not be made.",
        kMessageCaption, mirvane::MsgIcon::None);
}

void ConfigWindow::RemoveAssociationClick() {
    const bool ok = association_->Unregister();
    mirvane::ShowMessage(
        this, ok ? "The associations were removed." : "The associations could not be removed.",
        kMessageCaption, mirvane::MsgIcon::None);
}

// ---- Window ---------------------------------------------------------------------------------

void ConfigWindow::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const int s = (height() + 205) / 256;
    for (int i = 0; i < 256; ++i) {
        p.fillRect(0, i * s, width(), s, QColor(i, 32, 25));
    }
}

void ConfigWindow::mousePressEvent(QMouseEvent *) {
    if (windowHandle()) {
        windowHandle()->startSystemMove();
    }
}
