#pragma once
// VisCanvas, the surface a plugin's frames are shown on, with one status line over them ("No
// capture device...", "plugin stopped"). Frames are drawn by the plugin into frame() (or copied
// in by setFrame) and shown stretched to the widget. GUI thread only.

#include <QImage>
#include <QWidget>

#include "bass_vis.h"

namespace mirvane::vis {

class VisCanvas : public QWidget {
    Q_OBJECT
  public:
    explicit VisCanvas(QWidget *parent = nullptr);

    // The frame as a canvas for the plugin host: width x height, reallocated (black) when the
    // size changes.
    BASS_VIS_CANVAS canvas(int width, int height);
    // Copies a frame drawn elsewhere.
    void setFrame(const BASS_VIS_CANVAS &frame);
    const QImage &frame() const { return frame_; }

    void setStatus(const QString &text);
    QString status() const { return status_; }

  signals:
    // A press at (x, y), widget pixels; buttons 1 left, 2 right, 4 middle.
    void pressed(int x, int y, int buttons);

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

  private:
    QImage frame_;
    QString status_;
};

} // namespace mirvane::vis
