#include "radio/radio_window.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

RadioWindow::RadioWindow(QWidget *parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
    setObjectName("form3");
    setWindowTitle("Internet radio");
    resize(320, 120);
    const auto makeLabel = [this](const char *name, int y) {
        auto *label = new QLabel(this);
        label->setObjectName(name);
        label->setTextFormat(Qt::PlainText); // station texts come from the network
        label->setGeometry(8, y, 300, 16);
        label->setStyleSheet("color: white;");
        return label;
    };
    Channellbl = makeLabel("Channellbl", 24);
    Label3 = makeLabel("Label3", 44);
    Label5 = makeLabel("Label5", 64);
    Statuslbl = makeLabel("Statuslbl", 84);
    auto *close = new QLabel("X", this);
    close->setObjectName("Label7");
    close->setGeometry(304, 2, 12, 16);
    close->setStyleSheet("color: red; font-weight: bold;");
    close->setCursor(Qt::PointingHandCursor);
    close->setToolTip("Close");
    // A click on "X" only hides the window.
    struct CloseFilter : QObject {
        using QObject::QObject;
        bool eventFilter(QObject *o, QEvent *e) override {
            if (e->type() == QEvent::MouseButtonRelease) {
                static_cast<QWidget *>(o)->window()->hide();
                return true;
            }
            return false;
        }
    };
    close->installEventFilter(new CloseFilter(close));
}

bool RadioWindow::RadioInUse() const {
    return !Statuslbl->text().isEmpty();
}

void RadioWindow::EngineStopped() {
    for (QLabel *label : {Statuslbl, Label3, Channellbl, Label5}) {
        label->clear();
    }
}

void RadioWindow::CloseClick() {
    hide();
}

void RadioWindow::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const int s = (height() + 255) / 256;
    for (int i = 0; i < 256; ++i) {
        p.fillRect(0, i * s, width(), s, QColor(i, 32, 25));
    }
}

void RadioWindow::mousePressEvent(QMouseEvent *) {
    if (windowHandle()) {
        windowHandle()->startSystemMove();
    }
}
