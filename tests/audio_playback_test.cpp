// Played channels: devices, real-time positions, pause, seeking, end syncs, attributes and
// the FFT of what is heard. Runs on SDL2's dummy driver (set by ctest) and on device 0.
#include "audio_util.h"

#include <set>

#include <atomic>
#include <condition_variable>
#include <mutex>

using namespace audiotest;
using Clock = std::chrono::steady_clock;

namespace {

// ctest runs the suite with SDL_AUDIODRIVER=dummy; run by hand on a machine without sound,
// the default device would not open, so the same silent real-time driver is the default here.
[[maybe_unused]] const bool kDummyDriverByDefault = setenv("SDL_AUDIODRIVER", "dummy", 0) == 0;

double positionSeconds(DWORD h) {
    return BASS_ChannelBytes2Seconds(h, BASS_ChannelGetPosition(h));
}

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A playing channel's position, read some time after it was at `from` seconds (at `since`):
// never behind `from`, never ahead of real time (plus the device buffer). How far it got in
// between depends on how busy the machine is, so that is not asserted here.
void expectPositionSince(DWORD h, double from, Clock::time_point since) {
    const double pos = positionSeconds(h);
    const double elapsed = seconds(Clock::now() - since);
    EXPECT_GE(pos, from - 0.001);
    EXPECT_LE(pos, from + elapsed + 0.03);
}

// Waits until pred holds or timeoutMs passes; true when it holds.
template <class Pred> bool waitFor(Pred pred, int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (Clock::now() > end)
            return false;
        sleepMs(2);
    }
    return true;
}

// What an end sync saw.
struct EndLog {
    std::atomic<int> count{0};
    std::atomic<int64_t> atNs{0};
    std::thread::id thread;
};

void logEnd(HSYNC, DWORD, DWORD, void *user) {
    auto *log = static_cast<EndLog *>(user);
    log->atNs = Clock::now().time_since_epoch().count();
    log->thread = std::this_thread::get_id();
    ++log->count;
}

} // namespace

TEST(Library, VersionIsOneTwo) {
    EXPECT_EQ(BASS_GetVersion(), 0x00010002u);
}

TEST(Library, DefaultDeviceOpensAndCanBeOpenedAgainAfterFree) {
    {
        Library lib;
        ASSERT_TRUE(lib.ok()) << BASS_ErrorGetCode();
        EXPECT_EQ(BASS_GetDevice(), 1u);
        EXPECT_TRUE(BASS_Start());
        ASSERT_NE(BASS_GetDeviceDescription(1), nullptr);
        EXPECT_NE(std::string(BASS_GetDeviceDescription(1)).find("SDL2"), std::string::npos);
        EXPECT_STREQ(BASS_GetDeviceDescription(0), "No sound");
        EXPECT_EQ(BASS_GetDeviceDescription(5), nullptr);
        EXPECT_FALSE(BASS_Init(1, 44100, 0, nullptr, nullptr));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
    }
    EXPECT_EQ(BASS_GetDevice(), DWORD(-1));
    EXPECT_FALSE(BASS_Start());
    Library again;
    EXPECT_TRUE(again.ok());
}

