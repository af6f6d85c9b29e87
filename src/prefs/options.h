#pragma once
// The configuration window's tables and rules, kept apart from the window so they can be
// tested without one. Pure; callable from any thread.

#include <QColor>
#include <QString>
#include <QStringList>
#include <array>

namespace mirvane::prefs {

// The pages of the configuration window. DspEffects, SoniquePlugins and Winamp are built
// elsewhere and hosted by ConfigWindow::HostPage.
enum class Page {
    About,
    DspEffects,
    VuSpectrum,
    SoniquePlugins,
    Winamp,
    FileExtensions,
    Settings,
    AppearancePlayer,
    AppearancePlaylist,
    Performance,
    SkinChooser,
    Info,
};
inline constexpr int kPageCount = 12;

// One node of the page tree, in tree order: its caption, its depth (0 for the top level)
// and the page it shows (a parent shows the page of its first child).
struct TreeNode {
    const char *caption;
    int depth;
    Page page;
};
inline constexpr std::array<TreeNode, 17> kTree{{
    {"About", 0, Page::About},
    {"Sound", 0, Page::DspEffects},
    {"DSP Effects", 1, Page::DspEffects},
    {"Visuals", 0, Page::VuSpectrum},
    {"VU Meters/Spectrum", 1, Page::VuSpectrum},
    {"Sonique Plugins", 1, Page::SoniquePlugins},
    {"Winamp Plugins", 1, Page::Winamp},
    {"Options", 0, Page::FileExtensions},
    {"File Extensions", 1, Page::FileExtensions},
    {"Settings", 1, Page::Settings},
    {"Appearance", 1, Page::AppearancePlayer},
    {"Player", 2, Page::AppearancePlayer},
    {"Playlist", 2, Page::AppearancePlaylist},
    {"Performance", 1, Page::Performance},
    {"Skins", 0, Page::SkinChooser},
    {"Skin chooser", 1, Page::SkinChooser},
    {"Info", 0, Page::Info},
}};
inline constexpr int kAboutNode = 0;
inline constexpr int kSoniqueNode = 5;

// The page a node shows; node numbers out of range show the About page.
Page PageOfNode(int node);
// The first node that shows `page` (the node to select for it).
int NodeOfPage(Page page);

// The stored check-box options, each false when missing or stored as another type.
struct StoredOptions {
    bool VUEnabled = false;
    bool LedsVisible = false;
    bool FlatScroll = false;
    bool GridLines = false;
    bool Systray = false;
    bool ThreeD = false; // stored as "3dSupport"
    bool Resume = false; // the close step keeps the row and position, the start plays them
};
// One check box: its control name, caption and stored value name, in read order.
struct OptionBox {
    const char *control;
    const char *caption;
    const char *key;
    bool StoredOptions::*field;
};
inline constexpr std::array<OptionBox, 7> kOptionBoxes{{
    {"checkbox5", "Enable VU meters / Spectrum", "VUEnabled", &StoredOptions::VUEnabled},
    {"vrcheckled6", "Songtitle back leds visible", "LedsVisible", &StoredOptions::LedsVisible},
    {"vrcheckled7", "Flat scrollbars", "FlatScroll", &StoredOptions::FlatScroll},
    {"vrcheckled8", "Show gridlines", "GridLines", &StoredOptions::GridLines},
    {"vrcheckled9", "Show in systray", "Systray", &StoredOptions::Systray},
    {"checkbox4", "Enable 3D Support", "3dSupport", &StoredOptions::ThreeD},
    {"vrcheckled10", "Resume playback at start", "Resume", &StoredOptions::Resume},
}};

// Reads every option from the settings store; a value missing, unreadable or of another type
// gives the design value (false).
StoredOptions ReadStoredOptions();

// A skin name the chooser may apply: non-empty, one of `known` (the sections of Skins.ini),
// and no path: a name with "/" or "\" or ".." is refused.
bool IsChoosableSkinName(const QString &name, const QStringList &known);

// The playlist list's look that the Appearance Playlist page sets on top of the playlist's
// own style sheet.
struct PlaylistLook {
    bool flatScrollBars = false;
    bool gridLines = false;
    QColor background; // invalid: the playlist's own
    QString fontFace;  // empty: the playlist's own
};
// The style sheet `base` with the look's rules appended (later rules win).
QString PlaylistStyleSheet(const QString &base, const PlaylistLook &look);

// The credits text of the About page; `version` is shown after "Version ".
QStringList CreditsText(const QString &version);

} // namespace mirvane::prefs
