// The skin on high-density screens: every skin pixel becomes a whole block of screen pixels,
// never a blend of neighbours; fractional screen scales round to whole ones; a skin's @2x art
// is drawn pixel for pixel.
#include <QMap>
#include <QPainter>
#include <QProcessEnvironment>
#include <QSet>
#include <QTemporaryDir>
#include <cmath>

#include "display_support.h"
#include "skin/window_shaper.h"

using display_test::DesktopProgramTest;
using display_test::ExpectChildPassed;

namespace {

// ---- Parents: each starts the program in a child with the scale it names ----

QProcessEnvironment Scale(const QString &factor) {
    QProcessEnvironment env;
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_SCALE_FACTOR", factor);
    return env;
}

TEST(HiDpi, ScaleTwoDrawsEverySkinPixelAsATwoByTwoBlock) {
    QProcessEnvironment env = Scale("2");
    env.insert("MIRVANE_EXPECT_RATIO", "2");
    env.insert("MIRVANE_SHOT_NAME", "hidpi-player-2x.png");
    ExpectChildPassed("HiDpiChild.PlayerArtIsNeverBlended", env);
}

TEST(HiDpi, ScreenOfOneAndAHalfRoundsTheArtToTwo) {
    // A screen that reports 144 dots per inch against the usual 96 asks for 1.5.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString config = dir.path() + "/screens.json";
    player_test::WriteText(config, R"({"screens": [{"name": "wide", "x": 0, "y": 0,
        "width": 1600, "height": 1000, "logicalDpi": 144, "logicalBaseDpi": 96}]})");
    QProcessEnvironment env;
    env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + config);
    env.insert("MIRVANE_EXPECT_RATIO", "2");
    ExpectChildPassed("HiDpiChild.PlayerArtIsNeverBlended", env);
}

TEST(HiDpi, ForcedScaleOfOneAndAHalfNeverBlendsTheArt) {
    QProcessEnvironment env = Scale("1.5");
    env.insert("MIRVANE_EXPECT_RATIO", "1.5");
    ExpectChildPassed("HiDpiChild.PlayerArtIsNeverBlended", env);
}

TEST(HiDpi, SkinWithTwoXArtIsDrawnPixelForPixel) {
    ExpectChildPassed("HiDpiChild.TwoXBackgroundIsDrawnPixelForPixel", Scale("2"));
}

// ---- Children ----

