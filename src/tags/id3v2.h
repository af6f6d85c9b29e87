#pragma once
// The ID3v2 tag library: reads ID3v2.3 and ID3v2.4 tags from the start
// of an audio file into a Id3v2Tag, edits text and comment frames in memory, and writes the
// whole tag back with SaveTag.
//
// Texts are 8-bit Latin-1 std::strings (one byte per character, 0x00..0xFF); file names are
// UTF-8 paths. The library never throws across its boundary for bad input: loads and saves
// return a 16-bit status word (high byte the outcome, low byte warnings, above 0xFF a failure)
// and the frame operations return a result byte. The only exception it raises on purpose is
// std::out_of_range("Array range out of bounds.") for a frame number outside 1..Count.
//
// Threading: one tag object is used by one thread at a time (the program uses its two objects
// on the GUI thread only). The reading state is per call, not process-wide, so two objects
// may load or save at the same time from different threads.
//
// Memory: a load holds at most 65536 bytes of raw tag body at once (the ring reader), plus each
// frame's own data; every size read from a file is checked against the bytes the file still has
// before anything is allocated, so a 1 KB file claiming a 256 MB tag costs no more than the
// file. Inflating a compressed frame stops at its DataLength (or at kInflateCapUnknownLength
// when the length is not known).
//
// Limits of a load (a file over them fails with kOverLimit and costs no more than its checks):
// at most kMaxFrames frames, and the lengths that compressed frames declare for their inflated
// data add up to at most the tag's decode budget, DecodeBudget(TagSize). Every inflation stops
// at that budget too, also for frames whose length is not declared.
//
// Unicode: GetTextFrameUtf8 / GetCommentTextUtf8 read a text in any of the four encodings
// into UTF-8; SetTextFrameUtf8 / SetCommentTextUtf8 write Latin-1 where it is enough, else
// UTF-16 with byte-order mark (version 3) or UTF-8 (version 4). Reading never changes a frame:
// resynchronising and inflating work on a copy, so a frame nobody edits is saved byte for byte
// (flags, encoding, order; in a version-4 tag its own unsynchronisation too) when the tag keeps
// its version. Not kept: status flag bits that version 3 does not define, and a version-4 data
// length whose bytes are not sync-safe (it is written sync-safe).
//
// Saving (SaveTag) first renders the whole new tag (RenderTag: sizing, padding, layout), then
// writes it:
// - a tag that, padded, takes exactly the old tag's bytes is written over them in place and
//   flushed; the audio is not touched;
// - any other save writes the new file beside the old one as ".NAME.mirvane-save-XXXXXX" (NAME
//   cut to fit the file system's name limit, XXXXXX six random characters), flushes it and
//   renames it over the old file, keeping owner, group, mode and extended attributes where the
//   platform lets us. A crash, a kill or an I/O error leaves the whole old file or the whole new
//   one. A file with other hard links, or in a folder where we cannot create that file, is not
//   replaced: the save stops with kCannotReplace and the file is untouched. The replaced
//   file is closed on a short-lived thread of its own, which lets the system free its blocks
//   without the caller waiting for it.
// Temporary files of that name pattern left next to a file by an interrupted save are removed
// by the next save of that file (RemoveStaleSaveFiles).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Status words of LoadTag and SaveTag, result bytes of the frame operations, and flag bits.
namespace id3v2 {

// Outcomes (high byte of a status word).
inline constexpr uint16_t kNoFile = 0x0100;   // missing, or cannot be opened
inline constexpr uint16_t kReadOnly = 0x0200; // not writable by this user (save only)
inline constexpr uint16_t kReadError = 0x0300;
inline constexpr uint16_t kWriteError = 0x0400; // save only
inline constexpr uint16_t kIOError = 0x0500;    // any other input/output error
// save only: the file size changes, and the file has other hard links or its folder does not
// let us create the temporary file beside it; the file is untouched
inline constexpr uint16_t kCannotReplace = 0x0600;
inline constexpr uint16_t kBeyondEnd = 0x0800; // position not inside the file
inline constexpr uint16_t kNoTag = 0x1000;     // load only
inline constexpr uint16_t kBadVersion = 0x1100;
inline constexpr uint16_t kBadRevision = 0x1200;  // save only
inline constexpr uint16_t kFileTooShort = 0x2000; // load only
inline constexpr uint16_t kBadFrameID = 0x2100;   // load only
inline constexpr uint16_t kTagTooLarge = 0x2200;  // save only
inline constexpr uint16_t kOverLimit = 0x2300;    // load only: over kMaxFrames or the decode budget
inline constexpr uint16_t kEncryptionChange = 0xC000; // save only
inline constexpr uint16_t kGroupingChange = 0xC100;   // save only
inline constexpr uint16_t kNoDataLength = 0xC200;     // save only
inline constexpr uint16_t kNoFrames = 0xFD00;         // save only
inline constexpr uint16_t kCorrupt = 0xFE00; // load: corrupt tag; save: last load failed, or a
                                             // compressed frame the save must inflate does not

// Warnings (low byte of a status word).
inline constexpr uint16_t kWarnHeaderFlags = 0x80;
inline constexpr uint16_t kWarnExtFlags = 0x40;
inline constexpr uint16_t kWarnRevision = 0x10;
inline constexpr uint16_t kWarnFlagDropped = 0x08;
inline constexpr uint16_t kWarnPadding = 0x04;

// Results of GetTextFrame, GetCommentFrame, SetTextFrame, SetCommentFrame and DecodeText.
inline constexpr uint8_t kOk = 0;
inline constexpr uint8_t kNoSuchFrame = 1;
inline constexpr uint8_t kNoData = 2;
inline constexpr uint8_t kIdNotAllowed = 3;
inline constexpr uint8_t kCharAbove255 = 4;
inline constexpr uint8_t kUnknownEncoding = 5;
inline constexpr uint8_t kBadEncoding = 6; // comment encoding above 3
inline constexpr uint8_t kBadLanguage = 7; // language character below 0x20
inline constexpr uint8_t kInvalidText = 8;
inline constexpr uint8_t kEncrypted = 9;
inline constexpr uint8_t kRemoved = 255;

// Header flags (HeaderFlags) and extended-header flags (ExtFlags, version-4 layout).
inline constexpr uint8_t kHdrUnsync = 0x80;
inline constexpr uint8_t kHdrExtended = 0x40;
inline constexpr uint8_t kHdrExperimental = 0x20;
inline constexpr uint8_t kHdrFooter = 0x10;
inline constexpr uint8_t kExtUpdate = 0x40;
inline constexpr uint8_t kExtCRC = 0x20;
inline constexpr uint8_t kExtRestrictions = 0x10;

// Frame flags in the version-4 layout, whatever the tag version.
inline constexpr uint8_t kStTagAlter = 0x40;
inline constexpr uint8_t kStFileAlter = 0x20;
inline constexpr uint8_t kStReadOnly = 0x10;
inline constexpr uint8_t kFmtGrouping = 0x40;
inline constexpr uint8_t kFmtCompression = 0x08;
inline constexpr uint8_t kFmtEncryption = 0x04;
inline constexpr uint8_t kFmtUnsync = 0x02;
inline constexpr uint8_t kFmtDataLength = 0x01;

// Text encodings of a frame's first byte; kUtf16LENoBom is internal only.
inline constexpr uint8_t kLatin1 = 0;
inline constexpr uint8_t kUtf16 = 1;
inline constexpr uint8_t kUtf16BE = 2;
inline constexpr uint8_t kUtf8 = 3;
inline constexpr uint8_t kUtf16LENoBom = 9;

// Output cap of DecompressFrame for a frame whose DataLength is 0 (not known): 16 MiB. With a
// known DataLength inflation stops there, and never goes past 0x10000000 bytes (the largest tag).
inline constexpr size_t kInflateCapUnknownLength = size_t{16} << 20;
inline constexpr size_t kInflateCapAbsolute = 0x10000000;

// Load limits. A tag holds at most kMaxFrames frames (real tags hold a few dozen; a million
// empty frames would cost ~100 bytes each in memory). Its decode budget is
// kDecodeFactor x (TagSize + 10) bytes, at least kDecodeFloor and at most kInflateCapAbsolute:
// the declared inflated lengths of its compressed frames add up to at most that, and no single
// inflation goes past it.
inline constexpr int kMaxFrames = 16384;
inline constexpr size_t kDecodeFactor = 32;
inline constexpr size_t kDecodeFloor = size_t{1} << 20;
size_t DecodeBudget(uint32_t tagSize);

// Decodes text from data[start...] : encoding 0 Latin-1, 1 UTF-16
// with byte-order mark, 2 UTF-16BE, 3 UTF-8, 9 UTF-16LE without mark. limit 0 means no limit
// (else at most limit bytes from start). multiLine affects encoding 0 only. Returns a result
// byte; consumed (when given) receives the bytes used from start, mark and terminator included.
uint8_t DecodeText(const std::vector<uint8_t> &data, size_t start, uint8_t encoding, size_t limit,
                   bool multiLine, std::string &text, size_t *consumed = nullptr);

// Decodes a text from data[start...] into UTF-8, in any of the four encodings (0 Latin-1,
// 1 UTF-16 with byte-order mark, 2 UTF-16BE, 3 UTF-8). The text ends at its terminator (a NUL
// character, not kept) or at the end of the data; every other character is kept. Malformed
// sequences (lone surrogates, bad UTF-8) give U+FFFD each. Returns kOk, kNoData (start at or
// past the end), kUnknownEncoding, or kInvalidText (encoding 1 without a mark; text empty).
// consumed (when given) receives the bytes used from start, mark and terminator included.
uint8_t DecodeTextUtf8(const std::vector<uint8_t> &data, size_t start, uint8_t encoding,
                       std::string &utf8, size_t *consumed = nullptr);

// The encoding a text needs in a tag of version (3 or 4): kLatin1 when every character is
// U+0000..U+00FF, else kUtf16 (version 3) or kUtf8 (version 4).
uint8_t EncodingFor(const std::string &utf8, uint8_t version);
// A UTF-8 text in that encoding (kLatin1, kUtf16 with mark FF FE, kUtf16BE, kUtf8), without
// terminator; characters a Latin-1 encoding cannot hold become '?'.
std::vector<uint8_t> EncodeText(const std::string &utf8, uint8_t encoding);

// Removes temporary files of an interrupted save of fileName (".NAME.mirvane-save-XXXXXX" in
// its folder, see above). Returns the number removed; files of other names are never touched.
int RemoveStaleSaveFiles(const std::string &fileName);

// The writer's and the reader's unsynchronisation (Unsynchronise, Resynchronise). Unsync inserts
// 0x00 after each 0xFF followed by 0x00 or a byte >= 0xE0; lookAhead is the byte that follows the
// stretch (-1: none, a final 0xFF gets nothing). Resync drops each 0x00 that follows 0xFF and
// precedes 0x00 or a byte >= 0xE0.
std::vector<uint8_t> UnsyncBytes(const uint8_t *p, size_t n, int lookAhead = -1);
std::vector<uint8_t> ResyncBytes(const uint8_t *p, size_t n);

// Sync-safe integers: 7 bits per byte, most significant first (read without masking).
uint32_t ReadSyncSafe32(const uint8_t *p);
void WriteSyncSafe32(uint8_t *p, uint32_t value);

// The tag CRC-32: polynomial 0xEDB88320 (reflected); the caller starts the register at
// 0xFFFFFFFF and stores the result without a final complement.
uint32_t Crc32Update(uint32_t crc, const uint8_t *p, size_t n);

} // namespace id3v2

