// Renders the custom controls in their usual states to PNG files, for looking at by eye:
//   controls_gallery [folder]     (default: ./controls_gallery)
// Each control is drawn at a device pixel ratio of 1 and 2; gallery.png puts the ratio-1
// pictures together, enlarged 3 times without smoothing.

#include "controls/bitmap_font_label.h"
#include "controls/bitmap_slider.h"
#include "controls/control_art.h"
#include "controls/spectrum_analyser.h"
#include "skin/window_shaper.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <array>
#include <cmath>
#include <vector>

namespace {

QString g_dir;
std::vector<std::pair<QString, QImage>> g_shots;

QImage Snap(QWidget *w, qreal dpr) {
    QImage img(w->size() * dpr, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::magenta);
    w->render(&img);
    return img;
}

// Also saves a 4 times enlarged copy, since most of these are tiny.
void Save(const QString &name, const QImage &img) {
    img.save(g_dir + "/" + name + ".png");
    img.scaled(img.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation)
        .save(g_dir + "/" + name + "_x4.png");
}

void Shot(const QString &name, QWidget *w) {
    const QImage one = Snap(w, 1);
    Save(name, one);
    Snap(w, 2).save(g_dir + "/" + name + "@2x.png");
    g_shots.emplace_back(name, one);
}

void Shot(const QString &name, const QImage &img) {
    Save(name, img);
    g_shots.emplace_back(name, img);
}

QImage EqRuler() {
    // 3 x 89: red at both ends shading to green in the middle.
    QImage r(3, 89, QImage::Format_RGB32);
    for (int y = 0; y < 89; ++y) {
        const double t = std::abs(y - 44) / 44.0;
        for (int x = 0; x < 3; ++x)
            r.setPixel(x, y, qRgb(int(255 * t), int(255 * (1 - t)), 0));
    }
    return r;
}

BitmapSlider *PlayerSlider(QWidget *parent, int w, int min, int value) {
    auto *s = new BitmapSlider(parent);
    s->setGeometry(0, 0, w, 12);
    s->setIncrement(1);
    s->setOptions({});
    s->setEdgeSize(0);
    s->setColor(Qt::black);
    s->setMinValue(min);
    s->setValue(value);
    s->show();
    return s;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    g_dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("controls_gallery");
    QDir().mkpath(g_dir);

    // The built-in pictures themselves, the hand on grey so its outline shows.
    for (const char *name : {"W95_HTB", "W95_HRL", "W95_VTB", "W95_VRL"})
        Shot(QString("art_") + name, mirvane::ControlArt(name));
    {
        QImage hand(32, 32, QImage::Format_RGB32);
        hand.fill(Qt::gray);
        QPainter p(&hand);
        p.drawImage(0, 0, mirvane::ControlArt("AD_HAND"));
        p.end();
        Shot("art_AD_HAND", hand);
    }

    // Sliders.
    {
        QWidget host;
        host.show();
        Shot("slider_pos_50", PlayerSlider(&host, 176, 0, 50));
        Shot("slider_vol_73", PlayerSlider(&host, 78, 0, 73));
        Shot("slider_bal_left", PlayerSlider(&host, 33, -100, -100));
        auto *pressed = PlayerSlider(&host, 176, 0, 20);
        pressed->Thumb()->SetPressedState(true);
        Shot("slider_pos_pressed", pressed);
        auto *plain = new BitmapSlider(&host);
        plain->show();
        plain->setValue(30);
        plain->setFocus();
        Shot("slider_default_focused", plain);
        auto *edged = new BitmapSlider(&host);
        edged->resize(140, 20);
        edged->setOptions(BitmapSlider::soShowPoints);
        edged->setValue(70);
        edged->show();
        Shot("slider_default_ticks", edged);

        QWidget eq;
        eq.resize(200, 89);
        QPalette pal = eq.palette();
        pal.setColor(QPalette::Window, Qt::black);
        eq.setPalette(pal);
        eq.setAutoFillBackground(true);
        const QImage ruler = EqRuler();
        const int values[] = {8, 0, 19, 12, 5, 8};
        for (int i = 0; i < 6; ++i) {
            auto *s = new BitmapSlider(&eq);
            s->setGeometry(8 + 32 * i, 0, 25, 89);
            s->setOrientation(BitmapSlider::soVertical);
            s->setMaxValue(19);
            s->setIncrement(1);
            s->setOptions(i == 0 ? BitmapSlider::SliderOptions() : BitmapSlider::soShowPoints);
            s->setEdgeSize(0);
            s->setColor(Qt::black);
            s->setImageVRuler(ruler);
            s->setValue(values[i]);
        }
        eq.show();
        Shot("eq_sliders", &eq);
        auto *vdef = new BitmapSlider(&host);
        vdef->setOrientation(BitmapSlider::soVertical);
        vdef->resize(40, 120);
        vdef->setValue(60);
        vdef->show();
        Shot("slider_vertical_default", vdef);
    }

    // Banner.
    {
        QWidget host;
        host.show();
        auto make = [&](const QString &text) {
            auto *l = new BitmapFontLabel(&host);
            l->setGeometry(0, 0, 176, 20);
            l->setBorderStyle(BitmapFontLabel::bsNone);
            l->setCharWidth(mirvane::PlayerFontCharWidth);
            l->setFontChars(mirvane::PlayerFontChars());
            l->setFontBitmap(mirvane::PlayerFontBitmap());
            l->setText(text);
            l->show();
            return l;
        };
        auto *title = make("Mirvane Player ");
        Shot("banner_title", title);
        title->setBanner(true);
        for (int i = 0; i < 5; ++i)
            title->Tick();
        Shot("banner_title_tick5", title);
        Shot("banner_paused", make("Paused"));
        Shot("banner_digits", make("0123456789!?"));
        auto *lower = make(QString::fromUtf8("Äpple åäö üû ÿ"));
        lower->setUpperCase(false);
        Shot("banner_lower", lower);
        Shot("banner_upper", make(QString::fromUtf8("Äpple åäö üû ÿ")));
        auto *narrow = make("Volume 73");
        narrow->setCharWidth(8);
        Shot("banner_charwidth8", narrow);
        auto *red = make("Next in 5");
        red->setColor(Qt::red);
        Shot("banner_red_back", red);
        Shot("font_strip", mirvane::PlayerFontBitmap());
        // Every glyph, eleven to a line, as the title shows them.
        QImage sheet(176, 9 * 20, QImage::Format_RGB32);
        QPainter sp(&sheet);
        const QString chars = mirvane::PlayerFontChars();
        for (int line = 0; line < 9; ++line) {
            auto *l = make(chars.mid(line * 11, 11));
            l->setUpperCase(false);
            sp.drawImage(0, line * 20, Snap(l, 1));
        }
        sp.end();
        Shot("font_sheet", sheet);
    }

    // Spectrum.
    {
        SpectrumAnalyser spectrum(169, 57, 16);
        spectrum.LowLimit = 20;
        spectrum.MidLimit = 40;
        std::array<float, 16> levels{};
        for (int i = 0; i < 16; ++i)
            levels[i] = float(55 - i * 3.3);
        QImage frame(169, 57, QImage::Format_RGB32);
        {
            QPainter p(&frame);
            spectrum.Draw(p, levels);
        }
        Shot("spectrum_rising", frame);
        levels.fill(0);
        for (int k = 0; k < 4; ++k) {
            QPainter p(&frame);
            spectrum.Draw(p, levels);
        }
        Shot("spectrum_falling4", frame);
        std::array<float, 1025> fft{};
        for (int k = 0; k < 1024; ++k)
            fft[k] = 0.02f / (1 + k / 40.0f);
        mirvane::SpectrumBandLevels(fft, levels);
        {
            QPainter p(&frame);
            spectrum.Draw(p, levels);
        }
        Shot("spectrum_from_fft", frame);
    }

    // Shaped window: a rounded outline.
    {
        QImage mask(120, 60, QImage::Format_RGB32);
        mask.fill(Qt::white);
        {
            QPainter p(&mask);
            p.setBrush(Qt::black);
            p.setPen(Qt::NoPen);
            p.drawRoundedRect(QRect(0, 0, 120, 60), 20, 20);
            p.setBrush(Qt::white);
            p.drawEllipse(QRect(50, 20, 20, 20)); // a hole: key colour inside the outline
        }
        QImage shown(120, 60, QImage::Format_RGB32);
        shown.fill(Qt::darkGray);
        QPainter p(&shown);
        for (const QRect &r : mirvane::RegionFromMask(mask))
            p.fillRect(r, Qt::cyan);
        p.end();
        Shot("shape_region", shown);
    }

    // All of it in one picture, enlarged.
    int width = 0, height = 0;
    for (auto &[name, img] : g_shots) {
        width = std::max(width, int(img.width() * 3 / img.devicePixelRatio()));
        height += int(img.height() * 3 / img.devicePixelRatio()) + 6;
    }
    QImage all(std::min(width, 1800), height, QImage::Format_RGB32);
    all.fill(qRgb(60, 60, 90));
    QPainter p(&all);
    int y = 0;
    for (auto &[name, img] : g_shots) {
        QImage big = img.scaled(img.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        p.drawImage(0, y, big);
        y += big.height() + 6;
    }
    p.end();
    all.save(g_dir + "/gallery.png");
    return 0;
}
