#include "skin_host.h"

#include "controls/bitmap_font_label.h"
#include "controls/bitmap_slider.h"
#include "controls/control_art.h"
#include "skin/window_shaper.h"

#include <QPainter>

namespace {

// The analyser area: shows the host's frame, as the player shows its painter's last frame.
class AnalyserArea : public QWidget {
  public:
    AnalyserArea(QWidget *parent, const QImage *frame) : QWidget(parent), m_frame(frame) {}

  protected:
    void paintEvent(QPaintEvent *) override {
        if (!m_frame->isNull()) {
            QPainter p(this);
            p.drawImage(0, 0, *m_frame);
        }
    }

  private:
    const QImage *m_frame;
};

QLabel *PictureButton(QWidget *parent, const char *name, QRect bounds) {
    auto *b = new QLabel(parent);
    b->setObjectName(name);
    b->setGeometry(bounds);
    b->setCursor(mirvane::HandCursor());
    return b;
}

BitmapSlider *PlayerSlider(QWidget *parent, const char *name, QRect bounds, int min) {
    auto *s = new BitmapSlider(parent);
    s->setObjectName(name);
    s->setGeometry(bounds);
    s->setIncrement(1);
    s->setOptions({});
    s->setEdgeSize(0);
    s->setColor(Qt::black);
    s->setTabStop(false);
    s->setMinValue(min);
    return s;
}

} // namespace

SkinHost::SkinHost() {
    setObjectName("Form1");
    setWindowFlag(Qt::FramelessWindowHint);
    resize(249, 97);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(0, 0, 249, 73);

    plButton = PictureButton(this, "plButton", {0, 80, 33, 17});
    PrevBtn = PictureButton(this, "PrevBtn", {40, 80, 33, 17});
    PlayBtn = PictureButton(this, "PlayBtn", {80, 80, 33, 17});
    StopBtn = PictureButton(this, "StopBtn", {120, 80, 33, 17});
    NextBtn = PictureButton(this, "NextBtn", {160, 80, 33, 17});
    psBtn = PictureButton(this, "psBtn", {200, 80, 34, 17});

    STitle = new BitmapFontLabel(this);
    STitle->setObjectName("STitle");
    STitle->setGeometry(32, 8, 176, 20);
    STitle->setBorderStyle(BitmapFontLabel::bsNone);
    STitle->setCharWidth(mirvane::PlayerFontCharWidth);
    STitle->setFontChars(mirvane::PlayerFontChars());
    STitle->setFontBitmap(mirvane::PlayerFontBitmap());
    STitle->setText("Mirvane Player ");
    STitle->setBanner(true);

    vrDisplay1 = new QWidget(this);
    vrDisplay1->setObjectName("vrDisplay1");
    vrDisplay1->setGeometry(40, 40, 51, 13);
    vrDisplay1->setAutoFillBackground(true);
    QPalette black = vrDisplay1->palette();
    black.setColor(QPalette::Window, Qt::black);
    vrDisplay1->setPalette(black);
    Label1 = new QLabel("0:00", vrDisplay1);
    Label1->setObjectName("Label1");
    Label1->move(5, 0);
    Label1->setMaximumWidth(40);
    QPalette yellow = Label1->palette();
    yellow.setColor(QPalette::WindowText, Qt::yellow);
    Label1->setPalette(yellow);
    QFont small = Label1->font();
    small.setPixelSize(11);
    Label1->setFont(small);
    Label1->resize(29, 13);
    Status = new QLabel(vrDisplay1);
    Status->setObjectName("Status");
    Status->setGeometry(34, 3, 6, 6);
    QPixmap stopped(6, 6);
    stopped.fill(Qt::green);
    Status->setPixmap(stopped);

    SliderPos = PlayerSlider(this, "SliderPos", {32, 56, 176, 12}, 0);
    SliderVol = PlayerSlider(this, "SliderVol", {133, 35, 78, 12}, 0);
    SliderBal = PlayerSlider(this, "SliderBal", {92, 35, 33, 12}, -100);

    PaintBox1 = new AnalyserArea(this, &spectrumFrame);
    PaintBox1->setObjectName("PaintBox1");
    PaintBox1->setGeometry(48, 16, 169, 57);
    PaintBox1->hide();

    trans1 = new WindowShaper(this);
    trans1->setAutoSize(true);
}

SkinHost::~SkinHost() = default;

mirvane::SkinParts SkinHost::parts() {
    mirvane::SkinParts p;
    p.window = this;
    p.Image1 = Image1;
    p.plButton = plButton;
    p.PrevBtn = PrevBtn;
    p.PlayBtn = PlayBtn;
    p.StopBtn = StopBtn;
    p.psBtn = psBtn;
    p.NextBtn = NextBtn;
    p.vrDisplay1 = vrDisplay1;
    p.STitle = STitle;
    p.SliderPos = SliderPos;
    p.SliderBal = SliderBal;
    p.SliderVol = SliderVol;
    p.PaintBox1 = PaintBox1;
    p.trans1 = trans1;
    return p;
}

QRect SkinHost::ContentsRect() const {
    QRect r;
    for (QObject *o : children()) {
        auto *w = qobject_cast<QWidget *>(o);
        if (w && !w->isHidden()) {
            r |= w->geometry();
        }
    }
    return r;
}

QImage SkinHost::Snapshot() {
    const QImage shot = grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QRegion region = mask().isEmpty() ? QRegion(rect()) : mask();
    QImage out(shot.size(), QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.setClipRegion(region);
    p.drawImage(0, 0, shot);
    p.end();
    return out;
}

// fontconfig keeps its caches until the process ends; the host's time label is the only text
// these tests draw, and that is not a leak of ours.
extern "C" const char *__lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
