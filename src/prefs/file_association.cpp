#include "prefs/file_association.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include "prefs/app_icon.h"

namespace mirvane::prefs {
namespace {

QString DataHome() {
    const QString set = qEnvironmentVariable("XDG_DATA_HOME");
    return set.isEmpty() ? QDir::homePath() + "/.local/share" : set;
}

QString ConfigHome() {
    const QString set = qEnvironmentVariable("XDG_CONFIG_HOME");
    return set.isEmpty() ? QDir::homePath() + "/.config" : set;
}

bool WriteWhole(const QString &path, const QString &text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(text.toUtf8());
    return file.commit();
}

QString ReadWhole(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool IsGroupLine(const QString &line) {
    const QString t = line.trimmed();
    return t.startsWith(u'[') && t.endsWith(u']');
}

// The list value of a key, split at unescaped ";"; empty items dropped.
QStringList SplitList(const QString &value) {
    QStringList items;
    QString item;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'\\' && i + 1 < value.size()) {
            item += c;
            item += value[++i];
        } else if (c == u';') {
            if (!item.trimmed().isEmpty()) {
                items << item.trimmed();
            }
            item.clear();
        } else {
            item += c;
        }
    }
    if (!item.trimmed().isEmpty()) {
        items << item.trimmed();
    }
    return items;
}

QString JoinList(const QStringList &items) {
    return items.isEmpty() ? QString() : items.join(u';') + u';';
}

struct KeyLine {
    QString key;
    QString value;
};
std::optional<KeyLine> ParseKey(const QString &line) {
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(u'#') || IsGroupLine(t)) {
        return std::nullopt;
    }
    const qsizetype eq = t.indexOf(u'=');
    if (eq <= 0) {
        return std::nullopt;
    }
    return KeyLine{t.left(eq).trimmed(), t.mid(eq + 1).trimmed()};
}

QStringList Lines(const QString &text) {
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

QString Text(const QStringList &lines) {
    return lines.isEmpty() ? QString() : lines.join(u'\n') + u'\n';
}

// Sets `mime` in `group` with `transform` applied to its current list (empty when missing);
// adds the group at the end when missing.
void EditKey(QStringList &lines, const QString &group, const QString &mime,
             const std::function<QStringList(QStringList)> &transform) {
    const QString header = '[' + group + ']';
    qsizetype groupAt = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed() == header) {
            groupAt = i;
            break;
        }
    }
    if (groupAt < 0) {
        if (!lines.isEmpty() && !lines.back().trimmed().isEmpty()) {
            lines << QString();
        }
        lines << header << mime + '=' + JoinList(transform({}));
        return;
    }
    qsizetype end = groupAt + 1;
    while (end < lines.size() && !IsGroupLine(lines[end])) {
        if (const auto key = ParseKey(lines[end]); key && key->key == mime) {
            lines[end] = mime + '=' + JoinList(transform(SplitList(key->value)));
            return;
        }
        ++end;
    }
    // After the group's last key, before blank lines that part it from the next group.
    qsizetype at = end;
    while (at > groupAt + 1 && lines[at - 1].trimmed().isEmpty()) {
        --at;
    }
    lines.insert(at, mime + '=' + JoinList(transform({})));
}

} // namespace

QStringList PlayableMimeTypes() {
    return {"audio/mpeg",  "audio/mp2",  "audio/x-mp2",    "audio/ogg",   "audio/x-vorbis+ogg",
            "audio/x-wav", "audio/wav",  "audio/vnd.wave", "audio/x-mod", "audio/x-s3m",
            "audio/x-xm",  "audio/x-it", "audio/x-mpegurl"};
}

QString QuoteExecArgument(const QString &argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = argument.isEmpty();
    for (const QChar c : argument) {
        if (reserved.contains(c)) {
            quote = true;
            break;
        }
    }
    QString out;
    if (quote) {
        out += u'"';
    }
    for (const QChar c : argument) {
        if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\')) {
            out += u'\\';
        }
        out += c;
        if (c == u'%') {
            out += u'%';
        }
    }
    if (quote) {
        out += u'"';
    }
    return out;
}

QString EscapeDesktopString(const QString &value) {
    QString out;
    for (const QChar c : value) {
        if (c == u'\\') {
            out += QLatin1String("\\\\");
        } else if (c == u'\n') {
            out += QLatin1String("\\n");
        } else if (c == u'\t') {
            out += QLatin1String("\\t");
        } else if (c == u'\r') {
            out += QLatin1String("\\r");
        } else {
            out += c;
        }
    }
    return out;
}

