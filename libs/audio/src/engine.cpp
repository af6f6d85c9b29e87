#include "engine.h"

#include "fft.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <set>

#include <pthread.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace mirvane::audio {
namespace {

thread_local int tlsError = BASS_OK;
thread_local std::string tlsText;         // the C library's words for tlsError, or empty
thread_local bool tlsTextPending = false; // set during the call that is ending

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr size_t kChunk = 1024; // source frames decoded per step

// Strings handed out as const char * for the life of the process.
const char *intern(const std::string &s) {
    static std::mutex m;
    static std::set<std::string> strings;
    std::lock_guard<std::mutex> lock(m);
    return strings.insert(s).first->c_str();
}

inline int16_t toS16(float v) {
    v *= 32768.0f;
    v = std::clamp(v, -32768.0f, 32767.0f);
    return int16_t(std::lrintf(v));
}

// Rounds to nearest and saturates, like toS16; eight at a time where SSE2 is there.
void floatToS16(const float *in, int16_t *out, size_t count) {
    size_t i = 0;
#ifdef __SSE2__
    const __m128 scale = _mm_set1_ps(32768.0f);
    for (; i + 8 <= count; i += 8) {
        const __m128i a = _mm_cvtps_epi32(_mm_mul_ps(_mm_loadu_ps(in + i), scale));
        const __m128i b = _mm_cvtps_epi32(_mm_mul_ps(_mm_loadu_ps(in + i + 4), scale));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_packs_epi32(a, b));
    }
#endif
    for (; i < count; ++i)
        out[i] = toS16(in[i]);
}

// Shows in top, gdb and crash reports; at most 15 characters.
void nameThisThread(const char *name) {
    pthread_setname_np(pthread_self(), name);
}

} // namespace

void setError(int code) {
    tlsError = code;
    if (!tlsTextPending)
        tlsText.clear();
    tlsTextPending = false;
}
int lastError() {
    return tlsError;
}
void setErrorText(const std::string &text) {
    tlsText = text;
    tlsTextPending = true;
}
const char *errorText() {
    return tlsText.c_str();
}

Voice::Voice(size_t capacityFrames)
    : capacity(capacityFrames), ring(new float[capacityFrames * 2]),
      history(new std::atomic<float>[kHistory * 2]) {
    for (size_t i = 0; i < kHistory * 2; ++i)
        history[i].store(0.0f, std::memory_order_relaxed);
}

// ==== Mixer ============================================================================

void Engine::mix(float *out, int frames) {
    mixEpoch_.fetch_add(1); // odd: voices may be in use
    std::fill(out, out + size_t(frames) * 2, 0.0f);
    const float master = master_.load(std::memory_order_relaxed);
    const int high = slotHigh_.load();
    bool anyEnded = false;
    for (int s = 0; s < high; ++s) {
        Voice *v = slots_[s].load();
        if (!v || !v->active.load())
            continue;
        const uint64_t r = v->read.load(std::memory_order_relaxed);
        const uint64_t w = v->written.load(std::memory_order_acquire);
        const size_t take = size_t(std::min<uint64_t>(w - r, uint64_t(frames)));
        const float gl = v->gainL.load(std::memory_order_relaxed) * master;
        const float gr = v->gainR.load(std::memory_order_relaxed) * master;
        const uint64_t h = v->heard.load(std::memory_order_relaxed);
        const float *ring = v->ring.get();
        // Ring and history positions wrap by a compare, not a 64-bit division per frame.
        size_t at = size_t(r % v->capacity), hp = size_t(h % Voice::kHistory);
        for (size_t i = 0; i < take; ++i) {
            const float l = ring[at * 2], rr = ring[at * 2 + 1];
            out[i * 2] += l * gl;
            out[i * 2 + 1] += rr * gr;
            v->history[hp * 2].store(l, std::memory_order_relaxed);
            v->history[hp * 2 + 1].store(rr, std::memory_order_relaxed);
            if (++at == v->capacity)
                at = 0;
            if (++hp == Voice::kHistory)
                hp = 0;
        }
        if (take < size_t(frames) && r + take > 0 && !v->eof.load(std::memory_order_acquire))
            v->starved.fetch_add(1, std::memory_order_relaxed);
        v->heard.store(h + take, std::memory_order_release);
        v->read.store(r + take, std::memory_order_release);
        if (take < size_t(frames) && v->eof.load(std::memory_order_acquire) &&
            v->written.load(std::memory_order_acquire) == r + take && !v->ended.load()) {
            // The last frame has left the mix; it is heard one device buffer later.
            v->endDueNs.store(nowNs() + latencyNs_.load(std::memory_order_relaxed) +
                              int64_t(double(take) / outRate_ * 1e9));
            v->active.store(false);
            v->ended.store(true);
            anyEnded = true;
        }
    }
    for (int i = 0; i < frames * 2; ++i)
        out[i] = std::clamp(out[i], -1.0f, 1.0f);
    mixEpoch_.fetch_add(1);
    if (anyEnded)
        wakeSyncs();
}

// Returns once no mixer pass that could have seen the old state of a voice is running.
void Engine::waitForMixer() {
    const uint64_t e = mixEpoch_.load();
    if (!(e & 1))
        return;
    while (mixEpoch_.load() == e)
        std::this_thread::yield();
}

void Engine::setGains(Channel &c) {
    if (!c.voice)
        return;
    const float vol = float(c.volume.load()) / 100.0f;
    const int p = c.pan.load();
    const float l = p > 0 ? float(100 - p) / 100.0f : 1.0f;
    const float r = p < 0 ? float(100 + p) / 100.0f : 1.0f;
    c.voice->gainL.store(vol * l);
    c.voice->gainR.store(vol * r);
}

void Engine::noSoundLoop(std::shared_ptr<std::atomic<bool>> stop) {
    nameThisThread("mirvane-nosound");
    // "No sound" plays in real time: mix as many frames as the clock says have passed.
    std::vector<float> scratch(size_t(outRate_) * 2);
    auto last = std::chrono::steady_clock::now();
    double carry = 0;
    while (!stop->load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const auto now = std::chrono::steady_clock::now();
        carry += std::chrono::duration<double>(now - last).count() * outRate_;
        last = now;
        int frames = int(std::min(carry, double(outRate_)));
        carry -= frames;
        if (frames > 0)
            mix(scratch.data(), frames);
    }
}

// ==== Library ==========================================================================

