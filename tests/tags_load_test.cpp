// LoadTag: header checks, sizes, flags, extended headers, padding, the ring
// reader and the bounds every size read from a file is checked against.

#include "tags/id3v2.h"
#include "tags_test_util.h"

#include <algorithm>

#include <zlib.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tagtest;
using namespace id3v2;

namespace {

// Loads bytes written to a temporary file.
struct Loaded {
    TempDir dir;
    Id3v2Tag tag;
    uint16_t status = 0;
    std::string path;
    explicit Loaded(const Bytes &file, int64_t position = 0) {
        path = dir.file("song.mp3");
        WriteFile(path, file);
        status = tag.LoadTag(path, position);
    }
};

std::string DataText(const Id3v2Tag &tag, int n) {
    const Bytes &d = tag.Frames.GetData(n);
    return std::string(d.begin(), d.end());
}

} // namespace

TEST(LoadTag, MissingFileGives0100) {
    TempDir dir;
    Id3v2Tag tag;
    EXPECT_EQ(tag.LoadTag(dir.file("absent.mp3"), 0), kNoFile);
    EXPECT_TRUE(tag.FileName.empty());
}

TEST(LoadTag, FolderGives0100) {
    TempDir dir;
    Id3v2Tag tag;
    EXPECT_EQ(tag.LoadTag(dir.path().string(), 0), kNoFile);
}

TEST(LoadTag, NineByteFileHasNoTag) {
    Loaded l(Str("ID3\x03\x00\x00\x00\x00\x00"));
    EXPECT_EQ(l.status, kNoTag);
    EXPECT_FALSE(l.tag.Loaded);
    EXPECT_EQ(l.tag.StatusText, "Loading tag");
    EXPECT_EQ(l.tag.FileName, l.path); // set once the file is open and the position inside it
}

TEST(LoadTag, FileStartingWithID4HasNoTag) {
    Loaded l(Cat({Str("ID4"), {3, 0, 0, 0, 0, 0, 0}, Audio(100)}));
    EXPECT_EQ(l.status, kNoTag);
}

TEST(LoadTag, SizeByteWithTopBitHasNoTag) {
    // "ID3", v3.0, flags 0, size 00 00 00 80: not sync-safe.
    Loaded l(Cat({Str("ID3"), {3, 0, 0, 0x00, 0x00, 0x00, 0x80}, Bytes(200)}));
    EXPECT_EQ(l.status, kNoTag);
}

TEST(LoadTag, VersionTwoGives1100AndSetsVersion) {
    Loaded l(Cat({Header(2, 0, 10), Bytes(10)}));
    EXPECT_EQ(l.status, kBadVersion);
    EXPECT_EQ(l.tag.Version, 2);
    EXPECT_EQ(l.tag.LoadStatus, kBadVersion); // a save refuses until a load succeeds
}

TEST(LoadTag, VersionFiveGives1100) {
    Loaded l(Cat({Header(5, 0, 10), Bytes(10)}));
    EXPECT_EQ(l.status, kBadVersion);
}

TEST(LoadTag, NonZeroRevisionWarnsWhenAccepted) {
    const Bytes body = Frame3("TIT2", Latin1Text("x"));
    Loaded l(Cat({Header(3, 0, static_cast<uint32_t>(body.size()), /*revision*/ 1), body}));
    EXPECT_EQ(l.status, kWarnRevision);
    EXPECT_EQ(l.tag.Revision, 1);
}

TEST(LoadTag, NonZeroRevisionGives1100WhenNotAccepted) {
    TempDir dir;
    const Bytes body = Frame3("TIT2", Latin1Text("x"));
    WriteFile(dir.file("a.mp3"), Cat({Header(3, 0, static_cast<uint32_t>(body.size()), 1), body}));
    Id3v2Tag tag;
    tag.AcceptRevision = false;
    EXPECT_EQ(tag.LoadTag(dir.file("a.mp3"), 0), kBadVersion);
}

