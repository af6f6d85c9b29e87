#include "controls/bitmap_font_label.h"

#include <algorithm>

#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>

static QString DefaultFontChars() {
    QString chars;
    for (int c = 32; c <= 95; ++c)
        chars += QChar(c);
    chars += QChar(0xFF);
    for (int c = 97; c <= 122; ++c)
        chars += QChar(c);
    chars += QChar(0xFA);
    chars += QChar(0xFB);
    chars += QChar(0xFC);
    return chars;
}

BitmapFontLabel::BitmapFontLabel(QWidget *parent) : QWidget(parent) {
    m_color = palette().color(QPalette::Window);
    m_fontChars = DefaultFontChars();
    // Every pixel is painted, so Qt need not erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(185, 41);
    setText(QStringLiteral("Hi there!"));
}

BitmapFontLabel::~BitmapFontLabel() = default;

// ---- properties --------------------------------------------------------------------------

void BitmapFontLabel::setText(const QString &text) {
    m_text = text;
    m_tick.scrollPos = 1;
    m_tick.blinkPhase = 2;
    m_shown = text;
    setAccessibleName(text);
    update();
}

void BitmapFontLabel::setFontBitmap(const QImage &bitmap) {
    m_font = bitmap.isNull() ? QImage() : bitmap.convertToFormat(QImage::Format_RGB32);
    if (!m_font.isNull())
        m_color = QColor::fromRgb(m_font.pixel(0, 0));
    update();
}

void BitmapFontLabel::setFontChars(const QString &chars) {
    if (chars == m_fontChars)
        return;
    m_fontChars = chars;
    update();
}

void BitmapFontLabel::setCharWidth(int width) {
    // A skin's width beyond any screen would overflow the cell arithmetic.
    width = std::min(width, kMaxSkinPixels);
    if (width < 1 || width == m_charWidth)
        return;
    m_charWidth = width;
    update();
}

void BitmapFontLabel::setFillChar(QChar c) {
    if (c == m_fillChar)
        return;
    m_fillChar = c;
    update();
}

void BitmapFontLabel::setUpperCase(bool on) {
    if (on == m_upperCase)
        return;
    m_upperCase = on;
    update();
}

void BitmapFontLabel::StopTimer() {
    m_timer.stop();
}

void BitmapFontLabel::RestartTimer() {
    m_timer.stop();
    if (!m_banner && !m_blink)
        return;
    // Like the platform's window timers: faster than 10 ms is 10 ms, and a negative period
    // (an unsigned giant there) never comes round. A 0 ms timer would spin the event loop.
    if (m_bannerSpeed < 0)
        return;
    m_timer.start(std::max(m_bannerSpeed, 10), this);
}

void BitmapFontLabel::setBanner(bool on) {
    m_tick.scrollPos = 1;
    if (on != m_banner) {
        StopTimer();
        m_banner = on;
        setBannerSpeed(m_bannerSpeed);
    }
    m_shown = m_text;
    update();
}

void BitmapFontLabel::setBannerSpeed(int ms) {
    m_bannerSpeed = ms;
    if (m_banner || m_blink)
        RestartTimer();
}

void BitmapFontLabel::setBlink(bool on) {
    m_tick.blinkPhase = 2;
    if (on != m_blink) {
        StopTimer();
        m_blink = on;
        setBannerSpeed(m_bannerSpeed);
    }
    update();
}

void BitmapFontLabel::setAlignment(TAlignment alignment) {
    if (alignment == m_alignment)
        return;
    m_alignment = alignment;
    update();
}

void BitmapFontLabel::setColor(const QColor &color) {
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void BitmapFontLabel::setBorderStyle(TBorderStyle style) {
    m_borderStyle = style;
    update();
}
void BitmapFontLabel::setBevelOuter(TBevelCut cut) {
    m_bevelOuter = cut;
    update();
}
void BitmapFontLabel::setBevelInner(TBevelCut cut) {
    m_bevelInner = cut;
    update();
}
void BitmapFontLabel::setBevelWidth(int width) {
    m_bevelWidth = std::clamp(width, 1, kMaxSkinPixels);
    update();
}
void BitmapFontLabel::setBorderWidth(int width) {
    m_borderWidth = std::clamp(width, 0, kMaxSkinPixels);
    update();
}

// ---- geometry ----------------------------------------------------------------------------

// The client area: the widget less the single border line.
QRect BitmapFontLabel::ClientArea() const {
    const int b = m_borderStyle == bsSingle ? 1 : 0;
    return rect().adjusted(b, b, -b, -b);
}

// The client area less outer bevel, border frame, inner bevel and the border width once more.
QRect BitmapFontLabel::TextArea() const {
    int inset = 2 * m_borderWidth;
    if (m_bevelOuter != bvNone)
        inset += m_bevelWidth;
    if (m_bevelInner != bvNone)
        inset += m_bevelWidth;
    return ClientArea().adjusted(inset, inset, -inset, -inset);
}

void BitmapFontLabel::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    m_visibleCount =
        mirvane::BannerVisibleCount(ClientArea().width() - 2 * m_borderWidth, m_charWidth);
}

