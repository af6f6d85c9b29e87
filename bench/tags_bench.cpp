// Tag library benchmarks, side by side in one run (page cache warm for all):
//   read: title and artist of 5,000 generated tagged MP3 files read as Unicode
//         (GetTextFrameUtf8); their texts hold characters beyond Latin-1 (UTF-16 with mark in
//         the v2.3 half, UTF-8 in the v2.4 half), every tenth file has a 100 KB picture.
//         Beside it TagLib's MPEG::File reading the same two fields.
//   save: a 50 MB MP3 whose tag grows inside its padding (written in place, flushed), and one
//         whose tag grows 5 KB past it (a new file beside the old one, flushed, renamed),
//         each timed from LoadTag to the end of SaveTag; beside them `cp` of the same file
//         followed by an fsync of the copy (over an existing file, whose blocks cp frees as
//         the save frees the replaced file's, and into a new file), and TagLib's in-place save
//         followed by an fsync.
// Usage: tags_bench [FOLDER [read|save]]   FOLDER: where the files go (default: the system's
// temporary folder; use a real disk); read or save runs only that half.

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

// Encoding byte, then the text: UTF-16 with mark in version 3, UTF-8 in version 4.
Bytes UnicodeText(int version, const std::string &utf8) {
    const uint8_t encoding = version == 3 ? id3v2::kUtf16 : id3v2::kUtf8;
    Bytes b{encoding};
    Append(b, id3v2::EncodeText(utf8, encoding));
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
    AddFrame(frames, version, "TIT2",
             UnicodeText(version, "T\u00edtulo n\u00famero " + std::to_string(i) +
                                      " \u2014 \u0416\u0438\u0437\u043d\u044c"));
    AddFrame(frames, version, "TPE1",
             UnicodeText(version, "Artist " + std::to_string(i % 97) + " \u2605"));
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
    std::string title, artist;
    for (const std::string &f : files) {
        if (tag.LoadTag(f, 0) > 0xFF) {
            std::fprintf(stderr, "load failed: %s\n", f.c_str());
            continue;
        }
        tag.GetTextFrameUtf8("TIT2", title);
        tag.GetTextFrameUtf8("TPE1", artist);
        chars += title.size() + artist.size();
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
        chars += tag->title().to8Bit(true).size() + tag->artist().to8Bit(true).size();
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

// LoadTag, a comment of commentLength characters, SaveTag: seconds.
double TimedSave(const std::string &path, size_t commentLength) {
    const auto t0 = Clock::now();
    Id3v2Tag tag;
    tag.LoadTag(path, 0);
    COMM c{0, "ENG", "", std::string(commentLength, 'g')};
    tag.SetCommentFrame(c, "", "None");
    const uint16_t s = tag.SaveTag("=", 0xFF, 0xFF, -1);
    const auto t1 = Clock::now();
    if (s > 0xFF) {
        std::fprintf(stderr, "save failed: %u\n", s);
    }
    return Seconds(t0, t1);
}

void Copy(const std::string &from, const std::string &to) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    FsyncFile(to);
}

} // namespace

