// The length cache behind writing playlists: measured once, hints from the last written list.
#include "playback/length_cache.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Counting {
    int calls = 0;
    int answer = 7;
    mirvane::LengthCache::Measure fn() {
        return [this](const QString &) {
            ++calls;
            return answer;
        };
    }
};

void Write(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

TEST(LengthCache, UnchangedFileIsMeasuredOnceChangedFileAgain) {
    QTemporaryDir dir;
    const QString file = dir.filePath("a.wav");
    Write(file, "1234");
    mirvane::LengthCache cache;
    Counting m;
    EXPECT_EQ(cache.SecondsOf(file, mirvane::StampOf(file), m.fn()), 7);
    EXPECT_EQ(cache.SecondsOf(file, mirvane::StampOf(file), m.fn()), 7);
    EXPECT_EQ(m.calls, 1);
    Write(file, "123456"); // another size
    m.answer = 9;
    EXPECT_EQ(cache.SecondsOf(file, mirvane::StampOf(file), m.fn()), 9);
    EXPECT_EQ(m.calls, 2);
}

TEST(LengthCache, HintHoldsOnlyForFilesNotModifiedSinceTheListWasWritten) {
    QTemporaryDir dir;
    const QString old = dir.filePath("old.wav");
    const QString fresh = dir.filePath("fresh.wav");
    Write(old, "x");
    const mirvane::FileStamp oldStamp = mirvane::StampOf(old);
    Write(fresh, "y");
    mirvane::FileStamp freshStamp = mirvane::StampOf(fresh);
    freshStamp.modifiedNs = oldStamp.modifiedNs + 1000; // modified after the list was written
    mirvane::LengthCache cache;
    cache.AddHint(old, 245, oldStamp.modifiedNs);
    cache.AddHint(fresh, 100, oldStamp.modifiedNs);
    Counting m;
    EXPECT_EQ(cache.SecondsOf(old, oldStamp, m.fn()), 245);
    EXPECT_EQ(m.calls, 0);
    EXPECT_EQ(cache.SecondsOf(fresh, freshStamp, m.fn()), 7);
    EXPECT_EQ(m.calls, 1);
}

TEST(FileStamp, OnlyRegularFilesCount) {
    QTemporaryDir dir;
    EXPECT_FALSE(mirvane::StampOf(dir.path()).isFile);
    EXPECT_FALSE(mirvane::StampOf(dir.filePath("none")).isFile);
    EXPECT_FALSE(mirvane::StampOf("").isFile);
    Write(dir.filePath("f"), "abc");
    const auto stamp = mirvane::StampOf(dir.filePath("f"));
    EXPECT_TRUE(stamp.isFile);
    EXPECT_EQ(stamp.size, 3);
}

} // namespace
