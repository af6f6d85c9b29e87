// Streams: content detection, exact lengths, decode-only PCM, seeking, DSPs, FX and FFT
// measured offline, and every kind of bad input.
#include "audio_util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <future>
#include <map>
#include <numeric>
#include <random>
#include <thread>
#include <tuple>

using namespace audiotest;

namespace {

struct Expect {
    const char *file;
    DWORD rate;
    int channels;
    // Exact frame count when the file carries it (WAV, Vorbis, gapless MP3); 0: only check that
    // the length equals what decoding gives.
    uint64_t frames;
};

const Expect kStreams[] = {
    {"wav_u8_mono_22050.wav", 22050, 1, 11025},
    {"wav_s16_stereo_44100.wav", 44100, 2, 22050},
    {"wav_s24_mono_48000.wav", 48000, 1, 24000},
    {"wav_f32_mono_48000.wav", 48000, 1, 12000},
    {"ogg_stereo_44100.ogg", 44100, 2, 44100},
    {"ogg_mono_22050.ogg", 22050, 1, 22050},
    {"ogg_stereo_48000.ogg", 48000, 2, 24000},
    {"mp3_cbr_stereo_44100.mp3", 44100, 2, 44100},
    {"mp3_vbr_xing_stereo_44100.mp3", 44100, 2, 44100},
    {"mp3_vbr_noxing_stereo_44100.mp3", 44100, 2, 0},
    {"mp3_cbr_mono_22050.mp3", 22050, 1, 0},
    {"mp3_cbr_stereo_48000.mp3", 48000, 2, 48000},
    {"mp3_id3v2_mono_22050.mp3", 22050, 1, 0},
    {"mp2_stereo_44100.mp2", 44100, 2, 0},
    {"mp1_mono_44100.mp1", 44100, 1, 40 * 384},
};

// Root-mean-square of one channel of interleaved samples, full scale = 1.
double rms(const std::vector<int16_t> &s, int channels, int channel, size_t from = 0) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = from * size_t(channels) + size_t(channel); i < s.size();
         i += size_t(channels), ++n)
        sum += double(s[i]) * s[i];
    return n ? std::sqrt(sum / double(n)) / 32768.0 : 0;
}

// A prescanned MP3's length becomes exact when the scan on the library's thread ends.
bool waitUntilExact(HSTREAM h) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!BASS_StreamLengthIsExact(h)) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace

TEST(StreamLength, EveryKindIsExactToTheDecodedSampleCount) {
    for (const Expect &e : kStreams) {
        SCOPED_TRACE(e.file);
        const HSTREAM h = BASS_StreamCreateFile(FALSE, fixture(e.file).c_str(), 0, 0,
                                                BASS_STREAM_DECODE | BASS_STREAM_PRESCAN);
        ASSERT_NE(h, 0u) << "error " << BASS_ErrorGetCode();
        DWORD rate = 0;
        ASSERT_TRUE(BASS_ChannelGetAttributes(h, &rate, nullptr, nullptr));
        EXPECT_EQ(rate, e.rate);
        ASSERT_TRUE(waitUntilExact(h));
        const QWORD length = BASS_StreamGetLength(h);
        const size_t decoded = decodeAll(h).size() * 2;
        EXPECT_EQ(length, decoded);
        if (e.frames) {
            EXPECT_EQ(length, e.frames * 2 * uint64_t(e.channels));
        }
        EXPECT_EQ(BASS_ChannelGetPosition(h), length);
        EXPECT_TRUE(BASS_StreamFree(h));
    }
}

