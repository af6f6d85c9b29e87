#include "desktop/mpris_service.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusError>
#include <QDBusMessage>
#include <QUrl>
#include <atomic>
#include <cmath>

#include "desktop/mpris_rules.h"
#include "tags/id3v2.h"
#include "tags/title_lookup.h"

namespace mirvane::desktop {

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.mirvane");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kNoTrack = QLatin1String(kNoTrackId);
constexpr int kSettleMs = 15; // quiet time after the last change before it is announced

qint64 SecondsToUs(double seconds) {
    return std::isfinite(seconds) && seconds > 0.0 ? qint64(std::llround(seconds * 1e6)) : 0;
}

// The bus objects exist only as the mouthpieces of MprisService: each property and method is
// one call into it, so that the adaptors hold no state of their own.
class RootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
  public:
    explicit RootAdaptor(MprisService *service) : QDBusAbstractAdaptor(service), s_(service) {}
    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return QStringLiteral("Mirvane Player"); }
    // The name of the desktop entry the file association writes (mirvane.desktop).
    QString DesktopEntry() const { return QStringLiteral("mirvane"); }
    QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList SupportedMimeTypes() const {
        return {"audio/mpeg",  "audio/x-wav", "audio/ogg",  "audio/x-vorbis+ogg",
                "audio/x-mod", "audio/x-s3m", "audio/x-xm", "audio/x-it"};
    }

  public slots:
    void Raise() { s_->Raise(); }
    void Quit() { s_->Quit(); }

  private:
    MprisService *s_;
};

class PlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ Rate WRITE SetRate)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)
  public:
    explicit PlayerAdaptor(MprisService *service) : QDBusAbstractAdaptor(service), s_(service) {
        connect(service, &MprisService::Seeked, this, &PlayerAdaptor::Seeked);
    }
    QString PlaybackStatus() const { return s_->PlaybackStatus(); }
    double Rate() const { return 1.0; } // the player has one speed
    void SetRate(double) {}
    QVariantMap Metadata() const { return s_->Metadata(); }
    double Volume() const { return s_->Volume(); }
    void SetVolume(double volume) { s_->SetVolume(volume); }
    qlonglong Position() const { return s_->Position(); }
    bool CanGoNext() const { return s_->CanGoNext(); }
    bool CanGoPrevious() const { return s_->CanGoPrevious(); }
    bool CanPlay() const { return s_->CanPlay(); }
    bool CanPause() const { return s_->CanPause(); }
    bool CanSeek() const { return s_->CanSeek(); }
    bool CanControl() const { return true; }

  public slots:
    void Next() { s_->Next(); }
    void Previous() { s_->Previous(); }
    void Pause() { s_->Pause(); }
    void PlayPause() { s_->PlayPause(); }
    void Stop() { s_->Stop(); }
    void Play() { s_->Play(); }
    void Seek(qlonglong Offset) { s_->Seek(Offset); }
    // The bus passes the call itself as the last argument (not part of the signature), so
    // that an unknown id can be answered with an error instead of the plain reply.
    void SetPosition(const QDBusObjectPath &TrackId, qlonglong Position, const QDBusMessage &call) {
        if (!s_->SetPosition(TrackId, Position)) {
            call.setDelayedReply(true);
            s_->Reply(call.createErrorReply(
                QDBusError::InvalidArgs,
                QStringLiteral("No track has the id %1").arg(TrackId.path())));
        }
    }
    // Opening a location from outside is left to the command line and dropped files.
    void OpenUri(const QString &) {}

  signals:
    void Seeked(qlonglong Position);

  private:
    MprisService *s_;
};

} // namespace

// ---- Start and end ------------------------------------------------------------------------

std::unique_ptr<MprisService> MprisService::Start(PlaybackEngine &engine, MprisLinks links) {
    // A connection of its own, named per instance, so two programs in one process (tests)
    // never share one. The address is read here rather than left to the bus library, which
    // reads it once per process: each start follows DBUS_SESSION_BUS_ADDRESS as it is then.
    static std::atomic<int> instances{0};
    const QString name = QStringLiteral("mirvane-mpris-%1").arg(++instances);
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    QDBusConnection bus = address.isEmpty()
                              ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, name)
                              : QDBusConnection::connectToBus(address, name);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(name);
        return nullptr;
    }
    std::unique_ptr<MprisService> service(new MprisService(engine, std::move(links), name));
    if (!service->Register()) {
        return nullptr;
    }
    return service;
}

