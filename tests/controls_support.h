#pragma once
// Shared by the controls tests: one QApplication (offscreen), and mouse and key events sent
// straight to a widget so tests don't depend on window activation or pointer grabs.

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

inline QApplication &App() {
    static int argc = 1;
    static char name[] = "controls_test";
    static char *argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: at exit Qt's own globals may already be gone when a static
    // QApplication would tear down.
    static QApplication *app = new QApplication(argc, argv);
    return *app;
}

inline void SendMouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, buttons,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
inline void Press(QWidget *w, QPoint pos, Qt::MouseButton b = Qt::LeftButton) {
    SendMouse(w, QEvent::MouseButtonPress, pos, b, b);
}
inline void DoubleClick(QWidget *w, QPoint pos, Qt::MouseButton b = Qt::LeftButton) {
    SendMouse(w, QEvent::MouseButtonDblClick, pos, b, b);
}
inline void Move(QWidget *w, QPoint pos, Qt::MouseButtons held = Qt::LeftButton) {
    SendMouse(w, QEvent::MouseMove, pos, Qt::NoButton, held);
}
inline void Release(QWidget *w, QPoint pos, Qt::MouseButton b = Qt::LeftButton) {
    SendMouse(w, QEvent::MouseButtonRelease, pos, b, Qt::NoButton);
}
inline bool Key(QWidget *w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent e(QEvent::KeyPress, key, mods);
    e.ignore();
    QApplication::sendEvent(w, &e);
    return e.isAccepted();
}

// The widget as drawn at a device pixel ratio of `dpr`, children included.
inline QImage Render(QWidget *w, qreal dpr = 1) {
    QImage img(w->size() * dpr, QImage::Format_RGB32);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::magenta);
    w->render(&img);
    return img;
}
