#pragma once
// Shared by the radio tests: one QApplication (offscreen), the audio library started once on
// its "no sound" device, the stream content, and a bounded wait that keeps events running.

#include "bass.h"
#include "radio_server.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace radiotest {

inline QApplication &App() {
    static int argc = 1;
    static char name[] = "radio_test";
    static char *argv[] = {name, nullptr};
    // Never destroyed: library threads may still post while the process ends.
    static QApplication *app = new QApplication(argc, argv);
    return *app;
}

// Starts the audio library once, on the device that plays in real time without a sound card,
// with short network timeouts so that drops and stalls are seen within a test's seconds.
inline void StartAudio() {
    App();
    static bool started = [] {
        if (!BASS_Init(0, 44100, 0, nullptr, nullptr))
            return false;
        BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 2000);
        BASS_SetConfig(BASS_CONFIG_NET_STALL, 400);
        BASS_SetConfig(BASS_CONFIG_NET_RECONNECTS, 5);
        return true;
    }();
    ASSERT_TRUE(started);
}

// Runs events until cond holds or ms have passed; the result of cond.
inline bool WaitFor(const std::function<bool()> &cond, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

inline std::string Mp3() {
    return readFile(std::string(MIRVANE_TEST_DATA) + "/audio/mp3_cbr_stereo_44100.mp3");
}

} // namespace radiotest
