// Magnitude spectrum for BASS_DATA_FFT2048.
#pragma once

namespace mirvane::audio {

constexpr int kFftSize = 2048;

// in: kFftSize mono samples, oldest first. out: kFftSize / 2 magnitudes of the Hann-windowed
// transform, scaled so a full-scale sine centred on a bin gives that bin 0.5.
// Callable from any thread (each thread keeps its own plan).
void fftMagnitudes(const float *in, float *out);

} // namespace mirvane::audio
