#pragma once
// Pure arithmetic of the bitmap slider: the ruler strip, the value/position mapping, steps,
// paging sides and tick layout. No widget needed; BitmapSlider is a thin shell around these.
//
// Coordinates are slider client pixels. "Position" is the thumb's left edge (horizontal) or
// top edge (vertical). Integer division truncates toward zero throughout.

#include <QImage>
#include <QPoint>
#include <QRect>
#include <vector>

namespace mirvane {

// Olive, the see-through colour of slider and thumb pictures.
constexpr QRgb SliderKeyColor = 0xFF808000;

// Tiles `ruler` along the axis to `length` pixels (negative counts as 0): the first S - E
// pixels once, then the middle tile of S - 2E pixels repeated, the last copy taken from the
// end of the picture so the far end piece is always whole. Across the axis the strip is as
// thick as the picture. Pixels no piece covers (only when the strip is shorter than the
// picture) hold the key colour. A picture no longer than 2 * edge gives only the first piece.
QImage BuildRulerStrip(const QImage &ruler, int length, int edge, bool vertical);

// A copy of `image` as premultiplied ARGB in which pixels of the key colour (compared without
// alpha) are fully transparent, so painting it is a plain alpha blend.
QImage KeyTransparent(const QImage &image, QRgb key = SliderKeyColor);

// What the value/position mapping needs to know about a slider.
struct SliderAxis {
    bool vertical = false;
    int minValue = 0;
    int maxValue = 100;
    int increment = 10;
    bool smooth = true;   // no snapping to the increment grid
    int track = 0;        // strip length - thumb length along the axis
    int clientLength = 0; // client height of a vertical slider (unused when horizontal)
    int thumbLength = 0;  // thumb length along the axis
};

// Thumb position of a value: the track scaled to the range, halves to even; a vertical slider
// counts from the bottom. An empty range or track gives the start of the track.
int SliderPositionOf(const SliderAxis &axis, int value);
// Value at a thumb position, snapped down to the increment grid unless smooth. Not clamped:
// callers clamp the position to 0..track first.
int SliderValueAt(const SliderAxis &axis, int position);
// Where a thumb asked to go to `position` lands: clamped to 0..track, then, unless smooth,
// onto the pixel of the value there.
int SliderThumbTarget(const SliderAxis &axis, int position);

// Up and down steps on the increment grid aligned to 0 (not to the minimum). Saturating.
int SliderStepUp(int value, int increment);
int SliderStepDown(int value, int increment);

// Which side of the thumb a paging press lies on. Down lowers the value, Up raises it; on a
// vertical slider the top side is Up.
enum class PageSide { None, Down, Up };
PageSide SliderPageSide(bool vertical, QPoint pointer, const QRect &thumb);

// Default tick marks: every step * k values from the minimum, k the smallest multiplier that
// keeps ticks at least 3 pixels apart (or leaves one tick). `centre` is the pixel along the
// axis, `length` is endHeight at the minimum and maximum values and height elsewhere.
struct SliderTick {
    int centre;
    int length;
};
std::vector<SliderTick> SliderDefaultTicks(const SliderAxis &axis, int step, int height,
                                           int endHeight);

} // namespace mirvane
