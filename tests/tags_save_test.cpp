// Editing and SaveTag: the edit results, the save's status words, the padding
// arithmetic, both layouts, unsynchronisation, CRC, and what the save keeps of the file.

#include "tags/id3v2.h"
#include "tags_test_util.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace tagtest;
using namespace id3v2;

namespace {

std::string Text(Id3v2Tag &tag, const std::string &id) {
    std::string text;
    tag.GetTextFrame(id, text);
    return text;
}

// Files in the folder other than the one given: left-over temporary files would show here.
size_t OtherFiles(const TempDir &dir, const std::string &keep) {
    size_t n = 0;
    for (const auto &e : std::filesystem::directory_iterator(dir.path())) {
        n += e.path().string() != keep;
    }
    return n;
}

} // namespace

// --- SetTextFrame / SetCommentFrame ---

TEST(SetTextFrame, ReplacesAddsAndRemoves) {
    Id3v2Tag tag;
    EXPECT_EQ(tag.SetTextFrame("TIT2", "One"), kOk);
    EXPECT_EQ(tag.SetTextFrame("TPE1", "Two"), kOk);
    EXPECT_EQ(tag.Frames.Count(), 2);
    EXPECT_EQ(tag.Frames.GetData(1), Latin1Text("One")); // encoding 0, no terminator
    EXPECT_EQ(tag.SetTextFrame("TIT2", "Three"), kOk);
    EXPECT_EQ(tag.Frames.GetFrameID(1), "TIT2");
    EXPECT_EQ(Text(tag, "TIT2"), "Three");
    EXPECT_EQ(tag.SetTextFrame("TIT2", ""), kRemoved);
    EXPECT_EQ(tag.Frames.Count(), 1);
    EXPECT_EQ(tag.SetTextFrame("TALB", ""), kOk); // nothing to remove
    EXPECT_EQ(tag.Frames.Count(), 1);
}

TEST(SetTextFrame, IdRules) {
    Id3v2Tag tag;
    EXPECT_EQ(tag.SetTextFrame("TXXX", "x"), kIdNotAllowed);
    EXPECT_EQ(tag.SetTextFrame("COMM", "x"), kIdNotAllowed);
    EXPECT_EQ(tag.SetTextFrame("TIT22", "x"), kIdNotAllowed);
    EXPECT_EQ(tag.Frames.Count(), 0);
}

TEST(SetTextFrame, KeepsWantedFlagsOfACompressedFrame) {
    Id3v2Tag tag;
    const int n = tag.Frames.AddFrame("TIT2");
    tag.Frames.Frame(n).Data = {1, 2, 3};
    tag.Frames.Frame(n).StoredFlags.Format = kFmtCompression | kFmtDataLength;
    tag.Frames.Frame(n).WantedFlags.Format = kFmtCompression | kFmtDataLength;
    EXPECT_EQ(tag.SetTextFrame("TIT2", "plain"), kOk);
    EXPECT_EQ(tag.Frames.GetStoredFlags(n).Format, 0);
    EXPECT_EQ(tag.Frames.GetWantedFlags(n).Format, kFmtCompression | kFmtDataLength);
}

TEST(SetCommentFrame, ReplacesFirstEmptyDescriptionWhateverLanguage) {
    Id3v2Tag tag;
    const int n = tag.Frames.AddFrame("COMM");
    tag.Frames.Frame(n).Data = Cat({{0}, Str("deu"), {0}, Str("alt")});
    COMM c{0, "ENG", "", "new text"};
    EXPECT_EQ(tag.SetCommentFrame(c, "", "None"), kOk);
    ASSERT_EQ(tag.Frames.Count(), 1);
    // Encoding 00, "ENG", empty description + 00, text without terminator.
    EXPECT_EQ(tag.Frames.GetData(1), Cat({{0}, Str("ENG"), {0}, Str("new text")}));
}

TEST(SetCommentFrame, AddsRemovesAndChecks) {
    Id3v2Tag tag;
    COMM c{0, "ENG", "desc", "text"};
    EXPECT_EQ(tag.SetCommentFrame(c, "", "None"), kOk);
    ASSERT_EQ(tag.Frames.Count(), 1);
    EXPECT_EQ(tag.Frames.GetData(1), Cat({{0}, Str("ENG"), Str("desc"), {0}, Str("text")}));
    COMM bad{4, "ENG", "", "x"};
    EXPECT_EQ(tag.SetCommentFrame(bad, "desc", "None"), kBadEncoding);
    COMM badLang{0, std::string("E\x01G"), "", "x"};
    EXPECT_EQ(tag.SetCommentFrame(badLang, "desc", "None"), kBadLanguage);
    COMM none{0, "ENG", "", ""};
    EXPECT_EQ(tag.SetCommentFrame(none, "desc", "ENG"), kRemoved);
    EXPECT_EQ(tag.Frames.Count(), 0);
    EXPECT_EQ(tag.SetCommentFrame(none, "", "None"), kOk); // nothing to remove, nothing added
    EXPECT_EQ(tag.Frames.Count(), 0);
}

