#include "vis/frame_budget.h"

#include <algorithm>
#include <cmath>

namespace mirvane::vis {

int FrameBudget::next(int64_t drawNs) {
    averageNs_ = averageNs_ == 0 ? double(drawNs) : averageNs_ * 0.75 + double(drawNs) * 0.25;
    const int needed = int(std::ceil(averageNs_ * kShare / 1e6));
    return std::clamp(std::max(chosen_, needed), 1, 1000);
}

} // namespace mirvane::vis
