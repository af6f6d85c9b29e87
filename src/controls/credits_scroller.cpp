#include "controls/credits_scroller.h"

#include <QFontMetrics>
#include <QPainter>
#include <QResizeEvent>

CreditsScroller::CreditsScroller(QWidget *parent) : QWidget(parent), font_("Courier New", 10) {
    // The whole surface is drawn at every step from one off-screen picture: no flicker, and
    // the parent need not draw a background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(200, 100);
    FollowSize();
    timer_.setInterval(75);
    connect(&timer_, &QTimer::timeout, this, &CreditsScroller::Step);
    timer_.start();
}

mirvane::credits::LineStyle CreditsScroller::Defaults() const {
    mirvane::credits::LineStyle style;
    style.face = font_.family();
    style.pointSize = font_.pointSize() > 0 ? font_.pointSize() : 10;
    style.color = fontColor_;
    style.bold = font_.bold();
    style.italic = font_.italic();
    style.underline = font_.underline();
    return style;
}

QFont CreditsScroller::FontOf(const mirvane::credits::LineStyle &style) const {
    QFont f(style.face, style.pointSize);
    f.setBold(style.bold);
    f.setItalic(style.italic);
    f.setUnderline(style.underline);
    return f;
}

void CreditsScroller::setScrollText(const QStringList &lines) {
    text_ = lines;
    Layout();
}

void CreditsScroller::setDefaultFont(const QFont &font) {
    font_ = font;
    Layout();
}

void CreditsScroller::setDefaultFontColor(const QColor &c) {
    fontColor_ = c;
    Layout();
}

void CreditsScroller::Layout() {
    lines_ = mirvane::credits::ParseLines(text_, Defaults());
    heights_.clear();
    total_ = 0;
    for (const auto &line : lines_) {
        const QFontMetrics fm(FontOf(line.style));
        // An empty line still takes the height of a "W" in its font.
        const int h =
            fm.boundingRect(line.text.isEmpty() ? QStringLiteral("W") : line.text).height();
        heights_.push_back(h);
        total_ += h;
    }
}

void CreditsScroller::FollowSize() const {
    if (laidOut_ != size()) {
        laidOut_ = size();
        y0_ = height() + 1;
    }
}

void CreditsScroller::Step() {
    FollowSize();
    if (finished_) {
        return;
    }
    --y0_;
    if (!lines_.empty() && y0_ + total_ + heights_.back() < 0) {
        if (loop_) {
            y0_ = height() + 1;
        } else {
            finished_ = true;
            timer_.stop();
        }
    }
    update();
}

void CreditsScroller::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    FollowSize();
}

void CreditsScroller::paintEvent(QPaintEvent *) {
    FollowSize();
    QPixmap frame(size());
    frame.fill(back_);
    {
        QPainter p(&frame);
        if (finished_) {
            QFont f = font_;
            f.setPointSize(20);
            f.setBold(true);
            p.setFont(f);
            p.setPen(fontColor_);
            const QFontMetrics fm(f);
            const QRect r = fm.boundingRect(complete_);
            const int x = (width() - fm.horizontalAdvance(complete_)) / 2;
            const int y = (height() - r.height()) / 2;
            p.drawText(x, y + fm.ascent(), complete_);
        } else {
            int h = 0;
            for (size_t i = 0; i < lines_.size(); ++i) {
                const auto &line = lines_[i];
                const int y = y0_ + h;
                h += heights_[i];
                if (y > height() || y + heights_[i] < 0 || line.text.isEmpty()) {
                    continue;
                }
                const QFont f = FontOf(line.style);
                p.setFont(f);
                const QFontMetrics fm(f);
                const int x =
                    line.style.center ? (width() - fm.horizontalAdvance(line.text)) / 2 : 1;
                if (shadow_) {
                    p.setPen(shadowColor_);
                    p.drawText(x + shadowOffset_, y + shadowOffset_ + fm.ascent(), line.text);
                }
                p.setPen(line.style.color);
                p.drawText(x, y + fm.ascent(), line.text);
            }
        }
    }
    QPainter(this).drawPixmap(0, 0, frame);
}
