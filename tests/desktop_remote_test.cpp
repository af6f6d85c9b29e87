// The desktop's media-player remote control, driven over a real private session bus while the
// whole program plays real files through the audio library.
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QFile>
#include <QUrl>
#include <cmath>
#include <limits>

#include "app/player_window.h"
#include "controls/bitmap_slider.h"
#include "desktop/mpris_service.h"
#include "desktop_support.h"
#include "prefs/settings.h"
#include "tags/id3v2.h"
#include "tags/title_lookup.h"

namespace {

using desktop_test::RemoteTest;
using player_test::WaitFor;
using Status = mirvane::PlaybackEngine::Status;

const QString kRoot = "org.mpris.MediaPlayer2";
const QString kPlayer = "org.mpris.MediaPlayer2.Player";

// Records what the player announces on the bus: PropertiesChanged and Seeked.
class Announcements : public QObject {
    Q_OBJECT
  public:
    Announcements(QDBusConnection &bus) {
        // The bus's own connect takes only the slot's signature text.
        EXPECT_TRUE(bus.connect("", "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties",
                                "PropertiesChanged", this,
                                SLOT(PropertiesChanged(QString, QVariantMap, QStringList))));
        EXPECT_TRUE(bus.connect("", "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Player",
                                "Seeked", this, SLOT(Seeked(qlonglong))));
    }
    std::vector<QVariantMap> changes; // the Player interface's, in order
    std::vector<qlonglong> seeks;

    // The last announced value of a Player property since `from`, or invalid.
    QVariant Last(const QString &name, size_t from = 0) const {
        for (size_t i = changes.size(); i > from; --i) {
            if (changes[i - 1].contains(name)) {
                return changes[i - 1].value(name);
            }
        }
        return {};
    }

  public slots:
    void PropertiesChanged(const QString &interface, const QVariantMap &changed,
                           const QStringList &) {
        if (interface == "org.mpris.MediaPlayer2.Player") {
            changes.push_back(changed);
        }
    }
    void Seeked(qlonglong position) { seeks.push_back(position); }
};

QVariantMap AsMap(const QVariant &value) {
    return value.canConvert<QDBusArgument>() ? qdbus_cast<QVariantMap>(value) : value.toMap();
}

class Remote : public RemoteTest {
  protected:
    // Three rows: a tagged one-second MP3, then two silent 30-second WAVs.
    void StartWithThreeRows() {
        tagged = Path("tagged.mp3");
        ASSERT_TRUE(QFile::copy(QStringLiteral(MIRVANE_TEST_DATA "/audio/mp3_id3v2_mono_22050.mp3"),
                                tagged));
        QFile::setPermissions(tagged, QFile::ReadOwner | QFile::WriteOwner);
        Id3v2Tag tag;
        const std::string name = TagFileName(tagged);
        ASSERT_LE(tag.LoadTag(name, 0), 0xFF);
        tag.SetTextFrame("TALB", "Quiet Hours");
        ASSERT_LE(tag.SaveTag(name, 3, 0, 0), 0xFF);
        player_test::WriteWav(Path("long1.wav"), 30.0);
        player_test::WriteWav(Path("long2.wav"), 30.0);
        WriteAutomaticPlaylist({{"1. Mirvane - Tagged", tagged},
                                {"2. First long", Path("long1.wav")},
                                {"3. Second long", Path("long2.wav")}});
        Start();
        ASSERT_NE(program->mpris, nullptr) << "the remote control did not start";
        ASSERT_EQ(TheEngine().RowCount(), 3);
    }
    void PlayRow(int row) {
        List().SelectRow(row);
        ASSERT_EQ(CallPlayer("Play").type(), QDBusMessage::ReplyMessage);
        ASSERT_TRUE(WaitFor([&] { return TheEngine().State() == Status::Playing; }));
    }
    qlonglong Position() { return GetPlayer("Position").toLongLong(); }
    QString TrackId() {
        return AsMap(GetPlayer("Metadata")).value("mpris:trackid").value<QDBusObjectPath>().path();
    }

