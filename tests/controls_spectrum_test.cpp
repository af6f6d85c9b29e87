// The spectrum painter and the band arithmetic that feeds it.

#include "controls/spectrum_analyser.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace mirvane;

namespace {

const QRgb Black = qRgb(0, 0, 0), Green = qRgb(0, 128, 0), Yellow = qRgb(255, 255, 0),
           Red = qRgb(255, 0, 0);

// The player's painter: 169 x 57, 16 bands, zones at 20 and 40 pixels.
struct Player {
    SpectrumAnalyser spectrum{169, 57, 16};
    QImage target{169, 57, QImage::Format_RGB32};
    std::array<float, 16> levels{};
    Player() {
        spectrum.LowLimit = 20;
        spectrum.MidLimit = 40;
        target.fill(Qt::magenta);
    }
    void Frame() {
        QPainter p(&target);
        spectrum.Draw(p, levels);
    }
    // Lit rows of band `band`'s bar column from the bottom up, as colours.
    std::vector<QRgb> Column(int band) const {
        std::vector<QRgb> col;
        for (int y = 56; y >= 0; --y)
            col.push_back(target.pixel(5 + 10 * band, y));
        return col;
    }
    // Lines of the bar: lit rows every other row from the bottom, up to the first gap in
    // the pattern (the peak marker lies above that gap).
    int Segments(int band) const {
        int n = 0;
        for (int y = 56; y >= 0 && target.pixel(5 + 10 * band + 3, y) != Black; y -= 2)
            ++n;
        return n;
    }
};

} // namespace

TEST(SpectrumBands, FourEntriesOfAHundredthGiveLevelTen) {
    std::array<float, 1025> fft{};
    for (int k = 5; k <= 8; ++k)
        fft[k] = 0.01f;
    std::array<float, 16> levels{};
    SpectrumBandLevels(fft, levels);
    EXPECT_NEAR(levels[0], 10.0f, 1e-4f);
    EXPECT_NEAR(levels[1], std::sqrt(0.01f) * 50, 1e-4f); // shares entry 8
    for (int i = 2; i < 16; ++i)
        EXPECT_EQ(levels[i], 0.0f);
}

TEST(SpectrumBands, BoundsAreInclusiveUpToTheEntryThatStaysZero) {
    std::array<float, 1025> fft{};
    fft[4] = 100;  // below the first band
    fft[1024] = 4; // last band's upper bound
    fft[400] = 5;  // shared by bands 14 and 15
    std::array<float, 16> levels{};
    SpectrumBandLevels(fft, levels);
    EXPECT_EQ(levels[0], 0.0f);
    EXPECT_NEAR(levels[14], std::sqrt(5.0f) * 50, 1e-3f);
    EXPECT_NEAR(levels[15], std::sqrt(9.0f) * 50, 1e-3f);
}

TEST(Spectrum, DefaultsAndGeometry) {
    SpectrumAnalyser s(169, 57, 16);
    EXPECT_EQ(s.LowLimit, 15);
    EXPECT_EQ(s.MidLimit, 30);
    EXPECT_EQ(s.BarWidth, 7);
    EXPECT_EQ(s.BackBuffer().size(), QSize(169, 57));
    for (float v : s.Peaks())
        EXPECT_EQ(v, 0.0f);
    Player p;
    p.levels.fill(2); // one segment each
    p.spectrum.ShowPeaks = false;
    p.Frame();
    // Bands occupy columns 5..11, 15..21, ..., 155..161 of the bottom row.
    for (int x = 0; x < 169; ++x) {
        const bool inBand = x >= 5 && x <= 161 && (x - 5) % 10 < 7;
        EXPECT_EQ(p.target.pixel(x, 56), inBand ? Green : Black) << x;
    }
}

TEST(Spectrum, LevelTenGivesSixGreenLinesAndAPeakFourAbove) {
    Player p;
    p.levels[0] = 10;
    p.Frame();
    const auto col = p.Column(0);
    for (int j = 0; j < 6; ++j) {
        EXPECT_EQ(col[2 * j], Green) << j;     // rows 56, 54, ..., 46
        EXPECT_EQ(col[2 * j + 1], Black) << j; // the gaps
    }
    EXPECT_EQ(col[12], Black);
    EXPECT_EQ(p.target.pixel(5, 57 - 15), Green); // the peak at height - 15
    EXPECT_EQ(p.Segments(0), 6);
    // An idle band is one bottom line and a peak at height - 5 on top of it.
    EXPECT_EQ(p.target.pixel(15, 56), Green);
    EXPECT_EQ(p.target.pixel(15, 52), Green);
}

