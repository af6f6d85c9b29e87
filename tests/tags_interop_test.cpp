// Interoperation with a real peer, mutagen (python3-mutagen): files tagged by mutagen load here
// with the same texts (fixtures from tools/make_tag_fixtures.py, no mutagen needed), and files
// saved here load in mutagen with the same texts and the audio after the tag unchanged (needs
// mutagen at test time: skipped with a message when it is missing).

#include "tags/id3v2.h"
#include "tags/title_lookup.h"
#include "tags_test_util.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>

using namespace tagtest;

namespace {

const std::string kFixtures = std::string(MIRVANE_TEST_DATA) + "/tags/";

// The box text: up to the first NUL (mutagen ends Latin-1 and UTF-8 texts with a NUL).
std::string UpToNul(const std::string &s) {
    return s.substr(0, s.find('\0'));
}

std::string Hex(const std::string &s) {
    static const char *digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string Unhex(const std::string &h) {
    std::string out;
    for (size_t i = 0; i + 1 < h.size(); i += 2) {
        out += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
    }
    return out;
}

// expected.tsv: file -> frame -> text.
std::map<std::string, std::map<std::string, std::string>> Expected() {
    std::map<std::string, std::map<std::string, std::string>> out;
    std::ifstream in(kFixtures + "expected.tsv");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream row(line);
        std::string file, frame, hex;
        std::getline(row, file, '\t');
        std::getline(row, frame, '\t');
        std::getline(row, hex, '\t');
        out[file][frame] = Unhex(hex);
    }
    return out;
}

// Reads what the tag object holds, as the title lookup would show it.
std::map<std::string, std::string> OurTexts(Id3v2Tag &tag) {
    std::map<std::string, std::string> out;
    for (const char *id : {"TIT2", "TPE1", "TALB", "TYER", "TCON", "TRCK"}) {
        std::string text;
        if (tag.GetTextFrame(id, text) == 0) {
            out[id] = UpToNul(text);
        }
    }
    COMM c;
    if (tag.GetCommentFrame(c, "", "None") == 0) {
        out["COMM"] = UpToNul(c.Text);
    }
    return out;
}

bool MutagenAvailable() {
    const std::string cmd = std::string(MIRVANE_PYTHON) + " -c 'import mutagen' 2>/dev/null";
    return std::system(cmd.c_str()) == 0;
}

// Runs tools/tags_mutagen_dump.py once over the files: file -> key -> value ("size",
// "version", frame IDs with their texts).
using Dump = std::map<std::string, std::map<std::string, std::string>>;
Dump MutagenTexts(const std::vector<std::string> &files) {
    std::string cmd =
        std::string(MIRVANE_PYTHON) + " " + MIRVANE_SOURCE_DIR + "/tools/tags_mutagen_dump.py";
    for (const std::string &f : files) {
        cmd += " '" + f + "'";
    }
    Dump out;
    FILE *p = ::popen(cmd.c_str(), "r");
    if (!p) {
        return out;
    }
    std::array<char, 65536> buf{};
    std::string current;
    while (std::fgets(buf.data(), static_cast<int>(buf.size()), p)) {
        std::string line(buf.data());
        if (!line.empty() && line.back() == '\n') {
            line.pop_back();
        }
        const size_t space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        if (key == "file") {
            current = value;
            out[current];
        } else {
            out[current][key] = (key == "size" || key == "version") ? value : Unhex(value);
        }
    }
    ::pclose(p);
    return out;
}

class MutagenFiles : public ::testing::TestWithParam<std::string> {};

const std::vector<std::string> kFiles = {"v23-latin1.mp3",  "v23-utf16.mp3",   "v24-utf8.mp3",
                                         "v24-utf16be.mp3", "v23-picture.mp3", "v24-picture.mp3",
                                         "v23-unsync.mp3",  "v24-unsync.mp3"};

} // namespace

TEST_P(MutagenFiles, LoadHereWithTheSameTexts) {
    const auto expected = Expected();
    ASSERT_TRUE(expected.count(GetParam())) << "fixture missing from expected.tsv";
    Id3v2Tag tag;
    const uint16_t status = tag.LoadTag(kFixtures + GetParam(), 0);
    ASSERT_LE(status, 0xFF);
    EXPECT_EQ(OurTexts(tag), expected.at(GetParam()));
    // The audio follows the tag where our header says.
    const Bytes file = ReadFile(kFixtures + GetParam());
    const Bytes audio = ReadFile(kFixtures + "audio.bin");
    ASSERT_EQ(file.size(), 10 + tag.TagSize + audio.size());
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), file.begin() + 10 + tag.TagSize));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, MutagenFiles, ::testing::ValuesIn(kFiles), [](const auto &info) {
    std::string name = info.param.substr(0, info.param.find('.'));
    for (char &c : name) {
        c = c == '-' ? '_' : c;
    }
    return name;
});

