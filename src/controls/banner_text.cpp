#include "controls/banner_text.h"

namespace mirvane {

QChar Cp1252Upper(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'a' && u <= u'z')
        return QChar(char16_t(u - 32));
    if (u >= 0xE0 && u <= 0xFE && u != 0xF7)
        return QChar(char16_t(u - 32));
    switch (u) {
    case 0xFF:
        return QChar(char16_t(0x0178)); // ÿ -> Ÿ
    case 0x0161:
        return QChar(char16_t(0x0160)); // š -> Š
    case 0x0153:
        return QChar(char16_t(0x0152)); // œ -> Œ
    case 0x017E:
        return QChar(char16_t(0x017D)); // ž -> Ž
    default:
        return c;
    }
}

QString Cp1252Upper(const QString &s) {
    QString out = s;
    for (QChar &c : out)
        c = Cp1252Upper(c);
    return out;
}

QString BannerFill(const QString &s, int visible, QChar fill, BannerAlign align) {
    if (fill.unicode() == 0 || s.size() >= visible)
        return s;
    const int missing = int(visible - s.size());
    switch (align) {
    case BannerAlign::Left:
        return s + QString(missing, fill);
    case BannerAlign::Right:
        return QString(missing, fill) + s;
    case BannerAlign::Centre:
        break;
    }
    return QString(missing / 2, fill) + s + QString((missing + 1) / 2, fill);
}

QString BannerTickFrame(const QString &text, int visible, bool banner, bool blink, QChar fill,
                        BannerTickState &state) {
    state.blinkPhase = (state.blinkPhase + 1) % 6;
    QString frame;
    if (blink && state.blinkPhase < 2) {
        frame = QString(visible, fill);
    } else if (banner) {
        frame = text.mid(state.scrollPos - 1, visible);
        while (frame.size() < visible)
            frame += text.left(visible - frame.size());
    } else {
        frame = text.left(visible);
    }
    if (banner) {
        if (!blink || state.blinkPhase % 2 == 1)
            ++state.scrollPos;
        if (state.scrollPos > text.size())
            state.scrollPos = 1;
    }
    return frame;
}

int BannerGlyphCell(QChar c, const QString &fontChars, QChar fill) {
    int g = int(fontChars.indexOf(c));
    if (g < 0)
        g = int(fontChars.indexOf(fill));
    return g;
}

int BannerVisibleCount(int areaWidth, int charWidth) {
    if (charWidth < 1)
        return 0;
    return (areaWidth + 1) / charWidth;
}

} // namespace mirvane
