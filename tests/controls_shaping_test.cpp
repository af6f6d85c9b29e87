// The region of a mask, and the shaping component that applies it to a window.

#include "controls_support.h"
#include "skin/window_shaper.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace mirvane;

namespace {

QImage Row(std::initializer_list<QRgb> pixels) {
    QImage img(int(pixels.size()), 1, QImage::Format_RGB32);
    int x = 0;
    for (QRgb p : pixels)
        img.setPixel(x++, 0, p);
    return img;
}

const QRgb K = qRgb(255, 255, 255), O = qRgb(10, 20, 30), P = qRgb(200, 0, 0);

// The region built the slow way: one rectangle per non-key pixel.
QRegion PixelUnion(const QImage &mask) {
    QRegion r;
    const QRgb key = mask.pixel(0, 0);
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x)
            if (mask.pixel(x, y) != key)
                r += QRect(x, y, 1, 1);
    return r;
}

QImage Mask(int w, int h, QRgb key, QRect body) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(key);
    for (int y = body.top(); y <= body.bottom(); ++y)
        for (int x = body.left(); x <= body.right(); ++x)
            img.setPixel(x, y, O);
    return img;
}

// Regions are equal when they cover the same pixels, however they are split into rectangles.
::testing::AssertionResult SameArea(const QRegion &a, const QRegion &b) {
    if (a.xored(b).isEmpty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "regions differ at " << a.xored(b).rectCount() << " rectangles";
}

} // namespace

TEST(RegionFromMask, RunsOfOneRow) {
    EXPECT_EQ(RegionFromMask(Row({K, O, K})), QRegion(1, 0, 1, 1));
    const QRegion two = RegionFromMask(Row({K, O, P, K, O}));
    EXPECT_EQ(two.rectCount(), 2);
    EXPECT_TRUE(SameArea(two, QRegion(1, 0, 2, 1) + QRegion(4, 0, 1, 1)));
    // The key is whatever the top-left pixel holds.
    EXPECT_TRUE(SameArea(RegionFromMask(Row({O, K, K})), QRegion(1, 0, 2, 1)));
}

TEST(RegionFromMask, EmptyOrOneColouredMasksGiveNoRegion) {
    EXPECT_TRUE(RegionFromMask(QImage()).isEmpty());
    EXPECT_TRUE(RegionFromMask(QImage(0, 5, QImage::Format_RGB32)).isEmpty());
    EXPECT_TRUE(RegionFromMask(Mask(8, 8, K, QRect())).isEmpty());
}

TEST(RegionFromMask, KeyColouredPixelsInsideTheOutlineAreHoles) {
    QImage m = Mask(10, 10, K, QRect(1, 1, 8, 8));
    m.setPixel(4, 4, K);
    const QRegion r = RegionFromMask(m);
    EXPECT_TRUE(r.contains(QPoint(3, 4)));
    EXPECT_FALSE(r.contains(QPoint(4, 4)));
    EXPECT_FALSE(r.contains(QPoint(0, 0)));
    EXPECT_TRUE(SameArea(r, PixelUnion(m)));
}

TEST(RegionFromMask, MatchesThePixelUnionOnNoisyMasks) {
    QRandomGenerator rng(7);
    for (int round = 0; round < 20; ++round) {
        QImage m(1 + rng.bounded(23), 1 + rng.bounded(17), QImage::Format_RGB32);
        for (int y = 0; y < m.height(); ++y)
            for (int x = 0; x < m.width(); ++x)
                m.setPixel(x, y, rng.bounded(3) == 0 ? K : (rng.bounded(2) ? O : P));
        // Some identical rows in a row, to exercise the bands.
        if (m.height() > 3)
            for (int x = 0; x < m.width(); ++x)
                m.setPixel(x, 2, m.pixel(x, 1));
        const QRegion r = RegionFromMask(m);
        ASSERT_TRUE(SameArea(r, PixelUnion(m))) << round;
        // Built in well-formed bands, so point tests agree with the pixels.
        for (int y = 0; y < m.height(); ++y)
            for (int x = 0; x < m.width(); ++x)
                ASSERT_EQ(r.contains(QPoint(x, y)), m.pixel(x, y) != m.pixel(0, 0));
    }
}

