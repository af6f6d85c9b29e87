// The built-in pictures of the controls: present, of the sizes the controls rely on, and a
// legible banner font.

#include "controls/control_art.h"
#include "controls_support.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

using namespace mirvane;

TEST(ControlArt, PicturesHaveTheirSizes) {
    EXPECT_EQ(ControlArt("W95_HTB").size(), QSize(18, 17));
    EXPECT_EQ(ControlArt("W95_HRL").size(), QSize(10, 10));
    EXPECT_EQ(ControlArt("W95_VTB").size(), QSize(34, 9));
    EXPECT_EQ(ControlArt("W95_VRL").size(), QSize(8, 10));
    EXPECT_EQ(ControlArt("AD_HAND").size(), QSize(32, 32));
    EXPECT_TRUE(ControlArt("no such picture").isNull());
    App();
    EXPECT_FALSE(HandCursor().pixmap().isNull());
}

TEST(ControlArt, PlayerFontHas99DistinctGlyphsOnBlack) {
    const QImage font = PlayerFontBitmap();
    ASSERT_EQ(font.size(), QSize(1598, 20));
    const QString chars = PlayerFontChars();
    ASSERT_EQ(chars.size(), 99);
    for (int i = 0; i < 59; ++i)
        EXPECT_EQ(chars[i].unicode(), 32 + i);
    EXPECT_EQ(chars.mid(59, 3), QString::fromUtf8("ÄÅÖ"));
    EXPECT_EQ(chars.mid(62, 5), QString("[\\]^_"));
    EXPECT_EQ(chars[67].unicode(), 0xFF);
    EXPECT_EQ(chars.mid(68, 26), QString("abcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(chars.mid(94), QString::fromUtf8("äåöüû"));
    // The label takes its colour from the top-left pixel: black.
    EXPECT_EQ(font.pixel(0, 0), qRgb(0, 0, 0));

    std::set<QByteArray> seen;
    for (int k = 0; k < 99; ++k) {
        QByteArray lit;
        int count = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 16; ++x) {
                const QRgb px = font.pixel(16 * k + x, y);
                const bool on = qGreen(px) > 200 && qBlue(px) > 200 && qRed(px) < 100; // cyan
                lit.append(on ? '1' : '0');
                count += on;
            }
        if (chars[k] == ' ')
            EXPECT_EQ(count, 0);
        else
            EXPECT_GT(count, 2) << k;
        EXPECT_TRUE(seen.insert(lit).second) << "glyph " << k << " repeats another";
    }
}

TEST(ControlArt, CommittedPicturesMatchTheirGenerator) {
    const QString python = QStandardPaths::findExecutable("python3");
    if (python.isEmpty())
        GTEST_SKIP() << "python3 not found; cannot rerun tools/make_control_art.py";
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    const QString root = QStringLiteral(MIRVANE_SOURCE_DIR);
    QProcess gen;
    gen.start(python, {root + "/tools/make_control_art.py", out.path()});
    ASSERT_TRUE(gen.waitForFinished(30000));
    ASSERT_EQ(gen.exitCode(), 0) << gen.readAllStandardError().toStdString();
    for (const char *name :
         {"W95_HTB", "W95_HRL", "W95_VTB", "W95_VRL", "AD_HAND", "player_font"}) {
        // Pixels, not bytes: another zlib may pack the same picture differently.
        const QImage made(out.path() + "/" + name + ".png");
        const QImage committed(root + "/src/controls/art/" + name + ".png");
        ASSERT_FALSE(made.isNull()) << name;
        EXPECT_EQ(made, committed) << name << " differs from its generator";
    }
}
