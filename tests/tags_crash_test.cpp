// Saving never loses audio: a child process saves one file over and over and is killed with
// SIGKILL at many different moments; after every kill the file must be, byte for byte, the
// original, the file with the short title or the file with the long title, and nothing else.

#include "tags/id3v2.h"
#include "tags_test_util.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tagtest;

namespace {

// The file as a save with the given title leaves it (computed on a copy, in this process).
Bytes SavedWith(const TempDir &dir, const Bytes &original, const std::string &title) {
    const std::string path = dir.file("expected.mp3");
    WriteFile(path, original);
    Id3v2Tag tag;
    tag.LoadTag(path, 0);
    tag.SetTextFrame("TIT2", title);
    tag.SaveTag("=", 0xFF, 0xFF, -1);
    Bytes b = ReadFile(path);
    std::filesystem::remove(path);
    return b;
}

// Starts the helper on path and waits until it has loaded the tag.
pid_t StartChild(const std::string &path) {
    int out[2];
    if (::pipe(out) != 0) {
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execl(TAGS_SAVE_CHILD, TAGS_SAVE_CHILD, path.c_str(), static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    char buf[8] = {};
    const ssize_t n = ::read(out[0], buf, sizeof buf - 1); // "ready\n", or 0 if it died
    ::close(out[0]);
    return n > 0 ? pid : -1;
}

} // namespace

TEST(CrashSafeSave, KillAtManyMomentsLeavesOldOrNewFileWhole) {
    TempDir dir;
    const std::string path = dir.file("song.mp3");
    // A 256 KB file: each save copies it and flushes it to disk, long enough to be killed in
    // the middle, short enough for many kills in a few seconds.
    const Bytes original = Cat(
        {Tag(3, 0,
             Cat({Frame3("TIT2", Latin1Text("Original")), Frame3("TPE1", Latin1Text("Artist"))}),
             100),
         Audio(256 << 10, 11)});
    const Bytes shortTitle = SavedWith(dir, original, "short");
    const Bytes longTitle = SavedWith(dir, original, std::string(6000, 'L'));
    ASSERT_NE(shortTitle.size(), longTitle.size()); // the audio moves between the two
    WriteFile(path, original);

    std::mt19937 rng(20240601);
    std::uniform_int_distribution<int> delayUs(0, 20000);
    const int kills = 40;
    int seenOriginal = 0, seenShort = 0, seenLong = 0, killedMidSave = 0;
    auto tempFiles = [&] {
        size_t n = 0;
        for (const auto &e : std::filesystem::directory_iterator(dir.path())) {
            if (e.path() != path) {
                EXPECT_EQ(e.path().filename().string().rfind(".song.mp3.mirvane-save-", 0), 0u);
                ++n;
            }
        }
        return n;
    };
    for (int i = 0; i < kills; ++i) {
        const pid_t pid = StartChild(path);
        ASSERT_GT(pid, 0) << "the saving child did not start";
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(rng)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped saving by itself";
        // A kill in the middle of writing the new file leaves its temporary file, which the
        // next save removes.
        killedMidSave += tempFiles() > 0 ? 1 : 0;
        const Bytes now = ReadFile(path);
        if (now == original) {
            ++seenOriginal;
        } else if (now == shortTitle) {
            ++seenShort;
        } else if (now == longTitle) {
            ++seenLong;
        } else {
            FAIL() << "after kill " << i << " the file is neither the old nor a new one ("
                   << now.size() << " bytes)";
        }
    }
    // The kills fell on saves in progress, not only before the first.
    EXPECT_GT(seenShort + seenLong, 0);
    RecordProperty("original", seenOriginal);
    RecordProperty("short", seenShort);
    RecordProperty("long", seenLong);
    // Each save first removed what the kills before it had left, so at most the last kill's
    // temporary file is still there. They are hidden names beside the file and never mistaken
    // for it.
    EXPECT_LE(tempFiles(), 1u);
    EXPECT_GT(killedMidSave, 0);
    RecordProperty("killed_mid_save", killedMidSave);
}
