// The bitmap slider: its pure geometry first, then the widget.

#include "common/rounding.h"
#include "controls/bitmap_slider.h"
#include "controls/control_art.h"
#include "controls/slider_geometry.h"
#include "controls_support.h"

#include <QTest>

#include <QPainter>
#include <QSignalSpy>
#include <QTimerEvent>
#include <gtest/gtest.h>
#include <memory>

using namespace mirvane;

namespace {

// A 10 x 1 ruler whose column i has red i * 10, so copies can be traced to their source.
QImage NumberedRuler(int length, bool vertical = false) {
    QImage img = vertical ? QImage(1, length, QImage::Format_RGB32)
                          : QImage(length, 1, QImage::Format_RGB32);
    for (int i = 0; i < length; ++i)
        img.setPixel(vertical ? 0 : i, vertical ? i : 0, qRgb(i * 10, 1, 2));
    return img;
}
int SourceColumn(const QImage &strip, int at, bool vertical = false) {
    return qRed(strip.pixel(vertical ? 0 : at, vertical ? at : 0)) / 10;
}

// A player-window slider: black, increment 1, no options, no end pieces.
std::unique_ptr<BitmapSlider> PlayerSlider(int width, int min = 0, int max = 100) {
    App();
    auto s = std::make_unique<BitmapSlider>();
    s->resize(width, 12);
    s->setIncrement(1);
    s->setOptions({});
    s->setEdgeSize(0);
    s->setColor(Qt::black);
    s->setMinValue(min);
    s->setMaxValue(max);
    s->show();
    return s;
}

// An equalizer slider: vertical 25 x 89, range 0..19 step 1, value 8, a 3 x 89 ruler.
std::unique_ptr<BitmapSlider> EqSlider(bool points) {
    App();
    auto s = std::make_unique<BitmapSlider>();
    s->resize(25, 89);
    s->setOrientation(BitmapSlider::soVertical);
    s->setMaxValue(19);
    s->setIncrement(1);
    s->setOptions(points ? BitmapSlider::soShowPoints : BitmapSlider::SliderOptions());
    s->setEdgeSize(0);
    s->setColor(QColor(0, 0, 255));
    QImage ruler(3, 89, QImage::Format_RGB32);
    ruler.fill(qRgb(0, 200, 0));
    s->setImageVRuler(ruler);
    s->setValue(8);
    s->show();
    return s;
}

} // namespace

// ---- pure arithmetic ---------------------------------------------------------------------

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(83.5), 84);
    EXPECT_EQ(RoundHalfEven(23.5), 24);
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2);
    EXPECT_EQ(RoundHalfEven(2.4999), 2);
    EXPECT_EQ(RoundHalfEven(2.5001), 3);
    // Garbage saturates instead of overflowing.
    EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
    EXPECT_EQ(RoundHalfEven(1e300), std::numeric_limits<int>::max());
    EXPECT_EQ(RoundHalfEven(-1e300), std::numeric_limits<int>::min());
}

TEST(SliderMapping, Track167Value50IsPixel84AndBack) {
    SliderAxis a;
    a.minValue = 0;
    a.maxValue = 100;
    a.track = 167;
    EXPECT_EQ(SliderPositionOf(a, 50), 84); // 83.5 to even
    EXPECT_EQ(SliderValueAt(a, 84), 50);    // 50.299...
    EXPECT_EQ(SliderPositionOf(a, 0), 0);
    EXPECT_EQ(SliderPositionOf(a, 100), 167);
}

TEST(SliderMapping, VerticalCountsFromTheBottom) {
    SliderAxis a;
    a.vertical = true;
    a.maxValue = 19;
    a.increment = 1;
    a.track = 80;
    a.clientLength = 89;
    a.thumbLength = 9;
    EXPECT_EQ(SliderPositionOf(a, 0), 80);
    EXPECT_EQ(SliderPositionOf(a, 19), 0);
    EXPECT_EQ(SliderValueAt(a, 80), 0);
    EXPECT_EQ(SliderValueAt(a, 0), 19);
}

