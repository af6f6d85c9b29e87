#include "common/paths.h"

#include <QCoreApplication>
#include <QDir>

namespace mirvane {

QString ProgramDir() {
    QString dir = qEnvironmentVariable("MIRVANE_HOME");
    if (dir.isEmpty()) {
        dir = QCoreApplication::applicationDirPath();
    }
    dir = QDir::fromNativeSeparators(QDir(dir).absolutePath());
    if (!dir.endsWith('/')) {
        dir += '/';
    }
    return dir;
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
