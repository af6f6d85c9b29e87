// The Sonique page and window and the Winamp page, driven by their object names offscreen,
// with the real sample plugins, the real audio library and its SDL2 drivers.
#include "vis_support.h"

#include "bass_vis.h"
#include "common/dialogs.h"
#include "vis/sonique_page.h"
#include "vis/sonique_window.h"
#include "vis/vis.h"
#include "vis/vis_canvas.h"
#include "vis/vis_recording.h"
#include "vis/winamp_page.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

using namespace vistest;
using namespace mirvane::vis;

namespace {

template <typename T> T *Child(QWidget *w, const char *name) {
    T *c = w->findChild<T *>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
}

void Click(QWidget *w, const char *name) {
    Child<QPushButton>(w, name)->click();
}

// A program folder whose vis/ holds the sample plugins and whatever a test adds.
struct ProgramFolder {
    QTemporaryDir dir;
    QString path() const { return dir.path() + "/"; }
    QString vis() const { return dir.path() + "/vis"; }
    ProgramFolder() {
        CopyInto(SpectrumPlugin(), vis());
        CopyInto(ScopePlugin(), vis());
        CopyInto(ModuleFile(), vis());
    }
};

QStringList Captions(QTreeWidget *list) {
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << list->topLevelItem(i)->text(0);
    return out;
}

void SelectRow(QTreeWidget *list, int row) {
    list->setCurrentItem(list->topLevelItem(row));
    list->topLevelItem(row)->setSelected(true);
}

SoniqueWindow *OpenWindow() {
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == "svis" && w->isVisible())
            return static_cast<SoniqueWindow *>(w);
    return nullptr;
}

} // namespace

TEST(SoniquePage, ScanListsEachFileByNameAndAnEmptyFolderEmptiesTheList) {
    UseHelper(true);
    App();
    ProgramFolder program;
    WriteBytes(program.vis() + "/broken.svp", "not a shared object");
    Pages pages = CreatePages(nullptr, program.path());
    SoniquePage *page = pages.sonique;
    EXPECT_EQ(Child<QLineEdit>(page, "Edit1")->text(), program.vis() + "/");
    auto *list = Child<QTreeWidget>(page, "ListPlugs");
    EXPECT_EQ(list->headerItem()->text(0), "Plugin name");
    EXPECT_EQ(Child<QPushButton>(page, "button3")->text(), "Start");
    EXPECT_EQ(Child<QPushButton>(page, "JvXPButton5")->text(), "Scan for plugins");
    EXPECT_EQ(Child<QPushButton>(page, "button4")->text(), "Stop");
    EXPECT_TRUE(Child<QPushButton>(page, "button4")->isEnabled());

    Click(page, "JvXPButton5");
    // The broken file keeps its (empty) row, so rows and files stay in step, and says why.
    EXPECT_EQ(Captions(list), QStringList({"", "Mirvane Scope Trails", "Mirvane Spectrum Peaks"}));
    EXPECT_EQ(page->property("SoniquePluginFiles").toStringList(),
              QStringList({program.vis() + "/broken.svp", program.vis() + "/scope_trails.svp",
                           program.vis() + "/spectrum_peaks.svp"}));
    EXPECT_TRUE(list->topLevelItem(0)->toolTip(0).contains("cannot be loaded"));

    QTemporaryDir empty;
    Child<QLineEdit>(page, "Edit1")->setText(empty.path());
    Click(page, "JvXPButton5");
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_TRUE(page->SoniquePluginFiles().isEmpty());
    delete pages.sonique;
    delete pages.winamp;
}

