// End-to-end output and input through SDL2's disk driver: pan, channel volume and master
// volume measured on the written output, and recording read back from a file.
#include "audio_util.h"

#include <atomic>
#include <cstring>

using namespace audiotest;

namespace {

struct Peaks {
    float left = 0, right = 0;
};

// Plays file with the given settings on the disk driver and returns the output's peaks.
Peaks playToDisk(const TempDir &dir, const char *file, int volume, int pan, DWORD master) {
    const std::string out = dir.file("out.raw");
    {
        ScopedEnv driver("SDL_AUDIODRIVER", "disk");
        ScopedEnv target("SDL_DISKAUDIOFILE", out);
        Library lib;
        EXPECT_TRUE(lib.ok()) << BASS_ErrorGetCode();
        if (!lib.ok())
            return {};
        BASS_SetVolume(master);
        const HSTREAM h = BASS_StreamCreateFile(FALSE, fixture(file).c_str(), 0, 0, 0);
        EXPECT_NE(h, 0u);
        EXPECT_TRUE(BASS_ChannelSetAttributes(h, -1, volume, pan));
        std::atomic<bool> ended{false};
        BASS_ChannelSetSync(
            h, BASS_SYNC_END, 0,
            [](HSYNC, DWORD, DWORD, void *u) { static_cast<std::atomic<bool> *>(u)->store(true); },
            &ended);
        BASS_ChannelPlay(h, FALSE);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!ended && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_TRUE(ended);
    } // BASS_Free closes the device and its file
    const auto bytes = readFile(out);
    Peaks p;
    const float *f = reinterpret_cast<const float *>(bytes.data());
    for (size_t i = 0; i + 1 < bytes.size() / 4; i += 2) {
        p.left = std::max(p.left, std::fabs(f[i]));
        p.right = std::max(p.right, std::fabs(f[i + 1]));
    }
    return p;
}

} // namespace

TEST(DiskOutput, CentredChannelIsHeardOnBothSidesAtItsLevel) {
    TempDir dir;
    const Peaks p = playToDisk(dir, "wav_s16_stereo_44100_pan.wav", 100, 0, 100);
    EXPECT_NEAR(p.left, 0.5, 0.01);
    EXPECT_NEAR(p.right, 0.5, 0.01);
}

TEST(DiskOutput, PanFollowsTheBalanceLaw) {
    TempDir dir;
    Peaks p = playToDisk(dir, "wav_s16_stereo_44100_pan.wav", 100, -100, 100);
    EXPECT_NEAR(p.left, 0.5, 0.01);
    EXPECT_LT(p.right, 0.001);
    p = playToDisk(dir, "wav_s16_stereo_44100_pan.wav", 100, 50, 100);
    EXPECT_NEAR(p.left, 0.25, 0.01);
    EXPECT_NEAR(p.right, 0.5, 0.01);
}

TEST(DiskOutput, MonoIsHeardOnBothSides) {
    TempDir dir;
    const Peaks p = playToDisk(dir, "wav_u8_mono_22050.wav", 100, 0, 100); // resampled too
    EXPECT_NEAR(p.left, 0.5, 0.02);
    EXPECT_NEAR(p.right, 0.5, 0.02);
}

TEST(DiskOutput, ChannelAndMasterVolumeScaleTheOutput) {
    TempDir dir;
    Peaks p = playToDisk(dir, "wav_s16_stereo_44100_pan.wav", 100, 0, 50);
    EXPECT_NEAR(p.left, 0.25, 0.01);
    EXPECT_NEAR(p.right, 0.25, 0.01);
    p = playToDisk(dir, "wav_s16_stereo_44100_pan.wav", 40, 0, 50);
    EXPECT_NEAR(p.left, 0.1, 0.01);
    p = playToDisk(dir, "wav_s16_stereo_44100_pan.wav", 100, 0, 0);
    EXPECT_LT(p.left, 0.0001);
}

