// The credits markup (pure) and the scroller's steps, driven one step at a time.
#include <gtest/gtest.h>

#include "controls/credits_markup.h"
#include "controls/credits_scroller.h"
#include "player_support.h"

using mirvane::credits::LineStyle;
using mirvane::credits::ParseLines;

TEST(CreditsMarkup, TagsActOnTheWholeLineWhereverTheyStand) {
    const LineStyle defaults;
    const auto lines = ParseLines({"[center][b]Title", "Title[b][center]", "[B][bold]x",
                                   "[i][u][font=verdana][size=20][color=255]y"},
                                  defaults);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, "Title");
    EXPECT_EQ(lines[0].style, lines[1].style);
    EXPECT_TRUE(lines[0].style.bold);
    EXPECT_TRUE(lines[0].style.center);
    // Tags are case-sensitive; unknown ones are ignored.
    EXPECT_EQ(lines[2].text, "x");
    EXPECT_EQ(lines[2].style, defaults);
    EXPECT_TRUE(lines[3].style.italic);
    EXPECT_TRUE(lines[3].style.underline);
    EXPECT_EQ(lines[3].style.face, "verdana");
    EXPECT_EQ(lines[3].style.pointSize, 20);
    EXPECT_EQ(lines[3].style.color, QColor(255, 0, 0)); // red in the low byte
}

TEST(CreditsMarkup, BadSizeOrColourIsSkippedAndTheRestDrawn) {
    const LineStyle defaults;
    const auto lines = ParseLines({"[size=big][b][color=red]Still here",
                                   "[size=-3][color=99999999999]z", "[color=16711680]blue"},
                                  defaults);
    EXPECT_EQ(lines[0].text, "Still here");
    EXPECT_TRUE(lines[0].style.bold);
    EXPECT_EQ(lines[0].style.pointSize, defaults.pointSize);
    EXPECT_EQ(lines[0].style.color, defaults.color);
    EXPECT_EQ(lines[1].style, defaults);
    EXPECT_EQ(lines[2].style.color, QColor(0, 0, 255));
}

TEST(CreditsMarkup, StrayBracketsAndAnOpenTagCarryToTheNextLine) {
    const auto lines = ParseLines({"a]b", "a[b", "center]next", "plain"}, LineStyle{});
    EXPECT_EQ(lines[0].text, "ab");
    EXPECT_EQ(lines[1].text, "a");
    // The open tag's "b" is lost; the next line up to its first "]" is the tag.
    EXPECT_EQ(lines[2].text, "next");
    EXPECT_TRUE(lines[2].style.center);
    EXPECT_FALSE(lines[2].style.bold);
    EXPECT_FALSE(lines[3].style.center);
}

TEST(CreditsScroller, LoopsFromBelowOrStopsWithTheClosingText) {
    player_test::App();
    CreditsScroller scroller;
    scroller.resize(100, 50);
    EXPECT_EQ(scroller.Position(), 51); // just below the bottom edge
    scroller.setScrollText({"[size=20]", "two"});
    // A line of tags only still takes the height of a "W" in its font: a tall gap.
    EXPECT_GT(scroller.LineHeight(0), scroller.LineHeight(1));
    const int total = scroller.TextHeight();
    const int last = scroller.LineHeight(1);
    scroller.setLoop(true);
    int steps = 0;
    int before = scroller.Position();
    while (steps < 10000) {
        scroller.Step();
        ++steps;
        if (scroller.Position() > before) {
            break;
        }
        before = scroller.Position();
    }
    // Once the text has left the top by one more line, the first line enters from below.
    EXPECT_EQ(scroller.Position(), 51);
    EXPECT_EQ(steps, 52 + total + last);
    EXPECT_FALSE(scroller.Finished());

    scroller.setLoop(false);
    for (int i = 0; i < steps; ++i) {
        scroller.Step();
    }
    EXPECT_TRUE(scroller.Finished());
    EXPECT_FALSE(scroller.TimerRunning());
    scroller.resize(120, 60); // a resize restarts from below but not the stopped timer
    EXPECT_EQ(scroller.Position(), 61);
    EXPECT_FALSE(scroller.TimerRunning());
}
