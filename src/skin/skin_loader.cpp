#include "skin/skin_loader.h"

#include <algorithm>
#include <cmath>

#include "common/dialogs.h"
#include "common/ini.h"
#include "controls/bitmap_font_label.h"
#include "controls/bitmap_slider.h"
#include "skin/window_shaper.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>

namespace mirvane {

const char *const kDefaultSkinName = "Steel";

namespace {

const char *const kParamsError = "Error reading one or more skin parameters!";
const char *const kGraphicsError = "Could not load all graphics!";
const char *const kCaption = "Mirvane Player";

// Reads exactly the named format, so a file that merely carries the extension is refused.
QImage ReadImage(const QString &path, const char *format) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw SkinFileError(QStringLiteral("%1: %2").arg(path, file.errorString()).toStdString());
    }
    QImageReader reader(&file, format);
    reader.setAutoDetectImageFormat(false);
    QImage image = reader.read();
    if (image.isNull()) {
        throw SkinFileError(QStringLiteral("%1: %2").arg(path, reader.errorString()).toStdString());
    }
    return image;
}

// PNG keeps its alpha, so transparent pixels show what lies behind the button. On a screen of
// ratio 2 or more a readable "@2x" file beside the picture is taken instead, at ratio 2.
QPixmap ReadPng(const QString &path, qreal screenRatio) {
    const QString twoX = TwoXArtPath(path, screenRatio);
    if (!twoX.isEmpty() && QFile::exists(twoX)) {
        try {
            QPixmap pixmap = QPixmap::fromImage(ReadImage(twoX, "png"));
            pixmap.setDevicePixelRatio(2);
            return pixmap;
        } catch (const SkinFileError &) {
            // The twin is an extra: a broken one leaves the skin as it would be without it.
        }
    }
    return QPixmap::fromImage(ReadImage(path, "png"));
}

// Windows bitmaps have no alpha: a 32-bit file's fourth byte must not make pixels vanish.
QImage ReadBmp(const QString &path) {
    return ReadImage(path, "bmp").convertToFormat(QImage::Format_RGB32);
}

void SetPicture(QLabel *label, const QPixmap &pixmap) {
    label->setPixmap(pixmap);
    label->resize(pixmap.deviceIndependentSize().toSize());
}

// A missing control is the caller's mistake, not the skin's: it is thrown before anything
// changes.
void CheckParts(const SkinParts &p) {
    const std::pair<const void *, const char *> parts[] = {
        {p.Image1, "Image1"},       {p.plButton, "plButton"},     {p.PrevBtn, "PrevBtn"},
        {p.PlayBtn, "PlayBtn"},     {p.StopBtn, "StopBtn"},       {p.psBtn, "psBtn"},
        {p.NextBtn, "NextBtn"},     {p.vrDisplay1, "vrDisplay1"}, {p.STitle, "STitle"},
        {p.SliderPos, "SliderPos"}, {p.SliderBal, "SliderBal"},   {p.SliderVol, "SliderVol"},
        {p.PaintBox1, "PaintBox1"}, {p.trans1, "trans1"}};
    for (const auto &[part, what] : parts) {
        if (!part) {
            throw std::invalid_argument(std::string("LoadSkin: SkinParts has no ") + what);
        }
    }
}

// Phase 1: every position and size key of the section, in file-format order, each applied to
// its control as soon as it is read.
void ApplyLayout(const SkinParts &p, const IniFile &ini, const QString &name) {
    // No screen shows more than this; a larger number in a skin is a typo or an attack, and
    // sizes beyond it would make every paint allocate and loop for nothing.
    constexpr int kLargest = 8192;
    auto integer = [&](const char *key, int def = 0) {
        return std::clamp(ini.readInteger(name, QString::fromLatin1(key), def), -kLargest,
                          kLargest);
    };
    auto place = [&](QWidget *w, const char *leftKey, const char *topKey) {
        w->move(integer(leftKey), w->y());
        w->move(w->x(), integer(topKey));
    };
    place(p.plButton, "PlbtnLeft", "PlbtnTop");
    place(p.PrevBtn, "PrevBtnLeft", "PrevBtnTop");
    place(p.PlayBtn, "PlayBtnLeft", "PlayBtnTop");
    place(p.StopBtn, "StopBtnLeft", "StopBtnTop");
    place(p.psBtn, "PsBtnLeft", "PsBtnTop");
    place(p.NextBtn, "NextBtnLeft", "NextBtnTop");
    place(p.vrDisplay1, "SdisplayLeft", "SdisplayTop");

    place(p.STitle, "SongTitleLeft", "SongTitleTop");
    p.STitle->resize(integer("SongTitleWidth"), p.STitle->height());
    p.STitle->resize(p.STitle->width(), integer("SongTitleHeight"));
    // The banner refuses widths below 1 itself and keeps its own.
    p.STitle->setCharWidth(integer("SongTitleCharWidth"));

    place(p.SliderPos, "PosSliderLeft", "PosSliderTop");
    place(p.SliderBal, "PosBalLeft", "PosBalTop");
    place(p.SliderVol, "PosVolLeft", "PosVolTop");

    p.STitle->setColor(ColorFromProfile(integer("SongTitleBC")));

    // The analyser area only: the painter keeps the drawing size it was made with.
    place(p.PaintBox1, "SpectrumLeft", "SpectrumTop");
    p.PaintBox1->resize(integer("SpectrumWidth", 169), p.PaintBox1->height());
    p.PaintBox1->resize(p.PaintBox1->width(), integer("SpectrumHeight", 40));
}