TEST(LoadTag, PositionAtEndOfFileGives0800) {
    Loaded l(Bytes(20), 20);
    EXPECT_EQ(l.status, kBeyondEnd);
    EXPECT_TRUE(l.tag.FileName.empty());
}

TEST(LoadTag, TagAtPositionInsideFile) {
    const Bytes tag = Tag(3, 0, Frame3("TIT2", Latin1Text("Inside")), 10);
    Loaded l(Cat({Bytes(100, 0x55), tag, Audio(50)}), 100);
    ASSERT_EQ(l.status, 0);
    EXPECT_EQ(l.tag.TagPosition, 100u);
    std::string text;
    EXPECT_EQ(l.tag.GetTextFrame("TIT2", text), kOk);
    EXPECT_EQ(text, "Inside");
}

TEST(LoadTag, TagLongerThanFileGives2000AndStoresIt) {
    // Header claims 1000 body bytes; 20 follow.
    Loaded l(Cat({Header(3, 0, 1000), Bytes(20)}));
    EXPECT_EQ(l.status, kFileTooShort);
    EXPECT_EQ(l.tag.LoadStatus, kFileTooShort);
    EXPECT_TRUE(l.tag.Loaded);
    EXPECT_EQ(l.tag.StatusText, "Load Complete");
    EXPECT_EQ(l.tag.Progress, 100);
}

TEST(LoadTag, TagClaiming256MBInSmallFileIsRefusedBeforeReading) {
    // Sync-safe 7F 7F 7F 7F: 0x0FFFFFFF body bytes claimed, 1 KB present.
    Loaded l(Cat({Str("ID3"), {3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}, Bytes(1024)}));
    EXPECT_EQ(l.status, kFileTooShort);
    EXPECT_EQ(l.tag.Frames.Count(), 0);
}

TEST(LoadTag, FrameClaimingMoreThanTagIsCorrupt) {
    // v3 frame TIT2 claims 0x7FFFFFFF bytes inside a 30-byte tag.
    const Bytes body =
        Cat({Str("TIT2"), {0x7F, 0xFF, 0xFF, 0xFF}, {0, 0}, Latin1Text("abc"), Bytes(16)});
    Loaded l(Cat({Header(3, 0, static_cast<uint32_t>(body.size())), body}));
    EXPECT_EQ(l.status, kCorrupt);
    EXPECT_EQ(l.tag.Frames.Count(), 0); // the frame was not read whole
}

TEST(LoadTag, V3FrameEndingBeyond256MBIsCorruptWithoutAllocating) {
    // A sparse file holding the largest tag: body 0x0FFFFFFF bytes; the first frame fills it
    // to the last byte, so it ends 9 bytes past 0x10000000 from the tag start.
    TempDir dir;
    const std::string path = dir.file("huge.mp3");
    const uint32_t body = 0x0FFFFFFF;
    const Bytes head =
        Cat({Str("ID3"), {3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}, Str("APIC"), BE32(body - 10), {0, 0}});
    WriteFile(path, head);
    ASSERT_EQ(::truncate(path.c_str(), 10 + off_t{body}), 0);
    Id3v2Tag tag;
    EXPECT_EQ(tag.LoadTag(path, 0), kCorrupt);
}

TEST(LoadTag, V3FrameFieldsAndOffsets) {
    const Bytes f1 = Frame3("TIT2", Latin1Text("Title"));
    const Bytes f2 = Frame3("TPE1", Latin1Text("Artist"), 0xE0, 0x00);
    Loaded l(Tag(3, 0, Cat({f1, f2}), 20));
    ASSERT_EQ(l.status, 0);
    EXPECT_EQ(l.tag.Version, 3);
    EXPECT_EQ(l.tag.TagSize, f1.size() + f2.size() + 20);
    ASSERT_EQ(l.tag.Frames.Count(), 2);
    EXPECT_EQ(l.tag.Frames.GetFrameID(1), "TIT2");
    EXPECT_EQ(l.tag.Frames.Frame(1).HeaderOffset, 10u);
    EXPECT_EQ(l.tag.Frames.Frame(1).HeaderLength, 10u);
    EXPECT_EQ(l.tag.Frames.Frame(2).HeaderOffset, 10u + f1.size());
    EXPECT_EQ(DataText(l.tag, 2), std::string("\0Artist", 7));
    // v3 status 0xE0 shifted right: tag alter 0x40, file alter 0x20, read only 0x10.
    EXPECT_EQ(l.tag.Frames.GetStoredFlags(2).Status, 0x70);
    EXPECT_EQ(l.tag.Frames.GetWantedFlags(2), l.tag.Frames.GetStoredFlags(2));
    EXPECT_EQ(l.tag.PaddingSize, 20u);
    EXPECT_TRUE(l.tag.Loaded);
    EXPECT_EQ(l.tag.Progress, 100);
    EXPECT_EQ(l.tag.StatusText, "Load Complete");
    EXPECT_FALSE(l.tag.Modified);
}