QString DesktopEntryText(const QString &programPath, const QString &icon) {
    QString text;
    text += "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Version=1.4\n"; // the newest that every desktop's checker knows
    text += "Name=Mirvane Player\n";
    text += "GenericName=Music Player\n";
    text += "Comment=Play music files, playlists and internet radio\n";
    text += "Exec=" + EscapeDesktopString(QuoteExecArgument(programPath)) + " %f\n";
    text += "Icon=" + EscapeDesktopString(icon) + "\n";
    text += "Terminal=false\n";
    text += "Categories=AudioVideo;Audio;Player;\n";
    text += "MimeType=" + JoinList(PlayableMimeTypes()) + "\n";
    return text;
}

QString MimeAppsWithDefault(const QString &existing, const QString &mime,
                            const QString &desktopId) {
    QStringList lines = Lines(existing);
    const auto first = [&desktopId](QStringList items) {
        items.removeAll(desktopId);
        items.prepend(desktopId);
        return items;
    };
    EditKey(lines, "Default Applications", mime, first);
    EditKey(lines, "Added Associations", mime, first);
    return Text(lines);
}

QString MimeAppsWithout(const QString &existing, const QString &desktopId) {
    QStringList out;
    for (const QString &line : Lines(existing)) {
        const auto key = ParseKey(line);
        if (!key) {
            out << line;
            continue;
        }
        QStringList items = SplitList(key->value);
        if (!items.contains(desktopId)) {
            out << line;
            continue;
        }
        items.removeAll(desktopId);
        if (!items.isEmpty()) {
            out << key->key + '=' + JoinList(items);
        }
    }
    return Text(out);
}

QStringList DefaultHandlers(const QString &mimeAppsText, const QString &mime) {
    bool inDefaults = false;
    for (const QString &line : Lines(mimeAppsText)) {
        if (IsGroupLine(line)) {
            inDefaults = line.trimmed() == QLatin1String("[Default Applications]");
            continue;
        }
        if (const auto key = ParseKey(line); inDefaults && key && key->key == mime) {
            return SplitList(key->value);
        }
    }
    return {};
}

QString XdgFileAssociation::ApplicationsDir() {
    return DataHome() + "/applications";
}

QString XdgFileAssociation::MimeAppsPath() {
    return ConfigHome() + "/mimeapps.list";
}

namespace {

// Desktops read "Open with" from the folder's mimeinfo.cache; the tool that writes it is
// optional, and a window must never wait for it.
void RefreshDesktopDatabase(const QString &applicationsDir) {
    const QString tool = QStandardPaths::findExecutable("update-desktop-database");
    if (!tool.isEmpty())
        QProcess::startDetached(tool, {"-q", applicationsDir});
}

} // namespace

bool XdgFileAssociation::Register(const QString &programPath, const QString &icon) {
    const QString id = QString::fromLatin1(kDesktopId);
    if (!WriteWhole(ApplicationsDir() + '/' + id, DesktopEntryText(programPath, icon))) {
        return false;
    }
    if (icon == IconForDesktopEntry() && !InstallThemeIcons(DataHome())) {
        return false;
    }
    RefreshDesktopDatabase(ApplicationsDir());
    const QString list = MimeAppsPath();
    return WriteWhole(list,
                      MimeAppsWithDefault(ReadWhole(list), QString::fromLatin1(kDefaultMime), id));
}

bool XdgFileAssociation::Unregister() {
    const QString id = QString::fromLatin1(kDesktopId);
    bool ok = true;
    const QString list = MimeAppsPath();
    if (QFile::exists(list)) {
        const QString before = ReadWhole(list);
        const QString after = MimeAppsWithout(before, id);
        if (after != before) {
            ok = WriteWhole(list, after);
        }
    }
    const QString entry = ApplicationsDir() + '/' + id;
    if (QFile::exists(entry)) {
        ok = QFile::remove(entry) && ok;
    }
    RemoveThemeIcons(DataHome());
    RefreshDesktopDatabase(ApplicationsDir());
    return ok;
}

bool XdgFileAssociation::IsRegistered() const {
    return QFile::exists(ApplicationsDir() + '/' + QString::fromLatin1(kDesktopId)) &&
           DefaultHandlers(ReadWhole(MimeAppsPath()), QString::fromLatin1(kDefaultMime)).value(0) ==
               QString::fromLatin1(kDesktopId);
}

} // namespace mirvane::prefs
