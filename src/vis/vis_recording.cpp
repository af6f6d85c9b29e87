#include "vis/vis_recording.h"

#include "common/dialogs.h"

#include "bass.h"

#include <QByteArray>
#include <cstdlib>

namespace mirvane::vis {

namespace {
int g_holders = 0;      // GUI thread
uint32_t g_channel = 0; // GUI thread
bool g_monitor = false; // GUI thread: PULSE_SOURCE was set by PreferOutputMonitor

constexpr const char *kMonitorSource = "@DEFAULT_MONITOR@";
} // namespace

void PreferOutputMonitor() {
    if (qEnvironmentVariableIsSet("PULSE_SOURCE"))
        return;
    qputenv("PULSE_SOURCE", kMonitorSource);
    g_monitor = true;
}

uint32_t VisRecording::Join(Holder holder, QString *why) {
    if (g_holders > 0) {
        ++g_holders;
        return g_channel;
    }
    BOOL init = BASS_RecordInit(0);
    if (!init && g_monitor) {
        // No output monitor to record: fall back to the default input.
        qunsetenv("PULSE_SOURCE");
        g_monitor = false;
        init = BASS_RecordInit(0);
    }
    if (!init) {
        const int code = BASS_ErrorGetCode();
        ShowMessage(nullptr,
                    holder == Holder::Sonique ? QStringLiteral("Cant initialize device")
                                              : QStringLiteral("Can't initialize device"),
                    QStringLiteral("Error"), MsgIcon::Error);
        if (why)
            *why = QStringLiteral("No capture device (error %1): silence").arg(code);
        return 0;
    }
    const DWORD flags = holder == Holder::Sonique ? 1 : 2;
    const HRECORD ch = BASS_RecordStart(44100, 2, flags, nullptr, nullptr);
    if (!ch) {
        const int code = BASS_ErrorGetCode();
        BASS_RecordFree();
        ShowMessage(nullptr, QStringLiteral("Cant start recording"), QStringLiteral("Error"),
                    MsgIcon::Error);
        if (why)
            *why = QStringLiteral("Recording did not start (error %1): silence").arg(code);
        return 0;
    }
    g_channel = ch;
    g_holders = 1;
    return ch;
}

void VisRecording::Leave() {
    if (g_holders == 0)
        return;
    if (--g_holders == 0) {
        BASS_RecordFree();
        g_channel = 0;
    }
}

int VisRecording::Holders() {
    return g_holders;
}
uint32_t VisRecording::Channel() {
    return g_channel;
}

} // namespace mirvane::vis