TEST(SliderMapping, SnapsDownToTheIncrementUnlessSmooth) {
    SliderAxis a;
    a.track = 100;
    a.minValue = 0;
    a.maxValue = 100;
    a.increment = 10;
    a.smooth = false;
    EXPECT_EQ(SliderValueAt(a, 59), 50);
    EXPECT_EQ(SliderThumbTarget(a, 59), 50);
    EXPECT_EQ(SliderThumbTarget(a, -7), 0);
    EXPECT_EQ(SliderThumbTarget(a, 150), 100);
    a.smooth = true;
    EXPECT_EQ(SliderValueAt(a, 59), 59);
    EXPECT_EQ(SliderThumbTarget(a, 59), 59);
}

TEST(SliderMapping, EmptyRangeOrTrackStaysAtTheStart) {
    SliderAxis a;
    a.minValue = 5;
    a.maxValue = 5;
    a.track = 50;
    EXPECT_EQ(SliderPositionOf(a, 5), 0);
    a.maxValue = 100;
    a.track = 0;
    EXPECT_EQ(SliderPositionOf(a, 50), 0);
    EXPECT_EQ(SliderValueAt(a, 10), 5);
}

TEST(SliderSteps, GridIsAlignedToZero) {
    EXPECT_EQ(SliderStepUp(-15, 10), 0);
    EXPECT_EQ(SliderStepDown(-15, 10), -20);
    EXPECT_EQ(SliderStepUp(95, 10), 100);
    EXPECT_EQ(SliderStepDown(7, 10), -10);
    EXPECT_EQ(SliderStepUp(std::numeric_limits<int>::max(), 1), std::numeric_limits<int>::max());
}

TEST(RulerStrip, TwentyFiveFromTenWithoutEdgesEndsWithTheLastFiveColumns) {
    const QImage strip = BuildRulerStrip(NumberedRuler(10), 25, 0, false);
    ASSERT_EQ(strip.size(), QSize(25, 1));
    for (int x = 0; x < 20; ++x)
        EXPECT_EQ(SourceColumn(strip, x), x % 10) << x;
    for (int x = 20; x < 25; ++x)
        EXPECT_EQ(SourceColumn(strip, x), x - 15) << x; // columns 5..9
}

TEST(RulerStrip, EndPiecesStayWholeAndTheMiddleTiles) {
    // S = 10, E = 2: tile = 6; N = 21: n = 2, rest = 5.
    const QImage strip = BuildRulerStrip(NumberedRuler(10), 21, 2, false);
    const int expected[21] = {0, 1, 2, 3, 4, 5, 6, 7, 2, 3, 4, 5, 6, 7, 3, 4, 5, 6, 7, 8, 9};
    for (int x = 0; x < 21; ++x)
        EXPECT_EQ(SourceColumn(strip, x), expected[x]) << x;
}

TEST(RulerStrip, VerticalTilesDownAndShortStripsClip) {
    const QImage strip = BuildRulerStrip(NumberedRuler(10, true), 13, 0, true);
    ASSERT_EQ(strip.size(), QSize(1, 13));
    EXPECT_EQ(SourceColumn(strip, 9, true), 9);
    EXPECT_EQ(SourceColumn(strip, 10, true), 7); // last copy from the end: 7, 8, 9
    EXPECT_EQ(SourceColumn(strip, 12, true), 9);
    const QImage shorter = BuildRulerStrip(NumberedRuler(10), 4, 0, false);
    ASSERT_EQ(shorter.width(), 4);
    EXPECT_EQ(SourceColumn(shorter, 3), 3);
    EXPECT_TRUE(BuildRulerStrip(NumberedRuler(10), -5, 0, false).isNull());
    EXPECT_TRUE(BuildRulerStrip(QImage(), 50, 0, false).isNull());
}