TEST(SetCommentFrame, DescriptionEndingInNulGetsNoSecond) {
    Id3v2Tag tag;
    COMM c{0, "ENG", std::string("d\0", 2), "t"};
    EXPECT_EQ(tag.SetCommentFrame(c, "x", "None"), kOk);
    EXPECT_EQ(tag.Frames.GetData(1), Cat({{0}, Str("ENG"), Str("d"), {0}, Str("t")}));
}

// --- SaveTag: statuses ---

TEST(SaveTag, MissingFileGives0100) {
    TempDir dir;
    Id3v2Tag tag;
    tag.SetTextFrame("TIT2", "x");
    EXPECT_EQ(tag.SaveTag(dir.file("absent.mp3"), 3, 0, 0), kNoFile);
    EXPECT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), kNoFile); // nothing loaded: no file name
}

TEST(SaveTag, ReadOnlyFileGives0200AndIsNotTouched) {
    TempDir dir;
    const std::string path = dir.file("ro.mp3");
    const Bytes original = Cat({Tag(3, 0, Frame3("TIT2", Latin1Text("x")), 10), Audio(100)});
    WriteFile(path, original);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    struct stat before {};
    ::stat(path.c_str(), &before);
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 0), 0);
    tag.SetTextFrame("TIT2", "changed");
    EXPECT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), kReadOnly);
    struct stat after {};
    ::stat(path.c_str(), &after);
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(OtherFiles(dir, path), 0u);
}

TEST(SaveTag, FailedLoadGivesFE00) {
    TempDir dir;
    const std::string path = dir.file("bad.mp3");
    WriteFile(path, Cat({Header(3, 0, 500), Bytes(20)})); // shorter than the tag claims
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 0), kFileTooShort);
    tag.SetTextFrame("TIT2", "x");
    EXPECT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), kCorrupt);
}

TEST(SaveTag, VersionAndRevisionChecks) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Audio(100));
    Id3v2Tag tag;
    tag.SetTextFrame("TIT2", "x");
    EXPECT_EQ(tag.SaveTag(path, 2, 0, 0), kBadVersion);
    EXPECT_EQ(tag.SaveTag(path, 4, 1, 0), kBadRevision);
    EXPECT_EQ(ReadFile(path), Audio(100));
}

TEST(SaveTag, PositionBeyondEndGives0800) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Audio(100));
    Id3v2Tag tag;
    tag.SetTextFrame("TIT2", "x");
    EXPECT_EQ(tag.SaveTag(path, 3, 0, 101), kBeyondEnd);
}

TEST(SaveTag, OnlyTitleEmptiedGivesFD00AndLeavesFile) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    const Bytes original = Cat({Tag(3, 0, Frame3("TIT2", Latin1Text("Title")), 30), Audio(300)});
    WriteFile(path, original);
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 0), 0);
    EXPECT_EQ(tag.SetTextFrame("TIT2", ""), kRemoved);
    EXPECT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), kNoFrames);
    EXPECT_EQ(ReadFile(path), original);
}

TEST(SaveTag, OnlyEmptyFramesGiveFD00AfterTidying) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Audio(300));
    Id3v2Tag tag;
    tag.Frames.AddFrame("TIT2"); // no data
    EXPECT_EQ(tag.SaveTag(path, 3, 0, 0), kNoFrames);
    EXPECT_EQ(ReadFile(path), Audio(300));
}

// --- SaveTag: sizes and padding ---

TEST(SaveTag, FiveThousandByteFileBecomes8192) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    // Old tag: header + 1024 body bytes (one TIT2 frame of 20 bytes, then padding) = 1034.
    const Bytes oldFrame = Frame3("TIT2", Latin1Text("Old title"));
    const Bytes oldTag = Tag(3, 0, oldFrame, static_cast<uint32_t>(1024 - oldFrame.size()));
    ASSERT_EQ(oldTag.size(), 1034u);
    const Bytes audio = Audio(5000 - 1034);
    WriteFile(path, Cat({oldTag, audio}));
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 0), 0);
    // New tag before padding: header 10 + frame header 10 + 480 data bytes = 500.
    tag.SetTextFrame("TIT2", std::string(479, 'n'));
    EXPECT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0);
    EXPECT_EQ(tag.PaddingSize, 3726u);
    EXPECT_EQ(tag.TagSize, 500u + 3726u); // W, header included
    const Bytes saved = ReadFile(path);
    ASSERT_EQ(saved.size(), 8192u);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), saved.begin() + 4226));
    EXPECT_EQ(tag.StatusText, "Save Complete");
    EXPECT_EQ(tag.Progress, 100);
}

