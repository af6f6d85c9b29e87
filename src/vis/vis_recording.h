#pragma once
// The one recording the visualisations share. The audio library has one recording at a time,
// so the Sonique windows and the Winamp page hold it together: it starts with the first holder
// and ends with the last. GUI thread only.

#include <QString>
#include <cstdint>

namespace mirvane::vis {

class VisRecording {
  public:
    // Which holder asks: the two differ only in their messages and start flags.
    enum class Holder { Sonique, Winamp };

    // Joins the shared recording and returns its channel. When there is none yet it is started
    // (recording device 0, 44100 Hz stereo). When the capture device cannot be opened or the
    // recording cannot start, the matching message box is shown ("Cant initialize device" or
    // "Can't initialize device", "Cant start recording"), 0 is returned and the caller goes on
    // without sound; *why then holds the line to show in its window. The program never ends
    // here. A caller that got 0 holds nothing and must not Leave.
    static uint32_t Join(Holder holder, QString *why);
    // Leaves; the last holder to leave ends the recording (BASS_RecordFree).
    static void Leave();
    static int Holders();
    static uint32_t Channel();
};

// Asks the sound server to give recordings the monitor of the output device (what the player
// plays) instead of a microphone, when the user has not chosen a source (PULSE_SOURCE). Must be
// called before the audio library is started; without a sound server it changes nothing.
void PreferOutputMonitor();

} // namespace mirvane::vis
