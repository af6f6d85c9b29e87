#include "prefs/app_icon.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// Outside any namespace, as Q_INIT_RESOURCE requires; called from code the program links, so
// the pictures are not dropped when the core is a static library.
static void initIconResources() {
    Q_INIT_RESOURCE(app_icon);
}

namespace mirvane::prefs {
namespace {

void EnsureResources() {
    static const bool done = (initIconResources(), true);
    (void)done;
}

const char *const kSizes[] = {"16x16", "22x22",   "24x24",   "32x32",   "48x48",
                              "64x64", "128x128", "256x256", "scalable"};

QString ResourceOf(const char *size) {
    const bool scalable = qstrcmp(size, "scalable") == 0;
    return QStringLiteral(":/mirvane/icons/hicolor/%1/apps/mirvane.%2")
        .arg(QString::fromLatin1(size), scalable ? "svg" : "png");
}

QString ThemeFileOf(const QString &dataHome, const char *size) {
    return dataHome + "/icons" + ResourceOf(size).mid(QStringLiteral(":/mirvane/icons").size());
}

} // namespace

QIcon ApplicationIcon() {
    EnsureResources();
    QIcon icon;
    for (const char *size : kSizes) {
        if (qstrcmp(size, "scalable") != 0) {
            icon.addFile(ResourceOf(size));
        }
    }
    return icon;
}

QString IconForDesktopEntry() {
    return QStringLiteral("mirvane");
}

bool InstallThemeIcons(const QString &dataHome) {
    EnsureResources();
    bool ok = true;
    for (const char *size : kSizes) {
        const QString target = ThemeFileOf(dataHome, size);
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::remove(target);
        ok = QFile::copy(ResourceOf(size), target) && ok;
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                          QFile::ReadOther);
    }
    return ok;
}

void RemoveThemeIcons(const QString &dataHome) {
    for (const char *size : kSizes) {
        QFile::remove(ThemeFileOf(dataHome, size));
    }
}

} // namespace mirvane::prefs
