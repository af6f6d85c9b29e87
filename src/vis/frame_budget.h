#pragma once
// How often a plugin may be drawn: the interval the user chose, stretched for a slow plugin so
// that drawing takes at most a quarter of one core. Pure value class; one thread.

#include <cstdint>

namespace mirvane::vis {

class FrameBudget {
  public:
    static constexpr int kShare = 4; // a frame may take 1 / kShare of its interval

    explicit FrameBudget(int chosenMs = 25) : chosen_(chosenMs) {}
    void choose(int ms) { chosen_ = ms < 1 ? 1 : ms; }
    int chosen() const { return chosen_; }

    // Records how long the last frame took to draw (nanoseconds) and returns the interval in
    // ms to wait before the next one: at least chosen(), at most 1000. The cost is smoothed
    // over a few frames so one slow frame does not halve the frame rate.
    int next(int64_t drawNs);

  private:
    int chosen_;
    double averageNs_ = 0;
};

} // namespace mirvane::vis
