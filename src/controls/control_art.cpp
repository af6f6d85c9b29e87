#include "controls/control_art.h"

#include <QPixmap>

// Outside any namespace, as Q_INIT_RESOURCE requires. Calling it from code the program surely
// links keeps the resource object from being dropped when the core is a static library.
static void initControlResources() {
    Q_INIT_RESOURCE(controls);
}

namespace mirvane {

QImage ControlArt(const QString &name) {
    static const bool initialised = (initControlResources(), true);
    (void)initialised;
    QImage image(QStringLiteral(":/controls/art/%1.png").arg(name));
    if (image.isNull())
        return image;
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                         : QImage::Format_RGB32);
}

QCursor HandCursor() {
    return QCursor(QPixmap::fromImage(ControlArt(QStringLiteral("AD_HAND"))), 6, 1);
}

QImage PlayerFontBitmap() {
    return ControlArt(QStringLiteral("player_font"));
}

QString PlayerFontChars() {
    QString chars;
    for (int c = 32; c <= 90; ++c)
        chars += QChar(c);
    chars += QStringLiteral(u"ÄÅÖ");
    for (int c = 91; c <= 95; ++c)
        chars += QChar(c);
    chars += QChar(0xFF); // ÿ
    for (int c = 97; c <= 122; ++c)
        chars += QChar(c);
    chars += QStringLiteral(u"äåöüû");
    return chars;
}

} // namespace mirvane
