#pragma once
// CreditsScroller, the About page's credits: text lines with the markup of credits_markup.h
// that move up one pixel per step, like the closing titles of a film. When the last line has
// left the top by one more line height the text starts again from below (Loop) or stops and
// shows CompleteText in the middle, bold 20 point.
//
// The position y0 is the top of the first line; a new or resized control starts at its
// height + 1, just below its bottom edge. A resize does not restart a stopped control. The
// timer runs from creation, also while the control is hidden. GUI thread only.

#include <QColor>
#include <QFont>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <vector>

#include "controls/credits_markup.h"

class CreditsScroller : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QStringList ScrollText READ ScrollText WRITE setScrollText)
    Q_PROPERTY(QColor BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(QFont DefaultFont READ DefaultFont WRITE setDefaultFont)
    Q_PROPERTY(QColor DefaultFontColor READ DefaultFontColor WRITE setDefaultFontColor)
    Q_PROPERTY(bool Loop READ Loop WRITE setLoop)
    Q_PROPERTY(QString CompleteText READ CompleteText WRITE setCompleteText)
    Q_PROPERTY(int TimerInterval READ TimerInterval WRITE setTimerInterval)
    Q_PROPERTY(bool Shadow READ Shadow WRITE setShadow)
    Q_PROPERTY(QColor ShadowColor READ ShadowColor WRITE setShadowColor)
    Q_PROPERTY(int ShadowOffset READ ShadowOffset WRITE setShadowOffset)
    Q_PROPERTY(int Position READ Position)
    Q_PROPERTY(bool Finished READ Finished)
  public:
    explicit CreditsScroller(QWidget *parent = nullptr); // 200 x 100, Courier New 10 white

    QStringList ScrollText() const { return text_; }
    void setScrollText(const QStringList &lines);
    QColor BackColor() const { return back_; }
    void setBackColor(const QColor &c) { back_ = c; } // no repaint by itself
    QFont DefaultFont() const { return font_; }
    void setDefaultFont(const QFont &font);
    QColor DefaultFontColor() const { return fontColor_; }
    void setDefaultFontColor(const QColor &c);
    bool Loop() const { return loop_; }
    void setLoop(bool on) { loop_ = on; }
    QString CompleteText() const { return complete_; }
    void setCompleteText(const QString &text) { complete_ = text; }
    int TimerInterval() const { return timer_.interval(); }
    void setTimerInterval(int ms) { timer_.setInterval(ms); } // ms per one-pixel step
    bool Shadow() const { return shadow_; }
    void setShadow(bool on) { shadow_ = on; }
    QColor ShadowColor() const { return shadowColor_; }
    void setShadowColor(const QColor &c) { shadowColor_ = c; }
    int ShadowOffset() const { return shadowOffset_; }
    void setShadowOffset(int px) { shadowOffset_ = px; }

    int Position() const {
        FollowSize();
        return y0_;
    }
    bool Finished() const { return finished_; }
    bool TimerRunning() const { return timer_.isActive(); }
    // The lines as read from the markup, with the pixel height each takes.
    const std::vector<mirvane::credits::Line> &Lines() const { return lines_; }
    int LineHeight(int index) const { return heights_.at(static_cast<size_t>(index)); }
    int TextHeight() const { return total_; }

    // One step: up by one pixel; at the end of the text start again (Loop) or stop.
    Q_INVOKABLE void Step();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

  private:
    void Layout();
    // A size change restarts from below; a hidden widget gets no resize event, so every step
    // and paint checks the size too.
    void FollowSize() const;
    QFont FontOf(const mirvane::credits::LineStyle &style) const;
    mirvane::credits::LineStyle Defaults() const;

    QStringList text_;
    QColor back_ = Qt::black;
    QFont font_;
    QColor fontColor_ = Qt::white;
    bool loop_ = false;
    QString complete_ = "The End";
    bool shadow_ = true;
    QColor shadowColor_ = QColor(128, 128, 128);
    int shadowOffset_ = 2;
    QTimer timer_;
    mutable int y0_ = 101;
    mutable QSize laidOut_;
    bool finished_ = false;
    std::vector<mirvane::credits::Line> lines_;
    std::vector<int> heights_;
    int total_ = 0;
};