TEST(LoadTag, V3FormatFlagsConvertWithExtraBytesInOrder) {
    // v3 format byte 0xE0: compression 0x80, encryption 0x40, grouping 0x20. Extra bytes:
    // decompressed size 00 00 01 00, encryption method 0x05, group 0x09.
    const Bytes extra = {0x00, 0x00, 0x01, 0x00, 0x05, 0x09};
    Loaded l(Tag(3, 0, Frame3("TIT2", Str("zz"), 0x00, 0xE0, extra), 4));
    ASSERT_EQ(l.status, 0);
    const FrameRecord &f = l.tag.Frames.Frame(1);
    EXPECT_EQ(f.StoredFlags.Format,
              kFmtGrouping | kFmtCompression | kFmtEncryption | kFmtDataLength);
    EXPECT_EQ(f.DataLength, 256u);
    EXPECT_EQ(f.EncryptionMethod, 5);
    EXPECT_EQ(f.GroupID, 9);
    EXPECT_EQ(f.HeaderLength, 16u);
    EXPECT_EQ(f.Data, Str("zz"));
}

TEST(LoadTag, V4ExtraBytesInOrderGroupingEncryptionLength) {
    // v4 format 0x45: grouping, encryption, data length indicator; extra 07, 03, sync-safe 2.
    const Bytes extra = {0x07, 0x03, 0x00, 0x00, 0x00, 0x02};
    Loaded l(Tag(4, 0, Frame4("TIT2", Str("ab"), 0x00, 0x45, extra), 4));
    ASSERT_EQ(l.status, 0);
    const FrameRecord &f = l.tag.Frames.Frame(1);
    EXPECT_EQ(f.GroupID, 7);
    EXPECT_EQ(f.EncryptionMethod, 3);
    EXPECT_EQ(f.DataLength, 2u);
    EXPECT_EQ(f.StoredFlags.Format, 0x45);
}

TEST(LoadTag, V4FrameSize0201Holds257BytesAndV3Means513) {
    const Bytes data(513, 'a');
    // v4 header: TIT2, size 00 00 02 01 (sync-safe 257), flags 00 00.
    const Bytes v4 = Cat({Str("TIT2"), {0x00, 0x00, 0x02, 0x01}, {0, 0}, data});
    Loaded l4(Cat({Header(4, 0, static_cast<uint32_t>(v4.size())), v4}));
    ASSERT_EQ(l4.tag.Frames.Count(), 1);
    EXPECT_EQ(l4.tag.Frames.GetData(1).size(), 257u);
    // v3 header: the same size bytes are big-endian 513.
    const Bytes v3 = Cat({Str("TIT2"), {0x00, 0x00, 0x02, 0x01}, {0, 0}, data});
    Loaded l3(Cat({Header(3, 0, static_cast<uint32_t>(v3.size())), v3}));
    ASSERT_EQ(l3.status, 0);
    EXPECT_EQ(l3.tag.Frames.GetData(1).size(), 513u);
}