MprisService::MprisService(PlaybackEngine &engine, MprisLinks links, const QString &connectionName)
    : engine_(engine), links_(std::move(links)), connectionName_(connectionName),
      bus_(QDBusConnection(connectionName)), lookupTag_(std::make_unique<Id3v2Tag>()) {
    track_.id = QDBusObjectPath(kNoTrack);
    new RootAdaptor(this);
    new PlayerAdaptor(this);

    // A debounce rather than a zero timer: the engine runs pending events in the middle of a
    // change of track (after its stop, before the next start), where a zero timer would fire.
    announce_.setSingleShot(true);
    announce_.setInterval(kSettleMs);
    connect(&announce_, &QTimer::timeout, this, &MprisService::Announce);

    using Engine = PlaybackEngine;
    connect(&engine_, &Engine::stateChanged, this, [this](Engine::Status, bool positionMoves) {
        positionMoves_ = positionMoves;
        ScheduleAnnouncement();
    });
    connect(&engine_, &Engine::channelStarted, this, &MprisService::TrackStarted);
    // The length may come later than the start (an MP3 being scanned).
    connect(&engine_, &Engine::lengthKnown, this, &MprisService::ScheduleAnnouncement);
    PlaylistModel &rows = engine_.Rows();
    connect(&rows, &QAbstractItemModel::rowsInserted, this, &MprisService::ScheduleAnnouncement);
    connect(&rows, &QAbstractItemModel::rowsRemoved, this, &MprisService::ScheduleAnnouncement);
    connect(&rows, &QAbstractItemModel::modelReset, this, &MprisService::ScheduleAnnouncement);
    connect(&engine_.Selection(), &QItemSelectionModel::selectionChanged, this,
            &MprisService::ScheduleAnnouncement);
    announced_ = PlayerSnapshot();
}

bool MprisService::Register() {
    if (!bus_.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors)) {
        return false;
    }
    registered_ = true;
    serviceName_ = kServiceName;
    if (!bus_.registerService(serviceName_)) {
        // Another player of ours (another program folder) has the plain name.
        serviceName_ = kServiceName + QStringLiteral(".instance") +
                       QString::number(QCoreApplication::applicationPid());
        if (!bus_.registerService(serviceName_)) {
            serviceName_.clear();
            return false;
        }
    }
    return true;
}

MprisService::~MprisService() {
    if (!serviceName_.isEmpty()) {
        bus_.unregisterService(serviceName_);
    }
    if (registered_) {
        bus_.unregisterObject(kObjectPath);
    }
    QDBusConnection::disconnectFromBus(connectionName_);
}

// ---- Root interface -----------------------------------------------------------------------

void MprisService::Raise() {
    if (links_.raise) {
        links_.raise();
    }
}

void MprisService::Quit() {
    if (links_.quit) {
        QMetaObject::invokeMethod(
            this, [this] { links_.quit(); }, Qt::QueuedConnection);
    }
}

// ---- Player commands ----------------------------------------------------------------------

void MprisService::Next() {
    engine_.Next();
}

void MprisService::Previous() {
    engine_.Previous();
}

void MprisService::Pause() {
    if (engine_.State() == PlaybackEngine::Status::Playing) {
        engine_.Pause();
    }
}

void MprisService::PlayPause() {
    if (engine_.State() == PlaybackEngine::Status::Playing) {
        engine_.Pause();
    } else {
        Play();
    }
}

void MprisService::Stop() {
    if (engine_.State() != PlaybackEngine::Status::Stopped) {
        engine_.StopPlayback();
    }
}

void MprisService::Play() {
    switch (engine_.State()) {
    case PlaybackEngine::Status::Playing:
        return;
    case PlaybackEngine::Status::Paused:
        engine_.Pause(); // the engine's Pause resumes a paused track
        return;
    case PlaybackEngine::Status::Stopped:
        break;
    }
    const int row = RowToStart(engine_.SelectedRow(), engine_.CurrentIndex(), engine_.RowCount());
    if (row >= 0) {
        engine_.PlayEntry(row);
    }
}

void MprisService::Seek(qint64 offsetUs) {
    if (!CanSeek()) {
        return;
    }
    const SeekPlan plan = PlanSeek(Position(), offsetUs, LengthUs());
    if (plan.kind == SeekPlan::Kind::NextTrack) {
        engine_.Next();
        return;
    }
    JumpTo(plan.targetUs);
}

bool MprisService::SetPosition(const QDBusObjectPath &trackId, qint64 positionUs) {
    const bool current =
        engine_.State() != PlaybackEngine::Status::Stopped && track_.id.path() != kNoTrack;
    switch (MatchTrackId(trackId.path(), trackSerial_, current)) {
    case TrackIdMatch::Unknown:
        return false;
    case TrackIdMatch::Stale:
        return true;
    case TrackIdMatch::Current:
        break;
    }
    if (CanSeek() && IsInsideTrack(positionUs, LengthUs())) {
        JumpTo(positionUs);
    }
    return true;
}

void MprisService::Reply(const QDBusMessage &reply) {
    bus_.send(reply);
}

void MprisService::JumpTo(qint64 positionUs) {
    const DWORD channel = engine_.CurrentChannel();
    BASS_ChannelSetPosition(channel, BASS_ChannelSeconds2Bytes(channel, float(positionUs / 1e6)));
    emit Seeked(Position());
}

