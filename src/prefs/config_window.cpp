#include "prefs/config_window.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace {

class ClickLabel : public QLabel {
  public:
    ClickLabel(const QString &text, ConfigWindow *form) : QLabel(text, form), form_(form) {}

  protected:
    void mouseReleaseEvent(QMouseEvent *) override { form_->Label7Click(); }

  private:
    ConfigWindow *form_;
};

} // namespace

ConfigWindow::ConfigWindow(QWidget *parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
    setObjectName("Form5");
    setWindowTitle("Configuration");
    setFixedSize(449, 197);
    auto *title = new QLabel("Configuration", this);
    title->setObjectName("Label6");
    title->setGeometry(176, 4, 120, 16);
    title->setStyleSheet("color: yellow; font-weight: bold; font-size: 10pt;");
    auto *close = new ClickLabel("X", this);
    close->setObjectName("Label7");
    close->setGeometry(435, 4, 12, 16);
    close->setStyleSheet("color: red; font-weight: bold;");
    close->setCursor(Qt::PointingHandCursor);
    close->setToolTip("Close");
}

void ConfigWindow::ShowNode(int node) {
    selectedNode_ = node;
    show();
    raise();
}

void ConfigWindow::Label7Click() {
    hide();
}

void ConfigWindow::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const int s = (height() + 205) / 256;
    for (int i = 0; i < 256; ++i) {
        p.fillRect(0, i * s, width(), s, QColor(i, 32, 25));
    }
}

void ConfigWindow::mousePressEvent(QMouseEvent *) {
    if (windowHandle()) {
        windowHandle()->startSystemMove();
    }
}
