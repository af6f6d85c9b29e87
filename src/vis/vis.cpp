#include "vis/vis.h"

#include "common/paths.h"

#include "vis/sonique_page.h"
#include "vis/winamp_page.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "bass_vis.h"

namespace mirvane::vis {

Pages CreatePages(QWidget *parent, const QString &programDir) {
    // An installed program finds its plugins apart from the settings file it writes.
    const QString dir = programDir.isEmpty() ? mirvane::PluginRootDir() : programDir;
    QString settings;
    if (programDir.isEmpty() && !mirvane::IsProgramFolderLayout() &&
        !qEnvironmentVariableIsSet("MIRVANE_VIS_HELPER")) {
        // Installed, the helper lies with the plugins rather than beside the executable.
        const QString helper = mirvane::PluginRootDir() + "mirvane-vis-helper";
        if (QFileInfo(helper).isExecutable())
            BASS_VIS_SetHelper(QFile::encodeName(helper).constData());
    }
    if (programDir.isEmpty()) {
        QDir().mkpath(mirvane::WritableConfigDir());
        settings = mirvane::WritableConfigDir() + "vis.ini";
    }
    Pages pages;
    pages.sonique = new SoniquePage(dir, parent, settings);
    pages.sonique->hide();
    pages.winamp = new WinampPage(dir, parent);
    pages.winamp->hide();
    return pages;
}

} // namespace mirvane::vis