bool Engine::init(int device, DWORD freq) {
    std::unique_lock<std::mutex> g(mutex_);
    if (initialized_) {
        setError(BASS_ERROR_ALREADY);
        return false;
    }
    if (device != 0 && device != 1 && device != -1) {
        setError(BASS_ERROR_DEVICE);
        return false;
    }
    if (device == -1)
        device = 1;
    if (freq == 0)
        freq = 44100;
    if (freq < 8000 || freq > 192000) {
        setError(BASS_ERROR_ILLPARAM);
        return false;
    }
    outRate_ = int(freq);
    if (device == 1) {
        output_ = OutputDevice::openDefault(outRate_, &Engine::mixThunk, this);
        if (!output_) {
            setError(BASS_ERROR_DRIVER);
            return false;
        }
        latencyNs_.store(int64_t(output_->latencySeconds() * 1e9));
    } else {
        latencyNs_.store(0);
        decodeStop_ = std::make_shared<std::atomic<bool>>(false);
        noSoundThread_ = std::thread(&Engine::noSoundLoop, this, decodeStop_);
    }
    if (!decodeStop_)
        decodeStop_ = std::make_shared<std::atomic<bool>>(false);
    decodeThread_ = std::thread(&Engine::decodeLoop, this, decodeStop_);
    ensureSyncThread();
    initialized_ = true;
    device_ = device;
    master_.store(1.0f);
    setError(BASS_OK);
    return true;
}

bool Engine::start() {
    std::lock_guard<std::mutex> g(mutex_);
    if (!initialized_) {
        setError(BASS_ERROR_INIT);
        return false;
    }
    setError(BASS_OK);
    return true;
}

bool Engine::setVolume(DWORD v) {
    if (v > 100) {
        setError(BASS_ERROR_ILLPARAM);
        return false;
    }
    master_.store(float(v) / 100.0f);
    setError(BASS_OK);
    return true;
}

const char *Engine::deviceDescription(int device) {
    if (device == 0) {
        setError(BASS_OK);
        return intern("No sound");
    }
    if (device != 1) {
        setError(BASS_ERROR_DEVICE);
        return nullptr;
    }
    std::lock_guard<std::mutex> g(mutex_);
    setError(BASS_OK);
    if (output_)
        return intern(output_->description());
    return intern("Default output");
}

void Engine::ensureSyncThread() {
    if (syncThread_.joinable())
        return;
    syncStop_ = std::make_shared<std::atomic<bool>>(false);
    syncThread_ = std::thread(&Engine::syncLoop, this, syncStop_);
}

void Engine::stopThreadsAndDevice(std::unique_lock<std::mutex> &g) {
    auto decodeStop = decodeStop_;
    std::thread decodeThread = std::move(decodeThread_);
    std::thread noSound = std::move(noSoundThread_);
    std::unique_ptr<OutputDevice> output = std::move(output_);
    auto syncStop = syncStop_;
    std::thread syncThread = std::move(syncThread_);
    decodeStop_.reset();
    syncStop_.reset();
    g.unlock();
    if (decodeStop)
        decodeStop->store(true);
    wakeDecoder();
    if (decodeThread.joinable())
        decodeThread.join();
    if (noSound.joinable())
        noSound.join();
    output.reset(); // closes the device after its callback has returned
    if (syncStop)
        syncStop->store(true);
    wakeSyncs();
    if (syncThread.joinable()) {
        if (syncThread.get_id() == std::this_thread::get_id())
            syncThread.detach(); // BASS_Free from a sync callback: the loop ends on its own
        else
            syncThread.join();
    }
    g.lock();
}

bool Engine::free() {
    recordFree();
    std::unique_lock<std::mutex> g(mutex_);
    const bool wasInit = initialized_;
    initialized_ = false;
    device_ = -1;
    stopThreadsAndDevice(g);
    // Every channel goes, decode-only ones included. Wait for a sync callback running on
    // another thread; it was let finish by the join above unless we are that thread.
    // Decode-only channels may be pulled (their DSPs running) on other threads: stop each
    // under its own lock before its handle goes, as freeChannel does.
    std::vector<std::shared_ptr<Channel>> all;
    for (auto &[h, ch] : channels_)
        all.push_back(ch);
    syncs_.clear();
    for (auto &s : slots_)
        s.store(nullptr);
    slotHigh_.store(0);
    g.unlock();
    for (auto &ch : all) {
        ch->scanCancel->store(true);
        if (ch->net)
            ch->net->close();
        std::lock_guard<std::recursive_mutex> cl(ch->mutex);
        ch->freed.store(true);
        ch->state.store(kStopped);
    }
    g.lock();
    for (auto &ch : all) {
        channels_.erase(ch->handle);
        for (auto f = fxOwner_.begin(); f != fxOwner_.end();)
            f = f->second == ch->handle ? fxOwner_.erase(f) : std::next(f);
    }
    g.unlock();
    all.clear();
    setError(wasInit ? BASS_OK : BASS_ERROR_INIT);
    return wasInit;
}

// ==== Channels =========================================================================

std::shared_ptr<Channel> Engine::find(DWORD handle) {
    std::lock_guard<std::mutex> g(mutex_);
    auto it = channels_.find(handle);
    if (it == channels_.end()) {
        setError(BASS_ERROR_HANDLE);
        return nullptr;
    }
    return it->second;
}

std::shared_ptr<Channel> Engine::prepareChannel(std::unique_ptr<Decoder> dec, Kind kind,
                                                DWORD flags, int &err) {
    auto ch = std::make_shared<Channel>();
    ch->kind = kind;
    ch->decodeOnly = (flags & BASS_STREAM_DECODE) != 0;
    ch->rate = dec->rate();
    ch->channels = dec->channels();
    ch->playRate = ch->rate;
    ch->lengthFrames = dec->frames();
    ch->lengthExact = dec->lengthExact();
    ch->decoder = std::move(dec);
    ch->work.resize(kChunk * size_t(ch->channels));
    if (!ch->decodeOnly) {
        int outRate;
        {
            std::lock_guard<std::mutex> g(mutex_);
            if (!initialized_) {
                err = BASS_ERROR_INIT;
                return nullptr;
            }
            outRate = outRate_;
        }
        ch->voice = std::make_unique<Voice>(size_t(outRate) / 2 + 4 * kChunk);
        if (ch->playRate != outRate) {
            ch->resampler = Resampler::create(ch->playRate, outRate);
            if (!ch->resampler) {
                err = BASS_ERROR_FORMAT;
                return nullptr;
            }
        }
        ch->stereo.resize(kChunk * 2);
    }
    return ch;
}