TEST(StreamLength, Mp3WithoutHeaderIsEstimatedUnlessPrescannedAndExactOnceDecoded) {
    const std::string f = fixture("mp3_vbr_noxing_stereo_44100.mp3");
    const HSTREAM scanned =
        BASS_StreamCreateFile(FALSE, f.c_str(), 0, 0, BASS_STREAM_DECODE | BASS_STREAM_PRESCAN);
    const HSTREAM estimated = BASS_StreamCreateFile(FALSE, f.c_str(), 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(scanned, 0u);
    ASSERT_NE(estimated, 0u);
    // The scan runs on a library thread; a sync (or the flag) tells when it is done.
    std::atomic<int> fired{0};
    const HSYNC sync = BASS_ChannelSetSync(
        scanned, BASS_SYNC_LENGTH, 0,
        [](HSYNC, DWORD, DWORD, void *u) { ++*static_cast<std::atomic<int> *>(u); }, &fired);
    ASSERT_NE(sync, 0u) << BASS_ErrorGetCode();
    ASSERT_TRUE(waitUntilExact(scanned));
    for (int i = 0; i < 500 && fired == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(fired.load(), 1);
    EXPECT_FALSE(BASS_StreamLengthIsExact(estimated));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
    const double exact = BASS_ChannelBytes2Seconds(scanned, BASS_StreamGetLength(scanned));
    const double guess = BASS_ChannelBytes2Seconds(estimated, BASS_StreamGetLength(estimated));
    EXPECT_NEAR(exact, 1.0, 0.06); // 1 s of sound plus the encoder's padding
    // An average over the frames: a guess from the first frame alone would be 0.19 s here.
    EXPECT_NEAR(guess, exact, 0.1 * exact);
    // Once decoded to the end, the length is exact.
    const size_t decoded = decodeAll(estimated).size() * 2;
    EXPECT_EQ(BASS_StreamGetLength(estimated), decoded);
    EXPECT_TRUE(BASS_StreamLengthIsExact(estimated));
    EXPECT_EQ(BASS_StreamGetLength(scanned), decoded);
    EXPECT_EQ(fired.load(), 1) << "fires once";
    EXPECT_FALSE(BASS_StreamLengthIsExact(12345678));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    BASS_StreamFree(scanned);
    BASS_StreamFree(estimated);
}

TEST(StreamData, DecodedSineHasTheLevelOfTheSource) {
    // Every fixture is a half-scale sine: RMS 0.5 / sqrt(2), lossy codecs within 10 %.
    for (const Expect &e : kStreams) {
        if (std::strncmp(e.file, "mp1", 3) == 0)
            continue; // the hand-written layer I file carries a square wave
        SCOPED_TRACE(e.file);
        const HSTREAM h =
            BASS_StreamCreateFile(FALSE, fixture(e.file).c_str(), 0, 0, BASS_STREAM_DECODE);
        ASSERT_NE(h, 0u);
        const auto pcm = decodeAll(h);
        // Skip the first 50 ms: encoder delay and fade-in of lossy codecs.
        EXPECT_NEAR(rms(pcm, e.channels, 0, e.rate / 20), 0.5 / std::sqrt(2.0), 0.035);
        BASS_StreamFree(h);
    }
}

TEST(StreamData, Mp1FileIsHeard) {
    const HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("mp1_mono_44100.mp1").c_str(), 0, 0,
                                            BASS_STREAM_DECODE);
    ASSERT_NE(h, 0u);
    EXPECT_GT(rms(decodeAll(h), 1, 0), 0.01);
    BASS_StreamFree(h);
}

TEST(StreamData, MemoryStreamMatchesFileStreamAndSurvivesTheCallersBuffer) {
    auto bytes = readFile(fixture("ogg_stereo_44100.ogg"));
    const HSTREAM fromFile = BASS_StreamCreateFile(FALSE, fixture("ogg_stereo_44100.ogg").c_str(),
                                                   0, 0, BASS_STREAM_DECODE);
    const HSTREAM fromMemory =
        BASS_StreamCreateFile(TRUE, bytes.data(), 0, bytes.size(), BASS_STREAM_DECODE);
    ASSERT_NE(fromMemory, 0u);
    std::fill(bytes.begin(), bytes.end(), 0); // the library keeps its own copy
    EXPECT_EQ(decodeAll(fromFile), decodeAll(fromMemory));
    BASS_StreamFree(fromFile);
    BASS_StreamFree(fromMemory);
}

TEST(StreamData, OffsetAndLengthSelectAPartOfTheFile) {
    TempDir dir;
    auto wav = readFile(fixture("wav_s16_stereo_44100.wav"));
    std::vector<uint8_t> padded(100 + wav.size() + 50, 'x');
    std::copy(wav.begin(), wav.end(), padded.begin() + 100);
    const std::string path = dir.write("padded.bin", padded);
    const HSTREAM h =
        BASS_StreamCreateFile(FALSE, path.c_str(), 100, wav.size(), BASS_STREAM_DECODE);
    ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_StreamGetLength(h), 22050u * 4);
    BASS_StreamFree(h);
}

