// Resuming playback at start: the Settings page's option, the close step and the next start,
// through the whole program and the real audio library.
#include <QCheckBox>

#include "app/player_window.h"
#include "controls/bitmap_font_label.h"
#include "player_support.h"
#include "prefs/config_window.h"
#include "prefs/settings.h"

namespace {

using player_test::WaitFor;
using Status = mirvane::PlaybackEngine::Status;

class Resume : public player_test::ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        // No remote control in these runs: they are about the start and the close only.
        qputenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + Path("no-bus-here")).toUtf8());
    }
    void TearDown() override {
        ProgramTest::TearDown();
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    double PositionSeconds() {
        const DWORD channel = TheEngine().CurrentChannel();
        return BASS_ChannelBytes2Seconds(channel, BASS_ChannelGetPosition(channel));
    }
};

TEST_F(Resume, TickedTheNextStartPlaysTheRowFromWhereItWasLeftUntickedItStaysStopped) {
    player_test::WriteWav(Path("one.wav"), 30.0);
    player_test::WriteWav(Path("two.wav"), 30.0);
    WriteAutomaticPlaylist({{"1. One", Path("one.wav")}, {"2. Two", Path("two.wav")}});

    // The option starts unticked; a click on it stores it.
    Start();
    QCheckBox *box = program->config->findChild<QCheckBox *>("vrcheckled10");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Resume playback at start");
    EXPECT_FALSE(box->isChecked());
    box->click();
    EXPECT_EQ(mirvane::settings::ReadBool("Resume"), true);

    // Row 2 at 12 s when the player closes.
    TheEngine().PlayEntry(1);
    const DWORD channel = TheEngine().CurrentChannel();
    ASSERT_TRUE(BASS_ChannelSetPosition(channel, BASS_ChannelSeconds2Bytes(channel, 12.0f)));
    ASSERT_TRUE(WaitFor([&] { return PositionSeconds() >= 12.0; }));
    Player().close();
    program.reset();

    // Ticked: the box shows it and the row plays from there.
    Start();
    EXPECT_TRUE(program->config->findChild<QCheckBox *>("vrcheckled10")->isChecked());
    EXPECT_EQ(TheEngine().State(), Status::Playing);
    EXPECT_EQ(TheEngine().CurrentIndex(), 1);
    EXPECT_GE(PositionSeconds(), 11.9);
    EXPECT_LT(PositionSeconds(), 16.0);

    // Stopped at the close: nothing to resume, the start stays stopped.
    TheEngine().StopPlayback();
    program.reset();
    Start();
    EXPECT_EQ(TheEngine().State(), Status::Stopped);

    // A point stored, then the option unticked: the start is as it always was.
    TheEngine().PlayEntry(0);
    program.reset();
    Start();
    ASSERT_EQ(TheEngine().State(), Status::Playing);
    program->config->findChild<QCheckBox *>("vrcheckled10")->click();
    EXPECT_EQ(mirvane::settings::ReadBool("Resume"), false);
    program.reset();
    Start();
    EXPECT_EQ(TheEngine().State(), Status::Stopped);
    EXPECT_EQ(Player().STitle->property("Text").toString().trimmed(), "Mirvane Player");
}

} // namespace
