// The engine behind bass.h: channels, the mixer, the decode-ahead and sync threads
// (engine.cpp), recording (record.cpp); api.cpp puts the C interface over it.
//
// Locks, always taken in this order and never the other way round:
//   Channel::mutex  (decode state of one channel; held by the decode-ahead thread while it
//                    fills that channel, so DSPs run under it)
//   Engine::mutex   (the channel table, syncs, thread bookkeeping; held only briefly)
// The output callback takes neither: it reads voices through atomics only.
#pragma once

#include "bass.h"
#include "decoder.h"
#include "device.h"
#include "errors.h"
#include "param_eq.h"
#include "resampler.h"
#include "url_stream.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace mirvane::audio {

constexpr int kMaxVoices = 1024; // played channels open at once

enum class Kind { Stream, Music, Record };
enum State : int { kStopped = 0, kPlaying = 1, kPaused = 3 };

// What the mixer sees of a played channel. The ring holds stereo float frames at the output
// rate; the decode-ahead thread writes (holding the channel lock), the mixer reads.
struct Voice {
    explicit Voice(size_t capacityFrames);
    static constexpr size_t kHistory = 4096; // frames of heard history (FFT, PCM peeks)

    const size_t capacity;            // frames
    std::unique_ptr<float[]> ring;    // capacity * 2
    std::atomic<uint64_t> written{0}; // frames ever written (since the last reset)
    std::atomic<uint64_t> read{0};    // frames ever mixed (since the last reset)
    std::atomic<bool> active{false};  // the mixer consumes while true
    std::atomic<bool> eof{false};     // the last frame is in the ring
    std::atomic<bool> ended{false};   // the mixer has played the last frame
    std::atomic<int64_t> endDueNs{0}; // steady-clock time the last frame is heard
    std::atomic<float> gainL{1.0f}, gainR{1.0f};
    std::unique_ptr<std::atomic<float>[]> history; // kHistory * 2, written by the mixer only
    std::atomic<uint64_t> heard{0};                // frames ever written to history
    std::atomic<uint32_t> starved{0}; // mixer calls that found too few frames before the end
};

struct ChainEntry {
    DWORD handle = 0;
    int priority = 0;
    DSPPROC *proc = nullptr; // a DSP, or
    void *user = nullptr;
    std::unique_ptr<ParamEq> eq; // a built-in FX
    bool removed = false;        // --- protected by Channel::mutex
};

struct RecordState;

struct Channel {
    DWORD handle = 0;
    Kind kind = Kind::Stream;
    bool decodeOnly = false;

    std::recursive_mutex mutex;
    // --- protected by mutex
    std::unique_ptr<Decoder> decoder;
    std::unique_ptr<Resampler> resampler; // nullptr when the playing rate is the output rate
    std::vector<std::shared_ptr<ChainEntry>> chain;     // sorted: higher priority first
    std::vector<std::shared_ptr<ChainEntry>> chainWalk; // reused copy of chain while it runs
    bool walkingChain = false;
    std::vector<float> work, stereo, resampled;
    std::vector<float> pending;      // decode-only: processed frames not yet pulled
    size_t pendingOffset = 0;        // in samples
    size_t pendingSize = 0;          // in samples
    std::vector<int16_t> fftHistory; // decode-only: the last kFftSize frames pulled
    size_t fftFill = 0;              // frames ever written to fftHistory
    bool decodeEnded = false;
    // Played channels with DSPs or FX: decoded frames (channel format) wait here, up to half a
    // second ahead, and the chain runs only a short lead ahead of the mixer, so a change of an
    // effect's settings is heard within that lead instead of after the whole decode-ahead.
    std::vector<float> raw;             // rawCapacity * channels, circular
    size_t rawCapacity = 0;             // frames; 0 until first needed
    size_t rawStart = 0, rawFrames = 0; // frames
    bool decoderDone = false;           // the decoder has given its last frame
    size_t leadFrames = 0;              // the chain's lead now (grows when the mixer starved)
    uint32_t starvedSeen = 0;           // Voice::starved when the lead last grew
    int64_t leadChangedNs = 0;          // when the lead last grew or shrank (nowNs)
    uint64_t basePos = 0;               // frame at which the ring's content starts
    int playRate = 0;

    // --- immutable after creation
    int rate = 0, channels = 0;
    std::string title;
    uint32_t orders = 0;
    std::unique_ptr<Voice> voice; // played channels only
    int slot = -1;