TEST(StreamData, MemoryOffsetSelectsWithinTheBufferOfTheGivenLength) {
    // The buffer is length bytes; the stream starts offset bytes into it and ends with it.
    auto wav = readFile(fixture("wav_s16_stereo_44100.wav"));
    std::vector<uint8_t> padded(100 + wav.size(), 'x');
    std::copy(wav.begin(), wav.end(), padded.begin() + 100);
    const HSTREAM whole =
        BASS_StreamCreateFile(TRUE, wav.data(), 0, wav.size(), BASS_STREAM_DECODE);
    const HSTREAM part =
        BASS_StreamCreateFile(TRUE, padded.data(), 100, padded.size(), BASS_STREAM_DECODE);
    ASSERT_NE(part, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(decodeAll(whole), decodeAll(part));
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, padded.data(), padded.size() + 1, padded.size(),
                                    BASS_STREAM_DECODE),
              0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_POSITION);
    BASS_StreamFree(whole);
    BASS_StreamFree(part);
}

TEST(StreamData, GetDataPullsWholeFramesAndReportsTheEnd) {
    const HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("wav_s16_stereo_44100.wav").c_str(), 0,
                                            0, BASS_STREAM_DECODE);
    ASSERT_NE(h, 0u);
    int16_t buf[8];
    EXPECT_EQ(BASS_ChannelGetData(h, buf, 7), 4u); // rounded down to one stereo frame
    EXPECT_EQ(BASS_ChannelGetPosition(h), 4u);
    // Less than a frame asked for: nothing given, no error, and the channel goes on.
    for (DWORD tiny : {0u, 2u}) {
        EXPECT_EQ(BASS_ChannelGetData(h, buf, tiny), 0u);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
        EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_PLAYING));
    }
    EXPECT_EQ(BASS_ChannelGetData(h, buf, sizeof buf), sizeof buf);
    decodeAll(h);
    std::fill(std::begin(buf), std::end(buf), int16_t(1234));
    EXPECT_EQ(BASS_ChannelGetData(h, buf, sizeof buf), DWORD(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENDED);
    EXPECT_EQ(buf[0], 1234); // left as it was
    EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_STOPPED));
    BASS_StreamFree(h);
}

TEST(StreamSeek, WavAndVorbisAreSampleExact) {
    for (const char *file :
         {"wav_s16_stereo_44100.wav", "ogg_stereo_44100.ogg", "wav_s24_mono_48000.wav"}) {
        SCOPED_TRACE(file);
        const HSTREAM whole =
            BASS_StreamCreateFile(FALSE, fixture(file).c_str(), 0, 0, BASS_STREAM_DECODE);
        const HSTREAM sought =
            BASS_StreamCreateFile(FALSE, fixture(file).c_str(), 0, 0, BASS_STREAM_DECODE);
        ASSERT_NE(whole, 0u);
        const auto all = decodeAll(whole);
        const QWORD target = BASS_ChannelSeconds2Bytes(sought, 0.3137f);
        ASSERT_TRUE(BASS_ChannelSetPosition(sought, target));
        EXPECT_EQ(BASS_ChannelGetPosition(sought), target);
        const auto rest = decodeAll(sought);
        ASSERT_EQ(rest.size(), all.size() - target / 2);
        EXPECT_TRUE(std::equal(rest.begin(), rest.end(), all.begin() + std::ptrdiff_t(target / 2)));
        BASS_StreamFree(whole);
        BASS_StreamFree(sought);
    }
}