TEST(LoadTag, UnsyncV3DropsStuffedZero) {
    // Header flag 0x80. Frame data as stored: 00 'a' FF 00 00 'b' FF 00 41.
    const Bytes stored = {0x00, 'a', 0xFF, 0x00, 0x00, 'b', 0xFF, 0x00, 0x41};
    const Bytes frame = Cat({Str("TIT2"), BE32(8), {0, 0}, stored});
    Loaded l(Tag(3, 0x80, frame, 8));
    ASSERT_EQ(l.status, 0);
    // FF 00 00 became FF 00; FF 00 41 stayed.
    EXPECT_EQ(l.tag.Frames.GetData(1), (Bytes{0x00, 'a', 0xFF, 0x00, 'b', 0xFF, 0x00, 0x41}));
    EXPECT_EQ(l.tag.HeaderFlags, kHdrUnsync);
    EXPECT_EQ(l.tag.Frames.GetStoredFlags(1).Format, 0); // the tag, not the frame, was unsynced
}

TEST(LoadTag, UnsyncV3BodyLargerThanRingMatchesWholeBodyDecoding) {
    // 200000 bytes of frame data full of FF 00 / FF E0 pairs, unsynchronised as a whole, so that
    // stuffed zeros fall on the ring's top-up boundaries.
    Bytes data = Audio(200000, 7);
    for (size_t i = 16380; i < data.size(); i += 16384) {
        data[i] = 0xFF;
        data[i + 1] = 0xE0;
        data[i + 2] = 0xFF;
        data[i + 3] = 0x00;
    }
    const Bytes plain = Frame3("APIC", data);
    const Bytes stored = UnsyncBytes(plain.data(), plain.size(), 0x00);
    Loaded l(Cat({Tag(3, 0x80, stored, 100), Audio(1000, 3)}));
    ASSERT_EQ(l.status, 0);
    ASSERT_EQ(l.tag.Frames.Count(), 1);
    EXPECT_EQ(l.tag.Frames.GetData(1), data);
}

TEST(LoadTag, LargeFramesReadThroughTheRing) {
    const Bytes picture = Audio(300000, 5);
    const Bytes body = Cat({Frame4("TIT2", Latin1Text("Big")), Frame4("APIC", picture),
                            Frame4("TALB", Latin1Text("After"))});
    Loaded l(Cat({Tag(4, 0, body, 3000), Audio(5000)}));
    ASSERT_EQ(l.status, 0);
    ASSERT_EQ(l.tag.Frames.Count(), 3);
    EXPECT_EQ(l.tag.Frames.GetData(2), picture);
    std::string text;
    EXPECT_EQ(l.tag.GetTextFrame("TALB", text), kOk);
    EXPECT_EQ(text, "After");
    EXPECT_EQ(l.tag.PaddingSize, 3000u);
}

TEST(LoadTag, FirstFrameHeaderOfZerosIsAllPadding) {
    Loaded l(Tag(3, 0, {}, 64));
    EXPECT_EQ(l.status, 0);
    EXPECT_EQ(l.tag.Frames.Count(), 0);
    EXPECT_EQ(l.tag.PaddingSize, 64u);
}

TEST(LoadTag, MP3eMarksPadding) {
    const Bytes body = Cat({Frame3("TIT2", Latin1Text("x")), Str("MP3ext 3.3"), Bytes(6)});
    Loaded l(Tag(3, 0, body));
    EXPECT_EQ(l.status, 0);
    EXPECT_EQ(l.tag.Frames.Count(), 1);
    EXPECT_EQ(l.tag.PaddingSize, 16u);
}

TEST(LoadTag, FrameHeaderEndingTagWithoutPaddingIsCorrupt) {
    // One frame, then four stray bytes: a header that runs into the end of the tag.
    const Bytes body = Cat({Frame3("TIT2", Latin1Text("x")), Str("TALB")});
    Loaded l(Tag(3, 0, body));
    EXPECT_EQ(l.status, kCorrupt);
    EXPECT_EQ(l.tag.Frames.Count(), 1); // frames read before the error stay
}

TEST(LoadTag, LowercaseIdIsStoredUpperCase) {
    Loaded l(Tag(3, 0, Frame3("tit2", Latin1Text("x")), 10));
    ASSERT_EQ(l.status, 0);
    EXPECT_EQ(l.tag.Frames.GetFrameID(1), "TIT2");
}