TEST(Library, UnopenableOutputDeviceGivesErrorCodeThreeAndSdlsWords) {
    {
        ScopedEnv env("SDL_AUDIODRIVER", "no-such-driver");
        EXPECT_FALSE(BASS_Init(1, 44100, 0, nullptr, nullptr));
        EXPECT_EQ(BASS_ErrorGetCode(), 3);
        ASSERT_NE(BASS_ErrorGetText(), nullptr);
        EXPECT_STRNE(BASS_ErrorGetText(), "") << "SDL's reason is kept";
    }
    EXPECT_FALSE(BASS_Init(9, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
    EXPECT_STREQ(BASS_ErrorGetText(), "") << "a reason of the library's own has no outside words";
    Library lib; // a failed attempt leaves nothing behind
    EXPECT_TRUE(lib.ok());
    EXPECT_STREQ(BASS_ErrorGetText(), "");
}

TEST(Library, ThreadsAreNamed) {
    Library lib(0);
    ASSERT_TRUE(lib.ok());
    const std::set<std::string> want = {"mirvane-decode", "mirvane-sync", "mirvane-nosound"};
    std::set<std::string> names;
    // Each thread names itself as it starts.
    EXPECT_TRUE(waitFor(
        [&] {
            names.clear();
            for (const auto &task : std::filesystem::directory_iterator("/proc/self/task")) {
                std::string name;
                std::getline(std::ifstream(task.path() / "comm"), name);
                if (want.count(name))
                    names.insert(name);
            }
            return names == want;
        },
        2000))
        << names.size() << " of 3 named";
}

TEST(Library, PlayedStreamNeedsInit) {
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, fixture("wav_s16_stereo_44100.wav").c_str(), 0, 0, 0),
              0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_FALSE(BASS_SetVolume(101));
}

TEST(Library, FreeReleasesEveryChannel) {
    HSTREAM played, decoded;
    {
        Library lib;
        played = BASS_StreamCreateFile(FALSE, fixture("wav_s16_stereo_44100.wav").c_str(), 0, 0, 0);
        decoded = BASS_StreamCreateFile(FALSE, fixture("wav_s16_stereo_44100.wav").c_str(), 0, 0,
                                        BASS_STREAM_DECODE);
        ASSERT_NE(played, 0u);
        ASSERT_TRUE(BASS_ChannelPlay(played, FALSE));
    }
    EXPECT_FALSE(BASS_StreamFree(played));
    EXPECT_FALSE(BASS_StreamFree(decoded));
}

class Playback : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override { ASSERT_TRUE(lib.ok()) << BASS_ErrorGetCode(); }
    HSTREAM open(const char *file, DWORD flags = BASS_STREAM_PRESCAN) {
        const HSTREAM h = BASS_StreamCreateFile(FALSE, fixture(file).c_str(), 0, 0, flags);
        EXPECT_NE(h, 0u) << BASS_ErrorGetCode();
        return h;
    }
    Library lib{GetParam()};
};

INSTANTIATE_TEST_SUITE_P(Devices, Playback, ::testing::Values(0, 1),
                         [](const auto &info) { return info.param ? "Default" : "NoSound"; });

TEST_P(Playback, PositionAdvancesInRealTime) {
    const HSTREAM h = open("wav_s16_mono_44100_2s.wav");
    EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_STOPPED));
    EXPECT_EQ(BASS_ChannelGetPosition(h), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_PLAYING));
    sleepMs(100);
    const auto t1 = Clock::now();
    const double p1 = positionSeconds(h);
    sleepMs(400);
    const double p2 = positionSeconds(h);
    const double elapsed = seconds(Clock::now() - t1);
    EXPECT_GT(p1, 0.0);
    // Never faster than real time; slower only by what a busy machine costs the output thread.
    EXPECT_LE(p2 - p1, elapsed + 0.03);
    EXPECT_GE(p2 - p1, elapsed - 0.15);
    EXPECT_TRUE(BASS_StreamFree(h));
}

TEST_P(Playback, PauseHoldsThePositionAndPlayResumesThere) {
    const HSTREAM h = open("wav_s16_mono_44100_2s.wav");
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    sleepMs(200);
    ASSERT_TRUE(BASS_ChannelPause(h));
    EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_PAUSED));
    const QWORD held = BASS_ChannelGetPosition(h);
    EXPECT_GT(held, 0u);
    sleepMs(200);
    EXPECT_EQ(BASS_ChannelGetPosition(h), held);
    EXPECT_FALSE(BASS_ChannelPause(h)); // not playing
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOPLAY);
    auto since = Clock::now();
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_PLAYING));
    expectPositionSince(h, BASS_ChannelBytes2Seconds(h, held), since);
    since = Clock::now();
    ASSERT_TRUE(BASS_ChannelPlay(h, TRUE)); // restart
    expectPositionSince(h, 0.0, since);
    BASS_StreamFree(h);
}