TEST(StreamSeek, Mp3LandsWithinOneFrame) {
    const std::string f = fixture("mp3_cbr_stereo_44100.mp3");
    const HSTREAM whole = BASS_StreamCreateFile(FALSE, f.c_str(), 0, 0, BASS_STREAM_DECODE);
    const HSTREAM sought = BASS_StreamCreateFile(FALSE, f.c_str(), 0, 0, BASS_STREAM_DECODE);
    const auto all = decodeAll(whole);
    const QWORD target = BASS_ChannelSeconds2Bytes(sought, 0.5f);
    ASSERT_TRUE(BASS_ChannelSetPosition(sought, target));
    const auto rest = decodeAll(sought);
    // Where the continuation matches the whole decode tells where the seek landed.
    const long expected = long(target / 2);
    const long landed = long(all.size()) - long(rest.size());
    EXPECT_LE(std::labs(landed - expected), 1152 * 2);
    BASS_StreamFree(whole);
    BASS_StreamFree(sought);
}

TEST(StreamSeek, PastTheEndIsRefused) {
    const HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("wav_s16_stereo_44100.wav").c_str(), 0,
                                            0, BASS_STREAM_DECODE);
    EXPECT_FALSE(BASS_ChannelSetPosition(h, BASS_StreamGetLength(h) + 4));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_POSITION);
    BASS_StreamFree(h);
}

TEST(Conversion, SecondsToBytesRoundsDownToAWholeFrame) {
    const HSTREAM stereo = BASS_StreamCreateFile(FALSE, fixture("wav_s16_stereo_44100.wav").c_str(),
                                                 0, 0, BASS_STREAM_DECODE);
    const HSTREAM mono = BASS_StreamCreateFile(FALSE, fixture("wav_s24_mono_48000.wav").c_str(), 0,
                                               0, BASS_STREAM_DECODE);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(stereo, 1.0f), 176400u);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(stereo, 0.00001f), 0u); // 0.44 frame
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(stereo, 0.0001f) % 4, 0u);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(mono, 0.5f), 48000u);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(mono, -1.0f), 0u);
    // A time whose byte count does not fit fails with a reason, never as a success.
    for (float huge : {1e12f, INFINITY}) {
        EXPECT_EQ(BASS_ChannelSeconds2Bytes(stereo, huge), QWORD(-1));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    }
    EXPECT_FLOAT_EQ(BASS_ChannelBytes2Seconds(stereo, 176400), 1.0f);
    EXPECT_FLOAT_EQ(BASS_ChannelBytes2Seconds(mono, 96000), 1.0f);
    BASS_StreamFree(stereo);
    BASS_StreamFree(mono);
}

// ---- DSPs and FX ---------------------------------------------------------------------

namespace {
struct DspLog {
    std::vector<int> order;
    DWORD frames = 0, chans = 0, rate = 0;
};
void dspA(HDSP, DWORD, float *, DWORD frames, DWORD chans, DWORD rate, void *user) {
    auto *log = static_cast<DspLog *>(user);
    log->order.push_back(1);
    log->frames += frames;
    log->chans = chans;
    log->rate = rate;
}
void dspB(HDSP, DWORD, float *, DWORD, DWORD, DWORD, void *user) {
    static_cast<DspLog *>(user)->order.push_back(2);
}
void dspC(HDSP, DWORD, float *, DWORD, DWORD, DWORD, void *user) {
    static_cast<DspLog *>(user)->order.push_back(3);
}
void halve(HDSP, DWORD, float *buffer, DWORD frames, DWORD chans, DWORD, void *) {
    for (DWORD i = 0; i < frames * chans; ++i)
        buffer[i] *= 0.5f;
}
} // namespace

