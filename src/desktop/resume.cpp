#include "desktop/resume.h"

#include <QEvent>
#include <cmath>

#include "prefs/settings.h"

namespace mirvane::desktop {

namespace {

class ResumeKeeper : public QObject {
  public:
    ResumeKeeper(QWidget *window, PlaybackEngine &engine) : QObject(window), engine_(engine) {}

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        // Once: a second close (the program's teardown closes a closed player again) comes
        // after the library was released and would store a stopped player.
        if (event->type() == QEvent::Close && !stored_) {
            stored_ = true;
            if (settings::ReadBool("Resume").value_or(false)) {
                StoreResumePoint(CurrentResumePoint(engine_));
            }
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    PlaybackEngine &engine_;
    bool stored_ = false;
};

} // namespace

ResumePoint CurrentResumePoint(const PlaybackEngine &engine) {
    if (engine.State() == PlaybackEngine::Status::Stopped || engine.RadioInUse()) {
        return {};
    }
    const DWORD channel = engine.CurrentChannel();
    const float seconds = BASS_ChannelBytes2Seconds(channel, BASS_ChannelGetPosition(channel));
    const int ms =
        std::isfinite(seconds) && seconds > 0.0f ? int(std::lround(seconds * 1000.0f)) : 0;
    return {engine.CurrentIndex(), ms};
}

bool StoreResumePoint(const ResumePoint &point) {
    return settings::WriteInteger("ResumeRow", point.row) &&
           settings::WriteInteger("ResumeTime", point.milliseconds);
}

std::optional<ResumePoint> StoredResumePoint() {
    if (!settings::ReadBool("Resume").value_or(false)) {
        return std::nullopt;
    }
    const std::optional<int> row = settings::ReadInteger("ResumeRow");
    if (!row || *row < 0) {
        return std::nullopt;
    }
    return ResumePoint{*row, std::max(0, settings::ReadInteger("ResumeTime").value_or(0))};
}

bool ResumePlayback(PlaybackEngine &engine, const ResumePoint &point) {
    if (engine.State() != PlaybackEngine::Status::Stopped || point.row < 0 ||
        point.row >= engine.RowCount()) {
        return false;
    }
    engine.PlayEntry(point.row);
    if (engine.State() == PlaybackEngine::Status::Stopped) {
        return false;
    }
    const DWORD channel = engine.CurrentChannel();
    // Fails harmlessly past the end: the track then plays from its start.
    BASS_ChannelSetPosition(channel,
                            BASS_ChannelSeconds2Bytes(channel, float(point.milliseconds / 1000.0)));
    return true;
}

void KeepResumePointAtClose(QWidget *window, PlaybackEngine &engine) {
    window->installEventFilter(new ResumeKeeper(window, engine));
}

} // namespace mirvane::desktop
