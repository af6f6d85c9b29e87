// URL streams through libcurl: one transfer thread per stream, a bounded byte ring between it
// and the decoder, ICY metadata taken out of the audio, reconnects after a drop or a stall.
#include "url_stream.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace mirvane::audio {
namespace {

using Clock = std::chrono::steady_clock;

std::mutex gConfigMutex;
UrlConfig gConfig; // --- protected by gConfigMutex

constexpr size_t kCurlBuffer = 16384; // largest piece the write callback gets at once

bool startsWithNoCase(const std::string &s, const char *prefix) {
    const size_t n = std::strlen(prefix);
    if (s.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i])
            return false;
    return true;
}

class CurlUrlStream final : public UrlStream, public std::enable_shared_from_this<CurlUrlStream> {
  public:
    CurlUrlStream(std::string url, DWORD flags, DOWNLOADPROC *proc, void *user, UrlConfig cfg)
        : url_(std::move(url)), flags_(flags), proc_(proc), user_(user), cfg_(cfg),
          ring_(UrlLimits::kBufferBytes) {
        multi_ = curl_multi_init();
    }
    ~CurlUrlStream() override {
        close();
        if (thread_.joinable())
            thread_.detach(); // only when the transfer thread itself drops the last reference
        if (multi_)
            curl_multi_cleanup(multi_);
    }

    bool start(int &err) {
        if (!multi_) {
            err = BASS_ERROR_MEM;
            return false;
        }
        thread_ = std::thread([self = shared_from_this()] { self->run(); });
        std::unique_lock<std::mutex> g(m_);
        for (;;) {
            if (failErr_ != BASS_OK) {
                err = failErr_;
                break;
            }
            if (ended_ && size_ == 0) {
                err = BASS_ERROR_FORMAT; // a response without audio
                break;
            }
            if (gotAudio_) {
                const auto waited = Clock::now() - firstAudio_;
                if (size_ >= UrlLimits::kPrebuffer || ended_ ||
                    waited >= std::chrono::milliseconds(cfg_.prebufferMs))
                    return true;
                cv_.wait_until(g, firstAudio_ + std::chrono::milliseconds(cfg_.prebufferMs));
                continue;
            }
            cv_.wait(g);
        }
        g.unlock();
        close();
        return false;
    }

    size_t read(void *buffer, size_t bytes) override {
        std::unique_lock<std::mutex> g(m_);
        cv_.wait(g, [&] { return size_ > 0 || ended_ || closed_; });
        const size_t n = std::min(bytes, size_);
        copyOut(0, static_cast<uint8_t *>(buffer), n);
        head_ = (head_ + n) % ring_.size();
        size_ -= n;
        const bool wake = paused_ && ring_.size() - size_ >= kCurlBuffer;
        g.unlock();
        if (wake)
            curl_multi_wakeup(multi_);
        return n;
    }

    size_t peek(size_t at, void *buffer, size_t bytes) override {
        std::lock_guard<std::mutex> g(m_);
        if (at >= size_)
            return 0;
        const size_t n = std::min(bytes, size_ - at);
        copyOut(at, static_cast<uint8_t *>(buffer), n);
        return n;
    }

    bool readyForDecode() const override {
        std::lock_guard<std::mutex> g(m_);
        return size_ >= UrlLimits::kDecodeReady || ended_ || closed_;
    }

    void close() override {
        {
            std::lock_guard<std::mutex> g(m_);
            closed_ = true;
        }
        cv_.notify_all();
        if (multi_)
            curl_multi_wakeup(multi_);
        if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
            thread_.join();
    }

    std::string tags(DWORD type) const override {
        std::lock_guard<std::mutex> g(m_);
        if (type == BASS_TAG_META)
            return meta_;
        std::string all;
        for (const auto &line : headers_) {
            all += line;
            all.push_back('\0');
        }
        all.push_back('\0');
        return all;
    }
    bool hasTags(DWORD type) const override {
        std::lock_guard<std::mutex> g(m_);
        return type == BASS_TAG_META ? metaSerial_ > 0 : !headers_.empty();
    }
    uint32_t metaSerial() const override {
        std::lock_guard<std::mutex> g(m_);
        return metaSerial_;
    }
    void setMetaListener(std::function<void()> listener) override {
        std::lock_guard<std::mutex> g(m_);
        metaListener_ = std::move(listener);
    }

  private:
    enum class Outcome { Closed, Ended, Dropped, Failed };

    void copyOut(size_t at, uint8_t *out, size_t n) const { // under m_
        size_t from = (head_ + at) % ring_.size();
        const size_t first = std::min(n, ring_.size() - from);
        std::memcpy(out, ring_.data() + from, first);
        std::memcpy(out + first, ring_.data(), n - first);
    }