TEST(Dsp, RunsHigherPriorityFirstThenInTheOrderSet) {
    const HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("wav_s24_mono_48000.wav").c_str(), 0, 0,
                                            BASS_STREAM_DECODE);
    DspLog log;
    ASSERT_NE(BASS_ChannelSetDSP(h, dspB, &log, 0), 0u);
    ASSERT_NE(BASS_ChannelSetDSP(h, dspA, &log, 5), 0u);
    ASSERT_NE(BASS_ChannelSetDSP(h, dspC, &log, 0), 0u);
    int16_t buf[100];
    BASS_ChannelGetData(h, buf, sizeof buf);
    ASSERT_GE(log.order.size(), 3u);
    EXPECT_EQ(std::vector<int>(log.order.begin(), log.order.begin() + 3),
              (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(log.chans, 1u);
    EXPECT_EQ(log.rate, 48000u);
    decodeAll(h);
    EXPECT_EQ(log.frames, 24000u); // every frame passed through once
    BASS_StreamFree(h);
}

TEST(Dsp, ChangesTheSamplesPulledAndStopsWhenRemoved) {
    const std::string f = fixture("wav_s16_stereo_44100.wav");
    const HSTREAM plain = BASS_StreamCreateFile(FALSE, f.c_str(), 0, 0, BASS_STREAM_DECODE);
    const HSTREAM processed = BASS_StreamCreateFile(FALSE, f.c_str(), 0, 0, BASS_STREAM_DECODE);
    const HDSP dsp = BASS_ChannelSetDSP(processed, halve, nullptr, 0);
    ASSERT_NE(dsp, 0u);
    std::vector<int16_t> a(4096), b(4096);
    BASS_ChannelGetData(plain, a.data(), 8192);
    BASS_ChannelGetData(processed, b.data(), 8192);
    for (size_t i = 0; i < a.size(); ++i)
        ASSERT_NEAR(b[i], a[i] / 2.0, 1.0) << i;
    EXPECT_TRUE(BASS_ChannelRemoveDSP(processed, dsp));
    EXPECT_FALSE(BASS_ChannelRemoveDSP(processed, dsp));
    BASS_ChannelGetData(plain, a.data(), 8192);
    BASS_ChannelGetData(processed, b.data(), 8192);
    EXPECT_EQ(a, b);
    BASS_StreamFree(plain);
    BASS_StreamFree(processed);
}

TEST(Fx, DefaultParametricEqualizersLeaveTheSoundUnchanged) {
    const std::string f = fixture("ogg_stereo_44100.ogg");
    const HSTREAM plain = BASS_StreamCreateFile(FALSE, f.c_str(), 0, 0, BASS_STREAM_DECODE);
    const HSTREAM eq = BASS_StreamCreateFile(FALSE, f.c_str(), 0, 0, BASS_STREAM_DECODE);
    for (int i = 0; i < 3; ++i)
        ASSERT_NE(BASS_ChannelSetFX(eq, BASS_FX_PARAMEQ, 1), 0u);
    EXPECT_EQ(decodeAll(plain), decodeAll(eq));
    EXPECT_EQ(BASS_ChannelSetFX(eq, 99, 1), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
    BASS_StreamFree(plain);
    BASS_StreamFree(eq);
}

TEST(Fx, BoostedBandRaisesItsFrequency) {
    const std::string f = fixture("wav_s16_stereo_44100.wav"); // 1 kHz
    const HSTREAM plain = BASS_StreamCreateFile(FALSE, f.c_str(), 0, 0, BASS_STREAM_DECODE);
    const HSTREAM eq = BASS_StreamCreateFile(FALSE, f.c_str(), 0, 0, BASS_STREAM_DECODE);
    const HFX fx = BASS_ChannelSetFX(eq, BASS_FX_PARAMEQ, 1);
    BASS_PARAMEQ p{};
    ASSERT_TRUE(BASS_FXGetParameters(fx, &p));
    EXPECT_FLOAT_EQ(p.gain, 0.0f);
    p = BASS_PARAMEQ{1000.0f, 12.0f, -12.0f};
    ASSERT_TRUE(BASS_FXSetParameters(fx, &p));
    const double ratio = rms(decodeAll(eq), 2, 0, 4410) / rms(decodeAll(plain), 2, 0, 4410);
    EXPECT_NEAR(20 * std::log10(ratio), -12.0, 0.5);
    p = BASS_PARAMEQ{1e9f, 1e9f, 40.0f}; // out of range: clamped to the documented ranges
    EXPECT_TRUE(BASS_FXSetParameters(fx, &p));
    ASSERT_TRUE(BASS_FXGetParameters(fx, &p));
    EXPECT_LE(p.center, 16000.0f);
    EXPECT_FLOAT_EQ(p.bandwidth, 36.0f);
    EXPECT_FLOAT_EQ(p.gain, 15.0f);
    p.gain = std::nanf("");
    EXPECT_FALSE(BASS_FXSetParameters(fx, &p));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_TRUE(BASS_ChannelRemoveFX(eq, fx));
    BASS_StreamFree(plain);
    BASS_StreamFree(eq);
}

// A DSP ahead of the equalizer that hands it samples that are not numbers, once.
static void poisonOnce(HDSP, DWORD, float *buffer, DWORD frames, DWORD chans, DWORD, void *user) {
    auto *left = static_cast<int *>(user);
    if (*left > 0) {
        --*left;
        for (DWORD i = 0; i < frames * chans; ++i)
            buffer[i] = (i % 3 == 0) ? std::nanf("") : (i % 3 == 1 ? INFINITY : -INFINITY);
    }
}

TEST(Fx, EqualizerNeverEmitsNanAndRecoversFromIt) {
    // Extreme settings (a huge band centred just below half the rate) and poisoned input: the
    // band's output stays finite, and once sane values are set again it filters as before.
    const std::string f = fixture("wav_s16_stereo_44100.wav"); // 1 kHz
    const HSTREAM plain = BASS_StreamCreateFile(FALSE, f.c_str(), 0, 0, BASS_STREAM_DECODE);
    const HSTREAM eq = BASS_StreamCreateFile(FALSE, f.c_str(), 0, 0, BASS_STREAM_DECODE);
    int poison = 1;
    ASSERT_NE(BASS_ChannelSetDSP(eq, poisonOnce, &poison, 5), 0u);
    const HFX fx = BASS_ChannelSetFX(eq, BASS_FX_PARAMEQ, 1);
    BASS_PARAMEQ p{22049.0f, 1e9f, 15.0f};
    ASSERT_TRUE(BASS_FXSetParameters(fx, &p)) << BASS_ErrorGetCode();
    std::vector<int16_t> head(4096 * 2);
    ASSERT_EQ(BASS_ChannelGetData(eq, head.data(), DWORD(head.size() * 2)), head.size() * 2);
    EXPECT_EQ(poison, 0);
    p = BASS_PARAMEQ{1000.0f, 12.0f, -12.0f};
    ASSERT_TRUE(BASS_FXSetParameters(fx, &p));
    std::vector<int16_t> skip(4096 * 2);
    BASS_ChannelGetData(plain, skip.data(), DWORD(skip.size() * 2));
    const auto a = decodeAll(eq), b = decodeAll(plain);
    ASSERT_GT(a.size(), 4410u * 2);
    EXPECT_NE(std::count(a.begin(), a.end(), int16_t(-32768)), std::ptrdiff_t(a.size()));
    const double ratio = rms(a, 2, 0, 2205) / rms(b, 2, 0, 2205);
    EXPECT_NEAR(20 * std::log10(ratio), -12.0, 0.5);
    BASS_StreamFree(plain);
    BASS_StreamFree(eq);
}

// ---- FFT ------------------------------------------------------------------------------

TEST(Fft, OneKilohertzPeaksAtBin46Or47) {
    const HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("wav_s16_stereo_44100.wav").c_str(), 0,
                                            0, BASS_STREAM_DECODE);
    std::vector<int16_t> pcm(4096 * 2);
    BASS_ChannelGetData(h, pcm.data(), DWORD(pcm.size() * 2));
    float fft[1024];
    ASSERT_EQ(BASS_ChannelGetData(h, fft, BASS_DATA_FFT2048), 4096u);
    const int peak = int(std::max_element(fft, fft + 1024) - fft);
    EXPECT_TRUE(peak == 46 || peak == 47) << peak;
    BASS_StreamFree(h);
}

TEST(Fft, FullScaleSineCentredOnABinGivesHalf) {
    // Bin 93 at 44100 Hz: 93 * 44100 / 2048 Hz.
    const auto wav = makeWav(sine(93.0 * 44100 / 2048, 1.0, 44100, 1, 8192), 44100, 1);
    const HSTREAM h = BASS_StreamCreateFile(TRUE, wav.data(), 0, wav.size(), BASS_STREAM_DECODE);
    ASSERT_NE(h, 0u);
    std::vector<int16_t> pcm(4096);
    BASS_ChannelGetData(h, pcm.data(), 8192);
    float fft[1024];
    ASSERT_NE(BASS_ChannelGetData(h, fft, BASS_DATA_FFT2048), DWORD(-1));
    EXPECT_NEAR(fft[93], 0.5f, 0.02f);
    EXPECT_LT(fft[200], 0.001f);
    BASS_StreamFree(h);
}

TEST(Fft, NothingPulledYetGivesNothingAndLeavesTheBuffer) {
    const HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("wav_s16_stereo_44100.wav").c_str(), 0,
                                            0, BASS_STREAM_DECODE);
    std::vector<float> fft(1024, 7.0f);
    EXPECT_EQ(BASS_ChannelGetData(h, fft.data(), BASS_DATA_FFT2048), DWORD(-1));
    EXPECT_EQ(fft[10], 7.0f);
    EXPECT_EQ(BASS_ChannelGetData(0, fft.data(), BASS_DATA_FFT2048), DWORD(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_EQ(fft[10], 7.0f);
    BASS_StreamFree(h);
}

// ---- Bad input ------------------------------------------------------------------------

class BadInput : public ::testing::Test {
  protected:
    // Opens path as a stream (decode-only and played) and as music; each must fail with err.
    void expectRefused(const std::string &path, int err) {
        SCOPED_TRACE(path);
        struct stat before {};
        const bool exists = ::stat(path.c_str(), &before) == 0;
        EXPECT_EQ(BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
        EXPECT_EQ(BASS_ErrorGetCode(), err);
        EXPECT_EQ(BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0,
                                        BASS_STREAM_PRESCAN | BASS_STREAM_DECODE),
                  0u);
        EXPECT_EQ(BASS_ErrorGetCode(), err);
        EXPECT_EQ(
            BASS_MusicLoad(FALSE, path.c_str(), 0, 0, BASS_MUSIC_RAMP | BASS_STREAM_DECODE, 0), 0u);
        EXPECT_EQ(BASS_ErrorGetCode(), err == BASS_ERROR_FORMAT ? BASS_ERROR_FORMAT : err);
        if (exists) { // never written to
            struct stat after {};
            ASSERT_EQ(::stat(path.c_str(), &after), 0);
            EXPECT_EQ(after.st_size, before.st_size);
            EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
            EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
        }
    }
    TempDir dir;
};

TEST_F(BadInput, MissingFileAndDirectoryCannotBeOpened) {
    expectRefused(dir.file("missing.mp3"), BASS_ERROR_FILEOPEN);
    expectRefused(dir.path().string(), BASS_ERROR_FILEOPEN);
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, nullptr, 0, 0, BASS_STREAM_DECODE), 0u);
}

