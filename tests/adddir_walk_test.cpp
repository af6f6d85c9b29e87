// The folder walk behind "Add Directory": order, masks, depth, links, unreadable folders, stop.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "playback/folder_walk.h"

namespace fs = std::filesystem;
using mirvane::WalkFolder;
using mirvane::WalkOptions;
using mirvane::WalkSummary;

namespace {

// A temporary folder that goes with its whole content; folders made unreadable are opened up
// again first so that the removal can see into them.
class TempTree {
  public:
    TempTree() {
        std::string pattern = (fs::temp_directory_path() / "adddir-walk-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
        }
        root_ = pattern;
    }
    ~TempTree() {
        std::error_code ec;
        for (const fs::path &p : locked_) {
            fs::permissions(p, fs::perms::owner_all, ec);
        }
        fs::remove_all(root_, ec);
    }
    TempTree(const TempTree &) = delete;
    TempTree &operator=(const TempTree &) = delete;

    const fs::path &Root() const { return root_; }
    fs::path File(const std::string &relative) const {
        const fs::path p = root_ / relative;
        fs::create_directories(p.parent_path());
        std::ofstream(p) << "x";
        return p;
    }
    fs::path Folder(const std::string &relative) const {
        fs::create_directories(root_ / relative);
        return root_ / relative;
    }
    void Lock(const fs::path &folder) {
        fs::permissions(folder, fs::perms::none);
        locked_.push_back(folder);
    }

  private:
    fs::path root_;
    std::vector<fs::path> locked_;
};

struct WalkResult {
    std::vector<std::string> files; // relative to the root
    WalkSummary summary;
};

WalkResult Walk(const fs::path &root, std::vector<std::string> masks = {"*.mp3"},
                int maxDepth = 0) {
    WalkOptions options;
    options.root = root;
    options.masks = std::move(masks);
    options.maxDepth = maxDepth;
    WalkResult result;
    result.summary = WalkFolder(options, {}, [&](const fs::path &p) {
        result.files.push_back(p.lexically_relative(root).string());
    });
    return result;
}

using Names = std::vector<std::string>;

} // namespace

TEST(FolderWalk, NaturalOrderFilesFirstThenEachSubfolderWhole) {
    TempTree t;
    for (const char *name : {"track10.mp3", "track2.mp3", "Track1.MP3", "c.ogg", "b/2.mp3",
                             "b/10.mp3", "b/deep/1.mp3", "a/x.mp3", "A10/y.mp3", "a9/z.mp3"}) {
        t.File(name);
    }
    const WalkResult r = Walk(t.Root());
    EXPECT_EQ(r.files, (Names{"Track1.MP3", "track2.mp3", "track10.mp3", "a/x.mp3", "a9/z.mp3",
                              "A10/y.mp3", "b/2.mp3", "b/10.mp3", "b/deep/1.mp3"}));
    EXPECT_EQ(r.summary.filesFound, 9u);
    EXPECT_EQ(r.summary.foldersSkipped, 0u);
    EXPECT_FALSE(r.summary.stopped);

    // Numbers of any length, leading zeros, and names that read the same.
    EXPECT_TRUE(mirvane::NaturalLess("Track 9", "track 10"));
    EXPECT_TRUE(mirvane::NaturalLess("x99999999999999999999", "x100000000000000000000"));
    EXPECT_TRUE(mirvane::NaturalLess("a", "a1"));
    EXPECT_FALSE(mirvane::NaturalLess("a1", "a"));
    EXPECT_TRUE(mirvane::NaturalLess("a01", "a1") != mirvane::NaturalLess("a1", "a01"));
    EXPECT_FALSE(mirvane::NaturalLess("same", "same"));
}

TEST(FolderWalk, MasksIgnoreLetterCaseAndNoMaskTakesEveryFile) {
    TempTree t;
    for (const char *name : {"a.mp3", "b.MP3", "c.Mp3", "d.mp3.bak", "e.it", "f.IT", "g.xm",
                             "h.ogg", "noext", "mp3"}) {
        t.File(name);
    }
    EXPECT_EQ(Walk(t.Root()).files, (Names{"a.mp3", "b.MP3", "c.Mp3"}));
    EXPECT_EQ(Walk(t.Root(), {"*.it", "*.XM"}).files, (Names{"e.it", "f.IT", "g.xm"}));
    EXPECT_EQ(Walk(t.Root(), {}).files.size(), 10u);
    EXPECT_EQ(Walk(t.Root(), {"?.ogg", "*.*.*"}).files, (Names{"d.mp3.bak", "h.ogg"}));

    EXPECT_TRUE(mirvane::MatchesMask("x.mp3", "*.mp3"));
    EXPECT_TRUE(mirvane::MatchesMask(".mp3", "*.mp3"));
    EXPECT_TRUE(mirvane::MatchesMask("a.b.c", "*.*"));
    EXPECT_TRUE(mirvane::MatchesMask("abc", "a**c"));
    EXPECT_FALSE(mirvane::MatchesMask("x.mp", "*.mp3"));
    EXPECT_FALSE(mirvane::MatchesMask("ab", "?"));
}

