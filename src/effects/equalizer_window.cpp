#include "effects/equalizer_window.h"

#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "controls/bitmap_slider.h"
#include "effects/effect_chain.h"
#include "prefs/settings.h"

namespace {

namespace eq = mirvane::eq;

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

// The ticks are drawn light: the sliders' background is black.
const QColor kTickColour(170, 170, 170);

} // namespace

EqualizerWindow::EqualizerWindow(mirvane::PlaybackEngine &engine)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint),
      chain_(mirvane::EffectChain::Of(engine)) {
    setObjectName("eq2");
    setWindowTitle("Mirvane Eq");
    setFixedSize(255, 119);
    setCursor(Qt::SizeAllCursor);

    const QImage ruler = eq::RulerImage();
    using Handler = void (EqualizerWindow::*)();
    static constexpr Handler kHandlers[kBands] = {
        &EqualizerWindow::vseqdbassChange,  &EqualizerWindow::vsEQBASSChange,
        &EqualizerWindow::vsEQ310Change,    &EqualizerWindow::vsEQMIDChange,
        &EqualizerWindow::vsEQTREBLEChange, &EqualizerWindow::vseq14Change};
    for (int band = 0; band < kBands; ++band) {
        auto *s = new BitmapSlider(this);
        s->setObjectName(eq::kBandTable[band].slider);
        s->setToolTip(eq::kBandTable[band].hint);
        s->setGeometry(8 + 32 * band, 16, 25, 89);
        s->setOrientation(BitmapSlider::soVertical);
        s->setMinValue(eq::kMinValue);
        s->setMaxValue(eq::kMaxValue);
        s->setIncrement(1);
        s->setValue(eq::kDesignValue);
        s->setOptions(band == 0 ? BitmapSlider::SliderOptions()
                                : BitmapSlider::SliderOptions(BitmapSlider::soShowPoints));
        s->setEdgeSize(0);
        s->setNumThumbStates(2);
        s->setColor(Qt::black);
        s->setImageVRuler(ruler);
        s->setCursor(Qt::ArrowCursor);
        connect(s, &BitmapSlider::OnChange, this, kHandlers[band]);
        connect(s, &BitmapSlider::OnDrawPoints, this, [this, s] { DrawTicks(s); });
        Sliders[band] = s;
    }

    chkEqualizer = new QCheckBox("ON", this);
    chkEqualizer->setObjectName("chkEqualizer");
    chkEqualizer->setGeometry(200, 32, 49, 17);
    chkEqualizer->setAutoFillBackground(true);
    chkEqualizer->setStyleSheet(
        "QCheckBox { background: black; color: white; font-weight: bold; font-size: 11px; }");
    chkEqualizer->setCursor(Qt::ArrowCursor);
    // clicked (not toggled): setting the box from stored settings must not run the handler.
    connect(chkEqualizer, &QCheckBox::clicked, this, &EqualizerWindow::chkEqualizerClick);

    Label2 = new ClickLabel("Close", this, [this] { Label2Click(); });
    Label2->setObjectName("Label2");
    Label2->setGeometry(227, 0, 28, 14);
    Label2->setStyleSheet("color: red; font-size: 11px;");
    Label2->setCursor(Qt::PointingHandCursor);
    Label2->setToolTip("Close");

    for (int band = 1; band < kBands; ++band)
        setTabOrder(Sliders[band - 1], Sliders[band]);
    setTabOrder(Sliders[kBands - 1], chkEqualizer);

    saveTimer_.setSingleShot(true);
    saveTimer_.setInterval(kSaveDelayMs);
    connect(&saveTimer_, &QTimer::timeout, this, &EqualizerWindow::SaveEqualizerSettings);

    FormCreate();
}

EqualizerWindow::~EqualizerWindow() {
    saveTimer_.stop();
    SaveEqualizerSettings();
}

void EqualizerWindow::FormCreate() {
    namespace settings = mirvane::settings;
    const bool on = settings::ReadBool("eqstatus").value_or(false);
    chkEqualizer->setChecked(on);
    // The equalizer is first attached by the next channel start or a click.
    chain_.SetEqualizerWanted(on);
    for (int band = 0; band < kBands; ++band)
        Sliders[band]->setValue(
            eq::StoredValue(settings::ReadInteger(eq::kBandTable[band].stored)));
    // Loading is not a change worth writing back.
    saveTimer_.stop();
    // A track that started before this window existed (a file named on the command line)
    // hears the stored equalizer too, not only the tracks after it.
    if (on)
        chain_.ApplyEqualizer(); // with nothing playing, only the later channels get it
}

void EqualizerWindow::SaveEqualizerSettings() {
    namespace settings = mirvane::settings;
    for (int band = 0; band < kBands; ++band)
        settings::WriteInteger(eq::kBandTable[band].stored, Sliders[band]->Value());
    settings::WriteBool("eqstatus", chkEqualizer->isChecked());
}

void EqualizerWindow::ApplyEqualizer() {
    chain_.ApplyEqualizer();
}

void EqualizerWindow::SetEqBandGain(int band, int value) {
    chain_.SetEqBandGain(band, value);
}

void EqualizerWindow::BandChanged(int band) {
    SetEqBandGain(band, Sliders[band]->Value());
    saveTimer_.start();
}

void EqualizerWindow::vseqdbassChange() {
    BandChanged(0);
}
void EqualizerWindow::vsEQBASSChange() {
    BandChanged(1);
}
void EqualizerWindow::vsEQ310Change() {
    BandChanged(2);
}
void EqualizerWindow::vsEQMIDChange() {
    BandChanged(3);
}
void EqualizerWindow::vsEQTREBLEChange() {
    BandChanged(4);
}
void EqualizerWindow::vseq14Change() {
    BandChanged(5);
}

void EqualizerWindow::chkEqualizerClick() {
    if (chkEqualizer->isChecked())
        ApplyEqualizer();
    else
        chain_.SetEqualizerOn(false);
    saveTimer_.start();
}

void EqualizerWindow::Label2Click() {
    hide();
}

void EqualizerWindow::DrawTicks(BitmapSlider *slider) {
    QPainter *p = slider->Canvas();
    if (!p)
        return;
    mirvane::SliderAxis axis;
    axis.vertical = true;
    axis.minValue = slider->MinValue();
    axis.maxValue = slider->MaxValue();
    axis.increment = slider->Increment();
    axis.smooth = slider->Options().testFlag(BitmapSlider::soSmooth);
    axis.track = slider->TrackLength();
    axis.clientLength = slider->height();
    axis.thumbLength = slider->Thumb()->height();
    for (const mirvane::SliderTick &tick :
         mirvane::SliderDefaultTicks(axis, slider->Increment(), 3, 4))
        p->fillRect(QRect(slider->TickOrigin(), tick.centre, tick.length, 1), kTickColour);
}

void EqualizerWindow::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const int s = eq::StripeHeight(height());
    for (int i = 0; i < 256; ++i)
        p.fillRect(0, i * s, width(), s, eq::StripeColour(i));
}

void EqualizerWindow::mousePressEvent(QMouseEvent *) {
    if (windowHandle())
        windowHandle()->startSystemMove();
}
