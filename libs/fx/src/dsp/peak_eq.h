// Peaking equalizer with any number of bands, each a cookbook peaking biquad.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "dsp/effects.h"

namespace mirvane::fx {

struct EqBand {
    int band = 0;
    std::uint32_t freq = 0; // sample rate the caller gave; the filter uses the channel's own
    float bandwidth = 1;    // octaves, used when q is 0
    float q = 0;
    float centre = 1000; // Hz
    float gain = 0;      // dB, -15..+15
};

inline constexpr float kEqMaxGainDb = 15;
inline constexpr float kEqMinOctaves = 0.05f, kEqMaxOctaves = 10.0f;
inline constexpr float kEqMinQ = 0.1f, kEqMaxQ = 40.0f;

class PeakEq final : public Effect {
  public:
    PeakEq(unsigned rate, unsigned chans) : Effect(rate, chans) {}
    ~PeakEq() override;

    // Control thread. Creates or updates the band named in `b.band`; false for a negative band
    // index, a centre that is not above 0, or neither Q nor bandwidth above 0. The gain is
    // clamped to +-15 dB, Q to kEqMinQ..kEqMaxQ, the bandwidth to kEqMinOctaves..kEqMaxOctaves.
    bool setBand(EqBand b);
    // Control thread. Fills the record of the band named in `b.band`; false when it is unknown.
    bool getBand(EqBand &b) const;

    void process(float *buf, std::size_t frames) override;

  private:
    struct Band {
        int index = 0;
        BiquadCoeffs target;
        BiquadCoeffs zero; // the 0 dB member of this band's family: where gliding starts and ends
        // Processing-thread state, carried over from table to table by band index.
        BiquadCoeffs cur, step;
        std::size_t rampLeft = 0; // samples until cur reaches target
        bool running = false;     // false: bypassed, output is bit-for-bit the input
        std::vector<BiquadState> state;
    };
    struct Table {
        std::vector<Band> bands; // ascending band index
        Table *retiredNext = nullptr;
    };
    void runBand(Band &b, float *buf, std::size_t frames);

    std::map<int, EqBand> control_; // control thread only
    ObjectHandover<Table> handover_;
    Table *active_ = nullptr; // processing thread only
};

} // namespace mirvane::fx
