#include "app/startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QSocketNotifier>
#include <exception>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "app/player_window.h"
#include "common/paths.h"
#include "controls/bitmap_font_label.h"
#include "controls/bitmap_slider.h"
#include "desktop/mpris_service.h"
#include "desktop/resume.h"
#include "effects/dsp_effects_page.h"
#include "effects/equalizer_window.h"
#include "playback/engine.h"
#include "playback/playlist_window.h"
#include "prefs/config_window.h"
#include "radio/radio_window.h"
#include "tags/id3v2.h"
#include "tags/tag_editor.h"
#include "vis/sonique_page.h"
#include "vis/vis.h"
#include "vis/vis_recording.h"
#include "vis/winamp_page.h"

namespace mirvane {

Program::Program() = default;

Program::~Program() {
    mpris.reset();
    // A program that ends without its player window having closed (a test that drops it)
    // still runs the close step: the list is kept and the audio library released.
    if (player) {
        player->close();
    }
    delete radio;
    radio = nullptr;
    delete equalizer;
    equalizer = nullptr;
    delete config;
    config = nullptr;
    delete playlist;
    playlist = nullptr;
    delete tagEditor;
    tagEditor = nullptr;
    delete player;
    player = nullptr;
}

namespace {

// Without a session bus the player runs as before, without the remote control.
void StartRemoteControl(Program &program) {
    PlayerWindow *player = program.player;
    desktop::MprisLinks links;
    links.raise = [player] {
        player->ShowPlayer1->setChecked(true);
        player->show();
        player->raise();
        player->activateWindow();
    };
    links.quit = [player] { player->ExitClick(); };
    links.setVolume = [player](int volume) { player->SliderVol->setValue(volume); };
    program.mpris = desktop::MprisService::Start(*program.engine, std::move(links));
    if (desktop::MprisService *remote = program.mpris.get()) {
        QObject::connect(player->SliderVol, &BitmapSlider::OnChange, remote,
                         &desktop::MprisService::VolumeChanged);
        QObject::connect(player->SliderPos, &BitmapSlider::OnStopTracking, remote,
                         &desktop::MprisService::PositionJumped);
    }
}

} // namespace

std::unique_ptr<Program> StartProgram(const StartOptions &options) {
    QGuiApplication::setApplicationDisplayName("Mirvane Player");
    auto program = std::make_unique<Program>();
    program->commandLine = options.commandLine;
    program->getAudioVersion = options.getAudioVersion;
    program->lookupTag = std::make_unique<Id3v2Tag>();
    program->engine = std::make_unique<PlaybackEngine>();
    PlaybackEngine &engine = *program->engine;

    PlayerWindow *player = program->player = new PlayerWindow(*program);
    if (player->ImageList1.size() > PlaylistModel::kPlayingMark) {
        engine.Rows().setMarkIcon(player->ImageList1[PlaylistModel::kPlayingMark]);
    }
    // Before the playlist window, which may play a command-line file: the remote control sees
    // every track from the first.
    StartRemoteControl(*program);
    program->tagEditor = new TagEditor();
    program->tagEditor->setObjectName("id32");

    PlaylistWindow *playlist = program->playlist = new PlaylistWindow(*program);
    QObject::connect(playlist, &PlaylistWindow::gripPressed, player,
                     [player] { player->SetTimer(PlayerWindow::kGripTimer, 1); });
    QObject::connect(playlist, &PlaylistWindow::gripReleased, player,
                     [player] { player->KillTimer(PlayerWindow::kGripTimer); });
    QObject::connect(playlist, &PlaylistWindow::closeRequested, player,
                     &PlayerWindow::PlbuttonClick);

    ConfigLinks links;
    links.startVisualTimer = [player](int ms) { player->SetTimer(PlayerWindow::kVisualTimer, ms); };
    links.stopVisualTimer = [player] { player->KillTimer(PlayerWindow::kVisualTimer); };
    links.setBannerUpperCase = [player](bool on) { player->STitle->setUpperCase(on); };
    links.loadSkin = [player](const QString &name) { player->LoadSkin(name); };
    links.playlistView = playlist->ListView1;
    links.trayMenu = player->JvPopupMenu1;
    links.trayIconChanged = [player](bool shown) { player->SetTrayIconShown(shown); };
    links.deviceName = QString::fromLocal8Bit(BASS_GetDeviceDescription(int(BASS_GetDevice())));
    program->config = new ConfigWindow(std::move(links));
    program->config->HostPage(ConfigWindow::Page::DspEffects, new DspEffectsPage(engine));
    const vis::Pages visPages = vis::CreatePages(program->config);
    program->config->HostPage(ConfigWindow::Page::SoniquePlugins, visPages.sonique);
    program->config->HostPage(ConfigWindow::Page::Winamp, visPages.winamp);
    program->equalizer = new EqualizerWindow(engine);

    RadioWindow *radio = program->radio = new RadioWindow();
    engine.SetRadioInUseQuery([radio] { return radio->RadioInUse(); });
    QObject::connect(&engine, &PlaybackEngine::radioReleased, radio, &RadioWindow::EngineStopped);
    QObject::connect(radio, &RadioWindow::streamStarted, &engine, &PlaybackEngine::AdoptChannel);
    QObject::connect(radio, &RadioWindow::titleChanged, &engine, &PlaybackEngine::ShowStreamTitle);
    QObject::connect(radio, &RadioWindow::stopped, &engine, &PlaybackEngine::ReleaseChannel);

    desktop::KeepResumePointAtClose(player, engine);
    if (const auto point = desktop::StoredResumePoint()) {
        desktop::ResumePlayback(engine, *point); // not over a command-line file that plays
    }

    // The program's name, unless a command-line file plays already: its caption stays.
    if (engine.State() == PlaybackEngine::Status::Stopped) {
        player->SetBannerText("Mirvane Player");
    }
    program->player->show();
    return program;
}

QString RawCommandLine(int argc, char **argv) {
    QString line = '"' + QCoreApplication::applicationFilePath() + '"';
    if (argc > 1 && argv[1]) {
        line += ' ' + QString::fromLocal8Bit(argv[1]);
    }
    return line;
}

#ifdef Q_OS_UNIX
namespace {

int g_signalSocket[2] = {-1, -1};

void OnTerminationSignal(int) {
    const char byte = 1;
    // write() is async-signal-safe; the GUI thread picks the byte up and does the real work.
    [[maybe_unused]] const auto n = ::write(g_signalSocket[1], &byte, 1);
}

// A logout or a plain `kill` asks the program to end: close the player window as the user
// would, so its close step still writes the automatic playlist, instead of dying with the
// list unsaved. The signals are caught first thing; a signal that arrives during start-up
// waits in the socket for the event loop.
void CatchTerminationSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalSocket) != 0) {
        return;
    }
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
}