TEST(SliderTicks, MultiplierKeepsTicksThreePixelsApart) {
    // Cross-check the closed form against the search it replaces.
    for (int track = 0; track < 60; ++track)
        for (int range = 1; range < 80; range += 3)
            for (int step = 1; step < 7; ++step) {
                SliderAxis a;
                a.maxValue = range;
                a.track = track;
                int k = 1;
                for (;; ++k) {
                    const int m = range / (step * k);
                    if (m < 1 || (track - (m + 1)) / m >= 3)
                        break;
                }
                const auto ticks = SliderDefaultTicks(a, step, 3, 4);
                ASSERT_EQ(int(ticks.size()), range / (step * k) + 1)
                    << track << " " << range << " " << step;
            }
    // The last tick is long only when the maximum is on the grid.
    SliderAxis a;
    a.maxValue = 25;
    a.track = 200;
    const auto ticks = SliderDefaultTicks(a, 10, 3, 4);
    ASSERT_EQ(ticks.size(), 3u);
    EXPECT_EQ(ticks.back().length, 3);
    // A huge range on a short track stays a handful of ticks.
    a.maxValue = 2000000000;
    a.track = 10;
    EXPECT_LE(SliderDefaultTicks(a, 1, 3, 4).size(), 3u);
}

// ---- the widget --------------------------------------------------------------------------

TEST(Slider, DefaultsAndBuiltInPictures) {
    App();
    BitmapSlider s;
    EXPECT_EQ(s.size(), QSize(140, 40));
    EXPECT_EQ(s.ImageHThumb().size(), QSize(18, 17));
    EXPECT_EQ(s.ImageHRuler().size(), QSize(10, 10));
    EXPECT_EQ(s.ImageVThumb().size(), QSize(34, 9));
    EXPECT_EQ(s.ImageVRuler().size(), QSize(8, 10));
    EXPECT_EQ(s.Thumb()->size(), QSize(9, 17));
    EXPECT_EQ(s.EdgeSize(), 2);
    EXPECT_EQ(s.NumThumbStates(), 2);
    EXPECT_EQ(s.Orientation(), BitmapSlider::soHorizontal);
    EXPECT_EQ(s.Options(),
              BitmapSlider::soShowFocus | BitmapSlider::soShowPoints | BitmapSlider::soSmooth);
    EXPECT_EQ(s.Increment(), 10);
    EXPECT_EQ(s.MinValue(), 0);
    EXPECT_EQ(s.MaxValue(), 100);
    EXPECT_EQ(s.Value(), 0);
    EXPECT_TRUE(s.TabStop());
    EXPECT_EQ(s.UserImages(), 0);
    // Inspectable by name.
    EXPECT_EQ(s.property("MaxValue").toInt(), 100);
    EXPECT_TRUE(s.setProperty("Value", 30));
    EXPECT_EQ(s.Value(), 30);
    EXPECT_EQ(s.property("Orientation").toInt(), int(BitmapSlider::soHorizontal));
    // The pictures' corners are the see-through olive.
    EXPECT_EQ(s.ImageHThumb().pixel(0, 16), SliderKeyColor);
    EXPECT_EQ(s.ImageHRuler().pixel(0, 0), SliderKeyColor);
}

TEST(Slider, PositionSliderLayout) {
    auto s = PlayerSlider(176);
    // Thumb 9 x 17 over a 10-pixel strip: thumb on top, strip centred, ticks below both.
    EXPECT_EQ(s->TrackLength(), 167);
    EXPECT_EQ(s->Thumb()->y(), 0);
    EXPECT_EQ(s->RulerStripPos(), QPoint(0, 3));
    EXPECT_EQ(s->RulerStrip().size(), QSize(176, 10));
    EXPECT_EQ(s->TickOrigin(), 18);
    s->setValue(50);
    EXPECT_EQ(s->Thumb()->x(), 84);
    EXPECT_EQ(s->ValueAtPosition(84), 50);
}