class HiDpiChild : public DesktopProgramTest {
  protected:
    void ShowPlayer() {
        Start();
        Player().show();
        ASSERT_TRUE(player_test::WaitFor([&] { return Player().isVisible(); }));
        QCoreApplication::processEvents();
    }
    // The window drawn at one screen pixel per skin pixel.
    QImage RenderAtOne() {
        QImage image(Player().size(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(1);
        image.fill(Qt::transparent);
        Player().render(&image);
        return image.convertToFormat(QImage::Format_ARGB32);
    }
    QImage Grab() { return Player().grab().toImage().convertToFormat(QImage::Format_ARGB32); }
    // The time display shows its digits in the system's vector font, which is drawn at the
    // screen's own density on purpose; everything else is skin art.
    // Where the wrong pixels lie, by the control that shows them.
    void Blame(int x, int y) {
        QWidget *at = Player().childAt(x, y);
        blamed_[at ? at->objectName() : QStringLiteral("window")] |= QRect(x, y, 1, 1);
    }
    std::string Blamed() const {
        QString text;
        for (auto it = blamed_.begin(); it != blamed_.end(); ++it)
            text += QStringLiteral("%1 (%2,%3 %4x%5) ")
                        .arg(it.key())
                        .arg(it->x())
                        .arg(it->y())
                        .arg(it->width())
                        .arg(it->height());
        return text.toStdString();
    }
    QMap<QString, QRect> blamed_;
    // Inside the outline, one skin pixel away from its edge: the platform clips the edge to the
    // outline at its own density, so only the inside is the art's.
    bool Inside(int x, int y) {
        const QRegion &mask = outline_;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (!mask.contains(QPoint(x + dx, y + dy)))
                    return false;
        return true;
    }
    QRegion outline_;
    QRect VectorText() { return Player().vrDisplay1->geometry(); }
};

TEST_F(HiDpiChild, PlayerArtIsNeverBlended) {
    ShowPlayer();
    const qreal expected = qEnvironmentVariable("MIRVANE_EXPECT_RATIO").toDouble();
    const qreal ratio = Player().devicePixelRatioF();
    ASSERT_EQ(ratio, expected);
    outline_ = Player().mask();
    const QImage one = RenderAtOne();
    const QImage shot = Grab();
    Keep(shot, qEnvironmentVariable("MIRVANE_SHOT_NAME"));
    ASSERT_EQ(shot.width(), std::lround(Player().width() * ratio));

    const int k = int(ratio);
    long checked = 0, wrong = 0;
    if (k == ratio) {
        // Each skin pixel is a k x k block of its own colour.
        for (int y = 0; y < one.height(); ++y) {
            for (int x = 0; x < one.width(); ++x) {
                if (VectorText().contains(x, y) || !Inside(x, y))
                    continue;
                const QRgb want = one.pixel(x, y);
                bool same = true;
                for (int dy = 0; dy < k; ++dy)
                    for (int dx = 0; dx < k; ++dx)
                        same = same && shot.pixel(x * k + dx, y * k + dy) == want;
                if (!same)
                    Blame(x, y);
                wrong += !same;
                ++checked;
            }
        }
    } else {
        // No screen pixel carries a colour the skin does not have: nothing was blended.
        QSet<QRgb> colours;
        for (int y = 0; y < one.height(); ++y)
            for (int x = 0; x < one.width(); ++x)
                if (!VectorText().contains(x, y) && Inside(x, y))
                    colours.insert(one.pixel(x, y));
        const QRect text(VectorText().topLeft() * ratio, VectorText().size() * ratio);
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                if (text.adjusted(-1, -1, 1, 1).contains(x, y) ||
                    !Inside(int(x / ratio), int(y / ratio)))
                    continue;
                wrong += !colours.contains(shot.pixel(x, y));
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 20000);
    EXPECT_EQ(wrong, 0) << "of " << checked << " skin pixels, in " << Blamed();
    // The outline is the skin's, in window units; the platform scales it with the window.
    EXPECT_EQ(Player().mask(), mirvane::RegionFromMask(QImage(Path("Skins/Steel/Steel.bmp"))));
}

TEST_F(HiDpiChild, TwoXBackgroundIsDrawnPixelForPixel) {
    // A @2x background with detail finer than one skin pixel: a one-screen-pixel checker laid
    // over the art enlarged twice.
    const QImage art(Path("Skins/Steel/Steel.png"));
    ASSERT_FALSE(art.isNull());
    QImage twoX = art.convertToFormat(QImage::Format_ARGB32).scaled(art.size() * 2);
    for (int y = 0; y < twoX.height(); ++y)
        for (int x = (y & 1); x < twoX.width(); x += 2)
            twoX.setPixel(x, y, qRgb(255, 0, 255));
    ASSERT_TRUE(twoX.save(Path("Skins/Steel/Steel@2x.png")));
    // A twin that is no picture is passed over quietly.
    player_test::WriteText(Path("Skins/Steel/playup@2x.png"), "not a picture");

    ShowPlayer();
    ASSERT_EQ(Player().devicePixelRatioF(), 2.0);
    EXPECT_EQ(Player().Image1->size(), art.size()); // the layout keeps the skin's units
    EXPECT_EQ(Player().PlayBtn->size(), QImage(Path("Skins/Steel/playup.png")).size());
    EXPECT_EQ(Player().PlayBtn->pixmap().devicePixelRatio(), 1.0);
    EXPECT_TRUE(dialogs.messages.empty());
    const QImage shot = Grab();
    long checked = 0, wrong = 0;
    for (int y = 0; y < art.height(); ++y) {
        for (int x = 0; x < art.width(); ++x) {
            if (Player().childAt(x, y) != Player().Image1 || !Player().mask().contains({x, y}))
                continue;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    const QRgb want = twoX.pixel(2 * x + dx, 2 * y + dy);
                    if (qAlpha(want) == 255)
                        wrong += shot.pixel(2 * x + dx, 2 * y + dy) != want, ++checked;
                }
        }
    }
    EXPECT_GT(checked, 20000);
    EXPECT_EQ(wrong, 0) << "of " << checked;
}

} // namespace