// Set when a signal was taken in while start-up still ran its own events: quitting then would
// be lost (the event loop has not begun), so start-up looks at this when it ends.
bool g_terminationPending = false;

void CloseOnTerminationSignals(const std::unique_ptr<Program> &program) {
    if (g_signalSocket[0] < 0) {
        return;
    }
    auto *notifier = new QSocketNotifier(g_signalSocket[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [&program, notifier] {
        char byte = 0;
        [[maybe_unused]] const auto n = ::read(g_signalSocket[0], &byte, 1);
        notifier->setEnabled(false);
        if (!program || !program->player) {
            g_terminationPending = true;
            return;
        }
        program->player->close();
        QCoreApplication::quit();
    });
}

} // namespace
#endif

namespace {

QString InstanceName() {
    // One player per user and automatic playlist: two players writing the same list would
    // lose one of them, while players that keep their lists apart may run side by side.
    const QByteArray key = WritableDataDir().toUtf8();
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    return QStringLiteral("mirvane-") + user + '-' + QString::number(qHash(key), 16);
}

bool HandOverToRunningPlayer(const QString &commandLine) {
    QLocalSocket socket;
    socket.connectToServer(InstanceName());
    if (!socket.waitForConnected(1000)) {
        return false;
    }
    const QString file = CommandLineFile(commandLine);
    const QString absolute = file.isEmpty() ? QString() : QFileInfo(file).absoluteFilePath();
    socket.write(absolute.toUtf8() + '\n');
    socket.flush();
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return true;
}

// Takes the instance name for this player. Called under the start lock, right after
// HandOverToRunningPlayer found no player, so two players started together cannot both take it.
QLocalServer *ClaimInstanceName(QObject *owner) {
    auto *server = new QLocalServer(owner);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(InstanceName())) {
        // A player that ended without closing its socket left the name behind.
        QLocalServer::removeServer(InstanceName());
        server->listen(InstanceName());
    }
    return server;
}

