#pragma once
// Crossfade: a click-free switch around a stretch of a channel's DSP chain.
//
// Two DSPs of the audio library share one Crossfade: Tap, set in front of the stretch, copies
// each block as it goes in; Mix, set behind it, blends that copy with what the stretch made of
// it: out = dry + gain * (processed - dry). The gain moves linearly between 0 and 1 over the
// fade time, so switching the stretch on or off never steps the output. While the gain rests
// at 0 the output is the dry block exactly, and the stretch may then be changed (effects added
// or removed) without being heard.
//
// Threads: SetOn, SettledOn and SettledOff on the control (GUI) thread; Tap and Mix on the
// thread that fills the channel. They meet only through two atomics: processing never waits,
// locks or allocates.

#include <atomic>
#include <cstddef>
#include <vector>

#include "bass.h"

namespace mirvane {

class Crossfade {
  public:
    // Blocks up to this many samples (frames x channels) are faded; the audio library's blocks
    // are at most 1024 frames. A larger block is passed on as processed, unblended.
    static constexpr std::size_t kMaxSamples = 8192 * 2;

    // fadeSeconds: time the gain takes from 0 to 1 or back; the gain starts at 0 (off).
    explicit Crossfade(double fadeSeconds = 0.03);
    Crossfade(const Crossfade &) = delete;
    Crossfade &operator=(const Crossfade &) = delete;

    // Control thread: where the gain is to go. Repeating the current target does nothing.
    void SetOn(bool on);
    bool TargetOn() const { return state_.load(std::memory_order_relaxed) & 1u; }
    // Control thread: the gain has reached the last target set (blocks processed since).
    bool SettledOn() const { return TargetOn() && Settled(); }
    bool SettledOff() const { return !TargetOn() && Settled(); }

    // The two DSP procedures; user is the Crossfade.
    static void Tap(HDSP, DWORD, float *buffer, DWORD frames, DWORD chans, DWORD rate, void *user);
    static void Mix(HDSP, DWORD, float *buffer, DWORD frames, DWORD chans, DWORD rate, void *user);

  private:
    bool Settled() const {
        return settled_.load(std::memory_order_acquire) == state_.load(std::memory_order_relaxed);
    }
    void TapBlock(const float *buffer, std::size_t samples);
    void MixBlock(float *buffer, std::size_t frames, unsigned chans, unsigned rate);

    const double fadeSeconds_;
    // (sequence << 1) | on. Written by the control thread, read by Tap.
    std::atomic<unsigned> state_{0};
    // The state whose target the gain last reached. Written by Mix.
    std::atomic<unsigned> settled_{0};

    // Processing thread only.
    std::vector<float> dry_;
    std::size_t drySamples_ = 0; // copied by the Tap of the block in progress
    unsigned blockState_ = 0;    // what Tap read for the block in progress
    float gain_ = 0;
};

} // namespace mirvane
