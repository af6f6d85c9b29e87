// Helper of tags_crash_test.cpp: saves a tag into one file over and over until it is killed.
//   tags_save_child FILE   loads FILE's tag, then alternates TIT2 between a short and a long
//                          text (so the audio moves every time) and saves, forever.
// Prints "ready" once the first load has succeeded, so the parent knows saving has begun.

#include "tags/id3v2.h"

#include <cstdio>
#include <string>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tags_save_child FILE\n");
        return 2;
    }
    Id3v2Tag tag;
    if (tag.LoadTag(argv[1], 0) > 0xFF) {
        return 3;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (unsigned i = 0;; ++i) {
        tag.SetTextFrame("TIT2", (i % 2) ? std::string(6000, 'L') : std::string("short"));
        if (tag.SaveTag("=", 0xFF, 0xFF, -1) > 0xFF) {
            return 4;
        }
    }
}
