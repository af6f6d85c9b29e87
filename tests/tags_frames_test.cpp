// Reading frames: text decoding, GetTextFrame, GetCommentFrame, the frame index
// and the data transforms, on tags built in memory or loaded from bytes.

#include "tags/id3v2.h"
#include "tags_test_util.h"

#include <gtest/gtest.h>

#include <zlib.h>

using namespace tagtest;
using namespace id3v2;

namespace {

std::string Decode(const Bytes &d, uint8_t encoding, bool multiLine, uint8_t *result,
                   size_t *consumed = nullptr, size_t start = 0) {
    std::string text;
    *result = DecodeText(d, start, encoding, 0, multiLine, text, consumed);
    return text;
}

// A tag object holding one frame with the given data and flags (stored = wanted).
int AddRawFrame(Id3v2Tag &tag, const std::string &id, const Bytes &data, uint8_t format = 0,
                uint32_t dataLength = 0) {
    const int n = tag.Frames.AddFrame(id);
    FrameRecord &f = tag.Frames.Frame(n);
    f.Data = data;
    f.StoredFlags.Format = format;
    f.WantedFlags.Format = format;
    f.DataLength = dataLength;
    return n;
}

Bytes Zlib(const Bytes &plain) {
    uLongf len = compressBound(static_cast<uLong>(plain.size()));
    Bytes out(len);
    compress2(out.data(), &len, plain.data(), static_cast<uLong>(plain.size()), 6);
    out.resize(len);
    return out;
}

} // namespace

// --- DecodeText ---

TEST(DecodeText, Latin1CopiesBytesAndKeepsTheTerminator) {
    uint8_t r = 0;
    size_t used = 0;
    // 'A' 0xE9 0xFF NUL 'B': the NUL ends the text and stays as its last character.
    EXPECT_EQ(Decode({'A', 0xE9, 0xFF, 0x00, 'B'}, kLatin1, false, &r, &used),
              std::string("A\xE9\xFF\0", 4));
    EXPECT_EQ(r, kOk);
    EXPECT_EQ(used, 4u);
}

TEST(DecodeText, Latin1TabEmptiesSingleLineText) {
    uint8_t r = 0;
    EXPECT_EQ(Decode({'a', 0x09, 'b'}, kLatin1, false, &r), "");
    EXPECT_EQ(r, kInvalidText);
}

TEST(DecodeText, Latin1LineBreakEndsSingleLineButNotMultiLine) {
    uint8_t r = 0;
    EXPECT_EQ(Decode({'a', 0x0D, 0x0A, 'b'}, kLatin1, false, &r), "a\r");
    EXPECT_EQ(r, kOk);
    EXPECT_EQ(Decode({'a', 0x0D, 0x0A, 'b', 0x09, 'c'}, kLatin1, true, &r), "a\r\nb\t");
    EXPECT_EQ(r, kOk); // any other control byte ends multi-line text without error
}

TEST(DecodeText, LengthLimitStopsLatin1) {
    std::string text;
    EXPECT_EQ(DecodeText({'a', 'b', 'c', 'd'}, 1, kLatin1, 2, false, text), kOk);
    EXPECT_EQ(text, "bc");
}

TEST(DecodeText, Utf16WithLittleEndianMark) {
    uint8_t r = 0;
    size_t used = 0;
    // FF FE, 'H' 00, 'i' 00, 00 00 (terminator, not kept), 'x' 00.
    EXPECT_EQ(Decode({0xFF, 0xFE, 'H', 0, 'i', 0, 0, 0, 'x', 0}, kUtf16, false, &r, &used), "Hi");
    EXPECT_EQ(r, kOk);
    EXPECT_EQ(used, 8u);
}

TEST(DecodeText, Utf16WithBigEndianMarkAndLatin1Character) {
    uint8_t r = 0;
    // FE FF, 00 E9 (é).
    EXPECT_EQ(Decode({0xFE, 0xFF, 0x00, 0xE9}, kUtf16, false, &r), "\xE9");
    EXPECT_EQ(r, kOk);
}

TEST(DecodeText, Utf16WithoutMarkIsInvalid) {
    uint8_t r = 0;
    EXPECT_EQ(Decode({'H', 0, 'i', 0}, kUtf16, false, &r), "");
    EXPECT_EQ(r, kInvalidText);
}

