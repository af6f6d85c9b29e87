// The engine behind bass.h: channels, the mixer, the decode-ahead and sync threads.
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
#include "paramEq.h"
#include "resampler.h"

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

void setError(int code);

enum class Kind { Stream, Music, Record };
enum State : int { kStopped = 0, kPlaying = 1, kPaused = 3 };

// What the mixer sees of a played channel. The ring holds stereo float frames at the output
// rate; the decode-ahead thread writes (holding the channel lock), the mixer reads.
struct Voice {
  explicit Voice(size_t capacityFrames);
  static constexpr size_t kHistory = 4096; // frames of heard history (FFT, PCM peeks)

  const size_t capacity;                     // frames
  std::unique_ptr<float[]> ring;             // capacity * 2
  std::atomic<uint64_t> written{0};          // frames ever written (since the last reset)
  std::atomic<uint64_t> read{0};             // frames ever mixed (since the last reset)
  std::atomic<bool> active{false};           // the mixer consumes while true
  std::atomic<bool> eof{false};              // the last frame is in the ring
  std::atomic<bool> ended{false};            // the mixer has played the last frame
  std::atomic<int64_t> endDueNs{0};          // steady-clock time the last frame is heard
  std::atomic<float> gainL{1.0f}, gainR{1.0f};
  std::unique_ptr<std::atomic<float>[]> history; // kHistory * 2, written by the mixer only
  std::atomic<uint64_t> heard{0};            // frames ever written to history
};

struct ChainEntry {
  DWORD handle = 0;
  int priority = 0;
  DSPPROC *proc = nullptr; // a DSP, or
  void *user = nullptr;
  std::unique_ptr<ParamEq> eq; // a built-in FX
  bool removed = false;    // --- protected by Channel::mutex
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
  std::vector<std::shared_ptr<ChainEntry>> chain; // sorted: higher priority first
  std::vector<float> work, stereo, resampled;
  std::vector<float> pending; // decode-only: processed frames not yet pulled
  size_t pendingOffset = 0;   // in samples
  size_t pendingSize = 0;     // in samples
  std::vector<int16_t> fftHistory; // decode-only: the last kFftSize frames pulled
  size_t fftFill = 0;            // frames ever written to fftHistory
  bool decodeEnded = false;
  uint64_t basePos = 0; // frame at which the ring's content starts
  int playRate = 0;

  // --- immutable after creation
  int rate = 0, channels = 0;
  uint64_t lengthFrames = 0;
  std::string title;
  uint32_t orders = 0;
  std::unique_ptr<Voice> voice; // played channels only
  int slot = -1;

  std::atomic<uint64_t> decodePos{0}; // frames decoded (decode-only: pulled)
  std::atomic<int> state{kStopped};
  std::atomic<int> volume{100}, pan{0};
  std::atomic<bool> freed{false};
  std::atomic<bool> endHandled{false}; // the end sync of the current run has been queued
  std::atomic<bool> decodeEndPending{false};
  RecordState *record = nullptr;
};

} // namespace mirvane::audio