TEST(SaveTag, SavingAgainKeepsSizeAndPadding) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Cat({Tag(3, 0, Frame3("TIT2", Latin1Text("x")), 10), Audio(7000)}));
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 0), 0);
    ASSERT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0);
    const Bytes first = ReadFile(path);
    EXPECT_EQ(first.size() % 4096, 0u);
    const uint32_t padding = tag.PaddingSize;
    ASSERT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0);
    EXPECT_EQ(tag.PaddingSize, padding);
    EXPECT_EQ(ReadFile(path), first);
    Id3v2Tag again;
    ASSERT_EQ(again.LoadTag(path, 0), 0);
    EXPECT_EQ(again.PaddingSize, padding);
    ASSERT_EQ(again.SaveTag("=", 0xFF, 0xFF, -1), 0);
    EXPECT_EQ(ReadFile(path), first);
}

TEST(SaveTag, FileWithoutTagGetsOneInsertedBeforeItsFirstByte) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    const Bytes audio = Audio(10000);
    WriteFile(path, audio);
    Id3v2Tag tag;
    EXPECT_EQ(tag.LoadTag(path, 0), kNoTag);
    tag.SetTextFrame("TIT2", "Inserted");
    ASSERT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0);
    const Bytes saved = ReadFile(path);
    ASSERT_EQ(saved.size(), 12288u);
    EXPECT_EQ(saved.size() - audio.size(), tag.TagSize);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), saved.begin() + tag.TagSize));
    Id3v2Tag again;
    ASSERT_EQ(again.LoadTag(path, 0), 0);
    EXPECT_EQ(Text(again, "TIT2"), "Inserted");
}

TEST(SaveTag, ShrinkingTagCutsTheFile) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    const Bytes audio = Audio(3000);
    WriteFile(
        path,
        Cat({Tag(3, 0, Cat({Frame3("TIT2", Latin1Text("t")), Frame3("APIC", Audio(20000, 9))}),
                 100),
             audio}));
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 0), 0);
    tag.Frames.DeleteFrame(2);
    ASSERT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0);
    const Bytes saved = ReadFile(path);
    EXPECT_EQ(saved.size(), 4096u);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), saved.end() - 3000));
}

TEST(SaveTag, TagAtAPositionKeepsTheBytesBefore) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    const Bytes before(123, 0x42);
    const Bytes audio = Audio(500);
    WriteFile(path, Cat({before, Tag(4, 0, Frame4("TIT2", Latin1Text("x")), 10), audio}));
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 123), 0);
    tag.SetTextFrame("TALB", "Album");
    ASSERT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0);
    const Bytes saved = ReadFile(path);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), saved.begin()));
    EXPECT_EQ(saved.size() % 4096, 0u);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), saved.end() - 500));
    Id3v2Tag again;
    ASSERT_EQ(again.LoadTag(path, 123), 0);
    EXPECT_EQ(Text(again, "TALB"), "Album");
}

TEST(SaveTag, TagOfAFileWithoutAudioIsRewritten) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Tag(3, 0, Frame3("TIT2", Latin1Text("x")), 5000));
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 0), 0);
    ASSERT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0);
    EXPECT_EQ(ReadFile(path).size(), 4096u);
}

// --- SaveTag: layouts ---

TEST(SaveTag, V3LayoutBytes) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Bytes{});
    Id3v2Tag tag;
    tag.SetTextFrame("TIT2", "AB");
    FrameFlags w = tag.Frames.GetWantedFlags(1);
    w.Status = kStTagAlter | kStFileAlter | kStReadOnly;
    tag.Frames.SetWantedFlags(1, w);
    tag.Frames.Frame(1).StoredFlags.Status = w.Status;
    ASSERT_EQ(tag.SaveTag(path, 3, 0, 0), 0);
    const Bytes saved = ReadFile(path);
    ASSERT_EQ(saved.size(), 4096u);
    // Header: "ID3" 03 00, flags 00, size 4086 sync-safe (00 00 1F 76).
    EXPECT_EQ(Bytes(saved.begin(), saved.begin() + 10),
              Cat({Str("ID3"), {3, 0, 0}, SyncSafe(4086)}));
    // Frame: "TIT2", size 00 00 00 03, status E0 (0x40->0x80, 0x20->0x40, 0x10->0x20), format 00,
    // data 00 'A' 'B', then padding.
    EXPECT_EQ(Bytes(saved.begin() + 10, saved.begin() + 23),
              Cat({Str("TIT2"), {0, 0, 0, 3}, {0xE0, 0x00}, {0x00, 'A', 'B'}}));
    EXPECT_EQ(tag.PaddingSize, 4096u - 23u);
    EXPECT_TRUE(std::all_of(saved.begin() + 23, saved.end(), [](uint8_t b) { return b == 0; }));
}

