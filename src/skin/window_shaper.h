#pragma once
// Window shaping: a mask picture decides which pixels of a window exist. Pixels of the mask's
// top-left colour lie outside; everything outside the outline is neither drawn nor clickable
// (QWidget::setMask covers both).
//
// Usage (player window, as the skin loader does on every skin change):
//   trans1 = new WindowShaper(this);          // a child of the window it shapes
//   trans1->setObjectName("trans1");
//   trans1->setAutoSize(true);
//   trans1->MaskRef().load(skinDir + name + ".bmp");   // changes nothing by itself
//   trans1->setActive(true);                   // frameless, outline from the mask, mask's size
//
// GUI thread only.

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRegion>

#include <QWidget>

namespace mirvane {

// The outline of a mask: for each row, one rectangle per run of pixels that differ from the
// top-left pixel (colours compared exactly, alpha included). Rows with identical runs are
// merged into bands. A null or empty mask, or one of a single colour, gives an empty region.
QRegion RegionFromMask(const QImage &mask);

// How a window move by dragging was begun.
enum class WindowMove {
    System, // the platform (window manager or compositor) moves the window until release
    Manual, // the window follows the pointer's motion until the left button is released
    None    // no move: no window, or a platform that places windows itself and offers no move
};

// Begins moving the top-level `window` from a left-button press at `globalPress` (screen
// coordinates). The platform's own move (QWindow::startSystemMove) comes first. Without it the
// window follows the pointer, except on Wayland, where a client cannot place its windows and
// only the compositor's move exists. A null or unshown window gives None. GUI thread only.
WindowMove StartWindowMove(QWidget *window, QPointF globalPress);

// Where a window that was at `start` when the pointer was pressed at `pressGlobal` goes when
// the pointer is at `nowGlobal`: moved by the pointer's travel, rounded to whole pixels.
QPoint DraggedWindowPosition(QPoint start, QPointF pressGlobal, QPointF nowGlobal);

} // namespace mirvane

class WindowShaper : public QObject {
    Q_OBJECT
    Q_PROPERTY(QImage Mask READ Mask WRITE setMask)
    Q_PROPERTY(bool Active READ Active WRITE setActive)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)
  public:
    // Shapes `form` for the shaper's whole life; the shaper is `form`'s child.
    explicit WindowShaper(QWidget *form);
    // Gives the window back its frame and full rectangle, unless the window itself is being
    // destroyed.
    ~WindowShaper() override;

    QImage Mask() const { return m_mask; }
    // Copies the mask; while Active the outline follows it, otherwise the window's outline is
    // removed.
    void setMask(const QImage &mask);
    // The mask object itself: loading into it changes nothing until Active is assigned.
    QImage &MaskRef() { return m_mask; }

    bool Active() const { return m_active; }
    // On (every time, also when already on): the window loses its frame, takes the outline of
    // the mask (no outline for an empty or one-coloured mask) and, with AutoSize, the mask's
    // size. Off: frame back and the outline removed.
    void setActive(bool on);
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool on);

    QWidget *Form() const { return m_form; }

  private:
    void ApplyRegion();
    void SetFrameless(bool frameless);

    QPointer<QWidget> m_form;
    QImage m_mask;
    bool m_active = false;
    bool m_autoSize = false;
};