TEST(LoadTag, IdWithHyphenGives2100) {
    Loaded l(
        Tag(3, 0, Cat({Frame3("TALB", Latin1Text("kept")), Frame3("TI-2", Latin1Text("x"))}), 10));
    EXPECT_EQ(l.status, kBadFrameID);
    EXPECT_EQ(l.tag.LoadStatus, kBadFrameID);
    EXPECT_EQ(l.tag.Frames.Count(), 1);
}

TEST(LoadTag, UndefinedHeaderFlagsWarn) {
    Loaded v3(Tag(3, 0x01, Frame3("TIT2", Latin1Text("x")), 4));
    EXPECT_EQ(v3.status, kWarnHeaderFlags);
    EXPECT_EQ(v3.tag.HeaderFlags, 0);
    // In version 4, 0x10 (footer) is defined, 0x08 is not.
    Loaded v4(Tag(4, 0x08, Frame4("TIT2", Latin1Text("x")), 4));
    EXPECT_EQ(v4.status, kWarnHeaderFlags);
    Loaded v3footer(Tag(3, 0x10, Frame3("TIT2", Latin1Text("x")), 4));
    EXPECT_EQ(v3footer.status, kWarnHeaderFlags);
    EXPECT_EQ(v3footer.tag.HeaderFlags, 0);
}

TEST(LoadTag, V3ExtendedHeaderWithCRC) {
    // Extended header: size 00 00 00 0A, flags 80 00 (CRC), padding size 00 00 00 08,
    // CRC 12 34 56 78.
    const Bytes ext = {0, 0, 0, 0x0A, 0x80, 0x00, 0, 0, 0, 8, 0x12, 0x34, 0x56, 0x78};
    Loaded l(Tag(3, 0x40, Cat({ext, Frame3("TIT2", Latin1Text("x"))}), 8));
    ASSERT_EQ(l.status, 0);
    EXPECT_EQ(l.tag.ExtHeaderSize, 10u);
    EXPECT_EQ(l.tag.ExtFlags, kExtCRC);
    EXPECT_EQ(l.tag.CRC, 0x12345678u);
    EXPECT_EQ(l.tag.PaddingSize, 8u);
    EXPECT_EQ(l.tag.Frames.Count(), 1);
}

TEST(LoadTag, V3ExtendedHeaderPaddingDisagreementWarnsAndKeepsItsValue) {
    // Extended header: size 6, flags 00 01 (undefined bit), padding size 100; 8 bytes follow.
    const Bytes ext = {0, 0, 0, 6, 0x00, 0x01, 0, 0, 0, 100};
    Loaded l(Tag(3, 0x40, Cat({ext, Frame3("TIT2", Latin1Text("x"))}), 8));
    EXPECT_EQ(l.status, kWarnPadding | kWarnExtFlags);
    EXPECT_EQ(l.tag.PaddingSize, 100u);
    EXPECT_EQ(l.tag.CRC, 0u);
}

TEST(LoadTag, V4ExtendedHeaderWithAllItems) {
    // Size 00 00 00 0F (15), one flag byte 0x70, update item (length 0), CRC item (length 5,
    // 35-bit 01 02 03 04 05), restrictions item (length 1, 0x42).
    const Bytes ext = {0, 0, 0, 15, 0x01, 0x70, 0x00, 0x05, 1, 2, 3, 4, 5, 0x01, 0x42};
    Loaded l(Tag(4, 0x40, Cat({ext, Frame4("TIT2", Latin1Text("x"))}), 8));
    ASSERT_EQ(l.status, 0);
    EXPECT_EQ(l.tag.ExtHeaderSize, 15u);
    EXPECT_EQ(l.tag.ExtFlags, kExtUpdate | kExtCRC | kExtRestrictions);
    EXPECT_EQ(l.tag.CRC, 1u * 0x10000000u + 2u * 0x200000u + 3u * 0x4000u + 4u * 0x80u + 5u);
    EXPECT_EQ(l.tag.Restrictions, 0x42);
    EXPECT_EQ(l.tag.Frames.Count(), 1);
    EXPECT_EQ(l.tag.PaddingSize, 8u);
}

