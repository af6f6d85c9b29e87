// Tag library benchmarks, each beside TagLib doing the same work on the same files in the same
// run (page cache warm for both):
//   read: 5,000 generated tagged MP3 files (title, artist, album, year, genre, track, comment;
//         every other file ID3v2.4, every tenth with a 100 KB picture): LoadTag + six
//         GetTextFrame + GetCommentFrame, against TagLib's MPEG::File reading the same fields.
//   save: a 50 MB MP3 whose tag grows by 5 KB (a longer comment), seconds per save. Our save
//         writes a new file beside the old one and flushes it to disk before renaming; TagLib
//         rewrites in place without flushing, so it is also timed with an fsync after it.
// Usage: tags_bench [FOLDER]   (default: the system's temporary folder; use a real disk)

#include "tags/id3v2.h"

#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tstring.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

namespace {

Bytes SyncSafe(uint32_t n) {
    return {uint8_t((n >> 21) & 0x7F), uint8_t((n >> 14) & 0x7F), uint8_t((n >> 7) & 0x7F),
            uint8_t(n & 0x7F)};
}

void Append(Bytes &out, const Bytes &b) {
    for (uint8_t x : b) {
        out.push_back(x);
    }
}

// One frame without flags: v3 sizes are big-endian, v4 sizes sync-safe.
void AddFrame(Bytes &out, int version, const char *id, const Bytes &data) {
    out.insert(out.end(), id, id + 4);
    const uint32_t n = static_cast<uint32_t>(data.size());
    if (version == 3) {
        Append(out, {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    } else {
        Append(out, SyncSafe(n));
    }
    Append(out, {0, 0});
    Append(out, data);
}

Bytes Text(const std::string &s) {
    Bytes b(s.size() + 1, 0); // encoding 0 (Latin-1), then the text
    std::copy(s.begin(), s.end(), b.begin() + 1);
    return b;
}

Bytes Noise(size_t n, uint32_t seed) {
    Bytes b(n);
    std::mt19937 rng(seed);
    for (auto &x : b) {
        x = static_cast<uint8_t>(rng());
    }
    return b;
}

Bytes TaggedFile(int i, const Bytes &audio, const Bytes &picture) {
    const int version = (i % 2) ? 4 : 3;
    Bytes frames;
    AddFrame(frames, version, "TIT2", Text("Title number " + std::to_string(i)));
    AddFrame(frames, version, "TPE1", Text("Artist " + std::to_string(i % 97)));
    AddFrame(frames, version, "TALB", Text("Album " + std::to_string(i % 31)));
    AddFrame(frames, version, "TYER", Text(std::to_string(1960 + i % 60)));
    AddFrame(frames, version, "TCON", Text("Rock"));
    AddFrame(frames, version, "TRCK", Text(std::to_string(1 + i % 20)));
    const std::string c = std::string("\0eng\0", 5) + "A comment for file " + std::to_string(i);
    const Bytes comm(c.begin(), c.end());
    AddFrame(frames, version, "COMM", comm);
    if (i % 10 == 0) {
        // Encoding 0, "image/jpeg" and its NUL, picture type 3, empty description.
        const std::string head("\0image/jpeg\0\3\0", 14);
        Bytes apic(head.begin(), head.end());
        Append(apic, picture);
        AddFrame(frames, version, "APIC", apic);
    }
    frames.resize(frames.size() + 1024, 0); // padding
    Bytes file;
    file.reserve(10 + frames.size() + audio.size());
    const Bytes header = {'I', 'D', '3', uint8_t(version), 0, 0};
    Append(file, header);
    Append(file, SyncSafe(static_cast<uint32_t>(frames.size())));
    Append(file, frames);
    Append(file, audio);
    return file;
}

void Write(const std::string &path, const Bytes &b) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(b.data()), static_cast<std::streamsize>(b.size()));
}

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

size_t ReadOurs(const std::vector<std::string> &files) {
    size_t chars = 0;
    Id3v2Tag tag; // one object for all files, as the program's lookup does
    std::string text;
    COMM comment;
    for (const std::string &f : files) {
        if (tag.LoadTag(f, 0) > 0xFF) {
            std::fprintf(stderr, "load failed: %s\n", f.c_str());
            continue;
        }
        for (const char *id : {"TIT2", "TPE1", "TALB", "TYER", "TCON", "TRCK"}) {
            tag.GetTextFrame(id, text);
            chars += text.size();
        }
        tag.GetCommentFrame(comment, "", "None");
        chars += comment.Text.size();
    }
    return chars;
}

size_t ReadTagLib(const std::vector<std::string> &files) {
    size_t chars = 0;
    for (const std::string &f : files) {
        TagLib::MPEG::File file(f.c_str(), false);
        TagLib::ID3v2::Tag *tag = file.ID3v2Tag();
        if (!tag) {
            continue;
        }
        chars += tag->title().to8Bit().size() + tag->artist().to8Bit().size() +
                 tag->album().to8Bit().size() + std::to_string(tag->year()).size() +
                 tag->genre().to8Bit().size() + std::to_string(tag->track()).size() +
                 tag->comment().to8Bit().size();
    }
    return chars;
}

void FsyncFile(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    const fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    const fs::path dir = base / ("mirvane-tags-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);

    // --- Reading ---
    const int kFiles = 5000;
    const Bytes audio = Noise(8192, 1);
    const Bytes picture = Noise(100 * 1024, 2);
    std::vector<std::string> files;
    for (int i = 0; i < kFiles; ++i) {
        files.push_back((dir / ("song" + std::to_string(i) + ".mp3")).string());
        Write(files.back(), TaggedFile(i, audio, picture));
    }
    ReadOurs(files); // warm the page cache
    ReadTagLib(files);
    std::vector<double> ours, theirs;
    size_t oursChars = 0, theirChars = 0;
    for (int round = 0; round < 5; ++round) {
        auto t0 = Clock::now();
        oursChars = ReadOurs(files);
        auto t1 = Clock::now();
        theirChars = ReadTagLib(files);
        auto t2 = Clock::now();
        ours.push_back(kFiles / Seconds(t0, t1));
        theirs.push_back(kFiles / Seconds(t1, t2));
    }
    std::printf("read %d files (7 fields; half v2.4; every tenth with a 100 KB picture), median of "
                "5 rounds:\n",
                kFiles);
    std::printf("  Id3v2Tag: %8.0f files/s (best %.0f)   %zu characters\n", Median(ours),
                *std::max_element(ours.begin(), ours.end()), oursChars);
    std::printf("  TagLib:    %8.0f files/s (best %.0f)   %zu characters\n", Median(theirs),
                *std::max_element(theirs.begin(), theirs.end()), theirChars);
    for (const auto &f : files) {
        fs::remove(f);
    }

    // --- Saving ---
    const std::string original = (dir / "big-original.mp3").string();
    const std::string work = (dir / "big.mp3").string();
    {
        Bytes big = TaggedFile(1, Noise(50u << 20, 3), picture);
        Write(original, big);
        Id3v2Tag tag; // give it the padding our saves keep, so both start from the same file
        tag.LoadTag(original, 0);
        tag.SaveTag("=", 0xFF, 0xFF, -1);
    }
    const std::string grown(5 * 1024, 'g');
    std::vector<double> ourSave, tlSave, tlSaveSync;
    for (int round = 0; round < 5; ++round) {
        fs::copy_file(original, work, fs::copy_options::overwrite_existing);
        FsyncFile(work);
        {
            auto t0 = Clock::now();
            Id3v2Tag tag;
            tag.LoadTag(work, 0);
            COMM c{0, "ENG", "", grown};
            tag.SetCommentFrame(c, "", "None");
            const uint16_t s = tag.SaveTag("=", 0xFF, 0xFF, -1);
            auto t1 = Clock::now();
            if (s > 0xFF) {
                std::fprintf(stderr, "save failed: %u\n", s);
            }
            ourSave.push_back(Seconds(t0, t1));
        }
        fs::copy_file(original, work, fs::copy_options::overwrite_existing);
        FsyncFile(work);
        {
            auto t0 = Clock::now();
            {
                TagLib::MPEG::File file(work.c_str(), false);
                file.ID3v2Tag(true)->setComment(TagLib::String(grown));
                file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4);
            }
            auto t1 = Clock::now();
            FsyncFile(work);
            auto t2 = Clock::now();
            tlSave.push_back(Seconds(t0, t1));
            tlSaveSync.push_back(Seconds(t0, t2));
        }
    }
    std::printf("save: 50 MB file, tag grows by 5 KB, median of 5:\n");
    std::printf("  Id3v2Tag (write beside, fsync, rename): %.3f s\n", Median(ourSave));
    std::printf("  TagLib (in place, no fsync):             %.3f s\n", Median(tlSave));
    std::printf("  TagLib (in place, then fsync):           %.3f s\n", Median(tlSaveSync));
    fs::remove_all(dir);
    return 0;
}
