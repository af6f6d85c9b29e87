#include "vis/sonique_window.h"

#include "vis/vis_canvas.h"
#include "vis/vis_recording.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace mirvane::vis {

namespace {

struct MenuItem {
    const char *objectName;
    const char *caption;
    void (SoniqueWindow::*handler)();
};

} // namespace

SoniqueWindow::SoniqueWindow(SoniqueChoice choice)
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      choice_(std::move(choice)) {
    setObjectName("svis");
    setWindowTitle("Sonique Plugins");
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    menu = new QMenuBar(this);
    menu->setObjectName("MainMenu1");
    menu->setNativeMenuBar(false);
    QMenu *options = menu->addMenu("Options");
    options->setObjectName("Options1");
    auto addGroup = [&](const char *name, const char *caption,
                        std::initializer_list<MenuItem> items) {
        QMenu *sub = options->addMenu(caption);
        sub->setObjectName(name);
        for (const MenuItem &item : items) {
            QAction *a = sub->addAction(item.caption);
            a->setObjectName(item.objectName);
            connect(a, &QAction::triggered, this, item.handler);
        }
    };
    addGroup("FFTSpectrumsensitivity1", "FFT Spectrum sensitivity",
             {{"N11", "1", &SoniqueWindow::N11Click},
              {"N24", "2", &SoniqueWindow::N24Click},
              {"N34", "3", &SoniqueWindow::N34Click},
              {"N43", "4", &SoniqueWindow::N43Click}});
    addGroup("FFTZoom1", "FFT Zoom",
             {{"N02", "0", &SoniqueWindow::N02Click},
              {"N14", "1", &SoniqueWindow::N14Click},
              {"N21", "2", &SoniqueWindow::N21Click},
              {"N31", "3", &SoniqueWindow::N31Click}});
    addGroup("WaveZoom1", "Wave Zoom",
             {{"N01", "0", &SoniqueWindow::N01Click},
              {"N12", "1", &SoniqueWindow::N12Click},
              {"N22", "2", &SoniqueWindow::N22Click},
              {"N32", "3", &SoniqueWindow::N32Click},
              {"N41", "4", &SoniqueWindow::N41Click},
              {"N51", "5", &SoniqueWindow::N51Click}});
    addGroup("Update1", "Update",
             {{"Realtime2", "Realtime", &SoniqueWindow::Realtime2Click},
              {"N102", "+10", &SoniqueWindow::N102Click},
              {"N202", "+20", &SoniqueWindow::N202Click},
              {"N302", "+30", &SoniqueWindow::N302Click}});

    PaintBox1 = new VisCanvas(this);
    PaintBox1->setObjectName("PaintBox1");
    connect(PaintBox1, &VisCanvas::pressed, this, &SoniqueWindow::PaintBox1MouseDown);

    vrTimer1 = new QTimer(this);
    vrTimer1->setObjectName("vrTimer1");
    vrTimer1->setInterval(25);
    connect(vrTimer1, &QTimer::timeout, this, &SoniqueWindow::vrTimer1Timer);

    setGeometry(kLeft, kTop, kWidth, kHeight);
    FormCreate();
}

SoniqueWindow::~SoniqueWindow() {
    BASS_SONIQUEVIS_Free(handle_);
    if (joined_)
        VisRecording::Leave();
}

void SoniqueWindow::FormCreate() {
    // A missing capture device is told once and the window goes on showing silence.
    recording_ = VisRecording::Join(VisRecording::Holder::Sonique, &noSound_);
    joined_ = recording_ != 0;
    PaintBox1->setStatus(noSound_);
}

void SoniqueWindow::Formresize() {
    const int top = menu->sizeHint().height();
    menu->setGeometry(0, 0, width(), top);
    PaintBox1->setGeometry(0, top, width(), std::max(1, height() - top));
    BASS_SONIQUEVIS_Free(handle_);
    handle_ = 0;
    const QString file = choice_.selectedFile();
    if (file.isEmpty()) {
        PaintBox1->setStatus(noSound_.isEmpty() ? QStringLiteral("No plugin selected") : noSound_);
        return;
    }
    handle_ = BASS_SONIQUEVIS_CreateVis(file.toUtf8().constData(),
                                        choice_.settingsFile().toUtf8().constData(), 0,
                                        PaintBox1->width(), PaintBox1->height());
    if (!handle_) {
        const QString why = QString::fromUtf8(BASS_VIS_GetErrorText());
        qWarning("%s", qPrintable(why));
        PaintBox1->setStatus(QStringLiteral("plugin stopped: ") + why);
        return;
    }
    PaintBox1->setStatus(noSound_);
}

