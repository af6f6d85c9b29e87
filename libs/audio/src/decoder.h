// The small interface every decoder sits behind. Each decoding library is included by exactly
// one .cpp file; the engine sees only this.
#pragma once

#include "source.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace mirvane::audio {

class Decoder {
  public:
    virtual ~Decoder() = default;
    virtual int rate() const = 0;
    virtual int channels() const = 0;
    // Total length in frames (exact for WAV, Vorbis, and MP3 with a header or after a scan).
    virtual uint64_t frames() const = 0;
    // Fills out with up to frames interleaved float frames; 0 means the end.
    virtual size_t read(float *out, size_t frames) = 0;
    virtual bool seek(uint64_t frame) = 0;
    // True when readS16 gives exactly what read() would after rounding to 16 bits, at less
    // cost (16-bit and 8-bit PCM): decode-only channels without DSPs then skip the floats.
    virtual bool hasExactS16() const { return false; }
    virtual size_t readS16(int16_t *, size_t) { return 0; }
    // False while frames() is an estimate (MP3 without a length header).
    virtual bool lengthExact() const { return true; }
    // A scan of the whole input for the exact length (and a seek index), to run on a library
    // thread: it reads its own copy of the source and touches nothing of the decoder. nullptr
    // when there is nothing to scan.
    virtual std::unique_ptr<class LengthScan> makeScan() { return nullptr; }
    // Takes in what a finished scan found (under the owner's lock, not while decoding).
    virtual void takeScan(LengthScan &) {}
};

class LengthScan {
  public:
    virtual ~LengthScan() = default;
    // Runs to the end of the input, or until *cancel turns true. True when it reached the
    // end and frames() is then exact.
    virtual bool run(const std::atomic<bool> &cancel) = 0;
    virtual uint64_t frames() const = 0;
};

// Tracker music adds what the music calls need.
class ModuleDecoder : public Decoder {
  public:
    virtual std::string title() const = 0;
    virtual uint32_t orders() const = 0;
};

enum class StreamKind { None, Wav, Ogg, Mpeg };

// Looks at the content only (never the name). MPEG needs several chained frame headers, so
// text or random bytes are not taken for it.
StreamKind detectStream(Source &src);

// For MPEG without a Xing/Info/VBRI header: the frame count estimated from the average
// length of the first frames and the file size. False when such a header is there.
bool estimateMpegLength(Source &src, uint64_t &frames);

// Each returns nullptr and sets err (a BASS_ERROR_* code) when the source cannot be decoded.
std::unique_ptr<Decoder> openWav(std::unique_ptr<Source> src, int &err);
std::unique_ptr<Decoder> openVorbis(std::unique_ptr<Source> src, int &err);
std::unique_ptr<Decoder> openMpeg(std::unique_ptr<Source> src, bool prescan, int &err);

// True when the start of src looks like a module libopenmpt will load (fast: header only).
bool probeModule(Source &src);
// rate: the rendering rate. ramp: volume ramping on note changes.
std::unique_ptr<ModuleDecoder> openModule(std::unique_ptr<Source> src, int rate, bool ramp,
                                          int &err);

} // namespace mirvane::audio
