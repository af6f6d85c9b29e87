#pragma once
// Shared objects opened for one plugin. dlfcn.h is included only by loader.cpp.

#include <memory>
#include <string>

namespace mirvane::vis {

class Library {
  public:
    // Opens path with every symbol bound now; nullptr and the loader's own reason in *error.
    static std::unique_ptr<Library> open(const std::string &path, std::string *error);
    ~Library();
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;

    // The exported function name, or nullptr.
    void *symbol(const char *name) const;

  private:
    explicit Library(void *handle) : handle_(handle) {}
    void *handle_;
};

} // namespace mirvane::vis