TEST(DecodeText, Utf16CharacterAboveFFKeepsTextSoFar) {
    uint8_t r = 0;
    // FF FE, 'A' 00, U+0416 as 16 04, 'B' 00.
    EXPECT_EQ(Decode({0xFF, 0xFE, 'A', 0, 0x16, 0x04, 'B', 0}, kUtf16, false, &r), "A");
    EXPECT_EQ(r, kCharAbove255);
}

TEST(DecodeText, Utf16LineBreakEmptiesTextEvenMultiLine) {
    uint8_t r = 0;
    EXPECT_EQ(Decode({0xFF, 0xFE, 'A', 0, 0x0A, 0}, kUtf16, true, &r), "");
    EXPECT_EQ(r, kInvalidText);
}

TEST(DecodeText, Utf16BigEndianWithoutMarkAndInternalLittleEndian) {
    uint8_t r = 0;
    EXPECT_EQ(Decode({0, 'O', 0, 'k'}, kUtf16BE, false, &r), "Ok");
    EXPECT_EQ(Decode({'O', 0, 'k', 0}, kUtf16LENoBom, false, &r), "Ok");
    EXPECT_EQ(r, kOk);
}

TEST(DecodeText, Utf8TwoByteLatin1AndStrayContinuation) {
    uint8_t r = 0;
    // 'a', C3 A9 (é), C2 A0 (no-break space), stray 0xBF (low six bits 0x3F '?').
    EXPECT_EQ(Decode({'a', 0xC3, 0xA9, 0xC2, 0xA0, 0xBF}, kUtf8, false, &r), "a\xE9\xA0?");
    EXPECT_EQ(r, kOk);
}

TEST(DecodeText, Utf8LeadAboveC3StopsWithTextSoFar) {
    uint8_t r = 0;
    EXPECT_EQ(Decode({'a', 0xD0, 0x96}, kUtf8, false, &r), "a");
    EXPECT_EQ(r, kCharAbove255);
}

TEST(DecodeText, Utf8CutSequenceKeepsTextSoFar) {
    uint8_t r = 0;
    EXPECT_EQ(Decode({'a', 'b', 0xC3}, kUtf8, false, &r), "ab");
    EXPECT_EQ(r, kInvalidText);
}

TEST(DecodeText, Utf8NulStaysOtherControlEmpties) {
    uint8_t r = 0;
    EXPECT_EQ(Decode({'a', 0x00, 'b'}, kUtf8, false, &r), std::string("a\0", 2));
    EXPECT_EQ(r, kOk);
    EXPECT_EQ(Decode({'a', 0x0A, 'b'}, kUtf8, true, &r), "");
    EXPECT_EQ(r, kInvalidText);
}

TEST(DecodeText, UnknownEncodingAndStartPastEnd) {
    uint8_t r = 0;
    EXPECT_EQ(Decode({'a'}, 4, false, &r), "");
    EXPECT_EQ(r, kUnknownEncoding);
    EXPECT_EQ(Decode({'a'}, kLatin1, false, &r, nullptr, 1), "");
    EXPECT_EQ(r, kNoData);
}

// --- GetTextFrame ---

TEST(GetTextFrame, TxxxAndCommAreNotAllowed) {
    Id3v2Tag tag;
    AddRawFrame(tag, "TXXX", Latin1Text("x"));
    std::string text = "old";
    EXPECT_EQ(tag.GetTextFrame("TXXX", text), kIdNotAllowed);
    EXPECT_EQ(text, "");
    EXPECT_EQ(tag.GetTextFrame("COMM", text), kIdNotAllowed);
    EXPECT_EQ(tag.GetTextFrame("TIT", text), kIdNotAllowed);
    EXPECT_EQ(tag.GetTextFrame("tit2", text), kIdNotAllowed);
}

TEST(GetTextFrame, MissingFrameGives1) {
    Id3v2Tag tag;
    std::string text;
    EXPECT_EQ(tag.GetTextFrame("TIT2", text), kNoSuchFrame);
}

TEST(GetTextFrame, FirstOfTwoFramesWins) {
    Id3v2Tag tag;
    AddRawFrame(tag, "TIT2", Latin1Text("first"));
    AddRawFrame(tag, "TIT2", Latin1Text("second"));
    std::string text;
    EXPECT_EQ(tag.GetTextFrame("TIT2", text), kOk);
    EXPECT_EQ(text, "first");
}

TEST(GetTextFrame, EmptyOrEncodingOnlyData) {
    Id3v2Tag tag;
    AddRawFrame(tag, "TIT2", {});
    AddRawFrame(tag, "TALB", {0x00});
    std::string text;
    EXPECT_EQ(tag.GetTextFrame("TIT2", text), kNoData);
    EXPECT_EQ(tag.GetTextFrame("TALB", text), kNoData); // offset 1 is past the end
}