TEST(FolderWalk, DepthOneStaysInTheRootAndTwoGoesOneDown) {
    TempTree t;
    for (const char *name : {"a.mp3", "b.MP3", "c.ogg", "sub/d.mp3", "sub/deeper/e.mp3"}) {
        t.File(name);
    }
    EXPECT_EQ(Walk(t.Root(), {"*.mp3"}, 1).files, (Names{"a.mp3", "b.MP3"}));
    EXPECT_EQ(Walk(t.Root(), {"*.mp3"}, 2).files, (Names{"a.mp3", "b.MP3", "sub/d.mp3"}));
    EXPECT_EQ(Walk(t.Root(), {"*.mp3"}, 0).files.size(), 4u);
    EXPECT_EQ(Walk(t.Root(), {"*.mp3"}, -3).files.size(), 4u);
}

TEST(FolderWalk, LinksAreFollowedButEveryRealFolderAndFileComesOnce) {
    TempTree t;
    t.File("a/1.mp3");
    fs::create_directory_symlink("..", t.Root() / "a/up");             // a loop to the root
    fs::create_directory_symlink(t.Root() / "a", t.Root() / "a/self"); // a loop to itself
    fs::create_directory_symlink("a", t.Root() / "b");                 // the same folder again
    t.Folder("c");
    fs::create_hard_link(t.Root() / "a/1.mp3", t.Root() / "c/hard.mp3");
    t.Folder("d");
    fs::create_symlink("../a/1.mp3", t.Root() / "d/soft.mp3");
    fs::create_symlink("gone.mp3", t.Root() / "d/dangling.mp3");
    t.File("e/f/2.mp3");
    fs::create_directory_symlink(t.Root() / "e", t.Root() / "e/f/back"); // a longer loop
    fs::create_directory_symlink("e/f", t.Root() / "link-to-f");         // walked after e/f

    const WalkResult r = Walk(t.Root());
    EXPECT_EQ(r.files, (Names{"a/1.mp3", "e/f/2.mp3"}));
    EXPECT_EQ(r.summary.filesFound, 2u);
    EXPECT_EQ(r.summary.linksRevisited, 5u); // up, self, b, back, link-to-f
    EXPECT_EQ(r.summary.foldersSkipped, 0u);
}

TEST(FolderWalk, UnreadableFoldersAreSkippedAndCounted) {
    TempTree t;
    t.File("z.mp3");
    t.File("locked/x.mp3");
    t.File("open/y.mp3");
    t.File("open/locked too/w.mp3");
    t.Lock(t.Root() / "locked");
    t.Lock(t.Root() / "open/locked too");

    // A root that is not there is one folder that could not be read.
    const WalkResult missing = Walk(t.Root() / "not here");
    EXPECT_TRUE(missing.files.empty());
    EXPECT_EQ(missing.summary.foldersSkipped, 1u);

    if (::geteuid() != 0) {
        const WalkResult r = Walk(t.Root());
        EXPECT_EQ(r.files, (Names{"z.mp3", "open/y.mp3"}));
        EXPECT_EQ(r.summary.foldersSkipped, 2u);
        return;
    }
    // Permissions do not stop root: the walk runs in a child that has become nobody.
    fs::permissions(t.Root(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(out[0]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(3);
        }
        const WalkResult r = Walk(t.Root());
        std::string report = std::to_string(r.summary.foldersSkipped) + "\n";
        for (const std::string &f : r.files) {
            report += f + "\n";
        }
        const ssize_t written = ::write(out[1], report.data(), report.size());
        ::_exit(written == static_cast<ssize_t>(report.size()) ? 0 : 4);
    }
    ::close(out[1]);
    std::string report;
    char buffer[256];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
        report.append(buffer, static_cast<size_t>(n));
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3) {
        GTEST_SKIP() << "running as root and could not become nobody to test unreadable folders";
    }
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(report, "2\nz.mp3\nopen/y.mp3\n");
}

TEST(FolderWalk, StopRequestEndsTheWalkBeforeTheNextEntry) {
    TempTree t;
    for (const char *name : {"1.mp3", "2.mp3", "3.mp3", "sub/4.mp3"}) {
        t.File(name);
    }
    std::stop_source stop;
    WalkOptions options;
    options.root = t.Root();
    options.masks = {"*.mp3"};
    std::vector<std::string> seen;
    const WalkSummary s = WalkFolder(options, stop.get_token(), [&](const fs::path &p) {
        seen.push_back(p.filename().string());
        stop.request_stop();
    });
    EXPECT_EQ(seen, (Names{"1.mp3"}));
    EXPECT_TRUE(s.stopped);
}
