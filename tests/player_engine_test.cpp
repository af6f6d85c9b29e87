// The playback engine and the player window's controls, driven through the whole program.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>

#include <QCheckBox>

#include "bass_fx.h"
#include "controls/bitmap_font_label.h"
#include "controls/bitmap_slider.h"
#include "effects/effect_chain.h"
#include "effects/equalizer_window.h"
#include "player_support.h"
#include "prefs/settings.h"
#include "radio/radio_window.h"
#include "radio_server.h"
#include "tags/tag_editor.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

using namespace player_test;

namespace {

class Engine : public ProgramTest {
  protected:
    // A started program whose list holds WAVs of the given lengths, rows "<n>. A - t<n - 1>".
    void StartWith(const std::vector<double> &lengths) {
        std::vector<std::pair<QString, QString>> rows;
        for (size_t i = 0; i < lengths.size(); ++i) {
            const QString file = Path(QString("t%1.wav").arg(i));
            WriteWav(file, lengths[i]);
            rows.emplace_back(QString("%1. A - t%2").arg(i + 1).arg(i), file);
        }
        WriteAutomaticPlaylist(rows);
        Start();
    }
    void Seek(double seconds) {
        const DWORD ch = TheEngine().CurrentChannel();
        ASSERT_TRUE(BASS_ChannelSetPosition(ch, BASS_ChannelSeconds2Bytes(ch, float(seconds))));
    }
    QString Banner() { return Player().STitle->Text(); }
    DWORD Active() { return BASS_ChannelIsActive(TheEngine().CurrentChannel()); }
};

TEST_F(Engine, StreamSetsSliderMaximumBannerTimersAndMarks) {
    StartWith({245.6, 1.0});
    List().SelectRow(0);
    Player().PlaybtnClick();
    EXPECT_EQ(Active(), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_EQ(Player().SliderPos->MaxValue(), 246);
    EXPECT_EQ(Banner(), "1. A - t0 4:5 ");
    EXPECT_TRUE(Player().STitle->Banner());
    EXPECT_EQ(Player().TimerInterval(PlayerWindow::kPositionTimer), 90);
    EXPECT_EQ(Player().TimerInterval(PlayerWindow::kVisualTimer), 33);
    EXPECT_EQ(Player().StatusPictureShown(), PlayerWindow::StatusPlaying);
    EXPECT_EQ(List().Rows().stateIndex(0), mirvane::PlaylistModel::kPlayingMark);
    EXPECT_EQ(List().Panel2->text(), "Playlist - 1 of 2 Songs");

    // Another row while this one plays: the old channel goes first, the mark moves.
    const DWORD old = TheEngine().CurrentChannel();
    List().SelectRow(1);
    Player().PlaybtnClick();
    EXPECT_EQ(BASS_ChannelIsActive(old), DWORD(BASS_ACTIVE_STOPPED));
    EXPECT_EQ(List().Rows().stateIndex(0), -1);
    EXPECT_EQ(List().Rows().stateIndex(1), mirvane::PlaylistModel::kPlayingMark);
    EXPECT_EQ(TheEngine().CurrentIndex(), 1);
}

TEST_F(Engine, PositionTickShowsMinutesAndSecondsWithoutLeadingZeros) {
    StartWith({200.0});
    List().SelectRow(0);
    Player().PlaybtnClick();
    Seek(125.4);
    Player().PlayerTimerProc(PlayerWindow::kPositionTimer);
    EXPECT_EQ(Player().SliderPos->Value(), 125);
    EXPECT_EQ(Player().Label1->text(), "2:5");
}

TEST_F(Engine, NextInCountdownBeforeAFurtherRowButNotOnTheLast) {
    StartWith({20.0, 20.0});
    List().SelectRow(0);
    Player().PlaybtnClick();
    Seek(15.2);
    Player().PlayerTimerProc(PlayerWindow::kPositionTimer);
    EXPECT_EQ(Banner(), "Next in 5");
    EXPECT_FALSE(Player().STitle->Banner());
    Seek(16.3);
    Player().PlayerTimerProc(PlayerWindow::kPositionTimer);
    EXPECT_EQ(Banner(), "Next in 4");

    List().SelectRow(1);
    Player().PlaybtnClick();
    Seek(15.2);
    Player().PlayerTimerProc(PlayerWindow::kPositionTimer);
    EXPECT_EQ(Banner(), "2. A - t1 0:20 ");
}

TEST_F(Engine, StopWhilePausedAndPauseWhileStoppedDoNothing) {
    StartWith({30.0});
    Player().PsbtnClick(); // stopped: nothing
    EXPECT_FALSE(Player().Paused());
    EXPECT_EQ(Banner(), "Mirvane Player");

    List().SelectRow(0);
    Player().PlaybtnClick();
    Player().PsbtnClick();
    EXPECT_TRUE(Player().Paused());
    EXPECT_TRUE(Player().Pause1->isChecked());
    EXPECT_EQ(Active(), DWORD(BASS_ACTIVE_PAUSED));
    EXPECT_EQ(Banner(), "Paused");
    EXPECT_EQ(Player().StatusPictureShown(), PlayerWindow::StatusPaused);

    Player().StopbtnClick(); // paused: Stop does not stop
    EXPECT_EQ(Active(), DWORD(BASS_ACTIVE_PAUSED));
    EXPECT_EQ(Banner(), "Paused");

    // Dragging the position slider while paused neither says "Position change" nor seeks.
    Player().SliderPosStartTracking();
    EXPECT_FALSE(Player().PositionTracking);
    EXPECT_EQ(Banner(), "Paused");

    Player().PsbtnClick(); // resumes
    EXPECT_FALSE(Player().Paused());
    EXPECT_EQ(Active(), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_EQ(Banner(), "1. A - t0 0:30 ");
    EXPECT_TRUE(Player().STitle->Banner());

    Player().StopbtnClick();
    EXPECT_EQ(Active(), DWORD(BASS_ACTIVE_STOPPED));
    EXPECT_EQ(Banner(), "Stopped");
    EXPECT_EQ(Player().Label1->text(), "0:0");
    EXPECT_EQ(Player().SliderPos->Value(), 0);
    EXPECT_FALSE(Player().TimerActive(PlayerWindow::kPositionTimer));
    EXPECT_FALSE(Player().TimerActive(PlayerWindow::kVisualTimer));
    EXPECT_EQ(List().Rows().stateIndex(0), -1);
}

TEST_F(Engine, StartingARowClearsThePausedState) {
    StartWith({30.0, 30.0});
    List().SelectRow(0);
    Player().PlaybtnClick();
    Player().PsbtnClick();
    ASSERT_TRUE(Player().Paused());
    List().SelectRow(1);
    Player().PlaybtnClick();
    EXPECT_FALSE(Player().Paused());
    EXPECT_EQ(Active(), DWORD(BASS_ACTIVE_PLAYING));
}

TEST_F(Engine, NextOnTheLastRowAndPreviousOnTheFirstDoNothing) {
    StartWith({30.0, 30.0, 30.0});
    List().SelectRow(2);
    Player().PlaybtnClick();
    const DWORD playing = TheEngine().CurrentChannel();
    Player().NextbtnClick();
    EXPECT_EQ(TheEngine().CurrentChannel(), playing);
    EXPECT_EQ(TheEngine().CurrentIndex(), 2);

    Player().PrevbtnClick();
    EXPECT_EQ(TheEngine().CurrentIndex(), 1);
    EXPECT_EQ(List().SelectedRow(), 1);
    EXPECT_EQ(List().Rows().stateIndex(2), -1);
    EXPECT_EQ(List().Rows().stateIndex(1), mirvane::PlaylistModel::kPlayingMark);
    Player().PrevbtnClick();
    EXPECT_EQ(TheEngine().CurrentIndex(), 0);
    const DWORD first = TheEngine().CurrentChannel();
    Player().PrevbtnClick();
    EXPECT_EQ(TheEngine().CurrentChannel(), first);
    EXPECT_EQ(TheEngine().CurrentIndex(), 0);

    Player().NextbtnClick();
    EXPECT_EQ(TheEngine().CurrentIndex(), 1);
    EXPECT_EQ(List().Rows().stateIndex(0), -1);
}

TEST_F(Engine, PlayWithoutASelectedRowDoesNothing) {
    StartWith({30.0});
    Player().PlaybtnClick();
    EXPECT_EQ(TheEngine().CurrentChannel(), 0u);
    EXPECT_EQ(Player().Play1->shortcut(), QKeySequence("Ctrl+P"));
    Player().Play1->trigger();
    EXPECT_EQ(TheEngine().CurrentChannel(), 0u);
}

TEST_F(Engine, LastRowEndsStoppedWithoutWrapping) {
    StartWith({0.3, 0.3});
    List().SelectRow(0);
    Player().PlaybtnClick();
    ASSERT_TRUE(WaitFor([&] { return TheEngine().CurrentIndex() == 1; }));
    ASSERT_TRUE(WaitFor([&] { return Banner() == "Stopped"; }));
    EXPECT_EQ(TheEngine().CurrentIndex(), 1);
    EXPECT_EQ(Active(), DWORD(BASS_ACTIVE_STOPPED));
    EXPECT_EQ(List().Rows().stateIndex(0), -1);
    EXPECT_EQ(List().Rows().stateIndex(1), -1);
    EXPECT_EQ(Player().StatusPictureShown(), PlayerWindow::StatusStopped);
}

TEST_F(Engine, EndOfAChannelThatWasStoppedMeanwhileChangesNothing) {
    StartWith({0.3, 30.0});
    List().SelectRow(0);
    Player().PlaybtnClick();
    // The track ends while the user has already stopped it: the end report that arrives
    // afterwards must not start the next row.
    QThread::msleep(700);
    Player().StopbtnClick();
    List().StopPlayback();
    QCoreApplication::processEvents();
    EXPECT_EQ(TheEngine().CurrentIndex(), 0);
    EXPECT_EQ(Banner(), "Stopped");
}

TEST_F(Engine, TrackerMusicShowsNameAndOrdersAndNoTime) {
    QFile::copy(ShortModule(), Path("tune.mod"));
    WriteAutomaticPlaylist({{"1. Tune", Path("tune.mod")}});
    Start();
    List().SelectRow(0);
    Player().PlaybtnClick();
    EXPECT_EQ(Banner(), "Short Test Tune 1 ");
    EXPECT_FALSE(Player().TimerActive(PlayerWindow::kPositionTimer));
    EXPECT_TRUE(Player().TimerActive(PlayerWindow::kVisualTimer));
    EXPECT_EQ(Player().SliderPos->Value(), 0);
    EXPECT_EQ(Player().Label1->text(), "0:0");
}

TEST_F(Engine, FileThatCannotBePlayedPlaysNothingQuietly) {
    WriteText(Path("broken.mp3"), "not audio at all");
    WriteAutomaticPlaylist({{"1. Broken", Path("broken.mp3")}});
    Start();
    List().SelectRow(0);
    Player().PlaybtnClick();
    EXPECT_EQ(TheEngine().CurrentChannel(), 0u);
    EXPECT_EQ(Banner(), "1. Broken 0:0 ");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Engine, VisualTickDrawsTheSpectrumOnlyForTheSpectrumVisual) {
    StartWith({30.0});
    List().SelectRow(0);
    Player().PlaybtnClick();
    // No skin in this program folder: its Visual is what the loader stored.
    const bool spectrum = Player().Skin().visual == "Spectrum";
    Player().PlayerTimerProc(PlayerWindow::kVisualTimer);
    EXPECT_EQ(Player().PaintBox1->isVisible(), spectrum);
}

TEST_F(Engine, VolumeAndBalanceSlidersShowStoreAndRestore) {
    StartWith({30.0});
    List().SelectRow(0);
    Player().PlaybtnClick();
    Player().SliderVolStartTracking();
    Player().SliderVol->setValue(73);
    EXPECT_EQ(mirvane::settings::ReadInteger("Volume"), 73);
    EXPECT_EQ(Player().SliderVol->toolTip(), "Volume: 73");
    EXPECT_EQ(Banner(), "Volume 73");
    EXPECT_FALSE(Player().STitle->Banner());
    Player().SliderVolStopTracking();
    EXPECT_EQ(Banner(), "1. A - t0");
    EXPECT_TRUE(Player().STitle->Banner());

    Player().SliderBal->setValue(-100);
    EXPECT_EQ(Player().SliderBal->toolTip(), "Balance: -100");
    EXPECT_EQ(Banner(), "Balance -100");
    int pan = 0;
    BASS_ChannelGetAttributes(TheEngine().CurrentChannel(), nullptr, nullptr, &pan);
    EXPECT_EQ(pan, -100);
    // The radio's title shows when there is no row.
    program->radio->Label3->setText("Radio Song");
    List().RemoveAllClick();
    Player().SliderBalStopTracking();
    EXPECT_EQ(Banner(), "Radio Song");
}

TEST_F(Engine, PositionDragSeeksAndAlwaysEndsTracking) {
    StartWith({60.0});
    List().SelectRow(0);
    Player().PlaybtnClick();
    Player().SliderPosStartTracking();
    EXPECT_TRUE(Player().PositionTracking);
    EXPECT_EQ(Banner(), "Position change");
    Player().SliderPos->setValue(40);
    Player().SliderPosStopTracking();
    EXPECT_FALSE(Player().PositionTracking);
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(TheEngine().CurrentChannel(),
                                          BASS_ChannelGetPosition(TheEngine().CurrentChannel())),
                40.0, 0.5);
    EXPECT_EQ(Banner(), "1. A - t0");

    // A drag that began while playing and ends after the channel stopped still ends tracking.
    Player().SliderPosStartTracking();
    Player().StopbtnClick();
    Player().SliderPosStopTracking();
    EXPECT_FALSE(Player().PositionTracking);
}

TEST_F(Engine, RemovingRowsKeepsCurrentIndexOnThePlayingRow) {
    StartWith({30.0, 30.0, 30.0, 30.0, 30.0});
    List().SelectRow(3);
    Player().PlaybtnClick();
    List().SelectRow(1);
    List().RemoveSelectedClick();
    EXPECT_EQ(TheEngine().CurrentIndex(), 2);
    EXPECT_EQ(List().Caption(2), "3. A - t3"); // rows show their current numbers
    EXPECT_EQ(List().SelectedRow(), -1);
    List().SelectRow(3);
    List().RemoveSelectedClick(); // a later row: nothing moves
    EXPECT_EQ(TheEngine().CurrentIndex(), 2);
    List().RemoveSelectedClick(); // nothing selected any more: nothing happens
    EXPECT_EQ(List().RowCount(), 3);
    List().RemoveAllClick();
    EXPECT_EQ(List().Panel2->text(), "Playlist - 0 of 0 Songs"); // the title bar follows
}

TEST_F(Engine, RemovingThePlayingRowMakesTheRowAfterItNext) {
    StartWith({30.0, 30.0, 30.0, 30.0});
    List().SelectRow(1);
    Player().PlaybtnClick();
    List().SelectRow(1);
    List().RemoveSelectedClick(); // the playing row goes; "t2" follows it
    EXPECT_EQ(List().Panel2->text(), "Playlist - 0 of 3 Songs");
    Player().NextbtnClick();
    EXPECT_EQ(TheEngine().CurrentIndex(), 1);
    EXPECT_TRUE(List().Caption(1).endsWith("t2"));
    EXPECT_EQ(List().Rows().stateIndex(1), mirvane::PlaylistModel::kPlayingMark);
    EXPECT_EQ(List().Rows().stateIndex(0), -1);
}

TEST_F(Engine, MenuTicksAndTrayAnswer) {
    StartWith({30.0});
    // Without a tray there would be no way back to a hidden player.
    EXPECT_FALSE(Player().ShowPlayer1->isEnabled());
    Player().ShowPlayer1->trigger();
    EXPECT_TRUE(Player().isVisible());
    Player().SetTrayIconShown(true);
    Player().ShowPlayer1->trigger();
    EXPECT_FALSE(Player().isVisible());
    const QPoint place = Player().pos();
    Player().ShowPlayer1->trigger();
    EXPECT_TRUE(Player().isVisible());
    EXPECT_EQ(Player().pos(), place);

    Player().StayOnTop1->trigger();
    EXPECT_EQ(mirvane::settings::ReadBool("OnTop"), true);
    EXPECT_TRUE(Player().windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(Player().isVisible());
    Player().StayOnTop1->trigger();
    EXPECT_EQ(mirvane::settings::ReadBool("OnTop"), false);

    Player().WM_CALLBACKPRO(0x201); // left button: nothing
    EXPECT_FALSE(Player().JvPopupMenu1->isVisible());
    Player().WM_CALLBACKPRO(0x204);
    EXPECT_TRUE(Player().JvPopupMenu1->isVisible());
    Player().JvPopupMenu1->hide();

    Player().PlbuttonClick();
    EXPECT_TRUE(List().isVisible());
    Player().PlbuttonClick(); // while it unfolds: it folds back from where it is and hides
    EXPECT_TRUE(WaitFor([this] { return !List().isVisible(); }));
    EXPECT_EQ(List().width(), 370);
    Player().PlbuttonClick();
    EXPECT_TRUE(WaitFor([this] { return List().width() == 370; }));
    Player().PlbuttonClick(); // unfolded: hides at once
    EXPECT_FALSE(List().isVisible());
}

// "ID3 Tag" opens the editor on the playing file, so its Save writes there; typing survives a
// second opening, and with nothing playing the editor keeps what it holds.
TEST_F(Engine, TagEditorOpensOnThePlayingFileAndSavesThere) {
    StartWith({30.0, 30.0});
    TagEditor &editor = *program->tagEditor;
    List().SelectRow(1);
    Player().PlaybtnClick();
    Player().ID3Tag1->trigger();
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(editor.Filename->text(), "t1.wav");
    EXPECT_TRUE(editor.savebutton->isEnabled());
    editor.Title->setText("Typed");
    Player().ID3Tag1->trigger();
    EXPECT_EQ(editor.Title->text(), "Typed");
    editor.SaveButtonClick();
    EXPECT_EQ(editor.StatusLine->text(), "Tag saved.");
    EXPECT_TRUE(ReadAll(Path("t1.wav")).startsWith("ID3"));
    EXPECT_TRUE(ReadAll(Path("t0.wav")).startsWith("RIFF"));

    Player().StopbtnClick();
    editor.hide();
    List().SelectRow(0);
    Player().ID3Tag1->trigger();
    EXPECT_EQ(editor.Filename->text(), "t1.wav");
    EXPECT_EQ(editor.Title->text(), "Typed");
}

TEST_F(Engine, ButtonWhoseImagesAreMissingStillRunsItsCommand) {
    // No skin files in this program folder: every image swap fails quietly and the click
    // still plays the row.
    StartWith({30.0});
    List().SelectRow(0);
    PictureButton *play = Player().PlayBtn;
    const QPointF inside(3, 3);
    QMouseEvent press(QEvent::MouseButtonPress, inside, play->mapToGlobal(inside), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, inside, play->mapToGlobal(inside),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(play, &press);
    QApplication::sendEvent(play, &release);
    EXPECT_EQ(Active(), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_EQ(TheEngine().CurrentIndex(), 0);
}

TEST_F(Engine, EqualizerIsAttachedToEachNewChannelWhileOn) {
    StartWith({30.0, 30.0});
    program->equalizer->chkEqualizer->click(); // checking it with nothing playing fails quietly
    ASSERT_TRUE(program->equalizer->chkEqualizer->isChecked());
    List().SelectRow(0);
    Player().PlaybtnClick();
    BASS_FX_DSPPEAKEQ band{};
    band.lBand = 3;
    ASSERT_TRUE(
        BASS_FX_DSP_GetParameters(TheEngine().CurrentChannel(), BASS_FX_DSPFX_PEAKEQ, &band));
    EXPECT_FLOAT_EQ(band.fCenter, 1000.0f);
    EXPECT_FLOAT_EQ(band.fGain, 2.0f); // sliders at 8: 10 - 8 dB
    EXPECT_FLOAT_EQ(band.fBandwidth, 2.5f);
    // Unticked: faded out (so it does not click), then removed; the next channel starts
    // without it.
    program->equalizer->chkEqualizer->click();
    ASSERT_TRUE(WaitFor([this] { return mirvane::EffectChain::Of(TheEngine()).Idle(); }));
    EXPECT_FALSE(
        BASS_FX_DSP_GetParameters(TheEngine().CurrentChannel(), BASS_FX_DSPFX_PEAKEQ, &band));
    List().SelectRow(1);
    Player().PlaybtnClick();
    EXPECT_FALSE(
        BASS_FX_DSP_GetParameters(TheEngine().CurrentChannel(), BASS_FX_DSPFX_PEAKEQ, &band));
}

TEST_F(Engine, GripFollowsTheCursorOnlyToTheRightAndBelow) {
    StartWith({});
    List().setGeometry(100, 100, 370, 474);
    QCursor::setPos(300, 400);
    List().ResizeToCursor();
    EXPECT_EQ(List().size(), QSize(200, 300));
    QCursor::setPos(50, 450);
    List().ResizeToCursor();
    EXPECT_EQ(List().size(), QSize(200, 350));
}

} // namespace

// A station's stream becomes the engine's channel: its title scrolls in the player's banner, the
// equalizer follows it, and Stop frees it and empties the radio's labels. A station that fails
// leaves nothing playing and keeps "Not playing".
TEST_F(Engine, RadioStationPlaysAsTheCurrentChannelUntilStop) {
    radiotest::Reply r;
    r.headers = {"icy-name:Local", "icy-br:128"};
    r.metaInt = 16000;
    r.audio = radiotest::readFile(MIRVANE_TEST_DATA "/audio/mp3_cbr_stereo_44100.mp3");
    r.titles = {"StreamTitle='Artist - Song';StreamUrl='';"};
    radiotest::IcyServer server({r});
    int refused;
    {
        radiotest::IcyServer gone({r});
        refused = gone.port();
    }
    WriteText(Path("iradio.ini"),
              "[Local]\r\nURL=" + QByteArray::fromStdString(server.url()) +
                  "\r\n[Gone]\r\nURL=http://127.0.0.1:" + QByteArray::number(refused) + "/\r\n");
    StartWith({30.0});
    List().SelectRow(0);
    Player().PlaybtnClick();
    const DWORD file = TheEngine().CurrentChannel();
    program->equalizer->chkEqualizer->click();
    ASSERT_TRUE(program->equalizer->chkEqualizer->isChecked());
    RadioWindow &radio = *program->radio;
    const auto connectRow = [&](int row) {
        radio.chanlist->clearSelection();
        radio.chanlist->topLevelItem(row)->setSelected(true);
        radio.chanlistDblClick();
    };

    connectRow(0);
    ASSERT_TRUE(WaitFor([&] { return TheEngine().CurrentChannel() != file; }));
    const DWORD stream = TheEngine().CurrentChannel();
    EXPECT_EQ(BASS_ChannelIsActive(file), DWORD(BASS_ACTIVE_STOPPED)); // freed
    EXPECT_EQ(Active(), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_EQ(TheEngine().State(), mirvane::PlaybackEngine::Status::Playing);
    BASS_FX_DSPPEAKEQ band{};
    band.lBand = 3;
    EXPECT_TRUE(BASS_FX_DSP_GetParameters(stream, BASS_FX_DSPFX_PEAKEQ, &band));
    ASSERT_TRUE(WaitFor([&] { return Banner() == "Artist - Song "; }));
    EXPECT_TRUE(Player().STitle->Banner());
    EXPECT_EQ(radio.Channellbl->text(), "Local");

    Player().StopbtnClick();
    EXPECT_EQ(BASS_ChannelIsActive(stream), DWORD(BASS_ACTIVE_STOPPED));
    EXPECT_FALSE(radio.RadioInUse());
    EXPECT_EQ(radio.Label3->text(), "");

    connectRow(1);
    ASSERT_TRUE(WaitFor([&] { return radio.Statuslbl->text() == "Not playing"; }));
    EXPECT_EQ(TheEngine().CurrentChannel(), 0u);
    EXPECT_EQ(TheEngine().State(), mirvane::PlaybackEngine::Status::Stopped);
    EXPECT_EQ(dialogs.messages.size(), 1u);
}
