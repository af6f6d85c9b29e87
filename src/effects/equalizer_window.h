#pragma once
// EqualizerWindow, the equalizer window. For now it carries what the playback engine uses: the "ON"
// box and ApplyEqualizer, which attaches the six-band peaking equalizer to the channel that plays
// and sends every band's gain. GUI thread only.

#include <QWidget>

class QCheckBox;

namespace mirvane {
class PlaybackEngine;
}

class EqualizerWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kBands = 6;
    static constexpr float kCentres[kBands] = {80.0f, 125.0f, 310.0f, 1000.0f, 8000.0f, 14000.0f};

    // Attaches itself to every channel the engine starts while "ON" is ticked.
    explicit EqualizerWindow(mirvane::PlaybackEngine &engine);

    QCheckBox *chkEqualizer = nullptr; // "ON"
    // Slider positions 0..19 of the bands; the gain of a band is 10 - value dB.
    int BandValue[kBands] = {8, 8, 8, 8, 8, 8};

    // Attaches the equalizer to the engine's current channel and sends all six gains. Library
    // results are not looked at: without a channel nothing happens.
    Q_INVOKABLE void ApplyEqualizer();

  public slots:
    void chkEqualizerClick();
    void Label2Click();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

  private:
    mirvane::PlaybackEngine &engine_;
};