void MprisService::PositionJumped() {
    if (CanSeek()) {
        emit Seeked(Position());
    }
}

// ---- Player properties --------------------------------------------------------------------

QString MprisService::PlaybackStatus() const {
    return PlaybackStatusName(engine_.State());
}

QVariantMap MprisService::Metadata() const {
    QVariantMap map;
    // Stopped, no track is current: the last one's id would let a late SetPosition through.
    if (engine_.State() == PlaybackEngine::Status::Stopped || track_.id.path() == kNoTrack) {
        map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(kNoTrack)));
        return map;
    }
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(track_.id));
    const auto put = [&map](const char *key, const QString &value) {
        if (!value.isEmpty()) {
            map.insert(QString::fromLatin1(key), value);
        }
    };
    put("xesam:title", track_.title);
    if (!track_.artist.isEmpty()) {
        map.insert(QStringLiteral("xesam:artist"), QStringList{track_.artist});
    }
    put("xesam:album", track_.album);
    put("xesam:url", track_.url);
    if (const qint64 length = LengthUs(); length > 0) {
        map.insert(QStringLiteral("mpris:length"), length);
    }
    return map;
}

double MprisService::Volume() const {
    return RemoteVolume(engine_.Volume());
}

void MprisService::SetVolume(double volume) {
    const std::optional<int> slider = SliderVolume(volume);
    if (slider && links_.setVolume) {
        links_.setVolume(*slider);
    }
}

qint64 MprisService::Position() const {
    if (engine_.State() == PlaybackEngine::Status::Stopped) {
        return 0;
    }
    const DWORD channel = engine_.CurrentChannel();
    return SecondsToUs(BASS_ChannelBytes2Seconds(channel, BASS_ChannelGetPosition(channel)));
}

qint64 MprisService::LengthUs() const {
    const DWORD channel = engine_.CurrentChannel();
    return SecondsToUs(BASS_ChannelBytes2Seconds(channel, BASS_StreamGetLength(channel)));
}

bool MprisService::CanGoNext() const {
    // The Next button's own guard, and a row after the current one to go to.
    const int count = engine_.RowCount();
    return count > 0 && engine_.SelectedRow() + 1 != count && engine_.CurrentIndex() + 1 < count;
}

bool MprisService::CanGoPrevious() const {
    return engine_.SelectedRow() > 0 && engine_.CurrentIndex() > 0;
}

bool MprisService::CanPlay() const {
    return engine_.State() != PlaybackEngine::Status::Stopped ||
           RowToStart(engine_.SelectedRow(), engine_.CurrentIndex(), engine_.RowCount()) >= 0;
}

bool MprisService::CanPause() const {
    return engine_.State() != PlaybackEngine::Status::Stopped;
}

bool MprisService::CanSeek() const {
    // Tracker music and radio streams have no moving position.
    return engine_.State() != PlaybackEngine::Status::Stopped && positionMoves_ &&
           !engine_.RadioInUse() && LengthUs() > 0;
}

void MprisService::VolumeChanged() {
    ScheduleAnnouncement();
}

// ---- Announcements ------------------------------------------------------------------------

void MprisService::TrackStarted(DWORD) {
    Track track;
    track.id = QDBusObjectPath(TrackIdPath(++trackSerial_));
    if (!engine_.RadioInUse()) {
        const int row = engine_.CurrentIndex();
        const QString file = engine_.FileName(row);
        const SongInfo info = GetSongInfo(*lookupTag_, file);
        // A file without a tag gives its bare name as the artist; the row's caption is the
        // better title then.
        const bool tagged = !info.title.isEmpty();
        track.title = tagged ? info.title : engine_.Caption(row);
        track.artist = tagged ? info.artist : QString();
        track.album = info.album;
        track.url = QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
    }
    track_ = track;
    ScheduleAnnouncement();
}

void MprisService::ScheduleAnnouncement() {
    announce_.start();
}

QVariantMap MprisService::PlayerSnapshot() const {
    return {
        {QStringLiteral("PlaybackStatus"), PlaybackStatus()},
        {QStringLiteral("Metadata"), Metadata()},
        {QStringLiteral("Volume"), Volume()},
        {QStringLiteral("CanGoNext"), CanGoNext()},
        {QStringLiteral("CanGoPrevious"), CanGoPrevious()},
        {QStringLiteral("CanPlay"), CanPlay()},
        {QStringLiteral("CanPause"), CanPause()},
        {QStringLiteral("CanSeek"), CanSeek()},
    };
}

void MprisService::Announce() {
    const QVariantMap now = PlayerSnapshot();
    const QVariantMap changed = ChangedProperties(announced_, now);
    announced_ = now;
    if (changed.isEmpty()) {
        return;
    }
    QDBusMessage signal =
        QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    bus_.send(signal);
}

} // namespace mirvane::desktop

#include "mpris_service.moc"
