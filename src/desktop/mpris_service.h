#pragma once
// The desktop's media-player remote control: the player on the session bus as
// "org.mpris.MediaPlayer2.mirvane" (or ".instance<pid>" after it when that name is taken), object
// /org/mpris/MediaPlayer2, interfaces org.mpris.MediaPlayer2 and org.mpris.MediaPlayer2.Player.
// Media keys, desktop sound menus and tools such as playerctl drive the player through it.
//
// It acts on the playback engine's commands and observes its signals; the player window it
// reaches only through MprisLinks, which start-up fills. Times on the bus are microseconds;
// the remote volume 0.0..1.0 is the player's volume slider 0..100.
//
// Property changes (status, metadata, volume and the Can* answers) are announced with
// org.freedesktop.DBus.Properties.PropertiesChanged once the player has settled (15 ms after
// the last change), so the stop between two tracks is never announced; every jump of the
// position that is not plain playing is announced with Seeked (microseconds).
//
// Calls with wrong argument types get the bus's own error reply, and so does a SetPosition with
// a track id this player never gave out (org.freedesktop.DBus.Error.InvalidArgs); a stale
// track id, a position outside the track or a NaN volume are ignored. GUI thread only: the bus
// delivers its calls on the thread this object lives in.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <functional>
#include <memory>

#include "playback/engine.h"

class Id3v2Tag;

namespace mirvane::desktop {

// What the remote control needs of the player window. Every member may be left empty; the
// call it serves then does nothing.
struct MprisLinks {
    std::function<void()> raise; // shows the player window and brings it to the front
    std::function<void()> quit;  // ends the program as the menu's "Exit" does
    // Sets the player's volume slider, 0..100 (stored and applied as a drag would); the
    // slider's change reaches VolumeChanged through start-up's connection.
    std::function<void(int volume)> setVolume;
};

class MprisService : public QObject {
    Q_OBJECT
  public:
    // Connects to the session bus, registers the object and takes the service name. Without a
    // session bus (or when registering fails) the result is null: the player runs without it.
    static std::unique_ptr<MprisService> Start(PlaybackEngine &engine, MprisLinks links);
    ~MprisService() override; // gives the name and the object back and leaves the bus

    QString ServiceName() const { return serviceName_; }

    // ---- org.mpris.MediaPlayer2 -----------------------------------------------------------
    void Raise();
    void Quit(); // queued: the reply leaves before the program ends

    // ---- org.mpris.MediaPlayer2.Player ----------------------------------------------------
    void Next();      // as the Next button: nothing after the last row
    void Previous();  // as the Previous button
    void Pause();     // only while playing
    void PlayPause(); // pauses while playing, else as Play
    void Stop();      // also a paused track; nothing while stopped
    void Play();      // resumes a paused track; the selected (or current) row while stopped
    // offsetUs from the position: before the start gives 0, past the end goes to the next
    // row; nothing without a seekable track.
    void Seek(qint64 offsetUs);
    // Jumps to positionUs when trackId is the current track's and positionUs is 0..length.
    // Outcome: false when trackId is none this player ever gave out (the caller answers with
    // an error); true otherwise, also when a stale id or a position outside the track has the
    // call ignored.
    bool SetPosition(const QDBusObjectPath &trackId, qint64 positionUs);

    // Sends an answer the Player adaptor made itself (an error reply) on this service's bus.
    void Reply(const QDBusMessage &reply);

    QString PlaybackStatus() const;
    QVariantMap Metadata() const;
    double Volume() const;
    void SetVolume(double volume); // 0.0..1.0, clamped; NaN ignored
    qint64 Position() const;       // microseconds from the track's start, 0 when stopped
    bool CanGoNext() const;
    bool CanGoPrevious() const;
    bool CanPlay() const;
    bool CanPause() const;
    bool CanSeek() const;

    // The player's volume slider has moved (start-up connects its change signal here).
    void VolumeChanged();
    // The position jumped by other means than this service (the position slider was dropped).
    void PositionJumped();

  signals:
    void Seeked(qint64 positionUs); // sent on the bus by the Player adaptor

  private:
    MprisService(PlaybackEngine &engine, MprisLinks links, const QString &connectionName);
    bool Register();
    void TrackStarted(DWORD channel);
    void ScheduleAnnouncement();
    void Announce();
    QVariantMap PlayerSnapshot() const;
    qint64 LengthUs() const;
    void JumpTo(qint64 positionUs);

    // The current track as the bus sees it.
    struct Track {
        QDBusObjectPath id;
        QString title, artist, album, url;
    };

    PlaybackEngine &engine_;
    MprisLinks links_;
    QString connectionName_;
    QDBusConnection bus_;
    QString serviceName_;
    bool registered_ = false;
    std::unique_ptr<Id3v2Tag> lookupTag_; // this service's own tag object for the metadata
    Track track_;                         // set at every new channel
    quint64 trackSerial_ = 0;             // makes each started track's id unique for the run
    bool positionMoves_ = false;          // what the engine's last state said
    QVariantMap announced_;               // the Player properties as last announced
    QTimer announce_;                     // runs Announce once the changes have settled
};

} // namespace mirvane::desktop
