#pragma once
// Resuming playback at start. With "Resume playback at start" ticked on the configuration
// window's Settings page (stored as `Resume`), the player's close step keeps the row that plays
// and its position (`ResumeRow`, `ResumeTime` in milliseconds), and the next start plays that
// row from there. Unticked, nothing is kept and the start is as it always was.
//
// GUI thread only (the settings store and the engine are the GUI thread's).

#include <QWidget>
#include <optional>

#include "playback/engine.h"

namespace mirvane::desktop {

struct ResumePoint {
    int row = -1;         // the engine's current index; -1: nothing played at the close
    int milliseconds = 0; // from the track's start, >= 0
};

// Where the engine is: its current index and the position of its channel while a track plays
// or is paused; row -1 while stopped.
ResumePoint CurrentResumePoint(const PlaybackEngine &engine);

// Stores the point; false when the store could not be written.
bool StoreResumePoint(const ResumePoint &point);

// The stored point, when the option is ticked and a row was stored; otherwise nothing.
std::optional<ResumePoint> StoredResumePoint();

// Plays point.row from point.milliseconds, only while nothing plays (a command-line file
// wins). A row the list no longer has: nothing. A position past the track's end: the track
// plays from its start. True when a track started.
bool ResumePlayback(PlaybackEngine &engine, const ResumePoint &point);

// Stores the point at the first close event of `window`, when the option is ticked then. An
// event filter sees the close before the window's own close step releases the audio library
// (which ends the channel, and with it the position). Owned by `window`.
void KeepResumePointAtClose(QWidget *window, PlaybackEngine &engine);

} // namespace mirvane::desktop
