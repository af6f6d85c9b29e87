#pragma once
// The settings store: one flat set of typed values (integers, booleans, strings), the
// program's equivalent of one registry key.
//
// The file is named by MIRVANE_SETTINGS when set (tests start the program without touching
// the user's own settings), otherwise it lies under the user's configuration folder
// (Halvorn/Mirvane.conf). Each access opens the store, reads or writes one value and closes
// it again, creating the file when missing; an access that cannot open or write the store is
// skipped silently (reads give "missing", writes return false).
//
// Values are kept with their type: integers and booleans as numbers, strings as quoted text.
// A value read as another type than it was written with reads as missing, as does a value
// the file holds in no readable form. Booleans are numbers: written 0 or 1, read as true when
// not 0.
//
// GUI thread only (the store is not meant for library threads).

#include <QString>
#include <optional>

namespace mirvane::settings {

// The path of the settings file in force now.
QString FilePath();

std::optional<int> ReadInteger(const QString &name);
std::optional<bool> ReadBool(const QString &name);
std::optional<QString> ReadString(const QString &name);

// Each returns true when the value reached the file.
bool WriteInteger(const QString &name, int value);
bool WriteBool(const QString &name, bool value);
bool WriteString(const QString &name, const QString &value);

} // namespace mirvane::settings