// One frame, as it stood in the tag or as edited. Both flag pairs use the version-4 layout.
struct FrameFlags {
    uint8_t Status = 0; // 0x40 tag alter preservation, 0x20 file alter preservation, 0x10 read only
    uint8_t Format = 0; // 0x40 grouping, 0x08 compression, 0x04 encryption, 0x02 unsync, 0x01 DLI
    bool operator==(const FrameFlags &) const = default;
};

struct FrameRecord {
    bool Changed = true;
    uint32_t HeaderOffset = 0; // from the tag header's first byte
    uint32_t PlainSize = 0;    // data size before unsynchronisation was last applied
    uint32_t HeaderLength = 0; // frame header as read, extra bytes included
    std::string FrameID;       // four characters A-Z, 0-9
    FrameFlags StoredFlags;    // the data in its present form
    FrameFlags WantedFlags;    // the form the frame is to be written in
    uint32_t DataLength = 0;   // length before compression (or unsync); 0 when not known
    uint8_t EncryptionMethod = 0;
    uint8_t GroupID = 0;
    std::vector<uint8_t> Data; // without frame header and extra bytes
};

// The frames of a tag, numbered from 1 in tag order; new frames are appended.
class FrameIndex {
  public:
    int Count() const { return static_cast<int>(frames_.size()); }
    // Adds a frame with an empty data stream: the ID must be four characters, is upper-cased,
    // and each character must then be A-Z or 0-9. Returns its number, or 0 (nothing added).
    int AddFrame(const std::string &frameID);
    void DeleteFrame(int n); // keeps the order of the others
    void ClearFrames();
    // Frame n (1..Count); any other number throws std::out_of_range("Array range out of bounds.").
    FrameRecord &Frame(int n);
    const FrameRecord &Frame(int n) const;

