// libFuzzer target: arbitrary bytes as an audio file through LoadTag, every frame read, an edit
// and SaveTag (see tags_fuzz_harness.h). Build in its own folder with clang:
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DMIRVANE_FUZZ=ON -DMIRVANE_TESTS=OFF
//   cmake --build build-fuzz --target tags_fuzz
//   build-fuzz/tests/fuzz/tags_fuzz -jobs=1 -max_total_time=900 corpus-work tests/fuzz/corpus

#include "tags_fuzz_harness.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace {
std::string ScratchDir() {
    if (::access("/dev/shm", W_OK) == 0) {
        return "/dev/shm"; // fsync and rename cost nothing there
    }
    const char *tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string dir = ScratchDir();
    const std::string failure = RunTagsFuzzInput(data, size, dir);
    if (!failure.empty()) {
        std::fprintf(stderr, "tags_fuzz: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
