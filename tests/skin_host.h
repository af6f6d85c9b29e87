#pragma once
// A stand-in for the player window in its design layout, with the real controls, for the skin
// loader's tests and the skin gallery. Offscreen platform; GUI thread only.

#include "skin/skin_loader.h"

#include <QLabel>
#include <QWidget>

#include <memory>

class SpectrumAnalyser;

class SkinHost : public QWidget {
  public:
    SkinHost();
    ~SkinHost() override;

    mirvane::SkinParts parts();

    QLabel *Image1;
    QLabel *plButton, *PrevBtn, *PlayBtn, *StopBtn, *psBtn, *NextBtn;
    QWidget *vrDisplay1;
    QLabel *Label1, *Status;
    BitmapFontLabel *STitle;
    BitmapSlider *SliderPos, *SliderBal, *SliderVol;
    QWidget *PaintBox1;
    WindowShaper *trans1;
    // The analyser frame the gallery shows in PaintBox1 (a null image shows nothing).
    QImage spectrumFrame;

    // The host as shown: grabbed, with pixels outside the window's mask transparent.
    QImage Snapshot();
    // The smallest rectangle around all visible children (what the player sizes itself to).
    QRect ContentsRect() const;
};
