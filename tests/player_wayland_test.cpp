// The player on a Wayland session without X: a real compositor (weston, headless, drawing
// with the CPU) and Qt's wayland platform. The parent starts the compositor; the child starts
// the whole program on it and drives it: shows the windows, clicks the buttons, unfolds the
// list, toggles stay on top, and checks the outline and the sizes.
#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLibraryInfo>
#include <QPropertyAnimation>
#include <QTest>
#include <QThread>
#include <QWindow>

#include "controls/bitmap_font_label.h"
#include "display_support.h"
#include "skin/window_shaper.h"

using display_test::DesktopProgramTest;
using display_test::ExpectChildPassed;
using player_test::WaitFor;

namespace {

const char *const kSocket = "mirvane-wayland-test";

// A headless weston with a socket in a private runtime folder, stopped at the end.
class Weston {
  public:
    // Starts the compositor; on failure Reason() says why.
    Weston() {
        if (!runtime_.isValid()) {
            reason_ = "no temporary folder for XDG_RUNTIME_DIR";
            return;
        }
        QFile::setPermissions(runtime_.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ExeOwner); // Wayland demands 0700
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime_.path());
        env.insert("XDG_CONFIG_HOME", runtime_.path()); // no user's weston.ini
        env.remove("WAYLAND_DISPLAY");
        env.remove("DISPLAY");
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::MergedChannels);
        // --debug lets weston-screenshooter take pictures of the output.
        process_.start("weston", {"--backend=headless-backend.so", "--use-pixman", "--debug",
                                  "--socket=" + QString::fromLatin1(kSocket), "--width=1024",
                                  "--height=640", "--idle-time=0"});
        if (!process_.waitForStarted()) {
            reason_ = "weston cannot be started (package weston): " + process_.errorString();
            return;
        }
        // The socket appears once the compositor listens; it is ready then.
        QElapsedTimer clock;
        clock.start();
        const QString socket = runtime_.path() + "/" + kSocket;
        while (!QFile::exists(socket) && process_.state() == QProcess::Running &&
               clock.elapsed() < 20000)
            process_.waitForFinished(50);
        if (!QFile::exists(socket) || process_.state() != QProcess::Running)
            reason_ = "weston did not open its socket: " +
                      QString::fromLocal8Bit(process_.readAll()).right(2000);
    }
    ~Weston() {
        if (process_.state() == QProcess::Running) {
            process_.terminate();
            if (!process_.waitForFinished(10000))
                process_.kill();
            process_.waitForFinished();
        }
    }
    QString Reason() const { return reason_; }
    QString RuntimeDir() const { return runtime_.path(); }

  private:
    QTemporaryDir runtime_;
    QProcess process_;
    QString reason_;
};

TEST(Wayland, PlayerWorksOnAWestonSession) {
    const QString plugin =
        QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms/libqwayland-generic.so";
    if (!QFile::exists(plugin))
        GTEST_SKIP() << "Qt's wayland platform plugin is not installed (package qt6-wayland)";
    Weston weston;
    if (!weston.Reason().isEmpty())
        GTEST_SKIP() << weston.Reason().toStdString();
    QProcessEnvironment env;
    env.insert("QT_QPA_PLATFORM", "wayland");
    env.insert("WAYLAND_DISPLAY", kSocket);
    env.insert("XDG_RUNTIME_DIR", weston.RuntimeDir());
    env.insert("DISPLAY", ""); // no X server to fall back to
    // The client's side of the wire, to see what the compositor was told.
    env.insert("WAYLAND_DEBUG", "client");
    QString wire;
    ExpectChildPassed("WaylandChild.PlayerMovesUnfoldsClicksAndKeepsItsOutline", env, &wire);
    if (HasFailure() || IsSkipped())
        return;

    // The skin's outline reached the compositor as a surface's input region, rectangle for
    // rectangle, so clicks outside it go to what lies below.
    EXPECT_TRUE(wire.contains(".set_input_region(wl_region@"));
    const QRegion outline = mirvane::RegionFromMask(
        QImage(QStringLiteral(MIRVANE_SOURCE_DIR "/data/Skins/Steel/Steel.bmp")));
    ASSERT_GT(outline.rectCount(), 1);
    for (const QRect &r : outline)
        EXPECT_TRUE(wire.contains(QStringLiteral(".add(%1, %2, %3, %4)")
                                      .arg(r.x())
                                      .arg(r.y())
                                      .arg(r.width())
                                      .arg(r.height())))
            << "no region rectangle " << r.x() << "," << r.y() << " " << r.width() << "x"
            << r.height();
}

// ---- Child ----