// ---- painting ----------------------------------------------------------------------------

static void DrawBevel(QPainter &p, QRect r, BitmapFontLabel::TBevelCut cut, int width) {
    const QColor light(255, 255, 255), shadow(128, 128, 128);
    const QColor topLeft = cut == BitmapFontLabel::bvRaised ? light : shadow;
    const QColor bottomRight = cut == BitmapFontLabel::bvRaised ? shadow : light;
    for (int i = 0; i < width; ++i, r.adjust(1, 1, -1, -1)) {
        p.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
        p.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
        p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
        p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
    }
}

void BitmapFontLabel::paintEvent(QPaintEvent *) {
    QPainter p(this);
    if (m_borderStyle == bsSingle) {
        p.setPen(Qt::black);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    QRect frame = ClientArea();
    if (m_bevelOuter != bvNone) {
        DrawBevel(p, frame, m_bevelOuter, m_bevelWidth);
        frame.adjust(m_bevelWidth, m_bevelWidth, -m_bevelWidth, -m_bevelWidth);
    }
    // The border frame and the text area's background, then the inner bevel on top.
    p.fillRect(frame, m_color);
    frame.adjust(m_borderWidth, m_borderWidth, -m_borderWidth, -m_borderWidth);
    if (m_bevelInner != bvNone)
        DrawBevel(p, frame, m_bevelInner, m_bevelWidth);

    if (m_visibleCount == 0)
        m_visibleCount =
            mirvane::BannerVisibleCount(ClientArea().width() - 2 * m_borderWidth, m_charWidth);
    if (m_font.isNull() || m_fontChars.isEmpty() || m_charWidth < 1)
        return;

    const QRect area = TextArea();
    const int w = area.width() + 1;
    const int h = area.height() + 1;
    QString s = m_shown.left(std::max(m_visibleCount, 0));
    if (m_upperCase)
        s = mirvane::Cp1252Upper(s);
    const auto align = m_alignment == taLeftJustify    ? mirvane::BannerAlign::Left
                       : m_alignment == taRightJustify ? mirvane::BannerAlign::Right
                                                       : mirvane::BannerAlign::Centre;
    s = mirvane::BannerFill(s, m_visibleCount, m_fillChar, align);
    // 64-bit: a long shown string times a wide cell can pass the int range.
    const qint64 x0 = area.left() + (w - qint64(s.size()) * m_charWidth) / 2;
    const int y0 = area.top() + (h - m_font.height()) / 2 - 1;

    // Everything outside the glyph cells already shows Color (filled above), which is what the
    // side columns must show.
    p.setCompositionMode(QPainter::CompositionMode_Source);
    qint64 x = x0;
    for (QChar c : s) {
        const int g = mirvane::BannerGlyphCell(c, m_fontChars, m_fillChar);
        if (g < 0)
            continue;
        const qint64 cell = qint64(g) * m_charWidth;
        // Cells past the bitmap or the area draw nothing but still take their place.
        if (cell < m_font.width() && x < area.right() + 1 && x + m_charWidth > area.left())
            p.drawImage(QPoint(int(x), y0), m_font,
                        QRect(int(cell), 0, m_charWidth, m_font.height()));
        x += m_charWidth;
    }
}

// ---- timer -------------------------------------------------------------------------------

void BitmapFontLabel::timerEvent(QTimerEvent *event) {
    if (event->timerId() == m_timer.timerId())
        Tick();
    else
        QWidget::timerEvent(event);
}

void BitmapFontLabel::Tick() {
    if (m_visibleCount == 0) {
        int bevels = 0;
        if (m_bevelOuter != bvNone)
            bevels += 2 * m_bevelWidth;
        if (m_bevelInner != bvNone)
            bevels += 2 * m_bevelWidth;
        m_visibleCount = mirvane::BannerVisibleCount(
            ClientArea().width() - 2 * m_borderWidth - bevels, m_charWidth);
    }
    if (m_text.isEmpty() || m_visibleCount <= 0)
        return;
    const QString frame =
        mirvane::BannerTickFrame(m_text, m_visibleCount, m_banner, m_blink, m_fillChar, m_tick);
    if (frame != m_shown) {
        m_shown = frame;
        update();
    }
}

void BitmapFontLabel::mousePressEvent(QMouseEvent *event) {
    m_clickPressed = event->button() == Qt::LeftButton;
    QWidget::mousePressEvent(event);
}

void BitmapFontLabel::mouseReleaseEvent(QMouseEvent *event) {
    const bool click = m_clickPressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_clickPressed = false;
    QWidget::mouseReleaseEvent(event);
    if (click)
        emit OnClick(this);
}