TEST(SaveTag, UnsyncFlagComesBackAndFFE0IsStuffed) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    // v3 tag with header flag 0x80; frame TIT2 of (plain) size 4 holding 00 'a' FF E0,
    // stored as 00 'a' FF 00 E0.
    const Bytes frame = Cat({Str("TIT2"), BE32(4), {0, 0}, {0x00, 'a', 0xFF, 0x00, 0xE0}});
    WriteFile(path, Cat({Tag(3, 0x80, frame, 20), Audio(100)}));
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 0), 0);
    ASSERT_EQ(tag.Frames.GetData(1), (Bytes{0x00, 'a', 0xFF, 0xE0}));
    tag.SetTextFrame("TALB", "\xFF\xE0!");
    ASSERT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0);
    const Bytes saved = ReadFile(path);
    EXPECT_EQ(saved[5], kHdrUnsync);
    // TIT2: size counts the plain 4 bytes; data FF E0 written as FF 00 E0.
    EXPECT_EQ(Bytes(saved.begin() + 10, saved.begin() + 25),
              Cat({Str("TIT2"), {0, 0, 0, 4}, {0, 0}, {0x00, 'a', 0xFF, 0x00, 0xE0}}));
    // TALB follows: plain size 4, data 00 FF 00 E0 '!'.
    EXPECT_EQ(Bytes(saved.begin() + 25, saved.begin() + 40),
              Cat({Str("TALB"), {0, 0, 0, 4}, {0, 0}, {0x00, 0xFF, 0x00, 0xE0, '!'}}));
    Id3v2Tag again;
    ASSERT_EQ(again.LoadTag(path, 0), 0);
    EXPECT_EQ(Text(again, "TALB"), "\xFF\xE0!");
    EXPECT_EQ(Text(again, "TIT2"), "a\xFF\xE0");
}

TEST(SaveTag, V4FramesKeepTheirOwnUnsynchronisationWhenNotEdited) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    // Version 4, no header flag: TIT2 unsynchronised (FF E0 stored as FF 00 E0), TALB plain
    // with FF E0 in its text.
    const Bytes tit2 = Frame4("TIT2", {0x00, 'a', 0xFF, 0x00, 0xE0}, 0, kFmtUnsync);
    const Bytes talb = Frame4("TALB", {0x00, 'b', 0xFF, 0xE0});
    WriteFile(path, Cat({Tag(4, 0, Cat({tit2, talb}), 20), Audio(100)}));
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 0), 0);
    ASSERT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0);
    Bytes saved = ReadFile(path);
    EXPECT_EQ(saved[5], 0); // not every frame is unsynchronised
    EXPECT_EQ(Bytes(saved.begin() + 10, saved.begin() + 10 + tit2.size() + talb.size()),
              Cat({tit2, talb}));
    // An edit changes only its own frame.
    tag.SetTextFrame("TPE1", "c");
    ASSERT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0);
    saved = ReadFile(path);
    EXPECT_EQ(Bytes(saved.begin() + 10, saved.begin() + 10 + tit2.size() + talb.size()),
              Cat({tit2, talb}));
    // Asking for unsynchronisation applies it to every frame.
    tag.SetUnsynchronisation(true);
    ASSERT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0);
    Id3v2Tag again;
    ASSERT_EQ(again.LoadTag(path, 0), 0);
    EXPECT_EQ(again.HeaderFlags & kHdrUnsync, kHdrUnsync);
    for (int n = 1; n <= again.Frames.Count(); ++n) {
        EXPECT_TRUE(again.Frames.GetStoredFlags(n).Format & kFmtUnsync) << n;
    }
    EXPECT_EQ(Text(again, "TALB"), "b\xFF\xE0");
}

TEST(SaveTag, V3HeaderBytesAreUnsynchronisedWithDataAsLookAhead) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Bytes{});
    Id3v2Tag tag;
    tag.SetUnsynchronisation(true);
    // A 255-byte frame: its size field 00 00 00 FF is followed by the status byte 00.
    tag.SetTextFrame("TIT2", std::string(254, 'x'));
    ASSERT_EQ(tag.SaveTag(path, 3, 0, 0), 0);
    const Bytes saved = ReadFile(path);
    EXPECT_EQ(Bytes(saved.begin() + 10, saved.begin() + 21),
              Cat({Str("TIT2"), {0, 0, 0, 0xFF, 0x00}, {0, 0}}));
    Id3v2Tag again;
    ASSERT_EQ(again.LoadTag(path, 0), 0);
    EXPECT_EQ(Text(again, "TIT2"), std::string(254, 'x'));
}

