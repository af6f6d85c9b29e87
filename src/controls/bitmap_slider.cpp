#include "controls/bitmap_slider.h"

#include "controls/control_art.h"

#include <QKeyEvent>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>
#include <cstdint>

using mirvane::PageSide;

// ---- BitmapSliderThumb ------------------------------------------------------------------------

BitmapSliderThumb::BitmapSliderThumb(BitmapSlider *slider) : QWidget(slider), m_slider(slider) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(mirvane::HandCursor());
}

void BitmapSliderThumb::SetImage(const QImage &image) {
    m_image = image;
    m_keyed = mirvane::KeyTransparent(image, KeyColor);
    Resize();
    update();
}

void BitmapSliderThumb::SetNumStates(int states) {
    if (states == m_states || states < 1 || states > 2)
        return;
    m_states = states;
    Resize();
    update();
}

void BitmapSliderThumb::SetPressedState(bool pressed) {
    if (pressed == m_pressedState)
        return;
    m_pressedState = pressed;
    update();
}

void BitmapSliderThumb::SetColor(const QColor &color) {
    m_color = color;
    update();
}

void BitmapSliderThumb::Resize() {
    resize(m_image.width() / m_states, m_image.height());
}

void BitmapSliderThumb::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.fillRect(rect(), m_color);
    const int half = m_image.width() / 2;
    if (m_states == 2 && m_pressedState)
        p.drawImage(QPoint(0, 0), m_keyed,
                    QRect(half, 0, m_image.width() - half, m_image.height()));
    else if (m_states == 2)
        p.drawImage(QPoint(0, 0), m_keyed, QRect(0, 0, half, m_image.height()));
    else
        p.drawImage(QPoint(0, 0), m_keyed);
}

void BitmapSliderThumb::mousePressEvent(QMouseEvent *event) {
    m_slider->ThumbPressed(event);
}
void BitmapSliderThumb::mouseDoubleClickEvent(QMouseEvent *event) {
    m_slider->ThumbPressed(event);
}
void BitmapSliderThumb::mouseMoveEvent(QMouseEvent *event) {
    m_slider->ThumbDragged(event);
}
void BitmapSliderThumb::mouseReleaseEvent(QMouseEvent *event) {
    m_slider->ThumbReleased(event);
}

// ---- BitmapSlider -----------------------------------------------------------------------------

BitmapSlider::BitmapSlider(QWidget *parent) : QWidget(parent) {
    m_color = palette().color(QPalette::Window);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (ImageSlot slot : {HThumb, HRuler, VThumb, VRuler})
        LoadDefaultImage(slot);
    m_thumb = new BitmapSliderThumb(this);
    m_thumb->SetColor(m_color);
    m_thumb->SetImage(m_images[HThumb]);
    resize(140, 40);
    m_creating = false;
    Layout();
}

BitmapSlider::~BitmapSlider() = default;

void BitmapSlider::LoadDefaultImage(ImageSlot slot) {
    static const char *const names[] = {"W95_HTB", "W95_HRL", "W95_VTB", "W95_VRL"};
    m_images[slot] = mirvane::ControlArt(QString::fromLatin1(names[slot]));
}

mirvane::SliderAxis BitmapSlider::Axis() const {
    mirvane::SliderAxis a;
    a.vertical = Vertical();
    a.minValue = m_minValue;
    a.maxValue = m_maxValue;
    a.increment = m_increment;
    a.smooth = m_options.testFlag(soSmooth);
    a.clientLength = height();
    a.thumbLength = a.vertical ? m_thumb->height() : m_thumb->width();
    a.track = std::max(a.vertical ? height() : width(), 0) - a.thumbLength;
    return a;
}

void BitmapSlider::AssignImage(ImageSlot slot, const QImage &image) {
    if (image.isNull()) {
        LoadDefaultImage(slot);
        m_userImages &= ~(1u << slot);
    } else {
        m_images[slot] = image;
        m_userImages |= 1u << slot;
    }
    if ((slot == HThumb && !Vertical()) || (slot == VThumb && Vertical()))
        m_thumb->SetImage(m_images[slot]);
    if (!m_creating)
        Layout();
}

void BitmapSlider::Layout() {
    const bool v = Vertical();
    const QImage &ruler = m_images[v ? VRuler : HRuler];
    m_strip = mirvane::BuildRulerStrip(ruler, v ? height() : width(), m_edgeSize, v);
    m_stripKeyed = mirvane::KeyTransparent(m_strip);

    // Across the axis the thicker of thumb and strip sits at 0, the thinner is centred on it.
    const int stripAcross = v ? ruler.width() : ruler.height();
    const int thumbAcross = v ? m_thumb->width() : m_thumb->height();
    const int stripStart = stripAcross < thumbAcross ? (thumbAcross - stripAcross) / 2 : 0;
    const int thumbStart = stripAcross < thumbAcross ? 0 : (stripAcross - thumbAcross) / 2;
    m_stripPos = v ? QPoint(stripStart, 0) : QPoint(0, stripStart);
    if (v)
        m_thumb->move(thumbStart, m_thumb->y());
    else
        m_thumb->move(m_thumb->x(), thumbStart);
    m_tickOrigin = std::max(stripAcross, thumbAcross) + 1;

    setValue(m_value);
    update();
}

