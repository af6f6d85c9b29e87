#pragma once
// What the host and its helper process share: a memory block (fd 4 in the helper) and a
// stream socket (fd 3) that carries one command byte at a time.
//
// Commands (host to helper): 'R' draw a frame from data into pixels, answered 'K' (drawn) or
// 'S' (the plugin asked to stop); 'C' followed by three int32 (x, y, buttons), not answered;
// 'Q' quit. The helper first answers its start: 'K' (the name is in name; the plugin runs
// unless the helper was asked for the name only) or 'E' (the reason is in error).

#include "mirvane_vis_sonique.h"

#include <cstddef>
#include <cstdint>

namespace mirvane::vis {

struct HelperBlock {
    int32_t width, height; // the frame, fixed for the helper's life
    char name[256];        // NUL-terminated
    char error[512];       // NUL-terminated
    MvisSoniqueData data;
    uint32_t pixels[1]; // width * height, rows width apart
};

inline size_t HelperBlockSize(int width, int height) {
    return offsetof(HelperBlock, pixels) + sizeof(uint32_t) * size_t(width) * size_t(height);
}

constexpr int kHelperSocketFd = 3;
constexpr int kHelperMemoryFd = 4;

} // namespace mirvane::vis
