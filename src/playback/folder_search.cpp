#include "playback/folder_search.h"

#include <QFile>
#include <QMetaObject>
#include <QObject>

#include "tags/id3v2.h"
#include "tags/title_lookup.h"

namespace mirvane {

// What the queued calls of one search share with the object that started it. Read and written
// on the GUI thread only: the worker merely holds a reference to hand it on.
struct FolderSearch::Delivery {
    BatchHandler onBatch;
    EndHandler onEnd;
    bool live = true; // false once stopped or ended: queued calls then do nothing
};

FolderSearch::FolderSearch(QObject &context, BatchHandler onBatch, EndHandler onEnd)
    : context_(context), onBatch_(std::move(onBatch)), onEnd_(std::move(onEnd)) {}

FolderSearch::~FolderSearch() {
    Stop();
    // worker_'s destructor asks it to stop and joins it; the worker never waits on the GUI
    // thread, so this ends once it reaches its next entry.
}

bool FolderSearch::Running() const {
    return delivery_ && delivery_->live;
}

void FolderSearch::Stop() {
    if (delivery_) {
        delivery_->live = false;
        delivery_.reset();
    }
    worker_.request_stop();
}

void FolderSearch::Start(WalkOptions options) {
    Stop();
    if (worker_.joinable()) {
        worker_.join();
    }
    delivery_ = std::make_shared<Delivery>(Delivery{onBatch_, onEnd_, true});
    worker_ =
        std::jthread([options = std::move(options), context = &context_, delivery = delivery_](
                         std::stop_token stop) { Work(stop, options, context, delivery); });
}

void FolderSearch::Work(std::stop_token stop, const WalkOptions &options, QObject *context,
                        const std::shared_ptr<Delivery> &delivery) {
    using Clock = std::chrono::steady_clock;
    Id3v2Tag tag; // this thread's own: tag objects are not shared between threads
    std::vector<FoundSong> batch;
    Clock::time_point lastFlush = Clock::now();

    const auto flush = [&] {
        if (batch.empty()) {
            return;
        }
        auto ready = std::make_shared<std::vector<FoundSong>>(std::move(batch));
        batch.clear();
        QMetaObject::invokeMethod(
            context,
            [delivery, ready] {
                if (delivery->live) {
                    delivery->onBatch(std::move(*ready));
                }
            },
            Qt::QueuedConnection);
        lastFlush = Clock::now();
    };

    const WalkSummary summary = WalkFolder(options, stop, [&](const std::filesystem::path &path) {
        const QString fileName = QFile::decodeName(path.native().c_str());
        const SongInfo info = GetSongInfo(tag, fileName);
        batch.push_back(FoundSong{fileName, info.artist, info.title});
        if (batch.size() >= FolderSearch::kMaxBatch ||
            Clock::now() - lastFlush >= FolderSearch::kFlushInterval) {
            flush();
        }
    });
    if (summary.stopped) {
        return; // whoever stopped it wants nothing more
    }
    flush();
    QMetaObject::invokeMethod(
        context,
        [delivery, summary] {
            if (delivery->live) {
                delivery->live = false;
                delivery->onEnd(summary);
            }
        },
        Qt::QueuedConnection);
}

} // namespace mirvane
