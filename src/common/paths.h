#pragma once
// Where the program's own files lie.

#include <QString>

namespace mirvane {

// The program directory with a trailing '/': MIRVANE_HOME when set (tests start the whole
// program in a temporary folder), otherwise the executable's directory. "playlist.m3u",
// Skins.ini, Skins/, iradio.ini and vis/ lie there.
QString ProgramDir();

// The file named on the raw command line ("<program path>" <file>), or "": whatever follows
// the quoted program path and one blank.
QString CommandLineFile(const QString &commandLine);

// Lets pending window events run, as the handlers that "let pending messages run" need.
void ProcessPendingEvents();

} // namespace mirvane
