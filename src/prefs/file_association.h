#pragma once
// File association: the shell opens MP3 files (and offers the player for every format it
// plays) with this program. The platform's store sits behind FileAssociation; on Linux it is
// a desktop entry in the user's applications folder and the default handler for audio/mpeg
// in the user's mimeapps.list, both as the XDG desktop-entry and MIME-applications rules say.
//
// Registering and removing touch only what is ours: another program's desktop entry and its
// defaults stay. The file texts are built by pure functions; the writer replaces each file
// whole (written to a temporary name and renamed). GUI thread only for the writer.

#include <QString>
#include <QStringList>

namespace mirvane::prefs {

// The desktop file id of the player.
inline constexpr const char *kDesktopId = "mirvane.desktop";
// The MIME type whose default handler the player becomes.
inline constexpr const char *kDefaultMime = "audio/mpeg";

// Every MIME type the player opens: MPEG layer 1/2/3, Ogg Vorbis, WAV, tracker music, M3U.
QStringList PlayableMimeTypes();

// One argument of an Exec key: quoted with double quotes when it holds a reserved character
// (then ", `, $ and \ get a backslash), "%" doubled; the result is not yet escaped as a
// desktop-entry string value.
QString QuoteExecArgument(const QString &argument);
// A desktop-entry string value: "\" as "\\", newline, tab and carriage return as \n, \t, \r.
QString EscapeDesktopString(const QString &value);

// The whole text of mirvane.desktop for the program file `programPath`; `icon` is an icon
// name or an absolute path.
QString DesktopEntryText(const QString &programPath, const QString &icon);

// mimeapps.list text `existing` with `desktopId` made the first default handler of `mime`
// (other handlers listed there stay after it) and added to its added associations. Other
// groups, keys and comments stay as they were.
QString MimeAppsWithDefault(const QString &existing, const QString &mime, const QString &desktopId);
// mimeapps.list text `existing` with `desktopId` removed from every list it is in; a key
// left with an empty list is removed. Other programs' entries stay.
QString MimeAppsWithout(const QString &existing, const QString &desktopId);
// The default handlers listed for `mime` in mimeapps.list text, in order.
QStringList DefaultHandlers(const QString &mimeAppsText, const QString &mime);

// The platform's association store.
class FileAssociation {
  public:
    virtual ~FileAssociation() = default;
    // Makes the program the handler; true when everything was written.
    virtual bool Register(const QString &programPath, const QString &icon) = 0;
    // Removes only what Register wrote; true when nothing of ours is left.
    virtual bool Unregister() = 0;
    virtual bool IsRegistered() const = 0;
};

// The XDG store: $XDG_DATA_HOME/applications/mirvane.desktop (default
// ~/.local/share/applications) and $XDG_CONFIG_HOME/mimeapps.list (default ~/.config),
// looked up at each call. After a change, update-desktop-database (when installed) refreshes
// that folder's MIME cache, so "Open with" lists the player at once; it runs in the
// background and its outcome does not count.
class XdgFileAssociation final : public FileAssociation {
  public:
    static QString ApplicationsDir();
    static QString MimeAppsPath();
    bool Register(const QString &programPath, const QString &icon) override;
    bool Unregister() override;
    bool IsRegistered() const override;
};

} // namespace mirvane::prefs
