#include "sound.h"

#include "bass.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace mirvane::vis {

namespace {
// One second of 16-bit stereo at 44.1 kHz: the most a recording keeps unread.
constexpr DWORD kReadBytes = 44100 * 4;
} // namespace

void SoundTap::update(uint32_t channel) {
    if (channel == 0) {
        wave_ = {};
        fft_ = {};
        return;
    }
    if (chunk_.empty())
        chunk_.resize(kReadBytes / sizeof(int16_t));
    // The channel is read as 16-bit stereo, as the player starts its recordings.
    const DWORD got = BASS_ChannelGetData(channel, chunk_.data(), kReadBytes);
    if (got != DWORD(-1) && got >= 4) {
        const int frames = int(got / 4);
        const int take = std::min(frames, kWaveFrames);
        const int keep = kWaveFrames - take;
        for (int c = 0; c < 2; ++c) {
            auto &w = wave_[size_t(c)];
            std::memmove(w.data(), w.data() + take, size_t(keep) * sizeof(float));
            const int16_t *src = chunk_.data() + size_t(frames - take) * 2 + size_t(c);
            for (int i = 0; i < take; ++i)
                w[size_t(keep + i)] = float(src[size_t(i) * 2]) / 32768.0f;
        }
    } else if (got == DWORD(-1) && BASS_ErrorGetCode() != BASS_ERROR_NOPLAY) {
        wave_ = {}; // a dead channel is silence
    }
    if (BASS_ChannelGetData(channel, fft_.data(), BASS_DATA_FFT2048) == DWORD(-1))
        fft_ = {};
}

void PanelSpectrum(const std::array<float, kFftBins> &fft, int sensitivity, int zoom, float *out,
                   int bands) {
    const int span = kFftBins >> std::clamp(zoom, 0, 3);
    // sqrt lifts quiet bands into view; a full-scale sine reaches 1 at sensitivity 2.
    const float gain = float(std::clamp(sensitivity, 1, 4)) * 0.75f;
    for (int b = 0; b < bands; ++b) {
        const int lo = b * span / bands;
        const int hi = std::max(lo + 1, (b + 1) * span / bands);
        float m = 0;
        for (int k = lo; k < hi; ++k)
            m = std::max(m, fft[size_t(k)]);
        out[b] = std::min(1.0f, std::sqrt(m) * gain);
    }
}

void ByteSpectrum(const std::array<float, kFftBins> &fft, unsigned char *out, int count) {
    for (int b = 0; b < count; ++b) {
        const int lo = b * kFftBins / count;
        const int hi = std::max(lo + 1, (b + 1) * kFftBins / count);
        float m = 0;
        for (int k = lo; k < hi; ++k)
            m = std::max(m, fft[size_t(k)]);
        out[b] = (unsigned char)std::lround(std::min(1.0f, std::sqrt(m) * 1.5f) * 255.0f);
    }
}

} // namespace mirvane::vis