class WaylandChild : public DesktopProgramTest {
  protected:
    static bool Exposed(QWidget &w) {
        return w.windowHandle() && QTest::qWaitForWindowExposed(w.windowHandle());
    }
    // A picture of the compositor's whole output, as the user sees it.
    void Screenshot(const QString &name) {
        const QString dir = qEnvironmentVariable("MIRVANE_DISPLAY_SHOTS");
        if (dir.isEmpty())
            return;
        QTemporaryDir work;
        QProcess shooter;
        shooter.setWorkingDirectory(work.path());
        shooter.start("weston-screenshooter", {});
        ASSERT_TRUE(shooter.waitForFinished(20000)) << shooter.errorString().toStdString();
        const QStringList files = QDir(work.path()).entryList({"*.png"});
        ASSERT_EQ(files.size(), 1) << shooter.readAll().toStdString();
        QFile::remove(dir + "/" + name);
        ASSERT_TRUE(QFile::copy(work.path() + "/" + files[0], dir + "/" + name));
    }
};

TEST_F(WaylandChild, PlayerMovesUnfoldsClicksAndKeepsItsOutline) {
    ASSERT_EQ(QGuiApplication::platformName(), "wayland");
    player_test::WriteWav(Path("a.wav"), 30.0);
    WriteAutomaticPlaylist({{"1. Wayland - one", Path("a.wav")}});
    Start();
    PlayerWindow &player = Player();
    ASSERT_TRUE(Exposed(player));

    // The outline: the skin's mask, handed to the platform window (the parent checks that it
    // reaches the compositor); the window has the mask's size and no frame.
    const QImage mask(Path("Skins/Steel/Steel.bmp"));
    const QRegion outline = mirvane::RegionFromMask(mask);
    ASSERT_FALSE(outline.isEmpty());
    EXPECT_EQ(player.mask(), outline);
    EXPECT_EQ(player.windowHandle()->mask(), outline);
    EXPECT_TRUE(player.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(player.size(), mask.size());
    EXPECT_EQ(player.windowHandle()->size(), mask.size());

    // Buttons clicked as a user does: press and release on them.
    List().SelectRow(0);
    QTest::mouseClick(player.PlayBtn, Qt::LeftButton);
    EXPECT_EQ(player.StatusPictureShown(), PlayerWindow::StatusPlaying);
    EXPECT_EQ(player.STitle->Text().left(16), "1. Wayland - one");
    QTest::mouseClick(player.StopBtn, Qt::LeftButton);
    EXPECT_EQ(player.StatusPictureShown(), PlayerWindow::StatusStopped);
    QTest::mouseClick(player.PlayBtn, Qt::LeftButton);
    QTest::mouseClick(player.psBtn, Qt::LeftButton);
    EXPECT_EQ(player.StatusPictureShown(), PlayerWindow::StatusPaused);

    QCoreApplication::processEvents();
    Screenshot("wayland-player.png");

    // The playlist unfolds from a sliver to its whole width, and folds away on the next click.
    const QSize full = List().size();
    QTest::mouseClick(player.plButton, Qt::LeftButton);
    ASSERT_TRUE(List().isVisible());
    auto *unfold = player.findChild<QPropertyAnimation *>();
    ASSERT_NE(unfold, nullptr);
    EXPECT_LT(List().width(), full.width());
    ASSERT_TRUE(WaitFor([&] { return unfold->state() == QAbstractAnimation::Stopped; }));
    EXPECT_EQ(List().size(), full);
    ASSERT_TRUE(Exposed(List()));
    EXPECT_EQ(List().windowHandle()->size(), full);

    // Dragging the picture: the compositor's own move, or nothing where it cannot be had (a
    // seat without a pointer, as in a headless compositor); a client never places itself.
    const QPoint inside = outline.boundingRect().center();
    const QPoint before = player.pos();
    const mirvane::WindowMove route = mirvane::StartWindowMove(&player, player.mapToGlobal(inside));
    EXPECT_NE(route, mirvane::WindowMove::Manual);
    QTest::mousePress(player.Image1, Qt::LeftButton, {}, {150, 100});
    QTest::mouseMove(player.Image1, {190, 130});
    QTest::mouseRelease(player.Image1, Qt::LeftButton, {}, {190, 130});
    EXPECT_EQ(player.pos(), before);
    std::printf("window move route on this compositor: %s\n",
                route == mirvane::WindowMove::System ? "system" : "none");

    QCoreApplication::processEvents();
    Keep(player.grab().toImage(), "wayland-player-grab.png");
    Screenshot("wayland-playlist.png");

    // Stay on top: the flag is asked for (the compositor decides what it means); the native
    // window made anew for the flag keeps the outline.
    player.StayOnTop1->trigger();
    EXPECT_TRUE(player.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    ASSERT_TRUE(Exposed(player));
    EXPECT_EQ(player.windowHandle()->mask(), outline);
    player.StayOnTop1->trigger();
    EXPECT_FALSE(player.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    ASSERT_TRUE(Exposed(player));

    QTest::mouseClick(player.plButton, Qt::LeftButton);
    EXPECT_FALSE(List().isVisible());
}

} // namespace