TEST(SoniqueWindow, StartWithoutCaptureDeviceSaysSoDrawsAndStopHidesIt) {
    UseHelper(true);
    App();
    ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    mirvane::RecordingDialogs dialogs;
    ProgramFolder program;
    SoniquePage page(program.path());
    Click(&page, "button3"); // nothing selected: nothing happens
    EXPECT_EQ(OpenWindow(), nullptr);
    Click(&page, "JvXPButton5");
    SelectRow(page.ListPlugs, 1); // "Mirvane Spectrum Peaks"
    Click(&page, "button3");

    SoniqueWindow *w = OpenWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Sonique Plugins");
    EXPECT_EQ(w->size(), QSize(242, 283));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Cant initialize device");
    EXPECT_EQ(dialogs.messages[0].caption, "Error");
    EXPECT_EQ(dialogs.messages[0].owner, nullptr);
    auto *box = Child<VisCanvas>(w, "PaintBox1");
    EXPECT_TRUE(box->status().startsWith("No capture device"));
    EXPECT_STREQ(BASS_SONIQUEVIS_GetName(w->VisHandle()), "Mirvane Spectrum Peaks");
    EXPECT_FALSE(page.button3->isEnabled());
    EXPECT_TRUE(page.button4->isEnabled());
    auto *timer = w->findChild<QTimer *>("vrTimer1");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 25);
    EXPECT_TRUE(RunUntil([&] { return w->FramesDrawn() > 3; }));
    EXPECT_EQ(box->frame().size(), box->size());
    EXPECT_EQ(box->frame().pixel(0, 0) >> 24, 0xFFu); // the plugin's backdrop

    Click(&page, "button4");
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->VisHandle(), 0u);
    EXPECT_FALSE(timer->isActive());
    EXPECT_TRUE(page.button3->isEnabled());
    EXPECT_FALSE(page.button4->isEnabled());
    EXPECT_EQ(VisRecording::Holders(), 0);
}

TEST(SoniqueWindow, MenuItemsSetTheHostAndTheRenderInterval) {
    UseHelper(true);
    App();
    ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    mirvane::RecordingDialogs dialogs;
    ProgramFolder program;
    SoniquePage page(program.path());
    Click(&page, "JvXPButton5");
    SelectRow(page.ListPlugs, 0);
    Click(&page, "button3");
    SoniqueWindow *w = OpenWindow();
    ASSERT_NE(w, nullptr);
    const struct {
        const char *item;
        DWORD option, value;
    } settings[] = {{"N11", 1, 1}, {"N24", 1, 2}, {"N34", 1, 3}, {"N43", 1, 4}, {"N02", 2, 0},
                    {"N14", 2, 1}, {"N21", 2, 2}, {"N31", 2, 3}, {"N01", 3, 0}, {"N12", 3, 1},
                    {"N22", 3, 2}, {"N32", 3, 3}, {"N41", 3, 4}, {"N51", 3, 5}};
    for (const auto &s : settings) {
        auto *a = w->findChild<QAction *>(s.item);
        ASSERT_NE(a, nullptr) << s.item;
        EXPECT_EQ(a->text(), QString::number(s.value));
        a->trigger();
        EXPECT_EQ(BASS_VIS_GetConfig(s.option), s.value) << s.item;
    }
    const struct {
        const char *item, *caption;
        int ms;
    } updates[] = {{"Realtime2", "Realtime", 1},
                   {"N102", "+10", 10},
                   {"N202", "+20", 20},
                   {"N302", "+30", 30}};
    for (const auto &u : updates) {
        auto *a = w->findChild<QAction *>(u.item);
        ASSERT_NE(a, nullptr) << u.item;
        EXPECT_EQ(a->text(), u.caption);
        a->trigger();
        EXPECT_EQ(w->vrTimer1->interval(), u.ms);
        EXPECT_EQ(w->property("renderInterval").toInt(), u.ms);
    }
    BASS_VIS_SetConfig(1, 2);
    BASS_VIS_SetConfig(2, 0);
    BASS_VIS_SetConfig(3, 0);
    Click(&page, "button4");
}

