// audio_bench [SECONDS]: figures for the audio library.
//  1. Decode throughput of a decode-only stream against the same decoder called directly
//     (16-bit output both ways), for MP3, Ogg, WAV and a module. Goal: ratio >= 0.9.
//  2. CPU time of SECONDS (default 60) of real-time MP3 playback with the FFT read 30 times a
//     second, above the decoder's own cost. Goal: <= 2 % of one core.
//  3. Memory per open channel (played and decode-only).
// Set SDL_AUDIODRIVER=dummy on a machine without sound.
#include "bass.h"

#include <libopenmpt/libopenmpt.h>
#include <mpg123.h>
#include <sndfile.h>
#include <vorbis/vorbisfile.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

std::vector<uint8_t> readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}
void writeFile(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}
std::vector<uint8_t> repeat(const std::vector<uint8_t> &bytes, int times) {
    std::vector<uint8_t> out;
    for (int i = 0; i < times; ++i)
        out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
}
void put16(std::vector<uint8_t> &v, uint32_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
void put32(std::vector<uint8_t> &v, uint32_t x) {
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}
std::vector<uint8_t> sineWav(int seconds) {
    const uint32_t frames = uint32_t(44100 * seconds), bytes = frames * 4;
    std::vector<uint8_t> v = {'R', 'I', 'F', 'F'};
    put32(v, 36 + bytes);
    for (char c : std::string("WAVEfmt "))
        v.push_back(uint8_t(c));
    put32(v, 16);
    put16(v, 1);
    put16(v, 2);
    put32(v, 44100);
    put32(v, 44100 * 4);
    put16(v, 4);
    put16(v, 16);
    for (char c : std::string("data"))
        v.push_back(uint8_t(c));
    put32(v, bytes);
    for (uint32_t i = 0; i < frames; ++i) {
        const auto s = int16_t(std::lround(16000 * std::sin(2 * M_PI * 1000 * i / 44100.0)));
        put16(v, uint16_t(s));
        put16(v, uint16_t(s));
    }
    return v;
}

// Every case reads 64 Ki samples (128 KiB) per call, through the library and directly.
// Best of seven runs of each, alternating, so a busy moment of the machine hits both alike.
// Times are CPU time of the process (one thread decodes), which other load barely moves.
void bestOfBoth(const std::function<size_t()> &a, const std::function<size_t()> &b, double &ta,
                double &tb, size_t &na, size_t &nb) {
    ta = tb = 1e9;
    for (int i = 0; i < 7; ++i) {
        double c0 = cpuSeconds();
        na = a();
        ta = std::min(ta, cpuSeconds() - c0);
        c0 = cpuSeconds();
        nb = b();
        tb = std::min(tb, cpuSeconds() - c0);
    }
}

size_t throughLibrary(const std::string &path, bool music) {
    const DWORD h = music ? BASS_MusicLoad(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE, 44100)
                          : BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE);
    if (!h) {
        std::fprintf(stderr, "cannot open %s (error %d)\n", path.c_str(), BASS_ErrorGetCode());
        std::exit(1);
    }
    std::vector<int16_t> buf(65536);
    size_t total = 0;
    for (;;) {
        const DWORD got = BASS_ChannelGetData(h, buf.data(), DWORD(buf.size() * 2));
        if (got == DWORD(-1) || got == 0)
            break;
        total += got / 2;
    }
    music ? BASS_MusicFree(h) : BASS_StreamFree(h);
    return total;
}

size_t directMpg123(const std::string &path) {
    mpg123_handle *mh = mpg123_new(nullptr, nullptr);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
    mpg123_open(mh, path.c_str());
    std::vector<unsigned char> buf(131072);
    size_t total = 0, done = 0;
    int r;
    while ((r = mpg123_read(mh, buf.data(), buf.size(), &done)) == MPG123_OK ||
           r == MPG123_NEW_FORMAT)
        total += done / 2;
    total += done / 2;
    mpg123_close(mh);
    mpg123_delete(mh);
    return total;
}

size_t directVorbis(const std::string &path) {
    OggVorbis_File vf;
    ov_fopen(path.c_str(), &vf);
    std::vector<char> buf(131072);
    size_t total = 0;
    int section = 0;
    long n;
    while ((n = ov_read(&vf, buf.data(), int(buf.size()), 0, 2, 1, &section)) != 0)
        if (n > 0) // OV_HOLE between the links of the chain
            total += size_t(n) / 2;
        else if (n != OV_HOLE)
            break;
    ov_clear(&vf);
    return total;
}

size_t directSndfile(const std::string &path) {
    SF_INFO info{};
    SNDFILE *sf = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<short> buf(65536);
    size_t total = 0;
    sf_count_t n;
    while ((n = sf_readf_short(sf, buf.data(), sf_count_t(buf.size()) / info.channels)) > 0)
        total += size_t(n) * size_t(info.channels);
    sf_close(sf);
    return total;
}

size_t directOpenmpt(const std::string &path) {
    const auto data = readFile(path);
    openmpt_module *mod = openmpt_module_create_from_memory2(
        data.data(), data.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
        nullptr, nullptr, nullptr, nullptr);
    std::vector<int16_t> buf(65536);
    size_t total = 0, n;
    while ((n = openmpt_module_read_interleaved_stereo(mod, 44100, buf.size() / 2, buf.data())) > 0)
        total += n * 2;
    openmpt_module_destroy(mod);
    return total;
}

long rssKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

} // namespace

