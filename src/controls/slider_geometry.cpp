#include "controls/slider_geometry.h"

#include "common/rounding.h"

#include <QPainter>
#include <algorithm>
#include <cstdint>
#include <limits>

namespace mirvane {

QImage BuildRulerStrip(const QImage &ruler, int length, int edge, bool vertical) {
    const int n_len = std::max(length, 0);
    const int across = vertical ? ruler.width() : ruler.height();
    if (ruler.isNull() || n_len == 0 || across == 0)
        return {};
    QImage strip = vertical ? QImage(across, n_len, QImage::Format_RGB32)
                            : QImage(n_len, across, QImage::Format_RGB32);
    strip.fill(SliderKeyColor);
    const QImage src = ruler.convertToFormat(QImage::Format_RGB32);
    const int s = vertical ? src.height() : src.width();
    const int tile = s - 2 * edge;

    QPainter p(&strip);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    // Copies [from, from + count) of the picture to [to, to + count) of the strip; the
    // painter clips at the strip's end.
    auto copy = [&](int from, int to, int count) {
        if (count <= 0)
            return;
        if (vertical)
            p.drawImage(QPoint(0, to), src, QRect(0, from, across, count));
        else
            p.drawImage(QPoint(to, 0), src, QRect(from, 0, count, across));
    };
    if (tile < 1) {
        // Not a tileable picture: only its first piece fits the model.
        copy(0, 0, s - std::max(edge, 0));
        return strip;
    }
    const int n = (n_len - 2 * edge) / tile;
    const int rest = (n_len - 2 * edge) % tile;
    if (n < 0)
        return strip;
    copy(0, 0, s - edge);
    for (int i = 1; i < n; ++i)
        copy(edge, edge + i * tile, tile);
    if (n > 0)
        copy(edge + tile - rest, edge + n * tile, edge + rest);
    return strip;
}

QImage KeyTransparent(const QImage &image, QRgb key) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QRgb key_rgb = key & 0x00FFFFFF;
    const QImage src = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(src.constScanLine(y));
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((in[x] & 0x00FFFFFF) == key_rgb)
                line[x] = 0;
    }
    return out;
}

int SliderPositionOf(const SliderAxis &axis, int value) {
    const std::int64_t range = std::int64_t(axis.maxValue) - axis.minValue;
    int t = 0;
    if (range > 0 && axis.track > 0)
        t = RoundHalfEven(double(std::int64_t(axis.track) * (std::int64_t(value) - axis.minValue)) /
                          double(range));
    return axis.vertical ? axis.clientLength - t - axis.thumbLength : t;
}

int SliderValueAt(const SliderAxis &axis, int position) {
    const int q = axis.vertical ? axis.clientLength - position - axis.thumbLength : position;
    const std::int64_t range = std::int64_t(axis.maxValue) - axis.minValue;
    std::int64_t x = 0;
    if (axis.track > 0)
        x = RoundHalfEven(double(std::int64_t(q) * range) / double(axis.track));
    if (!axis.smooth && axis.increment > 0)
        x = (x / axis.increment) * axis.increment;
    return int(std::clamp<std::int64_t>(axis.minValue + x, std::numeric_limits<int>::min(),
                                        std::numeric_limits<int>::max()));
}

int SliderThumbTarget(const SliderAxis &axis, int position) {
    int p = std::max(0, std::min(position, axis.track));
    if (!axis.smooth)
        p = SliderPositionOf(axis, SliderValueAt(axis, p));
    return p;
}

static int Saturate(std::int64_t v) {
    return int(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                        std::numeric_limits<int>::max()));
}

int SliderStepUp(int value, int increment) {
    const int inc = std::max(increment, 1);
    return Saturate((std::int64_t(value / inc) + 1) * inc);
}

int SliderStepDown(int value, int increment) {
    const int inc = std::max(increment, 1);
    return Saturate((std::int64_t(value / inc) - 1) * inc);
}

PageSide SliderPageSide(bool vertical, QPoint pointer, const QRect &thumb) {
    if (!vertical) {
        if (pointer.x() < thumb.x())
            return PageSide::Down;
        if (pointer.x() > thumb.x() + thumb.width())
            return PageSide::Up;
    } else {
        if (pointer.y() < thumb.y())
            return PageSide::Up;
        if (pointer.y() > thumb.y() + thumb.height())
            return PageSide::Down;
    }
    return PageSide::None;
}

std::vector<SliderTick> SliderDefaultTicks(const SliderAxis &axis, int step, int height,
                                           int endHeight) {
    std::vector<SliderTick> ticks;
    if (step < 1 || axis.maxValue < axis.minValue)
        return ticks;
    const std::int64_t range = std::int64_t(axis.maxValue) - axis.minValue;
    // The smallest k >= 1 whose tick count m = range div (step * k) is either below 1 or
    // keeps the gap (track - (m + 1)) div m at 3 pixels or more. The gap only shrinks as m
    // grows, so the answer follows from the largest acceptable m instead of a search that a
    // wide range with a short track would make very long.
    const std::int64_t best_m = axis.track >= 1 ? (std::int64_t(axis.track) - 1) / 4 : 0;
    const std::int64_t k = range / (std::int64_t(step) * (best_m + 1)) + 1;
    const std::int64_t stride = step * k;
    for (std::int64_t v = axis.minValue; v <= axis.maxValue; v += stride) {
        const int c = SliderPositionOf(axis, int(v)) + axis.thumbLength / 2;
        const bool end = v == axis.minValue || v == axis.maxValue;
        ticks.push_back({c, end ? endHeight : height});
    }
    return ticks;
}

} // namespace mirvane
