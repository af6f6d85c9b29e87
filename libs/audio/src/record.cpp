// Recording through the capture device: the capture callback fills a ring that
// BASS_ChannelGetData reads.
#include "engine.h"

#include <algorithm>

namespace mirvane::audio {

void Engine::captureThunk(void *user, const int16_t *in, int frames) {
    auto *r = static_cast<RecordState *>(user);
    const size_t chans = size_t(r->channels);
    const uint64_t w = r->written.load(std::memory_order_relaxed);
    const uint64_t rd = r->read.load(std::memory_order_acquire);
    // When the reader lags a whole second, the newest data is dropped (the ring never
    // overwrites what the reader may be copying).
    const size_t room = r->capacity - size_t(w - rd);
    const size_t n = std::min(room, size_t(frames));
    for (size_t i = 0; i < n; ++i)
        for (size_t c = 0; c < chans; ++c)
            r->ring[size_t((w + i) % r->capacity) * chans + c] = in[i * chans + c];
    r->written.store(w + n, std::memory_order_release);
    const uint64_t h = r->heard.load(std::memory_order_relaxed);
    for (size_t i = 0; i < size_t(frames); ++i) {
        float sum = 0;
        for (size_t c = 0; c < chans; ++c)
            sum += float(in[i * chans + c]) / 32768.0f;
        r->history[size_t((h + i) % RecordState::kHistory)].store(sum / float(chans),
                                                                  std::memory_order_relaxed);
    }
    r->heard.store(h + size_t(frames), std::memory_order_release);
}

bool Engine::recordInit(int device) {
    if (device != 0 && device != -1) {
        setError(BASS_ERROR_DEVICE);
        return false;
    }
    // Proves a capture device can be opened; RecordStart opens it for real.
    RecordState probe(44100, 2);
    auto dev = CaptureDevice::openDefault(44100, 2, &Engine::captureThunk, &probe);
    if (!dev) {
        setError(BASS_ERROR_DRIVER);
        return false;
    }
    dev.reset();
    std::lock_guard<std::mutex> g(mutex_);
    recordInit_ = true;
    setError(BASS_OK);
    return true;
}

DWORD Engine::recordStart(DWORD freq, DWORD chans, void *proc) {
    if (proc) {
        setError(BASS_ERROR_ILLPARAM);
        return 0;
    }
    if (freq < 8000 || freq > 192000 || chans < 1 || chans > 2) {
        setError(BASS_ERROR_ILLPARAM);
        return 0;
    }
    {
        std::lock_guard<std::mutex> g(mutex_);
        if (!recordInit_) {
            setError(BASS_ERROR_INIT);
            return 0;
        }
        if (record_) {
            setError(BASS_ERROR_ALREADY);
            return 0;
        }
    }
    auto r = std::make_unique<RecordState>(int(freq), int(chans));
    r->device = CaptureDevice::openDefault(int(freq), int(chans), &Engine::captureThunk, r.get());
    if (!r->device) {
        setError(BASS_ERROR_DRIVER);
        return 0;
    }
    auto ch = std::make_shared<Channel>();
    ch->kind = Kind::Record;
    ch->rate = int(freq);
    ch->playRate = int(freq);
    ch->channels = int(chans);
    ch->record = r.get();
    r->channel = ch;
    std::lock_guard<std::mutex> g(mutex_);
    ch->handle = newHandle();
    channels_[ch->handle] = ch;
    r->device->start();
    record_ = std::move(r);
    setError(BASS_OK);
    return ch->handle;
}

bool Engine::recordFree() {
    std::unique_ptr<RecordState> r;
    {
        std::lock_guard<std::mutex> g(mutex_);
        const bool was = recordInit_;
        recordInit_ = false;
        r = std::move(record_);
        if (r)
            channels_.erase(r->channel->handle);
        if (!was && !r) {
            setError(BASS_ERROR_INIT);
            return false;
        }
    }
    if (r) {
        r->device.reset(); // the capture callback has returned once this is done
        std::lock_guard<std::recursive_mutex> cl(r->channel->mutex);
        r->channel->freed.store(true);
        r->channel->record = nullptr;
    }
    setError(BASS_OK);
    return true;
}

} // namespace mirvane::audio
