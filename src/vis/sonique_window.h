#pragma once
// SoniqueWindow (objectName "svis"), the window a Sonique plugin draws in: caption "Sonique
// Plugins", a menu "Options" with the host's settings and the render interval, and the paint
// box PaintBox1 that fills it. Its creation joins the shared recording; Stop on the page frees
// the plugin, hides the window and leaves the recording. GUI thread only.
//
// Drawing pauses while the window is hidden or minimised, and a slow plugin is drawn less
// often (FrameBudget) instead of taking the window thread.

#include <QWidget>

#include <functional>

#include "bass_vis.h"
#include "vis/frame_budget.h"

class QMenuBar;
class QTimer;

namespace mirvane::vis {

class VisCanvas;

// What the window asks its page each time it (re)creates the plugin: the chosen plugin file
// ("" for none) and the settings file the plugins share. GUI thread.
struct SoniqueChoice {
    std::function<QString()> selectedFile;
    std::function<QString()> settingsFile;
};

class SoniqueWindow : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int renderInterval READ RenderInterval)
  public:
    static constexpr int kWidth = 242, kHeight = 283, kLeft = 232, kTop = 567;

    // Creates the window hidden and runs FormCreate (joins the recording).
    explicit SoniqueWindow(SoniqueChoice choice);
    ~SoniqueWindow() override;

    VisCanvas *PaintBox1 = nullptr;
    QTimer *vrTimer1 = nullptr; // the render timer, 25 ms at creation, off
    QMenuBar *menu = nullptr;

    HVIS VisHandle() const { return handle_; }
    uint32_t RecordingChannel() const { return recording_; }
    // The interval chosen in the "Update" menu, in ms.
    int RenderInterval() const { return budget_.chosen(); }
    // Frames drawn since creation.
    int FramesDrawn() const { return frames_; }

    // Starts drawing (the page's Start): re-creates the plugin if needed and runs the timer.
    void StartRendering();
    // The page's Stop: frees the plugin, stops the timer, hides, leaves the recording.
    void StopRendering();

  public slots:
    void FormCreate();
    void Formresize();
    void vrTimer1Timer();
    void PaintBox1MouseDown(int x, int y, int buttons);
    // "FFT Spectrum sensitivity"
    void N11Click();
    void N24Click();
    void N34Click();
    void N43Click();
    // "FFT Zoom"
    void N02Click();
    void N14Click();
    void N21Click();
    void N31Click();
    // "Wave Zoom"
    void N01Click();
    void N12Click();
    void N22Click();
    void N32Click();
    void N41Click();
    void N51Click();
    // "Update"
    void Realtime2Click();
    void N102Click();
    void N202Click();
    void N302Click();

  protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

  private:
    void setInterval(int ms);
    void pauseOrResume();

    SoniqueChoice choice_;
    HVIS handle_ = 0;
    uint32_t recording_ = 0;
    bool joined_ = false;  // holds the shared recording
    bool running_ = false; // between StartRendering and StopRendering
    QString noSound_;      // why there is no sound, or empty
    FrameBudget budget_{25};
    int frames_ = 0;
};

} // namespace mirvane::vis
