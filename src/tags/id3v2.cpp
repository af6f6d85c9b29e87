#include "tags/id3v2.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <zlib.h>

using namespace id3v2;

// ---------------------------------------------------------------------------------------------
// Small pure helpers
// ---------------------------------------------------------------------------------------------
namespace id3v2 {

uint32_t ReadSyncSafe32(const uint8_t *p) {
    // No masking of the top bits: a byte of 0x80 or more (as some writers produce) simply adds
    // its weight, which is how such sizes are read everywhere in this library.
    return uint32_t{p[0]} * 0x200000u + uint32_t{p[1]} * 0x4000u + uint32_t{p[2]} * 0x80u +
           uint32_t{p[3]};
}

void WriteSyncSafe32(uint8_t *p, uint32_t value) {
    p[0] = static_cast<uint8_t>((value >> 21) & 0x7F);
    p[1] = static_cast<uint8_t>((value >> 14) & 0x7F);
    p[2] = static_cast<uint8_t>((value >> 7) & 0x7F);
    p[3] = static_cast<uint8_t>(value & 0x7F);
}

std::vector<uint8_t> UnsyncBytes(const uint8_t *p, size_t n, int lookAhead) {
    std::vector<uint8_t> out;
    out.reserve(n + n / 64 + 1);
    for (size_t i = 0; i < n; ++i) {
        out.push_back(p[i]);
        if (p[i] == 0xFF) {
            const int next = i + 1 < n ? p[i + 1] : lookAhead;
            if (next == 0x00 || next >= 0xE0) {
                out.push_back(0x00);
            }
        }
    }
    return out;
}

std::vector<uint8_t> ResyncBytes(const uint8_t *p, size_t n) {
    std::vector<uint8_t> out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        // The byte before is the stored one, so FF 00 00 keeps its second 00.
        if (p[i] == 0x00 && i > 0 && p[i - 1] == 0xFF && i + 1 < n &&
            (p[i + 1] == 0x00 || p[i + 1] >= 0xE0)) {
            continue;
        }
        out.push_back(p[i]);
    }
    return out;
}

namespace {
std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        t[i] = c;
    }
    return t;
}
const std::array<uint32_t, 256> kCrcTable = MakeCrcTable();
} // namespace

uint32_t Crc32Update(uint32_t crc, const uint8_t *p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        crc = kCrcTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    }
    return crc;
}

uint8_t DecodeText(const std::vector<uint8_t> &data, size_t start, uint8_t encoding, size_t limit,
                   bool multiLine, std::string &text, size_t *consumed) {
    text.clear();
    if (consumed) {
        *consumed = 0;
    }
    if (start >= data.size()) {
        return kNoData;
    }
    size_t end = data.size();
    if (limit != 0 && limit < end - start) {
        end = start + limit;
    }
    size_t i = start;
    uint8_t result = kOk;
    switch (encoding) {
    case kLatin1:
        while (i < end) {
            const uint8_t c = data[i++];
            text.push_back(static_cast<char>(c));
            if (c >= 0x20) {
                continue;
            }
            if (multiLine) {
                if (c == 0x0D || c == 0x0A) {
                    continue;
                }
                break; // any other control byte ends the text without error
            }
            if (c != 0x00 && c != 0x0D && c != 0x0A) {
                text.clear();
                result = kInvalidText;
            }
            break;
        }
        break;
    case kUtf16:
    case kUtf16BE:
    case kUtf16LENoBom: {
        bool bigEndian = encoding == kUtf16BE;
        if (encoding == kUtf16) {
            if (end - i < 2) {
                return kInvalidText;
            }
            if (data[i] == 0xFF && data[i + 1] == 0xFE) {
                bigEndian = false;
            } else if (data[i] == 0xFE && data[i + 1] == 0xFF) {
                bigEndian = true;
            } else {
                return kInvalidText;
            }
            i += 2;
        }
        while (end - i >= 2) {
            const uint8_t hi = bigEndian ? data[i] : data[i + 1];
            const uint8_t lo = bigEndian ? data[i + 1] : data[i];
            i += 2;
            if (hi != 0) {
                result = kCharAbove255; // the text so far stays
                break;
            }
            if (lo == 0) {
                break; // the terminator is not kept
            }
            if (lo < 0x20) {
                text.clear();
                result = kInvalidText;
                break;
            }
            text.push_back(static_cast<char>(lo));
        }
        break;
    }
    case kUtf8:
        while (i < end) {
            const uint8_t b = data[i++];
            unsigned ch = b;
            if (b >= 0xC4) {
                result = kCharAbove255;
                break;
            }
            if (b >= 0xC0) {
                if (i >= end) {
                    result = kInvalidText; // cut off: the text so far stays
                    break;
                }
                ch = ((b & 0x03u) << 6) | (data[i++] & 0x3Fu);
            } else if (b >= 0x80) {
                ch = b & 0x3Fu; // a stray continuation byte gives its low six bits
            }
            text.push_back(static_cast<char>(ch));
            if (ch < 0x20) {
                if (ch != 0) {
                    text.clear();
                    result = kInvalidText;
                }
                break;
            }
        }
        break;
    default:
        return kUnknownEncoding;
    }
    if (consumed) {
        *consumed = i - start;
    }
    return result;
}

size_t DecodeBudget(uint32_t tagSize) {
    const size_t budget = kDecodeFactor * (size_t{tagSize} + 10);
    return std::clamp(budget, kDecodeFloor, kInflateCapAbsolute);
}

namespace {

void AppendUtf8(std::string &out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

constexpr char32_t kReplacement = 0xFFFD;

// The code point at p[i] of a UTF-8 string of n bytes; i moves past it. Malformed or
// overlong sequences and surrogates give U+FFFD and move one byte.
char32_t NextUtf8(const uint8_t *p, size_t n, size_t &i) {
    const uint8_t b = p[i];
    if (b < 0x80) {
        ++i;
        return b;
    }
    int len = 0;
    char32_t c = 0;
    char32_t min = 0;
    if ((b & 0xE0) == 0xC0) {
        len = 2, c = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3, c = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        len = 4, c = b & 0x07, min = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (n - i < static_cast<size_t>(len)) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k < len; ++k) {
        if ((p[i + k] & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        c = (c << 6) | (p[i + k] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += static_cast<size_t>(len);
    return c;
}

} // namespace

uint8_t DecodeTextUtf8(const std::vector<uint8_t> &data, size_t start, uint8_t encoding,
                       std::string &utf8, size_t *consumed) {
    utf8.clear();
    if (consumed) {
        *consumed = 0;
    }
    if (start >= data.size()) {
        return kNoData;
    }
    const uint8_t *p = data.data();
    const size_t end = data.size();
    size_t i = start;
    switch (encoding) {
    case kLatin1:
        while (i < end) {
            const uint8_t c = p[i++];
            if (c == 0) {
                break;
            }
            AppendUtf8(utf8, c);
        }
        break;
    case kUtf8:
        while (i < end) {
            if (p[i] == 0) {
                ++i;
                break;
            }
            AppendUtf8(utf8, NextUtf8(p, end, i));
        }
        break;
    case kUtf16:
    case kUtf16BE: {
        bool bigEndian = encoding == kUtf16BE;
        if (encoding == kUtf16) {
            if (end - i >= 2 && p[i] == 0xFF && p[i + 1] == 0xFE) {
                bigEndian = false;
            } else if (end - i >= 2 && p[i] == 0xFE && p[i + 1] == 0xFF) {
                bigEndian = true;
            } else {
                return kInvalidText;
            }
            i += 2;
        }
        auto unit = [&](size_t at) -> char32_t {
            return bigEndian ? char32_t{p[at]} << 8 | p[at + 1] : char32_t{p[at + 1]} << 8 | p[at];
        };
        while (end - i >= 2) {
            char32_t c = unit(i);
            i += 2;
            if (c == 0) {
                break;
            }
            if (c >= 0xD800 && c <= 0xDBFF && end - i >= 2 && unit(i) >= 0xDC00 &&
                unit(i) <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (unit(i) - 0xDC00);
                i += 2;
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                c = kReplacement;
            }
            AppendUtf8(utf8, c);
        }
        break;
    }
    default:
        return kUnknownEncoding;
    }
    if (consumed) {
        *consumed = i - start;
    }
    return kOk;
}

uint8_t EncodingFor(const std::string &utf8, uint8_t version) {
    const auto *p = reinterpret_cast<const uint8_t *>(utf8.data());
    for (size_t i = 0; i < utf8.size();) {
        if (NextUtf8(p, utf8.size(), i) > 0xFF) {
            return version == 4 ? kUtf8 : kUtf16;
        }
    }
    return kLatin1;
}

std::vector<uint8_t> EncodeText(const std::string &utf8, uint8_t encoding) {
    const auto *p = reinterpret_cast<const uint8_t *>(utf8.data());
    std::vector<uint8_t> out;
    if (encoding == kUtf16) {
        out = {0xFF, 0xFE};
    }
    for (size_t i = 0; i < utf8.size();) {
        const char32_t c = NextUtf8(p, utf8.size(), i);
        switch (encoding) {
        case kLatin1:
            out.push_back(c > 0xFF ? '?' : static_cast<uint8_t>(c));
            break;
        case kUtf8: {
            std::string s;
            AppendUtf8(s, c);
            out.insert(out.end(), s.begin(), s.end());
            break;
        }
        default: { // UTF-16, little-endian after the mark, big-endian without
            const bool be = encoding == kUtf16BE;
            auto put = [&](char32_t u) {
                const uint8_t hi = static_cast<uint8_t>(u >> 8), lo = static_cast<uint8_t>(u);
                out.push_back(be ? hi : lo);
                out.push_back(be ? lo : hi);
            };
            if (c >= 0x10000) {
                put(0xD800 + ((c - 0x10000) >> 10));
                put(0xDC00 + ((c - 0x10000) & 0x3FF));
            } else {
                put(c);
            }
        }
        }
    }
    return out;
}

} // namespace id3v2

// ---------------------------------------------------------------------------------------------
// FrameIndex
// ---------------------------------------------------------------------------------------------
int FrameIndex::AddFrame(const std::string &frameID) {
    if (frameID.size() != 4) {
        return 0;
    }
    std::string id = frameID;
    for (char &c : id) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            return 0;
        }
    }
    FrameRecord record;
    record.FrameID = std::move(id);
    record.Changed = true;
    frames_.push_back(std::move(record));
    return Count();
}

FrameRecord &FrameIndex::Frame(int n) {
    if (n < 1 || n > Count()) {
        throw std::out_of_range("Array range out of bounds.");
    }
    return frames_[static_cast<size_t>(n - 1)];
}

const FrameRecord &FrameIndex::Frame(int n) const {
    if (n < 1 || n > Count()) {
        throw std::out_of_range("Array range out of bounds.");
    }
    return frames_[static_cast<size_t>(n - 1)];
}

void FrameIndex::DeleteFrame(int n) {
    Frame(n); // range check
    frames_.erase(frames_.begin() + (n - 1));
}

void FrameIndex::ClearFrames() {
    frames_.clear();
}

void FrameIndex::SetWantedFlags(int n, FrameFlags flags) {
    FrameRecord &f = Frame(n);
    f.WantedFlags = flags;
    f.Changed = true;
}

void FrameIndex::SetGroupID(int n, uint8_t id) {
    Frame(n).GroupID = id;
}

void FrameIndex::SetPlainData(int n, std::vector<uint8_t> data) {
    FrameRecord &f = Frame(n);
    f.StoredFlags.Format = 0;
    // The old length (of a compressed or unsynchronised form) no longer describes the data; a
    // save computes it again where the layout needs it.
    f.DataLength = 0;
    f.PlainSize = static_cast<uint32_t>(data.size());
    f.Data = std::move(data);
    f.Changed = true;
}

// ---------------------------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------------------------
namespace {

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

// "Read-only, hidden or system attribute" on Linux: the file is not writable by this user.
// root passes every permission check, so for root a file without any write bit counts as
// read-only too, which is what a user who made it read-only with chmod a-w means.
bool NotWritableByUs(const std::string &path, const struct stat &st) {
    if (::geteuid() == 0 && (st.st_mode & 0222) == 0) {
        return true;
    }
    return ::access(path.c_str(), W_OK) != 0;
}

// Reads exactly n bytes at off; returns false on an error or a short file.
bool PreadAll(int fd, uint8_t *p, size_t n, uint64_t off) {
    while (n > 0) {
        const ssize_t r = ::pread(fd, p, n, static_cast<off_t>(off));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            return false;
        }
        p += r;
        n -= static_cast<size_t>(r);
        off += static_cast<uint64_t>(r);
    }
    return true;
}

uint16_t WriteErrorStatus(int err) {
    switch (err) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
    case EIO:
    case EROFS:
    case EPERM:
    case EACCES:
        return kWriteError;
    default:
        return kIOError;
    }
}

// Writes exactly n bytes at off; 0 or a status word.
uint16_t PwriteAll(int fd, const uint8_t *p, size_t n, uint64_t off) {
    while (n > 0) {
        const ssize_t r = ::pwrite(fd, p, n, static_cast<off_t>(off));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            return r == 0 ? kWriteError : WriteErrorStatus(errno);
        }
        p += r;
        n -= static_cast<size_t>(r);
        off += static_cast<uint64_t>(r);
    }
    return 0;
}

