#pragma once
// The equalizer's fixed arithmetic: its six bands, the slider-to-gain rule, how a stored
// slider value is read, and the pictures the window draws. No widget, no library call.

#include <QColor>
#include <QImage>
#include <QString>
#include <array>
#include <optional>

namespace mirvane::eq {

inline constexpr int kBands = 6;
inline constexpr int kMinValue = 0;       // slider at the bottom: +10 dB
inline constexpr int kMaxValue = 19;      // slider at the top: -9 dB
inline constexpr int kDesignValue = 8;    // +2 dB
inline constexpr float kBandwidth = 2.5f; // octaves
inline constexpr float kQ = 0.0f;         // 0: the bandwidth applies
inline constexpr int kPriority = 0;       // the equalizer runs after the effects (priority 1)

struct Band {
    const char *slider;  // objectName of its slider
    const char *hint;    // tooltip
    float centre;        // Hz
    const char *stored;  // name of its value in the settings store
    const char *handler; // change handler slot
};

inline constexpr std::array<Band, kBands> kBandTable = {{
    {"vsEQdbass", "80Hz", 80.0f, "eq80", "vseqdbassChange"},
    {"vsEQBass", "125Hz", 125.0f, "eq125", "vsEQBASSChange"},
    {"vsEQ310", "310Hz", 310.0f, "eq310", "vsEQ310Change"},
    {"vsEQmid", "1khz", 1000.0f, "eq1000", "vsEQMIDChange"},
    {"vsEQtreble", "8Khz", 8000.0f, "eq8000", "vsEQTREBLEChange"},
    {"vsEQ14", "14Khz", 14000.0f, "eq14000", "vseq14Change"},
}};

// Gain in dB of a slider value: 10 - value, so moving a thumb up lowers its band.
inline float GainDb(int value) {
    return static_cast<float>(10 - value);
}

// A slider value as read from the store: missing (or not a number) gives the design value 8,
// a number outside 0..19 the nearer end.
int StoredValue(std::optional<int> stored);

// The ruler the six sliders share: 3 x 89 pixels, red at both ends shading to green in the
// middle.
QImage RulerImage();

// Colour of the background stripe i (0..255) and the stripe height for a client height:
// the window goes from dark blue-green at the top to dark red at the bottom.
inline QColor StripeColour(int i) {
    return QColor(i, 32, 25);
}
inline int StripeHeight(int clientHeight) {
    return (clientHeight + 255) / 256;
}

} // namespace mirvane::eq