    std::atomic<uint64_t> decodePos{0}; // frames decoded (decode-only: pulled)
    // From the decoder at creation (an estimate for MP3 without a header unless prescanned,
    // and for music); made exact when decoding reaches the end.
    std::atomic<uint64_t> lengthFrames{0};
    std::atomic<int> state{kStopped};
    std::atomic<int> volume{100}, pan{0};
    std::atomic<bool> freed{false};
    bool freeing = false;                   // --- protected by Engine::mutex: a free has begun
    std::atomic<bool> endHandled{false};    // the end sync of the current run has been queued
    std::atomic<bool> lengthExact{true};    // lengthFrames is no estimate
    std::atomic<bool> lengthSyncDue{false}; // it has just become exact: fire BASS_SYNC_LENGTH
    // Set when the channel goes: a length scan still running on its thread stops early.
    std::shared_ptr<std::atomic<bool>> scanCancel = std::make_shared<std::atomic<bool>>(false);
    std::atomic<bool> decodeEndPending{false};
    RecordState *record = nullptr;
    std::shared_ptr<UrlStream> net; // URL streams only; immutable after creation
    uint32_t metaSeen = 0;          // --- protected by Engine::mutex (the sync thread's)
};

// One recording: the capture callback writes (converting from the shared device's format),
// API callers read. Single producer, single consumer.
struct RecordState {
    static constexpr size_t kHistory = 4096;
    RecordState(int rate_, int channels_)
        : rate(rate_), channels(channels_), capacity(size_t(rate_)),
          ring(new int16_t[size_t(rate_) * size_t(channels_)]),
          history(new std::atomic<float>[kHistory]),
          scratch(new int16_t[size_t(rate_) * size_t(channels_)]) {
        for (size_t i = 0; i < kHistory; ++i)
            history[i].store(0.0f, std::memory_order_relaxed);
    }
    const int rate, channels;
    const size_t capacity; // frames
    std::unique_ptr<int16_t[]> ring;
    std::atomic<uint64_t> written{0}, read{0};
    std::unique_ptr<std::atomic<float>[]> history; // mono
    std::atomic<uint64_t> heard{0};
    std::shared_ptr<Channel> channel;
    DWORD handle = 0;
    RECORDPROC *proc = nullptr;
    void *user = nullptr;

    // --- capture thread only
    std::unique_ptr<int16_t[]> scratch; // one block converted, for proc (at most a second)
    bool procActive = true;
    double phase = 0;     // rate conversion: where the next output frame lies after `prev`
    int16_t prev[2] = {}; // the last device frame, in this recording's channel count
};

class Engine {
  public:
    static Engine &get() {
        static Engine *engine = new Engine; // never destroyed: threads may outlive static dtors
        return *engine;
    }

    // ---- library ------------------------------------------------------------------------
    bool init(int device, DWORD freq);
    bool free();
    bool start();
    bool setVolume(DWORD v);
    DWORD device() {
        std::lock_guard<std::mutex> g(mutex_);
        return initialized_ ? DWORD(device_) : DWORD(-1);
    }
    const char *deviceDescription(int device);

    // ---- channels -----------------------------------------------------------------------
    DWORD createStream(BOOL mem, const void *file, QWORD offset, QWORD length, DWORD flags);
    DWORD createUrlStream(const char *url, DWORD offset, DWORD flags, DOWNLOADPROC *proc,
                          void *user); // stream_url.cpp
    DWORD loadMusic(BOOL mem, const void *file, QWORD offset, DWORD length, DWORD flags,
                    DWORD freq);
    std::shared_ptr<Channel> find(DWORD handle);
    bool freeChannel(DWORD handle, Kind kind);
    bool play(DWORD handle, bool restart);
    bool pause(DWORD handle);
    DWORD isActive(DWORD handle);
    QWORD position(DWORD handle);
    bool setPosition(DWORD handle, QWORD pos);
    bool setAttributes(DWORD handle, int freq, int volume, int pan);
    HSYNC setSync(DWORD handle, DWORD type, SYNCPROC *proc, void *user);
    bool removeSync(DWORD handle, HSYNC sync);
    DWORD addChain(DWORD handle, DSPPROC *proc, void *user, int priority, bool fx);
    bool removeChain(DWORD handle, DWORD entry, bool fx);
    bool fxParameters(HFX fx, const BASS_PARAMEQ *in, BASS_PARAMEQ *out);
    DWORD getData(DWORD handle, void *buffer, DWORD length);

    // ---- recording ----------------------------------------------------------------------
    bool recordInit(int device);
    DWORD recordStart(DWORD freq, DWORD chans, RECORDPROC *proc, void *user);
    bool recordStop(DWORD handle);
    bool recordFree();

  private:
    struct Sync {
        DWORD channel;
        DWORD type;
        SYNCPROC *proc;
        void *user;
    };

    Engine() {
        for (auto &s : slots_)
            s.store(nullptr);
        for (auto &s : recordSlots_)
            s.store(nullptr);
    }

    DWORD newHandle() { return nextHandle_++; } // under mutex_
    DWORD registerChannel(std::shared_ptr<Channel> ch);
    std::shared_ptr<Channel> prepareChannel(std::unique_ptr<Decoder> dec, Kind kind, DWORD flags,
                                            int &err);

