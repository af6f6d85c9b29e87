#include "common/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

// Where an installed program finds its data and plugins, relative to its bin folder (set by
// the build from the install folders).
#ifndef MIRVANE_DATA_FROM_BIN
#define MIRVANE_DATA_FROM_BIN "../share/mirvane"
#endif
#ifndef MIRVANE_PLUGINS_FROM_BIN
#define MIRVANE_PLUGINS_FROM_BIN "../lib/mirvane"
#endif

namespace mirvane {
namespace {

QString WithSlash(QString dir) {
    dir = QDir::fromNativeSeparators(dir);
    if (!dir.endsWith('/')) {
        dir += '/';
    }
    return dir;
}

QString Beside(const QString &programDir, const char *relative) {
    return WithSlash(QDir::cleanPath(programDir + QString::fromUtf8(relative)));
}

// Can a file be made in dir? access(2) answers for this user, read-only mounts included.
bool CanWriteIn(const QString &dir) {
    return QFileInfo(dir).isWritable();
}

} // namespace

QString ProgramDir() {
    QString dir = qEnvironmentVariable("MIRVANE_HOME");
    if (dir.isEmpty()) {
        dir = QCoreApplication::applicationDirPath();
    }
    return WithSlash(QDir(dir).absolutePath());
}

bool IsProgramFolderLayout() {
    return !qEnvironmentVariableIsEmpty("MIRVANE_HOME") ||
           QFileInfo::exists(ProgramDir() + "Skins.ini");
}

FileLayout ChooseLayout(const QString &programDir, bool ownLayout, bool writable,
                        const QString &installedData, const QString &installedPlugins,
                        const QString &userData, const QString &userConfig) {
    FileLayout l;
    l.programDir = WithSlash(programDir);
    l.dataDir = ownLayout ? l.programDir : WithSlash(installedData);
    l.pluginRoot = ownLayout ? l.programDir : WithSlash(installedPlugins);
    const bool here = ownLayout && writable;
    l.writableDir = here ? l.programDir : WithSlash(userData);
    l.configDir = here ? l.programDir : WithSlash(userConfig);
    return l;
}

const FileLayout &CurrentLayout() {
    // Worked out again only when the program folder changes (tests move MIRVANE_HOME), so
    // that the file system is asked once per folder rather than once per call.
    static FileLayout layout;
    static bool own = false;
    const QString program = ProgramDir();
    const bool ownNow = IsProgramFolderLayout();
    if (layout.programDir != program || own != ownNow) {
        own = ownNow;
        layout = ChooseLayout(program, own, own && CanWriteIn(program),
                              Beside(program, MIRVANE_DATA_FROM_BIN),
                              Beside(program, MIRVANE_PLUGINS_FROM_BIN),
                              QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
                              QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    }
    return layout;
}

QString DataDir() {
    return CurrentLayout().dataDir;
}

QString PluginRootDir() {
    return CurrentLayout().pluginRoot;
}

QString WritableDataDir() {
    return CurrentLayout().writableDir;
}

QString WritableConfigDir() {
    return CurrentLayout().configDir;
}

QString ReadableCopy(const FileLayout &layout, const QString &name) {
    const QString own = layout.writableDir + name;
    return QFileInfo::exists(own) ? own : layout.dataDir + name;
}

QString WritableCopy(const FileLayout &layout, const QString &name) {
    const QString own = layout.writableDir + name;
    if (QFileInfo::exists(own)) {
        return own;
    }
    if (!QDir().mkpath(QFileInfo(own).absolutePath())) {
        return {};
    }
    const QString shipped = layout.dataDir + name;
    if (shipped != own && QFileInfo(shipped).isFile()) {
        if (!QFile::copy(shipped, own)) {
            return {};
        }
        // The shipped file is read-only when installed; its copy is the user's to change.
        QFile::setPermissions(own, QFile::permissions(own) | QFile::WriteOwner | QFile::ReadOwner);
    }
    return own;
}

void ProcessPendingEvents() {
    if (QCoreApplication::instance()) {
        QCoreApplication::processEvents();
    }
}

QString CommandLineFile(const QString &commandLine) {
    const qsizetype p = QCoreApplication::applicationFilePath().size();
    const qsizetype l = commandLine.size();
    return p + 3 < l ? commandLine.mid(p + 3) : QString();
}

} // namespace mirvane