    // Per-field access by frame number (same range rule).
    const std::string &GetFrameID(int n) const { return Frame(n).FrameID; }
    const std::vector<uint8_t> &GetData(int n) const { return Frame(n).Data; }
    FrameFlags GetStoredFlags(int n) const { return Frame(n).StoredFlags; }
    FrameFlags GetWantedFlags(int n) const { return Frame(n).WantedFlags; }
    void SetWantedFlags(int n, FrameFlags flags);
    uint32_t GetDataLength(int n) const { return Frame(n).DataLength; }
    uint8_t GetGroupID(int n) const { return Frame(n).GroupID; }
    void SetGroupID(int n, uint8_t id);
    uint8_t GetEncryptionMethod(int n) const { return Frame(n).EncryptionMethod; }
    // Replaces the data as plain data (StoredFlags format cleared, DataLength 0, Changed set).
    void SetPlainData(int n, std::vector<uint8_t> data);

  private:
    std::vector<FrameRecord> frames_;
};

// A comment record: Latin-1 strings; Language has at most 3 characters.
struct COMM {
    uint8_t Encoding = 0;
    std::string Language, Description, Text;
};

// The tag object. Fields are public under their documented names.
class Id3v2Tag {
  public:
    Id3v2Tag() = default;
    Id3v2Tag(const Id3v2Tag &) = delete;
    Id3v2Tag &operator=(const Id3v2Tag &) = delete;
    virtual ~Id3v2Tag() = default;