DWORD Engine::registerChannel(std::shared_ptr<Channel> ch) {
    std::lock_guard<std::mutex> g(mutex_);
    if (ch->voice) {
        if (!initialized_) {
            setError(BASS_ERROR_INIT);
            return 0;
        }
        int slot = -1;
        for (int i = 0; i < kMaxVoices; ++i)
            if (!slots_[i].load()) {
                slot = i;
                break;
            }
        if (slot < 0) {
            setError(BASS_ERROR_MEM);
            return 0;
        }
        ch->slot = slot;
        slots_[slot].store(ch->voice.get());
        if (slot >= slotHigh_.load())
            slotHigh_.store(slot + 1);
    }
    ch->handle = newHandle();
    setGains(*ch);
    channels_[ch->handle] = ch;
    setError(BASS_OK);
    return ch->handle;
}

static std::unique_ptr<Source> openSource(BOOL mem, const void *file, QWORD offset, QWORD length,
                                          int &err) {
    if (mem) {
        if (!file || length == 0) {
            err = file ? BASS_ERROR_EMPTY : BASS_ERROR_ILLPARAM;
            return nullptr;
        }
        // The buffer is length bytes; offset selects where in it the content starts.
        if (offset > length) {
            err = BASS_ERROR_POSITION;
            return nullptr;
        }
        return Source::fromMemory(static_cast<const uint8_t *>(file) + offset,
                                  size_t(length - offset), err);
    }
    return Source::openFile(static_cast<const char *>(file), offset, length, err);
}

DWORD Engine::createStream(BOOL mem, const void *file, QWORD offset, QWORD length, DWORD flags) {
    int err = BASS_ERROR_FORMAT;
    auto src = openSource(mem, file, offset, length, err);
    if (!src) {
        setError(err);
        return 0;
    }
    std::unique_ptr<Decoder> dec;
    switch (detectStream(*src)) {
    case StreamKind::Wav:
        dec = openWav(std::move(src), err);
        break;
    case StreamKind::Ogg:
        dec = openVorbis(std::move(src), err);
        break;
    case StreamKind::Mpeg:
        dec = openMpeg(std::move(src), (flags & BASS_STREAM_PRESCAN) != 0, err);
        break;
    case StreamKind::None:
        err = BASS_ERROR_FORMAT;
        break;
    }
    if (!dec) {
        setError(err);
        return 0;
    }
    auto ch = prepareChannel(std::move(dec), Kind::Stream, flags, err);
    if (!ch) {
        setError(err);
        return 0;
    }
    const DWORD handle = registerChannel(ch);
    if (handle)
        startLengthScan(ch);
    return handle;
}

// The whole-file scan (BASS_STREAM_PRESCAN) runs on a thread of its own, so that the stream
// opens and plays at once; the length becomes exact when it ends.
void Engine::startLengthScan(const std::shared_ptr<Channel> &ch) {
    std::unique_ptr<LengthScan> scan;
    {
        std::lock_guard<std::recursive_mutex> cl(ch->mutex);
        scan = ch->decoder->makeScan();
    }
    if (!scan)
        return;
    std::thread([this, weak = std::weak_ptr<Channel>(ch), cancel = ch->scanCancel,
                 scan = std::move(scan)] {
        nameThisThread("mirvane-scan");
        if (!scan->run(*cancel))
            return;
        auto c = weak.lock();
        if (!c)
            return;
        std::lock_guard<std::recursive_mutex> cl(c->mutex);
        if (c->freed.load())
            return;
        c->decoder->takeScan(*scan);
        if (!c->decodeEnded) // otherwise the decoding has counted the frames already
            c->lengthFrames.store(scan->frames());
        markLengthExact(*c);
    }).detach(); // holds nothing of the channel but a weak reference; the engine lives for ever
}

void Engine::markLengthExact(Channel &c) {
    if (c.lengthExact.exchange(true))
        return;
    c.lengthSyncDue.store(true);
    wakeSyncs();
}

DWORD Engine::loadMusic(BOOL mem, const void *file, QWORD offset, DWORD length, DWORD flags,
                        DWORD freq) {
    int err = BASS_ERROR_FORMAT;
    auto src = openSource(mem, file, offset, length, err);
    if (!src) {
        setError(err);
        return 0;
    }
    // Audio streams are never modules, however a module prober might read their bytes.
    if (detectStream(*src) != StreamKind::None || !probeModule(*src)) {
        setError(BASS_ERROR_FORMAT);
        return 0;
    }
    int rate = int(freq);
    if (rate == 0) {
        std::lock_guard<std::mutex> g(mutex_);
        rate = initialized_ ? outRate_.load() : 44100;
    }
    if (rate < 8000 || rate > 192000) {
        setError(BASS_ERROR_ILLPARAM);
        return 0;
    }
    auto mod = openModule(std::move(src), rate, (flags & BASS_MUSIC_RAMP) != 0, err);
    if (!mod) {
        setError(err);
        return 0;
    }
    std::string title = mod->title();
    uint32_t orders = mod->orders();
    auto ch = prepareChannel(std::move(mod), Kind::Music, flags, err);
    if (!ch) {
        setError(err);
        return 0;
    }
    ch->title = std::move(title);
    ch->orders = orders;
    return registerChannel(std::move(ch));
}

bool Engine::freeChannel(DWORD handle, Kind kind) {
    std::shared_ptr<Channel> ch;
    {
        std::unique_lock<std::mutex> g(mutex_);
        auto it = channels_.find(handle);
        if (it == channels_.end() || it->second->kind != kind || it->second->freeing) {
            setError(BASS_ERROR_HANDLE);
            return false;
        }
        ch = it->second;
        ch->freeing = true; // a second free of the same handle fails from here on
        ch->scanCancel->store(true);
        for (auto s = syncs_.begin(); s != syncs_.end();)
            s = s->second.channel == handle ? syncs_.erase(s) : std::next(s);
        if (ch->slot >= 0)
            slots_[ch->slot].store(nullptr);
        // A sync callback of this channel running on another thread must end first, so that
        // after we return nothing of this channel runs. From within that callback, go on.
        firingCv_.wait(g, [&] {
            return firingChannel_ != handle || firingThread_ == std::this_thread::get_id();
        });
    }
    waitForMixer();
    if (ch->net)
        ch->net->close(); // a decode step waiting for the network returns at once
    {
        // Waits for a fill or pull of this channel (and its DSPs) on another thread to finish;
        // none starts afterwards, as every DSP walk checks `freed` under this lock.
        std::lock_guard<std::recursive_mutex> cl(ch->mutex);
        ch->freed.store(true);
        ch->state.store(kStopped);
    }
    {
        // Only now does the handle stop being valid: a DSP's owner (the effects library)
        // releases the DSP's state once the handle is gone, and it must not run any more then.
        std::lock_guard<std::mutex> g(mutex_);
        channels_.erase(handle);
        for (auto f = fxOwner_.begin(); f != fxOwner_.end();)
            f = f->second == handle ? fxOwner_.erase(f) : std::next(f);
    }
    setError(BASS_OK);
    return true;
}

