#include "controls/skin_picture.h"

#include <QPainter>
#include <QStyle>

SkinPicture::SkinPicture(QWidget *parent) : QLabel(parent) {}

void SkinPicture::paintEvent(QPaintEvent *event) {
    const QPixmap picture = pixmap();
    if (picture.isNull()) {
        QLabel::paintEvent(event);
        return;
    }
    // QLabel resamples a picture whose ratio differs from the screen's smoothly, which blurs
    // pixel art; the raster painter without SmoothPixmapTransform picks the nearest pixel.
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QSize size = picture.deviceIndependentSize().toSize();
    const QRect place = QStyle::alignedRect(layoutDirection(), alignment(), size, contentsRect());
    p.drawPixmap(place, picture);
}
