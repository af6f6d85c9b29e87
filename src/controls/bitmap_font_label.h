#pragma once
// BitmapFontLabel: one line of text drawn in a bitmap font (a strip of fixed-width glyph
// cells), optionally scrolling through its width one character per tick like a LED marquee.
//
// Usage (player window's song title):
//   STitle = new BitmapFontLabel(this);
//   STitle->setObjectName("STitle");
//   STitle->setGeometry(32, 8, 176, 20);
//   STitle->setBorderStyle(BitmapFontLabel::bsNone);
//   STitle->setCharWidth(mirvane::PlayerFontCharWidth);          // 16
//   STitle->setFontChars(mirvane::PlayerFontChars());
//   STitle->setFontBitmap(mirvane::PlayerFontBitmap());          // Color becomes black
//   STitle->setText("Mirvane Player ");
//   STitle->setBanner(true);                                     // scrolls every BannerSpeed ms
//
// Font bitmap: one row of cells as high as the bitmap; the k-th character of FontChars (from
// 0) has columns k * CharWidth .. k * CharWidth + CharWidth - 1. Characters without a cell
// are drawn with FillChar's cell, or take no cell when that is missing too. Glyphs are copied
// opaque, unscaled and unsmoothed (a 2 x 2 block per pixel at a device pixel ratio of 2).
// The label repaints on a tick only when the shown frame changed. GUI thread only; text
// from other threads must be handed over with a queued call first.

#include "controls/banner_text.h"

#include <QBasicTimer>
#include <QColor>
#include <QImage>
#include <QWidget>

class BitmapFontLabel : public QWidget {
    Q_OBJECT
  public:
    enum TAlignment { taLeftJustify, taRightJustify, taCenter };
    Q_ENUM(TAlignment)
    enum TBevelCut { bvNone, bvLowered, bvRaised };
    Q_ENUM(TBevelCut)
    enum TBorderStyle { bsNone, bsSingle };
    Q_ENUM(TBorderStyle)

    Q_PROPERTY(QString Text READ Text WRITE setText)
    Q_PROPERTY(QImage FontBitmap READ FontBitmap WRITE setFontBitmap)
    Q_PROPERTY(QString FontChars READ FontChars WRITE setFontChars)
    Q_PROPERTY(int CharWidth READ CharWidth WRITE setCharWidth)
    Q_PROPERTY(QChar FillChar READ FillChar WRITE setFillChar)
    Q_PROPERTY(bool UpperCase READ UpperCase WRITE setUpperCase)
    Q_PROPERTY(bool Banner READ Banner WRITE setBanner)
    Q_PROPERTY(int BannerSpeed READ BannerSpeed WRITE setBannerSpeed)
    Q_PROPERTY(bool Blink READ Blink WRITE setBlink)
    Q_PROPERTY(TAlignment Alignment READ Alignment WRITE setAlignment)
    Q_PROPERTY(QColor Color READ Color WRITE setColor)
    Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE setBorderStyle)
    Q_PROPERTY(TBevelCut BevelOuter READ BevelOuter WRITE setBevelOuter)
    Q_PROPERTY(TBevelCut BevelInner READ BevelInner WRITE setBevelInner)
    Q_PROPERTY(int BevelWidth READ BevelWidth WRITE setBevelWidth)
    Q_PROPERTY(int BorderWidth READ BorderWidth WRITE setBorderWidth)
    Q_PROPERTY(int VisibleCount READ VisibleCount)

    // "Hi there!", no font, the default FontChars (codes 32-95, ÿ, a-z, ú û ü), CharWidth 32,
    // space fill, upper case, no scrolling or blinking, BannerSpeed 300, centred, the toolkit's
    // window colour, a single border, no bevels; 185 x 41.
    explicit BitmapFontLabel(QWidget *parent = nullptr);
    ~BitmapFontLabel() override;

    QString Text() const { return m_text; }
    // Restarts scrolling at the first character and the blink cycle; repaints.
    void setText(const QString &text);
    QImage FontBitmap() const { return m_font; }
    // Copies the bitmap; a non-empty one gives the label the colour of its top-left pixel.
    void setFontBitmap(const QImage &bitmap);
    QString FontChars() const { return m_fontChars; }
    void setFontChars(const QString &chars);
    int CharWidth() const { return m_charWidth; }
    // Values below 1 are refused; values above kMaxSkinPixels become it. The visible count stays
    // as it was until the next resize.
    void setCharWidth(int width);
    // Largest width a skin may give a cell, border or bevel: more than any screen shows.
    static constexpr int kMaxSkinPixels = 16384;
    QChar FillChar() const { return m_fillChar; }
    void setFillChar(QChar c); // code 0: no filling
    bool UpperCase() const { return m_upperCase; }
    void setUpperCase(bool on);
    bool Banner() const { return m_banner; }
    // Also when unchanged: scrolling restarts at the first character (without restarting the
    // timer) and the whole text is shown until the next tick.
    void setBanner(bool on);
    int BannerSpeed() const { return m_bannerSpeed; }
    // Any value is stored; the timer runs at 10 ms at the fastest, and a negative period
    // never ticks (the platform timer's limits).
    void setBannerSpeed(int ms);
    bool Blink() const { return m_blink; }
    void setBlink(bool on);
    TAlignment Alignment() const { return m_alignment; }
    void setAlignment(TAlignment alignment);
    QColor Color() const { return m_color; }
    void setColor(const QColor &color);

    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(TBorderStyle style);
    TBevelCut BevelOuter() const { return m_bevelOuter; }
    void setBevelOuter(TBevelCut cut);
    TBevelCut BevelInner() const { return m_bevelInner; }
    void setBevelInner(TBevelCut cut);
    int BevelWidth() const { return m_bevelWidth; }
    void setBevelWidth(int width);
    int BorderWidth() const { return m_borderWidth; }
    void setBorderWidth(int width);

    // Inspection.
    int VisibleCount() const { return m_visibleCount; }
    QString ShownString() const { return m_shown; }
    int ScrollPosition() const { return m_tick.scrollPos; }
    int BlinkPhase() const { return m_tick.blinkPhase; }
    bool TimerRunning() const { return m_timer.isActive(); }
    QRect TextArea() const;
    // What one timer tick does (the timer calls it every BannerSpeed ms while Banner or Blink
    // is on; tests call it directly).
    Q_INVOKABLE void Tick();

  signals:
    void OnClick(QObject *sender);

  protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

  private:
    QRect ClientArea() const;
    void StopTimer();
    void RestartTimer();

    QString m_text;
    QImage m_font; // opaque RGB32 copy of the assigned bitmap
    QString m_fontChars;
    int m_charWidth = 32;
    QChar m_fillChar = QLatin1Char(' ');
    bool m_upperCase = true;
    bool m_banner = false;
    int m_bannerSpeed = 300;
    bool m_blink = false;
    TAlignment m_alignment = taCenter;
    QColor m_color;
    TBorderStyle m_borderStyle = bsSingle;
    TBevelCut m_bevelOuter = bvNone;
    TBevelCut m_bevelInner = bvNone;
    int m_bevelWidth = 1;
    int m_borderWidth = 0;

    int m_visibleCount = 0; // cells that fit; 0 until first computed
    QString m_shown;        // what painting draws
    mirvane::BannerTickState m_tick;
    QBasicTimer m_timer;
    bool m_clickPressed = false;
};
