#include "vis/winamp_page.h"

#include "vis/plugin_list.h"
#include "vis/vis_canvas.h"
#include "vis/vis_recording.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

namespace mirvane::vis {

WinampVisWindow::WinampVisWindow(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName("WinampVis");
    canvas = new VisCanvas(this);
    canvas->setObjectName("WinampCanvas");
}

void WinampVisWindow::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    canvas->setGeometry(rect());
}
void WinampVisWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    emit seenChanged();
}
void WinampVisWindow::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    emit seenChanged();
}
void WinampVisWindow::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        emit seenChanged();
}

WinampPage::WinampPage(const QString &programDir, QWidget *parent) : QWidget(parent) {
    setObjectName("WinampPage");
    resize(258, 159);

    waplugz = new QListWidget(this);
    waplugz->setObjectName("waplugz");
    waplugz->setGeometry(8, 8, 241, 89);
    Edit2 = new QLineEdit(programDir + "vis/", this);
    Edit2->setObjectName("Edit2");
    Edit2->setGeometry(8, 104, 241, Edit2->sizeHint().height());

    auto button = [this](const char *name, const char *caption, int x, int w) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setGeometry(x, 136, w, 17);
        return b;
    };
    JvXPButton6 = button("JvXPButton6", "Start", 8, 57);
    JvXPButton1 = button("JvXPButton1", "Scan", 72, 57);
    JvXPButton8 = button("JvXPButton8", "Config", 136, 49);
    JvXPButton7 = button("JvXPButton7", "Stop", 192, 57);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(25);

    // The module's window is a top-level window of its own, owned by the page.
    visWindow = new WinampVisWindow();
    visWindow->setParent(this, Qt::Window);

    connect(JvXPButton1, &QPushButton::clicked, this, &WinampPage::JvXPButton1Click);
    connect(JvXPButton6, &QPushButton::clicked, this, &WinampPage::JvXPButton6Click);
    connect(JvXPButton7, &QPushButton::clicked, this, &WinampPage::JvXPButton7Click);
    connect(JvXPButton8, &QPushButton::clicked, this, &WinampPage::JvXPButton8Click);
    connect(Timer1, &QTimer::timeout, this, &WinampPage::Timer1Timer);
    connect(visWindow, &WinampVisWindow::seenChanged, this, &WinampPage::pauseOrResume);
}

WinampPage::~WinampPage() {
    Timer1->stop();
    BASS_WINAMPVIS_Free(handle_);
    if (joined_)
        VisRecording::Leave();
}

void WinampPage::JvXPButton1Click() {
    waplugz->clear();
    files_.clear();
    modules_.clear();
    const char *found = BASS_VIS_FindPlugins(Edit2->text().toUtf8().constData(),
                                             BASS_VIS_FIND_WINAMP | BASS_VIS_FIND_RECURSIVE |
                                                 BASS_VIS_FIND_COMMALIST);
    for (const QString &file : SplitPluginList(QString::fromUtf8(found ? found : ""))) {
        const QByteArray path = file.toUtf8();
        for (int m = 0;; ++m) {
            const HVIS h = BASS_WINAMPVIS_CreateVis(path.constData(), m, BASS_VIS_NAME_ONLY);
            if (!h) {
                if (m == 0)
                    qWarning("%s (skipped)", BASS_VIS_GetErrorText());
                break;
            }
            files_ << file;
            modules_ << QString::number(m);
            waplugz->addItem(QString::fromUtf8(BASS_WINAMPVIS_GetName(h)));
            BASS_WINAMPVIS_Free(h);
        }
    }
}

void WinampPage::JvXPButton6Click() {
    const int row = waplugz->currentRow();
    if (row < 0 || row >= waplugz->count() || waplugz->selectedItems().isEmpty())
        return;
    Timer1->stop();
    BASS_WINAMPVIS_Free(handle_);
    handle_ = BASS_WINAMPVIS_CreateVis(files_[row].toUtf8().constData(), modules_[row].toInt(), 0);
    QString noSound;
    if (!joined_) {
        // A missing capture device is told and the module runs on silence.
        recording_ = VisRecording::Join(VisRecording::Holder::Winamp, &noSound);
        joined_ = recording_ != 0;
    }
    VisCanvas *canvas = visWindow->canvas;
    if (handle_) {
        BASS_VIS_CANVAS frame{};
        BASS_WINAMPVIS_GetFrame(handle_, &frame);
        visWindow->setWindowTitle(QString::fromUtf8(BASS_WINAMPVIS_GetName(handle_)));
        visWindow->resize(frame.width, frame.height);
        canvas->setFrame(frame);
        canvas->setStatus(noSound);
    } else {
        const QString why = QString::fromUtf8(BASS_VIS_GetErrorText());
        qWarning("%s", qPrintable(why));
        visWindow->setWindowTitle(waplugz->item(row)->text());
        visWindow->resize(275, 116);
        canvas->setStatus(QStringLiteral("plugin stopped: ") + why);
    }
    budget_ = FrameBudget(25);
    Timer1->setInterval(25);
    running_ = true;
    visWindow->show();
    pauseOrResume();
}

void WinampPage::JvXPButton7Click() {
    running_ = false;
    Timer1->stop();
    BASS_WINAMPVIS_Free(handle_);
    handle_ = 0;
    visWindow->hide();
    if (joined_) {
        VisRecording::Leave();
        joined_ = false;
        recording_ = 0;
    }
}

void WinampPage::JvXPButton8Click() {
    BASS_WINAMPVIS_Config(handle_);
}

void WinampPage::Timer1Timer() {
    if (!handle_)
        return;
    QElapsedTimer clock;
    clock.start();
    const BOOL drawn = BASS_WINAMPVIS_Render(handle_, recording_);
    const qint64 ns = clock.nsecsElapsed();
    if (!drawn) {
        // Render errors never end the program: the module is reported and left alone.
        Timer1->stop();
        visWindow->canvas->setStatus(QStringLiteral("plugin stopped"));
        return;
    }
    BASS_VIS_CANVAS frame{};
    if (BASS_WINAMPVIS_GetFrame(handle_, &frame))
        visWindow->canvas->setFrame(frame);
    ++frames_;
    const int interval = budget_.next(ns);
    if (Timer1->interval() != interval)
        Timer1->setInterval(interval);
}

// Nobody sees a hidden or minimised module window: drawing it would only cost CPU.
void WinampPage::pauseOrResume() {
    const bool seen = visWindow->isVisible() && !visWindow->isMinimized();
    if (running_ && seen && handle_) {
        if (!Timer1->isActive())
            Timer1->start();
    } else {
        Timer1->stop();
    }
}

} // namespace mirvane::vis