TEST(SaveTag, V4GroupingAndDataLengthLayoutReadsBackEqual) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    // v4 frame TIT2 with grouping and DLI: group 0x21, length sync-safe 3, data 00 'h' 'i'.
    const Bytes frame = Frame4("TIT2", {0x00, 'h', 'i'}, 0x00, kFmtGrouping | kFmtDataLength,
                               Cat({{0x21}, SyncSafe(3)}));
    WriteFile(path, Cat({Tag(4, 0, frame, 50), Audio(100)}));
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 0), 0);
    ASSERT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0);
    const Bytes saved = ReadFile(path);
    // Header, group byte, four sync-safe length bytes, data.
    EXPECT_EQ(Bytes(saved.begin() + 10, saved.begin() + 28),
              Cat({Str("TIT2"), SyncSafe(8), {0x00, 0x41}, {0x21}, SyncSafe(3), {0x00, 'h', 'i'}}));
    Id3v2Tag again;
    ASSERT_EQ(again.LoadTag(path, 0), 0);
    EXPECT_EQ(again.Frames.Frame(1).GroupID, 0x21);
    EXPECT_EQ(again.Frames.Frame(1).DataLength, 3u);
    EXPECT_EQ(again.Frames.GetData(1), (Bytes{0x00, 'h', 'i'}));
    EXPECT_EQ(Text(again, "TIT2"), "hi");
}

TEST(SaveTag, EditedGroupedFrameCannotBeWritten) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Tag(4, 0, Frame4("TIT2", {0x00, 'h'}, 0x00, kFmtGrouping, {0x21}), 50));
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 0), 0);
    tag.SetTextFrame("TIT2", "new"); // the data is now plain: the grouping would change
    EXPECT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), kGroupingChange);
    tag.AllowFlagDrop = true;
    EXPECT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), kWarnFlagDropped);
}

TEST(SaveTag, EncryptionThatWouldChangeGivesC000) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Tag(3, 0, Frame3("TIT2", {0x00, 'h'}, 0x00, 0x40, {0x80}), 50));
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 0), 0);
    tag.SetTextFrame("TIT2", "new");
    EXPECT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), kEncryptionChange);
}

TEST(SaveTag, V4EncryptedFrameWithUnknownLengthGivesC200) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Audio(10));
    Id3v2Tag tag;
    const int n = tag.Frames.AddFrame("TIT2");
    tag.Frames.Frame(n).Data = {1, 2, 3};
    tag.Frames.Frame(n).StoredFlags.Format = kFmtEncryption;
    tag.Frames.Frame(n).WantedFlags.Format = kFmtEncryption | kFmtDataLength;
    EXPECT_EQ(tag.SaveTag(path, 4, 0, 0), kNoDataLength);
}

TEST(SaveTag, WantedCompressionIsAppliedWithDataLength) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Audio(10));
    for (uint8_t version : {3, 4}) {
        Id3v2Tag tag;
        tag.SetTextFrame("TIT2", std::string(2000, 'c'));
        FrameFlags w = tag.Frames.GetWantedFlags(1);
        w.Format = kFmtCompression;
        tag.Frames.SetWantedFlags(1, w);
        ASSERT_EQ(tag.SaveTag(path, version, 0, 0), 0);
        EXPECT_EQ(tag.Frames.GetWantedFlags(1).Format, kFmtCompression | kFmtDataLength);
        Id3v2Tag again;
        ASSERT_EQ(again.LoadTag(path, 0), 0);
        EXPECT_EQ(again.Frames.GetStoredFlags(1).Format, kFmtCompression | kFmtDataLength);
        EXPECT_EQ(again.Frames.GetDataLength(1), 2001u);
        EXPECT_LT(again.Frames.GetData(1).size(), 100u);
        EXPECT_EQ(Text(again, "TIT2"), std::string(2000, 'c'));
    }
}

TEST(SaveTag, V3CrcCoversTheFramesAsWritten) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Audio(10));
    Id3v2Tag tag;
    tag.SetTextFrame("TIT2", "Checked");
    tag.SetCRCPresent(true);
    ASSERT_EQ(tag.SaveTag(path, 3, 0, 0), 0);
    const Bytes saved = ReadFile(path);
    EXPECT_EQ(saved[5], kHdrExtended); // set with the CRC bit
    // Extended header: size 00 00 00 0A, flags 80 00, padding size, CRC.
    const Bytes frame = Frame3("TIT2", Latin1Text("Checked"));
    const uint32_t crc = Crc32Update(0xFFFFFFFFu, frame.data(), frame.size());
    EXPECT_EQ(Bytes(saved.begin() + 10, saved.begin() + 24),
              Cat({{0, 0, 0, 0x0A, 0x80, 0x00}, BE32(tag.PaddingSize), BE32(crc)}));
    Id3v2Tag again;
    ASSERT_EQ(again.LoadTag(path, 0), 0);
    EXPECT_EQ(again.CRC, crc);
    EXPECT_EQ(again.PaddingSize, tag.PaddingSize);
}

