#include "effects/crossfade.h"

#include <algorithm>
#include <cstring>

namespace mirvane {

Crossfade::Crossfade(double fadeSeconds) : fadeSeconds_(fadeSeconds), dry_(kMaxSamples) {}

void Crossfade::SetOn(bool on) {
    const unsigned s = state_.load(std::memory_order_relaxed);
    if (bool(s & 1u) == on)
        return;
    state_.store(((s >> 1) + 1) << 1 | unsigned(on), std::memory_order_release);
}

void Crossfade::Tap(HDSP, DWORD, float *buffer, DWORD frames, DWORD chans, DWORD, void *user) {
    if (buffer)
        static_cast<Crossfade *>(user)->TapBlock(buffer, std::size_t(frames) * chans);
}

void Crossfade::Mix(HDSP, DWORD, float *buffer, DWORD frames, DWORD chans, DWORD rate, void *user) {
    if (buffer && chans > 0)
        static_cast<Crossfade *>(user)->MixBlock(buffer, frames, chans, rate);
}

void Crossfade::TapBlock(const float *buffer, std::size_t samples) {
    // Tap and Mix of one block must agree on the target, whatever the control thread does
    // in between: the block's state is read once, here.
    blockState_ = state_.load(std::memory_order_acquire);
    const bool on = blockState_ & 1u;
    if (on && gain_ == 1.0f) {
        drySamples_ = 0; // fully on: the processed block is the output, no copy needed
        return;
    }
    drySamples_ = std::min(samples, dry_.size());
    std::memcpy(dry_.data(), buffer, drySamples_ * sizeof(float));
}

void Crossfade::MixBlock(float *buffer, std::size_t frames, unsigned chans, unsigned rate) {
    const bool on = blockState_ & 1u;
    const float target = on ? 1.0f : 0.0f;
    if (gain_ != target || drySamples_ > 0) {
        const float step = float(1.0 / (fadeSeconds_ * std::max(rate, 1u)));
        const std::size_t blended = std::min(frames, drySamples_ / chans);
        for (std::size_t f = 0; f < blended; ++f) {
            gain_ = on ? std::min(1.0f, gain_ + step) : std::max(0.0f, gain_ - step);
            float *out = buffer + f * chans;
            const float *dry = dry_.data() + f * chans;
            if (gain_ == 0.0f) {
                std::memcpy(out, dry, chans * sizeof(float));
            } else if (gain_ != 1.0f) {
                for (unsigned c = 0; c < chans; ++c)
                    out[c] = dry[c] + gain_ * (out[c] - dry[c]);
            }
        }
    }
    if (gain_ == target)
        settled_.store(blockState_, std::memory_order_release);
}

} // namespace mirvane
