#pragma once
// The program-wide object: the six windows created at start-up, in their order, and what
// lives from start to end beside them. Windows reach each other only through it.
//
// Start-up (StartProgram) creates the windows one after another; a window's creation step may
// look at the windows created before it, never at later ones (they are still null then).
// GUI thread only.

#include <QApplication>
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

struct Program {
    Program();
    ~Program(); // destroys the windows in the reverse order of their creation
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    PlayerWindow *player = nullptr;       // player window, the main window
    TagEditor *tagEditor = nullptr;       // tag editor
    PlaylistWindow *playlist = nullptr;   // playlist window with the playback engine
    ConfigWindow *config = nullptr;       // configuration
    EqualizerWindow *equalizer = nullptr; // equalizer
    RadioWindow *radio = nullptr;         // internet radio

    std::unique_ptr<Id3v2Tag> lookupTag; // the title lookup's own tag object

    // The raw command line as the start-up got it: "<program path>" <file>.
    QString commandLine;
    // The audio library's version query; tests put a stand-in here to try another version.
    DWORD (*getAudioVersion)() = &BASS_GetVersion;
};

// What start-up gets from the outside.
struct StartOptions {
    QString commandLine; // the raw form: the quoted program path, a blank, a file name
    DWORD (*getAudioVersion)() = &BASS_GetVersion;
};

// Start-up up to the message loop: the application title, the six windows in their order
// (each runs its creation step), then the banner's "Mirvane Player". Needs an Application.
// The player window is shown; closing it runs its close step and quits the event loop.
std::unique_ptr<Program> StartProgram(const StartOptions &options);

// The whole program for main(): start-up, the message loop, the end. argv[1], when given, is
// the file to play.
int RunProgram(int argc, char **argv);

// The raw command line rebuilt from argv: "<program path>" and, when given, a blank and argv[1].
QString RawCommandLine(int argc, char **argv);

// The application-wide error rule: an exception escaping an event handler abandons that
// handler silently and the program goes on with its next event.
class Application : public QApplication {
  public:
    Application(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace mirvane