TEST(GetTextFrame, Utf16HiDecodes) {
    Id3v2Tag tag;
    // Encoding 1, BOM FF FE, 'H' 00 'i' 00.
    AddRawFrame(tag, "TIT2", {0x01, 0xFF, 0xFE, 'H', 0, 'i', 0});
    std::string text;
    EXPECT_EQ(tag.GetTextFrame("TIT2", text), kOk);
    EXPECT_EQ(text, "Hi");
}

TEST(GetTextFrame, Utf16CyrillicGives4WithCharactersBefore) {
    Id3v2Tag tag;
    AddRawFrame(tag, "TIT2", {0x01, 0xFF, 0xFE, 'H', 0, 0x16, 0x04});
    std::string text;
    EXPECT_EQ(tag.GetTextFrame("TIT2", text), kCharAbove255);
    EXPECT_EQ(text, "H");
}

TEST(GetTextFrame, Latin1TabGives8AndEmptyText) {
    Id3v2Tag tag;
    AddRawFrame(tag, "TIT2", {0x00, 'a', 0x09, 'b'});
    std::string text;
    EXPECT_EQ(tag.GetTextFrame("TIT2", text), kInvalidText);
    EXPECT_EQ(text, "");
}

TEST(GetTextFrame, EncryptedFrameGives9) {
    Id3v2Tag tag;
    AddRawFrame(tag, "TIT2", Latin1Text("secret"), kFmtEncryption);
    std::string text;
    EXPECT_EQ(tag.GetTextFrame("TIT2", text), kEncrypted);
}

TEST(GetTextFrame, CompressedFrameIsReadFromACopyAndStaysAsStored) {
    Id3v2Tag tag;
    const Bytes plain = Latin1Text("Squeezed title");
    const Bytes packed = Zlib(plain);
    const int n = AddRawFrame(tag, "TIT2", packed, kFmtCompression | kFmtDataLength,
                              static_cast<uint32_t>(plain.size()));
    std::string text;
    EXPECT_EQ(tag.GetTextFrame("TIT2", text), kOk);
    EXPECT_EQ(text, "Squeezed title");
    EXPECT_EQ(tag.GetTextFrameUtf8("TIT2", text), kOk);
    EXPECT_EQ(text, "Squeezed title");
    // Reading never changes the frame, so a save writes it back byte for byte.
    EXPECT_EQ(tag.Frames.GetData(n), packed);
    EXPECT_EQ(tag.Frames.GetStoredFlags(n).Format, kFmtCompression | kFmtDataLength);
    EXPECT_EQ(tag.Frames.GetWantedFlags(n).Format, kFmtCompression | kFmtDataLength);
}

TEST(GetTextFrame, UnsynchronisedV4FrameIsResynchronisedOnAccess) {
    TempDir dir;
    // v4 frame flagged 0x02; stored data 00 'x' FF 00 E0 'y' means 00 'x' FF E0 'y'.
    WriteFile(dir.file("a.mp3"),
              Tag(4, 0, Frame4("TIT2", {0x00, 'x', 0xFF, 0x00, 0xE0, 'y'}, 0, kFmtUnsync), 4));
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(dir.file("a.mp3"), 0), 0);
    EXPECT_EQ(tag.Frames.Frame(1).PlainSize, 5u);
    std::string text;
    EXPECT_EQ(tag.GetTextFrame("TIT2", text), kOk);
    EXPECT_EQ(text, "x\xFF\xE0y");
}

TEST(GetTextFrame, UnknownEncodingGives5) {
    Id3v2Tag tag;
    AddRawFrame(tag, "TIT2", {0x07, 'a'});
    std::string text;
    EXPECT_EQ(tag.GetTextFrame("TIT2", text), kUnknownEncoding);
}

// --- GetCommentFrame ---

TEST(GetCommentFrame, Utf16EmptyDescriptionYieldsTheText) {
    Id3v2Tag tag;
    // Encoding 1, "eng", description BOM FF FE + 00 00, text BOM FF FE "Yo".
    AddRawFrame(tag, "COMM", {0x01, 'e', 'n', 'g', 0xFF, 0xFE, 0, 0, 0xFF, 0xFE, 'Y', 0, 'o', 0});
    COMM c;
    EXPECT_EQ(tag.GetCommentFrame(c, "", "None"), kOk);
    EXPECT_EQ(c.Text, "Yo");
    EXPECT_EQ(c.Description, "");
    EXPECT_EQ(c.Language, "eng");
    EXPECT_EQ(c.Encoding, 1);
}

