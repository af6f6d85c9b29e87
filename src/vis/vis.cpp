#include "vis/vis.h"

#include "common/paths.h"

#include "vis/sonique_page.h"
#include "vis/winamp_page.h"
#include <QDir>

namespace mirvane::vis {

Pages CreatePages(QWidget *parent, const QString &programDir) {
    // An installed program finds its plugins apart from the settings file it writes.
    const QString dir = programDir.isEmpty() ? mirvane::PluginRootDir() : programDir;
    QString settings;
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
