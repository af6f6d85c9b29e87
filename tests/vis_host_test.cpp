// The plugin host library against the sample plugins, broken plugins and real recordings, and
// the pure parts the windows build on (the found-plugins text, the panel spectrum, the budget).
#include "vis_support.h"

#include "bass_vis.h"
#include "sound.h"
#include "vis/frame_budget.h"
#include "vis/plugin_list.h"

#include <gtest/gtest.h>

#include <array>
#include <thread>

using namespace vistest;
using mirvane::vis::FrameBudget;
using mirvane::vis::SplitPluginList;

namespace {

QString Name(HVIS h) {
    return QString::fromUtf8(BASS_SONIQUEVIS_GetName(h));
}

struct Frame {
    std::vector<uint32_t> px;
    BASS_VIS_CANVAS canvas;
    Frame(int w, int h) : px(size_t(w) * size_t(h)), canvas{px.data(), w, h, w} {}
};

} // namespace

TEST(PluginList, SplitsQuotedAndUnquotedItemsByTheRule) {
    UseHelper(false);
    EXPECT_EQ(SplitPluginList(""), QStringList());
    EXPECT_EQ(SplitPluginList("  /a/x.svp,/b/y.svp"), QStringList({"/a/x.svp", "/b/y.svp"}));
    // A comma consumes the blanks after it; a trailing comma adds one empty item.
    EXPECT_EQ(SplitPluginList("/a/x.svp ,  /b/y.svp,"), QStringList({"/a/x.svp", "/b/y.svp", ""}));
    // Quoted: blanks and commas stay, doubled quotes stand for one.
    EXPECT_EQ(SplitPluginList("\"/my dir/a,b \"\"q\"\".svp\",/c.svp"),
              QStringList({"/my dir/a,b \"q\".svp", "/c.svp"}));
    // Unquoted with a blank: two items.
    EXPECT_EQ(SplitPluginList("/my dir/x.svp"), QStringList({"/my", "dir/x.svp"}));
    EXPECT_EQ(SplitPluginList("\t\n/a.svp"), QStringList({"/a.svp"}));
}

TEST(FindPlugins, ListsEachKindSortedAndQuotesPathsWithBlanks) {
    UseHelper(false);
    QTemporaryDir dir;
    const QString root = dir.path();
    CopyInto(SpectrumPlugin(), root);
    CopyInto(ScopePlugin(), root);
    CopyInto(ModuleFile(), root);
    const QString deep = CopyInto(ScopePlugin(), root + "/sub dir", "deep.svp");
    const QString deepModule = CopyInto(ModuleFile(), root + "/sub dir");
    WriteBytes(root + "/notes.txt", "not a plugin");

    const QString panels = QString::fromUtf8(
        BASS_VIS_FindPlugins(root.toUtf8(), BASS_VIS_FIND_SONIQUE | BASS_VIS_FIND_COMMALIST));
    EXPECT_EQ(SplitPluginList(panels),
              QStringList({root + "/scope_trails.svp", root + "/spectrum_peaks.svp"}));
    const QString modules = QString::fromUtf8(BASS_VIS_FindPlugins(root.toUtf8(), 14));
    EXPECT_EQ(SplitPluginList(modules), QStringList({deepModule, root + "/vis_mirvane.so"}));
    EXPECT_TRUE(modules.contains('"')) << qPrintable(modules); // the blank is quoted
    const QString both = QString::fromUtf8(BASS_VIS_FindPlugins(
        root.toUtf8(), BASS_VIS_FIND_SONIQUE | BASS_VIS_FIND_WINAMP | BASS_VIS_FIND_RECURSIVE));
    EXPECT_EQ(SplitPluginList(both).size(), 5);
    EXPECT_TRUE(SplitPluginList(both).contains(deep));

    EXPECT_STREQ(BASS_VIS_FindPlugins((root + "/missing").toUtf8(), 9), "");
    EXPECT_EQ(BASS_VIS_FindPlugins(nullptr, 9), nullptr);
}