TEST_P(Playback, SeekWorksStoppedPausedAndPlaying) {
    const HSTREAM h = open("wav_s16_mono_44100_2s.wav");
    const QWORD at = BASS_ChannelSeconds2Bytes(h, 1.25f);
    ASSERT_TRUE(BASS_ChannelSetPosition(h, at)); // stopped
    EXPECT_EQ(BASS_ChannelGetPosition(h), at);
    auto since = Clock::now();
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    EXPECT_TRUE(waitFor([&] { return positionSeconds(h) > 1.3; }, 3000)); // it goes on from there
    expectPositionSince(h, 1.25, since);
    const QWORD back = BASS_ChannelSeconds2Bytes(h, 0.5f);
    since = Clock::now();
    ASSERT_TRUE(BASS_ChannelSetPosition(h, back)); // playing
    expectPositionSince(h, 0.5, since);
    ASSERT_TRUE(BASS_ChannelPause(h));
    ASSERT_TRUE(BASS_ChannelSetPosition(h, at)); // paused
    EXPECT_EQ(BASS_ChannelGetPosition(h), at);
    EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_PAUSED));
    BASS_StreamFree(h);
}

TEST_P(Playback, EndSyncFiresOnceWhenTheLastSampleHasBeenHeard) {
    const HSTREAM h = open("wav_s16_stereo_44100.wav"); // 0.5 s
    EndLog log;
    ASSERT_NE(BASS_ChannelSetSync(h, BASS_SYNC_END, 0, logEnd, &log), 0u);
    const auto start = Clock::now();
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    // How late a thread of ours wakes from sleeping to the end tells how busy the machine is;
    // the library's threads are as late as that, so it widens the allowance.
    std::this_thread::sleep_until(start + std::chrono::milliseconds(500));
    const double lateness = seconds(Clock::now() - start) - 0.5;
    ASSERT_TRUE(waitFor([&] { return log.count > 0; }, 3000));
    const double took = double(log.atNs.load() - start.time_since_epoch().count()) / 1e9;
    EXPECT_GE(took, 0.5 - 0.02); // not when decoded (that is at once) but when heard
    EXPECT_LE(took, 0.5 + 0.1 + lateness);
    EXPECT_NE(log.thread, std::this_thread::get_id());
    sleepMs(100);
    EXPECT_EQ(log.count, 1);
    EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_STOPPED));
    EXPECT_EQ(BASS_ChannelGetPosition(h), BASS_StreamGetLength(h));
    // Played again, it ends again.
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    ASSERT_TRUE(waitFor([&] { return log.count > 1; }, 3000));
    BASS_StreamFree(h);
}

namespace {
// Each end frees its own channel and starts the next, as the player does on track end.
struct Chain {
    std::vector<uint8_t> wav;
    std::atomic<int> played{0};
    std::atomic<int> failures{0};
    int wanted = 0;
};
void nextInChain(HSYNC, DWORD channel, DWORD, void *user) {
    auto *c = static_cast<Chain *>(user);
    if (!BASS_StreamFree(channel))
        ++c->failures;
    if (++c->played >= c->wanted)
        return;
    const HSTREAM next = BASS_StreamCreateFile(TRUE, c->wav.data(), 0, c->wav.size(), 0);
    if (!next || !BASS_ChannelSetSync(next, BASS_SYNC_END, 0, nextInChain, c) ||
        !BASS_ChannelPlay(next, TRUE))
        ++c->failures;
}
} // namespace

TEST_P(Playback, SyncMayFreeItsChannelAndStartTheNext50TimesInARow) {
    Chain chain;
    chain.wav = makeWav(sine(440, 0.3, 44100, 2, 441), 44100, 2); // 10 ms each
    chain.wanted = 50;
    const HSTREAM first = BASS_StreamCreateFile(TRUE, chain.wav.data(), 0, chain.wav.size(), 0);
    ASSERT_NE(BASS_ChannelSetSync(first, BASS_SYNC_END, 0, nextInChain, &chain), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(first, TRUE));
    EXPECT_TRUE(waitFor([&] { return chain.played >= 50; }, 20000));
    EXPECT_EQ(chain.failures, 0);
}