TEST_F(BadInput, FifoIsRefusedAsNotAFormatWithoutWaitingForAWriter) {
    const std::string fifo = dir.file("pipe.mp3");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto opened = std::async(std::launch::async, [&] {
        const DWORD s = BASS_StreamCreateFile(FALSE, fifo.c_str(), 0, 0, BASS_STREAM_DECODE);
        const int se = BASS_ErrorGetCode();
        const DWORD m = BASS_MusicLoad(FALSE, fifo.c_str(), 0, 0, BASS_STREAM_DECODE, 0);
        return std::tuple{s, se, m, BASS_ErrorGetCode()};
    });
    if (opened.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // Let the blocked open return, so the test ends with a failure instead of hanging.
        for (int i = 0; i < 2; ++i)
            ::close(::open(fifo.c_str(), O_WRONLY));
        FAIL() << "opening a FIFO waited for a writer";
    }
    const auto [stream, streamErr, music, musicErr] = opened.get();
    EXPECT_EQ(stream, 0u);
    EXPECT_EQ(streamErr, BASS_ERROR_FORMAT);
    EXPECT_EQ(music, 0u);
    EXPECT_EQ(musicErr, BASS_ERROR_FORMAT);
}

TEST_F(BadInput, EmptyFileIsReportedEmpty) {
    expectRefused(dir.write("empty.mp3", {}), BASS_ERROR_EMPTY);
    uint8_t byte = 0;
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, &byte, 0, 0, BASS_STREAM_DECODE), 0u);
}