TEST(SaveTag, V4CrcCoversFramesAndPadding) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Audio(10));
    Id3v2Tag tag;
    tag.SetTextFrame("TIT2", "Checked");
    tag.SetCRCPresent(true);
    tag.SetRestricted(true);
    tag.Restrictions = 0x05;
    ASSERT_EQ(tag.SaveTag(path, 4, 0, 0), 0);
    const Bytes saved = ReadFile(path);
    // Extended header: size 00 00 00 0E (6 + CRC 6 + restrictions 2), one flag byte 0x30,
    // CRC item 05 + five bytes, restrictions item 01 05.
    const size_t framesAt = 10 + 14;
    const Bytes frame = Frame4("TIT2", Latin1Text("Checked"));
    uint32_t crc = Crc32Update(0xFFFFFFFFu, frame.data(), frame.size());
    const Bytes padding(tag.PaddingSize, 0);
    crc = Crc32Update(crc, padding.data(), padding.size());
    EXPECT_EQ(Bytes(saved.begin() + 10, saved.begin() + framesAt),
              Cat({{0, 0, 0, 14, 0x01, 0x30, 0x05},
                   {uint8_t((crc >> 28) & 0x0F), uint8_t((crc >> 21) & 0x7F),
                    uint8_t((crc >> 14) & 0x7F), uint8_t((crc >> 7) & 0x7F), uint8_t(crc & 0x7F)},
                   {0x01, 0x05}}));
    Id3v2Tag again;
    ASSERT_EQ(again.LoadTag(path, 0), 0);
    EXPECT_EQ(again.CRC, crc);
    EXPECT_EQ(again.Restrictions, 0x05);
}

TEST(SaveTag, V4FooterIsReplacedNotLeftAsAudio) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    const Bytes frame = Frame4("TIT2", Latin1Text("x"));
    const Bytes footer =
        Cat({Str("3DI"), {4, 0, 0x10}, SyncSafe(static_cast<uint32_t>(frame.size()))});
    const Bytes audio = Audio(700);
    WriteFile(path, Cat({Tag(4, 0x10, frame), footer, audio}));
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 0), 0);
    ASSERT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0);
    const Bytes saved = ReadFile(path);
    EXPECT_EQ(saved[5] & kHdrFooter, 0); // padded tags carry no footer
    EXPECT_EQ(saved.size(), tag.TagSize + audio.size());
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), saved.begin() + tag.TagSize));
}

TEST(SaveTag, V3ToV4Conversion) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(
        path,
        Cat({Tag(3, 0,
                 Cat({Frame3("TIT2", Latin1Text("Title")), Frame3("TPE1", Latin1Text("Artist"))}),
                 10),
             Audio(50)}));
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 0), 0);
    ASSERT_EQ(tag.SaveTag("=", 4, 0, -1), 0);
    Id3v2Tag again;
    ASSERT_EQ(again.LoadTag(path, 0), 0);
    EXPECT_EQ(again.Version, 4);
    EXPECT_EQ(Text(again, "TIT2"), "Title");
    EXPECT_EQ(Text(again, "TPE1"), "Artist");
}

// --- SaveTag: what happens to the file ---

TEST(SaveTag, KeepsPermissionsAndWritesBesideThenRenames) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Cat({Tag(3, 0, Frame3("TIT2", Latin1Text("x")), 10), Audio(500)}));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    struct stat before {};
    ::stat(path.c_str(), &before);
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 0), 0);
    tag.SetTextFrame("TIT2", "y");
    ASSERT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0);
    struct stat after {};
    ::stat(path.c_str(), &after);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_NE(after.st_ino, before.st_ino); // a new file took the old one's place
    EXPECT_EQ(OtherFiles(dir, path), 0u);   // and no temporary file is left
}