    void status(const char *text) {
        if (proc_ && (flags_ & BASS_STREAM_STATUS))
            proc_(text, 0, user_);
    }

    void fail(int err) {
        {
            std::lock_guard<std::mutex> g(m_);
            if (failErr_ == BASS_OK)
                failErr_ = err;
        }
        cv_.notify_all();
    }

    bool isClosed() {
        std::lock_guard<std::mutex> g(m_);
        return closed_;
    }

    // The transfer thread: connects, and after a drop reconnects with a growing pause.
    void run() {
        int attempts = 0;
        bool streamed = false; // audio has reached the decoder once
        for (;;) {
            const Outcome o = transfer();
            if (o == Outcome::Closed)
                break;
            {
                std::lock_guard<std::mutex> g(m_);
                streamed = gotAudio_;
            }
            if (!streamed) {
                if (o != Outcome::Failed || failErrPending_ == BASS_OK)
                    failErrPending_ = BASS_ERROR_FILEOPEN;
                fail(failErrPending_);
                break;
            }
            if (o == Outcome::Ended || o == Outcome::Failed || attempts >= cfg_.reconnects)
                break;
            if (audioThisConnection_ >= 64 * 1024)
                attempts = 0; // it played a while: a fresh drop, not a server that is down
            ++attempts;
            status("Reconnecting\xE2\x80\xA6");
            const auto pause = std::chrono::milliseconds(std::min(250 << (attempts - 1), 4000));
            std::unique_lock<std::mutex> g(m_);
            if (cv_.wait_for(g, pause, [&] { return closed_; }))
                break;
        }
        {
            std::lock_guard<std::mutex> g(m_);
            ended_ = true;
        }
        cv_.notify_all();
        if (proc_ && !isClosed())
            proc_(nullptr, 0, user_);
    }