TEST_F(BadInput, TruncatedFilesOfEveryKindAreRefused) {
    // Cut inside the headers: nothing decodable remains.
    const std::pair<const char *, size_t> cuts[] = {
        {"wav_s16_stereo_44100.wav", 30},   // inside the fmt chunk
        {"ogg_stereo_44100.ogg", 200},      // inside the first pages
        {"mp3_cbr_stereo_44100.mp3", 600},  // the Info frame and part of one more
        {"mp3_id3v2_mono_22050.mp3", 1500}, // inside the ID3v2 tag
    };
    for (auto [file, keep] : cuts) {
        auto bytes = readFile(fixture(file));
        bytes.resize(keep);
        expectRefused(dir.write(std::string("cut_") + file, bytes), BASS_ERROR_FORMAT);
    }
    // The decoder's own words are kept for the failure it reported.
    auto ogg = readFile(fixture("ogg_stereo_44100.ogg"));
    ogg.resize(200);
    const std::string cut = dir.write("cut_again.ogg", ogg);
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, cut.c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
    EXPECT_STRNE(BASS_ErrorGetText(), "");
    const HSTREAM whole = BASS_StreamCreateFile(FALSE, fixture("ogg_stereo_44100.ogg").c_str(), 0,
                                                0, BASS_STREAM_DECODE);
    EXPECT_NE(whole, 0u);
    EXPECT_STREQ(BASS_ErrorGetText(), "");
    BASS_StreamFree(whole);
}

