// The bitmap-font banner: its text arithmetic first, then the label.

#include "controls/banner_text.h"
#include "controls/bitmap_font_label.h"
#include "controls/control_art.h"
#include "controls_support.h"

#include <QSignalSpy>
#include <QTest>
#include <climits>
#include <gtest/gtest.h>
#include <memory>

using namespace mirvane;

namespace {

// The player's song title: 176 x 20, 16-pixel cells of the player font, no border.
std::unique_ptr<BitmapFontLabel> Title(const QString &text) {
    App();
    auto l = std::make_unique<BitmapFontLabel>();
    l->setBorderStyle(BitmapFontLabel::bsNone);
    l->resize(176, 20);
    l->setCharWidth(PlayerFontCharWidth);
    l->setFontChars(PlayerFontChars());
    l->setFontBitmap(PlayerFontBitmap());
    l->setText(text);
    l->show();
    return l;
}

// A font whose cell k is filled with colour (k + 1, 0, 0), so the drawn cell names itself.
QImage NumberedFont(int cells, int cw, int h) {
    QImage f(cells * cw, h, QImage::Format_RGB32);
    for (int k = 0; k < cells; ++k)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < cw; ++x)
                f.setPixel(k * cw + x, y, qRgb(k + 1, 0, 0));
    f.setPixel(0, 0, qRgb(0, 0, 7)); // the label's colour
    return f;
}
// The cell drawn at column x of row y (0 for the background).
int CellAt(const QImage &img, int x, int y = 5) {
    return qRed(img.pixel(x, y));
}

// The glyph cell `g` of the player font drawn at label column x0: the label shows font rows
// 1..19 in its rows 0..18.
bool ShowsGlyph(const QImage &img, int x0, int g) {
    const QImage font = PlayerFontBitmap();
    for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 16; ++x)
            if (img.pixel(x0 + x, y) != font.pixel(g * 16 + x, y + 1))
                return false;
    return true;
}

} // namespace

// ---- pure text arithmetic ----------------------------------------------------------------

TEST(BannerText, UpperCaseFollowsTheWestern1252Rules) {
    EXPECT_EQ(Cp1252Upper(QString::fromUtf8("abz äåöüû ÿ é")), QString::fromUtf8("ABZ ÄÅÖÜÛ Ÿ É"));
    EXPECT_EQ(Cp1252Upper(QString::fromUtf8("ß µ ÷ 1{")), QString::fromUtf8("ß µ ÷ 1{"));
    EXPECT_EQ(Cp1252Upper(QString::fromUtf8("šœž")), QString::fromUtf8("ŠŒŽ"));
    EXPECT_EQ(Cp1252Upper(QString::fromUtf8("ωж")), QString::fromUtf8("ωж")); // not in the page
}

TEST(BannerText, FillingByAlignment) {
    const QChar sp(' ');
    EXPECT_EQ(BannerFill("PAUSED", 11, sp, BannerAlign::Centre), "  PAUSED   ");
    EXPECT_EQ(BannerFill("PAUSED", 11, sp, BannerAlign::Left), "PAUSED     ");
    EXPECT_EQ(BannerFill("PAUSED", 11, sp, BannerAlign::Right), "     PAUSED");
    EXPECT_EQ(BannerFill("PAUSED", 11, QChar(0), BannerAlign::Centre), "PAUSED");
    EXPECT_EQ(BannerFill("LONGER THAN ELEVEN", 11, sp, BannerAlign::Centre), "LONGER THAN ELEVEN");
}

TEST(BannerText, SeventeenCharactersCycleInSeventeenTicks) {
    const QString text = "ABCDEFGHIJKLMNOP ";
    BannerTickState st;
    QStringList frames;
    for (int i = 0; i < 18; ++i)
        frames << BannerTickFrame(text, 11, true, false, ' ', st);
    EXPECT_EQ(frames[0], "ABCDEFGHIJK");
    EXPECT_EQ(frames[1], "BCDEFGHIJKL");
    EXPECT_EQ(frames[6], "GHIJKLMNOP ");
    EXPECT_EQ(frames[7], "HIJKLMNOP A");
    EXPECT_EQ(frames[17], "ABCDEFGHIJK");
    // A text shorter than the width repeats to fill it and scrolls as well.
    BannerTickState shortText;
    EXPECT_EQ(BannerTickFrame("AB ", 7, true, false, ' ', shortText), "AB AB A");
    EXPECT_EQ(BannerTickFrame("AB ", 7, true, false, ' ', shortText), "B AB AB");
}

