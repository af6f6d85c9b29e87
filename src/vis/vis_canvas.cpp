#include "vis/vis_canvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <cstring>

namespace mirvane::vis {

VisCanvas::VisCanvas(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

BASS_VIS_CANVAS VisCanvas::canvas(int width, int height) {
    if (frame_.width() != width || frame_.height() != height) {
        frame_ = QImage(width, height, QImage::Format_RGB32);
        frame_.fill(Qt::black);
    }
    return BASS_VIS_CANVAS{reinterpret_cast<uint32_t *>(frame_.bits()), width, height,
                           int(frame_.bytesPerLine() / 4)};
}

void VisCanvas::setFrame(const BASS_VIS_CANVAS &frame) {
    const BASS_VIS_CANVAS to = canvas(frame.width, frame.height);
    for (int y = 0; y < frame.height; ++y)
        std::memcpy(to.pixels + size_t(y) * size_t(to.pitch),
                    frame.pixels + size_t(y) * size_t(frame.pitch),
                    size_t(frame.width) * sizeof(uint32_t));
    update();
}

void VisCanvas::setStatus(const QString &text) {
    if (status_ == text)
        return;
    status_ = text;
    update();
}

void VisCanvas::paintEvent(QPaintEvent *) {
    QPainter p(this);
    if (frame_.isNull())
        p.fillRect(rect(), Qt::black);
    else if (frame_.size() == size())
        p.drawImage(0, 0, frame_);
    else
        p.drawImage(rect(), frame_);
    if (status_.isEmpty())
        return;
    const QRect line(0, height() - 18, width(), 18);
    p.fillRect(line, QColor(0, 0, 0, 170));
    p.setPen(QColor(255, 220, 120));
    const QRect text = line.adjusted(4, 0, -4, 0);
    p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
               p.fontMetrics().elidedText(status_, Qt::ElideRight, text.width()));
}

void VisCanvas::mousePressEvent(QMouseEvent *event) {
    const Qt::MouseButton b = event->button();
    const int buttons = b == Qt::RightButton ? 2 : b == Qt::MiddleButton ? 4 : 1;
    const QPoint at = event->position().toPoint();
    emit pressed(at.x(), at.y(), buttons);
}

} // namespace mirvane::vis
