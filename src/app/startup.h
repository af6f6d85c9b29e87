#pragma once
// Start-up and the end of the program: the engine, the six windows in their order, the message
// loop, and the application-wide error rule. GUI thread only.

#include <QApplication>
#include <QString>
#include <memory>

#include "app/program.h"

namespace mirvane {

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
// handler silently and the program goes on with its next event. A fractional screen scale
// that the platform reports is rounded to the nearest whole number (halves up); a scale the
// user forces with QT_SCALE_FACTOR or QT_SCREEN_SCALE_FACTORS is kept as given.
class Application : public QApplication {
  public:
    Application(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace mirvane