TEST(BannerText, BlinkShowsFillOnTwoOfSixTicksAndSlowsScrolling) {
    BannerTickState st;
    st.blinkPhase = 2; // as after a Text assignment
    QStringList frames;
    QList<int> positions;
    for (int i = 0; i < 6; ++i) {
        frames << BannerTickFrame("HELLO", 3, true, true, '.', st);
        positions << st.scrollPos;
    }
    // Phases 3, 4, 5, 0, 1, 2: fill in phases 0 and 1; the position moves on odd phases.
    EXPECT_EQ(frames, QStringList({"HEL", "ELL", "ELL", "...", "...", "LOH"}));
    EXPECT_EQ(positions, QList<int>({2, 2, 3, 3, 4, 4}));
}

TEST(BannerText, MissingGlyphsFallBackToTheFillCellOrNothing) {
    const QString chars = " ABC";
    EXPECT_EQ(BannerGlyphCell('B', chars, ' '), 2);
    EXPECT_EQ(BannerGlyphCell('{', chars, ' '), 0);
    EXPECT_EQ(BannerGlyphCell('{', chars, '*'), -1);
    EXPECT_EQ(BannerVisibleCount(176, 16), 11);
    EXPECT_EQ(BannerVisibleCount(176, 0), 0);
}

// ---- the label ---------------------------------------------------------------------------

TEST(Banner, DefaultsAndNames) {
    App();
    BitmapFontLabel l;
    EXPECT_EQ(l.Text(), "Hi there!");
    EXPECT_EQ(l.CharWidth(), 32);
    EXPECT_EQ(l.FillChar(), QChar(' '));
    EXPECT_TRUE(l.UpperCase());
    EXPECT_FALSE(l.Banner());
    EXPECT_EQ(l.BannerSpeed(), 300);
    EXPECT_FALSE(l.Blink());
    EXPECT_EQ(l.Alignment(), BitmapFontLabel::taCenter);
    EXPECT_TRUE(l.FontBitmap().isNull());
    EXPECT_EQ(l.FontChars().size(), 94);
    EXPECT_EQ(l.FontChars()[64].unicode(), 0xFF);
    EXPECT_EQ(l.FontChars().right(3), QString::fromUtf8("úûü"));
    EXPECT_FALSE(l.TimerRunning());
    EXPECT_TRUE(l.setProperty("CharWidth", 16));
    EXPECT_EQ(l.property("CharWidth").toInt(), 16);
    EXPECT_EQ(l.property("Text").toString(), "Hi there!");
}

TEST(Banner, PausedIsCentredInElevenCellsOfTheTitle) {
    auto l = Title("Paused");
    EXPECT_EQ(l->Color(), QColor(0, 0, 0)); // from the font's top-left pixel
    const QImage img = Render(l.get());
    EXPECT_EQ(l->VisibleCount(), 11);
    const QString shown = "  PAUSED   ";
    const QString chars = PlayerFontChars();
    for (int i = 0; i < 11; ++i)
        EXPECT_TRUE(ShowsGlyph(img, 16 * i, int(chars.indexOf(shown[i])))) << i;
    // Font row 0 is cut off (y0 = -1); the label's last row keeps the background.
    for (int x = 0; x < 176; ++x)
        ASSERT_EQ(img.pixel(x, 19), qRgb(0, 0, 0));
}

TEST(Banner, UpperCaseDecidesWhichCellASmallLetterUses) {
    auto l = Title(QString::fromUtf8("ä"));
    const QString chars = PlayerFontChars();
    const int big = int(chars.indexOf(QString::fromUtf8("Ä")));
    const int small = int(chars.indexOf(QString::fromUtf8("ä")));
    EXPECT_TRUE(ShowsGlyph(Render(l.get()), 80, big));
    l->setUpperCase(false);
    EXPECT_TRUE(ShowsGlyph(Render(l.get()), 80, small));
    // ÿ becomes Ÿ, which this font lacks: the space cell stands in.
    l->setUpperCase(true);
    l->setText(QString::fromUtf8("ÿ"));
    EXPECT_TRUE(ShowsGlyph(Render(l.get()), 80, 0));
}

