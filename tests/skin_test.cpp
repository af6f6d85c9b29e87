// The skin loader against a stand-in player window with the real controls, in a temporary
// program folder whose skins are drawn by the test: every picture has its own colour, so a
// test can tell which file ended up on which control.
#include "skin_host.h"

#include "common/dialogs.h"
#include "common/ini.h"
#include "controls/bitmap_font_label.h"
#include "controls/bitmap_slider.h"
#include "skin/skin_loader.h"
#include "skin/window_shaper.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

using mirvane::LoadSkin;
using mirvane::RecordingDialogs;
using mirvane::SkinFileError;
using mirvane::SkinState;
using mirvane::SwapButtonImage;

namespace {

QApplication &App() {
    static int argc = 1;
    static char name[] = "skin_test";
    static char *argv[] = {name, nullptr};
    static QApplication *app = new QApplication(argc, argv);
    return *app;
}

const char *const kButtonStems[] = {"pl", "prev", "play", "stop", "ps", "next"};

// The colour of picture `file` of a skin drawn with `tone`: distinct per file and per tone.
QRgb Tone(int tone, int file) {
    return qRgb(tone * 40 % 256, file * 12 % 256, 200 - tone);
}

QImage Solid(QSize size, QRgb colour) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

QRgb PixelOf(const QLabel *label) {
    return label->pixmap().toImage().pixel(0, 0);
}

// A program folder of its own: Skins.ini and skin folders, removed at the end.
class ProgramFolder {
  public:
    ProgramFolder() { EXPECT_TRUE(m_dir.isValid()); }
    QString path() const { return m_dir.path() + "/"; }
    QString skinDir(const QString &name) const {
        return path() + "Skins/" + (name.isEmpty() ? QString() : name + "/");
    }