TEST(Spectrum, JumpToFiftyShowsZonesAndThePeakColourLagsAFrame) {
    Player p;
    p.levels[3] = 50;
    p.Frame();
    const auto col = p.Column(3);
    EXPECT_EQ(p.Segments(3), 26);
    for (int j = 0; j < 26; ++j) {
        const QRgb expected = j <= 9 ? Green : j <= 19 ? Yellow : Red;
        EXPECT_EQ(col[2 * j], expected) << j;
    }
    EXPECT_EQ(p.target.pixel(35, 57 - 55), Green); // peak colour from the value before
    p.Frame();
    EXPECT_EQ(p.target.pixel(35, 57 - 55), Red); // 49.5 rounds to 50: same row, now red
}

TEST(Spectrum, BarsFallOneAndAHalfSegmentsAndPeaksHalfAPixel) {
    Player p;
    p.levels[0] = 50;
    p.Frame();
    p.levels[0] = 0;
    std::vector<int> lines;
    std::vector<float> peaks;
    for (int i = 0; i < 4; ++i) {
        p.Frame();
        lines.push_back(p.Segments(0));
        peaks.push_back(p.spectrum.Peaks()[0]);
    }
    EXPECT_EQ(lines, std::vector<int>({25, 23, 21, 20})); // 23.5 rounds to 24, 20.5 to 20
    EXPECT_EQ(peaks, std::vector<float>({49.5f, 49.0f, 48.5f, 48.0f}));
}

TEST(Spectrum, FixedSizeIsClippedToAShorterArea) {
    SpectrumAnalyser s(169, 57, 16);
    s.LowLimit = 20;
    s.MidLimit = 40;
    QImage area(169, 40, QImage::Format_RGB32);
    area.fill(Qt::magenta);
    std::array<float, 16> levels{};
    levels[0] = 2 * 9; // 10 lines: top line at row 38 of the painter, row 38 of the area
    levels[1] = 2 * 8; // 9 lines: top at row 40, cut off
    levels[2] = 13;    // peak at row 57 - 5 - 13 = 39
    levels[3] = 12;    // peak at row 40, cut off
    QPainter painter(&area);
    s.Draw(painter, levels);
    painter.end();
    EXPECT_EQ(area.pixel(5, 38), Green);
    EXPECT_EQ(area.pixel(15, 38), Black);
    EXPECT_EQ(area.pixel(25, 39), Green);
    EXPECT_EQ(area.pixel(35, 39), Black);
}

TEST(Spectrum, GarbageLevelsNeitherHangNorStick) {
    Player p;
    p.levels[0] = std::numeric_limits<float>::quiet_NaN();
    p.levels[1] = std::numeric_limits<float>::infinity();
    p.levels[2] = 3e38f;
    p.levels[3] = -40;
    p.Frame();
    EXPECT_EQ(p.spectrum.Levels()[0], 0.0f);
    EXPECT_EQ(p.spectrum.Levels()[1], 0.0f);
    EXPECT_EQ(p.Segments(0), 1);
    EXPECT_EQ(p.Segments(2), 29); // every line that fits
    EXPECT_EQ(p.Segments(3), 1);  // a negative level still shows the bottom line
    // Fewer levels than bands: the rest count as 0.
    const float two[2] = {20, 20};
    QPainter painter(&p.target);
    p.spectrum.Draw(painter, two);
    EXPECT_EQ(p.spectrum.Levels()[5], 0.0f);
}

TEST(Spectrum, EveryPixelIsATwoByTwoBlockAtDoubleDensity) {
    Player p;
    for (int i = 0; i < 16; ++i)
        p.levels[i] = float(3 * i + 1);
    QImage two(338, 114, QImage::Format_RGB32);
    two.setDevicePixelRatio(2);
    two.fill(Qt::magenta);
    {
        QPainter painter(&two);
        p.spectrum.Draw(painter, p.levels);
    }
    const QImage &one = p.spectrum.BackBuffer();
    for (int y = 0; y < 57; ++y)
        for (int x = 0; x < 169; ++x)
            for (int d = 0; d < 4; ++d)
                ASSERT_EQ(two.pixel(2 * x + d % 2, 2 * y + d / 2), one.pixel(x, y))
                    << x << "," << y;
}