TEST(GetCommentFrame, MatchesDescriptionAndThreeLetterLanguage) {
    Id3v2Tag tag;
    AddRawFrame(tag, "COMM", Cat({{0}, Str("deu"), Str("iTunNORM"), {0}, Str("norm")}));
    AddRawFrame(tag, "COMM", Cat({{0}, Str("deu"), {0}, Str("German")}));
    AddRawFrame(tag, "COMM", Cat({{0}, Str("ENG"), {0}, Str("Line 1\r\nLine 2")}));
    COMM c;
    EXPECT_EQ(tag.GetCommentFrame(c, "", "None"), kOk);
    EXPECT_EQ(c.Text, "German");
    EXPECT_EQ(tag.GetCommentFrame(c, "", "ENG"), kOk);
    EXPECT_EQ(c.Text, "Line 1\r\nLine 2"); // multi-line
    EXPECT_EQ(tag.GetCommentFrame(c, "iTunNORM", "xx"), kOk);
    EXPECT_EQ(c.Text, "norm");
    EXPECT_EQ(tag.GetCommentFrame(c, "", "fra"), kNoSuchFrame);
    EXPECT_EQ(c.Text, "");
}

TEST(GetCommentFrame, BadDescriptionEndsTheSearch) {
    Id3v2Tag tag;
    AddRawFrame(tag, "COMM", Cat({{0}, Str("ENG"), Str("a\tb"), {0}, Str("x")}));
    AddRawFrame(tag, "COMM", Cat({{0}, Str("ENG"), {0}, Str("never reached")}));
    COMM c;
    EXPECT_EQ(tag.GetCommentFrame(c, "", "None"), kInvalidText);
}

TEST(GetCommentFrame, ShortFrameGives2) {
    Id3v2Tag tag;
    AddRawFrame(tag, "COMM", {0x00, 'E', 'N'});
    COMM c;
    EXPECT_EQ(tag.GetCommentFrame(c, "", "None"), kNoData);
}

// --- Frame index ---

TEST(FrameIndex, AddFrameChecksAndUpperCasesIds) {
    FrameIndex index;
    EXPECT_EQ(index.AddFrame("TIT"), 0);
    EXPECT_EQ(index.AddFrame("TI-2"), 0);
    EXPECT_EQ(index.AddFrame("T\xC9T2"), 0);
    EXPECT_EQ(index.AddFrame("tit2"), 1);
    EXPECT_EQ(index.GetFrameID(1), "TIT2");
    EXPECT_TRUE(index.Frame(1).Changed);
    EXPECT_EQ(index.AddFrame("APIC"), 2);
    index.DeleteFrame(1);
    EXPECT_EQ(index.Count(), 1);
    EXPECT_EQ(index.GetFrameID(1), "APIC");
}

TEST(FrameIndex, NumberOutOfRangeRaises) {
    FrameIndex index;
    index.AddFrame("TIT2");
    try {
        index.Frame(2);
        FAIL() << "no exception";
    } catch (const std::out_of_range &e) {
        EXPECT_STREQ(e.what(), "Array range out of bounds.");
    }
    EXPECT_THROW(index.DeleteFrame(0), std::out_of_range);
}

// --- Transforms ---

TEST(Transforms, ResynchroniseOnlyUnsynchronisedData) {
    Id3v2Tag tag;
    const int plain = AddRawFrame(tag, "TIT2", {0xFF, 0x00, 0x00});
    EXPECT_EQ(tag.Resynchronise(plain), -1);
    const int n =
        AddRawFrame(tag, "TALB", {0xFF, 0x00, 0x00, 0xFF, 0x00, 0x41, 0xFF, 0x00}, kFmtUnsync);
    EXPECT_EQ(tag.Resynchronise(n), 0);
    // FF 00 00 -> FF 00; FF 00 41 stays; a final FF 00 has no byte after it and stays.
    EXPECT_EQ(tag.Frames.GetData(n), (Bytes{0xFF, 0x00, 0xFF, 0x00, 0x41, 0xFF, 0x00}));
    EXPECT_EQ(tag.Frames.GetStoredFlags(n).Format, 0);
}

