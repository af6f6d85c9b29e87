// Helpers shared by the audio library's tests: fixture paths, temporary files, WAV and
// module images built in memory, and a scoped BASS_Init.
#pragma once

#include "bass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace audiotest {

inline std::string fixture(const std::string &name) {
    return std::string(MIRVANE_TEST_DATA) + "/audio/" + name;
}

// A folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir() {
        std::string templ =
            (std::filesystem::temp_directory_path() / "mirvane-audio-XXXXXX").string();
        path_ = mkdtemp(templ.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string &name) const { return (path_ / name).string(); }
    std::string write(const std::string &name, const std::vector<uint8_t> &bytes) const {
        std::ofstream(file(name), std::ios::binary)
            .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
        return file(name);
    }
    const std::filesystem::path &path() const { return path_; }

  private:
    std::filesystem::path path_;
};

inline std::vector<uint8_t> readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void put16(std::vector<uint8_t> &v, uint32_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
inline void put32(std::vector<uint8_t> &v, uint32_t x) {
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}

// A 16-bit PCM WAV image: samples interleaved.
inline std::vector<uint8_t> makeWav(const std::vector<int16_t> &samples, int rate, int channels) {
    std::vector<uint8_t> v;
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    v.insert(v.end(), {'R', 'I', 'F', 'F'});
    put32(v, 36 + dataBytes);
    v.insert(v.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(v, 16);
    put16(v, 1); // PCM
    put16(v, uint32_t(channels));
    put32(v, uint32_t(rate));
    put32(v, uint32_t(rate * channels * 2)); // bytes per second
    put16(v, uint32_t(channels * 2));        // block align
    put16(v, 16);                            // bits per sample
    v.insert(v.end(), {'d', 'a', 't', 'a'});
    put32(v, dataBytes);
    for (int16_t s : samples)
        put16(v, uint16_t(s));
    return v;
}

// frames of a sine of the given frequency and amplitude (1.0 = full scale), same on every
// channel.
inline std::vector<int16_t> sine(double freq, double amplitude, int rate, int channels,
                                 size_t frames) {
    std::vector<int16_t> s(frames * size_t(channels));
    for (size_t i = 0; i < frames; ++i) {
        const double v = amplitude * std::sin(2 * M_PI * freq * double(i) / rate);
        for (int c = 0; c < channels; ++c)
            s[i * size_t(channels) + size_t(c)] =
                int16_t(std::lround(std::clamp(v * 32767.0, -32768.0, 32767.0)));
    }
    return s;
}

// BASS_Init for the life of a test, BASS_Free after it.
class Library {
  public:
    explicit Library(int device = 1) { ok_ = BASS_Init(device, 44100, 0, nullptr, nullptr) != 0; }
    ~Library() { BASS_Free(); }
    bool ok() const { return ok_; }

  private:
    bool ok_;
};

// Sets an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char *name, const std::string &value) : name_(name) {
        if (const char *old = std::getenv(name)) {
            had_ = true;
            old_ = old;
        }
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (had_)
            setenv(name_.c_str(), old_.c_str(), 1);
        else
            unsetenv(name_.c_str());
    }

  private:
    std::string name_, old_;
    bool had_ = false;
};

// Pulls a decode-only channel to its end.
inline std::vector<int16_t> decodeAll(DWORD h) {
    std::vector<int16_t> all;
    std::vector<int16_t> buf(8192);
    for (;;) {
        const DWORD got = BASS_ChannelGetData(h, buf.data(), DWORD(buf.size() * 2));
        if (got == DWORD(-1) || got == 0)
            break;
        all.insert(all.end(), buf.begin(), buf.begin() + got / 2);
    }
    return all;
}

inline double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

} // namespace audiotest