void Engine::runChainLocked(Channel &c, float *buf, size_t frames) {
    if (c.chain.empty())
        return;
    // DSPs may add or remove entries (or free the channel) while we walk: walk a copy. The copy
    // lives in a vector kept with the channel so the decode thread does not allocate per chunk;
    // only a DSP that pulls its own channel again (a nested walk) gets a fresh one.
    std::vector<std::shared_ptr<ChainEntry>> nested;
    const bool outer = !c.walkingChain;
    auto &walk = outer ? c.chainWalk : nested;
    c.walkingChain = true;
    walk.assign(c.chain.begin(), c.chain.end());
    for (auto &e : walk) {
        if (e->removed || c.freed.load())
            continue;
        if (e->proc)
            e->proc(e->handle, c.handle, buf, DWORD(frames), DWORD(c.channels), DWORD(c.rate),
                    e->user);
        else if (e->eq)
            e->eq->process(buf, unsigned(frames), unsigned(c.channels), c.rate);
    }
    walk.clear();
    if (outer)
        c.walkingChain = false;
}

// Output space for one chunk at this ratio plus the converter's delay.
static float *resampleBuffer(Channel &c, double ratio) {
    const size_t frames = std::min(c.voice->capacity, size_t(kChunk * ratio) + 4096);
    if (c.resampled.size() < frames * 2)
        c.resampled.resize(frames * 2);
    return c.resampled.data();
}

namespace {

// Appends frames (channel format) to the channel's raw buffer; the caller checked the room.
void rawPush(Channel &c, const float *in, size_t frames) {
    const size_t ch = size_t(c.channels);
    for (size_t i = 0; i < frames; ++i) {
        const size_t at = (c.rawStart + c.rawFrames + i) % c.rawCapacity;
        std::copy_n(in + i * ch, ch, &c.raw[at * ch]);
    }
    c.rawFrames += frames;
}

// Takes up to frames frames from the front of the raw buffer into out; returns how many.
size_t rawPop(Channel &c, float *out, size_t frames) {
    const size_t ch = size_t(c.channels);
    frames = std::min(frames, c.rawFrames);
    for (size_t i = 0; i < frames; ++i)
        std::copy_n(&c.raw[((c.rawStart + i) % c.rawCapacity) * ch], ch, out + i * ch);
    c.rawStart = (c.rawStart + frames) % c.rawCapacity;
    c.rawFrames -= frames;
    return frames;
}

} // namespace

bool Engine::fillLocked(Channel &c, size_t targetFrames, int maxChunks) {
    Voice &v = *c.voice;
    targetFrames = std::min(targetFrames, v.capacity - 2 * kChunk);
    const double ratio = double(outRate_) / c.playRate;
    // With a chain, decoding runs ahead into the raw buffer and the chain only `lead` ahead
    // of the mixer; what is already in the raw buffer goes through it first, chain or not.
    const bool staged = !c.chain.empty() || c.rawFrames > 0;
    size_t lead = targetFrames;
    if (!c.chain.empty()) {
        // The lead doubles each time the mixer found the ring short (a busy machine woke this
        // thread late): a little later effect changes rather than gaps in the sound. After 10 s
        // without a shortage it halves again, so a passing load does not slow sliders for good.
        const size_t base = size_t(int64_t(outRate_) * dspLeadMs.load() / 1000);
        const uint32_t starved = v.starved.load(std::memory_order_relaxed);
        const int64_t now = nowNs();
        if (starved != c.starvedSeen) {
            c.starvedSeen = starved;
            c.leadFrames = std::max(c.leadFrames, base) * 2;
            c.leadChangedNs = now;
        } else if (c.leadFrames > base && now - c.leadChangedNs > 10'000'000'000) {
            c.leadFrames /= 2;
            c.leadChangedNs = now;
        }
        c.leadFrames = std::min(std::max(c.leadFrames, base), targetFrames);
        lead = c.leadFrames;
        if (c.rawCapacity == 0) {
            c.rawCapacity = size_t(c.rate) / 2 + 2 * kChunk;
            c.raw.assign(c.rawCapacity * size_t(c.channels), 0.0f);
        }
    }
    while (!c.decodeEnded && !c.freed.load()) {
        const uint64_t queued = v.written.load() - v.read.load();
        const bool netReady = !c.net || c.net->readyForDecode();
        const bool rawWants =
            staged && !c.decoderDone && netReady && c.rawFrames + kChunk <= c.rawCapacity;
        const bool ringWants = queued < lead;
        if (!ringWants && !rawWants)
            return false;
        if (maxChunks-- <= 0)
            return true;
        if (rawWants) {
            // Decoding ahead; never waits for the network (other channels share this thread).
            const size_t got = c.decoder->read(c.work.data(), kChunk);
            if (got == 0)
                c.decoderDone = true;
            else
                rawPush(c, c.work.data(), got);
            if (!ringWants)
                continue;
        }
        if (!staged && !netReady)
            return false; // never wait for the network here: other channels share this thread
        const size_t room = v.capacity - size_t(queued);
        // Decode no more than the ring can take after resampling (slow rates grow a lot), and
        // with a chain no more than the lead asks for.
        size_t want = room > 256 ? std::min(kChunk, size_t(double(room - 256) / ratio)) : 0;
        if (staged && lead < targetFrames)
            want = std::min(want, size_t(double(lead - queued) / ratio) + 16);
        if (want < 16)
            return false;
        size_t n;
        if (staged) {
            n = rawPop(c, c.work.data(), want);
            if (n == 0 && !c.decoderDone)
                return false; // the decoder waits for the network
        } else {
            n = c.decoder->read(c.work.data(), want);
            c.decoderDone = n == 0;
        }
        size_t made = 0;
        const float *outData = nullptr;
        if (n > 0) {
            runChainLocked(c, c.work.data(), n);
            if (c.freed.load())
                return false;
            // Mono is heard on both sides; more than two channels fold into two.
            const int ch = c.channels;
            for (size_t i = 0; i < n; ++i) {
                const float *f = &c.work[i * size_t(ch)];
                float l, r;
                if (ch == 1) {
                    l = r = f[0];
                } else if (ch == 2) {
                    l = f[0];
                    r = f[1];
                } else {
                    l = r = 0;
                    for (int k = 0; k < ch; ++k)
                        (k % 2 ? r : l) += f[k];
                    l /= float((ch + 1) / 2);
                    r /= float(ch / 2);
                }
                c.stereo[i * 2] = l;
                c.stereo[i * 2 + 1] = r;
            }
            c.decodePos.fetch_add(n);
            if (c.resampler) {
                float *buf = resampleBuffer(c, ratio);
                made = c.resampler->process(c.stereo.data(), n, buf,
                                            std::min(room, c.resampled.size() / 2));
                outData = c.resampled.data();
            } else {
                made = n;
                outData = c.stereo.data();
            }
        } else if (c.resampler) {
            if (room < 4 * kChunk)
                return false; // flush when a good part of the tail fits
            // The converter holds back a few milliseconds; take them out, in turns if need be.
            float *buf = resampleBuffer(c, ratio);
            const size_t cap = std::min(room, c.resampled.size() / 2);
            made = c.resampler->process(nullptr, 0, buf, cap);
            outData = c.resampled.data();
            if (made < cap)
                c.decodeEnded = true;
        } else {
            c.decodeEnded = true;
        }
        if (c.decodeEnded) {
            c.lengthFrames.store(c.decodePos.load());
            markLengthExact(c);
        }
        const uint64_t w = v.written.load();
        for (size_t i = 0; i < made; ++i) {
            const size_t at = size_t((w + i) % v.capacity) * 2;
            v.ring[at] = outData[i * 2];
            v.ring[at + 1] = outData[i * 2 + 1];
        }
        v.written.store(w + made, std::memory_order_release);
        if (c.decodeEnded)
            v.eof.store(true, std::memory_order_release);
    }
    return false;
}