constexpr size_t kBlock = 16384; // block size for moving audio and for writing the tag

// Copies len bytes of in (from inOff) to out (at outOff): in the kernel where it can, else
// through one 16384-byte block. 0 or a status word.
uint16_t CopyRange(int in, uint64_t inOff, int out, uint64_t outOff, uint64_t len) {
    bool kernelCopy = true;
    std::vector<uint8_t> block;
    while (len > 0) {
        if (kernelCopy) {
            loff_t a = static_cast<loff_t>(inOff);
            loff_t b = static_cast<loff_t>(outOff);
            const size_t chunk = static_cast<size_t>(std::min<uint64_t>(len, uint64_t{1} << 30));
            const ssize_t r = ::copy_file_range(in, &a, out, &b, chunk, 0);
            if (r > 0) {
                inOff += static_cast<uint64_t>(r);
                outOff += static_cast<uint64_t>(r);
                len -= static_cast<uint64_t>(r);
                continue;
            }
            if (r == 0) {
                return kReadError; // the file is shorter than it was a moment ago
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                errno == ENOTSUP) {
                kernelCopy = false;
                continue;
            }
            return WriteErrorStatus(errno);
        }
        if (block.empty()) {
            block.resize(kBlock);
        }
        const size_t chunk = static_cast<size_t>(std::min<uint64_t>(len, kBlock));
        if (!PreadAll(in, block.data(), chunk, inOff)) {
            return kReadError;
        }
        if (const uint16_t s = PwriteAll(out, block.data(), chunk, outOff)) {
            return s;
        }
        inOff += chunk;
        outOff += chunk;
        len -= chunk;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// The ring reader: the tag body is read through a ring of at most 65536 bytes
// (four 16384-byte blocks; smaller for a smaller body), topped up from the file as reads need
// it and never past the end of the tag. For a version-3 tag with the unsynchronisation flag
// each stretch is de-unsynchronised as it enters the ring. A 0x00 after 0xFF at the end of a
// stretch is held back until the next stretch shows the byte after it (the two-byte
// look-ahead), so the result is the same as de-unsynchronising the whole body at once.
// ---------------------------------------------------------------------------------------------
class BodyReader {
  public:
    static constexpr size_t kRingSize = 65536;

    // pre: preLen bytes of the file from start, already read (with the header), taken before
    // anything is read from the file.
    BodyReader(int fd, uint64_t start, uint32_t size, bool deunsync, const uint8_t *pre = nullptr,
               size_t preLen = 0)
        : fd_(fd), filePos_(start), rawLeft_(size), deunsync_(deunsync), pre_(pre),
          preLen_(preLen) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(size, kRingSize));
        cap_ = 16;
        while (cap_ < want) {
            cap_ <<= 1;
        }
        ring_.resize(cap_);
    }

    // Tag bytes not yet handed out. For a de-unsynchronised body the bytes still in the file
    // count one each, so this is an upper bound there.
    uint64_t Remaining() const { return count_ + rawLeft_ + (pendingZero_ ? 1 : 0); }
    // Bytes handed out so far (after de-unsynchronisation).
    uint64_t Consumed() const { return handedOut_; }
    // Raw bytes taken from the file, less those still waiting in the ring.
    uint64_t RawConsumed() const { return rawRead_ >= count_ ? rawRead_ - count_ : 0; }
    bool Failed() const { return failed_; }

    // Copies up to n bytes to dst (dst may be null to skip); returns the count delivered,
    // less than n only at the end of the tag or after a read error (Failed()).
    size_t Read(uint8_t *dst, size_t n) {
        size_t done = 0;
        while (done < n) {
            if (count_ == 0 && !TopUp()) {
                break;
            }
            const size_t take = std::min(n - done, count_);
            const size_t first = std::min(take, cap_ - head_);
            if (dst) {
                std::memcpy(dst + done, ring_.data() + head_, first);
                std::memcpy(dst + done + first, ring_.data(), take - first);
            }
            head_ = (head_ + take) & (cap_ - 1);
            count_ -= take;
            done += take;
            handedOut_ += take;
        }
        return done;
    }

  private:
    void Put(uint8_t b) {
        ring_[(head_ + count_) & (cap_ - 1)] = b;
        ++count_;
    }

    // Fills the free part of the ring; false when nothing could be added.
    bool TopUp() {
        const size_t before = count_;
        while (count_ < cap_ && (rawLeft_ > 0 || pendingZero_) && !failed_) {
            if (rawLeft_ == 0) {
                // End of the tag: a held-back 0x00 after 0xFF has no byte after it and stays.
                pendingZero_ = false;
                Put(0x00);
                continue;
            }
            const size_t free = cap_ - count_;
            if (!deunsync_) {
                const size_t tail = (head_ + count_) & (cap_ - 1);
                const size_t seg =
                    static_cast<size_t>(std::min<uint64_t>(std::min(free, cap_ - tail), rawLeft_));
                if (!Fetch(ring_.data() + tail, seg)) {
                    failed_ = true;
                    break;
                }
                Advance(seg);
                count_ += seg;
                continue;
            }
            // Each raw byte gives at most one byte, and a held-back 0x00 one more.
            const size_t room = free - (pendingZero_ ? 1 : 0);
            if (room == 0) {
                break;
            }
            if (staging_.empty()) {
                staging_.resize(std::min<size_t>(16384, cap_));
            }
            const size_t seg =
                static_cast<size_t>(std::min<uint64_t>(std::min(room, staging_.size()), rawLeft_));
            if (!Fetch(staging_.data(), seg)) {
                failed_ = true;
                break;
            }
            Advance(seg);
            for (size_t i = 0; i < seg; ++i) {
                const uint8_t b = staging_[i];
                if (pendingZero_) {
                    pendingZero_ = false;
                    if (!(b == 0x00 || b >= 0xE0)) {
                        Put(0x00);
                    }
                }
                if (b == 0x00 && prevRaw_ == 0xFF) {
                    pendingZero_ = true;
                    prevRaw_ = 0x00;
                    continue;
                }
                Put(b);
                prevRaw_ = b;
            }
        }
        return count_ > before;
    }

    // The n raw bytes at filePos_: first from the bytes read already, then from the file.
    bool Fetch(uint8_t *dst, size_t n) {
        const size_t k = std::min(n, preLen_);
        if (k > 0) {
            std::memcpy(dst, pre_, k);
            pre_ += k;
            preLen_ -= k;
        }
        return k == n || PreadAll(fd_, dst + k, n - k, filePos_ + k);
    }

    void Advance(size_t seg) {
        filePos_ += seg;
        rawLeft_ -= seg;
        rawRead_ += seg;
    }

    int fd_;
    uint64_t filePos_;
    uint64_t rawLeft_;
    bool deunsync_;
    const uint8_t *pre_;
    size_t preLen_;
    std::vector<uint8_t> ring_;
    std::vector<uint8_t> staging_;
    size_t cap_ = 0;
    size_t head_ = 0;
    size_t count_ = 0;
    uint64_t handedOut_ = 0;
    uint64_t rawRead_ = 0;
    uint8_t prevRaw_ = 0;
    bool pendingZero_ = false;
    bool failed_ = false;
};

