// Starts the program and saves a picture of the configuration window at every page to
// <folder>/config-<page>.png, for looking at; not run by ctest.
// Usage: config_gallery <folder>   (run in a program folder, e.g. the build folder)
#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QThread>

#include "app/startup.h"
#include "controls/credits_scroller.h"
#include "prefs/config_window.h"

int main(int argc, char **argv) {
    mirvane::Application app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);
    mirvane::StartOptions options;
    auto program = mirvane::StartProgram(options);
    ConfigWindow &config = *program->config;
    const struct {
        int node;
        const char *name;
    } shots[] = {{0, "about"},        {4, "vu-spectrum"},        {8, "file-extensions"},
                 {9, "settings"},     {11, "appearance-player"}, {12, "appearance-playlist"},
                 {13, "performance"}, {15, "skin-chooser"},      {16, "info"}};
    for (const auto &shot : shots) {
        config.ShowNode(shot.node);
        if (shot.node == 0) {
            // Let the credits move well into the page.
            auto *credits = config.findChild<CreditsScroller *>("MovieScroll1");
            for (int i = 0; i < 150; ++i) {
                credits->Step();
            }
        }
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents();
            QThread::msleep(10);
        }
        config.grab().save(folder + "/config-" + shot.name + ".png");
    }
    program.reset();
    return 0;
}
