#pragma once
// BitmapSlider: an integer Value between MinValue and MaxValue, drawn as a bitmap ruler with a
// bitmap thumb (the child BitmapSliderThumb) on it, horizontal or vertical. The host window sets
// properties and handles the signals; everything else is the slider's own.
//
// Usage (player window):
//   SliderPos = new BitmapSlider(this);
//   SliderPos->setObjectName("SliderPos");
//   SliderPos->setGeometry(32, 56, 176, 12);
//   SliderPos->setIncrement(1); SliderPos->setOptions({}); SliderPos->setEdgeSize(0);
//   SliderPos->setColor(Qt::black); SliderPos->setTabStop(false);
//   connect(SliderPos, &BitmapSlider::OnChange, this, &PlayerWindow::SliderPosChange);
//   SliderPos->setValue(42);           // clamped; fires OnChange only when it changes
// Skin loading puts files straight into the picture objects, then switches the orientation
// there and back, which takes the new thumb and rebuilds the ruler without touching Value:
//   SliderPos->ImageHRulerRef().load(dir + "posback.bmp");
//   SliderPos->ImageHThumbRef().load(dir + "posthumb.bmp");
//   SliderPos->setOrientation(BitmapSlider::soVertical);
//   SliderPos->setOrientation(BitmapSlider::soHorizontal);
//
// Pictures: pixels of olive RGB(128, 128, 0) are see-through; a thumb picture holds its
// normal and pressed states side by side (NumThumbStates 2) or one state. Pictures are drawn
// unscaled and unsmoothed, so at a device pixel ratio of 2 each pixel is a 2 x 2 block.
// Refused property assignments (see each setter) change nothing and report nothing.
// GUI thread only.

#include "controls/slider_geometry.h"

#include <QBasicTimer>
#include <QColor>
#include <QImage>
#include <QWidget>

class BitmapSlider;
class QPainter;

// The slider's handle: shows one state of its picture over the slider's colour; its mouse
// events belong to the slider (ThumbPressed, ThumbDragged, ThumbReleased).
class BitmapSliderThumb : public QWidget {
    Q_OBJECT
  public:
    explicit BitmapSliderThumb(BitmapSlider *slider);

    // Copies the picture; the size follows: (width div states) x height.
    void SetImage(const QImage &image);
    const QImage &Image() const { return m_image; }
    void SetNumStates(int states); // 1 or 2
    int NumStates() const { return m_states; }
    void SetPressedState(bool pressed);
    bool PressedState() const { return m_pressedState; }
    void SetColor(const QColor &color);
    static constexpr QRgb KeyColor = mirvane::SliderKeyColor;

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

  private:
    void Resize();

    BitmapSlider *m_slider;
    QImage m_image;
    QImage m_keyed; // m_image with the key colour transparent, made when the picture changes
    bool m_pressedState = false;
    int m_states = 2;
    QColor m_color;
};

class BitmapSlider : public QWidget {
    Q_OBJECT
  public:
    enum SliderOrientation { soHorizontal, soVertical };
    Q_ENUM(SliderOrientation)
    enum SliderOption { soShowFocus = 1, soShowPoints = 2, soSmooth = 4 };
    Q_DECLARE_FLAGS(SliderOptions, SliderOption)
    Q_FLAG(SliderOptions)

    Q_PROPERTY(QImage ImageHThumb READ ImageHThumb WRITE setImageHThumb)
    Q_PROPERTY(QImage ImageHRuler READ ImageHRuler WRITE setImageHRuler)
    Q_PROPERTY(QImage ImageVThumb READ ImageVThumb WRITE setImageVThumb)
    Q_PROPERTY(QImage ImageVRuler READ ImageVRuler WRITE setImageVRuler)
    Q_PROPERTY(int EdgeSize READ EdgeSize WRITE setEdgeSize)
    Q_PROPERTY(int NumThumbStates READ NumThumbStates WRITE setNumThumbStates)
    Q_PROPERTY(SliderOrientation Orientation READ Orientation WRITE setOrientation)
    Q_PROPERTY(SliderOptions Options READ Options WRITE setOptions)
    Q_PROPERTY(int Increment READ Increment WRITE setIncrement)
    Q_PROPERTY(int MinValue READ MinValue WRITE setMinValue)
    Q_PROPERTY(int MaxValue READ MaxValue WRITE setMaxValue)
    Q_PROPERTY(int Value READ Value WRITE setValue NOTIFY OnChange)
    Q_PROPERTY(QColor Color READ Color WRITE setColor)
    Q_PROPERTY(bool TabStop READ TabStop WRITE setTabStop)
    Q_PROPERTY(int UserImages READ UserImages)

    // 140 x 40, horizontal, range 0..100 step 10, value 0, EdgeSize 2, every option set, the
    // default pictures, the toolkit's window colour, in the tab order.
    explicit BitmapSlider(QWidget *parent = nullptr);
    ~BitmapSlider() override;

    // Pictures. Assigning copies; an empty picture reloads the built-in one. The Ref forms give
    // the picture object itself: loading into it changes nothing until the next layout (an
    // orientation change, an accepted EdgeSize, a resize or another picture assignment).
    QImage ImageHThumb() const { return m_images[HThumb]; }
    QImage ImageHRuler() const { return m_images[HRuler]; }
    QImage ImageVThumb() const { return m_images[VThumb]; }
    QImage ImageVRuler() const { return m_images[VRuler]; }
    void setImageHThumb(const QImage &image) { AssignImage(HThumb, image); }
    void setImageHRuler(const QImage &image) { AssignImage(HRuler, image); }
    void setImageVThumb(const QImage &image) { AssignImage(VThumb, image); }
    void setImageVRuler(const QImage &image) { AssignImage(VRuler, image); }
    QImage &ImageHThumbRef() { return m_images[HThumb]; }
    QImage &ImageHRulerRef() { return m_images[HRuler]; }
    QImage &ImageVThumbRef() { return m_images[VThumb]; }
    QImage &ImageVRulerRef() { return m_images[VRuler]; }
    // Bit 0 ImageHThumb, 1 ImageHRuler, 2 ImageVThumb, 3 ImageVRuler: set by assigning a
    // picture, cleared by assigning an empty one.
    int UserImages() const { return m_userImages; }

