#include "playback/lengthcache.h"

#include <QFileInfo>

namespace mirvane {

int LengthCache::SecondsOf(const QString &fileName, const Measure &measure) {
    const QFileInfo info(fileName);
    const auto it = entries_.constFind(fileName);
    if (it != entries_.cend() && it->size == info.size() &&
        it->modified == info.lastModified()) {
        return it->seconds;
    }
    const int seconds = measure(fileName);
    entries_.insert(fileName, Entry{info.size(), info.lastModified(), seconds});
    return seconds;
}

void LengthCache::Remember(const QString &fileName, int seconds) {
    const QFileInfo info(fileName);
    entries_.insert(fileName, Entry{info.size(), info.lastModified(), seconds});
}

} // namespace mirvane
