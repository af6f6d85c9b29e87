// Draws the shipped skins: for each skin its background picture, outline mask, the twelve
// button pictures and the six slider bitmaps, plus the Skins.ini that places the player's
// controls on that art. The layout below and the art are made from the same numbers, so a
// control can never drift off its picture.
//
//   make_skins <data folder>     writes <data>/Skins.ini and <data>/Skins/<name>/*
//
// Output is deterministic (fixed random seeds), so rerunning it changes no committed image
// unless the drawing code changed.

#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <random>

namespace {

// Olive is see-through in slider bitmaps.
const QColor kOlive(128, 128, 0);

// The player's fixed control sizes (the skin places them, it cannot resize them).
const QSize kPosSlider(176, 12);
const QSize kBalSlider(33, 12);
const QSize kVolSlider(78, 12);
const QSize kTimePanel(51, 13);
const int kBannerCell = 16;
const int kBannerHeight = 20;
const QSize kSpectrumPainter(169, 57);

struct Layout {
    QSize body;
    QPoint pl, prev, play, stop, ps, next;
    QPoint display;          // vrDisplay1
    QRect title;             // STitle
    QPoint pos, bal, vol;    // sliders
    QRect spectrum;          // PaintBox1
    unsigned titleColor = 0; // 0x00BBGGRR
};

QRect At(QPoint p, QSize s) {
    return QRect(p, s);
}

QColor Mix(const QColor &a, const QColor &b, double t) {
    return QColor::fromRgbF(
        a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
        a.blueF() + (b.blueF() - a.blueF()) * t, a.alphaF() + (b.alphaF() - a.alphaF()) * t);
}

// Horizontal brushed streaks: every row gets its own brightness, smeared along the row.
void BrushedMetal(QImage &img, const QRect &r, const QColor &base, double strength, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> rowNoise(0.0, 1.0);
    std::normal_distribution<double> pixNoise(0.0, 1.0);
    std::vector<double> row(r.width());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const double rowShift = rowNoise(rng) * strength * 0.6;
        for (double &v : row) {
            v = pixNoise(rng) * strength;
        }
        // Smear the per-pixel noise into streaks.
        std::vector<double> smeared(row.size());
        const int k = 9;
        for (int x = 0; x < int(row.size()); ++x) {
            double sum = 0;
            int n = 0;
            for (int d = -k; d <= k; ++d) {
                const int xx = x + d;
                if (xx >= 0 && xx < int(row.size())) {
                    sum += row[xx];
                    ++n;
                }
            }
            smeared[x] = sum / n * 2.2;
        }
        for (int x = r.left(); x <= r.right(); ++x) {
            const double d = rowShift + smeared[x - r.left()];
            QColor c = QColor::fromRgbF(std::clamp(base.redF() + d, 0.0, 1.0),
                                        std::clamp(base.greenF() + d, 0.0, 1.0),
                                        std::clamp(base.blueF() + d * 1.05, 0.0, 1.0));
            img.setPixelColor(x, y, c);
        }
    }
}

// A light top-left edge and a dark bottom-right edge: raised (or sunken with swapped colours).
void Bevel(QPainter &p, const QRectF &r, double radius, const QColor &light, const QColor &dark,
           double width = 1.0) {
    p.save();
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.addRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, light);
    g.setColorAt(0.5, Mix(light, dark, 0.5));
    g.setColorAt(1, dark);
    p.setPen(QPen(QBrush(g), width));
    p.drawPath(path);
    p.restore();
}

// A recess cut into the body: dark rim, inner shadow at the top, a light lip at the bottom.
void Recess(QPainter &p, const QRect &r, double radius, const QColor &inside, const QColor &lip) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath outer;
    outer.addRoundedRect(QRectF(r).adjusted(-2, -2, 2, 2), radius + 2, radius + 2);
    QLinearGradient lipGrad(r.topLeft() - QPoint(0, 2), r.bottomLeft() + QPoint(0, 2));
    lipGrad.setColorAt(0, QColor(0, 0, 0, 150));
    lipGrad.setColorAt(1, lip);
    p.fillPath(outer, lipGrad);
    QPainterPath inner;
    inner.addRoundedRect(QRectF(r), radius, radius);
    p.fillPath(inner, inside);
    // Inner shadow along the top edge.
    QLinearGradient shade(r.topLeft(), r.topLeft() + QPoint(0, 6));
    shade.setColorAt(0, QColor(0, 0, 0, 140));
    shade.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillPath(inner, shade);
    p.restore();
}

