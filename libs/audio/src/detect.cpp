#include "decoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace mirvane::audio {
namespace {

struct MpegHeader {
    int version; // 0 MPEG-2.5, 2 MPEG-2, 3 MPEG-1
    int layer;   // 1..3
    int rate;
    int bytes; // frame length including the header
};

// Decodes a 4-byte MPEG audio frame header; false for anything that is not a valid one
// (free-format bit rate is refused: it cannot be chained without decoding).
bool parseHeader(const uint8_t *p, MpegHeader &h) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return false;
    const int version = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    const int brIndex = p[2] >> 4;
    const int srIndex = (p[2] >> 2) & 3;
    if (version == 1 || layerBits == 0 || brIndex == 0 || brIndex == 15 || srIndex == 3 ||
        (p[3] & 3) == 2)
        return false;
    static const int kBitrates[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static const int kRates[4][3] = {
        {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    h.version = version;
    h.layer = 4 - layerBits;
    h.rate = kRates[version][srIndex];
    const int bitrate = kBitrates[version == 3 ? 0 : 1][h.layer - 1][brIndex] * 1000;
    const int pad = (p[2] >> 1) & 1;
    if (h.layer == 1)
        h.bytes = (12 * bitrate / h.rate + pad) * 4;
    else if (h.layer == 3 && version != 3)
        h.bytes = 72 * bitrate / h.rate + pad;
    else
        h.bytes = 144 * bitrate / h.rate + pad;
    return h.bytes >= 4;
}

int64_t id3v2End(Source &src) {
    // An ID3v2 tag: 10-byte header with a syncsafe size, plus a footer when flagged.
    uint8_t id3[10];
    if (src.peek(0, id3, 10) == 10 && std::memcmp(id3, "ID3", 3) == 0 && id3[3] != 0xFF &&
        !((id3[6] | id3[7] | id3[8] | id3[9]) & 0x80)) {
        int64_t end =
            10 + ((int64_t(id3[6]) << 21) | (int64_t(id3[7]) << 14) | (id3[8] << 7) | id3[9]);
        if (id3[5] & 0x10)
            end += 10;
        return end;
    }
    return 0;
}

// Finds the first frame that starts a chain of four (or a shorter chain ending exactly at the
// end of the file) within the first 64 KB after an ID3v2 tag.
bool findFirstFrame(Source &src, int64_t &frameAt, MpegHeader &first) {
    const int64_t start = id3v2End(src);
    constexpr size_t kScan = 64 * 1024;
    constexpr size_t kChainRoom = 4 * 2900; // four of the longest frames
    std::vector<uint8_t> buf(kScan + kChainRoom);
    const size_t got = src.peek(start, buf.data(), buf.size());
    const int64_t endOfData = src.size() - start;
    for (size_t off = 0; off + 4 <= got && off < kScan; ++off) {
        if (!parseHeader(&buf[off], first))
            continue;
        size_t at = off;
        int chained = 0;
        bool ok = true;
        while (chained < 4) {
            MpegHeader h;
            if (at + 4 > got || !parseHeader(&buf[at], h) || h.version != first.version ||
                h.layer != first.layer || h.rate != first.rate) {
                ok = false;
                break;
            }
            ++chained;
            at += size_t(h.bytes);
            if (int64_t(at) == endOfData || int64_t(at) + 128 == endOfData)
                break;
        }
        if (ok && chained >= 2) {
            frameAt = start + int64_t(off);
            return true;
        }
    }
    return false;
}

bool looksLikeMpeg(Source &src) {
    int64_t at;
    MpegHeader first;
    return findFirstFrame(src, at, first);
}

} // namespace

StreamKind detectStream(Source &src) {
    uint8_t head[12] = {};
    const size_t got = src.peek(0, head, sizeof head);
    if (got >= 12 &&
        (std::memcmp(head, "RIFF", 4) == 0 || std::memcmp(head, "RIFX", 4) == 0 ||
         std::memcmp(head, "RF64", 4) == 0) &&
        std::memcmp(head + 8, "WAVE", 4) == 0)
        return StreamKind::Wav;
    if (got >= 4 && std::memcmp(head, "OggS", 4) == 0)
        return StreamKind::Ogg;
    if (looksLikeMpeg(src))
        return StreamKind::Mpeg;
    return StreamKind::None;
}

bool estimateMpegLength(Source &src, uint64_t &frames) {
    int64_t at;
    MpegHeader first;
    if (!findFirstFrame(src, at, first))
        return false;
    std::vector<uint8_t> frame(size_t(first.bytes));
    if (src.peek(at, frame.data(), frame.size()) != frame.size())
        return false;
    for (const char *tag : {"Xing", "Info", "VBRI"})
        if (std::search(frame.begin(), frame.end(), tag, tag + 4) != frame.end())
            return false; // the decoder takes the length from that header
    // Average frame length over the first frames (up to 512 KB); variable bit rates make the
    // first frame alone a poor guide, as quiet openings are coded in short frames.
    uint64_t bytes = 0, count = 0;
    int64_t pos = at;
    uint8_t head[4];
    while (count < 2000 && pos - at < (512 << 10) && src.peek(pos, head, 4) == 4) {
        MpegHeader h;
        if (!parseHeader(head, h) || h.layer != first.layer || h.rate != first.rate)
            break;
        bytes += uint64_t(h.bytes);
        ++count;
        pos += h.bytes;
    }
    if (count == 0)
        return false;
    int64_t end = src.size();
    uint8_t tag[3];
    if (end >= 128 && src.peek(end - 128, tag, 3) == 3 && std::memcmp(tag, "TAG", 3) == 0)
        end -= 128; // ID3v1
    const int samplesPerFrame = first.layer == 1                           ? 384
                                : (first.layer == 3 && first.version != 3) ? 576
                                                                           : 1152;
    frames = uint64_t(double(end - at) * double(count) / double(bytes)) * uint64_t(samplesPerFrame);
    return frames > 0;
}

} // namespace mirvane::audio