// Phase 3, step 10: a slider takes new pictures only through the orientation switch, which
// keeps its value and fires nothing.
void DressSlider(BitmapSlider *slider, const QString &dir, const char *stem) {
    const QString base = dir + QString::fromLatin1(stem);
    // ReadBmp throws before the assignment, so a failed read leaves the picture as it was.
    slider->ImageHRulerRef() = ReadBmp(base + "back.bmp");
    slider->ImageHThumbRef() = ReadBmp(base + "thumb.bmp");
    slider->setOrientation(BitmapSlider::soVertical);
    slider->setOrientation(BitmapSlider::soHorizontal);
}

} // namespace

int ArtScale(qreal screenRatio) {
    // Halves round up, as the application rounds a fractional screen.
    return std::max(1, int(std::floor(screenRatio + 0.5)));
}

QString TwoXArtPath(const QString &path, qreal screenRatio) {
    if (ArtScale(screenRatio) < 2)
        return {};
    const qsizetype slash = path.lastIndexOf('/');
    const qsizetype dot = path.lastIndexOf('.');
    return dot > slash ? path.left(dot) + "@2x" + path.mid(dot) : path + "@2x";
}

QColor ColorFromProfile(int bgr) {
    const auto v = static_cast<unsigned>(bgr);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

QStringList SkinNames(const QString &programDir) {
    return IniFile::Load(programDir + "Skins.ini").sections();
}

void LoadSkin(SkinParts &parts, SkinState &state, const QString &programDir, const QString &name) {
    CheckParts(parts);

    // Phase 1.
    IniFile ini;
    try {
        state.skinDir = programDir + "Skins/" + (name.isEmpty() ? QString() : name + "/");
        ini = IniFile::Load(programDir + "Skins.ini");
        ApplyLayout(parts, ini, name);
    } catch (const std::exception &) {
        ShowMessage(parts.window, QString::fromLatin1(kParamsError), QString::fromLatin1(kCaption),
                    MsgIcon::None);
    }

    // Phase 2: failures go to the caller.
    const QString dir = state.skinDir;
    const qreal ratio = parts.window ? parts.window->devicePixelRatioF() : 1.0;
    state.visual = ini.readString(name, "Visual", "Spectrum");
    if (ini.readInteger(name, "Texture", 0) != 0) {
        SetPicture(parts.Image1, ReadPng(dir + name + ".png", ratio));
        parts.Image1->move(0, 0);
    }
    parts.trans1->MaskRef() = ReadBmp(dir + name + ".bmp");
    parts.trans1->setActive(true);
    parts.STitle->setColor(ColorFromProfile(ini.readInteger(name, "SongTitleBC", 0)));
    parts.Image1->update();

    // Phase 3.
    try {
        SetPicture(parts.plButton, ReadPng(dir + "plup.png", ratio));
        SetPicture(parts.PrevBtn, ReadPng(dir + "prevup.png", ratio));
        SetPicture(parts.PlayBtn, ReadPng(dir + "playup.png", ratio));
        SetPicture(parts.StopBtn, ReadPng(dir + "stopup.png", ratio));
        SetPicture(parts.psBtn, ReadPng(dir + "psup.png", ratio));
        SetPicture(parts.NextBtn, ReadPng(dir + "nextup.png", ratio));
        DressSlider(parts.SliderPos, dir, "pos");
        DressSlider(parts.SliderBal, dir, "bal");
        DressSlider(parts.SliderVol, dir, "vol");
        parts.STitle->setBanner(true);
    } catch (const std::exception &) {
        ShowMessage(parts.window, QString::fromLatin1(kGraphicsError),
                    QString::fromLatin1(kCaption), MsgIcon::None);
    }
}

void SwapButtonImage(QLabel *button, const QString &skinDir, const QString &stem) {
    SetPicture(button, ReadPng(skinDir + stem + ".png", button->devicePixelRatioF()));
}

} // namespace mirvane