void EngravedText(QPainter &p, const QRect &r, const QString &text, int pixelSize,
                  const QColor &ink, const QColor &highlight, int flags = Qt::AlignCenter,
                  int weight = QFont::Bold, double spacing = 100) {
    QFont f("DejaVu Sans");
    f.setPixelSize(pixelSize);
    f.setWeight(QFont::Weight(weight));
    f.setLetterSpacing(QFont::PercentageSpacing, spacing);
    f.setHintingPreference(QFont::PreferFullHinting);
    p.save();
    p.setFont(f);
    p.setPen(highlight);
    p.drawText(r.translated(0, 1), flags, text);
    p.setPen(ink);
    p.drawText(r, flags, text);
    p.restore();
}

// ---- transport icons, drawn into a box centred on the button face ----

enum class Icon { Playlist, Prev, Play, Stop, Next, Pause };

void DrawIcon(QPainter &p, Icon icon, QPointF c, double s, const QBrush &ink) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    auto tri = [&](double x, double w, bool right) {
        QPolygonF t;
        if (right) {
            t << QPointF(x, c.y() - s / 2) << QPointF(x + w, c.y()) << QPointF(x, c.y() + s / 2);
        } else {
            t << QPointF(x + w, c.y() - s / 2) << QPointF(x, c.y())
              << QPointF(x + w, c.y() + s / 2);
        }
        p.drawPolygon(t);
    };
    switch (icon) {
    case Icon::Play:
        tri(c.x() - s * 0.40, s * 0.85, true);
        break;
    case Icon::Stop:
        p.drawRoundedRect(QRectF(c.x() - s * 0.42, c.y() - s * 0.42, s * 0.84, s * 0.84), 1, 1);
        break;
    case Icon::Pause:
        p.drawRect(QRectF(c.x() - s * 0.42, c.y() - s / 2, s * 0.30, s));
        p.drawRect(QRectF(c.x() + s * 0.12, c.y() - s / 2, s * 0.30, s));
        break;
    case Icon::Prev:
        p.drawRect(QRectF(c.x() - s * 0.70, c.y() - s / 2, s * 0.18, s));
        tri(c.x() - s * 0.52, s * 0.62, false);
        tri(c.x() + s * 0.08, s * 0.62, false);
        break;
    case Icon::Next:
        tri(c.x() - s * 0.70, s * 0.62, true);
        tri(c.x() - s * 0.10, s * 0.62, true);
        p.drawRect(QRectF(c.x() + s * 0.52, c.y() - s / 2, s * 0.18, s));
        break;
    case Icon::Playlist:
        for (int i = 0; i < 3; ++i) {
            const double y = c.y() - s * 0.45 + i * s * 0.38;
            p.drawRect(QRectF(c.x() - s * 0.65, y, s * 0.22, s * 0.18));
            p.drawRect(QRectF(c.x() - s * 0.32, y, s * 0.97, s * 0.18));
        }
        break;
    }
    p.restore();
}

struct ButtonStyle {
    std::function<void(QPainter &, const QRectF &, bool down)> face;
    QColor ink, inkDown, glow;
    double iconSize;
    bool round = false;
};

