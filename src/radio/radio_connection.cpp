#include "radio/radio_connection.h"

#include <QMetaObject>

#include <mutex>
#include <thread>
#include <unordered_map>

namespace mirvane::radio {
namespace {

// The attempts whose news is still wanted, by number. The audio library's callbacks get the
// number as their user word, never a pointer, so a callback of a stream whose window is gone
// finds nothing here instead of a dangling object.
std::mutex gMutex;
std::unordered_map<uint64_t, RadioConnection *> gLive; // --- protected by gMutex
uint64_t gNextAttempt = 1;                             // --- protected by gMutex

void *userWord(uint64_t attempt) {
    return reinterpret_cast<void *>(static_cast<uintptr_t>(attempt));
}
uint64_t attemptOf(void *user) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(user));
}

// Header lines end with an empty one; the library bounds them, the walk is bounded too.
size_t tagsSize(const char *tags) {
    if (!tags)
        return 0;
    constexpr size_t kMax = 64 * 1024;
    for (size_t i = 0; i + 1 < kMax; ++i)
        if (tags[i] == '\0' && (i == 0 || tags[i + 1] == '\0'))
            return i + 1;
    return kMax;
}

} // namespace

// Queues f(connection) on the connection's thread when the attempt is still wanted.
template <class F> bool RadioConnection::post(uint64_t attempt, F f) {
    std::lock_guard<std::mutex> g(gMutex);
    auto it = gLive.find(attempt);
    if (it == gLive.end())
        return false;
    RadioConnection *rc = it->second;
    // Posted under the lock: a connection leaves gLive (under it) before it is destroyed.
    QMetaObject::invokeMethod(
        rc, [rc, f] { f(rc); }, Qt::QueuedConnection);
    return true;
}

RadioConnection::RadioConnection(QObject *parent) : QObject(parent) {}

RadioConnection::~RadioConnection() {
    forget(attempt_);
}

void RadioConnection::forget(uint64_t attempt) {
    if (attempt == 0)
        return;
    std::lock_guard<std::mutex> g(gMutex);
    gLive.erase(attempt);
}

void RadioConnection::start(const QString &url) {
    forget(attempt_);
    {
        std::lock_guard<std::mutex> g(gMutex);
        attempt_ = gNextAttempt++;
        gLive[attempt_] = this;
    }
    connecting_ = true;
    channel_ = 0;
    // Detached: a connect that hangs must not hold up the window or the end of the program.
    std::thread(&RadioConnection::work, attempt_, url.toStdString()).detach();
}

void RadioConnection::cancel() {
    forget(attempt_);
    attempt_ = 0;
    connecting_ = false;
    channel_ = 0;
}

void RadioConnection::work(uint64_t attempt, std::string url) {
    const DWORD h = BASS_StreamCreateURL(url.c_str(), 0, BASS_STREAM_META | BASS_STREAM_STATUS,
                                         &RadioConnection::onDownload, userWord(attempt));
    if (!h) {
        const int error = BASS_ErrorGetCode();
        post(attempt, [attempt, error](RadioConnection *rc) { rc->deliverFailed(attempt, error); });
        return;
    }
    const char *tags = BASS_StreamGetTags(h, BASS_TAG_HTTP);
    const StationHeaders headers = ParseStationHeaders(tags, tagsSize(tags));
    const char *metaText = BASS_StreamGetTags(h, BASS_TAG_META);
    const bool hasMeta = metaText != nullptr;
    const QByteArray meta(metaText ? metaText : "");
    BASS_ChannelSetSync(h, BASS_SYNC_META, 0, &RadioConnection::onMeta, userWord(attempt));
    BASS_ChannelSetSync(h, BASS_SYNC_END, 0, &RadioConnection::onEnd, userWord(attempt));
    const bool wanted = post(attempt, [=](RadioConnection *rc) {
        rc->deliverStarted(attempt, h, headers, meta, hasMeta);
    });
    if (!wanted)
        BASS_StreamFree(h); // nobody waits for it any more
}

void RadioConnection::onDownload(const void *buffer, DWORD length, void *user) {
    if (!buffer || length != 0)
        return; // audio bytes, or the end of the transfer
    const uint64_t attempt = attemptOf(user);
    const QString text = QString::fromUtf8(static_cast<const char *>(buffer));
    post(attempt, [attempt, text](RadioConnection *rc) { rc->deliverStatus(attempt, text); });
}

void RadioConnection::onMeta(DWORD, DWORD channel, DWORD, void *user) {
    const char *text = BASS_StreamGetTags(channel, BASS_TAG_META);
    if (!text)
        return;
    const uint64_t attempt = attemptOf(user);
    const QByteArray meta(text);
    post(attempt, [attempt, meta](RadioConnection *rc) { rc->deliverMeta(attempt, meta); });
}

void RadioConnection::onEnd(DWORD, DWORD, DWORD, void *user) {
    const uint64_t attempt = attemptOf(user);
    post(attempt, [attempt](RadioConnection *rc) { rc->deliverEnded(attempt); });
}

void RadioConnection::deliverEnded(uint64_t attempt) {
    if (attempt == attempt_ && channel_ != 0)
        emit ended();
}

void RadioConnection::deliverStatus(uint64_t attempt, const QString &text) {
    if (attempt == attempt_)
        emit statusText(text);
}

void RadioConnection::deliverMeta(uint64_t attempt, const QByteArray &meta) {
    if (attempt == attempt_ && channel_ != 0)
        emit metadata(meta);
}

void RadioConnection::deliverStarted(uint64_t attempt, DWORD channel, const StationHeaders &headers,
                                     const QByteArray &meta, bool hasMeta) {
    if (attempt != attempt_) {
        BASS_StreamFree(channel); // the user chose something else meanwhile
        return;
    }
    connecting_ = false;
    channel_ = channel;
    BASS_ChannelPlay(channel, FALSE);
    emit streamStarted(channel, headers, meta, hasMeta);
}

void RadioConnection::deliverFailed(uint64_t attempt, int error) {
    if (attempt != attempt_)
        return;
    forget(attempt_);
    attempt_ = 0;
    connecting_ = false;
    channel_ = 0;
    emit failed(error);
}

} // namespace mirvane::radio
