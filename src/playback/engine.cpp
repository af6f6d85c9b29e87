#include "playback/engine.h"

#include "bass_fx.h"
#include "common/paths.h"
#include "common/rounding.h"
#include "playback/m3u.h"

namespace mirvane {

namespace {

QByteArray LibraryPath(const QString &fileName) {
    return fileName.toUtf8();
}

} // namespace

PlaybackEngine::PlaybackEngine(QObject *parent) : QObject(parent), selection_(&rows_) {
    connect(&rows_, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) { RowsRemoved(first, last); });
    connect(&rows_, &QAbstractItemModel::modelReset, this, [this] {
        currentRowRemoved_ = true;
        currentIndex_ = 0;
    });
}

PlaybackEngine::~PlaybackEngine() = default;

// ---- Rows ------------------------------------------------------------------------------------

int PlaybackEngine::SelectedRow() const {
    const QModelIndexList rows = selection_.selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void PlaybackEngine::SelectRow(int row) {
    if (!rows_.isValidRow(row)) {
        return;
    }
    selection_.setCurrentIndex(rows_.index(row, 0),
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    emit rowShown(row);
}

QString PlaybackEngine::Caption(int row) const {
    return rows_.caption(row);
}

QString PlaybackEngine::FileName(int row) const {
    return rows_.isValidRow(row) ? rows_.row(row).fileName : QString();
}

void PlaybackEngine::RowsRemoved(int first, int last) {
    const int removed = last - first + 1;
    if (currentIndex_ > last) {
        currentIndex_ -= removed;
    } else if (currentIndex_ >= first) {
        // The playing row went: the row that followed it is now at `first`, and it is the one
        // Next (or the natural end of the track) plays.
        currentIndex_ = first;
        currentRowRemoved_ = true;
    }
}

void PlaybackEngine::SetMark(int row, bool on) {
    rows_.setStateIndex(row, on ? PlaylistModel::kPlayingMark : -1);
}

// ---- State -----------------------------------------------------------------------------------

void PlaybackEngine::SetVolume(int volume) {
    volume_ = volume;
    BASS_SetVolume(static_cast<DWORD>(volume));
}

void PlaybackEngine::SetStatus(Status status, bool positionMoves) {
    status_ = status;
    positionMoves_ = positionMoves;
    emit stateChanged(status, positionMoves);
}

bool PlaybackEngine::StartAudioLibrary(DWORD version,
                                       const std::function<void(const QString &)> &showError) {
    if (version != 0x10002) {
        showError("BASS version 2.1 was not loaded");
        return false;
    }
    if (!BASS_Init(1, 44100, 0, nullptr, nullptr)) {
        showError("Can't initialize digital sound system");
    }
    BASS_Start();
    BASS_SetVolume(static_cast<DWORD>(volume_));
    return true;
}

// ---- Playing ---------------------------------------------------------------------------------

void PlaybackEngine::FreeChannel() {
    // Both calls always: the one that does not fit the handle fails harmlessly.
    BASS_StreamFree(currentChannel_);
    BASS_MusicFree(currentChannel_);
}

void PlaybackEngine::PlayEntry(int row) {
    StopPlayback();
    if (!rows_.isValidRow(row)) {
        return; // no row to go to: stay stopped
    }
    currentIndex_ = row;
    currentRowRemoved_ = false;
    SelectRow(row);
    // A new row never starts paused.
    paused_ = false;
    const QByteArray path = LibraryPath(rows_.row(row).fileName);
    currentChannel_ = BASS_MusicLoad(FALSE, path.constData(), 0, 0, BASS_MUSIC_RAMP, 0);
    if (currentChannel_ != 0) {
        PlayMusic();
    } else {
        PlayStream(rows_.row(row).fileName);
    }
}

void PlaybackEngine::PlayMusic() {
    FreeChannel();
    const QByteArray path = LibraryPath(FileName(currentIndex_));
    currentChannel_ = BASS_MusicLoad(FALSE, path.constData(), 0, 0, BASS_MUSIC_RAMP, 0);
    const char *name = BASS_MusicGetName(currentChannel_);
    const QString title = QString::fromLatin1(name ? name : "").left(255);
    endSync_ = BASS_ChannelSetSync(currentChannel_, BASS_SYNC_END, 0, &EndSyncProc, this);
    // The equalizer and the effects go on before the first sound is decoded ahead, so that
    // a track is heard with them from its start.
    emit channelStarted(currentChannel_);
    BASS_ChannelPlay(currentChannel_, -1);
    emit bannerChanged(
        title + " " + QString::number(BASS_MusicGetLength(currentChannel_, FALSE)) + " ", true);
    // Tracker music has no moving position display.
    SetStatus(Status::Playing, false);
    SetMark(currentIndex_, true);
}

void PlaybackEngine::PlayStream(const QString &fileName) {
    if (BASS_ChannelIsActive(currentChannel_) == BASS_ACTIVE_PLAYING) {
        FreeChannel();
    }
    const QByteArray path = LibraryPath(fileName);
    currentChannel_ = BASS_StreamCreateFile(FALSE, path.constData(), 0, 0, BASS_STREAM_PRESCAN);
    endSync_ = BASS_ChannelSetSync(currentChannel_, BASS_SYNC_END, 0, &EndSyncProc, this);
    // The length may be an estimate while the library scans the file; the slider takes the
    // exact one when it comes.
    BASS_ChannelSetSync(currentChannel_, BASS_SYNC_LENGTH, 0, &LengthSyncProc, this);
    const float length =
        BASS_ChannelBytes2Seconds(currentChannel_, BASS_StreamGetLength(currentChannel_));
    emit lengthKnown(RoundHalfEven(length));
    emit bannerChanged(CurrentCaption() + " " + m3u::MinutesSeconds(length) + " ", true);
    for (int i = 0; i < 3; ++i) {
        BASS_ChannelSetFX(currentChannel_, BASS_FX_PARAMEQ, 1);
    }
    // Before the first sound is decoded ahead, as for tracker music.
    emit channelStarted(currentChannel_);
    BASS_ChannelPlay(currentChannel_, FALSE);
    SetStatus(Status::Playing, true);
    SetMark(currentIndex_, true);
}

void PlaybackEngine::AdoptChannel(DWORD channel) {
    if (channel == currentChannel_) {
        return;
    }
    BASS_ChannelRemoveSync(currentChannel_, endSync_);
    FreeChannel();
    stoppedChannel_ = currentChannel_;
    SetMark(currentIndex_, false);
    currentChannel_ = channel;
    endSync_ = 0;
    paused_ = false;
    SetStatus(Status::Playing, false);
    emit channelStarted(channel);
}

void PlaybackEngine::ReleaseChannel() {
    BASS_ChannelRemoveSync(currentChannel_, endSync_);
    FreeChannel();
    stoppedChannel_ = currentChannel_;
    currentChannel_ = 0;
    endSync_ = 0;
    paused_ = false;
    SetStatus(Status::Stopped, false);
    emit positionReset();
}

void PlaybackEngine::ShowStreamTitle(const QString &title) {
    emit bannerChanged(title + " ", true);
}

void PlaybackEngine::StopPlayback() {
    FreeChannel();
    stoppedChannel_ = currentChannel_;
    paused_ = false;
    SetStatus(Status::Stopped, false);
    if (!RadioInUse()) {
        SetMark(currentIndex_, false);
    }
    emit positionReset();
    emit bannerChanged("Stopped", false);
    emit radioReleased();
    BASS_ChannelRemoveSync(currentChannel_, endSync_);
    ProcessPendingEvents();
}

void PlaybackEngine::EndSyncProc(HSYNC, DWORD channel, DWORD, void *user) {
    // Library thread: nothing here may touch the engine. The engine outlives every sync (the
    // library is released before it goes), and a call queued to an object that has gone is
    // dropped.
    auto *engine = static_cast<PlaybackEngine *>(user);
    QMetaObject::invokeMethod(
        engine, [engine, channel] { engine->TrackEnded(channel); }, Qt::QueuedConnection);
}

void PlaybackEngine::LengthSyncProc(HSYNC, DWORD channel, DWORD, void *user) {
    auto *engine = static_cast<PlaybackEngine *>(user);
    QMetaObject::invokeMethod(
        engine,
        [engine, channel] {
            if (channel == engine->currentChannel_) {
                emit engine->lengthKnown(RoundHalfEven(
                    BASS_ChannelBytes2Seconds(channel, BASS_StreamGetLength(channel))));
            }
        },
        Qt::QueuedConnection);
}

void PlaybackEngine::TrackEnded(DWORD channel) {
    // The end of a channel that was stopped or replaced meanwhile (the user pressed Stop or
    // started another row as the track ended, or the radio took over) changes nothing.
    if (channel != currentChannel_ || channel == stoppedChannel_) {
        return;
    }
    OnTrackEnd();
}

void PlaybackEngine::OnTrackEnd() {
    StopPlayback();
    const int count = rows_.count();
    if (count >= 1 && SelectedRow() != count - 1) {
        NextEntry();
    }
}

void PlaybackEngine::NextEntry() {
    // After the playing row was removed, the row that followed it already has its index.
    const int row = currentRowRemoved_ ? currentIndex_ : currentIndex_ + 1;
    if (!rows_.isValidRow(row)) {
        StopPlayback(); // selection and CurrentIndex disagree: nothing to go to
        return;
    }
    const bool clearBefore = !currentRowRemoved_;
    PlayEntry(row);
    if (clearBefore) {
        SetMark(row - 1, false);
    }
}

void PlaybackEngine::PreviousEntry() {
    const int row = currentIndex_ - 1;
    if (!rows_.isValidRow(row)) {
        StopPlayback();
        return;
    }
    const bool clearAfter = !currentRowRemoved_;
    PlayEntry(row);
    if (clearAfter) {
        SetMark(row + 1, false);
    }
}

// ---- Commands --------------------------------------------------------------------------------

void PlaybackEngine::Play() {
    if (rows_.count() == 0 || SelectedRow() < 0) {
        return;
    }
    PlayEntry(SelectedRow());
}

void PlaybackEngine::Stop() {
    if (currentChannel_ != 0 && BASS_ChannelIsActive(currentChannel_) == BASS_ACTIVE_PLAYING) {
        StopPlayback();
    }
}

void PlaybackEngine::Pause() {
    if (!paused_) {
        if (BASS_ChannelIsActive(currentChannel_) != BASS_ACTIVE_PLAYING) {
            return;
        }
        BASS_ChannelPause(currentChannel_);
        paused_ = true;
        SetStatus(Status::Paused, positionMoves_);
        emit bannerChanged("Paused", false);
        return;
    }
    const float length =
        BASS_ChannelBytes2Seconds(currentChannel_, BASS_StreamGetLength(currentChannel_));
    BASS_ChannelPlay(currentChannel_, FALSE);
    paused_ = false;
    // The timers were left running while paused; the state only tells the displays.
    SetStatus(Status::Playing, positionMoves_);
    // The caption of the row that plays, even when the user has selected another meanwhile.
    emit bannerChanged(CurrentCaption() + " " + m3u::MinutesSeconds(length) + " ", true);
}

void PlaybackEngine::Next() {
    if (SelectedRow() + 1 != rows_.count()) {
        NextEntry();
    }
}

void PlaybackEngine::Previous() {
    if (SelectedRow() > 0) {
        PreviousEntry();
    }
}

} // namespace mirvane
