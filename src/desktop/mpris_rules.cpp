#include "desktop/mpris_rules.h"

#include <algorithm>
#include <cmath>

namespace mirvane::desktop {

QString PlaybackStatusName(PlaybackEngine::Status status) {
    switch (status) {
    case PlaybackEngine::Status::Playing:
        return QStringLiteral("Playing");
    case PlaybackEngine::Status::Paused:
        return QStringLiteral("Paused");
    case PlaybackEngine::Status::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

int RowToStart(int selectedRow, int currentIndex, int rowCount) {
    if (selectedRow >= 0 && selectedRow < rowCount) {
        return selectedRow;
    }
    if (currentIndex >= 0 && currentIndex < rowCount) {
        return currentIndex;
    }
    return -1;
}

SeekPlan PlanSeek(int64_t positionUs, int64_t offsetUs, int64_t lengthUs) {
    // Saturating: a client may send any 64-bit offset.
    int64_t target = 0;
    if (__builtin_add_overflow(positionUs, offsetUs, &target)) {
        target = offsetUs > 0 ? INT64_MAX : INT64_MIN;
    }
    if (target > lengthUs) {
        return {SeekPlan::Kind::NextTrack, 0};
    }
    return {SeekPlan::Kind::JumpTo, target < 0 ? 0 : target};
}

QString TrackIdPath(uint64_t serial) {
    return QLatin1String(kTrackIdPrefix) + QString::number(serial);
}

TrackIdMatch MatchTrackId(const QString &path, uint64_t lastSerial, bool currentIsLast) {
    if (path == QLatin1String(kNoTrackId)) {
        return TrackIdMatch::Stale;
    }
    if (!path.startsWith(QLatin1String(kTrackIdPrefix))) {
        return TrackIdMatch::Unknown;
    }
    const QStringView digits = QStringView(path).sliced(qsizetype(sizeof(kTrackIdPrefix) - 1));
    // Only the form TrackIdPath writes: digits without sign or leading zero.
    if (digits.isEmpty() || digits.front() == u'0' ||
        !std::all_of(digits.begin(), digits.end(),
                     [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        return TrackIdMatch::Unknown;
    }
    bool ok = false;
    const qulonglong serial = digits.toULongLong(&ok);
    if (!ok || serial > lastSerial) {
        return TrackIdMatch::Unknown;
    }
    return serial == lastSerial && currentIsLast ? TrackIdMatch::Current : TrackIdMatch::Stale;
}

bool IsInsideTrack(int64_t positionUs, int64_t lengthUs) {
    return positionUs >= 0 && positionUs <= lengthUs;
}

std::optional<int> SliderVolume(double remoteVolume) {
    if (std::isnan(remoteVolume)) {
        return std::nullopt;
    }
    const double clamped = std::clamp(remoteVolume, 0.0, 1.0);
    return int(std::lround(clamped * 100.0));
}

double RemoteVolume(int sliderVolume) {
    return std::clamp(sliderVolume, 0, 100) / 100.0;
}

QVariantMap ChangedProperties(const QVariantMap &before, const QVariantMap &after) {
    QVariantMap changed;
    for (auto it = after.constBegin(); it != after.constEnd(); ++it) {
        const auto old = before.constFind(it.key());
        if (old == before.constEnd() || old.value() != it.value()) {
            changed.insert(it.key(), it.value());
        }
    }
    return changed;
}

} // namespace mirvane::desktop
