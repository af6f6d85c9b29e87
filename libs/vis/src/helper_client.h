#pragma once
// The host's side of a helper process that runs one panel plugin (helper_protocol.h). POSIX
// process, socket and shared-memory calls are made only by helper_client.cpp. One thread.

#include "helper_protocol.h"

#include <memory>
#include <string>

namespace mirvane::vis {

class PanelHelper {
  public:
    // How long a frame may take before the plugin counts as hung, and how long a start may.
    static constexpr int kFrameTimeoutMs = 500;
    static constexpr int kStartTimeoutMs = 3000;

    // Starts helper (an executable path) on file; nullptr with the reason in *why when the
    // helper cannot run or the plugin fails to load or start (the helper is then gone).
    static std::unique_ptr<PanelHelper> start(const std::string &helper, const std::string &file,
                                              const std::string &settings, bool nameOnly, int width,
                                              int height, std::string *why);
    ~PanelHelper(); // asks the helper to quit; kills it when it does not

    PanelHelper(const PanelHelper &) = delete;
    PanelHelper &operator=(const PanelHelper &) = delete;

    std::string name() const { return block_->name; }
    HelperBlock &block() { return *block_; }

    enum class Frame { Drawn, Stopped, Failed };
    // Lets the plugin draw block().data into block().pixels. Failed: the helper crashed or
    // did not answer in time (it is then killed) and *why says which.
    Frame render(std::string *why);
    void click(int x, int y, int buttons);

  private:
    PanelHelper() = default;
    // The answer byte, or 0 when the helper died or timeoutMs passed (then *why says which).
    char await(int timeoutMs, std::string *why);
    void kill();

    int pid_ = -1;
    int socket_ = -1;
    HelperBlock *block_ = nullptr;
    size_t size_ = 0;
};

// The helper executable to use: MIRVANE_VIS_HELPER when set, else "mirvane-vis-helper" beside
// the running executable when it is there, else "" (plugins then run in this process).
std::string DefaultHelperPath();

} // namespace mirvane::vis