TEST(Slider, AssigningValueClampsAndFiresOnlyOnChangeAfterTheThumbMoved) {
    auto s = PlayerSlider(176);
    int fired = 0, thumbAtFire = -1;
    QObject::connect(s.get(), &BitmapSlider::OnChange, [&](QObject *sender) {
        EXPECT_EQ(sender, s.get());
        ++fired;
        thumbAtFire = s->Thumb()->x();
    });
    s->setValue(0);
    EXPECT_EQ(fired, 0);
    s->setValue(500);
    EXPECT_EQ(s->Value(), 100);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(thumbAtFire, 167);
    s->setValue(-3);
    EXPECT_EQ(s->Value(), 0);
    EXPECT_EQ(fired, 2);
    s->setValue(0);
    EXPECT_EQ(fired, 2);
}

TEST(Slider, RefusedAssignmentsChangeNothing) {
    auto s = PlayerSlider(176);
    s->setValue(40);
    s->setMaxValue(0); // equal to the minimum: a song of 0 seconds
    EXPECT_EQ(s->MaxValue(), 100);
    s->setMinValue(100);
    EXPECT_EQ(s->MinValue(), 0);
    s->setIncrement(0);
    EXPECT_EQ(s->Increment(), 1);
    s->setEdgeSize(5); // 2 * 5 is not less than the 10-pixel ruler
    EXPECT_EQ(s->EdgeSize(), 0);
    s->setEdgeSize(-1);
    EXPECT_EQ(s->EdgeSize(), 0);
    s->setNumThumbStates(3);
    EXPECT_EQ(s->NumThumbStates(), 2);
    s->setEdgeSize(4);
    EXPECT_EQ(s->EdgeSize(), 4);
}

TEST(Slider, LoweringMaxBelowValueWaitsForTheNextAssignment) {
    auto s = PlayerSlider(176);
    s->setValue(80);
    const int thumbX = s->Thumb()->x();
    QSignalSpy changes(s.get(), &BitmapSlider::OnChange);
    s->setMaxValue(50);
    EXPECT_EQ(s->Value(), 80);
    EXPECT_EQ(s->Thumb()->x(), thumbX);
    EXPECT_EQ(changes.count(), 0);
    s->setValue(s->Value());
    EXPECT_EQ(s->Value(), 50);
    EXPECT_EQ(changes.count(), 1);
}

TEST(Slider, OrientationSwitchTakesPicturesLoadedInPlaceAndKeepsValueSilently) {
    auto s = PlayerSlider(176);
    s->setValue(30);
    QImage thumb(24, 10, QImage::Format_RGB32);
    thumb.fill(Qt::red);
    QImage ruler(8, 6, QImage::Format_RGB32);
    ruler.fill(Qt::green);
    s->ImageHThumbRef() = thumb;
    s->ImageHRulerRef() = ruler;
    EXPECT_EQ(s->Thumb()->width(), 9); // nothing applied yet
    QSignalSpy changes(s.get(), &BitmapSlider::OnChange);
    s->setOrientation(BitmapSlider::soVertical);
    s->setOrientation(BitmapSlider::soHorizontal);
    EXPECT_EQ(s->Thumb()->size(), QSize(12, 10));
    EXPECT_EQ(s->RulerStrip().size(), QSize(176, 6));
    EXPECT_EQ(s->RulerStripPos(), QPoint(0, 2));
    EXPECT_EQ(s->Value(), 30);
    EXPECT_EQ(s->Thumb()->x(), s->PositionOfValue(30));
    EXPECT_EQ(changes.count(), 0);
}