TEST(LoadTag, V4ExtendedHeaderErrors) {
    const Bytes frame = Frame4("TIT2", Latin1Text("x"));
    // Size 5: below the minimum of 6.
    Loaded small(Tag(4, 0x40, Cat({{0, 0, 0, 5, 1, 0}, frame}), 8));
    EXPECT_EQ(small.status, kCorrupt);
    // No flag bytes.
    Loaded noFlags(Tag(4, 0x40, Cat({{0, 0, 0, 6, 0, 0}, frame}), 8));
    EXPECT_EQ(noFlags.status, kCorrupt);
    // CRC item with length 4.
    Loaded shortCrc(Tag(4, 0x40, Cat({{0, 0, 0, 11, 1, 0x20, 4, 1, 2, 3, 4}, frame}), 8));
    EXPECT_EQ(shortCrc.status, kCorrupt);
    // Size larger than the tag.
    Loaded huge(Tag(4, 0x40, Cat({{0, 0, 0x7F, 0, 1, 0}, frame}), 8));
    EXPECT_EQ(huge.status, kCorrupt);
    // Two flag bytes and an undefined bit: warning 0x40 only.
    Loaded two(Tag(4, 0x40, Cat({{0, 0, 0, 7, 2, 0x01, 0x00}, frame}), 8));
    EXPECT_EQ(two.status, kWarnExtFlags);
    EXPECT_EQ(two.tag.Frames.Count(), 1);
}

TEST(LoadTag, EveryLoadForgetsThePreviousFilesFrames) {
    TempDir dir;
    // The previous file holds private frames: TXXX "key" = "secret" and a PRIV frame.
    WriteFile(dir.file("tagged.mp3"),
              Tag(3, 0,
                  Cat({Frame3("TIT2", Latin1Text("Old")),
                       Frame3("TXXX", Cat({{0}, Str("key"), {0}, Str("secret")})),
                       Frame3("PRIV", Cat({Str("owner"), {0}, {1, 2, 3}}))}),
                  10));
    const Bytes plainAudio = Audio(500);
    WriteFile(dir.file("plain.mp3"), plainAudio);
    // "ID3" v3 header over a frame whose ID has a hyphen: a tag that fails to load.
    const Bytes broken = Cat({Tag(3, 0, Frame3("TI-2", Latin1Text("x")), 10), Audio(300)});
    WriteFile(dir.file("broken.mp3"), broken);

    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(dir.file("tagged.mp3"), 0), 0);
    // A readable file without a tag is an empty tag of its own: saving adds only what is set.
    EXPECT_EQ(tag.LoadTag(dir.file("plain.mp3"), 0), kNoTag);
    EXPECT_EQ(tag.FileName, dir.file("plain.mp3"));
    EXPECT_EQ(tag.LoadStatus, 0);
    EXPECT_EQ(tag.Frames.Count(), 0);
    std::string text;
    EXPECT_EQ(tag.GetTextFrame("TIT2", text), kNoSuchFrame);
    ASSERT_EQ(tag.SetTextFrame("TIT2", "New"), kOk);
    ASSERT_LE(tag.SaveTag("=", 0xFF, 0xFF, -1), 0xFF);
    Id3v2Tag check;
    ASSERT_EQ(check.LoadTag(dir.file("plain.mp3"), 0), 0);
    ASSERT_EQ(check.Frames.Count(), 1);
    EXPECT_EQ(check.Frames.GetFrameID(1), "TIT2");
    const Bytes saved = ReadFile(dir.file("plain.mp3"));
    EXPECT_TRUE(std::equal(plainAudio.begin(), plainAudio.end(), saved.end() - 500));

    // A tag that fails to load leaves nothing to save: the file stays as it is.
    ASSERT_EQ(tag.LoadTag(dir.file("tagged.mp3"), 0), 0);
    EXPECT_EQ(tag.LoadTag(dir.file("broken.mp3"), 0), kBadFrameID);
    EXPECT_EQ(tag.Frames.Count(), 0);
    tag.SetTextFrame("TIT2", "Typed");
    EXPECT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), kCorrupt);
    EXPECT_EQ(ReadFile(dir.file("broken.mp3")), broken);
}

