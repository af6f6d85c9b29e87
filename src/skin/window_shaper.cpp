#include "skin/window_shaper.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>
#include <vector>

namespace mirvane {

QRegion RegionFromMask(const QImage &mask) {
    if (mask.isNull() || mask.width() == 0 || mask.height() == 0)
        return {};
    const QImage img = mask.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = reinterpret_cast<const QRgb *>(img.constScanLine(0))[0];
    const int w = img.width();

    // Runs of a row as [start, end) pairs; a band is consecutive rows with identical runs, so
    // the rectangles come out in the banded y-x order QRegion::setRects expects.
    std::vector<QRect> rects;
    std::vector<int> band, row;
    int bandTop = 0;
    auto flush = [&](int bandBottom) {
        for (size_t i = 0; i < band.size(); i += 2)
            rects.emplace_back(band[i], bandTop, band[i + 1] - band[i], bandBottom - bandTop);
    };
    for (int y = 0; y < img.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        row.clear();
        int x = 0;
        while (x < w) {
            while (x < w && line[x] == key)
                ++x;
            if (x == w)
                break;
            const int start = x;
            while (x < w && line[x] != key)
                ++x;
            row.push_back(start);
            row.push_back(x);
        }
        if (row != band) {
            flush(y);
            band.swap(row);
            bandTop = y;
        }
    }
    flush(img.height());
    QRegion region;
    if (!rects.empty())
        region.setRects(rects.data(), int(rects.size()));
    return region;
}

QPoint DraggedWindowPosition(QPoint start, QPointF pressGlobal, QPointF nowGlobal) {
    return start + (nowGlobal - pressGlobal).toPoint();
}

namespace {

// Follows the pointer for one manual move; watches the whole application because the mouse
// events go to whichever child took the press. Deletes itself at the release.
class PointerFollower : public QObject {
  public:
    PointerFollower(QWidget *window, QPointF pressGlobal)
        : QObject(window), window_(window), start_(window->pos()), press_(pressGlobal) {
        qApp->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::MouseMove) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->buttons() & Qt::LeftButton)
                window_->move(DraggedWindowPosition(start_, press_, mouse->globalPosition()));
        } else if (event->type() == QEvent::MouseButtonRelease &&
                   static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            qApp->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }

  private:
    QWidget *window_; // our parent, so it outlives us
    QPoint start_;
    QPointF press_;
};

bool PlatformPlacesWindows() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

WindowMove StartWindowMove(QWidget *window, QPointF globalPress) {
    if (!window || !window->isVisible() || !window->windowHandle())
        return WindowMove::None;
    window = window->window();
    if (window->windowHandle()->startSystemMove())
        return WindowMove::System;
    if (PlatformPlacesWindows())
        return WindowMove::None;
    // A press whose release never comes would leave a follower behind; one at a time.
    for (QObject *child : window->children())
        if (auto *old = dynamic_cast<PointerFollower *>(child)) {
            qApp->removeEventFilter(old);
            old->deleteLater();
        }
    new PointerFollower(window, globalPress);
    return WindowMove::Manual;
}

} // namespace mirvane

WindowShaper::WindowShaper(QWidget *form) : QObject(form), m_form(form) {}

WindowShaper::~WindowShaper() {
    // A window deleting its children has already taken this shaper out of its child list;
    // then the window is on its way out and must not be reshaped or re-framed.
    if (!m_form || !m_form->children().contains(this))
        return;
    SetFrameless(false);
    m_form->clearMask();
}

void WindowShaper::SetFrameless(bool frameless) {
    if (!m_form || m_form->windowFlags().testFlag(Qt::FramelessWindowHint) == frameless)
        return;
    // Changing window flags hides a shown window; show it again where it was.
    const bool visible = m_form->isVisible();
    m_form->setWindowFlag(Qt::FramelessWindowHint, frameless);
    if (visible)
        m_form->show();
}

void WindowShaper::ApplyRegion() {
    if (!m_form)
        return;
    const QRegion region = mirvane::RegionFromMask(m_mask);
    if (region.isEmpty())
        m_form->clearMask();
    else
        m_form->setMask(region);
    m_form->update();
}

void WindowShaper::setMask(const QImage &mask) {
    m_mask = mask;
    if (m_active)
        ApplyRegion();
    else if (m_form)
        m_form->clearMask();
}

void WindowShaper::setActive(bool on) {
    m_active = on;
    if (!m_form)
        return;
    if (on) {
        SetFrameless(true);
        ApplyRegion();
        if (m_autoSize && !m_mask.isNull())
            m_form->resize(m_mask.size());
    } else {
        SetFrameless(false);
        m_form->clearMask();
    }
}

void WindowShaper::setAutoSize(bool on) {
    m_autoSize = on;
    if (on && m_active && m_form && !m_mask.isNull())
        m_form->resize(m_mask.size());
}