TEST_F(BadInput, RandomBytesAndTextNamedMp3AreNotAudio) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 20; ++round) {
        std::vector<uint8_t> noise(size_t(1000 + round * 3000));
        for (auto &b : noise)
            b = uint8_t(rng());
        expectRefused(dir.write("noise" + std::to_string(round) + ".mp3", noise),
                      BASS_ERROR_FORMAT);
    }
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "This is a plain text file that only pretends to be music, line " +
                std::to_string(i) + ".\n";
    expectRefused(dir.write("song.mp3", std::vector<uint8_t>(text.begin(), text.end())),
                  BASS_ERROR_FORMAT);
}

TEST_F(BadInput, MpegSyncBytesInNoiseDoNotMakeAStream) {
    // Noise sprinkled with frame-sync patterns that never chain.
    std::mt19937 rng(99);
    std::vector<uint8_t> bytes(20000);
    for (auto &b : bytes)
        b = uint8_t(rng());
    for (size_t i = 0; i + 4 < bytes.size(); i += 97) {
        bytes[i] = 0xFF;
        bytes[i + 1] = 0xFB;
        bytes[i + 2] = 0x90;
    }
    expectRefused(dir.write("sync.mp3", bytes), BASS_ERROR_FORMAT);
}

TEST_F(BadInput, AudioStreamsAreNeverTakenForMusic) {
    for (const Expect &e : kStreams) {
        SCOPED_TRACE(e.file);
        EXPECT_EQ(BASS_MusicLoad(FALSE, fixture(e.file).c_str(), 0, 0, BASS_MUSIC_RAMP, 0), 0u);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FORMAT);
    }
}

TEST_F(BadInput, WrongHandlesFailHarmlessly) {
    const HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("wav_s16_stereo_44100.wav").c_str(), 0,
                                            0, BASS_STREAM_DECODE);
    EXPECT_FALSE(BASS_MusicFree(h)); // a stream is not music
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_TRUE(BASS_StreamFree(h));
    EXPECT_FALSE(BASS_StreamFree(h));
    EXPECT_FALSE(BASS_ChannelPlay(h, TRUE));
    EXPECT_EQ(BASS_ChannelIsActive(h), 0u);
    EXPECT_EQ(BASS_ChannelGetPosition(0), QWORD(-1));
    EXPECT_FALSE(BASS_ChannelRemoveSync(0, 0));
    EXPECT_EQ(BASS_MusicGetName(h), nullptr);
}
