#pragma once
// The skin loader: applies one section of Skins.ini and the images of its skin folder to the
// player window's controls, and swaps the six picture buttons' images on press and release.
//
// Files (N is the skin name; paths use '/'):
//   <program dir>Skins.ini            one section per skin, keys below
//   <program dir>Skins/N/N.png        background picture (only when Texture is non-zero)
//   <program dir>Skins/N/N.bmp        outline mask: pixels of its top-left pixel's colour are
//                                     outside the window
//   <program dir>Skins/N/{pl,prev,play,stop,ps,next}{up,down}.png   button images
//   <program dir>Skins/N/{pos,bal,vol}{back,thumb}.bmp   ruler and thumb of each slider
// The empty name takes its files from the Skins folder itself (the mask is "Skins/.bmp").
//
// High-density screens: a PNG picture X.png may have a twin X@2x.png of twice its size; on a
// screen whose ratio rounds to 2 or more the twin is drawn instead, one file pixel per screen
// pixel (its size in window units is half its pixel size); a twin that cannot be read is
// passed over for the picture itself. The masks and the slider pictures
// are always read at one pixel per window unit; the platform scales the outline with the window.
//
// GUI thread only.

#include <QColor>
#include <QString>
#include <QStringList>

#include <stdexcept>

class QLabel;
class QWidget;
class BitmapFontLabel;
class BitmapSlider;
class WindowShaper;

namespace mirvane {

// The skin that start-up loads when no skin name was ever stored.
extern const char *const kDefaultSkinName;

// The player window's controls that a skin places and dresses. All must be set.
struct SkinParts {
    QWidget *window = nullptr; // owner of the messages
    QLabel *Image1 = nullptr;  // background picture, at the window's top left
    QLabel *plButton = nullptr, *PrevBtn = nullptr, *PlayBtn = nullptr, *StopBtn = nullptr,
           *psBtn = nullptr, *NextBtn = nullptr;
    QWidget *vrDisplay1 = nullptr;
    BitmapFontLabel *STitle = nullptr;
    BitmapSlider *SliderPos = nullptr, *SliderBal = nullptr, *SliderVol = nullptr;
    QWidget *PaintBox1 = nullptr; // analyser area; the painter keeps its own drawing size
    WindowShaper *trans1 = nullptr;
};

// What the player window keeps of the last LoadSkin.
struct SkinState {
    QString skinDir; // program dir + "Skins/" + name + "/" ("Skins/" for the empty name)
    QString visual;  // the Visual key; only exactly "Spectrum" switches the analyser on
};

// A skin file that LoadSkin or SwapButtonImage could not read; `what()` names the file.
class SkinFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Applies skin `name` in three phases:
//  1. layout: the skin directory is stored, then every integer key of section `name` is read
//     and applied in turn (a missing file, section or key, or a value that is not an integer,
//     gives the key's default); any failure shows "Error reading one or more skin
//     parameters!" and loading goes on;
//  2. Visual is stored, the background picture (Texture non-zero) and the outline mask are
//     loaded and the shaping switched on, SongTitleBC applied again; a picture that cannot be
//     read throws SkinFileError to the caller, and nothing after it happens;
//  3. the buttons' normal images and the three sliders' ruler and thumb images are loaded in
//     order, then the banner scrolls; the first picture that cannot be read shows "Could not
//     load all graphics!" once and skips the rest of this phase (what was not reached keeps
//     the previous skin's images).
// Messages go through mirvane::ShowMessage, owned by parts.window. A SkinParts with a control
// missing throws std::invalid_argument before anything changes.
void LoadSkin(SkinParts &parts, SkinState &state, const QString &programDir, const QString &name);

// The press and release images: loads skinDir + stem + ".png" into `button` and gives the
// button the picture's size. Reads the file at every call. Throws SkinFileError when the file
// cannot be read; the button then keeps its image.
void SwapButtonImage(QLabel *button, const QString &skinDir, const QString &stem);

// The section names of <programDir>Skins.ini in file order (the skin chooser's list).
QStringList SkinNames(const QString &programDir);

// The whole number of screen pixels a skin pixel takes on a screen of device pixel ratio
// `screenRatio`: the ratio rounded to the nearest integer, halves up; at least 1.
int ArtScale(qreal screenRatio);

// The high-density twin of a picture file ("Skins/A/playup.png" -> "Skins/A/playup@2x.png"),
// or "" when the screen's ArtScale is 1 and the twin is not wanted. Does not look at the disk.
QString TwoXArtPath(const QString &path, qreal screenRatio);

// A profile colour 0x00BBGGRR (red in the low byte) as an opaque colour.
QColor ColorFromProfile(int bgr);

} // namespace mirvane