void BitmapSlider::MoveThumb(int position) {
    const mirvane::SliderAxis axis = Axis();
    const int p = mirvane::SliderThumbTarget(axis, position);
    if (axis.vertical)
        m_thumb->move(m_thumb->x(), p);
    else
        m_thumb->move(p, m_thumb->y());
    if (m_tracking) {
        const int value = mirvane::SliderValueAt(axis, p);
        if (value != m_value) {
            m_value = value;
            Change();
        }
    }
}

void BitmapSlider::setValue(int value) {
    value = std::max(std::min(value, m_maxValue), m_minValue);
    const int before = m_value;
    m_value = value;
    MoveThumb(mirvane::SliderPositionOf(Axis(), value));
    if (value != before)
        Change();
}

void BitmapSlider::Change() {
    emit OnChange(this);
}

void BitmapSlider::setEdgeSize(int value) {
    const int length = Vertical() ? m_images[VRuler].height() : m_images[HRuler].width();
    // A negative end piece would copy from outside the picture.
    if (value == m_edgeSize || value < 0 || 2 * std::int64_t(value) >= length)
        return;
    m_edgeSize = value;
    Layout();
}

void BitmapSlider::setNumThumbStates(int value) {
    m_thumb->SetNumStates(value);
}

void BitmapSlider::setOrientation(SliderOrientation value) {
    if (value == m_orientation)
        return;
    m_orientation = value;
    m_thumb->SetImage(m_images[Vertical() ? VThumb : HThumb]);
    Layout();
}

void BitmapSlider::setOptions(SliderOptions value) {
    if (value == m_options)
        return;
    m_options = value;
    update();
}

void BitmapSlider::setIncrement(int value) {
    if (value < 1 || value == m_increment)
        return;
    m_increment = value;
    setValue(m_value);
    update();
}

void BitmapSlider::setMinValue(int value) {
    if (value == m_minValue || std::int64_t(value) > std::int64_t(m_maxValue) - m_increment)
        return;
    m_minValue = value;
    if (m_options.testFlag(soShowPoints))
        update();
}

void BitmapSlider::setMaxValue(int value) {
    if (value == m_maxValue || std::int64_t(value) < std::int64_t(m_minValue) + m_increment)
        return;
    m_maxValue = value;
    if (m_options.testFlag(soShowPoints))
        update();
}

void BitmapSlider::setColor(const QColor &color) {
    m_color = color;
    m_thumb->SetColor(color);
    update();
}

void BitmapSlider::setTabStop(bool on) {
    setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
}

void BitmapSlider::StepToMinimum() {
    setValue(m_minValue);
}
void BitmapSlider::StepToMaximum() {
    setValue(m_maxValue);
}
void BitmapSlider::StepUp() {
    setValue(mirvane::SliderStepUp(m_value, m_increment));
}
void BitmapSlider::StepDown() {
    setValue(mirvane::SliderStepDown(m_value, m_increment));
}

// ---- painting ----------------------------------------------------------------------------

void BitmapSlider::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.fillRect(rect(), m_color);
    if (!m_stripKeyed.isNull())
        p.drawImage(m_stripPos, m_stripKeyed);
    if (m_options.testFlag(soShowFocus) && m_focused) {
        // A dotted rectangle 2 pixels inside the edges, in the colour opposite the background.
        const QColor dot = QColor::fromRgb(~m_color.rgb() | 0xFF000000);
        const QRect r(2, 2, width() - 4, height() - 4);
        for (int x = r.left(); x <= r.right(); x += 2) {
            p.fillRect(x, r.top(), 1, 1, dot);
            p.fillRect(x, r.bottom(), 1, 1, dot);
        }
        for (int y = r.top(); y <= r.bottom(); y += 2) {
            p.fillRect(r.left(), y, 1, 1, dot);
            p.fillRect(r.right(), y, 1, 1, dot);
        }
    }
    if (m_options.testFlag(soShowPoints)) {
        m_canvas = &p;
        if (isSignalConnected(QMetaMethod::fromSignal(&BitmapSlider::OnDrawPoints)))
            emit OnDrawPoints(this);
        else
            PaintDefaultPoints(m_increment, 3, 4);
        m_canvas = nullptr;
    }
}

