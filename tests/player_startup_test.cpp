// Start-up and shut-down of the whole program in a temporary program folder.
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

#include "bass_fx.h"
#include "controls/bitmap_font_label.h"
#include "controls/bitmap_slider.h"
#include "effects/equalizer_window.h"
#include "player_support.h"
#include "prefs/config_window.h"
#include "prefs/settings.h"
#include "radio/radio_window.h"
#include "tags/tag_editor.h"

#include <unistd.h>

using namespace player_test;

// Font configuration keeps a few bytes for the life of the process; not ours to free.
extern "C" const char *__lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

namespace {

DWORD WrongVersion() {
    return 0x00010001;
}

class StartUp : public ProgramTest {};

TEST_F(StartUp, WithoutArgumentsTheListHoldsTheAutomaticPlaylist) {
    WriteWav(Path("a.wav"), 1.0);
    WriteAutomaticPlaylist({{"1. A - a", Path("a.wav")},
                            {"2. B - b", Path("gone.wav")},
                            {"3. C, with comma", "http://radio.example/stream"}});
    Start();
    // The six windows exist in their order, by their names; only the player is visible.
    EXPECT_EQ(Player().objectName(), "Form1");
    EXPECT_EQ(program->tagEditor->objectName(), "id32");
    EXPECT_EQ(List().objectName(), "Form2");
    EXPECT_EQ(program->config->objectName(), "Form5");
    EXPECT_EQ(program->equalizer->objectName(), "eq2");
    EXPECT_EQ(program->radio->objectName(), "form3");
    EXPECT_EQ(Player().windowTitle(), "Mirvane Player");
    EXPECT_EQ(List().windowTitle(), "Mirvane PlayList");
    EXPECT_EQ(program->config->windowTitle(), "Configuration");
    EXPECT_EQ(program->equalizer->windowTitle(), "Mirvane Eq");
    EXPECT_EQ(program->radio->windowTitle(), "Internet radio");
    EXPECT_TRUE(Player().isVisible());
    EXPECT_FALSE(List().isVisible());

    ASSERT_EQ(List().RowCount(), 3);
    EXPECT_EQ(List().Caption(2), "3. C, with comma");
    EXPECT_EQ(List().Panel2->text(), "Playlist - 0 of 3 Songs");
    EXPECT_EQ(Player().STitle->Text(), "Mirvane Player");
    EXPECT_EQ(TheEngine().CurrentChannel(), 0u);
    EXPECT_TRUE(dialogs.messages.empty());
    // A new user hears something: the volume starts above 0 and is stored.
    EXPECT_GT(Player().SliderVol->Value(), 0);
    EXPECT_EQ(mirvane::settings::ReadInteger("Volume"), Player().SliderVol->Value());
}

TEST_F(StartUp, StoredSettingsAreHonoured) {
    mirvane::settings::WriteInteger("Volume", 35);
    mirvane::settings::WriteBool("OnTop", true);
    mirvane::settings::WriteString("SkinName", "Amber");
    Start();
    EXPECT_EQ(Player().SliderVol->Value(), 35);
    EXPECT_TRUE(Player().StayOnTop1->isChecked());
    EXPECT_TRUE(Player().windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(Player().SkinName, "Amber");
    EXPECT_EQ(Player().Skin().skinDir, Path("Skins/Amber/"));
}

TEST_F(StartUp, SkinNameNeverStoredLoadsTheDefaultSkin) {
    Start();
    EXPECT_EQ(Player().SkinName, QString::fromLatin1(mirvane::kDefaultSkinName));
}

TEST_F(StartUp, CommandLineFileParsedByPosition) {
    Start();
    const QString exe = '"' + QCoreApplication::applicationFilePath() + '"';
    EXPECT_EQ(Player().GetCMDLineFile(exe), "");
    EXPECT_EQ(Player().GetCMDLineFile(exe + " "), "");
    EXPECT_EQ(Player().GetCMDLineFile(exe + " x"), "x");
    // Nothing is trimmed or unquoted.
    EXPECT_EQ(Player().GetCMDLineFile(exe + " \"/a b.mp3\" "), "\"/a b.mp3\" ");
}

TEST_F(StartUp, CommandLineTrackerFileBecomesRowOneAndRowTwoFollowsAtItsEnd) {
    QFile::copy(ShortModule(), Path("tune.xm"));
    WriteWav(Path("next.wav"), 2.0);
    WriteAutomaticPlaylist({{"7. Next - wav", Path("next.wav")}});
    mirvane::settings::WriteBool("eqstatus", true);
    Start(Path("tune.xm"));

    ASSERT_EQ(List().RowCount(), 2);
    EXPECT_TRUE(List().Caption(0).startsWith("1. "));
    EXPECT_EQ(List().FileName(0), Path("tune.xm"));
    EXPECT_EQ(List().Caption(1), "2. Next - wav"); // every row shows its current number
    EXPECT_EQ(TheEngine().CurrentIndex(), 0);
    EXPECT_EQ(List().SelectedRow(), 0);
    // It plays as tracker music, and the banner shows its title, not the program's name.
    EXPECT_STREQ(BASS_MusicGetName(TheEngine().CurrentChannel()), "Short Test Tune");
    EXPECT_TRUE(Player().STitle->Text().startsWith("Short Test Tune "));
    EXPECT_EQ(List().Rows().stateIndex(0), mirvane::PlaylistModel::kPlayingMark);
    EXPECT_EQ(List().Panel2->text(), "Playlist - 1 of 2 Songs");
    // The stored equalizer is on, so the first track hears it as every later one does.
    BASS_FX_DSPPEAKEQ band{};
    EXPECT_TRUE(
        BASS_FX_DSP_GetParameters(TheEngine().CurrentChannel(), BASS_FX_DSPFX_PEAKEQ, &band));

    ASSERT_TRUE(WaitFor([&] { return TheEngine().CurrentIndex() == 1; }));
    EXPECT_EQ(List().Rows().stateIndex(0), -1);
    EXPECT_EQ(List().Rows().stateIndex(1), mirvane::PlaylistModel::kPlayingMark);
    EXPECT_EQ(BASS_ChannelIsActive(TheEngine().CurrentChannel()), DWORD(BASS_ACTIVE_PLAYING));
}

TEST_F(StartUp, UpperCaseExtensionIsAcceptedOtherExtensionsIgnored) {
    WriteWav(Path("loud.MP3"), 1.0); // content decides how it plays, the name whether it is taken
    Start(Path("loud.MP3"));
    ASSERT_EQ(List().RowCount(), 1);
    EXPECT_NE(TheEngine().CurrentChannel(), 0u);
    program.reset();
    QFile::remove(Path("playlist.m3u"));

    WriteText(Path("notes.txt"), "hello");
    Start(Path("notes.txt"));
    EXPECT_EQ(List().RowCount(), 0);
    EXPECT_EQ(TheEngine().CurrentChannel(), 0u);
    program.reset();
    QFile::remove(Path("playlist.m3u"));

    Start(Path("missing.mp3"));
    EXPECT_EQ(List().RowCount(), 0);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(StartUp, ExitThenRestartRestoresRowsAndTitles) {
    WriteWav(Path("one.wav"), 4.6);
    WriteWav(Path("two.wav"), 245.6);
    WriteAutomaticPlaylist({});
    Start();
    List().AppendEntry(Path("one.wav"));
    List().AppendEntry(Path("two.wav"));
    List().AppendEntry(Path("three.wav")); // never existed: not kept
    const QString caption0 = List().Caption(0);
    Player().ExitClick();
    EXPECT_FALSE(Player().isVisible());
    EXPECT_EQ(ReadAll(Path("playlist.m3u")), "#EXTM3U\r\n#EXTINF:005," + caption0.toUtf8() +
                                                 "\r\n" + Path("one.wav").toUtf8() +
                                                 "\r\n#EXTINF:246," + List().Caption(1).toUtf8() +
                                                 "\r\n" + Path("two.wav").toUtf8() + "\r\n");
    program.reset();

    Start();
    ASSERT_EQ(List().RowCount(), 2);
    EXPECT_EQ(List().Caption(0), caption0);
    EXPECT_EQ(List().FileName(1), Path("two.wav"));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(StartUp, FirstStartShowsTheDemoTracks) {
    const QString demo = QStringLiteral(MIRVANE_SOURCE_DIR "/data/demo");
    ASSERT_TRUE(QDir().mkpath(Path("demo")));
    for (const QString &name : QDir(demo).entryList(QDir::Files)) {
        QFile::copy(demo + "/" + name, Path("demo/" + name));
    }
    Start();
    ASSERT_EQ(List().RowCount(), 4);
    for (int row = 0; row < 4; ++row) {
        EXPECT_TRUE(QFileInfo(List().FileName(row)).isFile()) << row;
    }
    // Each demo track opens: the module as tracker music, the others as streams.
    const QByteArray mod = List().FileName(3).toUtf8();
    const HMUSIC music = BASS_MusicLoad(FALSE, mod.constData(), 0, 0, 0, 0);
    EXPECT_NE(music, 0u);
    BASS_MusicFree(music);
    for (int row = 0; row < 3; ++row) {
        const QByteArray path = List().FileName(row).toUtf8();
        const HSTREAM s = BASS_StreamCreateFile(FALSE, path.constData(), 0, 0, BASS_STREAM_DECODE);
        EXPECT_NE(s, 0u) << row;
        BASS_StreamFree(s);
    }
}

TEST_F(StartUp, WrongLibraryVersionGivesTheMessageNoRowsAndKeepsTheStoredList) {
    WriteWav(Path("a.wav"), 1.0);
    WriteAutomaticPlaylist({{"1. A - a", Path("a.wav")}});
    const QByteArray before = ReadAll(Path("playlist.m3u"));
    QFile::copy(ShortModule(), Path("tune.mod"));
    Start(Path("tune.mod"), &WrongVersion);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "BASS version 2.1 was not loaded\r\n(error code: 0)");
    EXPECT_EQ(dialogs.messages[0].caption, "Error");
    EXPECT_EQ(dialogs.messages[0].icon, mirvane::MsgIcon::Error);
    EXPECT_EQ(List().RowCount(), 0);
    EXPECT_EQ(TheEngine().CurrentChannel(), 0u);
    EXPECT_EQ(List().Panel2->text(), "Playlist");
    ASSERT_NE(program->radio, nullptr); // the other windows still open
    program.reset();
    // The list that could not be read is not replaced by an empty one.
    EXPECT_EQ(ReadAll(Path("playlist.m3u")), before);
}

TEST_F(StartUp, SoundSystemThatCannotStartGivesTheMessageWithTheLibraryCode) {
    const QByteArray driver = qgetenv("SDL_AUDIODRIVER");
    qputenv("SDL_AUDIODRIVER", "no-such-driver");
    WriteWav(Path("a.wav"), 1.0);
    WriteAutomaticPlaylist({{"1. A - a", Path("a.wav")}});
    Start();
    qputenv("SDL_AUDIODRIVER", driver);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Can't initialize digital sound system\r\n(error code: 3)");
    EXPECT_EQ(dialogs.messages[0].owner, program->playlist);
    // The start goes on: the list is there.
    EXPECT_EQ(List().RowCount(), 1);
}

TEST_F(StartUp, AutomaticPlaylistThatCannotBeWrittenGivesWriteErrorAndTheProgramEnds) {
    ASSERT_TRUE(QDir().mkpath(Path("playlist.m3u"))); // a folder in its place
    Start();
    Player().close();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Can't write the chosen file...");
    EXPECT_EQ(dialogs.messages[0].caption, "Write-Error");
    EXPECT_TRUE(dialogs.messages[0].foreground);
    EXPECT_EQ(dialogs.messages[0].owner, program->player);
    EXPECT_TRUE(QFileInfo(Path("playlist.m3u")).isDir());
    program.reset();
    EXPECT_EQ(dialogs.messages.size(), 1u); // the close step ran once
}

TEST(ErrorRule, ExceptionEscapingAHandlerIsSwallowedAndTheProgramGoesOn) {
    App();
    struct Thrower : QObject {
        int events = 0;
        bool event(QEvent *e) override {
            if (e->type() == QEvent::User) {
                ++events;
                throw std::runtime_error("abandon this handler");
            }
            return QObject::event(e);
        }
    } thrower;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(thrower.events, 2);
}

} // namespace

namespace {

TEST_F(StartUp, AutomaticPlaylistWithBadBytesOrNoReadAccessLosesNoRows) {
    WriteWav(Path("a.wav"), 1.0);
    WriteWav(Path("b.wav"), 1.0);
    // A NUL after the first row: both rows are read, and both are written back at exit.
    WriteText(Path("playlist.m3u"), "#EXTM3U\r\n#EXTINF:1,1. A\r\n" + Path("a.wav").toUtf8() +
                                        QByteArray("\r\n\0", 3) + "#EXTINF:1,2. B\r\n" +
                                        Path("b.wav").toUtf8() + "\r\n");
    Start();
    EXPECT_EQ(List().RowCount(), 2);
    program.reset();
    EXPECT_TRUE(ReadAll(Path("playlist.m3u")).contains(Path("b.wav").toUtf8()));

    if (::geteuid() == 0) {
        GTEST_SKIP() << "file permissions do not stop root from reading";
    }
    // Not readable by this user: kept aside under another name, the user told once.
    ASSERT_TRUE(QFile::setPermissions(Path("playlist.m3u"), QFileDevice::WriteOwner));
    Start();
    EXPECT_EQ(List().RowCount(), 0);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    program.reset();
    QFile::setPermissions(Path("playlist.m3u.unreadable"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_TRUE(ReadAll(Path("playlist.m3u.unreadable")).contains(Path("b.wav").toUtf8()));
}

} // namespace