TEST_P(Playback, NoSyncOfAFreedOrUnsetChannelFires) {
    EndLog freed, removed;
    const HSTREAM a = open("wav_s16_stereo_44100_pan.wav");
    const HSTREAM b = open("wav_s16_stereo_44100_pan.wav");
    BASS_ChannelSetSync(a, BASS_SYNC_END, 0, logEnd, &freed);
    const HSYNC s = BASS_ChannelSetSync(b, BASS_SYNC_END, 0, logEnd, &removed);
    BASS_ChannelPlay(a, FALSE);
    BASS_ChannelPlay(b, FALSE);
    sleepMs(50);
    EXPECT_TRUE(BASS_StreamFree(a));
    EXPECT_TRUE(BASS_ChannelRemoveSync(b, s));
    EXPECT_FALSE(BASS_ChannelRemoveSync(b, s));
    EXPECT_TRUE(waitFor([&] { return BASS_ChannelIsActive(b) == BASS_ACTIVE_STOPPED; }, 3000));
    sleepMs(100);
    EXPECT_EQ(freed.count, 0);
    EXPECT_EQ(removed.count, 0);
    EXPECT_EQ(BASS_ChannelSetSync(b, 3, 0, logEnd, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
    EXPECT_NE(BASS_ChannelSetSync(b, BASS_SYNC_META, 0, logEnd, nullptr), 0u);
    BASS_StreamFree(b);
}

TEST_P(Playback, CreatePlayFreeTwoHundredTimes) {
    const char *files[] = {"mp3_cbr_stereo_44100.mp3", "ogg_stereo_48000.ogg",
                           "wav_u8_mono_22050.wav"};
    EndLog never;
    for (int i = 0; i < 200; ++i) {
        const HSTREAM h = open(files[i % 3]);
        ASSERT_NE(h, 0u);
        BASS_ChannelSetSync(h, BASS_SYNC_END, 0, logEnd, &never);
        BASS_ChannelSetFX(h, BASS_FX_PARAMEQ, 1);
        ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
        ASSERT_TRUE(BASS_StreamFree(h));
    }
    sleepMs(50);
    EXPECT_EQ(never.count, 0);
}

TEST_P(Playback, AttributesGiveRateVolumeAndPan) {
    const HSTREAM h = open("ogg_stereo_48000.ogg");
    DWORD freq = 0, volume = 0;
    int pan = 7;
    ASSERT_TRUE(BASS_ChannelGetAttributes(h, &freq, &volume, &pan));
    EXPECT_EQ(freq, 48000u);
    EXPECT_EQ(volume, 100u);
    EXPECT_EQ(pan, 0);
    ASSERT_TRUE(BASS_ChannelSetAttributes(h, -1, -1, -60));
    ASSERT_TRUE(BASS_ChannelGetAttributes(h, &freq, &volume, &pan));
    EXPECT_EQ(freq, 48000u);
    EXPECT_EQ(volume, 100u);
    EXPECT_EQ(pan, -60);
    EXPECT_FALSE(BASS_ChannelSetAttributes(h, -1, -1, 101));
    EXPECT_FALSE(BASS_ChannelSetAttributes(h, -1, 150, 0));
    BASS_StreamFree(h);
}

TEST_P(Playback, PlayingRateChangesSpeedButNotPositionsUnits) {
    const HSTREAM h = open("wav_s16_mono_44100_2s.wav");
    ASSERT_TRUE(BASS_ChannelSetAttributes(h, 88200, -1, -1));
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    sleepMs(50);
    const auto t1 = Clock::now();
    const double p1 = positionSeconds(h);
    sleepMs(300);
    const double p2 = positionSeconds(h);
    const double elapsed = seconds(Clock::now() - t1);
    EXPECT_LE(p2 - p1, 2 * elapsed + 0.06); // twice as fast as real time
    EXPECT_GE(p2 - p1, 2 * elapsed - 0.3);
    EXPECT_GT(p2 - p1, 1.3 * elapsed);
    DWORD freq = 0;
    BASS_ChannelGetAttributes(h, &freq, nullptr, nullptr);
    EXPECT_EQ(freq, 88200u);
    BASS_StreamFree(h);
}

TEST_P(Playback, FftIsOfWhatIsHeard) {
    const HSTREAM h = open("wav_s16_mono_44100_2s.wav");
    std::vector<float> fft(1024, 3.0f);
    EXPECT_EQ(BASS_ChannelGetData(h, fft.data(), BASS_DATA_FFT2048), DWORD(-1)); // nothing heard
    EXPECT_EQ(fft[0], 3.0f);
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    sleepMs(150);
    ASSERT_EQ(BASS_ChannelGetData(h, fft.data(), BASS_DATA_FFT2048), 4096u);
    const int peak = int(std::max_element(fft.begin(), fft.end()) - fft.begin());
    EXPECT_TRUE(peak == 46 || peak == 47) << peak;
    int16_t pcm[256];
    EXPECT_EQ(BASS_ChannelGetData(h, pcm, sizeof pcm), sizeof pcm);
    BASS_StreamFree(h);
}

TEST_P(Playback, DecodeOnlyChannelsCannotBePlayedAndEveryOtherCallWorks) {
    const HSTREAM h = open("wav_s16_mono_44100_2s.wav", BASS_STREAM_DECODE);
    EXPECT_FALSE(BASS_ChannelPlay(h, FALSE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DECODE);
    EXPECT_FALSE(BASS_ChannelPause(h));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DECODE);
    EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_TRUE(BASS_ChannelSetAttributes(h, 22050, 50, -30));
    DWORD freq = 0, vol = 0;
    int pan = 0;
    EXPECT_TRUE(BASS_ChannelGetAttributes(h, &freq, &vol, &pan));
    EXPECT_EQ(vol, 50u);
    EXPECT_EQ(pan, -30);
    EXPECT_TRUE(BASS_ChannelSetPosition(h, 4410 * 2));
    EXPECT_EQ(BASS_ChannelGetPosition(h), 4410u * 2);
    int16_t buf[64];
    EXPECT_EQ(BASS_ChannelGetData(h, buf, sizeof buf), sizeof buf);
    float fft[1024];
    EXPECT_EQ(BASS_ChannelGetData(h, fft, BASS_DATA_FFT2048), 4096u);
    EXPECT_FALSE(BASS_ChannelPause(h));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DECODE);
    EXPECT_TRUE(BASS_StreamFree(h));
}

namespace {
void freeLibrary(HSYNC, DWORD, DWORD, void *user) {
    BASS_Free();
    static_cast<std::atomic<bool> *>(user)->store(true);
}
} // namespace

TEST(Library, FreeFromWithinASyncCallback) {
    std::atomic<bool> done{false};
    {
        Library lib(0);
        const auto wav = makeWav(sine(440, 0.3, 44100, 1, 441), 44100, 1);
        const HSTREAM h = BASS_StreamCreateFile(TRUE, wav.data(), 0, wav.size(), 0);
        BASS_ChannelSetSync(h, BASS_SYNC_END, 0, freeLibrary, &done);
        BASS_ChannelPlay(h, FALSE);
        EXPECT_TRUE(waitFor([&] { return done.load(); }, 3000));
        EXPECT_EQ(BASS_GetDevice(), DWORD(-1));
    }
    Library again(0);
    EXPECT_TRUE(again.ok());
}

namespace {
struct DspProbe {
    std::atomic<int> calls{0};
    std::atomic<bool> inside{false};
    std::atomic<bool> callerThread{false};
    std::thread::id caller;
};
void slowDsp(HDSP, DWORD, float *, DWORD, DWORD, DWORD, void *user) {
    auto *p = static_cast<DspProbe *>(user);
    p->inside = true;
    if (std::this_thread::get_id() == p->caller)
        p->callerThread = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ++p->calls;
    p->inside = false;
}
} // namespace

TEST_P(Playback, DspRunsAheadOnTheLibrarysThreadAndNeverAfterItsRemoval) {
    const HSTREAM h = open("wav_s16_mono_44100_2s.wav");
    DspProbe probe;
    probe.caller = std::this_thread::get_id();
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    const HDSP dsp = BASS_ChannelSetDSP(h, slowDsp, &probe, 0);
    ASSERT_NE(dsp, 0u);
    ASSERT_TRUE(waitFor([&] { return probe.calls > 3; }, 3000));
    EXPECT_FALSE(probe.callerThread);
    ASSERT_TRUE(BASS_ChannelRemoveDSP(h, dsp));
    EXPECT_FALSE(probe.inside);
    const int after = probe.calls;
    sleepMs(150);
    EXPECT_EQ(probe.calls, after);
    BASS_StreamFree(h);
}

TEST_P(Playback, DspNeverRunsOnTheCallersThreadInPlaySeekOrRateChange) {
    const HSTREAM h = open("wav_s16_mono_44100_2s.wav");
    DspProbe probe;
    probe.caller = std::this_thread::get_id();
    ASSERT_NE(BASS_ChannelSetDSP(h, slowDsp, &probe, 0), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    EXPECT_FALSE(probe.callerThread) << "DSP ran inside BASS_ChannelPlay";
    ASSERT_TRUE(waitFor([&] { return probe.calls > 3; }, 3000));
    ASSERT_TRUE(BASS_ChannelSetPosition(h, 44100));
    EXPECT_FALSE(probe.callerThread) << "DSP ran inside BASS_ChannelSetPosition";
    ASSERT_TRUE(BASS_ChannelSetAttributes(h, 22050, -1, -101));
    EXPECT_FALSE(probe.callerThread) << "DSP ran inside BASS_ChannelSetAttributes";
    const int before = probe.calls;
    ASSERT_TRUE(waitFor([&] { return probe.calls > before; }, 3000));
    EXPECT_TRUE(waitFor([&] { return BASS_ChannelGetPosition(h) > 44100; }, 3000));
    BASS_StreamFree(h);
}

TEST_P(Playback, CallsFromManyThreadsAtOnceAreSafe) {
    // Four threads play, pause, seek, read positions and spectra, and free and re-create
    // channels, all at the same time; the sanitizer builds check for races and leaks.
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    const std::string files[] = {fixture("mp3_cbr_stereo_44100.mp3"),
                                 fixture("ogg_stereo_48000.ogg"),
                                 fixture("wav_s16_mono_44100_2s.wav")};
    const HSTREAM shared = open("wav_s16_mono_44100_2s.wav");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            int round = 0;
            while (!stop) {
                const HSTREAM own =
                    BASS_StreamCreateFile(FALSE, files[(t + round) % 3].c_str(), 0, 0, 0);
                if (!own)
                    ++failures;
                BASS_ChannelPlay(own, FALSE);
                BASS_ChannelPlay(shared, FALSE);
                float fft[1024];
                BASS_ChannelGetData(shared, fft, BASS_DATA_FFT2048);
                BASS_ChannelSetPosition(
                    shared, BASS_ChannelSeconds2Bytes(shared, 0.1f * float(round % 15)));
                BASS_ChannelGetPosition(shared);
                if (round % 3 == 0)
                    BASS_ChannelPause(shared);
                BASS_ChannelSetAttributes(shared, -1, 50 + t, t * 10 - 20);
                BASS_ChannelSetFX(own, BASS_FX_PARAMEQ, t);
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
                if (!BASS_StreamFree(own))
                    ++failures;
                ++round;
            }
        });
    sleepMs(400);
    stop = true;
    for (auto &th : threads)
        th.join();
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(BASS_StreamFree(shared));
}

TEST(DecodeOnly, EndSyncFiresWhenThePullReachesTheEnd) {
    const HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("wav_s16_stereo_44100.wav").c_str(), 0,
                                            0, BASS_STREAM_DECODE);
    EndLog log;
    ASSERT_NE(BASS_ChannelSetSync(h, BASS_SYNC_END, 0, logEnd, &log), 0u);
    decodeAll(h);
    EXPECT_TRUE(waitFor([&] { return log.count > 0; }, 2000));
    EXPECT_NE(log.thread, std::this_thread::get_id());
    sleepMs(50);
    EXPECT_EQ(log.count, 1);
    BASS_StreamFree(h);
    BASS_Free(); // the sync thread started for this channel goes too
}