void BitmapSlider::PaintDefaultPoints(int step, int height, int endHeight) {
    if (!m_canvas)
        return;
    for (const mirvane::SliderTick &tick :
         mirvane::SliderDefaultTicks(Axis(), step, height, endHeight)) {
        if (Vertical())
            m_canvas->fillRect(QRect(m_tickOrigin, tick.centre, tick.length, 1), Qt::black);
        else
            m_canvas->fillRect(QRect(tick.centre, m_tickOrigin, 1, tick.length), Qt::black);
    }
}

void BitmapSlider::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    if (!m_creating)
        Layout();
}

// ---- focus and keyboard ------------------------------------------------------------------

void BitmapSlider::FocusChanged(bool focused) {
    if (focused == m_focused)
        return;
    m_focused = focused;
    if (m_options.testFlag(soShowFocus))
        update();
}

void BitmapSlider::focusInEvent(QFocusEvent *event) {
    QWidget::focusInEvent(event);
    FocusChanged(true);
}

void BitmapSlider::focusOutEvent(QFocusEvent *event) {
    QWidget::focusOutEvent(event);
    FocusChanged(false);
}

// The step a key takes on this slider, or nullptr when the key is not ours.
static void (BitmapSlider::*KeyStep(const BitmapSlider &slider, const QKeyEvent &event))() {
    if ((event.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return nullptr;
    const bool vertical = slider.Orientation() == BitmapSlider::soVertical;
    switch (event.key()) {
    case Qt::Key_Home:
        return &BitmapSlider::StepToMinimum;
    case Qt::Key_End:
        return &BitmapSlider::StepToMaximum;
    case Qt::Key_Left:
        return vertical ? nullptr : &BitmapSlider::StepDown;
    case Qt::Key_Right:
        return vertical ? nullptr : &BitmapSlider::StepUp;
    case Qt::Key_Up:
        return vertical ? &BitmapSlider::StepUp : nullptr;
    case Qt::Key_Down:
        return vertical ? &BitmapSlider::StepDown : nullptr;
    default:
        return nullptr;
    }
}

void BitmapSlider::keyPressEvent(QKeyEvent *event) {
    if (auto step = KeyStep(*this, *event)) {
        (this->*step)();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool BitmapSlider::event(QEvent *event) {
    // Claim our keys before window shortcuts or dialog navigation can take them.
    if (event->type() == QEvent::ShortcutOverride &&
        KeyStep(*this, *static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

// ---- paging ------------------------------------------------------------------------------

void BitmapSlider::mousePressEvent(QMouseEvent *event) {
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    event->accept();
    setFocus(Qt::MouseFocusReason);
    m_pressed = true;
    m_pagePos = event->position().toPoint();
    m_pageSide = mirvane::SliderPageSide(Vertical(), m_pagePos, m_thumb->geometry());
    PageTick();
}

// The second press of a double click pages like any press.
void BitmapSlider::mouseDoubleClickEvent(QMouseEvent *event) {
    mousePressEvent(event);
}

void BitmapSlider::mouseMoveEvent(QMouseEvent *event) {
    QWidget::mouseMoveEvent(event);
    if (m_pressed)
        m_pagePos = event->position().toPoint();
}

void BitmapSlider::mouseReleaseEvent(QMouseEvent *event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_repeat.stop();
    m_pressed = false;
}

void BitmapSlider::PageTick() {
    // The timer keeps running when the thumb has passed the pointer, so stepping resumes if
    // the pointer goes back to the pressed side.
    if (mirvane::SliderPageSide(Vertical(), m_pagePos, m_thumb->geometry()) == m_pageSide) {
        if (m_pageSide == PageSide::Down)
            StepDown();
        else if (m_pageSide == PageSide::Up)
            StepUp();
    }
    if (!m_repeat.isActive())
        m_repeat.start(RepeatInterval, this);
}

void BitmapSlider::timerEvent(QTimerEvent *event) {
    if (event->timerId() == m_repeat.timerId() && m_pressed)
        PageTick();
    else
        QWidget::timerEvent(event);
}

// ---- thumb dragging ----------------------------------------------------------------------

void BitmapSlider::ThumbPressed(QMouseEvent *event) {
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint local = event->position().toPoint();
    m_dragOffset = Vertical() ? local.y() : local.x();
    m_tracking = true;
    m_thumb->SetPressedState(true);
    emit OnStartTracking(this);
}

void BitmapSlider::ThumbDragged(QMouseEvent *event) {
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint at = m_thumb->mapToParent(event->position().toPoint());
    MoveThumb((Vertical() ? at.y() : at.x()) - m_dragOffset);
}

void BitmapSlider::ThumbReleased(QMouseEvent *) {
    m_tracking = false;
    m_thumb->SetPressedState(false);
    emit OnStopTracking(this);
}
