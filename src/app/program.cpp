#include "app/program.h"

#include <QCoreApplication>
#include <exception>

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

int RunProgram(int argc, char **argv) {
    Application app(argc, argv);
    // The player window's close step ends the program, also while other windows are open.
    app.setQuitOnLastWindowClosed(false);
    StartOptions options;
    options.commandLine = RawCommandLine(argc, argv);
    auto program = StartProgram(options);
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
