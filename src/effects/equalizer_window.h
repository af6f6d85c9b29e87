#pragma once
// EqualizerWindow ("eq2"), the six-band equalizer: six vertical sliders (80 Hz to 14 kHz), the
// "ON" box and "Close". The sound work is the engine's EffectChain: the sliders send their
// band gains there, "ON" switches the equalizer on the channel that plays and on every later
// one.
//
// Stored values: "eqstatus" (the ON box) and "eq80" ... "eq14000" (slider values 0..19) are
// read at creation (a missing or unreadable value gives the design state: off, 8; a number
// out of range the nearer end) and written half a second after the last change and again
// when the window goes.
//
// GUI thread only.

#include <QTimer>
#include <QWidget>
#include <array>

#include "effects/equalizer_bands.h"

class BitmapSlider;
class QCheckBox;
class QLabel;

namespace mirvane {
class PlaybackEngine;
class EffectChain;
} // namespace mirvane

class EqualizerWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kBands = mirvane::eq::kBands;
    static constexpr int kSaveDelayMs = 500; // stored values follow changes after this pause

    explicit EqualizerWindow(mirvane::PlaybackEngine &engine);
    ~EqualizerWindow() override; // FormDestroy: stores the settings

    QCheckBox *chkEqualizer = nullptr;            // "ON"
    std::array<BitmapSlider *, kBands> Sliders{}; // band order: vsEQdbass ... vsEQ14
    QLabel *Label2 = nullptr;                     // "Close"

    // Attaches the equalizer to the engine's current channel and sends all six gains. Without
    // a channel nothing happens now; the next channel gets it while "ON" is ticked.
    Q_INVOKABLE void ApplyEqualizer();
    // Sends the gain of slider value `value` (10 - value dB) for band 0..5.
    Q_INVOKABLE void SetEqBandGain(int band, int value);
    // Writes the six slider values, then the ON state, to the settings store.
    Q_INVOKABLE void SaveEqualizerSettings();

  public slots:
    void vseqdbassChange();
    void vsEQBASSChange();
    void vsEQ310Change();
    void vsEQMIDChange();
    void vsEQTREBLEChange();
    void vseq14Change();
    void chkEqualizerClick();
    void Label2Click();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

  private:
    void FormCreate();
    void BandChanged(int band);
    void DrawTicks(BitmapSlider *slider);

    mirvane::EffectChain &chain_;
    QTimer saveTimer_;
};