TEST(LoadTag, ReadOnlyFileIsNoted) {
    Loaded l(Tag(3, 0, Frame3("TIT2", Latin1Text("x")), 10));
    EXPECT_FALSE(l.tag.ReadOnlyFile);
    ASSERT_EQ(::chmod(l.path.c_str(), 0444), 0);
    Id3v2Tag tag;
    EXPECT_EQ(tag.LoadTag(l.path, 0), 0);
    EXPECT_TRUE(tag.ReadOnlyFile);
}

TEST(LoadTag, V4FooterIsNotedAndNotRead) {
    const Bytes frame = Frame4("TIT2", Latin1Text("x"));
    const Bytes footer =
        Cat({Str("3DI"), {4, 0, 0x10}, SyncSafe(static_cast<uint32_t>(frame.size()))});
    Loaded l(Cat({Tag(4, 0x10, frame), footer, Audio(100)}));
    EXPECT_EQ(l.status, 0);
    EXPECT_EQ(l.tag.HeaderFlags, kHdrFooter);
    EXPECT_EQ(l.tag.Frames.Count(), 1);
}

TEST(LoadTag, TagsOverTheFrameCountOrDecodeBudgetFailWithAStatus) {
    TempDir dir;
    // More frames than kMaxFrames: each an 11-byte TXXX holding one byte.
    Bytes many;
    for (int i = 0; i <= kMaxFrames; ++i) {
        const Bytes f = Frame3("TXXX", {0x00});
        many.insert(many.end(), f.begin(), f.end());
    }
    WriteFile(dir.file("many.mp3"), Cat({Tag(3, 0, many, 10), Audio(100)}));
    Id3v2Tag tag;
    EXPECT_EQ(tag.LoadTag(dir.file("many.mp3"), 0), kOverLimit);
    EXPECT_EQ(tag.LoadStatus, kOverLimit);
    tag.SetTextFrame("TIT2", "x");
    EXPECT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), kCorrupt); // such a load leaves nothing to save

    // Compressed version-3 frames declaring 600 MB of text in a tag of a few hundred bytes:
    // ID, size, flags 00 80 (compression), decompressed size, then a few bytes of data.
    Bytes claims;
    for (int i = 0; i < 10; ++i) {
        const Bytes f = Frame3("TIT2", {0x78, 0x9C, 0x03, 0x00}, 0, 0x80, BE32(60u << 20));
        claims.insert(claims.end(), f.begin(), f.end());
    }
    WriteFile(dir.file("claims.mp3"), Tag(3, 0, claims, 10));
    EXPECT_EQ(tag.LoadTag(dir.file("claims.mp3"), 0), kOverLimit);

    // A version-4 compressed frame without a declared length whose data inflates to 64 MB:
    // reading it stops at the tag's decode budget instead of inflating it all.
    std::vector<uint8_t> zeros(64u << 20, 'z');
    uLongf len = compressBound(static_cast<uLong>(zeros.size()));
    Bytes packed(len);
    ASSERT_EQ(compress2(packed.data(), &len, zeros.data(), zeros.size(), 9), Z_OK);
    packed.resize(len);
    zeros = {};
    WriteFile(dir.file("bomb.mp3"), Tag(4, 0, Frame4("TIT2", packed, 0, kFmtCompression), 10));
    ASSERT_EQ(tag.LoadTag(dir.file("bomb.mp3"), 0), 0);
    std::string text;
    EXPECT_EQ(tag.GetTextFrameUtf8("TIT2", text), kInvalidText);
    EXPECT_EQ(tag.DecompressFrame(1), 4); // over the budget: the frame stays as it was
    EXPECT_EQ(tag.Frames.GetData(1), packed);
}