    void WriteIni(const QByteArray &text) const {
        QFile f(path() + "Skins.ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    // Every file of skin `name`. Button images are (10 + tone) x (8 + file) so sizes tell
    // them apart too; the mask leaves a border of `tone` pixels outside the window.
    void MakeSkin(const QString &name, int tone) const {
        const QString dir = skinDir(name);
        QDir().mkpath(dir);
        Solid({90, 60}, Tone(tone, 0)).save(dir + name + ".png", "PNG");
        QImage mask = Solid({90, 60}, qRgb(255, 255, 255));
        QPainter(&mask).fillRect(QRect(tone, tone, 90 - 2 * tone, 60 - 2 * tone), Qt::black);
        mask.save(dir + name + ".bmp", "BMP");
        int file = 1;
        for (const char *stem : kButtonStems) {
            Solid({10 + tone, 8 + file}, Tone(tone, file)).save(dir + stem + "up.png", "PNG");
            Solid({12 + tone, 8 + file}, Tone(tone, file + 20))
                .save(dir + stem + "down.png", "PNG");
            ++file;
        }
        const struct {
            const char *stem;
            int width;
        } sliders[] = {{"pos", 176}, {"bal", 33}, {"vol", 78}};
        for (const auto &s : sliders) {
            Solid({s.width, 12}, Tone(tone, file++)).save(dir + s.stem + "back.bmp", "BMP");
            // Normal state left, pressed state right.
            QImage thumb = Solid({2 * (6 + tone), 12}, Tone(tone, file++));
            QPainter(&thumb).fillRect(6 + tone, 0, 6 + tone, 12, QColor(Tone(tone, 40)));
            thumb.save(dir + s.stem + "thumb.bmp", "BMP");
        }
    }

    void Remove(const QString &name, const QString &file) const {
        ASSERT_TRUE(QFile::remove(skinDir(name) + file)) << file.toStdString();
    }

  private:
    QTemporaryDir m_dir;
};

QByteArray Section(const QByteArray &name, const QByteArray &keys) {
    return "[" + name + "]\r\n" + keys + "\r\n";
}

const QByteArray kFullKeys = "PlbtnLeft=1\nPlbtnTop=2\nPrevBtnLeft=3\nPrevBtnTop=4\n"
                             "PlayBtnLeft=5\nPlayBtnTop=6\nStopBtnLeft=7\nStopBtnTop=8\n"
                             "PsBtnLeft=9\nPsBtnTop=10\nNextBtnLeft=11\nNextBtnTop=12\n"
                             "SdisplayLeft=13\nSdisplayTop=14\n"
                             "SongTitleLeft=15\nSongTitleTop=16\nSongTitleWidth=160\n"
                             "SongTitleHeight=22\nSongTitleCharWidth=8\n"
                             "PosSliderLeft=17\nPosSliderTop=18\nPosBalLeft=19\nPosBalTop=20\n"
                             "PosVolLeft=21\nPosVolTop=22\nSongTitleBC=$00FF00\n"
                             "SpectrumLeft=23\nSpectrumTop=24\nSpectrumWidth=100\n"
                             "SpectrumHeight=30\nVisual=Bars\nTexture=1\n";

class SkinLoad : public ::testing::Test {
  protected:
    void Load(const QString &name) {
        auto parts = host.parts();
        LoadSkin(parts, state, program.path(), name);
    }
    QStringList Messages() const {
        QStringList texts;
        for (const auto &m : dialogs.messages) {
            texts << m.text;
        }
        return texts;
    }

    struct AppFirst {
        AppFirst() { App(); }
    } appFirst; // the application must exist before the host's widgets
    RecordingDialogs dialogs;
    ProgramFolder program;
    SkinHost host;
    SkinState state;
};

TEST_F(SkinLoad, FullSectionDressesEveryControl) {
    program.MakeSkin("Full", 3);
    program.WriteIni(Section("Full", kFullKeys));
    host.SliderPos->setValue(40);
    host.SliderBal->setValue(-30);
    host.SliderVol->setValue(70);
    host.STitle->setBanner(false);
    int changes = 0;
    for (BitmapSlider *s : {host.SliderPos, host.SliderBal, host.SliderVol}) {
        QObject::connect(s, &BitmapSlider::OnChange, [&changes] { ++changes; });
    }

    Load("Full");

    EXPECT_TRUE(Messages().isEmpty()) << Messages().join("|").toStdString();
    EXPECT_EQ(state.skinDir, program.path() + "Skins/Full/");
    EXPECT_EQ(state.visual, "Bars");
    // Positions and sizes, key by key.
    EXPECT_EQ(host.plButton->pos(), QPoint(1, 2));
    EXPECT_EQ(host.PrevBtn->pos(), QPoint(3, 4));
    EXPECT_EQ(host.PlayBtn->pos(), QPoint(5, 6));
    EXPECT_EQ(host.StopBtn->pos(), QPoint(7, 8));
    EXPECT_EQ(host.psBtn->pos(), QPoint(9, 10));
    EXPECT_EQ(host.NextBtn->pos(), QPoint(11, 12));
    EXPECT_EQ(host.vrDisplay1->geometry(), QRect(13, 14, 51, 13));
    EXPECT_EQ(host.STitle->geometry(), QRect(15, 16, 160, 22));
    EXPECT_EQ(host.STitle->CharWidth(), 8);
    EXPECT_EQ(host.SliderPos->geometry(), QRect(17, 18, 176, 12));
    EXPECT_EQ(host.SliderBal->geometry(), QRect(19, 20, 33, 12));
    EXPECT_EQ(host.SliderVol->geometry(), QRect(21, 22, 78, 12));
    EXPECT_EQ(host.STitle->Color(), QColor(0, 255, 0));
    EXPECT_EQ(host.PaintBox1->geometry(), QRect(23, 24, 100, 30));
    // Pictures: background at the top left at its own size, buttons at theirs.
    EXPECT_EQ(host.Image1->geometry(), QRect(0, 0, 90, 60));
    EXPECT_EQ(PixelOf(host.Image1), Tone(3, 0));
    int file = 1;
    for (QLabel *b :
         {host.plButton, host.PrevBtn, host.PlayBtn, host.StopBtn, host.psBtn, host.NextBtn}) {
        EXPECT_EQ(b->size(), QSize(13, 8 + file)) << b->objectName().toStdString();
        EXPECT_EQ(PixelOf(b), Tone(3, file)) << b->objectName().toStdString();
        ++file;
    }
    // Sliders took ruler and thumb (the thumb shows one of its two states) and kept values.
    for (BitmapSlider *s : {host.SliderPos, host.SliderBal, host.SliderVol}) {
        const std::string n = s->objectName().toStdString();
        EXPECT_EQ(s->ImageHRuler().pixel(0, 0), Tone(3, file++)) << n;
        EXPECT_EQ(s->RulerStrip().pixel(0, 0), Tone(3, file - 1)) << n;
        EXPECT_EQ(s->Thumb()->Image().pixel(0, 0), Tone(3, file++)) << n;
        EXPECT_EQ(s->Thumb()->size(), QSize(9, 12)) << n;
        EXPECT_EQ(s->Orientation(), BitmapSlider::soHorizontal) << n;
    }
    EXPECT_EQ(host.SliderPos->Value(), 40);
    EXPECT_EQ(host.SliderBal->Value(), -30);
    EXPECT_EQ(host.SliderVol->Value(), 70);
    EXPECT_EQ(changes, 0);
    // The outline: the mask's white border lies outside, and the banner scrolls again.
    EXPECT_TRUE(host.trans1->Active());
    EXPECT_EQ(host.mask(), QRegion(3, 3, 84, 54));
    EXPECT_TRUE(host.STitle->Banner());
}

TEST_F(SkinLoad, TitleColourInEveryIntegerForm) {
    program.MakeSkin("C", 1);
    const struct {
        const char *value;
        QColor colour;
    } cases[] = {{"255", Qt::red},
                 {"0xFF", Qt::red},
                 {"$FF", Qt::red},
                 {"0XfF", Qt::red},
                 {"$FF0000", Qt::blue},
                 {"65280", Qt::green},
                 {"$00808000", QColor(0, 128, 128)},
                 {"red", Qt::black}};
    for (const auto &c : cases) {
        program.WriteIni(Section("C", QByteArray("SongTitleBC = ") + c.value));
        Load("C");
        EXPECT_EQ(host.STitle->Color(), c.colour) << c.value;
    }
    EXPECT_TRUE(Messages().isEmpty());
}

TEST_F(SkinLoad, MissingOrBadKeysTakeTheirDefaults) {
    program.MakeSkin("Full", 2);
    program.MakeSkin("Sparse", 4);
    program.WriteIni(Section("Full", kFullKeys) +
                     Section("sparse", "plbtnleft=12px\nPRevBtnLeft = 44 \nVisual=spectrum"));
    Load("Full");
    ASSERT_EQ(host.STitle->CharWidth(), 8);

    Load("Sparse");
    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_EQ(host.plButton->pos(), QPoint(0, 0)); // "12px" is not an integer
    EXPECT_EQ(host.PrevBtn->pos(), QPoint(44, 0)); // names without regard to case
    EXPECT_EQ(host.STitle->geometry(), QRect(0, 0, 0, 0));
    EXPECT_EQ(host.STitle->CharWidth(), 8); // missing: the banner keeps its width
    EXPECT_EQ(host.PaintBox1->geometry(), QRect(0, 0, 169, 40));
    EXPECT_EQ(state.visual, "spectrum"); // only exactly "Spectrum" means the analyser
    // Texture missing: no background is read, the previous one stays.
    EXPECT_EQ(PixelOf(host.Image1), Tone(2, 0));
    EXPECT_EQ(PixelOf(host.plButton), Tone(4, 1));

    program.WriteIni(Section("Sparse", "SongTitleCharWidth=0"));
    Load("Sparse");
    EXPECT_EQ(host.STitle->CharWidth(), 8);
    EXPECT_EQ(state.visual, "Spectrum");

    // Far beyond any screen: held to what a screen can show.
    program.WriteIni(Section("Sparse", "PlbtnLeft=99999999\nPlbtnTop=-99999999\n"
                                       "SpectrumWidth=2000000000\nSongTitleHeight=99999999"));
    Load("Sparse");
    EXPECT_EQ(host.plButton->pos(), QPoint(8192, -8192));
    EXPECT_EQ(host.PaintBox1->width(), 8192);
    EXPECT_EQ(host.STitle->height(), 8192);

    // No Skins.ini at all: every default, no message.
    ASSERT_TRUE(QFile::remove(program.path() + "Skins.ini"));
    Load("Full");
    EXPECT_EQ(host.plButton->pos(), QPoint(0, 0));
    EXPECT_EQ(host.PaintBox1->size(), QSize(169, 40));
    EXPECT_TRUE(Messages().isEmpty());
}

TEST_F(SkinLoad, EmptyNameTakesItsFilesFromTheSkinsFolder) {
    program.MakeSkin("", 5); // Skins/.png, Skins/.bmp, Skins/plup.png, ...
    program.WriteIni("[Other]\nPlbtnLeft=9\n[]\nTexture=1\nPlbtnLeft=6\n");
    Load("");
    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_EQ(state.skinDir, program.path() + "Skins/");
    EXPECT_EQ(host.plButton->pos(), QPoint(6, 0));
    EXPECT_EQ(PixelOf(host.Image1), Tone(5, 0));
    EXPECT_EQ(host.mask(), QRegion(5, 5, 80, 50));
    EXPECT_EQ(PixelOf(host.NextBtn), Tone(5, 6));
}

TEST_F(SkinLoad, MissingThumbShowsOneMessageAndSkipsTheRest) {
    program.MakeSkin("Old", 1);
    program.MakeSkin("New", 6);
    program.Remove("New", "posthumb.bmp");
    program.WriteIni(Section("Old", "Texture=1") + Section("New", "Texture=1"));
    Load("Old");
    const QImage oldStrip = host.SliderPos->RulerStrip();
    const QImage oldThumb = host.SliderPos->Thumb()->Image();
    host.STitle->setBanner(false);

    Load("New");

    EXPECT_EQ(Messages(), QStringList{"Could not load all graphics!"});
    // Phase 2 and the buttons are the new skin's.
    EXPECT_EQ(PixelOf(host.Image1), Tone(6, 0));
    EXPECT_EQ(PixelOf(host.NextBtn), Tone(6, 6));
    // The position slider holds the new ruler picture but still shows the old layout.
    EXPECT_EQ(host.SliderPos->ImageHRuler().pixel(0, 0), Tone(6, 7));
    EXPECT_EQ(host.SliderPos->RulerStrip(), oldStrip);
    EXPECT_EQ(host.SliderPos->Thumb()->Image(), oldThumb);
    EXPECT_EQ(host.SliderPos->ImageHThumb().pixel(0, 0), Tone(1, 8)); // the failed read kept it
    // Balance and volume were not reached; the banner stays as it was.
    EXPECT_EQ(host.SliderBal->ImageHRuler().pixel(0, 0), Tone(1, 9));
    EXPECT_EQ(host.SliderVol->Thumb()->Image().pixel(0, 0), Tone(1, 12));
    EXPECT_FALSE(host.STitle->Banner());
}

TEST_F(SkinLoad, MissingButtonImageStopsAtThatButton) {
    program.MakeSkin("Old", 1);
    program.MakeSkin("New", 2);
    program.Remove("New", "stopup.png");
    program.WriteIni(Section("Old", "") + Section("New", ""));
    Load("Old");
    Load("New");
    EXPECT_EQ(Messages(), QStringList{"Could not load all graphics!"});
    EXPECT_EQ(PixelOf(host.PlayBtn), Tone(2, 3));
    EXPECT_EQ(PixelOf(host.StopBtn), Tone(1, 4));
    EXPECT_EQ(PixelOf(host.psBtn), Tone(1, 5));
}

TEST_F(SkinLoad, UnreadableMaskOrBackgroundGoesToTheCaller) {
    program.MakeSkin("Old", 1);
    program.MakeSkin("NoMask", 2);
    program.MakeSkin("NoPicture", 3);
    program.MakeSkin("PlainPicture", 4);
    program.MakeSkin("Fake", 5);
    program.Remove("NoMask", "NoMask.bmp");
    program.Remove("NoPicture", "NoPicture.png");
    program.Remove("PlainPicture", "PlainPicture.png");
    // A PNG under the mask's name is not a Windows bitmap.
    program.Remove("Fake", "Fake.bmp");
    ASSERT_TRUE(
        QFile::copy(program.skinDir("Fake") + "Fake.png", program.skinDir("Fake") + "Fake.bmp"));
    program.WriteIni(Section("Old", "Texture=1") + Section("NoMask", "Texture=1\nPlbtnLeft=5") +
                     Section("NoPicture", "Texture=1") + Section("PlainPicture", "Texture=0") +
                     Section("Fake", "Texture=0"));
    Load("Old");
    host.STitle->setBanner(false);

    EXPECT_THROW(Load("NoMask"), SkinFileError);
    EXPECT_EQ(host.plButton->x(), 5);              // phase 1 ran
    EXPECT_EQ(PixelOf(host.Image1), Tone(2, 0));   // the background came before the mask
    EXPECT_EQ(PixelOf(host.plButton), Tone(1, 1)); // phase 3 did not run
    EXPECT_EQ(host.mask(), QRegion(1, 1, 88, 58)); // the outline stays
    EXPECT_FALSE(host.STitle->Banner());

    EXPECT_THROW(Load("NoPicture"), SkinFileError);
    EXPECT_EQ(PixelOf(host.Image1), Tone(2, 0));
    EXPECT_EQ(host.mask(), QRegion(1, 1, 88, 58));

    EXPECT_THROW(Load("Fake"), SkinFileError);
    EXPECT_EQ(host.mask(), QRegion(1, 1, 88, 58));

    Load("PlainPicture"); // Texture 0: its picture is never looked for
    EXPECT_EQ(host.mask(), QRegion(4, 4, 82, 52));
    EXPECT_TRUE(Messages().isEmpty());
}

TEST_F(SkinLoad, ButtonsSwapPressAndReleaseImagesFromDisk) {
    program.MakeSkin("S", 2);
    program.WriteIni(Section("S", ""));
    Load("S");
    int file = 1;
    for (const char *stem : kButtonStems) {
        QLabel *button = host.findChild<QLabel *>(
            QStringList{"plButton", "PrevBtn", "PlayBtn", "StopBtn", "psBtn", "NextBtn"}[file - 1]);
        SwapButtonImage(button, state.skinDir, QString(stem) + "down");
        EXPECT_EQ(PixelOf(button), Tone(2, file + 20)) << stem;
        EXPECT_EQ(button->size(), QSize(14, 8 + file)) << stem;
        SwapButtonImage(button, state.skinDir, QString(stem) + "up");
        EXPECT_EQ(PixelOf(button), Tone(2, file)) << stem;
        ++file;
    }
    // Read at every press: a changed file shows at once.
    Solid({5, 5}, qRgb(1, 2, 3)).save(state.skinDir + "playdown.png", "PNG");
    SwapButtonImage(host.PlayBtn, state.skinDir, "playdown");
    EXPECT_EQ(PixelOf(host.PlayBtn), qRgb(1, 2, 3));
    // A missing image throws and the button keeps what it showed.
    program.Remove("S", "playup.png");
    EXPECT_THROW(SwapButtonImage(host.PlayBtn, state.skinDir, "playup"), SkinFileError);
    EXPECT_EQ(PixelOf(host.PlayBtn), qRgb(1, 2, 3));
    EXPECT_EQ(host.PlayBtn->size(), QSize(5, 5));
}

TEST(SkinParts, AMissingControlIsTheCallersMistake) {
    App();
    RecordingDialogs dialogs;
    SkinHost host;
    auto parts = host.parts();
    parts.trans1 = nullptr;
    SkinState state;
    EXPECT_THROW(LoadSkin(parts, state, "/nonexistent/", "x"), std::invalid_argument);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(mirvane::ColorFromProfile(0x00336699), QColor(0x99, 0x66, 0x33));
}

// The skins that ship: each loads without a message, sets every key, and keeps every control
// inside its own outline and background picture.
TEST(ShippedSkins, EachLoadsCleanlyAndFitsItsOutline) {
    App();
    const QString data = QStringLiteral(MIRVANE_SOURCE_DIR "/data/");
    const mirvane::IniFile ini = mirvane::IniFile::Load(data + "Skins.ini");
    const QStringList names = ini.sections();
    ASSERT_GE(names.size(), 2);
    EXPECT_TRUE(names.contains(QString::fromLatin1(mirvane::kDefaultSkinName)));
    EXPECT_EQ(mirvane::SkinNames(data), names);
    const QStringList keys = {
        "PlbtnLeft",    "PlbtnTop",       "PrevBtnLeft",     "PrevBtnTop",         "PlayBtnLeft",
        "PlayBtnTop",   "StopBtnLeft",    "StopBtnTop",      "PsBtnLeft",          "PsBtnTop",
        "NextBtnLeft",  "NextBtnTop",     "SdisplayLeft",    "SdisplayTop",        "SongTitleLeft",
        "SongTitleTop", "SongTitleWidth", "SongTitleHeight", "SongTitleCharWidth", "PosSliderLeft",
        "PosSliderTop", "PosBalLeft",     "PosBalTop",       "PosVolLeft",         "PosVolTop",
        "SongTitleBC",  "SpectrumLeft",   "SpectrumTop",     "SpectrumWidth",      "SpectrumHeight",
        "Visual",       "Texture"};
    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(ini.keys(name), keys);
        RecordingDialogs dialogs;
        SkinHost host;
        SkinState state;
        auto parts = host.parts();
        LoadSkin(parts, state, data, name);
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_EQ(state.visual, "Spectrum");
        EXPECT_TRUE(host.STitle->Banner());
        const QRegion outline = host.mask();
        ASSERT_FALSE(outline.isEmpty());
        EXPECT_EQ(host.Image1->geometry(), outline.boundingRect());
        for (QWidget *w : std::initializer_list<QWidget *>{
                 host.plButton, host.PrevBtn, host.PlayBtn, host.StopBtn, host.psBtn, host.NextBtn,
                 host.vrDisplay1, host.STitle, host.SliderPos, host.SliderBal, host.SliderVol,
                 host.PaintBox1}) {
            EXPECT_EQ(outline.intersected(w->geometry()), QRegion(w->geometry()))
                << w->objectName().toStdString();
        }
        // The banner shows whole cells of the font, the analyser area all of the painter's bars.
        EXPECT_EQ(host.STitle->width() % host.STitle->CharWidth(), 0);
        EXPECT_EQ(host.STitle->CharWidth(), 16);
        EXPECT_EQ(host.PaintBox1->size(), QSize(169, 57));
        // Nothing overlaps: the buttons, display, banner, sliders and analyser each own their
        // piece of the window.
        const QList<QWidget *> controls = {host.plButton,   host.PrevBtn,   host.PlayBtn,
                                           host.StopBtn,    host.psBtn,     host.NextBtn,
                                           host.vrDisplay1, host.STitle,    host.SliderPos,
                                           host.SliderBal,  host.SliderVol, host.PaintBox1};
        for (int i = 0; i < controls.size(); ++i) {
            for (int j = i + 1; j < controls.size(); ++j) {
                EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                    << controls[i]->objectName().toStdString() << " and "
                    << controls[j]->objectName().toStdString();
            }
        }
    }
}

} // namespace

namespace {

// Switching skins leaves nothing of the previous one behind: a window that wore every other
// shipped skin first looks exactly like one that loads the skin fresh.
TEST(ShippedSkins, SwitchingLooksLikeAFreshLoad) {
    App();
    const QString data = QStringLiteral(MIRVANE_SOURCE_DIR "/data/");
    const QStringList names = mirvane::SkinNames(data);
    RecordingDialogs dialogs;
    SkinHost worn;
    SkinState wornState;
    auto wornParts = worn.parts();
    for (const QString &name : names + names) {
        SCOPED_TRACE(name.toStdString());
        LoadSkin(wornParts, wornState, data, name);
        SkinHost fresh;
        SkinState freshState;
        auto freshParts = fresh.parts();
        LoadSkin(freshParts, freshState, data, name);
        EXPECT_EQ(worn.size(), fresh.size());
        EXPECT_EQ(worn.mask(), fresh.mask());
        EXPECT_TRUE(worn.Snapshot() == fresh.Snapshot());
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

} // namespace

TEST(TwoXArt, TwinLiesBesideThePictureAndIsWantedFromScaleTwo) {
    using mirvane::ArtScale;
    using mirvane::TwoXArtPath;
    EXPECT_EQ(ArtScale(1.0), 1);
    EXPECT_EQ(ArtScale(1.25), 1);
    EXPECT_EQ(ArtScale(1.5), 2); // halves up, as the application rounds a screen
    EXPECT_EQ(ArtScale(2.0), 2);
    EXPECT_EQ(ArtScale(0.5), 1); // never below one pixel
    EXPECT_EQ(TwoXArtPath("Skins/A/playup.png", 1.0), "");
    EXPECT_EQ(TwoXArtPath("Skins/A/playup.png", 1.5), "Skins/A/playup@2x.png");
    EXPECT_EQ(TwoXArtPath("Skins/A/playup.png", 3.0), "Skins/A/playup@2x.png");
    EXPECT_EQ(TwoXArtPath("Skins/a.b/plain", 2.0), "Skins/a.b/plain@2x"); // no extension
}
