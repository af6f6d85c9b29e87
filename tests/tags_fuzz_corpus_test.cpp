// Replays the fuzzer's corpus (tests/fuzz/corpus) through the same harness as the libFuzzer
// target, so that every input that once found a fault stays a regression test.

#include "tags_fuzz_harness.h"
#include "tags_test_util.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

using namespace tagtest;

TEST(FuzzCorpus, EveryInputKeepsTheSaveContract) {
    const std::filesystem::path corpus =
        std::filesystem::path(MIRVANE_SOURCE_DIR) / "tests/fuzz/corpus";
    ASSERT_TRUE(std::filesystem::is_directory(corpus)) << corpus;
    // Each input is saved with a flush to disk; in memory that costs nothing.
    TempDir scratchOnDisk;
    const std::string scratch =
        ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : scratchOnDisk.path().string();
    size_t inputs = 0;
    for (const auto &entry : std::filesystem::directory_iterator(corpus)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const Bytes data = ReadFile(entry.path().string());
        const std::string failure = RunTagsFuzzInput(data.data(), data.size(), scratch);
        EXPECT_EQ(failure, "") << entry.path().filename();
        ++inputs;
    }
    EXPECT_GE(inputs, 20u);
}
