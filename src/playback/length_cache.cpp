#include "playback/length_cache.h"

#include <sys/stat.h>

namespace mirvane {

FileStamp StampOf(const QString &fileName) {
    struct stat st {};
    const QByteArray path = fileName.toUtf8();
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return {};
    }
    return FileStamp{true, static_cast<qint64>(st.st_size),
                     static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

int LengthCache::SecondsOf(const QString &fileName, const FileStamp &stamp,
                           const Measure &measure) {
    const auto it = entries_.constFind(fileName);
    if (it != entries_.cend() && it->size == stamp.size && it->modifiedNs == stamp.modifiedNs) {
        return it->seconds;
    }
    int seconds = 0;
    const auto hint = hints_.constFind(fileName);
    if (hint != hints_.cend() && stamp.modifiedNs <= hint->writtenNs) {
        seconds = hint->seconds;
    } else {
        seconds = measure(fileName);
    }
    hints_.remove(fileName);
    entries_.insert(fileName, Entry{stamp.size, stamp.modifiedNs, seconds});
    return seconds;
}

void LengthCache::AddHint(const QString &fileName, int seconds, qint64 writtenNs) {
    hints_.insert(fileName, Hint{seconds, writtenNs});
}

} // namespace mirvane
