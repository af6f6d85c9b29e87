// Output and capture devices. SDL2 is included only by device_sdl.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace mirvane::audio {

// Called on the device's own thread to fill frames interleaved stereo float frames.
// It must not block, allocate or decode.
using MixFn = void (*)(void *user, float *out, int frames);
// Called on the capture thread with frames of interleaved 16-bit samples.
using CaptureFn = void (*)(void *user, const int16_t *in, int frames);

class OutputDevice {
  public:
    // Opens the default output at rate Hz, stereo float, and starts it. nullptr when it cannot
    // be opened.
    static std::unique_ptr<OutputDevice> openDefault(int rate, MixFn mix, void *user);
    virtual ~OutputDevice() = default; // stops the callback before returning
    // Time from a sample leaving the mix callback to being heard (one device buffer).
    virtual double latencySeconds() const = 0;
    virtual std::string description() const = 0;
};

class CaptureDevice {
  public:
    static std::unique_ptr<CaptureDevice> openDefault(int rate, int channels, CaptureFn fn,
                                                      void *user);
    virtual ~CaptureDevice() = default;
    virtual void start() = 0;
};

// The audio part of SDL is reference counted: each device holds one reference; these take
// one more for the library's own needs (device names). false when no driver works.
bool acquireAudioSystem();
void releaseAudioSystem();
std::string currentDriverName();

} // namespace mirvane::audio