void Engine::seekLocked(Channel &c, uint64_t frame) {
    if (c.voice) {
        Voice &v = *c.voice;
        v.active.store(false);
        waitForMixer();
        v.written.store(0);
        v.read.store(0);
        v.eof.store(false);
        v.ended.store(false);
        c.endHandled.store(false);
        if (c.resampler)
            c.resampler->reset();
    }
    c.decoder->seek(frame);
    for (auto &e : c.chain)
        if (e->eq)
            e->eq->reset();
    c.basePos = frame;
    c.decodePos.store(frame);
    c.decodeEnded = false;
    c.decoderDone = false;
    c.rawStart = 0;
    c.rawFrames = 0;
    c.pendingSize = 0;
    c.pendingOffset = 0;
    c.decodeEndPending.store(false);
    c.endHandled.store(false);
}

bool Engine::play(DWORD handle, bool restart) {
    auto ch = find(handle);
    if (!ch)
        return false;
    if (ch->decodeOnly) {
        setError(BASS_ERROR_DECODE);
        return false;
    }
    if (ch->kind == Kind::Record) {
        setError(BASS_OK);
        return true;
    }
    std::lock_guard<std::recursive_mutex> cl(ch->mutex);
    if (ch->freed.load()) {
        setError(BASS_ERROR_HANDLE);
        return false;
    }
    Voice &v = *ch->voice;
    if (restart || v.ended.load())
        seekLocked(*ch, 0);
    // The decode-ahead thread fills the ring (DSPs run there, never on the caller's thread);
    // the mixer starts with the first frames it writes.
    ch->state.store(kPlaying);
    v.active.store(true);
    wakeDecoder();
    setError(BASS_OK);
    return true;
}

bool Engine::pause(DWORD handle) {
    auto ch = find(handle);
    if (!ch)
        return false;
    // A decode-only channel has no voice to pause: it is not played, whatever IsActive says.
    if (ch->decodeOnly || !ch->voice) {
        setError(ch->decodeOnly ? BASS_ERROR_DECODE : BASS_ERROR_NOTAVAIL);
        return false;
    }
    if (isActive(handle) != BASS_ACTIVE_PLAYING) {
        setError(BASS_ERROR_NOPLAY);
        return false;
    }
    std::lock_guard<std::recursive_mutex> cl(ch->mutex);
    ch->voice->active.store(false);
    ch->state.store(kPaused);
    setError(BASS_OK);
    return true;
}

DWORD Engine::isActive(DWORD handle) {
    auto ch = find(handle);
    if (!ch)
        return BASS_ACTIVE_STOPPED;
    setError(BASS_OK);
    if (ch->kind == Kind::Record)
        return BASS_ACTIVE_PLAYING;
    if (ch->decodeOnly)
        return ch->decodeEndPending.load() ? BASS_ACTIVE_STOPPED : BASS_ACTIVE_PLAYING;
    const int s = ch->state.load();
    if (s == kPaused)
        return BASS_ACTIVE_PAUSED;
    if (s == kPlaying && !ch->voice->ended.load())
        return BASS_ACTIVE_PLAYING;
    return BASS_ACTIVE_STOPPED;
}

QWORD Engine::positionOf(Channel &c) {
    uint64_t frames;
    if (!c.voice) {
        frames = c.decodePos.load();
    } else if (c.voice->ended.load()) {
        frames = c.decodePos.load();
    } else {
        std::lock_guard<std::recursive_mutex> cl(c.mutex);
        const double heard = double(c.voice->read.load()) * c.playRate / outRate_;
        frames = c.basePos + uint64_t(heard);
        frames = std::min<uint64_t>(frames, c.decodePos.load());
    }
    return QWORD(frames) * 2 * QWORD(c.channels);
}

QWORD Engine::position(DWORD handle) {
    auto ch = find(handle);
    if (!ch)
        return QWORD(-1);
    if (ch->kind == Kind::Record) {
        setError(BASS_ERROR_NOTAVAIL);
        return QWORD(-1);
    }
    setError(BASS_OK);
    return positionOf(*ch);
}

