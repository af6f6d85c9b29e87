#pragma once
// The twelve switchable effects of the "DSP effects" page, in the order of the page's tab
// stops (down the left column, then up the right one). That order is also the order in which
// ticked effects are attached to a channel.

#include <array>

namespace mirvane::effects {

struct EffectBox {
    const char *caption;
    const char *box;     // objectName of its check box
    const char *handler; // click handler slot
    int dsp;             // effect number of the effects library
    int x, y;            // place on the page
};

inline constexpr int kEffects = 12;
inline constexpr int kBoxHeight = 17;
inline constexpr int kPriority = 1; // before the equalizer (priority 0)

inline constexpr std::array<EffectBox, kEffects> kEffectTable = {{
    {"Rotate", "checkbox1", "checkbox1Click", 1, 24, 8},
    {"Echo", "checkbox2", "checkbox2Click", 2, 24, 32},
    {"Echo 2.0", "echo2", "echo2Click", 13, 24, 56},
    {"Echo 2.1", "echo21", "echo21Click", 15, 24, 80},
    {"Low Pass Filter", "vrcheckled4", "vrcheckled4Click", 7, 24, 104},
    {"AutoWah", "awah", "awahClick", 12, 24, 126},
    {"Dyn. Amp", "damp", "dampClick", 11, 128, 126},
    {"Reverb", "vrcheckled5", "vrcheckled5Click", 6, 128, 104},
    {"Cutter", "vrcheckled3", "vrcheckled3Click", 8, 128, 80},
    {"Swap channels", "vrcheckled2", "vrcheckled2Click", 0, 128, 56},
    {"Flanger v2", "vrcheckled1", "vrcheckled1Click", 9, 128, 32},
    {"Flanger", "checkbox3", "checkbox3Click", 3, 128, 8},
}};

} // namespace mirvane::effects
