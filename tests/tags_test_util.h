#pragma once
// Helpers shared by the tag tests: a temporary folder that removes itself, whole-file reads and
// writes, and builders for the byte fields of ID3v2 tags.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include <cstdlib>
#include <unistd.h>

namespace tagtest {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir() {
        std::string templ =
            (std::filesystem::temp_directory_path() / "mirvane-tags-XXXXXX").string();
        if (!::mkdtemp(templ.data())) {
            std::abort();
        }
        path_ = templ;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string file(const std::string &name) const { return (path_ / name).string(); }
    const std::filesystem::path &path() const { return path_; }

  private:
    std::filesystem::path path_;
};

inline Bytes ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string &path, const Bytes &data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data.data()),
              static_cast<std::streamsize>(data.size()));
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

inline Bytes Str(const std::string &s) {
    return Bytes(s.begin(), s.end());
}

inline Bytes SyncSafe(uint32_t n) {
    return {uint8_t((n >> 21) & 0x7F), uint8_t((n >> 14) & 0x7F), uint8_t((n >> 7) & 0x7F),
            uint8_t(n & 0x7F)};
}

inline Bytes BE32(uint32_t n) {
    return {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
}

// Tag header: "ID3", version, revision, flags, sync-safe size of what follows.
inline Bytes Header(uint8_t version, uint8_t flags, uint32_t bodySize, uint8_t revision = 0) {
    return Cat({Str("ID3"), {version, revision, flags}, SyncSafe(bodySize)});
}

// A whole tag: header over body + padding zero bytes.
inline Bytes Tag(uint8_t version, uint8_t flags, const Bytes &body, uint32_t padding = 0) {
    Bytes padded = body;
    padded.resize(body.size() + padding, 0);
    return Cat({Header(version, flags, static_cast<uint32_t>(padded.size())), padded});
}

// Version-3 frame: ID, big-endian size (extra bytes included), status, format, extra, data.
inline Bytes Frame3(const std::string &id, const Bytes &data, uint8_t status = 0,
                    uint8_t format = 0, const Bytes &extra = {}) {
    return Cat({Str(id),
                BE32(static_cast<uint32_t>(data.size() + extra.size())),
                {status, format},
                extra,
                data});
}

// Version-4 frame: ID, sync-safe size (extra bytes included), status, format, extra, data.
inline Bytes Frame4(const std::string &id, const Bytes &data, uint8_t status = 0,
                    uint8_t format = 0, const Bytes &extra = {}) {
    return Cat({Str(id),
                SyncSafe(static_cast<uint32_t>(data.size() + extra.size())),
                {status, format},
                extra,
                data});
}

// Latin-1 text frame data: encoding 0, then the text.
inline Bytes Latin1Text(const std::string &s) {
    return Cat({{0x00}, Str(s)});
}

// Some bytes standing for MPEG audio: a frame sync, then a pattern that holds FF 00 and FF E0
// so that unsynchronisation would show if it touched the audio.
inline Bytes Audio(size_t n, uint8_t seed = 1) {
    Bytes a(n);
    uint32_t x = 0x9E3779B9u * seed;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        a[i] = static_cast<uint8_t>(x >> 24);
    }
    if (n >= 4) {
        a[0] = 0xFF;
        a[1] = 0xFB;
        a[2] = 0x90;
        a[3] = 0x64;
    }
    for (size_t i = 8; i + 4 < n; i += 512) {
        a[i] = 0xFF;
        a[i + 1] = 0x00;
        a[i + 2] = 0xFF;
        a[i + 3] = 0xE0;
    }
    return a;
}

} // namespace tagtest