bool Engine::setPosition(DWORD handle, QWORD pos) {
    auto ch = find(handle);
    if (!ch)
        return false;
    if (ch->kind == Kind::Record) {
        setError(BASS_ERROR_NOTAVAIL);
        return false;
    }
    if (ch->net) {
        setError(BASS_ERROR_NOTAVAIL); // a live stream cannot seek
        return false;
    }
    const uint64_t frame = pos / (2 * uint64_t(ch->channels));
    if (frame > ch->lengthFrames) {
        setError(BASS_ERROR_POSITION);
        return false;
    }
    std::lock_guard<std::recursive_mutex> cl(ch->mutex);
    const bool ended = ch->voice && ch->voice->ended.load();
    if (ended && ch->state.load() == kPlaying)
        ch->state.store(kStopped);
    seekLocked(*ch, frame);
    if (ch->voice && ch->state.load() == kPlaying) {
        ch->voice->active.store(true);
        wakeDecoder();
    }
    setError(BASS_OK);
    return true;
}

bool Engine::setAttributes(DWORD handle, int freq, int volume, int pan) {
    auto ch = find(handle);
    if (!ch)
        return false;
    if ((freq > 0 && (freq < 100 || freq > 200000)) || volume > 100 || volume < -1 || pan > 100) {
        setError(BASS_ERROR_ILLPARAM);
        return false;
    }
    if (volume >= 0)
        ch->volume.store(volume);
    if (pan >= -100)
        ch->pan.store(pan);
    setGains(*ch);
    if (freq > 0 && ch->voice) {
        std::lock_guard<std::recursive_mutex> cl(ch->mutex);
        if (freq != ch->playRate) {
            // Go on from what is heard now, decoded afresh at the new rate.
            const uint64_t frame = positionOf(*ch) / (2 * uint64_t(ch->channels));
            ch->playRate = freq;
            ch->resampler.reset();
            if (freq != outRate_)
                ch->resampler = Resampler::create(freq, outRate_);
            const bool ended = ch->voice->ended.load();
            if (!ended) {
                seekLocked(*ch, frame);
                if (ch->state.load() == kPlaying) {
                    ch->voice->active.store(true);
                    wakeDecoder();
                }
            }
        }
    }
    setError(BASS_OK);
    return true;
}

// ==== Syncs ============================================================================

HSYNC Engine::setSync(DWORD handle, DWORD type, SYNCPROC *proc, void *user) {
    if (type != BASS_SYNC_END && type != BASS_SYNC_META && type != BASS_SYNC_LENGTH) {
        setError(BASS_ERROR_ILLTYPE);
        return 0;
    }
    if (!proc) {
        setError(BASS_ERROR_ILLPARAM);
        return 0;
    }
    std::lock_guard<std::mutex> g(mutex_);
    auto it = channels_.find(handle);
    if (it == channels_.end() || it->second->kind == Kind::Record) {
        setError(BASS_ERROR_HANDLE);
        return 0;
    }
    ensureSyncThread();
    const DWORD h = newHandle();
    syncs_[h] = Sync{handle, type, proc, user};
    setError(BASS_OK);
    return h;
}

bool Engine::removeSync(DWORD handle, HSYNC sync) {
    std::lock_guard<std::mutex> g(mutex_);
    auto it = syncs_.find(sync);
    if (it == syncs_.end() || it->second.channel != handle) {
        setError(BASS_ERROR_HANDLE);
        return false;
    }
    syncs_.erase(it);
    setError(BASS_OK);
    return true;
}

void Engine::syncLoop(std::shared_ptr<std::atomic<bool>> stop) {
    nameThisThread("mirvane-sync");
    std::unique_lock<std::mutex> g(mutex_);
    while (!stop->load()) {
        const int64_t now = nowNs();
        // Ends, exact lengths and a stream's new titles wake this thread; otherwise it sleeps.
        int64_t nextDue = now + 1'000'000'000;
        std::vector<std::pair<HSYNC, DWORD>> due; // sync, channel
        for (auto &[h, ch] : channels_) {
            if (ch->lengthSyncDue.exchange(false))
                for (auto &[sh, s] : syncs_)
                    if (s.channel == h && s.type == BASS_SYNC_LENGTH)
                        due.emplace_back(sh, h);
            bool fire = false;
            if (ch->voice && ch->voice->ended.load() && !ch->endHandled.load()) {
                const int64_t at = ch->voice->endDueNs.load();
                if (at <= now)
                    fire = true;
                else
                    nextDue = std::min(nextDue, at);
            } else if (ch->decodeEndPending.load() && !ch->endHandled.load()) {
                fire = true;
            }
            if (ch->net) {
                const uint32_t serial = ch->net->metaSerial();
                if (serial != ch->metaSeen) {
                    ch->metaSeen = serial;
                    for (auto &[sh, s] : syncs_)
                        if (s.channel == h && s.type == BASS_SYNC_META)
                            due.emplace_back(sh, h);
                }
            }
            if (!fire)
                continue;
            ch->endHandled.store(true);
            for (auto &[sh, s] : syncs_)
                if (s.channel == h && s.type == BASS_SYNC_END)
                    due.emplace_back(sh, h);
        }
        for (auto &[sh, chan] : due) {
            // Freed or removed meanwhile (by an earlier callback of this round): skip it.
            auto it = syncs_.find(sh);
            if (it == syncs_.end() || !channels_.count(chan) || stop->load())
                continue;
            Sync s = it->second;
            firingChannel_ = chan;
            firingThread_ = std::this_thread::get_id();
            g.unlock();
            s.proc(sh, chan, 0, s.user);
            g.lock();
            firingChannel_ = 0;
            firingCv_.notify_all();
        }
        if (stop->load())
            break;
        g.unlock();
        {
            std::unique_lock<std::mutex> w(syncWakeMutex_);
            syncCv_.wait_for(w, std::chrono::nanoseconds(std::max<int64_t>(nextDue - nowNs(), 0)),
                             [&] { return syncWake_ || stop->load(); });
            syncWake_ = false;
        }
        g.lock();
    }
}

// ==== Decode-ahead =====================================================================