    QString tagged;
};

TEST_F(Remote, IdentifiesItselfOnTheSessionBus) {
    StartWithThreeRows();
    EXPECT_EQ(program->mpris->ServiceName(), "org.mpris.MediaPlayer2.mirvane");
    EXPECT_EQ(Get(kRoot, "Identity").toString(), "Mirvane Player");
    EXPECT_EQ(Get(kRoot, "DesktopEntry").toString(), "mirvane");
    EXPECT_TRUE(Get(kRoot, "CanQuit").toBool());
    EXPECT_TRUE(Get(kRoot, "CanRaise").toBool());
    EXPECT_FALSE(Get(kRoot, "HasTrackList").toBool());
    EXPECT_TRUE(GetPlayer("CanControl").toBool());
    EXPECT_EQ(GetPlayer("PlaybackStatus").toString(), "Stopped");
    EXPECT_TRUE(GetPlayer("CanPlay").toBool());
    EXPECT_FALSE(GetPlayer("CanPause").toBool());
    EXPECT_FALSE(GetPlayer("CanSeek").toBool());
    EXPECT_EQ(TrackId(), "/org/mpris/MediaPlayer2/TrackList/NoTrack");
    EXPECT_EQ(Position(), 0);
}

TEST_F(Remote, CommandsDriveTheEngineAndEveryChangeIsAnnounced) {
    StartWithThreeRows();
    Announcements seen(Client());

    // Play from stopped: the selected row, with its tag's fields.
    PlayRow(0);
    ASSERT_TRUE(WaitFor([&] { return seen.Last("Metadata").isValid(); }));
    EXPECT_EQ(seen.Last("PlaybackStatus").toString(), "Playing");
    const QVariantMap first = AsMap(seen.Last("Metadata"));
    EXPECT_EQ(first.value("xesam:title").toString(), "Tagged");
    EXPECT_EQ(first.value("xesam:artist").toStringList(), QStringList{"Mirvane"});
    EXPECT_EQ(first.value("xesam:album").toString(), "Quiet Hours");
    EXPECT_EQ(first.value("xesam:url").toString(), QUrl::fromLocalFile(tagged).toString());
    EXPECT_NEAR(first.value("mpris:length").toLongLong(), 1'000'000, 100'000);
    const QString firstId = first.value("mpris:trackid").value<QDBusObjectPath>().path();
    EXPECT_TRUE(firstId.startsWith("/org/mirvane/track/")) << firstId.toStdString();

    // The one-second track ends by itself: the next row's metadata is announced, while the
    // stop between the two is not.
    ASSERT_TRUE(WaitFor([&] { return TheEngine().CurrentIndex() == 1; }, 8000));
    ASSERT_TRUE(WaitFor([&] {
        return AsMap(seen.Last("Metadata")).value("xesam:title").toString() == "2. First long";
    }));
    for (const QVariantMap &change : seen.changes) {
        EXPECT_NE(change.value("PlaybackStatus").toString(), "Stopped");
    }
    const QVariantMap second = AsMap(seen.Last("Metadata"));
    EXPECT_NE(second.value("mpris:trackid").value<QDBusObjectPath>().path(), firstId);
    EXPECT_FALSE(second.contains("xesam:album")); // a WAV has no tag
    EXPECT_NEAR(second.value("mpris:length").toLongLong(), 30'000'000, 100'000);

    // Pause, PlayPause and Play from the bus, each announced.
    size_t mark = seen.changes.size();
    CallPlayer("Pause");
    EXPECT_EQ(TheEngine().State(), Status::Paused);
    ASSERT_TRUE(WaitFor([&] { return seen.Last("PlaybackStatus", mark).isValid(); }));
    EXPECT_EQ(seen.Last("PlaybackStatus", mark).toString(), "Paused");
    CallPlayer("Pause"); // already paused: nothing
    EXPECT_EQ(TheEngine().State(), Status::Paused);
    CallPlayer("PlayPause");
    EXPECT_EQ(TheEngine().State(), Status::Playing);
    CallPlayer("Play"); // already playing: the track goes on, it does not restart
    EXPECT_EQ(TheEngine().CurrentIndex(), 1);
    EXPECT_EQ(GetPlayer("PlaybackStatus").toString(), "Playing");
    CallPlayer("PlayPause");
    EXPECT_EQ(TheEngine().State(), Status::Paused);
    CallPlayer("Play"); // resumes
    EXPECT_EQ(TheEngine().State(), Status::Playing);

    // Next to the last row: no further next; Previous goes back.
    EXPECT_TRUE(GetPlayer("CanGoNext").toBool());
    mark = seen.changes.size();
    CallPlayer("Next");
    EXPECT_EQ(TheEngine().CurrentIndex(), 2);
    EXPECT_FALSE(GetPlayer("CanGoNext").toBool());
    EXPECT_TRUE(GetPlayer("CanGoPrevious").toBool());
    ASSERT_TRUE(WaitFor([&] { return seen.Last("CanGoNext", mark).isValid(); }));
    EXPECT_FALSE(seen.Last("CanGoNext", mark).toBool());
    CallPlayer("Next"); // nothing after the last row
    EXPECT_EQ(TheEngine().CurrentIndex(), 2);
    EXPECT_EQ(TheEngine().State(), Status::Playing);
    CallPlayer("Previous");
    EXPECT_EQ(TheEngine().CurrentIndex(), 1);

    // Stop, also from paused; a second Stop changes nothing.
    CallPlayer("Pause");
    mark = seen.changes.size();
    CallPlayer("Stop");
    EXPECT_EQ(TheEngine().State(), Status::Stopped);
    CallPlayer("Stop");
    EXPECT_EQ(TheEngine().State(), Status::Stopped);
    ASSERT_TRUE(WaitFor([&] { return seen.Last("PlaybackStatus", mark).isValid(); }));
    EXPECT_EQ(seen.Last("PlaybackStatus", mark).toString(), "Stopped");
    EXPECT_EQ(TrackId(), "/org/mpris/MediaPlayer2/TrackList/NoTrack");
    EXPECT_EQ(Position(), 0);
}

TEST_F(Remote, SeekAndSetPositionMoveThePlayingTrackAndAreAnnounced) {
    StartWithThreeRows();
    Announcements seen(Client());
    PlayRow(1);
    EXPECT_TRUE(GetPlayer("CanSeek").toBool());

    CallPlayer("Seek", {qlonglong(10'000'000)});
    EXPECT_GE(Position(), 10'000'000);
    EXPECT_LT(Position(), 12'000'000);
    ASSERT_TRUE(WaitFor([&] { return seen.seeks.size() == 1; }));
    EXPECT_NEAR(seen.seeks[0], 10'000'000, 500'000);

    // Back further than the start: at the start.
    CallPlayer("Seek", {qlonglong(-100'000'000)});
    EXPECT_LT(Position(), 2'000'000);

    const QString id = TrackId();
    CallPlayer("SetPosition", {QVariant::fromValue(QDBusObjectPath(id)), qlonglong(20'000'000)});
    EXPECT_GE(Position(), 20'000'000);
    EXPECT_LT(Position(), 22'000'000);

    // A position before the start or past the end: ignored.
    CallPlayer("SetPosition", {QVariant::fromValue(QDBusObjectPath(id)), qlonglong(-1)});
    CallPlayer("SetPosition", {QVariant::fromValue(QDBusObjectPath(id)), qlonglong(31'000'000)});
    EXPECT_GE(Position(), 20'000'000);
    EXPECT_EQ(TheEngine().CurrentIndex(), 1);

    // Past the end: the next row.
    CallPlayer("Seek", {qlonglong(60'000'000)});
    EXPECT_EQ(TheEngine().CurrentIndex(), 2);
    EXPECT_EQ(TheEngine().State(), Status::Playing);
    EXPECT_LT(Position(), 2'000'000);
    EXPECT_NE(TrackId(), id);

    // The track before is stale now: a SetPosition naming it was meant for it, and is ignored.
    EXPECT_EQ(
        CallPlayer("SetPosition", {QVariant::fromValue(QDBusObjectPath(id)), qlonglong(5'000'000)})
            .type(),
        QDBusMessage::ReplyMessage);
    EXPECT_LT(Position(), 2'000'000);

    // A drop of the player's own position slider is a jump too.
    const size_t seeks = seen.seeks.size();
    Player().SliderPos->setValue(15);
    emit Player().SliderPos->OnStartTracking(Player().SliderPos);
    emit Player().SliderPos->OnStopTracking(Player().SliderPos);
    ASSERT_TRUE(WaitFor([&] { return seen.seeks.size() == seeks + 1; }));
    EXPECT_NEAR(seen.seeks.back(), 15'000'000, 500'000);
}

TEST_F(Remote, VolumeFollowsThePlayerBothWays) {
    StartWithThreeRows();
    Announcements seen(Client());

    ASSERT_EQ(SetPlayer("Volume", 0.25).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Player().SliderVol->Value(), 25);
    EXPECT_EQ(TheEngine().Volume(), 25);
    EXPECT_EQ(mirvane::settings::ReadInteger("Volume"), 25); // stored as a drag would
    EXPECT_DOUBLE_EQ(GetPlayer("Volume").toDouble(), 0.25);
    ASSERT_TRUE(WaitFor([&] { return seen.Last("Volume").isValid(); }));
    EXPECT_DOUBLE_EQ(seen.Last("Volume").toDouble(), 0.25);

    // Out of range is clamped.
    SetPlayer("Volume", 7.0);
    EXPECT_EQ(Player().SliderVol->Value(), 100);
    SetPlayer("Volume", -1.0);
    EXPECT_EQ(Player().SliderVol->Value(), 0);

    // The player's own slider: read and announced.
    Player().SliderVol->setValue(60);
    EXPECT_DOUBLE_EQ(GetPlayer("Volume").toDouble(), 0.6);
    ASSERT_TRUE(WaitFor([&] { return seen.Last("Volume").toDouble() == 0.6; }));
}

TEST_F(Remote, WrongArgumentsOrUnknownTrackIdsGetAnErrorOddValuesAreIgnoredThePlayerGoesOn) {
    StartWithThreeRows();
    PlayRow(1);
    CallPlayer("Seek", {qlonglong(5'000'000)});
    const qlonglong before = Position();

    // Wrong types: the bus's error reply.
    EXPECT_EQ(CallPlayer("Seek", {QString("ten seconds")}).type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(CallPlayer("Seek").type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(CallPlayer("SetPosition", {QString("/org/mirvane/track/1"), QString("x")}).type(),
              QDBusMessage::ErrorMessage);
    EXPECT_EQ(CallPlayer("SetPosition", {qlonglong(1)}).type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(SetPlayer("Volume", QString("loud")).type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(CallPlayer("Rewind").type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(Call("org.freedesktop.DBus.Properties", "Get", {kPlayer, QString("Loudness")}).type(),
              QDBusMessage::ErrorMessage);
    EXPECT_EQ(SetPlayer("PlaybackStatus", QString("Stopped")).type(),
              QDBusMessage::ErrorMessage); // read-only

    // Track ids this player never gave out: an invalid-argument error, the position unmoved.
    for (const char *unknown : {"/org/mirvane/track/999", "/org/mirvane/track/01",
                                "/org/mirvane/track/1x", "/org/mirvane/track", "/some/other/id"}) {
        const QDBusMessage reply = CallPlayer(
            "SetPosition", {QVariant::fromValue(QDBusObjectPath(unknown)), qlonglong(0)});
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage) << unknown;
        EXPECT_EQ(reply.errorName(), "org.freedesktop.DBus.Error.InvalidArgs") << unknown;
    }
    EXPECT_GE(Position(), before);

    // Right types, wrong values: ignored.
    SetPlayer("Volume", std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(Player().SliderVol->Value(), TheEngine().Volume());
    CallPlayer("SetPosition",
               {QVariant::fromValue(QDBusObjectPath("/org/mpris/MediaPlayer2/TrackList/NoTrack")),
                qlonglong(0)});
    EXPECT_GE(Position(), before);
    // Offsets at the ends of the range: to the start, and past the end to the next row.
    CallPlayer("Seek", {std::numeric_limits<qlonglong>::min()});
    EXPECT_EQ(TheEngine().CurrentIndex(), 1);
    EXPECT_LT(Position(), 2'000'000);

    // Still playing, still answering.
    EXPECT_EQ(TheEngine().State(), Status::Playing);
    EXPECT_EQ(GetPlayer("PlaybackStatus").toString(), "Playing");
    CallPlayer("Seek", {std::numeric_limits<qlonglong>::max()});
    EXPECT_EQ(TheEngine().CurrentIndex(), 2); // past the end: next
}

TEST_F(Remote, RaiseShowsTheHiddenPlayerAndQuitEndsTheProgram) {
    StartWithThreeRows();
    Player().hide();
    ASSERT_EQ(Call(kRoot, "Raise").type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(Player().isVisible());

    QFile::remove(Path("playlist.m3u"));
    ASSERT_EQ(Call(kRoot, "Quit").type(), QDBusMessage::ReplyMessage);
    // The close step runs once the reply has gone: the automatic playlist is written.
    ASSERT_TRUE(WaitFor([&] { return !Player().isVisible(); }));
    EXPECT_TRUE(QFile::exists(Path("playlist.m3u")));
}

TEST_F(Remote, WithoutASessionBusThePlayerStartsAndPlaysAsBefore) {
    qputenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + Path("no-bus-here")).toUtf8());
    player_test::WriteWav(Path("long1.wav"), 5.0);
    WriteAutomaticPlaylist({{"1. Only", Path("long1.wav")}});
    Start();
    EXPECT_EQ(program->mpris, nullptr);
    List().SelectRow(0);
    Player().PlaybtnClick();
    EXPECT_EQ(TheEngine().State(), Status::Playing);
}

} // namespace

#include "desktop_remote_test.moc"
