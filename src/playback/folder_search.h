#pragma once
// The search behind "Add Directory": walks a folder (playback/folder_walk.h) on a worker thread
// of its own, reads each found file's artist and title there, and hands the results to the
// GUI thread in batches, so that neither the walk nor the tag reads ever stall a window.
//
// Threads: the object itself is GUI thread only (the thread of its context object). The worker
// owns its own tag object (the tag library is safe per object) and touches nothing else of the
// program; it crosses to the GUI thread only through queued calls on the context object.
//
// Delivery: batches come at most every kFlushInterval (sooner when kMaxBatch files are
// waiting), in walk order, then the end handler once. After Stop() or the destructor no handler
// runs any more, even for batches already queued.

#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "playback/folder_walk.h"

class QObject;

namespace mirvane {

// A file found, with the fields a playlist row is captioned from (the title lookup's: for a file
// without a usable tag, artist is its bare name and title is empty).
struct FoundSong {
    QString fileName;
    QString artist;
    QString title;
};

class FolderSearch {
  public:
    static constexpr std::chrono::milliseconds kFlushInterval{25};
    static constexpr size_t kMaxBatch = 2000;

    // Called on the GUI thread with the next files found, in walk order.
    using BatchHandler = std::function<void(std::vector<FoundSong> &&batch)>;
    // Called on the GUI thread once the walk has ended by itself, after its last batch.
    using EndHandler = std::function<void(const WalkSummary &summary)>;

    // context must outlive this object; the handlers run on its thread.
    FolderSearch(QObject &context, BatchHandler onBatch, EndHandler onEnd);
    // Stops the walk and waits for the worker (it stops before its next entry).
    ~FolderSearch();
    FolderSearch(const FolderSearch &) = delete;
    FolderSearch &operator=(const FolderSearch &) = delete;

    // Starts a walk; a search still running is stopped first (as by Stop).
    void Start(WalkOptions options);
    // Asks the worker to stop before its next entry and drops everything it has not delivered
    // yet: no batch and no end handler runs after this. Not running: nothing.
    void Stop();
    // From Start until the end handler has been called, or until Stop.
    bool Running() const;

  private:
    struct Delivery; // shared by the queued calls; GUI thread only
    // The worker thread's whole life.
    static void Work(std::stop_token stop, const WalkOptions &options, QObject *context,
                     const std::shared_ptr<Delivery> &delivery);
    QObject &context_;
    BatchHandler onBatch_;
    EndHandler onEnd_;
    std::shared_ptr<Delivery> delivery_; // GUI thread only; the current search's
    std::jthread worker_;                // last: stopped and joined first
};

} // namespace mirvane
