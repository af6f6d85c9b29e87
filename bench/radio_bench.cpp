// radio_bench [seconds]: prints
// - first sound: from BASS_StreamCreateURL to the first frames mixed, on a localhost station
//   that sends a 16 KB burst and then 128 kbit/s in real time (10 runs: median and worst);
// - CPU: share of one core while playing that station, and while playing the same MP3 file
//   from disk, each for `seconds` (default 8);
// - memory: resident size after 2 s and at the end of a stream whose title changes with every
//   metadata block, played for 2 * `seconds`.
// Needs sox and lame to make the 128 kbit/s MP3 (a 30 s tone).
#include "radio_server.h"

#include "bass.h"

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

using namespace radiotest;
using Clock = std::chrono::steady_clock;

namespace {

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

long rssKb() {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

// A station in a child process; the parent ends it.
struct StationProcess {
    pid_t pid = -1;
    int port = 0;
    explicit StationProcess(std::vector<Reply> script) {
        int fds[2];
        if (pipe(fds) != 0)
            std::exit(1);
        pid = fork();
        if (pid == 0) {
            close(fds[0]);
            IcyServer server(std::move(script));
            const int p = server.port();
            if (::write(fds[1], &p, sizeof p) != sizeof p)
                _exit(1);
            for (;;)
                pause();
        }
        close(fds[1]);
        if (::read(fds[0], &port, sizeof port) != sizeof port)
            std::exit(1);
        close(fds[0]);
    }
    ~StationProcess() {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port) + "/s"; }
};

void playFor(DWORD h, double seconds) {
    BASS_ChannelPlay(h, FALSE);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

} // namespace

int main(int argc, char **argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 8.0;
    const std::string dir = "/tmp/radio_bench_" + std::to_string(getpid());
    const std::string mp3 = dir + "/tone.mp3";
    const std::string make = "mkdir -p " + dir + " && sox -q -n -r 44100 -c 2 " + dir +
                             "/tone.wav synth 30 sine 440 sine 660 && lame --quiet -b 128 " + dir +
                             "/tone.wav " + mp3;
    if (std::system(make.c_str()) != 0) {
        std::fprintf(stderr, "cannot make the MP3 (sox, lame)\n");
        return 1;
    }
    Reply live;
    live.headers = {"icy-name:Bench", "icy-br:128"};
    live.metaInt = 16000;
    live.audio = readFile(mp3);
    live.bytesPerSecond = 16000;
    for (int i = 0; i < 4000; ++i)
        live.titles.push_back("StreamTitle='Title number " + std::to_string(i) + "';");
    StationProcess station({live}); // before any thread of this process starts

    if (!BASS_Init(0, 44100, 0, nullptr, nullptr)) {
        std::fprintf(stderr, "BASS_Init failed: %d\n", BASS_ErrorGetCode());
        return 1;
    }

    std::vector<double> firstSound;
    for (int i = 0; i < 10; ++i) {
        const auto t0 = Clock::now();
        const DWORD h =
            BASS_StreamCreateURL(station.url().c_str(), 0, BASS_STREAM_META, nullptr, nullptr);
        if (!h) {
            std::fprintf(stderr, "connect failed: %d\n", BASS_ErrorGetCode());
            return 1;
        }
        BASS_ChannelPlay(h, FALSE);
        while (BASS_ChannelGetPosition(h) == 0 && Clock::now() - t0 < std::chrono::seconds(5))
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        firstSound.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        BASS_StreamFree(h);
    }
    std::sort(firstSound.begin(), firstSound.end());
    std::printf("first sound after connect: median %.1f ms, worst %.1f ms (10 runs)\n",
                firstSound[5], firstSound.back());

    // CPU: the stream, then the same file from disk.
    DWORD h = BASS_StreamCreateURL(station.url().c_str(), 0, BASS_STREAM_META, nullptr, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    double c0 = cpuSeconds();
    auto t0 = Clock::now();
    playFor(h, seconds);
    const double streamCpu =
        (cpuSeconds() - c0) / std::chrono::duration<double>(Clock::now() - t0).count();
    BASS_StreamFree(h);
    h = BASS_StreamCreateFile(FALSE, mp3.c_str(), 0, 0, 0);
    c0 = cpuSeconds();
    t0 = Clock::now();
    playFor(h, seconds);
    const double fileCpu =
        (cpuSeconds() - c0) / std::chrono::duration<double>(Clock::now() - t0).count();
    BASS_StreamFree(h);
    std::printf("CPU, 128 kbit/s MP3: stream %.3f%% of a core, file %.3f%%, difference %.3f%%\n",
                streamCpu * 100, fileCpu * 100, (streamCpu - fileCpu) * 100);

    // Memory over a longer stream with a new title in every block.
    h = BASS_StreamCreateURL(station.url().c_str(), 0, BASS_STREAM_META, nullptr, nullptr);
    BASS_ChannelPlay(h, FALSE);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const long early = rssKb();
    std::this_thread::sleep_for(std::chrono::duration<double>(2 * seconds));
    const long late = rssKb();
    const char *meta = BASS_StreamGetTags(h, BASS_TAG_META);
    std::printf("memory: %ld KB after 2 s, %ld KB after %.0f s (growth %ld KB); last title %s\n",
                early, late, 2 + 2 * seconds, late - early, meta ? meta : "(none)");
    BASS_StreamFree(h);
    BASS_Free();
    std::system(("rm -rf " + dir).c_str());
    return 0;
}