QImage Button(QSize size, Icon icon, bool down, const ButtonStyle &style) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0, 0, size.width(), size.height());
    style.face(p, r, down);
    QPointF c = r.center() + QPointF(down ? 0.5 : 0, down ? 1 : 0);
    if (down && style.glow.isValid()) {
        QRadialGradient g(c, style.iconSize);
        QColor inner = style.glow;
        inner.setAlpha(110);
        g.setColorAt(0, inner);
        g.setColorAt(1, QColor(0, 0, 0, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(c, style.iconSize, style.iconSize);
    }
    // A one-pixel shadow under the icon reads as "stamped into the cap".
    DrawIcon(p, icon, c + QPointF(0, 1), style.iconSize, QColor(0, 0, 0, down ? 60 : 110));
    DrawIcon(p, icon, c, style.iconSize, down ? style.inkDown : style.ink);
    p.end();
    return img;
}

// ---- slider bitmaps: opaque, olive only where the slider's black background may show ----

QImage Opaque(const QImage &argb) {
    return argb.convertToFormat(QImage::Format_RGB888);
}

QImage Ruler(QSize size, const QColor &slot, const QColor &groove, const QColor &grooveLit,
             int tickEvery, const QColor &tick) {
    QImage img(size, QImage::Format_ARGB32);
    img.fill(slot);
    QPainter p(&img);
    const int h = size.height();
    const int gy = h / 2 - 1;
    // Ticks above and below the groove.
    if (tickEvery > 0) {
        for (int x = 4; x < size.width() - 3; x += tickEvery) {
            p.fillRect(x, 1, 1, 2, tick);
            p.fillRect(x, h - 3, 1, 2, tick);
        }
    }
    p.fillRect(2, gy, size.width() - 4, 2, groove);
    p.fillRect(2, gy, size.width() - 4, 1, grooveLit);
    p.end();
    return Opaque(img);
}

QImage Thumb(QSize state, const std::function<void(QPainter &, const QRectF &, bool)> &draw) {
    QImage img(QSize(state.width() * 2, state.height()), QImage::Format_ARGB32);
    img.fill(kOlive);
    for (int s = 0; s < 2; ++s) {
        QImage one(state, QImage::Format_ARGB32);
        one.fill(kOlive);
        QPainter p(&one);
        // No antialiasing: a blended edge pixel would be neither olive nor knob.
        draw(p, QRectF(0, 0, state.width(), state.height()), s == 1);
        p.end();
        QPainter q(&img);
        q.drawImage(s * state.width(), 0, one);
    }
    return Opaque(img);
}

bool Save(const QImage &img, const QString &path, const char *format) {
    if (!img.save(path, format)) {
        std::fprintf(stderr, "make_skins: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Mask: the outline path filled black on white, no antialiasing (a pixel is in or out).
QImage Mask(QSize size, const QPainterPath &outline) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillPath(outline, Qt::black);
    p.end();
    return img.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
}

struct Skin {
    QString name;
    Layout layout;
    QImage background;
    QPainterPath outline;
    QSize buttonSize, playlistSize;
    ButtonStyle buttons, playlistButton;
    QImage posBack, posThumb, balBack, balThumb, volBack, volThumb;
};

bool WriteSkin(const QString &dataDir, const Skin &s) {
    const QString dir = dataDir + "/Skins/" + s.name + "/";
    QDir().mkpath(dir);
    bool ok = Save(s.background, dir + s.name + ".png", "PNG");
    ok &= Save(Mask(s.layout.body, s.outline), dir + s.name + ".bmp", "BMP");
    const struct {
        const char *stem;
        Icon icon;
        bool playlist;
    } buttons[] = {{"pl", Icon::Playlist, true}, {"prev", Icon::Prev, false},
                   {"play", Icon::Play, false},  {"stop", Icon::Stop, false},
                   {"ps", Icon::Pause, false},   {"next", Icon::Next, false}};
    for (const auto &b : buttons) {
        const ButtonStyle &style = b.playlist ? s.playlistButton : s.buttons;
        const QSize size = b.playlist ? s.playlistSize : s.buttonSize;
        ok &= Save(Button(size, b.icon, false, style), dir + b.stem + "up.png", "PNG");
        ok &= Save(Button(size, b.icon, true, style), dir + b.stem + "down.png", "PNG");
    }
    ok &= Save(s.posBack, dir + "posback.bmp", "BMP");
    ok &= Save(s.posThumb, dir + "posthumb.bmp", "BMP");
    ok &= Save(s.balBack, dir + "balback.bmp", "BMP");
    ok &= Save(s.balThumb, dir + "balthumb.bmp", "BMP");
    ok &= Save(s.volBack, dir + "volback.bmp", "BMP");
    ok &= Save(s.volThumb, dir + "volthumb.bmp", "BMP");
    return ok;
}

QString IniSection(const Skin &s) {
    const Layout &l = s.layout;
    QString out;
    QTextStream t(&out);
    t << "[" << s.name << "]\r\n";
    auto xy = [&](const char *left, const char *top, QPoint p) {
        t << left << "=" << p.x() << "\r\n" << top << "=" << p.y() << "\r\n";
    };
    xy("PlbtnLeft", "PlbtnTop", l.pl);
    xy("PrevBtnLeft", "PrevBtnTop", l.prev);
    xy("PlayBtnLeft", "PlayBtnTop", l.play);
    xy("StopBtnLeft", "StopBtnTop", l.stop);
    xy("PsBtnLeft", "PsBtnTop", l.ps);
    xy("NextBtnLeft", "NextBtnTop", l.next);
    xy("SdisplayLeft", "SdisplayTop", l.display);
    xy("SongTitleLeft", "SongTitleTop", l.title.topLeft());
    t << "SongTitleWidth=" << l.title.width() << "\r\nSongTitleHeight=" << l.title.height()
      << "\r\n";
    t << "SongTitleCharWidth=" << kBannerCell << "\r\n";
    xy("PosSliderLeft", "PosSliderTop", l.pos);
    xy("PosBalLeft", "PosBalTop", l.bal);
    xy("PosVolLeft", "PosVolTop", l.vol);
    t << "SongTitleBC=$" << QString::number(l.titleColor, 16).toUpper().rightJustified(6, '0')
      << "\r\n";
    xy("SpectrumLeft", "SpectrumTop", l.spectrum.topLeft());
    t << "SpectrumWidth=" << l.spectrum.width() << "\r\nSpectrumHeight=" << l.spectrum.height()
      << "\r\n";
    t << "Visual=Spectrum\r\n";
    t << "Texture=1\r\n";
    return out;
}

// ---------------------------------------------------------------- Steel: dark brushed metal

Skin MakeSteel() {
    Skin s;
    s.name = "Steel";
    Layout &l = s.layout;
    l.body = QSize(300, 166);
    const QRect display(8, 8, 284, 98);
    l.title = QRect(22, 15, 16 * kBannerCell, kBannerHeight);
    l.spectrum = QRect(QPoint(22, 45), kSpectrumPainter);
    l.display = QPoint(221, 50);
    l.pos = QPoint(22, 115);
    l.bal = QPoint(248, 115);
    l.vol = QPoint(214, 140);
    const int by = 135;
    s.buttonSize = QSize(28, 22);
    s.playlistSize = QSize(28, 22);
    l.prev = QPoint(12, by);
    l.play = QPoint(42, by);
    l.ps = QPoint(72, by);
    l.stop = QPoint(102, by);
    l.next = QPoint(132, by);
    l.pl = QPoint(168, by);
    l.titleColor = 0x000000;

    s.outline.addRoundedRect(QRectF(0, 0, l.body.width(), l.body.height()), 11, 11);

    // Body.
    QImage img(l.body, QImage::Format_ARGB32);
    img.fill(QColor(20, 22, 25));
    BrushedMetal(img, QRect(QPoint(0, 0), l.body), QColor(62, 66, 72), 0.035, 7);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    {
        // Light falls from the top: a soft sheen over the upper half.
        QLinearGradient sheen(0, 0, 0, l.body.height());
        sheen.setColorAt(0, QColor(255, 255, 255, 38));
        sheen.setColorAt(0.45, QColor(255, 255, 255, 0));
        sheen.setColorAt(1, QColor(0, 0, 0, 70));
        p.fillRect(QRect(QPoint(0, 0), l.body), sheen);
    }
    Bevel(p, QRectF(0, 0, l.body.width(), l.body.height()), 11, QColor(150, 156, 165),
          QColor(12, 13, 15), 1.0);
    Bevel(p, QRectF(1, 1, l.body.width() - 2, l.body.height() - 2), 10, QColor(96, 101, 110),
          QColor(30, 32, 36), 1.0);

    // The display: a recessed glass panel.
    const QColor glass(4, 7, 9);
    Recess(p, display, 6, glass, QColor(140, 146, 156, 160));
    {
        QLinearGradient reflect(display.topLeft(), display.bottomLeft());
        reflect.setColorAt(0, QColor(120, 200, 220, 18));
        reflect.setColorAt(0.4, QColor(120, 200, 220, 0));
        QPainterPath glassPath;
        glassPath.addRoundedRect(QRectF(display), 6, 6);
        p.fillPath(glassPath, reflect);
    }
    const QColor dimCyan(40, 120, 135);
    const QColor faintCyan(18, 52, 60);
    // Frame lines around the banner, the analyser and the time.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(faintCyan);
    p.drawRect(l.title.adjusted(-3, -3, 2, 2));
    p.drawRect(l.spectrum.adjusted(-3, -2, 2, 1));
    const QRect timeBox(l.display - QPoint(4, 4), kTimePanel + QSize(8, 8));
    p.drawRect(timeBox.adjusted(0, 0, -1, -1));
    p.setRenderHint(QPainter::Antialiasing, true);
    EngravedText(p, QRect(timeBox.left(), timeBox.bottom() + 3, timeBox.width(), 9), "ELAPSED", 7,
                 dimCyan, QColor(0, 0, 0, 0), Qt::AlignCenter, QFont::Bold, 110);
    // Product mark in the display's right column.
    EngravedText(p, QRect(200, 80, 88, 12), "MIRVANE", 11, QColor(70, 190, 210), QColor(0, 0, 0, 0),
                 Qt::AlignCenter, QFont::Black, 112);
    EngravedText(p, QRect(200, 92, 88, 9), "16-BAND ANALYSER", 6, dimCyan, QColor(0, 0, 0, 0),
                 Qt::AlignCenter, QFont::Bold, 105);

    // Slots for the sliders, cut into the metal.
    const QColor slot(9, 11, 13);
    const QColor lip(170, 176, 186, 140);
    Recess(p, At(l.pos, kPosSlider), 2, slot, lip);
    Recess(p, At(l.bal, kBalSlider), 2, slot, lip);
    Recess(p, At(l.vol, kVolSlider), 2, slot, lip);
    const QColor ink(20, 22, 26);
    const QColor shine(150, 156, 166, 170);
    EngravedText(p, QRect(206, 114, 38, 14), "BAL", 9, ink, shine,
                 Qt::AlignVCenter | Qt::AlignRight);
    // A small speaker glyph before the volume slot.
    {
        QPainterPath spk;
        const QPointF o(200, l.vol.y() + 6);
        spk.moveTo(o + QPointF(0, -2));
        spk.lineTo(o + QPointF(3, -2));
        spk.lineTo(o + QPointF(7, -5));
        spk.lineTo(o + QPointF(7, 5));
        spk.lineTo(o + QPointF(3, 2));
        spk.lineTo(o + QPointF(0, 2));
        spk.closeSubpath();
        p.fillPath(spk.translated(0, 1), shine);
        p.fillPath(spk, ink);
    }
    // Seat under the transport row: a shallow groove the buttons sit in.
    Recess(p, QRect(l.prev - QPoint(3, 3), QSize(l.next.x() + 28 - l.prev.x() + 6, 28)), 5,
           QColor(16, 18, 21), QColor(150, 156, 166, 120));
    Recess(p, QRect(l.pl - QPoint(3, 3), QSize(34, 28)), 5, QColor(16, 18, 21),
           QColor(150, 156, 166, 120));
    p.end();
    s.background = img.convertToFormat(QImage::Format_ARGB32);

    // Buttons: machined caps with stamped icons; pressed caps sink and the icon lights up.
    s.buttons.iconSize = 9;
    s.buttons.ink = QColor(205, 212, 222);
    s.buttons.inkDown = QColor(110, 230, 250);
    s.buttons.glow = QColor(60, 200, 230);
    s.buttons.face = [](QPainter &p, const QRectF &r, bool down) {
        const QRectF cap = r.adjusted(0.5, 0.5, -0.5, -0.5);
        QLinearGradient g(cap.topLeft(), cap.bottomLeft());
        if (down) {
            g.setColorAt(0, QColor(28, 30, 34));
            g.setColorAt(1, QColor(52, 56, 62));
        } else {
            g.setColorAt(0, QColor(118, 124, 134));
            g.setColorAt(0.5, QColor(74, 79, 87));
            g.setColorAt(1, QColor(50, 54, 60));
        }
        p.setPen(QPen(QColor(8, 9, 11), 1));
        p.setBrush(g);
        p.drawRoundedRect(cap, 4, 4);
        if (!down) {
            p.setPen(QPen(QColor(190, 196, 206, 150), 1));
            p.drawLine(QPointF(cap.left() + 4, cap.top() + 1.5),
                       QPointF(cap.right() - 4, cap.top() + 1.5));
        } else {
            p.setPen(QPen(QColor(0, 0, 0, 120), 1));
            p.drawLine(QPointF(cap.left() + 3, cap.top() + 1.5),
                       QPointF(cap.right() - 3, cap.top() + 1.5));
        }
    };
    s.playlistButton = s.buttons;
    s.playlistButton.iconSize = 10;

    // Sliders: dark slots with a cyan-lit groove; knurled steel knobs.
    const QColor groove(16, 60, 70), grooveLit(50, 170, 190), tick(30, 36, 42);
    s.posBack = Ruler(kPosSlider, slot, groove, grooveLit, 8, tick);
    s.balBack = Ruler(kBalSlider, slot, groove, grooveLit, 0, tick);
    {
        // The balance centre gets a mark.
        QImage b = s.balBack.convertToFormat(QImage::Format_ARGB32);
        QPainter q(&b);
        q.fillRect(16, 1, 1, 3, QColor(80, 180, 200));
        q.fillRect(16, 8, 1, 3, QColor(80, 180, 200));
        q.end();
        s.balBack = Opaque(b);
    }
    s.volBack = Ruler(kVolSlider, slot, groove, grooveLit, 6, tick);
    auto knob = [](QPainter &p, const QRectF &r, bool down) {
        const QRect k = r.toRect();
        // Corners stay olive, the rest is an opaque knob.
        QLinearGradient g(k.topLeft(), k.bottomLeft());
        g.setColorAt(0, down ? QColor(150, 220, 235) : QColor(200, 205, 214));
        g.setColorAt(0.5, down ? QColor(70, 150, 170) : QColor(120, 126, 136));
        g.setColorAt(1, down ? QColor(30, 80, 95) : QColor(60, 64, 72));
        p.fillRect(k.adjusted(1, 0, -1, 0), g);
        p.fillRect(k.adjusted(0, 1, 0, -1), g);
        p.setPen(QColor(10, 11, 13));
        p.drawLine(k.left(), k.top() + 1, k.left(), k.bottom() - 1);
        p.drawLine(k.right(), k.top() + 1, k.right(), k.bottom() - 1);
        p.drawLine(k.left() + 1, k.bottom(), k.right() - 1, k.bottom());
        p.setPen(down ? QColor(200, 245, 255) : QColor(235, 238, 244));
        p.drawLine(k.left() + 1, k.top(), k.right() - 1, k.top());
        // Grip lines.
        const int cx = k.center().x();
        for (int dx = -2; dx <= 2; dx += 2) {
            p.setPen(QColor(20, 22, 26));
            p.drawLine(cx + dx, k.top() + 3, cx + dx, k.bottom() - 3);
        }
    };
    s.posThumb = Thumb(QSize(14, 12), knob);
    s.balThumb = Thumb(QSize(9, 12), knob);
    s.volThumb = Thumb(QSize(10, 12), knob);
    return s;
}

// ---------------------------------------------------------------- Amber: warm and light

Skin MakeAmber() {
    Skin s;
    s.name = "Amber";
    Layout &l = s.layout;
    l.body = QSize(284, 184);
    const QRect tab(92, 0, 100, 20);
    const QRect display(12, 26, 260, 94);
    l.spectrum = QRect(QPoint(22, 33), kSpectrumPainter);
    l.title = QRect(22, 94, 14 * kBannerCell, kBannerHeight);
    l.display = QPoint(206, 37);
    l.bal = QPoint(215, 70);
    l.pos = QPoint(54, 130);
    l.vol = QPoint(192, 157);
    s.buttonSize = QSize(26, 26);
    s.playlistSize = QSize(34, 18);
    const int by = 150;
    l.prev = QPoint(18, by);
    l.play = QPoint(47, by);
    l.ps = QPoint(76, by);
    l.stop = QPoint(105, by);
    l.next = QPoint(134, by);
    l.pl = QPoint(238, 127);
    l.titleColor = 0x000000;

    s.outline.addRoundedRect(QRectF(0, 12, l.body.width(), l.body.height() - 12), 18, 18);
    s.outline.addRoundedRect(QRectF(tab), 8, 8);
    s.outline.setFillRule(Qt::WindingFill);
    s.outline = s.outline.simplified();

    QImage img(l.body, QImage::Format_ARGB32);
    img.fill(QColor(120, 70, 30));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    {
        // Warm cream body with a soft vertical fall-off.
        QLinearGradient g(0, 0, 0, l.body.height());
        g.setColorAt(0, QColor(252, 240, 214));
        g.setColorAt(0.55, QColor(238, 214, 170));
        g.setColorAt(1, QColor(214, 176, 120));
        p.fillPath(s.outline, g);
        // Fine paper-like grain.
        std::mt19937 rng(11);
        std::uniform_int_distribution<int> px(0, l.body.width() - 1), py(0, l.body.height() - 1);
        for (int i = 0; i < 2600; ++i) {
            p.fillRect(px(rng), py(rng), 1, 1, QColor(120, 70, 20, 14));
        }
    }
    // Orange band along the bottom, behind the transport row.
    {
        QPainterPath band;
        const double top = by - 3;
        band.addRect(QRectF(0, top, l.body.width(), l.body.height() - top));
        QLinearGradient g(0, top, 0, l.body.height());
        g.setColorAt(0, QColor(236, 132, 40));
        g.setColorAt(1, QColor(190, 90, 20));
        p.fillPath(band.intersected(s.outline), g);
        p.setPen(QPen(QColor(255, 210, 150), 1));
        p.drawLine(QPointF(6, top + 0.5), QPointF(l.body.width() - 6, top + 0.5));
    }
    // Rim.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(140, 80, 30), 1.5));
    p.drawPath(s.outline);
    p.setPen(QPen(QColor(255, 248, 230, 200), 1));
    QPainterPath innerRim;
    innerRim.addRoundedRect(QRectF(1.5, 13.5, l.body.width() - 3, l.body.height() - 15), 17, 17);
    p.drawPath(innerRim);
    // Title on the tab.
    EngravedText(p, tab.adjusted(0, 1, 0, -5), "MIRVANE", 10, QColor(150, 70, 10),
                 QColor(255, 250, 235), Qt::AlignCenter, QFont::Black, 118);

    // The display: deep brown glass in a rounded bezel.
    // Near-black glass, so the analyser's black background sits in it without a seam.
    Recess(p, display, 9, QColor(3, 2, 1), QColor(255, 250, 235, 220));
    {
        QPainterPath glassPath;
        glassPath.addRoundedRect(QRectF(display), 9, 9);
        QLinearGradient reflect(display.topLeft(), display.bottomLeft());
        reflect.setColorAt(0, QColor(255, 170, 60, 26));
        reflect.setColorAt(0.35, QColor(255, 170, 60, 0));
        p.fillPath(glassPath, reflect);
    }
    const QColor amberDim(150, 90, 25), amberFaint(70, 40, 12);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(amberFaint);
    p.drawLine(display.left() + 8, l.title.top() - 4, display.right() - 8, l.title.top() - 4);
    const QRect timeBox(l.display - QPoint(4, 4), kTimePanel + QSize(8, 8));
    p.drawRect(timeBox.adjusted(0, 0, -1, -1));
    p.drawLine(l.spectrum.right() + 6, l.spectrum.top(), l.spectrum.right() + 6, l.title.top() - 8);
    p.setRenderHint(QPainter::Antialiasing, true);
    EngravedText(p, QRect(timeBox.left(), l.bal.y() - 10, timeBox.width(), 9), "BALANCE", 7,
                 amberDim, QColor(0, 0, 0, 0), Qt::AlignCenter, QFont::Bold, 110);
    EngravedText(p, QRect(timeBox.left() - 4, 80, timeBox.width() + 8, 9), "L        R", 7,
                 amberDim, QColor(0, 0, 0, 0), Qt::AlignCenter, QFont::Bold, 100);

    // Slots.
    const QColor slot(26, 14, 6);
    const QColor lip(255, 250, 235, 230);
    Recess(p, At(l.pos, kPosSlider), 3, slot, lip);
    Recess(p, At(l.vol, kVolSlider), 3, slot, lip);
    const QColor ink(120, 60, 15), shine(255, 248, 230, 220);
    EngravedText(p, QRect(12, 128, 38, 16), "SEEK", 9, ink, shine,
                 Qt::AlignVCenter | Qt::AlignRight);
    EngravedText(p, QRect(164, l.vol.y() - 2, 26, 16), "VOL", 9, QColor(90, 35, 0),
                 QColor(255, 200, 140, 200), Qt::AlignVCenter | Qt::AlignRight);
    p.end();
    s.background = img;

    // Round cream buttons with brown icons; pressed ones turn orange.
    s.buttons.iconSize = 9;
    s.buttons.ink = QColor(110, 55, 15);
    s.buttons.inkDown = QColor(255, 250, 235);
    s.buttons.face = [](QPainter &p, const QRectF &r, bool down) {
        const QRectF c = r.adjusted(1, 1, -1, -1);
        QRadialGradient g(c.center() - QPointF(3, down ? 0 : 4), c.width() * 0.75);
        if (down) {
            g.setColorAt(0, QColor(255, 160, 60));
            g.setColorAt(1, QColor(190, 85, 15));
        } else {
            g.setColorAt(0, QColor(255, 252, 240));
            g.setColorAt(1, QColor(222, 190, 140));
        }
        p.setPen(QPen(QColor(120, 55, 10), 1.2));
        p.setBrush(g);
        p.drawEllipse(c);
    };
    s.playlistButton = s.buttons;
    s.playlistButton.iconSize = 8;
    s.playlistButton.face = [](QPainter &p, const QRectF &r, bool down) {
        const QRectF c = r.adjusted(1, 1, -1, -1);
        QLinearGradient g(c.topLeft(), c.bottomLeft());
        g.setColorAt(0, down ? QColor(255, 160, 60) : QColor(255, 252, 240));
        g.setColorAt(1, down ? QColor(190, 85, 15) : QColor(222, 190, 140));
        p.setPen(QPen(QColor(120, 55, 10), 1.2));
        p.setBrush(g);
        p.drawRoundedRect(c, c.height() / 2, c.height() / 2);
    };

    const QColor groove(90, 45, 10), grooveLit(255, 170, 60), tick(60, 34, 14);
    s.posBack = Ruler(kPosSlider, slot, groove, grooveLit, 11, tick);
    s.balBack = Ruler(kBalSlider, QColor(10, 6, 3), groove, grooveLit, 0, tick);
    s.volBack = Ruler(kVolSlider, slot, groove, grooveLit, 0, tick);
    auto knob = [](QPainter &p, const QRectF &r, bool down) {
        const QRect k = r.toRect();
        const QColor face = down ? QColor(255, 150, 40) : QColor(250, 236, 206);
        const QColor edge(110, 50, 10);
        p.fillRect(k.adjusted(1, 1, -1, -1), face);
        p.setPen(edge);
        p.drawLine(k.left() + 1, k.top(), k.right() - 1, k.top());
        p.drawLine(k.left() + 1, k.bottom(), k.right() - 1, k.bottom());
        p.drawLine(k.left(), k.top() + 1, k.left(), k.bottom() - 1);
        p.drawLine(k.right(), k.top() + 1, k.right(), k.bottom() - 1);
        p.setPen(down ? QColor(120, 50, 0) : QColor(200, 120, 40));
        p.drawLine(k.center().x(), k.top() + 3, k.center().x(), k.bottom() - 3);
    };
    s.posThumb = Thumb(QSize(12, 12), knob);
    s.balThumb = Thumb(QSize(9, 12), knob);
    s.volThumb = Thumb(QSize(9, 12), knob);
    return s;
}

} // namespace

int main(int argc, char **argv) {
    // Text needs a platform plugin; offscreen needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_skins <data folder>\n");
        return 2;
    }
    const QString dataDir = QString::fromLocal8Bit(argv[1]);
    const Skin skins[] = {MakeSteel(), MakeAmber()};
    QString ini;
    bool ok = true;
    for (const Skin &s : skins) {
        ok &= WriteSkin(dataDir, s);
        if (!ini.isEmpty()) {
            ini += "\r\n";
        }
        ini += IniSection(s);
    }
    QFile file(dataDir + "/Skins.ini");
    if (!file.open(QIODevice::WriteOnly) || file.write(ini.toLatin1()) != ini.size()) {
        std::fprintf(stderr, "make_skins: cannot write Skins.ini\n");
        return 1;
    }
    return ok ? 0 : 1;
}
