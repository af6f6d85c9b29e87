#include "controls/spectrum_analyser.h"

#include "common/rounding.h"

#include <algorithm>
#include <cmath>

using mirvane::RoundHalfEven;

namespace mirvane {

void SpectrumBandLevels(std::span<const float, SpectrumFftLength> fft,
                        std::span<float, SpectrumBandCount> levels) {
    for (int i = 0; i < SpectrumBandCount; ++i) {
        float sum = 0.0f;
        for (int k = SpectrumBandBounds[i]; k <= SpectrumBandBounds[i + 1]; ++k)
            sum += fft[k];
        levels[i] = float(std::sqrt(double(sum)) * 50.0);
    }
}

} // namespace mirvane

SpectrumAnalyser::SpectrumAnalyser(int width, int height, int bandCount)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)), m_bands(std::max(bandCount, 0)),
      m_back(std::max(m_width, 1), std::max(m_height, 1), QImage::Format_RGB32),
      m_levels(m_bands, 0.0f), m_peaks(m_bands, 0.0f), m_bars(m_bands, 0.0f) {
    m_back.fill(BackColor);
}

QRgb SpectrumAnalyser::Zone(float h) const {
    if (h <= float(LowLimit))
        return LowColor;
    if (h < float(MidLimit))
        return MidColor;
    return HighColor;
}

// A horizontal line of BarWidth pixels from column x on `row`, clipped to the buffer.
void SpectrumAnalyser::Line(QRgb *bits, int row, int x, QRgb colour) {
    if (row < 0 || row >= m_height)
        return;
    const int from = std::max(x, 0);
    const int to = std::min(x + BarWidth, m_width);
    if (from >= to)
        return;
    QRgb *line = bits + std::ptrdiff_t(row) * (m_back.bytesPerLine() / 4);
    std::fill(line + from, line + to, colour);
}

void SpectrumAnalyser::Frame(std::span<const float> levels) {
    for (int i = 0; i < m_bands; ++i) {
        const float v = i < int(levels.size()) ? levels[i] : 0.0f;
        m_levels[i] = std::isfinite(v) ? v : 0.0f;
    }
    if (m_width == 0 || m_height == 0)
        return;
    // The buffer is never shared, so bits() does not copy.
    QRgb *bits = reinterpret_cast<QRgb *>(m_back.bits());
    const std::ptrdiff_t stride = m_back.bytesPerLine() / 4;
    for (int y = 0; y < m_height; ++y)
        std::fill(bits + y * stride, bits + y * stride + m_width, BackColor);

    for (int i = 0; i < m_bands; ++i) {
        const int x = FirstX + 2 * BandStep * i;
        const float level = m_levels[i];
        if (ShowPeaks) {
            float &peak = m_peaks[i];
            if (peak > 0)
                peak -= PeakFall;
            // The colour comes from the decayed peak before it rises to the level, so a jump
            // shows in the old zone's colour for one frame.
            const QRgb colour = Zone(peak);
            if (level > peak)
                peak = level;
            Line(bits, m_height - 5 - RoundHalfEven(peak), x, colour);
        }
        float &bar = m_bars[i];
        const int n = RoundHalfEven(level) / 2;
        if (bar > 0)
            bar -= BarFall;
        int s;
        if (float(n) > bar) {
            bar = float(n);
            s = n;
        } else {
            s = RoundHalfEven(bar);
        }
        // Segments above the top row are cut off, so the loop stops there.
        for (int j = 0; j <= s; ++j) {
            const int row = m_height - 1 - 2 * j;
            if (row < 0)
                break;
            Line(bits, row, x, Zone(float(2 * j + 1)));
        }
    }
}

void SpectrumAnalyser::Paint(QPainter &target) const {
    if (m_width == 0 || m_height == 0)
        return;
    // On a high-density target a 1:1 copy of a pre-enlarged frame is several times faster than
    // letting the painter scale, and equally crisp.
    const qreal dpr = target.device() ? target.device()->devicePixelRatio() : 1.0;
    const int k = int(dpr);
    if (k < 2 || k != dpr || k > 4) {
        target.drawImage(QPoint(0, 0), m_back);
        return;
    }
    if (m_scaled.width() != m_width * k || m_scaled.height() != m_height * k) {
        m_scaled = QImage(m_width * k, m_height * k, QImage::Format_RGB32); // once per ratio
        m_scaled.setDevicePixelRatio(k);
    }
    const std::ptrdiff_t srcStride = m_back.bytesPerLine() / 4;
    const std::ptrdiff_t dstStride = m_scaled.bytesPerLine() / 4;
    const QRgb *src = reinterpret_cast<const QRgb *>(m_back.constBits());
    QRgb *dst = reinterpret_cast<QRgb *>(m_scaled.bits());
    for (int y = 0; y < m_height; ++y) {
        QRgb *row = dst + std::ptrdiff_t(y) * k * dstStride;
        const QRgb *in = src + y * srcStride;
        for (int x = 0; x < m_width; ++x)
            std::fill(row + x * k, row + x * k + k, in[x]);
        for (int r = 1; r < k; ++r)
            std::copy(row, row + m_width * k, row + r * dstStride);
    }
    target.drawImage(QPoint(0, 0), m_scaled);
}

void SpectrumAnalyser::Draw(QPainter &target, std::span<const float> levels) {
    Frame(levels);
    Paint(target);
}