TEST(SamplePlugins, PanelPluginsNameThemselvesAndDrawSilence) {
    UseHelper(false);
    const HVIS spectrum =
        BASS_SONIQUEVIS_CreateVis(SpectrumPlugin().toUtf8(), "", BASS_VIS_NAME_ONLY, 0, 0);
    const HVIS scope =
        BASS_SONIQUEVIS_CreateVis(ScopePlugin().toUtf8(), "", BASS_VIS_NAME_ONLY, 0, 0);
    ASSERT_NE(spectrum, 0u) << BASS_VIS_GetErrorText();
    ASSERT_NE(scope, 0u);
    EXPECT_EQ(Name(spectrum), "Mirvane Spectrum Peaks");
    EXPECT_EQ(Name(scope), "Mirvane Scope Trails");
    Frame f(242, 240);
    EXPECT_FALSE(BASS_SONIQUEVIS_Render(spectrum, 0, &f.canvas)); // a name-only handle
    EXPECT_TRUE(BASS_SONIQUEVIS_Free(spectrum));
    EXPECT_FALSE(BASS_SONIQUEVIS_Free(spectrum));
    EXPECT_TRUE(BASS_SONIQUEVIS_Free(scope));
    EXPECT_EQ(BASS_SONIQUEVIS_GetName(spectrum), nullptr);
    EXPECT_FALSE(BASS_SONIQUEVIS_Free(0));

    for (const QString &file : {SpectrumPlugin(), ScopePlugin()}) {
        const HVIS h = BASS_SONIQUEVIS_CreateVis(file.toUtf8(), "/tmp/vis.ini", 0, 242, 240);
        ASSERT_NE(h, 0u) << BASS_VIS_GetErrorText();
        for (int i = 0; i < 5; ++i)
            ASSERT_TRUE(BASS_SONIQUEVIS_Render(h, 0, &f.canvas)) << qPrintable(file);
        // Every pixel is opaque, and silence still draws the backdrop and the floor lines.
        EXPECT_EQ(f.px[0] >> 24, 0xFFu);
        EXPECT_GT(PixelsUnlike(f.px.data(), 242, 240, 242, 0), 0);
        EXPECT_TRUE(BASS_SONIQUEVIS_Clicked(h, 10, 10, 1));
        EXPECT_TRUE(BASS_SONIQUEVIS_Render(h, 0, &f.canvas));
        EXPECT_FALSE(BASS_SONIQUEVIS_Render(h, 0, nullptr));
        EXPECT_TRUE(BASS_SONIQUEVIS_Free(h));
    }
}

TEST(SamplePlugins, PanelPluginsShowTheSoundOfARecording) {
    UseHelper(false);
    QTemporaryDir dir;
    DiskCapture capture(WriteSineRaw(dir.filePath("in.raw"), 1000, 3));
    ASSERT_TRUE(BASS_RecordInit(0)) << BASS_ErrorGetCode();
    const HRECORD rec = BASS_RecordStart(44100, 2, 1, nullptr, nullptr);
    ASSERT_NE(rec, 0u);
    const HVIS spectrum = BASS_SONIQUEVIS_CreateVis(SpectrumPlugin().toUtf8(), "", 0, 200, 200);
    const HVIS quiet = BASS_SONIQUEVIS_CreateVis(SpectrumPlugin().toUtf8(), "", 0, 200, 200);
    const HVIS scope = BASS_SONIQUEVIS_CreateVis(ScopePlugin().toUtf8(), "", 0, 200, 200);
    Frame loud(200, 200), silent(200, 200), wave(200, 200);
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        ASSERT_TRUE(BASS_SONIQUEVIS_Render(spectrum, rec, &loud.canvas));
        ASSERT_TRUE(BASS_SONIQUEVIS_Render(quiet, 0, &silent.canvas));
        ASSERT_TRUE(BASS_SONIQUEVIS_Render(scope, rec, &wave.canvas));
    }
    // A 1 kHz tone raises bars that silence does not have.
    int differ = 0;
    for (size_t i = 0; i < loud.px.size(); ++i)
        differ += loud.px[i] != silent.px[i];
    EXPECT_GT(differ, 200);
    // The scope's trace leaves the centre lines: bright pixels far from y = 50 and y = 150.
    int away = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            away += std::abs(y - 50) > 10 && std::abs(y - 150) > 10 && y > 2 && y < 198 &&
                    (wave.px[size_t(y) * 200 + size_t(x)] & 0xFF00) > 0x8000;
    EXPECT_GT(away, 50);
    BASS_SONIQUEVIS_Free(spectrum);
    BASS_SONIQUEVIS_Free(quiet);
    BASS_SONIQUEVIS_Free(scope);
    EXPECT_TRUE(BASS_RecordFree());
}

