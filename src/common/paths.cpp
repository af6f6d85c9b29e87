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

} // namespace mirvane
