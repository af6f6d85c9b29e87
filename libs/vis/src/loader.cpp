#include "loader.h"

#include <dlfcn.h>

namespace mirvane::vis {

std::unique_ptr<Library> Library::open(const std::string &path, std::string *error) {
    // RTLD_LOCAL keeps two plugins' like-named symbols apart; RTLD_NOW makes a plugin with an
    // unresolved symbol fail here rather than in the middle of a render.
    void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        const char *why = dlerror();
        *error = why ? why : "cannot be loaded";
        return nullptr;
    }
    return std::unique_ptr<Library>(new Library(h));
}

Library::~Library() {
    dlclose(handle_);
}

void *Library::symbol(const char *name) const {
    dlerror();
    return dlsym(handle_, name);
}

} // namespace mirvane::vis