TEST(WindowShaper, ActivationShapesSizesAndRemovesTheFrame) {
    App();
    QWidget window;
    window.resize(300, 200);
    auto *shaper = new WindowShaper(&window);
    shaper->setAutoSize(true);
    shaper->MaskRef() = Mask(40, 30, K, QRect(5, 5, 10, 10));
    EXPECT_TRUE(window.mask().isEmpty()); // loading the mask changes nothing by itself
    shaper->setActive(true);
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(SameArea(window.mask(), QRegion(5, 5, 10, 10)));
    EXPECT_EQ(window.size(), QSize(40, 30));

    // Again with a changed mask: the new outline replaces the old one.
    shaper->MaskRef() = Mask(40, 30, K, QRect(20, 0, 5, 30));
    shaper->setActive(true);
    EXPECT_TRUE(SameArea(window.mask(), QRegion(20, 0, 5, 30)));

    // A one-coloured mask leaves the window rectangular.
    shaper->setMask(Mask(40, 30, K, QRect()));
    EXPECT_TRUE(window.mask().isEmpty());

    shaper->setActive(false);
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(window.mask().isEmpty());
    EXPECT_EQ(shaper->property("Active").toBool(), false);
}

TEST(WindowShaper, MaskAssignedWhileInactiveRemovesTheOutline) {
    App();
    QWidget window;
    window.setMask(QRegion(0, 0, 5, 5));
    WindowShaper *shaper = new WindowShaper(&window);
    shaper->setMask(Mask(10, 10, K, QRect(1, 1, 2, 2)));
    EXPECT_TRUE(window.mask().isEmpty());
    EXPECT_FALSE(shaper->AutoSize());
}

TEST(WindowShaper, DeletingTheShaperGivesTheWindowBackButDyingWindowsAreLeftAlone) {
    App();
    QWidget window;
    window.show();
    auto *shaper = new WindowShaper(&window);
    shaper->setMask(Mask(40, 30, K, QRect(5, 5, 10, 10)));
    shaper->setActive(true);
    EXPECT_TRUE(window.isVisible()); // re-shown after the flag change
    delete shaper;
    EXPECT_TRUE(window.mask().isEmpty());
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::FramelessWindowHint));

    auto *dying = new QWidget;
    auto *s2 = new WindowShaper(dying);
    s2->setMask(Mask(40, 30, K, QRect(5, 5, 10, 10)));
    s2->setActive(true);
    delete dying; // must not touch the window on its way out
    SUCCEED();
}

TEST(WindowMove, WithoutASystemMoveTheWindowFollowsThePointerUntilRelease) {
    // The offscreen platform has no system move, so the manual route is taken.
    App();
    QWidget window;
    auto *child = new QWidget(&window); // the press lands on a child, as on the player's picture
    child->setGeometry(0, 0, 50, 50);
    window.move(100, 100);
    window.show();
    const QPointF press(110, 110);
    ASSERT_EQ(StartWindowMove(&window, press), WindowMove::Manual);
    const auto send = [child](QEvent::Type type, QPointF global, Qt::MouseButton button,
                              Qt::MouseButtons buttons) {
        QMouseEvent event(type, child->mapFromGlobal(global), global, button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(child, &event);
    };
    send(QEvent::MouseMove, {150, 130}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(window.pos(), QPoint(140, 120));
    send(QEvent::MouseMove, {90.6, 95.4}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(window.pos(), QPoint(81, 85)); // whole pixels
    send(QEvent::MouseButtonRelease, {90.6, 95.4}, Qt::LeftButton, Qt::NoButton);
    send(QEvent::MouseMove, {300, 300}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(window.pos(), QPoint(81, 85)); // the release ended the move

    QWidget hidden;
    EXPECT_EQ(StartWindowMove(&hidden, press), WindowMove::None);
    EXPECT_EQ(StartWindowMove(nullptr, press), WindowMove::None);
}