TEST(Recording, ReadsCapturedPcmAndItsSpectrum) {
    TempDir dir;
    // The disk driver reads raw 16-bit stereo at the asked rate from this file.
    const auto samples = sine(1000, 0.5, 44100, 2, 44100);
    std::vector<uint8_t> raw(samples.size() * 2);
    std::memcpy(raw.data(), samples.data(), raw.size());
    const std::string in = dir.write("in.raw", raw);
    ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    ScopedEnv input("SDL_DISKAUDIOFILEIN", in);
    EXPECT_EQ(BASS_RecordStart(44100, 2, 1, nullptr, nullptr), 0u); // not initialised
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    ASSERT_TRUE(BASS_RecordInit(0)) << BASS_ErrorGetCode();
    const HRECORD rec = BASS_RecordStart(44100, 2, 1, nullptr, nullptr);
    ASSERT_NE(rec, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_ChannelIsActive(rec), DWORD(BASS_ACTIVE_PLAYING));
    std::vector<int16_t> got;
    std::vector<int16_t> buf(4096);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (got.size() < 8192 && std::chrono::steady_clock::now() < until) {
        const DWORD n = BASS_ChannelGetData(rec, buf.data(), DWORD(buf.size() * 2));
        ASSERT_NE(n, DWORD(-1));
        got.insert(got.end(), buf.begin(), buf.begin() + n / 2);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GE(got.size(), 8192u);
    const int16_t peak = *std::max_element(got.begin(), got.end());
    EXPECT_NEAR(peak, 16384, 300);
    float fft[1024];
    ASSERT_EQ(BASS_ChannelGetData(rec, fft, BASS_DATA_FFT2048), 4096u);
    const int bin = int(std::max_element(fft, fft + 1024) - fft);
    EXPECT_TRUE(bin == 46 || bin == 47) << bin;
    EXPECT_TRUE(BASS_RecordFree());
    EXPECT_EQ(BASS_ChannelGetData(rec, buf.data(), 100), DWORD(-1));
    EXPECT_FALSE(BASS_RecordFree());
}

namespace {
struct Delivered {
    std::atomic<int> calls{0};
    std::atomic<DWORD> bytes{0};
    std::atomic<bool> wrongHandle{false};
    HRECORD handle = 0;
};
BOOL countBlocks(HRECORD handle, const void *, DWORD length, void *user) {
    auto *d = static_cast<Delivered *>(user);
    if (handle != d->handle)
        d->wrongHandle = true;
    ++d->calls;
    d->bytes += length;
    return TRUE;
}
// Reads a recording until it has given `samples` samples (or 5 s have passed).
std::vector<int16_t> readRecording(HRECORD rec, size_t samples) {
    std::vector<int16_t> got, buf(4096);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (got.size() < samples && std::chrono::steady_clock::now() < until) {
        const DWORD n = BASS_ChannelGetData(rec, buf.data(), DWORD(buf.size() * 2));
        if (n == DWORD(-1))
            break;
        got.insert(got.end(), buf.begin(), buf.begin() + n / 2);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return got;
}
} // namespace

TEST(Recording, SeveralRecordingsShareTheDeviceEachWithItsOwnDataAndCallback) {
    TempDir dir;
    const auto samples = sine(1000, 0.5, 44100, 2, 44100 * 3);
    std::vector<uint8_t> raw(samples.size() * 2);
    std::memcpy(raw.data(), samples.data(), raw.size());
    const std::string in = dir.write("in.raw", raw);
    ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    ScopedEnv input("SDL_DISKAUDIOFILEIN", in);
    ASSERT_TRUE(BASS_RecordInit(0)) << BASS_ErrorGetCode();
    Delivered da, db;
    const HRECORD a = BASS_RecordStart(44100, 2, 0, reinterpret_cast<void *>(countBlocks), &da);
    ASSERT_NE(a, 0u) << BASS_ErrorGetCode();
    da.handle = a;
    // Another rate and channel count: converted from the device's format.
    const HRECORD b = BASS_RecordStart(22050, 1, 0, reinterpret_cast<void *>(countBlocks), &db);
    ASSERT_NE(b, 0u) << BASS_ErrorGetCode();
    db.handle = b;
    const HRECORD c = BASS_RecordStart(44100, 2, 0, nullptr, nullptr);
    ASSERT_NE(c, 0u) << BASS_ErrorGetCode();
    const auto gotA = readRecording(a, 8192), gotB = readRecording(b, 4096);
    ASSERT_GE(gotA.size(), 8192u);
    ASSERT_GE(gotB.size(), 4096u);
    EXPECT_NEAR(*std::max_element(gotA.begin(), gotA.end()), 16384, 300);
    EXPECT_NEAR(*std::max_element(gotB.begin(), gotB.end()), 16384, 600);
    float fft[1024];
    ASSERT_EQ(BASS_ChannelGetData(b, fft, BASS_DATA_FFT2048), 4096u);
    const int bin = int(std::max_element(fft, fft + 1024) - fft);
    EXPECT_TRUE(bin == 92 || bin == 93) << bin << ": 1 kHz at 22050 Hz";
    EXPECT_GT(da.calls.load(), 0);
    EXPECT_GT(db.calls.load(), 0);
    EXPECT_FALSE(da.wrongHandle || db.wrongHandle);
    // Stopping one leaves the others capturing.
    ASSERT_TRUE(BASS_RecordStop(a));
    EXPECT_EQ(BASS_ChannelGetData(a, fft, BASS_DATA_FFT2048), DWORD(-1));
    EXPECT_FALSE(BASS_RecordStop(a));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    const int callsA = da.calls, callsB = db.calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(da.calls.load(), callsA);
    EXPECT_GT(db.calls.load(), callsB);
    EXPECT_GE(readRecording(c, 2048).size(), 2048u);
    EXPECT_TRUE(BASS_RecordFree());
    EXPECT_EQ(BASS_ChannelGetData(b, fft, BASS_DATA_FFT2048), DWORD(-1));
    EXPECT_EQ(BASS_ChannelGetData(c, fft, BASS_DATA_FFT2048), DWORD(-1));
}

TEST(Recording, WithoutACaptureDeviceInitFails) {
    ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    EXPECT_FALSE(BASS_RecordInit(0));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DRIVER);
}