void Engine::decodeLoop(std::shared_ptr<std::atomic<bool>> stop) {
    nameThisThread("mirvane-decode");
    std::vector<std::shared_ptr<Channel>> work;
    while (!stop->load()) {
        work.clear();
        {
            std::lock_guard<std::mutex> g(mutex_);
            for (auto &[h, ch] : channels_)
                if (ch->voice && ch->state.load() != kStopped)
                    work.push_back(ch);
        }
        size_t shortestLead = SIZE_MAX; // frames, of the channels whose chain runs just ahead
        for (auto &ch : work) {
            // A few chunks per turn of the lock, so API calls on the channel never wait long.
            bool more = true;
            while (more && !stop->load()) {
                std::lock_guard<std::recursive_mutex> cl(ch->mutex);
                more = !ch->freed.load() && fillLocked(*ch, ch->voice->capacity, 4);
                if (!ch->chain.empty())
                    shortestLead = std::min(shortestLead, ch->leadFrames);
            }
        }
        work.clear(); // a channel freed meanwhile is destroyed here, outside every lock
        // The rings hold half a second: topping them up every 100 ms is plenty, unless a chain
        // runs only its short lead ahead. A play or a seek sets the flag, so a wake-up sent
        // before we wait is not lost.
        const int leadMs = int(std::min<size_t>(shortestLead / size_t(outRate_ / 1000), 300));
        const auto nap = std::chrono::milliseconds(std::clamp(leadMs / 2, 2, 100));
        std::unique_lock<std::mutex> w(decodeWakeMutex_);
        decodeCv_.wait_for(w, nap, [&] { return decodeWake_ || stop->load(); });
        decodeWake_ = false;
    }
}

// ==== DSP and FX =======================================================================

DWORD Engine::addChain(DWORD handle, DSPPROC *proc, void *user, int priority, bool fx) {
    auto ch = find(handle);
    if (!ch)
        return 0;
    if (ch->kind == Kind::Record) {
        setError(BASS_ERROR_NOTAVAIL);
        return 0;
    }
    if (!fx && !proc) {
        setError(BASS_ERROR_ILLPARAM);
        return 0;
    }
    auto e = std::make_shared<ChainEntry>();
    e->priority = priority;
    e->proc = fx ? nullptr : proc;
    e->user = user;
    if (fx) {
        e->eq = std::make_unique<ParamEq>();
        e->eq->set(ParamEqParams{}, ch->rate);
    }
    {
        std::lock_guard<std::mutex> g(mutex_);
        if (!channels_.count(handle)) {
            setError(BASS_ERROR_HANDLE);
            return 0;
        }
        e->handle = newHandle();
        if (fx)
            fxOwner_[e->handle] = handle;
    }
    std::lock_guard<std::recursive_mutex> cl(ch->mutex);
    // Equal priorities keep the order they were set in.
    auto pos = std::find_if(ch->chain.begin(), ch->chain.end(),
                            [&](const auto &x) { return x->priority < priority; });
    ch->chain.insert(pos, e);
    setError(BASS_OK);
    return e->handle;
}

bool Engine::removeChain(DWORD handle, DWORD entry, bool fx) {
    auto ch = find(handle);
    if (!ch)
        return false;
    // Taking the channel lock waits for a running DSP of this channel to return.
    std::lock_guard<std::recursive_mutex> cl(ch->mutex);
    auto it = std::find_if(ch->chain.begin(), ch->chain.end(), [&](const auto &x) {
        return x->handle == entry && (x->eq != nullptr) == fx;
    });
    if (it == ch->chain.end()) {
        setError(BASS_ERROR_HANDLE);
        return false;
    }
    (*it)->removed = true;
    ch->chain.erase(it);
    if (fx) {
        std::lock_guard<std::mutex> g(mutex_);
        fxOwner_.erase(entry);
    }
    setError(BASS_OK);
    return true;
}

bool Engine::fxParameters(HFX fx, const BASS_PARAMEQ *in, BASS_PARAMEQ *out) {
    DWORD owner = 0;
    {
        std::lock_guard<std::mutex> g(mutex_);
        auto it = fxOwner_.find(fx);
        if (it != fxOwner_.end())
            owner = it->second;
    }
    auto ch = owner ? find(owner) : nullptr;
    if (!ch) {
        setError(BASS_ERROR_HANDLE);
        return false;
    }
    std::lock_guard<std::recursive_mutex> cl(ch->mutex);
    for (auto &e : ch->chain) {
        if (e->handle != fx || !e->eq)
            continue;
        if (out) {
            const auto &p = e->eq->params();
            *out = BASS_PARAMEQ{p.center, p.bandwidth, p.gain};
        } else {
            if (std::isnan(in->center) || std::isnan(in->bandwidth) || std::isnan(in->gain)) {
                setError(BASS_ERROR_ILLPARAM);
                return false;
            }
            // Out of range is clamped (as the effects library does with its own records).
            const float top = std::min(16000.0f, 0.45f * float(ch->rate));
            const ParamEqParams p{std::clamp(in->center, std::min(80.0f, top), top),
                                  std::clamp(in->bandwidth, 1.0f, 36.0f),
                                  std::clamp(in->gain, -15.0f, 15.0f)};
            e->eq->set(p, ch->rate);
        }
        setError(BASS_OK);
        return true;
    }
    setError(BASS_ERROR_HANDLE);
    return false;
}

// ==== Data =============================================================================

size_t Engine::decodeChunkLocked(Channel &c) {
    const size_t n = c.decoder->read(c.work.data(), kChunk);
    if (n == 0)
        return 0;
    runChainLocked(c, c.work.data(), n);
    c.pending.swap(c.work);
    c.pendingOffset = 0;
    c.pendingSize = n * size_t(c.channels);
    c.work.resize(c.pending.size());
    return n;
}

DWORD Engine::getData(DWORD handle, void *buffer, DWORD length) {
    auto ch = find(handle);
    if (!ch)
        return DWORD(-1);
    if (!buffer) {
        setError(BASS_ERROR_ILLPARAM);
        return DWORD(-1);
    }
    const bool fft = (length & 0x80000000u) != 0;
    if (fft && length != BASS_DATA_FFT2048) {
        setError(BASS_ERROR_ILLTYPE);
        return DWORD(-1);
    }
    if (ch->kind == Kind::Record)
        return recordData(*ch, buffer, length, fft);
    if (!ch->decodeOnly)
        return heardData(*ch, buffer, length, fft);
    return pullData(*ch, buffer, length, fft);
}

