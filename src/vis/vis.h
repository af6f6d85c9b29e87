#pragma once
// The visualisation subsystem's entry for the rest of the program. GUI thread only.
//
// The configuration window hosts the two pages: CreatePages makes them as children of the
// page area it is given (each 258 x 159, at (0, 0)); the window shows one at a time. The
// Sonique page opens the plugin window ("svis", caption "Sonique Plugins") from its "Start"
// button; the Winamp page runs a module in a window of its own from its "Start". So the
// player's menu item "Sonique visual plugins" only needs to show the configuration window at
// its Sonique page. The pages own their windows and recordings; deleting a page stops them.
//
// Sonique plugins run in the helper program "mirvane-vis-helper", built beside the executable
// (libs/vis) and installed beside the plugin folder, so one that crashes or hangs only stops
// its window ("plugin stopped"). Winamp modules run in the player itself.
//
// Call PreferOutputMonitor() (vis_recording.h) in main() before the audio library starts, so
// recordings hear what the player plays rather than a microphone.

#include <QString>

class QWidget;

namespace mirvane::vis {

class SoniquePage;
class WinampPage;

struct Pages {
    SoniquePage *sonique = nullptr; // objectName "SoniquePage"
    WinampPage *winamp = nullptr;   // objectName "WinampPage"
};

// Creates both pages as hidden children of parent, their search paths set to
// programDir + "vis/" and the plugins' settings file to programDir + "vis.ini" (programDir
// ends with '/'). When programDir is empty: PluginRootDir() + "vis/" and
// WritableConfigDir() + "vis.ini" (common/paths.h), the folder made when missing.
Pages CreatePages(QWidget *parent, const QString &programDir = {});

} // namespace mirvane::vis