    // --- Fields ---
    uint8_t Version = 3;
    uint8_t Revision = 0;
    uint32_t TagSize = 0; // after a load: bytes after the header; after a save: W, header included
    uint8_t HeaderFlags = 0;
    uint8_t ExtFlags = 0;
    uint32_t PaddingSize = 0;
    uint32_t ExtHeaderSize = 0;
    uint32_t CRC = 0;
    uint8_t Restrictions = 0;
    uint16_t LoadStatus = 0;
    bool Modified = false;
    bool ReadOnlyFile = false; // not writable by this user (for root: no write bit at all)
    std::string FileName;
    uint32_t TagPosition = 0;
    bool Loaded = true;
    uint8_t Progress = 0; // 0..100
    std::string StatusText;
    FrameIndex Frames;

    // --- Options ---
    bool AcceptRevision = true;
    bool AllowFlagDrop = false;
    bool TidyFrames = true;
    uint8_t CompressionLevel = 2; // 0 none, 1 fastest, 2 zlib default, 3 best
    uint8_t PaddingMode = 1;      // 0 keep loaded padding, 1 fit, 2 always recompute (same as 1)
    uint32_t PaddingBlock = 4096;
    uint32_t PaddingLimit = 4096; // kept for the record; padding never exceeds PaddingBlock

    // --- Reading ---
    // Loads the tag whose header is expected at byte position of the file. Status above 0xFF
    // is a failure. Every load first forgets the previous file: frames cleared, header values
    // back to a new object's. Outcome for a later SaveTag:
    // - 0 (or warnings): the tag, LoadStatus = status;
    // - kNoTag (a readable file without a tag at position, or too short for one): an empty
    //   version-3 tag for this file, LoadStatus 0, so a save adds a tag before the audio;
    // - any other failure: LoadStatus = status, so SaveTag refuses (kCorrupt) until a load
    //   succeeds (frames read before a corrupt part stay readable).
    uint16_t LoadTag(const std::string &fileName, int64_t position);
    // Text of the first frame with that ID (four characters, first "T", not "TXXX").
    uint8_t GetTextFrame(const std::string &frameID, std::string &text);
    // The first COMM frame whose description equals description and, when language has exactly
    // three characters, whose language equals it.
    uint8_t GetCommentFrame(COMM &comment, const std::string &description,
                            const std::string &language);

    // --- Unicode reading and writing (UTF-8 texts) ---
    // Text of the first frame with that ID (rule of GetTextFrame), in any encoding: 0 or the
    // result of GetTextFrame's steps (1, 2, 3, 9) or of DecodeTextUtf8. The frame stays as it is.
    uint8_t GetTextFrameUtf8(const std::string &frameID, std::string &utf8) const;
    // Text of the first COMM frame with an empty description, any language: 0, 1 none, 2, 9,
    // or a decode result.
    uint8_t GetCommentTextUtf8(std::string &utf8) const;
    // Empty text removes the first frame with the ID (255); otherwise replaces its data (or
    // appends a frame) in EncodingFor(utf8, Version). Results as SetTextFrame.
    uint8_t SetTextFrameUtf8(const std::string &frameID, const std::string &utf8);
    // The first COMM frame with an empty description, any language: empty text removes it
    // (255); otherwise its text is replaced, keeping its language ("ENG" for a new frame), in
    // EncodingFor(utf8, Version). 0, 255, or 9/2 when that comment cannot be read.
    uint8_t SetCommentTextUtf8(const std::string &utf8);

