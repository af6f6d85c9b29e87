// One peaking-equalizer band (RBJ cookbook biquad), for BASS_FX_PARAMEQ.
#pragma once

#include <vector>

namespace mirvane::audio {

struct ParamEqParams {
    float center = 1000.0f;  // Hz
    float bandwidth = 12.0f; // semitones
    float gain = 0.0f;       // dB
};

class ParamEq {
  public:
    void set(const ParamEqParams &p, int rate);
    const ParamEqParams &params() const { return params_; }
    // Filters frames interleaved frames of chans channels in place. At 0 dB it leaves the
    // samples untouched (bit for bit), so default bands cost nothing and change nothing.
    void process(float *buffer, unsigned frames, unsigned chans, int rate);
    void reset();

  private:
    ParamEqParams params_;
    int rate_ = 0;
    double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
    std::vector<double> state_; // x1, x2, y1, y2 per channel
};

} // namespace mirvane::audio
