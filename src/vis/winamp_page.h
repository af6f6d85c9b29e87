#pragma once
// WinampPage, the "Winamp" page of the configuration window: the module list waplugz, the
// search path Edit2, "Start", "Scan", "Config", "Stop", and the render timer Timer1. It owns the
// running module and the window the module draws in (WinampVisWindow). GUI thread only.
//
// Timer1 keeps running while the configuration window is hidden; it pauses while the module's
// own window is hidden or minimised, and a slow module is drawn less often (FrameBudget).

#include <QStringList>
#include <QWidget>

#include "bass_vis.h"
#include "vis/frame_budget.h"

class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace mirvane::vis {

class VisCanvas;

// The window a running module draws in, sized to the module's frame; its caption is the
// module's name. Hiding or minimising it pauses the page's render timer.
class WinampVisWindow : public QWidget {
    Q_OBJECT
  public:
    explicit WinampVisWindow(QWidget *parent = nullptr);
    VisCanvas *canvas = nullptr;

  signals:
    void seenChanged();

  protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;
};

class WinampPage : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QStringList WinampPluginFiles READ WinampPluginFiles)
    Q_PROPERTY(QStringList WinampPluginModules READ WinampPluginModules)
  public:
    // programDir ends with '/': the search path starts as programDir + "vis/".
    explicit WinampPage(const QString &programDir, QWidget *parent = nullptr);
    ~WinampPage() override;

    QListWidget *waplugz = nullptr;
    QLineEdit *Edit2 = nullptr;
    QPushButton *JvXPButton6 = nullptr; // "Start"
    QPushButton *JvXPButton1 = nullptr; // "Scan"
    QPushButton *JvXPButton8 = nullptr; // "Config"
    QPushButton *JvXPButton7 = nullptr; // "Stop"
    QTimer *Timer1 = nullptr;           // 25 ms, off at start
    WinampVisWindow *visWindow = nullptr;

    QStringList WinampPluginFiles() const { return files_; }
    QStringList WinampPluginModules() const { return modules_; }
    HVIS VisHandle() const { return handle_; }
    uint32_t RecordingChannel() const { return recording_; }
    int FramesDrawn() const { return frames_; }

  public slots:
    void JvXPButton1Click(); // scan
    void JvXPButton6Click(); // start
    void JvXPButton7Click(); // stop
    void JvXPButton8Click(); // config
    void Timer1Timer();

  private:
    void pauseOrResume();

    QStringList files_;   // entry i: the file of line i
    QStringList modules_; // entry i: the decimal module index of line i
    HVIS handle_ = 0;
    uint32_t recording_ = 0;
    bool joined_ = false;  // holds the shared recording
    bool running_ = false; // between Start and Stop
    FrameBudget budget_{25};
    int frames_ = 0;
};

} // namespace mirvane::vis