    // --- Editing and writing ---
    // Empty text removes the first frame with the ID (255); otherwise replaces or appends it
    // as Latin-1 text without terminator.
    uint8_t SetTextFrame(const std::string &frameID, const std::string &text);
    uint8_t SetCommentFrame(const COMM &comment, const std::string &description,
                            const std::string &language);
    // Writes the tag into fileName ("=": FileName) at position (negative: TagPosition for "=",
    // else 0) as version.revision (0xFF: the object's). Status above 0xFF is a failure; the
    // file is then unchanged. Removes stale temporary files of fileName first.
    uint16_t SaveTag(const std::string &fileName, uint8_t version, uint8_t revision,
                     int64_t position);

    // --- Frame data transforms, by frame number; 0 on success ---
    int Resynchronise(int n); // -1 when not stored unsynchronised
    int
    DecompressFrame(int n); // 2 unsync, 1 encrypted, -1 not compressed, -2 length differs, 4 failed
    int Unsynchronise(int n); // -1 when already unsynchronised
    int CompressFrame(int n); // -1 compressed, 1 encrypted, 2 unsync, 4 failed

    // --- Flag setters; each sets Modified ---
    void SetUnsynchronisation(bool on) { SetHeaderFlag(id3v2::kHdrUnsync, on); }
    void SetExtendedHeader(bool on) { SetHeaderFlag(id3v2::kHdrExtended, on); }
    void SetExperimental(bool on) { SetHeaderFlag(id3v2::kHdrExperimental, on); }
    void SetFooter(bool on) { SetHeaderFlag(id3v2::kHdrFooter, on); }
    void SetTagIsUpdate(bool on) { SetExtFlag(id3v2::kExtUpdate, on); }
    void SetCRCPresent(bool on) { SetExtFlag(id3v2::kExtCRC, on); }
    void SetRestricted(bool on) { SetExtFlag(id3v2::kExtRestrictions, on); }

  private:
    void SetHeaderFlag(uint8_t bit, bool on);
    void SetExtFlag(uint8_t bit, bool on);
    // A copy of frame n's data in plain form (resynchronised, inflated within the decode
    // budget): 0, 9 encrypted, 2 no data. The frame itself is not changed.
    uint8_t PlainCopy(int n, std::vector<uint8_t> &out, bool *inflateFailed = nullptr) const;
    // PlainCopy of the first frame frameID names: 0, or the id refused, no such frame, or
    // PlainCopy's result.
    uint8_t TextFrameCopy(const std::string &frameID, std::vector<uint8_t> &d,
                          bool *inflateFailed) const;
    // First COMM frame with an empty description in any encoding: its number (0 none), plain
    // data and text offset; result 0, or 9/2 when a COMM frame before it cannot be read.
    int FindEmptyDescriptionComment(std::vector<uint8_t> &data, size_t &textOffset,
                                    uint8_t &result) const;
    uint16_t LoadTagImpl(const std::string &fileName, int64_t position);
    // DecodeBudget of the loaded tag (of an empty tag before the first load).
    size_t decodeBudget_ = id3v2::kDecodeFloor;
    // HeaderFlags as the last load read them (or the last save wrote them): a flag the caller
    // turned on since then is a request for every frame.
    uint8_t headerFlagsAsRead_ = 0;
    // Finds the COMM frame matching description/language; returns the result of the search
    // (0 found, 1 none, or the error that ended it), the frame number, its plain data and the
    // text offset.
    uint8_t FindComment(const std::string &description, const std::string &language, int &frame,
                        std::vector<uint8_t> &data, size_t &textOffset) const;
    // Steps of SaveTag: the frame transforms a save needs (0 or a status word), the bytes of
    // the whole new tag for a file of fileSize bytes whose old tag takes oldSize bytes.
    uint16_t PrepareFramesForSave(uint8_t version, uint16_t &warnings);
    struct Rendered {
        std::vector<uint8_t> bytes; // header, extended header, frames, padding
        uint32_t padding = 0, crc = 0, extHeaderSize = 0;
        std::vector<uint32_t> frameOffsets, frameHeaderLengths;
    };
    Rendered RenderTag(uint8_t version, uint64_t fileSize, uint64_t oldSize) const;
    uint16_t SaveTagImpl(const std::string &fileName, uint8_t version, uint8_t revision,
                         int64_t position);
};
