#pragma once
// The built-in pictures of the custom controls, drawn by tools/make_control_art.py and
// compiled in as Qt resources (":/controls/art/<name>.png").
//
// Usage (player window):
//   STitle->setFontChars(mirvane::PlayerFontChars());
//   STitle->setFontBitmap(mirvane::PlayerFontBitmap());   // also makes the label black
//
// GUI thread only (the cursor needs a running QGuiApplication; images work without one).

#include <QCursor>
#include <QImage>
#include <QString>

namespace mirvane {

// One of "W95_HTB" (18 x 17), "W95_HRL" (10 x 10), "W95_VTB" (34 x 9), "W95_VRL" (8 x 10),
// "AD_HAND" (32 x 32, with alpha) or "player_font" (1598 x 20). Slider pictures are RGB32 with
// olive RGB(128, 128, 0) as their see-through colour. An unknown name gives a null image.
QImage ControlArt(const QString &name);

// The hand pointer of slider thumbs and picture buttons; hot spot at the index fingertip.
QCursor HandCursor();

// The title banner's dot-matrix font: 99 cyan glyphs on black in 16-pixel cells, 20 high.
QImage PlayerFontBitmap();
// The characters of PlayerFontBitmap's cells, in cell order: space to Z, Ä Å Ö, [ to _, ÿ,
// a to z, ä å ö ü û.
QString PlayerFontChars();
constexpr int PlayerFontCharWidth = 16;

} // namespace mirvane
