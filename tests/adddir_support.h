#pragma once
// Small MP3 files made on the spot for the add-directory tests and benchmark: an optional
// ID3v2.3 tag with artist and title, then a few silent MPEG-1 layer III frames.

#include <cstdint>
#include <fstream>
#include <string>

namespace adddir_test {

// One ID3v2.3 text frame: ID, size of the data (32-bit big-endian, not sync-safe in 2.3),
// two flag bytes, then the data: encoding 0 (Latin-1) and the text.
inline std::string Id3TextFrame(const char *id, const std::string &text) {
    const uint32_t size = static_cast<uint32_t>(text.size() + 1);
    std::string f(id, 4);
    for (int shift = 24; shift >= 0; shift -= 8) {
        f.push_back(static_cast<char>((size >> shift) & 0xFF));
    }
    f.append(2, '\0'); // flags
    f.push_back('\0'); // Latin-1
    f += text;
    return f;
}

// The bytes of a file: with a tag unless artist and title are both empty.
inline std::string TaggedMp3Bytes(const std::string &artist, const std::string &title,
                                  int mpegFrames = 3) {
    std::string bytes;
    if (!artist.empty() || !title.empty()) {
        const std::string frames = Id3TextFrame("TPE1", artist) + Id3TextFrame("TIT2", title);
        const uint32_t size = static_cast<uint32_t>(frames.size()) + 16; // 16 bytes padding
        bytes = "ID3";
        bytes.push_back('\3'); // version 2.3
        bytes.push_back('\0'); // revision
        bytes.push_back('\0'); // flags
        for (int shift = 21; shift >= 0; shift -= 7) {
            bytes.push_back(static_cast<char>((size >> shift) & 0x7F)); // sync-safe size
        }
        bytes += frames;
        bytes.append(16, '\0');
    }
    // MPEG-1 layer III, 128 kbit/s, 44100 Hz, no CRC, no padding: 417 bytes a frame.
    for (int i = 0; i < mpegFrames; ++i) {
        bytes += std::string("\xFF\xFB\x90\x00", 4);
        bytes.append(413, '\0');
    }
    return bytes;
}

inline bool WriteTaggedMp3(const std::string &path, const std::string &artist,
                           const std::string &title, int mpegFrames = 3) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << TaggedMp3Bytes(artist, title, mpegFrames);
    return static_cast<bool>(out);
}

} // namespace adddir_test
