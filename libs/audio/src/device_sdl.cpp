// Output and capture through SDL2.
#include "device.h"
#include "errors.h"

#include <SDL.h>

namespace mirvane::audio {
namespace {

class SdlOutput final : public OutputDevice {
  public:
    SdlOutput(SDL_AudioDeviceID id, int rate, int samples)
        : id_(id), rate_(rate), samples_(samples) {}
    ~SdlOutput() override {
        SDL_CloseAudioDevice(id_); // waits for a running callback to return
        releaseAudioSystem();
    }
    double latencySeconds() const override { return double(samples_) / rate_; }
    std::string description() const override {
        return "Default output (SDL2 " + currentDriverName() + ")";
    }

  private:
    SDL_AudioDeviceID id_;
    int rate_, samples_;
};

struct MixThunk {
    MixFn fn;
    void *user;
};

class SdlCapture final : public CaptureDevice {
  public:
    SdlCapture(CaptureFn fn, void *user) : fn_(fn), user_(user) {}
    ~SdlCapture() override {
        if (id_)
            SDL_CloseAudioDevice(id_);
        releaseAudioSystem();
    }
    bool open(int rate, int channels) {
        SDL_AudioSpec want{}, have{};
        want.freq = rate;
        want.format = AUDIO_S16SYS;
        want.channels = Uint8(channels);
        want.samples = 1024;
        want.callback = &SdlCapture::callback;
        want.userdata = this;
        id_ = SDL_OpenAudioDevice(nullptr, 1, &want, &have, 0);
        channels_ = channels;
        return id_ != 0;
    }
    void start() override { SDL_PauseAudioDevice(id_, 0); }

  private:
    static void callback(void *user, Uint8 *stream, int len) {
        auto *self = static_cast<SdlCapture *>(user);
        self->fn_(self->user_, reinterpret_cast<const int16_t *>(stream),
                  len / int(sizeof(int16_t)) / self->channels_);
    }
    CaptureFn fn_;
    void *user_;
    SDL_AudioDeviceID id_ = 0;
    int channels_ = 2;
};

// The mix function and its user pointer outlive the device; SDL gets them through this.
class SdlOutputWithThunk final : public OutputDevice {
  public:
    SdlOutputWithThunk(MixFn fn, void *user) : thunk_{fn, user} {}
    ~SdlOutputWithThunk() override { out_.reset(); }
    bool open(int rate) {
        SDL_AudioSpec want{}, have{};
        want.freq = rate;
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = 512; // about 12 ms at 44100 Hz: positions stay within 30 ms of the ear
        want.callback = &SdlOutputWithThunk::callback;
        want.userdata = &thunk_;
        // No changes allowed: SDL converts, so the mix always runs at our rate in stereo float.
        SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (!id)
            return false;
        out_ = std::make_unique<SdlOutput>(id, rate, have.samples ? have.samples : 512);
        SDL_PauseAudioDevice(id, 0);
        return true;
    }
    double latencySeconds() const override { return out_->latencySeconds(); }
    std::string description() const override { return out_->description(); }

  private:
    static void callback(void *user, Uint8 *stream, int len) {
        auto *t = static_cast<MixThunk *>(user);
        t->fn(t->user, reinterpret_cast<float *>(stream), len / int(2 * sizeof(float)));
    }
    MixThunk thunk_;
    std::unique_ptr<SdlOutput> out_;
};

} // namespace

bool acquireAudioSystem() {
    // SDL would otherwise take SIGINT and SIGTERM for its own event queue, which nobody reads
    // here: the program could then only be ended with SIGKILL.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}
void releaseAudioSystem() {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

std::string currentDriverName() {
    const char *d = SDL_GetCurrentAudioDriver();
    return d ? d : "no driver";
}

std::unique_ptr<OutputDevice> OutputDevice::openDefault(int rate, MixFn mix, void *user) {
    if (!acquireAudioSystem()) {
        setErrorText(SDL_GetError());
        return nullptr;
    }
    auto dev = std::make_unique<SdlOutputWithThunk>(mix, user);
    if (!dev->open(rate)) {
        setErrorText(SDL_GetError());
        releaseAudioSystem();
        return nullptr;
    }
    return dev; // SdlOutput now owns the reference
}

std::unique_ptr<CaptureDevice> CaptureDevice::openDefault(int rate, int channels, CaptureFn fn,
                                                          void *user) {
    if (!acquireAudioSystem()) {
        setErrorText(SDL_GetError());
        return nullptr;
    }
    auto dev = std::make_unique<SdlCapture>(fn, user);
    if (!dev->open(rate, channels)) {
        setErrorText(SDL_GetError());
        return nullptr; // the destructor gives the reference back
    }
    return dev;
}

} // namespace mirvane::audio