bool HeaderLooksValid(const uint8_t h[10]) {
    return h[0] == 'I' && h[1] == 'D' && h[2] == '3' && h[3] < 0xFF && h[4] < 0xFF && h[6] < 0x80 &&
           h[7] < 0x80 && h[8] < 0x80 && h[9] < 0x80;
}

uint32_t ReadBE32(const uint8_t *p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void PutBE32(std::vector<uint8_t> &v, uint32_t x) {
    v.push_back(static_cast<uint8_t>(x >> 24));
    v.push_back(static_cast<uint8_t>(x >> 16));
    v.push_back(static_cast<uint8_t>(x >> 8));
    v.push_back(static_cast<uint8_t>(x));
}

void PutSyncSafe32(std::vector<uint8_t> &v, uint32_t x) {
    uint8_t b[4];
    WriteSyncSafe32(b, x);
    v.insert(v.end(), b, b + 4);
}

// Number of 0x00 bytes Resync would drop: the plain size of unsynchronised data.
uint32_t PlainSizeOfUnsynced(const std::vector<uint8_t> &d) {
    size_t dropped = 0;
    for (size_t i = 1; i + 1 < d.size(); ++i) {
        if (d[i] == 0x00 && d[i - 1] == 0xFF && (d[i + 1] == 0x00 || d[i + 1] >= 0xE0)) {
            ++dropped;
        }
    }
    return static_cast<uint32_t>(d.size() - dropped);
}

// Inflates a zlib stream, producing at most limit bytes. False when the stream is bad,
// truncated, or would produce more than limit bytes.
bool InflateBounded(const std::vector<uint8_t> &in, size_t limit, std::vector<uint8_t> &out) {
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) {
        return false;
    }
    out.clear();
    // Deflate cannot expand more than about 1032:1, so a claimed length larger than that
    // is not believed when reserving.
    out.reserve(std::min<size_t>(limit, in.size() * 1032 + 1024));
    zs.next_in = const_cast<Bytef *>(in.data());
    zs.avail_in = static_cast<uInt>(std::min<size_t>(in.size(), UINT_MAX));
    uint8_t chunk[16384];
    int rc = Z_OK;
    bool ok = true;
    while (true) {
        zs.next_out = chunk;
        zs.avail_out = sizeof chunk;
        rc = inflate(&zs, Z_NO_FLUSH);
        const size_t produced = sizeof chunk - zs.avail_out;
        if (out.size() + produced > limit) {
            ok = false;
            break;
        }
        out.insert(out.end(), chunk, chunk + produced);
        if (rc == Z_STREAM_END) {
            break;
        }
        if (rc != Z_OK || (produced == 0 && zs.avail_in == 0)) {
            ok = false; // corrupt or truncated stream
            break;
        }
    }
    inflateEnd(&zs);
    return ok;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Id3v2Tag: flags
// ---------------------------------------------------------------------------------------------
void Id3v2Tag::SetHeaderFlag(uint8_t bit, bool on) {
    HeaderFlags = on ? (HeaderFlags | bit) : (HeaderFlags & ~bit);
    Modified = true;
}

void Id3v2Tag::SetExtFlag(uint8_t bit, bool on) {
    ExtFlags = on ? (ExtFlags | bit) : (ExtFlags & ~bit);
    Modified = true;
}

// ---------------------------------------------------------------------------------------------
// Id3v2Tag: LoadTag
// ---------------------------------------------------------------------------------------------
namespace {

struct LoadContext {
    Id3v2Tag &tag;
    BodyReader &reader;
    uint32_t total; // TagSize + 10, for Progress
    uint16_t warnings = 0;
    size_t budget = 0;     // decode budget of the tag
    uint64_t declared = 0; // inflated lengths declared by the compressed frames so far

    void UpdateProgress() {
        const uint64_t done = 10 + reader.RawConsumed();
        tag.Progress = static_cast<uint8_t>(std::min<uint64_t>(100, 100 * done / total));
    }
    // Reads exactly n bytes; false on short data (corrupt tag) or a read error.
    bool Read(uint8_t *p, size_t n) {
        const size_t got = reader.Read(p, n);
        UpdateProgress();
        return got == n;
    }
    uint16_t Fail(uint16_t outcome) const {
        return static_cast<uint16_t>((reader.Failed() ? kReadError : outcome) | warnings);
    }
};

uint16_t ParseExtendedHeaderV3(LoadContext &c, bool &paddingKnown) {
    Id3v2Tag &t = c.tag;
    if (!(t.HeaderFlags & kHdrExtended) || c.reader.Remaining() <= 10) {
        return 0;
    }
    uint8_t b[10];
    if (!c.Read(b, 10)) {
        return c.Fail(kCorrupt);
    }
    t.ExtHeaderSize = ReadBE32(b);
    if (b[4] & 0x80) {
        t.ExtFlags |= kExtCRC;
    }
    if ((b[4] & 0x7F) || b[5]) {
        c.warnings |= kWarnExtFlags;
    }
    t.PaddingSize = ReadBE32(b + 6);
    paddingKnown = true;
    if ((t.ExtFlags & kExtCRC) && t.ExtHeaderSize == 10) {
        uint8_t crc[4];
        if (!c.Read(crc, 4)) {
            return c.Fail(kCorrupt);
        }
        t.CRC = ReadBE32(crc);
    }
    return 0;
}

uint16_t ParseExtendedHeaderV4(LoadContext &c) {
    Id3v2Tag &t = c.tag;
    if (!(t.HeaderFlags & kHdrExtended) || c.reader.Remaining() <= 6) {
        return 0;
    }
    uint8_t sizeBytes[4];
    if (!c.Read(sizeBytes, 4)) {
        return c.Fail(kCorrupt);
    }
    t.ExtHeaderSize = ReadSyncSafe32(sizeBytes);
    if (t.ExtHeaderSize < 6 || t.ExtHeaderSize - 4 > c.reader.Remaining()) {
        return c.Fail(kCorrupt);
    }
    std::vector<uint8_t> e(t.ExtHeaderSize - 4); // e[0] is byte 4 of the extended header
    if (!c.Read(e.data(), e.size())) {
        return c.Fail(kCorrupt);
    }
    const uint8_t flagBytes = e[0];
    if (flagBytes < 1) {
        return c.Fail(kCorrupt);
    }
    const uint8_t f = e[1];
    t.ExtFlags = f & (kExtUpdate | kExtCRC | kExtRestrictions);
    if ((f & 0x8F) || flagBytes > 1) {
        c.warnings |= kWarnExtFlags;
    }
    size_t pos = 1 + size_t{flagBytes};
    // Each flag's data is a length byte and that many bytes, in bit order.
    auto item = [&](size_t &len) -> bool {
        if (pos >= e.size()) {
            return false;
        }
        len = e[pos];
        if (pos + 1 + len > e.size()) {
            return false;
        }
        return true;
    };
    size_t len = 0;
    if (f & 0x80) {
        if (!item(len)) {
            return c.Fail(kCorrupt);
        }
        pos += 1 + len;
    }
    if (f & kExtUpdate) {
        if (!item(len)) {
            return c.Fail(kCorrupt);
        }
        pos += 1 + len;
    }
    if (f & kExtCRC) {
        if (!item(len) || len < 5) {
            return c.Fail(kCorrupt);
        }
        const uint8_t *b = e.data() + pos + 1;
        const uint64_t crc = uint64_t{b[0]} * 0x10000000u + uint64_t{b[1]} * 0x200000u +
                             uint64_t{b[2]} * 0x4000u + uint64_t{b[3]} * 0x80u + b[4];
        t.CRC = static_cast<uint32_t>(crc);
        pos += 1 + len;
    }
    if (f & kExtRestrictions) {
        if (!item(len) || len < 1) {
            return c.Fail(kCorrupt);
        }
        t.Restrictions = e[pos + 1];
        pos += 1 + len;
    }
    return 0;
}

// Reads the frames; returns the status outcome (0 when the frames ended normally).
uint16_t ParseFrames(LoadContext &c, bool paddingKnown) {
    Id3v2Tag &t = c.tag;
    const bool v3 = t.Version == 3;
    const uint32_t extPadding = t.PaddingSize;
    auto paddingFound = [&](uint64_t found) {
        if (v3 && paddingKnown) {
            if (found != extPadding) {
                c.warnings |= kWarnPadding; // PaddingSize keeps the extended header's value
            }
        } else {
            t.PaddingSize = static_cast<uint32_t>(found);
        }
    };
    while (c.reader.Remaining() > 0) {
        const uint64_t headerOffset = 10 + c.reader.Consumed();
        uint8_t h[10] = {};
        const size_t n = c.reader.Read(h, 10);
        c.UpdateProgress();
        if (c.reader.Failed()) {
            return c.Fail(kReadError);
        }
        const bool allZero = std::all_of(h, h + n, [](uint8_t b) { return b == 0; });
        if ((n >= 4 && std::memcmp(h, "MP3e", 4) == 0) || allZero) {
            paddingFound(n + c.reader.Remaining());
            return 0;
        }
        if (n < 10 || c.reader.Remaining() == 0) {
            // The header ends the tag.
            if (v3 && paddingKnown) {
                paddingFound(n + c.reader.Remaining());
                return 0;
            }
            return c.Fail(kCorrupt);
        }
        if (t.Frames.Count() >= kMaxFrames) {
            return c.Fail(kOverLimit);
        }
        const int num = t.Frames.AddFrame(std::string(reinterpret_cast<const char *>(h), 4));
        if (num == 0) {
            return c.Fail(kBadFrameID);
        }
        FrameRecord &f = t.Frames.Frame(num);
        auto drop = [&](uint16_t outcome) {
            t.Frames.DeleteFrame(num); // a frame not read whole does not stay
            return c.Fail(outcome);
        };
        const uint64_t left = c.reader.Remaining();
        uint32_t size = 0;
        FrameFlags flags;
        if (v3) {
            size = ReadBE32(h + 4);
            if (size > left || headerOffset + 10 + size > 0x10000000u) {
                return drop(kCorrupt);
            }
            flags.Status = static_cast<uint8_t>(h[8] >> 1);
            if (h[9] & 0x20) {
                flags.Format |= kFmtGrouping;
            }
            if (h[9] & 0x80) {
                flags.Format |= kFmtCompression | kFmtDataLength;
            }
            if (h[9] & 0x40) {
                flags.Format |= kFmtEncryption;
            }
        } else {
            size = ReadSyncSafe32(h + 4);
            if (size > left) {
                return drop(kCorrupt);
            }
            flags.Status = h[8];
            flags.Format = h[9];
        }
        uint8_t extra[6];
        size_t extraLen = 0;
        if (v3) {
            extraLen = ((h[9] & 0x80) ? 4 : 0) + ((h[9] & 0x40) ? 1 : 0) + ((h[9] & 0x20) ? 1 : 0);
        } else {
            extraLen = ((h[9] & kFmtGrouping) ? 1 : 0) + ((h[9] & kFmtEncryption) ? 1 : 0) +
                       ((h[9] & kFmtDataLength) ? 4 : 0);
        }
        if (extraLen > size || !c.Read(extra, extraLen)) {
            return drop(kCorrupt);
        }
        size_t e = 0;
        if (v3) {
            if (h[9] & 0x80) {
                f.DataLength = ReadBE32(extra + e);
                e += 4;
            }
            if (h[9] & 0x40) {
                f.EncryptionMethod = extra[e++];
            }
            if (h[9] & 0x20) {
                f.GroupID = extra[e++];
            }
        } else {
            if (h[9] & kFmtGrouping) {
                f.GroupID = extra[e++];
            }
            if (h[9] & kFmtEncryption) {
                f.EncryptionMethod = extra[e++];
            }
            if (h[9] & kFmtDataLength) {
                f.DataLength = ReadSyncSafe32(extra + e);
                e += 4;
            }
        }
        // size <= what the tag still has, which is bounded by the file's length.
        f.Data.resize(size - extraLen);
        if (!c.Read(f.Data.data(), f.Data.size())) {
            return drop(kCorrupt);
        }
        // Encrypted data is never inflated here, so only the rest counts.
        if ((flags.Format & kFmtCompression) && !(flags.Format & kFmtEncryption)) {
            c.declared += f.DataLength;
            if (c.declared > c.budget) {
                return drop(kOverLimit);
            }
        }
        f.HeaderOffset = static_cast<uint32_t>(headerOffset);
        f.HeaderLength = static_cast<uint32_t>(10 + extraLen);
        f.StoredFlags = flags;
        f.WantedFlags = flags;
        f.PlainSize = (flags.Format & kFmtUnsync) ? PlainSizeOfUnsynced(f.Data)
                                                  : static_cast<uint32_t>(f.Data.size());
        f.Changed = false;
    }
    // The frames filled the tag exactly: no padding.
    paddingFound(0);
    return 0;
}

} // namespace

uint16_t Id3v2Tag::LoadTag(const std::string &fileNameIn, int64_t position) {
    const std::string fileName = fileNameIn; // may be FileName itself, which is cleared below
    // Forget the previous file first: its frames must never be saved into another one.
    Frames.ClearFrames();
    Version = 3;
    Revision = 0;
    TagSize = 0;
    HeaderFlags = 0;
    ExtFlags = 0;
    PaddingSize = 0;
    ExtHeaderSize = 0;
    CRC = 0;
    Restrictions = 0;
    TagPosition = 0;
    Modified = false;
    FileName.clear();
    decodeBudget_ = kDecodeFloor;
    const uint16_t status = LoadTagImpl(fileName, position);
    headerFlagsAsRead_ = HeaderFlags;
    if (status == kNoTag && !FileName.empty()) {
        // A readable file without a tag: an empty tag that a save inserts before the audio.
        Version = 3;
        Revision = 0;
        TagPosition = static_cast<uint32_t>(position);
        LoadStatus = 0;
    } else {
        LoadStatus = status;
    }
    return status;
}

uint16_t Id3v2Tag::LoadTagImpl(const std::string &fileName, int64_t position) {
    Fd fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (fd.get() < 0) {
        if (errno != ENOENT && ::stat(fileName.c_str(), &st) == 0) {
            ReadOnlyFile = NotWritableByUs(fileName, st);
        }
        return kNoFile;
    }
    if (::fstat(fd.get(), &st) != 0) {
        return kIOError;
    }
    if (!S_ISREG(st.st_mode)) {
        return kNoFile; // a folder or a device is not an audio file
    }
    ReadOnlyFile = NotWritableByUs(fileName, st);
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    if (position < 0) {
        return kIOError; // cannot seek there
    }
    const uint64_t pos = static_cast<uint64_t>(position);
    if (fileSize <= pos) {
        return kBeyondEnd;
    }
    FileName = fileName;

    Loaded = false;
    Progress = 0;
    StatusText = "Loading tag";
    if (fileSize - pos < 10) {
        return kNoTag;
    }
    // The header and the start of the body in one read: most tags end within it.
    uint8_t first[4096];
    const size_t firstLen = static_cast<size_t>(std::min<uint64_t>(sizeof first, fileSize - pos));
    if (!PreadAll(fd.get(), first, firstLen, pos)) {
        return kReadError;
    }
    const uint8_t *h = first;
    if (!HeaderLooksValid(h)) {
        return kNoTag;
    }
    Version = h[3];
    Revision = h[4];
    TagPosition = static_cast<uint32_t>(pos);
    if ((Version != 3 && Version != 4) || (Revision != 0 && !AcceptRevision)) {
        return kBadVersion;
    }
    uint16_t warnings = Revision != 0 ? kWarnRevision : 0;

    // Body parse.
    const bool v3 = Version == 3;
    HeaderFlags = h[5] & (v3 ? 0xE0 : 0xF0);
    if (h[5] & (v3 ? 0x1F : 0x0F)) {
        warnings |= kWarnHeaderFlags;
    }
    TagSize = ReadSyncSafe32(h + 6);
    decodeBudget_ = DecodeBudget(TagSize);
    uint16_t status = 0;
    if (fileSize - pos - 10 < TagSize) {
        status = kFileTooShort | warnings;
    } else {
        BodyReader reader(fd.get(), pos + 10, TagSize, v3 && (HeaderFlags & kHdrUnsync), first + 10,
                          firstLen - 10);
        LoadContext c{*this, reader, TagSize + 10, warnings, decodeBudget_};
        ExtHeaderSize = 0;
        PaddingSize = 0;
        CRC = 0;
        Restrictions = 0;
        ExtFlags = 0;
        bool paddingKnown = false;
        status = v3 ? ParseExtendedHeaderV3(c, paddingKnown) : ParseExtendedHeaderV4(c);
        if (status == 0) {
            Modified = false;
            Frames.ClearFrames();
            status = ParseFrames(c, paddingKnown);
        }
        status |= c.warnings;
    }
    LoadStatus = status;
    Loaded = true;
    Progress = 100;
    StatusText = "Load Complete";
    return status;
}

// ---------------------------------------------------------------------------------------------
// Id3v2Tag: reading frames
// ---------------------------------------------------------------------------------------------
namespace {
bool TextIdAllowed(const std::string &id) {
    return id.size() == 4 && id[0] == 'T' && id != "TXXX";
}
} // namespace

uint8_t Id3v2Tag::PlainCopy(int n, std::vector<uint8_t> &out, bool *inflateFailed) const {
    const FrameRecord &f = Frames.Frame(n);
    if (inflateFailed) {
        *inflateFailed = false;
    }
    out = (f.StoredFlags.Format & kFmtUnsync) ? ResyncBytes(f.Data.data(), f.Data.size()) : f.Data;
    if (f.WantedFlags.Format & kFmtEncryption) {
        return kEncrypted;
    }
    if (f.StoredFlags.Format & kFmtCompression) {
        const size_t limit = std::min(
            f.DataLength != 0 ? size_t{f.DataLength} : kInflateCapUnknownLength, decodeBudget_);
        std::vector<uint8_t> inflated;
        if (InflateBounded(out, limit, inflated)) {
            out = std::move(inflated);
        } else if (inflateFailed) {
            *inflateFailed = true; // the stored bytes stay, as DecompressFrame leaves them
        }
    }
    if (out.empty()) {
        return kNoData;
    }
    return kOk;
}

uint8_t Id3v2Tag::TextFrameCopy(const std::string &frameID, std::vector<uint8_t> &d,
                                bool *inflateFailed) const {
    if (!TextIdAllowed(frameID)) {
        return kIdNotAllowed;
    }
    for (int n = 1; n <= Frames.Count(); ++n) {
        if (Frames.Frame(n).FrameID == frameID) {
            return PlainCopy(n, d, inflateFailed);
        }
    }
    return kNoSuchFrame;
}

uint8_t Id3v2Tag::GetTextFrame(const std::string &frameID, std::string &text) {
    text.clear();
    std::vector<uint8_t> d;
    if (const uint8_t r = TextFrameCopy(frameID, d, nullptr)) {
        return r;
    }
    return DecodeText(d, 1, d[0], 0, false, text);
}

uint8_t Id3v2Tag::FindComment(const std::string &description, const std::string &language,
                              int &frame, std::vector<uint8_t> &d, size_t &textOffset) const {
    for (int n = 1; n <= Frames.Count(); ++n) {
        if (Frames.Frame(n).FrameID != "COMM") {
            continue;
        }
        if (const uint8_t r = PlainCopy(n, d)) {
            return r;
        }
        std::string desc;
        size_t consumed = 0;
        const uint8_t r = DecodeText(d, 4, d[0], 0, false, desc, &consumed);
        if (r != kOk) {
            return r;
        }
        if (!desc.empty() && desc.back() == '\0') {
            desc.pop_back();
        }
        if (desc != description) {
            continue;
        }
        if (language.size() == 3) {
            const std::string lang(d.begin() + 1, d.begin() + std::min<size_t>(4, d.size()));
            if (lang != language) {
                continue;
            }
        }
        frame = n;
        textOffset = 4 + consumed;
        return kOk;
    }
    return kNoSuchFrame;
}

uint8_t Id3v2Tag::GetCommentFrame(COMM &comment, const std::string &description,
                                  const std::string &language) {
    comment.Text.clear();
    int n = 0;
    size_t offset = 0;
    std::vector<uint8_t> d;
    if (const uint8_t r = FindComment(description, language, n, d, offset)) {
        return r;
    }
    std::string text;
    const uint8_t r = DecodeText(d, offset, d[0], 0, true, text);
    comment.Encoding = d[0];
    comment.Language.assign(d.begin() + 1, d.begin() + std::min<size_t>(4, d.size()));
    comment.Description = description;
    comment.Text = std::move(text);
    return r;
}

// ---------------------------------------------------------------------------------------------
// Id3v2Tag: Unicode texts
// ---------------------------------------------------------------------------------------------
uint8_t Id3v2Tag::GetTextFrameUtf8(const std::string &frameID, std::string &utf8) const {
    utf8.clear();
    std::vector<uint8_t> d;
    bool badInflate = false;
    if (const uint8_t r = TextFrameCopy(frameID, d, &badInflate)) {
        return r;
    }
    if (badInflate) {
        return kInvalidText; // compressed bytes are no text
    }
    return DecodeTextUtf8(d, 1, d[0], utf8);
}

int Id3v2Tag::FindEmptyDescriptionComment(std::vector<uint8_t> &d, size_t &textOffset,
                                          uint8_t &result) const {
    result = kOk;
    for (int n = 1; n <= Frames.Count(); ++n) {
        if (Frames.Frame(n).FrameID != "COMM") {
            continue;
        }
        bool badInflate = false;
        if (const uint8_t r = PlainCopy(n, d, &badInflate)) {
            result = r;
            return 0;
        }
        if (badInflate || d.size() < 4) {
            continue;
        }
        std::string desc;
        size_t consumed = 0;
        if (DecodeTextUtf8(d, 4, d[0], desc, &consumed) == kOk && desc.empty()) {
            textOffset = 4 + consumed;
            return n;
        }
    }
    return 0;
}

uint8_t Id3v2Tag::GetCommentTextUtf8(std::string &utf8) const {
    utf8.clear();
    std::vector<uint8_t> d;
    size_t offset = 0;
    uint8_t r = kOk;
    if (FindEmptyDescriptionComment(d, offset, r) == 0) {
        return r != kOk ? r : kNoSuchFrame;
    }
    if (offset >= d.size()) {
        return kOk; // an empty text
    }
    return DecodeTextUtf8(d, offset, d[0], utf8);
}

uint8_t Id3v2Tag::SetTextFrameUtf8(const std::string &frameID, const std::string &utf8) {
    if (!TextIdAllowed(frameID)) {
        return kIdNotAllowed;
    }
    int n = 0;
    for (int i = 1; i <= Frames.Count() && n == 0; ++i) {
        if (Frames.Frame(i).FrameID == frameID) {
            n = i;
        }
    }
    if (utf8.empty()) {
        if (n != 0) {
            Frames.DeleteFrame(n);
            return kRemoved;
        }
        return kOk;
    }
    if (n == 0 && (n = Frames.AddFrame(frameID)) == 0) {
        return kIdNotAllowed;
    }
    const uint8_t enc = EncodingFor(utf8, Version);
    std::vector<uint8_t> data{enc};
    const std::vector<uint8_t> text = EncodeText(utf8, enc);
    data.insert(data.end(), text.begin(), text.end());
    Frames.SetPlainData(n, std::move(data));
    return kOk;
}

uint8_t Id3v2Tag::SetCommentTextUtf8(const std::string &utf8) {
    std::vector<uint8_t> old;
    size_t offset = 0;
    uint8_t r = kOk;
    int n = FindEmptyDescriptionComment(old, offset, r);
    if (r != kOk) {
        return r;
    }
    if (utf8.empty()) {
        if (n != 0) {
            Frames.DeleteFrame(n);
            return kRemoved;
        }
        return kOk;
    }
    std::string language = "ENG";
    if (n != 0) {
        language.assign(old.begin() + 1, old.begin() + 4);
    } else {
        n = Frames.AddFrame("COMM");
    }
    const uint8_t enc = EncodingFor(utf8, Version);
    std::vector<uint8_t> data{enc};
    data.insert(data.end(), language.begin(), language.end());
    // The empty description: its mark (UTF-16) and its terminator.
    const std::vector<uint8_t> desc = EncodeText("", enc);
    data.insert(data.end(), desc.begin(), desc.end());
    data.push_back(0x00);
    if (enc == kUtf16) {
        data.push_back(0x00);
    }
    const std::vector<uint8_t> text = EncodeText(utf8, enc);
    data.insert(data.end(), text.begin(), text.end());
    Frames.SetPlainData(n, std::move(data));
    return kOk;
}

// ---------------------------------------------------------------------------------------------
// Id3v2Tag: editing
// ---------------------------------------------------------------------------------------------
uint8_t Id3v2Tag::SetTextFrame(const std::string &frameID, const std::string &text) {
    if (!TextIdAllowed(frameID)) {
        return kIdNotAllowed;
    }
    int n = 0;
    for (int i = 1; i <= Frames.Count(); ++i) {
        if (Frames.Frame(i).FrameID == frameID) {
            n = i;
            break;
        }
    }
    if (n != 0 && text.empty()) {
        Frames.DeleteFrame(n);
        return kRemoved;
    }
    if (text.empty()) {
        return kOk;
    }
    if (n == 0) {
        n = Frames.AddFrame(frameID);
        if (n == 0) {
            return kIdNotAllowed; // characters other than A-Z and 0-9
        }
    }
    std::vector<uint8_t> data;
    data.reserve(text.size() + 1);
    data.push_back(kLatin1);
    data.insert(data.end(), text.begin(), text.end());
    Frames.SetPlainData(n, std::move(data));
    return kOk;
}

uint8_t Id3v2Tag::SetCommentFrame(const COMM &comment, const std::string &description,
                                  const std::string &language) {
    int n = 0;
    size_t offset = 0;
    std::vector<uint8_t> old;
    const uint8_t found = FindComment(description, language, n, old, offset);
    if (found != kOk && found != kNoSuchFrame) {
        return found;
    }
    if (found == kNoSuchFrame && comment.Text.empty()) {
        return kOk;
    }
    if (comment.Encoding > 3) {
        return kBadEncoding;
    }
    // A language shorter than three characters has a NUL in the missing places.
    for (size_t i = 0; i < 3; ++i) {
        if (i >= comment.Language.size() || static_cast<uint8_t>(comment.Language[i]) < 0x20) {
            return kBadLanguage;
        }
    }
    if (found == kOk && comment.Text.empty()) {
        Frames.DeleteFrame(n);
        return kRemoved;
    }
    if (found == kNoSuchFrame) {
        n = Frames.AddFrame("COMM");
    }
    std::vector<uint8_t> data;
    data.reserve(4 + comment.Description.size() + 1 + comment.Text.size());
    data.push_back(comment.Encoding);
    data.insert(data.end(), comment.Language.begin(), comment.Language.begin() + 3);
    data.insert(data.end(), comment.Description.begin(), comment.Description.end());
    if (comment.Description.empty() || comment.Description.back() != '\0') {
        data.push_back(0x00);
    }
    data.insert(data.end(), comment.Text.begin(), comment.Text.end());
    Frames.SetPlainData(n, std::move(data));
    return kOk;
}

// ---------------------------------------------------------------------------------------------
// Id3v2Tag: frame data transforms
// ---------------------------------------------------------------------------------------------
int Id3v2Tag::Resynchronise(int n) {
    FrameRecord &f = Frames.Frame(n);
    if (!(f.StoredFlags.Format & kFmtUnsync)) {
        return -1;
    }
    f.Data = ResyncBytes(f.Data.data(), f.Data.size());
    f.StoredFlags.Format &= ~kFmtUnsync;
    f.Changed = true;
    return 0;
}

int Id3v2Tag::DecompressFrame(int n) {
    FrameRecord &f = Frames.Frame(n);
    if (f.StoredFlags.Format & kFmtUnsync) {
        return 2;
    }
    if (f.StoredFlags.Format & kFmtEncryption) {
        return 1;
    }
    if (!(f.StoredFlags.Format & kFmtCompression)) {
        return -1;
    }
    const size_t limit = std::min(
        f.DataLength != 0 ? size_t{f.DataLength} : kInflateCapUnknownLength, decodeBudget_);
    std::vector<uint8_t> out;
    if (!InflateBounded(f.Data, limit, out)) {
        return 4; // the frame stays as it was
    }
    const int result = (f.DataLength != 0 && out.size() != f.DataLength) ? -2 : 0;
    f.Data = std::move(out);
    f.DataLength = 0;
    f.StoredFlags.Format &= ~kFmtCompression;
    f.Changed = true;
    return result;
}

int Id3v2Tag::Unsynchronise(int n) {
    FrameRecord &f = Frames.Frame(n);
    if (f.StoredFlags.Format & kFmtUnsync) {
        return -1;
    }
    if (!(f.StoredFlags.Format & (kFmtCompression | kFmtEncryption))) {
        f.DataLength = static_cast<uint32_t>(f.Data.size());
    }
    f.PlainSize = static_cast<uint32_t>(f.Data.size());
    f.Data = UnsyncBytes(f.Data.data(), f.Data.size());
    f.StoredFlags.Format |= kFmtUnsync;
    f.Changed = true;
    return 0;
}

int Id3v2Tag::CompressFrame(int n) {
    FrameRecord &f = Frames.Frame(n);
    if (f.StoredFlags.Format & kFmtCompression) {
        return -1;
    }
    if (f.StoredFlags.Format & kFmtEncryption) {
        return 1;
    }
    if (f.StoredFlags.Format & kFmtUnsync) {
        return 2;
    }
    static constexpr int kLevels[4] = {0, 1, Z_DEFAULT_COMPRESSION, 9};
    const int level = kLevels[std::min<int>(CompressionLevel, 3)];
    uLongf outLen = compressBound(static_cast<uLong>(f.Data.size()));
    std::vector<uint8_t> out(outLen);
    if (compress2(out.data(), &outLen, f.Data.data(), static_cast<uLong>(f.Data.size()), level) !=
        Z_OK) {
        return 4;
    }
    out.resize(outLen);
    f.DataLength = static_cast<uint32_t>(f.Data.size());
    f.Data = std::move(out);
    f.StoredFlags.Format |= kFmtCompression;
    f.Changed = true;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Id3v2Tag: SaveTag
// ---------------------------------------------------------------------------------------------
namespace {

// The serialised frames of a tag, as they will stand in the file.
std::vector<uint8_t> SerialiseFrames(const FrameIndex &frames, uint8_t version, bool unsyncHeaders,
                                     uint32_t firstOffset, std::vector<uint32_t> &offsets,
                                     std::vector<uint32_t> &headerLengths) {
    std::vector<uint8_t> out;
    offsets.clear();
    headerLengths.clear();
    for (int n = 1; n <= frames.Count(); ++n) {
        const FrameRecord &f = frames.Frame(n);
        const FrameFlags w = f.WantedFlags;
        std::vector<uint8_t> h(f.FrameID.begin(), f.FrameID.end());
        if (version == 3) {
            const uint32_t dataSize = (f.StoredFlags.Format & kFmtUnsync)
                                          ? f.PlainSize
                                          : static_cast<uint32_t>(f.Data.size());
            const bool comp = w.Format & kFmtCompression;
            const bool enc = w.Format & kFmtEncryption;
            const bool grp = w.Format & kFmtGrouping;
            PutBE32(h, dataSize + (comp ? 4 : 0) + (enc ? 1 : 0) + (grp ? 1 : 0));
            h.push_back(static_cast<uint8_t>(((w.Status & 0x40) ? 0x80 : 0) |
                                             ((w.Status & 0x20) ? 0x40 : 0) |
                                             ((w.Status & 0x10) ? 0x20 : 0)));
            h.push_back(
                static_cast<uint8_t>((comp ? 0x80 : 0) | (enc ? 0x40 : 0) | (grp ? 0x20 : 0)));
            if (comp) {
                PutBE32(h, f.DataLength);
            }
            if (enc) {
                h.push_back(f.EncryptionMethod);
            }
            if (grp) {
                h.push_back(f.GroupID);
            }
            if (unsyncHeaders) {
                h = UnsyncBytes(h.data(), h.size(), f.Data.empty() ? -1 : f.Data[0]);
            }
        } else {
            const bool grp = w.Format & kFmtGrouping;
            const bool enc = w.Format & kFmtEncryption;
            const bool dli = w.Format & kFmtDataLength;
            PutSyncSafe32(h, static_cast<uint32_t>(f.Data.size()) + (grp ? 1 : 0) + (enc ? 1 : 0) +
                                 (dli ? 4 : 0));
            h.push_back(w.Status);
            h.push_back(w.Format);
            if (grp) {
                h.push_back(f.GroupID);
            }
            if (enc) {
                h.push_back(f.EncryptionMethod);
            }
            if (dli) {
                PutSyncSafe32(h, f.DataLength);
            }
        }
        offsets.push_back(static_cast<uint32_t>(firstOffset + out.size()));
        headerLengths.push_back(static_cast<uint32_t>(h.size()));
        out.insert(out.end(), h.begin(), h.end());
        out.insert(out.end(), f.Data.begin(), f.Data.end());
    }
    return out;
}

std::vector<uint8_t> ExtendedHeaderV3(bool crc, uint32_t padding, uint32_t crcValue, bool unsync,
                                      int lookAhead) {
    std::vector<uint8_t> e;
    PutBE32(e, crc ? 10 : 6);
    e.push_back(crc ? 0x80 : 0x00);
    e.push_back(0x00);
    PutBE32(e, padding);
    if (crc) {
        PutBE32(e, crcValue);
    }
    return unsync ? UnsyncBytes(e.data(), e.size(), lookAhead) : e;
}

std::vector<uint8_t> ExtendedHeaderV4(uint8_t extFlags, uint32_t crcValue, uint8_t restrictions) {
    const bool upd = extFlags & kExtUpdate;
    const bool crc = extFlags & kExtCRC;
    const bool res = extFlags & kExtRestrictions;
    std::vector<uint8_t> e = {
        0,    0,
        0,    static_cast<uint8_t>(6 + (upd ? 1 : 0) + (crc ? 6 : 0) + (res ? 2 : 0)),
        0x01, static_cast<uint8_t>(extFlags & 0x70)};
    if (upd) {
        e.push_back(0x00);
    }
    if (crc) {
        e.push_back(0x05);
        e.push_back(static_cast<uint8_t>((crcValue >> 28) & 0x0F));
        e.push_back(static_cast<uint8_t>((crcValue >> 21) & 0x7F));
        e.push_back(static_cast<uint8_t>((crcValue >> 14) & 0x7F));
        e.push_back(static_cast<uint8_t>((crcValue >> 7) & 0x7F));
        e.push_back(static_cast<uint8_t>(crcValue & 0x7F));
    }
    if (res) {
        e.push_back(0x01);
        e.push_back(restrictions);
    }
    return e;
}

// Removes a half-written temporary file unless told the rename happened.
class TempFile {
  public:
    ~TempFile() {
        if (fd.get() >= 0) {
            fd.reset();
        }
        if (!path.empty()) {
            ::unlink(path.c_str());
        }
    }
    Fd fd;
    std::string path;
};

std::string RealPathOf(const std::string &name) {
    char *r = ::realpath(name.c_str(), nullptr);
    if (!r) {
        return name;
    }
    std::string s(r);
    std::free(r);
    return s;
}

void SplitPath(const std::string &real, std::string &dir, std::string &base) {
    const size_t slash = real.rfind('/');
    dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : real.substr(0, slash));
    base = slash == std::string::npos ? real : real.substr(slash + 1);
}

constexpr char kSaveSuffix[] = ".mirvane-save-";
constexpr size_t kRandomChars = 6; // mkostemp's XXXXXX

// "." + the file's name cut so that the whole temporary name fits NAME_MAX + kSaveSuffix.
std::string SaveTempPrefix(const std::string &base) {
    const size_t room = NAME_MAX - 1 - (sizeof kSaveSuffix - 1) - kRandomChars;
    return "." + base.substr(0, std::min(base.size(), room)) + kSaveSuffix;
}

// Copies the extended attributes (ACLs included) of in to out; those we may not set are
// skipped, like the owner of a file we do not own.
void CopyXattrs(int in, int out) {
    const ssize_t len = ::flistxattr(in, nullptr, 0);
    if (len <= 0) {
        return;
    }
    std::vector<char> names(static_cast<size_t>(len));
    const ssize_t got = ::flistxattr(in, names.data(), names.size());
    if (got <= 0) {
        return;
    }
    std::vector<char> value;
    for (size_t at = 0; at < static_cast<size_t>(got);) {
        const char *name = names.data() + at;
        at += std::strlen(name) + 1;
        const ssize_t vlen = ::fgetxattr(in, name, nullptr, 0);
        if (vlen < 0) {
            continue;
        }
        value.resize(static_cast<size_t>(vlen));
        const ssize_t vgot = ::fgetxattr(in, name, value.data(), value.size());
        if (vgot >= 0) {
            ::fsetxattr(out, name, value.data(), static_cast<size_t>(vgot), 0);
        }
    }
}

// Writes the rendered tag into the file: over the old tag when it takes exactly its bytes,
// else through a new file renamed over the old one. 0 or a status word; on failure the file
// is unchanged (an in-place write that fails part-way can leave only the tag region mixed).
uint16_t WriteTagIntoFile(const std::string &target, const struct stat &st, int in, uint64_t pos,
                          uint64_t oldSize, const std::vector<uint8_t> &tag,
                          std::string &statusText) {
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    if (tag.size() == oldSize) {
        statusText = "Writing new tag";
        Fd out(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
        if (out.get() < 0) {
            return WriteErrorStatus(errno);
        }
        if (const uint16_t s = PwriteAll(out.get(), tag.data(), tag.size(), pos)) {
            return s;
        }
        if (::fdatasync(out.get()) != 0 || ::close(out.release()) != 0) {
            return kWriteError;
        }
        return 0;
    }
    // A rename would leave the other names on the old bytes.
    if (st.st_nlink > 1) {
        return kCannotReplace;
    }
    const std::string real = RealPathOf(target);
    std::string dir, base;
    SplitPath(real, dir, base);
    TempFile tmp;
    {
        std::string templ = dir + "/" + SaveTempPrefix(base) + "XXXXXX";
        const int fd = ::mkostemp(templ.data(), O_CLOEXEC);
        if (fd < 0) {
            return (errno == EACCES || errno == EPERM) ? kCannotReplace : WriteErrorStatus(errno);
        }
        tmp.fd.reset(fd);
        tmp.path = templ;
    }
    // Owner first: giving a file away clears its set-id bits, which the mode then restores.
    if (::fchown(tmp.fd.get(), st.st_uid, st.st_gid) != 0) {
        // Not ours to give away: the file keeps our ownership, like any rewrite.
        ::fchown(tmp.fd.get(), static_cast<uid_t>(-1), st.st_gid);
    }
    if (::fchmod(tmp.fd.get(), st.st_mode & 07777) != 0) {
        return kWriteError;
    }
    CopyXattrs(in, tmp.fd.get());
    statusText = "Re-positioning audio data";
    const uint64_t audioStart = pos + oldSize;
    if (const uint16_t s =
            CopyRange(in, audioStart, tmp.fd.get(), pos + tag.size(), fileSize - audioStart)) {
        return s;
    }
    if (const uint16_t s = CopyRange(in, 0, tmp.fd.get(), 0, pos)) {
        return s;
    }
    statusText = "Writing new tag";
    if (const uint16_t s = PwriteAll(tmp.fd.get(), tag.data(), tag.size(), pos)) {
        return s;
    }
    if (::fsync(tmp.fd.get()) != 0) {
        return kWriteError;
    }
    if (::close(tmp.fd.release()) != 0) {
        return kWriteError;
    }
    if (::rename(tmp.path.c_str(), real.c_str()) != 0) {
        return WriteErrorStatus(errno);
    }
    tmp.path.clear(); // renamed: nothing to remove
    // Make the rename itself durable; the file is whole either way.
    Fd d(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (d.get() >= 0) {
        ::fsync(d.get());
    }
    return 0;
}

} // namespace

int id3v2::RemoveStaleSaveFiles(const std::string &fileName) {
    std::string dir, base;
    SplitPath(RealPathOf(fileName), dir, base);
    const std::string prefix = SaveTempPrefix(base);
    DIR *d = ::opendir(dir.c_str());
    if (!d) {
        return 0;
    }
    int removed = 0;
    while (const dirent *e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() != prefix.size() + kRandomChars || name.compare(0, prefix.size(), prefix)) {
            continue;
        }
        struct stat st {};
        if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && ::unlinkat(::dirfd(d), e->d_name, 0) == 0) {
            ++removed;
        }
    }
    ::closedir(d);
    return removed;
}

uint16_t Id3v2Tag::SaveTag(const std::string &fileName, uint8_t version, uint8_t revision,
                           int64_t position) {
    return SaveTagImpl(fileName, version, revision, position);
}

uint16_t Id3v2Tag::PrepareFramesForSave(uint8_t ver, uint16_t &warnings) {
    // A frame nobody changed, saved in the version it was read in, goes back as it stood.
    auto asRead = [&](const FrameRecord &f) { return !f.Changed && ver == Version; };
    // 6. Unsynchronisation: one frame wanting it makes the tag want it for every frame. Version
    // 4 marks it frame by frame, so there, unless the caller turned the header flag on, a frame
    // going back as it was read keeps its own form (its bytes stay), and the header claims it
    // only when every frame has it.
    const bool forEveryFrame = ver != 4 || ((HeaderFlags & ~headerFlagsAsRead_) & kHdrUnsync) != 0;
    auto follows = [&](const FrameRecord &f) { return forEveryFrame || !asRead(f); };
    for (int n = 1; n <= Frames.Count() && !(HeaderFlags & kHdrUnsync); ++n) {
        const FrameRecord &f = Frames.Frame(n);
        if ((f.WantedFlags.Format & kFmtUnsync) && follows(f)) {
            HeaderFlags |= kHdrUnsync;
        }
    }
    if (HeaderFlags & kHdrUnsync) {
        bool every = true;
        for (int n = 1; n <= Frames.Count(); ++n) {
            FrameRecord &f = Frames.Frame(n);
            if (follows(f)) {
                f.WantedFlags.Format |= kFmtUnsync;
            }
            every = every && (f.WantedFlags.Format & kFmtUnsync);
        }
        if (!every) {
            HeaderFlags &= ~kHdrUnsync;
        }
    }
    // 7. Tidy.
    if (TidyFrames) {
        for (int n = Frames.Count(); n >= 1; --n) {
            FrameRecord &f = Frames.Frame(n);
            if (asRead(f)) {
                continue;
            }
            if (f.WantedFlags.Format & kFmtCompression) {
                f.WantedFlags.Format |= kFmtDataLength;
            }
            if (f.Data.empty()) {
                Frames.DeleteFrame(n);
            }
        }
        if (Frames.Count() == 0) {
            return kNoFrames;
        }
    }
    // 8. Version 4: data length indicators whose length is not known.
    if (ver == 4) {
        for (int n = 1; n <= Frames.Count(); ++n) {
            FrameRecord &f = Frames.Frame(n);
            if (!(f.WantedFlags.Format & kFmtDataLength) || f.DataLength != 0 || asRead(f)) {
                continue;
            }
            if (f.StoredFlags.Format & kFmtUnsync) {
                Resynchronise(n);
            }
            if (f.StoredFlags.Format & kFmtEncryption) {
                if (!AllowFlagDrop) {
                    return kNoDataLength;
                }
                f.WantedFlags.Format &= ~kFmtDataLength;
                warnings |= kWarnFlagDropped;
                continue;
            }
            if (f.StoredFlags.Format & kFmtCompression) {
                const int r = DecompressFrame(n);
                if (r != 0 && r != -2) {
                    return kCorrupt;
                }
            }
            f.DataLength = static_cast<uint32_t>(f.Data.size());
        }
    }
    const int count = Frames.Count();
    // 9. Compression pass.
    StatusText = "Applying compression";
    for (int n = 1; n <= count; ++n) {
        FrameRecord &f = Frames.Frame(n);
        Progress = static_cast<uint8_t>(5 * n / count);
        if ((f.StoredFlags.Format ^ f.WantedFlags.Format) & kFmtCompression) {
            // Compression sits under unsynchronisation: undo that first (the pass below
            // applies it again where it is wanted).
            if (f.StoredFlags.Format & kFmtUnsync) {
                Resynchronise(n);
            }
            const int r =
                (f.StoredFlags.Format & kFmtCompression) ? DecompressFrame(n) : CompressFrame(n);
            if (r != 0 && r != -2) {
                // Encrypted data cannot be (de)compressed; other data failed to inflate.
                return (f.StoredFlags.Format & kFmtEncryption) ? kEncryptionChange : kCorrupt;
            }
        }
    }
    // 10. Encryption check: the library never encrypts or decrypts.
    for (int n = 1; n <= count; ++n) {
        FrameRecord &f = Frames.Frame(n);
        if ((f.StoredFlags.Format ^ f.WantedFlags.Format) & kFmtEncryption) {
            if (!AllowFlagDrop) {
                return kEncryptionChange;
            }
            f.WantedFlags.Format = static_cast<uint8_t>((f.WantedFlags.Format & ~kFmtEncryption) |
                                                        (f.StoredFlags.Format & kFmtEncryption));
            warnings |= kWarnFlagDropped;
        }
    }
    // 11. Unsynchronisation pass.
    StatusText = "Applying unsync";
    for (int n = 1; n <= count; ++n) {
        FrameRecord &f = Frames.Frame(n);
        Progress = static_cast<uint8_t>(5 * n / count + 5);
        if ((f.StoredFlags.Format ^ f.WantedFlags.Format) & kFmtUnsync) {
            if (f.StoredFlags.Format & kFmtUnsync) {
                Resynchronise(n);
            } else {
                Unsynchronise(n);
            }
        }
    }
    // 12. Grouping check.
    for (int n = 1; n <= count; ++n) {
        FrameRecord &f = Frames.Frame(n);
        if ((f.StoredFlags.Format ^ f.WantedFlags.Format) & kFmtGrouping) {
            if (!AllowFlagDrop) {
                return kGroupingChange;
            }
            f.WantedFlags.Format = static_cast<uint8_t>((f.WantedFlags.Format & ~kFmtGrouping) |
                                                        (f.StoredFlags.Format & kFmtGrouping));
            warnings |= kWarnFlagDropped;
        }
    }
    return 0;
}

Id3v2Tag::Rendered Id3v2Tag::RenderTag(uint8_t ver, uint64_t fileSize, uint64_t oldSize) const {
    Rendered r;
    const bool unsyncV3 = ver == 3 && (HeaderFlags & kHdrUnsync);
    const bool ext = HeaderFlags & kHdrExtended;
    const bool withCrc = ext && (ExtFlags & kExtCRC);
    // An extended header's size never changes with the padding in version 4, and in
    // version 3 only through unsynchronisation of its padding-size bytes.
    uint32_t extSizeGuess = 0;
    if (ext) {
        extSizeGuess = ver == 3 ? (withCrc ? 14 : 10)
                                : static_cast<uint32_t>(ExtendedHeaderV4(ExtFlags, 0, 0).size());
    }
    const std::vector<uint8_t> frames = SerialiseFrames(Frames, ver, unsyncV3, 10 + extSizeGuess,
                                                        r.frameOffsets, r.frameHeaderLengths);
    uint32_t crc = 0;
    if (withCrc) {
        crc = Crc32Update(0xFFFFFFFFu, frames.data(), frames.size());
    }
    // Padding: the file is to end on a PaddingBlock boundary.
    auto padFor = [&](uint64_t w) -> uint32_t {
        if (PaddingMode == 0) {
            return PaddingSize;
        }
        const uint32_t b = PaddingBlock;
        if (b == 0) {
            return 0;
        }
        const uint32_t fs = static_cast<uint32_t>(fileSize);
        uint32_t p = static_cast<uint32_t>(((fileSize / b) + 1) * b) +
                     static_cast<uint32_t>(oldSize) - fs - static_cast<uint32_t>(w);
        if (p > b) {
            p = (p - 1) % b + 1;
        }
        return p;
    };
    std::vector<uint8_t> extBytes;
    uint32_t padding = 0;
    if (ver == 3) {
        const int lookAhead = frames.empty() ? -1 : frames[0];
        extBytes =
            ext ? ExtendedHeaderV3(withCrc, 0, crc, unsyncV3, lookAhead) : std::vector<uint8_t>{};
        // Unsynchronising the padding size can lengthen the extended header, which changes
        // the padding; a few rounds settle it. (With a padding size ending in 0xFF before a CRC
        // starting with 0x00 or >= 0xE0 there is no fixed point: the tag written is still
        // consistent, built from the last padding, and the file ends one byte past the block.)
        for (int round = 0; round < 4; ++round) {
            padding = padFor(10 + extBytes.size() + frames.size());
            if (!ext) {
                break;
            }
            std::vector<uint8_t> next =
                ExtendedHeaderV3(withCrc, padding, crc, unsyncV3, lookAhead);
            const bool settled = next.size() == extBytes.size();
            extBytes = std::move(next);
            if (settled) {
                break;
            }
        }
    } else {
        padding = padFor(10 + extSizeGuess + frames.size());
        if (withCrc) {
            // Version 4 counts the padding into the CRC too.
            static const uint8_t zeros[4096] = {};
            for (uint32_t left = padding; left > 0;) {
                const uint32_t k = std::min<uint32_t>(left, sizeof zeros);
                crc = Crc32Update(crc, zeros, k);
                left -= k;
            }
        }
        if (ext) {
            extBytes = ExtendedHeaderV4(ExtFlags, crc, Restrictions);
        }
    }
    const uint64_t newSize = 10 + extBytes.size() + frames.size() + uint64_t{padding};
    if (newSize - 10 >= 0x10000000u) {
        return r; // too large: no bytes
    }
    r.padding = padding;
    r.crc = crc;
    r.extHeaderSize =
        ext ? (ver == 3 ? (withCrc ? 10u : 6u) : static_cast<uint32_t>(extBytes.size())) : 0;
    r.bytes.reserve(static_cast<size_t>(newSize));
    const uint8_t header[10] = {
        'I', 'D', '3', ver, 0, static_cast<uint8_t>(HeaderFlags & (ver == 3 ? 0xE0 : 0xF0)),
        0,   0,   0,   0};
    r.bytes.insert(r.bytes.end(), header, header + 10);
    WriteSyncSafe32(r.bytes.data() + 6, static_cast<uint32_t>(newSize - 10));
    r.bytes.insert(r.bytes.end(), extBytes.begin(), extBytes.end());
    r.bytes.insert(r.bytes.end(), frames.begin(), frames.end());
    r.bytes.resize(static_cast<size_t>(newSize), 0x00);
    return r;
}

uint16_t Id3v2Tag::SaveTagImpl(const std::string &fileName, uint8_t version, uint8_t revision,
                               int64_t position) {
    // Resolve the file, the version and the position.
    const bool same = fileName == "=";
    const std::string target = same ? FileName : fileName;
    int64_t pos = position;
    if (pos < 0) {
        pos = same ? int64_t{TagPosition} : 0;
    }
    // A tag whose last load failed is never written.
    if (LoadStatus > 0xFF) {
        return kCorrupt;
    }
    // The file must exist and be writable by us.
    struct stat st {};
    if (target.empty() || ::stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return kNoFile;
    }
    if (NotWritableByUs(target, st)) {
        return kReadOnly;
    }
    RemoveStaleSaveFiles(target);
    Fd in(::open(target.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0 || ::fstat(in.get(), &st) != 0) {
        return kNoFile;
    }
    const uint8_t ver = version == 0xFF ? Version : version;
    const uint8_t rev = revision == 0xFF ? Revision : revision;
    if (ver != 3 && ver != 4) {
        return kBadVersion;
    }
    if (rev != 0) {
        return kBadRevision;
    }
    if (Frames.Count() == 0) {
        return kNoFrames;
    }
    Progress = 0;
    StatusText = "Preparing tag";
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    if (fileSize < static_cast<uint64_t>(pos)) {
        return kBeyondEnd;
    }
    uint16_t warnings = 0;
    if (const uint16_t s = PrepareFramesForSave(ver, warnings)) {
        return s;
    }
    // The old tag's size D (0: the tag is inserted before the audio).
    const uint64_t upos = static_cast<uint64_t>(pos);
    uint64_t oldSize = 0;
    if (fileSize - upos >= 10) {
        uint8_t h[10];
        if (!PreadAll(in.get(), h, 10, upos)) {
            return kReadError;
        }
        if (HeaderLooksValid(h)) {
            oldSize = 10 + uint64_t{ReadSyncSafe32(h + 6)};
            // A version-4 footer goes with the old tag; the new tag is padded and so has none.
            if (h[3] == 4 && (h[5] & kHdrFooter)) {
                oldSize += 10;
            }
            oldSize = std::min<uint64_t>(oldSize, fileSize - upos);
        }
    }
    if (ExtFlags & kExtCRC) {
        HeaderFlags |= kHdrExtended;
    }
    HeaderFlags &= ~kHdrFooter;
    if ((HeaderFlags & kHdrExtended) && (ExtFlags & kExtCRC)) {
        StatusText = "Calculating CRC-32";
    }
    const Rendered tag = RenderTag(ver, fileSize, oldSize);
    if (tag.bytes.empty()) {
        return kTagTooLarge;
    }
    // A saved tag must load again: the same limits as a load.
    uint64_t declared = 0;
    for (int n = 1; n <= Frames.Count(); ++n) {
        const FrameRecord &f = Frames.Frame(n);
        if ((f.WantedFlags.Format & kFmtCompression) && !(f.WantedFlags.Format & kFmtEncryption)) {
            declared += f.DataLength;
        }
    }
    if (Frames.Count() > kMaxFrames ||
        declared > DecodeBudget(static_cast<uint32_t>(tag.bytes.size() - 10))) {
        return kOverLimit;
    }
    if (const uint16_t s =
            WriteTagIntoFile(target, st, in.get(), upos, oldSize, tag.bytes, StatusText)) {
        return s;
    }
    if (tag.bytes.size() != oldSize) {
        // The replaced file's blocks are freed when its last descriptor closes, tens of
        // milliseconds for a large file: a short-lived thread waits for that, not the caller.
        std::thread([fd = in.release()] { ::close(fd); }).detach();
    }
    // The object now describes the tag in the file.
    for (int n = 1; n <= Frames.Count(); ++n) {
        FrameRecord &f = Frames.Frame(n);
        f.HeaderOffset = tag.frameOffsets[static_cast<size_t>(n - 1)];
        f.HeaderLength = tag.frameHeaderLengths[static_cast<size_t>(n - 1)];
        f.Changed = false;
    }
    const uint16_t status = warnings;
    headerFlagsAsRead_ = HeaderFlags;
    Version = ver;
    Revision = rev;
    TagSize = static_cast<uint32_t>(tag.bytes.size());
    PaddingSize = tag.padding;
    ExtHeaderSize = tag.extHeaderSize;
    CRC = tag.crc;
    LoadStatus = status;
    Modified = false;
    TagPosition = static_cast<uint32_t>(upos);
    Progress = 100;
    StatusText = "Save Complete";
    FileName = target;
    return status;
}