TEST(Slider, AssigningPicturesMarksThemAndEmptyRestoresTheDefault) {
    auto s = PlayerSlider(176);
    QImage thumb(20, 8, QImage::Format_RGB32);
    thumb.fill(Qt::red);
    s->setImageHThumb(thumb);
    EXPECT_EQ(s->UserImages(), 1);
    EXPECT_EQ(s->Thumb()->size(), QSize(10, 8));
    s->setImageVRuler(thumb);
    EXPECT_EQ(s->UserImages(), 1 | 8);
    s->setImageHThumb(QImage());
    EXPECT_EQ(s->UserImages(), 8);
    EXPECT_EQ(s->ImageHThumb(), ControlArt("W95_HTB"));
    EXPECT_EQ(s->Thumb()->size(), QSize(9, 17));
    s->setNumThumbStates(1);
    EXPECT_EQ(s->Thumb()->size(), QSize(18, 17));
}

TEST(Slider, IncrementChangeReassignsValue) {
    auto s = PlayerSlider(176, -100, 100);
    s->setValue(0);
    const int before = s->Thumb()->x();
    s->setIncrement(7);
    EXPECT_EQ(s->Value(), 0);
    // The thumb snaps to the grid counted from the minimum: 100 above it becomes 98.
    EXPECT_EQ(s->Thumb()->x(), s->PositionOfValue(-2));
    EXPECT_NE(s->Thumb()->x(), before);
}

TEST(SliderKeys, StepsByOrientationAndIgnoresModifiedKeys) {
    auto s = PlayerSlider(176);
    s->setIncrement(10);
    s->setValue(0);
    EXPECT_TRUE(Key(s.get(), Qt::Key_End));
    EXPECT_EQ(s->Value(), 100);
    EXPECT_TRUE(Key(s.get(), Qt::Key_Home));
    EXPECT_EQ(s->Value(), 0);
    EXPECT_TRUE(Key(s.get(), Qt::Key_Right));
    EXPECT_EQ(s->Value(), 10);
    EXPECT_TRUE(Key(s.get(), Qt::Key_Left));
    EXPECT_EQ(s->Value(), 0);
    EXPECT_FALSE(Key(s.get(), Qt::Key_Up)); // not ours on a horizontal slider
    EXPECT_FALSE(Key(s.get(), Qt::Key_Right, Qt::ShiftModifier));
    EXPECT_EQ(s->Value(), 0);
    s->setValue(95);
    EXPECT_TRUE(Key(s.get(), Qt::Key_Right));
    EXPECT_EQ(s->Value(), 100); // the step clamps at the maximum

    auto v = EqSlider(false);
    EXPECT_TRUE(Key(v.get(), Qt::Key_Up));
    EXPECT_EQ(v->Value(), 9);
    EXPECT_TRUE(Key(v.get(), Qt::Key_Down));
    EXPECT_TRUE(Key(v.get(), Qt::Key_Down));
    EXPECT_EQ(v->Value(), 7);
    EXPECT_FALSE(Key(v.get(), Qt::Key_Left));

    // Arrow keys are claimed before shortcuts can take them.
    QKeyEvent probe(QEvent::ShortcutOverride, Qt::Key_Left, Qt::NoModifier);
    probe.ignore();
    QApplication::sendEvent(s.get(), &probe);
    EXPECT_TRUE(probe.isAccepted());
}

TEST(SliderPaging, PressBesideThumbStepsAtOnceThenOnEveryRepeatTick) {
    auto s = PlayerSlider(176);
    s->setIncrement(10);
    s->setValue(50);
    QSignalSpy changes(s.get(), &BitmapSlider::OnChange);
    QSignalSpy starts(s.get(), &BitmapSlider::OnStartTracking);
    Press(s.get(), {10, 6});
    EXPECT_EQ(s->Value(), 40);
    EXPECT_TRUE(s->RepeatTimerRunning());
    QTimerEvent tick(s->RepeatTimerId());
    QApplication::sendEvent(s.get(), &tick);
    EXPECT_EQ(s->Value(), 30);
    // The thumb passes the pointer: ticks go on without stepping until it comes back.
    s->setValue(0);
    QApplication::sendEvent(s.get(), &tick);
    EXPECT_EQ(s->Value(), 0);
    EXPECT_TRUE(s->RepeatTimerRunning());
    Move(s.get(), {150, 6});
    QApplication::sendEvent(s.get(), &tick);
    EXPECT_EQ(s->Value(), 0); // pointer now beyond the thumb: the other side, no step
    s->setValue(100);
    QApplication::sendEvent(s.get(), &tick);
    EXPECT_EQ(s->Value(), 90); // back on the pressed side
    Release(s.get(), {150, 6});
    EXPECT_FALSE(s->RepeatTimerRunning());
    EXPECT_FALSE(s->Paging());
    EXPECT_EQ(starts.count(), 0);
    EXPECT_GE(changes.count(), 4);
}

