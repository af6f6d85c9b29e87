#pragma once
// Pure text arithmetic of the bitmap-font banner: upper-casing, filling, the frame of a timer
// tick and the glyph lookup. No widget needed; BitmapFontLabel is a thin shell over these.
// Positions in texts are 1-based where noted, as the banner's scroll position is.

#include <QChar>
#include <QString>

namespace mirvane {

// Upper case by the Windows-1252 single-byte rules: a-z, the accented small letters
// (à..þ except ÷), š, œ, ž and ÿ get their capitals; everything else (ß, µ, characters
// outside the code page) is left as it is.
QChar Cp1252Upper(QChar c);
QString Cp1252Upper(const QString &s);

enum class BannerAlign { Left, Right, Centre };

// Fills `s` up to `visible` characters with `fill` (left: all at the end; right: all at the
// front; centre: the smaller half at the front). A fill of code 0 or a long enough text
// leaves `s` as it is.
QString BannerFill(const QString &s, int visible, QChar fill, BannerAlign align);

// The scroll and blink state a timer tick advances.
struct BannerTickState {
    int scrollPos = 1;  // 1-based index into the text of the first character shown
    int blinkPhase = 0; // 0..5; fill characters only in phases 0 and 1 while blinking
};

// One timer tick (text non-empty, visible > 0): advances the blink phase, returns the frame
// of `visible` characters, and moves the scroll position one character on while scrolling
// (every other tick while also blinking), wrapping after the last character. The text's
// beginning follows directly on its end.
QString BannerTickFrame(const QString &text, int visible, bool banner, bool blink, QChar fill,
                        BannerTickState &state);

// 0-based glyph cell of `c` in `fontChars`; characters missing take the cell of `fill`; -1 when
// that is missing too (the character then takes no cell).
int BannerGlyphCell(QChar c, const QString &fontChars, QChar fill);

// How many cells of `charWidth` fit a text area `areaWidth` wide (the area's far edge counts
// as one more pixel). 0 for a char width below 1.
int BannerVisibleCount(int areaWidth, int charWidth);

} // namespace mirvane
