#include "decoder.h"

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

bool looksLikeMpeg(Source &src) {
  // Skip an ID3v2 tag: 10-byte header with a syncsafe size, plus a footer when flagged.
  int64_t start = 0;
  uint8_t id3[10];
  if (src.peek(0, id3, 10) == 10 && std::memcmp(id3, "ID3", 3) == 0 && id3[3] != 0xFF &&
      !((id3[6] | id3[7] | id3[8] | id3[9]) & 0x80)) {
    start = 10 + ((int64_t(id3[6]) << 21) | (int64_t(id3[7]) << 14) | (id3[8] << 7) | id3[9]);
    if (id3[5] & 0x10)
      start += 10;
  }
  constexpr size_t kScan = 64 * 1024;
  constexpr size_t kChainRoom = 4 * 2900; // four of the longest frames
  std::vector<uint8_t> buf(kScan + kChainRoom);
  const size_t got = src.peek(start, buf.data(), buf.size());
  const int64_t endOfData = src.size() - start;
  for (size_t off = 0; off + 4 <= got && off < kScan; ++off) {
    MpegHeader first;
    if (!parseHeader(&buf[off], first))
      continue;
    // Four frames in a row with the same version, layer and rate; a shorter chain counts
    // only when it ends exactly at the end of the file (a very short but whole file).
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
    if (ok && chained >= 2)
      return true;
  }
  return false;
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

} // namespace mirvane::audio
