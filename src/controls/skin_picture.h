#pragma once
// SkinPicture: a label that shows a skin picture in whole screen pixels. On a high-density
// screen each picture pixel becomes a block of screen pixels of exactly its colour (nearest
// neighbour, never a smooth transform), so pixel art and bitmap lettering stay sharp; a
// picture with a device pixel ratio of its own (a skin's @2x art) is drawn at that density.
// Everything else is QLabel's: text, alignment, size. GUI thread only.

#include <QLabel>

class SkinPicture : public QLabel {
    Q_OBJECT
  public:
    explicit SkinPicture(QWidget *parent = nullptr);

  protected:
    void paintEvent(QPaintEvent *event) override;
};
