#pragma once
// Remembers measured track lengths, so that writing a long unchanged playlist does not open
// every file again. An entry is reused only while the file keeps its size and modification
// time. Hints (the numbers of the playlist this program wrote last time) stand in for a
// measurement of a file that has not been modified since that playlist was written.
// GUI thread only.

#include <QHash>
#include <QString>
#include <functional>

namespace mirvane {

// What the cache needs to know of a file, from one stat call.
struct FileStamp {
    bool isFile = false; // an existing regular file (or a link to one)
    qint64 size = -1;
    qint64 modifiedNs = 0; // modification time, ns since the epoch
};
FileStamp StampOf(const QString &fileName);

class LengthCache {
  public:
    using Measure = std::function<int(const QString &fileName)>;

    // The length in whole seconds of fileName (whose stamp the caller has just taken): the
    // remembered one when the file is unchanged, else a hint that still holds, else
    // measure(fileName). The answer is remembered.
    int SecondsOf(const QString &fileName, const FileStamp &stamp, const Measure &measure);

    // A length written into a playlist at `writtenNs` (the playlist file's modification time).
    void AddHint(const QString &fileName, int seconds, qint64 writtenNs);
    qsizetype size() const { return entries_.size(); }

  private:
    struct Entry {
        qint64 size = -1;
        qint64 modifiedNs = 0;
        int seconds = 0;
    };
    struct Hint {
        int seconds = 0;
        qint64 writtenNs = 0;
    };
    QHash<QString, Entry> entries_;
    QHash<QString, Hint> hints_;
};

} // namespace mirvane
