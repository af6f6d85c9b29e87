// The configuration window inside a started program: each page family's controls driven by
// name, their stored values and their effect on the player and the playlist.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QFontComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "controls/bitmap_font_label.h"
#include "controls/credits_scroller.h"
#include "player_support.h"
#include "prefs/config_window.h"
#include "prefs/settings.h"

// Font configuration keeps a few bytes for the life of the process; not ours to free.
extern "C" const char *__lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

namespace {

namespace prefs = mirvane::prefs;
using Page = prefs::Page;

class ConfigTest : public player_test::ProgramTest {
  protected:
    ConfigWindow &Config() { return *program->config; }
    template <typename T> T *Control(const char *name) {
        T *control = Config().findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    void Store(const QByteArray &text) { player_test::WriteText(Path("settings.conf"), text); }
};

TEST_F(ConfigTest, TreeNodesShowTheirPagesAndTheMenuOpensAboutAndSonique) {
    Start();
    QTreeWidget *tree = Control<QTreeWidget>("TreeView1");
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(Config().ShownPage(), Page::About); // the page shown first
    for (int node = 0; node < int(prefs::kTree.size()); ++node) {
        Config().SelectNode(node);
        EXPECT_EQ(tree->currentItem()->text(0), QString::fromLatin1(prefs::kTree[node].caption));
        EXPECT_EQ(Config().ShownPage(), prefs::kTree[node].page) << node;
    }
    EXPECT_EQ(prefs::PageOfNode(1), Page::DspEffects); // a parent shows its first child's page
    EXPECT_EQ(prefs::PageOfNode(10), Page::AppearancePlayer);

    Player().SoniqueClick();
    EXPECT_TRUE(Config().isVisible());
    EXPECT_EQ(tree->currentItem()->text(0), "Sonique Plugins");
    EXPECT_EQ(Config().ShownPage(), Page::SoniquePlugins);
    // The plugin page is hosted there; a page hosted later replaces it and is shown.
    EXPECT_EQ(Config().PageWidget(Page::SoniquePlugins)->objectName(), "SoniquePage");
    EXPECT_EQ(Config().PageWidget(Page::Winamp)->objectName(), "WinampPage");
    EXPECT_TRUE(Config().PageWidget(Page::SoniquePlugins)->isVisible());
    auto *plugins = new QLabel("plugins");
    Config().HostPage(Page::SoniquePlugins, plugins);
    EXPECT_EQ(Config().PageWidget(Page::SoniquePlugins), plugins);
    EXPECT_TRUE(plugins->isVisible());
    Config().Label7Click();
    EXPECT_FALSE(Config().isVisible());

    Player().ConfigurationClick(); // as it was left
    EXPECT_EQ(Config().SelectedNode(), prefs::kSoniqueNode);
    Player().AboutClick();
    EXPECT_EQ(Config().ShownPage(), Page::About);
    auto *credits = Control<CreditsScroller>("MovieScroll1");
    EXPECT_EQ(credits->TimerInterval(), 40);
    EXPECT_TRUE(credits->Loop());
    EXPECT_TRUE(credits->TimerRunning());
    EXPECT_EQ(credits->Lines().at(0).text, "Mirvane Player");
    EXPECT_EQ(credits->Lines().at(0).style.pointSize, 20);
    EXPECT_TRUE(credits->Lines().at(2).text.startsWith("Version "));

    EXPECT_EQ(Control<QLabel>("Label5")->text(), "Using device:");
    EXPECT_EQ(Control<QLabel>("Label3")->text(),
              QString::fromLocal8Bit(BASS_GetDeviceDescription(int(BASS_GetDevice()))));
}

TEST_F(ConfigTest, SpectrumBoxAndTrackBarDriveTheVisualTimerAndTheBoxIsAppliedAtStart) {
    Start();
    auto *vu = Control<QCheckBox>("checkbox5");
    EXPECT_FALSE(vu->isChecked());
    EXPECT_FALSE(Player().TimerActive(PlayerWindow::kVisualTimer));
    vu->click();
    EXPECT_EQ(Player().TimerInterval(PlayerWindow::kVisualTimer), 33);
    EXPECT_EQ(mirvane::settings::ReadBool("VUEnabled"), true);
    Control<QSlider>("TrackBar1")->setValue(50);
    EXPECT_EQ(Player().TimerInterval(PlayerWindow::kVisualTimer), 50);
    vu->click();
    EXPECT_FALSE(Player().TimerActive(PlayerWindow::kVisualTimer));
    EXPECT_EQ(mirvane::settings::ReadBool("VUEnabled"), false);

    vu->click(); // ticked again, then a new start
    program.reset();
    Start();
    EXPECT_TRUE(Control<QCheckBox>("checkbox5")->isChecked());
    EXPECT_EQ(Player().TimerInterval(PlayerWindow::kVisualTimer), 33);
    EXPECT_EQ(Control<QSlider>("TrackBar1")->value(), 1); // not stored
}

TEST_F(ConfigTest, StoredAppearanceIsAppliedAtStartAndEachClickStoresAndApplies) {
    Store("LedsVisible=1\nFlatScroll=1\nGridLines=1\n3dSupport=1\nSystray=1\n");
    Start();
    QTreeView *list = List().ListView1;
    EXPECT_TRUE(Control<QCheckBox>("vrcheckled6")->isChecked());
    EXPECT_TRUE(Control<QCheckBox>("checkbox4")->isChecked());
    EXPECT_TRUE(Player().STitle->UpperCase());
    EXPECT_TRUE(list->styleSheet().contains("QTreeView::item { border-right"));
    EXPECT_TRUE(list->styleSheet().contains("QScrollBar { background: #101010"));

    Control<QCheckBox>("vrcheckled6")->click();
    EXPECT_FALSE(Player().STitle->UpperCase());
    EXPECT_EQ(mirvane::settings::ReadBool("LedsVisible"), false);
    Control<QCheckBox>("vrcheckled8")->click();
    EXPECT_FALSE(list->styleSheet().contains("QTreeView::item { border-right"));
    EXPECT_EQ(mirvane::settings::ReadBool("GridLines"), false);
    Control<QCheckBox>("vrcheckled7")->click();
    EXPECT_FALSE(list->styleSheet().contains("QScrollBar { background: #101010"));
    EXPECT_EQ(mirvane::settings::ReadBool("FlatScroll"), false);
    Control<QCheckBox>("checkbox4")->click();
    EXPECT_EQ(mirvane::settings::ReadBool("3dSupport"), false);

    // Face and background are the playlist's until the next start, never stored.
    Control<QFontComboBox>("fbox")->setCurrentFont(QFont("DejaVu Serif"));
    EXPECT_TRUE(list->styleSheet().contains("font-family: \"" +
                                            Config().PlaylistLookSet().fontFace + "\""));
    dialogs.colorAnswers.push_back(QColor(0, 0, 128));
    Control<QPushButton>("JvXPButton2")->click();
    EXPECT_TRUE(list->styleSheet().contains("QTreeView { background: #000080; }"));
    EXPECT_FALSE(player_test::ReadAll(Path("settings.conf")).contains("000080"));
}

TEST_F(ConfigTest, WithoutATrayThereIsNoIconAndThePlayerCannotBeHidden) {
    Store("Systray=1\n");
    Start(); // no tray under the offscreen platform
    EXPECT_TRUE(Control<QCheckBox>("vrcheckled9")->isChecked());
    EXPECT_FALSE(Config().TrayIconShown());
    EXPECT_FALSE(Player().ShowPlayer1->isEnabled());
    Player().ShowPlayer1->setChecked(false);
    Player().ShowPlayerClick();
    EXPECT_TRUE(Player().isVisible());
    EXPECT_TRUE(Player().ShowPlayer1->isChecked());
}

TEST_F(ConfigTest, WithATrayTheIconComesAndGoesAndTakesTheWayBackWithIt) {
    Start();
    ConfigLinks links;
    links.trayAvailable = [] { return true; };
    links.trayMenu = Player().JvPopupMenu1;
    links.trayIconChanged = [this](bool shown) { Player().SetTrayIconShown(shown); };
    ConfigWindow tray(std::move(links));
    auto *box = tray.findChild<QCheckBox *>("vrcheckled9");
    box->click();
    EXPECT_TRUE(tray.TrayIconShown());
    EXPECT_EQ(mirvane::settings::ReadBool("Systray"), true);
    EXPECT_TRUE(Player().ShowPlayer1->isEnabled());
    Player().ShowPlayer1->trigger(); // hides the player; the icon's menu brings it back
    EXPECT_FALSE(Player().isVisible());

    box->click(); // the icon goes, and the hidden player comes back
    EXPECT_FALSE(tray.TrayIconShown());
    EXPECT_EQ(mirvane::settings::ReadBool("Systray"), false);
    EXPECT_TRUE(Player().isVisible());
    EXPECT_TRUE(Player().ShowPlayer1->isChecked());
    EXPECT_FALSE(Player().ShowPlayer1->isEnabled());
}

TEST_F(ConfigTest, SkinChooserAppliesOnlyAWholeExistingNameAndRefusesPaths) {
    CopySkins();
    Start();
    auto *box = Control<QComboBox>("ComboBox1");
    ASSERT_EQ(box->count(), 2);
    EXPECT_EQ(box->itemText(0), "Steel");
    EXPECT_EQ(box->itemText(1), "Amber");
    const QString before = Player().SkinName;

    for (const char *typed : {"A", "Amb", "../Amber", "Skins/Amber", "Amber/..", "Nowhere"}) {
        box->setEditText(QString::fromLatin1(typed)); // keystrokes load nothing
        emit box->lineEdit()->returnPressed();
        EXPECT_EQ(Player().SkinName, before) << typed;
        EXPECT_NE(mirvane::settings::ReadString("SkinName"), QString::fromLatin1(typed));
    }
    box->setEditText("Amber");
    emit box->lineEdit()->returnPressed();
    EXPECT_EQ(Player().SkinName, "Amber");
    EXPECT_EQ(mirvane::settings::ReadString("SkinName"), "Amber");
    EXPECT_TRUE(Player().Skin().skinDir.endsWith("Skins/Amber/"));
    EXPECT_TRUE(dialogs.messages.empty());

    Control<QPushButton>("RefreshBtn")->click();
    EXPECT_EQ(box->count(), 2);
    EXPECT_TRUE(box->currentText().isEmpty());
    EXPECT_EQ(Player().SkinName, "Amber");
}

TEST_F(ConfigTest, AssociateButtonWritesTheDesktopEntryAndRemoveTakesOnlyOurs) {
    QTemporaryDir xdg;
    qputenv("XDG_DATA_HOME", (xdg.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (xdg.path() + "/config").toUtf8());
    QDir().mkpath(xdg.path() + "/config");
    player_test::WriteText(xdg.path() + "/config/mimeapps.list",
                           "[Default Applications]\naudio/mpeg=other.desktop;\n");
    Start();
    Control<QPushButton>("JvXPButton4")->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Associations were sucessfully made.");
    const QString entry = xdg.path() + "/data/applications/mirvane.desktop";
    EXPECT_TRUE(player_test::ReadAll(entry).contains(
        "Exec=" +
        prefs::EscapeDesktopString(
            prefs::QuoteExecArgument(QCoreApplication::applicationFilePath()))
            .toUtf8() +
        " %f\n"));
    EXPECT_TRUE(player_test::ReadAll(xdg.path() + "/config/mimeapps.list")
                    .contains("audio/mpeg=mirvane.desktop;other.desktop;\n"));

    Control<QPushButton>("RemoveAssocBtn")->click();
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_TRUE(player_test::ReadAll(xdg.path() + "/config/mimeapps.list")
                    .startsWith("[Default Applications]\naudio/mpeg=other.desktop;\n"));
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_CONFIG_HOME");
}

TEST_F(ConfigTest, DamagedSettingsFileGivesDesignValuesAndIsReadableAfterTheNextWrite) {
    static const char damaged[] = "\x00\xff\xfe garbage\n[[[\nSystray=\"yes\"\nVUEnabled=abc\n"
                                  "GridLines=1\nLedsVisible=\"1\"\nVolume=\"loud\"\n";
    Store(QByteArray(damaged, sizeof damaged - 1));
    Start();
    EXPECT_FALSE(Control<QCheckBox>("vrcheckled9")->isChecked());
    EXPECT_FALSE(Control<QCheckBox>("checkbox5")->isChecked());
    EXPECT_FALSE(Control<QCheckBox>("vrcheckled6")->isChecked());
    EXPECT_TRUE(Control<QCheckBox>("vrcheckled8")->isChecked());
    EXPECT_FALSE(Player().STitle->UpperCase());

    Control<QCheckBox>("checkbox4")->click();
    const QByteArray after = player_test::ReadAll(Path("settings.conf"));
    EXPECT_FALSE(after.contains("garbage"));
    for (const QByteArray &line : after.split('\n')) {
        if (line.isEmpty() || line.startsWith('#')) {
            continue;
        }
        const QByteArray value = line.mid(line.indexOf('=') + 1);
        bool number = false;
        value.toInt(&number);
        EXPECT_TRUE(number || (value.startsWith('"') && value.endsWith('"'))) << line.data();
    }
    EXPECT_EQ(mirvane::settings::ReadBool("3dSupport"), true);
    EXPECT_EQ(mirvane::settings::ReadBool("GridLines"), true);

    // An unreadable settings path (a folder) gives design values and no crash.
    program.reset();
    qputenv("MIRVANE_SETTINGS", home.path().toUtf8());
    Start();
    EXPECT_FALSE(Control<QCheckBox>("vrcheckled8")->isChecked());
    Control<QCheckBox>("vrcheckled8")->click();
    EXPECT_TRUE(List().ListView1->styleSheet().contains("QTreeView::item { border-right"));
}

} // namespace
