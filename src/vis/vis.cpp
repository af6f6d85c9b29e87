#include "vis/vis.h"

#include "common/paths.h"
#include "vis/sonique_page.h"
#include "vis/winamp_page.h"

namespace mirvane::vis {

Pages CreatePages(QWidget *parent, const QString &programDir) {
    const QString dir = programDir.isEmpty() ? mirvane::ProgramDir() : programDir;
    Pages pages;
    pages.sonique = new SoniquePage(dir, parent);
    pages.sonique->hide();
    pages.winamp = new WinampPage(dir, parent);
    pages.winamp->hide();
    return pages;
}

} // namespace mirvane::vis
