#include "common/screen_fit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace mirvane {

QRect FitInto(const QRect &window, const QRect &available) {
    QRect r = window;
    // Right and bottom first, so that for a window too large the top left wins.
    if (r.right() > available.right()) {
        r.moveRight(available.right());
    }
    if (r.bottom() > available.bottom()) {
        r.moveBottom(available.bottom());
    }
    r.moveLeft(std::max(r.left(), available.left()));
    r.moveTop(std::max(r.top(), available.top()));
    return r;
}

void KeepOnScreen(QWidget *window) {
    const QRect frame = window->frameGeometry();
    QScreen *screen = QGuiApplication::screenAt(frame.center());
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    if (!screen) {
        return;
    }
    const QRect fitted = FitInto(frame, screen->availableGeometry());
    if (fitted.topLeft() != frame.topLeft()) {
        window->move(window->pos() + (fitted.topLeft() - frame.topLeft()));
    }
}

} // namespace mirvane