TEST(SaveTag, SymlinkedFileIsSavedThroughTheLink) {
    TempDir dir;
    const std::string real = dir.file("real.mp3");
    const std::string link = dir.file("link.mp3");
    WriteFile(real, Audio(100));
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    Id3v2Tag tag;
    tag.SetTextFrame("TIT2", "via link");
    ASSERT_EQ(tag.SaveTag(link, 3, 0, 0), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    Id3v2Tag again;
    ASSERT_EQ(again.LoadTag(real, 0), 0);
    EXPECT_EQ(Text(again, "TIT2"), "via link");
}

TEST(SaveTag, WriteErrorLeavesTheOldFileWhole) {
    // The child may not write files larger than 8 KB, so writing the new 12 KB file fails
    // part way (as a full disk would).
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    const Bytes original = Cat({Tag(3, 0, Frame3("TIT2", Latin1Text("x")), 10), Audio(6000)});
    WriteFile(path, original);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {8192, 8192};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        Id3v2Tag tag;
        if (tag.LoadTag(path, 0) != 0) {
            ::_exit(100);
        }
        tag.SetTextFrame("TIT2", std::string(3000, 'g'));
        ::_exit(tag.SaveTag("=", 0xFF, 0xFF, -1) == kWriteError ? 0 : 101);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save did not report 0x0400";
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_EQ(OtherFiles(dir, path), 0u);
}

TEST(SaveTag, FittingTagIsWrittenInPlaceAndAGrowingOneReplacesTheFile) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    const Bytes audio = Audio(20000, 3);
    WriteFile(path, Cat({Tag(3, 0, Frame3("TIT2", Latin1Text("first")), 10), audio}));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    // An extended attribute where the file system has them (tmpfs may not for user.*).
    const bool xattrs = ::setxattr(path.c_str(), "user.mirvane.test", "kept", 4, 0) == 0;
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 0), 0);
    ASSERT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0); // now the file ends on a 4096 boundary
    struct stat aligned {};
    ::stat(path.c_str(), &aligned);
    ASSERT_EQ(aligned.st_size % 4096, 0);

    // The new tag, padded, takes the old tag's bytes: the same file, the audio untouched.
    tag.SetTextFrame("TIT2", "second, a little longer");
    ASSERT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0);
    struct stat inPlace {};
    ::stat(path.c_str(), &inPlace);
    EXPECT_EQ(inPlace.st_ino, aligned.st_ino);
    EXPECT_EQ(inPlace.st_size, aligned.st_size);
    Bytes now = ReadFile(path);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), now.end() - audio.size()));
    EXPECT_EQ(Text(tag, "TIT2"), "second, a little longer");

    // A tag 5 KB past its padding: a new file in its place, with owner, mode and attributes.
    tag.SetTextFrame("TIT2", std::string(5000, 'g'));
    ASSERT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0);
    struct stat grown {};
    ::stat(path.c_str(), &grown);
    EXPECT_NE(grown.st_ino, aligned.st_ino);
    EXPECT_EQ(grown.st_mode & 07777, 0640u);
    EXPECT_EQ(grown.st_uid, aligned.st_uid);
    EXPECT_EQ(grown.st_gid, aligned.st_gid);
    if (xattrs) {
        char value[8] = {};
        EXPECT_EQ(::getxattr(path.c_str(), "user.mirvane.test", value, sizeof value), 4);
        EXPECT_STREQ(value, "kept");
    }
    now = ReadFile(path);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), now.end() - audio.size()));
    EXPECT_EQ(OtherFiles(dir, path), 0u);
}

TEST(SaveTag, HardLinkedFileIsRewrittenInPlaceOrLeftUntouched) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    const std::string other = dir.file("b.mp3");
    WriteFile(path,
              Cat({Tag(3, 0, Frame3("TIT2", Latin1Text("first")), 4096 - 10 - 16), Audio(8192)}));
    ASSERT_EQ(::link(path.c_str(), other.c_str()), 0);
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 0), 0);
    // Fits the old tag: written in place, so both names see it.
    tag.SetTextFrame("TIT2", "second");
    ASSERT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0);
    EXPECT_EQ(ReadFile(other), ReadFile(path));
    Id3v2Tag viaOther;
    ASSERT_EQ(viaOther.LoadTag(other, 0), 0);
    EXPECT_EQ(Text(viaOther, "TIT2"), "second");
    // Grows the file: a rename would part the two names, so the save is refused.
    const Bytes before = ReadFile(path);
    tag.SetTextFrame("TIT2", std::string(6000, 'x'));
    EXPECT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), kCannotReplace);
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(ReadFile(other), before);
    EXPECT_EQ(OtherFiles(dir, path), 1u); // b.mp3 only, no temporary file
}

TEST(SaveTag, FolderWithoutRoomForANewFileTakesFittingSavesAndRefusesGrowingOnes) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path,
              Cat({Tag(3, 0, Frame3("TIT2", Latin1Text("first")), 4096 - 10 - 16), Audio(8192)}));
    // The file is writable, its folder is not; root gets there by handing the file to another
    // user and becoming that user in the child.
    const bool root = ::geteuid() == 0;
    const uid_t user = 65534;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), user, user), 0);
        ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    } else {
        ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    }
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (root && (::setgid(user) != 0 || ::setuid(user) != 0)) {
            ::_exit(100);
        }
        Id3v2Tag tag;
        if (tag.LoadTag(path, 0) != 0) {
            ::_exit(101);
        }
        tag.SetTextFrame("TIT2", "second");
        if (tag.SaveTag("=", 0xFF, 0xFF, -1) != 0) {
            ::_exit(102);
        }
        tag.SetTextFrame("TIT2", std::string(6000, 'x'));
        ::_exit(tag.SaveTag("=", 0xFF, 0xFF, -1) == kCannotReplace ? 0 : 103);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ::chmod(dir.path().c_str(), 0700);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // The fitting save is there, the growing one left the file as it was.
    EXPECT_EQ(std::filesystem::file_size(path), 4096u + 8192u);
    Id3v2Tag again;
    ASSERT_EQ(again.LoadTag(path, 0), 0);
    EXPECT_EQ(Text(again, "TIT2"), "second");
    EXPECT_EQ(OtherFiles(dir, path), 0u);
}

