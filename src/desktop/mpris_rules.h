#pragma once
// The media-player remote control's rules, kept apart from the bus so they can be reasoned
// about without one: which command a remote Play means, where a remote seek lands, how the
// remote volume maps onto the player's, and which properties changed between two snapshots.
// Pure; callable from any thread.

#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <optional>

#include "playback/engine.h"

namespace mirvane::desktop {

// "Playing", "Paused" or "Stopped", the remote PlaybackStatus texts.
QString PlaybackStatusName(PlaybackEngine::Status status);

// The row a remote Play starts while nothing plays: the selected row, else the current index;
// -1 when neither names a row of a list of rowCount rows (then Play does nothing).
int RowToStart(int selectedRow, int currentIndex, int rowCount);

// Where a relative remote seek of offsetUs from positionUs lands in a track of lengthUs
// (all microseconds). Before the start: at 0. Past the end: the next track instead.
struct SeekPlan {
    enum class Kind { JumpTo, NextTrack } kind = Kind::JumpTo;
    int64_t targetUs = 0; // JumpTo only: 0..lengthUs
};
SeekPlan PlanSeek(int64_t positionUs, int64_t offsetUs, int64_t lengthUs);

// The track ids this player gives out: kTrackIdPrefix followed by the track's serial number
// (1 for the first track started in a run, counting up), or kNoTrackId while none is current.
inline constexpr char kTrackIdPrefix[] = "/org/mirvane/track/";
inline constexpr char kNoTrackId[] = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
QString TrackIdPath(uint64_t serial);

// How a track id sent with a remote SetPosition relates to the tracks of this run, whose last
// one has serial lastSerial (0: none yet) and is current when currentIsLast.
//   Current: the track now current; the call goes ahead.
//   Stale:   an id this player gave out earlier, or kNoTrackId; remote controls expect such a
//            call to be ignored (the track changed while the request was under way).
//   Unknown: an id this player never gave out; the caller gets an invalid-argument error.
enum class TrackIdMatch { Current, Stale, Unknown };
TrackIdMatch MatchTrackId(const QString &path, uint64_t lastSerial, bool currentIsLast);

// Whether an absolute remote position is inside the track: 0..lengthUs; anything else is
// ignored by the caller, as remote controls expect.
bool IsInsideTrack(int64_t positionUs, int64_t lengthUs);

// The remote volume (1.0 is full) as the player's volume slider value 0..100: rounded, below
// 0 gives 0, above 1 gives 100. NaN gives nothing (the call is ignored).
std::optional<int> SliderVolume(double remoteVolume);
// The player's volume 0..100 as the remote volume 0.0..1.0 (out-of-range values clamped).
double RemoteVolume(int sliderVolume);

// The entries of `after` that are new or differ from `before`; entries gone from `after` are
// not reported (every snapshot carries the same names).
QVariantMap ChangedProperties(const QVariantMap &before, const QVariantMap &after);

} // namespace mirvane::desktop
