#pragma once
// SpectrumAnalyser: paints LED-style spectrum bars with falling peak markers into a back buffer of
// a size fixed at creation, and copies each frame to a target in one block (no flicker). Bars are
// 1-pixel lines with 1-pixel gaps: LowColor near the bottom, MidColor in the middle, HighColor at
// the top. Bar and peak state carries over from frame to frame.
//
// Usage (player window; a widget may only be painted inside its paintEvent):
//   SpectrumAnalyser spectrum(169, 57, 16);
//   spectrum.LowLimit = 20; spectrum.MidLimit = 40;
//   on each visual tick:
//     mirvane::SpectrumBandLevels(fft, levels);   // fft: 1025 floats, levels: 16 floats
//     spectrum.Frame(levels); PaintBox1->update();
//   in PaintBox1's paintEvent:
//     QPainter p(PaintBox1); spectrum.Paint(p);   // the frame at (0, 0), clipped to the box
//   Draw(painter, levels) does both steps at once for targets that can be painted any time
//   (an image).
//
// Frame and Draw allocate nothing (on a high-density target the first Paint makes one
// enlarged buffer and keeps it). Not thread-safe: GUI thread only.

#include <QImage>
#include <QPainter>
#include <array>
#include <span>
#include <vector>

namespace mirvane {

constexpr int SpectrumFftLength = 1025; // 1024 magnitudes and one entry that stays 0
constexpr int SpectrumBandCount = 16;
// Band i sums FFT entries SpectrumBandBounds[i] .. SpectrumBandBounds[i + 1], both included,
// so neighbouring bands share their boundary entry.
constexpr std::array<int, 17> SpectrumBandBounds = {5,   8,   12,  17,  25,  35,  50,  75,  100,
                                                    125, 150, 175, 200, 250, 300, 400, 1024};

// The 16 band levels in pixels: for each band the single-precision sum of its entries in
// ascending order, then sqrt(sum) * 50. Entries are used as they are; a negative sum gives NaN,
// which the painter shows as 0.
void SpectrumBandLevels(std::span<const float, SpectrumFftLength> fft,
                        std::span<float, SpectrumBandCount> levels);

} // namespace mirvane

class SpectrumAnalyser {
  public:
    // Size of the drawing and number of bands, fixed for the painter's life.
    SpectrumAnalyser(int width, int height, int bandCount);

    // Copies the levels (missing ones count as 0, extra ones are ignored; NaN and infinity
    // count as 0), paints a frame into the back buffer and copies it to `target` at (0, 0).
    void Draw(QPainter &target, std::span<const float> levels);
    // The first half of Draw: copy the levels and paint the back buffer.
    void Frame(std::span<const float> levels);
    // The second half: the last frame to `target` at (0, 0), unscaled and unsmoothed.
    void Paint(QPainter &target) const;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int BandCount() const { return m_bands; }
    const QImage &BackBuffer() const { return m_back; }
    std::span<const float> Levels() const { return m_levels; }
    std::span<const float> Peaks() const { return m_peaks; } // pixels above the bottom
    std::span<const float> Bars() const { return m_bars; }   // segments of 2 pixels

    // Parameters, read at every frame.
    QRgb BackColor = qRgb(0, 0, 0);
    QRgb LowColor = qRgb(0, 128, 0);
    QRgb MidColor = qRgb(255, 255, 0);
    QRgb HighColor = qRgb(255, 0, 0);
    int LowLimit = 15; // zone thresholds in pixels above the bottom
    int MidLimit = 30;
    bool ShowPeaks = true;
    float PeakFall = 0.5f; // per frame, pixels
    float BarFall = 1.5f;  // per frame, segments
    int BarWidth = 7;
    int BandStep = 5; // band i starts at FirstX + 2 * BandStep * i
    int FirstX = 5;

  private:
    QRgb Zone(float heightAboveBottom) const;
    void Line(QRgb *bits, int row, int x, QRgb colour);

    int m_width;
    int m_height;
    int m_bands;
    QImage m_back;
    mutable QImage m_scaled; // the frame enlarged for high-density targets, made by Paint
    std::vector<float> m_levels;
    std::vector<float> m_peaks;
    std::vector<float> m_bars;
};
