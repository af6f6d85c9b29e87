#include "app/program.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <exception>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "app/Unit1.h"
#include "controls/D3KBmLbl.h"
#include "effects/eq.h"
#include "playback/Unit2.h"
#include "prefs/Unit5.h"
#include "radio/iradio.h"
#include "tags/id3.h"
#include "tags/id3v2.h"

namespace mirvane {

Program::Program() = default;

Program::~Program() {
    // A program that ends without its player window having closed (a test that drops it)
    // still runs the close step: the list is kept and the audio library released.
    if (Form1) {
        Form1->close();
    }
    delete form3;
    form3 = nullptr;
    delete eq2;
    eq2 = nullptr;
    delete Form5;
    Form5 = nullptr;
    delete Form2;
    Form2 = nullptr;
    delete id32;
    id32 = nullptr;
    delete Form1;
    Form1 = nullptr;
}

std::unique_ptr<Program> StartProgram(const StartOptions &options) {
    QGuiApplication::setApplicationDisplayName("Mirvane Player");
    auto program = std::make_unique<Program>();
    program->commandLine = options.commandLine;
    program->getAudioVersion = options.getAudioVersion;
    program->lookupTag = std::make_unique<Tid3v2tag>();

    program->Form1 = new TForm1(*program);
    program->id32 = new Tid32();
    program->id32->setObjectName("id32");
    program->Form2 = new TForm2(*program);
    program->Form5 = new TForm5();
    program->eq2 = new Teq2(*program);
    program->form3 = new Tform3();

    // This replaces the title a command-line file put there.
    program->Form1->SetBannerText("Mirvane Player");
    program->Form1->show();
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

void CloseOnTerminationSignals(const std::unique_ptr<Program> &program) {
    if (g_signalSocket[0] < 0) {
        return;
    }
    auto *notifier = new QSocketNotifier(g_signalSocket[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [&program, notifier] {
        char byte = 0;
        [[maybe_unused]] const auto n = ::read(g_signalSocket[0], &byte, 1);
        notifier->setEnabled(false);
        if (program && program->Form1) {
            program->Form1->close();
        }
        QCoreApplication::quit();
    });
}

} // namespace
#endif

int RunProgram(int argc, char **argv) {
#ifdef Q_OS_UNIX
    CatchTerminationSignals();
#endif
    Application app(argc, argv);
    // The player window's close step ends the program, also while other windows are open.
    app.setQuitOnLastWindowClosed(false);
    StartOptions options;
    options.commandLine = RawCommandLine(argc, argv);
    std::unique_ptr<Program> program;
#ifdef Q_OS_UNIX
    CloseOnTerminationSignals(program);
#endif
    program = StartProgram(options);
    const int result = app.exec();
    program.reset();
    return result;
}

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {}

bool Application::notify(QObject *receiver, QEvent *event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // The rest of the handler is abandoned without a message; the program goes on.
        return false;
    }
}

} // namespace mirvane
