#pragma once
// One fuzz input through the tag library, shared by the libFuzzer target (tags_fuzz.cpp) and
// the corpus replay in ctest (tests/tags_fuzz_corpus_test.cpp).
//
// The input's bytes become a file; the harness loads it, reads every frame (text, comment,
// resynchronise, decompress), edits (chosen by the input's last byte) and saves, then checks
// what a save promises: the audio after the tag is byte for byte the old audio, the file ends
// on a 4096-byte boundary, and the file loads again with the texts that were set and with every
// frame nobody edited as it stood (when the edit asked for no transform of all frames).

#include <cstddef>
#include <cstdint>
#include <string>

// Returns an empty string when every check held, else what broke. scratchDir must exist.
std::string RunTagsFuzzInput(const uint8_t *data, size_t size, const std::string &scratchDir);