// Later starts that connected while this player was still starting wait in the server's queue
// and are served as soon as this runs.
void ServeLaterStarts(QLocalServer *server, Program &program, QObject *owner) {
    const auto serve = [server, &program] {
        while (QLocalSocket *socket = server->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, &program] {
                if (!socket->canReadLine()) {
                    return;
                }
                const QString file = QString::fromUtf8(socket->readLine(4096)).trimmed();
                if (program.player) {
                    program.player->show();
                    program.player->raise();
                    program.player->activateWindow();
                }
                if (!file.isEmpty() && program.playlist) {
                    program.playlist->PlayCommandLineFile(file);
                }
            });
        }
    };
    QObject::connect(server, &QLocalServer::newConnection, owner, serve);
    serve();
}

} // namespace

int RunProgram(int argc, char **argv) {
#ifdef Q_OS_UNIX
    CatchTerminationSignals();
#endif
    // Recordings for the plugins hear what plays; this must come before the audio library.
    vis::PreferOutputMonitor();
    Application app(argc, argv);
    // The player window's close step ends the program, also while other windows are open.
    app.setQuitOnLastWindowClosed(false);
    // Lets the desktop match the windows to the installed desktop entry and its icon; the name
    // also names the user's data and config folders, whatever the executable is called.
    QGuiApplication::setDesktopFileName("mirvane");
    QCoreApplication::setApplicationName("mirvane");
    StartOptions options;
    options.commandLine = RawCommandLine(argc, argv);
    // Looking for a running player and taking the name are one step for players started
    // at the same moment: the second waits here, then finds the first.
    QLockFile startLock(QDir::tempPath() + '/' + InstanceName() + ".lock");
    startLock.lock();
    if (HandOverToRunningPlayer(options.commandLine)) {
        return 0; // the running player adds and plays the file
    }
    QLocalServer *server = ClaimInstanceName(&app);
    startLock.unlock();
    std::unique_ptr<Program> program;
#ifdef Q_OS_UNIX
    CloseOnTerminationSignals(program);
#endif
    program = StartProgram(options);
#ifdef Q_OS_UNIX
    if (g_terminationPending) {
        program->player->close(); // writes the list, as for a signal that came later
        program.reset();
        return 0;
    }
#endif
    ServeLaterStarts(server, *program, &app);
    const int result = app.exec();
    program.reset();
    return result;
}

namespace {

// Must run before the application object exists. A screen of ratio 1.5 is drawn at 2: skin
// art scaled by a whole number stays sharp, a fractional scale would blur or unevenly double it.
int &BeforeApplication(int &argc) {
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::Round);
    return argc;
}

} // namespace

Application::Application(int &argc, char **argv) : QApplication(BeforeApplication(argc), argv) {}

bool Application::notify(QObject *receiver, QEvent *event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // The rest of the handler is abandoned without a message; the program goes on.
        return false;
    }
}

} // namespace mirvane