TEST(SoniqueWindow, AResizeRecreatesThePluginSelectedNowAndHidingStopsDrawing) {
    UseHelper(true);
    App();
    ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    mirvane::RecordingDialogs dialogs;
    ProgramFolder program;
    SoniquePage page(program.path());
    Click(&page, "JvXPButton5");
    SelectRow(page.ListPlugs, 0);
    Click(&page, "button3");
    SoniqueWindow *w = OpenWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_STREQ(BASS_SONIQUEVIS_GetName(w->VisHandle()), "Mirvane Scope Trails");
    SelectRow(page.ListPlugs, 1);
    w->resize(300, 200);
    EXPECT_STREQ(BASS_SONIQUEVIS_GetName(w->VisHandle()), "Mirvane Spectrum Peaks");
    EXPECT_TRUE(RunUntil([&] { return w->PaintBox1->frame().width() == 300; }));

    w->hide(); // hidden or minimised: no frames, no timer
    EXPECT_FALSE(w->vrTimer1->isActive());
    const int frames = w->FramesDrawn();
    RunFor(150);
    EXPECT_EQ(w->FramesDrawn(), frames);
    w->show();
    EXPECT_TRUE(w->vrTimer1->isActive());
    EXPECT_TRUE(RunUntil([&] { return w->FramesDrawn() > frames; }));
    w->setWindowState(Qt::WindowMinimized);
    EXPECT_FALSE(w->vrTimer1->isActive());
    Click(&page, "button4");

    // The next Start makes a fresh window at the design size.
    Click(&page, "button3");
    SoniqueWindow *again = OpenWindow();
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, w);
    EXPECT_EQ(again->geometry(), QRect(232, 567, 242, 283));
    Click(&page, "button4");
}

TEST(SoniqueWindow, APluginThatStopsIsReportedAndTheWindowGoesOn) {
    UseHelper(true);
    App();
    ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    mirvane::RecordingDialogs dialogs;
    QTemporaryDir dir;
    CopyInto(BadPluginDir() + "/bad_stops.svp", dir.path() + "/vis");
    SoniquePage page(dir.path() + "/");
    Click(&page, "JvXPButton5");
    ASSERT_EQ(page.ListPlugs->topLevelItemCount(), 1);
    SelectRow(page.ListPlugs, 0);
    Click(&page, "button3");
    SoniqueWindow *w = OpenWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(RunUntil([&] { return w->PaintBox1->status() == "plugin stopped"; }));
    EXPECT_FALSE(w->vrTimer1->isActive());
    Click(&page, "button4");
}

TEST(SoniqueWindow, APluginThatCrashesIsReportedAndThePlayerGoesOn) {
    UseHelper(true);
    App();
    ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    mirvane::RecordingDialogs dialogs;
    QTemporaryDir dir;
    CopyInto(BadPluginDir() + "/bad_crashes.svp", dir.path() + "/vis");
    SoniquePage page(dir.path() + "/");
    Click(&page, "JvXPButton5");
    EXPECT_EQ(Captions(page.ListPlugs), QStringList({"Misbehaves"}));
    SelectRow(page.ListPlugs, 0);
    Click(&page, "button3");
    SoniqueWindow *w = OpenWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(RunUntil([&] { return w->PaintBox1->status() == "plugin stopped"; }));
    Click(&page, "button4");
    // Start again: a fresh helper draws until it crashes again.
    Click(&page, "button3");
    ASSERT_NE(OpenWindow(), nullptr);
    EXPECT_TRUE(RunUntil([&] { return OpenWindow()->PaintBox1->status() == "plugin stopped"; }));
    Click(&page, "button4");
}

