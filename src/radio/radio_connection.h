#pragma once
// RadioConnection: opens a station's stream off the GUI thread and reports, on the GUI thread,
// what the stream says (status texts, station name and bit rate, metadata) and its outcome.
//
// Threads: the object lives on the GUI thread and every public call and every signal belongs
// there. The blocking open runs on a worker thread of its own; the stream's download callback
// and metadata sync arrive on audio library threads. All of them hand their news over with
// queued calls, and each piece of news carries the number of the attempt it belongs to: news of
// an attempt that is no longer the latest is dropped, and a stream it produced is freed, so a
// slow connection never replaces what the user chose after it.

#include "radio/icy_text.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <string>

#include "bass.h"

namespace mirvane::radio {

class RadioConnection : public QObject {
    Q_OBJECT
  public:
    explicit RadioConnection(QObject *parent = nullptr);
    // Abandons a running attempt; its worker frees whatever stream it still opens.
    ~RadioConnection() override;

    // Starts connecting to url and abandons any earlier attempt. Returns at once.
    void start(const QString &url);
    // Abandons the running attempt and stops reporting on the stream that plays (which the
    // playback engine owns and frees). Returns at once, also while a connect is blocked.
    void cancel();
    // True from start() until the attempt has given a stream or failed.
    bool connecting() const { return connecting_; }
    // The stream of the latest successful attempt, 0 when none or after cancel().
    DWORD channel() const { return channel_; }

  signals:
    // A status text: a server status line, or the library's "Reconnecting…".
    void statusText(const QString &text);
    // The attempt produced a playing stream (already started). Its header lines and first
    // metadata text come with it.
    void streamStarted(DWORD channel, const mirvane::radio::StationHeaders &headers,
                       const QByteArray &meta, bool hasMeta);
    // New metadata text on the stream that plays.
    void metadata(const QByteArray &meta);
    // The attempt failed; error is the audio library's error code.
    void failed(int error);
    // The stream that plays has ended for good: the station went away and the reconnects ran
    // out. Not sent after cancel().
    void ended();

  private:
    // Run on the worker thread and on audio library threads; they reach the object only
    // through queued calls.
    static void work(uint64_t attempt, std::string url);
    static void onDownload(const void *buffer, DWORD length, void *user);
    static void onMeta(DWORD sync, DWORD channel, DWORD data, void *user);
    static void onEnd(DWORD sync, DWORD channel, DWORD data, void *user);
    template <class F> static bool post(uint64_t attempt, F f);
    void forget(uint64_t attempt);

    // GUI thread.
    void deliverStatus(uint64_t attempt, const QString &text);
    void deliverMeta(uint64_t attempt, const QByteArray &meta);
    void deliverStarted(uint64_t attempt, DWORD channel, const StationHeaders &headers,
                        const QByteArray &meta, bool hasMeta);
    void deliverFailed(uint64_t attempt, int error);
    void deliverEnded(uint64_t attempt);

    uint64_t attempt_ = 0; // GUI thread: number of the latest attempt (0: none)
    bool connecting_ = false;
    DWORD channel_ = 0;
};

} // namespace mirvane::radio