TEST(SamplePlugins, OneModuleFileHoldsThreeModulesThatEachRun) {
    UseHelper(false);
    const QByteArray file = ModuleFile().toUtf8();
    QStringList names;
    for (int m = 0;; ++m) {
        const HVIS h = BASS_WINAMPVIS_CreateVis(file, m, BASS_VIS_NAME_ONLY);
        if (!h)
            break;
        names << QString::fromUtf8(BASS_WINAMPVIS_GetName(h));
        EXPECT_FALSE(BASS_WINAMPVIS_Render(h, 0));
        BASS_WINAMPVIS_Free(h);
    }
    EXPECT_EQ(names, QStringList({"Mirvane Bars", "Mirvane Dots", "Mirvane Fire"}));
    EXPECT_NE(std::string(BASS_VIS_GetErrorText()).find("no module 3"), std::string::npos);

    for (int m = 0; m < 3; ++m) {
        const HVIS h = BASS_WINAMPVIS_CreateVis(file, m, 0);
        ASSERT_NE(h, 0u) << BASS_VIS_GetErrorText();
        // A module record is the plugin's own static storage: one running instance at a time.
        EXPECT_EQ(BASS_WINAMPVIS_CreateVis(file, m, 0), 0u);
        EXPECT_NE(std::string(BASS_VIS_GetErrorText()).find("already running"), std::string::npos);
        BASS_VIS_CANVAS frame{};
        for (int i = 0; i < 30; ++i)
            ASSERT_TRUE(BASS_WINAMPVIS_Render(h, 0));
        ASSERT_TRUE(BASS_WINAMPVIS_GetFrame(h, &frame));
        EXPECT_GE(frame.width, 16);
        EXPECT_GE(frame.height, 16);
        EXPECT_EQ(frame.pixels[0] >> 24, 0xFFu);
        EXPECT_TRUE(BASS_WINAMPVIS_Config(h));
        EXPECT_TRUE(BASS_WINAMPVIS_Render(h, 0));
        EXPECT_TRUE(BASS_WINAMPVIS_Free(h));
    }
    EXPECT_FALSE(BASS_WINAMPVIS_Config(0));
    EXPECT_FALSE(BASS_WINAMPVIS_Free(0));
}

static void ExpectBadPluginsRefused() {
    QTemporaryDir dir;
    WriteBytes(dir.filePath("random.svp"), QByteArray::fromHex("7f454c46deadbeef00112233"));
    WriteBytes(dir.filePath("vis_random.so"), QByteArray(4096, '\x5a'));
    WriteBytes(dir.filePath("empty.svp"), QByteArray());
    const QString bad = BadPluginDir();
    struct Case {
        QString file;
        const char *why;
    };
    const Case panels[] = {
        {dir.filePath("random.svp"), "cannot be loaded"},
        {dir.filePath("empty.svp"), "cannot be loaded"},
        {dir.filePath("missing.svp"), "cannot be loaded"},
        {bad + "/bad_no_entry.svp", "no entry point mvis_sonique_query"},
        {bad + "/bad_null_module.svp", "returned no module"},
        {bad + "/bad_other_abi.svp", "interface version 99"},
        {ModuleFile(), "no entry point mvis_sonique_query"},
    };
    for (const Case &c : panels) {
        EXPECT_EQ(BASS_SONIQUEVIS_CreateVis(c.file.toUtf8(), "", BASS_VIS_NAME_ONLY, 0, 0), 0u);
        const std::string why = BASS_VIS_GetErrorText();
        EXPECT_NE(why.find(c.file.toStdString()), std::string::npos) << why;
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
    }
    // An init that fails: the name can be read, the plugin cannot run.
    const QByteArray failing = (bad + "/bad_init_fails.svp").toUtf8();
    const HVIS named = BASS_SONIQUEVIS_CreateVis(failing, "", BASS_VIS_NAME_ONLY, 0, 0);
    EXPECT_NE(named, 0u);
    BASS_SONIQUEVIS_Free(named);
    EXPECT_EQ(BASS_SONIQUEVIS_CreateVis(failing, "", 0, 10, 10), 0u);
    EXPECT_NE(std::string(BASS_VIS_GetErrorText()).find("failed to start"), std::string::npos);

    const Case modules[] = {
        {dir.filePath("vis_random.so"), "cannot be loaded"},
        {bad + "/vis_bad_null_header.so", "returned no header"},
        {bad + "/vis_bad_no_modules.so", "no module 0"},
        {SpectrumPlugin(), "no entry point mvis_winamp_header"},
    };
    for (const Case &c : modules) {
        EXPECT_EQ(BASS_WINAMPVIS_CreateVis(c.file.toUtf8(), 0, BASS_VIS_NAME_ONLY), 0u);
        const std::string why = BASS_VIS_GetErrorText();
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
    }
    EXPECT_EQ(BASS_WINAMPVIS_CreateVis(ModuleFile().toUtf8(), -1, 0), 0u);
    EXPECT_EQ(BASS_SONIQUEVIS_CreateVis(nullptr, "", 0, 1, 1), 0u);
}