int main(int argc, char **argv) {
    const int playSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const std::string data = std::string(MIRVANE_TEST_DATA) + "/audio/";
    const auto dir = std::filesystem::temp_directory_path() /
                     ("mirvane-audio-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string mp3 = (dir / "long.mp3").string(), ogg = (dir / "long.ogg").string(),
                      wav = (dir / "long.wav").string();
    // 60 s inputs: a 1 s MP3 repeated (one stream of frames), a 1 s Ogg repeated (a chained
    // stream), a WAV sine; the module is the longest of the shared fixtures when present.
    writeFile(mp3, repeat(readFile(data + "mp3_cbr_stereo_44100.mp3"), 60));
    writeFile(ogg, repeat(readFile(data + "ogg_stereo_44100.ogg"), 60));
    writeFile(wav, sineWav(60));
    std::string mod = std::string(MIRVANE_SHARED_FIXTURES) + "/modules/libxmp-ode2ptk.mod";
    const bool haveModule = std::filesystem::exists(mod);

    std::printf("== Decode throughput, decode-only stream vs the decoder called directly ==\n");
    struct Case {
        const char *name;
        std::string path;
        bool music;
        size_t (*direct)(const std::string &);
    };
    std::vector<Case> cases = {{"MP3", mp3, false, directMpg123},
                               {"Ogg", ogg, false, directVorbis},
                               {"WAV", wav, false, directSndfile}};
    if (haveModule)
        cases.push_back({"module", mod, true, directOpenmpt});
    else
        std::printf("(no shared module folder: module case skipped)\n");
    for (const Case &c : cases) {
        size_t ours = 0, theirs = 0;
        double tOurs, tDirect;
        bestOfBoth([&] { return throughLibrary(c.path, c.music); },
                   [&] { return c.direct(c.path); }, tOurs, tDirect, ours, theirs);
        const double secondsOfSound = double(theirs) / 2 / 44100;
        std::printf("%-7s %6.1f s of sound: library %7.1f ms (%6.0fx real time), direct %7.1f ms, "
                    "ratio %.2f%s\n",
                    c.name, secondsOfSound, tOurs * 1e3, secondsOfSound / tOurs, tDirect * 1e3,
                    tDirect / tOurs, ours == theirs ? "" : "  (sample counts differ)");
    }

    std::printf("\n== Memory per open channel ==\n");
    BASS_Init(0, 44100, 0, nullptr, nullptr);
    {
        const int n = 200;
        std::vector<DWORD> handles;
        for (int decodeOnly = 1; decodeOnly >= 0;
             --decodeOnly) { // decode-only first: freed memory is reused
            const long before = rssKiB();
            for (int i = 0; i < n; ++i)
                handles.push_back(BASS_StreamCreateFile(FALSE,
                                                        (data + "mp3_cbr_stereo_44100.mp3").c_str(),
                                                        0, 0, decodeOnly ? BASS_STREAM_DECODE : 0));
            const long opened = rssKiB();
            // Played channels fill their decode-ahead rings once they play.
            if (!decodeOnly) {
                for (DWORD h : handles)
                    BASS_ChannelPlay(h, FALSE);
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                for (DWORD h : handles)
                    BASS_ChannelPause(h);
            } else {
                int16_t buf[4096];
                for (DWORD h : handles)
                    BASS_ChannelGetData(h, buf, sizeof buf);
            }
            const long used = rssKiB();
            std::printf(
                "%s MP3 channel: %.1f KiB each when opened, %.1f KiB each once %s (%d open)\n",
                decodeOnly ? "decode-only" : "played     ", double(opened - before) / n,
                double(used - before) / n, decodeOnly ? "pulled" : "playing", n);
            for (DWORD h : handles)
                BASS_StreamFree(h);
            handles.clear();
        }
    }
    BASS_Free();

    std::printf("\n== CPU of %d s of real-time MP3 playback with the FFT 30 times a second ==\n",
                playSeconds);
    const std::string playFile = (dir / "play.mp3").string();
    writeFile(playFile, repeat(readFile(data + "mp3_cbr_stereo_44100.mp3"), playSeconds + 1));
    double decodeCost;
    {
        const double c0 = cpuSeconds();
        directMpg123(playFile);
        decodeCost = (cpuSeconds() - c0) * playSeconds / (playSeconds + 1);
    }
    if (!BASS_Init(1, 44100, 0, nullptr, nullptr)) {
        std::printf("cannot open the output (error %d); set SDL_AUDIODRIVER=dummy\n",
                    BASS_ErrorGetCode());
        return 1;
    }
    const HSTREAM h = BASS_StreamCreateFile(FALSE, playFile.c_str(), 0, 0, BASS_STREAM_PRESCAN);
    const double c0 = cpuSeconds();
    const auto start = Clock::now();
    BASS_ChannelPlay(h, FALSE);
    float fft[1024];
    int frames = 0;
    while (Clock::now() - start < std::chrono::seconds(playSeconds)) {
        BASS_ChannelGetData(h, fft, BASS_DATA_FFT2048);
        ++frames;
        std::this_thread::sleep_until(start + std::chrono::microseconds(33333) * frames);
    }
    const double used = cpuSeconds() - c0;
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    BASS_Free();
    std::printf("output: %s; %d FFT reads\n", "SDL2 default device", frames);
    std::printf("process CPU %.3f s over %.1f s = %.2f %% of a core; decoder alone %.3f s; above "
                "the decoder: %.2f %%\n",
                used, wall, 100 * used / wall, decodeCost, 100 * (used - decodeCost) / wall);
    std::filesystem::remove_all(dir);
    return 0;
}