TEST(Banner, MissingGlyphTakesTheFillCellOrNoCellAtAll) {
    App();
    BitmapFontLabel l;
    l.setBorderStyle(BitmapFontLabel::bsNone);
    l.resize(40, 10);
    l.setCharWidth(10);
    l.setFontChars(" ABC");
    l.setFontBitmap(NumberedFont(4, 10, 10));
    l.setAlignment(BitmapFontLabel::taLeftJustify);
    l.setText("A{B");
    l.show();
    EXPECT_EQ(l.Color(), QColor(0, 0, 7));
    QImage img = Render(&l);
    EXPECT_EQ(l.VisibleCount(), 4);
    // "A{B " : the brace shows the space cell (1), then B (3) and the fill (1).
    EXPECT_EQ(CellAt(img, 5), 2);
    EXPECT_EQ(CellAt(img, 15), 1);
    EXPECT_EQ(CellAt(img, 25), 3);
    EXPECT_EQ(CellAt(img, 35), 1);
    // Fill character missing too: the brace takes no cell, B moves left, no filling.
    l.setFillChar('*');
    img = Render(&l);
    // "A{B*" is centred as four cells (x0 = 0) but draws A and B only.
    EXPECT_EQ(CellAt(img, 5), 2);
    EXPECT_EQ(CellAt(img, 15), 3);
    EXPECT_EQ(qBlue(img.pixel(25, 5)), 7); // background where the rest would have been
    EXPECT_EQ(qBlue(img.pixel(35, 5)), 7);
}

TEST(Banner, TextBeyondTheFontShowsTheFillCellAndHugeSkinWidthsAreClamped) {
    App();
    BitmapFontLabel l;
    l.setBorderStyle(BitmapFontLabel::bsNone);
    l.resize(40, 10);
    l.setCharWidth(10);
    l.setFontChars(" ABC");
    l.setFontBitmap(NumberedFont(4, 10, 10));
    l.setAlignment(BitmapFontLabel::taLeftJustify);
    // A Cyrillic letter and the euro sign have no cells: each shows the fallback (the space).
    l.setText(QString::fromUtf8("A\u0416\u20acB"));
    l.show();
    QImage img = Render(&l);
    EXPECT_EQ(CellAt(img, 5), 2);
    EXPECT_EQ(CellAt(img, 15), 1);
    EXPECT_EQ(CellAt(img, 25), 1);
    EXPECT_EQ(CellAt(img, 35), 3);
    // A skin's cell width beyond any screen is clamped, and painting stays within int range.
    l.setCharWidth(INT_MAX);
    EXPECT_EQ(l.CharWidth(), BitmapFontLabel::kMaxSkinPixels);
    img = Render(&l);
    EXPECT_EQ(img.size(), QSize(40, 10));
    l.setBorderWidth(INT_MAX);
    l.setBevelWidth(INT_MAX);
    img = Render(&l);
    EXPECT_EQ(img.size(), QSize(40, 10));
}

TEST(Banner, CharWidthEightKeepsElevenCellsCentredAt44) {
    App();
    BitmapFontLabel l;
    l.setBorderStyle(BitmapFontLabel::bsNone);
    l.resize(176, 20);
    l.setCharWidth(16);
    l.setFontChars("ABCDEFGHIJKLMNOPQRSTUVWXYZ ");
    l.setFontBitmap(NumberedFont(27, 16, 20));
    l.setText("ABCDEFGHIJKLM");
    l.show();
    ASSERT_EQ(l.VisibleCount(), 11);
    l.setCharWidth(8);
    EXPECT_EQ(l.VisibleCount(), 11);
    const QImage img = Render(&l);
    EXPECT_EQ(qBlue(img.pixel(43, 5)), 7);
    EXPECT_EQ(CellAt(img, 44), 1);      // A: cell 0 of an 8-pixel grid
    EXPECT_EQ(CellAt(img, 44 + 87), 6); // K: 8-pixel cell 10 lies in 16-pixel cell 5
    EXPECT_EQ(qBlue(img.pixel(132, 5)), 7);
    l.setCharWidth(0);
    EXPECT_EQ(l.CharWidth(), 8);
}

