#pragma once
// The player's application icon, built into the program in the hicolor sizes 16..256 (the
// pictures of data/icons, drawn by tools/make_app_icon.py). GUI thread only.

#include <QIcon>
#include <QString>

namespace mirvane::prefs {

// The icon of the windows and the tray; every size the program carries.
QIcon ApplicationIcon();

// The Icon key of the desktop entry: the icon theme name "mirvane".
QString IconForDesktopEntry();

// Copies the built-in pictures into <dataHome>/icons/hicolor/<size>/apps/mirvane.png (and
// scalable/apps/mirvane.svg), so the desktop entry's icon name is found. True when all were
// written.
bool InstallThemeIcons(const QString &dataHome);
// Removes what InstallThemeIcons wrote; other icons stay.
void RemoveThemeIcons(const QString &dataHome);

} // namespace mirvane::prefs