static void ExpectHugeNameCut() {
    const HVIS h = BASS_SONIQUEVIS_CreateVis((BadPluginDir() + "/bad_huge_name.svp").toUtf8(), "",
                                             BASS_VIS_NAME_ONLY, 0, 0);
    ASSERT_NE(h, 0u);
    const QByteArray name = BASS_SONIQUEVIS_GetName(h);
    EXPECT_LE(name.size(), 255);
    EXPECT_GE(name.size(), 253);
    EXPECT_TRUE(QString::fromUtf8(name).toUtf8() == name); // valid UTF-8 to the end
    EXPECT_TRUE(name.endsWith("\xc3\xa9") || name.endsWith("x"));
    BASS_SONIQUEVIS_Free(h);
}

TEST(BadPlugins, EachIsRefusedWithALineThatNamesItAndWhyInEitherProcess) {
    for (bool helper : {false, true}) {
        SCOPED_TRACE(helper ? "in the helper" : "in this process");
        UseHelper(helper);
        ExpectBadPluginsRefused();
        ExpectHugeNameCut();
    }
}

TEST(BadPlugins, APluginThatGivesUpIsNotDrawnAgain) {
    UseHelper(false);
    const HVIS h =
        BASS_SONIQUEVIS_CreateVis((BadPluginDir() + "/bad_stops.svp").toUtf8(), "", 0, 8, 8);
    ASSERT_NE(h, 0u);
    Frame f(8, 8);
    EXPECT_TRUE(BASS_SONIQUEVIS_Render(h, 0, &f.canvas));
    EXPECT_TRUE(BASS_SONIQUEVIS_Render(h, 0, &f.canvas));
    EXPECT_FALSE(BASS_SONIQUEVIS_Render(h, 0, &f.canvas)); // the third frame says stop
    EXPECT_NE(std::string(BASS_VIS_GetErrorText()).find("asked to stop"), std::string::npos);
    EXPECT_FALSE(BASS_SONIQUEVIS_Render(h, 0, &f.canvas));
    EXPECT_TRUE(BASS_SONIQUEVIS_Free(h));
}

TEST(HostSettings, EachOptionTakesItsRangeOnly) {
    UseHelper(false);
    EXPECT_EQ(BASS_VIS_GetConfig(1), 2u);
    EXPECT_TRUE(BASS_VIS_SetConfig(1, 4));
    EXPECT_FALSE(BASS_VIS_SetConfig(1, 5));
    EXPECT_FALSE(BASS_VIS_SetConfig(1, 0));
    EXPECT_EQ(BASS_VIS_GetConfig(1), 4u);
    EXPECT_TRUE(BASS_VIS_SetConfig(2, 3));
    EXPECT_FALSE(BASS_VIS_SetConfig(2, 4));
    EXPECT_TRUE(BASS_VIS_SetConfig(3, 5));
    EXPECT_FALSE(BASS_VIS_SetConfig(3, 6));
    EXPECT_FALSE(BASS_VIS_SetConfig(4, 0));
    EXPECT_EQ(BASS_VIS_GetConfig(4), DWORD(-1));
    EXPECT_TRUE(BASS_VIS_SetConfig(1, 2));
    EXPECT_TRUE(BASS_VIS_SetConfig(2, 0));
    EXPECT_TRUE(BASS_VIS_SetConfig(3, 0));
}

TEST(PanelSpectrum, ATonesBinLandsInItsBandForEachZoom) {
    UseHelper(false);
    std::array<float, mirvane::vis::kFftBins> fft{};
    fft[100] = 0.5f; // a full-scale sine, 100 * 44100 / 2048 = 2153 Hz
    float bands[256];
    mirvane::vis::PanelSpectrum(fft, 2, 0, bands, 256);
    EXPECT_FLOAT_EQ(bands[25], std::min(1.0f, std::sqrt(0.5f) * 1.5f));
    EXPECT_EQ(bands[24], 0.0f);
    mirvane::vis::PanelSpectrum(fft, 1, 2, bands, 256); // zoom 2: the lowest quarter, 1 bin each
    EXPECT_NEAR(bands[100], std::sqrt(0.5f) * 0.75f, 1e-6);
    mirvane::vis::PanelSpectrum(fft, 4, 3, bands, 256); // zoom 3: bin 100 is band 200
    EXPECT_EQ(bands[200], 1.0f);
}

