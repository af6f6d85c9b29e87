#include "tags_fuzz_harness.h"

#include "tags/id3v2.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

#include <unistd.h>

namespace {

std::vector<uint8_t> ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool WriteAll(const std::string &path, const uint8_t *data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

// The old tag's extent as SaveTag measures it (footer included).
uint64_t OldTagSize(const std::vector<uint8_t> &f, uint64_t pos) {
    if (f.size() < pos + 10) {
        return 0;
    }
    const uint8_t *h = f.data() + pos;
    if (!(h[0] == 'I' && h[1] == 'D' && h[2] == '3' && h[3] < 0xFF && h[4] < 0xFF && h[6] < 0x80 &&
          h[7] < 0x80 && h[8] < 0x80 && h[9] < 0x80)) {
        return 0;
    }
    uint64_t d = 10 + uint64_t{id3v2::ReadSyncSafe32(h + 6)};
    if (h[3] == 4 && (h[5] & 0x10)) {
        d += 10;
    }
    return std::min<uint64_t>(d, f.size() - pos);
}

// A version-3 tag with the unsynchronisation flag and a CRC can have no padding that makes the
// file end on a 4096-byte boundary: when the padding size ends in 0xFF and the CRC's first byte
// is 0x00 or >= 0xE0, writing the padding size stuffs a byte, and one byte less of padding
// stuffs none. SaveTag then writes a consistent tag that ends one byte past the boundary.
bool UnsyncedV3Crc(const Id3v2Tag &tag) {
    return tag.Version == 3 && (tag.HeaderFlags & id3v2::kHdrUnsync) &&
           (tag.ExtFlags & id3v2::kExtCRC);
}

} // namespace

std::string RunTagsFuzzInput(const uint8_t *data, size_t size, const std::string &scratchDir) {
    const std::string file = scratchDir + "/tags-fuzz-" + std::to_string(::getpid()) + ".mp3";
    if (!WriteAll(file, data, size)) {
        return "cannot write the scratch file";
    }
    const uint8_t mode = size ? data[size - 1] : 0;

    Id3v2Tag tag;
    tag.LoadTag(file, 0);
    // Read every frame the ways the program and the save do.
    for (int n = 1; n <= tag.Frames.Count(); ++n) {
        const std::string id = tag.Frames.GetFrameID(n);
        std::string text;
        if (id[0] == 'T') {
            tag.GetTextFrame(id, text);
            tag.GetTextFrameUtf8(id, text);
        } else if (id == "COMM") {
            COMM c;
            tag.GetCommentFrame(c, "", "None");
            tag.GetCommentFrame(c, "", "ENG");
            tag.GetCommentTextUtf8(text);
        }
        if (mode & 0x01) {
            tag.Resynchronise(n);
            tag.DecompressFrame(n);
        }
    }
    // Edit.
    const std::string title = "Fuzz title \xE9\xFF";
    const uint8_t titleResult = tag.SetTextFrame("TIT2", title);
    if (mode & 0x02) {
        tag.SetTextFrame("TPE1", "");
    }
    // A text outside Latin-1 (UTF-16 in version 3, UTF-8 in version 4), one beyond the BMP.
    const std::string album = "A\u00e9\u20acB\u0416C\U0001F600";
    const uint8_t albumResult = tag.SetTextFrameUtf8("TALB", album);
    COMM comment;
    comment.Language = "ENG";
    comment.Text = (mode & 0x04) ? std::string("Comment \xFF\xE0 text") : std::string();
    const uint8_t commentResult = tag.SetCommentFrame(comment, "", "None");
    if (mode & 0x08) {
        const int n = tag.Frames.Count();
        if (n > 0) {
            FrameFlags w = tag.Frames.GetWantedFlags(n);
            w.Format |= id3v2::kFmtCompression;
            tag.Frames.SetWantedFlags(n, w);
        }
    }
    if (mode & 0x10) {
        tag.SetUnsynchronisation(true);
    }
    if (mode & 0x20) {
        tag.SetCRCPresent(true);
    }
    tag.CompressionLevel = (mode >> 6) & 3;
    const uint8_t version = (mode & 0x40) ? 0xFF : ((mode & 0x80) ? 4 : 3);

    // The frames nobody edited, as they stand before the save: they must load again byte for
    // byte, unless the input asked for a transform of every frame (resynchronised or inflated
    // on purpose, compression or unsynchronisation wanted, another version).
    const bool keepsFrames =
        (mode & 0x19) == 0 && (version == 0xFF || version == tag.Version) && tag.LoadStatus <= 0xFF;
    std::vector<std::pair<int, FrameRecord>> untouched;
    for (int n = 1; keepsFrames && n <= tag.Frames.Count(); ++n) {
        const FrameRecord &f = tag.Frames.Frame(n);
        // Not kept by design: status bits version 3 does not define, and a version-4 data
        // length whose bytes are not sync-safe.
        const bool undefinedBits = tag.Version == 3 && (f.StoredFlags.Status & ~0x70);
        const bool notSyncSafe = tag.Version == 4 && f.DataLength > 0x0FFFFFFF;
        if (!f.Changed && !undefinedBits && !notSyncSafe) {
            untouched.emplace_back(n, f);
        }
    }

    const std::vector<uint8_t> before = ReadAll(file);
    const uint64_t pos = tag.LoadStatus > 0xFF ? 0 : tag.TagPosition;
    const uint64_t oldSize = OldTagSize(before, pos);
    const uint16_t saved = tag.SaveTag("=", version, 0xFF, -1);
    const std::vector<uint8_t> after = ReadAll(file);
    std::string failure;
    if (saved > 0xFF) {
        if (after != before) {
            failure = "a failed save changed the file";
        }
    } else {
        const uint64_t newSize = tag.TagSize;
        const uint64_t audio = before.size() - pos - oldSize;
        if (after.size() != pos + newSize + audio ||
            !std::equal(before.begin(), before.begin() + static_cast<long>(pos), after.begin()) ||
            !std::equal(before.begin() + static_cast<long>(pos + oldSize), before.end(),
                        after.begin() + static_cast<long>(pos + newSize))) {
            failure = "the save did not keep the bytes around the tag";
        } else if (after.size() % 4096 != 0 && pos == 0 && !UnsyncedV3Crc(tag)) {
            failure = "the saved file does not end on a 4096-byte boundary";
        } else {
            Id3v2Tag again;
            const uint16_t reloaded = again.LoadTag(file, static_cast<int64_t>(pos));
            std::string text;
            COMM c;
            if (reloaded > 0xFF) {
                failure =
                    "the saved tag does not load again (status " + std::to_string(reloaded) + ")";
            } else if (titleResult == 0 &&
                       (again.GetTextFrame("TIT2", text) != 0 || text != title)) {
                failure = "the saved title does not read back";
            } else if (albumResult == 0 &&
                       (again.GetTextFrameUtf8("TALB", text) != 0 || text != album)) {
                failure = "the saved Unicode album does not read back";
            } else if (commentResult == 0 && !comment.Text.empty() &&
                       (again.GetCommentFrame(c, "", "None") != 0 || c.Text != comment.Text)) {
                failure = "the saved comment does not read back";
            }
            for (const auto &[n, f] : untouched) {
                if (!failure.empty()) {
                    break;
                }
                if (n > again.Frames.Count()) {
                    failure = "a frame nobody edited is missing after the save";
                    break;
                }
                const FrameRecord &g = again.Frames.Frame(n);
                if (g.FrameID != f.FrameID || g.Data != f.Data ||
                    !(g.StoredFlags == f.StoredFlags) || g.DataLength != f.DataLength ||
                    g.GroupID != f.GroupID || g.EncryptionMethod != f.EncryptionMethod) {
                    failure = "frame " + std::to_string(n) + " (" + f.FrameID +
                              ") nobody edited did not come back byte for byte";
                }
            }
        }
    }
    std::remove(file.c_str());
    return failure;
}