void SoniqueWindow::StartRendering() {
    if (!handle_)
        Formresize();
    running_ = true;
    setInterval(25);
    pauseOrResume();
}

void SoniqueWindow::StopRendering() {
    BASS_SONIQUEVIS_Free(handle_);
    handle_ = 0;
    running_ = false;
    vrTimer1->stop();
    hide();
    if (joined_) {
        VisRecording::Leave();
        joined_ = false;
        recording_ = 0;
    }
}

void SoniqueWindow::vrTimer1Timer() {
    if (!handle_)
        return;
    BASS_VIS_CANVAS c = PaintBox1->canvas(PaintBox1->width(), PaintBox1->height());
    QElapsedTimer clock;
    clock.start();
    const BOOL drawn = BASS_SONIQUEVIS_Render(handle_, recording_, &c);
    const qint64 ns = clock.nsecsElapsed();
    PaintBox1->update();
    if (!drawn) {
        // The plugin asked to stop, or it is gone: keep the last frame and say so.
        vrTimer1->stop();
        PaintBox1->setStatus(QStringLiteral("plugin stopped"));
        return;
    }
    ++frames_;
    const int interval = budget_.next(ns);
    if (vrTimer1->interval() != interval)
        vrTimer1->setInterval(interval);
}

void SoniqueWindow::PaintBox1MouseDown(int x, int y, int buttons) {
    BASS_SONIQUEVIS_Clicked(handle_, x, y, buttons);
}

void SoniqueWindow::N11Click() {
    BASS_VIS_SetConfig(1, 1);
}
void SoniqueWindow::N24Click() {
    BASS_VIS_SetConfig(1, 2);
}
void SoniqueWindow::N34Click() {
    BASS_VIS_SetConfig(1, 3);
}
void SoniqueWindow::N43Click() {
    BASS_VIS_SetConfig(1, 4);
}
void SoniqueWindow::N02Click() {
    BASS_VIS_SetConfig(2, 0);
}
void SoniqueWindow::N14Click() {
    BASS_VIS_SetConfig(2, 1);
}
void SoniqueWindow::N21Click() {
    BASS_VIS_SetConfig(2, 2);
}
void SoniqueWindow::N31Click() {
    BASS_VIS_SetConfig(2, 3);
}
void SoniqueWindow::N01Click() {
    BASS_VIS_SetConfig(3, 0);
}
void SoniqueWindow::N12Click() {
    BASS_VIS_SetConfig(3, 1);
}
void SoniqueWindow::N22Click() {
    BASS_VIS_SetConfig(3, 2);
}
void SoniqueWindow::N32Click() {
    BASS_VIS_SetConfig(3, 3);
}
void SoniqueWindow::N41Click() {
    BASS_VIS_SetConfig(3, 4);
}
void SoniqueWindow::N51Click() {
    BASS_VIS_SetConfig(3, 5);
}
void SoniqueWindow::Realtime2Click() {
    setInterval(1);
}
void SoniqueWindow::N102Click() {
    setInterval(10);
}
void SoniqueWindow::N202Click() {
    setInterval(20);
}
void SoniqueWindow::N302Click() {
    setInterval(30);
}

void SoniqueWindow::setInterval(int ms) {
    budget_ = FrameBudget(ms);
    vrTimer1->setInterval(ms);
}

void SoniqueWindow::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    Formresize();
    pauseOrResume();
}

void SoniqueWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    pauseOrResume();
}

void SoniqueWindow::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    pauseOrResume();
}

void SoniqueWindow::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        pauseOrResume();
}

// Nobody sees a hidden or minimised window: drawing it would only cost CPU.
void SoniqueWindow::pauseOrResume() {
    const bool seen = isVisible() && !isMinimized();
    if (running_ && seen && handle_) {
        if (!vrTimer1->isActive())
            vrTimer1->start();
    } else {
        vrTimer1->stop();
    }
}

} // namespace mirvane::vis