    // Length of the fixed end pieces of the ruler picture. Refused when unchanged or when twice
    // it is not less than the current ruler picture's length along the axis.
    int EdgeSize() const { return m_edgeSize; }
    void setEdgeSize(int value);
    int NumThumbStates() const { return m_thumb->NumStates(); }
    void setNumThumbStates(int value); // 1 or 2; others refused
    SliderOrientation Orientation() const { return m_orientation; }
    void setOrientation(SliderOrientation value); // refused when unchanged
    SliderOptions Options() const { return m_options; }
    void setOptions(SliderOptions value); // refused when unchanged
    int Increment() const { return m_increment; }
    void setIncrement(int value); // refused below 1 or unchanged; re-assigns Value
    int MinValue() const { return m_minValue; }
    // Refused when unchanged or above MaxValue - Increment. Does not move Value or the thumb.
    void setMinValue(int value);
    int MaxValue() const { return m_maxValue; }
    // Refused when unchanged or below MinValue + Increment (so a maximum equal to the minimum
    // keeps the previous maximum). Does not move Value or the thumb.
    void setMaxValue(int value);
    int Value() const { return m_value; }
    // Clamped into MinValue..MaxValue and kept exactly; the thumb moves to the value's pixel,
    // then OnChange fires if the value changed.
    void setValue(int value);
    QColor Color() const { return m_color; }
    void setColor(const QColor &color);
    bool TabStop() const { return focusPolicy() == Qt::StrongFocus; }
    void setTabStop(bool on); // off still takes the focus on a click

    // Steps through setValue: to MinValue, to MaxValue, and one increment up or down on the
    // grid aligned to 0.
    Q_INVOKABLE void StepToMinimum();
    Q_INVOKABLE void StepToMaximum();
    Q_INVOKABLE void StepUp();
    Q_INVOKABLE void StepDown();

    // Inspection.
    BitmapSliderThumb *Thumb() const { return m_thumb; }
    const QImage &RulerStrip() const { return m_strip; }
    QPoint RulerStripPos() const { return m_stripPos; }
    int TickOrigin() const { return m_tickOrigin; }
    int TrackLength() const { return Axis().track; }
    int PositionOfValue(int value) const { return mirvane::SliderPositionOf(Axis(), value); }
    int ValueAtPosition(int pos) const { return mirvane::SliderValueAt(Axis(), pos); }
    bool Tracking() const { return m_tracking; }
    bool Paging() const { return m_pressed; }
    bool RepeatTimerRunning() const { return m_repeat.isActive(); }
    int RepeatTimerId() const { return m_repeat.timerId(); }
    static constexpr int RepeatInterval = 400; // ms between paging steps while held

    // The painter of the paint in progress, for an OnDrawPoints handler; null otherwise.
    QPainter *Canvas() const { return m_canvas; }

  signals:
    void OnChange(QObject *sender);
    // Connected: called instead of the default tick marks while soShowPoints is set.
    void OnDrawPoints(QObject *sender);
    void OnStartTracking(QObject *sender);
    void OnStopTracking(QObject *sender);

  public:
    // The thumb's mouse events.
    virtual void ThumbPressed(QMouseEvent *event);
    virtual void ThumbDragged(QMouseEvent *event);
    virtual void ThumbReleased(QMouseEvent *event);
    // Default tick marks: 1-pixel black lines from the tick origin across the axis, every
    // `step` values or a multiple of it; endHeight long at the ends of the range.
    virtual void PaintDefaultPoints(int step, int height, int endHeight);

  protected:
    virtual void Change(); // fires OnChange

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    bool event(QEvent *event) override;

  private:
    enum ImageSlot { HThumb, HRuler, VThumb, VRuler };
    bool Vertical() const { return m_orientation == soVertical; }
    mirvane::SliderAxis Axis() const;
    void AssignImage(ImageSlot slot, const QImage &image);
    void LoadDefaultImage(ImageSlot slot);
    void Layout();
    void MoveThumb(int position);
    void PageTick();
    void FocusChanged(bool focused);

    QImage m_images[4];
    QImage m_strip;      // the ruler picture tiled to the control's length
    QImage m_stripKeyed; // the same with the key colour transparent; what painting copies
    QPoint m_stripPos;
    int m_tickOrigin = 0;
    BitmapSliderThumb *m_thumb = nullptr;
    quint8 m_userImages = 0;
    bool m_creating = true;

    int m_edgeSize = 2;
    SliderOrientation m_orientation = soHorizontal;
    SliderOptions m_options = SliderOptions(soShowFocus | soShowPoints | soSmooth);
    int m_increment = 10;
    int m_minValue = 0;
    int m_maxValue = 100;
    int m_value = 0;
    QColor m_color;

    bool m_focused = false;
    bool m_tracking = false; // a thumb drag is in progress
    bool m_pressed = false;  // a paging press is in progress
    QPoint m_pagePos;        // last pointer position of the paging press
    mirvane::PageSide m_pageSide = mirvane::PageSide::None;
    int m_dragOffset = 0; // press offset inside the thumb along the axis
    QBasicTimer m_repeat;
    QPainter *m_canvas = nullptr;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(BitmapSlider::SliderOptions)