TEST(SliderPaging, HeldButtonRepeatsEvery400Milliseconds) {
    auto s = PlayerSlider(176);
    s->setValue(0);
    Press(s.get(), {170, 6});
    EXPECT_EQ(s->Value(), 1);
    QTest::qWait(250);
    EXPECT_EQ(s->Value(), 1);
    QTest::qWait(1000); // ticks at 400, 800 and 1200 ms; a busy machine may lose the last
    EXPECT_GE(s->Value(), 2);
    EXPECT_LE(s->Value(), 4);
    Release(s.get(), {170, 6});
    const int held = s->Value();
    QTest::qWait(450);
    EXPECT_EQ(s->Value(), held);
}

TEST(SliderPaging, DoubleClickTakesTwoStepsAndOtherButtonsNone) {
    auto s = PlayerSlider(176);
    s->setValue(50);
    Press(s.get(), {170, 6});
    Release(s.get(), {170, 6});
    DoubleClick(s.get(), {170, 6});
    Release(s.get(), {170, 6});
    EXPECT_EQ(s->Value(), 52);
    Press(s.get(), {170, 6}, Qt::RightButton);
    Release(s.get(), {170, 6}, Qt::RightButton);
    EXPECT_EQ(s->Value(), 52);
}

TEST(SliderDrag, StartChangesStopInOrderAndValueFollowsThePointer) {
    auto s = PlayerSlider(176);
    s->setValue(0);
    QStringList events;
    QObject::connect(s.get(), &BitmapSlider::OnStartTracking, [&] { events << "start"; });
    QObject::connect(s.get(), &BitmapSlider::OnChange, [&] { events << "change"; });
    QObject::connect(s.get(), &BitmapSlider::OnStopTracking, [&] { events << "stop"; });
    BitmapSliderThumb *thumb = s->Thumb();
    Press(thumb, {4, 5});
    EXPECT_TRUE(s->Tracking());
    EXPECT_TRUE(thumb->PressedState());
    Move(thumb, {4 + 84, 5}); // the thumb's left edge to 84
    EXPECT_EQ(thumb->x(), 84);
    EXPECT_EQ(s->Value(), 50);
    Move(thumb, {500, 5}, Qt::LeftButton);
    EXPECT_EQ(s->Value(), 100);
    EXPECT_EQ(thumb->x(), 167);
    Release(thumb, {0, 0});
    EXPECT_FALSE(s->Tracking());
    EXPECT_FALSE(thumb->PressedState());
    EXPECT_EQ(events, QStringList({"start", "change", "change", "stop"}));
}

TEST(SliderDrag, RightButtonOnThumbFiresOnlyStopTracking) {
    auto s = PlayerSlider(176);
    QStringList events;
    QObject::connect(s.get(), &BitmapSlider::OnStartTracking, [&] { events << "start"; });
    QObject::connect(s.get(), &BitmapSlider::OnChange, [&] { events << "change"; });
    QObject::connect(s.get(), &BitmapSlider::OnStopTracking, [&] { events << "stop"; });
    Press(s->Thumb(), {4, 5}, Qt::RightButton);
    Move(s->Thumb(), {60, 5}, Qt::RightButton);
    Release(s->Thumb(), {60, 5}, Qt::RightButton);
    EXPECT_EQ(events, QStringList({"stop"}));
    EXPECT_EQ(s->Value(), 0);
}

