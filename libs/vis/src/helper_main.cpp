// mirvane-vis-helper: runs one panel plugin for the host, so a plugin that crashes or hangs
// ends this process and not the player. Started by the host only:
//   mirvane-vis-helper FILE SETTINGS NAME_ONLY(0|1)   with fd 3 the socket, fd 4 the block.
#include "helper_protocol.h"
#include "loader.h"
#include "panel_plugin.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace mirvane::vis;

namespace {

bool readAll(void *to, size_t n) {
    auto *p = static_cast<char *>(to);
    while (n > 0) {
        const ssize_t got = read(kHelperSocketFd, p, n);
        if (got <= 0)
            return false;
        p += got;
        n -= size_t(got);
    }
    return true;
}

void answer(char c) {
    if (write(kHelperSocketFd, &c, 1) != 1)
        std::_Exit(1);
}

void copyText(char *to, size_t size, const std::string &text) {
    std::snprintf(to, size, "%s", text.c_str());
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "mirvane-vis-helper is started by the player\n");
        return 2;
    }
    struct stat st {};
    if (fstat(kHelperMemoryFd, &st) != 0 || size_t(st.st_size) < HelperBlockSize(1, 1))
        return 2;
    void *mem =
        mmap(nullptr, size_t(st.st_size), PROT_READ | PROT_WRITE, MAP_SHARED, kHelperMemoryFd, 0);
    if (mem == MAP_FAILED)
        return 2;
    auto *block = static_cast<HelperBlock *>(mem);
    if (HelperBlockSize(block->width, block->height) > size_t(st.st_size))
        return 2;

    std::string why;
    auto lib = Library::open(argv[1], &why);
    const MvisSoniqueModule *m = nullptr;
    if (!lib)
        why = "cannot be loaded: " + why;
    else
        m = PanelModule(*lib, &why);
    if (!m) {
        copyText(block->error, sizeof block->error, why);
        answer('E');
        return 0;
    }
    copyText(block->name, sizeof block->name, BoundedName(m->name));
    if (std::strcmp(argv[3], "1") == 0) {
        answer('K');
        return 0;
    }
    void *state = nullptr;
    if (!m->init || !m->render) {
        copyText(block->error, sizeof block->error, "the module has no init or render function");
        answer('E');
        return 0;
    }
    if (m->init(&state, argv[2], block->width, block->height) != 0) {
        copyText(block->error, sizeof block->error, "the plugin failed to start");
        answer('E');
        return 0;
    }
    answer('K');
    for (;;) {
        char cmd = 0;
        if (!readAll(&cmd, 1) || cmd == 'Q')
            break;
        if (cmd == 'R') {
            const int rc = m->render(state, block->pixels, block->width, block->height,
                                     block->width, &block->data);
            answer(rc == 0 ? 'K' : 'S');
        } else if (cmd == 'C') {
            int32_t args[3];
            if (!readAll(args, sizeof args))
                break;
            if (m->clicked)
                m->clicked(state, args[0], args[1], args[2]);
        }
    }
    if (m->deinit)
        m->deinit(state);
    return 0;
}
