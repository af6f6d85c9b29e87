#pragma once
// ConfigWindow ("Form5"), the configuration window: a tree of pages on the left, one page at a
// time on the right. Its own pages: About (scrolling credits), VU/Spectrum, Settings,
// Appearance Player, Appearance Playlist, Performance (empty), Skin Chooser, File Extensions
// and Info. The DSP effects, Sonique plugins and Winamp pages are built elsewhere and handed
// in with HostPage; until then their nodes show an empty page.
//
// The creation step reads the stored options (a value missing or unreadable gives the design
// value, unchecked) and applies every one of them as its click would, without writing:
// the tray icon, the spectrum, the banner's back leds, the playlist's flat scroll bars and
// grid lines. Each click writes its option at once.
//
// The window reaches the player and the playlist only through ConfigLinks, which start-up
// fills. GUI thread only.

#include <QIcon>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "prefs/file_association.h"
#include "prefs/options.h"

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QSlider;
class QStackedWidget;
class QSystemTrayIcon;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;
class CreditsScroller;

// What the configuration window acts on. Every member may be left empty; its option then
// only stores its value.
struct ConfigLinks {
    std::function<void(int ms)> startVisualTimer; // (re)starts the player's visual timer
    std::function<void()> stopVisualTimer;
    std::function<void(bool on)> setBannerUpperCase;   // the title banner's back leds
    std::function<void(const QString &name)> loadSkin; // may throw when the skin is broken
    QTreeView *playlistView = nullptr;                 // the playlist's ListView1
    QMenu *trayMenu = nullptr;                         // the tray icon's right-click menu
    // Told whether a tray icon is there now, after every change and once at creation.
    std::function<void(bool shown)> trayIconChanged;
    // Whether the desktop shows tray icons; QSystemTrayIcon's answer when empty.
    std::function<bool()> trayAvailable;
    QString deviceName; // the Info page's device label
    // The association store; the XDG one when empty.
    std::unique_ptr<mirvane::prefs::FileAssociation> association;
};

class ConfigWindow : public QWidget {
    Q_OBJECT
  public:
    using Page = mirvane::prefs::Page;

    explicit ConfigWindow(ConfigLinks links = {}, QWidget *parent = nullptr);
    ~ConfigWindow() override;

    // Puts `page` in place of the empty page of DspEffects, SoniquePlugins or Winamp (or any
    // other page); the window takes ownership. The page fills the page area, 260 x 161.
    void HostPage(Page which, QWidget *page);
    QWidget *PageWidget(Page which) const;

    // Shows the window with tree node `node` (counted from 0 in tree order) selected.
    Q_INVOKABLE void ShowNode(int node);
    Q_INVOKABLE void SelectNode(int node);
    int SelectedNode() const { return selectedNode_; }
    Page ShownPage() const;

    // The tray icon: shown when "Show in systray" is ticked and the desktop has a tray.
    bool TrayIconShown() const;
    // Removes the tray icon, when there is one (the exit sequence's first step).
    Q_INVOKABLE void RemoveTrayIcon();

    // The playlist look the Appearance Playlist page has set.
    const mirvane::prefs::PlaylistLook &PlaylistLookSet() const { return look_; }

    // Controls.
    QTreeWidget *TreeView1 = nullptr;
    QCheckBox *checkbox5 = nullptr, *checkbox4 = nullptr, *vrcheckled9 = nullptr,
              *vrcheckled6 = nullptr, *vrcheckled7 = nullptr, *vrcheckled8 = nullptr,
              *vrcheckled10 = nullptr;
    QSlider *TrackBar1 = nullptr;
    QFontComboBox *fbox = nullptr;
    QPushButton *JvXPButton2 = nullptr, *JvXPButton4 = nullptr, *RemoveAssocBtn = nullptr,
                *RefreshBtn = nullptr;
    QComboBox *ComboBox1 = nullptr;
    QLabel *Label5 = nullptr, *Label3 = nullptr;
    CreditsScroller *MovieScroll1 = nullptr;

  public slots:
    void Label7Click();
    void checkbox5Click();
    void TrackBar1Change();
    void checkbox4Click();
    void vrcheckled9Click();
    void vrcheckled6Click();
    void vrcheckled7Click();
    void vrcheckled8Click();
    void vrcheckled10Click();
    void JvXPButton2Click();
    void fboxChange();
    void JvXPButton4Click();
    void RemoveAssociationClick();
    // Applies the skin chooser's text when it is a whole, existing skin name; typing alone
    // applies nothing.
    void ComboBox1Change();
    void RefreshSkinListClick();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

  private:
    void BuildTree();
    void BuildPages();
    QWidget *NewPage(Page which);
    void FillSkinList();
    void ApplyStoredOptions();
    void ShowTrayIcon(bool on);
    void ApplyPlaylistLook();

    ConfigLinks links_;
    std::unique_ptr<mirvane::prefs::FileAssociation> association_;
    QStackedWidget *pages_ = nullptr;
    std::vector<QWidget *> pageWidgets_;
    std::vector<QTreeWidgetItem *> nodes_;
    int selectedNode_ = 0;
    QSystemTrayIcon *tray_ = nullptr;
    QString playlistBaseSheet_;
    mirvane::prefs::PlaylistLook look_;
};