TEST(MutagenInterop, FilesSavedHereLoadInMutagenWithTheSameTextsAndAudio) {
    if (!MutagenAvailable()) {
        GTEST_SKIP() << "python3-mutagen is not installed (" << MIRVANE_PYTHON << ")";
    }
    TempDir dir;
    const Bytes audio = ReadFile(kFixtures + "audio.bin");
    const auto fixtures = Expected();
    std::map<std::string, std::map<std::string, std::string>> expected;
    std::map<std::string, uint32_t> tagSize;
    std::map<std::string, uint8_t> version;
    std::vector<std::string> paths;
    for (const std::string &name : kFiles) {
        const std::string path = dir.file(name);
        std::filesystem::copy_file(kFixtures + name, path);
        auto want = fixtures.at(name);
        Id3v2Tag tag;
        ASSERT_LE(tag.LoadTag(path, 0), 0xFF) << name;
        // The editor's Save: new Latin-1 title, album and comment, the genre removed, the
        // rest kept as mutagen wrote it.
        want["TIT2"] = "Neuer Titel \xFC\xDF \xFF mit Umlaut";
        want["TALB"] = std::string("\xC0 bient\xF4t");
        want.erase("TCON");
        want["COMM"] = "Kommentar \xE9\xE8";
        ASSERT_EQ(tag.SetTextFrame("TIT2", want["TIT2"]), 0);
        ASSERT_EQ(tag.SetTextFrame("TALB", want["TALB"]), 0);
        ASSERT_EQ(tag.SetTextFrame("TCON", ""), id3v2::kRemoved);
        COMM comment{0, "ENG", "", want["COMM"]};
        ASSERT_EQ(tag.SetCommentFrame(comment, "", "None"), 0);
        ASSERT_LE(tag.SaveTag("=", 0xFF, 0xFF, -1), 0xFF) << name;
        expected[path] = want;
        tagSize[path] = tag.TagSize;
        version[path] = tag.Version;
        paths.push_back(path);
        // The audio after the tag is byte for byte the original, and our reader agrees.
        const Bytes saved = ReadFile(path);
        ASSERT_EQ(saved.size(), tag.TagSize + audio.size()) << name;
        EXPECT_TRUE(std::equal(audio.begin(), audio.end(), saved.begin() + tag.TagSize)) << name;
        Id3v2Tag again;
        ASSERT_LE(again.LoadTag(path, 0), 0xFF) << name;
        EXPECT_EQ(OurTexts(again), want) << name;
    }
    Dump theirs = MutagenTexts(paths);
    for (const std::string &path : paths) {
        auto got = theirs[path];
        ASSERT_FALSE(got.empty()) << "mutagen read no tag from " << path;
        EXPECT_EQ(got["version"], std::to_string(version[path])) << path;
        EXPECT_EQ(got["size"], std::to_string(tagSize[path])) << path;
        got.erase("version");
        got.erase("size");
        EXPECT_EQ(got, expected[path]) << path;
    }
}

TEST(MutagenInterop, FileTaggedOnlyHereLoadsInMutagen) {
    if (!MutagenAvailable()) {
        GTEST_SKIP() << "python3-mutagen is not installed";
    }
    TempDir dir;
    const Bytes audio = ReadFile(kFixtures + "audio.bin");
    std::vector<std::string> paths;
    for (uint8_t version : {3, 4}) {
        const std::string path = dir.file("new" + std::to_string(version) + ".mp3");
        WriteFile(path, audio);
        Id3v2Tag tag;
        tag.SetTextFrame("TPE1", "K\xFCnstler");
        tag.SetTextFrame("TIT2", "Titel");
        tag.SetUnsynchronisation(version == 3);
        ASSERT_LE(tag.SaveTag(path, version, 0, 0), 0xFF);
        const Bytes saved = ReadFile(path);
        EXPECT_TRUE(
            std::equal(audio.begin(), audio.end(), saved.end() - static_cast<long>(audio.size())));
        paths.push_back(path);
    }
    Dump theirs = MutagenTexts(paths);
    for (size_t i = 0; i < paths.size(); ++i) {
        auto got = theirs[paths[i]];
        EXPECT_EQ(got["version"], std::to_string(3 + i));
        EXPECT_EQ(got["TPE1"], "K\xFCnstler");
        EXPECT_EQ(got["TIT2"], "Titel");
    }
}

TEST(MutagenInterop, HexHelpersRoundTrip) {
    EXPECT_EQ(Unhex(Hex("\xFF\x01z")), "\xFF\x01z");
}