TEST(Banner, TicksScrollAndRestartOnNewText) {
    auto l = Title("ABCDEFGHIJKLMNOP ");
    l->setBanner(true);
    EXPECT_TRUE(l->TimerRunning());
    l->Tick();
    EXPECT_EQ(l->ShownString(), "ABCDEFGHIJK");
    l->Tick();
    EXPECT_EQ(l->ShownString(), "BCDEFGHIJKL");
    l->setText("0123456789AB");
    EXPECT_EQ(l->ShownString(), "0123456789AB");
    l->Tick();
    EXPECT_EQ(l->ShownString(), "0123456789A");
    l->Tick();
    EXPECT_EQ(l->ShownString(), "123456789AB");
}

TEST(Banner, BannerOnAgainRestartsScrollingButNotTheTimer) {
    auto l = Title("ABCDEFGHIJKLMNOP ");
    l->setBanner(true);
    l->Tick();
    l->Tick();
    EXPECT_EQ(l->ScrollPosition(), 3);
    l->setBanner(true);
    EXPECT_EQ(l->ScrollPosition(), 1);
    EXPECT_TRUE(l->TimerRunning());
    EXPECT_EQ(l->ShownString(), "ABCDEFGHIJKLMNOP ");
    l->setBanner(false);
    EXPECT_FALSE(l->TimerRunning());
    l->setBlink(true);
    EXPECT_TRUE(l->TimerRunning());
    l->setBlink(false);
    EXPECT_FALSE(l->TimerRunning());
}

TEST(Banner, TimerRunsFromBannerSpeedAndNeverSpins) {
    auto l = Title("ABCDEFGHIJKLMNOP ");
    l->setBannerSpeed(20);
    l->setBanner(true);
    QTest::qWait(120);
    EXPECT_GE(l->ScrollPosition(), 3);
    l->setBannerSpeed(0); // stored as given; ticks no faster than 10 ms
    EXPECT_EQ(l->BannerSpeed(), 0);
    EXPECT_TRUE(l->TimerRunning());
    l->setBannerSpeed(-5);
    EXPECT_EQ(l->BannerSpeed(), -5);
    const int at = l->ScrollPosition();
    QTest::qWait(60);
    EXPECT_EQ(l->ScrollPosition(), at);
}

TEST(Banner, RepaintsOnlyWhenTheFrameChanges) {
    auto l = Title("ABC"); // shorter than the width, not scrolling but blinking
    struct Counter : QObject {
        int paints = 0;
        bool eventFilter(QObject *, QEvent *e) override {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    l->installEventFilter(&counter);
    l->setBlink(true); // phase 2
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    counter.paints = 0;
    l->Tick(); // phase 3: "ABC", same as shown
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);
    l->Tick(); // 4
    l->Tick(); // 5
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);
    l->Tick(); // 0: fill characters
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 1);
    EXPECT_EQ(l->ShownString(), QString(11, ' '));
}

TEST(Banner, EveryPixelIsATwoByTwoBlockAtDoubleDensity) {
    auto l = Title("Mirvane Player ");
    const QImage one = Render(l.get(), 1);
    const QImage two = Render(l.get(), 2);
    for (int y = 0; y < one.height(); ++y)
        for (int x = 0; x < one.width(); ++x)
            for (int d = 0; d < 4; ++d)
                ASSERT_EQ(two.pixel(2 * x + d % 2, 2 * y + d / 2), one.pixel(x, y))
                    << x << "," << y;
}

TEST(Banner, ClickFiresOnClick) {
    auto l = Title("X");
    QSignalSpy clicks(l.get(), &BitmapFontLabel::OnClick);
    Press(l.get(), {5, 5});
    Release(l.get(), {5, 5});
    EXPECT_EQ(clicks.count(), 1);
}