TEST(Transforms, UnsynchroniseStuffsAfterFFBeforeZeroOrE0) {
    Id3v2Tag tag;
    const int n = AddRawFrame(tag, "TIT2", {0xFF, 0xE0, 0xFF, 0x41, 0xFF, 0x00, 0xFF});
    EXPECT_EQ(tag.Unsynchronise(n), 0);
    EXPECT_EQ(tag.Frames.GetData(n), (Bytes{0xFF, 0x00, 0xE0, 0xFF, 0x41, 0xFF, 0x00, 0x00, 0xFF}));
    EXPECT_EQ(tag.Frames.Frame(n).PlainSize, 7u);
    EXPECT_EQ(tag.Frames.Frame(n).DataLength, 7u);
    EXPECT_EQ(tag.Unsynchronise(n), -1);
}

TEST(Transforms, CompressAndDecompressRoundTrip) {
    Id3v2Tag tag;
    const Bytes plain = Latin1Text(std::string(1000, 'x'));
    const int n = AddRawFrame(tag, "TIT2", plain);
    EXPECT_EQ(tag.CompressFrame(n), 0);
    EXPECT_EQ(tag.Frames.GetDataLength(n), 1001u);
    EXPECT_LT(tag.Frames.GetData(n).size(), 100u);
    EXPECT_EQ(tag.CompressFrame(n), -1);
    EXPECT_EQ(tag.DecompressFrame(n), 0);
    EXPECT_EQ(tag.Frames.GetData(n), plain);
    EXPECT_EQ(tag.Frames.GetDataLength(n), 0u);
    EXPECT_EQ(tag.DecompressFrame(n), -1);
}

TEST(Transforms, DecompressRefusesUnsyncAndEncryptedData) {
    Id3v2Tag tag;
    const int u = AddRawFrame(tag, "TIT2", Zlib({1, 2}), kFmtCompression | kFmtUnsync, 2);
    EXPECT_EQ(tag.DecompressFrame(u), 2);
    const int e = AddRawFrame(tag, "TALB", Zlib({1, 2}), kFmtCompression | kFmtEncryption, 2);
    EXPECT_EQ(tag.DecompressFrame(e), 1);
    EXPECT_EQ(tag.CompressFrame(e), -1);
    const int e2 = AddRawFrame(tag, "TPE1", {1, 2}, kFmtEncryption);
    EXPECT_EQ(tag.CompressFrame(e2), 1);
    const int u2 = AddRawFrame(tag, "TPE2", {1, 2}, kFmtUnsync);
    EXPECT_EQ(tag.CompressFrame(u2), 2);
}

TEST(Transforms, DecompressWithWrongLengthReplacesDataAndGivesMinus2) {
    Id3v2Tag tag;
    const Bytes plain(100, 'a');
    const int n = AddRawFrame(tag, "TIT2", Zlib(plain), kFmtCompression, 150);
    EXPECT_EQ(tag.DecompressFrame(n), -2);
    EXPECT_EQ(tag.Frames.GetData(n), plain);
}

TEST(Transforms, CorruptStreamGives4AndLeavesFrame) {
    Id3v2Tag tag;
    const Bytes junk = {0x78, 0x9C, 0x01, 0x02, 0x03};
    const int n = AddRawFrame(tag, "TIT2", junk, kFmtCompression, 10);
    EXPECT_EQ(tag.DecompressFrame(n), 4);
    EXPECT_EQ(tag.Frames.GetData(n), junk);
    EXPECT_EQ(tag.Frames.GetStoredFlags(n).Format, kFmtCompression);
}

TEST(Transforms, InflationStopsAtDataLength) {
    // One MiB of zeros compresses to about a kilobyte; the frame claims 1000 bytes.
    Id3v2Tag tag;
    const Bytes bomb = Zlib(Bytes(1 << 20, 0));
    const int n = AddRawFrame(tag, "TIT2", bomb, kFmtCompression, 1000);
    EXPECT_EQ(tag.DecompressFrame(n), 4);
    EXPECT_EQ(tag.Frames.GetData(n), bomb);
}

TEST(Transforms, InflationWithUnknownLengthStopsAtTheCap) {
    Id3v2Tag tag;
    const Bytes bomb = Zlib(Bytes(kInflateCapUnknownLength + 1, 0));
    const int n = AddRawFrame(tag, "TIT2", bomb, kFmtCompression, 0);
    EXPECT_EQ(tag.DecompressFrame(n), 4);
    const Bytes fits = Zlib(Bytes(4096, 'z'));
    const int m = AddRawFrame(tag, "TALB", fits, kFmtCompression, 0);
    EXPECT_EQ(tag.DecompressFrame(m), 0);
    EXPECT_EQ(tag.Frames.GetData(m).size(), 4096u);
}
