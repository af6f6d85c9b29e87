// Recording: one capture device shared by every recording. The capture callback converts each
// block to every recording's own format and fills that recording's ring, which
// BASS_ChannelGetData reads.
#include "engine.h"

#include <algorithm>
#include <cmath>

namespace mirvane::audio {
namespace {

// One device frame in the recording's channel count (stereo folds to mono by the mean).
inline void convertFrame(const int16_t *in, int inChans, int16_t *out, int outChans) {
    if (inChans == outChans) {
        for (int c = 0; c < outChans; ++c)
            out[c] = in[c];
    } else if (outChans == 1) {
        out[0] = int16_t((int(in[0]) + int(in[1])) / 2);
    } else {
        out[0] = out[1] = in[0];
    }
}

// Appends frames (in the recording's format) to its ring and its mono history.
void append(RecordState &r, const int16_t *frames, size_t count) {
    const size_t chans = size_t(r.channels);
    const uint64_t w = r.written.load(std::memory_order_relaxed);
    const uint64_t rd = r.read.load(std::memory_order_acquire);
    // When the reader lags a whole second, the newest data is dropped (the ring never
    // overwrites what the reader may be copying).
    const size_t room = r.capacity - size_t(w - rd);
    const size_t n = std::min(room, count);
    for (size_t i = 0; i < n; ++i)
        for (size_t c = 0; c < chans; ++c)
            r.ring[size_t((w + i) % r.capacity) * chans + c] = frames[i * chans + c];
    r.written.store(w + n, std::memory_order_release);
    const uint64_t h = r.heard.load(std::memory_order_relaxed);
    for (size_t i = 0; i < count; ++i) {
        float sum = 0;
        for (size_t c = 0; c < chans; ++c)
            sum += float(frames[i * chans + c]) / 32768.0f;
        r.history[size_t((h + i) % RecordState::kHistory)].store(sum / float(chans),
                                                                 std::memory_order_relaxed);
    }
    r.heard.store(h + count, std::memory_order_release);
}

// Converts one device block to the recording's format into its scratch buffer; linear
// interpolation between device frames where the rates differ. Returns the frames made.
size_t convertBlock(RecordState &r, const int16_t *in, size_t frames, int devRate, int devChans) {
    const int chans = r.channels;
    const size_t cap = size_t(r.rate); // scratch holds a second
    size_t made = 0;
    if (devRate == r.rate) {
        made = std::min(frames, cap);
        for (size_t i = 0; i < made; ++i)
            convertFrame(in + i * size_t(devChans), devChans, &r.scratch[i * size_t(chans)], chans);
        return made;
    }
    const double step = double(devRate) / r.rate; // device frames per output frame
    for (size_t i = 0; i < frames; ++i) {
        int16_t cur[2];
        convertFrame(in + i * size_t(devChans), devChans, cur, chans);
        // Output frames lie at phase (in device frames) after prev, up to and including cur.
        while (r.phase <= 1.0 && made < cap) {
            for (int c = 0; c < chans; ++c)
                r.scratch[made * size_t(chans) + size_t(c)] =
                    int16_t(std::lrint(r.prev[c] + (cur[c] - r.prev[c]) * r.phase));
            ++made;
            r.phase += step;
        }
        r.phase -= 1.0;
        for (int c = 0; c < chans; ++c)
            r.prev[c] = cur[c];
    }
    return made;
}

} // namespace

void Engine::capture(const int16_t *in, int frames) {
    captureEpoch_.fetch_add(1); // odd: recordings may be in use
    const int devRate = captureRateNow_.load(), devChans = captureChannelsNow_.load();
    for (auto &slot : recordSlots_) {
        RecordState *r = slot.load();
        if (!r)
            continue;
        const size_t made = convertBlock(*r, in, size_t(frames), devRate, devChans);
        append(*r, r->scratch.get(), made);
        if (r->proc && r->procActive && made > 0)
            r->procActive = r->proc(r->handle, r->scratch.get(),
                                    DWORD(made * 2 * size_t(r->channels)), r->user) != FALSE;
    }
    captureEpoch_.fetch_add(1);
}

bool Engine::recordInit(int device) {
    if (device != 0 && device != -1) {
        setError(BASS_ERROR_DEVICE);
        return false;
    }
    // Proves a capture device can be opened; the first RecordStart opens it for real.
    auto dev = CaptureDevice::openDefault(
        44100, 2, [](void *, const int16_t *, int) {}, nullptr);
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

DWORD Engine::recordStart(DWORD freq, DWORD chans, RECORDPROC *proc, void *user) {
    if (freq < 8000 || freq > 192000 || chans < 1 || chans > 2) {
        setError(BASS_ERROR_ILLPARAM);
        return 0;
    }
    std::unique_lock<std::mutex> g(mutex_);
    if (!recordInit_) {
        setError(BASS_ERROR_INIT);
        return 0;
    }
    int slot = -1;
    for (int i = 0; i < kMaxRecords; ++i)
        if (!recordSlots_[i].load()) {
            slot = i;
            break;
        }
    if (slot < 0) {
        setError(BASS_ERROR_MEM);
        return 0;
    }
    auto r = std::make_unique<RecordState>(int(freq), int(chans));
    r->proc = proc;
    r->user = user;
    auto ch = std::make_shared<Channel>();
    ch->kind = Kind::Record;
    ch->rate = int(freq);
    ch->playRate = int(freq);
    ch->channels = int(chans);
    ch->record = r.get();
    ch->handle = newHandle();
    r->channel = ch;
    r->handle = ch->handle;
    if (!capture_) {
        // The first recording opens the device at its own format; later ones convert.
        captureRateNow_.store(int(freq));
        captureChannelsNow_.store(int(chans));
        capture_ = CaptureDevice::openDefault(int(freq), int(chans), &Engine::captureThunk, this);
        if (!capture_) {
            setError(BASS_ERROR_DRIVER);
            return 0;
        }
        recordSlots_[slot].store(r.get());
        capture_->start();
    } else {
        recordSlots_[slot].store(r.get());
    }
    channels_[ch->handle] = ch;
    records_.push_back(std::move(r));
    setError(BASS_OK);
    return ch->handle;
}

// Called without mutex_, after the recording has left records_ and channels_.
void Engine::stopRecording(std::unique_ptr<RecordState> r) {
    for (auto &slot : recordSlots_) {
        RecordState *expected = r.get();
        slot.compare_exchange_strong(expected, nullptr);
    }
    // A capture pass that could have seen it ends before it goes.
    const uint64_t e = captureEpoch_.load();
    if (e & 1)
        while (captureEpoch_.load() == e)
            std::this_thread::yield();
    std::lock_guard<std::recursive_mutex> cl(r->channel->mutex);
    r->channel->freed.store(true);
    r->channel->record = nullptr;
}

bool Engine::recordStop(DWORD handle) {
    std::unique_ptr<RecordState> r;
    std::unique_ptr<CaptureDevice> device;
    {
        std::lock_guard<std::mutex> g(mutex_);
        auto it = std::find_if(records_.begin(), records_.end(),
                               [&](const auto &x) { return x->handle == handle; });
        if (it == records_.end()) {
            setError(BASS_ERROR_HANDLE);
            return false;
        }
        r = std::move(*it);
        records_.erase(it);
        channels_.erase(handle);
        if (records_.empty())
            device = std::move(capture_);
    }
    device.reset(); // the capture callback has returned once this is done
    stopRecording(std::move(r));
    setError(BASS_OK);
    return true;
}

bool Engine::recordFree() {
    std::vector<std::unique_ptr<RecordState>> all;
    std::unique_ptr<CaptureDevice> device;
    {
        std::lock_guard<std::mutex> g(mutex_);
        const bool was = recordInit_;
        recordInit_ = false;
        all = std::move(records_);
        records_.clear();
        for (auto &r : all)
            channels_.erase(r->handle);
        device = std::move(capture_);
        if (!was && all.empty()) {
            setError(BASS_ERROR_INIT);
            return false;
        }
    }
    device.reset(); // the capture callback has returned once this is done
    for (auto &r : all)
        stopRecording(std::move(r));
    setError(BASS_OK);
    return true;
}

} // namespace mirvane::audio
