// audio_start_bench: how soon a one-hour MP3 is heard. Goal: first sound < 50 ms.
// Opens a 60-minute MP3 (made once with sox and lame from a generated WAV, kept in the
// temporary folder for later runs) with BASS_STREAM_PRESCAN as the player does, plays it and
// measures, with the file in the page cache:
//  - create: BASS_StreamCreateFile on the calling thread;
//  - first sound: from the create call until the mixer has taken the first frames;
//  - exact length: until the scan has made the length exact (where the library tells).
// Twice: with LAME's Info header, and with that header made unrecognisable (length estimated).
// Set SDL_AUDIODRIVER=dummy on a machine without sound.
#include "bass.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

std::vector<char> readAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

struct Run {
    double create = 0, firstSound = 0, exact = -1;
};

Run measure(const std::string &path) {
    readAll(path); // warm the page cache
    Run r;
    const auto t0 = Clock::now();
    const HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_PRESCAN);
    r.create = msSince(t0);
    if (!h) {
        std::fprintf(stderr, "cannot open %s (error %d)\n", path.c_str(), BASS_ErrorGetCode());
        std::exit(1);
    }
    BASS_ChannelPlay(h, FALSE);
    while (BASS_ChannelGetPosition(h) == 0 && msSince(t0) < 10000)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    r.firstSound = msSince(t0);
#ifdef BASS_SYNC_LENGTH
    while (!BASS_StreamLengthIsExact(h) && msSince(t0) < 20000)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    r.exact = msSince(t0);
#endif
    BASS_StreamFree(h);
    return r;
}

} // namespace

int main() {
    const auto dir = std::filesystem::temp_directory_path() / "mirvane-audio-start-bench";
    std::filesystem::create_directories(dir);
    const std::string hour = (dir / "hour.mp3").string(), bare = (dir / "hour-bare.mp3").string();
    if (!std::filesystem::exists(hour)) {
        std::printf("making a 60-minute MP3 (once; about two minutes)...\n");
        // The WAV goes through a pipe: an hour of it would take 635 MB of disk.
        const std::string cmd =
            "set -o pipefail; sox -V1 -n -t wav -r 44100 -c 2 -b 16 - synth 3600 "
            "sine 300-3000 | lame --quiet -b 128 - '" +
            hour + ".part' && mv '" + hour + ".part' '" + hour + "'";
        const int rc = std::system(("bash -c \"" + cmd + "\"").c_str());
        if (rc != 0) {
            std::fprintf(stderr, "sox or lame failed (both are needed)\n");
            return 1;
        }
    }
    if (!std::filesystem::exists(bare)) {
        // The same frames with the Info tag renamed: no header gives the length any more.
        auto bytes = readAll(hour);
        const auto at =
            std::search(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), 8192), "Info",
                        "Info" + 4);
        if (at != bytes.begin() + std::min<size_t>(bytes.size(), 8192))
            std::memcpy(&*at, "Nope", 4);
        std::ofstream(bare, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    if (!BASS_Init(1, 44100, 0, nullptr, nullptr)) {
        std::printf("cannot open the output (error %d); set SDL_AUDIODRIVER=dummy\n",
                    BASS_ErrorGetCode());
        return 1;
    }
    std::printf("== First sound of a 60-minute MP3 (BASS_STREAM_PRESCAN, warm cache) ==\n");
    for (const auto &[name, path] :
         {std::pair{"Info header", hour}, std::pair{"no header", bare}}) {
        std::vector<Run> runs;
        for (int i = 0; i < 5; ++i)
            runs.push_back(measure(path));
        std::sort(runs.begin(), runs.end(),
                  [](const Run &a, const Run &b) { return a.firstSound < b.firstSound; });
        const Run &m = runs[runs.size() / 2];
        std::printf("%-12s create %7.1f ms, first sound %7.1f ms (median of 5; best %.1f, worst "
                    "%.1f)",
                    name, m.create, m.firstSound, runs.front().firstSound, runs.back().firstSound);
        if (m.exact >= 0)
            std::printf(", length exact after %.1f ms", m.exact);
        std::printf("\n");
    }
    BASS_Free();
    return 0;
}
