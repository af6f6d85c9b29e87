#pragma once
// The program-wide object: the playback engine and the six windows created at start-up, in
// their order, and what lives from start to end beside them. Windows reach each other only
// through it. It names the windows without including them, so any window can hold it; a window
// includes the header of another window only where it calls it, and never in a circle.
//
// Start-up (app/startup.h) creates the engine, then the windows one after another; a window's
// creation step may look at the windows created before it, never at later ones (they are still
// null then). GUI thread only.

#include <QString>
#include <memory>

#include "bass.h"

class PlayerWindow;
class TagEditor;
class PlaylistWindow;
class ConfigWindow;
class EqualizerWindow;
class RadioWindow;
class Id3v2Tag;

namespace mirvane {

class PlaybackEngine;
namespace desktop {
class MprisService;
}

struct Program {
    Program();
    ~Program(); // destroys the windows in the reverse order of their creation
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    std::unique_ptr<PlaybackEngine> engine; // lives longer than every window

    PlayerWindow *player = nullptr;       // player window, the main window
    TagEditor *tagEditor = nullptr;       // tag editor
    PlaylistWindow *playlist = nullptr;   // playlist window
    ConfigWindow *config = nullptr;       // configuration
    EqualizerWindow *equalizer = nullptr; // equalizer
    RadioWindow *radio = nullptr;         // internet radio

    std::unique_ptr<Id3v2Tag> lookupTag; // the title lookup's own tag object
    // The desktop's remote control; null without a session bus. Goes before the windows.
    std::unique_ptr<desktop::MprisService> mpris;

    // The raw command line as the start-up got it: "<program path>" <file>.
    QString commandLine;
    // The audio library's version query; tests put a stand-in here to try another version.
    DWORD (*getAudioVersion)() = &BASS_GetVersion;
};

} // namespace mirvane
