// Sample-rate conversion of interleaved stereo float from a channel's rate to the output rate.
#pragma once

#include <cstddef>
#include <memory>

namespace mirvane::audio {

class Resampler {
  public:
    // nullptr when libsoxr refuses the rates.
    static std::unique_ptr<Resampler> create(double inRate, double outRate);
    virtual ~Resampler() = default;
    // Converts inFrames (in may be nullptr to flush the tail at the end) into out, which holds
    // outCapacity frames; returns the frames written. All input is always taken.
    virtual size_t process(const float *in, size_t inFrames, float *out, size_t outCapacity) = 0;
    virtual void reset() = 0;
};

} // namespace mirvane::audio