    static void mixThunk(void *user, float *out, int frames) {
        static_cast<Engine *>(user)->mix(out, frames);
    }
    static void captureThunk(void *user, const int16_t *in, int frames) {
        static_cast<Engine *>(user)->capture(in, frames);
    }
    void capture(const int16_t *in, int frames);
    void stopRecording(std::unique_ptr<RecordState> r);
    void mix(float *out, int frames);
    void waitForMixer();
    void setGains(Channel &c);

    // Channel work, all with c.mutex held.
    // Decodes at most maxChunks steps; returns true when the ring wants more.
    bool fillLocked(Channel &c, size_t targetFrames, int maxChunks = 1 << 30);
    void runChainLocked(Channel &c, float *buf, size_t frames);
    void seekLocked(Channel &c, uint64_t frame);
    size_t decodeChunkLocked(Channel &c); // decode-only: one processed chunk into pending
    QWORD positionOf(Channel &c);
    // The three kinds of BASS_ChannelGetData (handle and length checked already).
    DWORD recordData(Channel &c, void *buffer, DWORD length, bool fft);
    DWORD heardData(Channel &c, void *buffer, DWORD length, bool fft);
    DWORD pullData(Channel &c, void *buffer, DWORD length, bool fft);

    void ensureSyncThread(); // under mutex_
    void markLengthExact(Channel &c);
    void startLengthScan(const std::shared_ptr<Channel> &ch);
    void syncLoop(std::shared_ptr<std::atomic<bool>> stop);
    void decodeLoop(std::shared_ptr<std::atomic<bool>> stop);
    void noSoundLoop(std::shared_ptr<std::atomic<bool>> stop);
    void stopThreadsAndDevice(std::unique_lock<std::mutex> &g);
    // Both wakes set their flag under the waiter's lock, so none is lost between the waiter's
    // last look and its sleep. The mixer calls wakeSyncs only when a voice ends.
    void wakeSyncs() {
        {
            std::lock_guard<std::mutex> w(syncWakeMutex_);
            syncWake_ = true;
        }
        syncCv_.notify_one();
    }
    void wakeDecoder() {
        {
            std::lock_guard<std::mutex> w(decodeWakeMutex_);
            decodeWake_ = true;
        }
        decodeCv_.notify_one();
    }

    std::mutex mutex_;
    // --- protected by mutex_
    bool initialized_ = false;
    int device_ = -1;
    DWORD nextHandle_ = 1;
    std::unordered_map<DWORD, std::shared_ptr<Channel>> channels_;
    std::map<DWORD, Sync> syncs_;
    std::unordered_map<DWORD, DWORD> fxOwner_; // HFX -> channel
    DWORD firingChannel_ = 0;                  // channel whose sync callback runs now
    std::thread::id firingThread_;
    std::condition_variable firingCv_;
    std::thread syncThread_;
    std::shared_ptr<std::atomic<bool>> syncStop_;
    std::thread decodeThread_, noSoundThread_;
    std::shared_ptr<std::atomic<bool>> decodeStop_;
    std::unique_ptr<OutputDevice> output_;
    // Recordings share one capture device, opened at the first one's format.
    std::vector<std::unique_ptr<RecordState>> records_;
    std::unique_ptr<CaptureDevice> capture_;
    bool recordInit_ = false;

    std::mutex syncWakeMutex_;
    // --- protected by syncWakeMutex_
    bool syncWake_ = false; // a sync may be due (an end, an exact length, a stop): look now
    std::condition_variable syncCv_;

    std::mutex decodeWakeMutex_;
    // --- protected by decodeWakeMutex_
    bool decodeWake_ = false; // there is work for the decode-ahead thread: do not sleep
    std::condition_variable decodeCv_;

    // --- shared with the capture callback (atomics only), as slots_ with the mixer
    static constexpr int kMaxRecords = 64;
    std::atomic<RecordState *> recordSlots_[kMaxRecords];
    std::atomic<uint64_t> captureEpoch_{0}; // odd while the capture callback runs
    std::atomic<int> captureRateNow_{0}, captureChannelsNow_{0}; // the device's format

    // --- shared with the mixer (atomics only)
    std::atomic<Voice *> slots_[kMaxVoices];
    std::atomic<int> slotHigh_{0};      // slots at or above this are empty
    std::atomic<uint64_t> mixEpoch_{0}; // odd while the mixer runs
    std::atomic<float> master_{1.0f};
    std::atomic<int64_t> latencyNs_{0};
    // Set by init before the threads start; the mixer and the decode-ahead thread read it.
    std::atomic<int> outRate_{44100};

  public:
    // How far ahead of the mixer a channel's DSP chain runs (BASS_CONFIG_DSP_LEAD), in ms.
    static constexpr int kDefaultDspLeadMs = 30;
    std::atomic<int> dspLeadMs{kDefaultDspLeadMs};
};

} // namespace mirvane::audio
