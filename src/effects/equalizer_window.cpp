#include "effects/equalizer_window.h"

#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "bass_fx.h"
#include "playback/engine.h"

namespace {

// A label that reports a click.
class ClickLabel : public QLabel {
  public:
    ClickLabel(const QString &text, QWidget *parent, std::function<void()> onClick)
        : QLabel(text, parent), onClick_(std::move(onClick)) {}

  protected:
    void mouseReleaseEvent(QMouseEvent *) override { onClick_(); }

  private:
    std::function<void()> onClick_;
};

} // namespace

EqualizerWindow::EqualizerWindow(mirvane::PlaybackEngine &engine)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint), engine_(engine) {
    setObjectName("eq2");
    setWindowTitle("Mirvane Eq");
    setFixedSize(255, 119);
    setCursor(Qt::SizeAllCursor);

    chkEqualizer = new QCheckBox("ON", this);
    chkEqualizer->setObjectName("chkEqualizer");
    chkEqualizer->setGeometry(200, 32, 49, 17);
    chkEqualizer->setStyleSheet(
        "QCheckBox { background: black; color: white; font-weight: bold; }");
    chkEqualizer->setCursor(Qt::ArrowCursor);
    // clicked (not toggled): setting the box from stored settings must not run the handler.
    connect(chkEqualizer, &QCheckBox::clicked, this, &EqualizerWindow::chkEqualizerClick);

    auto *close = new ClickLabel("Close", this, [this] { Label2Click(); });
    close->setObjectName("Label2");
    close->setGeometry(222, 0, 33, 14);
    close->setStyleSheet("color: red;");
    close->setCursor(Qt::PointingHandCursor);
    close->setToolTip("Close");

    connect(&engine_, &mirvane::PlaybackEngine::channelStarted, this, [this] {
        if (chkEqualizer->isChecked()) {
            ApplyEqualizer();
        }
    });
}

void EqualizerWindow::ApplyEqualizer() {
    const DWORD channel = engine_.CurrentChannel();
    DWORD frequency = 0;
    BASS_ChannelGetAttributes(channel, &frequency, nullptr, nullptr);
    BASS_FX_DSP_Set(channel, BASS_FX_DSPFX_PEAKEQ, 0);
    BASS_FX_DSPPEAKEQ band{};
    band.lFreq = frequency;
    band.fBandwidth = 2.5f;
    band.fQ = 0.0f;
    for (int i = 0; i < kBands; ++i) {
        band.lBand = i;
        band.fCenter = kCentres[i];
        band.fGain = static_cast<float>(10 - BandValue[i]);
        BASS_FX_DSP_SetParameters(channel, BASS_FX_DSPFX_PEAKEQ, &band);
    }
}

void EqualizerWindow::chkEqualizerClick() {
    if (chkEqualizer->isChecked()) {
        ApplyEqualizer();
    } else {
        BASS_FX_DSP_Remove(engine_.CurrentChannel(), BASS_FX_DSPFX_PEAKEQ);
    }
}

void EqualizerWindow::Label2Click() {
    hide();
}

void EqualizerWindow::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const int s = (height() + 255) / 256;
    for (int i = 0; i < 256; ++i) {
        p.fillRect(0, i * s, width(), s, QColor(i, 32, 25));
    }
}

void EqualizerWindow::mousePressEvent(QMouseEvent *) {
    if (windowHandle()) {
        windowHandle()->startSystemMove();
    }
}
