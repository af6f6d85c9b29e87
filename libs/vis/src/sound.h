#pragma once
// What the plugins are shown of a channel: the newest samples and the spectrum, read from the
// audio library once per frame. bass.h is included only by sound.cpp.

#include <array>
#include <cstdint>
#include <vector>

namespace mirvane::vis {

constexpr int kWaveFrames = 576; // enough for both plugin kinds (512 and 576)
constexpr int kFftBins = 1024;

// The newest sound of one channel. Owned by one visualisation; one thread.
class SoundTap {
  public:
    // Reads what the channel has now: for a recording the captured bytes not yet read, for a
    // playing channel the last bytes heard, and its FFT. Channel 0 or a failing read gives
    // silence in the parts that failed.
    void update(uint32_t channel);

    // Left and right, kWaveFrames each, oldest first, -1 .. 1.
    const std::array<std::array<float, kWaveFrames>, 2> &wave() const { return wave_; }
    // FFT magnitudes, kFftBins bins over 0 .. rate / 2, channels mixed (0.5 = full-scale sine).
    const std::array<float, kFftBins> &fft() const { return fft_; }

  private:
    std::array<std::array<float, kWaveFrames>, 2> wave_{};
    std::array<float, kFftBins> fft_{};
    std::vector<int16_t> chunk_;
};

// Pure: the 256 panel bands from the FFT bins, for sensitivity 1..4 and zoom 0..3.
void PanelSpectrum(const std::array<float, kFftBins> &fft, int sensitivity, int zoom, float *out,
                   int bands);
// Pure: count bands of 0..255 from the FFT bins, over the whole range.
void ByteSpectrum(const std::array<float, kFftBins> &fft, unsigned char *out, int count);

} // namespace mirvane::vis
