#pragma once
// Where the program's own files lie.
//
// Two layouts. A program folder (a build folder, a copied folder, MIRVANE_HOME) carries
// Skins.ini beside the executable: everything is read and written there, as it always was.
// An installed program finds no Skins.ini beside it: it reads its data from
// <prefix>/share/mirvane/ (read-only), its plugins from <prefix>/lib/mirvane/vis/, and keeps
// what it writes under the user's XDG folders. A program folder that cannot be written to
// also keeps what it writes under the XDG folders.
//
// Every folder returned ends with '/'. GUI thread only (the answers are kept for the program
// folder they were worked out for; QStandardPaths needs the application object).

#include <QString>

namespace mirvane {

// The program directory with a trailing '/': MIRVANE_HOME when set (tests start the whole
// program in a temporary folder), otherwise the executable's directory.
QString ProgramDir();

// True when the program folder carries its own data (Skins.ini): everything lies there.
// MIRVANE_HOME always names such a folder, whether or not Skins.ini is there yet.
bool IsProgramFolderLayout();

// Where shipped data is read: Skins.ini, Skins/, demo/. The program folder in its own
// layout; otherwise the installed data folder.
QString DataDir();

// The folder whose "vis/" holds the visualisation plugins: the program folder in its own
// layout; otherwise the installed plugin folder.
QString PluginRootDir();

// Where the program keeps files it writes and reads back (the automatic playlist
// "playlist.m3u", the stations list): the program folder when it is its own layout and
// writable; otherwise the user's data folder (QStandardPaths::AppDataLocation).
QString WritableDataDir();
// The same for files of settings ("vis.ini"): the program folder, or the user's config folder
// (QStandardPaths::AppConfigLocation).
QString WritableConfigDir();

// Which folders apply; the functions above take their answers from here. Pure: tests build
// one for any folder without touching the process's environment.
struct FileLayout {
    QString programDir;  // ends with '/'
    QString dataDir;     // ends with '/'
    QString pluginRoot;  // ends with '/'
    QString writableDir; // ends with '/'
    QString configDir;   // ends with '/'
};
// programDir: the program folder; installedData / installedPlugins: the installed folders;
// userData / userConfig: the XDG folders. ownLayout and writable describe programDir.
FileLayout ChooseLayout(const QString &programDir, bool ownLayout, bool writable,
                        const QString &installedData, const QString &installedPlugins,
                        const QString &userData, const QString &userConfig);

// A file the program reads and may later rewrite (the stations list): the user's copy in
// writableDir when there is one, otherwise the shipped one in dataDir (which may not exist).
QString ReadableCopy(const FileLayout &layout, const QString &name);
// The same file, to be written: writableDir + name. When no user copy exists yet, the shipped
// one is copied there first, so that a change edits the shipped list rather than starting an
// empty one. The folder is made when missing.
// Outcome: the path to write; "" when the folder cannot be made or the copy fails (nothing is
// then written, and the shipped file is never touched).
QString WritableCopy(const FileLayout &layout, const QString &name);

// The layout of this process for the program folder of now.
const FileLayout &CurrentLayout();

// The file named on the raw command line ("<program path>" <file>), or "": whatever follows
// the quoted program path and one blank.
QString CommandLineFile(const QString &commandLine);

// Lets pending window events run, as the handlers that "let pending messages run" need.
void ProcessPendingEvents();

} // namespace mirvane