    // One connection, until it ends, drops, stalls or is closed.
    Outcome transfer() {
        CURL *h = curl_easy_init();
        if (!h) {
            failErrPending_ = BASS_ERROR_MEM;
            return Outcome::Failed;
        }
        curl_slist *extra = nullptr;
        if (flags_ & BASS_STREAM_META)
            extra = curl_slist_append(extra, "Icy-MetaData: 1");
        curl_easy_setopt(h, CURLOPT_URL, url_.c_str());
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(h, CURLOPT_MAXREDIRS, long(UrlLimits::kMaxRedirects));
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long(cfg_.connectTimeoutMs));
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_HTTP09_ALLOWED, 1L); // how "ICY 200 OK" gets through
        curl_easy_setopt(h, CURLOPT_BUFFERSIZE, long(kCurlBuffer));
        curl_easy_setopt(h, CURLOPT_USERAGENT, "Mirvane Player");
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, extra);
        curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &CurlUrlStream::onHeader);
        curl_easy_setopt(h, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CurlUrlStream::onWrite);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(h, CURLOPT_ERRORBUFFER, curlError_);
        // Per connection: the metadata interval and its counters come with each response.
        pendingHeaders_.clear();
        pendingHeaderBytes_ = 0;
        statusCode_ = 0;
        metaInt_ = 0;
        audioLeft_ = 0;
        metaLeft_ = -1;
        metaBlock_.clear();
        audioThisConnection_ = 0;
        failErrPending_ = BASS_OK;
        curlPaused_ = false;
        headDone_ = false;
        icyHead_.clear();
        lastData_ = Clock::now();

        curl_multi_add_handle(multi_, h);
        Outcome outcome = Outcome::Dropped;
        for (;;) {
            if (isClosed()) {
                outcome = Outcome::Closed;
                break;
            }
            if (curlPaused_) {
                bool room;
                {
                    std::lock_guard<std::mutex> g(m_);
                    room = ring_.size() - size_ >= kCurlBuffer;
                }
                lastData_ = Clock::now(); // a full buffer is not a stalled server
                if (room) {
                    curlPaused_ = false;
                    {
                        std::lock_guard<std::mutex> g(m_);
                        paused_ = false;
                    }
                    curl_easy_pause(h, CURLPAUSE_CONT);
                }
            }
            int running = 0;
            curl_multi_perform(multi_, &running);
            int queued = 0;
            bool done = false;
            while (CURLMsg *msg = curl_multi_info_read(multi_, &queued)) {
                if (msg->msg != CURLMSG_DONE)
                    continue;
                done = true;
                const CURLcode rc = msg->data.result;
                if (rc == CURLE_OK) {
                    curl_off_t expected = -1;
                    curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
                    outcome = expected >= 0 ? Outcome::Ended : Outcome::Dropped;
                } else if (failErrPending_ != BASS_OK) {
                    outcome = Outcome::Failed;
                } else {
                    outcome = Outcome::Dropped;
                }
            }
            if (done || running == 0)
                break;
            if (Clock::now() - lastData_ > std::chrono::milliseconds(cfg_.stallMs)) {
                outcome = Outcome::Dropped; // the watchdog: nothing came for too long
                break;
            }
            curl_multi_poll(multi_, nullptr, 0, 100, nullptr);
        }
        curl_multi_remove_handle(multi_, h);
        curl_easy_cleanup(h);
        curl_slist_free_all(extra);
        {
            std::lock_guard<std::mutex> g(m_);
            paused_ = false;
        }
        return outcome;
    }

    static size_t onHeader(char *data, size_t size, size_t n, void *user) {
        auto *self = static_cast<CurlUrlStream *>(user);
        const size_t bytes = size * n;
        return self->header(std::string(data, bytes)) ? bytes : 0;
    }

    bool header(std::string line) {
        lastData_ = Clock::now();
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        if (startsWithNoCase(line, "http/") || startsWithNoCase(line, "icy ")) {
            // A new response (the first, or the one after a redirect).
            pendingHeaders_.clear();
            pendingHeaderBytes_ = 0;
            statusLine_ = line;
            const size_t sp = line.find(' ');
            statusCode_ = sp == std::string::npos ? 0 : std::atoi(line.c_str() + sp + 1);
        }
        pendingHeaderBytes_ += line.size() + 1;
        if (pendingHeaderBytes_ > UrlLimits::kMaxHeaderBytes) {
            failErrPending_ = BASS_ERROR_FORMAT;
            return false;
        }
        if (!line.empty()) {
            pendingHeaders_.push_back(line);
            return true;
        }
        if (statusCode_ >= 300 && statusCode_ < 400)
            return true; // the library follows it
        headDone_ = true;
        if (statusCode_ < 200 || statusCode_ >= 300) {
            failErrPending_ = BASS_ERROR_FILEOPEN;
            status(statusLine_.c_str());
            return false;
        }
        for (const auto &h : pendingHeaders_) {
            if (startsWithNoCase(h, "icy-metaint:")) {
                const long v = std::atol(h.c_str() + 12);
                // A hostile interval would cut the audio into nonsense: take no metadata.
                metaInt_ = v > 0 && size_t(v) <= UrlLimits::kMaxMetaInt ? size_t(v) : 0;
            }
        }
        if (!(flags_ & BASS_STREAM_META))
            metaInt_ = 0;
        audioLeft_ = metaInt_;
        {
            std::lock_guard<std::mutex> g(m_);
            headers_ = pendingHeaders_;
        }
        status(statusLine_.c_str());
        return true;
    }

    static size_t onWrite(char *data, size_t size, size_t n, void *user) {
        return static_cast<CurlUrlStream *>(user)->body(reinterpret_cast<uint8_t *>(data),
                                                        size * n);
    }

    size_t body(const uint8_t *data, size_t bytes) {
        lastData_ = Clock::now();
        {
            std::lock_guard<std::mutex> g(m_);
            if (closed_)
                return 0;
            if (ring_.size() - size_ < bytes) {
                paused_ = curlPaused_ = true; // nothing taken; it comes again after CONT
                return CURL_WRITEFUNC_PAUSE;
            }
        }
        if (!headDone_)
            return icyHead(data, bytes);
        if (metaInt_ == 0) {
            pushAudio(data, bytes);
            return bytes;
        }
        size_t at = 0;
        while (at < bytes) {
            if (metaLeft_ < 0 && audioLeft_ > 0) {
                const size_t take = std::min(audioLeft_, bytes - at);
                pushAudio(data + at, take);
                at += take;
                audioLeft_ -= take;
            } else if (metaLeft_ < 0) {
                metaLeft_ = int(data[at++]) * 16; // the length byte
                metaBlock_.clear();
                if (metaLeft_ == 0) {
                    metaLeft_ = -1;
                    audioLeft_ = metaInt_;
                }
            } else {
                const size_t take = std::min(size_t(metaLeft_), bytes - at);
                metaBlock_.append(reinterpret_cast<const char *>(data + at), take);
                at += take;
                metaLeft_ -= int(take);
                if (metaLeft_ == 0) {
                    metaLeft_ = -1;
                    audioLeft_ = metaInt_;
                    newMeta();
                }
            }
        }
        return bytes;
    }

    // libcurl takes a Shoutcast "ICY 200 OK" response for a bare HTTP/0.9 body: its status
    // line and headers reach us as body bytes and are read here.
    size_t icyHead(const uint8_t *data, size_t bytes) {
        const size_t before = icyHead_.size();
        icyHead_.append(reinterpret_cast<const char *>(data), bytes);
        const size_t n = std::min<size_t>(icyHead_.size(), 4);
        if (icyHead_.compare(0, n, std::string("ICY ", n)) != 0) {
            failErrPending_ = BASS_ERROR_FILEOPEN; // neither HTTP nor ICY
            return 0;
        }
        size_t end = icyHead_.find("\r\n\r\n");
        size_t sep = 4;
        if (end == std::string::npos) {
            end = icyHead_.find("\n\n");
            sep = 2;
        }
        if (end == std::string::npos) {
            if (icyHead_.size() > UrlLimits::kMaxHeaderBytes) {
                failErrPending_ = BASS_ERROR_FORMAT;
                return 0;
            }
            return bytes;
        }
        size_t at = 0;
        while (at <= end) {
            size_t eol = icyHead_.find('\n', at);
            if (eol == std::string::npos || eol > end)
                eol = end;
            if (!header(icyHead_.substr(at, eol - at)))
                return 0;
            at = eol + 1;
        }
        if (!header(std::string()))
            return 0;
        headDone_ = true;
        const size_t used = end + sep - before; // bytes of this piece that were head
        if (used < bytes && body(data + used, bytes - used) != bytes - used)
            return 0;
        return bytes;
    }

    void newMeta() {
        // The block is padded with zero bytes to a multiple of 16.
        const size_t end = metaBlock_.find('\0');
        std::string text = metaBlock_.substr(0, end);
        std::function<void()> listener;
        {
            std::lock_guard<std::mutex> g(m_);
            meta_ = std::move(text);
            ++metaSerial_;
            listener = metaListener_;
        }
        if (listener)
            listener();
    }

    void pushAudio(const uint8_t *data, size_t bytes) {
        if (bytes == 0)
            return;
        {
            std::lock_guard<std::mutex> g(m_);
            const size_t tail = (head_ + size_) % ring_.size();
            const size_t first = std::min(bytes, ring_.size() - tail);
            std::memcpy(ring_.data() + tail, data, first);
            std::memcpy(ring_.data(), data + first, bytes - first);
            size_ += bytes;
            if (!gotAudio_) {
                gotAudio_ = true;
                firstAudio_ = Clock::now();
            }
        }
        audioThisConnection_ += bytes;
        cv_.notify_all();
        if (proc_)
            proc_(data, DWORD(bytes), user_);
    }

    const std::string url_;
    const DWORD flags_;
    DOWNLOADPROC *const proc_;
    void *const user_;
    const UrlConfig cfg_;
    CURLM *multi_ = nullptr; // curl_multi_wakeup is the only call made from other threads
    std::thread thread_;     // --- started by start(), joined by close()

    mutable std::mutex m_;
    std::condition_variable cv_; // readers wait for bytes, the opener for the prebuffer
    // --- protected by m_
    std::vector<uint8_t> ring_;
    size_t head_ = 0, size_ = 0;
    bool closed_ = false, ended_ = false, paused_ = false, gotAudio_ = false;
    Clock::time_point firstAudio_;
    int failErr_ = BASS_OK;
    std::vector<std::string> headers_;
    std::string meta_;
    uint32_t metaSerial_ = 0;
    std::function<void()> metaListener_;

    // --- transfer thread only
    std::vector<std::string> pendingHeaders_;
    size_t pendingHeaderBytes_ = 0;
    std::string statusLine_;
    int statusCode_ = 0;
    size_t metaInt_ = 0, audioLeft_ = 0;
    int metaLeft_ = -1; // bytes of the metadata block still to come; -1: in audio
    std::string metaBlock_;
    size_t audioThisConnection_ = 0;
    int failErrPending_ = BASS_OK;
    bool curlPaused_ = false;
    bool headDone_ = false; // the response head of this connection has been read
    std::string icyHead_;   // an ICY response head while it arrives
    Clock::time_point lastData_;
    char curlError_[CURL_ERROR_SIZE] = {};
};

} // namespace

UrlConfig urlConfig() {
    std::lock_guard<std::mutex> g(gConfigMutex);
    return gConfig;
}
void setUrlConfig(const UrlConfig &c) {
    std::lock_guard<std::mutex> g(gConfigMutex);
    gConfig = c;
}

std::shared_ptr<UrlStream> UrlStream::open(const char *url, DWORD flags, DOWNLOADPROC *proc,
                                           void *user, int &err) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (!url || !*url) {
        err = BASS_ERROR_ILLPARAM;
        return nullptr;
    }
    const std::string u(url, strnlen(url, UrlLimits::kMaxUrl + 1));
    if (u.size() > UrlLimits::kMaxUrl ||
        !(startsWithNoCase(u, "http://") || startsWithNoCase(u, "https://")) ||
        u.find_first_of(" \r\n\t") != std::string::npos) {
        err = BASS_ERROR_ILLPARAM;
        return nullptr;
    }
    auto s = std::make_shared<CurlUrlStream>(u, flags, proc, user, urlConfig());
    if (!s->start(err))
        return nullptr;
    return s;
}

} // namespace mirvane::audio
