// The bytes of an internet stream (http or https, Shoutcast "ICY 200 OK" servers included): a
// transfer on a thread of its own fills a bounded buffer that the decoder reads from, strips
// the ICY metadata blocks out of the audio and keeps the last one. libcurl is seen only by
// source_url.cpp.
#pragma once

#include "bass.h"
#include "source.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace mirvane::audio {

// Bounds of one URL stream; every buffer it keeps is limited by these.
struct UrlLimits {
    static constexpr size_t kMaxUrl = 2048;            // bytes of an address
    static constexpr size_t kMaxHeaderBytes = 16384;   // all response header lines together
    static constexpr size_t kMaxMetaBytes = 4080;      // one metadata block (255 * 16)
    static constexpr size_t kMaxMetaInt = 1 << 20;     // larger metadata intervals are refused
    static constexpr size_t kBufferBytes = 256 * 1024; // audio bytes buffered ahead
    static constexpr size_t kDecodeReady = 4096;       // buffered bytes for one decode step
    static constexpr size_t kPrebuffer = 12 * 1024;    // before the decoder opens
    static constexpr int kMaxRedirects = 5;
};

// Tunables shared by all URL streams (BASS_SetConfig); read when a stream is opened.
struct UrlConfig {
    int connectTimeoutMs = 5000;
    int stallMs = 5000;    // no data this long: reconnect
    int reconnects = 5;    // attempts after a drop before the stream ends
    int prebufferMs = 300; // longest wait for kPrebuffer once the first audio byte is in
};
UrlConfig urlConfig();
void setUrlConfig(const UrlConfig &c);

class UrlStream : public ByteStream {
  public:
    // Connects and waits (on the calling thread) for the response headers and the prebuffer.
    // flags: BASS_STREAM_META asks for metadata, BASS_STREAM_STATUS sends status texts to proc.
    // nullptr and err (BASS_ERROR_*) on failure.
    static std::shared_ptr<UrlStream> open(const char *url, DWORD flags, DOWNLOADPROC *proc,
                                           void *user, int &err);
    // True when a decode step will not wait for the network (enough buffered, or the end).
    virtual bool readyForDecode() const = 0;
    // Ends the transfer and wakes a waiting read (which then gives the end). Any thread.
    virtual void close() = 0;
    // BASS_TAG_HTTP: the header lines, each ended by '\0', then an empty one.
    // BASS_TAG_META: the last metadata text. Empty when there is none.
    virtual std::string tags(DWORD type) const = 0;
    virtual bool hasTags(DWORD type) const = 0;
    // Grows by one with each new metadata block.
    virtual uint32_t metaSerial() const = 0;
    // Called on the transfer thread after each new metadata block (no lock held), so the sync
    // thread looks at once instead of polling. Set once, before the first block matters.
    virtual void setMetaListener(std::function<void()> listener) = 0;
};

} // namespace mirvane::audio