// ---- painting ----------------------------------------------------------------------------

TEST(SliderPaint, RulerIsKeyedAndThumbShowsTheColourNotTheRuler) {
    auto s = PlayerSlider(176);
    s->setColor(QColor(0, 0, 255));
    s->setValue(100); // thumb at 167..175
    const QImage img = Render(s.get());
    // Strip rows 3..12 hold the groove picture rows 0..9; its olive rows show the colour.
    EXPECT_EQ(img.pixel(10, 3), qRgb(0, 0, 255));                   // ruler row 0: olive
    EXPECT_EQ(img.pixel(10, 6), ControlArt("W95_HRL").pixel(0, 3)); // groove's top line
    EXPECT_EQ(img.pixel(10, 7), qRgb(0, 0, 0));
    // The thumb picture's corner is olive: the slider's colour shows, not the groove.
    const QImage thumbPic = ControlArt("W95_HTB");
    ASSERT_EQ(thumbPic.pixel(0, 13), SliderKeyColor);
    EXPECT_EQ(img.pixel(167, 6), thumbPic.pixel(0, 6));
    EXPECT_EQ(img.pixel(167 + 4, 11), thumbPic.pixel(4, 11));
}

TEST(SliderPaint, EqualizerTicksAreBlackLinesRightOfTheThumb) {
    auto s = EqSlider(true);
    const QImage img = Render(s.get());
    EXPECT_EQ(s->TickOrigin(), 18);
    int ticks = 0;
    for (int y = 0; y < 89; ++y) {
        if (img.pixel(18, y) != qRgb(0, 0, 0))
            continue;
        ++ticks;
        const int len = img.pixel(21, y) == qRgb(0, 0, 0) ? 4 : 3;
        EXPECT_EQ(img.pixel(20, y), qRgb(0, 0, 0));
        EXPECT_EQ(len, y == 84 || y == 4 ? 4 : 3) << y; // value 0 at 80 + 4, 19 at 0 + 4
    }
    EXPECT_EQ(ticks, 20);
    // Without soShowPoints there are none.
    auto plain = EqSlider(false);
    const QImage bare = Render(plain.get());
    for (int y = 0; y < 89; ++y)
        ASSERT_NE(bare.pixel(18, y), qRgb(0, 0, 0));
}

TEST(SliderPaint, ConnectedOnDrawPointsReplacesTheDefaultTicks) {
    auto s = EqSlider(true);
    int calls = 0;
    QObject::connect(s.get(), &BitmapSlider::OnDrawPoints, [&](QObject *sender) {
        ++calls;
        auto *slider = static_cast<BitmapSlider *>(sender);
        ASSERT_NE(slider->Canvas(), nullptr);
        slider->Canvas()->fillRect(QRect(20, 0, 1, 1), Qt::white);
    });
    const QImage img = Render(s.get());
    EXPECT_GE(calls, 1);
    EXPECT_EQ(img.pixel(20, 0), qRgb(255, 255, 255));
    EXPECT_NE(img.pixel(18, 84), qRgb(0, 0, 0)); // no default tick
    EXPECT_EQ(s->Canvas(), nullptr);
}

TEST(SliderPaint, EveryPixelIsATwoByTwoBlockAtDoubleDensity) {
    auto s = EqSlider(true);
    s->Thumb()->SetPressedState(true);
    const QImage one = Render(s.get(), 1);
    const QImage two = Render(s.get(), 2);
    ASSERT_EQ(two.size(), QSize(50, 178));
    for (int y = 0; y < one.height(); ++y)
        for (int x = 0; x < one.width(); ++x)
            for (int d = 0; d < 4; ++d)
                ASSERT_EQ(two.pixel(2 * x + d % 2, 2 * y + d / 2), one.pixel(x, y))
                    << x << "," << y;
}