int main(int argc, char **argv) {
    const fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    const fs::path dir = base / ("mirvane-tags-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string only = argc > 2 ? argv[2] : "";

    const int kRounds = 7;
    const Bytes picture = Noise(100 * 1024, 2);
    if (only != "save") {
        // --- Reading ---
        const int kFiles = 5000;
        const Bytes audio = Noise(8192, 1);
        std::vector<std::string> files;
        for (int i = 0; i < kFiles; ++i) {
            files.push_back((dir / ("song" + std::to_string(i) + ".mp3")).string());
            Write(files.back(), TaggedFile(i, audio, picture));
        }
        ReadOurs(files); // warm the page cache
        ReadTagLib(files);
        std::vector<double> ours, theirs;
        size_t oursChars = 0, theirChars = 0;
        for (int round = 0; round < kRounds; ++round) {
            auto t0 = Clock::now();
            oursChars = ReadOurs(files);
            auto t1 = Clock::now();
            theirChars = ReadTagLib(files);
            auto t2 = Clock::now();
            ours.push_back(kFiles / Seconds(t0, t1));
            theirs.push_back(kFiles / Seconds(t1, t2));
        }
        std::printf("read title + artist (Unicode) of %d files (half v2.3 UTF-16, half v2.4 UTF-8; "
                    "every tenth with a 100 KB picture), median of %d rounds:\n",
                    kFiles, kRounds);
        std::printf("  Id3v2Tag: %8.0f files/s (best %.0f)   %zu bytes of UTF-8\n", Median(ours),
                    *std::max_element(ours.begin(), ours.end()), oursChars);
        std::printf("  TagLib:   %8.0f files/s (best %.0f)   %zu bytes of UTF-8\n", Median(theirs),
                    *std::max_element(theirs.begin(), theirs.end()), theirChars);
        for (const auto &f : files) {
            fs::remove(f);
        }
    }

    if (only != "read") {
        // --- Saving ---
        const std::string original = (dir / "big-original.mp3").string();
        const std::string work = (dir / "big.mp3").string();
        const std::string copy = (dir / "big-copy.mp3").string();
        size_t comment = 0, padding = 0;
        {
            Bytes big = TaggedFile(1, Noise(50u << 20, 3), picture);
            Write(original, big);
            Id3v2Tag tag; // give it the padding our saves keep, so every save starts from it
            tag.LoadTag(original, 0);
            tag.SaveTag("=", 0xFF, 0xFF, -1);
            FsyncFile(original);
            COMM c;
            tag.GetCommentFrame(c, "", "None");
            comment = c.Text.size();
            padding = tag.PaddingSize;
        }
        const size_t inside = comment + padding / 2, past = comment + padding + 5 * 1024;
        std::vector<double> fits, grows, cpNew, cpOver, tlSave, tlSaveSync;
        const std::string cpCommand = "cp '" + original + "' '" + copy + "'";
        for (int round = 0; round < kRounds; ++round) {
            // The comment grows by half the padding.
            Copy(original, work);
            fits.push_back(TimedSave(work, inside));
            // The comment grows by the padding and 5 KB more.
            Copy(original, work);
            grows.push_back(TimedSave(work, past));
            // cp of the same file, then fsync of the copy: into a new file, and over a file
            // just written like the one a save replaces (cp then frees the old blocks, as the
            // save does when its rename lets the old file go).
            const auto timedCp = [&](std::vector<double> &into) {
                const auto t0 = Clock::now();
                if (std::system(cpCommand.c_str()) != 0) {
                    std::fprintf(stderr, "cp failed\n");
                }
                FsyncFile(copy);
                into.push_back(Seconds(t0, Clock::now()));
            };
            fs::remove(copy);
            timedCp(cpNew);
            Copy(original, copy);
            timedCp(cpOver);
            // TagLib, the same 5 KB growth, in place.
            Copy(original, work);
            {
                const auto t0 = Clock::now();
                {
                    TagLib::MPEG::File file(work.c_str(), false);
                    file.ID3v2Tag(true)->setComment(TagLib::String(std::string(past, 'g')));
                    file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone,
                              TagLib::ID3v2::v4);
                }
                const auto t1 = Clock::now();
                FsyncFile(work);
                const auto t2 = Clock::now();
                tlSave.push_back(Seconds(t0, t1));
                tlSaveSync.push_back(Seconds(t0, t2));
            }
        }
        std::printf("save into a 50 MB file, padding %zu bytes (load, edit, save; median of %d):\n",
                    padding, kRounds);
        std::printf("  tag grows inside its padding (in place, fdatasync): %8.2f ms (min %.2f)\n",
                    Median(fits) * 1e3, *std::min_element(fits.begin(), fits.end()) * 1e3);
        std::printf("  tag grows 5 KB past it (beside, fsync, rename):     %8.2f ms (min %.2f)\n",
                    Median(grows) * 1e3, *std::min_element(grows.begin(), grows.end()) * 1e3);
        std::printf("  cp of the same file + fsync, over a file:           %8.2f ms (min %.2f)\n",
                    Median(cpOver) * 1e3, *std::min_element(cpOver.begin(), cpOver.end()) * 1e3);
        std::printf("  cp of the same file + fsync, into a new file:       %8.2f ms (min %.2f)\n",
                    Median(cpNew) * 1e3, *std::min_element(cpNew.begin(), cpNew.end()) * 1e3);
        std::printf("  growing save / (cp + fsync): over a file %.2f, into a new file %.2f\n",
                    Median(grows) / Median(cpOver), Median(grows) / Median(cpNew));
        std::printf("  TagLib, grows 5 KB (in place, no fsync):            %8.2f ms\n",
                    Median(tlSave) * 1e3);
        std::printf("  TagLib, grows 5 KB (in place, then fsync):          %8.2f ms\n",
                    Median(tlSaveSync) * 1e3);
    }
    fs::remove_all(dir);
    return 0;
}
