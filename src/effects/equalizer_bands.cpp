#include "effects/equalizer_bands.h"

#include <algorithm>
#include <cmath>

namespace mirvane::eq {

int StoredValue(std::optional<int> stored) {
    if (!stored)
        return kDesignValue;
    return std::clamp(*stored, kMinValue, kMaxValue);
}

QImage RulerImage() {
    constexpr int kWidth = 3, kHeight = 89;
    QImage ruler(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y) {
        // 0 at the middle row, 1 at either end.
        const double t = std::abs(y - (kHeight - 1) / 2.0) / ((kHeight - 1) / 2.0);
        const int red = int(std::lround(255 * t));
        const int green = int(std::lround(255 * (1 - t)));
        for (int x = 0; x < kWidth; ++x)
            ruler.setPixel(x, y, qRgb(red, green, 0));
    }
    return ruler;
}

} // namespace mirvane::eq