TEST(FrameBudget, ASlowPluginIsDrawnLessOftenAndAFastOneAtTheChosenRate) {
    UseHelper(false);
    FrameBudget fast(25);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(fast.next(500'000), 25); // 0.5 ms a frame
    FrameBudget slow(25);
    int interval = 0;
    for (int i = 0; i < 30; ++i)
        interval = slow.next(20'000'000); // 20 ms a frame
    EXPECT_EQ(interval, 80);              // a quarter of the time spent drawing
    FrameBudget stuck(1);
    for (int i = 0; i < 30; ++i)
        interval = stuck.next(2'000'000'000);
    EXPECT_EQ(interval, 1000);
}

TEST(Isolation, TheHelperDrawsWhatThisProcessDraws) {
    Frame here(242, 264), there(242, 264);
    UseHelper(false);
    const HVIS a = BASS_SONIQUEVIS_CreateVis(SpectrumPlugin().toUtf8(), "", 0, 242, 264);
    UseHelper(true);
    const HVIS b = BASS_SONIQUEVIS_CreateVis(SpectrumPlugin().toUtf8(), "", 0, 242, 264);
    ASSERT_NE(b, 0u) << BASS_VIS_GetErrorText();
    EXPECT_EQ(Name(b), "Mirvane Spectrum Peaks");
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(BASS_SONIQUEVIS_Render(a, 0, &here.canvas));
        ASSERT_TRUE(BASS_SONIQUEVIS_Render(b, 0, &there.canvas)) << BASS_VIS_GetErrorText();
    }
    EXPECT_EQ(here.px, there.px);
    // A click reaches the plugin in the helper: the backdrop turns light.
    EXPECT_TRUE(BASS_SONIQUEVIS_Clicked(b, 1, 1, 1));
    ASSERT_TRUE(BASS_SONIQUEVIS_Render(b, 0, &there.canvas));
    EXPECT_GT(there.px[0] & 0xFF, 200u);
    // A canvas of another size gets the helper's frame in its corner and black elsewhere.
    Frame wider(300, 100);
    ASSERT_TRUE(BASS_SONIQUEVIS_Render(b, 0, &wider.canvas));
    EXPECT_EQ(wider.px[299], 0xFF000000u);
    BASS_SONIQUEVIS_Free(a);
    EXPECT_TRUE(BASS_SONIQUEVIS_Free(b));
}

TEST(Isolation, APluginThatCrashesOrHangsEndsOnlyItsHelper) {
    UseHelper(true);
    Frame f(16, 16);
    const struct {
        const char *file, *why;
    } cases[] = {{"/bad_crashes.svp", "it crashed (signal 11)"},
                 {"/bad_hangs.svp", "it did not answer within 500 ms"}};
    for (const auto &c : cases) {
        const HVIS h = BASS_SONIQUEVIS_CreateVis((BadPluginDir() + c.file).toUtf8(), "", 0, 16, 16);
        ASSERT_NE(h, 0u) << BASS_VIS_GetErrorText();
        EXPECT_TRUE(BASS_SONIQUEVIS_Render(h, 0, &f.canvas));
        EXPECT_TRUE(BASS_SONIQUEVIS_Render(h, 0, &f.canvas));
        EXPECT_FALSE(BASS_SONIQUEVIS_Render(h, 0, &f.canvas));
        const std::string why = BASS_VIS_GetErrorText();
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
        EXPECT_FALSE(BASS_SONIQUEVIS_Render(h, 0, &f.canvas));
        EXPECT_TRUE(BASS_SONIQUEVIS_Clicked(h, 1, 1, 1));
        EXPECT_TRUE(BASS_SONIQUEVIS_Free(h));
    }
    BASS_VIS_SetHelper("/no/such/helper");
    EXPECT_EQ(BASS_SONIQUEVIS_CreateVis(SpectrumPlugin().toUtf8(), "", 0, 16, 16), 0u);
    EXPECT_NE(std::string(BASS_VIS_GetErrorText()).find("cannot be started"), std::string::npos)
        << BASS_VIS_GetErrorText();
    UseHelper(false);
}