TEST(SaveTag, LongestFileNameSavesAndStaleTemporaryFilesGo) {
    TempDir dir;
    const std::string name = std::string(NAME_MAX - 4, 'n') + ".mp3";
    const std::string path = dir.file(name);
    WriteFile(path, Cat({Tag(3, 0, Frame3("TIT2", Latin1Text("x")), 10), Audio(3000)}));
    // What interrupted saves of this file left (the name cut to fit), and look-alikes that
    // are not ours to remove.
    const std::string prefix = "." + name.substr(0, NAME_MAX - 21) + ".mirvane-save-";
    WriteFile(dir.file(prefix + "Ab12Cd"), {1});
    WriteFile(dir.file(prefix.substr(0, prefix.size() - 1) + "Ab12Cd"), {2});
    WriteFile(dir.file(".other.mp3.mirvane-save-Ab12Cd"), {3});
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path, 0), 0);
    tag.SetTextFrame("TIT2", std::string(5000, 'y')); // grows: through a temporary file
    ASSERT_EQ(tag.SaveTag("=", 0xFF, 0xFF, -1), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file(prefix + "Ab12Cd")));
    EXPECT_TRUE(std::filesystem::exists(dir.file(prefix.substr(0, prefix.size() - 1) + "Ab12Cd")));
    EXPECT_TRUE(std::filesystem::exists(dir.file(".other.mp3.mirvane-save-Ab12Cd")));
    EXPECT_EQ(OtherFiles(dir, path), 2u);
    Id3v2Tag again;
    ASSERT_EQ(again.LoadTag(path, 0), 0);
    EXPECT_EQ(Text(again, "TIT2"), std::string(5000, 'y'));
}

TEST(SaveTag, UnicodeTextsTakeTheEncodingTheVersionAllows) {
    TempDir dir;
    const std::string text = "A\u00e9\u20acB\u0416C\U0001F600";
    for (const uint8_t version : {uint8_t{3}, uint8_t{4}}) {
        const std::string path = dir.file("v" + std::to_string(version) + ".mp3");
        WriteFile(path, Cat({Tag(version, 0, Frame3("TPE1", Latin1Text("x")), 10), Audio(100)}));
        Id3v2Tag tag;
        ASSERT_EQ(tag.LoadTag(path, 0), 0);
        ASSERT_EQ(tag.SetTextFrameUtf8("TIT2", text), kOk);
        ASSERT_EQ(tag.SetTextFrameUtf8("TPE1", "D\u00e9j\u00e0"), kOk);
        ASSERT_EQ(tag.SetCommentTextUtf8(text), kOk);
        ASSERT_LE(tag.SaveTag("=", 0xFF, 0xFF, -1), 0xFF);
        Id3v2Tag again;
        ASSERT_EQ(again.LoadTag(path, 0), 0);
        std::string read;
        EXPECT_EQ(again.GetTextFrameUtf8("TIT2", read), kOk);
        EXPECT_EQ(read, text);
        EXPECT_EQ(again.GetCommentTextUtf8(read), kOk);
        EXPECT_EQ(read, text);
        EXPECT_EQ(again.GetTextFrameUtf8("TPE1", read), kOk);
        EXPECT_EQ(read, "D\u00e9j\u00e0");
        // TPE1 stays Latin-1 where that is enough; TIT2 is UTF-16 with a mark (v3) or UTF-8.
        const Bytes &tpe1 = again.Frames.GetData(1);
        EXPECT_EQ(tpe1, Cat({{0}, Str("D\xE9j\xE0")}));
        const Bytes &tit2 = again.Frames.GetData(2);
        if (version == 3) {
            EXPECT_EQ(Bytes(tit2.begin(), tit2.begin() + 5), Bytes({1, 0xFF, 0xFE, 'A', 0}));
        } else {
            EXPECT_EQ(tit2, Cat({{3}, Str(text)}));
        }
        // The Latin-1 reading keeps its results: 4 with the characters before the first
        // one beyond Latin-1.
        EXPECT_EQ(again.GetTextFrame("TIT2", read), kCharAbove255);
        EXPECT_EQ(read, "A\xE9");
    }
}