// A recording: captured bytes not read yet, or the spectrum of the last ones captured.
DWORD Engine::recordData(Channel &chan, void *buffer, DWORD length, bool fft) {
    Channel *ch = &chan;
    float mono[kFftSize]; // on the stack: the spectrum is asked for 30 times a second
    // RecordFree clears ch->record under this lock before the state goes.
    std::lock_guard<std::recursive_mutex> cl(ch->mutex);
    RecordState *r = ch->record;
    if (!r) {
        setError(BASS_ERROR_HANDLE);
        return DWORD(-1);
    }
    if (fft) {
        const uint64_t heard = r->heard.load(std::memory_order_acquire);
        if (heard == 0) {
            setError(BASS_ERROR_NOPLAY);
            return DWORD(-1);
        }
        for (size_t i = 0; i < size_t(kFftSize); ++i) {
            const uint64_t idx = heard + RecordState::kHistory - kFftSize + i;
            mono[i] =
                r->history[size_t(idx % RecordState::kHistory)].load(std::memory_order_relaxed);
        }
        fftMagnitudes(mono, static_cast<float *>(buffer));
        setError(BASS_OK);
        return 1024 * sizeof(float);
    }
    const size_t frameBytes = 2 * size_t(r->channels);
    const uint64_t rd = r->read.load(), wr = r->written.load(std::memory_order_acquire);
    const size_t frames = size_t(std::min<uint64_t>(wr - rd, length / frameBytes));
    auto *out = static_cast<int16_t *>(buffer);
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < r->channels; ++c)
            out[i * size_t(r->channels) + size_t(c)] =
                r->ring[size_t((rd + i) % r->capacity) * size_t(r->channels) + size_t(c)];
    r->read.store(rd + frames, std::memory_order_release);
    setError(BASS_OK);
    return DWORD(frames * frameBytes);
}

// A played channel: what has been heard (the mixer's history), never decoded for this.
DWORD Engine::heardData(Channel &chan, void *buffer, DWORD length, bool fft) {
    Channel *ch = &chan;
    float mono[kFftSize]; // on the stack: the spectrum is asked for 30 times a second
    Voice &v = *ch->voice;
    const uint64_t heard = v.heard.load(std::memory_order_acquire);
    if (heard == 0) {
        setError(BASS_ERROR_NOPLAY);
        return DWORD(-1);
    }
    if (fft) {
        for (size_t i = 0; i < size_t(kFftSize); ++i) {
            const size_t at =
                size_t((heard + Voice::kHistory - kFftSize + i) % Voice::kHistory) * 2;
            mono[i] = 0.5f * (v.history[at].load(std::memory_order_relaxed) +
                              v.history[at + 1].load(std::memory_order_relaxed));
        }
        fftMagnitudes(mono, static_cast<float *>(buffer));
        setError(BASS_OK);
        return 1024 * sizeof(float);
    }
    const size_t frames = std::min<size_t>({length / 4, size_t(heard), Voice::kHistory});
    auto *out = static_cast<int16_t *>(buffer);
    for (size_t i = 0; i < frames; ++i) {
        const size_t at = size_t((heard - frames + i) % Voice::kHistory) * 2;
        out[i * 2] = toS16(v.history[at].load(std::memory_order_relaxed));
        out[i * 2 + 1] = toS16(v.history[at + 1].load(std::memory_order_relaxed));
    }
    setError(BASS_OK);
    return DWORD(frames * 4);
}

// A decode-only channel: decodes on the caller's thread (DSPs and FX run here).
DWORD Engine::pullData(Channel &chan, void *buffer, DWORD length, bool fft) {
    Channel *ch = &chan;
    float mono[kFftSize]; // on the stack: the spectrum is asked for 30 times a second
    std::lock_guard<std::recursive_mutex> cl(ch->mutex);
    const size_t chans = size_t(ch->channels);
    if (fft) {
        if (ch->fftFill == 0) {
            setError(BASS_ERROR_NOPLAY);
            return DWORD(-1);
        }
        for (size_t i = 0; i < size_t(kFftSize); ++i) { // oldest first
            const int16_t *f = &ch->fftHistory[((ch->fftFill + i) % size_t(kFftSize)) * chans];
            float sum = 0;
            for (size_t c = 0; c < chans; ++c)
                sum += float(f[c]);
            mono[i] = sum / (32768.0f * float(chans));
        }
        fftMagnitudes(mono, static_cast<float *>(buffer));
        setError(BASS_OK);
        return 1024 * sizeof(float);
    }
    if (ch->fftHistory.empty())
        ch->fftHistory.assign(size_t(kFftSize) * chans, 0);
    const size_t wantFrames = length / (2 * chans);
    if (wantFrames == 0) {
        // Less than one frame asked for: nothing to give, but the channel goes on.
        setError(BASS_OK);
        return 0;
    }
    auto *out = static_cast<int16_t *>(buffer);
    size_t done = 0; // frames
    while (done < wantFrames && !ch->freed.load()) {
        if (ch->pendingOffset >= ch->pendingSize) {
            if (!ch->decodeEnded && ch->chain.empty() && ch->decoder->hasExactS16()) {
                // Nothing to process: let the decoder write 16-bit samples straight out.
                const size_t n = ch->decoder->readS16(out + done * chans, wantFrames - done);
                done += n;
                if (n > 0)
                    continue;
            } else if (!ch->decodeEnded && decodeChunkLocked(*ch) > 0) {
                continue;
            }
            if (!ch->decodeEnded) {
                ch->decodeEnded = true;
                ch->lengthFrames.store(ch->decodePos.load() + done);
                markLengthExact(*ch);
                ch->decodeEndPending.store(true);
                wakeSyncs();
            }
            break;
        }
        const size_t n = std::min((ch->pendingSize - ch->pendingOffset) / chans, wantFrames - done);
        floatToS16(ch->pending.data() + ch->pendingOffset, out + done * chans, n * chans);
        ch->pendingOffset += n * chans;
        done += n;
    }
    // Keep a copy of the last kFftSize frames pulled for the FFT (mixed only when asked for).
    const size_t keep = std::min(done, size_t(kFftSize));
    for (size_t i = done - keep; i < done;) {
        const size_t at = ch->fftFill % size_t(kFftSize);
        const size_t n = std::min(done - i, size_t(kFftSize) - at);
        std::memcpy(&ch->fftHistory[at * chans], out + i * chans, n * chans * sizeof(int16_t));
        ch->fftFill += n;
        i += n;
    }
    ch->decodePos.fetch_add(done);
    if (done == 0) {
        setError(BASS_ERROR_ENDED);
        return DWORD(-1);
    }
    setError(BASS_OK);
    return DWORD(done * 2 * chans);
}

} // namespace mirvane::audio