TEST(WinampPage, ScanGivesOneLinePerModuleAndStartRunsTheChosenOne) {
    UseHelper(true);
    App();
    ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    mirvane::RecordingDialogs dialogs;
    ProgramFolder program;
    CopyInto(BadPluginDir() + "/vis_bad_no_modules.so", program.vis());
    WinampPage page(program.path());
    EXPECT_EQ(Child<QLineEdit>(&page, "Edit2")->text(), program.vis() + "/");
    const char *buttons[][2] = {{"JvXPButton6", "Start"},
                                {"JvXPButton1", "Scan"},
                                {"JvXPButton8", "Config"},
                                {"JvXPButton7", "Stop"}};
    for (const auto &b : buttons)
        EXPECT_EQ(Child<QPushButton>(&page, b[0])->text(), b[1]);
    Click(&page, "JvXPButton8"); // Config with nothing running: nothing happens
    Click(&page, "JvXPButton6"); // Start with nothing selected: nothing happens
    EXPECT_EQ(page.VisHandle(), 0u);

    Click(&page, "JvXPButton1");
    Click(&page, "JvXPButton1"); // a second scan replaces the first
    auto *list = Child<QListWidget>(&page, "waplugz");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), "Mirvane Bars");
    EXPECT_EQ(list->item(2)->text(), "Mirvane Fire");
    EXPECT_EQ(page.property("WinampPluginModules").toStringList(), QStringList({"0", "1", "2"}));
    EXPECT_EQ(page.property("WinampPluginFiles").toStringList().size(), 3);

    list->setCurrentRow(1);
    Click(&page, "JvXPButton6");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Can't initialize device");
    EXPECT_STREQ(BASS_WINAMPVIS_GetName(page.VisHandle()), "Mirvane Dots");
    EXPECT_TRUE(page.visWindow->isVisible());
    EXPECT_EQ(page.visWindow->windowTitle(), "Mirvane Dots");
    EXPECT_TRUE(page.Timer1->isActive());
    EXPECT_TRUE(RunUntil([&] { return page.FramesDrawn() > 3; }));
    Click(&page, "JvXPButton8");

    // Start again with another line: the first module is freed, the second runs.
    list->setCurrentRow(2);
    Click(&page, "JvXPButton6");
    EXPECT_STREQ(BASS_WINAMPVIS_GetName(page.VisHandle()), "Mirvane Fire");
    EXPECT_EQ(page.visWindow->size(), QSize(200, 120));
    page.visWindow->hide();
    EXPECT_FALSE(page.Timer1->isActive());
    page.visWindow->show();
    EXPECT_TRUE(page.Timer1->isActive());

    Click(&page, "JvXPButton7");
    EXPECT_EQ(page.VisHandle(), 0u);
    EXPECT_FALSE(page.Timer1->isActive());
    EXPECT_FALSE(page.visWindow->isVisible());
}

TEST(SharedRecording, TheSoniqueWindowAndTheWinampPageHoldOneRecordingTogether) {
    UseHelper(true);
    App();
    QTemporaryDir dir;
    DiskCapture capture(WriteSineRaw(dir.filePath("in.raw"), 440, 5));
    mirvane::RecordingDialogs dialogs;
    ProgramFolder program;
    SoniquePage sonique(program.path());
    WinampPage winamp(program.path());
    Click(&sonique, "JvXPButton5");
    SelectRow(sonique.ListPlugs, 1);
    Click(&sonique, "button3");
    SoniqueWindow *w = OpenWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_NE(w->RecordingChannel(), 0u);
    EXPECT_TRUE(w->PaintBox1->status().isEmpty());
    Click(&winamp, "JvXPButton1");
    winamp.waplugz->setCurrentRow(0);
    Click(&winamp, "JvXPButton6");
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(winamp.RecordingChannel(), w->RecordingChannel());
    EXPECT_EQ(VisRecording::Holders(), 2);
    RunFor(200);
    // Stopping one leaves the other's sound alone; the last one ends the recording.
    Click(&winamp, "JvXPButton7");
    EXPECT_EQ(VisRecording::Holders(), 1);
    EXPECT_EQ(BASS_ChannelIsActive(w->RecordingChannel()), DWORD(BASS_ACTIVE_PLAYING));
    Click(&sonique, "button4");
    EXPECT_EQ(VisRecording::Holders(), 0);
}

TEST(SoniqueWindow, WithTheDummyDriverItShowsSilenceWithoutAMessage) {
    UseHelper(true);
    App();
    ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    mirvane::RecordingDialogs dialogs;
    ProgramFolder program;
    SoniquePage page(program.path());
    Click(&page, "JvXPButton5");
    SelectRow(page.ListPlugs, 0);
    Click(&page, "button3");
    SoniqueWindow *w = OpenWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(RunUntil([&] { return w->FramesDrawn() > 2; }));
    // SDL2's dummy driver records silence: no message, and the window keeps drawing.
    EXPECT_TRUE(dialogs.messages.empty());
    Click(&page, "button4");
    EXPECT_EQ(VisRecording::Holders(), 0);
}
